// Start-up: what each display depth leads to, the failures that are reported while the editor
// goes on, and the file named on the command line.
#include <QLabel>
#include <QMdiSubWindow>

#include "app/form3.h"
#include "preview/ui/form5.h"
#include "color/ui/color_form.h"
#include "texture_window/form1.h"
#include "drawing/views.h"
#include "editor_fixture.h"
#include "device/mesh_x.h"

namespace tintora::testing {
namespace {

using StartupTest = EditorTest;

TEST_F(StartupTest, SixteenBitDisplayRunsEveryStep) {
    display.depth = 16;
    Start();
    ASSERT_TRUE(editor);
    auto& state = Module1();

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(endCalls, 0);
    EXPECT_TRUE(editor->isVisible());
    // The splash is hidden, loaded, and carries the last start-up text.
    EXPECT_FALSE(editor->Form3Window().isVisible());
    EXPECT_EQ(editor->Form3Window().Label1->text(), QStringLiteral("Initialization finished..."));

    // Device: desktop format, the first depth format the adapter matches, windowed, copy.
    ASSERT_TRUE(state.Device);
    EXPECT_EQ(state.PresentParams.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(state.PresentParams.AutoDepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(state.PresentParams.Windowed, 1);
    EXPECT_EQ(state.PresentParams.SwapEffect, D3DSWAPEFFECT_COPY);

    // The device window is Form5, sized 5000 x 5000 twips and hidden again; its picture box
    // holds the preview document, which took the first slot.
    ASSERT_TRUE(editor->Form5Loaded());
    Form5& preview = editor->Form5Window();
    // (The preview document's creation then pointed the parameters at Picture1.)
    EXPECT_EQ(state.Device->implicitBackBuffer()->width(), preview.width());
    EXPECT_EQ(state.Device->implicitBackBuffer()->height(), preview.height());
    EXPECT_EQ(state.PresentParams.hDeviceWindow, static_cast<PresentTarget*>(preview.Picture1));
    EXPECT_EQ(preview.subWindow()->size(), QSize(333, 333));
    EXPECT_FALSE(preview.subWindow()->isVisible());
    EXPECT_EQ(state.PreviewDocIndex, 1);
    const TextureDocument& doc = DocumentAt(1);
    EXPECT_TRUE(doc.InUse);
    EXPECT_TRUE(doc.IsPreview);
    EXPECT_EQ(doc.Window, nullptr);
    EXPECT_EQ(doc.ChainWidth, preview.Picture1->width());
    EXPECT_EQ(doc.ChainHeight, preview.Picture1->height());
    EXPECT_GT(doc.ChainWidth, 0);

    // The colour picker is shown; the sphere is loaded; no texture window, no active window.
    EXPECT_TRUE(editor->ColorFormLoaded());
    EXPECT_TRUE(editor->ColorFormWindow().isVisible());
    ASSERT_TRUE(state.SphereMesh);
    EXPECT_EQ(state.SphereMesh->GetNumFaces(), 960u);
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_EQ(state.ActiveWindowIndex, 0);
    EXPECT_EQ(state.CurrentTool, 0);
}

TEST_F(StartupTest, UnusableDisplaysStopWithTheFirstMessage) {
    for (const int depth : {8, 15}) {
        SCOPED_TRACE(depth);
        TearDown();
        SetUp();
        boxes.shown.clear();
        display.depth = depth;
        Start();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].kind, ScriptedMessageBoxes::Shown::Kind::Ok);
        EXPECT_EQ(boxes.shown[0].text,
                  "Can't initialize the engine rendering in 8 or 24bits mode. Try to switch the "
                  "desktop video mode to 32bits or 16bits");
        EXPECT_EQ(boxes.shown[0].caption, "");
        EXPECT_EQ(endCalls, 1);
        // Nothing after the check ran: no device, no preview window, no colour picker.
        EXPECT_FALSE(Module1().Device);
        EXPECT_FALSE(Module1().D3D);
        EXPECT_FALSE(editor->Form5Loaded());
        EXPECT_FALSE(editor->ColorFormLoaded());
        EXPECT_FALSE(Module1().SphereMesh);
    }
}

TEST_F(StartupTest, TwentyFourAndThirtyTwoBitDisplaysUseX8R8G8B8) {
    for (const int depth : {24, 32}) {
        SCOPED_TRACE(depth);
        TearDown();
        SetUp();
        display.depth = depth;
        Start();
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(Module1().PresentParams.BackBufferFormat, D3DFMT_X8R8G8B8);
    }
}

TEST_F(StartupTest, MissingSphereIsReportedAndTheEditorGoesOn) {
    RemoveSphere();
    Start(SamplePath("checker.bmp"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& text = boxes.shown[0].text;
    EXPECT_EQ(text.rfind("Error " + std::to_string(kErrorFileNotFound) + ": ", 0), 0u) << text;
    EXPECT_NE(text.find("sphere.x"), std::string::npos) << text;
    EXPECT_EQ(endCalls, 0);
    EXPECT_FALSE(Module1().SphereMesh);
    // The steps after the mesh still ran: the command-line file is open.
    ASSERT_TRUE(Module1().Device);
    EXPECT_EQ(TextureWindowCount(), 1);
}

TEST_F(StartupTest, CommandLineFileOpensInTheFirstTextureWindow) {
    Start(SamplePath("checker.bmp"));
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(TextureWindowCount(), 1);
    auto& state = Module1();
    // The preview has slot 1: the window is document 2 showing texture 1.
    EXPECT_EQ(state.ActiveWindowIndex, 2);
    const TextureDocument& doc = DocumentAt(2);
    EXPECT_EQ(doc.TextureIndex, 1);
    EXPECT_EQ(doc.Title, "checker.bmp");
    ASSERT_NE(doc.Window, nullptr);
    EXPECT_EQ(doc.Window->Caption(), "1-checker.bmp (256x256)");
    const TextureEntry& entry = TextureAt(1);
    EXPECT_EQ(entry.FileName, SamplePath("checker.bmp"));
    EXPECT_EQ(entry.Width, 256);
    EXPECT_EQ(state.LastLoadedTexture, 1);
    // The pixels were copied out: the top-left square is light (red high at the top).
    EXPECT_GT(entry.Pixels.data()[2], 200);
    EXPECT_EQ(entry.Pixels.data()[3], 255);
    // A texture entry shows the 3D preview.
    EXPECT_TRUE(editor->Form5Window().subWindow()->isVisible());
}

TEST_F(StartupTest, UnreadableCommandLineFileIsReportedWithoutLeavingAnything) {
    const std::string names[] = {SamplePath("no_such_file.bmp"),
                                 std::string(TINTORA_DATA_DIR) + "/sphere.x"};
    // The image reader reports file-system failures as E_FAIL, unreadable contents as
    // D3DXERR_INVALIDDATA.
    const HRESULT codes[] = {E_FAIL, D3DXERR_INVALIDDATA};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        TearDown();
        SetUp();
        Start(names[i]);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text.rfind("Error " + std::to_string(codes[i]) + ": ", 0), 0u)
            << boxes.shown[0].text;
        EXPECT_NE(boxes.shown[0].text.find(names[i]), std::string::npos);
        EXPECT_EQ(endCalls, 0);
        EXPECT_EQ(TextureWindowCount(), 0);
        // Only the preview's document slot is taken; no texture slot is.
        EXPECT_EQ(Module1().DocumentTableUBound, 1);
        EXPECT_EQ(Module1().TextureTableUBound, 0);
        EXPECT_TRUE(editor->isVisible());
    }
}

TEST_F(StartupTest, QuotedCommandLineIsOneFileName) {
    // Quotes go, blanks between arguments stay: a path with a blank survives.
    EXPECT_EQ(CommandLineFileName({}), "");
    EXPECT_EQ(CommandLineFileName({"\"/tmp/my", "maps/stone.bmp\""}), "/tmp/my maps/stone.bmp");
    EXPECT_EQ(CommandLineFileName({"a.bmp", "b.bmp"}), "a.bmp b.bmp");
    EXPECT_EQ(CommandLineFileName({"\"\""}), "");

    // Main removes quotes itself as well.
    Start("\"" + SamplePath("checker.bmp") + "\"");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(TextureWindowCount(), 1);
}

TEST(SplashTest, LoadsWithItsTextAndHidesOnTheTimerOrAClick) {
    Form3 splash;
    splash.Form_Load();
    EXPECT_EQ(splash.Label1->text(), QStringLiteral("Loading...."));
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(splash.Timer1->interval(), 2000);
    // The picture is carried by the program itself.
    ASSERT_NE(splash.Picture->pixmap().width(), 0);

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
