#!/usr/bin/env bash
# install.sh and uninstall.sh on a scratch prefix, with the fixed system
# directories below a scratch TAVRIN_SYSROOT: bad input changes nothing, an
# install runs from its prefix, a second install is harmless, and uninstall
# leaves the scratch tree as it was.
. "$(dirname "$0")/testlib.sh"

prefix="$scratch/prefix"
root="$scratch/root"
mkdir -p "$prefix" "$root"
touch "$prefix/unrelated-file"
export TAVRIN_SYSROOT="$root"
before="$(tree_listing "$scratch")"

install_sh() { "$src/install.sh" --build-dir "$build" "$@"; }
uninstall_sh() { "$src/uninstall.sh" "$@"; }
# Runs "$@" and leaves its exit code in $rc and its output in $out.
run() { set +e; out="$("$@" 2>&1)"; rc=$?; set -e; }
unchanged() { expect_eq "$1: scratch tree unchanged" "$before" "$(tree_listing "$scratch")"; }

# Not root: refused before anything is built or written.
if [ "$(id -u)" -ne 0 ]; then
    run install_sh --prefix "$prefix"
    expect_eq "install.sh as a user: exit code" 1 "$rc"
    expect_contains "install.sh as a user" "$out" "must be run as root"
    unchanged "install.sh as a user"
    skip "not root: install.sh cannot be run further here"
fi
if command -v setpriv >/dev/null && setpriv --reuid=65534 test -r "$src/install.sh"; then
    run setpriv --reuid=65534 --regid=65534 --clear-groups "$src/install.sh" --prefix "$prefix"
    expect_eq "install.sh as nobody: exit code" 1 "$rc"
    expect_contains "install.sh as nobody" "$out" "must be run as root"
    run setpriv --reuid=65534 --regid=65534 --clear-groups "$src/uninstall.sh" --prefix "$prefix"
    expect_eq "uninstall.sh as nobody: exit code" 1 "$rc"
    unchanged "scripts run as nobody"
else
    echo "setpriv missing or the source tree unreadable for nobody: the non-root refusal is not checked"
fi

# Bad prefixes.
run install_sh --prefix "$scratch/missing"
expect_eq "missing prefix: exit code" 1 "$rc"
expect_contains "missing prefix" "$out" "does not exist"
run install_sh --prefix "$prefix/unrelated-file"
expect_eq "prefix is a file: exit code" 1 "$rc"
expect_contains "prefix is a file" "$out" "is not a directory"
run install_sh --prefix /proc
expect_eq "read-only prefix: exit code" 1 "$rc"
expect_contains "read-only prefix" "$out" "cannot write to /proc"
run install_sh --prefix relative/dir
expect_eq "relative prefix: exit code" 1 "$rc"
# A directory where the executable belongs: refused before anything is written.
mkdir -p "$prefix/bin/tavrin-manager"
run install_sh --prefix "$prefix"
expect_eq "blocked target: exit code" 1 "$rc"
expect_contains "blocked target" "$out" "is a directory where a file belongs"
rmdir "$prefix/bin/tavrin-manager" "$prefix/bin"
unchanged "bad input"

# Nothing to uninstall yet.
run uninstall_sh --prefix "$prefix"
expect_eq "uninstall without manifest: exit code" 0 "$rc"
expect_contains "uninstall without manifest" "$out" "nothing was removed"
unchanged "uninstall without manifest"

# Install.
run install_sh --prefix "$prefix"
expect_eq "install: exit code" 0 "$rc"
[ "$rc" -eq 0 ] || { echo "$out" >&2; finish; }
expect_contains "install reports the manifest" "$out" "manifest: $prefix/share/tavrin-manager/install-manifest"
expect_contains "install leaves systemd alone" "$out" "systemd: not reloaded"
manifest="$prefix/share/tavrin-manager/install-manifest"
for f in bin/tavrin-manager lib/tavrin-manager/tavrin-manager-window.so lib/systemd/user/tavrin-monitor.timer lib/systemd/user/tavrin-monitor.service \
    share/applications/org.zarnex.tavrin-manager.desktop; do
    grep -qx "f $prefix/$f" "$manifest" || fail "manifest lacks $prefix/$f"
done
[ -d "$root/var/lib/tavrin-manager" ] || fail "the rollback state directory was not made below TAVRIN_SYSROOT"
grep -qx "d $root/var/lib/tavrin-manager" "$manifest" || fail "manifest lacks the state directory"
# Every file the manifest names exists; every file installed is named.
while read -r kind path; do
    case "$kind" in f) [ -f "$path" ] || fail "manifest names missing $path" ;; esac
done < <(grep -v '^#' "$manifest")
while IFS= read -r f; do
    grep -qx "f $f" "$manifest" || fail "installed but not in the manifest: $f"
done < <(find "$prefix" "$root" -type f ! -path "$prefix/unrelated-file")

# The installed program finds its configuration description through its
# own prefix, with XDG_DATA_DIRS pointing elsewhere.
run env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
    XDG_CACHE_HOME="$scratch/home/.cache" XDG_DATA_DIRS="$scratch/nowhere" DBUS_SESSION_BUS_ADDRESS= \
    TAVRIN_CONFIG_QSETTINGS= "$prefix/bin/tavrin-manager" --monitor
expect_contains "installed monitor runs" "$out" "[tavrin-monitor]"
case "$out" in *QSettings*) fail "installed program did not find its configuration description: $out" ;; esac
window_runs "$prefix/bin/tavrin-manager" "$prefix/lib/tavrin-manager/tavrin-manager-window.so"
rm -rf "$scratch/home"
mkdir -p "$scratch/home"

# A second install changes nothing and keeps the same manifest entries.
entries="$(grep -v '^#' "$manifest")"
after_install="$(tree_listing "$scratch")"
run install_sh --prefix "$prefix"
expect_eq "second install: exit code" 0 "$rc"
expect_contains "second install writes nothing new" "$out" "files: 0 written"
expect_eq "second install: manifest" "$entries" "$(grep -v '^#' "$manifest")"
expect_eq "second install: tree" "$after_install" "$(tree_listing "$scratch")"

# A malformed manifest: uninstall refuses and removes nothing.
cp "$manifest" "$scratch/manifest.good"
echo "f $prefix/../../etc/passwd" >>"$manifest"
run uninstall_sh --prefix "$prefix"
expect_eq "malformed manifest: exit code" 1 "$rc"
expect_eq "malformed manifest: nothing removed" "$after_install" "$(tree_listing "$scratch" | grep -v 'manifest.good')"
cp "$scratch/manifest.good" "$manifest" && rm "$scratch/manifest.good"

# Data the program left in a directory the install created survives the
# uninstall, with its directory.
echo '{}' >"$root/var/lib/tavrin-manager/rollback-state.json"
run uninstall_sh --prefix "$prefix"
expect_eq "uninstall: exit code" 0 "$rc"
[ -f "$root/var/lib/tavrin-manager/rollback-state.json" ] || fail "uninstall removed the rollback state"
expect_contains "uninstall names what it kept" "$out" "kept $root/var/lib/tavrin-manager"
expect_contains "uninstall says where user data is" "$out" "disk-history"
rm -r "$root/var/lib/tavrin-manager"
rmdir "$root/var/lib" "$root/var"
unchanged "install then uninstall"

# Uninstalling twice is harmless.
run uninstall_sh --prefix "$prefix"
expect_eq "second uninstall: exit code" 0 "$rc"
unchanged "second uninstall"

finish
