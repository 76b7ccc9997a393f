// Undo, redo and the unsaved-changes questions in the running editor.
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "alpha/ui/form7.h"
#include "alpha/ui/form9.h"
#include "document/history.h"
#include "editor_fixture.h"
#include "effects/ui/slider_dialog.h"
#include "support/document_fixture.h"

namespace tintora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class WorkKeptTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start();
        document = OpenPng("work.png", 48, 40, [](int x, int y) { return PatternTexel(x, y, 3); });
    }
    static Bytes Main() { return ReadTexture(*ActiveEntry().Texture); }
    std::string Caption() const { return DocumentAt(document).Window->Caption(); }
    static void Adjust(QAction* command, int first, int second) {
        const WhenModal<SliderDialog> script([&](SliderDialog& form) {
            form.HScroll1->setValue(first);
            form.HScroll2->setValue(second);
            QTest::keyClick(&form, Qt::Key_Return);
        });
        command->trigger();
    }
    std::int32_t document = 0;
};

// Every command that changes the pixels is a step named in the Edit menu; undo and redo give back
// the exact bytes of either side; the caption's mark follows, also when undo reaches the saved
// state.
TEST_F(WorkKeptTest, EveryStepUndoesAndRedoesExactly) {
    const struct {
        const char* name;
        std::function<void()> run;
    } steps[] = {
        {"Adjust luminosity/contrast", [this] { Adjust(editor->contrastlum, 60, -40); }},
        {"Adjust hue/saturation", [this] { Adjust(editor->huesatu, 90, 30); }},
        {"Invert colors", [this] { editor->invertcolor->trigger(); }},
        {"Auto contrast", [this] { editor->autocontrast->trigger(); }},
        {"Equalize", [this] { editor->equalize->trigger(); }},
        {"Color key",
         [this] {
             const Bgra key = PatternTexel(3, 2, 3);
             Module1().ForegroundColor = key[0] << 16 | key[1] << 8 | key[2];
             editor->Option2->click();
             editor->Form7Window().Text1->setText(QStringLiteral("150"));
             editor->Form7Window().Command1->click();
         }},
        {"Alpha layer",
         [this] {
             editor->Command6->click();
             Form9& form = editor->Form9Window();
             form.Option2->click();
             form.Option1[1]->click();  // green
             form.Command1->click();
         }},
    };
    EXPECT_FALSE(editor->undo->isEnabled());
    EXPECT_EQ(Caption(), "1-work.png (48x40)");
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const Bytes before = Main();
        step.run();
        const Bytes after = Main();
        ASSERT_NE(after, before);
        EXPECT_EQ(editor->undo->text().toStdString(), std::string("&Undo ") + step.name);
        EXPECT_EQ(Caption(), "1-work.png (48x40) *");
        editor->undo->trigger();
        EXPECT_EQ(Main(), before);
        EXPECT_EQ(BufferBytes(ActiveEntry().Pixels), before);
        EXPECT_EQ(editor->redo->text().toStdString(), std::string("&Redo ") + step.name);
        EXPECT_EQ(StatusLine(), std::string("Undone: ") + step.name);
        editor->redo->trigger();
        EXPECT_EQ(Main(), after);
        MarkSaved(DocumentAt(document).TextureIndex);
    }
    // Back to the state last marked saved and away from it again.
    editor->undo->trigger();
    EXPECT_EQ(Caption(), "1-work.png (48x40) *");
    editor->redo->trigger();
    EXPECT_EQ(Caption(), "1-work.png (48x40)");
    EXPECT_FALSE(editor->redo->isEnabled());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
}

// Closing a changed window asks: Cancel keeps it, Save writes and closes, Discard closes; a
// closed window's history is gone. Quit lists the unsaved textures in one question.
TEST_F(WorkKeptTest, ClosingAndQuittingAskAboutUnsavedChanges) {
    editor->invertcolor->trigger();
    DocumentWindow* window = DocumentAt(document).Window;
    window->CloseWindow();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Save changes to work.png?");
    EXPECT_EQ(boxes.choiceButtons[0], (std::vector<std::string>{"Save", "Discard", "Cancel"}));
    EXPECT_EQ(TextureWindowCount(), 1);

    // A save that fails keeps the window and its unsaved mark.
    boxes.choiceAnswers = {0};
    dialogs.fileAnswers = {FileChoice{ProgramFile("no such folder/work.bmp").toStdString(), 1}};
    window->CloseWindow();
    QTest::qWait(10);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text.rfind("Error", 0), 0u) << boxes.shown[2].text;
    EXPECT_EQ(TextureWindowCount(), 1);
    EXPECT_EQ(Caption(), "1-work.png (48x40) *");

    // Save: a PNG is written back through Save As, here as a bitmap.
    const std::string saved = ProgramFile("work.bmp").toStdString();
    boxes.choiceAnswers = {0};
    dialogs.fileAnswers = {FileChoice{saved, 1}};
    window->CloseWindow();
    QTest::qWait(10);
    EXPECT_EQ(TextureWindowCount(), 0);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(saved)));

    const std::int32_t second =
        OpenPng("b.png", 8, 8, [](int x, int y) { return PatternTexel(x, y, 1); });
    editor->equalize->trigger();
    const std::int32_t texture = DocumentAt(second).TextureIndex;
    ASSERT_FALSE(UndoStepName(texture).empty());
    const std::int32_t third =
        OpenPng("c.png", 8, 8, [](int x, int y) { return PatternTexel(x, y, 2); });
    editor->invertcolor->trigger();
    boxes.shown.clear();
    editor->quit->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "These textures have unsaved changes:\n\n    " +
                                       std::to_string(texture) + "-b.png\n    " +
                                       std::to_string(DocumentAt(third).TextureIndex) +
                                       "-c.png\n\nSave them before quitting?");
    EXPECT_EQ(editor->quitTag, "no");

    boxes.choiceAnswers = {1};  // Discard
    DocumentAt(second).Window->CloseWindow();
    QTest::qWait(10);
    EXPECT_TRUE(UndoStepName(texture).empty());
    EXPECT_GT(HistoryBytes(), 0u) << "c.png keeps its step";
}

}  // namespace
}  // namespace tintora::testing
