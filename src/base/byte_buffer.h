// Byte buffers for file contents and pixels, and the memory behind them.
//
// Image buffers are large (a 4096 x 4096 texture holds 64 MiB) and are written completely right
// after they are made, so two costs dominate their making: clearing bytes that are about to be
// overwritten, and the page faults of touching fresh memory (16384 of them for 64 MiB of 4 KiB
// pages). Blocks of kLargeBlockBytes and more (a 4096 x 4096 texture, not a 2048 x 2048 one)
// therefore come straight from the system: mapped anew, aligned to 2 MiB and marked for
// transparent huge pages where the kernel offers them (madvise MADV_HUGEPAGE), which turns those
// faults into 32. Fresh mappings arrive zeroed, so a large block that must start cleared costs no
// clearing of its own (ZeroedBytes). Freed large blocks are not given back at once: the last few
// (four, up to 256 MiB) are kept for the next block of the same length, whose pages are then
// already there (the next file of a folder, a reopened texture). Smaller blocks come from the heap,
// except file contents and decoded pixels of kPagedBytes and more (PagedBytes), which are read
// once, straight after their making, and would otherwise fault in page by page.
//
// Thread-safety: all functions may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace tintora {

// Blocks of at least this many bytes are mapped from the system (see the top of this file). The
// C library maps blocks this large anew every time as well; smaller ones it may reuse without
// faults, so they stay with it.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{32} << 20;

// bytes of uninitialised memory; throws std::bad_alloc.
void* AllocateBlock(std::size_t bytes);
// Gives back a block of AllocateBlock; bytes must be the size it was asked for.
void FreeBlock(void* block, std::size_t bytes) noexcept;

// An allocator on AllocateBlock whose value-initialising construct leaves bytes as they are:
// buffers of file and pixel data are written completely right after they are made.
template <typename T>
struct NoInitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = NoInitAllocator<U>;
    };
    NoInitAllocator() = default;
    template <typename U>
    NoInitAllocator(const NoInitAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(AllocateBlock(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeBlock(p, n * sizeof(T)); }
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <typename T, typename U>
bool operator==(const NoInitAllocator<T>&, const NoInitAllocator<U>&) noexcept {
    return true;
}

// Bytes whose new elements are not initialised (resize and the size constructor leave them).
using ByteBuffer = std::vector<std::uint8_t, NoInitAllocator<std::uint8_t>>;

// Buffers of at least this many bytes made by PagedBytes come from the system like large blocks.
inline constexpr std::size_t kPagedBytes = std::size_t{4} << 20;

// bytes uninitialised bytes; from kPagedBytes up the buffer reserves at least kLargeBlockBytes, so
// that it lies on huge pages (only the pages touched take memory). Throws std::bad_alloc.
ByteBuffer PagedBytes(std::size_t bytes);

// std::memcpy, split over the threads for large copies: a copy into fresh memory spends most of
// its time in the page faults that bring the memory in, which then run side by side.
void CopyBytes(void* to, const void* from, std::size_t bytes);

// bytes zero bytes. A large buffer fresh from the system is already zero: nothing is written.
ByteBuffer ZeroedBytes(std::size_t bytes);

}  // namespace tintora
