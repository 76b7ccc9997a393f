// Windows bitmaps (BMP, DIB): our own reader and the 32-bit writer. The byte layout is described
// at the top of bmp_codec.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imagefiles/image_codec.h"

namespace tintora {

// True when data starts with the bitmap file signature "BM".
bool LooksLikeBmp(std::span<const std::uint8_t> data);

// True when data starts like a packed DIB: a bitmap information header of a known size with one
// colour plane, and no file header before it.
bool LooksLikePackedDib(std::span<const std::uint8_t> data);

// Reads a bitmap file (with its 14-byte file header) or a packed DIB (information header, colour
// table and pixels, without the file header) into A8R8G8B8.
//  - 1, 4 and 8 bits: colours from the colour table, opaque; indexes beyond the table give
//    opaque black. RLE8 and RLE4 are expanded; pixels that the runs skip stay transparent black.
//  - 16 bits: X1R5G5B5, or the bit-field masks. 24 bits: B G R, opaque. Fields narrower than
//    8 bits are widened by repeating their bits (WidenTo8), as pixel_format.h does.
//  - 32 bits with bit-field masks: the masks, with alpha when the header gives an alpha mask.
//  - 32 bits without masks (BI_RGB): the fourth byte is alpha, unless it is 0 in every pixel,
//    as many writers leave it; then the image is opaque.
// Rows may be stored bottom-up (positive height) or top-down (negative height).
//  - Compression BI_JPEG or BI_PNG: the embedded file through DecodeJpeg or DecodePng; its size
//    must be the header's. Other compressions than these and RGB, RLE8, RLE4 and bit fields are
//    refused, naming the number.
DecodedImage DecodeBmp(std::span<const std::uint8_t> data, const std::string& fileName);
DecodedImage DecodePackedDib(std::span<const std::uint8_t> data, const std::string& fileName);

// A 32-bit bitmap file with a BITMAPV4HEADER, BI_BITFIELDS with an alpha mask, rows bottom-up, of
// width x height A8R8G8B8 pixels whose rows lie pitch bytes apart, top row first.
ByteBuffer EncodeBmp(const std::uint8_t* argb, int pitch, int width, int height);

// The same file as parts (file_io.h): the headers, then views of the pixel rows where they lie,
// bottom row first. The pixels must stay unchanged while the parts are used.
FileParts BmpFileParts(const std::uint8_t* argb, int pitch, int width, int height);

}  // namespace tintora
