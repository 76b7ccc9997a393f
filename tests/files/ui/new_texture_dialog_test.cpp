// "&New": the NewTexture dialog's question box, its answers and the start content it chooses.
#include "files/ui/new_texture_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "files_ui_fixture.h"

namespace tintora::testing {
namespace {

using Kind = ScriptedMessageBoxes::Shown::Kind;

class NewTextureDialogTest : public FilesUiTest {
  protected:
    // Types the size into the dialog and presses "Create".
    static void TypeAndCreate(NewTexture& dialog, const char* width, const char* height) {
        dialog.Text1->setText(QString::fromLatin1(width));
        dialog.Text2->setText(QString::fromLatin1(height));
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    }

    int EntriesInUse() const {
        int count = 0;
        for (const TextureEntry& e : Module1().TextureTable)
            count += e.InUse ? 1 : 0;
        return count;
    }
};

TEST_F(NewTextureDialogTest, DialogAsDesigned) {
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

TEST_F(NewTextureDialogTest, AcceptedSizeIsCreatedWithoutAQuestion) {
    WhenShown<NewTexture>([](NewTexture& dialog) { TypeAndCreate(dialog, "256", "256"); });
    editor->newtex->trigger();
    EXPECT_EQ(answered, 1);
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(TextureWindowCount(), 1);
    const TextureEntry& entry = ActiveEntry();
    EXPECT_EQ(entry.Width, 256);
    EXPECT_EQ(entry.Height, 256);
    EXPECT_EQ(entry.Title, "Untitled");
    EXPECT_EQ(entry.FileName, "");
}

// 200 x 100 is offered as 256x128; Yes creates that and leaves it in the boxes.
TEST_F(NewTextureDialogTest, QuestionAnsweredYes) {
    boxes.yesNoAnswers = {true};
    WhenShown<NewTexture>([](NewTexture& dialog) { TypeAndCreate(dialog, "200", "100"); });
    editor->newtex->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::YesNo);
    EXPECT_EQ(boxes.shown[0].caption, "Tintora");
    EXPECT_EQ(boxes.shown[0].text,
              "The texture size must be a power of 2 (like 256x128, 32x128, 512x1024), the "
              "closest valid size would be 256x128");
    ASSERT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(ActiveEntry().Width, 256);
    EXPECT_EQ(ActiveEntry().Height, 128);
    NewTexture& dialog = files().NewTextureWindow();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Tag, "Yes");
    EXPECT_EQ(dialog.Text1->text(), QStringLiteral("256"));
    EXPECT_EQ(dialog.Text2->text(), QStringLiteral("128"));
}

// No keeps the user in the dialog with the typed size; Cancel then creates nothing.
TEST_F(NewTextureDialogTest, QuestionAnsweredNoStaysInTheDialog) {
    boxes.yesNoAnswers = {false};
    bool visibleAfterNo = false;
    QString widthAfterNo, heightAfterNo;
    WhenShown<NewTexture>([&](NewTexture& dialog) {
        TypeAndCreate(dialog, "200", "100");
        visibleAfterNo = dialog.isVisible();
        widthAfterNo = dialog.Text1->text();
        heightAfterNo = dialog.Text2->text();
        QTest::mouseClick(dialog.Command2, Qt::LeftButton);
    });
    editor->newtex->trigger();
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(visibleAfterNo);
    EXPECT_EQ(widthAfterNo, QStringLiteral("200"));
    EXPECT_EQ(heightAfterNo, QStringLiteral("100"));
    EXPECT_EQ(files().NewTextureWindow().Tag, "No");
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_EQ(EntriesInUse(), 0);
}

// "Cancel" after a creation answers "No": no second texture. Escape is "Cancel".
TEST_F(NewTextureDialogTest, CancelAndEscapeCreateNothing) {
    WhenShown<NewTexture>([](NewTexture& dialog) { TypeAndCreate(dialog, "64", "32"); });
    editor->newtex->trigger();
    ASSERT_EQ(TextureWindowCount(), 1);

    WhenShown<NewTexture>(
        [](NewTexture& dialog) { QTest::mouseClick(dialog.Command2, Qt::LeftButton); });
    editor->newtex->trigger();
    WhenShown<NewTexture>([](NewTexture& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    editor->newtex->trigger();
    EXPECT_EQ(answered, 3);
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(EntriesInUse(), 1);
    // The dialog was only hidden: it shows the last size.
    EXPECT_EQ(files().NewTextureWindow().Text1->text(), QStringLiteral("64"));
}

// Closing by the frame creates nothing and unloads the dialog: the next one starts afresh.
TEST_F(NewTextureDialogTest, ClosingByTheFrameCreatesNothing) {
    WhenShown<NewTexture>([](NewTexture& dialog) {
        dialog.Text1->setText(QStringLiteral("64"));
        dialog.Option2->setChecked(true);
        dialog.close();
    });
    editor->newtex->trigger();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_FALSE(files().NewTextureLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    NewTexture& fresh = files().NewTextureWindow();
    EXPECT_EQ(fresh.Tag, "");
    EXPECT_EQ(fresh.Text1->text(), QStringLiteral("256"));
    EXPECT_TRUE(fresh.Option1->isChecked());
}

// The alpha options choose the start content: the background colour, opaque, or transparent
// black.
TEST_F(NewTextureDialogTest, AlphaOptionsFillTheTexture) {
    Module1().BackgroundColor = 0x00112233u;  // blue 0x11, green 0x22, red 0x33
    const struct {
        int option;
        std::uint32_t texel;
    } cases[] = {{1, 0xFF332211u}, {2, 0x00000000u}, {3, 0xFF332211u}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        WhenShown<NewTexture>([&c](NewTexture& dialog) {
            QRadioButton* options[] = {dialog.Option1, dialog.Option2, dialog.Option3};
            options[c.option - 1]->setChecked(true);
            TypeAndCreate(dialog, "8", "4");
        });
        editor->newtex->trigger();
        const TextureEntry& entry = ActiveEntry();
        ASSERT_EQ(entry.Width, 8);
        const std::vector<std::uint32_t> want(32, c.texel);
        EXPECT_EQ(ArgbOf(*entry.Texture), want);
        std::vector<std::uint32_t> buffer(32);
        std::memcpy(buffer.data(), entry.Pixels.data(), 128);
        EXPECT_EQ(buffer, want);
    }
    EXPECT_EQ(TextureWindowCount(), 3);
}

}  // namespace
}  // namespace tintora::testing
