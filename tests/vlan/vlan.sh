# Virtual LAN for end-to-end tests: several "computers" on one machine.
#
# A "switch" namespace holds one bridge per subnet; every host is a network namespace joined
# to a bridge by a veth pair per interface. Nothing is created in the machine's own namespace:
# both ends of every veth are made directly inside the switch and host namespaces, so the
# machine's interfaces, addresses and routes are never touched.
#
# Source it from bash:
#   . tests/vlan/vlan.sh
#   vlan_init || exit $?               # 77 when this machine cannot do it (not root, no ip netns)
#   vlan_host A; vlan_host B           # 10.213.1.1 and 10.213.1.2 on subnet 1
#   vlan_host C 1:3 1:13               # two interfaces in subnet 1
#   vlan_start_tobrik A                # sets VLAN_PID (the program) and VLAN_WRAPPER (for wait)
#   vlan_peer B listen 10 listen --seconds 8 --out "$(vlan_dir B)/rx.jsonl"
#   ...                                # vlan_down runs on EXIT, INT and TERM
#
# Every host gets the host name "pc-<name>" (the program shows it as computer name "PC-<NAME>"),
# its own HOME and XDG folders under $(vlan_dir NAME), and an /etc/hosts that names every host.
#
# Results come back in globals (VLAN_PID, VLAN_EXIT_CODE, ...) because `wait` only works on
# children of the calling shell, so these functions must not run in a $(...) subshell.
# shellcheck disable=SC2016,SC2034

VLAN_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
VLAN_PYTHON=${VLAN_PYTHON:-/usr/bin/python3}
VLAN_PEER=${VLAN_PEER:-$VLAN_HERE/peer.py}
VLAN_TOBRIK=${VLAN_TOBRIK:-}
VLAN_DRIVER=${VLAN_DRIVER:-}
VLAN_REPLY=
VLAN_TOBRIK_TIMEOUT=${VLAN_TOBRIK_TIMEOUT:-60} # seconds; the watchdog of every program start
# The whole run ends itself (with its clean-up) after this many seconds; keep it below the
# CTest timeout, whose hard kill would leave the namespaces behind.
VLAN_DEADLINE=${VLAN_DEADLINE:-90}
VLAN_SUFFIX=${VLAN_SUFFIX:-$$$(printf '%04x' $((RANDOM % 65536)))}
VLAN_TMP=
VLAN_SW=
VLAN_HOSTS=()
VLAN_WRAPPERS=()
VLAN_PID=
VLAN_WRAPPER=
VLAN_UP=0
VLAN_WATCHDOG=

vlan_log() { printf 'vlan: %s\n' "$*" >&2; }

# vlan_programs TOBRIK [DRIVER]: the test's arguments (else VLAN_TOBRIK / VLAN_DRIVER); exits 1
# when a program that the test needs is not there. With "driver" as a third word the driver is needed.
vlan_programs() {
    VLAN_TOBRIK=${1:-$VLAN_TOBRIK}
    VLAN_DRIVER=${2:-$VLAN_DRIVER}
    local f
    for f in "$VLAN_TOBRIK" ${3:+"$VLAN_DRIVER"}; do
        if [ -z "$f" ] || [ ! -x "$f" ]; then
            echo "give the paths of the built tobrik${3:+ and tobrik_driver} as arguments" >&2
            exit 1
        fi
    done
}

# vlan_check DESCRIPTION COMMAND...: runs COMMAND as one check of a test, prints ok or FAIL and
# counts it; returns COMMAND's success. vlan_summary prints the counts and fails if any check did.
VLAN_PASSED=0
VLAN_FAILED=0
vlan_check() {
    local what=$1
    shift
    if "$@"; then
        printf '  ok    %s\n' "$what"
        VLAN_PASSED=$((VLAN_PASSED + 1))
    else
        printf '  FAIL  %s\n' "$what"
        VLAN_FAILED=$((VLAN_FAILED + 1))
        return 1
    fi
}
vlan_summary() {
    printf '\n%d passed, %d failed%s\n' "$VLAN_PASSED" "$VLAN_FAILED" "${1:+ ($1)}"
    [ "$VLAN_FAILED" = 0 ]
}

# 0 when this machine can build the LAN, 77 (the CTest skip code) when it cannot.
vlan_machine_ok() {
    if [ "$(id -u)" != 0 ]; then
        vlan_log "SKIP: needs root for network namespaces"
        return 77
    fi
    local tool
    for tool in ip unshare timeout hostname mount; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            vlan_log "SKIP: '$tool' is missing"
            return 77
        fi
    done
    if ! ip netns list >/dev/null 2>&1; then
        vlan_log "SKIP: 'ip netns' is unavailable"
        return 77
    fi
    if [ ! -x "$VLAN_PYTHON" ]; then
        vlan_log "SKIP: $VLAN_PYTHON is missing"
        return 77
    fi
    return 0
}

# Creates the temporary folder and the switch namespace, and arms the clean-up.
vlan_init() {
    vlan_machine_ok || return $?
    VLAN_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tobrik-vlan.XXXXXX") || return 1
    VLAN_SW="tbS-$VLAN_SUFFIX"
    trap vlan_down EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    VLAN_UP=1
    local self=$$
    (
        trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
        sleep "$VLAN_DEADLINE" &
        sleeper=$!
        wait "$sleeper" && echo "vlan: deadline of $VLAN_DEADLINE s reached, stopping" >&2 && kill -TERM "$self"
    ) </dev/null >/dev/null &
    VLAN_WATCHDOG=$!
    if ! ip netns add "$VLAN_SW" 2>"$VLAN_TMP/netns.err"; then
        vlan_log "SKIP: cannot create a network namespace: $(cat "$VLAN_TMP/netns.err")"
        VLAN_SW=
        return 77
    fi
    ip -n "$VLAN_SW" link set lo up
}

vlan_ns() { printf 'tb%s-%s\n' "$1" "$VLAN_SUFFIX"; }
vlan_dir() { printf '%s/%s\n' "$VLAN_TMP" "$1"; }
vlan_hostname() { printf 'pc-%s\n' "$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')"; }
# The computer name the program derives from the host name.
vlan_pc() { vlan_hostname "$1" | tr '[:lower:]' '[:upper:]'; }
# Address of the host's interface number N (default 0).
vlan_ip() { sed -n "$((${2:-0} + 1))s/^[^ ]* //p" "$(vlan_dir "$1")/ifaces"; }
vlan_broadcast() { printf '10.213.%s.255\n' "$1"; }

vlan_bridge() {
    local br="br$1"
    if ! ip -n "$VLAN_SW" link show "$br" >/dev/null 2>&1; then
        ip -n "$VLAN_SW" link add "$br" type bridge || return 1
        ip -n "$VLAN_SW" link set "$br" up || return 1
    fi
}

# vlan_host NAME [K:I ...]: a host with one interface 10.213.K.I/24 per argument; without
# arguments one interface in subnet 1 whose last byte is the host's number (A=1, B=2, ...).
vlan_host() {
    local name=$1
    shift
    case $name in
        [A-Za-z] | [A-Za-z][A-Za-z0-9]) ;;
        *)
            vlan_log "host names are one or two characters (interface names are short): $name"
            return 1
            ;;
    esac
    local ns d
    ns=$(vlan_ns "$name")
    d=$(vlan_dir "$name")
    ip netns add "$ns" || return 1
    VLAN_HOSTS+=("$name")
    ip -n "$ns" link set lo up || return 1
    mkdir -p "$d"/home "$d"/config "$d"/data "$d"/cache "$d"/state "$d"/runtime || return 1
    chmod 0700 "$d"/runtime
    : >"$d/ifaces"
    if [ $# -eq 0 ]; then
        set -- "1:${#VLAN_HOSTS[@]}"
    fi
    local addr
    for addr in "$@"; do
        vlan_iface "$name" "${addr%%:*}" "${addr#*:}" || return 1
    done
}

# vlan_iface NAME K I: adds an interface 10.213.K.I/24 to the host, on the bridge of subnet K.
vlan_iface() {
    local name=$1 k=$2 i=$3 ns d n port dev
    ns=$(vlan_ns "$name")
    d=$(vlan_dir "$name")
    n=$(wc -l <"$d/ifaces")
    port="p$name$n"
    dev="eth$n"
    vlan_bridge "$k" || return 1
    ip -n "$VLAN_SW" link add "$port" type veth peer name "$dev" netns "$ns" || return 1
    ip -n "$VLAN_SW" link set "$port" master "br$k" up || return 1
    ip -n "$ns" addr add "10.213.$k.$i/24" brd + dev "$dev" || return 1
    ip -n "$ns" link set "$dev" up || return 1
    printf '%s 10.213.%s.%s\n' "$dev" "$k" "$i" >>"$d/ifaces"
}

# Writes an /etc/hosts naming every host by its first address; mounted inside each host.
vlan_hosts_file() {
    local f=$VLAN_TMP/hosts h
    {
        printf '127.0.0.1 localhost\n'
        for h in "${VLAN_HOSTS[@]}"; do
            printf '%s %s %s\n' "$(vlan_ip "$h")" "$(vlan_hostname "$h")" "$(vlan_pc "$h")"
        done
    } >"$f.new" && mv -f "$f.new" "$f"
    printf '%s\n' "$f"
}

# vlan_run NAME CMD...: runs CMD in the host, with its host name, hosts file and private folders.
# `ip netns exec` gives the command a mount namespace of its own whose mounts do not propagate
# back, so the bind mount over /etc/hosts stays inside.
vlan_run() {
    local name=$1 ns d hosts
    shift
    ns=$(vlan_ns "$name")
    d=$(vlan_dir "$name")
    hosts=$(vlan_hosts_file)
    ip netns exec "$ns" unshare --uts -- \
        env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u SESSION_MANAGER \
        HOME="$d/home" XDG_CONFIG_HOME="$d/config" XDG_DATA_HOME="$d/data" XDG_CACHE_HOME="$d/cache" \
        XDG_STATE_HOME="$d/state" XDG_RUNTIME_DIR="$d/runtime" QT_QPA_PLATFORM=offscreen \
        sh -c 'hostname "$0" || exit 125; mount --bind "$1" /etc/hosts 2>/dev/null; shift; exec "$@"' \
        "$(vlan_hostname "$name")" "$hosts" "$@"
}

# vlan_spawn NAME TAG SECONDS CMD...: starts CMD in the background inside the host, ended by a
# watchdog after SECONDS. Output goes to $(vlan_dir NAME)/TAG.out and TAG.err. Sets VLAN_PID
# to the command's own process id (for signals) and VLAN_WRAPPER to the job (for `wait`, which
# yields the command's exit code, 124 when the watchdog had to end it).
vlan_spawn() {
    local name=$1 tag=$2 secs=$3 d pidfile i
    shift 3
    d=$(vlan_dir "$name")
    pidfile="$d/$tag.pid"
    rm -f "$pidfile"
    vlan_run "$name" timeout -k 2 "$secs" sh -c 'echo $$ >"$0.tmp" && mv "$0.tmp" "$0" && exec "$@"' \
        "$pidfile" "$@" >"$d/$tag.out" 2>"$d/$tag.err" </dev/null &
    VLAN_WRAPPER=$!
    VLAN_WRAPPERS+=("$VLAN_WRAPPER")
    VLAN_PID=
    for ((i = 0; i < 200; i++)); do
        if [ -s "$pidfile" ]; then
            VLAN_PID=$(cat "$pidfile")
            return 0
        fi
        kill -0 "$VLAN_WRAPPER" 2>/dev/null || break
        sleep 0.01
    done
    vlan_log "$tag in $name did not start: $(cat "$d/$tag.err" 2>/dev/null)"
    return 1
}

# vlan_start_tobrik NAME [TAG [ARGS...]]: starts the program in the host (TAG default "tobrik").
vlan_start_tobrik() {
    local name=$1 tag=${2:-tobrik}
    shift $(($# >= 2 ? 2 : 1))
    if [ -z "$VLAN_TOBRIK" ] || [ ! -x "$VLAN_TOBRIK" ]; then
        vlan_log "no program to start: VLAN_TOBRIK='$VLAN_TOBRIK'"
        return 1
    fi
    vlan_spawn "$name" "$tag" "$VLAN_TOBRIK_TIMEOUT" "$VLAN_TOBRIK" "$@"
}

# vlan_start_driver NAME [TAG [ARGS...]]: starts the program with its scripted user (VLAN_DRIVER)
# in the host (TAG default "driver"); commands go to $(vlan_dir NAME)/TAG.cmd, replies to TAG.out.
vlan_start_driver() {
    local name=$1 tag=${2:-driver} d
    shift $(($# >= 2 ? 2 : 1))
    if [ -z "${VLAN_DRIVER:-}" ] || [ ! -x "$VLAN_DRIVER" ]; then
        vlan_log "no driver to start: VLAN_DRIVER='${VLAN_DRIVER:-}'"
        return 1
    fi
    d=$(vlan_dir "$name")
    : >"$d/$tag.cmd"
    vlan_spawn "$name" "$tag" "$VLAN_TOBRIK_TIMEOUT" env TOBRIK_DRIVER_INPUT="$d/$tag.cmd" "$VLAN_DRIVER" "$@" ||
        return 1
    vlan_wait_line "$name" "$tag" 0 '^ready$' 10
}

# vlan_start_driver_env NAME TAG KEY=VALUE...: vlan_start_driver with these variables in the program's
# environment (vlan_run gives every host a clean one), e.g. a private session bus.
vlan_start_driver_env() {
    local name=$1 tag=$2 d
    shift 2
    if [ -z "${VLAN_DRIVER:-}" ] || [ ! -x "$VLAN_DRIVER" ]; then
        vlan_log "no driver to start: VLAN_DRIVER='${VLAN_DRIVER:-}'"
        return 1
    fi
    d=$(vlan_dir "$name")
    : >"$d/$tag.cmd"
    vlan_spawn "$name" "$tag" "$VLAN_TOBRIK_TIMEOUT" env TOBRIK_DRIVER_INPUT="$d/$tag.cmd" "$@" "$VLAN_DRIVER" ||
        return 1
    vlan_wait_line "$name" "$tag" 0 '^ready$' 10
}

# vlan_wait_line NAME TAG SKIP REGEX SECONDS: waits until a line after the first SKIP lines of
# TAG.out matches REGEX; VLAN_REPLY holds the lines after SKIP up to the match.
vlan_wait_line() {
    local out i n
    out="$(vlan_dir "$1")/$2.out"
    n=$(awk -v s="$5" 'BEGIN { printf "%d", s * 50 }')
    for ((i = 0; i <= n; i++)); do
        VLAN_REPLY=$(tail -n +"$(($3 + 1))" "$out" 2>/dev/null | awk -v re="$4" '{ sub(/\r$/, ""); print } $0 ~ re { found = 1; exit } END { exit !found }') &&
            return 0
        sleep 0.02
    done
    vlan_log "no line matching '$4' from $2 in $1 within $5 s"
    return 1
}

# vlan_tell NAME TAG COMMAND: gives the scripted user one command that has no reply.
vlan_tell() { printf '%s\n' "$3" >>"$(vlan_dir "$1")/$2.cmd"; }

# vlan_ask NAME TAG COMMAND REGEX SECONDS: gives the scripted user one command and waits for the
# reply line matching REGEX (see vlan_wait_line).
vlan_ask() {
    local d skip
    d=$(vlan_dir "$1")
    skip=$(wc -l <"$d/$2.out")
    printf '%s\n' "$3" >>"$d/$2.cmd"
    vlan_wait_line "$1" "$2" "$skip" "$4" "$5"
}

# vlan_peer NAME TAG SECONDS PEER-ARGS...: starts the peer simulator in the host.
vlan_peer() {
    local name=$1 tag=$2 secs=$3
    shift 3
    vlan_spawn "$name" "$tag" "$secs" "$VLAN_PYTHON" "$VLAN_PEER" "$@"
}

# vlan_wait_file FILE SECONDS: waits until FILE exists.
vlan_wait_file() {
    local i n
    n=$(awk -v s="$2" 'BEGIN { printf "%d", s * 50 }')
    for ((i = 0; i < n; i++)); do
        [ -e "$1" ] && return 0
        sleep 0.02
    done
    [ -e "$1" ]
}

vlan_now() { date +%s.%N; }

# vlan_wait_exit PID WRAPPER SECONDS: waits until the process PID has ended. Sets
# VLAN_EXIT_SECONDS (time waited) and VLAN_EXIT_CODE (from the job WRAPPER); returns 1 when
# it was still running after SECONDS (it is left running; vlan_down ends it).
vlan_wait_exit() {
    local pid=$1 wrapper=$2 start now
    start=$(vlan_now)
    VLAN_EXIT_CODE=
    while kill -0 "$pid" 2>/dev/null; do
        now=$(vlan_now)
        if awk -v a="$start" -v b="$now" -v m="$3" 'BEGIN { exit !(b - a > m) }'; then
            VLAN_EXIT_SECONDS=$(awk -v a="$start" -v b="$now" 'BEGIN { printf "%.3f", b - a }')
            return 1
        fi
        sleep 0.01
    done
    now=$(vlan_now)
    VLAN_EXIT_SECONDS=$(awk -v a="$start" -v b="$now" 'BEGIN { printf "%.3f", b - a }')
    wait "$wrapper"
    VLAN_EXIT_CODE=$?
    return 0
}

# vlan_request NAME KEY=VALUE...: leaves a request for the running program in the host, as a
# second start or an administration tool would. Written whole, then moved into place.
vlan_request() {
    local name=$1 f
    shift
    f="$(vlan_dir "$name")/config/Tobrik/Requests.conf"
    mkdir -p "${f%/*}" || return 1
    {
        printf '[General]\n'
        printf '%s\n' "$@"
    } >"$f.tmp" && mv -f "$f.tmp" "$f"
}

# Ends every process started here and removes every namespace, link and temporary file.
# Safe to call more than once.
vlan_down() {
    [ "$VLAN_UP" = 1 ] || return 0
    VLAN_UP=0
    local w ns h pids i
    for w in "${VLAN_WRAPPERS[@]}"; do
        kill -TERM "$w" 2>/dev/null
    done
    # Anything still inside our namespaces was started by us.
    for h in "${VLAN_HOSTS[@]}"; do
        ns=$(vlan_ns "$h")
        for ((i = 0; i < 50; i++)); do
            pids=$(ip netns pids "$ns" 2>/dev/null)
            [ -z "$pids" ] && break
            if [ "$i" = 20 ]; then
                # shellcheck disable=SC2086
                kill -KILL $pids 2>/dev/null
            fi
            sleep 0.05
        done
    done
    for w in "${VLAN_WRAPPERS[@]}"; do
        wait "$w" 2>/dev/null
    done
    for h in "${VLAN_HOSTS[@]}"; do
        ip netns del "$(vlan_ns "$h")" 2>/dev/null
    done
    [ -n "$VLAN_SW" ] && ip netns del "$VLAN_SW" 2>/dev/null
    if [ -n "$VLAN_WATCHDOG" ]; then
        kill -TERM "$VLAN_WATCHDOG" 2>/dev/null
        wait "$VLAN_WATCHDOG" 2>/dev/null
        VLAN_WATCHDOG=
    fi
    VLAN_HOSTS=()
    VLAN_WRAPPERS=()
    if [ -n "$VLAN_TMP" ] && [ -d "$VLAN_TMP" ]; then
        if [ "${VLAN_KEEP:-0}" = 1 ]; then
            vlan_log "kept $VLAN_TMP"
        else
            rm -rf "$VLAN_TMP"
        fi
    fi
    return 0
}
