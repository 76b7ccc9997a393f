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
//                 dimension (2 = 1D, 3 = 2D, 4 = 3D), flags (4 = cube map), the array size and the
//                 alpha mode
//   then        for a palette format, 256 entries of 4 bytes (R G B A); then the pixel data: the
//               top level first, rows top to bottom without padding, then the smaller mipmap
//               levels. A cube map stores face after face (each with its levels), the faces its
//               second capability word names, in the order +X -X +Y -Y +Z -Z; a texture array
//               stores layer after layer likewise; a volume texture's top level holds its depth
//               slices one after another. So the first image always lies right after the headers.
//
// The pixel format either names a four-character code (FOURCC flag: DXT1..DXT5, ATI1, ATI2, BC4U,
// BC4S, BC5U, BC5S, DX10, or a Direct3D format number) or describes an uncompressed layout: a bit
// count and the masks of red, green, blue and alpha within each little-endian pixel value. The
// flags say which masks count: RGB (colour masks), LUMINANCE (the red mask holds a grey level),
// ALPHA (alpha only) and ALPHAPIXELS (the alpha mask is valid); PALETTEINDEXED8 is one palette
// index a pixel.
//
// This writer marks a file of more than one level with the mip-count flag and the COMPLEX and
// MIPMAP capabilities, which readers need to find the levels after the first.
//
// Writers disagree on the header's pitch/linear-size field, so the reader does not trust it: row
// sizes come from the format and the width, and the data must lie within the file. Blocks are
// 4 x 4 pixels: 8 bytes for DXT1 and BC4, 16 for the others; a side that is not a multiple of 4 is
// padded to whole blocks.
#include "imagefiles/dds_codec.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "base/error.h"
#include "imagefiles/dds_formats.h"

namespace tintora {
namespace {

static_assert(std::endian::native == std::endian::little,
              "DDS headers are copied into structs as they lie in the file");

using dds::DdsPixelFormat;
using dds::kKnownLayouts;
using dds::kPfAlpha;
using dds::kPfAlphaPixels;
using dds::kPfFourCc;
using dds::MaskedLayout;

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

// Capability words.
constexpr std::uint32_t kCapsComplex = 0x8;
constexpr std::uint32_t kCapsTexture = 0x1000;
constexpr std::uint32_t kCapsMipMap = 0x400000;
constexpr std::uint32_t kCaps2Cubemap = 0x200;
constexpr std::uint32_t kCaps2AllFaces = 0xFC00;  // +X, -X, +Y, -Y, +Z, -Z
constexpr std::uint32_t kCaps2Volume = 0x200000;

// DX10 extension values.
constexpr std::uint32_t kDimensionUnknown = 0;
constexpr std::uint32_t kDimensionTexture1D = 2;
constexpr std::uint32_t kDimensionTexture2D = 3;
constexpr std::uint32_t kDimensionTexture3D = 4;
constexpr std::uint32_t kMiscTextureCube = 0x4;
constexpr std::uint32_t kAlphaModePremultiplied = 2;

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

    // Everything the file holds beyond the image read: the top level of the first face, layer or
    // slice, which always comes first in the data.
    std::uint32_t faces = 1, arraySize = 1, depth = 1;
    std::int64_t width = header.width;
    std::int64_t height = header.height;
    if ((header.caps2 & kCaps2Cubemap) != 0) {
        const auto named = static_cast<std::uint32_t>(std::popcount(header.caps2 & kCaps2AllFaces));
        faces = named != 0 ? named : 6;  // caps naming no face: read as a complete cube map
    }
    if ((header.caps2 & kCaps2Volume) != 0 || (header.flags & kFlagDepth) != 0) {
        depth = std::max<std::uint32_t>(header.depth, 1);
    }

    std::size_t offset = kHeaderEnd;
    dds::Reading reading;
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
        // Writers that leave the dimension or the array size 0 mean one 2D texture.
        switch (dx10.resourceDimension) {
            case kDimensionUnknown:
            case kDimensionTexture2D:
                faces = (dx10.miscFlag & kMiscTextureCube) != 0 ? 6 : 1;
                depth = 1;
                break;
            case kDimensionTexture1D:
                height = 1;
                faces = depth = 1;
                break;
            case kDimensionTexture3D:
                faces = 1;
                depth = std::max<std::uint32_t>(header.depth, 1);
                break;
            default:
                ThrowBadImage(fileName, "has an unknown resource dimension " +
                                            std::to_string(dx10.resourceDimension) +
                                            " in its DX10 header");
        }
        arraySize = std::max<std::uint32_t>(dx10.arraySize, 1);
        reading = dds::ReadingOfDxgi(fileName, dx10.dxgiFormat,
                                     (dx10.miscFlags2 & 0x7) == kAlphaModePremultiplied);
    } else {
        reading = dds::ReadingOfLegacy(fileName, header.pixelFormat);
    }

    // Only the first image's bytes must be there: a later face, layer or level cut short does not
    // keep the first from opening, and nothing is allocated for the ones the header claims.
    const std::uint64_t needed = dds::ImageBytes(reading, width, height);
    const char* const unit =
        reading.kind == dds::Reading::Kind::Blocks ||
                (reading.kind == dds::Reading::Kind::Stored && IsBlockCompressed(reading.format))
            ? " blocks"
            : " pixels";
    RequireImageBytes(fileName, width, height, reading.name + unit + " after the header", needed,
                      data.size() - offset);
    RequireTextureSize(fileName, width, height);

    DecodedImage image = dds::DecodeReading(fileName, reading, data.data() + offset,
                                            static_cast<int>(width), static_cast<int>(height));
    image.fileMipLevels =
        (header.flags & kFlagMipMapCount) != 0 && header.mipMapCount > 1 ? header.mipMapCount : 1;
    image.fileFaces = faces;
    image.fileArraySize = arraySize;
    image.fileDepth = depth;
    return image;
}

ByteBuffer EncodeDdsHeaders(const DdsWriteLayout& layout) {
    DdsHeader header{};
    header.size = sizeof(DdsHeader);
    header.flags = kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat;
    header.width = static_cast<std::uint32_t>(layout.width);
    header.height = static_cast<std::uint32_t>(layout.height);
    header.caps = kCapsTexture;
    if (layout.mipLevels > 1) {
        header.flags |= kFlagMipMapCount;
        header.mipMapCount = static_cast<std::uint32_t>(layout.mipLevels);
        header.caps |= kCapsComplex | kCapsMipMap;
    }
    DdsPixelFormat& pf = header.pixelFormat;
    pf.size = sizeof(DdsPixelFormat);

    if (layout.blockBytes != 0) {
        pf.flags = kPfFourCc;
        pf.fourCC = layout.fourCC;
        header.flags |= kFlagLinearSize;
        header.pitchOrLinearSize = static_cast<std::uint32_t>(
            std::int64_t{(layout.width + 3) / 4} * ((layout.height + 3) / 4) * layout.blockBytes);
    } else {
        const MaskedLayout* found = nullptr;
        for (const MaskedLayout& known : kKnownLayouts) {
            if (known.format == layout.format) found = &known;
        }
        Require(found != nullptr, D3DERR_INVALIDCALL,
                std::string("A DDS file cannot hold the format ") + FormatName(layout.format));
        pf.flags = found->kind | (found->a != 0 && found->kind != kPfAlpha ? kPfAlphaPixels : 0);
        pf.rgbBitCount = found->bits;
        pf.rBitMask = found->r;
        pf.gBitMask = found->g;
        pf.bBitMask = found->b;
        pf.aBitMask = found->a;
        header.flags |= kFlagPitch;
        header.pitchOrLinearSize =
            static_cast<std::uint32_t>(RowPitchBytes(layout.format, layout.width));
    }
    if (layout.dxgiFormat != 0) {
        pf = DdsPixelFormat{sizeof(DdsPixelFormat), kPfFourCc, kFourCcDx10, 0, 0, 0, 0, 0};
    }

    ByteBuffer file(kHeaderEnd + (layout.dxgiFormat != 0 ? sizeof(DdsHeaderDx10) : 0));
    StoreLe32(file.data(), kDdsMagic);
    std::memcpy(file.data() + 4, &header, sizeof header);
    if (layout.dxgiFormat != 0) {
        const DdsHeaderDx10 dx10{layout.dxgiFormat, kDimensionTexture2D, 0, 1, 0};
        std::memcpy(file.data() + kHeaderEnd, &dx10, sizeof dx10);
    }
    return file;
}

FileParts DdsFileParts(D3DFORMAT format, const std::uint8_t* bits, int pitch, int width,
                       int height) {
    DdsWriteLayout layout;
    layout.width = width;
    layout.height = height;
    if (IsBlockCompressed(format)) {
        layout.blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
        layout.fourCC = format;
    } else {
        layout.format = format;
    }
    FileParts parts;
    parts.Add(EncodeDdsHeaders(layout));
    const std::int64_t rowBytes = RowPitchBytes(format, width);
    const std::int64_t rows = StorageRows(format, height);
    Require(pitch >= rowBytes, D3DERR_INVALIDCALL, "Row pitch too small for the DDS data");
    for (std::int64_t y = 0; y < rows; ++y)
        parts.AddView({bits + y * pitch, static_cast<std::size_t>(rowBytes)});
    return parts;
}

ByteBuffer EncodeDds(D3DFORMAT format, const std::uint8_t* bits, int pitch, int width, int height) {
    return DdsFileParts(format, bits, pitch, width, height).Join();
}

}  // namespace tintora
