// SliderDialog: what the two previewing adjustment dialogs (Form2, Form8) share: a fixed-size
// modal dialog with two labelled horizontal scroll bars, each with a number box showing its value,
// an "OK" button (default, Enter) and a "Cancel" button, the answer text Tag, and the scheduler
// that runs the live preview.
//
// Layout in twips (15 per pixel), client area 5550 x 1710:
//
//   Label1   120, 180, 1095 x 255      HScroll1   1320, 120, 3135 x 255    Value1   4560, 75
//   Label2   120, 660, 1095 x 255      HScroll2   1320, 600, 3135 x 255    Value2   4560, 555
//   Command1 2760, 1170, 1215 x 375    Command2   4200, 1170, 1215 x 375
//
// Both scroll bars start at 0 and move by 1 for a small and for a large step; they report every
// value while the thumb is dragged. The arrow keys move a bar's thumb the way they point (→ and
// ↑ raise the value). A number box follows its bar, and a value typed into it moves the bar once
// it is entered (Enter, Tab or leaving the box), held to the bar's range. Every change of either
// bar while the dialog is shown asks the scheduler for a preview (see preview_scheduler.h);
// hiding the dialog drops a preview that has not started.
//
// The dialog opens beside the active texture window, so that the preview stays in view, or where
// the user last moved a dialog of its name during this run (BesideTexturePlace).
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "effects/ui/preview_scheduler.h"
#include "texture_window/window_host.h"

class QLabel;
class QPushButton;
class QScrollBar;
class QSpinBox;

namespace tintora {

class SliderDialog : public QDialog {
    Q_OBJECT

  public:
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* HScroll2 = nullptr;
    QSpinBox* Value1 = nullptr;  // HScroll1's value
    QSpinBox* Value2 = nullptr;  // HScroll2's value
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;  // "OK"
    QPushButton* Command2 = nullptr;  // "Cancel"

    // The dialog's answer: "OK", "CANCEL", or empty when it was closed otherwise.
    std::string Tag;

    PreviewScheduler& scheduler() { return *scheduler_; }

    // The handlers of the controls, which the dialog connects to them; each runs under the
    // editor's error report.
    virtual void Command1_Click() = 0;
    virtual void Command2_Click() = 0;
    virtual void HScroll1_Change() = 0;
    virtual void HScroll2_Change() = 0;

  protected:
    struct Slider {
        const char* caption;
        int minimum;
        int maximum;
    };
    // preview computes and shows the preview for the current slider positions.
    // host: the main window, which reports errors and shows progress (it must outlive the dialog).
    SliderDialog(WindowHost& host, QWidget* parent, const char* name, const char* caption,
                 Slider first, Slider second, std::function<void()> preview);

    WindowHost& host_;

    // A slider moved: asks for a preview while the dialog is shown (a hidden dialog previews
    // nothing).
    void RequestPreview();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    PreviewScheduler* scheduler_ = nullptr;
};

}  // namespace tintora
