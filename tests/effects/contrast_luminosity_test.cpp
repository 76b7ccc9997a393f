#include "effects/contrast_luminosity.h"

#include <gtest/gtest.h>

#include <array>

#include "effects/channel_maps.h"

namespace tintora::testing {
namespace {

TEST(ContrastLuminosity, WorkedExamples) {
    constexpr std::array<int, 7> kInputs{0, 64, 100, 127, 128, 200, 255};
    // Slider positions, the factor they give, and the new value of each input byte.
    const struct {
        int contrastSlider;
        int luminositySlider;
        float factor;
        std::array<int, 7> outputs;
    } examples[] = {
        {0, 0, 1.0f, {0, 64, 100, 127, 128, 200, 255}},
        {0, 50, 1.0f, {50, 114, 150, 177, 178, 250, 255}},
        {100, 0, 2.7182817f, {0, 0, 54, 127, 130, 255, 255}},
        {-100, 0, 0.36787945f, {80, 104, 117, 127, 127, 154, 174}},
        {50, -100, 1.6487212f, {0, 0, 0, 27, 29, 147, 238}},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(::testing::Message()
                     << example.contrastSlider << ", " << example.luminositySlider);
        EXPECT_EQ(ContrastFactor(example.contrastSlider), example.factor);
        const ChannelTable table =
            ContrastLuminosityTable(example.factor, example.luminositySlider);
        for (std::size_t i = 0; i < kInputs.size(); ++i)
            EXPECT_EQ(table[kInputs[i]], example.outputs[i]) << "input " << kInputs[i];
    }
}

TEST(ContrastLuminosity, TableRoundsHalvesToEvenAndStaysWithinBytes) {
    const struct {
        float factor;
        int luminosity;
        int input;
        int output;
    } cases[] = {
        // Factor 0.5: (x - 127) / 2 + 127 lands on .5 for every even x.
        {0.5f, 0, 0, 64},      // 63.5
        {0.5f, 0, 2, 64},      // 64.5
        {0.5f, 0, 4, 66},      // 65.5
        {0.5f, 0, 254, 190},   // 190.5
        {1.0f, -100, 100, 0},  // darkest luminosity clears up to 100
        {1.0f, -100, 101, 1},
        {1.0f, 2'147'483'647, 0, 255},
        {1.0f, -2'147'483'647 - 1, 255, 0},
        {1e30f, 0, 200, 255},
        {1e30f, 0, 100, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ContrastLuminosityTable(c.factor, c.luminosity)[c.input], c.output)
            << c.factor << " " << c.luminosity << " " << c.input;
    }
}

}  // namespace
}  // namespace tintora::testing
