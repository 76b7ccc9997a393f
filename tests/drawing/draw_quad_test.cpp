#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "document/module1.h"
#include "support/document_fixture.h"
#include "base/error.h"

namespace tintora::testing {
namespace {

TEST(ToDeviceColorTest, ExchangesRedAndBlueAndKeepsTheOtherBytes) {
    struct Case {
        std::uint32_t window;
        std::uint32_t device;
    };
    for (const Case c : {Case{0x00000000u, 0x00000000u}, Case{0x00112233u, 0x00332211u},
                         Case{0x000000FFu, 0x00FF0000u}, Case{0x00FF0000u, 0x000000FFu},
                         Case{0x0000FF00u, 0x0000FF00u}, Case{0x80123456u, 0x80563412u},
                         Case{0xFFFFFFFFu, 0xFFFFFFFFu}}) {
        EXPECT_EQ(ToDeviceColor(c.window), c.device) << std::hex << c.window;
        EXPECT_EQ(ToDeviceColor(c.device), c.window) << std::hex << c.device;
    }
}

// Draws into an A8R8G8B8 image surface cleared to a known colour and reads pixels back.
class DrawQuadTest : public DocumentTest {
  protected:
    static constexpr std::uint32_t kClear = 0xFF306090u;  // A R G B
    static constexpr Bgra kClearBgra = {0x90, 0x60, 0x30, 0xFF};

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
    std::shared_ptr<Texture> MakeOpaquePattern(int width, int height) {
        return MakeTexture(width, height, [](int x, int y) { return OpaqueTexel(x, y); });
    }
    static Bgra OpaqueTexel(int x, int y) {
        return {static_cast<std::uint8_t>(10 + 23 * x), static_cast<std::uint8_t>(7 + 29 * y),
                static_cast<std::uint8_t>(200 - 11 * x - 5 * y), 255};
    }

    std::shared_ptr<Surface> target_;
    int width_ = 0;
};

TEST_F(DrawQuadTest, CoordinatesOfTwoRepeatTheTextureTwiceEachWay) {
    UseTarget(12, 12);
    const auto texture = MakeOpaquePattern(4, 4);
    for (const bool smooth : {false, true}) {
        SCOPED_TRACE(smooth ? "linear" : "point");
        Draw(0, 0, 8, 8, texture, smooth, 2.0f, 2.0f, false);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(Pixel(x, y), OpaqueTexel(x % 4, y % 4)) << x << "," << y;
            }
        }
        EXPECT_EQ(Pixel(8, 3), kClearBgra);
        EXPECT_EQ(Pixel(3, 8), kClearBgra);
    }
}

TEST_F(DrawQuadTest, AlphaOnlyDrawsWhiteWeightedByTheTexelAlpha) {
    UseTarget(8, 8);
    // Columns: opaque colour, transparent colour, half alpha, opaque black.
    const auto texture = MakeTexture(4, 4, [](int x, int) -> Bgra {
        switch (x) {
            case 0:
                return {10, 20, 30, 255};
            case 1:
                return {200, 100, 50, 0};
            case 2:
                return {40, 40, 40, 128};
            default:
                return {0, 0, 0, 255};
        }
    });
    Draw(0, 0, 4, 4, texture, true, 1.0f, 1.0f, true);
    for (int y = 0; y < 4; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(Pixel(0, y), (Bgra{255, 255, 255, 255}));
        EXPECT_EQ(Pixel(1, y), kClearBgra);
        for (int c = 0; c < 3; ++c) {
            // white x 128/255 + destination x 127/255
            const double expected = (255.0 * 128.0 + kClearBgra[c] * 127.0) / 255.0;
            EXPECT_NEAR(Pixel(2, y)[c], expected, 1.0) << "channel " << c;
        }
        EXPECT_EQ(Pixel(3, y), (Bgra{255, 255, 255, 255}));
    }

    // The next ordinary draw shows the texels' colours again.
    Draw(0, 0, 4, 4, texture, true, 1.0f, 1.0f, false);
    EXPECT_EQ(Pixel(0, 0), (Bgra{10, 20, 30, 255}));
    EXPECT_EQ(Pixel(1, 0), kClearBgra);
    EXPECT_EQ(Pixel(3, 0), (Bgra{0, 0, 0, 255}));
    for (int c = 0; c < 3; ++c) {
        const double expected = (40.0 * 128.0 + kClearBgra[c] * 127.0) / 255.0;
        EXPECT_NEAR(Pixel(2, 0)[c], expected, 1.0) << "channel " << c;
    }
}

TEST_F(DrawQuadTest, PointFilteringAtTwiceTheSizeGivesTwoByTwoBlocks) {
    UseTarget(10, 10);
    const auto texture = MakeOpaquePattern(4, 4);

    // Linear filtering at this scale mixes neighbouring texels...
    Draw(0, 0, 8, 8, texture, true, 1.0f, 1.0f, false);
    EXPECT_NE(Pixel(1, 1), OpaqueTexel(0, 0));

    // ...and a later unfiltered draw switches it off again.
    Draw(0, 0, 8, 8, texture, false, 1.0f, 1.0f, false);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(Pixel(x, y), OpaqueTexel(x / 2, y / 2)) << x << "," << y;
        }
    }
    EXPECT_EQ(Pixel(8, 8), kClearBgra);
}

TEST_F(DrawQuadTest, OneTexelPerPixelAtAnIntegerPositionIsSharpWithLinearFiltering) {
    UseTarget(40, 30);
    const auto texture = MakeOpaquePattern(16, 8);
    Draw(5, 7, 16, 8, texture, true, 1.0f, 1.0f, false);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 5 && x < 21 && y >= 7 && y < 15;
            ASSERT_EQ(Pixel(x, y), inside ? OpaqueTexel(x - 5, y - 7) : kClearBgra)
                << x << "," << y;
        }
    }
}

TEST_F(DrawQuadTest, TiledAndOversizedQuadsStayOneTexelPerPixel) {
    UseTarget(37, 23);
    const auto texture = MakeOpaquePattern(8, 4);
    // Tiled over a window that is not a multiple of the texture: coordinates up to 37/8 and 23/4.
    Draw(0, 0, 37, 23, texture, true, 37.0f / 8.0f, 23.0f / 4.0f, false);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
            ASSERT_EQ(Pixel(x, y), OpaqueTexel(x % 8, y % 4)) << x << "," << y;
        }
    }

    // A texture larger than the window, centred: negative offsets cut it equally on both sides.
    UseTarget(6, 4);
    const auto large = MakeOpaquePattern(10, 8);
    Draw(-2, -2, 10, 8, large, true, 1.0f, 1.0f, false);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            ASSERT_EQ(Pixel(x, y), OpaqueTexel(x + 2, y + 2)) << x << "," << y;
        }
    }
}

TEST_F(DrawQuadTest, HalfPixelPositionCoversFromThePixelWhoseCentreIsOnTheEdge) {
    // A 256-wide texture centred in a window 45 pixels wider lands at x = 22.5.
    UseTarget(300, 6);
    const Bgra colour = {1, 2, 3, 255};
    const auto texture = MakeTexture(256, 2, [&](int, int) { return colour; });
    Draw(22.5f, 1.5f, 256, 2, texture, true, 1.0f, 1.0f, false);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 300; ++x) {
            const bool inside = x >= 22 && x <= 277 && y >= 1 && y <= 2;
            ASSERT_EQ(Pixel(x, y), inside ? colour : kClearBgra) << x << "," << y;
        }
    }
}

TEST_F(DrawQuadTest, LeavesTheStatesLaterDrawingReliesOn) {
    UseTarget(8, 8);
    const auto texture = MakeOpaquePattern(4, 4);
    // Start from states that would spoil the quad if DrawQuad did not set them.
    device().SetRenderState(D3DRS_LIGHTING, 1);
    device().SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device().SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device().SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device().SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    const std::uint32_t alphaFunc = device().GetRenderState(D3DRS_ALPHAFUNC);
    const std::uint32_t alphaOp = device().GetTextureStageState(0, D3DTSS_ALPHAOP);

    Draw(0, 0, 8, 8, texture, false, 2.0f, 2.0f, true);
    // Drawn despite the clockwise culling set before, tiled despite the clamp.
    EXPECT_EQ(Pixel(0, 0), (Bgra{255, 255, 255, 255}));
    EXPECT_EQ(Pixel(7, 7), (Bgra{255, 255, 255, 255}));

    Device& d = device();
    EXPECT_EQ(d.GetRenderState(D3DRS_LIGHTING), 0u);
    EXPECT_NE(d.GetRenderState(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_NE(d.GetRenderState(D3DRS_ALPHATESTENABLE), 0u);
    EXPECT_EQ(d.GetRenderState(D3DRS_ALPHAREF), 1u);
    EXPECT_EQ(d.GetRenderState(D3DRS_SRCBLEND), static_cast<std::uint32_t>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(d.GetRenderState(D3DRS_DESTBLEND), static_cast<std::uint32_t>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(d.GetRenderState(D3DRS_CULLMODE), static_cast<std::uint32_t>(D3DCULL_NONE));
    EXPECT_EQ(d.GetRenderState(D3DRS_ALPHAFUNC), alphaFunc);
    EXPECT_EQ(alphaFunc, static_cast<std::uint32_t>(D3DCMP_ALWAYS));
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_ADDRESSU),
              static_cast<std::uint32_t>(D3DTADDRESS_WRAP));
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_ADDRESSV),
              static_cast<std::uint32_t>(D3DTADDRESS_WRAP));
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_MINFILTER),
              static_cast<std::uint32_t>(D3DTEXF_POINT));
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_MAGFILTER),
              static_cast<std::uint32_t>(D3DTEXF_POINT));
    // The alpha-only colour operation is undone; the alpha operation was never touched.
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_COLOROP),
              static_cast<std::uint32_t>(D3DTOP_MODULATE));
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_COLORARG1), D3DTA_DIFFUSE);
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_COLORARG2), D3DTA_TEXTURE);
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_ALPHAOP), alphaOp);
    EXPECT_EQ(d.GetVertexShader(), kQuadVertexFvf);
    EXPECT_EQ(d.GetTexture(0), texture);

    Draw(0, 0, 8, 8, texture, true, 1.0f, 1.0f, false);
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_MINFILTER),
              static_cast<std::uint32_t>(D3DTEXF_LINEAR));
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_MAGFILTER),
              static_cast<std::uint32_t>(D3DTEXF_LINEAR));
}

TEST_F(DrawQuadTest, WithoutADeviceIsAnObjectNotSetError) {
    const auto texture = MakeOpaquePattern(2, 2);
    Module1().Device.reset();
    EXPECT_EQ(ErrorCodeOf([&] { DrawQuad(0, 0, 2, 2, texture, true, 1, 1, false); }),
              kErrObjectNotSet);
}

}  // namespace
}  // namespace tintora::testing
