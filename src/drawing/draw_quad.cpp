#include "base/error.h"
#include "document/module1.h"

namespace tintora {

std::uint32_t ToDeviceColor(std::uint32_t color) {
    return (color & 0xFF00FF00u) | ((color & 0x000000FFu) << 16) | ((color >> 16) & 0x000000FFu);
}

void DrawQuad(float x, float y, float width, float height, const std::shared_ptr<Texture>& texture,
              bool smooth, float uRight, float vBottom, bool alphaOnly) {
    auto& state = Module1();
    if (!state.Device) {
        throw PlatformError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    DrawQuadOn(*state.Device, state.QuadVertices, x, y, width, height, texture, smooth, uRight,
               vBottom, alphaOnly);
}

namespace {

// The states DrawQuad draws with; the stage's colour operation is put back after the drawing
// (ResetColourOperation).
void ApplyQuadStates(Device& device, const std::shared_ptr<Texture>& texture, bool smooth,
                     bool alphaOnly) {
    const std::uint32_t filter = smooth ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    device.SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    device.SetTextureStageState(0, D3DTSS_MAGFILTER, filter);

    // Alpha only: draw the vertex white with the texture's alpha (the alpha operation stays at
    // its default, alpha from the texture).
    if (alphaOnly) {
        device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    } else {
        device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    }

    // Coordinates beyond 1 repeat the texture (the tiled view).
    device.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    device.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    device.SetRenderState(D3DRS_LIGHTING, 0);

    device.SetVertexShader(kQuadVertexFvf);
    device.SetIndices(nullptr, 0);
    device.SetTexture(0, texture);

    // Blend by the texel's alpha. The alpha function is left at its default (always), so the
    // alpha test discards nothing.
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device.SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device.SetRenderState(D3DRS_ALPHAREF, 1);
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void ResetColourOperation(Device& device) {
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
}

}  // namespace

void SetQuadStates(Device& device, const std::shared_ptr<Texture>& texture, bool smooth,
                   bool alphaOnly) {
    ApplyQuadStates(device, texture, smooth, alphaOnly);
    ResetColourOperation(device);
}

void DrawQuadOn(Device& device, std::array<QuadVertex, 4>& quad, float x, float y, float width,
                float height, const std::shared_ptr<Texture>& texture, bool smooth, float uRight,
                float vBottom, bool alphaOnly) {
    ApplyQuadStates(device, texture, smooth, alphaOnly);
    const float right = x + width;
    const float bottom = y + height;
    quad[0] = {x, y, 0.001f, 0.001f, 0xFFFFFFFFu, 0, 0.0f, 0.0f};
    quad[1] = {right, y, 0.001f, 0.001f, 0xFFFFFFFFu, 0, uRight, 0.0f};
    quad[2] = {x, bottom, 0.001f, 0.001f, 0xFFFFFFFFu, 0, 0.0f, vBottom};
    quad[3] = {right, bottom, 0.001f, 0.001f, 0xFFFFFFFFu, 0, uRight, vBottom};

    device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(QuadVertex));
    ResetColourOperation(device);
}

}  // namespace tintora
