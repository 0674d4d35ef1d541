#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the program and the tests need and the machine lacks.
set -euo pipefail

packages=(
    g++ cmake ninja-build clang-format pkg-config
    qt6-base-dev qt6-declarative-dev qt6-speech-dev qt6-speech-speechd-plugin qt6-speech-flite-plugin
    qt6-multimedia-dev libgl-dev libxkbcommon-dev
    libspeechd-dev libbrlapi-dev libx11-dev libxss-dev libxi-dev
    iproute2 util-linux procps python3 mount
    dbus-daemon xvfb xdotool dbus-x11 at-spi2-core python3-pyatspi speech-dispatcher x11-utils trayer
    pulseaudio pulseaudio-utils
    dpkg-dev desktop-file-utils appstream lintian strace
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
((${#missing[@]} == 0)) && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Please run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
