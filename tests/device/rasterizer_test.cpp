// The rasteriser's run-copying path for one-texel-per-pixel quads must give exactly the bytes of
// its per-pixel path, for every state the views use and the addressing modes around them.
#include "device/rasterizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tintora {
namespace {

struct Scene {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> texels;
    int texWidth = 0;
    int texHeight = 0;
    std::vector<std::uint8_t> target;
    std::vector<float> depth;
};

Scene MakeScene(std::mt19937& random, int width, int height, int texWidth, int texHeight) {
    Scene scene{width, height, {}, texWidth, texHeight, {}, {}};
    std::uniform_int_distribution<std::uint32_t> any;
    scene.texels.resize(static_cast<std::size_t>(texWidth) * texHeight);
    for (std::size_t i = 0; i < scene.texels.size(); ++i) {
        // Alphas 0, 255 and in between, so each blending case runs; every third texture row is
        // opaque throughout, as most textures are.
        const bool opaqueRow = (i / static_cast<std::size_t>(texWidth)) % 3 == 0;
        std::uint32_t& t = scene.texels[i];
        const std::uint32_t pick = opaqueRow ? 1 : any(random) % 4;
        const std::uint32_t alpha = pick == 0 ? 0u : pick == 1 ? 255u : any(random) & 0xFF;
        t = (any(random) & 0x00FFFFFFu) | (alpha << 24);
    }
    scene.target.resize(static_cast<std::size_t>(width) * height * 4);
    for (auto& b : scene.target)
        b = static_cast<std::uint8_t>(any(random));
    scene.depth.resize(static_cast<std::size_t>(width) * height);
    for (auto& d : scene.depth)
        d = static_cast<float>(any(random) % 3) * 0.5f;  // 0, 0.5, 1
    return scene;
}

// Draws the quad (x, y, w, h) with texture coordinates 0..uRight, 0..vBottom as two triangles.
std::vector<std::uint8_t> Draw(Scene scene, RasterState state, float x, float y, float w, float h,
                               float uRight, float vBottom, float z, bool unitSpans) {
    state.target = scene.target.data();
    state.targetPitch = scene.width * 4;
    state.x1 = scene.width;
    state.y1 = scene.height;
    state.texels = scene.texels.data();
    state.texWidth = scene.texWidth;
    state.texHeight = scene.texHeight;
    if (state.zEnable) {
        state.depth = scene.depth.data();
        state.depthPitch = scene.width;
    }
    state.unitSpans = unitSpans;
    const auto vertex = [z](float vx, float vy, float u, float v) {
        return RasterVertex{.x = vx, .y = vy, .z = z, .u = u, .v = v};
    };
    const RasterVertex a = vertex(x, y, 0, 0), b = vertex(x + w, y, uRight, 0);
    const RasterVertex c = vertex(x, y + h, 0, vBottom), d = vertex(x + w, y + h, uRight, vBottom);
    RasterizeTriangle(state, a, b, c);
    RasterizeTriangle(state, b, d, c);
    std::vector<std::uint8_t> out = scene.target;
    const auto* depthBytes = reinterpret_cast<const std::uint8_t*>(scene.depth.data());
    out.insert(out.end(), depthBytes, depthBytes + scene.depth.size() * sizeof(float));
    return out;
}

TEST(RasterizerTest, UnitScaleRunsMatchThePerPixelPath) {
    std::mt19937 random(20261206);
    struct Placement {
        const char* name;
        float x, y;  // quad position in a 600 x 120 target (rows longer than a filter piece)
        int texWidth, texHeight;
        float uRepeats, vRepeats;  // texture coordinate at the far corner
    };
    const Placement placements[] = {
        {"centred, even difference", 16, 12, 128, 96, 1, 1},
        {"centred, odd difference (half-pixel offset)", 16.5f, 12.5f, 127, 95, 1, 1},
        {"larger than the window, cut on both sides", -50, -20.5f, 700, 161, 1, 1},
        {"wide, half-pixel offset", 20.5f, 10, 513, 64, 1, 1},
        {"tiled from the corner", 0, 0, 48, 40, 600.0f / 48, 120.0f / 40},
        {"tiled, one texel wide", 0, 0, 1, 7, 600.0f, 120.0f / 7},
    };
    const bool linear = true, blend = true, depth = true, alphaTarget = true;
    struct Mode {
        const char* name;
        std::uint32_t colorOp;  // of the diffuse colour (white) and the texture
        bool blend, zEnable, targetHasAlpha;
        std::uint32_t address;
        bool linear;
    };
    const std::uint32_t modulate = D3DTOP_MODULATE, alphaOnly = D3DTOP_SELECTARG1;
    const Mode modes[] = {
        {"view", modulate, blend, depth, !alphaTarget, D3DTADDRESS_WRAP, !linear},
        {"alpha only", alphaOnly, blend, !depth, !alphaTarget, D3DTADDRESS_WRAP, !linear},
        {"no blend", modulate, !blend, !depth, alphaTarget, D3DTADDRESS_WRAP, !linear},
        {"blend into alpha", modulate, blend, !depth, alphaTarget, D3DTADDRESS_WRAP, !linear},
        {"clamp", modulate, blend, depth, !alphaTarget, D3DTADDRESS_CLAMP, !linear},
        {"mirror", modulate, blend, !depth, !alphaTarget, D3DTADDRESS_MIRROR, !linear},
        {"border", modulate, blend, !depth, alphaTarget, D3DTADDRESS_BORDER, !linear},
        {"linear view", modulate, blend, depth, !alphaTarget, D3DTADDRESS_WRAP, linear},
        {"linear alpha only", alphaOnly, blend, !depth, !alphaTarget, D3DTADDRESS_WRAP, linear},
        {"linear no blend", modulate, !blend, !depth, alphaTarget, D3DTADDRESS_WRAP, linear},
        {"linear border", modulate, blend, !depth, alphaTarget, D3DTADDRESS_BORDER, linear},
        {"linear clamp", modulate, blend, !depth, !alphaTarget, D3DTADDRESS_CLAMP, linear},
    };
    for (const Placement& p : placements) {
        const Scene scene = MakeScene(random, 600, 120, p.texWidth, p.texHeight);
        for (const Mode& m : modes) {
            SCOPED_TRACE(std::string(p.name) + " / " + m.name);
            RasterState state;
            state.colorOp = m.colorOp;
            state.colorArg1 = D3DTA_DIFFUSE;
            state.colorArg2 = D3DTA_TEXTURE;
            state.blend = m.blend;
            state.srcBlend = D3DBLEND_SRCALPHA;
            state.destBlend = D3DBLEND_INVSRCALPHA;
            state.alphaTest = true;
            state.alphaRef = 1;
            state.zEnable = m.zEnable;
            state.zWrite = true;
            state.depthScale = 65535.0f;
            state.targetHasAlpha = m.targetHasAlpha;
            state.addressU = state.addressV = m.address;
            state.borderColor = 0x80FF2040u;
            state.minFilter = state.magFilter = m.linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
            const float w = p.uRepeats > 1 ? 600.0f : static_cast<float>(p.texWidth);
            const float h = p.vRepeats > 1 ? 120.0f : static_cast<float>(p.texHeight);
            // Tiled placements run past the texture (wrap and the other modes). Every placement
            // is also drawn shifted by a quarter texel (runs start inside a texel; linear
            // filtering mixes neighbours with the same weights all along) and by a fifth (the
            // filter weights then lie between its steps).
            for (const float shift : {0.0f, 0.25f, 0.2f}) {
                const auto fast = Draw(scene, state, p.x + shift, p.y + shift, w, h, p.uRepeats,
                                       p.vRepeats, 0.5f, true);
                const auto slow = Draw(scene, state, p.x + shift, p.y + shift, w, h, p.uRepeats,
                                       p.vRepeats, 0.5f, false);
                ASSERT_EQ(fast, slow) << "shift " << shift;
                EXPECT_NE(fast, Draw(scene, state, 0, 0, 0, 0, 1, 1, 0.5f, false))
                    << "the quad drew nothing";
            }
        }
    }
}

TEST(RasterizerTest, PointSamplingOnATexelBoundaryTakesTheTexelThatStartsThere) {
    // A texture of odd size centred in an even window sits at a half pixel: every pixel centre
    // falls exactly on a texel's left edge, and the pixel must show that texel, whatever the
    // float error of the interpolated coordinate.
    std::mt19937 random(7);
    Scene scene = MakeScene(random, 200, 3, 127, 1);
    for (int i = 0; i < 127; ++i) {
        scene.texels[static_cast<std::size_t>(i)] = 0xFF000000u | static_cast<std::uint32_t>(i);
    }
    RasterState state;
    state.colorOp = D3DTOP_SELECTARG1;
    state.colorArg1 = D3DTA_TEXTURE;
    for (const bool unit : {true, false}) {
        const auto out = Draw(scene, state, 36.5f, 1.0f, 127.0f, 1.0f, 1.0f, 1.0f, 0.0f, unit);
        const std::size_t row = 200 * 4;
        for (int x = 36; x < 163; ++x) {
            ASSERT_EQ(out[row + static_cast<std::size_t>(x) * 4], x - 36)
                << "pixel " << x << ", unit spans " << unit;
        }
        EXPECT_EQ(out[row + 163 * 4], scene.target[row + 163 * 4]) << "right edge excluded";
    }
}

}  // namespace
}  // namespace tintora
