// The one-channel block of BC4, of BC5 (twice) and of BC3's alpha (block_encoders.h): endpoints
// e0 and e1 and sixteen 3-bit indices, 8 bytes. Encoded for the decoder that rounds its
// interpolated values down: e0 > e1 gives e0, e1 and ((7 - i) e0 + i e1) / 7 for i = 1..6;
// e0 <= e1 gives e0, e1, ((5 - i) e0 + i e1) / 5 for i = 1..4, 0 and 255.
#pragma once

#include <cstdint>

#include "imagefiles/block_encoders.h"

namespace tintora {

// Encodes byte `channel` (0-3) of 16 B G R A pixels (row by row) into an 8-byte block. Both modes
// are tried; a block of one value encodes it exactly.
void EncodeChannelBlock(const std::uint8_t* bgra, int channel, EncodeLevel level,
                        std::uint8_t* block);

}  // namespace tintora
