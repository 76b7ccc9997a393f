// Creating an empty texture of a size the user typed: the size check with its question, and the
// creation of the texture window and entry with the chosen start content.
//
// UI thread only; uses Module1().Device and the window hooks.
#pragma once

#include <cstdint>
#include <string>

#include "document/window_system.h"

namespace tintora {

// The size the device accepts for a texture with a full mipmap chain (D3DXCheckTextureRequirements
// with levels 0, A8R8G8B8, system memory): each side rounded up to a power of two, at least 1 and
// at most the device limit. width and height are replaced by the accepted size.
// Throws PlatformError(kErrObjectNotSet) without a device.
void AcceptTextureSize(std::int32_t& width, std::int32_t& height);

// The question asked when the typed size is not accepted, ending with the accepted size:
// "... the closest valid size would be 256x128".
std::string PowerOfTwoQuestion(std::int32_t width, std::int32_t height);

// The question box's title.
inline constexpr const char* kNewTextureQuestionTitle = "Tintora";

// What a new texture starts with.
enum class AlphaInitialization {
    Opaque,        // the background colour at alpha 255
    Transparent,   // 0x00000000
    NoAlphaLayer,  // as Opaque: the texture has an alpha channel all the same
};

// The A8R8G8B8 value every texel of a new texture starts with. backgroundColor is a window colour
// (0x00BBGGRR).
std::uint32_t InitialTexel(AlphaInitialization alpha, std::uint32_t backgroundColor);

// Creates the texture window (CreateDocument) and a texture entry with its main texture
// (CreateTextureEntry: title "Untitled", no file name), fills the main texture with
// InitialTexel(alpha, Module1().BackgroundColor), copies it into the pixel buffer (CopyOut) and
// points the document at the entry. The window keeps the caption CreateDocument gave it. Returns
// the entry's slot. On failure nothing is left behind and the error is rethrown.
std::int32_t CreateNewTexture(std::int32_t width, std::int32_t height, AlphaInitialization alpha,
                              WindowAccess access = {});

}  // namespace tintora
