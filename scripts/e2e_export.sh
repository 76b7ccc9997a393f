#!/usr/bin/env bash
# End to end: File > Export... in the real editor on a virtual X screen, with real keys: the checker
# sample exported as BC7 with mipmaps to x.dds opens again and shows the checker (within the
# format's loss); exported from there as BC3 with mipmaps to y.dds, ImageMagick reads it.
#   bash scripts/e2e_export.sh [picture-folder]     (default build/e2e-pictures)
# Exits non-zero at the first check that fails, keeping a screenshot of that moment in the folder.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
out=${1:-$E2E_ROOT/build/e2e-pictures}
mkdir -p "$out"
export E2E_KEEP_DIR=$(cd "$out" && pwd)
e2e_init "e2e export" "$@"
work=$E2E_WORK

# header file: "<FourCC> <DXGI format> <mip count>" of a DDS file (bytes 84, 128 and 28).
header() {
    printf '%s %d %d\n' "$(dd if="$1" bs=1 skip=84 count=4 2>/dev/null)" \
        "$(od -An -tu4 -j128 -N4 "$1")" "$(od -An -tu4 -j28 -N4 "$1")"
}

# export keys... file: File > Export..., the keys in the export dialog (Enter exports), the file
# name typed into the Save dialog; waits for the file.
export_as() {
    local file=${*: -1}
    e2e_menu f 5
    e2e_dialog '^Export texture$' "$MAIN_X" "$MAIN_Y"
    e2e_keys "$E2E_DIALOG" "${@:1:$#-1}" Return
    e2e_type_file_name '^Export texture to' "$file"
    e2e_wait_file "$file"
}

cp "$E2E_ROOT/data/samples/checker.bmp" "$work/checker.bmp"
e2e_start "$work/checker.bmp"
e2e_shoot "$work/start.png"
read -r TEX_X TEX_Y < <($E2E_IMAGE find "$work/start.png" "$MAIN_X" "$MAIN_Y" \
    $((MAIN_X + MAIN_W)) $((MAIN_Y + MAIN_H)) checker) ||
    fail "the texture is not on the screen"

# ---------------------------------------------------------------------------------------------
e2e_step "Export as BC7 (the last format) with mipmaps to x.dds"
export_as End "$work/x.dds"
read -r fourcc dxgi levels < <(header "$work/x.dds")
say "x.dds: $fourcc, DXGI format $dxgi, $levels levels"
[[ "$fourcc $dxgi $levels" == "DX10 98 9" ]] || fail "x.dds is not BC7 with 9 levels"

# ---------------------------------------------------------------------------------------------
e2e_step "close the checker, File > Open x.dds: its window shows the checker"
# The close button at the right end of the texture window's title bar.
e2e_click $((TEX_X + 245)) $((TEX_Y - 13))
sleep 0.5
e2e_menu f 2
e2e_type_file_name '^Load a texture file' "$work/x.dds"
# The window opens where the checker's was; BC7 keeps each texel within a few levels.
for _ in 1 2 3 4 5 6; do
    e2e_shoot "$work/opened.png"
    $E2E_IMAGE same "$work/opened.png" "$TEX_X" "$TEX_Y" checker 12 2>/dev/null && break
    sleep 0.5
done
$E2E_IMAGE same "$work/opened.png" "$TEX_X" "$TEX_Y" checker 12 ||
    fail "the window of x.dds does not show the checker"

# ---------------------------------------------------------------------------------------------
e2e_step "Export as BC3 (the seventh format) with mipmaps to y.dds; ImageMagick reads it"
export_as Home Down Down Down Down Down Down "$work/y.dds"
read -r fourcc dxgi levels < <(header "$work/y.dds")
say "y.dds: $fourcc, $levels levels"
[[ "$fourcc $levels" == "DXT5 9" ]] || fail "y.dds is not BC3 with 9 levels"
identify-im6.q16 "$work/y.dds" || fail "ImageMagick cannot read y.dds"
convert-im6.q16 "$work/y.dds" png:- >/dev/null || fail "ImageMagick cannot convert y.dds"
e2e_alive
say "ok ($SECONDS s)"
