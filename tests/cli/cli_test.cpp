// tintora-cli: its command line, and the built binary as a pipeline runs it. Every operation is
// checked against the editor: the input opened with the editor's loader, the editor's command
// run on it (with the dialog's OK), the editor's Save, and the two files must be the same bytes.
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "alpha/alpha_texture.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
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
    std::string out, err;
};

std::string TextOf(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
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
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TextOf(out), TextOf(err)};
}

// The editor's commands with their dialog's OK, as the tool's options name them.
using X = std::int32_t&;  // the entry; a command that makes a new texture puts it there
void Contrast(X x, int contrast, int luminosity) {
    AdjustContrastLuminosity(x, 1, ContrastFactor(contrast), luminosity);
    CommitPreview(x);
}
void HueSaturation(X x, int hue, int saturation) {
    AdjustHueSaturation(x, 1, hue, saturation);
    CommitPreview(x);
}
void ColourKey(X x, const char* range) {
    AlphaFromColourKey(x, 0x00302010u, ColourKeyThreshold(range));  // the RGB of 0xC0102030
    CommitAlphaPreview(x);
}
void AlphaOf(X x, AlphaChannel channel) {
    AlphaFromOwnChannel(x, channel);
    CommitAlphaPreview(x);
}
void NormalMap(X x, int height, const char* amplitude) {
    x = CreateNormalMapTexture(height, amplitude);
}

// "--" ends the options; only a channel name after the last comma is split off a file name.
TEST(CliOptions, ADoubleDashEndsTheOptionsAndFileNamesMayHoldCommas) {
    const cli::CommandLine line = cli::ParseCommandLine(
        {"a.png", "--alpha-from-file", "m,v2/m.png,red", "-o", "out", "--", "--odd-name.bmp"});
    EXPECT_EQ(line.inputs, (Strings{"a.png", "--odd-name.bmp"}));
    ASSERT_EQ(line.operations.size(), 1u);
    EXPECT_EQ(line.operations[0].text, "m,v2/m.png");
    EXPECT_EQ(line.operations[0].channel, AlphaChannel::Red);
}

// Each format is saved as the editor's Save and export dialog would (the byte comparisons rely
// on it); an output's ending, in any case, names its format.
TEST(CliOptions, FormatsMapToTheEditorsSaveChoices) {
    for (const auto& [name, choice] : {std::pair{"bmp", "0 "},
                                       {"dds32", "1 32"},
                                       {"dds24", "1 24"},
                                       {"dds16", "1 16"},
                                       {"dxt3", "1 COMP"}}) {
        const cli::SaveChoice c = cli::SaveChoiceFor(cli::FormatFromName(name).value());
        EXPECT_EQ(std::to_string(c.kind) + " " + c.exportAnswer, choice);
    }
    EXPECT_EQ(cli::FormatFromOutputName("a/WALL.BMP"), cli::OutputFormat::Bitmap);
    EXPECT_THROW(cli::FormatFromOutputName("dds"), cli::UsageError);
}

// The DDS options become the export's settings. Without --srgb or --no-srgb, an input marked
// sRGB gives an sRGB file where the format has an sRGB form.
TEST(CliOptions, DdsOptionsBecomeTheExportSettings) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"a.dds -o b.DDS", true, "A8R8G8B8 srgb"},
        {"a.png -o a.dds --format dxt3", false, "BC2"},
        {"a.png -o a --format=bc7 --srgb --mipmaps --quality best", false, "BC7 1 srgb best"},
        {"n.png --format bc5 --mipmaps --normal-map --mip-filter=box --dx10 -o n", false,
         "BC5 0 normal dx10"},
        {"a.png -o a --format bc1a --mipmaps --alpha-coverage 128 --mip-filter lanczos", false,
         "BC1a 2 coverage 128"},
        {"a.dds -o a.dds --format bc4", true, "BC4"},
        {"a.dds -o a.dds --format bc3 --no-srgb", true, "BC3"},
        {"a.png -o a.dds --format bc1a --alpha-threshold=200", false, "BC1a threshold 200"},
        {"a.png -o a.dds --format bc1 --bc1-three-colour", false, "BC1 three-colour"},
    };
    for (const auto& [arguments, inputSrgb, expected] : cases) {
        Strings split;
        for (std::istringstream in(arguments); in >> split.emplace_back();) {
        }
        split.pop_back();
        const cli::CommandLine line = cli::ParseCommandLine(split);
        const ExportSettings s =
            cli::ExportSettingsFor(cli::MakeRunPlan(line).jobs[0].format, line.dds, inputSrgb);
        const auto mips = static_cast<int>(s.mip.filter);  // 0 box, 1 kaiser, 2 lanczos
        EXPECT_EQ(ExportFormatName(s.format) + (s.mipmaps ? " " + std::to_string(mips) : "") +
                      (s.mip.normalMap ? " normal" : "") +
                      (s.mip.alphaReference ? " coverage 128" : "") + (s.srgb ? " srgb" : "") +
                      (s.encode.level == EncodeLevel::Best ? " best" : "") +
                      (s.dx10 ? " dx10" : "") + (s.encode.bc1ThreeColour ? " three-colour" : "") +
                      (s.encode.alphaThreshold != 128 ? " threshold 200" : ""),
                  expected);
    }
}

// An existing directory, or a trailing slash, takes each file by its input's name; a directory
// input gives its image files, sorted, not its subdirectories or other files.
TEST(CliRunPlan, OneFileOrADirectoryOfOutputs) {
    ScratchDir scratch;
    const auto outputs = [](const Strings& arguments) {
        Strings names;
        for (const cli::FileJob& job : cli::MakeRunPlan(cli::ParseCommandLine(arguments)).jobs)
            names.push_back(job.output);
        return names;
    };
    EXPECT_EQ(outputs({"in/a.png", "-o", scratch.path().string(), "--format", "bmp"}),
              Strings{(scratch.path() / "a.bmp").string()});
    EXPECT_EQ(outputs({"a.b.png", "-o", "new/", "--format", "dds16"}), Strings{"new/a.b.dds"});
    const std::filesystem::path in = scratch.path() / "in";
    std::filesystem::create_directories(in / "deeper");
    for (const char* name : {"b.TGA", "a.png", "notes.txt", "c.jpeg", "deeper/d.png", "e.Jpe"})
        WriteBytes((in / name).string(), {1});
    EXPECT_EQ(outputs({in.string(), "z.dds", "-o", "out", "--format", "bmp"}),
              (Strings{"out/a.bmp", "out/b.bmp", "out/c.bmp", "out/e.bmp", "out/z.bmp"}));
}

class CliBinaryTest : public FilesTest {
  protected:
    // A photo-like 32-bit bitmap with pixels of the load's colour key and of the tool's.
    std::string WritePhoto(const std::string& name, int width, int height, std::uint32_t seed) {
        std::vector<std::uint32_t> pixels = SyntheticPhoto(width, height, true, seed);
        pixels[3] = pixels[pixels.size() / 2] = kLoadColorKey;
        for (int i = 0; i < 6; ++i)
            pixels[static_cast<std::size_t>(width) * 2 + 5 + i] = 0xC0102030u + i;
        const std::string path = scratch.File(name);
        D3DXSaveTextureToFile(path, D3DXIFF_BMP, *ArgbTexture(device(), width, height, pixels),
                              nullptr);
        return path;
    }

    // Opens input in the editor, runs edit on its entry and saves as the format asks.
    std::vector<std::uint8_t> EditorBytes(const std::string& input, const char* format,
                                          const std::function<void(X)>& edit) {
        std::int32_t x = LoadTextureFile(input, {}, ui.Access());
        edit(x);
        const cli::SaveChoice choice = cli::SaveChoiceFor(*cli::FormatFromName(format));
        const std::string path = scratch.File("editor.out");
        EXPECT_EQ(SaveTexture(x, path, choice.kind,
                              [&](const std::string&) { return choice.exportAnswer; }),
                  SaveOutcome::Written);
        return ReadBytes(path);
    }
};

TEST_F(CliBinaryTest, EveryOperationWritesTheEditorsBytes) {
    const std::string photo = WritePhoto("photo.bmp", 37, 29, 11);
    const std::string other = WritePhoto("other.bmp", 16, 8, 5);
    using enum AlphaChannel;
    const std::tuple<Strings, const char*, std::function<void(X)>> cases[] = {
        {{"--invert"}, "bmp", [](X x) { InvertColors(x); }},
        {{"--auto-contrast"}, "dds32", [](X x) { AutoContrast(x); }},
        {{"--equalize"}, "dds24", [](X x) { Equalize(x); }},
        {{"--contrast-luminosity", "100,-27"}, "dds16", [](X x) { Contrast(x, 100, -27); }},
        {{"--hue-saturation=-150,35"}, "dxt3", [](X x) { HueSaturation(x, -150, 35); }},
        {{"--colorkey", "102030,4.5"}, "bmp", [](X x) { ColourKey(x, "4.5"); }},
        {{"--colorkey", "#102030"}, "dds32", [](X x) { ColourKey(x, "2"); }},  // default range
        {{"--alpha-from", "saturation"}, "dds32", [](X x) { AlphaOf(x, Saturation); }},
        {{"--alpha-from-file", other + ",luminosity"},
         "dds32",
         [this, &other](X x) {
             EXPECT_TRUE(
                 AlphaFromOtherTexture(x, LoadTextureFile(other, {}, ui.Access()), Luminosity));
             CommitAlphaPreview(x);
         }},
        {{"--normalmap", "luminance,4.5"}, "bmp", [](X x) { NormalMap(x, 2, "4.5"); }},
        {{"--normalmap", "green"}, "dds32", [](X x) { NormalMap(x, 16, "10.0"); }},
        // A chain runs in command-line order.
        {{"--colorkey", "102030,40", "--normalmap", "alpha,-3", "--contrast-luminosity", "-40,12"},
         "dds32",
         [](X x) { ColourKey(x, "40"), NormalMap(x, 8, "-3"), Contrast(x, -40, 12); }},
    };
    for (const auto& [operations, format, edit] : cases) {
        SCOPED_TRACE(operations.front());
        ResetModule1();
        SetUp();
        const std::vector<std::uint8_t> expected = EditorBytes(photo, format, edit);
        const std::string output = scratch.File("cli.out");
        Strings arguments{photo, "-o", output, "--format", format};
        arguments.insert(arguments.end(), operations.begin(), operations.end());
        const CliResult run = RunCli(arguments, scratch);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(ReadBytes(output) == expected) << "not the editor's bytes";
    }
}

// A DXT2 file takes the editor's premultiplied route on the worker's own device, and the tool
// says so on standard error; so it does when a file holds more images than the one converted.
TEST_F(CliBinaryTest, PremultipliedFilesLoadAsInTheEditor) {
    auto blocks = device().CreateImageSurface(16, 8, D3DFMT_DXT2);
    D3DXLoadSurfaceFromSurface(*blocks, nullptr, nullptr,
                               *ArgbSurface(device(), 16, 8, SyntheticPhoto(16, 8, true, 7)),
                               nullptr, nullptr, D3DX_DEFAULT_FILTER, 0);
    const std::string input = scratch.File("premultiplied.dds");
    D3DXSaveSurfaceToFile(input, D3DXIFF_DDS, *blocks, nullptr, nullptr);
    const auto expected = EditorBytes(input, "dds32", [](X x) { Contrast(x, -20, 10); });
    const std::string output = scratch.File("flat.dds");
    const CliResult run = RunCli({input, "--contrast-luminosity", "-20,10", "-o", output}, scratch);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("warning: " + input + ": DXT2/DXT4"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadBytes(output) == expected) << "not the editor's bytes";

    DdsLayout cube;
    cube.caps2 = 0xFE00;  // a cube map with all six faces
    cube.data = FileBytes(6 * 4 * 4 * 4, 0x7F);
    const std::string faces = scratch.File("cube.dds");
    WriteBytes(faces, MakeDds(cube));
    const CliResult cubeRun = RunCli({faces, "-o", scratch.File("face.bmp")}, scratch);
    EXPECT_EQ(cubeRun.status, 0);
    EXPECT_NE(cubeRun.err.find("warning: " + faces +
                               ": cube map: face 1 of 6 opened; only that image is converted"),
              std::string::npos)
        << cubeRun.err;
}

// An input marked sRGB gives an sRGB BC7 file (DXGI 99), its chain of five levels in the file.
TEST_F(CliBinaryTest, ABlockFormatKeepsTheInputsSrgbMark) {
    std::vector<std::uint32_t> pixels = SyntheticPhoto(20, 12, true, 3);
    ExportSettings srgb;
    srgb.srgb = true;
    WriteDdsExport({reinterpret_cast<std::uint8_t*>(pixels.data()), 20, 12}, srgb,
                   scratch.File("in.dds"));
    const CliResult run =
        RunCli({scratch.File("in.dds"), "-o", scratch.File("out.dds"), "--format=bc7", "--mipmaps"},
               scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint8_t> file = ReadBytes(scratch.File("out.dds"));
    EXPECT_EQ(std::vector<int>({file[28], file[128]}), std::vector<int>({5, 99}));
}

// Files of a directory (not its subfolders) run side by side on several workers; each output is
// what the editor writes for its input, named after it.
TEST_F(CliBinaryTest, ADirectoryRunsInParallelWithTheEditorsResults) {
    std::filesystem::create_directories(scratch.path() / "in");
    for (int i = 0; i < 6; ++i)
        WritePhoto("in/t" + std::to_string(i) + ".bmp", 20 + 7 * i, 9 + 5 * i, 100 + i);
    const std::string outputs = scratch.File("out");
    const CliResult run = RunCli({scratch.File("in"), "--hue-saturation", "45,10", "--equalize",
                                  "--jobs", "3", "--format", "dds16", "-o", outputs},
                                 scratch);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("6 files: 6 written, 0 failed"), std::string::npos) << run.out;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "t" + std::to_string(i);
        const auto expected = EditorBytes(scratch.File("in/" + name + ".bmp"), "dds16",
                                          [](X x) { HueSaturation(x, 45, 10), Equalize(x); });
        EXPECT_TRUE(ReadBytes(outputs + "/" + name + ".dds") == expected) << name;
    }
}

// A missing or damaged file among good ones fails alone: status 1, its name and reason on
// standard error, no output for it, no temporary file left.
TEST_F(CliBinaryTest, BadFilesFailAlone) {
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
    EXPECT_TRUE(std::filesystem::exists(outputs + "/good1.bmp"));
    EXPECT_TRUE(std::filesystem::exists(outputs + "/good2.bmp"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outputs), {}), 2);
}

// A disk that fills up while files are written side by side: each file fails where the disk
// refuses it (its size, its data, or its flush on a committing thread), its old output stays and
// no temporary file is left.
TEST_F(CliBinaryTest, AFullDiskKeepsEveryOldOutput) {
    std::filesystem::create_directories(scratch.path() / "in");
    std::filesystem::create_directories(scratch.path() / "out");
    const Strings names = {"t0.bmp", "t1.bmp", "t2.bmp", "t3.bmp"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        WritePhoto("in/" + names[i], 64, 48, static_cast<std::uint32_t>(i));
        WriteBytes(scratch.File("out/" + names[i]), {'o', 'l', 'd'});
    }
    const cli::CommandLine line = cli::ParseCommandLine(
        {scratch.File("in"), "--invert", "--format", "bmp", "-j", "2", "-o", scratch.File("out")});
    for (const WriteFault& fault :
         {WriteFault{WriteStage::Allocate, 0, ENOSPC}, WriteFault{WriteStage::Write, 5000, ENOSPC},
          WriteFault{WriteStage::Sync, 0, EIO}}) {
        std::ostringstream out, err;
        {
            const ScopedWriteFault full(fault);
            EXPECT_EQ(cli::RunCommandLine(line, out, err, false), cli::kExitFileFailed);
        }
        EXPECT_NE(out.str().find("4 files: 0 written, 4 failed"), std::string::npos) << out.str();
        EXPECT_NE(err.str().find(std::strerror(fault.error)), std::string::npos) << err.str();
        for (const std::string& name : names)
            EXPECT_EQ(ReadBytes(scratch.File("out/" + name)), FileBytes({'o', 'l', 'd'})) << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path() / "out"), {}),
                  4);
    }
}

// Output bytes depend on the inputs and the command line alone: every format, with mipmaps where
// it has them, gives the same bytes at any --jobs and --threads, and holds no path.
TEST_F(CliBinaryTest, EveryFormatIsTheSameAtAnyJobsAndThreads) {
    std::filesystem::create_directories(scratch.path() / "in");
    for (int i = 0; i < 3; ++i)
        WritePhoto("in/t" + std::to_string(i) + ".bmp", 37 + 9 * i, 29, 40 + i);
    for (const std::string format : {"bmp", "dds32", "dds24", "dds16", "dxt3", "bc1", "bc1a", "bc2",
                                     "bc3", "bc4", "bc5", "bc7"}) {
        const std::string mipmaps = format == "bmp" ? "--no-mipmaps" : "--mipmaps";
        Strings first;
        for (const auto& [jobs, threads] : {std::pair{"2", "1"}, {"1", "2"}, {"1", "3"}}) {
            ASSERT_EQ(RunCli({scratch.File("in"), "--format", format, mipmaps, "-o",
                              scratch.File("out"), "--jobs", jobs, "--threads", threads},
                             scratch)
                          .status,
                      0);
            for (int i = 0; i < 3; ++i) {
                const std::string bytes = TextOf(scratch.File("out/t" + std::to_string(i) +
                                                              (format == "bmp" ? ".bmp" : ".dds")));
                EXPECT_EQ(bytes.find(scratch.path().string()), std::string::npos);
                if (first.size() < 3) first.push_back(bytes);
                EXPECT_TRUE(bytes == first[i]) << format << " " << i << " threads " << threads;
            }
        }
    }
}

// The dependency file names the files as given (relative names stay relative), escaped so that
// Ninja and GNU Make read back the exact names: Ninja has nothing to do after the build and names
// the touched input as the reason to run again; Make names the output and finds the input.
TEST_F(CliBinaryTest, DepfileNamesReadBackInNinjaAndMake) {
    const std::string photo = WritePhoto("photo.bmp", 8, 8, 3);
    const bool make = std::system("command -v make >/dev/null") == 0;  // not always installed
    const auto ninja = [](const std::string& name) {
        std::string escaped;
        for (const char c : name)
            escaped += (c == '$' || c == ' ' || c == ':' ? "$" : "") + std::string(1, c);
        return escaped;
    };
    const std::string names[] = {"plain", "a b", "#1", "$5", "c:d", "a %~{}@!,+-_ #$:", "\xC3\xA9"};
    for (std::size_t c = 0; c < std::size(names); ++c) {
        std::string in = names[c] + ".bmp", out = "o" + names[c] + ".dds";
        std::erase(out, '%');  // Make's pattern character: refused in an output
        SCOPED_TRACE(in);
        const std::filesystem::path folder = scratch.path() / ("case" + std::to_string(c));
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(photo, folder / in);
        const std::string rules = std::string("rule tex\n  command = ") + TINTORA_CLI_PATH +
                                  " $in -o $out --depfile dep.d\n  depfile = dep.d\nbuild " +
                                  ninja(out) + ": tex " + ninja(in) + "\n";
        WriteBytes((folder / "build.ninja").string(), FileBytes(rules.begin(), rules.end()));
        const auto run = [&folder](const std::string& command) {
            const int status =
                std::system(("cd " + folder.string() + " && " + command + " >log 2>&1").c_str());
            return std::to_string(status) + " " + TextOf((folder / "log").string());
        };
        ASSERT_EQ(run("ninja").substr(0, 2), "0 ");
        EXPECT_EQ(TextOf((folder / "dep.d").string()).find('/'), std::string::npos);
        EXPECT_EQ(run("ninja -n -d explain"), "0 ninja: no work to do.\n");
        if (make) {
            EXPECT_EQ(run("make -f dep.d"), "0 make: Nothing to be done for '" + out + "'.\n");
        }
        std::filesystem::last_write_time(
            folder / in, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
        EXPECT_NE(run("ninja -n -d explain").find("older than most recent input " + in + " ("),
                  std::string::npos);
    }
}

// A dependency file that cannot be written, where it is made (a missing folder) or at its last
// step after the output was put in place (a folder in its way), fails the run and leaves an old
// output with its bytes and time, and no temporary file (a new output: RefusedRunsWriteNothing).
TEST_F(CliBinaryTest, ADepfileThatCannotBeWrittenKeepsTheOldOutput) {
    const std::string photo = WritePhoto("photo.bmp", 8, 8, 3), out = scratch.File("out.dds");
    std::filesystem::create_directories(scratch.path() / "in-the-way.d");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(5);
    for (const char* depfile : {"no/folder/x.d", "in-the-way.d"}) {
        WriteBytes(out, {'o', 'l', 'd'});
        std::filesystem::last_write_time(out, old);
        const CliResult run =
            RunCli({photo, "-o", out, "--depfile", scratch.File(depfile)}, scratch);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(depfile), std::string::npos) << run.err;
        EXPECT_EQ(ReadBytes(out), FileBytes({'o', 'l', 'd'})) << depfile;
        EXPECT_EQ(std::filesystem::last_write_time(out), old) << depfile;
        for (const std::string& name : scratch.Entries())
            EXPECT_NE(name[0], '.') << name;
    }
}

// Runs that cannot start write nothing: status 2 and a reason on standard error for a command
// line that cannot run, status 1 for a mask that cannot be read or an output that cannot be
// written (named with its input).
TEST_F(CliBinaryTest, RefusedRunsWriteNothing) {
    const std::string photo = WritePhoto("photo.bmp", 8, 8, 3);
    const std::string out = scratch.File("out");
    const std::string bmp = out + ".bmp", dds = out + ".dds";
    const std::string twin = scratch.File("photo.png");
    WriteBytes(twin, ReadBytes(PeerFile("png_rgba.png")));
    const std::string mask = scratch.File("no-mask.png");
    const std::string unwritable = scratch.File("no/dir/x.bmp");
    const std::string cannotWrite =
        photo + ": cannot create a temporary file beside \"" + unwritable;
    const std::string manifest = scratch.File("list.txt"), dep = scratch.File("out.d");
    const std::string lines = "# textures\n\nphoto.bmp --invert\nphoto.png --sharpen\n";
    WriteBytes(manifest, FileBytes(lines.begin(), lines.end()));
    const std::tuple<Strings, int, std::string> cases[] = {
        {{photo, "--sharpen", "-o", bmp}, 2, "unknown option --sharpen"},
        {{photo, "--contrast-luminosity", "101,0", "-o", bmp}, 2, "between -100 and 100"},
        {{photo, "--hue-saturation", "30", "-o", bmp}, 2, "two numbers"},
        {{photo, "--hue-saturation", "-181,0", "-o", bmp}, 2, "between -180 and 180"},
        {{photo, "--colorkey", "12345", "-o", bmp}, 2, "six hex digits"},
        {{photo, "--alpha-from", "alpha", "-o", bmp}, 2, "--alpha-from takes"},
        {{photo, "--normalmap", "red,steep", "-o", bmp}, 2, "must be a number"},
        {{photo, "--format", "png", "-o", bmp}, 2, "--format takes"},
        {{photo, "-o", out + ".png"}, 2, "cannot tell the format"},
        {{photo, "--format", "dxt3", "-o", bmp}, 2, "ends in .bmp, but --format dxt3 writes"},
        {{photo, "--format", "bmp", "-o", out + ".dds"}, 2, "ends in .dds, but --format bmp"},
        {{photo, "--format=dds16", "-o", out + ".dib"}, 2, "ends in .dib, but --format dds16"},
        {{photo, "--format", "bc7", "-o", bmp}, 2, "ends in .bmp, but --format bc7 writes"},
        {{photo, "--quality", "best", "-o", dds}, 2, "--quality needs a block format"},
        {{photo, "--quality", "slow", "-o", dds}, 2, "--quality takes fast or best"},
        {{photo, "--mipmaps", "-o", bmp}, 2, "--mipmaps needs a DDS format"},
        {{photo, "--srgb", "--format", "bc5", "-o", dds}, 2, "--srgb needs"},
        {{photo, "--dx10", "--format", "dds24", "-o", dds}, 2, "--dx10 needs"},
        {{photo, "--format", "bc5", "--normal-map", "-o", dds}, 2, "--normal-map needs --mipmaps"},
        {{photo, "--mipmaps", "--mip-filter", "cubic", "-o", dds}, 2, "--mip-filter takes"},
        {{photo, "--mipmaps", "--alpha-coverage", "0", "-o", dds}, 2, "between 1 and 255"},
        {{photo, "--alpha-threshold=9", "--format=bc1", "-o", dds}, 2, "needs --format bc1a"},
        {{photo, "--bc1-three-colour", "--format=bc1a", "-o", dds}, 2, "colour needs --format bc1"},
        {{photo, "--jobs", "0", "-o", bmp}, 2, "--jobs must lie between"},
        {{photo, "--invert"}, 2, "no output"},
        {{"-o", bmp}, 2, "no input"},
        {{photo, "-o"}, 2, "-o needs a value"},
        {{photo, twin, "-o", out}, 2, "--format is needed"},
        {{photo, twin, "--format", "dds32", "-o", photo}, 2, "must be a directory"},
        {{photo, twin, "--format", "bmp", "-o", out}, 2, "would both be written"},
        {{photo, "--alpha-from-file", mask, "-o", bmp}, 1, "cannot open \"" + mask},
        {{photo, "-o", unwritable}, 1, cannotWrite},
        {{"--manifest", manifest, "--format", "bc7", "-o", out},
         2,
         manifest + ":4: unknown option --sharpen"},
        {{photo, twin, "--format", "bmp", "-o", out, "--depfile", dep}, 2, "--depfile needs one"},
        {{"a*b.png", "-o", dds, "--depfile", dep}, 2, "\"a*b.png\" so that Make and Ninja"},
        {{"a.png:", "-o", dds, "--depfile", dep}, 2, "it ends in ':'"},
        {{photo, "-o", out + "%.dds", "--depfile", dep}, 2, "'%' as a pattern"},
        {{photo, "-o", dds, "--depfile", unwritable}, 1, "beside \"" + unwritable},
        {{photo, "-o", dds, "--depfile", scratch.path().string()}, 1, "cannot replace"},
    };
    for (const auto& [arguments, status, reason] : cases) {
        const CliResult run = RunCli(arguments, scratch);
        EXPECT_EQ(run.status, status) << reason;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_TRUE(status == 1 || run.err.find("--help") != std::string::npos) << reason;
        for (const char* ending : {"", ".bmp", ".dds", ".dib"})
            EXPECT_FALSE(std::filesystem::exists(out + ending)) << reason;
    }
    const CliResult help = RunCli({"--help"}, scratch);
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--alpha-from ", "--alpha-from-file", "--jobs", "Exit status", "--depfile", "--manifest",
          "--threads", "the same on every run", "--mipmaps", "--mip-filter", "--normal-map",
          "--alpha-coverage", "--srgb", "--quality", "--dx10", "--alpha-threshold",
          "--bc1-three-colour", "bc1a", "bc7"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace tintora::testing
