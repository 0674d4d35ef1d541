#!/usr/bin/env bash
# End-to-end: two instances of the program on two hosts see each other, write to each other, notice
# when one quits, is killed or is kicked, and report a message to a PC that is gone as not sent.
# Usage: test_conversation.sh PATH/TO/tobrik PATH/TO/tobrik_driver. Exit 0 all passed, 1 a failure,
# 77 skipped.
#
# The LAN:   A 10.213.1.1   the program with a scripted user
#            B 10.213.1.2   the program (with a scripted user where the test must read its lists)
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"

vlan_programs "${1:-}" "${2:-}" driver

reply_has() { printf '%s\n' "$VLAN_REPLY" | grep -q -- "$1"; }
# online_has HOST TAG PC: the online list of the scripted program shows PC.
online_has() { vlan_ask "$1" "$2" online '^end$' 5 && reply_has " auf $3 (Online seit "; }
# wait_online HOST TAG PC SECONDS [absent]: polls the online list until PC is (or is no longer) shown.
wait_online() {
    local i n want=${5:-present}
    n=$(awk -v s="$4" 'BEGIN { printf "%d", s * 10 }')
    for ((i = 0; i <= n; i++)); do
        if online_has "$1" "$2" "$3"; then
            [ "$want" = present ] && return 0
        else
            [ "$want" = absent ] && return 0
        fi
        sleep 0.1
    done
    return 1
}

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"

vlan_host A 1:1
vlan_host B 1:2
LOGS_A="$(vlan_dir A)/data/tobrik"
LOGS_B="$(vlan_dir B)/data/tobrik"

printf '\n== two instances see each other\n'
vlan_start_driver A || exit 1
vlan_start_driver B || exit 1
T0=$(vlan_now)
wait_online A driver PC-B 4
vlan_check "A lists PC-B within 4 s" test $? = 0
wait_online B driver PC-A 4
vlan_check "B lists PC-A within 4 s" test $? = 0
vlan_check "both within 4 s of the start" awk -v a="$T0" -v b="$(vlan_now)" 'BEGIN { exit !(b - a <= 4.5) }'

printf '\n== a steady LAN leaves the online list alone\n'
sleep 1
vlan_ask A driver stats '^redraws' 5
R1=$(printf '%s\n' "$VLAN_REPLY" | sed -n 's/^redraws //p')
sleep 6.5
vlan_ask A driver stats '^redraws' 5
R2=$(printf '%s\n' "$VLAN_REPLY" | sed -n 's/^redraws //p')
vlan_check "no redraw of A's online list over two presence cycles without a change ($R1 -> $R2)" test "$R1" = "$R2"

printf '\n== A writes to B\n'
vlan_ask A driver "open-online PC-B" '^opened' 5
vlan_check "A opens the conversation with PC-B from the online list" reply_has "opened PC-B"
vlan_tell A driver "type Hallo B|C, wie geht's?"
vlan_ask A driver state '^state' 5
vlan_check "a typed | shows as / in the message field" reply_has "memo=Hallo B/C, wie geht's?"
vlan_tell A driver "key Return"
vlan_ask A driver wait-idle '^idle$' 5
vlan_check "the send ends without a failure dialog" sh -c "! grep -q '^dialog' '$(vlan_dir A)/driver.out'"
vlan_ask A driver state '^state' 5
vlan_check "the message field is empty after sending" reply_has "memo=$"
LOG_A=$(ls "$LOGS_A"/*_PC-B.log 2>/dev/null | head -n 1)
LOG_B=$(ls "$LOGS_B"/*_PC-A.log 2>/dev/null | head -n 1)
vlan_check "A's log of PC-B holds the sent message" sh -c "[ -n '$LOG_A' ] && grep -q 'Nachricht an' '$LOG_A' && grep -q 'Hallo B/C' '$LOG_A'"
vlan_check "B's log of PC-A holds the received message" sh -c "[ -n '$LOG_B' ] && grep -q 'Nachricht von' '$LOG_B' && grep -q 'Hallo B/C' '$LOG_B'"
vlan_check "PC-A is in B's inbox file" grep -q '_PC-A' "$LOGS_B/Eingang.txt"
vlan_ask B driver inbox '^end$' 5
vlan_check "B's inbox list shows PC-A" reply_has "auf PC-A ("
vlan_ask B driver state '^state' 5
vlan_check "B opened the conversation with PC-A (no partner was open)" reply_has "partner=PC-A"
vlan_tell B driver "key Ctrl+G"
vlan_ask B driver history '^end$' 5
vlan_check "Ctrl+G files it into B's history" reply_has "auf PC-A ("
vlan_check "and B's inbox file no longer names PC-A" sh -c "! grep -q '_PC-A' '$LOGS_B/Eingang.txt'"

printf '\n== B quits\n'
vlan_tell B driver quit
T1=$(vlan_now)
wait_online A driver PC-B 1 absent
vlan_check "PC-B leaves A's list at once (within 1 s)" test $? = 0

printf '\n== B is killed hard\n'
vlan_start_tobrik B || exit 1
PID_B=$VLAN_PID
wait_online A driver PC-B 5
vlan_check "B (restarted) is back in A's list" test $? = 0
vlan_ask A driver "open-online PC-B" '^opened' 5
kill -KILL "$PID_B"
T2=$(vlan_now)
vlan_tell A driver "type Bist du noch da?"
vlan_tell A driver "key Return"
vlan_ask A driver wait-idle '^idle$' 6
vlan_check "a message to the killed PC fails" grep -q '^dialog Der Text konnte nicht gesendet werden!$' "$(vlan_dir A)/driver.out"
vlan_check "and nothing of it is logged" sh -c "! grep -q 'Bist du noch da' '$LOG_A'"
vlan_ask A driver state '^state' 5
vlan_check "the text stays in the message field" reply_has "memo=Bist du noch da?"
sleep "$(awk -v a="$T2" -v b="$(vlan_now)" 'BEGIN { d = 25 - (b - a); print (d > 0 ? d : 0) }')"
vlan_check "PC-B is still listed 25 s after it went silent" online_has A driver PC-B
wait_online A driver PC-B 9 absent
vlan_check "PC-B drops out of A's list about 30 s after it went silent" test $? = 0
vlan_check "  (not before 29 s)" awk -v a="$T2" -v b="$(vlan_now)" 'BEGIN { exit !(b - a >= 29) }'

printf '\n== kick\n'
vlan_start_tobrik B || exit 1
PID_B=$VLAN_PID
WRAP_B=$VLAN_WRAPPER
sleep 1
vlan_run A timeout 5 "$VLAN_PYTHON" "$VLAN_PEER" command --to 10.213.1.2 kick
vlan_wait_exit "$PID_B" "$WRAP_B" 3
vlan_check "\"kick\" ends B within 3 s" test "${VLAN_EXIT_CODE:-1}" = 0

vlan_tell A driver quit
vlan_down
vlan_summary
