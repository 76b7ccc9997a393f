// MsgBox2, the once-only message box: a warning icon (Image1), the message (Label1), the check box
// "Never display again this message" (Check1, unchecked at first) and "OK" (Command1). Its title
// is set at each use. "OK" and closing by the frame only hide it, so the check box keeps its state
// from one use to the next.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tintora {

class MsgBox2 : public QDialog {
    Q_OBJECT

  public:
    explicit MsgBox2(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;  // "OK"

    // Sets the text and title, shows the box modally and returns Check1's state when it closes
    // (0 unchecked, 1 checked).
    int ShowModal(const std::string& message, const std::string& title);

    void Command1_Click();
};

}  // namespace tintora
