// What the program's operations ask of the window system, as narrow interfaces. The editor
// implements them on Qt; the command-line tool and tests hand in nothing (a null pointer: the
// operation then shows nothing and lets no messages run) or a recording version of their own.
// Each operation takes only the interfaces it uses, so its signature says what it may do to the
// windows.
//
// All calls come on the UI thread.
#pragma once

#include <cstdint>
#include <string>

#include "device/device.h"

namespace tintora {

enum class ViewMode : std::int32_t;
enum class WindowTag : std::int32_t;

// What the document layer needs of a texture window (the editor's Form1 implements it). The
// swap chain of the window's document presents into it.
class DocumentWindow : public PresentTarget {
  public:
    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string Caption() const = 0;
    virtual WindowTag Tag() const = 0;
    virtual void SetTag(WindowTag tag) = 0;
    // Asks the window to repaint itself from what was last presented.
    virtual void Repaint() = 0;
    // Sizes the window so that its client area is width x height pixels.
    virtual void SetClientSize(int width, int height) = 0;
    // Closes the window for good. The document layer calls it only for a window whose document
    // slot it has already given back, so the window's own closing must not give it back again.
    virtual void CloseWindow() = 0;
};

// Lets pending window messages run.
class MessagePump {
  public:
    virtual ~MessagePump() = default;
    virtual void DoEvents() = 0;
    // As DoEvents, in the middle of drawing a texture window, except the user's input: a click or
    // key press that arrives meanwhile waits until the drawing is done. A command run from inside
    // the drawing would find its own redraw dropped by the drawing guard, and the window would
    // keep showing the picture from before the command.
    virtual void DoEventsWhileDrawing() { DoEvents(); }
};

// Where a long texture operation shows how far it is: each status text is followed by one run
// of the pending window messages.
class ProgressDisplay : public MessagePump {
  public:
    // Sets the text of the main window's status line.
    virtual void SetStatusText(const std::string& text) = 0;
};

// The windows the document layer opens, shows and hides.
class DocumentWindows {
  public:
    virtual ~DocumentWindows() = default;
    // Creates a texture window for document slot (its windowindex) and shows it; the window
    // becomes the active child. The window system owns it; it lives until the user closes it.
    virtual DocumentWindow* CreateTextureWindow(std::int32_t slot) = 0;
    // The 3D preview's picture box, which the preview document's swap chain presents into.
    virtual PresentTarget* PreviewPictureBox() = 0;
    // Shows the 3D preview window (modeless).
    virtual void ShowPreviewWindow() = 0;
    // Hides the 3D preview window.
    virtual void HidePreviewWindow() = 0;
};

// What an operation that opens a texture window uses: the windows it makes (and the preview it
// shows) and the messages its redraws let run. Either may be null.
struct WindowAccess {
    DocumentWindows* windows = nullptr;
    MessagePump* pump = nullptr;
};

// The View menu's marks: the mode item (Normal, Stretch (filtering), Stretch (pixellised), Tiled;
// a value outside them leaves the mode items as they are) and "Alpha map only".
class ViewMenuMarks {
  public:
    virtual ~ViewMenuMarks() = default;
    virtual void SetViewMenuChecks(ViewMode viewMode, bool alphaOnly) = 0;
};

// A message box with an OK button (default caption), answered before anything goes on.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void MessageBox(const std::string& text) = 0;
};

// A fatal problem: its message box, then the end of the program (no unload handler runs, nothing
// is saved). Should EndProgram return (tests record it and go on), the caller returns.
class FatalReport : public MessageSink {
  public:
    virtual void EndProgram() = 0;
};

}  // namespace tintora
