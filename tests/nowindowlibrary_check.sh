#!/bin/sh
# The command line's runs load no window library, and --only no D-Bus one:
# what the loader reports (LD_DEBUG=libs) for each run, and for --at's own
# part the libraries it needs. Nothing here may move a clock: the runs are
# --only, --help, --version and refusals, on the fake clock that refuses
# every set, and ctest drops the right to set the real one.
#   nowindowlibrary_check.sh PROGRAM PARTS_FOLDER FAKECLOCK_SO
set -u
program=$1 parts=$2 fakeclock=$3
window='libQt6Widgets|libQt6Gui|libX|libxcb|libwayland|libGL|libEGL|libOpenGL|libxkbcommon'
dbus='libsystemd|libQt6DBus|libdbus'
home=$(mktemp -d) && trap 'rm -rf "$home"' EXIT
failed=0

# loaded FORBIDDEN ARG...: the run's libraries hold none of FORBIDDEN.
loaded() {
    forbidden=$1 && shift
    found=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" XDG_DATA_HOME="$home" \
        LD_PRELOAD="$fakeclock" FAKECLOCK_STATE="$home/clock" FAKECLOCK_DENY=1 LD_DEBUG=libs \
        "$program" "$@" 2>&1 </dev/null | sed -n 's/.*find library=\([^ ;]*\).*/\1/p' | sort -u)
    # The row fails too when nothing was reported at all.
    if [ -z "$found" ] || echo "$found" | grep -Eq "$forbidden"; then
        echo "FAIL: ravodor $*: $(echo "$found" | grep -E "$forbidden" | tr '\n' ' ')"
        failed=1
    fi
}

loaded "$window|$dbus" --at 2030-01-01 --only -- /bin/true
loaded "$window|$dbus" --at 2030-01-01T12:00:30 --only /bin/true
loaded "$window|$dbus" --at 2030-02-30 --only -- /bin/true
loaded "$window|$dbus" --at 2030-01-01 --only -- no-such-command-here
loaded "$window|$dbus" --at 01/02/2030 --only -- /bin/true
loaded "$window|$dbus" --only --bisect 2030-01-01..2030-01-03 -- /bin/true
loaded "$window|$dbus" --at 2030-01-01 --only --make-launcher -- /bin/true
loaded "$window" --help
loaded "$window" --version
loaded "$window" --bogus
loaded "$window" --at 2030-01-01
loaded "$window" --at 2030-01-01T12:00 -- /bin/true
loaded "$window"

# A server's install: the command line's package without the window's. The
# program and its parts copied as installed, the window's library left out.
server=$home/server/usr
rel=$(realpath --relative-to="$(dirname "$program")" "$parts")
mkdir -p "$server/bin" "$server/bin/$rel"
cp "$program" "$server/bin/ravodor"
cp "$parts/libravodor-commandline.so" "$parts/libravodor-at.so" "$server/bin/$rel/"
run_server() {
    env HOME="$home" LD_PRELOAD="$fakeclock" FAKECLOCK_STATE="$home/clock" FAKECLOCK_DENY=1 "$@" \
        >"$home/out" 2>&1 </dev/null
    echo $?
}
missing="install the package ravodor"
for start in "DISPLAY=:99 $server/bin/ravodor" "$server/bin/ravodor --date 2030-01-01 -platform offscreen"; do
    # shellcheck disable=SC2086
    status=$(run_server $start)
    if [ "$status" != 69 ] || ! grep -q "$missing" "$home/out"; then
        echo "FAIL: without the window's package, $start: $status $(cat "$home/out")"
        failed=1
    fi
done
for arguments in "--help" "--at 2030-01-01 --only -- /bin/true" \
    "--only --bisect 2030-01-01..2030-01-02 -- /bin/false"; do
    # shellcheck disable=SC2086
    status=$(run_server "$server/bin/ravodor" $arguments)
    if [ "$status" = 69 ] || grep -q "$missing" "$home/out"; then
        echo "FAIL: without the window's package, ravodor $arguments: $(cat "$home/out")"
        failed=1
    fi
done

# --at without --only sets the clock: its part is read, not run.
if ldd "$parts/libravodor-at.so" | grep -Eq "$window"; then
    echo "FAIL: --at's part needs a window library"
    failed=1
fi
exit $failed
