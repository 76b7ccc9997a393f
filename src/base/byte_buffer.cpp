#include "base/byte_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tintora {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

}  // namespace

void* AllocateBlock(std::size_t bytes) {
    if (bytes < kLargeBlockBytes) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    // Map a huge page more than needed, then give back the parts before the first 2 MiB boundary
    // and after the block: huge pages need aligned addresses.
    const std::size_t length = RoundUp(bytes, kHugePage);
    if (length < bytes || length + kHugePage < length) throw std::bad_alloc();
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
    ::munmap(block, RoundUp(bytes, kHugePage));
}

ByteBuffer PagedBytes(std::size_t bytes) {
    ByteBuffer buffer;
    buffer.reserve(bytes >= kPagedBytes && bytes < kLargeBlockBytes ? kLargeBlockBytes : bytes);
    buffer.resize(bytes);
    return buffer;
}

ByteBuffer ZeroedBytes(std::size_t bytes) {
    ByteBuffer buffer(bytes);
    if (bytes < kLargeBlockBytes) std::memset(buffer.data(), 0, bytes);
    return buffer;
}

}  // namespace tintora
