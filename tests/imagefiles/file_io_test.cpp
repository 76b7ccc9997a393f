// Whole-file reads and atomic writes: every failure names the file and the reason, and a failed
// write leaves the target as it was with nothing beside it.
#include "imagefiles/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "support/test_files.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;

// Expects f() to throw PlatformError(E_FAIL) with a message holding every part.
template <typename F>
void ExpectFailure(F&& f, const Strings& parts) {
    try {
        f();
        ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.code(), E_FAIL) << error.what();
        for (const std::string& part : parts)
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
    }
}

class FileIo : public ::testing::Test {
  protected:
    void SetUp() override { WriteBytes(target_, old_); }
    void Write(const std::string& path) { WriteFileAtomically(path, fresh_); }

    ScratchDir dir_;
    std::string target_ = dir_.File("out.dds");
    FileBytes old_ = {'o', 'l', 'd'};
    FileBytes fresh_ = FileBytes(5000, 0x42);
};

TEST_F(FileIo, ReadsRefuseWhatIsNotAFileWithContent) {
    std::filesystem::create_directory(dir_.File("folder.bmp"));
    WriteBytes(dir_.File("empty.png"), {});
    const std::pair<std::string, std::string> cases[] = {
        {dir_.File("missing.bmp"), "No such file or directory"},
        {dir_.File("folder.bmp"), "is a directory"},
        {dir_.File("empty.png"), "is empty"},
    };
    for (const auto& [path, reason] : cases)
        ExpectFailure([&] { ReadFileBytes(path); }, {"\"" + path + "\"", reason});
    const ByteBuffer read = ReadFileBytes(target_);
    EXPECT_EQ(FileBytes(read.begin(), read.end()), old_);
}

// Each failure leaves the old file and nothing beside it; without a fault the write replaces it.
TEST_F(FileIo, InjectedWriteFailuresLeaveTheTargetAlone) {
    const std::pair<WriteFault, std::string> cases[] = {
        {{WriteStage::Create, 0, EACCES}, "cannot create a temporary file beside"},
        {{WriteStage::Write, 0, ENOSPC}, "cannot write"},
        {{WriteStage::Write, 100, ENOSPC}, "cannot write"},
        {{WriteStage::Write, 1 << 20, EIO}, "cannot write"},
        {{WriteStage::Sync, 0, EIO}, "cannot write"},
        {{WriteStage::Close, 0, EDQUOT}, "cannot write"},
        {{WriteStage::Rename, 0, EXDEV}, "cannot replace"},
    };
    for (const auto& [fault, reason] : cases) {
        SCOPED_TRACE(reason + " " + std::to_string(fault.afterBytes));
        ScopedWriteFault injected(fault);
        ExpectFailure([&] { Write(target_); },
                      {reason, "\"" + target_ + "\"", std::strerror(fault.error)});
        EXPECT_EQ(ReadBytes(target_), old_);
        EXPECT_EQ(dir_.Entries(), Strings{"out.dds"});
    }
    Write(target_);
    EXPECT_EQ(ReadBytes(target_), fresh_);
    EXPECT_EQ(dir_.Entries(), Strings{"out.dds"});
}

TEST_F(FileIo, RealWriteFailuresNameTheFileAndTheReason) {
    WriteBytes(dir_.File("plain"), {'x'});
    std::filesystem::create_directory(dir_.File("taken.bmp"));
    const std::pair<std::string, std::string> cases[] = {
        {dir_.File("no/such/dir/a.bmp"), "No such file or directory"},
        {dir_.File("plain/a.bmp"), "Not a directory"},  // a file where a folder should be
        {dir_.File("taken.bmp"), "cannot replace"},     // a directory where the file should be
        {"/proc/tintora-test.bmp", "cannot create a temporary file beside"},
        {"", "without a name"},
    };
    for (const auto& [path, reason] : cases)
        ExpectFailure([&] { Write(path); }, {reason});
    EXPECT_EQ(dir_.Entries(), (Strings{"out.dds", "plain", "taken.bmp"}));
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
