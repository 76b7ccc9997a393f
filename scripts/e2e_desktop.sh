#!/usr/bin/env bash
# End to end: the installed editor on a desktop. Installs a build with `cmake --install` into a
# folder whose name holds blanks, checks what lands there (the program, sphere.x beside it, the
# desktop entry and the icons) and opens a texture whose path holds blanks the way a file
# manager does: the entry's Exec line with %f replaced by the path as one argument. The editor
# must start without a message box and show the texture texel for texel.
#
#   bash scripts/e2e_desktop.sh
#
# TINTORA_BUILD_DIR names the build to install (default build/release). Needs what
# scripts/e2e_lib.sh needs; desktop-file-validate (desktop-file-utils) checks the entry when
# installed.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
build=${TINTORA_BUILD_DIR:-$E2E_ROOT/build/release}
e2e_init "e2e desktop" "$@"
work=$E2E_WORK

# ---------------------------------------------------------------------------------------------
e2e_step "cmake --install into a prefix with blanks"
prefix="$work/install root/usr"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
    fail "cmake --install failed: $(tail -n 5 "$work/install.log")"
program=$(readlink -f "$prefix/bin/tintora")
[[ -x "$program" ]] || fail "bin/tintora does not lead to the program"
[[ "$program" != "$prefix/bin/tintora" ]] || say "note: bin/tintora is the program itself"
[[ -f "$(dirname "$program")/sphere.x" ]] || fail "sphere.x is not beside the program"
cmp -s "$(dirname "$program")/sphere.x" "$E2E_ROOT/data/sphere.x" || fail "sphere.x differs"
# The link must be relative: an installed tree moved elsewhere (a package) still works.
[[ $(readlink "$prefix/bin/tintora") != /* ]] || fail "bin/tintora links to an absolute path"

entry="$prefix/share/applications/tintora.desktop"
[[ -f "$entry" ]] || fail "no desktop entry at share/applications/tintora.desktop"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "the desktop entry is not valid"
fi
mime=$(sed -n 's/^MimeType=//p' "$entry")
for type in image/bmp image/jpeg image/png image/x-tga image/x-dds image/vnd-ms.dds; do
    [[ ";$mime" == *";$type;"* ]] || fail "the desktop entry does not offer $type"
done
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 48 256; do
    file="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
    [[ -f "$file" ]] || fail "no ${size}x${size} icon named $icon"
    [[ $(identify-im6.q16 -format '%m %w %h' "$file") == "PNG $size $size" ]] ||
        fail "the ${size}x${size} icon is not a PNG of that size"
done

# ---------------------------------------------------------------------------------------------
e2e_step "a file manager opens a texture whose path holds blanks"
mkdir -p "$work/My Textures/stone walls"
texture="$work/My Textures/stone walls/checker  board.bmp"
cp "$E2E_ROOT/data/samples/checker.bmp" "$texture"
# The Exec line's words, %f being the file as one word; the program is found on PATH.
read -r -a exec_words <<<"$(sed -n 's/^Exec=//p' "$entry")"
command=()
for word in "${exec_words[@]}"; do
    if [[ "$word" == %f ]]; then command+=("$texture"); else command+=("$word"); fi
done
say "running: ${command[*]}"
export PATH="$prefix/bin:$PATH"
E2E_BIN=$(command -v "${command[0]}")
[[ "$E2E_BIN" == "$prefix/bin/tintora" ]] || fail "the Exec line runs $E2E_BIN"
e2e_start "${command[@]:1}"
e2e_shoot "$work/opened.png"
read -r tex_x tex_y < <($E2E_IMAGE find "$work/opened.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) checker) ||
    fail "the texture is not on the screen"
$E2E_IMAGE same "$work/opened.png" "$tex_x" "$tex_y" checker ||
    fail "the texture does not show texel for texel"
e2e_alive
say "ok"
