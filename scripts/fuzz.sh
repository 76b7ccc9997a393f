#!/usr/bin/env bash
# Builds the fuzz harnesses (build/fuzz, clang with libFuzzer, ASan and UBSan) and runs each one
# for a bounded time, one after another, on a corpus seeded from our test files.
#
#   bash scripts/fuzz.sh [--no-build] [seconds-per-target] [target...]   (default 60 s, all)
#
# Targets: dds_reader_fuzz, bmp_reader_fuzz, tga_reader_fuzz, png_reader_fuzz (our readers on raw
# bytes; the PNG one checks decoding in place against decoding a copy) and
# load_path_fuzz (File > Open's whole path on a file whose ending the first byte picks).
# Corpora grow in build/fuzz/corpus/<target> from run to run; seeds come from tests/data/peer,
# build/fuzz/seeds (the hand-made layouts fuzz/make_seeds.cpp writes) and
# tests/data/fuzz-regressions. A crashing input is written to build/fuzz/artifacts/<target>/;
# copy it into tests/data/fuzz-regressions once the reader is fixed, where the core tests read
# it back. Each run's figures go to build/fuzz/summary.md.
# Exits non-zero when any target found a crash. TINTORA_JOBS sets the build's parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."

say() { printf '[fuzz] %s\n' "$*"; }
build_first=1
if [ "${1:-}" = "--no-build" ]; then
    build_first=0
    shift
fi
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(dds_reader_fuzz bmp_reader_fuzz tga_reader_fuzz png_reader_fuzz load_path_fuzz)
build=build/fuzz

if [ "$build_first" = 1 ]; then
    say "build ($build)"
    launcher=()
    command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake --preset fuzz "${launcher[@]}" > /dev/null
    cmake --build "$build" --parallel "${TINTORA_JOBS:-2}" --target "${targets[@]}" make_fuzz_seeds
fi
seeds=$build/seeds
"$build/fuzz/make_fuzz_seeds" "$seeds"

# Seeds of one reader: the test files with the given endings, the generated seeds and the files
# that once crashed a reader.
seed_reader() {  # corpus-dir ending...
    local dir=$1 ending
    shift
    for ending in "$@"; do
        find tests/data/peer "$seeds" tests/data/fuzz-regressions -type f -iname "*.$ending" \
            -exec cp -n {} "$dir/" \; 2> /dev/null || true
    done
}

# Seeds of the load path: every seed file behind the byte that picks its own ending
# (the order of the endings in load_path_fuzz.cpp).
seed_load_path() {  # corpus-dir
    local dir=$1 file ending index
    local endings=(bmp dib tga png jpg dds bin)
    while IFS= read -r file; do
        ending=${file##*.}
        ending=${ending,,}
        index=6
        for i in "${!endings[@]}"; do [ "${endings[$i]}" = "$ending" ] && index=$i; done
        { printf "\\x$(printf %02x "$index")"; cat "$file"; } > "$dir/seed-$(basename "$file")"
    done < <(find tests/data/peer "$seeds" tests/data/fuzz-regressions -type f ! -name '*.rgba' \
                  ! -name '*.md' 2> /dev/null)
}

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="use_tls=0:suppressions=$PWD/scripts/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

summary=$build/summary.md
{
    echo "| Target | Run time (s) | Executions | Corpus inputs | Crashes |"
    echo "|---|---|---|---|---|"
} > "$summary"
status=0
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target
    log=$build/logs/$target.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    case $target in
        dds_reader_fuzz) seed_reader "$corpus" dds ;;
        bmp_reader_fuzz) seed_reader "$corpus" bmp dib ;;
        tga_reader_fuzz) seed_reader "$corpus" tga ;;
        png_reader_fuzz) seed_reader "$corpus" png ;;
        load_path_fuzz) seed_load_path "$corpus" ;;
    esac
    say "$target: $seconds s"
    start=$SECONDS
    # -timeout: one input taking longer is a hang; -rss_limit_mb: the largest legal image
    # (8192 x 8192) passes through several full-size buffers on its way to a texture.
    set +e
    "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 > "$log" 2>&1
    result=$?
    set -e
    elapsed=$((SECONDS - start))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    inputs=$(find "$corpus" -type f | wc -l)
    crashes=$(find "$artifacts" -type f | wc -l)
    echo "| $target | $elapsed | ${runs:-?} | $inputs | $crashes |" >> "$summary"
    say "$target: ${runs:-?} executions, $inputs corpus inputs, $crashes crash files (log: $log)"
    if [ "$result" -ne 0 ] || [ "$crashes" -gt 0 ]; then
        status=1
        grep -m3 -E "ERROR|SUMMARY|fuzz check failed|deadly signal" "$log" || true
    fi
done
cat "$summary"
exit "$status"
