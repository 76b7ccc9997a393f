// Texture windows and their drawing: document creation, captions, the View menu's marks, the
// redraw of a window from its texture and the rebuild of its swap chain on resize.
//
// The window system is reached through Module1().Hooks (see module1.h); everything here runs on
// the UI thread and may let pending window messages run (Hooks.DoEvents) where noted.
#pragma once

#include <cstdint>

#include "document/module1.h"

namespace tintora {

// Takes a document slot, creates its window (unless isPreview), its swap chain of width x height
// presenting into the window (or the preview picture box), a D16 depth surface and the viewport.
// Title and caption "Window" + slot. The caller sets TextureIndex. Returns the slot.
std::int32_t CreateDocument(std::int32_t width, std::int32_t height, bool depthFlag,
                            bool isPreview);

// Every texture window's caption from its entry: "<index>-<title> (<w>x<h>)"; redraws each.
void RefreshCaptions();

// The View menu marks from the active document.
void SyncViewMenu();

// Redraws a texture window from its main texture, or its preview texture when usePreview.
// Guarded: a call made while another drawing is in progress returns without drawing.
void RenderDocument(std::int32_t slot, bool usePreview);

// Rebuilds a window's swap chain and depth surface at width x height. For the preview document
// every step is skipped silently on failure.
void ResizeSwapChain(std::int32_t slot, std::int32_t width, std::int32_t height);

// Reads the desktop format and picks the first depth format the adapter matches (D32, D24X8,
// D24S8, D16). An unusable desktop format or no depth format shows its message and ends the
// program through Hooks.EndProgram.
void CheckDisplayFormats(D3DFORMAT& adapterFormat, D3DFORMAT& depthFormat);

// Activation of the texture window of slot windowindex (Form_Activate).
void ActivateTextureWindow(std::int32_t windowindex);

// Closing of the texture window of slot windowindex (Form_Unload): gives back its document slot
// and, when no other document shows it, its texture slot; hides the preview window when no
// texture window is left.
void CloseTextureWindow(std::int32_t windowindex);

}  // namespace tintora
