// Mipmap chains: their sizes, what the filters keep and remove, sRGB and normal-map levels, alpha
// coverage, and the same bytes at any thread count.
#include "imagefiles/mipmaps.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tintora::testing {
namespace {

using Chain = std::vector<PixelBuffer>;

PixelBuffer Image(int width, int height, const std::function<std::uint32_t(int, int)>& texel) {
    PixelBuffer image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            StorePixel(image.view().pixel(x, y), texel(x, y));
    return image;
}

std::uint32_t Bgra(int b, int g, int r, int a) {
    return static_cast<std::uint32_t>(b | g << 8 | r << 16 | a << 24);
}

int At(const PixelBuffer& level, int x, int y, int channel) {
    return level[(static_cast<std::size_t>(y) * level.width() + x) * 4 + channel];
}

Chain Make(PixelBuffer& top, const MipOptions& options) {
    return MakeMipChain(top.view(), options);
}

// Level 1 alone.
PixelBuffer Half(PixelBuffer& top, const MipOptions& options) {
    return std::move(Make(top, options)[0]);
}

// A pseudo-random number in 0..255 for texel (x, y).
int Hash(int x, int y) {
    return static_cast<int>((x * 73856093u ^ y * 19349663u) * 2654435761u >> 24);
}

TEST(MipChain, SizesHalveDownToOneTexel) {
    const std::tuple<int, int, std::string> cases[] = {
        {1, 1, ""},
        {5, 3, "2x1 1x1 "},
        {3, 8, "1x4 1x2 1x1 "},
        {4096, 1, "2048x1 1024x1 512x1 256x1 128x1 64x1 32x1 16x1 8x1 4x1 2x1 1x1 "},
    };
    for (const auto& [width, height, expected] : cases) {
        PixelBuffer top = Image(width, height, [](int, int) { return 0u; });
        std::string sizes;
        for (const PixelBuffer& level : Make(top, {}))
            sizes += std::to_string(level.width()) + "x" + std::to_string(level.height()) + " ";
        EXPECT_EQ(sizes, expected);
        EXPECT_EQ(MipLevelCount(width, height), 1 + std::count(sizes.begin(), sizes.end(), ' '));
    }
}

// Constants stay exact on every level; ramps (red along x, blue along y) keep their values at the
// centre of each texel's footprint, which is centred on the source also for odd sizes.
TEST(MipChain, FiltersKeepConstantsAndRampsInPlace) {
    for (const MipFilter filter : {MipFilter::Box, MipFilter::Kaiser, MipFilter::Lanczos}) {
        SCOPED_TRACE(static_cast<int>(filter));
        PixelBuffer top =
            Image(101, 67, [](int x, int y) { return Bgra(20 + 3 * y, 77, 20 + 2 * x, 200); });
        const Chain chain = Make(top, {filter});
        for (const PixelBuffer& level : chain)
            for (int i = 0; i < level.width() * level.height(); ++i)
                ASSERT_EQ(LoadPixel(level.data() + 4 * i) & 0xff00ff00u, Bgra(0, 77, 0, 200));
        const PixelBuffer& half = chain[0];
        for (int x = 4; x < half.width() - 4; ++x)
            EXPECT_NEAR(At(half, x, 16, 2), 20 + 2 * ((x + 0.5) * 101 / 50 - 0.5), 0.52) << x;
        for (int y = 4; y < half.height() - 4; ++y)
            EXPECT_NEAR(At(half, 25, y, 0), 20 + 3 * ((y + 0.5) * 67 / 33 - 0.5), 0.52) << y;
        // Edges clamp: the ends stay near the ends of the ramp.
        EXPECT_NEAR(At(half, 0, 16, 2), 21, 2);
        EXPECT_NEAR(At(half, 49, 16, 2), 219, 2);
        EXPECT_NEAR(At(half, 25, 0, 0), 21.5, 2);
        EXPECT_NEAR(At(half, 25, 32, 0), 216.5, 2);
    }
}

// A sine above the half-size Nyquist frequency aliases through the box, not through the sincs;
// one well below it passes the sincs almost whole. Amplitudes from the level's power.
TEST(MipChain, SincsRemoveWhatTheBoxAliases) {
    const auto amplitude = [](MipFilter filter, double cyclesPerTexel) {
        PixelBuffer top = Image(512, 2, [&](int x, int) {
            return Bgra(0, 0,
                        static_cast<int>(std::lround(
                            128 + 100 * std::sin(2 * std::numbers::pi * cyclesPerTexel * x))),
                        255);
        });
        const PixelBuffer half = Half(top, {filter});
        double power = 0;  // over whole periods of 0.2 and 0.3 cycles per texel
        for (int x = 8; x < 248; ++x)
            power += std::pow(At(half, x, 0, 2) - 128, 2) / 240;
        return std::sqrt(2 * power);
    };
    EXPECT_GT(amplitude(MipFilter::Box, 0.35), 40);
    for (const MipFilter filter : {MipFilter::Kaiser, MipFilter::Lanczos}) {
        EXPECT_LT(amplitude(filter, 0.35), 3);
        EXPECT_GT(amplitude(filter, 0.1), 97);
    }
}

// Half black, half white is linear 0.5: sRGB 188. Alpha is linear always. Every sRGB byte survives
// the way to linear light and back.
TEST(MipChain, SrgbLevelsAreFilteredInLinearLight) {
    for (const auto& [srgb, grey] : {std::pair{true, 188}, std::pair{false, 128}}) {
        PixelBuffer top =
            Image(64, 64, [](int x, int y) { return (x + y) % 2 ? 0xffffffffu : 0u; });
        const PixelBuffer half = Half(top, {MipFilter::Kaiser, srgb});
        for (int y = 8; y < 24; ++y) {
            for (int x = 8; x < 24; ++x) {
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(At(half, x, y, c), grey, srgb ? 0 : 1);
                EXPECT_NEAR(At(half, x, y, 3), 128, 1);
            }
        }
    }
    PixelBuffer steps =
        Image(512, 2, [](int x, int) { return Bgra(x / 2, x / 2, 255 - x / 2, 255); });
    const PixelBuffer half = Half(steps, {MipFilter::Box, true});
    for (int x = 0; x < 256; ++x)
        EXPECT_EQ(LoadPixel(half.data() + 4 * x), Bgra(x, x, 255 - x, 255));
}

// Normals (byte b is b / 127.5 - 1) stay unit length; (0.6, 0, 0.8) and (0, 0.6, 0.8) average to
// (0.3, 0.3, 0.8) / 0.905.
TEST(MipChain, NormalMapLevelsAreUnitLength) {
    PixelBuffer noise = Image(64, 48, [](int x, int y) {
        const double nx = (Hash(x, y) - 127.5) / 255, ny = (Hash(y, x) - 127.5) / 255;
        const double nz = std::sqrt(1 - nx * nx - ny * ny);
        const auto byte = [](double n) { return static_cast<int>(std::lround((n + 1) * 127.5)); };
        return Bgra(byte(nz), byte(ny), byte(nx), Hash(x, x + y));
    });
    for (const PixelBuffer& level : Make(noise, {MipFilter::Kaiser, false, true})) {
        for (int i = 0; i < level.width() * level.height(); ++i) {
            double length = 0;
            for (int c = 0; c < 3; ++c)
                length += std::pow(level[4 * i + c] / 127.5 - 1, 2);
            ASSERT_NEAR(std::sqrt(length), 1, 0.01) << level.width() << " " << i;
        }
    }
    PixelBuffer tilted = Image(64, 8, [](int x, int) {
        return x % 2 ? Bgra(230, 128, 204, 255) : Bgra(230, 204, 128, 0);
    });
    const PixelBuffer half = Half(tilted, {MipFilter::Kaiser, false, true});
    for (int x = 4; x < 28; ++x) {
        EXPECT_EQ(LoadPixel(half.data() + 4 * (64 + x)) & 0xffffffu, Bgra(240, 170, 170, 0));
        EXPECT_NEAR(At(half, x, 2, 3), 128, 1);
    }
}

// Sparse opaque texels (30 %) in clear ones: each level keeps the top's share of texels at or
// above the reference within one texel, where plain filtering loses it.
TEST(MipChain, AlphaCoverageKeepsTheShareOfTexelsAboveTheReference) {
    PixelBuffer top =
        Image(128, 96, [](int x, int y) { return Bgra(x, y, 0, Hash(x, y) < 77 ? 255 : 0); });
    const auto covered = [](const PixelBuffer& level) {
        long count = 0;
        for (int i = 0; i < level.width() * level.height(); ++i)
            count += level[4 * i + 3] >= 128;
        return count;
    };
    const long topTexels = 128 * 96, topCovered = covered(top);
    long worstPlain = 0;
    for (const PixelBuffer& level : Make(top, {MipFilter::Kaiser, false, false, 0}))
        worstPlain = std::max(worstPlain, std::abs(covered(level) * topTexels -
                                                   topCovered * level.width() * level.height()));
    EXPECT_GT(worstPlain, 20 * topTexels);
    for (const PixelBuffer& level : Make(top, {MipFilter::Kaiser, false, false, 128}))
        EXPECT_LE(
            std::abs(covered(level) * topTexels - topCovered * level.width() * level.height()),
            topTexels)
            << level.width();
}

// Any thread count gives the same bytes; progress rises strictly to 100.
TEST(MipChain, SameBytesAtAnyThreadCount) {
    PixelBuffer top = Image(301, 257, [](int x, int y) {
        return Bgra(Hash(x, y), Hash(y, x), Hash(x, 7 * y), Hash(3 * x, y));
    });
    for (const MipOptions& options : {MipOptions{MipFilter::Kaiser, true, false, 100},
                                      MipOptions{MipFilter::Lanczos, false, true, 0}}) {
        Chain one;
        {
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism, 1);
            one = Make(top, options);
        }
        std::vector<int> reports;
        const Chain all =
            MakeMipChain(top.view(), options, [&](int counter) { reports.push_back(counter); });
        ASSERT_EQ(one.size(), all.size());
        for (std::size_t i = 0; i < one.size(); ++i)
            EXPECT_TRUE(
                std::equal(one[i].data(), one[i].data() + one[i].byteCount(), all[i].data()))
                << i;
        EXPECT_TRUE(!reports.empty() && reports.back() == 100 &&
                    std::adjacent_find(reports.begin(), reports.end(), std::greater_equal<>()) ==
                        reports.end());
    }
}

}  // namespace
}  // namespace tintora::testing
