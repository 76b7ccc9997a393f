// The block encoders: a photograph round trip per format and level within a PSNR floor (BC1-BC3
// decoded by libsquish, the others by our decoders), the block modes BC1 may use, single colours,
// cut-outs, the padding of partial blocks, and the same bytes at any thread count.
#include "imagefiles/block_encoders.h"

#include <gtest/gtest.h>
#include <squish.h>
#include <tbb/global_control.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imagefiles/block_decoders.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using F = EncodeFormat;

struct Picture {
    int width = 0, height = 0;
    Bytes bgra;
};

// A photograph crop (250 x 130, so partial blocks) with an alpha ramp.
Picture Photo(bool opaque = false) {
    const QImage image = QImage(TINTORA_OUTSIDE_DDS_DIR "/bc7_alpha_250x130.png")
                             .convertToFormat(QImage::Format_ARGB32);
    Picture p{image.width(), image.height(),
              Bytes(std::size_t(image.width()) * image.height() * 4)};
    for (int y = 0; y < p.height; ++y)
        std::memcpy(&p.bgra[std::size_t(y) * p.width * 4], image.constScanLine(y), p.width * 4);
    for (std::size_t i = 3; opaque && i < p.bgra.size(); i += 4)
        p.bgra[i] = 255;
    return p;
}

Bytes Encode(F format, const EncodeOptions& options, const Picture& p,
             const ProgressFn& progress = {}) {
    Bytes blocks(std::size_t((p.width + 3) / 4) * ((p.height + 3) / 4) * EncodedBlockBytes(format));
    EncodeImage(format, options, p.bgra.data(), p.width, p.height, blocks.data(), progress);
    return blocks;
}

// B G R A pixels: libsquish for BC1-BC3 (BC1a as DXT1), our decoders for the others.
Bytes Decode(F format, const Bytes& blocks, int width, int height) {
    Bytes out(std::size_t(width) * height * 4);
    if (format == F::Bc4 || format == F::Bc5 || format == F::Bc7) {
        const BlockFormat block = format == F::Bc4   ? BlockFormat::Bc4Unorm
                                  : format == F::Bc5 ? BlockFormat::Bc5Unorm
                                                     : BlockFormat::Bc7;
        DecodeBlocksToArgb(block, blocks.data(), width, height, out.data());
        return out;
    }
    const int flags = format == F::Bc2   ? squish::kDxt3
                      : format == F::Bc3 ? squish::kDxt5
                                         : squish::kDxt1;
    squish::DecompressImage(out.data(), width, height, blocks.data(), flags);
    for (std::size_t i = 0; i < out.size(); i += 4)
        std::swap(out[i], out[i + 2]);
    return out;
}

// PSNR over the given bytes of each pixel, of the pixels whose source alpha is at least minAlpha.
double Psnr(const Bytes& a, const Bytes& b, std::vector<int> channels, int minAlpha = 0) {
    double sum = 0, count = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) {
        if (a[i + 3] < minAlpha) continue;
        for (const int c : channels) {
            sum += (double(a[i + c]) - b[i + c]) * (double(a[i + c]) - b[i + c]);
            ++count;
        }
    }
    return 10 * std::log10(255.0 * 255.0 * count / sum);
}

TEST(BlockEncoders, RoundTripWithinAPsnrFloor) {
    struct Case {
        F format;
        std::vector<int> channels;  // bytes of B G R A the format holds
        double fastFloor, bestFloor;
    };
    const std::vector<int> rgb = {0, 1, 2}, rgba = {0, 1, 2, 3};
    const Case cases[] = {
        {F::Bc1, rgb, 39.9, 40.5},  {F::Bc1a, rgb, 38.5, 39.1}, {F::Bc2, rgba, 37.6, 37.9},
        {F::Bc3, rgba, 41.2, 41.8}, {F::Bc4, {2}, 49.1, 49.6},  {F::Bc5, {2, 1}, 49.3, 49.8},
        {F::Bc7, rgba, 50.0, 50.0},
    };
    const Picture photo = Photo();
    for (const Case& c : cases) {
        for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
            EncodeOptions options;
            options.level = level;
            const Bytes decoded =
                Decode(c.format, Encode(c.format, options, photo), photo.width, photo.height);
            // BC1a: the colour of the texels it keeps.
            const double psnr =
                Psnr(photo.bgra, decoded, c.channels, c.format == F::Bc1a ? 128 : 0);
            EXPECT_GE(psnr, level == EncodeLevel::Fast ? c.fastFloor : c.bestFloor)
                << "format " << int(c.format) << " level " << int(level);
        }
    }
}

// A four-colour block has c0 > c1, or c0 == c1 with every index 0 (the same in either mode).
bool FourColour(const std::uint8_t* block) {
    const int c0 = block[0] | block[1] << 8, c1 = block[2] | block[3] << 8;
    return c0 > c1 || (c0 == c1 && (block[4] | block[5] | block[6] | block[7]) == 0);
}

TEST(BlockEncoders, OpaqueColourBlocksHaveFourColoursUnlessThreeAreAllowed) {
    const Picture photo = Photo(true);
    for (const F format : {F::Bc1, F::Bc1a, F::Bc2, F::Bc3}) {
        for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
            EncodeOptions options;
            options.level = level;
            const Bytes blocks = Encode(format, options, photo);
            const std::size_t size = EncodedBlockBytes(format);
            for (std::size_t i = size - 8; i < blocks.size(); i += size)
                ASSERT_TRUE(FourColour(&blocks[i])) << int(format) << " block " << i / size;
        }
    }
    // Allowed, three-colour blocks appear where they are closer, so the whole is closer too.
    EncodeOptions three;
    three.bc1ThreeColour = true;
    const Bytes four = Encode(F::Bc1, {}, photo), mixed = Encode(F::Bc1, three, photo);
    int threeColourBlocks = 0;
    for (std::size_t i = 0; i < mixed.size(); i += 8)
        threeColourBlocks += !FourColour(&mixed[i]);
    EXPECT_GT(threeColourBlocks, 0);
    EXPECT_GE(Psnr(photo.bgra, Decode(F::Bc1, mixed, photo.width, photo.height), {0, 1, 2}),
              Psnr(photo.bgra, Decode(F::Bc1, four, photo.width, photo.height), {0, 1, 2}));
}

TEST(BlockEncoders, SingleColourBlocksDecodeToTheColourWhereTheFormatHoldsIt) {
    struct Case {
        F format;
        std::uint32_t colour, want;  // 0xAARRGGBB
    };
    const Case cases[] = {
        {F::Bc1, 0xFF000000, 0xFF000000},
        {F::Bc1, 0xFFFFFFFF, 0xFFFFFFFF},
        {F::Bc1, 0xFFC8640D, 0xFFC8640D},  // 200, 100, 13: interpolated values
        {F::Bc1, 0x00808080, 0xFF808080},  // alpha ignored
        // Five-bit red and blue reach 2 and 5 but not 3 or 4: the nearest.
        {F::Bc1, 0xFF034004, 0xFF024005},
        {F::Bc1a, 0xFF0804FF, 0xFF0804FF},
        {F::Bc1a, 0x7F0804FF, 0x00000000},  // below the threshold: transparent black
        {F::Bc2, 0x77C8640D, 0x77C8640D},   // 4-bit alpha 7
        {F::Bc2, 0x5EC8640D, 0x66C8640D},   // alpha 94: 4-bit 6 (102) is nearer than 5 (85)
        {F::Bc3, 0x4D808080, 0x4D808080},
        {F::Bc3, 0x01FFFFFF, 0x01FFFFFF},
        {F::Bc4, 0x124D3399, 0xFF4D4D4D},  // red, shown as grey
        {F::Bc5, 0x12C90399, 0xFFC90300},  // red and green
        {F::Bc5, 0x12FF0099, 0xFFFF0000},
    };
    for (const Case& c : cases) {
        for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
            const std::vector<std::uint32_t> pixels(16, c.colour);
            std::uint8_t block[16];
            EncodeOptions options;
            options.level = level;
            EncodeBlock(c.format, options, reinterpret_cast<const std::uint8_t*>(pixels.data()),
                        block);
            const Bytes decoded = Decode(c.format, Bytes(block, block + 16), 4, 4);
            for (int t = 0; t < 16; ++t) {
                std::uint32_t texel;
                std::memcpy(&texel, &decoded[4 * t], 4);
                ASSERT_EQ(texel, c.want) << std::hex << "colour " << c.colour << " texel " << t;
            }
        }
    }
}

TEST(BlockEncoders, BlocksOfOnePalettesValuesDecodeExactly) {
    struct Case {
        F format;
        std::vector<std::uint32_t> colours;  // 0xAARRGGBB, repeated over the 16 texels
        std::uint32_t compared;              // the bits the format holds
    };
    const Case cases[] = {
        // Red 255, 170, 85, 0: the four colours of pure red and black.
        {F::Bc1, {0xFFFF0000, 0xFFAA0000, 0xFF550000, 0xFF000000}, 0xFFFFFFFF},
        // Eight values, 80 down to 10; six, 100 to 120, with 0 and 255.
        {F::Bc4,
         {80 << 16, 70 << 16, 60 << 16, 50 << 16, 40 << 16, 30 << 16, 20 << 16, 10 << 16},
         0xFF0000},
        {F::Bc4,
         {100 << 16, 104 << 16, 108 << 16, 112 << 16, 116 << 16, 120 << 16, 0, 0xFF0000},
         0xFF0000},
        {F::Bc3,
         {0x64000000, 0x68000000, 0x6C000000, 0x70000000, 0x74000000, 0x78000000, 0, 0xFF000000},
         0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
            std::uint32_t pixels[16];
            for (int t = 0; t < 16; ++t)
                pixels[t] = c.colours[t % c.colours.size()];
            std::uint8_t block[16];
            EncodeOptions options;
            options.level = level;
            EncodeBlock(c.format, options, reinterpret_cast<const std::uint8_t*>(pixels), block);
            const Bytes decoded = Decode(c.format, Bytes(block, block + 16), 4, 4);
            for (int t = 0; t < 16; ++t) {
                std::uint32_t texel;
                std::memcpy(&texel, &decoded[4 * t], 4);
                ASSERT_EQ(texel & c.compared, pixels[t] & c.compared) << int(c.format) << " " << t;
            }
        }
    }
}

TEST(BlockEncoders, Bc1aMakesExactlyTheTexelsBelowTheThresholdTransparent) {
    const Picture photo = Photo();
    for (const int threshold : {1, 128, 255}) {
        for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
            EncodeOptions options;
            options.level = level;
            options.alphaThreshold = static_cast<std::uint8_t>(threshold);
            const Bytes decoded =
                Decode(F::Bc1a, Encode(F::Bc1a, options, photo), photo.width, photo.height);
            for (std::size_t i = 3; i < decoded.size(); i += 4)
                ASSERT_EQ(decoded[i], photo.bgra[i] < threshold ? 0 : 255) << threshold << " " << i;
        }
    }
}

TEST(BlockEncoders, PartialBlocksRepeatTheLastColumnAndRow) {
    Picture image{5, 3, Bytes(5 * 3 * 4)};
    for (std::size_t i = 0; i < image.bgra.size(); ++i)
        image.bgra[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (const F format : {F::Bc1, F::Bc3}) {
        const Bytes blocks = Encode(format, {}, image);
        const std::size_t size = EncodedBlockBytes(format);
        ASSERT_EQ(blocks.size(), 2 * size);
        for (int bx = 0; bx < 2; ++bx) {
            std::uint8_t tile[64], want[16];
            for (int t = 0; t < 16; ++t) {
                const int x = std::min(4 * bx + t % 4, 4), y = std::min(t / 4, 2);
                std::memcpy(tile + 4 * t, &image.bgra[(y * 5 + x) * 4], 4);
            }
            EncodeBlock(format, {}, tile, want);
            EXPECT_EQ(Bytes(want, want + size), Bytes(&blocks[bx * size], &blocks[(bx + 1) * size]))
                << int(format) << " block " << bx;
        }
    }
}

TEST(BlockEncoders, TheSameBytesAtAnyThreadCountWithProgressToTheEnd) {
    const Picture photo = Photo();
    EncodeOptions best;
    best.level = EncodeLevel::Best;
    for (const F format : {F::Bc1, F::Bc1a, F::Bc2, F::Bc3, F::Bc4, F::Bc5, F::Bc7}) {
        for (const EncodeOptions& options : {EncodeOptions{}, best}) {
            Bytes oneThread;
            {
                tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
                oneThread = Encode(format, options, photo);
            }
            std::vector<int> counters;
            EXPECT_EQ(Encode(format, options, photo, [&](int n) { counters.push_back(n); }),
                      oneThread)
                << int(format);
            ASSERT_FALSE(counters.empty());
            EXPECT_TRUE(std::is_sorted(counters.begin(), counters.end()));
            EXPECT_EQ(counters.back(), 100);
        }
    }
}

}  // namespace
}  // namespace tintora::testing
