#!/usr/bin/env bash
# Installs every Debian 12 package that building, the demo and the tests need.
# Idempotent: packages already present are left alone.
set -euo pipefail

PACKAGES=(
    # build
    cmake ninja-build g++ ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
    # the simulated system and the tests
    ostree python3 dbus dbus-x11 systemd procps coreutils util-linux
    # rendering without a desktop: X server, fonts with CJK glyphs, an icon theme
    xvfb xauth x11-utils imagemagick fonts-noto-cjk breeze-icon-theme hicolor-icon-theme
    # installing and packaging: icon rendering, validators of the shipped files, the Debian package
    librsvg2-bin desktop-file-utils appstream dpkg-dev fakeroot lintian
    # the table test under a screen reader: the accessibility bus
    at-spi2-core
)

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
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
