#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a
# bounded time without the right to set the clock.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      build, then run (default 30 s each)
#   scripts/fuzz.sh --run-only BUILD_DIR SECONDS [TARGET...]   (the `fuzz` target)
#
# Each target starts from its seed corpus in fuzz/corpus/<target>; what it
# adds goes to BUILD_DIR/corpus/<target>, crashes to BUILD_DIR/findings/<target>.
# Exits non-zero when a target finds something. Reproduce a finding with
#   setpriv --inh-caps=-sys_time --bounding-set=-sys_time BUILD_DIR/fuzz/fuzz_<target> FILE
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build-fuzz
run_only=0
if [ "${1:-}" = "--run-only" ]; then
    run_only=1
    build=$2
    shift 2
fi
seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(datetext presetline presetsfile registry restorerecord guardprotocol)

if [ "$run_only" -eq 0 ]; then
    bash scripts/install-deps.sh
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DRAVODOR_FUZZ=ON -DRAVODOR_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target fuzz_targets -- -j2
fi

# As root the targets could move this machine's clock: drop that right first.
drop=()
if [ "$(id -u)" -eq 0 ]; then
    drop=(setpriv --inh-caps=-sys_time --bounding-set=-sys_time)
fi

# Per target: libFuzzer options that fit its input.
options() {
    case $1 in
    datetext) echo "-max_len=300" ;;
    presetline) echo "-max_len=512" ;;
    presetsfile) echo "-max_len=8192" ;;
    registry) echo "-max_len=4096" ;;
    restorerecord) echo "-max_len=1024" ;;
    guardprotocol) echo "-max_len=600" ;;
    esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

# One target; its exit status goes to findings/<target>.status.
run_target() {
    local t=$1 status=0
    local corpus="$build/corpus/$t" findings="$build/findings/$t"
    mkdir -p "$corpus" "$findings"
    # shellcheck disable=SC2046
    "${drop[@]}" "$build/fuzz/fuzz_$t" $(options "$t") -max_total_time="$seconds" \
        -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "$root/fuzz/corpus/$t" \
        >"$build/findings/$t.log" 2>&1 || status=$?
    echo "$status" >"$build/findings/$t.status"
}

# As many targets at once as there are cores.
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$build/findings"
for t in "${targets[@]}"; do
    rm -f "$build/findings/$t.status"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    run_target "$t" &
done
wait

passed=0
failed=0
for t in "${targets[@]}"; do
    log="$build/findings/$t.log"
    if [ "$(cat "$build/findings/$t.status" 2>/dev/null)" = 0 ]; then
        passed=$((passed + 1))
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        echo "$t: ${runs:-?} executions in ${seconds} s, no finding"
    else
        failed=$((failed + 1))
        echo "$t: FINDING, see $log and $build/findings/$t/"
        tail -n 40 "$log" >&2
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
