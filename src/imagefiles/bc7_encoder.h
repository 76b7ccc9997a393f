// The BC7 block encoder behind EncodeBlock/EncodeImage (block_encoders.h).
#pragma once

#include <cstdint>

#include "imagefiles/block_encoders.h"

namespace tintora {

// Encodes 16 B G R A pixels (row by row) into one 16-byte BC7 block at the given level.
void EncodeBc7Block(const std::uint8_t* bgra, EncodeLevel level, std::uint8_t* block);

}  // namespace tintora
