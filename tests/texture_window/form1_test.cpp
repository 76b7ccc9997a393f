// Texture windows in a real MDI area (offscreen platform): creation and sizing, drawing after
// the queued resize and paint, captions, activation, closing, minimising and error reports.
#include "texture_window/form1.h"

#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/module1.h"
#include "drawing/views.h"
#include "device/device.h"

namespace tintora {
namespace {

// Window colour 0x00BBGGRR: red 0x30, green 0x20, blue 0x10.
constexpr std::uint32_t kBackground = 0x00102030u;
const QColor kBackgroundColor(0x30, 0x20, 0x10);

QColor TexelColor(int x, int y) {
    return QColor((40 + 3 * x) & 0xFF, (90 + 5 * y) & 0xFF, (7 * x + 11 * y) & 0xFF);
}

void FillTexture(Texture& texture) {
    const D3DLOCKED_RECT rect = texture.LockRect(0, nullptr, 0);
    auto* bits = static_cast<std::uint8_t*>(rect.pBits);
    for (int y = 0; y < texture.height(); ++y) {
        for (int x = 0; x < texture.width(); ++x) {
            const QColor c = TexelColor(x, y);
            std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(y) * rect.Pitch + 4 * x;
            p[0] = static_cast<std::uint8_t>(c.blue());
            p[1] = static_cast<std::uint8_t>(c.green());
            p[2] = static_cast<std::uint8_t>(c.red());
            p[3] = 255;
        }
    }
    texture.UnlockRect(0);
}

QColor PixelOf(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void createdWindowHasTheRequestedClientSizeCaptionAndTag();
    void showsTheTextureAfterTheQueuedPaintAndFollowsAResize();
    void captionFollowsRefreshCaptions();
    void activationSetsTheActiveWindowAndTheMenuMarks();
    void closingTheSubwindowFreesTheSlotsAndActivatesTheNextWindow();
    void minimisingKeepsTheChainAndRestoringRebuildsIt();
    void handlerErrorsAreReportedAndTheWindowKeepsWorking();
    void anIdleWindowDoesNotRedrawItself();

  private:
    // A texture entry and a window showing it, as the new-texture command makes them.
    std::int32_t OpenTexture(int width, int height);
    Form1* FormOf(std::int32_t doc) const { return static_cast<Form1*>(DocumentAt(doc).Window); }
    static QMdiSubWindow* SubOf(Form1* form) {
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }

    std::unique_ptr<QMdiArea> area_;
    std::vector<std::string> messages_;
    std::vector<std::pair<std::int32_t, bool>> menuCalls_;
    bool previewVisible_ = false;
};

void Form1Test::init() {
    ResetModule1();
    auto& state = Module1();
    state.D3D = Direct3DCreate8();
    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 64;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = -1;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    state.Device = state.D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp);
    state.PresentParams = pp;
    state.BackgroundColor = kBackground;

    area_ = std::make_unique<QMdiArea>();
    area_->resize(800, 600);
    area_->show();
    QVERIFY(QTest::qWaitForWindowExposed(area_.get()));

    messages_.clear();
    menuCalls_.clear();
    previewVisible_ = false;
    auto& hooks = state.Hooks;
    hooks.CreateTextureWindow = [this](std::int32_t slot) -> DocumentWindow* {
        return CreateForm1(area_.get(), slot);
    };
    hooks.DoEvents = [] { QCoreApplication::processEvents(); };
    hooks.MessageBox = [this](const std::string& text) { messages_.push_back(text); };
    hooks.SetViewMenuChecks = [this](std::int32_t mode, bool alphaOnly) {
        menuCalls_.emplace_back(mode, alphaOnly);
    };
    hooks.ShowPreviewWindow = [this] { previewVisible_ = true; };
    hooks.HidePreviewWindow = [this] { previewVisible_ = false; };

    // The preview's document takes slot 1, as at start-up (no picture box here).
    state.PreviewDocIndex = CreateDocument(32, 32, true, true);
    DocumentAt(state.PreviewDocIndex).IsPreview = true;
}

void Form1Test::cleanup() {
    area_.reset();
    ResetModule1();
}

std::int32_t Form1Test::OpenTexture(int width, int height) {
    const std::int32_t entry = CreateTextureEntry(width, height, true);
    FillTexture(*TextureAt(entry).Texture);
    const std::int32_t doc = CreateDocument(width, height, true, false);
    DocumentAt(doc).TextureIndex = entry;
    return doc;
}

void Form1Test::createdWindowHasTheRequestedClientSizeCaptionAndTag() {
    const std::int32_t doc = OpenTexture(64, 48);
    QCOMPARE(doc, 2);
    Form1* form = FormOf(doc);
    QVERIFY(form != nullptr);
    QCOMPARE(form->windowindex, 2);
    QCOMPARE(form->size(), QSize(64, 48));
    QCOMPARE(form->ClientWidth(), 64);
    QCOMPARE(form->Tag(), std::string("resize"));
    QCOMPARE(SubOf(form)->windowTitle(), QStringLiteral("Window2"));
    QCOMPARE(area_->activeSubWindow(), SubOf(form));
    QCOMPARE(Module1().ActiveWindowIndex, 2);
    // Made at creation, not rebuilt by the resize events that showing and sizing raised.
    QCOMPARE(DocumentAt(doc).DepthSurface->format(), D3DFMT_D16);
    QTest::qWait(20);
    QCOMPARE(DocumentAt(doc).DepthSurface->format(), D3DFMT_D16);
}

void Form1Test::showsTheTextureAfterTheQueuedPaintAndFollowsAResize() {
    const std::int32_t doc = OpenTexture(64, 48);
    Form1* form = FormOf(doc);
    QTRY_VERIFY(!form->presentedImage().isNull());

    QImage shot = form->grab().toImage();
    QCOMPARE(shot.size(), QSize(64, 48));
    for (const auto& [x, y] : {std::pair{0, 0}, {63, 47}, {10, 20}, {40, 5}}) {
        QCOMPARE(PixelOf(shot, x, y), TexelColor(x, y));
    }

    // 40 x 20 pixels larger: the chain follows and the texture is centred from 20, 10.
    QMdiSubWindow* sub = SubOf(form);
    sub->resize(sub->size() + QSize(40, 20));
    QTRY_COMPARE(DocumentAt(doc).ChainWidth, 104);
    QCOMPARE(DocumentAt(doc).ChainHeight, 68);
    QCOMPARE(DocumentAt(doc).DepthSurface->format(), D3DFMT_D24X8);
    QTRY_COMPARE(form->presentedImage().size(), QSize(104, 68));
    shot = form->grab().toImage();
    QCOMPARE(PixelOf(shot, 19, 30), kBackgroundColor);
    QCOMPARE(PixelOf(shot, 84, 30), kBackgroundColor);
    QCOMPARE(PixelOf(shot, 50, 9), kBackgroundColor);
    QCOMPARE(PixelOf(shot, 20, 10), TexelColor(0, 0));
    QCOMPARE(PixelOf(shot, 83, 57), TexelColor(63, 47));
    QVERIFY(!Module1().RenderGuard);
    QVERIFY(messages_.empty());
}

void Form1Test::captionFollowsRefreshCaptions() {
    const std::int32_t doc = OpenTexture(256, 128);
    QCOMPARE(FormOf(doc)->Caption(), std::string("Window2"));
    RefreshCaptions();
    QCOMPARE(SubOf(FormOf(doc))->windowTitle(), QStringLiteral("1-Untitled (256x128)"));
    QCOMPARE(FormOf(doc)->Caption(), std::string("1-Untitled (256x128)"));
}

void Form1Test::activationSetsTheActiveWindowAndTheMenuMarks() {
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    QCOMPARE(Module1().ActiveWindowIndex, b);
    DocumentAt(a).ViewMode = kViewTiled;
    DocumentAt(a).AlphaOnly = true;
    menuCalls_.clear();

    area_->setActiveSubWindow(SubOf(FormOf(a)));
    QCOMPARE(Module1().ActiveWindowIndex, a);
    QCOMPARE(menuCalls_.size(), std::size_t{1});
    QCOMPARE(menuCalls_.back(), std::make_pair(std::int32_t{kViewTiled}, true));

    area_->activateNextSubWindow();
    QCOMPARE(Module1().ActiveWindowIndex, b);
    QCOMPARE(menuCalls_.back(), std::make_pair(std::int32_t{kViewNormal}, false));
}

void Form1Test::closingTheSubwindowFreesTheSlotsAndActivatesTheNextWindow() {
    const std::int32_t a = OpenTexture(16, 16);
    const std::int32_t b = OpenTexture(16, 16);
    QVERIFY(previewVisible_);
    QPointer<QMdiSubWindow> subB = SubOf(FormOf(b));

    QVERIFY(subB->close());
    QVERIFY(!DocumentAt(b).InUse);
    QVERIFY(DocumentAt(b).Window == nullptr);
    QVERIFY(!DocumentAt(b).SwapChain);
    QVERIFY(!TextureAt(2).InUse);
    QVERIFY(previewVisible_);
    // The area activates the remaining window, whose activation sets the index again.
    QCOMPARE(Module1().ActiveWindowIndex, a);
    QTRY_VERIFY(subB.isNull());

    QVERIFY(SubOf(FormOf(a))->close());
    QVERIFY(!DocumentAt(a).InUse);
    QVERIFY(!TextureAt(1).InUse);
    QCOMPARE(Module1().ActiveWindowIndex, 0);
    QVERIFY(!previewVisible_);
    QVERIFY(messages_.empty());

    // Both slots are taken again.
    const std::int32_t c = OpenTexture(8, 8);
    QCOMPARE(c, 2);
    QCOMPARE(DocumentAt(c).TextureIndex, 1);
}

void Form1Test::minimisingKeepsTheChainAndRestoringRebuildsIt() {
    const std::int32_t doc = OpenTexture(64, 48);
    Form1* form = FormOf(doc);
    QMdiSubWindow* sub = SubOf(form);
    QTRY_VERIFY(!form->presentedImage().isNull());
    QTest::qWait(20);
    const auto chain = DocumentAt(doc).SwapChain;

    sub->showMinimized();
    QTest::qWait(20);
    QCOMPARE(DocumentAt(doc).SwapChain, chain);
    QCOMPARE(DocumentAt(doc).ChainWidth, 64);

    sub->showNormal();
    QTRY_VERIFY(DocumentAt(doc).SwapChain != chain);
    QCOMPARE(DocumentAt(doc).ChainWidth, form->width());
    QCOMPARE(DocumentAt(doc).ChainHeight, form->height());
    QVERIFY(messages_.empty());
}

void Form1Test::handlerErrorsAreReportedAndTheWindowKeepsWorking() {
    const std::int32_t doc = OpenTexture(16, 16);
    Form1* form = FormOf(doc);
    QTRY_VERIFY(!form->presentedImage().isNull());
    QTest::qWait(20);

    // A texture slot outside the table: the next paint fails and is reported.
    DocumentAt(doc).TextureIndex = 99;
    form->Form_Paint();
    QCOMPARE(messages_.size(), std::size_t{1});
    QCOMPARE(messages_[0], std::string("Error 9: Subscript out of range"));
    QVERIFY(!Module1().RenderGuard);

    DocumentAt(doc).TextureIndex = 1;
    form->Form_Paint();
    QCOMPARE(messages_.size(), std::size_t{1});
    QCOMPARE(PixelOf(form->grab().toImage(), 3, 4), TexelColor(3, 4));
}

void Form1Test::anIdleWindowDoesNotRedrawItself() {
    // Every drawing lets messages run twice; count them.
    int drawingSteps = 0;
    Module1().Hooks.DoEvents = [&] {
        ++drawingSteps;
        QCoreApplication::processEvents();
    };
    const std::int32_t doc = OpenTexture(32, 32);
    QTRY_VERIFY(!FormOf(doc)->presentedImage().isNull());
    QTest::qWait(50);
    const int settled = drawingSteps;
    QVERIFY(settled >= 2);
    QTest::qWait(200);
    QCOMPARE(drawingSteps, settled);

    // A repaint that no present asked for (an expose) draws once more, then it settles again.
    FormOf(doc)->update();
    QTRY_COMPARE(drawingSteps, settled + 2);
    QTest::qWait(100);
    QCOMPARE(drawingSteps, settled + 2);
}

}  // namespace tintora

QTEST_MAIN(tintora::Form1Test)
#include "form1_test.moc"
