// Texture windows without a window system: creation, captions, closing, the View menu's marks,
// the rectangle of each view mode, the redraw and its guard, and the swap-chain rebuild.
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

#include "support/document_fixture.h"
#include "support/recording_windows.h"

namespace tintora::testing {
namespace {

using Bgr = std::array<int, 3>;

// A texture window that records what it is told and keeps the last image presented.
class FakeWindow : public DocumentWindow {
  public:
    explicit FakeWindow(std::int32_t windowSlot) : slot(windowSlot) {}
    void SetCaption(const std::string& text) override { caption = text; }
    std::string Caption() const override { return caption; }
    WindowTag Tag() const override { return tag; }
    void SetTag(WindowTag value) override { tag = value; }
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
    Bgr At(int x, int y) const {
        const std::uint8_t* p = &image_[(static_cast<std::size_t>(y) * imageWidth + x) * 4];
        return {p[0], p[1], p[2]};
    }

    std::int32_t slot;
    std::string caption = "Texture1";
    WindowTag tag = WindowTag::Creating;
    int clientWidth = 0, clientHeight = 0;
    bool keepClientSize = false;
    std::function<void(FakeWindow&)> onSetClientSize;
    int presents = 0, repaints = 0, imageWidth = 0;
    bool closed = false;

  private:
    std::vector<std::uint8_t> image_;
};

// Window colour 0x00BBGGRR with red 0x30, green 0x20, blue 0x10.
constexpr std::uint32_t kBackground = 0x00102030u;
constexpr Bgr kBackgroundBgr = {0x10, 0x20, 0x30};

class ViewsTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ui_.createTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            windows_.push_back(std::make_unique<FakeWindow>(slot));
            FakeWindow* window = windows_.back().get();
            if (onWindowCreated_) onWindowCreated_(*window);
            ActivateTextureWindow(slot, &ui_);  // a shown MDI child becomes the active one
            return window;
        };
        ui_.previewPictureBox = [this] { return &pictureBox_; };
        ui_.viewMenuChecks = [this](ViewMode mode, bool alphaOnly) {
            menuCalls_.emplace_back(static_cast<std::int32_t>(mode), alphaOnly);
        };
        ui_.messageBox = [this](const std::string& text) { messages_.push_back(text); };
        ui_.endProgram = [this] { ++endProgramCalls_; };
        ui_.showPreviewWindow = [this] { previewVisible_ = true; };
        ui_.hidePreviewWindow = [this] { previewVisible_ = false; };
        ui_.doEvents = [this] {
            if (doEvents_) doEvents_();
        };
        Module1().BackgroundColor = kBackground;
    }

    // The preview's document, as start-up makes it: the first slot.
    std::int32_t StartPreview() {
        auto& state = Module1();
        state.PreviewDocIndex = CreateDocument(64, 64, true, true, &ui_);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
        return state.PreviewDocIndex;
    }

    // A texture entry of one colour and a window showing it, as the new-texture command makes
    // them.
    std::int32_t OpenTexture(int width, int height, Bgra colour = {10, 20, 30, 255}) {
        const std::int32_t entry = CreateTextureEntry(width, height, true, &ui_);
        FillTexture(*TextureAt(entry).Texture, [colour](int, int) { return colour; });
        const std::int32_t doc = CreateDocument(width, height, true, false, &ui_);
        DocumentAt(doc).TextureIndex = entry;
        return doc;
    }

    FakeWindow& WindowOf(std::int32_t doc) {
        return *static_cast<FakeWindow*>(DocumentAt(doc).Window);
    }

    std::vector<std::unique_ptr<FakeWindow>> windows_;
    std::function<void(FakeWindow&)> onWindowCreated_;
    FakeWindow pictureBox_{0};  // the preview's picture box
    std::vector<std::pair<std::int32_t, bool>> menuCalls_;
    RecordingWindows ui_;
    std::vector<std::string> messages_;
    int endProgramCalls_ = 0;
    bool previewVisible_ = false;
    std::function<void()> doEvents_;
};

// --- Creation, captions, closing, menu marks ---------------------------------------------------

TEST_F(ViewsTest, AWindowsChainDepthAndViewportHaveItsSizeAtCreationAndAfterAResize) {
    const std::int32_t preview = StartPreview();
    EXPECT_EQ(preview, 1);
    EXPECT_TRUE(windows_.empty()) << "the preview document has no window";
    EXPECT_EQ(DocumentAt(preview).SwapChain->window(), &pictureBox_);

    const std::int32_t doc = OpenTexture(256, 128);
    EXPECT_EQ(doc, 2);
    FakeWindow& w = WindowOf(doc);
    EXPECT_EQ(w.slot, 2);
    EXPECT_EQ(DocumentAt(doc).Title, "Window2");
    EXPECT_EQ(w.caption, "Window2");
    EXPECT_EQ(Module1().ActiveWindowIndex, 2);
    EXPECT_EQ((std::array{w.clientWidth, w.clientHeight}), (std::array{256, 128}));
    const auto expectChain = [&](int width, int height, D3DFORMAT depthFormat) {
        const TextureDocument& d = DocumentAt(doc);
        EXPECT_EQ(d.SwapChain->window(), &w);
        const auto back = d.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
        EXPECT_EQ((std::array{back->width(), back->height()}), (std::array{width, height}));
        EXPECT_EQ((std::array{d.ChainWidth, d.ChainHeight}), (std::array{width, height}));
        EXPECT_EQ(d.Viewport.Width, static_cast<std::uint32_t>(width));
        EXPECT_EQ(d.Viewport.Height, static_cast<std::uint32_t>(height));
        EXPECT_EQ(d.DepthSurface->format(), depthFormat);
        EXPECT_EQ(d.DepthSurface->width(), width);
        EXPECT_EQ(Module1().PresentParams.hDeviceWindow, &w);
    };
    expectChain(256, 128, D3DFMT_D16);

    // Only a window tagged "resize" (complete) is rebuilt, with a D24X8 depth surface.
    EXPECT_EQ(w.tag, WindowTag::Resize);
    w.SetTag(WindowTag::Creating);
    ResizeSwapChain(doc, 100, 50, &ui_, &ui_);
    expectChain(256, 128, D3DFMT_D16);
    w.SetTag(WindowTag::Resize);
    ResizeSwapChain(doc, 100, 50, &ui_, &ui_);
    expectChain(100, 50, D3DFMT_D24X8);
}

TEST_F(ViewsTest, ResizeAndPaintWhileTheWindowIsBeingCreatedFindNothingToDo) {
    // The window's handlers run inside the creation, as showing and sizing a window raises them.
    int handlerRuns = 0;
    onWindowCreated_ = [&](FakeWindow& window) {
        window.onSetClientSize = [&](FakeWindow& w) {
            ++handlerRuns;
            ResizeSwapChain(w.slot, w.clientWidth + 10, w.clientHeight + 10, &ui_, &ui_);
            RenderDocument(w.slot, false, &ui_);
        };
    };
    const std::int32_t doc = OpenTexture(64, 32);
    EXPECT_EQ(handlerRuns, 1);
    EXPECT_EQ(DocumentAt(doc).ChainWidth, 64);
    EXPECT_EQ(DocumentAt(doc).DepthSurface->format(), D3DFMT_D16) << "no rebuild";
    EXPECT_EQ(WindowOf(doc).presents, 0);
    EXPECT_FALSE(Module1().RenderGuard);
}

TEST_F(ViewsTest, AFailedCreationLeavesNoHalfMadeDocumentBehind) {
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
        EXPECT_EQ(ErrorCodeOf([this] { CreateDocument(0, 0, true, false, &ui_); }),
                  D3DERR_INVALIDCALL);
        ASSERT_EQ(windows_.size(), 2u);
        EXPECT_TRUE(windows_[1]->closed);
        const TextureDocument& failed = DocumentAt(3);
        EXPECT_FALSE(failed.InUse || failed.Window || failed.SwapChain || failed.DepthSurface);
        EXPECT_EQ(Module1().ActiveWindowIndex, 0);
        EXPECT_TRUE(DocumentAt(first).InUse);
        onWindowCreated_ = nullptr;
        EXPECT_EQ(CreateDocument(8, 8, true, false, &ui_), 3);
    }
}

TEST_F(ViewsTest, RefreshCaptionsShowsEntryTitleAndSizeAndRedraws) {
    StartPreview();
    const std::int32_t doc = OpenTexture(256, 128);
    TextureAt(1).Title = "bricks.png";
    RefreshCaptions(&ui_);
    EXPECT_EQ(WindowOf(doc).caption, "1-bricks.png (256x128)");
    EXPECT_EQ(DocumentAt(doc).Title, "bricks.png");
    EXPECT_EQ(WindowOf(doc).presents, 1);
    EXPECT_EQ(DocumentAt(Module1().PreviewDocIndex).Title, "Window1") << "preview left alone";
}

TEST_F(ViewsTest, ClosingFreesBothSlotsAndTheLastWindowHidesThePreview) {
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    EXPECT_TRUE(previewVisible_);
    CloseTextureWindow(b, &ui_);
    EXPECT_TRUE(previewVisible_);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    const TextureDocument& closed = DocumentAt(b);
    EXPECT_FALSE(closed.InUse || closed.SwapChain || closed.DepthSurface || closed.Window);
    const TextureEntry& freed = TextureAt(2);
    EXPECT_FALSE(freed.InUse || freed.Texture || freed.PreviewTexture);

    // Texture slot 2 is taken again by a new entry; a second close of b must not free it.
    EXPECT_EQ(CreateTextureEntry(8, 8, true, &ui_), 2);
    ActivateTextureWindow(a, &ui_);
    CloseTextureWindow(b, &ui_);
    EXPECT_TRUE(TextureAt(2).InUse);
    EXPECT_EQ(Module1().ActiveWindowIndex, a);

    CloseTextureWindow(a, &ui_);
    EXPECT_FALSE(previewVisible_);
    EXPECT_TRUE(DocumentAt(Module1().PreviewDocIndex).InUse);
}

TEST_F(ViewsTest, MenuMarksFollowTheActiveDocumentAndOnlyChangeOnActivation) {
    using Marks = std::pair<std::int32_t, bool>;
    constexpr auto kTiled = static_cast<std::int32_t>(ViewMode::Tiled);
    constexpr auto kStretchFiltering = static_cast<std::int32_t>(ViewMode::StretchFiltering);
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    DocumentAt(a).ViewMode = ViewMode::Tiled;
    DocumentAt(b).ViewMode = ViewMode::StretchFiltering;
    DocumentAt(b).AlphaOnly = true;
    menuCalls_.clear();
    ActivateTextureWindow(a, &ui_);
    ActivateTextureWindow(a, &ui_);  // already active: nothing happens
    ActivateTextureWindow(b, &ui_);
    EXPECT_EQ(menuCalls_, (std::vector<Marks>{{kTiled, false}, {kStretchFiltering, true}}));
    // An unknown mode is passed on as it is (the menu then leaves its four mode marks).
    DocumentAt(b).ViewMode = static_cast<ViewMode>(7);
    SyncViewMenu(&ui_);
    EXPECT_EQ(menuCalls_.back(), (Marks{7, true}));
}

// --- The rectangle of each view mode, and the redraw -------------------------------------------

TEST(ViewQuadForTest, ModesGiveTheirRectangles) {
    struct Case {
        ViewMode mode;
        std::int32_t cw, ch, w, h;
        ViewQuad expected;
    };
    const Case cases[] = {
        // Odd difference: half a pixel; even difference: whole pixels.
        {ViewMode::Normal, 301, 300, 256, 256, {true, 22.5f, 22.0f, 256, 256, true, 1, 1}},
        {ViewMode::Normal, 300, 301, 256, 256, {true, 22.0f, 22.5f, 256, 256, true, 1, 1}},
        // Larger than the window: cut off equally on both sides.
        {ViewMode::Normal, 256, 256, 512, 512, {true, -128, -128, 512, 512, true, 1, 1}},
        {ViewMode::Normal, 255, 256, 512, 512, {true, -128.5f, -128, 512, 512, true, 1, 1}},
        // Stretched over the window less its last column and row.
        {ViewMode::StretchFiltering, 300, 200, 64, 32, {true, 0, 0, 299, 199, true, 1, 1}},
        {ViewMode::StretchPixellised, 300, 200, 64, 32, {true, 0, 0, 299, 199, false, 1, 1}},
        {ViewMode::Tiled, 300, 200, 128, 128, {true, 0, 0, 300, 200, true, 2.34375f, 1.5625f}},
        // No texture: nothing divides by zero.
        {ViewMode::Tiled, 300, 200, 0, 0, {true, 0, 0, 300, 200, true, 0, 0}},
        {static_cast<ViewMode>(4), 300, 200, 128, 128, {false, 0, 0, 0, 0, true, 1, 1}},
        {static_cast<ViewMode>(-1), 300, 200, 128, 128, {false, 0, 0, 0, 0, true, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << static_cast<int>(c.mode) << " chain " << c.cw << "x" << c.ch
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

// The redraw clears to the background (black in alpha-only view) and draws the view mode's
// rectangle from the main or the preview texture; the pixels inside are DrawQuad's.
TEST_F(ViewsTest, RedrawShowsTheModesRectangleOnTheBackground) {
    constexpr Bgr kMain = {10, 20, 30}, kPreview = {200, 100, 50};
    constexpr Bgr kBlack = {0, 0, 0}, kWhite = {255, 255, 255};
    struct Case {
        const char* what;
        ViewMode mode;
        bool alphaOnly, usePreview, noTexture;
        Bgr corner, centre, lastPixel;  // pixels (0, 0), (5, 5) and (11, 11)
    };
    const Case cases[] = {
        {"normal: centred", ViewMode::Normal, false, false, false, kBackgroundBgr, kMain,
         kBackgroundBgr},
        {"preview texture", ViewMode::Normal, false, true, false, kBackgroundBgr, kPreview,
         kBackgroundBgr},
        {"alpha only", ViewMode::Normal, true, false, false, kBlack, kWhite, kBlack},
        {"tiled", ViewMode::Tiled, false, false, false, kMain, kMain, kMain},
        {"stretched", ViewMode::StretchPixellised, false, false, false, kMain, kMain,
         kBackgroundBgr},
        {"unknown mode", static_cast<ViewMode>(9), false, false, false, kBackgroundBgr,
         kBackgroundBgr, kBackgroundBgr},
        {"no texture", ViewMode::Tiled, false, false, true, kBackgroundBgr, kBackgroundBgr,
         kBackgroundBgr},
    };
    const std::int32_t doc = OpenTexture(8, 8);
    FillTexture(*TextureAt(1).PreviewTexture, [](int, int) { return Bgra{200, 100, 50, 255}; });
    ResizeSwapChain(doc, 12, 12, &ui_, &ui_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextureDocument& d = DocumentAt(doc);
        d.ViewMode = c.mode;
        d.AlphaOnly = c.alphaOnly;
        d.TextureIndex = c.noTexture ? 0 : 1;
        RenderDocument(doc, c.usePreview, &ui_);
        EXPECT_EQ(WindowOf(doc).At(0, 0), c.corner);
        EXPECT_EQ(WindowOf(doc).At(5, 5), c.centre);
        EXPECT_EQ(WindowOf(doc).At(11, 11), c.lastPixel);
    }
}

// --- The drawing guard ---------------------------------------------------------------------------

TEST_F(ViewsTest, APaintArrivingDuringADrawingIsDropped) {
    StartPreview();
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    int nested = 0;
    doEvents_ = [&] {
        EXPECT_TRUE(Module1().RenderGuard);
        ++nested;
        RenderDocument(b, false, &ui_);
        RenderDocument(a, false, &ui_);
    };
    RenderDocument(a, false, &ui_);
    EXPECT_EQ(nested, 2) << "messages run after the scene and after the present";
    EXPECT_EQ(WindowOf(a).presents, 1);
    EXPECT_EQ(WindowOf(a).repaints, 1);
    EXPECT_EQ(WindowOf(b).presents, 0);
    EXPECT_FALSE(Module1().RenderGuard);
    doEvents_ = nullptr;
    RenderDocument(b, false, &ui_);
    EXPECT_EQ(WindowOf(b).presents, 1);

    // The preview document is never drawn here.
    RenderDocument(Module1().PreviewDocIndex, false, &ui_);
    DocumentAt(b).IsPreview = true;
    RenderDocument(b, false, &ui_);
    EXPECT_EQ(pictureBox_.presents, 0);
    EXPECT_EQ(WindowOf(b).presents, 1);
}

TEST_F(ViewsTest, TheGuardAndTheSceneAreResetWhenAStepThrows) {
    const std::int32_t doc = OpenTexture(16, 16);
    doEvents_ = [] { throw PlatformError(E_FAIL, "handler failed"); };
    EXPECT_EQ(ErrorCodeOf([&] { RenderDocument(doc, false, &ui_); }), E_FAIL);
    EXPECT_FALSE(Module1().RenderGuard);
    doEvents_ = nullptr;

    // A failure inside the scene (a texture slot outside the table).
    DocumentAt(doc).TextureIndex = 99;
    EXPECT_EQ(ErrorCodeOf([&] { RenderDocument(doc, false, &ui_); }), kErrSubscriptOutOfRange);
    EXPECT_FALSE(Module1().RenderGuard);
    EXPECT_FALSE(device().inScene()) << "the scene is ended so the next drawing can begin one";
    DocumentAt(doc).TextureIndex = 1;
    const int before = WindowOf(doc).presents;
    RenderDocument(doc, false, &ui_);
    EXPECT_EQ(WindowOf(doc).presents, before + 1);
}

TEST_F(ViewsTest, AWindowClosedOrResizedWhileMessagesRunIsNotPresentedTheOldImage) {
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    doEvents_ = [&] { CloseTextureWindow(a, &ui_); };
    RenderDocument(a, false, &ui_);
    EXPECT_EQ(windows_[0]->presents, 0);
    EXPECT_FALSE(Module1().RenderGuard);

    bool resized = false;
    doEvents_ = [&] {
        if (!resized) ResizeSwapChain(b, 20, 20, &ui_, &ui_);
        resized = true;
    };
    RenderDocument(b, false, &ui_);
    EXPECT_EQ(WindowOf(b).presents, 0);
    EXPECT_EQ(DocumentAt(b).ChainWidth, 20);
}

// --- The preview's swap chain and the display formats -------------------------------------------

TEST_F(ViewsTest, ThePreviewIsRebuiltInTheDesktopFormatAndSkipsFailingSteps) {
    // No document yet: nothing happens.
    EXPECT_NO_THROW(ResizeSwapChain(Module1().PreviewDocIndex, 50, 50, &ui_, &ui_));
    AdapterInfo info;
    info.displayFormat = [] { return D3DFMT_R5G6B5; };
    info.depthFormats = {D3DFMT_D24X8};
    Module1().D3D = Direct3DCreate8(info);
    const std::int32_t preview = StartPreview();

    ResizeSwapChain(preview, 120, 90, &ui_, &ui_);
    const TextureDocument& p = DocumentAt(preview);
    ASSERT_TRUE(p.SwapChain && p.DepthSurface);
    EXPECT_EQ(p.SwapChain->window(), &pictureBox_);
    const auto back = p.SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    EXPECT_EQ((std::array{back->width(), back->height()}), (std::array{120, 90}));
    EXPECT_EQ(back->format(), D3DFMT_R5G6B5);
    EXPECT_EQ(p.DepthSurface->format(), D3DFMT_D24X8);
    EXPECT_EQ(p.Viewport.Height, 90u);

    // Size 0 with an empty picture box: the chain and depth surface fail and stay released.
    EXPECT_NO_THROW(ResizeSwapChain(preview, 0, 0, &ui_, &ui_));
    EXPECT_FALSE(DocumentAt(preview).SwapChain || DocumentAt(preview).DepthSurface);
    ResizeSwapChain(preview, 30, 20, &ui_, &ui_);
    EXPECT_TRUE(DocumentAt(preview).SwapChain && DocumentAt(preview).DepthSurface);
    // Without a device the steps that can run still do.
    Module1().Device.reset();
    EXPECT_NO_THROW(ResizeSwapChain(preview, 40, 40, &ui_, &ui_));
    EXPECT_FALSE(DocumentAt(preview).SwapChain);
    EXPECT_EQ(DocumentAt(preview).ChainWidth, 40);
    EXPECT_TRUE(messages_.empty());

    // On a desktop that cannot be used the program ends.
    info.displayFormat = [] { return D3DFMT_X1R5G5B5; };
    Module1().D3D = Direct3DCreate8(info);
    EXPECT_NO_THROW(ResizeSwapChain(preview, 40, 40, &ui_, &ui_));
    EXPECT_EQ(messages_, std::vector<std::string>{kUnsupportedDesktopMessage});
    EXPECT_EQ(endProgramCalls_, 1);
}

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
        {D3DFMT_R5G6B5, {D3DFMT_D16}, D3DFMT_D16, nullptr},
        {D3DFMT_X8R8G8B8, {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8}, D3DFMT_D24X8, nullptr},
        {D3DFMT_X8R8G8B8, {D3DFMT_D16, D3DFMT_D24S8}, D3DFMT_D24S8, nullptr},
        {D3DFMT_X1R5G5B5, all, D3DFMT_UNKNOWN, kUnsupportedDesktopMessage},
        {D3DFMT_R8G8B8, all, D3DFMT_UNKNOWN, kUnsupportedDesktopMessage},
        {D3DFMT_X8R8G8B8, {}, D3DFMT_UNKNOWN, kNoDepthFormatMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "desktop " << c.desktop << ", " << c.depths.size() << " depth formats");
        ResetModule1();
        std::vector<std::string> messages;
        int ends = 0;
        RecordingWindows fatal;
        fatal.messageBox = [&](const std::string& text) { messages.push_back(text); };
        fatal.endProgram = [&] { ++ends; };
        AdapterInfo info;
        info.displayFormat = [desktop = c.desktop] { return desktop; };
        info.depthFormats = c.depths;
        Module1().D3D = Direct3DCreate8(info);

        D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
        D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
        CheckDisplayFormats(adapterFormat, depthFormat, &fatal);
        EXPECT_EQ(adapterFormat, c.desktop);
        EXPECT_EQ(depthFormat, c.expectedDepth);
        EXPECT_EQ(messages,
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(ends, c.message ? 1 : 0);
        // An unusable desktop releases the Direct3D object before ending.
        EXPECT_EQ(Module1().D3D == nullptr, c.message == kUnsupportedDesktopMessage);
    }
    ResetModule1();
}

}  // namespace
}  // namespace tintora::testing
