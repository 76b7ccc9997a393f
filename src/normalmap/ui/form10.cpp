#include "normalmap/ui/form10.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

#include "normalmap/normal_map.h"
#include "normalmap/normal_map_texture.h"
#include "texture_window/form1.h"

namespace tintora {

namespace {

constexpr std::int32_t CodeOf(HeightSource source) {
    return static_cast<std::int32_t>(source);
}

}  // namespace

Form10::Form10(WindowHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("Generate a normal map texture"));
    setModal(false);

    // Made in tab order (the buttons, the amplitude, Green, then Red, Blue, Luminance, Alpha),
    // which is the order focus visits them.
    Command1 = new QPushButton(QStringLiteral("Generate !"), this);
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Label1 = new QLabel(QStringLiteral("Amplitude :"), this);
    Text1 = new QLineEdit(QStringLiteral("10.0"), this);
    // All five share this window as parent, so they form one exclusive group.
    Option2 = new QRadioButton(QStringLiteral("Green"), this);
    const char* const captions[] = {"Blue", "Red", "Luminance", "Alpha"};
    for (const int i : {1, 0, 2, 3}) {
        Option1[i] = new QRadioButton(QLatin1String(captions[i]), this);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
    }
    Option1[1]->setChecked(true);
    Label2 = new QLabel(QStringLiteral("Create normal map from data :"), this);
    const std::pair<QWidget*, const char*> names[] = {
        {Command1, "Command1"}, {Command2, "Command2"}, {Label1, "Label1"},
        {Text1, "Text1"},       {Option2, "Option2"},   {Label2, "Label2"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(QLatin1String(name));
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(false);

    // The sources in the order a painter reads them: the colour channels, then the others.
    auto* sources = new QVBoxLayout;
    sources->addWidget(Label2);
    for (QRadioButton* option : {Option1[1], Option2, Option1[0], Option1[2], Option1[3]})
        sources->addWidget(option);
    auto* amplitude = new QHBoxLayout;
    amplitude->addWidget(Label1);
    amplitude->addWidget(Text1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sources);
    layout->addLayout(amplitude);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Command1, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { RunHandler(&host_, [this] { Command2_Click(); }); });
}

std::int32_t Form10::SourceCode() const {
    if (Option2->isChecked()) return CodeOf(HeightSource::Green);
    if (Option1[0]->isChecked()) return CodeOf(HeightSource::Blue);
    if (Option1[2]->isChecked()) return CodeOf(HeightSource::Luminance);
    if (Option1[3]->isChecked()) return CodeOf(HeightSource::Alpha);
    return CodeOf(HeightSource::Red);
}

void Form10::Command1_Click() {
    if (CreateNormalMapTexture(SourceCode(), Text1->text().toStdString(), host_.Access()) == 0) return;
    hide();
}

void Form10::Command2_Click() {
    hide();
}

void Form10::reject() {
    RunHandler(&host_, [this] { Command2_Click(); });
}

}  // namespace tintora
