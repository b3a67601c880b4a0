#!/usr/bin/env bash
# Configures and builds into build/ (or $TAVRIN_BUILD_DIR).
#
#   scripts/build.sh            everything: the program, the tests, the benchmarks
#   scripts/build.sh --window   only the program and what its window needs (the demo's build)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$here/build}"
targets=()
if [ "${1:-}" = "--window" ]; then
    # The executable pulls in its window module and the English catalogue.
    targets=(--target tavrin-manager)
fi
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
