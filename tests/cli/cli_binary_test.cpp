// tintora-cli as a pipeline runs it: the built binary, started as a separate process.
//
// Every operation is checked against the editor: the same input is opened with the editor's
// loader into its tables, the editor's command for the operation runs on the texture entry (its
// preview and OK where the editor has a dialog), the editor's Save writes it, and the two files
// must be the same bytes.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "alpha/alpha_texture.h"
#include "cli/cli_options.h"
#include "effects/contrast_luminosity.h"
#include "effects/texture_effects.h"
#include "files/files_fixture.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "normalmap/normal_map_texture.h"
#include "support/synthetic_photo.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string FileText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

// Runs the binary with arguments through the shell; its standard output and error go to files.
CliResult RunCli(const Strings& arguments, const ScratchDir& scratch) {
    std::string command = TINTORA_CLI_PATH;
    for (const std::string& argument : arguments) {
        command += " '";
        for (const char c : argument)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    const std::string out = scratch.File("cli.stdout");
    const std::string err = scratch.File("cli.stderr");
    const int status = std::system((command + " >" + out + " 2>" + err).c_str());
    CliResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, FileText(out), FileText(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

// The same bytes; otherwise where the first difference lies (files are too long to print).
::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                     const std::vector<std::uint8_t>& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    const auto at = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << actual.size() << " bytes against the editor's " << expected.size()
           << ", first difference at byte " << (at.first - actual.begin());
}

Strings EntriesOf(const std::string& directory) {
    Strings names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The editor's OK of the dialog that previewed the edit.
enum class Commit { None, Preview, AlphaPreview };

class CliBinaryTest : public FilesTest {
  protected:
    // A 32-bit bitmap of a photo-like image with falling alpha, holding a few pixels of the
    // load's colour key and a patch of kKey for the colour-key tool.
    std::string WritePhoto(const std::string& name, int width, int height, std::uint32_t seed) {
        std::vector<std::uint32_t> pixels = SyntheticPhoto(width, height, true, seed);
        pixels[3] = kLoadColorKey;
        pixels[pixels.size() / 2] = kLoadColorKey;
        for (int i = 0; i < 6; ++i)
            pixels[static_cast<std::size_t>(width) * 2 + 5 + i] = 0xC0102030u + i;
        const std::string path = scratch.File(name);
        D3DXSaveTextureToFile(path, D3DXIFF_BMP, *ArgbTexture(device(), width, height, pixels),
                              nullptr);
        return path;
    }

    // Opens input in the editor, runs edit on its entry (which may name another entry to save),
    // takes the dialog's OK and saves as the format asks.
    std::vector<std::uint8_t> EditorBytes(const std::string& input,
                                          const std::function<void(std::int32_t&)>& edit,
                                          Commit commit, const char* format) {
        std::int32_t x = LoadTextureFile(input, {}, ui.Access());
        edit(x);
        if (commit == Commit::Preview) CommitPreview(x);
        if (commit == Commit::AlphaPreview) CommitAlphaPreview(x);
        const cli::SaveChoice choice = cli::SaveChoiceFor(*cli::FormatFromName(format));
        const std::string path = scratch.File("editor.out");
        EXPECT_EQ(SaveTexture(x, path, choice.kind,
                              [&](const std::string&) { return choice.exportAnswer; }),
                  SaveOutcome::Written);
        std::vector<std::uint8_t> bytes = ReadBytes(path);
        std::filesystem::remove(path);
        return bytes;
    }

    static constexpr std::uint32_t kKey = 0x00302010u;  // window colour of 0xC0102030's RGB
};

TEST_F(CliBinaryTest, EveryOperationWritesTheEditorsBytes) {
    const std::string photo = WritePhoto("photo.bmp", 37, 29, 11);
    const std::string other = WritePhoto("other.bmp", 16, 8, 5);
    using X = std::int32_t&;
    struct Case {
        const char* name;
        Strings arguments;
        const char* format;
        Commit commit;
        std::function<void(std::int32_t&)> edit;
    };
    const Case cases[] = {
        {"invert", {"--invert"}, "bmp", Commit::None, [](X x) { InvertColors(x); }},
        {"auto contrast", {"--auto-contrast"}, "dds32", Commit::None, [](X x) { AutoContrast(x); }},
        {"equalize", {"--equalize"}, "dds24", Commit::None, [](X x) { Equalize(x); }},
        {"contrast/luminosity",
         {"--contrast-luminosity", "63,-27"},
         "dds16",
         Commit::Preview,
         [](X x) { AdjustContrastLuminosity(x, 1, ContrastFactor(63), -27); }},
        {"hue/saturation",
         {"--hue-saturation=-150,35"},
         "dxt3",
         Commit::Preview,
         [](X x) { AdjustHueSaturation(x, 1, -150, 35); }},
        {"colour key",
         {"--colorkey", "102030,4.5"},
         "bmp",
         Commit::AlphaPreview,
         [](X x) { AlphaFromColourKey(x, kKey, ColourKeyThreshold("4.5")); }},
        {"colour key, default range",
         {"--colorkey", "#102030"},
         "dds32",
         Commit::AlphaPreview,
         [](X x) { AlphaFromColourKey(x, kKey, ColourKeyThreshold("2")); }},
        {"alpha from saturation",
         {"--alpha-from", "saturation"},
         "dds32",
         Commit::AlphaPreview,
         [](X x) { AlphaFromOwnChannel(x, AlphaChannel::Saturation); }},
        {"alpha from another file",
         {"--alpha-from-file", other + ",luminosity"},
         "dds32",
         Commit::AlphaPreview,
         [this, &other](X x) {
             const std::int32_t source = LoadTextureFile(other, {}, ui.Access());
             EXPECT_TRUE(AlphaFromOtherTexture(x, source, AlphaChannel::Luminosity));
         }},
        {"normal map",
         {"--normalmap", "luminance,4.5"},
         "bmp",
         Commit::None,
         [](X x) { x = CreateNormalMapTexture(2, "4.5"); }},
        {"normal map, default amplitude",
         {"--normalmap", "green"},
         "dds32",
         Commit::None,
         [](X x) { x = CreateNormalMapTexture(16, "10.0"); }},
        {"a chain, in command-line order",
         {"--equalize", "--hue-saturation", "90,-20", "--invert", "--colorkey", "102030,40",
          "--normalmap", "alpha,-3", "--contrast-luminosity", "-40,12"},
         "dds32",
         Commit::Preview,
         [](X x) {
             Equalize(x);
             AdjustHueSaturation(x, 1, 90, -20);
             CommitPreview(x);
             InvertColors(x);
             AlphaFromColourKey(x, kKey, ColourKeyThreshold("40"));
             CommitAlphaPreview(x);
             x = CreateNormalMapTexture(8, "-3");
             AdjustContrastLuminosity(x, 1, ContrastFactor(-40), 12);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetModule1();
        SetUp();
        const std::vector<std::uint8_t> expected = EditorBytes(photo, c.edit, c.commit, c.format);
        const std::string output = scratch.File("cli.out");
        Strings arguments{photo};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        arguments.insert(arguments.end(), {"-o", output, "--format", c.format});
        const CliResult run = RunCli(arguments, scratch);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(SameBytes(ReadBytes(output), expected));
        std::filesystem::remove(output);
    }
}

// A DXT2 file takes the editor's premultiplied route on the worker's own device, and the tool
// says so on standard error.
TEST_F(CliBinaryTest, PremultipliedFilesLoadAsInTheEditor) {
    auto blocks = device().CreateImageSurface(16, 8, D3DFMT_DXT2);
    D3DXLoadSurfaceFromSurface(*blocks, nullptr, nullptr,
                               *ArgbSurface(device(), 16, 8, SyntheticPhoto(16, 8, true, 7)),
                               nullptr, nullptr, D3DX_DEFAULT_FILTER, 0);
    const std::string input = scratch.File("premultiplied.dds");
    D3DXSaveSurfaceToFile(input, D3DXIFF_DDS, *blocks, nullptr, nullptr);
    const auto expected = EditorBytes(
        input, [](std::int32_t& x) { AdjustContrastLuminosity(x, 1, ContrastFactor(-20), 10); },
        Commit::Preview, "dds32");
    const std::string output = scratch.File("flat.dds");
    const CliResult run = RunCli({input, "--contrast-luminosity", "-20,10", "-o", output}, scratch);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("warning: " + input + ": DXT2/DXT4"), std::string::npos) << run.err;
    EXPECT_TRUE(SameBytes(ReadBytes(output), expected));
}

// Files of a directory run side by side on several workers; each output is what the editor
// writes for its input, named after it.
TEST_F(CliBinaryTest, ADirectoryRunsInParallelWithTheEditorsResults) {
    const std::filesystem::path inputs = scratch.path() / "in";
    std::filesystem::create_directories(inputs / "subfolder");  // not descended into
    Strings names;
    for (int i = 0; i < 6; ++i) {
        names.push_back("tex" + std::to_string(i) + ".bmp");
        std::filesystem::rename(WritePhoto("tmp.bmp", 20 + 7 * i, 9 + 5 * i, 100 + i),
                                inputs / names.back());
    }
    const std::string outputs = scratch.File("out");
    const CliResult run = RunCli({inputs.string(), "--hue-saturation", "45,10", "--equalize",
                                  "--jobs", "3", "--format", "dds16", "-o", outputs},
                                 scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("6 files: 6 written, 0 failed"), std::string::npos) << run.out;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto expected = EditorBytes((inputs / name).string(),
                                          [](std::int32_t& x) {
                                              AdjustHueSaturation(x, 1, 45, 10);
                                              CommitPreview(x);
                                              Equalize(x);
                                          },
                                          Commit::None, "dds16");
        const std::string output = outputs + "/" + name.substr(0, name.size() - 4) + ".dds";
        EXPECT_TRUE(SameBytes(ReadBytes(output), expected));
    }
    EXPECT_EQ(EntriesOf(outputs).size(), names.size());
}

// A missing or damaged file among good ones fails alone: status 1, its name and reason on
// standard error, no output for it, every other file written, no temporary file left.
TEST_F(CliBinaryTest, BadFilesFailAloneWithStatusOne) {
    const std::string good1 = WritePhoto("good1.bmp", 12, 10, 1);
    const std::string good2 = WritePhoto("good2.bmp", 8, 8, 2);
    const std::string missing = scratch.File("missing.png");
    const std::string corrupt = scratch.File("corrupt.png");
    std::vector<std::uint8_t> png = ReadBytes(PeerFile("png_rgba.png"));
    png.resize(png.size() / 2);  // cut off in its image data
    WriteBytes(corrupt, png);
    const std::string outputs = scratch.File("out");
    const CliResult run = RunCli(
        {good1, missing, corrupt, good2, "--invert", "--format", "bmp", "-o", outputs, "-j", "2"},
        scratch);
    EXPECT_EQ(run.status, 1);
    for (const std::string& reason : {missing, std::string("No such file"), corrupt})
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("4 files: 2 written, 2 failed"), std::string::npos) << run.out;
    EXPECT_EQ(EntriesOf(outputs), (Strings{"good1.bmp", "good2.bmp"}));

    // A mask that cannot be read stops the run before any file is written.
    const std::string mask = scratch.File("no-mask.png");
    const std::string masked = scratch.File("masked.bmp");
    const CliResult maskRun = RunCli({good1, "--alpha-from-file", mask, "-o", masked}, scratch);
    EXPECT_EQ(maskRun.status, 1);
    EXPECT_NE(maskRun.err.find(mask), std::string::npos) << maskRun.err;
    EXPECT_FALSE(std::filesystem::exists(masked));

    // A single file that cannot be written: the reason names the output and the input.
    const std::string unwritable = scratch.File("no/such/dir/x.bmp");
    const CliResult write = RunCli({good1, "-o", unwritable}, scratch);
    EXPECT_EQ(write.status, 1);
    EXPECT_NE(write.err.find(unwritable), std::string::npos) << write.err;
    EXPECT_NE(write.err.find(good1), std::string::npos) << write.err;
}

// Command lines that cannot run: status 2, a reason on standard error, nothing written.
TEST_F(CliBinaryTest, BadCommandLinesStopWithStatusTwo) {
    const std::string photo = WritePhoto("photo.bmp", 8, 8, 3);
    const std::string out = scratch.File("out");
    const std::string twin = scratch.File("photo.png");
    WriteBytes(twin, ReadBytes(PeerFile("png_rgba.png")));
    struct Bad {
        Strings arguments;
        const char* reason;
    };
    const Bad cases[] = {
        {{photo, "--sharpen", "-o", out + ".bmp"}, "unknown option --sharpen"},
        {{photo, "--contrast-luminosity", "101,0", "-o", out + ".bmp"}, "between -100 and 100"},
        {{photo, "--hue-saturation", "30", "-o", out + ".bmp"}, "two numbers"},
        {{photo, "--hue-saturation", "-181,0", "-o", out + ".bmp"}, "between -180 and 180"},
        {{photo, "--colorkey", "12345", "-o", out + ".bmp"}, "six hex digits"},
        {{photo, "--alpha-from", "alpha", "-o", out + ".bmp"}, "--alpha-from takes"},
        {{photo, "--normalmap", "red,steep", "-o", out + ".bmp"}, "must be a number"},
        {{photo, "--format", "png", "-o", out + ".bmp"}, "--format takes"},
        {{photo, "-o", out + ".png"}, "cannot tell the format"},
        {{photo, "--jobs", "0", "-o", out + ".bmp"}, "--jobs must lie between"},
        {{photo, "--invert"}, "no output"},
        {{"-o", out + ".bmp"}, "no input"},
        {{photo, "-o"}, "-o needs a value"},
        {{photo, twin, "-o", out}, "--format is needed"},
        {{photo, twin, "--format", "dds32", "-o", photo}, "must be a directory"},
        {{photo, twin, "--format", "bmp", "-o", out}, "would both be written"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.reason);
        const CliResult run = RunCli(c.arguments, scratch);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(out) || std::filesystem::exists(out + ".bmp"));
    }
    const CliResult help = RunCli({"--help"}, scratch);
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--invert", "--auto-contrast", "--equalize", "--contrast-luminosity", "--hue-saturation",
          "--colorkey", "--alpha-from ", "--alpha-from-file", "--normalmap", "--format", "--jobs",
          "Exit status"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace tintora::testing
