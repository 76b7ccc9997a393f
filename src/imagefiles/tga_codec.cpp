// TGA layout, as this reader and writer understand it (all numbers little-endian):
//
//   header, 18 bytes:
//     0   length of the image identification field that follows the header
//     1   colour map type: 0 none, 1 present
//     2   image type: 1 colour-mapped, 2 true colour, 3 grey; 9, 10, 11 the same run-length encoded
//     3   first colour-map index (16 bits), 5 number of colour-map entries (16 bits),
//     7   bits per colour-map entry (15, 16, 24 or 32)
//     8   x and y origin (16 bits each; not used for reading)
//     12  width, 14 height (16 bits each)
//     16  bits per pixel
//     17  descriptor: bits 0-3 the number of alpha bits, bit 4 columns right to left,
//         bit 5 rows top to bottom (else bottom to top)
//   identification field, then the colour map, then the pixels. Colours are stored B G R (A);
//   16-bit colours are A RRRRR GGGGG BBBBB in a little-endian word.
//   Run-length data is a sequence of packets: a byte whose top bit marks a run and whose low
//   seven bits give the pixel count minus one, then one pixel repeated (a run) or that many
//   pixels. Packets may continue across rows.
//   TGA 2.0 files end with a 26-byte footer: two 32-bit offsets and "TRUEVISION-XFILE.\0".
#include "imagefiles/tga_codec.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cstring>

#include "base/error.h"

namespace tintora {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";  // with its terminating zero: 18 bytes
constexpr std::size_t kFooterSize = 26;
static_assert(sizeof kFooterSignature == 18);

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

enum class Kind { ColourMapped, TrueColour, Grey };

std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

std::uint32_t Widen5(std::uint32_t v) {
    return (v << 3) | (v >> 2);
}

// A colour of 15, 16, 24 or 32 bits as stored; alpha16 and alpha32 say whether the top bit or the
// fourth byte is alpha.
std::uint32_t ColourOf(const std::uint8_t* p, unsigned bits, bool alpha16, bool alpha32) {
    switch (bits) {
        case 15:
        case 16: {
            const std::uint32_t v = LoadLe16(p);
            const std::uint32_t a = (alpha16 && bits == 16) ? ((v >> 15) != 0 ? 255u : 0u) : 255u;
            return Argb(a, Widen5((v >> 10) & 0x1F), Widen5((v >> 5) & 0x1F), Widen5(v & 0x1F));
        }
        case 24:
            return Argb(255, p[2], p[1], p[0]);
        default:
            return Argb(alpha32 ? p[3] : 255, p[2], p[1], p[0]);
    }
}

struct Header {
    std::uint32_t idLength;
    std::uint32_t colourMapType;
    std::uint32_t imageType;
    std::uint32_t mapFirst;
    std::uint32_t mapLength;
    std::uint32_t mapBits;
    std::int64_t width;
    std::int64_t height;
    std::uint32_t pixelBits;
    std::uint32_t descriptor;
};

}  // namespace

bool HasTgaFooter(std::span<const std::uint8_t> data) {
    return data.size() >= kHeaderSize + kFooterSize &&
           std::memcmp(data.data() + data.size() - sizeof kFooterSignature, kFooterSignature,
                       sizeof kFooterSignature) == 0;
}

DecodedImage DecodeTga(std::span<const std::uint8_t> data, const std::string& fileName) {
    if (data.size() < kHeaderSize) {
        ThrowBadImage(fileName, "is truncated: " + std::to_string(data.size()) +
                                    " bytes, shorter than a TGA header (18 bytes)");
    }
    const std::uint8_t* p = data.data();
    const Header h{p[0],
                   p[1],
                   p[2],
                   LoadLe16(p + 3),
                   LoadLe16(p + 5),
                   p[7],
                   LoadLe16(p + 12),
                   LoadLe16(p + 14),
                   p[16],
                   p[17]};
    const bool runLength = h.imageType >= 9;
    Kind kind;
    switch (h.imageType) {
        case 1:
        case 9:
            kind = Kind::ColourMapped;
            break;
        case 2:
        case 10:
            kind = Kind::TrueColour;
            break;
        case 3:
        case 11:
            kind = Kind::Grey;
            break;
        case 0:
            ThrowBadImage(fileName, "is a TGA file without image data");
        default:
            ThrowBadImage(fileName, "is not a supported image: TGA image type " +
                                        std::to_string(h.imageType) + " is unknown");
    }
    if (h.colourMapType > 1) {
        ThrowBadImage(fileName, "is not a supported image: TGA colour map type " +
                                    std::to_string(h.colourMapType) + " is unknown");
    }
    const bool pixelBitsOk = kind == Kind::ColourMapped ? (h.pixelBits == 8 || h.pixelBits == 16)
                             : kind == Kind::Grey       ? (h.pixelBits == 8 || h.pixelBits == 16)
                                                        : (h.pixelBits == 15 || h.pixelBits == 16 ||
                                                     h.pixelBits == 24 || h.pixelBits == 32);
    if (!pixelBitsOk) {
        ThrowBadImage(fileName, "has " + std::to_string(h.pixelBits) +
                                    " bits per pixel, which its TGA image type does not allow");
    }
    const bool mapBitsOk = h.mapBits == 15 || h.mapBits == 16 || h.mapBits == 24 || h.mapBits == 32;
    if (kind == Kind::ColourMapped && (h.colourMapType != 1 || !mapBitsOk || h.mapLength == 0)) {
        ThrowBadImage(fileName, "is a colour-mapped TGA file without a usable colour map");
    }
    const unsigned alphaBits = h.descriptor & 0xF;

    // Identification field and colour map.
    std::size_t pos = kHeaderSize + h.idLength;
    std::vector<std::uint32_t> colourMap;
    if (h.colourMapType == 1) {
        const std::size_t entryBytes = (h.mapBits + 7) / 8;
        const std::size_t mapBytes = entryBytes * h.mapLength;
        if (data.size() < pos + mapBytes) {
            ThrowBadImage(fileName, "is truncated: it ends inside its colour map");
        }
        if (kind == Kind::ColourMapped) {
            colourMap.resize(h.mapLength);
            for (std::size_t i = 0; i < h.mapLength; ++i) {
                // A 16-bit map keeps its alpha bit when the descriptor declares alpha.
                colourMap[i] =
                    ColourOf(data.data() + pos + i * entryBytes,
                             h.mapBits == 16 && alphaBits == 0 ? 15 : h.mapBits, true, true);
            }
        }
        pos += mapBytes;
    }
    const std::uint64_t available = data.size() > pos ? data.size() - pos : 0;
    const std::uint64_t pixelBytes = (h.pixelBits + 7) / 8;
    const std::uint64_t pixels = static_cast<std::uint64_t>(h.width) * h.height;
    if (runLength) {
        // A packet of at least 1 + pixelBytes bytes gives at most 128 pixels.
        const std::uint64_t packets = (pixels + 127) / 128;
        RequireImageBytes(fileName, h.width, h.height, "run-length packets at the least",
                          packets * (1 + pixelBytes), available);
    } else {
        RequireImageBytes(fileName, h.width, h.height, std::to_string(h.pixelBits) + "-bit pixels",
                          pixels * pixelBytes, available);
    }
    RequireTextureSize(fileName, h.width, h.height);

    // The pixels in file order, still in their stored form.
    ByteBuffer stored;
    const std::uint8_t* storedPixels = data.data() + pos;
    if (runLength) {
        stored = AllocatePixels(fileName, static_cast<std::size_t>(pixels * pixelBytes));
        std::size_t in = pos;
        std::uint64_t out = 0;
        while (out < pixels) {
            if (in >= data.size()) {
                ThrowBadImage(fileName, "is truncated: its run-length data ends after " +
                                            std::to_string(out) + " of " + std::to_string(pixels) +
                                            " pixels");
            }
            const std::uint32_t packet = data[in++];
            const std::uint64_t count = std::min<std::uint64_t>((packet & 0x7F) + 1, pixels - out);
            const std::uint64_t literal = (packet & 0x80) != 0 ? 1 : count;
            if (data.size() - in < literal * pixelBytes) {
                ThrowBadImage(fileName, "is truncated: its run-length data ends after " +
                                            std::to_string(out) + " of " + std::to_string(pixels) +
                                            " pixels");
            }
            if ((packet & 0x80) != 0) {
                for (std::uint64_t i = 0; i < count; ++i) {
                    std::memcpy(stored.data() + (out + i) * pixelBytes, data.data() + in,
                                pixelBytes);
                }
            } else {
                std::memcpy(stored.data() + out * pixelBytes, data.data() + in, count * pixelBytes);
            }
            // A run packet that reaches past the image still holds one whole pixel.
            in += ((packet & 0x80) != 0 ? 1 : ((packet & 0x7F) + 1)) * pixelBytes;
            out += count;
        }
        storedPixels = stored.data();
    }

    // A 32-bit image declaring no alpha bits whose fourth bytes are all 0 is opaque.
    bool alpha32 = true;
    if (kind == Kind::TrueColour && h.pixelBits == 32 && alphaBits == 0) {
        alpha32 = false;
        for (std::uint64_t i = 0; i < pixels; ++i) {
            if (storedPixels[4 * i + 3] != 0) {
                alpha32 = true;
                break;
            }
        }
    }
    const bool alpha16 = alphaBits > 0;

    DecodedImage image;
    image.width = static_cast<int>(h.width);
    image.height = static_cast<int>(h.height);
    image.format = D3DFMT_A8R8G8B8;
    image.fileFormat = kind == Kind::Grey  ? (h.pixelBits == 8 ? D3DFMT_L8 : D3DFMT_A8L8)
                       : h.pixelBits == 24 ? D3DFMT_R8G8B8
                       : h.pixelBits == 16 ? D3DFMT_A1R5G5B5
                       : h.pixelBits == 15 ? D3DFMT_X1R5G5B5
                                           : D3DFMT_A8R8G8B8;
    image.bytes = AllocatePixels(fileName, static_cast<std::size_t>(pixels * 4));
    const bool topDown = (h.descriptor & 0x20) != 0;
    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    const auto width = static_cast<std::uint64_t>(h.width);
    const auto height = static_cast<std::uint64_t>(h.height);
    // Rows convert independently: in parallel bands.
    const auto convertRow = [&](std::uint64_t row) {
        const std::uint64_t y = topDown ? row : height - 1 - row;
        for (std::uint64_t column = 0; column < width; ++column) {
            const std::uint64_t x = rightToLeft ? width - 1 - column : column;
            const std::uint8_t* s = storedPixels + (row * width + column) * pixelBytes;
            std::uint32_t argb;
            if (kind == Kind::TrueColour) {
                argb = ColourOf(s, h.pixelBits, alpha16, alpha32);
            } else if (kind == Kind::Grey) {
                const std::uint32_t a = h.pixelBits == 16 ? s[1] : 255;
                argb = Argb(a, s[0], s[0], s[0]);
            } else {
                const std::uint32_t index = h.pixelBits == 16 ? LoadLe16(s) : s[0];
                argb = index >= h.mapFirst && index - h.mapFirst < colourMap.size()
                           ? colourMap[index - h.mapFirst]
                           : kOpaqueBlack;
            }
            StoreArgb(image.bytes.data(), static_cast<std::size_t>(y * width + x), argb);
        }
    };
    const std::uint64_t grain = std::max<std::uint64_t>(1, (std::uint64_t{1} << 16) / width);
    tbb::parallel_for(tbb::blocked_range<std::uint64_t>(0, height, grain),
                      [&](const tbb::blocked_range<std::uint64_t>& rows) {
                          for (std::uint64_t row = rows.begin(); row < rows.end(); ++row)
                              convertRow(row);
                      });
    return image;
}

ByteBuffer EncodeTga(const std::uint8_t* argb, int pitch, int width, int height) {
    Require(width <= 0xFFFF && height <= 0xFFFF, D3DERR_INVALIDCALL,
            "The image is too large for a TGA file");
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    ByteBuffer file(kHeaderSize + rowBytes * static_cast<std::size_t>(height) + kFooterSize);
    std::uint8_t* p = file.data();
    std::fill(p, p + kHeaderSize, std::uint8_t{0});
    std::fill(p + file.size() - kFooterSize, p + file.size(), std::uint8_t{0});
    p[2] = 2;  // true colour, uncompressed
    StoreLe16(p + 12, static_cast<std::uint32_t>(width));
    StoreLe16(p + 14, static_cast<std::uint32_t>(height));
    p[16] = 32;
    p[17] = 8;  // 8 alpha bits, rows bottom to top
    for (int y = 0; y < height; ++y) {
        std::memcpy(p + kHeaderSize + static_cast<std::size_t>(height - 1 - y) * rowBytes,
                    argb + static_cast<std::ptrdiff_t>(y) * pitch, rowBytes);
    }
    std::memcpy(p + file.size() - sizeof kFooterSignature, kFooterSignature,
                sizeof kFooterSignature);
    return file;
}

}  // namespace tintora
