// NewTexture, the "New Texture..." dialog: width (Text1) and height (Text2), both "256" at first,
// "Create" (Command1, Enter) and "Cancel" (Command2, Escape), and the "Alpha layer
// initialization" frame (Frame1) with "Opaque " (Option1, chosen at first), "Transparent"
// (Option2) and "No alpha layer" (Option3).
//
// "Create" checks the size against what the device accepts; when it differs it asks (Yes/No,
// title "Tintora") whether to take the closest accepted size: Yes writes it into the boxes and
// answers, No leaves the dialog open and unchanged. Answers go into Tag: "Yes" after "Create",
// "No" after "Cancel"; both hide the dialog, so it shows the last values next time. Closing by
// the frame answers nothing: closedByFrame() is then true and the owner discards the dialog.
//
// Handlers run through RunHandler (errors are reported, the dialog stays). UI thread only.
#pragma once

#include <QDialog>
#include <string>

#include "document/window_system.h"
#include "files/new_texture.h"
#include "services/services.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tintora {

class NewTexture : public QDialog {
    Q_OBJECT

  public:
    // Errors of its handlers go to reports (may be null).
    NewTexture(Services& services, MessageSink* reports, QWidget* parent = nullptr);

    QLabel* Sele = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;  // "Create"
    QPushButton* Command2 = nullptr;  // "Cancel"
    QGroupBox* Frame1 = nullptr;
    QRadioButton* Option1 = nullptr;  // "Opaque "
    QRadioButton* Option2 = nullptr;  // "Transparent"
    QRadioButton* Option3 = nullptr;  // "No alpha layer"

    // "Yes", "No", or empty before the first answer.
    std::string Tag;

    void Command1_Click();
    void Command2_Click();

    // The chosen start content.
    AlphaInitialization SelectedAlpha() const;
    // True once the dialog was closed by its frame.
    bool closedByFrame() const { return closedByFrame_; }

  public Q_SLOTS:
    // Escape: "Cancel".
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    Services& services_;
    MessageSink* reports_;
    bool closedByFrame_ = false;
};

}  // namespace tintora
