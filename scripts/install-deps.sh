#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
#   scripts/install-deps.sh build    compiler, CMake, giflib, SDL2
#   scripts/install-deps.sh test     + GoogleTest, clang (fuzz targets), Xvfb and
#                                    screenshot tools, ImageMagick, MinGW-w64 and Wine,
#                                    dpkg-dev and file (the .deb package)
set -eu
packages="g++ cmake make pkg-config libgif-dev libsdl2-dev"
if [ "${1:-build}" = test ]; then
  packages="$packages libgtest-dev googletest clang libclang-rt-14-dev python3 xvfb xauth x11-apps x11-utils
    xdotool imagemagick g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix dpkg-dev file"
  # Wine with its recommended packages: its X11 driver loads the X libraries
  # they bring. wine32, also recommended, cannot install without the i386
  # architecture, which is as it should be: it would take over /usr/bin/wine
  # on a kernel that cannot run it.
  with_recommends="wine64"
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
$sudo apt-get update -qq
if [ -n "$missing" ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
if [ -n "$missing_with_recommends" ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing_with_recommends >/dev/null
fi
