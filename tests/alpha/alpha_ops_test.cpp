// The alpha kernels: colour-key thresholds and distances, the channel formulas with their worked
// examples, point resampling, and that colour bytes never change.
#include "alpha/alpha_ops.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
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
    std::uint8_t* at(int x, int y) {
        return bytes.data() + 4 * (static_cast<std::size_t>(y) * width + x);
    }
    std::uint8_t alpha(int x, int y) { return at(x, y)[3]; }
};

// width x height pixels from a list of (R, G, B) colours, row after row; every alpha starts at 77.
Image FromColours(const std::vector<std::array<int, 3>>& rgb, int width) {
    Image image(width, static_cast<int>(rgb.size()) / width);
    for (std::size_t p = 0; p < rgb.size(); ++p) {
        std::uint8_t* px = image.bytes.data() + 4 * p;
        px[0] = static_cast<std::uint8_t>(rgb[p][2]);
        px[1] = static_cast<std::uint8_t>(rgb[p][1]);
        px[2] = static_cast<std::uint8_t>(rgb[p][0]);
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

// The range text's leading number plus 1, rounded half to even.
TEST(ColourKeyTest, ThresholdOfARangeText) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2", 3}, {"abc", 1}, {"0.5", 2}, {"1.5", 2}, {"-3", -2}};
    for (const auto& [text, threshold] : cases) {
        EXPECT_EQ(ColourKeyThreshold(text), threshold) << '"' << text << '"';
    }
    EXPECT_THROW(ColourKeyThreshold("3e9"), PlatformError);
}

// Key (R, G, B) = (100, 150, 200) as a window colour, with a top byte that must not matter,
// range "2": distances that round below 3 become transparent.
TEST(ColourKeyTest, NearColoursBecomeTransparentAndOthersOpaque) {
    Image image = FromColours({{100, 150, 200},  // the key
                               {102, 150, 200},  // (2, 0, 0): distance 2
                               {101, 151, 201},  // (1, 1, 1): 1.73, rounded 2
                               {102, 152, 200},  // (2, 2, 0): 2.83, rounded 3
                               {100, 150, 197},  // (0, 0, -3): 3
                               {0, 0, 0}},       // far away
                              6);
    const Image before = image;
    ApplyColourKeyAlpha(image.view(), 0xAB000000u | 200u << 16 | 150u << 8 | 100u,
                        ColourKeyThreshold("2"));
    std::vector<int> alphas;
    for (int x = 0; x < 6; ++x)
        alphas.push_back(image.alpha(x, 0));
    EXPECT_EQ(alphas, (std::vector<int>{0, 0, 0, 255, 255, 255}));
    ExpectSameColours(image, before);
}

TEST(ColourKeyTest, MatchesTheRoundedSquareRootForEveryDistanceAndThreshold) {
    // Offsets from a black key spread over the whole range of distances (0 to 442), against every
    // threshold from below 0 to beyond the largest distance: the kernel's test must agree with
    // rounding the square root of the sum of squares, near every rounding boundary.
    std::vector<std::array<int, 3>> colours;
    for (int r = 0; r < 256; r += 15) {
        for (int g = 0; g < 256; g += 13) {
            for (int b = 0; b < 256; ++b)
                colours.push_back({r, g, b});
        }
    }
    colours.push_back({255, 255, 255});
    std::vector<double> distances;
    for (const auto& [r, g, b] : colours) {
        distances.push_back(std::nearbyint(std::sqrt(static_cast<double>(r * r + g * g + b * b))));
    }
    const Image base = FromColours(colours, static_cast<int>(colours.size()));
    for (std::int32_t threshold = -1; threshold <= 445; ++threshold) {
        Image image = base;
        ApplyColourKeyAlpha(image.view(), 0x00000000u, threshold);
        for (std::size_t x = 0; x < colours.size(); ++x) {
            const int expected = distances[x] < threshold ? 0 : 255;
            ASSERT_EQ(image.alpha(static_cast<int>(x), 0), expected)
                << "(" << colours[x][0] << "," << colours[x][1] << "," << colours[x][2]
                << ") threshold " << threshold;
        }
        if (threshold == 200) ExpectSameColours(image, base);
    }
}

// The sources' worked values, for ChannelValue and the whole-image kernel alike: (B, G, R, A) =
// (10, 20, 30, 40); luminosity (255, 255, 254) and (1, 1, 0); saturation of greys, primaries,
// a lightness above one half and the same colour in two orders.
TEST(ChannelAlphaTest, EachSourceGivesItsWorkedValuesAndKeepsColours) {
    const std::vector<std::array<int, 3>> rgb = {
        {30, 20, 10}, {254, 255, 255}, {0, 1, 1},       {128, 128, 128}, {255, 0, 0},
        {0, 255, 0},  {0, 0, 255},     {255, 128, 128}, {100, 50, 50},   {50, 50, 100}};
    const std::pair<AlphaChannel, std::vector<int>> cases[] = {
        {AlphaChannel::Red, {30, 254, 0, 128, 255, 0, 0, 255, 100, 50}},
        {AlphaChannel::Green, {20, 255, 1, 128, 0, 255, 0, 128, 50, 50}},
        {AlphaChannel::Blue, {10, 255, 1, 128, 0, 0, 255, 128, 50, 100}},
        {AlphaChannel::Saturation, {128, 255, 255, 0, 255, 255, 255, 255, 85, 85}},
        {AlphaChannel::Luminosity, {20, 254, 0, 128, 85, 85, 85, 170, 66, 66}},
        {AlphaChannel::Alpha, {40, 77, 77, 77, 77, 77, 77, 77, 77, 77}},
    };
    for (const auto& [channel, alphas] : cases) {
        SCOPED_TRACE(static_cast<int>(channel));
        Image image = FromColours(rgb, 10);
        image.at(0, 0)[3] = 40;
        const Image before = image;
        ApplyChannelAlpha(image.view(), channel);
        std::vector<int> got, values;
        for (int x = 0; x < image.width; ++x) {
            got.push_back(image.alpha(x, 0));
            values.push_back(ChannelValue(before.bytes.data() + 4 * x, channel));
        }
        EXPECT_EQ(got, alphas);
        EXPECT_EQ(values, alphas);
        ExpectSameColours(image, before);
    }
}

// The parallel, vectorised loops (and the saturation table by largest and smallest byte) against
// the plain formulas on every pair of largest and smallest byte, the middle byte and the
// channels' order varied; 257 columns, so rows end off the vector width.
TEST(ChannelAlphaTest, WholeImagesAgreeWithThePlainFormulas) {
    std::vector<std::array<int, 3>> colours;
    for (int mx = 0; mx < 256; ++mx) {
        for (int mn = 0; mn <= mx; ++mn) {
            colours.push_back({mx, (mx + mn) / 2, mn});
            colours.push_back({mn, mx, (mx + 3 * mn) / 4});
        }
    }
    const Image source = FromColours(colours, 257);
    ASSERT_EQ(source.height, 256);
    for (const AlphaChannel channel : {AlphaChannel::Red, AlphaChannel::Green, AlphaChannel::Blue,
                                       AlphaChannel::Saturation, AlphaChannel::Luminosity}) {
        Image image = source;
        ApplyChannelAlpha(image.view(), channel);
        ExpectSameColours(image, source);
        for (std::size_t p = 0; p < colours.size(); ++p) {
            const auto [r, g, b] = colours[p];
            const int plain[] = {
                r, g, b,
                RgbSaturation(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                              static_cast<std::uint8_t>(b)),
                (r + g + b) / 3};
            ASSERT_EQ(image.bytes[4 * p + 3], plain[static_cast<int>(channel)])
                << r << "," << g << "," << b << " channel " << static_cast<int>(channel);
        }
    }
}

TEST(ResampledAlphaTest, PointSamplesTheSourceAtTheDestinationSize) {
    // 64 x 64 source on 256 x 256: each source pixel fills a 4 x 4 block, for the alpha (taken
    // from another texture's alpha layer) and for a colour channel alike.
    Image source = Noise(64, 64, 3);
    for (const AlphaChannel channel : {AlphaChannel::Alpha, AlphaChannel::Luminosity}) {
        Image image = Noise(256, 256, 5);
        const Image before = image;
        ApplyResampledAlpha(image.view(), source.view(), channel);
        ExpectSameColours(image, before);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                ASSERT_EQ(image.alpha(x, y), ChannelValue(source.at(x / 4, y / 4), channel))
                    << x << "," << y << " channel " << static_cast<int>(channel);
            }
        }
    }

    // Uneven sizes: 3 columns onto 7 (columns 0 0 1 1 1 2 2 by centres), 5 rows onto 2 (1 and 3).
    Image narrow(3, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 3; ++x)
            narrow.at(x, y)[3] = static_cast<std::uint8_t>(10 * y + x);
    }
    Image wide = Noise(7, 2, 17);
    ApplyResampledAlpha(wide.view(), narrow.view(), AlphaChannel::Alpha);
    const int columns[7] = {0, 0, 1, 1, 1, 2, 2};
    const int rows[2] = {1, 3};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(wide.alpha(x, y), 10 * rows[y] + columns[x]) << x;
    }

    // An empty source cannot fill a texture.
    EXPECT_THROW(ApplyResampledAlpha(wide.view(), PixelView{}, AlphaChannel::Red),
                 PlatformError);
}

}  // namespace
}  // namespace tintora::testing
