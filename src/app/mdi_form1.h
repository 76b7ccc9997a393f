// MDIForm1, the main window: the menu bar, the tool panel on the left (Picture2), the status
// strip at the bottom (Picture1) with the status line, the memory display and "Recover Mem.", and
// the MDI area that holds the texture windows and the 3D preview window.
//
// Controls and menu items keep their names (Se, Option1, Command1..7, Label1, MemAvail, Re;
// newtex, open, ..., equalize); handlers are <control>_<Event>. Every menu item and button runs
// its handler through RunCommand (RunHandler under the wait cursor), so a failure shows
// "Error <number>: <description>" and the program goes on. Image files dropped on the window
// open as textures. The window is the host of every window it makes (WindowHost): it opens the
// texture windows and the preview, marks the View menu, shows message boxes and progress, runs
// pending messages and ends the program.
//
// Places: the window opens where it was left (stored at quit), or at first start at 80% of the
// screen, centred (MainWindowPlace). The workspace (the MDI area) scrolls to windows that lie
// outside it. New texture windows cascade inside its visible part, left of the 3D view and the
// colour picker, which stand at its right side. The Window menu, after the others, arranges the
// windows (Cascade, Tile) and lists the open textures, the active one checked.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/services.h"
#include "texture_window/window_host.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMimeData;
class QPushButton;
class QTimer;

namespace tintora {

class BusyCursor;
class ColorForm;
class Form3;
class Form5;
class Form7;
class Form8;
class Form9;
class Form10;
class FileCommands;
class Form1;

// The quit question and its title.
inline constexpr const char* kQuitQuestion = "Are you really sure to quit Zarvell3D Tintora ?";
inline constexpr const char* kQuitTitle = "Zarvell3D Tintora";
inline constexpr const char* kQuitWhileWritingText =
    "A file is being written. Quit once it is finished (Escape stops an export).";
// The questions about unsaved changes, and the status texts of Undo and Redo.
std::string SaveChangesQuestion(const std::string& title);
std::string QuitWithUnsavedQuestion(const std::vector<std::string>& captions);
inline constexpr const char* kUndoneText = "Undone: ";
inline constexpr const char* kRedoneText = "Redone: ";

class MDIForm1 : public QMainWindow, public WindowHost {
    Q_OBJECT

  public:
    explicit MDIForm1(Services& services);
    ~MDIForm1() override;
    MDIForm1(const MDIForm1&) = delete;
    MDIForm1& operator=(const MDIForm1&) = delete;

    // The MDI client area (texture windows and the 3D preview live here).
    QMdiArea* mdiArea = nullptr;

    // Tool panel.
    QWidget* Picture2 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Se = nullptr;  // option buttons: checkable, one group
    QPushButton* Option1 = nullptr;
    QPushButton* Option2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;

    // Status strip.
    QWidget* Picture1 = nullptr;
    QLabel* Label1 = nullptr;  // the status line
    QLabel* MemAvail = nullptr;
    QPushButton* Re = nullptr;

    // 1000 ms, running from construction: the memory display.
    QTimer* Timer1 = nullptr;

    // Menus. Separators are actions too (barre3, barre, barre1, barre3d, barre9). Every item's
    // objectName is its name.
    QMenu* file = nullptr;
    QAction* newtex = nullptr;
    QAction* barre3 = nullptr;
    QAction* open = nullptr;
    QAction* save = nullptr;
    QAction* saveas = nullptr;
    QAction* exporttex = nullptr;  // "E&xport...": the DDS export with its own settings
    QAction* barre = nullptr;
    QAction* quit = nullptr;
    // Edit: "Undo <step>" and "Redo <step>" of the active window's texture, greyed when there is
    // none.
    QMenu* editmenu = nullptr;
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QMenu* viewmenu = nullptr;
    QAction* viewnormal = nullptr;
    QAction* viewtiled = nullptr;
    QAction* viewfilter = nullptr;
    QAction* viewpixel = nullptr;
    QAction* barre1 = nullptr;
    // Zoom of the active Normal or Tiled view: in and out a step (Ctrl+= or Ctrl++, Ctrl+-),
    // "Actual size" (Ctrl+0) and "Fit in window"; greyed in the Stretch views.
    QMenu* zoom = nullptr;
    QAction* zoomin = nullptr;
    QAction* zoomout = nullptr;
    QAction* zoomactual = nullptr;
    QAction* zoomfit = nullptr;
    QAction* barre3d = nullptr;
    QAction* showItem = nullptr;  // "show" (the name QWidget::show already has)
    QAction* barre9 = nullptr;
    QAction* alphamap = nullptr;
    // Options of every texture window's Normal and Tiled view (both on at start): lines between
    // the texels from 8x, a checkerboard behind transparent texels.
    QAction* barregrid = nullptr;
    QAction* texelgrid = nullptr;
    QAction* checkerboard = nullptr;
    QMenu* effects = nullptr;
    QAction* contrastlum = nullptr;
    QAction* huesatu = nullptr;
    QAction* invertcolor = nullptr;
    QAction* autocontrast = nullptr;
    QAction* equalize = nullptr;
    // Window: Cascade, Tile, then one checkable item per texture window ("windowtexture"), made
    // each time the menu opens.
    QMenu* windowmenu = nullptr;
    QAction* windowcascade = nullptr;
    QAction* windowtile = nullptr;
    QAction* barrewindow = nullptr;

    // The Tag of the quit item: "yes" while the question is asked, "no" after a No.
    std::string quitTag;

    // Windows made (and their load handlers run) on first use.
    Form3& Form3Window();
    Form5& Form5Window();
    Form7& Form7Window();
    Form8& Form8Window();
    Form9& Form9Window();
    bool Form7Loaded() const { return form7_ != nullptr; }
    bool Form9Loaded() const { return form9_ != nullptr; }
    Form10& Form10Window();
    bool Form10Loaded() const { return form10_ != nullptr; }
    // The File menu's commands and their dialogs (NewTexture, Form6, ExportDialog, MsgBox2).
    FileCommands& Files() { return *files_; }
    ColorForm& ColorFormWindow();
    bool Form5Loaded() const { return form5_ != nullptr; }
    bool ColorFormLoaded() const { return colorForm_ != nullptr; }

    // Shows the window at its stored place ("MainLeft", "MainTop", "MainWidth", "MainHeight" in
    // twips, "MainMaximized"), or at MainWindowPlace's default when none is stored or it is off
    // every screen.
    void ShowAtPlace();
    // Writes the window's place (its size and place before maximising, and whether it is).
    void SetSettings();
    // The visible part of the MDI area, in screen coordinates.
    QRect WorkspaceOnScreen() const;
    // The part of the MDI area's visible part (its own coordinates) that new texture windows
    // cascade into: beside the 3D view and the colour picker.
    QRect CascadeArea() const;

    // Public methods.
    void OpenFile();
    // Opens an image file into a new texture window. Throws PlatformError naming the file when it
    // cannot; nothing is left of a failed load.
    void LoadTexture(const std::string& fileName);
    // WindowHost. The View menu's marks: exactly one of the four mode items for modes 0-3
    // (others leave them), and "Alpha map only"; the zoom items are greyed unless the mode is
    // Normal or Tiled. A status text starting "Busy (" keeps the wait cursor up.
    void SetViewMenuChecks(ViewMode viewMode, bool alphaOnly) override;
    void DoEvents() override;
    void DoEventsWhileDrawing() override;
    void SetStatusText(const std::string& text) override;
    DocumentWindow* CreateTextureWindow(std::int32_t slot) override;
    PresentTarget* PreviewPictureBox() override;
    void ShowPreviewWindow() override;
    void HidePreviewWindow() override;
    void MessageBox(const std::string& text) override;
    void EndProgram() override;
    void RefreshColorValue() override;
    void PopupViewMenu(int globalX, int globalY) override;
    // Marks the captions and updates the Edit menu (the windows were redrawn by the command).
    void TextureChanged(std::int32_t textureIndex) override;
    // For the last window that shows a texture with unsaved changes: "Save changes to <title>?"
    // with Save, Discard and Cancel; Save closes only when the file was written. Everything may
    // close once quitting has been confirmed.
    bool ConfirmClose(std::int32_t slot) override;
    // The texture entries with unsaved changes that a texture window shows, by slot.
    static std::vector<std::int32_t> UnsavedTextures();
    // The Edit menu's items from the active window's history.
    void UpdateEditMenu();
    // The local files (no folders) named by dragged or dropped data, in their order.
    static std::vector<std::string> DroppedFiles(const QMimeData& data);
    // Opens each file through LoadTexture, one command per file (a failure is reported and the
    // next file still opens). Files dropped on the window arrive here.
    void OpenDroppedFiles(const std::vector<std::string>& fileNames);
    // Runs a command of the window: RunHandler with the wait cursor (busy_cursor.h).
    void RunCommand(const std::function<void()>& work);
    BusyCursor& Busy() { return *busy_; }

    // Lets pending messages run, then writes the memory figures into MemAvail and puts its
    // right edge on the window's inner right edge.
    void ShowMemoryStatus();

    // Menu handlers.
    void newtex_Click();
    void open_Click();
    void save_Click();
    void saveas_Click();
    void exporttex_Click();
    void quit_Click();
    void undo_Click();
    void redo_Click();
    void viewnormal_Click();
    void viewfilter_Click();
    void viewpixel_Click();
    void viewtiled_Click();
    void zoomin_Click();
    void zoomout_Click();
    void zoomactual_Click();
    void zoomfit_Click();
    void texelgrid_Click();
    void checkerboard_Click();
    void show_Click();
    void alphamap_Click();
    void contrastlum_Click();
    void huesatu_Click();
    void invertcolor_Click();
    void autocontrast_Click();
    void equalize_Click();
    void windowcascade_Click();
    void windowtile_Click();

    // Tool panel and status strip handlers.
    void Se_Click();
    void Option1_Click();
    void Option2_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Re_Click();
    void Timer1_Timer();
    void MDIForm_Resize();
    // Runs Quit; cancel becomes true when the user answered No.
    void MDIForm_QueryUnload(bool& cancel);

    // n of the last "Recover Mem." (it allocated n + 1 strings); -1 before the first.
    std::int64_t lastRecoverCount() const { return lastRecoverCount_; }
    Services& services() { return services_; }

  Q_SIGNALS:
    // A status text has just been shown (SetStatusText), after the wait cursor was put up for it.
    void statusTextShown(const QString& text);

  protected:
    // A new texture window is placed again in the cascade each time it is sized before the
    // program next waits for input (it gets its texture's size after it was made).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildMenus();
    void BuildToolPanel();
    void BuildStatusStrip();
    // The Window menu's texture items, made anew from the open texture windows.
    void ListTextureWindows();
    // Puts a new texture window at its cascade place, and again whenever it is sized before the
    // program next waits for input (see eventFilter).
    void PlaceNewWindow(QMdiSubWindow* window);
    void PlaceInCascade(const QObject* window);
    void SetViewMode(ViewMode mode);
    // The active document's texture window; null when there is none.
    Form1* ActiveTextureWindow() const;
    // Redraws every texture window (a View option changed).
    void RedrawTextureWindows();
    void UndoOrRedo(bool undoing);
    // The quit question when textures have unsaved changes: true when the program may end (they
    // were saved or the user discarded them).
    bool ConfirmQuitWithUnsaved(const std::vector<std::int32_t>& textures);

    Services& services_;
    BusyCursor* busy_ = nullptr;
    Form3* form3_ = nullptr;
    Form5* form5_ = nullptr;
    Form7* form7_ = nullptr;
    Form8* form8_ = nullptr;
    Form9* form9_ = nullptr;
    Form10* form10_ = nullptr;
    ColorForm* colorForm_ = nullptr;
    std::int64_t lastRecoverCount_ = -1;
    std::unique_ptr<FileCommands> files_;
    // Set once quitting is confirmed: the texture windows then close without a question.
    bool quitting_ = false;
    // The cascade step of the next texture window, and the new windows still being placed.
    int cascadeStep_ = 0;
    struct NewWindow {
        QPointer<QMdiSubWindow> window;
        int step;
    };
    std::vector<NewWindow> newWindows_;
};

}  // namespace tintora
