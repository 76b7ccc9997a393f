#include "imagefiles/dds_formats.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "base/pixel_format.h"
#include "base/pixel_groups.h"

namespace tintora::dds {
namespace {

// clang-format off
constexpr const char* kDxgiNames[] = {
    "UNKNOWN", "R32G32B32A32_TYPELESS", "R32G32B32A32_FLOAT", "R32G32B32A32_UINT",
    "R32G32B32A32_SINT", "R32G32B32_TYPELESS", "R32G32B32_FLOAT", "R32G32B32_UINT",
    "R32G32B32_SINT", "R16G16B16A16_TYPELESS", "R16G16B16A16_FLOAT", "R16G16B16A16_UNORM",
    "R16G16B16A16_UINT", "R16G16B16A16_SNORM", "R16G16B16A16_SINT", "R32G32_TYPELESS",
    "R32G32_FLOAT", "R32G32_UINT", "R32G32_SINT", "R32G8X24_TYPELESS", "D32_FLOAT_S8X24_UINT",
    "R32_FLOAT_X8X24_TYPELESS", "X32_TYPELESS_G8X24_UINT", "R10G10B10A2_TYPELESS",
    "R10G10B10A2_UNORM", "R10G10B10A2_UINT", "R11G11B10_FLOAT", "R8G8B8A8_TYPELESS",
    "R8G8B8A8_UNORM", "R8G8B8A8_UNORM_SRGB", "R8G8B8A8_UINT", "R8G8B8A8_SNORM", "R8G8B8A8_SINT",
    "R16G16_TYPELESS", "R16G16_FLOAT", "R16G16_UNORM", "R16G16_UINT", "R16G16_SNORM",
    "R16G16_SINT", "R32_TYPELESS", "D32_FLOAT", "R32_FLOAT", "R32_UINT", "R32_SINT",
    "R24G8_TYPELESS", "D24_UNORM_S8_UINT", "R24_UNORM_X8_TYPELESS", "X24_TYPELESS_G8_UINT",
    "R8G8_TYPELESS", "R8G8_UNORM", "R8G8_UINT", "R8G8_SNORM", "R8G8_SINT", "R16_TYPELESS",
    "R16_FLOAT", "D16_UNORM", "R16_UNORM", "R16_UINT", "R16_SNORM", "R16_SINT", "R8_TYPELESS",
    "R8_UNORM", "R8_UINT", "R8_SNORM", "R8_SINT", "A8_UNORM", "R1_UNORM", "R9G9B9E5_SHAREDEXP",
    "R8G8_B8G8_UNORM", "G8R8_G8B8_UNORM", "BC1_TYPELESS", "BC1_UNORM", "BC1_UNORM_SRGB",
    "BC2_TYPELESS", "BC2_UNORM", "BC2_UNORM_SRGB", "BC3_TYPELESS", "BC3_UNORM", "BC3_UNORM_SRGB",
    "BC4_TYPELESS", "BC4_UNORM", "BC4_SNORM", "BC5_TYPELESS", "BC5_UNORM", "BC5_SNORM",
    "B5G6R5_UNORM", "B5G5R5A1_UNORM", "B8G8R8A8_UNORM", "B8G8R8X8_UNORM",
    "R10G10B10_XR_BIAS_A2_UNORM", "B8G8R8A8_TYPELESS", "B8G8R8A8_UNORM_SRGB", "B8G8R8X8_TYPELESS",
    "B8G8R8X8_UNORM_SRGB", "BC6H_TYPELESS", "BC6H_UF16", "BC6H_SF16", "BC7_TYPELESS", "BC7_UNORM",
    "BC7_UNORM_SRGB", "AYUV", "Y410", "Y416", "NV12", "P010", "P016", "420_OPAQUE", "YUY2", "Y210",
    "Y216", "NV11", "AI44", "IA44", "P8", "A8P8", "B4G4R4A4_UNORM"};
// clang-format on

std::string DxgiName(std::uint32_t dxgi) {
    if (dxgi < std::size(kDxgiNames)) return kDxgiNames[dxgi];
    if (dxgi >= 130 && dxgi <= 132) return dxgi == 130 ? "P208" : dxgi == 131 ? "V208" : "V408";
    return "unknown";
}

// A typeless format reads as its UNORM twin (BC6H's as UF16).
constexpr std::uint32_t kTypelessTwins[][2] = {
    {9, 11},  {23, 24}, {27, 28}, {33, 35}, {48, 49}, {53, 56}, {60, 61}, {70, 71},
    {73, 74}, {76, 77}, {79, 80}, {82, 83}, {90, 87}, {92, 88}, {94, 95}, {97, 98},
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

Reading Stored(D3DFORMAT format) {
    Reading r;
    r.format = r.fileFormat = format;
    r.name = FormatName(format);
    return r;
}

Reading Blocks(BlockFormat block, std::uint32_t fileFormat) {
    Reading r;
    r.kind = Reading::Kind::Blocks;
    r.block = block;
    r.fileFormat = static_cast<D3DFORMAT>(fileFormat);
    return r;
}

Reading Channels(ChannelType type, int channels) {
    Reading r;
    r.kind = Reading::Kind::Channels;
    r.channelType = type;
    r.channels = channels;
    const int size = type == ChannelType::Snorm8 ? 1 : type == ChannelType::Float ? 4 : 2;
    r.bytesPerPixel = channels * size;
    return r;
}

// Picks a masked layout: one the device stores as is, else channels converted pixel by pixel.
Reading Masked(const std::string& fileName, std::uint32_t kind, std::uint32_t bits, std::uint32_t r,
               std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    if ((r | g | b | a) == 0) ThrowBadImage(fileName, "has a pixel format with no channel masks");
    // A mask wholly beyond the pixel's bits is a stale value in a field the writer did not mean
    // (an 8-bit luminance file with an alpha mask of 0xFF00): that channel is absent. One that
    // straddles the pixel's end is damage.
    const std::uint32_t limit = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (std::uint32_t* mask : {&r, &g, &b, &a}) {
        if ((*mask & limit) == 0) *mask = 0;
    }
    if ((r | g | b | a) == 0 || ((r | g | b | a) & ~limit) != 0) {
        ThrowBadImage(fileName, "has pixel-format masks that do not fit its " +
                                    std::to_string(bits) + " bits per pixel");
    }
    for (const MaskedLayout& layout : kKnownLayouts) {
        if (layout.kind == kind && layout.bits == bits && layout.r == r && layout.g == g &&
            layout.b == b && layout.a == a) {
            return Stored(layout.format);
        }
    }
    Reading result;
    result.kind = Reading::Kind::Masked;
    result.maskKind = kind;
    result.bytesPerPixel = static_cast<int>(bits / 8);
    result.r = MaskChannelOf(r);
    result.g = MaskChannelOf(g);
    result.b = MaskChannelOf(b);
    result.a = MaskChannelOf(a);
    result.name = std::to_string(bits) + "-bit";
    return result;
}

// Direct3D 9 format numbers that writers put where a four-character code belongs, beyond the
// Direct3D 8 formats the device stores.
struct NumberedMasks {
    std::uint32_t code;
    const char* name;
    std::uint32_t kind, bits, r, g, b, a;
};
constexpr NumberedMasks kNumberedMasks[] = {
    {27, "R3G3B2", kPfRgb, 8, 0xE0, 0x1C, 0x03, 0},
    {29, "A8R3G3B2", kPfRgb, 16, 0xE0, 0x1C, 0x03, 0xFF00},
    {31, "A2B10G10R10", kPfRgb, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {33, "X8B8G8R8", kPfRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {34, "G16R16", kPfRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0},
    {35, "A2R10G10B10", kPfRgb, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {52, "A4L4", kPfLuminance, 8, 0x0F, 0, 0, 0xF0},
    {81, "L16", kPfLuminance, 16, 0xFFFF, 0, 0, 0},
};
struct NumberedChannels {
    std::uint32_t code;
    const char* name;
    ChannelType type;
    int channels;
};
constexpr NumberedChannels kNumberedChannels[] = {
    {36, "A16B16G16R16", ChannelType::Unorm16, 4}, {111, "R16F", ChannelType::Half, 1},
    {112, "G16R16F", ChannelType::Half, 2},        {113, "A16B16G16R16F", ChannelType::Half, 4},
    {114, "R32F", ChannelType::Float, 1},          {115, "G32R32F", ChannelType::Float, 2},
    {116, "A32B32G32R32F", ChannelType::Float, 4},
};

Reading ReadingOfFourCc(const std::string& fileName, std::uint32_t code) {
    switch (code) {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return Stored(static_cast<D3DFORMAT>(code));
        default:
            break;
    }
    const std::pair<std::uint32_t, BlockFormat> blockCodes[] = {
        {MakeFourCC('A', 'T', 'I', '1'), BlockFormat::Bc4Unorm},
        {MakeFourCC('B', 'C', '4', 'U'), BlockFormat::Bc4Unorm},
        {MakeFourCC('B', 'C', '4', 'S'), BlockFormat::Bc4Snorm},
        {MakeFourCC('A', 'T', 'I', '2'), BlockFormat::Bc5Unorm},
        {MakeFourCC('B', 'C', '5', 'U'), BlockFormat::Bc5Unorm},
        {MakeFourCC('B', 'C', '5', 'S'), BlockFormat::Bc5Snorm},
    };
    for (const auto& [fourCc, block] : blockCodes) {
        if (code != fourCc) continue;
        Reading r = Blocks(block, code);
        r.name = FourCcText(code);
        return r;
    }
    // Some writers put a Direct3D format number in place of a four-character code.
    const auto numbered = static_cast<D3DFORMAT>(code);
    if (BytesPerPixel(numbered) > 0 && !IsDepthFormat(numbered) && CanDecode(numbered)) {
        return Stored(numbered);
    }
    for (const NumberedMasks& n : kNumberedMasks) {
        if (n.code != code) continue;
        Reading r = Masked(fileName, n.kind, n.bits, n.r, n.g, n.b, n.a);
        r.name = n.name;
        return r;
    }
    for (const NumberedChannels& n : kNumberedChannels) {
        if (n.code != code) continue;
        Reading r = Channels(n.type, n.channels);
        r.name = n.name;
        return r;
    }
    ThrowBadImage(fileName, "uses the pixel format " + FourCcText(code) +
                                ", which cannot be opened (DXT1-DXT5, BC4, BC5 and uncompressed "
                                "RGB, luminance, alpha, palette and float formats can)");
}

// One channel value of each type, widened or narrowed to 8 bits.
std::uint8_t FloatTo8(float v) {
    if (!(v > 0.0f)) return 0;  // NaN too
    if (v >= 1.0f) return 255;
    return static_cast<std::uint8_t>(v * 255.0f + 0.5f);
}

float HalfToFloat(std::uint16_t h) {
    const std::uint32_t sign = (h & 0x8000u) << 16;
    const std::uint32_t exponent = (h >> 10) & 0x1F;
    const std::uint32_t mantissa = h & 0x3FF;
    if (exponent == 0) {  // zero or subnormal: mantissa x 2^-24
        const float magnitude = static_cast<float>(mantissa) * (1.0f / 16777216.0f);
        return sign != 0 ? -magnitude : magnitude;
    }
    const std::uint32_t bits = exponent == 31 ? sign | 0x7F800000u | (mantissa << 13)
                                              : sign | ((exponent + 112) << 23) | (mantissa << 13);
    return std::bit_cast<float>(bits);
}

// Every half value's 8-bit level, made once.
const std::array<std::uint8_t, 65536>& HalfLevels() {
    static const std::array<std::uint8_t, 65536> levels = [] {
        std::array<std::uint8_t, 65536> table{};
        for (std::uint32_t h = 0; h < 65536; ++h)
            table[h] = FloatTo8(HalfToFloat(static_cast<std::uint16_t>(h)));
        return table;
    }();
    return levels;
}

// Signed normalised values: -max and -max-1 are -1, max is +1.
std::uint8_t Snorm8To8(std::int32_t v) {
    v = v < -127 ? -127 : v;
    return static_cast<std::uint8_t>(((v + 127) * 255 + 127) / 254);
}
std::uint8_t Snorm16To8(std::int32_t v) {
    v = v < -32767 ? -32767 : v;
    return static_cast<std::uint8_t>(((v + 32767) * 255 + 32767) / 65534);
}

// A mask channel's value as 8 bits: narrow channels repeat their bits (pixel_format.h's rule),
// wide ones round to the nearest level.
std::uint32_t Level(std::uint32_t pixel, const MaskChannel& c) {
    if (c.bits <= 8) return Extract(pixel, c);
    const std::uint64_t max = (std::uint64_t{1} << c.bits) - 1;
    const std::uint64_t value = (pixel & c.mask) >> c.shift;
    return static_cast<std::uint32_t>((value * 255 + max / 2) / max);
}

// Runs convert(i) for the pixels [0, count) in parallel ranges.
template <typename Convert>
void ForEachPixel(std::size_t count, const Convert& convert) {
    pixel_groups::ForEachPixelGroup(count, 16384, count, {},
                                    [&convert](std::size_t begin, std::size_t end) {
                                        for (std::size_t i = begin; i < end; ++i)
                                            convert(i);
                                    });
}

void ConvertMasked(const Reading& layout, const std::uint8_t* source, std::size_t count,
                   std::uint8_t* dest) {
    const auto bpp = static_cast<std::size_t>(layout.bytesPerPixel);
    ForEachPixel(count, [&](std::size_t i) {
        const std::uint8_t* p = source + i * bpp;
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < bpp; ++k)
            v |= std::uint32_t{p[k]} << (8 * k);
        const std::uint32_t alpha = layout.a.mask != 0 ? Level(v, layout.a) : 255;
        std::uint32_t red = 0, green = 0, blue = 0;
        if (layout.maskKind == kPfLuminance) {
            red = green = blue = Level(v, layout.r);
        } else if (layout.maskKind == kPfRgb) {
            red = layout.r.mask != 0 ? Level(v, layout.r) : 0;
            green = layout.g.mask != 0 ? Level(v, layout.g) : 0;
            blue = layout.b.mask != 0 ? Level(v, layout.b) : 0;
        }
        StoreArgb(dest, i, (alpha << 24) | (red << 16) | (green << 8) | blue);
    });
}

void ConvertChannels(const Reading& layout, const std::uint8_t* source, std::size_t count,
                     std::uint8_t* dest) {
    const auto bpp = static_cast<std::size_t>(layout.bytesPerPixel);
    const auto& halfLevels = HalfLevels();
    const auto level = [&layout, &halfLevels](const std::uint8_t* p, int c) -> std::uint8_t {
        switch (layout.channelType) {
            case ChannelType::Unorm16:
                return static_cast<std::uint8_t>((LoadLe16(p + 2 * c) * 255u + 32767) / 65535);
            case ChannelType::Snorm8:
                return Snorm8To8(static_cast<std::int8_t>(p[c]));
            case ChannelType::Snorm16:
                return Snorm16To8(static_cast<std::int16_t>(LoadLe16(p + 2 * c)));
            case ChannelType::Half:
                return halfLevels[LoadLe16(p + 2 * c)];
            case ChannelType::Float:
                return FloatTo8(std::bit_cast<float>(LoadLe32(p + 4 * c)));
        }
        return 0;
    };
    ForEachPixel(count, [&](std::size_t i) {
        const std::uint8_t* p = source + i * bpp;
        std::uint8_t* out = dest + 4 * i;  // B G R A; missing colour 0, missing alpha 255
        out[2] = level(p, 0);
        out[1] = layout.channels > 1 ? level(p, 1) : 0;
        out[0] = layout.channels > 2 ? level(p, 2) : 0;
        out[3] = layout.channels > 3 ? level(p, 3) : 255;
    });
}

// The palette's fourth byte is alpha when any entry uses it; a palette whose fourth bytes are all
// 0 (as writers that store R G B and a zero flag byte leave it) is opaque.
void ConvertPalette(const std::uint8_t* source, std::size_t count, std::uint8_t* dest) {
    std::uint32_t colours[256];
    bool anyAlpha = false;
    for (int i = 0; i < 256; ++i)
        anyAlpha = anyAlpha || source[4 * i + 3] != 0;
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* e = source + 4 * i;
        const std::uint32_t alpha = anyAlpha ? e[3] : 255;
        colours[i] = (alpha << 24) | (std::uint32_t{e[0]} << 16) | (e[1] << 8) | e[2];
    }
    const std::uint8_t* indexes = source + 1024;
    ForEachPixel(count, [&](std::size_t i) { StoreArgb(dest, i, colours[indexes[i]]); });
}

}  // namespace

Reading ReadingOfDxgi(const std::string& fileName, std::uint32_t dxgi, bool premultiplied) {
    std::uint32_t format = dxgi;
    for (const auto& [typeless, unorm] : kTypelessTwins) {
        if (dxgi == typeless) format = unorm;
    }
    Reading r;
    switch (format) {
        case 71:
        case 72:
            r = Stored(D3DFMT_DXT1);
            break;
        case 74:
        case 75:
            r = Stored(premultiplied ? D3DFMT_DXT2 : D3DFMT_DXT3);
            break;
        case 77:
        case 78:
            r = Stored(premultiplied ? D3DFMT_DXT4 : D3DFMT_DXT5);
            break;
        case 28:
        case 29:
            r = Stored(D3DFMT_A8B8G8R8);
            break;
        case 87:
        case 91:
            r = Stored(D3DFMT_A8R8G8B8);
            break;
        case 88:
        case 93:
            r = Stored(D3DFMT_X8R8G8B8);
            break;
        case 85:
            r = Stored(D3DFMT_R5G6B5);
            break;
        case 86:
            r = Stored(D3DFMT_A1R5G5B5);
            break;
        case 115:
            r = Stored(D3DFMT_A4R4G4B4);
            break;
        case 65:
            r = Stored(D3DFMT_A8);
            break;
        case 61:  // R8_UNORM
            r = Masked(fileName, kPfRgb, 8, 0xFF, 0, 0, 0);
            break;
        case 49:  // R8G8_UNORM
            r = Masked(fileName, kPfRgb, 16, 0xFF, 0xFF00, 0, 0);
            break;
        case 24:  // R10G10B10A2_UNORM
            r = Masked(fileName, kPfRgb, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000);
            break;
        case 11:
        case 35:
        case 56:
            r = Channels(ChannelType::Unorm16, format == 11 ? 4 : format == 35 ? 2 : 1);
            break;
        case 13:
        case 37:
        case 58:
            r = Channels(ChannelType::Snorm16, format == 13 ? 4 : format == 37 ? 2 : 1);
            break;
        case 31:
        case 51:
        case 63:
            r = Channels(ChannelType::Snorm8, format == 31 ? 4 : format == 51 ? 2 : 1);
            break;
        case 10:
        case 34:
        case 54:
            r = Channels(ChannelType::Half, format == 10 ? 4 : format == 34 ? 2 : 1);
            break;
        case 2:
        case 16:
        case 41:
            r = Channels(ChannelType::Float, format == 2 ? 4 : format == 16 ? 2 : 1);
            break;
        case 80:
            r = Blocks(BlockFormat::Bc4Unorm, MakeFourCC('B', 'C', '4', 'U'));
            break;
        case 81:
            r = Blocks(BlockFormat::Bc4Snorm, MakeFourCC('B', 'C', '4', 'S'));
            break;
        case 83:
            r = Blocks(BlockFormat::Bc5Unorm, MakeFourCC('B', 'C', '5', 'U'));
            break;
        case 84:
            r = Blocks(BlockFormat::Bc5Snorm, MakeFourCC('B', 'C', '5', 'S'));
            break;
        case 95:
            r = Blocks(BlockFormat::Bc6hUf16, MakeFourCC('B', 'C', '6', 'H'));
            break;
        case 96:
            r = Blocks(BlockFormat::Bc6hSf16, MakeFourCC('B', 'C', '6', 'S'));
            break;
        case 98:
        case 99:
            r = Blocks(BlockFormat::Bc7, MakeFourCC('B', 'C', '7', ' '));
            break;
        default:
            ThrowBadImage(fileName, "uses DXGI format " + std::to_string(dxgi) + " (" +
                                        DxgiName(dxgi) + "), which cannot be opened");
    }
    r.name = "DXGI format " + std::to_string(dxgi) + " (" + DxgiName(dxgi) + ")";
    r.srgb = format == 29 || format == 72 || format == 75 || format == 78 || format == 91 ||
             format == 93 || format == 99;
    return r;
}

Reading ReadingOfLegacy(const std::string& fileName, const DdsPixelFormat& pf) {
    if ((pf.flags & kPfFourCc) != 0) return ReadingOfFourCc(fileName, pf.fourCC);
    if ((pf.flags & kPfPaletteIndexed8) != 0) {
        Reading r;
        r.kind = Reading::Kind::Palette;
        r.bytesPerPixel = 1;
        r.name = "8-bit palette";
        return r;
    }
    if ((pf.flags & (kPfYuv | kPfBumpDuDv)) != 0) {
        ThrowBadImage(fileName, "uses a YUV or bump-map pixel format (flags " + Hex(pf.flags) +
                                    "), which cannot be opened");
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
    return Masked(fileName, kind, bits, kind == kPfAlpha ? 0 : pf.rBitMask,
                  kind == kPfRgb ? pf.gBitMask : 0, kind == kPfRgb ? pf.bBitMask : 0,
                  hasAlpha ? pf.aBitMask : 0);
}

std::uint64_t ImageBytes(const Reading& reading, std::int64_t width, std::int64_t height) {
    const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
    switch (reading.kind) {
        case Reading::Kind::Stored:
            return static_cast<std::uint64_t>(RowPitchBytes(reading.format, width)) *
                   static_cast<std::uint64_t>(StorageRows(reading.format, height));
        case Reading::Kind::Blocks:
            return (w + 3) / 4 * ((h + 3) / 4) * BlockBytes(reading.block);
        case Reading::Kind::Palette:
            return 1024 + w * h;
        case Reading::Kind::Masked:
        case Reading::Kind::Channels:
            break;
    }
    return w * h * static_cast<std::uint64_t>(reading.bytesPerPixel);
}

DecodedImage DecodeReading(const std::string& fileName, const Reading& reading,
                           const std::uint8_t* data, int width, int height) {
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.fileSrgb = reading.srgb;
    image.fileFormat = reading.fileFormat;
    if (reading.kind == Reading::Kind::Stored) {
        const auto bytes = static_cast<std::size_t>(ImageBytes(reading, width, height));
        image.format = reading.format;
        image.bytes = AllocatePixels(fileName, bytes);
        // In parallel 1 MiB pieces: the new pages' faults are shared out too.
        constexpr std::size_t kPiece = std::size_t{1} << 20;
        pixel_groups::ForEachPixelGroup(
            (bytes + kPiece - 1) / kPiece, 1, 0, {}, [&](std::size_t begin, std::size_t end) {
                const std::size_t from = begin * kPiece;
                std::memcpy(image.bytes.data() + from, data + from,
                            std::min(end * kPiece, bytes) - from);
            });
        return image;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    image.format = D3DFMT_A8R8G8B8;
    image.bytes = AllocatePixels(fileName, count * 4);
    switch (reading.kind) {
        case Reading::Kind::Blocks:
            DecodeBlocksToArgb(reading.block, data, width, height, image.bytes.data());
            break;
        case Reading::Kind::Masked:
            ConvertMasked(reading, data, count, image.bytes.data());
            break;
        case Reading::Kind::Channels:
            ConvertChannels(reading, data, count, image.bytes.data());
            break;
        case Reading::Kind::Palette:
            ConvertPalette(data, count, image.bytes.data());
            break;
        case Reading::Kind::Stored:
            break;
    }
    return image;
}

}  // namespace tintora::dds
