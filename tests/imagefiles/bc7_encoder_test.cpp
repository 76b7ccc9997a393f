// The BC7 encoder block by block: on pictures from another encoder, every mode, rotation and index
// selection it uses decodes (by our decoder) close to the texels, opaque blocks stay opaque, and
// each picture stays within a PSNR floor; blocks of one colour decode to it exactly. (Whole images
// through EncodeImage, and the same bytes at any thread count: block_encoders_test.cpp.)
#include "imagefiles/bc7_encoder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "imagefiles/block_decoders.h"
#include "imagefiles/dds_codec.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

struct Picture {
    std::string name;
    int width, height;
    std::vector<std::uint8_t> bgra;
};

// The other encoder's BC7 files as our reader decodes them, and the pictures of two more of its
// files, whose blocks (four colours each; radial alpha) call for the other modes.
std::vector<Picture> Pictures() {
    const std::string dir = TINTORA_OUTSIDE_DDS_DIR "/";
    std::vector<Picture> pictures;
    for (const char* name : {"bc7_dx10.dds", "bc7_alpha_250x130.dds"}) {
        const DecodedImage image = DecodeDds(ReadBytes(dir + name), name);
        pictures.push_back(
            {name, image.width, image.height, {image.bytes.begin(), image.bytes.end()}});
    }
    for (const char* name : {"bc1_dx9.png", "bc3_alpha_dx9.png"}) {
        const QImage image =
            QImage(QString::fromStdString(dir + name)).convertToFormat(QImage::Format_ARGB32);
        Picture p{name, image.width(), image.height(),
                  std::vector<std::uint8_t>(std::size_t(image.width()) * image.height() * 4)};
        for (int y = 0; y < p.height; ++y)
            std::memcpy(&p.bgra[std::size_t(y) * p.width * 4], image.constScanLine(y), p.width * 4);
        pictures.push_back(std::move(p));
    }
    return pictures;
}

double Psnr(double squaredError, double samples) {
    return 10 * std::log10(255.0 * 255.0 * samples / std::max(squaredError, 1e-9));
}

// The fields that change how a block's endpoints and indices decode: 100 mode + 10 rotation +
// index selection.
int Kind(const std::uint8_t* block) {
    const int mode = std::countr_zero(block[0]);
    if (mode == 4) return 400 + 10 * ((block[0] >> 5) & 3) + (block[0] >> 7);
    if (mode == 5) return 500 + 10 * (block[0] >> 6);
    return 100 * mode;
}

TEST(Bc7Encoder, EveryModeItUsesDecodesCloseToTheTexels) {
    const std::map<std::string, std::pair<double, double>> floors = {
        // dB over B G R A, Fast and Best.
        {"bc7_dx10.dds", {56.5, 58.5}},
        {"bc7_alpha_250x130.dds", {58, 60}},
        {"bc1_dx9.png", {56.5, 60}},
        {"bc3_alpha_dx9.png", {53, 54.5}},
    };
    const std::vector<Picture> pictures = Pictures();
    for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
        const bool fast = level == EncodeLevel::Fast;
        std::map<int, std::pair<double, int>> byKind;  // squared error, blocks
        for (const Picture& p : pictures) {
            double error = 0;
            int blocks = 0;
            for (int by = 0; by + 4 <= p.height; by += 4) {
                for (int bx = 0; bx + 4 <= p.width; bx += 4) {
                    std::uint8_t texels[64], block[16], decoded[64];
                    for (int row = 0; row < 4; ++row)
                        std::memcpy(texels + 16 * row, &p.bgra[4 * ((by + row) * p.width + bx)],
                                    16);
                    EncodeBc7Block(texels, level, block);
                    DecodeBlock(BlockFormat::Bc7, block, decoded);
                    double e = 0;
                    bool opaque = true;
                    for (int i = 0; i < 64; ++i) {
                        e += (texels[i] - decoded[i]) * (texels[i] - decoded[i]);
                        opaque = opaque && (i % 4 != 3 || texels[i] == 255);
                    }
                    for (int t = 0; t < 16 && opaque; ++t)
                        ASSERT_EQ(decoded[4 * t + 3], 255) << p.name << " " << bx << ", " << by;
                    byKind[Kind(block)].first += e;
                    ++byKind[Kind(block)].second;
                    error += e;
                    ++blocks;
                }
            }
            const auto [fastFloor, bestFloor] = floors.at(p.name);
            EXPECT_GE(Psnr(error, 64.0 * blocks), fast ? fastFloor : bestFloor) << p.name;
        }
        for (const auto& [kind, sum] : byKind)
            EXPECT_GE(Psnr(sum.first, 64.0 * sum.second), 45) << "kind " << kind;
        // Every mode the level uses, every rotation of mode 5, and at Best mode 4 with either
        // index selection and a rotation.
        const std::vector<int> used =
            fast ? std::vector<int>{100, 300, 400, 500, 510, 520, 530, 600, 700}
                 : std::vector<int>{0,   100, 200, 300, 400, 401, 420,
                                    421, 500, 510, 520, 530, 600, 700};
        for (const int kind : used)
            EXPECT_EQ(byKind.count(kind), 1u) << "kind " << kind << (fast ? " fast" : " best");
    }
}

TEST(Bc7Encoder, BlocksOfOneColourDecodeToItExactly) {
    for (const EncodeLevel level : {EncodeLevel::Fast, EncodeLevel::Best}) {
        for (const int alpha : {255, 254, 128, 1, 0}) {
            for (int v = 0; v < 256; ++v) {
                // Every value in each colour channel, in a different order in each.
                const std::uint8_t colour[4] = {
                    static_cast<std::uint8_t>(v * 89 + 7), static_cast<std::uint8_t>(255 - v),
                    static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(alpha)};
                std::uint8_t texels[64], block[16], decoded[64];
                for (int t = 0; t < 16; ++t)
                    std::memcpy(texels + 4 * t, colour, 4);
                EncodeBc7Block(texels, level, block);
                DecodeBlock(BlockFormat::Bc7, block, decoded);
                ASSERT_EQ(std::memcmp(texels, decoded, 64), 0) << v << " alpha " << alpha;
            }
        }
    }
}

}  // namespace
}  // namespace tintora::testing
