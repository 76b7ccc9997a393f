// The normal-map generator (worked examples, the plain formula as a reference, the texture entry)
// and the command that opens a map as a new texture.
#include "normalmap/normal_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "base/error.h"
#include "drawing/views.h"
#include "normalmap/normal_map_texture.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

enum Channel { kB, kG, kR, kA };  // positions within a stored texel

PixelBuffer MakeImage(int width, int height, const std::function<Bgra(int, int)>& texel) {
    PixelBuffer image(width, height);
    for (int i = 0; i < width * height; ++i) {
        const Bgra value = texel(i % width, i / width);
        std::copy(value.begin(), value.end(), image.data() + 4 * i);
    }
    return image;
}

Bgra At(const PixelBuffer& image, int x, int y) {
    const std::uint8_t* p = image.data() + 4 * (static_cast<std::size_t>(y) * image.width() + x);
    return {p[0], p[1], p[2], p[3]};
}

std::uint8_t Byte(int value) {
    return static_cast<std::uint8_t>(value);
}

PixelBuffer Generate(PixelBuffer& source, float amplitude, HeightSource height) {
    PixelBuffer map(source.width(), source.height());
    GenerateNormalMap(source.view(), map.view(), amplitude, height);
    return map;
}

// A constant source gives the flat texel with the luminance rounded in alpha (0.299 R + 0.587 G +
// 0.114 B); amplitudes 0 and NaN flatten any source.
TEST(NormalMapTest, FlatMaps) {
    const std::pair<Bgra, int> luminances[] = {
        {{30, 60, 90, 200}, 66}, {{0, 0, 255, 9}, 76},     {{0, 255, 0, 9}, 150},  // 65.55 ...
        {{255, 0, 0, 9}, 29},    {{50, 100, 200, 9}, 124}, {{255, 255, 255, 9}, 255}};
    for (const auto& [texel, alpha] : luminances) {
        PixelBuffer source = MakeImage(3, 3, [&](int, int) { return texel; });
        const Bgra got = At(Generate(source, 10.0f, HeightSource::Luminance), 1, 1);
        EXPECT_EQ(got, (Bgra{255, 128, 128, Byte(alpha)}));
    }
    PixelBuffer source = MakeImage(19, 11, [](int x, int y) { return PatternTexel(x, y, 3); });
    PixelBuffer flat = MakeImage(19, 11, [&](int x, int y) {
        return Bgra{255, 128, 128, At(source, x, y)[kR]};
    });
    for (const float amplitude : {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_EQ(BufferBytes(Generate(source, amplitude, HeightSource::Red)), BufferBytes(flat))
            << amplitude;
    }
}

// A ramp of 17 per texel has a Sobel sum of 8 x 17, so the tilt is t = amplitude x 17 / 255 and
// n = (-t, 0, 1) / sqrt(1 + t^2): at 6.25, t = 5/12, n = (-5/13, 0, 12/13), red round(8/13 x 127.5)
// = 78, blue 245. A ramp down the image tilts green the other way (green up).
TEST(NormalMapTest, RampsGiveTheAnalyticTilt) {
    const struct {
        float amplitude;
        bool down;  // the ramp grows down the image (else to the right)
        int along;  // red for a ramp to the right, green for one down
        int blue;
    } cases[] = {
        {6.25f, false, 78, 245},   {36.0f, false, 10, 177},   // t = 2.4: n = (-12/13, 0, 5/13)
        {-6.25f, false, 177, 245}, {1.0e30f, false, 0, 128},  // inverted; saturated, on its side
        {6.25f, true, 177, 245},
    };
    for (const auto& c : cases) {
        PixelBuffer source = MakeImage(16, 16, [&c](int x, int y) {
            return Bgra{0, 0, Byte(17 * (c.down ? y : x)), 0};
        });
        const Bgra t = At(Generate(source, c.amplitude, HeightSource::Red), 7, 7);  // off the wrap
        EXPECT_EQ((std::array<int, 4>{t[c.down ? kG : kR], t[c.down ? kR : kG], t[kB], t[kA]}),
                  (std::array<int, 4>{c.along, 128, c.blue, 17 * 7}))
            << c.amplitude << (c.down ? " down" : "");
    }
}

// The formula evaluated directly in double precision, one texel at a time, with modulo wrapping.
std::array<double, 3> ReferenceNormal(const PixelBuffer& source, int channel, double amplitude,
                                      int x, int y) {
    const int w = source.width();
    const int h = source.height();
    auto height = [&](int dx, int dy) {
        return static_cast<double>(At(source, (x + dx + w) % w, (y + dy + h) % h)[channel]);
    };
    const double gx = height(1, -1) + 2 * height(1, 0) + height(1, 1) - height(-1, -1) -
                      2 * height(-1, 0) - height(-1, 1);
    const double gy = height(-1, 1) + 2 * height(0, 1) + height(1, 1) - height(-1, -1) -
                      2 * height(0, -1) - height(1, -1);
    const double k = amplitude / (8.0 * 255.0);
    const double nx = -k * gx;
    const double ny = k * gy;
    const double length = std::sqrt(nx * nx + ny * ny + 1.0);
    return {(nx / length + 1.0) * 127.5, (ny / length + 1.0) * 127.5, (1.0 / length + 1.0) * 127.5};
}

// Random heights against the plain formula, at odd sizes (several row blocks per thread) and one or
// two texels across: every texel, the edges included, sees its wrapped neighbours.
TEST(NormalMapTest, RandomHeightsMatchThePlainFormula) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::pair<int, int> sizes[] = {{203, 157}, {1, 6}, {2, 2}, {6, 1}, {2, 5}};
    int exact = 0;
    int texels = 0;
    for (const auto& [width, height] : sizes) {
        PixelBuffer source = MakeImage(width, height, [&](int, int) {
            Bgra texel;
            std::generate(texel.begin(), texel.end(), [&] { return Byte(byte(random)); });
            return texel;
        });
        for (const int channel : {kB, kG, kR, kA}) {
            const HeightSource heights =
                std::array{HeightSource::Blue, HeightSource::Green, HeightSource::Red,
                           HeightSource::Alpha}[channel];
            const float amplitude = channel == kR ? -7.5f : 0.5f + static_cast<float>(channel);
            PixelBuffer map = Generate(source, amplitude, heights);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const auto expected = ReferenceNormal(source, channel, amplitude, x, y);
                    const Bgra texel = At(map, x, y);
                    // Single against double precision: only values a hair from .5 may differ.
                    for (int i = 0; i < 3; ++i) {
                        ASSERT_NEAR(texel[kR - i], expected[i], 0.5001)
                            << width << " " << x << "," << y << " channel " << kR - i;
                    }
                    ASSERT_EQ(texel[kA], At(source, x, y)[channel]);
                    exact += texel[kR] == std::lround(expected[0]) ? 1 : 0;
                    ++texels;
                }
            }
        }
    }
    EXPECT_GT(exact, texels * 99 / 100);
}

using GenerateThroughTextures = DocumentTest;

std::shared_ptr<Texture> MakeTexture(int width, int height, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    return Module1().Device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED);
}

// Refused, nothing written, the source lock given back: another size or format, none, locked.
TEST_F(GenerateThroughTextures, RefusesWhatItCannotDoAndWritesNothing) {
    auto source = MakeTexture(8, 8);
    FillTexture(*source, [](int x, int y) { return PatternTexel(x, y, 2); });
    const std::pair<std::shared_ptr<Texture>, HRESULT> cases[] = {
        {MakeTexture(4, 8), D3DERR_INVALIDCALL},
        {MakeTexture(8, 8, D3DFMT_X8R8G8B8), D3DERR_INVALIDCALL},
        {nullptr, kErrObjectNotSet}};
    for (auto [destination, error] : cases) {
        const auto before = destination ? ReadTexture(*destination) : std::vector<std::uint8_t>{};
        EXPECT_EQ(ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, source, 1, 1, 0); }),
                  error);
        EXPECT_EQ(destination ? ReadTexture(*destination) : before, before);
    }
    auto destination = MakeTexture(8, 8);
    destination->LockRect(0, nullptr, 0);
    EXPECT_EQ(ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, source, 1.0f, 1, 0); }),
              D3DERR_INVALIDCALL);
    EXPECT_NO_THROW(source->LockRect(0, nullptr, 0));
}

// The text's leading number in single precision; beyond its range the runtime's overflow.
TEST(AmplitudeFromTextTest, LeadingNumberInSinglePrecision) {
    EXPECT_EQ(AmplitudeFromText(" 2.5xyz"), 2.5f);
    EXPECT_EQ(AmplitudeFromText("3.4028235e38"), std::numeric_limits<float>::max());
    EXPECT_EQ(ErrorCodeOf([] { AmplitudeFromText("-4e38"); }), kErrOverflow);
}

using NormalMapTextureTest = DocumentTest;

// Nothing without an active texture; a failure at any step leaves nothing; then the next slots.
TEST_F(NormalMapTextureTest, FailureLeavesNothingBehind) {
    const std::int32_t source = CreateTextureEntry(16, 8, true);
    Texture& texture = *TextureAt(source).Texture;
    FillTexture(texture, [](int x, int y) { return PatternTexel(x, y, 5); });
    CopyOut(source);
    const std::int32_t document = CreateDocument(16, 8, true, false);
    for (const std::int32_t active : {0, document}) {  // none, or a window without a texture
        Module1().ActiveWindowIndex = active;
        EXPECT_EQ(CreateNormalMapTexture(1, "1e39"), 0);
    }
    DocumentAt(document).TextureIndex = source;

    const struct {
        std::int32_t code;
        const char* amplitude;
        bool locked;
        HRESULT error;
    } cases[] = {{1, "1e39", false, kErrOverflow},
                 {3, "10", false, D3DERR_INVALIDCALL},
                 {1, "10", true, D3DERR_INVALIDCALL}};
    for (const auto& c : cases) {
        if (c.locked) texture.LockRect(0, nullptr, D3DLOCK_READONLY);
        EXPECT_EQ(ErrorCodeOf([&] { CreateNormalMapTexture(c.code, c.amplitude); }), c.error);
        if (c.locked) texture.UnlockRect(0);
        EXPECT_EQ(InUseCount(Module1().TextureTable), 1);
        EXPECT_EQ(InUseCount(Module1().DocumentTable), 1);
        Module1().ActiveWindowIndex = document;
    }

    EXPECT_EQ(CreateNormalMapTexture(8, "-4"), 2);
    EXPECT_EQ(TextureAt(2).Title, "NormalMap2");
    PixelBuffer map(16, 8);
    GenerateNormalMap(TextureAt(source).Pixels.view(), map.view(), -4.0f, HeightSource::Alpha);
    EXPECT_EQ(ReadTexture(*TextureAt(2).Texture), BufferBytes(map));
    EXPECT_EQ(BufferBytes(TextureAt(2).Pixels), BufferBytes(map));
    EXPECT_EQ(ReadTexture(texture), BufferBytes(TextureAt(source).Pixels));
    EXPECT_EQ(DocumentAt(document).TextureIndex, source);
}

}  // namespace
}  // namespace tintora::testing
