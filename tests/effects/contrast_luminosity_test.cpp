#include "effects/contrast_luminosity.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "effects_support.h"

namespace tintora::testing {
namespace {

constexpr std::array<int, 7> kInputs{0, 64, 100, 127, 128, 200, 255};

struct ContrastExample {
    int contrastSlider;
    int luminositySlider;
    float factor;
    std::array<int, 7> outputs;  // for kInputs
};

// Slider positions, the factor they give, and the new value of each input byte.
const ContrastExample kExamples[] = {
    {0, 0, 1.0f, {0, 64, 100, 127, 128, 200, 255}},
    {0, 50, 1.0f, {50, 114, 150, 177, 178, 250, 255}},
    {100, 0, 2.7182817f, {0, 0, 54, 127, 130, 255, 255}},
    {-100, 0, 0.36787945f, {80, 104, 117, 127, 127, 154, 174}},
    {50, -100, 1.6487212f, {0, 0, 0, 27, 29, 147, 238}},
};

class ContrastExampleTest : public ::testing::TestWithParam<ContrastExample> {};

TEST_P(ContrastExampleTest, FactorIsTheSinglePrecisionExponential) {
    EXPECT_EQ(ContrastFactor(GetParam().contrastSlider), GetParam().factor);
}

TEST_P(ContrastExampleTest, EveryChannelMapsAsTheTableSays) {
    const ContrastExample& example = GetParam();
    // Each input once in every channel, the three channels holding different inputs.
    std::vector<Rgb> colours;
    for (std::size_t i = 0; i < kInputs.size(); ++i) {
        colours.push_back({kInputs[i], kInputs[(i + 3) % 7], kInputs[(i + 5) % 7]});
    }
    Image source = RowOf(colours);
    Image destination(source.width, source.height);
    AdjustContrastLuminosity(source.view(), destination.view(),
                             ContrastFactor(example.contrastSlider), example.luminositySlider);
    for (std::size_t i = 0; i < kInputs.size(); ++i) {
        const Rgb expected{example.outputs[i], example.outputs[(i + 3) % 7],
                           example.outputs[(i + 5) % 7]};
        EXPECT_EQ(destination.rgb(i), expected) << "pixel " << i;
    }
    EXPECT_EQ(Alphas(destination), Alphas(source));
}

std::string SliderName(int value) {
    return value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ContrastExampleTest, ::testing::ValuesIn(kExamples),
                         [](const auto& param) {
                             return "Contrast" + SliderName(param.param.contrastSlider) +
                                    "Luminosity" + SliderName(param.param.luminositySlider);
                         });

TEST(ContrastLuminosity, FullContrastSendsEverythingFrom174Up) {
    const ChannelTable table = ContrastLuminosityTable(ContrastFactor(100), 0);
    EXPECT_EQ(table[173], 252);
    for (int v = 174; v < 256; ++v)
        EXPECT_EQ(table[v], 255) << v;
    EXPECT_EQ(table[127], 127);
    EXPECT_EQ(table[128], 130);
    EXPECT_EQ(table[100], 54);
}

TEST(ContrastLuminosity, DarkestLuminosityClearsUpTo100AndKeeps255At155) {
    const ChannelTable table = ContrastLuminosityTable(ContrastFactor(0), -100);
    for (int v = 0; v <= 100; ++v)
        EXPECT_EQ(table[v], 0) << v;
    EXPECT_EQ(table[101], 1);
    EXPECT_EQ(table[255], 155);
}

TEST(ContrastLuminosity, HalfwayResultsRoundToEven) {
    // Factor 0.5: (x - 127) / 2 + 127 lands on .5 for every even x.
    const ChannelTable table = ContrastLuminosityTable(0.5f, 0);
    EXPECT_EQ(table[0], 64);     // 63.5
    EXPECT_EQ(table[2], 64);     // 64.5
    EXPECT_EQ(table[4], 66);     // 65.5
    EXPECT_EQ(table[254], 190);  // 190.5
}

TEST(ContrastLuminosity, ExtremeArgumentsStayWithinBytes) {
    EXPECT_EQ(ContrastLuminosityTable(1.0f, 2'147'483'647)[0], 255);
    EXPECT_EQ(ContrastLuminosityTable(1.0f, -2'147'483'647 - 1)[255], 0);
    EXPECT_EQ(ContrastLuminosityTable(1e30f, 0)[200], 255);
    EXPECT_EQ(ContrastLuminosityTable(1e30f, 0)[100], 0);
}

}  // namespace
}  // namespace tintora::testing
