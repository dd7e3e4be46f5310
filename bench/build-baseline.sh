#!/bin/sh
# Builds benchmark programs of an earlier commit into FOLDER/build, for `make bench` to
# measure beside the current build: the commit's sources with the current bench/ folder,
# so that the same code measures both. The sources are exported again only when the commit
# differs from the last time; the build is incremental. Without a commit, without git, for
# a name that is not a commit here, or when it does not build, FOLDER is left empty and the
# tables show the current build alone.
# Usage: build-baseline.sh COMMIT FOLDER TARGET...
set -eu
commit=$1 folder=$2
shift 2
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "$commit" ] || ! hash=$(git -C "$top" rev-parse --verify --quiet "$commit^{commit}" 2>/dev/null); then
    [ -z "$commit" ] || echo "bench: $commit is not a commit of this checkout" >&2
    rm -rf "$folder"
    exit 0
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
