#!/usr/bin/env bash
# Texture builds end to end (bash tests/build_step/build_step_test.sh BUILD_DIR): tintora-cli and
# its CMake package installed into a temporary prefix; a dozen textures built through
# find_package(Tintora) with Ninja (and Make where installed). A second build does nothing; a
# touched source, alpha mask or manifest line rebuilds that texture alone; a wrong manifest line
# stops the configure naming the line; a broken source fails its step alone (ninja -k 0 goes on);
# ninja -j1, -j2 and tintora-cli --manifest on one thread give the same bytes.
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd)
peer=$(cd "$(dirname "$0")/../data/peer" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { [[ "$2" == "$3" ]] || fail "$1: expected \"$3\", got \"$2\""; }

cmake --install "$build" --prefix prefix --component cli >/dev/null
mkdir -p project/textures
cp "$peer"/{bmp4.bmp,bmp8.bmp,bmp24.bmp,bmp32.bmp,dds_dxt5.dds,dds_rgb.dds,jpg.jpg} project/textures
cp "$peer"/{png_grey.png,png_palette.png,png_rgba.png,tga32.tga} project/textures
cp "$peer/tga24.tga" "project/textures/tga 24.tga"
cp "$peer/png_grey_alpha.png" project/textures/mask.png
printf '%s\n' "# bc7 with mipmaps unless a line says otherwise" bmp4.bmp "bmp8.bmp --invert" bmp24.bmp \
    "bmp32.bmp --format bc3 --alpha-from-file mask.png,luminosity" dds_dxt5.dds \
    "dds_rgb.dds --normalmap luminance,4.5 --format bc5 --normal-map" \
    "jpg.jpg --hue-saturation 30,-20" "" "png_grey.png --format=bc4" \
    "png_palette.png --format bmp --no-mipmaps" "png_rgba.png --mip-filter box" \
    '"tga 24.tga" --format dds16  # a space in the name' "tga32.tga --format dxt3" \
    >project/textures/manifest.txt
printf '%s\n' "cmake_minimum_required(VERSION 3.20)" "project(texture_build NONE)" \
    "find_package(Tintora REQUIRED)" "tintora_add_textures(TARGET textures ALL \
MANIFEST textures/manifest.txt OUTPUT_DIR out FORMAT bc7 MIPMAPS ON)" >project/CMakeLists.txt
cp -r project make-project
configure() { cmake -S "$1" -B "$2" -G "$3" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null; }
# built DIR [BUILD OPTIONS]: the textures a build of DIR makes, sorted.
built() { cmake --build "$1" "${@:2}" | sed -n 's|.*Building texture out/||p' | sort | xargs; }
all="bmp24.dds bmp32.dds bmp4.dds bmp8.dds dds_dxt5.dds dds_rgb.dds jpg.dds png_grey.dds \
png_palette.bmp png_rgba.dds tga 24.dds tga32.dds"

configure project ninja-1 Ninja && configure project ninja-2 Ninja
expect "first build, ninja -j1" "$(built ninja-1 -j1)" "$all"
built ninja-2 -j2 >/dev/null
prefix/bin/tintora-cli --manifest project/textures/manifest.txt --format bc7 --mipmaps -o direct -q \
    --jobs 1 --threads 1
for f in ninja-1/out/*; do
    cmp "$f" "ninja-2/out/${f##*/}" && cmp "$f" "direct/${f##*/}" || fail "${f##*/} differs"
done
prefix/bin/tintora-cli project/textures/bmp8.bmp --format bc7 --mipmaps --invert -o bmp8.dds -q
cmp bmp8.dds ninja-1/out/bmp8.dds || fail "bmp8.bmp not built with its manifest line's options"
expect "second build" "$(cd ninja-1 && ninja -n -d explain 2>&1)" "ninja: no work to do."

# incremental PROJECT DIR NAME: what a build of DIR makes after each change to PROJECT.
incremental() {
    expect "$3: second build" "$(built "$2")" ""
    touch "$1/textures/tga 24.tga"
    expect "$3: touched a source" "$(built "$2")" "tga 24.dds"
    touch "$1/textures/mask.png"
    expect "$3: touched the alpha mask" "$(built "$2")" "bmp32.dds"
    sed -i 's/^jpg.jpg .*/jpg.jpg --hue-saturation 31,-20/' "$1/textures/manifest.txt"
    expect "$3: one manifest line changed" "$(built "$2")" "jpg.dds"
    echo 'tga32.tga --sharpen' >>"$1/textures/manifest.txt"
    local output
    output=$(cmake --build "$2" 2>&1) && fail "$3: a wrong manifest line configures"
    [[ "$output" == *"manifest.txt:15: unknown option --sharpen"* ]] || fail "$3: $output"
}
# A broken source fails its step, naming the file, and leaves its output as it was; ninja -k 0
# goes on with the other textures.
cp ninja-2/out/png_rgba.dds old.dds && cp project/textures/png_rgba.png good.png
printf 'not a picture' >project/textures/png_rgba.png
touch project/textures/bmp4.bmp
output=$(cd ninja-2 && ninja -k 0 2>&1) && fail "a broken source builds"
[[ "$output" == *"png_rgba.png"* && "$output" == *"Building texture out/bmp4.dds"* ]] ||
    fail "broken source: $output"
cmp old.dds ninja-2/out/png_rgba.dds || fail "a failed step changed its output"
cp good.png project/textures/png_rgba.png && built ninja-2 >/dev/null
incremental project ninja-2 Ninja
if command -v make >/dev/null; then
    configure make-project make-1 "Unix Makefiles"
    expect "make: first build" "$(built make-1)" "$all"
    incremental make-project make-1 Make
fi
echo "build_step: passed"
