// New textures: the accepted size, the start content and what a failed creation leaves.
#include "files/new_texture.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/error.h"
#include "files_fixture.h"

namespace tintora::testing {
namespace {

using NewTextureTest = FilesTest;

TEST_F(NewTextureTest, AcceptedSizesArePowersOfTwoWithinTheDeviceLimit) {
    const struct {
        std::int32_t width, height, acceptedWidth, acceptedHeight;
    } cases[] = {
        {256, 256, 256, 256}, {200, 100, 256, 128},     {3, 5, 4, 8},
        {0, -5, 1, 1},        {8192, 9000, 8192, 8192}, {513, 1024, 1024, 1024},
    };
    for (const auto& c : cases) {
        std::int32_t w = c.width;
        std::int32_t h = c.height;
        AcceptTextureSize(w, h);
        EXPECT_EQ(w, c.acceptedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(h, c.acceptedHeight) << c.width << "x" << c.height;
    }
}

TEST_F(NewTextureTest, CreatesAFilledEntryInAWindow) {
    Module1().BackgroundColor = 0x00112233u;
    const struct {
        AlphaInitialization alpha;
        std::uint32_t texel;
    } cases[] = {{AlphaInitialization::Opaque, 0xFF332211u},
                 {AlphaInitialization::Transparent, 0x00000000u},
                 {AlphaInitialization::NoAlphaLayer, 0xFF332211u}};
    std::int32_t slot = 0;
    for (const auto& c : cases) {
        const std::int32_t x = CreateNewTexture(8, 4, c.alpha, ui.Access());
        EXPECT_EQ(x, ++slot);
        const TextureEntry& entry = TextureAt(x);
        EXPECT_EQ(entry.Title, "Untitled");
        EXPECT_EQ(entry.FileName, "");
        EXPECT_EQ(entry.Width, 8);
        EXPECT_EQ(entry.Height, 4);
        const std::vector<std::uint32_t> want(32, c.texel);
        EXPECT_EQ(ArgbOf(*entry.Texture), want);
        EXPECT_EQ(EntryPixels(x), want);
        const std::int32_t d = Module1().ActiveWindowIndex;
        EXPECT_EQ(DocumentAt(d).TextureIndex, x);
        // The window keeps the caption CreateDocument gave it.
        EXPECT_EQ(windows.back()->caption, "Window" + std::to_string(d));
    }
    EXPECT_TRUE(messages.empty());
}

// A size the device cannot hold: the window and its swap chain are made, the entry is refused;
// the error comes through and nothing is left.
TEST_F(NewTextureTest, FailedCreationLeavesNothing) {
    EXPECT_THROW(CreateNewTexture(9000, 16, AlphaInitialization::Opaque, ui.Access()), PlatformError);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0]->closed);
    EXPECT_EQ(DocumentsInUse(), 0);
    EXPECT_EQ(EntriesInUse(), 0);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    EXPECT_EQ(CreateNewTexture(16, 16, AlphaInitialization::Opaque, ui.Access()), 1);
}

}  // namespace
}  // namespace tintora::testing
