#include "app/form3.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>

namespace tintora {

namespace {
constexpr int kSplashWidth = 480;
constexpr int kSplashHeight = 300;
}  // namespace

Form3::Form3(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Tintora"));
    setFixedSize(kSplashWidth, kSplashHeight);

    Picture = new QLabel(this);
    Picture->setGeometry(0, 0, kSplashWidth, kSplashHeight);
    Picture->setPixmap(QPixmap(QStringLiteral(":/tintora/splash.jpg")));
    Picture->setAttribute(Qt::WA_TransparentForMouseEvents);

    // White text on the picture's dark bottom band.
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, kSplashHeight - 26, kSplashWidth - 32, 18);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);

    Timer1 = new QTimer(this);
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &Form3::Timer1_Timer);
}

void Form3::ShowModal() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    // QDialog::exec returns when the dialog is hidden.
    exec();
}

void Form3::Form_Load() {
    Label1->setText(QStringLiteral("Loading...."));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    Timer1->start();
}

void Form3::Timer1_Timer() {
    Timer1->stop();
    hide();
}

void Form3::Form_Click() {
    hide();
}

void Form3::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void Form3::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Form_Click();
    }
    QDialog::mouseReleaseEvent(event);
}

}  // namespace tintora
