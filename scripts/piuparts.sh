#!/usr/bin/env bash
# Debian's piuparts on the two packages in a Debian 12 (bookworm) chroot:
# ravodor-cli alone, then with ravodor, each installed and purged with the
# question at its default (no) and answered yes, without and with Recommends.
# Run by hand, not by CI: it needs root, the network and several minutes.
#
#   scripts/piuparts.sh [CLI_DEB WINDOW_DEB]    (builds them when not named)
#
# The base tarball, chroots and logs live in RAVODOR_PIUPARTS_DIR
# (build-piuparts/): a second run skips debootstrap.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
dir=$(realpath -m "${RAVODOR_PIUPARTS_DIR:-$top/build-piuparts}")
dist=bookworm
start=$SECONDS

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if ! command -v piuparts >/dev/null || ! command -v debootstrap >/dev/null; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y piuparts debootstrap
fi

deb=${1:-} window_deb=${2:-}
if [ -z "$deb" ]; then
    if command -v ccache >/dev/null; then
        export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
    fi
    built_debs=$(bash scripts/package.sh | tail -n 2)
    deb=$(echo "$built_debs" | head -n 1) window_deb=$(echo "$built_debs" | tail -n 1)
fi
deb=$(realpath "$deb") window_deb=$(realpath "$window_deb")

# The mirror this machine's apt uses for bookworm itself.
mirror=$(apt-get indextargets --format '$(SITE)' "Codename: $dist" 'Component: main' 'Target-Of: deb' \
    | head -n 1)
mirror=${RAVODOR_PIUPARTS_MIRROR:-${mirror:-http://deb.debian.org/debian}}

"${sudo[@]}" mkdir -p "$dir/tmp" "$dir/logs" "$dir/default" "$dir/yes"
# Hooks run inside the chroot. getcap comes with libcap2-bin, a dependency.
hook() { "${sudo[@]}" tee "$dir/$1" >/dev/null; "${sudo[@]}" chmod 755 "$dir/$1"; }
hook default/post_install_ravodor <<'EOF'
#!/bin/sh
set -e
g=/usr/libexec/ravodor/ravodor-guard
[ -z "$(getcap "$g")" ] && [ "$(stat -c '%U:%G %a' "$g")" = "root:root 755" ] \
    || { echo "the default gave the helper a right: $(getcap "$g") $(stat -c '%U:%G %a' "$g")"; exit 1; }
EOF
hook yes/pre_install_ravodor <<'EOF'
#!/bin/sh
set -e
echo "ravodor-cli ravodor/members-change-date boolean true" | debconf-set-selections
EOF
hook yes/post_install_ravodor <<'EOF'
#!/bin/sh
set -e
g=/usr/libexec/ravodor/ravodor-guard
getcap "$g" | grep -q 'cap_sys_time=ep' && [ "$(stat -c '%U:%G %a' "$g")" = "root:ravodor 754" ] \
    && [ -L /etc/polkit-1/rules.d/60-ravodor.rules ] \
    || { echo "yes did not give the helper its right: $(getcap "$g") $(stat -c '%U:%G %a' "$g")"; exit 1; }
EOF

base=$dir/$dist.tar.gz
status=0
passed=0
# Without CAP_SYS_TIME: nothing piuparts runs can set this machine's clock.
# The yes case's setcap lands on the chroot's copy of the helper, in a
# folder piuparts makes mode 0700 and deletes; the helper is never started.
run() {
    local name=$1 answer=$2 recommends=$3
    shift 3
    local log=$dir/logs/$name-$answer-recommends-$recommends.log at=$SECONDS base_opt=(-b "$base") rec_opt=()
    [ -f "$base" ] || base_opt=(-s "$base")
    if [ "$recommends" = on ]; then
        # polkitd brings systemd, whose tmpfiles leave these behind when
        # purged: Debian's polkitd fails the same way alone.
        rec_opt=(--install-recommends)
        for left in /root/.ssh/ /var/cache/private/ /var/lib/private/ /var/log/private/ \
            /var/lib/systemd/coredump/ /var/lib/systemd/pstore/; do
            rec_opt+=(-i "$left")
        done
    fi
    "${sudo[@]}" rm -f "$log"
    if "${sudo[@]}" setpriv --inh-caps=-sys_time --bounding-set=-sys_time \
        piuparts -d "$dist" -m "$mirror" -t "$dir/tmp" "${base_opt[@]}" -l "$log" \
        --scriptsdir="$dir/$answer" "${rec_opt[@]}" "$@" >/dev/null 2>&1 \
        && grep -q 'INFO: PASS: All tests\.' "$log"; then
        echo "PASS: $name, question $answer, Recommends $recommends ($((SECONDS - at)) s)"
        passed=$((passed + 1))
    else
        echo "FAIL: $name, question $answer, Recommends $recommends ($((SECONDS - at)) s), $log:"
        grep -E 'ERROR|FAIL' "$log" | head -n 10 || true
        status=1
    fi
}

echo "piuparts $(dpkg-query -W -f='${Version}' piuparts), $dist from $mirror"
for recommends in off on; do
    for answer in default yes; do
        run ravodor-cli "$answer" "$recommends" "$deb"
        run ravodor+ravodor-cli "$answer" "$recommends" "$deb" "$window_deb"
    done
done
echo "piuparts: $passed of 8 passed in $((SECONDS - start)) s"
exit $status
