#!/bin/bash
# Builds the whole project and its test suite with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs the suite there; then builds the tests of the code that uses the thread pool
# with ThreadSanitizer in build-tsan/ and runs them. Any sanitizer report fails the test it came from.
#
#   scripts/test-sanitized.sh [asan|tsan]...   (default: both)
#
# Niced, one build at a time: the machine is shared.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${TAVRIN_SANITIZE_JOBS:-2}
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(asan tsan)

# Tests whose code runs on a thread pool: snapshot sizes (the engine and the page that shows them)
# and the history store's range loads.
tsan_tests=(tst_snapshotsizes tst_snapshotspage tst_diskhistorystore)
# Tests on a real X server (xvfb-run). libxkbcommon-x11 hands counted, unterminated atom names to
# strndup, which is valid C but fails strict_string_checks (every string NUL-terminated): these
# run with that one check off, everything else still on.
x11_tests=(tst_snapshotspage_accessible)

asan_options=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1

configure() {
    local dir=$1 flags=$2
    nice -n 19 cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DTAVRIN_BUILD_BENCH=OFF >/dev/null
}

status=0
for step in "${steps[@]}"; do
    case $step in
    asan)
        dir=$root/build-asan
        configure "$dir" "-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
        nice -n 19 cmake --build "$dir" --parallel "$jobs"
        # A second pass, as in scripts/test.sh: objects whose own .moc AUTOMOC rewrote after ninja judged them.
        nice -n 19 cmake --build "$dir" --parallel "$jobs"
        x11="^($(IFS='|'; echo "${x11_tests[*]}"))\$"
        export LSAN_OPTIONS=suppressions=$root/scripts/sanitizer/lsan.supp:print_suppressions=0
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        # Instrumented code runs a few times slower: tests without their own limit get more time.
        ASAN_OPTIONS=$asan_options nice -n 19 ctest --test-dir "$dir" --parallel "$jobs" --timeout 900 \
            --output-on-failure -E "$x11" || status=1
        ASAN_OPTIONS=${asan_options/strict_string_checks=1/strict_string_checks=0} \
            nice -n 19 ctest --test-dir "$dir" --timeout 900 --output-on-failure -R "$x11" || status=1
        unset LSAN_OPTIONS UBSAN_OPTIONS
        ;;
    tsan)
        dir=$root/build-tsan
        configure "$dir" "-fsanitize=thread -fno-omit-frame-pointer"
        nice -n 19 cmake --build "$dir" --parallel "$jobs" --target "${tsan_tests[@]}"
        regex="^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
        # Debian's Qt is not instrumented and its QMutex takes the futex directly, so TSan cannot
        # see the locks under which Qt moves its own memory (the thread pool's queue, the
        # posted-event list) with memmove and realloc: those show up as races with no frame of
        # ours. ignore_interceptors_accesses drops checks of accesses made inside libc calls;
        # every access our instrumented code makes itself is still checked, and the canary
        # below proves that a race in our code is still reported.
        tsan_options="second_deadlock_stack=1:die_after_fork=0:ignore_interceptors_accesses=1"
        tsan_options+=":suppressions=$root/scripts/sanitizer/tsan.supp"
        canary=$dir/tsan-canary
        # shellcheck disable=SC2046 # pkg-config prints several words on purpose
        nice -n 19 c++ -std=c++17 -fPIC -g -O1 -fsanitize=thread "$root/scripts/sanitizer/tsan-canary.cpp" \
            -o "$canary" $(pkg-config --cflags --libs Qt6Core)
        if TSAN_OPTIONS="$tsan_options:halt_on_error=0:exitcode=66" "$canary" >/dev/null 2>&1; then
            echo "test-sanitized.sh: ThreadSanitizer missed the canary's race; its options hide too much" >&2
            status=1
        elif [ $? -ne 66 ]; then
            echo "test-sanitized.sh: the ThreadSanitizer canary failed to run" >&2
            status=1
        fi
        TSAN_OPTIONS="$tsan_options:halt_on_error=1" \
            nice -n 19 ctest --test-dir "$dir" -R "$regex" --timeout 900 --output-on-failure || status=1
        ;;
    *)
        echo "test-sanitized.sh: unknown step '$step' (asan, tsan)" >&2
        exit 2
        ;;
    esac
done
exit $status
