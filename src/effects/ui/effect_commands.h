// The image adjustment commands of the main window that need no dialog; their status texts go to
// the host's status line. (The two previewing commands are RunContrastLuminosity in
// form2.h and RunHueSaturation in form8.h.)
//
// Each command does nothing when no texture window is active (ActiveWindowIndex 0 or less);
// otherwise it runs its operation (texture_effects.h) on the active document's texture and
// redraws the window from the main texture. Every command that changes the pixels is an undoable
// step (RunStep) named after it. UI thread only; errors propagate as PlatformError.
#pragma once

#include "effects/texture_effects.h"
#include "texture_window/window_host.h"

namespace tintora {

// The names of the steps in the Edit menu ("Undo Equalize").
inline constexpr const char* kContrastLuminosityStep = "Adjust luminosity/contrast";
inline constexpr const char* kHueSaturationStep = "Adjust hue/saturation";
inline constexpr const char* kInvertStep = "Invert colors";
inline constexpr const char* kAutoContrastStep = "Auto contrast";
inline constexpr const char* kEqualizeStep = "Equalize";

// "Invert colors": no status text.
void RunInvertColors(WindowHost& host);
// "Auto contrast": "Busy (25%)", "Busy (50%)", then "Action done...".
void RunAutoContrast(WindowHost& host);
// "Equalize": no status text.
void RunEqualize(WindowHost& host);

}  // namespace tintora
