// The preview window in an MDI area: controls, settings, the resize rule, timer and mouse.
#include "preview/ui/form5.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <tuple>

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
    // Loads the window as start-up does, 5000 x 5000 twips, with the preview document at
    // Picture1's size, in a main window of 1000 x 800 pixels.
    Form5& Load() {
        main.setCentralWidget(area);
        main.resize(1000, 800);
        main.show();
        services.settings = &settings;
        form = new Form5(services, *area, host);
        host.previewPictureBox = [this]() -> PresentTarget* { return form->Picture1; };
        form->Form_Load();
        form->SetOuterSizeTwips(5000, 5000);
        Module1().PreviewDocIndex =
            CreateDocument(form->Picture1->width(), form->Picture1->height(), true, true, &host);
        DocumentAt(Module1().PreviewDocIndex).IsPreview = true;
        return *form;
    }
    std::string& Setting(const char* key) { return settings.values[{"Tintora", "Tintora", key}]; }

    ScriptedSettingsStore settings;
    Services services;
    QMainWindow main;
    QMdiArea* area = new QMdiArea(&main);
    Form5* form = nullptr;
    RecordingHost host;
};

// Without settings: the sphere, unchecked, in the workspace's top-right corner (also once grown
// to 5000 x 5000 twips). The options choose the shape, the check box turns rotation on.
TEST_F(Form5Test, ControlsAndDefaults) {
    Form5& f = Load();
    EXPECT_EQ(QStringList({f.windowTitle(), f.Option1->text(), f.Option2->text(), f.Check1->text()})
                  .join('|'),
              "3d view|Sphere|Wall|AutoRotate");
    EXPECT_TRUE(f.Timer1->isActive() && f.Timer1->interval() == 40);
    EXPECT_TRUE(f.Option1->isChecked() && f.Check1->checkState() == Qt::Unchecked);
    EXPECT_EQ(f.subWindow()->geometry().topRight(), QPoint(area->viewport()->width() - 1, 0));
    f.Option2->click();
    EXPECT_FALSE(f.Option1->isChecked() || f.FrameView().sphere);
    f.Option1->click();
    f.Check1->click();
    EXPECT_TRUE(f.FrameView().sphere && f.FrameView().autoRotate);
}

// The picture fills the client above the 51-pixel panel, 10 pixels between them, and the swap
// chain follows; a client too short for the panel empties the picture and keeps the swap chain,
// into which the frames go on.
TEST_F(Form5Test, PictureFillsTheClientAboveThePanelAndTheSwapChainFollows) {
    Form5& f = Load();
    for (const auto& [client, picture, chain] :
         {std::tuple{300, 239, 239}, {61, 0, 239}, {40, 0, 239}, {62, 1, 1}}) {
        f.subWindow()->resize(f.subWindow()->width(),
                              f.subWindow()->height() - f.height() + client);
        ASSERT_EQ(f.height(), client);
        EXPECT_EQ(f.Picture1->geometry(), QRect(0, 0, f.width(), picture));
        EXPECT_EQ(f.Picture2->geometry(), QRect(0, client - 51, f.width(), 51));
        const auto back = DocumentAt(Module1().PreviewDocIndex)
                              .SwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO);
        EXPECT_EQ(QSize(back->width(), back->height()), QSize(f.width(), chain)) << client;
        EXPECT_EQ(DocumentAt(Module1().PreviewDocIndex).DepthSurface->height(), chain) << client;
        f.Timer1_Timer();
    }
}

// Stored choices are shown (auto-rotation too) and written back, auto-rotation never. The timer
// draws also while the window is hidden (closing hides it), until it is unloaded; the mouse in
// the picture turns and zooms the shape, so does the wheel.
TEST_F(Form5Test, StoredChoicesTheTimerAndTheMouse) {
    std::tie(Setting("3DX"), Setting("3DY"), Setting("3DView"), Setting("3DCheck")) =
        std::tuple("3000", "1500", "False", "1");
    Form5& f = Load();
    EXPECT_EQ(f.subWindow()->pos(), QPoint(200, 100));
    EXPECT_TRUE(f.Option2->isChecked() && f.Check1->isChecked() && !f.FrameView().sphere);
    f.subWindow()->move(30, 20);
    f.SetSettings();
    EXPECT_EQ(Setting("3DX") + Setting("3DY") + Setting("3DView") + Setting("3DCheck"),
              "450300False0");

    const std::int32_t entry = CreateTextureEntry(256, 256, true);
    Module1().ActiveWindowIndex = CreateDocument(256, 256, false, false, &host);
    DocumentAt(Module1().ActiveWindowIndex).TextureIndex = entry;
    RenderDocument(Module1().ActiveWindowIndex, false, &host);
    f.subWindow()->close();
    EXPECT_FALSE(f.subWindow()->isVisible());
    const int before = f.Picture1->presentCount();
    QTest::qWait(400);
    EXPECT_GE(f.Picture1->presentCount() - before, 4);
    EXPECT_GT(f.camera.Angle, 0.07f);
    EXPECT_EQ(f.Picture1->presentedImage().size(), f.Picture1->size());
    f.Form_QueryUnload();
    const int stopped = f.Picture1->presentCount();
    QTest::qWait(120);
    EXPECT_EQ(f.Picture1->presentCount(), stopped);

    f.camera = {};
    QTest::mousePress(f.Picture1, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(f.Picture1, QPoint(130, 70));
    QTest::mouseRelease(f.Picture1, Qt::LeftButton, {}, QPoint(130, 70));
    QTest::mousePress(f.Picture1, Qt::RightButton, {}, QPoint(50, 50));
    QTest::mouseMove(f.Picture1, QPoint(80, 75));
    EXPECT_EQ(std::tuple(f.camera.Angle, f.camera.AngleY, f.camera.Far),
              std::tuple(-1.0f, 1.0f, 25.0f));
    // A notch of the wheel forward: a tenth of the 256-texel texture closer.
    QWheelEvent wheel(QPointF(50, 50), f.Picture1->mapToGlobal(QPointF(50, 50)), {}, {0, 120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.Picture1, &wheel);
    EXPECT_FLOAT_EQ(f.camera.Far, 50.6f);
}

}  // namespace
}  // namespace tintora::testing
