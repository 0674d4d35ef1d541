#!/usr/bin/env bash
# End to end with a real sound server: played sounds reach it, as long as their files are.
#   test_pulse.sh PLAY_SOUND SOUNDS_FOLDER
# Starts a PulseAudio server of its own: a null sink "tobrik", its socket and every file it writes in
# a private temporary folder (HOME and XDG folders too), reached only through PULSE_SERVER; clients
# never spawn a server. No system or user instance is touched. For each case it records the sink's
# monitor with parec while play_sound plays, and compares the sounding stretch of the recording with
# the file's (measure.py).
# As root PulseAudio warns that it is meant for a user's session, and runs all the same; --system is
# not used, as it means the system-wide socket and configuration.
# Exit 77 (skipped) only when no PulseAudio server can be started here.
set -u

PLAY=${1:?usage: test_pulse.sh PLAY_SOUND SOUNDS_FOLDER}
SOUNDS=${2:?usage: test_pulse.sh PLAY_SOUND SOUNDS_FOLDER}
HERE=$(cd "$(dirname "$0")" && pwd)
RATE=44100

for tool in pulseaudio pactl parec python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: no PulseAudio server can be started: $tool is missing (Debian: pulseaudio pulseaudio-utils)"
        exit 77
    fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tobrik-pulse.XXXXXX") || exit 1
PULSE_PID=
PAREC_PID=
cleanup() {
    [ -n "$PAREC_PID" ] && kill "$PAREC_PID" 2>/dev/null && wait "$PAREC_PID" 2>/dev/null
    if [ -n "$PULSE_PID" ]; then
        kill "$PULSE_PID" 2>/dev/null
        for _ in $(seq 50); do kill -0 "$PULSE_PID" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$PULSE_PID" 2>/dev/null
        wait "$PULSE_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

mkdir -p "$WORK/home/.config" "$WORK/data" "$WORK/cache" "$WORK/run"
chmod 700 "$WORK/run"
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/data XDG_CACHE_HOME=$WORK/cache
export XDG_RUNTIME_DIR=$WORK/run
export PULSE_SERVER=unix:$WORK/pulse.sock
printf 'autospawn = no\n' >"$WORK/client.conf"
export PULSE_CLIENTCONFIG=$WORK/client.conf
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY PULSE_SINK PULSE_SOURCE

# Without rewinds the sink never re-renders what its monitor has already recorded, so a sound that
# starts while recording is captured from its first sample.
cat >"$WORK/server.pa" <<EOF
load-module module-null-sink sink_name=tobrik rate=$RATE channels=1 norewinds=1
load-module module-native-protocol-unix socket=$WORK/pulse.sock auth-anonymous=1
set-default-sink tobrik
EOF

pulseaudio -n -F "$WORK/server.pa" --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --high-priority=no --realtime=no --log-target="file:$WORK/pulse.log" >/dev/null 2>&1 &
PULSE_PID=$!
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$PULSE_PID" 2>/dev/null || break
    sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
    echo "SKIP: the private PulseAudio server did not start. Its log:"
    tail -n 20 "$WORK/pulse.log" 2>/dev/null
    exit 77
fi
echo "PulseAudio $(pactl info | sed -n 's/^Server Version: //p') on $PULSE_SERVER, null sink tobrik at $RATE Hz"

fails=0

# run_case NAME MEASURE_ARGS... -- PLAY_SOUND_ARGS...
run_case() {
    local name=$1
    shift
    local measure=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        measure+=("$1")
        shift
    done
    shift

    parec -d tobrik.monitor --raw --format=s16le --rate=$RATE --channels=1 --latency-msec=20 \
        >"$WORK/rec.raw" 2>>"$WORK/parec.log" &
    PAREC_PID=$!
    # The monitor delivers in blocks and only after a while: play once recorded audio flows, and stop
    # once the recording has caught up with the time that passed, plus half a second of silence.
    for _ in $(seq 100); do
        [ -s "$WORK/rec.raw" ] && break
        sleep 0.05
    done
    sleep 0.2
    local before started
    before=$(stat -c %s "$WORK/rec.raw")
    started=$(date +%s%N)

    local played=0
    timeout 30 "$PLAY" "$@" >"$WORK/play.log" 2>&1 || played=$?
    local want=$((before + ($(date +%s%N) - started + 500000000) / 1000000 * RATE * 2 / 1000))
    for _ in $(seq 100); do
        [ "$(stat -c %s "$WORK/rec.raw")" -ge "$want" ] && break
        sleep 0.05
    done
    kill -INT "$PAREC_PID" 2>/dev/null
    wait "$PAREC_PID" 2>/dev/null
    PAREC_PID=

    local out
    if [ "$played" -ne 0 ]; then
        echo "FAIL: $name: play_sound ended with $played"
        sed 's/^/    /' "$WORK/play.log"
        fails=$((fails + 1))
    # Where the sound starts after play_sound was called: a cut-off end with a late start is the
    # sound server's delay, not a short sound.
    elif out=$(python3 "$HERE/measure.py" "$WORK/rec.raw" $RATE "${measure[@]}" --from-byte "$before"); then
        echo "ok:   $name: $out"
    else
        echo "FAIL: $name: $out"
        fails=$((fails + 1))
    fi
}

EMPTY=$WORK/empty
BROKEN=$WORK/broken
mkdir -p "$EMPTY" "$BROKEN"
# Cut in half: its data chunk now claims more bytes than the file holds.
head -c $(($(stat -c %s "$SOUNDS/incoming.wav") / 2)) "$SOUNDS/incoming.wav" >"$BROKEN/incoming.wav"

run_case "incoming, through its own player" --wav "$SOUNDS/incoming.wav" -- "$SOUNDS" incoming
run_case "online, through its own player" --wav "$SOUNDS/online.wav" -- "$SOUNDS" online
run_case "signin, from memory" --wav "$SOUNDS/signin.wav" -- "$SOUNDS" signin
run_case "typing, the shortest, from memory" --wav "$SOUNDS/typing.wav" -- "$SOUNDS" typing
run_case "read 200 ms after signin cuts signin off" --wav "$SOUNDS/read.wav" --plus-ms 200 --tolerance-ms 40 \
    -- "$SOUNDS" signin read@200
run_case "typing from memory 100 ms into online does not cut online off" --wav "$SOUNDS/online.wav" \
    -- "$SOUNDS" online typing@100
run_case "incoming missing: the fallback tone plays instead" --ms 600 -- --tone 440,600,100 "$EMPTY" incoming
run_case "incoming no valid wave: refused, the fallback tone plays instead" --ms 600 \
    -- --tone 440,600,100 "$BROKEN" incoming
run_case "incoming missing, the program's own fallback (0, 0, 0): silence" --silent -- "$EMPTY" incoming

if [ "$fails" -ne 0 ]; then
    echo "$fails case(s) failed. PulseAudio's log:"
    tail -n 20 "$WORK/pulse.log" 2>/dev/null
    exit 1
fi
echo "all cases passed"
