#include "imagefiles/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/error.h"

namespace tintora {
namespace {

// Bytes handed to the disk at a time while a file is written: large enough for full-speed
// transfers, small enough that the flush at the end waits only for the last of them.
constexpr std::size_t kFlushChunk = std::size_t{8} << 20;
// Pieces per gathering write (the system's IOV_MAX).
constexpr std::size_t kMaxPiecesPerWrite = 1024;

std::optional<WriteFault> g_fault;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

[[noreturn]] void Fail(const std::string& message) {
    throw PlatformError(E_FAIL, message);
}

// Closes a descriptor when it goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

bool FaultAt(WriteStage stage) {
    return g_fault && g_fault->stage == stage;
}

// The directory part of a path, with its trailing slash ("" for a bare name).
std::string DirectoryPrefix(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a write must replace: fileName itself, or what a symbolic link at fileName points to.
std::string ResolveTarget(const std::string& fileName) {
    struct stat info {};
    if (::lstat(fileName.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return fileName;
    char* resolved = ::realpath(fileName.c_str(), nullptr);
    if (resolved == nullptr) return fileName;  // a dangling link: replace the link itself
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// Creates a new, empty temporary file beside target; returns its descriptor and sets tempName.
int CreateTemporary(const std::string& target, const std::string& shownName,
                    std::string& tempName) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = DirectoryPrefix(target) + "." + BaseName(target) + ".tmp-" +
                             std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = stem + std::to_string(counter++);
        if (FaultAt(WriteStage::Create)) {
            Fail("cannot create a temporary file beside " + QuotedName(shownName) + ": " +
                 ErrnoText(g_fault->error));
        }
        const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) {
            Fail("cannot create a temporary file beside " + QuotedName(shownName) + ": " +
                 ErrnoText(errno));
        }
    }
    Fail("cannot create a temporary file beside " + QuotedName(shownName) +
         ": too many temporary files of the same name");
}

[[noreturn]] void FailWrite(const std::string& shownName, int error) {
    Fail("cannot write " + QuotedName(shownName) + ": " + ErrnoText(error));
}

// Gives the temporary file its final size where the file system allows it. A disk without room
// refuses here, before any data is written; a file system that cannot preallocate lets the file
// grow as it is written.
void Allocate(int fd, std::size_t size, const std::string& shownName) {
    if (FaultAt(WriteStage::Allocate)) FailWrite(shownName, g_fault->error);
    if (size == 0) return;
    int result;
    do {
        result = ::fallocate(fd, 0, 0, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
        FailWrite(shownName, errno);
    }
}

// Writes all the pieces in gathering writes or throws with the errno of the failing call. Every
// kFlushChunk bytes go to the disk at once (the final fsync reports any failure of theirs).
void WriteParts(int fd, const FileParts& parts, const std::string& shownName) {
    const std::vector<std::span<const std::uint8_t>>& pieces = parts.pieces();
    const bool faulty = FaultAt(WriteStage::Write);
    const std::size_t end =
        faulty ? std::min(parts.size(),
                          static_cast<std::size_t>(std::max<std::int64_t>(0, g_fault->afterBytes)))
               : parts.size();
    std::vector<iovec> batch;
    batch.reserve(kMaxPiecesPerWrite);
    std::size_t piece = 0, within = 0;  // the next byte to write: pieces[piece][within]
    std::size_t done = 0, flushed = 0;
    while (done < end) {
        const std::size_t want = std::min(end, flushed + kFlushChunk) - done;
        batch.clear();
        std::size_t gathered = 0;
        for (std::size_t p = piece, from = within;
             p < pieces.size() && gathered < want && batch.size() < kMaxPiecesPerWrite;
             ++p, from = 0) {
            const std::size_t n = std::min(pieces[p].size() - from, want - gathered);
            batch.push_back({const_cast<std::uint8_t*>(pieces[p].data() + from), n});
            gathered += n;
        }
        const ssize_t written = ::writev(fd, batch.data(), static_cast<int>(batch.size()));
        if (written < 0) {
            if (errno == EINTR) continue;
            FailWrite(shownName, errno);
        }
        if (written == 0) FailWrite(shownName, ENOSPC);
        done += static_cast<std::size_t>(written);
        for (auto left = static_cast<std::size_t>(written); left > 0;) {
            const std::size_t n = std::min(left, pieces[piece].size() - within);
            within += n;
            left -= n;
            if (within == pieces[piece].size()) ++piece, within = 0;
        }
        if (done - flushed >= kFlushChunk || done == parts.size()) {
            ::sync_file_range(fd, static_cast<off_t>(flushed), static_cast<off_t>(done - flushed),
                              SYNC_FILE_RANGE_WRITE);
            flushed = done;
        }
    }
    if (faulty) FailWrite(shownName, g_fault->error);
}

// Flushes the directory entry of a finished rename; a failure here loses nothing already written.
void SyncDirectory(const std::string& target) {
    std::string directory = DirectoryPrefix(target);
    if (directory.empty()) directory = ".";
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

ByteBuffer ReadFileBytes(const std::string& fileName) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it is refused below.
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) Fail("cannot open " + QuotedName(fileName) + ": " + ErrnoText(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        Fail("cannot read " + QuotedName(fileName) + ": " + ErrnoText(errno));
    }
    if (S_ISDIR(info.st_mode)) Fail(QuotedName(fileName) + " is a directory");
    if (!S_ISREG(info.st_mode)) Fail(QuotedName(fileName) + " is not a regular file");
    if (info.st_size == 0) Fail(QuotedName(fileName) + " is empty");
    if (info.st_size > kMaxReadFileBytes) {
        Fail(QuotedName(fileName) + " is too large (" + std::to_string(info.st_size) +
             " bytes; image files of up to " + std::to_string(kMaxReadFileBytes) +
             " bytes can be opened)");
    }
    ByteBuffer bytes = PagedBytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            Fail("cannot read " + QuotedName(fileName) + ": " + ErrnoText(errno));
        }
        if (got == 0) break;  // the file shrank while being read
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    if (bytes.empty()) Fail(QuotedName(fileName) + " is empty");
    return bytes;
}

void FileParts::Add(ByteBuffer bytes) {
    if (bytes.empty()) return;
    owned_.push_back(std::move(bytes));
    pieces_.emplace_back(owned_.back().data(), owned_.back().size());
    size_ += owned_.back().size();
}

void FileParts::AddView(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    if (!pieces_.empty() && pieces_.back().data() + pieces_.back().size() == bytes.data()) {
        pieces_.back() = {pieces_.back().data(), pieces_.back().size() + bytes.size()};
    } else {
        pieces_.push_back(bytes);
    }
    size_ += bytes.size();
}

ByteBuffer FileParts::Join() const {
    ByteBuffer bytes(size_);
    std::vector<std::size_t> starts;  // each piece's offset in the file
    starts.reserve(pieces_.size());
    std::size_t at = 0;
    for (const auto& piece : pieces_) {
        starts.push_back(at);
        at += piece.size();
    }
    // Blocks of the result, each filled from the pieces it overlaps.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, (size_ + kBlock - 1) / kBlock),
                      [&](const tbb::blocked_range<std::size_t>& blocks) {
                          for (std::size_t b = blocks.begin(); b < blocks.end(); ++b) {
                              const std::size_t end = std::min(size_, (b + 1) * kBlock);
                              std::size_t p = static_cast<std::size_t>(
                                  std::upper_bound(starts.begin(), starts.end(), b * kBlock) -
                                  starts.begin() - 1);
                              for (std::size_t to = b * kBlock; to < end; ++p) {
                                  const std::size_t from = to - starts[p];
                                  const std::size_t n =
                                      std::min(pieces_[p].size() - from, end - to);
                                  std::memcpy(bytes.data() + to, pieces_[p].data() + from, n);
                                  to += n;
                              }
                          }
                      });
    return bytes;
}

StagedFile::StagedFile(const std::string& fileName, const FileParts& parts) : fileName_(fileName) {
    if (fileName.empty()) Fail("cannot write a file without a name");
    target_ = ResolveTarget(fileName);
    fd_ = CreateTemporary(target_, fileName, tempName_);
    try {
        struct stat existing {};
        if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            ::fchmod(fd_, existing.st_mode & 07777);
        }
        Allocate(fd_, parts.size(), fileName);
        WriteParts(fd_, parts, fileName);
    } catch (...) {
        Discard();
        throw;
    }
}

StagedFile::~StagedFile() {
    Discard();
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : fileName_(std::move(other.fileName_)),
      target_(std::move(other.target_)),
      tempName_(std::exchange(other.tempName_, {})),
      fd_(std::exchange(other.fd_, -1)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Discard();
        fileName_ = std::move(other.fileName_);
        target_ = std::move(other.target_);
        tempName_ = std::exchange(other.tempName_, {});
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void StagedFile::Discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempName_.empty()) ::unlink(tempName_.c_str());
    tempName_.clear();
}

void StagedFile::Commit() {
    if (tempName_.empty()) Fail("cannot write " + QuotedName(fileName_) + " twice");
    try {
        if (FaultAt(WriteStage::Sync)) FailWrite(fileName_, g_fault->error);
        if (::fsync(fd_) != 0) FailWrite(fileName_, errno);
        const int closed = ::close(std::exchange(fd_, -1));
        if (FaultAt(WriteStage::Close)) FailWrite(fileName_, g_fault->error);
        if (closed != 0) FailWrite(fileName_, errno);
        if (FaultAt(WriteStage::Rename)) {
            Fail("cannot replace " + QuotedName(fileName_) + ": " + ErrnoText(g_fault->error));
        }
        if (::rename(tempName_.c_str(), target_.c_str()) != 0) {
            Fail("cannot replace " + QuotedName(fileName_) + ": " + ErrnoText(errno));
        }
    } catch (...) {
        Discard();
        throw;
    }
    tempName_.clear();
    SyncDirectory(target_);
}

void WriteFileAtomically(const std::string& fileName, const FileParts& parts) {
    StagedFile(fileName, parts).Commit();
}

void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes) {
    FileParts parts;
    parts.AddView(bytes);
    WriteFileAtomically(fileName, parts);
}

ScopedWriteFault::ScopedWriteFault(const WriteFault& fault) {
    g_fault = fault;
}

ScopedWriteFault::~ScopedWriteFault() {
    g_fault.reset();
}

}  // namespace tintora
