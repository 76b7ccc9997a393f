#!/usr/bin/env bash
# Mutation run: puts each hand-written fault of scripts/mutants.txt into the product code under
# src/, rebuilds, runs the tests (end-to-end runs excluded) and reports whether they catch it.
#
#   scripts/mutants.sh [--build-dir DIR] [--list] [--no-baseline] [ID...]
#
#   --build-dir DIR   a configured build folder (default build/release)
#   --list            show each mutant with the file its text is in (or "stale"); build nothing
#   --no-baseline     skip the first build and test run of the unmutated code
#   ID...             run only these mutants (default: all)
#
# A mutant's text must occur exactly once in all of src/; the file is found by that text, so the
# list survives files moving between folders. Otherwise the mutant is "stale" and not run. The
# file is copied aside before the change and put back after the run (also on Ctrl-C or an error;
# a run killed outright is repaired at the start of the next one). Verdicts:
#   caught     the tests fail: ctest -LE e2e --stop-on-failure -j2 --timeout 300 (windows on
#              Qt's offscreen platform). The tests of the mutated file's top folder run first;
#              only when they pass do the others run, so the verdict is the whole suite's.
#   survived   every test passes
#   stale      the text occurs 0 or 2+ times in src/
#   not built  the mutated code does not compile (rewrite the mutant so that it does)
# Builds and tests run under nice -n 5 with 2 jobs. Logs: DIR/mutants-logs/ID.{build,test}.log.
# Exit status: 0 when every mutant was applied and built, 1 otherwise, 2 on a usage error or
# when the unmutated code does not build or pass.
set -uo pipefail
cd "$(dirname "$0")/.."
list=scripts/mutants.txt
helper=(python3 scripts/mutants.py)
build=build/release
listOnly=0
baseline=1
ids=()

usage() { sed -n '5,11p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
    case "$1" in
        --build-dir) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
        --build-dir=*) build=${1#*=}; shift ;;
        --list) listOnly=1; shift ;;
        --no-baseline) baseline=0; shift ;;
        -h|--help) usage ;;
        -*) echo "unknown option $1" >&2; usage ;;
        *) ids+=("$1"); shift ;;
    esac
done

declare -A what=()
order=()
listing=$("${helper[@]}" list "$list") || exit 2
while IFS=$'\t' read -r id description; do
    what[$id]=$description
    order+=("$id")
done <<<"$listing"
[ ${#order[@]} -gt 0 ] || { echo "no mutants in $list" >&2; exit 2; }
for id in "${ids[@]}"; do
    [ -n "${what[$id]+x}" ] || { echo "no mutant $id in $list" >&2; exit 2; }
done
[ ${#ids[@]} -gt 0 ] || ids=("${order[@]}")

if [ "$listOnly" = 1 ]; then
    for id in "${ids[@]}"; do
        where=$("${helper[@]}" locate "$list" "$id" src)
        printf '%-24s %-40s %s\n' "$id" "$where" "${what[$id]}"
    done
    exit 0
fi

[ -f "$build/CTestTestfile.cmake" ] || { echo "$build is not a configured build folder" >&2; exit 2; }
logs=$build/mutants-logs
saved=$build/mutants-saved  # the original of the file being mutated, and its path
mkdir -p "$logs"

# Puts the mutated file back. A plain copy gives it a new time stamp, so the next build
# recompiles it instead of keeping the mutant's objects.
restore() {
    if [ -f "$saved/path" ]; then
        cp "$saved/orig" "$(cat "$saved/path")" && rm -rf "$saved"
    fi
}
if [ -f "$saved/path" ]; then
    echo "restoring $(cat "$saved/path"), left mutated by an interrupted run"
    restore
fi
exec 3>&2  # the message of an interruption reaches the terminal, not a build log
trap restore EXIT
trap 'echo "interrupted: source restored; rebuild before using $build" >&3; exit 130' INT TERM HUP

# A failed build is tried once more: on a shared machine a build is now and then stopped from
# outside, which must not count as a mutant that does not compile.
build_code() {
    nice -n 5 cmake --build "$build" --parallel 2 || nice -n 5 cmake --build "$build" --parallel 2
}
run_tests() {
    QT_QPA_PLATFORM=offscreen nice -n 5 ctest --test-dir "$build" -LE e2e --stop-on-failure \
        -j2 --timeout 300 --output-on-failure "$@"
}
# The first test of the last list of failed tests in a ctest log.
first_failure() {
    awk '/The following tests FAILED/ { on = 1; next } on { on = 0; name = $3 } END { print name }' "$1"
}
# Whether the whole suite fails: the quick subset first, then the rest. The first failing test is
# run again alone; a test that then passes was flaky, and the whole suite runs once more.
suite_fails() { # log, quick-regex
    ! run_tests -R "$2" >>"$1" 2>&1 || ! run_tests -E "$2" >>"$1" 2>&1 || return 1
    failed=$(first_failure "$1")
    [ -n "$failed" ] && run_tests -R "^${failed}\$" >>"$1" 2>&1 || return 0
    echo "=== $failed passed on a rerun: the whole suite again" >>"$1"
    note=" (flaky $failed)"
    ! run_tests >>"$1" 2>&1 && failed=$(first_failure "$1")
}

start=$SECONDS
if [ "$baseline" = 1 ]; then
    echo "baseline: building and testing the unmutated code"
    build_code >"$logs/baseline.build.log" 2>&1 ||
        { echo "the unmutated code does not build (see $logs/baseline.build.log)" >&2; exit 2; }
    run_tests >"$logs/baseline.test.log" 2>&1 ||
        { echo "the unmutated code fails its tests (see $logs/baseline.test.log)" >&2; exit 2; }
    echo "baseline: all tests pass ($((SECONDS - start)) s)"
fi

caught=0 survived=0 stale=0 unbuilt=0
survivors=()
mutantStart=$SECONDS
for id in "${ids[@]}"; do
    t0=$SECONDS
    note=""
    if ! file=$("${helper[@]}" locate "$list" "$id" src); then
        verdict=stale note=" (${file#stale: })"
        stale=$((stale + 1))
    else
        mkdir -p "$saved"
        cp -p "$file" "$saved/orig" && printf '%s\n' "$file" >"$saved/path" || exit 2
        "${helper[@]}" apply "$list" "$id" "$file" || exit 2
        folder=${file#src/}
        folder=${folder%%/*}
        quick="^${folder}_"
        : >"$logs/$id.test.log"
        if ! build_code >"$logs/$id.build.log" 2>&1; then
            if grep -q "Error running test executable" "$logs/$id.build.log"; then
                verdict=caught note=" (a test program fails to list its tests)"
                caught=$((caught + 1))
            else
                verdict="not built" unbuilt=$((unbuilt + 1))
            fi
        elif suite_fails "$logs/$id.test.log" "$quick"; then
            verdict=caught note="$note (by ${failed:-?})"
            caught=$((caught + 1))
        else
            verdict=survived
            survived=$((survived + 1))
            survivors+=("$id")
        fi
        restore
    fi
    printf '%-24s %-9s %5d s  %s%s\n' "$id" "$verdict" $((SECONDS - t0)) "${what[$id]}" "$note"
done
elapsed=$((SECONDS - mutantStart))

echo "rebuilding the unmutated code"
build_code >"$logs/final.build.log" 2>&1 || echo "warning: the final rebuild failed" >&2
echo "survivors: ${survivors[*]:-none}"
echo "time: $((SECONDS - start)) s in all, $elapsed s for ${#ids[@]} mutants" \
    "($((elapsed / ${#ids[@]})) s each on average)"
echo "caught $caught of $((caught + survived)) (stale $stale, not built $unbuilt)"
[ $((stale + unbuilt)) -eq 0 ]
