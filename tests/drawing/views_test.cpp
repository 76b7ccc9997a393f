// Drawing without a window system: the quad a view draws, texture windows' creation, captions
// and closing, the rectangle of each view mode, the redraw and its guard, the swap-chain rebuild.
#include "drawing/views.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "drawing/texel_view.h"
#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

// Draws into an A8R8G8B8 image surface cleared to a known colour and reads pixels back.
class DrawQuadTest : public DocumentTest {
  protected:
    static constexpr Bgra kClear = {0x90, 0x60, 0x30, 0xFF};

    void UseTarget(int width, int height) {
        target_ = device().CreateImageSurface(width, height, D3DFMT_A8R8G8B8);
        device().SetRenderTarget(target_, nullptr);
        device().SetViewport(WholeViewport(width, height));
    }

    // Clears the target and draws one quad (q's rectangle) in a scene of its own.
    void Draw(const ViewQuad& q, const std::shared_ptr<Texture>& texture, bool alphaOnly = false) {
        device().BeginScene();
        device().Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF306090u, 1.0f, 0);
        DrawQuad(q.x, q.y, q.width, q.height, texture, q.smooth, q.uRight, q.vBottom, alphaOnly);
        device().EndScene();
    }

    Bgra Pixel(int x, int y) const {
        const std::uint8_t* p = target_->bits() + 4 * (y * target_->width() + x);
        return {p[0], p[1], p[2], p[3]};
    }

    // Opaque texels that all differ from each other and from the clear colour.
    static Bgra OpaqueTexel(int x, int y) {
        return {static_cast<std::uint8_t>(10 + 23 * x), static_cast<std::uint8_t>(7 + 29 * y),
                static_cast<std::uint8_t>(200 - 11 * x - 5 * y), 255};
    }

    std::shared_ptr<Surface> target_;
};

// Every pixel whose centre lies in the quad shows one texel, exactly: texel ((p - x) / block) of
// the texture, repeated past its edge; every other pixel keeps the clear colour.
TEST_F(DrawQuadTest, PixelsShowWholeTexelsInPlaceRepeatedAndScaled) {
    struct Case {
        int targetWidth, targetHeight, textureWidth, textureHeight;
        ViewQuad q;
        int block;  // pixels per texel
    };
    const Case cases[] = {
        {12, 12, 4, 4, {true, 0, 0, 8, 8, true, 2, 2}, 1},    // coordinates of 2 repeat
        {40, 30, 16, 8, {true, 5, 7, 16, 8, true, 1, 1}, 1},  // linear yet sharp
        {37, 23, 8, 4, {true, 0, 0, 37, 23, true, 37.0f / 8, 23.0f / 4}, 1},
        {10, 10, 4, 4, {true, 0, 0, 8, 8, false, 1, 1}, 2},  // point, after linear
    };
    for (const Case& c : cases) {
        UseTarget(c.targetWidth, c.targetHeight);
        const auto texture = device().CreateTexture(c.textureWidth, c.textureHeight, 1, 0,
                                                    D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        FillTexture(*texture, OpaqueTexel);
        Draw(c.q, texture);
        const auto index = [&c](int p, float origin, int size) {
            return static_cast<int>(static_cast<float>(p) - origin) / c.block % size;
        };
        for (int y = 0; y < c.targetHeight; ++y) {
            for (int x = 0; x < c.targetWidth; ++x) {
                const bool inside = x + 0.5f >= c.q.x && x + 0.5f < c.q.x + c.q.width &&
                                    y + 0.5f >= c.q.y && y + 0.5f < c.q.y + c.q.height;
                const Bgra texel =
                    OpaqueTexel(index(x, c.q.x, c.textureWidth), index(y, c.q.y, c.textureHeight));
                ASSERT_EQ(Pixel(x, y), inside ? texel : kClear)
                    << c.targetWidth << "x" << c.targetHeight << " at " << x << "," << y;
            }
        }
    }
}

// Alpha only draws white weighted by the texel alpha; an ordinary draw shows the texels. Both
// start from states that would spoil the quad if DrawQuad did not set them.
TEST_F(DrawQuadTest, AlphaOnlyAndOrdinaryDrawsSetTheStatesTheyNeedAndLeaveTheOthers) {
    Device& d = device();
    d.SetRenderState(D3DRS_LIGHTING, 1);
    d.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    d.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    d.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    const std::uint32_t alphaFunc = d.GetRenderState(D3DRS_ALPHAFUNC);
    const std::uint32_t alphaOp = d.GetTextureStageState(0, D3DTSS_ALPHAOP);
    UseTarget(8, 4);
    constexpr Bgra kWhite = {255, 255, 255, 255};
    // Columns: opaque colour, transparent colour, half alpha, opaque black; drawn twice.
    const Bgra columns[] = {
        {10, 20, 30, 255}, {200, 100, 50, 0}, {40, 40, 40, 128}, {0, 0, 0, 255}};
    const auto texture = d.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    FillTexture(*texture, [&columns](int x, int) { return columns[x]; });
    for (const bool alphaOnly : {true, false}) {
        Draw({true, 0, 0, 8, 4, false, 2, 1}, texture, alphaOnly);
        for (const int x : {0, 4}) {
            EXPECT_EQ(Pixel(x, 2), alphaOnly ? kWhite : columns[0]) << x;
            EXPECT_EQ(Pixel(x + 1, 2), kClear) << x;
            EXPECT_EQ(Pixel(x + 3, 2), alphaOnly ? kWhite : columns[3]) << x;
        }
        for (int c = 0; c < 3; ++c) {  // source x 128/255 + clear x 127/255
            const double source = alphaOnly ? 255 : 40;
            EXPECT_NEAR(Pixel(2, 2)[c], (source * 128.0 + kClear[c] * 127.0) / 255.0, 1.0) << c;
        }
    }
    EXPECT_EQ(d.GetRenderState(D3DRS_ALPHAFUNC), alphaFunc);
    EXPECT_EQ(d.GetTextureStageState(0, D3DTSS_ALPHAOP), alphaOp);
    EXPECT_EQ(d.GetVertexShader(), kQuadVertexFvf);

    Module1().Device.reset();
    EXPECT_EQ(ErrorCodeOf([&] { DrawQuad(0, 0, 2, 2, texture, true, 1, 1, false); }),
              kErrObjectNotSet);
}

using Strings = std::vector<std::string>;

// A texture window that records what it is told.
class FakeWindow : public DocumentWindow {
  public:
    explicit FakeWindow(std::int32_t windowSlot) : slot(windowSlot) {}
    void SetCaption(const std::string& text) override { caption = text; }
    std::string Caption() const override { return caption; }
    WindowTag Tag() const override { return tag; }
    void SetTag(WindowTag value) override { tag = value; }
    void Repaint() override { ++repaints; }
    void SetClientSize(int width, int height) override {
        clientWidth = width, clientHeight = height;
        if (onSetClientSize) onSetClientSize(*this);
    }
    void CloseWindow() override { closed = true; }
    int ClientWidth() const override { return clientWidth; }
    int ClientHeight() const override { return clientHeight; }
    void PresentImage(const ImageView&) override { ++presents; }

    std::int32_t slot;
    std::string caption;
    WindowTag tag = WindowTag::Creating;
    int clientWidth = 0, clientHeight = 0, presents = 0, repaints = 0;
    bool closed = false;
    std::function<void(FakeWindow&)> onSetClientSize;
};

// Starts as the editor does: the preview's document (no window) takes slot 1.
class ViewsTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ui_.createTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            windows_.push_back(std::make_unique<FakeWindow>(slot));
            if (onWindowCreated_) onWindowCreated_(*windows_.back());
            ActivateTextureWindow(slot, &ui_);  // a shown MDI child becomes the active one
            return windows_.back().get();
        };
        ui_.previewPictureBox = [this] { return &pictureBox_; };
        ui_.messageBox = [this](const std::string& text) { messages_.push_back(text); };
        ui_.endProgram = [this] { messages_.emplace_back("end"); };
        ui_.showPreviewWindow = [this] { previewVisible_ = true; };
        ui_.hidePreviewWindow = [this] { previewVisible_ = false; };
        Module1().BackgroundColor = 0x00102030u;  // red 0x30, green 0x20, blue 0x10
        Module1().PreviewDocIndex = CreateDocument(64, 64, true, true, &ui_);
        DocumentAt(1).IsPreview = true;
    }

    // A texture entry of one colour and a window showing it, as the new-texture command does.
    std::int32_t OpenTexture(int width, int height) {
        const std::int32_t entry = CreateTextureEntry(width, height, true, &ui_);
        FillTexture(*TextureAt(entry).Texture, [](int, int) { return Bgra{10, 20, 30, 255}; });
        const std::int32_t doc = CreateDocument(width, height, true, false, &ui_);
        DocumentAt(doc).TextureIndex = entry;
        return doc;
    }

    FakeWindow& WindowOf(std::int32_t doc) {
        return *static_cast<FakeWindow*>(DocumentAt(doc).Window);
    }

    static void UseAdapter(D3DFORMAT desktop, std::vector<D3DFORMAT> depthFormats) {
        AdapterInfo info;
        info.displayFormat = [desktop] { return desktop; };
        info.depthFormats = std::move(depthFormats);
        Module1().D3D = Direct3DCreate8(info);
    }

    std::vector<std::unique_ptr<FakeWindow>> windows_;
    std::function<void(FakeWindow&)> onWindowCreated_;
    FakeWindow pictureBox_{0};  // the preview's picture box
    RecordingWindows ui_;
    Strings messages_;  // message boxes, and "end" for the end of the program
    bool previewVisible_ = false;
};

TEST_F(ViewsTest, AWindowsChainAndCaptionAtCreationAfterAResizeAndAfterARefresh) {
    // The window's handlers run inside the creation, as showing and sizing a window raises
    // them; they find nothing to rebuild or draw yet.
    int handlerRuns = 0;
    onWindowCreated_ = [&](FakeWindow& window) {
        window.onSetClientSize = [&](FakeWindow& w) {
            ++handlerRuns;
            ResizeSwapChain(w.slot, w.clientWidth + 10, w.clientHeight + 10, &ui_, &ui_);
            RenderDocument(w.slot, false, &ui_);
        };
    };
    const std::int32_t doc = OpenTexture(256, 128);
    FakeWindow& w = WindowOf(doc);
    EXPECT_EQ((std::array{handlerRuns, w.presents, w.slot, Module1().ActiveWindowIndex}),
              (std::array{1, 0, 2, 2}));
    EXPECT_EQ(w.caption + " " + DocumentAt(doc).Title, "Window2 Window2");
    EXPECT_EQ(w.tag, WindowTag::Resize);
    const auto expectChain = [&](int width, int height, D3DFORMAT depthFormat) {
        const TextureDocument& d = DocumentAt(doc);
        EXPECT_EQ(d.SwapChain->window(), &w);
        const auto back = d.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
        const auto viewportWidth = static_cast<int>(d.Viewport.Width);
        const auto viewportHeight = static_cast<int>(d.Viewport.Height);
        EXPECT_EQ((std::array{back->width(), back->height(), d.ChainWidth, d.ChainHeight,
                              viewportWidth, viewportHeight, d.DepthSurface->width()}),
                  (std::array{width, height, width, height, width, height, width}));
        EXPECT_EQ(d.DepthSurface->format(), depthFormat);
    };
    expectChain(256, 128, D3DFMT_D16);
    EXPECT_EQ((std::array{w.clientWidth, w.clientHeight}), (std::array{256, 128}));
    ResizeSwapChain(doc, 100, 50, &ui_, &ui_);
    expectChain(100, 50, D3DFMT_D24X8);

    TextureAt(1).Title = "bricks.png";
    RefreshCaptions(&ui_);
    EXPECT_EQ(w.caption + " " + DocumentAt(doc).Title, "1-bricks.png (256x128) bricks.png");
    EXPECT_EQ(w.presents, 1);
}

TEST_F(ViewsTest, AFailedCreationLeavesNoHalfMadeDocumentBehind) {
    OpenTexture(16, 16);
    // Size 0 in a window that keeps 40 x 30: the chain takes the window's size, the depth fails.
    onWindowCreated_ = [](FakeWindow& window) {
        window.onSetClientSize = [](FakeWindow& w) { w.clientWidth = 40, w.clientHeight = 30; };
    };
    EXPECT_EQ(ErrorCodeOf([this] { CreateDocument(0, 0, true, false, &ui_); }), D3DERR_INVALIDCALL);
    EXPECT_TRUE(windows_.back()->closed);
    const TextureDocument& failed = DocumentAt(3);
    EXPECT_FALSE(failed.InUse || failed.Window || failed.SwapChain || failed.DepthSurface);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
}

TEST_F(ViewsTest, ClosingFreesBothSlotsAndTheLastWindowHidesThePreview) {
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    CloseTextureWindow(b, &ui_);
    EXPECT_TRUE(previewVisible_);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    const TextureDocument& closed = DocumentAt(b);
    EXPECT_FALSE(closed.InUse || closed.SwapChain || closed.DepthSurface || closed.Window);
    EXPECT_FALSE(TextureAt(2).InUse || TextureAt(2).Texture);
    // Texture slot 2 is taken again by a new entry; a second close of b must not free it.
    EXPECT_EQ(CreateTextureEntry(8, 8, true, &ui_), 2);
    ActivateTextureWindow(a, &ui_);
    CloseTextureWindow(b, &ui_);
    EXPECT_TRUE(TextureAt(2).InUse);
    EXPECT_EQ(Module1().ActiveWindowIndex, a);
    CloseTextureWindow(a, &ui_);
    EXPECT_FALSE(previewVisible_);
}

TEST(ViewQuadForTest, StretchModesCoverTheWindowLessItsLastColumnAndRow) {
    const std::tuple<ViewMode, bool, bool> cases[] = {{ViewMode::StretchFiltering, true, true},
                                                      {ViewMode::StretchPixellised, true, false},
                                                      {ViewMode::Normal, false, true},
                                                      {ViewMode::Tiled, false, true},
                                                      {static_cast<ViewMode>(4), false, true}};
    for (const auto& [mode, draw, smooth] : cases) {
        const ViewQuad q = ViewQuadFor(mode, 300, 200);
        EXPECT_EQ((std::tuple{q.draw, q.smooth, q.x, q.y, q.width, q.height, q.uRight, q.vBottom}),
                  (std::tuple{draw, smooth, 0.0f, 0.0f, draw ? 299.0f : 0.0f, draw ? 199.0f : 0.0f,
                              1.0f, 1.0f}))
            << static_cast<int>(mode);
    }
}

// Zoom steps stop at both ends; Fit takes the largest step that shows the whole texture.
TEST(ZoomTest, StepsStopAtTheLimitsAndFitShowsTheWholeTexture) {
    const std::tuple<double, int, double> steps[] = {
        {1, 1, 2},   {1, -1, 0.5}, {4, 1, 6},      {32, 1, 32}, {0.125, -3, 0.125},
        {1, 12, 32}, {5, 0, 6},    {0.3, 0, 0.25}, {-1, 0, 1},  {std::nan(""), 1, 2}};
    for (const auto& [zoom, by, expected] : steps)
        EXPECT_EQ(ZoomStep(zoom, by), expected) << zoom;
    EXPECT_EQ((std::array{FitZoom(500, 400, 37, 23), FitZoom(1280, 960, 4096, 4096),
                          FitZoom(10, 10, 4096, 4096), FitZoom(256, 255, 256, 256)}),
              (std::array{12.0, 0.125, 0.125, 0.5}));
    EXPECT_EQ(ZoomText(0.125) + ZoomText(4) + ZoomText(1), "12.5%400%100%");
}

// The redraw clears to the background (black in alpha-only view) and draws the view mode's
// rectangle from the main or the preview texture; the pixels inside are DrawQuad's.
TEST_F(ViewsTest, RedrawShowsTheModesRectangleOnTheBackground) {
    using Bgr = std::array<int, 3>;
    constexpr Bgr kMain = {10, 20, 30}, kPreview = {200, 100, 50}, kBack = {0x10, 0x20, 0x30};
    constexpr Bgr kBlack = {0, 0, 0}, kWhite = {255, 255, 255};
    struct Case {
        ViewMode mode;
        bool alphaOnly, usePreview, noTexture;
        Bgr corner, centre;  // pixels (0, 0) and (5, 5) of 12 x 12
    };
    const Case cases[] = {
        {ViewMode::Normal, false, false, false, kBack, kMain},
        {ViewMode::Normal, false, true, false, kBack, kPreview},
        {ViewMode::Normal, true, false, false, kBlack, kWhite},
        {ViewMode::Tiled, false, false, false, kMain, kMain},
        {ViewMode::Tiled, false, false, true, kBack, kBack},
    };
    const std::int32_t doc = OpenTexture(8, 8);
    FillTexture(*TextureAt(1).PreviewTexture, [](int, int) { return Bgra{200, 100, 50, 255}; });
    ResizeSwapChain(doc, 12, 12, &ui_, &ui_);
    for (const Case& c : cases) {
        TextureDocument& d = DocumentAt(doc);
        d.ViewMode = c.mode;
        d.AlphaOnly = c.alphaOnly;
        d.TextureIndex = c.noTexture ? 0 : 1;
        RenderDocument(doc, c.usePreview, &ui_);
        const std::uint8_t* bits = d.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO)->bits();
        const auto at = [b = bits](int p) { return Bgr{b[4 * p], b[4 * p + 1], b[4 * p + 2]}; };
        EXPECT_EQ((std::pair{at(0), at(5 * 12 + 5)}), (std::pair{c.corner, c.centre}))
            << static_cast<int>(c.mode) << c.alphaOnly << c.usePreview << c.noTexture;
    }
}

// Zooming about a point keeps the texel under it while the picture can move (Normal view
// larger than the window, Tiled view); a Normal picture is kept covering the window.
TEST(ZoomTest, ZoomingKeepsTheTexelUnderThePointAndThePictureOverTheWindow) {
    for (const ViewMode mode : {ViewMode::Normal, ViewMode::Tiled}) {
        TextureDocument d;
        d.ViewMode = mode;
        d.ChainWidth = 100;
        d.ChainHeight = 80;
        const auto under = TexelAt(d, 64, 48, 47, 37);
        for (const double zoom : {2.0, 8.0, 32.0, 3.0}) {
            const auto point = TexturePoint(d, 64, 48, 47, 37);
            d.Zoom = zoom;
            PutTexturePoint(d, 64, 48, point, 47, 37);
            EXPECT_EQ(TexelAt(d, 64, 48, 47, 37), under) << static_cast<int>(mode) << " " << zoom;
        }
        PlacePicture(d, 64, 48, 500, -9999);
        const TexelLayout l = LayoutTexels(d, 64, 48);
        EXPECT_EQ((std::array{l.x, l.y}),
                  mode == ViewMode::Normal ? (std::array{0, 80 - 144}) : (std::array{-76, -63}));
    }
}

// Texels as squares of zoom x zoom pixels from a whole-pixel origin, the background beside the
// picture: odd and even size differences at 1:1, a picture larger than the window, zoom 3, tiles
// from a moved origin.
TEST_F(ViewsTest, TexelViewsDrawSharpSquaresFromAWholePixelOrigin) {
    struct Case {
        ViewMode mode;
        int zoom;
        double tileX;
        int cw, ch, x, y;  // x, y: where the picture's corner must lie
    };
    const Case cases[] = {{ViewMode::Normal, 1, 0, 21, 20, 2, 2},
                          {ViewMode::Normal, 1, 0, 16, 13, 0, -2},
                          {ViewMode::Normal, 3, 0, 50, 40, 1, -4},
                          {ViewMode::Tiled, 2, 0.25, 40, 37, -8, 0}};
    const auto texel = [](int x, int y) {
        return std::array<int, 3>{5 + 13 * x, 3 + 15 * y, 7 * (x + y)};
    };
    const std::int32_t doc = OpenTexture(16, 16);
    FillTexture(*TextureAt(1).Texture, [&texel](int x, int y) {
        const auto c = texel(x, y);
        return Bgra{std::uint8_t(c[0]), std::uint8_t(c[1]), std::uint8_t(c[2]), 255};
    });
    for (const Case& c : cases) {
        TextureDocument& d = DocumentAt(doc);
        std::tie(d.ViewMode, d.Zoom, d.TileX) = std::tuple{c.mode, c.zoom, c.tileX};
        ResizeSwapChain(doc, c.cw, c.ch, &ui_, &ui_);
        RenderDocument(doc, false, &ui_);
        const std::uint8_t* bits = d.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO)->bits();
        const int size = 16 * c.zoom;
        const std::array<int, 3> background = {0x10, 0x20, 0x30};
        for (int y = 0; y < c.ch; ++y) {
            for (int x = 0; x < c.cw; ++x) {
                int px = x - c.x;
                int py = y - c.y;
                if (c.mode == ViewMode::Tiled) px = (px + size) % size, py = (py + size) % size;
                const bool inside = px >= 0 && py >= 0 && px < size && py < size;
                const std::uint8_t* p = bits + 4 * (y * c.cw + x);
                ASSERT_EQ((std::array<int, 3>{p[0], p[1], p[2]}),
                          inside ? texel(px / c.zoom, py / c.zoom) : background)
                    << c.cw << "x" << c.ch << " zoom " << c.zoom << " at " << x << "," << y;
            }
        }
    }
}

// Zoomed out, a pixel averages its block by alpha (a block cut by the edge, its texels alone);
// transparent texels show the checkerboard or the background; from 8x a grid half-way to white
// or black.
TEST_F(ViewsTest, TexelViewsAverageBlocksShowTheCheckerboardAndTheGrid) {
    using Bgr = std::array<int, 3>;
    const std::int32_t doc = OpenTexture(7, 6);  // odd: blocks cut by the right edge
    FillTexture(*TextureAt(1).Texture, [](int x, int y) {
        if (y >= 4 && x < 2) return Bgra{255, 255, 255, 0};  // white, but transparent
        if (y < 4 && x >= 4) return x < 6 ? Bgra{200, 0, 0, 255} : Bgra{0, 0, 200, 255};
        return Bgra{40, 80, 120, 255};
    });
    struct Case {
        double zoom;
        bool checkerboard, grid;
        int x, y;
        Bgr expected;
    };
    const Case cases[] = {
        {0.25, true, true, 4, 4, {40, 80, 120}},    // a block of one colour, in a 10 x 10 window
        {0.25, true, true, 5, 4, {100, 0, 100}},    // the halves of a block
        {0.25, true, true, 4, 5, {147, 167, 187}},  // half transparent, on the light square
        {0.25, false, true, 4, 5, {28, 56, 84}},    // half transparent, on the background
        {2, true, true, 1, 8, {0xCC, 0xCC, 0xCC}},  // the dark square
        {2, false, true, 1, 8, {0x10, 0x20, 0x30}},
        {8, true, true, 0, 0, {148, 168, 188}},  // grid lines lighten dark texels
        {8, true, true, 32, 3, {228, 128, 128}},
        {8, true, true, 1, 1, {40, 80, 120}},
        {8, true, false, 0, 0, {40, 80, 120}},
    };
    for (const Case& c : cases) {
        DocumentAt(doc).Zoom = c.zoom;
        Module1().ShowCheckerboard = c.checkerboard;
        Module1().ShowTexelGrid = c.grid;
        // Zoomed in, the window is the picture's size.
        const int width = c.zoom < 1 ? 10 : static_cast<int>(7 * c.zoom);
        ResizeSwapChain(doc, width, c.zoom < 1 ? 10 : static_cast<int>(6 * c.zoom), &ui_, &ui_);
        RenderDocument(doc, false, &ui_);
        const std::uint8_t* p =
            DocumentAt(doc).SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO)->bits() +
            4 * (c.y * width + c.x);
        EXPECT_EQ((Bgr{p[0], p[1], p[2]}), c.expected) << c.zoom << " at " << c.x << "," << c.y;
    }
}

// A texture of the largest size draws zoomed out from reduced copies a third of its size, and
// zoomed in from its texels alone.
TEST_F(ViewsTest, AHugeTextureDrawsZoomedOutAndInWithoutCopiesOfItsSize) {
    const std::int32_t doc = OpenTexture(16, 16);
    TextureEntry& e = TextureAt(1);
    e.Texture = device().CreateTexture(kMaxTextureSize, kMaxTextureSize, 1, 0, D3DFMT_A8R8G8B8,
                                       D3DPOOL_MANAGED);
    e.Width = e.Height = kMaxTextureSize;
    ResizeSwapChain(doc, 1280, 960, &ui_, &ui_);
    const std::size_t texels = std::size_t{kMaxTextureSize} * kMaxTextureSize;
    for (const double zoom : {0.125, 32.0}) {
        DocumentAt(doc).Zoom = zoom;
        RenderDocument(doc, false, &ui_);
        std::size_t kept = 0;
        for (const auto& level : DocumentAt(doc).Reduced.Levels)
            kept += level.size();
        EXPECT_EQ(kept, zoom < 1 ? texels / 4 + texels / 16 + texels / 64 : 0);
    }
}

TEST_F(ViewsTest, RedrawsDuringADrawingAreDroppedAndTheGuardIsResetOnEveryExit) {
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    int nested = 0;
    ui_.doEvents = [&] {
        EXPECT_TRUE(Module1().RenderGuard);
        ++nested;
        RenderDocument(b, false, &ui_);
        RenderDocument(a, false, &ui_);
    };
    RenderDocument(a, false, &ui_);
    EXPECT_EQ(nested, 2) << "messages run after the scene and after the present";
    EXPECT_EQ((std::array{WindowOf(a).presents, WindowOf(a).repaints, WindowOf(b).presents}),
              (std::array{1, 1, 0}));

    // A failure inside the scene (a texture slot outside the table): the guard is reset and the
    // scene ended, so the next drawing works.
    ui_.doEvents = nullptr;
    DocumentAt(a).TextureIndex = 99;
    EXPECT_EQ(ErrorCodeOf([&] { RenderDocument(a, false, &ui_); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(Module1().RenderGuard || device().inScene());
    RenderDocument(b, false, &ui_);
    EXPECT_EQ(WindowOf(b).presents, 1);

    // A window resized, then one closed, while messages run is not presented the old image.
    ui_.doEvents = [&] {
        if (DocumentAt(b).ChainWidth != 20) ResizeSwapChain(b, 20, 20, &ui_, &ui_);
    };
    RenderDocument(b, false, &ui_);
    EXPECT_EQ(DocumentAt(b).ChainWidth, 20);
    ui_.doEvents = [&] { CloseTextureWindow(b, &ui_); };
    const FakeWindow& windowB = WindowOf(b);
    RenderDocument(b, false, &ui_);
    // The preview document is never drawn here.
    RenderDocument(1, false, &ui_);
    EXPECT_EQ(pictureBox_.presents + windowB.presents, 1);
}

// The preview's chain is rebuilt in the desktop format with the first depth format the adapter
// matches; a desktop or adapter that cannot be used ends the program.
TEST_F(ViewsTest, ThePreviewIsRebuiltInTheDesktopFormatWithTheFirstMatchingDepth) {
    const std::vector<D3DFORMAT> all = {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D32};
    const char* const kDesktop = kUnsupportedDesktopMessage;
    struct Case {
        D3DFORMAT desktop;
        std::vector<D3DFORMAT> depths;
        D3DFORMAT depth;
        const char* message;  // nullptr: none
    };
    const Case cases[] = {
        {D3DFMT_X8R8G8B8, all, D3DFMT_D32, nullptr},
        {D3DFMT_A8R8G8B8, {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8}, D3DFMT_D24X8, nullptr},
        {D3DFMT_X8R8G8B8, {D3DFMT_D16, D3DFMT_D24S8}, D3DFMT_D24S8, nullptr},
        {D3DFMT_R5G6B5, {D3DFMT_D16}, D3DFMT_D16, nullptr},
        {D3DFMT_X1R5G5B5, all, D3DFMT_UNKNOWN, kDesktop},
        {D3DFMT_X8R8G8B8, {}, D3DFMT_UNKNOWN, kNoDepthFormatMessage},
    };
    for (const Case& c : cases) {
        messages_.clear();
        UseAdapter(c.desktop, c.depths);
        EXPECT_NO_THROW(ResizeSwapChain(1, 120, 90, &ui_, &ui_));
        EXPECT_EQ(messages_, (c.message ? Strings{c.message, "end"} : Strings{})) << c.desktop;
        // An unusable desktop releases the Direct3D object before ending.
        EXPECT_EQ(Module1().D3D == nullptr, c.message == kDesktop);
        if (c.message) continue;
        const TextureDocument& p = DocumentAt(1);
        EXPECT_EQ(p.SwapChain->window(), &pictureBox_);
        const auto back = p.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
        EXPECT_EQ((std::array{back->width(), back->height(), static_cast<int>(p.Viewport.Height)}),
                  (std::array{120, 90, 90}));
        EXPECT_EQ((std::pair{back->format(), p.DepthSurface->format()}),
                  (std::pair{c.desktop, c.depth}));
    }
    // Size 0 with an empty picture box: the chain and depth surface fail and stay released.
    EXPECT_NO_THROW(ResizeSwapChain(1, 0, 0, &ui_, &ui_));
    EXPECT_FALSE(DocumentAt(1).SwapChain || DocumentAt(1).DepthSurface);
}

}  // namespace
}  // namespace tintora::testing
