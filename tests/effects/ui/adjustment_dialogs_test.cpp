// The image adjustments in the running editor: the two previewing dialogs (Form2 contrast/
// luminosity, Form8 hue/saturation) with their preview, OK and Cancel, and the commands that run
// at once (invert, auto contrast, equalize). Pixel values are the operations' own: these tests
// check that each control reaches its operation and that the window is redrawn.
#include <tbb/task_arena.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <array>
#include <functional>
#include <vector>

#include "app/editor_fixture.h"
#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/effects_support.h"
#include "effects/hue_saturation.h"
#include "effects/ui/form2.h"
#include "effects/ui/form8.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

class AdjustmentTest : public EditorTest {
  protected:
    // Starts the editor on a width x height photograph-like picture in one texture window and
    // waits until the window has drawn it at its size.
    void Open(int width, int height) {
        Start();
        picture = Photo(width, height);
        document = OpenPng("picture.png", width, height, [&](int x, int y) {
            const std::uint8_t* p = &picture.bytes[4 * (static_cast<std::size_t>(y) * width + x)];
            return std::array<std::uint8_t, 4>{p[0], p[1], p[2], p[3]};
        });
        ASSERT_GT(document, 0);
        window = static_cast<Form1*>(DocumentAt(document).Window);
        ASSERT_TRUE(QTest::qWaitFor([this] {
            return Shown().size() == window->size() &&
                   DocumentAt(document).ChainWidth == window->width() &&
                   DocumentAt(document).ChainHeight == window->height();
        }));
        QTest::qWait(20);
        ASSERT_EQ(MainBytes(), picture.bytes);
    }

    TextureEntry& Entry() const { return TextureAt(DocumentAt(document).TextureIndex); }
    Bytes MainBytes() const { return ReadTexture(*Entry().Texture); }
    Bytes PreviewBytes() const { return ReadTexture(*Entry().PreviewTexture); }
    Bytes PixelBytes() const { return BufferBytes(Entry().Pixels); }
    QImage Shown() const { return window->presentedImage(); }

    Bytes Contrasted(const Bytes& bytes, int contrast, int luminosity) const {
        return Applied(bytes, picture.width, picture.height, [=](PixelView in, PixelView out) {
            AdjustContrastLuminosity(in, out, ContrastFactor(contrast), luminosity);
        });
    }
    Bytes HueSaturated(const Bytes& bytes, int hue, int saturation) const {
        return Applied(bytes, picture.width, picture.height, [=](PixelView in, PixelView out) {
            AdjustHueSaturation(in, out, hue, saturation);
        });
    }

    // Waits until the dialog has no preview running or requested.
    static void Settle(SliderDialog& dialog) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !dialog.scheduler().previewRunning() &&
                       !dialog.scheduler().previewRequested();
            },
            20000));
    }

    // The two dialogs: the command, the adjustment and its last progress text.
    struct DialogCase {
        const char* name;
        QAction* command;
        std::function<Bytes(const Bytes&, int, int)> adjust;
        const char* done;
    };
    std::vector<DialogCase> Dialogs() const {
        return {
            {"Form2", editor->contrastlum,
             [this](const Bytes& b, int c, int l) { return Contrasted(b, c, l); }, "Busy (100%)"},
            {"Form8", editor->huesatu,
             [this](const Bytes& b, int h, int s) { return HueSaturated(b, h, s); },
             "Busy (100 %)"}};
    }

    Image picture{0, 0};
    std::int32_t document = 0;
    Form1* window = nullptr;
};

TEST_F(AdjustmentTest, DialogsHaveTheirCaptionsAndRanges) {
    Open(128, 64);
    const struct {
        QPushButton* button;
        QString title, first, second;
        int firstRange, secondRange;
    } cases[] = {
        {editor->Command2, "adjust contrast/luminosity", "Contrast", "Luminosity", 100, 100},
        {editor->Command5, "Adjust Hue and Saturation", "Hue :", "Saturation", 180, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        WhenModal<SliderDialog> script([&](SliderDialog& form) {
            EXPECT_EQ(form.windowTitle(), c.title);
            EXPECT_EQ(form.Label1->text(), c.first);
            EXPECT_EQ(form.Label2->text(), c.second);
            EXPECT_EQ(form.Command1->text(), QStringLiteral("OK"));
            EXPECT_EQ(form.Command2->text(), QStringLiteral("Cancel"));
            EXPECT_TRUE(form.Command1->isDefault());
            for (QScrollBar* bar : {form.HScroll1, form.HScroll2}) {
                const int range = bar == form.HScroll1 ? c.firstRange : c.secondRange;
                EXPECT_EQ(bar->minimum(), -range);
                EXPECT_EQ(bar->maximum(), range);
                EXPECT_EQ(bar->value(), 0);
                EXPECT_EQ(bar->singleStep(), 1);
                EXPECT_EQ(bar->pageStep(), 1);
            }
        });
        c.button->click();
        EXPECT_EQ(script.shown, 1);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

// Moving the sliders previews in the window only; OK makes the preview the texture, Cancel
// drops it. Two slider changes in a row cost one preview.
TEST_F(AdjustmentTest, PreviewShowsInTheWindowOkKeepsItCancelDropsIt) {
    Open(128, 64);
    for (const DialogCase& d : Dialogs()) {
        for (const bool ok : {false, true}) {
            SCOPED_TRACE(::testing::Message() << d.name << (ok ? " OK" : " Cancel"));
            const Bytes before = MainBytes();
            const QImage shownBefore = Shown();
            const int first = ok ? -30 : 60;
            const int second = ok ? 25 : -40;
            Bytes preview;
            QImage previewShown;
            WhenModal<SliderDialog> script([&](SliderDialog& form) {
                const int started = form.scheduler().previewsStarted();
                form.HScroll1->setValue(first);
                form.HScroll2->setValue(second);
                Settle(form);
                EXPECT_EQ(form.scheduler().previewsStarted() - started, 1);
                preview = PreviewBytes();
                previewShown = Shown();
                EXPECT_EQ(MainBytes(), before);
                EXPECT_EQ(StatusLine(), d.done);
                (ok ? form.Command1 : form.Command2)->click();
            });
            d.command->trigger();
            ASSERT_EQ(script.shown, 1);
            EXPECT_EQ(preview, d.adjust(before, first, second));
            EXPECT_NE(previewShown, shownBefore);
            EXPECT_EQ(MainBytes(), ok ? preview : before);
            EXPECT_EQ(PixelBytes(), ok ? preview : before);
            EXPECT_EQ(Shown(), ok ? previewShown : shownBefore);
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AdjustmentTest, EscapeAndTheCloseBoxCancel) {
    Open(128, 64);
    const QImage shownBefore = Shown();
    for (const DialogCase& d : Dialogs()) {
        for (const bool escape : {true, false}) {
            SCOPED_TRACE(::testing::Message() << d.name << (escape ? " Escape" : " close box"));
            std::string tag = "unset";
            WhenModal<SliderDialog> script([&](SliderDialog& form) {
                form.HScroll2->setValue(form.HScroll2->value() + 40);
                Settle(form);
                EXPECT_NE(Shown(), shownBefore);
                if (escape) {
                    QTest::keyClick(&form, Qt::Key_Escape);
                } else {
                    form.close();
                }
                EXPECT_FALSE(form.isVisible());
                tag = form.Tag;
            });
            d.command->trigger();
            ASSERT_EQ(script.shown, 1);
            // Form2 leaves the answer empty when closed otherwise than by its buttons.
            EXPECT_EQ(tag, escape || d.command == editor->huesatu ? "CANCEL" : "");
            EXPECT_EQ(MainBytes(), picture.bytes);
            EXPECT_EQ(Shown(), shownBefore);
        }
    }
}

// Form2 is made for each command, sliders at 0. OK computes the preview when none has run for
// the final positions: none at all, or one asked for by a move just before Enter.
TEST_F(AdjustmentTest, ContrastDialogIsNewEveryTimeAndOkComputesAMissingPreview) {
    Open(128, 64);
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "moved" : "not moved");
        WhenModal<Form2> script([&](Form2& form) {
            EXPECT_EQ(form.HScroll1->value(), 0);
            EXPECT_EQ(form.HScroll2->value(), 0);
            if (!move) {
                form.Command1->click();
                return;
            }
            form.HScroll1->setValue(100);
            form.HScroll2->setValue(-7);
            QTest::keyClick(form.HScroll1, Qt::Key_Return);
        });
        editor->contrastlum->trigger();
        ASSERT_EQ(script.shown, 1);
        EXPECT_TRUE(editor->findChildren<Form2*>().isEmpty());
        EXPECT_EQ(MainBytes(), move ? Contrasted(picture.bytes, 100, -7) : picture.bytes);
        EXPECT_EQ(StatusLine(), "Busy (100%)");
    }
}

// Form8 is only hidden: it opens again with the sliders where they were left and OK applies that
// adjustment again.
TEST_F(AdjustmentTest, HueSaturationDialogKeepsItsSliders) {
    Open(128, 64);
    for (const int round : {1, 2}) {
        WhenModal<Form8> script([&](Form8& form) {
            if (round == 1) {
                form.HScroll1->setValue(-45);
                form.HScroll2->setValue(30);
                Settle(form);
            }
            EXPECT_EQ(&form, &editor->Form8Window());
            EXPECT_EQ(form.HScroll1->value(), -45);
            EXPECT_EQ(form.HScroll2->value(), 30);
            form.Command1->click();
        });
        editor->huesatu->trigger();
        ASSERT_EQ(script.shown, 1);
        EXPECT_EQ(editor->Form8Window().Tag, "OK");
    }
    EXPECT_EQ(MainBytes(), HueSaturated(HueSaturated(picture.bytes, -45, 30), -45, 30));
}

// The closing buttons pressed while a preview runs (from its pending messages) wait for it:
// nothing that preview draws comes after them. At the preview's first progress text below 100
// the saturation slider moves and OK or Cancel is pressed. The command runs in an arena of two
// threads, so that a 512 x 512 preview reports progress several times whatever the machine.
TEST_F(AdjustmentTest, ClosingDuringAPreviewWaitsForIt) {
    Open(512, 512);
    const QImage shownBefore = Shown();
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        bool pressed = false;
        bool pressedWhileRunning = false;
        WhenModal<Form8> script([&](Form8& form) {
            // At the preview's first progress text below 100: move, then close.
            const auto atProgress = [&](const QString& shown) {
                const std::string text = shown.toStdString();
                if (pressed || text.rfind("Busy (", 0) != 0 || text == "Busy (100 %)") return;
                pressed = true;
                pressedWhileRunning = form.scheduler().previewRunning();
                form.HScroll2->setValue(ok ? -70 : 70);
                (ok ? form.Command1 : form.Command2)->click();
                EXPECT_TRUE(form.isVisible());  // not before the preview has finished
            };
            const auto watch =
                QObject::connect(editor.get(), &MDIForm1::statusTextShown, &form, atProgress);
            form.HScroll1->setValue(ok ? 90 : 45);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 20000));
            QObject::disconnect(watch);
        });
        tbb::task_arena(2).execute([this] { editor->huesatu->trigger(); });
        ASSERT_EQ(script.shown, 1);
        EXPECT_TRUE(pressedWhileRunning);
        EXPECT_EQ(MainBytes(), ok ? HueSaturated(picture.bytes, 90, -70) : picture.bytes);
        EXPECT_EQ(Shown() == shownBefore, !ok);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AdjustmentTest, CommandsRunOnTheActiveTextureByMenuAndByButton) {
    Open(128, 64);
    using Kernel = std::function<void(PixelView, PixelView)>;
    const struct {
        QAction* item;
        QPushButton* button;
        Kernel kernel;
        const char* status;  // the status line after the command
    } cases[] = {
        {editor->invertcolor, editor->Command3,
         [](PixelView in, PixelView out) { InvertColors(in, out); }, "before"},
        {editor->autocontrast, editor->Command1,
         [](PixelView in, PixelView out) { AutoContrast(in, out); }, "Action done..."},
        {editor->equalize, editor->Command4, [](PixelView in, PixelView out) { Equalize(in, out); },
         "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item->text().toStdString());
        for (const bool byButton : {false, true}) {
            const Bytes expected = Applied(MainBytes(), picture.width, picture.height, c.kernel);
            const QImage shownBefore = Shown();
            editor->Label1->setText(QStringLiteral("before"));
            if (byButton) {
                c.button->click();
            } else {
                c.item->trigger();
                EXPECT_NE(Shown(), shownBefore);
            }
            EXPECT_EQ(MainBytes(), expected);
            EXPECT_EQ(PixelBytes(), expected);
            EXPECT_EQ(StatusLine(), c.status);
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AdjustmentTest, NothingHappensWithoutAnActiveTextureWindow) {
    Open(128, 64);
    const QImage shownBefore = Shown();
    // The texture stays open in the table, but no window is active.
    Module1().ActiveWindowIndex = 0;
    editor->Label1->setText(QStringLiteral("before"));
    WhenModal<SliderDialog> anyDialog({});
    for (QAction* item : {editor->contrastlum, editor->huesatu, editor->invertcolor,
                          editor->autocontrast, editor->equalize}) {
        item->trigger();
    }
    for (QPushButton* button : {editor->Command1, editor->Command2, editor->Command3,
                                editor->Command4, editor->Command5}) {
        button->click();
    }
    QTest::qWait(20);
    EXPECT_EQ(anyDialog.shown, 0);
    EXPECT_TRUE(editor->findChildren<SliderDialog*>().isEmpty());
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
    EXPECT_EQ(StatusLine(), "before");
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
