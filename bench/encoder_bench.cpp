// Prints what our BC1-BC5 and BC7 encoders give and cost on photographs, beside libsquish: for
// the 1024 x 1024 centre crops of the first photographs (by name) in a folder, default six of
// Debian's mate-backgrounds nature set, the mean PSNR over the crops and the megapixels per second
// of one core (one thread; processor time of the encoding thread), per format and level:
//  - BC1, BC2, BC3: RGB PSNR, decoded by libsquish; beside them libsquish's cluster fit and range
//    fit on the same format;
//  - BC4 (red) and BC5 (red, green): PSNR of those channels, decoded by our block decoders;
//    beside them the textbook fit (eight values from the minimum and maximum, then least-squares
//    endpoints while they lower the error) and libsquish;
//  - BC7: RGB PSNR, decoded by our block decoders, beside libsquish's cluster-fit BC1 above.
// Then the goals, each with its figures.
//
//   bench_encoder [folder [photos]]
//
// Figures only: nothing is asserted. Each of our encodings is timed as the best of three runs
// (BC7 best, about two seconds a photograph: one run).
#include <squish.h>
#include <tbb/global_control.h>

#include <QDir>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "imagefiles/block_decoders.h"
#include "imagefiles/block_encoders.h"

using namespace tintora;

namespace {

constexpr int kSide = 1024;
constexpr int kBlocks = kSide / 4 * (kSide / 4);

struct Photo {
    std::string name;
    std::vector<std::uint8_t> bgra;  // kSide x kSide
};

std::vector<Photo> LoadCrops(const QString& folder, int count) {
    std::vector<Photo> photos;
    for (const QString& name :
         QDir(folder).entryList({"*.jpg", "*.png"}, QDir::Files, QDir::Name)) {
        if (static_cast<int>(photos.size()) == count) break;
        const QImage image(folder + "/" + name);
        if (image.width() < kSide || image.height() < kSide) continue;
        const QImage crop =
            image.copy((image.width() - kSide) / 2, (image.height() - kSide) / 2, kSide, kSide)
                .convertToFormat(QImage::Format_ARGB32);  // B G R A bytes
        Photo photo{name.toStdString(), std::vector<std::uint8_t>(std::size_t{kSide} * kSide * 4)};
        for (int y = 0; y < kSide; ++y) {
            std::memcpy(&photo.bgra[static_cast<std::size_t>(y) * kSide * 4], crop.constScanLine(y),
                        kSide * 4);
        }
        photos.push_back(std::move(photo));
    }
    return photos;
}

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The 16 pixels of block i of a kSide x kSide image.
void Tile(const std::vector<std::uint8_t>& bgra, int i, std::uint8_t* tile) {
    const int bx = i % (kSide / 4), by = i / (kSide / 4);
    for (int y = 0; y < 4; ++y) {
        std::memcpy(tile + 16 * y,
                    &bgra[(static_cast<std::size_t>(4 * by + y) * kSide + 4 * bx) * 4], 16);
    }
}

struct Coder {
    std::size_t blockBytes;
    std::function<void(const std::vector<std::uint8_t>& bgra, std::uint8_t* blocks)> encode;
    std::function<void(const std::uint8_t* block, std::uint8_t* bgra)> decode;  // 16 pixels
    std::vector<int> channels;  // bytes of a B G R A pixel the PSNR covers
    int runs;
};

struct Figures {
    double psnr = 0, megapixelsPerSecond = 0;
};

// Mean PSNR over the photos and megapixels per second of processor time.
Figures Measure(const std::vector<Photo>& photos, const Coder& coder) {
    Figures figures;
    double seconds = 0;
    std::vector<std::uint8_t> blocks(kBlocks * coder.blockBytes);
    for (const Photo& photo : photos) {
        double best = 1e30;
        for (int run = 0; run < coder.runs; ++run) {
            const double start = ThreadSeconds();
            coder.encode(photo.bgra, blocks.data());
            best = std::min(best, ThreadSeconds() - start);
        }
        seconds += best;
        double sum = 0;
        std::uint8_t source[64], decoded[64];
        for (int i = 0; i < kBlocks; ++i) {
            Tile(photo.bgra, i, source);
            coder.decode(&blocks[i * coder.blockBytes], decoded);
            for (int t = 0; t < 16; ++t) {
                for (const int c : coder.channels) {
                    const double d = static_cast<double>(source[4 * t + c]) - decoded[4 * t + c];
                    sum += d * d;
                }
            }
        }
        const double mse = sum / (static_cast<double>(kSide) * kSide * coder.channels.size());
        figures.psnr += 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-9));
    }
    figures.psnr /= static_cast<double>(photos.size());
    figures.megapixelsPerSecond =
        static_cast<double>(photos.size()) * kSide * kSide / 1e6 / seconds;
    return figures;
}

Coder Ours(EncodeFormat format, EncodeOptions options,
           std::function<void(const std::uint8_t*, std::uint8_t*)> decode,
           std::vector<int> channels) {
    return {EncodedBlockBytes(format),
            [format, options](const std::vector<std::uint8_t>& bgra, std::uint8_t* blocks) {
                EncodeImage(format, options, bgra.data(), kSide, kSide, blocks);
            },
            std::move(decode), std::move(channels), 3};
}

// libsquish on blocks of R G B A pixels, one call a block (its own image loop may use threads).
Coder Squish(int flags, std::function<void(const std::uint8_t*, std::uint8_t*)> decode,
             std::vector<int> channels) {
    const std::size_t bytes = (flags & (squish::kDxt1 | squish::kBc4)) ? 8 : 16;
    return {bytes,
            [flags, bytes](const std::vector<std::uint8_t>& bgra, std::uint8_t* blocks) {
                std::uint8_t tile[64];
                for (int i = 0; i < kBlocks; ++i) {
                    Tile(bgra, i, tile);
                    for (int t = 0; t < 16; ++t)
                        std::swap(tile[4 * t], tile[4 * t + 2]);
                    squish::Compress(tile, blocks + i * bytes, flags);
                }
            },
            std::move(decode), std::move(channels), 1};
}

// The textbook one-channel fit: eight values from the minimum and maximum, nearest indices, then
// least-squares endpoints (rounded) while they lower the error, at most twice.
void PaletteOf(int e0, int e1, int p[8]) {
    p[0] = e0;
    p[1] = e1;
    for (int i = 1; i <= 6; ++i)
        p[i + 1] = ((7 - i) * e0 + i * e1) / 7;
}

int NearestIndices(const std::uint8_t* x, int e0, int e1, int* indices) {
    int p[8], error = 0;
    PaletteOf(e0, e1, p);
    for (int t = 0; t < 16; ++t) {
        int best = 0;
        for (int k = 1; k < 8; ++k) {
            if (std::abs(x[t] - p[k]) < std::abs(x[t] - p[best])) best = k;
        }
        indices[t] = best;
        error += (x[t] - p[best]) * (x[t] - p[best]);
    }
    return error;
}

void TextbookChannelBlock(const std::uint8_t* tile, int channel, std::uint8_t* block) {
    std::uint8_t x[16];
    for (int t = 0; t < 16; ++t)
        x[t] = tile[4 * t + channel];
    int e0 = *std::max_element(x, x + 16), e1 = *std::min_element(x, x + 16);
    int indices[16] = {};
    if (e0 == e1) {
        e0 = e1 = x[0];  // every index 0 reads e0
    } else {
        int error = NearestIndices(x, e0, e1, indices);
        for (int round = 0; round < 2; ++round) {
            double a = 0, b = 0, c = 0, x0 = 0, x1 = 0;
            for (int t = 0; t < 16; ++t) {
                const int position = indices[t] == 0 ? 0 : indices[t] == 1 ? 7 : indices[t] - 1;
                const double w1 = position / 7.0, w0 = 1 - w1;
                a += w0 * w0, b += w1 * w1, c += w0 * w1, x0 += w0 * x[t], x1 += w1 * x[t];
            }
            const double det = a * b - c * c;
            if (det <= 0) break;
            const int v0 =
                static_cast<int>(std::lround(std::clamp((b * x0 - c * x1) / det, 0.0, 255.0)));
            const int v1 =
                static_cast<int>(std::lround(std::clamp((a * x1 - c * x0) / det, 0.0, 255.0)));
            int high = std::max(v0, v1), low = std::min(v0, v1);
            if (high == low) {
                if (high < 255) {
                    ++high;
                } else {
                    --low;
                }
            }
            int next[16];
            const int nextError = NearestIndices(x, high, low, next);
            if (nextError >= error) break;
            error = nextError, e0 = high, e1 = low;
            std::copy(next, next + 16, indices);
        }
    }
    std::uint64_t bits = 0;
    for (int t = 0; t < 16; ++t)
        bits |= static_cast<std::uint64_t>(indices[t]) << (3 * t);
    block[0] = static_cast<std::uint8_t>(e0);
    block[1] = static_cast<std::uint8_t>(e1);
    for (int i = 0; i < 6; ++i)
        block[2 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

Coder Textbook(bool twoChannels, std::function<void(const std::uint8_t*, std::uint8_t*)> decode,
               std::vector<int> channels) {
    const std::size_t bytes = twoChannels ? 16 : 8;
    return {bytes,
            [twoChannels, bytes](const std::vector<std::uint8_t>& bgra, std::uint8_t* blocks) {
                std::uint8_t tile[64];
                for (int i = 0; i < kBlocks; ++i) {
                    Tile(bgra, i, tile);
                    TextbookChannelBlock(tile, 2, blocks + i * bytes);
                    if (twoChannels) TextbookChannelBlock(tile, 1, blocks + i * bytes + 8);
                }
            },
            std::move(decode), std::move(channels), 3};
}

std::function<void(const std::uint8_t*, std::uint8_t*)> SquishDecoder(int flags) {
    return [flags](const std::uint8_t* block, std::uint8_t* bgra) {
        squish::Decompress(bgra, block, flags);
        for (int t = 0; t < 16; ++t)
            std::swap(bgra[4 * t], bgra[4 * t + 2]);
    };
}

std::function<void(const std::uint8_t*, std::uint8_t*)> OurDecoder(BlockFormat format) {
    return [format](const std::uint8_t* block, std::uint8_t* bgra) {
        DecodeBlock(format, block, bgra);
    };
}

struct Row {
    std::string format, coder, level;
    Figures figures;
};

}  // namespace

int main(int argc, char** argv) {
    const QString folder = argc > 1 ? argv[1] : "/usr/share/backgrounds/mate/nature";
    const int count = argc > 2 ? std::atoi(argv[2]) : 6;
    const std::vector<Photo> photos = LoadCrops(folder, count);
    if (photos.empty()) {
        std::fprintf(stderr, "no photographs of at least %d x %d in %s\n", kSide, kSide,
                     qPrintable(folder));
        return 1;
    }
    tbb::global_control oneThread(tbb::global_control::max_allowed_parallelism, 1);
    std::printf("%zu centre crops of %d x %d, one thread:", photos.size(), kSide, kSide);
    for (const Photo& photo : photos)
        std::printf(" %s", photo.name.c_str());
    std::printf("\n\n%-6s %-28s %-5s %9s %12s\n", "format", "encoder", "level", "dB", "MP/s/core");

    const std::vector<int> rgb = {0, 1, 2}, red = {2}, redGreen = {2, 1};
    std::vector<Row> rows;
    const auto run = [&](const char* format, const char* coder, const char* level, const Coder& c) {
        rows.push_back({format, coder, level, Measure(photos, c)});
        const Row& row = rows.back();
        std::printf("%-6s %-28s %-5s %9.3f %12.2f\n", format, coder, level, row.figures.psnr,
                    row.figures.megapixelsPerSecond);
        std::fflush(stdout);
    };
    const EncodeOptions fast{EncodeLevel::Fast, false, 128}, best{EncodeLevel::Best, false, 128};
    EncodeOptions fastThree = fast, bestThree = best;
    fastThree.bc1ThreeColour = bestThree.bc1ThreeColour = true;
    struct ColourFormat {
        const char* name;
        EncodeFormat format;
        int squishFlags;
    };
    for (const ColourFormat& f : {ColourFormat{"BC1", EncodeFormat::Bc1, squish::kDxt1},
                                  ColourFormat{"BC2", EncodeFormat::Bc2, squish::kDxt3},
                                  ColourFormat{"BC3", EncodeFormat::Bc3, squish::kDxt5}}) {
        const auto decode = SquishDecoder(f.squishFlags);
        run(f.name, "Tintora", "fast", Ours(f.format, fast, decode, rgb));
        run(f.name, "Tintora", "best", Ours(f.format, best, decode, rgb));
        if (f.format == EncodeFormat::Bc1) {
            run(f.name, "Tintora, three-colour blocks", "fast",
                Ours(f.format, fastThree, decode, rgb));
            run(f.name, "Tintora, three-colour blocks", "best",
                Ours(f.format, bestThree, decode, rgb));
        }
        run(f.name, "libsquish cluster fit", "",
            Squish(f.squishFlags | squish::kColourClusterFit, decode, rgb));
        run(f.name, "libsquish range fit", "",
            Squish(f.squishFlags | squish::kColourRangeFit, decode, rgb));
    }
    const auto bc4 = OurDecoder(BlockFormat::Bc4Unorm), bc5 = OurDecoder(BlockFormat::Bc5Unorm);
    run("BC4", "Tintora", "fast", Ours(EncodeFormat::Bc4, fast, bc4, red));
    run("BC4", "Tintora", "best", Ours(EncodeFormat::Bc4, best, bc4, red));
    run("BC4", "textbook least-squares fit", "", Textbook(false, bc4, red));
    run("BC4", "libsquish", "", Squish(squish::kBc4, bc4, red));
    run("BC5", "Tintora", "fast", Ours(EncodeFormat::Bc5, fast, bc5, redGreen));
    run("BC5", "Tintora", "best", Ours(EncodeFormat::Bc5, best, bc5, redGreen));
    run("BC5", "textbook least-squares fit", "", Textbook(true, bc5, redGreen));
    run("BC5", "libsquish", "", Squish(squish::kBc5, bc5, redGreen));
    const auto bc7 = OurDecoder(BlockFormat::Bc7);
    run("BC7", "Tintora", "fast", Ours(EncodeFormat::Bc7, fast, bc7, rgb));
    Coder oneRun = Ours(EncodeFormat::Bc7, best, bc7, rgb);
    oneRun.runs = 1;
    run("BC7", "Tintora", "best", oneRun);

    const auto find = [&](const std::string& format, const std::string& coder,
                          const std::string& level) {
        for (const Row& row : rows) {
            if (row.format == format && row.coder == coder && row.level == level)
                return row.figures;
        }
        return Figures{};
    };
    std::printf("\nGoals (one thread):\n");
    const auto goal = [](const char* what, bool met, double db, double reference, double speed) {
        std::printf("  %-52s %s  (%+.3f dB, %.1f MP/s)\n", what, met ? "met    " : "NOT MET",
                    db - reference, speed);
    };
    const Figures clusterBc1 = find("BC1", "libsquish cluster fit", "");
    for (const char* format : {"BC1", "BC2", "BC3"}) {
        const Figures f = find(format, "Tintora", "fast"), b = find(format, "Tintora", "best");
        const Figures cluster = find(format, "libsquish cluster fit", "");
        const Figures reference = cluster.psnr > clusterBc1.psnr ? cluster : clusterBc1;
        const std::string fastGoal =
            std::string(format) + " fast >= libsquish cluster fit, 40 MP/s";
        const std::string bestGoal = std::string(format) + " best >= cluster fit + 0.4 dB, 4 MP/s";
        goal(fastGoal.c_str(), f.psnr >= reference.psnr && f.megapixelsPerSecond >= 40, f.psnr,
             reference.psnr, f.megapixelsPerSecond);
        goal(bestGoal.c_str(), b.psnr >= reference.psnr + 0.4 && b.megapixelsPerSecond >= 4, b.psnr,
             reference.psnr, b.megapixelsPerSecond);
    }
    for (const char* format : {"BC4", "BC5"}) {
        const Figures f = find(format, "Tintora", "fast");
        const Figures reference = find(format, "textbook least-squares fit", "");
        const std::string what = std::string(format) + " fast >= least-squares fit, 100 MP/s";
        goal(what.c_str(), f.psnr >= reference.psnr && f.megapixelsPerSecond >= 100, f.psnr,
             reference.psnr, f.megapixelsPerSecond);
    }
    const Figures bc7Fast = find("BC7", "Tintora", "fast");
    const Figures bc7Best = find("BC7", "Tintora", "best");
    goal("BC7 fast >= libsquish cluster-fit BC1 + 7 dB, 5 MP/s",
         bc7Fast.psnr >= clusterBc1.psnr + 7 && bc7Fast.megapixelsPerSecond >= 5, bc7Fast.psnr,
         clusterBc1.psnr, bc7Fast.megapixelsPerSecond);
    std::printf("  %-52s %+.3f dB at %.2f MP/s\n", "BC7 best over fast:",
                bc7Best.psnr - bc7Fast.psnr, bc7Best.megapixelsPerSecond);
    std::printf(
        "  (BC1-BC3 against the higher of libsquish's cluster fit on BC1, which may use\n"
        "   three-colour blocks, and on the format itself.)\n");
    return 0;
}
