// Conversion of whole surfaces between pixel formats, through A8R8G8B8.
//
// A8R8G8B8 pixels are 32-bit values 0xAARRGGBB stored little-endian (bytes B G R A). Decoding
// widens n-bit channels by bit replication (5-bit v -> v << 3 | v >> 2), so 0 stays 0 and the
// maximum stays 255; formats without alpha decode with alpha 255. Encoding narrows each channel
// with rounding to nearest (round(v x max / 255)). DXT1-DXT5 go through libsquish; DXT2 and DXT4
// decode like DXT3 and DXT5 and keep their premultiplied colours as stored.
//
// Thread-safety: pure functions over caller-owned memory; safe to call from several threads.
#pragma once

#include <cstdint>
#include <functional>

#include "base/d3d8_types.h"

namespace tintora {

// True when DecodeToArgb / EncodeFromArgb handle the format.
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

// Encodes A8R8G8B8 pixels (rows 4 x width bytes apart) into format, dest rows pitch bytes apart.
// Block formats go through CompressBlocks; progress is reported for them only.
void EncodeFromArgb(D3DFORMAT format, const std::uint32_t* source, int width, int height,
                    std::uint8_t* dest, int pitch, const ProgressCallback& progress = {});

// The block compressor: every DXT1-DXT5 encode in the program goes through this one function, so a
// different encoder can replace it here. Now: libsquish's cluster fit (DXT3 keeps 4-bit alpha),
// one 4x4 block at a time, block rows in parallel; the blocks are those of squish::CompressImage.
// Cost and quality (bench_file_io, 4096 x 4096 synthetic photograph): DXT3 at 40.5 dB RGB PSNR,
// about 0.4 to 1 megapixel per second per core.
// With a progress callback the block rows are done in about 20 parallel chunks, with one report
// after each; without one they run as a single parallel loop.
void CompressBlocks(D3DFORMAT format, const std::uint32_t* source, int width, int height,
                    std::uint8_t* dest, int pitch, const ProgressCallback& progress = {});

}  // namespace tintora
