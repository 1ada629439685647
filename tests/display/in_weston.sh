#!/bin/sh
# Runs a command as a client of a weston of its own: headless, drawn in
# memory, in a runtime folder of its own. Exits 77 (skipped) without weston.
command -v weston >/dev/null || { echo "weston is not installed" >&2; exit 77; }
dir=$(mktemp -d) || exit 1
export XDG_RUNTIME_DIR="$dir" WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland
weston --backend=headless-backend.so --use-pixman --no-config --idle-time=0 \
    --socket="$WAYLAND_DISPLAY" >"$dir/weston.log" 2>&1 &
weston=$!
tries=0
while [ ! -S "$dir/$WAYLAND_DISPLAY" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
"$@"
status=$?
[ $status -eq 0 ] || cat "$dir/weston.log" >&2
kill "$weston" 2>/dev/null
wait "$weston"
rm -rf "$dir"
exit $status
