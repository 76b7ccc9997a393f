// One file's work in tintora-cli: load it as the editor opens a file, apply the operations in
// place on its pixels with the same kernels the editor's commands run, write it as the editor
// saves.
//
// Each worker thread owns a Device (MakeWorkerDevice): the device and the textures it makes are
// used by that thread only, so files are processed side by side without touching the editor's
// Module1 state. The images of --alpha-from-file are loaded once (SourceImages) and then only read,
// by every worker at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/pixel_buffer.h"
#include "cli/cli_options.h"
#include "device/device.h"
#include "imagefiles/file_io.h"

namespace tintora::cli {

// A software device for one worker, as the editor's: no window, an automatic depth buffer.
std::shared_ptr<Device> MakeWorkerDevice();

// The images that --alpha-from-file operations read, loaded in command-line order. Read-only
// after loading; any number of threads may read them at once.
class SourceImages {
  public:
    // Loads the file of every AlphaFromFile operation on device (the same file once). Throws what
    // the load throws (PlatformError naming the file).
    SourceImages(Device& device, const std::vector<Operation>& operations);

    // The pixels of a loaded file.
    PixelView Pixels(const std::string& fileName) const;

  private:
    std::vector<std::string> names_;
    std::vector<std::unique_ptr<PixelBuffer>> pixels_;
};

// What a job says besides its result: warnings for standard error.
using WarningFn = std::function<void(const std::string& text)>;

// Applies one operation to pixels in place.
void ApplyOperation(const Operation& operation, PixelView pixels, const SourceImages& sources);

// Loads input, applies the operations in order and writes output in format: a bitmap as the
// editor's Save writes it, a DDS file with ExportSettingsFor(format, dds, the input's sRGB mark).
// Of a file holding more than one image (a cube map, an array, a volume) the first is converted,
// and warn says what was left out ("a.dds: cube map: face 1 of 6 opened; only that image is
// converted"), as it says when the premultiplied route is taken.
// The file is staged (imagefiles/file_io.h): written beside output and on its way to disk; its
// Commit puts it in place, and the worker may go on meanwhile. Throws PlatformError (or
// std::bad_alloc) on failure; the output is then left as it was.
StagedFile ProcessFile(Device& device, const std::string& input, const std::string& output,
                       const std::vector<Operation>& operations, const SourceImages& sources,
                       OutputFormat format, const DdsOptions& dds, const WarningFn& warn);

}  // namespace tintora::cli
