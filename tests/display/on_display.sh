#!/bin/sh
# on_display.sh xvfb|weston COMMAND...: runs COMMAND on a display server of its
# own (a free X display, or a headless weston drawn in memory), in a folder of
# its own. Exits 77 (skipped) where the server is not installed.
server=$1
shift
dir=$(mktemp -d) || exit 1
if [ "$server" = xvfb ]; then
    command -v Xvfb >/dev/null || exit 77
    Xvfb -displayfd 3 -nolisten tcp 3>"$dir/ready" 2>"$dir/log" &
else
    command -v weston >/dev/null || exit 77
    XDG_RUNTIME_DIR="$dir" weston --backend=headless-backend.so --use-pixman --no-config --socket=wayland-0 \
        >"$dir/log" 2>&1 &
fi
pid=$!
tries=0
while [ ! -s "$dir/ready" ] && [ ! -S "$dir/wayland-0" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
if [ "$server" = xvfb ]; then
    DISPLAY=":$(cat "$dir/ready")" QT_QPA_PLATFORM=xcb "$@"
else
    # Qt's Wayland plugin and the GL driver it loads keep objects past the
    # leak check; the same test offscreen checks the project's own.
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        WAYLAND_DISPLAY="$dir/wayland-0" QT_QPA_PLATFORM=wayland "$@"
fi
status=$?
[ $status -eq 0 ] || cat "$dir/log" >&2
kill $pid
wait $pid
rm -rf "$dir"
exit $status
