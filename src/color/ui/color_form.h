// ColorForm, the colour picker: a small floating window (not an MDI child, client area 354 x 70
// pixels) that holds the editor's two working colours, Module1's ForegroundColor and
// BackgroundColor.
//
//   Shape1, Label2   the background swatch and its click area (10,10 / 9,10)
//   Shape2, Label3   the foreground swatch and its click area, over the background one
//   Label1(0..2)     captions "R: ", "G:", "B:"
//   Text1(0..2)      red, green and blue of the selected colour, decimal
//   Picture1         the colour field (color/colors.h), 236 x 53 at 111,7
//
// A click on a swatch selects it (red border of width 3; the other one black, width 1; the
// caption names the selection); a double-click selects it and opens the colour dialog. The
// left button on the colour field sets the foreground colour, the right button alone the
// background colour; the number boxes change the selected colour. After every change
// RefreshColorValue shows the colours, redraws every texture window (the background colour is
// their clear colour) and announces the foreground colour for the colour-key sample
// (foregroundShown).
//
// The position is kept in the settings store: application and section "Tintora", keys "ColorX"
// and "ColorY", the left and top edges in twips. It opens there when the whole window is on a
// screen there, otherwise in the bottom-right corner of the main window's workspace. Handlers run through RunHandler: an error that
// they do not ignore themselves is reported and the program goes on. UI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "services/services.h"
#include "texture_window/window_host.h"

class QLabel;
class QLineEdit;

namespace tintora {

inline constexpr const char* kForegroundSelectedCaption =
    "Color picker : foreground color selected";
inline constexpr const char* kBackgroundSelectedCaption =
    "Color picker : background color selected";

// A filled rectangle with a border drawn inside its edge. Mouse events pass through it.
class ColorSwatch : public QWidget {
    Q_OBJECT

  public:
    explicit ColorSwatch(QWidget* parent);

    // Window colour 0x00BBGGRR (the top byte is ignored).
    void SetFillColor(std::uint32_t color);
    void SetBorder(QColor color, int width);
    std::uint32_t fillColor() const { return fill_; }
    QColor borderColor() const { return borderColor_; }
    int borderWidth() const { return borderWidth_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::uint32_t fill_ = 0;
    QColor borderColor_ = Qt::black;
    int borderWidth_ = 1;
};

// A transparent area that reports left-button clicks and double-clicks. A double-click is
// reported instead of the click its second press would make.
class ClickArea : public QWidget {
    Q_OBJECT

  public:
    explicit ClickArea(QWidget* parent);

  Q_SIGNALS:
    void clicked();
    void doubleClicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    bool afterDoubleClick_ = false;
};

// The colour field's picture box: shows the field and answers the point query. Its scale is
// its own pixels: ScaleWidth() x ScaleHeight() = 236 x 53.
class ColorFieldBox : public QWidget {
    Q_OBJECT

  public:
    explicit ColorFieldBox(QWidget* parent);

    float ScaleWidth() const;
    float ScaleHeight() const;
    // The field's colour at (x, y); kOutsidePicture outside it (also at x = ScaleWidth() or
    // y = ScaleHeight()).
    std::uint32_t Point(float x, float y) const;
    const QImage& picture() const { return picture_; }

  Q_SIGNALS:
    // Button codes and shift codes of document/mouse_codes.h; for a move, the held buttons.
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QImage picture_;
};

class ColorForm : public QWidget {
    Q_OBJECT

  public:
    // A tool window of main. The redraws of the texture windows let pending messages run through host, which also reports
    // the handlers' errors (it must outlive this window).
    ColorForm(Services& services, QWidget& main, WindowHost& host);

    ColorSwatch* Shape1 = nullptr;  // background
    ClickArea* Label2 = nullptr;
    ColorSwatch* Shape2 = nullptr;  // foreground
    ClickArea* Label3 = nullptr;
    std::array<QLabel*, 3> Label1{};
    std::array<QLineEdit*, 3> Text1{};
    ColorFieldBox* Picture1 = nullptr;

    // 1 while the foreground colour is selected, 0 for the background colour.
    std::int16_t selection = 1;
    // The busy flag (the tag of Text1(0)): "NO" while RefreshColorValue writes the boxes, whose
    // change handlers then do nothing; empty otherwise.
    std::string Text1Tag;

    // Selects the foreground and places the window at "ColorX"/"ColorY" when both are numbers
    // (WindowPositionFromText) that put the whole window on one screen; otherwise (none stored, a
    // damaged value, a place off every screen) in the bottom-right corner of workspace, the main
    // window's workspace in screen coordinates.
    void Form_Load(const QRect& workspace);
    // Writes "ColorX" and "ColorY": the window's left and top edges in twips.
    void SetSettings();
    // Swatches, every texture window, the colour-key sample and the boxes from the two colours.
    // Failing steps are skipped.
    void RefreshColorValue();

    void Label2_Click();
    void Label3_Click();
    void Label2_DblClick();
    void Label3_DblClick();
    void Picture1_MouseDown(int button, int shift, float x, float y);
    void Picture1_MouseMove(int button, int shift, float x, float y);
    void Text1_Change(int index);

  Q_SIGNALS:
    // RefreshColorValue has shown the colours: color is the foreground colour (0x00BBGGRR).
    void foregroundShown(std::uint32_t color);

  private:
    void Select(std::int16_t which);
    std::uint32_t& SelectedColor();

    Services& services_;
    WindowHost& host_;
};

}  // namespace tintora
