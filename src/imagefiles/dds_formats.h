// The pixel formats of DDS files (internal to the DDS reader and writer): how a file names its
// format -- the legacy pixel format (masks or a four-character code) or the DXGI number of the
// DX10 extension header -- and how the reader turns each into an image.
//
// What becomes of each format:
//   - stored as is: the formats the device holds (A8R8G8B8, X8R8G8B8, A8B8G8R8, R8G8B8, R5G6B5,
//     X1R5G5B5, A1R5G5B5, A4R4G4B4, X4R4G4B4, A8, L8, A8L8, DXT1-DXT5);
//   - converted to A8R8G8B8: every other layout. Channels wider than 8 bits round to the nearest
//     8-bit level; signed channels map -1 to 0 and +1 to 255 (0 to 128); float channels clamp to
//     0..1 and round. Grey formats (luminance) show as grey; one- and two-channel red/green formats
//     (R8, R16, R16F, R32F, G16R16, R8G8, ...) show red, or red and green, with the missing colour
//     channels 0, as Direct3D 10 samples them; formats without alpha are opaque;
//   - decoded block by block (block_decoders.h): BC4, BC5, BC6H and BC7.
// sRGB formats are read as stored; the image remembers the flag.
#pragma once

#include <cstdint>
#include <string>

#include "base/d3d8_types.h"
#include "imagefiles/block_decoders.h"
#include "imagefiles/image_codec.h"

namespace tintora::dds {

// Pixel-format flags (DdsPixelFormat::flags).
constexpr std::uint32_t kPfAlphaPixels = 0x1;
constexpr std::uint32_t kPfAlpha = 0x2;
constexpr std::uint32_t kPfFourCc = 0x4;
constexpr std::uint32_t kPfPaletteIndexed8 = 0x20;
constexpr std::uint32_t kPfRgb = 0x40;
constexpr std::uint32_t kPfYuv = 0x200;
constexpr std::uint32_t kPfLuminance = 0x20000;
constexpr std::uint32_t kPfBumpDuDv = 0x80000;

struct DdsPixelFormat {
    std::uint32_t size;
    std::uint32_t flags;
    std::uint32_t fourCC;
    std::uint32_t rgbBitCount;
    std::uint32_t rBitMask;
    std::uint32_t gBitMask;
    std::uint32_t bBitMask;
    std::uint32_t aBitMask;
};
static_assert(sizeof(DdsPixelFormat) == 32);

// An uncompressed layout described by masks, and the Direct3D format that stores it as is.
struct MaskedLayout {
    std::uint32_t kind;  // kPfRgb, kPfLuminance or kPfAlpha
    std::uint32_t bits;
    std::uint32_t r, g, b, a;
    D3DFORMAT format;
};

inline constexpr MaskedLayout kKnownLayouts[] = {
    {kPfRgb, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, D3DFMT_A8R8G8B8},
    {kPfRgb, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, D3DFMT_X8R8G8B8},
    {kPfRgb, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000, D3DFMT_A8B8G8R8},
    {kPfRgb, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0, D3DFMT_R8G8B8},
    {kPfRgb, 16, 0xF800, 0x07E0, 0x001F, 0, D3DFMT_R5G6B5},
    {kPfRgb, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, D3DFMT_A1R5G5B5},
    {kPfRgb, 16, 0x7C00, 0x03E0, 0x001F, 0, D3DFMT_X1R5G5B5},
    {kPfRgb, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, D3DFMT_A4R4G4B4},
    {kPfRgb, 16, 0x0F00, 0x00F0, 0x000F, 0, D3DFMT_X4R4G4B4},
    {kPfAlpha, 8, 0, 0, 0, 0xFF, D3DFMT_A8},
    {kPfLuminance, 8, 0xFF, 0, 0, 0, D3DFMT_L8},
    {kPfLuminance, 16, 0x00FF, 0, 0, 0xFF00, D3DFMT_A8L8},
};

// Channels of the uncompressed formats that masks cannot describe, stored R, G, B, A in turn.
enum class ChannelType : std::uint8_t { Unorm16, Snorm8, Snorm16, Half, Float };

// How the reader turns one format's pixel data into an image.
struct Reading {
    enum class Kind : std::uint8_t {
        Stored,    // kept as is in format
        Masked,    // channels picked out of a little-endian value by masks
        Channels,  // `channels` channels of channelType, R G B A
        Palette,   // 256 four-byte entries R G B A, then one index a pixel
        Blocks,    // 4 x 4 blocks of block
    };
    Kind kind = Kind::Stored;
    D3DFORMAT format = D3DFMT_UNKNOWN;      // Stored
    D3DFORMAT fileFormat = D3DFMT_UNKNOWN;  // what the image reports as the file's format
    std::uint32_t maskKind = 0;             // Masked: kPfRgb, kPfLuminance or kPfAlpha
    MaskChannel r, g, b, a;                 // Masked
    ChannelType channelType = ChannelType::Float;
    int channels = 0;                      // Channels
    BlockFormat block = BlockFormat::Bc7;  // Blocks
    int bytesPerPixel = 0;                 // Masked, Channels, Palette
    bool srgb = false;
    // The format as messages name it: "DXGI format 98 (BC7_UNORM)", "DXT1", "\"ATI2\" (0x...)",
    // "16-bit"; followed by " blocks" or " pixels".
    std::string name;
};

// The reading of a DX10 header's format; refuses (naming the number and its DXGI name) one that
// cannot be read. premultiplied: the alpha mode says so (BC2 and BC3 then read as DXT2 and DXT4).
Reading ReadingOfDxgi(const std::string& fileName, std::uint32_t dxgi, bool premultiplied);

// The reading of a legacy pixel format; refuses one that cannot be read.
Reading ReadingOfLegacy(const std::string& fileName, const DdsPixelFormat& pf);

// Bytes of a width x height image in the reading's layout (with a palette's 1024 bytes).
std::uint64_t ImageBytes(const Reading& reading, std::int64_t width, std::int64_t height);

// The image of a checked width x height size whose ImageBytes lie at data.
DecodedImage DecodeReading(const std::string& fileName, const Reading& reading,
                           const std::uint8_t* data, int width, int height);

}  // namespace tintora::dds
