#!/usr/bin/env bash
# Installs the Debian package into a throw-away Debian 12 or 13 root and starts the program
# there. The root must be a minimal system made by debootstrap, for instance:
#   debootstrap --variant=minbase bookworm /tmp/bookworm-root http://deb.debian.org/debian
# apt-get inside the root resolves the package's Depends from the Debian mirror; nothing
# else is installed, so a missing dependency shows as a program that does not start.
# Needs root (chroot, mount).
#
# Usage: check-deb.sh <root> <package.deb>
set -euo pipefail
root=${1:?root folder}
deb=${2:?package file}
[ -x "$root/usr/bin/apt-get" ] || { echo "$root is not a Debian root" >&2; exit 2; }

mounted=()
cleanup()
{
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
for fs in proc dev; do
    if ! mountpoint -q "$root/$fs"; then
        if [ "$fs" = proc ]; then mount -t proc proc "$root/proc"; else mount --bind /dev "$root/dev"; fi
        mounted+=("$root/$fs")
    fi
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/package.deb"

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

echo "== installing $(basename "$deb")"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/package.deb >/dev/null
in_root dpkg -s tavorin-settings | grep -E '^(Status|Version|Depends):'

echo "== files"
for f in /usr/bin/tavorin-settings /usr/share/applications/org.tavorin.Settings.desktop \
    /usr/share/icons/hicolor/scalable/apps/tavorin-settings.svg \
    /usr/share/metainfo/org.tavorin.Settings.metainfo.xml \
    /usr/share/man/man1/tavorin-settings.1.gz \
    /usr/share/tavorin-settings/translations/tavorin-settings_de.qm \
    /usr/share/doc/tavorin-settings/copyright /usr/share/doc/tavorin-settings/changelog.gz \
    /usr/share/doc/tavorin-settings/key-mapping-file.md \
    /usr/share/doc/tavorin-settings/hardware-keyboard.rng \
    /usr/share/dbus-1/interfaces/org.tavorin.QCop.xml; do
    [ -s "$root$f" ] || { echo "missing: $f" >&2; exit 1; }
    echo "ok $f"
done
if in_root ldd /usr/bin/tavorin-settings | grep 'not found'; then
    echo "unresolved libraries" >&2
    exit 1
fi
echo "ok every library resolves"

# A start on Qt's offscreen platform with fresh folders, in German; after three
# seconds of running event loop, SIGTERM closes the window, which saves the settings and
# the key mapping file and ends with status 0.
echo "== starting"
in_root rm -rf /tmp/run-home
in_root mkdir -p /tmp/run-home/config /tmp/run-home/data /tmp/run-home/run
in_root chmod 700 /tmp/run-home/run
set +e
in_root env QT_QPA_PLATFORM=offscreen LANG=de_DE.UTF-8 HOME=/tmp/run-home \
    XDG_CONFIG_HOME=/tmp/run-home/config XDG_DATA_HOME=/tmp/run-home/data \
    XDG_RUNTIME_DIR=/tmp/run-home/run \
    timeout --preserve-status -s TERM -k 5 3 /usr/bin/tavorin-settings >"$root/tmp/run.log" 2>&1
status=$?
set -e
cat "$root/tmp/run.log"
if [ "$status" -ne 0 ]; then
    echo "unexpected exit status $status (0: closed by SIGTERM)" >&2
    exit 1
fi
for f in config/Tavorin.conf data/tavorin/hardware-keyboard.xml; do
    [ -s "$root/tmp/run-home/$f" ] || { echo "not saved at the close: $f" >&2; exit 1; }
done
echo "ok ran until SIGTERM, closed and saved (exit status $status)"
