#include "effects/hue_saturation.h"

#include <gtest/gtest.h>

#include <vector>

#include "effects_support.h"

namespace tintora::testing {
namespace {

Rgb Adjusted(Rgb colour, int hueShift, int saturationShift) {
    Image source = RowOf({colour});
    Image destination(1, 1);
    AdjustHueSaturation(source.view(), destination.view(), hueShift, saturationShift);
    return destination.rgb(0);
}

struct HueSaturationExample {
    const char* name;
    Rgb colour;
    int hueShift;
    int saturationShift;
    Rgb expected;
};

const HueSaturationExample kExamples[] = {
    {"RedTurnedByPlus120IsGreen", {255, 0, 0}, 120, 0, {0, 255, 0}},
    {"RedTurnedByMinus180IsCyan", {255, 0, 0}, -180, 0, {0, 255, 255}},
    {"OrangeBrownTurnedByPlus120", {200, 100, 50}, 120, 0, {50, 200, 100}},
    {"RedWithoutSaturationIsGrey127", {255, 0, 0}, 0, -100, {127, 127, 127}},
    {"OrangeBrownWithoutSaturationIsGrey125", {200, 100, 50}, 0, -100, {125, 125, 125}},
    {"GreyPlus50SaturationTurnsRed", {128, 128, 128}, 0, 50, {191, 64, 64}},
    {"GreyPlus100SaturationTurnsFullRed", {128, 128, 128}, 0, 100, {255, 1, 1}},
    {"GreyKeepsItsColourUnderAHueShift", {128, 128, 128}, 77, 0, {128, 128, 128}},
    {"GreyTurnedAndSaturatedTakesTheShiftedHue", {128, 128, 128}, 120, 100, {1, 255, 1}},
    {"RedUnchangedByNoShift", {255, 0, 0}, 0, 0, {255, 0, 0}},
};

class HueSaturationExampleTest : public ::testing::TestWithParam<HueSaturationExample> {};

TEST_P(HueSaturationExampleTest, GivesTheExpectedColour) {
    const HueSaturationExample& example = GetParam();
    const Rgb got = Adjusted(example.colour, example.hueShift, example.saturationShift);
    EXPECT_EQ(got, example.expected) << "got (" << got.r << ", " << got.g << ", " << got.b << ")";
}

TEST_P(HueSaturationExampleTest, LargeImagesGiveTheSameColour) {
    // Large enough for the per-call table of pair terms; small images compute them per pixel.
    const HueSaturationExample& example = GetParam();
    Image source(160, 110);
    for (std::size_t p = 0; p < source.pixelCount(); ++p) {
        source.setRgb(p, example.colour, static_cast<std::uint8_t>(p));
    }
    Image destination(source.width, source.height);
    AdjustHueSaturation(source.view(), destination.view(), example.hueShift,
                        example.saturationShift);
    for (std::size_t p = 0; p < destination.pixelCount(); ++p) {
        ASSERT_EQ(destination.rgb(p), example.expected) << p;
        ASSERT_EQ(destination.pixel(p)[3], static_cast<std::uint8_t>(p));
    }
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, HueSaturationExampleTest, ::testing::ValuesIn(kExamples),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(HueSaturation, BlackAndWhiteStayUnderEverySetting) {
    for (int hue = -180; hue <= 180; hue += 15) {
        for (int saturation = -100; saturation <= 100; saturation += 10) {
            EXPECT_EQ(Adjusted({0, 0, 0}, hue, saturation), (Rgb{0, 0, 0}));
            EXPECT_EQ(Adjusted({255, 255, 255}, hue, saturation), (Rgb{255, 255, 255}))
                << hue << " " << saturation;
        }
    }
}

TEST(HueSaturation, GreysKeepTheirColourUnderEveryHueShift) {
    for (int grey = 0; grey < 256; grey += 5) {
        for (int hue = -180; hue <= 180; hue += 20) {
            EXPECT_EQ(Adjusted({grey, grey, grey}, hue, 0), (Rgb{grey, grey, grey}));
        }
    }
}

TEST(HueSaturation, NoShiftGivesEveryColourBack) {
    // All 2^24 colours, each once, in a 4096 x 4096 image.
    Image source(4096, 4096);
    for (std::size_t p = 0; p < source.pixelCount(); ++p) {
        std::uint8_t* px = source.pixel(p);
        px[0] = static_cast<std::uint8_t>(p);
        px[1] = static_cast<std::uint8_t>(p >> 8);
        px[2] = static_cast<std::uint8_t>(p >> 16);
        px[3] = static_cast<std::uint8_t>(p * 7);
    }
    Image destination(source.width, source.height);
    AdjustHueSaturation(source.view(), destination.view(), 0, 0);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < source.bytes.size(); ++i) {
        differing += source.bytes[i] != destination.bytes[i];
    }
    EXPECT_EQ(differing, 0u);
}

TEST(HueSaturation, WorksInPlace) {
    Image image = PhotoLike(37, 19);
    Image apart(image.width, image.height);
    AdjustHueSaturation(image.view(), apart.view(), -150, 35);
    AdjustHueSaturation(image.view(), image.view(), -150, 35);
    EXPECT_EQ(image.bytes, apart.bytes);
}

TEST(HueSaturation, ShiftsBeyondTheSlidersFollowTheWrapOnce) {
    // A hue shift of 540 leaves red at 360 + 180 after one wrap: outside the circle, so black.
    EXPECT_EQ(Adjusted({255, 0, 0}, 540, 0), (Rgb{0, 0, 0}));
    // Saturation is cut to 0 to 100 whatever the shift.
    EXPECT_EQ(Adjusted({200, 100, 50}, 0, -100000), (Rgb{125, 125, 125}));
    EXPECT_EQ(Adjusted({128, 128, 128}, 0, 100000), (Rgb{255, 1, 1}));
}

struct HslExample {
    Rgb colour;
    float H, S, L;  // H as the caller set it before the call: -1
};

TEST(RgbToHsl, SectorsGreysAndBlack) {
    const float redL = static_cast<float>(static_cast<float>(255 * 0.00392156) * 0.5 * 100);
    const HslExample examples[] = {
        // The six sectors give multiples of 60 exactly; pure red 360, not 0.
        {{255, 255, 0}, 60, 100, redL},
        {{0, 255, 0}, 120, 100, redL},
        {{0, 255, 255}, 180, 100, redL},
        {{0, 0, 255}, 240, 100, redL},
        {{255, 0, 255}, 300, 100, redL},
        {{255, 0, 0}, 360, 100, redL},
        // A grey sets S and L but leaves H; black sets all three to 0.
        {{128, 128, 128}, -1, 0, static_cast<float>(static_cast<float>(128 * 0.00392156) * 100.0)},
        {{0, 0, 0}, 0, 0, 0},
    };
    for (const HslExample& e : examples) {
        float H = -1, S = -1, L = -1;
        RgbToHsl(e.colour.r, e.colour.g, e.colour.b, H, S, L);
        EXPECT_EQ(H, e.H) << e.colour.r << " " << e.colour.g << " " << e.colour.b;
        EXPECT_EQ(S, e.S) << e.colour.r << " " << e.colour.g << " " << e.colour.b;
        EXPECT_EQ(L, e.L) << e.colour.r << " " << e.colour.g << " " << e.colour.b;
    }
}

TEST(HslToRgb, OutsideTheRangesNothingIsCut) {
    struct Case {
        float H, S, L;
        Rgb expected;
    };
    const Case cases[] = {
        {360, 100, 50, {0, 0, 0}},        // hue outside [0, 360): black
        {-0.5f, 100, 50, {0, 0, 0}},      // also below
        {200, 80, 0, {0, 0, 0}},          // m2 = 0: black
        {0, 100, 100, {255, 255, 255}},   // m2 = m1 = 1
        {0, 0, 200, {510, 510, 510}},     // lightness 200: twice white
        {0, 300, 50, {510, -255, -255}},  // m2 = 2, m1 = -1
    };
    for (const Case& c : cases) {
        std::int32_t r = -1, g = -1, b = -1;
        HslToRgb(c.H, c.S, c.L, r, g, b);
        EXPECT_EQ((Rgb{r, g, b}), c.expected) << c.H << " " << c.S << " " << c.L;
    }
}

}  // namespace
}  // namespace tintora::testing
