#include "base/pixel_groups.h"

#include <tbb/task_arena.h>

#include <algorithm>

namespace tintora::pixel_groups {

namespace {
constexpr std::size_t kCounterSteps = 100;
}

int ProgressCounter(std::size_t done, std::size_t count) {
    const std::size_t step = count / kCounterSteps;
    if (step == 0) return static_cast<int>(kCounterSteps);
    return static_cast<int>(std::min(done / step, kCounterSteps));
}

std::vector<std::size_t> GroupEnds(std::size_t count, std::size_t minGroup, bool reportProgress) {
    const std::size_t step = count / kCounterSteps;
    if (!reportProgress || step == 0) return {count};
    const std::size_t stepsPerGroup = std::max<std::size_t>(1, (minGroup + step - 1) / step);
    std::vector<std::size_t> ends;
    for (std::size_t steps = stepsPerGroup; steps < kCounterSteps; steps += stepsPerGroup) {
        ends.push_back(steps * step);
    }
    // The last group takes the pixels after the last full step as well.
    ends.push_back(count);
    return ends;
}

std::size_t MinGroupPixels(std::size_t pixelsPerThreadGroup) {
    const int threads = std::max(1, tbb::this_task_arena::max_concurrency());
    return pixelsPerThreadGroup * static_cast<std::size_t>(threads);
}

}  // namespace tintora::pixel_groups
