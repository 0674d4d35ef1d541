#!/usr/bin/env bash
# End-to-end presence tests: real program instances in hosts of a virtual LAN, watched by a
# simulated colleague. Usage: test_presence.sh PATH/TO/tobrik. Exit 0 all passed, 1 a failure,
# 77 skipped (no root or no network namespaces here).
#
# The LAN:   A 10.213.1.1                      the program; settings seeded with a display name
#            B 10.213.1.2 + 10.213.2.2         the colleague who listens on both subnets
#            C 10.213.1.3 + 10.213.1.13        the program, two interfaces in one subnet
#            D 10.213.1.4 + 10.213.2.4         the program, one interface in each subnet
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"

vlan_programs "${1:-}"

PASSED=0
FAILED=0
CURRENT_OK=1
begin() {
    CURRENT_OK=1
    printf '\n== %s\n' "$*"
}
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        printf '  ok    %s\n' "$what"
    else
        printf '  FAIL  %s\n' "$what"
        CURRENT_OK=0
    fi
}
note() { printf '        %s\n' "$*"; }
finish() {
    if [ "$CURRENT_OK" = 1 ]; then PASSED=$((PASSED + 1)); else FAILED=$((FAILED + 1)); fi
}

# Arithmetic on decimal seconds.
le() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
sub_s() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }
# gaps_ok LO HI TIMES: every gap between consecutive times (one per line) lies within [LO, HI].
gaps_ok() {
    printf '%s\n' "$3" | awk -v lo="$1" -v hi="$2" 'NF { if (n++ && ($1 - p < lo || $1 - p > hi)) bad = 1; p = $1 } END { exit bad }'
}
gaps_of() { awk 'NR > 1 { printf "%.2f ", $1 - p } { p = $1 } END { print "" }'; }
is_eq() { [ "$1" = "$2" ]; }
in_range() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
# has_lines FILE LINE...: FILE holds each LINE as a whole line.
has_lines() {
    local f=$1 line
    shift
    for line in "$@"; do
        grep -qxF -- "$line" "$f" 2>/dev/null || return 1
    done
}
matches() { printf '%s' "$1" | grep -Eq "$2"; }

rc=0
vlan_init || rc=$?
if [ "$rc" != 0 ]; then
    exit "$rc"
fi

vlan_host A 1:1
vlan_host B 1:2 2:2
vlan_host C 1:3 1:13
vlan_host D 1:4 2:4
IP_A=$(vlan_ip A)
PC_A=$(vlan_pc A)
PC_C=$(vlan_pc C)
PC_D=$(vlan_pc D)
USER_NAME=$(id -un)
BCAST1=$(vlan_broadcast 1)
BCAST2=$(vlan_broadcast 2)
RX="$(vlan_dir B)/rx.jsonl"
SETTINGS_A="$(vlan_dir A)/config/Tobrik.conf"
SETTINGS_C="$(vlan_dir C)/config/Tobrik.conf"

peer_filter() { "$VLAN_PYTHON" "$VLAN_PEER" filter "$RX" --port 18181 --field 1=TB1 "$@"; }
# Presence datagrams of one computer: PC [filter options...]
presence_of() {
    local pc=$1
    shift
    peer_filter --field 4="$pc" "$@"
}

# A display name of its own for A shows that the settings are loaded and written back.
mkdir -p "${SETTINGS_A%/*}"
printf '[General]\nName=Anna Maier\nAbwesendMin=7\n' >"$SETTINGS_A"

# One listener records everything the colleague B hears, on both subnets, for the whole run.
vlan_peer B rx 40 listen --port 18181 --seconds 35 --out "$RX" --ready "$(vlan_dir B)/rx.ready" || exit 1
RX_PID=$VLAN_PID
RX_WRAPPER=$VLAN_WRAPPER
vlan_wait_file "$(vlan_dir B)/rx.ready" 5 || {
    echo "the listener did not open its port: $(cat "$(vlan_dir B)/rx.err")" >&2
    exit 1
}

# Phase 1: three programs announce themselves for a little over two cycles.
T_START=$(vlan_now)
vlan_start_tobrik A || exit 1
PID_A=$VLAN_PID
WRAP_A=$VLAN_WRAPPER
vlan_start_tobrik C || exit 1
PID_C=$VLAN_PID
WRAP_C=$VLAN_WRAPPER
vlan_start_tobrik D || exit 1

# (e), meanwhile: a second start in A's session while the first instance runs.
sleep 1.5
T_SECOND=$(vlan_now)
SECOND_STARTED=1
vlan_start_tobrik A second || SECOND_STARTED=0
PID_SECOND=$VLAN_PID
WRAP_SECOND=$VLAN_WRAPPER
SECOND_ENDED=0
if [ "$SECOND_STARTED" = 1 ] && vlan_wait_exit "$PID_SECOND" "$WRAP_SECOND" 3; then
    SECOND_ENDED=1
fi
SECOND_SECONDS=$VLAN_EXIT_SECONDS
SECOND_CODE=${VLAN_EXIT_CODE:-}
FIRST_ALIVE_AFTER_SECOND=0
kill -0 "$PID_A" 2>/dev/null && FIRST_ALIVE_AFTER_SECOND=1

sleep "$(awk -v s="$T_START" -v n="$(vlan_now)" 'BEGIN { d = s + 7.6 - n; printf "%.3f", (d > 0 ? d : 0) }')"
T_PHASE2=$(vlan_now)
ALIVE_A=0
ALIVE_C=0
kill -0 "$PID_A" 2>/dev/null && ALIVE_A=1
kill -0 "$PID_C" 2>/dev/null && ALIVE_C=1

# Phase 2: A quits through the request file, C by SIGTERM.
MTIME_BEFORE_A=$(stat -c %Y "$SETTINGS_A" 2>/dev/null || echo 0)
T_CLOSE=$(vlan_now)
vlan_request A ProgramClose=1
ENDED_A=0
vlan_wait_exit "$PID_A" "$WRAP_A" 3 && ENDED_A=1
EXIT_S_A=$VLAN_EXIT_SECONDS
EXIT_CODE_A=${VLAN_EXIT_CODE:-}

sleep 1 # a whole second between the two quits keeps their datagrams apart in time
T_TERM=$(vlan_now)
kill -TERM "$PID_C" 2>/dev/null
ENDED_C=0
vlan_wait_exit "$PID_C" "$WRAP_C" 3 && ENDED_C=1
EXIT_S_C=$VLAN_EXIT_SECONDS
EXIT_CODE_C=${VLAN_EXIT_CODE:-}

sleep 0.3 # the last datagrams are on their way
kill -TERM "$RX_PID" 2>/dev/null
wait "$RX_WRAPPER" 2>/dev/null
echo "recorded $(wc -l <"$RX") datagrams in host B"

# ---------------------------------------------------------------------------------------------
begin "(a) the program in host A announces itself every 3 s to its subnet"
A_ON=$(presence_of "$PC_A" --src "$IP_A" --field 6=1 --before "$T_PHASE2" --print t,sport,dst,payload)
A_TIMES=$(printf '%s\n' "$A_ON" | cut -f1 | sed '/^$/d')
A_COUNT=$(printf '%s\n' "$A_TIMES" | sed '/^$/d' | wc -l)
FIRST_A=$(printf '%s\n' "$A_TIMES" | head -n1)
note "presence datagrams from $IP_A before the quit: $A_COUNT, gaps: $(printf '%s\n' "$A_TIMES" | gaps_of)"
check "a presence datagram from $IP_A with field 4 = \"$PC_A\" and field 6 = \"1\" arrives" \
    test "$A_COUNT" -ge 1
if [ -n "$FIRST_A" ]; then
    note "first one $(sub_s "$FIRST_A" "$T_START") s after the start"
    check "the first arrives within 4 s of the start" le "$(sub_s "$FIRST_A" "$T_START")" 4.0
fi
check "it comes again with the cycle: at least 2 before the quit" test "$A_COUNT" -ge 2
check "consecutive announcements are 2.6 s to 3.5 s apart" gaps_ok 2.6 3.5 "$A_TIMES"
PAYLOAD_A=$(printf '%s\n' "$A_ON" | head -n1 | cut -f4)
note "payload: $PAYLOAD_A"
check "nine non-empty fields joined by single \"|\": TB1|$USER_NAME|Anna Maier|$PC_A|0|1|hh:mm:ss|1|n" \
    matches "$PAYLOAD_A" "^TB1\|$USER_NAME\|Anna Maier\|$PC_A\|0\|1\|([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\|1\|[0-9]+$"
check "all of them go to the directed broadcast $BCAST1, port 18181" \
    is_eq "$(printf '%s\n' "$A_ON" | cut -f3 | sort -u)" "$BCAST1"
check "nothing from anyone goes to the limited broadcast 255.255.255.255" \
    is_eq "$(peer_filter --dst 255.255.255.255 --count)" 0
finish

# ---------------------------------------------------------------------------------------------
begin "(b) quitting through the request file: one offline datagram, a quick end, settings saved"
check "A was still running when asked to quit" is_eq "$ALIVE_A" 1
check "A ended after \"ProgramClose=1\" in the request file" is_eq "$ENDED_A" 1
note "ended ${EXIT_S_A:-?} s after the request, exit code ${EXIT_CODE_A:-none}"
check "within half a second" le "${EXIT_S_A:-99}" 0.5
check "with exit code 0" is_eq "$EXIT_CODE_A" 0
A_OFF=$(presence_of "$PC_A" --src "$IP_A" --field 6=0 --print t,payload)
note "offline datagrams: $(printf '%s\n' "$A_OFF" | sed '/^$/d' | wc -l) ($(printf '%s\n' "$A_OFF" | cut -f2 | head -n2 | tr '\n' ' '))"
check "exactly one offline datagram (field 6 = \"0\") from A" \
    is_eq "$(printf '%s\n' "$A_OFF" | sed '/^$/d' | wc -l)" 1
T_OFF_A=$(printf '%s\n' "$A_OFF" | head -n1 | cut -f1)
check "it was sent after the request" le "$T_CLOSE" "${T_OFF_A:-0}"
check "no online datagram from A follows it" \
    is_eq "$(presence_of "$PC_A" --field 6=1 --after "${T_OFF_A:-0}" --count)" 0
LAST_ON_A=$(presence_of "$PC_A" --field 6=1 --print payload | tail -n1)
check "it repeats the announcement with field 6 = \"0\" (fields 1-5, 7, 8 unchanged)" \
    is_eq "$(printf '%s\n' "$A_OFF" | head -n1 | cut -f2 | cut -d'|' -f1-5,7-8)" \
    "$(printf '%s\n' "$LAST_ON_A" | cut -d'|' -f1-5,7-8)"
MTIME_AFTER_A=$(stat -c %Y "$SETTINGS_A" 2>/dev/null || echo 0)
check "the settings file was written at the quit" test "$MTIME_AFTER_A" -ge "${T_CLOSE%.*}"
note "mtime before the request $MTIME_BEFORE_A, after $MTIME_AFTER_A"
check "it keeps the loaded values (Name=Anna Maier, AbwesendMin=7)" \
    has_lines "$SETTINGS_A" "Name=Anna Maier" "AbwesendMin=7"
check "and holds the defaults of the others (FontName=Arial, VoiceVolume=80, Sounds=11111111111)" \
    has_lines "$SETTINGS_A" "FontName=Arial" "VoiceVolume=80" "Sounds=11111111111"
finish

# ---------------------------------------------------------------------------------------------
begin "(c) SIGTERM: one offline datagram, a quick end, settings saved"
check "C was still running when it got SIGTERM" is_eq "$ALIVE_C" 1
check "C ended after SIGTERM" is_eq "$ENDED_C" 1
note "ended ${EXIT_S_C:-?} s after the signal, exit code ${EXIT_CODE_C:-none}"
check "within half a second" le "${EXIT_S_C:-99}" 0.5
check "with exit code 0 (a clean quit, not death by the signal)" is_eq "$EXIT_CODE_C" 0
C_OFF=$(presence_of "$PC_C" --field 6=0 --print t,payload)
check "exactly one offline datagram from C" is_eq "$(printf '%s\n' "$C_OFF" | sed '/^$/d' | wc -l)" 1
check "it was sent after the signal" le "$T_TERM" "$(printf '%s\n' "$C_OFF" | head -n1 | cut -f1)"
check "it names C's user: TB1|$USER_NAME|$USER_NAME|$PC_C|0|0|..." \
    matches "$(printf '%s\n' "$C_OFF" | head -n1 | cut -f2)" "^TB1\|$USER_NAME\|$USER_NAME\|$PC_C\|0\|0\|"
check "the settings file exists with the user's name (Name=$USER_NAME)" has_lines "$SETTINGS_C" "Name=$USER_NAME"
check "it was written at the signal" test "$(stat -c %Y "$SETTINGS_C" 2>/dev/null || echo 0)" -ge "${T_TERM%.*}"
finish

# ---------------------------------------------------------------------------------------------
begin "(d) host C with two interfaces in one subnet sends one datagram per cycle, not two"
C_ON=$(presence_of "$PC_C" --src 10.213.1. --field 6=1 --before "$T_PHASE2" --print t,dst)
C_TIMES=$(printf '%s\n' "$C_ON" | cut -f1 | sed '/^$/d')
C_COUNT=$(printf '%s\n' "$C_TIMES" | sed '/^$/d' | wc -l)
note "datagrams from C before the quit: $C_COUNT, gaps: $(printf '%s\n' "$C_TIMES" | gaps_of)"
check "C announces itself (at least 2 cycles seen)" test "$C_COUNT" -ge 2
check "no two of them within one cycle (every gap 2.6 s to 3.5 s)" gaps_ok 2.6 3.5 "$C_TIMES"
check "all to $BCAST1" is_eq "$(printf '%s\n' "$C_ON" | cut -f2 | sort -u)" "$BCAST1"
finish

# ---------------------------------------------------------------------------------------------
begin "(e) a second start in the same session ends at once; the first keeps running"
check "the second start ran" is_eq "$SECOND_STARTED" 1
check "it ended" is_eq "$SECOND_ENDED" 1
check "within a second" le "${SECOND_SECONDS:-99}" 1.0
note "ended after ${SECOND_SECONDS:-?} s with exit code ${SECOND_CODE:-none}"
check "with exit code 0" is_eq "$SECOND_CODE" 0
check "the first instance was still running afterwards" is_eq "$FIRST_ALIVE_AFTER_SECOND" 1
check "and kept announcing itself after the second start" \
    test "$(presence_of "$PC_A" --field 6=1 --after "$T_SECOND" --before "$T_PHASE2" --count)" -ge 1
check "all of A's announcements came from one sender (one source port)" \
    is_eq "$(printf '%s\n' "$A_ON" | cut -f2 | sort -u | wc -l)" 1
check "no offline datagram from A before the quit" \
    is_eq "$(presence_of "$PC_A" --field 6=0 --before "$T_CLOSE" --count)" 0
finish

# ---------------------------------------------------------------------------------------------
begin "(f) host D with one interface in each of two subnets announces itself in both"
D_ON=$(presence_of "$PC_D" --field 6=1 --before "$T_PHASE2" --print t,src,dst)
for k in 1 2; do
    src=10.213.$k.4
    dst=$(vlan_broadcast "$k")
    n=$(printf '%s\n' "$D_ON" | awk -F'\t' -v s="$src" -v d="$dst" '$2 == s && $3 == d' | wc -l)
    note "from $src to $dst: $n"
    check "from $src to $dst once per cycle (2 or 3 in 7.6 s)" in_range "$n" 2 3
done
check "to no other address" is_eq "$(printf '%s\n' "$D_ON" | cut -f3 | sort -u | tr '\n' ' ')" "$BCAST1 $BCAST2 "
finish

# ---------------------------------------------------------------------------------------------
if [ "$CURRENT_OK" = 0 ] || [ "$FAILED" != 0 ]; then
    for h in A C D; do
        for f in "$(vlan_dir "$h")"/*.err; do
            [ -s "$f" ] && printf -- '--- %s\n%s\n' "$f" "$(tail -n 20 "$f")"
        done
    done
fi

vlan_down
begin "the virtual LAN is gone"
check "no namespace of this run is left" is_eq "$(ip netns list | grep -c -- "-$VLAN_SUFFIX\b")" 0
finish

printf '\n%d passed, %d failed\n' "$PASSED" "$FAILED"
[ "$FAILED" = 0 ]
