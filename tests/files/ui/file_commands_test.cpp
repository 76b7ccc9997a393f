// The File menu in the running editor with its dialogs: MsgBox2, NewTexture, Form6, ExportDialog.
#include "files/ui/file_commands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/editor_fixture.h"
#include "device/d3dx_file.h"
#include "document/history.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "files/ui/export_dialog.h"
#include "files/ui/form6.h"
#include "files/ui/msg_box2.h"
#include "files/ui/new_texture_dialog.h"
#include "imagefiles/file_io.h"
#include "imagefiles/image_file.h"
#include "support/image_test_support.h"

namespace tintora::testing {
namespace {

using Kind = ScriptedMessageBoxes::Shown::Kind;
using Argb = std::vector<std::uint32_t>;
using Strings = std::vector<std::string>;

class FileCommandsTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
    }
    FileCommands& files() { return editor->Files(); }

    // Answers a Form6 with option index (0-3), or with "Cancel" for -1; records its label.
    std::function<void(Form6&)> Choose(int option) {
        return [this, option](Form6& form) {
            exportLabel = form.Label1->text().toStdString();
            exportAlpha = form.Check1->isChecked();
            if (option >= 0) form.Option1[static_cast<std::size_t>(option)]->setChecked(true);
            QTest::mouseClick(option >= 0 ? form.Command1 : form.Command2, Qt::LeftButton);
        };
    }

    // Opens a sample as if read from the scratch file name; returns that file's path.
    std::string OpenAs(const std::string& name) {
        editor->LoadTexture(SamplePath("odd_37x23.bmp"));
        pixels = ArgbOf(*ActiveEntry().Texture);
        return ActiveEntry().FileName = scratch.File(name);
    }
    static std::shared_ptr<Texture> Reopened(const std::string& path) {
        return LoadTexture(*Module1().Device, path);
    }

    Argb pixels;
    std::string exportLabel;
    bool exportAlpha = true;  // "Export Alpha information." as Form6 opened
    ScratchDir scratch;
};

// Captions and start state of the dialogs, and Form6's answer for each button.
TEST_F(FileCommandsTest, DialogsAsDesigned) {
    NewTexture& n = files().NewTextureWindow();
    Form6& f = files().Form6Window();
    std::vector<std::string> shown;
    for (const QString& text :
         {n.windowTitle(), n.Text1->text(), n.Text2->text(), n.Command1->text(), n.Command2->text(),
          n.Option1->text(), n.Option2->text(), n.Option3->text(), f.windowTitle(),
          f.Frame1->title(), f.Option1[0]->text(), f.Option1[1]->text(), f.Option1[2]->text(),
          f.Option1[3]->text(), f.Check1->text(), f.Command1->text(), f.Command2->text()})
        shown.push_back(text.toStdString());
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "New Texture...", "256", "256", "Create", "Cancel", "Opaque ",
                         "Transparent", "No alpha layer", "Export DDS / ZVT",
                         "Format options: ", "32 bits format", "24 bits format", "16 bits format",
                         "Compressed", "Export Alpha information.", "OK", "Cancel"}));
    EXPECT_TRUE(n.Command1->isDefault() && n.Option1->isChecked());
    EXPECT_TRUE(f.Command1->isDefault() && f.Option1[0]->isChecked());
    const char* answers[] = {"32", "24", "16", "COMP"};
    for (std::size_t i = 0; i < 4; ++i) {
        f.Option1[i]->setChecked(true);
        f.Command1->click();
        EXPECT_EQ(f.Tag, answers[i]);
    }
    f.Command2->click();
    EXPECT_EQ(f.Tag, "CANCEL");
}

// Open empties the file name box and loads the chosen file; cancelling or an empty name loads
// nothing. A DXT2/DXT4 file warns until "Never display again this message" is ticked.
TEST_F(FileCommandsTest, OpenLoadsTheChosenFileAndWarnsOfPremultipliedOnes) {
    const std::string dxt2 = scratch.File("premultiplied.dds");
    D3DXSaveSurfaceToFile(dxt2, D3DXIFF_DDS,
                          *Module1().Device->CreateImageSurface(4, 4, D3DFMT_DXT2), nullptr,
                          nullptr);
    dialogs.fileAnswers = {FileChoice{dxt2, 1}, std::nullopt, FileChoice{"", 1},
                           FileChoice{dxt2, 1}};
    WhenModal<MsgBox2> warning([](MsgBox2& box) {
        EXPECT_EQ(box.Label1->text().toStdString(), kDxtWarningMessage);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("DXT2/DXT4 problem !"));
        EXPECT_EQ(box.Check1->text(), QStringLiteral("Never display again this message"));
        box.Check1->setChecked(true);
        QTest::mouseClick(box.Command1, Qt::LeftButton);
    });
    editor->open->trigger();
    EXPECT_EQ(warning.shown, 1);
    WhenModal<MsgBox2> none(nullptr);
    for (int i = 0; i < 3; ++i)
        editor->open->trigger();
    EXPECT_EQ(none.shown, 0);
    const FileDialogRequest& request = dialogs.openRequests.at(1);
    EXPECT_EQ(request.title, "Load a texture file");
    EXPECT_EQ(request.filter, kOpenDialogFilter);
    std::string listed = request.filter;
    std::replace(listed.begin(), listed.end(), '|', ';');
    for (std::string_view ending : kImageFileEndings)  // the files tintora-cli takes
        EXPECT_NE(listed.find("*" + std::string(ending) + ";"), std::string::npos) << ending;
    EXPECT_EQ(request.fileName, "");
    EXPECT_EQ(TextureWindowCount(), 2);
}

// Opening a file that held more than the opened image says so; saving over it asks first: No
// writes nothing, Yes writes, and the file then holds that image alone.
TEST_F(FileCommandsTest, SavingOverAFileThatHeldMoreAsksFirst) {
    const std::string path = scratch.File("sky.dds");
    const FileBytes cube = MakeDds(
        {.flags = 0x21007, .mipCount = 3, .caps2 = 0xFE00, .data = FileBytes(6 * 84, 0x7F)});
    WriteBytes(path, cube);
    editor->LoadTexture(path);
    EXPECT_EQ(StatusLine(), "cube map: face 1 of 6 opened");
    const std::int32_t x = DocumentAt(Module1().ActiveWindowIndex).TextureIndex;
    boxes.yesNoAnswers = {false, true};
    EXPECT_FALSE(files().SaveTextureOf(x));
    EXPECT_EQ(ReadBytes(path), cube);
    WhenModal<Form6> form6(Choose(0));
    EXPECT_TRUE(files().SaveTextureOf(x));
    EXPECT_EQ(ReadBytes(path).size(), 128u + 64u);
    EXPECT_EQ(
        boxes.shown.at(1).text,
        "sky.dds holds 6 faces and 3 mip levels; saving writes only this image. Save anyway?");
    EXPECT_EQ(FileHoldsText(ActiveEntry()), "");
}

// A rounded size is asked about: No keeps the dialog with the typed size, Yes creates the rounded
// one. Cancel only hides the dialog (keeping the size); closing by the frame unloads it.
TEST_F(FileCommandsTest, NewTextureDialogCreatesWhatItShows) {
    WhenModal<NewTexture> create([](NewTexture& dialog) {
        dialog.Option2->setChecked(true);
        dialog.Text1->setText(QStringLiteral("8"));
        dialog.Text2->setText(QStringLiteral("4"));
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    });
    editor->newtex->trigger();
    ASSERT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ArgbOf(*ActiveEntry().Texture), Argb(32, 0x00000000u));

    boxes.yesNoAnswers = {false, true};
    bool keptAfterNo = false;
    WhenModal<NewTexture> no([&](NewTexture& dialog) {
        dialog.Text1->setText(QStringLiteral("200"));
        dialog.Text2->setText(QStringLiteral("100"));
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
        keptAfterNo = dialog.isVisible() && dialog.Text1->text() == QStringLiteral("200");
        QTest::mouseClick(dialog.Command2, Qt::LeftButton);
    });
    editor->newtex->trigger();
    EXPECT_TRUE(keptAfterNo);
    EXPECT_EQ(TextureWindowCount(), 1);
    WhenModal<NewTexture> yes([](NewTexture& d) { QTest::mouseClick(d.Command1, Qt::LeftButton); });
    editor->newtex->trigger();
    EXPECT_EQ(std::pair(ActiveEntry().Width, ActiveEntry().Height), std::pair(256, 128));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::YesNo);
    EXPECT_EQ(boxes.shown[0].caption, "Tintora");
    EXPECT_EQ(boxes.shown[0].text,
              "The texture size must be a power of 2 (like 256x128, 32x128, 512x1024), the "
              "closest valid size would be 256x128");

    WhenModal<NewTexture> close([](NewTexture& dialog) { dialog.close(); });
    editor->newtex->trigger();
    EXPECT_EQ(TextureWindowCount(), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(files().NewTextureWindow().Text2->text(), QStringLiteral("256"));
}

// A DDS file asks its format every time, the last choice kept, "Export Alpha information." checked
// only for a texture with alpha; closing the dialog cancels. A failed write is reported, and the
// status line loses the compression's progress.
TEST_F(FileCommandsTest, SavingADdsFileAsksTheFormatEveryTime) {
    const std::string path = OpenAs("wall.dds");
    WhenModal<Form6> twentyFour(Choose(1));
    editor->save->trigger();
    EXPECT_EQ(exportLabel, " Save texture to : \r\n" + path);
    EXPECT_FALSE(exportAlpha);  // opaque
    EXPECT_EQ(StatusLine(), "Texture saved to " + path);
    EXPECT_EQ(Reopened(path)->GetLevelDesc(0).Format, D3DFMT_R8G8B8);

    const std::vector<std::uint8_t> before = ReadBytes(path);
    bool lastChoiceKept = false;
    ActiveEntry().Pixels[3] = 254;  // one texel not quite opaque
    WhenModal<Form6> close([&](Form6& form) {
        lastChoiceKept = form.Option1[1]->isChecked() && form.Check1->isChecked();
        form.close();
    });
    editor->save->trigger();
    EXPECT_TRUE(lastChoiceKept);
    EXPECT_EQ(StatusLine(), "Save cancelled");
    EXPECT_EQ(ReadBytes(path), before);

    editor->Label1->setText(QStringLiteral("Idle"));
    WhenModal<Form6> compress(Choose(3));
    {
        ScopedWriteFault fault({WriteStage::Write, 100, ENOSPC});
        editor->save->trigger();
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with('"' + path + "\": No space left on device")) << text;
    EXPECT_EQ(StatusLine(), "Idle");
    EXPECT_TRUE(dialogs.saveRequests.empty());
}

// Save As: the typed ending decides the format whatever the filter, a name without one gets the
// filter's, another ending asks; Form6 only for DDS. Each use suggests the name last saved to in
// the folder last used; the title follows the file chosen (also when Form6 is cancelled), the
// file name stays. Save of a texture without a writable file goes through Save As.
TEST_F(FileCommandsTest, SaveAsWritesTheFormatTheNameSays) {
    const std::string path = OpenAs("wall.bmp");
    const std::int32_t x = DocumentAt(Module1().ActiveWindowIndex).TextureIndex;
    ScratchDir saved;
    const std::string zvt = "Tintora cannot write Zarvell3D textures (.zvt): nothing was saved to ";
    const struct {
        const char* typed;
        int filter, choice;   // choice: the answer to the format question
        int form6;            // Form6's option, -1 Cancel, -2 not asked
        const char* written;  // the file chosen, or none
        std::string box;      // the message box shown, or none
    } cases[] = {
        {"a.bmp", 2, -1, -2, "a.bmp", ""},
        {"b.DDS", 1, -1, 0, "b.DDS", ""},
        {"c.Dib", 2, -1, -2, "c.Dib", ""},
        {"d", 2, -1, -1, "d.dds", ""},
        {"e", 1, -1, -2, "e.bmp", ""},
        {"a", 1, -1, -2, "", "a.bmp already exists.\r\nDo you want to replace it?"},
        {"h.png", 1, 1, 0, "h.dds",
         "Tintora writes bitmaps and DirectX textures, not .png files.\r\nSave the texture as "
         "h.bmp or as h.dds?"},
        {"i.tga", 2, 2, -2, "", "Tintora writes bitmaps and DirectX textures, not .tga files."},
        {"g", 3, -1, -2, "", zvt + saved.File("g.zvt")},
        {"f.zvt", 1, -1, -2, "", zvt + saved.File("f.zvt")},
    };
    std::string title = ActiveEntry().Title, suggested = scratch.File(title);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        boxes.shown.clear();
        boxes.choiceAnswers = {c.choice};
        dialogs.fileAnswers = {FileChoice{saved.File(c.typed), c.filter}};
        WhenModal<Form6> form6(Choose(c.form6));
        editor->saveas->trigger();
        EXPECT_EQ(dialogs.saveRequests.back().fileName, suggested);
        EXPECT_EQ(form6.shown, c.form6 == -2 ? 0 : 1);
        EXPECT_EQ(boxes.shown.empty() ? "" : boxes.shown.back().text.substr(0, c.box.size()),
                  c.box);
        if (*c.written != '\0') title = c.written;
        if (*c.written != '\0' && c.form6 != -1) {
            const std::vector<std::uint8_t> bytes = ReadBytes(saved.File(c.written));
            const std::string magic = c.form6 == -2 ? "BM" : "DDS ";
            EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + magic.size()), magic);
        }
        EXPECT_EQ(ActiveEntry().Title, title);
        suggested = saved.File(title);
    }
    EXPECT_EQ(saved.Entries(), (Strings{"a.bmp", "b.DDS", "c.Dib", "e.bmp", "h.dds"}));
    EXPECT_EQ(ArgbOf(*Reopened(saved.File("a.bmp"))), pixels);
    EXPECT_FALSE(dialogs.saveRequests.at(0).confirmOverwrite);
    EXPECT_TRUE(dialogs.saveRequests.at(1).confirmOverwrite);
    EXPECT_EQ(dialogs.saveRequests.at(1).filterIndex, 1);  // the format written
    EXPECT_EQ(ActiveEntry().FileName, path);

    // A PNG's ending is replaced in the suggestion (ZVT's filter selected last: a bitmap's).
    ActiveEntry().Title = "wall.png";
    ActiveEntry().FileName = scratch.File("wall.png");
    EXPECT_FALSE(files().SaveTextureOf(x));  // the dialog cancelled
    EXPECT_EQ(dialogs.saveRequests.back().fileName, saved.File("wall.bmp"));
    dialogs.fileAnswers = {FileChoice{saved.File("wall.bmp"), 2}};
    EXPECT_TRUE(files().SaveTextureOf(x));
    WhenModal<NewTexture> create(
        [](NewTexture& d) { QTest::mouseClick(d.Command1, Qt::LeftButton); });
    editor->newtex->trigger();
    editor->save->trigger();
    EXPECT_EQ(dialogs.saveRequests.back().fileName, saved.File("Untitled"));
}

// Export: the dialog's choices (BC1 with mipmaps and the file's sRGB mark for an opaque texture at
// first; greyed options left out) decide the file's format, mip count and blocks (BC1's
// three-colour ones, BC1a's alpha threshold), a name not ending in .dds gets .dds added, and the
// next showing starts from the last choices. Cancelling either dialog writes nothing; Escape during
// the export leaves the file as it was. The unsaved mark stays.
TEST_F(FileCommandsTest, ExportWritesTheChosenSettings) {
    bool cutout = false;  // a gradient, a black texel in each block; cut out: alpha 199 | 200
    const auto texel = [&cutout](int x, int y) {
        const std::uint8_t lit = x % 4 != 1 || y % 4 != 2, alpha = cutout ? 199 + x / 32 : 255;
        return std::array<std::uint8_t, 4>{std::uint8_t(lit * x * 4), std::uint8_t(lit * y * 8),
                                           std::uint8_t(lit * 9), alpha};
    };
    OpenPng("a.png", 64, 32, texel);
    const std::int32_t x = DocumentAt(Module1().ActiveWindowIndex).TextureIndex;
    MarkModified(x);
    ActiveEntry().FileSrgb = true;
    const auto word = [](const FileBytes& b, std::size_t at) {
        return std::uint32_t(b[at]) | b[at + 1] << 8 | b[at + 2] << 16 |
               std::uint32_t(b[at + 3]) << 24;
    };
    const struct {
        int format;  // -1: as the dialog starts
        bool mipmaps, srgb, dx10;
        const char* typed;
        const char* fourCC;
        std::uint32_t dxgi, levels;
    } cases[] = {
        {-1, false, false, false, "a", "DX10", 72, 7},  // BC1 sRGB
        {3, false, false, false, "t.dds", "DXT1", 0, 1},
        {9, true, false, false, "b.dds", "DX10", 98, 7},
        {6, false, false, false, "c.dds", "DXT5", 0, 1},
        {7, false, true, true, "d.dds", "DX10", 80, 1},
        {4, false, false, false, "h.dds", "DXT1", 0, 1},  // the cut-out from here on
        {6, false, false, false, "f.png", "DXT5", 0, 1},  // written as f.png.dds
        {6, false, false, false, "g.DDS", "DXT5", 0, 1},
        {1, true, true, true, "e.dds", "\0\0\0\0", 0, 7},  // 24 bits: no sRGB, no DX10
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        cutout = c.format == 4;
        if (cutout) OpenPng("cutout.png", 64, 32, texel);
        WhenModal<ExportDialog> dialog([&c](ExportDialog& d) {
            if (c.format >= 0) {
                d.format->setCurrentIndex(c.format);
                d.mipmaps->setChecked(c.mipmaps);
                d.srgb->setChecked(c.srgb);
                d.dx10->setChecked(c.dx10);
                d.quality->setCurrentIndex(1);
                d.mipFilter->setCurrentIndex(2);
                d.alphaThreshold->setValue(200), d.threeColour->setChecked(true);
            }
            QTest::mouseClick(d.exportButton, Qt::LeftButton);
        });
        const bool dds = QString::fromStdString(FileEnding(c.typed)).toLower() == ".dds";
        const std::string path = scratch.File(c.typed) + (dds ? "" : ".dds");
        dialogs.fileAnswers = {FileChoice{scratch.File(c.typed), 1}};
        editor->exporttex->trigger();
        EXPECT_EQ(StatusLine(), "Texture exported to " + path);
        const FileBytes bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 148u);
        EXPECT_EQ(std::string(bytes.begin() + 84, bytes.begin() + 88), std::string(c.fourCC, 4));
        if (c.dxgi != 0) {
            EXPECT_EQ(word(bytes, 128), c.dxgi);
        }
        EXPECT_EQ(std::max(word(bytes, 28), 1u), c.levels);
        bool threeColour = false;  // a BC1 block with colour0 < colour1
        for (std::size_t at = 128; c.format == 3 && at < bytes.size(); at += 8)
            threeColour |= (word(bytes, at) & 0xFFFF) < word(bytes, at) >> 16;
        EXPECT_EQ(threeColour, c.format == 3);
        const Argb argb = c.format == 4 ? ArgbOf(*Reopened(path)) : Argb{};
        for (std::size_t i = 0; i < argb.size(); ++i)
            ASSERT_EQ(argb[i] >> 24, i % 64 < 32 ? 0u : 255u) << i;
    }
    EXPECT_EQ(dialogs.saveRequests.at(1).fileName, scratch.File("a.dds"));

    // Restored; greyed as the format and the mipmaps check say; Cancel, then the Save dialog's.
    std::string greyed;
    WhenModal<ExportDialog> cancel([&greyed](ExportDialog& d) {
        EXPECT_TRUE(d.format->currentIndex() == 1 && d.dx10->isChecked() &&
                    d.quality->currentIndex() == 1 && d.mipFilter->currentIndex() == 2 &&
                    d.alphaThreshold->value() == 200 && d.threeColour->isChecked());
        for (int format : {1, 3, 4, 9, -1}) {
            if (format >= 0)
                d.format->setCurrentIndex(format);
            else
                d.mipmaps->setChecked(false);
            for (QWidget* w :
                 std::initializer_list<QWidget*>{d.quality, d.srgb, d.dx10, d.mipFilter,
                                                 d.alphaCoverage, d.alphaThreshold, d.threeColour})
                greyed += w->isEnabled() ? '+' : '-';
        }
        QTest::mouseClick(d.cancelButton, Qt::LeftButton);
    });
    editor->exporttex->trigger();
    EXPECT_EQ(greyed, "---+---++++--+++++++-++-++--++-----");
    WhenModal<ExportDialog> noFile([](ExportDialog& d) {
        EXPECT_EQ(d.format->currentIndex(), 1);
        d.exportButton->click();
    });
    editor->exporttex->trigger();
    EXPECT_EQ(dialogs.saveRequests.size(), 10u);
    EXPECT_EQ(scratch.Entries().size(), 9u);

    // Quit while it runs waits for it (the file would stay half-written); then Escape.
    const FileBytes before = ReadBytes(scratch.File("c.dds"));
    bool quitTried = false;
    const auto escape = QObject::connect(editor.get(), &MDIForm1::statusTextShown,
                                         [this, &quitTried](const QString& text) {
                                             if (!text.startsWith(QStringLiteral("Busy ("))) return;
                                             if (!std::exchange(quitTried, true))
                                                 editor->quit->trigger();
                                             QTest::keyClick(editor.get(), Qt::Key_Escape);
                                         });
    WhenModal<ExportDialog> go([](ExportDialog& d) { d.exportButton->click(); });
    dialogs.fileAnswers = {FileChoice{scratch.File("c.dds"), 1}};
    editor->exporttex->trigger();
    QObject::disconnect(escape);
    EXPECT_EQ(StatusLine(), "Export cancelled");
    EXPECT_TRUE(quitTried && endCalls == 0 && editor->quitTag == "no");
    EXPECT_EQ(boxes.shown.back().text, kQuitWhileWritingText);
    EXPECT_EQ(ReadBytes(scratch.File("c.dds")), before);
    EXPECT_EQ(scratch.Entries().size(), 9u);
    EXPECT_TRUE(IsModified(x));
}

}  // namespace
}  // namespace tintora::testing
