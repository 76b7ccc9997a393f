// Prints how long a full mipmap chain of a 4096 x 4096 texture takes for each filter and option,
// on one thread and on all threads.
//
// Usage: bench_mipmap [runs] [size]   (runs: timed repetitions per figure, median shown; default 5)
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "imagefiles/mipmaps.h"

using namespace tintora;

namespace {

// The median of runs chains, after one that warms up (it pages in the allocator's memory and
// builds the tables).
double MedianMilliseconds(const PixelView& top, const MipOptions& options, int runs) {
    return bench::MedianMilliseconds([&] { MakeMipChain(top, options); }, runs, 1);
}

// Smooth shapes with a little noise, so that no filter meets only flat areas or only noise.
std::vector<std::uint8_t> Picture(int size) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) * size * 4);
    std::uint32_t seed = 1;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28);
            std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * size + x) * 4];
            p[0] = static_cast<std::uint8_t>((x * 255 / size + noise) & 255);
            p[1] = static_cast<std::uint8_t>((y * 255 / size + noise) & 255);
            p[2] = static_cast<std::uint8_t>(((x ^ y) & 255) / 2 + noise);
            p[3] = static_cast<std::uint8_t>(((x / 16 + y / 16) & 1) ? 255 - noise : noise);
        }
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int size = argc > 2 ? std::max(2, std::atoi(argv[2])) : 4096;
    std::vector<std::uint8_t> image = Picture(size);
    const PixelView top{image.data(), size, size};

    struct Case {
        const char* name;
        MipOptions options;
    };
    const std::vector<Case> cases = {
        {"box", {MipFilter::Box, false, false, 0}},
        {"kaiser", {MipFilter::Kaiser, false, false, 0}},
        {"lanczos", {MipFilter::Lanczos, false, false, 0}},
        {"kaiser, sRGB", {MipFilter::Kaiser, true, false, 0}},
        {"kaiser, normal map", {MipFilter::Kaiser, false, true, 0}},
        {"kaiser, alpha coverage 128", {MipFilter::Kaiser, false, false, 128}},
    };

    const int threads = tbb::info::default_concurrency();
    std::printf("mipmap chain of %d x %d (%d levels), median of %d runs, milliseconds\n", size,
                size, MipLevelCount(size, size), runs);
    std::printf("%-30s %10s %12s\n", "filter", "1 thread",
                (std::to_string(threads) + " threads").c_str());
    for (const Case& c : cases) {
        double one = 0;
        {
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism, 1);
            one = MedianMilliseconds(top, c.options, runs);
        }
        const double all = MedianMilliseconds(top, c.options, runs);
        std::printf("%-30s %10.1f %12.1f\n", c.name, one, all);
    }
    return 0;
}
