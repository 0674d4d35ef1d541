#!/bin/sh
# Tobrik.exe under Wine as a program for the virtual LAN's hosts (VLAN_TOBRIK). Wine's server makes the
# sockets, so every host has a Wine prefix of its own below its HOME, and its server runs in the host's network
# namespace. A new prefix is a copy of TOBRIK_WINE_TEMPLATE (the tests' prefix, null display driver included).
# TOBRIK_EXE names the program, QT_MINGW the SDK (scripts/wine-run.sh finds the DLLs there).
: "${TOBRIK_EXE:?}" "${TOBRIK_WINE_TEMPLATE:?}"
export WINEPREFIX="$HOME/wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    cp -a "$TOBRIK_WINE_TEMPLATE" "$WINEPREFIX" || exit 1
fi
exec "$(dirname "$0")/../../scripts/wine-run.sh" "$TOBRIK_EXE" "$@"
