#!/bin/bash
# Fuzzes every parser harness of fuzz/ with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) for MINUTES each, JOBS harnesses at a time.
#
#   scripts/fuzz.sh [MINUTES] [-j JOBS] [HARNESS...]
#
# Builds in build-fuzz/, fuzzes a copy of each seed corpus in build-fuzz/work/<harness>/, and keeps
# every input that crashed a harness in fuzz/crashes/<harness>/, where the normal test suite replays
# it. Ends with one line per harness: executions, coverage, crashes found.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVRIN_FUZZ_BUILD:-$root/build-fuzz}
minutes=10
jobs=1
harnesses=()
while [ $# -gt 0 ]; do
    case $1 in
    -j) jobs=$2; shift 2 ;;
    -j*) jobs=${1#-j}; shift ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    [0-9]*) minutes=$1; shift ;;
    *) harnesses+=("$1"); shift ;;
    esac
done
if [ ${#harnesses[@]} -eq 0 ]; then
    for dir in "$root"/fuzz/corpus/*/; do
        harnesses+=("$(basename "$dir")")
    done
fi

for tool in clang clang++ cmake ninja; do
    command -v $tool >/dev/null || { echo "fuzz.sh: $tool is needed (Debian: clang, cmake, ninja-build)" >&2; exit 2; }
done

mkdir -p "$build"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
nice -n 19 cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$sanitizers" \
    -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF -DTAVRIN_LIBFUZZER=ON >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log" >&2; exit 2; }
targets=()
for h in "${harnesses[@]}"; do targets+=("fuzz_$h"); done
nice -n 19 cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
seconds=$((minutes * 60))

fuzz_one() {
    local name=$1
    local work=$build/work/$name artifacts=$build/artifacts/$name log=$build/logs/$name.log
    rm -rf "$artifacts"
    mkdir -p "$work" "$artifacts" "$(dirname "$log")" "$root/fuzz/crashes/$name"
    local start=$(date +%s)
    cp -n "$root/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
    # Bounded even when the harness wedges: libFuzzer's own -timeout covers one input.
    timeout --kill-after=30 $((seconds + 300)) \
        "$build/fuzz/fuzz_$name" -max_total_time=$seconds -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1 || true
    echo $(($(date +%s) - start)) >"$build/logs/$name.seconds"
    for f in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
        [ -e "$f" ] && cp "$f" "$root/fuzz/crashes/$name/"
    done
    return 0
}

running=0
for h in "${harnesses[@]}"; do
    if [ $running -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    echo "fuzzing $h for $minutes min" >&2
    fuzz_one "$h" &
    running=$((running + 1))
done
wait

printf '%-15s %14s %8s %8s %8s %s\n' harness executions cov ft crashes seconds
for h in "${harnesses[@]}"; do
    log=$build/logs/$h.log
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    secs=$(cat "$build/logs/$h.seconds" 2>/dev/null || true)
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
    cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
    found=$(ls "$build/artifacts/$h" 2>/dev/null | wc -l)
    if [ -z "$execs" ]; then
        # A crash ends the run before the final statistics.
        execs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -1)
    fi
    printf '%-15s %14s %8s %8s %8s %s\n' "$h" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$found" "${secs:-}"
    if [ "$found" -gt 0 ]; then
        grep -m3 -E 'ERROR: |invariant broken|runtime error' "$log" | sed 's/^/    /'
    fi
done
