#!/usr/bin/env bash
# A small virtual office on a LAN of network namespaces: Tobrik (headless, with a scripted user) and
# two simulated colleagues. Prints what happens, keeps the logs, tears the office down, exits 0.
# Nothing is sent on this machine's own network. Needs root. Usage: demo.sh [BUILD-DIR]
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
# The whole run stops itself (with its clean-up) after this many seconds; a test gives a shorter one.
VLAN_DEADLINE=${VLAN_DEADLINE:-120}
# shellcheck source=tests/vlan/vlan.sh
. "$ROOT/tests/vlan/vlan.sh"
VLAN_TOBRIK=$BUILD/tobrik
VLAN_DRIVER=$BUILD/tests/vlan/tobrik_driver

say() { printf '%s\n' "$*"; }
fail() {
    say "The demonstration stopped: $*"
    vlan_down
    exit 1
}
rows() { printf '%s\n' "$VLAN_REPLY" | sed -n 's/^row [0-9]* /      /p'; }

rc=0
vlan_init || rc=$?
if [ "$rc" = 77 ]; then
    say "The virtual office needs root and network namespaces (ip netns); run it with sudo."
    exit 1
fi
[ "$rc" = 0 ] || exit "$rc"

vlan_host A 1:1
vlan_host B 1:2
vlan_host C 1:3
BCAST=$(vlan_broadcast 1)
say "A virtual office on the private subnet 10.213.1.0/24 (it exists only inside network namespaces):"
say "  PC-A  10.213.1.1  Tobrik, headless, with a scripted user"
say "  PC-B  10.213.1.2  Anna Muster, who answers every message"
say "  PC-C  10.213.1.3  Bernd Kurz, who writes one message"
say ""

vlan_start_driver A || fail "Tobrik did not start: $(cat "$(vlan_dir A)/driver.err" 2>/dev/null)"
vlan_peer B anna 60 listen --port 18181 --port 18183 --ack --seconds 55 --announce "$BCAST" --every 3 \
    --user amuster --name "Anna Muster" --pc PC-B --reply "Ja, ich komme um 10." \
    --out "$(vlan_dir B)/anna.jsonl" --offline-at-end || fail "Anna's PC did not start"
vlan_peer C bernd 60 presence --to "$BCAST" --every 3 --count 18 --user bkurz --name "Bernd Kurz" --pc PC-C ||
    fail "Bernd's PC did not start"

# Who is seen: wait until both colleagues are in Tobrik's online list.
for _ in $(seq 50); do
    vlan_ask A driver online '^end$' 5 || fail "Tobrik does not answer"
    if printf '%s\n' "$VLAN_REPLY" | grep -q ' auf PC-B ' && printf '%s\n' "$VLAN_REPLY" | grep -q ' auf PC-C '; then
        break
    fi
    sleep 0.1
done
say "1. Tobrik's online list, built from the presence announcements (one every 3 s per PC):"
rows
say ""

say "2. The user opens Anna from the online list, types a message and presses Enter."
vlan_ask A driver "open-online PC-B" '^opened' 5 || fail "the conversation did not open"
vlan_tell A driver "type Hallo Anna, kommst du um 10 zur Besprechung?"
vlan_tell A driver "key Return"
vlan_ask A driver wait-idle '^idle$' 6 || fail "the send did not end"
if grep -q '^dialog' "$(vlan_dir A)/driver.out"; then
    fail "Tobrik reported: $(grep '^dialog' "$(vlan_dir A)/driver.out" | head -n 1 | cut -d' ' -f2-)"
fi
ACK=$(grep -c '"sent": "TB1|Angekommen|PC-B|' "$(vlan_dir B)/anna.jsonl")
say "   The text datagram went to PC-B (10.213.1.2, the address its presence came from), port 18182."
say "   Anna's PC acknowledged it (\"TB1|Angekommen|PC-B|<id>\"); only then did Tobrik count it as sent"
say "   and log it. Acknowledgements Anna sent: ${ACK:-?}."
say ""

say "3. Anna answers; Tobrik stores the answer, then acknowledges it."
for _ in $(seq 50); do
    vlan_ask A driver inbox '^end$' 5 || fail "Tobrik does not answer"
    printf '%s\n' "$VLAN_REPLY" | grep -q ' auf PC-B ' && break
    sleep 0.1
done
ACKED=$(grep -c '"src": "10.213.1.1", "sport": [0-9]*, "dst": "10.213.1.2", "port": 18183' "$(vlan_dir B)/anna.jsonl")
say "   Acknowledgements from Tobrik that reached Anna's PC: $ACKED."
say ""

say "4. Bernd writes to Tobrik from PC-C."
OUT=$(vlan_run C timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz \
    --name "Bernd Kurz" --pc PC-C --text "Gehen wir um 12 essen?" --expect-pc PC-A 2>&1)
if printf '%s' "$OUT" | grep -q '"ack": true'; then
    RTT=$(printf '%s' "$OUT" | sed -n 's/.*"rtt_ms": \([0-9.]*\).*/\1/p')
    say "   Tobrik acknowledged it as PC-A after ${RTT} ms, having stored it in the log and the inbox."
else
    say "   Tobrik did not acknowledge it: $OUT"
fi
sleep 0.3
vlan_ask A driver inbox '^end$' 5
say "   Tobrik's inbox (partners with unread messages, newest first):"
rows
say ""

# New messages wait in a journal beside each log until the program folds them in, at the latest when
# it quits; so the logs are shown as they are after the end.
vlan_tell A driver quit
for _ in $(seq 100); do
    kill -0 "$(cat "$(vlan_dir A)/driver.pid")" 2>/dev/null || break
    sleep 0.05
done
say "5. Tobrik quit and announced itself offline."
KEEP=$(mktemp -d /tmp/tobrik-demo-logs.XXXXXX)
cp -a "$(vlan_dir A)/data/tobrik/." "$KEEP/"
chmod -R a+rX "$KEEP"
say "   The logs, one file per partner plus the inbox file Eingang.txt, are kept in $KEEP:"
for f in "$KEEP"/*; do
    say "   $(basename "$f")"
done
LOG_B=$(ls "$KEEP"/*_PC-B.log 2>/dev/null | head -n 1)
if [ -n "$LOG_B" ]; then
    say "   The conversation with Anna, newest first:"
    sed -e 's/\r$//' -e '1s/^\xEF\xBB\xBF//' "$LOG_B" | tr '\r' '\n' | sed 's/^/      /'
fi
say ""
say "6. With Tobrik gone, the office is torn down."
vlan_down
exit 0
