#!/usr/bin/env bash
# Installs the Debian packages of the named sets, and only those that are missing.
#
# Usage: install-deps.sh SET...
#   make        make itself, for ./make.sh on a bare machine
#   run         build the program and start it (make run, make build)
#   test        the tests on top of that (make test, make test-asan)
#   bench       make bench          fuzz        make fuzz
#   package     make package        screenshot  make screenshot
#   fresh-root  scripts/fresh-root.sh (debootstrap)
#   all         every set
#
# Runs apt-get as root, or through sudo: without a password where that is set up,
# otherwise with sudo's password prompt when there is a terminal to ask on. Without
# either it prints one line to paste into a root-capable shell and fails.
set -euo pipefail

declare -A sets=(
    [make]="make"
    # The compiler, CMake with Ninja, Qt 6 and its linguist tools (the German
    # catalogue is built into the program), Qt's own translations, and xcb (the window
    # comes forward for a later start on X11).
    [run]="cmake make g++ ninja-build qt6-base-dev qt6-tools-dev qt6-l10n-tools
           qt6-translations-l10n libxcb1-dev"
    # A virtual screen with a window manager, key and pointer events, a screenshot of a
    # failure, a private session bus, the accessibility bus with its registry and Python's
    # reader of it (what the window shows), the screen reader Orca, a font, the checkers of
    # the desktop entry and of the key mapping files the tests write, and an X session
    # manager (xsm, which needs iceauth) to log out of. For the Wayland test: Qt's Wayland
    # plugin (without it Qt uses XWayland), a compositor that runs headless, and virtual
    # key events.
    [test]="xvfb xauth openbox wmctrl xdotool x11-utils imagemagick dbus-daemon dbus-bin
            at-spi2-core python3-gi gir1.2-atspi-2.0 orca fonts-dejavu-core desktop-file-utils
            libxml2-utils x11-session-utils x11-xserver-utils qt6-wayland sway wtype"
    [bench]="xvfb dbus-daemon"
    [fuzz]="clang libclang-rt-dev"
    [package]="dpkg-dev file lintian appstream"
    [screenshot]="xvfb openbox wmctrl xdotool imagemagick dbus-daemon dbus-bin fonts-dejavu-core"
    [fresh-root]="debootstrap"
)

[ $# -gt 0 ] || set -- run
names=()
for name in "$@"; do
    if [ "$name" = all ]; then
        names+=(run test bench fuzz package screenshot fresh-root)
    elif [ -n "${sets[$name]+set}" ]; then
        names+=("$name")
    else
        echo "install-deps.sh: unknown set '$name' (make, run, test, bench, fuzz, package, screenshot, fresh-root, all)" >&2
        exit 2
    fi
done

missing=()
for name in "${names[@]}"; do
    for p in ${sets[$name]}; do
        [[ " ${missing[*]} " == *" $p "* ]] && continue
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
done
[ ${#missing[@]} -eq 0 ] && exit 0

# One shell command, so that a single sudo (or su) covers both the update and the
# install, and the environment setting survives sudo's reset of the environment.
install="apt-get -o DPkg::Lock::Timeout=600 update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    echo "Installing for ${names[*]}: ${missing[*]}"
    sh -c "$install"
elif command -v sudo >/dev/null && { sudo -n true 2>/dev/null || { : </dev/tty; } 2>/dev/null; }; then
    echo "Installing for ${names[*]} with sudo: ${missing[*]}"
    sudo sh -c "$install"
else
    echo "Missing Debian packages for ${names[*]}: ${missing[*]}" >&2
    echo "Install them as root, for instance by pasting this line:" >&2
    if command -v sudo >/dev/null; then
        echo "  sudo sh -c '$install'" >&2
    else
        echo "  su -c '$install'" >&2
    fi
    exit 1
fi
