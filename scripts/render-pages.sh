#!/bin/sh
# Renders the main window on every page, light and dark, the snapshots and
# protection pages against a simulated system, and the toolkit's controls, to
# PNG files under build/screenshots (offscreen, no desktop needed).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
ninja -C "$build" tst_screenshots tst_zgallery tst_pagerenders
mkdir -p "$build/screenshots"
TAVRIN_SCREENSHOT_DIR="$build/screenshots" ctest --test-dir "$build" -R '^(tst_screenshots|tst_zgallery|tst_pagerenders)$' --output-on-failure
ls "$build/screenshots"
