// The program state: slot taking, texture entries, and the pixel transfer between a texture and
// its byte copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using TablesTest = DocumentTest;

TEST_F(TablesTest, SlotsStartAtOneReuseTheLowestFreeOneAndNeverShrink) {
    auto& state = Module1();
    // Before the first slot is taken even slot 0 is out of range.
    EXPECT_EQ(ErrorCodeOf([] { TextureAt(0); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(ErrorCodeOf([] { DocumentAt(0); }), kErrSubscriptOutOfRange);
    for (int slot = 1; slot <= 3; ++slot)
        EXPECT_EQ(TakeTextureSlot(), slot);
    TextureAt(3).InUse = false;
    TextureAt(1).InUse = false;
    EXPECT_EQ(TakeTextureSlot(), 1);
    EXPECT_EQ(TakeTextureSlot(), 3);
    EXPECT_EQ(TakeTextureSlot(), 4);
    for (int slot = 1; slot <= 4; ++slot)
        TextureAt(slot).InUse = false;
    EXPECT_EQ(state.TextureTableUBound, 4);
    EXPECT_EQ(state.TextureTable.size(), 5u);
    EXPECT_FALSE(state.TextureTable[0].InUse);
    for (const int slot : {-1, 5})
        EXPECT_EQ(ErrorCodeOf([slot] { TextureAt(slot); }), kErrSubscriptOutOfRange) << slot;

    // The document table is separate. A reused slot keeps its view fields (a window opened into
    // a closed tiled window's slot starts tiled); a new slot starts zeroed.
    EXPECT_EQ(TakeDocumentSlot(), 1);
    DocumentAt(1).ViewMode = ViewMode::Tiled;
    DocumentAt(1).InUse = false;
    EXPECT_EQ(TakeDocumentSlot(), 1);
    EXPECT_EQ(DocumentAt(1).ViewMode, ViewMode::Tiled);
    EXPECT_EQ(TakeDocumentSlot(), 2);
    EXPECT_EQ(DocumentAt(2).ViewMode, ViewMode::Normal);
    EXPECT_EQ(ErrorCodeOf([] { DocumentAt(3); }), kErrSubscriptOutOfRange);
}

TEST_F(TablesTest, AnEntryHoldsTwoTexturesAndTwoBuffersUntilFreed) {
    int previewShown = 0;
    RecordingWindows ui;
    ui.showPreviewWindow = [&previewShown] { ++previewShown; };
    EXPECT_EQ(CreateTextureEntry(16, 16, true, &ui), 1);
    EXPECT_EQ(CreateTextureEntry(32, 8, true, &ui), 2);
    EXPECT_EQ(previewShown, 2);
    {
        const TextureEntry& entry = TextureAt(2);
        EXPECT_EQ(entry.Format, 21u);
        EXPECT_EQ(entry.Title, "Untitled");
        for (const auto* texture : {entry.Texture.get(), entry.PreviewTexture.get()}) {
            ASSERT_NE(texture, nullptr);
            const D3DSURFACE_DESC desc = texture->GetLevelDesc(0);
            EXPECT_EQ((std::array{desc.Width, desc.Height}), (std::array{32u, 8u}));
            EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
            EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
            EXPECT_EQ(texture->GetLevelCount(), 1u);
        }
        EXPECT_NE(entry.Texture, entry.PreviewTexture);
        EXPECT_EQ(entry.Pixels.byteCount(), 32u * 8u * 4u);
        EXPECT_EQ(entry.PreviewPixels.byteCount(), 32u * 8u * 4u);
    }
    // Without the main texture the caller supplies it; the largest side the device takes works.
    EXPECT_EQ(TextureAt(CreateTextureEntry(8, 4, false, &ui)).Texture, nullptr);
    EXPECT_NE(CreateTextureEntry(kMaxTextureSize, 1, true, &ui), 0);

    TextureAt(2).FileName = "/tmp/bricks.png";
    FreeTextureEntry(2);
    const TextureEntry& freed = TextureAt(2);
    EXPECT_FALSE(freed.InUse || freed.Texture || freed.PreviewTexture);
    EXPECT_TRUE(freed.Pixels.empty() && freed.PreviewPixels.empty());
    EXPECT_EQ(freed.FileName, "/tmp/bricks.png");  // until the slot is reused
    EXPECT_TRUE(TextureAt(1).InUse);
    EXPECT_EQ(CreateTextureEntry(64, 2, true, &ui), 2);
    EXPECT_EQ(TextureAt(2).FileName, "");
    EXPECT_EQ(TextureAt(2).Texture->width(), 64);
}

// A zero side creates nothing; a rejected size or a missing device throws before a slot is taken.
TEST_F(TablesTest, ARefusedEntryTakesNoSlotAndShowsNoPreview) {
    int previewShown = 0;
    RecordingWindows ui;
    ui.showPreviewWindow = [&previewShown] { ++previewShown; };
    CreateTextureEntry(4, 4, true, &ui);
    FreeTextureEntry(1);
    previewShown = 0;
    struct Case {
        int width, height;
        HRESULT code;  // 0: slot 0 is returned
    };
    const Case cases[] = {{0, 16, 0},
                          {16, 0, 0},
                          {0, -5, 0},  // zero wins over a rejected size
                          {-1, 16, D3DERR_INVALIDCALL},
                          {16, -3, D3DERR_INVALIDCALL},
                          {kMaxTextureSize + 1, 16, D3DERR_INVALIDCALL},
                          {16, kMaxTextureSize + 1, D3DERR_INVALIDCALL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        std::int32_t slot = -1;
        EXPECT_EQ(ErrorCodeOf([&] { slot = CreateTextureEntry(c.width, c.height, true, &ui); }),
                  c.code);
        EXPECT_EQ(slot, c.code == 0 ? 0 : -1);
        EXPECT_FALSE(TextureAt(1).InUse);
        EXPECT_EQ(Module1().TextureTableUBound, 1);
    }
    Module1().Device.reset();
    EXPECT_EQ(ErrorCodeOf([&] { CreateTextureEntry(4, 4, true, &ui); }), kErrObjectNotSet);
    EXPECT_FALSE(TextureAt(1).InUse);
    EXPECT_EQ(previewShown, 0);
}

// 5 x 3 texels (odd, so that a pitch or row mistake shows) of pattern seed.
std::vector<std::uint8_t> PatternBytes(int seed) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const Bgra texel = PatternTexel(x, y, seed);
            bytes.insert(bytes.end(), texel.begin(), texel.end());
        }
    }
    return bytes;
}

bool IsLocked(const Texture& texture) {
    return texture.GetSurfaceLevel(0)->locked();
}

class PixelTransferTest : public DocumentTest {
  protected:
    // An entry with pattern 1 in its main texture and pattern 2 in its preview texture.
    int MakeFilledEntry() {
        const int slot = CreateTextureEntry(5, 3, true);
        FillTexture(*TextureAt(slot).Texture, [](int x, int y) { return PatternTexel(x, y, 1); });
        FillTexture(*TextureAt(slot).PreviewTexture,
                    [](int x, int y) { return PatternTexel(x, y, 2); });
        return slot;
    }
};

TEST_F(PixelTransferTest, CopyOutFillsPixelsAndCopyInWritesTheTargetsTexture) {
    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    std::fill_n(entry.PreviewPixels.data(), entry.PreviewPixels.byteCount(), 0xAB);
    entry.Pixels[60] = 0x5A;  // the spare byte after the pixels is never touched
    entry.PreviewPixels[60] = 0xC3;
    CopyOut(slot);
    EXPECT_EQ(BufferBytes(entry.Pixels), PatternBytes(1));
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), std::vector<std::uint8_t>(60, 0xAB));
    EXPECT_FALSE(IsLocked(*entry.Texture));

    // Target 1 writes the preview texture from PreviewPixels, any other target the main one.
    int seed = 20;
    for (const int target : {1, 0, 2, -1}) {
        SCOPED_TRACE(target);
        const std::vector<std::uint8_t> bytes = PatternBytes(++seed);
        std::copy(bytes.begin(), bytes.end(),
                  (target == 1 ? entry.PreviewPixels : entry.Pixels).data());
        const std::vector<std::uint8_t> main = ReadTexture(*entry.Texture);
        const std::vector<std::uint8_t> preview = ReadTexture(*entry.PreviewTexture);
        CopyIn(slot, target);
        EXPECT_EQ(ReadTexture(*entry.Texture), target == 1 ? main : bytes);
        EXPECT_EQ(ReadTexture(*entry.PreviewTexture), target == 1 ? bytes : preview);
        EXPECT_FALSE(IsLocked(*entry.Texture) || IsLocked(*entry.PreviewTexture));
    }
    EXPECT_EQ(entry.Pixels[60], 0x5A);
    EXPECT_EQ(entry.PreviewPixels[60], 0xC3);
}

TEST_F(PixelTransferTest, FailuresThrowAndLeaveNoLockOfTheirOwn) {
    // An entry without a main texture (and slot 0, which never holds one).
    const int bare = CreateTextureEntry(4, 4, false);
    EXPECT_EQ(ErrorCodeOf([bare] { CopyOut(bare); }), kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([bare] { CopyIn(bare, 0); }), kErrObjectNotSet);
    EXPECT_NO_THROW(CopyIn(bare, 1));  // the preview pair exists
    EXPECT_EQ(ErrorCodeOf([] { CopyOut(0); }), kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([] { CopyIn(-1, 0); }), kErrSubscriptOutOfRange);

    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    // A buffer that is gone fails after the lock: the lock must still be given back.
    entry.Pixels.Erase();
    EXPECT_EQ(ErrorCodeOf([slot] { CopyOut(slot); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(ErrorCodeOf([slot] { CopyIn(slot, 0); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(IsLocked(*entry.Texture));
    EXPECT_EQ(ReadTexture(*entry.Texture), PatternBytes(1));

    // A level that is not the entry's size breaks the block-copy contract: refused, unlocked.
    entry.Pixels = PixelBuffer(5, 3);
    entry.Texture = device().CreateTexture(4, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    EXPECT_THROW(CopyOut(slot), PlatformError);
    EXPECT_THROW(CopyIn(slot, 0), PlatformError);
    EXPECT_FALSE(IsLocked(*entry.Texture));

    // A texture somebody else holds locked: the transfer fails and leaves that lock in place.
    entry.Texture = device().CreateTexture(5, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    entry.Texture->LockRect(0, nullptr, 0);
    EXPECT_THROW(CopyOut(slot), PlatformError);
    EXPECT_TRUE(IsLocked(*entry.Texture));
    entry.Texture->UnlockRect(0);
    EXPECT_NO_THROW(CopyOut(slot));
}

}  // namespace
}  // namespace tintora::testing
