#include "effects/hue_saturation.h"

#include <gtest/gtest.h>

#include <vector>

#include "effects_support.h"

namespace tintora::testing {
namespace {

// colour adjusted on a size x size image filled with it.
Rgb Adjusted(Rgb colour, int hueShift, int saturationShift, int size = 1) {
    Image image(size, size);
    for (std::size_t p = 0; p < image.bytes.size() / 4; ++p)
        image.setRgb(p, colour, 0);
    AdjustHueSaturation(image.view(), image.view(), hueShift, saturationShift);
    std::size_t differing = 0;
    for (std::size_t p = 1; p < image.bytes.size() / 4; ++p)
        differing += image.rgb(p) != image.rgb(0);
    EXPECT_EQ(differing, 0u);
    return image.rgb(0);
}

TEST(HueSaturation, WorkedExamples) {
    const struct {
        Rgb colour;
        int hueShift;
        int saturationShift;
        Rgb expected;
    } examples[] = {
        {{255, 0, 0}, 120, 0, {0, 255, 0}},
        {{255, 0, 0}, -180, 0, {0, 255, 255}},
        {{200, 100, 50}, 120, 0, {50, 200, 100}},
        {{255, 0, 0}, 0, -100, {127, 127, 127}},
        {{200, 100, 50}, 0, -100, {125, 125, 125}},
        // Greys carry hue 0 (red): a hue shift alone keeps them, saturation colours them.
        {{128, 128, 128}, 0, 50, {191, 64, 64}},
        {{128, 128, 128}, 0, 100, {255, 1, 1}},
        {{128, 128, 128}, 77, 0, {128, 128, 128}},
        {{128, 128, 128}, 120, 100, {1, 255, 1}},
        {{255, 0, 0}, 0, 0, {255, 0, 0}},
        // Beyond the sliders: the hue wraps once (red at 360 + 180 is outside the circle, so
        // black) and saturation is cut to 0 to 100.
        {{255, 0, 0}, 540, 0, {0, 0, 0}},
        {{200, 100, 50}, 0, -100000, {125, 125, 125}},
        {{128, 128, 128}, 0, 100000, {255, 1, 1}},
    };
    for (const auto& e : examples) {
        // One pixel computes per pixel; 130 x 130 uses the per-call table of pair terms.
        for (int size : {1, 130}) {
            const Rgb got = Adjusted(e.colour, e.hueShift, e.saturationShift, size);
            EXPECT_EQ(got, e.expected)
                << "(" << e.colour.r << ", " << e.colour.g << ", " << e.colour.b << ") by "
                << e.hueShift << ", " << e.saturationShift << " on " << size << "^2 gave (" << got.r
                << ", " << got.g << ", " << got.b << ")";
        }
    }
}

TEST(HueSaturation, BlackWhiteAndGreysKeepTheirColour) {
    for (int hue = -180; hue <= 180; hue += 15) {
        for (int saturation = -100; saturation <= 100; saturation += 10) {
            EXPECT_EQ(Adjusted({0, 0, 0}, hue, saturation), (Rgb{0, 0, 0}));
            EXPECT_EQ(Adjusted({255, 255, 255}, hue, saturation), (Rgb{255, 255, 255}))
                << hue << " " << saturation;
        }
        for (int grey = 5; grey < 255; grey += 25)
            EXPECT_EQ(Adjusted({grey, grey, grey}, hue, 0), (Rgb{grey, grey, grey})) << hue;
    }
}

}  // namespace
}  // namespace tintora::testing
