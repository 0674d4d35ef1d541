#!/usr/bin/env bash
# Builds a minimal Qt 6.4.2 SDK for x86_64-w64-mingw32 (shared, release) from Debian 12's own source
# packages, on Debian 12, using Debian's mingw-w64 (GCC 12, POSIX threads) and the host Qt
# (qt6-base-dev) for moc/rcc/uic. Result: $PREFIX, usable with
#   cmake -DCMAKE_TOOLCHAIN_FILE=$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake ...
# Usage: windows-sdk.sh [base] [shadertools] [multimedia]   (default: all three, what the program needs)
# scripts/windows.sh runs it only when the prebuilt SDK tarball is absent; it takes about 20 minutes on 2 cores.
# (speech=: only with Debian's qt6-speech source (apt-get source qt6-speech), which 404s on this archive today;
#  never with code fetched from elsewhere.)
set -euo pipefail

CACHE=${TOBRIK_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tobrik-win}
PREFIX=${PREFIX:-$CACHE/qt6-mingw-6.4.2}
WORK=${WORK:-$CACHE/qt-work}
JOBS=${JOBS:-2}
NICE=(nice -n 19)
stages=("$@"); ((${#stages[@]})) || stages=(base shadertools multimedia)
mkdir -p "$WORK/src"
log() { printf '%s %s\n' "$(date +%T)" "$*"; }

# --- host packages (Debian 12) -------------------------------------------------------------------
need=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      qt6-base-dev qt6-base-dev-tools qt6-shadertools-dev cmake ninja-build perl dpkg-dev wine wine64 zstd)
missing=()
for p in "${need[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p"); done
if ((${#missing[@]})); then
    log "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    # source packages from the same archive the machine already uses
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] && grep -q '^Types: deb$' "$f" && sed 's/^Types: deb$/Types: deb-src/' "$f"
    done > /etc/apt/sources.list.d/deb-src-for-qt.sources
    [[ -f /etc/apt/sources.list ]] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >> /etc/apt/sources.list.d/deb-src-for-qt.list
    apt-get update -qq
fi

# --- toolchain file: the -posix compilers, so that std::thread/std::mutex exist (GCC 12 win32 model lacks them)
TC=$WORK/mingw-w64-x86_64.cmake
cat > "$TC" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

debsrc() {  # debsrc PACKAGE -> prints the unpacked source folder
    local pkg=$1 dir
    dir=$(find "$WORK/src" -maxdepth 1 -type d -name "$pkg-*" | head -1)
    if [[ -z $dir ]]; then
        (cd "$WORK/src" && apt-get source -qq "$pkg" >/dev/null 2>&1) || { echo "apt-get source $pkg failed" >&2; return 1; }
        dir=$(find "$WORK/src" -maxdepth 1 -type d -name "$pkg-*" | head -1)
    fi
    echo "$dir"
}

module() {  # module NAME SRC [cmake args...]: configure, build and install one Qt module into $PREFIX
    local name=$1 src=$2; shift 2
    local b=$WORK/build-$name
    rm -rf "$b"
    log "$name: configure"
    "${NICE[@]}" cmake -G Ninja -S "$src" -B "$b" -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$TC" \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF "$@" > "$WORK/$name-configure.log" 2>&1
    log "$name: build"
    "${NICE[@]}" ninja -C "$b" -j"$JOBS" > "$WORK/$name-build.log" 2>&1
    "${NICE[@]}" cmake --install "$b" > "$WORK/$name-install.log" 2>&1
    log "$name: installed"
}

for stage in "${stages[@]}"; do
case $stage in
base)
    src=$(debsrc qt6-base)
    b=$WORK/build-qtbase
    rm -rf "$b" "$PREFIX"
    log "qtbase: configure"
    # tabletevent OFF: Debian's +dfsg source drops src/3rdparty/wintab, which the windows plugin needs for it.
    # direct2d OFF needs directwrite3 OFF too: Gui compiles the DirectWrite3 font database only with direct2d,
    # but the windows plugin uses it whenever directwrite3 is on (link error otherwise).
    "${NICE[@]}" cmake -G Ninja -S "$src" -B "$b" -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$TC" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_icu=OFF -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF \
        -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF -DFEATURE_tabletevent=OFF \
        -DFEATURE_zstd=OFF -DFEATURE_openssl=OFF -DFEATURE_androiddeployqt=OFF \
        -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF > "$WORK/qtbase-configure.log" 2>&1
    log "qtbase: build"
    "${NICE[@]}" ninja -C "$b" -j"$JOBS" > "$WORK/qtbase-build.log" 2>&1
    "${NICE[@]}" cmake --install "$b" > "$WORK/qtbase-install.log" 2>&1
    # keep the chain-loaded toolchain file inside the SDK, so the folder can be moved anywhere
    cp "$TC" "$PREFIX/lib/cmake/Qt6/mingw-w64-x86_64.cmake"
    sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake")|' \
        "$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake"
    log "qtbase: installed"
    ;;
shadertools)
    module qtshadertools "$(debsrc qt6-shadertools)"
    ;;
multimedia)
    # Windows Media Foundation backend. Upstream's names differ in case from mingw-w64's files
    # (libMf vs libmf.a, <Mferror.h> vs mferror.h, <QUrl.h>): point at the files, add a case-alias folder.
    ci=$WORK/case-include; mkdir -p "$ci"
    for pair in Dbt:dbt Functiondiscoverykeys_devpkey:functiondiscoverykeys_devpkey InitGuid:initguid \
                Mferror:mferror Mfidl:mfidl Mfreadwrite:mfreadwrite Wmcodecdsp:wmcodecdsp; do
        ln -sf "/usr/x86_64-w64-mingw32/include/${pair#*:}.h" "$ci/${pair%%:*}.h"
    done
    ln -sf "$PREFIX/include/QtCore/qurl.h" "$ci/QUrl.h"
    L=/usr/x86_64-w64-mingw32/lib
    module qtmultimedia "$(debsrc qt6-multimedia)" -DCMAKE_CXX_FLAGS="-I$ci" -DFEATURE_spatialaudio=OFF \
        -DWMF_MF_LIBRARY=$L/libmf.a -DWMF_MFUUID_LIBRARY=$L/libmfuuid.a -DWMF_MFPLAT_LIBRARY=$L/libmfplat.a \
        -DWMF_MFCORE_LIBRARY=$L/libmfcore.a -DWMF_PROPSYS_LIBRARY=$L/libpropsys.a
    ;;
*) echo "unknown stage $stage" >&2; exit 2 ;;
esac
done
log "done: $(du -sh "$PREFIX" | cut -f1) in $PREFIX"
