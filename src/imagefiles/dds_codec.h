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

// Reads the top level of a 2D DDS texture. Formats: the legacy header with A8R8G8B8, X8R8G8B8,
// A8B8G8R8, R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, X4R4G4B4, A8, L8, A8L8 (told apart by the
// pixel-format masks; other RGB, luminance and alpha masks of 8 to 32 bits are converted to
// A8R8G8B8), the FourCC codes DXT1-DXT5, and the DX10 header with BC1-BC3 (UNORM and SRGB; BC2 and
// BC3 with premultiplied alpha read as DXT2 and DXT4) or R8G8B8A8 / B8G8R8A8 / B8G8R8X8 (UNORM
// and SRGB). sRGB formats are read as they are stored, without a colour-space conversion. Cube
// maps, volume textures and texture arrays are refused.
DecodedImage DecodeDds(std::span<const std::uint8_t> data, const std::string& fileName);

// A DDS file of one level: width x height pixels of format, rows pitch bytes apart (rows of blocks
// for compressed formats). Throws PlatformError(D3DERR_INVALIDCALL) for a format DDS cannot hold.
ByteBuffer EncodeDds(D3DFORMAT format, const std::uint8_t* bits, int pitch, int width, int height);

}  // namespace tintora
