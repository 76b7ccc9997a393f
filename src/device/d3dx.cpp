// Texture size checks and drawing into a surface.
//
// The device accepts any texture side from 1 to kMaxTextureSize for a single level, and powers of
// two only for a mipmap chain (levels other than 1), as a device with conditional non-power-of-two
// support answers. A null levels pointer asks for a single level.
//
// RenderToSurface swaps the device's render target, depth surface and viewport for the length of a
// scene and puts them back afterwards, also when ending the scene fails. The surface drawn into
// must be width x height; its format is not checked.
#include "device/d3dx.h"

#include <algorithm>
#include <bit>
#include <string>
#include <utility>

#include "base/error.h"

namespace tintora {
namespace {

int ClampSide(int side) {
    return std::clamp(side, 1, kMaxTextureSize);
}

int NextPowerOfTwo(int side) {
    return static_cast<int>(std::bit_ceil(static_cast<unsigned>(side)));
}

// Length of the full mipmap chain of a texture with this largest side (a power of two).
std::uint32_t ChainLength(int largestSide) {
    return static_cast<std::uint32_t>(std::bit_width(static_cast<unsigned>(largestSide)));
}

bool DeviceStoresFormat(D3DFORMAT format) {
    if (IsDepthFormat(format)) return false;
    return BytesPerPixel(format) > 0 || IsBlockCompressed(format);
}

// Gives the device back the render target, depth surface and viewport saved before a scene and
// drops this object's references to them. SetRenderTarget resets the viewport, so the saved one
// goes back after it. A device that had no target keeps the one it has now.
void RestoreTarget(Device& device, std::shared_ptr<Surface>& target,
                   std::shared_ptr<Surface>& depth, const D3DVIEWPORT8& viewport) {
    std::shared_ptr<Surface> savedTarget = std::move(target);
    std::shared_ptr<Surface> savedDepth = std::move(depth);
    target.reset();
    depth.reset();
    if (!savedTarget) return;
    device.SetRenderTarget(std::move(savedTarget), std::move(savedDepth));
    device.SetViewport(viewport);
}

}  // namespace

void D3DXCheckTextureRequirements([[maybe_unused]] const Device& device, int* width, int* height,
                                  std::uint32_t* levels, [[maybe_unused]] std::uint32_t usage,
                                  D3DFORMAT* format, [[maybe_unused]] D3DPOOL pool) {
    int w = width ? ClampSide(*width) : 1;
    int h = height ? ClampSide(*height) : 1;
    if (levels && *levels != 1) {
        // kMaxTextureSize is a power of two, so rounding up never leaves the range.
        w = NextPowerOfTwo(w);
        h = NextPowerOfTwo(h);
        const std::uint32_t chain = ChainLength(std::max(w, h));
        if (*levels == 0 || *levels > chain) *levels = chain;
    }
    if (width) *width = w;
    if (height) *height = h;
    if (format && !DeviceStoresFormat(*format)) *format = D3DFMT_A8R8G8B8;
}

RenderToSurface::RenderToSurface(std::shared_ptr<Device> device, int width, int height,
                                 D3DFORMAT format, bool depthStencil, D3DFORMAT depthFormat)
    : device_(std::move(device)), width_(width), height_(height), format_(format) {
    Require(device_ != nullptr, D3DERR_INVALIDCALL, "RenderToSurface needs a device");
    Require(width >= 1 && height >= 1 && width <= kMaxTextureSize && height <= kMaxTextureSize,
            D3DERR_INVALIDCALL, "RenderToSurface size out of range");
    if (depthStencil) {
        depth_ =
            device_->CreateDepthStencilSurface(width, height, depthFormat, D3DMULTISAMPLE_NONE);
    }
}

void RenderToSurface::BeginScene(std::shared_ptr<Surface> surface, const D3DVIEWPORT8* viewport) {
    Require(!active_, D3DERR_INVALIDCALL, "RenderToSurface::BeginScene called twice");
    Require(surface != nullptr, D3DERR_INVALIDCALL, "RenderToSurface::BeginScene needs a surface");
    Require(surface->width() == width_ && surface->height() == height_, D3DERR_INVALIDCALL,
            "RenderToSurface surface is " + std::to_string(surface->width()) + "x" +
                std::to_string(surface->height()) + ", expected " + std::to_string(width_) + "x" +
                std::to_string(height_));

    savedTarget_ = device_->GetRenderTarget();
    savedDepth_ = device_->GetDepthStencilSurface();
    savedViewport_ = device_->GetViewport();
    try {
        device_->SetRenderTarget(std::move(surface), depth_);
        if (viewport) device_->SetViewport(*viewport);
        device_->BeginScene();
    } catch (...) {
        RestoreTarget(*device_, savedTarget_, savedDepth_, savedViewport_);
        throw;
    }
    active_ = true;
}

void RenderToSurface::EndScene() {
    Require(active_, D3DERR_INVALIDCALL, "RenderToSurface::EndScene without BeginScene");
    active_ = false;
    // Put the previous target back even when ending the scene fails.
    try {
        device_->EndScene();
    } catch (...) {
        RestoreTarget(*device_, savedTarget_, savedDepth_, savedViewport_);
        throw;
    }
    RestoreTarget(*device_, savedTarget_, savedDepth_, savedViewport_);
}

std::shared_ptr<RenderToSurface> D3DXCreateRenderToSurface(std::shared_ptr<Device> device,
                                                           int width, int height, D3DFORMAT format,
                                                           bool depthStencil,
                                                           D3DFORMAT depthFormat) {
    return std::make_shared<RenderToSurface>(std::move(device), width, height, format, depthStencil,
                                             depthFormat);
}

}  // namespace tintora
