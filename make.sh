#!/bin/sh
# The two set-up commands of the README, `./make.sh run` and `./make.sh test`, on any
# Debian 12 or 13 machine, a bare one included: make itself is not part of a minimal Debian,
# so it is installed first when missing (as root, or through sudo), and then make takes
# over with the same arguments and installs everything else the target needs.
set -e
cd "$(dirname "$0")"
if ! command -v make >/dev/null 2>&1; then
    ./scripts/install-deps.sh make
fi
exec make "$@"
