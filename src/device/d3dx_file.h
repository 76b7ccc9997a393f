// D3DX image-file functions: reading image files into textures, converting between surfaces, and
// writing textures and surfaces to files.
//
// Reading (D3DXCreateTextureFromFileEx). The reader is chosen by the file's first bytes ("BM",
// "DDS ", the PNG and JPEG signatures, the TGA 2.0 footer) and, failing those, by its ending
// (.bmp, .dib, .tga, .png, .jpg, .jpeg, .dds, any case). Who decodes what:
//   BMP, DIB   our own reader (bmp_codec.h): 1, 4, 8, 16, 24, 32 bits, RLE4/RLE8, top-down and
//              bottom-up, bit-field masks with alpha, packed DIBs without a file header,
//              embedded JPEG or PNG data (through the JPEG and PNG readers);
//   TGA        our own reader (tga_codec.h): true colour, grey, colour-mapped, each also RLE;
//   DDS        our own reader (dds_codec.h);
//   PNG, JPEG  after our own header checks, our own readers for the common kinds (8-bit grey,
//              grey and alpha, RGB, RGBA PNG; YCbCr and grey JPEG: png_reader.h, jpeg_reader.h),
//              Qt's image readers (libpng, libjpeg-turbo) for the rest; the same pixels either way.
// Files other than DDS come out as A8R8G8B8. A texture that keeps the read image's format and size
// takes over the decoded bytes as its storage: the readers write straight into the texture. A DDS file keeps its own format when the requested
// format is D3DFMT_UNKNOWN: DXT1-DXT5 stay compressed as stored (DXT2 and DXT4 with their
// premultiplied colours), uncompressed files keep their layout when the device stores it, and
// layouts without a Direct3D 8 format (say X8B8G8R8) are converted to A8R8G8B8.
//
// Limits: images larger than kMaxTextureSize on a side are refused (nothing is resized to fit);
// every size in a header is checked against the bytes the file really holds before anything is
// allocated for it.
//
// Filters (the low byte of a filter argument; higher bits, such as dithering, are ignored):
//   D3DX_FILTER_NONE (1)    no scaling: pixels are copied 1:1 from the top left, and destination
//                           pixels beyond the source become transparent black;
//   D3DX_FILTER_POINT (2)   nearest texel (texel centres at half-integers);
//   D3DX_FILTER_LINEAR (3)  bilinear between the four nearest texels, edges clamped;
//   TRIANGLE (4), BOX (5), D3DX_DEFAULT (0xFFFFFFFF) and 0: the linear filter.
// Filters only matter when the source and destination sizes differ; equal sizes copy exactly.
//
// Colour key: a non-zero key replaces every source pixel whose A8R8G8B8 value equals it exactly
// by transparent black (0x00000000) before any scaling. It acts wherever pixels pass through
// A8R8G8B8: every uncompressed image, and a compressed one that must be scaled or converted. With
// a key and D3DFMT_UNKNOWN, an uncompressed DDS file comes out as A8R8G8B8, so that keyed pixels
// can be transparent whatever the file's format. A compressed DDS texture that keeps its format
// and size is stored as read, and the key is not applied (that would take a decode and a lossy
// re-encode).
//
// Writing. D3DXIFF_BMP and D3DXIFF_DIB: a 32-bit bitmap with the alpha kept (BITMAPV4HEADER,
// BI_BITFIELDS with an alpha mask, rows bottom-up). D3DXIFF_DDS: the surface's own format, bytes
// as stored (every format of this device except depth formats). D3DXIFF_TGA: 32-bit uncompressed
// with alpha. D3DXIFF_PNG: 8-bit RGBA through Qt. D3DXIFF_JPG: through Qt at quality 90, without
// alpha. Every write goes through file_io.h's atomic write (StagedFile): the target is replaced
// only by a complete file, and on failure it is left untouched.
//
// Errors throw PlatformError naming the file and the reason: E_FAIL for file-system failures,
// D3DXERR_INVALIDDATA for unsupported, damaged or truncated contents, D3DERR_INVALIDCALL for bad
// arguments, E_OUTOFMEMORY when memory runs out.
//
// Thread-safety: calls on different devices, surfaces and files may run on different threads.
// Long conversions run in parallel internally (oneTBB).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/d3d8_types.h"
#include "base/pixel_format.h"
#include "device/device.h"
#include "imagefiles/file_io.h"
#include "imagefiles/image_codec.h"

namespace tintora {

constexpr int D3DX_DEFAULT = -1;
constexpr std::uint32_t D3DX_DEFAULT_FILTER = 0xFFFFFFFFu;
constexpr std::uint32_t D3DX_FILTER_NONE = 1;
constexpr std::uint32_t D3DX_FILTER_POINT = 2;
constexpr std::uint32_t D3DX_FILTER_LINEAR = 3;
constexpr std::uint32_t D3DX_FILTER_TRIANGLE = 4;
constexpr std::uint32_t D3DX_FILTER_BOX = 5;

// What a file held: its size, levels and format as stored (before any conversion), and what it
// held beyond the image read (the top level of its first face, layer or slice): Depth volume
// slices, Faces cube-map faces (6 for a whole cube), ArraySize texture-array layers, each 1 when
// there were none. Srgb: the file marks its colours as sRGB-encoded (they are read unchanged).
struct D3DXIMAGE_INFO {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t Depth = 1;
    std::uint32_t MipLevels = 1;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_BMP;
    std::uint32_t Faces = 1;
    std::uint32_t ArraySize = 1;
    bool Srgb = false;
};

// A palette entry. This device has no palettised formats: palette arguments are accepted and
// ignored (a palettised file is expanded to A8R8G8B8 when it is read).
struct PALETTEENTRY {
    std::uint8_t peRed = 0;
    std::uint8_t peGreen = 0;
    std::uint8_t peBlue = 0;
    std::uint8_t peFlags = 0;
};

// Reads an image file into a new single-level texture.
//  - width, height: D3DX_DEFAULT (-1) or 0 for the image's own size; other values resample the
//    image to that size with filter.
//  - mipLevels: the device makes single-level textures; any value gives one level.
//  - format: D3DFMT_UNKNOWN keeps the file's format (see the top of this file); another format
//    converts into it (through A8R8G8B8; compressed targets through the block encoders of
//    imagefiles/block_encoders.h at the Fast level, DXT1 with 1-bit alpha).
//  - usage, pool: passed to Device::CreateTexture. mipFilter and palette are ignored.
//  - colorKey: 0 for none (see the top of this file).
//  - imageInfo (may be null): receives what the file held.
std::shared_ptr<Texture> D3DXCreateTextureFromFileEx(
    Device& device, const std::string& fileName, int width, int height, std::uint32_t mipLevels,
    std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, std::uint32_t filter,
    std::uint32_t mipFilter, std::uint32_t colorKey, D3DXIMAGE_INFO* imageInfo,
    PALETTEENTRY* palette);

// Copies srcRect of src (null: all of it) into destRect of dest (null: all of it), converting the
// format through A8R8G8B8 and resampling with filter when the two rectangles differ in size.
// colorKey as above. Rectangles are right/bottom exclusive and must lie inside their surfaces; a
// rectangle on a compressed surface must start on a 4 x 4 block edge and end on one or on the
// surface's edge. Neither surface may be locked. progress reports block compression (a compressed
// dest) and may be empty. Palettes are ignored.
void D3DXLoadSurfaceFromSurface(Surface& dest, const PALETTEENTRY* destPalette,
                                const RECT* destRect, const Surface& src,
                                const PALETTEENTRY* srcPalette, const RECT* srcRect,
                                std::uint32_t filter, std::uint32_t colorKey,
                                const ProgressCallback& progress = {});

// Writes level 0 of texture to fileName in the given file type.
void D3DXSaveTextureToFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT format,
                           Texture& texture, const PALETTEENTRY* palette);

// Writes srcRect of surface (null: all of it) to fileName in the given file type. For a DDS file
// of a compressed surface the rectangle must lie on block edges (as in D3DXLoadSurfaceFromSurface).
void D3DXSaveSurfaceToFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT format,
                           const Surface& surface, const PALETTEENTRY* palette,
                           const RECT* srcRect);

// D3DXSaveSurfaceToFile's first half: the file written beside fileName and on its way to disk
// (imagefiles/file_io.h); its Commit puts it in place. A DDS file, and a bitmap of an A8R8G8B8
// surface, are written from the surface's own rows without a copy; the surface is no longer
// needed when this returns.
StagedFile StageSurfaceToFile(const std::string& fileName, D3DXIMAGE_FILEFORMAT format,
                              const Surface& surface, const RECT* srcRect);

}  // namespace tintora
