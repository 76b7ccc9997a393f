#!/usr/bin/env bash
# End to end: the editor as a person meets it. Starts the real editor on a virtual X screen with
# a sample texture whose path holds blanks, drives it with the mouse and the keyboard (menus, the
# tool panel, the adjustment dialogs and their sliders, the Open and Save As file dialogs) and
# checks every step on the screen's pixels and in the saved file's bytes:
#
#   1. the texture shows texel for texel in "Normal" view, also centred in a larger window
#   2-4. "Tiled", "Stretch (filtering)", "Stretch (pixellised)" cover the window as they should
#   5. "Invert colors" on the tool panel inverts every texel on the screen
#   6. "Save As..." through the file dialog, the DDS filter chosen but a name ending in .bmp typed,
#      writes a bitmap holding exactly the inverted texture
#   7. "Lum./Contrast": dragging a slider changes the picture live; "Cancel" brings it back
#   8. "Adjust hue/saturation...": the previewed picture stays after "OK"
#   9. "Open" through the file dialog, then "Alpha map only" shows the alpha channel as grey
#  10. the 3D preview shows the active texture, the checker at first, the last one opened at the end
#  11. "Set ColorKey": a click on a texel takes its colour as the key, "Apply on texture" makes the
#      texels of (nearly) that colour transparent and every other one opaque
#  12. "Generate alpha-layer": the green channel becomes the alpha, previewed, then made permanent
#  13. "Generate Normal map": a new window "NormalMap<n>" holds the red channel's normal map
#
#   bash scripts/e2e_editor.sh [picture-folder]     (default build/e2e-pictures)
#   bash scripts/e2e_editor.sh docs                 remakes the pictures of docs/
#
# Writes pictures of the features into the folder (view_modes.png, adjust_contrast.png,
# adjust_hue.png, alpha_only.png, preview_window.png, alpha_colorkey.png, alpha_layer.png,
# normal_map_window.png). Exits non-zero at the first check that
# fails, keeping a screenshot of that moment in the folder. Helpers: scripts/e2e_lib.sh.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
out=${1:-$E2E_ROOT/build/e2e-pictures}
[[ "$out" == docs ]] && out=$E2E_ROOT/docs
mkdir -p "$out"
out=$(cd "$out" && pwd)
export E2E_KEEP_DIR=$out
e2e_init "e2e editor" "$@"
work=$E2E_WORK
samples=$E2E_ROOT/data/samples

# The textures come from a folder whose name and file names hold blanks, as a user's would.
mkdir -p "$work/my textures" "$work/saved maps"
cp "$samples/checker.bmp" "$work/my textures/checker board.bmp"
cp "$samples/gradient_alpha.bmp" "$work/my textures/gradient alpha.bmp"

# Settings of this run: the 3D preview (5000 x 5000 twips, at its default place in the MDI area's
# top-right corner) not turning by itself, and the colour picker below the main window (which
# takes 80% of the screen, centred), out of the pictures' way.
mkdir -p "$XDG_CONFIG_HOME/tintora"
cat >"$XDG_CONFIG_HOME/tintora/Tintora.ini" <<EOF
[Tintora]
3DView=True
3DCheck=0
ColorX=0
ColorY=$((930 * 15))
EOF

e2e_start "$work/my textures/checker board.bmp"
e2e_shoot "$work/start.png"
PANEL_TOP=$(e2e_panel_top "$work/start.png") || fail "the tool panel is not on the screen"
# Inside the preview window's picture, clear of its frame and title bar.
PV_X=$((MAIN_X + MAIN_W - 5000 / 15 + 12)) PV_Y=$((PANEL_TOP + 30)) PV_W=300 PV_H=220

# check what command...: runs a pixel check and fails the step with its message.
check() {
    local what=$1
    shift
    $E2E_IMAGE "$@" || fail "$what"
}

# locate shot picture [x0 y0 x1 y1]: takes the screenshot shot and finds the picture's top-left
# texels in the box (default: the main window), again for up to 3 s while they are not there;
# sets FX, FY to where they are.
locate() {
    local at="" x0=${3:-$MAIN_X} y0=${4:-$MAIN_Y}
    local x1=${5:-$((MAIN_X + MAIN_W))} y1=${6:-$((MAIN_Y + MAIN_H))}
    for _ in 1 2 3 4 5 6; do
        e2e_shoot "$1"
        at=$($E2E_IMAGE find "$1" "$x0" "$y0" "$x1" "$y1" "$2" 2>/dev/null) && break
        sleep 0.5
    done
    [[ -n "$at" ]] || fail "the picture $2 is not on the screen"
    read -r FX FY <<<"$at"
}

# with_dialog shot picture: keeps the main window and the dialog last placed by e2e_dialog, as
# they are in the screenshot, as a picture.
with_dialog() {
    local right=$((MAIN_X + MAIN_W > DX + DW ? MAIN_X + MAIN_W : DX + DW))
    local bottom=$((MAIN_Y + MAIN_H > DY + DH ? MAIN_Y + MAIN_H : DY + DH))
    e2e_crop "$1" "$MAIN_X" "$MAIN_Y" $((right - MAIN_X)) $((bottom - MAIN_Y)) "$2"
}

# expect what command shot args...: takes the screenshot shot and runs the pixel check on it,
# again for up to 3 s while it fails (the editor may still be drawing), then fails the step.
expect() {
    local what=$1 command=$2 shot=$3
    shift
    for _ in 1 2 3 4 5 6; do
        e2e_shoot "$shot"
        $E2E_IMAGE "$@" 2>/dev/null && return 0
        sleep 0.5
    done
    e2e_shoot "$shot"
    $E2E_IMAGE "$@" || fail "$what"
}

# ---------------------------------------------------------------------------------------------
e2e_step "the texture opened from the command line shows texel for texel"
read -r TEX_X TEX_Y < <($E2E_IMAGE find "$work/start.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) checker) ||
    fail "the texture is not on the screen"
check "Normal view shows other pixels than the texture" same "$work/start.png" "$TEX_X" "$TEX_Y" checker
lit=$($E2E_IMAGE lit "$work/start.png" "$PV_X" "$PV_Y" "$PV_W" "$PV_H")
((lit > PV_W * PV_H / 6)) || fail "the 3D preview does not show the texture ($lit lit pixels)"

# ---------------------------------------------------------------------------------------------
e2e_step "a larger texture window keeps the texture in its middle"
# The window opens at the texture's size: drag its bottom-right corner out by 144 x 104 pixels.
e2e_drag $((TEX_X + 257)) $((TEX_Y + 257)) $((TEX_X + 257 + 144)) $((TEX_Y + 257 + 104))
sleep 0.5
e2e_shoot "$work/larger.png"
read -r TEX_X TEX_Y < <($E2E_IMAGE find "$work/larger.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) checker) ||
    fail "the texture is not on the screen after the resize"
check "Normal view in the larger window" same "$work/larger.png" "$TEX_X" "$TEX_Y" checker
# The window's area: the texture and the background colour (black) around it.
read -r CL CT CW CH < <($E2E_IMAGE window "$work/larger.png" "$TEX_X" "$TEX_Y" 256 256 0,0,0)
say "texture at $TEX_X,$TEX_Y in a window area of ${CW} x ${CH} at $CL,$CT"
((CW > 300 && CH > 300)) || fail "the texture window did not grow: ${CW} x ${CH}"
# Normal view centres the texture: (CW - 256) / 2 either way of a half pixel.
for pair in "$((TEX_X - CL)) $CW" "$((TEX_Y - CT)) $CH"; do
    read -r offset size <<<"$pair"
    ((offset * 2 >= size - 256 - 1 && offset * 2 <= size - 256 + 1)) ||
        fail "the texture is not centred: $offset pixels from the edge of $size"
done
e2e_crop "$work/larger.png" "$CL" "$CT" "$CW" "$CH" "$work/mode_normal.png"

# ---------------------------------------------------------------------------------------------
e2e_step "View > Tiled repeats the texture from the window's top-left corner"
e2e_menu v 2
expect "Tiled view" tiled "$work/tiled.png" "$CL" "$CT" "$CW" "$CH" checker
e2e_crop "$work/tiled.png" "$CL" "$CT" "$CW" "$CH" "$work/mode_tiled.png"

e2e_step "View > Stretch (filtering) blends texels over the whole window"
e2e_menu v 3
expect "Stretch (filtering)" stretched "$work/filtered.png" "$CL" "$CT" "$CW" "$CH" checker filtered
e2e_crop "$work/filtered.png" "$CL" "$CT" "$CW" "$CH" "$work/mode_filtered.png"

e2e_step "View > Stretch (pixellised) stretches without blending"
e2e_menu v 4
expect "Stretch (pixellised)" stretched "$work/pixellised.png" "$CL" "$CT" "$CW" "$CH" checker nearest
e2e_crop "$work/pixellised.png" "$CL" "$CT" "$CW" "$CH" "$work/mode_pixellised.png"
e2e_menu v 1

# ---------------------------------------------------------------------------------------------
e2e_step "Invert colors on the tool panel inverts every texel"
# "Invert colors": Command3, 75, 4140 twips, 1185 x 285.
e2e_tool_button 75 4140 1185 285
expect "after Invert colors" same "$work/inverted.png" "$TEX_X" "$TEX_Y" checker-inverted

# ---------------------------------------------------------------------------------------------
e2e_step "File > Save As... with the DDS filter chosen: a name ending in .bmp writes a bitmap"
saved="$work/saved maps/inverted checker.bmp"
e2e_menu f 4
e2e_dialog '^Save texture to' "$MAIN_X" "$MAIN_Y"
e2e_shoot "$work/save_as.png"
# "Files of type" is the dialog's bottom row, "File name" the one above: the second filter is
# "DirectX Texture File".
e2e_click $((DX + DW / 2)) $((DY + DH - 24))
sleep 0.3
xdotool key --delay 150 Down Return
sleep 0.3
e2e_shoot "$work/save_as_dds.png"
changed=$($E2E_IMAGE differ "$work/save_as.png" "$work/save_as_dds.png" $((DX + 100)) $((DY + DH - 34)) 300 20)
((changed > 0)) || fail "the file type did not change to DirectX Texture File"
e2e_click $((DX + DW / 2)) $((DY + DH - 54))
e2e_type_file_name '^Save texture to' "$saved"
e2e_wait_file "$saved"
check "the saved bitmap" file "$saved" checker-inverted
[[ $(head -c 2 "$saved") == BM ]] || fail "the saved file is not a bitmap"

# ---------------------------------------------------------------------------------------------
# slide title slider-top pixels shot picture: in the adjustment dialog titled title (moved beside
# the texture window, where it hides nothing of the preview), drags the thumb of the slider whose
# top is at slider-top twips (both sliders: left 1320, 3135 x 255) to the right by pixels, checks
# that the texture window's preview changed, and keeps the main window with the dialog as a
# picture.
slide() {
    local title=$1 slider_top=$2 pixels=$3 shot=$4 picture=$5
    e2e_dialog "$title" $((CL + CW + 30)) "$CT"
    local x=$((DX + (1320 + 3135 / 2) / 15)) y=$((DY + (slider_top + 255 / 2) / 15))
    e2e_drag "$x" "$y" $((x + pixels)) "$y"
    sleep 1
    e2e_shoot "$shot"
    changed=$($E2E_IMAGE differ "$work/inverted.png" "$shot" "$TEX_X" "$TEX_Y" 256 256)
    say "$changed of 65536 texels changed in the preview"
    ((changed > 30000)) || fail "the preview did not follow the slider"
    with_dialog "$shot" "$picture"
}

e2e_step "Lum./Contrast: a slider drag previews live, Cancel drops the preview"
# "Lum./Contrast": Command2, 75, 3855 twips, 1185 x 300. The luminosity slider is HScroll2.
e2e_tool_button 75 3855 1185 300
slide '^adjust contrast/luminosity$' 600 45 "$work/contrast.png" "$out/adjust_contrast.png"
# "Cancel": Command2, 4200, 1170 twips, 1215 x 375.
e2e_click $((DX + (4200 + 1215 / 2) / 15)) $((DY + (1170 + 375 / 2) / 15))
e2e_window_gone '^adjust contrast/luminosity$'
expect "after Cancel the texture" same "$work/cancelled.png" "$TEX_X" "$TEX_Y" checker-inverted

# ---------------------------------------------------------------------------------------------
e2e_step "Effects > Adjust hue/saturation...: OK keeps the previewed picture"
# The hue slider is HScroll1.
e2e_menu e 2
slide '^Adjust Hue and Saturation$' 120 60 "$work/hue.png" "$out/adjust_hue.png"
# "OK": Command1, 2760, 1170 twips, 1215 x 375.
e2e_click $((DX + (2760 + 1215 / 2) / 15)) $((DY + (1170 + 375 / 2) / 15))
e2e_window_gone '^Adjust Hue and Saturation$'
# A redraw from the main texture (View > Normal) must show the previewed picture.
e2e_menu v 1
expect "after OK the texture" same "$work/hue_ok.png" "$TEX_X" "$TEX_Y" \
    "shot:$work/hue.png:$TEX_X:$TEX_Y:256:256"

# ---------------------------------------------------------------------------------------------
e2e_step "File > Open, then View > Alpha map only shows the alpha channel"
e2e_menu f 2
e2e_type_file_name '^Load a texture file' "$work/my textures/gradient alpha.bmp"
sleep 1
e2e_menu v 7
e2e_shoot "$work/alpha.png"
read -r AX AY < <($E2E_IMAGE find "$work/alpha.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) "alpha-grey:$samples/gradient_alpha.bmp") ||
    fail "the alpha channel is not on the screen"
check "Alpha map only" same "$work/alpha.png" "$AX" "$AY" "alpha-grey:$samples/gradient_alpha.bmp" 1
read -r left top width height < <($E2E_IMAGE window "$work/alpha.png" "$AX" "$AY" 256 128 0,0,0)
e2e_crop "$work/alpha.png" "$left" "$top" "$width" "$height" "$work/mode_alpha.png"

# The texture windows in each view mode, side by side.
montage-im6.q16 "$work/mode_normal.png" "$work/mode_tiled.png" "$work/mode_filtered.png" \
    "$work/mode_pixellised.png" "$work/mode_alpha.png" -tile 3x2 -geometry +4+4 \
    -background '#e0e0e0' -strip "png:$out/view_modes.png" ||
    fail "could not put the view-mode pictures together"
cp "$work/mode_alpha.png" "$out/alpha_only.png"

# ---------------------------------------------------------------------------------------------
e2e_step "View > Show View3D: the 3D preview shows the active texture"
e2e_menu v 6
sleep 1
e2e_shoot "$work/preview.png"
lit=$($E2E_IMAGE lit "$work/preview.png" "$PV_X" "$PV_Y" "$PV_W" "$PV_H")
changed=$($E2E_IMAGE differ "$work/start.png" "$work/preview.png" "$PV_X" "$PV_Y" "$PV_W" "$PV_H")
say "preview: $lit lit pixels, $changed changed since the checker was active"
((lit > PV_W * PV_H / 6)) || fail "the 3D preview shows no texture"
((changed > PV_W * PV_H / 8)) || fail "the 3D preview did not follow the active texture"
e2e_crop "$work/preview.png" "$MAIN_X" "$MAIN_Y" "$MAIN_W" "$MAIN_H" "$out/preview_window.png"

# ---------------------------------------------------------------------------------------------
e2e_step "Set ColorKey: the clicked texel's colour becomes transparent on Apply on texture"
# "marks" (scripts/e2e_image.py): key-coloured squares, patches near and not so near that colour.
$E2E_IMAGE write-marks "$work/my textures/marks.bmp"
e2e_menu f 2
e2e_type_file_name '^Load a texture file' "$work/my textures/marks.bmp"
locate "$work/marks.png" marks
MX=$FX MY=$FY
# "Set ColorKey": Option2, 60, 1185 twips, 1230 x 375. Its window goes beside the texture.
e2e_tool_button 60 1185 1230 375
e2e_dialog '^Alpha map generation from colorkey$' $((MX + 272)) "$MY"
# A click inside the first key-coloured square (texels 48 to 63, 40 to 55) takes the key.
e2e_click $((MX + 56)) $((MY + 48))
sleep 0.3
# "Apply on texture" is laid out by Qt, not placed: reach it from the range box, which has the
# focus, two steps back past "New texture".
e2e_keys "$E2E_DIALOG" shift+Tab shift+Tab space
sleep 0.5
# The alpha view redraws from the main texture, so only an applied key shows.
e2e_menu v 7
expect "the alpha after Apply on texture" same "$work/keyed.png" "$MX" "$MY" marks-keyed 1
with_dialog "$work/keyed.png" "$out/alpha_colorkey.png"

# ---------------------------------------------------------------------------------------------
e2e_step "Generate alpha-layer: the green channel becomes the alpha, previewed and kept"
# "Select": Se, 60, 450 twips, 1230 x 390; it hides the colour-key window.
e2e_tool_button 60 450 1230 390
e2e_window_gone '^Alpha map generation from colorkey$'
# "Generate alpha-layer": Command6, 120, 5130 twips, 1140 x 435.
e2e_tool_button 120 5130 1140 435
e2e_dialog '^Generate automatically an alpha layer$' $((MX + 272)) "$MAIN_Y"
# form9_click left top [width height]: clicks a control of that window placed at these twips,
# widened by a quarter as the window does; without a size, a point just inside the corner (the
# round button of an option).
form9_click() {
    local x=$(($1 + ${3:-300} / 2)) y=$(($2 + ${4:-220} / 2))
    e2e_click $((DX + x * 5 / 4 / 15)) $((DY + y * 5 / 4 / 15))
    sleep 0.3
}
# "Green" of section A: Option1(1) at 885, 300 in Frame2(0) at 180, 2475; "Preview": Command2.
form9_click $((180 + 885)) $((2475 + 300))
form9_click 255 4320 1380 390
expect "the preview of the green alpha" same "$work/layer.png" "$MX" "$MY" marks-green 1
with_dialog "$work/layer.png" "$out/alpha_layer.png"
# "Generate !": Command1, 1905, 4335 twips, 1650 x 405. Then View > Normal redraws from the main
# texture.
form9_click 1905 4335 1650 405
e2e_window_gone '^Generate automatically an alpha layer$'
e2e_menu v 1
expect "the alpha after Generate !" same "$work/layer_kept.png" "$MX" "$MY" marks-green 1

# ---------------------------------------------------------------------------------------------
e2e_step "Generate Normal map: a new window NormalMap<n> shows the red channel's normal map"
e2e_menu v 7
# "Generate Normal map": Command7, 120, 5550 twips, 1140 x 405. "Red" is chosen at first and
# "Generate !" is the default button.
e2e_tool_button 120 5550 1140 405
e2e_dialog '^Generate a normal map texture$' $((MX + 272)) "$MY"
e2e_shoot "$work/normal_dialog.png"
e2e_crop "$work/normal_dialog.png" "$DX" "$DY" "$DW" "$DH" "$work/normal_dialog_only.png"
e2e_keys "$E2E_DIALOG" Return
e2e_window_gone '^Generate a normal map texture$'
# The red channel is flat over the left band of "marks" (texels 0 to 31 on every row, the texture's
# edges meet there), where the height, hence the alpha, is 255: the new window shows the flat
# normal there, from its top-left texel on. It opens in the cascade, under the window of "marks",
# which stays active: Window > 4 brings it forward, then a drag of its title bar puts the texture
# just right of the one of "marks". The 3D preview shows the active texture: with the window of
# "marks" active again it holds no such colour.
e2e_keys "$E2E_MAIN" alt+w 4
sleep 0.5
# (Left of the 3D preview, which shows the active texture.)
locate "$work/normal_new.png" colour:128,128,255 "$MAIN_X" "$MAIN_Y" $((PV_X - 12)) $((MAIN_Y + MAIN_H))
e2e_drag $((FX + 128)) $((FY - 10)) $((MX + 268 + 128)) $((MY - 10))
e2e_click $((MX + 8)) $((MY + 8))
sleep 0.5
locate "$work/normal.png" colour:128,128,255 $((MX + 240)) $((MY - 20)) $((MX + 300)) $((MY + 20))
NX=$FX NY=$FY
off=$($E2E_IMAGE off-colour "$work/normal.png" $((NX + 2)) $((NY + 2)) 28 252 128,128,255 1)
((off == 0)) || fail "$off texels of a flat region are not (128, 128, 255) in the normal map"
off=$($E2E_IMAGE off-colour "$work/normal.png" "$NX" "$NY" 256 256 128,128,255 1)
say "normal map at $NX,$NY: $off of 65536 texels are not the flat normal"
((off > 20000)) || fail "the normal map window shows no relief"
# Both texture windows with their title bars.
e2e_crop "$work/normal.png" $((MX - 6)) $((MY - 28)) $((NX + 262 - MX)) 292 \
    "$work/normal_windows.png"
montage-im6.q16 "$work/normal_dialog_only.png" "$work/normal_windows.png" -tile 2x1 \
    -geometry +4+4 -background '#e0e0e0' -strip "png:$out/normal_map_window.png" ||
    fail "could not put the normal-map pictures together"
# The caption of a texture window shows in the main window's title while it is maximised
# (a double click on its title bar): "<texture index>-NormalMap<texture index> (256x256) *" (the
# map has never been saved).
xdotool mousemove $((NX + 128)) $((NY - 10)) click --repeat 2 --delay 80 1
title=""
for _ in $(seq 1 30); do
    title=$(xdotool search --onlyvisible --name 'NormalMap' getwindowname 2>/dev/null | head -n 1 ||
        true)
    [[ -n "$title" ]] && break
    sleep 0.1
done
say "main window title: $title"
grep -Eq '\[([0-9]+)-NormalMap\1 \(256x256\) \*\]' <<<"$title" ||
    fail "no window titled NormalMap<n> with its texture index"

e2e_alive
say "ok: $E2E_STEPS steps; pictures in $out"
