#include "app/form5.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "app/mdi_form1.h"
#include "app/setting_values.h"

namespace tintora {

namespace {
// Designed client area 4365 x 4425 twips; the bottom panel is 765 twips high.
constexpr int kDesignWidth = 4365 / kTwipsPerPixel;
constexpr int kDesignHeight = 4425 / kTwipsPerPixel;
constexpr int kPanelHeight = 765 / kTwipsPerPixel;
// Gap between the picture and the bottom panel, in pixels.
constexpr int kPanelGap = 10;
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
    update();
}

void PresentedPicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!presented_.isNull()) painter.drawImage(0, 0, presented_);
}

Form5::Form5(Services& services, MDIForm1& main)
    : QWidget(nullptr), services_(services), main_(main) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("3d view"));
    resize(kDesignWidth, kDesignHeight);

    Picture1 = new PresentedPicture(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));

    // A sizable tool-window frame without minimise and maximise buttons.
    subWindow_ = main_.mdiArea->addSubWindow(
        this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    subWindow_->setObjectName(QStringLiteral("Form5Frame"));
    subWindow_->hide();
}

void Form5::Form_Load() {
    ShowWindow(false);
    QCoreApplication::processEvents();

    const std::string app = kSettingsApplication;
    const float mainHeight = static_cast<float>(main_.frameGeometry().height() * kTwipsPerPixel);
    const float ownHeight = static_cast<float>(subWindow_->height() * kTwipsPerPixel);
    const std::string left = services_.settings->GetSetting(app, "Tintora", "3DX", "200");
    const std::string top = services_.settings->GetSetting(
        app, "Tintora", "3DY", SingleToText(mainHeight - ownHeight - 1500.0f));
    subWindow_->move(TwipsToPixels(TextToSingle(left, 200.0f)),
                     TwipsToPixels(TextToSingle(top, 0.0f)));
}

void Form5::SetSettings() {
    const std::string app = kSettingsApplication;
    services_.settings->SaveSetting(
        app, "Tintora", "3DX", SingleToText(static_cast<float>(subWindow_->x() * kTwipsPerPixel)));
    services_.settings->SaveSetting(
        app, "Tintora", "3DY", SingleToText(static_cast<float>(subWindow_->y() * kTwipsPerPixel)));
    // The shape choice arrives with the preview's controls; until then the sphere is shown.
    services_.settings->SaveSetting(app, "Tintora", "3DView", "True");
    services_.settings->SaveSetting(app, "Tintora", "3DCheck", "0");
}

void Form5::ShowWindow(bool focus) {
    subWindow_->show();
    show();
    subWindow_->raise();
    if (focus) main_.mdiArea->setActiveSubWindow(subWindow_);
}

void Form5::HideWindow() {
    subWindow_->hide();
}

void Form5::SetOuterSizeTwips(double width, double height) {
    subWindow_->resize(TwipsToPixels(width), TwipsToPixels(height));
}

void Form5::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Picture1 spans the top, the panel the bottom, 10 pixels apart.
    const int pictureHeight = std::max(0, height() - kPanelHeight - kPanelGap);
    Picture1->setGeometry(0, 0, width(), pictureHeight);
    Picture2->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
}

void Form5::closeEvent(QCloseEvent* event) {
    event->ignore();
    HideWindow();
}

}  // namespace tintora
