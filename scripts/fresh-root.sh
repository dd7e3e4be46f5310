#!/usr/bin/env bash
# Runs a command of the README in a fresh, minimal Debian root, as a new user would on a
# bare machine: the root is made by `debootstrap --variant=minbase` from the Debian mirror
# that apt on this machine uses, and has only Debian's required packages, with the
# release's updates and security suites as on a new installation.
#
# Usage: fresh-root.sh [--user] [--committed] [--keep] SUITE [COMMAND]
#   SUITE        bookworm (Debian 12) or trixie (Debian 13)
#   COMMAND      a shell command run in the copied tree; default: ./make.sh test
#   --user       run it as a new user "tester" with sudo (without a password) instead of
#                as root
#   --committed  copy the committed tree (HEAD) instead of the working tree
#   --keep       keep the root afterwards (its folder is printed) instead of deleting it
#
# What is copied is the working tree as git sees it: the tracked files with their
# uncommitted changes, and the untracked files that .gitignore does not name (build
# folders stay out). It goes to ~/tavorin-settings of the user that runs COMMAND.
#
# The base root is made once and kept as a tarball in FRESH_ROOT_CACHE (default
# ~/.cache/tavorin-settings/fresh-root), made anew when it is older than a week; each run
# unpacks it into a new folder under FRESH_ROOT_TMP (default /var/tmp). FRESH_ROOT_MIRROR
# overrides the mirror. proc, sys, dev (null, zero, full, random, urandom, tty and a
# private dev/pts and dev/shm) and a tmp of its own are mounted in a private mount and
# process namespace: whatever COMMAND leaves running is ended when it ends, and nothing
# stays mounted, however it ends. With DISPLAY set (":N"), that X server's socket is
# shared with the root and DISPLAY is passed on, so that `./make.sh run` can open its
# window on this machine's X server.
#
# Needs root (debootstrap, chroot, mount). Ends with COMMAND's exit status.

# All of it in one block, read whole before it runs: a checkout that changes this file
# while it runs (it can take half an hour) does not change what runs.
{
set -euo pipefail

usage()
{
    sed -n '/^# Usage:/,/^#   --keep/s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

user=root
tree=working
keep=
while [ $# -gt 0 ]; do
    case $1 in
        --user) user=tester ;;
        --committed) tree=committed ;;
        --keep) keep=1 ;;
        -h|--help) usage ;;
        --) shift; break ;;
        -*) echo "fresh-root.sh: unknown option $1" >&2; usage ;;
        *) break ;;
    esac
    shift
done
[ $# -ge 1 ] && [ $# -le 2 ] || usage
suite=$1
command=${2:-./make.sh test}
case $suite in
    bookworm|trixie) ;;
    *) echo "fresh-root.sh: SUITE is bookworm or trixie, not '$suite'" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    echo "fresh-root.sh: needs root (debootstrap, chroot, mount): sudo $0 $*" >&2
    exit 2
fi
source=$(git -C "$(dirname "$(realpath "$0")")" rev-parse --show-toplevel)
"$source/scripts/install-deps.sh" fresh-root
git() { command git -c safe.directory='*' -C "$source" "$@"; }

# Prints "URI SUITE" for each deb entry of apt's sources on this machine, one-line and
# deb822 style.
apt_sources()
{
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\{0,1\}\([^[:space:]]\+\)[[:space:]]\+\([^[:space:]]\+\).*/\2 \3/p' "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'function flush() {
                 if (types ~ /(^| )deb( |$)/ && enabled != "no")
                     for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) print u[i], s[j]
                 types = ""; enabled = ""; nu = 0; ns = 0
             }
             /^#/ { next }
             /^[[:space:]]*$/ { flush(); next }
             { key = tolower($1); sub(/:$/, "", key); $1 = "" }
             key == "types" { types = $0 " " }
             key == "enabled" { enabled = $2 }
             key == "uris" { nu = split($0, u, " ") }
             key == "suites" { ns = split($0, s, " ") }
             END { flush() }' "$f"
    done
}
mirror=${FRESH_ROOT_MIRROR:-$(apt_sources | awk '$2 !~ /-security$/ && $1 ~ /^https?:/ { print $1; exit }')}
security=$(apt_sources | awk '$2 ~ /-security$/ && $1 ~ /^https?:/ { print $1; exit }')
mirror=${mirror:-http://deb.debian.org/debian}
mirror=${mirror%/}
security=${security%/}

arch=$(dpkg --print-architecture)
cache=${FRESH_ROOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavorin-settings/fresh-root}
base=$cache/$suite-$arch-minbase.tar
mkdir -p "$cache"
work=$(mktemp -d "${FRESH_ROOT_TMP:-/var/tmp}/fresh-root-$suite.XXXXXX")
root=$work/root
ended=
finish()
{
    local status=$?
    # The namespaces took every mount with them; make sure before deleting anything.
    if grep -q " $work/" /proc/self/mountinfo; then
        echo "fresh-root.sh: still mounted under $work, left in place" >&2
    elif [ -n "$keep" ]; then
        echo "fresh-root.sh: the root is kept in $root"
    else
        rm -rf "$work"
    fi
    [ -n "$ended" ] || echo "fresh-root.sh: stopped before COMMAND ended (exit status $status)" >&2
}
trap finish EXIT
trap 'exit 130' INT TERM

seconds() { echo $((SECONDS - $1))s; }

started=$SECONDS
if [ -z "$(find "$base" -mtime -7 2>/dev/null)" ]; then
    echo "fresh-root.sh: making a minimal $suite root from $mirror (debootstrap, kept in $base)"
    # In a mount namespace of its own: what debootstrap mounts goes with it.
    unshare --mount --propagation private \
        debootstrap --variant=minbase --arch="$arch" "$suite" "$work/base" "$mirror" >"$work/debootstrap.log" 2>&1 \
        || { tail -n 30 "$work/debootstrap.log" >&2; echo "fresh-root.sh: debootstrap failed" >&2; exit 1; }
    # Written aside and renamed: a run that starts meanwhile reads the old one or the new.
    tar -C "$work/base" --numeric-owner -cf "$base.$$" .
    mv "$base.$$" "$base"
    rm -rf "$work/base"
    echo "fresh-root.sh: debootstrap took $(seconds "$started")"
fi
mkdir "$root"
tar -C "$root" --numeric-owner -xpf "$base"

# apt's sources as Debian's installer writes them, the host's name service, a user.
rm -f "$root/etc/apt/sources.list"
{
    printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\n' "$mirror" "$suite" "$suite"
    if [ -n "$security" ]; then
        printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\n' "$security" "$suite"
    fi
} >"$root/etc/apt/sources.list.d/debian.sources"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
cp -L /etc/hosts "$root/etc/hosts"
echo "fresh-root.sh: $suite root from $mirror${security:+ and $security} in $root"

home=/root
if [ "$user" != root ]; then
    home=/home/$user
    chroot "$root" /usr/sbin/useradd --create-home --shell /bin/bash "$user"
    mkdir -p "$root/etc/sudoers.d"
    echo "$user ALL=(ALL:ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
    chmod 440 "$root/etc/sudoers.d/$user"
fi

dest=$root$home/tavorin-settings
mkdir -p "$dest"
if [ "$tree" = committed ]; then
    echo "fresh-root.sh: copying the committed tree ($(git rev-parse --short HEAD)) to ~/tavorin-settings"
    git archive --format=tar HEAD | tar -C "$dest" -xf -
else
    echo "fresh-root.sh: copying the working tree ($(git rev-parse --short HEAD) and what is not committed) to ~/tavorin-settings"
    # Tracked files deleted in the working tree are listed but missing: skipped.
    git ls-files -z --cached --others --exclude-standard \
        | tar -C "$source" --null -T - --ignore-failed-read -cf - 2>/dev/null \
        | tar -C "$dest" -xf -
fi
if [ "$user" != root ]; then
    chroot "$root" chown -R "$user:$user" "$home/tavorin-settings"
fi

env=(HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash TERM="${TERM:-dumb}"
     PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
[ -z "${DISPLAY:-}" ] || env+=(DISPLAY="$DISPLAY")
[ -z "${CI:-}" ] || env+=(CI="$CI")

# Inside the namespaces: the mounts, then COMMAND through chroot (and runuser for the
# user). The first process of the process namespace is this script; when it ends, every
# process COMMAND left behind is ended too, and the mount namespace goes with them.
inside='
set -u
root=$1 user=$2 dir=$3 command=$4; shift 4
# The root a mount point of its own, as / is on a machine: a test that makes a mount
# namespace of its own changes the propagation of /, which only a mount point has.
mount --bind "$root" "$root"
mount -t proc proc "$root/proc"
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$root/sys" 2>/dev/null \
    || mount --rbind -o ro /sys "$root/sys"
mount -t tmpfs -o mode=755,nosuid tmpfs "$root/dev"
for node in null zero full random urandom tty; do
    touch "$root/dev/$node"
    mount --bind "/dev/$node" "$root/dev/$node"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/tmp"
# The socket of DISPLAY alone: X servers that COMMAND starts keep theirs in the root.
display=${DISPLAY:-}
display=${display#:}
display=${display%.*}
if [[ $display =~ ^[0-9]+$ ]] && [ -S "/tmp/.X11-unix/X$display" ]; then
    mkdir -m 1777 "$root/tmp/.X11-unix"
    touch "$root/tmp/.X11-unix/X$display"
    mount --bind "/tmp/.X11-unix/X$display" "$root/tmp/.X11-unix/X$display"
fi
run="cd \"$dir\" && $command"
if [ "$user" = root ]; then
    chroot "$root" /usr/bin/env -i "$@" /bin/bash -c "$run"
else
    chroot "$root" /usr/sbin/runuser -u "$user" -- /usr/bin/env -i "$@" /bin/bash -c "$run"
fi
status=$?
umount -R "$root" 2>/dev/null
exit $status
'
if [ "$user" != root ]; then
    # sudo is part of a user's machine that has it; a minimal root lacks it.
    echo "fresh-root.sh: installing sudo for $user"
    unshare --mount --pid --fork --propagation private /bin/bash -c "$inside" inside "$root" root / \
        'apt-get -o DPkg::Lock::Timeout=600 update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends sudo >/dev/null' \
        HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin
fi
echo "fresh-root.sh: setting up took $(seconds "$started")"

echo "fresh-root.sh: running '$command' as $user in ~/tavorin-settings of a fresh $suite root"
started=$SECONDS
set +e
unshare --mount --pid --fork --propagation private /bin/bash -c "$inside" inside "$root" "$user" "$home/tavorin-settings" "$command" "${env[@]}"
status=$?
set -e
ended=1
echo "fresh-root.sh: '$command' as $user in a fresh $suite root ended with exit status $status after $(seconds "$started")"
exit "$status"
}
