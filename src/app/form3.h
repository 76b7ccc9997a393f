// Form3, the splash window shown modally at start-up: the splash picture with a status label
// (Label1) near its bottom edge. It hides itself on the first tick of Timer1 (2000 ms) or when
// clicked, which ends the modal show; it stays loaded (hidden) for the rest of the run.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace tintora {

class Form3 : public QDialog {
    Q_OBJECT

  public:
    explicit Form3(QWidget* parent = nullptr);

    QLabel* Picture = nullptr;  // the splash picture
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;  // 2000 ms, enabled by Form_Load

    // Loads the window (Form_Load runs once) and shows it modally; returns once it is hidden.
    void ShowModal();

    void Form_Load();
    void Timer1_Timer();
    void Form_Click();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool loaded_ = false;
};

}  // namespace tintora
