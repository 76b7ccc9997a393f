#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

TEST(ToDeviceColorTest, ExchangesRedAndBlueAndKeepsTheOtherBytes) {
    const std::uint32_t pairs[][2] = {{0x00112233u, 0x00332211u},
                                      {0x000000FFu, 0x00FF0000u},
                                      {0x0000FF00u, 0x0000FF00u},
                                      {0x80123456u, 0x80563412u}};
    for (const auto& [window, device] : pairs) {
        EXPECT_EQ(ToDeviceColor(window), device) << std::hex << window;
        EXPECT_EQ(ToDeviceColor(device), window) << std::hex << device;
    }
}

// Draws into an A8R8G8B8 image surface cleared to a known colour and reads pixels back.
class DrawQuadTest : public DocumentTest {
  protected:
    static constexpr std::uint32_t kClear = 0xFF306090u;  // A R G B
    static constexpr Bgra kClearBgra = {0x90, 0x60, 0x30, 0xFF};
    static constexpr Bgra kSolid = {1, 2, 3, 255};

    void UseTarget(int width, int height) {
        width_ = width;
        target_ = device().CreateImageSurface(width, height, D3DFMT_A8R8G8B8);
        device().SetRenderTarget(target_, nullptr);
        D3DVIEWPORT8 viewport;
        viewport.Width = static_cast<std::uint32_t>(width);
        viewport.Height = static_cast<std::uint32_t>(height);
        device().SetViewport(viewport);
    }

    // Clears the target and draws one quad in a scene of its own.
    void Draw(float x, float y, float width, float height, const std::shared_ptr<Texture>& texture,
              bool smooth, float uRight, float vBottom, bool alphaOnly) {
        device().BeginScene();
        device().Clear(0, nullptr, D3DCLEAR_TARGET, kClear, 1.0f, 0);
        DrawQuad(x, y, width, height, texture, smooth, uRight, vBottom, alphaOnly);
        device().EndScene();
    }

    Bgra Pixel(int x, int y) const {
        const std::uint8_t* p = target_->bits() + 4 * (static_cast<std::ptrdiff_t>(y) * width_ + x);
        return {p[0], p[1], p[2], p[3]};
    }

    std::shared_ptr<Texture> MakeTexture(int width, int height,
                                         const std::function<Bgra(int, int)>& texel) {
        auto texture =
            device().CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        FillTexture(*texture, texel);
        return texture;
    }

    // Opaque texels that all differ from each other and from the clear colour.
    static Bgra OpaqueTexel(int x, int y) {
        return {static_cast<std::uint8_t>(10 + 23 * x), static_cast<std::uint8_t>(7 + 29 * y),
                static_cast<std::uint8_t>(200 - 11 * x - 5 * y), 255};
    }

    std::shared_ptr<Surface> target_;
    int width_ = 0;
};

// Every pixel whose centre lies in the quad shows one texel, exactly: texel ((p - x) / block) of
// the texture, repeated past its edge; every other pixel keeps the clear colour.
TEST_F(DrawQuadTest, PixelsShowWholeTexelsInPlaceRepeatedAndScaled) {
    struct Case {
        const char* what;
        int targetWidth, targetHeight, textureWidth, textureHeight;
        float x, y, width, height, uRight, vBottom;
        bool smooth;
        int block;   // pixels per texel
        bool solid;  // one colour: at a half-pixel position only the coverage is exact
    };
    const Case cases[] = {
        {"coordinates of 2 repeat twice", 12, 12, 4, 4, 0, 0, 8, 8, 2, 2, true, 1, false},
        {"repeat, point filtered", 12, 12, 4, 4, 0, 0, 8, 8, 2, 2, false, 1, false},
        {"linear filtering at one texel per pixel is sharp", 40, 30, 16, 8, 5, 7, 16, 8, 1, 1, true,
         1, false},
        {"tiled over a window not a multiple of the texture", 37, 23, 8, 4, 0, 0, 37, 23, 37.0f / 8,
         23.0f / 4, true, 1, false},
        {"larger than the window, centred", 6, 4, 10, 8, -2, -2, 10, 8, 1, 1, true, 1, false},
        {"point filtering at twice the size (after a linear draw)", 10, 10, 4, 4, 0, 0, 8, 8, 1, 1,
         false, 2, false},
        {"a half-pixel position covers from the pixel whose centre is on the edge", 300, 6, 256, 2,
         22.5f, 1.5f, 256, 2, 1, 1, true, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseTarget(c.targetWidth, c.targetHeight);
        const auto texture = MakeTexture(c.textureWidth, c.textureHeight, [&c](int x, int y) {
            return c.solid ? kSolid : OpaqueTexel(x, y);
        });
        Draw(c.x, c.y, c.width, c.height, texture, c.smooth, c.uRight, c.vBottom, false);
        const auto index = [&c](int p, float origin, int size) {
            return static_cast<int>(static_cast<float>(p) - origin) / c.block % size;
        };
        for (int y = 0; y < c.targetHeight; ++y) {
            for (int x = 0; x < c.targetWidth; ++x) {
                const bool inside = x + 0.5f >= c.x && x + 0.5f < c.x + c.width &&
                                    y + 0.5f >= c.y && y + 0.5f < c.y + c.height;
                const Bgra texel = c.solid ? kSolid
                                           : OpaqueTexel(index(x, c.x, c.textureWidth),
                                                         index(y, c.y, c.textureHeight));
                ASSERT_EQ(Pixel(x, y), inside ? texel : kClearBgra) << x << "," << y;
            }
        }
    }
}

TEST_F(DrawQuadTest, AlphaOnlyDrawsWhiteWeightedByTheTexelAlpha) {
    UseTarget(8, 8);
    // Columns: opaque colour, transparent colour, half alpha, opaque black.
    const Bgra columns[] = {
        {10, 20, 30, 255}, {200, 100, 50, 0}, {40, 40, 40, 128}, {0, 0, 0, 255}};
    const auto texture = MakeTexture(4, 4, [&columns](int x, int) { return columns[x]; });
    Draw(0, 0, 4, 4, texture, true, 1.0f, 1.0f, true);
    const auto blend = [](double source, int channel) {  // source x 128/255 + clear x 127/255
        return (source * 128.0 + kClearBgra[channel] * 127.0) / 255.0;
    };
    EXPECT_EQ(Pixel(0, 2), (Bgra{255, 255, 255, 255}));
    EXPECT_EQ(Pixel(1, 2), kClearBgra);
    EXPECT_EQ(Pixel(3, 2), (Bgra{255, 255, 255, 255}));
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(Pixel(2, 2)[c], blend(255, c), 1.0) << "channel " << c;

    // The next ordinary draw shows the texels' colours again.
    Draw(0, 0, 4, 4, texture, true, 1.0f, 1.0f, false);
    EXPECT_EQ(Pixel(0, 0), columns[0]);
    EXPECT_EQ(Pixel(1, 0), kClearBgra);
    EXPECT_EQ(Pixel(3, 0), columns[3]);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(Pixel(2, 0)[c], blend(40, c), 1.0) << "channel " << c;
}

TEST_F(DrawQuadTest, SetsTheStatesItNeedsAndLeavesTheOthers) {
    UseTarget(8, 8);
    const auto texture = MakeTexture(4, 4, OpaqueTexel);
    // Start from states that would spoil the quad if DrawQuad did not set them.
    Device& d = device();
    d.SetRenderState(D3DRS_LIGHTING, 1);
    d.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    d.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    d.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    d.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    const std::uint32_t alphaFunc = d.GetRenderState(D3DRS_ALPHAFUNC);
    const std::uint32_t alphaOp = d.GetTextureStageState(0, D3DTSS_ALPHAOP);

    Draw(0, 0, 8, 8, texture, false, 2.0f, 2.0f, false);
    // Drawn despite the clockwise culling, unlit, tiled despite the clamp.
    EXPECT_EQ(Pixel(0, 0), OpaqueTexel(0, 0));
    EXPECT_EQ(Pixel(7, 7), OpaqueTexel(3, 3));
    EXPECT_EQ(d.GetRenderState(D3DRS_ALPHAFUNC), alphaFunc);
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_ALPHAOP), alphaOp);
    EXPECT_EQ(d.GetVertexShader(), kQuadVertexFvf);

    Module1().Device.reset();
    EXPECT_EQ(ErrorCodeOf([&] { DrawQuad(0, 0, 2, 2, texture, true, 1, 1, false); }),
              kErrObjectNotSet);
}

}  // namespace
}  // namespace tintora::testing
