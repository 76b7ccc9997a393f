#!/usr/bin/env bash
# End to end (bash scripts/e2e_windows.sh): starts the editor with checker.bmp, maximises its
# window (a double click on its title bar), opens gradient_alpha.bmp through File > Open, presses
# the restore button at the right of the menu bar, and checks that no message box appeared and
# that the restored window shows the texture texel for texel.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
e2e_init "e2e windows" "$@"
samples=$E2E_ROOT/data/samples
# spot shot picture: "x y" of the picture in the main window of the screenshot shot.
spot() { $E2E_IMAGE find "$1" "$MAIN_X" "$MAIN_Y" $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) "$2"; }

e2e_start "$samples/checker.bmp"
e2e_shoot "$E2E_WORK/start.png"
PANEL_TOP=$(e2e_panel_top "$E2E_WORK/start.png") || fail "the tool panel is not on the screen"
read -r TX TY < <(spot "$E2E_WORK/start.png" checker) || fail "the checker is not on the screen"

e2e_step "a double click on its title bar maximises the texture window"
xdotool mousemove $((TX + 128)) $((TY - 10)) click --repeat 2 --delay 80 1
[[ -n "$(e2e_find_window '\[1-checker\.bmp' 30)" ]] || fail "the checker's window is not maximised"

e2e_step "File > Open gradient_alpha.bmp: its window opens maximised"
e2e_menu f 2
e2e_type_file_name '^Load a texture file' "$samples/gradient_alpha.bmp"
[[ -n "$(e2e_find_window '\[2-gradient_alpha\.bmp' 30)" ]] || fail "the new window is not maximised"

e2e_step "the restore button at the right of the menu bar gives the window back its frame"
# The maximised window's buttons sit at the menu bar's right end: minimise, restore, close.
e2e_click $((MAIN_X + MAIN_W - 32)) $(((MAIN_Y + PANEL_TOP) / 2))
e2e_only_window '^Tintora$' >/dev/null  # restored (the title is the editor's alone), no message box
sleep 0.5
e2e_shoot "$E2E_WORK/restored.png"
shown="over-checker:$samples/gradient_alpha.bmp"  # drawn by its alpha over the checkerboard
read -r FX FY < <(spot "$E2E_WORK/restored.png" "$shown") || fail "the texture is not on the screen"
$E2E_IMAGE same "$E2E_WORK/restored.png" "$FX" "$FY" "$shown" || fail "the texture differs"
e2e_alive
say "ok: $E2E_STEPS steps in $SECONDS s"
