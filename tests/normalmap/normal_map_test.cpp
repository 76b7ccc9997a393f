// The normal-map generator: worked Sobel and encoding examples as tables, the height sources,
// the amplitude, the plain formula with wrapping as a reference, and the texture entry point.
#include "normalmap/normal_map.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "base/error.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

// Channel positions within a stored texel.
constexpr int kB = 0;
constexpr int kG = 1;
constexpr int kR = 2;
constexpr int kA = 3;

PixelBuffer MakeImage(int width, int height, const std::function<Bgra(int, int)>& texel) {
    PixelBuffer image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Bgra value = texel(x, y);
            std::copy(value.begin(), value.end(), image.view().pixel(x, y));
        }
    }
    return image;
}

Bgra At(PixelBuffer& image, int x, int y) {
    const std::uint8_t* p = image.view().pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
}

PixelBuffer Generate(PixelBuffer& source, float amplitude, HeightSource height) {
    PixelBuffer map(source.width(), source.height());
    GenerateNormalMap(source.view(), map.view(), amplitude, height);
    return map;
}

// A grey texel: every colour channel and alpha hold value.
Bgra Grey(int value) {
    const auto v = static_cast<std::uint8_t>(value);
    return {v, v, v, v};
}

TEST(NormalMapTest, SourceCodes) {
    const std::pair<std::int32_t, HeightSource> codes[] = {{1, HeightSource::Red},
                                                           {2, HeightSource::Luminance},
                                                           {4, HeightSource::Blue},
                                                           {8, HeightSource::Alpha},
                                                           {16, HeightSource::Green}};
    for (const auto& [code, source] : codes)
        EXPECT_EQ(HeightSourceFromCode(code), source) << code;
    for (const std::int32_t code : {0, 3, 32})
        EXPECT_FALSE(HeightSourceFromCode(code)) << code;
}

// A constant source gives the flat colour (blue 255, red and green 128) everywhere at any size,
// with the height in alpha: the source byte, or the luminance rounded (0.299 R + 0.587 G +
// 0.114 B). So do amplitudes 0 and NaN on any source.
TEST(NormalMapTest, FlatMaps) {
    const struct {
        int width;
        int height;
        HeightSource source;
        Bgra texel;
        std::uint8_t alpha;
    } cases[] = {
        {1, 1, HeightSource::Red, {30, 60, 90, 200}, 90},
        {2, 2, HeightSource::Green, {30, 60, 90, 200}, 60},
        {3, 5, HeightSource::Blue, {30, 60, 90, 200}, 30},
        {16, 8, HeightSource::Alpha, {30, 60, 90, 200}, 200},
        {7, 3, HeightSource::Luminance, {30, 60, 90, 200}, 66},   // 65.55
        {3, 3, HeightSource::Luminance, {0, 0, 255, 9}, 76},      // 76.245
        {3, 3, HeightSource::Luminance, {0, 255, 0, 9}, 150},     // 149.685
        {3, 3, HeightSource::Luminance, {255, 0, 0, 9}, 29},      // 29.07
        {3, 3, HeightSource::Luminance, {50, 100, 200, 9}, 124},  // 124.2
        {3, 3, HeightSource::Luminance, {255, 255, 255, 9}, 255},
    };
    for (const auto& c : cases) {
        PixelBuffer source = MakeImage(c.width, c.height, [&c](int, int) { return c.texel; });
        PixelBuffer map = Generate(source, 10.0f, c.source);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(At(map, x, y), (Bgra{255, 128, 128, c.alpha})) << c.width << " " << x;
        }
    }
    PixelBuffer source = MakeImage(19, 11, [](int x, int y) { return PatternTexel(x, y, 3); });
    for (const float amplitude : {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        PixelBuffer map = Generate(source, amplitude, HeightSource::Red);
        for (int y = 0; y < 11; ++y) {
            for (int x = 0; x < 19; ++x) {
                ASSERT_EQ(At(map, x, y), (Bgra{255, 128, 128, At(source, x, y)[kR]}))
                    << amplitude << " at " << x << "," << y;
            }
        }
    }
}

// Ramps against hand-computed values. A ramp of `step` per texel has a Sobel sum of 8 x step, so
// the tilt is t = amplitude x step / 255 and n = (-t, 0, 1) / sqrt(1 + t^2). For step 17 and
// amplitude 6.25: t = 5/12, n = (-5/13, 0, 12/13), red = round(8/13 x 127.5) = 78, blue =
// round(25/13 x 127.5) = 245. A ramp down the image tilts green the other way (green up: the
// normal's y axis points towards row 0).
TEST(NormalMapTest, RampsGiveTheAnalyticTilt) {
    const struct {
        int step;
        int length;
        float amplitude;
        bool down;  // the ramp grows down the image (else to the right)
        int along;  // red for a ramp to the right, green for one down
        int blue;
    } cases[] = {
        {17, 16, 6.25f, false, 78, 245},    // n = (-5/13, 0, 12/13)
        {17, 16, 36.0f, false, 10, 177},    // t = 2.4: n = (-12/13, 0, 5/13)
        {51, 5, 10.0f, false, 13, 185},     // t = 2: n = (-2, 0, 1) / sqrt 5
        {1, 64, 20.0f, false, 118, 255},    // t = 20/255: 117.53 and 254.61
        {17, 16, -6.25f, false, 177, 245},  // relief inverted: 176.54
        {17, 16, 1.0e30f, false, 0, 128},   // saturated: the texel on its side
        {17, 16, 6.25f, true, 177, 245},   {51, 5, 10.0f, true, 242, 185},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.step << " x " << c.amplitude << (c.down ? " down" : ""));
        const int width = c.down ? 5 : c.length;
        const int height = c.down ? c.length : 6;
        PixelBuffer source =
            MakeImage(width, height, [&](int x, int y) { return Grey(c.step * (c.down ? y : x)); });
        PixelBuffer map = Generate(source, c.amplitude, HeightSource::Red);
        for (int y = c.down ? 1 : 0; y < (c.down ? height - 1 : height); ++y) {
            for (int x = c.down ? 0 : 1; x < (c.down ? width : width - 1); ++x) {
                const Bgra texel = At(map, x, y);
                ASSERT_EQ(texel[c.down ? kG : kR], c.along) << x << "," << y;
                ASSERT_EQ(texel[c.down ? kR : kG], 128) << x << "," << y;
                ASSERT_EQ(texel[kB], c.blue) << x << "," << y;
                ASSERT_EQ(texel[kA], c.step * (c.down ? y : x));
            }
        }
    }
}

// The formula evaluated directly in double precision, one texel at a time, with modulo wrapping.
std::array<double, 3> ReferenceNormal(PixelBuffer& source, int channel, double amplitude, int x,
                                      int y) {
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

// Random heights against the plain formula, at odd sizes with several row blocks per thread and
// at one or two texels across (where both neighbours are the same texel): every texel, the
// edges included, sees its wrapped neighbours of its own channel; a negative amplitude turns the
// relief over.
TEST(NormalMapTest, RandomHeightsMatchThePlainFormula) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::pair<int, int> sizes[] = {{203, 157}, {1, 6}, {2, 2}, {6, 1}, {2, 5}};
    int exact = 0;
    int texels = 0;
    for (const auto& [width, height] : sizes) {
        PixelBuffer source = MakeImage(width, height, [&](int, int) {
            Bgra texel;
            for (std::uint8_t& value : texel)
                value = static_cast<std::uint8_t>(byte(random));
            return texel;
        });
        const std::pair<HeightSource, int> channels[] = {{HeightSource::Blue, kB},
                                                         {HeightSource::Green, kG},
                                                         {HeightSource::Red, kR},
                                                         {HeightSource::Alpha, kA}};
        for (const auto& [heights, channel] : channels) {
            const float amplitude = channel == kR ? -7.5f : 0.5f + static_cast<float>(channel);
            PixelBuffer map = Generate(source, amplitude, heights);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const std::array<double, 3> expected =
                        ReferenceNormal(source, channel, amplitude, x, y);
                    const Bgra texel = At(map, x, y);
                    // Single against double precision: only a value within a hair of .5 may
                    // differ.
                    ASSERT_NEAR(texel[kR], expected[0], 0.5001) << width << " " << x << "," << y;
                    ASSERT_NEAR(texel[kG], expected[1], 0.5001) << width << " " << x << "," << y;
                    ASSERT_NEAR(texel[kB], expected[2], 0.5001) << width << " " << x << "," << y;
                    ASSERT_EQ(texel[kA], At(source, x, y)[channel]);
                    exact += texel[kR] == std::lround(expected[0]) ? 1 : 0;
                    ++texels;
                }
            }
        }
    }
    EXPECT_GT(exact, texels * 99 / 100);
}

// --- Through the device's textures -------------------------------------------------------------

class GenerateThroughTextures : public DocumentTest {
  protected:
    std::shared_ptr<Texture> MakeTexture(int width, int height,
                                         D3DFORMAT format = D3DFMT_A8R8G8B8) {
        return device().CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED);
    }
};

// Into another texture (the source unchanged) or into the source itself.
TEST_F(GenerateThroughTextures, FillsTheDestinationOrTheSourceItself) {
    PixelBuffer copy = MakeImage(32, 16, [](int x, int y) { return PatternTexel(x, y, 1); });
    auto source = MakeTexture(32, 16);
    auto destination = MakeTexture(32, 16);
    FillTexture(*source, [](int x, int y) { return PatternTexel(x, y, 1); });
    Imaging_GenerateNormalMap(destination, source, 10.0f, 2, 0);
    EXPECT_EQ(ReadTexture(*source), BufferBytes(copy));
    EXPECT_EQ(ReadTexture(*destination),
              BufferBytes(Generate(copy, 10.0f, HeightSource::Luminance)));

    Imaging_GenerateNormalMap(source, source, -3.0f, 1, 0);
    EXPECT_EQ(ReadTexture(*source), BufferBytes(Generate(copy, -3.0f, HeightSource::Red)));
}

TEST_F(GenerateThroughTextures, RefusesWhatItCannotDoAndWritesNothing) {
    auto source = MakeTexture(8, 8);
    FillTexture(*source, [](int x, int y) { return PatternTexel(x, y, 2); });
    const std::vector<std::uint8_t> sourceBytes = ReadTexture(*source);

    const struct {
        const char* what;
        std::shared_ptr<Texture> destination;
        std::int32_t code;
    } cases[] = {
        {"narrower", MakeTexture(4, 8), 2},
        {"shorter", MakeTexture(8, 4), 2},
        {"not A8R8G8B8", MakeTexture(8, 8, D3DFMT_X8R8G8B8), 2},
        {"code 3", MakeTexture(8, 8), 3},
    };
    for (const auto& c : cases) {
        std::shared_ptr<Texture> destination = c.destination;
        FillTexture(*destination, [](int, int) { return Bgra{9, 9, 9, 9}; });
        const std::vector<std::uint8_t> destinationBytes = ReadTexture(*destination);
        EXPECT_EQ(
            ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, source, 10.0f, c.code, 0); }),
            D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(ReadTexture(*destination), destinationBytes) << c.what;
        EXPECT_EQ(ReadTexture(*source), sourceBytes) << c.what;
    }
    std::shared_ptr<Texture> none;
    auto destination = MakeTexture(8, 8);
    EXPECT_EQ(ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, none, 1.0f, 1, 0); }),
              kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([&] { Imaging_GenerateNormalMap(none, source, 1.0f, 1, 0); }),
              kErrObjectNotSet);

    // A locked destination: refused; the source lock taken before was given back, the caller's
    // lock was not.
    destination->LockRect(0, nullptr, 0);
    EXPECT_EQ(ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, source, 1.0f, 1, 0); }),
              D3DERR_INVALIDCALL);
    EXPECT_NO_THROW(source->LockRect(0, nullptr, 0));
    EXPECT_NO_THROW(destination->UnlockRect(0));
}

}  // namespace
}  // namespace tintora::testing
