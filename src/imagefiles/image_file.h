// Reading an image file of any supported type: the reader is chosen by content, then by ending.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "imagefiles/image_codec.h"

namespace tintora {

// The endings of the files read here, lower case: what the Open dialog lists and tintora-cli
// takes from a directory.
inline constexpr std::array<std::string_view, 8> kImageFileEndings = {
    ".bmp", ".dib", ".jpg", ".jpeg", ".jpe", ".png", ".tga", ".dds"};

// True when the ending of fileName's last part is one of kImageFileEndings, in any letter case.
bool HasImageFileEnding(const std::string& fileName);

// Decodes image file contents. The type comes from the first bytes ("BM", "DDS ", the PNG and
// JPEG signatures, the TGA 2.0 footer); when none matches, from the ending of fileName (.bmp,
// .dib, .tga, .png, .jpg, .jpeg, .jpe, .dds, any case; a .dib may also be a packed DIB without a
// file header). Anything else is "not a supported image". *type (may be null) receives the type.
DecodedImage DecodeImageFile(std::span<const std::uint8_t> data, const std::string& fileName,
                             D3DXIMAGE_FILEFORMAT* type);

// Reads and decodes fileName (ReadFileBytes, then DecodeImageFile).
DecodedImage ReadImageFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT* type);

}  // namespace tintora
