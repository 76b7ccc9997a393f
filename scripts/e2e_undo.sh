#!/usr/bin/env bash
# End to end: work is not lost. Starts the real editor on a virtual X screen with the checker
# sample and checks with real keys, on the screen's pixels:
#
#   1. "Invert colors", then Ctrl+Z shows the original texture again, texel for texel, and
#      Ctrl+Shift+Z the inverted one
#   2. closing the changed texture window asks "Save changes to ...?"; Cancel keeps the window
#      and its picture
#
#   bash scripts/e2e_undo.sh [picture-folder]     (default build/e2e-pictures)
#
# Exits non-zero at the first check that fails, keeping a screenshot of that moment in the folder.
# Helpers: scripts/e2e_lib.sh.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
out=${1:-$E2E_ROOT/build/e2e-pictures}
mkdir -p "$out"
export E2E_KEEP_DIR=$(cd "$out" && pwd)
e2e_init "e2e undo" "$@"
work=$E2E_WORK

# expect what shot picture: the texture shows as picture at TEX_X, TEX_Y (again for up to 3 s
# while it does not: the editor may still be drawing).
expect() {
    for _ in 1 2 3 4 5 6; do
        e2e_shoot "$2"
        $E2E_IMAGE same "$2" "$TEX_X" "$TEX_Y" "$3" 2>/dev/null && return 0
        sleep 0.5
    done
    $E2E_IMAGE same "$2" "$TEX_X" "$TEX_Y" "$3" || fail "$1"
}

cp "$E2E_ROOT/data/samples/checker.bmp" "$work/checker.bmp"
e2e_start "$work/checker.bmp"
e2e_shoot "$work/start.png"
PANEL_TOP=$(e2e_panel_top "$work/start.png") || fail "the tool panel is not on the screen"
read -r TEX_X TEX_Y < <($E2E_IMAGE find "$work/start.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) checker) ||
    fail "the texture is not on the screen"

# ---------------------------------------------------------------------------------------------
e2e_step "Invert colors, then Ctrl+Z and Ctrl+Shift+Z"
# "Invert colors": Command3, 75, 4140 twips, 1185 x 285.
e2e_tool_button 75 4140 1185 285
expect "after Invert colors" "$work/inverted.png" checker-inverted
e2e_keys "$E2E_MAIN" ctrl+z
expect "after Ctrl+Z the texture is not the original" "$work/undone.png" checker
e2e_keys "$E2E_MAIN" ctrl+shift+z
expect "after Ctrl+Shift+Z the texture is not inverted" "$work/redone.png" checker-inverted

# ---------------------------------------------------------------------------------------------
e2e_step "closing the changed window asks, and Cancel keeps it"
# The close button at the right end of the texture window's title bar.
e2e_click $((TEX_X + 245)) $((TEX_Y - 13))
question=$(e2e_find_window '^Zarvell3D Tintora' 50)
[[ -n "$question" ]] || fail "closing the changed window did not ask"
e2e_keys "$question" Escape
e2e_window_gone '^Zarvell3D Tintora'
sleep 0.5
expect "after Cancel the texture window" "$work/kept.png" checker-inverted
e2e_alive
say "ok"
