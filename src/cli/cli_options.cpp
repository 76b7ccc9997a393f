#include "cli/cli_options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/error.h"
#include "files/texture_save.h"
#include "normalmap/normal_map_texture.h"

namespace tintora::cli {

namespace {

// A whole text as a decimal integer in [low, high] (an optional sign, digits, nothing else).
std::int32_t ParseInteger(const std::string& text, std::int32_t low, std::int32_t high,
                          const std::string& what) {
    std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    bool digits = i < text.size();
    for (std::size_t k = i; k < text.size(); ++k)
        digits = digits && std::isdigit(static_cast<unsigned char>(text[k])) != 0;
    if (!digits) throw UsageError(what + " must be a whole number, not \"" + text + "\"");
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < low || value > high) {
        throw UsageError(what + " must lie between " + std::to_string(low) + " and " +
                         std::to_string(high) + ", not " + text);
    }
    return static_cast<std::int32_t>(value);
}

// "a,b" split at its first comma; the second part is absent without a comma.
std::pair<std::string, std::optional<std::string>> SplitAtComma(const std::string& text) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return {text, std::nullopt};
    return {text.substr(0, comma), text.substr(comma + 1)};
}

std::pair<std::int32_t, std::int32_t> ParseSliderPair(
    const std::string& option, const std::string& value, std::int32_t firstLimit,
    std::int32_t secondLimit, const char* firstName, const char* secondName) {
    const auto [first, second] = SplitAtComma(value);
    if (!second) {
        throw UsageError(option + " takes two numbers separated by a comma, not \"" + value + "\"");
    }
    return {ParseInteger(first, -firstLimit, firstLimit, option + " " + firstName),
            ParseInteger(*second, -secondLimit, secondLimit, option + " " + secondName)};
}

// RRGGBB (an optional leading #) as a window colour, red in the low byte.
std::uint32_t ParseKeyColor(const std::string& text) {
    const std::string hex = (!text.empty() && text[0] == '#') ? text.substr(1) : text;
    bool valid = hex.size() == 6;
    for (char c : hex)
        valid = valid && std::isxdigit(static_cast<unsigned char>(c)) != 0;
    if (!valid) {
        throw UsageError("--colorkey takes a colour as six hex digits RRGGBB, not \"" + text +
                         "\"");
    }
    const auto rgb = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    const std::uint32_t red = (rgb >> 16) & 0xFFu;
    const std::uint32_t green = (rgb >> 8) & 0xFFu;
    const std::uint32_t blue = rgb & 0xFFu;
    return red | (green << 8) | (blue << 16);
}

AlphaChannel ParseAlphaChannel(const std::string& option, const std::string& text,
                               bool alphaAllowed) {
    if (text == "red") return AlphaChannel::Red;
    if (text == "green") return AlphaChannel::Green;
    if (text == "blue") return AlphaChannel::Blue;
    if (text == "saturation") return AlphaChannel::Saturation;
    if (text == "luminosity") return AlphaChannel::Luminosity;
    if (alphaAllowed && text == "alpha") return AlphaChannel::Alpha;
    throw UsageError(option + " takes " + (alphaAllowed ? "alpha, " : "") +
                     "red, green, blue, saturation or luminosity, not \"" + text + "\"");
}

HeightSource ParseHeightSource(const std::string& text) {
    if (text == "red") return HeightSource::Red;
    if (text == "green") return HeightSource::Green;
    if (text == "blue") return HeightSource::Blue;
    if (text == "luminance") return HeightSource::Luminance;
    if (text == "alpha") return HeightSource::Alpha;
    throw UsageError("--normalmap takes red, green, blue, luminance or alpha, not \"" + text +
                     "\"");
}

// A number as the amplitude box reads it, but only a text that is a number through and through.
float ParseAmplitude(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    const bool plain = !text.empty() && end == begin + text.size() && std::isfinite(value) &&
                       text.find_first_of("xXnN") == std::string::npos;  // no hex, inf or nan
    if (!plain) throw UsageError("--normalmap amplitude must be a number, not \"" + text + "\"");
    try {
        return AmplitudeFromText(text);
    } catch (const PlatformError&) {
        throw UsageError("--normalmap amplitude " + text + " is too large");
    }
}

Operation ParseOperation(const std::string& option, const std::string& value) {
    Operation op;
    op.spelling = option + " " + value;
    if (option == "--contrast-luminosity") {
        op.kind = OperationKind::ContrastLuminosity;
        std::tie(op.first, op.second) =
            ParseSliderPair(option, value, 100, 100, "contrast", "luminosity");
    } else if (option == "--hue-saturation") {
        op.kind = OperationKind::HueSaturation;
        std::tie(op.first, op.second) =
            ParseSliderPair(option, value, 180, 100, "hue", "saturation");
    } else if (option == "--colorkey") {
        op.kind = OperationKind::ColourKey;
        const auto [colour, range] = SplitAtComma(value);
        op.keyColor = ParseKeyColor(colour);
        op.text = range.value_or("2");
        try {
            ColourKeyThreshold(op.text);
        } catch (const PlatformError&) {
            throw UsageError("--colorkey range \"" + op.text + "\" is too large");
        }
    } else if (option == "--alpha-from") {
        op.kind = OperationKind::AlphaFrom;
        op.channel = ParseAlphaChannel(option, value, false);
    } else if (option == "--alpha-from-file") {
        op.kind = OperationKind::AlphaFromFile;
        // The file name may hold commas: only a known channel name after the last one counts.
        const auto comma = value.rfind(',');
        op.text = value;
        op.channel = AlphaChannel::Alpha;
        if (comma != std::string::npos) {
            try {
                op.channel = ParseAlphaChannel(option, value.substr(comma + 1), true);
                op.text = value.substr(0, comma);
            } catch (const UsageError&) {
                op.channel = AlphaChannel::Alpha;
            }
        }
        if (op.text.empty()) throw UsageError("--alpha-from-file needs a file name");
    } else {  // --normalmap
        op.kind = OperationKind::NormalMap;
        const auto [source, amplitude] = SplitAtComma(value);
        op.height = ParseHeightSource(source);
        op.amplitude = ParseAmplitude(amplitude.value_or("10.0"));
    }
    return op;
}

bool IsFlagOperation(const std::string& option, OperationKind& kind) {
    if (option == "--invert") {
        kind = OperationKind::Invert;
    } else if (option == "--auto-contrast") {
        kind = OperationKind::AutoContrast;
    } else if (option == "--equalize") {
        kind = OperationKind::Equalize;
    } else {
        return false;
    }
    return true;
}

// The flags of the DDS options; false for any other argument.
bool SetDdsFlag(const std::string& option, DdsOptions& dds) {
    if (option == "--mipmaps" || option == "--no-mipmaps") {
        dds.mipmaps = option == "--mipmaps";
    } else if (option == "--normal-map") {
        dds.normalMap = true;
    } else if (option == "--srgb" || option == "--no-srgb") {
        dds.srgb = option == "--srgb";
    } else if (option == "--dx10") {
        dds.dx10 = true;
    } else if (option == "--bc1-three-colour") {
        dds.bc1ThreeColour = true;
    } else {
        return false;
    }
    return true;
}

bool IsDdsValueOption(const std::string& option) {
    return option == "--mip-filter" || option == "--alpha-coverage" || option == "--quality" ||
           option == "--alpha-threshold";
}

void SetDdsValue(const std::string& option, const std::string& value, DdsOptions& dds) {
    if (option == "--mip-filter") {
        if (value == "kaiser") {
            dds.mipFilter = MipFilter::Kaiser;
        } else if (value == "lanczos") {
            dds.mipFilter = MipFilter::Lanczos;
        } else if (value == "box") {
            dds.mipFilter = MipFilter::Box;
        } else {
            throw UsageError("--mip-filter takes kaiser, lanczos or box, not \"" + value + "\"");
        }
    } else if (option == "--alpha-coverage") {
        dds.alphaCoverage = ParseInteger(value, 1, 255, "--alpha-coverage");
    } else if (option == "--alpha-threshold") {
        dds.alphaThreshold = ParseInteger(value, 1, 255, "--alpha-threshold");
    } else if (value == "fast" || value == "best") {  // --quality
        dds.quality = value == "fast" ? EncodeLevel::Fast : EncodeLevel::Best;
    } else {
        throw UsageError("--quality takes fast or best, not \"" + value + "\"");
    }
}

constexpr OutputFormat kFormats[] = {OutputFormat::Bitmap, OutputFormat::Dds32, OutputFormat::Dds24,
                                     OutputFormat::Dds16,  OutputFormat::Dxt3,  OutputFormat::Bc1,
                                     OutputFormat::Bc1a,   OutputFormat::Bc2,   OutputFormat::Bc3,
                                     OutputFormat::Bc4,    OutputFormat::Bc5,   OutputFormat::Bc7};

ExportFormat ExportFormatOf(OutputFormat format) {
    switch (format) {
        case OutputFormat::Dds24:
            return ExportFormat::Bgr24;
        case OutputFormat::Dds16:
            return ExportFormat::Argb16;
        case OutputFormat::Dxt3:
        case OutputFormat::Bc2:
            return ExportFormat::Bc2;
        case OutputFormat::Bc1:
            return ExportFormat::Bc1;
        case OutputFormat::Bc1a:
            return ExportFormat::Bc1a;
        case OutputFormat::Bc3:
            return ExportFormat::Bc3;
        case OutputFormat::Bc4:
            return ExportFormat::Bc4;
        case OutputFormat::Bc5:
            return ExportFormat::Bc5;
        case OutputFormat::Bc7:
            return ExportFormat::Bc7;
        default:
            return ExportFormat::Bgra32;
    }
}

bool IsValueOperation(const std::string& option) {
    return option == "--contrast-luminosity" || option == "--hue-saturation" ||
           option == "--colorkey" || option == "--alpha-from" || option == "--alpha-from-file" ||
           option == "--normalmap";
}

// The run's own options: the command line's, never a manifest line's.
bool IsRunOption(const std::string& option) {
    return option == "-o" || option == "--output" || option == "--jobs" || option == "-j" ||
           option == "--threads" || option == "-q" || option == "--quiet" ||
           option == "--depfile" || option == "--manifest" || option == "--print-jobs" ||
           option == "-h" || option == "--help" || option == "--version";
}

// A file name relative to folder ("" or a prefix ending in "/"); absolute names stay.
std::string InFolder(const std::string& folder, const std::string& name) {
    return name.empty() || name[0] == '/' ? name : folder + name;
}

// The command line, or (manifestLine) a manifest line's arguments, whose file names are relative
// to folder.
CommandLine Parse(const std::vector<std::string>& arguments, const std::string& folder,
                  bool manifestLine) {
    CommandLine line;
    bool outputSeen = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            line.inputs.push_back(InFolder(folder, argument));
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::string option = argument.substr(0, argument.find('='));
        if (manifestLine && IsRunOption(option)) {
            throw UsageError(option + " belongs on the command line, not in a manifest");
        }
        if (argument == "-h" || argument == "--help") {
            line.help = true;
            return line;
        }
        if (argument == "--version") {
            line.version = true;
            return line;
        }
        if (argument == "-q" || argument == "--quiet") {
            line.quiet = true;
            continue;
        }
        if (argument == "--print-jobs") {
            line.printJobs = true;
            continue;
        }
        OperationKind flag;
        if (SetDdsFlag(argument, line.dds) || IsFlagOperation(argument, flag)) {
            if (IsFlagOperation(argument, flag)) {
                Operation op;
                op.kind = flag;
                op.spelling = argument;
                line.operations.push_back(op);
            }
            line.fileArguments.push_back(argument);
            continue;
        }

        // Options with a value: "--name value" or "--name=value".
        std::optional<std::string> value;
        if (option.size() < argument.size()) value = argument.substr(option.size() + 1);
        const bool known = option == "-o" || option == "--output" || option == "--format" ||
                           option == "--jobs" || option == "-j" || option == "--threads" ||
                           option == "--depfile" || option == "--manifest" ||
                           IsDdsValueOption(option) || IsValueOperation(option);
        if (!known) throw UsageError("unknown option " + argument);
        if (!value) {
            if (i + 1 >= arguments.size()) throw UsageError(option + " needs a value");
            value = arguments[++i];
        }
        if (option == "--alpha-from-file") value = InFolder(folder, *value);

        if (option == "-o" || option == "--output") {
            if (outputSeen) throw UsageError("only one output may be given");
            if (value->empty()) throw UsageError(option + " needs a value");
            line.output = *value;
            outputSeen = true;
        } else if (option == "--depfile" || option == "--manifest") {
            if (value->empty()) throw UsageError(option + " needs a value");
            (option == "--depfile" ? line.depfile : line.manifest) = *value;
        } else if (option == "--jobs" || option == "-j") {
            line.jobs = ParseInteger(*value, 1, 1024, "--jobs");
        } else {
            if (option == "--format") {
                line.format = FormatFromName(*value);
                if (!line.format) {
                    throw UsageError(
                        "--format takes bmp, dds32, dds24, dds16, dxt3, bc1, bc1a, bc2, bc3, bc4, "
                        "bc5 or bc7, not \"" +
                        *value + "\"");
                }
            } else if (option == "--threads") {
                line.threads = ParseInteger(*value, 1, 1024, "--threads");
            } else if (IsDdsValueOption(option)) {
                SetDdsValue(option, *value, line.dds);
            } else {
                line.operations.push_back(ParseOperation(option, *value));
            }
            line.fileArguments.push_back(option + "=" + *value);
        }
    }
    if (manifestLine) {
        if (line.inputs.size() != 1) {
            throw UsageError("a manifest line names one source file, then its options");
        }
        return line;
    }
    if (line.inputs.empty() && line.manifest.empty()) throw UsageError("no input file given");
    if (!outputSeen) throw UsageError("no output given (-o OUTPUT)");
    return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    return Parse(arguments, "", false);
}

CommandLine ParseManifestArguments(const std::vector<std::string>& arguments,
                                   const std::string& folder) {
    return Parse(arguments, folder, true);
}

const char* FormatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Bitmap:
            return "bmp";
        case OutputFormat::Dds32:
            return "dds32";
        case OutputFormat::Dds24:
            return "dds24";
        case OutputFormat::Dds16:
            return "dds16";
        case OutputFormat::Dxt3:
            return "dxt3";
        case OutputFormat::Bc1:
            return "bc1";
        case OutputFormat::Bc1a:
            return "bc1a";
        case OutputFormat::Bc2:
            return "bc2";
        case OutputFormat::Bc3:
            return "bc3";
        case OutputFormat::Bc4:
            return "bc4";
        case OutputFormat::Bc5:
            return "bc5";
        case OutputFormat::Bc7:
            return "bc7";
    }
    return "";
}

std::optional<OutputFormat> FormatFromName(const std::string& name) {
    for (OutputFormat format : kFormats) {
        if (name == FormatName(format)) return format;
    }
    return std::nullopt;
}

OutputFormat FormatFromOutputName(const std::string& fileName) {
    const std::optional<std::int32_t> kind = SaveKindFromEnding(fileName);
    if (kind == kSaveBitmap) return OutputFormat::Bitmap;
    if (kind == kSaveDds) return OutputFormat::Dds32;
    throw UsageError("cannot tell the format of \"" + fileName +
                     "\" from its ending: name it .bmp or .dds, or give --format");
}

void CheckOutputEnding(const std::string& fileName, OutputFormat format) {
    const std::optional<std::int32_t> kind = SaveKindFromEnding(fileName);
    if (kind != kSaveBitmap && kind != kSaveDds) return;
    if (*kind == SaveChoiceFor(format).kind) return;
    throw UsageError("the output \"" + fileName + "\" ends in " + FileEnding(fileName) +
                     ", but --format " + FormatName(format) + " writes a " +
                     (format == OutputFormat::Bitmap ? "bitmap" : "DDS file") + ": name it " +
                     FormatEnding(format) + " or drop --format");
}

void CheckDdsOptions(const DdsOptions& options, OutputFormat format) {
    const bool dds = format != OutputFormat::Bitmap;
    const ExportFormat written = ExportFormatOf(format);
    const auto refuse = [format](const char* option, const std::string& needs) {
        throw UsageError(std::string(option) + " needs " + needs + ", not --format " +
                         FormatName(format));
    };
    if (options.quality && (!dds || !IsBlockExport(written))) {
        refuse("--quality", "a block format (bc1, bc1a, bc2, dxt3, bc3, bc4, bc5, bc7)");
    }
    if (options.mipmaps && !dds) refuse("--mipmaps", "a DDS format");
    if (options.dx10 && (!dds || !ExportHasDx10(written))) {
        refuse("--dx10", "a DDS format a DX10 header can name (any but dds24)");
    }
    if (options.srgb.value_or(false) && (!dds || !ExportHasSrgb(written))) {
        refuse("--srgb", "a format with an sRGB form (dds32, bc1, bc1a, bc2, dxt3, bc3, bc7)");
    }
    if (options.alphaThreshold > 0 && format != OutputFormat::Bc1a) {
        refuse("--alpha-threshold", "--format bc1a");
    }
    if (options.bc1ThreeColour && format != OutputFormat::Bc1) {
        refuse("--bc1-three-colour", "--format bc1 (bc1a reads its black as transparent)");
    }
    const char* mipOption = options.mipFilter           ? "--mip-filter"
                            : options.normalMap         ? "--normal-map"
                            : options.alphaCoverage > 0 ? "--alpha-coverage"
                                                        : nullptr;
    if (mipOption != nullptr && !options.mipmaps) {
        throw UsageError(std::string(mipOption) + " needs --mipmaps");
    }
}

ExportSettings ExportSettingsFor(OutputFormat format, const DdsOptions& options, bool inputSrgb) {
    ExportSettings settings;
    settings.format = ExportFormatOf(format);
    settings.mipmaps = options.mipmaps;
    settings.mip.filter = options.mipFilter.value_or(MipFilter::Kaiser);
    settings.mip.normalMap = options.normalMap;
    settings.mip.alphaReference = options.alphaCoverage;
    settings.srgb = options.srgb.value_or(inputSrgb) && ExportHasSrgb(settings.format);
    settings.encode.level = options.quality.value_or(EncodeLevel::Fast);
    if (options.alphaThreshold > 0) {
        settings.encode.alphaThreshold = static_cast<std::uint8_t>(options.alphaThreshold);
    }
    settings.encode.bc1ThreeColour = options.bc1ThreeColour;
    settings.dx10 = options.dx10;
    return settings;
}

SaveChoice SaveChoiceFor(OutputFormat format) {
    switch (format) {
        case OutputFormat::Bitmap:
            return {0, ""};
        case OutputFormat::Dds32:
            return {1, "32"};
        case OutputFormat::Dds24:
            return {1, "24"};
        case OutputFormat::Dds16:
            return {1, "16"};
        case OutputFormat::Dxt3:
            return {1, "COMP"};
        default:
            return {1, ""};
    }
}

const char* FormatEnding(OutputFormat format) {
    return format == OutputFormat::Bitmap ? ".bmp" : ".dds";
}

std::string UsageText() {
    return R"(Usage: tintora-cli INPUT... [OPERATION...] -o OUTPUT [--format F] [DDS OPTION...]
                   [--depfile FILE] [--jobs N] [--threads N] [--quiet]
       tintora-cli [INPUT...] --manifest FILE -o OUTDIR [OPERATION...] [--format F] ...

Loads each INPUT as the Tintora editor opens it, applies the operations in the order they
stand on the command line, with the editor's arithmetic, and saves the result as the editor's
Save does.

Inputs
  INPUT                  an image file (formats below) or a directory, whose files ending in
                         .bmp .dib .jpg .jpeg .jpe .png .tga .dds (any case; not its
                         subdirectories) are all taken. A pixel of exactly 0x04564564 loads as
                         transparent black; DXT2/DXT4 colours are divided back out of their
                         premultiplied form as the editor does (a warning is printed).

Formats read (chosen by the file's contents, else by its ending)
  BMP, DIB               1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bit-field masks, packed
                         DIBs, and bitmaps holding an embedded JPEG or PNG image
  JPG, PNG               every PNG colour type and depth; baseline and progressive JPEG
  TGA                    true colour, grey and colour-mapped, each also run-length encoded
  DDS                    DXT1-DXT5, BC4, BC5 (unsigned and signed), BC6H, BC7, and the
                         uncompressed formats (RGB, luminance and alpha masks, 16-bit, float and
                         DXGI layouts). A file holding mip levels, cube-map faces, array layers
                         or volume slices gives its first image (the top level of the first
                         face, layer or slice).

Manifest
  --manifest FILE        also convert the textures FILE lists, one a line: a source file, then
                         options of its own, exactly as on this command line (operations,
                         --format, DDS options), after the command line's (a later --format
                         counts). Arguments are separated by spaces; double quotes hold spaces;
                         a '#' starting an argument begins a comment; blank lines are skipped.
                         File names are relative to FILE's folder. OUTPUT is a directory. A wrong
                         line is a wrong command line (status 2), named as FILE:LINE.

Operations (any number, any order; each works on the result of the one before)
  --invert               invert the colours (alpha kept)
  --auto-contrast        stretch each colour channel from its own minimum and maximum
  --equalize             equalize each colour channel's histogram
  --contrast-luminosity C,L
                         the contrast/luminosity dialog's sliders: C and L from -100 to 100
  --hue-saturation H,S   the hue/saturation dialog's sliders: H from -180 to 180, S from -100
                         to 100
  --colorkey RRGGBB[,RANGE]
                         alpha 0 where a pixel's colour lies within the range of the key colour
                         (hex RRGGBB), 255 elsewhere. RANGE is read as the colour-key tool's range
                         box reads it (default "2": distances up to 2 are transparent)
  --alpha-from red|green|blue|saturation|luminosity
                         a new alpha from a channel of the image itself
  --alpha-from-file FILE[,alpha|red|green|blue|saturation|luminosity]
                         a new alpha from a channel of another image (default: its alpha),
                         point-sampled to this image's size
  --normalmap red|green|blue|luminance|alpha[,AMPLITUDE]
                         the image is replaced by the normal map of that channel (amplitude
                         default 10.0)

Output
  -o, --output OUTPUT    with one input file, the file to write; with several inputs or a
                         directory, the directory to write into (made when missing): each output
                         keeps its input's name with the format's ending
  --format F             bmp     Windows bitmap, 32 bits with alpha
                         dds32   DDS A8R8G8B8
                         dds24   DDS R8G8B8 (alpha dropped)
                         dds16   DDS A4R4G4B4
                         bc1     DDS BC1 (DXT1): colour, no alpha
                         bc1a    DDS BC1 (DXT1) with 1-bit alpha: alpha below 128 (or
                                 --alpha-threshold) is transparent
                         bc2     DDS BC2 (DXT3): colour and 4-bit alpha
                         dxt3    the same as bc2 (the editor's compressed choice)
                         bc3     DDS BC3 (DXT5): colour and interpolated alpha
                         bc4     DDS BC4 (ATI1): red only (height maps, masks)
                         bc5     DDS BC5 (ATI2): red and green (normal maps)
                         bc7     DDS BC7 (DX10 header): colour and alpha, the best quality
                         The block formats encode with Tintora's own encoders; sides that are
                         not multiples of 4 are padded by repeating the last column and row.
                         Default: by OUTPUT's ending, .bmp (or .dib) a bitmap and .dds dds32;
                         an OUTPUT ending in one of these must agree with F. Needed when
                         OUTPUT is a directory. Every file is written to a temporary file beside
                         the target and renamed over it only when complete.
  --depfile FILE         after a successful run, write a Makefile-syntax dependency file:
                         "OUTPUT: INPUT [--alpha-from-file images]", names as given, escaped as
                         Make and Ninja read them (space "\ ", # "\#", $ "$$", : "\:"); a name
                         that cannot be written so is refused (status 2). One input file and one
                         output file only. Written after the output, atomically; when it cannot be
                         written the run fails (status 1) and the output stays as it was.

DDS options (a DDS --format; anything else is refused)
  --mipmaps              write every mip level down to 1 x 1 (sizes halve, rounding down)
  --no-mipmaps           the top level only (the default; undoes an earlier --mipmaps)
  --mip-filter kaiser|lanczos|box
                         the filter that makes each level from the one above (default kaiser;
                         box is a plain 2 x 2 average)
  --normal-map           the texture is a normal map: each level's normals are renormalised
  --alpha-coverage REF   for alpha-tested textures: every level keeps the top level's share of
                         texels with alpha of at least REF (1 to 255)
                         (--mip-filter, --normal-map and --alpha-coverage need --mipmaps)
  --srgb, --no-srgb      the colours are sRGB-encoded, or not: an sRGB file (a DX10 header) and
                         mipmaps filtered in linear light. Default: as the input, when it is a DDS
                         file marked sRGB. --srgb needs dds32, bc1, bc1a, bc2, dxt3, bc3 or bc7
  --quality fast|best    the block encoders' effort (default fast; best is slower and closer)
  --dx10                 a DX10 header even where a DX9 one exists (not with dds24); older
                         readers know only DX9 headers
  --alpha-threshold N    bc1a only: texels with alpha below N (1 to 255, default 128) become
                         transparent, the others opaque (cut-outs such as foliage)
  --bc1-three-colour     bc1 only: opaque blocks may also use BC1's three-colour mode (its
                         fourth colour black) where it is closer. Off by default: some engines
                         draw that black as transparent

Run
  -j, --jobs N           files processed at once (default: one per core)
  --threads N            threads of each file's own loops (default: the cores the other files
                         leave; in a build running many tintora-cli at once, 1)
  --print-jobs           write nothing; list each file's output, input and the options that make
                         it, separated by tabs, a line each (for build scripts)
  -q, --quiet            print nothing but errors and warnings
  -h, --help             this text
  --version              the version

Values may also be given as --option=value. "--" ends the options.

Output bytes depend only on the input files and the command line: the same on every run, with
any --jobs and --threads, on every machine of the same architecture. No output (nor the
dependency file) holds a time, a host name or a path the command line did not give. A run reads
only the files named on the command line (and in a manifest) and writes only its outputs and the
dependency file.

Exit status: 0 when every file was written, 1 when any file failed (the others are still
written), 2 when the command line is wrong (nothing is written). Errors name the file and the
reason on standard error. Progress goes to standard output: a bar on a terminal, one line per
file otherwise, and a summary line at the end.

Examples
  tintora-cli wall.png --auto-contrast -o wall.dds
  tintora-cli textures/ --hue-saturation 30,-20 --format dxt3 -o build/textures
  tintora-cli leaf.tga --colorkey FF00FF,10 -o leaf.dds --format dds16
  tintora-cli stone.png --normalmap luminance,4.5 -o stone_n.bmp
  tintora-cli albedo.png -o albedo.dds --format bc7 --srgb --mipmaps
  tintora-cli stone.png --normalmap luminance,4.5 -o stone_n.dds --format bc5 --mipmaps \
      --normal-map
  tintora-cli rock.png --format bc7 --mipmaps -o out/rock.dds --depfile out/rock.dds.d
  tintora-cli --manifest textures/manifest.txt --format bc7 --mipmaps -o out/
)";
}

}  // namespace tintora::cli
