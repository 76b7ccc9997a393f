// The File menu's commands of the main window: "&New", "&Open", "&Save", "Save &As..." and
// "E&xport...", the loader they and start-up call (LoadTexture), and the once-only message box
// (ShowMessageOnce). The main window owns one FileCommands and routes its menu items here.
//
// The common dialog CD is shared by Open and Save As: its file name, filter index and flags carry
// over from one use to the next. Its flags become 2 (ask before replacing a file) after the first
// Save As; after an accepted Save As its filter is the one of the format written.
//
// Handlers let errors through (PlatformError); the main window runs them through RunHandler,
// which shows "Error <number>: <description>" and goes on. UI thread only.
#pragma once

#include <QPointer>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "files/texture_save.h"
#include "services/services.h"
#include "texture_window/window_host.h"

class QLabel;
class QWidget;

namespace tintora {

class ExportDialog;
class Form6;
class MsgBox2;
class NewTexture;

// The part of the common dialog control's state that outlives one use.
struct CommonDialogState {
    std::string fileName;
    int filterIndex = 1;
    std::uint32_t flags = 0;
};

// Flag: the Save dialog asks before replacing an existing file.
constexpr std::uint32_t kOverwritePromptFlag = 2;

inline constexpr const char* kOpenDialogTitle = "Load a texture file";
// Lists the endings of kImageFileEndings (imagefiles/image_file.h), the files tintora-cli reads.
inline constexpr const char* kOpenDialogFilter =
    "All supported texture types|*.bmp;*.jpg;*.jpeg;*.jpe;*.png;*.dds;*.dib;*.tga|"
    "All files (*.*)|*.*";
inline constexpr const char* kSaveDialogTitle = "Save texture to...";
inline constexpr const char* kSaveAsDialogFilter =
    "Bitmap File (*.bmp)|*.bmp|DirectX Texture File (*.dds)|*.dds|Zarvell3D Texture file "
    "(*.zvt)|*.zvt";

inline constexpr const char* kExportDialogTitle = "Export texture to...";
inline constexpr const char* kExportDialogFilter = "DirectX Texture File (*.dds)|*.dds";
inline constexpr const char* kExportCancelledText = "Export cancelled";
inline constexpr const char* kTextureExportedPrefix = "Texture exported to ";

class FileCommands {
  public:
    // parent owns the dialogs; statusLine is the main window's Label1 (may be null); host is the
    // main window, which opens the texture windows and shows progress.
    FileCommands(Services& services, QWidget* parent, QLabel* statusLine, WindowHost& host);
    FileCommands(const FileCommands&) = delete;
    FileCommands& operator=(const FileCommands&) = delete;

    // "&Open": the Open dialog, then LoadTexture with the chosen file. Cancel ends silently.
    void open_Click();
    // Same as open_Click (the alpha-layer dialog calls it and reads LastLoadedTexture).
    void OpenFile() { open_Click(); }
    // Opens fileName into a new texture window (texture_load.h); DXT2/DXT4 warn through
    // ShowMessageOnce. A file that held more than the opened image says on the status line what
    // was left out (LeftOutText). Throws PlatformError naming the file; nothing is left of a
    // failed load.
    void LoadTexture(const std::string& fileName);
    // "&New": the NewTexture dialog, then a new texture of the accepted size.
    void newtex_Click();
    // "&Save": SaveTextureOf the active window's texture. Nothing without an active texture.
    void save_Click();
    // "Save &As...": SaveTextureAs the active window's texture. Nothing without an active texture.
    void saveas_Click();

    // "E&xport...": ExportTexture of the active window's texture. Nothing without an active
    // texture.
    void export_Click();
    // Writes entry textureIndex's pixels as a DDS file: the settings from ExportDialog, the file
    // from the Save dialog (kExportDialogTitle, suggesting the texture's title with the ending
    // .dds in the folder of the last export or else its own file's; a name not ending in .dds,
    // any case, gets .dds added, asking before that replaces a file), then WriteDdsExport.
    // Meanwhile the status line shows "Busy (n%)" and pending messages run; Escape stops the
    // export, leaving an existing file as it was, and the status line says kExportCancelledText.
    // Once written it says kTextureExportedPrefix + the file name. The texture and its unsaved
    // state stay as they are. True only when the file was written. A failed write throws
    // PlatformError naming the file, the status line put back as it was.
    bool ExportTexture(std::int32_t textureIndex);

    // True while a save or an export is writing a file: its progress lets pending messages run,
    // and ending the program then would leave its temporary file behind.
    bool WritingFile() const { return exporting_ || saving_; }

    // Saves entry textureIndex (open in any window): to its own file when that ends in .bmp, .dib
    // or .dds (any case), else through SaveTextureAs (a texture without a file name too). True
    // only when a file was written; false when a dialog was cancelled or nothing was written.
    // Refreshes the captions unless the dialog or a question was cancelled. A failed write throws
    // PlatformError.
    bool SaveTextureOf(std::int32_t textureIndex);
    // Asks for a file with the Save As dialog (SaveAsSuggestion preset) and writes entry
    // textureIndex to it. A typed ending .bmp, .dib or .dds (any case) decides the format,
    // whatever filter is selected; a name without an ending gets the selected filter's; another
    // ending asks which format to write and takes that format's ending instead. A name that got
    // its ending here and names an existing file asks before replacing it, once the dialog itself
    // asks (after the first Save As). .zvt writes nothing and says so (kSaveZvt). The entry's
    // Title becomes the written file's name (also when the DDS options were cancelled, not when
    // nothing could be written), its FileName stays. Returns and refreshes as SaveTextureOf.
    bool SaveTextureAs(std::int32_t textureIndex);
    // The name the Save As dialog starts with: the entry's Title (the name it was opened from or
    // last saved to; an ending Tintora cannot write replaced by the selected filter's, by .bmp
    // when that is ZVT's) in the folder of the last accepted Save As, before any in its own.
    std::string SaveAsSuggestion(std::int32_t textureIndex) const;

    // The once-only message box (message_once.h) shown with MsgBox2.
    void ShowMessageOnce(const std::string& message, const std::string& title,
                         const std::string& key);
    // SaveTexture (texture_save.h) asking the format with Form6; a failed write puts the status
    // line's text back. Saving over the file the texture was opened from, when that file holds
    // more than the opened image (FileHoldsText), asks first; No writes nothing, shows "Save
    // cancelled" and returns Cancelled. Once written, the entry's file holds that image alone.
    SaveOutcome SaveTexture(std::int32_t textureIndex, const std::string& fileName,
                            std::int32_t kind);

    // The dialogs, made on first use.
    MsgBox2& MsgBox2Window();
    NewTexture& NewTextureWindow();
    Form6& Form6Window();
    ExportDialog& ExportDialogWindow();
    bool NewTextureLoaded() const { return !newTexture_.isNull(); }
    bool Form6Loaded() const { return !form6_.isNull(); }

    CommonDialogState CD;

  private:
    FileDialogRequest DialogRequest(const std::string& title, const std::string& filter,
                                    const std::string& fileName) const;
    void TakeChoice(const FileChoice& choice);
    // The file and kind Save As writes for the dialog's choice in CD; none when the user cancelled
    // a question. confirmReplace: the dialog asked before replacing a file.
    std::optional<std::pair<std::string, std::int32_t>> SaveAsTarget(bool confirmReplace);

    Services& services_;
    WindowHost& host_;
    QWidget* parent_;
    QPointer<QLabel> statusLine_;
    QPointer<MsgBox2> msgBox2_;
    QPointer<NewTexture> newTexture_;
    QPointer<Form6> form6_;
    QPointer<ExportDialog> exportDialog_;
    std::string exportFolder_;  // the folder of the last export, with its final slash
    bool exporting_ = false;    // an export is running (its pending messages may ask another)
    bool saving_ = false;       // a save is writing its file
    std::string saveFolder_;    // the folder of the last accepted Save As, with its final slash
};

}  // namespace tintora
