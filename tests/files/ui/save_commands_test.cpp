// "&Save" and "Save &As..." in the editor: routing by the file's ending, the Save dialogs, the
// export dialog Form6 and its answers, titles, ZVT and failed writes.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <unistd.h>

#include <filesystem>

#include "files/ui/form6.h"
#include "files/ui/new_texture_dialog.h"
#include "files_ui_fixture.h"
#include "imagefiles/file_io.h"

namespace tintora::testing {
namespace {

using Kind = ScriptedMessageBoxes::Shown::Kind;

class SaveCommandsTest : public FilesUiTest {
  protected:
    // Opens a 12 x 8 pattern written as name (its type from the ending) and returns its path.
    std::string OpenPattern(const std::string& name) {
        const auto ending = std::filesystem::path(name).extension().string();
        D3DXIMAGE_FILEFORMAT type = D3DXIFF_BMP;
        if (ending == ".dds" || ending == ".DDS") type = D3DXIFF_DDS;
        if (ending == ".png") type = D3DXIFF_PNG;
        if (ending == ".tga") type = D3DXIFF_TGA;
        pixels = Pattern(12, 8);
        const std::string path = WriteImage(name, type, 12, 8, pixels);
        editor->LoadTexture(path);
        // What the texture holds (a PNG goes through Qt's writer and reader).
        pixels = ArgbOf(*ActiveEntry().Texture);
        return path;
    }

    // Answers the next Form6 with option index (0-3), or "Cancel" for -1; records its label.
    void AnswerFormat(int option) {
        WhenShown<Form6>([this, option](Form6& form) {
            exportLabel = form.Label1->text().toStdString();
            if (option < 0) {
                QTest::mouseClick(form.Command2, Qt::LeftButton);
                return;
            }
            form.Option1[static_cast<std::size_t>(option)]->setChecked(true);
            QTest::mouseClick(form.Command1, Qt::LeftButton);
        });
    }

    D3DFORMAT FileFormat(const std::string& path) { return Reopen(path)->GetLevelDesc(0).Format; }

    std::vector<std::uint32_t> pixels;
    std::string exportLabel;
};

TEST_F(SaveCommandsTest, Form6AsDesigned) {
    Form6& form = files().Form6Window();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Export DDS / ZVT"));
    EXPECT_EQ(form.Frame1->title(), QStringLiteral("Format options: "));
    const char* captions[] = {"32 bits format", "24 bits format", "16 bits format", "Compressed"};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(form.Option1[i]->text(), QString::fromLatin1(captions[i]));
    EXPECT_TRUE(form.Option1[0]->isChecked());
    EXPECT_EQ(form.Check1->text(), QStringLiteral("Export Alpha information."));
    EXPECT_EQ(form.Command1->text(), QStringLiteral("OK"));
    EXPECT_TRUE(form.Command1->isDefault());
    EXPECT_EQ(form.Command2->text(), QStringLiteral("Cancel"));
}

// A bitmap, in either case, is saved over its own file at once, as a 32-bit bitmap.
TEST_F(SaveCommandsTest, BitmapEndingSavesWithoutDialogs) {
    for (const char* name : {"wall.bmp", "WALL.BMP"}) {
        SCOPED_TRACE(name);
        const std::string path = OpenPattern(name);
        std::filesystem::remove(path);
        editor->save->trigger();
        EXPECT_TRUE(dialogs.saveRequests.empty());
        EXPECT_EQ(answered, 0);
        EXPECT_EQ(StatusLine(), "Texture saved to " + path);
        EXPECT_EQ(ArgbOf(*Reopen(path)), pixels);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

// A DDS file asks for the format every time; "24 bits format" writes R8G8B8 of the full size.
TEST_F(SaveCommandsTest, DdsEndingAsksTheFormat) {
    const std::string path = OpenPattern("wall.dds");
    AnswerFormat(1);
    editor->save->trigger();
    EXPECT_EQ(answered, 1);
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_EQ(exportLabel, " Save texture to : \r\n" + path);
    EXPECT_EQ(StatusLine(), "Texture saved to " + path);
    const auto reopened = Reopen(path);
    EXPECT_EQ(reopened->GetLevelDesc(0).Format, D3DFMT_R8G8B8);
    EXPECT_EQ(reopened->width(), 12);
    EXPECT_EQ(reopened->height(), 8);

    // Shown again on the next save, with the last choice.
    bool lastChoiceKept = false;
    WhenShown<Form6>([&](Form6& form) {
        lastChoiceKept = form.Option1[1]->isChecked();
        QTest::mouseClick(form.Command1, Qt::LeftButton);
    });
    editor->save->trigger();
    EXPECT_EQ(answered, 2);
    EXPECT_TRUE(lastChoiceKept);
}

// Any other ending goes through the Save dialog: the first filter writes a bitmap, the second a
// DDS file through Form6. The texture's file name and title stay.
TEST_F(SaveCommandsTest, OtherEndingsAskForAFile) {
    const std::string path = OpenPattern("wall.png");
    const std::string bitmap = scratch.File("out.bmp");
    const std::string dds = scratch.File("out.dds");
    dialogs.fileAnswers = {FileChoice{bitmap, 1}, FileChoice{dds, 2}};
    editor->save->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "Save texture to...");
    EXPECT_EQ(dialogs.saveRequests[0].filter,
              "Bitmap File|*.bmp|DirectX Texture File|*.dds|Zarvell3D Texture file|*.zvt");
    EXPECT_EQ(answered, 0);
    EXPECT_EQ(ArgbOf(*Reopen(bitmap)), pixels);
    EXPECT_EQ(StatusLine(), "Texture saved to " + bitmap);

    AnswerFormat(0);
    editor->save->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 2u);
    // The file name box keeps the name of its last use.
    EXPECT_EQ(dialogs.saveRequests[1].fileName, bitmap);
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(exportLabel, " Save texture to : \r\n" + dds);
    EXPECT_EQ(FileFormat(dds), D3DFMT_A8R8G8B8);
    EXPECT_EQ(ArgbOf(*Reopen(dds)), pixels);

    EXPECT_EQ(ActiveEntry().FileName, path);
    EXPECT_EQ(ActiveEntry().Title, "wall.png");

    // Cancelling the dialog ends the command silently.
    dialogs.fileAnswers = {std::nullopt};
    editor->save->trigger();
    EXPECT_EQ(StatusLine(), "Texture saved to " + dds);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SaveCommandsTest, NothingToSave) {
    // No texture window: nothing happens.
    editor->save->trigger();
    editor->saveas->trigger();
    EXPECT_TRUE(dialogs.saveRequests.empty());
    // A new texture has no file name: "Save" writes nothing and asks nothing.
    WhenShown<NewTexture>([](NewTexture& dialog) { dialog.Command1->click(); });
    editor->newtex->trigger();
    ASSERT_EQ(TextureWindowCount(), 1);
    editor->save->trigger();
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_EQ(StatusLine(), "Idle");
    EXPECT_TRUE(scratch.Entries().empty());
}

// Each option answers its format; Cancel, Escape and the frame's close write nothing and show
// "Save cancelled".
TEST_F(SaveCommandsTest, ExportAnswers) {
    const std::string path = OpenPattern("wall.dds");
    const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_DXT3};
    const char* answers[] = {"32", "24", "16", "COMP"};
    for (int option = 0; option < 4; ++option) {
        SCOPED_TRACE(option);
        std::filesystem::remove(path);
        AnswerFormat(option);
        editor->save->trigger();
        EXPECT_EQ(files().Form6Window().Tag, answers[option]);
        EXPECT_EQ(FileFormat(path), formats[option]);
    }

    const std::vector<std::uint8_t> before = ReadBytes(path);
    const std::function<void(Form6&)> cancels[] = {
        [](Form6& form) { QTest::mouseClick(form.Command2, Qt::LeftButton); },
        [](Form6& form) { QTest::keyClick(&form, Qt::Key_Escape); },
        [](Form6& form) { form.close(); },
    };
    for (const auto& cancel : cancels) {
        editor->Label1->setText(QStringLiteral("Idle"));
        // As after an "OK": only the cancel itself may answer "CANCEL".
        files().Form6Window().Tag = "32";
        WhenShown<Form6>(cancel);
        editor->save->trigger();
        EXPECT_EQ(files().Form6Window().Tag, "CANCEL");
        EXPECT_EQ(StatusLine(), "Save cancelled");
        EXPECT_FALSE(files().Form6Window().isVisible());
    }
    EXPECT_EQ(answered, 7);
    EXPECT_EQ(ReadBytes(path), before);
}

// Save As: the dialog starts on the texture's file; the title follows the chosen file, the file
// name stays; from the second use on the dialog asks before replacing a file.
TEST_F(SaveCommandsTest, SaveAsChangesTheTitleNotTheFileName) {
    const std::string path = OpenPattern("wall.png");
    const std::string target = scratch.File("new.bmp");
    dialogs.fileAnswers = {FileChoice{target, 1}};
    editor->saveas->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    const FileDialogRequest& request = dialogs.saveRequests[0];
    EXPECT_EQ(request.title, "Save texture to...");
    EXPECT_EQ(request.filter,
              "Bitmap File (*.bmp)|*.bmp|DirectX Texture File (*.dds)|*.dds|Zarvell3D Texture "
              "file (*.zvt)|*.zvt");
    EXPECT_EQ(request.fileName, path);
    EXPECT_FALSE(request.confirmOverwrite);
    EXPECT_EQ(ArgbOf(*Reopen(target)), pixels);
    EXPECT_EQ(ActiveEntry().Title, "new.bmp");
    EXPECT_EQ(ActiveEntry().FileName, path);
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).Window->Caption(), "1-new.bmp (12x8)");
    EXPECT_EQ(StatusLine(), "Texture saved to " + target);

    // Cancelled: nothing changes, but the overwrite question is on from now on.
    dialogs.fileAnswers = {std::nullopt};
    editor->saveas->trigger();
    dialogs.fileAnswers = {std::nullopt};
    editor->saveas->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 3u);
    EXPECT_TRUE(dialogs.saveRequests[1].confirmOverwrite);
    EXPECT_TRUE(dialogs.saveRequests[2].confirmOverwrite);
    EXPECT_EQ(dialogs.saveRequests[2].fileName, path);
    EXPECT_EQ(ActiveEntry().Title, "new.bmp");

    // "Save" still writes to the texture's own file (through the Save dialog for a PNG).
    dialogs.fileAnswers = {std::nullopt};
    editor->save->trigger();
    EXPECT_EQ(dialogs.saveRequests.size(), 4u);
    EXPECT_TRUE(dialogs.saveRequests[3].confirmOverwrite);
}

// A cancelled export still renames the window.
TEST_F(SaveCommandsTest, SaveAsWithCancelledExport) {
    OpenPattern("wall.bmp");
    const std::string target = scratch.File("other.dds");
    dialogs.fileAnswers = {FileChoice{target, 2}};
    AnswerFormat(-1);
    editor->saveas->trigger();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(StatusLine(), "Save cancelled");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(ActiveEntry().Title, "other.dds");
}

// ZVT: the user is told that it cannot be saved; nothing is written, the status line and the
// title stay.
TEST_F(SaveCommandsTest, ZvtIsNotSaved) {
    OpenPattern("wall.bmp");
    editor->Label1->setText(QStringLiteral("Idle"));
    const std::string target = scratch.File("level.zvt");
    dialogs.fileAnswers = {FileChoice{target, 3}};
    editor->saveas->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Ok);
    EXPECT_NE(boxes.shown[0].text.find("cannot"), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find(target), std::string::npos);
    EXPECT_EQ(answered, 0);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(StatusLine(), "Idle");
    EXPECT_EQ(ActiveEntry().Title, "wall.bmp");
}

// A write that fails: the error report names the file, the old file, the texture and the status
// line stay (the compression's progress is taken back).
TEST_F(SaveCommandsTest, FailedWriteIsReported) {
    const std::string path = OpenPattern("wall.dds");
    const std::vector<std::uint8_t> before = ReadBytes(path);
    editor->Label1->setText(QStringLiteral("Idle"));
    AnswerFormat(3);
    {
        ScopedWriteFault fault({WriteStage::Write, 100, ENOSPC});
        editor->save->trigger();
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_EQ(StatusLine(), "Idle");
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ArgbOf(*ActiveEntry().Texture), pixels);
    EXPECT_EQ(endCalls, 0);
    EXPECT_EQ(scratch.Entries(), std::vector<std::string>{"wall.dds"});  // no temporary file
}

// Saves that fail at the disk: full halfway through, at the flush, at the rename, a directory
// that no longer exists, a directory without write permission. Each is reported ("Error n: ..."
// naming the file), leaves the old file and no temporary file, and the texture stays open and
// usable: an adjustment and the next save go through.
TEST_F(SaveCommandsTest, DiskFailuresKeepTheOldFileAndTheTexture) {
    const std::string folder = scratch.File("maps");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/wall.bmp";
    pixels = Pattern(12, 8);
    D3DXSaveSurfaceToFile(path, D3DXIFF_BMP, *ArgbSurface(*Module1().Device, 12, 8, pixels),
                          nullptr, nullptr);
    editor->LoadTexture(path);
    const std::vector<std::uint8_t> before = ReadBytes(path);
    const auto onlyTheOldFile = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names == std::vector<std::string>{"wall.bmp"};
    };
    const auto expectReported = [&](const char* reason) {
        ASSERT_EQ(boxes.shown.size(), 1u);
        const std::string& text = boxes.shown[0].text;
        EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        boxes.shown.clear();
        EXPECT_EQ(TextureWindowCount(), 1);
        EXPECT_EQ(ActiveEntry().FileName, path);
        EXPECT_EQ(ArgbOf(*ActiveEntry().Texture), pixels);
    };

    const struct {
        WriteStage stage;
        int error;
        const char* reason;
    } faults[] = {{WriteStage::Write, ENOSPC, "No space left on device"},
                  {WriteStage::Sync, EIO, "Input/output error"},
                  {WriteStage::Rename, EACCES, "Permission denied"},
                  {WriteStage::Create, EROFS, "Read-only file system"}};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.reason);
        {
            ScopedWriteFault injected({fault.stage, 200, fault.error});
            editor->save->trigger();
        }
        expectReported(fault.reason);
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_TRUE(onlyTheOldFile());
    }

    // A directory without write permission (root writes regardless, so only for other users).
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        editor->save->trigger();
        std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        expectReported("Permission denied");
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_TRUE(onlyTheOldFile());
    }

    // The directory removed while the texture was open.
    std::filesystem::remove_all(folder);
    editor->save->trigger();
    expectReported("No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(folder));

    // Still usable: inverted, then saved once the directory is back.
    editor->invertcolor->trigger();
    for (std::uint32_t& p : pixels)
        p ^= 0x00FFFFFFu;
    EXPECT_EQ(ArgbOf(*ActiveEntry().Texture), pixels);
    std::filesystem::create_directory(folder);
    editor->save->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(StatusLine(), "Texture saved to " + path);
    EXPECT_EQ(ArgbOf(*Reopen(path)), pixels);
    EXPECT_TRUE(onlyTheOldFile());
}

}  // namespace
}  // namespace tintora::testing
