// ColorForm, the colour picker window, as far as start-up and quitting need it: a separate
// floating window (not an MDI child) of 354 x 70 pixels, placed from the settings "ColorX" and
// "ColorY" when loaded, storing its position in them through SetSettings. The swatches, number
// boxes and colour field are not here yet.
#pragma once

#include <QWidget>

#include "platform/services.h"

namespace tintora {

class MDIForm1;

class ColorForm : public QWidget {
    Q_OBJECT

  public:
    ColorForm(Services& services, MDIForm1& main);

    void Form_Load();
    // Writes "ColorX" and "ColorY": the window's left and top edges in twips.
    void SetSettings();

  private:
    Services& services_;
    MDIForm1& main_;
};

}  // namespace tintora
