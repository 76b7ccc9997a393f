// The colour picker window on the offscreen platform: its state after loading, swatch
// selection, the colour field with clicks and drags, the number boxes and their busy flag, the
// colour dialog and the stored position.
#include "color/ui/color_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "color/colors.h"
#include "document/module1.h"
#include "services/scripted_ui_services.h"
#include "support/recording_host.h"

namespace tintora::testing {
namespace {

using Strings = std::vector<std::string>;

class FailingDialogs : public ScriptedCommonDialogs {
  public:
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial) override {
        colorRequests.push_back(initial);
        throw std::runtime_error("no colour dialog");
    }
};

// A move with buttons held, as the window system delivers it.
void MoveWith(QWidget* widget, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Replaces a box's text as a user does, one key at a time.
void Type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

class ColorFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetModule1();
        services.messageBoxes = &boxes;
        services.dialogs = &dialogs;
        services.settings = &settings;
        host.messageBox = [this](const std::string& text) { messages.push_back(text); };
        main = std::make_unique<QWidget>();
        main->setGeometry(0, 0, 1100, 560);
    }
    void TearDown() override {
        main.reset();
        ResetModule1();
    }

    ColorForm& Load() {
        form = new ColorForm(services, *main, host);
        QObject::connect(form, &ColorForm::foregroundShown,
                         [this](std::uint32_t color) { keySamples.push_back(color); });
        form->Form_Load();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        return *form;
    }

    Strings Boxes() const {
        return {form->Text1[0]->text().toStdString(), form->Text1[1]->text().toStdString(),
                form->Text1[2]->text().toStdString()};
    }

    ScriptedMessageBoxes boxes;
    ScriptedCommonDialogs dialogs;
    ScriptedSettingsStore settings;
    Services services;
    Strings messages;
    std::vector<std::uint32_t> keySamples;
    RecordingHost host;
    std::unique_ptr<QWidget> main;
    ColorForm* form = nullptr;  // a child of main
};

TEST_F(ColorFormTest, LoadSelectsTheForegroundWithItsRedBorderAndShowsItInTheBoxes) {
    Module1().ForegroundColor = 0x00123456u;  // red 0x56, green 0x34, blue 0x12
    Module1().BackgroundColor = 0x00ABCDEFu;
    ColorForm& f = Load();

    EXPECT_EQ(f.windowTitle(), QStringLiteral("Color picker : foreground color selected"));
    EXPECT_EQ(f.selection, 1);
    EXPECT_EQ(Boxes(), (Strings{"86", "52", "18"}));
    EXPECT_EQ(f.Text1Tag, "");
    EXPECT_EQ(keySamples, (std::vector<std::uint32_t>{0x00123456u}));
    EXPECT_TRUE(f.isWindow());
    // As drawn: 3 red pixels around the foreground's fill.
    const QImage front = f.Shape2->grab().toImage();
    EXPECT_EQ(QColor(front.pixel(2, 10)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(front.pixel(3, 10)), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(f.Shape1->fillColor(), 0x00ABCDEFu);
}

TEST_F(ColorFormTest, SwatchClicksSelectTheirColour) {
    Module1().ForegroundColor = 0x00010203u;
    Module1().BackgroundColor = 0x00A0B0C0u;
    ColorForm& f = Load();

    // Through the window system, which finds the control under the mouse: a point of the
    // background swatch that the foreground one does not cover.
    QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, QPoint(11, 12));
    EXPECT_EQ(f.selection, 0);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Color picker : background color selected"));
    EXPECT_EQ(f.Shape1->borderColor(), QColor(255, 0, 0));
    EXPECT_EQ(f.Shape1->borderWidth(), 3);
    EXPECT_EQ(f.Shape2->borderColor(), QColor(0, 0, 0));
    EXPECT_EQ(f.Shape2->borderWidth(), 1);
    EXPECT_EQ(Boxes(), (Strings{"192", "176", "160"}));
    EXPECT_EQ(keySamples.back(), 0x00010203u);  // the sample shows the foreground regardless

    // Where the swatches overlap the foreground's click area lies on top.
    QTest::mouseClick(f.windowHandle(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(f.selection, 1);
    EXPECT_EQ(Boxes(), (Strings{"3", "2", "1"}));
}

// The left (or middle) button sets the foreground, the right button alone the background, by
// clicks and by drags, whatever swatch is selected; the far edges answer -1, beyond them
// nothing happens.
TEST_F(ColorFormTest, TheColourFieldSetsAColourWithoutChangingTheSelection) {
    ColorForm& f = Load();
    f.Label2_Click();
    const auto at = [](int x, int y) {
        return ColorFieldPoint(static_cast<float>(x), static_cast<float>(y));
    };
    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, QPoint(235, 27));
    EXPECT_EQ(Module1().ForegroundColor, at(235, 27));
    EXPECT_EQ(f.Shape2->fillColor(), at(235, 27));
    QTest::mouseClick(f.Picture1, Qt::RightButton, {}, QPoint(78, 52));
    EXPECT_EQ(Module1().BackgroundColor, at(78, 52));
    EXPECT_EQ(Boxes(), (Strings{"255", "255", "255"}));
    QTest::mouseClick(f.Picture1, Qt::MiddleButton, {}, QPoint(117, 27));
    EXPECT_EQ(Module1().ForegroundColor, at(117, 27));
    EXPECT_EQ(f.selection, 0);

    f.Picture1_MouseDown(1, 0, 236.5f, 10.0f);
    f.Picture1_MouseDown(2, 0, 10.0f, -1.0f);
    EXPECT_EQ(Module1().ForegroundColor, at(117, 27));
    EXPECT_EQ(Module1().BackgroundColor, at(78, 52));
    f.Picture1_MouseDown(1, 0, 236.0f, 10.0f);
    EXPECT_EQ(Module1().ForegroundColor, kOutsidePicture);

    QWidget* field = f.Picture1;
    QTest::mousePress(field, Qt::LeftButton, {}, QPoint(1, 1));
    MoveWith(field, QPoint(117, 27), Qt::LeftButton);
    MoveWith(field, QPoint(300, 27), Qt::LeftButton);  // outside the field: ignored
    EXPECT_EQ(Module1().ForegroundColor, at(117, 27));
    QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(117, 27));
    const auto samples = keySamples.size();
    MoveWith(field, QPoint(117, 40), Qt::NoButton);
    EXPECT_EQ(Module1().ForegroundColor, at(117, 27));
    EXPECT_EQ(keySamples.size(), samples);
    // Several buttons together count as the left one.
    MoveWith(field, QPoint(235, 27), Qt::RightButton);
    MoveWith(field, QPoint(200, 40), Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(Module1().BackgroundColor, at(235, 27));
    EXPECT_EQ(Module1().ForegroundColor, at(200, 40));
}

TEST_F(ColorFormTest, NumberBoxesChangeTheSelectedColour) {
    Module1().ForegroundColor = 0x00008000u;  // green 128
    Module1().BackgroundColor = 0x00405060u;
    ColorForm& f = Load();

    // Typed 3, 30, 300: the colour is put together unmasked and the boxes show the result.
    Type(f.Text1[0], QStringLiteral("300"));
    EXPECT_EQ(Module1().ForegroundColor, WithComponent(0x00008000u, 0, 300));
    EXPECT_EQ(Boxes(), (Strings{"44", "129", "0"}));

    // With the background selected only the background changes.
    f.Label2_Click();
    Type(f.Text1[1], QStringLiteral("128"));
    EXPECT_EQ(Module1().BackgroundColor, 0x00408060u);
    EXPECT_EQ(Module1().ForegroundColor, 0x0000812Cu);
    EXPECT_EQ(f.Shape1->fillColor(), 0x00408060u);

    // The box reads its leading number; beyond 32 bits the error is reported and nothing
    // changes.
    f.Text1[0]->setText(QStringLiteral("99999999999"));
    EXPECT_EQ(messages, (Strings{"Error 6: Overflow"}));
    EXPECT_EQ(Module1().BackgroundColor, 0x00408060u);
}

TEST_F(ColorFormTest, TheRefreshsOwnWritesToTheBoxesDoNotChangeTheColour) {
    ColorForm& f = Load();
    // Written back through the boxes, this colour would lose its top byte.
    Module1().ForegroundColor = 0xFFFFFF2Cu;
    f.RefreshColorValue();
    EXPECT_EQ(Boxes(), (Strings{"44", "255", "255"}));
    EXPECT_EQ(Module1().ForegroundColor, 0xFFFFFF2Cu);
    EXPECT_EQ(f.Text1Tag, "");
}

TEST_F(ColorFormTest, DoubleClickOpensTheColourDialogOnTheSwatchsColour) {
    Module1().ForegroundColor = 0x00010203u;
    Module1().BackgroundColor = 0x00A0B0C0u;
    ColorForm& f = Load();
    f.Label2_Click();

    dialogs.colorAnswers = {0x00336699u};
    QTest::mouseDClick(f.Label3, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(dialogs.colorRequests, (std::vector<std::uint32_t>{0x00010203u}));
    EXPECT_EQ(f.selection, 1);
    EXPECT_EQ(Module1().ForegroundColor, 0x00336699u);
    EXPECT_EQ(Boxes(), (Strings{"153", "102", "51"}));

    // Cancelled: the colour stays; the foreground refreshes after the dialog, the background
    // does not.
    auto samples = keySamples.size();
    f.Label3_DblClick();
    EXPECT_EQ(Module1().ForegroundColor, 0x00336699u);
    EXPECT_EQ(keySamples.size(), samples + 2);
    samples = keySamples.size();
    f.Label2_DblClick();
    EXPECT_EQ(dialogs.colorRequests.back(), 0x00A0B0C0u);
    EXPECT_EQ(Module1().BackgroundColor, 0x00A0B0C0u);
    EXPECT_EQ(f.selection, 0);
    EXPECT_EQ(keySamples.size(), samples + 1);

    // A failing dialog is ignored.
    FailingDialogs failing;
    services.dialogs = &failing;
    f.Label3_DblClick();
    EXPECT_EQ(failing.colorRequests.size(), 1u);
    EXPECT_EQ(Module1().ForegroundColor, 0x00336699u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ColorFormTest, PositionComesFromTheSettingsOrTheDefaultAndIsStoredInTwips) {
    // Main 1100 x 560 px = 16500 x 8400 twips: 16500 - 5310 - 2000 = 9190 twips (612 px) and
    // 8400 - 1050 - 1500 = 5850 twips (390 px).
    EXPECT_EQ(Load().pos(), QPoint(612, 390));
    delete form;

    using Key = ScriptedSettingsStore::Key;
    const Key x{"Tintora", "Tintora", "ColorX"};
    const Key y{"Tintora", "Tintora", "ColorY"};
    settings.values[x] = "3000";
    settings.values[y] = "1500.5";
    EXPECT_EQ(Load().pos(), QPoint(200, 100));

    form->move(40, 61);
    settings.saved.clear();
    form->SetSettings();
    EXPECT_EQ(settings.saved, (std::vector<Key>{x, y}));
    EXPECT_EQ(settings.values[x], "600");
    EXPECT_EQ(settings.values[y], "915");
}

}  // namespace
}  // namespace tintora::testing
