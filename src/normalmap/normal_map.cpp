#include "normalmap/normal_map.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "document/locked_pixels.h"
#include "document/module1.h"

namespace tintora {

namespace {

constexpr float kMaxAmplitude = 1.0e6f;
// Rows per parallel task. Each task also takes the heights of the row above and below its block.
constexpr int kRowsPerTask = 32;

// The row loops are compiled for several instruction sets, the best one picked at load time.
// Without contraction (-ffp-contract=off) every version gives the same bytes: the arithmetic is
// the same sequence of correctly rounded operations.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(TINTORA_NO_VECTOR_CLONES)
#define TINTORA_VECTOR_CLONES \
    __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define TINTORA_VECTOR_CLONES
#endif

// A texel as one little-endian word: blue in bits 0-7, green 8-15, red 16-23, alpha 24-31. The
// pixel rows are byte arrays; the attribute lets them be read and written a word at a time.
using Texel = std::uint32_t __attribute__((may_alias));

// Rounds v (0 <= v < 2^22) to the nearest integer, ties to even, in the default rounding mode.
// Adding 1.5 x 2^23 leaves no fraction bits, so the addition itself does the rounding; unlike
// nearbyint this stays a plain add and subtract, which the vectoriser handles on any target.
inline float RoundHalfEven(float v) {
    constexpr float kShift = 12582912.0f;  // 1.5 x 2^23
    return (v + kShift) - kShift;
}

inline std::uint32_t ToByte(float v) {
    return static_cast<std::uint32_t>(std::clamp(RoundHalfEven(v), 0.0f, 255.0f));
}

// One output texel from the Sobel sums, the texel's height (0..255) and the slope scale k.
inline std::uint32_t EncodeTexel(float gx, float gy, float height, float k) {
    const float nx = -k * gx;
    const float ny = k * gy;  // rows grow downwards, the normal's y grows upwards
    const float inverseLength = 1.0f / std::sqrt(nx * nx + ny * ny + 1.0f);
    const std::uint32_t red = ToByte((nx * inverseLength + 1.0f) * 127.5f);
    const std::uint32_t green = ToByte((ny * inverseLength + 1.0f) * 127.5f);
    const std::uint32_t blue = ToByte((inverseLength + 1.0f) * 127.5f);
    const std::uint32_t alpha = ToByte(height);
    return blue | (green << 8) | (red << 16) | (alpha << 24);
}

// Encodes texel x of a row from the three height rows and the columns left and right of it.
inline std::uint32_t SobelTexel(const float* up, const float* mid, const float* down, int left,
                                int x, int right, float k) {
    const float gx =
        (up[right] - up[left]) + 2.0f * (mid[right] - mid[left]) + (down[right] - down[left]);
    const float gy =
        (down[left] + 2.0f * down[x] + down[right]) - (up[left] + 2.0f * up[x] + up[right]);
    return EncodeTexel(gx, gy, mid[x], k);
}

// Bit position of the channel within a texel word.
int ChannelShift(HeightSource height) {
    switch (height) {
        case HeightSource::Blue:
            return 0;
        case HeightSource::Green:
            return 8;
        case HeightSource::Red:
            return 16;
        case HeightSource::Alpha:
            return 24;
        case HeightSource::Luminance:
            break;
    }
    return 0;
}

[[gnu::always_inline]] inline void HeightRow(const Texel* texels, int width, HeightSource height,
                                             float* out) {
    if (height == HeightSource::Luminance) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t t = texels[x];
            out[x] = 0.299f * static_cast<float>((t >> 16) & 0xFFu) +
                     0.587f * static_cast<float>((t >> 8) & 0xFFu) +
                     0.114f * static_cast<float>(t & 0xFFu);
        }
        return;
    }
    const int shift = ChannelShift(height);
    for (int x = 0; x < width; ++x)
        out[x] = static_cast<float>((texels[x] >> shift) & 0xFFu);
}

[[gnu::always_inline]] inline void NormalRow(const float* up, const float* mid, const float* down,
                                             int width, float k, Texel* out) {
    // The interior reads x - 1 and x + 1 directly; the two edge columns wrap.
    for (int x = 1; x < width - 1; ++x)
        out[x] = SobelTexel(up, mid, down, x - 1, x, x + 1, k);
    out[0] = SobelTexel(up, mid, down, width - 1, 0, width == 1 ? 0 : 1, k);
    if (width > 1) out[width - 1] = SobelTexel(up, mid, down, width - 2, width - 1, 0, k);
}

// Rows first..last-1 of the map. Heights are kept for three rows only (above, current, below),
// each computed once per block from the source.
TINTORA_VECTOR_CLONES void NormalRows(PixelView source, PixelView destination, HeightSource height,
                                      float k, int first, int last) {
    const int width = source.width;
    const int rows = source.height;
    const auto row = [&](PixelView view, int y) {
        y = y < 0 ? y + rows : (y >= rows ? y - rows : y);
        return reinterpret_cast<Texel*>(view.pixel(0, y));
    };
    std::vector<float> heights(3 * static_cast<std::size_t>(width));
    float* up = heights.data();
    float* mid = up + width;
    float* down = mid + width;
    HeightRow(row(source, first - 1), width, height, up);
    HeightRow(row(source, first), width, height, mid);
    for (int y = first; y < last; ++y) {
        HeightRow(row(source, y + 1), width, height, down);
        NormalRow(up, mid, down, width, k, row(destination, y));
        std::swap(up, mid);    // up <- mid
        std::swap(mid, down);  // mid <- down; down is free for the next row
    }
}

bool Overlap(PixelView a, PixelView b) {
    return a.data < b.data + b.byteCount() && b.data < a.data + a.byteCount();
}

Texture& RequireTexture(const std::shared_ptr<Texture>& texture) {
    if (!texture) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return *texture;
}

}  // namespace

std::optional<HeightSource> HeightSourceFromCode(std::int32_t code) {
    switch (code) {
        case 1:
            return HeightSource::Red;
        case 2:
            return HeightSource::Luminance;
        case 4:
            return HeightSource::Blue;
        case 8:
            return HeightSource::Alpha;
        case 16:
            return HeightSource::Green;
        default:
            return std::nullopt;
    }
}

void GenerateNormalMap(PixelView source, PixelView destination, float amplitude,
                       HeightSource height) {
    assert(source.width == destination.width && source.height == destination.height);
    if (source.width <= 0 || source.height <= 0) return;

    if (std::isnan(amplitude)) amplitude = 0.0f;
    amplitude = std::clamp(amplitude, -kMaxAmplitude, kMaxAmplitude);
    const float k = amplitude / (8.0f * 255.0f);

    // Row blocks read their neighbours' rows, so a map made over its own source works from a
    // copy of it.
    PixelBuffer copy;
    if (Overlap(source, destination)) {
        copy = PixelBuffer(source.width, source.height);
        std::memcpy(copy.data(), source.data, source.byteCount());
        source = copy.view();
    }
    tbb::parallel_for(tbb::blocked_range<int>(0, source.height, kRowsPerTask),
                      [&](const tbb::blocked_range<int>& block) {
                          NormalRows(source, destination, height, k, block.begin(), block.end());
                      });
}

void Imaging_GenerateNormalMap(std::shared_ptr<Texture>& destination,
                               std::shared_ptr<Texture>& source, float amplitude,
                               std::int32_t sourceCode, std::int32_t /*reserved*/) {
    Texture& target = RequireTexture(destination);
    Texture& origin = RequireTexture(source);
    const std::optional<HeightSource> height = HeightSourceFromCode(sourceCode);
    if (!height) {
        throw PlatformError(D3DERR_INVALIDCALL,
                            "Unknown normal map source code " + std::to_string(sourceCode));
    }
    Require(target.format() == D3DFMT_A8R8G8B8 && origin.format() == D3DFMT_A8R8G8B8,
            D3DERR_INVALIDCALL, "Normal maps are made from and into A8R8G8B8 textures only");
    if (target.width() != origin.width() || target.height() != origin.height()) {
        throw PlatformError(D3DERR_INVALIDCALL,
                            "The normal map must have the size of its source (" +
                                std::to_string(origin.width()) + " x " +
                                std::to_string(origin.height()) + ")");
    }

    if (&target == &origin) {
        const LockedPixels lock(target, 0);
        const PixelView pixels = lock.view();
        GenerateNormalMap(pixels, pixels, amplitude, *height);
        return;
    }
    const LockedPixels sourceLock(origin, D3DLOCK_READONLY);
    const LockedPixels destinationLock(target, 0);
    GenerateNormalMap(sourceLock.view(), destinationLock.view(), amplitude, *height);
}

}  // namespace tintora
