// Reading an image file of any supported type: the reader is chosen by content, then by ending.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imagefiles/image_codec.h"

namespace tintora {

// Decodes image file contents. The type comes from the first bytes ("BM", "DDS ", the PNG and
// JPEG signatures, the TGA 2.0 footer); when none matches, from the ending of fileName (.bmp,
// .dib, .tga, .png, .jpg, .jpeg, .jpe, .dds, any case; a .dib may also be a packed DIB without a
// file header). Anything else is "not a supported image". *type (may be null) receives the type.
DecodedImage DecodeImageFile(std::span<const std::uint8_t> data, const std::string& fileName,
                             D3DXIMAGE_FILEFORMAT* type);

// Reads and decodes fileName (ReadFileBytes, then DecodeImageFile).
DecodedImage ReadImageFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT* type);

}  // namespace tintora
