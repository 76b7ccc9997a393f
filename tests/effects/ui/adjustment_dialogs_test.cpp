// The image adjustments in the running editor: each control reaches its operation and the
// window is redrawn (pixel values are the operations' own); and the dialogs' preview scheduler,
// which runs previews for the newest slider positions only: requests merge, previews never nest,
// closing actions run after a running preview, failures are reported without sticking.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/editor_fixture.h"
#include "effects/effects_support.h"
#include "effects/ui/preview_scheduler.h"
#include "effects/ui/slider_dialog.h"
#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

class AdjustmentTest : public EditorTest {
  protected:
    // The editor on a photograph in one texture window, drawn at the window's size.
    void SetUp() override {
        EditorTest::SetUp();
        Start();
        document = OpenPng("picture.png", 128, 64, [&](int x, int y) {
            const std::uint8_t* p = &picture.bytes[4 * (static_cast<std::size_t>(y) * 128 + x)];
            return std::array<std::uint8_t, 4>{p[0], p[1], p[2], p[3]};
        });
        ASSERT_GT(document, 0);
        window = static_cast<Form1*>(DocumentAt(document).Window);
        ASSERT_TRUE(QTest::qWaitFor([this] {
            return Shown().size() == window->size() &&
                   DocumentAt(document).ChainHeight == window->height();
        }));
        QTest::qWait(20);
    }

    TextureEntry& Entry() const { return TextureAt(DocumentAt(document).TextureIndex); }
    Bytes MainBytes() const { return ReadTexture(*Entry().Texture); }
    QImage Shown() const { return window->presentedImage(); }

    Image picture = Photo(128, 64);
    std::int32_t document = 0;
    Form1* window = nullptr;
};

// Per dialog: what it shows, then three openings. A preview shows in the window only and Escape
// drops it; a preview that Enter (OK) keeps; sliders moved just before Enter, where OK computes
// the preview itself. Form2 opens with its sliders at 0, Form8 where they were left. The status
// line ends on what was done, never on a progress text.
TEST_F(AdjustmentTest, DialogsPreviewThenOkOrCancelAndTheWindowRedraws) {
    const struct {
        QAction* command;
        const char* texts;  // title, labels, buttons
        int firstRange;     // the second slider's is 100
        bool keepsSliders;
        Kernel (*kernel)(int, int);
    } forms[] = {
        {editor->contrastlum, "adjust contrast/luminosity|Contrast|Luminosity|OK|Cancel", 100,
         false, Contrasted},
        {editor->huesatu, "Adjust Hue and Saturation|Hue :|Saturation|OK|Cancel", 180, true,
         HueSaturated},
    };
    const struct {
        int first, second;
        bool settle, ok;
    } rounds[] = {{60, -40, true, false}, {-30, 25, true, true}, {90, -7, false, true}};
    for (const auto& d : forms) {
        std::vector<int> left{0, 0};
        for (const auto& r : rounds) {
            SCOPED_TRACE(::testing::Message() << d.texts << " " << r.first);
            const Bytes before = MainBytes();
            const Bytes adjusted = Applied(before, 128, 64, d.kernel(r.first, r.second));
            const QImage shownBefore = Shown();
            QImage previewShown;
            WhenModal<SliderDialog> script([&](SliderDialog& form) {
                EXPECT_EQ((QStringList{form.windowTitle(), form.Label1->text(), form.Label2->text(),
                                       form.Command1->text(), form.Command2->text()})
                              .join('|'),
                          d.texts);
                const QScrollBar* a = form.HScroll1;
                const QScrollBar* b = form.HScroll2;
                EXPECT_EQ(
                    (std::vector{a->minimum(), a->maximum(), b->minimum(), b->maximum(),
                                 a->singleStep(), a->pageStep(), b->singleStep(), b->pageStep()}),
                    (std::vector{-d.firstRange, d.firstRange, -100, 100, 1, 1, 1, 1}));
                EXPECT_EQ((std::vector{a->value(), b->value()}),
                          (d.keepsSliders ? left : std::vector{0, 0}));
                form.HScroll1->setValue(r.first);
                form.HScroll2->setValue(r.second);
                if (r.settle) {
                    ASSERT_TRUE(QTest::qWaitFor([&] {
                        return !form.scheduler().previewRunning() &&
                               !form.scheduler().previewRequested();
                    }));
                    EXPECT_EQ(ReadTexture(*Entry().PreviewTexture), adjusted);
                    EXPECT_EQ(MainBytes(), before);
                    EXPECT_EQ(StatusLine(), "Preview ready");
                    previewShown = Shown();
                    EXPECT_NE(previewShown, shownBefore);
                }
                QTest::keyClick(&form, r.ok ? Qt::Key_Return : Qt::Key_Escape);
                EXPECT_FALSE(form.isVisible());
            });
            d.command->trigger();
            ASSERT_EQ(script.shown, 1);
            EXPECT_EQ(StatusLine(), r.ok ? "Action finished" : "Preview ready");
            EXPECT_EQ(MainBytes(), r.ok ? adjusted : before);
            EXPECT_EQ(BufferBytes(Entry().Pixels), r.ok ? adjusted : before);
            EXPECT_EQ(Shown() == shownBefore, !r.ok);
            EXPECT_EQ(Shown() == previewShown, r.settle && r.ok);
            left = {r.first, r.second};
        }
    }
}

// The arrow keys move a slider the way they point, its number box follows, and a value typed
// there (then Enter, which also answers OK) moves it. The dialog opens beside the texture window,
// and the next one where the user moved it.
TEST_F(AdjustmentTest, SlidersShowTheirValuesFollowTheKeysAndTheDialogStaysBesideTheTexture) {
    const QWidget* frame = window->parentWidget();
    const QRect texture(frame->mapToGlobal(QPoint(0, 0)), frame->size());
    QPoint moved;
    WhenModal<SliderDialog> first([&](SliderDialog& form) {
        EXPECT_EQ(form.pos(), QPoint(texture.right() + 1, texture.top()));
        const std::pair<Qt::Key, int> keys[] = {
            {Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_Up, 3}, {Qt::Key_Left, 2},
            {Qt::Key_Down, 1}, {Qt::Key_PageUp, 2}, {Qt::Key_End, 100}, {Qt::Key_Home, -100}};
        for (const auto& [key, value] : keys) {
            QTest::keyClick(form.HScroll1, key);
            EXPECT_EQ(std::pair(form.HScroll1->value(), form.Value1->value()), std::pair(value, value))
                << key;
        }
        moved = form.pos() + QPoint(30, 40);
        form.move(moved);
        form.Value2->setFocus();
        form.Value2->selectAll();
        QTest::keyClicks(form.Value2, "-37");
        EXPECT_EQ(form.HScroll2->value(), 0);  // not before it is entered
        QTest::keyClick(form.Value2, Qt::Key_Return);
        EXPECT_EQ(form.HScroll2->value(), -37);
        EXPECT_EQ(form.Tag, "OK");
    });
    editor->contrastlum->trigger();
    ASSERT_EQ(first.shown, 1);
    WhenModal<SliderDialog> second([&](SliderDialog& form) { EXPECT_EQ(form.pos(), moved); });
    editor->contrastlum->trigger();
    EXPECT_EQ(second.shown, 1);
}

// Each command by its menu item and by its tool button; the dialogs' buttons open them.
TEST_F(AdjustmentTest, CommandsRunOnTheActiveTextureByMenuAndByButton) {
    const struct {
        QAction* item;
        QPushButton* button;
        Kernel kernel;
        const char* status;  // the status line after the command
    } cases[] = {
        {editor->invertcolor, editor->Command3, kInverted, "before"},
        {editor->autocontrast, editor->Command1, kAutoContrasted, "Action done..."},
        {editor->equalize, editor->Command4, kEqualized, "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item->text().toStdString());
        for (const bool byButton : {false, true}) {
            const Bytes expected = Applied(MainBytes(), 128, 64, c.kernel);
            const QImage shownBefore = Shown();
            editor->Label1->setText(QStringLiteral("before"));
            byButton ? c.button->click() : c.item->trigger();
            EXPECT_EQ(MainBytes(), expected);
            EXPECT_EQ(BufferBytes(Entry().Pixels), expected);
            EXPECT_TRUE(byButton || Shown() != shownBefore);  // twice may change nothing
            EXPECT_EQ(StatusLine(), c.status);
        }
    }
    for (const auto& [button, name] :
         {std::pair{editor->Command2, "Form2"}, {editor->Command5, "Form8"}}) {
        QString shown;
        WhenModal<SliderDialog> dialog([&](SliderDialog& form) { shown = form.objectName(); });
        button->click();
        EXPECT_EQ(shown, name);
    }
}

using Strings = std::vector<std::string>;

class PreviewSchedulerTest : public ::testing::Test {
  protected:
    // Each preview records "preview" and "end"; the first runs during() in between.
    void Make(std::function<void()> during = {}) {
        sink.messageBox = [this](const std::string& text) { events.push_back("report " + text); };
        s = std::make_unique<PreviewScheduler>(
            [this, during] {
                events.push_back("preview");
                if (events.size() == 1 && during) during();
                events.push_back("end");
            },
            nullptr, &sink);
    }
    void Action() {
        s->RunWhenIdle([this] { events.push_back("action"); });
    }

    // Once idle the events are as expected; then a further request runs one preview.
    void Finish(Strings expected) {
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(
                QTest::qWaitFor([this] { return !s->previewRunning() && !s->previewRequested(); }));
            EXPECT_EQ(events, expected);
            s->Request();
            expected.insert(expected.end(), {"preview", "end"});
        }
    }

    std::unique_ptr<PreviewScheduler> s;
    Strings events;
    RecordingWindows sink;
};

TEST_F(PreviewSchedulerTest, DropForgetsARequestAndRequestsInARowRunOnePreviewLater) {
    Make();
    s->Request();
    s->Drop();
    QTest::qWait(10);
    for (int i = 0; i < 50; ++i)
        s->Request();
    EXPECT_TRUE(events.empty());  // not inside the slider's own event
    Finish({"preview", "end"});
}

TEST_F(PreviewSchedulerTest, RequestsDuringAPreviewMergeIntoOneMoreWithoutNesting) {
    Make([this] {
        for (int i = 0; i < 5; ++i) {
            s->Request();
            QCoreApplication::processEvents();
        }
    });
    s->Request();
    Finish({"preview", "end", "preview", "end"});
}

// Requests around the action are dropped; the failure is reported after the action.
TEST_F(PreviewSchedulerTest, AnActionFromInsideAPreviewWaitsForItEvenAFailingOne) {
    Make([this] {
        s->Request();
        Action();
        s->Request();
        events.push_back("failing");
        throw std::runtime_error("lock failed");
    });
    s->Request();
    Finish({"preview", "failing", "action", "report Error: lock failed"});
}

TEST_F(PreviewSchedulerTest, AnActionWhenIdleRunsAtOnceHoldingOffPreviewsAndOtherActions) {
    Make();
    s->Request();
    s->RunWhenIdle([this] {
        events.push_back("action");
        s->Request();
        QCoreApplication::processEvents();
        Action();
        QCoreApplication::processEvents();
    });
    EXPECT_EQ(events, Strings{"action"});
    Finish({"action"});
}

}  // namespace
}  // namespace tintora::testing
