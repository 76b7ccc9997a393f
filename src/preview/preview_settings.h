// The preview window's four settings and their text conversions.
//
// Stored under application "Tintora", section "Tintora", every value as text:
//   "3DX", "3DY"  the window's left and top position, twips (single-precision numbers)
//   "3DView"      "True" while "Sphere" is selected, else "False"
//   "3DCheck"     the "AutoRotate" check box; always written as "0", so auto-rotation is off at
//                 every start
// A stored value that cannot be read as what its key holds counts as absent: its default is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "services/ui_services.h"

namespace tintora {

// The values of the check box: unchecked, checked, grayed.
constexpr std::int16_t kCheckUnchecked = 0;
constexpr std::int16_t kCheckChecked = 1;
constexpr std::int16_t kCheckGrayed = 2;

struct PreviewSettings {
    float left = 0.0f;    // twips
    float top = 0.0f;     // twips
    bool sphere = true;
    std::int16_t check = kCheckUnchecked;  // one of the kCheck* values
};

// "True" or "False" (any case, blanks around allowed) or a number (non-zero is true); nothing for
// any other text.
std::optional<bool> TextToBoolean(const std::string& text);

// A number (blanks around allowed, decimals rounded to the nearest integer, ties to even) that
// fits 16 bits; nothing for any other text or a number out of range.
std::optional<std::int16_t> TextToInteger16(const std::string& text);

// Reads the four settings. Defaults: left defaultLeft, top defaultTop, the sphere, unchecked. A
// position that is negative or too large for any screen also gives its default
// (WindowPositionFromText).
// A "3DCheck" that is a number but not a check box value (0, 1 or 2) also gives unchecked.
PreviewSettings ReadPreviewSettings(SettingsStore& settings, float defaultLeft, float defaultTop);

// Writes "3DX", "3DY", "3DView" and "3DCheck", in this order; "3DCheck" is always "0".
void WritePreviewSettings(SettingsStore& settings, float left, float top, bool sphere);

}  // namespace tintora
