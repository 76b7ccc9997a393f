// Window colours and the colour picker's arithmetic, without any window. SplitColor and MakeColor
// come from base/window_colors.h.
//
// A window colour is a 32-bit value with red in bits 0-7, green in bits 8-15 and blue in bits
// 16-23 (0x00BBGGRR). Its top byte is 0 for every colour the picker makes, except the value
// 0xFFFFFFFF (-1 as a signed number) that the colour field answers for a point just outside it.
//
// Everything here is a pure function of its arguments and may be called from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/window_colors.h"

namespace tintora {

// The value of a number box: the text's leading number (blanks before it, a sign, digits, a
// decimal point, an exponent with e or E; text that does not begin with a number gives 0),
// rounded to the nearest integer with ties to even. Throws PlatformError 6 ("Overflow") when the
// result does not fit in 32 signed bits.
std::int32_t NumberBoxValue(const std::string& text);

// The colour with one component replaced, put together again with MakeColor (top byte 0):
// box 0 replaces red, 1 green, 2 blue. value is not limited to 0-255 (see MakeColor).
std::uint32_t WithComponent(std::uint32_t color, int box, std::int32_t value);

// The colour field: a fixed picture of 236 x 53 pixels. Column x (0-235) carries the hue
// 360 x (235 - x) / 236 degrees, falling from red at the left through magenta, blue (column 78),
// cyan (117), green (157) and yellow (196) to pure red at column 235. Rows 0 and 1 are black;
// from row 1 to row 27 the fully saturated hue fades in linearly ((y - 1) / 26); row 27 is the
// pure hue; from row 27 to row 52 it moves linearly towards white ((y - 27) / 25), row 52 being
// white. Channels are rounded to whole numbers, ties to even.
inline constexpr int kColorFieldWidth = 236;
inline constexpr int kColorFieldHeight = 53;

// The answer of a point query outside a picture.
inline constexpr std::uint32_t kOutsidePicture = 0xFFFFFFFFu;

// The window colour of the field's pixel at column x, row y (both inside the field).
std::uint32_t ColorFieldPixel(int x, int y);

// The whole field, row by row from the top, as window colours.
using ColorFieldPixels = std::array<std::uint32_t, kColorFieldWidth * kColorFieldHeight>;
const ColorFieldPixels& ColorField();

// The point query of the field's picture box at (x, y) in its own pixels: the pixel that holds
// the point, or kOutsidePicture for a point outside (x or y below 0, x >= 236, y >= 53).
std::uint32_t ColorFieldPoint(float x, float y);

}  // namespace tintora
