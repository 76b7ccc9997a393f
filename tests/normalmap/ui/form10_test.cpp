// Form10 in the running editor: the tool button that shows it, the source options and the
// amplitude text as the generator receives them, the new texture windows it makes, and what it
// leaves alone.
#include "normalmap/ui/form10.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

#include "app/mdi_form1.h"
#include "support/document_fixture.h"
#include "texture_window/form1.h"
#include "document/module1.h"
#include "editor_fixture.h"
#include "normalmap/normal_map.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 64;
constexpr int kHeight = 32;

class Form10Test : public EditorTest {
  protected:
    // Starts the editor (unless it runs) and opens one texture window on a picture whose four
    // channels hold different reliefs: blue rises along x, green along y, red is a bowl, alpha
    // ripples.
    void OpenPicture() {
        if (!editor) Start();
        picture.resize(static_cast<std::size_t>(kWidth) * kHeight * 4);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                std::uint8_t* p = &picture[4 * (static_cast<std::size_t>(y) * kWidth + x)];
                p[0] = static_cast<std::uint8_t>(4 * x);
                p[1] = static_cast<std::uint8_t>(8 * y);
                p[2] =
                    static_cast<std::uint8_t>(((x - 32) * (x - 32) + 4 * (y - 16) * (y - 16)) / 9);
                p[3] = static_cast<std::uint8_t>(160 + 40 * ((x / 3 + y / 5) % 3));
            }
        }
        ASSERT_TRUE(files_.isValid());
        const QImage image(picture.data(), kWidth, kHeight, kWidth * 4, QImage::Format_ARGB32);
        const QString path = files_.filePath(QStringLiteral("relief.png"));
        ASSERT_TRUE(image.save(path, "PNG"));
        editor->LoadTexture(path.toStdString());
        source = Module1().ActiveWindowIndex;
        ASSERT_GT(source, 0);
        sourceTexture = DocumentAt(source).TextureIndex;
        ASSERT_EQ(ReadTexture(*TextureAt(sourceTexture).Texture), picture);
        sourceCaption = DocumentAt(source).Window->Caption();
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
        Activate(source);
        editor->Command7->click();
        return editor->Form10Window();
    }

    void Activate(std::int32_t document) {
        editor->mdiArea->setActiveSubWindow(SubWindow(document));
        EXPECT_EQ(Module1().ActiveWindowIndex, document);
    }

    static QMdiSubWindow* SubWindow(std::int32_t document) {
        auto* form = static_cast<Form1*>(DocumentAt(document).Window);
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }

    // The texture of the active window, which a generation makes the new one.
    TextureEntry& ActiveEntry() const {
        return TextureAt(DocumentAt(Module1().ActiveWindowIndex).TextureIndex);
    }

    static int InUse(const auto& table) {
        int count = 0;
        for (const auto& slot : table)
            count += slot.InUse ? 1 : 0;
        return count;
    }

    // The source texture, its buffer and its window are as they were.
    void ExpectSourceUnchanged() const {
        EXPECT_EQ(DocumentAt(source).TextureIndex, sourceTexture);
        EXPECT_EQ(ReadTexture(*TextureAt(sourceTexture).Texture), picture);
        EXPECT_EQ(BufferBytes(TextureAt(sourceTexture).Pixels), picture);
        EXPECT_EQ(DocumentAt(source).Window->Caption(), sourceCaption);
    }

    Bytes picture;
    std::int32_t source = 0;
    std::int32_t sourceTexture = 0;
    std::string sourceCaption;

  private:
    QTemporaryDir files_;
};

// The tool button shows the window only over a texture window; "Generate !" with no texture
// window does nothing and leaves the window open.
TEST_F(Form10Test, ShownModelessOverATextureWindow) {
    Start();
    editor->Command7->click();
    EXPECT_FALSE(editor->Form10Loaded());
    EXPECT_TRUE(boxes.shown.empty());

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

    // The last texture window closed under the open window: "Generate !" does nothing.
    SubWindow(source)->close();
    QTest::qWait(10);
    ASSERT_EQ(Module1().ActiveWindowIndex, 0);
    form.Command1->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    // And the tool button neither shows nor hides it now.
    editor->Command7->click();
    EXPECT_TRUE(form.isVisible());
}

// Each option hands its own source code to the generator: the map's alpha is the chosen channel
// (for the colour channels and alpha), its colours the normals of that channel's relief.
TEST_F(Form10Test, EachSourceReadsItsOwnChannel) {
    OpenPicture();
    struct Source {
        int option;  // Option1's index, or -1 for Option2
        HeightSource height;
        int channel;  // stored byte that becomes the map's alpha, or -1 for luminance
    };
    const Source sources[] = {
        {1, HeightSource::Red, 2},        {-1, HeightSource::Green, 1}, {0, HeightSource::Blue, 0},
        {2, HeightSource::Luminance, -1}, {3, HeightSource::Alpha, 3},
    };
    std::vector<Bytes> maps;
    for (const Source& s : sources) {
        SCOPED_TRACE(static_cast<int>(s.height));
        Form10& form = ShowForm();
        (s.option < 0 ? form.Option2 : form.Option1[s.option])->click();
        EXPECT_EQ(form.SourceCode(), static_cast<std::int32_t>(s.height));
        form.Command1->click();
        EXPECT_FALSE(form.isVisible());
        ASSERT_NE(Module1().ActiveWindowIndex, source);

        const TextureEntry& map = ActiveEntry();
        const Bytes texture = ReadTexture(*map.Texture);
        EXPECT_EQ(texture, Expected(10.0f, s.height));
        EXPECT_EQ(BufferBytes(map.Pixels), texture);
        if (s.channel >= 0) {
            for (std::size_t i = 0; i < texture.size(); i += 4)
                ASSERT_EQ(texture[i + 3], picture[i + s.channel]) << i / 4;
        }
        for (const Bytes& other : maps)
            EXPECT_NE(texture, other);
        maps.push_back(texture);
        ExpectSourceUnchanged();
    }
    EXPECT_EQ(TextureWindowCount(), 6);
    EXPECT_TRUE(boxes.shown.empty());
}

// The amplitude is the text's leading number: none gives the flat map, the rest of the text is
// ignored, and a number beyond single precision is reported with nothing made.
TEST_F(Form10Test, AmplitudeIsTheTextsLeadingNumber) {
    OpenPicture();
    Form10& form = ShowForm();
    form.Text1->setText(QStringLiteral("abc"));
    form.Command1->click();
    const Bytes flat = ReadTexture(*ActiveEntry().Texture);
    for (std::size_t i = 0; i < flat.size(); i += 4) {
        ASSERT_EQ(flat[i], 255) << i / 4;      // blue: z
        ASSERT_EQ(flat[i + 1], 128) << i / 4;  // green: y
        ASSERT_EQ(flat[i + 2], 128) << i / 4;  // red: x
        ASSERT_EQ(flat[i + 3], picture[i + 2]) << i / 4;
    }

    ShowForm().Text1->setText(QStringLiteral(" 2.5xyz"));
    form.Command1->click();
    EXPECT_EQ(ReadTexture(*ActiveEntry().Texture), Expected(2.5f, HeightSource::Red));

    const int windows = TextureWindowCount();
    ShowForm().Text1->setText(QStringLiteral("1e39"));
    form.Command1->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Error 6: Overflow");
    EXPECT_EQ(TextureWindowCount(), windows);
    EXPECT_TRUE(form.isVisible());
    ExpectSourceUnchanged();
}

// Each generation opens its own window titled with its own texture index; a closed map's slot is
// taken again, with its number.
TEST_F(Form10Test, TwoGenerationsMakeTwoWindowsWithTheirOwnIndexes) {
    OpenPicture();
    const std::string size = " (" + std::to_string(kWidth) + "x" + std::to_string(kHeight) + ")";
    Form10& form = ShowForm();
    form.Command1->click();
    const std::int32_t first = Module1().ActiveWindowIndex;
    // The new window is active now: the second map is made from the first one.
    editor->Command7->click();
    ASSERT_TRUE(form.isVisible());
    form.Command1->click();
    const std::int32_t second = Module1().ActiveWindowIndex;

    ASSERT_NE(first, second);
    EXPECT_EQ(TextureWindowCount(), 3);
    const std::int32_t x1 = DocumentAt(first).TextureIndex;
    const std::int32_t x2 = DocumentAt(second).TextureIndex;
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(x2, 3);
    EXPECT_EQ(TextureAt(x1).Title, "NormalMap2");
    EXPECT_EQ(TextureAt(x2).Title, "NormalMap3");
    EXPECT_EQ(DocumentAt(first).Window->Caption(), "2-NormalMap2" + size);
    EXPECT_EQ(DocumentAt(second).Window->Caption(), "3-NormalMap3" + size);
    EXPECT_EQ(SubWindow(second)->windowTitle().toStdString(), "3-NormalMap3" + size);
    // The second map is the first one's.
    PixelBuffer secondMap(kWidth, kHeight);
    GenerateNormalMap(TextureAt(x1).Pixels.view(), secondMap.view(), 10.0f, HeightSource::Red);
    EXPECT_EQ(ReadTexture(*TextureAt(x2).Texture), BufferBytes(secondMap));
    ExpectSourceUnchanged();

    SubWindow(first)->close();
    QTest::qWait(10);
    ShowForm().Command1->click();
    const std::int32_t third = Module1().ActiveWindowIndex;
    EXPECT_EQ(DocumentAt(third).TextureIndex, 2);
    EXPECT_EQ(DocumentAt(third).Window->Caption(), "2-NormalMap2" + size);
    EXPECT_EQ(DocumentAt(second).Window->Caption(), "3-NormalMap3" + size);
}

// "Cancel", Escape and the close box only hide the window: the choice and the text stay, also
// after a generation, and nothing is made.
TEST_F(Form10Test, HidingKeepsTheChoiceAndTheText) {
    OpenPicture();
    Form10& form = ShowForm();
    form.Option1[3]->click();
    form.Text1->setText(QStringLiteral("3.5"));
    form.Command2->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(&ShowForm(), &form);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Option1[3]->isChecked());
    EXPECT_EQ(form.Text1->text(), QStringLiteral("3.5"));

    QTest::keyClick(form.Text1, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    ShowForm();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(TextureWindowCount(), 1);

    // Enter in the text box is "Generate !".
    ShowForm();
    QTest::keyClick(form.Text1, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(TextureWindowCount(), 2);
    EXPECT_EQ(ReadTexture(*ActiveEntry().Texture), Expected(3.5f, HeightSource::Alpha));
    ShowForm();
    EXPECT_TRUE(form.Option1[3]->isChecked());
    EXPECT_EQ(form.Text1->text(), QStringLiteral("3.5"));
    EXPECT_EQ(form.SourceCode(), 8);
}

// A generation that fails reports the error and closes its unfinished window: no entry, no
// window, no document left; the next one takes the same slots.
TEST_F(Form10Test, FailedGenerationLeavesNothingBehind) {
    OpenPicture();
    const int entries = InUse(Module1().TextureTable);
    const int documents = InUse(Module1().DocumentTable);
    Form10& form = ShowForm();
    Texture& texture = *TextureAt(sourceTexture).Texture;
    texture.LockRect(0, nullptr, D3DLOCK_READONLY);
    form.Command1->click();
    texture.UnlockRect(0);
    QTest::qWait(10);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.rfind("Error ", 0), 0u) << boxes.shown[0].text;
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(InUse(Module1().TextureTable), entries);
    EXPECT_EQ(InUse(Module1().DocumentTable), documents);
    EXPECT_TRUE(form.isVisible());
    ExpectSourceUnchanged();

    ShowForm().Command1->click();
    EXPECT_EQ(ActiveEntry().Title, "NormalMap2");
    EXPECT_EQ(TextureWindowCount(), 2);
}

}  // namespace
}  // namespace tintora::testing
