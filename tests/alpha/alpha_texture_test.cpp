// The alpha tools on texture entries: previews, commits, status texts and the source lists.
#include "alpha/alpha_texture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

using AlphaTextureTest = DocumentTest;

// A patterned entry whose buffers and preview hold other bytes, so a missing or extra copy shows.
std::int32_t MakeEntry(int width, int height, int seed) {
    const std::int32_t slot = CreateTextureEntry(width, height, true);
    TextureEntry& entry = TextureAt(slot);
    FillTexture(*entry.Texture, [seed](int x, int y) { return PatternTexel(x, y, seed); });
    FillTexture(*entry.PreviewTexture, [](int, int) { return Bgra{1, 2, 3, 4}; });
    std::fill_n(entry.Pixels.data(), entry.Pixels.byteCount(), 0x11);
    std::fill_n(entry.PreviewPixels.data(), entry.PreviewPixels.byteCount(), 0x22);
    return slot;
}

// Each operation previews from the main texture (never from an earlier preview) and leaves it and
// the pixels alone; the commit keeps the last preview.
TEST_F(AlphaTextureTest, PreviewNeverTouchesTheMainTexture) {
    const std::int32_t slot = MakeEntry(40, 30, 5);
    const std::int32_t other = MakeEntry(16, 8, 7);
    TextureEntry& entry = TextureAt(slot);
    const Bytes main = ReadTexture(*entry.Texture);
    Bytes otherBytes = ReadTexture(*TextureAt(other).Texture);
    const PixelView otherView{otherBytes.data(), 16, 8};
    const Bgra keyPixel = PatternTexel(3, 2, 5);
    const std::uint32_t key = keyPixel[0] << 16 | keyPixel[1] << 8 | keyPixel[2];
    const struct {
        std::function<void()> operation;
        std::function<void(PixelView)> kernel;
    } cases[] = {
        {[&] { AlphaFromColourKey(slot, key, 31); },
         [&](PixelView view) { ApplyColourKeyAlpha(view, key, 31); }},
        {[&] { AlphaFromOwnChannel(slot, AlphaChannel::Red); },
         [](PixelView view) { ApplyChannelAlpha(view, AlphaChannel::Red); }},
        {[&] { ASSERT_TRUE(AlphaFromOtherTexture(slot, other, AlphaChannel::Blue)); },
         [&](PixelView view) { ApplyResampledAlpha(view, otherView, AlphaChannel::Blue); }},
    };
    Bytes expected;
    for (const auto& c : cases) {
        expected = main;
        c.kernel(PixelView{expected.data(), 40, 30});
        c.operation();
        EXPECT_EQ(ReadTexture(*entry.PreviewTexture), expected);
        EXPECT_EQ(BufferBytes(entry.PreviewPixels), expected);
        EXPECT_EQ(ReadTexture(*entry.Texture), main);
        EXPECT_EQ(BufferBytes(entry.Pixels), main);  // refreshed from the texture, nothing else
    }
    EXPECT_EQ(ReadTexture(*TextureAt(other).Texture), otherBytes);
    // Nothing to read from (the texture itself, slot 0, past the table, a freed slot): no change.
    const std::int32_t freed = MakeEntry(4, 4, 1);
    FreeTextureEntry(freed);
    for (const std::int32_t s : {slot, 0, -1, 99, freed})
        EXPECT_FALSE(AlphaFromOtherTexture(slot, s, AlphaChannel::Alpha)) << s;
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), expected);
    ASSERT_NE(expected, main);
    CommitAlphaPreview(slot);
    EXPECT_EQ(ReadTexture(*entry.Texture), expected);
    EXPECT_EQ(BufferBytes(entry.Pixels), expected);
}

// A handler that frees the texture while the colour key lets pending messages run stops it, and
// the status line says so.
TEST_F(AlphaTextureTest, ColourKeyStopsWhenTheTextureGoes) {
    const std::int32_t slot = MakeEntry(40, 30, 5);
    RecordingWindows ui;
    ui.doEvents = [slot] { FreeTextureEntry(slot); };
    std::string status;
    ui.statusText = [&status](const std::string& text) { status = text; };
    EXPECT_EQ(ErrorCodeOf([&] { AlphaFromColourKey(slot, 0, 3, &ui); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(status, "Action failed");  // not the progress text
    EXPECT_EQ(ErrorCodeOf([&] { AlphaFromColourKey(slot, 0, 3, &ui); }), kErrObjectNotSet);
}

// Every slot but the active one, free or not; an item names its slot by its leading number.
TEST_F(AlphaTextureTest, SourceListsNameEverySlotButTheActiveOne) {
    const std::int32_t a = MakeEntry(4, 4, 1);
    EXPECT_TRUE(SourceListItems(a).empty());
    TextureAt(MakeEntry(4, 4, 2)).Title = "Untitled2";
    const std::int32_t c = MakeEntry(4, 4, 3);
    TextureAt(c).FileName = "/textures/stone.bmp";
    TextureAt(c).Title = "stone.bmp";
    FreeTextureEntry(MakeEntry(4, 4, 4));
    EXPECT_EQ(SourceListItems(a),
              (std::vector<std::string>{"2- Untitled", "3-stone.bmp", "4- Untitled"}));

    const std::pair<const char*, std::int32_t> items[] = {
        {"3-stone.bmp", 3}, {"12- Untitled", 12}, {"5-my-file.png", 5}, {"Combo1", 0}};
    for (const auto& [item, slot] : items)
        EXPECT_EQ(SlotOfItem(item), slot) << item;
}

}  // namespace
}  // namespace tintora::testing
