// Shared vocabulary of the image-file codecs: the decoded image, the checks every reader makes
// before it allocates, and little-endian byte access.
//
// A reader takes the file's bytes and its name (for messages only) and returns the top level of
// the image; it throws PlatformError(D3DXERR_INVALIDDATA) with a message that starts with the
// quoted file name and says what is wrong. Readers never allocate from a header's word alone:
// the size is checked against the device's limit and the pixel bytes against the file's length
// first (RequireImageBytes, RequireTextureSize).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "base/d3d8_types.h"
#include "imagefiles/file_io.h"

namespace tintora {

// The image file types (the values of D3DX's file-format enumeration).
enum D3DXIMAGE_FILEFORMAT : std::uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
};

// The top level of an image as read from a file: rows top to bottom, RowPitchBytes(format, width)
// bytes each (rows of 4x4 blocks for compressed formats), no padding.
struct DecodedImage {
    int width = 0;
    int height = 0;
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    // Format as stored in the file (differs from format when the reader converted the pixels).
    D3DFORMAT fileFormat = D3DFMT_A8R8G8B8;
    std::uint32_t fileMipLevels = 1;
    // What else the file holds beyond this image: the faces of a cube map (6), the layers of a
    // texture array, the slices of a volume texture. The image is the top level of the first.
    std::uint32_t fileFaces = 1;
    std::uint32_t fileArraySize = 1;
    std::uint32_t fileDepth = 1;
    // The file stores sRGB-encoded colour (its bytes are read unchanged).
    bool fileSrgb = false;
    ByteBuffer bytes;
};

// Throws PlatformError(D3DXERR_INVALIDDATA, QuotedName(fileName) + " " + what).
[[noreturn]] void ThrowBadImage(const std::string& fileName, const std::string& what);

// Refuses a size with a side below 1 ("is zero-sized") or above kMaxTextureSize.
void RequireTextureSize(const std::string& fileName, std::int64_t width, std::int64_t height);

// Refuses an image whose pixel data needs more bytes than the file holds there:
// "claims W x H pixels (N bytes of <layout>) but holds only M: the file is truncated or its
// header is wrong".
void RequireImageBytes(const std::string& fileName, std::int64_t width, std::int64_t height,
                       const std::string& layout, std::uint64_t needed, std::uint64_t available);

// Allocates the pixel bytes of a checked image, uninitialised (the reader writes every byte);
// E_OUTOFMEMORY names the file when memory runs out.
ByteBuffer AllocatePixels(const std::string& fileName, std::size_t bytes);

inline std::uint16_t LoadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
inline void StoreLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Stores A8R8G8B8 pixel i of a decoded image's bytes (B G R A order).
inline void StoreArgb(std::uint8_t* bytes, std::size_t i, std::uint32_t argb) {
    StoreLe32(bytes + 4 * i, argb);
}

// Widens a channel of `bits` bits (value below 2^bits) to 8 bits by repeating its bit pattern, the
// rule of pixel_format.h: 0 stays 0, the largest value becomes 255, and 5 and 6-bit channels of a
// bitmap decode exactly as in a DDS file. Channels wider than 8 bits keep their top 8 bits.
inline std::uint32_t WidenTo8(std::uint32_t value, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return value >> (bits - 8);
    std::uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | value;
        filled += bits;
    }
    return (out >> (filled - 8)) & 0xFF;
}

// One channel of a bit-mask pixel layout (bitmaps with bit fields, DDS files): where it lies and
// how many levels it has. An empty mask is a channel the layout lacks; it reads as 0.
struct MaskChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

inline MaskChannel MaskChannelOf(std::uint32_t mask) {
    MaskChannel c;
    if (mask == 0) return c;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    c.bits = std::bit_width(mask >> c.shift);
    return c;
}

// The channel's value in a pixel, widened to 8 bits.
inline std::uint32_t Extract(std::uint32_t pixel, const MaskChannel& c) {
    return WidenTo8((pixel & c.mask) >> c.shift, c.bits);
}

}  // namespace tintora
