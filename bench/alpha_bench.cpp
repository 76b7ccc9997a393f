// Prints how long the alpha kernels take on a 4096 x 4096 image, on one thread and on all
// threads, beside a plain memory copy of the image (the floor: every kernel reads and writes each
// pixel once).
//
// Usage: bench_alpha [runs] [size]   (runs: timed repetitions per figure, median shown; default 5)
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "alpha/alpha_ops.h"
#include "bench_support.h"

using namespace tintora;

namespace {

std::vector<std::uint8_t> Noise(int width, int height, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
    for (std::uint8_t& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int size = argc > 2 ? std::max(16, std::atoi(argv[2])) : 4096;
    std::vector<std::uint8_t> image = Noise(size, size, 1);
    std::vector<std::uint8_t> copy(image.size());
    std::vector<std::uint8_t> quarter = Noise(size / 4, size / 4, 2);
    const PixelView view{image.data(), size, size};
    const PixelView small{quarter.data(), size / 4, size / 4};

    struct Operation {
        const char* name;
        std::function<void()> work;
    };
    const std::vector<Operation> operations = {
        {"memory copy (floor)", [&] { std::memcpy(copy.data(), image.data(), image.size()); }},
        {"colour key, threshold 30",
         [&] { ApplyColourKeyAlpha(view, 0x00406080u, 30, [](int) {}); }},
        {"channel: red", [&] { ApplyChannelAlpha(view, AlphaChannel::Red); }},
        {"channel: luminosity", [&] { ApplyChannelAlpha(view, AlphaChannel::Luminosity); }},
        {"channel: saturation", [&] { ApplyChannelAlpha(view, AlphaChannel::Saturation); }},
        {"other texture's alpha, 1/4 size",
         [&] { ApplyResampledAlpha(view, small, AlphaChannel::Alpha); }},
        {"other texture's luminosity, 1/4 size",
         [&] { ApplyResampledAlpha(view, small, AlphaChannel::Luminosity); }},
    };

    const int threads = tbb::info::default_concurrency();
    std::printf("alpha kernels on %d x %d, median of %d runs, milliseconds\n", size, size, runs);
    std::printf("%-40s %12s %12s\n", "operation", "1 thread", (std::to_string(threads) + " threads").c_str());
    // One warm-up run before each figure: it pages in the buffers, builds the saturation table.
    for (const Operation& op : operations) {
        double one = 0;
        {
            tbb::global_control limit(tbb::global_control::max_allowed_parallelism, 1);
            one = bench::MedianMilliseconds(op.work, runs, 1);
        }
        const double all = bench::MedianMilliseconds(op.work, runs, 1);
        std::printf("%-40s %12.2f %12.2f\n", op.name, one, all);
    }
    return 0;
}
