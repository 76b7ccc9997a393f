// The command line of tintora-cli: what each option turns into, and where the files go.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/image_test_support.h"

namespace tintora::cli {
namespace {

TEST(CliOptions, OperationsKeepTheirOrderAndTheEditorsMeaning) {
    const CommandLine line = ParseCommandLine(
        {"a.png", "--colorkey", "FF8001", "--alpha-from-file", "masks,v2/m.png,red",
         "--alpha-from-file=x,y.png", "b.tga", "--normalmap", "luminance", "--colorkey=#0000fe,abc",
         "--normalmap", "alpha,-2.5", "-o", "out", "--jobs=3", "--", "--odd-name.bmp"});
    EXPECT_EQ(line.inputs, (std::vector<std::string>{"a.png", "b.tga", "--odd-name.bmp"}));
    EXPECT_EQ(line.output, "out");
    EXPECT_EQ(line.jobs, 3);
    ASSERT_EQ(line.operations.size(), 6u);

    // The key colour is a window colour: red in the low byte. The range is the box's text,
    // "2" when none is given.
    EXPECT_EQ(line.operations[0].kind, OperationKind::ColourKey);
    EXPECT_EQ(line.operations[0].keyColor, 0x000180FFu);
    EXPECT_EQ(line.operations[0].text, "2");
    EXPECT_EQ(line.operations[4].keyColor, 0x00FE0000u);
    EXPECT_EQ(line.operations[4].text, "abc");

    // Only a channel name after the last comma is split off a file name.
    EXPECT_EQ(line.operations[1].text, "masks,v2/m.png");
    EXPECT_EQ(line.operations[1].channel, AlphaChannel::Red);
    EXPECT_EQ(line.operations[2].text, "x,y.png");
    EXPECT_EQ(line.operations[2].channel, AlphaChannel::Alpha);

    EXPECT_EQ(line.operations[3].height, HeightSource::Luminance);
    EXPECT_EQ(line.operations[3].amplitude, 10.0f);
    EXPECT_EQ(line.operations[5].height, HeightSource::Alpha);
    EXPECT_EQ(line.operations[5].amplitude, -2.5f);
}

TEST(CliOptions, FormatsMapToTheEditorsSaveChoices) {
    struct Row {
        const char* name;
        std::int32_t kind;
        const char* answer;
        const char* ending;
    };
    for (const Row& row :
         {Row{"bmp", 0, "", ".bmp"}, Row{"dds32", 1, "32", ".dds"}, Row{"dds24", 1, "24", ".dds"},
          Row{"dds16", 1, "16", ".dds"}, Row{"dxt3", 1, "COMP", ".dds"}}) {
        const auto format = FormatFromName(row.name);
        ASSERT_TRUE(format) << row.name;
        EXPECT_EQ(SaveChoiceFor(*format).kind, row.kind);
        EXPECT_STREQ(SaveChoiceFor(*format).exportAnswer, row.answer);
        EXPECT_STREQ(FormatEnding(*format), row.ending);
    }
    EXPECT_EQ(FormatFromOutputName("a/WALL.BMP"), OutputFormat::Bitmap);
    EXPECT_EQ(FormatFromOutputName("wall.Dds"), OutputFormat::Dds32);
    EXPECT_THROW(FormatFromOutputName("wall.zvt"), UsageError);
    EXPECT_THROW(FormatFromOutputName("dds"), UsageError);
}

TEST(CliRunPlan, OneFileOrADirectoryOfOutputs) {
    testing::ScratchDir scratch;
    const auto plan = [](std::vector<std::string> arguments) {
        return MakeRunPlan(ParseCommandLine(arguments));
    };

    // One input: OUTPUT is the file, in the format its ending names unless --format says.
    RunPlan one = plan({"in/a.png", "-o", "b.dds"});
    EXPECT_FALSE(one.outputIsDirectory);
    EXPECT_EQ(one.format, OutputFormat::Dds32);
    ASSERT_EQ(one.jobs.size(), 1u);
    EXPECT_EQ(one.jobs[0].output, "b.dds");
    EXPECT_EQ(plan({"a.png", "-o", "b.out", "--format", "dxt3"}).format, OutputFormat::Dxt3);

    // An existing directory, or a trailing slash, takes the file by its input's name.
    one = plan({"in/a.png", "-o", scratch.path().string(), "--format", "bmp"});
    EXPECT_TRUE(one.outputIsDirectory);
    EXPECT_EQ(one.jobs[0].output, (scratch.path() / "a.bmp").string());
    EXPECT_EQ(plan({"a.b.png", "-o", "new/", "--format", "dds16"}).jobs[0].output, "new/a.b.dds");

    // A directory input gives its image files, sorted, not its subdirectories or other files.
    const std::filesystem::path in = scratch.path() / "in";
    std::filesystem::create_directories(in / "deeper");
    for (const char* name : {"b.TGA", "a.png", "notes.txt", "c.jpeg", "deeper/d.png"})
        testing::WriteBytes((in / name).string(), {1});
    const RunPlan many = plan({in.string(), "z.dds", "-o", "out", "--format", "bmp"});
    std::vector<std::string> outputs;
    for (const FileJob& job : many.jobs)
        outputs.push_back(job.output);
    EXPECT_EQ(outputs,
              (std::vector<std::string>{"out/a.bmp", "out/b.bmp", "out/c.bmp", "out/z.bmp"}));
}

}  // namespace
}  // namespace tintora::cli
