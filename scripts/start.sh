#!/usr/bin/env bash
# Sets up the machine, builds, and starts the editor on the bundled sample texture.
#
#   bash scripts/start.sh [more arguments for the editor]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/setup.sh"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "[start] note: no DISPLAY; for a virtual screen run: xvfb-run -a bash scripts/start.sh" >&2
fi
echo "[start] build/release/src/app/tintora data/samples/checker.bmp $*"
exec "$root/build/release/src/app/tintora" "$root/data/samples/checker.bmp" "$@"
