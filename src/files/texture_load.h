// Loading an image file into a new texture window.
//
// The file is read with D3DXCreateTextureFromFileEx in its own format, then brought into the
// editor's working format (A8R8G8B8, one level, managed pool):
//  - DXT2 and DXT4 textures hold premultiplied colours. They are drawn with DrawQuad onto a
//    texture cleared to 0x00000000, so every channel, alpha included, becomes
//    round(channel x alpha / 255) (a texel of alpha 0 gives 0x00000000, one of alpha 255 keeps
//    its colour). The user is warned first (ShowMessageOnce, key "DXT").
//  - Every other format is converted into A8R8G8B8 (the bytes of a pass through a system-memory
//    A8R8G8B8 surface copied onto the texture whole, made in one parallel pass straight into the
//    texture; a file read as A8R8G8B8 needs none); formats without alpha come out opaque.
// A pixel of exactly 0x04564564 (the load's colour key) becomes 0x00000000 on reading.
//
// Only then are the texture window (CreateDocument) and the texture entry (CreateTextureEntry
// without a main texture) made; the entry gets the texture, the file name, the title and what
// the file held (its mip levels, faces, layers, slices and sRGB mark: D3DXIMAGE_INFO), its pixel
// buffer is filled (CopyOut), it becomes Module1().LastLoadedTexture, and RefreshCaptions gives
// the window its caption.
//
// Failures throw PlatformError whose message names the file and the reason. Nothing is left
// behind by a failed load: no window, no document or texture slot, LastLoadedTexture unchanged.
//
// UI thread only; uses Module1().Device and the windows handed in (access).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/device.h"
#include "document/window_system.h"

namespace tintora {

struct D3DXIMAGE_INFO;
struct TextureEntry;

// Source pixels of exactly this A8R8G8B8 value are read as transparent black.
constexpr std::uint32_t kLoadColorKey = 0x04564564u;

// The warning shown (once, unless silenced) before a DXT2/DXT4 texture is flattened.
inline constexpr const char* kDxtWarningMessage =
    "Warning - The texture you are trying to load is a texture with the format DXT2 or DXT4, it "
    "contains premultiplied alpha values, that can't be converted easily, Tintora will try to use "
    "a RenderSurface to get the right alpha layer data";
inline constexpr const char* kDxtWarningTitle = "DXT2/DXT4 problem !";
inline constexpr const char* kDxtWarningKey = "DXT";

// The name a file is shown under: the part of fileName after its last "/" or "\", whichever
// comes later; the whole name when it holds neither. "C:\maps\stone.bmp" and "/home/a/stone.bmp"
// give "stone.bmp", "a/b\c.png" gives "c.png".
std::string TitleFromPath(const std::string& fileName);

// Called before a DXT2/DXT4 texture takes the premultiplied route; may be empty.
using PremultipliedWarning = std::function<void()>;

// Reads fileName into a new A8R8G8B8 single-level managed texture (the steps at the top of this
// file up to the working format). Creates no document or entry. info (may be null) receives what
// the file held.
std::shared_ptr<Texture> ReadWorkingTexture(const std::string& fileName,
                                            const PremultipliedWarning& warn,
                                            D3DXIMAGE_INFO* info = nullptr);

// The same read on a given device, without Module1: the premultiplied route draws on that
// device with a vertex array of its own. Safe on any thread that has the device to itself (the
// command-line tool gives each worker one); the result is the same texture as above.
std::shared_ptr<Texture> ReadWorkingTexture(Device& device, const std::string& fileName,
                                            const PremultipliedWarning& warn,
                                            D3DXIMAGE_INFO* info = nullptr);

// What the opened image leaves out of a file that held more, for the status line after the load:
// "cube map: face 1 of 6 opened", "texture array: layer 1 of 4 opened", "cube map array: face 1
// of 6 in layer 1 of 4 opened", "volume texture: slice 1 of 16 opened". Empty when the file held
// nothing more, mip levels aside: those are made again from the image wherever they are needed.
std::string LeftOutText(const TextureEntry& entry);
// The same from what the file held: its faces, array layers and volume slices.
std::string LeftOutText(std::uint32_t faces, std::uint32_t arraySize, std::uint32_t depth);

// What such a file holds, for the question before it is saved over: "6 faces and 10 mip levels",
// "4 layers of 6 faces", "16 slices"; mip levels only with one of the others. Empty when
// LeftOutText is.
std::string FileHoldsText(const TextureEntry& entry);

// The whole load: returns the new entry's TextureTable slot.
std::int32_t LoadTextureFile(const std::string& fileName, const PremultipliedWarning& warn,
                             WindowAccess access = {});

}  // namespace tintora
