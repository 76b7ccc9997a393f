// The preview window in a real MDI area on Qt's offscreen platform: controls, settings, the
// resize rule, the mouse and the frame timer.
#include "preview/ui/form5.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QtGlobal>
#include <memory>

#include "base/setting_values.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "services/scripted_ui_services.h"
#include "support/document_fixture.h"
#include "support/recording_host.h"

namespace tintora::testing {
namespace {

class Form5Test : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        services.settings = &settings;
        main = std::make_unique<QMainWindow>();
        area = new QMdiArea(main.get());
        main->setCentralWidget(area);
        main->resize(1000, 800);
        main->show();
    }

    void TearDown() override {
        main.reset();
        DocumentTest::TearDown();
    }

    void SetSetting(const char* key, const char* value) {
        settings.values[{"Tintora", "Tintora", key}] = value;
    }
    std::string Setting(const char* key) { return settings.values[{"Tintora", "Tintora", key}]; }

    // Loads the window as start-up does.
    Form5& Load() {
        form = new Form5(services, *area, host);
        host.previewPictureBox = [this]() -> PresentTarget* { return form->Picture1; };
        form->Form_Load();
        return *form;
    }

    // Start-up's next steps: 5000 x 5000 twips, the preview document at Picture1's size.
    void MakePreviewDocument() {
        form->SetOuterSizeTwips(5000, 5000);
        auto& state = Module1();
        state.PreviewDocIndex =
            CreateDocument(form->Picture1->width(), form->Picture1->height(), true, true, &host);
        DocumentAt(state.PreviewDocIndex).IsPreview = true;
    }

    // A texture window (without a window) showing a width x height texture, active and drawn.
    void OpenTexture(int width, int height) {
        const std::int32_t entry = CreateTextureEntry(width, height, true);
        const std::int32_t slot = CreateDocument(width, height, false, false, &host);
        DocumentAt(slot).TextureIndex = entry;
        Module1().ActiveWindowIndex = slot;
        RenderDocument(slot, false, &host);
    }

    // Sizes the MDI child so that the window's client area is height pixels high.
    void SetClientHeight(int height) {
        QMdiSubWindow* sub = form->subWindow();
        sub->resize(sub->width(), sub->height() - form->height() + height);
        ASSERT_EQ(form->height(), height);
    }

    const TextureDocument& Preview() { return DocumentAt(Module1().PreviewDocIndex); }

    void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF at) {
        QMouseEvent event(type, at, form->Picture1->mapToGlobal(at), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(form->Picture1, &event);
    }

    ScriptedSettingsStore settings;
    Services services;
    std::unique_ptr<QMainWindow> main;
    QMdiArea* area = nullptr;
    Form5* form = nullptr;
    RecordingHost host;
};

TEST_F(Form5Test, ControlsAndTheirCaptions) {
    Form5& f = Load();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("3d view"));
    EXPECT_EQ(f.Option1->text(), QStringLiteral("Sphere"));
    EXPECT_EQ(f.Option2->text(), QStringLiteral("Wall"));
    EXPECT_EQ(f.Check1->text(), QStringLiteral("AutoRotate"));
    EXPECT_EQ(f.Option1->parentWidget(), f.Picture2);
    EXPECT_EQ(f.Check1->parentWidget(), f.Picture2);
    EXPECT_TRUE(f.subWindow()->isVisible());
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 40);

    // The two options exclude each other and choose the shape; the check box turns rotation on.
    f.Option2->click();
    EXPECT_FALSE(f.Option1->isChecked());
    EXPECT_FALSE(f.FrameView().sphere);
    f.Option1->click();
    EXPECT_TRUE(f.FrameView().sphere);
    f.Check1->click();
    EXPECT_TRUE(f.FrameView().autoRotate);
}

TEST_F(Form5Test, WithoutSettingsTheWindowTakesTheDefaults) {
    Form5& f = Load();
    EXPECT_TRUE(f.Option1->isChecked());
    EXPECT_EQ(f.Check1->checkState(), Qt::Unchecked);
    // Left 200 twips; top = main window height - own height - 1500 twips.
    const float top = static_cast<float>(main->frameGeometry().height() * kTwipsPerPixel) -
                      static_cast<float>(f.subWindow()->frameGeometry().height() * kTwipsPerPixel) -
                      1500.0f;
    EXPECT_EQ(f.subWindow()->pos(), QPoint(TwipsToPixels(200), TwipsToPixels(top)));
    EXPECT_TRUE(settings.saved.empty());
}

TEST_F(Form5Test, StoredChoicesAreShownAndWrittenBackWithoutAutoRotation) {
    SetSetting("3DX", "3000");
    SetSetting("3DY", "1500");
    SetSetting("3DView", "False");
    SetSetting("3DCheck", "1");
    Form5& f = Load();
    EXPECT_EQ(f.subWindow()->pos(), QPoint(200, 100));
    EXPECT_TRUE(f.Option2->isChecked());
    EXPECT_EQ(f.Check1->checkState(), Qt::Checked);
    EXPECT_FALSE(f.FrameView().sphere);
    EXPECT_TRUE(f.FrameView().autoRotate);

    f.subWindow()->move(30, 20);
    f.SetSettings();
    EXPECT_EQ(Setting("3DX"), "450");
    EXPECT_EQ(Setting("3DY"), "300");
    EXPECT_EQ(Setting("3DView"), "False");
    EXPECT_EQ(Setting("3DCheck"), "0");
}

TEST_F(Form5Test, AGrayedBoxDoesNotRotateAndAClickMakesItAPlainCheckBox) {
    SetSetting("3DCheck", "2");
    Form5& f = Load();
    EXPECT_EQ(f.Check1->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(f.FrameView().autoRotate);
    f.Check1->click();
    EXPECT_EQ(f.Check1->checkState(), Qt::Checked);
    f.Check1->click();
    EXPECT_EQ(f.Check1->checkState(), Qt::Unchecked);
    EXPECT_FALSE(f.Check1->isTristate());
}

TEST_F(Form5Test, PictureFillsTheClientAboveThePanelAndTheSwapChainFollows) {
    Form5& f = Load();
    MakePreviewDocument();
    SetClientHeight(300);
    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 0, f.width(), 300 - 51 - 10));
    EXPECT_EQ(f.Picture2->geometry(), QRect(0, 300 - 51, f.width(), 51));
    EXPECT_EQ(Preview().ChainWidth, f.width());
    EXPECT_EQ(Preview().ChainHeight, 239);
    const auto backBuffer = Preview().SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
    EXPECT_EQ(backBuffer->width(), f.width());
    EXPECT_EQ(backBuffer->height(), 239);
    EXPECT_EQ(Preview().DepthSurface->height(), 239);

    // A client too short for the panel empties the view and keeps the swap chain, into which
    // the frames go on.
    const auto chain = Preview().SwapChain;
    for (int height : {61, 40}) {
        SetClientHeight(height);
        EXPECT_EQ(f.Picture1->height(), 0) << height;
        EXPECT_EQ(f.Picture2->y(), height - 51) << height;
        EXPECT_EQ(Preview().SwapChain, chain) << height;
        EXPECT_EQ(Preview().ChainHeight, 239) << height;
    }
    OpenTexture(64, 64);
    f.Timer1_Timer();
    SetClientHeight(62);
    EXPECT_EQ(Preview().ChainHeight, 1);
}

TEST_F(Form5Test, MinimisingLeavesTheSwapChainAsItIs) {
    Form5& f = Load();
    MakePreviewDocument();
    const auto chain = Preview().SwapChain;
    const int height = Preview().ChainHeight;
    f.subWindow()->showMinimized();
    QApplication::processEvents();
    // Whatever size the window is given while minimised, its resize handler leaves the chain.
    f.resize(f.width(), 150);
    f.Form_Resize();
    EXPECT_EQ(Preview().SwapChain, chain);
    EXPECT_EQ(Preview().ChainHeight, height);

    f.subWindow()->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(Preview().ChainHeight, f.Picture1->height());
}

TEST_F(Form5Test, MouseInThePictureTurnsAndZoomsTheShape) {
    Form5& f = Load();
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {100, 100});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {130, 70});
    EXPECT_FLOAT_EQ(f.camera.Angle, -1.0f);
    EXPECT_FLOAT_EQ(f.camera.AngleY, 1.0f);
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {50, 50});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {80, 75});
    EXPECT_FLOAT_EQ(f.camera.Far, 25.0f);
}

TEST_F(Form5Test, TimerDrawsIntoThePictureAlsoWhileHiddenUntilUnloaded) {
    Form5& f = Load();
    MakePreviewDocument();
    OpenTexture(256, 256);
    f.subWindow()->close();  // closing hides the window
    EXPECT_FALSE(f.subWindow()->isVisible());
    f.Check1->setChecked(true);
    const int before = f.Picture1->presentCount();
    QTest::qWait(400);
    EXPECT_GE(f.Picture1->presentCount() - before, 4);
    EXPECT_GT(f.camera.Angle, 0.07f);
    EXPECT_EQ(f.Picture1->presentedImage().size(), f.Picture1->size());

    f.ShowWindow(true);
    EXPECT_EQ(area->activeSubWindow(), f.subWindow());

    f.Form_QueryUnload();
    const int stopped = f.Picture1->presentCount();
    QTest::qWait(120);
    EXPECT_EQ(f.Picture1->presentCount(), stopped);
}

}  // namespace
}  // namespace tintora::testing
