#!/usr/bin/env bash
# Builds the Debian packages from this tree into build-deb/ and prints the
# paths of the two .debs on the last two lines: ravodor-cli's, then ravodor's. Installs what building it needs first.
# The tests are left to CI (scripts/test.sh): the package is built without them.
# The source package is built too, so that lintian sees it.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
out=$top/build-deb

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
tools=(dpkg-dev debhelper lintian po-debconf)
missing=()
for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || ! dpkg-checkbuilddeps >/dev/null 2>&1; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${tools[@]}"
    "${sudo[@]}" apt-get build-dep -y --no-install-recommends "$top"
fi

# A copy, so the tree gets no build litter and the .deb lands in build-deb/.
# Always the same folder: a compiler cache finds the same paths each time.
rm -rf "$out"
mkdir -p "$out/ravodor"
tar -C "$top" --exclude=./.git --exclude='./build*' --exclude='./obj-*' -cf - . | tar -C "$out/ravodor" -xf -
(cd "$out/ravodor" && DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -jauto)

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
for package in ravodor-cli ravodor; do
    deb=$out/${package}_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).deb
    [ -f "$deb" ] || { echo "no package was made: $deb" >&2; exit 1; }
    echo "$deb"
done
