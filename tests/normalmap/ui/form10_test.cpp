// Form10 in the running editor: the tool button that shows it, the source options and the
// amplitude text as the generator receives them, the new texture windows it makes, and the
// errors it reports.
#include "normalmap/ui/form10.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <cstdint>
#include <string>
#include <vector>

#include "app/editor_fixture.h"
#include "normalmap/normal_map.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 64;
constexpr int kHeight = 32;

class Form10Test : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
    }

    // Opens one texture window on a picture whose four channels all differ.
    void OpenPicture() {
        source = OpenPng("picture.png", kWidth, kHeight,
                         [](int x, int y) { return PatternTexel(x, y, 3); });
        ASSERT_GT(source, 0);
        sourceTexture = DocumentAt(source).TextureIndex;
        picture = ReadTexture(*TextureAt(sourceTexture).Texture);
    }

    // The map the generator makes of the picture.
    Bytes Expected(float amplitude, HeightSource height) const {
        PixelBuffer in(kWidth, kHeight);
        std::copy(picture.begin(), picture.end(), in.data());
        PixelBuffer out(kWidth, kHeight);
        GenerateNormalMap(in.view(), out.view(), amplitude, height);
        return BufferBytes(out);
    }

    // Shows Form10 through the tool button, with the source window active.
    Form10& ShowForm() {
        editor->mdiArea->setActiveSubWindow(SubWindow(source));
        EXPECT_EQ(Module1().ActiveWindowIndex, source);
        editor->Command7->click();
        return editor->Form10Window();
    }

    static QMdiSubWindow* SubWindow(std::int32_t document) {
        auto* form = static_cast<Form1*>(DocumentAt(document).Window);
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }

    Bytes picture;
    std::int32_t source = 0;
    std::int32_t sourceTexture = 0;
};

// The tool button shows the window only over a texture window; "Generate !" with no texture
// window does nothing and leaves the window open.
TEST_F(Form10Test, ShownModelessOverATextureWindow) {
    editor->Command7->click();
    EXPECT_FALSE(editor->Form10Loaded());

    OpenPicture();
    Form10& form = ShowForm();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Generate a normal map texture"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Create normal map from data :"));
    EXPECT_EQ(form.Option1[1]->text(), QStringLiteral("Red"));
    EXPECT_EQ(form.Option2->text(), QStringLiteral("Green"));
    EXPECT_EQ(form.Option1[0]->text(), QStringLiteral("Blue"));
    EXPECT_EQ(form.Option1[2]->text(), QStringLiteral("Luminance"));
    EXPECT_EQ(form.Option1[3]->text(), QStringLiteral("Alpha"));
    EXPECT_TRUE(form.Option1[1]->isChecked());
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Amplitude :"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("10.0"));
    EXPECT_EQ(form.Command1->text(), QStringLiteral("Generate !"));
    EXPECT_TRUE(form.Command1->isDefault());
    EXPECT_EQ(form.Command2->text(), QStringLiteral("Cancel"));
    // Tab order: the buttons, the amplitude, Green, then Red, Blue, Luminance, Alpha.
    const std::vector<QWidget*> order = {form.Command1,   form.Command2,   form.Text1,
                                         form.Option2,    form.Option1[1], form.Option1[0],
                                         form.Option1[2], form.Option1[3]};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }

    // The last texture window closed under the open window: "Generate !" does nothing, and the
    // tool button neither shows nor hides it.
    SubWindow(source)->close();
    QTest::qWait(10);
    ASSERT_EQ(Module1().ActiveWindowIndex, 0);
    form.Command1->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(TextureWindowCount(), 0);
    editor->Command7->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

// Each option names its source code; "Cancel", Escape and the close box only hide the window, so
// the choice and the text stay; Enter in the text box generates with them into a new window.
TEST_F(Form10Test, OptionsAndTextReachTheGenerator) {
    OpenPicture();
    Form10& form = ShowForm();
    const std::pair<QRadioButton*, HeightSource> options[] = {
        {form.Option1[1], HeightSource::Red},
        {form.Option2, HeightSource::Green},
        {form.Option1[0], HeightSource::Blue},
        {form.Option1[2], HeightSource::Luminance},
        {form.Option1[3], HeightSource::Alpha}};
    for (const auto& [option, height] : options) {
        option->click();
        EXPECT_EQ(form.SourceCode(), static_cast<std::int32_t>(height));
    }
    form.Text1->setText(QStringLiteral("3.5"));
    const std::function<void()> hides[] = {
        [&form] { form.Command2->click(); },
        [&form] { QTest::keyClick(form.Text1, Qt::Key_Escape); },
        [&form] { form.close(); },
    };
    for (const auto& hide : hides) {
        hide();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(&ShowForm(), &form);
        EXPECT_TRUE(form.Option1[3]->isChecked());
        EXPECT_EQ(form.Text1->text(), QStringLiteral("3.5"));
    }
    EXPECT_EQ(TextureWindowCount(), 1);

    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(TextureWindowCount(), 2);
    ASSERT_NE(Module1().ActiveWindowIndex, source);
    EXPECT_EQ(ReadTexture(*ActiveEntry().Texture), Expected(3.5f, HeightSource::Alpha));

    // No number: amplitude 0, the flat map.
    ShowForm().Text1->setText(QStringLiteral("abc"));
    form.Command1->click();
    EXPECT_EQ(ReadTexture(*ActiveEntry().Texture), Expected(0.0f, HeightSource::Alpha));
    EXPECT_TRUE(boxes.shown.empty());
}

// Each generation opens its own window titled with its own texture index; a closed map's slot is
// taken again, with its number.
TEST_F(Form10Test, GenerationsAreNumberedByTheirSlots) {
    OpenPicture();
    const std::string size = " (" + std::to_string(kWidth) + "x" + std::to_string(kHeight) + ")";
    Form10& form = ShowForm();
    form.Command1->click();
    const std::int32_t first = Module1().ActiveWindowIndex;
    // The new window is active now: the second map is made from the first one.
    editor->Command7->click();
    form.Command1->click();
    const std::int32_t second = Module1().ActiveWindowIndex;
    EXPECT_EQ(TextureWindowCount(), 3);
    EXPECT_EQ(DocumentAt(first).Window->Caption(), "2-NormalMap2" + size);
    EXPECT_EQ(DocumentAt(second).Window->Caption(), "3-NormalMap3" + size);
    EXPECT_EQ(SubWindow(second)->windowTitle().toStdString(), "3-NormalMap3" + size);
    PixelBuffer secondMap(kWidth, kHeight);
    GenerateNormalMap(TextureAt(2).Pixels.view(), secondMap.view(), 10.0f, HeightSource::Red);
    EXPECT_EQ(ReadTexture(*TextureAt(3).Texture), BufferBytes(secondMap));

    SubWindow(first)->close();
    QTest::qWait(10);
    ShowForm().Command1->click();
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).Window->Caption(), "2-NormalMap2" + size);
    EXPECT_EQ(DocumentAt(second).Window->Caption(), "3-NormalMap3" + size);
}

// A generation that fails, before its window is made (an amplitude beyond single precision) or
// after (the source locked), is reported; its window is closed and the form stays open.
TEST_F(Form10Test, FailedGenerationsAreReported) {
    OpenPicture();
    Form10& form = ShowForm();
    Texture& texture = *TextureAt(sourceTexture).Texture;
    const struct {
        const char* amplitude;
        bool locked;
        const char* report;
    } cases[] = {{"1e39", false, "Error 6: Overflow"}, {"10", true, "Error "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.amplitude);
        ShowForm().Text1->setText(QLatin1String(c.amplitude));
        if (c.locked) texture.LockRect(0, nullptr, D3DLOCK_READONLY);
        form.Command1->click();
        if (c.locked) texture.UnlockRect(0);
        QTest::qWait(10);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text.rfind(c.report, 0), 0u) << boxes.shown[0].text;
        boxes.shown.clear();
        EXPECT_EQ(TextureWindowCount(), 1);
        EXPECT_TRUE(form.isVisible());
    }
    ShowForm().Command1->click();
    EXPECT_EQ(ActiveEntry().Title, "NormalMap2");
}

}  // namespace
}  // namespace tintora::testing
