// Form7, "Alpha map generation from colorkey": the modeless window of the "Set ColorKey" tool.
// Pixels of the active texture whose colour lies near the key colour (ForegroundColor) become
// transparent, all others opaque; colours stay as they are.
//
// Controls: Label1 "Color range :" with the text box Text1 (starts "2") and the vertical scroll
// bar Tolerance (1 to 100, starts at 1) kept in step with it, Label3 "%"; Label2 "Select color :"
// with the swatch Picture1 that shows the key colour; Label4 "Pick a color or select it in the
// color panel"; Command2 "Preview", Command1 "Apply on texture", Command3 "New texture" (no
// action).
//
// Both buttons read Text1 at the click (ColourKeyThreshold: its leading number plus one,
// rounded) and work on the texture window active at that moment; without one they do nothing.
// "Preview" computes into the preview and redraws the window from the preview texture; "Apply on
// texture" computes the same, makes it the texture's pixels and redraws from the main texture.
// The window stays open after either.
//
// Text1 and Tolerance: typing moves the scroll bar to the text's number rounded (ties to even);
// a number outside 1-100, or none, puts it at the nearer end and leaves the typed text as it is,
// so the buttons still use the typed value. Moving the scroll bar writes its value into Text1.
//
// Handlers run through RunHandler (errors are reported, the program goes on). UI thread only.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

#include "texture_window/window_host.h"
#include "texture_window/window_places.h"

namespace tintora {

class Form7 : public QDialog {
    Q_OBJECT

  public:
    // host: the main window (it must outlive this one).
    explicit Form7(WindowHost& host, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QScrollBar* Tolerance = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Picture1 = nullptr;  // the key colour swatch
    QLabel* Label4 = nullptr;
    QPushButton* Command2 = nullptr;  // "Preview"
    QPushButton* Command1 = nullptr;  // "Apply on texture"
    QPushButton* Command3 = nullptr;  // "New texture"

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Text1_Change();
    void Tolerance_Change();

    // Shows a window colour (0x00BBGGRR; the top byte is ignored) in Picture1. The colour picker
    // calls it whenever the colour picker shows its colours.
    void SetSampleColor(std::uint32_t color);
    // The colour Picture1 shows, 0x00BBGGRR.
    std::uint32_t SampleColor() const;

  protected:
    // Opens beside the texture it keys (or where the user last put it).
    bool event(QEvent* event) override;

  private:
    WindowHost& host_;
    BesideTexturePlace place_;
    // Computes the key alpha of the active texture into its preview; false without an active
    // texture window. slot receives the active document.
    bool ComputePreview(std::int32_t& slot);

    // True while Text1_Change moves the scroll bar, so that its change does not rewrite the text.
    bool fromText_ = false;
};

}  // namespace tintora
