// The software device: rasterisation rules, filtering, blending, tests, transforms and errors.
#include "device/device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "support/test_device.h"

namespace tintora {
namespace {

struct TlVertex {  // 0x1C4: XYZRHW | DIFFUSE | SPECULAR | TEX1
    float x, y, z, rhw;
    std::uint32_t diffuse, specular;
    float u, v;
};
constexpr std::uint32_t kTlFvf = 0x1C4;

struct XyzVertex {  // 0x142: XYZ | DIFFUSE | TEX1
    float x, y, z;
    std::uint32_t diffuse;
    float u, v;
};
constexpr std::uint32_t kXyzFvf = 0x142;

class CaptureWindow : public PresentTarget {
  public:
    int ClientWidth() const override { return 40; }
    int ClientHeight() const override { return 30; }
    void PresentImage(const ImageView& image) override {
        width = image.width;
        height = image.height;
        first = *reinterpret_cast<const std::uint32_t*>(image.bits);
        ++presents;
    }
    int width = 0;
    int height = 0;
    std::uint32_t first = 0;
    int presents = 0;
};

class DeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        d3d_ = Direct3DCreate8();
        device_ = testing::MakeTestDevice(d3d_);
    }

    // Makes a w x h A8R8G8B8 render target (with a depth surface when asked), cleared to clear.
    void UseTarget(int w, int h, std::uint32_t clear = 0, bool depth = false) {
        target_ = device_->CreateImageSurface(w, h, D3DFMT_A8R8G8B8);
        depth_ = depth ? device_->CreateDepthStencilSurface(w, h, D3DFMT_D24X8, D3DMULTISAMPLE_NONE)
                       : nullptr;
        device_->SetRenderTarget(target_, depth_);
        device_->Clear(0, nullptr, depth ? 3u : 1u, clear, 1.0f, 0);
    }

    std::uint32_t Pixel(int x, int y) const {
        std::uint32_t v;
        std::memcpy(&v, target_->bits() + y * target_->pitch() + x * 4, 4);
        return v;
    }

    std::shared_ptr<Texture> MakeTexture(int w, int h, const std::vector<std::uint32_t>& texels) {
        auto t = device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        D3DLOCKED_RECT lr = t->LockRect(0, nullptr, 0);
        EXPECT_EQ(lr.Pitch, w * 4);
        std::memcpy(lr.pBits, texels.data(), texels.size() * 4);
        t->UnlockRect(0);
        return t;
    }

    // A screen-space rectangle as a strip, drawn with the current states.
    void DrawRect(float x, float y, float w, float h, float u1 = 1.0f, float v1 = 1.0f,
                  std::uint32_t diffuse = 0xFFFFFFFFu, float z = 0.5f) {
        const TlVertex v[4] = {{x, y, z, 1.0f, diffuse, 0, 0.0f, 0.0f},
                               {x + w, y, z, 1.0f, diffuse, 0, u1, 0.0f},
                               {x, y + h, z, 1.0f, diffuse, 0, 0.0f, v1},
                               {x + w, y + h, z, 1.0f, diffuse, 0, u1, v1}};
        device_->SetVertexShader(kTlFvf);
        device_->BeginScene();
        device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
        device_->EndScene();
    }

    // Texture colour straight through: no lighting, no culling, texture x diffuse(white).
    void PlainTextureStates(bool linear) {
        device_->SetRenderState(D3DRS_LIGHTING, 0);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRS_ZENABLE, 0);
        const std::uint32_t f = linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, f);
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, f);
    }

    std::shared_ptr<Direct3D8> d3d_;
    std::shared_ptr<Device> device_;
    std::shared_ptr<Surface> target_;
    std::shared_ptr<Surface> depth_;
};

TEST_F(DeviceTest, FreshDeviceHoldsDirect3DDefaults) {
    EXPECT_EQ(device_->GetRenderState(D3DRS_ZENABLE), 1u);  // automatic depth buffer
    EXPECT_EQ(device_->GetRenderState(D3DRS_ZWRITEENABLE), 1u);
    EXPECT_EQ(device_->GetRenderState(D3DRS_ZFUNC), static_cast<std::uint32_t>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(device_->GetRenderState(D3DRS_ALPHATESTENABLE), 0u);
    EXPECT_EQ(device_->GetRenderState(D3DRS_ALPHAFUNC), static_cast<std::uint32_t>(D3DCMP_ALWAYS));
    EXPECT_EQ(device_->GetRenderState(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(device_->GetRenderState(D3DRS_SRCBLEND), static_cast<std::uint32_t>(D3DBLEND_ONE));
    EXPECT_EQ(device_->GetRenderState(D3DRS_DESTBLEND), static_cast<std::uint32_t>(D3DBLEND_ZERO));
    EXPECT_EQ(device_->GetRenderState(D3DRS_CULLMODE), static_cast<std::uint32_t>(D3DCULL_CCW));
    EXPECT_EQ(device_->GetRenderState(D3DRS_LIGHTING), 1u);
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_COLOROP),
              static_cast<std::uint32_t>(D3DTOP_MODULATE));
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_COLORARG2), D3DTA_CURRENT);
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_ALPHAOP),
              static_cast<std::uint32_t>(D3DTOP_SELECTARG1));
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_ADDRESSU),
              static_cast<std::uint32_t>(D3DTADDRESS_WRAP));
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_MAGFILTER),
              static_cast<std::uint32_t>(D3DTEXF_POINT));
    EXPECT_EQ(device_->GetTextureStageState(1, D3DTSS_COLOROP),
              static_cast<std::uint32_t>(D3DTOP_DISABLE));
    const D3DVIEWPORT8 vp = device_->GetViewport();
    EXPECT_EQ(vp.Width, 64u);
    EXPECT_EQ(vp.Height, 64u);
}

TEST_F(DeviceTest, OneToOneQuadIsSharpUnderLinearFilteringAndHalfPixelOffsetsBlend) {
    PlainTextureStates(true);
    std::vector<std::uint32_t> texels(16);
    for (int i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 16);
    device_->SetTexture(0, MakeTexture(4, 4, texels));

    UseTarget(8, 8, 0xFF00FF00u);
    DrawRect(2.0f, 3.0f, 4.0f, 4.0f);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Pixel(2 + x, 3 + y), texels[y * 4 + x]);
    }
    EXPECT_EQ(Pixel(1, 3), 0xFF00FF00u);
    EXPECT_EQ(Pixel(6, 3), 0xFF00FF00u);
    EXPECT_EQ(Pixel(2, 7), 0xFF00FF00u);

    // At x = 2.5 the covered pixels are 2..5 (centres 2.5..5.5); each samples halfway between
    // two texels, the first one wrapping to the last texel of its row.
    UseTarget(8, 8, 0xFF00FF00u);
    DrawRect(2.5f, 3.0f, 4.0f, 4.0f);
    EXPECT_EQ(Pixel(1, 3), 0xFF00FF00u);
    EXPECT_EQ(Pixel(6, 3), 0xFF00FF00u);
    EXPECT_EQ(Pixel(3, 3) & 0xFF, (0u + 16u + 1u) / 2u);  // between texel 0 (0) and 1 (16)
    EXPECT_EQ(Pixel(2, 3) & 0xFF, (48u + 0u) / 2u);       // between texel 3 (48) and texel 0
}

TEST_F(DeviceTest, LinearFilteringWeighsNeighboursByDistance) {
    PlainTextureStates(true);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    // Two texels, 0 and 200, stretched over 8 pixels: centres at texel coordinates
    // (x + 0.5) / 4 - 0.5, clamped at the ends.
    device_->SetTexture(0, MakeTexture(2, 1, {0xFF000000u, 0xFF0000C8u}));
    UseTarget(8, 1);
    DrawRect(0.0f, 0.0f, 8.0f, 1.0f);
    const int expected[8] = {0, 0, 25, 75, 125, 175, 200, 200};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(static_cast<int>(Pixel(x, 0) & 0xFF), expected[x]) << x;
}

TEST_F(DeviceTest, PointFilteringMagnifiesToBlocksAndWrapRepeats) {
    PlainTextureStates(false);
    const std::vector<std::uint32_t> texels = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
    device_->SetTexture(0, MakeTexture(2, 2, texels));
    UseTarget(8, 8);
    DrawRect(0.0f, 0.0f, 8.0f, 8.0f, 2.0f, 2.0f);  // twice across and down, 2x2 blocks
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Pixel(x, y), texels[(y / 2 % 2) * 2 + (x / 2 % 2)]);
    }
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    UseTarget(8, 8);
    DrawRect(0.0f, 0.0f, 8.0f, 8.0f, 2.0f, 1.0f);  // right half repeats the last column
    EXPECT_EQ(Pixel(7, 0), texels[1]);
    EXPECT_EQ(Pixel(5, 7), texels[3]);
}

TEST_F(DeviceTest, TopLeftRuleDrawsSharedEdgesOnce) {
    // Additive blending of 1 per draw reveals pixels drawn twice or never.
    device_->SetRenderState(D3DRS_LIGHTING, 0);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    UseTarget(16, 16, 0);
    // A fan of triangles around an interior point, vertices on pixel centres and edges.
    const float cx = 7.5f;
    const float cy = 8.0f;
    const float ring[][2] = {{1, 1}, {15, 0.5f}, {15.5f, 15}, {3, 14.5f}, {0.5f, 7.5f}};
    std::vector<TlVertex> v;
    v.push_back({cx, cy, 0.5f, 1, 0xFF010101u, 0, 0, 0});
    for (const auto& p : ring)
        v.push_back({p[0], p[1], 0.5f, 1, 0xFF010101u, 0, 0, 0});
    v.push_back(v[1]);
    device_->SetVertexShader(kTlFvf);
    device_->BeginScene();
    device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 5, v.data(), sizeof(TlVertex));
    device_->EndScene();
    int covered = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t count = Pixel(x, y) & 0xFF;
            EXPECT_LE(count, 1u) << "pixel " << x << "," << y << " drawn twice";
            covered += static_cast<int>(count);
        }
    }
    EXPECT_GT(covered, 150);
    // A pixel whose centre lies on the left edge x = 0.5 ... is drawn; one on a right edge is not.
    UseTarget(4, 1, 0);
    DrawRect(0.5f, 0.0f, 2.0f, 1.0f, 1.0f, 1.0f, 0xFF010101u);
    EXPECT_EQ(Pixel(0, 0) & 0xFF, 1u);
    EXPECT_EQ(Pixel(1, 0) & 0xFF, 1u);
    EXPECT_EQ(Pixel(2, 0) & 0xFF, 0u);
}

TEST_F(DeviceTest, BlendingArithmeticRoundsToNearest) {
    PlainTextureStates(false);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // src (r 200, g 100, b 0, a 64) over dst (r 0, g 50, b 255, a 255).
    device_->SetTexture(0, MakeTexture(1, 1, {0x40C86400u}));
    UseTarget(1, 1, 0xFF0032FFu);
    DrawRect(0.0f, 0.0f, 1.0f, 1.0f);
    const std::uint32_t p = Pixel(0, 0);
    const auto blend = [](int s, int d, int a) {
        return static_cast<std::uint32_t>(std::lround((s * a + d * (255 - a)) / 255.0));
    };
    EXPECT_EQ((p >> 16) & 0xFF, blend(200, 0, 64));
    EXPECT_EQ((p >> 8) & 0xFF, blend(100, 50, 64));
    EXPECT_EQ(p & 0xFF, blend(0, 255, 64));
    EXPECT_EQ(p >> 24, blend(64, 255, 64));

    // Premultiplying onto transparent black: every channel becomes round(c x a / 255).
    device_->SetTexture(0, MakeTexture(1, 1, {0x80FF7F01u}));
    UseTarget(1, 1, 0);
    DrawRect(0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(Pixel(0, 0), (64u << 24) | (128u << 16) | (64u << 8) | 1u);
}

TEST_F(DeviceTest, ModulateMultipliesTextureByDiffuseAndUnboundTextureDrawsNothing) {
    PlainTextureStates(false);
    device_->SetTexture(0, MakeTexture(1, 1, {0xFFFF8040u}));
    UseTarget(1, 1);
    DrawRect(0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0xFF808080u);
    // round(255 x 128 / 255) = 128, round(128 x 128 / 255) = 64, round(64 x 128 / 255) = 32
    EXPECT_EQ(Pixel(0, 0), 0xFF804020u);

    // With no texture the stage reads transparent black; blending then keeps the target.
    device_->SetTexture(0, nullptr);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    UseTarget(2, 2, 0xFF123456u);
    DrawRect(0.0f, 0.0f, 2.0f, 2.0f);
    EXPECT_EQ(Pixel(1, 1), 0xFF123456u);
}

TEST_F(DeviceTest, AlphaTestComparesAgainstReference) {
    PlainTextureStates(false);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
    // Four texels with alphas 0x00, 0x7F, 0x80, 0xFF.
    device_->SetTexture(0, MakeTexture(4, 1, {0x00FFFFFFu, 0x7FFFFFFFu, 0x80FFFFFFu, 0xFFFFFFFFu}));
    const struct {
        D3DCMPFUNC func;
        bool drawn[4];
    } cases[] = {
        {D3DCMP_ALWAYS, {true, true, true, true}},
        {D3DCMP_GREATEREQUAL, {false, false, true, true}},
        {D3DCMP_GREATER, {false, false, false, true}},
        {D3DCMP_LESS, {true, true, false, false}},
        {D3DCMP_EQUAL, {false, false, true, false}},
        {D3DCMP_NEVER, {false, false, false, false}},
    };
    for (const auto& c : cases) {
        device_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        UseTarget(4, 1, 0x11223344u);
        DrawRect(0.0f, 0.0f, 4.0f, 1.0f);
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(Pixel(x, 0) != 0x11223344u, c.drawn[x]) << "func " << c.func << " x " << x;
        }
    }
}

TEST_F(DeviceTest, DepthTestKeepsTheNearerTriangleInEitherOrder) {
    device_->SetRenderState(D3DRS_LIGHTING, 0);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    for (bool nearFirst : {true, false}) {
        UseTarget(8, 8, 0, true);
        if (nearFirst) {
            DrawRect(0, 0, 8, 8, 1, 1, 0xFFFF0000u, 0.25f);
            DrawRect(2, 2, 4, 4, 1, 1, 0xFF0000FFu, 0.75f);
        } else {
            DrawRect(2, 2, 4, 4, 1, 1, 0xFF0000FFu, 0.75f);
            DrawRect(0, 0, 8, 8, 1, 1, 0xFFFF0000u, 0.25f);
        }
        EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u) << nearFirst;
        EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u) << nearFirst;
    }
    // Equal depth passes LESSEQUAL: the later drawing wins.
    UseTarget(8, 8, 0, true);
    DrawRect(0, 0, 8, 8, 1, 1, 0xFFFF0000u, 0.5f);
    DrawRect(0, 0, 8, 8, 1, 1, 0xFF00FF00u, 0.5f);
    EXPECT_EQ(Pixel(3, 3), 0xFF00FF00u);
    // A depth buffer disabled by state does not hide anything.
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    DrawRect(0, 0, 8, 8, 1, 1, 0xFF0000FFu, 0.9f);
    EXPECT_EQ(Pixel(3, 3), 0xFF0000FFu);
}

TEST_F(DeviceTest, CullingDropsCounterClockwiseTrianglesByDefault) {
    device_->SetRenderState(D3DRS_LIGHTING, 0);
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    const TlVertex clockwise[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0},
                                   {8, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0},
                                   {0, 8, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0}};
    const TlVertex counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
    device_->SetVertexShader(kTlFvf);
    for (auto [mode, cwDrawn, ccwDrawn] :
         {std::tuple{D3DCULL_CCW, true, false}, std::tuple{D3DCULL_CW, false, true},
          std::tuple{D3DCULL_NONE, true, true}}) {
        device_->SetRenderState(D3DRS_CULLMODE, mode);
        for (const TlVertex* tri : {clockwise, counter}) {
            UseTarget(8, 8, 0);
            device_->BeginScene();
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TlVertex));
            device_->EndScene();
            const bool expected = tri == clockwise ? cwDrawn : ccwDrawn;
            EXPECT_EQ(Pixel(1, 1) == 0xFFFFFFFFu, expected) << "cull mode " << mode;
        }
    }
}

// A quad in 3D receding from the camera: texture coordinates must follow perspective.
TEST_F(DeviceTest, PerspectiveCorrectTexturingAndNearPlaneClipping) {
    PlainTextureStates(false);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    // 8 vertical stripes with values 0, 32, ..., 224 in blue.
    std::vector<std::uint32_t> texels(8);
    for (int i = 0; i < 8; ++i)
        texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 32);
    device_->SetTexture(0, MakeTexture(8, 1, texels));
    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, std::numbers::pi_v<float> / 2.0f, 1.0f, 1.0f, 100.0f);
    device_->SetTransform(D3DTS_PROJECTION, proj);
    UseTarget(64, 64);
    device_->SetVertexShader(kXyzFvf);
    // The floor plane y = -1 from z = 1 to z = 9, u along z.
    const XyzVertex floor[4] = {{-1, -1, 1, 0xFFFFFFFFu, 0, 0},
                                {1, -1, 1, 0xFFFFFFFFu, 0, 1},
                                {-1, -1, 9, 0xFFFFFFFFu, 1, 0},
                                {1, -1, 9, 0xFFFFFFFFu, 1, 1}};
    device_->BeginScene();
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, floor, sizeof(XyzVertex));
    device_->EndScene();
    // The screen row of depth z is y = 32 + 32 / z; u = (z - 1) / 8 there, texel floor(8u).
    for (float z : {1.6f, 2.5f, 4.2f, 7.0f}) {
        const int row = static_cast<int>(32.0f + 32.0f / z);
        const float zc = 32.0f / (static_cast<float>(row) + 0.5f - 32.0f);
        const int stripe = static_cast<int>((zc - 1.0f) / 8.0f * 8.0f);
        EXPECT_EQ(static_cast<int>(Pixel(32, row) & 0xFF), stripe * 32) << "row " << row;
    }

    // A triangle that crosses the camera plane is clipped at the near plane, not discarded
    // or wrapped around: the part in front of the camera is still drawn.
    UseTarget(64, 64, 0);
    const XyzVertex crossing[3] = {{-4, -1, -3, 0xFFFFFFFFu, 0, 0},
                                   {4, -1, -3, 0xFFFFFFFFu, 0, 0},
                                   {0, -1, 8, 0xFFFFFFFFu, 0, 0}};
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->BeginScene();
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, crossing, sizeof(XyzVertex));
    device_->EndScene();
    EXPECT_EQ(Pixel(32, 40) >> 24, 0xFFu);  // floor below the horizon, in front: drawn
    EXPECT_EQ(Pixel(32, 20), 0x00000000u);  // above the horizon: nothing
    EXPECT_EQ(Pixel(2, 62) >> 24, 0xFFu);   // near the camera, cut by the near plane
}

TEST_F(DeviceTest, StateLeftByOneDrawIsSeenByTheNext) {
    PlainTextureStates(false);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetTexture(0, MakeTexture(2, 1, {0xFF0000FFu, 0xFF00FF00u}));
    UseTarget(8, 1);
    DrawRect(0, 0, 8, 1, 2.0f, 1.0f);
    EXPECT_EQ(Pixel(7, 0), 0xFF00FF00u);  // clamp: the last texel repeats
    // A later drawing that sets nothing still finds clamp and the bound texture.
    UseTarget(8, 1);
    DrawRect(0, 0, 8, 1, 2.0f, 1.0f);
    EXPECT_EQ(Pixel(5, 0), 0xFF00FF00u);
    // Changing the render target resets the viewport to the new target.
    device_->SetViewport({0, 0, 4, 1, 0.0f, 1.0f});
    UseTarget(8, 2);
    EXPECT_EQ(device_->GetViewport().Width, 8u);
    EXPECT_EQ(device_->GetViewport().Height, 2u);
}

TEST_F(DeviceTest, ClearCoversTheViewportOnly) {
    UseTarget(8, 8, 0xFF000000u);
    device_->SetViewport({2, 2, 4, 4, 0.0f, 1.0f});
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(Pixel(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(6, 6), 0xFF000000u);
    const RECT r{0, 0, 3, 3};
    device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    EXPECT_EQ(Pixel(2, 2), 0xFF0000FFu);
    EXPECT_EQ(Pixel(3, 3), 0xFFFFFFFFu);
}

TEST_F(DeviceTest, SwapChainsPresentTheirBackBufferToTheirWindow) {
    CaptureWindow window;
    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = &window;
    pp.Windowed = 1;
    auto chain = device_->CreateAdditionalSwapChain(pp);  // size 0: the window's client size
    auto back = chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    EXPECT_EQ(back->width(), 40);
    EXPECT_EQ(back->height(), 30);
    device_->SetRenderTarget(back, nullptr);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00123456u, 1.0f, 0);
    chain->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(window.presents, 1);
    EXPECT_EQ(window.width, 40);
    EXPECT_EQ(window.first & 0x00FFFFFFu, 0x123456u);

    // A 16-bit desktop: what is drawn is quantised to 5-6-5.
    pp.BackBufferFormat = D3DFMT_R5G6B5;
    pp.BackBufferWidth = 2;
    pp.BackBufferHeight = 2;
    auto chain16 = device_->CreateAdditionalSwapChain(pp);
    device_->SetRenderTarget(chain16->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO), nullptr);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF8001u, 1.0f, 0);
    chain16->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(window.first & 0x00FFFFFFu, 0xFF8200u);
}

TEST_F(DeviceTest, TextureMemoryFallsAndRisesWithTextures) {
    const std::uint32_t before = device_->GetAvailableTextureMem();
    auto big = device_->CreateTexture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    EXPECT_EQ(before - device_->GetAvailableTextureMem(), 4u * 1024 * 1024);
    big.reset();
    EXPECT_EQ(device_->GetAvailableTextureMem(), before);
}

TEST_F(DeviceTest, BadRequestsFailWithACodeAndAMessage) {
    const auto expectError = [](auto&& call, HRESULT code) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.code(), code);
            EXPECT_GT(std::strlen(e.what()), 10u);
        }
    };
    expectError([&] { device_->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); },
                D3DERR_INVALIDCALL);
    expectError([&] { device_->CreateTexture(16, -4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); },
                D3DERR_INVALIDCALL);
    expectError(
        [&] {
            device_->CreateTexture(kMaxTextureSize + 1, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        },
        D3DERR_INVALIDCALL);
    auto t = device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    t->LockRect(0, nullptr, 0);
    expectError([&] { t->LockRect(0, nullptr, 0); }, D3DERR_INVALIDCALL);
    t->UnlockRect(0);
    expectError([&] { t->UnlockRect(0); }, D3DERR_INVALIDCALL);
    expectError([&] { t->LockRect(1, nullptr, 0); }, D3DERR_INVALIDCALL);
    // Drawing outside a scene, a second BeginScene.
    device_->SetVertexShader(kTlFvf);
    const TlVertex v[3] = {};
    expectError([&] { device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex)); },
                D3DERR_INVALIDCALL);
    device_->BeginScene();
    expectError([&] { device_->BeginScene(); }, D3DERR_INVALIDCALL);
    device_->EndScene();
    // Viewport outside the target, a depth surface smaller than the target.
    UseTarget(8, 8);
    expectError([&] { device_->SetViewport({4, 0, 8, 8, 0.0f, 1.0f}); }, D3DERR_INVALIDCALL);
    auto small = device_->CreateDepthStencilSurface(4, 4, D3DFMT_D16, D3DMULTISAMPLE_NONE);
    expectError([&] { device_->SetRenderTarget(target_, small); }, D3DERR_INVALIDCALL);
    // Depth formats the adapter does not match.
    AdapterInfo info;
    info.depthFormats = {D3DFMT_D24X8, D3DFMT_D16};
    auto d3d = Direct3DCreate8(info);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8,
                                          D3DFMT_D32),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8,
                                          D3DFMT_D24X8),
              D3D_OK);
}

TEST_F(DeviceTest, MeshDrawsItsAttributeGroupWithItsOwnVertexFormat) {
    device_->SetRenderState(D3DRS_LIGHTING, 0);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    // Two triangles in two groups: group 0 covers the left half of the view, group 1 the right.
    const XyzVertex verts[6] = {
        {-1, -1, 0.5f, 0xFFFF0000u, 0, 0}, {-1, 1, 0.5f, 0xFFFF0000u, 0, 0},
        {0, 0, 0.5f, 0xFFFF0000u, 0, 0},   {1, -1, 0.5f, 0xFF00FF00u, 0, 0},
        {1, 1, 0.5f, 0xFF00FF00u, 0, 0},   {0.1f, 0, 0.5f, 0xFF00FF00u, 0, 0}};
    std::vector<std::uint8_t> bytes(sizeof verts);
    std::memcpy(bytes.data(), verts, sizeof verts);
    Mesh mesh(device_, kXyzFvf, bytes, {0, 1, 2, 3, 4, 5}, {{0, 0, 1}, {1, 1, 1}});
    device_->SetVertexShader(0x1C4);
    UseTarget(16, 16, 0);
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    device_->BeginScene();
    mesh.DrawSubset(0);
    device_->EndScene();
    EXPECT_EQ(device_->GetVertexShader(), kXyzFvf);
    EXPECT_EQ(Pixel(2, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(13, 8), 0u);  // group 1 not drawn
}

}  // namespace
}  // namespace tintora
