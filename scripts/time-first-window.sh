#!/usr/bin/env bash
# Measures a newcomer's first minutes: from a fresh Debian 12 root (debootstrap, minbase) to the
# demo window, following the README: "scripts/setup-debian.sh --demo && scripts/demo.sh" in a clean
# clone, with no compiler cache to help. Prints the time of the apt step, of the demo up to its
# window (build included) and their sum. Run as root, on demand (it downloads a base system and the
# packages):
#
#   sudo ./scripts/time-first-window.sh [--keep]
#
# The root lives below /var/tmp and is deleted at the end (unless --keep); /proc and /dev are mounted
# in a private mount namespace, so they vanish with the script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/fresh-root-lib.sh"
keep=0
[ "${1:-}" = "--keep" ] && keep=1
die() { echo "time-first-window: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "must be run as root (debootstrap and chroot need it)"
if [ -z "${TAVRIN_FIRST_WINDOW_INNER:-}" ]; then
    export TAVRIN_FIRST_WINDOW_INNER=1
    exec unshare --mount --propagation private -- "$0" "$@"
fi
command -v debootstrap >/dev/null || die "debootstrap is missing (Debian: apt-get install debootstrap)"
mirror="$(fresh_root_mirror)"

work_prefix=tavrin-first-window
fresh_root_workspace

echo "== fresh Debian 12 root (not timed)"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; die "debootstrap failed"; }
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod 755 "$root/usr/sbin/policy-rc.d"
# A clean clone of what is committed: no build tree, no cache.
git clone -q --no-local "$here" "$root/root/tavrin-manager"

cat >"$root/root/first-window.sh" <<'INNER'
#!/bin/bash
set -euo pipefail
cd /root/tavrin-manager
now() { date +%s.%N; }
t0=$(now)
./scripts/setup-debian.sh --demo >/root/setup.log 2>&1
t1=$(now)
Xvfb :5 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
t2=$(now)
# The program says when its window has painted for the first time.
# In a session of its own, so the bus daemon and the window end with it.
DISPLAY=:5 TAVRIN_FIRST_PAINT_PROBE=1 setsid dbus-run-session -- ./scripts/demo.sh >/root/demo.log 2>&1 &
demo=$!
found=""
for i in $(seq 1 3600); do
    found=$(grep -m1 '^first-paint' /root/demo.log || true)
    [ -n "$found" ] && break
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.2
done
t3=$(now)
kill -- -"$demo" 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
wait 2>/dev/null || true
[ -n "$found" ] || { tail -30 /root/demo.log; echo "no window appeared"; exit 1; }
echo "window: $found"
awk -v a="$t0" -v b="$t1" -v c="$t2" -v d="$t3" 'BEGIN {
    printf "apt step (setup-debian.sh --demo): %.0f s\n", b - a
    printf "demo.sh to its window (build from scratch, simulated root, history): %.0f s\n", d - c
    printf "total: %.0f s (%.1f min)\n", (b - a) + (d - c), ((b - a) + (d - c)) / 60 }'
grep -E '^\[[0-9]+/[0-9]+\]' /root/demo.log | tail -1 || true
INNER
chmod 755 "$root/root/first-window.sh"
echo "== in the fresh root: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root TERM=dumb \
    DEBIAN_FRONTEND=noninteractive CCACHE_DISABLE=1 /root/first-window.sh
echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg)"
