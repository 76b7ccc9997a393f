// The graphics device: a software implementation of the Direct3D 8 subset the editor draws with.
//
// One Device serves the whole program. It holds the shared drawing state (render target, depth
// surface, viewport, render states, texture-stage states, transforms, the vertex format and the
// texture of stage 0); what one drawing leaves set is what the next one finds, as on a real device.
//
// Rasterisation rules:
//  - pixel centres and texel centres lie at half-integers (x + 0.5): a texture drawn one texel per
//    pixel at an integer position is sharp, even with linear filtering;
//  - top-left fill: a pixel whose centre lies exactly on a left or top edge is drawn, on a right or
//    bottom edge it is not, so two triangles sharing an edge never draw a pixel twice;
//  - texture coordinates, colours and depth are interpolated perspective-correctly;
//  - untransformed triangles are clipped against the near plane (and the far plane) in clip space.
// Arithmetic (8-bit channels, results rounded to nearest):
//  - linear filtering weighs the four texels with 8-bit fractions (1/256 steps);
//  - MODULATE is round(a x b / 255); blending is round((src x sf + dst x df) / 255) per channel,
//    alpha included, clamped to 255; with SRCALPHA/INVSRCALPHA on a target cleared to 0 this gives
//    round(src x srcAlpha / 255);
//  - a stage that reads a texture when none is bound reads transparent black (0, 0, 0, 0).
// Large triangles are rasterised in parallel by rows (oneTBB). All calls must come from one thread.
//
// Errors: every call that fails throws PlatformError with a Direct3D result code.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/d3d8_types.h"
#include "base/error.h"
#include "device/d3dx_math.h"
#include "device/resources.h"

namespace tintora {

class Device;

// What the Direct3D object reports about the machine it runs on.
struct AdapterInfo {
    // The desktop's current display format (X8R8G8B8, A8R8G8B8, R5G6B5, or anything else).
    std::function<D3DFORMAT()> displayFormat = [] { return D3DFMT_X8R8G8B8; };
    int displayWidth = 1920;
    int displayHeight = 1080;
    // Depth formats that CheckDepthStencilMatch accepts.
    std::vector<D3DFORMAT> depthFormats = {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D16};
    // Texture memory the device reports through GetAvailableTextureMem before anything is made.
    // 0 picks a quarter of the machine's physical memory, at most 4095 MiB.
    std::int64_t textureMemory = 0;
};

// The Direct3D object (Direct3DCreate8): adapter queries and device creation.
class Direct3D8 {
  public:
    explicit Direct3D8(AdapterInfo info = {});

    D3DDISPLAYMODE GetAdapterDisplayMode(std::uint32_t adapter) const;
    // D3D_OK when the depth format can be used with the render-target format, else
    // D3DERR_NOTAVAILABLE. Returns a code instead of throwing, as callers test it.
    HRESULT CheckDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) const;
    // The device window's client size gives the implicit back buffer's size when the parameters
    // ask for 0; a window of size 0 gives a 1 x 1 back buffer.
    std::shared_ptr<Device> CreateDevice(std::uint32_t adapter, D3DDEVTYPE type,
                                         PresentTarget* focusWindow, std::uint32_t behaviour,
                                         const D3DPRESENT_PARAMETERS& params) const;

  private:
    AdapterInfo info_;
};

std::shared_ptr<Direct3D8> Direct3DCreate8(AdapterInfo info = {});

// A vertex after transformation, as the rasteriser takes it: screen position, depth, 1/w, the
// diffuse colour (0..255 per channel, as floats) and one set of texture coordinates.
struct RasterVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float rhw = 1.0f;
    float b = 255.0f;
    float g = 255.0f;
    float r = 255.0f;
    float a = 255.0f;
    float u = 0.0f;
    float v = 0.0f;
};

class Device : public std::enable_shared_from_this<Device> {
  public:
    Device(const D3DPRESENT_PARAMETERS& params, std::int64_t textureMemory);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Resources.
    std::shared_ptr<SwapChain> CreateAdditionalSwapChain(const D3DPRESENT_PARAMETERS& params);
    std::shared_ptr<Surface> CreateDepthStencilSurface(int width, int height, D3DFORMAT format,
                                                       D3DMULTISAMPLE_TYPE multiSample);
    // Single-level textures only (levels 1; 0 is taken as 1). Sides from 1 to kMaxTextureSize.
    // pixels, when given, become level 0's storage without a copy: exactly its bytes, laid out
    // as resources.h says (empty: cleared storage).
    std::shared_ptr<Texture> CreateTexture(int width, int height, std::uint32_t levels,
                                           std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                           ByteBuffer pixels = {});
    std::shared_ptr<Surface> CreateImageSurface(int width, int height, D3DFORMAT format);
    // Copies the whole source onto the destination (rects and points must be null/0): both must
    // have the same size and format.
    void CopyRects(const Surface& source, const RECT* rects, std::uint32_t rectCount, Surface& dest,
                   const POINT* points);

    // Drawing state.
    // Also resets the viewport to the whole new render target. depth may be null (no depth test).
    void SetRenderTarget(std::shared_ptr<Surface> renderTarget, std::shared_ptr<Surface> depth);
    std::shared_ptr<Surface> GetRenderTarget() const { return renderTarget_; }
    std::shared_ptr<Surface> GetDepthStencilSurface() const { return depth_; }
    void SetViewport(const D3DVIEWPORT8& viewport);
    D3DVIEWPORT8 GetViewport() const { return viewport_; }
    void SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value);
    std::uint32_t GetRenderState(D3DRENDERSTATETYPE state) const;
    void SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                              std::uint32_t value);
    std::uint32_t GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type) const;
    void SetTexture(std::uint32_t stage, std::shared_ptr<Texture> texture);
    std::shared_ptr<Texture> GetTexture(std::uint32_t stage) const;
    void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix);
    D3DXMATRIX GetTransform(D3DTRANSFORMSTATETYPE state) const;
    void SetVertexShader(std::uint32_t fvf);
    std::uint32_t GetVertexShader() const { return fvf_; }
    // Index buffers are not kept by this device; the call is accepted with no buffer.
    void SetIndices(const void* indexBuffer, std::uint32_t baseVertexIndex);

    // Scenes and drawing.
    void BeginScene();
    void EndScene();
    bool inScene() const { return inScene_; }
    // Clears the viewport (intersected with the rectangles, when given) of the render target
    // and/or the depth surface. color is A8R8G8B8.
    void Clear(std::uint32_t rectCount, const RECT* rects, std::uint32_t flags, std::uint32_t color,
               float z, std::uint32_t stencil);
    // Draws from vertex data in memory laid out by the current vertex format.
    void DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                         std::uint32_t stride);
    void DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minIndex,
                                std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                const void* indices, D3DINDEXFORMAT indexFormat,
                                const void* vertices, std::uint32_t stride);

    // Memory.
    std::uint32_t GetAvailableTextureMem() const;
    // Managed resources live in main memory only; there is nothing to evict.
    void ResourceManagerDiscardBytes(std::uint32_t bytes);

    // The implicit swap chain's back buffer and depth surface (the device window's).
    std::shared_ptr<Surface> implicitBackBuffer() const { return implicitBackBuffer_; }
    const std::shared_ptr<MemoryAccount>& memoryAccount() const { return account_; }

  private:
    void RequireScene() const;
    void DrawTriangles(const std::vector<RasterVertex>& vertices,
                       const std::vector<std::uint32_t>& triangles);
    void TransformVertices(const std::uint8_t* data, std::uint32_t stride, std::uint32_t first,
                           std::uint32_t count, std::vector<RasterVertex>& out,
                           std::vector<std::array<float, 4>>& clip) const;
    void DrawPrimitives(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount,
                        const std::uint8_t* vertices, std::uint32_t stride,
                        const std::function<std::uint32_t(std::uint32_t)>& index,
                        std::uint32_t vertexCount);

    std::shared_ptr<MemoryAccount> account_;
    std::shared_ptr<Surface> implicitBackBuffer_;
    std::shared_ptr<Surface> implicitDepth_;
    std::shared_ptr<Surface> renderTarget_;
    std::shared_ptr<Surface> depth_;
    D3DVIEWPORT8 viewport_;
    std::array<std::uint32_t, kRenderStateCount> renderStates_{};
    std::array<std::array<std::uint32_t, kTextureStageStateCount>, kTextureStageCount>
        stageStates_{};
    std::array<std::shared_ptr<Texture>, kTextureStageCount> textures_;
    D3DXMATRIX world_;
    D3DXMATRIX view_;
    D3DXMATRIX projection_;
    std::uint32_t fvf_ = 0;
    bool inScene_ = false;
};

// A mesh: vertices in one flexible vertex format, a triangle list, and attribute groups (ranges
// of faces). DrawSubset sets the mesh's vertex format on the device and draws one group.
class Mesh {
  public:
    struct AttributeRange {
        std::uint32_t attributeId = 0;
        std::uint32_t faceStart = 0;
        std::uint32_t faceCount = 0;
    };

    Mesh(std::shared_ptr<Device> device, std::uint32_t fvf, std::vector<std::uint8_t> vertices,
         std::vector<std::uint32_t> indices, std::vector<AttributeRange> attributes);

    void DrawSubset(std::uint32_t attributeId);

    std::uint32_t GetFVF() const { return fvf_; }
    std::uint32_t GetNumVertices() const;
    std::uint32_t GetNumFaces() const { return static_cast<std::uint32_t>(indices_.size() / 3); }
    std::uint32_t stride() const { return stride_; }
    const std::vector<std::uint8_t>& vertexData() const { return vertices_; }
    const std::vector<std::uint32_t>& indexData() const { return indices_; }
    const std::vector<AttributeRange>& attributes() const { return attributes_; }

  private:
    std::shared_ptr<Device> device_;
    std::uint32_t fvf_;
    std::uint32_t stride_;
    std::vector<std::uint8_t> vertices_;
    std::vector<std::uint32_t> indices_;
    std::vector<AttributeRange> attributes_;
};

// Size in bytes of one vertex of a flexible vertex format; throws for formats the device lacks.
std::uint32_t FvfStride(std::uint32_t fvf);

}  // namespace tintora
