#!/usr/bin/env bash
# What the network benchmarks need beyond the project's own packages: iptux (an IP Messenger client, the
# reference beside the program), a virtual X display for it with a session bus, and a C compiler for the
# echo. Installs only what is missing; kept out of scripts/deps.sh because CI runs no benchmark.
set -eu

missing=()
need() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need iptux iptux
need Xvfb xvfb
need xdpyinfo x11-utils
need dbus-daemon dbus-daemon
need cc gcc
need python3 python3

[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "bench/net/deps.sh: missing ${missing[*]}; run as root to install them" >&2
    exit 1
fi
echo "bench/net/deps.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends "${missing[@]}" >&2 ||
    { apt-get update >&2 && apt-get install -y --no-install-recommends "${missing[@]}" >&2; }
