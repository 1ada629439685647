#!/usr/bin/env bash
# The kill-point sweep: RUNS times (20), the program is taken into an altered
# date and it, its guard, both or its process group are killed with SIGKILL
# at a random moment; the next start must leave the real date, sync on, no
# restore record, and no set but the guard's (docs/robustness.md).
#
#   scripts/sweep.sh [RUNS] [SEED] [USERS]      SEED: of the first run (random); run i has SEED+i
#                                               USERS 2: a second user's change interleaves
#
# Uses the build in build/ (BUILD_DIR to change) and builds what it needs.
# Everything runs on the fake clock, without the right to set the real one,
# against a stand-in timedated on a private system bus.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-20}
seed=${2:-$(( (RANDOM << 15) | RANDOM ))}
users=${3:-1}
build=${BUILD_DIR:-build}
case $runs$seed$users in
    *[!0-9]*) echo "usage: scripts/sweep.sh [RUNS] [SEED] [USERS]" >&2; exit 64 ;;
esac

# Quiet unless it fails.
if ! out=$( { [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug; } 2>&1 &&
            cmake --build "$build" --target ravodor ravodor-guard fakeclock menutrigger 2>&1); then
    echo "$out" >&2
    exit 1
fi

# Root could move this machine's clock: the right is dropped for everything below.
drop=()
if [ "$(id -u)" -eq 0 ]; then
    drop=(setpriv --inh-caps=-sys_time --bounding-set=-sys_time)
fi
exec "${drop[@]}" /usr/bin/python3 -B sweep/sweep.py "$runs" "$seed" "$(cd "$build" && pwd)" "$users"
