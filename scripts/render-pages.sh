#!/bin/sh
# Renders the main window on every page, light and dark, to PNG files under
# build/screenshots (offscreen, no desktop needed).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
ninja -C "$build" tst_screenshots
mkdir -p "$build/screenshots"
TAVRIN_SCREENSHOT_DIR="$build/screenshots" ctest --test-dir "$build" -R '^tst_screenshots$' --output-on-failure
ls "$build/screenshots"
