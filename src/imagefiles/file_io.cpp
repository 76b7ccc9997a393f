#include "imagefiles/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Chunk size for writes: large enough for full speed, small enough for a fault after N bytes.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

std::optional<WriteFault> g_fault;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

[[noreturn]] void Fail(const std::string& message) {
    throw PlatformError(E_FAIL, message);
}

// Closes a descriptor once, when the owner has not closed it itself.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and returns close's result; the destructor then does nothing.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

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

// Writes everything or throws with the errno of the failing call.
void WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::string& shownName) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t chunk = std::min(kWriteChunk, bytes.size() - done);
        if (FaultAt(WriteStage::Write)) {
            const auto allowed =
                static_cast<std::size_t>(std::max<std::int64_t>(0, g_fault->afterBytes));
            if (done >= allowed) {
                Fail("cannot write " + QuotedName(shownName) + ": " + ErrnoText(g_fault->error));
            }
            chunk = std::min(chunk, allowed - done);
        }
        const ssize_t written = ::write(fd, bytes.data() + done, chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail("cannot write " + QuotedName(shownName) + ": " + ErrnoText(errno));
        }
        done += static_cast<std::size_t>(written);
    }
    if (FaultAt(WriteStage::Write)) {
        Fail("cannot write " + QuotedName(shownName) + ": " + ErrnoText(g_fault->error));
    }
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
    ByteBuffer bytes(static_cast<std::size_t>(info.st_size));
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

void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes) {
    if (fileName.empty()) Fail("cannot write a file without a name");
    const std::string target = ResolveTarget(fileName);
    std::string tempName;
    FileDescriptor fd(CreateTemporary(target, fileName, tempName));
    try {
        struct stat existing {};
        if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            ::fchmod(fd.get(), existing.st_mode & 07777);
        }
        WriteAll(fd.get(), bytes, fileName);
        if (FaultAt(WriteStage::Sync)) {
            Fail("cannot write " + QuotedName(fileName) + ": " + ErrnoText(g_fault->error));
        }
        if (::fsync(fd.get()) != 0) {
            Fail("cannot write " + QuotedName(fileName) + ": " + ErrnoText(errno));
        }
        const int closed = fd.Close();
        if (FaultAt(WriteStage::Close)) {
            Fail("cannot write " + QuotedName(fileName) + ": " + ErrnoText(g_fault->error));
        }
        if (closed != 0) Fail("cannot write " + QuotedName(fileName) + ": " + ErrnoText(errno));
        if (FaultAt(WriteStage::Rename)) {
            Fail("cannot replace " + QuotedName(fileName) + ": " + ErrnoText(g_fault->error));
        }
        if (::rename(tempName.c_str(), target.c_str()) != 0) {
            Fail("cannot replace " + QuotedName(fileName) + ": " + ErrnoText(errno));
        }
    } catch (...) {
        ::unlink(tempName.c_str());
        throw;
    }
    SyncDirectory(target);
}

ScopedWriteFault::ScopedWriteFault(const WriteFault& fault) {
    g_fault = fault;
}

ScopedWriteFault::~ScopedWriteFault() {
    g_fault.reset();
}

}  // namespace tintora
