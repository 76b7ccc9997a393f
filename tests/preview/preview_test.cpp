// The preview's camera, its settings and its frame, drawn by the software device.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "device/mesh_x.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "preview/preview_frame.h"
#include "preview/preview_settings.h"
#include "services/scripted_ui_services.h"
#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

TEST(PreviewMouseTest, LeftDragTurnsRightDragZoomsOtherButtonsDoNothing) {
    constexpr int kLeft = kPreviewLeftButton, kRight = kPreviewRightButton;
    const struct {
        float downX, downY;
        std::vector<std::array<float, 3>> moves;  // buttons, x, y
        PreviewCamera expected;                   // OldX, OldY, Angle, AngleY, Far
    } cases[] = {
        // One radian per 30 pixels; each step measures from the point remembered last.
        {100, 100, {{kLeft, 130, 70}, {kLeft, 115, 70}}, {115, 70, -0.5f, 1.0f, 0}},
        // The zoom follows the vertical distance; only the remembered y changes.
        {40, 10, {{kRight, 90, 35}, {kRight, 90, 5}}, {40, 5, 0, 0, -5.0f}},
        // Remembered points round halves to even; the turn uses the unrounded position.
        {2.5f, 3.5f, {{kLeft, 5.5f, 3.5f}}, {6, 4, -3.5f / 30, 0.5f / 30, 0}},
        {10, 10, {{0, 70, 90}, {kPreviewMiddleButton, 70, 90}, {kLeft | kRight, 7, 9}}, {10, 10}},
    };
    for (const auto& c : cases) {
        PreviewCamera camera;
        PreviewMouseDown(camera, c.downX, c.downY);
        for (const auto& [buttons, x, y] : c.moves)
            PreviewMouseMove(camera, static_cast<int>(buttons), x, y);
        const PreviewCamera& e = c.expected;
        EXPECT_EQ(std::tuple(camera.OldX, camera.OldY, camera.Angle, camera.AngleY, camera.Far),
                  std::tuple(e.OldX, e.OldY, e.Angle, e.AngleY, e.Far))
            << &c - cases;
    }
}

// A notch moves the camera a tenth of the larger side; forward it stops a tenth before the target.
TEST(PreviewMouseTest, TheWheelZoomsByATenthOfTheLargerSide) {
    const std::tuple<float, double, int, int, float> cases[] = {
        // Far before, notches, texture width and height, Far after.
        {0, 1, 64, 256, 25.6f}, {0, -2, 256, 64, -51.2f}, {200, 3, 256, 256, 230.4f},
        {240, 1, 256, 256, 240}, {240, -0.5, 256, 256, 227.2f}, {10, 1, 0, 0, 10}};
    for (const auto& [far, notches, width, height, expected] : cases) {
        PreviewCamera camera{.Far = far};
        PreviewWheel(camera, notches, width, height);
        EXPECT_FLOAT_EQ(camera.Far, expected) << far << " " << notches;
    }
}

// With M the larger side: Far - M for the wall, (Far - M) / 40 for the sphere.
TEST(PreviewCameraDistanceTest, FollowsTheLargerSideAndTheZoom) {
    EXPECT_FLOAT_EQ(PreviewCameraDistance(false, 0.0f, 64, 256), -256.0f);
    EXPECT_FLOAT_EQ(PreviewCameraDistance(false, 100.0f, 256, 128), -156.0f);
    EXPECT_FLOAT_EQ(PreviewCameraDistance(true, 0.0f, 512, 256), -12.8f);
    EXPECT_FLOAT_EQ(PreviewCameraDistance(true, -64.0f, 64, 256), -8.0f);
    EXPECT_FLOAT_EQ(PreviewCameraDistance(true, 300.0f, 128, 256), 1.1f);
}

// Unreadable values count as absent (the sphere is the default); negative and huge positions
// would put the window out of reach; "3DView" is True, False (any case, blanks around) or a
// number; the check box a 16-bit number (halves to even) of 0, 1 or 2.
TEST(PreviewSettingsTest, ReadTakesStoredValuesAndDefaultsForAbsentOrUnreadableOnes) {
    const struct {
        std::array<const char*, 4> stored;  // 3DX, 3DY, 3DView, 3DCheck; nullptr: absent
        PreviewSettings expected;
    } cases[] = {
        {{}, {200, 99, true, kCheckUnchecked}},
        {{"3000", "150.5", "False", "1"}, {3000, 150.5f, false, kCheckChecked}},
        {{"-150.5", "1e30", " FALSE ", "2"}, {200, 99, false, kCheckGrayed}},
        {{"12px", "abc", "Falsey", "x"}, {200, 99, true, kCheckUnchecked}},
        {{nullptr, nullptr, "0.0", " 2.5 "}, {200, 99, false, kCheckGrayed}},
        {{nullptr, nullptr, "0px", "65537"}, {200, 99, true, kCheckUnchecked}},
        {{nullptr, nullptr, "0x0", "3"}, {200, 99, true, kCheckUnchecked}},
    };
    for (const auto& c : cases) {
        ScriptedSettingsStore store;
        for (int i = 0; i < 4; ++i) {
            const char* key = std::array{"3DX", "3DY", "3DView", "3DCheck"}[i];
            if (c.stored[i] != nullptr) store.values[{"Tintora", "Tintora", key}] = c.stored[i];
        }
        const PreviewSettings read = ReadPreviewSettings(store, 200.0f, 99.0f);
        const PreviewSettings& e = c.expected;
        EXPECT_EQ(std::tuple(read.left, read.top, read.sphere, read.check),
                  std::tuple(e.left, e.top, e.sphere, e.check))
            << &c - cases;
        EXPECT_TRUE(store.saved.empty());
    }
}

constexpr std::uint32_t kBackground = 0x302010, kRed = 0xFF0000, kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF, kYellow = 0xFFFF00;  // 0xRRGGBB

// The preview picture box: keeps the last presented image.
class FakePicture : public PresentTarget {
  public:
    int ClientWidth() const override { return 0; }
    int ClientHeight() const override { return 0; }
    void PresentImage(const ImageView& image) override {
        ++presents;
        width = image.width;
        pixels.resize(static_cast<std::size_t>(image.width) * image.height);
        for (int y = 0; y < image.height; ++y)
            std::memcpy(&pixels[y * width], image.bits + y * image.pitch, 4 * width);
    }
    std::uint32_t At(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
    // Pixels other than the background in columns x0 to x1 - 1 of rows y0 to y1 - 1.
    int Covered(int x0, int x1, int y0, int y1) const {
        int count = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x)
                count += At(x, y) != kBackground ? 1 : 0;
        }
        return count;
    }

    int presents = 0, width = 0;
    std::vector<std::uint32_t> pixels;
};

class PreviewFrameTest : public DocumentTest {
  protected:
    // The preview document at width x height, as start-up makes it, with the sphere loaded.
    void MakePreview(int width, int height, bool sphere = true) {
        auto& state = Module1();
        state.BackgroundColor = 0x00102030u;
        ui.previewPictureBox = [this]() -> PresentTarget* { return &picture; };
        state.PreviewDocIndex = CreateDocument(width, height, true, true, &ui);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
        view = {sphere, false, static_cast<float>(width), static_cast<float>(height)};
        state.SphereMesh = LoadMeshFromX(std::string(TINTORA_DATA_DIR) + "/sphere.x",
                                         D3DXMESH_MANAGED, state.Device);
    }

    // An active texture window on a texture of texel's colours (green), drawn once as it is.
    std::int32_t OpenTexture(int width, int height,
                             const std::function<std::uint32_t(int, int)>& texel = {}) {
        const std::int32_t entry = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(entry).Texture, [&](int x, int y) {
            const std::uint32_t c = texel ? texel(x, y) : kGreen;
            return Bgra{std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16), 255};
        });
        const std::int32_t slot = CreateDocument(width, height, false, false);
        DocumentAt(slot).TextureIndex = entry;
        Module1().ActiveWindowIndex = slot;
        RenderDocument(slot, false);
        return slot;
    }

    void Frame() { DrawPreviewFrame(camera, view); }

    FakePicture picture;
    PreviewCamera camera;
    PreviewFrameView view;
    RecordingWindows ui;
};

// Each frame is presented, at the picture's size.
TEST_F(PreviewFrameTest, OnlyTheBackgroundShowsWithoutATextureOrAViewpoint) {
    MakePreview(48, 32);
    const std::int32_t slot = OpenTexture(32, 32);
    const std::function<void(PreviewCamera&, PreviewFrameView&)> changes[] = {
        [](auto&, auto&) { Module1().ActiveWindowIndex = 0; },   // no active window
        [](auto&, auto&) { Module1().ActiveWindowIndex = 99; },  // a slot outside the table
        [](auto& c, auto&) { c.Far = 32.0f; },                   // the eye at the target
        [](auto&, auto& v) { v.pictureHeight = 0.0f; },          // a picture without height
        [](auto&, auto&) {},                                     // the shape, for contrast
    };
    for (const auto& change : changes) {
        for (const bool sphere : {true, false}) {
            PreviewCamera c;
            PreviewFrameView v = view;
            v.sphere = sphere;
            change(c, v);
            DrawPreviewFrame(c, v);
            EXPECT_EQ(picture.Covered(0, 48, 0, 32) > 0, &change == &changes[4])
                << &change - changes << sphere;
            Module1().ActiveWindowIndex = slot;
        }
    }
    EXPECT_EQ(std::tuple(picture.presents, picture.width, picture.pixels.size()),
              std::tuple(10, 48, 48u * 32));
}

TEST_F(PreviewFrameTest, WithoutAPreviewTargetNothingIsDrawnButTheShapeStillTurns) {
    OpenTexture(16, 16);  // the preview document does not exist yet
    const auto target = device().GetRenderTarget();
    const auto bytes = [&target] {
        return std::vector<std::uint8_t>(target->bits(),
                                         target->bits() + target->pitch() * target->height());
    };
    const std::vector<std::uint8_t> drawn = bytes();
    view.autoRotate = true;
    Frame();
    EXPECT_EQ(picture.presents, 0);
    EXPECT_EQ(device().GetRenderTarget(), target);
    EXPECT_EQ(bytes(), drawn);
    EXPECT_FALSE(device().inScene());
    EXPECT_FLOAT_EQ(camera.Angle, 0.02f);
    ResetModule1();  // no device at all: the timer runs before start-up creates it
    Frame();
    EXPECT_FLOAT_EQ(camera.Angle, 0.04f);
    EXPECT_EQ(picture.presents, 0);
}

// At Far 0 the wall is as high as the view for its larger side, centred; the texture upright
// from the front and mirrored from behind (Far = 2M puts the camera at z = +M).
TEST_F(PreviewFrameTest, WallFillsTheViewHeightForItsLargerSideAndShowsTheTextureUpright) {
    MakePreview(96, 64, false);
    OpenTexture(256, 128);  // half as high as wide: the middle half of the height
    Frame();
    EXPECT_EQ((std::array{picture.Covered(48, 49, 0, 32), picture.Covered(48, 49, 32, 64),
                          picture.Covered(0, 48, 32, 33), picture.Covered(48, 96, 32, 33)}),
              (std::array{16, 16, 32, 32}));
    MakePreview(64, 64, false);
    OpenTexture(32, 32, [](int x, int y) {
        return y < 16 ? (x < 16 ? kRed : kGreen) : (x < 16 ? kBlue : kYellow);
    });
    const auto quadrants = [this] {
        Frame();
        return std::array{picture.At(16, 16), picture.At(48, 16), picture.At(16, 48),
                          picture.At(48, 48)};
    };
    EXPECT_EQ(quadrants(), (std::array{kRed, kGreen, kBlue, kYellow}));
    EXPECT_EQ(picture.Covered(0, 64, 0, 64), 64 * 64);  // square: exactly the view
    camera.Far = 64.0f;
    EXPECT_EQ(quadrants(), (std::array{kGreen, kRed, kYellow, kBlue}));
}

// Round and centred, about 80 % of the view's height for a square texture; the texture's middle
// faces the camera, not mirrored, and the depth test hides the back half.
TEST_F(PreviewFrameTest, SphereIsRoundAndShowsTheTexturesMiddleFacingTheCamera) {
    MakePreview(128, 128);
    // Columns by u: the back half blue, u 0.25-0.5 red, u 0.5-0.75 green.
    OpenTexture(256, 256, [](int x, int) {
        return x < 64 || x >= 192 ? kBlue : x < 128 ? kRed : kGreen;
    });
    Frame();
    const int high = picture.Covered(64, 65, 0, 128);
    EXPECT_NEAR(high, 128 * 80 / 100, 3);
    EXPECT_NEAR(picture.Covered(0, 128, 64, 65), high, 2);
    EXPECT_NEAR(picture.Covered(64, 65, 0, 64), high / 2, 1);
    EXPECT_EQ(picture.At(54, 64), kRed);
    EXPECT_EQ(picture.At(74, 64), kGreen);
    camera.Angle = 3.14159265f;  // half a turn brings the back to the front
    Frame();
    EXPECT_EQ(picture.At(64, 64), kBlue);
}

}  // namespace
}  // namespace tintora::testing
