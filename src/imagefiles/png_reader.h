// Our own reader of the common PNG files: 8-bit grey, grey with alpha, RGB and RGBA, not
// interlaced, without a transparency chunk. The image data is inflated in one call (libdeflate)
// and its rows unfiltered straight into A8R8G8B8, which Qt's reader (libpng row by row, a QImage,
// a format conversion and a copy) takes three times as long for.
//
// The pixels are those of Qt's reader to the byte (colour as stored: neither reader applies gAMA,
// cHRM or ICC data), and so are the other fields of the DecodedImage. Every other file, and any
// file this reader finds fault with (a chunk's CRC, the zlib data, a filter number, chunks out of
// order), is left to Qt's reader, which then gives what it always gave, its messages included.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imagefiles/image_codec.h"

namespace tintora {

// The image of a PNG file of the kinds above, or nullopt for Qt's reader. Throws only
// E_OUTOFMEMORY (AllocatePixels).
std::optional<DecodedImage> DecodeCommonPng(std::span<const std::uint8_t> data,
                                            const std::string& fileName);

// The same on file contents the reader may rearrange: the IDAT chunks are joined where they lie
// instead of in a copy (a file is often thousands of 8 KiB chunks). data is as it came whenever
// nullopt is returned; after an exception it may be rearranged.
std::optional<DecodedImage> DecodeCommonPngInPlace(std::span<std::uint8_t> data,
                                                   const std::string& fileName);

}  // namespace tintora
