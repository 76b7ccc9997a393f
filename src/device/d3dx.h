// D3DX helpers that are not file or maths functions: texture size checks and drawing into a
// surface.
#pragma once

#include <cstdint>
#include <memory>

#include "base/d3d8_types.h"
#include "device/device.h"

namespace tintora {

// Adjusts width, height, levels and format to what the device accepts for a texture.
//  - A size below 1 becomes 1; a size above kMaxTextureSize becomes kMaxTextureSize.
//  - With levels 0 (a full mipmap chain) each side is rounded up to the next power of two
//    (at most kMaxTextureSize), as a device that allows other sizes only without mipmaps answers;
//    levels becomes the length of the chain. With levels 1 any size in range is kept.
//  - Formats the device cannot store become A8R8G8B8. Any pointer may be null.
void D3DXCheckTextureRequirements(const Device& device, int* width, int* height,
                                  std::uint32_t* levels, std::uint32_t usage, D3DFORMAT* format,
                                  D3DPOOL pool);

// Draws into a given surface: BeginScene makes it the render target (with the depth surface this
// object was made with, or none) and sets the viewport; EndScene ends the scene and puts the
// device's previous render target, depth surface and viewport back.
class RenderToSurface {
  public:
    RenderToSurface(std::shared_ptr<Device> device, int width, int height, D3DFORMAT format,
                    bool depthStencil, D3DFORMAT depthFormat);
    void BeginScene(std::shared_ptr<Surface> surface, const D3DVIEWPORT8* viewport);
    void EndScene();

  private:
    std::shared_ptr<Device> device_;
    int width_;
    int height_;
    D3DFORMAT format_;
    std::shared_ptr<Surface> depth_;
    std::shared_ptr<Surface> savedTarget_;
    std::shared_ptr<Surface> savedDepth_;
    D3DVIEWPORT8 savedViewport_;
    bool active_ = false;
};

std::shared_ptr<RenderToSurface> D3DXCreateRenderToSurface(std::shared_ptr<Device> device,
                                                           int width, int height, D3DFORMAT format,
                                                           bool depthStencil,
                                                           D3DFORMAT depthFormat);

}  // namespace tintora
