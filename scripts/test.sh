#!/usr/bin/env bash
# Installs what is missing, builds Ravodor and runs every test without the
# right to set the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
# CI has twenty minutes: each step's share is said at the end.
shares=()
step() {
    local name=$1 start=$SECONDS
    shift
    "$@"
    shares+=("$name $((SECONDS - start)) s")
}
trap 'printf "test.sh:"; printf " %s," "${shares[@]}"; echo " $SECONDS s in all"' EXIT

step deps bash scripts/install-deps.sh test

# The benchmarks are built too, never run, so that they cannot rot unseen
# (docs/benchmarks.md). clang, a few sources to a compiler run (a unity
# build): 40% of gcc's time one by one. gcc builds the program one source at a
# time in the package step, which so also checks that each has its includes.
CC=${CC:-clang} CXX=${CXX:-clang++} \
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_UNITY_BUILD=ON -DRAVODOR_BENCH=ON
step build cmake --build build

# As root the tests could move this machine's clock: drop that right first.
drop=()
if [ "$(id -u)" -eq 0 ]; then
    drop=(setpriv --inh-caps=-sys_time --bounding-set=-sys_time)
fi
# A test that hangs fails after five minutes instead of holding CI.
step tests "${drop[@]}" ctest --test-dir build --output-on-failure -j2 --timeout 300
# A short pass of the kill-point sweep (docs/robustness.md): under a minute,
# 6 of its 16 runs with a second user.
step sweep bash scripts/sweep.sh 10
step sweep-2 bash scripts/sweep.sh 6 $(( (RANDOM << 15) | RANDOM )) 2

# The Debian package, built and checked from outside; never installed.
step package "${drop[@]}" bash scripts/test-package.sh

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer, and a
# short pass of each fuzz target (docs/robustness.md).
step sanitizers bash scripts/test-sanitizers.sh
step fuzz bash scripts/fuzz.sh 10

# The Windows platform layer: cross-built with mingw-w64, tested under Wine.
step windows bash scripts/test-windows.sh
