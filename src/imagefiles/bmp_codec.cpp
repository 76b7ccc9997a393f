// Bitmap layout, as this reader and writer understand it (all numbers little-endian):
//
//   file header, 14 bytes (absent in a packed DIB): "BM", the file size, two reserved words of
//     16 bits, and the offset of the pixel data from the start of the file
//   information header, whose first 32-bit word is its own size:
//     12 bytes   OS/2 1.x core header: 16-bit width and height, planes, bits per pixel
//     16, 64     OS/2 2.x header: like the 40-byte one, with its own compression numbers
//     40         width and height (32-bit, signed; a negative height stores rows top-down),
//                planes, bits per pixel, compression, image size, resolution, colours used,
//                important colours
//     52, 56     the 40 bytes plus the red, green, blue (and, at 56, alpha) masks
//     108, 124   V4 and V5: the masks with alpha, then colour-space data we do not use
//   bit-field masks: with compression BI_BITFIELDS (3) or BI_ALPHABITFIELDS (6) and a 40-byte
//     header, three (or four) 32-bit masks follow the header; longer headers hold them inside
//   colour table: for 1, 4 and 8 bits, "colours used" entries (all 2^bits when 0) of B G R and a
//     reserved byte (B G R only after a 12-byte header)
//   pixel data: rows of pixels, each row padded to a multiple of 4 bytes, bottom row first unless
//     the height is negative; or RLE8 / RLE4 runs (compression 1 / 2), bottom-up only: a count
//     byte and a value, or a zero byte and a command: 0 end of row, 1 end of image, 2 move right
//     and up by the next two bytes, 3..255 that many literal pixels padded to 16 bits; or, with
//     compression BI_JPEG (4) or BI_PNG (5), a whole JPEG or PNG file of the header's image size
//     in bytes (to the end of the file when that is 0), decoded by the JPEG and PNG readers.
//
// The writer always writes 32 bits per pixel with a 108-byte V4 header, BI_BITFIELDS masks
// A 0xFF000000, R 0x00FF0000, G 0x0000FF00, B 0x000000FF, colour space "sRGB", 72 dpi, rows
// bottom-up; the pixel bytes are then exactly the A8R8G8B8 bytes B G R A.
#include "imagefiles/bmp_codec.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <optional>

#include "base/error.h"
#include "imagefiles/qt_image_codec.h"

namespace tintora {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeader = 12;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kV4Header = 108;

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::uint32_t kLcsSrgb = 0x73524742;  // "sRGB"
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

bool KnownHeaderSize(std::uint32_t size) {
    switch (size) {
        case 12:
        case 16:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            return true;
        default:
            return false;
    }
}


struct Header {
    std::uint32_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive; topDown tells the row order
    bool topDown = false;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t imageSize = 0;  // bytes of pixel data; 0 when the writer left it out
    std::uint32_t colorsUsed = 0;
    bool hasMasks = false;
    std::array<std::uint32_t, 4> masks{};  // R, G, B, A
    std::size_t masksAfterHeader = 0;      // bytes of masks stored after a 40-byte header
};

Header ReadHeader(std::span<const std::uint8_t> data, std::size_t start,
                  const std::string& fileName) {
    Header h;
    if (data.size() < start + 4) {
        ThrowBadImage(fileName, "is truncated: it ends before its bitmap information header");
    }
    const std::uint8_t* p = data.data() + start;
    h.size = LoadLe32(p);
    if (!KnownHeaderSize(h.size)) {
        ThrowBadImage(fileName, "has a bitmap information header of unknown size (" +
                                    std::to_string(h.size) + " bytes)");
    }
    if (data.size() < start + h.size) {
        ThrowBadImage(fileName, "is truncated: it ends inside its bitmap information header");
    }
    std::int64_t signedHeight;
    if (h.size == kCoreHeader) {
        h.width = LoadLe16(p + 4);
        signedHeight = LoadLe16(p + 6);
        h.bitCount = LoadLe16(p + 10);
    } else {
        h.width = static_cast<std::int32_t>(LoadLe32(p + 4));
        signedHeight = static_cast<std::int32_t>(LoadLe32(p + 8));
        h.bitCount = LoadLe16(p + 14);
        if (h.size >= 20) h.compression = LoadLe32(p + 16);
        if (h.size >= 24) h.imageSize = LoadLe32(p + 20);
        if (h.size >= 36) h.colorsUsed = LoadLe32(p + 32);
    }
    h.topDown = signedHeight < 0;
    h.height = h.topDown ? -signedHeight : signedHeight;

    if (h.size == 64 && (h.compression == 3 || h.compression == 4)) {
        ThrowBadImage(fileName, "uses OS/2 compression " + std::to_string(h.compression) +
                                    ", which cannot be opened");
    }
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        h.hasMasks = true;
        const int count = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (h.size >= 52) {
            for (int i = 0; i < 3; ++i)
                h.masks[i] = LoadLe32(p + 40 + 4 * i);
            if (h.size >= 56) h.masks[3] = LoadLe32(p + 52);
        } else {
            h.masksAfterHeader = static_cast<std::size_t>(4 * count);
            if (data.size() < start + h.size + h.masksAfterHeader) {
                ThrowBadImage(fileName, "is truncated: it ends inside its bit-field masks");
            }
            for (int i = 0; i < count; ++i)
                h.masks[i] = LoadLe32(p + h.size + 4 * i);
        }
    }
    return h;
}

void CheckFormat(const Header& h, const std::string& fileName) {
    if (h.compression != kBiRgb && h.compression != kBiRle8 && h.compression != kBiRle4 &&
        h.compression != kBiBitfields && h.compression != kBiAlphaBitfields) {
        ThrowBadImage(fileName,
                      "uses an unknown bitmap compression (" + std::to_string(h.compression) + ")");
    }
    const std::string bits = std::to_string(h.bitCount) + "-bit";
    switch (h.bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            ThrowBadImage(fileName, "has " + std::to_string(h.bitCount) +
                                        " bits per pixel; bitmaps of 1, 4, 8, 16, 24 and 32 bits "
                                        "can be opened");
    }
    switch (h.compression) {
        case kBiRgb:
            break;
        case kBiRle8:
        case kBiRle4:
            if (h.bitCount != (h.compression == kBiRle8 ? 8u : 4u)) {
                ThrowBadImage(fileName, "is a " + bits + " bitmap with " +
                                            (h.compression == kBiRle8 ? "RLE8" : "RLE4") +
                                            " compression, which does not fit its bit count");
            }
            if (h.topDown) {
                ThrowBadImage(fileName, "is a compressed bitmap stored top-down, which is invalid");
            }
            break;
        case kBiBitfields:
        case kBiAlphaBitfields:
            if (h.bitCount != 16 && h.bitCount != 32) {
                ThrowBadImage(fileName,
                              "has bit-field masks with " + bits + " pixels (16 or 32 expected)");
            }
            break;
        default:
            break;
    }
    if (h.width < 1 || h.height < 1) {
        RequireTextureSize(fileName, h.width, h.height);  // reports the zero or negative size
    }
}

// Pixel writer for the run-length formats, which address pixels by file row.
class RunTarget {
  public:
    RunTarget(std::uint8_t* bytes, const std::array<std::uint32_t, 256>& palette,
              std::int64_t width, std::int64_t height)
        : bytes_(bytes), palette_(palette), width_(width), height_(height) {}
    void Put(std::int64_t x, std::int64_t row, std::uint32_t index) {
        if (x < 0 || x >= width_ || row < 0 || row >= height_) return;
        const std::int64_t y = height_ - 1 - row;  // RLE bitmaps are bottom-up
        StoreArgb(bytes_, static_cast<std::size_t>(y * width_ + x), palette_[index & 0xFF]);
    }

  private:
    std::uint8_t* bytes_;
    const std::array<std::uint32_t, 256>& palette_;
    std::int64_t width_;
    std::int64_t height_;
};

void DecodeRle(std::span<const std::uint8_t> runs, const Header& h,
               const std::array<std::uint32_t, 256>& palette, std::uint8_t* bytes,
               const std::string& fileName) {
    const bool four = h.compression == kBiRle4;
    RunTarget target(bytes, palette, h.width, h.height);
    std::size_t pos = 0;
    std::int64_t x = 0;
    std::int64_t row = 0;
    const auto truncated = [&] {
        ThrowBadImage(fileName, "is truncated: its run-length data ends at row " +
                                    std::to_string(row) + " of " + std::to_string(h.height));
    };
    while (row < h.height) {
        if (runs.size() - pos < 2) truncated();
        const std::uint32_t count = runs[pos];
        const std::uint32_t value = runs[pos + 1];
        pos += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count; ++i, ++x) {
                target.Put(x, row, four ? ((i & 1) == 0 ? value >> 4 : value & 0xF) : value);
            }
            continue;
        }
        if (value == 0) {  // end of row
            x = 0;
            ++row;
        } else if (value == 1) {  // end of image
            return;
        } else if (value == 2) {  // move
            if (runs.size() - pos < 2) truncated();
            x += runs[pos];
            row += runs[pos + 1];
            pos += 2;
        } else {  // literal pixels, padded to 16 bits
            const std::size_t literalBytes = four ? (value + 1) / 2 : value;
            const std::size_t padded = (literalBytes + 1) & ~std::size_t{1};
            if (runs.size() - pos < literalBytes) truncated();
            for (std::uint32_t i = 0; i < value; ++i, ++x) {
                const std::uint32_t byte = runs[pos + (four ? i / 2 : i)];
                target.Put(x, row, four ? ((i & 1) == 0 ? byte >> 4 : byte & 0xF) : byte);
            }
            pos += std::min(padded, runs.size() - pos);
        }
    }
}

void DecodeRows(const std::uint8_t* pixels, std::int64_t stride, const Header& h,
                const std::array<std::uint32_t, 256>& palette, std::uint8_t* bytes) {
    const auto width = static_cast<std::size_t>(h.width);
    std::array<std::uint32_t, 4> masks = h.masks;
    if (!h.hasMasks && h.bitCount == 16) masks = {0x7C00, 0x03E0, 0x001F, 0};
    const MaskChannel r = MaskChannelOf(masks[0]), g = MaskChannelOf(masks[1]),
                      b = MaskChannelOf(masks[2]), a = MaskChannelOf(masks[3]);
    const bool plainArgb =
        h.bitCount == 32 &&
        (!h.hasMasks || (masks[0] == 0x00FF0000 && masks[1] == 0x0000FF00 &&
                         masks[2] == 0x000000FF && (masks[3] == 0xFF000000 || masks[3] == 0)));
    const bool keepAlphaByte = plainArgb && (!h.hasMasks || masks[3] != 0);
    std::atomic<bool> anyAlpha{false};

    const auto decodeRow = [&](std::int64_t fileRow) {
        const std::uint8_t* in = pixels + fileRow * stride;
        const std::int64_t y = h.topDown ? fileRow : h.height - 1 - fileRow;
        std::uint8_t* out = bytes + static_cast<std::size_t>(y) * width * 4;
        switch (h.bitCount) {
            case 1:
            case 4:
            case 8: {
                const unsigned bits = h.bitCount;
                const unsigned perByte = 8 / bits;
                const std::uint32_t mask = (1u << bits) - 1;
                for (std::size_t x = 0; x < width; ++x) {
                    const unsigned shift = 8 - bits * (1 + static_cast<unsigned>(x % perByte));
                    StoreArgb(out, x, palette[(in[x / perByte] >> shift) & mask]);
                }
                break;
            }
            case 16:
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint32_t v = LoadLe16(in + 2 * x);
                    const std::uint32_t alpha = a.mask != 0 ? Extract(v, a) : 255;
                    StoreArgb(out, x,
                              (alpha << 24) | (Extract(v, r) << 16) | (Extract(v, g) << 8) |
                                  Extract(v, b));
                }
                break;
            case 24:
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint8_t* p = in + 3 * x;
                    out[4 * x + 0] = p[0];
                    out[4 * x + 1] = p[1];
                    out[4 * x + 2] = p[2];
                    out[4 * x + 3] = 255;
                }
                break;
            case 32:
                if (plainArgb) {
                    std::memcpy(out, in, width * 4);
                    if (!keepAlphaByte) {
                        for (std::size_t x = 0; x < width; ++x)
                            out[4 * x + 3] = 255;
                    } else if (!h.hasMasks && !anyAlpha.load(std::memory_order_relaxed)) {
                        for (std::size_t x = 0; x < width; ++x) {
                            if (out[4 * x + 3] != 0) {
                                anyAlpha.store(true, std::memory_order_relaxed);
                                break;
                            }
                        }
                    }
                } else {
                    for (std::size_t x = 0; x < width; ++x) {
                        const std::uint32_t v = LoadLe32(in + 4 * x);
                        const std::uint32_t alpha = a.mask != 0 ? Extract(v, a) : 255;
                        StoreArgb(out, x,
                                  (alpha << 24) | (Extract(v, r) << 16) | (Extract(v, g) << 8) |
                                      Extract(v, b));
                    }
                }
                break;
            default:
                break;
        }
    };
    tbb::parallel_for(tbb::blocked_range<std::int64_t>(0, h.height, 64),
                      [&](const tbb::blocked_range<std::int64_t>& rows) {
                          for (std::int64_t row = rows.begin(); row < rows.end(); ++row)
                              decodeRow(row);
                      });
    // A BI_RGB file whose fourth bytes are all 0 never meant them as alpha.
    if (h.bitCount == 32 && !h.hasMasks && !anyAlpha.load()) {
        const std::size_t n = width * static_cast<std::size_t>(h.height);
        for (std::size_t i = 0; i < n; ++i)
            bytes[4 * i + 3] = 255;
    }
}

// A bitmap whose pixel data is a whole JPEG or PNG file (compression BI_JPEG or BI_PNG, bit count
// usually 0): the data starts at offset and runs for the header's image size, or to the end of
// the file when that is 0 or larger than what is there. The picture must have the header's size.
DecodedImage DecodeEmbedded(std::span<const std::uint8_t> data, const Header& h,
                            std::uint64_t offset, const std::string& fileName) {
    const bool jpeg = h.compression == kBiJpeg;
    const std::uint64_t available = offset < data.size() ? data.size() - offset : 0;
    const std::uint64_t length =
        h.imageSize != 0 ? std::min<std::uint64_t>(h.imageSize, available) : available;
    const auto start = static_cast<std::size_t>(std::min<std::uint64_t>(offset, data.size()));
    const auto embedded = data.subspan(start, static_cast<std::size_t>(length));
    if (!(jpeg ? LooksLikeJpeg(embedded) : LooksLikePng(embedded))) {
        ThrowBadImage(fileName, std::string("has bitmap compression ") +
                                    (jpeg ? "BI_JPEG (4)" : "BI_PNG (5)") +
                                    ", but its pixel data is not a " + (jpeg ? "JPEG" : "PNG") +
                                    " image");
    }
    DecodedImage image = jpeg ? DecodeJpeg(embedded, fileName) : DecodePng(embedded, fileName);
    if (image.width != h.width || image.height != h.height) {
        ThrowBadImage(fileName, std::string("holds an embedded ") + (jpeg ? "JPEG" : "PNG") +
                                    " image of " + std::to_string(image.width) + " x " +
                                    std::to_string(image.height) +
                                    " pixels, but its bitmap header says " +
                                    std::to_string(h.width) + " x " + std::to_string(h.height));
    }
    return image;
}

// Reads the information header at infoStart and the image it describes. dataOffset is the pixel
// data's offset from the file header, or nullopt for a packed DIB (data after the colour table).
DecodedImage DecodeDib(std::span<const std::uint8_t> data, std::size_t infoStart,
                       std::optional<std::uint64_t> dataOffset, const std::string& fileName) {
    const Header h = ReadHeader(data, infoStart, fileName);
    if (h.compression == kBiJpeg || h.compression == kBiPng) {
        return DecodeEmbedded(data, h, dataOffset ? *dataOffset : infoStart + h.size, fileName);
    }
    CheckFormat(h, fileName);

    // Colour table.
    std::array<std::uint32_t, 256> palette;
    palette.fill(kOpaqueBlack);
    const std::size_t paletteStart = infoStart + h.size + h.masksAfterHeader;
    const std::size_t entrySize = h.size == kCoreHeader ? 3 : 4;
    std::uint64_t entries = 0;
    if (h.bitCount <= 8) {
        const std::uint64_t full = std::uint64_t{1} << h.bitCount;
        entries = (h.colorsUsed == 0 || h.colorsUsed > full) ? full : h.colorsUsed;
        // Some writers count more colours than they store before the pixels: use what is there.
        if (dataOffset && *dataOffset >= paletteStart) {
            entries = std::min<std::uint64_t>(entries, (*dataOffset - paletteStart) / entrySize);
        }
        if (entries == 0) ThrowBadImage(fileName, "has no colour table");
        if (data.size() < paletteStart + entries * entrySize) {
            ThrowBadImage(fileName, "is truncated: it ends inside its colour table");
        }
        for (std::uint64_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = data.data() + paletteStart + i * entrySize;
            palette[i] =
                kOpaqueBlack | (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
        }
    } else if (!dataOffset) {
        entries = h.colorsUsed;  // an optional colour table before the pixels of a packed DIB
    }
    const std::uint64_t offset = dataOffset ? *dataOffset : paletteStart + entries * entrySize;
    const std::uint64_t available = offset < data.size() ? data.size() - offset : 0;

    const bool runLength = h.compression == kBiRle8 || h.compression == kBiRle4;
    // Runs may end the image early or skip pixels, so run-length data need not cover every pixel;
    // RequireTextureSize bounds what is allocated, and the run decoder stops at the data's end.
    if (!runLength) {
        const std::uint64_t rowBits = static_cast<std::uint64_t>(h.width) * h.bitCount;
        const std::uint64_t stride = (rowBits + 31) / 32 * 4;
        // The last row need not carry its padding.
        const std::uint64_t needed = stride * (h.height - 1) + (rowBits + 7) / 8;
        RequireImageBytes(fileName, h.width, h.height,
                          std::to_string(h.bitCount) + "-bit pixel rows", needed, available);
    }
    RequireTextureSize(fileName, h.width, h.height);

    DecodedImage image;
    image.width = static_cast<int>(h.width);
    image.height = static_cast<int>(h.height);
    image.format = D3DFMT_A8R8G8B8;
    image.fileFormat = h.bitCount == 32   ? D3DFMT_A8R8G8B8
                       : h.bitCount == 24 ? D3DFMT_R8G8B8
                       : h.bitCount == 16 ? D3DFMT_X1R5G5B5
                                          : D3DFMT_A8R8G8B8;
    image.bytes = AllocatePixels(
        fileName, static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height) * 4);
    const std::uint8_t* pixels = data.data() + std::min<std::uint64_t>(offset, data.size());
    if (runLength) {
        std::fill(image.bytes.begin(), image.bytes.end(), std::uint8_t{0});  // skipped pixels
        DecodeRle(std::span<const std::uint8_t>(pixels, available), h, palette, image.bytes.data(),
                  fileName);
    } else {
        const auto stride = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(h.width) * h.bitCount + 31) / 32 * 4);
        DecodeRows(pixels, stride, h, palette, image.bytes.data());
    }
    return image;
}

}  // namespace

bool LooksLikeBmp(std::span<const std::uint8_t> data) {
    return data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
}

bool LooksLikePackedDib(std::span<const std::uint8_t> data) {
    if (data.size() < 16) return false;
    const std::uint32_t size = LoadLe32(data.data());
    if (!KnownHeaderSize(size) || data.size() < size) return false;
    const std::uint32_t planes = LoadLe16(data.data() + (size == kCoreHeader ? 8 : 12));
    return planes == 1;
}

DecodedImage DecodeBmp(std::span<const std::uint8_t> data, const std::string& fileName) {
    if (!LooksLikeBmp(data)) ThrowBadImage(fileName, "is not a bitmap file (no \"BM\" signature)");
    if (data.size() < kFileHeaderSize) {
        ThrowBadImage(fileName, "is truncated: it ends inside its bitmap file header");
    }
    return DecodeDib(data, kFileHeaderSize, LoadLe32(data.data() + 10), fileName);
}

DecodedImage DecodePackedDib(std::span<const std::uint8_t> data, const std::string& fileName) {
    return DecodeDib(data, 0, std::nullopt, fileName);
}

FileParts BmpFileParts(const std::uint8_t* argb, int pitch, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    const std::size_t imageBytes = rowBytes * static_cast<std::size_t>(height);
    const std::size_t offset = kFileHeaderSize + kV4Header;
    Require(imageBytes + offset <= 0xFFFFFFFFu, D3DERR_INVALIDCALL,
            "The image is too large for a bitmap file");
    ByteBuffer headers(offset);
    std::uint8_t* p = headers.data();
    std::fill(p, p + offset, std::uint8_t{0});
    p[0] = 'B';
    p[1] = 'M';
    StoreLe32(p + 2, static_cast<std::uint32_t>(offset + imageBytes));
    StoreLe32(p + 10, static_cast<std::uint32_t>(offset));
    std::uint8_t* v4 = p + kFileHeaderSize;  // fields not set here are 0
    StoreLe32(v4 + 0, kV4Header);
    StoreLe32(v4 + 4, static_cast<std::uint32_t>(width));
    StoreLe32(v4 + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up
    StoreLe16(v4 + 12, 1);
    StoreLe16(v4 + 14, 32);
    StoreLe32(v4 + 16, kBiBitfields);
    StoreLe32(v4 + 20, static_cast<std::uint32_t>(imageBytes));
    StoreLe32(v4 + 24, kPixelsPerMetre);
    StoreLe32(v4 + 28, kPixelsPerMetre);
    StoreLe32(v4 + 40, 0x00FF0000);
    StoreLe32(v4 + 44, 0x0000FF00);
    StoreLe32(v4 + 48, 0x000000FF);
    StoreLe32(v4 + 52, 0xFF000000);
    StoreLe32(v4 + 56, kLcsSrgb);
    FileParts parts;
    parts.Add(std::move(headers));
    for (int y = height - 1; y >= 0; --y)
        parts.AddView({argb + static_cast<std::ptrdiff_t>(y) * pitch, rowBytes});
    return parts;
}

ByteBuffer EncodeBmp(const std::uint8_t* argb, int pitch, int width, int height) {
    return BmpFileParts(argb, pitch, width, height).Join();
}

}  // namespace tintora
