#include "base/d3d8_types.h"

namespace tintora {

int BytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_D32:
        case D3DFMT_D24S8:
        case D3DFMT_D24X8:
            return 4;
        case D3DFMT_R8G8B8:
            return 3;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
        case D3DFMT_D16:
            return 2;
        case D3DFMT_A8:
        case D3DFMT_L8:
            return 1;
        default:
            return 0;
    }
}

bool IsBlockCompressed(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return true;
        default:
            return false;
    }
}

bool IsDepthFormat(D3DFORMAT format) {
    return format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D24S8 ||
           format == D3DFMT_D32;
}

std::int64_t RowPitchBytes(D3DFORMAT format, std::int64_t width) {
    if (IsBlockCompressed(format)) {
        const std::int64_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
        return (width + 3) / 4 * blockBytes;
    }
    return width * BytesPerPixel(format);
}

std::int64_t StorageRows(D3DFORMAT format, std::int64_t height) {
    return IsBlockCompressed(format) ? (height + 3) / 4 : height;
}

const char* FormatName(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_UNKNOWN:
            return "UNKNOWN";
        case D3DFMT_R8G8B8:
            return "R8G8B8";
        case D3DFMT_A8R8G8B8:
            return "A8R8G8B8";
        case D3DFMT_X8R8G8B8:
            return "X8R8G8B8";
        case D3DFMT_R5G6B5:
            return "R5G6B5";
        case D3DFMT_X1R5G5B5:
            return "X1R5G5B5";
        case D3DFMT_A1R5G5B5:
            return "A1R5G5B5";
        case D3DFMT_A4R4G4B4:
            return "A4R4G4B4";
        case D3DFMT_A8:
            return "A8";
        case D3DFMT_X4R4G4B4:
            return "X4R4G4B4";
        case D3DFMT_A8B8G8R8:
            return "A8B8G8R8";
        case D3DFMT_L8:
            return "L8";
        case D3DFMT_A8L8:
            return "A8L8";
        case D3DFMT_D32:
            return "D32";
        case D3DFMT_D24S8:
            return "D24S8";
        case D3DFMT_D24X8:
            return "D24X8";
        case D3DFMT_D16:
            return "D16";
        case D3DFMT_DXT1:
            return "DXT1";
        case D3DFMT_DXT2:
            return "DXT2";
        case D3DFMT_DXT3:
            return "DXT3";
        case D3DFMT_DXT4:
            return "DXT4";
        case D3DFMT_DXT5:
            return "DXT5";
    }
    return "unknown format";
}

}  // namespace tintora
