#include "base/byte_buffer.h"

#include <sys/mman.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace tintora {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

// Freed large blocks kept for the next block of the same length: the files of a folder, the
// frames of a preview and a reopened texture then reuse memory that is already paged in instead
// of having the kernel clear fresh pages, which costs as much as reading the file. The most
// recently freed are kept, within both bounds.
constexpr std::size_t kKeptBlocks = 4;
constexpr std::size_t kKeptBytes = std::size_t{256} << 20;

class KeptBlocks {
  public:
    // A kept block of exactly length bytes, or null.
    void* Take(std::size_t length) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it) {
            if (it->length != length) continue;
            void* block = it->block;
            bytes_ -= length;
            blocks_.erase(std::next(it).base());
            return block;
        }
        return nullptr;
    }

    // Keeps block, giving back to the system the oldest kept ones beyond the bounds.
    void Keep(void* block, std::size_t length) {
        std::vector<Block> dropped;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            blocks_.push_back({block, length});
            bytes_ += length;
            while (blocks_.size() > kKeptBlocks || bytes_ > kKeptBytes) {
                dropped.push_back(blocks_.front());
                bytes_ -= blocks_.front().length;
                blocks_.erase(blocks_.begin());
            }
        }
        for (const Block& b : dropped)
            ::munmap(b.block, b.length);
    }

  private:
    struct Block {
        void* block;
        std::size_t length;
    };
    std::mutex mutex_;
    std::vector<Block> blocks_;
    std::size_t bytes_ = 0;
};

// Never destroyed: blocks may be freed by other objects' destructors at exit.
KeptBlocks& Kept() {
    static auto* kept = new KeptBlocks;
    return *kept;
}

// Whether the last large block this thread was given came from the kept ones (not zeroed).
thread_local bool t_lastLargeBlockReused = false;

}  // namespace

void* AllocateBlock(std::size_t bytes) {
    if (bytes < kLargeBlockBytes) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    const std::size_t length = RoundUp(bytes, kHugePage);
    if (length < bytes || length + kHugePage < length) throw std::bad_alloc();
    t_lastLargeBlockReused = false;
    if (void* kept = Kept().Take(length)) {
        t_lastLargeBlockReused = true;
        return kept;
    }
    // Map a huge page more than needed, then give back the parts before the first 2 MiB boundary
    // and after the block: huge pages need aligned addresses.
    void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = RoundUp(begin, kHugePage);
    if (aligned > begin) ::munmap(mapped, aligned - begin);
    const std::uintptr_t tail = begin + length + kHugePage - (aligned + length);
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);  // a hint: may fail
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreeBlock(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) return;
    if (bytes < kLargeBlockBytes) {
        std::free(block);
        return;
    }
    const std::size_t length = RoundUp(bytes, kHugePage);
    if (length > kKeptBytes) {
        ::munmap(block, length);
    } else {
        Kept().Keep(block, length);
    }
}

ByteBuffer PagedBytes(std::size_t bytes) {
    ByteBuffer buffer;
    buffer.reserve(bytes >= kPagedBytes && bytes < kLargeBlockBytes ? kLargeBlockBytes : bytes);
    buffer.resize(bytes);
    return buffer;
}

void CopyBytes(void* to, const void* from, std::size_t bytes) {
    constexpr std::size_t kPiece = kHugePage;
    if (bytes < 4 * kPiece) {
        std::memcpy(to, from, bytes);
        return;
    }
    auto* out = static_cast<std::uint8_t*>(to);
    const auto* in = static_cast<const std::uint8_t*>(from);
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, (bytes + kPiece - 1) / kPiece),
                      [&](const tbb::blocked_range<std::size_t>& pieces) {
                          const std::size_t begin = pieces.begin() * kPiece;
                          const std::size_t end = std::min(bytes, pieces.end() * kPiece);
                          std::memcpy(out + begin, in + begin, end - begin);
                      });
}

ByteBuffer ZeroedBytes(std::size_t bytes) {
    ByteBuffer buffer(bytes);
    if (bytes < kLargeBlockBytes || t_lastLargeBlockReused) std::memset(buffer.data(), 0, bytes);
    return buffer;
}

}  // namespace tintora
