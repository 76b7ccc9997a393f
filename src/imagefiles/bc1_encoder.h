// The colour half of BC1, BC2 and BC3 blocks (block_encoders.h): two R5G6B5 endpoints and sixteen
// 2-bit indices, 8 bytes. Encoded for the decoder that interpolates with integer division, as
// libsquish and the device do: (2 c0 + c1) / 3 and (c0 + 2 c1) / 3 of the 8-bit endpoints when
// c0 > c1 (four colours); (c0 + c1) / 2 and index 3 black or transparent when c0 <= c1.
#pragma once

#include <cstdint>

#include "imagefiles/block_encoders.h"

namespace tintora {

struct ColourBlockOptions {
    EncodeLevel level = EncodeLevel::Fast;
    // Opaque blocks may use the three-colour mode (index 3 black) where it is closer.
    bool threeColour = false;
    // Texels with alpha below this become index 3 of a three-colour block; 0: no texel does.
    int alphaThreshold = 0;
};

// Encodes 16 B G R A pixels (row by row) into an 8-byte colour block. Without transparent texels
// and without threeColour the block is a four-colour block (c0 > c1), or c0 == c1 with every
// index 0, which decodes the same in both modes.
void EncodeColourBlock(const std::uint8_t* bgra, const ColourBlockOptions& options,
                       std::uint8_t* block);

}  // namespace tintora
