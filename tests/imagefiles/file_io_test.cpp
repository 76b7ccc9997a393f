// Whole-file reads and atomic writes: every failure names the file and the reason, and a failed
// write leaves the target as it was with nothing beside it.
#include "imagefiles/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/error.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

// Expects f() to throw PlatformError(E_FAIL) with a message holding every part.
template <typename F>
void ExpectFailure(F&& f, const std::vector<std::string>& parts) {
    try {
        f();
        ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.code(), E_FAIL) << error.what();
        for (const std::string& part : parts) {
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos)
                << "'" << part << "' in: " << error.what();
        }
    }
}

class FileIo : public ::testing::Test {
  protected:
    void SetUp() override { WriteBytes(target_, old_); }
    void Write(const std::string& path) { WriteFileAtomically(path, fresh_); }
    // The target holds its old bytes and nothing else is left in the directory.
    void ExpectUntouched() {
        EXPECT_EQ(ReadBytes(target_), old_);
        EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"out.dds"});
    }

    ScratchDir dir_;
    std::string target_ = dir_.File("out.dds");
    FileBytes old_ = {'o', 'l', 'd'};
    FileBytes fresh_ = FileBytes(5000, 0x42);
};

TEST_F(FileIo, ReadsRefuseWhatIsNotAFileWithContent) {
    std::filesystem::create_directory(dir_.File("folder.bmp"));
    WriteBytes(dir_.File("empty.png"), {});
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir_.File("missing.bmp"), "No such file or directory"},
        {dir_.File("folder.bmp"), "is a directory"},
        {dir_.File("empty.png"), "is empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ExpectFailure([&] { ReadFileBytes(c.path); }, {"\"" + c.path + "\"", c.reason});
    }
    const ByteBuffer read = ReadFileBytes(target_);
    EXPECT_EQ(FileBytes(read.begin(), read.end()), old_);
}

TEST_F(FileIo, InjectedWriteFailuresLeaveTheTargetAlone) {
    const struct {
        const char* name;
        WriteFault fault;
        std::string reason;
    } cases[] = {
        {"create", {WriteStage::Create, 0, EACCES}, "cannot create a temporary file beside"},
        {"first byte", {WriteStage::Write, 0, ENOSPC}, "cannot write"},
        {"after 100 bytes", {WriteStage::Write, 100, ENOSPC}, "cannot write"},
        {"after everything", {WriteStage::Write, 1 << 20, EIO}, "cannot write"},
        {"sync", {WriteStage::Sync, 0, EIO}, "cannot write"},
        {"close", {WriteStage::Close, 0, EDQUOT}, "cannot write"},
        {"rename", {WriteStage::Rename, 0, EXDEV}, "cannot replace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWriteFault fault(c.fault);
        ExpectFailure([&] { Write(target_); },
                      {c.reason, "\"" + target_ + "\"", std::strerror(c.fault.error)});
        ExpectUntouched();
    }
    // Without a fault the same write replaces the file.
    Write(target_);
    EXPECT_EQ(ReadBytes(target_), fresh_);
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"out.dds"});
}

TEST_F(FileIo, RealWriteFailuresNameTheFileAndTheReason) {
    WriteBytes(dir_.File("plain"), {'x'});
    std::filesystem::create_directory(dir_.File("taken.bmp"));
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir_.File("no/such/dir/a.bmp"), "No such file or directory"},
        {dir_.File("plain/a.bmp"), "Not a directory"},  // a file where a folder should be
        {dir_.File("taken.bmp"), "cannot replace"},     // a directory where the file should be
        {"/proc/tintora-test.bmp", "cannot create a temporary file beside"},
        {"", "without a name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ExpectFailure([&] { Write(c.path); }, {c.reason});
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir_.File("taken.bmp")));
    EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"out.dds", "plain", "taken.bmp"}));
}

TEST_F(FileIo, WithoutPermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads and writes regardless of permissions";
    ::chmod(target_.c_str(), 0200);
    ExpectFailure([&] { ReadFileBytes(target_); },
                  {"cannot open", "\"" + target_ + "\"", "Permission denied"});
    const std::string locked = dir_.File("locked");
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);
    ExpectFailure([&] { Write(locked + "/a.bmp"); },
                  {"cannot create a temporary file beside", "Permission denied"});
    ::chmod(locked.c_str(), 0755);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
}

TEST_F(FileIo, ReplacingKeepsPermissionsAndFollowsLinks) {
    ::chmod(target_.c_str(), 0640);
    std::filesystem::create_symlink(target_, dir_.File("link.dds"));
    Write(dir_.File("link.dds"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link.dds")));
    EXPECT_EQ(ReadBytes(target_), fresh_);
    struct stat info {};
    ASSERT_EQ(::stat(target_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace tintora::testing
