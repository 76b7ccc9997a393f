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
};

// The files of a run and the format they are written in.
struct RunPlan {
    std::vector<FileJob> jobs;
    OutputFormat format = OutputFormat::Bitmap;
    // True when OUTPUT is a directory (made before the first file is written).
    bool outputIsDirectory = false;
};

// Decides where each input goes:
//  - one input that is a file, and an OUTPUT that is not an existing directory and does not end
//    in "/": OUTPUT is the file; the format is --format or else OUTPUT's ending (.bmp, .dds);
//  - otherwise (several inputs, a directory among them, or OUTPUT a directory): OUTPUT is a
//    directory; a directory input contributes its image files (the endings of kImageFileEndings in
//    imagefiles/image_file.h, any case, as the editor's Open dialog lists them; not its
//    subdirectories) sorted by name; each output is OUTPUT / the input's name with the format's
//    ending; --format is required.
// An input that does not exist is kept as a file: its load fails and reports it.
// Throws UsageError for a missing format, DDS options that do not fit it (CheckDdsOptions), an
// OUTPUT that is a file where a directory is needed, or two inputs that would write the same
// output.
RunPlan MakeRunPlan(const CommandLine& line);

// Runs the command line (already parsed) and returns the exit status. out receives progress and
// the summary (nothing when quiet), err every error and warning, each naming its file. terminal
// selects the progress bar (out is a terminal) over one line per file.
int RunCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err, bool terminal);

// main's body: parses, prints usage errors with status 2, runs.
int RunTintoraCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  bool terminal);

}  // namespace tintora::cli
