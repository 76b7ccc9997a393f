// The File menu's commands of the main window: "&New", "&Open", "&Save" and "Save &As...", the
// loader they and start-up call (LoadTexture), and the once-only message box (ShowMessageOnce).
// The main window owns one FileCommands and routes its menu items here.
//
// The common dialog CD is shared by Open, Save and Save As: its file name, filter index and
// flags carry over from one use to the next. Its flags become 2 (ask before replacing a file)
// after the first Save As.
//
// Handlers let errors through (PlatformError); the main window runs them through RunHandler,
// which shows "Error <number>: <description>" and goes on. UI thread only.
#pragma once

#include <QPointer>
#include <cstdint>
#include <string>

#include "files/texture_save.h"
#include "services/services.h"
#include "texture_window/window_host.h"

class QLabel;
class QWidget;

namespace tintora {

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
inline constexpr const char* kOpenDialogFilter =
    "All supported texture types|*.bmp;*.jpg;*.png;*.dds;*.dib;*.tga|All files (*.*)|*.*";
inline constexpr const char* kSaveDialogTitle = "Save texture to...";
inline constexpr const char* kSaveDialogFilter =
    "Bitmap File|*.bmp|DirectX Texture File|*.dds|Zarvell3D Texture file|*.zvt";
inline constexpr const char* kSaveAsDialogFilter =
    "Bitmap File (*.bmp)|*.bmp|DirectX Texture File (*.dds)|*.dds|Zarvell3D Texture file "
    "(*.zvt)|*.zvt";

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
    // ShowMessageOnce. Throws PlatformError naming the file; nothing is left of a failed load.
    void LoadTexture(const std::string& fileName);
    // "&New": the NewTexture dialog, then a new texture of the accepted size.
    void newtex_Click();
    // "&Save": to the texture's own file when its ending names a kind, else through the Save
    // dialog; nothing for a texture without a file name. Refreshes the captions.
    void save_Click();
    // "Save &As...": the Save dialog preset with the texture's file name; the texture's Title
    // becomes the chosen file's title (also when the export dialog was cancelled, not when
    // nothing could be written, as for ZVT), its FileName stays. Nothing without an active
    // texture.
    void saveas_Click();

    // The once-only message box (message_once.h) shown with MsgBox2.
    void ShowMessageOnce(const std::string& message, const std::string& title,
                         const std::string& key);
    // SaveTexture (texture_save.h) asking the format with Form6; a failed write puts the status
    // line's text back.
    SaveOutcome SaveTexture(std::int32_t textureIndex, const std::string& fileName,
                            std::int32_t kind);

    // The dialogs, made on first use.
    MsgBox2& MsgBox2Window();
    NewTexture& NewTextureWindow();
    Form6& Form6Window();
    bool NewTextureLoaded() const { return !newTexture_.isNull(); }
    bool Form6Loaded() const { return !form6_.isNull(); }

    CommonDialogState CD;

  private:
    FileDialogRequest DialogRequest(const std::string& title, const std::string& filter,
                                    const std::string& fileName) const;
    void TakeChoice(const FileChoice& choice);

    Services& services_;
    WindowHost& host_;
    QWidget* parent_;
    QPointer<QLabel> statusLine_;
    QPointer<MsgBox2> msgBox2_;
    QPointer<NewTexture> newTexture_;
    QPointer<Form6> form6_;
};

}  // namespace tintora
