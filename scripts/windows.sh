#!/usr/bin/env bash
# The Windows build: cross-compiles Tobrik.exe and the tests with mingw-w64 against a Qt SDK for Windows, and
# runs the core tests and the offscreen window tests under Wine through CTest.
#   scripts/windows.sh           install what is missing, build into build-win/, test; ends with CTest's summary
#   scripts/windows.sh package   build Tobrik.exe and pack build-win/Tobrik-<version>-win64.zip, then check that
#                                the unpacked folder starts under Wine on its own (no network but loopback)
# The SDK comes from ../shared/win/qt6-mingw-6.4.2.tar.zst (TOBRIK_WIN_SDK names another file) and is unpacked
# into the cache folder; without that file scripts/windows-sdk.sh builds it from Debian's sources (20 minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-test}
case $mode in test | package) ;; *) echo "usage: $0 [package]" >&2; exit 2 ;; esac

src=$PWD
build=$src/build-win
cache=${TOBRIK_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tobrik-win}
sdk=$cache/qt6-mingw-6.4.2
tarball=${TOBRIK_WIN_SDK:-$src/../shared/win/qt6-mingw-6.4.2.tar.zst}
jobs=${JOBS:-2}
log() { printf '== %s\n' "$*"; }

# --- packages from Debian: the posix-thread compilers (the win32 ones have no std::mutex), Wine, zstd -----------
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 zstd
          cmake ninja-build zip unzip util-linux iproute2 fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || { echo "Please run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
        sudo="sudo"
    fi
    log "installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- the SDK ------------------------------------------------------------------------------------------------
if [[ ! -f $sdk/lib/cmake/Qt6/qt.toolchain.cmake ]]; then
    mkdir -p "$cache"
    if [[ -f $tarball ]]; then
        log "unpacking $tarball into $cache"
        tar -I zstd -xf "$tarball" -C "$cache"
    else
        log "no SDK tarball at $tarball: building the SDK (about 20 minutes)"
        PREFIX=$sdk scripts/windows-sdk.sh base shadertools multimedia
    fi
fi

# --- configure and build --------------------------------------------------------------------------------------
cmake -G Ninja -S "$src" -B "$build" -Wno-dev \
    -DCMAKE_BUILD_TYPE=Release -DTOBRIK_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$sdk/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$src/scripts/wine-run.sh" >/dev/null
if [[ $mode == package ]]; then
    cmake --build "$build" -j"$jobs" --target tobrik tobrik_sounds
else
    cmake --build "$build" -j"$jobs"
fi

# The tests' own Wine prefix (CTest names it for every test); made once, then reused.
prefix=$build/testenv/wineprefix
export QT_MINGW=$sdk
wine_prefix() {
    if [[ ! -f $prefix/system.reg ]]; then
        log "creating the Wine prefix $prefix"
        WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
    fi
    # Wine's null display driver: windows exist (hidden ones receive messages, hotkeys register) without an X
    # server, as on a locked-down CI machine.
    if ! grep -qs '"Graphics"="null"' "$prefix/user.reg"; then
        WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    fi
    # The prefix complete on disk before any test starts: the LAN test copies it for its hosts.
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
    # One server for the whole run instead of one per test, and Wine's own background programs started now:
    # started by a test, they would hold CTest's output pipe open and the test would never end.
    WINEPREFIX=$prefix wineserver -p || true # already running for this prefix
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine cmd /c exit \
        </dev/null >/dev/null 2>&1 || true
}

if [[ $mode == test ]]; then
    wine_prefix
    status=0
    # TOBRIK_WIN_CTEST_EXCLUDE: a CTest -E pattern of tests left out of this run.
    (cd "$build" && ctest --output-on-failure --timeout 300 -j"$jobs" \
        ${TOBRIK_WIN_CTEST_EXCLUDE:+-E "$TOBRIK_WIN_CTEST_EXCLUDE"}) || status=$?
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true # the tests' prefix only
    exit "$status"
fi

# --- package ---------------------------------------------------------------------------------------------------
version=$(sed -n 's/^project(Tobrik VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
name=Tobrik-$version-win64
stage=$build/package/$name
zipfile=$build/$name.zip
objdump=x86_64-w64-mingw32-objdump
strip=x86_64-w64-mingw32-strip
runtime_dirs=("$sdk/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
rm -rf "$stage" "$zipfile"
mkdir -p "$stage"

# The DLLs a file imports that are ours to ship (Qt's and the compiler's), followed recursively.
copy_imports() {
    local file=$1 dll dir
    for dll in $($objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        [[ -e $stage/$dll ]] && continue
        for dir in "${runtime_dirs[@]}"; do
            if [[ -f $dir/$dll ]]; then
                cp "$dir/$dll" "$stage/$dll"
                copy_imports "$stage/$dll"
                break
            fi
        done
    done
}

cp "$build/Tobrik.exe" "$stage/"
# Plugins Qt loads at run time: the window system (qoffscreen also lets an administrator start it headless),
# the native style, the sound backend. No TLS: the program speaks plain UDP.
for plugin in platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll \
              multimedia/windowsmediaplugin.dll; do
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$sdk/plugins/$plugin" "$stage/$plugin"
done
for file in "$stage/Tobrik.exe" "$stage"/*/*.dll; do
    copy_imports "$file"
done
for dll in libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll; do
    [[ -f $stage/$dll ]] || { echo "runtime DLL $dll was not found among the imports" >&2; exit 1; }
done
$strip --strip-unneeded "$stage/Tobrik.exe" "$stage"/*.dll "$stage"/*/*.dll

mkdir -p "$stage/sounds"
cp "$src"/sounds/*.wav "$stage/sounds/"
# Texts for Windows editors: CRLF line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1" > "$2"; }
crlf "$src/History.txt" "$stage/History.txt"
crlf "$src/packaging/windows/LiesMich.txt" "$stage/LiesMich.txt"
crlf "$src/packaging/windows/User.txt" "$stage/User.txt"
crlf "$src/packaging/Tobrik.ini" "$stage/Tobrik.ini"

(cd "$build/package" && zip -qr9 "$zipfile" "$name")
log "$zipfile: $(du -h "$zipfile" | cut -f1), unpacked $(du -sh "$stage" | cut -f1)"

# --- the unpacked folder starts on its own ---------------------------------------------------------------------
# Unzipped afresh, run without WINEPATH (every DLL must come from the folder) in a network namespace of its own
# with only loopback, so the program's broadcasts reach nobody. Wine's server makes the sockets, so the prefix is
# one of its own whose server is started inside the namespace (any server left over for it is ended first).
# The program counts as started when it still runs after the wait; a missing DLL ends it at once. A second start
# must hand over to the first and end by itself, and a close request in the registry must end the first.
check=$build/package-check
checkprefix=$build/package-check-prefix
rm -rf "$check"
mkdir -p "$check"
unzip -q "$zipfile" -d "$check"
WINEPREFIX=$checkprefix wineserver -k 2>/dev/null || true
log "checking the unpacked folder under Wine"
exe_dos=$(echo "Z:$check/$name/Tobrik.exe" | tr / '\\')
unshare --net bash -euc '
    ip link set lo up
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset WINEPATH
    if [[ ! -f $WINEPREFIX/system.reg ]]; then wineboot -i > /dev/null 2>&1 || true; fi
    grep -qs "\"Graphics\"=\"null\"" "$WINEPREFIX/user.reg" ||
        wine reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d null /f > /dev/null
    export WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1
    export WINEQT_QPA_FONTDIR="Z:\\usr\\share\\fonts\\truetype\\dejavu"
    wine "$2" > "$3/first.log" 2>&1 &
    first=$!
    sleep 15
    kill -0 $first 2>/dev/null || { echo "Tobrik.exe ended early:"; cat "$3/first.log"; exit 1; }
    echo "Tobrik.exe runs"
    start=$(date +%s)
    timeout 60 wine "$2" > "$3/second.log" 2>&1 || { echo "the second start did not end by itself"; exit 1; }
    echo "a second start handed over and ended after $(( $(date +%s) - start )) s"
    wine reg add "HKCU\\Tobrik" /v ProgramClose /d 1 /f > /dev/null
    for i in $(seq 1 150); do kill -0 $first 2>/dev/null || break; sleep 0.2; done
    if kill -0 $first 2>/dev/null; then echo "Tobrik.exe did not close on request"; kill $first; exit 1; fi
    echo "Tobrik.exe closed on request"
    wineserver -k 2>/dev/null || true
' check "$checkprefix" "$exe_dos" "$check"
log "package ok"
