// The texture window in a real MDI area (offscreen platform): the queued drawing and resize,
// captions, activation, closing, minimising, error reports, and the mouse.
#include "texture_window/form1.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "drawing/texel_view.h"
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
        CopyOut(entry);
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
    DocumentAt(2).ViewMode = ViewMode::StretchFiltering;  // the stretch divides by the width
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
    // A 256 x 128 texture in a 512 x 512 window. Stretched: x / 2 and y / 4, rounded half to
    // even, at any zoom. Normal: the picture centred (at 1:1 from 128, 192; at 3x 768 x 384
    // pixels from -128, 64; at 1/4 64 x 32 from 224, 240, each pixel showing the texel in the
    // middle of its block); nothing beside it. Tiled: repeated from 0, 0.
    Form1* form = Open(256, 128, {512, 512});
    const std::tuple<ViewMode, double, float, float, const char*> cases[] = {
        {ViewMode::StretchPixellised, 3, 100, 300, "(50,75)"},
        {ViewMode::StretchFiltering, 1, 101, 2, "(50,0)"},  // 50.5 and 0.5 go down
        {ViewMode::StretchFiltering, 1, 103, 6, "(52,2)"},  // 51.5 and 1.5 go up
        {ViewMode::Normal, 1, 200.5f, 300, "(72,108)"},
        {ViewMode::Normal, 1, 100, 300, ""},
        {ViewMode::Normal, 3, 100, 300, "(76,78)"},
        {ViewMode::Normal, 3, 100, 500, ""},
        {ViewMode::Normal, 0.25, 230, 250, "(26,42)"},
        {ViewMode::Normal, 0.25, 100, 300, ""},
        {ViewMode::Tiled, 1, 100, 300, "(100,44)"},
        {ViewMode::Tiled, 3, 100, 300, "(33,100)"},
        {ViewMode::Tiled, 0.25, 100, 300, "(146,50)"},
        {ViewMode::Tiled, 1, 512, 0, ""}};
    for (const auto& [mode, zoom, x, y, text] : cases) {
        DocumentAt(2).ViewMode = mode;
        DocumentAt(2).Zoom = zoom;
        EXPECT_EQ(TexelPositionText(2, x, y), text) << static_cast<int>(mode) << " " << zoom;
    }
    DocumentAt(2).ViewMode = ViewMode::StretchPixellised;
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
    EXPECT_EQ(marks, (Marks{{ViewMode::StretchPixellised, true}}));
    EXPECT_EQ(popups, std::vector<QPoint>{form->mapToGlobal(QPoint(5, 6))});
}

// At 1:1 each texel is one pixel, for odd and even size differences. A wheel notch zooms a step
// about the mouse, down to the last step; a picture larger than the window gets scroll bars that
// pan it, as a drag with the middle button does.
TEST_F(Form1Test, TexelSharpAtOneToOneTheWheelZoomsAboutTheMouseBarsAndTheMiddleButtonPan) {
    for (const QSize client : {QSize(37, 20), QSize(36, 21)}) {
        const QImage shown = Open(16, 8, client)->presentedImage();
        const QPoint corner((client.width() - 16) / 2, (client.height() - 8) / 2);
        for (int y = 0; y < client.height(); ++y) {
            for (int x = 0; x < client.width(); ++x) {
                const QPoint t = QPoint(x, y) - corner;
                const bool inside = t.x() >= 0 && t.y() >= 0 && t.x() < 16 && t.y() < 8;
                ASSERT_EQ(shown.pixelColor(x, y),
                          AsQColor(inside ? Texel(t.x(), t.y()) : kBackground))
                    << client.width() << "x" << client.height() << " at " << x << "," << y;
            }
        }
    }
    Form1* form = Open(64, 64, {100, 100});
    const std::int32_t doc = form->windowindex;
    const auto wheel = [form](int notches) {
        const QPointF at(40, 30);
        QWheelEvent turn(at, form->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton,
                         Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form, &turn);
    };
    const std::string under = TexelPositionText(doc, 40, 30);
    wheel(2);
    EXPECT_EQ(DocumentAt(doc).Zoom, 3);
    EXPECT_EQ(TexelPositionText(doc, 40, 30), under);
    EXPECT_TRUE(SubOf(form)->windowTitle().endsWith(QStringLiteral(" (64x64) 300%")));
    ASSERT_TRUE(form->HScroll1->isVisible() && form->VScroll1->isVisible());
    const int shown = form->ClientWidth();
    EXPECT_EQ((std::array{DocumentAt(doc).ChainWidth, form->HScroll1->maximum()}),
              (std::array{shown, 192 - shown}));
    form->HScroll1->setValue(10);
    form->VScroll1->setValue(0);
    QTest::mousePress(form, Qt::MiddleButton, {}, QPoint(50, 50));
    QMouseEvent drag(QEvent::MouseMove, QPointF(47, 52), form->mapToGlobal(QPointF(47, 52)),
                     Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QApplication::sendEvent(form, &drag);
    QTest::mouseRelease(form, Qt::MiddleButton, {}, QPoint(47, 52));
    const TexelLayout placed = LayoutTexels(DocumentAt(doc), 64, 64);
    EXPECT_EQ((std::array{placed.x, placed.y, form->HScroll1->value()}), (std::array{-13, 0, 13}));
    wheel(-20);
    EXPECT_EQ(DocumentAt(doc).Zoom, 0.125);
    EXPECT_FALSE(form->HScroll1->isVisible() || form->VScroll1->isVisible());
}

TEST_F(Form1Test, PickingTakesTheTexelUnderTheMouseByButtonAndASelectPressOnlyActivates) {
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
    // At 3x (48 x 24 pixels from 0, 8) in the alpha-only view: the texel's colour, not grey.
    DocumentAt(form->windowindex).Zoom = 3;
    DocumentAt(form->windowindex).AlphaOnly = true;
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(7, 8 + 5));
    EXPECT_EQ(state.ForegroundColor, Texel(2, 1));

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
