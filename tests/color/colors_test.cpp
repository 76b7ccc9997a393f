// The colour picker's arithmetic: colours taken apart and put together without masking, the
// number boxes' reading, and the colour field's layout.
#include "color/colors.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "base/error.h"

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

TEST(ColorArithmeticTest, NumberBoxesReadTheLeadingNumberRoundedHalfToEven) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"128", 128},
        {"", 0},
        {"abc", 0},
        {"  42", 42},
        {"+7", 7},
        {"-1", -1},
        {"12ab", 12},
        {"0x1F", 0},
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {".5", 0},
        {"1.5e1", 15},
        {"1e", 1},
        {"inf", 0},
        {"-", 0},
        {"-2147483648", INT32_MIN},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(NumberBoxValue(text), expected) << '"' << text << '"';
    }
    for (const char* text : {"2147483648", "-2147483649", "1e20"}) {
        try {
            NumberBoxValue(text);
            ADD_FAILURE() << text << " gave no error";
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.code(), 6) << text;
        }
    }
}

TEST(ColorFieldTest, HueFallsLeftToRightAlongRow27) {
    EXPECT_EQ(Split(ColorFieldPixel(235, 27)), (Rgb{255, 0, 0}));
    EXPECT_EQ(Split(ColorFieldPixel(117, 27)), (Rgb{0, 255, 255}));
    // Within a degree of pure blue, green and yellow at their columns.
    EXPECT_EQ(Split(ColorFieldPixel(78, 27)), (Rgb{0, 2, 255}));
    EXPECT_EQ(Split(ColorFieldPixel(157, 27)), (Rgb{4, 255, 0}));
    EXPECT_EQ(Split(ColorFieldPixel(196, 27)), (Rgb{255, 253, 0}));
    // The left edge is red just turning magenta (358.5 degrees).
    EXPECT_EQ(Split(ColorFieldPixel(0, 27)), (Rgb{255, 0, 6}));
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
    // Red 255 x (y - 1) / 26 down to row 27, then the others 255 x (y - 27) / 25.
    EXPECT_EQ(Split(ColorFieldPixel(235, 14)), (Rgb{128, 0, 0}));      // 127.5, to even
    EXPECT_EQ(Split(ColorFieldPixel(235, 2)), (Rgb{10, 0, 0}));        // 9.8
    EXPECT_EQ(Split(ColorFieldPixel(235, 40)), (Rgb{255, 133, 133}));  // 132.6

    // The point query: -1 from the far edges on.
    EXPECT_EQ(ColorFieldPoint(235.9f, 52.9f), 0x00FFFFFFu);
    EXPECT_EQ(ColorFieldPoint(236.0f, 27.0f), kOutsidePicture);
    EXPECT_EQ(ColorFieldPoint(100.0f, 53.0f), kOutsidePicture);
    EXPECT_EQ(ColorFieldPoint(-0.5f, 10.0f), kOutsidePicture);
}

}  // namespace
}  // namespace tintora::testing
