#!/usr/bin/env bash
# End-to-end speech: a colleague's message is read out through the screen reader (speech-dispatcher
# while AT-SPI reports one) and, in a second run, through a voice of speech-dispatcher chosen in the
# settings; busy keeps it silent, Esc stops it, Ctrl+W says it again. Everything real but the sound: the
# output module writes each text into a file (tests/vlan/speech.sh).
# Usage: test_speech.sh PATH/TO/tobrik PATH/TO/tobrik_driver. Exit 0 all passed, 1 a failure, 77 skipped.
#
# The LAN:   A 10.213.1.1   the program with a scripted user, its session bus, AT-SPI, speech-dispatcher
#            B 10.213.1.2   the colleague Bernd Kurz (peer.py), who writes
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"
# shellcheck source=tests/vlan/speech.sh
. "$HERE/speech.sh"

vlan_programs "${1:-}" "${2:-}" driver

require() {
    vlan_check "$@" && return 0
    vlan_summary stopped
    exit 1
}

speech_available || exit $?
rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"
SECS=$((VLAN_DEADLINE > 10 ? VLAN_DEADLINE - 5 : 5)) # every process ends before the run's own deadline

vlan_host A 1:1
vlan_host B 1:2
SETTINGS_A="$(vlan_dir A)/config/Tobrik.conf"
FROM="Nachricht von Bernd Kurz:"$'\r\n'

# settings VOICE RATE VOLUME: the user's settings for the next start of A.
settings() {
    mkdir -p "${SETTINGS_A%/*}"
    printf '[General]\nName=Anna Maier\nNachrichtLesen=1\nStatusLesen=1\nStimme=%s\nVoiceRate=%s\nVoiceVolume=%s\n' \
        "$1" "$2" "$3" >"$SETTINGS_A"
}
# message TEXT: Bernd sends TEXT to A and waits for the acknowledgement.
message() {
    vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz --name "Bernd Kurz" \
        --pc PC-B --text "$1" --expect-pc PC-A >/dev/null 2>&1
}
# key TAG SEQUENCE: the user presses keys; returns once the program has handled them.
key() {
    vlan_tell A "$1" "key $2"
    vlan_ask A "$1" state '^state' 5 >/dev/null
}
# spoken PREFIX TEXT [SECONDS [COUNT]]: an entry "PREFIX TEXT" reaches the output file (see speech.sh),
# or the COUNTth one.
spoken() { speech_wait "$SPEECH_SPOKEN" "$1" "$2" "${3:-3}" "${4:-1}"; }
# silent TEXT: a second after the acknowledgement, nothing of TEXT has reached speech-dispatcher.
silent() {
    sleep 1
    ! speech_mentions "$SPEECH_STARTED" "$1" && ! speech_mentions "$SPEECH_SPOKEN" "$1"
}
# The text the module was given last.
last_started() {
    local content
    content=$'\n'$(cat "$SPEECH_STARTED")
    printf '%s\n' "${content##*$'\n'begin|}"
}

# stop_and_repeat TAG PREFIX TEXT: the module takes 1.5 s per text, so the user's Esc comes while the
# message is being spoken; a stop that works keeps it out of the file, and nothing else may have cut it
# off meanwhile. Ctrl+W then says it again.
stop_and_repeat() {
    local tag=$1 prefix=$2 text=$3
    speech_delay 1.5
    message "$text"
    require "Bernd's message \"$text\" is acknowledged" test $? = 0
    speech_wait "$SPEECH_STARTED" "begin|" "$FROM$text" 3
    vlan_check "it reaches speech-dispatcher's output module" test $? = 0
    key "$tag" Esc
    sleep 2.5
    ! speech_mentions "$SPEECH_SPOKEN" "$text"
    vlan_check "Esc while it is spoken cuts it off: not in the file 2.5 s later" test $? = 0
    vlan_check "  (and no other text took its place)" test "$(last_started)" = "$FROM$text"
    local before
    before=$(speech_count "$SPEECH_SPOKEN" "$prefix" "$FROM$text")
    key "$tag" Ctrl+W
    spoken "$prefix" "$FROM$text" 4 $((before + 1))
    vlan_check "Ctrl+W says it again, in full" test $? = 0
    speech_delay 0
}

printf '\n== speech-dispatcher and AT-SPI in A\n'
speech_start A "$SECS"
require "a private session bus with AT-SPI and a speech-dispatcher that writes into a file run in A" test $? = 0

# The screen reader speaks with the rate and volume its user set in it: the program sets none, so
# speech-dispatcher's defaults show (0 and 0 on its scale of -100..100).
SR="de|filelog-de|0.00|0.00|"
# The chosen voice with the settings' rate 5 (of -10..10) and volume 60 (of 0..100), which Qt's speechd
# engine hands on as +50 and about +20 of -100..100.
VOICE="de|filelog-de2|50.00|@(19|20).00|"

printf '\n== voice "ScreenReader (JAWS/NVDA)", no screen reader running yet\n'
settings "ScreenReader (JAWS/NVDA)" 3 70
vlan_start_driver_env A driver "${SPEECH_ENV[@]}" || exit 1
PID_A=$VLAN_PID
WRAP_A=$VLAN_WRAPPER
sleep 1 # the start announcement (first presence cycle) is due now; no screen reader hears it
message "Hörst du mich?"
require "Bernd's message is acknowledged" test $? = 0
silent "Hörst du mich?"
vlan_check "no screen reader: the message is not spoken" test $? = 0

printf '\n== a screen reader starts (ScreenReaderEnabled true)\n'
speech_screen_reader A true
require "AT-SPI reports a screen reader" speech_screen_reader_is A true
TEXT="Grüße aus B! Wie geht's \"dir\" in \$HOME?"
message "$TEXT"
require "Bernd's message is acknowledged" test $? = 0
spoken "$SR" "$FROM$TEXT"
vlan_check "it is spoken as \"Nachricht von Bernd Kurz:\" CR LF and the text, as given" test $? = 0

printf '\n== busy\n'
vlan_tell A driver "key Ctrl+3"
spoken "$SR" "Anna Maier Beschäftigt"
vlan_check "Ctrl+3 (busy) is announced as \"Anna Maier Beschäftigt\"" test $? = 0
message "Bist du beschäftigt?"
require "Bernd's message to a busy user is acknowledged" test $? = 0
silent "Bist du beschäftigt?"
vlan_check "busy: the message is not spoken" test $? = 0
vlan_tell A driver "key Ctrl+1"
# The own entry comes back from the LAN changed: announced as other users' changes are. Waited for, so it
# cannot cut off what follows.
spoken "$SR" "Anna Maier Online" 4
vlan_check "Ctrl+1: back online, announced as \"Anna Maier Online\"" test $? = 0

printf '\n== the screen reader: Esc and Ctrl+W\n'
stop_and_repeat driver "$SR" "Bitte ruf mich zurück."

printf '\n== a message that moves the focus is spoken whole, its focus cue after it\n'
vlan_tell A driver "focus Lb1Eingang"
spoken "$SR" "Eingang" 4
vlan_check "the inbox names itself when it gets the focus" test $? = 0
speech_delay 1.5
message "Noch etwas."
require "Bernd's message is acknowledged" test $? = 0
spoken "$SR" "Nachrichtenlog" 6
vlan_check "the log view's cue comes once the message is spoken ..." test $? = 0
vlan_check "  ... and the message before it was not cut off" \
    test "$(tail -n 2 "$SPEECH_SPOKEN" | head -n 1)" = "Noch etwas."
speech_delay 0

printf '\n== voice "filelog-de2 - Deutsch" of speech-dispatcher; the screen reader has ended\n'
vlan_tell A driver quit
vlan_wait_exit "$PID_A" "$WRAP_A" 5
require "A quits" test "${VLAN_EXIT_CODE:-1}" = 0
speech_screen_reader A false
settings "filelog-de2 - Deutsch" 5 60
vlan_start_driver_env A voice "${SPEECH_ENV[@]}" || exit 1
spoken "$VOICE" "Anna Maier Online"
vlan_check "the start is announced as \"Anna Maier Online\" in the chosen voice, rate and volume" test $? = 0
TEXT="Grüße aus B, zum zweiten Mal."
message "$TEXT"
require "Bernd's message is acknowledged" test $? = 0
spoken "$VOICE" "$FROM$TEXT"
vlan_check "it is spoken as \"Nachricht von Bernd Kurz:\" CR LF and the text, in that voice" test $? = 0
stop_and_repeat voice "$VOICE" "Ich warte auf dich."

vlan_tell A voice quit

printf '\n== what speech-dispatcher was given to speak (%s)\n' "${SPEECH_SPOKEN##*/}"
sed 's/\r/\\r/; s/^/        /' "$SPEECH_SPOKEN"
vlan_down
vlan_summary
