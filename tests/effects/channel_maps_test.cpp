#include "effects/channel_maps.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "base/error.h"
#include "effects_support.h"

namespace tintora::testing {
namespace {

TEST(AutoContrast, WorkedExamples) {
    const struct {
        int minimum;
        int maximum;
        std::vector<std::pair<int, int>> values;  // input -> output
    } examples[] = {
        // The factor is 256: a full-range channel still changes.
        {0,
         255,
         {{0, 0}, {1, 1}, {64, 64}, {127, 127}, {128, 129}, {191, 192}, {254, 255}, {255, 255}}},
        {50, 200, {{50, 0}, {51, 2}, {100, 85}, {125, 128}, {126, 130}, {199, 254}, {200, 255}}},
    };
    for (const auto& example : examples) {
        const ChannelTable table = AutoContrastTable(example.minimum, example.maximum);
        for (const auto& [in, out] : example.values)
            EXPECT_EQ(table[in], out) << example.minimum << " to " << example.maximum << ": " << in;
    }
}

TEST(AutoContrast, ChannelWithOneValueStaysAsItIs) {
    // Red fixed at 255 and blue at 77; green spans 3 to 9 and stretches on its own.
    Image image = RowOf({{255, 3, 77}, {255, 9, 77}});
    AutoContrast(image.view(), image.view());
    EXPECT_EQ(image.rgb(0), (Rgb{255, 0, 77}));
    EXPECT_EQ(image.rgb(1), (Rgb{255, 255, 77}));
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

// Every value mapping to itself.
std::vector<std::pair<int, int>> Identity() {
    std::vector<std::pair<int, int>> values;
    for (int v = 0; v < 256; ++v)
        values.emplace_back(v, v);
    return values;
}

TEST(Equalize, TableExamples) {
    const struct {
        const char* name;
        std::function<int(int)> count;            // pixels holding each value 0 to 255
        std::vector<std::pair<int, int>> values;  // input -> output
    } examples[] = {
        {"every value once", [](int) { return 1; }, Identity()},
        {"half black, half white",
         [](int v) { return v == 0 || v == 255 ? 128 : 0; },
         {{0, 0}, {255, 191}}},
        {"100 everywhere", [](int v) { return v == 100 ? 256 : 0; }, {{100, 127}}},
        // One pixel: its value goes to 128, or 0 to 0.
        {"one pixel of 0", [](int v) { return v == 0 ? 1 : 0; }, {{0, 0}}},
        {"one pixel of 1", [](int v) { return v == 1 ? 1 : 0; }, {{1, 128}}},
        {"one pixel of 255", [](int v) { return v == 255 ? 1 : 0; }, {{255, 128}}},
        // Step 2 / 256: shares are 0 up to level 64, 1 up to 191, 2 from 192. Levels 1..64 map
        // to 199, 65..191 to 200 (a tie goes up), the rest to the top; so 200 goes to 64.
        {"two pixels of 200", [](int v) { return v == 200 ? 2 : 0; }, {{200, 64}}},
    };
    for (const auto& example : examples) {
        std::array<std::int32_t, 256> counts{};
        std::int32_t pixels = 0;
        for (int v = 0; v < 256; ++v)
            pixels += counts[v] = example.count(v);
        const ChannelTable table = EqualizeTable(counts, pixels);
        for (const auto& [in, out] : example.values)
            EXPECT_EQ(table[in], out) << example.name << ": value " << in;
    }
}

TEST(ChannelMaps, EmptyImagesAreLeftAloneAndOverlappingViewsRefused) {
    Image empty(0, 0);
    InvertColors(empty.view(), empty.view());
    AutoContrast(empty.view(), empty.view());
    Equalize(empty.view(), empty.view());
    const ChannelRange range = ScanChannelRange(empty.view());
    EXPECT_EQ(range.minimum[0], 255);
    EXPECT_EQ(range.maximum[0], 0);

    Image image(8, 2);
    const PixelView shifted{image.bytes.data() + 4, 4, 2};
    const PixelView first{image.bytes.data(), 4, 2};
    EXPECT_THROW(InvertColors(first, shifted), PlatformError);
    EXPECT_THROW(Equalize(image.view(), PixelView{image.bytes.data(), 16, 2}),
                 PlatformError);
}

}  // namespace
}  // namespace tintora::testing
