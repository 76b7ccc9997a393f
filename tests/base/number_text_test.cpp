// The leading-number parse of text boxes and its rounding to a whole number.
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>

#include "base/error.h"

namespace tintora {
namespace {

constexpr std::optional<std::int32_t> kOverflow;

// The result of a rounding call; none when it throws the runtime's "Overflow".
template <typename F>
std::optional<std::int32_t> Rounded(F&& call) {
    try {
        return call();
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.code(), kErrOverflow);
        EXPECT_STREQ(e.what(), "Overflow");
        return kOverflow;
    }
}

TEST(NumberText, LeadingNumberRoundedTiesToEven) {
    const struct {
        const char* text;
        double leading;                       // LeadingNumber
        std::optional<std::int32_t> integer;  // TextBoxInteger
    } cases[] = {
        {"12.5px", 12.5, 12},
        {"abc", 0, 0},
        {"", 0, 0},
        {" -3", -3, -3},
        {"\t+7 ", 7, 7},
        {"1e3", 1000, 1000},
        {"2E-1x", 0.2, 0},
        {"5e", 5, 5},  // an exponent without digits is not part of the number
        {".5", 0.5, 0},
        {"0x10", 0, 0},
        {"inf", 0, 0},
        {"100.5", 100.5, 100},
        {"101.5", 101.5, 102},
        {"2147483647.4", 2147483647.4, 2147483647},
        {"2147483647.5", 2147483647.5, kOverflow},
        {"-2147483648.5", -2147483648.5, INT32_MIN},
        {"1e999", INFINITY, kOverflow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.leading) << c.text;
        EXPECT_EQ(Rounded([&] { return TextBoxInteger(c.text); }), c.integer) << c.text;
    }
    EXPECT_EQ(Rounded([] { return RoundToInt32Checked(NAN); }), kOverflow);
}

}  // namespace
}  // namespace tintora
