// The main window: menus, tool panel and status strip as the user sees them, the View menu and
// its marks, tool selection, commands of features still to come, and quitting.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <vector>

#include "preview/ui/form5.h"
#include "color/ui/color_form.h"
#include "texture_window/form1.h"
#include "drawing/views.h"
#include "editor_fixture.h"

namespace tintora::testing {
namespace {

struct Item {
    const char* name;
    const char* caption;  // "-" for a separator, ">" for a submenu
};

void ExpectMenu(QMenu* menu, const std::vector<Item>& items) {
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size()))
        << menu->objectName().toStdString();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction* action = actions[static_cast<qsizetype>(i)];
        SCOPED_TRACE(items[i].name);
        EXPECT_EQ(action->objectName().toStdString(), items[i].name);
        if (std::string(items[i].caption) == "-") {
            EXPECT_TRUE(action->isSeparator());
        } else {
            EXPECT_FALSE(action->isSeparator());
            if (std::string(items[i].caption) != ">") {
                EXPECT_EQ(action->text().toStdString(), items[i].caption);
            }
        }
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
}

QAction* Find(MDIForm1& window, const char* name) {
    return window.findChild<QAction*>(QLatin1String(name));
}

// The marks of the four mode items, in menu order (Normal, Tiled, filtering, pixellised), and
// "Alpha map only".
std::vector<bool> Marks(MDIForm1& w) {
    return {w.viewnormal->isChecked(), w.viewtiled->isChecked(), w.viewfilter->isChecked(),
            w.viewpixel->isChecked(), w.alphamap->isChecked()};
}

using MainWindowTest = EditorTest;

TEST_F(MainWindowTest, MenusCarryTheirCaptionsInOrderWithoutShortcuts) {
    editor = std::make_unique<MDIForm1>(services);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Tintora"));
    const QList<QAction*> bar = editor->menuBar()->actions();
    ASSERT_EQ(bar.size(), 3);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(bar[1]->text(), QStringLiteral("&View"));
    EXPECT_EQ(bar[2]->text(), QStringLiteral("&Effects"));

    ExpectMenu(editor->file, {{"newtex", "&New"},
                              {"barre3", "-"},
                              {"open", "&Open"},
                              {"save", "&Save"},
                              {"saveas", "Save &As..."},
                              {"barre", "-"},
                              {"quit", "&Quit"}});
    ExpectMenu(editor->viewmenu, {{"viewnormal", "Normal"},
                                  {"viewtiled", "Tiled"},
                                  {"viewfilter", "Stretch (filtering)"},
                                  {"viewpixel", "Stretch (pixellised)"},
                                  {"barre1", "-"},
                                  {"zoom", "Zoom"},
                                  {"barre3d", "-"},
                                  {"show", "Show View3D"},
                                  {"barre9", "-"},
                                  {"alphamap", "Alpha map only"}});
    ExpectMenu(editor->zoom, {{"zoomin", "Zoom In"}, {"zoomout", "Zoom Out"}});
    ExpectMenu(editor->effects, {{"contrastlum", "Adjust luminosity/contrast..."},
                                 {"huesatu", "Adjust hue/saturation..."},
                                 {"invertcolor", "Invert colors"},
                                 {"autocontrast", "Auto contrast"},
                                 {"equalize", "Equalize"}});

    // The view items carry marks; "Normal" is marked at start.
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{true, false, false, false, false}));
    EXPECT_FALSE(editor->quit->isCheckable());
}

TEST_F(MainWindowTest, ToolPanelAndStatusStripAtTheirPlaces) {
    editor = std::make_unique<MDIForm1>(services);
    editor->show();
    struct Control {
        const char* name;
        const char* caption;
        QRect place;  // pixels: twips / 15
    };
    const Control panel[] = {
        {"Label2", "Actions :", {8, 15, 67, 13}},
        {"Se", "Select", {4, 30, 82, 26}},
        {"Option1", "Pick Color", {4, 55, 82, 25}},
        {"Option2", "Set ColorKey", {4, 79, 82, 25}},
        {"Label3", "Tool/Effect", {9, 223, 71, 13}},
        {"Command1", "AutoContrast", {5, 239, 79, 19}},
        {"Command2", "Lum./Contrast", {5, 257, 79, 20}},
        {"Command3", "Invert colors", {5, 276, 79, 19}},
        {"Command4", "Equalize", {5, 294, 79, 19}},
        {"Command5", "Sat/Hue", {5, 312, 79, 19}},
        {"Command6", "Generate alpha-layer", {8, 342, 76, 29}},
        {"Command7", "Generate Normal map", {8, 370, 76, 27}},
        {"Label1", "Idle", {2, 2, 254, 14}},
    };
    for (const Control& c : panel) {
        SCOPED_TRACE(c.name);
        QWidget* widget = editor->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.place);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text().toStdString(), c.caption);
        } else {
            EXPECT_EQ(qobject_cast<QPushButton*>(widget)->text().toStdString(), c.caption);
        }
    }
    EXPECT_EQ(editor->Re->text(), QStringLiteral("Recover Mem."));
    EXPECT_EQ(editor->Re->size(), QSize(87, 17));
    EXPECT_EQ(editor->MemAvail->text(), QStringLiteral("Mem Available :"));

    // Left panel 1365 twips wide, bottom strip 300 twips high, both RGB 224 grey; the MDI area
    // fills the rest.
    EXPECT_EQ(editor->Picture2->width(), 91);
    EXPECT_EQ(editor->Picture1->height(), 20);
    EXPECT_EQ(editor->Picture2->palette().color(QPalette::Window), QColor(224, 224, 224));
    EXPECT_EQ(editor->Picture1->palette().color(QPalette::Window), QColor(224, 224, 224));
    EXPECT_EQ(editor->Picture1->width(), editor->width());
    EXPECT_EQ(editor->mdiArea->x(), 91);

    // The option buttons are one exclusive group with "Select" chosen.
    EXPECT_TRUE(editor->Se->isChecked());
    EXPECT_FALSE(editor->Option1->isChecked());
    EXPECT_FALSE(editor->Option2->isChecked());
    EXPECT_FALSE(editor->Command1->isCheckable());
}

TEST_F(MainWindowTest, ResizeKeepsRecoverMemAtTheRightEdge) {
    editor = std::make_unique<MDIForm1>(services);
    editor->show();
    for (const int width : {700, 1000, 1200}) {
        editor->resize(width, 500);
        EXPECT_EQ(editor->Re->x(), editor->frameGeometry().width() - 100) << width;
    }
}

TEST_F(MainWindowTest, TiledWithNoWindowGoesIntoSlotZeroAndKeepsItsMark) {
    Start();
    ASSERT_EQ(Module1().ActiveWindowIndex, 0);
    editor->viewtiled->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(DocumentAt(0).ViewMode, kViewTiled);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, true, false, false, false}));
    // The preview document is untouched.
    EXPECT_EQ(DocumentAt(Module1().PreviewDocIndex).ViewMode, 0);

    // Choosing the marked item again leaves it marked.
    editor->viewtiled->trigger();
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, true, false, false, false}));
}

TEST_F(MainWindowTest, AlphaMapWithNoActiveWindowDoesNothing) {
    Start();
    editor->alphamap->trigger();
    EXPECT_FALSE(editor->alphamap->isChecked());
    EXPECT_FALSE(DocumentAt(0).AlphaOnly);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, ViewMarksFollowTheActiveWindow) {
    Start(SamplePath("checker.bmp"));
    editor->LoadTexture(SamplePath("odd_37x23.bmp"));
    ASSERT_EQ(TextureWindowCount(), 2);
    ASSERT_EQ(Module1().ActiveWindowIndex, 3);

    editor->viewfilter->trigger();
    editor->alphamap->trigger();
    EXPECT_EQ(DocumentAt(3).ViewMode, kViewStretchFiltering);
    EXPECT_TRUE(DocumentAt(3).AlphaOnly);
    EXPECT_EQ(DocumentAt(2).ViewMode, kViewNormal);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, false, true, false, true}));

    auto activate = [this](std::int32_t slot) {
        auto* form = dynamic_cast<Form1*>(DocumentAt(slot).Window);
        ASSERT_NE(form, nullptr);
        editor->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
        QApplication::processEvents();
        ASSERT_EQ(Module1().ActiveWindowIndex, slot);
    };
    activate(2);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{true, false, false, false, false}));
    editor->viewpixel->trigger();
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, false, false, true, false}));
    activate(3);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, false, true, false, true}));

    // "Alpha map only" toggles back.
    editor->alphamap->trigger();
    EXPECT_FALSE(DocumentAt(3).AlphaOnly);
    EXPECT_FALSE(editor->alphamap->isChecked());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, ToolButtonsSetTheCurrentTool) {
    Start();
    EXPECT_EQ(Module1().CurrentTool, 0);
    editor->ColorFormWindow().hide();

    editor->Option1->click();
    EXPECT_EQ(Module1().CurrentTool, 2);
    EXPECT_TRUE(editor->ColorFormWindow().isVisible());
    EXPECT_FALSE(editor->Se->isChecked());

    editor->Option2->click();
    EXPECT_EQ(Module1().CurrentTool, 3);
    EXPECT_FALSE(editor->Option1->isChecked());

    editor->Se->click();
    EXPECT_EQ(Module1().CurrentTool, 1);
    EXPECT_TRUE(editor->Se->isChecked());
    EXPECT_FALSE(editor->Option2->isChecked());
}

TEST_F(MainWindowTest, CommandsOfLaterFeaturesDoNothing) {
    Start();
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    // "Generate Normal map" and the adjustments with no active window. ("Generate alpha-layer"
    // shows its window even then; the alpha tests cover it.)
    for (QPushButton* button : {editor->Command7, editor->Command1, editor->Command2,
                                editor->Command3, editor->Command4, editor->Command5}) {
        button->click();
    }
    // Save and Save As do nothing without a texture window.
    for (QAction* item :
         {editor->save, editor->saveas, editor->zoomin, editor->zoomout, editor->contrastlum,
          editor->huesatu, editor->invertcolor, editor->autocontrast, editor->equalize}) {
        item->trigger();
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_EQ(Module1().ActiveWindowIndex, 0);
}

TEST_F(MainWindowTest, ShowView3DShowsThePreviewWindow) {
    Start();
    ASSERT_FALSE(editor->Form5Window().subWindow()->isVisible());
    Find(*editor, "show")->trigger();
    EXPECT_TRUE(editor->Form5Window().subWindow()->isVisible());
    EXPECT_EQ(editor->mdiArea->activeSubWindow(), editor->Form5Window().subWindow());
    // Closing it only hides it: it is the device window.
    editor->Form5Window().subWindow()->close();
    EXPECT_FALSE(editor->Form5Window().subWindow()->isVisible());
    EXPECT_TRUE(editor->Form5Loaded());
}

TEST_F(MainWindowTest, QuitAnsweredNoKeepsEveryWindow) {
    Start(SamplePath("checker.bmp"));
    boxes.yesNoAnswers = {false};
    editor->quit->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, ScriptedMessageBoxes::Shown::Kind::YesNo);
    EXPECT_EQ(boxes.shown[0].text, "Are you really sure to quit Zarvell3D Tintora ?");
    EXPECT_EQ(boxes.shown[0].caption, "Zarvell3D Tintora");
    EXPECT_EQ(editor->quitTag, "no");
    EXPECT_EQ(endCalls, 0);
    EXPECT_TRUE(Module1().Device);
    EXPECT_TRUE(Module1().SphereMesh);
    EXPECT_TRUE(settings.saved.empty());
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->ColorFormWindow().isVisible());

    // The close box asks the same question; No cancels the close.
    boxes.yesNoAnswers = {false};
    EXPECT_FALSE(editor->close());
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(endCalls, 0);
}

TEST_F(MainWindowTest, QuitAnsweredYesReleasesStoresPositionsAndEnds) {
    settings.values[{"Tintora", "Tintora", "ColorX"}] = "3000";
    settings.values[{"Tintora", "Tintora", "ColorY"}] = "1500";
    settings.values[{"Tintora", "Tintora", "3DX"}] = "450";
    settings.values[{"Tintora", "Tintora", "3DY"}] = "300";
    Start(SamplePath("checker.bmp"));
    // The stored positions (twips) placed the windows.
    EXPECT_EQ(editor->ColorFormWindow().pos(), QPoint(200, 100));
    EXPECT_EQ(editor->Form5Window().subWindow()->pos(), QPoint(30, 20));
    editor->ColorFormWindow().move(40, 60);

    boxes.yesNoAnswers = {true};
    editor->quit->trigger();
    EXPECT_EQ(endCalls, 1);
    EXPECT_TRUE(services.ended);
    EXPECT_FALSE(Module1().SphereMesh);
    EXPECT_FALSE(Module1().Device);
    using Key = ScriptedSettingsStore::Key;
    EXPECT_EQ(settings.saved, (std::vector<Key>{{"Tintora", "Tintora", "ColorX"},
                                                {"Tintora", "Tintora", "ColorY"},
                                                {"Tintora", "Tintora", "3DX"},
                                                {"Tintora", "Tintora", "3DY"},
                                                {"Tintora", "Tintora", "3DView"},
                                                {"Tintora", "Tintora", "3DCheck"}}));
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "ColorX"}]), "600");
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "ColorY"}]), "900");
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "3DX"}]), "450");
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "3DY"}]), "300");
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "3DView"}]), "True");
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "3DCheck"}]), "0");
}

TEST_F(MainWindowTest, ClosingAnsweredYesEnds) {
    Start();
    boxes.yesNoAnswers = {true};
    EXPECT_TRUE(editor->close());
    EXPECT_EQ(endCalls, 1);
    EXPECT_EQ(editor->quitTag, "yes");
}

TEST_F(MainWindowTest, PreviewWithoutStoredPositionUsesItsDefault) {
    Start();
    // 200 twips from the left; the top lies 1500 twips plus its own height above the bottom of
    // the main window (heights as they were when the preview loaded).
    EXPECT_EQ(editor->Form5Window().subWindow()->x(), 13);
    EXPECT_GT(editor->Form5Window().subWindow()->y(), 100);
}

}  // namespace
}  // namespace tintora::testing
