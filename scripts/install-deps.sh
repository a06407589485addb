#!/usr/bin/env bash
# Installs, from Debian's packages, everything that building, testing and
# running Corvane needs. Does nothing when all of it is there already.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    libgtest-dev libgmock-dev googletest
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-qpa-plugins qt6-gtk-platformtheme qt6-wayland libqt6svg6 qt6-charts-dev libqt6charts6 libqt6opengl6-dev libgl-dev libxcb1-dev
    libicu-dev libtomlplusplus-dev libsqlite3-dev
    dbus dbus-x11 python3 python3-dbus python3-gi python3-dbusmock
    upower umockdev gir1.2-umockdev-1.0
    weston xvfb xauth xdotool x11-apps x11-utils imagemagick fonts-dejavu-core
    xfce4-panel xfconf xfwm4 tint2 dunst
    clang libclang-rt-14-dev
    appstream dpkg-dev file
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
