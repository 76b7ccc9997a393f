// Live previews run for the newest slider positions only: requests merge, previews never nest,
// closing actions run after a running preview, and failures are reported without sticking.
#include "effects/ui/preview_scheduler.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/module1.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;

class PreviewSchedulerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetModule1();
        sink.messageBox = [this](const std::string& text) { reports.push_back(text); };
    }
    void TearDown() override { ResetModule1(); }

    // A scheduler whose preview records "preview" and then runs during().
    PreviewScheduler& Make(std::function<void()> during = {}) {
        scheduler = std::make_unique<PreviewScheduler>(
            [this, during] {
                events.push_back("preview");
                if (during) during();
            },
            &owner, &sink);
        return *scheduler;
    }

    void WaitIdle() {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !scheduler->previewRunning() && !scheduler->previewRequested(); }));
        QCoreApplication::processEvents();
    }

    QObject owner;
    std::unique_ptr<PreviewScheduler> scheduler;
    Strings events;
    Strings reports;
    RecordingWindows sink;
};

TEST_F(PreviewSchedulerTest, RequestsInARowRunOnePreviewLaterAndDropForgetsThem) {
    PreviewScheduler& s = Make();
    for (int i = 0; i < 50; ++i)
        s.Request();
    // Nothing runs inside the slider's own event.
    EXPECT_TRUE(events.empty());
    WaitIdle();
    EXPECT_EQ(events, Strings{"preview"});
    EXPECT_EQ(s.previewsStarted(), 1);

    s.Request();
    s.Drop();
    QTest::qWait(10);
    EXPECT_EQ(s.previewsStarted(), 1);
    EXPECT_FALSE(s.previewRequested());
}

TEST_F(PreviewSchedulerTest, RequestsDuringAPreviewMergeIntoOneMoreWithoutNesting) {
    int depth = 0;
    int deepest = 0;
    PreviewScheduler& s = Make([&] {
        deepest = std::max(deepest, ++depth);
        if (events.size() == 1) {
            // Slider events arriving in the preview's pending messages.
            for (int i = 0; i < 5; ++i) {
                scheduler->Request();
                QCoreApplication::processEvents();
            }
        }
        --depth;
    });
    s.Request();
    WaitIdle();
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(deepest, 1);
}

TEST_F(PreviewSchedulerTest, AnActionFromInsideAPreviewRunsAfterItAndDropsTheRest) {
    PreviewScheduler& s = Make([&] {
        scheduler->Request();
        scheduler->RunWhenIdle([&] { events.push_back("action"); });
        events.push_back("preview end");
    });
    s.Request();
    WaitIdle();
    EXPECT_EQ(events, (Strings{"preview", "preview end", "action"}));
}

TEST_F(PreviewSchedulerTest, AnActionWhenIdleRunsAtOnceAndHoldsPreviewsOff) {
    PreviewScheduler& s = Make();
    s.Request();
    s.RunWhenIdle([&] {
        events.push_back("action");
        // A slider moved while the action computes, and a second closing button.
        s.Request();
        QCoreApplication::processEvents();
        s.RunWhenIdle([&] { events.push_back("second action"); });
        QCoreApplication::processEvents();
    });
    EXPECT_EQ(events, Strings{"action"});
    QTest::qWait(10);
    EXPECT_EQ(events, Strings{"action"});
    EXPECT_FALSE(s.previewRequested());
    // The scheduler serves the next opening of the dialog as before.
    s.Request();
    WaitIdle();
    EXPECT_EQ(events, (Strings{"action", "preview"}));
}

TEST_F(PreviewSchedulerTest, AFailedPreviewIsReportedAndTheWaitingActionStillRuns) {
    PreviewScheduler& s = Make([&] {
        scheduler->RunWhenIdle([&] { events.push_back("action"); });
        throw std::runtime_error("lock failed");
    });
    s.Request();
    WaitIdle();
    EXPECT_EQ(events, (Strings{"preview", "action"}));
    EXPECT_EQ(reports, Strings{"Error: lock failed"});
    // Not stuck: the next request runs.
    s.Request();
    QTest::qWait(10);
    EXPECT_EQ(s.previewsStarted(), 2);
}

}  // namespace
}  // namespace tintora::testing
