#!/usr/bin/env bash
# The README's run command, scripts/run.sh, where it must not open a window here: started as root on
# a desktop it refuses in one line and starts nothing; without a display it runs the virtual office
# through and says what happened. It uses the tree under test as it is (TOBRIK_BUILD_DIR).
# Usage: test_demo.sh PATH/TO/tobrik PATH/TO/tobrik_driver. Exit 0 passed, 1 failed, 77 skipped.
# shellcheck disable=SC2317 # has and one_hint_line run through check
set -u
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
RUN=$(cd "$HERE/../.." && pwd)/scripts/run.sh
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root for network namespaces"; exit 77; }
command -v unshare >/dev/null || { echo "SKIP: unshare is missing"; exit 77; }
BUILD=$(cd "$(dirname "${1:?give the path of tobrik}")" && pwd)
FAILED=0
check() {
    local what=$1
    shift
    if "$@"; then
        printf '  ok    %s\n' "$what"
    else
        printf '  FAIL  %s\n' "$what"
        FAILED=1
    fi
}

has() { printf '%s\n' "$OUT" | grep -qF -- "$1"; }
one_hint_line() {
    [ "$(printf '%s\n' "$OUT" | wc -l)" = 1 ] && has "start it as your own user, without sudo: " && has "scripts/run.sh"
}
expect() { check "$1" has "$1"; }

# On a desktop, as root. The build tree here holds stand-ins that only leave a mark, and everything
# runs in a network namespace of its own, so a broken refusal starts nothing on this machine's network.
WORK=$(mktemp -d /tmp/tobrik-test-run.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/build/tests/vlan" "$WORK/home"
printf '#!/bin/sh\necho started >>"%s/started"\n' "$WORK" >"$WORK/build/tobrik"
cp "$WORK/build/tobrik" "$WORK/build/tests/vlan/tobrik_driver"
chmod +x "$WORK/build/tobrik" "$WORK/build/tests/vlan/tobrik_driver"
while read -r what vars; do
    rm -f "$WORK/started"
    # shellcheck disable=SC2086 # vars is a list of NAME=VALUE words
    OUT=$(unshare --net -- env -u DISPLAY -u WAYLAND_DISPLAY -u SUDO_USER $vars HOME="$WORK/home" \
        XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share" \
        TOBRIK_BUILD_DIR="$WORK/build" timeout 60 "$RUN" 2>&1 </dev/null)
    RC=$?
    printf '%s\n' "$OUT" | sed 's/^/    /'
    check "$what: exits non-zero (exit $RC)" test "$RC" != 0 -a "$RC" != 124
    check "$what: one line that says to start it as the own user" one_hint_line
    check "$what: no program started" test ! -e "$WORK/started"
done <<'CASES'
X11 DISPLAY=:0
Wayland WAYLAND_DISPLAY=wayland-0
sudo-from-a-desktop DISPLAY=:0 SUDO_USER=nobody
CASES

# Without a display, as root: the virtual office.
OUT=$(env -u DISPLAY -u WAYLAND_DISPLAY TOBRIK_BUILD_DIR="$BUILD" "$RUN" 2>&1 </dev/null)
RC=$?
printf '%s\n' "$OUT"
expect "No display found: Tobrik runs in a virtual office on network namespaces instead."
expect "Anna Muster auf PC-B (Online seit"
expect "Bernd Kurz auf PC-C (Online seit"
expect "Acknowledgements Anna sent: 1."
expect "Acknowledgements from Tobrik that reached Anna's PC: 1."
expect "Tobrik acknowledged it as PC-A after"
expect "Nachricht an Anna Muster ("
expect "Ja, ich komme um 10."
expect "the office is torn down."
check "the run command exits 0 (exit $RC)" test "$RC" = 0
KEPT=$(printf '%s\n' "$OUT" | sed -n 's/.*are kept in \(\/tmp\/tobrik-demo-logs\.[A-Za-z0-9]*\):$/\1/p')
[ -n "$KEPT" ] && rm -rf "$KEPT"
exit "$FAILED"
