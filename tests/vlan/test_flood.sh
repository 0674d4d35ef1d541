#!/usr/bin/env bash
# End-to-end: a stranger floods the program with invented users and forged texts while a real colleague
# keeps writing and the user keeps typing. The program must keep answering: every message of the colleague
# acknowledged and stored, the online list at its cap, no forged sender stored beyond its limit, the log
# folder small. Peak memory, the time a key waits for the window and the rates are printed as figures.
# Usage: test_flood.sh PATH/TO/tobrik PATH/TO/tobrik_driver. Exit 0 all passed, 1 a failure, 77 skipped.
#
#   FLOOD_SECONDS  length of the flood (default 15; the long run takes 60)
#   FLOOD_USERS    invented users a minute, each announced once (default 100000)
#   FLOOD_TEXTS    forged texts a second (default 1000)
#   FLOOD_SOURCES  forged sender addresses the texts are drawn from at random, each with a sender of its
#                  own (default 8000, nearly all of 10.214.0.0/19: each address stays below the 60 texts a
#                  minute the program takes from one, so only the limit of 60 new partners a minute holds
#                  the flood back; 100 makes each address send ten a second and meet its own limit)
#
# The LAN:   A 10.213.1.1     the program with its scripted user, which presses a key every 50 ms
#            B 10.213.1.2     the stranger: announcements of invented users, and texts from addresses of
#                             10.214.0.0/19 (local to B, routed there from A), so acknowledgements reach it
#            C 10.213.1.3     the colleague: a text every 2 s, each waiting for its acknowledgement
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SECONDS_FLOOD=${FLOOD_SECONDS:-15}
USERS_PER_MIN=${FLOOD_USERS:-100000}
TEXTS_PER_S=${FLOOD_TEXTS:-1000}
SOURCES=${FLOOD_SOURCES:-8000}
SOURCE_NET=10.214.0.0/19
VLAN_DEADLINE=${VLAN_DEADLINE:-$((SECONDS_FLOOD + 70))}
# shellcheck disable=SC2034 # read by vlan.sh
VLAN_TOBRIK_TIMEOUT=$((SECONDS_FLOOD + 60))
LOADGEN="$HERE/../../bench/net/loadgen.py"
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"

vlan_programs "${1:-}" "${2:-}" driver

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"

vlan_host A
vlan_host B
vlan_host C
ip -n "$(vlan_ns B)" route add local "$SOURCE_NET" dev lo || exit 1
ip -n "$(vlan_ns A)" route add "$SOURCE_NET" via 10.213.1.2 || exit 1

DA=$(vlan_dir A)
DB=$(vlan_dir B)
DC=$(vlan_dir C)
FOLDER="$DA/data/tobrik"
ACKED="$DC/acked"
EVENTS="$DC/events"
: >"$ACKED"
: >"$EVENTS"

vlan_start_driver A || exit 1
PID_A=$VLAN_PID
WRAP_A=$VLAN_WRAPPER

# status_kb FIELD: a figure of the program's /proc status in kB (the namespaces share the process table).
status_kb() { awk -v f="$1:" '$1 == f { print $2 }' "/proc/$PID_A/status" 2>/dev/null; }
# online_count: the rows of the online list, as the window shows them; sets ONLINE (empty: no answer)
# and ONLINE_MS (how long the answer took, reading 5,000 rows included).
online_count() {
    local t0
    t0=$(vlan_now)
    ONLINE=
    vlan_ask A driver online '^end$' 20 && ONLINE=$(sed -n 's/^online \([0-9]*\)$/\1/p' <<<"$VLAN_REPLY" | head -1)
    ONLINE_MS=$(awk -v a="$t0" -v b="$(vlan_now)" 'BEGIN { printf "%d", (b - a) * 1000 }')
}

# udp_counts: A's UDP datagrams taken in and dropped for a full socket buffer, from its own namespace.
# shellcheck disable=SC2016
udp_counts() {
    ip netns exec "$(vlan_ns A)" awk '$1 == "Udp:" && $2 ~ /^[0-9]+$/ { print $2, $6; exit }' /proc/net/snmp
}
BEFORE_KB=$(status_kb VmRSS)
read -r UDP_IN_BEFORE UDP_DROP_BEFORE < <(udp_counts)
vlan_tell A driver "keyprobe start 50"
# The colleague's first message, acknowledged before the flood, shows the LAN works.
vlan_spawn C colleague "$VLAN_DEADLINE" "$VLAN_PYTHON" "$HERE/crash_peer.py" send --to 10.213.1.1 \
    --from 10.213.1.3 --acked "$ACKED" --events "$EVENTS" --seconds "$VLAN_DEADLINE" --wait-ms 1900 --rate 0.5 ||
    exit 1
PID_COLLEAGUE=$VLAN_PID
for ((i = 0; i < 250; i++)); do
    [ -s "$ACKED" ] && break
    sleep 0.02
done
vlan_check "the colleague's first message is acknowledged before the flood" test -s "$ACKED" || exit 1

# Each invented user announces itself once: its whole minute's worth at the rate asked.
vlan_spawn B users $((SECONDS_FLOOD + 10)) "$VLAN_PYTHON" "$LOADGEN" announce --to 10.213.1.1 \
    --users "$USERS_PER_MIN" --every 60 --seconds "$SECONDS_FLOOD" --prefix fk || exit 1
WRAP_USERS=$VLAN_WRAPPER
vlan_spawn B texts $((SECONDS_FLOOD + 10)) "$VLAN_PYTHON" "$HERE/flood_peer.py" texts --to 10.213.1.1 \
    --rate "$TEXTS_PER_S" --seconds "$SECONDS_FLOOD" --sources "$SOURCES" --source-net "$SOURCE_NET" || exit 1
WRAP_TEXTS=$VLAN_WRAPPER

# Halfway the list is full; asking then also shows the window answers a big request under the flood.
sleep "$(awk -v s="$SECONDS_FLOOD" 'BEGIN { printf "%.1f", s / 2 }')"
online_count
MID_ONLINE=$ONLINE
MID_ONLINE_MS=$ONLINE_MS
MID_RSS_KB=$(status_kb VmRSS)
vlan_check "halfway through the flood the window answers and lists at most 5,001 users (${MID_ONLINE:-none})" \
    test -n "$MID_ONLINE" -a "${MID_ONLINE:-99999}" -le 5001

wait "$WRAP_USERS"
USERS_RC=$?
wait "$WRAP_TEXTS"
TEXTS_RC=$?
USERS_LINE=$(cat "$DB/users.out")
TEXTS_LINE=$(cat "$DB/texts.out")
vlan_check "the invented users were all sent ($USERS_LINE)" test "$USERS_RC" = 0
vlan_check "the forged texts were all sent ($TEXTS_LINE)" test "$TEXTS_RC" = 0

vlan_ask A driver "keyprobe stop" '^keyprobe ' 10 || VLAN_REPLY=
KEYS=$(grep '^keyprobe ' <<<"$VLAN_REPLY")
key_figure() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" <<<"$KEYS"; }
# One key may have been posted just before the probe stopped.
vlan_check "every key was handled during the flood ($KEYS)" test -n "$KEYS" -a "$(key_figure n)" -gt 0 -a \
    "$(key_figure pending)" -le 1

# The colleague stops writing; its last message gets its time for the acknowledgement.
kill -USR1 "$PID_COLLEAGUE"
for ((i = 0; i < 150; i++)); do
    SENT=$(sed -n 's/^sent //p' "$EVENTS")
    [ -n "$SENT" ] && break
    sleep 0.02
done
ACKS=$(wc -l <"$ACKED")
MISSED=$(grep -c '^miss ' "$EVENTS")
vlan_check "every one of the colleague's $SENT messages is acknowledged within 1.9 s ($MISSED not)" \
    test -n "$SENT" -a "$MISSED" = 0 -a "$ACKS" = "$SENT"

online_count
vlan_check "after the flood the window answers and lists at most 5,001 users (${ONLINE:-none})" \
    test -n "$ONLINE" -a "${ONLINE:-99999}" -le 5001
vlan_ask A driver inbox '^end$' 10 || VLAN_REPLY=
vlan_check "the colleague is in the inbox the window shows" grep -qF "auf PC-K1 (" <<<"$VLAN_REPLY"

read -r UDP_IN_AFTER UDP_DROP_AFTER < <(udp_counts)
HWM_KB=$(status_kb VmHWM)
RSS_KB=$(status_kb VmRSS)
# The program's own memory is bounded by its caps, not by the length of the flood; 100 MB is the
# target, and the measured peak sits far enough below it that only a fault reaches it.
vlan_check "peak memory under 100 MB (VmHWM $((${HWM_KB:-0} / 1024)) MB)" test -n "$HWM_KB" -a "${HWM_KB:-0}" -lt 102400

vlan_tell A driver quit
vlan_wait_exit "$PID_A" "$WRAP_A" 20
vlan_check "the program quits normally after the flood" test "${VLAN_EXIT_CODE:-1}" = 0

# What the program kept: the colleague's messages, each once; of the forged senders at most 60 new ones
# and of each at most 60 messages, per started minute of the flood.
STORED=$("$VLAN_PYTHON" "$HERE/crash_peer.py" check --folder "$FOLDER" --acked "$ACKED" --partners 1 --final \
    --sent "${SENT:-0}")
vlan_check "every acknowledged message of the colleague is stored once, whole (${STORED%%$'\n'*})" test $? = 0 ||
    sed -n '2,$p' <<<"$STORED"
LIMIT=$((60 * (SECONDS_FLOOD / 60 + 1)))
read -r FAKE_FILES FAKE_MSGS FAKE_MAX < <(
    shopt -s nullglob
    for f in "$FOLDER"/fl*_PC-FL*; do grep -c '^Nachricht von ' "$f"; done |
        awk '{ n++; s += $1; if ($1 > m) m = $1 } END { printf "%d %d %d\n", n, s, m }'
)
KEPT_MAX=$((SOURCES < LIMIT ? SOURCES : LIMIT))
vlan_check "at most $KEPT_MAX forged senders with at most $LIMIT messages each are stored ($FAKE_FILES senders, $FAKE_MSGS messages, at most $FAKE_MAX each)" \
    test "$FAKE_FILES" -le "$KEPT_MAX" -a "$FAKE_MAX" -le "$LIMIT"
DISK_KB=$(du -sk "$FOLDER" | cut -f1)
FILES=$(find "$FOLDER" -type f | wc -l)
# Per forged sender at most its limit of short messages: a few kB each, far below this.
vlan_check "the log folder stays small ($DISK_KB kB in $FILES files)" test "$DISK_KB" -lt $((KEPT_MAX * LIMIT / 4 + 1024))

figure() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" <<<"$2"; }
USERS_RATE=$(awk -v n="$(figure sent "$USERS_LINE")" -v s="$(figure seconds "$USERS_LINE")" \
    'BEGIN { printf "%d", (s > 0 ? n / s * 60 : 0) }')
printf '\nflood %s s: invented users offered %s/min (asked %s/min, sending at most %s ms behind); forged texts offered %s/s (asked %s/s from %s addresses), acknowledged %s/s, %s stored; A took in %s datagrams, dropped %s for want of buffer room; ' \
    "$(figure seconds "$TEXTS_LINE")" "$USERS_RATE" "$USERS_PER_MIN" "$(figure max_behind_ms "$USERS_LINE")" \
    "$(figure offered "$TEXTS_LINE")" "$TEXTS_PER_S" "$SOURCES" "$(figure acked_per_s "$TEXTS_LINE")" "$FAKE_MSGS" \
    "$((UDP_IN_AFTER - UDP_IN_BEFORE))" "$((UDP_DROP_AFTER - UDP_DROP_BEFORE))"
printf 'key response median %s ms, p99 %s ms, max %s ms over %s keys (target 100 ms); online list %s halfway (answered in %s ms), %s after; ' \
    "$(key_figure median_ms)" "$(key_figure p99_ms)" "$(key_figure max_ms)" "$(key_figure n)" \
    "${MID_ONLINE:-?}" "$MID_ONLINE_MS" "${ONLINE:-?}"
printf 'memory VmRSS %s MB before, %s MB halfway, %s MB after, peak VmHWM %s MB (target 100 MB); colleague: %s; disk %s kB in %s files\n' \
    "$((${BEFORE_KB:-0} / 1024))" "$((${MID_RSS_KB:-0} / 1024))" "$((${RSS_KB:-0} / 1024))" "$((${HWM_KB:-0} / 1024))" \
    "${STORED%%$'\n'*}" "$DISK_KB" "$FILES"
vlan_down
vlan_summary
