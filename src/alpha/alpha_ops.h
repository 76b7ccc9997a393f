// Alpha channel kernels: new alpha bytes for a texture's pixels, computed from a colour key, from
// one of the pixels' own channels, or from another image resampled to the texture's size.
//
// Every kernel rewrites byte 3 (alpha) of each pixel of `pixels` in place and never touches the
// colour bytes (0 blue, 1 green, 2 red). The work runs in parallel on the oneTBB arena of the
// caller; the kernels may be called from several threads on different buffers. A view without
// pixels (width or height 0) is left alone.
//
// Cost: one pass over the pixels each, no tables; the resampling kernel also reads one source
// pixel per destination pixel.
#pragma once

#include <cstdint>
#include <string>

#include "base/pixel_buffer.h"
#include "base/pixel_groups.h"

namespace tintora {

// The colour-key threshold of a range text: its leading number (blanks skipped, a decimal
// fraction allowed, 0 for text that does not begin with a number) plus 1, rounded to the nearest
// integer with ties to even. "2" gives 3; "", "abc" and "0" give 1; "0.5" gives 2 (1.5 rounds up
// to the even 2). Throws PlatformError 6 ("Overflow") when the result does not fit in 32 bits.
std::int32_t ColourKeyThreshold(const std::string& rangeText);

// Colour-key alpha: for each pixel, the distance between its colour and the key,
// sqrt((R - kr)^2 + (G - kg)^2 + (B - kb)^2) rounded to the nearest integer (ties to even), is
// compared with the threshold: below it the alpha becomes 0, otherwise 255. The old alpha plays no
// part. keyWindowColor is a window colour 0x00BBGGRR (red in the low byte); its top byte is
// ignored. A threshold of 1 makes transparent exactly the pixels that equal the key; a threshold
// of 0 or less makes every pixel opaque.
//
// progress, when given, receives the "Busy (n%)" counter between groups of pixels on the calling
// thread (see base/pixel_groups.h).
void ApplyColourKeyAlpha(PixelView pixels, std::uint32_t keyWindowColor, std::int32_t threshold,
                         const ProgressFn& progress = {});

// Where a new alpha comes from. The values are stable (the command-line tool takes them as
// numbers): 0 red, 1 green, 2 blue, 3 saturation, 4 luminosity, 5 alpha.
enum class AlphaChannel : std::int32_t { Red, Green, Blue, Saturation, Luminosity, Alpha };

// The value a pixel (blue, green, red, alpha bytes) gives for a channel:
//   Red, Green, Blue   that byte;
//   Saturation         RgbSaturation(red, green, blue);
//   Luminosity         (blue + green + red) / 3, the remainder dropped (254 for 255, 255, 254);
//   Alpha              the alpha byte.
std::uint8_t ChannelValue(const std::uint8_t* pixel, AlphaChannel channel);

// The saturation of the colour in hue-saturation-lightness space, 0 to 255. The bytes are scaled
// by 0.00392156 (slightly below 1/255) in single precision; with mx and mn the largest and the
// smallest, L = (mx + mn) x 0.5 and d = mx - mn; the result is 0 when L or d is not above 0, else
// d / (mx + mn) for L <= 0.5 and d / (2 - mx - mn) above, times 255, rounded to nearest with ties
// to even. The order of the arguments does not matter. (255, 0, 0) and (255, 128, 128) give 255,
// any grey gives 0, (100, 50, 50) gives 85.
std::int32_t RgbSaturation(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// Each pixel's alpha becomes ChannelValue of the pixel itself. AlphaChannel::Alpha leaves the
// pixels as they are.
void ApplyChannelAlpha(PixelView pixels, AlphaChannel channel);

// Each pixel's alpha becomes ChannelValue of the source pixel at the same place once the source is
// resampled to the size of `pixels` by point sampling: destination column x reads source column
// (2x + 1) x sourceWidth / (2 x width) (integer division, texel centres at half-integers), rows
// alike, the same nearest texel the image conversions pick. A 64 x 64 source on a 256 x 256
// texture fills 4 x 4 blocks. The source may have any size but must not overlap `pixels` unless it
// is the same view. Throws PlatformError (D3DERR_INVALIDCALL) for an empty source with a
// non-empty destination.
void ApplyResampledAlpha(PixelView pixels, PixelView source, AlphaChannel channel);

}  // namespace tintora
