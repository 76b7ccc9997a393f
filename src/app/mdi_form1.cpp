#include "app/mdi_form1.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "alpha/ui/form7.h"
#include "alpha/ui/form9.h"
#include "app/busy_cursor.h"
#include "app/form3.h"
#include "app/memory_display.h"
#include "base/setting_values.h"
#include "color/ui/color_form.h"
#include "document/history.h"
#include "document/module1.h"
#include "drawing/texel_view.h"
#include "drawing/views.h"
#include "effects/ui/effect_commands.h"
#include "effects/ui/form2.h"
#include "effects/ui/form8.h"
#include "files/ui/file_commands.h"
#include "normalmap/ui/form10.h"
#include "preview/ui/form5.h"
#include "texture_window/form1.h"
#include "texture_window/window_places.h"

namespace tintora {

namespace {

// Designed client area 16530 x 7830 twips; panel and strip sizes in twips.
constexpr int kClientWidth = 16530 / kTwipsPerPixel;
constexpr int kClientHeight = 7830 / kTwipsPerPixel;
constexpr int kToolPanelWidth = 1365 / kTwipsPerPixel;
constexpr int kStatusStripHeight = 300 / kTwipsPerPixel;
// Re's left edge lies this far left of the window's outer width.
constexpr int kReOffset = 1500 / kTwipsPerPixel;
const QColor kPanelGrey(224, 224, 224);

// A push button whose caption wraps onto several lines when it does not fit, as the tool panel's
// narrow, tall buttons need ("Generate alpha-layer").
class WrappingButton : public QPushButton {
  public:
    WrappingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        // The style's content margins are too wide for these small buttons: 2 pixels each side.
        // A caption that does not fit wraps when the button is tall enough, else it is set
        // smaller until it fits on one line.
        const QRect area = rect().adjusted(2, 1, -2, -1);
        QFont font = this->font();
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        for (;;) {
            const QFontMetrics metrics(font);
            if (metrics.horizontalAdvance(text()) <= area.width()) break;
            const QRect wrapped = metrics.boundingRect(area, flags | Qt::TextWordWrap, text());
            if (wrapped.height() <= area.height() && wrapped.width() <= area.width()) {
                flags |= Qt::TextWordWrap;
                break;
            }
            if (font.pointSizeF() <= 6.0) break;
            font.setPointSizeF(font.pointSizeF() - 0.5);
        }
        painter.setFont(font);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
        painter.drawText(area, flags, text());
    }
};

// Twips rectangle to pixels.
QRect TwipsRect(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

QWidget* GreyPanel(const char* name, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, kPanelGrey);
    panel->setPalette(colours);
    return panel;
}

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

}  // namespace

MDIForm1::MDIForm1(Services& services) : services_(services) {
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Tintora"));
    busy_ = new BusyCursor(this);
    // Image files dropped anywhere on the window open as textures (dropEvent).
    setAcceptDrops(true);

    auto* client = new QWidget(this);
    auto* layout = new QGridLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    mdiArea = new QMdiArea(client);
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    mdiArea->setBackground(palette().brush(QPalette::Dark));
    // Windows moved or sized past the workspace's edges stay reachable.
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    BuildToolPanel();
    BuildStatusStrip();
    layout->addWidget(Picture2, 0, 0);
    layout->addWidget(mdiArea, 0, 1);
    layout->addWidget(Picture1, 1, 0, 1, 2);
    setCentralWidget(client);
    BuildMenus();

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this,
            [this] { RunHandler(this, [this] { Timer1_Timer(); }); });
    Timer1->start();

    files_ = std::make_unique<FileCommands>(services_, this, Label1, *this);
    // The Edit menu follows the active window; queued, so that the window's own activation (which
    // names it the active one) has run first.
    connect(
        mdiArea, &QMdiArea::subWindowActivated, this, [this] { UpdateEditMenu(); },
        Qt::QueuedConnection);
}

MDIForm1::~MDIForm1() {
    Timer1->stop();
}

void MDIForm1::BuildMenus() {
    // Creates a menu item named name; checkable items keep their mark under the program's
    // control: the mark a click toggles is put back before the handler runs.
    auto item = [this](QMenu* menu, const char* name, const char* caption,
                       void (MDIForm1::*handler)(), bool checkable = false) {
        auto* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QLatin1String(name));
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, [this, action, handler, checkable] {
            if (checkable) action->setChecked(!action->isChecked());
            if (handler != nullptr) RunCommand([this, handler] { (this->*handler)(); });
        });
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QLatin1String(name));
        return action;
    };
    auto submenu = [this](QMenu* parent, const char* name, const char* caption) {
        QMenu* menu = parent != nullptr ? parent->addMenu(QString::fromUtf8(caption))
                                        : menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name));
        return menu;
    };

    file = submenu(nullptr, "file", "&File");
    newtex = item(file, "newtex", "&New", &MDIForm1::newtex_Click);
    barre3 = separator(file, "barre3");
    open = item(file, "open", "&Open", &MDIForm1::open_Click);
    save = item(file, "save", "&Save", &MDIForm1::save_Click);
    saveas = item(file, "saveas", "Save &As...", &MDIForm1::saveas_Click);
    exporttex = item(file, "exporttex", "E&xport...", &MDIForm1::exporttex_Click);
    barre = separator(file, "barre");
    quit = item(file, "quit", "&Quit", &MDIForm1::quit_Click);
    newtex->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveas->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    exporttex->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Alt+E stays with "&Effects": Edit takes Alt+D.
    editmenu = submenu(nullptr, "editmenu", "E&dit");
    undo = item(editmenu, "undo", "&Undo", &MDIForm1::undo_Click);
    undo->setShortcut(QKeySequence::Undo);
    redo = item(editmenu, "redo", "&Redo", &MDIForm1::redo_Click);
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(editmenu, &QMenu::aboutToShow, this, [this] { UpdateEditMenu(); });
    UpdateEditMenu();

    viewmenu = submenu(nullptr, "viewmenu", "&View");
    viewnormal = item(viewmenu, "viewnormal", "Normal", &MDIForm1::viewnormal_Click, true);
    viewtiled = item(viewmenu, "viewtiled", "Tiled", &MDIForm1::viewtiled_Click, true);
    viewfilter =
        item(viewmenu, "viewfilter", "Stretch (filtering)", &MDIForm1::viewfilter_Click, true);
    viewpixel =
        item(viewmenu, "viewpixel", "Stretch (pixellised)", &MDIForm1::viewpixel_Click, true);
    barre1 = separator(viewmenu, "barre1");
    zoom = submenu(viewmenu, "zoom", "Zoom");
    zoomin = item(zoom, "zoomin", "Zoom In", &MDIForm1::zoomin_Click);
    zoomout = item(zoom, "zoomout", "Zoom Out", &MDIForm1::zoomout_Click);
    zoomactual = item(zoom, "zoomactual", "Actual size", &MDIForm1::zoomactual_Click);
    zoomfit = item(zoom, "zoomfit", "Fit in window", &MDIForm1::zoomfit_Click);
    zoomin->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    zoomout->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    zoomactual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    barre3d = separator(viewmenu, "barre3d");
    showItem = item(viewmenu, "show", "Show View3D", &MDIForm1::show_Click);
    barre9 = separator(viewmenu, "barre9");
    alphamap = item(viewmenu, "alphamap", "Alpha map only", &MDIForm1::alphamap_Click, true);
    barregrid = separator(viewmenu, "barregrid");
    texelgrid = item(viewmenu, "texelgrid", "Texel grid", &MDIForm1::texelgrid_Click, true);
    checkerboard =
        item(viewmenu, "checkerboard", "Checkerboard", &MDIForm1::checkerboard_Click, true);
    texelgrid->setChecked(Module1().ShowTexelGrid);
    checkerboard->setChecked(Module1().ShowCheckerboard);
    viewnormal->setChecked(true);

    effects = submenu(nullptr, "effects", "&Effects");
    contrastlum =
        item(effects, "contrastlum", "Adjust luminosity/contrast...", &MDIForm1::contrastlum_Click);
    huesatu = item(effects, "huesatu", "Adjust hue/saturation...", &MDIForm1::huesatu_Click);
    invertcolor = item(effects, "invertcolor", "Invert colors", &MDIForm1::invertcolor_Click);
    autocontrast = item(effects, "autocontrast", "Auto contrast", &MDIForm1::autocontrast_Click);
    equalize = item(effects, "equalize", "Equalize", &MDIForm1::equalize_Click);

    windowmenu = submenu(nullptr, "windowmenu", "&Window");
    windowcascade = item(windowmenu, "windowcascade", "&Cascade", &MDIForm1::windowcascade_Click);
    windowtile = item(windowmenu, "windowtile", "&Tile", &MDIForm1::windowtile_Click);
    barrewindow = separator(windowmenu, "barrewindow");
    connect(windowmenu, &QMenu::aboutToShow, this, [this] { ListTextureWindows(); });
}

void MDIForm1::ListTextureWindows() {
    for (QAction* action : windowmenu->actions()) {
        if (action->objectName() == QLatin1String("windowtexture")) {
            windowmenu->removeAction(action);
            action->deleteLater();
        }
    }
    int number = 0;
    for (QMdiSubWindow* sub : mdiArea->subWindowList()) {
        if (qobject_cast<Form1*>(sub->widget()) == nullptr) continue;
        ++number;
        // The first nine get their number as the key.
        const QString key = number <= 9 ? QStringLiteral("&%1 ").arg(number) : QString();
        QAction* action = windowmenu->addAction(key + sub->windowTitle());
        action->setObjectName(QStringLiteral("windowtexture"));
        action->setCheckable(true);
        action->setChecked(sub == mdiArea->activeSubWindow());
        connect(action, &QAction::triggered, this, [this, window = QPointer<QMdiSubWindow>(sub)] {
            if (window) mdiArea->setActiveSubWindow(window);
        });
    }
}

void MDIForm1::windowcascade_Click() {
    mdiArea->cascadeSubWindows();
}

void MDIForm1::windowtile_Click() {
    mdiArea->tileSubWindows();
}

void MDIForm1::BuildToolPanel() {
    Picture2 = GreyPanel("Picture2", this);
    Picture2->setFixedWidth(kToolPanelWidth);
    QFont small = Picture2->font();
    small.setPointSize(8);
    Picture2->setFont(small);

    Label2 = MakeLabel("Label2", QStringLiteral("Actions :"), Picture2);
    Label2->setGeometry(TwipsRect(120, 225, 1005, 195));

    auto option = [this](const char* name, const char* caption, QRect place) {
        auto* button = new QPushButton(QString::fromUtf8(caption), Picture2);
        button->setObjectName(QLatin1String(name));
        button->setCheckable(true);
        button->setGeometry(place);
        // Button-style option buttons: the chosen one looks pressed in.
        button->setStyleSheet(QStringLiteral(
            "QPushButton { background: #f4f4f4; border: 1px solid #8a8a8a; border-radius: 2px; }"
            "QPushButton:checked { background: #c8c8c8; border: 1px solid #303030;"
            " padding-top: 2px; padding-left: 2px; }"));
        return button;
    };
    Se = option("Se", "Select", TwipsRect(60, 450, 1230, 390));
    Option1 = option("Option1", "Pick Color", TwipsRect(60, 825, 1230, 375));
    Option2 = option("Option2", "Set ColorKey", TwipsRect(60, 1185, 1230, 375));
    auto* tools = new QButtonGroup(this);
    tools->setExclusive(true);
    tools->addButton(Se);
    tools->addButton(Option1);
    tools->addButton(Option2);
    // "Select" shows as chosen at start although no tool is (CurrentTool stays 0): set it before
    // the handlers are connected.
    Se->setChecked(true);
    auto onSelected = [this](QPushButton* button, void (MDIForm1::*handler)()) {
        connect(button, &QPushButton::toggled, this, [this, handler](bool checked) {
            if (checked) RunHandler(this, [this, handler] { (this->*handler)(); });
        });
    };
    onSelected(Se, &MDIForm1::Se_Click);
    onSelected(Option1, &MDIForm1::Option1_Click);
    onSelected(Option2, &MDIForm1::Option2_Click);

    Label3 = MakeLabel("Label3", QStringLiteral("Tool/Effect"), Picture2);
    Label3->setGeometry(TwipsRect(135, 3345, 1065, 195));

    auto command = [this](const char* name, const char* caption, QRect place,
                          void (MDIForm1::*handler)()) {
        auto* button = new WrappingButton(QString::fromUtf8(caption), Picture2);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(place);
        connect(button, &QPushButton::clicked, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
        return static_cast<QPushButton*>(button);
    };
    Command1 = command("Command1", "AutoContrast", TwipsRect(75, 3585, 1185, 285),
                       &MDIForm1::Command1_Click);
    Command2 = command("Command2", "Lum./Contrast", TwipsRect(75, 3855, 1185, 300),
                       &MDIForm1::Command2_Click);
    Command3 = command("Command3", "Invert colors", TwipsRect(75, 4140, 1185, 285),
                       &MDIForm1::Command3_Click);
    Command4 =
        command("Command4", "Equalize", TwipsRect(75, 4410, 1185, 285), &MDIForm1::Command4_Click);
    Command5 =
        command("Command5", "Sat/Hue", TwipsRect(75, 4680, 1185, 285), &MDIForm1::Command5_Click);
    Command6 = command("Command6", "Generate alpha-layer", TwipsRect(120, 5130, 1140, 435),
                       &MDIForm1::Command6_Click);
    Command7 = command("Command7", "Generate Normal map", TwipsRect(120, 5550, 1140, 405),
                       &MDIForm1::Command7_Click);
}

void MDIForm1::BuildStatusStrip() {
    Picture1 = GreyPanel("Picture1", this);
    Picture1->setFixedHeight(kStatusStripHeight);
    QFont small = Picture1->font();
    small.setPointSize(8);
    Picture1->setFont(small);

    Label1 = MakeLabel("Label1", QStringLiteral("Idle"), Picture1);
    Label1->setGeometry(TwipsRect(30, 30, 3810, 210));
    MemAvail = MakeLabel("MemAvail", QStringLiteral("Mem Available :"), Picture1);
    MemAvail->move(9480 / kTwipsPerPixel, 15 / kTwipsPerPixel);
    MemAvail->adjustSize();
    Re = new QPushButton(QStringLiteral("Recover Mem."), Picture1);
    Re->setObjectName(QStringLiteral("Re"));
    Re->setGeometry(TwipsRect(15855, 0, 1305, 255));
    Re->raise();
    connect(Re, &QPushButton::clicked, this, [this] { RunCommand([this] { Re_Click(); }); });
}

void MDIForm1::DoEvents() {
    QCoreApplication::processEvents();
}

void MDIForm1::DoEventsWhileDrawing() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MDIForm1::SetStatusText(const std::string& text) {
    // The progress texts of long operations ("Busy (n%)", "Busy (n %)") show the wait cursor.
    if (text.rfind("Busy (", 0) == 0) busy_->Progress();
    const QString shown = QString::fromStdString(text);
    Label1->setText(shown);
    Q_EMIT statusTextShown(shown);
}

DocumentWindow* MDIForm1::CreateTextureWindow(std::int32_t slot) {
    Form1* form = CreateForm1(mdiArea, slot, *this);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) PlaceNewWindow(sub);
    return form;
}

void MDIForm1::PlaceNewWindow(QMdiSubWindow* window) {
    // The first texture window of an empty workspace starts the cascade again.
    const QList<QMdiSubWindow*> windows = mdiArea->subWindowList();
    if (std::none_of(windows.begin(), windows.end(), [window](const QMdiSubWindow* other) {
            return other != window && qobject_cast<Form1*>(other->widget()) != nullptr;
        }))
        cascadeStep_ = 0;
    newWindows_.push_back({window, cascadeStep_});
    window->installEventFilter(this);
    PlaceInCascade(window);
    // Placing ends once the program waits for input: later sizes are the user's.
    QMetaObject::invokeMethod(
        this,
        [this, placed = QPointer<QMdiSubWindow>(window)] {
            std::erase_if(newWindows_, [this, &placed](const NewWindow& w) {
                if (w.window != placed) return false;
                if (placed) placed->removeEventFilter(this);
                return true;
            });
        },
        Qt::QueuedConnection);
}

void MDIForm1::PlaceInCascade(const QObject* window) {
    for (NewWindow& placing : newWindows_) {
        QMdiSubWindow* placed = placing.window;
        if (placed != window || placed == nullptr) continue;
        // A maximised or minimised window keeps the place it will be restored to.
        if (placed->isMaximized() || placed->isMinimized()) return;
        placed->move(CascadePlace(placing.step, placed->size(), CascadeArea()));
        cascadeStep_ = placing.step + 1;
        return;
    }
}

bool MDIForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) PlaceInCascade(watched);
    return QMainWindow::eventFilter(watched, event);
}

QRect MDIForm1::WorkspaceOnScreen() const {
    const QWidget* viewport = mdiArea->viewport();
    return {viewport->mapToGlobal(QPoint(0, 0)), viewport->size()};
}

QRect MDIForm1::CascadeArea() const {
    const QWidget* viewport = mdiArea->viewport();
    QList<QRect> taken;
    if (form5_ != nullptr) taken.push_back(form5_->subWindow()->geometry());
    if (colorForm_ != nullptr && colorForm_->isVisible()) {
        const QRect picker = colorForm_->frameGeometry();
        taken.push_back({viewport->mapFromGlobal(picker.topLeft()), picker.size()});
    }
    return ::tintora::CascadeArea(viewport->rect(), taken);
}

void MDIForm1::ShowAtPlace() {
    const std::string app = kSettingsApplication;
    const auto stored = [&](const char* key) {
        return WindowPositionFromText(
            services_.settings->GetSetting(app, "Tintora", key, std::string()), -1.0f);
    };
    const float left = stored("MainLeft");
    const float top = stored("MainTop");
    const float width = stored("MainWidth");
    const float height = stored("MainHeight");
    std::optional<QRect> place;
    if (left >= 0.0f && top >= 0.0f && width >= 0.0f && height >= 0.0f) {
        place = QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                      TwipsToPixels(height));
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    setGeometry(MainWindowPlace(place, ScreenAreas(),
                                primary != nullptr ? primary->availableGeometry() : geometry()));
    const bool maximised =
        services_.settings->GetSetting(app, "Tintora", "MainMaximized", "False") == "True";
    if (place && maximised) {
        showMaximized();
    } else {
        show();
    }
}

void MDIForm1::SetSettings() {
    const std::string app = kSettingsApplication;
    const QRect place = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    const auto write = [&](const char* key, int pixels) {
        services_.settings->SaveSetting(app, "Tintora", key,
                                        SingleToText(static_cast<float>(pixels * kTwipsPerPixel)));
    };
    write("MainLeft", place.x());
    write("MainTop", place.y());
    write("MainWidth", place.width());
    write("MainHeight", place.height());
    services_.settings->SaveSetting(app, "Tintora", "MainMaximized",
                                    isMaximized() ? "True" : "False");
}

PresentTarget* MDIForm1::PreviewPictureBox() {
    return Form5Window().Picture1;
}

void MDIForm1::ShowPreviewWindow() {
    Form5Window().ShowWindow(false);
}

void MDIForm1::HidePreviewWindow() {
    Form5Window().HideWindow();
}

void MDIForm1::MessageBox(const std::string& text) {
    services_.messageBoxes->ShowMessage(text, {});
}

void MDIForm1::EndProgram() {
    services_.End();
}

void MDIForm1::RefreshColorValue() {
    ColorFormWindow().RefreshColorValue();
}

void MDIForm1::PopupViewMenu(int globalX, int globalY) {
    // Not modal: the chosen item runs its handler when the menu closes, as from the menu bar.
    viewmenu->popup(QPoint(globalX, globalY));
}

Form3& MDIForm1::Form3Window() {
    if (form3_ == nullptr) form3_ = new Form3(this);
    return *form3_;
}

Form5& MDIForm1::Form5Window() {
    if (form5_ == nullptr) {
        form5_ = new Form5(services_, *mdiArea, *this);
        form5_->Form_Load();
    }
    return *form5_;
}

Form8& MDIForm1::Form8Window() {
    if (form8_ == nullptr) form8_ = new Form8(*this, this);
    return *form8_;
}

Form7& MDIForm1::Form7Window() {
    if (form7_ == nullptr) form7_ = new Form7(*this, this);
    return *form7_;
}

Form9& MDIForm1::Form9Window() {
    if (form9_ == nullptr) {
        form9_ = new Form9(*this, this);
        form9_->OpenFile = [this] { OpenFile(); };
    }
    return *form9_;
}

Form10& MDIForm1::Form10Window() {
    if (form10_ == nullptr) form10_ = new Form10(*this, this);
    return *form10_;
}

ColorForm& MDIForm1::ColorFormWindow() {
    if (colorForm_ == nullptr) {
        colorForm_ = new ColorForm(services_, *this, *this);
        // The colour-key window's sample follows the foreground colour.
        connect(colorForm_, &ColorForm::foregroundShown, this,
                [this](std::uint32_t color) { Form7Window().SetSampleColor(color); });
        colorForm_->Form_Load(WorkspaceOnScreen());
    }
    return *colorForm_;
}

void MDIForm1::OpenFile() {
    BusyCursor::Scope busy(*busy_);
    open_Click();
}

void MDIForm1::LoadTexture(const std::string& fileName) {
    BusyCursor::Scope busy(*busy_);
    files_->LoadTexture(fileName);
}

void MDIForm1::RunCommand(const std::function<void()>& work) {
    BusyCursor::Scope busy(*busy_);
    RunHandler(this, work);
    // A command may have saved, opened or changed a texture: the unsaved marks and the Edit menu
    // follow.
    RunHandler(this, [this] {
        ShowCaptions();
        UpdateEditMenu();
    });
}

void MDIForm1::TextureChanged(std::int32_t /*textureIndex*/) {
    ShowCaptions();
    UpdateEditMenu();
}

void MDIForm1::UpdateEditMenu() {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    std::int32_t texture = 0;
    if (slot > 0 && static_cast<std::size_t>(slot) < Module1().DocumentTable.size() &&
        DocumentAt(slot).InUse) {
        texture = DocumentAt(slot).TextureIndex;
    }
    const auto show = [](QAction* action, const char* verb, const std::string& step) {
        action->setEnabled(!step.empty());
        action->setText(step.empty() ? QString::fromUtf8(verb)
                                     : QString::fromUtf8(verb) + QLatin1Char(' ') +
                                           QString::fromStdString(step));
    };
    show(undo, "&Undo", UndoStepName(texture));
    show(redo, "&Redo", RedoStepName(texture));
}

std::string SaveChangesQuestion(const std::string& title) {
    return "Save changes to " + title + "?";
}

std::string QuitWithUnsavedQuestion(const std::vector<std::string>& captions) {
    std::string text = captions.size() == 1 ? "This texture has unsaved changes:\n"
                                            : "These textures have unsaved changes:\n";
    for (const std::string& caption : captions)
        text += "\n    " + caption;
    text += "\n\nSave them before quitting?";
    return text;
}

std::vector<std::int32_t> MDIForm1::UnsavedTextures() {
    std::vector<std::int32_t> textures;
    const auto& state = Module1();
    for (std::int32_t i = 1; static_cast<std::size_t>(i) < state.DocumentTable.size(); ++i) {
        const TextureDocument& d = state.DocumentTable[static_cast<std::size_t>(i)];
        if (!d.InUse || d.IsPreview || i == state.PreviewDocIndex || d.TextureIndex <= 0) continue;
        if (!IsModified(d.TextureIndex)) continue;
        if (std::find(textures.begin(), textures.end(), d.TextureIndex) == textures.end())
            textures.push_back(d.TextureIndex);
    }
    return textures;
}

bool MDIForm1::ConfirmClose(std::int32_t slot) {
    if (quitting_) return true;
    const auto& state = Module1();
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    if (!IsModified(texture)) return true;
    for (std::int32_t i = 1; static_cast<std::size_t>(i) < state.DocumentTable.size(); ++i) {
        const TextureDocument& d = state.DocumentTable[static_cast<std::size_t>(i)];
        // Another window still shows the texture: nothing is lost yet.
        if (i != slot && d.InUse && !d.IsPreview && d.TextureIndex == texture) return true;
    }
    const int answer =
        services_.messageBoxes->AskChoice(SaveChangesQuestion(TextureAt(texture).Title), kQuitTitle,
                                          {"Save", "Discard", "Cancel"}, 2);
    if (answer == 1) return true;
    if (answer != 0) return false;
    BusyCursor::Scope busy(*busy_);
    const bool saved = files_->SaveTextureOf(texture);
    ShowCaptions();
    return saved;
}

bool MDIForm1::ConfirmQuitWithUnsaved(const std::vector<std::int32_t>& textures) {
    std::vector<std::string> captions;
    for (const std::int32_t texture : textures) {
        captions.push_back(std::to_string(texture) + "-" + TextureAt(texture).Title);
    }
    const int answer = services_.messageBoxes->AskChoice(
        QuitWithUnsavedQuestion(captions), kQuitTitle, {"Save all", "Discard", "Cancel"}, 2);
    if (answer == 1) return true;
    if (answer != 0) return false;
    BusyCursor::Scope busy(*busy_);
    for (const std::int32_t texture : textures) {
        const bool saved = files_->SaveTextureOf(texture);
        ShowCaptions();
        if (!saved) return false;
    }
    return true;
}

void MDIForm1::undo_Click() {
    UndoOrRedo(true);
}
void MDIForm1::redo_Click() {
    UndoOrRedo(false);
}

void MDIForm1::UndoOrRedo(bool undoing) {
    const auto& state = Module1();
    const std::int32_t slot = state.ActiveWindowIndex;
    if (slot <= 0) return;
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    const std::string step = undoing ? UndoStepName(texture) : RedoStepName(texture);
    if (!(undoing ? UndoStep(texture) : RedoStep(texture))) return;
    // Every window that shows the texture follows (the 3D preview draws it on its next frame).
    for (std::int32_t i = 1; static_cast<std::size_t>(i) < Module1().DocumentTable.size(); ++i) {
        const TextureDocument& d = DocumentAt(i);
        if (d.InUse && !d.IsPreview && d.TextureIndex == texture) RenderDocument(i, false, this);
    }
    SetStatusText((undoing ? kUndoneText : kRedoneText) + step);
    TextureChanged(texture);
}

std::vector<std::string> MDIForm1::DroppedFiles(const QMimeData& data) {
    std::vector<std::string> files;
    if (!data.hasUrls()) return files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isDir()) continue;
        files.push_back(path.toStdString());
    }
    return files;
}

void MDIForm1::OpenDroppedFiles(const std::vector<std::string>& fileNames) {
    // One command per file: a file that cannot be read is reported and the others still open.
    for (const std::string& fileName : fileNames)
        RunCommand([this, &fileName] { LoadTexture(fileName); });
}

void MDIForm1::SetViewMenuChecks(ViewMode viewMode, bool alphaOnly) {
    QAction* const modes[] = {viewnormal, viewfilter, viewpixel, viewtiled};
    const auto mode = static_cast<std::int32_t>(viewMode);
    if (mode >= 0 && mode <= 3) {
        for (std::int32_t i = 0; i < 4; ++i)
            modes[i]->setChecked(i == mode);
    }
    alphamap->setChecked(alphaOnly);
    for (QAction* item : {zoomin, zoomout, zoomactual, zoomfit})
        item->setEnabled(IsTexelView(viewMode));
}

void MDIForm1::ShowMemoryStatus() {
    QCoreApplication::processEvents();
    const MemoryFigures figures = services_.memory->Read();
    std::optional<std::uint32_t> textureMemory;
    if (const auto& device = Module1().Device) textureMemory = device->GetAvailableTextureMem();
    MemAvail->setText(QString::fromStdString(MemoryStatusText(figures, textureMemory)));
    // The label reaches the window's inner right edge; its text ends where "Recover Mem." begins
    // (the label is that much wider than its text), so the button never covers the figures.
    const int textWidth = MemAvail->fontMetrics().horizontalAdvance(MemAvail->text());
    const int reRoom = width() - Re->x();
    MemAvail->resize(textWidth + std::max(0, reRoom), MemAvail->sizeHint().height());
    MemAvail->move(width() - MemAvail->width(), MemAvail->y());
}

void MDIForm1::newtex_Click() {
    files_->newtex_Click();
}
void MDIForm1::open_Click() {
    files_->open_Click();
}
void MDIForm1::save_Click() {
    files_->save_Click();
}
void MDIForm1::saveas_Click() {
    files_->saveas_Click();
}
void MDIForm1::exporttex_Click() {
    files_->export_Click();
}

void MDIForm1::contrastlum_Click() {
    RunContrastLuminosity(*this, this);
}
void MDIForm1::huesatu_Click() {
    // Form8 is made on its first use, which needs an active window.
    if (Module1().ActiveWindowIndex <= 0) return;
    RunHueSaturation(Form8Window());
}
void MDIForm1::invertcolor_Click() {
    RunInvertColors(*this);
}
void MDIForm1::autocontrast_Click() {
    RunAutoContrast(*this);
}
void MDIForm1::equalize_Click() {
    RunEqualize(*this);
}

void MDIForm1::quit_Click() {
    // A save or export in progress runs this from its pending messages: it finishes first.
    if (files_->WritingFile()) {
        quitTag = "no";
        services_.messageBoxes->ShowMessage(kQuitWhileWritingText, kQuitTitle);
        return;
    }
    quitTag = "yes";
    const std::vector<std::int32_t> unsaved = UnsavedTextures();
    bool confirmed = false;
    if (unsaved.empty()) {
        confirmed = services_.messageBoxes->AskYesNo(kQuitQuestion, kQuitTitle);
    } else {
        // Until everything is saved, a failing save (which throws) keeps the program open.
        quitTag = "no";
        confirmed = ConfirmQuitWithUnsaved(unsaved);
        quitTag = "yes";
    }
    if (confirmed) {
        quitting_ = true;
        auto& state = Module1();
        state.SphereMesh.reset();
        state.Device.reset();
        ColorFormWindow().SetSettings();
        Form5Window().SetSettings();
        SetSettings();
        services_.End();
        return;
    }
    quitTag = "no";
}

void MDIForm1::SetViewMode(ViewMode mode) {
    auto& state = Module1();
    // No check for an active window: with none, slot 0 takes the value and the marks follow it.
    const std::int32_t slot = state.ActiveWindowIndex;
    DocumentAt(slot).ViewMode = mode;
    // The window shows or hides its scroll bars for the new view as it redraws.
    if (Form1* form = ActiveTextureWindow()) {
        form->ViewChanged();
    } else {
        RenderDocument(slot, false, this);
    }
    SyncViewMenu(this);
}

Form1* MDIForm1::ActiveTextureWindow() const {
    const std::int32_t slot = Module1().ActiveWindowIndex;
    if (slot <= 0 || static_cast<std::size_t>(slot) >= Module1().DocumentTable.size())
        return nullptr;
    const TextureDocument& d = DocumentAt(slot);
    return d.InUse ? dynamic_cast<Form1*>(d.Window) : nullptr;
}

void MDIForm1::zoomin_Click() {
    if (Form1* form = ActiveTextureWindow()) form->ZoomBy(1);
}
void MDIForm1::zoomout_Click() {
    if (Form1* form = ActiveTextureWindow()) form->ZoomBy(-1);
}
void MDIForm1::zoomactual_Click() {
    if (Form1* form = ActiveTextureWindow()) form->SetZoom(1.0);
}
void MDIForm1::zoomfit_Click() {
    if (Form1* form = ActiveTextureWindow()) form->ZoomToFit();
}

void MDIForm1::RedrawTextureWindows() {
    for (std::int32_t i = 1; static_cast<std::size_t>(i) < Module1().DocumentTable.size(); ++i) {
        const TextureDocument& d = DocumentAt(i);
        if (d.InUse && !d.IsPreview && i != Module1().PreviewDocIndex)
            RenderDocument(i, false, this);
    }
}

void MDIForm1::texelgrid_Click() {
    Module1().ShowTexelGrid = !Module1().ShowTexelGrid;
    texelgrid->setChecked(Module1().ShowTexelGrid);
    RedrawTextureWindows();
}
void MDIForm1::checkerboard_Click() {
    Module1().ShowCheckerboard = !Module1().ShowCheckerboard;
    checkerboard->setChecked(Module1().ShowCheckerboard);
    RedrawTextureWindows();
}

void MDIForm1::viewnormal_Click() {
    SetViewMode(ViewMode::Normal);
}
void MDIForm1::viewfilter_Click() {
    SetViewMode(ViewMode::StretchFiltering);
}
void MDIForm1::viewpixel_Click() {
    SetViewMode(ViewMode::StretchPixellised);
}
void MDIForm1::viewtiled_Click() {
    SetViewMode(ViewMode::Tiled);
}

void MDIForm1::show_Click() {
    Form5Window().ShowWindow(true);
}

void MDIForm1::alphamap_Click() {
    auto& state = Module1();
    const std::int32_t slot = state.ActiveWindowIndex;
    if (slot <= 0) return;
    DocumentAt(slot).AlphaOnly = !DocumentAt(slot).AlphaOnly;
    SyncViewMenu(this);
    RenderDocument(slot, false, this);
}

// The tools: "Set ColorKey" shows the colour-key window, the others hide it; all three hide the
// alpha-layer window.
void MDIForm1::Se_Click() {
    if (form7_ != nullptr) form7_->hide();
    Module1().CurrentTool = Tool::Select;
    if (form9_ != nullptr) form9_->hide();
}

void MDIForm1::Option1_Click() {
    ColorForm& colors = ColorFormWindow();
    colors.show();
    colors.activateWindow();
    if (form7_ != nullptr) form7_->hide();
    Module1().CurrentTool = Tool::PickColor;
    if (form9_ != nullptr) form9_->hide();
}

void MDIForm1::Option2_Click() {
    Form7Window().show();
    Module1().CurrentTool = Tool::SetColorKey;
    if (form9_ != nullptr) form9_->hide();
}

void MDIForm1::Command1_Click() {
    autocontrast_Click();
}
void MDIForm1::Command2_Click() {
    contrastlum_Click();
}
void MDIForm1::Command3_Click() {
    invertcolor_Click();
}
void MDIForm1::Command4_Click() {
    equalize_Click();
}
void MDIForm1::Command5_Click() {
    huesatu_Click();
}
// "Generate alpha-layer": Form9, modeless, whether or not a texture window is active.
void MDIForm1::Command6_Click() {
    Form9& form = Form9Window();
    form.show();
    form.raise();
    form.activateWindow();
}
// "Generate Normal map": Form10, modeless, when a texture window is active; nothing otherwise.
void MDIForm1::Command7_Click() {
    if (Module1().ActiveWindowIndex <= 0) return;
    Form10& form = Form10Window();
    form.show();
    form.raise();
    form.activateWindow();
}

void MDIForm1::Re_Click() {
    lastRecoverCount_ = RecoverMemory(*services_.memory, Module1().Device.get());
}

void MDIForm1::Timer1_Timer() {
    ShowMemoryStatus();
}

void MDIForm1::MDIForm_Resize() {
    Re->move(frameGeometry().width() - kReOffset, Re->y());
}

void MDIForm1::MDIForm_QueryUnload(bool& cancel) {
    RunHandler(this, [this] { quit_Click(); });
    if (quitTag == "no") cancel = true;
}

void MDIForm1::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    MDIForm_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
    } else {
        event->accept();
    }
}

void MDIForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() != nullptr && !DroppedFiles(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void MDIForm1::dropEvent(QDropEvent* event) {
    if (event->mimeData() == nullptr) return;
    std::vector<std::string> files = DroppedFiles(*event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    // The loads run after the drop has been answered: the program that started the drag is not
    // kept waiting, and a message box of a failed load does not open inside the drop.
    QMetaObject::invokeMethod(
        this, [this, files = std::move(files)] { OpenDroppedFiles(files); }, Qt::QueuedConnection);
}

void MDIForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    MDIForm_Resize();
}

}  // namespace tintora
