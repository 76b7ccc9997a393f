// The editor's shared state and the operations on it.
//
// All state that the windows share lives in one struct, Module1State, reached through Module1().
// Tests start from a clean state with ResetModule1(). There is no other global state.
//
// Tables: DocumentTable and TextureTable are arrays indexed by slot. Slot 0 exists but never holds
// a document or a texture; a slot is in use while its InUse flag is set; the arrays never shrink
// and a freed slot is reused by the next creation (TakeDocumentSlot, TakeTextureSlot).
//
// Everything here runs on the UI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/pixel_buffer.h"
#include "device/d3dx_math.h"
#include "device/device.h"
#include "document/pixel_delta.h"
#include "document/window_system.h"

namespace tintora {

// The view modes of a texture window.
enum class ViewMode : std::int32_t {
    Normal = 0,
    StretchFiltering = 1,
    StretchPixellised = 2,
    Tiled = 3,
};

// The mouse tools of the main window's tool panel. None until the user picks one (the panel
// shows "Select" as chosen at start all the same).
enum class Tool : std::int32_t {
    None = 0,
    Select = 1,
    PickColor = 2,
    SetColorKey = 3,
};

// A texture window's Tag: empty while the window is being created, "resize" once it is complete
// (only then is its swap chain rebuilt on resize).
enum class WindowTag : std::int32_t {
    Creating = 0,
    Resize = 1,
};

// The texture a zoomed-out view shows, averaged over blocks of 2 x 2, 4 x 4 and 8 x 8 texels
// (drawing/texel_view.h makes and uses it). The first Current levels hold Source as it is while
// its pixels are unchanged (the version of its top level); the others are room kept for a
// texture of Width x Height, refilled after a change.
struct ReducedTexture {
    std::weak_ptr<const ::tintora::Texture> Source;
    std::uint64_t Version = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::size_t Current = 0;
    // Levels[k - 1]: the texture averaged over 2^k x 2^k texels, ceil(W / 2^k) x ceil(H / 2^k)
    // pixels 0xAARRGGBB with the colours multiplied by alpha / 255.
    std::vector<std::vector<std::uint32_t>> Levels;
};

// One texture window (or the 3D preview's picture box) and its drawing target.
struct TextureDocument {
    bool InUse = false;
    std::shared_ptr<::tintora::SwapChain> SwapChain;
    std::shared_ptr<Surface> DepthSurface;
    D3DVIEWPORT8 Viewport;
    bool DepthFlag = false;
    std::int32_t ChainWidth = 0;
    std::int32_t ChainHeight = 0;
    DocumentWindow* Window = nullptr;  // owned by the window system; empty for the preview
    std::int32_t TextureIndex = 0;
    std::string Title;
    bool AlphaOnly = false;
    ::tintora::ViewMode ViewMode = ::tintora::ViewMode::Normal;
    bool IsPreview = false;
    // The Normal and Tiled views' zoom (picture pixels per texel: one of drawing/texel_view.h's
    // kZoomSteps) and where they show the texture, as fractions of its width and height: the
    // point at the window's centre (Normal, while the picture is larger than the window) and the
    // point at its top-left corner (Tiled). A new window starts at 1:1, centred, tiles from 0, 0.
    double Zoom = 1.0;
    double CentreX = 0.5;
    double CentreY = 0.5;
    double TileX = 0.0;
    double TileY = 0.0;
    ReducedTexture Reduced;
};

// The undo histories' default bound: 1 GiB for all textures together.
inline constexpr std::size_t kDefaultHistoryLimit = std::size_t{1} << 30;

// One step of a texture's history (document/history.h).
struct HistoryStep {
    std::string Name;
    PixelDelta Delta;
    std::uint64_t Sequence = 0;     // creation order over all textures
    std::uint64_t StateBefore = 0;  // the texture's StateId before and after the step
    std::uint64_t StateAfter = 0;
};

// A texture's steps, oldest first: the first UndoCount can be undone, the rest redone.
struct TextureHistory {
    std::deque<HistoryStep> Steps;
    std::size_t UndoCount = 0;
    bool InStep = false;  // a step's change is running
};

// One open texture: the texture, its preview twin, a byte copy of each, and its history.
struct TextureEntry {
    bool InUse = false;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint32_t Format = 0;
    std::shared_ptr<::tintora::Texture> Texture;
    std::shared_ptr<::tintora::Texture> PreviewTexture;
    std::string Title;
    std::string FileName;
    // What the file it was opened from held: mip levels, cube-map faces, array layers and volume
    // slices (each 1 when it held only the opened image), and whether it marked its colours as
    // sRGB (so that an export can keep the mark).
    std::uint32_t FileMipLevels = 1;
    std::uint32_t FileFaces = 1;
    std::uint32_t FileArraySize = 1;
    std::uint32_t FileDepth = 1;
    bool FileSrgb = false;
    PixelBuffer Pixels;
    PixelBuffer PreviewPixels;
    TextureHistory History;
    std::uint64_t StateId = 0;       // the state of the pixels (document/history.h)
    std::uint64_t SavedStateId = 0;  // the state they were opened or last saved in
};

// The 32-byte vertex of a screen-space quad (format 0x1C4: XYZRHW | DIFFUSE | SPECULAR | TEX1).
struct QuadVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float rhw = 0.0f;
    std::uint32_t diffuse = 0;
    std::uint32_t specular = 0;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(QuadVertex) == 32);
constexpr std::uint32_t kQuadVertexFvf = 0x1C4;

struct Module1State {
    std::shared_ptr<Direct3D8> D3D;
    std::shared_ptr<::tintora::Device> Device;
    D3DPRESENT_PARAMETERS PresentParams;

    std::vector<TextureDocument> DocumentTable;
    std::int32_t DocumentTableUBound = 0;
    std::vector<TextureEntry> TextureTable;
    std::int32_t TextureTableUBound = 0;

    std::int32_t ActiveWindowIndex = 0;
    std::int32_t PreviewDocIndex = 0;
    Tool CurrentTool = Tool::None;
    std::uint32_t ForegroundColor = 0;  // 0x00BBGGRR
    std::uint32_t BackgroundColor = 0;  // 0x00BBGGRR
    std::shared_ptr<Mesh> SphereMesh;
    std::int32_t LastLoadedTexture = 0;

    // DrawQuad's vertex array, reused by every call.
    std::array<QuadVertex, 4> QuadVertices{};
    // True while RenderDocument is drawing.
    bool RenderGuard = false;
    // The View menu's options of every Normal and Tiled view: lines between the texels from 8x,
    // and a checkerboard behind transparent texels (not in the alpha-only view).
    bool ShowTexelGrid = true;
    bool ShowCheckerboard = true;

    // The undo histories' bound in bytes and the counters that number steps and pixel states.
    std::size_t HistoryLimit = kDefaultHistoryLimit;
    std::uint64_t NextStepSequence = 0;
    std::uint64_t NextStateId = 0;

};

// The one instance.
Module1State& Module1();
// Puts the state back as it is before start-up (drops the device and the tables).
void ResetModule1();

// Slot taking: the first slot from 1 whose InUse is false, or a new slot at the end. Marks the
// slot in use and returns it. The tables never shrink.
std::int32_t TakeDocumentSlot();
std::int32_t TakeTextureSlot();

// Checked access: throws PlatformError(kErrSubscriptOutOfRange) for a slot outside the table.
TextureDocument& DocumentAt(std::int32_t slot);
TextureEntry& TextureAt(std::int32_t slot);

// Creates a texture entry of width x height: two pixel buffers, the preview texture, and the main
// texture when createMain is true (otherwise the caller stores one in Texture). Returns its slot,
// or 0 without creating anything when width or height is 0. Shows the 3D preview window
// (windows: null shows nothing). Sizes below 0 or above the device limit throw PlatformError
// before any slot is taken.
std::int32_t CreateTextureEntry(std::int32_t width, std::int32_t height, bool createMain,
                                DocumentWindows* windows = nullptr);

// Frees a texture entry: releases both textures and both buffers, marks the slot free. Title and
// FileName keep their text until the slot is reused.
void FreeTextureEntry(std::int32_t slot);

// Copies the main texture's top level into Pixels (4 x W x H bytes).
void CopyOut(std::int32_t textureIndex);
// Copies PreviewPixels into PreviewTexture when target is 1, else Pixels into Texture.
void CopyIn(std::int32_t textureIndex, std::int32_t target);

// Window colour 0x00BBGGRR to device colour 0x00RRGGBB: bytes 0 and 2 exchanged.
std::uint32_t ToDeviceColor(std::uint32_t color);

// Draws texture as a screen-space rectangle into the current render target and scene.
void DrawQuad(float x, float y, float width, float height,
              const std::shared_ptr<Texture>& texture, bool smooth, float uRight, float vBottom,
              bool alphaOnly);

// Sets the device states that DrawQuad with these arguments leaves behind, without drawing: a
// view drawn without the device leaves the states that later drawing (the 3D preview) finds.
void SetQuadStates(Device& device, const std::shared_ptr<Texture>& texture, bool smooth,
                   bool alphaOnly);

// DrawQuad on a given device with the caller's vertex array: for drawing on a device of one's own
// off the UI thread (the command-line tool's workers). DrawQuad is this with Module1's device and
// QuadVertices.
void DrawQuadOn(Device& device, std::array<QuadVertex, 4>& quad, float x, float y, float width,
                float height, const std::shared_ptr<Texture>& texture, bool smooth, float uRight,
                float vBottom, bool alphaOnly);

}  // namespace tintora
