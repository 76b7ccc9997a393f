#include "preview/preview_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "device/mesh_x.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "support/document_fixture.h"
#include "support/recording_windows.h"

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
    // Pixels that are not the background in columns x0 to x1 - 1 of rows y0 to y1 - 1.
    int Covered(int x0, int x1, int y0, int y1) const {
        int count = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x)
                count += Covered(x, y) ? 1 : 0;
        }
        return count;
    }
    int RowsCovered(int x) const { return Covered(x, x + 1, 0, height); }
    int ColumnsCovered(int y) const { return Covered(0, width, y, y + 1); }
    int CoveredPixels() const { return Covered(0, width, 0, height); }
    int FirstRowCovered(int x) const {
        int y = 0;
        while (y < height && !Covered(x, y))
            ++y;
        return y;
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

class PreviewFrameTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        Module1().BackgroundColor = kBackground;
        ui.previewPictureBox = [this]() -> PresentTarget* { return &picture; };
    }

    // The preview document at width x height, as start-up makes it; with the sphere loaded.
    void MakePreview(int width, int height, bool sphere = true) {
        auto& state = Module1();
        state.PreviewDocIndex = CreateDocument(width, height, true, true, &ui);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
        view.pictureWidth = static_cast<float>(width);
        view.pictureHeight = static_cast<float>(height);
        view.sphere = sphere;
        if (sphere) {
            state.SphereMesh = LoadMeshFromX(std::string(TINTORA_DATA_DIR) + "/sphere.x",
                                             D3DXMESH_MANAGED, state.Device);
        }
    }

    // A texture window showing a new width x height texture, made the active one; drawn once
    // unless draw is false.
    std::int32_t OpenTexture(
        int width, int height,
        const std::function<Bgra(int, int)>& texel = [](int, int) { return kGreen; },
        bool draw = true) {
        const std::int32_t entry = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(entry).Texture, texel);
        const std::int32_t slot = CreateDocument(width, height, false, false);
        DocumentAt(slot).TextureIndex = entry;
        Module1().ActiveWindowIndex = slot;
        if (draw) RenderDocument(slot, false);
        return slot;
    }

    void Frame() { DrawPreviewFrame(camera, view); }

    std::uint32_t Addressing(D3DTEXTURESTAGESTATETYPE type) {
        return device().GetTextureStageState(0, type);
    }

    FakePicture picture;
    PreviewCamera camera;
    PreviewFrameView view;
    RecordingWindows ui;
};

TEST(PreviewMouseTest, LeftDragTurnsRightDragZoomsOtherButtonsDoNothing) {
    constexpr int kLeft = kPreviewLeftButton;
    constexpr int kRight = kPreviewRightButton;
    const struct {
        const char* name;
        float downX, downY;
        std::vector<std::array<float, 3>> moves;  // buttons, x, y
        PreviewCamera expected;                   // OldX, OldY, Angle, AngleY, Far
    } cases[] = {
        // One radian per 30 pixels; each step measures from the point remembered last.
        {"left", 100, 100, {{kLeft, 130, 70}}, {130, 70, -1.0f, 1.0f, 0}},
        {"left twice", 100, 100, {{kLeft, 130, 70}, {kLeft, 115, 70}}, {115, 70, -0.5f, 1.0f, 0}},
        // The zoom follows the vertical distance; only the remembered y changes.
        {"right", 40, 10, {{kRight, 90, 35}}, {40, 35, 0, 0, 25.0f}},
        {"right twice", 40, 10, {{kRight, 90, 35}, {kRight, 90, 5}}, {40, 5, 0, 0, -5.0f}},
        // Remembered points round halves to even; the turn uses the unrounded position.
        {"halves", 2.5f, 3.5f, {{kLeft, 5.5f, 3.5f}}, {6, 4, -3.5f / 30, 0.5f / 30, 0}},
        {"none", 10, 10, {{0, 70, 90}}, {10, 10, 0, 0, 0}},
        {"middle", 10, 10, {{kPreviewMiddleButton, 70, 90}}, {10, 10, 0, 0, 0}},
        {"left and right", 10, 10, {{kLeft | kRight, 70, 90}}, {10, 10, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PreviewCamera camera;
        PreviewMouseDown(camera, c.downX, c.downY);
        for (const auto& [buttons, x, y] : c.moves)
            PreviewMouseMove(camera, static_cast<int>(buttons), x, y);
        EXPECT_EQ(camera.OldX, c.expected.OldX);
        EXPECT_EQ(camera.OldY, c.expected.OldY);
        EXPECT_FLOAT_EQ(camera.Angle, c.expected.Angle);
        EXPECT_FLOAT_EQ(camera.AngleY, c.expected.AngleY);
        EXPECT_FLOAT_EQ(camera.Far, c.expected.Far);
    }
}

TEST(PreviewCameraDistanceTest, FollowsTheLargerSideAndTheZoom) {
    const struct {
        bool sphere;
        float far;
        std::int32_t width, height;
        float expected;
    } cases[] = {
        {false, 0.0f, 256, 256, -256.0f},   {true, 0.0f, 256, 256, -6.4f},
        {false, 0.0f, 64, 256, -256.0f},    {true, 0.0f, 64, 256, -6.4f},
        {false, 0.0f, 256, 128, -256.0f},   {true, 0.0f, 512, 256, -12.8f},
        {false, 100.0f, 256, 256, -156.0f}, {true, -64.0f, 256, 256, -8.0f},
        {false, 256.0f, 256, 256, 0.0f},    {true, 300.0f, 128, 256, 1.1f},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(PreviewCameraDistance(c.sphere, c.far, c.width, c.height), c.expected)
            << (c.sphere ? "sphere " : "wall ") << c.width << "x" << c.height << " far " << c.far;
    }
}

TEST_F(PreviewFrameTest, PresentsIntoThePictureBoxAndKeepsThePreviewTarget) {
    MakePreview(48, 32, false);
    OpenTexture(32, 32);
    Frame();
    ASSERT_EQ(picture.presents, 1);
    EXPECT_EQ(picture.width, 48);
    EXPECT_EQ(picture.height, 32);
    EXPECT_GT(picture.CoveredPixels(), 0);
    EXPECT_EQ(
        device().GetRenderTarget(),
        DocumentAt(Module1().PreviewDocIndex).SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO));
}

TEST_F(PreviewFrameTest, OnlyTheBackgroundShowsWithoutATextureOrAViewpoint) {
    MakePreview(48, 32);
    OpenTexture(32, 32);
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"no active window", [] { Module1().ActiveWindowIndex = 0; }},
        {"a window slot outside the table", [] { Module1().ActiveWindowIndex = 99; }},
        {"a negative window slot", [] { Module1().ActiveWindowIndex = -1; }},
        {"the eye at the target", [this] { camera.Far = 32.0f; }},
        {"a picture without height", [this] { view.pictureHeight = 0.0f; }},
    };
    for (const auto& c : cases) {
        for (const bool sphere : {true, false}) {
            SCOPED_TRACE(::testing::Message() << c.name << (sphere ? ", sphere" : ", wall"));
            const std::int32_t active = Module1().ActiveWindowIndex;
            const PreviewCamera cameraBefore = camera;
            const PreviewFrameView viewBefore = view;
            view.sphere = sphere;
            c.change();
            const int presents = picture.presents;
            Frame();
            EXPECT_EQ(picture.presents, presents + 1);
            EXPECT_EQ(picture.CoveredPixels(), 0);
            Module1().ActiveWindowIndex = active;
            camera = cameraBefore;
            view = viewBefore;
        }
    }
    Frame();
    EXPECT_GT(picture.CoveredPixels(), 0);
}

TEST_F(PreviewFrameTest, WithoutAPreviewTargetNothingIsDrawnButTheShapeStillTurns) {
    // A texture window was drawn; the preview document does not exist yet.
    OpenTexture(16, 16);
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

TEST_F(PreviewFrameTest, WallAtFarZeroFillsTheViewHeightForItsLargerSide) {
    const struct {
        int viewWidth, viewHeight, textureWidth, textureHeight;
        int rows, firstRow, columns, firstColumn;  // through the view's centre
    } cases[] = {
        {128, 64, 64, 64, 64, 0, 64, 32},    // square: exactly the height, and square
        {96, 64, 256, 128, 32, 16, 64, 16},  // half as high as wide: the middle half
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.textureWidth);
        MakePreview(c.viewWidth, c.viewHeight, false);
        OpenTexture(c.textureWidth, c.textureHeight);
        Frame();
        const int x = c.viewWidth / 2;
        const int y = c.viewHeight / 2;
        EXPECT_EQ(picture.RowsCovered(x), c.rows);
        EXPECT_EQ(picture.FirstRowCovered(x), c.firstRow);
        EXPECT_EQ(picture.ColumnsCovered(y), c.columns);
        EXPECT_FALSE(picture.Covered(c.firstColumn - 1, y));
        EXPECT_TRUE(picture.Covered(c.firstColumn, y));
    }
}

TEST_F(PreviewFrameTest, WallShowsTheTextureUprightInFrontAndMirroredFromBehind) {
    MakePreview(64, 64, false);
    // Quadrants: red top left, green top right, blue bottom left, yellow bottom right.
    OpenTexture(32, 32, [](int x, int y) {
        if (y < 16) return x < 16 ? kRed : kGreen;
        return x < 16 ? kBlue : kYellow;
    });
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
    const std::int32_t slot = OpenTexture(32, 32);
    ASSERT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
    view.sphere = false;
    Frame();
    // The sphere sets no addressing of its own: it draws with what the wall left.
    view.sphere = true;
    Frame();
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_CLAMP);
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSV), D3DTADDRESS_CLAMP);

    RenderDocument(slot, false);
    Frame();
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
    EXPECT_EQ(Addressing(D3DTSS_ADDRESSV), D3DTADDRESS_WRAP);
}

TEST_F(PreviewFrameTest, SphereIsRoundAndItsCameraFollowsTheTexturesLargerSide) {
    MakePreview(160, 120);
    const auto silhouette = [this](int width, int height) {
        const std::int32_t slot = OpenTexture(width, height);
        Frame();
        CloseTextureWindow(slot);
        return picture.RowsCovered(80);
    };
    const int square = silhouette(256, 256);
    // Round: as wide as it is high, centred.
    EXPECT_NEAR(picture.ColumnsCovered(60), square, 2);
    EXPECT_NEAR(picture.FirstRowCovered(80), (120 - square) / 2, 1);
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
    // Columns by u: the back half blue, u 0.25-0.5 red, u 0.5-0.75 green.
    OpenTexture(256, 256, [](int x, int) {
        if (x < 64 || x >= 192) return kBlue;
        return x < 128 ? kRed : kGreen;
    });
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
    // No texture window has drawn yet: lighting on with no light and a black material, and
    // counter-clockwise culling, which drops the wall's front faces.
    MakePreview(64, 64);
    const std::int32_t slot = OpenTexture(
        256, 256, [](int, int) { return kGreen; }, false);
    Frame();
    EXPECT_EQ(picture.At(32, 32), (Bgr{0, 0, 0}));
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
}

}  // namespace
}  // namespace tintora::testing
