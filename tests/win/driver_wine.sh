#!/bin/sh
# The Windows build's tobrik_driver under Wine for the virtual LAN's hosts; see tobrik_wine.sh.
TOBRIK_EXE=${TOBRIK_DRIVER_EXE:?} exec "$(dirname "$0")/tobrik_wine.sh" "$@"
