#include "preview/preview_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "base/setting_values.h"

namespace tintora {

namespace {

constexpr const char* kSection = "Tintora";

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Trimmed(const std::string& text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool EqualsIgnoringCase(const std::string& text, const char* word) {
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
    }
    return i == text.size();
}

}  // namespace

std::optional<bool> TextToBoolean(const std::string& text) {
    const std::string trimmed = Trimmed(text);
    if (EqualsIgnoringCase(trimmed, "true")) return true;
    if (EqualsIgnoringCase(trimmed, "false")) return false;
    if (const std::optional<double> number = WholeNumberText(trimmed)) return *number != 0.0;
    return std::nullopt;
}

std::optional<std::int16_t> TextToInteger16(const std::string& text) {
    const std::optional<double> number = WholeNumberText(text);
    if (!number) return std::nullopt;
    // The current rounding mode is to nearest, ties to even.
    const double rounded = std::nearbyint(*number);
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

PreviewSettings ReadPreviewSettings(SettingsStore& settings, float defaultLeft, float defaultTop) {
    const std::string app = kSettingsApplication;
    PreviewSettings read;
    const std::string left = settings.GetSetting(app, kSection, "3DX", SingleToText(defaultLeft));
    const std::string top = settings.GetSetting(app, kSection, "3DY", SingleToText(defaultTop));
    const std::string view = settings.GetSetting(app, kSection, "3DView", "1");
    const std::string check = settings.GetSetting(app, kSection, "3DCheck", "0");

    read.left = WindowPositionFromText(left, defaultLeft);
    read.top = WindowPositionFromText(top, defaultTop);
    read.sphere = TextToBoolean(view).value_or(true);
    const std::int16_t value = TextToInteger16(check).value_or(kCheckUnchecked);
    read.check = value >= kCheckUnchecked && value <= kCheckGrayed ? value : kCheckUnchecked;
    return read;
}

void WritePreviewSettings(SettingsStore& settings, float left, float top, bool sphere) {
    const std::string app = kSettingsApplication;
    settings.SaveSetting(app, kSection, "3DX", SingleToText(left));
    settings.SaveSetting(app, kSection, "3DY", SingleToText(top));
    settings.SaveSetting(app, kSection, "3DView", sphere ? "True" : "False");
    // Auto-rotation is never remembered.
    settings.SaveSetting(app, kSection, "3DCheck", "0");
}

}  // namespace tintora
