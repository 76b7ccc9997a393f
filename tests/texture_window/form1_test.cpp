// The texture window in a real MDI area (offscreen platform): creation, the queued drawing and
// resize, captions, activation, closing, minimising, error reports, and the mouse.
#include "texture_window/form1.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drawing/views.h"
#include "support/document_fixture.h"
#include "support/recording_host.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;
constexpr std::uint32_t kBackground = 0x00102030u;  // window colour: red 0x30, blue 0x10

// Texels whose colour tells their place, as window colours 0x00BBGGRR.
std::uint32_t Texel(int x, int y) {
    return static_cast<std::uint32_t>(((40 + 3 * x) & 0xFF) | (((90 + 5 * y) & 0xFF) << 8) |
                                      (((7 * x + 11 * y) & 0xFF) << 16));
}

QColor AsQColor(std::uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>(c >> 16));
}

class Form1Test : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        auto& state = Module1();
        state.BackgroundColor = kBackground;
        area = std::make_unique<QMdiArea>();
        area->resize(900, 800);
        area->show();
        area->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(area.get()));

        auto& hooks = host;
        hooks.createTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            return CreateForm1(area.get(), slot, host);
        };
        hooks.doEvents = [this] {
            calls.push_back("DoEvents");
            QCoreApplication::processEvents();
        };
        hooks.messageBox = [this](const std::string& text) { messages.push_back(text); };
        hooks.viewMenuChecks = [this](ViewMode mode, bool alphaOnly) {
            calls.push_back("SetViewMenuChecks");
            menuCalls.emplace_back(mode, alphaOnly);
        };
        hooks.statusText = [this](const std::string& text) {
            calls.push_back("status " + text);
        };
        hooks.refreshColorValue = [this] { calls.push_back("RefreshColorValue"); };
        hooks.popupViewMenu = [this](int x, int y) { popups.emplace_back(x, y); };
        hooks.showPreviewWindow = [this] { previewVisible = true; };
        hooks.hidePreviewWindow = [this] { previewVisible = false; };
        // The preview's document takes slot 1, as at start-up (no picture box here).
        state.PreviewDocIndex = CreateDocument(32, 32, true, true, &host);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
    }
    void TearDown() override {
        area.reset();
        DocumentTest::TearDown();
    }

    // A texture window showing a new width x height texture, as the new-texture command makes
    // them; with a client size, sized to it and drawn at that size.
    Form1* Open(int width, int height, int clientWidth = 0, int clientHeight = 0) {
        const std::int32_t entry = CreateTextureEntry(width, height, true, &host);
        FillTexture(*TextureAt(entry).Texture, [](int x, int y) {
            const std::uint32_t c = Texel(x, y);
            return Bgra{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                        static_cast<std::uint8_t>(c), 255};
        });
        const std::int32_t doc = CreateDocument(width, height, true, false, &host);
        DocumentAt(doc).TextureIndex = entry;
        auto* form = static_cast<Form1*>(DocumentAt(doc).Window);
        if (clientWidth == 0) return form;
        form->SetClientSize(clientWidth, clientHeight);
        const bool drawn = QTest::qWaitFor([&] {
            return DocumentAt(doc).ChainWidth == clientWidth &&
                   DocumentAt(doc).ChainHeight == clientHeight &&
                   form->presentedImage().size() == QSize(clientWidth, clientHeight);
        });
        QTest::qWait(20);
        calls.clear();
        return drawn ? form : nullptr;
    }
    static QMdiSubWindow* SubOf(Form1* form) {
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }

    std::unique_ptr<QMdiArea> area;
    Strings calls;  // hook calls in order
    Strings messages;
    std::vector<std::pair<ViewMode, bool>> menuCalls;
    std::vector<QPoint> popups;
    bool previewVisible = false;
    RecordingHost host;
};

TEST_F(Form1Test, ANewWindowHasItsClientSizeCaptionAndTagAndIsActive) {
    Form1* form = Open(64, 48);
    EXPECT_EQ(form->windowindex, 2);
    EXPECT_EQ(form->size(), QSize(64, 48));
    EXPECT_EQ(form->Tag(), WindowTag::Resize);
    EXPECT_EQ(SubOf(form)->windowTitle(), QStringLiteral("Window2"));
    EXPECT_EQ(area->activeSubWindow(), SubOf(form));
    EXPECT_EQ(Module1().ActiveWindowIndex, 2);
    // Not rebuilt by the resize events that showing and sizing raised.
    QTest::qWait(20);
    EXPECT_EQ(DocumentAt(2).DepthSurface->format(), D3DFMT_D16);
    RefreshCaptions();
    EXPECT_EQ(SubOf(form)->windowTitle(), QStringLiteral("1-Untitled (64x48)"));
    EXPECT_EQ(form->Caption(), "1-Untitled (64x48)");
}

TEST_F(Form1Test, ShowsTheTextureAfterTheQueuedPaintAndFollowsAResize) {
    Form1* form = Open(64, 48);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->presentedImage().isNull(); }));
    EXPECT_EQ(form->grab().toImage().pixelColor(40, 5), AsQColor(Texel(40, 5)));

    // 40 x 20 pixels larger: the chain follows and the texture is centred from 20, 10.
    QMdiSubWindow* sub = SubOf(form);
    sub->resize(sub->size() + QSize(40, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->presentedImage().size() == QSize(104, 68); }));
    EXPECT_EQ((std::pair{DocumentAt(2).ChainWidth, DocumentAt(2).ChainHeight}),
              (std::pair{104, 68}));
    EXPECT_EQ(DocumentAt(2).DepthSurface->format(), D3DFMT_D24X8);
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(shot.pixelColor(19, 30), AsQColor(kBackground));
    EXPECT_EQ(shot.pixelColor(20, 10), AsQColor(Texel(0, 0)));
    EXPECT_FALSE(Module1().RenderGuard);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Test, ActivationSetsTheActiveWindowAndTheMenuMarks) {
    Form1* a = Open(16, 16);
    Form1* b = Open(16, 16);
    DocumentAt(a->windowindex).ViewMode = ViewMode::Tiled;
    DocumentAt(a->windowindex).AlphaOnly = true;
    menuCalls.clear();
    area->setActiveSubWindow(SubOf(a));
    EXPECT_EQ(Module1().ActiveWindowIndex, a->windowindex);
    EXPECT_EQ(menuCalls, (std::vector<std::pair<ViewMode, bool>>{{ViewMode::Tiled, true}}));
    area->activateNextSubWindow();
    EXPECT_EQ(Module1().ActiveWindowIndex, b->windowindex);
    EXPECT_EQ(menuCalls.back(), (std::pair<ViewMode, bool>{ViewMode::Normal, false}));
}

TEST_F(Form1Test, ClosingTheSubwindowFreesTheSlotsAndActivatesTheNextWindow) {
    Form1* a = Open(16, 16);
    QPointer<QMdiSubWindow> subB = SubOf(Open(16, 16));
    EXPECT_TRUE(subB->close());
    EXPECT_FALSE(DocumentAt(3).InUse || DocumentAt(3).Window || DocumentAt(3).SwapChain);
    EXPECT_FALSE(TextureAt(2).InUse);
    EXPECT_TRUE(previewVisible);
    // The area activates the remaining window, whose activation sets the index again.
    EXPECT_EQ(Module1().ActiveWindowIndex, a->windowindex);
    EXPECT_TRUE(QTest::qWaitFor([&] { return subB.isNull(); }));

    EXPECT_TRUE(SubOf(a)->close());
    EXPECT_FALSE(DocumentAt(2).InUse || TextureAt(1).InUse);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
    EXPECT_FALSE(previewVisible);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Test, MinimisingKeepsTheChainAndRestoringRebuildsIt) {
    Form1* form = Open(64, 48);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->presentedImage().isNull(); }));
    QTest::qWait(20);
    const auto chain = DocumentAt(2).SwapChain;
    SubOf(form)->showMinimized();
    QTest::qWait(20);
    EXPECT_EQ(DocumentAt(2).SwapChain, chain);
    SubOf(form)->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return DocumentAt(2).SwapChain != chain; }));
    EXPECT_EQ(DocumentAt(2).ChainWidth, form->width());
    EXPECT_EQ(DocumentAt(2).ChainHeight, form->height());
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Test, HandlerErrorsAreReportedAndTheWindowKeepsWorking) {
    Form1* form = Open(16, 16, 16, 16);
    ASSERT_NE(form, nullptr);
    DocumentAt(2).TextureIndex = 99;  // a texture slot outside the table
    form->Form_Paint();
    EXPECT_EQ(messages, Strings{"Error 9: Subscript out of range"});
    EXPECT_FALSE(Module1().RenderGuard);
    DocumentAt(2).TextureIndex = 1;
    form->Form_Paint();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(form->grab().toImage().pixelColor(3, 4), AsQColor(Texel(3, 4)));
}

TEST_F(Form1Test, AnIdleWindowDoesNotRedrawItself) {
    // Every drawing lets messages run twice; count them.
    Form1* form = Open(32, 32);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->presentedImage().isNull(); }));
    QTest::qWait(50);
    const auto drawingSteps = [this] { return std::count(calls.begin(), calls.end(), "DoEvents"); };
    const auto settled = drawingSteps();
    EXPECT_GE(settled, 2);
    QTest::qWait(200);
    EXPECT_EQ(drawingSteps(), settled);
    // A repaint that no present asked for (an expose) draws once more, then it settles again.
    form->update();
    EXPECT_TRUE(QTest::qWaitFor([&] { return drawingSteps() == settled + 2; }));
    QTest::qWait(100);
    EXPECT_EQ(drawingSteps(), settled + 2);
}

// --- The mouse --------------------------------------------------------------------------------

TEST_F(Form1Test, TheStatusTextStretchesTheWindowOntoTheTexture) {
    // A 256 x 128 texture in a 512 x 512 window: x / 2 and y / 4, rounded half to even, in
    // every view mode.
    ASSERT_NE(Open(256, 128, 512, 512), nullptr);
    struct Case {
        ViewMode mode;
        float x, y;
        const char* text;
    };
    for (const Case& c : {Case{ViewMode::StretchPixellised, 100, 300, "(50,75)"},
                          Case{ViewMode::Tiled, 100.75f, 300, "(50,75)"},  // 50.375
                          Case{ViewMode::Normal, 101, 2, "(50,0)"},        // 50.5 and 0.5 go down
                          Case{ViewMode::Normal, 103, 6, "(52,2)"}}) {     // 51.5 and 1.5 go up
        DocumentAt(2).ViewMode = c.mode;
        EXPECT_EQ(TexelPositionText(2, c.x, c.y), c.text);
    }
    DocumentAt(2).ChainWidth = 0;
    EXPECT_EQ(ErrorCodeOf([] { TexelPositionText(2, 1, 1); }), 11);
}

TEST_F(Form1Test, MovesAndDragsSetTheStatusThenLetMessagesRun) {
    Form1* form = Open(256, 128, 512, 512);
    ASSERT_NE(form, nullptr);
    // From elsewhere first: a move to where the pointer already is would not be one.
    QTest::mouseMove(form, QPoint(107, 307));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !calls.empty(); }));
    calls.clear();
    QTest::mouseMove(form, QPoint(100, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !calls.empty(); }));
    EXPECT_EQ(calls.front(), "status (50,75)");

    calls.clear();
    QMouseEvent drag(QEvent::MouseMove, QPointF(20, 40), form->mapToGlobal(QPointF(20, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form, &drag);
    EXPECT_EQ(calls, (Strings{"status (10,10)", "DoEvents"}));

    DocumentAt(2).ChainWidth = 0;
    form->Form_MouseMove(0, 0, 1.0f, 1.0f);
    EXPECT_EQ(messages, Strings{"Error 11: Division by zero"});
}

TEST_F(Form1Test, PickingTakesThePixelShownAndTheButtonChoosesTheColour) {
    auto& state = Module1();
    state.CurrentTool = Tool::PickColor;
    // Normal mode: the 16 x 8 texture lies at 16, 16 in a 48 x 40 window.
    Form1* form = Open(16, 8, 48, 40);
    ASSERT_NE(form, nullptr);
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(16 + 5, 16 + 3));
    EXPECT_EQ(state.ForegroundColor, Texel(5, 3));
    EXPECT_EQ(state.BackgroundColor, kBackground);
    EXPECT_EQ(calls, Strings{"RefreshColorValue"});
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(2, 2));  // beside the texture
    EXPECT_EQ(state.ForegroundColor, kBackground);

    // Middle and right buttons set the background; "Set ColorKey" picks the same way.
    state.CurrentTool = Tool::SetColorKey;
    state.ForegroundColor = 0;
    QTest::mouseClick(form, Qt::MiddleButton, {}, QPoint(16 + 4, 16 + 7));
    EXPECT_EQ(state.BackgroundColor, Texel(4, 7));
    QTest::mousePress(form, Qt::RightButton, {}, QPoint(16 + 11, 16 + 2));
    EXPECT_EQ(state.BackgroundColor, Texel(11, 2));
    EXPECT_EQ(state.ForegroundColor, 0u);

    // Stretched: whatever pixel the window shows there.
    DocumentAt(2).ViewMode = ViewMode::StretchPixellised;
    RenderDocument(2, false, &host);
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(state.ForegroundColor, Texel(30 * 16 / 47, 20 * 8 / 39));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Test, WithTheSelectToolAPressOnlyActivates) {
    Form1* a = Open(16, 16, 16, 16);
    Form1* b = Open(16, 16, 16, 16);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    Module1().CurrentTool = Tool::Select;
    menuCalls.clear();
    QTest::mousePress(a, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(Module1().ActiveWindowIndex, a->windowindex);
    EXPECT_EQ(menuCalls.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->hasFocus(); }));
    QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(menuCalls.size(), 1u) << "already active: no second sync";
    EXPECT_EQ(Module1().ForegroundColor, 0u);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "RefreshColorValue"), 0);
}

TEST_F(Form1Test, ARightReleaseSyncsAndOpensTheViewMenuAtTheMouse) {
    Form1* form = Open(32, 32, 32, 32);
    ASSERT_NE(form, nullptr);
    DocumentAt(2).AlphaOnly = true;
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(12, 20));  // opens nothing
    QTest::mouseClick(form, Qt::RightButton, {}, QPoint(5, 6));
    EXPECT_EQ(menuCalls.back(), (std::pair<ViewMode, bool>{ViewMode::Normal, true}));
    EXPECT_EQ(popups, std::vector<QPoint>{form->mapToGlobal(QPoint(5, 6))});
}

}  // namespace
}  // namespace tintora::testing
