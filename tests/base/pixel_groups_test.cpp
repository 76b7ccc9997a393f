#include "base/pixel_groups.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tintora::testing {
namespace {

using pixel_groups::ForEachPixelGroup;

struct GroupRun {
    std::vector<int> counters;
    std::vector<std::size_t> doneAtReport;  // pixels finished when each counter was reported
    std::vector<int> visits;                // how often each pixel was handed to the body
    bool reportedOnCaller = true;
};

GroupRun RunGroups(std::size_t count, std::size_t minGroup, bool withProgress = true) {
    GroupRun run;
    std::vector<std::atomic<int>> visits(count);
    std::atomic<std::size_t> done{0};
    const auto caller = std::this_thread::get_id();
    ProgressFn progress;
    if (withProgress) {
        progress = [&](int counter) {
            run.counters.push_back(counter);
            run.doneAtReport.push_back(done.load());
            run.reportedOnCaller = run.reportedOnCaller && std::this_thread::get_id() == caller;
        };
    }
    ForEachPixelGroup(count, 16, minGroup, progress, [&](std::size_t begin, std::size_t end) {
        for (std::size_t p = begin; p < end; ++p)
            visits[p].fetch_add(1);
        done.fetch_add(end - begin);
    });
    for (auto& v : visits)
        run.visits.push_back(v.load());
    return run;
}

std::vector<int> OneTo100() {
    std::vector<int> all;
    for (int i = 1; i <= 100; ++i)
        all.push_back(i);
    return all;
}

TEST(PixelGroups, SmallGroupsReportEveryStepAfterItsPixels) {
    // 1000 pixels: step 10; every group ends on a step, after all its pixels are done.
    const GroupRun run = RunGroups(1000, 1);
    EXPECT_EQ(run.counters, OneTo100());
    for (std::size_t i = 0; i < run.counters.size(); ++i) {
        EXPECT_EQ(run.doneAtReport[i], static_cast<std::size_t>(run.counters[i]) * 10);
    }
    EXPECT_EQ(run.visits, std::vector<int>(1000, 1));
    EXPECT_TRUE(run.reportedOnCaller);
}

TEST(PixelGroups, TheLastGroupTakesThePixelsAfterStep100) {
    // 199 pixels: step 1; the counter would pass 100 after pixel 100 and is held there.
    const GroupRun run = RunGroups(199, 1);
    EXPECT_EQ(run.counters, OneTo100());
    EXPECT_EQ(run.doneAtReport.back(), 199u);
    EXPECT_EQ(run.visits, std::vector<int>(199, 1));
}

TEST(PixelGroups, LargeGroupsSkipStepsButEndAt100) {
    const GroupRun run = RunGroups(100'003, 25'000);
    // Step 1000: groups of 25 steps.
    EXPECT_EQ(run.counters, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(run.doneAtReport, (std::vector<std::size_t>{25'000, 50'000, 75'000, 100'003}));
    EXPECT_EQ(run.visits, std::vector<int>(100'003, 1));
}

TEST(PixelGroups, FewerThan100PixelsReport100OnceAtTheEnd) {
    for (std::size_t count : {0u, 1u, 99u}) {
        const GroupRun run = RunGroups(count, 1);
        EXPECT_EQ(run.counters, (std::vector<int>{100})) << count;
        EXPECT_EQ(run.doneAtReport, (std::vector<std::size_t>{count}));
        EXPECT_EQ(run.visits, std::vector<int>(count, 1));
    }
}

TEST(PixelGroups, ExceptionFromProgressStopsTheRun) {
    std::atomic<std::size_t> done{0};
    const auto stop = [](int counter) {
        if (counter == 3) throw std::runtime_error("stale");
    };
    EXPECT_THROW(
        ForEachPixelGroup(1000, 16, 1, stop,
                          [&](std::size_t begin, std::size_t end) { done.fetch_add(end - begin); }),
        std::runtime_error);
    EXPECT_EQ(done.load(), 30u);
}

}  // namespace
}  // namespace tintora::testing
