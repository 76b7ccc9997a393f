#!/usr/bin/env bash
# Starts the editor on the sample texture on a virtual X screen, takes a picture of its main
# window and stops it again.
#
#   bash scripts/screenshot.sh [output.png]     (default docs/editor.png)
#
# TINTORA_BIN names the editor to run (default build/release/src/app/tintora, which
# scripts/setup.sh builds). Needs xvfb-run, xdotool and ImageMagick 6 (import-im6.q16).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${TINTORA_BIN:-$root/build/release/src/app/tintora}
out=${1:-$root/docs/editor.png}

if [[ ! -x "$bin" ]]; then
    echo "[screenshot] no editor at $bin: run bash scripts/setup.sh first" >&2
    exit 1
fi

# Re-run this script inside a virtual X server of its own.
if [[ -z "${TINTORA_SCREENSHOT_INSIDE:-}" ]]; then
    exec env TINTORA_SCREENSHOT_INSIDE=1 xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash "$0" "$@"
fi

# Settings of this run stay in a folder of its own: window positions are the defaults.
config=$(mktemp -d)
export XDG_CONFIG_HOME=$config
"$bin" "$root/data/samples/checker.bmp" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$config"' EXIT

# The main window appears first; the splash goes after 2 s and the texture window follows.
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --onlyvisible --name '^Tintora$' 2>/dev/null | head -n 1 || true)
    [[ -n "$window" ]] && break
    sleep 0.1
done
if [[ -z "$window" ]]; then
    echo "[screenshot] the editor's window did not appear" >&2
    exit 1
fi
sleep 4

eval "$(xdotool getwindowgeometry --shell "$window")"
mkdir -p "$(dirname "$out")"
import-im6.q16 -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "png:$out"
echo "[screenshot] wrote $out (${WIDTH} x ${HEIGHT})"
