// The software device: its default states, rasterisation rules, filtering, the pixel pipeline,
// depth, culling, perspective, presenting and the refusals.
#include "device/device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <numbers>
#include <vector>

#include "base/error.h"
#include "support/test_device.h"

namespace tintora {
namespace {

using Pixels = std::vector<std::uint32_t>;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

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

    std::shared_ptr<Texture> MakeTexture(int w, int h, const Pixels& texels) {
        auto t = device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        D3DLOCKED_RECT lr = t->LockRect(0, nullptr, 0);
        std::memcpy(lr.pBits, texels.data(), texels.size() * 4);
        t->UnlockRect(0);
        return t;
    }

    void Draw(D3DPRIMITIVETYPE type, int count, const void* vertices, std::uint32_t stride) {
        device_->BeginScene();
        device_->DrawPrimitiveUP(type, count, vertices, stride);
        device_->EndScene();
    }

    // A screen-space rectangle as a strip, drawn with the current states.
    void DrawRect(float x, float y, float w, float h, float u1 = 1.0f, float v1 = 1.0f,
                  std::uint32_t diffuse = kWhite, float z = 0.5f) {
        const TlVertex v[4] = {{x, y, z, 1.0f, diffuse, 0, 0.0f, 0.0f},
                               {x + w, y, z, 1.0f, diffuse, 0, u1, 0.0f},
                               {x, y + h, z, 1.0f, diffuse, 0, 0.0f, v1},
                               {x + w, y + h, z, 1.0f, diffuse, 0, u1, v1}};
        device_->SetVertexShader(kTlFvf);
        Draw(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
    }

    // No lighting, culling or depth; the texture filtered as asked, times the diffuse colour.
    void PlainTextureStates(bool linear) {
        device_->SetRenderState(D3DRS_LIGHTING, 0);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRS_ZENABLE, 0);
        const std::uint32_t f = linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, f);
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, f);
    }

    // The diffuse colour alone, no lighting.
    void DiffuseStates() {
        device_->SetRenderState(D3DRS_LIGHTING, 0);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    std::shared_ptr<Direct3D8> d3d_;
    std::shared_ptr<Device> device_;
    std::shared_ptr<Surface> target_;
    std::shared_ptr<Surface> depth_;
};

TEST_F(DeviceTest, FreshDeviceHoldsDirect3DDefaults) {
    const std::pair<D3DRENDERSTATETYPE, std::uint32_t> renderStates[] = {
        {D3DRS_ZENABLE, 1},  // an automatic depth buffer
        {D3DRS_ZWRITEENABLE, 1},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_ALPHATESTENABLE, 0},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_ALPHABLENDENABLE, 0},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_LIGHTING, 1},
    };
    for (const auto& [state, value] : renderStates)
        EXPECT_EQ(device_->GetRenderState(state), value) << "render state " << state;
    const std::tuple<std::uint32_t, D3DTEXTURESTAGESTATETYPE, std::uint32_t> stageStates[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE},   {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {0, D3DTSS_COLORARG2, D3DTA_CURRENT},   {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP}, {0, D3DTSS_MAGFILTER, D3DTEXF_POINT},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
    };
    for (const auto& [stage, state, value] : stageStates)
        EXPECT_EQ(device_->GetTextureStageState(stage, state), value) << stage << " " << state;
    EXPECT_EQ(device_->GetViewport().Width, 64u);
    EXPECT_EQ(device_->GetViewport().Height, 64u);
}

TEST_F(DeviceTest, OneToOneQuadIsSharpUnderLinearFilteringAndHalfPixelOffsetsBlend) {
    PlainTextureStates(true);
    Pixels texels(16);
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

// Two texels stretched over 8 pixels: pixel centres fall on texel coordinates (x + 0.5) / 4 - 0.5
// (u = 1), linear filtering weighs the two nearest texels by distance.
TEST_F(DeviceTest, FilteringAndAddressing) {
    const std::uint32_t B = 0xFF0000FFu, G = 0xFF00FF00u;
    const auto blues = [](std::initializer_list<std::uint32_t> values) {
        Pixels out;
        for (std::uint32_t v : values)
            out.push_back(0xFF000000u | v);
        return out;
    };
    const struct {
        const char* name;
        bool linear;
        std::uint32_t address;
        Pixels texels;
        float u;  // at the right edge
        Pixels want;
    } cases[] = {
        {"linear, clamp", true, D3DTADDRESS_CLAMP, blues({0, 200}), 1,
         blues({0, 0, 25, 75, 125, 175, 200, 200})},
        {"linear, wrap", true, D3DTADDRESS_WRAP, blues({0, 200}), 1,
         blues({75, 25, 25, 75, 125, 175, 175, 125})},
        {"point, wrap", false, D3DTADDRESS_WRAP, Pixels{B, G}, 2, Pixels{B, B, G, G, B, B, G, G}},
        {"point, clamp", false, D3DTADDRESS_CLAMP, Pixels{B, G}, 2, Pixels{B, B, G, G, G, G, G, G}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlainTextureStates(c.linear);
        device_->SetTextureStageState(0, D3DTSS_ADDRESSU, c.address);
        device_->SetTexture(0, MakeTexture(2, 1, c.texels));
        UseTarget(8, 1);
        DrawRect(0.0f, 0.0f, 8.0f, 1.0f, c.u);
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Pixel(x, 0), c.want[static_cast<std::size_t>(x)]) << x;
    }
}

TEST_F(DeviceTest, TopLeftRuleDrawsSharedEdgesOnce) {
    // Additive blending of 1 per draw reveals pixels drawn twice or never.
    DiffuseStates();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    UseTarget(16, 16, 0);
    // A fan of triangles around an interior point, vertices on pixel centres and edges.
    const float ring[][2] = {{1, 1}, {15, 0.5f}, {15.5f, 15}, {3, 14.5f}, {0.5f, 7.5f}};
    std::vector<TlVertex> v = {{7.5f, 8.0f, 0.5f, 1, 0xFF010101u, 0, 0, 0}};
    for (const auto& p : ring)
        v.push_back({p[0], p[1], 0.5f, 1, 0xFF010101u, 0, 0, 0});
    v.push_back(v[1]);
    device_->SetVertexShader(kTlFvf);
    Draw(D3DPT_TRIANGLEFAN, 5, v.data(), sizeof(TlVertex));
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

// One textured rectangle over a cleared target: modulation, blending (rounded to nearest), the
// unbound texture and the alpha test against reference 0x80.
TEST_F(DeviceTest, PixelPipeline) {
    const auto blend = [](Device& d) {
        d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    };
    const auto alphaTest = [](D3DCMPFUNC func) {
        return [func](Device& d) {
            d.SetRenderState(D3DRS_ALPHATESTENABLE, 1);
            d.SetRenderState(D3DRS_ALPHAREF, 0x80);
            d.SetRenderState(D3DRS_ALPHAFUNC, func);
        };
    };
    const std::uint32_t K = 0x11223344;  // the cleared target
    const Pixels alphas = {0x00FFFFFF, 0x7FFFFFFF, 0x80FFFFFF, 0xFFFFFFFF};
    const struct {
        const char* name;
        std::function<void(Device&)> states;
        Pixels texels;  // a row; none: no texture bound
        std::uint32_t clear, diffuse;
        Pixels want;
    } cases[] = {
        // round(255 x 128 / 255) = 128, round(128 x 128 / 255) = 64, round(64 x 128 / 255) = 32
        {"modulate", [](Device&) {}, Pixels{0xFFFF8040}, 0, 0xFF808080, Pixels{0xFF804020}},
        // (r 200, g 100, b 0, a 64) over (r 0, g 50, b 255, a 255): round((s a + d (255 - a)) /
        // 255)
        {"blend", blend, Pixels{0x40C86400}, 0xFF0032FF, kWhite, Pixels{0xCF323FBF}},
        // Onto transparent black every channel becomes round(c x a / 255).
        {"premultiply", blend, Pixels{0x80FF7F01}, 0, kWhite, Pixels{0x40804001}},
        // Without a texture the stage reads transparent black; blending keeps the target.
        {"no texture", blend, Pixels{}, 0xFF123456, kWhite, Pixels{0xFF123456}},
        {"always", alphaTest(D3DCMP_ALWAYS), alphas, K, kWhite, alphas},
        {"greater or equal", alphaTest(D3DCMP_GREATEREQUAL), alphas, K, kWhite,
         Pixels{K, K, alphas[2], alphas[3]}},
        {"greater", alphaTest(D3DCMP_GREATER), alphas, K, kWhite, Pixels{K, K, K, alphas[3]}},
        {"less", alphaTest(D3DCMP_LESS), alphas, K, kWhite, Pixels{alphas[0], alphas[1], K, K}},
        {"equal", alphaTest(D3DCMP_EQUAL), alphas, K, kWhite, Pixels{K, K, alphas[2], K}},
        {"never", alphaTest(D3DCMP_NEVER), alphas, K, kWhite, Pixels{K, K, K, K}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        PlainTextureStates(false);
        c.states(*device_);
        const int w = static_cast<int>(std::max<std::size_t>(c.texels.size(), 1));
        device_->SetTexture(0, c.texels.empty() ? nullptr : MakeTexture(w, 1, c.texels));
        UseTarget(w, 1, c.clear);
        DrawRect(0.0f, 0.0f, static_cast<float>(w), 1.0f, 1.0f, 1.0f, c.diffuse);
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(Pixel(x, 0), c.want[static_cast<std::size_t>(x)]) << x;
    }
}

TEST_F(DeviceTest, DepthTestKeepsTheNearerDrawingInEitherOrder) {
    DiffuseStates();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const std::uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
    for (bool nearFirst : {true, false}) {
        UseTarget(8, 8, 0, true);
        for (int i = 0; i < 2; ++i) {
            if ((i == 0) == nearFirst)
                DrawRect(0, 0, 8, 8, 1, 1, red, 0.25f);
            else
                DrawRect(2, 2, 4, 4, 1, 1, blue, 0.75f);
        }
        EXPECT_EQ(Pixel(4, 4), red) << nearFirst;
        EXPECT_EQ(Pixel(0, 0), red) << nearFirst;
    }
    // Equal depth passes LESSEQUAL: the later drawing wins.
    DrawRect(0, 0, 8, 8, 1, 1, green, 0.25f);
    EXPECT_EQ(Pixel(3, 3), green);
    // A depth buffer disabled by state does not hide anything.
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    DrawRect(0, 0, 8, 8, 1, 1, blue, 0.9f);
    EXPECT_EQ(Pixel(3, 3), blue);
}

TEST_F(DeviceTest, CullingDropsTrianglesByTheirWinding) {
    DiffuseStates();
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    const TlVertex clockwise[3] = {{0, 0, 0.5f, 1, kWhite, 0, 0, 0},
                                   {8, 0, 0.5f, 1, kWhite, 0, 0, 0},
                                   {0, 8, 0.5f, 1, kWhite, 0, 0, 0}};
    const TlVertex counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
    device_->SetVertexShader(kTlFvf);
    for (auto [mode, cwDrawn, ccwDrawn] :
         {std::tuple{D3DCULL_CCW, true, false}, std::tuple{D3DCULL_CW, false, true},
          std::tuple{D3DCULL_NONE, true, true}}) {
        device_->SetRenderState(D3DRS_CULLMODE, mode);
        for (const TlVertex* tri : {clockwise, counter}) {
            UseTarget(8, 8, 0);
            Draw(D3DPT_TRIANGLELIST, 1, tri, sizeof(TlVertex));
            const bool expected = tri == clockwise ? cwDrawn : ccwDrawn;
            EXPECT_EQ(Pixel(1, 1) == kWhite, expected) << "cull mode " << mode;
        }
    }
}

// A quad in 3D receding from the camera: texture coordinates must follow perspective.
TEST_F(DeviceTest, PerspectiveCorrectTexturingAndNearPlaneClipping) {
    PlainTextureStates(false);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    // 8 vertical stripes with values 0, 32, ..., 224 in blue.
    Pixels texels(8);
    for (int i = 0; i < 8; ++i)
        texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 32);
    device_->SetTexture(0, MakeTexture(8, 1, texels));
    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, std::numbers::pi_v<float> / 2.0f, 1.0f, 1.0f, 100.0f);
    device_->SetTransform(D3DTS_PROJECTION, proj);
    UseTarget(64, 64);
    device_->SetVertexShader(kXyzFvf);
    // The floor plane y = -1 from z = 1 to z = 9, u along z.
    const XyzVertex floor[4] = {{-1, -1, 1, kWhite, 0, 0},
                                {1, -1, 1, kWhite, 0, 1},
                                {-1, -1, 9, kWhite, 1, 0},
                                {1, -1, 9, kWhite, 1, 1}};
    Draw(D3DPT_TRIANGLESTRIP, 2, floor, sizeof(XyzVertex));
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
    const XyzVertex crossing[3] = {
        {-4, -1, -3, kWhite, 0, 0}, {4, -1, -3, kWhite, 0, 0}, {0, -1, 8, kWhite, 0, 0}};
    Draw(D3DPT_TRIANGLELIST, 1, crossing, sizeof(XyzVertex));
    EXPECT_EQ(Pixel(32, 40) >> 24, 0xFFu);  // floor below the horizon, in front: drawn
    EXPECT_EQ(Pixel(32, 20), 0x00000000u);  // above the horizon: nothing
    EXPECT_EQ(Pixel(2, 62) >> 24, 0xFFu);   // near the camera, cut by the near plane
}

TEST_F(DeviceTest, ClearCoversTheViewportWhichFollowsTheTarget) {
    UseTarget(8, 8, 0xFF000000u);
    device_->SetViewport({2, 2, 4, 4, 0.0f, 1.0f});
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0);
    EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(Pixel(2, 2), kWhite);
    EXPECT_EQ(Pixel(5, 5), kWhite);
    EXPECT_EQ(Pixel(6, 6), 0xFF000000u);
    const RECT r{0, 0, 3, 3};
    device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    EXPECT_EQ(Pixel(2, 2), 0xFF0000FFu);
    EXPECT_EQ(Pixel(3, 3), kWhite);
    // Changing the render target resets the viewport to the new target.
    UseTarget(8, 2);
    EXPECT_EQ(device_->GetViewport().Width, 8u);
    EXPECT_EQ(device_->GetViewport().Height, 2u);
}

class CaptureWindow : public PresentTarget {
  public:
    int ClientWidth() const override { return 40; }
    int ClientHeight() const override { return 30; }
    void PresentImage(const ImageView& image) override {
        width = image.width;
        first = *reinterpret_cast<const std::uint32_t*>(image.bits);
        ++presents;
    }
    int width = 0;
    std::uint32_t first = 0;
    int presents = 0;
};

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

// The code a call fails with (D3D_OK when it does not fail).
template <typename F>
HRESULT ErrorOf(F&& call) {
    try {
        call();
    } catch (const PlatformError& e) {
        return e.code();
    }
    return D3D_OK;
}

TEST_F(DeviceTest, BadRequestsFailWithInvalidCall) {
    const auto texture = [this](int w, int h) {
        return ErrorOf(
            [&] { device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); });
    };
    EXPECT_EQ(texture(0, 16), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture(16, -4), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture(kMaxTextureSize + 1, 4), D3DERR_INVALIDCALL);
    auto t = device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    EXPECT_EQ(ErrorOf([&] { t->LockRect(1, nullptr, 0); }), D3DERR_INVALIDCALL);  // no level 1
    t->LockRect(0, nullptr, 0);
    EXPECT_EQ(ErrorOf([&] { t->LockRect(0, nullptr, 0); }), D3DERR_INVALIDCALL);
    t->UnlockRect(0);
    EXPECT_EQ(ErrorOf([&] { t->UnlockRect(0); }), D3DERR_INVALIDCALL);
    // Drawing outside a scene, a second BeginScene.
    const TlVertex v[3] = {};
    device_->SetVertexShader(kTlFvf);
    EXPECT_EQ(ErrorOf([&] { device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof v[0]); }),
              D3DERR_INVALIDCALL);
    device_->BeginScene();
    EXPECT_EQ(ErrorOf([&] { device_->BeginScene(); }), D3DERR_INVALIDCALL);
    device_->EndScene();
    // A viewport outside the target, a depth surface smaller than the target.
    UseTarget(8, 8);
    EXPECT_EQ(ErrorOf([&] { device_->SetViewport({4, 0, 8, 8, 0.0f, 1.0f}); }), D3DERR_INVALIDCALL);
    auto depth = device_->CreateDepthStencilSurface(4, 4, D3DFMT_D16, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(ErrorOf([&] { device_->SetRenderTarget(target_, depth); }), D3DERR_INVALIDCALL);
    // Depth formats the adapter does not have do not match.
    AdapterInfo info;
    info.depthFormats = {D3DFMT_D24X8, D3DFMT_D16};
    auto d3d = Direct3DCreate8(info);
    for (auto [format, want] : {std::pair{D3DFMT_D32, D3DERR_NOTAVAILABLE}, {D3DFMT_D24X8, D3D_OK}})
        EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8,
                                              format),
                  want);
}

TEST_F(DeviceTest, MeshDrawsItsAttributeGroupWithItsOwnVertexFormat) {
    DiffuseStates();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    // Two triangles in two groups: group 0 covers the left half of the view, group 1 the right.
    const std::uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u;
    const XyzVertex verts[6] = {{-1, -1, 0.5f, red, 0, 0}, {-1, 1, 0.5f, red, 0, 0},
                                {0, 0, 0.5f, red, 0, 0},   {1, -1, 0.5f, green, 0, 0},
                                {1, 1, 0.5f, green, 0, 0}, {0.1f, 0, 0.5f, green, 0, 0}};
    std::vector<std::uint8_t> bytes(sizeof verts);
    std::memcpy(bytes.data(), verts, sizeof verts);
    Mesh mesh(device_, kXyzFvf, bytes, {0, 1, 2, 3, 4, 5}, {{0, 0, 1}, {1, 1, 1}});
    device_->SetVertexShader(kTlFvf);
    UseTarget(16, 16, 0);
    device_->BeginScene();
    mesh.DrawSubset(0);
    device_->EndScene();
    EXPECT_EQ(device_->GetVertexShader(), kXyzFvf);
    EXPECT_EQ(Pixel(2, 8), red);
    EXPECT_EQ(Pixel(13, 8), 0u);  // group 1 not drawn
}

}  // namespace
}  // namespace tintora
