// tintora-cli as a pipeline runs it: the built binary, started as a separate process.
//
// Every operation is checked against the editor: the same input is opened with the editor's
// loader into its tables, the editor's command for the operation runs on the texture entry (its
// preview and OK where the editor has a dialog), the editor's Save writes it, and the two files
// must be the same bytes.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "alpha/alpha_texture.h"
#include "effects/contrast_luminosity.h"
#include "effects/texture_effects.h"
#include "files/files_fixture.h"
#include "files/texture_load.h"
#include "files/texture_save.h"
#include "normalmap/normal_map_texture.h"
#include "support/synthetic_photo.h"

namespace tintora::testing {
namespace {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string FileText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

// The same bytes; otherwise says where the first difference lies (files are too long to print).
::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                     const std::vector<std::uint8_t>& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure()
           << "the files differ: " << actual.size() << " bytes against the editor's "
           << expected.size() << ", first difference at byte " << at;
}

// Names of the entries of a directory, sorted.
std::vector<std::string> ScratchEntries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the binary with arguments; its standard output and error go to files in scratch.
CliResult RunCli(const std::vector<std::string>& arguments, const ScratchDir& scratch) {
    const std::string outPath = scratch.File("cli.stdout");
    const std::string errPath = scratch.File("cli.stderr");
    std::vector<std::string> argv{TINTORA_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    CliResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = FileText(outPath);
    result.err = FileText(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return result;
}

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

    std::string WriteDxt2(const std::string& name) {
        const int width = 16;
        const int height = 8;
        const std::vector<std::uint32_t> pixels = SyntheticPhoto(width, height, true, 7);
        auto blocks = device().CreateImageSurface(width, height, D3DFMT_DXT2);
        D3DXLoadSurfaceFromSurface(*blocks, nullptr, nullptr,
                                   *ArgbSurface(device(), width, height, pixels), nullptr, nullptr,
                                   D3DX_DEFAULT_FILTER, 0);
        const std::string path = scratch.File(name);
        D3DXSaveSurfaceToFile(path, D3DXIFF_DDS, *blocks, nullptr, nullptr);
        return path;
    }

    // Opens input in the editor, runs edit on its entry (which returns the entry to save) and
    // saves that as kind with the export answer.
    std::vector<std::uint8_t> EditorBytes(const std::string& input,
                                          const std::function<std::int32_t(std::int32_t)>& edit,
                                          std::int32_t kind, const std::string& answer) {
        const std::int32_t x = LoadTextureFile(input, {});
        const std::int32_t saved = edit(x);
        const std::string path = scratch.File("editor.out");
        EXPECT_EQ(SaveTexture(saved, path, kind, [&](const std::string&) { return answer; }),
                  SaveOutcome::Written);
        std::vector<std::uint8_t> bytes = ReadBytes(path);
        std::filesystem::remove(path);
        return bytes;
    }

    static constexpr std::uint32_t kKey = 0x00302010u;  // window colour of 0xC0102030's RGB
};

struct OperationCase {
    const char* name;
    std::vector<std::string> arguments;
    std::function<std::int32_t(std::int32_t)> edit;
    const char* format;
    std::int32_t kind;
    const char* answer;
};

TEST_F(CliBinaryTest, EveryOperationWritesTheEditorsBytes) {
    const std::string photo = WritePhoto("photo.bmp", 37, 29, 11);
    const std::string other = WritePhoto("other.bmp", 16, 8, 5);
    const auto withPreview = [](auto adjust) {
        return [adjust](std::int32_t x) {
            adjust(x);
            CommitPreview(x);
            return x;
        };
    };
    const auto withAlphaPreview = [](auto build) {
        return [build](std::int32_t x) {
            build(x);
            CommitAlphaPreview(x);
            return x;
        };
    };
    const std::vector<OperationCase> cases = {
        {"invert",
         {"--invert"},
         [](std::int32_t x) {
             InvertColors(x);
             return x;
         },
         "bmp",
         kSaveBitmap,
         ""},
        {"auto contrast",
         {"--auto-contrast"},
         [](std::int32_t x) {
             AutoContrast(x);
             return x;
         },
         "dds32",
         kSaveDds,
         kExport32},
        {"equalize",
         {"--equalize"},
         [](std::int32_t x) {
             Equalize(x);
             return x;
         },
         "dds24",
         kSaveDds,
         kExport24},
        {"contrast/luminosity",
         {"--contrast-luminosity", "63,-27"},
         withPreview(
             [](std::int32_t x) { AdjustContrastLuminosity(x, 1, ContrastFactor(63), -27); }),
         "dds16",
         kSaveDds,
         kExport16},
        {"hue/saturation",
         {"--hue-saturation=-150,35"},
         withPreview([](std::int32_t x) { AdjustHueSaturation(x, 1, -150, 35); }),
         "dxt3",
         kSaveDds,
         kExportCompressed},
        {"colour key",
         {"--colorkey", "102030,4.5"},
         withAlphaPreview(
             [](std::int32_t x) { AlphaFromColourKey(x, kKey, ColourKeyThreshold("4.5")); }),
         "bmp",
         kSaveBitmap,
         ""},
        {"colour key, default range",
         {"--colorkey", "#102030"},
         withAlphaPreview(
             [](std::int32_t x) { AlphaFromColourKey(x, kKey, ColourKeyThreshold("2")); }),
         "dds32",
         kSaveDds,
         kExport32},
        {"alpha from saturation",
         {"--alpha-from", "saturation"},
         withAlphaPreview([](std::int32_t x) { AlphaFromOwnChannel(x, AlphaChannel::Saturation); }),
         "dds32",
         kSaveDds,
         kExport32},
        {"alpha from another file",
         {"--alpha-from-file", other + ",luminosity"},
         withAlphaPreview([&other](std::int32_t x) {
             const std::int32_t source = LoadTextureFile(other, {});
             EXPECT_TRUE(AlphaFromOtherTexture(x, source, AlphaChannel::Luminosity));
         }),
         "dds32",
         kSaveDds,
         kExport32},
        {"normal map",
         {"--normalmap", "luminance,4.5"},
         [](std::int32_t) { return CreateNormalMapTexture(2, "4.5"); },
         "bmp",
         kSaveBitmap,
         ""},
        {"normal map, default amplitude",
         {"--normalmap", "green"},
         [](std::int32_t) { return CreateNormalMapTexture(16, "10.0"); },
         "dds32",
         kSaveDds,
         kExport32},
        {"a chain, in command-line order",
         {"--equalize", "--hue-saturation", "90,-20", "--invert", "--colorkey", "102030,40",
          "--normalmap", "alpha,-3", "--contrast-luminosity", "-40,12"},
         [](std::int32_t x) {
             Equalize(x);
             AdjustHueSaturation(x, 1, 90, -20);
             CommitPreview(x);
             InvertColors(x);
             AlphaFromColourKey(x, kKey, ColourKeyThreshold("40"));
             CommitAlphaPreview(x);
             const std::int32_t map = CreateNormalMapTexture(8, "-3");
             AdjustContrastLuminosity(map, 1, ContrastFactor(-40), 12);
             CommitPreview(map);
             return map;
         },
         "dds32",
         kSaveDds,
         kExport32},
    };
    for (const OperationCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetModule1();
        SetUp();
        const std::vector<std::uint8_t> expected = EditorBytes(photo, c.edit, c.kind, c.answer);
        std::vector<std::string> arguments{photo};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const std::string output = scratch.File("cli.out");
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
    const std::string input = WriteDxt2("premultiplied.dds");
    const std::vector<std::uint8_t> expected = EditorBytes(
        input,
        [](std::int32_t x) {
            AdjustContrastLuminosity(x, 1, ContrastFactor(-20), 10);
            CommitPreview(x);
            return x;
        },
        kSaveDds, kExport32);
    const std::string output = scratch.File("flat.dds");
    const CliResult run = RunCli({input, "--contrast-luminosity", "-20,10", "-o", output}, scratch);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("warning: " + input + ": DXT2/DXT4"), std::string::npos) << run.err;
    EXPECT_TRUE(SameBytes(ReadBytes(output), expected));
}

// Files of a directory run side by side on several workers; each output is what the editor
// writes for its input, named after it.
TEST_F(CliBinaryTest, DirectoryRunsInParallelWithTheEditorsResults) {
    const std::filesystem::path inputs = scratch.path() / "in";
    std::filesystem::create_directory(inputs);
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) {
        names.push_back("tex" + std::to_string(i) + ".bmp");
        std::filesystem::rename(WritePhoto("tmp.bmp", 20 + 7 * i, 9 + 5 * i, 100 + i),
                                inputs / names.back());
    }
    std::filesystem::create_directory(inputs / "subfolder");  // not descended into
    const std::string outputs = scratch.File("out");
    const CliResult run = RunCli({inputs.string(), "--hue-saturation", "45,10", "--equalize",
                                  "--jobs", "3", "--format", "dds16", "-o", outputs},
                                 scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("6 files: 6 written, 0 failed"), std::string::npos) << run.out;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> expected =
            EditorBytes((inputs / name).string(),
                        [](std::int32_t x) {
                            AdjustHueSaturation(x, 1, 45, 10);
                            CommitPreview(x);
                            Equalize(x);
                            return x;
                        },
                        kSaveDds, kExport16);
        const std::string output = outputs + "/" + name.substr(0, name.size() - 4) + ".dds";
        EXPECT_TRUE(SameBytes(ReadBytes(output), expected));
    }
    EXPECT_EQ(ScratchEntries(outputs).size(), names.size());
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
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(corrupt), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("4 files: 2 written, 2 failed"), std::string::npos) << run.out;
    EXPECT_EQ(ScratchEntries(outputs), (std::vector<std::string>{"good1.bmp", "good2.bmp"}));

    // A mask that cannot be read stops the run before any file is written.
    const std::string mask = scratch.File("no-mask.png");
    const std::string masked = scratch.File("masked.bmp");
    const CliResult maskRun = RunCli({good1, "--alpha-from-file", mask, "-o", masked}, scratch);
    EXPECT_EQ(maskRun.status, 1);
    EXPECT_NE(maskRun.err.find(mask), std::string::npos) << maskRun.err;
    EXPECT_FALSE(std::filesystem::exists(masked));

    // A single file that cannot be written: the reason names the output, status 1.
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
        std::vector<std::string> arguments;
        const char* reason;
    };
    const std::vector<Bad> cases = {
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
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(out + ".bmp"));
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
