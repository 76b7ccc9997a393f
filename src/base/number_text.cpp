#include "base/number_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/error.h"

namespace tintora {

double LeadingNumber(const std::string& text) {
    // Copy the number into its own string so that strtod cannot read more than the grammar above
    // allows (hexadecimal, "inf", "nan").
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    std::size_t digits = 0;
    auto takeDigits = [&] {
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            number += text[i++];
            ++digits;
        }
    };
    takeDigits();
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        takeDigits();
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        const std::size_t first = j;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])) != 0)
            exponent += text[j++];
        if (j > first) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::int32_t TextBoxInteger(const std::string& text) {
    return RoundToInt32Checked(LeadingNumber(text));
}

std::int32_t RoundToInt32Checked(double unrounded) {
    // nearbyint rounds in the current rounding mode, which is to nearest with ties to even.
    const double value = std::nearbyint(unrounded);
    if (!(value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max())) {
        throw PlatformError(kErrOverflow, "Overflow");
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace tintora
