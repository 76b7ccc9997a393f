// Writes the small seed files of the fuzz corpora: layouts the test images in tests/data/peer do
// not cover (header variants, masks, run-length forms, the DDS extension header), a few pixels
// each, so that the fuzzers start from every branch of the readers. The files are built by the
// same layouts as the reader tests' (tests/support/test_files.h). scripts/fuzz.sh runs it.
//
//     make_fuzz_seeds <output-directory>     (one folder per reader: bmp, tga, png, dds)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

using tintora::testing::FileBytes;
using tintora::testing::FourCC;
using Words = std::vector<std::uint32_t>;

constexpr int W = 4, H = 3;  // odd height: row order matters, partial DXT blocks

// n bytes counting up from first by step, wrapping at 256.
FileBytes Ramp(std::size_t n, unsigned first, unsigned step = 1) {
    FileBytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(first + i * step);
    return out;
}

// Rows of width pixels at bits per pixel, padded to 4 bytes as a bitmap stores them.
FileBytes BmpRows(int width, int bits, unsigned first) {
    return Ramp(static_cast<std::size_t>((width * bits + 31) / 32 * 4 * H), first, 7);
}

// A bitmap of width x H pixels.
FileBytes Bmp(std::uint32_t headerSize, int width, int height, std::uint32_t bits,
              std::uint32_t compression, std::uint32_t colours, const Words& masks,
              const Words& palette, const FileBytes& pixels, bool fileHeader = true) {
    return tintora::testing::MakeBmp({.headerSize = headerSize,
                                      .width = width,
                                      .height = height,
                                      .bitCount = bits,
                                      .compression = compression,
                                      .colorsUsed = colours,
                                      .masks = masks,
                                      .palette = palette,
                                      .pixels = pixels,
                                      .fileHeader = fileHeader});
}

// A 4 x 3 PNG (RGB) and a 4 x 3 greyscale JPEG, as ImageMagick writes them, for bitmaps that
// carry one (compression 5 and 4).
const FileBytes kEmbeddedPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x08, 0x02, 0x00, 0x00, 0x00, 0x3B, 0x96, 0x39,
    0x91, 0x00, 0x00, 0x00, 0x16, 0x49, 0x44, 0x41, 0x54, 0x08, 0xD7, 0x63, 0xFC, 0xCF, 0x80, 0x00,
    0x8C, 0xF5, 0x0C, 0xF5, 0x08, 0x0E, 0x03, 0x03, 0x42, 0x0E, 0x00, 0x48, 0x15, 0x03, 0x00, 0x88,
    0x9C, 0x8B, 0x04, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
const FileBytes kEmbeddedJpeg = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x1B, 0x12, 0x14, 0x17, 0x14, 0x11, 0x1B,
    0x17, 0x16, 0x17, 0x1E, 0x1C, 0x1B, 0x20, 0x28, 0x42, 0x2B, 0x28, 0x25, 0x25, 0x28, 0x51, 0x3A,
    0x3D, 0x30, 0x42, 0x60, 0x55, 0x65, 0x64, 0x5F, 0x55, 0x5D, 0x5B, 0x6A, 0x78, 0x99, 0x81, 0x6A,
    0x71, 0x90, 0x73, 0x5B, 0x5D, 0x85, 0xB5, 0x86, 0x90, 0x9E, 0xA3, 0xAB, 0xAD, 0xAB, 0x67, 0x80,
    0xBC, 0xC9, 0xBA, 0xA6, 0xC7, 0x99, 0xA8, 0xAB, 0xA4, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x03,
    0x00, 0x04, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0xFF, 0xC4, 0x00, 0x19,
    0x10, 0x00, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x03, 0x05, 0x15, 0x54, 0x91, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F,
    0x00, 0x1E, 0x65, 0xCA, 0xE2, 0x9A, 0x7F, 0xFF, 0xD9};

// Big-endian 32 bits, as PNG stores its numbers.
void PutBe32(FileBytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A PNG chunk: length, type, data and the CRC-32 of type and data.
void PngChunk(FileBytes& png, const char* type, const FileBytes& body) {
    PutBe32(png, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = start; i < png.size(); ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    PutBe32(png, ~crc);
}

// A W x H RGBA PNG whose rows use each filter in turn, its zlib data (one stored block: no
// compression needed) split over pieces IDAT chunks, as the common writers split theirs.
FileBytes PngInPieces(int pieces) {
    FileBytes raw;
    for (int y = 0; y < H; ++y) {
        raw.push_back(static_cast<std::uint8_t>(y % 5));
        const FileBytes row = Ramp(4 * W, static_cast<unsigned>(40 * y), 23);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    FileBytes zlib = {0x78, 0x01, 0x01};  // header; a final stored block
    const auto length = static_cast<std::uint32_t>(raw.size());
    for (std::uint32_t v : {length, ~length & 0xFFFFu})
        zlib.insert(zlib.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    zlib.insert(zlib.end(), raw.begin(), raw.end());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw)
        a = (a + byte) % 65521, b = (b + a) % 65521;
    PutBe32(zlib, b << 16 | a);
    FileBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    FileBytes header;
    PutBe32(header, W);
    PutBe32(header, H);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    PngChunk(png, "IHDR", header);
    const std::size_t piece = (zlib.size() + pieces - 1) / pieces;
    for (std::size_t at = 0; at < zlib.size(); at += piece) {
        PngChunk(png, "IDAT",
                 FileBytes(zlib.begin() + static_cast<std::ptrdiff_t>(at),
                           zlib.begin() +
                               static_cast<std::ptrdiff_t>(std::min(zlib.size(), at + piece))));
    }
    PngChunk(png, "IEND", {});
    return png;
}

// A TGA file of W x H pixels, with a colour map when map is not empty.
FileBytes Tga(std::uint8_t type, std::uint8_t bits, std::uint8_t descriptor, FileBytes pixels,
              std::uint8_t mapBits = 0, FileBytes map = {}, std::uint16_t mapFirst = 0,
              bool footer = false) {
    return tintora::testing::MakeTga(
        {.imageType = type,
         .mapType = static_cast<std::uint8_t>(map.empty() ? 0 : 1),
         .mapFirst = mapFirst,
         .mapLength = static_cast<std::uint16_t>(map.empty() ? 0 : map.size() * 8 / mapBits),
         .mapBits = mapBits,
         .width = W,
         .height = H,
         .bits = bits,
         .descriptor = descriptor,
         .id = {'s', 'e', 'e', 'd'},
         .map = std::move(map),
         .pixels = std::move(pixels),
         .footer = footer});
}

// A DDS file of W x H pixels: masks (R G B A) with pfFlags, or a four-character code (pfFlags
// 0x4), or the DX10 header (dxgi not 0).
FileBytes Dds(std::uint32_t pfFlags, std::uint32_t bits, const Words& masks, FileBytes data,
              std::uint32_t fourCC = 0, std::uint32_t dxgi = 0, std::uint32_t alphaMode = 0,
              std::uint32_t mipCount = 0) {
    tintora::testing::DdsLayout layout = {.width = W,
                                          .height = H,
                                          .flags = mipCount ? 0x21007u : 0x1007u,
                                          .mipCount = mipCount,
                                          .pfFlags = pfFlags,
                                          .fourCC = fourCC,
                                          .bitCount = bits,
                                          .dx10 = dxgi != 0,
                                          .dxgi = dxgi,
                                          .alphaMode = alphaMode,
                                          .data = std::move(data)};
    for (std::size_t i = 0; i < 4; ++i)
        layout.masks[i] = i < masks.size() ? masks[i] : 0;
    return tintora::testing::MakeDds(layout);
}

struct Seed {
    const char* folder;
    const char* name;
    FileBytes bytes;
};

std::vector<Seed> Seeds() {
    const int n = W * H;
    Words grey;
    for (std::uint32_t i = 0; i < 256; i += 16)
        grey.push_back(i * 0x010101);
    const Words none, masks565 = {0xF800, 0x07E0, 0x001F};
    const Words masks4444 = {0x0F00, 0x00F0, 0x000F, 0xF000};
    const Words argb = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    // RLE4: a run, a literal of 3 pixels, a move, end of row, end of image.
    const FileBytes rle4 = {4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 1, 1, 2, 0x77, 0, 0, 0, 1};
    FileBytes map16, map32, index16;
    for (std::uint32_t i = 0; i < 8; ++i)
        tintora::testing::Put16(map16, 0x8000 | (i * 2049));
    for (std::uint32_t i = 0; i < 4; ++i)
        tintora::testing::Put32(map32, ((255 - i) << 24) | (3 * i << 16) | (2 * i << 8) | i);
    for (int i = 0; i < n; ++i)
        tintora::testing::Put16(index16, static_cast<std::uint32_t>(2 + i % 9));
    // One DXT colour block, DXT3 explicit alpha, DXT5 interpolated alpha before it.
    const FileBytes dxt1 = {0x1F, 0xF8, 0xE0, 0x07, 0x1B, 0xE4, 0x1B, 0xE4};
    FileBytes dxt3 = Ramp(8, 0, 32), dxt5 = {255, 0, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24};
    dxt3.insert(dxt3.end(), dxt1.begin(), dxt1.end());
    dxt5.insert(dxt5.end(), dxt1.begin(), dxt1.end());
    const std::uint32_t fourCC = 0x4, luminance = 0x20000, rgb = 0x40, alpha = 0x1;
    return {
        {"bmp", "core12_8bit.bmp", Bmp(12, W, H, 8, 0, 0, none, grey, BmpRows(W, 8, 1))},
        {"bmp", "bitfields565.bmp", Bmp(40, W, H, 16, 3, 0, masks565, none, BmpRows(W, 16, 3))},
        {"bmp", "alphabitfields.bmp", Bmp(40, W, H, 32, 6, 0, argb, none, BmpRows(W, 32, 5))},
        {"bmp", "v5_topdown24.bmp", Bmp(124, W, -H, 24, 0, 0, none, none, BmpRows(W, 24, 9))},
        {"bmp", "v4_masks4444.bmp", Bmp(108, W, H, 16, 3, 0, masks4444, none, BmpRows(W, 16, 11))},
        {"bmp", "rle4.bmp", Bmp(40, W, H, 4, 2, 16, none, grey, rle4)},
        {"bmp", "monochrome.bmp", Bmp(40, 9, H, 1, 0, 2, none, {0, 0xFFFFFF}, BmpRows(9, 1, 0x55))},
        // A packed DIB: information header, colour table and pixels without the file header.
        {"bmp", "packed.dib", Bmp(40, W, H, 8, 0, 16, none, grey, BmpRows(W, 8, 2), false)},
        // Compressed as a whole PNG or JPEG file (bit count 0); the reader decodes it through Qt.
        {"bmp", "embedded_png.bmp", Bmp(40, W, H, 0, 5, 0, none, none, kEmbeddedPng)},
        {"bmp", "embedded_jpeg.bmp", Bmp(40, W, H, 0, 4, 0, none, none, kEmbeddedJpeg)},
        {"png", "idat_in_five.png", PngInPieces(5)},
        {"tga", "grey_rle.tga", Tga(11, 8, 0x20, {0x85, 200, 0x05, 0, 1, 2, 3, 4, 5})},
        {"tga", "grey_alpha16.tga", Tga(3, 16, 0x18, Ramp(2 * n, 0))},
        {"tga", "rgb15.tga", Tga(2, 15, 0x10, Ramp(2 * n, 0, 37))},
        {"tga", "argb1555.tga", Tga(2, 16, 0x31, Ramp(2 * n, 0, 53), 0, {}, 0, true)},
        {"tga", "cmap16_index16.tga", Tga(1, 16, 0x01, index16, 16, map16, 2)},
        {"tga", "cmap32_rle.tga", Tga(9, 8, 0x28, {0x83, 1, 0x87, 3}, 32, map32)},
        {"dds", "dx10_bc1.dds", Dds(fourCC, 0, none, dxt1, 0, 71)},
        {"dds", "dx10_bc3_premultiplied.dds", Dds(fourCC, 0, none, dxt5, 0, 77, 2)},
        {"dds", "dx10_rgba8.dds", Dds(fourCC, 0, none, Ramp(4 * n, 0), 0, 28)},
        {"dds", "dxt3.dds", Dds(fourCC, 0, none, dxt3, FourCC("DXT3"))},
        {"dds", "dxt2.dds", Dds(fourCC, 0, none, dxt3, FourCC("DXT2"))},
        {"dds", "l8.dds", Dds(luminance, 8, {0xFF}, Ramp(n, 0))},
        {"dds", "a8l8.dds", Dds(luminance | alpha, 16, {0xFF, 0, 0, 0xFF00}, Ramp(2 * n, 0, 9))},
        {"dds", "a8.dds", Dds(0x2, 8, {0, 0, 0, 0xFF}, Ramp(n, 0, 20))},
        {"dds", "r5g6b5_mips.dds", Dds(rgb, 16, masks565, Ramp(2 * n + 8 + 2, 0, 5), 0, 0, 0, 3)},
        // A layout with no Direct3D 8 format of its own: converted pixel by pixel.
        {"dds", "a2b10g10r10.dds",
         Dds(rgb | alpha, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, Ramp(4 * n, 0, 11))},
        {"dds", "r8g8b8.dds", Dds(rgb, 24, {0xFF0000, 0xFF00, 0xFF}, Ramp(3 * n, 0, 3))},
        // A Direct3D format number where the four-character code belongs (21 = A8R8G8B8).
        {"dds", "numbered_fourcc.dds", Dds(fourCC, 0, none, Ramp(4 * n, 0, 7), 21)},
        // Formats converted on reading: blocks (a BC7 mode-6 block, BC4), floats, a palette, an
        // 8-bit luminance layout with a stray alpha mask.
        {"dds", "dx10_bc7.dds", Dds(fourCC, 0, none, Ramp(16, 0x40, 13), 0, 98)},
        {"dds", "ati1.dds", Dds(fourCC, 0, none, Ramp(8, 0x80, 29), FourCC("ATI1"))},
        {"dds", "dx10_rgba16f.dds", Dds(fourCC, 0, none, Ramp(8 * n, 0x30, 5), 0, 10)},
        {"dds", "a32b32g32r32f.dds", Dds(fourCC, 0, none, Ramp(16 * n, 0x3E, 3), 116)},
        {"dds", "p8.dds", Dds(0x20, 8, none, Ramp(1024 + n, 0, 3))},
        {"dds", "l8_stray_alpha.dds", Dds(luminance | alpha, 8, {0xFF, 0, 0, 0xFF00}, Ramp(n, 0))},
        // Several images: a legacy cube map whose last face is cut, a DX10 array of cube maps.
        {"dds", "cube.dds",
         tintora::testing::MakeDds(
             {.width = W, .height = H, .caps2 = 0xFE00, .data = Ramp(4 * n * 6 - 5, 0, 3)})},
        {"dds", "dx10_cube_array.dds",
         tintora::testing::MakeDds({.width = W,
                                    .height = H,
                                    .dx10 = true,
                                    .dxgi = 71,
                                    .misc = 4,
                                    .arraySize = 2,
                                    .data = Ramp(8 * 12, 0, 11)})},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-directory>\n", argv[0]);
        return 2;
    }
    for (const Seed& seed : Seeds()) {
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / seed.folder;
        std::filesystem::create_directories(folder);
        tintora::testing::WriteBytes((folder / seed.name).string(), seed.bytes);
    }
    return 0;
}
