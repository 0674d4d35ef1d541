# shellcheck shell=bash
# Speech that a test can read back, inside one host of the virtual LAN: a private session bus with the
# real AT-SPI bus launcher on it (so a test switches ScreenReaderEnabled as a screen reader does), and a
# private speech-dispatcher whose one output module writes every text into a file. Source it after
# vlan.sh:
#
#   speech_available || exit 77
#   speech_start A || exit 1            # sets SPEECH_BUS, SPEECH_ADDRESS, SPEECH_SPOKEN, ...
#   speech_screen_reader A true
#   vlan_start_driver_env A driver "${SPEECH_ENV[@]}" || exit 1
#
# The module writes two files: SPEECH_STARTED gets "begin|TEXT" as soon as it is given a text, and
# SPEECH_SPOKEN gets "LANGUAGE|VOICE|RATE|VOLUME|TEXT" after a pause of SPEECH_DELAY_FILE's seconds
# (0 unless a test writes more). A stop within that pause keeps the text out of SPEECH_SPOKEN, so a
# test can tell a stopped text from a spoken one. A text's own line breaks stay in it.
# Everything runs inside the host, so vlan_down ends it with the host.
# shellcheck disable=SC2034

SPEECH_LAUNCHER=${SPEECH_LAUNCHER:-/usr/libexec/at-spi-bus-launcher}
SPEECH_BUS=
SPEECH_ADDRESS=
SPEECH_DIR=
SPEECH_SPOKEN=
SPEECH_STARTED=
SPEECH_DELAY_FILE=
SPEECH_LOG=
SPEECH_ENV=() # for a program in the host: the private bus and speech-dispatcher

# 0 when every part is installed; otherwise says what is missing and returns 77.
speech_available() {
    local tool missing=
    for tool in speech-dispatcher dbus-daemon dbus-send "$SPEECH_LAUNCHER"; do
        command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
    done
    if [ -n "$missing" ]; then
        vlan_log "SKIP: missing:$missing"
        return 77
    fi
}


# speech_in NAME CMD...: runs CMD in the host with the private bus and speech-dispatcher.
speech_in() {
    local name=$1
    shift
    vlan_run "$name" env DBUS_SESSION_BUS_ADDRESS="$SPEECH_BUS" SPEECHD_ADDRESS="$SPEECH_ADDRESS" "$@"
}

# speech_screen_reader NAME true|false: sets AT-SPI's ScreenReaderEnabled, as a screen reader does when it
# starts or ends.
speech_screen_reader() {
    speech_in "$1" dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:ScreenReaderEnabled \
        "variant:boolean:$2" >/dev/null
}

speech_screen_reader_is() {
    speech_in "$1" dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:ScreenReaderEnabled 2>/dev/null |
        grep -q "boolean $2"
}

# speech_start NAME [SECONDS]: starts bus, AT-SPI launcher and speech-dispatcher in the host (each ended
# by a watchdog after SECONDS, default VLAN_DEADLINE) and waits until all of them answer.
speech_start() {
    local name=$1 secs=${2:-$VLAN_DEADLINE} d i
    d=$(vlan_dir "$name")
    SPEECH_DIR=$d/speech
    SPEECH_SPOKEN=$SPEECH_DIR/spoken.txt
    SPEECH_STARTED=$SPEECH_DIR/started.txt
    SPEECH_DELAY_FILE=$SPEECH_DIR/delay
    SPEECH_LOG=$SPEECH_DIR/log/speech-dispatcher.log
    SPEECH_ADDRESS=unix_socket:$SPEECH_DIR/spd.sock
    mkdir -p "$SPEECH_DIR/conf/modules" "$SPEECH_DIR/log" "$d/config/speech-dispatcher" || return 1
    : >"$SPEECH_SPOKEN"
    : >"$SPEECH_STARTED"
    echo 0 >"$SPEECH_DELAY_FILE"
    # With the default ("pulse") and no sound server the module is refused.
    printf 'pcm.!default { type null }\n' >"$d/home/.asoundrc"
    # Qt's speechd engine would start a server with the system's configuration if ours did not answer.
    printf 'DisableAutoSpawn\n' >"$d/config/speech-dispatcher/speechd.conf"
    cat >"$SPEECH_DIR/conf/speechd.conf" <<EOF
AudioOutputMethod "alsa"
AddModule "filelog" "sd_generic" "filelog.conf"
DefaultModule filelog
DefaultLanguage "de"
LogDir "$SPEECH_DIR/log"
EOF
    # The module fills in each \$NAME once, so the text goes through a variable. Two voices, so a text
    # shows which one spoke it: "filelog-de" is the language's default, "filelog-de2" only when chosen.
    cat >"$SPEECH_DIR/conf/modules/filelog.conf" <<EOF
GenericExecuteSynth "d=\\'\$DATA\\'; printf 'begin|%s\\\\n' \\"\$d\\" >> $SPEECH_STARTED; sleep \$(cat $SPEECH_DELAY_FILE); printf '%s|%s|%s|%s|%s\\\\n' \\"\$LANGUAGE\\" \\"\$VOICE\\" \\"\$RATE\\" \\"\$VOLUME\\" \\"\$d\\" >> $SPEECH_SPOKEN"
GenericLanguage "de" "de" "utf-8"
AddVoice "de" "MALE1" "filelog-de"
AddVoice "de" "FEMALE1" "filelog-de2"
EOF

    vlan_spawn "$name" bus "$secs" dbus-daemon --session --nofork --print-address=1 || return 1
    vlan_wait_line "$name" bus 0 '^unix:' 5 || return 1
    SPEECH_BUS=$(printf '%s\n' "$VLAN_REPLY" | tail -n 1)
    SPEECH_ENV=("DBUS_SESSION_BUS_ADDRESS=$SPEECH_BUS" "SPEECHD_ADDRESS=$SPEECH_ADDRESS" LANG=C.UTF-8)
    vlan_spawn "$name" a11y "$secs" env DBUS_SESSION_BUS_ADDRESS="$SPEECH_BUS" "$SPEECH_LAUNCHER" || return 1
    for ((i = 0; i < 50; i++)); do
        speech_screen_reader_is "$name" false && break
        sleep 0.1
    done
    speech_screen_reader_is "$name" false || {
        vlan_log "AT-SPI does not answer on the private bus: $(cat "$d/a11y.err")"
        return 1
    }

    # Log level 5: every command a client sends shows in the log.
    vlan_spawn "$name" spd "$secs" speech-dispatcher -s -t 0 -l 5 -C "$SPEECH_DIR/conf" -c unix_socket \
        -S "$SPEECH_DIR/spd.sock" -L "$SPEECH_DIR/log" -P "$SPEECH_DIR/spd.pid" || return 1
    for ((i = 0; i < 100; i++)); do
        speech_answers "$name" && return 0
        sleep 0.1
    done
    vlan_log "speech-dispatcher does not answer: $(cat "$d/spd.err")"
    return 1
}

# Whether speech-dispatcher answers on its socket (a QUIT, so no client is left behind).
speech_answers() {
    vlan_run "$1" "$VLAN_PYTHON" -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.settimeout(1)
try:
    s.connect(sys.argv[1])
    s.sendall(b"QUIT\r\n")
    sys.exit(0 if s.recv(64)[:3].isdigit() else 1)
except OSError:
    sys.exit(1)
' "$SPEECH_DIR/spd.sock" 2>/dev/null
}

# speech_delay SECONDS: how long the module waits between taking a text and writing it.
speech_delay() { echo "$1" >"$SPEECH_DELAY_FILE"; }

# Prefixes may use extended patterns such as @(19|20); [[ == ]] knows them anyway, ${x#...} only so.
shopt -s extglob

# speech_count FILE PREFIX TEXT: how many entries of FILE are PREFIX (a pattern that cannot reach past
# one line) followed by TEXT as given (which may span lines).
speech_count() {
    local content n=0
    content=$'\n'$(cat "$1" 2>/dev/null)$'\n'
    # shellcheck disable=SC2053 # PREFIX is a pattern on purpose
    while [[ $content == *$'\n'$2"$3"$'\n'* ]]; do
        n=$((n + 1))
        # shellcheck disable=SC2295
        content=${content#*$'\n'$2"$3"}
    done
    echo "$n"
}

# speech_mentions FILE TEXT: TEXT occurs anywhere in FILE.
speech_mentions() {
    local content
    content=$(cat "$1" 2>/dev/null)
    [[ $content == *"$2"* ]]
}

# speech_wait FILE PREFIX TEXT SECONDS [COUNT]: waits until FILE holds COUNT (default 1) such entries.
speech_wait() {
    local i n
    n=$(awk -v s="$4" 'BEGIN { printf "%d", s * 50 }')
    for ((i = 0; i <= n; i++)); do
        [ "$(speech_count "$1" "$2" "$3")" -ge "${5:-1}" ] && return 0
        sleep 0.02
    done
    return 1
}
