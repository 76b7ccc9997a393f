#!/usr/bin/env bash
# End to end: picks a colour from a texture with the real mouse and checks that the colour
# picker's foreground swatch shows it.
#
#   bash scripts/e2e_pick_color.sh [output.png]     (default docs/color_picker.png)
#
# Starts the editor on data/samples/checker.bmp on a virtual X screen, clicks "Pick Color", then
# clicks texel (70, 20) of the texture window, takes a screenshot and compares the swatch's pixel
# with the texel's colour on screen and with the colour the sample is made with. Exits non-zero
# when they differ. The picture of the editor (main window and colour picker) is written to the
# output file. Helpers and requirements: scripts/e2e_lib.sh.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
out=${1:-$E2E_ROOT/docs/color_picker.png}
e2e_init "e2e pick color" "$@"

# The texel to pick and its colour in checker.bmp (a light square: red 255 - y, green x, blue
# (x + y) / 2; see scripts/make_samples.py).
texel_x=70
texel_y=20
expected="235,70,45"

e2e_start "$E2E_ROOT/data/samples/checker.bmp"
picker=$(e2e_find_window '^Color picker')
[[ -n "$picker" ]] || fail "the colour picker did not appear"
work=$E2E_WORK
e2e_shoot "$work/before.png"

# Texture windows are children drawn inside the main window, not windows of the X server: find
# the texture on screen by its top-left texels.
read -r tex_x tex_y < <($E2E_IMAGE find "$work/before.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) checker) ||
    fail "the texture window's picture is not on the screen"
PANEL_TOP=$(e2e_panel_top "$work/before.png") || fail "the tool panel is not on the screen"
say "texture at $tex_x,$tex_y; tool panel from row $PANEL_TOP"

e2e_geometry "$picker"
swatch_x=$((X + 30))
swatch_y=$((Y + 31))
before=$(e2e_pixel "$work/before.png" "$swatch_x" "$swatch_y")
say "foreground swatch before the pick: $before"

# "Pick Color": 60, 825 twips in the tool panel, 1230 x 375.
e2e_tool_button 60 825 1230 375
e2e_click $((tex_x + texel_x)) $((tex_y + texel_y))
sleep 1
e2e_shoot "$work/after.png"

shown=$(e2e_pixel "$work/after.png" $((tex_x + texel_x)) $((tex_y + texel_y)))
swatch=$(e2e_pixel "$work/after.png" "$swatch_x" "$swatch_y")
say "texel ($texel_x,$texel_y) on screen: $shown; foreground swatch: $swatch; expected $expected"

# The picture: the main window and the colour picker together.
right=$((MAIN_X + MAIN_W > X + WIDTH ? MAIN_X + MAIN_W : X + WIDTH))
bottom=$((MAIN_Y + MAIN_H > Y + HEIGHT ? MAIN_Y + MAIN_H : Y + HEIGHT))
e2e_crop "$work/after.png" "$MAIN_X" "$MAIN_Y" $((right - MAIN_X)) $((bottom - MAIN_Y)) "$out"
say "wrote $out"

[[ "$shown" == "$expected" ]] || fail "the texture shows $shown at the texel, not $expected"
[[ "$swatch" == "$expected" ]] || fail "the foreground swatch shows $swatch, not $expected"
[[ "$before" != "$expected" ]] || fail "the swatch showed the colour before the pick"
say "ok"
