// What the editor asks of the desktop beyond drawing: message boxes, the file and colour dialogs,
// the per-user settings store, the machine's memory figures and the display's pixel format.
//
// Each service is a small interface. The editor uses the Qt implementations (services/qt/); tests
// use the scripted ones (services/scripted_ui_services.h), which answer from a queue and record
// what was asked. Everything here is called on the UI thread. No Qt type appears here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/d3d8_types.h"

namespace tintora {

// Message boxes. Both wait until the user has closed the box.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A box with an OK button. An empty caption shows the application's title.
    virtual void ShowMessage(const std::string& text, const std::string& caption = {}) = 0;
    // A box with the question icon and the buttons Yes and No; true when the answer is Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // A question with the given buttons, the first one the default; returns the index of the
    // button chosen, or cancelIndex when the box is closed without a choice (Escape, close box).
    virtual int AskChoice(const std::string& text, const std::string& caption,
                          const std::vector<std::string>& buttons, int cancelIndex) = 0;
};

// What a file dialog is set up with. filter lists pairs of description and patterns, all
// separated by "|", patterns separated by ";": "Bitmaps|*.bmp;*.dib|All files (*.*)|*.*".
// filterIndex counts the pairs from 1.
struct FileDialogRequest {
    std::string title;
    std::string filter;
    int filterIndex = 1;
    std::string fileName;  // preset name (may be empty)
    // Save dialog only: ask before an existing file is chosen for replacing (otherwise the
    // dialog accepts it without a question).
    bool confirmOverwrite = false;
};

// What the user chose: the full file name and the index (from 1) of the filter in use.
struct FileChoice {
    std::string fileName;
    int filterIndex = 1;
};

// The common dialogs. An empty result means the user cancelled.
class CommonDialogs {
  public:
    virtual ~CommonDialogs() = default;
    virtual std::optional<FileChoice> ShowOpen(const FileDialogRequest& request) = 0;
    virtual std::optional<FileChoice> ShowSave(const FileDialogRequest& request) = 0;
    // Colours are window colours: 0x00BBGGRR (red in the low byte).
    virtual std::optional<std::uint32_t> ShowColor(std::uint32_t initial) = 0;
};

// The per-user settings store: text values by application, section and key.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored value, or defaultValue when there is none.
    virtual std::string GetSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) = 0;
    // Stores the value; it is on disk (or wherever the store keeps it) when the call returns.
    virtual void SaveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

// The application name every setting of the editor is stored under.
inline constexpr const char* kSettingsApplication = "Tintora";

// Physical memory of the machine, in bytes.
struct MemoryFigures {
    std::int64_t totalPhys = 0;
    std::int64_t availPhys = 0;
};

class MemoryStatus {
  public:
    virtual ~MemoryStatus() = default;
    virtual MemoryFigures Read() = 0;
};

// The display the main window is on.
class DisplayInfo {
  public:
    virtual ~DisplayInfo() = default;
    // Bits per pixel of the desktop (8, 15, 16, 24, 32...).
    virtual int ScreenDepth() = 0;
};

// The Direct3D format of a palettised 8-bit desktop.
constexpr D3DFORMAT kDisplayFormatP8 = static_cast<D3DFORMAT>(41);

// The desktop format a display of that depth has: 32 and 24 bits store X8R8G8B8 pixels, 16 bits
// R5G6B5, 15 bits X1R5G5B5, 8 bits a palette; any other depth is UNKNOWN.
constexpr D3DFORMAT DisplayFormatForDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 32:
        case 24:
            return D3DFMT_X8R8G8B8;
        case 16:
            return D3DFMT_R5G6B5;
        case 15:
            return D3DFMT_X1R5G5B5;
        case 8:
            return kDisplayFormatP8;
        default:
            return D3DFMT_UNKNOWN;
    }
}

}  // namespace tintora
