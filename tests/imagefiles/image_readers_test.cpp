// The image readers on files built byte by byte (support/test_files.h): every BMP, TGA and DDS
// variant the readers claim, ImageMagick's files, the DDS writer's header, the choice of reader,
// and the malformed files they must refuse before allocating anything.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/pixel_format.h"
#include "imagefiles/dds_codec.h"
#include "imagefiles/image_file.h"
#include "support/image_magick.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

using Argb = std::vector<std::uint32_t>;
using Words = std::vector<std::uint32_t>;
using Parts = std::vector<std::string>;

// The A8R8G8B8 pixels of a decoded image.
Argb Pixels(const DecodedImage& image) {
    Argb out(static_cast<std::size_t>(image.width) * image.height);
    DecodeToArgb(image.format, image.bytes.data(),
                 static_cast<int>(RowPitchBytes(image.format, image.width)), image.width,
                 image.height, out.data());
    return out;
}

FileBytes StoredBytes(const DecodedImage& image) {
    return FileBytes(image.bytes.begin(), image.bytes.end());
}

DecodedImage Decode(const FileBytes& file, const std::string& name) {
    return DecodeImageFile(file, name, nullptr);
}

FileBytes PeerFile(const std::string& name) {
    return ReadBytes(TINTORA_TEST_DATA_DIR "/peer/" + name);
}

FileBytes Dxt1(std::uint32_t width, std::uint32_t height, std::size_t bytes) {
    DdsLayout layout = {.width = width, .height = height, .pfFlags = 0x4, .fourCC = FourCC("DXT1")};
    layout.data.resize(bytes);
    return MakeDds(layout);
}

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kWhite = 0xFFFFFFFF;

TEST(BmpReader, DecodesEveryLayout) {
    struct Case {
        const char* name;  // a .DIB is a packed DIB, without the file header
        std::uint32_t headerSize;
        std::int32_t width, height;  // negative height: top-down
        std::uint32_t bits, compression, colours;
        Words masks, palette;
        FileBytes pixels;
        Argb want;
    };
    const std::uint32_t D = 0xFF102030, L = 0xFFA0B0C0;
    Words corePalette(256, 0);
    corePalette[7] = 0x0A0B0C;
    corePalette[200] = 0xFFEEDD;
    // First stored row: blue, green; second: red, white. Rows of 6 bytes padded to 8 (bottom-up
    // rows: ImageMagick's bmp24).
    const FileBytes rgb2x2 = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    const FileBytes alpha = {0x10, 0x20, 0x30, 0x80, 0x11, 0x21, 0x31, 0x00};
    const FileBytes zeros = {0x10, 0x20, 0x30, 0x00, 0x11, 0x21, 0x31, 0x00};
    const Words none, argb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const std::uint32_t c0 = 0xFF000001, c1 = 0xFF000002, c2 = 0xFF000003, c3 = 0xFF000004;
    const std::uint32_t skipped = 0;  // pixels a run-length move jumps over
    const Case cases[] = {
        // 1 bit: 10 pixels need 2 bytes, padded to 4 per row.
        {"1bit.bmp", 40, 10, 1, 1, 0, 0, none, Words{0x102030, 0xA0B0C0},
         FileBytes{0b10110000, 0b01000000, 0, 0}, Argb{L, D, L, L, D, D, D, D, D, L}},
        // A short colour table: index 3 lies beyond it and reads as opaque black.
        {"4bit.bmp", 40, 3, 1, 4, 0, 3, none, Words{0x111111, 0x222222, 0x333333},
         FileBytes{0x21, 0x30, 0, 0}, Argb{0xFF333333, 0xFF222222, 0xFF000000}},
        // An OS/2 core header: three-byte colour table entries.
        {"core.bmp", 12, 2, 1, 8, 0, 0, none, corePalette, FileBytes{7, 200, 0, 0},
         Argb{0xFF0A0B0C, 0xFFFFEEDD}},
        {"clip.DIB", 40, 3, 1, 8, 0, 2, none, Words{0x123456, 0x654321}, FileBytes{1, 0, 1, 0},
         Argb{0xFF654321, 0xFF123456, 0xFF654321}},
        // The content decides before the ending.
        {"really-a-bitmap.png", 40, 1, 1, 24, 0, 0, none, none, FileBytes{1, 2, 3, 0},
         Argb{0xFF030201}},
        {"top-down.bmp", 40, 2, -2, 24, 0, 0, none, none, rgb2x2,
         Argb{kBlue, kGreen, kRed, kWhite}},
        // Plain 16 bits are X1R5G5B5: the top bit is not alpha.
        {"x1r5g5b5.bmp", 40, 1, 1, 16, 0, 0, none, none, FileBytes{0x00, 0xFC, 0, 0}, Argb{kRed}},
        {"r5g6b5.bmp", 40, 1, 1, 16, 3, 0, Words{0xF800, 0x07E0, 0x001F}, none,
         FileBytes{0xE0, 0x07, 0, 0}, Argb{kGreen}},
        {"a4r4g4b4.bmp", 124, 1, 1, 16, 3, 0, Words{0x0F00, 0x00F0, 0x000F, 0xF000}, none,
         FileBytes{0x01, 0x8F, 0, 0}, Argb{0x88FF0011}},
        {"a1r5g5b5.bmp", 40, 1, 1, 16, 6, 0, Words{0x7C00, 0x03E0, 0x001F, 0x8000}, none,
         FileBytes{0x1F, 0x00, 0, 0}, Argb{0x000000FF}},
        // BI_RGB: the fourth byte is alpha when any pixel uses it, else the image is opaque.
        {"rgb-alpha.bmp", 40, 2, 1, 32, 0, 0, none, none, alpha, Argb{0x80302010, 0x00312111}},
        {"rgb-zero.bmp", 40, 2, 1, 32, 0, 0, none, none, zeros, Argb{0xFF302010, 0xFF312111}},
        // A V4/V5 alpha mask is honoured exactly, even when it makes every pixel transparent.
        {"v4.bmp", 108, 2, 1, 32, 3, 0, argb, none, alpha, Argb{0x80302010, 0x00312111}},
        {"v5-zero.bmp", 124, 2, 1, 32, 3, 0, argb, none, zeros, Argb{0x00302010, 0x00312111}},
        // Bit fields without an alpha mask: opaque, whatever the fourth byte holds.
        {"no-alpha-mask.bmp", 40, 2, 1, 32, 3, 0, Words{0xFF0000, 0xFF00, 0xFF}, none, alpha,
         Argb{0xFF302010, 0xFF312111}},
        // Masks in R G B A byte order (BI_ALPHABITFIELDS).
        {"rgba-order.bmp", 40, 2, 1, 32, 6, 0, Words{0xFF, 0xFF00, 0xFF0000, 0xFF000000}, none,
         alpha, Argb{0x80102030, 0x00112131}},
        // A V3 (56-byte) header with 10-bit colour fields and a 2-bit alpha field.
        {"v3-wide.bmp", 56, 2, 1, 32, 3, 0, Words{0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
         none, FileBytes{0xFF, 0x03, 0x00, 0xC0, 0x00, 0x00, 0xF0, 0x7F},
         Argb{0xFF0000FF, 0x55FF0000}},
        {"rle8.bmp", 40, 5, 3, 8, 1, 0, none, Words{0x000001, 0x000002, 0x000003, 0x000004},
         FileBytes{
             2, 1,           // bottom row: two of index 1
             0, 3, 2, 3, 0,  // three literal pixels 2, 3, 0
             0,              // padding of the literal run to 16 bits
             0, 0,           // end of row
             0, 2, 1, 0,     // move right by 1 (middle row, x = 1)
             2, 2,           // two of index 2
             0, 0,           // end of row
             7, 3,           // top row: seven of index 3, clipped to the width of 5
             0, 1,           // end of image
         },
         Argb{c3, c3, c3, c3, c3, skipped, c2, c2, skipped, skipped, c1, c1, c2, c3, c0}},
        // Five pixels alternating 1 and 2, then end of image.
        {"rle4.bmp", 40, 6, 1, 4, 2, 0, none, Words{0x0, 0x111111, 0x222222},
         FileBytes{5, 0x12, 0, 1},
         Argb{0xFF111111, 0xFF222222, 0xFF111111, 0xFF222222, 0xFF111111, skipped}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BmpLayout layout = {.headerSize = c.headerSize,
                                  .width = c.width,
                                  .height = c.height,
                                  .bitCount = c.bits,
                                  .compression = c.compression,
                                  .colorsUsed = c.colours,
                                  .masks = c.masks,
                                  .palette = c.palette,
                                  .pixels = c.pixels,
                                  .fileHeader = !std::string(c.name).ends_with(".DIB")};
        EXPECT_EQ(Pixels(Decode(MakeBmp(layout), c.name)), c.want);
    }
}

TEST(TgaReader, DecodesEveryLayout) {
    struct Case {
        const char* name;  // a .bin file has the TGA footer; the others are known by their ending
        std::uint8_t type;
        std::uint16_t width, height;
        std::uint8_t bits, descriptor;  // alpha bits, 0x10 right to left, 0x20 top-down
        std::uint16_t mapFirst;
        std::uint8_t mapBits;
        FileBytes map, pixels;
        Argb want;
    };
    // 2 x 2, stored rows: (blue, green), (red, white).
    const FileBytes square = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    const FileBytes none;
    const Case cases[] = {
        {"bottom-up.TGA", 2, 2, 2, 24, 0x00, 0, 0, none, square, Argb{kRed, kWhite, kBlue, kGreen}},
        {"top-down.tga", 2, 2, 2, 24, 0x20, 0, 0, none, square, Argb{kBlue, kGreen, kRed, kWhite}},
        {"right-left.tga", 2, 2, 2, 24, 0x10, 0, 0, none, square,
         Argb{kWhite, kRed, kGreen, kBlue}},
        {"top-right.tga", 2, 2, 2, 24, 0x30, 0, 0, none, square, Argb{kGreen, kBlue, kWhite, kRed}},
        // No alpha bits declared and every fourth byte 0: opaque (alpha: ImageMagick's tga32).
        {"32-no-alpha.tga", 2, 2, 1, 32, 0x20, 0, 0, none, FileBytes{1, 2, 3, 0, 4, 5, 6, 0},
         Argb{0xFF030201, 0xFF060504}},
        {"16-alpha.tga", 2, 2, 1, 16, 0x21, 0, 0, none, FileBytes{0x1F, 0x80, 0xE0, 0x03},
         Argb{kBlue, 0x0000FF00}},
        {"16.tga", 2, 2, 1, 16, 0x20, 0, 0, none, FileBytes{0x1F, 0x00, 0x00, 0x7C},
         Argb{kBlue, kRed}},
        {"15.tga", 2, 2, 1, 15, 0x20, 0, 0, none, FileBytes{0x1F, 0x80, 0x00, 0x7C},
         Argb{kBlue, kRed}},
        {"grey-alpha.tga", 3, 2, 1, 16, 0x28, 0, 0, none, FileBytes{0x9A, 0x33, 0x10, 0xFF},
         Argb{0x339A9A9A, 0xFF101010}},
        // Indexes 10..12; 3 lies outside the map: opaque black.
        {"mapped.tga", 1, 4, 1, 8, 0x20, 10, 24,
         FileBytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}, FileBytes{10, 12, 11, 3},
         Argb{0xFF332211, 0xFF998877, 0xFF665544, 0xFF000000}},
        // 16-bit map entries with their alpha bit, 16-bit indexes.
        {"mapped16.tga", 1, 2, 1, 16, 0x21, 0, 16, FileBytes{0x00, 0xFC, 0x1F, 0x00},
         FileBytes{1, 0, 0, 0}, Argb{0x000000FF, kRed}},
        // A run of 4 red pixels crossing into the second row, then 2 literal pixels.
        {"runs.bin", 10, 3, 2, 24, 0x20, 0, 0, none,
         FileBytes{0x83, 0, 0, 0xFF, 0x01, 0xFF, 0, 0, 0, 0xFF, 0},
         Argb{kRed, kRed, kRed, kRed, kBlue, kGreen}},
        // Colour-mapped and run-length encoded: a run of 2, a literal of 1.
        {"mapped-runs.tga", 9, 3, 1, 8, 0, 0, 32, FileBytes{1, 2, 3, 4, 5, 6, 7, 8},
         FileBytes{0x81, 1, 0x00, 0}, Argb{0x08070605, 0x08070605, 0x04030201}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TgaLayout layout = {.imageType = c.type,
                                  .mapType = c.map.empty() ? std::uint8_t{0} : std::uint8_t{1},
                                  .mapFirst = c.mapFirst,
                                  .mapLength = static_cast<std::uint16_t>(
                                      c.map.empty() ? 0 : c.map.size() * 8 / c.mapBits),
                                  .mapBits = c.mapBits,
                                  .width = c.width,
                                  .height = c.height,
                                  .bits = c.bits,
                                  .descriptor = c.descriptor,
                                  .id = {'i', 'd'},
                                  .map = c.map,
                                  .pixels = c.pixels,
                                  .footer = std::string(c.name).ends_with(".bin")};
        EXPECT_EQ(Pixels(Decode(MakeTga(layout), c.name)), c.want);
    }
}

// ImageMagick 6 widens the 4-bit fields of an ARGB4444 bitmap by shifting (15 -> 240); we repeat
// the bits (15 -> 255) as for every other narrow channel. Gives ImageMagick's pixels our way.
Argb RepeatNibbles(Argb pixels) {
    for (std::uint32_t& c : pixels)
        c |= (c >> 4) & 0x0F0F0F0F;
    return pixels;
}

// Compares every peer file in dir with the pixels stored beside it; returns how many it checked.
// Our decode may differ from ImageMagick's only in 16-bit PNG channels, which Qt rounds to 8 bits
// and ImageMagick truncates. JPEG (libjpeg-turbo on both sides) and DXT match exactly.
int CheckPeerFiles(const std::filesystem::path& dir) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".rgba") continue;
        SCOPED_TRACE(name);
        Argb want = ArgbFromRgbaBytes(ReadBytes(entry.path().string() + ".rgba"));
        if (name == "bmp16_4444.bmp") want = RepeatNibbles(std::move(want));
        const int tolerance = name.ends_with("16.png") ? 1 : 0;
        try {
            const Argb got = Pixels(ReadImageFile(entry.path().string(), nullptr));
            EXPECT_EQ(got.size(), want.size());
            EXPECT_LE(MaxChannelDifference(got, want), tolerance);
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
        ++checked;
    }
    return checked;
}

// ImageMagick's files (a set made by tests/data/make_peer_files.sh is kept in tests/data/peer, so
// that the check also runs without ImageMagick) open with the pixels it decodes from them.
TEST(ImageReaders, ImageMagickFilesOpenWithItsPixels) {
    EXPECT_EQ(CheckPeerFiles(TINTORA_TEST_DATA_DIR "/peer"), 28);
    if (!HaveImageMagick()) GTEST_SKIP() << "convert-im6.q16 is not installed";
    ScratchDir dir;
    RunCommand("'" TINTORA_TEST_DATA_DIR "/make_peer_files.sh' '" + dir.path().string() + "'");
    EXPECT_EQ(CheckPeerFiles(dir.path()), 28);
}

// Mask layouts with a Direct3D 8 format keep it and their bytes; others are converted.
TEST(DdsReader, MaskLayouts) {
    struct Case {
        D3DFORMAT format;
        std::uint32_t pfFlags;
        std::uint32_t bits;
        std::uint32_t r, g, b, a;
        FileBytes pixel;  // one pixel as stored
        std::uint32_t want;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {1, 2, 3, 4}, 0x04030201},
        {D3DFMT_X8R8G8B8, 0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0, {1, 2, 3, 4}, 0xFF030201},
        {D3DFMT_A8B8G8R8, 0x41, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, {1, 2, 3, 4}, 0x04010203},
        {D3DFMT_R8G8B8, 0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0, {1, 2, 3}, 0xFF030201},
        {D3DFMT_R5G6B5, 0x40, 16, 0xF800, 0x7E0, 0x1F, 0, {0x00, 0xF8}, 0xFFFF0000},
        {D3DFMT_X1R5G5B5, 0x40, 16, 0x7C00, 0x3E0, 0x1F, 0, {0xE0, 0x03}, 0xFF00FF00},
        {D3DFMT_A1R5G5B5, 0x41, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, {0x1F, 0x80}, 0xFF0000FF},
        {D3DFMT_A4R4G4B4, 0x41, 16, 0xF00, 0xF0, 0xF, 0xF000, {0x21, 0x43}, 0x44332211},
        {D3DFMT_A8, 0x2, 8, 0, 0, 0, 0xFF, {0x7F}, 0x7F000000},
        {D3DFMT_L8, 0x20000, 8, 0xFF, 0, 0, 0, {0x42}, 0xFF424242},
        {D3DFMT_A8L8, 0x20001, 16, 0xFF, 0, 0, 0xFF00, {0x42, 0x99}, 0x99424242},
        // No Direct3D 8 format: X8B8G8R8 and A4L4 (4-bit alpha over 4-bit luminance).
        {D3DFMT_UNKNOWN, 0x40, 32, 0xFF, 0xFF00, 0xFF0000, 0, {1, 2, 3, 0}, 0xFF010203},
        {D3DFMT_UNKNOWN, 0x20001, 8, 0x0F, 0, 0, 0xF0, {0x5A}, 0x55AAAAAA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << FormatName(c.format) << " " << c.want);
        DdsLayout layout = {.width = 1, .height = 1, .pfFlags = c.pfFlags, .bitCount = c.bits};
        layout.masks[0] = c.r, layout.masks[1] = c.g, layout.masks[2] = c.b, layout.masks[3] = c.a;
        layout.data = c.pixel;
        const DecodedImage image = Decode(MakeDds(layout), "masks.dds");
        if (c.format == D3DFMT_UNKNOWN) {
            EXPECT_EQ(image.format, D3DFMT_A8R8G8B8);
        } else {
            EXPECT_EQ(image.format, c.format);
            EXPECT_EQ(StoredBytes(image), c.pixel);
        }
        EXPECT_EQ(Pixels(image), Argb{c.want});
    }
}

TEST(DdsReader, BlockAndDx10FormatsKeepTheirBytes) {
    FileBytes block16(16, 0);
    block16[8] = 0x1F;  // a colour block with a blue endpoint
    const FileBytes block8(block16.begin() + 8, block16.end());
    struct Case {
        const char* name;
        bool dx10;
        std::uint32_t code;  // FourCC, or DXGI format with dx10
        std::uint32_t alphaMode;
        D3DFORMAT want;
    };
    const Case cases[] = {
        {"DXT1", false, D3DFMT_DXT1, 0, D3DFMT_DXT1},
        {"DXT2", false, D3DFMT_DXT2, 0, D3DFMT_DXT2},
        {"DXT3", false, D3DFMT_DXT3, 0, D3DFMT_DXT3},
        {"DXT4", false, D3DFMT_DXT4, 0, D3DFMT_DXT4},
        {"DXT5", false, D3DFMT_DXT5, 0, D3DFMT_DXT5},
        {"BC1 sRGB", true, 72, 0, D3DFMT_DXT1},
        {"BC2", true, 74, 0, D3DFMT_DXT3},
        {"BC2 premultiplied", true, 74, 2, D3DFMT_DXT2},
        {"BC3", true, 77, 1, D3DFMT_DXT5},
        {"BC3 premultiplied", true, 78, 2, D3DFMT_DXT4},
        {"R8G8B8A8", true, 28, 0, D3DFMT_A8B8G8R8},
        {"B8G8R8A8 sRGB", true, 91, 0, D3DFMT_A8R8G8B8},
        {"B8G8R8X8", true, 88, 0, D3DFMT_X8R8G8B8},
        // Some writers store a Direct3D format number as the code.
        {"numbered A4R4G4B4", false, 26, 0, D3DFMT_A4R4G4B4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes =
            static_cast<std::size_t>(RowPitchBytes(c.want, 4) * StorageRows(c.want, 4));
        const FileBytes data = c.want == D3DFMT_DXT1       ? block8
                               : IsBlockCompressed(c.want) ? block16
                                                           : FileBytes(bytes, 0x7E);
        DdsLayout layout = {.pfFlags = 0x4, .fourCC = c.code, .dx10 = c.dx10, .dxgi = c.code};
        layout.alphaMode = c.alphaMode;
        layout.data = data;
        const DecodedImage image = Decode(MakeDds(layout), "c.dds");
        EXPECT_EQ(image.format, c.want);
        EXPECT_EQ(image.width, 4);
        EXPECT_EQ(StoredBytes(image), data);
    }
}

TEST(DdsReader, TopLevelOfAChainAndWholeBlocksOfAnOddSize) {
    FileBytes levels(8 * 4 + (2 + 1) * 4, 0xEE);  // 4 x 2, then 2 x 1 and 1 x 1 levels
    for (std::uint8_t i = 0; i < 8 * 4; ++i)
        levels[i] = i;
    const DecodedImage chain =
        Decode(MakeDds({.height = 2, .flags = 0x1007 | 0x20000, .mipCount = 3, .data = levels}),
               "mips.dds");
    EXPECT_EQ(chain.fileMipLevels, 3u);
    EXPECT_EQ(StoredBytes(chain), FileBytes(levels.begin(), levels.begin() + 32));

    // 5 x 3 pixels: 2 x 1 blocks (a short file is refused in the table below).
    EXPECT_EQ(Decode(Dxt1(5, 3, 16), "odd.dds").bytes.size(), 16u);
}

// The header fields other readers rely on and ours does not: the flags and the pitch or the
// linear size (ImageMagick's round trips check the rest of the header).
TEST(DdsWriter, HeaderGivesPitchOrLinearSize) {
    const struct {
        D3DFORMAT format;
        std::uint32_t flags;  // pitch (0x8) or linear size (0x80000)
        std::uint32_t pitchOrSize;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0x8, 6 * 4},
        {D3DFMT_L8, 0x8, 6},
        {D3DFMT_DXT1, 0x80000, 2 * 2 * 8},
        {D3DFMT_DXT3, 0x80000, 2 * 2 * 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        // 6 x 5 pixels from rows padded by 3 bytes.
        const auto pitch = static_cast<int>(RowPitchBytes(c.format, 6)) + 3;
        const FileBytes source(static_cast<std::size_t>(pitch * StorageRows(c.format, 5)), 7);
        const ByteBuffer file = EncodeDds(c.format, source.data(), pitch, 6, 5);
        EXPECT_EQ(LoadLe32(&file[8]), 0x1007u | c.flags);
        EXPECT_EQ(LoadLe32(&file[20]), c.pitchOrSize);
    }
}

// ---------------------------------------------------------------------------------------------
// Malformed files

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutPngChunk(FileBytes& png, const char* type, const FileBytes& payload) {
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<std::uint8_t>(payload.size() >> shift));
    FileBytes typed(type, type + 4);
    Append(typed, payload);
    Append(png, typed);
    const std::uint32_t crc = Crc32(typed.data(), typed.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<std::uint8_t>(crc >> shift));
}

FileBytes Cut(FileBytes bytes, std::size_t keep) {
    bytes.resize(keep);
    return bytes;
}

FileBytes Poke(FileBytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

// Every refusal names the file in quotes and says why; each is made before any allocation the
// header alone would ask for.
TEST(ImageReaders, RefuseMalformedFiles) {
    const FileBytes bmp = MakeBmp({.width = 4, .height = 4, .pixels = FileBytes(48, 0x55)});
    const FileBytes px(64, 0);  // 4 x 4 A8R8G8B8
    const FileBytes dds = MakeDds({.data = px});
    // A valid PNG header claiming 65535 x 65535 RGBA pixels, and nothing else.
    FileBytes hugePng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutPngChunk(hugePng, "IHDR", {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 8, 6, 0, 0, 0});
    PutPngChunk(hugePng, "IEND", {});
    // A small image whose text chunk after the pixels claims 1.1 GB that the file does not hold
    // (libpng would allocate the claimed length first).
    const FileBytes png = PeerFile("png_rgba.png");
    FileBytes liarPng(png.begin(), png.end() - 12);  // without IEND
    PutPngChunk(liarPng, "tEXt", FileBytes(40, 'a'));
    liarPng[liarPng.size() - 52] = 0x45;  // the length's top byte: 0x45000028
    PutPngChunk(liarPng, "IEND", {});
    const FileBytes jpg = PeerFile("jpg.jpg");
    // A JPEG frame header (SOF0) claiming 65535 x 65535, with a scan and an end marker.
    const FileBytes hugeJpg = {0xFF, 0xD8, 0xFF, 0xC0, 0,  11, 8,    0xFF, 0xFF, 0xFF,
                               0xFF, 1,    1,    0x11, 0,  0,  0xFF, 0xDA, 0,    8,
                               1,    1,    0,    0,    63, 0,  0xFF, 0xD9};
    // Runs that stop before the image is complete and without an end-of-image mark.
    const FileBytes bmpRuns = {3, 1, 0, 0, 2};
    const FileBytes tgaRuns = {0x83, 0, 0, 0xFF, 0x01, 0xFF, 0, 0, 0, 0xFF, 0};
    const std::int32_t big = 65535;

    struct Case {
        const char* name;
        FileBytes file;
        Parts parts;
    };
    const Case cases[] = {
        {"cut.bmp", Cut(bmp, bmp.size() - 13),
         Parts{"claims 4 x 4 pixels", "holds only 35", "truncated"}},
        {"hdr.bmp", Cut(bmp, 30), Parts{"truncated", "information header"}},
        {"tiny.bmp", FileBytes{'B', 'M', 1, 2}, Parts{"truncated"}},
        {"odd.bmp", Poke(bmp, 14, 41), Parts{"unknown size (41 bytes)"}},
        {"bits.bmp", MakeBmp({.bitCount = 7}), Parts{"7 bits per pixel"}},
        {"jpeg.bmp", MakeBmp({.compression = 4}), Parts{"embedded JPEG"}},
        {"zero.bmp", MakeBmp({.width = 0, .height = 4}), Parts{"zero-sized (0 x 4 pixels)"}},
        {"flat.bmp", MakeBmp({.width = 4, .height = 0}), Parts{"zero-sized (4 x 0 pixels)"}},
        {"liar.bmp", MakeBmp({.width = big, .height = -big, .bitCount = 32, .pixels = px}),
         Parts{"claims 65535 x 65535 pixels", "holds only 64"}},
        {"min.bmp", MakeBmp({.width = big, .height = INT32_MIN, .bitCount = 32, .pixels = px}),
         Parts{"claims 65535 x 2147483648 pixels"}},
        {"wide.bmp", MakeBmp({.width = 8193, .pixels = FileBytes(24580, 0)}),
         Parts{"8193 x 1 pixels", "largest texture (8192 x 8192)"}},
        {"cut-rle.bmp",
         MakeBmp({.width = 5,
                  .height = 3,
                  .bitCount = 8,
                  .compression = 1,
                  .palette = {1, 2, 3, 4},
                  .pixels = bmpRuns}),
         Parts{"truncated", "run-length"}},
        {"liar.tga", MakeTga({.width = big, .height = big, .bits = 32, .pixels = px}),
         Parts{"claims 65535 x 65535 pixels", "holds only 64"}},
        {"liar-rle.tga", MakeTga({.imageType = 10, .width = big, .height = big, .pixels = px}),
         Parts{"claims 65535 x 65535 pixels"}},
        {"zero.tga", MakeTga({.width = 0}), Parts{"zero-sized"}},
        {"none.tga", MakeTga({.imageType = 0}), Parts{"without image data"}},
        {"u.tga", MakeTga({.imageType = 33}), Parts{"not a supported image", "type 33"}},
        {"nomap.tga", MakeTga({.imageType = 1, .bits = 8, .pixels = {0}}),
         Parts{"without a usable colour map"}},
        {"bits.tga", MakeTga({.bits = 12}), Parts{"12 bits per pixel"}},
        {"short.tga", FileBytes{0, 0, 2}, Parts{"truncated", "shorter than a TGA header"}},
        {"cut-rle.tga", MakeTga({.imageType = 10, .width = 3, .height = 3, .pixels = tgaRuns}),
         Parts{"truncated", "6 of 9 pixels"}},
        {"liar.dds", Dxt1(big, big, 72),
         Parts{"claims 65535 x 65535 pixels", "DXT1 blocks", "holds only 72"}},
        {"huge.dds", Dxt1(10000, 4, 2500 * 8), Parts{"10000 x 4 pixels", "largest texture"}},
        {"odd.dds", Dxt1(5, 3, 15), Parts{"claims 5 x 3 pixels", "16 bytes", "holds only 15"}},
        {"zero.dds", MakeDds({.height = 0, .data = px}), Parts{"zero-sized (4 x 0 pixels)"}},
        {"cube.dds", MakeDds({.caps2 = 0x200 | 0xFC00, .data = px}), Parts{"is a cube map"}},
        {"cube10.dds", MakeDds({.dx10 = true, .dxgi = 28, .misc = 4, .data = px}),
         Parts{"is a cube map"}},
        {"vol.dds", MakeDds({.flags = 0x801007, .depth = 4, .caps2 = 0x200000, .data = px}),
         Parts{"is a volume texture"}},
        {"vol10.dds", MakeDds({.dx10 = true, .dxgi = 28, .dimension = 4, .data = px}),
         Parts{"is a volume texture"}},
        {"array.dds", MakeDds({.dx10 = true, .dxgi = 28, .arraySize = 6, .data = px}),
         Parts{"array of 6 textures"}},
        {"bc7.dds", MakeDds({.dx10 = true, .dxgi = 98, .data = px}), Parts{"DXGI format 98"}},
        {"ati2.dds", MakeDds({.pfFlags = 0x4, .fourCC = FourCC("ATI2"), .data = px}),
         Parts{"\"ATI2\""}},
        {"mask.dds", MakeDds({.bitCount = 16, .data = px}), Parts{"masks that do not fit"}},
        {"size.dds", Poke(dds, 4, 100), Parts{"damaged DDS header"}},
        {"short.dds", Cut(dds, 100), Parts{"truncated", "100 bytes"}},
        {"dx10.dds", Cut(MakeDds({.dx10 = true}), 140), Parts{"truncated", "DX10"}},
        // Qt decodes PNG and JPEG; the size and the chunk lengths are checked first.
        {"huge.png", hugePng, Parts{"65535 x 65535 pixels", "largest texture"}},
        {"liar.png", liarPng, Parts{"truncated", "before its end chunk"}},
        {"cut.png", Cut(png, png.size() / 2), Parts{"truncated"}},
        {"huge.jpg", hugeJpg, Parts{"65535 x 65535 pixels", "largest texture"}},
        {"cut.jpg", Cut(jpg, jpg.size() / 2), Parts{"truncated"}},
        {"old.xyz", MakeTga({.pixels = {1, 2, 3}}), Parts{"not a supported image"}},
        {"notes.png", FileBytes{'h', 'i'}, Parts{"not a supported image", "do not match", ".png"}},
        {"noise.bin", FileBytes(300, 0x5A), Parts{"not a supported image"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Decode(c.file, c.name);
            ADD_FAILURE() << "was read";
        } catch (const PlatformError& error) {
            const std::string message = error.what();
            EXPECT_EQ(error.code(), D3DXERR_INVALIDDATA) << message;
            EXPECT_NE(message.find("\"" + std::string(c.name) + "\""), std::string::npos);
            for (const std::string& part : c.parts)
                EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
        }
    }
}

}  // namespace
}  // namespace tintora::testing
