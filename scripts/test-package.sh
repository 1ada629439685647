#!/usr/bin/env bash
# Builds the Debian packages (or takes the two named: ravodor-cli's, then
# ravodor's) and checks them from the outside: their files, modes
# and owners, its control fields, lintian, the desktop entry and the metainfo
# inside it; its maintainer scripts run with the real tools only in a mount
# namespace of their own (test-maintscripts.sh), never on this machine's
# tree: on yes they hand out the right to set the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
# Where a compiler cache is at hand, the package's build uses it too.
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
# The .debs already built can be named instead: only the checks run.
deb=${1:-} window_deb=${2:-}
if [ -z "$deb" ]; then
    built_debs=$(bash scripts/package.sh | tail -n 2)
    deb=$(echo "$built_debs" | head -n 1) window_deb=$(echo "$built_debs" | tail -n 1)
fi
built=$SECONDS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

guard=/usr/libexec/ravodor/ravodor-guard
parts=/usr/lib/$(dpkg-architecture -q DEB_HOST_MULTIARCH)/ravodor
{ dpkg-deb -c "$deb"; dpkg-deb -c "$window_deb"; } | tee "$work/contents"
dpkg-deb -c "$window_deb" >"$work/window-contents"
# Each file the packages must hold, with its mode and owner; the window's are ravodor's.
while read -r mode path; do
    grep -qE "^$mode root/root .* \\.$path\$" "$work/contents" || fail "$path is not there as $mode root/root"
done <<LIST
-rwxr-xr-x /usr/bin/ravodor
-rwxr-xr-x $guard
-rw-r--r-- $parts/libravodor-commandline.so
-rw-r--r-- $parts/libravodor-at.so
-rw-r--r-- $parts/libravodor-window.so
-rw-r--r-- /usr/share/applications/org.example.ravodor.desktop
-rw-r--r-- /usr/share/metainfo/org.example.ravodor.metainfo.xml
-rw-r--r-- /usr/share/icons/hicolor/scalable/apps/ravodor.svg
-rw-r--r-- /usr/share/icons/hicolor/16x16/apps/ravodor.png
-rw-r--r-- /usr/share/icons/hicolor/256x256/apps/ravodor.png
-rw-r--r-- /usr/share/man/man1/ravodor.1.gz
-rw-r--r-- /usr/share/bash-completion/completions/ravodor
-rw-r--r-- /usr/share/doc/ravodor-cli/copyright
-rw-r--r-- /usr/share/doc/ravodor/copyright
-rw-r--r-- /usr/share/ravodor/polkit/60-ravodor.rules
-rw-r--r-- /usr/lib/tmpfiles.d/ravodor.conf
LIST
grep -E '/usr/bin/|libexec|libravodor-(commandline|at)|polkit|man1|completions' "$work/window-contents" \
    && fail "the window's package holds the command line's files"
grep -E 'libravodor-window|applications/|metainfo/|icons/' <(dpkg-deb -c "$deb") \
    && fail "ravodor-cli holds the window's files"
# The right comes from postinst alone: nothing is shipped setuid, setgid or for a group.
awk '$1 ~ /[sS]/ || $2 != "root/root"' "$work/contents" | grep . && fail "a file is shipped with a right or a group"

field() { dpkg-deb -f "${2:-$deb}" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" = "ravodor-cli 2.1.0 amd64" ] \
    || fail "not ravodor-cli 2.1.0 amd64"
[ "$(field Package "$window_deb") $(field Version "$window_deb")" = "ravodor 2.1.0" ] || fail "not ravodor 2.1.0"
[ "$(field Recommends)" = "libfaketime, polkitd" ] || fail "Recommends: $(field Recommends)"
for dep in 'libc6 ' 'libqt6core6 ' 'libsystemd0 ' adduser debconf libcap2-bin; do
    field Depends | grep -q "$dep" || fail "Depends lacks $dep: $(field Depends)"
done
# Files that came with the single package of 2.0.7 move to ravodor-cli.
for relation in Breaks Replaces; do
    [ "$(field $relation)" = "ravodor (<< 2.1.0)" ] || fail "$relation: $(field $relation)"
done
field Depends "$window_deb" | grep -q 'ravodor-cli (= 2.1.0)' || fail "ravodor does not depend on ravodor-cli (= 2.1.0)"
field Depends "$window_deb" | grep -q 'libqt6widgets6 ' || fail "ravodor lacks libqt6widgets6"
[ "$(field Recommends "$window_deb")" = "qt6-wayland" ] || fail "ravodor Recommends: $(field Recommends "$window_deb")"
# A server installs the command line without a window library: neither in
# its own relations nor in theirs, as the archive here has them.
window_libraries='^(libqt6(gui|widgets|dbus|opengl|xcbqpa)6|libx11-|libxcb|libwayland|libgl1|libegl1|libopengl0'
window_libraries+='|libxkbcommon|libfontconfig)'
relations=$(field Depends; field Pre-Depends; field Recommends)
names=$(echo "$relations" | tr ',|' '\n\n' | sed 's/(.*//; s/ //g' | grep .)
grep -E "$window_libraries" <<<"$names" && fail "ravodor-cli's relations hold a window library"
# shellcheck disable=SC2086
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances $(grep -v -e '^debconf$' -e '^libfaketime$' -e '^polkitd$' <<<"$names") 2>/dev/null \
    | sed -n 's/^ *\(Pre\)\{0,1\}Depends: <\{0,1\}\([^>:]*\).*/\2/p' | sort -u >"$work/closure"
[ -s "$work/closure" ] || fail "apt-cache gave no dependencies of ravodor-cli"
grep -E "$window_libraries" "$work/closure" && fail "installing ravodor-cli pulls in a window library"

# The installed paths the program, its parts and the helper were built with.
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -x "$window_deb" "$work/root"
grep -qa "$guard" "$work/root$parts/libravodor-at.so" || fail "--at does not look for $guard"
grep -qa /usr/bin/ravodor "$work/root$parts/libravodor-at.so" || fail "--at does not know the program as /usr/bin/ravodor"
grep -qa "../lib/$(dpkg-architecture -q DEB_HOST_MULTIARCH)/ravodor" "$work/root/usr/bin/ravodor" \
    || fail "ravodor does not look for its parts in $parts"
grep -qa "$guard" "$work/root$guard" || fail "the helper does not know itself as $guard"

dpkg-deb -e "$deb" "$work/control"
for script in config postinst postrm; do
    sh -n "$work/control/$script" || fail "$script is not valid sh"
done
grep -q '^Default: false$' "$work/control/templates" || fail "the question's default is not no"
grep -qF "Description: Let members of the group ravodor change the date?" \
    "$work/control/templates" || fail "the question is worded otherwise"
# Only the yes branch (give_right) adds an override or a capability.
awk '/^give_right\(\) \{/ { yes = 1 } /^\}/ { yes = 0 }
     /dpkg-statoverride --update --add|setcap cap_sys_time/ { print (yes ? "yes: " : "elsewhere: ") $0 }' \
    "$work/control/postinst" >"$work/rights"
[ "$(grep -c '^yes: ' "$work/rights")" = 2 ] || fail "the yes branch does not add the override and the capability"
grep '^elsewhere: ' "$work/rights" && fail "the right is given outside the yes branch"
grep -qE 'chmod [0-7]*[4-7][0-7]{3}|chmod [a-z,]*[+=][a-z]*s' "$work/control/postinst" && fail "postinst sets a setuid bit"

# The maintainer scripts with the real tools, in a mount namespace of their own.
bash scripts/test-maintscripts.sh "$deb" "$window_deb" || fail "the maintainer scripts"

# Lintian's root warning is not about the package.
# The .changes holds both packages and the source.
changes=$(ls "${deb%/*}"/ravodor_*.changes) || fail "no .changes beside $deb"
lintian --allow-root --display-info $changes 2>&1 | tee "$work/lintian" || true
grep -E '^[EW]: ' "$work/lintian" && fail "lintian has errors or warnings"

desktop-file-validate "$work/root/usr/share/applications/org.example.ravodor.desktop" | tee "$work/desktop"
grep -q . "$work/desktop" && fail "the desktop entry is not clean"
appstreamcli validate --pedantic --strict --no-net "$work/root/usr/share/metainfo/org.example.ravodor.metainfo.xml" \
    || fail "the metainfo is not valid"

echo "package test: built in $((built - start)) s, checked in $((SECONDS - built)) s"
exit $status
