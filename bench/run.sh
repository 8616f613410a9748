#!/bin/sh
# Builds an optimised Tessarel and runs the benchmark: bench/run.sh [runs] [windows]
# bench/run.sh limits32 finds the 32-bit Windows executable's largest pictures instead.
# BENCH_FILES=10000,1000000 bench/run.sh also measures the memory of batches of that many files.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
command -v /usr/bin/time >/dev/null || { sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo;
  $sudo apt-get install -y -qq time python3 >/dev/null; }
# windows_build BITS TOOLCHAIN LOADER: an optimised build-bench-winBITS/Tessarel.exe, and a
# fresh Wine prefix for LOADER, removed on exit.
windows_build() {
  cmake -S . -B "build-bench-win$1" --toolchain "cmake/mingw-w64-$2.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTESSAREL_TESTS=OFF >/dev/null
  cmake --build "build-bench-win$1" -j "$(nproc)" --target Tessarel >/dev/null
  # Wine's servers keep their sockets in TMPDIR: a folder of this run too.
  TMPDIR=$(mktemp -d) WINEDEBUG=-all
  WINEPREFIX=$TMPDIR/prefix
  export TMPDIR WINEPREFIX WINEDEBUG
  trap 'wineserver -k 2>/dev/null; rm -rf "$TMPDIR"' EXIT
  wineserver -p && WINEDLLOVERRIDES="mscoree=;mshtml=" "$3" wineboot -i >/dev/null 2>&1
  echo "Machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, $1-bit $("$3" --version)"
}
if [ "${1:-}" = limits32 ]; then  # bench/run.sh limits32: the 32-bit executable's largest pictures
  scripts/probe-i386.sh || exit 1
  [ -x /usr/lib/wine/wine ] || { echo "32-bit Wine is not installed (scripts/install-deps.sh test)"; exit 1; }
  windows_build 32 i686 /usr/lib/wine/wine
  python3 bench/limits.py build-bench-win32/Tessarel.exe --launcher /usr/lib/wine/wine
  exit
fi
if [ "${2:-}" = windows ]; then  # bench/run.sh [runs] windows: the 64-bit executable under Wine
  windows_build 64 x86_64 /usr/lib/wine/wine64
  python3 bench/run.py build-bench-win64/Tessarel.exe --runs "${1:-5}" --launcher /usr/lib/wine/wine64
  exit
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSAREL_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target Tessarel >/dev/null
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(df -T . | awk 'NR==2 {print $2}') file system"
python3 bench/run.py build-bench/Tessarel --runs "${1:-5}"
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  bench/preview.sh build-bench/Tessarel
fi
