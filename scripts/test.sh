#!/usr/bin/env bash
# Installs what is missing, builds Ravodor and runs every test without the
# right to set the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
# CI has twenty minutes: each step's share is said at the end.
trap 'echo "test.sh: $SECONDS s in all"' EXIT

bash scripts/install-deps.sh test

# The benchmarks are built too, never run, so that they cannot rot unseen
# (docs/benchmarks.md): some twenty seconds on two cores.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRAVODOR_BENCH=ON
cmake --build build

# As root the tests could move this machine's clock: drop that right first.
drop=()
if [ "$(id -u)" -eq 0 ]; then
    drop=(setpriv --inh-caps=-sys_time --bounding-set=-sys_time)
fi
# A test that hangs fails after five minutes instead of holding CI.
"${drop[@]}" ctest --test-dir build --output-on-failure -j2 --timeout 300
# A short pass of the kill-point sweep (docs/robustness.md): under a minute,
# 6 of its 16 runs with a second user.
bash scripts/sweep.sh 10
bash scripts/sweep.sh 6 $(( (RANDOM << 15) | RANDOM )) 2

# The Debian package, built and checked from outside; never installed.
"${drop[@]}" bash scripts/test-package.sh

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer, and a
# short pass of each fuzz target (docs/robustness.md).
bash scripts/test-sanitizers.sh
bash scripts/fuzz.sh 10

# The Windows platform layer: cross-built with mingw-w64, tested under Wine.
bash scripts/test-windows.sh
