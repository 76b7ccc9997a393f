#include "effects/channel_maps.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "effects_support.h"

namespace tintora::testing {
namespace {

// --- Invert ---------------------------------------------------------------------------------

TEST(InvertColors, TwiceGivesTheImageBack) {
    Image image = PhotoLike(257, 193);
    const std::vector<std::uint8_t> original = image.bytes;
    InvertColors(image.view(), image.view());
    EXPECT_NE(image.bytes, original);
    InvertColors(image.view(), image.view());
    EXPECT_EQ(image.bytes, original);
}

// --- Auto contrast --------------------------------------------------------------------------

struct StretchExample {
    int minimum;
    int maximum;
    std::vector<std::pair<int, int>> values;  // input -> output
};

const StretchExample kStretchExamples[] = {
    // The factor is 256: a full-range channel still changes.
    {0,
     255,
     {{0, 0}, {1, 1}, {64, 64}, {127, 127}, {128, 129}, {191, 192}, {254, 255}, {255, 255}}},
    {50, 200, {{50, 0}, {51, 2}, {100, 85}, {125, 128}, {126, 130}, {199, 254}, {200, 255}}},
};

class AutoContrastExampleTest : public ::testing::TestWithParam<StretchExample> {};

TEST_P(AutoContrastExampleTest, TableMapsAsTheExampleSays) {
    const StretchExample& example = GetParam();
    const ChannelTable table = AutoContrastTable(example.minimum, example.maximum);
    for (const auto& [in, out] : example.values)
        EXPECT_EQ(table[in], out) << "value " << in;
}

TEST_P(AutoContrastExampleTest, ImageWhoseChannelsSpanTheRangeMapsTheSame) {
    // Every channel spans minimum to maximum; each holds the example's inputs in another order.
    const StretchExample& example = GetParam();
    const auto& values = example.values;
    const std::size_t n = values.size();
    std::vector<Rgb> colours;
    for (std::size_t i = 0; i < n; ++i) {
        colours.push_back({values[i].first, values[(i + 2) % n].first, values[(i + 5) % n].first});
    }
    Image image = RowOf(colours);
    const std::vector<std::uint8_t> alphas = Alphas(image);
    AutoContrast(image.view(), image.view());
    for (std::size_t i = 0; i < n; ++i) {
        const Rgb expected{values[i].second, values[(i + 2) % n].second,
                           values[(i + 5) % n].second};
        EXPECT_EQ(image.rgb(i), expected) << "pixel " << i;
    }
    EXPECT_EQ(Alphas(image), alphas);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, AutoContrastExampleTest,
                         ::testing::ValuesIn(kStretchExamples), [](const auto& param) {
                             return "Span" + std::to_string(param.param.minimum) + "To" +
                                    std::to_string(param.param.maximum);
                         });

TEST(AutoContrast, ChannelWithOneValueStaysAsItIs) {
    // A pure red texture: blue and green hold 0 everywhere, red 255; and a channel fixed at 77.
    Image red = RowOf({{255, 0, 77}, {255, 0, 77}, {255, 0, 77}});
    const std::vector<std::uint8_t> before = red.bytes;
    AutoContrast(red.view(), red.view());
    EXPECT_EQ(red.bytes, before);
    // The other channels still stretch.
    Image mixed = RowOf({{255, 3, 77}, {255, 9, 77}});
    AutoContrast(mixed.view(), mixed.view());
    EXPECT_EQ(mixed.rgb(0), (Rgb{255, 0, 77}));
    EXPECT_EQ(mixed.rgb(1), (Rgb{255, 255, 77}));
}

TEST(AutoContrast, ReportsProgressAfterTheScanAndAfterTheTables) {
    Image image = PhotoLike(20, 10);
    std::vector<int> reported;
    AutoContrast(image.view(), image.view(), [&](int counter) { reported.push_back(counter); });
    EXPECT_EQ(reported, (std::vector<int>{25, 50}));
}

TEST(AutoContrast, ScanFindsEachChannelsExtremesWhateverThePixelCount) {
    // Pixel counts around the four-pixel blocks of the scan, extremes placed in the last pixel.
    for (int width : {1, 3, 4, 5, 7, 8, 9}) {
        Image image(width, 1);
        for (int p = 0; p < width; ++p)
            image.setRgb(p, {100, 100, 100}, 0);
        image.setRgb(width - 1, {250, 5, 100}, 255);
        const ChannelRange range = ScanChannelRange(image.view());
        EXPECT_EQ(range.minimum[2], width == 1 ? 250 : 100) << width;
        EXPECT_EQ(range.maximum[2], 250) << width;
        EXPECT_EQ(range.minimum[1], 5) << width;
        EXPECT_EQ(range.maximum[1], width == 1 ? 5 : 100) << width;
        EXPECT_EQ(range.minimum[0], 100);
        EXPECT_EQ(range.maximum[0], 100);
    }
}

// --- Equalize -------------------------------------------------------------------------------

// A 16 x 16 image whose channel c holds value(p, c) at pixel p.
template <typename Value>
Image Square16(Value value) {
    Image image(16, 16);
    for (std::size_t p = 0; p < 256; ++p) {
        image.setRgb(p, {value(p, 2), value(p, 1), value(p, 0)}, static_cast<std::uint8_t>(p));
    }
    return image;
}

TEST(Equalize, ChannelHoldingEveryValueOnceIsUnchanged) {
    // Each channel holds every value once, in a different order.
    Image image = Square16([](std::size_t p, int c) {
        return c == 1 ? 255 - static_cast<int>(p) : static_cast<int>((p * 7) % 256);
    });
    const std::vector<std::uint8_t> before = image.bytes;
    Equalize(image.view(), image.view());
    EXPECT_EQ(image.bytes, before);
}

TEST(Equalize, HalfBlackHalfWhiteMapsWhiteTo191) {
    Image image = Square16([](std::size_t p, int) { return p < 128 ? 0 : 255; });
    Equalize(image.view(), image.view());
    EXPECT_EQ(image.rgb(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(image.rgb(255), (Rgb{191, 191, 191}));
}

TEST(Equalize, ChannelHolding100EverywhereMapsTo127) {
    Image image = Square16([](std::size_t, int) { return 100; });
    Equalize(image.view(), image.view());
    for (std::size_t p = 0; p < 256; ++p)
        ASSERT_EQ(image.rgb(p), (Rgb{127, 127, 127}));
}

TEST(Equalize, SinglePixelMapsItsValueTo128OrZeroToZero) {
    for (int value : {0, 1, 100, 254, 255}) {
        std::array<std::int32_t, 256> counts{};
        counts[value] = 1;
        EXPECT_EQ(EqualizeTable(counts, 1)[value], value == 0 ? 0 : 128) << value;
    }
    Image image = RowOf({{255, 1, 0}});
    Equalize(image.view(), image.view());
    EXPECT_EQ(image.rgb(0), (Rgb{128, 128, 0}));
}

TEST(Equalize, TwoPixelsOfOneValue) {
    // Step 2 / 256: shares are 0 up to level 64, 1 up to 191, 2 from 192. Levels 1..64 map to
    // 199, 65..191 to 200 (a tie goes up), the rest to the top; so 200 goes to 64.
    std::array<std::int32_t, 256> counts{};
    counts[200] = 2;
    EXPECT_EQ(EqualizeTable(counts, 2)[200], 64);
}

TEST(ChannelMaps, EmptyImagesAreLeftAlone) {
    Image empty(0, 0);
    InvertColors(empty.view(), empty.view());
    AutoContrast(empty.view(), empty.view());
    Equalize(empty.view(), empty.view());
    const ChannelRange range = ScanChannelRange(empty.view());
    EXPECT_EQ(range.minimum[0], 255);
    EXPECT_EQ(range.maximum[0], 0);
}

TEST(ChannelMaps, RefuseOverlappingViews) {
    Image image(8, 2);
    const PixelView whole = image.view();
    const PixelView shifted{image.bytes.data() + 4, 4, 2};
    const PixelView first{image.bytes.data(), 4, 2};
    EXPECT_THROW(InvertColors(first, shifted), std::invalid_argument);
    EXPECT_THROW(Equalize(whole, PixelView{image.bytes.data(), 16, 2}), std::invalid_argument);
}

}  // namespace
}  // namespace tintora::testing
