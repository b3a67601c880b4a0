#!/usr/bin/env bash
# Installs the Debian 12 packages that building, the demo and the tests need.
# Idempotent: packages already present are left alone.
#
#   scripts/setup-debian.sh           everything: build, demo, tests, packaging
#   scripts/setup-debian.sh --demo    only what building the program and opening the demo window need
set -euo pipefail

DEMO_PACKAGES=(
    # build
    cmake ninja-build g++ ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
    # the simulated system and the window without a desktop: X server, fonts with CJK glyphs, icons
    ostree python3 dbus dbus-x11 xvfb xauth fonts-noto-cjk breeze-icon-theme hicolor-icon-theme
)
TEST_PACKAGES=(
    systemd procps coreutils util-linux x11-utils imagemagick
    # installing and packaging: icon rendering, validators of the shipped files, the Debian package
    librsvg2-bin desktop-file-utils appstream dpkg-dev fakeroot lintian
    # the table test under a screen reader: the accessibility bus
    at-spi2-core
    # the metrics file read by a real node_exporter, promtool on it and on the shipped rules
    prometheus-node-exporter prometheus
)

PACKAGES=("${DEMO_PACKAGES[@]}")
[ "${1:-}" = "--demo" ] || PACKAGES+=("${TEST_PACKAGES[@]}")

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    SUDO=(sudo)
fi

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

echo "setup: installing ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
# The packages' own services (node_exporter, prometheus) are not started: the tests start
# node_exporter themselves, on a port of their own.
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
