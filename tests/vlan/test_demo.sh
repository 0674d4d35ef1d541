#!/usr/bin/env bash
# The README's run command on a machine without a display: the virtual office runs through and says
# what happened. Usage: test_demo.sh PATH/TO/tobrik PATH/TO/tobrik_driver. Exit 0 passed, 1 failed,
# 77 skipped.
set -u
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root for network namespaces"; exit 77; }
BUILD=$(cd "$(dirname "${1:?give the path of tobrik}")" && pwd)
OUT=$(bash "$HERE/../../scripts/demo.sh" "$BUILD" 2>&1)
RC=$?
printf '%s\n' "$OUT"
FAILED=0
expect() {
    if printf '%s\n' "$OUT" | grep -qF -- "$1"; then
        printf '  ok    %s\n' "$1"
    else
        printf '  FAIL  %s\n' "$1"
        FAILED=1
    fi
}
expect "Anna Muster auf PC-B (Online seit"
expect "Bernd Kurz auf PC-C (Online seit"
expect "Acknowledgements Anna sent: 1."
expect "Acknowledgements from Tobrik that reached Anna's PC: 1."
expect "Tobrik acknowledged it as PC-A after"
expect "Nachricht an Anna Muster ("
expect "Ja, ich komme um 10."
expect "the office is torn down."
[ "$RC" = 0 ] || { echo "  FAIL  demo exit code $RC"; FAILED=1; }
KEPT=$(printf '%s\n' "$OUT" | sed -n 's/.*are kept in \(\/tmp\/tobrik-demo-logs\.[A-Za-z0-9]*\):$/\1/p')
[ -n "$KEPT" ] && rm -rf "$KEPT"
exit "$FAILED"
