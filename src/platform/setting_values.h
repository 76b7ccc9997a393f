// Conversions between the settings store's text values and numbers, and between twips and
// pixels. Window positions are stored in twips (1/1440 inch) at 15 twips per pixel.
#pragma once

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

// The leading number of the text as single precision ("12.5px" gives 12.5); fallback when the
// text does not begin with a number.
float TextToSingle(const std::string& text, float fallback);

// The text as single precision when all of it is one finite number, blanks around it allowed
// ("  -200 " gives -200); fallback for anything else ("12px", "abc", "", "nan", "1e99").
float NumberTextToSingle(const std::string& text, float fallback);

}  // namespace tintora
