// The alpha tools on texture entries: what each reads and writes (preview versus main texture),
// the colour key's status texts, resampling another entry, and the source lists.
#include "alpha/alpha_texture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

class AlphaTextureTest : public DocumentTest {
  public:
    void SetUp() override {
        DocumentTest::SetUp();
        Module1().Hooks.DoEvents = [this] {
            ++doEvents;
            if (onEvents) onEvents();
        };
        Module1().Hooks.SetStatusText = [this](const std::string& text) {
            statusTexts.push_back(text);
        };
    }

    // An entry whose main texture holds a pattern and whose buffers and preview texture hold
    // other bytes, so a missing or an extra copy shows.
    std::int32_t MakeEntry(int width, int height, int seed) {
        const std::int32_t slot = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(slot).Texture,
                    [seed](int x, int y) { return PatternTexel(x, y, seed); });
        FillTexture(*TextureAt(slot).PreviewTexture, [](int, int) { return Bgra{1, 2, 3, 4}; });
        std::fill_n(TextureAt(slot).Pixels.data(), TextureAt(slot).Pixels.byteCount(), 0x11);
        std::fill_n(TextureAt(slot).PreviewPixels.data(), TextureAt(slot).PreviewPixels.byteCount(),
                    0x22);
        return slot;
    }

    // The main texture's bytes with each alpha replaced by alpha(x, y, pixel).
    template <typename Alpha>
    static std::vector<std::uint8_t> WithAlpha(std::vector<std::uint8_t> bytes, int width,
                                               const Alpha& alpha) {
        for (std::size_t p = 0; p < bytes.size() / 4; ++p) {
            const int x = static_cast<int>(p % width);
            const int y = static_cast<int>(p / width);
            bytes[4 * p + 3] = alpha(x, y, &bytes[4 * p]);
        }
        return bytes;
    }

    int doEvents = 0;
    std::function<void()> onEvents;
    std::vector<std::string> statusTexts;
};

TEST_F(AlphaTextureTest, ColourKeyPreviewLeavesTheTextureAndApplyKeepsColours) {
    const std::int32_t slot = MakeEntry(40, 30, 5);
    TextureEntry& entry = TextureAt(slot);
    const std::vector<std::uint8_t> main = ReadTexture(*entry.Texture);
    // Key: the colour of pixel (3, 2).
    const Bgra keyPixel = PatternTexel(3, 2, 5);
    const std::uint32_t key = keyPixel[0] << 16 | keyPixel[1] << 8 | keyPixel[2];
    const auto expected = WithAlpha(main, 40, [&](int, int, const std::uint8_t* px) {
        const int db = px[0] - keyPixel[0];
        const int dg = px[1] - keyPixel[1];
        const int dr = px[2] - keyPixel[2];
        return static_cast<std::uint8_t>(db * db + dg * dg + dr * dr <= 30 * 31 ? 0 : 255);
    });
    ASSERT_NE(expected, main);

    AlphaFromColourKey(slot, key, 31);
    EXPECT_EQ(ReadTexture(*entry.Texture), main);
    EXPECT_EQ(BufferBytes(entry.Pixels), main);  // refreshed from the texture, nothing else
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), expected);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), expected);

    // 1200 pixels: "Busy (n%)" for n up to 100, each followed by pending messages, then the end.
    ASSERT_GE(statusTexts.size(), 2u);
    EXPECT_EQ(statusTexts.back(), "Action finished");
    EXPECT_EQ(statusTexts[statusTexts.size() - 2], "Busy (100%)");
    for (std::size_t i = 0; i + 1 < statusTexts.size(); ++i) {
        EXPECT_TRUE(statusTexts[i].starts_with("Busy (") && statusTexts[i].ends_with("%)"))
            << statusTexts[i];
    }
    EXPECT_EQ(doEvents, static_cast<int>(statusTexts.size()) - 1);

    // Apply: the preview made permanent; colours as they were, every alpha 0 or 255.
    CommitAlphaPreview(slot);
    const std::vector<std::uint8_t> applied = ReadTexture(*entry.Texture);
    EXPECT_EQ(applied, expected);
    EXPECT_EQ(BufferBytes(entry.Pixels), expected);
    for (std::size_t i = 0; i < applied.size(); ++i) {
        if (i % 4 == 3) {
            EXPECT_TRUE(applied[i] == 0 || applied[i] == 255);
        } else {
            EXPECT_EQ(applied[i], main[i]);
        }
    }
}

TEST_F(AlphaTextureTest, ColourKeyStopsWhenPendingMessagesFreeTheTexture) {
    const std::int32_t slot = MakeEntry(64, 64, 1);
    onEvents = [slot] { FreeTextureEntry(slot); };
    EXPECT_EQ(ErrorCodeOf([&] { AlphaFromColourKey(slot, 0, 3); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(doEvents, 1);
    EXPECT_EQ(ErrorCodeOf([&] { AlphaFromColourKey(slot, 0, 3); }), kErrObjectNotSet);
}

TEST_F(AlphaTextureTest, OwnChannelPreviewsFromTheMainTextureEveryTime) {
    const std::int32_t slot = MakeEntry(19, 7, 9);
    TextureEntry& entry = TextureAt(slot);
    const std::vector<std::uint8_t> main = ReadTexture(*entry.Texture);

    AlphaFromOwnChannel(slot, AlphaChannel::Red);
    const auto red = WithAlpha(main, 19, [](int, int, const std::uint8_t* px) { return px[2]; });
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), red);
    EXPECT_EQ(ReadTexture(*entry.Texture), main);

    // A later preview starts again from the main texture; the Alpha choice previews it as is.
    AlphaFromOwnChannel(slot, AlphaChannel::Alpha);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), main);
    AlphaFromOwnChannel(slot, AlphaChannel::Luminosity);
    const auto luminosity = WithAlpha(main, 19, [](int, int, const std::uint8_t* px) {
        return static_cast<std::uint8_t>((px[0] + px[1] + px[2]) / 3);
    });
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), luminosity);
    CommitAlphaPreview(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), luminosity);
    EXPECT_TRUE(statusTexts.empty());
}

TEST_F(AlphaTextureTest, OtherTextureIsResampledIntoBlocks) {
    const std::int32_t target = MakeEntry(256, 256, 2);
    const std::int32_t source = MakeEntry(64, 64, 7);
    TextureEntry& entry = TextureAt(target);
    const std::vector<std::uint8_t> main = ReadTexture(*entry.Texture);
    const std::vector<std::uint8_t> sourceBytes = ReadTexture(*TextureAt(source).Texture);

    // The source's alpha layer: every source pixel fills a 4 x 4 block.
    ASSERT_TRUE(AlphaFromOtherTexture(target, source, AlphaChannel::Alpha));
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture),
              WithAlpha(main, 256, [](int x, int y, const std::uint8_t*) {
                  return PatternTexel(x / 4, y / 4, 7)[3];
              }));
    // A colour channel of the source, the same way.
    ASSERT_TRUE(AlphaFromOtherTexture(target, source, AlphaChannel::Blue));
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture),
              WithAlpha(main, 256, [](int x, int y, const std::uint8_t*) {
                  return PatternTexel(x / 4, y / 4, 7)[0];
              }));
    EXPECT_EQ(ReadTexture(*entry.Texture), main);
    // The source itself is untouched.
    EXPECT_EQ(ReadTexture(*TextureAt(source).Texture), sourceBytes);

    // Nothing to read from: the texture itself, slot 0, a slot past the table, a freed slot.
    const std::vector<std::uint8_t> preview = ReadTexture(*entry.PreviewTexture);
    FreeTextureEntry(source);
    for (const std::int32_t s : {target, 0, -1, 99, source}) {
        EXPECT_FALSE(AlphaFromOtherTexture(target, s, AlphaChannel::Alpha)) << s;
    }
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), preview);
}

TEST_F(AlphaTextureTest, SourceListsNameEverySlotButTheActiveOne) {
    const std::int32_t a = MakeEntry(4, 4, 1);
    EXPECT_TRUE(SourceListItems(a).empty());  // only the active texture

    const std::int32_t b = MakeEntry(4, 4, 2);
    const std::int32_t c = MakeEntry(4, 4, 3);
    TextureAt(c).FileName = "/textures/stone.bmp";
    TextureAt(c).Title = "stone.bmp";
    TextureAt(b).Title = "Untitled" + std::to_string(b);  // a new texture: no file name
    const std::int32_t d = MakeEntry(4, 4, 4);
    FreeTextureEntry(d);  // free slots stay listed
    EXPECT_EQ(SourceListItems(a), (std::vector<std::string>{"2- Untitled", "3-stone.bmp", "4- Untitled"}));
    EXPECT_EQ(SourceListItems(c), (std::vector<std::string>{"1- Untitled", "2- Untitled", "4- Untitled"}));
    EXPECT_EQ(SourceListItems(0).size(), 4u);

    EXPECT_EQ(SlotOfItem("3-stone.bmp"), 3);
    EXPECT_EQ(SlotOfItem("12- Untitled"), 12);
    EXPECT_EQ(SlotOfItem("5-my-file.png"), 5);
    EXPECT_EQ(SlotOfItem("Combo1"), 0);
    EXPECT_EQ(SlotOfItem(""), 0);
}

}  // namespace
}  // namespace tintora::testing
