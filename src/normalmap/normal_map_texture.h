// The normal-map command on the editor's tables: the normal map of the active texture window's
// texture becomes a new texture entry, shown in a new texture window. The window Form10 reads its
// controls and calls CreateNormalMapTexture; nothing here includes Qt Widgets.
//
// UI thread only, like the tables it works on.
#pragma once

#include <cstdint>
#include <string>

#include "document/window_system.h"

namespace tintora {

// A new map's title is this text followed directly by its texture slot ("NormalMap3").
inline constexpr const char* kNormalMapTitle = "NormalMap";

// The amplitude typed into a text box: its leading number ("2.5xyz" gives 2.5, "abc" and "" give
// 0) rounded to single precision. Throws PlatformError(kErrOverflow, "Overflow") for a number
// beyond the single-precision range.
float AmplitudeFromText(const std::string& text);

// Makes the normal map of the active document's texture, with the height from sourceCode's
// channel (1 red, 2 luminance, 4 blue, 8 alpha, 16 green; see normal_map.h) and amplitude read
// from amplitudeText (AmplitudeFromText):
//   a new texture entry X of the source's size with a main texture of its own, titled
//   "NormalMap" + X; a new texture window showing it (it becomes the active window); the map
//   generated into X's main texture and copied out into its Pixels; every window's caption
//   refreshed. The source texture, its buffers and its window are not changed.
// Returns X, or 0 without doing anything when no texture window is active or the active one
// shows no texture.
//
// Window messages run while the window is made and the captions are redrawn; the source texture
// is held by this call meanwhile, so closing its window then does not disturb the map.
//
// Errors (PlatformError from the tables, the device or the generator, std::bad_alloc) leave
// nothing behind: the new window is closed and both slots are given back before the error goes
// on to the caller.
std::int32_t CreateNormalMapTexture(std::int32_t sourceCode, const std::string& amplitudeText,
                                    WindowAccess access = {});

}  // namespace tintora
