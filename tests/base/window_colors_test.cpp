#include "base/window_colors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tintora::testing {
namespace {

TEST(WindowColorsTest, SplitAndMakeColorWithoutMasking) {
    std::int32_t r = 0, g = 0, b = 0;
    SplitColor(0xAB123456u, b, g, r);  // the top byte is dropped
    EXPECT_EQ((std::vector<std::int32_t>{r, g, b}), (std::vector<std::int32_t>{0x56, 0x34, 0x12}));
    EXPECT_EQ(MakeColor(0x12, 0x34, 0x56, 0x7F), 0x7F123456u);
    // Not masked: red 0x12C sets green's low bit (an OR), negative green sets every bit above.
    EXPECT_EQ(MakeColor(0, 129, 300, 0), 0x0000812Cu);
    EXPECT_EQ(MakeColor(0x10, -1, 0x20, 0), 0xFFFFFF20u);
    EXPECT_EQ(MakeColor(0x1FF, 0, 0, 0), 0x01FF0000u);
}

}  // namespace
}  // namespace tintora::testing
