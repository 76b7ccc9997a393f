// The adjustment commands of the main window: invert, auto contrast and equalize run at once on
// the active texture and redraw its window; menu items and tool buttons run the same commands;
// without an active texture window every adjustment command does nothing.
#include <QAction>

#include "adjustment_fixture.h"
#include "effects/channel_maps.h"

namespace tintora::testing {
namespace {

class AdjustmentCommandsTest : public AdjustmentTest {
  protected:
    Bytes Inverted(const Bytes& bytes) const {
        return Apply(bytes,
                     [](const PixelView& in, const PixelView& out) { InvertColors(in, out); });
    }
    Bytes AutoContrasted(const Bytes& bytes) const {
        return Apply(bytes,
                     [](const PixelView& in, const PixelView& out) { AutoContrast(in, out); });
    }
    Bytes Equalized(const Bytes& bytes) const {
        return Apply(bytes, [](const PixelView& in, const PixelView& out) { Equalize(in, out); });
    }

    // The texture, its buffer and the window after a command.
    void ExpectTexture(const Bytes& expected) {
        EXPECT_EQ(MainBytes(), expected);
        EXPECT_EQ(PixelBytes(), expected);
    }
};

TEST_F(AdjustmentCommandsTest, InvertByMenuAndByButtonAreTheSameCommand) {
    OpenPicture(128, 64);
    editor->Label1->setText(QStringLiteral("before"));
    editor->invertcolor->trigger();
    ExpectTexture(Inverted(picture.bytes));
    const QImage invertedShown = Shown();
    EXPECT_NE(invertedShown, shownBefore);

    // The button inverts again, which gives the picture back, shown as at the start.
    editor->Command3->click();
    ExpectTexture(picture.bytes);
    EXPECT_EQ(Shown(), shownBefore);
    editor->invertcolor->trigger();
    EXPECT_EQ(Shown(), invertedShown);
    // Invert writes no status text.
    EXPECT_EQ(Status(), "before");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AdjustmentCommandsTest, AutoContrastStretchesAndSaysDone) {
    OpenPicture(128, 64);
    std::vector<std::string> texts;
    const auto statusLine = Module1().Hooks.SetStatusText;
    Module1().Hooks.SetStatusText = [&](const std::string& text) {
        texts.push_back(text);
        statusLine(text);
    };
    editor->autocontrast->trigger();
    Module1().Hooks.SetStatusText = statusLine;
    const Bytes once = AutoContrasted(picture.bytes);
    ASSERT_NE(once, picture.bytes);
    ExpectTexture(once);
    EXPECT_NE(Shown(), shownBefore);
    EXPECT_EQ(texts, (std::vector<std::string>{"Busy (25%)", "Busy (50%)", "Action done..."}));
    EXPECT_EQ(Status(), "Action done...");

    editor->Label1->setText(QStringLiteral("before"));
    editor->Command1->click();
    ExpectTexture(AutoContrasted(once));
    EXPECT_EQ(Status(), "Action done...");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AdjustmentCommandsTest, EqualizeByMenuAndByButton) {
    OpenPicture(128, 64);
    editor->Label1->setText(QStringLiteral("before"));
    editor->equalize->trigger();
    const Bytes once = Equalized(picture.bytes);
    ASSERT_NE(once, picture.bytes);
    ExpectTexture(once);
    EXPECT_NE(Shown(), shownBefore);
    editor->Command4->click();
    ExpectTexture(Equalized(once));
    EXPECT_EQ(Status(), "before");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AdjustmentCommandsTest, TheOperationsWorkOnTheMainTextureNotOnAPreview) {
    OpenPicture(128, 64);
    // A preview left in the preview texture by a cancelled dialog plays no part.
    WhenModal<Form8> script([](Form8& form) {
        form.HScroll1->setValue(150);
        Settle(form);
        form.Command2->click();
    });
    editor->huesatu->trigger();
    ASSERT_EQ(script.shown, 1);
    editor->invertcolor->trigger();
    ExpectTexture(Inverted(picture.bytes));
    EXPECT_EQ(PreviewBytes(), HueSaturated(picture.bytes, 150, 0));
}

TEST_F(AdjustmentCommandsTest, NothingHappensWithoutAnActiveTextureWindow) {
    OpenPicture(128, 64);
    const Bytes texture0 = MainBytes();
    const std::int32_t slot = texture();
    // The texture stays open in the table, but no window is active.
    Module1().ActiveWindowIndex = 0;
    editor->Label1->setText(QStringLiteral("before"));
    WhenModal<SliderDialog> anyDialog({});
    for (QAction* item : {editor->contrastlum, editor->huesatu, editor->invertcolor,
                          editor->autocontrast, editor->equalize}) {
        item->trigger();
    }
    for (QPushButton* button : {editor->Command1, editor->Command2, editor->Command3,
                                editor->Command4, editor->Command5}) {
        button->click();
    }
    QTest::qWait(20);
    EXPECT_EQ(anyDialog.shown, 0);
    EXPECT_TRUE(editor->findChildren<SliderDialog*>().isEmpty());
    EXPECT_EQ(ReadTexture(*TextureAt(slot).Texture), texture0);
    EXPECT_EQ(Shown(), shownBefore);
    EXPECT_EQ(Status(), "before");
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tintora::testing
