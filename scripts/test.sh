#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; ends with CTest's summary. Then a short run of
# every fuzz program (a clang build of its own); a finding fails the run as a failed test does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Under sudo the builds belong to the user who asked, so a later scripts/run.sh as that user can still
# build in the same folder; only the tests themselves need root.
as_user() {
    local dir=$1
    shift
    if [[ $(id -u) -eq 0 && -n ${SUDO_USER:-} && ${SUDO_USER} != root ]] &&
        [[ ! -e $dir || $(stat -c %U "$dir") == "$SUDO_USER" ]]; then
        sudo -u "$SUDO_USER" "$@"
    else
        "$@"
    fi
}
as_user build scripts/build.sh
tests=0
(cd build && ctest --output-on-failure --timeout 600 "$@") || tests=$?
# 50,000 executions or 6 s each, whichever comes first: under three minutes with the build.
fuzz=0
as_user build-fuzz scripts/fuzz.sh -t 6 -r 50000 || fuzz=$?
if ((tests != 0 || fuzz != 0)); then
    ((tests == 0)) || echo "Tests failed." >&2
    ((fuzz == 0)) || echo "Fuzzing found a fault (see above)." >&2
    exit 1
fi
