// The image readers on files built byte by byte: the variants ImageMagick's files (tests/data/peer)
// do not cover, ImageMagick's files, another encoder's DDS files, the choice of reader, and the
// malformed files they refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "base/error.h"
#include "base/pixel_format.h"
#include "imagefiles/block_decoders.h"
#include "imagefiles/image_file.h"
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

FileBytes Dxt1(std::uint32_t width, std::uint32_t height, std::size_t bytes) {
    DdsLayout layout = {.width = width, .height = height, .pfFlags = 0x4, .fourCC = FourCC("DXT1")};
    layout.data.resize(bytes);
    return MakeDds(layout);
}

FileBytes Cut(FileBytes bytes, std::size_t keep) {
    bytes.resize(keep);
    return bytes;
}

FileBytes Poke(FileBytes bytes, std::size_t at, const FileBytes& values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
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
    Words corePalette(256, 0);
    corePalette[7] = 0x0A0B0C;
    corePalette[200] = 0xFFEEDD;
    // Stored rows of 6 bytes padded to 8: blue, green; red, white.
    const FileBytes rgb2x2 = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    const FileBytes alpha = {0x10, 0x20, 0x30, 0x80, 0x11, 0x21, 0x31, 0x00};
    const FileBytes zeros = {0x10, 0x20, 0x30, 0x00, 0x11, 0x21, 0x31, 0x00};
    const Words none, argb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const std::uint32_t c0 = 0xFF000001, c1 = 0xFF000002, c2 = 0xFF000003, c3 = 0xFF000004,
                        skipped = 0;  // pixels a run-length move jumps over
    const FileBytes png = ReadBytes(TINTORA_TEST_DATA_DIR "/peer/png_rgba.png");
    const FileBytes jpg = ReadBytes(TINTORA_TEST_DATA_DIR "/peer/jpg.jpg");  // both 17 x 13
    const Case cases[] = {
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
        // BI_RGB: the fourth byte is alpha when any pixel uses it, else the image is opaque.
        {"rgb-alpha.bmp", 40, 2, 1, 32, 0, 0, none, none, alpha, Argb{0x80302010, 0x00312111}},
        {"rgb-zero.bmp", 40, 2, 1, 32, 0, 0, none, none, zeros, Argb{0xFF302010, 0xFF312111}},
        // A V5 alpha mask is honoured exactly, even when it makes every pixel transparent.
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
        // Bottom row: two of index 1, three literal pixels 2, 3, 0 (padded to 16 bits), end of
        // row; a move right by 1 to the middle row, two of index 2, end of row; seven of index 3
        // clipped to the width of 5, end of image.
        {"rle8.bmp", 40, 5, 3, 8, 1, 0, none, Words{1, 2, 3, 4},
         FileBytes{2, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 1, 0, 2, 2, 0, 0, 7, 3, 0, 1},
         Argb{c3, c3, c3, c3, c3, skipped, c2, c2, skipped, skipped, c1, c1, c2, c3, c0}},
        // Five pixels alternating 1 and 2, then end of image.
        {"rle4.bmp", 40, 6, 1, 4, 2, 0, none, Words{0x0, 0x111111, 0x222222},
         FileBytes{5, 0x12, 0, 1},
         Argb{0xFF111111, 0xFF222222, 0xFF111111, 0xFF222222, 0xFF111111, skipped}},
        // Embedded PNG and JPEG data (bit count 0): the pixels of their own readers.
        {"png.bmp", 40, 17, 13, 0, 5, 0, none, none, png, Pixels(Decode(png, "a.png"))},
        {"jpeg.DIB", 124, 17, 13, 0, 4, 0, none, none, jpg, Pixels(Decode(jpg, "a.jpg"))},
    };
    for (const Case& c : cases) {
        const BmpLayout bmp = {
            c.headerSize, c.width, c.height,  c.bits,   c.compression,
            c.colours,    c.masks, c.palette, c.pixels, !std::string(c.name).ends_with(".DIB")};
        EXPECT_EQ(Pixels(Decode(MakeBmp(bmp), c.name)), c.want) << c.name;
    }
}

TEST(TgaReader, DecodesEveryLayout) {
    struct Case {
        const char* name;  // a .bin file has the TGA footer; the others are known by their ending
        std::uint8_t type, bits, descriptor, mapBits;  // descriptor 0x10: right to left, 0x20: down
        std::uint16_t width, height, mapFirst;
        FileBytes map, pixels;
        Argb want;
    };
    // 2 x 2, stored rows: (blue, green), (red, white).
    const FileBytes square = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    const FileBytes none;
    const Case cases[] = {
        {"bottom-up.TGA", 2, 24, 0x00, 0, 2, 2, 0, none, square, Argb{kRed, kWhite, kBlue, kGreen}},
        {"top-down.tga", 2, 24, 0x20, 0, 2, 2, 0, none, square, Argb{kBlue, kGreen, kRed, kWhite}},
        {"right-left.tga", 2, 24, 0x10, 0, 2, 2, 0, none, square,
         Argb{kWhite, kRed, kGreen, kBlue}},
        // No alpha bits declared and every fourth byte 0: opaque (alpha: ImageMagick's tga32).
        {"32-no-alpha.tga", 2, 32, 0x20, 0, 2, 1, 0, none, FileBytes{1, 2, 3, 0, 4, 5, 6, 0},
         Argb{0xFF030201, 0xFF060504}},
        {"16-alpha.tga", 2, 16, 0x21, 0, 2, 1, 0, none, FileBytes{0x1F, 0x80, 0xE0, 0x03},
         Argb{kBlue, 0x0000FF00}},
        {"16.tga", 2, 16, 0x20, 0, 2, 1, 0, none, FileBytes{0x1F, 0x00, 0x00, 0x7C},
         Argb{kBlue, kRed}},
        {"grey-alpha.tga", 3, 16, 0x28, 0, 2, 1, 0, none, FileBytes{0x9A, 0x33, 0x10, 0xFF},
         Argb{0x339A9A9A, 0xFF101010}},
        // Indexes 10..12; 3 lies outside the map: opaque black.
        {"mapped.tga", 1, 8, 0x20, 24, 4, 1, 10,
         FileBytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}, FileBytes{10, 12, 11, 3},
         Argb{0xFF332211, 0xFF998877, 0xFF665544, 0xFF000000}},
        // 16-bit map entries with their alpha bit, 16-bit indexes.
        {"mapped16.tga", 1, 16, 0x21, 16, 2, 1, 0, FileBytes{0x00, 0xFC, 0x1F, 0x00},
         FileBytes{1, 0, 0, 0}, Argb{0x000000FF, kRed}},
        // A run of 4 red pixels crossing into the second row, then 2 literal pixels.
        {"runs.bin", 10, 24, 0x20, 0, 3, 2, 0, none,
         FileBytes{0x83, 0, 0, 0xFF, 0x01, 0xFF, 0, 0, 0, 0xFF, 0},
         Argb{kRed, kRed, kRed, kRed, kBlue, kGreen}},
    };
    const FileBytes id = {'i', 'd'};
    for (const Case& c : cases) {
        const std::uint8_t mapped = c.map.empty() ? 0 : 1;
        const auto entries = static_cast<std::uint16_t>(mapped ? c.map.size() * 8 / c.mapBits : 0);
        const bool footer = std::string(c.name).ends_with(".bin");
        const TgaLayout tga = {c.type,  mapped,   c.mapFirst, entries,      c.mapBits,
                               c.width, c.height, c.bits,     c.descriptor, id,
                               c.map,   c.pixels, footer};
        EXPECT_EQ(Pixels(Decode(MakeTga(tga), c.name)), c.want) << c.name;
    }
}

// Compares every peer file in dir with the pixels ImageMagick decodes, stored beside it; returns
// how many it checked. Ours may differ only in 16-bit PNG channels (Qt rounds, ImageMagick
// truncates) and 4-bit bitmap fields (we repeat the bits, ImageMagick shifts: 15 -> 240).
int CheckPeerFiles(const std::filesystem::path& dir) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".rgba") continue;
        SCOPED_TRACE(name);
        Argb want = ArgbFromRgbaBytes(ReadBytes(entry.path().string() + ".rgba"));
        if (name == "bmp16_4444.bmp") {
            for (std::uint32_t& c : want)
                c |= (c >> 4) & 0x0F0F0F0F;
        }
        const Argb got = Pixels(ReadImageFile(entry.path().string(), nullptr));
        EXPECT_LE(MaxChannelDifference(got, want), name.ends_with("16.png") ? 1 : 0);
        ++checked;
    }
    return checked;
}

// A set made by tests/data/make_peer_files.sh is kept, so that the check runs without ImageMagick.
TEST(ImageReaders, ImageMagickFilesOpenWithItsPixels) {
    EXPECT_EQ(CheckPeerFiles(TINTORA_TEST_DATA_DIR "/peer"), 28);
    if (!HaveImageMagick()) GTEST_SKIP() << "convert-im6.q16 is not installed";
    ScratchDir dir;
    const std::string script = TINTORA_TEST_DATA_DIR "/make_peer_files.sh";
    ASSERT_EQ(std::system(("'" + script + "' '" + dir.path().string() + "'").c_str()), 0);
    EXPECT_EQ(CheckPeerFiles(dir.path()), 28);
}

// Mask layouts with a Direct3D 8 format keep it and their bytes; others are converted.
TEST(DdsReader, MaskLayouts) {
    const struct {
        D3DFORMAT format;
        std::uint32_t pfFlags, bits, r, g, b, a;
        FileBytes pixel;  // one pixel as stored
        std::uint32_t want;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {1, 2, 3, 4}, 0x04030201},
        {D3DFMT_A8B8G8R8, 0x41, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, {1, 2, 3, 4}, 0x04010203},
        {D3DFMT_R8G8B8, 0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0, {1, 2, 3}, 0xFF030201},
        {D3DFMT_A1R5G5B5, 0x41, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, {0x1F, 0x80}, 0xFF0000FF},
        {D3DFMT_A8, 0x2, 8, 0, 0, 0, 0xFF, {0x7F}, 0x7F000000},
        {D3DFMT_A8L8, 0x20001, 16, 0xFF, 0, 0, 0xFF00, {0x42, 0x99}, 0x99424242},
        // An alpha mask wholly beyond the 8 bits: a stale field, not a channel.
        {D3DFMT_L8, 0x20001, 8, 0xFF, 0, 0, 0xFF00, {0x42}, 0xFF424242},
        // No Direct3D 8 format: X8B8G8R8 and A4L4 (4-bit alpha over 4-bit luminance).
        {D3DFMT_UNKNOWN, 0x40, 32, 0xFF, 0xFF00, 0xFF0000, 0, {1, 2, 3, 0}, 0xFF010203},
        {D3DFMT_UNKNOWN, 0x20001, 8, 0x0F, 0, 0, 0xF0, {0x5A}, 0x55AAAAAA},
        // Channels wider than 8 bits round to the nearest level: L16, G16R16 (blue 0).
        {D3DFMT_UNKNOWN, 0x20000, 16, 0xFFFF, 0, 0, 0, {0xFF, 0x00}, 0xFF010101},
        {D3DFMT_UNKNOWN, 0x40, 32, 0xFFFF, 0xFFFF0000, 0, 0, {0xFF, 0xFF, 0, 0x80}, 0xFFFF8000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << FormatName(c.format) << " " << c.want);
        DdsLayout layout = {.width = 1, .height = 1, .pfFlags = c.pfFlags, .bitCount = c.bits};
        layout.masks[0] = c.r, layout.masks[1] = c.g, layout.masks[2] = c.b, layout.masks[3] = c.a;
        layout.data = c.pixel;
        const DecodedImage image = Decode(MakeDds(layout), "masks.dds");
        EXPECT_EQ(image.format, c.format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : c.format);
        EXPECT_TRUE(c.format == D3DFMT_UNKNOWN || StoredBytes(image) == c.pixel);
        EXPECT_EQ(Pixels(image), Argb{c.want});
    }
}

TEST(DdsReader, BlockAndDx10FormatsKeepTheirBytes) {
    // Name, DX10 header, code (FourCC, or DXGI format with the DX10 header), alpha mode, format.
    const std::tuple<const char*, bool, std::uint32_t, std::uint32_t, D3DFORMAT> cases[] = {
        {"DXT3", false, D3DFMT_DXT3, 0, D3DFMT_DXT3},
        {"BC1 sRGB", true, 72, 0, D3DFMT_DXT1},
        {"BC2 premultiplied", true, 74, 2, D3DFMT_DXT2},
        {"BC3", true, 77, 1, D3DFMT_DXT5},
        {"BC3 premultiplied sRGB", true, 78, 2, D3DFMT_DXT4},
        {"R8G8B8A8", true, 28, 0, D3DFMT_A8B8G8R8},
        {"B8G8R8X8", true, 88, 0, D3DFMT_X8R8G8B8},
        {"BC1 typeless", true, 70, 0, D3DFMT_DXT1},
        {"B8G8R8A8 sRGB", true, 91, 0, D3DFMT_A8R8G8B8},
        {"B5G6R5", true, 85, 0, D3DFMT_R5G6B5},
        // Some writers store a Direct3D format number as the code.
        {"numbered A4R4G4B4", false, 26, 0, D3DFMT_A4R4G4B4},
    };
    for (const auto& [name, dx10, code, alphaMode, want] : cases) {
        SCOPED_TRACE(name);
        const FileBytes data(
            static_cast<std::size_t>(RowPitchBytes(want, 4) * StorageRows(want, 4)), 0x7E);
        DdsLayout layout = {.pfFlags = 0x4, .fourCC = code, .dx10 = dx10, .dxgi = code};
        layout.alphaMode = alphaMode;
        layout.data = data;
        const DecodedImage image = Decode(MakeDds(layout), "c.dds");
        EXPECT_EQ(image.format, want);
        EXPECT_EQ(image.fileSrgb, std::string(name).ends_with("sRGB"));
        EXPECT_EQ(StoredBytes(image), data);
    }
}

// A file of several images opens its first (4 x 4 A8R8G8B8 here) and says what else it holds;
// only the first image must be whole. Header fields other readers ignore do not stop a file.
TEST(DdsReader, FilesOfSeveralImagesOpenTheirFirst) {
    FileBytes first(64);
    for (std::uint8_t i = 0; i < 64; ++i)
        first[i] = i;
    FileBytes more = first;
    more.resize(64 + 20, 0xEE);  // a cut second face, layer or slice; or the mip levels
    const struct {
        DdsLayout layout;
        std::uint32_t mips, faces, layers, depth;
    } cases[] = {
        {{.flags = 0x21007, .mipCount = 3, .data = more}, 3, 1, 1, 1},
        {{.caps2 = 0xFE00, .data = more}, 1, 6, 1, 1},
        {{.caps2 = 0x200 | 0x400 | 0x1000, .data = more}, 1, 2, 1, 1},  // +X and +Y only
        {{.flags = 0x801007, .depth = 4, .caps2 = 0x200000, .data = more}, 1, 1, 1, 4},
        {{.depth = 3, .dx10 = true, .dxgi = 87, .dimension = 4, .data = more}, 1, 1, 1, 3},
        {{.dx10 = true, .dxgi = 87, .misc = 4, .arraySize = 2, .data = more}, 1, 6, 2, 1},
        {{.dx10 = true, .dxgi = 87, .arraySize = 0xFFFFFFFF, .data = more}, 1, 1, 0xFFFFFFFF, 1},
        {{.dx10 = true, .dxgi = 87, .dimension = 0, .data = first}, 1, 1, 1, 1},
        {{.dx10 = true, .dxgi = 87, .arraySize = 0, .data = first}, 1, 1, 1, 1},
        {{.height = 9, .dx10 = true, .dxgi = 87, .dimension = 2, .data = first}, 1, 1, 1, 1},  // 1D
        {{.flags = 0x100F, .pitch = 3, .data = first}, 1, 1, 1, 1},
        {{.flags = 0x81007, .pitch = 1u << 31, .data = first}, 1, 1, 1, 1},  // linear size
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "faces " << c.faces << " layers " << c.layers
                                          << " depth " << c.depth << " pitch " << c.layout.pitch);
        const DecodedImage image = Decode(MakeDds(c.layout), "several.dds");
        const std::size_t rows = c.layout.dimension == 2 ? 1 : 4;
        EXPECT_EQ(StoredBytes(image), FileBytes(first.begin(), first.begin() + 16 * rows));
        EXPECT_EQ(
            std::tuple(image.fileMipLevels, image.fileFaces, image.fileArraySize, image.fileDepth),
            std::tuple(c.mips, c.faces, c.layers, c.depth));
    }
}

// Formats the device does not store, converted to A8R8G8B8 (one pixel each): one- and two-channel
// formats show red, or red and green, with blue 0; signed -1..+1 as 0..255; floats clamp to 0..1;
// wide channels round.
TEST(DdsReader, ConvertedFormats) {
    const auto floats = [](std::initializer_list<float> values) {
        FileBytes b;
        for (const float v : values)
            Put32(b, std::bit_cast<std::uint32_t>(v));
        return b;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    FileBytes palette(1024 + 1, 0);  // entry 1, then the pixel's index 1
    palette = Poke(Poke(palette, 4, {0x11, 0x22, 0x33}), 1024, {1});
    // Name, DX10 header, code (DXGI format, FourCC or for P8 0), pixel as stored, pixel read.
    const std::tuple<const char*, bool, std::uint32_t, FileBytes, std::uint32_t> cases[] = {
        {"R8_UNORM", true, 61, {0x80}, 0xFF800000},
        {"R8G8_TYPELESS", true, 48, {0x10, 0x20}, 0xFF102000},
        {"R10G10B10A2_UNORM", true, 24, {0xFF, 0x03, 0x30, 0x40}, 0x55FF0001},
        {"R16G16B16A16_UNORM", true, 11, {0xFF, 0, 0xFF, 0xFF, 0, 0, 0, 0x80}, 0x8001FF00},
        {"R16G16B16A16_FLOAT", true, 10, {0, 0x3C, 0, 0x38, 0, 0xBC, 0, 0x7C}, 0xFFFF8000},
        {"R32G32B32A32_FLOAT", true, 2, floats({0.25f, 2.0f, nan, 0.5f}), 0x8040FF00},
        {"R16_FLOAT", true, 54, {0, 0x38}, 0xFF800000},
        {"R8G8B8A8_SNORM", true, 31, {0x80, 0x00, 0x7F, 0x40}, 0xC00080FF},
        {"R16G16_SNORM", true, 37, {0x00, 0x80, 0xFF, 0x7F}, 0xFF00FF00},
        {"G16R16F", false, 112, {0, 0x34, 0, 0x3C}, 0xFF40FF00},
        {"R32F", false, 114, floats({1.5f}), 0xFFFF0000},
        {"A2R10G10B10", false, 35, {0xFF, 0x03, 0x30, 0x40}, 0x550100FF},
        // P8: a palette whose fourth bytes are all 0 is opaque.
        {"P8", false, 0, palette, 0xFF112233},
        {"P8 with alpha", false, 0, Poke(palette, 4 * 255 + 3, {0x80}), 0x00112233},
    };
    for (const auto& [name, dx10, code, pixel, want] : cases) {
        SCOPED_TRACE(name);
        DdsLayout layout = {.width = 1, .height = 1, .pfFlags = code ? 0x4u : 0x20u};
        layout.fourCC = layout.dxgi = code;
        layout.dx10 = dx10;
        layout.data = pixel;
        const DecodedImage image = Decode(MakeDds(layout), "converted.dds");
        EXPECT_EQ(image.format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(Pixels(image), Argb{want});
    }
}

// BC4-BC7 decode through the block decoders, by the format each code names.
TEST(DdsReader, BlockFormatsDecodeByTheirCodes) {
    const FileBytes block = {0x80, 0x7F, 0x24, 0x92, 0x49, 0x24, 0x92, 0x49,
                             0x81, 0x7E, 0x92, 0x24, 0x49, 0x92, 0x24, 0x49};
    // Name (and the file format the image reports), DX10 header, code, block format.
    const std::tuple<const char*, bool, std::uint32_t, BlockFormat> cases[] = {
        {"ATI1", false, FourCC("ATI1"), BlockFormat::Bc4Unorm},
        {"BC4S", false, FourCC("BC4S"), BlockFormat::Bc4Snorm},
        {"ATI2", false, FourCC("ATI2"), BlockFormat::Bc5Unorm},
        {"BC5S", false, FourCC("BC5S"), BlockFormat::Bc5Snorm},
        {"BC4U", true, 79, BlockFormat::Bc4Unorm},
        {"BC4S", true, 81, BlockFormat::Bc4Snorm},
        {"BC5U", true, 82, BlockFormat::Bc5Unorm},
        {"BC5S", true, 84, BlockFormat::Bc5Snorm},
        {"BC6H", true, 94, BlockFormat::Bc6hUf16},
        {"BC6S", true, 96, BlockFormat::Bc6hSf16},
        {"BC7 sRGB", true, 99, BlockFormat::Bc7},
    };
    for (const auto& [name, dx10, code, format] : cases) {
        SCOPED_TRACE(name);
        const FileBytes data(block.begin(), block.begin() + BlockBytes(format));
        const DdsLayout layout = {
            .pfFlags = 0x4, .fourCC = code, .dx10 = dx10, .dxgi = code, .data = data};
        const DecodedImage image = Decode(MakeDds(layout), "blocks.dds");
        FileBytes want(64);
        DecodeBlock(format, data.data(), want.data());
        EXPECT_EQ(StoredBytes(image), want);
        EXPECT_EQ(image.fileFormat, MakeFourCC(name[0], name[1], name[2], name[3]));
        EXPECT_EQ(image.fileSrgb, std::string(name).ends_with("sRGB"));
    }
}

// DDS files of another encoder open with the pictures its own decoder gives (BC1 and BC3 through
// libsquish, as the device decodes them); tests/data keeps them with their README. The picture
// of bc7_dx10.dds is opaque where many of its mode 6 blocks store alpha 254: colour only there.
TEST(DdsReader, AnotherEncodersFilesOpenWithItsPictures) {
    const std::filesystem::path dir = TINTORA_OUTSIDE_DDS_DIR;
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".dds") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::filesystem::path png = entry.path();
        const Argb want = Pixels(Decode(ReadBytes(png.replace_extension(".png")), "a.png"));
        Argb got = Pixels(Decode(ReadBytes(entry.path()), "a.dds"));
        for (std::uint32_t& p : got)
            p |= entry.path().filename() == "bc7_dx10.dds" ? 0xFF000000 : 0;
        EXPECT_EQ(MaxChannelDifference(got, want), 0);
        ++checked;
    }
    EXPECT_EQ(checked, 9);
}

// ---------------------------------------------------------------------------------------------
// Malformed files

// Every refusal names the file in quotes and says why; each is made before any allocation the
// header alone would ask for.
TEST(ImageReaders, RefuseMalformedFiles) {
    const FileBytes bmp = MakeBmp({.width = 4, .height = 4, .pixels = FileBytes(48, 0x55)});
    const FileBytes px(64, 0);  // 4 x 4 A8R8G8B8
    const FileBytes dds = MakeDds({.data = px});
    const FileBytes png = ReadBytes(TINTORA_TEST_DATA_DIR "/peer/png_rgba.png");
    const FileBytes jpg = ReadBytes(TINTORA_TEST_DATA_DIR "/peer/jpg.jpg");
    // A JPEG frame header (SOF0) claiming 65535 x 65535, with a scan and an end marker.
    const FileBytes hugeJpg = {0xFF, 0xD8, 0xFF, 0xC0, 0,  11, 8,    0xFF, 0xFF, 0xFF,
                               0xFF, 1,    1,    0x11, 0,  0,  0xFF, 0xDA, 0,    8,
                               1,    1,    0,    0,    63, 0,  0xFF, 0xD9};
    // Runs that stop before the image is complete and without an end-of-image mark.
    const FileBytes tgaRuns = {0x83, 0, 0, 0xFF, 0x01, 0xFF, 0, 0, 0, 0xFF, 0};
    const std::int32_t big = 65535;

    const std::tuple<const char*, FileBytes, Parts> cases[] = {
        {"cut.bmp", Cut(bmp, bmp.size() - 13),
         Parts{"claims 4 x 4 pixels", "holds only 35", "truncated"}},
        {"hdr.bmp", Cut(bmp, 30), Parts{"truncated", "information header"}},
        {"tiny.bmp", FileBytes{'B', 'M', 1, 2}, Parts{"truncated"}},
        {"odd.bmp", Poke(bmp, 14, {41}), Parts{"unknown size (41 bytes)"}},
        {"bits.bmp", MakeBmp({.bitCount = 7}), Parts{"7 bits per pixel"}},
        {"jpeg.bmp", MakeBmp({.width = 4, .height = 4, .compression = 4, .pixels = jpg}),
         Parts{"embedded JPEG image of 17 x 13 pixels", "header says 4 x 4"}},
        {"png.bmp", MakeBmp({.compression = 5, .pixels = jpg}), Parts{"BI_PNG (5)", "not a PNG"}},
        {"cmyk.bmp", MakeBmp({.bitCount = 0, .compression = 11}),
         Parts{"unknown bitmap compression (11)"}},
        {"zero.bmp", MakeBmp({.width = 0, .height = 4}), Parts{"zero-sized (0 x 4 pixels)"}},
        {"liar.bmp", MakeBmp({.width = big, .height = -big, .bitCount = 32, .pixels = px}),
         Parts{"claims 65535 x 65535 pixels", "holds only 64"}},
        {"min.bmp", MakeBmp({.width = big, .height = INT32_MIN, .bitCount = 32, .pixels = px}),
         Parts{"claims 65535 x 2147483648 pixels"}},
        {"wide.bmp", MakeBmp({.width = 8193, .pixels = FileBytes(24580, 0)}),
         Parts{"8193 x 1 pixels", "largest texture (8192 x 8192)"}},
        {"cut-rle.bmp", MakeBmp({40, 5, 3, 8, 1, 0, {}, {1, 2, 3, 4}, {3, 1, 0, 0, 2}}),
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
        // Cut in the first image: a cube map's first face, a huge array's first layer, a block.
        {"cube.dds", MakeDds({.caps2 = 0xFE00, .data = Cut(px, 40)}),
         Parts{"64 bytes of A8R8G8B8 pixels", "holds only 40"}},
        {"array.dds",
         MakeDds({.dx10 = true, .dxgi = 98, .arraySize = 0xFFFFFFFF, .data = Cut(px, 8)}),
         Parts{"16 bytes of DXGI format 98 (BC7_UNORM) blocks", "holds only 8"}},
        {"bc7.dds",
         MakeDds({.width = 8, .height = 8, .dx10 = true, .dxgi = 98, .data = Cut(px, 40)}),
         Parts{"claims 8 x 8 pixels (64 bytes of DXGI format 98 (BC7_UNORM) blocks"}},
        {"r11.dds", MakeDds({.dx10 = true, .dxgi = 26, .data = px}),
         Parts{"DXGI format 26 (R11G11B10_FLOAT), which cannot be opened"}},
        {"buffer.dds", MakeDds({.dx10 = true, .dxgi = 28, .dimension = 1, .data = px}),
         Parts{"unknown resource dimension 1"}},
        {"yuy2.dds", MakeDds({.pfFlags = 0x4, .fourCC = FourCC("YUY2"), .data = px}),
         Parts{"\"YUY2\"", "cannot be opened"}},
        {"mask.dds", MakeDds({.bitCount = 16, .masks = {0x1FF00, 0xFF}, .data = px}),
         Parts{"masks that do not fit"}},
        {"size.dds", Poke(dds, 4, {100}), Parts{"damaged DDS header"}},
        {"short.dds", Cut(dds, 100), Parts{"truncated", "100 bytes"}},
        {"dx10.dds", Cut(MakeDds({.dx10 = true}), 140), Parts{"truncated", "DX10"}},
        // The size and the chunk lengths are checked before Qt decodes (and libpng allocates a
        // chunk's claimed length first).
        {"huge.png", Poke(png, 16, {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF}),
         Parts{"65535 x 65535 pixels", "largest texture"}},
        {"liar.png", Poke(png, 33, {0x45}), Parts{"truncated", "before its end chunk"}},
        {"cut.png", Cut(png, png.size() / 2), Parts{"truncated"}},
        {"huge.jpg", hugeJpg, Parts{"65535 x 65535 pixels", "largest texture"}},
        {"cut.jpg", Cut(jpg, jpg.size() / 2), Parts{"truncated"}},
        {"notes.png", FileBytes{'h', 'i'}, Parts{"not a supported image", "do not match", ".png"}},
        {"noise.bin", FileBytes(300, 0x5A), Parts{"not a supported image"}},
    };
    for (const auto& [name, file, parts] : cases) {
        try {
            Decode(file, name);
            ADD_FAILURE() << name << " was read";
        } catch (const PlatformError& error) {
            const std::string message = error.what();
            EXPECT_EQ(error.code(), D3DXERR_INVALIDDATA) << message;
            EXPECT_NE(message.find("\"" + std::string(name) + "\""), std::string::npos) << message;
            for (const std::string& part : parts)
                EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
        }
    }
}

}  // namespace
}  // namespace tintora::testing
