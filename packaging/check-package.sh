#!/usr/bin/env bash
# Builds the Debian package in a configured build folder and checks what was built:
# lintian on the package, appstreamcli on the AppStream metadata inside it. Any error
# or warning of either fails. `make package` runs it.
#
# Usage: check-package.sh <build folder>
set -euo pipefail
build=$(realpath "${1:?build folder}")
source=$(dirname "$(realpath "$0")")

for tool in cpack lintian appstreamcli dpkg-deb dpkg-parsechangelog; do
    command -v "$tool" >/dev/null \
        || { echo "check-package.sh: $tool is missing (scripts/install-deps.sh package)" >&2; exit 1; }
done

cd "$build"
rm -f tavorin-settings_*.deb
cpack -G DEB
debs=(tavorin-settings_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check-package.sh: expected one package, found: ${debs[*]}" >&2; exit 1; }
deb=$build/${debs[0]}

# The changelog's latest entry and the AppStream release name the package's version.
version=$(dpkg-deb -f "$deb" Version)
logged=$(dpkg-parsechangelog -l "$source/changelog" -S Version)
[ "$logged" = "$version" ] \
    || { echo "check-package.sh: packaging/changelog is at $logged, the package at $version" >&2; exit 1; }
grep -q "<release version=\"$version\"" "$source/org.tavorin.Settings.metainfo.xml" \
    || { echo "check-package.sh: no release $version in the AppStream metadata" >&2; exit 1; }

echo "== lintian $(basename "$deb")"
lintian --fail-on error,warning "$deb"
echo "lintian: no errors, no warnings"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
echo "== appstreamcli validate"
# --explain gives the reason beside each issue; errors and warnings fail, infos do not.
appstreamcli validate --no-net --explain "$unpacked/usr/share/metainfo/org.tavorin.Settings.metainfo.xml"
echo "Package: $deb"
