// Loading and new textures: the entry and window each makes, and what a failure leaves (nothing).
#include "files/texture_load.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "files/new_texture.h"
#include "files_fixture.h"

namespace tintora::testing {
namespace {

using Argb = std::vector<std::uint32_t>;

using LoadTest = FilesTest;

// A file opens as a one-level managed A8R8G8B8 entry shown in a new active window.
TEST_F(LoadTest, OpensAsAnEntryInItsWindow) {
    const std::string path = PeerFile("dds_argb_mips.dds");
    const std::int32_t x = LoadTextureFile(path, {}, ui.Access());
    const TextureEntry& entry = TextureAt(x);
    EXPECT_EQ(entry.Title, "dds_argb_mips.dds");
    EXPECT_EQ(entry.FileName, path);
    const D3DSURFACE_DESC desc = entry.Texture->GetLevelDesc(0);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(entry.Texture->GetLevelCount(), 1u);
    EXPECT_EQ(BufferBytes(entry.Pixels), ReadTexture(*entry.Texture));
    EXPECT_EQ(Module1().LastLoadedTexture, x);
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).TextureIndex, x);
    EXPECT_EQ(windows.back()->caption, "1-dds_argb_mips.dds (16x16)");
}

// What the file held reaches the entry (DXGI 29 is sRGB); what was left out is told, mips aside.
TEST_F(LoadTest, FileContentsReachTheEntry) {
    const struct {
        const char *leftOut, *holds;
        DdsLayout layout;
    } cases[] = {
        {"cube map: face 1 of 6 opened", "6 faces and 3 mip levels",
         DdsLayout{.flags = 0x21007, .mipCount = 3, .caps2 = 0xFE00, .data = FileBytes(6 * 84, 0)}},
        {"texture array: layer 1 of 4 opened", "4 layers",
         DdsLayout{.dx10 = true, .dxgi = 28, .arraySize = 4, .data = FileBytes(4 * 64, 0)}},
        {"cube map array: face 1 of 6 in layer 1 of 2 opened", "2 layers of 6 faces",
         DdsLayout{
             .dx10 = true, .dxgi = 28, .misc = 4, .arraySize = 2, .data = FileBytes(12 * 64, 0)}},
        {"volume texture: slice 1 of 4 opened", "4 slices",
         DdsLayout{.flags = 0x801007, .depth = 4, .caps2 = 0x200000, .data = FileBytes(4 * 64, 0)}},
        {"", "", DdsLayout{.flags = 0x21007, .mipCount = 3, .data = FileBytes(84, 0)}},
        {"", "", DdsLayout{.dx10 = true, .dxgi = 29, .data = FileBytes(64, 0)}},
    };
    for (const auto& c : cases) {
        const std::string path = scratch.File("held.dds");
        WriteBytes(path, MakeDds(c.layout));
        const TextureEntry& entry = TextureAt(LoadTextureFile(path, {}, ui.Access()));
        EXPECT_EQ(entry.FileSrgb, c.layout.dxgi == 29);
        EXPECT_EQ(LeftOutText(entry), c.leftOut);
        EXPECT_EQ(FileHoldsText(entry), c.holds);
    }
}

// The colour key turns exactly 0x04564564 into 0; DXT2 and DXT4 warn and flatten every channel to
// round(c x alpha / 255) (white at 136: 136 at 73), giving the device its render target back.
TEST_F(LoadTest, ColourKeyBlockFormatsAndThePremultipliedRoute) {
    const struct {
        D3DFORMAT format;
        std::uint32_t stored, loaded;
        int warnings;
    } cases[] = {
        {D3DFMT_A8R8G8B8, kLoadColorKey, 0, 0},
        {D3DFMT_A8R8G8B8, 0x04564565u, 0x04564565u, 0},
        {D3DFMT_A8R8G8B8, 0x05564564u, 0x05564564u, 0},
        {D3DFMT_DXT1, 0xFF0000FFu, 0xFF0000FFu, 0},
        {D3DFMT_DXT2, 0x000000FFu, 0x00000000u, 1},
        {D3DFMT_DXT2, 0x88FFFFFFu, 0x49888888u, 1},
        {D3DFMT_DXT3, 0x110000FFu, 0x110000FFu, 0},
        {D3DFMT_DXT4, 0xFFFF0000u, 0xFFFF0000u, 1},
        {D3DFMT_DXT4, 0x88FFFFFFu, 0x49888888u, 1},
        {D3DFMT_DXT5, 0x88FFFFFFu, 0x88FFFFFFu, 0},
    };
    const auto target = device().GetRenderTarget();
    const auto viewportWidth = device().GetViewport().Width;
    for (const auto& c : cases) {
        const std::string path = scratch.File("b.dds");
        auto surface = device().CreateImageSurface(4, 4, c.format);
        D3DXLoadSurfaceFromSurface(*surface, nullptr, nullptr,
                                   *ArgbSurface(device(), 4, 4, Argb(16, c.stored)), nullptr,
                                   nullptr, D3DX_DEFAULT_FILTER, 0);
        D3DXSaveSurfaceToFile(path, D3DXIFF_DDS, *surface, nullptr, nullptr);
        int warnings = 0;
        const auto texture = ReadWorkingTexture(path, [&warnings] { ++warnings; });
        EXPECT_EQ(warnings, c.warnings) << c.format;
        EXPECT_EQ(texture->GetLevelDesc(0).Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(ArgbOf(*texture), Argb(16, c.loaded)) << c.format << std::hex << " " << c.stored;
    }
    EXPECT_EQ(device().GetRenderTarget(), target);
    EXPECT_EQ(device().GetViewport().Width, viewportWidth);
    EXPECT_FALSE(device().inScene());
}

// A load failing before or after its window was made names the file and leaves nothing.
TEST_F(LoadTest, FailedLoadLeavesNothingBehind) {
    const std::int32_t first = LoadTextureFile(PeerFile("bmp32.bmp"), {}, ui.Access());
    const struct {
        std::string path;
        std::function<void()> onDoEvents;
    } cases[] = {
        {scratch.File("missing.bmp"), nullptr},
        {PeerFile("tga32.tga"), [] { throw PlatformError(E_FAIL, "device lost"); }},
    };
    for (const auto& c : cases) {
        onDoEvents = c.onDoEvents;
        try {
            LoadTextureFile(c.path, {}, ui.Access());
            ADD_FAILURE() << "loaded";
        } catch (const PlatformError& error) {
            EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
        }
        EXPECT_EQ(Open(), 1);
        EXPECT_EQ(Module1().LastLoadedTexture, first);
    }
    onDoEvents = nullptr;
    EXPECT_EQ(LoadTextureFile(PeerFile("tga32.tga"), {}, ui.Access()), 2);
}

// The background colour is a window colour (0x00BBGGRR); the window keeps CreateDocument's caption.
TEST_F(LoadTest, NewTextureIsAFilledEntryInAWindow) {
    Module1().BackgroundColor = 0x00112233u;
    const std::pair<AlphaInitialization, std::uint32_t> cases[] = {
        {AlphaInitialization::Opaque, 0xFF332211u},
        {AlphaInitialization::Transparent, 0x00000000u},
        {AlphaInitialization::NoAlphaLayer, 0xFF332211u}};
    for (const auto& [alpha, texel] : cases) {
        const std::int32_t x = CreateNewTexture(8, 4, alpha, ui.Access());
        EXPECT_EQ(ArgbOf(*TextureAt(x).Texture), Argb(32, texel));
        EXPECT_EQ(BufferBytes(TextureAt(x).Pixels), ReadTexture(*TextureAt(x).Texture));
        const std::int32_t d = Module1().ActiveWindowIndex;
        EXPECT_EQ(DocumentAt(d).TextureIndex, x);
        EXPECT_EQ(windows.back()->caption, "Window" + std::to_string(d));
    }
}

// A size the device refuses after the window was made: the error comes through, nothing is left.
TEST_F(LoadTest, FailedNewTextureLeavesNothing) {
    EXPECT_THROW(CreateNewTexture(9000, 16, AlphaInitialization::Opaque, ui.Access()),
                 PlatformError);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    EXPECT_EQ(CreateNewTexture(16, 16, AlphaInitialization::Opaque, ui.Access()), 1);
}

}  // namespace
}  // namespace tintora::testing
