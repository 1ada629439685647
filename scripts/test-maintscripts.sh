#!/usr/bin/env bash
# The package installed for real, with dpkg, debconf, addgroup,
# dpkg-statoverride and setcap, in a mount namespace of its own whose /etc,
# /var and /usr are overlays over this machine's: nothing it does reaches
# this machine's tree, and the capability lands on the overlay's copy of
# the helper, which is never run. As root, without CAP_SYS_TIME.
#   test-maintscripts.sh CLI_DEB WINDOW_DEB (ravodor-cli's, ravodor's)
set -euo pipefail
deb=$(realpath "$1")
window_deb=$(realpath "$2")
guard=/usr/libexec/ravodor/ravodor-guard
rule=/etc/polkit-1/rules.d/60-ravodor.rules
mark=/var/lib/ravodor/statoverride

if [ -z "${RAVODOR_MAINT_INSIDE:-}" ]; then
    [ "$(id -u)" = 0 ] || { echo "maintainer scripts: skipped, a mount namespace of its own needs root"; exit 0; }
    start=$SECONDS
    status=0
    setpriv --inh-caps=-sys_time --bounding-set=-sys_time \
        unshare --mount --propagation private env RAVODOR_MAINT_INSIDE=1 bash "$0" "$deb" "$window_deb" || status=$?
    # Nothing of it is left on this machine.
    for left in "$guard" /usr/share/ravodor "$mark" "$rule"; do
        [ ! -e "$left" ] || { echo "FAIL: $left is on this machine"; status=1; }
    done
    if dpkg-query -W ravodor ravodor-cli >/dev/null 2>&1; then
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

answer() { echo "ravodor-cli ravodor/members-change-date boolean $1" | debconf-set-selections; }
# Triggers (icon caches, menus) are not the package's: left pending, they cost no time.
install() { answer "$1"; dpkg -i --force-depends --no-triggers "$deb" >"$work/out" 2>&1 || fail "dpkg -i: $(tail -n 3 "$work/out")"; }
reconfigure() { answer "$1"; dpkg-reconfigure ravodor-cli >"$work/out" 2>&1 || fail "reconfigure: $(tail -n 3 "$work/out")"; }

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
dpkg -r --no-triggers ravodor-cli >/dev/null 2>&1 || fail "remove"
[ -z "$(dpkg-statoverride --list "$guard")" ] || fail "remove left the override"
[ ! -e "$rule" ] || fail "remove left the polkit rule"
delgroup --quiet ravodor || fail "delgroup"
dpkg --configure -a >"$work/out" 2>&1 || fail "dpkg after delgroup: $(cat "$work/out")"
install true
expect "installed again" "$yes"

# Purged: the override, the rule, the mark and the answer go; the group stays.
dpkg -P --no-triggers ravodor-cli >/dev/null 2>&1 || fail "purge"
[ -z "$(dpkg-statoverride --list "$guard")" ] || fail "purge left the override"
[ ! -e "$rule" ] && [ ! -e /var/lib/ravodor ] || fail "purge left the rule or /var/lib/ravodor"
[ -z "$(debconf-show ravodor-cli 2>/dev/null)" ] || fail "purge left the answer"
getent group ravodor >/dev/null || fail "purge deleted the group"

# Each package installed and purged alone, the window's with what it needs:
# purging the window leaves the command line as it was, and purging that
# leaves none of their files.
install true
dpkg -i --no-triggers "$window_deb" >"$work/out" 2>&1 || fail "dpkg -i the window: $(tail -n 3 "$work/out")"
dpkg -P --no-triggers ravodor >/dev/null 2>&1 || fail "purge the window"
expect "the window purged" "$yes"
dpkg -L ravodor >/dev/null 2>&1 && fail "the window's package is still known"
dpkg -P --no-triggers ravodor-cli >/dev/null 2>&1 || fail "purge the command line"
for left in /usr/bin/ravodor /usr/lib/*/ravodor /usr/share/ravodor /usr/share/applications/org.example.ravodor.desktop; do
    [ ! -e "$left" ] || fail "purged, $left is left"
done

# From 2.0.7, one package that asked the question itself and added its
# override without the mark, to the two: the answer stays, the override is
# adopted as the package's own, and purging them takes the answer away.
old=$work/old
dpkg-deb -R "$deb" "$old"
dpkg-deb -x "$window_deb" "$old"
sed -i -e 's/^Package: .*/Package: ravodor/' -e 's/^Version: .*/Version: 2.0.7/' -e '/^Breaks:/d' -e '/^Replaces:/d' \
    "$old/DEBIAN/control"
dpkg-deb -b "$old" "$work/ravodor_2.0.7.deb" >/dev/null
echo "ravodor ravodor/members-change-date boolean true" | debconf-set-selections
dpkg -i --force-depends --no-triggers "$work/ravodor_2.0.7.deb" >"$work/out" 2>&1 \
    || fail "2.0.7: $(tail -n 3 "$work/out")"
rm -f "$mark"
# As apt asks it: ravodor 2.0.7 is deconfigured while ravodor-cli comes in.
dpkg -i --auto-deconfigure --no-triggers "$deb" "$window_deb" >"$work/out" 2>&1 \
    || fail "upgrade from 2.0.7: $(cat "$work/out")"
expect "upgraded from 2.0.7" "$yes"
grep -qF "an administrator's dpkg-statoverride decides" "$work/out" \
    && fail "upgraded from 2.0.7: the override is called an administrator's"
[ "$(dpkg-query -W -f='${Version}' ravodor)" = 2.1.0 ] || fail "upgraded from 2.0.7: ravodor is not 2.1.0"
debconf-show ravodor-cli | grep -q 'members-change-date: true' || fail "upgraded from 2.0.7: the answer is lost"
dpkg -P --no-triggers ravodor ravodor-cli >/dev/null 2>&1 || fail "purge after the upgrade"
[ -z "$(debconf-show ravodor-cli 2>/dev/null)$(debconf-show ravodor 2>/dev/null)" ] \
    || fail "purged after the upgrade, the answer is left"
[ -z "$(dpkg-statoverride --list "$guard")" ] || fail "purged after the upgrade, the override is left"

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
    dpkg -P --no-triggers ravodor-cli >/dev/null 2>&1
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
