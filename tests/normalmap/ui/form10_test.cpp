// Form10 in the running editor over a 64 x 32 picture (texture slot 1).
#include "normalmap/ui/form10.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>

#include "app/editor_fixture.h"
#include "normalmap/normal_map.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

class Form10Test : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
        OpenPng("picture.png", 64, 32, [](int x, int y) { return PatternTexel(x, y, 3); });
    }
    static QMdiSubWindow* ActiveFrame() {
        auto* window = static_cast<Form1*>(DocumentAt(Module1().ActiveWindowIndex).Window);
        return qobject_cast<QMdiSubWindow*>(window->parentWidget());
    }
    // Shows Form10 through the tool button over the active texture window.
    Form10& Show() {
        editor->Command7->click();
        return editor->Form10Window();
    }
};

TEST_F(Form10Test, ShownModelessAsDesigned) {
    Form10& form = Show();
    EXPECT_TRUE(form.isVisible() && !form.isModal());
    EXPECT_EQ(QStringList({form.windowTitle(), form.Label2->text(), form.Option1[1]->text(),
                           form.Option2->text(), form.Option1[0]->text(), form.Option1[2]->text(),
                           form.Option1[3]->text(), form.Label1->text(), form.Text1->text(),
                           form.Command1->text(), form.Command2->text()})
                  .join('|')
                  .toStdString(),
              "Generate a normal map texture|Create normal map from data :|Red|Green|Blue|"
              "Luminance|Alpha|Amplitude :|10.0|Generate !|Cancel");
    EXPECT_TRUE(form.Option1[1]->isChecked() && form.Command1->isDefault());

    // With no texture window left, "Generate !" and the tool button do nothing.
    for (QMdiSubWindow* window : editor->mdiArea->subWindowList()) {
        if (window->objectName() != QStringLiteral("Form5Frame")) window->close();
    }
    QTest::qWait(10);
    form.Command1->click();
    EXPECT_TRUE(form.isVisible());
    form.hide();
    editor->Command7->click();
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(TextureWindowCount(), 0);
}

// Each option names its source code; Cancel, Escape and the close box only hide the window, the
// choice and the text kept; Enter generates into a new window; a failure is reported.
TEST_F(Form10Test, OptionsAndTextReachTheGenerator) {
    Form10& form = Show();
    std::vector<std::int32_t> codes;  // red, green, blue, alpha, luminance
    for (QRadioButton* option :
         {form.Option1[1], form.Option2, form.Option1[0], form.Option1[3], form.Option1[2]}) {
        option->click();
        codes.push_back(form.SourceCode());
    }
    EXPECT_EQ(codes, (std::vector<std::int32_t>{1, 16, 4, 8, 2}));
    form.Text1->setText(QStringLiteral("3.5"));
    form.Command2->click();
    EXPECT_TRUE(form.isHidden());
    QTest::keyClick(Show().Text1, Qt::Key_Escape);
    EXPECT_TRUE(form.isHidden());
    Show().close();
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(&Show(), &form);
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_TRUE(form.isHidden());
    PixelBuffer map(64, 32);
    GenerateNormalMap(TextureAt(1).Pixels.view(), map.view(), 3.5f, HeightSource::Luminance);
    EXPECT_EQ(ReadTexture(*ActiveEntry().Texture), BufferBytes(map));

    Show().Text1->setText(QStringLiteral("1e39"));
    form.Command1->click();
    QTest::qWait(10);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.rfind("Error 6: Overflow", 0), 0u) << boxes.shown[0].text;
    EXPECT_EQ(TextureWindowCount(), 2);
    EXPECT_TRUE(form.isVisible());
}

// Each map opens its own active window titled with its slot; a closed map's slot is taken again.
TEST_F(Form10Test, GenerationsAreNumberedByTheirSlots) {
    const auto activeCaption = [] {
        return DocumentAt(Module1().ActiveWindowIndex).Window->Caption();
    };
    QMdiSubWindow* picture = ActiveFrame();
    Show().Command1->click();
    QMdiSubWindow* second = ActiveFrame();
    // A map was never saved: its caption carries the unsaved mark, and closing it asks first.
    EXPECT_EQ(activeCaption(), "2-NormalMap2 (64x32) *");
    Show().Command1->click();
    EXPECT_EQ(activeCaption(), "3-NormalMap3 (64x32) *");
    boxes.choiceAnswers.push_back(1);  // Discard
    second->close();
    QTest::qWait(10);
    editor->mdiArea->setActiveSubWindow(picture);
    Show().Command1->click();
    EXPECT_EQ(activeCaption(), "2-NormalMap2 (64x32) *");
    EXPECT_EQ(TextureWindowCount(), 3);
}

}  // namespace
}  // namespace tintora::testing
