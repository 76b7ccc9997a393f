// The running editor: start-up, what the main window shows, commands with nothing to act on,
// quitting, dropped files, maximised texture windows, the wait cursor, and the mouse tools.
#include <qpa/qwindowsysteminterface.h>

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDropEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <vector>

#include "alpha/ui/form9.h"
#include "color/ui/color_form.h"
#include "device/mesh_x.h"
#include "drawing/texel_view.h"
#include "drawing/views.h"
#include "editor_fixture.h"
#include "files/ui/new_texture_dialog.h"
#include "preview/ui/form5.h"

namespace tintora::testing {
namespace {

using StartupTest = EditorTest;

// Start-up on a 16-bit display with a file named on the command line runs every step.
TEST_F(StartupTest, ASixteenBitDisplayRunsEveryStepAndOpensTheCommandLineFile) {
    display.depth = 16;
    Start("\"" + SamplePath("checker.bmp") + "\"");  // quotes are removed
    auto& state = Module1();
    EXPECT_TRUE(boxes.shown.empty() && editor->isVisible() && !editor->Form3Window().isVisible());
    // The desktop format and the first depth format the adapter matches; the preview's chain.
    ASSERT_TRUE(state.Device);
    const D3DPRESENT_PARAMETERS& pp = state.PresentParams;
    EXPECT_EQ((std::pair{pp.BackBufferFormat, pp.AutoDepthStencilFormat}),
              (std::pair{D3DFMT_R5G6B5, D3DFMT_D32}));
    Form5& preview = editor->Form5Window();
    EXPECT_EQ(DocumentAt(state.PreviewDocIndex).SwapChain->window(), preview.Picture1);
    // The colour picker is shown, the sphere loaded; the file's texture shows the preview.
    EXPECT_TRUE(editor->ColorFormWindow().isVisible());
    EXPECT_EQ(state.SphereMesh ? state.SphereMesh->GetNumFaces() : 0, 960u);
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(DocumentAt(state.ActiveWindowIndex).Window->Caption(), "1-checker.bmp (256x256)");
    EXPECT_TRUE(preview.subWindow()->isVisible());
}

TEST_F(StartupTest, AnUnusableDisplayStopsWithTheFirstMessage) {
    display.depth = 8;
    Start();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kUnsupportedDesktopMessage);
    EXPECT_EQ(endCalls, 1);
    EXPECT_FALSE(Module1().Device || Module1().D3D || Module1().SphereMesh);
    EXPECT_FALSE(editor->Form5Loaded() || editor->ColorFormLoaded());
}

// A missing sphere and an unreadable command-line file are reported; the editor goes on.
TEST_F(StartupTest, FailingStepsAreReportedAndTheEditorGoesOn) {
    QFile::remove(ProgramFile("sphere.x"));
    const std::string missing = SamplePath("no_such_file.bmp");
    Start(missing);
    ASSERT_EQ(boxes.shown.size(), 2u);
    const std::pair<HRESULT, std::string> reports[] = {{kErrorFileNotFound, "sphere.x"},
                                                       {E_FAIL, missing}};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& text = boxes.shown[i].text;
        EXPECT_EQ(text.rfind("Error " + std::to_string(reports[i].first) + ": ", 0), 0u) << text;
        EXPECT_NE(text.find(reports[i].second), std::string::npos) << text;
    }
    EXPECT_TRUE(editor->isVisible() && endCalls == 0 && !Module1().SphereMesh);
}

// Without stored places, and with places off every screen or out of the workspace, the main
// window takes 80% of the screen, centred, and the 3D view and the colour picker stand wholly in
// the workspace at its right side. In a workspace wide enough, new texture windows cascade left
// of them; the Window menu lists them and activates the one chosen.
TEST_F(StartupTest, WindowsOpenInViewAndTexturesCascadeBesideTheToolWindows) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect centred(screen.x() + screen.width() / 10, screen.y() + screen.height() / 10,
                        screen.width() * 4 / 5, screen.height() * 4 / 5);
    using Stored = std::vector<std::pair<const char*, std::string>>;
    const std::string twips = std::to_string(screen.width() * 15);  // just off the right edge
    const std::pair<Stored, QRect> cases[] = {
        {{}, centred},
        {{{"MainLeft", twips}, {"MainTop", "0"}, {"MainWidth", "9000"}, {"MainHeight", "6000"},
          {"ColorX", twips}, {"ColorY", "0"}, {"3DX", "9000"}, {"3DY", "0"}},
         centred},
        {{{"MainLeft", "150"}, {"MainTop", "150"},
          {"MainWidth", std::to_string((screen.width() - 20) * 15)},
          {"MainHeight", std::to_string((screen.height() - 20) * 15)}},
         screen.adjusted(10, 10, -10, -10)},
    };
    for (const auto& [stored, place] : cases) {
        SCOPED_TRACE(stored.size());
        editor.reset();
        ResetModule1();
        settings.values.clear();
        for (const auto& [key, value] : stored) settings.values[{"Tintora", "Tintora", key}] = value;
        Start(SamplePath("checker.bmp"));
        EXPECT_EQ(editor->geometry(), place);
        const QRect workspace = editor->mdiArea->viewport()->rect();
        const QRect preview = editor->Form5Window().subWindow()->geometry();
        const QRect picker = editor->ColorFormWindow().frameGeometry();
        EXPECT_TRUE(workspace.contains(preview) && preview.right() == workspace.right());
        EXPECT_TRUE(editor->WorkspaceOnScreen().contains(picker));
        EXPECT_EQ(picker.right(), editor->WorkspaceOnScreen().right());
        editor->Command6->click();  // no other texture: the alpha-layer window's lists show none
        EXPECT_EQ(editor->Form9Window().Combo1[1]->currentText(), QString());
    }
    // The last main window nearly fills the screen: room for textures left of the tool windows.
    editor->LoadTexture(SamplePath("odd_37x23.bmp"));
    std::vector<QMdiSubWindow*> textures;
    for (QMdiSubWindow* sub : editor->mdiArea->subWindowList())
        if (sub != editor->Form5Window().subWindow()) textures.push_back(sub);
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_EQ(textures[1]->pos() - textures[0]->pos(), QPoint(24, 24));
    for (const QMdiSubWindow* texture : textures) {
        EXPECT_TRUE(editor->CascadeArea().contains(texture->geometry()));
        EXPECT_FALSE(texture->geometry().intersects(editor->Form5Window().subWindow()->geometry()));
    }
    Q_EMIT editor->windowmenu->aboutToShow();
    std::string listed;
    for (const QAction* action : editor->windowmenu->actions()) {
        if (action->objectName() != QLatin1String("windowtexture")) continue;
        listed += action->text().toStdString() + (action->isChecked() ? "*|" : "|");
    }
    EXPECT_EQ(listed, "&1 1-checker.bmp (256x256)|&2 2-odd_37x23.bmp (37x23)*|");
    editor->windowmenu->actions()[3]->trigger();
    EXPECT_EQ(editor->mdiArea->activeSubWindow(), textures[0]);
}

// A menu's items as "name=caption" ("-" for a separator), its first shortcut in brackets, joined
// by "|".
std::string Items(const QWidget* menu) {
    std::string items;
    for (const QAction* action : menu->actions()) {
        const std::string key = action->shortcut().toString().toStdString();
        items += (items.empty() ? "" : "|") + action->objectName().toStdString() + "=" +
                 (action->isSeparator() ? "-" : action->text().toStdString()) +
                 (key.empty() ? "" : " [" + key + "]");
    }
    return items;
}

using MainWindowTest = EditorTest;

TEST_F(MainWindowTest, MenusPanelAndStatusStripShowTheirCaptions) {
    editor = std::make_unique<MDIForm1>(services);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Tintora"));
    std::string shown = Items(editor->menuBar());
    for (const QMenu* menu : {editor->file, editor->viewmenu, editor->zoom, editor->effects,
                              editor->windowmenu})
        shown += "\n" + Items(menu);
    EXPECT_EQ(shown,
              "file=&File|editmenu=E&dit|viewmenu=&View|effects=&Effects|windowmenu=&Window\n"
              "newtex=&New [Ctrl+N]|barre3=-|open=&Open [Ctrl+O]|save=&Save [Ctrl+S]|"
              "saveas=Save &As... [Ctrl+Shift+S]|exporttex=E&xport... [Ctrl+E]|barre=-|"
              "quit=&Quit [Ctrl+Q]\n"
              "viewnormal=Normal|viewtiled=Tiled|viewfilter=Stretch (filtering)|"
              "viewpixel=Stretch (pixellised)|barre1=-|zoom=Zoom|barre3d=-|show=Show View3D|"
              "barre9=-|alphamap=Alpha map only|barregrid=-|texelgrid=Texel grid|"
              "checkerboard=Checkerboard\n"
              "zoomin=Zoom In [Ctrl+=]|zoomout=Zoom Out [Ctrl+-]|zoomactual=Actual size [Ctrl+0]|"
              "zoomfit=Fit in window\n"
              "contrastlum=Adjust luminosity/contrast...|huesatu=Adjust hue/saturation...|"
              "invertcolor=Invert colors|autocontrast=Auto contrast|equalize=Equalize\n"
              "windowcascade=&Cascade|windowtile=&Tile|barrewindow=-");
    shown.clear();
    for (const char* name :
         {"Label2", "Se", "Option1", "Option2", "Label3", "Command1", "Command2", "Command3",
          "Command4", "Command5", "Command6", "Command7", "Label1", "Re", "MemAvail"}) {
        const QWidget* control = editor->findChild<QWidget*>(QLatin1String(name));
        shown += (control ? control->property("text").toString().toStdString() : "missing") + "|";
    }
    EXPECT_EQ(shown,
              "Actions :|Select|Pick Color|Set ColorKey|Tool/Effect|AutoContrast|Lum./Contrast|"
              "Invert colors|Equalize|Sat/Hue|Generate alpha-layer|Generate Normal map|Idle|"
              "Recover Mem.|Mem Available :|");
    EXPECT_TRUE(editor->viewnormal->isChecked() && editor->Se->isChecked());  // though no tool
}

// With no texture window the commands do nothing but "Tiled", which marks itself and goes into
// slot 0, and "Show View3D". ("Generate alpha-layer" shows its window; the alpha tests cover it.)
TEST_F(MainWindowTest, CommandsWithNoTextureWindowDoNothing) {
    Start();
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    for (QPushButton* button : {editor->Command7, editor->Command1, editor->Command2,
                                editor->Command3, editor->Command4, editor->Command5})
        button->click();
    for (QAction* item : {editor->save, editor->saveas, editor->zoomin, editor->zoomout,
                          editor->zoomactual, editor->zoomfit, editor->contrastlum, editor->huesatu,
                          editor->invertcolor, editor->autocontrast, editor->equalize,
                          editor->alphamap, editor->viewtiled, editor->viewtiled, editor->showItem})
        item->trigger();
    EXPECT_TRUE(boxes.shown.empty() && dialogs.openRequests.empty() && TextureWindowCount() == 0);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_TRUE(editor->viewtiled->isChecked() && !editor->viewnormal->isChecked());
    EXPECT_FALSE(editor->alphamap->isChecked());
    EXPECT_EQ(DocumentAt(0).ViewMode, ViewMode::Tiled);
    EXPECT_EQ(editor->mdiArea->activeSubWindow(), editor->Form5Window().subWindow());
}

// Quit and the close box ask the same question; No keeps everything, Yes releases the device
// and the mesh, stores the colour picker's and the preview's places and ends the program.
TEST_F(MainWindowTest, QuittingAsksFirstAndYesReleasesStoresAndEnds) {
    Start();
    boxes.yesNoAnswers = {false, false, true};
    editor->quit->trigger();
    EXPECT_FALSE(editor->close());
    EXPECT_TRUE(editor->quitTag == "no" && endCalls == 0 && settings.saved.empty());
    EXPECT_TRUE(editor->close());
    ASSERT_EQ(boxes.shown.size(), 3u);
    for (const auto& shown : boxes.shown)
        EXPECT_EQ(shown.text + "|" + shown.caption,
                  "Are you really sure to quit Zarvell3D Tintora ?|Zarvell3D Tintora");
    EXPECT_EQ(boxes.shown[0].kind, ScriptedMessageBoxes::Shown::Kind::YesNo);
    EXPECT_TRUE(editor->quitTag == "yes" && endCalls == 1 && services.ended);
    EXPECT_FALSE(Module1().SphereMesh || Module1().Device);
    std::string keys;
    for (const auto& key : settings.saved)
        keys += std::get<2>(key) + " ";
    EXPECT_EQ(keys,
              "ColorX ColorY 3DX 3DY 3DView 3DCheck MainLeft MainTop MainWidth MainHeight "
              "MainMaximized ");
}

// Drags data over a widget and drops it there, as the window system would.
bool DragAndDrop(QWidget* target, QMimeData& data) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

using DesktopTest = EditorTest;

// Only local files count (a missing one too: its load reports it), not a folder or a web
// address; they open in their order once the drop has been answered.
TEST_F(DesktopTest, DroppedFilesOpenEachThroughTheNormalLoad) {
    Start();
    const QUrl web(QStringLiteral("https://example.org/wall.png"));
    const auto sample = [](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString(SamplePath(name)));
    };
    QMimeData nothingToOpen;
    nothingToOpen.setUrls({web, sample("")});  // a web address and a folder
    EXPECT_FALSE(DragAndDrop(editor->mdiArea->viewport(), nothingToOpen));  // refused at the door
    QMimeData files;
    files.setUrls({sample("checker.bmp"), web, sample(""),
                   QUrl::fromLocalFile(ProgramFile("gone bmp.bmp")), sample("odd_37x23.bmp")});
    ASSERT_TRUE(DragAndDrop(editor->mdiArea->viewport(), files));
    EXPECT_EQ(TextureWindowCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(TextureWindowCount(), 2);
    EXPECT_EQ(TextureAt(2).FileName, SamplePath("odd_37x23.bmp"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("gone bmp.bmp"), std::string::npos) << boxes.shown[0].text;
}

// The shape of the application's override cursor, or -1 when none is set.
int OverrideShape() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor == nullptr ? -1 : static_cast<int>(cursor->shape());
}

// Progress holds the wait cursor until the program next waits for input, also through the
// pending messages a long operation lets run; a command holds it while it runs.
TEST_F(DesktopTest, TheWaitCursorFollowsProgressAndCommands) {
    QEventLoop idle;
    const auto runUntilIdle = [&idle] {
        QTimer::singleShot(20, &idle, &QEventLoop::quit);
        idle.exec();
    };
    Start(SamplePath("checker.bmp"));
    runUntilIdle();
    editor->SetStatusText("Busy (3 %)");  // as a dialog's preview reports progress
    QCoreApplication::processEvents();
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    runUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);
    std::vector<int> shapes;  // at every status text of "Auto contrast": progress and result
    const auto watch = QObject::connect(editor.get(), &MDIForm1::statusTextShown,
                                        [&] { shapes.push_back(OverrideShape()); });
    editor->autocontrast->trigger();
    QObject::disconnect(watch);
    ASSERT_FALSE(shapes.empty());
    EXPECT_EQ(shapes, std::vector<int>(shapes.size(), Qt::WaitCursor));
}

// With a texture window maximised, opening, creating and closing textures, restoring a window and
// sizing one down to nothing report no error; each window shows a drawing of its own size.
TEST_F(DesktopTest, MaximisedWindowsOpenCloseAndRestoreDrawn) {
    Start(SamplePath("checker.bmp"));
    const auto form = [] {
        return static_cast<Form1*>(DocumentAt(Module1().ActiveWindowIndex).Window);
    };
    const auto active = [&form] { return form()->parentWidget(); };  // its MDI child
    const auto drawn = [this] {
        return QTest::qWaitFor([this] {
            for (const QMdiSubWindow* child : editor->mdiArea->subWindowList()) {
                const auto* f = qobject_cast<const Form1*>(child->widget());
                const QSize area(f != nullptr ? f->ClientWidth() : 0, f ? f->ClientHeight() : 0);
                if (f != nullptr && f->presentedImage().size() != area) return false;
            }
            return true;
        });
    };
    active()->showMaximized();
    ASSERT_TRUE(drawn());
    editor->LoadTexture(SamplePath("gradient_alpha.bmp"));
    QWidget* opened = active();
    EXPECT_TRUE(opened->isMaximized() && drawn());
    const WhenModal<NewTexture> create([](NewTexture& d) { d.Command1->click(); });
    editor->newtex->trigger();
    EXPECT_TRUE(active() != opened && active()->isMaximized() && drawn());
    active()->close();
    editor->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(opened));
    EXPECT_TRUE(opened->isMaximized() && drawn());
    opened->showNormal();  // to the texture's size, in a frame
    EXPECT_EQ(form()->size(), QSize(256, 128));
    EXPECT_TRUE(drawn());
    opened->resize(opened->size() - QSize(0, 128));
    QTest::qWait(20);
    EXPECT_FALSE(DocumentAt(form()->windowindex).SwapChain);
    opened->resize(opened->size() + QSize(0, 40));
    EXPECT_TRUE(drawn());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
}

// The View menu's zoom acts on the active Normal or Tiled view and is greyed in the Stretch
// views; the grid and checkerboard options (on at start) redraw every texture window.
TEST_F(MainWindowTest, TheViewMenuZoomsTheActiveTextureAndSwitchesTheOptions) {
    Start();
    const std::int32_t doc = OpenPng("t.png", 40, 30, [](int, int) {
        return std::array<std::uint8_t, 4>{10, 20, 30, 0};
    });
    const auto* form = static_cast<const Form1*>(DocumentAt(doc).Window);
    const std::pair<QAction*, double> steps[] = {
        {editor->zoomin, 2}, {editor->zoomin, 3}, {editor->zoomout, 2}, {editor->zoomactual, 1}};
    for (const auto& [item, zoom] : steps) {
        item->trigger();
        EXPECT_EQ(DocumentAt(doc).Zoom, zoom);
        const QString shown = QString::fromStdString(" " + ZoomText(zoom));
        EXPECT_EQ(form->parentWidget()->windowTitle().endsWith(shown), zoom != 1);
    }
    editor->zoomfit->trigger();
    EXPECT_EQ(DocumentAt(doc).Zoom, FitZoom(form->width(), form->height(), 40, 30));
    editor->viewfilter->trigger();
    EXPECT_FALSE(editor->zoomin->isEnabled() || editor->zoomfit->isEnabled());
    editor->viewnormal->trigger();
    EXPECT_TRUE(editor->texelgrid->isChecked() && editor->checkerboard->isChecked());
    const std::uint32_t checker = form->Point(0, 0);  // a transparent texel
    editor->checkerboard->trigger();
    EXPECT_FALSE(editor->checkerboard->isChecked() || Module1().ShowCheckerboard);
    EXPECT_NE(form->Point(0, 0), checker);
    EXPECT_TRUE(boxes.shown.empty());
}

using MouseToolsTest = EditorTest;

// A click queued while a window is being drawn runs after the drawing, so the window shows what
// the click did.
TEST_F(MouseToolsTest, AClickDuringADrawingRunsAfterItAndTheWindowShowsItsResult) {
    Start();
    const std::int32_t doc = OpenPng("t.png", 16, 16, [](int, int) {
        return std::array<std::uint8_t, 4>{10, 20, 30, 255};
    });
    const auto& form = *static_cast<Form1*>(DocumentAt(doc).Window);
    // A real click on "Invert colors", queued by the window system as a mouse click is, and the
    // texture window drawn before the queue is read (as a paint or a command would draw it).
    QPushButton* invert = editor->Command3;
    QWindow* window = invert->window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint local = invert->mapTo(invert->window(), invert->rect().center());
    const QPoint global = invert->mapToGlobal(invert->rect().center());
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
    RenderDocument(doc, false);
    QTest::qWait(50);
    EXPECT_EQ(form.Point(7, 3), 0x00F5EBE1u);  // inverted (R 225, G 235, B 245), and shown so
}

}  // namespace
}  // namespace tintora::testing
