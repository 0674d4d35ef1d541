#!/usr/bin/env bash
# Screenshots of the main window, the options dialog and the font dialog at the default font and at 30
# points, with a colleague online and a conversation open, taken under a private Xvfb in a network
# namespace with loopback only (nothing leaves the machine). Needs root (unshare).
# Usage: screenshots.sh [BUILD-DIR [OUT-DIR]]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
OUT=$(mkdir -p "${2:-$ROOT/docs/screenshots}" && cd "${2:-$ROOT/docs/screenshots}" && pwd)
WORK=$(mktemp -d /tmp/tobrik-shots.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/home/.config/speech-dispatcher" "$WORK/runtime"
chmod 700 "$WORK/runtime"
# The options dialog lists the voices; asking for them must not start a speech server that outlives us.
printf 'DisableAutoSpawn\n' >"$WORK/home/.config/speech-dispatcher/speechd.conf"
# shots SUFFIX: the window, then each dialog opened from it and closed with Escape.
shots() {
    cat <<CMD
screenshot $OUT/main-$1.png
dialog options
wait 800
screenshot $OUT/options-$1.png
key Escape
dialog font
wait 800
screenshot $OUT/font-$1.png
key Escape
wait 300
CMD
}
{
    printf 'wait 1500\nopen-online PC-B\ntype Hallo Anna, kommst du um 10 zur Besprechung?\nwait 500\n'
    shots default
    printf 'font 30\nwait 800\n'
    shots 30pt
    printf 'quit\n'
} >"$WORK/cmd"
unshare --net --uts -- sh -c '
    ip link set lo up
    hostname pc-a
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$0/display" 2>/dev/null &
    X=$!
    for i in $(seq 100); do [ -s "$0/display" ] && break; sleep 0.05; done
    # A colleague on this host, announced to loopback where the program listens.
    python3 "$1/tests/vlan/peer.py" presence --to 127.0.0.1 --every 1 --count 6 --user amuster \
        --name "Anna Muster" --pc PC-B >/dev/null &
    DISPLAY=:$(cat "$0/display") QT_QPA_PLATFORM=xcb HOME="$0/home" XDG_CONFIG_HOME="$0/home/.config" \
        XDG_DATA_HOME="$0/home/.local/share" XDG_RUNTIME_DIR="$0/runtime" TOBRIK_DRIVER_INPUT="$0/cmd" \
        timeout 40 "$2/tests/vlan/tobrik_driver" | grep -e screenshot -e dialog-open
    kill $X
' "$WORK" "$ROOT" "$BUILD"
echo "Screenshots in $OUT"
