#!/usr/bin/env bash
# End-to-end: working from the tray. The real program on a private X display with a tray host, minimised
# while another X client has the keyboard: Ctrl+Alt+PageUp says how many messages are unread, two quick
# Ctrl presses stop the speech, Ctrl+Alt+PageDown brings the window back with the focus in it, and the
# other client still gets every key typed into it. Then the same display without a tray host: the window
# is minimised instead of hidden, and the keys work all the same. The speech is read back from
# speech-dispatcher's output module (tests/vlan/speech.sh).
# Usage: test_traykeys.sh PATH/TO/tobrik. Exit 0 all passed, 1 a failure, 77 skipped.
#
# The LAN:   A 10.213.1.1   the program on Xvfb with trayer, a session bus with AT-SPI, speech-dispatcher,
#                           and xev: the other client, which logs every key it gets
#            B 10.213.1.2   two colleagues (peer.py), who write
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
for tool in Xvfb xdotool xev xwininfo xprop trayer "$REGISTRY"; do
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
XVFB_PID=
DISPLAY_A=
PID_A=
WRAP_A=
WIN=
OTHER=
KEYS=$(vlan_dir A)/xev.out
UNREAD="Ungelesen: 2"
SR="de|filelog-de|0.00|0.00|" # the screen reader's voice (see test_speech.sh)

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

# in_a CMD...: runs CMD in A inside the desktop session.
in_a() { speech_in A env DISPLAY="$DISPLAY_A" "$@"; }
xdo() { in_a xdotool "$@"; }
atspi() { in_a "$VLAN_PYTHON" "$ATSPI_CHECK" "$@"; }
# poll SECONDS CMD...: until CMD succeeds.
poll() {
    local secs=$1 i n
    shift
    n=$(awk -v s="$secs" 'BEGIN { printf "%d", s * 20 }')
    for ((i = 0; i <= n; i++)); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}
# shown CMD...: runs CMD and indents its output (what it saw) above the check line that follows.
shown() {
    local out status
    out=$("$@" 2>&1)
    status=$?
    [ -n "$out" ] && printf '%s\n' "$out" | sed 's/^/        /'
    return "$status"
}

# --- The program's window ---
# The main window, by its title "NAME (STATUS) - Tobrik V1.13"; the tray icon's window is named "Tobrik".
visible_window() { xdo search --onlyvisible --pid "$PID_A" --name ' - Tobrik V' 2>/dev/null | head -n 1; }
found_window() {
    WIN=$(visible_window)
    [ -n "$WIN" ]
}
map_state() { in_a xwininfo -id "$WIN" 2>/dev/null | sed -n 's/^ *Map State: //p'; }
window_shown() { [ "$(map_state)" = IsViewable ]; }
window_hidden() { [ "$(map_state)" = IsUnMapped ]; }
has_focus() { [ "$(xdo getwindowfocus 2>/dev/null)" = "$1" ]; }
# Mapped and asking the window manager for ICCCM state STATE (Iconic or Normal); none runs here to carry
# it out, so the window stays viewable either way.
window_asks() {
    in_a xwininfo -id "$WIN" 2>/dev/null | grep -q 'Map State: IsViewable' &&
        in_a xprop -id "$WIN" WM_HINTS 2>/dev/null | grep -q "Initial state is $1 State"
}
# Whether one of the program's windows is embedded in trayer's panel: its tray icon.
tray_icon_shown() {
    local panel id mine
    panel=$(xdo search --name '^panel$' 2>/dev/null | head -n 1)
    [ -n "$panel" ] || return 1
    mine=$(xdo search --pid "$PID_A" 2>/dev/null)
    for id in $(in_a xwininfo -tree -id "$panel" 2>/dev/null | grep -o '^ *0x[0-9a-f]*'); do
        printf '%s\n' "$mine" | grep -qx "$((id))" && return 0
    done
    return 1
}
# start_program TAG: starts the program in A and waits for its window (WIN).
start_program() {
    vlan_spawn A "$1" "$SECS" env DISPLAY="$DISPLAY_A" "${SPEECH_ENV[@]}" QT_QPA_PLATFORM=xcb "$VLAN_TOBRIK" ||
        exit 1
    PID_A=$VLAN_PID
    WRAP_A=$VLAN_WRAPPER
    poll 10 found_window
    require "the program's window is shown" test $? = 0
    # The start renews the key hook once, 0.75 s after the window appears; a Ctrl pressed before is forgotten.
    sleep 1
}
# minimise: Ctrl+Alt+PageDown in the window, as its user minimises it.
minimise() {
    xdo windowfocus --sync "$WIN" && xdo key ctrl+alt+Next
}

# --- The other client's log: xev prints each event as a block of lines ---
keys_mark() { wc -l <"$KEYS"; }
# keys_after MARK: one line "TIME<tab>KEYSYM<tab>CHARACTERS" per key pressed after line MARK of the log.
keys_after() {
    tail -n +"$(($1 + 1))" "$KEYS" | awk '
        /^KeyPress event/ { p = 1; next }
        /^$/ { p = 0 }
        p && match($0, /time [0-9]+/) { t = substr($0, RSTART + 5, RLENGTH - 5) }
        p && match($0, /keysym 0x[0-9a-f]+, [^)]+/) { k = substr($0, RSTART, RLENGTH); sub(/^[^,]*, /, "", k) }
        p && /XLookupString gives/ {
            c = ""
            if ($0 !~ /gives 0 bytes/) { c = $0; sub(/^[^"]*"/, "", c); sub(/"$/, "", c) }
            printf "%s\t%s\t%s\n", t, k, c
            p = 0
        }'
}
keys_typed() { keys_after "$1" | awk -F '\t' '{ printf "%s", $3 }'; }
keys_got() { keys_after "$1" | cut -f 2 | grep -qx "$2"; }
# ctrl_twice SECONDS: two presses of Ctrl, SECONDS apart, into whatever has the focus. GAP_MS is how far
# apart the X server stamped them (as the other client got them; the program's hook sees the same times).
ctrl_twice() {
    local mark
    mark=$(keys_mark)
    xdo key Control_L sleep "$1" key Control_L
    poll 2 test "$(keys_after "$mark" | grep -c $'\tControl_L\t')" -ge 2
    GAP_MS=$(keys_after "$mark" | awk -F '\t' '$2 == "Control_L" { if (n++) { print $1 - t; exit } t = $1 }')
    GAP_MS=${GAP_MS:-0}
}

# --- Speech ---
spoken_count() { speech_count "$SPEECH_SPOKEN" "$SR" "$UNREAD"; }
# unread_begun: Ctrl+Alt+PageUp with the output module taking 3 s per text; returns once it has begun.
unread_begun() {
    local n
    n=$(speech_count "$SPEECH_STARTED" "begin|" "$UNREAD")
    speech_delay 3
    xdo key ctrl+alt+Prior
    speech_wait "$SPEECH_STARTED" "begin|" "$UNREAD" 3 $((n + 1))
}
last_started() {
    local content
    content=$'\n'$(cat "$SPEECH_STARTED")
    printf '%s\n' "${content##*$'\n'begin|}"
}
# message USER NAME TEXT: a colleague in B writes to A and waits for the acknowledgement.
message() {
    vlan_run B timeout 10 "$VLAN_PYTHON" "$VLAN_PEER" send-text --to 10.213.1.1 --user "$1" --name "$2" \
        --pc PC-B --text "$3" --expect-pc PC-A >/dev/null 2>&1
}

printf '\n== desktop session in A: Xvfb, AT-SPI with a screen reader, speech-dispatcher, trayer\n'
vlan_spawn A xvfb "$SECS" Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp || exit 1
XVFB_PID=$VLAN_PID
vlan_wait_line A xvfb 0 '^[0-9]+$' 10
require "Xvfb runs in A" test $? = 0
DISPLAY_A=:$(printf '%s\n' "$VLAN_REPLY" | tail -n 1)
speech_start A "$SECS"
require "a session bus with AT-SPI and a speech-dispatcher that writes into a file run in A" test $? = 0
speech_screen_reader A true
require "AT-SPI reports a screen reader" speech_screen_reader_is A true
vlan_spawn A registry "$SECS" env DISPLAY="$DISPLAY_A" DBUS_SESSION_BUS_ADDRESS="$SPEECH_BUS" "$REGISTRY" || exit 1
vlan_spawn A trayer "$SECS" env DISPLAY="$DISPLAY_A" trayer --edge bottom --align right --widthtype request ||
    exit 1
TRAYER_PID=$VLAN_PID
poll 5 xdo search --name '^panel$' >/dev/null
require "trayer runs as the tray host" test $? = 0
vlan_spawn A xev "$SECS" env DISPLAY="$DISPLAY_A" xev -event keyboard -name Tastenprotokoll || exit 1
poll 5 xdo search --onlyvisible --name '^Tastenprotokoll$' >/dev/null
require "xev runs as the other client" test $? = 0
OTHER=$(xdo search --onlyvisible --name '^Tastenprotokoll$' | head -n 1)

printf '\n== the program in A; two colleagues write\n'
mkdir -p "$(vlan_dir A)/config"
# Only what the test asks for is spoken: no message texts, no status changes, no window popping up.
printf '[General]\nName=Anna Maier\nStimme=ScreenReader (JAWS/NVDA)\nNachrichtLesen=0\nStatusLesen=0\nFensterWiederherstellen=0\nSoundsWiedergeben=0\n' \
    >"$(vlan_dir A)/config/Tobrik.conf"
start_program tobrik
message bkurz "Bernd Kurz" "Hallo Anna"
require "Bernd's message is acknowledged" test $? = 0
message cjung "Carla Jung" "Guten Morgen"
require "Carla's message is acknowledged" test $? = 0
FOCUSED=Nachrichtenlog # where a message puts the focus
shown atspi --timeout 5 focus "$FOCUSED"
require "the screen reader sees the focus on \"$FOCUSED\"" test $? = 0

printf '\n== minimised to the tray\n'
minimise
poll 5 window_hidden
vlan_check "Ctrl+Alt+PageDown in the window hides it" test $? = 0
poll 5 tray_icon_shown
vlan_check "and its icon is embedded in trayer's panel (an XEMBED tray counts as a tray)" test $? = 0
xdo windowfocus --sync "$OTHER"
require "the other client has the keyboard" has_focus "$OTHER"

printf '\n== Ctrl+Alt+PageUp in the other client\n'
mark=$(keys_mark)
before=$(spoken_count)
xdo key ctrl+alt+Prior
speech_wait "$SPEECH_SPOKEN" "$SR" "$UNREAD" 3 $((before + 1))
vlan_check "says \"$UNREAD\"" test $? = 0
! keys_got "$mark" Prior
vlan_check "and the key is the program's alone: the other client does not get it" test $? = 0

printf '\n== two Ctrl presses while \"%s\" is being spoken (3 s)\n' "$UNREAD"
before=$(spoken_count)
unread_begun
require "Ctrl+Alt+PageUp: the output module has begun" test $? = 0
ctrl_twice 0.2
vlan_check "Ctrl, 200 ms, Ctrl (the server stamped them $GAP_MS ms apart, inside 50..500)" \
    test "$GAP_MS" -gt 50 -a "$GAP_MS" -lt 500
! speech_wait "$SPEECH_SPOKEN" "$SR" "$UNREAD" 4 $((before + 1))
vlan_check "cuts it off: not in the file 4 s later" test $? = 0
vlan_check "  (and no other text took its place)" test "$(last_started)" = "$UNREAD"
before=$(spoken_count)
unread_begun
require "Ctrl+Alt+PageUp again: the output module has begun" test $? = 0
ctrl_twice 0.6
vlan_check "Ctrl, 600 ms, Ctrl (stamped $GAP_MS ms apart: more than 500) while it is still being spoken" \
    test "$GAP_MS" -ge 500 -a "$(spoken_count)" = "$before"
speech_wait "$SPEECH_SPOKEN" "$SR" "$UNREAD" 5 $((before + 1))
vlan_check "does not stop it: it is spoken in full" test $? = 0
speech_delay 0

printf '\n== typing into the other client while the program waits in the tray\n'
mark=$(keys_mark)
TYPED='Hallo, Welt: 42 "ok"!'
ctrl_twice 0.2
xdo type --delay 30 "$TYPED"
poll 3 test "$(keys_typed "$mark")" = "$TYPED"
vlan_check "a double Ctrl and then \"$TYPED\" arrive there unchanged" test $? = 0 ||
    printf '        got: %s\n' "$(keys_typed "$mark")"

printf '\n== Ctrl+Alt+PageDown in the other client\n'
xdo key ctrl+alt+Next
poll 5 window_shown
vlan_check "restores the window" test $? = 0
poll 3 has_focus "$WIN"
vlan_check "with the keyboard focus in it" test $? = 0
shown atspi --timeout 3 focus "$FOCUSED"
vlan_check "the screen reader sees the focus back on \"$FOCUSED\"" test $? = 0
poll 3 eval '! tray_icon_shown'
vlan_check "the tray icon is gone" test $? = 0
xdo windowfocus --sync "$OTHER"
mark=$(keys_mark)
before=$(spoken_count)
xdo key ctrl+alt+Prior
poll 3 keys_got "$mark" Prior
vlan_check "the keys are released: Ctrl+Alt+PageUp reaches the other client ..." test $? = 0
sleep 1
vlan_check "  ... and says nothing" test "$(spoken_count)" = "$before"

printf '\n== the same display without a tray host\n'
kill -TERM "$PID_A"
vlan_wait_exit "$PID_A" "$WRAP_A" 10
require "the program ends on SIGTERM" test "${VLAN_EXIT_CODE:-1}" = 0
kill -TERM "$TRAYER_PID"
poll 5 eval '! xdo search --name "^panel$" >/dev/null'
require "trayer has ended" test $? = 0
start_program notray
minimise
poll 5 window_asks Iconic
vlan_check "Ctrl+Alt+PageDown minimises the window instead of hiding it: still mapped, asking to be iconic" \
    test $? = 0 || in_a xwininfo -id "$WIN" | grep 'Map State' | sed 's/^ */        /'
xdo windowfocus --sync "$OTHER"
require "the other client has the keyboard" has_focus "$OTHER"
before=$(spoken_count)
xdo key ctrl+alt+Prior
speech_wait "$SPEECH_SPOKEN" "$SR" "$UNREAD" 3 $((before + 1))
vlan_check "the keys are armed all the same: Ctrl+Alt+PageUp in the other client says \"$UNREAD\"" test $? = 0
xdo key ctrl+alt+Next
poll 5 window_asks Normal
vlan_check "Ctrl+Alt+PageDown brings the window back to normal ..." test $? = 0
poll 3 has_focus "$WIN"
vlan_check "  ... with the keyboard focus in it" test $? = 0

printf '\n== what speech-dispatcher was given to speak (%s)\n' "${SPEECH_SPOKEN##*/}"
sed 's/\r/\\r/; s/^/        /' "$SPEECH_SPOKEN"
teardown
vlan_summary
