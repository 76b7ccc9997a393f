// Numbers typed into text boxes and stored in the settings store, read the way a
// leading-number parse reads them: blanks, an optional sign, digits with an optional decimal
// point, an optional exponent (e or E); whatever follows the number is ignored, and text that does
// not begin with a number reads as 0. Hexadecimal, "inf" and "nan" are not numbers here.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "base/error.h"

namespace tintora {

// The leading number of text ("12.5px" gives 12.5, "abc" and "" give 0, " -3" gives -3).
double LeadingNumber(const std::string& text);

// value rounded to the nearest integer, ties to even (2.5 gives 2, 3.5 gives 4). Throws
// PlatformError(kErrOverflow, "Overflow") when the result does not fit in 32 bits or value is NaN.
std::int32_t RoundToInt32Checked(double value);

// The leading number rounded to the nearest integer, ties to even (100.5 gives 100, 101.5 gives
// 102). Throws PlatformError(kErrOverflow, "Overflow") when the result does not fit in 32 bits.
std::int32_t TextBoxInteger(const std::string& text);

}  // namespace tintora
