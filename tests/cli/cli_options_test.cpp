// The command line of tintora-cli: what the options turn into, and where the files go.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/test_files.h"

namespace tintora::cli {
namespace {

using Strings = std::vector<std::string>;

TEST(CliOptions, InputsOptionsAndOperationsMayMix) {
    const CommandLine line = ParseCommandLine({"a.png", "--alpha-from-file", "masks,v2/m.png,red",
                                               "--alpha-from-file=x,y.png", "b.tga", "-o", "out",
                                               "--jobs=3", "--", "--odd-name.bmp"});
    EXPECT_EQ(line.inputs, (Strings{"a.png", "b.tga", "--odd-name.bmp"}));
    EXPECT_EQ(line.output, "out");
    EXPECT_EQ(line.jobs, 3);
    ASSERT_EQ(line.operations.size(), 2u);
    // Only a channel name after the last comma is split off a file name.
    EXPECT_EQ(line.operations[0].text, "masks,v2/m.png");
    EXPECT_EQ(line.operations[0].channel, AlphaChannel::Red);
    EXPECT_EQ(line.operations[1].text, "x,y.png");
    EXPECT_EQ(line.operations[1].channel, AlphaChannel::Alpha);
}

TEST(CliOptions, FormatsMapToTheEditorsSaveChoices) {
    struct Row {
        const char* name;
        std::int32_t kind;
        const char* answer;
    };
    for (const Row& row : {Row{"bmp", 0, ""}, Row{"dds32", 1, "32"}, Row{"dds24", 1, "24"},
                           Row{"dds16", 1, "16"}, Row{"dxt3", 1, "COMP"}}) {
        const auto format = FormatFromName(row.name);
        ASSERT_TRUE(format) << row.name;
        EXPECT_EQ(SaveChoiceFor(*format).kind, row.kind);
        EXPECT_STREQ(SaveChoiceFor(*format).exportAnswer, row.answer);
    }
    EXPECT_EQ(FormatFromOutputName("a/WALL.BMP"), OutputFormat::Bitmap);
    EXPECT_EQ(FormatFromOutputName("wall.Dds"), OutputFormat::Dds32);
    EXPECT_THROW(FormatFromOutputName("wall.zvt"), UsageError);
    EXPECT_THROW(FormatFromOutputName("dds"), UsageError);
}

TEST(CliRunPlan, OneFileOrADirectoryOfOutputs) {
    testing::ScratchDir scratch;
    const auto outputs = [](const Strings& arguments) {
        Strings names;
        for (const FileJob& job : MakeRunPlan(ParseCommandLine(arguments)).jobs)
            names.push_back(job.output);
        return names;
    };
    // An existing directory, or a trailing slash, takes the file by its input's name.
    EXPECT_EQ(outputs({"in/a.png", "-o", scratch.path().string(), "--format", "bmp"}),
              Strings{(scratch.path() / "a.bmp").string()});
    EXPECT_EQ(outputs({"a.b.png", "-o", "new/", "--format", "dds16"}), Strings{"new/a.b.dds"});

    // A directory input gives its image files, sorted, not its subdirectories or other files.
    const std::filesystem::path in = scratch.path() / "in";
    std::filesystem::create_directories(in / "deeper");
    for (const char* name : {"b.TGA", "a.png", "notes.txt", "c.jpeg", "deeper/d.png"})
        testing::WriteBytes((in / name).string(), {1});
    EXPECT_EQ(outputs({in.string(), "z.dds", "-o", "out", "--format", "bmp"}),
              (Strings{"out/a.bmp", "out/b.bmp", "out/c.bmp", "out/z.bmp"}));
}

}  // namespace
}  // namespace tintora::cli
