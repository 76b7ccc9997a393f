// Whole-file reads and crash-safe writes, with messages that name the file and the reason.
//
// Reads: the file is read into memory in one go (image files are at most a few hundred MiB; an
// 8192 x 8192 texture holds 256 MiB). Writes: the bytes go to a temporary file in the target's own
// directory, which is flushed to disk and then renamed over the target, so a reader of the target
// sees the old file or the new one, never a part of either; on any failure the temporary file is
// removed and the target is left as it was.
//
// How a write goes: the temporary file is made at its final size where the file system allows it
// (a full disk is then found before any data is written, and the blocks lie together); the bytes
// go in a few large gathering writes straight from where they lie (FileParts: a surface's rows
// need no copy into a file image first); every 8 MiB written is handed to the disk at once, so the
// flush at the end waits for the last part only. A caller with other work can split a write in two
// (StagedFile): write now, flush and rename later, on any thread.
//
// Errors throw PlatformError with E_FAIL and a message such as
//   cannot open "/tmp/a.png": No such file or directory
//   "/tmp/textures" is a directory
//   cannot write "/mnt/full/a.dds": No space left on device
//
// Thread-safety: the functions may be called from several threads on different files; the fault
// injection below is set and cleared by tests while no write runs.
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

#include "base/byte_buffer.h"

namespace tintora {

// ByteBuffer (base/byte_buffer.h): bytes left uninitialised when made, large ones on huge pages.

// Largest file ReadFileBytes accepts.
constexpr std::int64_t kMaxReadFileBytes = std::int64_t{1} << 30;

// Reads the whole regular file. Refuses a missing or unreadable file, a directory, anything that
// is not a regular file, an empty file and one larger than kMaxReadFileBytes.
ByteBuffer ReadFileBytes(const std::string& fileName);

// The bytes of a file as pieces in file order that need not lie together in memory: buffers the
// parts own (headers, converted pixels) and views of memory that the caller keeps alive and
// unchanged while the parts are used (a surface's rows, written from where they lie). Move-only:
// views into the owned buffers stay valid when the parts move.
class FileParts {
  public:
    FileParts() = default;
    FileParts(FileParts&&) noexcept = default;
    FileParts& operator=(FileParts&&) noexcept = default;
    FileParts(const FileParts&) = delete;
    FileParts& operator=(const FileParts&) = delete;

    // Appends bytes that the parts keep.
    void Add(ByteBuffer bytes);
    // Appends a view of bytes kept elsewhere; one that starts where the last piece ends in memory
    // extends it.
    void AddView(std::span<const std::uint8_t> bytes);

    const std::vector<std::span<const std::uint8_t>>& pieces() const { return pieces_; }
    std::size_t size() const { return size_; }

    // All the bytes in one buffer, copied on all threads.
    ByteBuffer Join() const;

  private:
    std::vector<ByteBuffer> owned_;
    std::vector<std::span<const std::uint8_t>> pieces_;
    std::size_t size_ = 0;
};

// A file written to a temporary file beside its target but not yet in its place: the first half
// of WriteFileAtomically. Commit finishes it; dropped without a Commit (or after a failed one), it
// removes the temporary file and the target stays as it was.
class StagedFile {
  public:
    // Writes parts to a new temporary file beside fileName and starts their transfer to disk; the
    // parts' memory is no longer needed when this returns. Throws as WriteFileAtomically, leaving
    // nothing behind.
    StagedFile(const std::string& fileName, const FileParts& parts);
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Waits until the data is on disk, renames the temporary file over the target and flushes the
    // directory entry. Throws as WriteFileAtomically. Once only; may run on another thread than
    // the one that wrote the file. Blocks on the disk, not the processor.
    void Commit();

    const std::string& fileName() const { return fileName_; }

  private:
    void Discard() noexcept;

    std::string fileName_;  // as the caller named it, for messages
    std::string target_;    // the file replaced (a symbolic link followed)
    std::string tempName_;
    int fd_ = -1;
};

// Replaces fileName with bytes through a temporary file beside it (see the top of this file).
// A new file gets the permissions that the umask leaves of 0666; an existing one keeps its own.
// A symbolic link is followed: the file it points to is replaced, the link stays.
void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes);
void WriteFileAtomically(const std::string& fileName, const FileParts& parts);

// Fault injection for tests of the failure paths: while a ScopedWriteFault lives, the next
// writes fail at the given stage with the given errno, as the system call would (Allocate: the
// temporary file's size, as a full disk refuses it). A Write fault first lets afterBytes bytes
// reach the temporary file.
enum class WriteStage { Create, Allocate, Write, Sync, Close, Rename };

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
