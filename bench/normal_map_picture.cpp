// Writes a picture of generated normal maps: the source texture on the left, then its normal map
// for each amplitude, side by side (shown opaque; the maps' alpha holds the height).
//
//   normal_map_picture [source image] [output png] [source code] [amplitude ...]
//
// Defaults: data/samples/tile.bmp, docs/normalmap.png, luminance (code 2), amplitudes 10 and -10.
// A light mortar between darker bricks is high ground for the luminance, so amplitude 10 sinks
// the bricks into the wall and -10 raises them.
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "normalmap/normal_map.h"

using namespace tintora;

int main(int argc, char** argv) {
    const std::string input = argc > 1 ? argv[1] : TINTORA_SOURCE_DIR "/data/samples/tile.bmp";
    const std::string output = argc > 2 ? argv[2] : TINTORA_SOURCE_DIR "/docs/normalmap.png";
    const auto code = static_cast<std::int32_t>(argc > 3 ? std::strtol(argv[3], nullptr, 10) : 2);
    std::vector<float> amplitudes;
    for (int i = 4; i < argc; ++i)
        amplitudes.push_back(std::strtof(argv[i], nullptr));
    if (amplitudes.empty()) amplitudes = {10.0f, -10.0f};
    const std::optional<HeightSource> height = HeightSourceFromCode(code);
    if (!height) {
        std::fprintf(stderr,
                     "unknown source code %d (1 red, 2 luminance, 4 blue, 8 alpha, 16 green)\n",
                     code);
        return 2;
    }

    const QImage loaded(QString::fromStdString(input));
    if (loaded.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", input.c_str());
        return 1;
    }
    // ARGB32 holds each pixel as the word 0xAARRGGBB: the bytes B G R A, rows of 4 x width bytes.
    QImage source = loaded.convertToFormat(QImage::Format_ARGB32);
    const int width = source.width();
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width);
    const auto panels = static_cast<int>(amplitudes.size()) + 1;
    QImage picture(panels * width, source.height(), QImage::Format_RGB32);  // top byte ignored
    QImage map(source.size(), QImage::Format_ARGB32);
    if (source.bytesPerLine() != static_cast<qsizetype>(rowBytes) ||
        map.bytesPerLine() != static_cast<qsizetype>(rowBytes)) {
        std::fprintf(stderr, "unexpected row padding\n");
        return 1;
    }
    for (int y = 0; y < source.height(); ++y) {
        std::memcpy(picture.scanLine(y), source.constScanLine(y), rowBytes);
    }
    for (std::size_t i = 0; i < amplitudes.size(); ++i) {
        GenerateNormalMap({source.bits(), width, source.height()},
                          {map.bits(), width, map.height()}, amplitudes[i], *height);
        for (int y = 0; y < source.height(); ++y) {
            std::memcpy(picture.scanLine(y) + (i + 1) * rowBytes, map.constScanLine(y), rowBytes);
        }
        std::printf("panel %zu: amplitude %g\n", i + 2, static_cast<double>(amplitudes[i]));
    }
    if (!picture.save(QString::fromStdString(output), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, source code %d -> %s\n", input.c_str(), width, source.height(), code,
                output.c_str());
    return 0;
}
