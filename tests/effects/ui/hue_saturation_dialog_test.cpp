// "Adjust hue/saturation..." in the running editor: the dialog Form8, its live preview, OK and
// Cancel, the sliders keeping their places, and the closing buttons pressed while a preview
// is still being computed.
#include <tbb/task_arena.h>

#include <QKeyEvent>

#include "adjustment_fixture.h"

namespace tintora::testing {
namespace {

using HueSaturationDialogTest = AdjustmentTest;

TEST_F(HueSaturationDialogTest, DialogHasItsCaptionsRangesAndButtons) {
    OpenPicture(128, 64);
    WhenModal<Form8> script([](Form8& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Adjust Hue and Saturation"));
        EXPECT_EQ(form.Label1->text(), QStringLiteral("Hue :"));
        EXPECT_EQ(form.Label2->text(), QStringLiteral("Saturation"));
        EXPECT_EQ(form.Command1->text(), QStringLiteral("OK"));
        EXPECT_EQ(form.Command2->text(), QStringLiteral("Cancel"));
        EXPECT_TRUE(form.Command1->isDefault());
        EXPECT_EQ(form.HScroll1->minimum(), -180);
        EXPECT_EQ(form.HScroll1->maximum(), 180);
        EXPECT_EQ(form.HScroll2->minimum(), -100);
        EXPECT_EQ(form.HScroll2->maximum(), 100);
        for (QScrollBar* bar : {form.HScroll1, form.HScroll2}) {
            EXPECT_EQ(bar->value(), 0);
            EXPECT_EQ(bar->singleStep(), 1);
            EXPECT_EQ(bar->pageStep(), 1);
        }
        // Tab order: Cancel, OK, saturation, hue.
        EXPECT_EQ(TabOrder(form.Command2), (std::vector<QWidget*>{form.Command2, form.Command1,
                                                                  form.HScroll2, form.HScroll1}));
        form.Command2->click();
    });
    editor->huesatu->trigger();
    EXPECT_EQ(script.shown, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HueSaturationDialogTest, OkWithoutMovingASliderLeavesTheTextureUnchanged) {
    OpenPicture(128, 64);
    WhenModal<Form8> script([](Form8& form) { form.Command1->click(); });
    editor->huesatu->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_EQ(PixelBytes(), picture.bytes);
    EXPECT_EQ(PreviewBytes(), picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
    // Hue/saturation's progress text has a blank before the percent sign.
    EXPECT_EQ(Status(), "Busy (100 %)");
    EXPECT_FALSE(editor->Form8Window().isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HueSaturationDialogTest, PreviewShowsInTheWindowOnlyAndCancelDropsIt) {
    OpenPicture(128, 64);
    WhenModal<Form8> script([&](Form8& form) {
        form.HScroll1->setValue(120);
        Settle(form);
        EXPECT_NE(Shown(), shownBefore);
        EXPECT_EQ(PreviewBytes(), HueSaturated(picture.bytes, 120, 0));
        EXPECT_EQ(MainBytes(), picture.bytes);
        EXPECT_EQ(PixelBytes(), picture.bytes);
        EXPECT_EQ(Status(), "Busy (100 %)");
        form.HScroll2->setValue(-60);
        Settle(form);
        EXPECT_EQ(PreviewBytes(), HueSaturated(picture.bytes, 120, -60));
        form.Command2->click();
    });
    editor->Command5->click();  // the tool button runs the same command
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_EQ(PixelBytes(), picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
    EXPECT_EQ(editor->Form8Window().Tag, "CANCEL");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HueSaturationDialogTest, OkMakesItPermanentAndTheSlidersKeepTheirPlaces) {
    OpenPicture(128, 64);
    QImage previewShown;
    WhenModal<Form8> first([&](Form8& form) {
        form.HScroll1->setValue(-45);
        form.HScroll2->setValue(30);
        Settle(form);
        previewShown = Shown();
        form.Command1->click();
    });
    editor->huesatu->trigger();
    ASSERT_EQ(first.shown, 1);
    const Bytes once = HueSaturated(picture.bytes, -45, 30);
    EXPECT_EQ(MainBytes(), once);
    EXPECT_EQ(PixelBytes(), once);
    EXPECT_EQ(PreviewBytes(), once);
    EXPECT_EQ(Shown(), previewShown);
    EXPECT_EQ(editor->Form8Window().Tag, "OK");

    // The same dialog again, sliders where they were left; OK applies that adjustment again.
    Form8* dialog = &editor->Form8Window();
    WhenModal<Form8> second([&](Form8& form) {
        EXPECT_EQ(&form, dialog);
        EXPECT_EQ(form.HScroll1->value(), -45);
        EXPECT_EQ(form.HScroll2->value(), 30);
        form.Command1->click();
    });
    editor->huesatu->trigger();
    ASSERT_EQ(second.shown, 1);
    EXPECT_EQ(MainBytes(), HueSaturated(once, -45, 30));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HueSaturationDialogTest, EscapeAndTheCloseBoxCancelAndKeepTheSliders) {
    OpenPicture(128, 64);
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        WhenModal<Form8> script([&](Form8& form) {
            form.HScroll2->setValue(form.HScroll2->value() + 50);
            Settle(form);
            EXPECT_NE(Shown(), shownBefore);
            if (escape) {
                QTest::keyClick(&form, Qt::Key_Escape);
            } else {
                form.close();
            }
            EXPECT_FALSE(form.isVisible());
        });
        editor->huesatu->trigger();
        ASSERT_EQ(script.shown, 1);
        EXPECT_EQ(MainBytes(), picture.bytes);
        EXPECT_EQ(Shown(), shownBefore);
    }
    EXPECT_EQ(editor->Form8Window().HScroll2->value(), 100);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HueSaturationDialogTest, AHiddenDialogPreviewsNothing) {
    OpenPicture(128, 64);
    WhenModal<Form8> script([](Form8& form) { form.Command2->click(); });
    editor->huesatu->trigger();
    ASSERT_EQ(script.shown, 1);
    Form8& form = editor->Form8Window();
    const Bytes preview = PreviewBytes();
    form.HScroll1->setValue(33);
    QTest::qWait(20);
    EXPECT_EQ(form.scheduler().previewsStarted(), 0);
    EXPECT_EQ(PreviewBytes(), preview);
    EXPECT_EQ(Shown(), shownBefore);
}

// The closing buttons pressed while a preview runs (from its pending messages) wait for it:
// nothing that preview draws comes after them.
class ClosingDuringAPreview : public AdjustmentTest {
  protected:
    // Opens the dialog, moves the hue slider and, at the preview's first progress text below
    // 100, moves the saturation slider and presses OK or Cancel (in the preview's pending
    // messages). The command runs in an arena of two threads, so that a 512 x 512 preview
    // reports progress several times whatever the machine.
    void PressDuringPreview(bool ok) {
        OpenPicture(512, 512);
        const auto statusLine = Module1().Hooks.SetStatusText;
        bool pressed = false;
        bool pressedWhileRunning = false;
        WhenModal<Form8> script([&](Form8& form) {
            Module1().Hooks.SetStatusText = [&](const std::string& text) {
                statusLine(text);
                if (pressed || text.rfind("Busy (", 0) != 0 || text == "Busy (100 %)") return;
                pressed = true;
                pressedWhileRunning = form.scheduler().previewRunning();
                form.HScroll2->setValue(-70);
                (ok ? form.Command1 : form.Command2)->click();
                EXPECT_TRUE(form.isVisible());  // not before the preview has finished
            };
            form.HScroll1->setValue(90);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 20000));
        });
        tbb::task_arena(2).execute([this] { editor->huesatu->trigger(); });
        Module1().Hooks.SetStatusText = statusLine;
        ASSERT_EQ(script.shown, 1);
        EXPECT_TRUE(pressed);
        EXPECT_TRUE(pressedWhileRunning);
        EXPECT_TRUE(boxes.shown.empty());
    }
};

TEST_F(ClosingDuringAPreview, CancelLeavesTheWindowShowingTheTexture) {
    PressDuringPreview(false);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_EQ(PixelBytes(), picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
}

TEST_F(ClosingDuringAPreview, OkAppliesTheFinalPositions) {
    PressDuringPreview(true);
    const Bytes expected = HueSaturated(picture.bytes, 90, -70);
    EXPECT_EQ(MainBytes(), expected);
    EXPECT_EQ(PixelBytes(), expected);
    EXPECT_EQ(PreviewBytes(), expected);
    EXPECT_NE(Shown(), shownBefore);
}

}  // namespace
}  // namespace tintora::testing
