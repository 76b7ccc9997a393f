// Form8, "Adjust Hue and Saturation": a modal dialog with the hue slider HScroll1 (-180 to 180
// degrees, labelled "Hue :") and the saturation slider HScroll2 (-100 to 100 points, labelled
// "Saturation"), "OK" and "Cancel". The dialog is made once and only hidden after use, so it
// opens again with its sliders where they were left.
//
// Every slider change previews the adjustment through the dialog's PreviewScheduler (a drag
// computes only the newest positions): the texture's pixels adjusted into the preview buffer and
// preview texture, the active texture window redrawn from the preview texture.
//
// "OK" computes the adjustment for the current positions once more (whether or not a slider
// moved), makes it the texture's pixels and main texture, redraws the window from the preview
// texture (which holds the same pixels) and hides the dialog. "Cancel", Escape and closing the
// dialog hide it and redraw the window from the main texture, which no preview changed. Both
// wait for a preview that is running to finish first, so nothing it draws comes after them.
//
// Handlers run through RunHandler (errors are reported, the program goes on). UI thread only.
#pragma once

#include <cstdint>

#include "effects/ui/slider_dialog.h"

namespace tintora {

class Form8 : public SliderDialog {
    Q_OBJECT

  public:
    explicit Form8(WindowHost& host, QWidget* parent = nullptr);

    void Command1_Click() override;
    void Command2_Click() override;
    void HScroll1_Change() override;
    void HScroll2_Change() override;

    // Escape and the close box: as "Cancel".
    void reject() override;

  private:
    // Adjusts the active document's texture into its preview buffer and preview texture.
    void ComputePreview(std::int32_t slot);
    // ComputePreview, then the window redrawn from the preview texture.
    void UpdatePreview();
};

// The "Adjust hue/saturation..." command: shows form modally when a texture window is active;
// nothing else.
void RunHueSaturation(Form8& form);

}  // namespace tintora
