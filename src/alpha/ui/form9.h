// Form9, "Generate automatically an alpha layer": a modeless tool window that replaces the alpha
// of the active texture, leaving its colours as they are. Three sections compute, chosen by the
// option buttons over their frames (one group):
//   Option2 "From a color channel of the texture" (Frame2(0), section A, chosen at first): the
//     channel chosen in its own group Option1(0)-(4) ("Red", "Green", "Blue", "Saturation",
//     "Luminosity") of the texture itself;
//   Option3 "From a existing alpha layer of a texture" (Frame3, section B): the alpha of the
//     texture selected in Combo1(0), resampled to the active texture's size by point sampling;
//   Option4 "From a color channel of an external texture" (Frame2(1), section C): the channel
//     chosen in its own group Option1(5)-(9) ("Luminosity", "Saturation", "Blue", "Green",
//     "Red") of the texture selected in Combo1(1), resampled the same way.
// Both channel groups start on "Luminosity", and each section uses its own group's choice, so the
// window computes what it shows. Choosing a section enables its frame and disables the others.
// Frame1 "From an expanded/normal color key." only points to the colour-key tool. The
// "Opaque Reference :" and "Trans. Reference :" boxes (Text1, Text2 of each channel frame) are
// shown but take no part.
//
// The source lists hold one item per texture slot but the active texture's ("3- Untitled",
// "4-stone.bmp"; SourceListItems) and show their selected item; an empty one shows
// "(no other texture)" greyed. They are rebuilt when the window is first shown and whenever it
// is activated (a rebuild keeps each list's selected slot when it is still listed, else selects
// the first item). "Load texture..." (Command4(i)) runs the main window's Open command, keeps the
// texture that was active as the one being edited, rebuilds the lists and selects the loaded
// texture in Combo1(i).
//
// "Preview" (Command2) computes the chosen section into the preview (from the main texture, so an
// earlier preview has no influence) and redraws the active window from the preview texture.
// "Generate !" (Command1, Enter) computes it again, makes it the texture's pixels, redraws from
// the main texture and hides the window. With no active texture window, or a source list that is
// empty or names a slot without a texture, both do nothing. "Cancel" (Command3, Escape, the close
// box) hides the window; the texture window shows the preview until it is next redrawn.
//
// The window opens beside the active texture window, so that the preview stays in view, or where
// the user last moved it during this run.
//
// Handlers run through RunHandler (errors are reported, the program goes on). UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

#include "texture_window/window_host.h"
#include "texture_window/window_places.h"

namespace tintora {

// Declared in alpha/alpha_ops.h, which brings in oneTBB (whose name emit Qt's keywords take).
enum class AlphaChannel : std::int32_t;

class Form9 : public QDialog {
    Q_OBJECT

  public:
    // host: the main window (it must outlive this one).
    explicit Form9(WindowHost& host, QWidget* parent = nullptr);

    QRadioButton* Option2 = nullptr;  // section A
    QRadioButton* Option3 = nullptr;  // section B
    QRadioButton* Option4 = nullptr;  // section C
    std::array<QGroupBox*, 2> Frame2{};
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame1 = nullptr;
    // (0)-(4) in Frame2(0), (5)-(9) in Frame2(1); see ChannelOfOption.
    std::array<QRadioButton*, 10> Option1{};
    std::array<QLabel*, 2> Label2{};
    std::array<QLineEdit*, 2> Text1{};
    std::array<QLabel*, 2> Label3{};
    std::array<QLineEdit*, 2> Text2{};
    std::array<QComboBox*, 2> Combo1{};    // (0) in Frame3, (1) in Frame2(1)
    std::array<QPushButton*, 2> Command4{};  // "Load texture..."
    QLabel* Label1 = nullptr;
    QPushButton* Command2 = nullptr;  // "Preview"
    QPushButton* Command1 = nullptr;  // "Generate !"
    QPushButton* Command3 = nullptr;  // "Cancel"

    // The main window's Open command; "Load texture..." runs it. Empty: the button loads nothing.
    std::function<void()> OpenFile;

    // Rebuilds both source lists and selects their first items.
    void RefreshItems();

    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click(int index);

    // The channel option Option1(index) stands for.
    static AlphaChannel ChannelOfOption(int index);
    // The channel chosen in section A's group and in section C's group.
    AlphaChannel SectionAChannel() const;
    AlphaChannel SectionCChannel() const;

  public Q_SLOTS:
    // Escape and the close box: "Cancel".
    void reject() override;

  protected:
    bool event(QEvent* event) override;

  private:
    WindowHost& host_;
    // The slot the selected item of Combo1(index) names; 0 with no selection.
    std::int32_t SelectedSlot(int index) const;
    // Computes the chosen section into the active texture's preview; returns the active document,
    // or 0 when nothing could be computed.
    std::int32_t Preview();
    void EnableFrames(bool a, bool b, bool c);
    // RefreshItems, then each list back on the slot it had selected when that is still listed.
    void Form_Activate();

    bool loaded_ = false;
    BesideTexturePlace place_;
};

}  // namespace tintora
