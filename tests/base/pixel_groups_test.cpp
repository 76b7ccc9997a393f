#include "base/pixel_groups.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tintora::testing {
namespace {

using pixel_groups::ForEachPixelGroup;

// Every pixel is handed to the body once; the counter runs from first to 100 in steps, each
// reported on the caller's thread after its pixels are done (counter x pixelsPerStep of them,
// all of them at 100).
TEST(PixelGroups, ReportProgressAfterTheirPixels) {
    const struct {
        std::size_t count, minGroup;
        int first, step;
        std::size_t pixelsPerStep;
    } cases[] = {
        {1000, 1, 1, 1, 10},              // groups of one step each
        {199, 1, 1, 1, 1},                // the last group takes the pixels after step 100
        {100'003, 25'000, 25, 25, 1000},  // large groups skip steps
        {99, 1, 100, 1, 0},               // fewer than 100 pixels: 100 once, at the end
        {0, 1, 100, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<std::atomic<int>> visits(c.count);
        std::atomic<std::size_t> done{0};
        std::vector<int> counters;
        std::vector<std::size_t> doneAtReport;
        bool onCaller = true;
        const auto caller = std::this_thread::get_id();
        ForEachPixelGroup(
            c.count, 16, c.minGroup,
            [&](int counter) {
                counters.push_back(counter);
                doneAtReport.push_back(done.load());
                onCaller = onCaller && std::this_thread::get_id() == caller;
            },
            [&](std::size_t begin, std::size_t end) {
                for (std::size_t p = begin; p < end; ++p)
                    visits[p].fetch_add(1);
                done.fetch_add(end - begin);
            });
        std::vector<int> wantCounters;
        std::vector<std::size_t> wantDone;
        for (int counter = c.first; counter <= 100; counter += c.step) {
            wantCounters.push_back(counter);
            wantDone.push_back(counter == 100 ? c.count : counter * c.pixelsPerStep);
        }
        EXPECT_EQ(counters, wantCounters);
        EXPECT_EQ(doneAtReport, wantDone);
        EXPECT_TRUE(onCaller);
        for (const auto& v : visits)
            ASSERT_EQ(v.load(), 1);
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
