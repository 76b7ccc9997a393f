#include "effects/texture_effects.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/document_fixture.h"
#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"
#include "effects_support.h"

namespace tintora::testing {
namespace {

class TextureEffectsTest : public DocumentTest {
  public:
    void SetUp() override {
        DocumentTest::SetUp();
        Module1().Hooks.DoEvents = [this] { ++doEvents; };
    }

    // A texture entry whose main texture holds the photograph-like picture and whose buffers
    // hold other bytes, so a missing or an extra copy shows.
    std::int32_t MakeEntry(int width = 37, int height = 23) {
        picture = PhotoLike(width, height);
        const std::int32_t slot = CreateTextureEntry(width, height, true);
        const int w = width;
        FillTexture(*TextureAt(slot).Texture, [this, w](int x, int y) {
            const std::uint8_t* px = picture.pixel(static_cast<std::size_t>(y) * w + x);
            return Bgra{px[0], px[1], px[2], px[3]};
        });
        FillTexture(*TextureAt(slot).PreviewTexture,
                    [](int x, int y) { return PatternTexel(x, y, 9); });
        Fill(TextureAt(slot).Pixels, 0x11);
        Fill(TextureAt(slot).PreviewPixels, 0x22);
        return slot;
    }

    static void Fill(PixelBuffer& buffer, std::uint8_t value) {
        std::fill_n(buffer.data(), buffer.byteCount(), value);
    }

    // What a kernel makes of bytes.
    template <typename Kernel>
    std::vector<std::uint8_t> Expected(std::vector<std::uint8_t> bytes, int width, int height,
                                       Kernel kernel) {
        Image in(width, height);
        in.bytes = std::move(bytes);
        Image out(width, height);
        kernel(in.view(), out.view());
        return out.bytes;
    }

    StatusFn Recorder() {
        return [this](const std::string& text) { statusTexts.push_back(text); };
    }

    Image picture;
    int doEvents = 0;
    std::vector<std::string> statusTexts;
};

void ExpectAllMatch(const std::vector<std::string>& texts, const std::string& pattern) {
    ASSERT_FALSE(texts.empty());
    const std::regex re(pattern);
    for (const std::string& text : texts)
        EXPECT_TRUE(std::regex_match(text, re)) << text;
}

// A preview: Pixels refreshed from the texture, the texture unchanged, PreviewPixels and the
// preview texture holding what the kernel makes of the texture; progress texts "Busy (n" suffix,
// each followed by pending messages, the last at 100.
template <typename Preview, typename Kernel>
void ExpectPreview(TextureEffectsTest& test, const Preview& preview, const Kernel& kernel,
                   const std::string& suffix) {
    const std::int32_t slot = test.MakeEntry(300, 200);
    TextureEntry& entry = TextureAt(slot);
    preview(slot, test.Recorder());
    EXPECT_EQ(BufferBytes(entry.Pixels), test.picture.bytes);
    EXPECT_EQ(ReadTexture(*entry.Texture), test.picture.bytes);
    const auto expected = test.Expected(test.picture.bytes, 300, 200, kernel);
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), expected);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), expected);

    std::string escaped = suffix;  // the closing parenthesis, literally
    escaped.insert(escaped.size() - 1, "\\");
    ExpectAllMatch(test.statusTexts, R"(Busy \((\d|[1-9]\d|100))" + escaped);
    EXPECT_EQ(test.statusTexts.back(), "Busy (100" + suffix);
    EXPECT_EQ(test.doEvents, static_cast<int>(test.statusTexts.size()));
}

TEST_F(TextureEffectsTest, ContrastPreviewWritesOnlyThePreviewPair) {
    ExpectPreview(
        *this,
        [](std::int32_t slot, const StatusFn& status) {
            AdjustContrastLuminosity(slot, 1, ContrastFactor(40), -20, status);
        },
        [](PixelView in, PixelView out) {
            AdjustContrastLuminosity(in, out, ContrastFactor(40), -20);
        },
        "%)");
}

TEST_F(TextureEffectsTest, HueSaturationPreviewShowsItsProgressWithABlank) {
    ExpectPreview(
        *this,
        [](std::int32_t slot, const StatusFn& status) {
            AdjustHueSaturation(slot, 1, -65, 20, status);
        },
        [](PixelView in, PixelView out) { AdjustHueSaturation(in, out, -65, 20); }, " %)");
    EXPECT_GT(statusTexts.size(), 1u);
}

TEST_F(TextureEffectsTest, CommitWithoutMovingASliderLeavesTheTextureUnchanged) {
    const std::int32_t slot = MakeEntry();
    TextureEntry& entry = TextureAt(slot);
    AdjustContrastLuminosity(slot, 1, ContrastFactor(0), 0);
    CommitPreview(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), picture.bytes);
    EXPECT_EQ(BufferBytes(entry.Pixels), picture.bytes);

    AdjustHueSaturation(slot, 1, 0, 0);
    CommitPreview(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), picture.bytes);
}

TEST_F(TextureEffectsTest, CommitMakesThePreviewPermanent) {
    const std::int32_t slot = MakeEntry();
    TextureEntry& entry = TextureAt(slot);
    AdjustHueSaturation(slot, 1, 90, -30);
    const auto preview = BufferBytes(entry.PreviewPixels);
    CommitPreview(slot);
    EXPECT_EQ(BufferBytes(entry.Pixels), preview);
    EXPECT_EQ(ReadTexture(*entry.Texture), preview);
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), preview);
}

TEST_F(TextureEffectsTest, InvertRefreshesPixelsFromTheTextureFirst) {
    const std::int32_t slot = MakeEntry();
    TextureEntry& entry = TextureAt(slot);
    InvertColors(slot);
    const auto expected =
        Expected(picture.bytes, 37, 23, [](PixelView in, PixelView out) { InvertColors(in, out); });
    EXPECT_EQ(BufferBytes(entry.Pixels), expected);
    EXPECT_EQ(ReadTexture(*entry.Texture), expected);
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), std::vector<std::uint8_t>(37 * 23 * 4, 0x22));
    InvertColors(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), picture.bytes);
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_EQ(doEvents, 0);
}

TEST_F(TextureEffectsTest, AutoContrastWorksOnPixelsAsTheyStandAndSaysSo) {
    const std::int32_t slot = MakeEntry();
    TextureEntry& entry = TextureAt(slot);
    CopyOut(slot);
    // Pixels differs from the texture here on purpose: auto contrast does not copy out.
    for (std::size_t i = 0; i < entry.Pixels.byteCount(); ++i) {
        entry.Pixels[i] = static_cast<std::uint8_t>(entry.Pixels[i] / 2 + 30);
    }
    const auto source = BufferBytes(entry.Pixels);
    AutoContrast(slot, Recorder());
    const auto expected =
        Expected(source, 37, 23, [](PixelView in, PixelView out) { AutoContrast(in, out); });
    EXPECT_EQ(BufferBytes(entry.Pixels), expected);
    EXPECT_EQ(ReadTexture(*entry.Texture), expected);
    EXPECT_EQ(statusTexts,
              (std::vector<std::string>{"Busy (25%)", "Busy (50%)", "Action done..."}));
    EXPECT_EQ(doEvents, 2);
}

TEST_F(TextureEffectsTest, EqualizeWorksOnPixelsAsTheyStand) {
    const std::int32_t slot = MakeEntry();
    TextureEntry& entry = TextureAt(slot);
    Fill(entry.Pixels, 0);
    for (std::size_t p = 0; p < 37 * 23; ++p)
        entry.Pixels[4 * p + 1] = static_cast<std::uint8_t>(p);
    const auto source = BufferBytes(entry.Pixels);
    Equalize(slot);
    const auto expected =
        Expected(source, 37, 23, [](PixelView in, PixelView out) { Equalize(in, out); });
    EXPECT_EQ(BufferBytes(entry.Pixels), expected);
    EXPECT_EQ(ReadTexture(*entry.Texture), expected);
    EXPECT_EQ(doEvents, 0);
}

TEST_F(TextureEffectsTest, ClosingTheTextureWhileAnOperationWaitsStopsIt) {
    const std::int32_t slot = MakeEntry(300, 300);
    Module1().Hooks.DoEvents = [slot] {
        if (TextureAt(slot).InUse) FreeTextureEntry(slot);
    };
    EXPECT_EQ(ErrorCodeOf([&] { AdjustHueSaturation(slot, 1, 10, 10); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(TextureAt(slot).InUse);

    const std::int32_t other = MakeEntry(300, 300);
    Module1().Hooks.DoEvents = [other] {
        if (TextureAt(other).InUse) FreeTextureEntry(other);
    };
    EXPECT_EQ(ErrorCodeOf([&] { AutoContrast(other); }), kErrSubscriptOutOfRange);
}

}  // namespace
}  // namespace tintora::testing
