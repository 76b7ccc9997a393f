// Which encoder writes which part of each format's block:
//   BC1, BC1a: the colour block (bc1_encoder.h), 8 bytes;
//   BC2: 64 bits of alpha, 4 a texel (texel 0 in the lowest bits), then a four-colour block;
//   BC3: an alpha block (bc4_encoder.h on alpha), then a four-colour block;
//   BC4: one block on red; BC5: red, then green; BC7: bc7_encoder.h.
#include "imagefiles/block_encoders.h"

#include <algorithm>
#include <cstring>

#include "imagefiles/bc1_encoder.h"
#include "imagefiles/bc4_encoder.h"
#include "imagefiles/bc7_encoder.h"

namespace tintora {
namespace {

constexpr int kRed = 2, kGreen = 1, kAlpha = 3;  // byte of a B G R A pixel

// Blocks a parallel group should hold per thread before the loop pays for itself.
constexpr std::size_t kBlocksPerThreadGroup = 4096;

void EncodeExplicitAlpha(const std::uint8_t* bgra, std::uint8_t* block) {
    for (int i = 0; i < 8; ++i) {
        // Nearest 4-bit value: v widens to v * 17.
        const int low = (bgra[8 * i + 3] + 8) / 17, high = (bgra[8 * i + 7] + 8) / 17;
        block[i] = static_cast<std::uint8_t>(low | (high << 4));
    }
}

// The 4 x 4 block at block column bx and row by, the image's last column and row repeated
// where the block passes its edge.
void GatherBlock(const std::uint8_t* bgra, int width, int height, int bx, int by,
                 std::uint8_t* tile) {
    const int x0 = 4 * bx, y0 = 4 * by;
    const auto pixel = [&](int x, int y) {
        return bgra + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)) *
                          4;
    };
    if (x0 + 4 <= width && y0 + 4 <= height) {
        for (int y = 0; y < 4; ++y)
            std::memcpy(tile + 16 * y, pixel(x0, y0 + y), 16);
        return;
    }
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            std::memcpy(tile + 16 * y + 4 * x,
                        pixel(std::min(x0 + x, width - 1), std::min(y0 + y, height - 1)), 4);
        }
    }
}

}  // namespace

std::size_t EncodedBlockBytes(EncodeFormat format) {
    switch (format) {
        case EncodeFormat::Bc1:
        case EncodeFormat::Bc1a:
        case EncodeFormat::Bc4:
            return 8;
        default:
            return 16;
    }
}

void EncodeBlock(EncodeFormat format, const EncodeOptions& options, const std::uint8_t* bgra,
                 std::uint8_t* block) {
    const EncodeLevel level = options.level;
    switch (format) {
        case EncodeFormat::Bc1:
            EncodeColourBlock(bgra, {level, options.bc1ThreeColour, 0}, block);
            break;
        case EncodeFormat::Bc1a:
            // Never three-colour blocks for opaque texels: a BC1a reader takes their black for
            // transparent.
            EncodeColourBlock(bgra, {level, false, options.alphaThreshold}, block);
            break;
        case EncodeFormat::Bc2:
            EncodeExplicitAlpha(bgra, block);
            EncodeColourBlock(bgra, {level, false, 0}, block + 8);
            break;
        case EncodeFormat::Bc3:
            EncodeChannelBlock(bgra, kAlpha, level, block);
            EncodeColourBlock(bgra, {level, false, 0}, block + 8);
            break;
        case EncodeFormat::Bc4:
            EncodeChannelBlock(bgra, kRed, level, block);
            break;
        case EncodeFormat::Bc5:
            EncodeChannelBlock(bgra, kRed, level, block);
            EncodeChannelBlock(bgra, kGreen, level, block + 8);
            break;
        case EncodeFormat::Bc7:
            EncodeBc7Block(bgra, level, block);
            break;
    }
}

void EncodeImage(EncodeFormat format, const EncodeOptions& options, const std::uint8_t* bgra,
                 int width, int height, std::uint8_t* blocks, const ProgressFn& progress) {
    if (width <= 0 || height <= 0) return;
    const int blocksWide = (width + 3) / 4, blockRows = (height + 3) / 4;
    const std::size_t rowBytes = static_cast<std::size_t>(blocksWide) * EncodedBlockBytes(format);
    const std::size_t rowsPerGroup =
        std::max<std::size_t>(1, kBlocksPerThreadGroup / static_cast<std::size_t>(blocksWide));
    pixel_groups::ForEachPixelGroup(
        static_cast<std::size_t>(blockRows), 1, pixel_groups::MinGroupPixels(rowsPerGroup),
        progress, [&](std::size_t begin, std::size_t end) {
            alignas(16) std::uint8_t tile[64];
            const std::size_t blockBytes = EncodedBlockBytes(format);
            for (std::size_t by = begin; by < end; ++by) {
                std::uint8_t* out = blocks + by * rowBytes;
                for (int bx = 0; bx < blocksWide; ++bx) {
                    GatherBlock(bgra, width, height, bx, static_cast<int>(by), tile);
                    EncodeBlock(format, options, tile,
                                out + static_cast<std::size_t>(bx) * blockBytes);
                }
            }
        });
}

}  // namespace tintora
