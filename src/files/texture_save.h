// Writing a texture entry's main texture to a file: the file kinds, the choice of kind by a file
// name's ending, and the DDS export formats.
//
// Kinds, in the order of the save dialogs' filters: 0 Windows bitmap (32 bits with the alpha
// kept), 1 DirectDraw Surface (format chosen in the export dialog), 2 Zarvell3D texture (ZVT).
// Tintora cannot write ZVT files: saving one writes nothing and tells the user so.
//
// Every write goes to a temporary file beside the target and replaces it only when complete (see
// imagefiles/file_io.h): a failed save leaves an existing file as it was.
//
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/pixel_format.h"
#include "device/device.h"
#include "document/window_system.h"
#include "imagefiles/dds_export.h"

namespace tintora {

enum SaveKind : std::int32_t {
    kSaveBitmap = 0,
    kSaveDds = 1,
    kSaveZvt = 2,
};

// The ending of fileName's last part (after its last slash or backslash) from the part's last dot
// on, such as ".png"; empty when the part holds no dot after its first character.
std::string FileEnding(const std::string& fileName);

// The kind fileName's ending names in any letter case: ".bmp" and ".dib" a bitmap, ".dds" DDS,
// ".zvt" ZVT; none for any other ending or none at all.
std::optional<std::int32_t> SaveKindFromEnding(const std::string& fileName);

// The ending a kind's files get (".bmp", ".dds", ".zvt"); empty for a number that is no kind.
std::string SaveKindEnding(std::int32_t kind);

// fileName with its ending (FileEnding, maybe empty) replaced by ending.
std::string ReplaceEnding(const std::string& fileName, const std::string& ending);

// The export dialog's answers.
inline constexpr const char* kExport32 = "32";            // A8R8G8B8
inline constexpr const char* kExport24 = "24";            // R8G8B8, alpha dropped
inline constexpr const char* kExport16 = "16";            // A4R4G4B4
inline constexpr const char* kExportCompressed = "COMP";  // DXT3 (BC2)
inline constexpr const char* kExportCancel = "CANCEL";

// The export dialog's label for a file: " Save texture to : ", CR LF, the file name.
std::string ExportLabelText(const std::string& fileName);

// Shows the export dialog with labelText and returns its answer.
using ExportFormatQuestion = std::function<std::string(const std::string& labelText)>;

// Status texts.
inline constexpr const char* kSaveCancelledText = "Save cancelled";
inline constexpr const char* kTextureSavedPrefix = "Texture saved to ";

// What the user is told when asked to save a ZVT file.
std::string ZvtNotSavedText(const std::string& fileName);

// Writes texture (A8R8G8B8, level 0) to fileName as kind: a bitmap, or for DDS the format of
// exportAnswer ("32", "24", "16" or "COMP"), written by WriteTextureExport as one level with a DX9
// header (A8R8G8B8, R8G8B8, A4R4G4B4, DXT3 encoded as BC2 at the Fast level). progress goes to
// that export and may be empty. No status text, no dialog, no windows: any thread that has
// texture to itself may call it. Returns false, writing nothing, when kind or exportAnswer names
// nothing to write (ZVT included). A failed write throws PlatformError naming the file.
// SaveTexture writes through this.
bool WriteTextureFile(Texture& texture, const std::string& fileName, std::int32_t kind,
                      const std::string& exportAnswer, const ProgressCallback& progress = {});

// WriteTextureFile's first half: the file written beside fileName and on its way to disk
// (imagefiles/file_io.h), put in place by its Commit; none when there is nothing to write. The
// texture is no longer read when this returns, so the caller may go on to other work (or drop the
// texture) while the disk takes the file.
std::optional<StagedFile> StageTextureFile(Texture& texture, const std::string& fileName,
                                           std::int32_t kind, const std::string& exportAnswer,
                                           const ProgressCallback& progress = {});

// The export settings of a DDS export answer ("32", "24", "16", "COMP"); none for any other.
std::optional<ExportSettings> ExportSettingsOf(const std::string& exportAnswer);

// Writes level 0 of texture (A8R8G8B8) to fileName as WriteDdsExport does (dds_export.h). With a
// progress function its pixels are copied first, so the texture stays unlocked while the export
// runs and progress may let the windows work; without one the export reads the locked texture.
// Throws what WriteDdsExport throws (a cancel from progress included).
void WriteTextureExport(Texture& texture, const std::string& fileName,
                        const ExportSettings& settings, const ProgressCallback& progress = {});

// WriteTextureExport's first half, as StageTextureFile.
StagedFile StageTextureExport(Texture& texture, const std::string& fileName,
                              const ExportSettings& settings,
                              const ProgressCallback& progress = {});

// What a save did.
enum class SaveOutcome {
    Written,     // the file was written
    Cancelled,   // the user cancelled the export dialog
    NotWritten,  // ZVT, or a kind or answer that names no format: nothing to write
};

// Saves entry textureIndex's main texture to fileName as kind:
//  - bitmap: written at once;
//  - DDS: askFormat is asked first. "CANCEL" writes nothing and shows "Save cancelled"; "32",
//    "24", "16" and "COMP" write the format (WriteTextureFile). The DXT3 compression reports
//    "Busy (n%)" on the status line and lets pending window messages run between its chunks;
//  - ZVT: writes nothing, shows ZvtNotSavedText in a message box, leaves the status line;
//  - any other kind (or an answer that names no format) writes nothing.
// After a write the status line reads "Texture saved to " + fileName.
// A write that fails throws PlatformError naming the file; the status line keeps its text except
// for the compression's progress, which the caller may put back. Status texts and pending
// messages go to display, the ZVT message to messages; either may be null (nothing shown).
SaveOutcome SaveTexture(std::int32_t textureIndex, const std::string& fileName, std::int32_t kind,
                        const ExportFormatQuestion& askFormat, ProgressDisplay* display = nullptr,
                        MessageSink* messages = nullptr);

}  // namespace tintora
