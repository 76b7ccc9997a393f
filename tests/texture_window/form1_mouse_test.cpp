// The mouse in a texture window (offscreen platform): the status text's stretch mapping,
// activation on press, colour picking from what the window shows (alpha-only view and
// background included), the buttons' colours, the View menu on a right release, and keys.
#include <QApplication>
#include <QMdiArea>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "texture_window/form1.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "device/device.h"
#include "support/test_device.h"

namespace tintora {
namespace {

using Strings = std::vector<std::string>;
constexpr std::uint32_t kBackground = 0x00102030u;  // window colour: red 0x30, blue 0x10

// Texels whose colour tells their place; alpha 16 x column unless opaque.
std::uint32_t Texel(int x, int y) {
    return static_cast<std::uint32_t>(((40 + 3 * x) & 0xFF) | (((90 + 5 * y) & 0xFF) << 8) |
                                      (((7 * x + 11 * y) & 0xFF) << 16));
}

void FillTexture(Texture& texture, bool opaque) {
    const D3DLOCKED_RECT rect = texture.LockRect(0, nullptr, 0);
    for (int y = 0; y < texture.height(); ++y) {
        for (int x = 0; x < texture.width(); ++x) {
            auto* p = static_cast<std::uint8_t*>(rect.pBits) + y * rect.Pitch + 4 * x;
            const std::uint32_t c = Texel(x, y);
            p[0] = static_cast<std::uint8_t>(c >> 16);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c);
            p[3] = static_cast<std::uint8_t>(opaque ? 255 : 16 * x);
        }
    }
    texture.UnlockRect(0);
}

}  // namespace

class Form1MouseTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void statusTextStretchesTheWindowOntoTheTextureInEveryMode();
    void statusTextFollowsDragsAndReportsAnUnmappableWindow();
    void pickingTakesThePixelShownAndTheButtonChoosesTheColour();
    void pickingFromAnAlphaOnlyViewTakesTheGreyShown();
    void selectToolPressOnlyActivates();
    void rightReleaseSyncsAndOpensTheViewMenuAtTheMouse();
    void keysDoNothing();

  private:
    // A texture window of width x height showing a new texture, drawn at that client size.
    Form1* Open(int width, int height, int clientWidth, int clientHeight, bool opaque = true);

    std::unique_ptr<QMdiArea> area_;
    Strings calls_;  // hook calls in order
    Strings messages_;
    std::vector<std::pair<std::int32_t, bool>> menuCalls_;
    std::vector<QPoint> popups_;
};

void Form1MouseTest::init() {
    ResetModule1();
    auto& state = Module1();
    state.D3D = Direct3DCreate8();
    state.Device = testing::MakeTestDevice(state.D3D);
    state.PresentParams = testing::TestPresentParams();
    state.BackgroundColor = kBackground;

    area_ = std::make_unique<QMdiArea>();
    area_->resize(900, 800);
    area_->show();
    area_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(area_.get()));

    calls_.clear();
    messages_.clear();
    menuCalls_.clear();
    popups_.clear();
    auto& hooks = state.Hooks;
    hooks.CreateTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
        return CreateForm1(area_.get(), slot);
    };
    hooks.DoEvents = [this] {
        calls_.push_back("DoEvents");
        QCoreApplication::processEvents();
    };
    hooks.MessageBox = [this](const std::string& text) { messages_.push_back(text); };
    hooks.SetViewMenuChecks = [this](std::int32_t mode, bool alphaOnly) {
        calls_.push_back("SetViewMenuChecks");
        menuCalls_.emplace_back(mode, alphaOnly);
    };
    hooks.SetStatusText = [this](const std::string& text) { calls_.push_back("status " + text); };
    hooks.RefreshColorValue = [this] { calls_.push_back("RefreshColorValue"); };
    hooks.PopupViewMenu = [this](int x, int y) {
        calls_.push_back("PopupViewMenu");
        popups_.emplace_back(x, y);
    };
}

void Form1MouseTest::cleanup() {
    area_.reset();
    ResetModule1();
}

Form1* Form1MouseTest::Open(int width, int height, int clientWidth, int clientHeight, bool opaque) {
    const std::int32_t entry = CreateTextureEntry(width, height, true);
    FillTexture(*TextureAt(entry).Texture, opaque);
    const std::int32_t doc = CreateDocument(width, height, true, false);
    DocumentAt(doc).TextureIndex = entry;
    auto* form = static_cast<Form1*>(DocumentAt(doc).Window);
    form->SetClientSize(clientWidth, clientHeight);
    const QSize client(clientWidth, clientHeight);
    if (!QTest::qWaitFor([&] {
            return DocumentAt(doc).ChainWidth == clientWidth &&
                   DocumentAt(doc).ChainHeight == clientHeight &&
                   form->presentedImage().size() == client;
        })) {
        return nullptr;
    }
    QTest::qWait(20);
    calls_.clear();
    return form;
}

void Form1MouseTest::statusTextStretchesTheWindowOntoTheTextureInEveryMode() {
    // A 256 x 128 texture in a 512 x 512 window: x / 2 and y / 4, rounded half to even.
    Form1* form = Open(256, 128, 512, 512);
    QVERIFY(form != nullptr);
    const std::pair<int, QPoint> cases[] = {
        {kViewStretchPixellised, {100, 300}},
        {kViewStretchFiltering, {100, 300}},
        {kViewNormal, {100, 300}},
        {kViewTiled, {100, 300}},
        {kViewNormal, {101, 2}},  // 50.5 and 0.5 round down to even
        {kViewNormal, {103, 6}},  // 51.5 and 1.5 round up to even
    };
    const char* const expected[] = {"(50,75)", "(50,75)", "(50,75)", "(50,75)", "(50,0)", "(52,2)"};
    for (int i = 0; i < 6; ++i) {
        DocumentAt(form->windowindex).ViewMode = cases[i].first;
        // From elsewhere first: a move to where the pointer already is would not be one.
        QTest::mouseMove(form, cases[i].second + QPoint(7, 7));
        QTRY_VERIFY(!calls_.empty());
        calls_.clear();
        QTest::mouseMove(form, cases[i].second);
        QTRY_VERIFY(!calls_.empty());
        QCOMPARE(calls_.front(), "status " + std::string(expected[i]));
        calls_.clear();
    }
    QVERIFY(messages_.empty());
}

void Form1MouseTest::statusTextFollowsDragsAndReportsAnUnmappableWindow() {
    Form1* form = Open(256, 128, 512, 512);
    QVERIFY(form != nullptr);
    // 256 x 100.75 / 512 = 50.375; the status is set, then messages run.
    form->Form_MouseMove(0, 0, 100.75f, 300.0f);
    QCOMPARE(calls_, (Strings{"status (50,75)", "DoEvents"}));

    calls_.clear();
    QMouseEvent drag(QEvent::MouseMove, QPointF(20, 40), form->mapToGlobal(QPointF(20, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form, &drag);
    QCOMPARE(calls_, (Strings{"status (10,10)", "DoEvents"}));

    DocumentAt(form->windowindex).ChainWidth = 0;
    form->Form_MouseMove(0, 0, 1.0f, 1.0f);
    QCOMPARE(messages_, (Strings{"Error 11: Division by zero"}));
}

void Form1MouseTest::pickingTakesThePixelShownAndTheButtonChoosesTheColour() {
    auto& state = Module1();
    state.CurrentTool = 2;
    // Normal mode: the 16 x 8 texture lies at 16, 16 in a 48 x 40 window.
    Form1* form = Open(16, 8, 48, 40);
    QVERIFY(form != nullptr);

    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(16 + 5, 16 + 3));
    QCOMPARE(state.ForegroundColor, Texel(5, 3));
    QCOMPARE(state.BackgroundColor, kBackground);
    QCOMPARE(calls_, (Strings{"RefreshColorValue"}));
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(2, 2));  // beside the texture
    QCOMPARE(state.ForegroundColor, kBackground);

    // Middle and right buttons set the background; "Set ColorKey" picks the same way.
    state.CurrentTool = 3;
    state.ForegroundColor = 0;
    QTest::mouseClick(form, Qt::MiddleButton, {}, QPoint(16 + 4, 16 + 7));
    QCOMPARE(state.BackgroundColor, Texel(4, 7));
    QTest::mousePress(form, Qt::RightButton, {}, QPoint(16 + 11, 16 + 2));
    QCOMPARE(state.BackgroundColor, Texel(11, 2));
    QCOMPARE(state.ForegroundColor, 0u);

    // Stretched: whatever pixel the window shows there.
    DocumentAt(form->windowindex).ViewMode = kViewStretchPixellised;
    RenderDocument(form->windowindex, false);
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(30, 20));
    QCOMPARE(state.ForegroundColor, Texel(30 * 16 / 47, 20 * 8 / 39));

    // Before any present a window shows (and picks) its background.
    Form1 bare;
    bare.resize(20, 20);
    const QColor window = bare.palette().color(QPalette::Window);
    QCOMPARE(
        bare.Point(5.0f, 5.0f),
        static_cast<std::uint32_t>(window.red() | (window.green() << 8) | (window.blue() << 16)));
    QVERIFY(messages_.empty());
}

void Form1MouseTest::pickingFromAnAlphaOnlyViewTakesTheGreyShown() {
    Module1().CurrentTool = 2;
    Form1* form = Open(16, 8, 48, 40, false);
    QVERIFY(form != nullptr);
    DocumentAt(form->windowindex).AlphaOnly = true;
    RenderDocument(form->windowindex, false);

    for (const int x : {0, 3, 9, 15}) {
        QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(16 + x, 16 + 4));
        const std::uint32_t c = Module1().ForegroundColor;
        const int grey = static_cast<int>(c & 0xFF);
        QCOMPARE(c, static_cast<std::uint32_t>(grey * 0x010101));
        QVERIFY2(std::abs(grey - 16 * x) <= 1, qPrintable(QString::number(grey)));
    }
    // Around an alpha-only view the window is black, whatever the background colour.
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(1, 38));
    QCOMPARE(Module1().ForegroundColor, 0u);
}

void Form1MouseTest::selectToolPressOnlyActivates() {
    Form1* a = Open(16, 16, 16, 16);
    Form1* b = Open(16, 16, 16, 16);
    QVERIFY(a != nullptr && b != nullptr);
    DocumentAt(a->windowindex).ViewMode = kViewTiled;

    for (const std::int32_t tool : {1, 0}) {
        Module1().CurrentTool = tool;
        Module1().ActiveWindowIndex = b->windowindex;
        menuCalls_.clear();
        QTest::mousePress(a, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(Module1().ActiveWindowIndex, a->windowindex);
        QVERIFY(!menuCalls_.empty());
        QCOMPARE(menuCalls_.front(), std::make_pair(std::int32_t{kViewTiled}, false));
        QTRY_VERIFY(a->hasFocus());
        QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(3, 3));
        // Already active: no second sync.
        menuCalls_.clear();
        QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(menuCalls_.empty());
    }
    QCOMPARE(Module1().ForegroundColor, 0u);
    QCOMPARE(Module1().BackgroundColor, kBackground);
    QVERIFY(std::find(calls_.begin(), calls_.end(), "RefreshColorValue") == calls_.end());
}

void Form1MouseTest::rightReleaseSyncsAndOpensTheViewMenuAtTheMouse() {
    Form1* form = Open(32, 32, 32, 32);
    QVERIFY(form != nullptr);
    DocumentAt(form->windowindex).AlphaOnly = true;

    form->Form_MouseUp(2, 0, 12.0f, 20.0f);
    QCOMPARE(calls_, (Strings{"SetViewMenuChecks", "PopupViewMenu"}));
    QCOMPARE(menuCalls_.back(), std::make_pair(std::int32_t{kViewNormal}, true));
    QCOMPARE(popups_.back(), form->mapToGlobal(QPoint(12, 20)));

    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(12, 20));  // opens nothing
    QTest::mouseClick(form, Qt::RightButton, {}, QPoint(5, 6));
    QCOMPARE(popups_.size(), std::size_t{2});
    QCOMPARE(popups_.back(), form->mapToGlobal(QPoint(5, 6)));
}

void Form1MouseTest::keysDoNothing() {
    Module1().CurrentTool = 2;
    Form1* form = Open(16, 16, 16, 16);
    QVERIFY(form != nullptr);
    QTest::keyClick(form, '+');
    QTest::keyClick(form, Qt::Key_Return);
    QCOMPARE(DocumentAt(form->windowindex).ViewMode, std::int32_t{kViewNormal});
    QCOMPARE(Module1().ForegroundColor, 0u);
    QVERIFY(calls_.empty());
}

}  // namespace tintora

QTEST_MAIN(tintora::Form1MouseTest)
#include "form1_mouse_test.moc"
