// Truevision TGA files: our own reader and a 32-bit writer. The byte layout is described at the
// top of tga_codec.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imagefiles/image_codec.h"

namespace tintora {

// True when data ends with the TGA 2.0 footer. Older TGA files have no signature at all; they are
// recognised by their file ending.
bool HasTgaFooter(std::span<const std::uint8_t> data);

// Reads a TGA image into A8R8G8B8: true colour (15, 16, 24, 32 bits), grey (8 bits, or 16 with
// alpha) and colour-mapped (8 or 16-bit indexes into 15, 16, 24 or 32-bit colours), each plain or
// run-length encoded, in any of the four row and column orders.
//  - 32 bits: the fourth byte is alpha, unless the descriptor declares no alpha bits and the byte
//    is 0 in every pixel; then the image is opaque.
//  - 16 bits: the top bit is alpha when the descriptor declares an alpha bit; 15 bits are opaque.
DecodedImage DecodeTga(std::span<const std::uint8_t> data, const std::string& fileName);

// A 32-bit uncompressed TGA file with 8 alpha bits, rows bottom-up, and the TGA 2.0 footer, of
// width x height A8R8G8B8 pixels whose rows lie pitch bytes apart, top row first.
ByteBuffer EncodeTga(const std::uint8_t* argb, int pitch, int width, int height);

}  // namespace tintora
