// The command line of tintora-cli: inputs, the operations in the order given, the output and the
// run options, checked before any file is touched.
//
//   tintora-cli INPUT... [OPERATION...] -o OUTPUT [--format F] [--jobs N] [--quiet]
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

// The files written, as the editor's export choices.
enum class OutputFormat { Bitmap, Dds32, Dds24, Dds16, Dxt3 };

struct CommandLine {
    std::vector<std::string> inputs;
    std::vector<Operation> operations;
    std::string output;
    std::optional<OutputFormat> format;
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. --help and --version end the parse at once (the
// rest is not checked). Throws UsageError for an unknown option, a missing or malformed value,
// a value out of its range, no input or no output.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The --format name of a format and back. "bmp", "dds32", "dds24", "dds16", "dxt3".
const char* FormatName(OutputFormat format);
std::optional<OutputFormat> FormatFromName(const std::string& name);

// The format an output file's name asks for: ".bmp" or ".dib" a bitmap, ".dds" a 32-bit DDS (in any
// case, as the editor's Save reads them). Throws UsageError for any other ending.
OutputFormat FormatFromOutputName(const std::string& fileName);

// Throws UsageError, naming both, when fileName ends in .bmp, .dib or .dds and format writes the
// other kind of file (--format dxt3 for "x.bmp"). Any other ending agrees with every format.
void CheckOutputEnding(const std::string& fileName, OutputFormat format);

// How the editor writes a format: the save kind (0 bitmap, 1 DDS) and the export dialog's answer.
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
