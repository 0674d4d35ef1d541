#!/usr/bin/env bash
# End-to-end under Wine: Tobrik.exe in one host of the virtual LAN takes a colleague's message, stores it in
# its log and inbox, acknowledges it, and quits when a close request appears in its registry. Given the Linux
# build's tobrik_driver as well, the Linux program on a third host sees PC-A online and writes to it; with
# TOBRIK_DRIVER_EXE set, the Windows build's scripted program does the same under Wine on a fourth host, and
# then writes to the Linux program too.
# Usage: vlan_message.sh PATH/TO/tobrik_wine.sh [PATH/TO/linux/tobrik_driver].
# Exit 0 all passed, 1 a failure, 77 skipped.
#
# The LAN:   A 10.213.1.1   Tobrik.exe under Wine
#            B 10.213.1.2   the colleague who writes (the protocol peer)
#            C 10.213.1.3   the Linux program with a scripted user
#            D 10.213.1.4   the Windows build's scripted program under Wine (TOBRIK_DRIVER_EXE)
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/../vlan/vlan.sh"

vlan_programs "${1:-}"
LINUX_DRIVER=${2:-}
[ -x "$LINUX_DRIVER" ] || LINUX_DRIVER=
VLAN_TOBRIK_TIMEOUT=${VLAN_TOBRIK_TIMEOUT:-170}

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"

vlan_host A 1:1
vlan_host B 1:2
vlan_start_tobrik A || exit 1
PID_A=$VLAN_PID
WRAP_A=$VLAN_WRAPPER

PREFIX="$(vlan_dir A)/home/wineprefix"
DATA="$PREFIX/drive_c/users/$(id -un)/AppData/Roaming/tobrik"

printf '\n== a message from B to A\n'
# A fresh prefix and Wine's first start take a while: the first acknowledgement is waited for, up to 60 s.
SEND_RC=1
for _ in $(seq 1 30); do
    kill -0 "$PID_A" 2>/dev/null || break
    OUT=$(vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz \
        --name "Bernd Kurz" --pc PC-B --text "Grüße aus B" --id 0041A3F2 --wait-ms 2000 --expect-pc PC-A 2>&1)
    SEND_RC=$?
    [ "$SEND_RC" = 0 ] && break
done
printf '        %s\n' "$OUT"
kill -0 "$PID_A" 2>/dev/null || sed 's/^/        A: /' "$(vlan_dir A)/tobrik.err" | head -n 20
vlan_check "B gets the acknowledgement from PC-A" test "$SEND_RC" = 0
vlan_check "A's log for bkurz at PC-B exists in its application data" test -f "$DATA/bkurz_PC-B.log"
vlan_check "it holds the message block" grep -q "Gr.*e aus B" "$DATA/bkurz_PC-B.log"
vlan_check "the partner is in A's inbox" grep -q 'bkurz_PC-B' "$DATA/Eingang.txt"

# writes_to HOST LOGS TEXT [TO TO_DATA]: the scripted program on HOST (its logs in LOGS) lists PC-TO (default A),
# writes TEXT to it and logs it as sent; TO's log (in TO_DATA) of PC-HOST holds it.
writes_to() {
    local host=$1 logs=$2 text=$3 to=${4:-A} todata=${5:-$DATA} online=1 log
    for _ in $(seq 1 60); do
        vlan_ask "$host" driver online '^end$' 5 && printf '%s\n' "$VLAN_REPLY" | grep -q " auf PC-$to (Online seit " &&
            { online=0; break; }
        sleep 0.1
    done
    vlan_check "$host lists PC-$to (its presence broadcasts arrive)" test "$online" = 0
    vlan_ask "$host" driver "open-online PC-$to" '^opened' 5
    vlan_check "$host opens the conversation with PC-$to" sh -c "printf '%s' \"\$0\" | grep -q 'opened PC-$to'" "$VLAN_REPLY"
    vlan_tell "$host" driver "type $text"
    vlan_tell "$host" driver "key Return"
    vlan_ask "$host" driver wait-idle '^idle$' 10
    vlan_check "the send ends without a failure dialog ($to acknowledged)" \
        sh -c "! grep -q '^dialog' '$(vlan_dir "$host")/driver.out'"
    log=$(ls "$logs"/*_PC-"$to".log 2>/dev/null | head -n 1)
    vlan_check "$host logs the message as sent" sh -c "[ -n '$log' ] && grep -q 'Nachricht an' '$log'"
    vlan_check "$to's log of PC-$host holds it" sh -c "grep -qs '$text' '$todata'/*_PC-$host.log"
}

if [ -n "$LINUX_DRIVER" ]; then
    printf '\n== the Linux program writes to A\n'
    vlan_host C 1:3
    VLAN_DRIVER=$LINUX_DRIVER
    vlan_start_driver C || exit 1
    writes_to C "$(vlan_dir C)/data/tobrik" "Hallo Windows"
else
    printf '\n(no Linux tobrik_driver given: the exchange with the Linux program is left out)\n'
fi

if [ -n "${TOBRIK_DRIVER_EXE:-}" ]; then
    printf '\n== a second Tobrik.exe (the Windows build with a scripted user) writes to A\n'
    vlan_host D 1:4
    : >"$(vlan_dir D)/driver.cmd"
    vlan_spawn D driver 150 env TOBRIK_DRIVER_INPUT="$(vlan_dir D)/driver.cmd" "$HERE/driver_wine.sh" || exit 1
    vlan_wait_line D driver 0 '^ready$' 60
    ready=$?
    vlan_check "the Windows program with its scripted user starts under Wine" test "$ready" = 0
    [ "$ready" = 0 ] || sed 's/^/        /' "$(vlan_dir D)/driver.out" "$(vlan_dir D)/driver.err" | head -n 20
    LOGS_D="$(vlan_dir D)/home/wineprefix/drive_c/users/$(id -un)/AppData/Roaming/tobrik"
    [ "$ready" = 0 ] && writes_to D "$LOGS_D" "Hallo von Windows"
    if [ "$ready" = 0 ] && [ -n "$LINUX_DRIVER" ]; then
        printf '\n== the second Tobrik.exe writes to the Linux program\n'
        writes_to D "$LOGS_D" "Hallo Linux" C "$(vlan_dir C)/data/tobrik"
    fi
fi

printf '\n== a close request in the registry\n'
vlan_run A env WINEPREFIX="$PREFIX" WINEDEBUG=-all wine reg add 'HKCU\Tobrik' /v ProgramClose /d 1 /f >/dev/null 2>&1
vlan_wait_exit "$PID_A" "$WRAP_A" 10
vlan_check "A quits on request" test "${VLAN_EXIT_CODE:-1}" = 0

vlan_down
vlan_summary
