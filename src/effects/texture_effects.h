// The image adjustments run on a texture of the TextureTable: copy the pixels out of the texture,
// compute, copy them back, with the status texts the main window shows meanwhile.
//
// Which buffer each reads and writes:
// - AdjustContrastLuminosity and AdjustHueSaturation (the dialogs' previews) refresh Pixels from
//   the main texture, compute from Pixels into PreviewPixels and copy PreviewPixels into the
//   preview texture. The main texture and Pixels stay as they are.
// - CommitPreview (a dialog's OK) copies PreviewPixels into Pixels and Pixels into the texture.
// - InvertColors refreshes Pixels from the texture, inverts it in place and copies it back.
// - AutoContrast and Equalize work on Pixels as it stands (it always holds the texture's current
//   pixels) in place and copy it back.
//
// Status texts go to display (the main window's status line; null shows nothing); after each
// progress text the pending window messages run once (display->DoEvents). Those are the only places
// where other handlers may run in the middle of an operation; if one of them frees the texture or
// its buffers, the operation stops with PlatformError(kErrSubscriptOutOfRange) instead of writing
// to them. A texture index that is not a slot of the table throws the same error. An operation
// that showed progress ends with a text that says what it did, or with kActionFailedText when it
// stops with an error: never on a progress text.
//
// UI thread only (the pixel work inside runs in parallel).
#pragma once

#include <cstdint>

#include "document/window_system.h"

namespace tintora {

// The end texts: a preview computed, a change made to the texture, an operation stopped by an
// error (which its caller reports).
inline constexpr const char* kPreviewReadyText = "Preview ready";
inline constexpr const char* kActionFinishedText = "Action finished";
inline constexpr const char* kActionFailedText = "Action failed";

// "Busy (n%)" while it runs, then kPreviewReadyText. target is passed to the copy in; the dialogs
// pass 1, the preview.
void AdjustContrastLuminosity(std::int32_t textureIndex, std::int32_t target, float contrast,
                              std::int32_t luminosity, ProgressDisplay* display = nullptr);

// "Busy (n %)" (with a blank) while it runs, then kPreviewReadyText. target as above.
void AdjustHueSaturation(std::int32_t textureIndex, std::int32_t target, std::int32_t hueShift,
                         std::int32_t saturationShift, ProgressDisplay* display = nullptr);

// A dialog's OK: PreviewPixels into Pixels, then Pixels into the main texture, then
// kActionFinishedText.
void CommitPreview(std::int32_t textureIndex, ProgressDisplay* display = nullptr);

// No status text.
void InvertColors(std::int32_t textureIndex);

// "Busy (25%)" after the scan and "Busy (50%)" after the tables, each followed by the pending
// messages; "Action done..." once the pixels are mapped (no messages run then); then the copy in.
void AutoContrast(std::int32_t textureIndex, ProgressDisplay* display = nullptr);

// No status text.
void Equalize(std::int32_t textureIndex);

}  // namespace tintora
