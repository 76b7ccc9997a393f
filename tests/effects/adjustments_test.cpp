// The colour kernels: worked examples and edge cases of the kernels and their tables, and the
// operations on a texture entry (which buffers each reads and writes, its status texts).
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <numeric>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "effects/texture_effects.h"
#include "effects_support.h"
#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using Mapping = std::vector<std::pair<int, int>>;  // input -> output

::testing::AssertionResult Maps(const ChannelTable& table, const Mapping& mapping) {
    for (const auto& [in, out] : mapping) {
        if (table[in] != out) return ::testing::AssertionFailure() << in << " -> " << +table[in];
    }
    return ::testing::AssertionSuccess();
}

TEST(AutoContrast, TableExamples) {
    // The factor is 256: a full-range channel still changes.
    EXPECT_TRUE(Maps(
        AutoContrastTable(0, 255),
        {{0, 0}, {1, 1}, {64, 64}, {127, 127}, {128, 129}, {191, 192}, {254, 255}, {255, 255}}));
    EXPECT_TRUE(
        Maps(AutoContrastTable(50, 200),
             {{50, 0}, {51, 2}, {100, 85}, {125, 128}, {126, 130}, {199, 254}, {200, 255}}));
    EXPECT_TRUE(Maps(AutoContrastTable(77, 77), {{0, 0}, {77, 77}, {255, 255}}));  // as it is
}

// EqualizeTable for a channel whose values are held by so many pixels; none: every value once.
ChannelTable Equalized(const Mapping& held) {
    std::array<std::int32_t, 256> counts{};
    if (held.empty()) counts.fill(1);
    for (const auto& [value, pixels] : held)
        counts[value] = pixels;
    return EqualizeTable(counts, std::accumulate(counts.begin(), counts.end(), 0));
}

TEST(Equalize, TableExamples) {
    ChannelTable identity;
    std::iota(identity.begin(), identity.end(), 0);
    EXPECT_EQ(Equalized({}), identity);
    EXPECT_TRUE(Maps(Equalized({{0, 128}, {255, 128}}), {{0, 0}, {255, 191}}));
    EXPECT_TRUE(Maps(Equalized({{100, 256}}), {{100, 127}}));
    // One pixel: its value goes to 128, or 0 to 0.
    EXPECT_TRUE(Maps(Equalized({{0, 1}}), {{0, 0}}));
    EXPECT_TRUE(Maps(Equalized({{1, 1}}), {{1, 128}}));
    EXPECT_TRUE(Maps(Equalized({{255, 1}}), {{255, 128}}));
    // Step 2 / 256: levels 1..64 map to 199, 65..191 to 200 (a tie goes up), the rest to the top;
    // so 200 goes to 64.
    EXPECT_TRUE(Maps(Equalized({{200, 2}}), {{200, 64}}));
}

TEST(ChannelMaps, EmptyImagesAreLeftAloneAndMismatchedViewsRefused) {
    Image empty(0, 0);
    InvertColors(empty.view(), empty.view());
    AutoContrast(empty.view(), empty.view());
    Equalize(empty.view(), empty.view());
    AdjustHueSaturation(empty.view(), empty.view(), 10, 10);
    Image image(8, 2);
    EXPECT_THROW(InvertColors({image.bytes.data(), 4, 2}, {image.bytes.data() + 4, 4, 2}),
                 PlatformError);                                                       // overlap
    EXPECT_THROW(Equalize(image.view(), {image.bytes.data(), 16, 2}), PlatformError);  // size
}

TEST(ContrastLuminosity, WorkedExamples) {
    constexpr std::array<int, 7> kInputs{0, 64, 100, 127, 128, 200, 255};
    const struct {
        int contrastSlider, luminositySlider;
        float factor;
        std::array<int, 7> outputs;  // of each input
    } examples[] = {
        {0, 0, 1.0f, {0, 64, 100, 127, 128, 200, 255}},
        {0, 50, 1.0f, {50, 114, 150, 177, 178, 250, 255}},
        {100, 0, 2.7182817f, {0, 0, 54, 127, 130, 255, 255}},
        {-100, 0, 0.36787945f, {80, 104, 117, 127, 127, 154, 174}},
        {50, -100, 1.6487212f, {0, 0, 0, 27, 29, 147, 238}},
    };
    for (const auto& e : examples) {
        EXPECT_EQ(ContrastFactor(e.contrastSlider), e.factor);
        const ChannelTable table = ContrastLuminosityTable(e.factor, e.luminositySlider);
        for (std::size_t i = 0; i < kInputs.size(); ++i)
            EXPECT_EQ(table[kInputs[i]], e.outputs[i]) << e.luminositySlider << ": " << kInputs[i];
    }
}

TEST(ContrastLuminosity, TableRoundsHalvesToEvenAndStaysWithinBytes) {
    // Factor 0.5: (x - 127) / 2 + 127 lands on .5 for every even x.
    EXPECT_TRUE(Maps(ContrastLuminosityTable(0.5f, 0), {{0, 64}, {2, 64}, {4, 66}, {254, 190}}));
    EXPECT_TRUE(Maps(ContrastLuminosityTable(1.0f, 2'147'483'647), {{0, 255}}));
    EXPECT_TRUE(Maps(ContrastLuminosityTable(1.0f, -2'147'483'647 - 1), {{255, 0}}));
}

TEST(HueSaturation, WorkedExamples) {
    const struct {
        Rgb colour;
        int hueShift, saturationShift;
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
        // Black and white stay under every setting.
        {{0, 0, 0}, 120, 100, {0, 0, 0}},
        {{255, 255, 255}, -180, 100, {255, 255, 255}},
        // Beyond the sliders: the hue wraps once (540 stays outside, so black), saturation is cut.
        {{255, 0, 0}, 540, 0, {0, 0, 0}},
        {{128, 128, 128}, 0, 100000, {255, 1, 1}},
    };
    for (const auto& e : examples) {
        Image image(1, 1);
        image.setRgb(0, e.colour, 0);
        AdjustHueSaturation(image.view(), image.view(), e.hueShift, e.saturationShift);
        EXPECT_EQ(image.rgb(0), e.expected) << ::testing::PrintToString(e.colour) << " by "
                                            << e.hueShift << ", " << e.saturationShift;
    }
}

class TextureEffectsTest : public DocumentTest {
  protected:
    // An entry whose texture holds the photograph and whose buffers hold other bytes, so that a
    // missing or an extra copy shows; Pixels is copied out and then changed.
    std::int32_t MakeEntry(int width, int height) {
        picture = Photo(width, height);
        const std::int32_t slot = CreateTextureEntry(width, height, true);
        TextureEntry& entry = TextureAt(slot);
        FillTexture(*entry.Texture, [&](int x, int y) {
            const std::uint8_t* px = &picture.bytes[4 * (static_cast<std::size_t>(y) * width + x)];
            return Bgra{px[0], px[1], px[2], px[3]};
        });
        std::fill_n(entry.PreviewPixels.data(), entry.PreviewPixels.byteCount(), 0x22);
        CopyOut(slot);
        for (std::size_t i = 0; i < entry.Pixels.byteCount(); ++i)
            entry.Pixels[i] = static_cast<std::uint8_t>(entry.Pixels[i] / 2 + 30);
        return slot;
    }

    Image picture{0, 0};
    RecordingWindows ui;
};

// Previews and invert read the texture, auto contrast and equalize Pixels as it stands. Previews
// write the preview pair, the others Pixels and the texture, a committed preview all four.
TEST_F(TextureEffectsTest, EachOperationReadsAndWritesItsBuffers) {
    const struct {
        std::function<void(std::int32_t, ProgressDisplay*)> run;
        Kernel kernel;
        bool main, preview, fromTexture;  // writes the main pair, the preview pair; reads
        const char* texts;                // all status texts and messages
    } cases[] = {
        {[](std::int32_t slot, ProgressDisplay* d) {
             AdjustContrastLuminosity(slot, 1, ContrastFactor(40), -20, d);
         },
         Contrasted(40, -20), false, true, true,
         R"((Busy \(\d{1,2}%\)\+)*Busy \(100%\)\+Preview ready)"},
        {[](std::int32_t slot, ProgressDisplay* d) { AdjustHueSaturation(slot, 1, -65, 20, d); },
         HueSaturated(-65, 20), false, true, true,
         R"((Busy \(\d{1,2} %\)\+)*Busy \(100 %\)\+Preview ready)"},
        {[](std::int32_t slot, ProgressDisplay* d) {
             AdjustHueSaturation(slot, 1, 90, -30);
             CommitPreview(slot, d);
         },
         HueSaturated(90, -30), true, true, true, "Action finished"},
        {[](std::int32_t slot, ProgressDisplay*) { InvertColors(slot); }, kInverted, true, false,
         true, ""},
        {[](std::int32_t slot, ProgressDisplay* d) { AutoContrast(slot, d); }, kAutoContrasted,
         true, false, false, R"(Busy \(25%\)\+Busy \(50%\)\+Action done\.\.\.)"},
        {[](std::int32_t slot, ProgressDisplay*) { Equalize(slot); }, kEqualized, true, false,
         false, ""},
    };
    for (const auto& c : cases) {
        std::string texts;  // each followed by '+' where messages ran
        ui.statusText = [&](const std::string& text) { texts += text; };
        ui.doEvents = [&] { texts += '+'; };
        const std::int32_t slot = MakeEntry(300, 200);
        TextureEntry& entry = TextureAt(slot);
        const Bytes source = c.fromTexture ? picture.bytes : BufferBytes(entry.Pixels);
        c.run(slot, &ui);
        const Bytes expected = Applied(source, 300, 200, c.kernel);
        SCOPED_TRACE(texts);
        EXPECT_EQ(BufferBytes(entry.Pixels), c.main ? expected : picture.bytes);
        EXPECT_EQ(ReadTexture(*entry.Texture), c.main ? expected : picture.bytes);
        EXPECT_EQ(BufferBytes(entry.PreviewPixels),
                  c.preview ? expected : Bytes(expected.size(), 0x22));
        EXPECT_EQ(ReadTexture(*entry.PreviewTexture) == expected, c.preview);
        EXPECT_TRUE(std::regex_match(texts, std::regex(c.texts)));
    }
}

TEST_F(TextureEffectsTest, ClosingTheTextureWhileAnOperationWaitsStopsIt) {
    const std::function<void(std::int32_t)> operations[] = {
        [this](std::int32_t slot) { AdjustHueSaturation(slot, 1, 10, 10, &ui); },
        [this](std::int32_t slot) { AutoContrast(slot, &ui); },
    };
    for (const auto& operation : operations) {
        const std::int32_t slot = MakeEntry(300, 300);
        ui.doEvents = [slot] {
            if (TextureAt(slot).InUse) FreeTextureEntry(slot);
        };
        std::string status;
        ui.statusText = [&status](const std::string& text) { status = text; };
        EXPECT_EQ(ErrorCodeOf([&] { operation(slot); }), kErrSubscriptOutOfRange);
        EXPECT_FALSE(TextureAt(slot).InUse);
        EXPECT_EQ(status, "Action failed");  // not the progress text
    }
}

}  // namespace
}  // namespace tintora::testing
