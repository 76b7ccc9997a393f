// Writing a texture as a DDS file in any of the formats engines load: uncompressed 32, 24 and
// 16 bits, and the block formats of block_encoders.h, with or without a full mip chain.
//
// Headers: a DX9 header where a FourCC exists (DXT1 for BC1 and BC1a, DXT3, DXT5, ATI1, ATI2)
// and for the uncompressed formats; a DX10 header for BC7, for sRGB files and when asked. The
// mip count and flags are set so that other readers find every level.
#pragma once

#include <string>

#include "base/pixel_buffer.h"
#include "base/pixel_groups.h"
#include "imagefiles/block_encoders.h"
#include "imagefiles/file_io.h"
#include "imagefiles/mipmaps.h"

namespace tintora {

enum class ExportFormat {
    Bgra32,  // A8R8G8B8
    Bgr24,   // R8G8B8, alpha dropped
    Argb16,  // A4R4G4B4
    Bc1,
    Bc1a,
    Bc2,  // DXT3
    Bc3,  // DXT5
    Bc4,
    Bc5,
    Bc7,
};

struct ExportSettings {
    ExportFormat format = ExportFormat::Bc3;
    bool mipmaps = false;
    // The chain's filter and its normal-map and alpha-coverage options (mip.srgb follows srgb).
    MipOptions mip;
    // The colours are sRGB: the file says so (DX10 _SRGB formats) and mipmaps filter in linear
    // light.
    bool srgb = false;
    EncodeOptions encode;  // level (Fast / Best) and the BC1 options
    bool dx10 = false;     // a DX10 header even where a DX9 one exists
};

// What a format's file can say. Block formats (BC1 to BC7) are encoded with settings.encode;
// sRGB has a DXGI format for A8R8G8B8, BC1, BC1a, BC2, BC3 and BC7; a DX10 header has a DXGI
// format for every format but R8G8B8.
bool IsBlockExport(ExportFormat format);
bool ExportHasSrgb(ExportFormat format);
bool ExportHasDx10(ExportFormat format);
// "A8R8G8B8", "R8G8B8", "A4R4G4B4", "BC1", "BC1a", "BC2", "BC3", "BC4", "BC5", "BC7".
const char* ExportFormatName(ExportFormat format);

// The DDS file's bytes for the top level top (B G R A pixels) with these settings: the headers,
// then each level (the top, then MakeMipChain's levels with settings.mip), rows top to bottom.
// A8R8G8B8 copies the pixels; R8G8B8 and A4R4G4B4 narrow each channel with rounding as
// base/pixel_format.h does; the block formats encode with EncodeImage. A single level gets the
// header EncodeDds writes for that format. progress (may be empty) receives a rising 1..100 on
// the calling thread over the whole export (the chain, then the levels) and may throw to cancel:
// the exception propagates. Throws PlatformError(D3DERR_INVALIDCALL) for an empty top, one above
// kMaxTextureSize, srgb without ExportHasSrgb or dx10 without ExportHasDx10. Cost: the encoder's
// (block_encoders.h) over 4/3 of the top's pixels with a chain, plus the chain's filtering.
ByteBuffer EncodeDdsExport(const PixelView& top, const ExportSettings& settings,
                           const ProgressFn& progress = {});

// The same bytes as parts (file_io.h); A8R8G8B8 views top's pixels where they lie, so they must
// stay unchanged while the parts are used.
FileParts DdsExportParts(const PixelView& top, const ExportSettings& settings,
                         const ProgressFn& progress = {});

// Writes EncodeDdsExport's bytes to fileName through a temporary file beside it, renamed when
// complete (file_io.h): a failure or a cancel leaves an existing file as it was and no temporary
// file behind (a cancel comes before the file is opened). Throws PlatformError naming the file.
void WriteDdsExport(const PixelView& top, const ExportSettings& settings,
                    const std::string& fileName, const ProgressFn& progress = {});

// WriteDdsExport's first half: the file written beside fileName, on its way to disk; its Commit
// puts it in place. top is no longer needed when this returns.
StagedFile StageDdsExport(const PixelView& top, const ExportSettings& settings,
                          const std::string& fileName, const ProgressFn& progress = {});

}  // namespace tintora
