// Our own reader of the common JPEG files: YCbCr colour and grey, baseline or progressive, read
// through libjpeg-turbo straight into A8R8G8B8 rows. Qt's reader runs the same library with the
// same settings (accurate integer IDCT, smooth upsampling) and then converts and copies its image,
// which takes twice to three times as long.
//
// The pixels are those of Qt's reader to the byte, and so are the other fields of the
// DecodedImage. Other colour spaces (CMYK, YCCK, RGB), and any file that the library reports an
// error or a warning for, are left to Qt's reader, which then gives what it always gave.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imagefiles/image_codec.h"

namespace tintora {

// The image of a JPEG file of the kinds above, or nullopt for Qt's reader. Throws only
// E_OUTOFMEMORY (AllocatePixels).
std::optional<DecodedImage> DecodeCommonJpeg(std::span<const std::uint8_t> data,
                                             const std::string& fileName);

}  // namespace tintora
