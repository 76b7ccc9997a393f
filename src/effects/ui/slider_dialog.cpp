#include "effects/ui/slider_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <map>

#include "base/setting_values.h"
#include "texture_window/form1.h"
#include "texture_window/window_places.h"

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
    // A scroll bar's keys scroll by default: → lowers the value of a horizontal one. Here the
    // thumb follows the arrow (→ and ↑ raise the value); the values themselves are the same.
    bar->setInvertedControls(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setGeometry(geometry);
    return bar;
}

// A number box beside a bar, over the same range: it shows the bar's value and moves the bar to
// a value typed into it once that is entered.
QSpinBox* MakeValueBox(const char* name, QScrollBar* bar, const QRect& geometry, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(bar->minimum(), bar->maximum());
    box->setValue(bar->value());
    box->setKeyboardTracking(false);
    box->setAlignment(Qt::AlignRight);
    box->setGeometry(geometry);
    QObject::connect(bar, &QScrollBar::valueChanged, box, &QSpinBox::setValue);
    QObject::connect(box, &QSpinBox::valueChanged, bar, &QScrollBar::setValue);
    return box;
}

// Where each dialog was last left, by name, for this run (Form2 is made anew for every use).
BesideTexturePlace& PlaceOf(const QString& name) {
    static std::map<QString, BesideTexturePlace> places;
    return places[name];
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
    setFixedSize(5550 / kTwipsPerPixel, 1710 / kTwipsPerPixel);

    Label1 = MakeLabel("Label1", first.caption, TwipsRect(120, 180, 1095, 255), this);
    HScroll1 = MakeScrollBar("HScroll1", first.minimum, first.maximum,
                             TwipsRect(1320, 120, 3135, 255), this);
    Label2 = MakeLabel("Label2", second.caption, TwipsRect(120, 660, 1095, 255), this);
    HScroll2 = MakeScrollBar("HScroll2", second.minimum, second.maximum,
                             TwipsRect(1320, 600, 3135, 255), this);
    Value1 = MakeValueBox("Value1", HScroll1, TwipsRect(4560, 75, 900, 330), this);
    Value2 = MakeValueBox("Value2", HScroll2, TwipsRect(4560, 555, 900, 330), this);
    Command1 = MakeButton("Command1", "OK", TwipsRect(2760, 1170, 1215, 375), this);
    Command1->setDefault(true);
    Command2 = MakeButton("Command2", "Cancel", TwipsRect(4200, 1170, 1215, 375), this);

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

void SliderDialog::showEvent(QShowEvent* event) {
    PlaceOf(objectName()).Open(*this);
    QDialog::showEvent(event);
}

void SliderDialog::hideEvent(QHideEvent* event) {
    PlaceOf(objectName()).Close(*this);
    scheduler_->Drop();
    QDialog::hideEvent(event);
}

}  // namespace tintora
