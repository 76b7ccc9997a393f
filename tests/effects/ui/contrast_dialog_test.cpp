// "Adjust luminosity/contrast..." in the running editor: the dialog Form2, its live preview, OK
// and Cancel, and a new dialog with sliders at 0 for every command.
#include <QKeyEvent>

#include "adjustment_fixture.h"

namespace tintora::testing {
namespace {

using ContrastDialogTest = AdjustmentTest;

TEST_F(ContrastDialogTest, DialogHasItsCaptionsRangesAndButtons) {
    OpenPicture(128, 64);
    WhenModal<Form2> script([](Form2& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("adjust contrast/luminosity"));
        EXPECT_EQ(form.Label1->text(), QStringLiteral("Contrast"));
        EXPECT_EQ(form.Label2->text(), QStringLiteral("Luminosity"));
        EXPECT_EQ(form.Command1->text(), QStringLiteral("OK"));
        EXPECT_EQ(form.Command2->text(), QStringLiteral("Cancel"));
        EXPECT_TRUE(form.Command1->isDefault());
        for (QScrollBar* bar : {form.HScroll1, form.HScroll2}) {
            EXPECT_EQ(bar->minimum(), -100);
            EXPECT_EQ(bar->maximum(), 100);
            EXPECT_EQ(bar->value(), 0);
            EXPECT_EQ(bar->singleStep(), 1);
            EXPECT_EQ(bar->pageStep(), 1);
        }
        // Tab order: the sliders, then OK, then Cancel.
        EXPECT_EQ(TabOrder(form.HScroll1), (std::vector<QWidget*>{form.HScroll1, form.HScroll2,
                                                                  form.Command1, form.Command2}));
        form.Command2->click();
    });
    editor->contrastlum->trigger();
    EXPECT_EQ(script.shown, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ContrastDialogTest, OkWithoutMovingASliderLeavesTheTextureUnchanged) {
    OpenPicture(128, 64);
    WhenModal<Form2> script([](Form2& form) { form.Command1->click(); });
    editor->contrastlum->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_EQ(PixelBytes(), picture.bytes);
    // The adjustment was computed for the sliders at 0: the preview holds the texture.
    EXPECT_EQ(PreviewPixelBytes(), picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
    EXPECT_EQ(Status(), "Busy (100%)");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ContrastDialogTest, PreviewShowsInTheWindowOnlyAndCancelDropsIt) {
    OpenPicture(128, 64);
    const Bytes garbage(picture.bytes.size(), 0x5A);
    WhenModal<Form2> script([&](Form2& form) {
        form.HScroll1->setValue(60);
        Settle(form);
        // The window shows the preview; the texture and its buffer stay as they were.
        EXPECT_NE(Shown(), shownBefore);
        EXPECT_EQ(PreviewBytes(), Contrasted(picture.bytes, 60, 0));
        EXPECT_EQ(PreviewPixelBytes(), Contrasted(picture.bytes, 60, 0));
        EXPECT_EQ(MainBytes(), picture.bytes);
        EXPECT_EQ(PixelBytes(), picture.bytes);
        EXPECT_EQ(Status(), "Busy (100%)");

        form.HScroll2->setValue(-40);
        Settle(form);
        EXPECT_EQ(PreviewBytes(), Contrasted(picture.bytes, 60, -40));
        // A preview refreshes the buffer from the texture: what it held before does not count.
        std::copy(garbage.begin(), garbage.end(), TextureAt(texture()).Pixels.data());
        form.HScroll2->setValue(-41);
        Settle(form);
        EXPECT_EQ(PixelBytes(), picture.bytes);
        EXPECT_EQ(PreviewBytes(), Contrasted(picture.bytes, 60, -41));
        form.Command2->click();
    });
    editor->contrastlum->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_EQ(PixelBytes(), picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ContrastDialogTest, OkMakesTheFinalPreviewPermanent) {
    OpenPicture(128, 64);
    QImage previewShown;
    WhenModal<Form2> script([&](Form2& form) {
        form.HScroll1->setValue(-30);
        form.HScroll2->setValue(25);
        Settle(form);
        previewShown = Shown();
        form.Command1->click();
    });
    editor->Command2->click();  // the tool button runs the same command
    ASSERT_EQ(script.shown, 1);
    const Bytes expected = Contrasted(picture.bytes, -30, 25);
    EXPECT_EQ(MainBytes(), expected);
    EXPECT_EQ(PixelBytes(), expected);
    // Redrawn from the main texture, which now shows what the preview showed.
    EXPECT_NE(previewShown, shownBefore);
    EXPECT_EQ(Shown(), previewShown);
    EXPECT_EQ(Status(), "Busy (100%)");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ContrastDialogTest, OkRightAfterAMoveUsesTheLastPositions) {
    OpenPicture(128, 64);
    // OK comes before the requested preview could run: the command computes it.
    WhenModal<Form2> script([](Form2& form) {
        form.HScroll1->setValue(100);
        form.HScroll2->setValue(-7);
        form.Command1->click();
    });
    editor->contrastlum->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), Contrasted(picture.bytes, 100, -7));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ContrastDialogTest, EscapeAndTheCloseBoxCancel) {
    OpenPicture(128, 64);
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        std::string tag = "unset";
        WhenModal<Form2> script([&](Form2& form) {
            form.HScroll2->setValue(80);
            Settle(form);
            EXPECT_NE(Shown(), shownBefore);
            if (escape) {
                QTest::keyClick(&form, Qt::Key_Escape);
            } else {
                form.close();
            }
            tag = form.Tag;
        });
        editor->contrastlum->trigger();
        ASSERT_EQ(script.shown, 1);
        EXPECT_EQ(tag, escape ? "CANCEL" : "");
        EXPECT_EQ(MainBytes(), picture.bytes);
        EXPECT_EQ(PixelBytes(), picture.bytes);
        EXPECT_EQ(Shown(), shownBefore);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ContrastDialogTest, EnterIsOk) {
    OpenPicture(128, 64);
    WhenModal<Form2> script([](Form2& form) {
        form.HScroll1->setValue(20);
        QTest::keyClick(form.HScroll1, Qt::Key_Return);
    });
    editor->contrastlum->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), Contrasted(picture.bytes, 20, 0));
}

TEST_F(ContrastDialogTest, EveryCommandOpensANewDialogWithSlidersAtZero) {
    OpenPicture(128, 64);
    Bytes expected = picture.bytes;
    for (const int round : {1, 2}) {
        SCOPED_TRACE(round);
        WhenModal<Form2> script([](Form2& form) {
            EXPECT_EQ(form.HScroll1->value(), 0);
            EXPECT_EQ(form.HScroll2->value(), 0);
            form.HScroll1->setValue(40);
            form.HScroll2->setValue(10);
            Settle(form);
            form.Command1->click();
        });
        editor->contrastlum->trigger();
        ASSERT_EQ(script.shown, 1);
        // Unloaded: no dialog is left behind.
        EXPECT_TRUE(editor->findChildren<Form2*>().isEmpty());
        expected = Contrasted(expected, 40, 10);
        EXPECT_EQ(MainBytes(), expected);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
