#!/bin/sh
# Runs a command on an X server of its own, on a free display, with no
# authorisation file to make. Exits 77 (skipped) without Xvfb.
command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; exit 77; }
dir=$(mktemp -d) || exit 1
Xvfb -displayfd 3 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
tries=0
while [ ! -s "$dir/display" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
DISPLAY=":$(cat "$dir/display")" QT_QPA_PLATFORM=xcb "$@"
status=$?
[ $status -eq 0 ] || cat "$dir/xvfb.log" >&2
kill "$xvfb" 2>/dev/null
wait "$xvfb"
rm -rf "$dir"
exit $status
