#!/bin/sh
# Runs a Windows program under Wine for tests; CMake's CMAKE_CROSSCOMPILING_EMULATOR, so CTest runs every
# test through it. QT_MINGW names the unpacked SDK (default: the cache folder of scripts/windows.sh).
# Wine hides the Unix QT_* variables from Windows programs and passes WINEQT_* instead (without the WINE
# prefix), so each QT_* is copied to WINEQT_*.
: "${QT_MINGW:=${XDG_CACHE_HOME:-$HOME/.cache}/tobrik-win/qt6-mingw-6.4.2}"
# CTest names the prefix (one per build tree); by hand, a prefix of its own rather than the user's ~/.wine.
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tobrik-win/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
qtbin=$(echo "Z:$QT_MINGW/bin" | tr / '\\')
export WINEPATH="$qtbin;Z:\\usr\\lib\\gcc\\x86_64-w64-mingw32\\12-posix;Z:\\usr\\x86_64-w64-mingw32\\lib${WINEPATH:+;$WINEPATH}"
for v in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$v=\"\$$v\""
done
export WINEQT_FORCE_STDERR_LOGGING=1   # no console window under Wine: Qt would log to OutputDebugString
: "${WINEQT_QPA_FONTDIR:=Z:\\usr\\share\\fonts\\truetype\\dejavu}"; export WINEQT_QPA_FONTDIR  # offscreen uses FreeType
exec wine "$@"
