// The software device: its default states, rasterisation rules, filtering, the pixel pipeline,
// depth, culling, perspective, clearing, presenting, meshes and the refusals.
#include "device/device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

#include "base/error.h"
#include "support/test_device.h"

namespace tintora {
namespace {

using Pixels = std::vector<std::uint32_t>;
constexpr std::uint32_t kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kGreen = 0xFF00FF00,
                        kBlue = 0xFF0000FF;

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
    // Makes a w x h A8R8G8B8 render target (with a depth surface when asked), cleared to clear.
    void UseTarget(int w, int h, std::uint32_t clear = 0, bool depth = false) {
        target_ = device_->CreateImageSurface(w, h, D3DFMT_A8R8G8B8);
        device_->SetRenderTarget(target_, depth ? device_->CreateDepthStencilSurface(
                                                      w, h, D3DFMT_D24X8, D3DMULTISAMPLE_NONE)
                                                : nullptr);
        device_->Clear(0, nullptr, depth ? 3u : 1u, clear, 1.0f, 0);
    }
    // n pixels of row y of the target, from x on.
    Pixels Row(int y, int n, int x = 0) const {
        Pixels out(static_cast<std::size_t>(n));
        std::memcpy(out.data(), target_->bits() + y * target_->pitch() + x * 4, out.size() * 4);
        return out;
    }
    std::uint32_t Pixel(int x, int y) const { return Row(y, 1, x)[0]; }

    std::shared_ptr<Texture> MakeTexture(int w, int h, const Pixels& texels) {
        auto t = device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        std::memcpy(t->LockRect(0, nullptr, 0).pBits, texels.data(), texels.size() * 4);
        t->UnlockRect(0);
        return t;
    }
    void Draw(D3DPRIMITIVETYPE type, int count, const void* vertices, std::uint32_t stride) {
        device_->BeginScene();
        device_->DrawPrimitiveUP(type, count, vertices, stride);
        device_->EndScene();
    }
    // A screen-space rectangle as a strip, texture coordinates 0..u1 and 0..v1.
    void DrawRect(float x, float y, float w, float h, float u1 = 1, float v1 = 1,
                  std::uint32_t diffuse = kWhite, float z = 0.5f) {
        const TlVertex v[4] = {{x, y, z, 1, diffuse, 0, 0, 0},
                               {x + w, y, z, 1, diffuse, 0, u1, 0},
                               {x, y + h, z, 1, diffuse, 0, 0, v1},
                               {x + w, y + h, z, 1, diffuse, 0, u1, v1}};
        device_->SetVertexShader(kTlFvf);
        Draw(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
    }
    // No lighting or culling; with diffuseOnly the diffuse colour and alpha alone, else the
    // default stage 0: the texture (point-sampled) times the diffuse colour, the texture's alpha.
    void PlainStates(bool diffuseOnly) {
        device_->SetRenderState(D3DRS_LIGHTING, 0);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        if (!diffuseOnly) return;
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    std::shared_ptr<Device> device_ = testing::MakeTestDevice(Direct3DCreate8());
    std::shared_ptr<Surface> target_;
};

// A 4 x 4 texture drawn 1:1 is sharp under linear filtering; moved by half a pixel, each pixel
// lies halfway between two texels (the first wrapping to the last texel of its row).
TEST_F(DeviceTest, OneToOneQuadIsSharpUnderLinearFilteringAndHalfPixelOffsetsBlend) {
    PlainStates(false);
    device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    Pixels texels(16);
    for (int i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 16);
    device_->SetTexture(0, MakeTexture(4, 4, texels));
    UseTarget(8, 8, kGreen);
    DrawRect(2, 3, 4, 4);
    for (int y = 0; y < 4; ++y) {
        const std::uint32_t* t = &texels[y * 4];
        EXPECT_EQ(Row(3 + y, 6, 1), (Pixels{kGreen, t[0], t[1], t[2], t[3], kGreen})) << y;
    }
    EXPECT_EQ(Pixel(2, 7), kGreen);
    UseTarget(8, 8, kGreen);
    DrawRect(2.5f, 3, 4, 4);
    EXPECT_EQ(Row(3, 6, 1),
              (Pixels{kGreen, 0xFF000018, 0xFF000008, 0xFF000018, 0xFF000028, kGreen}));
}

// One textured rectangle of w x 1 pixels, texture coordinates 0..u across, over a cleared target.
// Two texels stretched over 8 pixels put pixel centres on texel coordinates (x + 0.5) u / 4 - 0.5,
// where linear filtering weighs the two nearest texels by distance.
TEST_F(DeviceTest, PixelPipeline) {
    const auto blues = [](std::initializer_list<std::uint32_t> values) {
        Pixels out;
        for (std::uint32_t v : values)
            out.push_back(0xFF000000u | v);
        return out;
    };
    const std::uint32_t B = kBlue, G = kGreen, K = 0x11223344;  // K: the cleared target
    const Pixels alphas = {0x00FFFFFF, 0x7FFFFFFF, 0x80FFFFFF, 0xFFFFFFFF};
    const std::uint32_t linear = D3DTEXF_LINEAR, point = D3DTEXF_POINT, wrap = D3DTADDRESS_WRAP,
                        clamp = D3DTADDRESS_CLAMP, none = 0;
    const struct {
        const char* name;
        std::uint32_t filter, address, alphaFunc;  // alphaFunc 0: no alpha test
        bool blend;                                // source alpha over the target
        Pixels texels;                             // a row; none: no texture bound
        int width;
        float u;
        std::uint32_t clear, diffuse;
        Pixels want;
    } cases[] = {
        {"linear, clamp", linear, clamp, none, false, blues({0, 200}), 8, 1, 0, kWhite,
         blues({0, 0, 25, 75, 125, 175, 200, 200})},
        {"linear, wrap", linear, wrap, none, false, blues({0, 200}), 8, 1, 0, kWhite,
         blues({75, 25, 25, 75, 125, 175, 175, 125})},
        {"point, wrap", point, wrap, none, false, Pixels{B, G}, 8, 2, 0, kWhite,
         Pixels{B, B, G, G, B, B, G, G}},
        {"point, clamp", point, clamp, none, false, Pixels{B, G}, 8, 2, 0, kWhite,
         Pixels{B, B, G, G, G, G, G, G}},
        // round(255 x 128 / 255) = 128, round(128 x 128 / 255) = 64, round(64 x 128 / 255) = 32
        {"modulate", point, wrap, none, false, Pixels{0xFFFF8040}, 1, 1, 0, 0xFF808080,
         Pixels{0xFF804020}},
        // (r 200, g 100, b 0, a 64) over (r 0, g 50, b 255): round((s a + d (255 - a)) / 255)
        {"blend", point, wrap, none, true, Pixels{0x40C86400}, 1, 1, 0xFF0032FF, kWhite,
         Pixels{0xCF323FBF}},
        // Onto transparent black every channel becomes round(c x a / 255).
        {"premultiply", point, wrap, none, true, Pixels{0x80FF7F01}, 1, 1, 0, kWhite,
         Pixels{0x40804001}},
        // Without a texture the stage reads transparent black; blending keeps the target.
        {"no texture", point, wrap, none, true, Pixels{}, 1, 1, 0xFF123456, kWhite,
         Pixels{0xFF123456}},
        // The alpha test against reference 0x80.
        {"always", point, wrap, D3DCMP_ALWAYS, false, alphas, 4, 1, K, kWhite, alphas},
        {"greater or equal", point, wrap, D3DCMP_GREATEREQUAL, false, alphas, 4, 1, K, kWhite,
         Pixels{K, K, alphas[2], alphas[3]}},
        {"greater", point, wrap, D3DCMP_GREATER, false, alphas, 4, 1, K, kWhite,
         Pixels{K, K, K, alphas[3]}},
        {"less", point, wrap, D3DCMP_LESS, false, alphas, 4, 1, K, kWhite,
         Pixels{alphas[0], alphas[1], K, K}},
        {"equal", point, wrap, D3DCMP_EQUAL, false, alphas, 4, 1, K, kWhite,
         Pixels{K, K, alphas[2], K}},
        {"never", point, wrap, D3DCMP_NEVER, false, alphas, 4, 1, K, kWhite, Pixels(4, K)},
    };
    for (const auto& c : cases) {
        device_ = testing::MakeTestDevice(Direct3DCreate8());
        PlainStates(false);
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, c.filter);
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, c.filter);
        device_->SetTextureStageState(0, D3DTSS_ADDRESSU, c.address);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blend ? 1 : 0);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, c.alphaFunc != none ? 1 : 0);
        device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
        device_->SetRenderState(D3DRS_ALPHAFUNC, c.alphaFunc);
        const auto size = static_cast<int>(c.texels.size());
        device_->SetTexture(0, size == 0 ? nullptr : MakeTexture(size, 1, c.texels));
        UseTarget(c.width, 1, c.clear);
        DrawRect(0, 0, static_cast<float>(c.width), 1, c.u, 1, c.diffuse);
        EXPECT_EQ(Row(0, c.width), c.want) << c.name;
    }
}

// Additive blending of 1 per draw reveals pixels drawn twice: a fan of triangles around an
// interior point, vertices on pixel centres and edges, draws each pixel at most once. A pixel
// whose centre lies on a left edge is drawn, one on a right edge is not.
TEST_F(DeviceTest, TopLeftRuleDrawsSharedEdgesOnce) {
    PlainStates(true);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    UseTarget(16, 16);
    const float fan[][2] = {{7.5f, 8},  {1, 1},       {15, 0.5f}, {15.5f, 15},
                            {3, 14.5f}, {0.5f, 7.5f}, {1, 1}};
    std::vector<TlVertex> v;
    for (const auto& p : fan)
        v.push_back({p[0], p[1], 0.5f, 1, 0x01010101u, 0, 0, 0});
    device_->SetVertexShader(kTlFvf);
    Draw(D3DPT_TRIANGLEFAN, 5, v.data(), sizeof(TlVertex));
    std::uint32_t covered = 0;
    for (int y = 0; y < 16; ++y) {
        for (std::uint32_t pixel : Row(y, 16)) {
            EXPECT_LE(pixel & 0xFF, 1u) << "row " << y;
            covered += pixel & 0xFF;
        }
    }
    EXPECT_GT(covered, 150u);
    UseTarget(4, 1);
    DrawRect(0.5f, 0, 2, 1, 1, 1, 0x01010101u);
    EXPECT_EQ(Row(0, 3), (Pixels{0x01010101u, 0x01010101u, 0}));
}

TEST_F(DeviceTest, DepthTestHidesWhatLiesBehind) {
    PlainStates(true);
    UseTarget(8, 8, 0, true);  // depth is on by default on a device with a depth buffer
    DrawRect(0, 0, 8, 8, 1, 1, kRed, 0.25f);
    DrawRect(2, 2, 4, 4, 1, 1, kBlue, 0.75f);
    EXPECT_EQ(Pixel(4, 4), kRed);
    DrawRect(0, 0, 8, 8, 1, 1, kGreen, 0.25f);  // equal depth passes LESSEQUAL
    EXPECT_EQ(Pixel(4, 4), kGreen);
    device_->SetRenderState(D3DRS_ZENABLE, 0);
    DrawRect(0, 0, 8, 8, 1, 1, kBlue, 0.9f);
    EXPECT_EQ(Pixel(4, 4), kBlue);
}

TEST_F(DeviceTest, CullingDropsTrianglesByTheirWinding) {
    EXPECT_EQ(device_->GetRenderState(D3DRS_CULLMODE), D3DCULL_CCW);  // a fresh device's
    PlainStates(true);
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
            EXPECT_EQ(Pixel(1, 1) == kWhite, tri == clockwise ? cwDrawn : ccwDrawn) << mode;
        }
    }
}

// A floor receding from the camera: texture coordinates follow perspective. A triangle that
// crosses the camera plane is clipped at the near plane, not discarded or wrapped around.
TEST_F(DeviceTest, PerspectiveCorrectTexturingAndNearPlaneClipping) {
    PlainStates(false);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    Pixels texels(8);  // vertical stripes of blue 0, 32, ..., 224
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
    UseTarget(64, 64);
    const XyzVertex crossing[3] = {
        {-4, -1, -3, kWhite, 0, 0}, {4, -1, -3, kWhite, 0, 0}, {0, -1, 8, kWhite, 0, 0}};
    Draw(D3DPT_TRIANGLELIST, 1, crossing, sizeof(XyzVertex));
    EXPECT_EQ(Pixel(32, 40) >> 24, 0xFFu);  // floor below the horizon, in front: drawn
    EXPECT_EQ(Pixel(32, 20), 0x00000000u);  // above the horizon: nothing
    EXPECT_EQ(Pixel(2, 62) >> 24, 0xFFu);   // near the camera, cut by the near plane
}

// Clear covers the viewport (and the rectangles, when given); a new target resets the viewport.
TEST_F(DeviceTest, ClearCoversTheViewportWhichFollowsTheTarget) {
    UseTarget(8, 8, kRed);
    device_->SetViewport({2, 2, 4, 4, 0.0f, 1.0f});
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0);
    const RECT r{0, 0, 3, 3};
    device_->Clear(1, &r, D3DCLEAR_TARGET, kBlue, 1.0f, 0);
    EXPECT_EQ(Row(2, 6, 1), (Pixels{kRed, kBlue, kWhite, kWhite, kWhite, kRed}));
    EXPECT_EQ(Row(1, 2, 1), (Pixels{kRed, kRed}));
    UseTarget(8, 2);
    EXPECT_EQ(std::pair(device_->GetViewport().Width, device_->GetViewport().Height),
              std::pair(8u, 2u));
}

class CaptureWindow : public PresentTarget {
  public:
    int ClientWidth() const override { return 40; }
    int ClientHeight() const override { return 30; }
    void PresentImage(const ImageView& image) override {
        presented.push_back(*reinterpret_cast<const std::uint32_t*>(image.bits) & 0xFFFFFF);
    }
    Pixels presented;  // the first pixel of each image
};

// A swap chain of size 0 takes the window's client size and presents its back buffer there.
TEST_F(DeviceTest, SwapChainsPresentTheirBackBufferToTheirWindow) {
    CaptureWindow window;
    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = &window;
    pp.Windowed = 1;
    auto chain = device_->CreateAdditionalSwapChain(pp);
    auto back = chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    EXPECT_EQ(std::pair(back->width(), back->height()), std::pair(40, 30));
    device_->SetRenderTarget(back, nullptr);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00123456u, 1.0f, 0);
    chain->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(window.presented, Pixels{0x123456u});
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

// New storage reads as zeros, small or large, also where a released surface's memory was written;
// given pixels become the level's storage uncopied, and pixels of the wrong size are refused.
TEST_F(DeviceTest, TexturesStartClearedOrTakeOverTheirPixels) {
    for (int side : {8, 3000}) {
        for (int round = 0; round < 2; ++round) {
            auto t = device_->CreateTexture(side, side, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
            const Surface& level = *t->GetSurfaceLevel(0);
            EXPECT_TRUE(std::all_of(level.bits(), level.bits() + level.byteSize(),
                                    [](std::uint8_t b) { return b == 0; }))
                << side;
            std::memset(t->GetSurfaceLevel(0)->bits(), 0xAB, level.byteSize());
        }
    }
    ByteBuffer pixels(4 * 3 * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>(i);
    const ByteBuffer want = pixels;
    const std::uint8_t* where = pixels.data();
    auto t = device_->CreateTexture(4, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    std::move(pixels));
    EXPECT_EQ(t->GetSurfaceLevel(0)->bits(), where);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), t->GetSurfaceLevel(0)->bits()));
    EXPECT_EQ(ErrorOf([&] {
                  device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, want);
              }),
              D3DERR_INVALIDCALL);
}

// Two triangles in two groups, group 0 on the left half of the view: DrawSubset(0) draws it alone,
// with the mesh's own vertex format.
TEST_F(DeviceTest, MeshDrawsItsAttributeGroupWithItsOwnVertexFormat) {
    PlainStates(true);
    const XyzVertex verts[6] = {{-1, -1, 0.5f, kRed, 0, 0}, {-1, 1, 0.5f, kRed, 0, 0},
                                {0, 0, 0.5f, kRed, 0, 0},   {1, -1, 0.5f, kGreen, 0, 0},
                                {1, 1, 0.5f, kGreen, 0, 0}, {0.1f, 0, 0.5f, kGreen, 0, 0}};
    std::vector<std::uint8_t> bytes(sizeof verts);
    std::memcpy(bytes.data(), verts, sizeof verts);
    Mesh mesh(device_, kXyzFvf, bytes, {0, 1, 2, 3, 4, 5}, {{0, 0, 1}, {1, 1, 1}});
    device_->SetVertexShader(kTlFvf);
    UseTarget(16, 16, 0);
    device_->BeginScene();
    mesh.DrawSubset(0);
    device_->EndScene();
    EXPECT_EQ(device_->GetVertexShader(), kXyzFvf);
    EXPECT_EQ(Pixel(2, 8), kRed);
    EXPECT_EQ(Pixel(13, 8), 0u);  // group 1 not drawn
}

}  // namespace
}  // namespace tintora
