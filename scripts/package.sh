#!/usr/bin/env bash
# Builds the Debian package tobrik_<version>_<arch>.deb and prints its path.
#
#   scripts/package.sh                      a release build of its own in build-deb/, with Debian's
#                                           hardening flags, packaged into build-deb/
#   scripts/package.sh BUILD_DIR [OUT_DIR]  packages an existing, already built tree as it is
#
# Needs cmake, ninja and dpkg-dev (dpkg-shlibdeps works out the library dependencies); scripts/deps.sh
# installs them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if (($# == 0)); then
    build="$root/build-deb"
    # What Debian's own packages are built with: optimised, hardened, no -Werror (other flags may warn).
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
    export CXXFLAGS LDFLAGS
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DTOBRIK_WERROR=OFF >/dev/null
    cmake --build "$build" --target tobrik
else
    build=$(cd "$1" && pwd)
fi
out=${2:-$build}
mkdir -p "$out"
out=$(cd "$out" && pwd)

[[ -f $build/CPackConfig.cmake ]] || { echo "not a configured build tree: $build" >&2; exit 1; }
log="$out/cpack.log"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$log" | tail -1)
[[ -n $deb && -f $deb ]] || { cat "$log" >&2; echo "cpack made no package" >&2; exit 1; }
rm -f "$log"
echo "$deb"
