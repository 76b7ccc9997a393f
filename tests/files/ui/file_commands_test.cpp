// The File menu in the running editor: "&Open" with the once-only DXT2/DXT4 warning, "&New" with
// its dialog and size question, "&Save" and "Save &As..." with their dialogs, the export dialog
// Form6 and the reports of failed loads and saves.
#include "files/ui/file_commands.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <optional>

#include "app/editor_fixture.h"
#include "device/d3dx_file.h"
#include "files/texture_load.h"
#include "files/ui/form6.h"
#include "files/ui/msg_box2.h"
#include "files/ui/new_texture_dialog.h"
#include "imagefiles/file_io.h"
#include "support/image_test_support.h"

namespace tintora::testing {
namespace {

using Kind = ScriptedMessageBoxes::Shown::Kind;

class FileCommandsTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
        ASSERT_TRUE(Module1().Device);
    }
    // Answers a Form6 with option index (0-3), or "Cancel" for -1; records its label.
    std::function<void(Form6&)> Choose(int option) {
        return [this, option](Form6& form) {
            exportLabel = form.Label1->text().toStdString();
            if (option >= 0) {
                form.Option1[static_cast<std::size_t>(option)]->setChecked(true);
                QTest::mouseClick(form.Command1, Qt::LeftButton);
            } else {
                QTest::mouseClick(form.Command2, Qt::LeftButton);
            }
        };
    }

    FileCommands& files() { return editor->Files(); }

    // Writes a 12 x 8 pattern as path, a DDS file (of the given format), PNG or bitmap by the
    // ending.
    void WritePattern(const std::string& path, D3DFORMAT format = D3DFMT_A8R8G8B8) {
        pixels.resize(12 * 8);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) ^ 0x3C5A96E1u;
        Device& device = *Module1().Device;
        auto surface = device.CreateImageSurface(12, 8, format);
        D3DXLoadSurfaceFromSurface(*surface, nullptr, nullptr, *ArgbSurface(device, 12, 8, pixels),
                                   nullptr, nullptr, D3DX_DEFAULT_FILTER, 0);
        const D3DXIMAGE_FILEFORMAT type = path.ends_with(".dds")   ? D3DXIFF_DDS
                                          : path.ends_with(".png") ? D3DXIFF_PNG
                                                                   : D3DXIFF_BMP;
        D3DXSaveSurfaceToFile(path, type, *surface, nullptr, nullptr);
    }

    // Writes the pattern, opens it and returns path.
    std::string OpenPattern(const std::string& path) {
        WritePattern(path);
        editor->LoadTexture(path);
        pixels = ArgbOf(*ActiveEntry().Texture);
        return path;
    }

    std::shared_ptr<Texture> Reopen(const std::string& path) {
        return LoadTexture(*Module1().Device, path);
    }

    std::vector<std::uint32_t> pixels;
    std::string exportLabel;
    ScratchDir scratch;
};

// --- Open ----------------------------------------------------------------------------------

TEST_F(FileCommandsTest, OpenAsksForAFileThenLoadsOrReports) {
    const std::string path = SamplePath("odd_37x23.bmp");
    dialogs.fileAnswers = {FileChoice{path, 1}};
    editor->open->trigger();
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, "Load a texture file");
    EXPECT_EQ(
        dialogs.openRequests[0].filter,
        "All supported texture types|*.bmp;*.jpg;*.png;*.dds;*.dib;*.tga|All files (*.*)|*.*");
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ActiveEntry().FileName, path);
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).Window->Caption(), "1-odd_37x23.bmp (37x23)");

    // The file name box is emptied before every Open; cancelling or an empty name loads nothing.
    dialogs.fileAnswers = {std::nullopt, FileChoice{"", 1}};
    editor->open->trigger();
    editor->open->trigger();
    EXPECT_EQ(dialogs.openRequests.at(1).fileName, "");
    EXPECT_TRUE(boxes.shown.empty());

    // A file that cannot be read: "Error <number>: <description>" naming the file; the editor
    // goes on with the window it had.
    const std::string broken = scratch.File("broken.png");
    WriteBytes(broken, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0});
    dialogs.fileAnswers = {FileChoice{broken, 1}};
    editor->open->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Ok);
    EXPECT_EQ(boxes.shown[0].text.rfind("Error ", 0), 0u) << boxes.shown[0].text;
    EXPECT_NE(boxes.shown[0].text.find(broken), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(endCalls, 0);
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ActiveEntry().FileName, path);
}

// The DXT2/DXT4 warning shows in MsgBox2 until "Never display again this message" is ticked.
TEST_F(FileCommandsTest, PremultipliedWarningShowsUntilSilenced) {
    const std::string path = scratch.File("premultiplied.dds");
    WritePattern(path, D3DFMT_DXT2);
    std::string text, title;
    WhenModal<MsgBox2> warning([&](MsgBox2& box) {
        text = box.Label1->text().toStdString();
        title = box.windowTitle().toStdString();
        EXPECT_EQ(box.Check1->text(), QStringLiteral("Never display again this message"));
        box.Check1->setChecked(true);
        QTest::mouseClick(box.Command1, Qt::LeftButton);
    });
    editor->LoadTexture(path);
    EXPECT_EQ(warning.shown, 1);
    EXPECT_EQ(text, kDxtWarningMessage);
    EXPECT_EQ(title, "DXT2/DXT4 problem !");
    EXPECT_EQ((settings.values[{"Tintora", "MessageBoxes", "DXT"}]), "1");

    // Silenced: straight to the load.
    WhenModal<MsgBox2> none(nullptr);
    editor->LoadTexture(path);
    EXPECT_EQ(none.shown, 0);
    EXPECT_EQ(TextureWindowCount(), 2);
}

// --- New -----------------------------------------------------------------------------------

TEST_F(FileCommandsTest, NewTextureDialogAsDesigned) {
    NewTexture& dialog = files().NewTextureWindow();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("New Texture..."));
    EXPECT_EQ(dialog.Text1->text(), QStringLiteral("256"));
    EXPECT_EQ(dialog.Text2->text(), QStringLiteral("256"));
    EXPECT_EQ(dialog.Command1->text(), QStringLiteral("Create"));
    EXPECT_TRUE(dialog.Command1->isDefault());
    EXPECT_EQ(dialog.Command2->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.Option1->text(), QStringLiteral("Opaque "));
    EXPECT_EQ(dialog.Option2->text(), QStringLiteral("Transparent"));
    EXPECT_EQ(dialog.Option3->text(), QStringLiteral("No alpha layer"));
    EXPECT_TRUE(dialog.Option1->isChecked());
}

// An accepted size is created at once, with the start content of the chosen option.
TEST_F(FileCommandsTest, NewTextureOptionsChooseTheStartContent) {
    Module1().BackgroundColor = 0x00112233u;  // blue 0x11, green 0x22, red 0x33
    const std::uint32_t texels[] = {0xFF332211u, 0x00000000u, 0xFF332211u};
    for (int option = 0; option < 3; ++option) {
        SCOPED_TRACE(option);
        WhenModal<NewTexture> answer([option](NewTexture& dialog) {
            QRadioButton* options[] = {dialog.Option1, dialog.Option2, dialog.Option3};
            options[option]->setChecked(true);
            dialog.Text1->setText(QStringLiteral("8"));
            dialog.Text2->setText(QStringLiteral("4"));
            QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        });
        editor->newtex->trigger();
        EXPECT_EQ(ActiveEntry().Width, 8);
        EXPECT_EQ(ActiveEntry().Height, 4);
        EXPECT_EQ(ArgbOf(*ActiveEntry().Texture)[0], texels[option]);
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(TextureWindowCount(), 3);
    // Without a file name, Save does nothing.
    editor->save->trigger();
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_EQ(StatusLine(), "Idle");
}

// 200 x 100 is offered as 256x128: Yes creates that size and leaves it in the boxes; No keeps
// the user in the dialog with the typed size, and Cancel then creates nothing.
TEST_F(FileCommandsTest, NewTextureSizeQuestion) {
    boxes.yesNoAnswers = {false, true};
    bool visibleAfterNo = false;
    WhenModal<NewTexture> no([&](NewTexture& dialog) {
        dialog.Text1->setText(QStringLiteral("200"));
        dialog.Text2->setText(QStringLiteral("100"));
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        visibleAfterNo = dialog.isVisible() && dialog.Text1->text() == QStringLiteral("200");
        QTest::mouseClick(dialog.Command2, Qt::LeftButton);
    });
    editor->newtex->trigger();
    EXPECT_TRUE(visibleAfterNo);
    EXPECT_EQ(files().NewTextureWindow().Tag, "No");
    EXPECT_EQ(TextureWindowCount(), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::YesNo);
    EXPECT_EQ(boxes.shown[0].caption, "Tintora");
    EXPECT_EQ(boxes.shown[0].text,
              "The texture size must be a power of 2 (like 256x128, 32x128, 512x1024), the "
              "closest valid size would be 256x128");

    WhenModal<NewTexture> yes([](NewTexture& dialog) {
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);  // still 200 x 100
    });
    editor->newtex->trigger();
    ASSERT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ActiveEntry().Width, 256);
    EXPECT_EQ(ActiveEntry().Height, 128);
    NewTexture& dialog = files().NewTextureWindow();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Tag, "Yes");
    EXPECT_EQ(dialog.Text1->text(), QStringLiteral("256"));
    EXPECT_EQ(dialog.Text2->text(), QStringLiteral("128"));
}

// Cancel and Escape only hide the dialog (it keeps the last size) and create nothing; closing by
// the frame unloads it, so the next one starts afresh.
TEST_F(FileCommandsTest, NewTextureCancelEscapeAndClose) {
    const std::function<void(NewTexture&)> cancels[] = {
        [](NewTexture& dialog) { QTest::mouseClick(dialog.Command2, Qt::LeftButton); },
        [](NewTexture& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
    };
    for (const auto& cancel : cancels) {
        WhenModal<NewTexture> answer([&cancel](NewTexture& dialog) {
            dialog.Text1->setText(QStringLiteral("64"));
            cancel(dialog);
        });
        editor->newtex->trigger();
        EXPECT_EQ(files().NewTextureWindow().Text1->text(), QStringLiteral("64"));
    }
    WhenModal<NewTexture> close([](NewTexture& dialog) {
        dialog.Option2->setChecked(true);
        dialog.close();
    });
    editor->newtex->trigger();
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_FALSE(files().NewTextureLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    NewTexture& fresh = files().NewTextureWindow();
    EXPECT_EQ(fresh.Tag, "");
    EXPECT_EQ(fresh.Text1->text(), QStringLiteral("256"));
    EXPECT_TRUE(fresh.Option1->isChecked());
}

// --- Save and Save As ------------------------------------------------------------------------

TEST_F(FileCommandsTest, Form6AsDesigned) {
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

// A DDS file asks the format every time, with the file in the label and the last choice kept;
// each option answers its format ("24 bits format" writes R8G8B8), the cancels "CANCEL".
TEST_F(FileCommandsTest, DdsEndingAsksTheFormatEveryTime) {
    const std::string path = OpenPattern(scratch.File("wall.dds"));
    WhenModal<Form6> twentyFour(Choose(1));
    editor->save->trigger();
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_EQ(exportLabel, " Save texture to : \r\n" + path);
    EXPECT_EQ(StatusLine(), "Texture saved to " + path);
    EXPECT_EQ(Reopen(path)->GetLevelDesc(0).Format, D3DFMT_R8G8B8);

    bool lastChoiceKept = false;
    WhenModal<Form6> again([&](Form6& form) {
        lastChoiceKept = form.Option1[1]->isChecked();
        QTest::mouseClick(form.Command1, Qt::LeftButton);
    });
    editor->save->trigger();
    EXPECT_TRUE(lastChoiceKept);

    const char* answers[] = {"32", "24", "16", "COMP"};
    for (int option = 0; option < 4; ++option) {
        WhenModal<Form6> answer(Choose(option));
        editor->save->trigger();
        EXPECT_EQ(files().Form6Window().Tag, answers[option]);
    }

    // Cancel, Escape and the frame's close write nothing and show "Save cancelled".
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
        WhenModal<Form6> answer(cancel);
        editor->save->trigger();
        EXPECT_EQ(files().Form6Window().Tag, "CANCEL");
        EXPECT_EQ(StatusLine(), "Save cancelled");
        EXPECT_FALSE(files().Form6Window().isVisible());
    }
    EXPECT_EQ(ReadBytes(path), before);
}

// Any other ending goes through the Save dialog, whose filter index picks the kind (1 bitmap,
// 2 DDS through Form6) and whose file name box keeps its last name. The texture's file name and
// title stay; cancelling ends the command silently.
TEST_F(FileCommandsTest, OtherEndingsAskForAFile) {
    const std::string path = OpenPattern(scratch.File("wall.png"));
    const std::string bitmap = scratch.File("out.bmp");
    const std::string dds = scratch.File("out.dds");
    dialogs.fileAnswers = {FileChoice{bitmap, 1}, FileChoice{dds, 2}, std::nullopt};
    editor->save->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "Save texture to...");
    EXPECT_EQ(dialogs.saveRequests[0].filter,
              "Bitmap File|*.bmp|DirectX Texture File|*.dds|Zarvell3D Texture file|*.zvt");
    EXPECT_EQ(Reopen(bitmap)->GetLevelDesc(0).Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(StatusLine(), "Texture saved to " + bitmap);

    WhenModal<Form6> answer(Choose(0));
    editor->save->trigger();
    EXPECT_EQ(dialogs.saveRequests[1].fileName, bitmap);
    EXPECT_EQ(exportLabel, " Save texture to : \r\n" + dds);
    EXPECT_EQ(StatusLine(), "Texture saved to " + dds);
    EXPECT_EQ(ActiveEntry().FileName, path);
    EXPECT_EQ(ActiveEntry().Title, "wall.png");

    editor->save->trigger();
    EXPECT_EQ(dialogs.saveRequests.size(), 3u);
    EXPECT_EQ(StatusLine(), "Texture saved to " + dds);
    EXPECT_TRUE(boxes.shown.empty());
}

// Save As starts on the texture's file; the title follows the chosen file (even when the export
// is cancelled, not for ZVT), the file name stays; from the second use on the dialog asks before
// replacing. Save still writes the texture's own file.
TEST_F(FileCommandsTest, SaveAsChangesTheTitleNotTheFileName) {
    const std::string path = OpenPattern(scratch.File("wall.bmp"));
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
    EXPECT_TRUE(dialogs.saveRequests[1].confirmOverwrite);
    EXPECT_EQ(dialogs.saveRequests[1].fileName, path);
    EXPECT_EQ(ActiveEntry().Title, "new.bmp");

    const std::string other = scratch.File("other.dds");
    dialogs.fileAnswers = {FileChoice{other, 2}};
    WhenModal<Form6> cancel(Choose(-1));
    editor->saveas->trigger();
    EXPECT_EQ(StatusLine(), "Save cancelled");
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(ActiveEntry().Title, "other.dds");

    // ZVT: an OK box tells that it cannot be saved; the status line and the title stay.
    const std::string zvt = scratch.File("level.zvt");
    dialogs.fileAnswers = {FileChoice{zvt, 3}};
    editor->saveas->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Ok);
    EXPECT_NE(boxes.shown[0].text.find(zvt), std::string::npos);
    EXPECT_EQ(StatusLine(), "Save cancelled");
    EXPECT_EQ(ActiveEntry().Title, "other.dds");

    // Save writes the texture's own bitmap at once.
    std::filesystem::remove(path);
    editor->save->trigger();
    EXPECT_EQ(dialogs.saveRequests.size(), 4u);
    EXPECT_EQ(StatusLine(), "Texture saved to " + path);
    EXPECT_EQ(ArgbOf(*Reopen(path)), pixels);
}

// Saves that fail at the disk (full, at the rename, the directory removed): each is reported as
// "Error n: ..." naming the file and the reason, the status line loses the compression's progress,
// and the texture stays open and savable.
TEST_F(FileCommandsTest, FailedSavesAreReported) {
    const std::string folder = scratch.File("maps");
    std::filesystem::create_directory(folder);
    const std::string path = OpenPattern(folder + "/wall.dds");
    const struct {
        const char* reason;
        std::optional<WriteFault> fault;
    } cases[] = {
        {"No space left on device", WriteFault{WriteStage::Write, 100, ENOSPC}},
        {"Permission denied", WriteFault{WriteStage::Rename, 0, EACCES}},
        {"No such file or directory", std::nullopt},  // the directory removed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        if (!c.fault) std::filesystem::remove_all(folder);
        editor->Label1->setText(QStringLiteral("Idle"));
        WhenModal<Form6> answer(Choose(3));
        {
            std::optional<ScopedWriteFault> injected;
            if (c.fault) injected.emplace(*c.fault);
            editor->save->trigger();
        }
        ASSERT_EQ(boxes.shown.size(), 1u);
        const std::string text = boxes.shown[0].text;
        boxes.shown.clear();
        EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_EQ(StatusLine(), "Idle");
        EXPECT_EQ(TextureWindowCount(), 1);
        EXPECT_EQ(ArgbOf(*ActiveEntry().Texture), pixels);
        EXPECT_EQ(endCalls, 0);
    }
    std::filesystem::create_directory(folder);
    WhenModal<Form6> answer(Choose(0));
    editor->save->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(StatusLine(), "Texture saved to " + path);
}

}  // namespace
}  // namespace tintora::testing
