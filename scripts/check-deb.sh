#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user would meet it, in a
# fresh Debian 12 root made with debootstrap (run as root, on demand: it
# downloads a base system and the package's dependencies, and takes a while):
#
#   sudo ./scripts/check-deb.sh [--keep]
#
# 1. a release build (build-release/, shared with install.sh) and "cpack -G DEB"
# 2. lintian on the package: no errors
# 3. in the fresh root: "apt-get install ./tavrin-manager_*.deb", then
#    "tavrin-manager --monitor" prints its line and the window runs offscreen
# 4. "apt-get remove" keeps the rollback state and the users' data;
#    "apt-get purge" leaves no file of the package behind.
#
# The root lives in a temporary directory and is deleted at the end (unless
# --keep); /proc and /dev are mounted in a private mount namespace, so they
# vanish with the script even when it is interrupted.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/fresh-root-lib.sh"
build="${TAVRIN_RELEASE_BUILD_DIR:-$here/build-release}"
keep=0
[ "${1:-}" = "--keep" ] && keep=1

step() { printf '\n== %s\n' "$*"; }
die() { echo "check-deb: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "must be run as root (debootstrap and chroot need it)"
if [ -z "${TAVRIN_CHECK_DEB_INNER:-}" ]; then
    # Re-run in a private mount namespace: mounts made below die with it.
    export TAVRIN_CHECK_DEB_INNER=1
    exec unshare --mount --propagation private -- "$0" "$@"
fi

for tool in debootstrap lintian dpkg-shlibdeps fakeroot cpack; do
    command -v "$tool" >/dev/null || die "$tool is missing (Debian: apt-get install debootstrap lintian dpkg-dev fakeroot cmake)"
done

mirror="$(fresh_root_mirror)"

step "release build and package"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF
fi
nice cmake --build "$build" --parallel "$(nproc)" >/dev/null
rm -f "$build"/tavrin-manager_*.deb
(cd "$build" && nice cpack -G DEB >/dev/null)
deb="$(ls "$build"/tavrin-manager_*.deb)"
echo "$deb"
dpkg-deb --field "$deb"
echo "-- files:"
dpkg-deb --contents "$deb" | awk '{ print $1, $6 }'

step "lintian"
lintian --fail-on error --info "$deb" || die "lintian found errors"
echo "lintian: no errors"

work_prefix=tavrin-check-deb
fresh_root_workspace

step "fresh Debian 12 root ($mirror)"
nice debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; die "debootstrap failed"; }
echo "debootstrap: done"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d" && chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root DEBIAN_FRONTEND=noninteractive "$@"; }

step "apt-get install ./$(basename "$deb")"
in_root apt-get update -qq
in_root nice apt-get install -y -q "/tmp/$(basename "$deb")" >"$work/apt-install.log" 2>&1 ||
    { tail -30 "$work/apt-install.log"; die "apt-get install failed"; }
grep -E '^(Setting up tavrin-manager|[0-9]+ upgraded, [0-9]+ newly installed)' "$work/apt-install.log" || true
in_root dpkg-query -W tavrin-manager
in_root dpkg -L tavrin-manager >"$work/files"

step "tavrin-manager --monitor"
in_root useradd -m admin
as_admin() { chroot "$root" env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME=/home/admin setpriv --reuid=admin --regid=admin --init-groups -- "$@"; }
set +e
monitor="$(as_admin tavrin-manager --monitor 2>&1)"
set -e
echo "$monitor"
echo "$monitor" | grep -q '^\[tavrin-monitor\] ' || die "the monitor printed no [tavrin-monitor] line"
echo "$monitor" | grep -q 'QSettings' && die "the installed program did not find its configuration description"

step "the window, offscreen, for 10 s"
set +e
in_root install -d -m 700 -o admin -g admin /home/admin/run
window="$(as_admin env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/home/admin/run timeout 10 tavrin-manager 2>&1)"
rc=$?
set -e
echo "${window:-(no output)}"
[ "$rc" -eq 124 ] || die "the window exited on its own with $rc instead of running until the time-out"
echo "$window" | grep -qiE 'could not|cannot load|failed to|error' && die "the window reported errors"
echo "window: ran until stopped, no errors"

step "the window on a virtual X server, in English"
in_root apt-get install -y -q --no-install-recommends xvfb x11-apps x11-utils >"$work/apt-x.log" 2>&1 ||
    { tail -20 "$work/apt-x.log"; die "installing Xvfb failed"; }
# The English interface: the installed catalogue must be found in /usr/share.
install -d "$root/home/admin/.config/zarnex"
printf '[General]\nlanguage=en_US\n' >"$root/home/admin/.config/zarnex/tavrin-manager.conf"
in_root chown -R admin:admin /home/admin/.config
cat >"$root/tmp/shot.sh" <<'SHOT'
#!/bin/sh
Xvfb :7 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:7 XDG_RUNTIME_DIR=/home/admin/run
sleep 2
tavrin-manager >/tmp/window.log 2>&1 &
app=$!
found=""
for i in $(seq 1 30); do
    found=$(xwininfo -root -tree 2>/dev/null | grep -F 'Tavrin Settings' | grep -v ' 1x1+' | head -n 1)
    [ -n "$found" ] && break
    sleep 1
done
sleep 3
echo "window: ${found:-none}"
xwd -root -silent >/tmp/window.xwd
kill "$app" "$xvfb" 2>/dev/null
wait 2>/dev/null
[ -n "$found" ]
SHOT
chmod 755 "$root/tmp/shot.sh"
as_admin /tmp/shot.sh || { cat "$root/tmp/window.log"; die "no window titled \"Tavrin Settings\" appeared"; }
cat "$root/tmp/window.log"
# Every icon is an SVG: without Qt's SVG plug-ins the window has none.
for plugin in iconengines/libqsvgicon.so imageformats/libqsvg.so; do
    ls "$root"/usr/lib/*/qt6/plugins/"$plugin" >/dev/null 2>&1 ||
        die "Qt's SVG plug-in $plugin is not installed: the package lacks a dependency"
done
shot="$build/check-deb-window.png"
if command -v convert >/dev/null && convert "xwd:$root/tmp/window.xwd" "$shot" 2>/dev/null; then
    echo "screenshot: $shot"
else
    cp "$root/tmp/window.xwd" "$build/check-deb-window.xwd" && echo "screenshot: $build/check-deb-window.xwd"
fi

step "apt-get remove keeps data, apt-get purge leaves nothing"
mkdir -p "$root/home/admin/.local/share/tavrin-manager/disk-history"
echo '{}' >"$root/home/admin/.local/share/tavrin-manager/disk-history/2026-01-01.json"
echo '{"status":"pending"}' >"$root/var/lib/tavrin-manager/rollback-state.json"
in_root apt-get remove -y -q tavrin-manager >"$work/apt-remove.log" 2>&1 || { cat "$work/apt-remove.log"; die "apt-get remove failed"; }
[ -f "$root/var/lib/tavrin-manager/rollback-state.json" ] || die "remove deleted the rollback state"
echo "remove: rollback state kept"
in_root apt-get purge -y -q tavrin-manager >"$work/apt-purge.log" 2>&1 || { cat "$work/apt-purge.log"; die "apt-get purge failed"; }
left=0
while IFS= read -r f; do
    # Directories other packages own (/usr/share, ...) stay; anything that is
    # only this package's must be gone.
    if [ -e "$root$f" ] && ! in_root dpkg -S "$f" >/dev/null 2>&1; then
        echo "left behind: $f"
        left=1
    fi
done <"$work/files"
for extra in /var/lib/tavrin-manager /usr/libexec/tavrin-manager; do
    [ ! -e "$root$extra" ] || { echo "left behind: $extra"; left=1; }
done
[ "$left" = 0 ] || die "purge left files behind"
[ -f "$root/home/admin/.local/share/tavrin-manager/disk-history/2026-01-01.json" ] || die "purge deleted a user's disk history"
echo "purge: no file of the package left; the user's disk history kept"

step "all checks passed"
