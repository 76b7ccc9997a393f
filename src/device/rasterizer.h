// The device's triangle rasteriser. Internal to the platform layer: the Device resolves its states
// into a RasterState once per draw and hands over screen-space triangles.
#pragma once

#include <cstdint>

#include "base/d3d8_types.h"
#include "device/device.h"

namespace tintora {

struct RasterState {
    // Target: 32-bit B G R A pixels.
    std::uint8_t* target = nullptr;
    int targetPitch = 0;
    bool targetHasAlpha = true;  // false: destination alpha reads as 255
    bool quantize565 = false;    // an R5G6B5 render target
    // Depth: one float per pixel (pitch = width of the target), or null for no depth test.
    float* depth = nullptr;
    int depthPitch = 0;
    float depthScale = 0.0f;  // quantisation steps (65535 for D16...), 0 = keep as float
    bool zEnable = false;
    bool zWrite = false;
    std::uint32_t zFunc = D3DCMP_LESSEQUAL;
    // Scissor: the viewport within the target, pixels [x0, x1) x [y0, y1).
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    // Per-fragment tests and blending.
    bool alphaTest = false;
    std::uint32_t alphaRef = 0;
    std::uint32_t alphaFunc = D3DCMP_ALWAYS;
    bool blend = false;
    std::uint32_t srcBlend = D3DBLEND_ONE;
    std::uint32_t destBlend = D3DBLEND_ZERO;
    bool flatShade = false;
    // Stage 0.
    std::uint32_t colorOp = D3DTOP_MODULATE;
    std::uint32_t colorArg1 = D3DTA_TEXTURE;
    std::uint32_t colorArg2 = D3DTA_CURRENT;
    std::uint32_t alphaOp = D3DTOP_SELECTARG1;
    std::uint32_t alphaArg1 = D3DTA_TEXTURE;
    std::uint32_t alphaArg2 = D3DTA_CURRENT;
    std::uint32_t textureFactor = 0xFFFFFFFFu;
    // Texture of stage 0: A8R8G8B8 texels, pitch = texWidth; null when none is bound.
    const std::uint32_t* texels = nullptr;
    int texWidth = 0;
    int texHeight = 0;
    std::uint32_t addressU = D3DTADDRESS_WRAP;
    std::uint32_t addressV = D3DTADDRESS_WRAP;
    std::uint32_t borderColor = 0;
    std::uint32_t minFilter = D3DTEXF_POINT;
    std::uint32_t magFilter = D3DTEXF_POINT;
    // Rows per task when a triangle is large enough to split; 0 = never split.
    int parallelRowGrain = 16;
    // Screen-aligned one-texel-per-pixel triangles copy texel runs instead of interpolating per
    // pixel. Both ways give the same bytes; false forces the per-pixel way (to compare them).
    bool unitSpans = true;
};

// Draws one triangle of screen-space vertices with the state's rules (see device.h).
// Culling has already been decided by the caller.
void RasterizeTriangle(const RasterState& state, const RasterVertex& v0, const RasterVertex& v1,
                       const RasterVertex& v2);

}  // namespace tintora
