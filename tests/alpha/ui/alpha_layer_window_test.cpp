// The alpha-layer window Form9 in the running editor: its sections and their frames, the source
// lists, each section's result against the texture, "Load texture...", and the cases where there
// is nothing to compute from.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>

#include "alpha/alpha_ops.h"
#include "alpha/ui/form9.h"
#include "alpha_window_fixture.h"

namespace tintora::testing {
namespace {

using AlphaLayerWindowTest = AlphaWindowTest;

Bgra Texel(int x, int y, int seed) {
    return PatternTexel(x, y, seed);
}

std::vector<std::string> Items(const QComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    return items;
}

TEST_F(AlphaLayerWindowTest, SectionsEnableTheirFramesAndStartOnLuminosity) {
    Start();
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
    const char* const captions[] = {"Red",        "Green",      "Blue",  "Saturation", "Luminosity",
                                    "Luminosity", "Saturation", "Blue",  "Green",      "Red"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(form.Option1[i]->text(), QLatin1String(captions[i]));
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
    EXPECT_TRUE(form.Frame2[0]->isEnabled() && form.Frame3->isEnabled() &&
                form.Frame2[1]->isEnabled());

    form.Option3->click();
    EXPECT_TRUE(!form.Frame2[0]->isEnabled() && form.Frame3->isEnabled() &&
                !form.Frame2[1]->isEnabled());
    form.Option4->click();
    EXPECT_TRUE(!form.Frame2[0]->isEnabled() && !form.Frame3->isEnabled() &&
                form.Frame2[1]->isEnabled());
    form.Option2->click();
    EXPECT_TRUE(form.Frame2[0]->isEnabled() && !form.Frame3->isEnabled() &&
                !form.Frame2[1]->isEnabled());

    // The two channel groups are separate: a choice in one leaves the other.
    form.Option4->click();
    form.Option1[9]->click();  // section C's "Red"
    EXPECT_EQ(form.SectionCChannel(), AlphaChannel::Red);
    EXPECT_EQ(form.SectionAChannel(), AlphaChannel::Luminosity);
    form.Option2->click();
    form.Option1[1]->click();  // section A's "Green"
    EXPECT_EQ(form.SectionAChannel(), AlphaChannel::Green);
    EXPECT_EQ(form.SectionCChannel(), AlphaChannel::Red);

    // Nothing to work on: no texture window, empty lists. Both buttons do nothing.
    for (QRadioButton* section : {form.Option2, form.Option3, form.Option4}) {
        section->click();
        form.Command2->click();
        form.Command1->click();
        EXPECT_TRUE(form.isVisible());
    }
    EXPECT_EQ(form.Combo1[0]->count(), 0);
    form.Command3->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

TEST_F(AlphaLayerWindowTest, ListsNameEveryOtherSlot) {
    Start();
    const std::int32_t first = Open("stone.png", 4, 4, [](int x, int y) { return Texel(x, y, 1); });
    // A texture without a file (as "New texture" makes), then the texture being edited.
    const std::int32_t untitled = CreateTextureEntry(4, 4, true);
    const std::int32_t edited = Open("wall.png", 4, 4, [](int x, int y) { return Texel(x, y, 2); });
    ASSERT_EQ(TextureOf(first), 1);
    ASSERT_EQ(untitled, 2);
    ASSERT_EQ(TextureOf(edited), 3);

    editor->Command6->click();
    Form9& form = editor->Form9Window();
    const std::vector<std::string> expected = {"1-stone.png", "2- Untitled"};
    EXPECT_EQ(Items(form.Combo1[0]), expected);
    EXPECT_EQ(Items(form.Combo1[1]), expected);
    EXPECT_EQ(form.Combo1[0]->currentIndex(), 0);
    EXPECT_EQ(form.Combo1[1]->currentIndex(), 0);

    // Freed slots stay listed; the lists follow the active texture.
    FreeTextureEntry(untitled);
    Module1().ActiveWindowIndex = first;
    form.RefreshItems();
    EXPECT_EQ(Items(form.Combo1[0]), (std::vector<std::string>{"2- Untitled", "3-wall.png"}));
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

TEST_F(AlphaLayerWindowTest, OwnChannelPreviewAndGenerate) {
    Start();
    const std::int32_t document =
        Open("own.png", 32, 16, [](int x, int y) { return Texel(x, y, 3); });
    const Bytes main = MainBytes(document);
    editor->Command6->click();
    Form9& form = editor->Form9Window();

    // From the first use: the channel shown selected, "Luminosity".
    form.Command2->click();
    const Bytes luminosity = WithAlpha(main, 32, [](int, int, const std::uint8_t* px) {
        return static_cast<std::uint8_t>((px[0] + px[1] + px[2]) / 3);
    });
    EXPECT_EQ(PreviewBytes(document), luminosity);
    EXPECT_EQ(MainBytes(document), main);

    // A choice in section C's group does not change section A's result.
    form.Option1[8]->click();
    form.Command2->click();
    EXPECT_EQ(PreviewBytes(document), luminosity);

    // The reference boxes take no part.
    form.Text1[0]->setText(QStringLiteral("17"));
    form.Text2[0]->setText(QStringLiteral("junk"));
    form.Option1[0]->click();  // "Red"
    form.Command1->click();
    const Bytes red =
        WithAlpha(main, 32, [](int, int, const std::uint8_t* px) { return px[2]; });
    EXPECT_EQ(MainBytes(document), red);
    EXPECT_EQ(PixelBytes(document), red);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

TEST_F(AlphaLayerWindowTest, OtherTexturesAreResampledIntoBlocks) {
    Start();
    const std::int32_t source =
        Open("small.png", 64, 64, [](int x, int y) { return Texel(x, y, 5); });
    const std::int32_t document =
        Open("large.png", 256, 256, [](int x, int y) { return Texel(x, y, 6); });
    const Bytes main = MainBytes(document);
    editor->Command6->click();
    Form9& form = editor->Form9Window();
    ASSERT_EQ(Items(form.Combo1[0]), (std::vector<std::string>{"1-small.png"}));

    // Section B: the source's alpha, each source pixel over a 4 x 4 block.
    form.Option3->click();
    form.Command2->click();
    EXPECT_EQ(PreviewBytes(document), WithAlpha(main, 256, [](int x, int y, const std::uint8_t*) {
                  return Texel(x / 4, y / 4, 5)[3];
              }));
    EXPECT_EQ(MainBytes(document), main);

    // Section C: the channel of its own group ("Green"), the same way; section A's group
    // ("Blue") plays no part.
    form.Option1[2]->click();
    form.Option4->click();
    form.Option1[8]->click();
    form.Command1->click();
    const Bytes green = WithAlpha(main, 256, [](int x, int y, const std::uint8_t*) {
        return Texel(x / 4, y / 4, 5)[1];
    });
    EXPECT_EQ(MainBytes(document), green);
    EXPECT_FALSE(form.isVisible());

    // The source's window closed: its slot stays listed but gives nothing; no change, no error.
    editor->Command6->click();
    auto* sourceWindow = static_cast<Form1*>(DocumentAt(source).Window);
    sourceWindow->parentWidget()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !TextureAt(1).InUse; }));
    Module1().ActiveWindowIndex = document;
    form.RefreshItems();
    ASSERT_EQ(Items(form.Combo1[1]), (std::vector<std::string>{"1-small.png"}));
    const Bytes preview = PreviewBytes(document);
    form.Command2->click();
    form.Command1->click();
    EXPECT_EQ(PreviewBytes(document), preview);
    EXPECT_EQ(MainBytes(document), green);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

TEST_F(AlphaLayerWindowTest, LoadTextureSelectsTheLoadedSlotAndKeepsTheEditedTexture) {
    Start();
    const std::int32_t document =
        Open("edited.png", 8, 8, [](int x, int y) { return Texel(x, y, 7); });
    Open("other.png", 8, 8, [](int x, int y) { return Texel(x, y, 8); });
    Module1().ActiveWindowIndex = document;
    auto* window = static_cast<Form1*>(DocumentAt(document).Window);
    editor->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
    ASSERT_EQ(Module1().ActiveWindowIndex, document);
    editor->Command6->click();
    Form9& form = editor->Form9Window();
    form.RefreshItems();
    ASSERT_EQ(Items(form.Combo1[1]), (std::vector<std::string>{"2-other.png"}));

    const std::string path = WritePicture("loaded.png", 2, 2, [](int x, int y) { return Texel(x, y, 9); });
    dialogs.fileAnswers = {FileChoice{path, 1}};
    form.Command4[1]->click();
    EXPECT_EQ(Module1().LastLoadedTexture, 3);
    EXPECT_EQ(Module1().ActiveWindowIndex, document);
    EXPECT_EQ(Items(form.Combo1[1]), (std::vector<std::string>{"2-other.png", "3-loaded.png"}));
    EXPECT_EQ(form.Combo1[1]->currentIndex(), 1);
    EXPECT_EQ(form.Combo1[0]->currentIndex(), 0);

    // The loaded texture is the source: section C's luminosity of a 2 x 2 texture over 4 x 4
    // blocks of the edited one.
    form.Option4->click();
    form.Command2->click();
    EXPECT_EQ(PreviewBytes(document),
              WithAlpha(MainBytes(document), 8, [](int x, int y, const std::uint8_t*) {
                  const Bgra t = Texel(x / 4, y / 4, 9);
                  return static_cast<std::uint8_t>((t[0] + t[1] + t[2]) / 3);
              }));
    EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? "" : boxes.shown[0].text);
}

}  // namespace
}  // namespace tintora::testing
