// Prints how fast a 4096 x 4096 normal map is made: the generator on one thread and on all
// threads, through the device's textures, a plain copy of the image as the floor, and
// ImageMagick (convert-im6.q16) doing the same work where it can:
//  - the two wrapped 3 x 3 Sobel convolutions (-virtual-pixel tile -morphology Convolve
//    Sobel:0 / Sobel:90), timed at full size;
//  - the whole encoding (normalise, map to 0..255) only through -fx, which interprets the
//    expression per pixel and channel: timed on a 128 x 128 crop, scaled up per pixel, and its
//    bytes compared with ours on that crop.
// Each figure is the median of several runs: wall time, and processor time of this process and
// its children (on a shared machine the processor time is the steadier of the two).
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "bench_support.h"
#include "document/module1.h"
#include "normalmap/normal_map.h"

using namespace tintora;

namespace {

constexpr int kSize = 4096;
constexpr int kCrop = 128;
constexpr float kAmplitude = 10.0f;

using bench::Timing;

// The medians of wall time and of the processor time of this process and the children it waited
// for, over runs calls of run (no warm-up).
Timing Measure(int runs, const std::function<void()>& run) {
    return bench::MedianTiming(run, runs, bench::ProcessCpuMilliseconds);
}

void PrintLine(const char* what, Timing t, double megapixels, Timing floor) {
    std::printf("  %-40s %8.1f ms (cpu %8.1f ms) %7.0f Mpixel/s %6.1f x copy\n", what, t.wall,
                t.cpu, megapixels / t.wall * 1000.0, t.wall / floor.wall);
}

// A height field with broad waves, finer ridges and a little grain, in the red channel (the
// other channels hold other patterns, so the source code matters).
void FillSource(PixelView image) {
    std::vector<double> waveX(static_cast<std::size_t>(image.width));
    std::vector<double> waveY(static_cast<std::size_t>(image.height));
    const double turn = 2.0 * std::numbers::pi;
    for (int x = 0; x < image.width; ++x) {
        waveX[x] = 50.0 * std::sin(turn * 3.0 * x / image.width) +
                   20.0 * std::sin(turn * 41.0 * x / image.width);
    }
    for (int y = 0; y < image.height; ++y) {
        waveY[y] = 50.0 * std::cos(turn * 2.0 * y / image.height) +
                   20.0 * std::cos(turn * 29.0 * y / image.height);
    }
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const double grain = static_cast<double>(((x * 7) ^ (y * 13)) & 15) - 7.5;
            const double h = std::clamp(127.5 + waveX[x] + waveY[y] + grain, 0.0, 255.0);
            std::uint8_t* p = image.pixel(x, y);
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(std::lround(h));
            p[3] = static_cast<std::uint8_t>(x ^ y);
        }
    }
}

Timing TimeCommand(const std::string& command, int runs) {
    bool failed = false;
    const Timing t = Measure(runs, [&] { failed |= std::system(command.c_str()) != 0; });
    if (failed) std::printf("  (command failed: %s)\n", command.c_str());
    return t;
}

// The red channel of the top-left width x height texels as an 8-bit grey file.
void WriteRed(PixelView image, int width, int height, const std::filesystem::path& path) {
    std::vector<char> bytes;
    bytes.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bytes.push_back(static_cast<char>(image.pixel(x, y)[2]));
    }
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void CompareSobel(PixelView source, const std::filesystem::path& dir, Timing ours, Timing copy) {
    const std::filesystem::path heights = dir / "height.gray";
    WriteRed(source, kSize, kSize, heights);
    const std::string size = std::to_string(kSize) + "x" + std::to_string(kSize);
    const std::string read = "convert-im6.q16 -size " + size + " -depth 8 gray:" + heights.string();
    // -virtual-pixel tile wraps the kernels around the edges as we do; the bias keeps the signed
    // results of a Q16 build (no HDRI) from clamping at 0.
    const std::string sobel = read +
                              " -virtual-pixel tile -define convolve:bias=50%"
                              " \\( -clone 0 -morphology Convolve Sobel:0 \\)"
                              " \\( -clone 0 -morphology Convolve Sobel:90 \\) -delete 0";

    std::printf("\nImageMagick 6 (convert-im6.q16), %d x %d heights from an 8-bit grey file:\n",
                kSize, kSize);
    const double megapixels = static_cast<double>(kSize) * kSize / 1e6;
    const Timing readOnly = TimeCommand(read + " null:", 3);
    const Timing all = TimeCommand(sobel + " null:", 3);
    const Timing one = TimeCommand("MAGICK_THREAD_LIMIT=1 " + sobel + " null:", 3);
    PrintLine("read the file only", readOnly, megapixels, copy);
    PrintLine("read + two Sobel, all threads", all, megapixels, copy);
    PrintLine("read + two Sobel, one thread", one, megapixels, copy);
    std::printf("  ratio, ImageMagick read + two Sobel / our whole map: wall %.1f, cpu %.1f\n",
                all.wall / ours.wall, all.cpu / ours.cpu);
    std::printf(
        "  ratio, ImageMagick two Sobel alone (minus the read) / our whole map: "
        "wall %.1f, cpu %.1f\n",
        (all.wall - readOnly.wall) / ours.wall, (all.cpu - readOnly.cpu) / ours.cpu);
}

void CompareFx(PixelView source, const std::filesystem::path& dir, Timing ours) {
    const std::filesystem::path cropHeights = dir / "crop.gray";
    const std::filesystem::path cropOut = dir / "crop.rgb";
    WriteRed(source, kCrop, kCrop, cropHeights);
    // Each channel evaluates the formula on its own copy of the height, u in 0..1, so the scale
    // is amplitude / 8. -fx results are truncated when stored at 8 bits: half a level more makes
    // that a rounding.
    const std::string gx = "(p[1,-1]+2*p[1,0]+p[1,1]-p[-1,-1]-2*p[-1,0]-p[-1,1])";
    const std::string gy = "(p[-1,1]+2*p[0,1]+p[1,1]-p[-1,-1]-2*p[0,-1]-p[1,-1])";
    const std::string k = std::to_string(kAmplitude / 8.0f);
    const auto channel = [&](const char* name, const std::string& component) {
        return std::string(" -channel ") + name + " -fx 'nx=-" + k + "*" + gx + "; ny=" + k + "*" +
               gy + "; (" + component + "/sqrt(nx*nx+ny*ny+1)+1)/2+0.5/255'";
    };
    const std::string fx = "convert-im6.q16 -size " + std::to_string(kCrop) + "x" +
                           std::to_string(kCrop) + " -depth 8 gray:" + cropHeights.string() +
                           " -virtual-pixel tile -colorspace sRGB -type TrueColor" +
                           channel("R", "nx") + channel("G", "ny") + channel("B", "1") +
                           " +channel -depth 8 rgb:" + cropOut.string();
    const Timing t = TimeCommand(fx, 1);
    const double scale = static_cast<double>(kSize) * kSize / (static_cast<double>(kCrop) * kCrop);
    std::printf(
        "  whole encoding with -fx on %d x %d: %.0f ms (cpu %.0f ms); per pixel scaled "
        "to %d x %d: about %.0f s\n",
        kCrop, kCrop, t.wall, t.cpu, kSize, kSize, t.wall * scale / 1000.0);
    std::printf("  ratio, ImageMagick -fx scaled / our whole map: wall %.0f, cpu %.0f\n",
                t.wall * scale / ours.wall, t.cpu * scale / ours.cpu);

    // The crop's map by both, compared byte by byte.
    PixelBuffer crop(kCrop, kCrop);
    PixelBuffer cropMap(kCrop, kCrop);
    for (int y = 0; y < kCrop; ++y) {
        std::memcpy(crop.view().pixel(0, y), source.pixel(0, y),
                    4 * static_cast<std::size_t>(kCrop));
    }
    GenerateNormalMap(crop.view(), cropMap.view(), kAmplitude, HeightSource::Red);
    std::ifstream in(cropOut, std::ios::binary);
    std::vector<char> theirs(static_cast<std::size_t>(kCrop) * kCrop * 3);
    if (!in.read(theirs.data(), static_cast<std::streamsize>(theirs.size()))) {
        std::printf("  (no -fx output to compare)\n");
        return;
    }
    int largest = 0;
    std::size_t equal = 0;
    for (int y = 0; y < kCrop; ++y) {
        for (int x = 0; x < kCrop; ++x) {
            const std::uint8_t* ours8 = cropMap.view().pixel(x, y);
            const std::size_t at = 3 * (static_cast<std::size_t>(y) * kCrop + x);
            for (int c = 0; c < 3; ++c) {  // theirs R G B, ours B G R
                const int diff =
                    std::abs(static_cast<int>(ours8[2 - c]) -
                             static_cast<int>(static_cast<std::uint8_t>(theirs[at + c])));
                largest = std::max(largest, diff);
                equal += diff == 0 ? 1 : 0;
            }
        }
    }
    std::printf("  our bytes against -fx's on the crop: %.2f%% equal, largest difference %d\n",
                100.0 * static_cast<double>(equal) / (3.0 * kCrop * kCrop), largest);
}

}  // namespace

int main() {
    Device& device = bench::StartModule1Device();

    PixelBuffer source(kSize, kSize);
    PixelBuffer map(kSize, kSize);
    FillSource(source.view());
    std::memset(map.data(), 0, map.byteCount());  // touch the pages before timing

    const double megapixels = static_cast<double>(kSize) * kSize / 1e6;
    const int threads = tbb::info::default_concurrency();
    std::printf(
        "Normal map of %d x %d (%.1f Mpixel), amplitude %.1f, height from red, %d threads\n", kSize,
        kSize, megapixels, static_cast<double>(kAmplitude), threads);

    const Timing copy =
        Measure(9, [&] { std::memcpy(map.data(), source.data(), source.byteCount()); });
    Timing one;
    {
        const tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
        one = Measure(7, [&] {
            GenerateNormalMap(source.view(), map.view(), kAmplitude, HeightSource::Red);
        });
    }
    const Timing all = Measure(
        9, [&] { GenerateNormalMap(source.view(), map.view(), kAmplitude, HeightSource::Red); });
    const Timing luminance = Measure(9, [&] {
        GenerateNormalMap(source.view(), map.view(), kAmplitude, HeightSource::Luminance);
    });

    auto sourceTexture = device.CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    auto mapTexture = device.CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    {
        const D3DLOCKED_RECT rect = sourceTexture->LockRect(0, nullptr, 0);
        std::memcpy(rect.pBits, source.data(), source.byteCount());
        sourceTexture->UnlockRect(0);
    }
    const Timing textures =
        Measure(9, [&] { Imaging_GenerateNormalMap(mapTexture, sourceTexture, kAmplitude, 1, 0); });

    PrintLine("memory copy of the image (floor)", copy, megapixels, copy);
    PrintLine("generator, 1 thread", one, megapixels, copy);
    PrintLine("generator, all threads", all, megapixels, copy);
    PrintLine("generator, luminance, all threads", luminance, megapixels, copy);
    PrintLine("Imaging_GenerateNormalMap on textures", textures, megapixels, copy);
    std::printf("  speed-up, all threads over one: %.2f\n", one.wall / all.wall);

    if (std::system("command -v convert-im6.q16 > /dev/null 2>&1") != 0) {
        std::printf("\nconvert-im6.q16 not found: no ImageMagick comparison\n");
    } else {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / "tintora_normal_map_bench";
        std::filesystem::create_directories(dir);
        CompareSobel(source.view(), dir, all, copy);
        CompareFx(source.view(), dir, all);
        std::filesystem::remove_all(dir);
    }
    ResetModule1();
    return 0;
}
