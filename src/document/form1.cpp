#include "document/form1.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QShowEvent>
#include <cstdio>
#include <cstring>
#include <new>

#include "document/views.h"
#include "platform/error.h"

namespace tintora {

namespace {

// True while a handler's error report is showing.
bool reportShowing = false;

}  // namespace

std::string ErrorReportText(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error)) {
        return "Error " + std::to_string(platform->code()) + ": " + platform->what();
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return "Error 7: Out of memory";
    return std::string("Error: ") + error.what();
}

void RunHandler(const std::function<void()>& work) {
    std::string report;
    try {
        work();
        return;
    } catch (const std::exception& error) {
        report = ErrorReportText(error);
    }
    auto& hooks = Module1().Hooks;
    if (reportShowing || !hooks.MessageBox) {
        std::fprintf(stderr, "Tintora: %s\n", report.c_str());
        return;
    }
    reportShowing = true;
    try {
        hooks.MessageBox(report);
    } catch (...) {
        reportShowing = false;
        throw;
    }
    reportShowing = false;
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Texture1"));
    // paintEvent covers the whole client area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
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
    // The frame is whatever the MDI child adds around this widget.
    const QSize frame = sub->size() - size();
    sub->resize(QSize(width, height) + frame);
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
    // B G R X bytes: a 32-bit RGB image. Reuse the stored image when the size is unchanged.
    if (presented_.width() != image.width || presented_.height() != image.height ||
        presented_.format() != QImage::Format_RGB32) {
        presented_ = QImage(image.width, image.height, QImage::Format_RGB32);
    }
    const auto rowBytes = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(presented_.scanLine(y),
                    image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch, rowBytes);
    }
    presentedSincePaint_ = true;
    update();
}

void Form1::Form_Activate() {
    RunHandler([this] { ActivateTextureWindow(windowindex); });
}

void Form1::Form_Unload() {
    RunHandler([this] {
        if (OwnsDocument()) CloseTextureWindow(windowindex);
    });
}

void Form1::Form_Paint() {
    RunHandler([this] {
        if (OwnsDocument()) RenderDocument(windowindex, false);
    });
}

void Form1::Form_Resize() {
    RunHandler([this] {
        QMdiSubWindow* sub = subWindow();
        if ((sub != nullptr && sub->isMinimized()) || isMinimized() || !OwnsDocument()) return;
        const std::int32_t w = width();
        const std::int32_t h = height();
        ResizeSwapChain(windowindex, w, h);
        RenderDocument(windowindex, false);
    });
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
    if (presented_.isNull()) {
        painter.fillRect(rect(), palette().window());
    } else {
        // As a present without a destination rectangle: the image fills the client area.
        painter.drawImage(rect(), presented_);
    }
    // A paint that no present asked for is an expose: draw the window afresh.
    if (!presentedSincePaint_) QueuePaint();
    presentedSincePaint_ = false;
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // While the window is being created its Tag is not yet "resize" and a resize has nothing to
    // rebuild; the check is made now, not when the queued call runs.
    if (tag_ == kResizeTag) QueueResize();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown again after being minimised: the client size may have changed meanwhile.
    if (tag_ == kResizeTag) {
        QueueResize();
    } else {
        QueuePaint();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

Form1* CreateForm1(QMdiArea* area, std::int32_t slot) {
    auto* form = new Form1;
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
