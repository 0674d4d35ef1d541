#!/usr/bin/env bash
# End-to-end sound: what the program plays reaches a real sound server. Host A runs a PulseAudio server
# of its own with a null sink "tobrik"; parec records the sink's monitor while the program runs in A, and
# measure.py compares each recording's sounding stretch with the wave file that should have played:
#   1. the real tobrik, sounds on: the start plays signin.wav, a message from B plays incoming.wav;
#   2. the driver (the program with a scripted user): the start plays signin.wav and nothing else until
#      the start-up phase is over; Ctrl+3 (busy) plays busy.wav; a message to the busy user is silent;
#      back online (Ctrl+1) the next message plays incoming.wav again;
#   3. the driver with "SoundsWiedergeben" off in the settings: start, message and Ctrl+3 are all silent.
# Usage: test_sound.sh PATH/TO/tobrik PATH/TO/tobrik_driver. Exit 0 all passed, 1 a failure, 77 skipped.
#
# The LAN:   A 10.213.1.1   the program, its PulseAudio server (unix socket in A's folder), parec
#            B 10.213.1.2   the colleague Bernd Kurz (peer.py), who writes
#
# Every PulseAudio client and the server run in A with A's private HOME and XDG folders; PULSE_SERVER names
# the private socket and autospawn is off, so no system or user instance is reached or started. Network
# namespaces do not separate the file system, so the socket path is all a client needs. As root PulseAudio
# warns that it is meant for a user's session and runs all the same (--system would mean the system-wide
# socket and configuration).
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"
MEASURE="$HERE/../sound/measure.py"
RATE=44100

vlan_programs "${1:-}" "${2:-}" driver

for tool in pulseaudio pactl parec; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: no PulseAudio server can be started: $tool is missing (Debian: pulseaudio pulseaudio-utils)"
        exit 77
    fi
done
# The program and the driver each look for "sounds/" beside their own file (the driver's is a link made by
# the build). The measurements compare with the program's copies.
SOUNDS="$(dirname "$VLAN_TOBRIK")/sounds"
for f in "$SOUNDS/signin.wav" "$(dirname "$VLAN_DRIVER")/sounds/incoming.wav"; do
    if [ ! -f "$f" ]; then
        echo "missing $f: build the targets tobrik and tobrik_driver" >&2
        exit 1
    fi
done

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"
SECS=$((VLAN_DEADLINE > 10 ? VLAN_DEADLINE - 5 : 5)) # every process ends before the run's own deadline

require() {
    vlan_check "$@" && return 0
    vlan_summary stopped
    exit 1
}

vlan_host A 1:1
vlan_host B 1:2
SETTINGS_A="$(vlan_dir A)/config/Tobrik.conf"
PULSE_DIR="$(vlan_dir A)/pulse"
mkdir -m 700 "$PULSE_DIR"
# Inherited by everything vlan_run starts (it clears only the display and session variables).
export PULSE_SERVER="unix:$PULSE_DIR/socket" PULSE_CLIENTCONFIG="$PULSE_DIR/client.conf"
unset PULSE_SINK PULSE_SOURCE PULSE_COOKIE
printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"

PULSE_PID=
PULSE_WRAP=
REC_PID=
REC_WRAP=
# stop PID WRAPPER SIGNAL: ends a process started here with SIGNAL, and with SIGKILL after a grace.
stop() {
    local i
    [ -n "$1" ] || return 0
    kill "-$3" "$1" 2>/dev/null
    for ((i = 0; i < 30; i++)); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null
    wait "$2" 2>/dev/null
}
clean_up() {
    stop "$REC_PID" "$REC_WRAP" INT
    stop "$PULSE_PID" "$PULSE_WRAP" TERM
    vlan_down
}
trap clean_up EXIT

# Without rewinds the sink never re-renders what its monitor has already recorded, so a sound that
# starts while recording is captured from its first sample.
cat >"$PULSE_DIR/server.pa" <<EOF
load-module module-null-sink sink_name=tobrik rate=$RATE channels=1 norewinds=1
load-module module-native-protocol-unix socket=$PULSE_DIR/socket auth-anonymous=1
set-default-sink tobrik
EOF

# record_start TAG: parec records the sink's monitor into A's TAG.out. Once audio flows, REC_MARK is the
# recording's size, taken at the moment the caller acts next.
record_start() {
    local i
    REC_FILE="$(vlan_dir A)/$1.out"
    vlan_spawn A "$1" "$SECS" parec -d tobrik.monitor --raw --format=s16le --rate=$RATE --channels=1 \
        --latency-msec=20 || return 1
    REC_PID=$VLAN_PID
    REC_WRAP=$VLAN_WRAPPER
    # The monitor delivers in blocks and only after a while.
    for ((i = 0; i < 100; i++)); do
        [ -s "$REC_FILE" ] && break
        sleep 0.05
    done
    sleep 0.2
    REC_MARK=$(stat -c %s "$REC_FILE")
    REC_STARTED=$(date +%s%N)
    [ "$REC_MARK" -gt 0 ]
}
# record_stop: once the recording has caught up with the time that passed, plus half a second.
record_stop() {
    local i ms want
    ms=$((($(date +%s%N) - REC_STARTED) / 1000000 + 500))
    want=$((REC_MARK + ms * RATE * 2 / 1000))
    for ((i = 0; i < 100; i++)); do
        [ "$(stat -c %s "$REC_FILE")" -ge "$want" ] && break
        sleep 0.05
    done
    stop "$REC_PID" "$REC_WRAP" INT
    REC_PID=
}
# sounds MEASURE-ARGS...: the last recording holds what the arguments of measure.py describe.
sounds() {
    local out status
    out=$("$VLAN_PYTHON" "$MEASURE" "$REC_FILE" "$RATE" --from-byte "$REC_MARK" "$@" 2>&1)
    status=$?
    printf '        %s\n' "$out"
    return "$status"
}

# settings LINES...: the user's settings for the next start of A (the program saves its own at the end).
settings() {
    mkdir -p "${SETTINGS_A%/*}"
    printf '[General]\nName=Anna Maier\n' >"$SETTINGS_A"
    [ $# -eq 0 ] || printf '%s\n' "$@" >>"$SETTINGS_A"
}
# message TEXT: Bernd sends TEXT to A and waits for the acknowledgement.
message() {
    vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz --name "Bernd Kurz" \
        --pc PC-B --text "$1" --expect-pc PC-A >/dev/null 2>&1
}
# key SEQUENCE: the user presses keys in the driver; returns once the program has handled them.
key() {
    vlan_tell A driver "key $1"
    vlan_ask A driver state '^state' 5 >/dev/null
}
# listen_for_a [--match-field N=VALUE]...: B listens for A's next presence datagram (with these fields).
# The first presence cycle plays the sign-in sound just before it sends, so once B has heard A (heard_a)
# the sound is playing, or would be.
listen_for_a() {
    local ready
    ready="$(vlan_dir B)/hears-a.ready"
    rm -f "$ready"
    vlan_peer B hears-a 15 listen --port 18181 --seconds 12 --stop-after 1 --match-field 4=PC-A "$@" --ready "$ready" &&
        vlan_wait_file "$ready" 5
}
heard_a() { vlan_wait_line B hears-a 0 'PC-A' 12; }
# quit_driver: the driver's close request; A has ended.
quit_driver() {
    vlan_tell A driver quit
    vlan_wait_exit "$DRIVER_PID" "$DRIVER_WRAP" 5 && [ "${VLAN_EXIT_CODE:-1}" = 0 ]
}

printf '\n== a PulseAudio server of its own in A\n'
vlan_spawn A pulse "$SECS" pulseaudio -n -F "$PULSE_DIR/server.pa" --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --use-pid-file=no --high-priority=no --realtime=no --log-target="file:$PULSE_DIR/pulse.log" ||
    exit 1
PULSE_PID=$VLAN_PID
PULSE_WRAP=$VLAN_WRAPPER
for ((i = 0; i < 100; i++)); do
    vlan_run A pactl info >/dev/null 2>&1 && break
    kill -0 "$PULSE_PID" 2>/dev/null || break
    sleep 0.1
done
if ! vlan_run A pactl info >/dev/null 2>&1; then
    echo "SKIP: the private PulseAudio server did not start. Its log:"
    tail -n 20 "$PULSE_DIR/pulse.log" 2>/dev/null
    exit 77
fi
echo "        PulseAudio $(vlan_run A pactl info | sed -n 's/^Server Version: //p') on $PULSE_SERVER, null sink tobrik at $RATE Hz"

printf '\n== 1. the program (tobrik), sounds on\n'
settings
require "B listens" listen_for_a
require "recording A's sink" record_start rec-start
vlan_start_tobrik A || exit 1
TOBRIK_PID=$VLAN_PID
TOBRIK_WRAP=$VLAN_WRAPPER
require "B hears A's first presence cycle" heard_a
sleep 1
record_stop
vlan_check "the start plays signin.wav, mark = program started" sounds --wav "$SOUNDS/signin.wav"

require "recording A's sink" record_start rec-message
message "Hörst du mich?"
require "Bernd's message is acknowledged" test $? = 0
sleep 1
record_stop
vlan_check "the message plays incoming.wav, mark = Bernd sends" sounds --wav "$SOUNDS/incoming.wav"

vlan_request A ProgramClose=1
vlan_wait_exit "$TOBRIK_PID" "$TOBRIK_WRAP" 5
require "A quits on request" test "${VLAN_EXIT_CODE:-1}" = 0

printf '\n== 2. the driver: busy\n'
settings
require "B listens" listen_for_a
require "recording A's sink" record_start rec-driver
vlan_start_driver A || exit 1
DRIVER_PID=$VLAN_PID
DRIVER_WRAP=$VLAN_WRAPPER
require "B hears A's first presence cycle" heard_a
# The start-up phase (2.9 s from the first presence cycle) ends meanwhile: from now on presence changes,
# the own busy state coming back from the LAN among them, may sound.
sleep 3.2
record_stop
vlan_check "the start plays signin.wav and nothing else through the start-up phase, mark = driver started" \
    sounds --wav "$SOUNDS/signin.wav"

require "B listens" listen_for_a --match-field 5=2
require "recording A's sink" record_start rec-busy
key Ctrl+3
sleep 1.2
record_stop
vlan_check "Ctrl+3 plays busy.wav once (the own state coming back is silent), mark = key sent" \
    sounds --wav "$SOUNDS/busy.wav"
vlan_check "  (A's busy presence went out at once, so it came back to A during the recording)" heard_a

require "recording A's sink" record_start rec-busy-message
message "Bist du beschäftigt?"
require "Bernd's message to the busy user is acknowledged" test $? = 0
sleep 1
record_stop
vlan_check "busy: the message makes no sound" sounds --silent

key Ctrl+1
sleep 0.5
require "recording A's sink" record_start rec-online-message
message "Und jetzt?"
require "Bernd's message is acknowledged" test $? = 0
sleep 1
record_stop
vlan_check "back online (Ctrl+1): the next message plays incoming.wav, mark = Bernd sends" \
    sounds --wav "$SOUNDS/incoming.wav"
require "A quits" quit_driver

printf '\n== 3. the driver, "SoundsWiedergeben" off in the settings\n'
settings SoundsWiedergeben=0
require "B listens" listen_for_a
require "recording A's sink" record_start rec-off
vlan_start_driver A || exit 1
DRIVER_PID=$VLAN_PID
DRIVER_WRAP=$VLAN_WRAPPER
require "B hears A's first presence cycle (the sign-in moment)" heard_a
sleep 3.2
message "Hallo?"
require "Bernd's message is acknowledged" test $? = 0
key Ctrl+3
sleep 1
record_stop
vlan_check "start, message and Ctrl+3 (busy) make no sound at all" sounds --silent
require "A quits" quit_driver

vlan_summary
