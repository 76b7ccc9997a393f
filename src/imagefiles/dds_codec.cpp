// DDS file layout, as this reader and writer understand it (all numbers little-endian):
//
//   offset 0    4 bytes   the signature "DDS " (0x20534444)
//   offset 4    124 bytes the surface header (DdsHeader below):
//                 size (always 124), flags saying which fields are valid, height, width,
//                 pitch of an uncompressed row or byte size of a compressed top level, depth of a
//                 volume, count of mipmap levels, 11 reserved words, the pixel format (32 bytes,
//                 DdsPixelFormat below), four capability words, one reserved word
//   offset 128  20 bytes  only when the pixel format's four-character code is "DX10": the
//                 extension header (DdsHeaderDx10 below) with a DXGI format number, the resource
//                 dimension (3 = 2D), flags (4 = cube map), the array size and the alpha mode
//   then        the pixel data: the top level first, rows top to bottom without padding, then the
//               smaller mipmap levels (and, in cube maps, the other faces).
//
// The pixel format either names a four-character code (FOURCC flag: DXT1..DXT5, DX10, or a
// Direct3D format number) or describes an uncompressed layout: a bit count and the masks of red,
// green, blue and alpha within each little-endian pixel value. The flags say which masks count:
// RGB (colour masks), LUMINANCE (the red mask holds a grey level), ALPHA (alpha only) and
// ALPHAPIXELS (the alpha mask is valid).
//
// Writers disagree on the header's pitch/linear-size field, so the reader does not trust it: row
// sizes come from the format and the width, and the data must lie within the file. Blocks of the
// DXT formats are 4 x 4 pixels: 8 bytes for DXT1, 16 for the others; a side that is not a
// multiple of 4 is padded to whole blocks.
#include "imagefiles/dds_codec.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "base/error.h"
#include "base/pixel_format.h"

namespace tintora {
namespace {

static_assert(std::endian::native == std::endian::little,
              "DDS headers are copied into structs as they lie in the file");

constexpr std::uint32_t kDdsMagic = MakeFourCC('D', 'D', 'S', ' ');
constexpr std::uint32_t kFourCcDx10 = MakeFourCC('D', 'X', '1', '0');

// Header flags (DdsHeader::flags).
constexpr std::uint32_t kFlagCaps = 0x1;
constexpr std::uint32_t kFlagHeight = 0x2;
constexpr std::uint32_t kFlagWidth = 0x4;
constexpr std::uint32_t kFlagPitch = 0x8;
constexpr std::uint32_t kFlagPixelFormat = 0x1000;
constexpr std::uint32_t kFlagMipMapCount = 0x20000;
constexpr std::uint32_t kFlagLinearSize = 0x80000;
constexpr std::uint32_t kFlagDepth = 0x800000;

// Pixel-format flags (DdsPixelFormat::flags).
constexpr std::uint32_t kPfAlphaPixels = 0x1;
constexpr std::uint32_t kPfAlpha = 0x2;
constexpr std::uint32_t kPfFourCc = 0x4;
constexpr std::uint32_t kPfPaletteIndexed8 = 0x20;
constexpr std::uint32_t kPfRgb = 0x40;
constexpr std::uint32_t kPfYuv = 0x200;
constexpr std::uint32_t kPfLuminance = 0x20000;
constexpr std::uint32_t kPfBumpDuDv = 0x80000;

// Capability words.
constexpr std::uint32_t kCapsTexture = 0x1000;
constexpr std::uint32_t kCaps2Cubemap = 0x200;
constexpr std::uint32_t kCaps2Volume = 0x200000;

// DX10 extension values.
constexpr std::uint32_t kDimensionTexture1D = 2;
constexpr std::uint32_t kDimensionTexture2D = 3;
constexpr std::uint32_t kDimensionTexture3D = 4;
constexpr std::uint32_t kMiscTextureCube = 0x4;
constexpr std::uint32_t kAlphaModePremultiplied = 2;

enum DxgiFormat : std::uint32_t {
    kDxgiR8G8B8A8Unorm = 28,
    kDxgiR8G8B8A8UnormSrgb = 29,
    kDxgiBc1Unorm = 71,
    kDxgiBc1UnormSrgb = 72,
    kDxgiBc2Unorm = 74,
    kDxgiBc2UnormSrgb = 75,
    kDxgiBc3Unorm = 77,
    kDxgiBc3UnormSrgb = 78,
    kDxgiB8G8R8A8Unorm = 87,
    kDxgiB8G8R8X8Unorm = 88,
    kDxgiB8G8R8A8UnormSrgb = 91,
    kDxgiB8G8R8X8UnormSrgb = 93,
};

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

struct DdsHeader {
    std::uint32_t size;
    std::uint32_t flags;
    std::uint32_t height;
    std::uint32_t width;
    std::uint32_t pitchOrLinearSize;
    std::uint32_t depth;
    std::uint32_t mipMapCount;
    std::uint32_t reserved1[11];
    DdsPixelFormat pixelFormat;
    std::uint32_t caps;
    std::uint32_t caps2;
    std::uint32_t caps3;
    std::uint32_t caps4;
    std::uint32_t reserved2;
};
static_assert(sizeof(DdsHeader) == 124);
static_assert(offsetof(DdsHeader, pixelFormat) == 72);

struct DdsHeaderDx10 {
    std::uint32_t dxgiFormat;
    std::uint32_t resourceDimension;
    std::uint32_t miscFlag;
    std::uint32_t arraySize;
    std::uint32_t miscFlags2;
};
static_assert(sizeof(DdsHeaderDx10) == 20);

constexpr std::size_t kHeaderEnd = 4 + sizeof(DdsHeader);

// An uncompressed layout described by masks, and the Direct3D format that stores it as is.
struct MaskedLayout {
    std::uint32_t kind;  // kPfRgb, kPfLuminance or kPfAlpha
    std::uint32_t bits;
    std::uint32_t r, g, b, a;
    D3DFORMAT format;
};

constexpr MaskedLayout kKnownLayouts[] = {
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


std::string Hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

std::string FourCcText(std::uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return "\"" + text + "\" (" + Hex(code) + ")";
}

struct Interpretation {
    D3DFORMAT format = D3DFMT_UNKNOWN;  // stored as is when known
    // Otherwise: a mask layout converted to A8R8G8B8 pixel by pixel.
    bool masked = false;
    std::uint32_t kind = 0;
    int bytesPerPixel = 0;
    MaskChannel r, g, b, a;
};

D3DFORMAT FormatOfDxgi(const std::string& fileName, const DdsHeaderDx10& dx10) {
    const bool premultiplied = (dx10.miscFlags2 & 0x7) == kAlphaModePremultiplied;
    switch (dx10.dxgiFormat) {
        case kDxgiBc1Unorm:
        case kDxgiBc1UnormSrgb:
            return D3DFMT_DXT1;
        case kDxgiBc2Unorm:
        case kDxgiBc2UnormSrgb:
            return premultiplied ? D3DFMT_DXT2 : D3DFMT_DXT3;
        case kDxgiBc3Unorm:
        case kDxgiBc3UnormSrgb:
            return premultiplied ? D3DFMT_DXT4 : D3DFMT_DXT5;
        case kDxgiR8G8B8A8Unorm:
        case kDxgiR8G8B8A8UnormSrgb:
            return D3DFMT_A8B8G8R8;
        case kDxgiB8G8R8A8Unorm:
        case kDxgiB8G8R8A8UnormSrgb:
            return D3DFMT_A8R8G8B8;
        case kDxgiB8G8R8X8Unorm:
        case kDxgiB8G8R8X8UnormSrgb:
            return D3DFMT_X8R8G8B8;
        default:
            ThrowBadImage(fileName, "uses DXGI format " + std::to_string(dx10.dxgiFormat) +
                                        ", which cannot be opened (BC1-BC3 and 8-bit RGBA can)");
    }
}

Interpretation InterpretLegacy(const std::string& fileName, const DdsPixelFormat& pf) {
    Interpretation result;
    if ((pf.flags & kPfFourCc) != 0) {
        switch (pf.fourCC) {
            case D3DFMT_DXT1:
            case D3DFMT_DXT2:
            case D3DFMT_DXT3:
            case D3DFMT_DXT4:
            case D3DFMT_DXT5:
                result.format = static_cast<D3DFORMAT>(pf.fourCC);
                return result;
            default:
                break;
        }
        // Some writers put a Direct3D format number in place of a four-character code.
        const auto numbered = static_cast<D3DFORMAT>(pf.fourCC);
        if (BytesPerPixel(numbered) > 0 && !IsDepthFormat(numbered) && CanDecode(numbered)) {
            result.format = numbered;
            return result;
        }
        ThrowBadImage(fileName, "uses the pixel format " + FourCcText(pf.fourCC) +
                                    ", which cannot be opened (DXT1-DXT5 and uncompressed RGB, "
                                    "luminance and alpha formats can)");
    }
    if ((pf.flags & (kPfPaletteIndexed8 | kPfYuv | kPfBumpDuDv)) != 0) {
        ThrowBadImage(fileName,
                      "uses a palette, YUV or bump-map pixel format, which cannot be opened");
    }
    std::uint32_t kind = 0;
    if ((pf.flags & kPfRgb) != 0) {
        kind = kPfRgb;
    } else if ((pf.flags & kPfLuminance) != 0) {
        kind = kPfLuminance;
    } else if ((pf.flags & kPfAlpha) != 0) {
        kind = kPfAlpha;
    } else {
        ThrowBadImage(fileName,
                      "has a pixel format without a four-character code or colour "
                      "masks (flags " +
                          Hex(pf.flags) + ")");
    }
    const std::uint32_t bits = pf.rgbBitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        ThrowBadImage(fileName, "has " + std::to_string(bits) +
                                    " bits per pixel; uncompressed DDS files need 8, 16, 24 or 32");
    }
    const bool hasAlpha = (pf.flags & (kPfAlphaPixels | kPfAlpha)) != 0;
    const std::uint32_t r = kind == kPfAlpha ? 0 : pf.rBitMask;
    const std::uint32_t g = kind == kPfRgb ? pf.gBitMask : 0;
    const std::uint32_t b = kind == kPfRgb ? pf.bBitMask : 0;
    const std::uint32_t a = hasAlpha ? pf.aBitMask : 0;
    const std::uint64_t limit = bits == 32 ? 0xFFFFFFFFull : (std::uint64_t{1} << bits) - 1;
    if ((r | g | b | a) == 0) ThrowBadImage(fileName, "has a pixel format with no channel masks");
    if ((std::uint64_t{r | g | b | a} & ~limit) != 0) {
        ThrowBadImage(fileName, "has pixel-format masks that do not fit its " +
                                    std::to_string(bits) + " bits per pixel");
    }
    for (const MaskedLayout& layout : kKnownLayouts) {
        if (layout.kind == kind && layout.bits == bits && layout.r == r && layout.g == g &&
            layout.b == b && layout.a == a) {
            result.format = layout.format;
            return result;
        }
    }
    result.masked = true;
    result.kind = kind;
    result.bytesPerPixel = static_cast<int>(bits / 8);
    result.r = MaskChannelOf(r);
    result.g = MaskChannelOf(g);
    result.b = MaskChannelOf(b);
    result.a = MaskChannelOf(a);
    return result;
}

// Converts a mask layout to A8R8G8B8, row by row.
void ConvertMasked(const Interpretation& layout, const std::uint8_t* source, int width, int height,
                   std::uint8_t* dest) {
    const auto n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const int bpp = layout.bytesPerPixel;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = source + i * static_cast<std::size_t>(bpp);
        std::uint32_t v = 0;
        for (int k = 0; k < bpp; ++k)
            v |= std::uint32_t{p[k]} << (8 * k);
        const std::uint32_t alpha = layout.a.mask != 0 ? Extract(v, layout.a) : 255;
        std::uint32_t red = 0, green = 0, blue = 0;
        if (layout.kind == kPfLuminance) {
            red = green = blue = Extract(v, layout.r);
        } else if (layout.kind == kPfRgb) {
            red = layout.r.mask != 0 ? Extract(v, layout.r) : 0;
            green = layout.g.mask != 0 ? Extract(v, layout.g) : 0;
            blue = layout.b.mask != 0 ? Extract(v, layout.b) : 0;
        }
        StoreArgb(dest, i, (alpha << 24) | (red << 16) | (green << 8) | blue);
    }
}

}  // namespace

bool LooksLikeDds(std::span<const std::uint8_t> data) {
    return data.size() >= 4 && LoadLe32(data.data()) == kDdsMagic;
}

DecodedImage DecodeDds(std::span<const std::uint8_t> data, const std::string& fileName) {
    if (!LooksLikeDds(data)) ThrowBadImage(fileName, "is not a DDS file (no \"DDS \" signature)");
    if (data.size() < kHeaderEnd) {
        ThrowBadImage(fileName, "is truncated: " + std::to_string(data.size()) +
                                    " bytes, shorter than a DDS header (" +
                                    std::to_string(kHeaderEnd) + " bytes)");
    }
    DdsHeader header;
    std::memcpy(&header, data.data() + 4, sizeof header);
    if (header.size != sizeof(DdsHeader) || header.pixelFormat.size != sizeof(DdsPixelFormat)) {
        ThrowBadImage(fileName, "has a damaged DDS header (header size " +
                                    std::to_string(header.size) + ", pixel-format size " +
                                    std::to_string(header.pixelFormat.size) +
                                    "; expected 124 and 32)");
    }
    if ((header.caps2 & kCaps2Cubemap) != 0) {
        ThrowBadImage(fileName, "is a cube map; only 2D textures can be opened");
    }
    if ((header.caps2 & kCaps2Volume) != 0 ||
        ((header.flags & kFlagDepth) != 0 && header.depth > 1)) {
        ThrowBadImage(fileName, "is a volume texture; only 2D textures can be opened");
    }

    std::size_t offset = kHeaderEnd;
    Interpretation layout;
    if ((header.pixelFormat.flags & kPfFourCc) != 0 && header.pixelFormat.fourCC == kFourCcDx10) {
        if (data.size() < kHeaderEnd + sizeof(DdsHeaderDx10)) {
            ThrowBadImage(fileName, "is truncated: " + std::to_string(data.size()) +
                                        " bytes, shorter than a DDS header with its DX10 "
                                        "extension (" +
                                        std::to_string(kHeaderEnd + sizeof(DdsHeaderDx10)) +
                                        " bytes)");
        }
        DdsHeaderDx10 dx10;
        std::memcpy(&dx10, data.data() + kHeaderEnd, sizeof dx10);
        offset += sizeof dx10;
        if ((dx10.miscFlag & kMiscTextureCube) != 0) {
            ThrowBadImage(fileName, "is a cube map; only 2D textures can be opened");
        }
        if (dx10.resourceDimension == kDimensionTexture3D) {
            ThrowBadImage(fileName, "is a volume texture; only 2D textures can be opened");
        }
        if (dx10.resourceDimension == kDimensionTexture1D) {
            ThrowBadImage(fileName, "is a 1D texture; only 2D textures can be opened");
        }
        if (dx10.resourceDimension != kDimensionTexture2D) {
            ThrowBadImage(fileName, "has an unknown resource dimension " +
                                        std::to_string(dx10.resourceDimension));
        }
        if (dx10.arraySize != 1) {
            ThrowBadImage(fileName, "holds an array of " + std::to_string(dx10.arraySize) +
                                        " textures; only single 2D textures can be opened");
        }
        layout.format = FormatOfDxgi(fileName, dx10);
    } else {
        layout = InterpretLegacy(fileName, header.pixelFormat);
    }

    const std::int64_t width = header.width;
    const std::int64_t height = header.height;
    std::uint64_t needed;
    std::string layoutName;
    if (layout.masked) {
        needed = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                 static_cast<std::uint64_t>(layout.bytesPerPixel);
        layoutName = std::to_string(8 * layout.bytesPerPixel) + "-bit pixels";
    } else {
        needed = static_cast<std::uint64_t>(RowPitchBytes(layout.format, width)) *
                 static_cast<std::uint64_t>(StorageRows(layout.format, height));
        layoutName = std::string(FormatName(layout.format)) +
                     (IsBlockCompressed(layout.format) ? " blocks" : " pixels");
    }
    RequireImageBytes(fileName, width, height, layoutName + " after the header", needed,
                      data.size() - offset);
    RequireTextureSize(fileName, width, height);

    DecodedImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.fileMipLevels =
        (header.flags & kFlagMipMapCount) != 0 && header.mipMapCount > 1 ? header.mipMapCount : 1;
    const std::uint8_t* pixels = data.data() + offset;
    if (layout.masked) {
        image.format = D3DFMT_A8R8G8B8;
        image.fileFormat = D3DFMT_UNKNOWN;
        image.bytes = AllocatePixels(fileName, static_cast<std::size_t>(width * height * 4));
        ConvertMasked(layout, pixels, image.width, image.height, image.bytes.data());
    } else {
        image.format = layout.format;
        image.fileFormat = layout.format;
        image.bytes = AllocatePixels(fileName, static_cast<std::size_t>(needed));
        std::memcpy(image.bytes.data(), pixels, static_cast<std::size_t>(needed));
    }
    return image;
}

ByteBuffer EncodeDds(D3DFORMAT format, const std::uint8_t* bits, int pitch, int width, int height) {
    DdsHeader header{};
    header.size = sizeof(DdsHeader);
    header.flags = kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat;
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.caps = kCapsTexture;
    DdsPixelFormat& pf = header.pixelFormat;
    pf.size = sizeof(DdsPixelFormat);

    const std::int64_t rowBytes = RowPitchBytes(format, width);
    const std::int64_t rows = StorageRows(format, height);
    if (IsBlockCompressed(format)) {
        pf.flags = kPfFourCc;
        pf.fourCC = format;
        header.flags |= kFlagLinearSize;
        header.pitchOrLinearSize = static_cast<std::uint32_t>(rowBytes * rows);
    } else {
        const MaskedLayout* found = nullptr;
        for (const MaskedLayout& layout : kKnownLayouts) {
            if (layout.format == format) found = &layout;
        }
        Require(found != nullptr, D3DERR_INVALIDCALL,
                std::string("A DDS file cannot hold the format ") + FormatName(format));
        pf.flags = found->kind | (found->a != 0 && found->kind != kPfAlpha ? kPfAlphaPixels : 0);
        pf.rgbBitCount = found->bits;
        pf.rBitMask = found->r;
        pf.gBitMask = found->g;
        pf.bBitMask = found->b;
        pf.aBitMask = found->a;
        header.flags |= kFlagPitch;
        header.pitchOrLinearSize = static_cast<std::uint32_t>(rowBytes);
    }
    Require(pitch >= rowBytes, D3DERR_INVALIDCALL, "Row pitch too small for the DDS data");

    ByteBuffer file(kHeaderEnd + static_cast<std::size_t>(rowBytes * rows));
    StoreLe32(file.data(), kDdsMagic);
    std::memcpy(file.data() + 4, &header, sizeof header);
    for (std::int64_t y = 0; y < rows; ++y) {
        std::memcpy(file.data() + kHeaderEnd + y * rowBytes, bits + y * pitch,
                    static_cast<std::size_t>(rowBytes));
    }
    return file;
}

}  // namespace tintora
