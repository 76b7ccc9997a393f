// Where the editor's windows open: the main window on a screen, the texture windows cascading in
// the workspace (the MDI area's visible part), the tool windows at its right side, and the
// previewing dialogs beside the texture window they preview. The arithmetic works on plain
// rectangles of one coordinate system (the screen's, or the workspace's for MDI children), so it
// is tested without windows.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

class QWidget;

namespace tintora {

// The main window's share of the primary screen's free area at first start, in each direction.
inline constexpr double kMainWindowShare = 0.8;
// A stored main window place counts when at least this many pixels of its top edge (where the
// title bar is grabbed) lie on a screen, and when it is at least kMinimumMainSize.
inline constexpr int kGrabbableWidth = 100;
inline constexpr QSize kMinimumMainSize{320, 240};
// Pixels between cascading windows, right and down: about a title bar.
inline constexpr int kCascadeStep = 24;
// The narrowest column new texture windows are cascaded into beside the tool windows; a narrower
// one gives them the whole workspace.
inline constexpr int kMinimumCascadeWidth = 200;

// The main window's geometry: stored when it is a place a user can reach on one of screens (the
// screens' free areas): at least kMinimumMainSize, and kGrabbableWidth pixels of its top edge on
// a screen; its size is then capped to that screen. Otherwise (none stored, or off every screen)
// kMainWindowShare of primary, centred on it.
QRect MainWindowPlace(const std::optional<QRect>& stored, const QList<QRect>& screens,
                      const QRect& primary);

// True when rect lies wholly on one of screens.
bool OnOneScreen(const QRect& rect, const QList<QRect>& screens);
// The free areas (without task bars and docks) of this desktop's screens.
QList<QRect> ScreenAreas();

// place, moved the least distance that puts a window of size wholly inside area; a window wider
// or taller than area keeps to area's left or top edge.
QPoint KeepInside(QPoint place, QSize size, const QRect& area);

// The part of area that new texture windows cascade into: the wider of the parts left and right
// of the columns the taken rectangles (the tool windows) cover of area; area itself when none is
// taken or what is left is narrower than kMinimumCascadeWidth.
QRect CascadeArea(const QRect& area, const QList<QRect>& taken);

// The place of a window of size cascading in area at step (0: area's top-left, each step
// kCascadeStep further right and down). A window that would reach past area's right or bottom
// edge starts the cascade again: step becomes 0. A window larger than area goes to its top-left.
QPoint CascadePlace(int& step, QSize size, const QRect& area);

// The place of a window of size beside target on screen: right of target, else left, below,
// above, the first side where it fits wholly on screen, top or left edges aligned with target's
// as far as the screen allows; with no such side, right of target kept on screen.
QPoint BesidePlace(const QRect& target, QSize size, const QRect& screen);

// The active texture window's frame in screen coordinates; none without an active texture window.
std::optional<QRect> ActiveTextureFrame();

// Places a dialog that previews the active texture: beside the texture window when it opens,
// unless the user moved the dialog elsewhere before, in this run; then where the user put it
// (while that is still on a screen).
class BesideTexturePlace {
  public:
    // Moves dialog to its place; call before it is shown.
    void Open(QWidget& dialog);
    // Call when dialog is hidden: a place other than the one Open chose is the user's.
    void Close(const QWidget& dialog);

  private:
    std::optional<QPoint> userPlace_;
    std::optional<QPoint> placed_;
};

}  // namespace tintora
