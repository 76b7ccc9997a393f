// Prints how long the whole-texture colour operations take on 1024 x 1024 and 4096 x 4096
// photograph-like images, on one thread and on all threads, beside a plain memory copy of the
// image (the floor) and beside ImageMagick 6 doing the same operations on the same pixels.
//
// ImageMagick runs as a separate program (convert-im6.q16) on a MIFF file written from the same
// pixels, with its own benchmark option: "convert in.miff -bench N <operation> null:" repeats
// reading the file and the operation N times, on one thread and then on all its threads, and
// reports iterations per second and processor time. The same run without an operation gives the
// time of the read, which is subtracted, so only the operation is compared.
//
// Usage: bench_effects [runs] [size...]   (runs: timed repetitions per figure, default 5)
// Set TINTORA_BENCH_NO_IM=1 to skip ImageMagick, TINTORA_BENCH_ONLY=<part of a name> to run only
// the operations whose name contains it (and the copy).
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "photo_like.h"
#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"

using namespace tintora;

namespace {

using Times = bench::Timing;

// The medians of wall and thread processor time of runs calls of work, after one that warms up
// (it pages in the destination and builds the caches).
Times TimesOf(const std::function<void()>& work, int runs) {
    return bench::MedianTiming(work, runs, bench::ThreadCpuMilliseconds, 1);
}

// A 24-bit bottom-up Windows bitmap of the colour bytes.
void WriteBmp(const std::filesystem::path& path, const std::vector<std::uint8_t>& bgra, int size) {
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(size) * 3;
    const std::uint32_t pad = (4 - rowBytes % 4) % 4;
    const std::uint32_t imageBytes = (rowBytes + pad) * static_cast<std::uint32_t>(size);
    std::vector<std::uint8_t> header(54, 0);
    const auto put32 = [&header](int at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + imageBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(size));
    put32(22, static_cast<std::uint32_t>(size));
    header[26] = 1;
    header[28] = 24;
    put32(34, imageBytes);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), 54);
    std::vector<char> row(rowBytes + pad, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* px = bgra.data() + (static_cast<std::size_t>(y) * size + x) * 4;
            std::memcpy(row.data() + 3 * x, px, 3);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

// ImageMagick's time per iteration of "convert file -bench runs <arguments> null:", on one thread
// ([0]) and on all its threads ([1]); wall -1 when the command fails.
std::array<Times, 2> MagickTimes(const std::string& file, const std::string& arguments, int runs) {
    std::array<Times, 2> times{Times{-1, -1}, Times{-1, -1}};
    const std::string command = "convert-im6.q16 " + file + " -bench " + std::to_string(runs) +
                                " " + arguments + " null: 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return times;
    char line[256];
    int lastThreads = 0;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        // "  Performance[2]: 5i 22.782ips 0.605062e 0.220000u 0:00.219": threads, iterations,
        // iterations per second, efficiency, user seconds, elapsed.
        const char* at = std::strstr(line, "Performance[");
        if (at == nullptr) continue;
        char* next = nullptr;
        const long threads = std::strtol(at + 12, &next, 10);
        const double iterations = std::strtod(next + 2, &next);  // "]: 5i"
        const double perSecond = std::strtod(next + 1, &next);   // " 22.782ips"
        std::strtod(next + 4, &next);                            // "ips 0.605062e"
        const double user = std::strtod(next + 1, &next);        // "e 0.220000u"
        if (threads <= 0 || iterations <= 0 || perSecond <= 0) continue;
        const Times t{1000.0 / perSecond, 1000.0 * user / iterations};
        if (threads == 1) times[0] = t;
        if (threads >= lastThreads) times[1] = t;
        lastThreads = std::max<int>(lastThreads, static_cast<int>(threads));
    }
    pclose(pipe);
    return times;
}

struct Operation {
    const char* name;
    const char* magickArguments;  // nullptr: no ImageMagick counterpart
    std::function<void(PixelView, PixelView)> run;
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1024, 4096};
    const bool withMagick = std::getenv("TINTORA_BENCH_NO_IM") == nullptr &&
                            std::system("convert-im6.q16 -version > /dev/null 2>&1") == 0;
    const int threads = tbb::info::default_concurrency();
    const char* only = std::getenv("TINTORA_BENCH_ONLY");  // runs only operations named so

    // Slider settings: contrast +50 and luminosity +20; hue +60 degrees and saturation +30.
    // ImageMagick's nearest equivalents: -brightness-contrast 20x50 (percent), and -modulate
    // 100,130,133.3 (hue 100 is no turn, 200 half a turn).
    const std::vector<Operation> operations = {
        {"memory copy (floor)", nullptr,
         [](PixelView in, PixelView out) { std::memcpy(out.data, in.data, in.byteCount()); }},
        {"invert", "-channel RGB -negate",
         [](PixelView in, PixelView out) { InvertColors(in, out); }},
        {"contrast/luminosity", "-brightness-contrast 20x50",
         [](PixelView in, PixelView out) {
             AdjustContrastLuminosity(in, out, ContrastFactor(50), 20, [](int) {});
         }},
        {"hue/saturation", "-modulate 100,130,133.3",
         [](PixelView in, PixelView out) { AdjustHueSaturation(in, out, 60, 30, [](int) {}); }},
        {"auto contrast", "-auto-level",
         [](PixelView in, PixelView out) { AutoContrast(in, out, [](int) {}); }},
        {"equalize", "-equalize", [](PixelView in, PixelView out) { Equalize(in, out); }},
    };

    const auto directory = std::filesystem::temp_directory_path() /
                           ("tintora_effects_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);

    std::printf(
        "Whole-texture colour operations, milliseconds, %d runs each, %d threads.\n"
        "ours (median): wall time on 1 thread, its processor time, wall time on all threads,\n"
        "and that against a plain copy of the image on all threads.\n"
        "IM (mean of its -bench runs): ImageMagick's time for the operation alone (its read of\n"
        "the file subtracted), wall and processor time on 1 thread, wall time on all threads.\n"
        "IM/ours: the ratios (1 thread wall, processor time, all threads wall).\n",
        runs, threads);
    if (!withMagick) std::printf("(ImageMagick not run)\n");
    for (const int size : sizes) {
        std::vector<std::uint8_t> source = PhotoLike(size);
        std::vector<std::uint8_t> destination(source.size());
        PixelView in{source.data(), size, size};
        PixelView out{destination.data(), size, size};

        // ImageMagick's read of the file alone.
        std::string miff;
        std::array<Times, 2> magickRead{};
        if (withMagick) {
            const auto bmp = directory / ("in" + std::to_string(size) + ".bmp");
            WriteBmp(bmp, source, size);
            miff = (directory / ("in" + std::to_string(size) + ".miff")).string();
            std::system(("convert-im6.q16 " + bmp.string() + " " + miff).c_str());
            magickRead = MagickTimes(miff, "", runs);
        }

        std::printf("\n%d x %d (%.1f MiB)\n", size, size,
                    static_cast<double>(source.size()) / (1024.0 * 1024.0));
        std::printf("  %-20s %8s %8s %8s %6s | %8s %8s %8s | %6s %6s %6s\n", "", "ours 1t", "cpu",
                    "all", "xcopy", "IM 1t", "cpu", "all", "1t", "cpu", "all");
        double copy = 0;
        for (const Operation& operation : operations) {
            if (only != nullptr && operation.magickArguments != nullptr &&
                std::strstr(operation.name, only) == nullptr) {
                continue;
            }
            Times ours[2];
            for (int t = 0; t < 2; ++t) {
                tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                          t == 0 ? 1 : static_cast<std::size_t>(threads));
                ours[t] = TimesOf([&] { operation.run(in, out); }, runs);
            }
            if (operation.magickArguments == nullptr) {
                copy = ours[1].wall;
                std::printf("  %-20s %8.2f %8.2f %8.2f\n", operation.name, ours[0].wall,
                            ours[0].cpu, ours[1].wall);
                continue;
            }
            std::printf("  %-20s %8.2f %8.2f %8.2f %6.1f", operation.name, ours[0].wall,
                        ours[0].cpu, ours[1].wall, ours[1].wall / copy);
            if (withMagick) {
                const std::array<Times, 2> total =
                    MagickTimes(miff, operation.magickArguments, runs);
                Times magick[2];
                for (int t = 0; t < 2; ++t) {
                    magick[t] = {total[t].wall - magickRead[t].wall,
                                 total[t].cpu - magickRead[t].cpu};
                }
                std::printf(" | %8.1f %8.1f %8.1f | %6.1f %6.1f %6.1f", magick[0].wall,
                            magick[0].cpu, magick[1].wall, magick[0].wall / ours[0].wall,
                            magick[0].cpu / ours[0].cpu, magick[1].wall / ours[1].wall);
            }
            std::printf("\n");
        }
        if (withMagick) {
            std::printf("  (ImageMagick's read of the file, not counted: %.1f ms on 1 thread)\n",
                        magickRead[0].wall);
        }
    }
    std::filesystem::remove_all(directory);
    return 0;
}
