// Start-up: the steps it runs, the displays it refuses, the failures it reports while the editor
// goes on, the file named on the command line, and the splash.
#include <QLabel>
#include <QMdiSubWindow>

#include "app/form3.h"
#include "color/ui/color_form.h"
#include "device/mesh_x.h"
#include "drawing/views.h"
#include "editor_fixture.h"
#include "preview/ui/form5.h"

namespace tintora::testing {
namespace {

using StartupTest = EditorTest;

TEST_F(StartupTest, ASixteenBitDisplayRunsEveryStep) {
    display.depth = 16;
    Start();
    ASSERT_TRUE(editor);
    auto& state = Module1();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(endCalls, 0);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(editor->Form3Window().isVisible());
    EXPECT_EQ(editor->Form3Window().Label1->text(), QStringLiteral("Initialization finished..."));

    // Device: desktop format, the first depth format the adapter matches, windowed, copy.
    ASSERT_TRUE(state.Device);
    EXPECT_EQ(state.PresentParams.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(state.PresentParams.AutoDepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(state.PresentParams.Windowed, 1);
    EXPECT_EQ(state.PresentParams.SwapEffect, D3DSWAPEFFECT_COPY);

    // The device window is Form5, 5000 x 5000 twips and hidden again; its picture box holds the
    // preview document, which took the first slot.
    Form5& preview = editor->Form5Window();
    EXPECT_EQ(state.Device->implicitBackBuffer()->width(), preview.width());
    EXPECT_EQ(state.PresentParams.hDeviceWindow, static_cast<PresentTarget*>(preview.Picture1));
    EXPECT_EQ(preview.subWindow()->size(), QSize(333, 333));
    EXPECT_FALSE(preview.subWindow()->isVisible());
    EXPECT_EQ(state.PreviewDocIndex, 1);
    EXPECT_TRUE(DocumentAt(1).IsPreview);
    EXPECT_EQ(DocumentAt(1).ChainWidth, preview.Picture1->width());
    EXPECT_GT(DocumentAt(1).ChainWidth, 0);

    // The colour picker is shown; the sphere is loaded; no texture window, no active window.
    EXPECT_TRUE(editor->ColorFormWindow().isVisible());
    ASSERT_TRUE(state.SphereMesh);
    EXPECT_EQ(state.SphereMesh->GetNumFaces(), 960u);
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_EQ(state.ActiveWindowIndex, 0);
}

TEST_F(StartupTest, AnUnusableDisplayStopsWithTheFirstMessage) {
    display.depth = 8;
    Start();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, ScriptedMessageBoxes::Shown::Kind::Ok);
    EXPECT_EQ(boxes.shown[0].text, kUnsupportedDesktopMessage);
    EXPECT_EQ(boxes.shown[0].caption, "");
    EXPECT_EQ(endCalls, 1);
    // Nothing after the check ran: no device, no preview window, no colour picker.
    EXPECT_FALSE(Module1().Device || Module1().D3D || Module1().SphereMesh);
    EXPECT_FALSE(editor->Form5Loaded() || editor->ColorFormLoaded());
}

TEST_F(StartupTest, AMissingSphereIsReportedAndTheEditorGoesOn) {
    RemoveSphere();
    Start(SamplePath("checker.bmp"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("Error " + std::to_string(kErrorFileNotFound) + ": ", 0), 0u) << text;
    EXPECT_NE(text.find("sphere.x"), std::string::npos) << text;
    EXPECT_EQ(endCalls, 0);
    EXPECT_FALSE(Module1().SphereMesh);
    EXPECT_EQ(TextureWindowCount(), 1);  // the steps after the mesh still ran
}

TEST_F(StartupTest, TheCommandLineFileOpensInTheFirstTextureWindow) {
    // Quotes go, blanks between arguments stay: a path with a blank survives.
    EXPECT_EQ(CommandLineFileName({}), "");
    EXPECT_EQ(CommandLineFileName({"\"/tmp/my", "maps/stone.bmp\""}), "/tmp/my maps/stone.bmp");
    EXPECT_EQ(CommandLineFileName({"a.bmp", "b.bmp"}), "a.bmp b.bmp");
    EXPECT_EQ(CommandLineFileName({"\"\""}), "");

    Start("\"" + SamplePath("checker.bmp") + "\"");  // Main removes quotes itself as well
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(TextureWindowCount(), 1);
    // The preview has slot 1: the window is document 2 showing texture 1.
    EXPECT_EQ(Module1().ActiveWindowIndex, 2);
    EXPECT_EQ(DocumentAt(2).TextureIndex, 1);
    EXPECT_EQ(DocumentAt(2).Window->Caption(), "1-checker.bmp (256x256)");
    EXPECT_EQ(TextureAt(1).FileName, SamplePath("checker.bmp"));
    EXPECT_EQ(Module1().LastLoadedTexture, 1);
    // A texture entry shows the 3D preview.
    EXPECT_TRUE(editor->Form5Window().subWindow()->isVisible());
}

TEST_F(StartupTest, AnUnreadableCommandLineFileIsReportedAndTheEditorGoesOn) {
    const std::string name = SamplePath("no_such_file.bmp");
    Start(name);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.rfind("Error " + std::to_string(E_FAIL) + ": ", 0), 0u)
        << boxes.shown[0].text;
    EXPECT_NE(boxes.shown[0].text.find(name), std::string::npos);
    EXPECT_EQ(endCalls, 0);
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_TRUE(editor->isVisible());
}

TEST(SplashTest, LoadsWithItsTextAndHidesOnTheTimerOrAClick) {
    Form3 splash;
    splash.Form_Load();
    EXPECT_EQ(splash.Label1->text(), QStringLiteral("Loading...."));
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(splash.Timer1->interval(), 2000);
    ASSERT_NE(splash.Picture->pixmap().width(), 0);  // carried by the program itself
    splash.show();
    splash.Timer1_Timer();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.Timer1->isActive());
    // A modal show ends when the splash is clicked.
    QTimer::singleShot(20, &splash, [&splash] { QTest::mouseClick(&splash, Qt::LeftButton); });
    splash.ShowModal();
    EXPECT_FALSE(splash.isVisible());
}

}  // namespace
}  // namespace tintora::testing
