#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    # Without a desktop the program shows itself in a virtual office instead: it would otherwise
    # announce itself to every subnet this machine is attached to.
    echo "No display found: Tobrik runs in a virtual office on network namespaces instead."
    echo
    exec scripts/demo.sh build
fi
exec build/tobrik "$@"
