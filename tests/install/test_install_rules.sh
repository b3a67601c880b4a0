#!/usr/bin/env bash
# "cmake --install" into DESTDIR staging trees: exactly the expected files
# with their modes, icons of the right sizes, and units written for the
# prefix given at install time.
. "$(dirname "$0")/testlib.sh"

[ -n "${TAVRIN_RSVG_CONVERT:-}" ] && [ "${TAVRIN_RSVG_CONVERT%-NOTFOUND}" = "$TAVRIN_RSVG_CONVERT" ] ||
    skip "rsvg-convert (Debian: librsvg2-bin) was not found when configuring: the PNG icons are not built"

stage="$scratch/usr-local"
stage_install "$stage" /usr/local || { fail "cmake --install"; finish; }
expected="$(grep -v '^#' "$src/tests/install/installed-files.txt")"
actual="$(tree_listing "$stage")"
if [ "$expected" != "$actual" ]; then
    fail "installed files differ from tests/install/installed-files.txt (- expected, + installed):
$(diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | grep '^[<>]' | sed 's/^</-/; s/^>/+/')"
fi

# Each PNG is a real image of its directory's size.
for png in "$stage"/usr/local/share/icons/hicolor/*x*/apps/tavrin.png; do
    size="$(basename "$(dirname "$(dirname "$png")")")"
    got="$(python3 -c 'import struct,sys
d=open(sys.argv[1],"rb").read(24)
assert d[:8]==b"\x89PNG\r\n\x1a\n", "not a PNG"
w,h=struct.unpack(">II",d[16:24]); print(f"{w}x{h}")' "$png" 2>&1)"
    expect_eq "icon $png" "$size" "$got"
done

service="$stage/usr/local/lib/systemd/user/tavrin-monitor.service"
expect_eq "ExecStart for /usr/local" "ExecStart=/usr/local/bin/tavrin-manager --monitor" \
    "$(grep '^ExecStart=' "$service")"
# The polkit action names the helper where it is installed, beside the program.
expect_eq "polkit action for /usr/local" \
    '    <annotate key="org.freedesktop.policykit.exec.path">/usr/local/libexec/tavrin-manager/tavrin-manager-helper</annotate>' \
    "$(grep 'exec.path' "$stage/usr/local/share/polkit-1/actions/org.zarnex.tavrin-manager.policy")"
expect_contains "kept authorization" "$(cat "$stage/usr/local/share/polkit-1/actions/org.zarnex.tavrin-manager.policy")" \
    "<allow_active>auth_admin_keep</allow_active>"
expect_eq "desktop entry runs the program by name" "Exec=tavrin-manager" \
    "$(grep '^Exec=' "$stage/usr/local/share/applications/org.zarnex.tavrin-manager.desktop")"
# Both modes run from the staged tree: the window finds its module through the
# executable's own location, the monitor never loads it.
bin="$stage/usr/local/bin/tavrin-manager"
monitor="$(env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
    DBUS_SESSION_BUS_ADDRESS= LD_DEBUG=files "$bin" --monitor 2>&1 || true)"
expect_contains "staged monitor runs" "$monitor" "[tavrin-monitor]"
case "$monitor" in *"file=libQt6Widgets"* | *"tavrin-manager-window.so"*) fail "the monitor loaded window code" ;; esac
window_runs "$bin" "$stage/usr/local/lib/tavrin-manager/tavrin-manager-window.so"
expect_eq "changelog is gzip" "1f8b" "$(od -An -tx1 -N2 "$stage/usr/local/share/doc/tavrin-manager/changelog.gz" | tr -d ' ')"

# Another prefix at install time, not the configured one, reaches the service.
stage_install "$scratch/opt" /opt/tavrin || fail "cmake --install --prefix /opt/tavrin"
expect_eq "ExecStart for /opt/tavrin" "ExecStart=/opt/tavrin/bin/tavrin-manager --monitor" \
    "$(grep '^ExecStart=' "$scratch/opt/opt/tavrin/lib/systemd/user/tavrin-monitor.service" 2>&1)"
expect_contains "polkit action for /opt/tavrin" \
    "$(cat "$scratch/opt/opt/tavrin/share/polkit-1/actions/org.zarnex.tavrin-manager.policy" 2>&1)" \
    ">/opt/tavrin/libexec/tavrin-manager/tavrin-manager-helper<"
expect_eq "same files below /opt/tavrin" "$(tree_listing "$stage/usr/local")" \
    "$(tree_listing "$scratch/opt/opt/tavrin")"

finish
