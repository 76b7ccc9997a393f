// Texture windows and their drawing: document creation, captions, the View menu's marks, the
// redraw of a window from its texture and the rebuild of its swap chain on resize.
//
// Each function takes the parts of the window system it uses (document/window_system.h); a null
// pointer leaves that part out (the command-line tool and the tests draw without windows).
// Everything here runs on the UI thread and may let pending window messages run where noted.
// Because those messages may open or close windows, nothing here keeps a reference into the
// tables across such a call.
//
// Errors: failing device calls throw PlatformError; slots outside a table throw PlatformError
// with kErrSubscriptOutOfRange; a missing device throws PlatformError with kErrObjectNotSet.
#pragma once

#include <cstdint>
#include <string>

#include "document/module1.h"

namespace tintora {

// Takes a document slot, creates its window (unless isPreview), its swap chain of width x height
// presenting into the window (or into windows->PreviewPictureBox()), a D16 depth surface and the
// viewport. Title and caption "Window" + slot, Tag "resize". The caller sets TextureIndex.
// ViewMode, AlphaOnly and IsPreview are left as the slot's previous user left them; the zoom is
// 1:1, the picture centred and the tiles from the corner.
// Returns the slot.
//
// The window is created through windows->CreateTextureWindow, which shows it; its activation and
// resize handlers run inside this call while the swap chain is still empty and the Tag is not
// yet "resize", so they find nothing to do. When the window then has another client size than
// width x height (a child opened while another one is maximised opens maximised too), the chain
// is rebuilt at that size (ResizeSwapChain).
//
// On failure (swap chain or depth surface) nothing is left behind: the window is closed, the slot
// is free again, ActiveWindowIndex no longer names it, and the error is rethrown.
std::int32_t CreateDocument(std::int32_t width, std::int32_t height, bool depthFlag, bool isPreview,
                            DocumentWindows* windows = nullptr);

// Every texture window's caption from its entry: "<index>-<title> (<w>x<h>)", then the zoom
// of a Normal or Tiled view other than 1:1 ("<index>-<title> (<w>x<h>) 400%"), then kUnsavedMark
// while the texture has unsaved changes; the document's Title becomes the entry's;
// redraws each window from its main texture (RenderDocument with pump).
void RefreshCaptions(MessagePump* pump = nullptr);

// The caption of document slot as RefreshCaptions makes it (with the document's current Title).
std::string DocumentCaption(std::int32_t slot);
inline constexpr const char* kUnsavedMark = " *";

// Sets the caption of every complete texture window (DocumentCaption) without drawing: the
// unsaved mark follows a step, an undo or a save at once.
void ShowCaptions();

// The View menu marks from the active document.
void SyncViewMenu(ViewMenuMarks* menu = nullptr);

// The rectangle that a Stretch view draws in a chain of chainWidth x chainHeight pixels
// (DrawQuad's arguments): the whole chain less its last column and row. draw is false for the
// other modes (Normal and Tiled are drawn texel by texel, texel_view.h; any other value draws
// nothing but the background).
struct ViewQuad {
    bool draw = false;
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    bool smooth = true;
    float uRight = 1.0f;
    float vBottom = 1.0f;
};
ViewQuad ViewQuadFor(ViewMode viewMode, std::int32_t chainWidth, std::int32_t chainHeight);

// Redraws a texture window from its main texture, or its preview texture when usePreview: the
// Normal and Tiled views at the document's zoom and position with the View menu's grid and
// checkerboard (DrawTexelView), the Stretch views as the background colour (black when
// AlphaOnly) and one rectangle (ViewQuadFor, DrawQuad); then present into the window. Lets pending
// window messages run twice (after the scene and after the present; pump->DoEventsWhileDrawing).
//
// Guarded: a call made while another drawing is in progress (Module1().RenderGuard) returns
// without drawing; so does a call for the preview document, and one for a document without a
// swap chain (a window being created or without area). The guard is reset on every exit,
// also when a step throws. If the window is closed or its swap chain rebuilt while messages run,
// the drawing is not presented.
void RenderDocument(std::int32_t slot, bool usePreview, MessagePump* pump = nullptr);

// Rebuilds a window's swap chain and depth surface (D24X8) at width x height, and its viewport.
// Does nothing for a window whose Tag is not "resize" (still being created) or that has no
// window. A width or height of 0 or less releases the chain and depth surface and makes none:
// the window draws nothing (RenderDocument skips a document without a chain) until a later call
// gives it a size. For the preview document (slot == PreviewDocIndex) the chain presents into
// the preview picture box (windows) in the desktop format with the depth format
// CheckDisplayFormats (fatal) picks, and every step that fails is skipped silently.
void ResizeSwapChain(std::int32_t slot, std::int32_t width, std::int32_t height,
                     DocumentWindows* windows = nullptr, FatalReport* fatal = nullptr);

// Reads the desktop format into adapterFormat and picks the first depth format the adapter
// matches (D32, D24X8, D24S8, D16) into depthFormat. An unusable desktop format (other than
// X8R8G8B8, A8R8G8B8, R5G6B5) or no depth format shows its message (fatal->MessageBox) and ends
// the program (fatal->EndProgram; on an unusable desktop the Direct3D object is released first).
// Should EndProgram return, depthFormat is left as it was.
void CheckDisplayFormats(D3DFORMAT& adapterFormat, D3DFORMAT& depthFormat,
                         FatalReport* fatal = nullptr);

// The two fatal display messages.
inline constexpr const char* kUnsupportedDesktopMessage =
    "Can't initialize the engine rendering in 8 or 24bits mode. Try to switch the desktop video "
    "mode to 32bits or 16bits";
inline constexpr const char* kNoDepthFormatMessage =
    "Couldn't find a good depth buffer for the 3d rendering... Stopping the app";

// Activation of the texture window of slot windowindex (Form_Activate): makes it the active
// window and syncs the View menu; does nothing when it is already the active one.
void ActivateTextureWindow(std::int32_t windowindex, ViewMenuMarks* menu = nullptr);

// Closing of the texture window of slot windowindex (Form_Unload): releases its swap chain,
// depth surface and reduced copies, gives back its document slot, and ActiveWindowIndex becomes
// 0. If another document in use shows the same texture slot, that is all; otherwise the texture
// slot is given back too, and the preview window (windows) is hidden when no texture window is
// left.
// Does nothing for a slot that is not in use (already given back).
void CloseTextureWindow(std::int32_t windowindex, DocumentWindows* windows = nullptr);

}  // namespace tintora
