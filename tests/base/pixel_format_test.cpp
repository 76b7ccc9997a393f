#include "base/pixel_format.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "base/error.h"

namespace tintora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>;

Bytes Encode(D3DFORMAT format, const Pixels& argb, int width, int height) {
    const auto pitch = static_cast<int>(RowPitchBytes(format, width));
    Bytes out(static_cast<std::size_t>(pitch * StorageRows(format, height)));
    EncodeFromArgb(format, argb.data(), width, height, out.data(), pitch);
    return out;
}

Pixels Decode(D3DFORMAT format, const Bytes& stored, int width, int height) {
    Pixels out(static_cast<std::size_t>(width) * height);
    DecodeToArgb(format, stored.data(), static_cast<int>(RowPitchBytes(format, width)), width,
                 height, out.data());
    return out;
}

Pixels RoundTrip(D3DFORMAT format, const Pixels& argb, int width, int height) {
    return Decode(format, Encode(format, argb, width, height), width, height);
}

int Channel(std::uint32_t argb, int shift) {
    return static_cast<int>((argb >> shift) & 0xFF);
}

// Two pixels of A 0x7F, R 0x20, G 0x40, B 0x60 in every plain format. Narrowing rounds
// v x max / 255 (5 bits: 32 -> 4, 64 -> 8, 96 -> 12; 6 bits: 64 -> 16; 4 bits: 127 -> 7),
// widening repeats the bits (4 -> 0x21, 8 -> 0x42, 12 -> 0x63; 16 -> 0x41; 7 -> 0x77), and
// luminance is (54 x 32 + 183 x 64 + 19 x 96 + 128) >> 8 = 0x3C.
TEST(PixelFormat, StoredLayoutAndQuantisation) {
    const struct {
        D3DFORMAT format;
        Bytes stored;  // one pixel
        std::uint32_t decoded;
    } cases[] = {
        {D3DFMT_A8R8G8B8, {0x60, 0x40, 0x20, 0x7F}, 0x7F204060},
        {D3DFMT_X8R8G8B8, {0x60, 0x40, 0x20, 0xFF}, 0xFF204060},
        {D3DFMT_A8B8G8R8, {0x20, 0x40, 0x60, 0x7F}, 0x7F204060},
        {D3DFMT_R8G8B8, {0x60, 0x40, 0x20}, 0xFF204060},
        {D3DFMT_R5G6B5, {0x0C, 0x22}, 0xFF214163},
        {D3DFMT_X1R5G5B5, {0x0C, 0x91}, 0xFF214263},
        {D3DFMT_A1R5G5B5, {0x0C, 0x11}, 0x00214263},
        {D3DFMT_A4R4G4B4, {0x46, 0x72}, 0x77224466},
        {D3DFMT_X4R4G4B4, {0x46, 0xF2}, 0xFF224466},
        {D3DFMT_A8, {0x7F}, 0x7F000000},
        {D3DFMT_L8, {0x3C}, 0xFF3C3C3C},
        {D3DFMT_A8L8, {0x3C, 0x7F}, 0x7F3C3C3C},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        Bytes row = c.stored;
        row.insert(row.end(), c.stored.begin(), c.stored.end());
        EXPECT_EQ(Encode(c.format, Pixels(2, 0x7F204060), 2, 1), row);
        EXPECT_EQ(Decode(c.format, row, 2, 1), Pixels(2, c.decoded));
    }
    // Padding bits are ignored on decoding.
    EXPECT_EQ(Decode(D3DFMT_X8R8G8B8, {0x56, 0x34, 0x12, 0x00}, 1, 1)[0], 0xFF123456u);
    EXPECT_EQ(Decode(D3DFMT_X1R5G5B5, {0x1F, 0x00}, 1, 1)[0], 0xFF0000FFu);
    EXPECT_EQ(Decode(D3DFMT_X4R4G4B4, {0x00, 0x0F}, 1, 1)[0], 0xFFFF0000u);
}

// Every 8-bit value through each width of narrow channel comes back within half a step (one bit:
// on the right side of 128), never reordered, with 0 and 255 kept. Row y holds the values turned
// by y, so that each parallel band of the large image must find its own rows.
TEST(PixelFormat, NarrowChannelsQuantiseMonotonically) {
    const std::tuple<D3DFORMAT, int, int> cases[] = {
        {D3DFMT_R5G6B5, 16, 4}, {D3DFMT_A4R4G4B4, 24, 8}, {D3DFMT_A1R5G5B5, 24, 127}};
    for (const auto& [format, shift, maxError] : cases) {
        SCOPED_TRACE(::testing::Message() << FormatName(format) << " shift " << shift);
        Pixels ramps(256 * 300);
        for (std::uint32_t i = 0; i < ramps.size(); ++i) {
            const std::uint32_t v = (i + i / 256) % 256;
            ramps[i] = shift == 24 ? v << 24 : 0xFF000000u | (v << shift);
        }
        const Pixels out = RoundTrip(format, ramps, 256, 300);
        for (int v = 0; v < 256; ++v) {
            EXPECT_LE(std::abs(Channel(out[v], shift) - v), maxError) << v;
            EXPECT_GE(Channel(out[v], shift), Channel(out[std::max(v, 1) - 1], shift)) << v;
        }
        EXPECT_EQ(Channel(out[0], shift), 0);
        EXPECT_EQ(Channel(out[255], shift), 255);
        for (std::size_t i = 256; i < out.size(); ++i)
            ASSERT_EQ(out[i], out[(i + i / 256) % 256]) << "pixel " << i;
    }
}

TEST(PixelFormat, DepthAndUnknownFormatsAreRefused) {
    std::uint8_t stored[16] = {};
    std::uint32_t argb[4] = {};
    EXPECT_FALSE(CanDecode(D3DFMT_D16) || CanEncode(D3DFMT_D16) || CanEncode(D3DFMT_UNKNOWN));
    EXPECT_THROW(DecodeToArgb(D3DFMT_D16, stored, 16, 1, 1, argb), PlatformError);
    EXPECT_THROW(EncodeFromArgb(D3DFMT_UNKNOWN, argb, 1, 1, stored, 16), PlatformError);
}

// DXT3 alpha is explicit 4-bit, DXT5's interpolated. DXT2 and DXT4 are DXT3 and DXT5 bytes whose
// colours are taken as stored (not divided by alpha).
TEST(PixelFormat, BlockFormatAlpha) {
    // Alphas 0..15 for pixels 0..15 (low nibble first); colour endpoint 0 red 15 of 31 (123).
    const Bytes dxt3 = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                        0x00, 0x78, 0x1F, 0x00, 0,    0,    0,    0};
    Pixels alphas(16);
    for (std::uint32_t i = 0; i < 16; ++i)
        alphas[i] = ((i * 17) << 24) | 0x7B0000u;
    for (D3DFORMAT format : {D3DFMT_DXT2, D3DFMT_DXT3})
        EXPECT_EQ(Decode(format, dxt3, 4, 4), alphas);
    // Alpha endpoints 128 and 0, every index 0: alpha 128.
    const Bytes dxt5 = {128, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x78, 0x1F, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(Decode(D3DFMT_DXT4, dxt5, 4, 4), Pixels(16, 0x807B0000u));
}

// Random blocks (both colour modes of DXT1, both alpha modes of DXT5) decode as libsquish decodes
// them; the partial blocks of a 403 x 7 image are clipped, the pixels around it left alone.
TEST(PixelFormat, BlocksDecodeAsLibsquishDoes) {
    constexpr int kWidth = 403, kHeight = 7, kGuard = 16, kCount = kWidth * kHeight;
    std::uint32_t state = 12345;
    for (const D3DFORMAT format :
         {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
        const int flags = format == D3DFMT_DXT1   ? squish::kDxt1
                          : format <= D3DFMT_DXT3 ? squish::kDxt3
                                                  : squish::kDxt5;
        SCOPED_TRACE(FormatName(format));
        const auto pitch = static_cast<int>(RowPitchBytes(format, kWidth));
        Bytes blocks(static_cast<std::size_t>(pitch) * 2);
        for (std::uint8_t& byte : blocks) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            byte = static_cast<std::uint8_t>(state);
        }
        Pixels ours(kGuard + kCount + kGuard, 0xDEADBEEF);
        DecodeToArgb(format, blocks.data(), pitch, kWidth, kHeight, &ours[kGuard]);
        std::vector<squish::u8> rgba(4 * kCount);
        squish::DecompressImage(rgba.data(), kWidth, kHeight, blocks.data(), flags);
        for (int i = 0; i < kCount; ++i) {
            const squish::u8* p = &rgba[4 * i];
            ASSERT_EQ(ours[kGuard + i], std::uint32_t{p[3]} << 24 | p[0] << 16 | p[1] << 8 | p[2])
                << "pixel " << i;
        }
        for (int i = 0; i < kGuard; ++i)
            ASSERT_TRUE(ours[i] == 0xDEADBEEF && ours[kGuard + kCount + i] == 0xDEADBEEF);
    }
}

// A 5 x 3 image of two colours between canaries, in rows with 3 bytes of padding. Only the
// pixels' bytes are written, and every pixel comes back within a 5-bit step of its colour.
TEST(PixelFormat, OddSizesStayInBoundsAndKeepTheirColours) {
    constexpr int kWidth = 5, kHeight = 3, kGuard = 64, kCount = kWidth * kHeight;
    Pixels source(kGuard + kCount + kGuard, 0xDEADBEEF);
    for (int i = 0; i < kCount; ++i)  // two solid blocks side by side: columns 0-3 and column 4
        source[kGuard + i] = i % kWidth < 4 ? 0xFF3366CC : 0xFFC04020;
    for (D3DFORMAT format : {D3DFMT_R8G8B8, D3DFMT_R5G6B5}) {
        SCOPED_TRACE(FormatName(format));
        const int padding = 3;
        const int pitch = static_cast<int>(RowPitchBytes(format, kWidth)) + padding;
        const int size = pitch * static_cast<int>(StorageRows(format, kHeight));
        Bytes stored(kGuard + size + kGuard, 0xA5);
        EncodeFromArgb(format, source.data() + kGuard, kWidth, kHeight, &stored[kGuard], pitch);
        for (int at = -kGuard; at < size + kGuard; ++at) {
            const bool pixel = at >= 0 && at < size && at % pitch < pitch - padding;
            ASSERT_TRUE(pixel || stored[at + kGuard] == 0xA5) << "byte " << at;
        }
        Pixels decoded(source.size(), 0xDEADBEEF);
        DecodeToArgb(format, &stored[kGuard], pitch, kWidth, kHeight, &decoded[kGuard]);
        for (std::size_t i = 0; i < source.size(); ++i) {
            for (int shift : {0, 8, 16, 24})
                ASSERT_LE(std::abs(Channel(decoded[i], shift) - Channel(source[i], shift)), 4) << i;
        }
    }
}

}  // namespace
}  // namespace tintora
