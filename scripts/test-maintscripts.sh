#!/usr/bin/env bash
# The package installed for real, with dpkg, debconf, addgroup,
# dpkg-statoverride and setcap, in a mount namespace of its own whose /etc,
# /var and /usr are overlays over this machine's: nothing it does reaches
# this machine's tree, and the capability lands on the overlay's copy of
# the helper, which is never run. As root, without CAP_SYS_TIME.
#   test-maintscripts.sh DEB
set -euo pipefail
deb=$(realpath "$1")
guard=/usr/libexec/ravodor/ravodor-guard
rule=/etc/polkit-1/rules.d/60-ravodor.rules
mark=/var/lib/ravodor/statoverride

if [ -z "${RAVODOR_MAINT_INSIDE:-}" ]; then
    [ "$(id -u)" = 0 ] || { echo "maintainer scripts: skipped, a mount namespace of its own needs root"; exit 0; }
    start=$SECONDS
    status=0
    setpriv --inh-caps=-sys_time --bounding-set=-sys_time \
        unshare --mount --propagation private env RAVODOR_MAINT_INSIDE=1 bash "$0" "$deb" || status=$?
    # Nothing of it is left on this machine.
    for left in "$guard" /usr/share/ravodor "$mark" "$rule"; do
        [ ! -e "$left" ] || { echo "FAIL: $left is on this machine"; status=1; }
    done
    if dpkg-query -W ravodor >/dev/null 2>&1; then
        echo "FAIL: ravodor is known to this machine's dpkg"
        status=1
    fi
    echo "maintainer scripts: $((SECONDS - start)) s"
    exit $status
fi

work=$(mktemp -d)
mount -t tmpfs ravodor-maint "$work"
for tree in etc var usr; do
    mkdir -p "$work/$tree.upper" "$work/$tree.work"
    mount -t overlay "ravodor-$tree" -o "lowerdir=/$tree,upperdir=$work/$tree.upper,workdir=$work/$tree.work" "/$tree"
done
# Where systemd runs, postinst makes the machine's hold on the clock in /run/lock: in a tmpfs of its own here.
mount -t tmpfs ravodor-lock /run/lock
export DEBIAN_FRONTEND=noninteractive
echo "man-db man-db/auto-update boolean false" | debconf-set-selections
status=0
fail() { echo "FAIL: $*"; status=1; }

answer() { echo "ravodor ravodor/members-change-date boolean $1" | debconf-set-selections; }
# Triggers (icon caches, menus) are not the package's: left pending, they cost no time.
install() { answer "$1"; dpkg -i --force-depends --no-triggers "$deb" >"$work/out" 2>&1 || fail "dpkg -i: $(tail -n 3 "$work/out")"; }
reconfigure() { answer "$1"; dpkg-reconfigure ravodor >"$work/out" 2>&1 || fail "reconfigure: $(tail -n 3 "$work/out")"; }

# What the helper and its surroundings are: owner, mode, capability, override, rule, mark.
state() {
    local caps
    caps=$(getcap "$guard" 2>/dev/null | sed 's/.* //')
    echo "$(stat -c '%U:%G %a' "$guard") caps=${caps:-none}" \
        "override=$(dpkg-statoverride --list "$guard" | cut -d' ' -f1-3 | tr ' ' :)" \
        "rule=$(readlink "$rule" || echo none) mark=$([ -f "$mark" ] && echo yes || echo no)"
}
yes="root:ravodor 754 caps=cap_sys_time=ep override=root:ravodor:754 rule=/usr/share/ravodor/polkit/60-ravodor.rules mark=yes"
no="root:root 755 caps=none override= rule=none mark=no"
expect() {
    local got
    got=$(state)
    [ "$got" = "$2" ] || fail "$1: $got"
}

# yes, no, and back.
install true
expect "yes" "$yes"
hold=$(stat -c '%U:%G %a' /run/lock/ravodor-clock 2>&1) || true
[ "$hold" = "root:root 666" ] || fail "the machine's hold on the clock: $hold"
getent group ravodor >/dev/null || fail "yes: no group ravodor"
reconfigure false
expect "yes then no" "$no"
reconfigure true
expect "yes, no, yes" "$yes"
# An upgrade keeps the right.
install true
expect "reinstalled" "$yes"

# Removed, then the group deleted: no later dpkg run may fail.
dpkg -r --no-triggers ravodor >/dev/null 2>&1 || fail "remove"
[ -z "$(dpkg-statoverride --list "$guard")" ] || fail "remove left the override"
[ ! -e "$rule" ] || fail "remove left the polkit rule"
delgroup --quiet ravodor || fail "delgroup"
dpkg --configure -a >"$work/out" 2>&1 || fail "dpkg after delgroup: $(cat "$work/out")"
install true
expect "installed again" "$yes"

# Purged: the override, the rule, the mark and the answer go; the group stays.
dpkg -P --no-triggers ravodor >/dev/null 2>&1 || fail "purge"
[ -z "$(dpkg-statoverride --list "$guard")" ] || fail "purge left the override"
[ ! -e "$rule" ] && [ ! -e /var/lib/ravodor ] || fail "purge left the rule or /var/lib/ravodor"
[ -z "$(debconf-show ravodor 2>/dev/null)" ] || fail "purge left the answer"
getent group ravodor >/dev/null || fail "purge deleted the group"

# An administrator's override decides, whatever the answer, an identical one included.
for kind in "root root 0755" "root adm 0750" "root ravodor 0754"; do
    read -r owner group mode <<<"$kind"
    dpkg-statoverride --add "$owner" "$group" "$mode" "$guard"
    admin="$owner:$group ${mode#0} caps=none override=$owner:$group:${mode#0}"
    for yes_or_no in true false; do
        if [ $yes_or_no = true ]; then install true; else reconfigure false; fi
        got=$(state)
        [ "${got% rule=*}" = "$admin" ] || fail "an override $kind, answer $yes_or_no: $got"
        grep -qF "an administrator's dpkg-statoverride decides" "$work/out" || fail "$kind: not said"
        note=$(sed -n '/^Name: ravodor\/admin-override$/,/^$/p' /var/cache/debconf/config.dat)
        grep -qF "$owner $group ${mode#0} $guard" <<<"$note" || fail "$kind: the note does not list the override: $note"
    done
    dpkg -P --no-triggers ravodor >/dev/null 2>&1
    [ "$(dpkg-statoverride --list "$guard")" = "$owner $group ${mode#0} $guard" ] || fail "$kind: purge took it"
    dpkg-statoverride --remove "$guard"
done

# setcap gone (installed with its dependency forced away): yes is said to
# have failed, in setcap's own words, and leaves no half-given right.
rm -f /usr/sbin/setcap /sbin/setcap
install true
expect "no setcap" "$no"
grep -qF "The helper could not be given the right to set the clock" "$work/out" || fail "no setcap: no error shown"
grep -qF "setcap: not found" "$work/out" || fail "no setcap: setcap's words not shown: $(cat "$work/out")"

exit $status
