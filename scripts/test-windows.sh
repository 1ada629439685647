#!/usr/bin/env bash
# Cross-builds the Windows platform backends with mingw-w64 and runs their
# tests under Wine, in a throw-away Wine prefix inside the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-win

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DRAVODOR_PLATFORM_ONLY=ON -DCMAKE_UNITY_BUILD=ON
cmake --build "$build" -j2

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to fetch Mono or Gecko

# One Wine server for the whole run. Wine's own services start with it and
# live as long as it does; started by a test instead, they would keep that
# test's output pipe open and ctest waiting. No Wine output reaches a pipe.
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1 || true  # one may run already
trap '"$wineserver" -k </dev/null >/dev/null 2>&1 || true' EXIT
if [ -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot </dev/null >"$build/wineboot.log" 2>&1
else
    echo "Creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot -i </dev/null >"$build/wineboot.log" 2>&1
fi

# Wine never moves the host clock, but as root the tests could: drop that right.
drop=()
if [ "$(id -u)" -eq 0 ]; then
    drop=(setpriv --inh-caps=-sys_time --bounding-set=-sys_time)
fi

# The guard tests start processes that make Wine bring up more of its
# services on demand; brought up here, no test's output pipe is held open.
"${drop[@]}" "$wine" "$build/tests/change/guard_tests.exe" \
    </dev/null >/dev/null 2>&1 || true

"${drop[@]}" ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
