// "&Open" and LoadTexture in the editor: the Open dialog, cancel, the error report of a failed
// load, and the DXT2/DXT4 warning in MsgBox2 with its "Never display again" choice.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "files/ui/msg_box2.h"
#include "files/texture_load.h"
#include "files_ui_fixture.h"

namespace tintora::testing {
namespace {

using Kind = ScriptedMessageBoxes::Shown::Kind;

class OpenCommandTest : public FilesUiTest {};

TEST_F(OpenCommandTest, OpenDialogThenLoad) {
    const std::string path = SamplePath("odd_37x23.bmp");
    dialogs.fileAnswers = {FileChoice{path, 1}};
    editor->open->trigger();
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    const FileDialogRequest& request = dialogs.openRequests[0];
    EXPECT_EQ(request.title, "Load a texture file");
    EXPECT_EQ(
        request.filter,
        "All supported texture types|*.bmp;*.jpg;*.png;*.dds;*.dib;*.tga|All files (*.*)|*.*");
    EXPECT_EQ(request.fileName, "");
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ActiveEntry().FileName, path);
    EXPECT_EQ(ActiveEntry().Title, "odd_37x23.bmp");
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).Window->Caption(), "1-odd_37x23.bmp (37x23)");
    EXPECT_EQ(Module1().LastLoadedTexture, 1);

    // The file name box is emptied before every Open.
    dialogs.fileAnswers = {std::nullopt};
    editor->OpenFile();
    EXPECT_EQ(dialogs.openRequests[1].fileName, "");
}

TEST_F(OpenCommandTest, CancelEndsSilently) {
    dialogs.fileAnswers = {std::nullopt};
    editor->open->trigger();
    EXPECT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(TextureWindowCount(), 0);
    // An empty name loads nothing either.
    dialogs.fileAnswers = {FileChoice{"", 1}};
    editor->open->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(TextureWindowCount(), 0);
}

// A file that cannot be read: "Error <number>: <description>" naming the file, and the editor
// goes on with nothing made for it.
TEST_F(OpenCommandTest, FailedLoadIsReportedAndTheEditorGoesOn) {
    editor->LoadTexture(SamplePath("checker.bmp"));
    ASSERT_EQ(TextureWindowCount(), 1);
    const std::string path = scratch.File("broken.png");
    WriteBytes(path, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0});
    dialogs.fileAnswers = {FileChoice{path, 1}};
    editor->open->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Ok);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("Error ", 0), 0u) << text;
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_EQ(endCalls, 0);
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(Module1().LastLoadedTexture, 1);
    // The earlier window is still the one the editor works on.
    EXPECT_EQ(ActiveEntry().Title, "checker.bmp");
}

// The warning shows in MsgBox2 the first time; after "Never display again this message" it no
// longer shows, and the box keeps the check box's state.
TEST_F(OpenCommandTest, PremultipliedWarningShowsUntilSilenced) {
    // White at alpha 136 (which four bits hold exactly).
    const std::vector<std::uint32_t> pixels(16, 0x88FFFFFFu);
    const std::string path =
        WriteImage("premultiplied.dds", D3DXIFF_DDS, 4, 4, pixels, D3DFMT_DXT2);

    std::string text, title;
    WhenShown<MsgBox2>([&](MsgBox2& box) {
        text = box.Label1->text().toStdString();
        title = box.windowTitle().toStdString();
        EXPECT_FALSE(box.Check1->isChecked());
        EXPECT_EQ(box.Check1->text(), QStringLiteral("Never display again this message"));
        box.Check1->setChecked(true);
        QTest::mouseClick(box.Command1, Qt::LeftButton);
    });
    editor->LoadTexture(path);
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(text, kDxtWarningMessage);
    EXPECT_EQ(title, "DXT2/DXT4 problem !");
    EXPECT_EQ((settings.values[{"Tintora", "MessageBoxes", "DXT"}]), "1");
    ASSERT_EQ(TextureWindowCount(), 1);
    // Every channel 136, alpha round(136 x 136 / 255) = 73.
    EXPECT_EQ(ActiveEntry().Pixels.data()[0], 136);
    EXPECT_EQ(ActiveEntry().Pixels.data()[3], 73);

    // Silenced: straight to the load.
    editor->LoadTexture(path);
    EXPECT_EQ(TextureWindowCount(), 2);
    EXPECT_EQ(answered, 1);

    // Shown again once the setting says so, with the check box as it was left.
    settings.values[{"Tintora", "MessageBoxes", "DXT"}] = "0";
    bool checkedAtShow = false;
    WhenShown<MsgBox2>([&](MsgBox2& box) {
        checkedAtShow = box.Check1->isChecked();
        box.Check1->setChecked(false);
        box.close();
    });
    editor->LoadTexture(path);
    EXPECT_EQ(answered, 2);
    EXPECT_TRUE(checkedAtShow);
    EXPECT_EQ((settings.values[{"Tintora", "MessageBoxes", "DXT"}]), "0");
    EXPECT_EQ(TextureWindowCount(), 3);
}

}  // namespace
}  // namespace tintora::testing
