#!/usr/bin/env bash
# End to end: the start-up layout on a 1280 x 1024 screen with no settings stored.
#
#   bash scripts/e2e_layout.sh [output.png]     (default docs/startup_layout.png)
#
# Starts the editor on data/samples/checker.bmp and checks that the main window takes 80% of the
# screen, centred; that the colour picker and the 3D view stand wholly on the screen, in the
# workspace's bottom-right and top-right corners; and that the texture window lies left of them.
# The picture of the main window goes to the output file. Helpers and requirements:
# scripts/e2e_lib.sh.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
out=${1:-$E2E_ROOT/docs/startup_layout.png}
e2e_init "e2e layout" "$@"
work=$E2E_WORK
workspace="159,159,159"  # the MDI area's background
# is_workspace x y: true when the pixel of the screenshot is the workspace's background.
is_workspace() { [[ $(e2e_pixel "$work/start.png" "$1" "$2") == "$workspace" ]]; }

e2e_step "the main window takes 80% of the screen, centred"
e2e_start "$E2E_ROOT/data/samples/checker.bmp"
((MAIN_X == 128 && MAIN_Y == 102 && MAIN_W == 1024 && MAIN_H == 819)) ||
    fail "the main window is at $MAIN_X,$MAIN_Y, $MAIN_W x $MAIN_H"
sleep 1
e2e_shoot "$work/start.png"
PANEL_TOP=$(e2e_panel_top "$work/start.png") || fail "the tool panel is not on the screen"
right=$((MAIN_X + MAIN_W))  # the workspace's right edge, which is the main window's

e2e_step "the colour picker stands on the screen, in the workspace's bottom-right corner"
e2e_geometry "$(e2e_find_window '^Color picker')"
((X >= 0 && Y >= 0 && X + WIDTH <= 1280 && Y + HEIGHT <= 1024)) ||
    fail "the colour picker at $X,$Y, $WIDTH x $HEIGHT is not wholly on the screen"
((X + WIDTH == right && Y > PANEL_TOP + 333 && Y + HEIGHT < MAIN_Y + MAIN_H)) ||
    fail "the colour picker at $X,$Y is not in the workspace's bottom-right corner"

e2e_step "the 3D view stands in the workspace's top-right corner and shows the sphere"
# 333 x 333 pixels with its frame: the workspace shows around it, not inside it.
left=$((right - 333)) bottom=$((PANEL_TOP + 333))
is_workspace $((left - 3)) $((PANEL_TOP + 100)) && ! is_workspace $((left + 3)) $((PANEL_TOP + 100)) ||
    fail "the 3D view's left edge is not at $left"
is_workspace $((left + 100)) $((bottom + 3)) && ! is_workspace $((left + 100)) $((bottom - 3)) ||
    fail "the 3D view's bottom edge is not at $bottom"
lit=$($E2E_IMAGE lit "$work/start.png" $((left + 10)) $((PANEL_TOP + 30)) 310 220)
((lit > 310 * 220 / 6)) || fail "the 3D view shows no sphere ($lit lit pixels)"

e2e_step "the texture window lies left of them"
read -r tex_x tex_y < <($E2E_IMAGE find "$work/start.png" "$MAIN_X" "$MAIN_Y" "$right" \
    $((MAIN_Y + MAIN_H)) checker) || fail "the texture is not on the screen"
((tex_x + 256 < left)) || fail "the texture at $tex_x,$tex_y reaches under the 3D view"
$E2E_IMAGE same "$work/start.png" "$tex_x" "$tex_y" checker || fail "the texture is covered"

e2e_crop "$work/start.png" "$MAIN_X" "$MAIN_Y" "$MAIN_W" "$MAIN_H" "$out"
e2e_alive
say "ok: $E2E_STEPS steps in $SECONDS s"
