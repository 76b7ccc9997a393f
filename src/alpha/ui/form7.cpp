#include "alpha/ui/form7.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "alpha/alpha_ops.h"
#include "alpha/alpha_texture.h"
#include "base/number_text.h"
#include "base/window_colors.h"
#include "document/module1.h"
#include "drawing/views.h"
#include "texture_window/form1.h"
#include "texture_window/widget_names.h"

namespace tintora {

namespace {

constexpr int kToleranceMinimum = 1;
constexpr int kToleranceMaximum = 100;

}  // namespace

Form7::Form7(WindowHost& host, QWidget* parent) : QDialog(parent, Qt::Tool), host_(host) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Alpha map generation from colorkey"));
    setModal(false);

    Label1 = Named(new QLabel(QStringLiteral("Color range :"), this), "Label1");
    Text1 = Named(new QLineEdit(QStringLiteral("2"), this), "Text1");
    Text1->setFixedWidth(48);
    Tolerance = Named(new QScrollBar(Qt::Vertical, this), "Tolerance");
    Tolerance->setRange(kToleranceMinimum, kToleranceMaximum);
    Tolerance->setValue(kToleranceMinimum);
    Tolerance->setSingleStep(1);
    Tolerance->setPageStep(1);
    // A small up/down control: just the two arrows.
    Tolerance->setFixedHeight(Text1->sizeHint().height());
    Label3 = Named(new QLabel(QStringLiteral("%"), this), "Label3");
    Label2 = Named(new QLabel(QStringLiteral("Select color :"), this), "Label2");
    Picture1 = Named(new QLabel(this), "Picture1");
    Picture1->setFixedSize(48, 24);
    Picture1->setFrameShape(QFrame::Box);
    Picture1->setAutoFillBackground(true);
    Label4 = Named(new QLabel(QStringLiteral("Pick a color or select it in the color panel"), this),
                   "Label4");
    Command2 = Named(new QPushButton(QStringLiteral("Preview"), this), "Command2");
    Command1 = Named(new QPushButton(QStringLiteral("Apply on texture"), this), "Command1");
    Command3 = Named(new QPushButton(QStringLiteral("New texture"), this), "Command3");
    for (QPushButton* button : {Command1, Command2, Command3}) button->setAutoDefault(false);

    auto* range = new QHBoxLayout;
    range->addWidget(Label1);
    range->addWidget(Text1);
    range->addWidget(Tolerance);
    range->addWidget(Label3);
    range->addStretch(1);
    auto* sample = new QHBoxLayout;
    sample->addWidget(Label2);
    sample->addWidget(Picture1);
    sample->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    buttons->addWidget(Command3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addLayout(sample);
    layout->addWidget(Label4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetSampleColor(Module1().ForegroundColor);

    connect(Text1, &QLineEdit::textChanged, this, [this] { RunHandler(&host_, [this] { Text1_Change(); }); });
    connect(Tolerance, &QScrollBar::valueChanged, this,
            [this] { RunHandler(&host_, [this] { Tolerance_Change(); }); });
    connect(Command1, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command2_Click(); }); });
    connect(Command3, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command3_Click(); }); });
}

void Form7::Text1_Change() {
    // The scroll bar takes the nearer end for numbers outside its range (and for huge ones that
    // would not round into 32 bits); the text stays as typed.
    const double number = LeadingNumber(Text1->text().toStdString());
    const double limited = std::clamp(number, static_cast<double>(kToleranceMinimum),
                                      static_cast<double>(kToleranceMaximum));
    fromText_ = true;
    Tolerance->setValue(static_cast<int>(std::nearbyint(limited)));
    fromText_ = false;
}

void Form7::Tolerance_Change() {
    if (fromText_) return;
    Text1->setText(QString::number(Tolerance->value()));
}

bool Form7::ComputePreview(std::int32_t& slot) {
    const Module1State& state = Module1();
    slot = state.ActiveWindowIndex;
    if (slot <= 0) return false;
    const std::int32_t threshold = ColourKeyThreshold(Text1->text().toStdString());
    AlphaFromColourKey(DocumentAt(slot).TextureIndex, state.ForegroundColor, threshold, &host_);
    return true;
}

void Form7::Command2_Click() {
    std::int32_t slot = 0;
    if (!ComputePreview(slot)) return;
    RenderDocument(slot, true, &host_);
}

void Form7::Command1_Click() {
    std::int32_t slot = 0;
    if (!ComputePreview(slot)) return;
    const std::int32_t texture = DocumentAt(slot).TextureIndex;
    RunStep(host_, texture, "Color key", [texture] { CommitAlphaPreview(texture); });
    RenderDocument(slot, false, &host_);
}

void Form7::Command3_Click() {}

void Form7::SetSampleColor(std::uint32_t color) {
    std::int32_t blue = 0;
    std::int32_t green = 0;
    std::int32_t red = 0;
    SplitColor(color, blue, green, red);
    QPalette palette = Picture1->palette();
    palette.setColor(QPalette::Window, QColor(red, green, blue));
    Picture1->setPalette(palette);
}

std::uint32_t Form7::SampleColor() const {
    const QColor c = Picture1->palette().color(QPalette::Window);
    return MakeColor(c.blue(), c.green(), c.red(), 0);
}

bool Form7::event(QEvent* event) {
    if (event->type() == QEvent::Show) {
        place_.Open(*this);
    } else if (event->type() == QEvent::Hide) {
        place_.Close(*this);
    }
    return QDialog::event(event);
}

}  // namespace tintora
