// Block layouts, as these decoders read them. A block is a little-endian bit string: bit n is bit
// n % 8 of byte n / 8, and a field of k bits starting at bit n holds its lowest bit first. Texels
// are numbered 0 to 15 row by row; index fields follow in that order.
//
// BC4 (8 bytes): endpoints e0 (byte 0) and e1 (byte 1), then sixteen 3-bit indices into eight
//   values. If e0 > e1: e0, e1 and six between, ((7 - i) e0 + i e1) / 7 for i = 1..6. Otherwise
//   e0, e1, four between, ((5 - i) e0 + i e1) / 5 for i = 1..4, then the minimum and the maximum.
//   Unsigned: bytes, values rounded down to bytes. Signed: two's-complement bytes with -128
//   reading as -127, a value v/127 in -1..1 (compared as signed numbers; minimum -1, maximum +1).
// BC5 (16 bytes): two BC4 blocks, red then green.
// BC7 (16 bytes): the mode m (0-7) as m zero bits and a one; then, as the mode's row of
//   kBc7Modes says, the partition, the rotation, the index selection, the endpoints (every red
//   of every endpoint, then every green, blue and alpha), the p-bits (one a endpoint, or one a
//   subset shared by its two endpoints), the indices. An endpoint channel of n bits (p-bit
//   appended as its lowest bit) widens to 8 by repeating its top bits; a texel's value is
//   ((64 - w) e0 + w e1 + 32) >> 6 with the weight w of its index. The first index of each subset
//   (its anchor texel) drops its top bit, which is zero. Modes 4 and 5 have a second index set,
//   for alpha (or, with mode 4's index selection, for colour), and their rotation swaps alpha
//   with red, green or blue after interpolation. A first byte of 0 has no mode: transparent black.
// BC6H (16 bytes): a mode of 2 or 5 bits, then the mode's fields in its own order (kBc6hModes),
//   the partition (two-region modes, 5 bits), 3-bit indices (two regions) or 4-bit indices (one).
//   Endpoints w, x (region 0) and y, z (region 1), per channel; in the transformed modes x, y and z
//   are signed deltas from w, wrapping at the endpoint precision. Endpoints widen to 16 bits, are
//   interpolated as in BC7, then scaled by 31/64 (unsigned) or 31/32 (signed, on the magnitude)
//   into half-float bits. The four reserved mode codes 10011, 10111, 11011, 11111 decode as opaque
//   black.
#include "imagefiles/block_decoders.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <span>
#include <utility>

#include "imagefiles/bc_tables.h"

namespace tintora {
namespace {

static_assert(std::endian::native == std::endian::little,
              "texels are composed as 0xAARRGGBB words and stored as B G R A bytes");

using Texels = std::uint32_t[16];

constexpr std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The bits of a 16-byte block, read from the lowest up.
class BlockBits {
  public:
    explicit BlockBits(const std::uint8_t* block) {
        std::memcpy(&low_, block, 8);
        std::memcpy(&high_, block + 8, 8);
    }
    // The next count bits (0 to 63) as a number.
    std::uint64_t Take(int count) {
        const std::uint64_t value = Peek() & ((std::uint64_t{1} << count) - 1);
        position_ += count;
        return value;
    }
    // The bits from the current position on (fewer than 64 near the end, the rest zero).
    std::uint64_t Peek() const {
        if (position_ >= 64) return high_ >> (position_ - 64);
        if (position_ == 0) return low_;
        return (low_ >> position_) | (high_ << (64 - position_));
    }
    void Skip(int count) { position_ += count; }

  private:
    std::uint64_t low_ = 0, high_ = 0;
    int position_ = 0;
};

// ---- Partitions, anchors and weights of BC6H and BC7 ----

using namespace bc_tables;

// A partition as the texel loops use it: two bits a texel for its subset, and a bit a texel for
// the anchors (whose index is one bit shorter).
struct Shape {
    std::uint32_t subsets;
    std::uint16_t anchors;
};

constexpr std::uint32_t Widen2(std::uint16_t oneBitEach) {
    std::uint32_t twoBitsEach = 0;
    for (int t = 0; t < 16; ++t)
        twoBitsEach |= ((oneBitEach >> t) & 1u) << (2 * t);
    return twoBitsEach;
}

constexpr auto MakeShapes(int subsets) {
    std::array<Shape, 64> shapes{};
    for (int p = 0; p < 64; ++p) {
        if (subsets == 1) {
            shapes[p] = {0, 1};
        } else if (subsets == 2) {
            shapes[p] = {Widen2(kPartitions2[p]),
                         static_cast<std::uint16_t>(1u | (1u << kAnchors2[p]))};
        } else {
            shapes[p] = {kPartitions3[p],
                         static_cast<std::uint16_t>(1u | (1u << kAnchors3Second[p]) |
                                                    (1u << kAnchors3Third[p]))};
        }
    }
    return shapes;
}
constexpr std::array<Shape, 64> kShapes[3] = {MakeShapes(1), MakeShapes(2), MakeShapes(3)};

// Looks up texel after texel: its subset's palette (16 entries a subset), at the index read from
// indices (the anchors' one bit shorter).
void PaletteTexels(const std::uint32_t* palette, const Shape& shape, int indexBits,
                   std::uint64_t indices, Texels out) {
    for (int t = 0; t < 16; ++t) {
        const int bits = indexBits - static_cast<int>((shape.anchors >> t) & 1u);
        const auto index = static_cast<std::uint32_t>(indices & ((1u << bits) - 1));
        indices >>= bits;
        out[t] = palette[((shape.subsets >> (2 * t)) & 3u) * 16 + index];
    }
}

// ---- BC4 and BC5 ----

// The eight values of a BC4 block, as bytes to show.
void Bc4Values(const std::uint8_t* block, bool isSigned, std::uint8_t values[8]) {
    if (!isSigned) {
        const int e0 = block[0], e1 = block[1];
        values[0] = block[0];
        values[1] = block[1];
        const int steps = e0 > e1 ? 7 : 5;
        for (int i = 1; i < steps; ++i) {
            values[i + 1] = static_cast<std::uint8_t>(((steps - i) * e0 + i * e1) / steps);
        }
        if (steps == 5) {
            values[6] = 0;
            values[7] = 255;
        }
        return;
    }
    // A value n / (127 steps) in -1..1 shows as round((v + 1) x 127.5), halves up:
    // ((n + d) 255 + d) / 2d with d = 127 steps, exact in integers.
    const int e0 = std::max(-127, static_cast<int>(static_cast<std::int8_t>(block[0])));
    const int e1 = std::max(-127, static_cast<int>(static_cast<std::int8_t>(block[1])));
    const int steps = e0 > e1 ? 7 : 5;
    const int d = 127 * steps;
    const auto show = [d](int n) {
        return static_cast<std::uint8_t>(((n + d) * 255 + d) / (2 * d));
    };
    values[0] = show(steps * e0);
    values[1] = show(steps * e1);
    for (int i = 1; i < steps; ++i)
        values[i + 1] = show((steps - i) * e0 + i * e1);
    if (steps == 5) {
        values[6] = 0;
        values[7] = 255;
    }
}

// The sixteen 3-bit indices of a BC4 block.
std::uint64_t Bc4Indices(const std::uint8_t* block) {
    std::uint64_t indices = 0;
    std::memcpy(&indices, block + 2, 6);
    return indices;
}

template <bool kSigned>
void DecodeBc4(const std::uint8_t* block, Texels out) {
    std::uint8_t values[8];
    Bc4Values(block, kSigned, values);
    std::uint64_t indices = Bc4Indices(block);
    for (int t = 0; t < 16; ++t, indices >>= 3) {
        const std::uint32_t v = values[indices & 7];
        out[t] = Argb(255, v, v, v);
    }
}

template <bool kSigned>
void DecodeBc5(const std::uint8_t* block, Texels out) {
    std::uint8_t red[8], green[8];
    Bc4Values(block, kSigned, red);
    Bc4Values(block + 8, kSigned, green);
    std::uint64_t redIndices = Bc4Indices(block), greenIndices = Bc4Indices(block + 8);
    for (int t = 0; t < 16; ++t, redIndices >>= 3, greenIndices >>= 3) {
        out[t] = Argb(255, red[redIndices & 7], green[greenIndices & 7], 0);
    }
}

// ---- BC7 ----

struct Bc7Mode {
    std::uint8_t subsets, partitionBits, rotationBits, indexSelectionBits, colourBits, alphaBits;
    bool endpointPBits, sharedPBits;
    std::uint8_t indexBits, secondIndexBits;
};
constexpr Bc7Mode kBc7Modes[8] = {
    {3, 4, 0, 0, 4, 0, true, false, 3, 0},  {2, 6, 0, 0, 6, 0, false, true, 3, 0},
    {3, 6, 0, 0, 5, 0, false, false, 2, 0}, {2, 6, 0, 0, 7, 0, true, false, 2, 0},
    {1, 0, 2, 1, 5, 6, false, false, 2, 3}, {1, 0, 2, 0, 7, 8, false, false, 2, 2},
    {1, 0, 0, 0, 7, 7, true, false, 4, 0},  {2, 6, 0, 0, 5, 5, true, false, 2, 0},
};

// Endpoint channels R G B A (the index of each channel's byte in an 0xAARRGGBB word is 2 - c
// for R G B, 3 for A).
using Endpoint = std::array<int, 4>;

constexpr int ChannelShift(int channel) {
    return channel == 3 ? 24 : 8 * (2 - channel);
}

std::uint32_t Pack(const Endpoint& e) {
    return Argb(static_cast<std::uint32_t>(e[3]), static_cast<std::uint32_t>(e[0]),
                static_cast<std::uint32_t>(e[1]), static_cast<std::uint32_t>(e[2]));
}

// ((64 - w) a + w b + 32) >> 6 for each channel of two 0xAARRGGBB colours, two channels at a time
// in 16-bit lanes (at most 255 x 64 + 32, so no lane carries into the next).
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t w) {
    constexpr std::uint32_t kLanes = 0x00FF00FF, kHalf = 0x00200020;
    const std::uint32_t rb = (((a & kLanes) * (64 - w) + (b & kLanes) * w + kHalf) >> 6) & kLanes;
    const std::uint32_t ag =
        ((((a >> 8) & kLanes) * (64 - w) + ((b >> 8) & kLanes) * w + kHalf) >> 6) & kLanes;
    return rb | (ag << 8);
}

void DecodeBc7(const std::uint8_t* block, Texels out) {
    if (block[0] == 0) {
        std::fill_n(out, 16, 0u);
        return;
    }
    const int modeNumber = std::countr_zero(block[0]);
    const Bc7Mode& mode = kBc7Modes[modeNumber];
    BlockBits bits(block);
    bits.Skip(modeNumber + 1);
    const auto partition = static_cast<int>(bits.Take(mode.partitionBits));
    const auto rotation = static_cast<int>(bits.Take(mode.rotationBits));
    const bool colourFromSecondSet = bits.Take(mode.indexSelectionBits) != 0;

    const int endpointCount = 2 * mode.subsets;
    Endpoint endpoints[6];
    for (int c = 0; c < 4; ++c) {
        const int width = c < 3 ? mode.colourBits : mode.alphaBits;
        for (int e = 0; e < endpointCount; ++e)
            endpoints[e][c] = static_cast<int>(bits.Take(width));
    }
    int colourBits = mode.colourBits, alphaBits = mode.alphaBits;
    if (mode.endpointPBits || mode.sharedPBits) {
        int pBit = 0;
        for (int e = 0; e < endpointCount; ++e) {
            if (mode.endpointPBits || e % 2 == 0) pBit = static_cast<int>(bits.Take(1));
            for (int c = 0; c < 4; ++c)
                endpoints[e][c] = (endpoints[e][c] << 1) | pBit;
        }
        ++colourBits;
        if (alphaBits != 0) ++alphaBits;
    }
    for (int e = 0; e < endpointCount; ++e) {
        for (int c = 0; c < 4; ++c) {
            const int n = c < 3 ? colourBits : alphaBits;
            int& v = endpoints[e][c];
            v = n == 0 ? 255 : (v << (8 - n)) | (v >> (2 * n - 8));
        }
    }

    // Modes 4 and 5: the rotation swaps the alpha endpoints with a colour channel's, so that the
    // channel taken from the alpha index set is that colour.
    if (rotation != 0) {
        for (int e = 0; e < 2; ++e)
            std::swap(endpoints[e][3], endpoints[e][rotation - 1]);
    }
    std::uint32_t packed[6];
    for (int e = 0; e < endpointCount; ++e)
        packed[e] = Pack(endpoints[e]);

    std::uint32_t palette[48];
    const int entries = 1 << mode.indexBits;
    const std::uint8_t* weights = Weights(mode.indexBits);
    if (mode.secondIndexBits == 0) {
        for (int s = 0; s < mode.subsets; ++s) {
            for (int i = 0; i < entries; ++i)
                palette[16 * s + i] = Mix(packed[2 * s], packed[2 * s + 1], weights[i]);
        }
        PaletteTexels(palette, kShapes[mode.subsets - 1][partition], mode.indexBits, bits.Peek(),
                      out);
        return;
    }

    const std::uint32_t alphaMask = 0xFFu << ChannelShift(rotation == 0 ? 3 : rotation - 1);
    const std::uint32_t firstSetMask = colourFromSecondSet ? alphaMask : ~alphaMask;
    const int secondEntries = 1 << mode.secondIndexBits;
    const std::uint8_t* secondWeights = Weights(mode.secondIndexBits);
    for (int i = 0; i < entries; ++i)
        palette[i] = Mix(packed[0], packed[1], weights[i]);
    for (int i = 0; i < secondEntries; ++i)
        palette[16 + i] = Mix(packed[0], packed[1], secondWeights[i]);
    std::uint64_t first = bits.Take(16 * mode.indexBits - 1);
    std::uint64_t second = bits.Peek();
    for (int t = 0; t < 16; ++t) {
        const int firstBits = mode.indexBits - (t == 0 ? 1 : 0);
        const int secondBits = mode.secondIndexBits - (t == 0 ? 1 : 0);
        const std::uint32_t a = palette[first & ((1u << firstBits) - 1)];
        const std::uint32_t b = palette[16 + (second & ((1u << secondBits) - 1))];
        first >>= firstBits;
        second >>= secondBits;
        out[t] = (a & firstSetMask) | (b & ~firstSetMask);
    }
}

// ---- BC6H ----

// Endpoint fields: w x y z (region 0's two endpoints, then region 1's), red green blue each.
enum Field : std::uint8_t { RW, GW, BW, RX, GX, BX, RY, GY, BY, RZ, GZ, BZ };

// count bits of a field, the first read into bit low and upwards; a negative count reads -count
// bits from bit low downwards.
struct Run {
    Field field;
    std::uint8_t low;
    std::int8_t count;
};

// The fields of each mode after its mode bits, in the order they are stored.
constexpr Run kRuns0[] = {{GY, 4, 1},  {BY, 4, 1}, {BZ, 4, 1}, {RW, 0, 10}, {GW, 0, 10},
                          {BW, 0, 10}, {RX, 0, 5}, {GZ, 4, 1}, {GY, 0, 4},  {GX, 0, 5},
                          {BZ, 0, 1},  {GZ, 0, 4}, {BX, 0, 5}, {BZ, 1, 1},  {BY, 0, 4},
                          {RY, 0, 5},  {BZ, 2, 1}, {RZ, 0, 5}, {BZ, 3, 1}};
constexpr Run kRuns1[] = {{GY, 5, 1}, {GZ, 4, 2}, {RW, 0, 7}, {BZ, 0, 2}, {BY, 4, 1}, {GW, 0, 7},
                          {BY, 5, 1}, {BZ, 2, 1}, {GY, 4, 1}, {BW, 0, 7}, {BZ, 3, 1}, {BZ, 5, 1},
                          {BZ, 4, 1}, {RX, 0, 6}, {GY, 0, 4}, {GX, 0, 6}, {GZ, 0, 4}, {BX, 0, 6},
                          {BY, 0, 4}, {RY, 0, 6}, {RZ, 0, 6}};
constexpr Run kRuns2[] = {{RW, 0, 10}, {GW, 0, 10}, {BW, 0, 10}, {RX, 0, 5}, {RW, 10, 1},
                          {GY, 0, 4},  {GX, 0, 4},  {GW, 10, 1}, {BZ, 0, 1}, {GZ, 0, 4},
                          {BX, 0, 4},  {BW, 10, 1}, {BZ, 1, 1},  {BY, 0, 4}, {RY, 0, 5},
                          {BZ, 2, 1},  {RZ, 0, 5},  {BZ, 3, 1}};
constexpr Run kRuns3[] = {{RW, 0, 10}, {GW, 0, 10}, {BW, 0, 10}, {RX, 0, 4},  {RW, 10, 1},
                          {GZ, 4, 1},  {GY, 0, 4},  {GX, 0, 5},  {GW, 10, 1}, {GZ, 0, 4},
                          {BX, 0, 4},  {BW, 10, 1}, {BZ, 1, 1},  {BY, 0, 4},  {RY, 0, 4},
                          {BZ, 0, 1},  {BZ, 2, 1},  {RZ, 0, 4},  {GY, 4, 1},  {BZ, 3, 1}};
constexpr Run kRuns4[] = {{RW, 0, 10}, {GW, 0, 10}, {BW, 0, 10}, {RX, 0, 4},  {RW, 10, 1},
                          {BY, 4, 1},  {GY, 0, 4},  {GX, 0, 4},  {GW, 10, 1}, {BZ, 0, 1},
                          {GZ, 0, 4},  {BX, 0, 5},  {BW, 10, 1}, {BY, 0, 4},  {RY, 0, 4},
                          {BZ, 1, 2},  {RZ, 0, 4},  {BZ, 4, 1},  {BZ, 3, 1}};
constexpr Run kRuns5[] = {{RW, 0, 9}, {BY, 4, 1}, {GW, 0, 9}, {GY, 4, 1}, {BW, 0, 9},
                          {BZ, 4, 1}, {RX, 0, 5}, {GZ, 4, 1}, {GY, 0, 4}, {GX, 0, 5},
                          {BZ, 0, 1}, {GZ, 0, 4}, {BX, 0, 5}, {BZ, 1, 1}, {BY, 0, 4},
                          {RY, 0, 5}, {BZ, 2, 1}, {RZ, 0, 5}, {BZ, 3, 1}};
constexpr Run kRuns6[] = {{RW, 0, 8}, {GZ, 4, 1}, {BY, 4, 1}, {GW, 0, 8}, {BZ, 2, 1}, {GY, 4, 1},
                          {BW, 0, 8}, {BZ, 3, 2}, {RX, 0, 6}, {GY, 0, 4}, {GX, 0, 5}, {BZ, 0, 1},
                          {GZ, 0, 4}, {BX, 0, 5}, {BZ, 1, 1}, {BY, 0, 4}, {RY, 0, 6}, {RZ, 0, 6}};
constexpr Run kRuns7[] = {{RW, 0, 8}, {BZ, 0, 1}, {BY, 4, 1}, {GW, 0, 8}, {GY, 5, 1}, {GY, 4, 1},
                          {BW, 0, 8}, {GZ, 5, 1}, {BZ, 4, 1}, {RX, 0, 5}, {GZ, 4, 1}, {GY, 0, 4},
                          {GX, 0, 6}, {GZ, 0, 4}, {BX, 0, 5}, {BZ, 1, 1}, {BY, 0, 4}, {RY, 0, 5},
                          {BZ, 2, 1}, {RZ, 0, 5}, {BZ, 3, 1}};
constexpr Run kRuns8[] = {{RW, 0, 8}, {BZ, 1, 1}, {BY, 4, 1}, {GW, 0, 8}, {BY, 5, 1}, {GY, 4, 1},
                          {BW, 0, 8}, {BZ, 5, 1}, {BZ, 4, 1}, {RX, 0, 5}, {GZ, 4, 1}, {GY, 0, 4},
                          {GX, 0, 5}, {BZ, 0, 1}, {GZ, 0, 4}, {BX, 0, 6}, {BY, 0, 4}, {RY, 0, 5},
                          {BZ, 2, 1}, {RZ, 0, 5}, {BZ, 3, 1}};
constexpr Run kRuns9[] = {{RW, 0, 6}, {GZ, 4, 1}, {BZ, 0, 2}, {BY, 4, 1}, {GW, 0, 6}, {GY, 5, 1},
                          {BY, 5, 1}, {BZ, 2, 1}, {GY, 4, 1}, {BW, 0, 6}, {GZ, 5, 1}, {BZ, 3, 1},
                          {BZ, 5, 1}, {BZ, 4, 1}, {RX, 0, 6}, {GY, 0, 4}, {GX, 0, 6}, {GZ, 0, 4},
                          {BX, 0, 6}, {BY, 0, 4}, {RY, 0, 6}, {RZ, 0, 6}};
constexpr Run kRuns10[] = {{RW, 0, 10}, {GW, 0, 10}, {BW, 0, 10},
                           {RX, 0, 10}, {GX, 0, 10}, {BX, 0, 10}};
constexpr Run kRuns11[] = {{RW, 0, 10}, {GW, 0, 10}, {BW, 0, 10}, {RX, 0, 9}, {RW, 10, 1},
                           {GX, 0, 9},  {GW, 10, 1}, {BX, 0, 9},  {BW, 10, 1}};
constexpr Run kRuns12[] = {{RW, 0, 10}, {GW, 0, 10},  {BW, 0, 10}, {RX, 0, 8},  {RW, 11, -2},
                           {GX, 0, 8},  {GW, 11, -2}, {BX, 0, 8},  {BW, 11, -2}};
constexpr Run kRuns13[] = {{RW, 0, 10}, {GW, 0, 10},  {BW, 0, 10}, {RX, 0, 4},  {RW, 15, -6},
                           {GX, 0, 4},  {GW, 15, -6}, {BX, 0, 4},  {BW, 15, -6}};

struct Bc6hMode {
    std::uint8_t regions;
    bool transformed;
    std::uint8_t endpointBits;
    std::uint8_t deltaBits[3];  // red, green, blue: the bits of x, y and z when transformed
    std::span<const Run> runs;
};
// Modes 0 and 1 have the 2-bit codes 00 and 01; modes 2-9 the 5-bit codes 00010 to 11110 and
// modes 10-13 the codes 00011 to 01111, each 4 apart.
constexpr Bc6hMode kBc6hModes[14] = {
    {2, true, 10, {5, 5, 5}, kRuns0},      {2, true, 7, {6, 6, 6}, kRuns1},
    {2, true, 11, {5, 4, 4}, kRuns2},      {2, true, 11, {4, 5, 4}, kRuns3},
    {2, true, 11, {4, 4, 5}, kRuns4},      {2, true, 9, {5, 5, 5}, kRuns5},
    {2, true, 8, {6, 5, 5}, kRuns6},       {2, true, 8, {5, 6, 5}, kRuns7},
    {2, true, 8, {5, 5, 6}, kRuns8},       {2, false, 6, {6, 6, 6}, kRuns9},
    {1, false, 10, {10, 10, 10}, kRuns10}, {1, true, 11, {9, 9, 9}, kRuns11},
    {1, true, 12, {8, 8, 8}, kRuns12},     {1, true, 16, {4, 4, 4}, kRuns13},
};

int SignExtend(int value, int bits) {
    const int sign = 1 << (bits - 1);
    return ((value & ((sign << 1) - 1)) ^ sign) - sign;
}

// An endpoint of bits bits widened to the 16-bit range the interpolation works in.
int Unquantise(int value, int bits, bool isSigned) {
    if (!isSigned) {
        if (bits >= 15 || value == 0) return value;
        if (value == (1 << bits) - 1) return 0xFFFF;
        return ((value << 16) + 0x8000) >> bits;
    }
    if (bits >= 16) return value;
    const int magnitude = value < 0 ? -value : value;
    int widened = 0;
    if (magnitude >= (1 << (bits - 1)) - 1) {
        widened = 0x7FFF;
    } else if (magnitude != 0) {
        widened = ((magnitude << 15) + 0x4000) >> (bits - 1);
    }
    return value < 0 ? -widened : widened;
}

// An interpolated value as a byte: scaled into half-float bits, clamped to 0..1, then rounded.
std::uint32_t HalfByte(int value, bool isSigned) {
    const int half = isSigned ? (value < 0 ? -1 : (value * 31) >> 5) : (value * 31) >> 6;
    if (half <= 0) return 0;  // zero or negative
    if (half >= 0x3C00) return 255;
    // A normal half becomes a float by moving its exponent from bias 15 to bias 127; a subnormal
    // one is its mantissa x 2^-24. Both are exact, and so is v x 255 (at most 19 significant bits).
    const float v = half < 0x400
                        ? static_cast<float>(half) * 0x1p-24f
                        : std::bit_cast<float>(static_cast<std::uint32_t>(half + 0x1C000) << 13);
    return static_cast<std::uint32_t>(v * 255.0f + 0.5f);
}

template <bool kSigned>
void DecodeBc6h(const std::uint8_t* block, Texels out) {
    int modeNumber, modeBits;
    if ((block[0] & 2) == 0) {
        modeNumber = block[0] & 1;
        modeBits = 2;
    } else {
        modeNumber = ((block[0] & 1) != 0 ? 10 : 2) + ((block[0] >> 2) & 7);
        modeBits = 5;
    }
    if (modeNumber >= 14) {
        std::fill_n(out, 16, Argb(255, 0, 0, 0));
        return;
    }
    const Bc6hMode& mode = kBc6hModes[modeNumber];
    BlockBits bits(block);
    bits.Skip(modeBits);
    int fields[12] = {};
    for (const Run& run : mode.runs) {
        if (run.count > 0) {
            fields[run.field] |= static_cast<int>(bits.Take(run.count)) << run.low;
        } else {
            for (int k = 0; k < -run.count; ++k) {
                fields[run.field] |= static_cast<int>(bits.Take(1)) << (run.low - k);
            }
        }
    }
    const auto partition = static_cast<int>(bits.Take(mode.regions == 2 ? 5 : 0));

    const int endpointCount = 2 * mode.regions;
    const int precision = mode.endpointBits;
    Endpoint endpoints[4];
    for (int c = 0; c < 3; ++c) {
        int w = fields[c];
        if (kSigned) w = SignExtend(w, precision);
        endpoints[0][c] = w;
        for (int e = 1; e < endpointCount; ++e) {
            int v = fields[3 * e + c];
            if (mode.transformed) {
                v = (w + SignExtend(v, mode.deltaBits[c])) & ((1 << precision) - 1);
            }
            endpoints[e][c] = kSigned ? SignExtend(v, precision) : v;
        }
        for (int e = 0; e < endpointCount; ++e) {
            endpoints[e][c] = Unquantise(endpoints[e][c], precision, kSigned);
        }
    }

    const int indexBits = mode.regions == 2 ? 3 : 4;
    const std::uint8_t* weights = Weights(indexBits);
    std::uint32_t palette[32];
    for (int r = 0; r < mode.regions; ++r) {
        const Endpoint& a = endpoints[2 * r];
        const Endpoint& b = endpoints[2 * r + 1];
        for (int i = 0; i < (1 << indexBits); ++i) {
            std::uint32_t texel = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const int v = (a[c] * (64 - weights[i]) + b[c] * weights[i] + 32) >> 6;
                texel |= HalfByte(v, kSigned) << ChannelShift(c);
            }
            palette[16 * r + i] = texel;
        }
    }
    PaletteTexels(palette, kShapes[mode.regions - 1][partition], indexBits, bits.Peek(), out);
}

// ---- Whole images ----

using BlockDecoder = void (*)(const std::uint8_t* block, Texels out);

BlockDecoder DecoderOf(BlockFormat format) {
    switch (format) {
        case BlockFormat::Bc4Unorm:
            return DecodeBc4<false>;
        case BlockFormat::Bc4Snorm:
            return DecodeBc4<true>;
        case BlockFormat::Bc5Unorm:
            return DecodeBc5<false>;
        case BlockFormat::Bc5Snorm:
            return DecodeBc5<true>;
        case BlockFormat::Bc6hUf16:
            return DecodeBc6h<false>;
        case BlockFormat::Bc6hSf16:
            return DecodeBc6h<true>;
        case BlockFormat::Bc7:
            break;
    }
    return DecodeBc7;
}

}  // namespace

std::size_t BlockBytes(BlockFormat format) {
    return format == BlockFormat::Bc4Unorm || format == BlockFormat::Bc4Snorm ? 8 : 16;
}

void DecodeBlock(BlockFormat format, const std::uint8_t* block, std::uint8_t* bgra) {
    Texels texels;
    DecoderOf(format)(block, texels);
    std::memcpy(bgra, texels, sizeof texels);
}

void DecodeBlocksToArgb(BlockFormat format, const std::uint8_t* blocks, int width, int height,
                        std::uint8_t* out) {
    if (width <= 0 || height <= 0) return;
    const BlockDecoder decode = DecoderOf(format);
    const std::size_t blockBytes = BlockBytes(format);
    const int blocksWide = (width + 3) / 4;
    const std::size_t rowStride = static_cast<std::size_t>(width) * 4;
    const std::size_t blockRowBytes = static_cast<std::size_t>(blocksWide) * blockBytes;
    // Each task decodes whole rows of blocks; a partial block writes only its pixels inside.
    tbb::parallel_for(
        tbb::blocked_range<int>(0, (height + 3) / 4), [&](const tbb::blocked_range<int>& range) {
            for (int by = range.begin(); by < range.end(); ++by) {
                const std::uint8_t* block = blocks + static_cast<std::size_t>(by) * blockRowBytes;
                std::uint8_t* rowOut = out + static_cast<std::size_t>(4 * by) * rowStride;
                const int rows = std::min(4, height - 4 * by);
                for (int bx = 0; bx < blocksWide; ++bx, block += blockBytes) {
                    Texels texels;
                    decode(block, texels);
                    const auto bytes = static_cast<std::size_t>(std::min(4, width - 4 * bx)) * 4;
                    for (int y = 0; y < rows; ++y) {
                        std::memcpy(rowOut + static_cast<std::size_t>(y) * rowStride + 16 * bx,
                                    texels + 4 * y, bytes);
                    }
                }
            }
        });
}

}  // namespace tintora
