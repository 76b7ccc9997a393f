# Shared helpers of the end-to-end scripts (sourced, not run). They drive the real editor on a
# virtual X screen with real input (xdotool), take screenshots (ImageMagick 6) and read their
# pixels (scripts/e2e_image.py).
#
#   source "$(dirname "$0")/e2e_lib.sh"
#   e2e_init "name" "$@"        re-runs the script inside a virtual X server of its own, makes
#                               the work folder $E2E_WORK and a settings folder
#   e2e_start file...           starts the editor; $E2E_MAIN, $MAIN_X/Y/W/H: its main window
#   e2e_shoot shot.png          the whole screen
#   ...                         (see each function)
#
# TINTORA_BIN names the editor (default build/release/src/app/tintora, which scripts/setup.sh
# builds). Needs xvfb-run, xdotool, python3 and ImageMagick 6 (import-im6.q16, convert-im6.q16).
# Screen: 1280 x 1024 x 24, no window manager: windows have no frames and stay where the program
# puts them; the keyboard goes to the window given the focus with xdotool windowfocus.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
E2E_BIN=${TINTORA_BIN:-$E2E_ROOT/build/release/src/app/tintora}
E2E_IMAGE="python3 $E2E_ROOT/scripts/e2e_image.py"
E2E_NAME=e2e
E2E_PID=""
E2E_STEPS=0

say() { printf '[%s] %s\n' "$E2E_NAME" "$*"; }
fail() {
    printf '[%s] FAIL: %s\n' "$E2E_NAME" "$*" >&2
    # The screen as it was, for whoever reads the failure.
    if [[ -n "${E2E_WORK:-}" && -n "${E2E_KEEP_DIR:-}" ]]; then
        local shot="$E2E_KEEP_DIR/${E2E_NAME// /_}_failure.png"
        mkdir -p "$E2E_KEEP_DIR"
        import-im6.q16 -window root "png:$shot" 2>/dev/null &&
            printf '[%s] the screen at the failure: %s\n' "$E2E_NAME" "$shot" >&2
    fi
    exit 1
}

# e2e_init name "$@": call first. Re-runs the calling script under xvfb-run unless already inside
# one; makes $E2E_WORK (removed at exit) and points the editor's settings at a folder of its own,
# so window positions are the program's defaults.
e2e_init() {
    E2E_NAME=$1
    shift
    if [[ -z "${TINTORA_E2E_INSIDE:-}" ]]; then
        command -v xvfb-run >/dev/null || fail "xvfb-run is missing: bash scripts/setup.sh --deps-only"
        exec env TINTORA_E2E_INSIDE=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
            bash "$0" "$@"
    fi
    E2E_WORK=$(mktemp -d)
    export XDG_CONFIG_HOME=$E2E_WORK/config
    mkdir -p "$XDG_CONFIG_HOME"
    trap e2e_cleanup EXIT
}

e2e_cleanup() {
    e2e_stop
    [[ -n "${E2E_WORK:-}" ]] && rm -rf "$E2E_WORK"
}

# e2e_step "what": announces a step and counts it.
e2e_step() {
    E2E_STEPS=$((E2E_STEPS + 1))
    say "step $E2E_STEPS ($SECONDS s): $*"
}

# e2e_find_window regex [tries of 0.1 s]: the first visible window whose title matches, or "".
e2e_find_window() {
    local name=$1 tries=${2:-100} id=""
    for _ in $(seq 1 "$tries"); do
        id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n 1 || true)
        [[ -n "$id" ]] && break
        sleep 0.1
    done
    echo "$id"
}

# e2e_window_gone regex: waits (up to 10 s) until no visible window's title matches.
e2e_window_gone() {
    for _ in $(seq 1 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the window '$1' did not close"
}

# e2e_geometry window: sets X, Y, WIDTH, HEIGHT of a window (its client area: there are no
# frames without a window manager).
e2e_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
}

# e2e_start [editor arguments...]: starts the editor and waits until start-up is over: the colour
# picker is shown (after the splash) and only one window is titled "Tintora" (the splash and
# message boxes carry that title too). Sets E2E_MAIN and MAIN_X, MAIN_Y, MAIN_W, MAIN_H.
e2e_start() {
    [[ -x "$E2E_BIN" ]] || fail "no editor at $E2E_BIN: run bash scripts/setup.sh first"
    "$E2E_BIN" "$@" &
    E2E_PID=$!
    [[ -n "$(e2e_find_window '^Color picker' 150)" ]] || fail "the colour picker did not appear"
    E2E_MAIN=$(e2e_only_window '^Tintora$')
    e2e_geometry "$E2E_MAIN"
    MAIN_X=$X MAIN_Y=$Y MAIN_W=$WIDTH MAIN_H=$HEIGHT
}

# e2e_only_window regex: waits (up to 5 s) until exactly one visible window's title matches and
# prints its id; fails when another one (a message box) stays.
e2e_only_window() {
    local ids=""
    for _ in $(seq 1 50); do
        ids=$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)
        [[ $(grep -c . <<<"$ids") == 1 ]] && break
        sleep 0.1
    done
    [[ $(grep -c . <<<"$ids") == 1 ]] ||
        fail "expected one window titled '$1', found $(grep -c . <<<"$ids") (a message box?)"
    echo "$ids"
}

# e2e_dialog title-regex x y: waits for a window, moves it to (x, y) of the screen and sets
# E2E_DIALOG and DX, DY, DW, DH.
e2e_dialog() {
    E2E_DIALOG=$(e2e_find_window "$1")
    [[ -n "$E2E_DIALOG" ]] || fail "the window '$1' did not appear"
    xdotool windowmove --sync "$E2E_DIALOG" "$2" "$3" 2>/dev/null || true
    sleep 0.3
    e2e_geometry "$E2E_DIALOG"
    DX=$X DY=$Y DW=$WIDTH DH=$HEIGHT
}

# e2e_stop: ends the editor started by e2e_start.
e2e_stop() {
    if [[ -n "$E2E_PID" ]]; then
        kill "$E2E_PID" 2>/dev/null || true
        wait "$E2E_PID" 2>/dev/null || true
        E2E_PID=""
    fi
}

# e2e_alive: fails when the editor has ended.
e2e_alive() {
    kill -0 "$E2E_PID" 2>/dev/null || fail "the editor has ended"
}

# e2e_shoot file.png: a screenshot of the whole screen.
e2e_shoot() {
    import-im6.q16 -window root "png:$1"
}

# e2e_crop shot.png x y w h out.png: a part of a screenshot, as a PNG.
e2e_crop() {
    mkdir -p "$(dirname "$6")"
    convert-im6.q16 "$1" -crop "$4x$5+$2+$3" +repage -strip "png:$6"
}

# e2e_pixel shot.png x y: "r,g,b" of one pixel.
e2e_pixel() {
    convert-im6.q16 "$1" -crop "1x1+$2+$3" -depth 8 txt:- |
        sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# e2e_click x y [button]: moves the pointer there and clicks.
e2e_click() {
    xdotool mousemove "$1" "$2" click "${3:-1}"
}

# e2e_drag x0 y0 x1 y1: presses the left button at (x0, y0), moves to (x1, y1) in steps and
# releases it there.
e2e_drag() {
    local x0=$1 y0=$2 x1=$3 y1=$4 i
    xdotool mousemove "$x0" "$y0" mousedown 1
    for i in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((x0 + (x1 - x0) * i / 8)) $((y0 + (y1 - y0) * i / 8))
        sleep 0.05
    done
    xdotool mouseup 1
}

# e2e_keys window key...: gives the window the keyboard and presses the keys in order.
e2e_keys() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    local key
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.15
    done
}

# e2e_menu letter n: opens the main window's menu with Alt+letter, moves down to its n-th item
# (1 is the first; separators do not count, a submenu does) and chooses it.
e2e_menu() {
    local letter=$1 n=$2 keys=() i
    for ((i = 1; i < n; i++)); do keys+=(Down); done
    e2e_keys "$E2E_MAIN" "alt+$letter" "${keys[@]}" Return
    sleep 0.5
}

# e2e_panel_top shot.png: the screen row where the tool panel begins (below the menu bar): the
# first panel-grey pixel of the main window's left column.
e2e_panel_top() {
    $E2E_IMAGE first-row "$1" $((MAIN_X + 2)) "$MAIN_Y" $((MAIN_Y + 100)) 224,224,224
}

# e2e_tool_button left top width height: clicks the middle of a tool-panel control placed at
# these twips (15 twips a pixel). Needs PANEL_TOP (e2e_panel_top).
e2e_tool_button() {
    e2e_click $((MAIN_X + ($1 + $3 / 2) / 15)) $((PANEL_TOP + ($2 + $4 / 2) / 15))
    sleep 0.5
}

# e2e_type_file_name dialog-title-regex path: waits for a file dialog, types the path into its
# file name box (replacing what it holds) and presses Enter.
e2e_type_file_name() {
    local dialog
    dialog=$(e2e_find_window "$1")
    [[ -n "$dialog" ]] || fail "the file dialog '$1' did not appear"
    sleep 0.5
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool key ctrl+a
    xdotool type --delay 15 "$2"
    sleep 0.3
    xdotool key Return
    e2e_window_gone "$1"
}

# e2e_wait_file path: waits (up to 10 s) for a file to exist with a size that has settled.
e2e_wait_file() {
    local last=-1 size
    for _ in $(seq 1 100); do
        if [[ -f "$1" ]]; then
            size=$(stat -c %s "$1")
            [[ "$size" == "$last" && "$size" -gt 0 ]] && return 0
            last=$size
        fi
        sleep 0.1
    done
    fail "no file $1"
}
