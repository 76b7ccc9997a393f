// Whole-file reads and crash-safe writes, with messages that name the file and the reason.
//
// Reads: the file is read into memory in one go (image files are at most a few hundred MiB; an
// 8192 x 8192 texture holds 256 MiB). Writes: the bytes go to a temporary file in the target's own
// directory, which is flushed to disk and then renamed over the target, so a reader of the target
// sees the old file or the new one, never a part of either; on any failure the temporary file is
// removed and the target is left as it was.
//
// Errors throw PlatformError with E_FAIL and a message such as
//   cannot open "/tmp/a.png": No such file or directory
//   "/tmp/textures" is a directory
//   cannot write "/mnt/full/a.dds": No space left on device
//
// Thread-safety: the functions may be called from several threads on different files; the fault
// injection below is for single-threaded tests only.
#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace tintora {

// An allocator whose value-initialising construct leaves bytes as they are: buffers of file and
// pixel data are written completely right after they are made, and zeroing hundreds of MiB first
// costs as much as the read itself.
template <typename T>
struct NoInitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = NoInitAllocator<U>;
    };
    NoInitAllocator() = default;
    template <typename U>
    NoInitAllocator(const NoInitAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Bytes whose new elements are not initialised (resize and the size constructor leave them).
using ByteBuffer = std::vector<std::uint8_t, NoInitAllocator<std::uint8_t>>;

// Largest file ReadFileBytes accepts.
constexpr std::int64_t kMaxReadFileBytes = std::int64_t{1} << 30;

// Reads the whole regular file. Refuses a missing or unreadable file, a directory, anything that
// is not a regular file, an empty file and one larger than kMaxReadFileBytes.
ByteBuffer ReadFileBytes(const std::string& fileName);

// Replaces fileName with bytes through a temporary file beside it (see the top of this file).
// A new file gets the permissions that the umask leaves of 0666; an existing one keeps its own.
// A symbolic link is followed: the file it points to is replaced, the link stays.
void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes);

// Fault injection for tests of the failure paths: while a ScopedWriteFault lives, the next
// WriteFileAtomically calls fail at the given stage with the given errno, as the system call
// would. A Write fault first lets afterBytes bytes reach the temporary file.
enum class WriteStage { Create, Write, Sync, Close, Rename };

struct WriteFault {
    WriteStage stage = WriteStage::Write;
    std::int64_t afterBytes = 0;
    int error = ENOSPC;
};

class ScopedWriteFault {
  public:
    explicit ScopedWriteFault(const WriteFault& fault);
    ~ScopedWriteFault();
    ScopedWriteFault(const ScopedWriteFault&) = delete;
    ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;
};

}  // namespace tintora
