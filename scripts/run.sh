#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    cat <<'TXT'
No display found. Tobrik is a desktop program that announces itself to every subnet this machine is
attached to, so it is not started here on the machine's real network. Start it on a desktop with
  build/tobrik
TXT
    exit 0
fi
exec build/tobrik "$@"
