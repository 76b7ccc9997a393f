// What the editor's windows need of the main window that holds them: the error report and the
// status line, the message pump, the windows the document layer opens, the View menu and the
// colour picker. The main window (MDIForm1) implements it and hands itself to every window it
// makes; window tests hand in a recording one.
#pragma once

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

    // What an operation that opens a texture window gets from here.
    WindowAccess Access() { return {this, this}; }
};

}  // namespace tintora
