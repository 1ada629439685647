#!/usr/bin/env bash
# Installs what Ravodor needs on Debian 12:
#   install-deps.sh run    building and running it
#   install-deps.sh test   that and everything the tests use (the default)
set -euo pipefail
what=${1:-test}

run=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    # The time service (sd-bus).
    libsystemd-dev
    tzdata
    # setpriv, for run.sh started as root; setcap, to give the helper the right.
    util-linux libcap2-bin
    # Run time of --at --only alone; the window needs none of it.
    libfaketime
)
test=(
    libgtest-dev
    desktop-file-utils appstream
    # gio launch, which starts a launcher as the desktop does.
    libglib2.0-bin
    # An X server of its own for the test that loses the display, and for
    # GNOME's theme; a Wayland compositor with Qt's Wayland platform.
    xvfb weston qt6-wayland
    # A private bus with a stand-in timedated, and queued window-system input.
    dbus-daemon python3-dbusmock qt6-base-private-dev
    # Debian's polkitd, which loads the package's rule in its test.
    polkitd
    # Sanitizer build, fuzz targets (libFuzzer and its runtimes) and benchmarks.
    clang libclang-rt-14-dev llvm libbenchmark-dev
    # The certificate --bisect finds the expiry of; the bench's yardstick.
    openssl faketime
)

case $what in
    run) packages=("${run[@]}") ;;
    test) packages=("${run[@]}" "${test[@]}") ;;
    *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
