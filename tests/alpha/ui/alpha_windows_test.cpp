// The alpha tools' windows in the running editor: the colour-key window Form7 (shown by the tool
// buttons, the key sample, the range box and its scroll bar, Preview against Apply) and the
// alpha-layer window Form9 (sections and frames, source lists, each section's source, "Load
// texture...", nothing to compute from).
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "alpha/alpha_texture.h"
#include "alpha/ui/form7.h"
#include "alpha/ui/form9.h"
#include "app/editor_fixture.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class AlphaWindowsTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
    }

    static Bytes MainBytes(std::int32_t document) {
        return ReadTexture(*TextureAt(DocumentAt(document).TextureIndex).Texture);
    }
    static Bytes PreviewBytes(std::int32_t document) {
        return ReadTexture(*TextureAt(DocumentAt(document).TextureIndex).PreviewTexture);
    }
    // The preview that op makes of the document's texture; the window's own preview must be
    // read before.
    static Bytes PreviewOf(std::int32_t document, const std::function<void(std::int32_t)>& op) {
        op(DocumentAt(document).TextureIndex);
        return PreviewBytes(document);
    }
    static std::vector<std::string> Items(const QComboBox* combo) {
        std::vector<std::string> items;
        for (int i = 0; i < combo->count(); ++i)
            items.push_back(combo->itemText(i).toStdString());
        return items;
    }
};

// A texel pattern for picture number seed.
std::function<Bgra(int, int)> Pattern(int seed) {
    return [seed](int x, int y) { return PatternTexel(x, y, seed); };
}

// --- Form7, the colour key ---------------------------------------------------------------------

TEST_F(AlphaWindowsTest, ColourKeyWindowFollowsTheToolButtons) {
    ASSERT_TRUE(editor->Form7Loaded());
    Form7& form = editor->Form7Window();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Alpha map generation from colorkey"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Color range :"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("2"));
    EXPECT_EQ(form.Tolerance->minimum(), 1);
    EXPECT_EQ(form.Tolerance->maximum(), 100);
    EXPECT_EQ(form.Tolerance->value(), 1);
    EXPECT_EQ(form.Label3->text(), QStringLiteral("%"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Select color :"));
    EXPECT_EQ(form.Label4->text(), QStringLiteral("Pick a color or select it in the color panel"));
    EXPECT_EQ(form.Command2->text(), QStringLiteral("Preview"));
    EXPECT_EQ(form.Command1->text(), QStringLiteral("Apply on texture"));
    EXPECT_EQ(form.Command3->text(), QStringLiteral("New texture"));
    // The sample shows the key colour as it changes.
    Module1().ForegroundColor = 0x00336699u;
    editor->RefreshColorValue();
    EXPECT_EQ(form.SampleColor(), 0x00336699u);

    editor->Option2->click();
    EXPECT_TRUE(form.isVisible());
    // Without a texture window the buttons do nothing.
    form.Command2->click();
    form.Command1->click();
    EXPECT_EQ(StatusLine(), "Idle");
    editor->Se->click();
    EXPECT_FALSE(form.isVisible());
    editor->Option2->click();
    editor->Option1->click();
    EXPECT_FALSE(form.isVisible());

    // Every tool hides the alpha-layer window; "Generate alpha-layer" shows it without a texture.
    for (QPushButton* tool : {editor->Se, editor->Option1, editor->Option2}) {
        editor->Command6->click();
        ASSERT_TRUE(editor->Form9Window().isVisible());
        tool->click();
        EXPECT_FALSE(editor->Form9Window().isVisible()) << tool->objectName().toStdString();
    }
    EXPECT_TRUE(boxes.shown.empty());
}

// Typing moves the scroll bar to the number rounded half to even, clamped to 1-100 (no number:
// 1), the text kept; moving the scroll bar writes the text.
TEST_F(AlphaWindowsTest, RangeTextAndScrollBarStayInStep) {
    Form7& form = editor->Form7Window();
    form.Tolerance->setValue(40);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("40"));
    const std::pair<const char*, int> cases[] = {
        {"15", 15}, {"14.5", 14}, {"150", 100}, {"-7", 1}, {"abc", 1}};
    for (const auto& [text, value] : cases) {
        form.Text1->setText(QLatin1String(text));
        EXPECT_EQ(form.Tolerance->value(), value) << text;
        EXPECT_EQ(form.Text1->text(), QLatin1String(text));
    }
}

// Preview and Apply read the key colour and the range text at the click (a range typed beyond
// the scroll bar counts as typed); Preview leaves the texture, Apply keeps the result.
TEST_F(AlphaWindowsTest, ColourKeyPreviewAndApply) {
    const std::int32_t document = OpenPng("keyed.png", 16, 6, Pattern(1));
    const Bytes main = MainBytes(document);
    const Bgra key = PatternTexel(3, 2, 1);
    Module1().ForegroundColor = key[0] << 16 | key[1] << 8 | key[2];
    editor->Option2->click();
    Form7& form = editor->Form7Window();
    form.Text1->setText(QStringLiteral("150"));
    form.Command2->click();
    const Bytes preview = PreviewBytes(document);
    EXPECT_NE(preview, main);
    EXPECT_EQ(MainBytes(document), main);
    EXPECT_EQ(StatusLine(), "Action finished");
    EXPECT_EQ(preview, PreviewOf(document, [&](std::int32_t texture) {
                  AlphaFromColourKey(texture, Module1().ForegroundColor, 151);
              }));

    form.Command1->click();
    EXPECT_EQ(MainBytes(document), preview);
    EXPECT_TRUE(form.isVisible());
    // "New texture" does nothing.
    form.Command3->click();
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_TRUE(boxes.shown.empty());
}

// --- Form9, the alpha layer --------------------------------------------------------------------

TEST_F(AlphaWindowsTest, AlphaLayerSectionsEnableTheirFrames) {
    editor->Command6->click();
    Form9& form = editor->Form9Window();
    ASSERT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Generate automatically an alpha layer"));
    EXPECT_EQ(form.Option2->text(), QStringLiteral("From a color channel of the texture"));
    EXPECT_EQ(form.Option3->text(), QStringLiteral("From a existing alpha layer of a texture"));
    EXPECT_EQ(form.Option4->text(), QStringLiteral("From a color channel of an external texture"));
    EXPECT_EQ(form.Frame1->title(), QStringLiteral("From an expanded/normal color key."));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Use the Set ColorKey tool instead."));
    EXPECT_EQ(form.Command1->text(), QStringLiteral("Generate !"));
    EXPECT_TRUE(form.Command1->isDefault());
    EXPECT_EQ(form.Command2->text(), QStringLiteral("Preview"));
    EXPECT_EQ(form.Command3->text(), QStringLiteral("Cancel"));
    const char* const captions[] = {"Red",        "Green",      "Blue", "Saturation", "Luminosity",
                                    "Luminosity", "Saturation", "Blue", "Green",      "Red"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(form.Option1[i]->text(), QLatin1String(captions[i]));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(form.Label2[i]->text(), QStringLiteral("Opaque Reference :"));
        EXPECT_EQ(form.Text1[i]->text(), QStringLiteral("255"));
        EXPECT_EQ(form.Label3[i]->text(), QStringLiteral("Trans. Reference :"));
        EXPECT_EQ(form.Text2[i]->text(), QStringLiteral("0"));
        EXPECT_EQ(form.Command4[i]->text(), QStringLiteral("Load texture..."));
    }
    EXPECT_TRUE(form.Option2->isChecked());
    EXPECT_EQ(form.SectionAChannel(), AlphaChannel::Luminosity);
    EXPECT_EQ(form.SectionCChannel(), AlphaChannel::Luminosity);

    // Each section enables its own frame only.
    for (QRadioButton* section : {form.Option3, form.Option4, form.Option2}) {
        section->click();
        EXPECT_EQ(form.Frame2[0]->isEnabled(), section == form.Option2);
        EXPECT_EQ(form.Frame3->isEnabled(), section == form.Option3);
        EXPECT_EQ(form.Frame2[1]->isEnabled(), section == form.Option4);
        // Nothing to work on: no texture window, empty lists. Both buttons do nothing.
        form.Command2->click();
        form.Command1->click();
        EXPECT_TRUE(form.isVisible());
    }
    form.Command3->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

TEST_F(AlphaWindowsTest, AlphaLayerListsNameEveryOtherSlot) {
    const std::int32_t first = OpenPng("stone.png", 4, 4, Pattern(1));
    // A texture without a file (as "New texture" makes), then the texture being edited.
    const std::int32_t untitled = CreateTextureEntry(4, 4, true);
    OpenPng("wall.png", 4, 4, Pattern(2));
    editor->Command6->click();
    Form9& form = editor->Form9Window();
    const std::vector<std::string> expected = {"1-stone.png", "2- Untitled"};
    EXPECT_EQ(Items(form.Combo1[0]), expected);
    EXPECT_EQ(Items(form.Combo1[1]), expected);

    // The lists follow the active texture.
    FreeTextureEntry(untitled);
    Module1().ActiveWindowIndex = first;
    form.RefreshItems();
    EXPECT_EQ(Items(form.Combo1[0]), (std::vector<std::string>{"2- Untitled", "3-wall.png"}));
}

// Each section reads its own source with its own group's channel: A the texture's channel (the
// reference boxes take no part), B the listed texture's alpha, C the listed texture's channel.
// Preview leaves the texture; Generate keeps the result and hides the window.
TEST_F(AlphaWindowsTest, AlphaLayerSectionsReadTheirOwnSources) {
    OpenPng("small.png", 4, 4, Pattern(5));
    const std::int32_t document = OpenPng("large.png", 16, 16, Pattern(6));
    const Bytes main = MainBytes(document);
    editor->Command6->click();
    Form9& form = editor->Form9Window();
    // The window's preview, and the one the section's operation makes.
    const auto previews = [&](AlphaChannel channel, bool own) {
        const Bytes shown = PreviewBytes(document);
        return std::pair(shown, PreviewOf(document, [&](std::int32_t texture) {
                             if (own) {
                                 AlphaFromOwnChannel(texture, channel);
                             } else {
                                 AlphaFromOtherTexture(texture, 1, channel);
                             }
                         }));
    };
    form.Option1[8]->click();  // section C's "Green": not section A's choice
    form.Text1[0]->setText(QStringLiteral("17"));
    form.Text2[0]->setText(QStringLiteral("junk"));
    const struct {
        QRadioButton* choice;
        AlphaChannel channel;
        bool own;
    } sections[] = {{form.Option2, AlphaChannel::Luminosity, true},
                    {form.Option1[0], AlphaChannel::Red, true},
                    {form.Option3, AlphaChannel::Alpha, false}};
    for (const auto& section : sections) {
        section.choice->click();
        form.Command2->click();
        const auto [shown, made] = previews(section.channel, section.own);
        EXPECT_EQ(shown, made) << section.choice->text().toStdString();
    }
    EXPECT_EQ(MainBytes(document), main);

    form.Option4->click();
    form.Command1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_NE(MainBytes(document), main);
    EXPECT_EQ(MainBytes(document), previews(AlphaChannel::Green, false).second);
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

// "Load texture..." opens a file, keeps the edited texture active and selects the loaded one in
// its own list.
TEST_F(AlphaWindowsTest, AlphaLayerLoadTextureSelectsTheLoadedSlot) {
    const std::int32_t document = OpenPng("edited.png", 8, 8, Pattern(7));
    OpenPng("other.png", 8, 8, Pattern(8));
    auto* window = static_cast<Form1*>(DocumentAt(document).Window);
    editor->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
    ASSERT_EQ(Module1().ActiveWindowIndex, document);
    editor->Command6->click();
    Form9& form = editor->Form9Window();

    dialogs.fileAnswers = {FileChoice{WritePng("loaded.png", 2, 2, Pattern(9)), 1}};
    form.Command4[1]->click();
    EXPECT_EQ(Module1().ActiveWindowIndex, document);
    EXPECT_EQ(Items(form.Combo1[1]), (std::vector<std::string>{"2-other.png", "3-loaded.png"}));
    EXPECT_EQ(form.Combo1[1]->currentIndex(), 1);
    EXPECT_EQ(form.Combo1[0]->currentIndex(), 0);

    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

}  // namespace
}  // namespace tintora::testing
