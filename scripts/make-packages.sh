#!/bin/sh
# Builds the release packages into dist/: tessarel_<version>_amd64.deb from the
# Linux build, tessarel-<version>-windows.zip with the 64-bit and 32-bit
# Windows executables. Needs what `scripts/install-deps.sh test` installs.
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
release="-DCMAKE_BUILD_TYPE=Release -DTESSAREL_TESTS=OFF"

# shellcheck disable=SC2086 # $release is two arguments
cmake -S . -B build-package-linux $release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package-linux -j "$jobs" --target Tessarel
(cd build-package-linux && cpack -G DEB)

# shellcheck disable=SC2086
cmake -S . -B build-package-win32 $release --toolchain cmake/mingw-w64-i686.cmake >/dev/null
cmake --build build-package-win32 -j "$jobs" --target Tessarel
# shellcheck disable=SC2086
cmake -S . -B build-package-win64 $release --toolchain cmake/mingw-w64-x86_64.cmake \
  -DTESSAREL_PACKAGE_ALSO="$PWD/build-package-win32" >/dev/null
cmake --build build-package-win64 -j "$jobs" --target Tessarel
(cd build-package-win64 && cpack -G ZIP)
ls -l dist/*.deb dist/*.zip
