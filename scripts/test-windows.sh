#!/bin/sh
# Builds the Windows executables with MinGW-w64 (64-bit: build-mingw64/, 32-bit:
# build-mingw32/) and runs the 64-bit tests under Wine on a virtual display.
# Everything runs inside one xvfb-run: Wine's desktop process, started once for
# the whole run, must see the display that the preview window tests use.
set -eu
if [ -z "${TESSAREL_UNDER_XVFB:-}" ]; then
  TESSAREL_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
wine=/usr/lib/wine/wine64

started=$(date +%s)
stamp() { echo "== $1 ($(($(date +%s) - started)) s)"; }

# A fresh prefix per run: nothing from an earlier run or another user leaks in.
WINEPREFIX=$(mktemp -d)
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
boot_pid=
cleanup() {
  [ -n "$boot_pid" ] && wait "$boot_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Creating the prefix takes about 10 s: done while the compilers run. Nothing
# may wait for a click on Xvfb: no Mono or Gecko installer, and a crashing
# program gets a backtrace on stderr instead of a crash dialog.
(
  wineserver -p
  WINEDLLOVERRIDES="mscoree=;mshtml=" "$wine" wineboot -i
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
) </dev/null >/dev/null 2>&1 &
boot_pid=$!

stamp "64-bit build"
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 -j "$jobs"
x86_64-w64-mingw32-g++-posix -O2 -Wall -Wextra -Werror -static \
  -o build-mingw64/keepalive.exe tests/preview/keepalive_win32.cpp

stamp "32-bit build"
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32 -j "$jobs"
echo "Windows executable: build-mingw64/Tessarel.exe (32-bit: build-mingw32/Tessarel.exe)"

stamp "Wine start-up"
wait "$boot_pid" || true
boot_pid=
# Wine's background processes start with the first program of the prefix and
# inherit its output; started here, detached, they hold no test's pipe open.
"$wine" build-mingw64/keepalive.exe </dev/null >/dev/null 2>&1 &
# A new Wine process waits while the prefix is still settling; this one does
# it instead of the first tests, which would otherwise take about 10 s.
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

stamp "tests under Wine"
ctest --preset mingw64 --timeout 60

stamp "done"
