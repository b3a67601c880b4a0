#!/usr/bin/env bash
# The shipped desktop entry, AppStream metainfo and user units pass their
# validators as installed (paths and all).
. "$(dirname "$0")/testlib.sh"

stage="$scratch/stage"
stage_install "$stage" /usr/local || { fail "cmake --install"; finish; }
share="$stage/usr/local/share"
ran=0

if command -v desktop-file-validate >/dev/null; then
    ran=$((ran + 1))
    out="$(desktop-file-validate "$share/applications/org.zarnex.tavrin-manager.desktop" 2>&1)" ||
        fail "desktop-file-validate: $out"
    # Warnings do not fail the validator; they must not be there either.
    case "$out" in *warning:* | *error:*) fail "desktop-file-validate: $out" ;; esac
else
    echo "desktop-file-validate missing (Debian: desktop-file-utils): desktop entry not validated"
fi

if command -v appstreamcli >/dev/null; then
    ran=$((ran + 1))
    out="$(appstreamcli validate --no-net --explain "$share/metainfo/org.zarnex.tavrin-manager.metainfo.xml" 2>&1)" ||
        fail "appstreamcli validate: $out"
    case "$out" in *"W: "* | *"E: "*) fail "appstreamcli validate: $out" ;; esac
    expect_contains "metainfo release" "$(cat "$share/metainfo/org.zarnex.tavrin-manager.metainfo.xml")" \
        "<release version=\"$(sed -n 's/^project(tavrin-manager VERSION \([^ ]*\).*/\1/p' "$src/CMakeLists.txt")\""
else
    echo "appstreamcli missing (Debian: appstream): metainfo not validated"
fi

if command -v systemd-analyze >/dev/null; then
    ran=$((ran + 1))
    # Installed for real into a scratch prefix, so ExecStart names an
    # executable that exists; checked offline as the user manager would load
    # them, with a private runtime directory.
    prefix="$scratch/prefix"
    mkdir -p "$prefix" "$scratch/run" && chmod 700 "$scratch/run"
    cmake --install "$build" --prefix "$prefix" >"$scratch/prefix.log" 2>&1 || fail "cmake --install --prefix"
    units="$prefix/lib/systemd/user"
    verify() { XDG_RUNTIME_DIR="$scratch/run" systemd-analyze verify --user --man=no "$@" 2>&1; }
    out="$(verify "$units/tavrin-monitor.timer" "$units/tavrin-monitor.service")" ||
        fail "systemd-analyze verify: $out"
    [ -z "$out" ] || fail "systemd-analyze verify complains: $out"
    expect_eq "service runs the installed executable" "ExecStart=$prefix/bin/tavrin-manager --monitor" \
        "$(grep '^ExecStart=' "$units/tavrin-monitor.service")"

    # The check is real: a service naming a missing executable fails it.
    broken="$scratch/broken"
    mkdir -p "$broken"
    sed "s|^ExecStart=.*|ExecStart=$prefix/bin/no-such-tavrin --monitor|" \
        "$units/tavrin-monitor.service" >"$broken/tavrin-monitor.service"
    if verify "$broken/tavrin-monitor.service" >/dev/null; then
        fail "systemd-analyze verify accepted a service whose executable is missing"
    fi
else
    echo "systemd-analyze missing (Debian: systemd): units not verified"
fi

# One licence and one maintainer: the metainfo, the copyright file and the package all take them from
# the build's one definition, and none is a placeholder.
identity() { sed -n "s/^set($1 \"\(.*\)\")$/\1/p" "$src/CMakeLists.txt"; }
license="$(identity TAVRIN_LICENSE)"
developers="$(identity TAVRIN_DEVELOPERS)"
contact="$(identity TAVRIN_CONTACT)"
metainfo="$(cat "$share/metainfo/org.zarnex.tavrin-manager.metainfo.xml")"
copyright="$(cat "$share/doc/tavrin-manager/copyright")"
expect_contains "metainfo licence" "$metainfo" "<project_license>$license</project_license>"
expect_contains "metainfo developer" "$metainfo" "<developer_name>$developers</developer_name>"
expect_contains "copyright contact" "$copyright" "Upstream-Contact: $developers <$contact>"
expect_contains "copyright licence" "$copyright" "License: $(identity TAVRIN_LICENSE_DEBIAN)"
expect_contains "package maintainer" "$(grep CPACK_PACKAGE_CONTACT "$build/CPackConfig.cmake")" "$developers <$contact>"
expect_contains "changelog maintainer" "$(cat "$src/data/debian/changelog")" " -- $developers <$contact>"
for placeholder in proprietary LicenseRef "All rights reserved"; do
    case "$metainfo$copyright" in *"$placeholder"*) fail "placeholder left in the shipped files: $placeholder" ;; esac
done

[ "$ran" -gt 0 ] || skip "none of desktop-file-validate, appstreamcli, systemd-analyze is installed"
finish
