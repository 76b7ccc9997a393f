#include "texture_window/window_places.h"

#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <array>

#include "document/module1.h"

namespace tintora {

namespace {

// The free area of the screen that shows point, or of the primary screen.
QRect ScreenAreaAt(QPoint point) {
    const QScreen* screen = QGuiApplication::screenAt(point);
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace

QRect MainWindowPlace(const std::optional<QRect>& stored, const QList<QRect>& screens,
                      const QRect& primary) {
    if (stored && stored->width() >= kMinimumMainSize.width() &&
        stored->height() >= kMinimumMainSize.height()) {
        const QRect topEdge(stored->left(), stored->top(), stored->width(), 1);
        for (const QRect& screen : screens) {
            if (screen.intersected(topEdge).width() < kGrabbableWidth) continue;
            return {stored->topLeft(), stored->size().boundedTo(screen.size())};
        }
    }
    const QSize size(static_cast<int>(primary.width() * kMainWindowShare),
                     static_cast<int>(primary.height() * kMainWindowShare));
    return {QPoint(primary.x() + (primary.width() - size.width()) / 2,
                   primary.y() + (primary.height() - size.height()) / 2),
            size};
}

QList<QRect> ScreenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.push_back(screen->availableGeometry());
    return areas;
}

bool OnOneScreen(const QRect& rect, const QList<QRect>& screens) {
    return std::any_of(screens.begin(), screens.end(),
                       [&rect](const QRect& screen) { return screen.contains(rect); });
}

QPoint KeepInside(QPoint place, QSize size, const QRect& area) {
    // Right and bottom first, so that a window larger than area ends on its left and top edges.
    const int x = std::max(area.left(), std::min(place.x(), area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(place.y(), area.bottom() + 1 - size.height()));
    return {x, y};
}

QRect CascadeArea(const QRect& area, const QList<QRect>& taken) {
    int takenLeft = area.right() + 1;
    int takenRight = area.left();
    for (const QRect& rect : taken) {
        const QRect inside = rect.intersected(area);
        if (inside.isEmpty()) continue;
        takenLeft = std::min(takenLeft, inside.left());
        takenRight = std::max(takenRight, inside.right() + 1);
    }
    if (takenLeft > takenRight) return area;
    const QRect left(area.left(), area.top(), takenLeft - area.left(), area.height());
    const QRect right(takenRight, area.top(), area.right() + 1 - takenRight, area.height());
    const QRect& wider = left.width() >= right.width() ? left : right;
    return wider.width() >= kMinimumCascadeWidth ? wider : area;
}

QPoint CascadePlace(int& step, QSize size, const QRect& area) {
    const QPoint place = area.topLeft() + QPoint(step, step) * kCascadeStep;
    if (step > 0 && !area.contains(QRect(place, size))) {
        step = 0;
        return area.topLeft();
    }
    return place;
}

QPoint BesidePlace(const QRect& target, QSize size, const QRect& screen) {
    const int alignedX = KeepInside(target.topLeft(), size, screen).x();
    const int alignedY = KeepInside(target.topLeft(), size, screen).y();
    const std::array<QPoint, 4> sides = {
        QPoint(target.right() + 1, alignedY), QPoint(target.left() - size.width(), alignedY),
        QPoint(alignedX, target.bottom() + 1), QPoint(alignedX, target.top() - size.height())};
    for (const QPoint& side : sides) {
        if (screen.contains(QRect(side, size))) return side;
    }
    return KeepInside(sides[0], size, screen);
}

std::optional<QRect> ActiveTextureFrame() {
    const Module1State& state = Module1();
    const std::int32_t slot = state.ActiveWindowIndex;
    if (slot <= 0 || static_cast<std::size_t>(slot) >= state.DocumentTable.size()) return {};
    auto* window = dynamic_cast<QWidget*>(DocumentAt(slot).Window);
    if (window == nullptr || !window->isVisible()) return {};
    QWidget* frame = window;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) frame = sub;
    QRect rect(frame->mapToGlobal(QPoint(0, 0)), frame->size());
    // Only the part the workspace shows counts: the rest is scrolled out of view.
    if (const QWidget* viewport = frame->parentWidget(); viewport != nullptr && frame != window)
        rect = rect.intersected(QRect(viewport->mapToGlobal(QPoint(0, 0)), viewport->size()));
    if (rect.isEmpty()) return {};
    return rect;
}

void BesideTexturePlace::Open(QWidget& dialog) {
    const QSize size = dialog.frameGeometry().size();
    if (userPlace_ && OnOneScreen(QRect(*userPlace_, size), ScreenAreas())) {
        dialog.move(*userPlace_);
    } else if (const std::optional<QRect> target = ActiveTextureFrame()) {
        dialog.move(BesidePlace(*target, size, ScreenAreaAt(target->center())));
    } else {
        placed_.reset();
        return;
    }
    placed_ = dialog.pos();
}

void BesideTexturePlace::Close(const QWidget& dialog) {
    if (placed_ && dialog.pos() != *placed_) userPlace_ = dialog.pos();
}

}  // namespace tintora
