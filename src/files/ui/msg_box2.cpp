#include "files/ui/msg_box2.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace tintora {

MsgBox2::MsgBox2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MsgBox2"));
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    Image1->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
    Image1->setAlignment(Qt::AlignTop);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setMinimumWidth(360);

    Check1 = new QCheckBox(QStringLiteral("Never display again this message"), this);
    Check1->setObjectName(QStringLiteral("Check1"));

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(Image1, 0, 0, 2, 1);
    layout->addWidget(Label1, 0, 1, 1, 2);
    layout->addWidget(Check1, 1, 1);
    layout->addWidget(Command1, 1, 2, Qt::AlignRight | Qt::AlignBottom);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int MsgBox2::ShowModal(const std::string& message, const std::string& title) {
    Label1->setText(QString::fromStdString(message));
    setWindowTitle(QString::fromStdString(title));
    exec();
    return Check1->isChecked() ? 1 : 0;
}

void MsgBox2::Command1_Click() {
    hide();
}

}  // namespace tintora
