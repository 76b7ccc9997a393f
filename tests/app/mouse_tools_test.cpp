// The mouse tools in the running editor: a pick shows in the colour picker, a picked background
// redraws the windows at once, the status line follows the mouse, a right release opens the
// View menu, and a click that arrives while a window is being drawn runs after the drawing, so
// the window shows what the click did.
#include <qpa/qwindowsysteminterface.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <cstdint>
#include <string>

#include "color/ui/color_form.h"
#include "drawing/views.h"
#include "editor_fixture.h"
#include "texture_window/form1.h"

namespace tintora::testing {
namespace {

class MouseToolsTest : public EditorTest {
  protected:
    // Starts on checker.bmp (document 2, texture 1) with a client area of width x height.
    Form1& StartOnChecker(int width = 256, int height = 256) {
        Start(SamplePath("checker.bmp"));
        auto* form = static_cast<Form1*>(DocumentAt(2).Window);
        form->SetClientSize(width, height);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return form->presentedImage().size() == QSize(width, height) &&
                   DocumentAt(2).ChainWidth == width && DocumentAt(2).ChainHeight == height;
        }));
        QTest::qWait(20);
        return *form;
    }

    // A texel of checker.bmp as a window colour, and a window colour as a QColor.
    static std::uint32_t Texel(int x, int y) {
        const std::uint8_t* p = TextureAt(1).Pixels.data() + 4 * (y * 256 + x);
        return p[2] | (p[1] << 8) | (p[0] << 16);
    }
    static QColor AsQColor(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, c >> 16); }
};

TEST_F(MouseToolsTest, AClickDuringADrawingRunsAfterItAndTheWindowShowsItsResult) {
    Form1& form = StartOnChecker();
    const QImage before = form.presentedImage();
    // A real click on "Invert colors", queued by the window system as a mouse click is, and the
    // texture window drawn before the queue is read (as a paint or a command would draw it).
    QPushButton* invert = editor->Command3;
    QWindow* window = invert->window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint centre = invert->rect().center();
    const QPoint local = invert->mapTo(invert->window(), centre);
    const QPoint global = invert->mapToGlobal(centre);
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
    RenderDocument(2, false);
    QTest::qWait(50);
    // The click ran: the texture is inverted...
    ASSERT_EQ(Texel(70, 20), 0x00D2B914u);  // 255 - (235, 70, 45)
    // ...and the window shows it, not the picture drawn before the click.
    EXPECT_EQ(QColor(form.presentedImage().pixel(70, 20)), AsQColor(Texel(70, 20)));
    EXPECT_NE(form.presentedImage(), before);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MouseToolsTest, PickedColoursShowInThePickerAndABackgroundRedrawsAtOnce) {
    // Normal mode in 300 x 300: the texture lies at 22, 22 inside the clear colour.
    Form1& form = StartOnChecker(300, 300);
    editor->Option1->click();
    QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(22 + 70, 22 + 20));
    const std::uint32_t foreground = Texel(70, 20);
    ColorForm& picker = editor->ColorFormWindow();
    EXPECT_EQ(Module1().ForegroundColor, foreground);
    EXPECT_EQ(picker.Shape2->fillColor(), foreground);
    EXPECT_EQ(picker.Text1[0]->text(), QString::number(foreground & 0xFF));
    EXPECT_EQ(picker.selection, 1);

    QTest::mouseClick(&form, Qt::MiddleButton, {}, QPoint(22 + 50, 22 + 60));
    const std::uint32_t background = Texel(50, 60);
    ASSERT_EQ(Module1().BackgroundColor, background);
    EXPECT_EQ(picker.Shape1->fillColor(), background);
    // Drawn by the pick itself, before any later paint could have done it.
    EXPECT_EQ(QColor(form.presentedImage().pixel(2, 2)), AsQColor(background));
}

TEST_F(MouseToolsTest, StatusLineAndViewMenuFollowTheMouse) {
    Form1& form = StartOnChecker(200, 100);
    QTest::mouseMove(&form, QPoint(75, 30));  // 256 x 75 / 200 = 96; 256 x 30 / 100 = 76.8
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->Label1->text() == "(96,77)"; }))
        << editor->Label1->text().toStdString();

    // With the Select tool a right click picks nothing and opens the View menu at the mouse;
    // its items act on the window.
    QTest::mouseClick(&form, Qt::RightButton, {}, QPoint(30, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->viewmenu->isVisible(); }));
    EXPECT_LE((editor->viewmenu->pos() - form.mapToGlobal(QPoint(30, 40))).manhattanLength(), 2);
    EXPECT_EQ(Module1().BackgroundColor, 0u);
    editor->viewtiled->trigger();
    editor->viewmenu->hide();
    EXPECT_EQ(DocumentAt(2).ViewMode, ViewMode::Tiled);
}

}  // namespace
}  // namespace tintora::testing
