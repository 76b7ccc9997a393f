#!/usr/bin/env bash
# tintora-cli next to ImageMagick 6: every operation of the command-line tool on the same
# 4096 x 4096 image, each tool run as a whole program (start, read the 32-bit BMP, operate, write),
# best of RUNS wall and processor times in milliseconds, and the ratios ImageMagick / tintora-cli
# (above 1: ours is faster). The first row, load and save alone, is each tool's floor.
#
#   bench/cli_vs_imagemagick.sh [path/to/tintora-cli] [RUNS]
#
# Default binary: build/release/src/cli/tintora-cli; default RUNS: 3. ImageMagick runs under its
# Debian name convert-im6.q16. Where ImageMagick has no operation of the same definition, the table
# names the nearest one it has (the work is alike, the results are not the same bytes):
#   contrast/luminosity  -brightness-contrast (percent), hue/saturation  -modulate,
#   colour key           -fuzz -transparent, normal map  two Sobel convolutions combined,
#   DXT3                 IM 6 writes DXT5 when asked for DXT3.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-"$root/build/release/src/cli/tintora-cli"}
runs=${2:-3}
im=convert-im6.q16
size=${TINTORA_BENCH_SIZE:-4096}  # another size for a quick try

[[ -x $cli ]] || { echo "no tintora-cli at $cli (build it first)" >&2; exit 2; }
command -v $im >/dev/null || { echo "ImageMagick ($im) is not installed" >&2; exit 2; }
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")

work=$(mktemp -d /tmp/tintora-cli-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The image: a plasma fractal (colours everywhere, no flat areas) with alpha falling from top to
# bottom, and a smaller mask image for the alpha-from-file row. Both as 32-bit BMP files.
$im -size ${size}x${size} -seed 7 plasma:fractal \( -size ${size}x${size} gradient:white-black \) \
    -alpha off -compose CopyOpacity -composite -define bmp:format=bmp4 BMP:in.bmp
$im -size 1024x1024 -seed 3 plasma:fractal -alpha off BMP3:mask.bmp

# Best wall time and best processor time (user + system) of the command over RUNS runs, in
# milliseconds. On a shared machine the processor time is the steadier figure.
best_ms() {
    local best_wall= best_cpu=
    for ((i = 0; i < runs; i++)); do
        local times wall cpu
        times=$( { TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1 ) ||
            { echo "failed: $*" >&2; exit 1; }
        wall=$(awk '{ printf "%d", $1 * 1000 }' <<<"$times")
        cpu=$(awk '{ printf "%d", ($2 + $3) * 1000 }' <<<"$times")
        if [[ -z $best_wall || $wall -lt $best_wall ]]; then best_wall=$wall; fi
        if [[ -z $best_cpu || $cpu -lt $best_cpu ]]; then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }'; }

row() {  # name, tintora-cli arguments (one string), ImageMagick arguments (one string), output
    local name=$1 ours=$2 theirs=$3 out=${4:-out.bmp}
    local a_wall a_cpu b_wall b_cpu
    # shellcheck disable=SC2086  # the argument strings are split on purpose
    read -r a_wall a_cpu <<<"$(best_ms "$cli" in.bmp $ours -o "$out" --quiet)"
    # shellcheck disable=SC2086
    read -r b_wall b_cpu <<<"$(best_ms $im in.bmp $theirs "$out")"
    printf '| %-22s | %6s | %6s | %6s | %6s | %5s | %5s |\n' "$name" "$a_wall" "$a_cpu" \
        "$b_wall" "$b_cpu" "$(ratio "$a_wall" "$b_wall")" "$(ratio "$a_cpu" "$b_cpu")"
}

model=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
echo "tintora-cli against ImageMagick $($im -version | sed -n 's/^Version: ImageMagick \([^ ]*\).*/\1/p'),"
echo "${size} x ${size} 32-bit BMP in, the whole program each time (start, read, operate, write),"
echo "best of $runs runs in milliseconds: wall time, and processor time (user + system, all threads)."
echo "IM / cli above 1: tintora-cli is faster. Machine: $model, $(nproc) cores, load average"
echo "$(cut -d' ' -f1-3 /proc/loadavg) when the run started."
echo
echo "| operation              | cli wall | cli cpu | IM wall | IM cpu | IM/cli wall | IM/cli cpu |"
echo "| ---------------------- | -----: | -----: | -----: | -----: | ----: | ----: |"
row "load and save (BMP)"      ""                                 ""
row "invert"                   "--invert"                         "-channel RGB -negate +channel"
row "auto contrast"            "--auto-contrast"                  "-channel RGB -auto-level +channel"
row "equalize"                 "--equalize"                       "-channel RGB -equalize +channel"
row "contrast/luminosity"      "--contrast-luminosity 50,20"      "-brightness-contrast 20x50"
row "hue/saturation"           "--hue-saturation 60,30"           "-modulate 100,130,133.3"
row "colour key"               "--colorkey FF00FF,10"             "-fuzz 4% -transparent #FF00FF"
row "alpha from luminosity"    "--alpha-from luminosity" \
    "( +clone -colorspace gray ) -alpha off -compose CopyOpacity -composite"
row "alpha from file"          "--alpha-from-file mask.bmp,red" \
    "( mask.bmp -filter point -resize ${size}x${size}! -channel R -separate ) -alpha off -compose CopyOpacity -composite"
row "normal map"               "--normalmap luminance,10" \
    "-colorspace gray ( -clone 0 -morphology Convolve Sobel:0 ) ( -clone 0 -morphology Convolve Sobel:90 ) ( -clone 0 -fill white -colorize 100 ) -delete 0 -combine"
row "save DDS 32-bit"          "--format dds32"                   "-define dds:compression=none" out.dds
row "save DDS DXT3"            "--format dxt3"                    "-define dds:compression=dxt3" out.dds
