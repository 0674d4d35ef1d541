#!/usr/bin/env bash
# Speech figures of the program on a virtual LAN: for 100 messages from a colleague, the time from sending
# the datagram to its acknowledgement and to the text reaching speech-dispatcher's output module, through
# the screen reader and through a speech-dispatcher voice; and speech-dispatcher's own floor. Prints a
# table; asserts nothing. Usage (as root): bench/speech/run.sh PATH/TO/tobrik  (about a minute)
#
# The LAN:   A 10.213.1.1   the program (headless), its session bus with AT-SPI, speech-dispatcher
#            B 10.213.1.2   the colleague who writes (measure.py)
# shellcheck disable=SC2016 # calc takes awk expressions in single quotes
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
# The whole run stops itself (with its clean-up) after this many seconds.
VLAN_DEADLINE=${VLAN_DEADLINE:-300}
# shellcheck source=tests/vlan/vlan.sh
. "$ROOT/tests/vlan/vlan.sh"
# shellcheck source=tests/vlan/speech.sh
. "$ROOT/tests/vlan/speech.sh"

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 PATH/TO/tobrik (the built program)" >&2
    exit 2
fi
VLAN_TOBRIK=$(realpath "$1")
VLAN_TOBRIK_TIMEOUT=$((VLAN_DEADLINE - 10))
MEASURE=$HERE/measure.py
COUNT=${BENCH_MESSAGES:-100}
PAUSE_MS=${BENCH_PAUSE_MS:-100} # between messages: each one's speech is over before the next arrives
TARGET_MS=20                    # speech at most this long after the acknowledgement

speech_available || exit $?
rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)

vlan_host A 1:1
vlan_host B 1:2
SETTINGS_A="$(vlan_dir A)/config/Tobrik.conf"
speech_start A "$VLAN_TOBRIK_TIMEOUT" || exit 1

kv() {
    local v
    v=$(printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p" | head -n 1)
    printf '%s\n' "${v:--}"
}
calc() {
    local fmt=$1 expr=$2
    shift 2
    local v
    for v in "$@"; do
        [[ $v =~ ^-?[0-9]+(\.[0-9]+)?$ ]] || {
            echo -
            return
        }
    done
    awk -v fmt="$fmt" -v x1="${1:-0}" -v x2="${2:-0}" "BEGIN { \$1 = x1; \$2 = x2; printf fmt, ($expr) }"
}

ROWS=()
RESULTS=()
# run_voice LABEL VOICE SCREEN-READER: the program with that voice, COUNT messages.
run_voice() {
    local label=$1 voice=$2 sr=$3 out
    mkdir -p "${SETTINGS_A%/*}"
    printf '[General]\nName=Anna Maier\nNachrichtLesen=1\nStimme=%s\n' "$voice" >"$SETTINGS_A"
    speech_screen_reader A "$sr" || exit 1
    vlan_spawn A "tobrik-$sr" "$VLAN_TOBRIK_TIMEOUT" env "${SPEECH_ENV[@]}" "$VLAN_TOBRIK" || exit 1
    local pid=$VLAN_PID wrapper=$VLAN_WRAPPER
    sleep 2 # start-up work (logs, settings, voices) is not what is measured
    out=$(vlan_run B timeout 120 "$VLAN_PYTHON" "$MEASURE" messages --to 10.213.1.1 --spoken "$SPEECH_SPOKEN" \
        --count "$COUNT" --pause-ms "$PAUSE_MS" --expect-pc PC-A --samples "$VLAN_TMP/samples-$sr.tsv")
    printf '  %-26s %s\n' "$label" "${out:-(no figures)}" >&2
    RESULTS+=("$out")
    ROWS+=("$(printf '%-26s %6s %5s  %-23s %-23s %-23s %s' "$label" "$(kv "$out" count)" "$(kv "$out" lost)" \
        "$(kv "$out" ack_median) / $(kv "$out" ack_p90) / $(kv "$out" ack_p99)" \
        "$(kv "$out" speech_median) / $(kv "$out" speech_p90) / $(kv "$out" speech_p99)" \
        "$(kv "$out" diff_median) / $(kv "$out" diff_p90) / $(kv "$out" diff_p99)" \
        "$(kv "$out" first_ack) / $(kv "$out" first_speech)")")
    vlan_request A ProgramClose=1
    vlan_wait_exit "$pid" "$wrapper" 5 || kill -KILL "$pid" 2>/dev/null
}

# baseline LABEL: speech-dispatcher and its module alone, without the program. Taken before and after the
# program's runs: other work on the machine varies it.
baseline() {
    local out
    out=$(vlan_run A timeout 60 "$VLAN_PYTHON" "$MEASURE" baseline --socket "$SPEECH_DIR/spd.sock" \
        --spoken "$SPEECH_SPOKEN" --count "$COUNT" --pause-ms "$PAUSE_MS")
    printf '  %-26s %s\n' "$1" "${out:-(no figures)}" >&2
    ROWS+=("$(printf '%-26s %6s %5s  %-23s %-23s' "$1" "$(kv "$out" count)" "$(kv "$out" lost)" - \
        "$(kv "$out" speech_median) / $(kv "$out" speech_p90) / $(kv "$out" speech_p99)")")
}

printf 'program: %s\n' "$VLAN_TOBRIK" >&2
baseline "speech-dispatcher: before"
run_voice "screen reader (AT-SPI)" "ScreenReader (JAWS/NVDA)" true
SR=${RESULTS[0]}
run_voice "voice filelog-de2 (Qt)" "filelog-de2 - Deutsch" false
QT=${RESULTS[1]}
baseline "speech-dispatcher: after"
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

verdict() {
    case $(calc '%d' '$1 <= $2' "$1" "$TARGET_MS") in
        1) echo met ;;
        0) echo MISSED ;;
        *) echo "no figure" ;;
    esac
}
{
    printf '\nSpoken messages on a virtual LAN (kernel %s, %s cores, load average %s before, %s after)\n' \
        "$(uname -r)" "$(nproc)" "$LOAD_BEFORE" "$LOAD_AFTER"
    printf '%s messages one after another, %s ms apart; times in ms, median / 90th / 99th percentile\n' \
        "$COUNT" "$PAUSE_MS"
    printf '%-26s %6s %5s  %-23s %-23s %-23s %s\n' path count lost 'to acknowledgement' 'to speech' \
        'speech - ack' 'first message: ack / speech'
    printf '%s\n' "${ROWS[@]}"
    printf '(to speech: until the output module has written the text: speech-dispatcher, its module and the shell\n'
    printf ' the module starts per text; "speech-dispatcher" rows are that part alone, a client speaking to it\n'
    printf ' directly; first message: "-" is a text that never reached the file)\n\n'
    printf '%-50s %-10s %-9s %s\n' figure measured target verdict
    for pair in "screen reader:$SR" "voice:$QT"; do
        name=${pair%%:*}
        out=${pair#*:}
        printf '%-50s %-10s %-9s %s\n' "$name: speech after ack, median" "$(kv "$out" diff_median) ms" \
            "<= $TARGET_MS ms" "$(verdict "$(kv "$out" diff_median)")"
        printf '%-50s %-10s %-9s %s\n' "$name: speech after ack, 99th percentile" "$(kv "$out" diff_p99) ms" \
            "<= $TARGET_MS ms" "$(verdict "$(kv "$out" diff_p99)")"
    done
}
vlan_down
