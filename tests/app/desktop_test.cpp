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

using DesktopTest = EditorTest;

TEST_F(DesktopTest, DroppedImageFilesOpenEachThroughTheNormalLoad) {
    Start();
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/drop with blanks XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QString spaced = folder.filePath(QStringLiteral("my odd texture.bmp"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(SamplePath("odd_37x23.bmp")), spaced));
    const QString missing = folder.filePath(QStringLiteral("gone.bmp"));

    // Only local files count (a missing one too: its load reports it), not a folder, a web
    // address or text; with none of them the drop is refused at the door.
    QMimeData nothingToOpen;
    nothingToOpen.setUrls(
        {QUrl::fromLocalFile(folder.path()), QUrl(QStringLiteral("https://example.org/wall.png"))});
    nothingToOpen.setText(QStringLiteral("checker.bmp"));
    EXPECT_FALSE(DragAndDrop(editor->mdiArea->viewport(), nothingToOpen));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(SamplePath("checker.bmp"))),
                   QUrl::fromLocalFile(folder.path()), QUrl::fromLocalFile(missing),
                   QUrl::fromLocalFile(spaced)});
    ASSERT_TRUE(DragAndDrop(editor->mdiArea->viewport(), files));

    // The loads run in drop order once the drop has been answered.
    EXPECT_EQ(TextureWindowCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(TextureWindowCount(), 2);
    EXPECT_EQ(TextureAt(1).FileName, SamplePath("checker.bmp"));
    EXPECT_EQ(TextureAt(2).FileName, spaced.toStdString());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("gone.bmp"), std::string::npos) << boxes.shown[0].text;
    RunUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);
}

TEST_F(DesktopTest, TheWaitCursorFollowsCommandsModalWindowsAndProgress) {
    BusyCursor busy;
    {
        BusyCursor::Scope outer(busy);
        {
            BusyCursor::Scope inner(busy);
            EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        // A modal window asks the user something: the normal cursor while it is up.
        QDialog question;
        question.setModal(true);
        question.show();
        EXPECT_EQ(OverrideShape(), -1);
        question.hide();
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(OverrideShape(), -1);

    // Progress with no command running: busy until the program waits for input, also through
    // the pending messages a long operation lets run.
    busy.Progress();
    QCoreApplication::processEvents();
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    RunUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);
    {
        BusyCursor leaving;  // a cursor still pushed when its owner goes is popped
        leaving.Progress();
    }
    EXPECT_EQ(OverrideShape(), -1);
}

TEST_F(DesktopTest, MenuCommandsAndProgressTextsShowTheWaitCursor) {
    Start(SamplePath("checker.bmp"));
    RunUntilIdle();
    // The cursor at every status text of "Auto contrast" (its progress and its result).
    std::vector<int> shapes;
    const auto watch = QObject::connect(editor.get(), &MDIForm1::statusTextShown,
                                        [&] { shapes.push_back(OverrideShape()); });
    editor->autocontrast->trigger();
    QObject::disconnect(watch);
    ASSERT_FALSE(shapes.empty());
    EXPECT_EQ(shapes, std::vector<int>(shapes.size(), Qt::WaitCursor));
    RunUntilIdle();
    EXPECT_EQ(OverrideShape(), -1);

    // A progress text from anywhere (here a dialog's preview) shows it too, until idle.
    editor->SetStatusText("Busy (3 %)");
    EXPECT_TRUE(editor->Busy().showing());
    editor->SetStatusText("Action finished");
    RunUntilIdle();
    EXPECT_FALSE(editor->Busy().showing());
    EXPECT_EQ(editor->Label1->text(), QStringLiteral("Action finished"));
}

}  // namespace
}  // namespace tintora::testing
