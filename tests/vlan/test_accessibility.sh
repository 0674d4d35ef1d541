#!/usr/bin/env bash
# End-to-end through the accessibility layer: the real program on an X display, read from outside over
# AT-SPI as a screen reader reads it, and worked with the keyboard alone (XTEST key events): the main
# window, a conversation, the options dialog (a voice chosen and saved) and the font dialog (a larger
# font that the window shows and that a restart keeps).
# Usage: test_accessibility.sh PATH/TO/tobrik [PATH/TO/tobrik_driver]. Exit 0 all passed, 1 a failure,
# 77 skipped (not root, no namespaces, or a desktop tool missing).
#
# The LAN:   A 10.213.1.1   the program on a private Xvfb, session bus, accessibility bus and
#                           speech-dispatcher (whose voices the options dialog offers)
#            B 10.213.1.2   a simulated colleague (peer.py): announces itself, acknowledges texts
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"
# shellcheck source=tests/vlan/speech.sh
. "$HERE/speech.sh"

vlan_programs "${1:-}"
ATSPI_CHECK=$HERE/atspi_check.py
REGISTRY=/usr/libexec/at-spi2-registryd

missing=
for tool in Xvfb xdotool "$REGISTRY"; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "SKIP: missing:$missing" >&2
    exit 77
fi
if ! "$VLAN_PYTHON" -c 'import pyatspi' 2>/dev/null; then
    echo "SKIP: $VLAN_PYTHON has no pyatspi (python3-pyatspi)" >&2
    exit 77
fi
speech_available || exit $?

# Stops the run: a later step cannot work without this one.
require() {
    vlan_check "$@" && return 0
    vlan_summary stopped
    exit 1
}

rc=0
vlan_init || rc=$?
[ "$rc" = 0 ] || exit "$rc"
SECS=$((VLAN_DEADLINE > 10 ? VLAN_DEADLINE - 5 : 5)) # every process ends before the run's own deadline

vlan_host A 1:1
vlan_host B 1:2
LOGS_A=$(vlan_dir A)/data/tobrik
RX_B=$(vlan_dir B)/rx.jsonl
XVFB_PID=
DISPLAY_A=
BUS_A=
WIN=

# Xvfb removes its lock and socket in /tmp only when it ends normally, so it is asked first; the
# namespaces' clean-up then ends whatever is left.
teardown() {
    if [ -n "$XVFB_PID" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
        kill -TERM "$XVFB_PID" 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
    fi
    vlan_down
    # After a hard kill the lock is left behind; remove it only when it is still ours.
    if [ -n "$DISPLAY_A" ] && [ -n "$XVFB_PID" ] &&
        [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X${DISPLAY_A#:}-lock")" = "$XVFB_PID" ]; then
        rm -f "/tmp/.X${DISPLAY_A#:}-lock" "/tmp/.X11-unix/X${DISPLAY_A#:}"
    fi
}
trap teardown EXIT

# in_a CMD...: runs CMD in A inside the program's desktop session.
in_a() {
    vlan_run A env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" SPEECHD_ADDRESS="$SPEECH_ADDRESS" \
        QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "$@"
}
atspi() { in_a "$VLAN_PYTHON" "$ATSPI_CHECK" "$@"; }
# key KEYS...: key strokes through XTEST to the window that has the input focus.
key() { in_a xdotool key --clearmodifiers --delay 60 "$@"; }
# No window manager runs: the focus is set directly, and given back to the main window after a dialog
# closes, as a manager would.
focus_main() {
    in_a xdotool windowfocus --sync "$WIN" >/dev/null 2>&1 || in_a xdotool windowactivate --sync "$WIN" >/dev/null 2>&1
    test "$(in_a xdotool getwindowfocus 2>/dev/null)" = "$WIN"
}
# conf_has LINE...: the program's settings file holds every LINE as it is.
conf_has() {
    local line
    for line in "$@"; do
        grep -qFx -- "$line" "$CONF_A" 2>/dev/null || return 1
    done
}
# shown CMD...: runs CMD and indents its output (what it saw) above the check line that follows.
shown() {
    local out status
    out=$("$@" 2>&1)
    status=$?
    [ -n "$out" ] && printf '%s\n' "$out" | sed 's/^/        /'
    return "$status"
}

printf '\n== desktop session in A\n'
vlan_spawn A xvfb "$SECS" Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp || exit 1
XVFB_PID=$VLAN_PID
# -displayfd lets the server take the first free display number and tell it.
vlan_wait_line A xvfb 0 '^[0-9]+$' 10
require "Xvfb runs in A" test $? = 0
DISPLAY_A=:$(printf '%s\n' "$VLAN_REPLY" | tail -n 1)
printf '        display %s\n' "$DISPLAY_A"
# The session bus with the accessibility bus launcher on it, and speech-dispatcher with two voices.
speech_start A "$SECS"
require "a session bus, the accessibility bus and speech-dispatcher answer in A" test $? = 0
BUS_A=$SPEECH_BUS
vlan_spawn A registry "$SECS" env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" "$REGISTRY" || exit 1
CONF_A=$(vlan_dir A)/config/Tobrik.conf

printf '\n== the program in A, a colleague in B\n'
vlan_spawn B peer "$SECS" "$VLAN_PYTHON" "$VLAN_PEER" listen --ack --announce "$(vlan_broadcast 1)" --every 2 \
    --seconds "$SECS" --out "$RX_B" --user bkurz --name "Bernd Kurz" --pc PC-B || exit 1
# start_program TAG: the program in A's desktop session; sets PID_A and WRAP_A (for its exit code).
start_program() {
    vlan_spawn A "$1" "$SECS" env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" \
        SPEECHD_ADDRESS="$SPEECH_ADDRESS" QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        LANG=C.UTF-8 "$VLAN_TOBRIK" || return 1
    PID_A=$VLAN_PID
    WRAP_A=$VLAN_WRAPPER
}
start_program tobrik || exit 1
find_window() {
    local i
    for ((i = 0; i < 100; i++)); do
        WIN=$(in_a xdotool search --onlyvisible --pid "$PID_A" --name 'Tobrik' 2>/dev/null | head -n 1)
        [ -n "$WIN" ] && return 0
        kill -0 "$PID_A" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
find_window
require "the program's window is shown on A's display" test $? = 0
T_SHOWN=$(vlan_now)
printf '        window %s: %s\n' "$WIN" "$(in_a xdotool getwindowname "$WIN")"
shown atspi --timeout 10 row Online PC-B
require "AT-SPI shows PC-B in the list \"Online\"" test $? = 0

printf '\n== the accessibility tree\n'
shown atspi --timeout 3 controls
vlan_check "named lists, fields and buttons with their roles; menu items with their shortcuts" test $? = 0 ||
    atspi dump | grep -v -e "menu item" -e "separator" | sed 's/^/        | /'

printf '\n== a conversation, keyboard only\n'
# During the program's quiet period (2.9 s from when its window shows) a change in the online list
# selects the own row again, which would undo the selection made below.
sleep "$(awk -v a="$T_SHOWN" -v b="$(vlan_now)" 'BEGIN { d = 3.5 - (b - a); print (d > 0 ? d : 0) }')"
# No window manager runs: the focus is set directly; activation needs a manager and is the fallback.
HOW=windowfocus
if ! in_a xdotool windowfocus --sync "$WIN" >/dev/null 2>&1; then
    HOW=windowactivate
    in_a xdotool windowactivate --sync "$WIN" >/dev/null 2>&1
fi
vlan_check "the window has the keyboard focus (xdotool $HOW)" test "$(in_a xdotool getwindowfocus 2>/dev/null)" = "$WIN"
key alt+o
shown atspi focus Online
vlan_check "Alt+O puts the focus on the list \"Online\"" test $? = 0
ROW=$(atspi row Online PC-B)
vlan_check "PC-B has a row (index ${ROW:-none})" test -n "$ROW"
key Home
for ((i = 0; i < ${ROW:-0}; i++)); do
    key Down
done
shown atspi row --selected Online PC-B
vlan_check "the arrow keys select PC-B's row" test $? = 0
key Return
shown atspi text --exact Empfänger "Bernd Kurz"
vlan_check "Enter opens the conversation: \"Empfänger\" reads Bernd Kurz" test $? = 0
shown atspi focus Nachrichtenlog
vlan_check "and the focus moves to \"Nachrichtenlog\"" test $? = 0
MESSAGE="Hallo Bernd, grüß dich! Wie geht's?"
in_a xdotool type --clearmodifiers --delay 40 "$MESSAGE"
shown atspi text --exact Text "$MESSAGE"
vlan_check "the typed text is in the field \"Text\"" test $? = 0
key Return
sent_to_b() {
    local i n
    for ((i = 0; i < 50; i++)); do
        n=$("$VLAN_PYTHON" "$VLAN_PEER" filter "$RX_B" --port 18182 --src 10.213.1.1 --field "5=$MESSAGE" --count)
        [ "${n:-0}" -ge 1 ] && return 0
        sleep 0.1
    done
    return 1
}
sent_to_b
vlan_check "Enter sends: B's peer received the text datagram" test $? = 0
shown atspi text --exact Text ""
vlan_check "the field \"Text\" is empty once B acknowledged" test $? = 0
LOG_A=$(ls "$LOGS_A"/bkurz_PC-B.log 2>/dev/null)
vlan_check "A's log of B holds \"Nachricht an\" and the text" \
    sh -c "[ -n '$LOG_A' ] && grep -q 'Nachricht an' '$LOG_A' && grep -qF \"\$0\" '$LOG_A'" "$MESSAGE"
shown atspi text Nachrichtenlog "$MESSAGE"
vlan_check "the field \"Nachrichtenlog\" shows the sent text" test $? = 0

printf '\n== B answers, Ctrl+G marks it read\n'
ANSWER="Danke, gut!"
shown vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user bkurz \
    --name "Bernd Kurz" --pc PC-B --text "$ANSWER" --expect-pc PC-A
vlan_check "A acknowledges B's message" test $? = 0
shown atspi row Nachrichteneingang PC-B
vlan_check "the list \"Nachrichteneingang\" has B's row" test $? = 0
vlan_check "A's Eingang.txt names B" grep -q 'bkurz_PC-B' "$LOGS_A/Eingang.txt"
shown atspi text Nachrichtenlog "$ANSWER"
vlan_check "the open conversation shows the answer in \"Nachrichtenlog\"" test $? = 0
key ctrl+g
shown atspi count Nachrichteneingang 0
vlan_check "after Ctrl+G the list \"Nachrichteneingang\" is empty" test $? = 0
shown atspi focus Nachrichteneingang
vlan_check "and has the focus" test $? = 0
shown atspi row Nachrichtenverlauf PC-B
vlan_check "and the list \"Nachrichtenverlauf\" has B's row" test $? = 0
vlan_check "and A's Eingang.txt no longer names B" sh -c "! grep -q 'bkurz_PC-B' '$LOGS_A/Eingang.txt'"
vlan_check "the program still runs" kill -0 "$PID_A"

printf '\n== the options dialog: a voice chosen, two boxes changed, keyboard only\n'
VOICE="filelog-de2 - Deutsch"
SCREEN_READER="ScreenReader (JAWS/NVDA)"
focus_main
require "the main window has the keyboard focus" test $? = 0
ROW_H=$(atspi rowheight Online)
vlan_check "the rows of \"Online\" are ${ROW_H:-no} pixels high" test -n "$ROW_H"
key ctrl+o
shown atspi window "Optionen einstellen"
require "Ctrl+O opens the dialog \"Optionen einstellen\"" test $? = 0
shown atspi focus Name
vlan_check "with the focus in the field \"Name\"" test $? = 0
shown atspi --timeout 3 controls --window "Optionen einstellen"
vlan_check "every control is read by name and role" test $? = 0
key alt+b alt+e
shown atspi checked "Sicherheitsabfrage beim Beenden" no
vlan_check "Alt+B unticks \"Sicherheitsabfrage beim Beenden\"" test $? = 0
shown atspi checked "Nachrichteneingang vorlesen" yes
vlan_check "Alt+E ticks \"Nachrichteneingang vorlesen\"" test $? = 0
# The box ticked last is the one before the voice list.
key Tab
shown atspi focus Stimmen
vlan_check "Tab moves on to the list \"Stimmen\"" test $? = 0
FIRST=$(atspi row Stimmen "$SCREEN_READER")
vlan_check "its first row is \"$SCREEN_READER\" (row ${FIRST:-none})" test "$FIRST" = 0
VROW=$(atspi row Stimmen "$VOICE")
vlan_check "speech-dispatcher's voice \"$VOICE\" is offered (row ${VROW:-none})" test -n "$VROW"
key Home
for ((i = 0; i < ${VROW:-0}; i++)); do
    key Down
done
shown atspi row --selected Stimmen "$VOICE"
vlan_check "the arrow keys select it" test $? = 0
speech_wait "$SPEECH_SPOKEN" "de|filelog-de2|+([^|])|+([^|])|" "$VOICE" 3
vlan_check "and its sample is spoken in that voice" test $? = 0
key alt+k
shown atspi window --gone "Optionen einstellen"
vlan_check "Alt+K (OK) closes the dialog" test $? = 0
vlan_check "Tobrik.conf holds Stimme=$VOICE, NachrichtLesen=1, BeendenSichern=0" \
    conf_has "Stimme=$VOICE" NachrichtLesen=1 BeendenSichern=0

printf '\n== the font dialog: a larger font, keyboard only\n'
focus_main
require "the main window has the keyboard focus again" test $? = 0
key alt+a s
shown atspi window Schrifteinstellungen
require "Alt+A, S (\"Ansicht\", \"Schrifteinstellungen...\") opens the dialog \"Schrifteinstellungen\"" test $? = 0
shown atspi focus Schriftart
vlan_check "with the focus in the list \"Schriftart\"" test $? = 0
shown atspi --timeout 3 controls --window Schrifteinstellungen
vlan_check "every control is read by name and role" test $? = 0
SIZE="Schriftgröße (5-35)"
shown atspi text --exact "$SIZE" 12
vlan_check "the size field reads 12, the default" test $? = 0
key alt+g ctrl+a 2 0
shown atspi text --exact "$SIZE" 20
vlan_check "Alt+G and typing 20: the size field reads 20" test $? = 0
key Return
shown atspi window --gone Schrifteinstellungen
vlan_check "Enter (OK) closes the dialog" test $? = 0
vlan_check "Tobrik.conf holds FontSize=20" conf_has FontSize=20
shown atspi rowheight Online --min $((${ROW_H:-0} * 5 / 4))
vlan_check "the rows of \"Online\" grow by a quarter at least" test $? = 0
BIG_H=$(atspi rowheight Online)

printf '\n== a restart keeps the font\n'
focus_main
require "the main window has the keyboard focus again" test $? = 0
key alt+F4
vlan_wait_exit "$PID_A" "$WRAP_A" 5
vlan_check "Alt+F4 ends the program without a question (exit code ${VLAN_EXIT_CODE:-none})" \
    test "${VLAN_EXIT_CODE:-none}" = 0
vlan_check "Tobrik.conf still holds FontSize=20 and the voice" conf_has FontSize=20 "Stimme=$VOICE"
start_program tobrik2 || exit 1
find_window
require "the program's window is shown again" test $? = 0
shown atspi --timeout 10 rowheight Online --equal "${BIG_H:-0}"
vlan_check "the rows of \"Online\" are as high as before the restart" test $? = 0
vlan_check "the program runs" kill -0 "$PID_A"

teardown
vlan_summary
