// Where windows open: the main window on the screens, tool windows and cascades in the workspace,
// dialogs beside the texture they preview.
#include "texture_window/window_places.h"

#include <gtest/gtest.h>

namespace tintora::testing {
namespace {

// A stored place is kept when a user can reach it; a damaged or stale one (off every screen, too
// small) gives 80% of the primary screen, centred. A size larger than its screen is capped.
TEST(WindowPlacesTest, TheMainWindowOpensWhereItWasOrCentredOnThePrimaryScreen) {
    const QRect primary(0, 0, 1600, 1000), second(1600, 0, 1280, 1024);
    const QRect centred(160, 100, 1280, 800);
    const std::pair<std::optional<QRect>, QRect> cases[] = {
        {std::nullopt, centred},
        {QRect(100, 50, 900, 600), QRect(100, 50, 900, 600)},
        {QRect(1700, 40, 900, 700), QRect(1700, 40, 900, 700)},     // on the second screen
        {QRect(1500, 10, 900, 2000), QRect(1500, 10, 900, 1000)},   // grabbable, too tall
        {QRect(3000, 100, 900, 600), centred},                      // right of every screen
        {QRect(100, 1100, 900, 600), centred},                      // below them
        {QRect(-850, 100, 900, 600), centred},                      // 50 pixels of title left
        {QRect(100, 50, 200, 100), centred},                        // too small to be a place
    };
    for (const auto& [stored, expected] : cases)
        EXPECT_EQ(MainWindowPlace(stored, {primary, second}, primary), expected)
            << (stored ? stored->x() : -1) << "," << (stored ? stored->y() : -1);
}

// Texture windows cascade beside the tool windows' columns: on the wider side, unless too narrow.
TEST(WindowPlacesTest, TextureWindowsCascadeBesideTheToolWindows) {
    const QRect area(0, 0, 900, 600);
    const QRect preview(567, 0, 333, 333), picker(546, 530, 354, 70);
    EXPECT_EQ(CascadeArea(area, {preview, picker}), QRect(0, 0, 546, 600));
    EXPECT_EQ(CascadeArea(area, {QRect(0, 0, 300, 300)}), QRect(300, 0, 600, 600));
    EXPECT_EQ(CascadeArea(area, {QRect(150, 0, 600, 300)}), area);
    EXPECT_EQ(CascadeArea(area, {QRect(950, 0, 100, 100)}), area);  // outside: nothing taken

    // Down-right by a title bar; back to the top-left corner when the next would not fit.
    for (auto [step, place, stepAfter] : {std::tuple{3, QPoint(72, 72), 3}, {15, QPoint(), 0}}) {
        EXPECT_EQ(CascadePlace(step, {256, 256}, area), place);  // 360 + 256 passes the bottom
        EXPECT_EQ(step, stepAfter);
    }
}

// Right of the texture, else left, below, above; none fits: right, kept on the screen.
TEST(WindowPlacesTest, DialogsOpenBesideTheTexture) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize dialog(370, 120);
    const std::pair<QRect, QPoint> cases[] = {
        {QRect(200, 100, 300, 300), QPoint(500, 100)},
        {QRect(800, 100, 300, 300), QPoint(430, 100)},
        {QRect(100, 100, 1100, 300), QPoint(100, 400)},
        {QRect(100, 500, 1100, 524), QPoint(100, 380)},
        {QRect(0, 0, 1280, 1024), QPoint(910, 0)},
    };
    for (const auto& [texture, place] : cases)
        EXPECT_EQ(BesidePlace(texture, dialog, screen), place) << texture.x() << "," << texture.y();
}

}  // namespace
}  // namespace tintora::testing
