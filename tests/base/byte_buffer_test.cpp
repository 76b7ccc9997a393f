// Large blocks are kept for reuse when freed: a buffer that must start cleared is cleared even
// when its memory comes back dirty.
#include "base/byte_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tintora::testing {
namespace {

TEST(ByteBuffer, ZeroedBytesAreZeroWhateverTheMemoryHeldBefore) {
    for (const std::size_t bytes :
         {std::size_t{1000}, kPagedBytes, kLargeBlockBytes, kLargeBlockBytes + 12345}) {
        SCOPED_TRACE(bytes);
        for (int round = 0; round < 3; ++round) {
            // PagedBytes of the same length, then the zeroed buffer, may get the block just freed.
            {
                ByteBuffer dirty = PagedBytes(bytes);
                std::fill(dirty.begin(), dirty.end(), 0xAB);
            }
            ByteBuffer zeroed = ZeroedBytes(bytes);
            ASSERT_EQ(zeroed.size(), bytes);
            EXPECT_TRUE(
                std::all_of(zeroed.begin(), zeroed.end(), [](std::uint8_t b) { return b == 0; }));
            std::fill(zeroed.begin(), zeroed.end(), 0xCD);
        }
    }
}

}  // namespace
}  // namespace tintora::testing
