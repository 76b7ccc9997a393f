#include "effects/texture_effects.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"
#include "effects_support.h"
#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using Kernel = std::function<void(PixelView, PixelView)>;

class TextureEffectsTest : public DocumentTest {
  public:
    void SetUp() override {
        DocumentTest::SetUp();
        ui.doEvents = [this] { ++doEvents; };
        ui.statusText = [this](const std::string& text) { statusTexts.push_back(text); };
    }

    // A texture entry whose main texture holds the photograph-like picture and whose buffers
    // hold other bytes, so a missing or an extra copy shows.
    std::int32_t MakeEntry(int width = 37, int height = 23) {
        picture = Photo(width, height);
        const std::int32_t slot = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(slot).Texture, [this, width](int x, int y) {
            const std::uint8_t* px = &picture.bytes[4 * (static_cast<std::size_t>(y) * width + x)];
            return Bgra{px[0], px[1], px[2], px[3]};
        });
        FillTexture(*TextureAt(slot).PreviewTexture,
                    [](int x, int y) { return PatternTexel(x, y, 9); });
        std::fill_n(TextureAt(slot).Pixels.data(), TextureAt(slot).Pixels.byteCount(), 0x11);
        std::fill_n(TextureAt(slot).PreviewPixels.data(), picture.bytes.size(), 0x22);
        return slot;
    }

    // The status line and message pump the operations are handed.
    ProgressDisplay* Recorder() { return &ui; }

    Image picture{0, 0};
    int doEvents = 0;
    std::vector<std::string> statusTexts;
    RecordingWindows ui;
};

// A preview refreshes Pixels from the texture and leaves the texture alone; PreviewPixels and the
// preview texture hold what the kernel makes of the texture. Each progress text is followed by the
// pending messages, the last at 100.
TEST_F(TextureEffectsTest, PreviewsWriteOnlyThePreviewPair) {
    const struct {
        std::function<void(std::int32_t, ProgressDisplay*)> preview;
        Kernel kernel;
        const char* texts;  // every progress text
        const char* last;
    } cases[] = {
        {[](std::int32_t slot, ProgressDisplay* status) {
             AdjustContrastLuminosity(slot, 1, ContrastFactor(40), -20, status);
         },
         [](PixelView in, PixelView out) {
             AdjustContrastLuminosity(in, out, ContrastFactor(40), -20);
         },
         R"(Busy \(\d{1,3}%\))", "Busy (100%)"},
        {[](std::int32_t slot, ProgressDisplay* status) {
             AdjustHueSaturation(slot, 1, -65, 20, status);
         },
         [](PixelView in, PixelView out) { AdjustHueSaturation(in, out, -65, 20); },
         R"(Busy \(\d{1,3} %\))", "Busy (100 %)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        statusTexts.clear();
        doEvents = 0;
        const std::int32_t slot = MakeEntry(300, 200);
        TextureEntry& entry = TextureAt(slot);
        c.preview(slot, Recorder());
        EXPECT_EQ(BufferBytes(entry.Pixels), picture.bytes);
        EXPECT_EQ(ReadTexture(*entry.Texture), picture.bytes);
        const Bytes expected = Applied(picture.bytes, 300, 200, c.kernel);
        EXPECT_EQ(BufferBytes(entry.PreviewPixels), expected);
        EXPECT_EQ(ReadTexture(*entry.PreviewTexture), expected);

        ASSERT_FALSE(statusTexts.empty());
        for (const std::string& text : statusTexts)
            EXPECT_TRUE(std::regex_match(text, std::regex(c.texts))) << text;
        EXPECT_EQ(statusTexts.back(), c.last);
        EXPECT_EQ(doEvents, static_cast<int>(statusTexts.size()));
    }
}

TEST_F(TextureEffectsTest, CommitMakesThePreviewPermanent) {
    const std::int32_t slot = MakeEntry();
    TextureEntry& entry = TextureAt(slot);
    AdjustHueSaturation(slot, 1, 90, -30);
    const Bytes preview = BufferBytes(entry.PreviewPixels);
    CommitPreview(slot);
    EXPECT_EQ(BufferBytes(entry.Pixels), preview);
    EXPECT_EQ(ReadTexture(*entry.Texture), preview);
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), preview);
}

// Invert refreshes Pixels from the texture first; auto contrast and equalize work on Pixels as
// it stands. All three write Pixels and the texture, never the preview pair.
TEST_F(TextureEffectsTest, InPlaceOperationsWriteThePixelsAndTheTexture) {
    const struct {
        const char* name;
        std::function<void(std::int32_t, ProgressDisplay*)> run;
        Kernel kernel;
        bool fromTexture;
        std::vector<std::string> texts;
    } cases[] = {
        {"invert",
         [](std::int32_t slot, ProgressDisplay*) { InvertColors(slot); },
         [](PixelView in, PixelView out) { InvertColors(in, out); },
         true,
         {}},
        {"auto contrast",
         [](std::int32_t slot, ProgressDisplay* status) { AutoContrast(slot, status); },
         [](PixelView in, PixelView out) { AutoContrast(in, out); },
         false,
         {"Busy (25%)", "Busy (50%)", "Action done..."}},
        {"equalize",
         [](std::int32_t slot, ProgressDisplay*) { Equalize(slot); },
         [](PixelView in, PixelView out) { Equalize(in, out); },
         false,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        statusTexts.clear();
        doEvents = 0;
        const std::int32_t slot = MakeEntry();
        TextureEntry& entry = TextureAt(slot);
        CopyOut(slot);
        // Pixels differs from the texture here on purpose.
        for (std::size_t i = 0; i < entry.Pixels.byteCount(); ++i)
            entry.Pixels[i] = static_cast<std::uint8_t>(entry.Pixels[i] / 2 + 30);
        const Bytes source = c.fromTexture ? picture.bytes : BufferBytes(entry.Pixels);
        c.run(slot, Recorder());
        const Bytes expected = Applied(source, 37, 23, c.kernel);
        EXPECT_EQ(BufferBytes(entry.Pixels), expected);
        EXPECT_EQ(ReadTexture(*entry.Texture), expected);
        EXPECT_EQ(BufferBytes(entry.PreviewPixels), Bytes(expected.size(), 0x22));
        EXPECT_EQ(statusTexts, c.texts);
        EXPECT_EQ(doEvents, c.texts.empty() ? 0 : 2);
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
        EXPECT_EQ(ErrorCodeOf([&] { operation(slot); }), kErrSubscriptOutOfRange);
        EXPECT_FALSE(TextureAt(slot).InUse);
    }
}

}  // namespace
}  // namespace tintora::testing
