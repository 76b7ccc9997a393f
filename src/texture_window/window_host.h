// What the editor's windows need of the main window that holds them: the error report and the
// status line, the message pump, the windows the document layer opens, the View menu and the
// colour picker. The main window (MDIForm1) implements it and hands itself to every window it
// makes; window tests hand in a recording one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "document/window_system.h"

namespace tintora {

class WindowHost : public ProgressDisplay,
                   public DocumentWindows,
                   public ViewMenuMarks,
                   public FatalReport {
  public:
    // Shows the two colours in the colour picker and redraws every texture window.
    virtual void RefreshColorValue() = 0;
    // Opens the View menu as a context menu at a screen position in pixels.
    virtual void PopupViewMenu(int globalX, int globalY) = 0;
    // A command changed the pixels of texture entry textureIndex (a step, an undo, a redo): the
    // host redraws the windows that show it, marks their captions and updates the Edit menu.
    virtual void TextureChanged(std::int32_t textureIndex) = 0;
    // The texture window of document slot is about to close; false keeps it open. The host asks
    // about unsaved changes when it is the last window that shows its texture.
    virtual bool ConfirmClose(std::int32_t slot) = 0;

    // What an operation that opens a texture window gets from here.
    WindowAccess Access() { return {this, this}; }
};

// Runs change on texture entry textureIndex as one undoable step named name (RecordStep), then
// tells host (TextureChanged). When memory ran out for the history, the status line says that the
// texture's history was dropped; the change itself stands.
void RunStep(WindowHost& host, std::int32_t textureIndex, const std::string& name,
             const std::function<void()>& change);

// The status text when the history had to be dropped.
inline constexpr const char* kHistoryDroppedText =
    "Not enough memory for the undo history: this texture's history was cleared";

}  // namespace tintora
