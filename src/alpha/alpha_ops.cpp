#include "alpha/alpha_ops.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "base/number_text.h"
#include "base/window_colors.h"

namespace tintora {

static_assert(std::endian::native == std::endian::little,
              "pixels are read as 32-bit words with blue in the low byte");

namespace {

// Chunks of 64 KiB of pixels; a progress group is worth a parallel loop from about 64 Ki pixels
// per thread.
constexpr std::size_t kGrain = 16384;
constexpr std::size_t kGroupPerThread = 65536;
// Rows per chunk of the resampling loop.
constexpr int kRowGrain = 8;

// The byte-to-fraction factor of the saturation, slightly below 1/255.
constexpr double kByteToUnit = 0.00392156;

std::size_t PixelCount(const PixelView& view) {
    return static_cast<std::size_t>(std::max(view.width, 0)) *
           static_cast<std::size_t>(std::max(view.height, 0));
}

// The saturation depends only on the largest and the smallest byte: entry (max << 8) | min.
const std::array<std::uint8_t, 65536>& SaturationTable() {
    static const std::array<std::uint8_t, 65536> table = [] {
        std::array<std::uint8_t, 65536> t{};
        for (int mx = 0; mx < 256; ++mx) {
            for (int mn = 0; mn <= mx; ++mn) {
                t[static_cast<std::size_t>(mx << 8 | mn)] = static_cast<std::uint8_t>(
                    RgbSaturation(static_cast<std::uint8_t>(mx), static_cast<std::uint8_t>(mn),
                                  static_cast<std::uint8_t>(mn)));
            }
        }
        return t;
    }();
    return table;
}

// The channel value of a pixel word (blue in the low byte); the channel is fixed per loop, so
// each instantiation compiles to straight-line code that vectorises.
template <AlphaChannel kChannel>
std::uint32_t WordChannel(std::uint32_t v, const std::uint8_t* saturation) {
    const std::uint32_t b = v & 0xFFu;
    const std::uint32_t g = (v >> 8) & 0xFFu;
    const std::uint32_t r = (v >> 16) & 0xFFu;
    if constexpr (kChannel == AlphaChannel::Red) {
        return r;
    } else if constexpr (kChannel == AlphaChannel::Green) {
        return g;
    } else if constexpr (kChannel == AlphaChannel::Blue) {
        return b;
    } else if constexpr (kChannel == AlphaChannel::Luminosity) {
        return (b + g + r) / 3;
    } else if constexpr (kChannel == AlphaChannel::Saturation) {
        const std::uint32_t mx = std::max(r, std::max(g, b));
        const std::uint32_t mn = std::min(r, std::min(g, b));
        return saturation[mx << 8 | mn];
    } else {
        return v >> 24;
    }
}

// Calls body.template operator()<channel>() with the channel as a compile-time constant.
template <typename Body>
void WithChannel(AlphaChannel channel, const Body& body) {
    switch (channel) {
        case AlphaChannel::Red:
            return body.template operator()<AlphaChannel::Red>();
        case AlphaChannel::Green:
            return body.template operator()<AlphaChannel::Green>();
        case AlphaChannel::Blue:
            return body.template operator()<AlphaChannel::Blue>();
        case AlphaChannel::Saturation:
            return body.template operator()<AlphaChannel::Saturation>();
        case AlphaChannel::Luminosity:
            return body.template operator()<AlphaChannel::Luminosity>();
        case AlphaChannel::Alpha:
            return body.template operator()<AlphaChannel::Alpha>();
    }
    throw PlatformError(D3DERR_INVALIDCALL, "alpha: unknown channel " +
                                std::to_string(static_cast<std::int32_t>(channel)));
}

void RequirePixels(const PixelView& view, const char* what) {
    if (view.width < 0 || view.height < 0) {
        throw PlatformError(D3DERR_INVALIDCALL, std::string("alpha: negative size of the ") + what);
    }
    if (PixelCount(view) != 0 && view.data == nullptr) {
        throw PlatformError(D3DERR_INVALIDCALL, std::string("alpha: the ") + what + " has no pixels");
    }
}

// Source column (or row) of each destination column: the texel whose centre is nearest, texel
// centres at half-integers on both sides.
std::vector<int> PointSamples(int destinationSize, int sourceSize) {
    std::vector<int> index(static_cast<std::size_t>(destinationSize));
    for (int i = 0; i < destinationSize; ++i) {
        const auto s = (2 * std::int64_t{i} + 1) * sourceSize / (2 * std::int64_t{destinationSize});
        index[static_cast<std::size_t>(i)] = static_cast<int>(std::min<std::int64_t>(s, sourceSize - 1));
    }
    return index;
}

}  // namespace

std::int32_t ColourKeyThreshold(const std::string& rangeText) {
    return RoundToInt32Checked(LeadingNumber(rangeText) + 1.0);
}

void ApplyColourKeyAlpha(PixelView pixels, std::uint32_t keyWindowColor, std::int32_t threshold,
                         const ProgressFn& progress) {
    RequirePixels(pixels, "texture");
    std::int32_t kb = 0;
    std::int32_t kg = 0;
    std::int32_t kr = 0;
    SplitColor(keyWindowColor, kb, kg, kr);
    // The rounded distance round(sqrt(sum)) lies below the threshold t >= 1 exactly when
    // sqrt(sum) < t - 1/2 (a square root of an integer never ends in exactly .5), that is when
    // sum < t^2 - t + 1/4, or sum <= t x (t - 1) for an integer sum. So the per-pixel test needs
    // no square root. The largest distance, sqrt(3 x 255^2), rounds to 442: thresholds above 443
    // act as 443 (every pixel transparent). A threshold of 0 or less keeps every pixel opaque
    // (limit -1, below every sum).
    const std::int32_t t = std::min<std::int32_t>(threshold, 443);
    const std::int32_t limit = t >= 1 ? t * (t - 1) : -1;
    std::uint8_t* data = pixels.data;
    pixel_groups::ForEachPixelGroup(
        PixelCount(pixels), kGrain, pixel_groups::MinGroupPixels(kGroupPerThread), progress,
        [=](std::size_t begin, std::size_t end) {
            // Locals, not the closure's members: the byte stores could alias those, and the
            // loop would reload them every pixel instead of vectorising.
            std::uint8_t* const out = data;
            const std::int32_t keyBlue = kb;
            const std::int32_t keyGreen = kg;
            const std::int32_t keyRed = kr;
            const std::int32_t within = limit;
            for (std::size_t p = begin; p < end; ++p) {
                const std::uint32_t v = LoadPixel(out + 4 * p);
                const std::int32_t db = static_cast<std::int32_t>(v & 0xFFu) - keyBlue;
                const std::int32_t dg = static_cast<std::int32_t>((v >> 8) & 0xFFu) - keyGreen;
                const std::int32_t dr = static_cast<std::int32_t>((v >> 16) & 0xFFu) - keyRed;
                const std::int32_t sum = dr * dr + dg * dg + db * db;
                const std::uint32_t alpha = sum <= within ? 0u : 0xFF000000u;
                StorePixel(out + 4 * p, (v & 0x00FFFFFFu) | alpha);
            }
        });
}

std::uint8_t ChannelValue(const std::uint8_t* pixel, AlphaChannel channel) {
    const std::uint32_t v = LoadPixel(pixel);
    std::uint32_t value = 0;
    WithChannel(channel, [&]<AlphaChannel kChannel>() {
        value = WordChannel<kChannel>(v, SaturationTable().data());
    });
    return static_cast<std::uint8_t>(value);
}

std::int32_t RgbSaturation(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    // Each fraction is stored in single precision; the sums and quotients run in double.
    const auto r = static_cast<float>(red * kByteToUnit);
    const auto g = static_cast<float>(green * kByteToUnit);
    const auto b = static_cast<float>(blue * kByteToUnit);
    const double mx = std::max(r, std::max(g, b));
    const double mn = std::min(r, std::min(g, b));
    const double lightness = (mx + mn) * 0.5;
    if (lightness <= 0) return 0;
    const double d = static_cast<float>(mx - mn);
    if (d <= 0) return 0;
    const double s = lightness <= 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    // nearbyint rounds in the default mode, to nearest with ties to even.
    return static_cast<std::int32_t>(std::nearbyint(s * 255));
}

void ApplyChannelAlpha(PixelView pixels, AlphaChannel channel) {
    RequirePixels(pixels, "texture");
    if (channel == AlphaChannel::Alpha) return;
    std::uint8_t* data = pixels.data;
    const std::uint8_t* saturation = SaturationTable().data();
    const std::size_t count = PixelCount(pixels);
    WithChannel(channel, [&]<AlphaChannel kChannel>() {
        pixel_groups::ForEachPixelGroup(count, kGrain, 0, {}, [=](std::size_t begin, std::size_t end) {
            std::uint8_t* const out = data;  // a local, as in ApplyColourKeyAlpha
            const std::uint8_t* const table = saturation;
            for (std::size_t p = begin; p < end; ++p) {
                const std::uint32_t v = LoadPixel(out + 4 * p);
                StorePixel(out + 4 * p, (v & 0x00FFFFFFu) | WordChannel<kChannel>(v, table) << 24);
            }
        });
    });
}

void ApplyResampledAlpha(PixelView pixels, PixelView source, AlphaChannel channel) {
    RequirePixels(pixels, "texture");
    RequirePixels(source, "source");
    if (PixelCount(pixels) == 0) return;
    if (PixelCount(source) == 0) throw PlatformError(D3DERR_INVALIDCALL, "alpha: the source has no pixels");
    const auto d = reinterpret_cast<std::uintptr_t>(pixels.data);
    const auto s = reinterpret_cast<std::uintptr_t>(source.data);
    const bool sameView =
        d == s && pixels.width == source.width && pixels.height == source.height;
    if (!sameView && s < d + pixels.byteCount() && d < s + source.byteCount()) {
        throw PlatformError(D3DERR_INVALIDCALL, "alpha: the source overlaps the texture");
    }
    const std::vector<int> columns = PointSamples(pixels.width, source.width);
    const std::vector<int> rows = PointSamples(pixels.height, source.height);
    const std::uint8_t* saturation = SaturationTable().data();
    const auto width = static_cast<std::size_t>(pixels.width);
    const auto sourceWidth = static_cast<std::size_t>(source.width);
    WithChannel(channel, [&]<AlphaChannel kChannel>() {
        tbb::parallel_for(
            tbb::blocked_range<int>(0, pixels.height, kRowGrain),
            [&](const tbb::blocked_range<int>& range) {
                const int* const column = columns.data();
                const std::uint8_t* const table = saturation;
                for (int y = range.begin(); y < range.end(); ++y) {
                    std::uint8_t* out = pixels.data + 4 * width * static_cast<std::size_t>(y);
                    const std::uint8_t* in =
                        source.data +
                        4 * sourceWidth * static_cast<std::size_t>(rows[static_cast<std::size_t>(y)]);
                    for (std::size_t x = 0; x < width; ++x) {
                        const std::uint32_t sv = LoadPixel(in + 4 * static_cast<std::size_t>(column[x]));
                        const std::uint32_t v = LoadPixel(out + 4 * x);
                        StorePixel(out + 4 * x,
                                   (v & 0x00FFFFFFu) | WordChannel<kChannel>(sv, table) << 24);
                    }
                }
            });
    });
}

}  // namespace tintora
