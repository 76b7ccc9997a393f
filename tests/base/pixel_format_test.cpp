#include "base/pixel_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
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

// Inputs of the round-trip table: extremes, mid grey with alpha 128, and an uneven colour
// (A 0x7F, R 0x20, G 0x40, B 0x60).
constexpr std::array<std::uint32_t, 4> kInputs = {0xFFFFFFFF, 0x00000000, 0x80808080, 0x7F204060};

struct RoundTripCase {
    D3DFORMAT format;
    std::array<std::uint32_t, 4> expected;
};

// Expected values worked out by hand: narrow with round(v x max / 255), widen by bit replication.
//   5 bits: 128 -> 16 -> 132 (0x84); 32 -> 4 -> 33 (0x21); 64 -> 8 -> 66 (0x42); 96 -> 12 -> 99
//   6 bits: 128 -> 32 -> 130 (0x82); 64 -> 16 -> 65 (0x41)
//   4 bits: 128 -> 8 -> 0x88; 127 -> 7 -> 0x77; 32 -> 2 -> 0x22; 64 -> 4 -> 0x44; 96 -> 6 -> 0x66
//   luminance of (32, 64, 96): (54 x 32 + 183 x 64 + 19 x 96 + 128) >> 8 = 60 (0x3C)
const RoundTripCase kRoundTrips[] = {
    {D3DFMT_A8R8G8B8, {0xFFFFFFFF, 0x00000000, 0x80808080, 0x7F204060}},
    {D3DFMT_X8R8G8B8, {0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFF204060}},
    {D3DFMT_A8B8G8R8, {0xFFFFFFFF, 0x00000000, 0x80808080, 0x7F204060}},
    {D3DFMT_R8G8B8, {0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFF204060}},
    {D3DFMT_R5G6B5, {0xFFFFFFFF, 0xFF000000, 0xFF848284, 0xFF214163}},
    {D3DFMT_X1R5G5B5, {0xFFFFFFFF, 0xFF000000, 0xFF848484, 0xFF214263}},
    {D3DFMT_A1R5G5B5, {0xFFFFFFFF, 0x00000000, 0xFF848484, 0x00214263}},
    {D3DFMT_A4R4G4B4, {0xFFFFFFFF, 0x00000000, 0x88888888, 0x77224466}},
    {D3DFMT_X4R4G4B4, {0xFFFFFFFF, 0xFF000000, 0xFF888888, 0xFF224466}},
    {D3DFMT_A8, {0xFF000000, 0x00000000, 0x80000000, 0x7F000000}},
    {D3DFMT_L8, {0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFF3C3C3C}},
    {D3DFMT_A8L8, {0xFFFFFFFF, 0x00000000, 0x80808080, 0x7F3C3C3C}},
};

TEST(PixelFormat, RoundTripGivesQuantisedValues) {
    const Pixels input(kInputs.begin(), kInputs.end());
    for (const RoundTripCase& c : kRoundTrips) {
        SCOPED_TRACE(FormatName(c.format));
        ASSERT_TRUE(CanDecode(c.format));
        ASSERT_TRUE(CanEncode(c.format));
        const Pixels out = RoundTrip(c.format, input, 4, 1);
        for (std::size_t i = 0; i < kInputs.size(); ++i) {
            EXPECT_EQ(out[i], c.expected[i]) << std::hex << "input 0x" << kInputs[i];
        }
    }
}

struct LayoutCase {
    D3DFORMAT format;
    std::uint32_t argb;
    Bytes stored;
};

TEST(PixelFormat, StoredByteLayoutAndPadding) {
    const LayoutCase cases[] = {
        {D3DFMT_A8R8G8B8, 0x11223344, {0x44, 0x33, 0x22, 0x11}},
        {D3DFMT_X8R8G8B8, 0x00123456, {0x56, 0x34, 0x12, 0xFF}},
        {D3DFMT_A8B8G8R8, 0x11223344, {0x22, 0x33, 0x44, 0x11}},
        {D3DFMT_R8G8B8, 0x11223344, {0x44, 0x33, 0x22}},
        {D3DFMT_R5G6B5, 0xFFFF0000, {0x00, 0xF8}},
        {D3DFMT_R5G6B5, 0xFF00FF00, {0xE0, 0x07}},
        {D3DFMT_R5G6B5, 0xFF0000FF, {0x1F, 0x00}},
        {D3DFMT_X1R5G5B5, 0x00000000, {0x00, 0x80}},
        {D3DFMT_X1R5G5B5, 0xFF00FF00, {0xE0, 0x83}},
        {D3DFMT_A1R5G5B5, 0x80000000, {0x00, 0x80}},
        {D3DFMT_A1R5G5B5, 0x7FFF0000, {0x00, 0x7C}},
        {D3DFMT_A4R4G4B4, 0x80FF0000, {0x00, 0x8F}},
        {D3DFMT_A4R4G4B4, 0x0000FF11, {0xF1, 0x00}},
        {D3DFMT_X4R4G4B4, 0x00000000, {0x00, 0xF0}},
        {D3DFMT_A8, 0x5AFFFFFF, {0x5A}},
        {D3DFMT_L8, 0xFFFF0000, {54}},
        {D3DFMT_L8, 0xFF00FF00, {182}},  // (183 x 255 + 128) >> 8
        {D3DFMT_A8L8, 0x40FFFFFF, {0xFF, 0x40}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        EXPECT_EQ(Encode(c.format, {c.argb}, 1, 1), c.stored) << std::hex << c.argb;
    }
    // Padding bits are ignored on decoding.
    EXPECT_EQ(Decode(D3DFMT_X8R8G8B8, {0x56, 0x34, 0x12, 0x00}, 1, 1)[0], 0xFF123456u);
    EXPECT_EQ(Decode(D3DFMT_X1R5G5B5, {0x1F, 0x00}, 1, 1)[0], 0xFF0000FFu);
    EXPECT_EQ(Decode(D3DFMT_X4R4G4B4, {0x00, 0x0F}, 1, 1)[0], 0xFFFF0000u);
}

// Every 8-bit value through each narrow channel: stays within half a step, never reorders two
// values, and values that are already representable come back exactly.
TEST(PixelFormat, NarrowChannelsQuantiseMonotonically) {
    struct ChannelCase {
        D3DFORMAT format;
        int shift;
        int maxError;
    };
    const ChannelCase cases[] = {
        {D3DFMT_R5G6B5, 16, 4},     {D3DFMT_R5G6B5, 8, 2},    {D3DFMT_R5G6B5, 0, 4},
        {D3DFMT_X1R5G5B5, 8, 4},    {D3DFMT_A4R4G4B4, 24, 8}, {D3DFMT_A4R4G4B4, 0, 8},
        {D3DFMT_A1R5G5B5, 24, 127},
    };
    for (const ChannelCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << FormatName(c.format) << " shift " << c.shift);
        Pixels ramp(256);
        for (std::uint32_t v = 0; v < 256; ++v)
            ramp[v] = 0xFF000000u | (v << c.shift) | v;
        if (c.shift == 24) {
            for (std::uint32_t v = 0; v < 256; ++v)
                ramp[v] = v << 24;
        }
        const Pixels once = RoundTrip(c.format, ramp, 256, 1);
        const Pixels twice = RoundTrip(c.format, once, 256, 1);
        int previous = -1;
        for (int v = 0; v < 256; ++v) {
            const int out = Channel(once[v], c.shift);
            EXPECT_LE(std::abs(out - v), c.maxError) << "value " << v;
            EXPECT_GE(out, previous) << "value " << v;
            EXPECT_EQ(twice[v], once[v]) << "value " << v;
            previous = out;
        }
        EXPECT_EQ(Channel(once[0], c.shift), 0);
        EXPECT_EQ(Channel(once[255], c.shift), 255);
    }
}

TEST(PixelFormat, DepthAndUnknownFormatsAreRefused) {
    std::uint8_t stored[16] = {};
    std::uint32_t argb[4] = {};
    const auto code = [](auto&& call) {
        try {
            call();
        } catch (const PlatformError& e) {
            return e.code();
        }
        return D3D_OK;
    };
    for (D3DFORMAT format : {D3DFMT_UNKNOWN, D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32}) {
        SCOPED_TRACE(FormatName(format));
        EXPECT_FALSE(CanDecode(format) || CanEncode(format));
        EXPECT_EQ(code([&] { DecodeToArgb(format, stored, 16, 1, 1, argb); }),
                  D3DERR_WRONGTEXTUREFORMAT);
        EXPECT_EQ(code([&] { EncodeFromArgb(format, argb, 1, 1, stored, 16); }),
                  D3DERR_WRONGTEXTUREFORMAT);
    }
}

// A DXT3 block: 4-bit alphas for pixels 0..15 (low nibble first), then colour endpoints
// c0 = pure red, c1 = pure blue, all indices 0 (colour c0).
Bytes Dxt3RedBlock() {
    Bytes block(16);
    for (int i = 0; i < 16; i += 2)
        block[i / 2] = static_cast<std::uint8_t>(i | ((i + 1) << 4));
    const Bytes colour = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
    std::copy(colour.begin(), colour.end(), block.begin() + 8);
    return block;
}

TEST(PixelFormat, Dxt3AlphaIsExplicitFourBit) {
    const Pixels decoded = Decode(D3DFMT_DXT3, Dxt3RedBlock(), 4, 4);
    for (std::uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(decoded[i], ((i * 17) << 24) | 0x00FF0000u) << "pixel " << i;
    }

    // Encoding: multiples of 17 survive exactly, other alphas round to the nearest step.
    Pixels source(16);
    for (std::uint32_t i = 0; i < 16; ++i)
        source[i] = ((i * 17) << 24) | 0x00FF0000u;
    source[1] = 0x08FF0000;  // 8 x 15 / 255 = 0.47 -> 0
    source[2] = 0x09FF0000;  // 9 x 15 / 255 = 0.53 -> 1 (17)
    const Pixels round = RoundTrip(D3DFMT_DXT3, source, 4, 4);
    for (std::uint32_t i = 0; i < 16; ++i) {
        const std::uint32_t expected = i == 1 ? 0 : i == 2 ? 17 : i * 17;
        EXPECT_EQ(round[i] >> 24, expected) << "pixel " << i;
        EXPECT_EQ(round[i] & 0xFFFFFF, 0xFF0000u) << "pixel " << i;
    }
}

TEST(PixelFormat, SolidBlocksSurviveCompression) {
    const std::uint32_t colour = 0xFF3366CC;
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        SCOPED_TRACE(FormatName(format));
        const Pixels out = RoundTrip(format, Pixels(16, colour), 4, 4);
        for (std::uint32_t pixel : out) {
            EXPECT_EQ(pixel >> 24, 0xFFu);
            EXPECT_LE(std::abs(Channel(pixel, 16) - 0x33), 4);
            EXPECT_LE(std::abs(Channel(pixel, 8) - 0x66), 2);
            EXPECT_LE(std::abs(Channel(pixel, 0) - 0xCC), 4);
        }
    }
    // DXT1 keeps one bit of alpha: transparent pixels come back as transparent black.
    Pixels mixed(16, colour);
    mixed[5] = 0x10FFFFFF;
    const Pixels out = RoundTrip(D3DFMT_DXT1, mixed, 4, 4);
    EXPECT_EQ(out[5], 0x00000000u);
    EXPECT_EQ(out[6] >> 24, 0xFFu);
    // DXT5 interpolated alpha reproduces a two-valued block exactly (both are endpoints).
    Pixels twoAlphas(16, 0x20FFFFFF);
    for (int i = 8; i < 16; ++i)
        twoAlphas[i] = 0xC0FFFFFF;
    const Pixels alphas = RoundTrip(D3DFMT_DXT5, twoAlphas, 4, 4);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(alphas[i] >> 24, twoAlphas[i] >> 24) << "pixel " << i;
}

TEST(PixelFormat, PremultipliedFormatsKeepStoredColours) {
    // Red 15 of 31 (123 after widening) with alpha 8 of 15 (136): decoding must not divide the
    // colour by alpha (which would give about 230).
    Bytes block = Dxt3RedBlock();
    std::fill(block.begin(), block.begin() + 8, 0x88);
    block[8] = 0x00;
    block[9] = 0x78;
    const Pixels dxt2 = Decode(D3DFMT_DXT2, block, 4, 4);
    EXPECT_EQ(dxt2, Decode(D3DFMT_DXT3, block, 4, 4));
    for (std::uint32_t pixel : dxt2)
        EXPECT_EQ(pixel, 0x887B0000u);

    // DXT4 is DXT5 bytes: alpha endpoints 128 and 0, every index 0 -> alpha 128.
    Bytes dxt5Block = {128, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x78, 0x1F, 0x00, 0, 0, 0, 0};
    const Pixels dxt4 = Decode(D3DFMT_DXT4, dxt5Block, 4, 4);
    EXPECT_EQ(dxt4, Decode(D3DFMT_DXT5, dxt5Block, 4, 4));
    for (std::uint32_t pixel : dxt4)
        EXPECT_EQ(pixel, 0x807B0000u);

    // Encoding stores the colours as given, like the unpremultiplied twin.
    const Pixels premultiplied(16, 0x80404040);
    EXPECT_EQ(Encode(D3DFMT_DXT2, premultiplied, 4, 4), Encode(D3DFMT_DXT3, premultiplied, 4, 4));
    EXPECT_EQ(Encode(D3DFMT_DXT4, premultiplied, 4, 4), Encode(D3DFMT_DXT5, premultiplied, 4, 4));
}

// A 5 x 3 image: the block formats cover it with 2 x 1 partial blocks and the plain formats get
// rows with 3 bytes of padding. Canaries around every buffer and in the padding catch reads and
// writes outside the image.
TEST(PixelFormat, OddSizesStayInBounds) {
    constexpr int kWidth = 5, kHeight = 3, kGuard = 64, kCount = kWidth * kHeight;
    constexpr std::uint8_t kCanary = 0xA5;
    constexpr std::uint32_t kPixelCanary = 0xDEADBEEF;
    const auto untouched = [](const auto* from, int n, auto canary) {
        return std::count(from, from + n, canary) == n;
    };
    Pixels source(kGuard + kCount + kGuard, kPixelCanary);
    for (int i = 0; i < kCount; ++i)  // two solid blocks side by side: columns 0-3 and column 4
        source[kGuard + i] = i % kWidth < 4 ? 0xFF2040C0 : 0xFFC04020;
    const D3DFORMAT formats[] = {D3DFMT_DXT1,     D3DFMT_DXT3,     D3DFMT_DXT5,
                                 D3DFMT_R8G8B8,   D3DFMT_R5G6B5,   D3DFMT_A8,
                                 D3DFMT_A8R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_A8L8};
    for (D3DFORMAT format : formats) {
        SCOPED_TRACE(FormatName(format));
        const int padding = IsBlockCompressed(format) ? 0 : 3;
        const int pitch = static_cast<int>(RowPitchBytes(format, kWidth)) + padding;
        const int size = pitch * static_cast<int>(StorageRows(format, kHeight));
        Bytes stored(kGuard + size + kGuard, kCanary);
        std::uint8_t* bits = stored.data() + kGuard;
        EncodeFromArgb(format, source.data() + kGuard, kWidth, kHeight, bits, pitch);
        EXPECT_TRUE(untouched(stored.data(), kGuard, kCanary));
        EXPECT_TRUE(untouched(bits + size, kGuard, kCanary));
        for (int y = 0; y < kHeight; ++y)
            EXPECT_TRUE(untouched(bits + y * pitch + pitch - padding, padding, kCanary)) << y;

        Pixels decoded(kGuard + kCount + kGuard, kPixelCanary);
        DecodeToArgb(format, bits, pitch, kWidth, kHeight, decoded.data() + kGuard);
        EXPECT_TRUE(untouched(decoded.data(), kGuard, kPixelCanary));
        EXPECT_TRUE(untouched(decoded.data() + kGuard + kCount, kGuard, kPixelCanary));
        // Each block is solid, so every pixel decodes as its colour alone would.
        const std::uint32_t left = RoundTrip(format, {0xFF2040C0}, 1, 1)[0];
        const std::uint32_t right = RoundTrip(format, {0xFFC04020}, 1, 1)[0];
        for (int i = 0; i < kCount; ++i) {
            const std::uint32_t want = i % kWidth < 4 ? left : right;
            for (int shift : {0, 8, 16, 24}) {
                EXPECT_LE(std::abs(Channel(decoded[kGuard + i], shift) - Channel(want, shift)), 4)
                    << "pixel " << i << " shift " << shift;
            }
        }
    }
}

// Large images run in parallel bands; the result must not depend on where the bands fall: the
// whole image converts as its strips of four rows (one block row) do on their own.
TEST(PixelFormat, LargeImagesMatchStripByStripConversion) {
    constexpr int kWidth = 517;
    constexpr int kHeight = 301;
    Pixels source(static_cast<std::size_t>(kWidth) * kHeight);
    std::uint32_t state = 12345;
    for (std::uint32_t& pixel : source) {
        state = state * 1664525u + 1013904223u;
        pixel = state;
    }
    for (D3DFORMAT format : {D3DFMT_A4R4G4B4, D3DFMT_R8G8B8, D3DFMT_L8, D3DFMT_DXT3}) {
        SCOPED_TRACE(FormatName(format));
        const Pixels whole = RoundTrip(format, source, kWidth, kHeight);
        for (int y = 0; y + 4 <= kHeight; y += 36) {
            const Pixels strip(source.begin() + y * kWidth, source.begin() + (y + 4) * kWidth);
            const Pixels alone = RoundTrip(format, strip, kWidth, 4);
            ASSERT_TRUE(std::equal(alone.begin(), alone.end(), whole.begin() + y * kWidth))
                << "row " << y;
        }
    }
}

}  // namespace
}  // namespace tintora
