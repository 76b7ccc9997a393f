// LoadTextureFile: the entry and window it makes, the working format, the colour key, the
// premultiplied route, and what a failed load leaves (nothing).
#include "files/texture_load.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "files_fixture.h"

namespace tintora::testing {
namespace {

TEST(TitleFromPathTest, PartAfterTheLastSlashOrBackslash) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"C:\\maps\\stone.bmp", "stone.bmp"}, {"a/b\\c.png", "c.png"}, {"a\\b/c.png", "c.png"},
        {"stone.bmp", "stone.bmp"},           {"/textures/", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TitleFromPath(c.path), c.title) << c.path;
}

class LoadTest : public FilesTest {
  protected:
    // Loads path counting the premultiplied warnings.
    std::int32_t Load(const std::string& path) {
        return LoadTextureFile(path, [this] { ++warnings; }, ui.Access());
    }

    // Writes pixels as a file of the given type and format (a block format through the
    // platform's compressor).
    std::string Write(const std::string& name, D3DXIMAGE_FILEFORMAT type, D3DFORMAT format,
                      int width, int height, const std::vector<std::uint32_t>& pixels) {
        const std::string path = scratch.File(name);
        auto surface = device().CreateImageSurface(width, height, format);
        D3DXLoadSurfaceFromSurface(*surface, nullptr, nullptr,
                                   *ArgbSurface(device(), width, height, pixels), nullptr, nullptr,
                                   D3DX_DEFAULT_FILTER, 0);
        D3DXSaveSurfaceToFile(path, type, *surface, nullptr, nullptr);
        return path;
    }

    int warnings = 0;
};

// Files of other formats and sizes (pixels as ImageMagick reported them, tests/data/peer) open
// at their own size as one-level managed A8R8G8B8 textures in a new window and entry.
TEST_F(LoadTest, FilesOpenInTheWorkingFormat) {
    const char* names[] = {"bmp24.bmp", "png_palette.png", "dds_rgb.dds"};
    std::int32_t expectedSlot = 0;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::string path = PeerFile(name);
        const std::int32_t x = Load(path);
        EXPECT_EQ(x, ++expectedSlot);
        const TextureEntry& entry = TextureAt(x);
        EXPECT_EQ(entry.Title, name);
        EXPECT_EQ(entry.FileName, path);
        EXPECT_EQ(entry.Width, 17);
        EXPECT_EQ(entry.Height, 13);
        const D3DSURFACE_DESC desc = entry.Texture->GetLevelDesc(0);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(entry.Texture->GetLevelCount(), 1u);
        const auto want = ArgbFromRgbaBytes(ReadBytes(path + ".rgba"));
        EXPECT_EQ(EntryPixels(x), want);
        EXPECT_EQ(ArgbOf(*entry.Texture), want);
        EXPECT_EQ(Module1().LastLoadedTexture, x);
        // The window shows the entry under its final caption.
        const TextureDocument& doc = DocumentAt(Module1().ActiveWindowIndex);
        EXPECT_EQ(doc.TextureIndex, x);
        EXPECT_EQ(doc.Title, name);
        EXPECT_EQ(windows.back()->caption,
                  std::to_string(x) + "-" + std::string(name) + " (17x13)");
    }
    EXPECT_EQ(warnings, 0);
}

// Only a pixel of exactly 0x04564564 turns transparent black; one that differs in any byte
// keeps its value.
TEST_F(LoadTest, ColourKeyPixelBecomesTransparentBlack) {
    const std::vector<std::uint32_t> pixels = {0x04564564u, 0x04564565u, 0x05564564u, 0xFF564564u,
                                               0x04574564u, 0x04564464u, 0x00000000u, 0x04564564u};
    const std::int32_t x = Load(Write("keyed.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8, 4, 2, pixels));
    const std::vector<std::uint32_t> want = {0x00000000u, 0x04564565u, 0x05564564u, 0xFF564564u,
                                             0x04574564u, 0x04564464u, 0x00000000u, 0x00000000u};
    EXPECT_EQ(EntryPixels(x), want);
}

// Block formats, 4 x 4 blocks of one colour each (colours that 5:6:5 and alphas that 4 bits hold
// exactly). DXT2 and DXT4 warn and take the premultiplied route: every channel, alpha included,
// becomes round(channel x alpha / 255), so white at 136 gives 136 with alpha 73. The others keep
// a partial alpha and the colour under it.
TEST_F(LoadTest, BlockFormatsAndThePremultipliedRoute) {
    using Blocks = std::array<std::uint32_t, 3>;
    const Blocks opaque = {0xFFFF0000u, 0xFF0000FFu, 0xFFFFFFFFu};
    const Blocks partial = {0xFFFF0000u, 0x110000FFu, 0x88FFFFFFu};
    const Blocks premultiplied = {0xFFFF0000u, 0x000000FFu, 0x88FFFFFFu};
    const Blocks flattened = {0xFFFF0000u, 0x00000000u, 0x49888888u};
    const struct {
        D3DFORMAT format;
        Blocks blocks;
        Blocks loaded;
        int warnings;
    } cases[] = {
        {D3DFMT_DXT1, opaque, opaque, 0},   {D3DFMT_DXT2, premultiplied, flattened, 1},
        {D3DFMT_DXT3, partial, partial, 0}, {D3DFMT_DXT4, premultiplied, flattened, 1},
        {D3DFMT_DXT5, partial, partial, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<std::uint32_t> pixels(12 * 4);
        std::vector<std::uint32_t> want(12 * 4);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = c.blocks[i % 12 / 4];
            want[i] = c.loaded[i % 12 / 4];
        }
        warnings = 0;
        const std::int32_t x = Load(Write("b.dds", D3DXIFF_DDS, c.format, 12, 4, pixels));
        EXPECT_EQ(warnings, c.warnings);
        EXPECT_EQ(EntryPixels(x), want);
        EXPECT_EQ(TextureAt(x).Texture->GetLevelDesc(0).Format, D3DFMT_A8R8G8B8);
    }
}

// The flattening draws into the texture and gives the device its render target and viewport
// back, so the next window drawing finds them as it left them.
TEST_F(LoadTest, PremultipliedRouteRestoresTheRenderTarget) {
    const std::string path = Write("p2.dds", D3DXIFF_DDS, D3DFMT_DXT2, 12, 4,
                                   std::vector<std::uint32_t>(48, 0x88FFFFFFu));
    const auto target = device().GetRenderTarget();
    const D3DVIEWPORT8 viewport = device().GetViewport();
    EXPECT_EQ(ReadWorkingTexture(path, {})->width(), 12);
    EXPECT_EQ(device().GetRenderTarget(), target);
    EXPECT_EQ(device().GetViewport().Width, viewport.Width);
    EXPECT_EQ(device().GetViewport().Height, viewport.Height);
    EXPECT_FALSE(device().inScene());
}

// A load that fails before or after its window was made names the file and leaves nothing: no
// document, no entry, no open window, LastLoadedTexture as before; the slots are taken again.
TEST_F(LoadTest, FailedLoadLeavesNothingBehind) {
    const std::int32_t first = Load(PeerFile("bmp32.bmp"));
    const std::vector<std::uint8_t> bitmap = ReadBytes(PeerFile("bmp32.bmp"));
    WriteBytes(scratch.File("truncated.bmp"), {bitmap.begin(), bitmap.begin() + 200});
    const struct {
        const char* what;
        std::string path;
        const char* failCaption;
        std::function<void()> onDoEvents;
    } cases[] = {
        {"missing", scratch.File("missing.bmp"), nullptr, nullptr},
        {"truncated", scratch.File("truncated.bmp"), nullptr, nullptr},
        {"caption refused", PeerFile("tga32.tga"), "tga32.tga", nullptr},
        {"redraw fails", PeerFile("tga32.tga"), nullptr,
         [] { throw PlatformError(E_FAIL, "device lost"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        failCaption = c.failCaption;
        onDoEvents = c.onDoEvents;
        try {
            Load(c.path);
            ADD_FAILURE() << "loaded";
        } catch (const PlatformError& error) {
            EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
        }
        EXPECT_EQ(DocumentsInUse(), 1);
        EXPECT_EQ(EntriesInUse(), 1);
        EXPECT_EQ(OpenWindows(), 1);
        EXPECT_EQ(Module1().LastLoadedTexture, first);
    }
    failCaption = nullptr;
    onDoEvents = nullptr;
    EXPECT_EQ(Load(PeerFile("tga32.tga")), 2);
}

}  // namespace
}  // namespace tintora::testing
