// A whole tintora-cli run: which files go where, the files processed side by side, progress, the
// summary and the exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace tintora::cli {

// Exit statuses.
constexpr int kExitSuccess = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

struct FileJob {
    std::string input;
    std::string output;
    OutputFormat format = OutputFormat::Bitmap;
    std::size_t settings = 0;  // the index of what the file gets in RunPlan::settings
};

// The files of a run and what each gets.
struct RunPlan {
    std::vector<FileJob> jobs;
    // The operations, DDS options and fileArguments of the jobs: [0] the command line's own, then
    // one for each manifest line: the command line's file options followed by the line's own.
    std::vector<CommandLine> settings;
    // True when OUTPUT is a directory (made before the first file is written).
    bool outputIsDirectory = false;
    // With --depfile: the dependency file's text.
    std::string depfileText;
};

// Decides where each input goes:
//  - one input that is a file, no --manifest, and an OUTPUT that is not an existing directory and
//    does not end in "/": OUTPUT is the file; the format is --format or else OUTPUT's ending
//    (.bmp, .dds); with --depfile, the dependency file names OUTPUT, the input and the
//    --alpha-from-file images (cli_depfile.h);
//  - otherwise (several inputs, a directory among them, a manifest, or OUTPUT a directory):
//    OUTPUT is a directory; a directory input contributes its image files (the endings of
//    kImageFileEndings in imagefiles/image_file.h, any case, as the editor's Open dialog lists
//    them; not its subdirectories) sorted by name; each manifest line (cli_manifest.h) its source
//    with the command line's file options and then its own; each output is OUTPUT / the input's
//    name with the format's ending; a format (--format, or a manifest line's own) is required.
// An input that does not exist is kept as a file: its load fails and reports it.
// Throws UsageError for a missing format, DDS options that do not fit it (CheckDdsOptions), an
// OUTPUT that is a file where a directory is needed, two inputs that would write the same
// output, --depfile with a directory OUTPUT, a name a dependency file cannot hold, and a manifest
// that cannot be read or holds a wrong line (the message then leads with MANIFEST:LINE).
RunPlan MakeRunPlan(const CommandLine& line);

// Runs the command line (already parsed) and returns the exit status. out receives progress and
// the summary (nothing when quiet), err every error and warning, each naming its file. terminal
// selects the progress bar (out is a terminal) over one line per file.
int RunCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err, bool terminal);

// main's body: parses, prints usage errors with status 2, runs. With --print-jobs, writes nothing
// but one line per file to out: the output, the input and the arguments that make it
// (fileArguments, and --threads when given), separated by tabs, in the order the run would take
// them; a single-file run "INPUT ARGUMENTS... -o OUTPUT" writes the same bytes.
int RunTintoraCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  bool terminal);

}  // namespace tintora::cli
