// The alpha kernels: colour-key thresholds and distances, the channel formulas with their worked
// examples, point resampling, and that colour bytes never change.
#include "alpha/alpha_ops.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/error.h"

namespace tintora::testing {
namespace {

// B G R A bytes, pitch 4 x width, with a view for the kernels.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;

    Image(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4) {}
    PixelView view() { return {bytes.data(), width, height}; }
    std::uint8_t* at(int x, int y) { return bytes.data() + 4 * (static_cast<std::size_t>(y) * width + x); }
    std::uint8_t alpha(int x, int y) { return at(x, y)[3]; }
};

// One pixel per (R, G, B) colour in a row; every alpha starts at 77.
Image Row(const std::vector<std::array<int, 3>>& rgb) {
    Image image(static_cast<int>(rgb.size()), 1);
    for (int x = 0; x < image.width; ++x) {
        std::uint8_t* px = image.at(x, 0);
        px[0] = static_cast<std::uint8_t>(rgb[x][2]);
        px[1] = static_cast<std::uint8_t>(rgb[x][1]);
        px[2] = static_cast<std::uint8_t>(rgb[x][0]);
        px[3] = 77;
    }
    return image;
}

// A deterministic image of varied colours and alphas.
Image Noise(int width, int height, std::uint32_t seed) {
    Image image(width, height);
    for (std::uint8_t& byte : image.bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    return image;
}

// Every colour byte of a equals the one of b.
void ExpectSameColours(const Image& a, const Image& b) {
    ASSERT_EQ(a.bytes.size(), b.bytes.size());
    for (std::size_t i = 0; i < a.bytes.size(); ++i) {
        if (i % 4 == 3) continue;
        ASSERT_EQ(a.bytes[i], b.bytes[i]) << "byte " << i;
    }
}

TEST(ColourKeyTest, ThresholdIsTheLeadingNumberPlusOneRoundedHalfToEven) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2", 3},   {"0", 1},    {"", 1},      {"abc", 1}, {"  40%", 41}, {"15", 16},
        {"0.5", 2},  // 1.5 rounds to the even 2
        {"1.5", 2},  // 2.5 rounds to the even 2
        {"-3", -2},  {"250", 251}, {"1e2", 101},
    };
    for (const auto& [text, threshold] : cases) {
        EXPECT_EQ(ColourKeyThreshold(text), threshold) << '"' << text << '"';
    }
    EXPECT_THROW(ColourKeyThreshold("3e9"), PlatformError);
}

TEST(ColourKeyTest, NearColoursBecomeTransparentAndOthersOpaque) {
    // Key (R, G, B) = (100, 150, 200) as a window colour, with a top byte that must not matter.
    const std::uint32_t key = 0xAB000000u | 200u << 16 | 150u << 8 | 100u;
    Image image = Row({{100, 150, 200},    // the key
                       {102, 150, 200},    // (2, 0, 0): distance 2
                       {101, 151, 201},    // (1, 1, 1): 1.73, rounded 2
                       {102, 152, 200},    // (2, 2, 0): 2.83, rounded 3
                       {100, 150, 197},    // (0, 0, -3): 3
                       {0, 0, 0}});        // far away
    const Image before = image;
    ApplyColourKeyAlpha(image.view(), key, ColourKeyThreshold("2"));
    EXPECT_EQ((std::vector<int>{image.alpha(0, 0), image.alpha(1, 0), image.alpha(2, 0),
                                image.alpha(3, 0), image.alpha(4, 0), image.alpha(5, 0)}),
              (std::vector<int>{0, 0, 0, 255, 255, 255}));
    ExpectSameColours(image, before);

    // Threshold 1: exactly the key colour.
    image = before;
    ApplyColourKeyAlpha(image.view(), key, ColourKeyThreshold(""));
    EXPECT_EQ(image.alpha(0, 0), 0);
    for (int x = 1; x < image.width; ++x)
        EXPECT_EQ(image.alpha(x, 0), 255) << x;

    // 0 and below: nothing is transparent; far above the largest distance: everything is.
    for (const std::int32_t t : {0, -5}) {
        image = before;
        ApplyColourKeyAlpha(image.view(), key, t);
        for (int x = 0; x < image.width; ++x)
            EXPECT_EQ(image.alpha(x, 0), 255) << t;
    }
    image = before;
    ApplyColourKeyAlpha(image.view(), 0x00FFFFFFu, 2000000000);
    for (int x = 0; x < image.width; ++x)
        EXPECT_EQ(image.alpha(x, 0), 0);
}

TEST(ColourKeyTest, MatchesTheRoundedSquareRootForEveryDistanceAndThreshold) {
    // Offsets from a black key spread over the whole range of distances (0 to 442), against every
    // threshold from below 0 to beyond the largest distance: the kernel's test must agree with
    // rounding the square root of the sum of squares, near every rounding boundary.
    std::vector<std::array<int, 3>> colours;
    for (int r = 0; r < 256; r += 15) {
        for (int g = 0; g < 256; g += 13) {
            for (int b = 0; b < 256; ++b) colours.push_back({r, g, b});
        }
    }
    colours.push_back({255, 255, 255});
    std::vector<double> distances;
    for (const auto& [r, g, b] : colours) {
        distances.push_back(std::nearbyint(std::sqrt(static_cast<double>(r * r + g * g + b * b))));
    }
    const Image base = Row(colours);
    for (std::int32_t threshold = -1; threshold <= 445; ++threshold) {
        Image image = base;
        ApplyColourKeyAlpha(image.view(), 0x00000000u, threshold);
        for (std::size_t x = 0; x < colours.size(); ++x) {
            const int expected = distances[x] < threshold ? 0 : 255;
            ASSERT_EQ(image.alpha(static_cast<int>(x), 0), expected)
                << "(" << colours[x][0] << "," << colours[x][1] << "," << colours[x][2]
                << ") threshold " << threshold;
        }
    }
}

TEST(ColourKeyTest, ReportsProgressUpTo100AndLeavesColoursOnLargeImages) {
    Image image = Noise(300, 200, 7);
    const Image before = image;
    std::vector<int> counters;
    ApplyColourKeyAlpha(image.view(), 0x00808080u, 120, [&](int c) { counters.push_back(c); });
    ASSERT_FALSE(counters.empty());
    EXPECT_EQ(counters.back(), 100);
    for (std::size_t i = 1; i < counters.size(); ++i) EXPECT_GT(counters[i], counters[i - 1]);
    ExpectSameColours(image, before);
    for (std::size_t i = 3; i < image.bytes.size(); i += 4) {
        ASSERT_TRUE(image.bytes[i] == 0 || image.bytes[i] == 255);
    }

    // Fewer than 100 pixels: one report at the end.
    Image small = Noise(3, 3, 1);
    counters.clear();
    ApplyColourKeyAlpha(small.view(), 0, 3, [&](int c) { counters.push_back(c); });
    EXPECT_EQ(counters, std::vector<int>{100});
}

TEST(RgbSaturationTest, WorkedExamplesAndSymmetry) {
    EXPECT_EQ(RgbSaturation(255, 0, 0), 255);
    EXPECT_EQ(RgbSaturation(0, 255, 0), 255);
    EXPECT_EQ(RgbSaturation(0, 0, 255), 255);
    EXPECT_EQ(RgbSaturation(255, 128, 128), 255);  // lightness above one half
    EXPECT_EQ(RgbSaturation(128, 128, 128), 0);
    EXPECT_EQ(RgbSaturation(0, 0, 0), 0);
    EXPECT_EQ(RgbSaturation(255, 255, 255), 0);
    EXPECT_EQ(RgbSaturation(100, 50, 50), 85);
    EXPECT_EQ(RgbSaturation(50, 100, 50), 85);
    EXPECT_EQ(RgbSaturation(50, 50, 100), 85);
    // Only the largest and the smallest byte count.
    for (int middle = 50; middle <= 100; middle += 10) {
        EXPECT_EQ(RgbSaturation(100, static_cast<std::uint8_t>(middle), 50), 85) << middle;
    }
}

TEST(ChannelAlphaTest, SaturationOfEveryLargestAndSmallestByte) {
    // The pixel loops look the saturation up by largest and smallest byte; every pair must give
    // RgbSaturation of the pixel, whatever the middle byte and the channels' order.
    std::vector<std::array<int, 3>> colours;
    for (int mx = 0; mx < 256; ++mx) {
        for (int mn = 0; mn <= mx; ++mn) {
            colours.push_back({mx, (mx + mn) / 2, mn});
            colours.push_back({mn, mx, (mx + 3 * mn) / 4});
        }
    }
    Image image = Row(colours);
    ApplyChannelAlpha(image.view(), AlphaChannel::Saturation);
    for (std::size_t x = 0; x < colours.size(); ++x) {
        const auto& [r, g, b] = colours[x];
        ASSERT_EQ(image.alpha(static_cast<int>(x), 0),
                  RgbSaturation(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                static_cast<std::uint8_t>(b)))
            << r << "," << g << "," << b;
    }
}

TEST(ChannelAlphaTest, EachChannelGivesItsWorkedValuesAndKeepsColours) {
    // (R, G, B) pixels: the examples (B, G, R, A) = (10, 20, 30, 40); luminosity (255, 255, 254)
    // and (1, 1, 0); greys and pure primaries for saturation.
    const std::vector<std::array<int, 3>> rgb = {
        {30, 20, 10}, {254, 255, 255}, {0, 1, 1}, {128, 128, 128}, {255, 0, 0},
        {0, 255, 0},  {0, 0, 255},     {100, 50, 50}};
    const std::pair<AlphaChannel, std::vector<int>> cases[] = {
        {AlphaChannel::Red, {30, 254, 0, 128, 255, 0, 0, 100}},
        {AlphaChannel::Green, {20, 255, 1, 128, 0, 255, 0, 50}},
        {AlphaChannel::Blue, {10, 255, 1, 128, 0, 0, 255, 50}},
        {AlphaChannel::Saturation, {RgbSaturation(30, 20, 10), 255, 255, 0, 255, 255, 255, 85}},
        {AlphaChannel::Luminosity, {20, 254, 0, 128, 85, 85, 85, 66}},
        {AlphaChannel::Alpha, {77, 77, 77, 77, 77, 77, 77, 77}},
    };
    for (const auto& [channel, alphas] : cases) {
        Image image = Row(rgb);
        image.at(0, 0)[3] = 40;
        const Image before = image;
        ApplyChannelAlpha(image.view(), channel);
        std::vector<int> got;
        for (int x = 0; x < image.width; ++x) got.push_back(image.alpha(x, 0));
        std::vector<int> want = alphas;
        if (channel == AlphaChannel::Alpha) want[0] = 40;
        EXPECT_EQ(got, want) << static_cast<int>(channel);
        ExpectSameColours(image, before);
        for (int x = 0; x < image.width; ++x) {
            EXPECT_EQ(ChannelValue(before.bytes.data() + 4 * x, channel), want[x]);
        }
    }
}

TEST(ChannelAlphaTest, LargeImagesAgreeWithThePerPixelValue) {
    // The parallel, vectorised loops against ChannelValue pixel by pixel.
    const Image source = Noise(517, 131, 99);
    for (const AlphaChannel channel :
         {AlphaChannel::Red, AlphaChannel::Green, AlphaChannel::Blue, AlphaChannel::Saturation,
          AlphaChannel::Luminosity}) {
        Image image = source;
        ApplyChannelAlpha(image.view(), channel);
        ExpectSameColours(image, source);
        for (std::size_t p = 0; p < image.bytes.size() / 4; ++p) {
            ASSERT_EQ(image.bytes[4 * p + 3], ChannelValue(source.bytes.data() + 4 * p, channel))
                << "pixel " << p << " channel " << static_cast<int>(channel);
        }
    }
}

TEST(ResampledAlphaTest, SmallSourceFillsBlocksAndLargeSourceIsPointSampled) {
    // 64 x 64 source on 256 x 256: each source pixel fills a 4 x 4 block, for the alpha (taken
    // from another texture's alpha layer) and for a colour channel alike.
    const Image source = Noise(64, 64, 3);
    Image src = source;
    for (const AlphaChannel channel : {AlphaChannel::Alpha, AlphaChannel::Green,
                                       AlphaChannel::Luminosity, AlphaChannel::Saturation}) {
        Image image = Noise(256, 256, 5);
        const Image before = image;
        ApplyResampledAlpha(image.view(), src.view(), channel);
        ExpectSameColours(image, before);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                ASSERT_EQ(image.alpha(x, y), ChannelValue(src.at(x / 4, y / 4), channel))
                    << x << "," << y << " channel " << static_cast<int>(channel);
            }
        }
    }

    // 256 x 256 onto 64 x 64: the texel nearest each destination centre, (4x + 2, 4y + 2).
    Image big = Noise(256, 256, 11);
    Image small = Noise(64, 64, 13);
    ApplyResampledAlpha(small.view(), big.view(), AlphaChannel::Alpha);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) ASSERT_EQ(small.alpha(x, y), big.alpha(4 * x + 2, 4 * y + 2));
    }

    // Uneven sizes: 3 columns onto 7 (columns 0 0 1 1 1 2 2 by centres), 5 rows onto 2 (1 and 3).
    Image narrow(3, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 3; ++x) narrow.at(x, y)[3] = static_cast<std::uint8_t>(10 * y + x);
    }
    Image wide = Noise(7, 2, 17);
    ApplyResampledAlpha(wide.view(), narrow.view(), AlphaChannel::Alpha);
    const int columns[7] = {0, 0, 1, 1, 1, 2, 2};
    const int rows[2] = {1, 3};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 7; ++x) EXPECT_EQ(wide.alpha(x, y), 10 * rows[y] + columns[x]) << x;
    }

    // The same size copies pixel for pixel; an empty source cannot fill a texture.
    Image same = Noise(33, 17, 19);
    Image copyFrom = Noise(33, 17, 23);
    ApplyResampledAlpha(same.view(), copyFrom.view(), AlphaChannel::Red);
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 33; ++x) ASSERT_EQ(same.alpha(x, y), copyFrom.at(x, y)[2]);
    }
    EXPECT_THROW(ApplyResampledAlpha(same.view(), PixelView{}, AlphaChannel::Red),
                 std::invalid_argument);
}

}  // namespace
}  // namespace tintora::testing
