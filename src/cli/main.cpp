// tintora-cli: the editor's file, colour, alpha and normal-map operations without a window, for
// build pipelines. See cli_options.cpp (UsageText) or run tintora-cli --help.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_run.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return tintora::cli::RunTintoraCli(arguments, std::cout, std::cerr,
                                       ::isatty(STDOUT_FILENO) == 1);
}
