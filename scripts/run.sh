#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program, as the user who runs it: settings and logs
# belong in that user's folders. Only the steps that need root ask for it through sudo: deps.sh for
# packages, and the virtual office (network namespaces) on a machine without a display.
#
# TOBRIK_BUILD_DIR names a tree that is already built (the tests give theirs): it is used as it is,
# neither configured nor built again, so the binaries under test are the ones that run.
set -euo pipefail
self=$0

display=0
[[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]] && display=1

# A window program run as root would keep root's settings and logs, or leave root-owned files in the
# user's home, and put a root process on the user's desktop. Refuse before installing or building.
if ((display)) && [[ $(id -u) -eq 0 ]]; then
    echo "Tobrik is a desktop program and does not run as root: start it as your own user, without sudo: $self" >&2
    exit 1
fi

build=build
if [[ -n ${TOBRIK_BUILD_DIR:-} ]]; then
    build=$(cd "$TOBRIK_BUILD_DIR" && pwd)
fi
cd "$(dirname "$0")/.."
scripts/deps.sh
if [[ -z ${TOBRIK_BUILD_DIR:-} ]]; then
    scripts/build.sh
fi

if ((!display)); then
    # Without a desktop the program shows itself in a virtual office instead: it would otherwise
    # announce itself to every subnet this machine is attached to.
    echo "No display found: Tobrik runs in a virtual office on network namespaces instead."
    demo=("$PWD/scripts/demo.sh" "$(cd "$build" && pwd)")
    if [[ $(id -u) -ne 0 ]]; then
        if ! command -v sudo >/dev/null; then
            echo "The virtual office needs root for its network namespaces, and sudo is not installed: run $self as root." >&2
            exit 1
        fi
        echo "The virtual office needs root for its network namespaces: asking sudo."
        echo
        exec sudo -- "${demo[@]}"
    fi
    echo
    exec "${demo[@]}"
fi
exec "$build/tobrik" "$@"
