#!/usr/bin/env bash
# "tavrin-manager --status --json" against the tool calls it makes, run bare: the same six
# commands side by side (as the program runs them) and one after another, on a simulated system
# with a year of disk history. Whole processes, paired A/B runs by farm-bench; quote the medians.
#
#   bench/status/bench_status.sh [RUNS]      (default 15; needs a built build/ or $TAVRIN_BUILD_DIR)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$here/build}"
runs="${1:-15}"
app="$build/bin/tavrin-manager"
[ -x "$app" ] || { echo "bench_status: build $app first" >&2; exit 1; }
command -v farm-bench >/dev/null || { echo "bench_status: farm-bench is not installed" >&2; exit 1; }

work="$(mktemp -d)"
# The simulation's rm comes first on PATH below and refuses paths outside its root.
trap '/bin/rm -rf -- "$work"' EXIT
"$here/sim/make-root.sh" "$work/root" >/dev/null
export TAVRIN_SYSROOT="$work/root" TAVRIN_SIM_EUID=1000 TAVRIN_CONFIG_QSETTINGS=1
export PATH="$here/sim/bin:$PATH"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_DATA_DIRS="$work/none"
mkdir -p "$XDG_CONFIG_HOME/zarnex" "$XDG_DATA_HOME"
printf '[monitor]\nenabled=true\n' >"$XDG_CONFIG_HOME/zarnex/tavrin-manager.conf"
python3 "$here/sim/make-disk-history.py" --days 365 --capacity-gib 160 >/dev/null
systemctl --user start tavrin-monitor.timer

ctl="$TAVRIN_SYSROOT/usr/sbin/zarnex-immutable-ctl"
writable="$TAVRIN_SYSROOT/usr/bin/zarnex-immutable-writable"
cat >"$work/parallel.sh" <<FLOOR
#!/bin/sh
"$ctl" admin status -j >/dev/null &
"$ctl" snapshot list -j >/dev/null &
"$ctl" -s >/dev/null &
"$writable" status -j >/dev/null &
df -B1 / >/dev/null &
systemctl --user is-active tavrin-monitor.timer >/dev/null &
wait
FLOOR
sed -e 's/ &$//' -e '/^wait$/d' "$work/parallel.sh" >"$work/serial.sh"
chmod +x "$work/parallel.sh" "$work/serial.sh"

echo "== status once (exit code $("$app" --status --json >"$work/status.json"; echo $?))"
head -c 400 "$work/status.json"; echo " …"
echo
echo "== A: tavrin-manager --status --json   B: the six tool calls side by side"
farm-bench -n "$runs" --timeout 600 --vs "$work/parallel.sh" -- "$app" --status --json
echo
echo "== A: tavrin-manager --status --json   B: the six tool calls one after another"
farm-bench -n "$runs" --timeout 600 --vs "$work/serial.sh" -- "$app" --status --json
