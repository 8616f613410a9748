#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
#   scripts/install-deps.sh build    compiler, CMake, giflib, SDL2
#   scripts/install-deps.sh test     + GoogleTest, clang (fuzz targets), Xvfb and
#                                    screenshot tools, ImageMagick, MinGW-w64 and Wine
set -eu
packages="g++ cmake make pkg-config libgif-dev libsdl2-dev"
if [ "${1:-build}" = test ]; then
  packages="$packages libgtest-dev googletest clang libclang-rt-14-dev python3 xvfb xauth x11-apps x11-utils
    xdotool imagemagick g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64"
fi
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing"
$sudo apt-get update -qq
# wine64 alone: wine32 would take over /usr/bin/wine on a kernel that cannot run it.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
