// The alpha kernels: colour-key distances, channel formulas, point resampling; colours never
// change.
#include "alpha/alpha_ops.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
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
};

// One row of pixels from (R, G, B) colours, every alpha 77.
Image FromColours(const std::vector<std::array<int, 3>>& rgb) {
    Image image(static_cast<int>(rgb.size()), 1);
    for (std::size_t p = 0; p < rgb.size(); ++p) {
        for (int c = 0; c < 3; ++c)
            image.bytes[4 * p + c] = static_cast<std::uint8_t>(rgb[p][2 - c]);
        image.bytes[4 * p + 3] = 77;
    }
    return image;
}

// Every colour byte of a equals the one of b.
void ExpectSameColours(const Image& a, const Image& b) {
    ASSERT_EQ(a.bytes.size(), b.bytes.size());
    for (std::size_t i = 0; i < a.bytes.size(); ++i)
        ASSERT_TRUE(i % 4 == 3 || a.bytes[i] == b.bytes[i]) << "byte " << i;
}

// The range text's leading number plus 1, rounded half to even.
TEST(ColourKeyTest, ThresholdOfARangeText) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2", 3}, {"abc", 1}, {"0.5", 2}, {"1.5", 2}, {"-3", -2}};
    for (const auto& [text, threshold] : cases)
        EXPECT_EQ(ColourKeyThreshold(text), threshold) << '"' << text << '"';
    EXPECT_THROW(ColourKeyThreshold("3e9"), PlatformError);
}

// Every distance against every threshold agrees with the rounded square root of the sum of squares;
// the key is a window colour (red in the low byte) whose top byte does not matter.
TEST(ColourKeyTest, MatchesTheRoundedSquareRootForEveryDistanceAndThreshold) {
    std::vector<std::array<int, 3>> colours = {{255, 255, 255}};
    for (int i = 0; i < 18 * 20 * 256; ++i)  // red in steps of 15, green of 13, every blue
        colours.push_back({i / (20 * 256) * 15, i / 256 % 20 * 13, i % 256});
    const Image base = FromColours(colours);
    for (const std::array<int, 3> key : {std::array{0, 0, 0}, std::array{105, 156, 200}}) {
        std::vector<double> distances;
        for (const auto& [r, g, b] : colours) {
            const int dr = r - key[0], dg = g - key[1], db = b - key[2];
            distances.push_back(std::nearbyint(std::sqrt(dr * dr + dg * dg + db * db)));
        }
        const auto keyColour =
            static_cast<std::uint32_t>(0xAB000000u | key[2] << 16 | key[1] << 8 | key[0]);
        for (std::int32_t threshold = -1; threshold <= 445; ++threshold) {
            Image image = base;
            ApplyColourKeyAlpha(image.view(), keyColour, threshold);
            for (std::size_t x = 0; x < colours.size(); ++x) {
                ASSERT_EQ(image.bytes[4 * x + 3], distances[x] < threshold ? 0 : 255)
                    << "(" << colours[x][0] << "," << colours[x][1] << "," << colours[x][2]
                    << ") key " << key[0] << " threshold " << threshold;
            }
            if (threshold == 200) ExpectSameColours(image, base);
        }
    }
}

// Greys, primaries, a lightness above one half and the same colour in two orders.
TEST(ChannelAlphaTest, SaturationWorkedValues) {
    const std::pair<std::array<std::uint8_t, 3>, int> cases[] = {
        {{30, 20, 10}, 128},    {{254, 255, 255}, 255}, {{0, 1, 1}, 255},
        {{128, 128, 128}, 0},   {{255, 0, 0}, 255},     {{0, 0, 255}, 255},
        {{255, 128, 128}, 255}, {{100, 50, 50}, 85},    {{50, 50, 100}, 85}};
    for (const auto& [rgb, saturation] : cases)
        EXPECT_EQ(RgbSaturation(rgb[0], rgb[1], rgb[2]), saturation) << int{rgb[0]} << int{rgb[1]};
}

// The vectorised loops, the saturation table and ChannelValue against the plain formulas on every
// (largest, smallest) byte pair in two orders; 257 columns, so rows end off the vector width.
TEST(ChannelAlphaTest, WholeImagesAgreeWithThePlainFormulas) {
    std::vector<std::array<int, 3>> colours;
    for (int mx = 0; mx < 256; ++mx) {
        for (int mn = 0; mn <= mx; ++mn) {
            colours.push_back({mx, (mx + mn) / 2, mn});
            colours.push_back({mn, mx, (mx + 3 * mn) / 4});
        }
    }
    Image source = FromColours(colours);
    source.width = 257;
    source.height = 256;
    for (const AlphaChannel channel :
         {AlphaChannel::Red, AlphaChannel::Green, AlphaChannel::Blue, AlphaChannel::Saturation,
          AlphaChannel::Luminosity, AlphaChannel::Alpha}) {
        Image image = source;
        ApplyChannelAlpha(image.view(), channel);
        ExpectSameColours(image, source);
        for (std::size_t p = 0; p < colours.size(); ++p) {
            const auto [r, g, b] = colours[p];
            const int plain[] = {r,
                                 g,
                                 b,
                                 RgbSaturation(source.bytes[4 * p + 2], source.bytes[4 * p + 1],
                                               source.bytes[4 * p]),
                                 (r + g + b) / 3,
                                 77};
            const int want = plain[static_cast<int>(channel)];
            ASSERT_EQ(image.bytes[4 * p + 3], want)
                << r << "," << g << "," << b << " channel " << static_cast<int>(channel);
            ASSERT_EQ(ChannelValue(&source.bytes[4 * p], channel), want);
        }
    }
}

// 3 columns onto 7 and 5 rows onto 2 by texel centres; an empty source cannot fill a texture.
TEST(ResampledAlphaTest, PointSamplesTheSourceAtTheDestinationSize) {
    Image source(3, 5);
    for (std::size_t i = 0; i < source.bytes.size(); ++i)
        source.bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const int columns[7] = {0, 0, 1, 1, 1, 2, 2};
    const int rows[2] = {1, 3};
    for (const AlphaChannel channel : {AlphaChannel::Alpha, AlphaChannel::Luminosity}) {
        Image image = FromColours(std::vector<std::array<int, 3>>(14, {9, 99, 199}));
        image.width = 7;
        image.height = 2;
        const Image before = image;
        ApplyResampledAlpha(image.view(), source.view(), channel);
        ExpectSameColours(image, before);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 7; ++x) {
                const std::uint8_t* from = source.bytes.data() + 4 * (3 * rows[y] + columns[x]);
                EXPECT_EQ(image.bytes[4 * (7 * y + x) + 3], ChannelValue(from, channel)) << x << y;
            }
        }
    }
    Image image(7, 2);
    EXPECT_THROW(ApplyResampledAlpha(image.view(), PixelView{}, AlphaChannel::Red), PlatformError);
}

}  // namespace
}  // namespace tintora::testing
