// The colour-key window Form7 in the running editor: shown and hidden by the tools, the range box
// and its scroll bar in step, thresholds on a texture, Preview against Apply, and the key sample
// following the colour picker.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "alpha/ui/form7.h"
#include "alpha/ui/form9.h"
#include "alpha_window_fixture.h"
#include "texture_window/mouse_codes.h"

namespace tintora::testing {
namespace {

using ColourKeyWindowTest = AlphaWindowTest;

// Key (R, G, B) = (100, 150, 200); column x % 8 of the picture differs from it by:
constexpr int kOffsets[8][3] = {{0, 0, 0},   {2, 0, 0}, {1, 1, 1},    {2, 2, 0},
                                {3, 0, 0},   {0, 0, 1}, {50, 50, 50}, {0, 4, 0}};
constexpr std::uint32_t kKey = 200u << 16 | 150u << 8 | 100u;

Bgra KeyedTexel(int x, int y) {
    const int* d = kOffsets[x % 8];
    return {static_cast<std::uint8_t>(200 + d[2]), static_cast<std::uint8_t>(150 + d[1]),
            static_cast<std::uint8_t>(100 + d[0]), static_cast<std::uint8_t>(100 + y)};
}

// Alpha 0 for the columns whose offset lies within the rounded distance below threshold.
Bytes KeyedAlpha(const Bytes& bytes, int width, const std::vector<int>& transparentColumns) {
    return AlphaWindowTest::WithAlpha(bytes, width, [&](int x, int, const std::uint8_t*) {
        for (const int c : transparentColumns) {
            if (x % 8 == c) return std::uint8_t{0};
        }
        return std::uint8_t{255};
    });
}

TEST_F(ColourKeyWindowTest, StartsHiddenAndFollowsTheToolButtons) {
    Start();
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

    editor->Option2->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Module1().CurrentTool, 3);
    editor->Se->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Module1().CurrentTool, 1);
    editor->Option2->click();
    editor->Option1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Module1().CurrentTool, 2);

    // Every tool hides the alpha-layer window; "Generate alpha-layer" shows it without a texture.
    for (QPushButton* tool : {editor->Se, editor->Option1, editor->Option2}) {
        editor->Command6->click();
        ASSERT_TRUE(editor->Form9Window().isVisible());
        tool->click();
        EXPECT_FALSE(editor->Form9Window().isVisible()) << tool->objectName().toStdString();
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ColourKeyWindowTest, RangeTextAndScrollBarStayInStep) {
    Start();
    Form7& form = editor->Form7Window();
    form.Tolerance->setValue(40);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("40"));
    form.Text1->setText(QStringLiteral("15"));
    EXPECT_EQ(form.Tolerance->value(), 15);
    // Rounded half to even; outside 1-100 or no number: the nearer end, the text kept.
    const std::pair<const char*, int> cases[] = {
        {"15.5", 16}, {"14.5", 14}, {"150", 100}, {"1e30", 100}, {"-7", 1}, {"", 1}, {"abc", 1}};
    for (const auto& [text, value] : cases) {
        form.Text1->setText(QLatin1String(text));
        EXPECT_EQ(form.Tolerance->value(), value) << text;
        EXPECT_EQ(form.Text1->text(), QLatin1String(text));
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ColourKeyWindowTest, PreviewShowsTheKeyAlphaAndApplyKeepsIt) {
    Start();
    const std::int32_t document = Open("keyed.png", 16, 6, KeyedTexel);
    const Bytes main = MainBytes(document);
    Module1().ForegroundColor = kKey;
    editor->Option2->click();
    Form7& form = editor->Form7Window();

    // "2": threshold 3. (2,0,0), (1,1,1) and (0,0,1) go transparent with the key; (2,2,0) at
    // 2.83 rounds to 3 and stays opaque.
    form.Text1->setText(QStringLiteral("2"));
    form.Command2->click();
    const Bytes keyed = KeyedAlpha(main, 16, {0, 1, 2, 5});
    EXPECT_EQ(PreviewBytes(document), keyed);
    EXPECT_EQ(MainBytes(document), main);
    EXPECT_EQ(PixelBytes(document), main);
    EXPECT_EQ(Status(), "Action finished");
    EXPECT_TRUE(form.isVisible());

    // Empty, "0" or not a number: threshold 1, the key colour alone.
    for (const char* text : {"", "0", "abc"}) {
        form.Text1->setText(QLatin1String(text));
        form.Command2->click();
        EXPECT_EQ(PreviewBytes(document), KeyedAlpha(main, 16, {0})) << text;
    }
    // A typed range beyond the scroll bar counts as typed: 150 reaches (50, 50, 50).
    form.Text1->setText(QStringLiteral("150"));
    form.Command2->click();
    EXPECT_EQ(PreviewBytes(document), KeyedAlpha(main, 16, {0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(MainBytes(document), main);

    // Apply with "2": the texture takes the key alpha, colours unchanged, alpha 0 or 255 only.
    form.Text1->setText(QStringLiteral("2"));
    form.Command1->click();
    EXPECT_EQ(MainBytes(document), keyed);
    EXPECT_EQ(PixelBytes(document), keyed);
    EXPECT_TRUE(form.isVisible());
    // "New texture" does nothing.
    form.Command3->click();
    EXPECT_EQ(MainBytes(document), keyed);
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ColourKeyWindowTest, WithoutATextureWindowTheButtonsDoNothing) {
    Start();
    Form7& form = editor->Form7Window();
    editor->Option2->click();
    form.Command2->click();
    form.Command1->click();
    EXPECT_EQ(Status(), "Idle");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ColourKeyWindowTest, SampleShowsTheKeyColourAsItChanges) {
    Start();
    Form7& form = editor->Form7Window();
    Module1().ForegroundColor = 0x00336699u;
    Module1().Hooks.RefreshColorValue();
    EXPECT_EQ(form.SampleColor(), 0x00336699u);

    // A click on a texture with the "Set ColorKey" tool picks the key and shows it.
    const std::int32_t document =
        Open("opaque.png", 8, 8, [](int x, int y) { return Bgra{10, 20, static_cast<std::uint8_t>(30 * x + y), 255}; });
    editor->Option2->click();
    auto* window = static_cast<Form1*>(DocumentAt(document).Window);
    window->Form_MouseDown(kLeftButton, 0, 3.0f, 2.0f);
    EXPECT_NE(Module1().ForegroundColor, 0x00336699u);
    EXPECT_EQ(form.SampleColor(), Module1().ForegroundColor & 0x00FFFFFFu);
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
