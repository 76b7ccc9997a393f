// Conversions between the settings store's text values and numbers, and between twips and
// pixels. Window positions are stored in twips (1/1440 inch) at 15 twips per pixel.
#pragma once

#include <optional>
#include <string>

namespace tintora {

// Pixels and twips (15 twips per pixel).
constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(double twips) {
    return static_cast<int>(twips / kTwipsPerPixel);
}

// A single-precision number as text: whole numbers without a decimal point ("9220"), others
// with up to seven significant digits and no trailing zeros ("1234.5", "-0.25").
std::string SingleToText(float value);

// The text as a number when all of it is one finite decimal number, blanks around it allowed
// ("  -200 " gives -200, "1e3" 1000); none for anything else ("12px", "abc", "", "0x1A", "inf",
// "nan").
std::optional<double> WholeNumberText(const std::string& text);

// The text as single precision when all of it is one finite number, blanks around it allowed
// ("  -200 " gives -200); fallback for anything else ("12px", "abc", "", "nan", "1e99").
float NumberTextToSingle(const std::string& text, float fallback);

// Window positions at or beyond this many twips (16384 pixels) are no place a screen reaches;
// X11 window coordinates are 16-bit as well.
constexpr float kMaxWindowPositionTwips = 16384.0f * kTwipsPerPixel;

// A window's stored left or top edge in twips: the number when the text is one finite number
// (NumberTextToSingle) from 0 up to, not including, kMaxWindowPositionTwips; fallback otherwise.
// A damaged or hand-edited settings file ("abc", "-4000", "1e30") must not put a window where
// the user cannot reach it.
float WindowPositionFromText(const std::string& text, float fallback);

}  // namespace tintora
