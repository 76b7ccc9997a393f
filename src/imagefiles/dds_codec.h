// DirectDraw Surface (DDS) files: our own reader and writer. The byte layout is described at the
// top of dds_codec.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imagefiles/image_codec.h"

namespace tintora {

// True when data starts with the DDS signature.
bool LooksLikeDds(std::span<const std::uint8_t> data);

// Reads the first image of a DDS file: the top level of a texture, or of the first face of a cube
// map, the first layer of a texture array, the first slice of a volume texture. The image tells
// what else the file holds (fileMipLevels, fileFaces, fileArraySize, fileDepth); only the first
// image's bytes must be in the file. Formats (dds_formats.h says how each becomes an image):
//   - legacy headers: RGB, luminance and alpha layouts of 8 to 32 bits by their masks (A8R8G8B8,
//     X8R8G8B8, A8B8G8R8, R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, X4R4G4B4, A8, L8, A8L8 kept
//     as they are; L16, A4L4, G16R16, A2B10G10R10, A2R10G10B10 and the rest converted), P8 with its
//     palette, the four-character codes DXT1-DXT5, ATI1, BC4U, BC4S (BC4), ATI2, BC5U, BC5S (BC5),
//     and the Direct3D format numbers writers put in their place (A16B16G16R16, R16F, G16R16F,
//     A16B16G16R16F, R32F, G32R32F, A32B32G32R32F and the mask layouts above);
//   - DX10 headers (resource dimension 0 and array size 0 read as one 2D texture; 1D textures as
//     one row): BC1-BC7 (UNORM, SNORM, SRGB, UF16, SF16; BC2 and BC3 with premultiplied alpha
//     read as DXT2 and DXT4), R8G8B8A8, B8G8R8A8, B8G8R8X8 (UNORM and SRGB), R10G10B10A2_UNORM,
//     B5G6R5_UNORM, B5G5R5A1_UNORM, B4G4R4A4_UNORM, A8_UNORM, R8, R8G8, R8G8B8A8, R16, R16G16,
//     R16G16B16A16 (UNORM and SNORM), R16, R16G16, R16G16B16A16, R32, R32G32, R32G32B32A32
//     (FLOAT); a TYPELESS format reads as its UNORM twin (BC6H's as UF16).
// sRGB formats are read as they are stored, without a colour-space conversion, and set fileSrgb.
// Block formats the device does not store (BC4-BC7) and the converted layouts come out as
// A8R8G8B8; a block format's fileFormat is a four-character code naming it: a legacy header's own
// (ATI1, BC4U, ...), for a DX10 header 'BC4U', 'BC4S', 'BC5U', 'BC5S', 'BC6H', 'BC6S' or 'BC7 '.
// The pitch and linear-size fields are not trusted. Refusals name the format (the DXGI number and
// name, or the four-character code) and say what is wrong.
DecodedImage DecodeDds(std::span<const std::uint8_t> data, const std::string& fileName);

// A DDS file of one level: width x height pixels of format, rows pitch bytes apart (rows of blocks
// for compressed formats). Throws PlatformError(D3DERR_INVALIDCALL) for a format DDS cannot hold.
ByteBuffer EncodeDds(D3DFORMAT format, const std::uint8_t* bits, int pitch, int width, int height);

// The same file as parts (file_io.h): the headers, then views of the rows where they lie. The
// pixels must stay unchanged while the parts are used.
FileParts DdsFileParts(D3DFORMAT format, const std::uint8_t* bits, int pitch, int width,
                       int height);

// What the headers of a written DDS file say about the pixel data that follows them.
struct DdsWriteLayout {
    int width = 0;
    int height = 0;
    // Levels in the file. Above 1 the header counts them and marks a mip chain; with 1 it leaves
    // the count out, as EncodeDds does.
    int mipLevels = 1;
    // Uncompressed data (blockBytes 0): a format EncodeDds takes. The DX9 header describes it by
    // its masks and gives the row pitch.
    D3DFORMAT format = D3DFMT_UNKNOWN;
    // Block data: the bytes of one 4 x 4 block (8 or 16) and the four-character code the DX9
    // header names (DXT1..DXT5, ATI1, ATI2). The header gives the top level's byte size.
    int blockBytes = 0;
    std::uint32_t fourCC = 0;
    // Not 0: the pixel format names "DX10" and the extension header names this DXGI format, for
    // one 2D texture; format or blockBytes then only say how the data is laid out.
    std::uint32_t dxgiFormat = 0;
};

// The signature and headers of a DDS file: 128 bytes, 148 with the DX10 extension. Throws
// PlatformError(D3DERR_INVALIDCALL) for an uncompressed format DDS cannot hold.
ByteBuffer EncodeDdsHeaders(const DdsWriteLayout& layout);

}  // namespace tintora
