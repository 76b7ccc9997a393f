// Form5, the 3D preview window: an MDI child captioned "3d view" that shows the active texture on
// a sphere or a wall, turned by the mouse and, on request, by itself.
//
// Layout (client pixels): the picture box Picture1 along the top, spanning the width; the panel
// Picture2, 51 pixels high, along the bottom with the option buttons Option1 "Sphere" and
// Option2 "Wall" and the check box Check1 "AutoRotate"; 10 pixels between them.
//
// The window lends two things to the graphics device: itself as the device window (its client
// size sizes the device's own back buffer) and Picture1, into which the preview document's swap
// chain presents. Its timer Timer1 draws a frame every 40 ms (DrawPreviewFrame) from Form_Load
// until the window is destroyed, also while it is hidden; only that timer draws, on the UI thread.
// paintEvent only shows what the last frame presented.
//
// Closing the window hides it: the device and the preview document keep using it for the whole
// run. The settings are written only by SetSettings, at quit.
#pragma once

#include <QImage>
#include <QWidget>

#include "device/resources.h"
#include "preview/preview_frame.h"
#include "services/services.h"
#include "texture_window/window_host.h"

class QCheckBox;
class QMdiArea;
class QMdiSubWindow;
class QRadioButton;
class QTimer;

namespace tintora {

// A picture box that shows what a swap chain presents into it.
class PresentedPicture : public QWidget, public PresentTarget {
    Q_OBJECT

  public:
    explicit PresentedPicture(QWidget* parent = nullptr);

    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    // Keeps a copy of the image and schedules a repaint that shows it.
    void PresentImage(const ImageView& image) override;

    // The image last presented; null before the first present.
    const QImage& presentedImage() const { return presented_; }
    // How many images were presented so far.
    int presentCount() const { return presentCount_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage presented_;
    int presentCount_ = 0;
};

class Form5 : public QWidget, public PresentTarget {
    Q_OBJECT

  public:
    // The frame timer's interval.
    static constexpr int kTimerInterval = 40;

    // Made as a hidden child of area; Form_Load shows it. The main window is area's window.
    // host: the main window (it must outlive this one).
    Form5(Services& services, QMdiArea& area, WindowHost& host);
    ~Form5() override;
    Form5(const Form5&) = delete;
    Form5& operator=(const Form5&) = delete;

    PresentedPicture* Picture1 = nullptr;
    QWidget* Picture2 = nullptr;
    QRadioButton* Option1 = nullptr;  // "Sphere"
    QRadioButton* Option2 = nullptr;  // "Wall"
    QCheckBox* Check1 = nullptr;      // "AutoRotate"
    QTimer* Timer1 = nullptr;

    // OldX, OldY, Angle, AngleY, Far.
    PreviewCamera camera;

    // The MDI child frame around this window.
    QMdiSubWindow* subWindow() const { return subWindow_; }

    // Starts Timer1, shows the window and lets pending messages run once, then reads the
    // settings: "3DView" into Option1, "3DCheck" into Check1, and moves the window to "3DX",
    // "3DY" (twips) when it lies wholly in the workspace (the MDI area's visible part) there;
    // otherwise, or with none stored, to the workspace's top-right corner.
    void Form_Load();
    // Stops Timer1. Runs when the window is destroyed.
    void Form_QueryUnload();
    // Unless minimised: Picture1's height becomes the client height less the panel less 10
    // pixels, and the preview swap chain is rebuilt at Picture1's size. A client too short for
    // the panel leaves Picture1 0 pixels high and the swap chain as it was.
    void Form_Resize();
    // Mouse in Picture1: button is the mask of buttons held (kPreview*Button), x and y pixels.
    // The wheel there zooms (PreviewWheel).
    void Picture1_MouseDown(int button, float x, float y);
    void Picture1_MouseMove(int button, float x, float y);
    // One preview frame.
    void Timer1_Timer();
    // Writes "3DX", "3DY" (position in twips), "3DView" and "3DCheck" ("0").
    void SetSettings();

    // What the frame reads of the controls.
    PreviewFrameView FrameView() const;

    // Shows the window (modeless); with focus it also becomes the active child.
    void ShowWindow(bool focus);
    void HideWindow();
    // Outer size (frame included), in twips; the window then moves the least that keeps it in
    // the workspace.
    void SetOuterSizeTwips(double width, double height);

    // The device window: its client size; nothing is presented into it.
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    void PresentImage(const ImageView&) override {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Closing hides the window: Picture1 and the window itself are drawn into for the whole run.
    void closeEvent(QCloseEvent* event) override;

  private:
    Services& services_;
    QMdiArea& area_;
    WindowHost& host_;
    QMdiSubWindow* subWindow_ = nullptr;
};

}  // namespace tintora
