// Form1, the texture window: an MDI child that shows one document's swap chain.
//
// The window keeps only its document slot (windowindex); everything else lives in Module1's
// tables. It shows the image its swap chain last presented; paintEvent only blits that image.
// The drawing itself (RenderDocument) runs from calls queued to the UI thread when the window is
// shown, exposed or resized, never from inside a paint event, because a drawing lets pending
// window messages run.
//
// Handlers report errors (PlatformError and other exceptions) in a message box of the host as
// "Error <code>: <message>" and the program keeps running.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "document/module1.h"
#include "texture_window/window_host.h"

class QMdiArea;
class QMdiSubWindow;

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
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
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
    // Color" or "Set ColorKey", picks the colour shown under the mouse: the left button sets
    // ForegroundColor, any other BackgroundColor, then the host's RefreshColorValue shows it. A
    // move writes the texel position (TexelPositionText) into the host's status line and lets
    // pending messages run. A right release syncs the View menu's marks and opens it at the
    // mouse (the host's PopupViewMenu). Keys do nothing.
    void Form_MouseDown(int button, int shift, float x, float y);
    void Form_MouseMove(int button, int shift, float x, float y);
    void Form_MouseUp(int button, int shift, float x, float y);
    void Form_KeyPress(int keyAscii);

    // The colour of the client pixel at (x, y) as the window shows it, 0x00BBGGRR: read from the
    // presented image as paintEvent scales it onto the client area. Before the first present,
    // and for a point outside the client area, the window's background colour.
    std::uint32_t Point(float x, float y) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QMdiSubWindow* subWindow() const;
    // True while this window is the one its document slot names.
    bool OwnsDocument() const;
    void QueuePaint();
    void QueueResize();
    // Draws the window now or, while another window is being drawn (which would drop this
    // drawing), once that drawing is over.
    void DrawWhenFree();

    WindowHost& host_;
    WindowTag tag_ = WindowTag::Creating;
    QImage presented_;
    bool presentedSincePaint_ = false;
    bool paintQueued_ = false;
    bool resizeQueued_ = false;
    QTimer redrawTimer_;  // the retry of DrawWhenFree
};

// Creates a texture window for document slot `slot` in `area`: a Form1 (windowindex = slot) as
// the widget of a new MDI child that is deleted when closed; shows it and makes it the active
// child, which runs its Form_Activate. Meant for the host's CreateTextureWindow.
Form1* CreateForm1(QMdiArea* area, std::int32_t slot, WindowHost& host);

// The status text for the mouse at client (x, y) of document slot: "(tx,ty)" with
// tx = round(Width x x / ChainWidth) and ty = round(Height x y / ChainHeight) of the document's
// texture entry and swap chain, in double precision, rounded to nearest with ties to even. It is
// the window-onto-texture stretch in every view mode: the texel under the mouse in the Stretch
// modes, a scaled position in Normal and Tiled mode (unless the window is the texture's size).
// Throws PlatformError 11 for a chain of width or height 0 and 6 for a result beyond 32 bits.
std::string TexelPositionText(std::int32_t slot, float x, float y);

// "Error <code>: <message>" for a PlatformError, "Error 7: Out of memory" for a failed
// allocation, "Error: <message>" for anything else.
std::string ErrorReportText(const std::exception& error);

// Runs an event handler's work. An exception is reported in a message box of reports (or on
// stderr while another such report is showing, so errors from repaints cannot stack boxes, and
// when reports is null) and swallowed: the program keeps running.
void RunHandler(MessageSink* reports, const std::function<void()>& work);

}  // namespace tintora
