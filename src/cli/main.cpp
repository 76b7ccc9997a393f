// tintora-cli: the editor's file, colour, alpha and normal-map operations without a window, for
// build pipelines. See cli_options.cpp (UsageText) or run tintora-cli --help.
#include <malloc.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_run.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Image buffers of up to 32 MiB come from the heap, and freed ones stay with the process for
    // the next file: a folder of many files then reuses memory it already has instead of faulting
    // in fresh pages for every image. What is kept is bounded by the files in flight.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return tintora::cli::RunTintoraCli(arguments, std::cout, std::cerr,
                                       ::isatty(STDOUT_FILENO) == 1);
}
