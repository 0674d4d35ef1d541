#!/usr/bin/env bash
# Network figures of the program side by side with iptux (an IP Messenger client) and a plain C UDP echo,
# under the same loads on a virtual LAN: idle with 20 peers, 2,000 users announcing every 3 s, 1,000 and
# 3,000 acknowledged texts one after another; with the disk's own flush time and the machine's load average
# of the same run. Prints one table; asserts nothing.
#
# Usage (as root): bench/net/run.sh PATH/TO/tobrik      about 8 minutes
#                  BENCH_QUICK=1 bench/net/run.sh ...   about 2 minutes: 100 texts, 10 s per presence load
#
# The LAN:   A 10.213.1.1   the program (headless) and the echo
#            B 10.213.1.2   the load: simulated colleagues; for IP Messenger each user sends from an address
#                           of its own in 10.214.0.0/19 (IP Messenger tells users apart by address), a range
#                           that is local to B and routed to it from A and I. The program takes at most 60
#                           texts a minute from one address, so its texts come in turn from 4,000 of them.
#            I 10.213.1.3   iptux on a virtual X display (Xvfb) with its own session bus and HOME
# Nothing runs in the machine's own network namespace; the LAN is torn down on every exit.
# calc and verdict take awk expressions whose $1.. are their arguments, hence the single quotes:
# shellcheck disable=SC2016
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
# The whole run stops itself (with its clean-up) after this many seconds.
VLAN_DEADLINE=${VLAN_DEADLINE:-1200}
# shellcheck source=tests/vlan/vlan.sh
. "$ROOT/tests/vlan/vlan.sh"

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 PATH/TO/tobrik (the built program)" >&2
    exit 2
fi
VLAN_TOBRIK=$(realpath "$1")
VLAN_TOBRIK_TIMEOUT=$((VLAN_DEADLINE - 10))
LOADGEN=$HERE/loadgen.py

if [ "${BENCH_QUICK:-0}" = 1 ]; then
    : "${BENCH_ROUNDS:=100}" "${BENCH_ROUNDS_LONG:=200}" "${BENCH_SECONDS:=10}"
fi
ROUNDS=${BENCH_ROUNDS:-1000}           # texts one after another, first conversation
ROUNDS_LONG=${BENCH_ROUNDS_LONG:-3000} # the same, a second conversation: does the cost grow with its length?
PARTNERS=${BENCH_PARTNERS:-1}          # writers of each conversation's texts
USERS=${BENCH_USERS:-2000}             # presence flood
IDLE_PEERS=${BENCH_IDLE_PEERS:-20}
SECONDS_EACH=${BENCH_SECONDS:-60}
ECHO_PORT=18190

IP_A=10.213.1.1
IP_I=10.213.1.3
BCAST=$(vlan_broadcast 1)
SOURCE_NET=10.214.0.0/19
HZ=$(getconf CLK_TCK)
# Ranges of simulated IP Messenger users in SOURCE_NET, one per load, so no load meets users of another.
FIRST_FLOOD=1
FIRST_IDLE=3001
FIRST_RT=3501
FIRST_RT_LONG=3601
FIRST_WAIT=3900
FIRST_ROTATE=4097 # .. 8096: the senders of the program's texts
ROTATE=4000

# --- helpers --------------------------------------------------------------------------------------

# user + system time of a process (all its threads), in clock ticks (fields 14 and 15 of its stat line)
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null; }
status_mb() { awk -v k="$2:" '$1 == k { printf "%.1f", $2 / 1024 }' "/proc/$1/status" 2>/dev/null; }
# UDP datagrams delivered to sockets in a host, and those dropped (a full receive buffer counts as an error).
udp_counts() {
    ip netns exec "$(vlan_ns "$1")" awk '/^Udp: / { if (!h) { for (i = 2; i <= NF; i++) c[$i] = i; h = 1 }
        else print $c["InDatagrams"], $c["InErrors"] }' /proc/net/snmp
}
# kv LINE KEY: the value of KEY=... in a figures line of the load, "-" when it has none.
kv() {
    local v
    v=$(printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p" | head -n 1)
    printf '%s\n' "${v:--}"
}
isnum() { [[ $1 =~ ^-?[0-9]+(\.[0-9]+)?$ ]]; }
# calc FORMAT EXPR VALUE...: EXPR with $1.. replaced by the values; "-" when one of them is no number.
calc() {
    local fmt=$1 expr=$2 v
    shift 2
    for v in "$@"; do
        isnum "$v" || {
            echo -
            return
        }
    done
    expr=${expr//\$1/(x1 + 0)}
    expr=${expr//\$2/(x2 + 0)}
    expr=${expr//\$3/(x3 + 0)}
    awk -v fmt="$fmt" -v x1="${1:-0}" -v x2="${2:-0}" -v x3="${3:-0}" "BEGIN { printf fmt, ($expr) }"
}
# verdict EXPR VALUE...: "met" or "MISSED", "no figure" when a value is missing.
verdict() {
    local r
    r=$(calc '%d' "$@")
    case $r in
        1) echo met ;;
        0) echo MISSED ;;
        *) echo "no figure" ;;
    esac
}

# The three programs under test: where each runs and its process id ("" when it could not start).
declare -A HOST=([program]=A [iptux]=I [echo]=A)
declare -A PID=([program]="" [iptux]="" [echo]="")
declare -A WHY=([program]="" [iptux]="" [echo]="") # why a column has no figures
declare -A R=()                                    # R[LOAD:TARGET:FIGURE]
TARGETS=(program iptux echo)
XVFB_PID=

up() {
    local t=$1
    [ -n "${PID[$t]}" ] || return 1
    if ! kill -0 "${PID[$t]}" 2>/dev/null; then
        WHY[$t]="ended during the run; see the error output above"
        echo "$t ended during the run; its error output:" >&2
        tail -n 20 "$(vlan_dir "${HOST[$t]}")/$t.err" >&2
        PID[$t]=""
        return 1
    fi
}

# measure LOAD TARGET COUNT-KEY LOADGEN-ARGS...: runs the load in B against one of the programs and
# measures that program. The load's figure COUNT-KEY is the number of datagrams it offered.
measure() {
    local load=$1 t=$2 key=$3 pid c0 c1 x0 x1 t0 t1 rx0 rx1 dr0 dr1 out n cpu wall
    shift 3
    up "$t" || return 0
    pid=${PID[$t]}
    c0=$(cpu_ticks "$pid")
    x0=$([ "$t" = iptux ] && cpu_ticks "$XVFB_PID")
    read -r rx0 dr0 < <(udp_counts "${HOST[$t]}")
    t0=$(vlan_now)
    out=$(vlan_run B timeout 430 "$VLAN_PYTHON" "$LOADGEN" "$@")
    sleep 1 # what is still queued counts too
    t1=$(vlan_now)
    c1=$(cpu_ticks "$pid")
    x1=$([ "$t" = iptux ] && cpu_ticks "$XVFB_PID")
    read -r rx1 dr1 < <(udp_counts "${HOST[$t]}")
    up "$t" || return 0
    printf '  %-12s %-8s %s\n' "$load" "$t" "${out:-(no figures)}" >&2
    n=$(kv "$out" "$key")
    wall=$(calc '%.1f' '$2 - $1' "$t0" "$t1")
    cpu=$(calc '%.2f' '($2 - $1) / $3' "$c0" "$c1" "$HZ")
    R[$load:$t:offered]=$n
    R[$load:$t:delivered]=$((rx1 - rx0))
    R[$load:$t:drops]=$((dr1 - dr0))
    R[$load:$t:cpu_s]=$cpu
    R[$load:$t:pct]=$(calc '%.3f' '$1 * 100 / $2' "$cpu" "$wall")
    R[$load:$t:per10k]=$(calc '%.3f' '$2 > 0 ? $1 * 10000 / $2 : 0' "$cpu" "$n")
    R[$load:$t:xpct]=$(calc '%.3f' '$1 * 100 / $2' "$(calc '%.2f' '($2 - $1) / $3' "$x0" "$x1" "$HZ")" "$wall")
    R[$load:$t:rss]=$(status_mb "$pid" VmRSS)
    local f
    for f in median_ms p99_ms lost answered first100_median_ms last100_median_ms listed cpu_first100_ms \
        cpu_last100_ms cpu_per_text_ms; do
        R[$load:$t:$f]=$(kv "$out" "$f")
    done
}

# disk_floor LABEL: what the disk alone costs a received text, measured in A: two whole files written,
# flushed and renamed (as the program saved a text when this was written), one record appended to a
# journal and flushed, and one record written into room kept on disk and flushed (as the program's
# journal does now), also after a pause. Taken before each conversation and after the round trips: other
# disk users vary it, and on a virtual machine the first flushes after a pause cost several times as
# much, so each conversation starts from the disk as busy as the other's.
disk_floor() {
    local out
    mkdir -p "$(vlan_dir A)/cache/store"
    out=$(vlan_run A timeout 120 "$VLAN_PYTHON" "$LOADGEN" store --dir "$(vlan_dir A)/cache/store" --count 200)
    printf '  %-12s %-8s %s\n' "$1" disk "${out:-(no figures)}" >&2
    R[$1:whole]="$(kv "$out" median_ms) / $(kv "$out" p99_ms)"
    R[$1:append]="$(kv "$out" append_median_ms) / $(kv "$out" append_p99_ms)"
    R[$1:room]="$(kv "$out" room_median_ms) / $(kv "$out" room_p99_ms)"
    R[$1:room_median]=$(kv "$out" room_median_ms)
    R[$1:pause]=$(kv "$out" after_pause_mean_ms)
}

# iptux on a virtual display in host I. Its answers are checked before any load: it must answer an entry.
start_iptux() {
    local d n i bus
    if ! "$HERE/deps.sh"; then
        WHY[iptux]="not installed (bench/net/deps.sh)"
        return 1
    fi
    d=$(vlan_dir I)
    # The display's socket is abstract, so private to I's network namespace; only its lock file in /tmp is
    # shared with the machine, hence a number nobody holds.
    for ((i = 0; i < 50; i++)); do
        n=$((300 + RANDOM % 600))
        [ -e "/tmp/.X$n-lock" ] || break
    done
    vlan_spawn I xvfb "$VLAN_TOBRIK_TIMEOUT" Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -nolisten unix || {
        WHY[iptux]="Xvfb did not start"
        return 1
    }
    XVFB_PID=$VLAN_PID
    for ((i = 0; i < 100; i++)); do
        vlan_run I env DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    bus="unix:path=$d/runtime/bus"
    vlan_spawn I dbus "$VLAN_TOBRIK_TIMEOUT" dbus-daemon --session --nofork --address="$bus" || {
        WHY[iptux]="no session bus"
        return 1
    }
    # No accessibility bridge: the program runs headless without one too.
    vlan_spawn I iptux "$VLAN_TOBRIK_TIMEOUT" env DISPLAY=":$n" DBUS_SESSION_BUS_ADDRESS="$bus" NO_AT_BRIDGE=1 \
        GTK_A11Y=none iptux || {
        WHY[iptux]="did not start"
        return 1
    }
    PID[iptux]=$VLAN_PID
    local ready
    ready=$(vlan_run B timeout 25 "$VLAN_PYTHON" "$LOADGEN" wait --proto ipmsg --from "$IP_I" --seconds 20 \
        --source-net "$SOURCE_NET" --source-first "$FIRST_WAIT")
    if [ "$(kv "$ready" ready)" != 1 ]; then
        WHY[iptux]="did not answer an entry within 20 s"
        echo "iptux in I did not answer an entry within 20 s; its error output:" >&2
        tail -n 20 "$d/iptux.err" >&2
        PID[iptux]=""
        return 1
    fi
    printf 'iptux: %s, display :%s\n' "$(iptux --version 2>/dev/null | head -n 1)" "$n" >&2
}

# --- the run --------------------------------------------------------------------------------------

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"

ECHO_BIN=$VLAN_TMP/udp_echo
if ! cc -O2 -Wall -Wextra -o "$ECHO_BIN" "$HERE/udp_echo.c"; then
    echo "cannot build the echo (needs a C compiler)" >&2
    exit 1
fi
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
DATE=$(date -u '+%Y-%m-%d %H:%M UTC')

vlan_host A 1:1
vlan_host B 1:2
vlan_host I 1:3
# B answers for every address of the simulated users; A and I reach them through B.
ip -n "$(vlan_ns B)" route add local "$SOURCE_NET" dev lo || exit 1
ip -n "$(vlan_ns A)" route add "$SOURCE_NET" via 10.213.1.2 || exit 1
ip -n "$(vlan_ns I)" route add "$SOURCE_NET" via 10.213.1.2 || exit 1

vlan_start_tobrik A program || exit 1
PID[program]=$VLAN_PID
vlan_spawn A echo "$VLAN_TOBRIK_TIMEOUT" "$ECHO_BIN" "$ECHO_PORT" "$VLAN_TOBRIK_TIMEOUT" && PID[echo]=$VLAN_PID
start_iptux

printf 'program: %s\n' "$VLAN_TOBRIK" >&2
READY=$(vlan_run B timeout 20 "$VLAN_PYTHON" "$LOADGEN" wait --from "$IP_A" --seconds 15)
if [ "$(kv "$READY" ready)" != 1 ]; then
    echo "the program in A sent no presence within 15 s" >&2
    tail -n 20 "$(vlan_dir A)/program.err" >&2
    exit 1
fi
sleep 2 # start-up work (logs, settings) is not the idle load
START_MB=$(status_mb "${PID[program]}" VmRSS)
IPTUX_START_MB=$([ -n "${PID[iptux]}" ] && status_mb "${PID[iptux]}" VmRSS)

IM=(--proto ipmsg --source-net "$SOURCE_NET")
ROT=(--rotate "$ROTATE" --source-net "$SOURCE_NET" --source-first "$FIRST_ROTATE")

# Idle: a few colleagues announce themselves. The echo gets the same datagrams on its port.
measure idle program sent announce --to "$BCAST" --users "$IDLE_PEERS" --seconds "$SECONDS_EACH" \
    --prefix id --watch "$IP_A"
measure idle iptux sent announce --to "$BCAST" --users "$IDLE_PEERS" --seconds "$SECONDS_EACH" \
    --prefix id --watch "$IP_I" "${IM[@]}" --source-first "$FIRST_IDLE"
measure idle echo sent announce --to "$BCAST" --users "$IDLE_PEERS" --seconds "$SECONDS_EACH" \
    --prefix id --port "$ECHO_PORT"

measure flood program sent announce --to "$BCAST" --users "$USERS" --seconds "$SECONDS_EACH" \
    --prefix lt --watch "$IP_A"
measure flood iptux sent announce --to "$BCAST" --users "$USERS" --seconds "$SECONDS_EACH" \
    --prefix lt --watch "$IP_I" "${IM[@]}" --source-first "$FIRST_FLOOD"
measure flood echo sent announce --to "$BCAST" --users "$USERS" --seconds "$SECONDS_EACH" \
    --prefix lt --port "$ECHO_PORT"

disk_floor "disk before"
# Two conversations, each with writers of its own, so the second starts from an empty log.
measure rt program answered rtt --cpu-pid "${PID[program]}" --to "$IP_A" --count "$ROUNDS" --partners "$PARTNERS" --prefix ra "${ROT[@]}"
measure rt iptux answered rtt --cpu-pid "${PID[iptux]:-0}" --to "$IP_I" --count "$ROUNDS" --partners "$PARTNERS" --prefix ra \
    "${IM[@]}" --source-first "$FIRST_RT"
measure rt echo answered rtt --cpu-pid "${PID[echo]:-0}" --to "$IP_A" --count "$ROUNDS" --echo-port "$ECHO_PORT"
disk_floor "disk between"
measure rtlong program answered rtt --cpu-pid "${PID[program]}" --to "$IP_A" --count "$ROUNDS_LONG" --partners "$PARTNERS" --prefix rb "${ROT[@]}"
measure rtlong iptux answered rtt --cpu-pid "${PID[iptux]:-0}" --to "$IP_I" --count "$ROUNDS_LONG" --partners "$PARTNERS" --prefix rb \
    "${IM[@]}" --source-first "$FIRST_RT_LONG"
measure rtlong echo answered rtt --cpu-pid "${PID[echo]:-0}" --to "$IP_A" --count "$ROUNDS_LONG" --echo-port "$ECHO_PORT"
LOGS_KB=$(du -sk "$(vlan_dir A)/data" | cut -f1)
IPTUX_HOME_KB=$(du -sk "$(vlan_dir I)/home" | cut -f1)
disk_floor "disk after"

for t in "${TARGETS[@]}"; do
    up "$t" && R[peak:$t]=$(status_mb "${PID[$t]}" VmHWM)
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

vlan_request A ProgramClose=1

# --- the table ------------------------------------------------------------------------------------

ROW='%-48s %15s %15s %15s\n'
# row LABEL FIGURE-KEY [LOAD]: one figure of each program; "-" where it has none.
row() {
    local label=$1 key=$2 t v vals=()
    for t in "${TARGETS[@]}"; do
        v=${R[$key:$t${3:+:$3}]:-}
        [ -n "$v" ] || v=-
        vals+=("$v")
    done
    # shellcheck disable=SC2059
    printf "$ROW" "$label" "${vals[@]}"
}
fig() {
    local load=$1 f=$2
    for t in "${TARGETS[@]}"; do R[$load:$f:$t]=${R[$load:$t:$f]:-}; done
}
for load in idle flood rt rtlong; do
    for f in offered delivered drops cpu_s pct per10k xpct rss median_ms p99_ms lost answered first100_median_ms \
        last100_median_ms listed cpu_first100_ms cpu_last100_ms cpu_per_text_ms; do
        fig "$load" "$f"
    done
done
for t in "${TARGETS[@]}"; do
    R[growth:$t]="${R[rtlong:$t:first100_median_ms]:--} / ${R[rtlong:$t:last100_median_ms]:--}"
    R[cpugrowth:$t]="${R[rtlong:$t:cpu_first100_ms]:--} / ${R[rtlong:$t:cpu_last100_ms]:--}"
    R[peak:x:$t]=${R[peak:$t]:-}
done
HEAD=$(calc '%d' '$1 / 10 < 100 ? ($1 / 10 < 1 ? 1 : int($1 / 10)) : 100' "$ROUNDS_LONG")

{
    printf '\nSide by side on a virtual LAN, %s (kernel %s, %s cores)\n' "$DATE" "$(uname -r)" "$(nproc)"
    printf 'load average (1, 5, 15 min): %s before, %s after\n\n' "$LOAD_BEFORE" "$LOAD_AFTER"
    # shellcheck disable=SC2059
    printf "$ROW" "load: figure" program iptux "C echo"
    row "idle, $IDLE_PEERS peers, ${SECONDS_EACH} s: % of one core" idle:pct
    row "  resident memory, MB" idle:rss
    row "  X server of iptux: % of one core" idle:xpct
    row "$USERS users every 3 s, ${SECONDS_EACH} s: % of one core" flood:pct
    row "  CPU s per 10,000 datagrams" flood:per10k
    row "  datagrams offered" flood:offered
    row "  datagrams dropped by the host" flood:drops
    row "  users listed (iptux: users answered)" flood:listed
    row "  resident memory, MB" flood:rss
    row "  X server of iptux: % of one core" flood:xpct
    row "$ROUNDS texts one after another: median, ms" rt:median_ms
    row "  99th percentile, ms" rt:p99_ms
    row "  CPU ms per text" rt:cpu_per_text_ms
    row "  answered" rt:answered
    row "  lost" rt:lost
    row "$ROUNDS_LONG texts, a new conversation: median, ms" rtlong:median_ms
    row "  99th percentile, ms" rtlong:p99_ms
    row "  median of texts 1-$HEAD / the last $HEAD, ms" growth
    row "  CPU ms per text, texts 1-$HEAD / the last $HEAD" cpugrowth
    row "  answered" rtlong:answered
    row "  lost" rtlong:lost
    row "peak memory (VmHWM), MB" peak:x
    for d in "whole:2 files written+flushed+renamed" "append:1 record appended+flushed" \
        "room:1 record written into room+flushed"; do
        printf '%-50s %s before, %s between, %s after\n' "disk: ${d#*:}, ms" "${R[disk before:${d%%:*}]:--}" \
            "${R[disk between:${d%%:*}]:--}" "${R[disk after:${d%%:*}]:--}"
    done
    printf '(median / 99th percentile of 200 each, in A)\n'
    printf '%-50s %s before, %s between, %s after\n\n' "disk: the same, the first 50 after a 2 s pause, mean ms" \
        "${R[disk before:pause]:--}" "${R[disk between:pause]:--}" "${R[disk after:pause]:--}"
    for t in "${TARGETS[@]}"; do
        [ -n "${WHY[$t]}" ] && printf 'no figures of %s: %s\n' "$t" "${WHY[$t]}"
    done
    printf 'program: the texts are TB1 text datagrams, each answered by an acknowledgement; the announcements\n'
    printf '  TB1 presence datagrams to the subnet broadcast. Memory after start-up %s MB; logs afterwards %s KB.\n' \
        "$START_MB" "$LOGS_KB"
    printf 'iptux: IPMSG_SENDMSG with IPMSG_SENDCHECKOPT, each answered by IPMSG_RECVMSG (the answered row counts\n'
    printf '  them); the announcements IPMSG_BR_ENTRY once per user, then IPMSG_BR_ABSENCE, each user from an\n'
    printf '  address of its own. Memory after start-up %s MB; its HOME afterwards %s KB.\n' \
        "${IPTUX_START_MB:--}" "$IPTUX_HOME_KB"
    printf 'C echo: the same datagrams to its port, each sent back unchanged; a round trip waits for the copy.\n'
    printf 'CPU: the process'"'"'s user+system time over the load plus one second; dropped: UDP datagrams the\n'
    printf '  host took in with no room in the socket (a program that keeps up drops none).\n\n'

    line() { printf '%-44s %-12s %-34s %s\n' "$@"; }
    # The cheapest durable write of a record, as the program writes it.
    FLOOR=$(calc '%.3f' '($1 + $2 + $3) / 3' "${R[disk before:room_median]:-}" "${R[disk between:room_median]:-}" \
        "${R[disk after:room_median]:-}")
    printf 'The program against its targets:\n'
    line figure measured target ''
    line "median round trip, $ROUNDS texts" "${R[rt:program:median_ms]:--} ms" "<= disk flush + 0.3 ($FLOOR ms)" \
        "$(verdict '$1 <= $2 + 0.3' "${R[rt:program:median_ms]:-}" "$FLOOR")"
    line "99th percentile, $ROUNDS texts" "${R[rt:program:p99_ms]:--} ms" "<= 3 x median" \
        "$(verdict '$1 <= 3 * $2' "${R[rt:program:p99_ms]:-}" "${R[rt:program:median_ms]:-}")"
    line "99th percentile, $ROUNDS_LONG texts" "${R[rtlong:program:p99_ms]:--} ms" "<= 3 x median" \
        "$(verdict '$1 <= 3 * $2' "${R[rtlong:program:p99_ms]:-}" "${R[rtlong:program:median_ms]:-}")"
    line "the last $HEAD texts against the first $HEAD" "${R[growth:program]} ms" "last <= 1.2 x first" \
        "$(verdict '$2 <= 1.2 * $1' "${R[rtlong:program:first100_median_ms]:-}" \
            "${R[rtlong:program:last100_median_ms]:-}")"
    line "  the same in CPU time per text" "${R[cpugrowth:program]} ms" "last <= 1.2 x first" \
        "$(verdict '$2 <= 1.2 * $1' "${R[rtlong:program:cpu_first100_ms]:-}" "${R[rtlong:program:cpu_last100_ms]:-}")"
    line "texts lost" "${R[rt:program:lost]:--} / ${R[rtlong:program:lost]:--}" 0 \
        "$(verdict '$1 + $2 == 0' "${R[rt:program:lost]:-}" "${R[rtlong:program:lost]:-}")"
    line "$USERS users: CPU s per 10,000 datagrams" "${R[flood:program:per10k]:--} s" "<= 1 s" \
        "$(verdict '$1 <= 1' "${R[flood:program:per10k]:-}")"
    line "$USERS users: share of one core" "${R[flood:program:pct]:--} %" "<= 5 %" \
        "$(verdict '$1 <= 5' "${R[flood:program:pct]:-}")"
    line "idle: share of one core" "${R[idle:program:pct]:--} %" "< 0.2 %" \
        "$(verdict '$1 < 0.2' "${R[idle:program:pct]:-}")"
    line "peak memory (VmHWM)" "${R[peak:program]:--} MB" "< 60 MB" "$(verdict '$1 < 60' "${R[peak:program]:-}")"
}
exit 0
