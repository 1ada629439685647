#!/bin/sh
# The package's polkit rule loaded into Debian's own polkitd (its JavaScript
# rules engine) on a system bus of this test's, in a mount namespace of its
# own: a member of the group ravodor pauses time sync through the guard with
# no agent and no password, anyone else is still asked. The stand-in
# timedated asks polkit as timedated does; no clock is reached.
#   polkitrule_check.sh RULE GUARD TEMPLATE
set -eu
rule=$1 guard=$2 template=$3
polkitd=/usr/lib/polkit-1/polkitd
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "a mount namespace of its own needs root"
for tool in "$polkitd" dbus-daemon unshare setpriv; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
/usr/bin/python3 -c 'import dbusmock' 2>/dev/null || skip "python3-dbusmock is not installed"
getent passwd polkitd >/dev/null || skip "no user polkitd"

if [ -z "${RAVODOR_POLKIT_INSIDE:-}" ]; then
    exec setpriv --inh-caps=-sys_time --bounding-set=-sys_time \
        unshare --mount --propagation private env RAVODOR_POLKIT_INSIDE=1 sh "$0" "$@"
fi

work=$(mktemp -d)
pids=
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; umount -l "$work" 2>/dev/null; rmdir "$work"' EXIT
mount -t tmpfs ravodor-polkit "$work"
chmod 755 "$work"

# Two users and the group, in this namespace only.
cp /etc/passwd /etc/group "$work/"
echo "ravodor-member:x:64101:64101::/nonexistent:/usr/sbin/nologin" >>"$work/passwd"
echo "ravodor-other:x:64102:64102::/nonexistent:/usr/sbin/nologin" >>"$work/passwd"
sed -i '/^ravodor:/d' "$work/group"
echo "ravodor:x:64100:ravodor-member" >>"$work/group"
mount --bind "$work/passwd" /etc/passwd
mount --bind "$work/group" /etc/group

# The rule as postinst puts it: a link in /etc/polkit-1/rules.d, alone there.
mkdir -p "$work/share" "$work/rules.d" /etc/polkit-1/rules.d
cp "$rule" "$work/share/60-ravodor.rules"
ln -s "$work/share/60-ravodor.rules" "$work/rules.d/60-ravodor.rules"
mount --bind "$work/rules.d" /etc/polkit-1/rules.d

cat >"$work/bus.conf" <<CONF
<busconfig><listen>unix:path=$work/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow eavesdrop="true"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile >"$work/bus.log" 2>&1 &
pids="$pids $!"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus"
# Python and the daemons start in well under a second; a loaded machine may take several.
wait_for() {
    /usr/bin/python3 - "$1" <<'PY' || { echo "FAIL: $1 did not start"; cat "$work"/*.log; exit 1; }
import dbus, sys, time
bus = dbus.SystemBus()
deadline = time.monotonic() + 30
while not bus.name_has_owner(sys.argv[1]):
    if time.monotonic() > deadline:
        sys.exit(1)
    time.sleep(0.05)
PY
}
until [ -S "$work/bus" ]; do sleep 0.05; done
# It leaves root for its own user by itself.
"$polkitd" --no-debug >"$work/polkitd.log" 2>&1 &
pids="$pids $!"
wait_for org.freedesktop.PolicyKit1
/usr/bin/python3 -m dbusmock --system --template "$template" >"$work/timedated.log" 2>&1 &
pids="$pids $!"
wait_for org.freedesktop.timedate1

# The guard as each user, without a right of its own, asked to pause sync without a prompt.
status=0
for row in "64101|0 " "64102|70 1 interactive authorisation required"; do
    user=${row%%|*} expected=${row#*|}
    answer=$(echo "sync-off 0" | setpriv --reuid="$user" --regid="$user" --init-groups \
        --inh-caps=-all --bounding-set=-all "$guard" | head -n 1)
    case $answer in
        "$expected"*) echo "ok: $(id -nu "$user"): $answer" ;;
        *) echo "FAIL: $(id -nu "$user"): $answer (expected $expected)"; status=1 ;;
    esac
done
[ $status = 0 ] || cat "$work/polkitd.log" "$work/timedated.log"
exit $status
