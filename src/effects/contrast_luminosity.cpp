#include "effects/contrast_luminosity.h"

#include <cmath>

#include "effects/rounding.h"

namespace tintora {

float ContrastFactor(std::int32_t sliderValue) {
    return static_cast<float>(std::exp(static_cast<double>(sliderValue) / 100.0));
}

ChannelTable ContrastLuminosityTable(float contrast, std::int32_t luminosity) {
    // 64 bits so that no luminosity wraps; the slider's range never comes near.
    const std::int64_t shift = static_cast<std::int64_t>(luminosity) + 127;
    ChannelTable table;
    for (int x = 0; x < 256; ++x) {
        double y = effects_detail::RoundHalfEven(static_cast<double>(x - 127) *
                                                     static_cast<double>(contrast) +
                                                 static_cast<double>(shift));
        // Cut before the integer conversion; a NaN factor counts as below 0.
        if (!(y >= 0)) y = 0;
        if (y > 255) y = 255;
        table[x] = static_cast<std::uint8_t>(y);
    }
    return table;
}

void AdjustContrastLuminosity(const PixelView& source, const PixelView& destination, float contrast,
                              std::int32_t luminosity, const ProgressFn& progress) {
    ApplyChannelTables(source, destination,
                       SameForAllChannels(ContrastLuminosityTable(contrast, luminosity)), progress);
}

}  // namespace tintora
