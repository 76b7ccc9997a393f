// SaveTexture: the kinds, the DDS export formats with their round trips, the status line, ZVT,
// and failed writes.
#include "files/texture_save.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "files_fixture.h"
#include "device/d3dx_file.h"
#include "base/error.h"
#include "imagefiles/file_io.h"
#include "support/synthetic_photo.h"

namespace tintora::testing {
namespace {

TEST(SaveKindTest, LastThreeLettersInAnyCase) {
    const struct {
        const char* name;
        int kind;  // -1: none
    } cases[] = {
        {"C:\\t\\wall.dds", kSaveDds},
        {"C:\\t\\wall.BMP", kSaveBitmap},
        {"/t/a.Zvt", kSaveZvt},
        {"/t/a.bmp", kSaveBitmap},
        {"bmp", kSaveBitmap},
        {"/t/a.png", -1},
        {"/t/a.jpg", -1},
        {"/t/a.tga", -1},
        {"/t/a.dib", -1},
        {"/t/a.bmp ", -1},
        {"mp", -1},
        {"", -1},
        {"/t/a.xdds", kSaveDds},
    };
    for (const auto& c : cases) {
        const auto kind = SaveKindFromEnding(c.name);
        EXPECT_EQ(kind ? *kind : -1, c.kind) << c.name;
    }
}

// Peak signal-to-noise ratio over the colour channels, in dB.
double RgbPsnr(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const double d = static_cast<double>((a[i] >> shift) & 0xFF) -
                             static_cast<double>((b[i] >> shift) & 0xFF);
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * static_cast<double>(a.size()));
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
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
        return SaveTexture(x, path, kind, [this, answer](const std::string& label) {
            labels.push_back(label);
            return answer;
        });
    }

    // Reads a file back in its own format.
    std::shared_ptr<Texture> Reopen(const std::string& path) {
        return D3DXCreateTextureFromFileEx(device(), path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                           D3DX_FILTER_NONE, 0, nullptr, nullptr);
    }

    std::vector<std::uint32_t> pixels;
    std::vector<std::string> labels;
};

TEST_F(SaveTest, BitmapKeepsEveryByte) {
    const std::int32_t x = OpenPattern(13, 7);
    const std::string path = scratch.File("wall.bmp");
    EXPECT_EQ(Save(x, path, kSaveBitmap), SaveOutcome::Written);
    EXPECT_TRUE(labels.empty());
    EXPECT_EQ(ArgbOf(*Reopen(path)), pixels);
    EXPECT_EQ(statusTexts, (std::vector<std::string>{"Texture saved to " + path}));
}

// The four export answers: the file's format and the pixels that come back.
TEST_F(SaveTest, DdsExportFormats) {
    const std::int32_t x = OpenPattern(13, 7);
    const struct {
        const char* answer;
        D3DFORMAT format;
    } cases[] = {{"32", D3DFMT_A8R8G8B8},
                 {"24", D3DFMT_R8G8B8},
                 {"16", D3DFMT_A4R4G4B4},
                 {"COMP", D3DFMT_DXT3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        const std::string path = scratch.File(std::string("wall") + c.answer + ".dds");
        labels.clear();
        statusTexts.clear();
        EXPECT_EQ(Save(x, path, kSaveDds, c.answer), SaveOutcome::Written);
        EXPECT_EQ(labels, (std::vector<std::string>{" Save texture to : \r\n" + path}));
        EXPECT_EQ(statusTexts.back(), "Texture saved to " + path);
        const auto reopened = Reopen(path);
        const D3DSURFACE_DESC desc = reopened->GetLevelDesc(0);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Width, 13u);
        EXPECT_EQ(desc.Height, 7u);
        const auto back = ArgbOf(*reopened);
        ASSERT_EQ(back.size(), pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::uint32_t p = pixels[i];
            std::uint32_t want = p;
            if (c.format == D3DFMT_R8G8B8) want = p | 0xFF000000u;
            if (c.format == D3DFMT_A4R4G4B4) {
                // Each channel narrowed to 4 bits (rounded) and widened by repeating them.
                want = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const std::uint32_t v = (p >> shift) & 0xFF;
                    want |= ((v * 15 + 127) / 255 * 17) << shift;
                }
            }
            if (c.format == D3DFMT_DXT3) break;  // measured below
            ASSERT_EQ(back[i], want) << i;
        }
    }
    // The texture itself is unchanged by any export.
    EXPECT_EQ(ArgbOf(*TextureAt(x).Texture), pixels);
}

// DXT3 on a photograph-like image: 4-bit alpha and a colour PSNR bound, with the progress on the
// status line and pending messages let through between the chunks.
TEST_F(SaveTest, CompressedExportQualityAndProgress) {
    const int size = 256;
    pixels = SyntheticPhoto(size, size, true);
    const std::int32_t x = OpenPixels(size, size, pixels);
    const std::string path = scratch.File("photo.dds");
    ASSERT_EQ(Save(x, path, kSaveDds, "COMP"), SaveOutcome::Written);
    const auto back = ArgbOf(*Reopen(path));
    const double psnr = RgbPsnr(pixels, back);
    RecordProperty("dxt3_rgb_psnr_db", std::to_string(psnr));
    EXPECT_GE(psnr, 36.0);
    int worstAlpha = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const int d = static_cast<int>(pixels[i] >> 24) - static_cast<int>(back[i] >> 24);
        worstAlpha = std::max(worstAlpha, std::abs(d));
    }
    EXPECT_LE(worstAlpha, 8);

    ASSERT_GE(statusTexts.size(), 3u);
    EXPECT_EQ(statusTexts[statusTexts.size() - 2], "Busy (100%)");
    EXPECT_EQ(statusTexts.back(), "Texture saved to " + path);
    int last = -1;
    for (std::size_t i = 0; i + 1 < statusTexts.size(); ++i) {
        const std::string& text = statusTexts[i];
        ASSERT_EQ(text.rfind("Busy (", 0), 0u) << text;
        const int percent = std::stoi(text.substr(6));
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_EQ(doEventsCalls, static_cast<int>(statusTexts.size()) - 1);
}

TEST_F(SaveTest, CancelledExportWritesNothing) {
    const std::int32_t x = OpenPattern(8, 8);
    const std::string path = scratch.File("old.dds");
    WriteBytes(path, {1, 2, 3});
    EXPECT_EQ(Save(x, path, kSaveDds, "CANCEL"), SaveOutcome::Cancelled);
    EXPECT_EQ(ReadBytes(path), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(statusTexts, (std::vector<std::string>{"Save cancelled"}));
}

// An answer that names no format (and a kind that names no type) writes nothing and claims
// nothing.
TEST_F(SaveTest, UnknownAnswersAndKindsWriteNothing) {
    const std::int32_t x = OpenPattern(8, 8);
    EXPECT_EQ(Save(x, scratch.File("a.dds"), kSaveDds, ""), SaveOutcome::NotWritten);
    EXPECT_EQ(Save(x, scratch.File("b.dds"), 3, "32"), SaveOutcome::NotWritten);
    EXPECT_EQ(Save(x, scratch.File("c.dds"), -1, "32"), SaveOutcome::NotWritten);
    EXPECT_TRUE(scratch.Entries().empty());
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaveTest, ZvtIsRefusedPlainly) {
    const std::int32_t x = OpenPattern(8, 8);
    const std::string path = scratch.File("level.zvt");
    EXPECT_EQ(Save(x, path, kSaveZvt, "32"), SaveOutcome::NotWritten);
    EXPECT_TRUE(labels.empty());  // no export dialog
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], ZvtNotSavedText(path));
    EXPECT_NE(messages[0].find("cannot"), std::string::npos);
    EXPECT_NE(messages[0].find(path), std::string::npos);
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_TRUE(scratch.Entries().empty());
}

// A write that fails (disk full, at any stage) names the file; the old file, the texture and the
// status line stay as they were, and no temporary file is left.
TEST_F(SaveTest, FailedWriteKeepsTheOldFile) {
    const std::int32_t x = OpenPattern(16, 16);
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    const struct {
        std::int32_t kind;
        const char* answer;
        const char* name;
        WriteStage stage;
    } cases[] = {{kSaveBitmap, "", "a.bmp", WriteStage::Write},
                 {kSaveDds, "32", "b.dds", WriteStage::Sync},
                 {kSaveDds, "24", "c.dds", WriteStage::Rename},
                 {kSaveDds, "16", "d.dds", WriteStage::Create}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.File(c.name);
        WriteBytes(path, old);
        try {
            ScopedWriteFault fault({c.stage, 10, ENOSPC});
            Save(x, path, c.kind, c.answer);
            ADD_FAILURE() << "saved";
        } catch (const PlatformError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
        EXPECT_EQ(ReadBytes(path), old);
    }
    EXPECT_EQ(scratch.Entries(), (std::vector<std::string>{"a.bmp", "b.dds", "c.dds", "d.dds"}));
    EXPECT_TRUE(statusTexts.empty());
    EXPECT_TRUE(TextureAt(x).InUse);
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
