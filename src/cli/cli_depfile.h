// Dependency files (--depfile): what a build system reads to learn which files an output was
// made from, so that it runs the step again when one of them changes.
//
//   OUTPUT: INPUT [FILE...]
//
// One rule in Makefile syntax: the output, then every file the run read (the input, then each
// --alpha-from-file image), named as on the command line (relative names stay relative), and
// escaped so that GNU Make and Ninja both read back exactly these names: a space as "\ ", '#' as
// "\#", '$' as "$$", ':' as "\:". Letters, digits, bytes from 0x80 and + , / _ . - @ ! { } ~ %
// stand as they are. A name that cannot be written so is refused (UsageError, before anything is
// written): any other character (a backslash, a tab or newline, quotes, * ? [ ] ( ) = ; | & < >
// and the like: Ninja ends a name there, or Make reads it as a pattern, a wildcard, an archive
// member or a variable), a ':' at the end of a name, a '~' at its start (Make's home folder), and
// a '%' in the output (Make's pattern rules).
#pragma once

#include <string>
#include <vector>

#include "imagefiles/file_io.h"

namespace tintora::cli {

// The dependency file's text, ending in a newline. Throws UsageError naming the file and the
// character for a name that cannot be written.
std::string DepfileText(const std::string& output, const std::vector<std::string>& inputs);

// Puts output and then depfile in place (StagedFile::Commit), so that a build system never sees
// a dependency file newer than its output. When the dependency file fails at this last step,
// output is put back as it was before (the old file, kept under a second name until then, or
// no file) and the failure is thrown: a run either leaves both files or neither changed. Where the
// file system refuses a second name for the old output (no hard links), a failed dependency file
// leaves the new output.
void CommitWithDepfile(StagedFile& output, StagedFile& depfile);

}  // namespace tintora::cli
