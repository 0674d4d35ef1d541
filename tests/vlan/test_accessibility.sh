#!/usr/bin/env bash
# End-to-end through the accessibility layer: the real program on an X display, read from outside over
# AT-SPI as a screen reader reads it, and worked with the keyboard alone (XTEST key events).
# Usage: test_accessibility.sh PATH/TO/tobrik [PATH/TO/tobrik_driver]. Exit 0 all passed, 1 a failure,
# 77 skipped (not root, no namespaces, or a desktop tool missing).
#
# The LAN:   A 10.213.1.1   the program on a private Xvfb, session bus and accessibility bus
#            B 10.213.1.2   a simulated colleague (peer.py): announces itself, acknowledges texts
set -u

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/vlan/vlan.sh
. "$HERE/vlan.sh"

vlan_programs "${1:-}"
ATSPI_CHECK=$HERE/atspi_check.py
BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher
REGISTRY=/usr/libexec/at-spi2-registryd

missing=
for tool in Xvfb xdotool dbus-daemon dbus-send "$BUS_LAUNCHER" "$REGISTRY"; do
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
    vlan_run A env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "$@"
}
atspi() { in_a "$VLAN_PYTHON" "$ATSPI_CHECK" "$@"; }
# key KEYS...: key strokes through XTEST to the window that has the input focus.
key() { in_a xdotool key --clearmodifiers --delay 60 "$@"; }
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
vlan_spawn A dbus "$SECS" dbus-daemon --session --nofork --print-address=1 || exit 1
vlan_wait_line A dbus 0 '^unix:' 5
require "a private session bus runs in A" test $? = 0
BUS_A=$(printf '%s\n' "$VLAN_REPLY" | tail -n 1)
vlan_spawn A a11ybus "$SECS" env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" \
    "$BUS_LAUNCHER" --launch-immediately || exit 1
a11y_up() {
    local i
    for ((i = 0; i < 50; i++)); do
        in_a dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
            >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
a11y_up
require "the accessibility bus answers" test $? = 0
vlan_spawn A registry "$SECS" env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" "$REGISTRY" || exit 1

printf '\n== the program in A, a colleague in B\n'
vlan_spawn B peer "$SECS" "$VLAN_PYTHON" "$VLAN_PEER" listen --ack --announce "$(vlan_broadcast 1)" --every 2 \
    --seconds "$SECS" --out "$RX_B" --user bkurz --name "Bernd Kurz" --pc PC-B || exit 1
vlan_spawn A tobrik "$SECS" env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$BUS_A" QT_QPA_PLATFORM=xcb \
    QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LANG=C.UTF-8 "$VLAN_TOBRIK" || exit 1
PID_A=$VLAN_PID
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

teardown
vlan_summary
