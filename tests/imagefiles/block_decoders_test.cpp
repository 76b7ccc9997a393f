// The BC4, BC5, BC6H and BC7 decoders: hand-built blocks whose texels are worked out from the
// formats' rules, the edges of a whole image, and files from another encoder against its pictures.
#include "imagefiles/block_decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "support/test_files.h"

namespace tintora::testing {
namespace {

using Block = std::array<std::uint8_t, 16>;

// Fields of one width written one after the other, lowest bit first; the texels listed in shorter
// (the anchors of an index list) take one bit fewer.
struct Fields {
    std::vector<int> values;
    int bits;
    std::vector<int> shorter = {};
};

// A block of fields from its lowest bit up.
Block Build(std::initializer_list<Fields> fields) {
    Block block{};
    int position = 0;
    for (const Fields& f : fields) {
        for (std::size_t i = 0; i < f.values.size(); ++i) {
            const bool anchor =
                std::count(f.shorter.begin(), f.shorter.end(), static_cast<int>(i)) != 0;
            for (int b = 0; b < f.bits - (anchor ? 1 : 0); ++b, ++position) {
                block[position / 8] |= static_cast<std::uint8_t>(
                    ((std::int64_t{f.values[i]} >> b) & 1) << (position % 8));
            }
        }
    }
    return block;
}

// Sixteen indices of bits bits (anchors one bit fewer): the picked texels', 0 for the others.
Fields Indices(std::initializer_list<std::pair<int, int>> picks, int bits,
               std::vector<int> anchors) {
    Fields f{std::vector<int>(16, 0), bits, std::move(anchors)};
    for (const auto& [texel, index] : picks)
        f.values[texel] = index;
    return f;
}

TEST(BlockDecoders, DecodeHandBuiltBlocks) {
    struct Case {
        const char* what;
        BlockFormat format;
        Block block;
        std::vector<std::pair<int, std::uint32_t>> want;  // texel, 0xAARRGGBB
    };
    using F = BlockFormat;
    // BC6H mode 0 (signed, 10-bit w, 5-bit deltas): w = (231, -50, 200), x - w = (-16, 15, 0),
    // y - w = (-5, 15, -16), z - w = (15, -16, 1).
    const int rx = 16, gx = 15, bx = 0, ry = 27, gy = 15, by = 16, rz = 15, gz = 16, bz = 1;
    // clang-format off
    const Case cases[] = {
        {"BC4 eight values", F::Bc4Unorm,
         Build({{{200, 10}, 8}, Indices({{1, 1}, {2, 2}, {3, 7}}, 3, {})}),
         {{0, 0xFFC8C8C8}, {1, 0xFF0A0A0A}, {2, 0xFFACACAC}, {3, 0xFF252525}}},
        {"BC4 six values, 0 and 255", F::Bc4Unorm,
         Build({{{10, 201}, 8}, Indices({{0, 2}, {1, 3}, {2, 5}, {3, 6}, {4, 7}}, 3, {})}),
         {{0, 0xFF303030}, {1, 0xFF565656}, {2, 0xFFA2A2A2}, {3, 0xFF000000}, {4, 0xFFFFFFFF}}},
        // -128 reads as -127; the endpoints compare as signed numbers.
        {"BC4 signed six values", F::Bc4Snorm,
         Build({{{0x80, 0x7F}, 8}, Indices({{1, 1}, {2, 2}, {3, 6}, {4, 7}}, 3, {})}),
         {{0, 0xFF000000}, {1, 0xFFFFFFFF}, {2, 0xFF333333}, {3, 0xFF000000}, {4, 0xFFFFFFFF}}},
        {"BC4 signed eight values", F::Bc4Snorm,
         Build({{{0, 0x81}, 8}, Indices({{1, 2}, {2, 7}}, 3, {})}),
         {{0, 0xFF808080}, {1, 0xFF6D6D6D}, {2, 0xFF121212}}},
        {"BC5 red then green", F::Bc5Unorm,
         Build({{{200, 10}, 8}, Indices({{0, 1}}, 3, {}), {{10, 201}, 8},
                Indices({{0, 7}}, 3, {})}),
         {{0, 0xFF0AFF00}}},
        {"BC5 signed", F::Bc5Snorm,
         Build({{{0, 0x81}, 8}, {{0}, 48}, {{0x80, 0x7F}, 8}, Indices({{0, 2}}, 3, {})}),
         {{0, 0xFF803300}}},
        // BC7: mode, partition, rotation, index selection, endpoints channel by channel, p-bits,
        // indices ({{0}, n}: n zero bits).
        {"BC7 mode 0: three subsets, anchors 3 and 8, p-bits", F::Bc7,
         Build({{{1}, 1}, {{1}, 4}, {{0, 15, 15, 0, 8, 8}, 4}, {{0}, 48}, {{0, 1, 1, 0, 0, 1}, 1},
                Indices({{3, 3}, {8, 2}, {12, 7}, {15, 7}}, 3, {0, 3, 8})}),
         {{0, 0xFF000000}, {3, 0xFF930505}, {8, 0xFF860202}, {12, 0xFF8C0808}, {15, 0xFF000000}}},
        {"BC7 mode 1: shared p-bits, anchor 2", F::Bc7,
         Build({{{0b10}, 2}, {{17}, 6}, {{0, 63, 63, 0}, 6}, {{0}, 24}, {{32, 32, 32, 32}, 6},
                {{1, 0}, 1}, Indices({{1, 7}, {2, 3}, {4, 4}}, 3, {0, 2})}),
         {{0, 0xFF020283}, {1, 0xFF000081}, {2, 0xFF920081}, {3, 0xFFFD0081}, {4, 0xFF940283}}},
        {"BC7 mode 2: three subsets, 2-bit weights", F::Bc7,
         Build({{{0b100}, 3}, {{0}, 6}, {{31, 0, 0, 31, 10, 20}, 5}, {{0}, 60},
                Indices({{2, 2}, {9, 1}}, 2, {0, 3, 15})}),
         {{0, 0xFFFF0000}, {2, 0xFFAB0000}, {9, 0xFF6D0000}}},
        {"BC7 mode 3: endpoint p-bits", F::Bc7,
         Build({{{0b1000}, 4}, {{0}, 6}, {{127, 0, 0, 127}, 7}, {{64, 64, 64, 64}, 7}, {{0}, 28},
                {{1, 0, 0, 1}, 1}, Indices({{0, 1}, {2, 3}, {15, 1}}, 2, {0, 15})}),
         {{0, 0xFFAB8101}, {2, 0xFFFF8101}, {15, 0xFF548000}}},
        {"BC7 mode 4: rotation 2, index selection 1", F::Bc7,
         Build({{{0b10000}, 5}, {{2}, 2}, {{1}, 1}, {{31, 0, 0, 31, 16, 16}, 5}, {{0, 63}, 6},
                Indices({{0, 1}, {1, 2}}, 2, {0}), Indices({{1, 7}, {2, 3}}, 3, {0})}),
         {{0, 0x00FF5484}, {1, 0xFF00AB84}, {2, 0x6C930084}}},
        {"BC7 mode 5: rotation 1", F::Bc7,
         Build({{{0b100000}, 6}, {{1}, 2}, {{0, 127, 64, 64, 0, 0}, 7}, {{0x10, 0xF0}, 8},
                Indices({{1, 3}, {2, 1}}, 2, {0}), Indices({{0, 1}, {2, 2}}, 2, {0})}),
         {{0, 0x005A8100}, {1, 0xFF108100}, {2, 0x54A78100}}},
        {"BC7 mode 6: 4-bit weights", F::Bc7,
         Build({{{0b1000000}, 7}, {{0, 127, 10, 20, 30, 40, 127, 0}, 7}, {{0, 1}, 1},
                Indices({{1, 15}, {2, 5}}, 4, {0})}),
         {{0, 0xFE00143C}, {1, 0x01FF2951}, {2, 0xAB541B43}}},
        {"BC7 mode 7: alpha, anchor 6", F::Bc7,
         Build({{{0b10000000}, 8}, {{34}, 6}, {{31, 0, 0, 31}, 5}, {{0}, 40}, {{31, 0, 16, 16}, 5},
                {{1, 1, 0, 0}, 1}, Indices({{1, 3}, {6, 1}, {7, 2}}, 2, {0, 6})}),
         {{0, 0xFFFF0404}, {1, 0x82FB0000}, {6, 0x82520000}, {7, 0x56560404}}},
        {"BC7 without a mode", F::Bc7, Block{}, {{0, 0}, {15, 0}}},
        // Mode 11: one region, 11-bit w = (1030, 900, 800), 9-bit deltas (-256, 100, -200).
        {"BC6H unsigned, one region", F::Bc6hUf16,
         Build({{{0b00111}, 5}, {{1030, 900, 800}, 10}, {{-256}, 9}, {{1}, 1}, {{100}, 9}, {{0}, 1},
                {{-200}, 9}, {{0}, 1}, Indices({{1, 15}, {2, 8}}, 4, {0})}),
         {{0, 0xFFFF6824}, {1, 0xFF1BFF04}, {2, 0xFF62B70C}}},
        // Mode 13: 16-bit w = (0x7000, 0x6400, 0x4C00), bits 10-15 stored from the top down;
        // 4-bit deltas (-8, 7, 0).
        {"BC6H unsigned, bits 15 to 10", F::Bc6hUf16,
         Build({{{0b01111}, 5}, {{0x7000, 0x6400, 0x4C00}, 10}, {{-8}, 4}, {{0, 1, 1, 1, 0, 0}, 1},
                {{7}, 4}, {{0, 1, 1, 0, 0, 1}, 1}, {{0}, 4}, {{0, 1, 0, 0, 1, 1}, 1},
                Indices({{1, 15}}, 4, {0})}),
         {{0, 0xFF642305}, {1, 0xFF632305}}},
        {"BC6H signed, two regions, anchor 2", F::Bc6hSf16,
         Build({{{0, 0, gy >> 4, by >> 4, bz >> 4}, 1}, {{231, -50, 200}, 10}, {{rx}, 5},
                {{gz >> 4}, 1}, {{gy}, 4}, {{gx}, 5}, {{bz}, 1}, {{gz}, 4}, {{bx}, 5},
                {{bz >> 1}, 1}, {{by}, 4}, {{ry}, 5}, {{bz >> 2}, 1}, {{rz}, 5}, {{bz >> 3}, 1},
                {{17}, 5}, Indices({{1, 7}, {2, 3}, {4, 7}}, 3, {0, 2})}),
         {{0, 0xFF820024}, {1, 0xFFF50026}, {2, 0xFF9C001A}, {4, 0xFF430024}}},
        {"BC6H reserved mode", F::Bc6hUf16, Build({{{0b10011}, 5}}), {{0, 0xFF000000}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::array<std::uint32_t, 16> texels;
        DecodeBlock(c.format, c.block.data(), reinterpret_cast<std::uint8_t*>(texels.data()));
        for (const auto& [texel, want] : c.want) {
            EXPECT_EQ(texels[texel], want) << c.what << ", texel " << texel;
        }
    }
}

TEST(BlockDecoders, PartialBlocksAtTheEdgesWriteOnlyTheImage) {
    const int width = 5, height = 6;
    std::vector<std::uint8_t> blocks(4 * 8);
    for (std::size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = static_cast<std::uint8_t>(i * 37 + 11);
    std::vector<std::uint8_t> out(width * height * 4 + 4, 0xEE);
    DecodeBlocksToArgb(BlockFormat::Bc4Unorm, blocks.data(), width, height, out.data());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t block[64];
            DecodeBlock(BlockFormat::Bc4Unorm, &blocks[8 * ((y / 4) * 2 + x / 4)], block);
            EXPECT_EQ(0,
                      std::memcmp(&out[4 * (y * width + x)], &block[4 * ((y % 4) * 4 + x % 4)], 4))
                << x << ", " << y;
        }
    }
    EXPECT_EQ(std::count(out.begin() + width * height * 4, out.end(), 0xEE), 4);
}

}  // namespace
}  // namespace tintora::testing
