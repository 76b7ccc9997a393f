// The image adjustment commands of the main window that need no dialog, and the status line
// that all adjustments write to. (The two previewing commands are RunContrastLuminosity in
// form2.h and RunHueSaturation in form8.h.)
//
// Each command does nothing when no texture window is active (ActiveWindowIndex 0 or less);
// otherwise it runs its operation (texture_effects.h) on the active document's texture and
// redraws the window from the main texture. UI thread only; errors propagate as PlatformError.
#pragma once

#include "effects/texture_effects.h"

namespace tintora {

// Writes the main window's status line (Hooks.SetStatusText; nothing when the hook is empty).
StatusFn StatusLine();

// "Invert colors": no status text.
void RunInvertColors();
// "Auto contrast": "Busy (25%)", "Busy (50%)", then "Action done...".
void RunAutoContrast();
// "Equalize": no status text.
void RunEqualize();

}  // namespace tintora
