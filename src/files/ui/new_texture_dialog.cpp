#include "files/ui/new_texture_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/number_text.h"
#include "texture_window/form1.h"
#include "texture_window/widget_names.h"

namespace tintora {

NewTexture::NewTexture(Services& services, MessageSink* reports, QWidget* parent)
    : QDialog(parent), services_(services), reports_(reports) {
    setObjectName(QStringLiteral("NewTexture"));
    setWindowTitle(QStringLiteral("New Texture..."));
    setModal(true);

    Sele = Named(new QLabel(QStringLiteral(
                                "Select the size and the type of the texture you want to work on."),
                            this),
                 "Sele");
    Sele->setWordWrap(true);
    Label1 = Named(new QLabel(QStringLiteral("Width :"), this), "Label1");
    Text1 = Named(new QLineEdit(QStringLiteral("256"), this), "Text1");
    Label2 = Named(new QLabel(QStringLiteral("Height :"), this), "Label2");
    Text2 = Named(new QLineEdit(QStringLiteral("256"), this), "Text2");
    Command1 = Named(new QPushButton(QStringLiteral("Create"), this), "Command1");
    Command2 = Named(new QPushButton(QStringLiteral("Cancel"), this), "Command2");
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(false);

    Frame1 = Named(new QGroupBox(QStringLiteral("Alpha layer initialization"), this), "Frame1");
    Option1 = Named(new QRadioButton(QStringLiteral("Opaque "), Frame1), "Option1");
    Option2 = Named(new QRadioButton(QStringLiteral("Transparent"), Frame1), "Option2");
    Option3 = Named(new QRadioButton(QStringLiteral("No alpha layer"), Frame1), "Option3");
    Option1->setChecked(true);
    auto* options = new QVBoxLayout(Frame1);
    options->addWidget(Option1);
    options->addWidget(Option2);
    options->addWidget(Option3);

    // Tab order: the instruction, width, height, Create, Cancel, the options.
    auto* sizes = new QGridLayout;
    sizes->addWidget(Label1, 0, 0);
    sizes->addWidget(Text1, 0, 1);
    sizes->addWidget(Label2, 1, 0);
    sizes->addWidget(Text2, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(sizes, 1);
    middle->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Sele);
    layout->addLayout(middle);
    layout->addWidget(Frame1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Option1);

    connect(Command1, &QPushButton::clicked, this,
            [this] { RunHandler(reports_, [this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { RunHandler(reports_, [this] { Command2_Click(); }); });
}

void NewTexture::Command1_Click() {
    std::int32_t width = TextBoxInteger(Text1->text().toStdString());
    std::int32_t height = TextBoxInteger(Text2->text().toStdString());
    const std::int32_t typedWidth = width;
    const std::int32_t typedHeight = height;
    AcceptTextureSize(width, height);
    if (width != typedWidth || height != typedHeight) {
        if (!services_.messageBoxes->AskYesNo(PowerOfTwoQuestion(width, height),
                                              kNewTextureQuestionTitle)) {
            return;
        }
        Text1->setText(QString::number(width));
        Text2->setText(QString::number(height));
    }
    Tag = "Yes";
    hide();
}

void NewTexture::Command2_Click() {
    Tag = "No";
    hide();
}

AlphaInitialization NewTexture::SelectedAlpha() const {
    if (Option2->isChecked()) return AlphaInitialization::Transparent;
    if (Option3->isChecked()) return AlphaInitialization::NoAlphaLayer;
    return AlphaInitialization::Opaque;
}

void NewTexture::reject() {
    Command2_Click();
}

void NewTexture::closeEvent(QCloseEvent* event) {
    closedByFrame_ = true;
    QDialog::closeEvent(event);
}

}  // namespace tintora
