#include "device/d3dx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/error.h"

namespace tintora {
namespace {

class NullWindow : public PresentTarget {
  public:
    int ClientWidth() const override { return 64; }
    int ClientHeight() const override { return 48; }
    void PresentImage(const ImageView&) override {}
};

class D3DXTest : public ::testing::Test {
  protected:
    void SetUp() override {
        D3DPRESENT_PARAMETERS params;
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 48;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.SwapEffect = D3DSWAPEFFECT_COPY;
        params.hDeviceWindow = &window_;
        params.Windowed = 1;
        params.EnableAutoDepthStencil = 1;
        params.AutoDepthStencilFormat = D3DFMT_D16;
        device_ = Direct3DCreate8()->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &window_,
                                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, params);
    }

    NullWindow window_;
    std::shared_ptr<Device> device_;
};

void ExpectViewport(const D3DVIEWPORT8& got, const D3DVIEWPORT8& want) {
    EXPECT_EQ(got.X, want.X);
    EXPECT_EQ(got.Y, want.Y);
    EXPECT_EQ(got.Width, want.Width);
    EXPECT_EQ(got.Height, want.Height);
    EXPECT_EQ(got.MinZ, want.MinZ);
    EXPECT_EQ(got.MaxZ, want.MaxZ);
}

std::uint32_t PixelAt(const Surface& surface, int x, int y) {
    std::uint32_t value;
    std::memcpy(&value, surface.bits() + y * surface.pitch() + 4 * x, 4);
    return value;
}

TEST_F(D3DXTest, CheckTextureRequirementsSizes) {
    struct Case {
        int width;
        int height;
        std::uint32_t levels;
        int wantWidth;
        int wantHeight;
        std::uint32_t wantLevels;
    };
    const Case cases[] = {
        // A full chain needs powers of two; levels becomes log2(largest side) + 1.
        {200, 100, 0, 256, 128, 9},
        {256, 256, 0, 256, 256, 9},
        {640, 480, 0, 1024, 512, 11},
        {1, 1, 0, 1, 1, 1},
        {0, 0, 0, 1, 1, 1},
        {9000, 9000, 0, 8192, 8192, 14},
        {8193, 3, 0, 8192, 4, 14},
        // A partial chain is rounded too and keeps its length when the chain is long enough.
        {100, 100, 3, 128, 128, 3},
        {4, 4, 10, 4, 4, 3},
        // One level: any size in range.
        {640, 480, 1, 640, 480, 1},
        {256, 256, 1, 256, 256, 1},
        {-5, 3, 1, 1, 3, 1},
        {9000, 8192, 1, 8192, 8192, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " levels " << c.levels);
        int width = c.width;
        int height = c.height;
        std::uint32_t levels = c.levels;
        D3DFORMAT format = D3DFMT_A8R8G8B8;
        D3DXCheckTextureRequirements(*device_, &width, &height, &levels, 0, &format,
                                     D3DPOOL_SYSTEMMEM);
        EXPECT_EQ(width, c.wantWidth);
        EXPECT_EQ(height, c.wantHeight);
        EXPECT_EQ(levels, c.wantLevels);
        EXPECT_EQ(format, D3DFMT_A8R8G8B8);
    }
}

TEST_F(D3DXTest, CheckTextureRequirementsFormatsAndNullArguments) {
    const struct {
        D3DFORMAT in;
        D3DFORMAT want;
    } formats[] = {
        {D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8}, {D3DFMT_R5G6B5, D3DFMT_R5G6B5},
        {D3DFMT_DXT3, D3DFMT_DXT3},         {D3DFMT_L8, D3DFMT_L8},
        {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8},  {D3DFMT_D16, D3DFMT_A8R8G8B8},
        {D3DFMT_D24S8, D3DFMT_A8R8G8B8},    {static_cast<D3DFORMAT>(12345), D3DFMT_A8R8G8B8},
    };
    for (const auto& f : formats) {
        D3DFORMAT format = f.in;
        int width = 16;
        int height = 16;
        D3DXCheckTextureRequirements(*device_, &width, &height, nullptr, 0, &format,
                                     D3DPOOL_MANAGED);
        EXPECT_EQ(format, f.want) << FormatName(f.in);
    }

    D3DXCheckTextureRequirements(*device_, nullptr, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED);
    // No levels pointer asks for a single level: the size is kept.
    int width = 300;
    D3DXCheckTextureRequirements(*device_, &width, nullptr, nullptr, 0, nullptr, D3DPOOL_MANAGED);
    EXPECT_EQ(width, 300);
}

TEST_F(D3DXTest, RenderToSurfaceDrawsIntoSurfaceAndRestoresDevice) {
    const std::shared_ptr<Surface> backBuffer = device_->GetRenderTarget();
    const std::shared_ptr<Surface> backDepth = device_->GetDepthStencilSurface();
    ASSERT_NE(backBuffer, nullptr);
    const D3DVIEWPORT8 before{3, 4, 20, 10, 0.25f, 0.75f};
    device_->SetViewport(before);

    auto texture = device_->CreateTexture(8, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    auto surface = texture->GetSurfaceLevel(0);
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
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(PixelAt(*surface, x, y), colour);
        }
    }
    EXPECT_NE(PixelAt(*backBuffer, 5, 5), 0xA0B0C0D0u);
}

TEST_F(D3DXTest, RenderToSurfaceDepthAndDefaultViewport) {
    auto rts = D3DXCreateRenderToSurface(device_, 16, 8, D3DFMT_A8R8G8B8, true, D3DFMT_D16);
    auto surface =
        device_->CreateTexture(16, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)->GetSurfaceLevel(0);
    rts->BeginScene(surface, nullptr);
    const std::shared_ptr<Surface> depth = device_->GetDepthStencilSurface();
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->width(), 16);
    EXPECT_EQ(depth->height(), 8);
    EXPECT_TRUE(IsDepthFormat(depth->format()));
    // Without a viewport the scene covers the whole surface.
    ExpectViewport(device_->GetViewport(), {0, 0, 16, 8, 0.0f, 1.0f});
    rts->EndScene();
    EXPECT_NE(device_->GetDepthStencilSurface(), depth);
}

TEST_F(D3DXTest, RenderToSurfaceRefusesMisuse) {
    const std::shared_ptr<Surface> backBuffer = device_->GetRenderTarget();
    auto rts = D3DXCreateRenderToSurface(device_, 8, 8, D3DFMT_A8R8G8B8, false, D3DFMT_UNKNOWN);
    auto wrongSize =
        device_->CreateTexture(16, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)->GetSurfaceLevel(0);
    auto right =
        device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)->GetSurfaceLevel(0);

    auto expectInvalidCall = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.code(), D3DERR_INVALIDCALL);
        }
    };
    expectInvalidCall([&] { rts->BeginScene(wrongSize, nullptr); });
    expectInvalidCall([&] { rts->BeginScene(nullptr, nullptr); });
    expectInvalidCall([&] { rts->EndScene(); });
    // A refused BeginScene leaves the device as it was.
    EXPECT_EQ(device_->GetRenderTarget(), backBuffer);
    EXPECT_FALSE(device_->inScene());

    rts->BeginScene(right, nullptr);
    expectInvalidCall([&] { rts->BeginScene(right, nullptr); });
    rts->EndScene();
    EXPECT_EQ(device_->GetRenderTarget(), backBuffer);
    expectInvalidCall([&] { rts->EndScene(); });
}

}  // namespace
}  // namespace tintora
