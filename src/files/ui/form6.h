// Form6, "Export DDS / ZVT": where the file goes (Label1), the format options in Frame1
// ("32 bits format", "24 bits format", "16 bits format", "Compressed": the control array Option1,
// index 0 chosen at first), the check box "Export Alpha information." (Check1, read by nothing;
// it opens checked for a texture with alpha, one whose alpha is not 255 everywhere), "OK"
// (Command1, Enter) and "Cancel" (Command2, Escape).
//
// The answer goes into Tag: "32", "24", "16" or "COMP" from "OK" (the first chosen option; with
// none chosen Tag keeps its value), "CANCEL" from "Cancel". Closing by the frame is "Cancel".
// The dialog is only hidden, so it shows the last choice next time. UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tintora {

class Form6 : public QDialog {
    Q_OBJECT

  public:
    explicit Form6(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 4> Option1{};
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;  // "OK"
    QPushButton* Command2 = nullptr;  // "Cancel"

    std::string Tag;

    // Sets Label1 and Check1 (checked when the texture has alpha), shows the dialog modally and
    // returns Tag once it is hidden.
    std::string ShowModal(const std::string& labelText, bool textureHasAlpha);

    void Command1_Click();
    void Command2_Click();

  public Q_SLOTS:
    // Escape and the frame's close button: "Cancel".
    void reject() override;
};

}  // namespace tintora
