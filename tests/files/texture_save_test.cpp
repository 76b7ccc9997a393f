// Saving: the kind by the ending, the DDS export formats, the status line, and failed writes.
#include "files/texture_save.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "files_fixture.h"
#include "imagefiles/file_io.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;

// The ending is the last part's, from its last dot.
TEST(SaveKindTest, TheEndingInAnyCase) {
    std::vector<int> kinds;  // -1: none
    for (const char* name : {"C:\\t\\wall.dds", "/t/a.BMP", "a.Dib", "a.Zvt", "/t/a.png",
                             "/t/a.bmp ", "xbmp", "/t.bmp/a", "/t/.bmp"})
        kinds.push_back(SaveKindFromEnding(name).value_or(-1));
    EXPECT_EQ(kinds,
              (std::vector<int>{kSaveDds, kSaveBitmap, kSaveBitmap, kSaveZvt, -1, -1, -1, -1, -1}));
}

// An entry of 13 x 7 whose every byte differs from its neighbours, alpha included.
class SaveTest : public FilesTest {
  protected:
    void SetUp() override {
        FilesTest::SetUp();
        pixels.resize(13 * 7);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) ^ 0x5A3C96E1u;
        x = CreateTextureEntry(13, 7, false);
        TextureAt(x).Texture = ArgbTexture(device(), 13, 7, pixels);
        CopyOut(x);
    }

    SaveOutcome Save(const std::string& path, std::int32_t kind, const std::string& answer) {
        return SaveTexture(
            x, path, kind, [answer](const std::string&) { return answer; }, &ui, &ui);
    }

    std::int32_t x = 0;
    std::vector<std::uint32_t> pixels;
};

// A bitmap is written at once with its alpha, DDS in the format answered, the same bytes as a
// surface of that format converted and saved by the device. Only the compression shows its
// progress, letting pending messages run after each step.
TEST_F(SaveTest, KindsAndExportFormats) {
    const struct {
        std::int32_t kind;
        const char* answer;
        const char* name;
        D3DFORMAT format;
    } cases[] = {{kSaveBitmap, "", "wall.bmp", D3DFMT_A8R8G8B8},
                 {kSaveDds, "32", "wall32.dds", D3DFMT_A8R8G8B8},
                 {kSaveDds, "24", "wall24.dds", D3DFMT_R8G8B8},
                 {kSaveDds, "16", "wall16.dds", D3DFMT_A4R4G4B4},
                 {kSaveDds, "COMP", "wallc.dds", D3DFMT_DXT3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.File(c.name);
        statusTexts.clear();
        doEventsCalls = 0;
        EXPECT_EQ(Save(path, c.kind, c.answer), SaveOutcome::Written);
        ASSERT_FALSE(statusTexts.empty());
        EXPECT_EQ(statusTexts.back(), "Texture saved to " + path);
        const std::size_t progress = statusTexts.size() - 1;
        EXPECT_EQ(progress ? statusTexts[progress - 1] : "",
                  std::string(c.answer) == "COMP" ? "Busy (100%)" : "");
        EXPECT_EQ(doEventsCalls, static_cast<int>(progress));
        const auto reopened = LoadTexture(device(), path);
        EXPECT_EQ(reopened->GetLevelDesc(0).Format, c.format);
        if (c.format == D3DFMT_A8R8G8B8) {
            EXPECT_EQ(ArgbOf(*reopened), pixels);
        }
        if (c.kind == kSaveDds) {
            auto surface = device().CreateImageSurface(13, 7, c.format);
            D3DXLoadSurfaceFromSurface(*surface, nullptr, nullptr,
                                       *TextureAt(x).Texture->GetSurfaceLevel(0), nullptr, nullptr,
                                       D3DX_DEFAULT_FILTER, 0);
            D3DXSaveSurfaceToFile(scratch.File("device.dds"), D3DXIFF_DDS, *surface, nullptr,
                                  nullptr);
            EXPECT_TRUE(ReadBytes(scratch.File("device.dds")) == ReadBytes(path));
        }
    }
    EXPECT_EQ(ArgbOf(*TextureAt(x).Texture), pixels);
}

// A failed write names the file and leaves the old file (no temporary one) and the status line.
TEST_F(SaveTest, FailedWriteKeepsTheOldFile) {
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    const std::pair<const char*, const char*> cases[] = {
        {"a.bmp", ""}, {"b.dds", "32"}, {"c.dds", "24"}, {"d.dds", "16"}};
    for (const auto& [name, answer] : cases) {
        const std::string path = scratch.File(name);
        WriteBytes(path, old);
        try {
            ScopedWriteFault fault({WriteStage::Write, 10, ENOSPC});
            Save(path, SaveKindFromEnding(name).value(), answer);
            ADD_FAILURE() << "saved " << name;
        } catch (const PlatformError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
        EXPECT_EQ(ReadBytes(path), old);
    }
    EXPECT_EQ(scratch.Entries(), (Strings{"a.bmp", "b.dds", "c.dds", "d.dds"}));
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_EQ(ArgbOf(*TextureAt(x).Texture), pixels);
}

// A texture whose window was closed while the export dialog was up cannot be saved.
TEST_F(SaveTest, EntryClosedDuringTheQuestion) {
    const auto closeThenAnswer = [this](const std::string&) {
        FreeTextureEntry(x);
        return std::string("32");
    };
    EXPECT_THROW(SaveTexture(x, scratch.File("gone.dds"), kSaveDds, closeThenAnswer),
                 PlatformError);
    EXPECT_TRUE(scratch.Entries().empty());
}

}  // namespace
}  // namespace tintora::testing
