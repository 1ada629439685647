#!/usr/bin/env bash
# Installs what building and testing Ravodor needs on Debian 12.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    libgtest-dev
    desktop-file-utils appstream
    tzdata util-linux libcap2-bin
    # An X server of its own for the test that loses the display.
    xvfb
    # The time service (sd-bus), and its tests: a private bus with a
    # stand-in timedated, and queued window-system input.
    libsystemd-dev dbus-daemon python3-dbusmock qt6-base-private-dev
    # Run time of --at --only alone, and its tests; the window needs none of it.
    libfaketime
    # Sanitizer build, fuzz targets (libFuzzer and its runtimes) and benchmarks.
    clang libclang-rt-14-dev llvm libbenchmark-dev
)

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
