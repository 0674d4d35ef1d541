#!/usr/bin/env bash
# End-to-end: a colleague's message reaches the program in another host, is stored in its log and
# inbox, and only then acknowledged. Usage: test_message.sh PATH/TO/tobrik. Exit 0 all passed,
# 1 a failure, 77 skipped.
#
# The LAN:   A 10.213.1.1   the program
#            B 10.213.1.2   the colleague who writes
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"

vlan_programs "${1:-}"


rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"

vlan_host A 1:1
vlan_host B 1:2
vlan_start_tobrik A || exit 1
PID_A=$VLAN_PID
WRAP_A=$VLAN_WRAPPER
sleep 1

LOG="$(vlan_dir A)/data/tobrik/bkurz_PC-B.log"
INBOX="$(vlan_dir A)/data/tobrik/Eingang.txt"

printf '\n== a message from B to A\n'
OUT=$(vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz \
    --name "Bernd Kurz" --pc PC-B --text "Grüße aus B" --id 0041A3F2 --expect-pc PC-A 2>&1)
SEND_RC=$?
printf '        %s\n' "$OUT"
vlan_check "B gets the acknowledgement from PC-A" test "$SEND_RC" = 0
vlan_check "A's log for bkurz at PC-B exists" test -f "$LOG"
vlan_check "its header names the partner" sh -c "head -n 1 '$LOG' | grep -q 'bkurz|Bernd Kurz|PC-B'"
vlan_check "it holds the message block" grep -q "Grüße aus B" "$LOG"
vlan_check "the partner is in A's inbox" grep -q 'bkurz_PC-B' "$INBOX"

printf '\n== junk gets no acknowledgement\n'
vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz --pc PC-B \
    --text "a|b" --wait-ms 800 --expect-pc PC-A >/dev/null 2>&1
vlan_check "a text datagram with a seventh field is not acknowledged" test $? != 0

vlan_request A ProgramClose=1
vlan_wait_exit "$PID_A" "$WRAP_A" 3
vlan_check "A quits on request" test "${VLAN_EXIT_CODE:-1}" = 0

vlan_down
vlan_summary
