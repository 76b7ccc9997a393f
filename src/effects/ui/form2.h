// Form2, "adjust contrast/luminosity": a modal dialog with the contrast slider HScroll1 and the
// luminosity slider HScroll2 (both -100 to 100, labelled "Contrast" and "Luminosity"), "OK" and
// "Cancel". A new dialog serves each command and is destroyed after it, so it always opens with
// both sliders at 0.
//
// Every slider change previews the adjustment: the texture's pixels adjusted into its preview
// buffer and preview texture, the active texture window redrawn from the preview texture. The
// previews run through the dialog's PreviewScheduler: a drag computes only the newest positions.
// The buttons only answer (Tag "OK" or "CANCEL") and hide the dialog; RunContrastLuminosity
// makes the adjustment permanent or drops it. Escape is "Cancel"; closing the dialog otherwise
// leaves Tag empty, which counts as Cancel.
//
// Handlers run through RunHandler (errors are reported, the program goes on). UI thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "effects/ui/slider_dialog.h"

class QKeyEvent;

namespace tintora {

class Form2 : public SliderDialog {
    Q_OBJECT

  public:
    explicit Form2(WindowHost& host, QWidget* parent = nullptr);

    void Command1_Click() override;
    void Command2_Click() override;
    void HScroll1_Change() override;
    void HScroll2_Change() override;

    // Makes the preview buffer hold the adjustment for the sliders' current positions: runs the
    // preview (as a slider change would) unless the last one that finished computed exactly
    // these positions.
    void EnsurePreview();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Positions {
        std::int32_t contrast;
        std::int32_t luminosity;
        bool operator==(const Positions&) const = default;
    };
    Positions CurrentPositions() const;
    // Adjusts the active document's texture into its preview texture and redraws the window
    // from it.
    void UpdatePreview();

    // The positions the preview buffer holds, when a preview has finished for them.
    std::optional<Positions> computed_;
};

// The "Adjust luminosity/contrast..." command: does nothing without an active texture window;
// otherwise shows a new Form2 (child of parent) modally. On "OK" the preview buffer, computed
// for the final slider positions, becomes the texture's pixels and goes into the main texture.
// In any case the window is then redrawn from the main texture, so a dropped preview vanishes.
void RunContrastLuminosity(WindowHost& host, QWidget* parent);

}  // namespace tintora
