#!/bin/sh
# Builds the window probe and bench_list of an earlier commit into FOLDER/build, for
# `make bench` to measure beside the current build: the commit's sources with the
# current bench/ folder, so that the same code measures both. The sources are exported
# again only when the commit differs from the last time; the build is incremental.
# Without git, for a name that is not a commit here, or when it does not build, it says
# so and the benchmarks show the current build alone.
# Usage: build-baseline.sh COMMIT FOLDER
set -eu
commit=$1
folder=$2
top=$(cd "$(dirname "$0")/.." && pwd)

if ! hash=$(git -C "$top" rev-parse --verify --quiet "$commit^{commit}" 2>/dev/null); then
    echo "bench: $commit is not a commit of this checkout; no earlier build to compare with" >&2
    rm -rf "$folder"
    exit 0
fi
if [ "$(cat "$folder/commit" 2>/dev/null)" != "$hash" ]; then
    rm -rf "$folder"
    mkdir -p "$folder/src"
    git -C "$top" archive "$hash" | tar -x -C "$folder/src"
    echo "$hash" >"$folder/commit"
fi
cp -p "$top"/bench/* "$folder/src/bench/"
if ! { cmake -S "$folder/src" -B "$folder/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build "$folder/build" -j "$(nproc 2>/dev/null || echo 2)" \
        --target bench_window_probe bench_list; }; then
    echo "bench: $commit did not build; no earlier build to compare with" >&2
    rm -f "$folder/build/bench_window_probe" "$folder/build/bench_list"
fi
