// The editor on a desktop: image files dropped on the main window, and the wait cursor while a
// command runs.
#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QEventLoop>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <vector>

#include "app/busy_cursor.h"
#include "texture_window/form1.h"
#include "drawing/views.h"
#include "editor_fixture.h"

namespace tintora::testing {
namespace {

// The shape of the application's override cursor, or -1 when none is set.
int OverrideShape() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor == nullptr ? -1 : static_cast<int>(cursor->shape());
}

// Runs the event loop until it has waited for input at least once.
void RunUntilIdle() {
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
}

// Drags data over a widget and drops it there as the window system would: the enter event goes
// to the widget under the mouse and climbs to the first one that takes drops.
bool DragAndDrop(QWidget* target, QMimeData& data) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

std::vector<std::string> OpenTitles() {
    std::vector<std::string> titles;
    auto& state = Module1();
    for (std::int32_t slot = 1; slot <= state.DocumentTableUBound; ++slot) {
        const TextureDocument& doc = DocumentAt(slot);
        if (doc.Window != nullptr && !doc.IsPreview) titles.push_back(doc.Title);
    }
    return titles;
}

using DesktopTest = EditorTest;

TEST_F(DesktopTest, DroppedImageFilesOpenEachThroughTheNormalLoad) {
    Start();
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/drop with blanks XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QString spaced = folder.filePath(QStringLiteral("my odd texture.bmp"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(SamplePath("odd_37x23.bmp")), spaced));

    // Only local files count: a folder or a web address alone is refused at the door.
    QMimeData nothingToOpen;
    nothingToOpen.setUrls({QUrl::fromLocalFile(folder.path()),
                           QUrl(QStringLiteral("https://example.org/wall.png"))});
    EXPECT_FALSE(DragAndDrop(editor->mdiArea->viewport(), nothingToOpen));
    QMimeData text;
    text.setText(QStringLiteral("checker.bmp"));
    EXPECT_FALSE(DragAndDrop(editor.get(), text));

    // Three files (one missing) dropped over the MDI area, mixed with a folder: the two that
    // exist open in drop order, the missing one is reported on its own.
    const QString missing = folder.filePath(QStringLiteral("gone.bmp"));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(SamplePath("checker.bmp"))),
                   QUrl::fromLocalFile(folder.path()), QUrl::fromLocalFile(missing),
                   QUrl::fromLocalFile(spaced)});
    EXPECT_EQ(MDIForm1::DroppedFiles(files),
              (std::vector<std::string>{SamplePath("checker.bmp"), missing.toStdString(),
                                        spaced.toStdString()}));
    ASSERT_TRUE(DragAndDrop(editor->mdiArea->viewport(), files));
    // The loads run once the drop has been answered.
    EXPECT_EQ(TextureWindowCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(TextureWindowCount(), 2);
    EXPECT_EQ(OpenTitles(), (std::vector<std::string>{"checker.bmp", "my odd texture.bmp"}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("gone.bmp"), std::string::npos) << boxes.shown[0].text;
    // The last file opened is the active texture, read in full.
    const TextureEntry& last = TextureAt(Module1().LastLoadedTexture);
    EXPECT_EQ(last.FileName, spaced.toStdString());
    EXPECT_EQ(last.Width, 37);
    EXPECT_EQ(last.Height, 23);
    EXPECT_EQ(DocumentAt(Module1().ActiveWindowIndex).TextureIndex, Module1().LastLoadedTexture);
    // Nothing holds the wait cursor afterwards.
    RunUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);
}

TEST_F(DesktopTest, WaitCursorFollowsCommandsModalWindowsAndProgress) {
    BusyCursor busy;
    EXPECT_EQ(OverrideShape(), -1);
    {
        BusyCursor::Scope outer(busy);
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        {
            BusyCursor::Scope inner(busy);
            EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);

        // A modal window asks the user something: the normal cursor while it is up.
        QDialog question;
        question.setModal(true);
        question.show();
        EXPECT_FALSE(busy.showing());
        EXPECT_EQ(OverrideShape(), -1);
        // A window that is not modal changes nothing.
        QWidget tool;
        tool.show();
        EXPECT_EQ(OverrideShape(), -1);
        question.hide();
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        tool.hide();
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(OverrideShape(), -1);

    // Progress reported with no command running: busy until the program waits for input, also
    // through the pending messages a long operation lets run, and also under a modal window.
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    busy.Progress();
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    QCoreApplication::processEvents();
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    RunUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);
    dialog.hide();
    EXPECT_EQ(OverrideShape(), -1);

    // A cursor still pushed when the owner goes is popped.
    {
        BusyCursor leaving;
        leaving.Progress();
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(OverrideShape(), -1);
}

TEST_F(DesktopTest, MenuCommandsRunUnderTheWaitCursor) {
    Start(SamplePath("checker.bmp"));
    ASSERT_EQ(TextureWindowCount(), 1);
    RunUntilIdle();
    ASSERT_EQ(OverrideShape(), -1);

    // Record the cursor at every status text of "Auto contrast" (its progress and its result).
    std::vector<int> shapes;
    auto& hooks = Module1().Hooks;
    const auto setStatus = hooks.SetStatusText;
    hooks.SetStatusText = [&](const std::string& text) {
        shapes.push_back(OverrideShape());
        setStatus(text);
    };
    editor->autocontrast->trigger();
    ASSERT_FALSE(shapes.empty());
    for (int shape : shapes)
        EXPECT_EQ(shape, Qt::WaitCursor);
    RunUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);

    // A progress text from anywhere (here a dialog's preview) shows it too, until idle.
    hooks.SetStatusText = setStatus;
    hooks.SetStatusText("Busy (3 %)");
    EXPECT_TRUE(editor->Busy().showing());
    hooks.SetStatusText("Action finished");
    RunUntilIdle();
    EXPECT_FALSE(editor->Busy().showing());
    EXPECT_EQ(editor->Label1->text(), QStringLiteral("Action finished"));
}

}  // namespace
}  // namespace tintora::testing
