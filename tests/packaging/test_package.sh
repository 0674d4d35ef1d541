#!/usr/bin/env bash
# The Debian package made from a built tree, checked the way an administrator meets it:
#   1. scripts/package.sh makes tobrik_<version>_<arch>.deb; its control fields name every library the
#      program links and the speech plugin; User.txt and Tobrik.ini in /etc/tobrik are conffiles;
#   2. unpacked (dpkg -x): the program folder /usr/lib/tobrik with the program, the eleven sounds,
#      History.txt and links to the administrator's files; /usr/bin/tobrik leads to the program; the
#      desktop entry and the AppStream metadata validate, the icon is an SVG of our own;
#   3. installed into a scratch root (dpkg --root), its checksums verify; the installed program, started
#      through /usr/bin/tobrik in a network namespace of its own with private HOME and XDG folders, reads
#      its sounds, User.txt and History.txt and looks for its update program in the program folder
#      (strace); removed, only the conffiles stay, purged, nothing stays;
#   4. cmake --install to another prefix keeps everything in the program folder;
#   5. lintian reports no error (where lintian is installed).
# Usage: test_package.sh BUILD_DIR SOURCE_DIR. Exit 0 passed, 1 a failure, 77 skipped (tools missing:
# scripts/deps.sh installs them).
set -u
BUILD=$(cd "${1:?usage: test_package.sh BUILD_DIR SOURCE_DIR}" && pwd)
SRC=$(cd "${2:?usage: test_package.sh BUILD_DIR SOURCE_DIR}" && pwd)

for tool in cpack dpkg dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing (Debian: dpkg-dev desktop-file-utils appstream; scripts/deps.sh)"
        exit 77
    fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tobrik-package.XXXXXX") || exit 1
trap 'rm -rf "$WORK"' EXIT
fails=0
ok() { echo "ok:   $*"; }
fail() {
    echo "FAIL: $*"
    fails=$((fails + 1))
}
check() { # check DESCRIPTION COMMAND...: the command's output is shown only when it fails
    local what=$1
    shift
    if "$@" >"$WORK/check.log" 2>&1; then
        ok "$what"
    else
        sed 's/^/      /' "$WORK/check.log"
        fail "$what"
    fi
}
same() { cmp -s "$1" "$2"; }

# --- 1. The package and its control fields ---------------------------------------------------------
if ! deb=$("$SRC/scripts/package.sh" "$BUILD" "$WORK/out" 2>"$WORK/package.log"); then
    cat "$WORK/package.log"
    echo "FAIL: scripts/package.sh made no package"
    exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
arch=$(dpkg --print-architecture)
check "the package is tobrik_${version}_${arch}.deb" test "$(basename "$deb")" = "tobrik_${version}_${arch}.deb"
field() { dpkg-deb -f "$deb" "$1"; }
check "control: package tobrik, version $version, architecture $arch" \
    test "$(field Package) $(field Version) $(field Architecture)" = "tobrik $version $arch"
depends=$(field Depends | tr ',' '\n' | sed 's/(.*)//; s/|.*//; s/[[:space:]]//g')
has_dep() { grep -qx "$1" <<<"$depends"; }
check "depends on the speech-dispatcher plugin of Qt's speech" has_dep qt6-speech-speechd-plugin
# Every library the program links comes from a package that Depends names.
missing=()
owner() { # the package that holds a library file, whichever of /lib and /usr/lib it names
    local path pkg
    for path in "$1" "$(readlink -f "$1")" "/usr$1" "${1#/usr}"; do
        pkg=$(dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1)
        [[ -n $pkg ]] && { echo "$pkg"; return; }
    done
}
while read -r lib path; do
    pkg=$(owner "$path")
    [[ -n $pkg ]] && has_dep "$pkg" || missing+=("$lib${pkg:+ ($pkg)}")
done < <(ldd "$BUILD/tobrik" | awk '$2 == "=>" { print $1, $3 }' |
    grep -F -f <(objdump -p "$BUILD/tobrik" | awk '$1 == "NEEDED" { print $2 " " }'))
check "Depends covers every linked library${missing[*]:+; missing: ${missing[*]}}" test ${#missing[@]} -eq 0
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles >"$WORK/conffiles" 2>/dev/null
check "conffiles: /etc/tobrik/Tobrik.ini and /etc/tobrik/User.txt" \
    test "$(sort "$WORK/conffiles" | tr '\n' ' ')" = "/etc/tobrik/Tobrik.ini /etc/tobrik/User.txt "

# --- 2. The unpacked layout --------------------------------------------------------------------------
X="$WORK/x"
dpkg-deb -x "$deb" "$X" || { echo "FAIL: dpkg-deb -x"; exit 1; }
P="$X/usr/lib/tobrik"
check "the program is /usr/lib/tobrik/tobrik, executable" test -f "$P/tobrik" -a -x "$P/tobrik"
check "/usr/bin/tobrik links to ../lib/tobrik/tobrik" test "$(readlink "$X/usr/bin/tobrik")" = "../lib/tobrik/tobrik"
check "/usr/bin/tobrik leads to the program" test "$(readlink -f "$X/usr/bin/tobrik")" = "$(readlink -f "$P/tobrik")"
count=0
for wav in "$SRC"/sounds/*.wav; do
    same "$wav" "$P/sounds/$(basename "$wav")" && count=$((count + 1))
done
installed=$(find "$P/sounds" -type f | wc -l)
check "the eleven sounds in /usr/lib/tobrik/sounds, unchanged ($count of $installed)" test "$count" -eq 11 -a "$installed" -eq 11
check "History.txt beside the program is the repository's" same "$SRC/History.txt" "$P/History.txt"
for name in User.txt Tobrik.ini; do
    check "/etc/tobrik/$name as shipped" same "$SRC/packaging/$name" "$X/etc/tobrik/$name"
    check "/usr/lib/tobrik/$name links to /etc/tobrik/$name" test "$(readlink "$P/$name")" = "/etc/tobrik/$name"
done
# The shipped User.txt explains itself without making up users: no line of it is a directory row.
check "the shipped User.txt has no directory rows" bash -c '! grep -q "|" "$0"' "$X/etc/tobrik/User.txt"
check "an example User.txt with rows in the documentation" grep -q '|' "$X/usr/share/doc/tobrik/examples/User.txt"
check "copyright, changelog and manual page" test -f "$X/usr/share/doc/tobrik/copyright" \
    -a -f "$X/usr/share/doc/tobrik/changelog.gz" -a -f "$X/usr/share/man/man1/tobrik.1.gz"
desktop="$X/usr/share/applications/tobrik.desktop"
check "desktop entry validates (desktop-file-validate)" desktop-file-validate "$desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
check "the entry starts /usr/bin/$exec_name" test -L "$X/usr/bin/$exec_name"
svg="$X/usr/share/icons/hicolor/scalable/apps/$icon_name.svg"
check "its icon $icon_name is an SVG that parses" python3 -c '
import sys, xml.etree.ElementTree as et
sys.exit(et.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' "$svg"
metainfo=$(find "$X/usr/share/metainfo" -name '*.metainfo.xml')
check "AppStream metadata validates (appstreamcli validate --no-net)" appstreamcli validate --no-net "$metainfo"
check "the metadata launches tobrik.desktop and describes version $version" python3 -c '
import sys, xml.etree.ElementTree as et
r = et.parse(sys.argv[1]).getroot()
sys.exit(r.findtext("launchable") != "tobrik.desktop" or r.find("releases/release").get("version") != sys.argv[2])' \
    "$metainfo" "$version"
outside=$(cd "$X" && find . -mindepth 1 -maxdepth 1 ! -name usr ! -name etc)
check "nothing outside /usr and /etc" test -z "$outside"
writable=$(find "$X" -perm /022 ! -type l)
check "nothing writable by group or others" test -z "$writable"

# --- 3. Installed into a scratch root, run, removed, purged -------------------------------------------
dpkg_root=()
if [[ $(id -u) -eq 0 ]]; then
    dpkg_root=(dpkg)
elif command -v fakeroot >/dev/null 2>&1; then
    dpkg_root=(fakeroot dpkg --force-not-root)
fi
R="$WORK/root"
if ((${#dpkg_root[@]})); then
    mkdir -p "$R/var/lib/dpkg/info" "$R/var/lib/dpkg/updates" "$R/var/lib/dpkg/triggers"
    touch "$R/var/lib/dpkg/status" "$R/var/lib/dpkg/available"
    # The scratch root holds no libraries: their absence is forced, the list itself is checked above.
    if "${dpkg_root[@]}" --root="$R" --force-depends -i "$deb" >"$WORK/dpkg.log" 2>&1; then
        ok "dpkg -i into a scratch root"
    else
        cat "$WORK/dpkg.log"
        fail "dpkg -i into a scratch root"
    fi
    check "installed files verify against the package's checksums (dpkg -V)" "${dpkg_root[@]}" --root="$R" -V tobrik
    check "the installed tree is the package's" diff -r --no-dereference "$X/usr" "$R/usr"

    if [[ $(id -u) -eq 0 ]] && command -v unshare >/dev/null 2>&1 && command -v strace >/dev/null 2>&1; then
        # Loopback only and private folders: it neither reaches the network nor the real user's files.
        H="$WORK/home"
        mkdir -p "$H/home" "$H/config" "$H/data" "$H/cache" "$H/runtime"
        chmod 700 "$H/runtime"
        printf 'autospawn = no\n' >"$H/pulse-client.conf"
        env -i PATH=/usr/bin:/bin HOME="$H/home" XDG_CONFIG_HOME="$H/config" XDG_DATA_HOME="$H/data" \
            XDG_CACHE_HOME="$H/cache" XDG_RUNTIME_DIR="$H/runtime" QT_QPA_PLATFORM=offscreen \
            PULSE_SERVER="unix:$H/no-such-server" PULSE_CLIENTCONFIG="$H/pulse-client.conf" \
            TOBRIK_HIBERNATE_COMMAND=/nonexistent/tobrik-test-hibernate \
            timeout -k 5 40 unshare --net -- \
            strace -f -qq -o "$WORK/trace" -e trace=%file \
            timeout -k 3 6 "$R/usr/bin/tobrik" >"$WORK/run.log" 2>&1
        # The program reads its sounds once at start, and the user directory beside itself.
        check "the installed program read its sounds from /usr/lib/tobrik/sounds" \
            grep -qE "open(at)?\(.*\"$R/usr/lib/tobrik/sounds/signin\.wav\".* = [0-9]+$" "$WORK/trace"
        check "the installed program looked for /usr/lib/tobrik/User.txt" grep -q "\"$R/usr/lib/tobrik/User.txt\"" "$WORK/trace"
        # The help menu and the tray look for the history and the update program as the window is made.
        check "the installed program found /usr/lib/tobrik/History.txt" \
            grep -qE "\"$R/usr/lib/tobrik/History\.txt\".* = 0$" "$WORK/trace"
        check "the installed program looked for its companion /usr/lib/tobrik/ProgUpdater" \
            grep -q "\"$R/usr/lib/tobrik/ProgUpdater\"" "$WORK/trace"
        # Asked to end like a logon session that ends, it saves its settings: in the private folder.
        check "the installed program ended through its end path, settings saved in the private folder" \
            test -f "$H/config/Tobrik.conf"
    else
        echo "skip: running the installed program needs root, unshare and strace"
    fi

    "${dpkg_root[@]}" --root="$R" -r tobrik >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; fail "dpkg -r"; }
    left=$(cd "$R" && find . -path ./var -prune -o ! -type d -print | sort | tr '\n' ' ')
    check "removed: only the conffiles stay ($left)" test "$left" = "./etc/tobrik/Tobrik.ini ./etc/tobrik/User.txt "
    "${dpkg_root[@]}" --root="$R" -P tobrik >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; fail "dpkg -P"; }
    left=$(cd "$R" && find . -path ./var -prune -o -mindepth 1 -print | sort | tr '\n' ' ')
    check "purged: nothing stays ($left)" test -z "$left"
else
    echo "skip: dpkg --root needs root or fakeroot"
fi

# --- 4. Another prefix keeps everything in the program folder -----------------------------------------
I="$WORK/prefix"
if cmake --install "$BUILD" --prefix "$I" >"$WORK/install.log" 2>&1; then
    check "cmake --install: bin/tobrik leads to lib/tobrik/tobrik" test "$(readlink -f "$I/bin/tobrik")" = "$(readlink -f "$I/lib/tobrik/tobrik")"
    check "cmake --install: User.txt and Tobrik.ini are plain files beside the program" \
        test -f "$I/lib/tobrik/User.txt" -a ! -L "$I/lib/tobrik/User.txt" -a -f "$I/lib/tobrik/Tobrik.ini" -a ! -L "$I/lib/tobrik/Tobrik.ini"
    check "cmake --install: nothing under /etc" test ! -e "$I/etc"
else
    cat "$WORK/install.log"
    fail "cmake --install"
fi

# --- 5. lintian -------------------------------------------------------------------------------------
if command -v lintian >/dev/null 2>&1; then
    lintian --display-info "$deb" >"$WORK/lintian.log" 2>&1
    sed 's/^/      lintian: /' "$WORK/lintian.log" | grep -v 'root privileges'
    check "lintian reports no error" bash -c '! grep -q "^E:" "$0"' "$WORK/lintian.log"
else
    echo "skip: lintian is not installed"
fi

[ "$fails" -eq 0 ]
