// Form1, the texture window: an MDI child that shows one document's swap chain.
//
// The window keeps only its document slot (windowindex); everything else lives in Module1's
// tables. It shows the image its swap chain last presented; paintEvent only blits that image.
// The swap chain covers the client area less the scroll bars (HScroll1, VScroll1), which show in
// Normal view while the picture is wider or taller than the window and pan it. The wheel zooms
// the Normal and Tiled views about the mouse, and dragging with the middle button pans them.
// The drawing itself (RenderDocument) runs from calls queued to the UI thread when the window is
// shown, exposed or resized, never from inside a paint event, because a drawing lets pending
// window messages run.
//
// Handlers report errors (PlatformError and other exceptions) in a message box of the host as
// "Error <code>: <message>" and the program keeps running.
#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "document/module1.h"
#include "texture_window/window_host.h"

class QMdiArea;
class QMdiSubWindow;
class QScrollBar;

namespace tintora {

class Form1 : public QWidget, public DocumentWindow {
    Q_OBJECT

  public:
    // host: the main window (it must outlive this window).
    explicit Form1(WindowHost& host, QWidget* parent = nullptr);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Slot of this window's document in the DocumentTable.
    std::int32_t windowindex = 0;
    void SetViewIndex(std::int32_t index) { windowindex = index; }

    // DocumentWindow. The caption is the MDI child's title.
    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;
    WindowTag Tag() const override { return tag_; }
    void SetTag(WindowTag tag) override { tag_ = tag; }
    void Repaint() override { update(); }
    void SetClientSize(int width, int height) override;
    void CloseWindow() override;
    // The area the swap chain covers: the client area less the scroll bars shown.
    int ClientWidth() const override;
    int ClientHeight() const override;
    // Keeps a copy of the image and schedules a repaint that shows it.
    void PresentImage(const ImageView& image) override;

    // The image last presented; null before the first present.
    const QImage& presentedImage() const { return presented_; }

    // Event handlers. Form_Activate runs when the MDI child becomes the active one, Form_Unload
    // when it closes, Form_Paint and Form_Resize from the queued calls described above. Their
    // drawing, when another window's drawing is in progress (which would drop it), is tried again
    // once that one is over.
    void Form_Activate();
    void Form_Unload();
    void Form_Paint();
    void Form_Resize();

    // Mouse and keys (button and shift codes of document/mouse_codes.h; x, y in client pixels).
    // A press activates the window when it is not the active one and, with the tool "Pick
    // Color" or "Set ColorKey", picks the colour of the texel under the mouse from the texture's
    // Pixels (TexelUnderMouse; beside the picture, the colour the window shows there): the left
    // button sets ForegroundColor, any other BackgroundColor, then the host's RefreshColorValue
    // shows it. A move writes the texel position (TexelPositionText) into the host's status line
    // and lets pending messages run. A right release syncs the View menu's marks and opens it at
    // the mouse (the host's PopupViewMenu). Keys do nothing.
    void Form_MouseDown(int button, int shift, float x, float y);
    void Form_MouseMove(int button, int shift, float x, float y);
    void Form_MouseUp(int button, int shift, float x, float y);
    void Form_KeyPress(int keyAscii);

    // The colour of the client pixel at (x, y) as the window shows it, 0x00BBGGRR: read from the
    // presented image as paintEvent scales it onto the client area. Before the first present,
    // and for a point outside the client area, the window's background colour.
    std::uint32_t Point(float x, float y) const;

    // Zoom of the Normal and Tiled views (the Stretch views have none; nothing happens there):
    // steps steps up or down (ZoomBy) or to a step (SetZoom), keeping the texture point at
    // client position at in place (the middle of the drawing area when none is given); the
    // largest step that shows the whole texture in the client area, centred (ZoomToFit). The
    // window is redrawn and its caption shows the zoom.
    void ZoomBy(int steps, std::optional<QPointF> at = std::nullopt);
    void SetZoom(double zoom, std::optional<QPointF> at = std::nullopt);
    void ZoomToFit();
    // After a change of the view mode, zoom or position: shows or hides the scroll bars, rebuilds
    // the swap chain when the drawing area changed, redraws and sets the bars to the picture.
    void ViewChanged();

    // Pan the picture in Normal view while it is larger than the window.
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll1 = nullptr;

    // The MDI child that holds the window; null before it is put into one.
    QMdiSubWindow* subWindow() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    // True while this window is the one its document slot names.
    bool OwnsDocument() const;
    void QueuePaint();
    void QueueResize();
    // Draws the window now or, while another window is being drawn (which would drop this
    // drawing), once that drawing is over.
    void DrawWhenFree();
    // Shows the scroll bars the picture needs in the client area; returns the area left.
    QSize PlaceScrollBars();
    // Sets the bars' ranges and positions from the picture's place.
    void SyncScrollBars();
    // Moves the picture so that its top-left pixel lies at client (x, y) and redraws.
    void MovePicture(int x, int y);

    WindowHost& host_;
    WindowTag tag_ = WindowTag::Creating;
    QImage presented_;
    bool presentedSincePaint_ = false;
    bool paintQueued_ = false;
    bool resizeQueued_ = false;
    QTimer redrawTimer_;  // the retry of DrawWhenFree
    std::optional<QPoint> panFrom_;  // where a middle-button drag was last
    int wheelRest_ = 0;              // wheel turns short of a step (1/8 degrees)
    // The texture point the wheel zooms about while the mouse stays where it was turned: kept
    // through the steps that show the picture centred, so that it is under the mouse once the
    // picture is larger than the window.
    std::optional<std::pair<QPointF, std::array<double, 2>>> wheelAnchor_;
};

// Creates a texture window for document slot `slot` in `area`: a Form1 (windowindex = slot) as
// the widget of a new MDI child that is deleted when closed; shows it and makes it the active
// child, which runs its Form_Activate. Meant for the host's CreateTextureWindow.
Form1* CreateForm1(QMdiArea* area, std::int32_t slot, WindowHost& host);

// The status text for the mouse at client (x, y) of document slot: "(tx,ty)", the texel under
// the mouse. In Normal and Tiled view the texel that pixel shows at the view's zoom (TexelAt), or
// "" when it shows none (beside the picture, outside the window). In the Stretch views the
// window-onto-texture stretch: tx = round(Width x x / ChainWidth), ty = round(Height x y /
// ChainHeight) of the document's texture entry and swap chain, in double precision, rounded to
// nearest with ties to even; throws PlatformError 11 for a chain of width or height 0 and 6 for
// a result beyond 32 bits.
std::string TexelPositionText(std::int32_t slot, float x, float y);

// The texel of document slot's texture under client (x, y), as TexelPositionText names it, kept
// inside the texture in the Stretch views; none beside the picture, outside the window or
// without a texture.
std::optional<std::array<int, 2>> TexelUnderMouse(std::int32_t slot, float x, float y);

// "Error <code>: <message>" for a PlatformError, "Error 7: Out of memory" for a failed
// allocation, "Error: <message>" for anything else. The editor's message box shows the message
// first and keeps "Error <code>" in its details (services/qt's SplitErrorReport).
std::string ErrorReportText(const std::exception& error);

// Runs an event handler's work. An exception is reported in a message box of reports (or on
// stderr while another such report is showing, so errors from repaints cannot stack boxes, and
// when reports is null) and swallowed: the program keeps running.
void RunHandler(MessageSink* reports, const std::function<void()>& work);

}  // namespace tintora
