#!/usr/bin/env bash
# Runs every benchmark of a bench build, as root without the right to set the
# clock. Used by the `bench` target; extra arguments go to bench_startup.
#   bench/run.sh BUILD_DIR/bench [--runs N] [--program PATH]
set -euo pipefail
dir=$1
shift
drop=()
if [ "$(id -u)" -eq 0 ]; then
    drop=(setpriv --inh-caps=-sys_time --bounding-set=-sys_time)
fi
echo "date before: $(date -u '+%F %T')"
"${drop[@]}" "$dir/bench_startup" "$@"
echo
# And on a display, the way a user starts it, where Xvfb is at hand.
if command -v xvfb-run >/dev/null; then
    "${drop[@]}" xvfb-run -a -s "-screen 0 1024x768x24" "$dir/bench_startup" --platform xcb "$@"
    echo
fi
"${drop[@]}" "$dir/bench_cli"
echo
"${drop[@]}" "$dir/bench_set" --benchmark_min_time=1
echo
"${drop[@]}" "$dir/bench_presets"
echo
"${drop[@]}" "$dir/bench_timeservice"
echo "date after:  $(date -u '+%F %T')"
