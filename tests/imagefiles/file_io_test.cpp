// Whole-file reads and atomic writes: every failure names the file and the reason, and a failed
// write leaves the target as it was with nothing beside it.
#include "imagefiles/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
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
        {{WriteStage::Allocate, 0, ENOSPC}, "cannot write"},
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

// Thousands of small pieces (more than one gathering write takes), then pieces larger than what
// goes to the disk at a time, views and owned buffers: the file is their bytes in order, as Join
// gives them, and a fault between two flushes keeps the old file.
TEST_F(FileIo, PartsAreWrittenInOrder) {
    FileBytes source(10 << 20);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<std::uint8_t>(i * 131 + (i >> 13));
    FileParts parts;
    FileBytes expected;
    std::size_t end = source.size();
    for (std::size_t n = 0; end > 0; ++n) {
        const std::size_t size = std::min(end, n < 3000 ? n % 5 * 997 : std::size_t{3} << 20);
        end -= size;
        const std::span<const std::uint8_t> piece(source.data() + end, size);  // back to front
        if (n % 4 == 0) {
            parts.Add(ByteBuffer(piece.begin(), piece.end()));
        } else {
            parts.AddView(piece);
        }
        expected.insert(expected.end(), piece.begin(), piece.end());
    }
    const ByteBuffer joined = parts.Join();
    EXPECT_TRUE(FileBytes(joined.begin(), joined.end()) == expected);
    {
        ScopedWriteFault full({WriteStage::Write, (9 << 20) + 5, ENOSPC});
        ExpectFailure([&] { WriteFileAtomically(target_, parts); }, {"No space left"});
    }
    EXPECT_EQ(dir_.Entries(), Strings{"out.dds"});
    EXPECT_EQ(ReadBytes(target_), old_);
    WriteFileAtomically(target_, parts);
    EXPECT_TRUE(ReadBytes(target_) == expected);
}

// A staged file waits beside the target until its commit, which may run on another thread;
// dropped uncommitted, it leaves the old file and nothing else.
TEST_F(FileIo, StagedFilesReplaceTheTargetWhenCommitted) {
    FileParts parts;
    parts.AddView(fresh_);
    {
        StagedFile dropped(target_, parts);
        EXPECT_EQ(dir_.Entries().size(), 2u);
    }
    EXPECT_EQ(dir_.Entries(), Strings{"out.dds"});
    EXPECT_EQ(ReadBytes(target_), old_);
    StagedFile staged(target_, parts);
    std::thread([&staged] { staged.Commit(); }).join();
    EXPECT_EQ(dir_.Entries(), Strings{"out.dds"});
    EXPECT_EQ(ReadBytes(target_), fresh_);
    ExpectFailure([&] { staged.Commit(); }, {"twice"});
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
