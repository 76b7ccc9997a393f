#include "base/setting_values.h"

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

float TextToSingle(const std::string& text, float fallback) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const float value = std::strtof(begin, &end);
    return end == begin ? fallback : value;
}

float NumberTextToSingle(const std::string& text, float fallback) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const float value = std::strtof(begin, &end);
    if (end == begin || !std::isfinite(value)) return fallback;
    while (*end != '\0' && std::isspace(static_cast<unsigned char>(*end)) != 0)
        ++end;
    if (*end != '\0') return fallback;
    // strtof also reads hexadecimal ("0x1A"), which is not a number here.
    for (const char* p = begin; p != end; ++p) {
        if (*p == 'x' || *p == 'X') return fallback;
    }
    return value;
}

float WindowPositionFromText(const std::string& text, float fallback) {
    const float value = NumberTextToSingle(text, -1.0f);
    return value >= 0.0f && value < kMaxWindowPositionTwips ? value : fallback;
}

}  // namespace tintora
