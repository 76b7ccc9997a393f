#include "normalmap/normal_map.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "support/document_fixture.h"
#include "document/module1.h"
#include "base/error.h"

namespace tintora {
namespace {

using testing::Bgra;

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

// --- Flat and constant sources ------------------------------------------------------------

struct FlatCase {
    int width;
    int height;
    HeightSource source;
};

class FlatSource : public ::testing::TestWithParam<FlatCase> {};

TEST_P(FlatSource, GivesTheFlatColourEverywhereWithTheHeightInAlpha) {
    const FlatCase c = GetParam();
    PixelBuffer source = MakeImage(c.width, c.height, [](int, int) {
        return Bgra{30, 60, 90, 200};
    });
    PixelBuffer map = Generate(source, 10.0f, c.source);
    const std::uint8_t expectedAlpha = c.source == HeightSource::Blue    ? 30
                                       : c.source == HeightSource::Green ? 60
                                       : c.source == HeightSource::Red   ? 90
                                       : c.source == HeightSource::Alpha ? 200
                                                                         : 66;  // 65.55
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            EXPECT_EQ(At(map, x, y), (Bgra{255, 128, 128, expectedAlpha})) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SizesAndSources, FlatSource,
                         ::testing::Values(FlatCase{1, 1, HeightSource::Red},
                                           FlatCase{2, 2, HeightSource::Green},
                                           FlatCase{3, 5, HeightSource::Blue},
                                           FlatCase{16, 8, HeightSource::Alpha},
                                           FlatCase{7, 3, HeightSource::Luminance}));

// --- Ramps against hand-computed values ------------------------------------------------------
//
// A ramp of `step` per texel has Gx = 8 x step, so the tilt is k Gx = amplitude x step / 255 and
// n = (-t, 0, 1) / sqrt(1 + t^2). For step 17 and amplitude 6.25: t = 5/12, n = (-5/13, 0, 12/13),
// red = round(8/13 x 127.5) = round(78.46) = 78, blue = round(25/13 x 127.5) = round(245.19) = 245.

struct RampCase {
    int step;
    int length;
    float amplitude;
    int along;  // the channel of the tilt along the ramp (red for a horizontal ramp)
    int blue;
};

class HorizontalRamp : public ::testing::TestWithParam<RampCase> {};

TEST_P(HorizontalRamp, TiltsRedToTheAnalyticValueAwayFromTheSeam) {
    const RampCase c = GetParam();
    PixelBuffer source = MakeImage(c.length, 6, [&](int x, int) { return Grey(c.step * x); });
    PixelBuffer map = Generate(source, c.amplitude, HeightSource::Red);
    for (int y = 0; y < 6; ++y) {
        for (int x = 1; x < c.length - 1; ++x) {
            const auto height = static_cast<std::uint8_t>(c.step * x);
            EXPECT_EQ(At(map, x, y), (Bgra{static_cast<std::uint8_t>(c.blue), 128,
                                           static_cast<std::uint8_t>(c.along), height}))
                << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    StepsAndAmplitudes, HorizontalRamp,
    ::testing::Values(RampCase{17, 16, 6.25f, 78, 245},     // n = (-5/13, 0, 12/13)
                      RampCase{17, 16, 36.0f, 10, 177},     // t = 2.4: n = (-12/13, 0, 5/13)
                      RampCase{51, 5, 10.0f, 13, 185},      // t = 2: n = (-2, 0, 1) / sqrt 5
                      RampCase{1, 64, 20.0f, 118, 255},     // t = 20/255: 117.53 and 254.61
                      RampCase{17, 16, -6.25f, 177, 245},   // relief inverted: 176.54
                      RampCase{17, 16, 1.0e30f, 0, 128}));  // saturated: the texel on its side

class VerticalRamp : public ::testing::TestWithParam<RampCase> {};

// Green up: the normal's y axis points towards row 0. A height that grows down the image faces
// the surface up the image, so green rises above 128; a height growing up lowers it.
TEST_P(VerticalRamp, TiltsGreenWithTheGreenUpSign) {
    const RampCase c = GetParam();
    const int last = c.length - 1;
    PixelBuffer down = MakeImage(5, c.length, [&](int, int y) { return Grey(c.step * y); });
    PixelBuffer up = MakeImage(5, c.length, [&](int, int y) { return Grey(c.step * (last - y)); });
    PixelBuffer downMap = Generate(down, c.amplitude, HeightSource::Luminance);
    PixelBuffer upMap = Generate(up, c.amplitude, HeightSource::Luminance);
    for (int y = 1; y < last; ++y) {
        for (int x = 0; x < 5; ++x) {
            const Bgra d = At(downMap, x, y);
            const Bgra u = At(upMap, x, y);
            EXPECT_EQ(d[kG], c.along) << x << "," << y;
            EXPECT_EQ(u[kG], 255 - c.along) << x << "," << y;
            EXPECT_EQ(d[kR], 128);
            EXPECT_EQ(u[kR], 128);
            EXPECT_EQ(d[kB], c.blue);
            EXPECT_EQ(u[kB], c.blue);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StepsAndAmplitudes, VerticalRamp,
                         ::testing::Values(RampCase{17, 16, 6.25f, 177, 245},
                                           RampCase{17, 16, 36.0f, 245, 177},
                                           RampCase{51, 5, 10.0f, 242, 185}));

// --- Wrapping ----------------------------------------------------------------------------

// One period of a sine across the width: the Sobel sum of the sampled sine is exactly
// 8 x 120 sin(2 pi / W) cos(2 pi x / W), so every column, the seam columns included, lies on
// one curve. Without wrapping the seam columns would see half the slope (about 12 levels off).
TEST(NormalMapWrap, SeamColumnsFollowTheSameCurveAsTheInterior) {
    constexpr int kWidth = 64;
    constexpr double kAmplitude = 4.0;
    const double step = 2.0 * std::numbers::pi / kWidth;
    PixelBuffer source = MakeImage(kWidth, 3, [&](int x, int) {
        return Grey(static_cast<int>(std::lround(127.5 + 120.0 * std::sin(step * x))));
    });
    PixelBuffer map = Generate(source, static_cast<float>(kAmplitude), HeightSource::Green);
    for (int x = 0; x < kWidth; ++x) {
        const double tilt = kAmplitude / 255.0 * 120.0 * std::sin(step) * std::cos(step * x);
        const double red = (1.0 - tilt / std::sqrt(1.0 + tilt * tilt)) * 127.5;
        for (int y = 0; y < 3; ++y) {
            // Storing the heights as bytes moves each by up to half a level: at most 1.5 here.
            EXPECT_NEAR(At(map, x, y)[kR], red, 1.6) << x << "," << y;
            EXPECT_EQ(At(map, x, y)[kG], 128) << x << "," << y;
        }
    }
}

// A tiling texture shifted around the torus gives the same map shifted the same way, to the
// byte: every texel, edge or not, sees its true neighbours.
TEST(NormalMapWrap, ShiftingTheSourceAroundTheTorusShiftsTheMap) {
    constexpr int kWidth = 37;
    constexpr int kHeight = 23;
    constexpr int kShiftX = 11;
    constexpr int kShiftY = 7;
    PixelBuffer source =
        MakeImage(kWidth, kHeight, [](int x, int y) { return testing::PatternTexel(x, y, 5); });
    PixelBuffer shifted = MakeImage(kWidth, kHeight, [](int x, int y) {
        return testing::PatternTexel((x + kShiftX) % kWidth, (y + kShiftY) % kHeight, 5);
    });
    for (const HeightSource height : {HeightSource::Luminance, HeightSource::Alpha}) {
        PixelBuffer map = Generate(source, 10.0f, height);
        PixelBuffer shiftedMap = Generate(shifted, 10.0f, height);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                ASSERT_EQ(At(shiftedMap, x, y),
                          At(map, (x + kShiftX) % kWidth, (y + kShiftY) % kHeight))
                    << x << "," << y;
            }
        }
    }
}

// With one or two columns the left and right neighbours are the same texel, so there is no
// horizontal slope; likewise for rows.
TEST(NormalMapWrap, OneOrTwoTexelsAcrossGiveNoSlopeThatWay) {
    struct Size {
        int width;
        int height;
    };
    for (const Size s : {Size{1, 6}, Size{2, 6}, Size{6, 1}, Size{6, 2}, Size{1, 1}, Size{2, 2}}) {
        PixelBuffer source = MakeImage(
            s.width, s.height, [](int x, int y) { return Grey(20 * x + 15 * y + 5 * x * y); });
        PixelBuffer map = Generate(source, 50.0f, HeightSource::Blue);
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
                const Bgra texel = At(map, x, y);
                if (s.width <= 2) {
                    EXPECT_EQ(texel[kR], 128) << s.width << "x" << s.height;
                }
                if (s.height <= 2) {
                    EXPECT_EQ(texel[kG], 128) << s.width << "x" << s.height;
                }
                EXPECT_EQ(texel[kA], 20 * x + 15 * y + 5 * x * y);
            }
        }
    }
}

// --- Arbitrary heights against a plain reference ----------------------------------------------

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

TEST(NormalMapReference, RandomHeightsMatchTheFormulaInBothDirections) {
    constexpr int kWidth = 203;  // odd sizes, several row blocks per thread
    constexpr int kHeight = 157;
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    PixelBuffer source = MakeImage(kWidth, kHeight, [&](int, int) {
        return Bgra{
            static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
            static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random))};
    });
    for (const float amplitude : {0.5f, 3.0f, -7.5f}) {
        PixelBuffer map = Generate(source, amplitude, HeightSource::Alpha);
        int exact = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::array<double, 3> expected = ReferenceNormal(source, kA, amplitude, x, y);
                const Bgra texel = At(map, x, y);
                // Single against double precision: only a value within a hair of .5 may differ.
                ASSERT_NEAR(texel[kR], expected[0], 0.5001) << x << "," << y;
                ASSERT_NEAR(texel[kG], expected[1], 0.5001) << x << "," << y;
                ASSERT_NEAR(texel[kB], expected[2], 0.5001) << x << "," << y;
                ASSERT_EQ(texel[kA], At(source, x, y)[kA]);
                exact += texel[kR] == std::lround(expected[0]) ? 1 : 0;
            }
        }
        EXPECT_GT(exact, kWidth * kHeight * 99 / 100);
    }
}

// --- Source codes ------------------------------------------------------------------------

// Four different ramps in the four channels of one texture: each source code must see its own.
// (Codes that name no channel are refused; see RefusesWhatItCannotDoAndWritesNothing.)
struct ChannelCase {
    std::int32_t code;
    int red;    // tilt along x
    int green;  // tilt along y
    int alphaChannel;
};

class SourceChannel : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(SourceChannel, ReadsItsOwnChannel) {
    const ChannelCase c = GetParam();
    auto texel = [](int x, int y) {
        return Bgra{static_cast<std::uint8_t>(17 * x),          // blue: grows right
                    static_cast<std::uint8_t>(17 * y),          // green: grows down
                    static_cast<std::uint8_t>(17 * (15 - x)),   // red: grows left
                    static_cast<std::uint8_t>(17 * (15 - y))};  // alpha: grows up
    };
    PixelBuffer source = MakeImage(16, 16, texel);
    PixelBuffer map = Generate(source, 6.25f, HeightSourceFromCode(c.code).value());
    for (int y = 1; y < 15; ++y) {
        for (int x = 1; x < 15; ++x) {
            const Bgra out = At(map, x, y);
            EXPECT_EQ(out[kR], c.red) << x << "," << y;
            EXPECT_EQ(out[kG], c.green) << x << "," << y;
            EXPECT_EQ(out[kB], 245);
            EXPECT_EQ(out[kA], texel(x, y)[c.alphaChannel]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSingleChannels, SourceChannel,
                         ::testing::Values(ChannelCase{4, 78, 128, kB},    // blue
                                           ChannelCase{16, 128, 177, kG},  // green
                                           ChannelCase{1, 177, 128, kR},   // red
                                           ChannelCase{8, 128, 78, kA}));  // alpha

// Code 2: alpha holds the luminance rounded, which weighs red, green and blue differently.
TEST(SourceCodes, LuminanceWeighsTheColoursAndRoundsIntoAlpha) {
    ASSERT_EQ(HeightSourceFromCode(2), HeightSource::Luminance);
    struct Case {
        int r, g, b, alpha;
    };
    for (const Case c : {Case{255, 0, 0, 76},      // 76.245
                         Case{0, 255, 0, 150},     // 149.685
                         Case{0, 0, 255, 29},      // 29.07
                         Case{10, 20, 30, 18},     // 18.15
                         Case{200, 100, 50, 124},  // 124.2
                         Case{77, 77, 77, 77}, Case{255, 255, 255, 255}}) {
        PixelBuffer source = MakeImage(3, 3, [&](int, int) {
            return Bgra{static_cast<std::uint8_t>(c.b), static_cast<std::uint8_t>(c.g),
                        static_cast<std::uint8_t>(c.r), 9};
        });
        PixelBuffer map = Generate(source, 10.0f, HeightSource::Luminance);
        EXPECT_EQ(At(map, 1, 1), (Bgra{255, 128, 128, static_cast<std::uint8_t>(c.alpha)}))
            << c.r << "," << c.g << "," << c.b;
    }
}

// --- Amplitude ---------------------------------------------------------------------------

TEST(Amplitude, ZeroAndNanGiveTheFlatMapWithHeightsKept) {
    PixelBuffer source =
        MakeImage(19, 11, [](int x, int y) { return testing::PatternTexel(x, y, 3); });
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

TEST(Amplitude, NegativeMirrorsRedAndGreenAroundTheMiddle) {
    PixelBuffer source =
        MakeImage(19, 11, [](int x, int y) { return testing::PatternTexel(x, y, 8); });
    PixelBuffer map = Generate(source, 12.0f, HeightSource::Luminance);
    PixelBuffer inverted = Generate(source, -12.0f, HeightSource::Luminance);
    int tilted = 0;
    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 19; ++x) {
            const Bgra a = At(map, x, y);
            const Bgra b = At(inverted, x, y);
            // Mirrored around 127.5: the two add up to 255 (256 only for a tie such as 127.5
            // itself).
            EXPECT_NEAR(a[kR] + b[kR], 255, 1) << x << "," << y;
            EXPECT_NEAR(a[kG] + b[kG], 255, 1) << x << "," << y;
            EXPECT_EQ(a[kB], b[kB]);
            EXPECT_EQ(a[kA], b[kA]);
            tilted += (std::abs(a[kR] - 128) > 20) ? 1 : 0;
        }
    }
    EXPECT_GT(tilted, 19 * 11 / 4);  // the pattern is steep enough for the mirror to show
}

// --- Through the device's textures -------------------------------------------------------------

class GenerateThroughTextures : public testing::DocumentTest {
  protected:
    std::shared_ptr<Texture> MakeTexture(int width, int height,
                                         D3DFORMAT format = D3DFMT_A8R8G8B8) {
        return device().CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED);
    }
};

TEST_F(GenerateThroughTextures, FillsTheDestinationAndLeavesTheSourceUnchanged) {
    auto source = MakeTexture(32, 16);
    auto destination = MakeTexture(32, 16);
    testing::FillTexture(*source, [](int x, int y) { return testing::PatternTexel(x, y, 1); });
    testing::FillTexture(*destination, [](int, int) { return Bgra{1, 2, 3, 4}; });
    const std::vector<std::uint8_t> before = testing::ReadTexture(*source);

    Imaging_GenerateNormalMap(destination, source, 10.0f, 2, 0);

    EXPECT_EQ(testing::ReadTexture(*source), before);
    PixelBuffer sourceCopy =
        MakeImage(32, 16, [](int x, int y) { return testing::PatternTexel(x, y, 1); });
    PixelBuffer expected = Generate(sourceCopy, 10.0f, HeightSource::Luminance);
    EXPECT_EQ(testing::ReadTexture(*destination), testing::BufferBytes(expected));
}

// The window's route: a new entry of the source's size, the call on the two main textures, then
// the copy out that gives the new entry's pixels.
TEST_F(GenerateThroughTextures, FillsANewEntryThatCopyOutThenSees) {
    const std::int32_t sourceSlot = CreateTextureEntry(16, 16, true);
    testing::FillTexture(*TextureAt(sourceSlot).Texture, [](int x, int) { return Grey(17 * x); });
    const std::int32_t mapSlot = CreateTextureEntry(16, 16, true);

    Imaging_GenerateNormalMap(TextureAt(mapSlot).Texture, TextureAt(sourceSlot).Texture, 6.25f, 16,
                              0);
    CopyOut(mapSlot);

    PixelBuffer& pixels = TextureAt(mapSlot).Pixels;
    EXPECT_EQ(At(pixels, 5, 9), (Bgra{245, 128, 78, 85}));
    // Both seam columns see the 255 -> 0 drop between columns 15 and 0 (wrapped) as a steep
    // fall to the right: the same strong tilt towards +x.
    EXPECT_EQ(At(pixels, 0, 0)[kR], At(pixels, 15, 0)[kR]);
    EXPECT_GT(At(pixels, 0, 0)[kR], 240);
}

TEST_F(GenerateThroughTextures, OneTextureAsBothSourceAndDestinationIsDoneInPlace) {
    auto texture = MakeTexture(20, 12);
    testing::FillTexture(*texture, [](int x, int y) { return testing::PatternTexel(x, y, 4); });
    PixelBuffer copy =
        MakeImage(20, 12, [](int x, int y) { return testing::PatternTexel(x, y, 4); });
    PixelBuffer expected = Generate(copy, -3.0f, HeightSource::Red);

    Imaging_GenerateNormalMap(texture, texture, -3.0f, 1, 0);

    EXPECT_EQ(testing::ReadTexture(*texture), testing::BufferBytes(expected));
}

TEST_F(GenerateThroughTextures, RefusesWhatItCannotDoAndWritesNothing) {
    auto source = MakeTexture(8, 8);
    testing::FillTexture(*source, [](int x, int y) { return testing::PatternTexel(x, y, 2); });
    const std::vector<std::uint8_t> sourceBytes = testing::ReadTexture(*source);

    struct Case {
        const char* what;
        std::shared_ptr<Texture> destination;
        std::int32_t code;
        HRESULT error;
    };
    const Case cases[] = {
        {"narrower", MakeTexture(4, 8), 2, D3DERR_INVALIDCALL},
        {"shorter", MakeTexture(8, 4), 2, D3DERR_INVALIDCALL},
        {"not A8R8G8B8", MakeTexture(8, 8, D3DFMT_X8R8G8B8), 2, D3DERR_INVALIDCALL},
        {"code 0", MakeTexture(8, 8), 0, D3DERR_INVALIDCALL},
        {"code 3", MakeTexture(8, 8), 3, D3DERR_INVALIDCALL},
        {"code 32", MakeTexture(8, 8), 32, D3DERR_INVALIDCALL},
        {"no destination", nullptr, 2, kErrObjectNotSet},
    };
    for (const Case& c : cases) {
        std::shared_ptr<Texture> destination = c.destination;
        std::vector<std::uint8_t> destinationBytes;
        if (destination) {
            testing::FillTexture(*destination, [](int, int) { return Bgra{9, 9, 9, 9}; });
            destinationBytes = testing::ReadTexture(*destination);
        }
        EXPECT_EQ(testing::ErrorCodeOf(
                      [&] { Imaging_GenerateNormalMap(destination, source, 10.0f, c.code, 0); }),
                  c.error)
            << c.what;
        if (destination) {
            EXPECT_EQ(testing::ReadTexture(*destination), destinationBytes) << c.what;
        }
        EXPECT_EQ(testing::ReadTexture(*source), sourceBytes) << c.what;
    }

    std::shared_ptr<Texture> none;
    auto destination = MakeTexture(8, 8);
    EXPECT_EQ(
        testing::ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, none, 1.0f, 1, 0); }),
        kErrObjectNotSet);
}

TEST_F(GenerateThroughTextures, ALockedTextureIsRefusedAndStaysLocked) {
    auto source = MakeTexture(8, 8);
    auto destination = MakeTexture(8, 8);
    destination->LockRect(0, nullptr, 0);
    EXPECT_EQ(
        testing::ErrorCodeOf([&] { Imaging_GenerateNormalMap(destination, source, 1.0f, 1, 0); }),
        D3DERR_INVALIDCALL);
    // The source lock taken before the failure was given back; the caller's lock was not.
    EXPECT_NO_THROW(source->LockRect(0, nullptr, 0));
    EXPECT_NO_THROW(destination->UnlockRect(0));
}

}  // namespace
}  // namespace tintora
