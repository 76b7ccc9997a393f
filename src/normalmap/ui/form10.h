// Form10, "Generate a normal map texture": a modeless window that makes a normal map of the
// active texture into a new texture window.
//
// Controls: Label2 "Create normal map from data :", five option buttons in one group (Option1
// index 1 "Red", chosen at first; Option2 "Green"; Option1 index 0 "Blue", index 2 "Luminance",
// index 3 "Alpha"), Label1 "Amplitude :" with Text1 (starts "10.0"), Command1 "Generate !"
// (Enter) and Command2 "Cancel" (Escape and the close box).
//
// "Generate !" calls CreateNormalMapTexture with the chosen option's source code and Text1's
// text, then hides the window; with no active texture window it does nothing and the window
// stays. "Cancel" hides it. The window is only ever hidden, so the choice and the text are there
// the next time it is shown.
//
// Handlers run through RunHandler: an error is reported as "Error <n>: <description>", nothing of
// the unfinished map is left, and the window stays open. UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "texture_window/window_host.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tintora {

class Form10 : public QDialog {
    Q_OBJECT

  public:
    // host: the main window (it must outlive this one).
    explicit Form10(WindowHost& host, QWidget* parent = nullptr);

    QLabel* Label2 = nullptr;
    // Option1(0) "Blue", Option1(1) "Red", Option1(2) "Luminance", Option1(3) "Alpha".
    std::array<QRadioButton*, 4> Option1{};
    QRadioButton* Option2 = nullptr;  // "Green"
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;  // "Generate !"
    QPushButton* Command2 = nullptr;  // "Cancel"

    void Command1_Click();
    void Command2_Click();

    // The generator's source code for the chosen option: Red 1, Luminance 2, Blue 4, Alpha 8,
    // Green 16.
    std::int32_t SourceCode() const;

  public Q_SLOTS:
    // Escape and the close box: "Cancel".
    void reject() override;

  private:
    WindowHost& host_;
};

}  // namespace tintora
