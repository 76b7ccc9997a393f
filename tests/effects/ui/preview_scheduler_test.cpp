// Live previews run for the newest slider positions only: the scheduler on its own (merging,
// no nesting, closing actions after a running preview, failures), then the dialogs fed with
// slider changes faster than previews can follow.
#include "effects/ui/preview_scheduler.h"

#include <tbb/task_arena.h>

#include <QCoreApplication>
#include <stdexcept>

#include "adjustment_fixture.h"

namespace tintora::testing {
namespace {

class PreviewSchedulerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetModule1();
        Module1().Hooks.MessageBox = [this](const std::string& text) { reports.push_back(text); };
    }
    void TearDown() override { ResetModule1(); }

    static void WaitIdle(PreviewScheduler& scheduler) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !scheduler.previewRunning() && !scheduler.previewRequested(); }));
        QCoreApplication::processEvents();
    }

    QObject owner;
    std::vector<std::string> events;
    std::vector<std::string> reports;
};

TEST_F(PreviewSchedulerTest, RequestsInARowRunOnePreviewLater) {
    PreviewScheduler scheduler([this] { events.push_back("preview"); }, &owner);
    for (int i = 0; i < 50; ++i)
        scheduler.Request();
    // Nothing runs inside the slider's own event.
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(scheduler.previewRequested());
    WaitIdle(scheduler);
    EXPECT_EQ(events, std::vector<std::string>{"preview"});
    EXPECT_EQ(scheduler.previewsStarted(), 1);
}

TEST_F(PreviewSchedulerTest, RequestsDuringAPreviewMergeIntoOneMoreWithoutNesting) {
    int depth = 0;
    int deepest = 0;
    PreviewScheduler* self = nullptr;
    PreviewScheduler scheduler(
        [&] {
            ++depth;
            deepest = std::max(deepest, depth);
            events.push_back("preview");
            if (events.size() == 1) {
                // Slider events arriving in the preview's pending messages.
                for (int i = 0; i < 5; ++i) {
                    self->Request();
                    QCoreApplication::processEvents();
                }
            }
            --depth;
        },
        &owner);
    self = &scheduler;
    scheduler.Request();
    WaitIdle(scheduler);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(deepest, 1);
}

TEST_F(PreviewSchedulerTest, DropForgetsARequestThatHasNotStarted) {
    PreviewScheduler scheduler([this] { events.push_back("preview"); }, &owner);
    scheduler.Request();
    scheduler.Drop();
    QTest::qWait(10);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(scheduler.previewRequested());
}

TEST_F(PreviewSchedulerTest, AnActionFromInsideAPreviewRunsAfterItAndDropsTheRest) {
    PreviewScheduler* self = nullptr;
    PreviewScheduler scheduler(
        [&] {
            events.push_back("preview");
            self->Request();
            self->RunWhenIdle([&] { events.push_back("action"); });
            events.push_back("preview end");
        },
        &owner);
    self = &scheduler;
    scheduler.Request();
    WaitIdle(scheduler);
    EXPECT_EQ(events, (std::vector<std::string>{"preview", "preview end", "action"}));
}

TEST_F(PreviewSchedulerTest, AnActionWhenIdleRunsAtOnceAndHoldsPreviewsOff) {
    PreviewScheduler* self = nullptr;
    PreviewScheduler scheduler([&] { events.push_back("preview"); }, &owner);
    self = &scheduler;
    scheduler.Request();
    scheduler.RunWhenIdle([&] {
        events.push_back("action");
        // A slider moved while the action computes, and a second closing button.
        self->Request();
        QCoreApplication::processEvents();
        self->RunWhenIdle([&] { events.push_back("second action"); });
        QCoreApplication::processEvents();
    });
    EXPECT_EQ(events, std::vector<std::string>{"action"});
    QTest::qWait(10);
    EXPECT_EQ(events, std::vector<std::string>{"action"});
    EXPECT_FALSE(scheduler.previewRequested());
    // The scheduler serves the next opening of the dialog as before.
    scheduler.Request();
    WaitIdle(scheduler);
    EXPECT_EQ(events, (std::vector<std::string>{"action", "preview"}));
}

TEST_F(PreviewSchedulerTest, AFailedPreviewIsReportedAndTheWaitingActionStillRuns) {
    PreviewScheduler* self = nullptr;
    PreviewScheduler scheduler(
        [&] {
            self->RunWhenIdle([&] { events.push_back("action"); });
            throw std::runtime_error("lock failed");
        },
        &owner);
    self = &scheduler;
    scheduler.Request();
    WaitIdle(scheduler);
    EXPECT_EQ(events, std::vector<std::string>{"action"});
    EXPECT_EQ(reports, std::vector<std::string>{"Error: lock failed"});
    // Not stuck: the next request runs.
    scheduler.Request();
    QTest::qWait(10);
    EXPECT_EQ(scheduler.previewsStarted(), 2);
}

// The dialogs in the editor, fed with slider changes faster than previews can follow.
using StalePreviewTest = AdjustmentTest;

TEST_F(StalePreviewTest, ChangesInARowComputeOnePreviewOfTheLastPosition) {
    OpenPicture(128, 64);
    WhenModal<Form2> script([&](Form2& form) {
        const int before = form.scheduler().previewsStarted();
        for (int v = 1; v <= 40; ++v) {
            form.HScroll1->setValue(v);
            form.HScroll2->setValue(-v);
        }
        Settle(form);
        EXPECT_EQ(form.scheduler().previewsStarted() - before, 1);
        EXPECT_EQ(PreviewBytes(), Contrasted(picture.bytes, 40, -40));
        form.Command1->click();
    });
    editor->contrastlum->trigger();
    ASSERT_EQ(script.shown, 1);
    EXPECT_EQ(MainBytes(), Contrasted(picture.bytes, 40, -40));
}

TEST_F(StalePreviewTest, ChangesWhilePreviewsRunAreMergedAndTheLastOneIsShown) {
    OpenPicture(512, 512);
    // The hand moves the slider by one at every progress text of a running preview.
    const auto statusLine = Module1().Hooks.SetStatusText;
    int moves = 0;
    int previews = 0;
    WhenModal<Form8> script([&](Form8& form) {
        const int before = form.scheduler().previewsStarted();
        Module1().Hooks.SetStatusText = [&](const std::string& text) {
            statusLine(text);
            if (moves < 60 && text != "Busy (100 %)") {
                ++moves;
                form.HScroll1->setValue(form.HScroll1->value() + 1);
            }
        };
        form.HScroll1->setValue(1);
        Settle(form);
        Module1().Hooks.SetStatusText = statusLine;
        previews = form.scheduler().previewsStarted() - before;
        EXPECT_EQ(PreviewBytes(), HueSaturated(picture.bytes, 1 + moves, 0));
        EXPECT_EQ(form.HScroll1->value(), 1 + moves);
        form.Command2->click();
    });
    tbb::task_arena(2).execute([this] { editor->huesatu->trigger(); });
    Module1().Hooks.SetStatusText = statusLine;
    ASSERT_EQ(script.shown, 1);
    // Each preview reports progress several times, and all the moves made meanwhile cost one
    // more preview.
    EXPECT_EQ(moves, 60);
    EXPECT_LE(previews, 1 + moves / 3);
    EXPECT_GE(previews, 2);
    EXPECT_EQ(MainBytes(), picture.bytes);
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
