// D3DXCheckTextureRequirements and the render-to-surface helper.
#include "device/d3dx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/error.h"
#include "support/test_device.h"

namespace tintora {
namespace {

class D3DXTest : public ::testing::Test {
  protected:
    std::shared_ptr<Surface> TextureSurface(int w, int h) {
        return device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)
            ->GetSurfaceLevel(0);
    }
    std::shared_ptr<Device> device_ = testing::MakeTestDevice(Direct3DCreate8());
};

void ExpectViewport(const D3DVIEWPORT8& got, const D3DVIEWPORT8& want) {
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
        << got.X << " " << got.Y << " " << got.Width << " " << got.Height << " " << got.MinZ << " "
        << got.MaxZ;
}

TEST_F(D3DXTest, CheckTextureRequirements) {
    const D3DFORMAT argb = D3DFMT_A8R8G8B8;
    const struct {
        int width, height;
        std::uint32_t levels;
        D3DFORMAT format;
        int wantWidth, wantHeight;
        std::uint32_t wantLevels;
        D3DFORMAT wantFormat;
    } cases[] = {
        // A full chain needs powers of two; levels becomes log2(largest side) + 1.
        {200, 100, 0, argb, 256, 128, 9, argb},
        {640, 480, 0, argb, 1024, 512, 11, argb},
        {0, 0, 0, argb, 1, 1, 1, argb},
        {9000, 9000, 0, argb, 8192, 8192, 14, argb},
        {8193, 3, 0, argb, 8192, 4, 14, argb},
        // A partial chain is rounded too and keeps its length when the chain is long enough.
        {100, 100, 3, argb, 128, 128, 3, argb},
        {4, 4, 10, argb, 4, 4, 3, argb},
        // One level: any size in range.
        {640, 480, 1, argb, 640, 480, 1, argb},
        {-5, 3, 1, argb, 1, 3, 1, argb},
        {9000, 8192, 1, argb, 8192, 8192, 1, argb},
        // Texture formats are kept; anything else becomes A8R8G8B8.
        {16, 16, 1, D3DFMT_R5G6B5, 16, 16, 1, D3DFMT_R5G6B5},
        {16, 16, 1, D3DFMT_DXT3, 16, 16, 1, D3DFMT_DXT3},
        {16, 16, 1, D3DFMT_L8, 16, 16, 1, D3DFMT_L8},
        {16, 16, 1, D3DFMT_UNKNOWN, 16, 16, 1, argb},
        {16, 16, 1, D3DFMT_D24S8, 16, 16, 1, argb},
        {16, 16, 1, static_cast<D3DFORMAT>(12345), 16, 16, 1, argb},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " levels " << c.levels
                                          << " " << FormatName(c.format));
        int width = c.width, height = c.height;
        std::uint32_t levels = c.levels;
        D3DFORMAT format = c.format;
        D3DXCheckTextureRequirements(*device_, &width, &height, &levels, 0, &format,
                                     D3DPOOL_MANAGED);
        EXPECT_EQ(width, c.wantWidth);
        EXPECT_EQ(height, c.wantHeight);
        EXPECT_EQ(levels, c.wantLevels);
        EXPECT_EQ(format, c.wantFormat);
    }
    // Every argument may be left out; without a levels pointer one level is meant.
    D3DXCheckTextureRequirements(*device_, nullptr, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED);
    int width = 300;
    D3DXCheckTextureRequirements(*device_, &width, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED);
    EXPECT_EQ(width, 300);
}

TEST_F(D3DXTest, RenderToSurfaceDrawsIntoTheSurfaceAndRestoresTheDevice) {
    const std::shared_ptr<Surface> backBuffer = device_->GetRenderTarget();
    const std::shared_ptr<Surface> backDepth = device_->GetDepthStencilSurface();
    const D3DVIEWPORT8 before{3, 4, 20, 10, 0.25f, 0.75f};
    device_->SetViewport(before);
    auto surface = TextureSurface(8, 4);
    auto rts = D3DXCreateRenderToSurface(device_, 8, 4, D3DFMT_A8R8G8B8, false, D3DFMT_UNKNOWN);
    const D3DVIEWPORT8 inner{0, 0, 8, 4, 0.0f, 1.0f};
    for (std::uint32_t colour : {0x11223344u, 0xA0B0C0D0u}) {  // the object can be used again
        rts->BeginScene(surface, &inner);
        EXPECT_EQ(device_->GetRenderTarget(), surface);
        EXPECT_EQ(device_->GetDepthStencilSurface(), nullptr);
        ExpectViewport(device_->GetViewport(), inner);
        EXPECT_TRUE(device_->inScene());
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
        rts->EndScene();

        EXPECT_FALSE(device_->inScene());
        EXPECT_EQ(device_->GetRenderTarget(), backBuffer);
        EXPECT_EQ(device_->GetDepthStencilSurface(), backDepth);
        ExpectViewport(device_->GetViewport(), before);
        for (int i = 0; i < 8 * 4; ++i) {
            std::uint32_t pixel;
            std::memcpy(&pixel, surface->bits() + i / 8 * surface->pitch() + i % 8 * 4, 4);
            EXPECT_EQ(pixel, colour);
        }
    }

    // With a depth format the scene gets a depth surface of its own size; without a viewport
    // it covers the whole surface.
    auto withDepth = D3DXCreateRenderToSurface(device_, 16, 8, D3DFMT_A8R8G8B8, true, D3DFMT_D16);
    withDepth->BeginScene(TextureSurface(16, 8), nullptr);
    const std::shared_ptr<Surface> depth = device_->GetDepthStencilSurface();
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->width(), 16);
    EXPECT_EQ(depth->height(), 8);
    ExpectViewport(device_->GetViewport(), {0, 0, 16, 8, 0.0f, 1.0f});
    withDepth->EndScene();
    EXPECT_EQ(device_->GetDepthStencilSurface(), backDepth);
}

TEST_F(D3DXTest, RenderToSurfaceRefusesMisuse) {
    const std::shared_ptr<Surface> backBuffer = device_->GetRenderTarget();
    auto rts = D3DXCreateRenderToSurface(device_, 8, 8, D3DFMT_A8R8G8B8, false, D3DFMT_UNKNOWN);
    const auto expectInvalidCall = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.code(), D3DERR_INVALIDCALL);
        }
    };
    expectInvalidCall([&] { rts->BeginScene(TextureSurface(16, 8), nullptr); });  // wrong size
    expectInvalidCall([&] { rts->BeginScene(nullptr, nullptr); });
    expectInvalidCall([&] { rts->EndScene(); });
    // A refused BeginScene leaves the device as it was.
    EXPECT_EQ(device_->GetRenderTarget(), backBuffer);
    EXPECT_FALSE(device_->inScene());
    auto right = TextureSurface(8, 8);
    rts->BeginScene(right, nullptr);
    expectInvalidCall([&] { rts->BeginScene(right, nullptr); });
    rts->EndScene();
    expectInvalidCall([&] { rts->EndScene(); });
}

}  // namespace
}  // namespace tintora
