// The colour picker's arithmetic: colours taken apart and put together without masking, and the
// colour field's layout.
#include "color/colors.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tintora::testing {
namespace {

struct Rgb {
    std::int32_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

Rgb Split(std::uint32_t color) {
    Rgb rgb{};
    SplitColor(color, rgb.b, rgb.g, rgb.r);
    return rgb;
}

TEST(ColorArithmeticTest, NumberBoxesReplaceOneComponent) {
    // A box replaces its component: 300 in the red box of a colour with green 128 gives red 44
    // and green 129.
    EXPECT_EQ(Split(WithComponent(0x00008000u, 0, 300)), (Rgb{44, 129, 0}));
    EXPECT_EQ(WithComponent(0x00102030u, 1, 128), 0x00108030u);
    EXPECT_EQ(WithComponent(0x00102030u, 2, 0), 0x00002030u);
    EXPECT_EQ(WithComponent(kOutsidePicture, 1, 0), 0x00FF00FFu);
}

TEST(ColorFieldTest, PixelsAtTheirColumnsAndRows) {
    const struct {
        int x, y;
        Rgb expected;
    } cases[] = {
        // Row 27: the pure hue falling from right to left; within a degree of pure blue, green
        // and yellow at their columns; the left edge red just turning magenta (358.5 degrees).
        {235, 27, {255, 0, 0}},
        {117, 27, {0, 255, 255}},
        {78, 27, {0, 2, 255}},
        {157, 27, {4, 255, 0}},
        {196, 27, {255, 253, 0}},
        {0, 27, {255, 0, 6}},
        // Red 255 x (y - 1) / 26 down to row 27, then the others 255 x (y - 27) / 25.
        {235, 14, {128, 0, 0}},      // 127.5, to even
        {235, 2, {10, 0, 0}},        // 9.8
        {235, 40, {255, 133, 133}},  // 132.6
    };
    for (const auto& c : cases)
        EXPECT_EQ(Split(ColorFieldPixel(c.x, c.y)), c.expected) << c.x << "," << c.y;
}

TEST(ColorFieldTest, RowsRunFromBlackThroughThePureHueToWhite) {
    for (int x = 0; x < kColorFieldWidth; ++x) {
        ASSERT_EQ(ColorFieldPixel(x, 0), 0u) << x;
        ASSERT_EQ(ColorFieldPixel(x, 1), 0u) << x;
        ASSERT_EQ(ColorFieldPixel(x, 52), 0x00FFFFFFu) << x;
        for (int y = 1; y + 1 < kColorFieldHeight; ++y) {
            const Rgb a = Split(ColorFieldPixel(x, y));
            const Rgb b = Split(ColorFieldPixel(x, y + 1));
            ASSERT_TRUE(b.r >= a.r && b.g >= a.g && b.b >= a.b) << x << "," << y;
        }
    }
}

TEST(ColorFieldTest, PointQueryAnswersOutsideFromTheFarEdgesOn) {
    EXPECT_EQ(ColorFieldPoint(235.9f, 52.9f), 0x00FFFFFFu);
    EXPECT_EQ(ColorFieldPoint(236.0f, 27.0f), kOutsidePicture);
    EXPECT_EQ(ColorFieldPoint(100.0f, 53.0f), kOutsidePicture);
    EXPECT_EQ(ColorFieldPoint(-0.5f, 10.0f), kOutsidePicture);
}

}  // namespace
}  // namespace tintora::testing
