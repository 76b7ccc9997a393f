// The colour picker's arithmetic and its colour field, in window colours (0x00BBGGRR).
#include "color/colors.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "base/error.h"

namespace tintora::testing {
namespace {

TEST(ColorArithmeticTest, NumberBoxesReplaceOneComponentUnmasked) {
    EXPECT_EQ(WithComponent(0x00008000u, 0, 300), 0x0000812Cu);    // red 44, green 129
    EXPECT_EQ(WithComponent(0x00102030u, 2, 0), 0x00002030u);      // blue
    EXPECT_EQ(WithComponent(kOutsidePicture, 1, 0), 0x00FF00FFu);  // top byte dropped
    EXPECT_THROW(NumberBoxValue("99999999999"), PlatformError);    // beyond 32 bits
}

TEST(ColorFieldTest, PixelsAtTheirColumnsAndRows) {
    const struct {
        int x, y;
        std::uint32_t expected;
    } cases[] = {
        // Row 27: pure hues within a degree; the left edge red turning magenta (358.5 degrees).
        {235, 27, 0x000000FFu},
        {117, 27, 0x00FFFF00u},
        {78, 27, 0x00FF0200u},
        {157, 27, 0x0000FF04u},
        {196, 27, 0x0000FDFFu},
        {0, 27, 0x000600FFu},
        // Rows 0-1 black, red fading in by (y - 1) / 26, then towards white by (y - 27) / 25.
        {100, 0, 0},
        {235, 1, 0},
        {235, 2, 0x0000000Au},   // 9.8
        {235, 14, 0x00000080u},  // 127.5, to even
        {235, 40, 0x008585FFu},  // 132.6
        {60, 52, 0x00FFFFFFu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ColorFieldPixel(c.x, c.y), c.expected) << c.x << "," << c.y;
    // The point query: the pixel under the point, -1 from the far edges on.
    EXPECT_EQ(ColorFieldPoint(235.9f, 52.9f), 0x00FFFFFFu);
    EXPECT_EQ(ColorFieldPoint(100.0f, 53.0f), kOutsidePicture);
    EXPECT_EQ(ColorFieldPoint(-0.5f, 10.0f), kOutsidePicture);
}

}  // namespace
}  // namespace tintora::testing
