// The image readers on files built byte by byte here: every BMP, TGA and DDS variant the readers
// claim, and the malformed headers they must refuse before allocating anything.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "imagefiles/bmp_codec.h"
#include "imagefiles/dds_codec.h"
#include "base/error.h"
#include "imagefiles/image_file.h"
#include "base/pixel_format.h"
#include "imagefiles/tga_codec.h"

namespace tintora {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// The A8R8G8B8 pixels of a decoded image.
std::vector<std::uint32_t> Pixels(const DecodedImage& image) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(image.width) * image.height);
    DecodeToArgb(image.format, image.bytes.data(),
                 static_cast<int>(RowPitchBytes(image.format, image.width)), image.width,
                 image.height, out.data());
    return out;
}

// The stored bytes of a decoded image, as a plain byte vector.
Bytes StoredBytes(const DecodedImage& image) {
    return Bytes(image.bytes.begin(), image.bytes.end());
}

DecodedImage Decode(const Bytes& file, const std::string& name) {
    return DecodeImageFile(file, name, nullptr);
}

// Expects DecodeImageFile to refuse the bytes with a message naming the file and containing all
// of the given parts.
void ExpectRefused(const Bytes& file, const std::string& name,
                   const std::vector<std::string>& parts) {
    try {
        Decode(file, name);
        ADD_FAILURE() << name << " was read";
    } catch (const PlatformError& error) {
        const std::string message = error.what();
        EXPECT_EQ(error.code(), D3DXERR_INVALIDDATA) << message;
        EXPECT_NE(message.find("\"" + name + "\""), std::string::npos) << message;
        for (const std::string& part : parts)
            EXPECT_NE(message.find(part), std::string::npos) << "'" << part << "' in " << message;
    }
}

// ---------------------------------------------------------------------------------------------
// BMP

struct BmpLayout {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: top-down
    std::uint32_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> masks;    // written into the header (>= 52) or after it (40)
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    Bytes pixels;                        // rows exactly as stored
    bool fileHeader = true;
};

Bytes MakeBmp(const BmpLayout& s) {
    Bytes info;
    Put32(info, s.headerSize);
    if (s.headerSize == 12) {
        Put16(info, static_cast<std::uint32_t>(s.width));
        Put16(info, static_cast<std::uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bitCount);
    } else {
        Put32(info, static_cast<std::uint32_t>(s.width));
        Put32(info, static_cast<std::uint32_t>(s.height));
        Put16(info, 1);
        Put16(info, s.bitCount);
        Put32(info, s.compression);
        Put32(info, static_cast<std::uint32_t>(s.pixels.size()));
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, s.colorsUsed);
        Put32(info, 0);
        std::size_t m = 0;
        while (info.size() < s.headerSize) {
            Put32(info, m < s.masks.size() && s.headerSize >= 52 ? s.masks[m] : 0);
            ++m;
        }
    }
    if (s.headerSize == 40) {
        for (std::uint32_t mask : s.masks)
            Put32(info, mask);
    }
    for (std::uint32_t colour : s.palette) {
        info.push_back(static_cast<std::uint8_t>(colour));
        info.push_back(static_cast<std::uint8_t>(colour >> 8));
        info.push_back(static_cast<std::uint8_t>(colour >> 16));
        if (s.headerSize != 12) info.push_back(0);
    }
    Bytes file;
    if (s.fileHeader) {
        file = {'B', 'M'};
        Put32(file, static_cast<std::uint32_t>(14 + info.size() + s.pixels.size()));
        Put32(file, 0);
        Put32(file, static_cast<std::uint32_t>(14 + info.size()));
    }
    Append(file, info);
    Append(file, s.pixels);
    return file;
}

TEST(BmpReader, PalettedDepthsPickTheirColours) {
    // 1 bit: 10 pixels need 2 bytes, padded to 4 per row.
    BmpLayout one;
    one.bitCount = 1;
    one.width = 10;
    one.height = 1;
    one.palette = {0x102030, 0xA0B0C0};
    one.pixels = {0b10110000, 0b01000000, 0, 0};
    const std::vector<std::uint32_t> oneWant = {0xFFA0B0C0, 0xFF102030, 0xFFA0B0C0, 0xFFA0B0C0,
                                                0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030,
                                                0xFF102030, 0xFFA0B0C0};
    EXPECT_EQ(Pixels(Decode(MakeBmp(one), "one.bmp")), oneWant);

    // 4 bits with a short colour table: index 3 lies beyond it and reads as opaque black.
    BmpLayout four;
    four.bitCount = 4;
    four.width = 3;
    four.colorsUsed = 3;
    four.palette = {0x111111, 0x222222, 0x333333};
    four.pixels = {0x21, 0x30, 0, 0};
    EXPECT_EQ(Pixels(Decode(MakeBmp(four), "four.bmp")),
              (std::vector<std::uint32_t>{0xFF333333, 0xFF222222, 0xFF000000}));

    // 8 bits after an OS/2 core header (three-byte colour table entries).
    BmpLayout core;
    core.headerSize = 12;
    core.bitCount = 8;
    core.width = 2;
    core.palette.assign(256, 0);
    core.palette[7] = 0x0A0B0C;
    core.palette[200] = 0xFFEEDD;
    core.pixels = {7, 200, 0, 0};
    EXPECT_EQ(Pixels(Decode(MakeBmp(core), "core.bmp")),
              (std::vector<std::uint32_t>{0xFF0A0B0C, 0xFFFFEEDD}));
}

TEST(BmpReader, RowOrderFollowsTheSignOfTheHeight) {
    BmpLayout layout;
    layout.width = 2;
    layout.height = 2;
    // First stored row: blue, green; second: red, white. Rows of 6 bytes padded to 8.
    layout.pixels = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    const std::vector<std::uint32_t> bottomUp = {0xFFFF0000, 0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00};
    EXPECT_EQ(Pixels(Decode(MakeBmp(layout), "up.bmp")), bottomUp);
    layout.height = -2;
    const std::vector<std::uint32_t> topDown = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
    EXPECT_EQ(Pixels(Decode(MakeBmp(layout), "down.bmp")), topDown);
}

TEST(BmpReader, SixteenBitLayouts) {
    struct Case {
        const char* name;
        std::uint32_t headerSize;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        std::uint32_t stored;
        std::uint32_t want;
    };
    const Case cases[] = {
        // Plain 16 bits are X1R5G5B5: the top bit is not alpha.
        {"x1r5g5b5", 40, 0, {}, 0xFC00, 0xFFFF0000},
        {"r5g6b5", 40, 3, {0xF800, 0x07E0, 0x001F}, 0x07E0, 0xFF00FF00},
        {"a4r4g4b4", 124, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0x8F01, 0x88FF0011},
        {"a1r5g5b5", 40, 6, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x001F, 0x000000FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpLayout layout;
        layout.headerSize = c.headerSize;
        layout.bitCount = 16;
        layout.compression = c.compression;
        layout.masks = c.masks;
        layout.pixels = {static_cast<std::uint8_t>(c.stored),
                       static_cast<std::uint8_t>(c.stored >> 8), 0, 0};
        EXPECT_EQ(Pixels(Decode(MakeBmp(layout), std::string(c.name) + ".bmp")),
                  std::vector<std::uint32_t>{c.want});
    }
}

TEST(BmpReader, ThirtyTwoBitAlpha) {
    const Bytes twoPixels = {0x10, 0x20, 0x30, 0x80, 0x11, 0x21, 0x31, 0x00};
    const Bytes opaqueBytes = {0x10, 0x20, 0x30, 0x00, 0x11, 0x21, 0x31, 0x00};
    struct Case {
        const char* name;
        std::uint32_t headerSize;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        Bytes pixels;
        std::vector<std::uint32_t> want;
    };
    const Case cases[] = {
        // BI_RGB: the fourth byte is alpha when any pixel uses it...
        {"rgb-alpha", 40, 0, {}, twoPixels, {0x80302010, 0x00312111}},
        // ...and the image is opaque when every fourth byte is 0.
        {"rgb-zero", 40, 0, {}, opaqueBytes, {0xFF302010, 0xFF312111}},
        // A V4 alpha mask is honoured exactly, even when it makes every pixel transparent.
        {"v4", 108, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, twoPixels, {0x80302010, 0x00312111}},
        {"v5-zero",
         124,
         3,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         opaqueBytes,
         {0x00302010, 0x00312111}},
        // Bit fields without an alpha mask: opaque, whatever the fourth byte holds.
        {"fields-no-alpha", 40, 3, {0xFF0000, 0xFF00, 0xFF}, twoPixels, {0xFF302010, 0xFF312111}},
        // Masks in R G B A byte order (the fourth mask is alpha: BI_ALPHABITFIELDS).
        {"rgba-order",
         40,
         6,
         {0xFF, 0xFF00, 0xFF0000, 0xFF000000},
         twoPixels,
         {0x80102030, 0x00112131}},
        // A V3 (56-byte) header with 10-bit colour fields and a 2-bit alpha field.
        {"v3-wide",
         56,
         3,
         {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
         {0xFF, 0x03, 0x00, 0xC0, 0x00, 0x00, 0xF0, 0x7F},
         {0xFF0000FF, 0x55FF0000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpLayout layout;
        layout.headerSize = c.headerSize;
        layout.width = 2;
        layout.bitCount = 32;
        layout.compression = c.compression;
        layout.masks = c.masks;
        layout.pixels = c.pixels;
        EXPECT_EQ(Pixels(Decode(MakeBmp(layout), std::string(c.name) + ".bmp")), c.want);
    }
}

TEST(BmpReader, RunLengthEncoded) {
    const std::uint32_t kSkipped = 0x00000000;
    BmpLayout rle8;
    rle8.bitCount = 8;
    rle8.compression = 1;
    rle8.width = 5;
    rle8.height = 3;
    rle8.palette = {0x000001, 0x000002, 0x000003, 0x000004};
    rle8.pixels = {
        2, 1,           // bottom row: two of index 1
        0, 3, 2, 3, 0,  // three literal pixels 2, 3, 0
        0,              // padding of the literal run to 16 bits
        0, 0,           // end of row
        0, 2, 1, 0,     // move right by 1 (middle row, x = 1)
        2, 2,           // two of index 2
        0, 0,           // end of row
        7, 3,           // top row: seven of index 3, clipped to the width of 5
        0, 1,           // end of image
    };
    const std::uint32_t c0 = 0xFF000001, c1 = 0xFF000002, c2 = 0xFF000003, c3 = 0xFF000004;
    const std::vector<std::uint32_t> want = {c3,       c3, c3, c3,       c3,        // top
                                             kSkipped, c2, c2, kSkipped, kSkipped,  // middle
                                             c1,       c1, c2, c3,       c0};       // bottom
    EXPECT_EQ(Pixels(Decode(MakeBmp(rle8), "rle8.bmp")), want);

    BmpLayout rle4;
    rle4.bitCount = 4;
    rle4.compression = 2;
    rle4.width = 6;
    rle4.height = 1;
    rle4.palette = {0x0, 0x111111, 0x222222};
    rle4.pixels = {5, 0x12, 0, 1};  // five pixels alternating 1 and 2, then end of image
    EXPECT_EQ(Pixels(Decode(MakeBmp(rle4), "rle4.bmp")),
              (std::vector<std::uint32_t>{0xFF111111, 0xFF222222, 0xFF111111, 0xFF222222,
                                          0xFF111111, kSkipped}));

    // Runs that stop before the image is complete and without an end-of-image mark.
    BmpLayout cut = rle8;
    cut.pixels = {3, 1, 0, 0, 2};
    ExpectRefused(MakeBmp(cut), "cut.bmp", {"truncated", "run-length"});
}

TEST(BmpReader, PackedDibWithoutFileHeader) {
    BmpLayout layout;
    layout.fileHeader = false;
    layout.bitCount = 8;
    layout.width = 3;
    layout.colorsUsed = 2;
    layout.palette = {0x123456, 0x654321};
    layout.pixels = {1, 0, 1, 0};
    D3DXIMAGE_FILEFORMAT type = D3DXIFF_BMP;
    const DecodedImage image = DecodeImageFile(MakeBmp(layout), "clip.DIB", &type);
    EXPECT_EQ(type, D3DXIFF_DIB);
    EXPECT_EQ(Pixels(image), (std::vector<std::uint32_t>{0xFF654321, 0xFF123456, 0xFF654321}));
}

TEST(BmpReader, RefusesMalformedHeaders) {
    BmpLayout good;
    good.width = 4;
    good.height = 4;
    good.pixels.assign(48, 0x55);
    const Bytes file = MakeBmp(good);

    Bytes cutRows(file.begin(), file.end() - 13);
    ExpectRefused(cutRows, "cut.bmp", {"claims 4 x 4 pixels", "holds only 35", "truncated"});

    Bytes cutHeader(file.begin(), file.begin() + 30);
    ExpectRefused(cutHeader, "hdr.bmp", {"truncated", "information header"});

    ExpectRefused(Bytes{'B', 'M', 1, 2}, "tiny.bmp", {"truncated"});

    Bytes oddHeader = file;
    oddHeader[14] = 41;
    ExpectRefused(oddHeader, "odd.bmp", {"unknown size (41 bytes)"});

    BmpLayout bits = good;
    bits.bitCount = 7;
    ExpectRefused(MakeBmp(bits), "bits.bmp", {"7 bits per pixel"});

    BmpLayout jpeg = good;
    jpeg.compression = 4;
    ExpectRefused(MakeBmp(jpeg), "jpeg.bmp", {"embedded JPEG"});

    BmpLayout zero = good;
    zero.width = 0;
    ExpectRefused(MakeBmp(zero), "zero.bmp", {"zero-sized (0 x 4 pixels)"});
    zero.width = 4;
    zero.height = 0;
    ExpectRefused(MakeBmp(zero), "flat.bmp", {"zero-sized (4 x 0 pixels)"});

    // A header that claims far more than the file holds is refused before any allocation.
    BmpLayout liar = good;
    liar.width = 65535;
    liar.height = -65535;
    liar.bitCount = 32;
    ExpectRefused(MakeBmp(liar), "liar.bmp", {"claims 65535 x 65535 pixels", "holds only 48"});
    liar.height = INT32_MIN;
    ExpectRefused(MakeBmp(liar), "min.bmp", {"claims 65535 x 2147483648 pixels"});

    // Enough bytes, but larger than any texture.
    BmpLayout wide = good;
    wide.width = 8193;
    wide.height = 1;
    wide.bitCount = 8;
    wide.palette = {0};
    wide.colorsUsed = 1;
    wide.pixels.assign(8196, 0);
    ExpectRefused(MakeBmp(wide), "wide.bmp", {"8193 x 1 pixels", "largest texture (8192 x 8192)"});
}

// ---------------------------------------------------------------------------------------------
// TGA

struct TgaSpec {
    std::uint8_t imageType = 2;
    std::uint8_t mapType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapBits = 0;
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    std::uint8_t bits = 24;
    std::uint8_t descriptor = 0;
    Bytes id;
    Bytes map;
    Bytes pixels;
    bool footer = false;
};

Bytes MakeTga(const TgaSpec& s) {
    Bytes b;
    b.push_back(static_cast<std::uint8_t>(s.id.size()));
    b.push_back(s.mapType);
    b.push_back(s.imageType);
    Put16(b, s.mapFirst);
    Put16(b, s.mapLength);
    b.push_back(s.mapBits);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, s.width);
    Put16(b, s.height);
    b.push_back(s.bits);
    b.push_back(s.descriptor);
    Append(b, s.id);
    Append(b, s.map);
    Append(b, s.pixels);
    if (s.footer) {
        Put32(b, 0);
        Put32(b, 0);
        const char signature[] = "TRUEVISION-XFILE.";
        b.insert(b.end(), signature, signature + sizeof signature);
    }
    return b;
}

TEST(TgaReader, TrueColourInEveryOrientation) {
    // 2 x 2, stored rows: (blue, green), (red, white).
    TgaSpec layout;
    layout.width = 2;
    layout.height = 2;
    layout.id = {'h', 'i'};
    layout.pixels = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::uint32_t B = 0xFF0000FF, G = 0xFF00FF00, R = 0xFFFF0000, W = 0xFFFFFFFF;
    struct Case {
        std::uint8_t descriptor;
        std::vector<std::uint32_t> want;
    };
    const Case cases[] = {
        {0x00, {R, W, B, G}},  // bottom-up, left to right
        {0x20, {B, G, R, W}},  // top-down
        {0x10, {W, R, G, B}},  // bottom-up, right to left
        {0x30, {G, B, W, R}},  // top-down, right to left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.descriptor));
        layout.descriptor = c.descriptor;
        EXPECT_EQ(Pixels(Decode(MakeTga(layout), "t.tga")), c.want);
    }
}

TEST(TgaReader, PixelDepthsAndAlpha) {
    struct Case {
        const char* name;
        std::uint8_t type;
        std::uint8_t bits;
        std::uint8_t descriptor;
        Bytes pixels;
        std::vector<std::uint32_t> want;
    };
    const Case cases[] = {
        {"32 with alpha", 2, 32, 8, {1, 2, 3, 0x40, 4, 5, 6, 0}, {0x40030201, 0x00060504}},
        // No alpha bits declared and every fourth byte 0: opaque.
        {"32 no alpha", 2, 32, 0, {1, 2, 3, 0, 4, 5, 6, 0}, {0xFF030201, 0xFF060504}},
        {"16 with alpha bit", 2, 16, 1, {0x1F, 0x80, 0xE0, 0x03}, {0xFF0000FF, 0x0000FF00}},
        {"16 without", 2, 16, 0, {0x1F, 0x00, 0x00, 0x7C}, {0xFF0000FF, 0xFFFF0000}},
        {"15", 2, 15, 0, {0x1F, 0x80, 0x00, 0x7C}, {0xFF0000FF, 0xFFFF0000}},
        {"grey", 3, 8, 0, {0x00, 0x9A}, {0xFF000000, 0xFF9A9A9A}},
        {"grey alpha", 3, 16, 8, {0x9A, 0x33, 0x10, 0xFF}, {0x339A9A9A, 0xFF101010}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TgaSpec layout;
        layout.imageType = c.type;
        layout.width = 2;
        layout.bits = c.bits;
        layout.descriptor = static_cast<std::uint8_t>(c.descriptor | 0x20);
        layout.pixels = c.pixels;
        EXPECT_EQ(Pixels(Decode(MakeTga(layout), "p.tga")), c.want);
    }
}

TEST(TgaReader, ColourMapped) {
    TgaSpec layout;
    layout.imageType = 1;
    layout.mapType = 1;
    layout.mapFirst = 10;  // indexes 10..12
    layout.mapLength = 3;
    layout.mapBits = 24;
    layout.map = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};
    layout.width = 4;
    layout.bits = 8;
    layout.descriptor = 0x20;
    layout.pixels = {10, 12, 11, 3};  // 3 lies outside the map: opaque black
    EXPECT_EQ(Pixels(Decode(MakeTga(layout), "m.tga")),
              (std::vector<std::uint32_t>{0xFF332211, 0xFF998877, 0xFF665544, 0xFF000000}));

    // 16-bit map entries with their alpha bit, 16-bit indexes.
    layout.mapFirst = 0;
    layout.mapLength = 2;
    layout.mapBits = 16;
    layout.descriptor = 0x21;
    layout.map = {0x00, 0xFC, 0x1F, 0x00};
    layout.width = 2;
    layout.bits = 16;
    layout.pixels = {1, 0, 0, 0};
    EXPECT_EQ(Pixels(Decode(MakeTga(layout), "m16.tga")),
              (std::vector<std::uint32_t>{0x000000FF, 0xFFFF0000}));
}

TEST(TgaReader, RunLengthPacketsCrossRows) {
    TgaSpec layout;
    layout.imageType = 10;
    layout.width = 3;
    layout.height = 2;
    layout.bits = 24;
    layout.descriptor = 0x20;
    layout.footer = true;  // found by its footer, whatever the name
    // A run of 4 red pixels (crossing into the second row), then 2 literal pixels.
    layout.pixels = {0x83, 0, 0, 0xFF, 0x01, 0xFF, 0, 0, 0, 0xFF, 0};
    const std::uint32_t R = 0xFFFF0000;
    EXPECT_EQ(Pixels(Decode(MakeTga(layout), "runs.bin")),
              (std::vector<std::uint32_t>{R, R, R, R, 0xFF0000FF, 0xFF00FF00}));

    // Colour-mapped and run-length encoded together.
    TgaSpec mapped;
    mapped.imageType = 9;
    mapped.mapType = 1;
    mapped.mapLength = 2;
    mapped.mapBits = 32;
    mapped.map = {1, 2, 3, 4, 5, 6, 7, 8};
    mapped.width = 3;
    mapped.bits = 8;
    mapped.pixels = {0x81, 1, 0x00, 0};
    EXPECT_EQ(Pixels(Decode(MakeTga(mapped), "mapped.tga")),
              (std::vector<std::uint32_t>{0x08070605, 0x08070605, 0x04030201}));

    TgaSpec cut = layout;
    cut.footer = false;
    cut.height = 3;
    ExpectRefused(MakeTga(cut), "cut.tga", {"truncated", "6 of 9 pixels"});
}

TEST(TgaReader, RefusesMalformedHeaders) {
    TgaSpec liar;
    liar.width = 65535;
    liar.height = 65535;
    liar.bits = 32;
    liar.pixels.assign(200, 0);
    ExpectRefused(MakeTga(liar), "liar.tga", {"claims 65535 x 65535 pixels", "holds only 200"});
    liar.imageType = 10;
    ExpectRefused(MakeTga(liar), "liar-rle.tga", {"claims 65535 x 65535 pixels"});

    TgaSpec zero;
    zero.width = 0;
    ExpectRefused(MakeTga(zero), "zero.tga", {"zero-sized"});

    TgaSpec empty;
    empty.imageType = 0;
    ExpectRefused(MakeTga(empty), "none.tga", {"without image data"});

    TgaSpec unknown;
    unknown.imageType = 33;
    ExpectRefused(MakeTga(unknown), "u.tga", {"not a supported image", "type 33"});

    TgaSpec noMap;
    noMap.imageType = 1;
    noMap.bits = 8;
    noMap.pixels = {0};
    ExpectRefused(MakeTga(noMap), "nomap.tga", {"without a usable colour map"});

    TgaSpec badBits;
    badBits.bits = 12;
    ExpectRefused(MakeTga(badBits), "bits.tga", {"12 bits per pixel"});

    ExpectRefused(Bytes{0, 0, 2}, "short.tga", {"truncated", "shorter than a TGA header"});
}

// ---------------------------------------------------------------------------------------------
// DDS

struct DdsSpec {
    std::uint32_t width = 4;
    std::uint32_t height = 4;
    std::uint32_t flags = 0x1007;
    std::uint32_t mipCount = 0;
    std::uint32_t depth = 0;
    std::uint32_t pfFlags = 0x41;  // RGB | ALPHAPIXELS
    std::uint32_t fourCC = 0;
    std::uint32_t bitCount = 32;
    std::uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    std::uint32_t caps2 = 0;
    bool dx10 = false;
    std::uint32_t dxgi = 0;
    std::uint32_t dimension = 3;
    std::uint32_t misc = 0;
    std::uint32_t arraySize = 1;
    std::uint32_t alphaMode = 0;
    Bytes data;
};

Bytes MakeDds(const DdsSpec& s) {
    Bytes b = {'D', 'D', 'S', ' '};
    Put32(b, 124);
    Put32(b, s.flags);
    Put32(b, s.height);
    Put32(b, s.width);
    Put32(b, 0);
    Put32(b, s.depth);
    Put32(b, s.mipCount);
    for (int i = 0; i < 11; ++i)
        Put32(b, 0);
    Put32(b, 32);
    Put32(b, s.dx10 ? 0x4 : s.pfFlags);
    Put32(b, s.dx10 ? MakeFourCC('D', 'X', '1', '0') : s.fourCC);
    Put32(b, s.bitCount);
    for (std::uint32_t m : s.masks)
        Put32(b, m);
    Put32(b, 0x1000);
    Put32(b, s.caps2);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    if (s.dx10) {
        Put32(b, s.dxgi);
        Put32(b, s.dimension);
        Put32(b, s.misc);
        Put32(b, s.arraySize);
        Put32(b, s.alphaMode);
    }
    Append(b, s.data);
    return b;
}

TEST(DdsReader, LegacyMasksNameTheirFormat) {
    struct Case {
        D3DFORMAT format;
        std::uint32_t pfFlags;
        std::uint32_t bits;
        std::uint32_t r, g, b, a;
        Bytes pixel;         // one pixel as stored
        std::uint32_t want;  // decoded
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        DdsSpec layout;
        layout.width = 1;
        layout.height = 1;
        layout.pfFlags = c.pfFlags;
        layout.bitCount = c.bits;
        layout.masks[0] = c.r;
        layout.masks[1] = c.g;
        layout.masks[2] = c.b;
        layout.masks[3] = c.a;
        layout.data = c.pixel;
        const DecodedImage image = Decode(MakeDds(layout), "legacy.dds");
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(StoredBytes(image), c.pixel);
        EXPECT_EQ(Pixels(image), std::vector<std::uint32_t>{c.want});
    }
}

TEST(DdsReader, UnnamedMaskLayoutsAreConverted) {
    // X8B8G8R8 has no Direct3D 8 format: converted to A8R8G8B8, opaque.
    DdsSpec xbgr;
    xbgr.width = 1;
    xbgr.height = 1;
    xbgr.pfFlags = 0x40;
    xbgr.masks[0] = 0xFF;
    xbgr.masks[1] = 0xFF00;
    xbgr.masks[2] = 0xFF0000;
    xbgr.masks[3] = 0;
    xbgr.data = {1, 2, 3, 0};
    DecodedImage image = Decode(MakeDds(xbgr), "xbgr.dds");
    EXPECT_EQ(image.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(Pixels(image), std::vector<std::uint32_t>{0xFF010203});

    // A4L4: 8-bit luminance with a 4-bit alpha.
    DdsSpec a4l4;
    a4l4.width = 1;
    a4l4.height = 1;
    a4l4.pfFlags = 0x20001;
    a4l4.bitCount = 8;
    a4l4.masks[0] = 0x0F;
    a4l4.masks[1] = 0;
    a4l4.masks[2] = 0;
    a4l4.masks[3] = 0xF0;
    a4l4.data = {0x5A};
    image = Decode(MakeDds(a4l4), "a4l4.dds");
    EXPECT_EQ(Pixels(image), std::vector<std::uint32_t>{0x55AAAAAA});
}

TEST(DdsReader, CompressedAndDx10FormatsKeepTheirBlocks) {
    Bytes block16(16, 0);
    block16[8] = 0x1F;  // a colour block with a blue endpoint
    Bytes block8(block16.begin() + 8, block16.end());
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
        DdsSpec layout;
        layout.pfFlags = 0x4;
        layout.fourCC = c.code;
        layout.dx10 = c.dx10;
        layout.dxgi = c.code;
        layout.alphaMode = c.alphaMode;
        const std::int64_t bytes = RowPitchBytes(c.want, 4) * StorageRows(c.want, 4);
        layout.data = c.want == D3DFMT_DXT1       ? block8
                    : IsBlockCompressed(c.want) ? block16
                                                : Bytes(static_cast<std::size_t>(bytes), 0x7E);
        const DecodedImage image = Decode(MakeDds(layout), "c.dds");
        EXPECT_EQ(image.format, c.want);
        EXPECT_EQ(image.width, 4);
        EXPECT_EQ(StoredBytes(image), layout.data);
    }
}

TEST(DdsReader, MipmappedFilesGiveTheirTopLevel) {
    DdsSpec layout;
    layout.width = 4;
    layout.height = 2;
    layout.flags |= 0x20000;
    layout.mipCount = 3;
    for (std::uint8_t i = 0; i < 8 * 4; ++i)
        layout.data.push_back(i);
    for (int i = 0; i < (2 + 1) * 4; ++i)
        layout.data.push_back(0xEE);  // 2 x 1 and 1 x 1 levels
    const DecodedImage image = Decode(MakeDds(layout), "mips.dds");
    EXPECT_EQ(image.fileMipLevels, 3u);
    EXPECT_EQ(StoredBytes(image), Bytes(layout.data.begin(), layout.data.begin() + 32));
}

TEST(DdsReader, OddSizesArePaddedToWholeBlocks) {
    DdsSpec layout;
    layout.width = 5;  // 2 x 1 blocks
    layout.height = 3;
    layout.pfFlags = 0x4;
    layout.fourCC = D3DFMT_DXT1;
    layout.data.assign(16, 0);
    EXPECT_EQ(Decode(MakeDds(layout), "odd.dds").bytes.size(), 16u);
    layout.data.resize(15);
    ExpectRefused(MakeDds(layout), "odd.dds", {"claims 5 x 3 pixels", "16 bytes", "holds only 15"});
}

TEST(DdsReader, RefusesWhatItCannotOpen) {
    DdsSpec good;
    good.data.assign(64, 0);

    DdsSpec liar;
    liar.width = 65535;
    liar.height = 65535;
    liar.pfFlags = 0x4;
    liar.fourCC = D3DFMT_DXT1;
    liar.data.assign(200 - 128, 0);
    Bytes liarFile = MakeDds(liar);
    ASSERT_EQ(liarFile.size(), 200u);
    ExpectRefused(liarFile, "liar.dds",
                  {"claims 65535 x 65535 pixels", "DXT1 blocks", "holds only 72"});

    DdsSpec huge = good;
    huge.width = 10000;
    huge.height = 4;
    huge.pfFlags = 0x4;
    huge.fourCC = D3DFMT_DXT1;
    huge.data.assign(2500 * 8, 0);
    ExpectRefused(MakeDds(huge), "huge.dds", {"10000 x 4 pixels", "largest texture"});

    DdsSpec zero = good;
    zero.height = 0;
    ExpectRefused(MakeDds(zero), "zero.dds", {"zero-sized (4 x 0 pixels)"});

    DdsSpec cube = good;
    cube.caps2 = 0x200 | 0xFC00;
    ExpectRefused(MakeDds(cube), "cube.dds", {"is a cube map"});
    DdsSpec cube10 = good;
    cube10.dx10 = true;
    cube10.dxgi = 28;
    cube10.misc = 4;
    ExpectRefused(MakeDds(cube10), "cube10.dds", {"is a cube map"});

    DdsSpec volume = good;
    volume.caps2 = 0x200000;
    volume.flags |= 0x800000;
    volume.depth = 4;
    ExpectRefused(MakeDds(volume), "vol.dds", {"is a volume texture"});
    DdsSpec volume10 = good;
    volume10.dx10 = true;
    volume10.dxgi = 28;
    volume10.dimension = 4;
    ExpectRefused(MakeDds(volume10), "vol10.dds", {"is a volume texture"});

    DdsSpec array = good;
    array.dx10 = true;
    array.dxgi = 28;
    array.arraySize = 6;
    ExpectRefused(MakeDds(array), "array.dds", {"array of 6 textures"});

    DdsSpec bc7 = good;
    bc7.dx10 = true;
    bc7.dxgi = 98;
    ExpectRefused(MakeDds(bc7), "bc7.dds", {"DXGI format 98"});

    DdsSpec ati2 = good;
    ati2.pfFlags = 0x4;
    ati2.fourCC = MakeFourCC('A', 'T', 'I', '2');
    ExpectRefused(MakeDds(ati2), "ati2.dds", {"\"ATI2\""});

    DdsSpec wideMask = good;
    wideMask.bitCount = 16;
    ExpectRefused(MakeDds(wideMask), "mask.dds", {"masks that do not fit"});

    Bytes badSize = MakeDds(good);
    badSize[4] = 100;
    ExpectRefused(badSize, "size.dds", {"damaged DDS header"});

    Bytes shortFile = MakeDds(good);
    shortFile.resize(100);
    ExpectRefused(shortFile, "short.dds", {"truncated", "100 bytes"});

    DdsSpec shortDx10 = good;
    shortDx10.dx10 = true;
    shortDx10.data.clear();
    Bytes cutDx10 = MakeDds(shortDx10);
    cutDx10.resize(140);
    ExpectRefused(cutDx10, "dx10.dds", {"truncated", "DX10"});
}

TEST(DdsWriter, HeaderDescribesTheFormat) {
    struct Case {
        D3DFORMAT format;
        std::uint32_t pfFlags;
        std::uint32_t fourCC;
        std::uint32_t bits;
        std::uint32_t aMask;
        std::uint32_t flags;  // pitch (0x8) or linear size (0x80000)
        std::uint32_t pitchOrSize;
    };
    // 6 x 5 pixels.
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0x41, 0, 32, 0xFF000000, 0x8, 24},
        {D3DFMT_R8G8B8, 0x40, 0, 24, 0, 0x8, 18},
        {D3DFMT_A4R4G4B4, 0x41, 0, 16, 0xF000, 0x8, 12},
        {D3DFMT_L8, 0x20000, 0, 8, 0, 0x8, 6},
        {D3DFMT_DXT1, 0x4, D3DFMT_DXT1, 0, 0, 0x80000, 2 * 2 * 8},
        {D3DFMT_DXT3, 0x4, 0x33545844, 0, 0, 0x80000, 2 * 2 * 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        const std::int64_t pitch = RowPitchBytes(c.format, 6) + 3;  // padded source rows
        const std::int64_t rows = StorageRows(c.format, 5);
        Bytes source(static_cast<std::size_t>(pitch * rows));
        for (std::size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<std::uint8_t>(i * 7);
        const ByteBuffer encoded =
            EncodeDds(c.format, source.data(), static_cast<int>(pitch), 6, 5);
        const Bytes file(encoded.begin(), encoded.end());
        ASSERT_EQ(file.size(), 128 + static_cast<std::size_t>(RowPitchBytes(c.format, 6) * rows));
        EXPECT_EQ(LoadLe32(&file[8]), 0x1007u | c.flags);
        EXPECT_EQ(LoadLe32(&file[12]), 5u);
        EXPECT_EQ(LoadLe32(&file[16]), 6u);
        EXPECT_EQ(LoadLe32(&file[20]), c.pitchOrSize);
        EXPECT_EQ(LoadLe32(&file[80]), c.pfFlags);
        EXPECT_EQ(LoadLe32(&file[84]), c.fourCC);
        EXPECT_EQ(LoadLe32(&file[88]), c.bits);
        EXPECT_EQ(LoadLe32(&file[104]), c.aMask);
        EXPECT_EQ(LoadLe32(&file[108]), 0x1000u);
        // Read back: the same format and the rows without their padding.
        const DecodedImage image = Decode(file, "w.dds");
        EXPECT_EQ(image.format, c.format);
        const auto rowBytes = static_cast<std::size_t>(RowPitchBytes(c.format, 6));
        for (std::int64_t y = 0; y < rows; ++y) {
            EXPECT_TRUE(
                std::equal(source.begin() + y * pitch,
                           source.begin() + y * pitch + static_cast<std::ptrdiff_t>(rowBytes),
                           image.bytes.begin() + y * static_cast<std::ptrdiff_t>(rowBytes)));
        }
    }
}

// ---------------------------------------------------------------------------------------------
// PNG and JPEG headers (Qt decodes the pixels; the size is checked first)

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutChunk(Bytes& png, const char* type, const Bytes& payload) {
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<std::uint8_t>(payload.size() >> shift));
    Bytes typed(type, type + 4);
    Append(typed, payload);
    Append(png, typed);
    const std::uint32_t crc = Crc32(typed.data(), typed.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<std::uint8_t>(crc >> shift));
}

TEST(QtReaders, OversizedHeadersAreRefusedBeforeDecoding) {
    // A valid PNG header claiming 65535 x 65535 RGBA pixels, and nothing else.
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 8, 6, 0, 0, 0});
    PutChunk(png, "IEND", {});
    ExpectRefused(png, "huge.png", {"65535 x 65535 pixels", "largest texture"});

    // A JPEG frame header (SOF0) claiming 65535 x 65535, with a scan and an end marker.
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0xFF, 0xFF, 0xFF, 0xFF, 1,    1,   0x11,
                        0,    0xFF, 0xDA, 0,    8, 1,  1, 0,    0,    63,   0,    0xFF, 0xD9};
    ExpectRefused(jpeg, "huge.jpg", {"65535 x 65535 pixels", "largest texture"});

    // A small image whose text chunk after the pixels claims 1.1 GB that the file does not hold
    // (libpng would allocate the claimed length first).
    std::ifstream in(TINTORA_TEST_DATA_DIR "/peer/png_rgba.png", std::ios::binary);
    const Bytes real{std::istreambuf_iterator<char>(in), {}};
    Bytes liar(real.begin(), real.end() - 12);  // without IEND
    PutChunk(liar, "tEXt", Bytes(40, 'a'));
    liar[liar.size() - 52] = 0x45;  // the length's top byte: 0x45000028
    PutChunk(liar, "IEND", {});
    ExpectRefused(liar, "liar.png", {"truncated", "before its end chunk"});
}

// ---------------------------------------------------------------------------------------------
// Choosing the reader

TEST(ImageFileType, ContentFirstThenEnding) {
    BmpLayout bmp;
    bmp.pixels = {1, 2, 3, 0};
    D3DXIMAGE_FILEFORMAT type = D3DXIFF_PPM;
    // A bitmap named .png is read as the bitmap it is.
    EXPECT_EQ(Pixels(DecodeImageFile(MakeBmp(bmp), "really-a-bitmap.png", &type)),
              std::vector<std::uint32_t>{0xFF030201});
    EXPECT_EQ(type, D3DXIFF_BMP);

    // A TGA file has no signature: its ending decides (any case).
    TgaSpec tga;
    tga.pixels = {1, 2, 3};
    DecodeImageFile(MakeTga(tga), "old.TGA", &type);
    EXPECT_EQ(type, D3DXIFF_TGA);

    ExpectRefused(MakeTga(tga), "old.xyz", {"not a supported image"});
    ExpectRefused(Bytes{'h', 'e', 'l', 'l', 'o'}, "notes.png",
                  {"not a supported image", "do not match", ".png"});
    ExpectRefused(Bytes(300, 0x5A), "noise.bin", {"not a supported image"});
}

// Our own readers on damaged copies of real files (ImageMagick's peer files): random bytes
// changed, files cut short. Each read must succeed or throw PlatformError; under the sanitizer
// build any read outside the data fails the test.
TEST(ImageFileType, DamagedFilesFailCleanly) {
    std::mt19937 random(20261206);
    int files = 0, refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TINTORA_TEST_DATA_DIR "/peer")) {
        const std::string name = entry.path().filename().string();
        const std::string ending = entry.path().extension().string();
        if (ending != ".bmp" && ending != ".tga" && ending != ".dds") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes original{std::istreambuf_iterator<char>(in), {}};
        ++files;
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = original;
            if (round % 3 == 0) {
                damaged.resize(random() % damaged.size());
            } else {
                const int changes = 1 + static_cast<int>(random() % 8);
                for (int i = 0; i < changes; ++i) {
                    // Headers matter most: half the changes fall in the first 160 bytes.
                    const std::size_t limit =
                        (i % 2 == 0) ? std::min<std::size_t>(160, damaged.size()) : damaged.size();
                    damaged[random() % limit] = static_cast<std::uint8_t>(random());
                }
            }
            try {
                DecodeImageFile(damaged, name, nullptr);
            } catch (const PlatformError&) {
                ++refused;
            }
        }
    }
    EXPECT_EQ(files, 20);
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tintora
