// Contrast and luminosity: a linear stretch of the colour bytes about 127, then a brightness
// offset.
//
// Each colour byte x becomes y = (x - 127) x contrast + luminosity + 127, computed in double
// precision (the product of the byte difference and the single-precision factor is exact), rounded
// to the nearest integer with ties to even and cut to 0 to 255. Alpha is copied unchanged.
//
// The dialog's contrast slider Vc (-100 to 100) gives the factor e^(Vc / 100) (ContrastFactor);
// its luminosity slider is the offset itself.
#pragma once

#include <cstdint>

#include "base/pixel_buffer.h"
#include "base/pixel_groups.h"
#include "effects/channel_maps.h"

namespace tintora {

// e raised to sliderValue / 100, computed in double precision and stored in single precision:
// 0.36787945 at -100, exactly 1 at 0, 2.7182817 at 100.
float ContrastFactor(std::int32_t sliderValue);

// The new value of each byte value 0 to 255 (the same for blue, green and red). Results beyond
// the 32-bit range, which no slider position gives, are cut like all others.
ChannelTable ContrastLuminosityTable(float contrast, std::int32_t luminosity);

// destination = source adjusted (see above). source and destination are the same size and either
// the same buffer or apart; the editor reads the main pixel buffer and writes the preview buffer.
// progress receives the "Busy (n%)" counter between groups of pixels (pixel_groups.h).
// Runs in parallel on the caller's oneTBB arena.
void AdjustContrastLuminosity(const PixelView& source, const PixelView& destination, float contrast,
                              std::int32_t luminosity, const ProgressFn& progress = {});

}  // namespace tintora
