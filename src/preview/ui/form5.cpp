#include "preview/ui/form5.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstring>

#include "base/setting_values.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "preview/preview_settings.h"
#include "texture_window/form1.h"
#include "texture_window/window_places.h"

namespace tintora {

namespace {

// Designed client area 4365 x 4425 twips; the bottom panel is 765 twips high.
constexpr int kDesignWidth = 4365 / kTwipsPerPixel;
constexpr int kDesignHeight = 4425 / kTwipsPerPixel;
constexpr int kPanelHeight = 765 / kTwipsPerPixel;
constexpr int kDesignPictureHeight = 3495 / kTwipsPerPixel;
// Gap between the picture and the bottom panel, in pixels.
constexpr int kPanelGap = 10;

QRect TwipsRect(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

// Qt's buttons as the preview's button mask; buttons beyond the three count as "other".
int ButtonMask(Qt::MouseButtons buttons) {
    int mask = 0;
    if (buttons & Qt::LeftButton) mask |= kPreviewLeftButton;
    if (buttons & Qt::RightButton) mask |= kPreviewRightButton;
    if (buttons & Qt::MiddleButton) mask |= kPreviewMiddleButton;
    if (buttons & ~(Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)) mask |= 8;
    return mask;
}

// The size of the active texture window's texture; 0 x 0 without one.
QSize ActiveTextureSize() {
    const auto& state = Module1();
    const std::int32_t slot = state.ActiveWindowIndex;
    if (slot <= 0 || static_cast<std::size_t>(slot) >= state.DocumentTable.size()) return {0, 0};
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    if (texture <= 0 || static_cast<std::size_t>(texture) >= state.TextureTable.size()) return {0, 0};
    return {TextureAt(texture).Width, TextureAt(texture).Height};
}

}  // namespace

PresentedPicture::PresentedPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PresentedPicture::PresentImage(const ImageView& image) {
    if (image.bits == nullptr || image.width <= 0 || image.height <= 0) return;
    // 32-bit pixels (B G R A / B G R X in memory) are QImage's RGB32 on a little-endian machine.
    if (image.format != D3DFMT_X8R8G8B8 && image.format != D3DFMT_A8R8G8B8) return;
    if (presented_.width() != image.width || presented_.height() != image.height) {
        presented_ = QImage(image.width, image.height, QImage::Format_RGB32);
    }
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(presented_.scanLine(y),
                    image.bits + static_cast<std::ptrdiff_t>(y) * image.pitch,
                    static_cast<std::size_t>(image.width) * 4);
    }
    ++presentCount_;
    update();
}

void PresentedPicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!presented_.isNull()) painter.drawImage(0, 0, presented_);
}

Form5::Form5(Services& services, QMdiArea& area, WindowHost& host)
    : QWidget(nullptr), services_(services), area_(area), host_(host) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("3d view"));
    resize(kDesignWidth, kDesignHeight);

    Picture1 = new PresentedPicture(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(0, 0, kDesignWidth, kDesignPictureHeight);
    Picture1->installEventFilter(this);

    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(0, kDesignHeight - kPanelHeight, kDesignWidth, kPanelHeight);
    Option1 = new QRadioButton(QStringLiteral("Sphere"), Picture2);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setGeometry(TwipsRect(75, 105, 1815, 240));
    Option1->setChecked(true);
    Option2 = new QRadioButton(QStringLiteral("Wall"), Picture2);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setGeometry(TwipsRect(75, 375, 1815, 240));
    Check1 = new QCheckBox(QStringLiteral("AutoRotate"), Picture2);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(TwipsRect(2685, 195, 1635, 270));
    // A grayed box (from the settings) becomes a plain two-state box once the user clicks it.
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1->setTristate(false); });
    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Check1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    // A sizable tool-window frame without minimise and maximise buttons.
    subWindow_ =
        area_.addSubWindow(this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    subWindow_->setObjectName(QStringLiteral("Form5Frame"));
    subWindow_->hide();
}

Form5::~Form5() {
    Form_QueryUnload();
    // The preview document's swap chain must not outlive the picture box it presents into.
    auto& state = Module1();
    if (state.PreviewDocIndex > 0 && state.PreviewDocIndex <= state.DocumentTableUBound &&
        static_cast<std::size_t>(state.PreviewDocIndex) < state.DocumentTable.size()) {
        TextureDocument& d = DocumentAt(state.PreviewDocIndex);
        if (d.SwapChain && d.SwapChain->window() == Picture1) d.SwapChain.reset();
    }
    if (state.PresentParams.hDeviceWindow == this ||
        state.PresentParams.hDeviceWindow == Picture1) {
        state.PresentParams.hDeviceWindow = nullptr;
    }
}

void Form5::Form_Load() {
    Timer1->start();
    ShowWindow(false);
    QCoreApplication::processEvents();

    // By default the window stands in the workspace's top-right corner, beside the textures.
    const QRect workspace = area_.viewport()->rect();
    const QSize size = subWindow_->size();
    const QPoint corner(workspace.right() + 1 - size.width(), workspace.top());
    const PreviewSettings read =
        ReadPreviewSettings(*services_.settings, static_cast<float>(corner.x() * kTwipsPerPixel),
                            static_cast<float>(corner.y() * kTwipsPerPixel));

    // The option buttons show what the frame draws: "Wall" when "Sphere" is not chosen.
    if (read.sphere) {
        Option1->setChecked(true);
    } else {
        Option2->setChecked(true);
    }
    switch (read.check) {
        case kCheckChecked:
            Check1->setCheckState(Qt::Checked);
            break;
        case kCheckGrayed:
            Check1->setCheckState(Qt::PartiallyChecked);
            break;
        default:
            Check1->setCheckState(Qt::Unchecked);
            break;
    }
    // A stored place that leaves part of the window out of the workspace gives the default.
    QPoint place(TwipsToPixels(read.left), TwipsToPixels(read.top));
    if (!workspace.contains(QRect(place, size))) place = corner;
    subWindow_->move(KeepInside(place, size, workspace));
}

void Form5::Form_QueryUnload() {
    Timer1->stop();
}

void Form5::Form_Resize() {
    if (subWindow_->isMinimized()) return;
    const int pictureHeight = height() - Picture2->height() - kPanelGap;
    Picture1->setGeometry(0, 0, width(), std::max(0, pictureHeight));
    // An empty view keeps the swap chain it has: there is nothing to draw into. Before start-up
    // has made the preview document there is no swap chain to rebuild.
    if (pictureHeight <= 0 || width() <= 0 || Module1().PreviewDocIndex <= 0) return;
    RunHandler(&host_, [this] {
        ResizeSwapChain(Module1().PreviewDocIndex, Picture1->width(), Picture1->height(), &host_,
                        &host_);
    });
}

void Form5::Picture1_MouseDown(int /*button*/, float x, float y) {
    PreviewMouseDown(camera, x, y);
}

void Form5::Picture1_MouseMove(int button, float x, float y) {
    PreviewMouseMove(camera, button, x, y);
}

void Form5::Timer1_Timer() {
    DrawPreviewFrame(camera, FrameView());
}

void Form5::SetSettings() {
    WritePreviewSettings(*services_.settings, static_cast<float>(subWindow_->x() * kTwipsPerPixel),
                         static_cast<float>(subWindow_->y() * kTwipsPerPixel),
                         Option1->isChecked());
}

PreviewFrameView Form5::FrameView() const {
    PreviewFrameView view;
    view.sphere = Option1->isChecked();
    view.autoRotate = Check1->checkState() == Qt::Checked;
    view.pictureWidth = static_cast<float>(Picture1->width());
    view.pictureHeight = static_cast<float>(Picture1->height());
    return view;
}

void Form5::ShowWindow(bool focus) {
    subWindow_->show();
    show();
    subWindow_->raise();
    if (focus) area_.setActiveSubWindow(subWindow_);
}

void Form5::HideWindow() {
    subWindow_->hide();
}

void Form5::SetOuterSizeTwips(double width, double height) {
    subWindow_->resize(TwipsToPixels(width), TwipsToPixels(height));
    // Grown to the right or down, the window moves back into the workspace.
    subWindow_->move(KeepInside(subWindow_->pos(), subWindow_->size(), area_.viewport()->rect()));
}

bool Form5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Picture1) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            Picture1_MouseDown(ButtonMask(mouse->button()),
                               static_cast<float>(mouse->position().x()),
                               static_cast<float>(mouse->position().y()));
        } else if (event->type() == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            Picture1_MouseMove(ButtonMask(mouse->buttons()),
                               static_cast<float>(mouse->position().x()),
                               static_cast<float>(mouse->position().y()));
        } else if (event->type() == QEvent::Wheel) {
            const QSize texture = ActiveTextureSize();
            PreviewWheel(camera, static_cast<QWheelEvent*>(event)->angleDelta().y() / 120.0,
                         texture.width(), texture.height());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form5::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The panel stays on the bottom edge at its own height; the picture spans the width.
    Picture2->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
    Form_Resize();
}

void Form5::closeEvent(QCloseEvent* event) {
    event->ignore();
    HideWindow();
}

}  // namespace tintora
