#!/bin/sh
# Builds the release packages into dist/: tessarel_<version>_amd64.deb from the
# Linux build, tessarel-<version>-windows.zip with the 64-bit and 32-bit
# Windows executables, then checks them (scripts/check-packages.sh). Needs what
# `scripts/install-deps.sh test` installs.
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
release="-DCMAKE_BUILD_TYPE=Release -DTESSAREL_TESTS=OFF"

# One commit, one set of bytes: CPack dates every file with SOURCE_DATE_EPOCH.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) ||
    { echo "make-packages: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

# Debian's build flags, hardening included, as a distribution would build it.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# shellcheck disable=SC2086 # $release is two arguments
cmake -S . -B build-package-linux $release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
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

# CPack stages its packages in the build trees; dist/ gets the packages alone.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package-linux/CMakeCache.txt)
deb=dist/tessarel_${version}_amd64.deb
zip=dist/tessarel-$version-windows.zip
rm -rf dist
mkdir dist
mv "build-package-linux/$(basename "$deb")" "$deb"
mv "build-package-win64/$(basename "$zip")" "$zip"
python3 scripts/normalise-zip.py "$zip"
ls -l "$deb" "$zip"
scripts/check-packages.sh "$deb" "$zip" "$version"
