// The command line of tintora-cli: inputs, the operations in the order given, the output and the
// run options, checked before any file is touched.
//
//   tintora-cli INPUT... [OPERATION...] -o OUTPUT [--format F] [DDS OPTION...] [--depfile FILE]
//               [--jobs N] [--threads N] [--quiet]
//   tintora-cli [INPUT...] --manifest FILE -o OUTDIR [COMMON OPTION...]
//
// Operations and options may stand anywhere among the inputs; the operations run in the order
// they stand. Option values follow the option as the next argument ("--jobs 4") or after an
// equals sign ("--jobs=4"). A lone "--" ends the options: every argument after it is an input.
//
// Every value means what the editor's control means: contrast and luminosity are the two slider
// positions of the contrast/luminosity dialog, hue and saturation those of the hue/saturation
// dialog, the colour-key range is the text of the tool's range box, the amplitude the text of
// the normal-map tool's amplitude box (here it must be a number). Pure; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "alpha/alpha_ops.h"
#include "imagefiles/dds_export.h"
#include "normalmap/normal_map.h"

namespace tintora::cli {

// A command line that cannot run; the message says what is wrong, for standard error.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class OperationKind {
    Invert,
    AutoContrast,
    Equalize,
    ContrastLuminosity,  // first = contrast slider, second = luminosity slider
    HueSaturation,       // first = hue shift, second = saturation shift
    ColourKey,           // keyColor, text = range text
    AlphaFrom,           // channel
    AlphaFromFile,       // text = file, channel
    NormalMap,           // height, amplitude
};

struct Operation {
    OperationKind kind = OperationKind::Invert;
    std::int32_t first = 0;
    std::int32_t second = 0;
    std::uint32_t keyColor = 0;  // window colour 0x00BBGGRR
    std::string text;
    AlphaChannel channel = AlphaChannel::Alpha;
    HeightSource height = HeightSource::Red;
    float amplitude = 10.0f;
    // The option as it was written, for messages ("--hue-saturation 30,-20").
    std::string spelling;
};

// The files written: the editor's Save choices (dxt3 is the compressed one, BC2 blocks), and the
// block formats of imagefiles/dds_export.h.
enum class OutputFormat { Bitmap, Dds32, Dds24, Dds16, Dxt3, Bc1, Bc1a, Bc2, Bc3, Bc4, Bc5, Bc7 };

// The DDS options as given.
struct DdsOptions {
    bool mipmaps = false;                // --mipmaps (--no-mipmaps clears it)
    std::optional<MipFilter> mipFilter;  // --mip-filter
    bool normalMap = false;              // --normal-map
    int alphaCoverage = 0;               // --alpha-coverage REF (1..255); 0 when not given
    std::optional<bool> srgb;            // --srgb, --no-srgb; none: as the input file says
    std::optional<EncodeLevel> quality;  // --quality
    bool dx10 = false;                   // --dx10
    int alphaThreshold = 0;              // --alpha-threshold N (1..255); 0 when not given
    bool bc1ThreeColour = false;         // --bc1-three-colour
};

struct CommandLine {
    std::vector<std::string> inputs;
    std::vector<Operation> operations;
    std::string output;
    std::optional<OutputFormat> format;
    DdsOptions dds;
    std::string depfile;   // --depfile FILE
    std::string manifest;  // --manifest FILE
    bool printJobs = false;
    int jobs = 0;     // 0: one per core
    int threads = 0;  // threads of each file's own loops; 0: the cores the other workers leave
    bool quiet = false;
    bool help = false;
    bool version = false;
    // The arguments that decide what a file becomes (operations, --format, DDS options), in the
    // order given, each as one "--option" or "--option=value" argument, file names as resolved:
    // a single-file run with these writes what this run writes for a file.
    std::vector<std::string> fileArguments;
};

// Parses the arguments after the program name. --help and --version end the parse at once (the
// rest is not checked). Throws UsageError for an unknown option, a missing or malformed value,
// a value out of its range, no input (unless --manifest is given) or no output.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Parses the arguments of one manifest line: its source file, then options of a file (those that
// land in fileArguments). Relative file names (the source, --alpha-from-file's FILE) are taken
// relative to folder, a prefix ending in "/" ("" for the current folder); the names in the result
// carry it. Throws UsageError for what ParseCommandLine refuses and for a run option (-o, --jobs,
// --threads, --quiet, --depfile, --manifest, --print-jobs, --help, --version).
CommandLine ParseManifestArguments(const std::vector<std::string>& arguments,
                                   const std::string& folder);

// The --format name of a format and back. "bmp", "dds32", "dds24", "dds16", "dxt3", "bc1",
// "bc1a", "bc2", "bc3", "bc4", "bc5", "bc7".
const char* FormatName(OutputFormat format);
std::optional<OutputFormat> FormatFromName(const std::string& name);

// The format an output file's name asks for: ".bmp" or ".dib" a bitmap, ".dds" a 32-bit DDS (in any
// case, as the editor's Save reads them). Throws UsageError for any other ending.
OutputFormat FormatFromOutputName(const std::string& fileName);

// Throws UsageError, naming both, when fileName ends in .bmp, .dib or .dds and format writes the
// other kind of file (--format dxt3 for "x.bmp"). Any other ending agrees with every format.
void CheckOutputEnding(const std::string& fileName, OutputFormat format);

// Throws UsageError naming the option when one of options does not fit format: --quality needs
// a block format (bc1 to bc7, dxt3); --mipmaps a DDS format; --dx10 and --srgb a DDS format that
// has a DX10 or an sRGB format (ExportHasDx10, ExportHasSrgb); --alpha-threshold needs bc1a and
// --bc1-three-colour bc1; --mip-filter, --normal-map and --alpha-coverage need --mipmaps.
void CheckDdsOptions(const DdsOptions& options, OutputFormat format);

// How a DDS format (any but Bitmap) is written with options. inputSrgb: the input file was marked
// sRGB, which stands for a missing --srgb or --no-srgb where the format has an sRGB form.
ExportSettings ExportSettingsFor(OutputFormat format, const DdsOptions& options, bool inputSrgb);

// How the editor's Save writes a format: the save kind (0 bitmap, 1 DDS) and the export dialog's
// answer (none for the block formats but dxt3, which only an export writes).
struct SaveChoice {
    std::int32_t kind = 0;
    const char* exportAnswer = "";
};
SaveChoice SaveChoiceFor(OutputFormat format);

// The ending an output file of this format gets in a directory: ".bmp" or ".dds".
const char* FormatEnding(OutputFormat format);

// The text of --help.
std::string UsageText();

}  // namespace tintora::cli
