#include "files/ui/form6.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "files/texture_save.h"

namespace tintora {

namespace {

// The answers of Option1(0) to Option1(3).
constexpr std::array<const char*, 4> kAnswers = {kExport32, kExport24, kExport16,
                                                 kExportCompressed};

}  // namespace

Form6::Form6(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Export DDS / ZVT"));
    setModal(true);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setMinimumWidth(300);

    Frame1 = new QGroupBox(QStringLiteral("Format options: "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(Frame1);
    const std::array<const char*, 4> captions = {"32 bits format", "24 bits format",
                                                 "16 bits format", "Compressed"};
    for (std::size_t i = 0; i < Option1.size(); ++i) {
        Option1[i] = new QRadioButton(QString::fromLatin1(captions[i]), Frame1);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        options->addWidget(Option1[i]);
    }
    Option1[0]->setChecked(true);

    Check1 = new QCheckBox(QStringLiteral("Export Alpha information."), this);
    Check1->setObjectName(QStringLiteral("Check1"));

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Frame1);
    layout->addWidget(Check1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::string Form6::ShowModal(const std::string& labelText, bool textureHasAlpha) {
    Label1->setText(QString::fromStdString(labelText));
    Check1->setChecked(textureHasAlpha);
    exec();
    return Tag;
}

void Form6::Command1_Click() {
    for (std::size_t i = 0; i < Option1.size(); ++i) {
        if (Option1[i]->isChecked()) {
            Tag = kAnswers[i];
            break;
        }
    }
    hide();
}

void Form6::Command2_Click() {
    Tag = kExportCancel;
    hide();
}

void Form6::reject() {
    Command2_Click();
}

}  // namespace tintora
