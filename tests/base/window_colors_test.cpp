// Window colours taken apart and put together without masking.
#include "base/window_colors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace tintora::testing {
namespace {

// Red, green, blue of a window colour.
std::array<std::int32_t, 3> Components(std::uint32_t color) {
    std::array<std::int32_t, 3> rgb{};
    SplitColor(color, rgb[2], rgb[1], rgb[0]);
    return rgb;
}

TEST(WindowColorsTest, SplitAndMakeColor) {
    EXPECT_EQ(Components(0x00123456u), (std::array<std::int32_t, 3>{0x56, 0x34, 0x12}));
    // The top byte is dropped.
    EXPECT_EQ(Components(0xAB0000FFu), (std::array<std::int32_t, 3>{255, 0, 0}));
    EXPECT_EQ(MakeColor(0x12, 0x34, 0x56, 0), 0x00123456u);
    EXPECT_EQ(MakeColor(0, 0, 0, 0x7F), 0x7F000000u);
    // No masking: 300 = 0x12C in red sets the low bit of green (an OR, not a sum); a negative
    // component sets every bit above it; blue beyond a byte reaches the top byte.
    EXPECT_EQ(MakeColor(0, 128, 300, 0), 0x0000812Cu);
    EXPECT_EQ(MakeColor(0, 129, 300, 0), 0x0000812Cu);
    EXPECT_EQ(MakeColor(0x10, -1, 0x20, 0), 0xFFFFFF20u);
    EXPECT_EQ(MakeColor(0x1FF, 0, 0, 0), 0x01FF0000u);
}

}  // namespace
}  // namespace tintora::testing
