// The D3DX helpers: the matrix helpers (by where they send points, left-handed, row vectors),
// D3DXCheckTextureRequirements and the render-to-surface helper.
#include "device/d3dx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

#include "device/d3dx_math.h"
#include "support/test_device.h"

namespace tintora {
namespace {

class D3DXTest : public ::testing::Test {
  protected:
    std::shared_ptr<Surface> TextureSurface(int w, int h) {
        return device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)
            ->GetSurfaceLevel(0);
    }
    void ExpectViewport(const D3DVIEWPORT8& want) {
        const D3DVIEWPORT8 got = device_->GetViewport();
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << got.X << " " << got.Width;
    }
    std::shared_ptr<Device> device_ = testing::MakeTestDevice(Direct3DCreate8());
};

TEST_F(D3DXTest, CheckTextureRequirements) {
    const D3DFORMAT argb = D3DFMT_A8R8G8B8;
    // Width, height, levels and format.
    using Request = std::tuple<int, int, std::uint32_t, D3DFORMAT>;
    const std::pair<Request, Request> cases[] = {
        // A full chain needs powers of two; levels becomes log2(largest side) + 1.
        {{200, 100, 0, argb}, {256, 128, 9, argb}},
        {{0, 0, 0, argb}, {1, 1, 1, argb}},
        {{9000, 9000, 0, argb}, {8192, 8192, 14, argb}},
        // A partial chain keeps its length when the chain is long enough; one level any size.
        {{4, 4, 10, argb}, {4, 4, 3, argb}},
        {{-5, 9000, 1, argb}, {1, 8192, 1, argb}},
        // Texture formats are kept; anything else becomes A8R8G8B8.
        {{16, 16, 1, D3DFMT_DXT3}, {16, 16, 1, D3DFMT_DXT3}},
        {{16, 16, 1, D3DFMT_L8}, {16, 16, 1, D3DFMT_L8}},
        {{16, 16, 1, D3DFMT_D24S8}, {16, 16, 1, argb}},
        {{16, 16, 1, static_cast<D3DFORMAT>(12345)}, {16, 16, 1, argb}},
    };
    for (const auto& [request, want] : cases) {
        auto [width, height, levels, format] = request;
        D3DXCheckTextureRequirements(*device_, &width, &height, &levels, 0, &format,
                                     D3DPOOL_MANAGED);
        EXPECT_EQ(Request(width, height, levels, format), want)
            << ::testing::PrintToString(request);
    }
    // Every argument may be left out; without a levels pointer one level is meant.
    D3DXCheckTextureRequirements(*device_, nullptr, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED);
    int width = 300;
    D3DXCheckTextureRequirements(*device_, &width, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED);
    EXPECT_EQ(width, 300);
}

// A scene on the surface draws there and then restores the device's target, depth surface and
// viewport; the object can be used again.
TEST_F(D3DXTest, RenderToSurfaceDrawsIntoTheSurfaceAndRestoresTheDevice) {
    const std::shared_ptr<Surface> backBuffer = device_->GetRenderTarget();
    const std::shared_ptr<Surface> backDepth = device_->GetDepthStencilSurface();
    const D3DVIEWPORT8 before{3, 4, 20, 10, 0.25f, 0.75f};
    device_->SetViewport(before);
    auto surface = TextureSurface(8, 4);
    auto rts = D3DXCreateRenderToSurface(device_, 8, 4, D3DFMT_A8R8G8B8, false, D3DFMT_UNKNOWN);
    const D3DVIEWPORT8 inner{0, 0, 8, 4, 0.0f, 1.0f};
    for (std::uint32_t colour : {0x11223344u, 0xA0B0C0D0u}) {
        rts->BeginScene(surface, &inner);
        EXPECT_EQ(device_->GetRenderTarget(), surface);
        EXPECT_EQ(device_->GetDepthStencilSurface(), nullptr);
        ExpectViewport(inner);
        EXPECT_TRUE(device_->inScene());
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
        rts->EndScene();
        EXPECT_FALSE(device_->inScene());
        EXPECT_EQ(device_->GetRenderTarget(), backBuffer);
        EXPECT_EQ(device_->GetDepthStencilSurface(), backDepth);
        ExpectViewport(before);
        std::uint32_t last;
        std::memcpy(&last, surface->bits() + 3 * surface->pitch() + 7 * 4, 4);
        EXPECT_EQ(last, colour);
    }
}

constexpr float kQuarter = std::numbers::pi_v<float> / 2.0f;

D3DXMATRIX Perspective(float aspect) {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, kQuarter, aspect, 1.0f, 10000.0f);
    return m;
}

D3DXMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at = {0, 0, 0}) {
    const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    return m;
}

D3DXMATRIX YawPitchRoll(float yaw, float pitch, float roll) {
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
    return m;
}

TEST(D3DXMath, MatricesSendPointsWhereExpected) {
    const float q = kQuarter;
    const struct {
        const char* name;
        D3DXMATRIX m;
        D3DXVECTOR3 in, out;
    } cases[] = {
        // A quarter-turn field of view: the near plane to depth 0, the far plane to 1, the top
        // edge of the view to y = 1; the aspect divides x.
        {"near plane", Perspective(1), {0, 0, 1}, {0, 0, 0}},
        {"far plane", Perspective(1), {0, 0, 10000}, {0, 0, 1}},
        {"top edge, aspect", Perspective(2), {5, 5, 5}, {0.5f, 1, 10000.0f / 9999.0f * 0.8f}},
        // +x stays to the right and +y up when looking down +z; from +x, world +z is right.
        {"look at, x", LookAt({0, 0, -5}), {1, 0, 0}, {1, 0, 5}},
        {"look at, y", LookAt({0, 0, -5}), {0, 1, 0}, {0, 1, 5}},
        {"look at from +x", LookAt({10, 0, 0}), {0, 0, 1}, {1, 0, 10}},
        // Looking along the positive axis a positive angle turns clockwise.
        {"roll", YawPitchRoll(0, 0, q), {1, 0, 0}, {0, 1, 0}},
        {"pitch", YawPitchRoll(0, q, 0), {0, 1, 0}, {0, 0, 1}},
        {"yaw", YawPitchRoll(q, 0, 0), {0, 0, 1}, {1, 0, 0}},
        // Roll, then pitch, then yaw; each case tells one order from the opposite one.
        {"roll then pitch", YawPitchRoll(0, q, q), {1, 0, 0}, {0, 0, 1}},
        {"pitch then yaw", YawPitchRoll(q, q, 0), {0, 1, 0}, {1, 0, 0}},
        {"roll then yaw", YawPitchRoll(q, 0, q), {1, 0, 0}, {0, 1, 0}},
    };
    for (const auto& c : cases) {
        D3DXVECTOR3 got;
        D3DXVec3TransformCoord(&got, &c.in, &c.m);
        EXPECT_NEAR(got.x, c.out.x, 1e-5f) << c.name;
        EXPECT_NEAR(got.y, c.out.y, 1e-5f) << c.name;
        EXPECT_NEAR(got.z, c.out.z, 1e-5f) << c.name;
    }
}

// With the eye on the target there is no direction: every point goes to the origin, no NaN.
TEST(D3DXMath, LookAtWithTheEyeOnTheTargetIsFinite) {
    const D3DXMATRIX m = LookAt({1, 2, 3}, {1, 2, 3});
    const D3DXVECTOR3 point{7.0f, -3.0f, 2.0f};
    D3DXVECTOR4 out;
    D3DXVec3Transform(&out, &point, &m);
    EXPECT_EQ(std::vector<float>({out.x, out.y, out.z, out.w}), std::vector<float>({0, 0, 0, 1}));
}

}  // namespace
}  // namespace tintora
