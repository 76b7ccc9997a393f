#include "drawing/views.h"

#include <array>
#include <exception>
#include <memory>
#include <string>

#include "base/error.h"
#include "document/history.h"
#include "drawing/texel_view.h"

namespace tintora {

namespace {

Device& RequireDevice() {
    auto& state = Module1();
    if (!state.Device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    return *state.Device;
}

// Gives back a slot whose creation failed half-way: drops what was made, frees the slot, forgets
// it as the active window, then closes its window (which finds its slot already given back).
void AbandonDocument(std::int32_t slot, DocumentWindow* window) {
    auto& state = Module1();
    TextureDocument& d = DocumentAt(slot);
    d.SwapChain.reset();
    d.DepthSurface.reset();
    d.Window = nullptr;
    d.InUse = false;
    if (state.ActiveWindowIndex == slot) state.ActiveWindowIndex = 0;
    if (window != nullptr) window->CloseWindow();
}

void ResizePreviewSwapChain(std::int32_t width, std::int32_t height, DocumentWindows* windows,
                            FatalReport* fatal) {
    auto& state = Module1();
    // Before the first document exists there is nothing to resize.
    if (state.DocumentTableUBound <= 0 || state.DocumentTable.empty()) return;

    auto& pp = state.PresentParams;
    pp.EnableAutoDepthStencil = -1;
    CarryOnAfterFailure([&] {
        pp.hDeviceWindow = windows != nullptr ? windows->PreviewPictureBox() : nullptr;
    });
    pp.BackBufferWidth = static_cast<std::uint32_t>(width);
    pp.BackBufferHeight = static_cast<std::uint32_t>(height);

    CarryOnAfterFailure([&] {
        TextureDocument& d = DocumentAt(state.PreviewDocIndex);
        d.Viewport = WholeViewport(width, height);
        d.ChainWidth = width;
        d.ChainHeight = height;
    });

    D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
    D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
    CarryOnAfterFailure([&] { CheckDisplayFormats(adapterFormat, depthFormat, fatal); });
    pp.BackBufferFormat = adapterFormat;

    CarryOnAfterFailure([&] { DocumentAt(state.PreviewDocIndex).SwapChain.reset(); });
    CarryOnAfterFailure([&] { DocumentAt(state.PreviewDocIndex).DepthSurface.reset(); });
    if (width <= 0 || height <= 0) return;  // no area: no chain, as for a texture window
    CarryOnAfterFailure([&] {
        auto chain = RequireDevice().CreateAdditionalSwapChain(pp);
        DocumentAt(state.PreviewDocIndex).SwapChain = std::move(chain);
    });
    CarryOnAfterFailure([&] {
        auto depth = RequireDevice().CreateDepthStencilSurface(width, height, depthFormat,
                                                               D3DMULTISAMPLE_NONE);
        DocumentAt(state.PreviewDocIndex).DepthSurface = std::move(depth);
    });
}

// Resets the drawing guard when RenderDocument leaves, by any way.
struct RenderGuardReset {
    RenderGuardReset() = default;
    RenderGuardReset(const RenderGuardReset&) = delete;
    RenderGuardReset& operator=(const RenderGuardReset&) = delete;
    ~RenderGuardReset() { Module1().RenderGuard = false; }
};

// Draws the document's scene into its back buffer: the Normal and Tiled views texel by texel
// (texel_view.h), leaving the device states their rectangle would have left; the Stretch views
// as a clear and one rectangle. A scene left open by a failing step is ended so that the next
// drawing can begin one.
void DrawDocumentScene(Device& device, TextureDocument& d,
                       const std::shared_ptr<Surface>& backBuffer, bool usePreview) {
    device.SetRenderTarget(backBuffer, d.DepthSurface);
    device.SetViewport(d.Viewport);
    device.BeginScene();
    try {
        // A document without a texture entry (index 0) draws with no texture bound.
        std::shared_ptr<Texture> texture;
        if (d.TextureIndex != 0) {
            const TextureEntry& e = TextureAt(d.TextureIndex);
            texture = usePreview ? e.PreviewTexture : e.Texture;
        }
        const std::uint32_t background =
            d.AlphaOnly ? 0u : ToDeviceColor(Module1().BackgroundColor);
        if (IsTexelView(d.ViewMode)) {
            TexelViewStyle style;
            style.background = background;
            style.alphaOnly = d.AlphaOnly;
            style.checkerboard = Module1().ShowCheckerboard && !d.AlphaOnly;
            style.grid = Module1().ShowTexelGrid;
            DrawTexelView(*backBuffer, texture, d, style);
            SetQuadStates(device, texture, true, d.AlphaOnly);
            device.EndScene();
            return;
        }
        device.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
        const ViewQuad quad = ViewQuadFor(d.ViewMode, d.ChainWidth, d.ChainHeight);
        if (quad.draw) {
            DrawQuad(quad.x, quad.y, quad.width, quad.height, texture, quad.smooth, quad.uRight,
                     quad.vBottom, d.AlphaOnly);
        }
    } catch (...) {
        device.EndScene();
        throw;
    }
    device.EndScene();
}

}  // namespace

std::int32_t CreateDocument(std::int32_t width, std::int32_t height, bool depthFlag, bool isPreview,
                            DocumentWindows* windows) {
    auto& state = Module1();
    Device& device = RequireDevice();

    const std::int32_t k = TakeDocumentSlot();
    DocumentWindow* window = nullptr;
    try {
        if (!isPreview) {
            // The window is made with windowindex k and shown; its activation handler runs now,
            // and its resize and paint handlers find no swap chain and no "resize" Tag.
            if (windows != nullptr) window = windows->CreateTextureWindow(k);
            DocumentAt(k).Window = window;
            if (window != nullptr) window->SetClientSize(width, height);
        }

        TextureDocument& d = DocumentAt(k);
        d.Viewport = WholeViewport(width, height);

        auto& pp = state.PresentParams;
        if (isPreview) {
            pp.hDeviceWindow = windows != nullptr ? windows->PreviewPictureBox() : nullptr;
        } else {
            pp.hDeviceWindow = window;
        }
        pp.EnableAutoDepthStencil = depthFlag ? -1 : 0;
        pp.BackBufferWidth = static_cast<std::uint32_t>(width);
        pp.BackBufferHeight = static_cast<std::uint32_t>(height);

        d.ChainWidth = width;
        d.ChainHeight = height;
        d.SwapChain = device.CreateAdditionalSwapChain(pp);
        d.DepthSurface =
            device.CreateDepthStencilSurface(width, height, D3DFMT_D16, D3DMULTISAMPLE_NONE);
        d.TextureIndex = 0;
        d.DepthFlag = depthFlag;
        d.Title = "Window" + std::to_string(k);
        // A new window shows its texture at 1:1, centred (a reused slot keeps its view mode).
        d.Zoom = 1.0;
        d.CentreX = d.CentreY = 0.5;
        d.TileX = d.TileY = 0.0;

        if (window != nullptr) {
            window->SetCaption(d.Title);
            window->SetTag(WindowTag::Resize);
            // The window system may have given the window another client size (a child opened
            // maximised fills the area) while its resize handler had nothing to rebuild: the
            // chain follows the window now. A window without area yet gets its size, and its
            // chain, from its next resize.
            const int shownWidth = window->ClientWidth();
            const int shownHeight = window->ClientHeight();
            if (shownWidth > 0 && shownHeight > 0 && (shownWidth != width || shownHeight != height))
                ResizeSwapChain(k, shownWidth, shownHeight);
        }
    } catch (...) {
        AbandonDocument(k, window);
        throw;
    }
    return k;
}

std::string DocumentCaption(std::int32_t slot) {
    const TextureDocument& d = DocumentAt(slot);
    const TextureEntry& e = TextureAt(d.TextureIndex);
    std::string caption = std::to_string(d.TextureIndex) + "-" + d.Title + " (" +
                          std::to_string(e.Width) + "x" + std::to_string(e.Height) + ")";
    if (IsTexelView(d.ViewMode) && d.Zoom != 1.0) caption += " " + ZoomText(d.Zoom);
    if (IsModified(d.TextureIndex)) caption += kUnsavedMark;
    return caption;
}

void ShowCaptions() {
    auto& state = Module1();
    for (std::int32_t i = 1; i <= state.DocumentTableUBound; ++i) {
        if (static_cast<std::size_t>(i) >= state.DocumentTable.size()) break;
        TextureDocument& d = DocumentAt(i);
        if (!d.InUse || d.IsPreview || i == state.PreviewDocIndex || d.Window == nullptr) continue;
        if (d.Window->Tag() != WindowTag::Resize) continue;
        d.Window->SetCaption(DocumentCaption(i));
    }
}

void RefreshCaptions(MessagePump* pump) {
    auto& state = Module1();
    // The bound is read on every pass: the redraws let window messages run, which may open
    // windows and grow the table.
    for (std::int32_t i = 0; i <= state.DocumentTableUBound; ++i) {
        if (static_cast<std::size_t>(i) >= state.DocumentTable.size()) break;
        TextureDocument& d = DocumentAt(i);
        if (!d.InUse || d.IsPreview || i == state.PreviewDocIndex) continue;

        const TextureEntry& e = TextureAt(d.TextureIndex);
        d.Title = e.Title;
        if (d.Window != nullptr) d.Window->SetCaption(DocumentCaption(i));
        RenderDocument(i, false, pump);
    }
}

void SyncViewMenu(ViewMenuMarks* menu) {
    auto& state = Module1();
    const TextureDocument& d = DocumentAt(state.ActiveWindowIndex);
    if (menu != nullptr) menu->SetViewMenuChecks(d.ViewMode, d.AlphaOnly);
}

ViewQuad ViewQuadFor(ViewMode viewMode, std::int32_t chainWidth, std::int32_t chainHeight) {
    ViewQuad quad;
    if (viewMode == ViewMode::StretchFiltering || viewMode == ViewMode::StretchPixellised) {
        // Stretched over the window less its last column and row.
        quad.draw = true;
        quad.width = static_cast<float>(chainWidth - 1);
        quad.height = static_cast<float>(chainHeight - 1);
        quad.smooth = viewMode == ViewMode::StretchFiltering;
    }
    return quad;
}

void RenderDocument(std::int32_t slot, bool usePreview, MessagePump* pump) {
    auto& state = Module1();
    if (slot == state.PreviewDocIndex) return;
    {
        const TextureDocument& d = DocumentAt(slot);
        // A paint that arrives while any window is being drawn is dropped, not deferred.
        if (d.IsPreview || state.RenderGuard) return;
    }

    state.RenderGuard = true;
    const RenderGuardReset guard;

    std::shared_ptr<SwapChain> swapChain = DocumentAt(slot).SwapChain;
    if (!swapChain) return;  // a window being created or without area

    Device& device = RequireDevice();
    const auto backBuffer = swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    DrawDocumentScene(device, DocumentAt(slot), backBuffer, usePreview);

    if (pump != nullptr) pump->DoEventsWhileDrawing();

    // The messages just run may have closed the window or rebuilt its swap chain: present only
    // into the chain that was drawn, while it is still the window's.
    const TextureDocument& d = DocumentAt(slot);
    if (d.InUse && d.SwapChain == swapChain) {
        if (d.Window != nullptr) d.Window->Repaint();
        swapChain->Present(nullptr, nullptr, nullptr, nullptr);
    }
    if (pump != nullptr) pump->DoEventsWhileDrawing();
}

void ResizeSwapChain(std::int32_t slot, std::int32_t width, std::int32_t height,
                     DocumentWindows* windows, FatalReport* fatal) {
    auto& state = Module1();
    if (slot == state.PreviewDocIndex) {
        ResizePreviewSwapChain(width, height, windows, fatal);
        return;
    }

    TextureDocument& d = DocumentAt(slot);
    // Still being created (or not a texture window): the creation makes the chain itself.
    if (d.Window == nullptr || d.Window->Tag() != WindowTag::Resize) return;
    Device& device = RequireDevice();

    auto& pp = state.PresentParams;
    pp.hDeviceWindow = d.Window;
    pp.EnableAutoDepthStencil = -1;
    pp.BackBufferWidth = static_cast<std::uint32_t>(width);
    pp.BackBufferHeight = static_cast<std::uint32_t>(height);

    d.Viewport = WholeViewport(width, height);
    d.ChainWidth = width;
    d.ChainHeight = height;

    d.SwapChain.reset();
    d.DepthSurface.reset();
    // A window without area (collapsed to its title bar, or sized down to nothing) gets no chain
    // and draws nothing until it has a size again; a size of 0 would ask the device for the
    // window's own size.
    if (width <= 0 || height <= 0) return;
    d.SwapChain = device.CreateAdditionalSwapChain(pp);
    d.DepthSurface =
        device.CreateDepthStencilSurface(width, height, D3DFMT_D24X8, D3DMULTISAMPLE_NONE);
}

void CheckDisplayFormats(D3DFORMAT& adapterFormat, D3DFORMAT& depthFormat, FatalReport* fatal) {
    auto& state = Module1();
    if (!state.D3D) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    adapterFormat = state.D3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT).Format;

    if (adapterFormat != D3DFMT_X8R8G8B8 && adapterFormat != D3DFMT_A8R8G8B8 &&
        adapterFormat != D3DFMT_R5G6B5) {
        if (fatal != nullptr) fatal->MessageBox(kUnsupportedDesktopMessage);
        state.D3D.reset();
        if (fatal != nullptr) fatal->EndProgram();
        return;
    }

    constexpr std::array<D3DFORMAT, 4> kDepthFormats = {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24S8,
                                                        D3DFMT_D16};
    for (const D3DFORMAT candidate : kDepthFormats) {
        if (state.D3D->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterFormat,
                                              adapterFormat, candidate) == D3D_OK) {
            depthFormat = candidate;
            return;
        }
    }

    if (fatal != nullptr) {
        fatal->MessageBox(kNoDepthFormatMessage);
        fatal->EndProgram();
    }
}

void ActivateTextureWindow(std::int32_t windowindex, ViewMenuMarks* menu) {
    auto& state = Module1();
    if (windowindex == state.ActiveWindowIndex) return;
    state.ActiveWindowIndex = windowindex;
    SyncViewMenu(menu);
}

void CloseTextureWindow(std::int32_t windowindex, DocumentWindows* windows) {
    auto& state = Module1();
    TextureDocument& d = DocumentAt(windowindex);
    if (!d.InUse) return;

    d.SwapChain.reset();
    d.Window = nullptr;
    d.DepthSurface.reset();
    d.Reduced = ReducedTexture{};
    d.InUse = false;
    state.ActiveWindowIndex = 0;

    // The texture stays while another document shows it.
    const std::int32_t t = d.TextureIndex;
    for (std::int32_t i = 0; i <= state.DocumentTableUBound; ++i) {
        const TextureDocument& other = state.DocumentTable[static_cast<std::size_t>(i)];
        if (other.InUse && other.TextureIndex == t) return;
    }
    // Slot 0 holds no texture; with no texture table at all there is nothing to free.
    if (t != 0 || !state.TextureTable.empty()) FreeTextureEntry(t);

    for (std::int32_t i = 0; i <= state.DocumentTableUBound; ++i) {
        const TextureDocument& other = state.DocumentTable[static_cast<std::size_t>(i)];
        if (other.InUse && !other.IsPreview) return;
    }
    if (windows != nullptr) windows->HidePreviewWindow();
}

}  // namespace tintora
