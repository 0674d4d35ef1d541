#!/usr/bin/env bash
# Network figures of the program on a virtual LAN: round trip of a text against a plain UDP echo and
# against the disk's own cost, CPU with 20 peers and under a presence flood of 2,000 users, peak memory.
# Prints a table; asserts nothing. Usage (as root): bench/net/run.sh PATH/TO/tobrik  (about 2.5 minutes)
#
# The LAN:   A 10.213.1.1   the program (headless) and the echo
#            B 10.213.1.2   the load: simulated colleagues
# calc and verdict take awk expressions whose $1.. are their arguments, hence the single quotes:
# shellcheck disable=SC2016
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
# The whole run stops itself (with its clean-up) after this many seconds.
VLAN_DEADLINE=${VLAN_DEADLINE:-300}
# shellcheck source=tests/vlan/vlan.sh
. "$ROOT/tests/vlan/vlan.sh"

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 PATH/TO/tobrik (the built program)" >&2
    exit 2
fi
VLAN_TOBRIK=$(realpath "$1")
VLAN_TOBRIK_TIMEOUT=$((VLAN_DEADLINE - 10))
LOADGEN=$HERE/loadgen.py

ROUNDS=${BENCH_ROUNDS:-1000}  # round trips, one after another
PARTNERS=${BENCH_PARTNERS:-4} # simulated writers of those texts
USERS=${BENCH_USERS:-2000}    # presence flood
IDLE_PEERS=${BENCH_IDLE_PEERS:-20}
SECONDS_EACH=${BENCH_SECONDS:-60}
ECHO_PORT=18190

IP_A=10.213.1.1
BCAST=$(vlan_broadcast 1)
HZ=$(getconf CLK_TCK)

# --- helpers --------------------------------------------------------------------------------------

# user + system time of a process, in clock ticks (fields 14 and 15 of its stat line)
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null; }
status_mb() { awk -v k="$2:" '$1 == k { printf "%.1f", $2 / 1024 }' "/proc/$1/status" 2>/dev/null; }
# UDP datagrams delivered to sockets in host A, and those dropped (a full receive buffer counts as an error).
udp_counts() {
    ip netns exec "$(vlan_ns A)" awk '/^Udp: / { if (!h) { for (i = 2; i <= NF; i++) c[$i] = i; h = 1 }
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
alive() {
    if ! kill -0 "$PID" 2>/dev/null; then
        echo "the program ended during '$1'; its error output:" >&2
        tail -n 20 "$(vlan_dir A)/tobrik.err" >&2
        exit 1
    fi
}

FORMAT='%-22s %9s %9s %5s %6s %6s %9s %7s %9s %7s %5s %8s'
ROWS=()
# scenario LABEL COUNT-KEY LOADGEN-ARGS...: runs the load in B and measures the program in A. The load's
# figure COUNT-KEY is the number of datagrams it offered. Sets OUT (the load's figures), CPU, WALL, DROPS.
scenario() {
    local label=$1 key=$2 c0 c1 t0 t1 rx0 rx1 dr0 dr1 n
    shift 2
    alive "$label"
    c0=$(cpu_ticks "$PID")
    read -r rx0 dr0 < <(udp_counts)
    t0=$(vlan_now)
    OUT=$(vlan_run B timeout 200 "$VLAN_PYTHON" "$LOADGEN" "$@")
    sleep 1 # what is still queued counts too
    t1=$(vlan_now)
    c1=$(cpu_ticks "$PID")
    read -r rx1 dr1 < <(udp_counts)
    alive "$label"
    printf '  %-22s %s\n' "$label" "${OUT:-(no figures)}" >&2
    n=$(kv "$OUT" "$key")
    WALL=$(calc '%.1f' '$2 - $1' "$t0" "$t1")
    CPU=$(calc '%.2f' '($2 - $1) / $3' "$c0" "$c1" "$HZ")
    DROPS=$((dr1 - dr0))
    # shellcheck disable=SC2059
    ROWS+=("$(printf "$FORMAT" "$label" "$n" "$((rx1 - rx0))" "$DROPS" "$WALL" "$CPU" \
        "$(calc '%.3f' '$2 > 0 ? $1 * 10000 / $2 : 0' "$CPU" "$n")" "$(calc '%.3f' '$1 * 100 / $2' "$CPU" "$WALL")" \
        "$(kv "$OUT" median_ms)" "$(kv "$OUT" p99_ms)" "$(kv "$OUT" lost)" "$(status_mb "$PID" VmHWM)")")
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

vlan_host A 1:1
vlan_host B 1:2
vlan_start_tobrik A || exit 1
PID=$VLAN_PID
vlan_spawn A echo "$VLAN_TOBRIK_TIMEOUT" "$ECHO_BIN" "$ECHO_PORT" "$VLAN_TOBRIK_TIMEOUT" || exit 1

printf 'program: %s\n' "$VLAN_TOBRIK" >&2
READY=$(vlan_run B timeout 20 "$VLAN_PYTHON" "$LOADGEN" wait --from "$IP_A" --seconds 15)
if [ "$(kv "$READY" ready)" != 1 ]; then
    echo "the program in A sent no presence within 15 s" >&2
    tail -n 20 "$(vlan_dir A)/tobrik.err" >&2
    exit 1
fi
sleep 2 # start-up work (logs, settings) is not the idle load
START_MB=$(status_mb "$PID" VmRSS)

scenario "idle: $IDLE_PEERS peers" sent announce --to "$BCAST" --users "$IDLE_PEERS" --seconds "$SECONDS_EACH" \
    --prefix id --watch "$IP_A"
IDLE_PCT=$(calc '%.3f' '$1 * 100 / $2' "$CPU" "$WALL")
IDLE_LISTED=$(kv "$OUT" listed)

scenario "round trip: echo" answered rtt --to "$IP_A" --count "$ROUNDS" --echo-port "$ECHO_PORT"
ECHO_MEDIAN=$(kv "$OUT" median_ms)
ECHO_P99=$(kv "$OUT" p99_ms)
ECHO_LOST=$(kv "$OUT" lost)

# disk_floor LABEL: what the disk alone costs a received text, two whole files flushed and renamed as
# the program saves them. Taken before and after the program's round trips: other disk users vary it.
disk_floor() {
    mkdir -p "$(vlan_dir A)/cache/store"
    OUT=$(vlan_run A timeout 60 "$VLAN_PYTHON" "$LOADGEN" store --dir "$(vlan_dir A)/cache/store" --count 200)
    printf '  %-22s %s\n' "$1" "${OUT:-(no figures)}" >&2
    # shellcheck disable=SC2059
    ROWS+=("$(printf "$FORMAT" "$1" - - - - - - - "$(kv "$OUT" median_ms)" "$(kv "$OUT" p99_ms)" - -)")
    STORE+=("$(kv "$OUT" median_ms) / $(kv "$OUT" p99_ms)")
}
STORE=()

disk_floor "disk: before"
scenario "round trip: program" answered rtt --to "$IP_A" --count "$ROUNDS" --partners "$PARTNERS"
RT_MEDIAN=$(kv "$OUT" median_ms)
RT_P99=$(kv "$OUT" p99_ms)
RT_LOST=$(kv "$OUT" lost)
RT_FIRST=$(kv "$OUT" first100_median_ms)
RT_LAST=$(kv "$OUT" last100_median_ms)
LOGS_KB=$(du -sk "$(vlan_dir A)/data" | cut -f1)
disk_floor "disk: after"

scenario "flood: $USERS users" sent announce --to "$BCAST" --users "$USERS" --seconds "$SECONDS_EACH" \
    --prefix lt --watch "$IP_A"
FLOOD_PER10K=$(calc '%.3f' '$2 > 0 ? $1 * 10000 / $2 : 0' "$CPU" "$(kv "$OUT" sent)")
FLOOD_PCT=$(calc '%.3f' '$1 * 100 / $2' "$CPU" "$WALL")
FLOOD_DROPS=$DROPS
FLOOD_LISTED=$(kv "$OUT" listed)
FLOOD_BEHIND=$(kv "$OUT" max_behind_ms)
PEAK_MB=$(status_mb "$PID" VmHWM)
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

vlan_request A ProgramClose=1

# --- the table ------------------------------------------------------------------------------------

line() { printf '%-34s %-14s %-36s %s\n' "$@"; }
{
    printf '\nTobrik on a virtual LAN (kernel %s, %s cores, load average %s before, %s after)\n' \
        "$(uname -r)" "$(nproc)" "$LOAD_BEFORE" "$LOAD_AFTER"
    printf '%s round trips from %s partners; %s s of presence per load\n' "$ROUNDS" "$PARTNERS" "$SECONDS_EACH"
    # shellcheck disable=SC2059
    printf "$FORMAT\n" scenario datagrams delivered drops 'wall s' 'CPU s' 'CPU s/10k' '% core' 'median ms' \
        'p99 ms' lost 'VmHWM MB'
    printf '%s\n' "${ROWS[@]}"
    printf '(datagrams: offered by the load; delivered/drops: UDP datagrams host A took in / dropped meanwhile;\n'
    printf ' CPU: the program'"'"'s user+system time, also in the echo row (there the program idles);\n'
    printf ' disk: 200 times an inbox file and a 15 KB log written, flushed and renamed in A, as for a text)\n\n'
    line figure measured target ''
    line "round trip median" "$RT_MEDIAN ms" "<= 5 x echo ($ECHO_MEDIAN ms)" \
        "$(verdict '$1 <= 5 * $2 && $3 == 0' "$RT_MEDIAN" "$ECHO_MEDIAN" "$RT_LOST")"
    line "round trip 99th percentile" "$RT_P99 ms" "< 2 ms (echo: $ECHO_P99 ms)" \
        "$(verdict '$1 < 2 && $2 == 0' "$RT_P99" "$RT_LOST")"
    line "round trips lost (program / echo)" "$RT_LOST / $ECHO_LOST" "0" "$(verdict '$1 == 0' "$RT_LOST")"
    line "flood: CPU s per 10,000 datagrams" "$FLOOD_PER10K s" "<= 1 s" "$(verdict '$1 <= 1' "$FLOOD_PER10K")"
    line "flood: share of one core" "$FLOOD_PCT %" "<= 5 %" "$(verdict '$1 <= 5' "$FLOOD_PCT")"
    line "idle: share of one core" "$IDLE_PCT %" "< 0.2 %" "$(verdict '$1 < 0.2' "$IDLE_PCT")"
    line "peak memory (VmHWM)" "$PEAK_MB MB" "< 60 MB" "$(verdict '$1 < 60' "$PEAK_MB")"
    printf '\nround trip median of the first / last 100 texts: %s / %s ms (logs in A afterwards: %s KB);\n' \
        "$RT_FIRST" "$RT_LAST" "$LOGS_KB"
    printf 'disk floor per text (median / 99th percentile): %s ms before, %s ms after the round trips\n' \
        "${STORE[0]:--}" "${STORE[1]:--}"
    printf 'flood: A dropped %s datagrams; the sender ran at most %s ms behind its schedule\n' "$FLOOD_DROPS" \
        "$FLOOD_BEHIND"
    printf 'online count the program announced: %s with %s peers, %s with %s users (itself included)\n' \
        "$IDLE_LISTED" "$IDLE_PEERS" "$FLOOD_LISTED" "$USERS"
    printf 'memory after start-up: %s MB resident\n' "$START_MB"
}
exit 0
