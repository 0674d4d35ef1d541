#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Under sudo the build belongs to the user who asked, so a later scripts/run.sh as that user can still
# build in the same folder; only the tests themselves need root.
if [[ $(id -u) -eq 0 && -n ${SUDO_USER:-} && ${SUDO_USER} != root ]] &&
    [[ ! -e build || $(stat -c %U build) == "$SUDO_USER" ]]; then
    sudo -u "$SUDO_USER" scripts/build.sh
else
    scripts/build.sh
fi
cd build
ctest --output-on-failure --timeout 600 "$@"
