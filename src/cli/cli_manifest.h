// A manifest: the textures of a build, one a line, each with options of its own.
//
//   # albedo maps take the run's options; the normal map and the leaf differ
//   rock.png
//   rock_n.png --format bc5 --normal-map
//   leaf.tga --alpha-from-file masks/leaf.png,red --format bc3
//   "old wall.png" --hue-saturation 10,0
//
// A line holds a source file, then options exactly as on tintora-cli's command line (those that
// decide what the file becomes: operations, --format, DDS options). Arguments are separated by
// spaces or tabs; double quotes hold spaces and '#' in an argument; a '#' that starts an argument
// outside quotes begins a comment that runs to the end of the line; blank lines are skipped.
// File names (the source, --alpha-from-file's FILE) are relative to the manifest's folder.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace tintora::cli {

struct ManifestEntry {
    std::string place;    // "MANIFEST:LINE", for messages
    CommandLine options;  // the source (with the manifest's folder) in inputs[0], then the options
};

// Reads and checks a manifest. Throws UsageError, its message led by MANIFEST:LINE, for a line
// that does not parse (ParseManifestArguments), and for a manifest that cannot be read.
std::vector<ManifestEntry> ReadManifest(const std::string& fileName);

}  // namespace tintora::cli
