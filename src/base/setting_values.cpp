#include "base/setting_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tintora {

std::string SingleToText(float value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e7f) {
        return std::to_string(static_cast<long long>(value));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
    return text;
}

std::optional<double> WholeNumberText(const std::string& text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    if (first >= last) return std::nullopt;
    const std::string trimmed(first, last);
    // strtod also reads hexadecimal, "inf" and "nan", none of which is a number here.
    for (const char c : trimmed) {
        if (std::isalpha(static_cast<unsigned char>(c)) != 0 && c != 'e' && c != 'E') {
            return std::nullopt;
        }
    }
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

float NumberTextToSingle(const std::string& text, float fallback) {
    if (!WholeNumberText(text)) return fallback;
    // Read as single precision directly: a detour through double could round twice.
    const float value = std::strtof(text.c_str(), nullptr);
    return std::isfinite(value) ? value : fallback;
}

float WindowPositionFromText(const std::string& text, float fallback) {
    const float value = NumberTextToSingle(text, -1.0f);
    return value >= 0.0f && value < kMaxWindowPositionTwips ? value : fallback;
}

}  // namespace tintora
