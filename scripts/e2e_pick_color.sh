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
# output file.
#
# TINTORA_BIN names the editor to run (default build/release/src/app/tintora, which
# scripts/setup.sh builds). Needs xvfb-run, xdotool, python3 and ImageMagick 6 (import-im6.q16,
# convert-im6.q16).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${TINTORA_BIN:-$root/build/release/src/app/tintora}
out=${1:-$root/docs/color_picker.png}
say() { printf '[e2e pick color] %s\n' "$*"; }
fail() { printf '[e2e pick color] FAIL: %s\n' "$*" >&2; exit 1; }

if [[ ! -x "$bin" ]]; then
    fail "no editor at $bin: run bash scripts/setup.sh first"
fi

# Re-run this script inside a virtual X server of its own.
if [[ -z "${TINTORA_E2E_INSIDE:-}" ]]; then
    exec env TINTORA_E2E_INSIDE=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

# The texel to pick and its colour in checker.bmp (a light square: red 255 - y, green x, blue
# (x + y) / 2; see scripts/make_samples.py).
texel_x=70
texel_y=20
expected="235,70,45"

# Settings of this run stay in a folder of its own: window positions are the defaults.
config=$(mktemp -d)
work=$(mktemp -d)
export XDG_CONFIG_HOME=$config
"$bin" "$root/data/samples/checker.bmp" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$config" "$work"' EXIT

find_window() {
    local name=$1 id=""
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n 1 || true)
        [[ -n "$id" ]] && break
        sleep 0.1
    done
    echo "$id"
}

# "r,g,b" of one screen pixel in a screenshot.
pixel() {
    convert-im6.q16 "$1" -crop "1x1+$2+$3" -depth 8 txt:- |
        sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

shoot() {
    import-im6.q16 -window root "png:$1"
}

main=$(find_window '^Tintora$')
[[ -n "$main" ]] || fail "the editor's main window did not appear"
picker=$(find_window '^Color picker')
[[ -n "$picker" ]] || fail "the colour picker did not appear"
# The splash goes after 2 s and the texture window follows.
sleep 4

eval "$(xdotool getwindowgeometry --shell "$main")"
main_x=$X main_y=$Y main_w=$WIDTH main_h=$HEIGHT
shoot "$work/before.png"

# Texture windows are children drawn inside the main window, not windows of the X server: find
# the texture on screen by its top-left texels, (255,0,0) with (255,1,0) right of it and
# (254,0,0) below. The tool panel's top is the first panel-grey pixel below the menu bar.
read -r tex_x tex_y panel_top < <(
    convert-im6.q16 "$work/before.png" -depth 8 ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
fields = data.split(maxsplit=4)
width, height = int(fields[1]), int(fields[2])
pixels = fields[4]
def at(x, y):
    i = 3 * (y * width + x)
    return tuple(pixels[i:i + 3])
mx, my, mw, mh = (int(v) for v in sys.argv[1:5])
texture = None
for y in range(my, min(my + mh, height - 1)):
    for x in range(mx, min(mx + mw, width - 1)):
        if at(x, y) == (255, 0, 0) and at(x + 1, y) == (255, 1, 0) and at(x, y + 1) == (254, 0, 0):
            texture = (x, y)
            break
    if texture:
        break
panel = next((y for y in range(my, my + mh) if at(mx + 2, y) == (224, 224, 224)), None)
if texture is None or panel is None:
    sys.exit("texture or tool panel not found")
print(texture[0], texture[1], panel)
' "$main_x" "$main_y" "$main_w" "$main_h"
) || fail "the texture window's picture is not on the screen"
say "texture at $tex_x,$tex_y; tool panel from row $panel_top"

eval "$(xdotool getwindowgeometry --shell "$picker")"
swatch_x=$((X + 30))
swatch_y=$((Y + 31))
before=$(pixel "$work/before.png" "$swatch_x" "$swatch_y")
say "foreground swatch before the pick: $before"

# "Pick Color": 60, 825 twips (4, 55 pixels) in the tool panel, 82 x 25 pixels.
xdotool mousemove $((main_x + 4 + 41)) $((panel_top + 55 + 12)) click 1
sleep 1
xdotool mousemove $((tex_x + texel_x)) $((tex_y + texel_y)) click 1
sleep 1
shoot "$work/after.png"

shown=$(pixel "$work/after.png" $((tex_x + texel_x)) $((tex_y + texel_y)))
swatch=$(pixel "$work/after.png" "$swatch_x" "$swatch_y")
say "texel ($texel_x,$texel_y) on screen: $shown; foreground swatch: $swatch; expected $expected"

# The picture: the main window and the colour picker together.
right=$(( main_x + main_w > X + WIDTH ? main_x + main_w : X + WIDTH ))
bottom=$(( main_y + main_h > Y + HEIGHT ? main_y + main_h : Y + HEIGHT ))
mkdir -p "$(dirname "$out")"
convert-im6.q16 "$work/after.png" -crop "$((right - main_x))x$((bottom - main_y))+$main_x+$main_y" \
    +repage "png:$out"
say "wrote $out"

[[ "$shown" == "$expected" ]] || fail "the texture shows $shown at the texel, not $expected"
[[ "$swatch" == "$expected" ]] || fail "the foreground swatch shows $swatch, not $expected"
[[ "$before" != "$expected" ]] || fail "the swatch showed the colour before the pick"
say "ok"
