// SaveTexture: the kinds, the DDS export formats, the status line, the answers that write
// nothing, and failed writes.
#include "files/texture_save.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/error.h"
#include "device/d3dx_file.h"
#include "files_fixture.h"
#include "imagefiles/file_io.h"

namespace tintora::testing {
namespace {

TEST(SaveKindTest, LastThreeLettersInAnyCase) {
    const struct {
        const char* name;
        int kind;  // -1: none
    } cases[] = {
        {"C:\\t\\wall.dds", kSaveDds},
        {"/t/a.BMP", kSaveBitmap},
        {"a.Zvt", kSaveZvt},
        {"/t/a.png", -1},
        {"/t/a.bmp ", -1},
        {"mp", -1},
    };
    for (const auto& c : cases) {
        const auto kind = SaveKindFromEnding(c.name);
        EXPECT_EQ(kind ? *kind : -1, c.kind) << c.name;
    }
}

class SaveTest : public FilesTest {
  protected:
    // An entry whose every byte differs from its neighbours, alpha included.
    std::int32_t OpenPattern(int width, int height) {
        pixels.resize(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) ^ 0x5A3C96E1u;
        return OpenPixels(width, height, pixels);
    }

    // Saves entry x to path as kind, answering the export dialog with answer.
    SaveOutcome Save(std::int32_t x, const std::string& path, std::int32_t kind,
                     const std::string& answer = {}) {
        return SaveTexture(
            x, path, kind,
            [this, answer](const std::string& label) {
                labels.push_back(label);
                return answer;
            },
            &ui, &ui);
    }

    std::vector<std::uint32_t> pixels;
    std::vector<std::string> labels;
};

// A bitmap is written at once with its alpha; a DDS file asks for its format with the file's
// label. The status line names the file; only the compression shows its progress before, letting
// pending messages run after each step. The texture is left as it was.
TEST_F(SaveTest, KindsAndExportFormats) {
    const std::int32_t x = OpenPattern(13, 7);
    const struct {
        std::int32_t kind;
        const char* answer;
        const char* name;
        D3DFORMAT format;
    } cases[] = {
        {kSaveBitmap, "", "wall.bmp", D3DFMT_A8R8G8B8},
        {kSaveDds, "32", "wall32.dds", D3DFMT_A8R8G8B8},
        {kSaveDds, "24", "wall24.dds", D3DFMT_R8G8B8},
        {kSaveDds, "16", "wall16.dds", D3DFMT_A4R4G4B4},
        {kSaveDds, "COMP", "wallc.dds", D3DFMT_DXT3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.File(c.name);
        labels.clear();
        statusTexts.clear();
        doEventsCalls = 0;
        EXPECT_EQ(Save(x, path, c.kind, c.answer), SaveOutcome::Written);
        EXPECT_EQ(labels.size(), c.kind == kSaveDds ? 1u : 0u);
        if (!labels.empty()) {
            EXPECT_EQ(labels[0], " Save texture to : \r\n" + path);
        }
        const auto progress = static_cast<int>(statusTexts.size()) - 1;
        ASSERT_EQ(progress > 0, c.format == D3DFMT_DXT3);
        EXPECT_EQ(statusTexts.back(), "Texture saved to " + path);
        if (progress > 0) {
            EXPECT_EQ(statusTexts[progress - 1], "Busy (100%)");
        }
        EXPECT_EQ(doEventsCalls, progress);
        const auto reopened = LoadTexture(device(), path);
        EXPECT_EQ(reopened->GetLevelDesc(0).Format, c.format);
        EXPECT_EQ(reopened->width(), 13);
        EXPECT_EQ(reopened->height(), 7);
        if (c.format == D3DFMT_A8R8G8B8) {
            EXPECT_EQ(ArgbOf(*reopened), pixels);
        }
    }
    EXPECT_EQ(ArgbOf(*TextureAt(x).Texture), pixels);
}

// A cancelled export, an answer that names no format, a kind that names no type and ZVT write
// nothing; only the cancel shows on the status line and only ZVT tells the user.
TEST_F(SaveTest, WhatWritesNothing) {
    const std::int32_t x = OpenPattern(8, 8);
    const std::string zvt = scratch.File("level.zvt");
    const struct {
        std::int32_t kind;
        const char* answer;
        SaveOutcome outcome;
        std::vector<std::string> status;
        std::vector<std::string> messages;
    } cases[] = {
        {kSaveDds, "CANCEL", SaveOutcome::Cancelled, {"Save cancelled"}, {}},
        {kSaveDds, "", SaveOutcome::NotWritten, {}, {}},
        {3, "32", SaveOutcome::NotWritten, {}, {}},
        {kSaveZvt, "32", SaveOutcome::NotWritten, {}, {ZvtNotSavedText(zvt)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        statusTexts.clear();
        messages.clear();
        EXPECT_EQ(Save(x, zvt, c.kind, c.answer), c.outcome);
        EXPECT_EQ(statusTexts, c.status);
        EXPECT_EQ(messages, c.messages);
        EXPECT_TRUE(scratch.Entries().empty());
    }
    EXPECT_NE(ZvtNotSavedText(zvt).find(zvt), std::string::npos);
}

// Every kind writes through the safe writer: a failed write names the file and leaves the old
// file (no temporary one), the texture and the status line.
TEST_F(SaveTest, FailedWriteKeepsTheOldFile) {
    const std::int32_t x = OpenPattern(16, 16);
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    const struct {
        std::int32_t kind;
        const char* answer;
        const char* name;
    } cases[] = {{kSaveBitmap, "", "a.bmp"},
                 {kSaveDds, "32", "b.dds"},
                 {kSaveDds, "24", "c.dds"},
                 {kSaveDds, "16", "d.dds"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.File(c.name);
        WriteBytes(path, old);
        try {
            ScopedWriteFault fault({WriteStage::Write, 10, ENOSPC});
            Save(x, path, c.kind, c.answer);
            ADD_FAILURE() << "saved";
        } catch (const PlatformError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
        EXPECT_EQ(ReadBytes(path), old);
    }
    EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"a.bmp", "b.dds", "c.dds", "d.dds"}));
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_EQ(ArgbOf(*TextureAt(x).Texture), pixels);
    EXPECT_EQ(EntryPixels(x), pixels);
}

// A texture whose window was closed while the export dialog was up cannot be saved.
TEST_F(SaveTest, EntryClosedDuringTheQuestion) {
    const std::int32_t x = OpenPattern(8, 8);
    const std::string path = scratch.File("gone.dds");
    EXPECT_THROW(SaveTexture(x, path, kSaveDds,
                             [x](const std::string&) {
                                 FreeTextureEntry(x);
                                 return std::string("32");
                             }),
                 PlatformError);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tintora::testing
