#include "device/device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "device/rasterizer.h"

namespace tintora {

namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

float ReadF32(const std::uint8_t* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Byte offsets of the parts of a vertex in a flexible vertex format.
struct FvfLayout {
    bool transformed = false;
    std::uint32_t diffuse = 0;  // offset, or 0 when absent
    std::uint32_t texcoord = 0;
    bool hasDiffuse = false;
    bool hasTexcoord = false;
    std::uint32_t stride = 0;
};

FvfLayout LayoutOf(std::uint32_t fvf) {
    FvfLayout layout;
    std::uint32_t offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ:
            offset = 12;
            break;
        case D3DFVF_XYZRHW:
            offset = 16;
            layout.transformed = true;
            break;
        default:
            throw PlatformError(D3DERR_INVALIDCALL, "Unsupported vertex format 0x" +
                                                        std::to_string(fvf) +
                                                        ": positions must be XYZ or XYZRHW");
    }
    Require((fvf & 0xFFFF0000u) == 0, D3DERR_INVALIDCALL,
            "Unsupported vertex format: texture coordinates must be two floats");
    if ((fvf & D3DFVF_NORMAL) != 0) offset += 12;
    if ((fvf & D3DFVF_PSIZE) != 0) offset += 4;
    if ((fvf & D3DFVF_DIFFUSE) != 0) {
        layout.hasDiffuse = true;
        layout.diffuse = offset;
        offset += 4;
    }
    if ((fvf & D3DFVF_SPECULAR) != 0) offset += 4;
    const std::uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    Require(sets <= 8, D3DERR_INVALIDCALL, "Unsupported vertex format: too many texture sets");
    if (sets > 0) {
        layout.hasTexcoord = true;
        layout.texcoord = offset;
    }
    offset += sets * 8;
    layout.stride = offset;
    return layout;
}

// A vertex in clip space with its attributes, for clipping.
struct ClipVertex {
    float x, y, z, w;
    float b, g, r, a;
    float u, v;
};

ClipVertex Lerp(const ClipVertex& p, const ClipVertex& q, float t) {
    const auto mix = [t](float a, float b) { return a + (b - a) * t; };
    return {mix(p.x, q.x), mix(p.y, q.y), mix(p.z, q.z), mix(p.w, q.w), mix(p.b, q.b),
            mix(p.g, q.g), mix(p.r, q.r), mix(p.a, q.a), mix(p.u, q.u), mix(p.v, q.v)};
}

// Keeps the part of a convex polygon where distance(v) >= 0.
template <typename Distance>
void ClipPolygon(std::vector<ClipVertex>& polygon, Distance distance) {
    std::vector<ClipVertex> out;
    out.reserve(polygon.size() + 2);
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const ClipVertex& p = polygon[i];
        const ClipVertex& q = polygon[(i + 1) % polygon.size()];
        const float dp = distance(p);
        const float dq = distance(q);
        if (dp >= 0.0f) out.push_back(p);
        if ((dp >= 0.0f) != (dq >= 0.0f)) out.push_back(Lerp(p, q, dp / (dp - dq)));
    }
    polygon.swap(out);
}

double SignedArea(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c) {
    return (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
           (static_cast<double>(c.x) - a.x) * (static_cast<double>(b.y) - a.y);
}

bool Culled(std::uint32_t cullMode, double area) {
    // Screen y grows downwards: a positive area is clockwise as seen on screen.
    if (cullMode == D3DCULL_CCW) return area < 0.0;
    if (cullMode == D3DCULL_CW) return area > 0.0;
    return false;
}

float DepthScale(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_D16:
            return 65535.0f;
        case D3DFMT_D24X8:
        case D3DFMT_D24S8:
            return 16777215.0f;
        default:
            return 0.0f;
    }
}

bool IsSupportedTextureOp(std::uint32_t op) {
    return (op >= D3DTOP_DISABLE && op <= D3DTOP_ADDSIGNED) || op == D3DTOP_SUBTRACT;
}

}  // namespace

std::uint32_t FvfStride(std::uint32_t fvf) {
    return LayoutOf(fvf).stride;
}

Device::Device(const D3DPRESENT_PARAMETERS& params, std::int64_t textureMemory)
    : account_(std::make_shared<MemoryAccount>(textureMemory)) {
    int width = static_cast<int>(params.BackBufferWidth);
    int height = static_cast<int>(params.BackBufferHeight);
    if (width == 0 && params.hDeviceWindow != nullptr) width = params.hDeviceWindow->ClientWidth();
    if (height == 0 && params.hDeviceWindow != nullptr) {
        height = params.hDeviceWindow->ClientHeight();
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    const D3DFORMAT format =
        params.BackBufferFormat == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : params.BackBufferFormat;
    implicitBackBuffer_ = std::make_shared<Surface>(
        width, height, format, SurfaceKind::RenderTarget, D3DPOOL_DEFAULT, account_);
    if (params.EnableAutoDepthStencil != 0) {
        implicitDepth_ =
            std::make_shared<Surface>(width, height, params.AutoDepthStencilFormat,
                                      SurfaceKind::DepthStencil, D3DPOOL_DEFAULT, account_);
    }

    // The states of a fresh device.
    renderStates_[D3DRS_ZENABLE] = implicitDepth_ ? D3DZB_TRUE : D3DZB_FALSE;
    renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
    renderStates_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    renderStates_[D3DRS_ZWRITEENABLE] = 1;
    renderStates_[D3DRS_ALPHATESTENABLE] = 0;
    renderStates_[D3DRS_LASTPIXEL] = 1;
    renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates_[D3DRS_ALPHAREF] = 0;
    renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_DITHERENABLE] = 0;
    renderStates_[D3DRS_ALPHABLENDENABLE] = 0;
    renderStates_[D3DRS_FOGENABLE] = 0;
    renderStates_[D3DRS_SPECULARENABLE] = 0;
    renderStates_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    renderStates_[D3DRS_LIGHTING] = 1;
    renderStates_[D3DRS_AMBIENT] = 0;
    renderStates_[D3DRS_COLORVERTEX] = 1;
    renderStates_[D3DRS_NORMALIZENORMALS] = 0;
    renderStates_[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    renderStates_[D3DRS_COLORWRITEENABLE] = 0xF;
    renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (std::uint32_t stage = 0; stage < kTextureStageCount; ++stage) {
        auto& s = stageStates_[stage];
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
        s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DTSS_BORDERCOLOR] = 0;
        s[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    D3DXMatrixIdentity(&world_);
    D3DXMatrixIdentity(&view_);
    D3DXMatrixIdentity(&projection_);
    SetRenderTarget(implicitBackBuffer_, implicitDepth_);
}

Device::~Device() = default;

std::shared_ptr<SwapChain> Device::CreateAdditionalSwapChain(const D3DPRESENT_PARAMETERS& params) {
    int width = static_cast<int>(params.BackBufferWidth);
    int height = static_cast<int>(params.BackBufferHeight);
    if (width == 0 || height == 0) {
        Require(params.hDeviceWindow != nullptr, D3DERR_INVALIDCALL,
                "A swap chain of size 0 needs a window to take its size from");
        if (width == 0) width = params.hDeviceWindow->ClientWidth();
        if (height == 0) height = params.hDeviceWindow->ClientHeight();
    }
    Require(width >= 1 && height >= 1, D3DERR_INVALIDCALL,
            "Invalid swap chain size " + std::to_string(width) + " x " + std::to_string(height));
    const D3DFORMAT format =
        params.BackBufferFormat == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : params.BackBufferFormat;
    return std::make_shared<SwapChain>(width, height, format, params.hDeviceWindow, account_);
}

std::shared_ptr<Surface> Device::CreateDepthStencilSurface(int width, int height, D3DFORMAT format,
                                                           D3DMULTISAMPLE_TYPE multiSample) {
    Require(IsDepthFormat(format), D3DERR_INVALIDCALL,
            std::string("Format ") + FormatName(format) + " is not a depth format");
    Require(multiSample == D3DMULTISAMPLE_NONE, D3DERR_NOTAVAILABLE,
            "Multisampling is not supported");
    return std::make_shared<Surface>(width, height, format, SurfaceKind::DepthStencil,
                                     D3DPOOL_DEFAULT, account_);
}

std::shared_ptr<Texture> Device::CreateTexture(int width, int height, std::uint32_t levels,
                                               std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                               ByteBuffer pixels) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    Require(width >= 1 && height >= 1, D3DERR_INVALIDCALL,
            "Invalid texture size " + size + ": width and height must be at least 1");
    Require(width <= kMaxTextureSize && height <= kMaxTextureSize, D3DERR_INVALIDCALL,
            "Texture size " + size + " is larger than the device's limit of " +
                std::to_string(kMaxTextureSize) + " x " + std::to_string(kMaxTextureSize));
    Require(levels <= 1, D3DERR_INVALIDCALL, "Only single-level textures are supported");
    Require(!IsDepthFormat(format) && (BytesPerPixel(format) > 0 || IsBlockCompressed(format)),
            D3DERR_INVALIDCALL, std::string("Unsupported texture format ") + FormatName(format));
    if ((usage & D3DUSAGE_RENDERTARGET) != 0) {
        Require(pool == D3DPOOL_DEFAULT, D3DERR_INVALIDCALL,
                "Render-target textures must be in the default pool");
    }
    return std::make_shared<Texture>(width, height, format, pool, usage, account_,
                                     std::move(pixels));
}

std::shared_ptr<Surface> Device::CreateImageSurface(int width, int height, D3DFORMAT format) {
    Require(!IsDepthFormat(format), D3DERR_INVALIDCALL,
            "An image surface cannot have a depth format");
    return std::make_shared<Surface>(width, height, format, SurfaceKind::Plain, D3DPOOL_SYSTEMMEM,
                                     account_);
}

void Device::CopyRects(const Surface& source, const RECT* rects, std::uint32_t rectCount,
                       Surface& dest, const POINT* points) {
    Require(rects == nullptr && rectCount == 0 && points == nullptr, D3DERR_INVALIDCALL,
            "Copying parts of surfaces is not supported");
    Require(source.width() == dest.width() && source.height() == dest.height() &&
                source.storageFormat() == dest.storageFormat(),
            D3DERR_INVALIDCALL, "CopyRects needs surfaces of the same size and format");
    Require(!source.locked() && !dest.locked(), D3DERR_INVALIDCALL,
            "CopyRects cannot copy a locked surface");
    Require(source.kind() != SurfaceKind::DepthStencil, D3DERR_INVALIDCALL,
            "Depth surfaces cannot be copied");
    if (&source == &dest) return;
    std::memcpy(dest.bits(), source.bits(), source.byteSize());
    dest.Touch();
}

void Device::SetRenderTarget(std::shared_ptr<Surface> renderTarget,
                             std::shared_ptr<Surface> depth) {
    if (!renderTarget) renderTarget = renderTarget_;
    Require(renderTarget != nullptr, D3DERR_INVALIDCALL, "No render target");
    Require(
        renderTarget->storageFormat() == D3DFMT_A8R8G8B8 ||
            renderTarget->storageFormat() == D3DFMT_X8R8G8B8,
        D3DERR_INVALIDCALL,
        std::string("The device cannot render into format ") + FormatName(renderTarget->format()));
    if (depth) {
        Require(depth->kind() == SurfaceKind::DepthStencil, D3DERR_INVALIDCALL,
                "The depth surface is not a depth-stencil surface");
        Require(
            depth->width() >= renderTarget->width() && depth->height() >= renderTarget->height(),
            D3DERR_INVALIDCALL, "The depth surface is smaller than the render target");
    }
    renderTarget_ = std::move(renderTarget);
    depth_ = std::move(depth);
    viewport_ = D3DVIEWPORT8{0,
                             0,
                             static_cast<std::uint32_t>(renderTarget_->width()),
                             static_cast<std::uint32_t>(renderTarget_->height()),
                             0.0f,
                             1.0f};
}

void Device::SetViewport(const D3DVIEWPORT8& viewport) {
    Require(static_cast<std::uint64_t>(viewport.X) + viewport.Width <=
                    static_cast<std::uint64_t>(renderTarget_->width()) &&
                static_cast<std::uint64_t>(viewport.Y) + viewport.Height <=
                    static_cast<std::uint64_t>(renderTarget_->height()),
            D3DERR_INVALIDCALL, "The viewport lies outside the render target");
    Require(viewport.MinZ >= 0.0f && viewport.MaxZ <= 1.0f && viewport.MinZ <= viewport.MaxZ,
            D3DERR_INVALIDCALL, "Viewport depth range must lie within 0..1");
    viewport_ = viewport;
}

void Device::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    Require(state < kRenderStateCount, D3DERR_INVALIDCALL, "Unknown render state");
    renderStates_[state] = value;
}

std::uint32_t Device::GetRenderState(D3DRENDERSTATETYPE state) const {
    Require(state < kRenderStateCount, D3DERR_INVALIDCALL, "Unknown render state");
    return renderStates_[state];
}

void Device::SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                  std::uint32_t value) {
    Require(stage < kTextureStageCount && type < kTextureStageStateCount, D3DERR_INVALIDCALL,
            "Unknown texture stage or state");
    switch (type) {
        case D3DTSS_COLOROP:
        case D3DTSS_ALPHAOP:
            Require(IsSupportedTextureOp(value), D3DERR_NOTAVAILABLE,
                    "Texture operation " + std::to_string(value) + " is not supported");
            break;
        case D3DTSS_ADDRESSU:
        case D3DTSS_ADDRESSV:
        case D3DTSS_ADDRESSW:
            Require(value >= D3DTADDRESS_WRAP && value <= D3DTADDRESS_BORDER, D3DERR_NOTAVAILABLE,
                    "Texture addressing mode " + std::to_string(value) + " is not supported");
            break;
        case D3DTSS_MAGFILTER:
        case D3DTSS_MINFILTER:
            Require(value <= D3DTEXF_LINEAR, D3DERR_NOTAVAILABLE,
                    "Texture filter " + std::to_string(value) + " is not supported");
            break;
        default:
            break;
    }
    stageStates_[stage][type] = value;
}

std::uint32_t Device::GetTextureStageState(std::uint32_t stage,
                                           D3DTEXTURESTAGESTATETYPE type) const {
    Require(stage < kTextureStageCount && type < kTextureStageStateCount, D3DERR_INVALIDCALL,
            "Unknown texture stage or state");
    return stageStates_[stage][type];
}

void Device::SetTexture(std::uint32_t stage, std::shared_ptr<Texture> texture) {
    Require(stage < kTextureStageCount, D3DERR_INVALIDCALL, "Unknown texture stage");
    textures_[stage] = std::move(texture);
}

std::shared_ptr<Texture> Device::GetTexture(std::uint32_t stage) const {
    Require(stage < kTextureStageCount, D3DERR_INVALIDCALL, "Unknown texture stage");
    return textures_[stage];
}

void Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix) {
    switch (state) {
        case D3DTS_WORLD:
            world_ = matrix;
            break;
        case D3DTS_VIEW:
            view_ = matrix;
            break;
        case D3DTS_PROJECTION:
            projection_ = matrix;
            break;
        default:
            throw PlatformError(D3DERR_INVALIDCALL, "Unsupported transform state");
    }
}

D3DXMATRIX Device::GetTransform(D3DTRANSFORMSTATETYPE state) const {
    switch (state) {
        case D3DTS_WORLD:
            return world_;
        case D3DTS_VIEW:
            return view_;
        case D3DTS_PROJECTION:
            return projection_;
        default:
            throw PlatformError(D3DERR_INVALIDCALL, "Unsupported transform state");
    }
}

void Device::SetVertexShader(std::uint32_t fvf) {
    LayoutOf(fvf);  // validates
    fvf_ = fvf;
}

void Device::SetIndices(const void* indexBuffer, std::uint32_t /*baseVertexIndex*/) {
    Require(indexBuffer == nullptr, D3DERR_INVALIDCALL,
            "Index buffers are not supported; draw indexed data from memory");
}

void Device::BeginScene() {
    Require(!inScene_, D3DERR_INVALIDCALL, "BeginScene called twice");
    inScene_ = true;
}

void Device::EndScene() {
    Require(inScene_, D3DERR_INVALIDCALL, "EndScene without BeginScene");
    inScene_ = false;
}

void Device::RequireScene() const {
    Require(inScene_, D3DERR_INVALIDCALL, "Drawing outside BeginScene/EndScene");
}

void Device::Clear(std::uint32_t rectCount, const RECT* rects, std::uint32_t flags,
                   std::uint32_t color, float z, std::uint32_t /*stencil*/) {
    Require(rectCount == 0 || rects != nullptr, D3DERR_INVALIDCALL, "Clear: missing rectangles");
    Require((flags & D3DCLEAR_ZBUFFER) == 0 || depth_ != nullptr, D3DERR_INVALIDCALL,
            "Clear of the depth buffer without a depth surface");
    const RECT whole{static_cast<std::int32_t>(viewport_.X), static_cast<std::int32_t>(viewport_.Y),
                     static_cast<std::int32_t>(viewport_.X + viewport_.Width),
                     static_cast<std::int32_t>(viewport_.Y + viewport_.Height)};
    const bool quantize = renderTarget_->format() == D3DFMT_R5G6B5;
    const bool hasAlpha = renderTarget_->format() == D3DFMT_A8R8G8B8;
    std::uint32_t pixel = hasAlpha ? color : (color | 0xFF000000u);
    if (quantize) {
        const auto q = [](std::uint32_t v, int bits) {
            const std::uint32_t max = (1u << bits) - 1;
            const std::uint32_t n = (v * max + 127) / 255;
            return (n << (8 - bits)) | (n >> (2 * bits - 8));
        };
        pixel = 0xFF000000u | (q((color >> 16) & 0xFF, 5) << 16) |
                (q((color >> 8) & 0xFF, 6) << 8) | q(color & 0xFF, 5);
    }
    const float depthValue = std::clamp(z, 0.0f, 1.0f);
    const std::uint32_t count = rectCount == 0 ? 1 : rectCount;
    for (std::uint32_t i = 0; i < count; ++i) {
        RECT r = rectCount == 0 ? whole : rects[i];
        r.left = std::max(r.left, whole.left);
        r.top = std::max(r.top, whole.top);
        r.right = std::min(r.right, whole.right);
        r.bottom = std::min(r.bottom, whole.bottom);
        if (r.left >= r.right || r.top >= r.bottom) continue;
        for (int y = r.top; y < r.bottom; ++y) {
            if ((flags & D3DCLEAR_TARGET) != 0) {
                auto* row = reinterpret_cast<std::uint32_t*>(renderTarget_->bits() +
                                                             static_cast<std::ptrdiff_t>(y) *
                                                                 renderTarget_->pitch());
                std::fill(row + r.left, row + r.right, pixel);
            }
            if ((flags & D3DCLEAR_ZBUFFER) != 0) {
                float* row = depth_->depth() + static_cast<std::ptrdiff_t>(y) * depth_->width();
                std::fill(row + r.left, row + r.right, depthValue);
            }
        }
    }
    if ((flags & D3DCLEAR_TARGET) != 0) renderTarget_->Touch();
}

void Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount,
                             const void* vertices, std::uint32_t stride) {
    std::uint32_t vertexCount = 0;
    switch (type) {
        case D3DPT_TRIANGLELIST:
            vertexCount = primitiveCount * 3;
            break;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            vertexCount = primitiveCount + 2;
            break;
        default:
            throw PlatformError(D3DERR_INVALIDCALL, "Only triangle primitives are supported");
    }
    DrawPrimitives(
        type, primitiveCount, static_cast<const std::uint8_t*>(vertices), stride,
        [](std::uint32_t i) { return i; }, vertexCount);
}

void Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minIndex,
                                    std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                    const void* indices, D3DINDEXFORMAT indexFormat,
                                    const void* vertices, std::uint32_t stride) {
    Require(indices != nullptr, D3DERR_INVALIDCALL, "No index data");
    Require(type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN,
            D3DERR_INVALIDCALL, "Only triangle primitives are supported");
    const std::uint32_t end = minIndex + vertexCount;
    const auto* i16 = static_cast<const std::uint16_t*>(indices);
    const auto* i32 = static_cast<const std::uint32_t*>(indices);
    const bool wide = indexFormat == D3DFMT_INDEX32;
    DrawPrimitives(
        type, primitiveCount, static_cast<const std::uint8_t*>(vertices), stride,
        [&](std::uint32_t i) {
            const std::uint32_t index = wide ? i32[i] : i16[i];
            Require(index >= minIndex && index < end, D3DERR_INVALIDCALL,
                    "Vertex index outside the given range");
            return index;
        },
        end);
}

void Device::DrawPrimitives(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount,
                            const std::uint8_t* vertices, std::uint32_t stride,
                            const std::function<std::uint32_t(std::uint32_t)>& index,
                            std::uint32_t vertexCount) {
    RequireScene();
    Require(vertices != nullptr, D3DERR_INVALIDCALL, "No vertex data");
    Require(fvf_ != 0, D3DERR_INVALIDCALL, "No vertex format set");
    Require(stride >= FvfStride(fvf_), D3DERR_INVALIDCALL,
            "The vertex stride is smaller than the vertex format");
    if (primitiveCount == 0) return;

    std::vector<std::uint32_t> triangles;
    triangles.reserve(static_cast<std::size_t>(primitiveCount) * 3);
    for (std::uint32_t k = 0; k < primitiveCount; ++k) {
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        std::uint32_t c = 0;
        switch (type) {
            case D3DPT_TRIANGLELIST:
                a = 3 * k, b = 3 * k + 1, c = 3 * k + 2;
                break;
            case D3DPT_TRIANGLESTRIP:
                // Every other triangle of a strip is reversed to keep one winding.
                if (k % 2 == 0) {
                    a = k, b = k + 1, c = k + 2;
                } else {
                    a = k + 1, b = k, c = k + 2;
                }
                break;
            default:
                a = 0, b = k + 1, c = k + 2;
                break;
        }
        triangles.push_back(index(a));
        triangles.push_back(index(b));
        triangles.push_back(index(c));
    }

    std::vector<RasterVertex> screen;
    std::vector<std::array<float, 4>> clip;
    TransformVertices(vertices, stride, 0, vertexCount, screen, clip);
    const bool transformed = LayoutOf(fvf_).transformed;
    if (transformed) {
        DrawTriangles(screen, triangles);
        return;
    }

    // Clip each triangle against the near and far planes in clip space, project what remains.
    std::vector<RasterVertex> out;
    std::vector<std::uint32_t> outTriangles;
    std::vector<ClipVertex> polygon;
    const float halfW = static_cast<float>(viewport_.Width) * 0.5f;
    const float halfH = static_cast<float>(viewport_.Height) * 0.5f;
    const float depthRange = viewport_.MaxZ - viewport_.MinZ;
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        polygon.clear();
        bool inside = true;
        for (int j = 0; j < 3; ++j) {
            const std::uint32_t i = triangles[t + static_cast<std::size_t>(j)];
            const auto& c = clip[i];
            const RasterVertex& s = screen[i];
            polygon.push_back({c[0], c[1], c[2], c[3], s.b, s.g, s.r, s.a, s.u, s.v});
            inside = inside && c[2] >= 0.0f && c[2] <= c[3] && c[3] > 1e-6f;
        }
        if (!inside) {
            ClipPolygon(polygon, [](const ClipVertex& v) { return v.z; });
            ClipPolygon(polygon, [](const ClipVertex& v) { return v.w - v.z; });
            ClipPolygon(polygon, [](const ClipVertex& v) { return v.w - 1e-6f; });
            if (polygon.size() < 3) continue;
        }
        const auto base = static_cast<std::uint32_t>(out.size());
        for (const ClipVertex& v : polygon) {
            const float rhw = 1.0f / v.w;
            RasterVertex r;
            r.x = static_cast<float>(viewport_.X) + (1.0f + v.x * rhw) * halfW;
            r.y = static_cast<float>(viewport_.Y) + (1.0f - v.y * rhw) * halfH;
            r.z = viewport_.MinZ + v.z * rhw * depthRange;
            r.rhw = rhw;
            r.b = v.b, r.g = v.g, r.r = v.r, r.a = v.a;
            r.u = v.u, r.v = v.v;
            out.push_back(r);
        }
        for (std::uint32_t j = 1; j + 1 < polygon.size(); ++j) {
            outTriangles.push_back(base);
            outTriangles.push_back(base + j);
            outTriangles.push_back(base + j + 1);
        }
    }
    DrawTriangles(out, outTriangles);
}

void Device::TransformVertices(const std::uint8_t* data, std::uint32_t stride, std::uint32_t first,
                               std::uint32_t count, std::vector<RasterVertex>& out,
                               std::vector<std::array<float, 4>>& clip) const {
    const FvfLayout layout = LayoutOf(fvf_);
    D3DXMATRIX worldView;
    D3DXMATRIX all;
    D3DXMatrixMultiply(&worldView, &world_, &view_);
    D3DXMatrixMultiply(&all, &worldView, &projection_);
    const bool lighting = !layout.transformed && renderStates_[D3DRS_LIGHTING] != 0;
    out.resize(count);
    if (!layout.transformed) clip.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* v = data + static_cast<std::size_t>(first + i) * stride;
        RasterVertex& r = out[i];
        std::uint32_t diffuse = layout.hasDiffuse ? ReadU32(v + layout.diffuse) : 0xFFFFFFFFu;
        if (lighting) {
            // No lights and the default (black) material: the lit colour is the ambient term,
            // which is black; alpha comes from the vertex colour when it has one.
            const bool vertexAlpha = layout.hasDiffuse && renderStates_[D3DRS_COLORVERTEX] != 0 &&
                                     renderStates_[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
            diffuse = vertexAlpha ? (diffuse & 0xFF000000u) : 0u;
        }
        r.b = static_cast<float>(diffuse & 0xFF);
        r.g = static_cast<float>((diffuse >> 8) & 0xFF);
        r.r = static_cast<float>((diffuse >> 16) & 0xFF);
        r.a = static_cast<float>(diffuse >> 24);
        if (layout.hasTexcoord) {
            r.u = ReadF32(v + layout.texcoord);
            r.v = ReadF32(v + layout.texcoord + 4);
        }
        if (layout.transformed) {
            r.x = ReadF32(v);
            r.y = ReadF32(v + 4);
            r.z = ReadF32(v + 8);
            r.rhw = ReadF32(v + 12);
        } else {
            const D3DXVECTOR3 p{ReadF32(v), ReadF32(v + 4), ReadF32(v + 8)};
            D3DXVECTOR4 h;
            D3DXVec3Transform(&h, &p, &all);
            clip[i] = {h.x, h.y, h.z, h.w};
        }
    }
}

void Device::DrawTriangles(const std::vector<RasterVertex>& vertices,
                           const std::vector<std::uint32_t>& triangles) {
    RasterState s;
    Surface& target = *renderTarget_;
    s.target = target.bits();
    s.targetPitch = target.pitch();
    s.targetHasAlpha = target.format() == D3DFMT_A8R8G8B8;
    s.quantize565 = target.format() == D3DFMT_R5G6B5;
    if (depth_ && renderStates_[D3DRS_ZENABLE] != 0) {
        s.depth = depth_->depth();
        s.depthPitch = depth_->width();
        s.depthScale = DepthScale(depth_->format());
        s.zEnable = true;
        s.zWrite = renderStates_[D3DRS_ZWRITEENABLE] != 0;
        s.zFunc = renderStates_[D3DRS_ZFUNC];
    }
    s.x0 = static_cast<int>(viewport_.X);
    s.y0 = static_cast<int>(viewport_.Y);
    s.x1 = std::min(static_cast<int>(viewport_.X + viewport_.Width), target.width());
    s.y1 = std::min(static_cast<int>(viewport_.Y + viewport_.Height), target.height());
    s.alphaTest = renderStates_[D3DRS_ALPHATESTENABLE] != 0;
    s.alphaRef = renderStates_[D3DRS_ALPHAREF];
    s.alphaFunc = renderStates_[D3DRS_ALPHAFUNC];
    s.blend = renderStates_[D3DRS_ALPHABLENDENABLE] != 0;
    s.srcBlend = renderStates_[D3DRS_SRCBLEND];
    s.destBlend = renderStates_[D3DRS_DESTBLEND];
    s.flatShade = renderStates_[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    s.textureFactor = renderStates_[D3DRS_TEXTUREFACTOR];
    const auto& stage = stageStates_[0];
    s.colorOp = stage[D3DTSS_COLOROP];
    s.colorArg1 = stage[D3DTSS_COLORARG1];
    s.colorArg2 = stage[D3DTSS_COLORARG2];
    s.alphaOp = stage[D3DTSS_ALPHAOP];
    s.alphaArg1 = stage[D3DTSS_ALPHAARG1];
    s.alphaArg2 = stage[D3DTSS_ALPHAARG2];
    s.addressU = stage[D3DTSS_ADDRESSU];
    s.addressV = stage[D3DTSS_ADDRESSV];
    s.borderColor = stage[D3DTSS_BORDERCOLOR];
    s.minFilter = stage[D3DTSS_MINFILTER];
    s.magFilter = stage[D3DTSS_MAGFILTER];
    if (textures_[0]) {
        Texture& texture = *textures_[0];
        Require(texture.GetSurfaceLevel(0).get() != renderTarget_.get(), D3DERR_INVALIDCALL,
                "A texture cannot be drawn into itself");
        s.texels = texture.SampleTexels();
        s.texWidth = texture.width();
        s.texHeight = texture.height();
    }
    const std::uint32_t cullMode = renderStates_[D3DRS_CULLMODE];
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const RasterVertex& a = vertices[triangles[t]];
        const RasterVertex& b = vertices[triangles[t + 1]];
        const RasterVertex& c = vertices[triangles[t + 2]];
        if (Culled(cullMode, SignedArea(a, b, c))) continue;
        RasterizeTriangle(s, a, b, c);
    }
    target.Touch();
}

std::uint32_t Device::GetAvailableTextureMem() const {
    const std::int64_t available = std::max<std::int64_t>(0, account_->budget() - account_->used());
    return static_cast<std::uint32_t>(std::min<std::int64_t>(available, 0xFFFFFFFFll));
}

void Device::ResourceManagerDiscardBytes(std::uint32_t /*bytes*/) {}

Mesh::Mesh(std::shared_ptr<Device> device, std::uint32_t fvf, std::vector<std::uint8_t> vertices,
           std::vector<std::uint32_t> indices, std::vector<AttributeRange> attributes)
    : device_(std::move(device)),
      fvf_(fvf),
      stride_(FvfStride(fvf)),
      vertices_(std::move(vertices)),
      indices_(std::move(indices)),
      attributes_(std::move(attributes)) {
    Require(device_ != nullptr, D3DERR_INVALIDCALL, "A mesh needs a device");
    Require(vertices_.size() % stride_ == 0 && indices_.size() % 3 == 0, D3DERR_INVALIDCALL,
            "Mesh data does not match its vertex format");
    const std::uint32_t vertexCount = GetNumVertices();
    for (std::uint32_t index : indices_) {
        Require(index < vertexCount, D3DXERR_INVALIDDATA, "Mesh index outside its vertices");
    }
    for (const AttributeRange& range : attributes_) {
        Require(static_cast<std::uint64_t>(range.faceStart) + range.faceCount <= GetNumFaces(),
                D3DXERR_INVALIDDATA, "Mesh attribute range outside its faces");
    }
}

std::uint32_t Mesh::GetNumVertices() const {
    return static_cast<std::uint32_t>(vertices_.size() / stride_);
}

void Mesh::DrawSubset(std::uint32_t attributeId) {
    device_->SetVertexShader(fvf_);
    for (const AttributeRange& range : attributes_) {
        if (range.attributeId != attributeId || range.faceCount == 0) continue;
        device_->DrawIndexedPrimitiveUP(
            D3DPT_TRIANGLELIST, 0, GetNumVertices(), range.faceCount,
            indices_.data() + static_cast<std::size_t>(range.faceStart) * 3, D3DFMT_INDEX32,
            vertices_.data(), stride_);
    }
}

}  // namespace tintora
