#!/usr/bin/env bash
# End-to-end: the program is killed with SIGKILL at random moments while colleagues keep writing to it,
# and started again each time. After every start it must start normally (announce itself, acknowledge
# again), and every message whose sender saw the acknowledgement must be in the partner's log, exactly
# once, with the partner in the inbox; no log may be torn or set aside.
# Usage: test_crash.sh PATH/TO/tobrik [PATH/TO/tobrik_driver]. Exit 0 all passed, 1 a failure, 77 skipped.
# With the driver (the same program with a scripted user), each check also reads the inbox list the
# program shows.
#
#   CRASH_KILLS   number of kills (default 10; the long run takes 50)
#   CRASH_SEED    seed of the kill moments (default: from the clock); printed, so a run can be repeated
#
# The LAN:   A 10.213.1.1                      the program
#            B 10.213.1.2, .12, .22 ... .112    twelve colleagues, one address each, writing 100
#                                              messages a second together (the program takes 60 a
#                                              minute from each address)
# A kill falls either on a running program (0 to 2.5 s after it answered again) or, one time in four,
# into its start (0 to 0.4 s after it was started, while it loads its logs); a start that was killed
# is checked at the next one.
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
KILLS=${CRASH_KILLS:-10}
SEED=${CRASH_SEED:-$(($(date +%s%N) / 1000 % 32768))}
PARTNERS=12
# About 8 s per kill at most; CTest sets its own deadline below its time-out.
VLAN_DEADLINE=${VLAN_DEADLINE:-$((KILLS * 8 + 40))}
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"

vlan_programs "${1:-}" "${2:-}"

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"

printf 'seed %s, %s kills (repeat with CRASH_SEED=%s CRASH_KILLS=%s)\n' "$SEED" "$KILLS" "$SEED" "$KILLS"
RANDOM=$SEED

vlan_host A 1:1
vlan_host B 1:2
SOURCES=10.213.1.2
for ((k = 1; k < PARTNERS; k++)); do
    ip -n "$(vlan_ns B)" addr add "10.213.1.$((k * 10 + 2))/24" dev eth0 || exit 1
    SOURCES="$SOURCES,10.213.1.$((k * 10 + 2))"
done

DA=$(vlan_dir A)
DB=$(vlan_dir B)
FOLDER="$DA/data/tobrik"
ACKED="$DB/acked"
EVENTS="$DB/events"
CRASH_PEER="$HERE/crash_peer.py"
: >"$ACKED"
: >"$EVENTS"

vlan_spawn B sender "$VLAN_DEADLINE" "$VLAN_PYTHON" "$CRASH_PEER" send --to 10.213.1.1 --from "$SOURCES" \
    --acked "$ACKED" --events "$EVENTS" --seconds "$VLAN_DEADLINE" --wait-ms 400 --rate 100 || exit 1
PID_SENDER=$VLAN_PID

LIFE=0
STARTED=
PID_A=
WRAP_A=
CHECKED=0
start_program() {
    LIFE=$((LIFE + 1))
    CHECKED=0
    STARTED=$(vlan_now)
    if [ -n "$VLAN_DRIVER" ]; then
        : >"$DA/tobrik$LIFE.cmd"
        vlan_spawn A "tobrik$LIFE" "$VLAN_TOBRIK_TIMEOUT" env TOBRIK_DRIVER_INPUT="$DA/tobrik$LIFE.cmd" "$VLAN_DRIVER" ||
            return 1
    else
        vlan_start_tobrik A "tobrik$LIFE" || return 1
    fi
    PID_A=$VLAN_PID
    WRAP_A=$VLAN_WRAPPER
}

# wait_answering [presence]: waits until the program started last has announced itself and
# acknowledged a message (with "presence": only announced itself).
wait_answering() {
    local i need=${1:-ack}
    for ((i = 0; i < 1000; i++)); do
        if awk -v s="$STARTED" -v need="$need" '$1 == "presence" && $2 > s { p = 1 } $1 == "ack" && $2 > s { a = 1 }
                END { exit !(p && (a || need == "presence")) }' "$EVENTS"; then
            return 0
        fi
        kill -0 "$PID_A" 2>/dev/null || return 1
        sleep 0.02
    done
    return 1
}

# The messages acknowledged before the kill; the check after the next start looks for them.
SNAP="$DB/acked.snap"
kill_program() {
    kill -KILL "$PID_A"
    wait "$WRAP_A" 2>/dev/null
    cp "$ACKED" "$SNAP"
}

CHECKS=0
FIGURES=
QUIET='^PulseAudioService: pa_context_connect() failed$'
# check_start WHAT [presence] [CHECK-OPTIONS...]
check_start() {
    local what=$1 need=${2:-ack} ok
    shift $(($# >= 2 ? 2 : 1))
    CHECKED=1
    CHECKS=$((CHECKS + 1))
    local answers="announces itself and acknowledges again"
    [ "$need" = presence ] && answers="announces itself"
    if ! vlan_check "start $LIFE ($what) $answers" wait_answering "$need"; then
        sed 's/^/        /' "$DA/tobrik$LIFE.err" | head -20
        return 1
    fi
    # Whatever the program writes to its error output is a sign of trouble at the start, except Qt's
    # word that the test host has no sound server.
    if ! vlan_check "start $LIFE writes no error" test -z "$(grep -v "$QUIET" "$DA/tobrik$LIFE.err")"; then
        grep -v "$QUIET" "$DA/tobrik$LIFE.err" | sed 's/^/        /' | head -20
    fi
    FIGURES=$("$VLAN_PYTHON" "$CRASH_PEER" check --folder "$FOLDER" --acked "$SNAP" --partners "$PARTNERS" "$@")
    ok=$?
    vlan_check "start $LIFE keeps every acknowledged message, whole, once, and in the inbox" test "$ok" = 0
    printf '        %s\n' "$FIGURES"
    [ -n "$VLAN_DRIVER" ] || return 0
    # What the user sees: a row for every partner with an acknowledged message in the inbox list.
    local want missing
    want=$(awk -v n="$PARTNERS" '{ k[($1 - 1) % n + 1] = 1 } END { for (i in k) print "PC-K" i }' "$SNAP")
    vlan_ask A "tobrik$LIFE" inbox '^end$' 10 || VLAN_REPLY=
    missing=$(for pc in $want; do grep -qF "auf $pc (" <<<"$VLAN_REPLY" || printf ' %s' "$pc"; done)
    vlan_check "start $LIFE lists all $(wc -w <<<"$want") partners with acknowledged messages in its inbox" \
        test -z "$missing" || printf '        missing:%s\n' "$missing"
    return 0
}

: >"$SNAP"
start_program || exit 1
check_start "first" || exit 1
EARLY=0
for ((kill = 1; kill <= KILLS; kill++)); do
    if [ "$CHECKED" = 0 ] && ((RANDOM % 4 == 0)); then
        # Into the start, while the logs are loaded.
        ms=$((RANDOM % 400))
        EARLY=$((EARLY + 1))
        how="during its start, $ms ms after it was started"
    else
        [ "$CHECKED" = 1 ] || check_start "after kill $((kill - 1))" || break
        ms=$((RANDOM % 2500))
        how="$ms ms after it answered"
    fi
    sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
    kill_program
    printf '  kill %d: start %d killed %s\n' "$kill" "$LIFE" "$how"
    start_program || break
done

if vlan_check "all $KILLS kills done, the program started again after each" test "$kill" -gt "$KILLS"; then
    check_start "after kill $KILLS"
    # The end: no more messages, a normal quit, and one more start that must find everything.
    kill -USR1 "$PID_SENDER"
    for ((i = 0; i < 100; i++)); do
        SENT=$(sed -n 's/^sent //p' "$EVENTS")
        [ -n "$SENT" ] && break
        sleep 0.02
    done
    cp "$ACKED" "$SNAP"
    vlan_request A ProgramClose=1
    vlan_wait_exit "$PID_A" "$WRAP_A" 5
    vlan_check "start $LIFE quits normally on request" test "${VLAN_EXIT_CODE:-1}" = 0
    start_program
    check_start "after the normal quit" presence --final --sent "${SENT:-0}"
    LAST=${FIGURES%%$'\n'*}
fi

MISSED=$(grep -c '^miss ' "$EVENTS")
vlan_down
printf '\nseed %s: %s kills (%s during a start), %s starts checked; %s; %s sent messages unacknowledged\n' \
    "$SEED" "$((kill - 1))" "$EARLY" "$CHECKS" "${LAST:-no final check}" "$MISSED"
vlan_summary "seed $SEED"
