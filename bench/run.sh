#!/bin/sh
# Every table of `make bench` in order, run in the build's bench/ folder: on a private X
# server (1024x768, no window manager) and session bus, with settings and data in a
# temporary folder, from the folder of the programs; the earlier builds' programs are in the
# folders named. BENCH_TABLES names the programs to run (all by default: window reader save
# list import find). Usage: run.sh ROUNDS BEFORE-FOLDER FIND-BEFORE-FOLDER
set -eu
if [ "${1:-}" != --session ]; then
    unset WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM LANGUAGE
    home=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$home/display" 2>"$home/log" &
    xvfb=$!
    trap 'kill $xvfb; rm -rf "$home"' EXIT
    for _ in $(seq 100); do [ -s "$home/display" ] && break; sleep 0.2; done
    export LC_ALL=C.UTF-8 DISPLAY=":$(cat "$home/display")" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime"
    mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    dbus-run-session -- sh "$0" --session "$@"
    exit
fi
later() { [ ! -e later-tables.txt ] || { cat later-tables.txt && rm later-tables.txt; }; }
for program in ${BENCH_TABLES:-window reader save list import find}; do
    case $program in
    window) ./bench_window "$2" later-tables.txt "$3/bench_window" ;;
    list) later && ./bench_list "$3/bench_list" ;;
    find) ./bench_find "$4/bench_find" ;;
    *) QT_QPA_PLATFORM=offscreen "./bench_$program" ;;
    esac
done
later
