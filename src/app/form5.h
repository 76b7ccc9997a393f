// Form5, the 3D preview window, as far as start-up needs it: an MDI child captioned "3d view"
// whose window is the device window of the one graphics device, with the picture box Picture1
// that the preview document's swap chain presents into, and the bottom panel Picture2. Its load
// handler places it from the settings "3DX" and "3DY"; SetSettings stores its position and
// choices. The controls and the frame drawing of the preview are not here yet.
#pragma once

#include <QImage>
#include <QWidget>

#include "platform/services.h"
#include "platform/resources.h"

class QMdiSubWindow;

namespace tintora {

class MDIForm1;

// A picture box that shows what a swap chain presents into it.
class PresentedPicture : public QWidget, public PresentTarget {
    Q_OBJECT

  public:
    explicit PresentedPicture(QWidget* parent = nullptr);

    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    // Keeps a copy of the image and repaints with it.
    void PresentImage(const ImageView& image) override;

    const QImage& presentedImage() const { return presented_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage presented_;
};

class Form5 : public QWidget, public PresentTarget {
    Q_OBJECT

  public:
    // Made inside main's MDI area, hidden; Form_Load shows it.
    Form5(Services& services, MDIForm1& main);

    PresentedPicture* Picture1 = nullptr;
    QWidget* Picture2 = nullptr;

    // The MDI child frame around this window.
    QMdiSubWindow* subWindow() const { return subWindow_; }

    void Form_Load();
    // Writes "3DX", "3DY" (position in twips), "3DView" and "3DCheck".
    void SetSettings();

    // Shows the window (modeless); with focus it also becomes the active child.
    void ShowWindow(bool focus);
    void HideWindow();
    // Outer size (frame included), in twips.
    void SetOuterSizeTwips(double width, double height);

    // The device window: its client size; nothing is presented into it.
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    void PresentImage(const ImageView&) override {}

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closing hides the window: Picture1 and the window itself are drawn into for the whole run.
    void closeEvent(QCloseEvent* event) override;

  private:
    Services& services_;
    MDIForm1& main_;
    QMdiSubWindow* subWindow_ = nullptr;
};

}  // namespace tintora
