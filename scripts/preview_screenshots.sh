#!/usr/bin/env bash
# Takes the two pictures of the 3D preview for the documentation: the sample texture on the
# sphere (docs/preview_sphere.png) and on the wall (docs/preview_wall.png). Each run starts the
# editor on a virtual X screen with the sample texture, with the preview's settings stored
# beforehand (its place beside the texture window, "Sphere" or "Wall"), brings the preview to the
# front through "View" > "Show View3D", turns the shape with a left drag in the picture (30 pixels
# a radian) and crops the preview window out of the screen.
#
#   bash scripts/preview_screenshots.sh [output-folder]     (default docs/)
#
# TINTORA_BIN names the editor to run (default build/release/src/app/tintora, which
# scripts/setup.sh builds). Needs xvfb-run, xdotool and ImageMagick 6 (import-im6.q16,
# convert-im6.q16).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${TINTORA_BIN:-$root/build/release/src/app/tintora}
outdir=${1:-$root/docs}

if [[ ! -x "$bin" ]]; then
    echo "[preview-screenshots] no editor at $bin: run bash scripts/setup.sh first" >&2
    exit 1
fi

# Re-run this script inside a virtual X server of its own.
if [[ -z "${TINTORA_SCREENSHOT_INSIDE:-}" ]]; then
    exec env TINTORA_SCREENSHOT_INSIDE=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash "$0" "$@"
fi

# Where the preview window goes in the main window's MDI area, in pixels (the settings hold
# twips, 15 per pixel), and its outer size: start-up makes it 5000 x 5000 twips.
preview_x=300
preview_y=0
preview_size=$((5000 / 15))
# The tool panel left of the MDI area is 1365 twips wide.
panel_width=$((1365 / 15))

# The colour of pixel (x, y) of an image, as ImageMagick names it.
pixel() {
    convert-im6.q16 "$1" -format "%[pixel:p{$2,$3}]" info:
}

# shot <sphere: True|False> <drag steps> <output.png>: each drag step moves 4 pixels left and 2 up.
shot() {
    local sphere=$1 steps=$2 out=$3
    local config pid window
    config=$(mktemp -d)
    mkdir -p "$config/tintora"
    cat >"$config/tintora/Tintora.ini" <<EOF
[Tintora]
3DX=$((preview_x * 15))
3DY=$((preview_y * 15))
3DView=$sphere
3DCheck=0
EOF
    XDG_CONFIG_HOME=$config "$bin" "$root/data/samples/checker.bmp" &
    pid=$!

    window=""
    for _ in $(seq 1 100); do
        window=$(xdotool search --onlyvisible --name '^Tintora$' 2>/dev/null | head -n 1 || true)
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    if [[ -z "$window" ]]; then
        echo "[preview-screenshots] the editor's window did not appear" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    # The splash goes after 2 s; the texture window and the preview follow.
    sleep 4
    eval "$(xdotool getwindowgeometry --shell "$window")"

    # "View" > "Show View3D": the eighth entry (two separators and the "Zoom" submenu before it).
    xdotool windowactivate --sync "$window" 2>/dev/null || true
    xdotool key --window "$window" alt+v
    sleep 0.5
    xdotool key Down Down Down Down Down Down Return
    sleep 0.5

    # Find the MDI area's top edge: the first row, in a column right of the preview, that has
    # the colour of the empty MDI area.
    local full mdi_colour mdi_top=-1 column y
    full=$(mktemp --suffix=.png)
    import-im6.q16 -window root "png:$full"
    column=$((X + panel_width + preview_x + preview_size + 40))
    mdi_colour=$(pixel "$full" "$column" $((Y + 200)))
    for y in $(seq "$Y" $((Y + 80))); do
        if [[ $(pixel "$full" "$column" "$y") == "$mdi_colour" ]]; then
            mdi_top=$y
            break
        fi
    done
    if ((mdi_top < 0)); then
        echo "[preview-screenshots] could not find the MDI area" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    local left=$((X + panel_width + preview_x)) top=$((mdi_top + preview_y))

    # Turn the shape: dragging left raises the yaw, dragging up the pitch.
    local cx=$((left + preview_size / 2)) cy=$((top + preview_size / 3))
    xdotool mousemove "$cx" "$cy" mousedown 1
    for step in $(seq 1 "$steps"); do
        xdotool mousemove $((cx - 4 * step)) $((cy - 2 * step))
        sleep 0.05
    done
    xdotool mouseup 1
    # Park the pointer outside the preview and let a few frames draw.
    xdotool mousemove $((X + 5)) $((Y + HEIGHT - 5))
    sleep 1

    mkdir -p "$(dirname "$out")"
    import-im6.q16 -window root -crop "${preview_size}x${preview_size}+${left}+${top}" +repage \
        "png:$out"
    rm -f "$full"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$config"
    echo "[preview-screenshots] wrote $out (${preview_size} x ${preview_size})"
}

# The sphere turned by yaw 0.8 and pitch 0.4, the wall by yaw 0.4 and pitch 0.2.
shot True 6 "$outdir/preview_sphere.png"
shot False 3 "$outdir/preview_wall.png"
