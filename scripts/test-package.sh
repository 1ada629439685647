#!/usr/bin/env bash
# Builds the Debian package (or takes the one named) and checks it from the outside: its files, modes
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
# A .deb already built can be named instead: only the checks run.
deb=${1:-}
[ -n "$deb" ] || deb=$(bash scripts/package.sh | tail -n 1)
built=$SECONDS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

guard=/usr/libexec/ravodor/ravodor-guard
dpkg-deb -c "$deb" | tee "$work/contents"
# Each file the package must hold, with its mode and owner.
while read -r mode path; do
    grep -qE "^$mode root/root .* \\.$path\$" "$work/contents" || fail "$path is not there as $mode root/root"
done <<LIST
-rwxr-xr-x /usr/bin/ravodor
-rwxr-xr-x $guard
-rw-r--r-- /usr/share/applications/org.example.ravodor.desktop
-rw-r--r-- /usr/share/metainfo/org.example.ravodor.metainfo.xml
-rw-r--r-- /usr/share/icons/hicolor/scalable/apps/ravodor.svg
-rw-r--r-- /usr/share/icons/hicolor/16x16/apps/ravodor.png
-rw-r--r-- /usr/share/icons/hicolor/256x256/apps/ravodor.png
-rw-r--r-- /usr/share/man/man1/ravodor.1.gz
-rw-r--r-- /usr/share/bash-completion/completions/ravodor
-rw-r--r-- /usr/share/doc/ravodor/copyright
-rw-r--r-- /usr/share/ravodor/polkit/60-ravodor.rules
-rw-r--r-- /usr/lib/tmpfiles.d/ravodor.conf
LIST
# The right comes from postinst alone: nothing is shipped setuid, setgid or for a group.
awk '$1 ~ /[sS]/ || $2 != "root/root"' "$work/contents" | grep . && fail "a file is shipped with a right or a group"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" = "ravodor 2.0.7 amd64" ] || fail "not ravodor 2.0.7 amd64"
[ "$(field Recommends)" = "libfaketime, polkitd" ] || fail "Recommends: $(field Recommends)"
for dep in 'libc6 ' 'libqt6widgets6 ' 'libsystemd0 ' adduser debconf libcap2-bin; do
    field Depends | grep -q "$dep" || fail "Depends lacks $dep: $(field Depends)"
done

# The installed paths the program and the helper were built with.
dpkg-deb -x "$deb" "$work/root"
grep -qa "$guard" "$work/root/usr/bin/ravodor" || fail "ravodor does not look for $guard"
grep -qa /usr/bin/ravodor "$work/root/usr/bin/ravodor" || fail "ravodor does not know itself as /usr/bin/ravodor"
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
bash scripts/test-maintscripts.sh "$deb" || fail "the maintainer scripts"

# Lintian's root warning is not about the package.
lintian --allow-root --display-info "${deb%.deb}"*.changes 2>&1 | tee "$work/lintian" || true
grep -E '^[EW]: ' "$work/lintian" && fail "lintian has errors or warnings"

desktop-file-validate "$work/root/usr/share/applications/org.example.ravodor.desktop" | tee "$work/desktop"
grep -q . "$work/desktop" && fail "the desktop entry is not clean"
appstreamcli validate --pedantic --strict --no-net "$work/root/usr/share/metainfo/org.example.ravodor.metainfo.xml" \
    || fail "the metainfo is not valid"

echo "package test: built in $((built - start)) s, checked in $((SECONDS - built)) s"
exit $status
