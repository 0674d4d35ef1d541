#!/usr/bin/env bash
# An install puts the eleven sounds into "sounds/" beside the installed program, unchanged.
#   test_install.sh BUILD_DIR BINDIR SOUNDS_FOLDER
set -u
BUILD=${1:?usage: test_install.sh BUILD_DIR BINDIR SOUNDS_FOLDER}
BINDIR=${2:?usage: test_install.sh BUILD_DIR BINDIR SOUNDS_FOLDER}
SOUNDS=${3:?usage: test_install.sh BUILD_DIR BINDIR SOUNDS_FOLDER}

PREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tobrik-install.XXXXXX") || exit 1
trap 'rm -rf "$PREFIX"' EXIT

if ! cmake --install "$BUILD" --prefix "$PREFIX" >"$PREFIX.log" 2>&1; then
    echo "FAIL: cmake --install failed:"
    cat "$PREFIX.log"
    rm -f "$PREFIX.log"
    exit 1
fi
rm -f "$PREFIX.log"

fails=0
if [ -x "$PREFIX/$BINDIR/tobrik" ]; then
    echo "ok:   $BINDIR/tobrik installed"
else
    echo "FAIL: no $BINDIR/tobrik"
    fails=$((fails + 1))
fi
count=0
for wav in "$SOUNDS"/*.wav; do
    name=$(basename "$wav")
    count=$((count + 1))
    if ! cmp -s "$wav" "$PREFIX/$BINDIR/sounds/$name"; then
        echo "FAIL: $BINDIR/sounds/$name missing or different"
        fails=$((fails + 1))
    fi
done
installed=$(find "$PREFIX/$BINDIR/sounds" -name '*.wav' 2>/dev/null | wc -l)
if [ "$count" -eq 11 ] && [ "$installed" -eq 11 ]; then
    echo "ok:   the eleven sounds in $BINDIR/sounds/"
else
    echo "FAIL: expected the eleven sounds, the repository has $count, the install $installed"
    fails=$((fails + 1))
fi
[ "$fails" -eq 0 ]
