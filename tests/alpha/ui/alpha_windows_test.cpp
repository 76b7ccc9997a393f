// The alpha tools' windows in the running editor: the colour-key window Form7 and the alpha-layer
// window Form9, over a picture (slot 1), a texture without a file (2) and the edited picture (3).
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "alpha/alpha_texture.h"
#include "alpha/ui/form7.h"
#include "alpha/ui/form9.h"
#include "app/editor_fixture.h"
#include "support/document_fixture.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = QStringList;

class AlphaWindowsTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
        OpenPng("small.png", 4, 4, [](int x, int y) { return PatternTexel(x, y, 5); });
        CreateTextureEntry(4, 4, true);
        OpenPng("large.png", 16, 16, [](int x, int y) { return PatternTexel(x, y, 6); });
        ASSERT_EQ(DocumentAt(Module1().ActiveWindowIndex).TextureIndex, 3);
    }
    static Bytes Main() { return ReadTexture(*TextureAt(3).Texture); }
    static Bytes Preview() { return ReadTexture(*TextureAt(3).PreviewTexture); }
};

TEST_F(AlphaWindowsTest, WindowsAsDesigned) {
    Form7& f7 = editor->Form7Window();
    EXPECT_EQ((Strings{f7.windowTitle(), f7.Label1->text(), f7.Text1->text(), f7.Label3->text(),
                       f7.Label2->text(), f7.Label4->text(), f7.Command2->text(),
                       f7.Command1->text(), f7.Command3->text()}),
              (Strings{"Alpha map generation from colorkey", "Color range :", "2", "%",
                       "Select color :", "Pick a color or select it in the color panel", "Preview",
                       "Apply on texture", "New texture"}));
    EXPECT_EQ(std::tuple(f7.Tolerance->minimum(), f7.Tolerance->maximum(), f7.Tolerance->value()),
              std::tuple(1, 100, 1));

    editor->Command6->click();
    Form9& f9 = editor->Form9Window();
    EXPECT_EQ(
        (Strings{f9.windowTitle(), f9.Option2->text(), f9.Option3->text(), f9.Option4->text(),
                 f9.Frame1->title(), f9.Label1->text(), f9.Command1->text(), f9.Command2->text(),
                 f9.Command3->text(), f9.Label2[1]->text(), f9.Text1[1]->text(),
                 f9.Label3[1]->text(), f9.Text2[1]->text(), f9.Command4[1]->text()}),
        (Strings{"Generate automatically an alpha layer", "From a color channel of the texture",
                 "From a existing alpha layer of a texture",
                 "From a color channel of an external texture",
                 "From an expanded/normal color key.", "Use the Set ColorKey tool instead.",
                 "Generate !", "Preview", "Cancel", "Opaque Reference :", "255",
                 "Trans. Reference :", "0", "Load texture..."}));
    Strings channels, items;
    for (QRadioButton* option : f9.Option1)
        channels.push_back(option->text());
    EXPECT_EQ(channels, (Strings{"Red", "Green", "Blue", "Saturation", "Luminosity", "Luminosity",
                                 "Saturation", "Blue", "Green", "Red"}));
    EXPECT_TRUE(f9.Command1->isDefault() && f9.Option2->isChecked());
    for (QComboBox* combo : f9.Combo1) {
        for (int i = 0; i < combo->count(); ++i)
            items.push_back(combo->itemText(i));
    }
    EXPECT_EQ(items, (Strings{"1-small.png", "2- Untitled", "1-small.png", "2- Untitled"}));
    EXPECT_EQ((Strings{f9.Combo1[0]->currentText(), f9.Combo1[1]->currentText()}),
              (Strings{"1-small.png", "1-small.png"}));
    // Beside the texture it previews, not over it.
    const std::optional<QRect> texture = ActiveTextureFrame();
    ASSERT_TRUE(texture);
    EXPECT_EQ(f9.pos(), QPoint(texture->right() + 1, texture->top()));
}

// Tool buttons show and hide Form7; the range text and the scroll bar follow each other (rounded
// half to even, clamped); Preview and Apply take the range as typed, even beyond the scroll bar.
TEST_F(AlphaWindowsTest, ColourKeyWindowFlow) {
    Form7& form = editor->Form7Window();
    for (QPushButton* tool : {editor->Option2, editor->Se, editor->Option2, editor->Option1}) {
        editor->Command6->click();
        tool->click();
        EXPECT_FALSE(editor->Form9Window().isVisible());
        EXPECT_EQ(form.isVisible(), tool == editor->Option2);
    }
    // It opened beside the texture window it keys.
    const QWidget* frame =
        dynamic_cast<QWidget*>(DocumentAt(Module1().ActiveWindowIndex).Window)->parentWidget();
    EXPECT_EQ(form.pos(), frame->mapToGlobal(QPoint(frame->width(), 0)));
    form.Tolerance->setValue(40);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("40"));
    const std::pair<const char*, int> ranges[] = {
        {"15", 15}, {"14.5", 14}, {"150", 100}, {"-7", 1}, {"abc", 1}};
    for (const auto& [text, value] : ranges) {
        form.Text1->setText(QLatin1String(text));
        EXPECT_EQ(form.Tolerance->value(), value) << text;
        EXPECT_EQ(form.Text1->text(), QLatin1String(text));
    }

    const Bgra key = PatternTexel(3, 2, 6);
    Module1().ForegroundColor = key[0] << 16 | key[1] << 8 | key[2];
    editor->RefreshColorValue();  // the picker shows the colour, and the sample follows
    EXPECT_EQ(form.SampleColor(), Module1().ForegroundColor);
    form.Text1->setText(QStringLiteral("150"));
    form.Command2->click();
    const Bytes preview = Preview();
    AlphaFromColourKey(3, Module1().ForegroundColor, 151);
    EXPECT_EQ(Preview(), preview);
    form.Command1->click();
    EXPECT_EQ(Main(), preview);
    EXPECT_EQ(StatusLine(), "Action finished");
    EXPECT_TRUE(boxes.shown.empty());
}

// Each section enables its frame and reads its own source; Generate keeps the result and hides the
// window; "Load texture..." keeps the edited texture active and selects the loaded one.
TEST_F(AlphaWindowsTest, AlphaLayerWindowFlow) {
    editor->Command6->click();
    Form9& form = editor->Form9Window();
    form.Option1[8]->click();  // section C's Green
    form.Option1[0]->click();  // section A's Red
    const std::pair<QRadioButton*, std::function<void()>> sections[] = {
        {form.Option2, [] { AlphaFromOwnChannel(3, AlphaChannel::Red); }},
        {form.Option3, [] { AlphaFromOtherTexture(3, 1, AlphaChannel::Alpha); }},
        {form.Option4, [] { AlphaFromOtherTexture(3, 1, AlphaChannel::Green); }},
    };
    for (const auto& [section, operation] : sections) {
        section->click();
        EXPECT_EQ(form.Frame2[0]->isEnabled(), section == form.Option2);
        EXPECT_EQ(form.Frame3->isEnabled(), section == form.Option3);
        EXPECT_EQ(form.Frame2[1]->isEnabled(), section == form.Option4);
        form.Command2->click();
        const Bytes shown = Preview();
        operation();
        EXPECT_EQ(shown, Preview()) << section->text().toStdString();
    }
    form.Command1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Main(), Preview());

    editor->Command6->click();
    dialogs.fileAnswers = {
        FileChoice{WritePng("loaded.png", 2, 2, [](int, int) { return Bgra{}; }), 1}};
    form.Command4[1]->click();
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).TextureIndex, 3);
    EXPECT_EQ(form.Combo1[1]->currentText(), QStringLiteral("4-loaded.png"));
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
