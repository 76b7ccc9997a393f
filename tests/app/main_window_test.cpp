// The main window: menus, tool panel and status strip as the user sees them, the View menu and
// its marks, the tool buttons, commands with nothing to act on, and quitting.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <vector>

#include "color/ui/color_form.h"
#include "drawing/views.h"
#include "editor_fixture.h"
#include "preview/ui/form5.h"
#include "texture_window/form1.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;

// The items of a menu as "objectName=caption", "-" for a separator; none has a shortcut.
Strings Items(const QMenu* menu) {
    Strings items;
    for (const QAction* action : menu->actions()) {
        EXPECT_TRUE(action->shortcut().isEmpty());
        items.push_back(action->objectName().toStdString() + "=" +
                        (action->isSeparator() ? "-" : action->text().toStdString()));
    }
    return items;
}

// The marks of the four mode items (Normal, Tiled, filtering, pixellised) and "Alpha map only".
std::vector<bool> Marks(MDIForm1& w) {
    return {w.viewnormal->isChecked(), w.viewtiled->isChecked(), w.viewfilter->isChecked(),
            w.viewpixel->isChecked(), w.alphamap->isChecked()};
}

using MainWindowTest = EditorTest;

TEST_F(MainWindowTest, MenusCarryTheirCaptionsInOrder) {
    editor = std::make_unique<MDIForm1>(services);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Tintora"));
    Strings bar;
    for (const QAction* menu : editor->menuBar()->actions())
        bar.push_back(menu->text().toStdString());
    EXPECT_EQ(bar, (Strings{"&File", "&View", "&Effects"}));
    EXPECT_EQ(Items(editor->file), (Strings{"newtex=&New", "barre3=-", "open=&Open", "save=&Save",
                                            "saveas=Save &As...", "barre=-", "quit=&Quit"}));
    EXPECT_EQ(Items(editor->viewmenu),
              (Strings{"viewnormal=Normal", "viewtiled=Tiled", "viewfilter=Stretch (filtering)",
                       "viewpixel=Stretch (pixellised)", "barre1=-", "zoom=Zoom", "barre3d=-",
                       "show=Show View3D", "barre9=-", "alphamap=Alpha map only"}));
    EXPECT_EQ(Items(editor->zoom), (Strings{"zoomin=Zoom In", "zoomout=Zoom Out"}));
    EXPECT_EQ(
        Items(editor->effects),
        (Strings{"contrastlum=Adjust luminosity/contrast...", "huesatu=Adjust hue/saturation...",
                 "invertcolor=Invert colors", "autocontrast=Auto contrast", "equalize=Equalize"}));
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{true, false, false, false, false}));
}

TEST_F(MainWindowTest, ToolPanelAndStatusStripCarryTheirCaptions) {
    editor = std::make_unique<MDIForm1>(services);
    Strings captions;
    for (const char* name :
         {"Label2", "Se", "Option1", "Option2", "Label3", "Command1", "Command2", "Command3",
          "Command4", "Command5", "Command6", "Command7", "Label1", "Re", "MemAvail"}) {
        const QWidget* widget = editor->findChild<QWidget*>(QLatin1String(name));
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        captions.push_back(label    ? label->text().toStdString()
                           : button ? button->text().toStdString()
                                    : "missing");
    }
    EXPECT_EQ(captions, (Strings{"Actions :", "Select", "Pick Color", "Set ColorKey", "Tool/Effect",
                                 "AutoContrast", "Lum./Contrast", "Invert colors", "Equalize",
                                 "Sat/Hue", "Generate alpha-layer", "Generate Normal map", "Idle",
                                 "Recover Mem.", "Mem Available :"}));
    // The option buttons are one exclusive group with "Select" chosen.
    EXPECT_TRUE(editor->Se->isChecked());
    EXPECT_FALSE(editor->Command1->isCheckable());
}

TEST_F(MainWindowTest, WithNoTextureWindowTiledGoesIntoSlotZeroAndAlphaMapDoesNothing) {
    Start();
    editor->viewtiled->trigger();
    editor->viewtiled->trigger();  // the marked item chosen again stays marked
    EXPECT_EQ(DocumentAt(0).ViewMode, ViewMode::Tiled);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, true, false, false, false}));
    EXPECT_EQ(DocumentAt(Module1().PreviewDocIndex).ViewMode, ViewMode::Normal);
    editor->alphamap->trigger();
    EXPECT_FALSE(editor->alphamap->isChecked());
    EXPECT_FALSE(DocumentAt(0).AlphaOnly);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, ViewItemsActOnTheActiveWindowAndTheirMarksFollowIt) {
    Start(SamplePath("checker.bmp"));
    editor->LoadTexture(SamplePath("odd_37x23.bmp"));
    ASSERT_EQ(Module1().ActiveWindowIndex, 3);
    editor->viewfilter->trigger();
    editor->alphamap->trigger();
    EXPECT_EQ(DocumentAt(3).ViewMode, ViewMode::StretchFiltering);
    EXPECT_TRUE(DocumentAt(3).AlphaOnly);
    EXPECT_EQ(DocumentAt(2).ViewMode, ViewMode::Normal);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{false, false, true, false, true}));

    auto* form = dynamic_cast<Form1*>(DocumentAt(2).Window);
    ASSERT_NE(form, nullptr);
    editor->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
    QApplication::processEvents();
    ASSERT_EQ(Module1().ActiveWindowIndex, 2);
    EXPECT_EQ(Marks(*editor), (std::vector<bool>{true, false, false, false, false}));
    editor->alphamap->trigger();
    editor->alphamap->trigger();  // toggles back
    EXPECT_FALSE(DocumentAt(2).AlphaOnly);
    EXPECT_FALSE(editor->alphamap->isChecked());
}

TEST_F(MainWindowTest, ToolButtonsSetTheCurrentToolAndPickingShowsThePicker) {
    Start();
    EXPECT_EQ(Module1().CurrentTool, Tool::None);
    editor->ColorFormWindow().hide();
    editor->Option1->click();
    EXPECT_EQ(Module1().CurrentTool, Tool::PickColor);
    EXPECT_TRUE(editor->ColorFormWindow().isVisible());
    editor->Option2->click();
    EXPECT_EQ(Module1().CurrentTool, Tool::SetColorKey);
    EXPECT_FALSE(editor->Option1->isChecked());
    editor->Se->click();
    EXPECT_EQ(Module1().CurrentTool, Tool::Select);
    EXPECT_FALSE(editor->Option2->isChecked());
}

TEST_F(MainWindowTest, CommandsWithNoTextureWindowDoNothing) {
    Start();
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    // ("Generate alpha-layer" shows its window even then; the alpha tests cover it.)
    for (QPushButton* button : {editor->Command7, editor->Command1, editor->Command2,
                                editor->Command3, editor->Command4, editor->Command5}) {
        button->click();
    }
    for (QAction* item :
         {editor->save, editor->saveas, editor->zoomin, editor->zoomout, editor->contrastlum,
          editor->huesatu, editor->invertcolor, editor->autocontrast, editor->equalize}) {
        item->trigger();
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_EQ(TextureWindowCount(), 0);
}

TEST_F(MainWindowTest, ShowView3DShowsThePreviewWhichClosingOnlyHides) {
    Start();
    QMdiSubWindow* preview = editor->Form5Window().subWindow();
    ASSERT_FALSE(preview->isVisible());
    editor->findChild<QAction*>(QStringLiteral("show"))->trigger();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(editor->mdiArea->activeSubWindow(), preview);
    preview->close();  // it is the device window
    EXPECT_FALSE(preview->isVisible());
    EXPECT_TRUE(editor->Form5Loaded());
}

TEST_F(MainWindowTest, QuittingAsksFirstAndYesReleasesStoresAndEnds) {
    Start(SamplePath("checker.bmp"));
    // Quit and the close box ask the same question; No keeps everything.
    boxes.yesNoAnswers = {false, false};
    editor->quit->trigger();
    EXPECT_FALSE(editor->close());
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const auto& shown : boxes.shown) {
        EXPECT_EQ(shown.kind, ScriptedMessageBoxes::Shown::Kind::YesNo);
        EXPECT_EQ(shown.text, "Are you really sure to quit Zarvell3D Tintora ?");
        EXPECT_EQ(shown.caption, "Zarvell3D Tintora");
    }
    EXPECT_EQ(editor->quitTag, "no");
    EXPECT_EQ(endCalls, 0);
    EXPECT_TRUE(Module1().Device && Module1().SphereMesh);
    EXPECT_TRUE(settings.saved.empty());
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_TRUE(editor->isVisible());

    boxes.yesNoAnswers = {true};
    EXPECT_TRUE(editor->close());
    EXPECT_EQ(editor->quitTag, "yes");
    EXPECT_EQ(endCalls, 1);
    EXPECT_TRUE(services.ended);
    EXPECT_FALSE(Module1().SphereMesh || Module1().Device);
    // The colour picker's and the preview's places are stored.
    Strings keys;
    for (const auto& key : settings.saved)
        keys.push_back(std::get<2>(key));
    EXPECT_EQ(keys, (Strings{"ColorX", "ColorY", "3DX", "3DY", "3DView", "3DCheck"}));
}

}  // namespace
}  // namespace tintora::testing
