// The alpha tools on texture entries: what each reads and writes (preview versus main texture),
// the colour key's status texts, resampling another entry, and the source lists.
#include "alpha/alpha_texture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class AlphaTextureTest : public DocumentTest {
  public:
    void SetUp() override {
        DocumentTest::SetUp();
        ui.doEvents = [this] {
            ++doEvents;
            if (onEvents) onEvents();
        };
        ui.statusText = [this](const std::string& text) { statusTexts.push_back(text); };
    }

    // An entry whose main texture holds a pattern and whose buffers and preview texture hold
    // other bytes, so a missing or an extra copy shows.
    std::int32_t MakeEntry(int width, int height, int seed) {
        const std::int32_t slot = CreateTextureEntry(width, height, true);
        TextureEntry& entry = TextureAt(slot);
        FillTexture(*entry.Texture, [seed](int x, int y) { return PatternTexel(x, y, seed); });
        FillTexture(*entry.PreviewTexture, [](int, int) { return Bgra{1, 2, 3, 4}; });
        std::fill_n(entry.Pixels.data(), entry.Pixels.byteCount(), 0x11);
        std::fill_n(entry.PreviewPixels.data(), entry.PreviewPixels.byteCount(), 0x22);
        return slot;
    }

    // The bytes after kernel ran on a copy of them (width pixels a row).
    template <typename Kernel>
    static Bytes After(Bytes bytes, int width, const Kernel& kernel) {
        kernel(PixelView{bytes.data(), width, static_cast<int>(bytes.size() / 4 / width)});
        return bytes;
    }

    int doEvents = 0;
    std::function<void()> onEvents;
    std::vector<std::string> statusTexts;
    RecordingWindows ui;
};

TEST_F(AlphaTextureTest, ColourKeyPreviewLeavesTheTextureAndCommitKeepsIt) {
    const std::int32_t slot = MakeEntry(40, 30, 5);
    TextureEntry& entry = TextureAt(slot);
    const Bytes main = ReadTexture(*entry.Texture);
    // Key: the colour of pixel (3, 2); threshold 31.
    const Bgra keyPixel = PatternTexel(3, 2, 5);
    const std::uint32_t key = keyPixel[0] << 16 | keyPixel[1] << 8 | keyPixel[2];
    const Bytes expected =
        After(main, 40, [key](PixelView view) { ApplyColourKeyAlpha(view, key, 31); });
    ASSERT_NE(expected, main);

    AlphaFromColourKey(slot, key, 31, &ui);
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

    CommitAlphaPreview(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), expected);
    EXPECT_EQ(BufferBytes(entry.Pixels), expected);
}

TEST_F(AlphaTextureTest, ColourKeyStopsWhenPendingMessagesFreeTheTexture) {
    const std::int32_t slot = MakeEntry(64, 64, 1);
    onEvents = [slot] { FreeTextureEntry(slot); };
    EXPECT_EQ(ErrorCodeOf([&] { AlphaFromColourKey(slot, 0, 3, &ui); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(doEvents, 1);
    EXPECT_EQ(ErrorCodeOf([&] { AlphaFromColourKey(slot, 0, 3, &ui); }), kErrObjectNotSet);
}

// Each preview starts again from the main texture, so an earlier one never feeds a later one;
// the Alpha choice previews the texture as it is.
TEST_F(AlphaTextureTest, OwnChannelPreviewsFromTheMainTextureEveryTime) {
    const std::int32_t slot = MakeEntry(19, 7, 9);
    TextureEntry& entry = TextureAt(slot);
    const Bytes main = ReadTexture(*entry.Texture);
    const auto own = [&main](AlphaChannel channel) {
        return After(main, 19, [channel](PixelView view) { ApplyChannelAlpha(view, channel); });
    };
    AlphaFromOwnChannel(slot, AlphaChannel::Red);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), own(AlphaChannel::Red));
    AlphaFromOwnChannel(slot, AlphaChannel::Alpha);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), main);
    AlphaFromOwnChannel(slot, AlphaChannel::Blue);
    const Bytes blue = own(AlphaChannel::Blue);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), blue);
    EXPECT_EQ(ReadTexture(*entry.Texture), main);
    CommitAlphaPreview(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), blue);
    EXPECT_TRUE(statusTexts.empty());
}

TEST_F(AlphaTextureTest, OtherTextureIsResampled) {
    const std::int32_t target = MakeEntry(256, 256, 2);
    const std::int32_t source = MakeEntry(64, 64, 7);
    TextureEntry& entry = TextureAt(target);
    const Bytes main = ReadTexture(*entry.Texture);
    const Bytes sourceBytes = ReadTexture(*TextureAt(source).Texture);

    // A colour channel of the source, resampled.
    ASSERT_TRUE(AlphaFromOtherTexture(target, source, AlphaChannel::Blue));
    Bytes sourceCopy = sourceBytes;
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), After(main, 256, [&](PixelView view) {
                  ApplyResampledAlpha(view, {sourceCopy.data(), 64, 64}, AlphaChannel::Blue);
              }));
    EXPECT_EQ(ReadTexture(*entry.Texture), main);
    EXPECT_EQ(ReadTexture(*TextureAt(source).Texture), sourceBytes);

    // Nothing to read from: the texture itself, slot 0, a slot past the table, a freed slot.
    const Bytes preview = ReadTexture(*entry.PreviewTexture);
    FreeTextureEntry(source);
    for (const std::int32_t s : {target, 0, -1, 99, source}) {
        EXPECT_FALSE(AlphaFromOtherTexture(target, s, AlphaChannel::Alpha)) << s;
    }
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), preview);
}

// Every slot but the active one, free or not, "- Untitled" for an entry without a file name.
TEST_F(AlphaTextureTest, SourceListsNameEverySlotButTheActiveOne) {
    const std::int32_t a = MakeEntry(4, 4, 1);
    EXPECT_TRUE(SourceListItems(a).empty());
    const std::int32_t b = MakeEntry(4, 4, 2);
    const std::int32_t c = MakeEntry(4, 4, 3);
    TextureAt(c).FileName = "/textures/stone.bmp";
    TextureAt(c).Title = "stone.bmp";
    TextureAt(b).Title = "Untitled" + std::to_string(b);
    FreeTextureEntry(MakeEntry(4, 4, 4));
    EXPECT_EQ(SourceListItems(a),
              (std::vector<std::string>{"2- Untitled", "3-stone.bmp", "4- Untitled"}));
    EXPECT_EQ(SourceListItems(c),
              (std::vector<std::string>{"1- Untitled", "2- Untitled", "4- Untitled"}));

    const std::pair<const char*, std::int32_t> items[] = {
        {"3-stone.bmp", 3}, {"12- Untitled", 12}, {"5-my-file.png", 5}, {"Combo1", 0}};
    for (const auto& [item, slot] : items)
        EXPECT_EQ(SlotOfItem(item), slot) << item;
}

}  // namespace
}  // namespace tintora::testing
