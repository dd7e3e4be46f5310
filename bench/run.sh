#!/bin/sh
# `make bench`, from the build folder: builds the programs of BENCH_BASELINE and
# BENCH_FIND_BASELINE, then runs BENCH_TABLES on a private X server and session bus.
set -eu
# Builds TARGETs in FOLDER/build from COMMIT with this bench/ folder, or none.
baseline() {
    commit=$1 folder=$2 top=$(cd "$(dirname "$0")/.." && pwd)
    shift 2
    if [ -z "$commit" ] || ! hash=$(git -C "$top" rev-parse --verify --quiet "$commit^{commit}" 2>/dev/null); then
        [ -z "$commit" ] || echo "bench: $commit is not a commit of this checkout" >&2
        rm -rf "$folder"
        return
    fi
    if [ "$(cat "$folder/commit" 2>/dev/null)" != "$hash" ]; then
        rm -rf "$folder" && mkdir -p "$folder/src"
        git -C "$top" archive "$hash" | tar -x -C "$folder/src"
        echo "$hash" >"$folder/commit"
    fi
    rm -rf "$folder/src/bench" && cp -pR "$top/bench" "$folder/src/bench"
    cmake -S "$folder/src" -B "$folder/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
        cmake --build "$folder/build" -j "$(nproc)" --target "$@" ||
        { echo "bench: $commit did not build" >&2; rm -rf "$folder/build"; }
}
if [ "${1:-}" != --session ]; then
    baseline "${BENCH_BASELINE:-}" bench/baseline bench_window bench_list
    baseline "${BENCH_FIND_BASELINE:-}" bench/baseline-find bench_find
    unset WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM LANGUAGE
    home=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$home/display" 2>"$home/log" &
    xvfb=$!
    trap 'kill $xvfb; rm -rf "$home"' EXIT
    for _ in $(seq 100); do [ -s "$home/display" ] && break; sleep 0.2; done
    export LC_ALL=C.UTF-8 DISPLAY=":$(cat "$home/display")" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime"
    mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    dbus-run-session -- sh "$0" --session
    exit
fi
later() { [ ! -e later-tables.txt ] || { cat later-tables.txt && rm later-tables.txt; }; }
for program in ${BENCH_TABLES:-window reader save list import find}; do
    case $program in
    window) ./bench_window "${BENCH_ROUNDS:-15}" later-tables.txt bench/baseline/build/bench_window ;;
    list) later && ./bench_list bench/baseline/build/bench_list ;;
    find) ./bench_find bench/baseline-find/build/bench_find ;;
    *) QT_QPA_PLATFORM=offscreen "./bench_$program" ;;
    esac
done
later
