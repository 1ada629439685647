#!/bin/sh
# No test may give a file a real capability, so the hand-off is checked in the
# text: every setcap the install rules, the README and the manual show gives
# cap_sys_time+ep to the guard's installed path and nothing else, the guard is
# installed there, and nothing installs a setuid or setgid file.
#   capabilityhandoff_check.sh SOURCE_DIR
cd "$1" || exit 2
rules="src/CMakeLists.txt src/guard/CMakeLists.txt"
docs="README.md data/ravodor.1.in"
guard='(/usr(/local)?/libexec/ravodor/ravodor-guard|@RAVODOR_GUARD_INSTALL_PATH@|\$\{CMAKE_INSTALL_FULL_LIBEXECDIR\}/ravodor/ravodor-guard)'
status=0
fail() { echo "$*"; status=1; }

# A setcap with arguments (not "setcap (8)") names only the guard.
grep -nE 'setcap +[^ (]' $rules $docs | grep -vE "setcap cap_sys_time\+ep $guard\"?\)?\$" \
    | while read -r line; do echo "gives the right to something else: $line"; done | grep . && status=1
for f in $docs; do
    grep -qE "setcap cap_sys_time\+ep $guard\$" "$f" || fail "$f does not name the guard's path in its setcap"
done
grep -nE 'SETUID|SETGID|setfattr|security\.capability' $rules && fail "an install rule gives a right"
grep -qE 'install\(TARGETS ravodor-guard RUNTIME DESTINATION \$\{CMAKE_INSTALL_LIBEXECDIR\}/ravodor\)' src/guard/CMakeLists.txt \
    || fail "the guard is not installed under libexec/ravodor"
grep -qE "set\(RAVODOR_GUARD_INSTALL_PATH $guard\)" src/CMakeLists.txt \
    || fail "the manual's guard path is not libexec/ravodor/ravodor-guard"
exit $status
