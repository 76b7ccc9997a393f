#!/usr/bin/env bash
# tintora-cli next to ImageMagick 6: every operation of the command-line tool on the same
# 4096 x 4096 image, each tool run as a whole program (start, read, operate, write), best of RUNS
# wall and processor times in milliseconds, and the ratios tintora-cli / ImageMagick (below 1:
# ours is faster; the goal is 0.5 or less). The two tools take turns run by run, so a change in the
# machine's load hits both. The first rows, load and save alone, are each tool's floor; then PNG
# input, every operation, DDS output, and a folder of 200 files of 512 x 512 in one process
# against ImageMagick's mogrify. Last, the peak memory (maximum resident set) of the 4096 x 4096
# load and save.
#
#   bench/cli_vs_imagemagick.sh [path/to/tintora-cli] [RUNS]
#
# Default binary: build/release/src/cli/tintora-cli; default RUNS: 3. ImageMagick runs under its
# Debian names convert-im6.q16 and mogrify-im6.q16. Where ImageMagick has no operation of the same
# definition, the table names the nearest one it has (the work is alike, the results are not the
# same bytes):
#   contrast/luminosity  -brightness-contrast (percent), hue/saturation  -modulate,
#   colour key           -fuzz -transparent, normal map  two Sobel convolutions combined,
#   DXT3                 IM 6 writes DXT5 when asked for DXT3.
# Both tools write DDS files of one level (ImageMagick is told dds:mipmaps=0).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-"$root/build/release/src/cli/tintora-cli"}
runs=${2:-3}
im=convert-im6.q16
mogrify=mogrify-im6.q16
size=${TINTORA_BENCH_SIZE:-4096}  # another size for a quick try

[[ -x $cli ]] || { echo "no tintora-cli at $cli (build it first)" >&2; exit 2; }
command -v $im >/dev/null || { echo "ImageMagick ($im) is not installed" >&2; exit 2; }
command -v $mogrify >/dev/null || { echo "ImageMagick ($mogrify) is not installed" >&2; exit 2; }
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")

work=$(mktemp -d /tmp/tintora-cli-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The image: a plasma fractal (colours everywhere, no flat areas) with alpha falling from top to
# bottom, as a 32-bit BMP and as a PNG; a smaller mask image for the alpha-from-file row; and the
# folder of the batch row, 200 tiles of 512 x 512 cut from the image rolled by four offsets.
$im -size ${size}x${size} -seed 7 plasma:fractal \( -size ${size}x${size} gradient:white-black \) \
    -alpha off -compose CopyOpacity -composite -define bmp:format=bmp4 BMP:in.bmp
$im in.bmp PNG32:in.png
$im -size 1024x1024 -seed 3 plasma:fractal -alpha off BMP3:mask.bmp
mkdir batch batch-cli batch-im
for r in 0 1 2 3; do
    $im in.bmp -roll +$((r * 137))+$((r * 211)) -crop 512x512 +repage -scene $((r * 1000)) \
        -define bmp:format=bmp4 BMP:batch/tile-%04d.bmp
done
find batch -name 'tile-*.bmp' | sort | tail -n +201 | xargs -r rm
tiles=$(find batch -name 'tile-*.bmp' | wc -l)

# Wall time and processor time (user + system, all threads) of one run, in milliseconds.
time_ms() {
    local times
    times=$( { TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1 ) ||
        { echo "failed: $*" >&2; exit 1; }
    awk '{ printf "%d %d", $1 * 1000, ($2 + $3) * 1000 }' <<<"$times"
}

min() { if [[ -z $1 || $2 -lt $1 ]]; then echo "$2"; else echo "$1"; fi; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# A row: tintora-cli's command and ImageMagick's, each run RUNS times in turn, best wall and best
# processor time of each. On a shared machine the processor time is the steadier figure.
compare() {  # name, tintora-cli command (one string), ImageMagick command (one string)
    local name=$1 ours=$2 theirs=$3
    local a_wall= a_cpu= b_wall= b_cpu= wall cpu
    for ((i = 0; i < runs; i++)); do
        # shellcheck disable=SC2086  # the command strings are split on purpose
        read -r wall cpu <<<"$(time_ms $ours)"
        a_wall=$(min "$a_wall" "$wall") a_cpu=$(min "$a_cpu" "$cpu")
        # shellcheck disable=SC2086
        read -r wall cpu <<<"$(time_ms $theirs)"
        b_wall=$(min "$b_wall" "$wall") b_cpu=$(min "$b_cpu" "$cpu")
    done
    printf '| %-27s | %6s | %6s | %6s | %6s | %5s | %5s |\n' "$name" "$a_wall" "$a_cpu" \
        "$b_wall" "$b_cpu" "$(ratio "$a_wall" "$b_wall")" "$(ratio "$a_cpu" "$b_cpu")"
}

row() {  # name, tintora-cli arguments, ImageMagick arguments, output (default out.bmp), input
    local out=${4:-out.bmp} input=${5:-in.bmp}
    compare "$1" "$cli $input $2 -o $out --quiet" "$im $input $3 $out"
}

# Maximum resident set of a command, in MiB.
peak_mib() {
    /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.0f", $1 / 1024 }'
}

# The inputs just written go to the disk first, and each tool runs once unmeasured, so that the
# first row does not pay for the write-back of the files above or for a cold start.
sync
time_ms $cli in.bmp -o warm.bmp --quiet >/dev/null
time_ms $im in.bmp warm.bmp >/dev/null

model=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
echo "tintora-cli against ImageMagick $($im -version | sed -n 's/^Version: ImageMagick \([^ ]*\).*/\1/p'),"
echo "${size} x ${size} 32-bit BMP in (PNG where the row says so), the whole program each time"
echo "(start, read, operate, write), best of $runs runs in milliseconds: wall time, and processor"
echo "time (user + system, all threads). cli / IM below 1: tintora-cli is faster."
echo "Machine: $model, $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg) at the start."
echo
echo "| operation                   | cli wall | cli cpu | IM wall | IM cpu | cli/IM wall | cli/IM cpu |"
echo "| --------------------------- | -----: | -----: | -----: | -----: | ----: | ----: |"
row "load and save (BMP)"          ""                                 ""
row "load PNG, save BMP"           ""                                 ""  out.bmp in.png
row "invert"                       "--invert"                         "-channel RGB -negate +channel"
row "auto contrast"                "--auto-contrast"                  "-channel RGB -auto-level +channel"
row "equalize"                     "--equalize"                       "-channel RGB -equalize +channel"
row "contrast/luminosity"          "--contrast-luminosity 50,20"      "-brightness-contrast 20x50"
row "hue/saturation"               "--hue-saturation 60,30"           "-modulate 100,130,133.3"
row "colour key"                   "--colorkey FF00FF,10"             "-fuzz 4% -transparent #FF00FF"
row "alpha from luminosity"        "--alpha-from luminosity" \
    "( +clone -colorspace gray ) -alpha off -compose CopyOpacity -composite"
row "alpha from file"              "--alpha-from-file mask.bmp,red" \
    "( mask.bmp -filter point -resize ${size}x${size}! -channel R -separate ) -alpha off -compose CopyOpacity -composite"
row "normal map"                   "--normalmap luminance,10" \
    "-colorspace gray ( -clone 0 -morphology Convolve Sobel:0 ) ( -clone 0 -morphology Convolve Sobel:90 ) ( -clone 0 -fill white -colorize 100 ) -delete 0 -combine"
row "save DDS 32-bit"              "--format dds32" \
    "-define dds:compression=none -define dds:mipmaps=0" out.dds
row "load PNG, save DDS 32-bit"    "--format dds32" \
    "-define dds:compression=none -define dds:mipmaps=0" out.dds in.png
row "save DDS DXT3"                "--format dxt3" \
    "-define dds:compression=dxt3 -define dds:mipmaps=0" out.dds
compare "folder: $tiles x 512^2, invert" \
    "$cli batch --invert --format bmp -o batch-cli --quiet" \
    "$mogrify -path batch-im -format bmp -channel RGB -negate +channel $(echo batch/*.bmp)"
echo
echo "Peak memory of the ${size} x ${size} load and save (BMP), maximum resident set:" \
    "tintora-cli $(peak_mib "$cli" in.bmp -o out.bmp --quiet) MiB," \
    "ImageMagick $(peak_mib $im in.bmp out.bmp) MiB."
echo "Load average $(cut -d' ' -f1-3 /proc/loadavg) at the end."
