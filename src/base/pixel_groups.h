// How the whole-texture operations split their work: pixel ranges run in parallel (oneTBB), in
// groups, and the progress counter is reported on the calling thread between groups.
//
// The progress counter follows the per-pixel rule of the operations that show "Busy (n%)": with
// the step s = N \ 100 (integer division), the counter after p pixels is p \ s, never above 100.
// Every group but the last ends on a step boundary and the last ends with the image, so the values
// reported are values that rule produces, strictly increasing, and the last one is 100. A group
// holds enough pixels that starting the parallel loop costs little against its work; where one
// step holds fewer, a group spans several steps and the counter moves on by as many (a fast
// operation on a small image reports few values). With fewer than 100 pixels there is no step;
// the operation then reports 100 once, at the end.
#pragma once

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace tintora {

// Receives the progress counter (1 to 100) on the calling thread, between groups of chunks, while
// no chunk is running. An exception thrown from it stops the operation at that point and
// propagates to the caller; the destination then holds a mix of old and new pixels.
using ProgressFn = std::function<void(int counter)>;

namespace pixel_groups {

// The progress counter after done of count pixels: done \ (count \ 100), at most 100; 100 when
// count is below 100.
int ProgressCounter(std::size_t done, std::size_t count);

// The end (exclusive) of each group of a run over count pixels: ascending, the last is count.
// Every group but the last ends on a progress step and holds at least minGroup pixels.
// Without progress (reportProgress false) the whole run is one group.
std::vector<std::size_t> GroupEnds(std::size_t count, std::size_t minGroup, bool reportProgress);

// Pixels a group should hold for an operation that costs about pixelsPerThreadGroup pixels'
// worth of work per thread before the parallel loop pays for itself: scaled by the threads the
// current arena may use.
std::size_t MinGroupPixels(std::size_t pixelsPerThreadGroup);

// Runs body(begin, end) over the pixel indices [0, count) in parallel chunks of at least grain
// pixels. With a progress function, the chunks run in groups of at least minGroup pixels and the
// counter is reported after each group (see above).
template <typename Body>
void ForEachPixelGroup(std::size_t count, std::size_t grain, std::size_t minGroup,
                       const ProgressFn& progress, const Body& body) {
    std::size_t begin = 0;
    int reported = 0;
    for (const std::size_t end : GroupEnds(count, minGroup, static_cast<bool>(progress))) {
        if (end > begin) {
            tbb::parallel_for(tbb::blocked_range<std::size_t>(begin, end, grain),
                              [&body](const tbb::blocked_range<std::size_t>& range) {
                                  body(range.begin(), range.end());
                              });
        }
        begin = end;
        if (progress) {
            const int counter = ProgressCounter(end, count);
            if (counter > reported) {
                reported = counter;
                progress(counter);
            }
        }
    }
}

}  // namespace pixel_groups
}  // namespace tintora
