#include <gtest/gtest.h>

#include <string>

#include "document/module1.h"
#include "support/document_fixture.h"
#include "base/error.h"

namespace tintora::testing {
namespace {

using TablesTest = DocumentTest;

TEST_F(TablesTest, SlotsStartAtOneReuseTheFirstFreeSlotAndNeverShrink) {
    auto& state = Module1();
    EXPECT_TRUE(state.TextureTable.empty());
    EXPECT_EQ(state.TextureTableUBound, 0);

    EXPECT_EQ(TakeTextureSlot(), 1);
    EXPECT_EQ(TakeTextureSlot(), 2);
    EXPECT_EQ(TakeTextureSlot(), 3);
    EXPECT_EQ(state.TextureTableUBound, 3);
    ASSERT_EQ(state.TextureTable.size(), 4u);
    EXPECT_FALSE(state.TextureTable[0].InUse);

    // Free 3 then 1: the lowest free slot comes back first, then the next, then the table grows.
    TextureAt(3).InUse = false;
    TextureAt(1).InUse = false;
    EXPECT_EQ(TakeTextureSlot(), 1);
    EXPECT_EQ(TakeTextureSlot(), 3);
    EXPECT_EQ(state.TextureTableUBound, 3);
    EXPECT_EQ(TakeTextureSlot(), 4);
    EXPECT_EQ(state.TextureTableUBound, 4);

    // Freeing everything keeps the table at its size.
    for (int slot = 1; slot <= 4; ++slot)
        TextureAt(slot).InUse = false;
    EXPECT_EQ(state.TextureTableUBound, 4);
    EXPECT_EQ(state.TextureTable.size(), 5u);
    EXPECT_EQ(TakeTextureSlot(), 1);
    EXPECT_FALSE(state.TextureTable[0].InUse);

    // The document table is independent of the texture table and follows the same rules.
    EXPECT_TRUE(state.DocumentTable.empty());
    EXPECT_EQ(TakeDocumentSlot(), 1);
    EXPECT_EQ(TakeDocumentSlot(), 2);
    DocumentAt(1).InUse = false;
    EXPECT_EQ(TakeDocumentSlot(), 1);
    EXPECT_EQ(TakeDocumentSlot(), 3);
    EXPECT_EQ(state.DocumentTableUBound, 3);
    EXPECT_FALSE(state.DocumentTable[0].InUse);
}

TEST_F(TablesTest, GrowingKeepsRecordsAndAReusedDocumentSlotKeepsItsViewFields) {
    const int first = TakeDocumentSlot();
    DocumentAt(first).Title = "Window1";
    DocumentAt(first).ViewMode = 3;
    DocumentAt(first).AlphaOnly = true;

    // A fresh slot starts zeroed; growing the array keeps what the earlier slot holds.
    const int second = TakeDocumentSlot();
    EXPECT_EQ(DocumentAt(second).ViewMode, 0);
    EXPECT_FALSE(DocumentAt(second).AlphaOnly);
    EXPECT_FALSE(DocumentAt(second).IsPreview);
    EXPECT_EQ(DocumentAt(second).TextureIndex, 0);
    EXPECT_EQ(DocumentAt(first).Title, "Window1");
    EXPECT_TRUE(DocumentAt(first).InUse);

    // Taking a slot does not clear it: a window opened into a closed tiled window's slot starts
    // tiled.
    DocumentAt(first).InUse = false;
    EXPECT_EQ(TakeDocumentSlot(), first);
    EXPECT_EQ(DocumentAt(first).ViewMode, 3);
    EXPECT_TRUE(DocumentAt(first).AlphaOnly);
}

TEST_F(TablesTest, CheckedAccessRejectsSlotsOutsideTheTable) {
    // Before the first slot is taken the arrays are absent: even slot 0 is out of range.
    EXPECT_EQ(ErrorCodeOf([] { DocumentAt(0); }), kErrSubscriptOutOfRange);
    EXPECT_EQ(ErrorCodeOf([] { TextureAt(0); }), kErrSubscriptOutOfRange);

    TakeDocumentSlot();
    TakeTextureSlot();
    TakeTextureSlot();
    EXPECT_NO_THROW(DocumentAt(0));
    EXPECT_NO_THROW(DocumentAt(1));
    EXPECT_NO_THROW(TextureAt(2));
    for (const int slot : {-1, 2, 100}) {
        EXPECT_EQ(ErrorCodeOf([slot] { DocumentAt(slot); }), kErrSubscriptOutOfRange) << slot;
    }
    for (const int slot : {-1, 3}) {
        EXPECT_EQ(ErrorCodeOf([slot] { TextureAt(slot); }), kErrSubscriptOutOfRange) << slot;
    }
    try {
        TextureAt(3);
        FAIL() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), "Subscript out of range");
    }
}

TEST_F(TablesTest, CreateTextureEntryMakesBothTexturesBuffersAndDefaults) {
    int previewShown = 0;
    Module1().Hooks.ShowPreviewWindow = [&previewShown] { ++previewShown; };

    const int slot = CreateTextureEntry(32, 16, true);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(previewShown, 1);
    const TextureEntry& entry = TextureAt(slot);
    EXPECT_TRUE(entry.InUse);
    EXPECT_EQ(entry.Width, 32);
    EXPECT_EQ(entry.Height, 16);
    EXPECT_EQ(entry.Format, 21u);
    EXPECT_EQ(entry.Title, "Untitled");
    EXPECT_EQ(entry.FileName, "");
    for (const auto* texture : {entry.Texture.get(), entry.PreviewTexture.get()}) {
        ASSERT_NE(texture, nullptr);
        const D3DSURFACE_DESC desc = texture->GetLevelDesc(0);
        EXPECT_EQ(desc.Width, 32u);
        EXPECT_EQ(desc.Height, 16u);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(texture->GetLevelCount(), 1u);
    }
    EXPECT_NE(entry.Texture, entry.PreviewTexture);
    for (const auto* buffer : {&entry.Pixels, &entry.PreviewPixels}) {
        EXPECT_EQ(buffer->width(), 32);
        EXPECT_EQ(buffer->height(), 16);
        EXPECT_EQ(buffer->byteCount(), 32u * 16u * 4u);
    }

    // Without the main texture the caller supplies it; everything else is made.
    const int bare = CreateTextureEntry(8, 4, false);
    EXPECT_EQ(bare, 2);
    EXPECT_EQ(previewShown, 2);
    EXPECT_EQ(TextureAt(bare).Texture, nullptr);
    ASSERT_NE(TextureAt(bare).PreviewTexture, nullptr);
    EXPECT_EQ(TextureAt(bare).PreviewTexture->width(), 8);
    EXPECT_EQ(TextureAt(bare).Pixels.byteCount(), 8u * 4u * 4u);

    // The largest side the device takes is accepted.
    EXPECT_NE(CreateTextureEntry(kMaxTextureSize, 1, true), 0);
}

TEST_F(TablesTest, OpenThreeCloseTheSecondOpenAnotherReusesSlotTwo) {
    EXPECT_EQ(CreateTextureEntry(16, 16, true), 1);
    EXPECT_EQ(CreateTextureEntry(32, 8, true), 2);
    EXPECT_EQ(CreateTextureEntry(4, 4, true), 3);
    TextureAt(2).Title = "bricks.png";
    TextureAt(2).FileName = "/tmp/bricks.png";

    FreeTextureEntry(2);
    const TextureEntry& freed = TextureAt(2);
    EXPECT_FALSE(freed.InUse);
    EXPECT_EQ(freed.Texture, nullptr);
    EXPECT_EQ(freed.PreviewTexture, nullptr);
    EXPECT_TRUE(freed.Pixels.empty());
    EXPECT_TRUE(freed.PreviewPixels.empty());
    // The texts stay until the slot is reused.
    EXPECT_EQ(freed.Title, "bricks.png");
    EXPECT_EQ(freed.FileName, "/tmp/bricks.png");
    EXPECT_TRUE(TextureAt(1).InUse);
    EXPECT_TRUE(TextureAt(3).InUse);

    EXPECT_EQ(CreateTextureEntry(64, 2, true), 2);
    const TextureEntry& reused = TextureAt(2);
    EXPECT_TRUE(reused.InUse);
    EXPECT_EQ(reused.Width, 64);
    EXPECT_EQ(reused.Height, 2);
    EXPECT_EQ(reused.Title, "Untitled");
    EXPECT_EQ(reused.FileName, "");
    ASSERT_NE(reused.Texture, nullptr);
    EXPECT_EQ(reused.Texture->width(), 64);
    EXPECT_EQ(reused.Pixels.byteCount(), 64u * 2u * 4u);
    EXPECT_EQ(Module1().TextureTableUBound, 3);

    EXPECT_EQ(CreateTextureEntry(4, 4, true), 4);
}

TEST_F(TablesTest, ZeroSizeCreatesNothing) {
    int previewShown = 0;
    Module1().Hooks.ShowPreviewWindow = [&previewShown] { ++previewShown; };
    EXPECT_EQ(CreateTextureEntry(0, 16, true), 0);
    EXPECT_EQ(CreateTextureEntry(16, 0, true), 0);
    EXPECT_EQ(CreateTextureEntry(0, 0, false), 0);
    // Zero wins over a size that would otherwise be rejected.
    EXPECT_EQ(CreateTextureEntry(0, -5, true), 0);
    EXPECT_TRUE(Module1().TextureTable.empty());
    EXPECT_EQ(Module1().TextureTableUBound, 0);
    EXPECT_EQ(previewShown, 0);
}

TEST_F(TablesTest, RejectedSizeThrowsWithAMessageAndLeavesNoSlotInUse) {
    int previewShown = 0;
    Module1().Hooks.ShowPreviewWindow = [&previewShown] { ++previewShown; };
    CreateTextureEntry(4, 4, true);
    CreateTextureEntry(4, 4, true);
    FreeTextureEntry(1);
    previewShown = 0;

    struct Size {
        int width;
        int height;
    };
    for (const Size size : {Size{-1, 16}, Size{16, -3}, Size{kMaxTextureSize + 1, 16},
                            Size{16, kMaxTextureSize + 1}, Size{-8, -8}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        try {
            CreateTextureEntry(size.width, size.height, true);
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.code(), D3DERR_INVALIDCALL);
            const std::string message = error.what();
            EXPECT_NE(message.find(std::to_string(size.width)), std::string::npos) << message;
        }
        EXPECT_FALSE(TextureAt(1).InUse);
        EXPECT_EQ(Module1().TextureTableUBound, 2);
    }
    EXPECT_EQ(previewShown, 0);
    // The freed slot is still the next one handed out.
    EXPECT_EQ(CreateTextureEntry(2, 2, true), 1);
}

TEST_F(TablesTest, CreationWithoutDeviceThrowsObjectNotSetAndTakesNoSlot) {
    Module1().Device.reset();
    EXPECT_EQ(ErrorCodeOf([] { CreateTextureEntry(4, 4, true); }), kErrObjectNotSet);
    EXPECT_EQ(ErrorCodeOf([] { CreateTextureEntry(4, 4, false); }), kErrObjectNotSet);
    EXPECT_TRUE(Module1().TextureTable.empty());
    EXPECT_EQ(Module1().TextureTableUBound, 0);
}

TEST_F(TablesTest, ResetModule1DropsTablesDeviceAndHooks) {
    CreateTextureEntry(4, 4, true);
    TakeDocumentSlot();
    Module1().ActiveWindowIndex = 1;
    Module1().Hooks.DoEvents = [] {};
    const std::weak_ptr<Texture> texture = TextureAt(1).Texture;

    ResetModule1();
    const auto& state = Module1();
    EXPECT_EQ(state.Device, nullptr);
    EXPECT_EQ(state.D3D, nullptr);
    EXPECT_TRUE(state.TextureTable.empty());
    EXPECT_TRUE(state.DocumentTable.empty());
    EXPECT_EQ(state.TextureTableUBound, 0);
    EXPECT_EQ(state.DocumentTableUBound, 0);
    EXPECT_EQ(state.ActiveWindowIndex, 0);
    EXPECT_FALSE(state.Hooks.DoEvents);
    EXPECT_TRUE(texture.expired());
}

}  // namespace
}  // namespace tintora::testing
