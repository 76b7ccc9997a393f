// Prints how fast the block decoders turn a side x side image into A8R8G8B8 pixels, in megapixels
// per second, on all threads and on one: BC4, BC5, BC6H (unsigned and signed) and BC7. The blocks
// are random bytes made valid: BC6H blocks take one of the 14 mode codes in turn, BC7 blocks one of
// the eight modes in turn (every other bit pattern of both formats is valid).
//
//   bench_block_decode [side]      (default 4096)
//
// Figures only: nothing is asserted. Times are medians of five runs.
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench_support.h"
#include "imagefiles/block_decoders.h"

using namespace tintora;

namespace {

std::vector<std::uint8_t> RandomBlocks(BlockFormat format, std::size_t count) {
    constexpr std::uint8_t kBc6hModeCodes[14] = {0x00, 0x01, 0x02, 0x06, 0x0A, 0x0E, 0x12,
                                                 0x16, 0x1A, 0x1E, 0x03, 0x07, 0x0B, 0x0F};
    const std::size_t bytes = BlockBytes(format);
    std::vector<std::uint8_t> blocks(count * bytes);
    std::mt19937_64 random(18);
    for (std::uint8_t& b : blocks)
        b = static_cast<std::uint8_t>(random());
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t& first = blocks[i * bytes];
        if (format == BlockFormat::Bc7) {
            const unsigned mode = i % 8;
            first = static_cast<std::uint8_t>(((first >> (mode + 1)) << (mode + 1)) | (1u << mode));
        } else if (format == BlockFormat::Bc6hUf16 || format == BlockFormat::Bc6hSf16) {
            first = static_cast<std::uint8_t>((first & 0xE0) | kBc6hModeCodes[i % 14]);
        }
    }
    return blocks;
}

// The median of five decodes, after one that only warms up.
double MedianMilliseconds(BlockFormat format, const std::vector<std::uint8_t>& blocks, int side,
                          std::vector<std::uint8_t>& out) {
    return bench::MedianMilliseconds(
        [&] { DecodeBlocksToArgb(format, blocks.data(), side, side, out.data()); }, 5, 1);
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::atoi(argv[1]) : 4096;
    if (side < 1 || side > 16384) {
        std::fprintf(stderr, "side must be 1..16384\n");
        return 2;
    }
    const double megapixels = static_cast<double>(side) * side / 1e6;
    const std::size_t blockCount = static_cast<std::size_t>((side + 3) / 4) * ((side + 3) / 4);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(side) * side * 4);

    std::printf("Block decoding to A8R8G8B8: %d x %d (%.1f megapixels), %d threads\n\n", side, side,
                megapixels, tbb::info::default_concurrency());
    std::printf("  %-10s %16s %16s %12s\n", "format", "all threads", "one thread", "(ms, all)");
    struct Row {
        const char* name;
        BlockFormat format;
    };
    const Row rows[] = {
        {"BC4", BlockFormat::Bc4Unorm},  {"BC4 signed", BlockFormat::Bc4Snorm},
        {"BC5", BlockFormat::Bc5Unorm},  {"BC5 signed", BlockFormat::Bc5Snorm},
        {"BC6H", BlockFormat::Bc6hUf16}, {"BC6H signed", BlockFormat::Bc6hSf16},
        {"BC7", BlockFormat::Bc7},
    };
    for (const Row& row : rows) {
        const std::vector<std::uint8_t> blocks = RandomBlocks(row.format, blockCount);
        const double all = MedianMilliseconds(row.format, blocks, side, out);
        double one;
        {
            tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
            one = MedianMilliseconds(row.format, blocks, side, out);
        }
        std::printf("  %-10s %10.0f Mpx/s %10.0f Mpx/s %9.0f ms\n", row.name,
                    megapixels / (all / 1000.0), megapixels / (one / 1000.0), all);
    }
    return 0;
}
