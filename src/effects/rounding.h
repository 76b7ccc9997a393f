// Rounding to the nearest integer with ties to even, without a library call.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace tintora::effects_detail {

// x rounded to the nearest integer, ties to even, in the default rounding mode. Adding 2^52 to a
// magnitude below 2^52 leaves no bits for a fraction, so the addition itself rounds; subtracting
// it again is exact. Magnitudes from 2^52 up are integers already. std::nearbyint gives the same
// result but is a library call that saves and restores the floating-point state.
inline double RoundHalfEven(double x) {
    constexpr double kTwoTo52 = 4503599627370496.0;
    const double magnitude = std::fabs(x);
    if (!(magnitude < kTwoTo52)) return x;
    return std::copysign((magnitude + kTwoTo52) - kTwoTo52, x);
}

// RoundHalfEven into 32 bits; values beyond that range are cut to it and a NaN gives 0.
inline std::int32_t RoundToInt32(double x) {
    const double rounded = RoundHalfEven(x);
    if (rounded != rounded) return 0;
    if (rounded <= std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (rounded >= std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace tintora::effects_detail
