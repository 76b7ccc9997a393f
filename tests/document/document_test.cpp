// The program state: slot taking, texture entries, and the pixel transfer texture <-> bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using TablesTest = DocumentTest;

TEST_F(TablesTest, SlotsStartAtOneAndReuseTheLowestFreeOne) {
    // Before the first slot is taken even slot 0 is out of range.
    EXPECT_EQ(ErrorCodeOf([] { TextureAt(0); }), kErrSubscriptOutOfRange);
    for (const int slot : {1, 2, 3})
        EXPECT_EQ(TakeTextureSlot(), slot);
    TextureAt(3).InUse = TextureAt(1).InUse = false;
    for (const int slot : {1, 3, 4})
        EXPECT_EQ(TakeTextureSlot(), slot);
    for (const int slot : {-1, 5})
        EXPECT_EQ(ErrorCodeOf([slot] { TextureAt(slot); }), kErrSubscriptOutOfRange) << slot;

    // The document table is separate. A reused slot keeps its view fields (a window opened into
    // a closed tiled window's slot starts tiled).
    EXPECT_EQ(TakeDocumentSlot(), 1);
    DocumentAt(1).ViewMode = ViewMode::Tiled;
    DocumentAt(1).InUse = false;
    EXPECT_EQ(TakeDocumentSlot(), 1);
    EXPECT_EQ(DocumentAt(1).ViewMode, ViewMode::Tiled);
}

TEST_F(TablesTest, AnEntryHoldsTwoTexturesAndTwoBuffersUntilFreed) {
    int previewShown = 0;
    RecordingWindows ui;
    ui.showPreviewWindow = [&previewShown] { ++previewShown; };
    EXPECT_EQ(CreateTextureEntry(16, 16, true, &ui), 1);
    EXPECT_EQ(CreateTextureEntry(32, 8, true, &ui), 2);
    EXPECT_EQ(previewShown, 2);
    // Without the main texture the caller supplies it; the largest side the device takes works.
    EXPECT_EQ(TextureAt(CreateTextureEntry(8, 4, false, &ui)).Texture, nullptr);
    EXPECT_NE(CreateTextureEntry(kMaxTextureSize, 1, true, &ui), 0);
    const TextureEntry& entry = TextureAt(2);
    EXPECT_EQ(entry.Format, 21u);
    EXPECT_EQ(entry.Title, "Untitled");
    for (const auto* texture : {entry.Texture.get(), entry.PreviewTexture.get()}) {
        ASSERT_NE(texture, nullptr);
        const D3DSURFACE_DESC d = texture->GetLevelDesc(0);
        EXPECT_EQ((std::array<std::uint32_t, 5>{d.Width, d.Height, d.Format, d.Pool,
                                                texture->GetLevelCount()}),
                  (std::array<std::uint32_t, 5>{32, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 1}));
    }
    EXPECT_NE(entry.Texture, entry.PreviewTexture);
    EXPECT_EQ(entry.Pixels.byteCount() + entry.PreviewPixels.byteCount(), 2u * 32u * 8u * 4u);

    TextureAt(2).FileName = "/tmp/bricks.png";
    FreeTextureEntry(2);
    EXPECT_FALSE(entry.InUse || entry.Texture || entry.PreviewTexture);
    EXPECT_TRUE(entry.Pixels.empty() && entry.PreviewPixels.empty());
    EXPECT_EQ(entry.FileName, "/tmp/bricks.png");  // until the slot is reused
    EXPECT_EQ(CreateTextureEntry(64, 2, true, &ui), 2);
    EXPECT_EQ(TextureAt(2).FileName, "");
}

// A zero side creates nothing; a rejected size or a missing device throws before a slot is taken.
TEST_F(TablesTest, ARefusedEntryTakesNoSlotAndShowsNoPreview) {
    int previewShown = 0;
    RecordingWindows ui;
    ui.showPreviewWindow = [&previewShown] { ++previewShown; };
    FreeTextureEntry(CreateTextureEntry(4, 4, true));
    // Width, height, error code (0: slot 0 is returned).
    const std::array<int, 3> cases[] = {{0, 16, 0},
                                        {16, 0, 0},
                                        {0, -5, 0},
                                        {-1, 16, D3DERR_INVALIDCALL},
                                        {16, -3, D3DERR_INVALIDCALL},
                                        {kMaxTextureSize + 1, 16, D3DERR_INVALIDCALL},
                                        {4, 4, kErrObjectNotSet}};  // no device
    for (const auto& [width, height, code] : cases) {
        if (code == kErrObjectNotSet) Module1().Device.reset();
        std::int32_t slot = -1;
        EXPECT_EQ(ErrorCodeOf([&] { slot = CreateTextureEntry(width, height, true, &ui); }), code)
            << width << " x " << height;
        EXPECT_EQ(slot, code == 0 ? 0 : -1);
        EXPECT_FALSE(TextureAt(1).InUse);
    }
    EXPECT_EQ(previewShown, 0);
}

bool IsLocked(const Texture& texture) {
    return texture.GetSurfaceLevel(0)->locked();
}

// A 5 x 3 entry (odd, so that a pitch or row mistake shows) with a pattern in its main texture.
int MakeFilledEntry() {
    const int slot = CreateTextureEntry(5, 3, true);
    FillTexture(*TextureAt(slot).Texture, [](int x, int y) { return PatternTexel(x, y, 1); });
    return slot;
}

using PixelTransferTest = DocumentTest;

TEST_F(PixelTransferTest, CopyOutFillsPixelsAndCopyInWritesTheTargetsTexture) {
    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    const std::vector<std::uint8_t> pattern1 = ReadTexture(*entry.Texture);
    std::fill_n(entry.PreviewPixels.data(), 60, 0xAB);
    entry.Pixels[60] = 0x5A;  // the spare byte after the pixels is never touched
    CopyOut(slot);
    EXPECT_EQ(BufferBytes(entry.Pixels), pattern1);
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), std::vector<std::uint8_t>(60, 0xAB));
    EXPECT_FALSE(IsLocked(*entry.Texture));

    // Target 1 writes the preview texture from PreviewPixels, any other target the main one.
    std::uint8_t seed = 20;
    for (const int target : {1, 0, 2, -1}) {
        std::vector<std::uint8_t> bytes(60);
        std::generate(bytes.begin(), bytes.end(), [&seed] { return seed += 37; });
        std::copy(bytes.begin(), bytes.end(),
                  (target == 1 ? entry.PreviewPixels : entry.Pixels).data());
        const std::vector<std::uint8_t> main = ReadTexture(*entry.Texture);
        const std::vector<std::uint8_t> preview = ReadTexture(*entry.PreviewTexture);
        CopyIn(slot, target);
        EXPECT_EQ(ReadTexture(*entry.Texture), target == 1 ? main : bytes) << target;
        EXPECT_EQ(ReadTexture(*entry.PreviewTexture), target == 1 ? bytes : preview) << target;
        EXPECT_FALSE(IsLocked(*entry.Texture) || IsLocked(*entry.PreviewTexture));
    }
    EXPECT_EQ(entry.Pixels[60], 0x5A);
}

TEST_F(PixelTransferTest, FailuresThrowAndLeaveNoLockOfTheirOwn) {
    // An entry without a main texture.
    const int bare = CreateTextureEntry(4, 4, false);
    EXPECT_EQ(ErrorCodeOf([bare] { CopyOut(bare); }), kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([bare] { CopyIn(bare, 0); }), kErrObjectNotSet);
    EXPECT_NO_THROW(CopyIn(bare, 1));  // the preview pair exists

    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    const std::vector<std::uint8_t> pattern1 = ReadTexture(*entry.Texture);
    // A buffer that is gone fails after the lock: the lock must still be given back.
    entry.Pixels.Erase();
    EXPECT_EQ(ErrorCodeOf([slot] { CopyOut(slot); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(ErrorCodeOf([slot] { CopyIn(slot, 0); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(IsLocked(*entry.Texture));
    EXPECT_EQ(ReadTexture(*entry.Texture), pattern1);

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
