#include "drawing/views.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/module1.h"
#include "support/document_fixture.h"
#include "base/error.h"

namespace tintora::testing {
namespace {

// A texture window without a window system: records what it is told, keeps the last image.
class FakeWindow : public DocumentWindow {
  public:
    explicit FakeWindow(std::int32_t windowSlot) : slot(windowSlot) {}
    void SetCaption(const std::string& text) override { caption = text; }
    std::string Caption() const override { return caption; }
    std::string Tag() const override { return tag; }
    void SetTag(const std::string& text) override { tag = text; }
    void Repaint() override { ++repaints; }
    void SetClientSize(int width, int height) override {
        if (!keepClientSize) clientWidth = width, clientHeight = height;
        if (onSetClientSize) onSetClientSize(*this);
    }
    void CloseWindow() override { closed = true; }
    int ClientWidth() const override { return clientWidth; }
    int ClientHeight() const override { return clientHeight; }
    void PresentImage(const ImageView& image) override {
        ++presents;
        imageWidth = image.width;
        image_.resize(static_cast<std::size_t>(image.width) * image.height * 4);
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(&image_[static_cast<std::size_t>(y) * image.width * 4],
                        image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch,
                        static_cast<std::size_t>(image.width) * 4);
        }
    }
    // Blue, green, red of a presented pixel.
    std::array<int, 3> Bgr(int x, int y) const {
        const std::uint8_t* p = &image_[(static_cast<std::size_t>(y) * imageWidth + x) * 4];
        return {p[0], p[1], p[2]};
    }

    std::int32_t slot;
    std::string caption = "Texture1";
    std::string tag;
    int clientWidth = 0, clientHeight = 0;
    bool keepClientSize = false;
    std::function<void(FakeWindow&)> onSetClientSize;
    int presents = 0, repaints = 0, imageWidth = 0;
    bool closed = false;

  private:
    std::vector<std::uint8_t> image_;
};

class FakePictureBox : public PresentTarget {
  public:
    int ClientWidth() const override { return 0; }
    int ClientHeight() const override { return 0; }
    void PresentImage(const ImageView&) override { ++presents; }
    int presents = 0;
};

using Bgr = std::array<int, 3>;

// The background used by the drawing tests: window colour 0x00BBGGRR with red 0x30, green 0x20,
// blue 0x10.
constexpr std::uint32_t kBackground = 0x00102030u;
constexpr Bgr kBackgroundBgr = {0x10, 0x20, 0x30};

class ViewsTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        auto& hooks = Module1().Hooks;
        hooks.CreateTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            windows_.push_back(std::make_unique<FakeWindow>(slot));
            FakeWindow* window = windows_.back().get();
            if (onWindowCreated_) onWindowCreated_(*window);
            // A shown MDI child becomes the active one.
            ActivateTextureWindow(slot);
            return window;
        };
        hooks.PreviewPictureBox = [this] { return &pictureBox_; };
        hooks.SetViewMenuChecks = [this](std::int32_t mode, bool alphaOnly) {
            menuCalls_.emplace_back(mode, alphaOnly);
        };
        hooks.MessageBox = [this](const std::string& text) { messages_.push_back(text); };
        hooks.EndProgram = [this] { ++endProgramCalls_; };
        hooks.ShowPreviewWindow = [this] { previewVisible_ = true; };
        hooks.HidePreviewWindow = [this] { previewVisible_ = false; };
        hooks.DoEvents = [this] {
            if (doEvents_) doEvents_();
        };
        Module1().BackgroundColor = kBackground;
    }

    // The preview's document, as start-up makes it: the first slot.
    std::int32_t StartPreview() {
        auto& state = Module1();
        state.PreviewDocIndex = CreateDocument(64, 64, true, true);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
        return state.PreviewDocIndex;
    }

    // A texture entry filled from texel and a window showing it, as the new-texture command
    // makes them.
    std::int32_t OpenTexture(int width, int height,
                             const std::function<Bgra(int, int)>& texel = OpaqueTexel) {
        const std::int32_t entry = CreateTextureEntry(width, height, true);
        FillTexture(*TextureAt(entry).Texture, texel);
        const std::int32_t doc = CreateDocument(width, height, true, false);
        DocumentAt(doc).TextureIndex = entry;
        return doc;
    }

    static Bgra OpaqueTexel(int x, int y) {
        return {static_cast<std::uint8_t>(3 + 7 * x + 11 * y),
                static_cast<std::uint8_t>(5 + 13 * x + 3 * y),
                static_cast<std::uint8_t>(200 - 5 * x + 17 * y), 255};
    }

    FakeWindow& WindowOf(std::int32_t doc) {
        return *static_cast<FakeWindow*>(DocumentAt(doc).Window);
    }

    // The window's resize handler after the user sized its client area.
    void ResizeWindow(std::int32_t doc, int width, int height) {
        WindowOf(doc).clientWidth = width;
        WindowOf(doc).clientHeight = height;
        ResizeSwapChain(doc, width, height);
        RenderDocument(doc, false);
    }

    std::vector<std::unique_ptr<FakeWindow>> windows_;
    std::function<void(FakeWindow&)> onWindowCreated_;
    FakePictureBox pictureBox_;
    std::vector<std::pair<std::int32_t, bool>> menuCalls_;
    std::vector<std::string> messages_;
    int endProgramCalls_ = 0;
    bool previewVisible_ = false;
    std::function<void()> doEvents_;
};

// --- Creation -----------------------------------------------------------------------------------

using CreateDocumentTest = ViewsTest;

TEST_F(CreateDocumentTest, PreviewTakesSlotOneAndTheFirstTextureWindowIsWindow2) {
    const std::int32_t preview = StartPreview();
    EXPECT_EQ(preview, 1);
    EXPECT_TRUE(windows_.empty()) << "the preview document has no window";
    EXPECT_EQ(DocumentAt(preview).SwapChain->window(), &pictureBox_);

    const std::int32_t doc = OpenTexture(256, 128);
    EXPECT_EQ(doc, 2);
    EXPECT_EQ(DocumentAt(doc).TextureIndex, 1);
    const TextureDocument& d = DocumentAt(doc);
    FakeWindow& window = WindowOf(doc);
    EXPECT_EQ(window.slot, 2);
    EXPECT_EQ(d.Title, "Window2");
    EXPECT_EQ(window.caption, "Window2");
    EXPECT_EQ(window.tag, "resize");
    EXPECT_EQ(Module1().ActiveWindowIndex, 2);

    // Client area, chain, depth surface and viewport all have the requested size.
    EXPECT_EQ(window.clientWidth, 256);
    EXPECT_EQ(window.clientHeight, 128);
    EXPECT_EQ(d.ChainWidth, 256);
    EXPECT_EQ(d.ChainHeight, 128);
    EXPECT_EQ(d.Viewport.Width, 256u);
    EXPECT_EQ(d.Viewport.Height, 128u);
    EXPECT_EQ(d.SwapChain->window(), &window);
    EXPECT_EQ(d.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO)->width(), 256);
    EXPECT_EQ(d.DepthSurface->format(), D3DFMT_D16);
    EXPECT_EQ(d.DepthSurface->height(), 128);
    EXPECT_EQ(Module1().PresentParams.hDeviceWindow, &window);
    EXPECT_EQ(Module1().PresentParams.EnableAutoDepthStencil, -1);
}

TEST_F(CreateDocumentTest, ResizeAndPaintWhileTheWindowIsBeingCreatedFindNothingToDo) {
    // The window's handlers run inside the creation, as showing and sizing a window raises them.
    int handlerRuns = 0;
    onWindowCreated_ = [&](FakeWindow& window) {
        window.onSetClientSize = [&](FakeWindow& w) {
            ++handlerRuns;
            ResizeSwapChain(w.slot, w.clientWidth + 10, w.clientHeight + 10);
            RenderDocument(w.slot, false);
        };
    };
    const std::int32_t doc = OpenTexture(64, 32);
    EXPECT_EQ(handlerRuns, 1);
    EXPECT_EQ(DocumentAt(doc).ChainWidth, 64);
    EXPECT_EQ(DocumentAt(doc).DepthSurface->format(), D3DFMT_D16) << "no rebuild";
    EXPECT_EQ(WindowOf(doc).presents, 0);
    EXPECT_FALSE(Module1().RenderGuard);
}

TEST_F(CreateDocumentTest, AFailureLeavesNoHalfMadeDocumentBehind) {
    struct Case {
        const char* what;
        bool keepClientSize;  // a window that keeps 40 x 30 gets a chain but no depth surface
    };
    for (const Case c : {Case{"swap chain fails", false}, Case{"depth surface fails", true}}) {
        SCOPED_TRACE(c.what);
        windows_.clear();
        ResetModule1();
        SetUp();
        StartPreview();
        const std::int32_t first = OpenTexture(16, 16);

        onWindowCreated_ = [&](FakeWindow& window) {
            window.clientWidth = 40;
            window.clientHeight = 30;
            window.keepClientSize = c.keepClientSize;
        };
        // Size 0: the chain takes the window's client size (0 unless kept), the depth fails.
        EXPECT_EQ(ErrorCodeOf([] { CreateDocument(0, 0, true, false); }), D3DERR_INVALIDCALL);
        ASSERT_EQ(windows_.size(), 2u);
        EXPECT_TRUE(windows_[1]->closed);
        const TextureDocument& failed = DocumentAt(3);
        EXPECT_FALSE(failed.InUse || failed.Window || failed.SwapChain || failed.DepthSurface);
        EXPECT_EQ(Module1().ActiveWindowIndex, 0);
        EXPECT_TRUE(DocumentAt(first).InUse);

        // The slot is taken again by the next creation.
        onWindowCreated_ = nullptr;
        EXPECT_EQ(CreateDocument(8, 8, true, false), 3);
    }
}

// --- Captions, slots, closing -------------------------------------------------------------------

using CaptionsTest = ViewsTest;

TEST_F(CaptionsTest, RefreshCaptionsShowsIndexTitleAndSizeAndRedraws) {
    StartPreview();
    const std::int32_t doc = OpenTexture(256, 128);
    RefreshCaptions();
    EXPECT_EQ(WindowOf(doc).caption, "1-Untitled (256x128)");
    EXPECT_EQ(WindowOf(doc).presents, 1);
    EXPECT_EQ(DocumentAt(Module1().PreviewDocIndex).Title, "Window1") << "preview left alone";

    TextureAt(1).Title = "bricks.png";
    RefreshCaptions();
    EXPECT_EQ(WindowOf(doc).caption, "1-bricks.png (256x128)");
    EXPECT_EQ(DocumentAt(doc).Title, "bricks.png");
}

TEST_F(CaptionsTest, OpenThreeCloseTheSecondOpenAnotherReusesBothSlots) {
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(32, 16);
    const std::int32_t c = OpenTexture(16, 32);
    EXPECT_EQ(b, 3);
    DocumentAt(b).ViewMode = kViewTiled;
    CloseTextureWindow(b);

    const std::int32_t reused = OpenTexture(64, 64);
    EXPECT_EQ(reused, 3);
    EXPECT_EQ(DocumentAt(reused).TextureIndex, 2);
    EXPECT_EQ(WindowOf(reused).caption, "Window3");
    EXPECT_EQ(DocumentAt(reused).ViewMode, kViewTiled) << "a reused slot keeps its view mode";
    EXPECT_EQ(Module1().DocumentTableUBound, 4);
    EXPECT_EQ(Module1().TextureTableUBound, 3);

    RefreshCaptions();
    EXPECT_EQ(WindowOf(reused).caption, "2-Untitled (64x64)");
    EXPECT_EQ(WindowOf(a).caption, "1-Untitled (16x16)");
    EXPECT_EQ(WindowOf(c).caption, "3-Untitled (16x32)");
}

using CloseTest = ViewsTest;

TEST_F(CloseTest, ClosingTheOnlyTextureWindowHidesThePreviewClosingOneOfTwoDoesNot) {
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    EXPECT_TRUE(previewVisible_);
    CloseTextureWindow(b);
    EXPECT_TRUE(previewVisible_);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    const TextureDocument& closed = DocumentAt(b);
    EXPECT_FALSE(closed.InUse || closed.SwapChain || closed.DepthSurface || closed.Window);
    const TextureEntry& freed = TextureAt(2);
    EXPECT_FALSE(freed.InUse || freed.Texture || freed.PreviewTexture);
    EXPECT_TRUE(freed.Pixels.empty());

    ActivateTextureWindow(a);
    CloseTextureWindow(a);
    EXPECT_FALSE(previewVisible_);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    EXPECT_TRUE(DocumentAt(Module1().PreviewDocIndex).InUse);
}

TEST_F(CloseTest, ClosingASlotAlreadyGivenBackDoesNothing) {
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    CloseTextureWindow(a);
    // Texture slot 1 is taken again by a new entry; a second close of a must not free it.
    EXPECT_EQ(CreateTextureEntry(8, 8, true), 1);
    ActivateTextureWindow(b);
    CloseTextureWindow(a);
    EXPECT_TRUE(TextureAt(1).InUse);
    EXPECT_EQ(Module1().ActiveWindowIndex, b);
}

// --- View menu marks ----------------------------------------------------------------------------

using ViewMenuTest = ViewsTest;

TEST_F(ViewMenuTest, MarksFollowTheActiveDocumentAndOnlyChangeOnActivation) {
    using Marks = std::pair<std::int32_t, bool>;
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    DocumentAt(a).ViewMode = kViewTiled;
    DocumentAt(b).ViewMode = kViewStretchFiltering;
    DocumentAt(b).AlphaOnly = true;
    menuCalls_.clear();

    ActivateTextureWindow(a);
    ActivateTextureWindow(a);  // already active: nothing happens
    ActivateTextureWindow(b);
    EXPECT_EQ(menuCalls_, (std::vector<Marks>{{kViewTiled, false}, {kViewStretchFiltering, true}}));

    // After a mode change the marks are synced from the active document; an unknown mode is
    // passed on as it is (the menu then leaves its four mode marks).
    DocumentAt(b).ViewMode = 7;
    DocumentAt(b).AlphaOnly = false;
    SyncViewMenu();
    EXPECT_EQ(menuCalls_.back(), (Marks{7, false}));
}

// --- The rectangle of each view mode ------------------------------------------------------------

TEST(ViewQuadForTest, ModesGiveTheirRectangles) {
    struct Case {
        std::int32_t mode, cw, ch, w, h;
        ViewQuad expected;
    };
    const Case cases[] = {
        // Odd difference: half a pixel; even difference: whole pixels.
        {kViewNormal, 301, 300, 256, 256, {true, 22.5f, 22.0f, 256, 256, true, 1, 1}},
        {kViewNormal, 300, 301, 256, 256, {true, 22.0f, 22.5f, 256, 256, true, 1, 1}},
        // Larger than the window: cut off equally on both sides.
        {kViewNormal, 256, 256, 512, 512, {true, -128, -128, 512, 512, true, 1, 1}},
        {kViewNormal, 255, 256, 512, 512, {true, -128.5f, -128, 512, 512, true, 1, 1}},
        {kViewStretchFiltering, 300, 200, 64, 32, {true, 0, 0, 299, 199, true, 1, 1}},
        {kViewStretchPixellised, 300, 200, 64, 32, {true, 0, 0, 299, 199, false, 1, 1}},
        {kViewTiled, 300, 200, 128, 128, {true, 0, 0, 300, 200, true, 2.34375f, 1.5625f}},
        // No texture: nothing divides by zero.
        {kViewTiled, 300, 200, 0, 0, {true, 0, 0, 300, 200, true, 0, 0}},
        {4, 300, 200, 128, 128, {false, 0, 0, 0, 0, true, 1, 1}},
        {-1, 300, 200, 128, 128, {false, 0, 0, 0, 0, true, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " chain " << c.cw << "x" << c.ch
                                          << " texture " << c.w << "x" << c.h);
        const ViewQuad q = ViewQuadFor(c.mode, c.cw, c.ch, c.w, c.h);
        const ViewQuad& e = c.expected;
        EXPECT_EQ(q.draw, e.draw);
        if (!q.draw) continue;
        EXPECT_EQ((std::array{q.x, q.y, q.width, q.height, q.uRight, q.vBottom}),
                  (std::array{e.x, e.y, e.width, e.height, e.uRight, e.vBottom}));
        EXPECT_EQ(q.smooth, e.smooth);
    }
}

// --- Drawing, checked on the presented pixels ---------------------------------------------------

using RenderTest = ViewsTest;

bool IsGrey(const Bgr& p) {
    return p[0] == p[1] && p[1] == p[2];
}

TEST_F(RenderTest, NormalModeCentresWithAHalfPixelForAnOddDifference) {
    // Even texel columns blue 255, odd ones 0; green is the row; red constant.
    const auto stripes = [](int x, int y) -> Bgra {
        return {static_cast<std::uint8_t>(x % 2 == 0 ? 255 : 0), static_cast<std::uint8_t>(y), 0x40,
                255};
    };
    const std::int32_t doc = OpenTexture(256, 256, stripes);

    // 301 x 300: drawn from x = 22.5, y = 22.0.
    ResizeWindow(doc, 301, 300);
    const FakeWindow& w = WindowOf(doc);
    ASSERT_EQ(w.imageWidth, 301);
    for (const auto& [x, y] : {std::pair{21, 100}, {278, 100}, {100, 21}, {100, 278}}) {
        EXPECT_EQ(w.Bgr(x, y), kBackgroundBgr) << x << "," << y;
    }
    // Rows sit on texel rows; columns fall between two texels and mix them half and half.
    EXPECT_EQ(w.Bgr(100, 22)[1], 0);
    EXPECT_EQ(w.Bgr(100, 277)[1], 255);
    for (const int x : {22, 23, 150, 277}) {
        const Bgr p = w.Bgr(x, 100);
        EXPECT_TRUE(p[2] == 0x40 && p[1] == 78 && p[0] >= 126 && p[0] <= 129) << x;
    }

    // 300 x 300: drawn from 22, 22, one texel per pixel.
    ResizeWindow(doc, 300, 300);
    EXPECT_EQ(w.Bgr(21, 100), kBackgroundBgr);
    EXPECT_EQ(w.Bgr(22, 100), (Bgr{255, 78, 0x40}));
    EXPECT_EQ(w.Bgr(23, 100), (Bgr{0, 78, 0x40}));
    EXPECT_EQ(w.Bgr(277, 100), (Bgr{0, 78, 0x40}));
    EXPECT_EQ(w.Bgr(278, 100), kBackgroundBgr);
}

TEST_F(RenderTest, ATextureLargerThanTheWindowShowsItsMiddle) {
    const auto texel = [](int x, int y) -> Bgra {
        return {static_cast<std::uint8_t>(x & 0xFF), static_cast<std::uint8_t>(y & 0xFF),
                static_cast<std::uint8_t>(10 + 100 * (x >> 8) + 50 * (y >> 8)), 255};
    };
    const std::int32_t doc = OpenTexture(512, 512, texel);
    ResizeWindow(doc, 256, 256);
    const FakeWindow& w = WindowOf(doc);
    const auto expect = [&](int x, int y) {
        const Bgra t = texel(x + 128, y + 128);
        EXPECT_EQ(w.Bgr(x, y), (Bgr{t[0], t[1], t[2]})) << x << "," << y;
    };
    for (const auto& [x, y] : {std::pair{0, 0}, {255, 255}, {127, 200}, {128, 127}})
        expect(x, y);
}

TEST_F(RenderTest, TiledModeRepeatsFromTheTopLeftCorner) {
    const std::int32_t doc = OpenTexture(128, 128);
    DocumentAt(doc).ViewMode = kViewTiled;
    ResizeWindow(doc, 300, 200);
    const FakeWindow& w = WindowOf(doc);
    const auto texelBgr = [](int x, int y) {
        const Bgra t = OpaqueTexel(x, y);
        return Bgr{t[0], t[1], t[2]};
    };
    for (const int y : {0, 5, 127, 128, 199}) {
        for (const int x : {0, 128, 256}) {
            EXPECT_EQ(w.Bgr(x, y), texelBgr(0, y % 128)) << x << "," << y;
        }
    }
    EXPECT_EQ(w.Bgr(299, 10), texelBgr(43, 10));
    EXPECT_EQ(w.Bgr(10, 199), texelBgr(10, 71));
    EXPECT_EQ(w.Bgr(200, 150), texelBgr(72, 22));
}

TEST_F(RenderTest, StretchModesCoverTheWindowLessItsLastColumnAndRow) {
    // Two texels, black then white, stretched over 100 x 10 pixels.
    const auto halves = [](int x, int) -> Bgra {
        const auto v = static_cast<std::uint8_t>(x == 0 ? 0 : 255);
        return {v, v, v, 255};
    };
    const std::int32_t doc = OpenTexture(2, 1, halves);
    for (const std::int32_t mode : {kViewStretchFiltering, kViewStretchPixellised}) {
        SCOPED_TRACE(mode);
        DocumentAt(doc).ViewMode = mode;
        ResizeWindow(doc, 101, 11);
        const FakeWindow& w = WindowOf(doc);
        for (const int i : {0, 5, 9}) {
            EXPECT_TRUE(IsGrey(w.Bgr(0, i)) && IsGrey(w.Bgr(99, i)) && IsGrey(w.Bgr(10 * i, 9)));
            EXPECT_EQ(w.Bgr(100, i), kBackgroundBgr);
            EXPECT_EQ(w.Bgr(10 * i, 10), kBackgroundBgr);
        }
        // Pixellised: a hard edge in the middle; filtered: the middle blends the two texels.
        const int left = w.Bgr(49, 5)[0];
        const int right = w.Bgr(50, 5)[0];
        if (mode == kViewStretchPixellised) {
            EXPECT_TRUE(left == 0 && right == 255 && w.Bgr(25, 5)[0] == 0);
        } else {
            EXPECT_TRUE(left > 100 && left < 155 && right > 100 && right < 155);
        }
    }
}

TEST_F(RenderTest, AlphaOnlyShowsTheAlphaAsGreyOnBlackAndIgnoresTheBackground) {
    // Opaque upper half, half-transparent lower half.
    const auto texel = [](int x, int y) -> Bgra {
        return {static_cast<std::uint8_t>(x), 0x22, 0x99,
                static_cast<std::uint8_t>(y < 32 ? 255 : 128)};
    };
    const std::int32_t doc = OpenTexture(64, 64, texel);
    DocumentAt(doc).AlphaOnly = true;
    Module1().BackgroundColor = 0x0000FF00u;
    ResizeWindow(doc, 100, 80);  // drawn from 18, 8
    const FakeWindow& w = WindowOf(doc);
    for (const auto& [x, y] : {std::pair{5, 5}, {95, 75}, {17, 40}}) {
        EXPECT_EQ(w.Bgr(x, y), (Bgr{0, 0, 0}));
    }
    EXPECT_EQ(w.Bgr(18, 8), (Bgr{255, 255, 255}));
    EXPECT_EQ(w.Bgr(50, 20), (Bgr{255, 255, 255}));
    const Bgr half = w.Bgr(50, 60);
    EXPECT_TRUE(IsGrey(half));
    EXPECT_NEAR(half[0], 128, 1);

    // Back to colours: the border is the background colour again.
    DocumentAt(doc).AlphaOnly = false;
    RenderDocument(doc, false);
    EXPECT_EQ(w.Bgr(5, 5), (Bgr{0x00, 0xFF, 0x00}));
    EXPECT_EQ(w.Bgr(50, 20), (Bgr{32, 0x22, 0x99}));
}

TEST_F(RenderTest, UsePreviewDrawsThePreviewTexture) {
    const std::int32_t doc = OpenTexture(8, 8, [](int, int) { return Bgra{10, 20, 30, 255}; });
    FillTexture(*TextureAt(DocumentAt(doc).TextureIndex).PreviewTexture, [](int, int) {
        return Bgra{200, 100, 50, 255};
    });
    RenderDocument(doc, true);
    EXPECT_EQ(WindowOf(doc).Bgr(4, 4), (Bgr{200, 100, 50}));
    RenderDocument(doc, false);
    EXPECT_EQ(WindowOf(doc).Bgr(4, 4), (Bgr{10, 20, 30}));
}

TEST_F(RenderTest, ADocumentWithoutTextureOrWithAnUnknownModeShowsOnlyTheBackground) {
    const std::int32_t doc = CreateDocument(40, 30, true, false);
    for (const std::int32_t mode : {0, 1, 2, 3, 9}) {
        SCOPED_TRACE(mode);
        DocumentAt(doc).ViewMode = mode;
        DocumentAt(doc).TextureIndex = 0;
        RenderDocument(doc, false);
        for (const auto& [x, y] : {std::pair{0, 0}, {20, 15}, {39, 29}}) {
            EXPECT_EQ(WindowOf(doc).Bgr(x, y), kBackgroundBgr);
        }
    }
    const std::int32_t textured = OpenTexture(8, 8);
    DocumentAt(textured).ViewMode = 9;
    RenderDocument(textured, false);
    EXPECT_EQ(WindowOf(textured).Bgr(4, 4), kBackgroundBgr);
}

// --- The drawing guard --------------------------------------------------------------------------

using GuardTest = ViewsTest;

TEST_F(GuardTest, APaintArrivingDuringADrawingIsDropped) {
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    int nested = 0;
    doEvents_ = [&] {
        EXPECT_TRUE(Module1().RenderGuard);
        ++nested;
        RenderDocument(b, false);
        RenderDocument(a, false);
    };
    RenderDocument(a, false);
    EXPECT_EQ(nested, 2) << "messages run after the scene and after the present";
    EXPECT_EQ(WindowOf(a).presents, 1);
    EXPECT_EQ(WindowOf(a).repaints, 1);
    EXPECT_EQ(WindowOf(b).presents, 0);
    EXPECT_FALSE(Module1().RenderGuard);

    doEvents_ = nullptr;
    RenderDocument(b, false);
    EXPECT_EQ(WindowOf(b).presents, 1);
}

TEST_F(GuardTest, TheGuardIsResetWhenAStepThrows) {
    const std::int32_t doc = OpenTexture(16, 16);

    // A failure while messages run.
    doEvents_ = [] { throw PlatformError(E_FAIL, "handler failed"); };
    EXPECT_EQ(ErrorCodeOf([&] { RenderDocument(doc, false); }), E_FAIL);
    EXPECT_FALSE(Module1().RenderGuard);
    EXPECT_FALSE(device().inScene());
    doEvents_ = nullptr;

    // A failure inside the scene (a texture slot outside the table).
    DocumentAt(doc).TextureIndex = 99;
    EXPECT_EQ(ErrorCodeOf([&] { RenderDocument(doc, false); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(Module1().RenderGuard);
    EXPECT_FALSE(device().inScene()) << "the scene is ended so the next drawing can begin one";

    DocumentAt(doc).TextureIndex = 1;
    const int before = WindowOf(doc).presents;
    RenderDocument(doc, false);
    EXPECT_EQ(WindowOf(doc).presents, before + 1);
}

TEST_F(GuardTest, AWindowClosedOrResizedWhileMessagesRunIsNotPresentedTheOldImage) {
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    FakeWindow& wa = WindowOf(a);
    FakeWindow& wb = WindowOf(b);

    doEvents_ = [&] { CloseTextureWindow(a); };
    RenderDocument(a, false);
    EXPECT_EQ(wa.presents, 0);
    EXPECT_FALSE(Module1().RenderGuard);

    // Rebuilt meanwhile: the drawing of the old chain is not presented.
    bool resized = false;
    doEvents_ = [&] {
        if (!resized) ResizeSwapChain(b, 20, 20);
        resized = true;
    };
    RenderDocument(b, false);
    EXPECT_EQ(wb.presents, 0);
    EXPECT_EQ(DocumentAt(b).ChainWidth, 20);
}

TEST_F(GuardTest, ThePreviewDocumentIsNeverDrawnHere) {
    const std::int32_t preview = StartPreview();
    RenderDocument(preview, false);
    EXPECT_EQ(pictureBox_.presents, 0);

    const std::int32_t other = CreateDocument(8, 8, true, true);  // preview-flagged elsewhere
    DocumentAt(other).IsPreview = true;
    RenderDocument(other, false);
    EXPECT_EQ(pictureBox_.presents, 0);
}

// --- Swap-chain resize --------------------------------------------------------------------------

using ResizeTest = ViewsTest;

TEST_F(ResizeTest, ATextureWindowIsRebuiltOnlyWhenItsTagIsResize) {
    StartPreview();
    const std::int32_t doc = OpenTexture(64, 32);
    FakeWindow& w = WindowOf(doc);
    const auto chain = DocumentAt(doc).SwapChain;

    w.SetTag("");
    ResizeSwapChain(doc, 100, 50);
    EXPECT_EQ(DocumentAt(doc).SwapChain, chain);
    EXPECT_EQ(DocumentAt(doc).ChainWidth, 64);
    EXPECT_EQ(DocumentAt(doc).Viewport.Width, 64u);

    w.SetTag("resize");
    ResizeSwapChain(doc, 100, 50);
    const TextureDocument& d = DocumentAt(doc);
    ASSERT_TRUE(d.SwapChain);
    EXPECT_NE(d.SwapChain, chain);
    EXPECT_EQ(d.SwapChain->window(), &w);
    EXPECT_EQ(d.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO)->height(), 50);
    EXPECT_EQ(d.DepthSurface->format(), D3DFMT_D24X8);
    EXPECT_EQ(d.DepthSurface->width(), 100);
    EXPECT_EQ((std::array{d.ChainWidth, d.ChainHeight}), (std::array{100, 50}));
    EXPECT_EQ((std::array{d.Viewport.Width, d.Viewport.Height}), (std::array{100u, 50u}));
    EXPECT_EQ(Module1().PresentParams.hDeviceWindow, &w);
    EXPECT_EQ(Module1().PresentParams.BackBufferWidth, 100u);
}

TEST_F(ResizeTest, ThePreviewIsRebuiltInTheDesktopFormatWithTheChosenDepthFormat) {
    AdapterInfo info;
    info.displayFormat = [] { return D3DFMT_R5G6B5; };
    info.depthFormats = {D3DFMT_D24X8};
    Module1().D3D = Direct3DCreate8(info);
    const std::int32_t preview = StartPreview();

    ResizeSwapChain(preview, 120, 90);
    const TextureDocument& p = DocumentAt(preview);
    ASSERT_TRUE(p.SwapChain);
    EXPECT_EQ(p.SwapChain->window(), &pictureBox_);
    const auto back = p.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    EXPECT_EQ((std::array{back->width(), back->height()}), (std::array{120, 90}));
    EXPECT_EQ(back->format(), D3DFMT_R5G6B5);
    ASSERT_TRUE(p.DepthSurface);
    EXPECT_EQ(p.DepthSurface->format(), D3DFMT_D24X8);
    EXPECT_EQ(p.ChainWidth, 120);
    EXPECT_EQ(p.Viewport.Height, 90u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ResizeTest, ThePreviewBranchSkipsEveryFailingStep) {
    // No document yet: nothing happens.
    EXPECT_NO_THROW(ResizeSwapChain(Module1().PreviewDocIndex, 50, 50));
    EXPECT_TRUE(Module1().DocumentTable.empty());

    const std::int32_t preview = StartPreview();

    // Size 0 with an empty picture box: the chain and the depth surface fail and stay released;
    // the steps that can run still do.
    EXPECT_NO_THROW(ResizeSwapChain(preview, 0, 0));
    EXPECT_FALSE(DocumentAt(preview).SwapChain);
    EXPECT_FALSE(DocumentAt(preview).DepthSurface);
    EXPECT_EQ(DocumentAt(preview).ChainWidth, 0);

    // Recovers on the next good size.
    ResizeSwapChain(preview, 30, 20);
    EXPECT_TRUE(DocumentAt(preview).SwapChain);
    EXPECT_TRUE(DocumentAt(preview).DepthSurface);

    // Without a device.
    Module1().Device.reset();
    EXPECT_NO_THROW(ResizeSwapChain(preview, 40, 40));
    EXPECT_FALSE(DocumentAt(preview).SwapChain);
    EXPECT_EQ(DocumentAt(preview).ChainWidth, 40);

    // A preview slot outside the table.
    Module1().PreviewDocIndex = 42;
    EXPECT_NO_THROW(ResizeSwapChain(42, 40, 40));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ResizeTest, ThePreviewResizeOnAnUnsupportedDesktopEndsTheProgram) {
    const std::int32_t preview = StartPreview();
    AdapterInfo info;
    info.displayFormat = [] { return D3DFMT_X1R5G5B5; };
    Module1().D3D = Direct3DCreate8(info);
    EXPECT_NO_THROW(ResizeSwapChain(preview, 40, 40));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], kUnsupportedDesktopMessage);
    EXPECT_EQ(endProgramCalls_, 1);
}

// --- Display formats ----------------------------------------------------------------------------

TEST(CheckDisplayFormatsTest, AcceptsTheDesktopFormatsAndPicksTheFirstMatchingDepthFormat) {
    struct Case {
        D3DFORMAT desktop;
        std::vector<D3DFORMAT> depths;
        D3DFORMAT expectedDepth;  // D3DFMT_UNKNOWN: left as it was
        const char* message;      // nullptr: none
    };
    const std::vector<D3DFORMAT> all = {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D32};
    const Case cases[] = {
        {D3DFMT_X8R8G8B8, all, D3DFMT_D32, nullptr},
        {D3DFMT_A8R8G8B8, all, D3DFMT_D32, nullptr},
        {D3DFMT_R5G6B5, all, D3DFMT_D32, nullptr},
        {D3DFMT_X8R8G8B8, {D3DFMT_D24X8}, D3DFMT_D24X8, nullptr},
        {D3DFMT_X8R8G8B8, {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8}, D3DFMT_D24X8, nullptr},
        {D3DFMT_X8R8G8B8, {D3DFMT_D16, D3DFMT_D24S8}, D3DFMT_D24S8, nullptr},
        {D3DFMT_R5G6B5, {D3DFMT_D16}, D3DFMT_D16, nullptr},
        {D3DFMT_X1R5G5B5, all, D3DFMT_UNKNOWN, kUnsupportedDesktopMessage},
        {D3DFMT_A1R5G5B5, all, D3DFMT_UNKNOWN, kUnsupportedDesktopMessage},
        {D3DFMT_R8G8B8, all, D3DFMT_UNKNOWN, kUnsupportedDesktopMessage},
        {D3DFMT_X8R8G8B8, {}, D3DFMT_UNKNOWN, kNoDepthFormatMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "desktop " << c.desktop << ", " << c.depths.size() << " depth formats");
        ResetModule1();
        std::vector<std::string> messages;
        int ends = 0;
        Module1().Hooks.MessageBox = [&](const std::string& text) { messages.push_back(text); };
        Module1().Hooks.EndProgram = [&] { ++ends; };
        AdapterInfo info;
        info.displayFormat = [desktop = c.desktop] { return desktop; };
        info.depthFormats = c.depths;
        Module1().D3D = Direct3DCreate8(info);

        D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
        D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
        CheckDisplayFormats(adapterFormat, depthFormat);
        EXPECT_EQ(adapterFormat, c.desktop);
        EXPECT_EQ(depthFormat, c.expectedDepth);
        if (c.message == nullptr) {
            EXPECT_TRUE(messages.empty());
            EXPECT_EQ(ends, 0);
        } else {
            EXPECT_EQ(messages, std::vector<std::string>{c.message});
            EXPECT_EQ(ends, 1);
        }
        // An unusable desktop releases the Direct3D object before ending.
        EXPECT_EQ(Module1().D3D == nullptr, c.message == kUnsupportedDesktopMessage);
    }
    ResetModule1();
}

}  // namespace
}  // namespace tintora::testing
