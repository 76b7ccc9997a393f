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

// A target of random bytes with a depth buffer of 0, 0.5 and 1, and a texture of random colours
// whose alphas are 0, 255 and in between (every third row opaque, as most textures are).
struct Scene {
    int width, height, texWidth, texHeight;
    std::vector<std::uint32_t> texels;
    std::vector<std::uint8_t> target;
    std::vector<float> depth;
};

Scene MakeScene(std::mt19937& random, int width, int height, int texWidth, int texHeight) {
    Scene scene{width, height, texWidth, texHeight, {}, {}, {}};
    std::uniform_int_distribution<std::uint32_t> any;
    for (int i = 0; i < texWidth * texHeight; ++i) {
        const std::uint32_t pick = (i / texWidth) % 3 == 0 ? 1 : any(random) % 4;
        const std::uint32_t alpha = pick == 0 ? 0u : pick == 1 ? 255u : any(random) & 0xFF;
        scene.texels.push_back((any(random) & 0x00FFFFFFu) | (alpha << 24));
    }
    for (int i = 0; i < width * height; ++i) {
        scene.depth.push_back(static_cast<float>(any(random) % 3) * 0.5f);
        for (int k = 0; k < 4; ++k)
            scene.target.push_back(static_cast<std::uint8_t>(any(random)));
    }
    return scene;
}

// The target and depth bytes after drawing the quad (x, y, w, h) at depth 0.5 with texture
// coordinates 0..uRight, 0..vBottom as two triangles.
std::vector<std::uint8_t> Draw(Scene scene, RasterState state, float x, float y, float w, float h,
                               float uRight, float vBottom, bool unitSpans) {
    state.target = scene.target.data();
    state.targetPitch = scene.width * 4;
    state.x1 = scene.width;
    state.y1 = scene.height;
    state.texels = scene.texels.data();
    state.texWidth = scene.texWidth;
    state.texHeight = scene.texHeight;
    state.depth = state.zEnable ? scene.depth.data() : nullptr;
    state.depthPitch = scene.width;
    state.unitSpans = unitSpans;
    const auto vertex = [](float vx, float vy, float u, float v) {
        return RasterVertex{.x = vx, .y = vy, .z = 0.5f, .u = u, .v = v};
    };
    const RasterVertex a = vertex(x, y, 0, 0), b = vertex(x + w, y, uRight, 0);
    const RasterVertex c = vertex(x, y + h, 0, vBottom), d = vertex(x + w, y + h, uRight, vBottom);
    RasterizeTriangle(state, a, b, c);
    RasterizeTriangle(state, b, d, c);
    const auto* depthBytes = reinterpret_cast<const std::uint8_t*>(scene.depth.data());
    scene.target.insert(scene.target.end(), depthBytes, depthBytes + scene.depth.size() * 4);
    return scene.target;
}

TEST(RasterizerTest, UnitScaleRunsMatchThePerPixelPath) {
    std::mt19937 random(20261206);
    const struct {
        const char* name;
        float x, y;  // quad position in a 600 x 120 target (rows longer than a filter piece)
        int texWidth, texHeight;
        float uRepeats, vRepeats;  // texture coordinate at the far corner
    } placements[] = {
        {"centred, even difference", 16, 12, 128, 96, 1, 1},
        {"centred, odd difference (half-pixel offset)", 16.5f, 12.5f, 127, 95, 1, 1},
        {"larger than the window, cut on both sides", -50, -20.5f, 700, 161, 1, 1},
        {"tiled from the corner", 0, 0, 48, 40, 600.0f / 48, 120.0f / 40},
        {"tiled, one texel wide", 0, 0, 1, 7, 600.0f, 120.0f / 7},
    };
    // Each fast combination of the diffuse colour (white) and the texture, blending, depth,
    // target alpha, addressing mode and filter at least once.
    const bool linear = true, blend = true, depth = true, alphaTarget = true;
    const std::uint32_t modulate = D3DTOP_MODULATE, alphaOnly = D3DTOP_SELECTARG1;
    const struct {
        const char* name;
        std::uint32_t colorOp;
        bool blend, zEnable, targetHasAlpha;
        std::uint32_t address;
        bool linear;
    } modes[] = {
        {"view", modulate, blend, depth, !alphaTarget, D3DTADDRESS_WRAP, !linear},
        {"alpha only, mirror", alphaOnly, blend, !depth, alphaTarget, D3DTADDRESS_MIRROR, !linear},
        {"no blend, clamp", modulate, !blend, !depth, alphaTarget, D3DTADDRESS_CLAMP, !linear},
        {"border", modulate, blend, !depth, alphaTarget, D3DTADDRESS_BORDER, !linear},
        {"linear view", modulate, blend, depth, !alphaTarget, D3DTADDRESS_WRAP, linear},
        {"linear alpha only", alphaOnly, !blend, !depth, alphaTarget, D3DTADDRESS_BORDER, linear},
        {"linear clamp", modulate, blend, !depth, !alphaTarget, D3DTADDRESS_CLAMP, linear},
    };
    RasterState state;
    state.colorArg1 = D3DTA_DIFFUSE;
    state.colorArg2 = D3DTA_TEXTURE;
    state.srcBlend = D3DBLEND_SRCALPHA;
    state.destBlend = D3DBLEND_INVSRCALPHA;
    state.alphaTest = true;
    state.alphaRef = 1;
    state.zWrite = true;
    state.depthScale = 65535.0f;
    state.borderColor = 0x80FF2040u;
    for (const auto& p : placements) {
        const Scene scene = MakeScene(random, 600, 120, p.texWidth, p.texHeight);
        const float w = p.uRepeats > 1 ? 600.0f : static_cast<float>(p.texWidth);
        const float h = p.vRepeats > 1 ? 120.0f : static_cast<float>(p.texHeight);
        for (const auto& m : modes) {
            SCOPED_TRACE(std::string(p.name) + " / " + m.name);
            state.colorOp = m.colorOp;
            state.blend = m.blend;
            state.zEnable = m.zEnable;
            state.targetHasAlpha = m.targetHasAlpha;
            state.addressU = state.addressV = m.address;
            state.minFilter = state.magFilter = m.linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
            // Also shifted by a quarter texel (runs start inside a texel; linear filtering mixes
            // neighbours with the same weights all along) and by a fifth (the filter weights then
            // lie between its steps).
            for (const float s : {0.0f, 0.25f, 0.2f}) {
                const auto fast =
                    Draw(scene, state, p.x + s, p.y + s, w, h, p.uRepeats, p.vRepeats, true);
                ASSERT_EQ(fast,
                          Draw(scene, state, p.x + s, p.y + s, w, h, p.uRepeats, p.vRepeats, false))
                    << "shift " << s;
                EXPECT_NE(fast, Draw(scene, state, 0, 0, 0, 0, 1, 1, false)) << "drew nothing";
            }
        }
    }
}

// A texture of odd size centred in an even window sits at a half pixel: every pixel centre falls
// exactly on a texel's left edge, and the pixel must show that texel, whatever the float error of
// the interpolated coordinate.
TEST(RasterizerTest, PointSamplingOnATexelBoundaryTakesTheTexelThatStartsThere) {
    std::mt19937 random(7);
    Scene scene = MakeScene(random, 200, 3, 127, 1);
    for (int i = 0; i < 127; ++i)
        scene.texels[static_cast<std::size_t>(i)] = 0xFF000000u | static_cast<std::uint32_t>(i);
    RasterState state;
    state.colorOp = D3DTOP_SELECTARG1;
    state.colorArg1 = D3DTA_TEXTURE;
    for (const bool unit : {true, false}) {
        const auto out = Draw(scene, state, 36.5f, 1.0f, 127.0f, 1.0f, 1.0f, 1.0f, unit);
        const std::size_t row = 200 * 4;
        for (int x = 36; x < 163; ++x)
            ASSERT_EQ(out[row + x * 4u], x - 36) << "pixel " << x << ", unit spans " << unit;
        EXPECT_EQ(out[row + 163 * 4], scene.target[row + 163 * 4]) << "right edge excluded";
    }
}

}  // namespace
}  // namespace tintora
