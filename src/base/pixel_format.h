// Conversion of whole surfaces between pixel formats, through A8R8G8B8.
//
// A8R8G8B8 pixels are 32-bit values 0xAARRGGBB stored little-endian (bytes B G R A). Decoding
// widens n-bit channels by bit replication (5-bit v -> v << 3 | v >> 2), so 0 stays 0 and the
// maximum stays 255; formats without alpha decode with alpha 255. Encoding narrows each channel
// with rounding to nearest (round(v x max / 255)). DXT1-DXT5 are decoded here (DXT2 and DXT4 like
// DXT3 and DXT5, their premultiplied colours kept as stored) but encoded by the block encoders of
// imagefiles/block_encoders.h.
//
// Thread-safety: pure functions over caller-owned memory; safe to call from several threads.
#pragma once

#include <cstdint>
#include <functional>

#include "base/d3d8_types.h"

namespace tintora {

// True when DecodeToArgb / EncodeFromArgb handle the format (EncodeFromArgb no block format).
bool CanDecode(D3DFORMAT format);
bool CanEncode(D3DFORMAT format);

// Decodes a width x height image stored in format (rows pitch bytes apart; for block formats a
// row is one row of 4x4 blocks) into A8R8G8B8 pixels, dest rows 4 x width bytes apart.
// Throws PlatformError(D3DERR_WRONGTEXTUREFORMAT) for a format it cannot decode.
void DecodeToArgb(D3DFORMAT format, const std::uint8_t* source, int pitch, int width, int height,
                  std::uint32_t* dest);

// Progress of a long conversion in percent (0..100). Calls come on the thread that started the
// conversion, between parallel chunks, with rising values; the last call reports 100. The editor
// routes it to its status line; an empty callback costs nothing.
using ProgressCallback = std::function<void(int percent)>;

// Encodes A8R8G8B8 pixels (rows 4 x width bytes apart) into an uncompressed format, dest rows
// pitch bytes apart. Throws PlatformError(D3DERR_WRONGTEXTUREFORMAT) for a format it cannot
// encode, block formats included.
void EncodeFromArgb(D3DFORMAT format, const std::uint32_t* source, int width, int height,
                    std::uint8_t* dest, int pitch);

}  // namespace tintora
