#include "effects/ui/slider_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "base/setting_values.h"
#include "texture_window/form1.h"

namespace tintora {

namespace {

QRect TwipsRect(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

QScrollBar* MakeScrollBar(const char* name, int minimum, int maximum, const QRect& geometry,
                          QWidget* parent) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(minimum, maximum);
    bar->setValue(0);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setTracking(true);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setGeometry(geometry);
    return bar;
}

QLabel* MakeLabel(const char* name, const char* caption, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

QPushButton* MakeButton(const char* name, const char* caption, const QRect& geometry,
                        QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace

SliderDialog::SliderDialog(WindowHost& host, QWidget* parent, const char* name,
                           const char* caption, Slider first, Slider second,
                           std::function<void()> preview)
    : QDialog(parent), host_(host) {
    setObjectName(QLatin1String(name));
    setWindowTitle(QString::fromUtf8(caption));
    setModal(true);
    setFixedSize(4590 / kTwipsPerPixel, 1710 / kTwipsPerPixel);

    Label1 = MakeLabel("Label1", first.caption, TwipsRect(120, 180, 1095, 255), this);
    HScroll1 = MakeScrollBar("HScroll1", first.minimum, first.maximum,
                             TwipsRect(1320, 120, 3135, 255), this);
    Label2 = MakeLabel("Label2", second.caption, TwipsRect(120, 660, 1095, 255), this);
    HScroll2 = MakeScrollBar("HScroll2", second.minimum, second.maximum,
                             TwipsRect(1320, 600, 3135, 255), this);
    Command1 = MakeButton("Command1", "OK", TwipsRect(1800, 1170, 1215, 375), this);
    Command1->setDefault(true);
    Command2 = MakeButton("Command2", "Cancel", TwipsRect(3240, 1170, 1215, 375), this);

    scheduler_ = new PreviewScheduler(std::move(preview), this, &host_);

    // The handlers are virtual: these connections call the dialog's own once it is built.
    connect(HScroll1, &QScrollBar::valueChanged, this,
            [this] { RunHandler(&host_, [this] { HScroll1_Change(); }); });
    connect(HScroll2, &QScrollBar::valueChanged, this,
            [this] { RunHandler(&host_, [this] { HScroll2_Change(); }); });
    connect(Command1, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command2_Click(); }); });
}

void SliderDialog::RequestPreview() {
    if (isVisible()) scheduler_->Request();
}

void SliderDialog::hideEvent(QHideEvent* event) {
    scheduler_->Drop();
    QDialog::hideEvent(event);
}

}  // namespace tintora
