#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "document/module1.h"
#include "support/document_fixture.h"
#include "base/error.h"

namespace tintora::testing {
namespace {

class PixelTransferTest : public DocumentTest {
  protected:
    // A texture entry whose main texture holds pattern 1 and whose preview texture holds
    // pattern 2. Odd sizes make a pitch or row mistake visible.
    int MakeFilledEntry(int width = 5, int height = 3) {
        const int slot = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(slot).Texture, [](int x, int y) { return PatternTexel(x, y, 1); });
        FillTexture(*TextureAt(slot).PreviewTexture,
                    [](int x, int y) { return PatternTexel(x, y, 2); });
        return slot;
    }
};

std::vector<std::uint8_t> PatternBytes(int width, int height, int seed) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Bgra texel = PatternTexel(x, y, seed);
            bytes.insert(bytes.end(), texel.begin(), texel.end());
        }
    }
    return bytes;
}

bool IsLocked(const Texture& texture) {
    return texture.GetSurfaceLevel(0)->locked();
}

TEST_F(PixelTransferTest, CopyOutThenCopyInLeavesTheTextureUnchanged) {
    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    std::fill_n(entry.PreviewPixels.data(), entry.PreviewPixels.byteCount(), 0xAB);

    CopyOut(slot);
    EXPECT_EQ(BufferBytes(entry.Pixels), PatternBytes(5, 3, 1));
    // CopyOut fills Pixels only.
    EXPECT_EQ(BufferBytes(entry.PreviewPixels),
              std::vector<std::uint8_t>(std::size_t{5 * 3 * 4}, 0xAB));
    EXPECT_FALSE(IsLocked(*entry.Texture));

    CopyIn(slot, 0);
    EXPECT_EQ(ReadTexture(*entry.Texture), PatternBytes(5, 3, 1));
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), PatternBytes(5, 3, 2));
    EXPECT_EQ(BufferBytes(entry.Pixels), PatternBytes(5, 3, 1));
    EXPECT_FALSE(IsLocked(*entry.Texture));
}

TEST_F(PixelTransferTest, CopyInToThePreviewWritesOnlyThePreviewTexture) {
    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    CopyOut(slot);
    const std::vector<std::uint8_t> preview = PatternBytes(5, 3, 9);
    std::copy(preview.begin(), preview.end(), entry.PreviewPixels.data());

    CopyIn(slot, 1);
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), preview);
    EXPECT_EQ(ReadTexture(*entry.Texture), PatternBytes(5, 3, 1));
    EXPECT_EQ(BufferBytes(entry.Pixels), PatternBytes(5, 3, 1));
    EXPECT_EQ(BufferBytes(entry.PreviewPixels), preview);
    EXPECT_FALSE(IsLocked(*entry.PreviewTexture));
}

TEST_F(PixelTransferTest, EveryTargetOtherThanOneWritesTheMainTexture) {
    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);
    int seed = 20;
    for (const int target : {0, 2, -1, 1000}) {
        SCOPED_TRACE(target);
        const std::vector<std::uint8_t> bytes = PatternBytes(5, 3, ++seed);
        std::copy(bytes.begin(), bytes.end(), entry.Pixels.data());
        CopyIn(slot, target);
        EXPECT_EQ(ReadTexture(*entry.Texture), bytes);
        EXPECT_EQ(ReadTexture(*entry.PreviewTexture), PatternBytes(5, 3, 2));
    }
}

TEST_F(PixelTransferTest, OneTexelMovesFourBytesAndNeverTouchesTheSpareByte) {
    const int slot = CreateTextureEntry(1, 1, true);
    TextureEntry& entry = TextureAt(slot);
    FillTexture(*entry.Texture, [](int, int) { return Bgra{1, 2, 3, 4}; });
    ASSERT_EQ(entry.Pixels.byteCount(), 4u);
    entry.Pixels[4] = 0x5A;
    entry.PreviewPixels[4] = 0xC3;

    CopyOut(slot);
    EXPECT_EQ(BufferBytes(entry.Pixels), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(entry.Pixels[4], 0x5A);

    for (std::size_t i = 0; i < 4; ++i) {
        entry.Pixels[i] = static_cast<std::uint8_t>(9 - i);
        entry.PreviewPixels[i] = static_cast<std::uint8_t>(50 + i);
    }
    CopyIn(slot, 0);
    CopyIn(slot, 1);
    EXPECT_EQ(ReadTexture(*entry.Texture), (std::vector<std::uint8_t>{9, 8, 7, 6}));
    EXPECT_EQ(ReadTexture(*entry.PreviewTexture), (std::vector<std::uint8_t>{50, 51, 52, 53}));
    EXPECT_EQ(entry.Pixels[4], 0x5A);
    EXPECT_EQ(entry.PreviewPixels[4], 0xC3);
}

TEST_F(PixelTransferTest, MissingTextureIsAnObjectNotSetErrorNotACrash) {
    const int slot = CreateTextureEntry(4, 4, false);
    EXPECT_EQ(ErrorCodeOf([slot] { CopyOut(slot); }), kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([slot] { CopyIn(slot, 0); }), kErrObjectNotSet);
    // The preview pair exists and still works.
    EXPECT_NO_THROW(CopyIn(slot, 1));

    // Slot 0 exists but never holds a texture.
    EXPECT_EQ(ErrorCodeOf([] { CopyOut(0); }), kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([] { CopyOut(7); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(ErrorCodeOf([] { CopyIn(-1, 0); }), kErrSubscriptOutOfRange);

    // A freed entry has neither textures nor buffers.
    FreeTextureEntry(slot);
    EXPECT_EQ(ErrorCodeOf([slot] { CopyIn(slot, 1); }), kErrObjectNotSet);
}

TEST_F(PixelTransferTest, FailuresLeaveTheTextureUnlockedAndOtherLocksAlone) {
    const int slot = MakeFilledEntry();
    TextureEntry& entry = TextureAt(slot);

    // A buffer that is gone fails after the lock: the lock must still be given back.
    entry.Pixels.Erase();
    EXPECT_EQ(ErrorCodeOf([slot] { CopyOut(slot); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(IsLocked(*entry.Texture));
    EXPECT_EQ(ErrorCodeOf([slot] { CopyIn(slot, 0); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(IsLocked(*entry.Texture));
    EXPECT_EQ(ReadTexture(*entry.Texture), PatternBytes(5, 3, 1));

    // A level that is not the entry's size breaks the block-copy contract: refused, unlocked.
    entry.Pixels = PixelBuffer(5, 3);
    entry.Texture = device().CreateTexture(4, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    EXPECT_THROW(CopyOut(slot), PlatformError);
    EXPECT_FALSE(IsLocked(*entry.Texture));
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
