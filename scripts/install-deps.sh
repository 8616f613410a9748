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
    with_recommends="$with_recommends wine32:i386"
  fi
fi
is_missing() { ! dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
missing=""
for p in $packages; do is_missing "$p" && missing="$missing $p"; done
missing_with_recommends=""
for p in ${with_recommends:-}; do is_missing "$p" && missing_with_recommends="$missing_with_recommends $p"; done
[ -z "$missing$missing_with_recommends" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing$missing_with_recommends"
case "$missing_with_recommends" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
esac
$sudo scripts/apt-update.sh
if [ -n "$missing" ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
if [ -n "$missing_with_recommends" ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing_with_recommends >/dev/null
fi
