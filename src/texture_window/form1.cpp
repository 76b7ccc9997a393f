#include "texture_window/form1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "base/byte_buffer.h"
#include "base/error.h"
#include "drawing/texel_view.h"
#include "drawing/views.h"
#include "texture_window/mouse_codes.h"

namespace tintora {

namespace {

// True while a handler's error report is showing.
bool reportShowing = false;

// How long a window waits before it tries again a drawing that another one was in the way of.
constexpr int kRedrawRetryMs = 10;

// The tools that pick a colour with a press: "Pick Color" and "Set ColorKey".

// round(numerator x position / denominator) into 32 bits, ties to even.
std::int32_t ScaledPosition(std::int32_t numerator, float position, std::int32_t denominator) {
    if (denominator == 0) throw PlatformError(kErrDivisionByZero, "Division by zero");
    const double scaled =
        std::nearbyint(static_cast<double>(numerator) * static_cast<double>(position) /
                       static_cast<double>(denominator));
    if (!(scaled >= std::numeric_limits<std::int32_t>::min() &&
          scaled <= std::numeric_limits<std::int32_t>::max())) {
        throw PlatformError(kErrOverflow, "Overflow");
    }
    return static_cast<std::int32_t>(scaled);
}

// The texture entry a document shows; null for none.
const TextureEntry* EntryOf(const TextureDocument& d) {
    if (d.TextureIndex <= 0) return nullptr;
    const TextureEntry& e = TextureAt(d.TextureIndex);
    return e.InUse ? &e : nullptr;
}

// A Qt colour as a window colour 0x00BBGGRR.
std::uint32_t WindowColor(QRgb rgb) {
    return static_cast<std::uint32_t>(qRed(rgb)) | (static_cast<std::uint32_t>(qGreen(rgb)) << 8) |
           (static_cast<std::uint32_t>(qBlue(rgb)) << 16);
}

}  // namespace

std::string TexelPositionText(std::int32_t slot, float x, float y) {
    const TextureDocument& d = DocumentAt(slot);
    const TextureEntry& e = TextureAt(d.TextureIndex);
    std::array<int, 2> texel{};
    if (IsTexelView(d.ViewMode)) {
        const auto shown = TexelAt(d, e.Width, e.Height, x, y);
        if (!shown) return {};
        texel = *shown;
    } else {
        texel = {ScaledPosition(e.Width, x, d.ChainWidth),
                 ScaledPosition(e.Height, y, d.ChainHeight)};
    }
    return "(" + std::to_string(texel[0]) + "," + std::to_string(texel[1]) + ")";
}

std::optional<std::array<int, 2>> TexelUnderMouse(std::int32_t slot, float x, float y) {
    const TextureDocument& d = DocumentAt(slot);
    const TextureEntry* e = EntryOf(d);
    if (e == nullptr || e->Width <= 0 || e->Height <= 0) return std::nullopt;
    if (IsTexelView(d.ViewMode)) return TexelAt(d, e->Width, e->Height, x, y);
    if (!(x >= 0.0f && y >= 0.0f && x < static_cast<float>(d.ChainWidth) &&
          y < static_cast<float>(d.ChainHeight)))
        return std::nullopt;
    return std::array{std::clamp(ScaledPosition(e->Width, x, d.ChainWidth), 0, e->Width - 1),
                      std::clamp(ScaledPosition(e->Height, y, d.ChainHeight), 0, e->Height - 1)};
}

std::string ErrorReportText(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error)) {
        return "Error " + std::to_string(platform->code()) + ": " + platform->what();
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "Error " + std::to_string(kErrOutOfMemory) + ": Out of memory";
    }
    return std::string("Error: ") + error.what();
}

void RunHandler(MessageSink* reports, const std::function<void()>& work) {
    std::string report;
    try {
        work();
        return;
    } catch (const std::exception& error) {
        report = ErrorReportText(error);
    }
    if (reportShowing || reports == nullptr) {
        std::fprintf(stderr, "Tintora: %s\n", report.c_str());
        return;
    }
    reportShowing = true;
    try {
        reports->MessageBox(report);
    } catch (...) {
        reportShowing = false;
        throw;
    }
    reportShowing = false;
}

Form1::Form1(WindowHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setWindowTitle(QStringLiteral("Texture1"));
    // paintEvent covers the whole client area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The status line follows the mouse with or without a button held.
    setMouseTracking(true);
    // Takes the keyboard focus when activated by a press (the MDI child would keep it otherwise).
    setFocusPolicy(Qt::ClickFocus);
    redrawTimer_.setSingleShot(true);
    redrawTimer_.setInterval(kRedrawRetryMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &Form1::Form_Paint);
    // The bars are shown by PlaceScrollBars when the picture needs them; a move of either puts
    // the picture's pixel at its value at the window's edge.
    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {HScroll1, VScroll1}) {
        bar->setObjectName(bar == HScroll1 ? QStringLiteral("HScroll1")
                                           : QStringLiteral("VScroll1"));
        bar->hide();
        bar->setFocusPolicy(Qt::NoFocus);  // keys do nothing in a texture window
        connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
            RunHandler(&host_, [&] {
                if (!OwnsDocument()) return;
                TextureDocument& d = DocumentAt(windowindex);
                const TextureEntry* e = EntryOf(d);
                if (e == nullptr) return;
                const TexelLayout at = LayoutTexels(d, e->Width, e->Height);
                MovePicture(bar == HScroll1 ? -value : at.x, bar == VScroll1 ? -value : at.y);
            });
        });
    }
}

int Form1::ClientWidth() const {
    return width() - (VScroll1->isVisibleTo(this) ? VScroll1->width() : 0);
}

int Form1::ClientHeight() const {
    return height() - (HScroll1->isVisibleTo(this) ? HScroll1->height() : 0);
}

Form1::~Form1() {
    // Destroyed without closing (the main window going away): the swap chain must not outlive
    // the window it presents into. The slot's other bookkeeping is left as it is.
    if (OwnsDocument()) {
        TextureDocument& d = DocumentAt(windowindex);
        d.SwapChain.reset();
        d.Window = nullptr;
    }
}

QMdiSubWindow* Form1::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

bool Form1::OwnsDocument() const {
    const auto& state = Module1();
    if (windowindex < 0 || windowindex > state.DocumentTableUBound ||
        static_cast<std::size_t>(windowindex) >= state.DocumentTable.size()) {
        return false;
    }
    const TextureDocument& d = state.DocumentTable[static_cast<std::size_t>(windowindex)];
    return d.InUse && d.Window == this;
}

void Form1::SetCaption(const std::string& caption) {
    const QString title = QString::fromStdString(caption);
    setWindowTitle(title);
    if (QMdiSubWindow* sub = subWindow()) sub->setWindowTitle(title);
}

std::string Form1::Caption() const {
    return windowTitle().toStdString();
}

void Form1::SetClientSize(int width, int height) {
    QMdiSubWindow* sub = subWindow();
    if (sub == nullptr) {
        resize(width, height);
        return;
    }
    // A maximised or minimised child keeps its state and gets the size as the one it is restored
    // to. A child shown while another one is maximised opens maximised before it has a size of
    // its own; resizing it as it is would leave a frameless block that restores to its
    // title bar. So it is restored, sized, and put back into its state.
    const Qt::WindowStates state = sub->windowState();
    const Qt::WindowStates sizedStates = Qt::WindowMaximized | Qt::WindowMinimized;
    if ((state & sizedStates) != 0) sub->setWindowState(state & ~sizedStates);
    // The frame is whatever the MDI child adds around this widget.
    const QSize frame = sub->size() - size();
    sub->resize(QSize(width, height) + frame);
    if ((state & sizedStates) != 0) sub->setWindowState(state);
}

void Form1::CloseWindow() {
    if (QMdiSubWindow* sub = subWindow()) {
        sub->close();
    } else {
        close();
    }
}

void Form1::PresentImage(const ImageView& image) {
    if (image.bits == nullptr || image.width <= 0 || image.height <= 0 ||
        BytesPerPixel(image.format) != 4) {
        return;
    }
    // B G R X bytes: a 32-bit RGB image. Reuse the stored image when the size is unchanged. Its
    // memory is a block of ours: a large one lies on huge pages, which a window as large as a
    // 4096 x 4096 texture makes in 32 page faults instead of 16384.
    if (presented_.width() != image.width || presented_.height() != image.height ||
        presented_.format() != QImage::Format_RGB32) {
        presented_ = QImage();
        const std::size_t bytes =
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4;
        struct Block {
            explicit Block(std::size_t size) : bytes(size), data(AllocateBlock(size)) {}
            ~Block() { FreeBlock(data, bytes); }
            std::size_t bytes;
            void* data;
        };
        auto block = std::make_unique<Block>(bytes);
        presented_ = QImage(
            static_cast<uchar*>(block->data), image.width, image.height, image.width * 4,
            QImage::Format_RGB32, [](void* info) { delete static_cast<Block*>(info); },
            block.get());
        block.release();
    }
    const auto rowBytes = static_cast<std::size_t>(image.width) * 4;
    if (image.pitch == static_cast<int>(rowBytes)) {
        CopyBytes(presented_.bits(), image.bits, rowBytes * static_cast<std::size_t>(image.height));
    } else {
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(presented_.scanLine(y),
                        image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch, rowBytes);
        }
    }
    presentedSincePaint_ = true;
    update();
}

void Form1::Form_Activate() {
    RunHandler(&host_, [this] { ActivateTextureWindow(windowindex, &host_); });
}

void Form1::Form_Unload() {
    RunHandler(&host_, [this] {
        if (OwnsDocument()) CloseTextureWindow(windowindex, &host_);
    });
}

void Form1::Form_Paint() {
    RunHandler(&host_, [this] {
        if (OwnsDocument()) DrawWhenFree();
    });
}

void Form1::Form_Resize() {
    RunHandler(&host_, [this] {
        QMdiSubWindow* sub = subWindow();
        if ((sub != nullptr && sub->isMinimized()) || isMinimized() || !OwnsDocument()) return;
        const QSize area = PlaceScrollBars();
        ResizeSwapChain(windowindex, area.width(), area.height());
        DrawWhenFree();
        SyncScrollBars();
    });
}

QSize Form1::PlaceScrollBars() {
    const QSize client = size();
    bool wide = false;
    bool tall = false;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const TextureDocument* d = OwnsDocument() ? &DocumentAt(windowindex) : nullptr;
    const TextureEntry* e = d != nullptr ? EntryOf(*d) : nullptr;
    if (e != nullptr && d->ViewMode == ViewMode::Normal) {
        const TexelLayout picture = LayoutTexels(*d, e->Width, e->Height);
        wide = picture.width > client.width();
        tall = picture.height > client.height() || (wide && picture.height > client.height() - bar);
        wide = wide || (tall && picture.width > client.width() - bar);
    }
    const QSize area(std::max(0, client.width() - (tall ? bar : 0)),
                     std::max(0, client.height() - (wide ? bar : 0)));
    HScroll1->setGeometry(0, area.height(), area.width(), bar);
    VScroll1->setGeometry(area.width(), 0, bar, area.height());
    HScroll1->setVisible(wide);
    VScroll1->setVisible(tall);
    return area;
}

void Form1::SyncScrollBars() {
    if (!OwnsDocument()) return;
    const TextureDocument& d = DocumentAt(windowindex);
    const TextureEntry* e = EntryOf(d);
    if (e == nullptr) return;
    const TexelLayout picture = LayoutTexels(d, e->Width, e->Height);
    const auto sync = [](QScrollBar* bar, int pictureSize, int windowSize, int at, int texel) {
        const QSignalBlocker quiet(bar);
        bar->setRange(0, std::max(0, pictureSize - windowSize));
        bar->setPageStep(std::max(1, windowSize));
        bar->setSingleStep(std::max(16, texel));
        bar->setValue(-at);
    };
    sync(HScroll1, picture.width, d.ChainWidth, picture.x, picture.scale);
    sync(VScroll1, picture.height, d.ChainHeight, picture.y, picture.scale);
}

void Form1::ViewChanged() {
    RunHandler(&host_, [this] {
        if (!OwnsDocument()) return;
        const QSize area = PlaceScrollBars();
        const TextureDocument& d = DocumentAt(windowindex);
        if (area != QSize(d.ChainWidth, d.ChainHeight) && tag_ == WindowTag::Resize)
            ResizeSwapChain(windowindex, area.width(), area.height());
        DrawWhenFree();
        SyncScrollBars();
    });
}

void Form1::MovePicture(int x, int y) {
    wheelAnchor_.reset();
    TextureDocument& d = DocumentAt(windowindex);
    const TextureEntry* e = EntryOf(d);
    if (e == nullptr) return;
    PlacePicture(d, e->Width, e->Height, x, y);
    DrawWhenFree();
    SyncScrollBars();
}

void Form1::SetZoom(double zoom, std::optional<QPointF> at) {
    if (!at) wheelAnchor_.reset();  // the picture moves under the mouse
    RunHandler(&host_, [&] {
        if (!OwnsDocument()) return;
        TextureDocument& d = DocumentAt(windowindex);
        const TextureEntry* e = EntryOf(d);
        if (e == nullptr || !IsTexelView(d.ViewMode)) return;
        const QPointF mouse = at.value_or(QPointF(d.ChainWidth / 2.0, d.ChainHeight / 2.0));
        auto point = TexturePoint(d, e->Width, e->Height, mouse.x(), mouse.y());
        if (at && wheelAnchor_ && wheelAnchor_->first == *at) point = wheelAnchor_->second;
        d.Zoom = ZoomStep(zoom, 0);
        // The scroll bars the new picture needs come first: the point is kept in the area left.
        const QSize area = PlaceScrollBars();
        if (area != QSize(d.ChainWidth, d.ChainHeight))
            ResizeSwapChain(windowindex, area.width(), area.height());
        PutTexturePoint(d, e->Width, e->Height, point, mouse.x(), mouse.y());
        SetCaption(DocumentCaption(windowindex));
    });
    ViewChanged();
}

void Form1::ZoomBy(int steps, std::optional<QPointF> at) {
    if (!OwnsDocument()) return;
    SetZoom(ZoomStep(DocumentAt(windowindex).Zoom, steps), at);
}

void Form1::ZoomToFit() {
    wheelAnchor_.reset();
    RunHandler(&host_, [this] {
        if (!OwnsDocument()) return;
        TextureDocument& d = DocumentAt(windowindex);
        const TextureEntry* e = EntryOf(d);
        if (e == nullptr || !IsTexelView(d.ViewMode)) return;
        d.Zoom = FitZoom(width(), height(), e->Width, e->Height);
        d.CentreX = d.CentreY = 0.5;
        d.TileX = d.TileY = 0.0;
        SetCaption(DocumentCaption(windowindex));
    });
    ViewChanged();
}

void Form1::DrawWhenFree() {
    // A paint or resize handled inside another window's drawing (which lets queued calls run)
    // would have its drawing dropped, and the window would keep a picture of its old size, or
    // none at all.
    if (Module1().RenderGuard) {
        redrawTimer_.start();
        return;
    }
    RenderDocument(windowindex, false, &host_);
}

void Form1::Form_MouseDown(int button, int /*shift*/, float x, float y) {
    RunHandler(&host_, [&] {
        auto& state = Module1();
        if (windowindex != state.ActiveWindowIndex) {
            state.ActiveWindowIndex = windowindex;
            SyncViewMenu(&host_);
            setFocus();
        }
        if (state.CurrentTool != Tool::PickColor && state.CurrentTool != Tool::SetColorKey) return;
        // The texel's own colour (not the filtered, blended or alpha-only picture; its alpha is
        // not picked); beside the picture, the colour the window shows there.
        std::uint32_t color = Point(x, y);
        if (const auto texel = OwnsDocument() ? TexelUnderMouse(windowindex, x, y) : std::nullopt) {
            const TextureEntry& e = TextureAt(DocumentAt(windowindex).TextureIndex);
            const auto at =
                static_cast<std::size_t>((*texel)[1]) * static_cast<std::size_t>(e.Width) +
                static_cast<std::size_t>((*texel)[0]);
            if (e.Pixels.byteCount() > 4 * at) {
                const std::uint8_t* p = e.Pixels.data() + 4 * at;  // B G R A
                color = p[2] | (static_cast<std::uint32_t>(p[1]) << 8) |
                        (static_cast<std::uint32_t>(p[0]) << 16);
            }
        }
        if (button == kLeftButton) {
            state.ForegroundColor = color;
        } else {
            state.BackgroundColor = color;
        }
        host_.RefreshColorValue();
    });
}

void Form1::Form_MouseMove(int /*button*/, int /*shift*/, float x, float y) {
    RunHandler(&host_, [&] {
        // A window still being created or already closing has no document to map onto.
        if (!OwnsDocument()) return;
        const std::string text = TexelPositionText(windowindex, x, y);
        host_.SetStatusText(text);
        host_.DoEvents();
    });
}

void Form1::Form_MouseUp(int button, int /*shift*/, float x, float y) {
    if (button != kRightButton) return;
    RunHandler(&host_, [&] {
        SyncViewMenu(&host_);
        const QPoint global = mapToGlobal(QPointF(x, y)).toPoint();
        host_.PopupViewMenu(global.x(), global.y());
    });
}

void Form1::Form_KeyPress(int /*keyAscii*/) {}

std::uint32_t Form1::Point(float x, float y) const {
    const int areaWidth = ClientWidth();
    const int areaHeight = ClientHeight();
    if (presented_.isNull() || !(x >= 0.0f && y >= 0.0f && x < static_cast<float>(areaWidth) &&
                                 y < static_cast<float>(areaHeight))) {
        return WindowColor(palette().color(QPalette::Window).rgb());
    }
    // The image pixel that paintEvent puts under the centre of client pixel (x, y): the same
    // pixel when the image has the drawing area's size (the usual case), else the scaled one.
    const auto column = static_cast<int>(std::floor(x));
    const auto row = static_cast<int>(std::floor(y));
    const auto ix = static_cast<int>((column + 0.5) * presented_.width() / areaWidth);
    const auto iy = static_cast<int>((row + 0.5) * presented_.height() / areaHeight);
    return WindowColor(presented_.pixel(std::min(ix, presented_.width() - 1),
                                        std::min(iy, presented_.height() - 1)));
}

void Form1::QueuePaint() {
    if (paintQueued_ || resizeQueued_) return;
    paintQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            paintQueued_ = false;
            Form_Paint();
        },
        Qt::QueuedConnection);
}

void Form1::QueueResize() {
    if (resizeQueued_) return;
    resizeQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            resizeQueued_ = false;
            Form_Resize();
        },
        Qt::QueuedConnection);
}

void Form1::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect area(0, 0, ClientWidth(), ClientHeight());
    if (presented_.isNull()) {
        painter.fillRect(rect(), palette().window());
    } else {
        // As a present without a destination rectangle: the image fills the drawing area; the
        // corner between two scroll bars takes the window colour.
        painter.drawImage(area, presented_);
        if (area.size() != size())
            painter.fillRect(QRect(area.bottomRight() + QPoint(1, 1), size()), palette().window());
    }
    // A paint that no present asked for is an expose: draw the window afresh.
    if (!presentedSincePaint_) QueuePaint();
    presentedSincePaint_ = false;
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // While the window is being created its Tag is not yet "resize" and a resize has nothing to
    // rebuild; the check is made now, not when the queued call runs.
    if (tag_ == WindowTag::Resize) QueueResize();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown again after being minimised: the client size may have changed meanwhile.
    if (tag_ == WindowTag::Resize) {
        QueueResize();
    } else {
        QueuePaint();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // The host may ask about unsaved changes: Cancel, or a save that fails, keeps the window open.
    bool mayClose = false;
    RunHandler(&host_, [this, &mayClose] {
        mayClose = !OwnsDocument() || host_.ConfirmClose(windowindex);
    });
    if (!mayClose) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void Form1::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() == Qt::MiddleButton) panFrom_ = at.toPoint();
    Form_MouseDown(MouseButtonCode(event->button()), ShiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
    event->accept();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (wheelAnchor_ && wheelAnchor_->first != at) wheelAnchor_.reset();
    // A drag with the middle button pans the Normal and Tiled views.
    if (panFrom_ && (event->buttons() & Qt::MiddleButton) != 0 && OwnsDocument()) {
        const QPoint by = at.toPoint() - *panFrom_;
        panFrom_ = at.toPoint();
        RunHandler(&host_, [&] {
            const TextureDocument& d = DocumentAt(windowindex);
            const TextureEntry* e = EntryOf(d);
            if (e == nullptr || !IsTexelView(d.ViewMode) || by.isNull()) return;
            const TexelLayout picture = LayoutTexels(d, e->Width, e->Height);
            MovePicture(picture.x + by.x(), picture.y + by.y());
        });
    }
    Form_MouseMove(MouseButtonCode(event->buttons()), ShiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
    event->accept();
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() == Qt::MiddleButton) panFrom_.reset();
    Form_MouseUp(MouseButtonCode(event->button()), ShiftCode(event->modifiers()),
                 static_cast<float>(at.x()), static_cast<float>(at.y()));
    event->accept();
}

void Form1::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    Form_KeyPress(text.isEmpty() ? 0 : text.at(0).unicode());
    // Typed keys stop here: they have no effect in a texture window.
    event->accept();
}

void Form1::wheelEvent(QWheelEvent* event) {
    // A step per notch (120 eighths of a degree), finer wheels adding up; the Stretch views leave
    // the wheel to the workspace.
    if (!OwnsDocument() || !IsTexelView(DocumentAt(windowindex).ViewMode)) {
        event->ignore();
        return;
    }
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / 120;
    wheelRest_ -= steps * 120;
    const QPointF at = event->position();
    if (steps != 0) {
        const TextureDocument& d = DocumentAt(windowindex);
        if (const TextureEntry* e = EntryOf(d);
            e != nullptr && (!wheelAnchor_ || wheelAnchor_->first != at))
            wheelAnchor_ = {at, TexturePoint(d, e->Width, e->Height, at.x(), at.y())};
        ZoomBy(steps, at);
    }
    event->accept();
}

Form1* CreateForm1(QMdiArea* area, std::int32_t slot, WindowHost& host) {
    auto* form = new Form1(host);
    form->SetViewIndex(slot);
    QMdiSubWindow* sub = area->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(form->windowTitle());
    QObject::connect(area, &QMdiArea::subWindowActivated, form, [form, sub](QMdiSubWindow* active) {
        if (active == sub) form->Form_Activate();
    });
    sub->show();
    if (area->activeSubWindow() != sub) area->setActiveSubWindow(sub);
    return form;
}

}  // namespace tintora
