// Pixel format conversion to and from A8R8G8B8.
//
// Stored layouts (multi-byte values little-endian, as the formats define them):
//   A8R8G8B8   bytes B G R A             X8R8G8B8   bytes B G R X
//   A8B8G8R8   bytes R G B A             R8G8B8     bytes B G R
//   R5G6B5     rrrrrggg gggbbbbb         X1R5G5B5 / A1R5G5B5   xrrrrrgg gggbbbbb
//   A4R4G4B4 / X4R4G4B4   aaaarrrr ggggbbbb
//   A8         one alpha byte            L8         one luminance byte
//   A8L8       bytes L A                 DXT1-DXT5  rows of 4x4 blocks (8 bytes DXT1, 16 others)
//
// Decisions:
//  - Padding bits (the X of X8R8G8B8, X1R5G5B5, X4R4G4B4) are ignored on decode and written as
//    ones on encode, so a reader that takes them for alpha still sees opaque pixels.
//  - A1R5G5B5 stores alpha 1 for alpha >= 128 and decodes the bit to 0 or 255.
//  - A8 decodes to black with the stored alpha (0xAA000000); encoding keeps only the alpha.
//  - L8 and A8L8 encode the Rec. 709 luminance in 8-bit fixed point,
//    (54 R + 183 G + 19 B + 128) >> 8; the weights sum to 256, so a grey pixel keeps its value.
//    They decode to grey (L, L, L), L8 with alpha 255.
//  - DXT2 and DXT4 are DXT3 and DXT5 bytes whose colours are premultiplied by alpha. Both ways the
//    colours are taken as they are: decoding does not divide by alpha, and encoding does not
//    multiply (the caller hands premultiplied pixels), so decode and encode are inverses as for
//    the other formats.
//  - DXT1-DXT5 decode as libsquish and the DirectX texture tools do: endpoints widened by bit
//    replication, the in-between colours and alphas by integer division ((2 c0 + c1) / 3,
//    (c0 + c1) / 2, ((7 - i) a0 + i a1) / 7...); DXT1 blocks with c0 <= c1 hold three colours and
//    transparent black, DXT2-DXT5 colour blocks always four; DXT2/DXT3 alpha widens v to 17 v.
//  - Block formats are decoded here but not encoded: the block encoders live with the image
//    files (imagefiles/block_encoders.h), and the device calls them.
//
// Speed: uncompressed rows go through plain per-pixel loops; images of more than about 64K pixels
// are split into bands of rows that run in parallel (oneTBB). Block formats decode one 4x4 block
// at a time, block rows in parallel; partial blocks at the right and bottom edges are clipped, so
// nothing outside width x height is written.
#include "base/pixel_format.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/error.h"

namespace tintora {
namespace {

using std::uint32_t;
using std::uint8_t;

// Images with less work than this (in pixel units) are converted on the calling thread.
constexpr std::int64_t kParallelThreshold = std::int64_t{1} << 16;
// Smallest band handed to one task, in pixel units.
constexpr std::int64_t kBandWork = std::int64_t{1} << 14;

// Runs body(firstRow, endRow) over [0, rows), in parallel bands when the work is large enough.
template <typename Body>
void ForEachBand(int rows, std::int64_t workPerRow, const Body& body) {
    if (rows <= 0) return;
    if (rows == 1 || workPerRow * rows < kParallelThreshold) {
        body(0, rows);
        return;
    }
    const auto grain = static_cast<int>(std::max<std::int64_t>(1, kBandWork / workPerRow));
    tbb::parallel_for(
        tbb::blocked_range<int>(0, rows, static_cast<std::size_t>(grain)),
        [&](const tbb::blocked_range<int>& range) { body(range.begin(), range.end()); });
}

// Channel arithmetic.

constexpr uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
constexpr uint32_t Alpha(uint32_t argb) {
    return argb >> 24;
}
constexpr uint32_t Red(uint32_t argb) {
    return (argb >> 16) & 0xFF;
}
constexpr uint32_t Green(uint32_t argb) {
    return (argb >> 8) & 0xFF;
}
constexpr uint32_t Blue(uint32_t argb) {
    return argb & 0xFF;
}

// round(v x max / 255). v x max x 2 is never an odd multiple of 255, so there are no ties.
constexpr uint32_t Narrow(uint32_t v, uint32_t max) {
    return (v * max + 127) / 255;
}
constexpr uint32_t Widen1(uint32_t q) {
    return q * 255;
}
constexpr uint32_t Widen4(uint32_t q) {
    return q * 17;
}
constexpr uint32_t Widen5(uint32_t q) {
    return (q << 3) | (q >> 2);
}
constexpr uint32_t Widen6(uint32_t q) {
    return (q << 2) | (q >> 4);
}
constexpr uint32_t Luminance(uint32_t argb) {
    return (54 * Red(argb) + 183 * Green(argb) + 19 * Blue(argb) + 128) >> 8;
}

static_assert(Narrow(128, 31) == 16 && Widen5(16) == 132);
static_assert(Narrow(128, 63) == 32 && Widen6(32) == 130);
static_assert(Luminance(0xFFFFFFFF) == 255 && Luminance(0xFF808080) == 128);

inline uint32_t Load16(const uint8_t* p) {
    return p[0] | (uint32_t{p[1]} << 8);
}
inline void Store16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// One row of n pixels each way. Source rows of stored formats need not be aligned.
using DecodeRowFn = void (*)(const uint8_t* src, int n, uint32_t* dst);
using EncodeRowFn = void (*)(const uint32_t* src, int n, uint8_t* dst);

void DecodeA8R8G8B8(const uint8_t* src, int n, uint32_t* dst) {
    std::memcpy(dst, src, static_cast<std::size_t>(n) * 4);
}
void DecodeX8R8G8B8(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i)
        dst[i] = Load32(src + 4 * i) | 0xFF000000u;
}
void DecodeA8B8G8R8(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = src + 4 * i;
        dst[i] = Pack(p[3], p[0], p[1], p[2]);
    }
}
void DecodeR8G8B8(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = src + 3 * i;
        dst[i] = Pack(255, p[2], p[1], p[0]);
    }
}
void DecodeR5G6B5(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load16(src + 2 * i);
        dst[i] = Pack(255, Widen5(v >> 11), Widen6((v >> 5) & 0x3F), Widen5(v & 0x1F));
    }
}
void DecodeX1R5G5B5(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load16(src + 2 * i);
        dst[i] = Pack(255, Widen5((v >> 10) & 0x1F), Widen5((v >> 5) & 0x1F), Widen5(v & 0x1F));
    }
}
void DecodeA1R5G5B5(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load16(src + 2 * i);
        dst[i] = Pack(Widen1(v >> 15), Widen5((v >> 10) & 0x1F), Widen5((v >> 5) & 0x1F),
                      Widen5(v & 0x1F));
    }
}
void DecodeA4R4G4B4(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load16(src + 2 * i);
        dst[i] =
            Pack(Widen4(v >> 12), Widen4((v >> 8) & 0xF), Widen4((v >> 4) & 0xF), Widen4(v & 0xF));
    }
}
void DecodeX4R4G4B4(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load16(src + 2 * i);
        dst[i] = Pack(255, Widen4((v >> 8) & 0xF), Widen4((v >> 4) & 0xF), Widen4(v & 0xF));
    }
}
void DecodeA8(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i)
        dst[i] = uint32_t{src[i]} << 24;
}
void DecodeL8(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i)
        dst[i] = 0xFF000000u | (uint32_t{src[i]} * 0x010101u);
}
void DecodeA8L8(const uint8_t* src, int n, uint32_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = src + 2 * i;
        dst[i] = (uint32_t{p[1]} << 24) | (uint32_t{p[0]} * 0x010101u);
    }
}

void EncodeA8R8G8B8(const uint32_t* src, int n, uint8_t* dst) {
    std::memcpy(dst, src, static_cast<std::size_t>(n) * 4);
}
void EncodeX8R8G8B8(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i)
        Store32(dst + 4 * i, src[i] | 0xFF000000u);
}
void EncodeA8B8G8R8(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        uint8_t* p = dst + 4 * i;
        p[0] = static_cast<uint8_t>(Red(c));
        p[1] = static_cast<uint8_t>(Green(c));
        p[2] = static_cast<uint8_t>(Blue(c));
        p[3] = static_cast<uint8_t>(Alpha(c));
    }
}
void EncodeR8G8B8(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        uint8_t* p = dst + 3 * i;
        p[0] = static_cast<uint8_t>(Blue(c));
        p[1] = static_cast<uint8_t>(Green(c));
        p[2] = static_cast<uint8_t>(Red(c));
    }
}
void EncodeR5G6B5(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        Store16(dst + 2 * i,
                (Narrow(Red(c), 31) << 11) | (Narrow(Green(c), 63) << 5) | Narrow(Blue(c), 31));
    }
}
void EncodeX1R5G5B5(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        Store16(dst + 2 * i, 0x8000u | (Narrow(Red(c), 31) << 10) | (Narrow(Green(c), 31) << 5) |
                                 Narrow(Blue(c), 31));
    }
}
void EncodeA1R5G5B5(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        Store16(dst + 2 * i, ((Alpha(c) >> 7) << 15) | (Narrow(Red(c), 31) << 10) |
                                 (Narrow(Green(c), 31) << 5) | Narrow(Blue(c), 31));
    }
}
void EncodeA4R4G4B4(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        Store16(dst + 2 * i, (Narrow(Alpha(c), 15) << 12) | (Narrow(Red(c), 15) << 8) |
                                 (Narrow(Green(c), 15) << 4) | Narrow(Blue(c), 15));
    }
}
void EncodeX4R4G4B4(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        const uint32_t c = src[i];
        Store16(dst + 2 * i, 0xF000u | (Narrow(Red(c), 15) << 8) | (Narrow(Green(c), 15) << 4) |
                                 Narrow(Blue(c), 15));
    }
}
void EncodeA8(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<uint8_t>(Alpha(src[i]));
}
void EncodeL8(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<uint8_t>(Luminance(src[i]));
}
void EncodeA8L8(const uint32_t* src, int n, uint8_t* dst) {
    for (int i = 0; i < n; ++i) {
        dst[2 * i] = static_cast<uint8_t>(Luminance(src[i]));
        dst[2 * i + 1] = static_cast<uint8_t>(Alpha(src[i]));
    }
}

struct RowCodec {
    DecodeRowFn decode = nullptr;
    EncodeRowFn encode = nullptr;
};

RowCodec RowCodecFor(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            return {DecodeA8R8G8B8, EncodeA8R8G8B8};
        case D3DFMT_X8R8G8B8:
            return {DecodeX8R8G8B8, EncodeX8R8G8B8};
        case D3DFMT_A8B8G8R8:
            return {DecodeA8B8G8R8, EncodeA8B8G8R8};
        case D3DFMT_R8G8B8:
            return {DecodeR8G8B8, EncodeR8G8B8};
        case D3DFMT_R5G6B5:
            return {DecodeR5G6B5, EncodeR5G6B5};
        case D3DFMT_X1R5G5B5:
            return {DecodeX1R5G5B5, EncodeX1R5G5B5};
        case D3DFMT_A1R5G5B5:
            return {DecodeA1R5G5B5, EncodeA1R5G5B5};
        case D3DFMT_A4R4G4B4:
            return {DecodeA4R4G4B4, EncodeA4R4G4B4};
        case D3DFMT_X4R4G4B4:
            return {DecodeX4R4G4B4, EncodeX4R4G4B4};
        case D3DFMT_A8:
            return {DecodeA8, EncodeA8};
        case D3DFMT_L8:
            return {DecodeL8, EncodeL8};
        case D3DFMT_A8L8:
            return {DecodeA8L8, EncodeA8L8};
        default:
            return {};
    }
}

int BlockBytes(D3DFORMAT format) {
    return format == D3DFMT_DXT1 ? 8 : 16;
}

void RequireLayout(D3DFORMAT format, int pitch, int width) {
    Require(pitch >= RowPitchBytes(format, width), D3DERR_INVALIDCALL,
            std::string("Row pitch too small for a ") + FormatName(format) + " image");
}

// Decodes one block of a DXT format into 16 A8R8G8B8 pixels, row by row.
void DecodeDxtBlock(D3DFORMAT format, const uint8_t* block, uint32_t* out) {
    const bool dxt1 = format == D3DFMT_DXT1;
    const uint8_t* colour = dxt1 ? block : block + 8;
    const uint32_t c0 = colour[0] | colour[1] << 8, c1 = colour[2] | colour[3] << 8;
    uint32_t rgb[4][3] = {{Widen5(c0 >> 11), Widen6((c0 >> 5) & 0x3F), Widen5(c0 & 0x1F)},
                          {Widen5(c1 >> 11), Widen6((c1 >> 5) & 0x3F), Widen5(c1 & 0x1F)}};
    const bool threeColours = dxt1 && c0 <= c1;
    for (int i = 0; i < 3; ++i) {
        const uint32_t a = rgb[0][i], b = rgb[1][i];
        rgb[2][i] = threeColours ? (a + b) / 2 : (2 * a + b) / 3;
        rgb[3][i] = threeColours ? 0 : (a + 2 * b) / 3;
    }
    uint32_t alphas[8] = {255, 255, 255, 255, 255, 255, 255, 255};
    std::uint64_t alphaIndices = 0;  // DXT4/DXT5: 3 bits a texel
    if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
        const uint32_t a0 = block[0], a1 = block[1];
        alphas[0] = a0;
        alphas[1] = a1;
        const uint32_t steps = a0 <= a1 ? 5 : 7;
        for (uint32_t i = 1; i < steps; ++i)
            alphas[1 + i] = ((steps - i) * a0 + i * a1) / steps;
        if (a0 <= a1) alphas[6] = 0, alphas[7] = 255;
        for (int i = 5; i >= 0; --i)
            alphaIndices = alphaIndices << 8 | block[2 + i];
    }
    const uint32_t indices =
        colour[4] | colour[5] << 8 | colour[6] << 16 | static_cast<uint32_t>(colour[7]) << 24;
    for (int t = 0; t < 16; ++t) {
        const uint32_t index = (indices >> (2 * t)) & 3;
        uint32_t alpha = threeColours && index == 3 ? 0 : 255;
        if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
            alpha = ((block[t / 2] >> (4 * (t % 2))) & 0xF) * 17;
        } else if (!dxt1) {
            alpha = alphas[(alphaIndices >> (3 * t)) & 7];
        }
        out[t] = Pack(alpha, rgb[index][0], rgb[index][1], rgb[index][2]);
    }
}

void DecodeBlocks(D3DFORMAT format, const uint8_t* source, int pitch, int width, int height,
                  uint32_t* dest) {
    const int blockBytes = BlockBytes(format);
    const int blocksWide = (width + 3) / 4;
    const int blockRows = (height + 3) / 4;
    ForEachBand(blockRows, std::int64_t{blocksWide} * 16, [&](int firstRow, int endRow) {
        uint32_t texels[16];
        for (int by = firstRow; by < endRow; ++by) {
            const uint8_t* blockRow = source + static_cast<std::ptrdiff_t>(by) * pitch;
            const int rows = std::min(4, height - 4 * by);
            for (int bx = 0; bx < blocksWide; ++bx) {
                DecodeDxtBlock(format, blockRow + bx * blockBytes, texels);
                const int columns = std::min(4, width - 4 * bx);
                for (int y = 0; y < rows; ++y) {
                    std::memcpy(dest + static_cast<std::ptrdiff_t>(4 * by + y) * width + 4 * bx,
                                texels + 4 * y, static_cast<std::size_t>(columns) * 4);
                }
            }
        }
    });
}

}  // namespace

bool CanDecode(D3DFORMAT format) {
    return RowCodecFor(format).decode != nullptr || IsBlockCompressed(format);
}

bool CanEncode(D3DFORMAT format) {
    return RowCodecFor(format).encode != nullptr;
}

void DecodeToArgb(D3DFORMAT format, const std::uint8_t* source, int pitch, int width, int height,
                  std::uint32_t* dest) {
    Require(CanDecode(format), D3DERR_WRONGTEXTUREFORMAT,
            std::string("Cannot decode pixels of format ") + FormatName(format));
    if (width <= 0 || height <= 0) return;
    RequireLayout(format, pitch, width);
    if (IsBlockCompressed(format)) {
        DecodeBlocks(format, source, pitch, width, height, dest);
        return;
    }
    const DecodeRowFn decode = RowCodecFor(format).decode;
    ForEachBand(height, width, [&](int firstRow, int endRow) {
        for (int y = firstRow; y < endRow; ++y) {
            decode(source + static_cast<std::ptrdiff_t>(y) * pitch, width,
                   dest + static_cast<std::ptrdiff_t>(y) * width);
        }
    });
}

void EncodeFromArgb(D3DFORMAT format, const std::uint32_t* source, int width, int height,
                    std::uint8_t* dest, int pitch) {
    Require(CanEncode(format), D3DERR_WRONGTEXTUREFORMAT,
            std::string("Cannot encode pixels to format ") + FormatName(format));
    if (width <= 0 || height <= 0) return;
    RequireLayout(format, pitch, width);
    const EncodeRowFn encode = RowCodecFor(format).encode;
    ForEachBand(height, width, [&](int firstRow, int endRow) {
        for (int y = firstRow; y < endRow; ++y) {
            encode(source + static_cast<std::ptrdiff_t>(y) * width, width,
                   dest + static_cast<std::ptrdiff_t>(y) * pitch);
        }
    });
}

}  // namespace tintora
