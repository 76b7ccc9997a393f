// The texture window in a real MDI area (offscreen platform): the queued drawing and resize,
// captions, activation, closing, minimising, error reports, and the mouse.
#include "texture_window/form1.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "drawing/views.h"
#include "support/document_fixture.h"
#include "support/recording_host.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;
using Marks = std::vector<std::pair<ViewMode, bool>>;
constexpr std::uint32_t kBackground = 0x00102030u;  // window colour: red 0x30, blue 0x10

// Opaque texels whose colour tells their place, and the same as window colours 0x00BBGGRR.
Bgra OpaqueTexel(int x, int y) {
    return {static_cast<std::uint8_t>(40 + 3 * x), static_cast<std::uint8_t>(90 + 5 * y),
            static_cast<std::uint8_t>(7 * x + 11 * y), 255};
}
std::uint32_t Texel(int x, int y) {
    const Bgra texel = OpaqueTexel(x, y);
    return texel[2] | texel[1] << 8 | static_cast<std::uint32_t>(texel[0]) << 16;
}

QColor AsQColor(std::uint32_t c) {
    return QColor::fromRgb(qRgb(c & 0xFF, (c >> 8) & 0xFF, c >> 16));
}

class Form1Test : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        Module1().BackgroundColor = kBackground;
        area.resize(900, 800);
        area.show();
        area.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
        host.createTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
            return CreateForm1(&area, slot, host);
        };
        host.doEvents = [this] {
            calls.emplace_back("DoEvents");
            QCoreApplication::processEvents();
        };
        host.messageBox = [this](const std::string& text) { messages.push_back(text); };
        host.viewMenuChecks = [this](ViewMode m, bool alpha) { marks.emplace_back(m, alpha); };
        host.statusText = [this](const std::string& text) { calls.push_back("status " + text); };
        host.refreshColorValue = [this] { calls.emplace_back("RefreshColorValue"); };
        host.popupViewMenu = [this](int x, int y) { popups.emplace_back(x, y); };
        // The preview's document takes slot 1, as at start-up (no picture box here).
        Module1().PreviewDocIndex = CreateDocument(32, 32, true, true, &host);
        DocumentAt(1).IsPreview = true;
    }

    // A texture window showing a new width x height texture, as the new-texture command makes
    // them; with a client size, sized to it and drawn at that size.
    Form1* Open(int width, int height, QSize client = {}) {
        const std::int32_t entry = CreateTextureEntry(width, height, true, &host);
        FillTexture(*TextureAt(entry).Texture, OpaqueTexel);
        const std::int32_t doc = CreateDocument(width, height, true, false, &host);
        DocumentAt(doc).TextureIndex = entry;
        auto* form = static_cast<Form1*>(DocumentAt(doc).Window);
        const QSize size = client.isEmpty() ? QSize(width, height) : client;
        form->SetClientSize(size.width(), size.height());
        const bool drawn = QTest::qWaitFor([&] {
            return QSize(DocumentAt(doc).ChainWidth, DocumentAt(doc).ChainHeight) == size &&
                   form->presentedImage().size() == size;
        });
        EXPECT_TRUE(drawn);
        QTest::qWait(20);
        calls.clear();
        return form;
    }
    static QMdiSubWindow* SubOf(Form1* form) {
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }

    RecordingHost host;
    Strings calls;  // host calls in order
    Strings messages;
    Marks marks;
    std::vector<QPoint> popups;
    QMdiArea area;  // destroyed first: its windows may still call the host
};

TEST_F(Form1Test, ShowsTheTextureWhenShownOrResizedKeepsItWhenMinimisedAndReportsErrors) {
    Form1* form = Open(64, 48);
    EXPECT_EQ((std::pair{form->windowindex, Module1().ActiveWindowIndex}), (std::pair{2, 2}));
    EXPECT_EQ(area.activeSubWindow(), SubOf(form));
    EXPECT_EQ(SubOf(form)->windowTitle(), QStringLiteral("Window2"));
    RefreshCaptions();
    EXPECT_EQ(SubOf(form)->windowTitle(), QStringLiteral("1-Untitled (64x48)"));

    // 40 x 20 pixels larger: the chain follows and the texture is centred from 20, 10.
    QMdiSubWindow* sub = SubOf(form);
    sub->resize(sub->size() + QSize(40, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->presentedImage().size() == QSize(104, 68); }));
    EXPECT_EQ((std::pair{DocumentAt(2).ChainWidth, DocumentAt(2).ChainHeight}),
              (std::pair{104, 68}));
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(shot.pixelColor(19, 30), AsQColor(kBackground));
    EXPECT_EQ(shot.pixelColor(20, 10), AsQColor(Texel(0, 0)));
    // Minimised, the chain stays as it is.
    const auto chain = DocumentAt(2).SwapChain;
    sub->showMinimized();
    QTest::qWait(20);
    EXPECT_EQ(DocumentAt(2).SwapChain, chain);
    EXPECT_TRUE(messages.empty());

    // Errors in handlers are reported, and the window keeps working.
    DocumentAt(2).TextureIndex = 99;  // a texture slot outside the table
    form->Form_Paint();
    DocumentAt(2).TextureIndex = 1;
    DocumentAt(2).ChainWidth = 0;
    form->Form_MouseMove(0, 0, 1.0f, 1.0f);
    EXPECT_EQ(messages, (Strings{"Error 9: Subscript out of range", "Error 11: Division by zero"}));
    EXPECT_FALSE(Module1().RenderGuard);
    DocumentAt(2).ChainWidth = 104;
    form->Form_Paint();
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(Form1Test, ActivatingAndClosingSubwindowsKeepTheTablesInStep) {
    Form1* a = Open(16, 16);
    QPointer<QMdiSubWindow> subB = SubOf(Open(16, 16));
    DocumentAt(2).ViewMode = ViewMode::Tiled;
    DocumentAt(2).AlphaOnly = true;
    marks.clear();
    area.setActiveSubWindow(SubOf(a));
    EXPECT_EQ(Module1().ActiveWindowIndex, 2);
    EXPECT_EQ(marks, (Marks{{ViewMode::Tiled, true}}));
    area.setActiveSubWindow(subB);
    EXPECT_TRUE(subB->close());
    EXPECT_FALSE(DocumentAt(3).InUse || TextureAt(2).InUse);
    EXPECT_EQ(Module1().ActiveWindowIndex, 2) << "the area activates the remaining window";
    EXPECT_TRUE(QTest::qWaitFor([&] { return subB.isNull(); }));
}

TEST_F(Form1Test, MovesSetTheStatusAndARightReleaseOpensTheViewMenuAtTheMouse) {
    // A 256 x 128 texture in a 512 x 512 window: x / 2 and y / 4, rounded half to even, in
    // every view mode.
    Form1* form = Open(256, 128, {512, 512});
    const std::tuple<ViewMode, float, float, const char*> cases[] = {
        {ViewMode::StretchPixellised, 100, 300, "(50,75)"},
        {ViewMode::Tiled, 100.75f, 300, "(50,75)"},  // 50.375
        {ViewMode::Normal, 101, 2, "(50,0)"},        // 50.5 and 0.5 go down
        {ViewMode::Normal, 103, 6, "(52,2)"}};       // 51.5 and 1.5 go up
    for (const auto& [mode, x, y, text] : cases) {
        DocumentAt(2).ViewMode = mode;
        EXPECT_EQ(TexelPositionText(2, x, y), text);
    }
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
    EXPECT_EQ(calls, (Strings{"status (10,10)", "DoEvents"}));  // and no drawing of its own

    DocumentAt(2).AlphaOnly = true;
    marks.clear();
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(12, 20));  // opens nothing
    QTest::mouseClick(form, Qt::RightButton, {}, QPoint(5, 6));
    EXPECT_EQ(marks, (Marks{{ViewMode::Normal, true}}));
    EXPECT_EQ(popups, std::vector<QPoint>{form->mapToGlobal(QPoint(5, 6))});
}

TEST_F(Form1Test, PickingTakesThePixelShownByButtonAndASelectPressOnlyActivates) {
    auto& state = Module1();
    Form1* a = Open(16, 16);
    // Normal mode: the 16 x 8 texture lies at 16, 16 in a 48 x 40 window.
    Form1* form = Open(16, 8, {48, 40});
    state.CurrentTool = Tool::PickColor;
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(16 + 5, 16 + 3));
    EXPECT_EQ(state.ForegroundColor, Texel(5, 3));
    EXPECT_EQ(calls, Strings{"RefreshColorValue"});
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(2, 2));  // beside the texture
    EXPECT_EQ(state.ForegroundColor, kBackground);
    // Any other button sets the background; "Set ColorKey" picks the same way.
    state.CurrentTool = Tool::SetColorKey;
    QTest::mouseClick(form, Qt::MiddleButton, {}, QPoint(16 + 4, 16 + 7));
    EXPECT_EQ(state.BackgroundColor, Texel(4, 7));
    EXPECT_EQ(state.ForegroundColor, kBackground);

    // With the Select tool a press only activates (once) and takes the focus.
    state.CurrentTool = Tool::Select;
    marks.clear();
    calls.clear();
    QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(state.ActiveWindowIndex, a->windowindex);
    EXPECT_EQ(marks.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->hasFocus(); }));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "RefreshColorValue"), 0);
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace tintora::testing
