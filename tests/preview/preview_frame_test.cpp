#include "preview/preview_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "support/document_fixture.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "device/mesh_x.h"

namespace tintora::testing {
namespace {

using Bgr = std::array<int, 3>;

// Window colour 0x00BBGGRR: red 0x30, green 0x20, blue 0x10.
constexpr std::uint32_t kBackground = 0x00102030u;
constexpr Bgr kBackgroundBgr = {0x10, 0x20, 0x30};

// The preview picture box: keeps the last presented image.
class FakePicture : public PresentTarget {
  public:
    int ClientWidth() const override { return 0; }
    int ClientHeight() const override { return 0; }
    void PresentImage(const ImageView& image) override {
        ++presents;
        width = image.width;
        height = image.height;
        pixels.resize(static_cast<std::size_t>(width) * height * 4);
        for (int y = 0; y < height; ++y) {
            std::memcpy(&pixels[static_cast<std::size_t>(y) * width * 4],
                        image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch,
                        static_cast<std::size_t>(width) * 4);
        }
    }

    Bgr At(int x, int y) const {
        const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
    bool Covered(int x, int y) const { return At(x, y) != kBackgroundBgr; }
    // Rows whose pixel in column x is not the background.
    int RowsCovered(int x) const {
        int rows = 0;
        for (int y = 0; y < height; ++y)
            rows += Covered(x, y) ? 1 : 0;
        return rows;
    }
    int FirstRowCovered(int x) const {
        for (int y = 0; y < height; ++y) {
            if (Covered(x, y)) return y;
        }
        return -1;
    }
    int ColumnsCovered(int y) const {
        int columns = 0;
        for (int x = 0; x < width; ++x)
            columns += Covered(x, y) ? 1 : 0;
        return columns;
    }
    int CoveredPixels() const {
        int count = 0;
        for (int y = 0; y < height; ++y)
            count += ColumnsCovered(y);
        return count;
    }

    int presents = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Opaque texels.
constexpr Bgra kRed = {0, 0, 255, 255};
constexpr Bgra kGreen = {0, 255, 0, 255};
constexpr Bgra kBlue = {255, 0, 0, 255};
constexpr Bgra kYellow = {0, 255, 255, 255};
constexpr Bgr kRedBgr = {0, 0, 255};
constexpr Bgr kGreenBgr = {0, 255, 0};
constexpr Bgr kBlueBgr = {255, 0, 0};
constexpr Bgr kYellowBgr = {0, 255, 255};

Bgra Solid(int, int) {
    return kGreen;
}

class PreviewFrameTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        Module1().BackgroundColor = kBackground;
        Module1().Hooks.PreviewPictureBox = [this]() -> PresentTarget* { return &picture; };
    }

    // The preview document at width x height, as start-up makes it.
    void MakePreview(int width, int height) {
        auto& state = Module1();
        state.PreviewDocIndex = CreateDocument(width, height, true, true);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
        view.pictureWidth = static_cast<float>(width);
        view.pictureHeight = static_cast<float>(height);
    }

    // A texture window showing a new width x height texture, made the active one.
    std::int32_t OpenTexture(int width, int height,
                             const std::function<Bgra(int, int)>& texel = Solid) {
        const std::int32_t entry = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(entry).Texture, texel);
        const std::int32_t slot = CreateDocument(width, height, false, false);
        DocumentAt(slot).TextureIndex = entry;
        Module1().ActiveWindowIndex = slot;
        return slot;
    }

    void LoadSphere() {
        Module1().SphereMesh = LoadMeshFromX(std::string(TINTORA_DATA_DIR) + "/sphere.x",
                                             D3DXMESH_MANAGED, Module1().Device);
    }

    void Frame() { DrawPreviewFrame(camera, view); }

    std::uint32_t Addressing(D3DTEXTURESTAGESTATETYPE type) {
        return device().GetTextureStageState(0, type);
    }

    FakePicture picture;
    PreviewCamera camera;
    PreviewFrameView view;
};

// --- mouse -----------------------------------------------------------------------------------

TEST(PreviewMouseTest, LeftDragTurnsTheShapeOneRadianPerThirtyPixels) {
    PreviewCamera camera;
    PreviewMouseDown(camera, 100.0f, 100.0f);
    PreviewMouseMove(camera, kPreviewLeftButton, 130.0f, 70.0f);
    EXPECT_FLOAT_EQ(camera.Angle, -1.0f);
    EXPECT_FLOAT_EQ(camera.AngleY, 1.0f);
    EXPECT_EQ(camera.OldX, 130);
    EXPECT_EQ(camera.OldY, 70);
    EXPECT_EQ(camera.Far, 0.0f);

    // The next step measures from the remembered point, not from the mouse-down.
    PreviewMouseMove(camera, kPreviewLeftButton, 115.0f, 70.0f);
    EXPECT_FLOAT_EQ(camera.Angle, -0.5f);
    EXPECT_FLOAT_EQ(camera.AngleY, 1.0f);
}

TEST(PreviewMouseTest, RightDragZoomsByTheVerticalDistanceAndKeepsOldX) {
    PreviewCamera camera;
    PreviewMouseDown(camera, 40.0f, 10.0f);
    PreviewMouseMove(camera, kPreviewRightButton, 90.0f, 35.0f);
    EXPECT_FLOAT_EQ(camera.Far, 25.0f);
    EXPECT_EQ(camera.OldX, 40);
    EXPECT_EQ(camera.OldY, 35);
    EXPECT_EQ(camera.Angle, 0.0f);
    EXPECT_EQ(camera.AngleY, 0.0f);

    PreviewMouseMove(camera, kPreviewRightButton, 90.0f, 5.0f);
    EXPECT_FLOAT_EQ(camera.Far, -5.0f);
}

TEST(PreviewMouseTest, NoButtonMiddleOrSeveralButtonsChangeNothing) {
    for (int buttons : {0, kPreviewMiddleButton, kPreviewLeftButton | kPreviewRightButton,
                        kPreviewLeftButton | kPreviewMiddleButton, 8}) {
        PreviewCamera camera;
        PreviewMouseDown(camera, 10.0f, 10.0f);
        PreviewMouseMove(camera, buttons, 70.0f, 90.0f);
        EXPECT_EQ(camera.OldX, 10) << "buttons " << buttons;
        EXPECT_EQ(camera.OldY, 10) << "buttons " << buttons;
        EXPECT_EQ(camera.Angle, 0.0f) << "buttons " << buttons;
        EXPECT_EQ(camera.AngleY, 0.0f) << "buttons " << buttons;
        EXPECT_EQ(camera.Far, 0.0f) << "buttons " << buttons;
    }
}

TEST(PreviewMouseTest, RememberedPointsRoundHalvesToEven) {
    PreviewCamera camera;
    PreviewMouseDown(camera, 2.5f, 3.5f);
    EXPECT_EQ(camera.OldX, 2);
    EXPECT_EQ(camera.OldY, 4);
    // The turn uses the unrounded position against the rounded one.
    PreviewMouseMove(camera, kPreviewLeftButton, 5.5f, 3.5f);
    EXPECT_EQ(camera.OldX, 6);
    EXPECT_FLOAT_EQ(camera.Angle, static_cast<float>(-3.5 / 30.0));
    EXPECT_FLOAT_EQ(camera.AngleY, static_cast<float>(0.5 / 30.0));
}

// --- camera distance -------------------------------------------------------------------------

TEST(PreviewCameraDistanceTest, FollowsTheLargerSideAndTheZoom) {
    struct Case {
        bool sphere;
        float far;
        std::int32_t width, height;
        float expected;
    };
    const Case cases[] = {
        {false, 0.0f, 256, 256, -256.0f},   {true, 0.0f, 256, 256, -6.4f},
        {false, 0.0f, 64, 256, -256.0f},    {true, 0.0f, 64, 256, -6.4f},
        {false, 0.0f, 256, 128, -256.0f},   {true, 0.0f, 512, 256, -12.8f},
        {false, 100.0f, 256, 256, -156.0f}, {true, -64.0f, 256, 256, -8.0f},
        {false, 256.0f, 256, 256, 0.0f},    {true, 300.0f, 128, 256, 1.1f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(PreviewCameraDistance(c.sphere, c.far, c.width, c.height), c.expected)
            << (c.sphere ? "sphere " : "wall ") << c.width << "x" << c.height << " far " << c.far;
    }
}

// --- frames without a shape ------------------------------------------------------------------

TEST_F(PreviewFrameTest, ClearsToTheBackgroundAndPresentsIntoThePictureBox) {
    MakePreview(48, 32);
    Frame();
    ASSERT_EQ(picture.presents, 1);
    ASSERT_EQ(picture.width, 48);
    ASSERT_EQ(picture.height, 32);
    EXPECT_EQ(picture.CoveredPixels(), 0);
    // The preview's target stays the device's render target after the frame.
    EXPECT_EQ(
        device().GetRenderTarget(),
        DocumentAt(Module1().PreviewDocIndex).SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO));
}

TEST_F(PreviewFrameTest, WithoutAnActiveTextureOnlyTheBackgroundShows) {
    MakePreview(48, 32);
    LoadSphere();
    const std::int32_t slot = OpenTexture(32, 32);
    RenderDocument(slot, false);
    for (std::int32_t active : {0, 99, -1}) {
        for (bool sphere : {true, false}) {
            Module1().ActiveWindowIndex = active;
            view.sphere = sphere;
            camera.Far = 100.0f;  // a distance that is not 0 even for a size of 0
            Frame();
            EXPECT_EQ(picture.CoveredPixels(), 0) << "active " << active << " sphere " << sphere;
        }
    }
    EXPECT_EQ(picture.presents, 6);
}

TEST_F(PreviewFrameTest, EyeAtTheTargetSkipsTheShape) {
    MakePreview(48, 32);
    RenderDocument(OpenTexture(32, 32), false);
    view.sphere = false;
    camera.Far = 32.0f;
    Frame();
    EXPECT_EQ(picture.CoveredPixels(), 0);
    camera.Far = 0.0f;
    Frame();
    EXPECT_GT(picture.CoveredPixels(), 0);
}

TEST_F(PreviewFrameTest, PictureWithoutHeightShowsNoShape) {
    MakePreview(48, 32);
    RenderDocument(OpenTexture(32, 32), false);
    view.sphere = false;
    view.pictureHeight = 0.0f;
    Frame();
    EXPECT_EQ(picture.presents, 1);
    EXPECT_EQ(picture.CoveredPixels(), 0);
}

TEST_F(PreviewFrameTest, WithoutAPreviewTargetNothingIsDrawnButTheShapeStillTurns) {
    // A texture window was drawn; the preview document does not exist yet.
    const std::int32_t slot = OpenTexture(16, 16);
    RenderDocument(slot, false);
    const auto windowTarget = device().GetRenderTarget();
    const auto bytes = [&windowTarget] {
        const std::uint8_t* bits = windowTarget->bits();
        return std::vector<std::uint8_t>(bits,
                                         bits + windowTarget->pitch() * windowTarget->height());
    };
    const std::vector<std::uint8_t> drawn = bytes();
    view.autoRotate = true;
    Frame();
    EXPECT_EQ(picture.presents, 0);
    EXPECT_EQ(device().GetRenderTarget(), windowTarget);
    EXPECT_EQ(bytes(), drawn);
    EXPECT_FALSE(device().inScene());
    EXPECT_FLOAT_EQ(camera.Angle, 0.02f);

    // No device at all (the timer runs before start-up creates it).
    ResetModule1();
    Frame();
    EXPECT_FLOAT_EQ(camera.Angle, 0.04f);
    EXPECT_EQ(picture.presents, 0);
}

// --- the wall --------------------------------------------------------------------------------

TEST_F(PreviewFrameTest, SquareWallAtFarZeroFillsTheViewHeightExactly) {
    MakePreview(128, 64);
    RenderDocument(OpenTexture(64, 64), false);
    view.sphere = false;
    Frame();
    EXPECT_EQ(picture.RowsCovered(64), 64);
    // The aspect ratio keeps it square: 64 of the 128 columns, centred.
    EXPECT_EQ(picture.ColumnsCovered(32), 64);
    EXPECT_FALSE(picture.Covered(31, 32));
    EXPECT_TRUE(picture.Covered(32, 32));
    EXPECT_TRUE(picture.Covered(95, 32));
    EXPECT_FALSE(picture.Covered(96, 32));
}

TEST_F(PreviewFrameTest, WallOf256By128CoversTheMiddleHalfOfTheHeight) {
    MakePreview(96, 64);
    RenderDocument(OpenTexture(256, 128), false);
    view.sphere = false;
    Frame();
    EXPECT_EQ(picture.RowsCovered(48), 32);
    EXPECT_EQ(picture.FirstRowCovered(48), 16);
}

TEST_F(PreviewFrameTest, WallShowsTheTextureUprightInFrontAndMirroredFromBehind) {
    MakePreview(64, 64);
    // Quadrants: red top left, green top right, blue bottom left, yellow bottom right.
    RenderDocument(OpenTexture(32, 32,
                               [](int x, int y) {
                                   if (y < 16) return x < 16 ? kRed : kGreen;
                                   return x < 16 ? kBlue : kYellow;
                               }),
                   false);
    view.sphere = false;
    Frame();
    EXPECT_EQ(picture.At(16, 16), kRedBgr);
    EXPECT_EQ(picture.At(48, 16), kGreenBgr);
    EXPECT_EQ(picture.At(16, 48), kBlueBgr);
    EXPECT_EQ(picture.At(48, 48), kYellowBgr);

    // Far = 2M puts the camera at z = +M, looking at the back of the wall.
    camera.Far = 64.0f;
    Frame();
    EXPECT_EQ(picture.RowsCovered(32), 64);
    EXPECT_EQ(picture.At(16, 16), kGreenBgr);
    EXPECT_EQ(picture.At(48, 16), kRedBgr);
}

TEST_F(PreviewFrameTest, WallFrameLeavesClampAddressingForTheSphereUntilAWindowRedraw) {
    MakePreview(48, 32);
    LoadSphere();
    const std::int32_t slot = OpenTexture(32, 32);
    RenderDocument(slot, false);
    ASSERT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);

    view.sphere = false;
    Frame();
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_CLAMP);
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSV), D3DTADDRESS_CLAMP);

    // The sphere sets no addressing of its own: it draws with what the wall left.
    view.sphere = true;
    Frame();
    Frame();
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_CLAMP);
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSV), D3DTADDRESS_CLAMP);

    RenderDocument(slot, false);
    Frame();
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSV), D3DTADDRESS_WRAP);
}

// --- the sphere ------------------------------------------------------------------------------

TEST_F(PreviewFrameTest, SphereOfA256TextureFillsMostOfTheDefaultView) {
    MakePreview(320, 240);
    LoadSphere();
    RenderDocument(OpenTexture(256, 256), false);
    Frame();
    const int rows = picture.RowsCovered(160);
    EXPECT_GE(rows, 240 * 60 / 100);
    EXPECT_LE(rows, 240 * 95 / 100);
    // Round: as wide as it is high, centred.
    EXPECT_NEAR(picture.ColumnsCovered(120), rows, 2);
    EXPECT_NEAR(picture.FirstRowCovered(160), (240 - rows) / 2, 1);
}

TEST_F(PreviewFrameTest, SphereCameraFollowsTheTexturesLargerSide) {
    MakePreview(160, 120);
    LoadSphere();
    const auto silhouette = [this](int width, int height) {
        const std::int32_t slot = OpenTexture(width, height);
        RenderDocument(slot, false);
        Frame();
        CloseTextureWindow(slot);
        return picture.RowsCovered(80);
    };
    const int square = silhouette(256, 256);
    EXPECT_EQ(silhouette(64, 256), square);
    EXPECT_EQ(silhouette(256, 64), square);
    const int wide = silhouette(512, 256);
    EXPECT_EQ(silhouette(256, 512), wide);
    // Twice as far: r / sqrt(d^2 - r^2) falls from 80 % to 33 % of the height.
    EXPECT_NEAR(wide, 120 * 33 / 100, 2);
    EXPECT_GT(square, 2 * wide);

    // Zooming in (Far > 0) brings the camera closer.
    camera.Far = 128.0f;
    EXPECT_GT(silhouette(512, 256), wide);
}

TEST_F(PreviewFrameTest, SphereShowsTheTexturesMiddleFacingTheCameraNotMirrored) {
    MakePreview(128, 128);
    LoadSphere();
    // Columns by u: the back half blue, u 0.25-0.5 red, u 0.5-0.75 green.
    RenderDocument(OpenTexture(256, 256,
                               [](int x, int) {
                                   if (x < 64 || x >= 192) return kBlue;
                                   return x < 128 ? kRed : kGreen;
                               }),
                   false);
    Frame();
    // The depth test hides the back half behind the front one.
    EXPECT_EQ(picture.At(54, 64), kRedBgr);
    EXPECT_EQ(picture.At(74, 64), kGreenBgr);

    // Half a turn (Angle = pi) brings the back to the front.
    camera.Angle = 3.14159265f;
    Frame();
    EXPECT_EQ(picture.At(64, 64), kBlueBgr);
}

TEST_F(PreviewFrameTest, DeviceDefaultsShowABlackSphereAndNoWallUntilAWindowIsDrawn) {
    // No texture window has drawn yet: the device's defaults hold, lighting on with no light and
    // a black material. The shape is there, in black.
    MakePreview(64, 64);
    LoadSphere();
    const std::int32_t slot = OpenTexture(256, 256);
    Frame();
    EXPECT_EQ(picture.At(32, 32), (Bgr{0, 0, 0}));
    const int rows = picture.RowsCovered(32);
    EXPECT_GT(rows, 64 * 60 / 100);

    // Counter-clockwise culling, the other default, drops the wall's front faces.
    view.sphere = false;
    Frame();
    EXPECT_EQ(picture.CoveredPixels(), 0);

    // A texture window's redraw turns lighting and culling off; the texture shows from then on.
    RenderDocument(slot, false);
    Frame();
    EXPECT_EQ(picture.At(32, 32), kGreenBgr);
    view.sphere = true;
    Frame();
    EXPECT_EQ(picture.At(32, 32), kGreenBgr);
    EXPECT_EQ(picture.RowsCovered(32), rows);
}

TEST_F(PreviewFrameTest, AutoRotationTurnsHalfARadianInTwentyFiveFrames) {
    MakePreview(32, 32);
    LoadSphere();
    RenderDocument(OpenTexture(256, 256), false);
    camera.Angle = 0.25f;
    Frame();
    EXPECT_EQ(camera.Angle, 0.25f);

    view.autoRotate = true;
    for (int i = 0; i < 25; ++i)
        Frame();
    EXPECT_NEAR(camera.Angle, 0.75f, 1e-5f);
    // The frame draws with the angle it has just set.
    D3DXMATRIX expected;
    D3DXMatrixRotationYawPitchRoll(&expected, camera.Angle, 0.0f, 0.0f);
    const D3DXMATRIX world = device().GetTransform(D3DTS_WORLD);
    EXPECT_EQ(std::memcmp(&world, &expected, sizeof world), 0);
}

}  // namespace
}  // namespace tintora::testing
