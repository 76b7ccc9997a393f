// Hue and saturation: every pixel goes to hue, saturation and lightness, has its hue and
// saturation shifted, and comes back.
//
// The conversions are the editor's own, step by step, with the roundings stated below. All of
// them assume the default floating-point environment (round to nearest, ties to even).
#pragma once

#include <cstdint>

#include "base/pixel_buffer.h"
#include "base/pixel_groups.h"

namespace tintora {

// The factor that turns a byte into a fraction: slightly smaller than 1 / 255.
inline constexpr double kByteToUnit = 0.00392156;

// Hue H in degrees (0 to 360), saturation S and lightness L in percent (0 to 100) of a colour
// given as red, green, blue bytes (0 to 255). Arithmetic in double precision; r, g, b (byte x
// 0.00392156), the maximum minus the minimum, the three hue offsets and H, S, L are rounded to
// single precision where they are stored.
//
// H is written only for a colour with a hue: black sets H, S, L to 0, and a grey sets S to 0 and
// L but leaves H as the caller had it. A component counts as the maximum when it lies within
// 0.001 of it, and as the minimum only when it equals it. Pure red gives H = 360.
void RgbToHsl(std::int32_t red, std::int32_t green, std::int32_t blue, float& H, float& S,
              float& L);

// Red, green and blue of a colour given by hue (degrees), saturation and lightness (percent):
// the usual two-anchor construction, with m2, m1, the saturation of the anchors and the two
// in-between values rounded to single precision, and each result the chosen value x 255 rounded
// to the nearest integer, ties to even. Nothing is clamped: a hue outside 0 to 360 gives black,
// and saturation or lightness beyond 0 to 100 may give values outside 0 to 255 (results beyond
// the 32-bit range are cut to it).
void HslToRgb(float H, float S, float L, std::int32_t& red, std::int32_t& green,
              std::int32_t& blue);

// destination = source with every pixel converted by RgbToHsl (H starting at 0), its hue shifted
// by hueShift degrees and wrapped once each way (add 360 if below 0, then subtract 360 if at or
// above 360, each step stored in single precision: shifts of -180 to 180 land in [0, 360); a hue
// that larger shifts leave outside gives black), its saturation shifted by saturationShift
// points and cut to 0 to 100, lightness kept, converted back by HslToRgb and cut to 0 to 255.
// Alpha is copied unchanged. With both shifts 0 every colour comes back unchanged.
//
// source and destination are the same size and either the same buffer or apart; the editor reads
// the main pixel buffer and writes the preview buffer. progress receives the counter of the
// "Busy (n %)" texts between groups of pixels (pixel_groups.h).
//
// Cost: the parts of the arithmetic that depend only on a pixel's largest and smallest byte are
// computed once per call for all 32,896 such pairs (about 1 MiB of table, built in parallel,
// about a millisecond) when the image has 16,448 pixels or more, and per pixel below that; per
// pixel remain one division and a few multiplications, about 16 ns on one core of the x86-64
// baseline, 12 ns with AVX2 (effects_detail below). Runs in parallel on the caller's oneTBB arena; the result is the same bytes as the
// step-by-step conversions above.
void AdjustHueSaturation(const PixelView& source, const PixelView& destination,
                         std::int32_t hueShift, std::int32_t saturationShift,
                         const ProgressFn& progress = {});

namespace effects_detail {
// AdjustHueSaturation runs its floating-point steps four pixels at a time where the processor has
// AVX2, else two (SSE2); the tests ask for the two-pixel version as well, to check that both give
// the same bytes. Not for use while an adjustment runs.
void UseBaselineHuePass(bool baseline);
}  // namespace effects_detail

}  // namespace tintora
