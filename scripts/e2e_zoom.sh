#!/usr/bin/env bash
# End to end: the texture views at any zoom, with the real keyboard and mouse.
#
#   1-2. a maximised texture window shows its texture texel for texel, the edge texels in their
#        own colours and plain background beside them, for an even-sized and an odd-sized
#        texture (one of the two lies an odd number of pixels from each edge)
#   3. Zoom In three times (Ctrl+=) from 1:1 shows each texel as a 4 x 4 square of its colour
#   4. Zoom In to 16x draws lines between the texels; the picture's left part is kept as
#      zoom_grid.png
#   5. five wheel notches over a texture with alpha zoom it to 8x about the mouse: the texel
#      under it stays there, drawn over the checkerboard
#
#   bash scripts/e2e_zoom.sh [picture-folder]     (default build/e2e-pictures; "docs" for docs/)
#
# Exits non-zero at the first check that fails. Helpers: scripts/e2e_lib.sh.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
out=${1:-$E2E_ROOT/build/e2e-pictures}
[[ "$out" == docs ]] && out=$E2E_ROOT/docs
mkdir -p "$out"
out=$(cd "$out" && pwd)
export E2E_KEEP_DIR=$out
e2e_init "e2e zoom" "$@"
samples=$E2E_ROOT/data/samples
work=$E2E_WORK

# spot shot picture: "x y" of the picture in the main window of the screenshot shot, tried again
# for up to 3 s (the editor may still be drawing).
spot() {
    for _ in 1 2 3 4 5 6; do
        e2e_shoot "$1"
        $E2E_IMAGE find "$1" "$MAIN_X" "$MAIN_Y" $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) "$2" \
            2>/dev/null && return 0
        sleep 0.5
    done
    fail "the picture $2 is not on the screen"
}

# texel_for_texel shot picture width height: the picture is on the screen exactly, with nothing
# but the background (black) in the columns and rows around it.
texel_for_texel() {
    read -r FX FY < <(spot "$1" "$2") || fail "$2 is not on the screen"
    $E2E_IMAGE same "$1" "$FX" "$FY" "$2" || fail "$2 is not shown texel for texel"
    for box in "$((FX - 1)) $FY 1 $4" "$((FX + $3)) $FY 1 $4" "$FX $((FY - 1)) $3 1" \
        "$FX $((FY + $4)) $3 1"; do
        # shellcheck disable=SC2086
        off=$($E2E_IMAGE off-colour "$1" $box 0,0,0 0)
        ((off == 0)) || fail "$off pixels beside $2 are not the background"
    done
    say "$2 at $FX,$FY"
}

e2e_start "$samples/checker.bmp"
e2e_shoot "$work/start.png"
PANEL_TOP=$(e2e_panel_top "$work/start.png") || fail "the tool panel is not on the screen"

# ---------------------------------------------------------------------------------------------
e2e_step "a maximised window shows the 256 x 256 checker texel for texel"
read -r TX TY < <(spot "$work/start.png" checker) || fail "the checker is not on the screen"
xdotool mousemove $((TX + 128)) $((TY - 10)) click --repeat 2 --delay 80 1
[[ -n "$(e2e_find_window '\[1-checker\.bmp' 30)" ]] || fail "the checker's window is not maximised"
texel_for_texel "$work/checker.png" checker 256 256

e2e_step "File > Open odd_37x23.bmp: maximised too, texel for texel"
e2e_menu f 2
e2e_type_file_name '^Load a texture file' "$samples/odd_37x23.bmp"
[[ -n "$(e2e_find_window '\[2-odd_37x23\.bmp' 30)" ]] || fail "the new window is not maximised"
texel_for_texel "$work/odd.png" "$samples/odd_37x23.bmp" 37 23

# ---------------------------------------------------------------------------------------------
e2e_step "Zoom In three times (Ctrl+=): each texel a 4 x 4 square"
e2e_keys "$E2E_MAIN" ctrl+equal ctrl+equal ctrl+equal
[[ -n "$(e2e_find_window '\[2-odd_37x23\.bmp \(37x23\) 400%\]' 30)" ]] ||
    fail "the caption does not show 400%"
texel_for_texel "$work/zoomed.png" "zoom:4:$samples/odd_37x23.bmp" 148 92

e2e_step "Zoom In to 16x: lines between the texels"
e2e_keys "$E2E_MAIN" ctrl+equal ctrl+equal ctrl+equal ctrl+equal
[[ -n "$(e2e_find_window '\[2-odd_37x23\.bmp \(37x23\) 1600%\]' 30)" ]] ||
    fail "the caption does not show 1600%"
sleep 0.5
e2e_shoot "$work/grid.png"
# The 592 x 368 picture lies where the 4x one was, less half the growth.
gx=$((FX - (592 - 148) / 2)) gy=$((FY - (368 - 92) / 2))
# Inside a texel's square its colour; on the grid line at its left edge, another.
$E2E_IMAGE same "$work/grid.png" $((gx + 16 * 5 + 1)) $((gy + 16 * 3 + 1)) \
    "colour:$(e2e_pixel "$E2E_ROOT/data/samples/odd_37x23.bmp" 5 3)" ||
    fail "texel (5,3) is not a square of its colour"
[[ $(e2e_pixel "$work/grid.png" $((gx + 16 * 5)) $((gy + 16 * 3 + 8))) != \
    $(e2e_pixel "$work/grid.png" $((gx + 16 * 5 + 8)) $((gy + 16 * 3 + 8))) ]] ||
    fail "no grid line at the texel's edge"
# The picture's left part: the 3D view stands at the workspace's right side.
e2e_crop "$work/grid.png" $((gx - 16)) $((gy - 16)) 376 400 "$out/zoom_grid.png"
say "wrote $out/zoom_grid.png"

# ---------------------------------------------------------------------------------------------
e2e_step "five wheel notches over a texture with alpha: 8x about the mouse, on the checkerboard"
e2e_menu f 2
e2e_type_file_name '^Load a texture file' "$samples/gradient_alpha.bmp"
texel_for_texel "$work/gradient.png" "over-checker:$samples/gradient_alpha.bmp" 256 128
# Texel (200, 64) under the mouse: alpha 200, the light square of the checkerboard behind it.
mx=$((FX + 200)) my=$((FY + 64))
xdotool mousemove "$mx" "$my"
for _ in 1 2 3 4 5; do
    xdotool click 4
    sleep 0.3
done
[[ -n "$(e2e_find_window '\[3-gradient_alpha\.bmp \(256x128\) 800%\]' 30)" ]] ||
    fail "the caption does not show 800%"
sleep 0.5
e2e_shoot "$work/wheel.png"
texel=$(python3 -c "import sys; sys.path.insert(0, '$E2E_ROOT/scripts'); import make_samples as m
print(','.join(str((c * 200 + 255 * 55 + 127) // 255) for c in m.gradient_alpha_pixel(200, 64)[:3]))")
$E2E_IMAGE same "$work/wheel.png" $((mx + 1)) $((my + 1)) "colour:$texel" ||
    fail "the texel under the mouse moved, or is not drawn over the checkerboard"
e2e_alive
say "ok: $E2E_STEPS steps in $SECONDS s"
