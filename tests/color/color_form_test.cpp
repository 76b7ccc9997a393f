// The colour picker window on the offscreen platform: the swatches and the colour dialog, the
// colour field, the number boxes and the stored position.
#include "color/ui/color_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <tuple>
#include <vector>

#include "color/colors.h"
#include "document/module1.h"
#include "services/scripted_ui_services.h"
#include "support/recording_host.h"

namespace tintora::testing {
namespace {

class ColorFormTest : public ::testing::Test {
  protected:
    // Foreground red 0x56, green 0x34, blue 0x12.
    ColorForm& Load() {
        ResetModule1();
        Module1().ForegroundColor = 0x00123456u;
        Module1().BackgroundColor = 0x00A0B0C0u;
        main.setGeometry(0, 0, 1100, 560);
        main.show();
        form = new ColorForm(services, main, host);
        QObject::connect(form, &ColorForm::foregroundShown,
                         [this](std::uint32_t color) { samples.push_back(color); });
        form->Form_Load(QRect(100, 50, 600, 400));  // the main window's workspace
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        return *form;
    }
    std::string Boxes() const {
        const auto text = [this](int i) { return form->Text1[i]->text().toStdString(); };
        return text(0) + " " + text(1) + " " + text(2);
    }

    ScriptedCommonDialogs dialogs;
    ScriptedSettingsStore settings;
    Services services{
        .dialogs = &dialogs, .settings = &settings, .endProgram = {}, .programDirectory = {}};
    std::vector<std::uint32_t> samples;  // foreground colours announced for the colour-key sample
    RecordingHost host;
    QWidget main;
    ColorForm* form = nullptr;  // a child of main
};

// The load selects the foreground. Clicks go through the window system; where the swatches overlap
// the foreground's click area lies on top. A double-click also opens the colour dialog.
TEST_F(ColorFormTest, SwatchesSelectTheirColourAndOpenTheColourDialog) {
    ColorForm& f = Load();
    EXPECT_TRUE(f.isWindow());  // not a child of the main window
    const QColor red(Qt::red), black(Qt::black);
    for (const auto& [click, front] :
         {std::pair{QPoint(), true}, {QPoint(11, 12), false}, {QPoint(30, 30), true}}) {
        if (!click.isNull()) QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, click);
        EXPECT_EQ(f.windowTitle(), front ? "Color picker : foreground color selected"
                                         : "Color picker : background color selected");
        EXPECT_EQ(Boxes(), front ? "86 52 18" : "192 176 160");
        EXPECT_EQ(std::tuple(f.Shape2->borderColor(), f.Shape2->borderWidth(),
                             f.Shape1->borderColor(), f.Shape1->borderWidth()),
                  front ? std::tuple(red, 3, black, 1) : std::tuple(black, 1, red, 3));
    }
    EXPECT_EQ(f.Shape1->fillColor(), 0x00A0B0C0u);

    f.Label2_Click();
    dialogs.colorAnswers = {0x00336699u};
    QTest::mouseDClick(f.Label3, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(Boxes(), "153 102 51");
    samples.clear();
    f.Label2_DblClick();  // cancelled: the colour stays, refreshed for the selection only
    EXPECT_EQ(dialogs.colorRequests, (std::vector<std::uint32_t>{0x00123456u, 0x00A0B0C0u}));
    EXPECT_EQ(Module1().BackgroundColor, 0x00A0B0C0u);
    EXPECT_EQ(samples, std::vector<std::uint32_t>{0x00336699u});  // the foreground, always
}

// The left button (or several) sets the foreground, the right button alone the background, by
// clicks and drags, whatever swatch is selected; the number boxes change the selected colour.
TEST_F(ColorFormTest, TheColourFieldAndTheNumberBoxesSetColours) {
    ColorForm& f = Load();
    f.Label2_Click();
    const auto at = [](int x, int y) { return ColorFieldPoint(x, y); };
    const struct {
        bool press;  // else a move
        Qt::MouseButtons buttons;
        QPoint point;
        std::uint32_t foreground, background;  // afterwards
    } steps[] = {
        {true, Qt::LeftButton, {235, 27}, at(235, 27), 0x00A0B0C0u},
        {true, Qt::RightButton, {78, 52}, at(235, 27), at(78, 52)},
        {false, Qt::LeftButton, {157, 27}, at(157, 27), at(78, 52)},
        {false, Qt::NoButton, {117, 40}, at(157, 27), at(78, 52)},
        {false, Qt::RightButton, {235, 27}, at(157, 27), at(235, 27)},
        {false, Qt::LeftButton | Qt::RightButton, {200, 40}, at(200, 40), at(235, 27)},
    };
    for (const auto& s : steps) {
        QMouseEvent event(s.press ? QEvent::MouseButtonPress : QEvent::MouseMove, s.point,
                          f.Picture1->mapToGlobal(s.point),
                          s.press ? Qt::MouseButton(s.buttons.toInt()) : Qt::NoButton, s.buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(f.Picture1, &event);
        EXPECT_EQ(Module1().ForegroundColor, s.foreground) << s.point.x() << "," << s.point.y();
        EXPECT_EQ(Module1().BackgroundColor, s.background) << s.point.x() << "," << s.point.y();
    }
    EXPECT_EQ(Boxes(), "255 0 0");  // still the background's
    // The far edge answers -1, kept whole (the refresh's writes to the boxes change nothing).
    f.Picture1_MouseDown(1, 0, 236.5f, 10.0f);
    EXPECT_EQ(Module1().ForegroundColor, at(200, 40));
    f.Picture1_MouseDown(1, 0, 236.0f, 10.0f);
    EXPECT_EQ(Module1().ForegroundColor, kOutsidePicture);
    // A number box changes its component of the selected colour: red 300 is red 44, green 1.
    f.Text1[0]->setText(QStringLiteral("300"));
    EXPECT_EQ(Module1().BackgroundColor, 0x0000012Cu);
    EXPECT_EQ(Boxes(), "44 1 0");
}

// The default, and the place of a picker that would not lie wholly on the screen: the workspace's
// bottom-right corner.
TEST_F(ColorFormTest, PositionComesFromTheSettingsOrTheDefaultAndIsStoredInTwips) {
    const QPoint corner(699, 449);  // bottom-right of the workspace, frame included
    EXPECT_EQ(Load().frameGeometry().bottomRight(), corner);
    const ScriptedSettingsStore::Key x{"Tintora", "Tintora", "ColorX"};
    const ScriptedSettingsStore::Key y{"Tintora", "Tintora", "ColorY"};
    settings.values = {{x, "3000"}, {y, "1500.5"}};
    EXPECT_EQ(Load().pos(), QPoint(200, 100));
    settings.values = {{x, "7000"}, {y, "11500"}};  // reaching below the 800-pixel screen
    EXPECT_EQ(Load().frameGeometry().bottomRight(), corner);
    form->move(40, 61);
    form->SetSettings();
    EXPECT_EQ(settings.values[x] + " " + settings.values[y], "600 915");
}

}  // namespace
}  // namespace tintora::testing
