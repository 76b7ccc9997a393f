// The colour picker window on the offscreen platform: its state after loading, swatch
// selection, the colour field with clicks and drags, the number boxes and their busy flag, the
// colour dialog, the stored position, and the redraw of the texture windows.
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
    if (text.isEmpty()) QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

class ColorFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetModule1();
        services.messageBoxes = &boxes;
        services.dialogs = &dialogs;
        services.settings = &settings;
        auto& hooks = Module1().Hooks;
        hooks.MessageBox = [this](const std::string& text) { messages.push_back(text); };
        hooks.ShowColorKeySample = [this](std::uint32_t color) { keySamples.push_back(color); };
        main = std::make_unique<QWidget>();
        main->setGeometry(0, 0, 1100, 560);
    }
    void TearDown() override {
        main.reset();
        ResetModule1();
    }

    ColorForm& Load() {
        form = new ColorForm(services, *main);
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
    // As drawn: 3 red pixels around the foreground's fill, 1 black around the background's.
    const QImage front = f.Shape2->grab().toImage();
    EXPECT_EQ(QColor(front.pixel(2, 10)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(front.pixel(3, 10)), QColor(0x56, 0x34, 0x12));
    const QImage back = f.Shape1->grab().toImage();
    EXPECT_EQ(QColor(back.pixel(0, 5)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(back.pixel(1, 5)), QColor(0xEF, 0xCD, 0xAB));
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

TEST_F(ColorFormTest, FieldClicksSetAColourWithoutChangingTheSelection) {
    ColorForm& f = Load();
    f.Label2_Click();

    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, QPoint(235, 27));
    EXPECT_EQ(Module1().ForegroundColor, 0x000000FFu);
    EXPECT_EQ(f.Shape2->fillColor(), 0x000000FFu);
    for (const int x : {0, 78, 235}) {
        Module1().BackgroundColor = 0;
        QTest::mouseClick(f.Picture1, Qt::RightButton, {}, QPoint(x, 52));
        EXPECT_EQ(Module1().BackgroundColor, 0x00FFFFFFu) << x;
    }
    EXPECT_EQ(f.selection, 0);
    EXPECT_EQ(Boxes(), (Strings{"255", "255", "255"}));
    QTest::mouseClick(f.Picture1, Qt::MiddleButton, {}, QPoint(117, 27));
    EXPECT_EQ(Module1().ForegroundColor, 0x00FFFF00u);  // cyan

    // The far edges count and answer -1; beyond them nothing happens.
    f.Picture1_MouseDown(1, 0, 236.0f, 10.0f);
    EXPECT_EQ(Module1().ForegroundColor, kOutsidePicture);
    f.Picture1_MouseDown(1, 0, 236.5f, 10.0f);
    f.Picture1_MouseDown(2, 0, 10.0f, -1.0f);
    EXPECT_EQ(Module1().ForegroundColor, kOutsidePicture);
    EXPECT_EQ(Module1().BackgroundColor, 0x00FFFFFFu);
}

TEST_F(ColorFormTest, DragsWithAButtonKeepSettingTheColourMovesWithoutChangeNothing) {
    Load();
    QWidget* field = form->Picture1;
    QTest::mousePress(field, Qt::LeftButton, {}, QPoint(1, 1));
    MoveWith(field, QPoint(117, 27), Qt::LeftButton);
    EXPECT_EQ(Boxes(), (Strings{"0", "255", "255"}));
    MoveWith(field, QPoint(300, 27), Qt::LeftButton);  // outside the field: ignored
    EXPECT_EQ(Module1().ForegroundColor, 0x00FFFF00u);
    MoveWith(field, QPoint(235, 52), Qt::LeftButton);
    EXPECT_EQ(Module1().ForegroundColor, 0x00FFFFFFu);
    QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(235, 52));

    const auto samples = keySamples.size();
    MoveWith(field, QPoint(117, 40), Qt::NoButton);
    EXPECT_EQ(Module1().ForegroundColor, 0x00FFFFFFu);
    EXPECT_EQ(keySamples.size(), samples);
    // The right button alone sets the background; several buttons the foreground.
    MoveWith(field, QPoint(235, 27), Qt::RightButton);
    MoveWith(field, QPoint(117, 27), Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(Module1().BackgroundColor, 0x000000FFu);
    EXPECT_EQ(Module1().ForegroundColor, 0x00FFFF00u);
}

TEST_F(ColorFormTest, NumberBoxesChangeTheSelectedColourUnmasked) {
    Module1().ForegroundColor = 0x00008000u;  // green 128
    Module1().BackgroundColor = 0x00405060u;
    ColorForm& f = Load();

    // Typed 3, 30, 300: 300 = 0x12C gives red 44 and green 129.
    Type(f.Text1[0], QStringLiteral("300"));
    EXPECT_EQ(Module1().ForegroundColor, 0x0000812Cu);
    EXPECT_EQ(Boxes(), (Strings{"44", "129", "0"}));
    Type(f.Text1[1], QString());  // cleared: 0
    EXPECT_EQ(Module1().ForegroundColor, 0x0000002Cu);
    EXPECT_EQ(Boxes(), (Strings{"44", "0", "0"}));
    f.Text1[1]->setText(QStringLiteral("-1"));  // sets every bit above
    EXPECT_EQ(Module1().ForegroundColor, 0xFFFFFF2Cu);
    EXPECT_EQ(Boxes(), (Strings{"44", "255", "255"}));

    // With the background selected only the background changes.
    f.Label2_Click();
    Type(f.Text1[1], QStringLiteral("128"));
    EXPECT_EQ(Module1().BackgroundColor, 0x00408060u);
    EXPECT_EQ(Module1().ForegroundColor, 0xFFFFFF2Cu);
    EXPECT_EQ(f.Shape1->fillColor(), 0x00408060u);

    // Beyond 32 bits: the error is reported and nothing changes.
    f.Text1[0]->setText(QStringLiteral("99999999999"));
    EXPECT_EQ(messages, (Strings{"Error 6: Overflow"}));
    EXPECT_EQ(Module1().BackgroundColor, 0x00408060u);
}

TEST_F(ColorFormTest, TheBusyFlagKeepsTheRefreshsOwnWritesFromChangingTheColour) {
    ColorForm& f = Load();
    Strings tagsDuringWrites;
    QObject::connect(f.Text1[1], &QLineEdit::textChanged,
                     [&] { tagsDuringWrites.push_back(f.Text1Tag); });
    Module1().ForegroundColor = 0x00060504u;
    f.RefreshColorValue();
    EXPECT_EQ(tagsDuringWrites, (Strings{"NO"}));
    EXPECT_EQ(f.Text1Tag, "");
    EXPECT_EQ(Module1().ForegroundColor, 0x00060504u);

    f.Text1Tag = "NO";
    f.Text1[0]->setText(QStringLiteral("200"));
    EXPECT_EQ(Module1().ForegroundColor, 0x00060504u);
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

    // Stored values; text that is not a number gives the default (from main's outer size,
    // which the window system may have framed by now).
    const QSize outer = main->frameGeometry().size();
    const QPoint fallback((outer.width() * 15 - 5310 - 2000) / 15,
                          (outer.height() * 15 - 1050 - 1500) / 15);
    const std::pair<const char*, const char*> stored[] = {
        {"3000", "1500.5"}, {"abc", "12px"}, {" 45 ", ""}};
    const QPoint expected[] = {{200, 100}, fallback, {3, fallback.y()}};
    for (int i = 0; i < 3; ++i) {
        settings.values[{"Tintora", "Tintora", "ColorX"}] = stored[i].first;
        settings.values[{"Tintora", "Tintora", "ColorY"}] = stored[i].second;
        EXPECT_EQ(Load().pos(), expected[i]) << i;
        if (i < 2) delete form;
    }

    form->move(40, 61);
    settings.saved.clear();
    form->SetSettings();
    using Key = ScriptedSettingsStore::Key;
    EXPECT_EQ(settings.saved, (std::vector<Key>{{"Tintora", "Tintora", "ColorX"},
                                                {"Tintora", "Tintora", "ColorY"}}));
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "ColorX"}]), "600");
    EXPECT_EQ((settings.values[{"Tintora", "Tintora", "ColorY"}]), "915");
}

}  // namespace
}  // namespace tintora::testing
