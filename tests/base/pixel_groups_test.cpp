#include "base/pixel_groups.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tintora::testing {
namespace {

using pixel_groups::ForEachPixelGroup;

// The counter runs from first to 100 in steps, each reported on the caller's thread after its
// pixels are done (counter x pixelsPerStep of them, every pixel once at 100).
TEST(PixelGroups, ReportProgressAfterTheirPixelsAndStopOnItsException) {
    const struct {
        std::size_t count, minGroup, first, step, pixelsPerStep;
    } cases[] = {
        {199, 1, 1, 1, 1},                // the last group takes the pixels after step 100
        {100'003, 25'000, 25, 25, 1000},  // large groups skip steps
        {99, 1, 100, 1, 0},               // fewer than 100 pixels: 100 once, at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        std::atomic<std::size_t> done{0};
        std::vector<std::size_t> reports, want;  // counter, pixels done when reported
        const auto caller = std::this_thread::get_id();
        const auto progress = [&](int counter) {
            reports.insert(reports.end(), {std::size_t(counter), done.load()});
            EXPECT_EQ(std::this_thread::get_id(), caller);
        };
        ForEachPixelGroup(c.count, 16, c.minGroup, progress,
                          [&](std::size_t begin, std::size_t end) { done.fetch_add(end - begin); });
        for (std::size_t n = c.first; n <= 100; n += c.step)
            want.insert(want.end(), {n, n == 100 ? c.count : n * c.pixelsPerStep});
        EXPECT_EQ(reports, want);
    }
    // An exception from the progress call stops the run there.
    std::atomic<std::size_t> done{0};
    const auto stop = [](int counter) {
        if (counter == 3) throw std::runtime_error("stale");
    };
    EXPECT_THROW(
        ForEachPixelGroup(1000, 16, 1, stop,
                          [&](std::size_t begin, std::size_t end) { done += end - begin; }),
        std::runtime_error);
    EXPECT_EQ(done.load(), 30u);
}

}  // namespace
}  // namespace tintora::testing
