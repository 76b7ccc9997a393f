#include "app/busy_cursor.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace tintora {

namespace {

bool IsModalWindow(const QWidget* widget) {
    return widget->isWindow() && widget->windowModality() != Qt::NonModal;
}

// A modal window is up. changed is a window whose visibility is changing right now: it counts as
// visible when visible is true and not at all otherwise, whatever its flags say yet.
bool ModalWindowShown(const QWidget* changed, bool visible) {
    if (changed != nullptr && visible && IsModalWindow(changed)) return true;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* window : windows) {
        if (window == changed) continue;
        if (window->isVisible() && IsModalWindow(window)) return true;
    }
    return false;
}

}  // namespace

BusyCursor::BusyCursor(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &BusyCursor::Idle);
    }
}

BusyCursor::~BusyCursor() {
    qApp->removeEventFilter(this);
    if (shown_) QApplication::restoreOverrideCursor();
}

BusyCursor::Scope::Scope(BusyCursor& busy) : busy_(busy) {
    ++busy_.depth_;
    busy_.Update();
}

BusyCursor::Scope::~Scope() {
    --busy_.depth_;
    busy_.Update();
}

void BusyCursor::Progress() {
    untilIdle_ = true;
    Update();
}

void BusyCursor::Idle() {
    if (!untilIdle_) return;
    untilIdle_ = false;
    Update();
}

bool BusyCursor::eventFilter(QObject* watched, QEvent* event) {
    // Only while a command runs does a modal window change anything.
    if (depth_ > 0 && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        if (watched->isWidgetType()) {
            const auto* widget = static_cast<const QWidget*>(watched);
            if (IsModalWindow(widget)) Update(widget, event->type() == QEvent::Show);
        }
    }
    return QObject::eventFilter(watched, event);
}

void BusyCursor::Update(const QWidget* changed, bool visible) {
    const bool wanted = untilIdle_ || (depth_ > 0 && !ModalWindowShown(changed, visible));
    if (wanted == shown_) return;
    shown_ = wanted;
    if (wanted) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace tintora
