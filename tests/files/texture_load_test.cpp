// LoadTextureFile: the entry and window it makes, the working format, the colour key, the
// premultiplied route, and what a failed load leaves (nothing).
#include "files/texture_load.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files_fixture.h"
#include "device/d3dx_file.h"
#include "base/error.h"

namespace tintora::testing {
namespace {

TEST(TitleFromPathTest, PartAfterTheLastSlashOrBackslash) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"C:\\maps\\stone.bmp", "stone.bmp"},
        {"/home/a/stone.bmp", "stone.bmp"},
        {"a/b\\c.png", "c.png"},
        {"a\\b/c.png", "c.png"},
        {"stone.bmp", "stone.bmp"},
        {"/textures/", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TitleFromPath(c.path), c.title) << c.path;
}

class LoadTest : public FilesTest {
  protected:
    // Loads path counting the premultiplied warnings.
    std::int32_t Load(const std::string& path) {
        return LoadTextureFile(path, [this] { ++warnings; });
    }

    // Writes pixels as a 32-bit bitmap with alpha.
    std::string WriteBitmap(const std::string& name, int width, int height,
                            const std::vector<std::uint32_t>& pixels) {
        const std::string path = scratch.File(name);
        D3DXSaveSurfaceToFile(path, D3DXIFF_BMP, *ArgbSurface(device(), width, height, pixels),
                              nullptr, nullptr);
        return path;
    }

    // Writes pixels as a DDS file in a block format (through the platform's compressor).
    std::string WriteBlockDds(const std::string& name, D3DFORMAT format, int width, int height,
                              const std::vector<std::uint32_t>& pixels) {
        const std::string path = scratch.File(name);
        auto blocks = device().CreateImageSurface(width, height, format);
        D3DXLoadSurfaceFromSurface(*blocks, nullptr, nullptr,
                                   *ArgbSurface(device(), width, height, pixels), nullptr, nullptr,
                                   D3DX_DEFAULT_FILTER, 0);
        D3DXSaveSurfaceToFile(path, D3DXIFF_DDS, *blocks, nullptr, nullptr);
        return path;
    }

    int warnings = 0;
};

// Files whose pixels ImageMagick reported (tests/data/peer) open with exactly those pixels,
// whatever their format, as A8R8G8B8 in a new window and entry.
TEST_F(LoadTest, PeerFilesOpenWithTheirPixels) {
    const char* names[] = {"bmp24.bmp",       "bmp32.bmp",     "bmp8_rle.bmp", "png_rgba.png",
                           "png_palette.png", "tga32_rle.tga", "tga_cmap.tga", "jpg.jpg",
                           "dds_argb.dds",    "dds_rgb.dds",   "dds_dxt1.dds", "dds_dxt5.dds"};
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
    const std::int32_t x = Load(WriteBitmap("keyed.bmp", 4, 2, pixels));
    const std::vector<std::uint32_t> want = {0x00000000u, 0x04564565u, 0x05564564u, 0xFF564564u,
                                             0x04574564u, 0x04564464u, 0x00000000u, 0x00000000u};
    EXPECT_EQ(EntryPixels(x), want);
}

// 4 x 4 blocks of one colour each: colours that 5:6:5 holds exactly and alphas that 4 bits hold
// exactly, so the block codec changes nothing.
std::vector<std::uint32_t> PremultipliedBlocks() {
    const std::uint32_t blocks[3] = {0xFFFF0000u,   // opaque red
                                     0x000000FFu,   // blue at alpha 0
                                     0x88FFFFFFu};  // white at alpha 136
    std::vector<std::uint32_t> pixels(12 * 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 12; ++x)
            pixels[static_cast<std::size_t>(y) * 12 + x] = blocks[x / 4];
    }
    return pixels;
}

// Every channel, alpha included, becomes round(channel x alpha / 255): alpha 255 keeps the
// colour, alpha 0 gives 0x00000000, and white at 136 gives 136 with alpha 73.
TEST_F(LoadTest, Dxt2AndDxt4TakeThePremultipliedRoute) {
    for (const D3DFORMAT format : {D3DFMT_DXT2, D3DFMT_DXT4}) {
        SCOPED_TRACE(format == D3DFMT_DXT2 ? "DXT2" : "DXT4");
        const std::string path = WriteBlockDds(format == D3DFMT_DXT2 ? "p2.dds" : "p4.dds", format,
                                               12, 4, PremultipliedBlocks());
        warnings = 0;
        const std::int32_t x = Load(path);
        EXPECT_EQ(warnings, 1);
        const auto pixels = EntryPixels(x);
        EXPECT_EQ(pixels[0], 0xFFFF0000u);
        EXPECT_EQ(pixels[4], 0x00000000u);
        EXPECT_EQ(pixels[8], 0x49888888u);
        EXPECT_EQ(pixels[47], 0x49888888u);
        EXPECT_EQ(TextureAt(x).Texture->GetLevelDesc(0).Format, D3DFMT_A8R8G8B8);
    }
}

// The flattening draws into the texture and gives the device its render target and viewport
// back, so the next window drawing finds them as it left them.
TEST_F(LoadTest, PremultipliedRouteRestoresTheRenderTarget) {
    const std::string path = WriteBlockDds("p2.dds", D3DFMT_DXT2, 12, 4, PremultipliedBlocks());
    const auto target = device().GetRenderTarget();
    const D3DVIEWPORT8 viewport = device().GetViewport();
    const auto texture = ReadWorkingTexture(path, {});
    EXPECT_EQ(texture->width(), 12);
    EXPECT_EQ(device().GetRenderTarget(), target);
    EXPECT_EQ(device().GetViewport().Width, viewport.Width);
    EXPECT_EQ(device().GetViewport().Height, viewport.Height);
    EXPECT_FALSE(device().inScene());
    EXPECT_TRUE(windows.empty());
}

TEST_F(LoadTest, OtherBlockFormatsAreConvertedWithoutWarning) {
    for (const D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        // DXT1 holds alpha 0 or 255 only; the others keep a partial alpha and the colour under
        // it as they are (no premultiplying).
        std::vector<std::uint32_t> pixels(12 * 4, 0xFFFF0000u);
        if (format != D3DFMT_DXT1) {
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                if (i % 12 >= 4) pixels[i] = i % 12 >= 8 ? 0x88FFFFFFu : 0x110000FFu;
            }
        }
        const std::int32_t x = Load(WriteBlockDds("b.dds", format, 12, 4, pixels));
        EXPECT_EQ(EntryPixels(x), pixels) << format;
    }
    EXPECT_EQ(warnings, 0);
}

// Bad files: each failure names the file, and nothing is left: no document, no entry, no open
// window, LastLoadedTexture as before.
TEST_F(LoadTest, BadFilesLeaveNothingBehind) {
    const std::int32_t first = Load(PeerFile("bmp32.bmp"));
    ASSERT_EQ(first, 1);

    const std::vector<std::uint8_t> bitmap = ReadBytes(PeerFile("bmp32.bmp"));
    WriteBytes(scratch.File("truncated.bmp"), {bitmap.begin(), bitmap.begin() + 200});
    WriteBytes(scratch.File("empty.png"), {});
    WriteBytes(scratch.File("noise.tga"), std::vector<std::uint8_t>(64, 0x5A));
    // A DDS header that claims 65535 x 65535 A8R8G8B8 pixels in a 200-byte file.
    std::vector<std::uint8_t> lying(200, 0);
    const auto put32 = [&lying](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            lying[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put32(0, 0x20534444u);  // "DDS "
    put32(4, 124);          // header size
    put32(8, 0x1007);       // caps, height, width, pixel format
    put32(12, 65535);       // height
    put32(16, 65535);       // width
    put32(76, 32);          // pixel format size
    put32(80, 0x41);        // RGB with alpha
    put32(88, 32);          // bits per pixel
    put32(92, 0x00FF0000u);
    put32(96, 0x0000FF00u);
    put32(100, 0x000000FFu);
    put32(104, 0xFF000000u);
    WriteBytes(scratch.File("lying.dds"), lying);
    std::filesystem::create_directory(scratch.File("folder.bmp"));

    for (const char* name :
         {"missing.bmp", "truncated.bmp", "empty.png", "noise.tga", "lying.dds", "folder.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = scratch.File(name);
        try {
            Load(path);
            ADD_FAILURE() << "loaded";
        } catch (const PlatformError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
            EXPECT_NE(error.code(), 0);
        }
        EXPECT_EQ(DocumentsInUse(), 1);
        EXPECT_EQ(EntriesInUse(), 1);
        EXPECT_EQ(OpenWindows(), 1);
        EXPECT_EQ(Module1().LastLoadedTexture, first);
    }
}

// A failure after the window was made (here the window refuses its title; then the redraw of the
// captions) closes the window and gives both slots back.
TEST_F(LoadTest, FailureAfterTheWindowExistsClosesIt) {
    const std::string path = PeerFile("tga32.tga");
    failCaption = "tga32.tga";
    EXPECT_THROW(Load(path), PlatformError);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0]->closed);
    EXPECT_EQ(DocumentsInUse(), 0);
    EXPECT_EQ(EntriesInUse(), 0);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    EXPECT_EQ(Module1().LastLoadedTexture, 0);

    failCaption = nullptr;
    onDoEvents = [] { throw PlatformError(E_FAIL, "device lost"); };
    try {
        Load(path);
        ADD_FAILURE() << "loaded";
    } catch (const PlatformError& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("device lost"), std::string::npos);
    }
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_TRUE(windows[1]->closed);
    EXPECT_EQ(DocumentsInUse(), 0);
    EXPECT_EQ(EntriesInUse(), 0);
    EXPECT_EQ(Module1().LastLoadedTexture, 0);

    // The slots are reused by the next load.
    onDoEvents = nullptr;
    EXPECT_EQ(Load(path), 1);
    EXPECT_EQ(Module1().ActiveWindowIndex, 1);
}

}  // namespace
}  // namespace tintora::testing
