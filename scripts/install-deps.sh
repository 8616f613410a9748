#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
#   scripts/install-deps.sh build    compiler, CMake, giflib, SDL2
#   scripts/install-deps.sh test     + GoogleTest, clang (fuzz targets), Xvfb and
#                                    screenshot tools, ImageMagick, MinGW-w64 and Wine
#                                    (32-bit Wine too where 32-bit code runs),
#                                    dpkg-dev and file (the .deb package), lintian,
#                                    man-db, unzip and icoutils (checking the packages)
set -eu
cd "$(dirname "$0")/.."
packages="g++ cmake make pkg-config libgif-dev libsdl2-dev"
if [ "${1:-build}" = test ]; then
  packages="$packages libgtest-dev googletest clang libclang-rt-14-dev python3 xvfb xauth x11-apps x11-utils
    xdotool imagemagick g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix dpkg-dev file
    lintian man-db unzip icoutils"
  # Wine with its recommended packages: its X11 driver loads the X libraries
  # they bring. wine32 needs the i386 architecture, added only where the kernel
  # runs 32-bit code: elsewhere its 300 packages would be installed for nothing.
  with_recommends="wine64"
  if scripts/probe-i386.sh 2>/dev/null; then
    wine32="wine32:i386"
  fi
fi
is_missing() { ! dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
missing=""
for p in $packages; do is_missing "$p" && missing="$missing $p"; done
missing_with_recommends=""
for p in ${with_recommends:-}; do is_missing "$p" && missing_with_recommends="$missing_with_recommends $p"; done
missing_wine32=""
[ -n "${wine32:-}" ] && is_missing "$wine32" && missing_wine32=$wine32
[ -z "$missing$missing_with_recommends$missing_wine32" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_install() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"; }
has_i386() { dpkg --print-foreign-architectures | grep -qx i386; }
echo "Installing:$missing$missing_with_recommends${missing_wine32:+ $missing_wine32}"
# 32-bit Wine alone missing, with the i386 architecture already added: an
# earlier run refreshed the lists for it, and failed; refreshing them again
# only waits out the retries once more.
if [ -n "$missing$missing_with_recommends" ] || ! has_i386; then
  if [ -n "$missing_wine32" ] && ! has_i386; then $sudo dpkg --add-architecture i386; fi
  $sudo scripts/apt-update.sh
fi
if [ -n "$missing" ]; then
  apt_install --no-install-recommends $missing >/dev/null
fi
if [ -n "$missing_with_recommends" ]; then
  apt_install $missing_with_recommends >/dev/null
fi
# The i386 packages must match the versions of their amd64 twins exactly: while
# a mirror serves an i386 index older than the amd64 one, none can be installed.
# Everything else still builds and runs, and the Windows tests say the 32-bit
# suite did not run.
if [ -n "$missing_wine32" ] && ! errors=$(apt_install $missing_wine32 2>&1 >/dev/null); then
  echo "32-bit Wine could not be installed: $(echo "$errors" | grep '^E:' | tail -n 1)" >&2
fi
