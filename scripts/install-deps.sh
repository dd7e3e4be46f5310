#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and only
# those that are missing. Runs apt-get as root, or through sudo where that works
# without a password; otherwise prints the exact command and fails.
set -euo pipefail

packages=(
    # build
    cmake make g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-translations-l10n libgl-dev
    # run and test: a virtual screen, a window manager, key events, a private bus
    xvfb xauth openbox wmctrl xdotool x11-utils dbus-daemon dbus-bin fonts-dejavu-core
    libxml2-utils
    # fuzzing and sanitizers
    clang libclang-rt-14-dev
    # packaging and screenshots
    dpkg-dev file desktop-file-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

cmd=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo=(sudo)
else
    echo "Missing packages. Please run as root:" >&2
    echo "  apt-get update && ${cmd[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" "${cmd[@]}"
