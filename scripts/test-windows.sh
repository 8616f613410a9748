#!/bin/sh
# Builds the Windows executables with MinGW-w64 (64-bit: build-mingw64/, 32-bit:
# build-mingw32/) and runs the whole test suite of each under Wine on a virtual
# display: the 64-bit one under wine64, then the 32-bit one under the 32-bit
# loader, where the kernel runs 32-bit code (otherwise one line says why not).
# Everything runs inside one xvfb-run: Wine's desktop process, started once per
# suite, must see the display that the preview window tests use.
set -eu
if [ -z "${TESSAREL_UNDER_XVFB:-}" ]; then
  TESSAREL_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

started=$(date +%s)
stamp() { echo "== $1 ($(($(date +%s) - started)) s)"; }

# One prefix per suite and run: nothing from an earlier run, another user or
# the other loader leaks in (a prefix is made for one word size).
# Wine's servers keep their sockets and locks in TMPDIR: a folder of this run.
WINEDEBUG=-all
TMPDIR=$(mktemp -d)
export WINEDEBUG TMPDIR
prefixes=""
boot_pids=""
cleanup() {
  for pid in $boot_pids; do wait "$pid" 2>/dev/null || true; done
  for prefix in $prefixes; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  done
  rm -rf "$TMPDIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Creating a prefix takes about 10 s: done while the compilers run. Nothing
# may wait for a click on Xvfb: no Mono or Gecko installer, and a crashing
# program gets a backtrace on stderr instead of a crash dialog.
boot_prefix() {  # LOADER: the new prefix is left in $booted
  prefix=$(mktemp -d)
  (
    export WINEPREFIX="$prefix"
    wineserver -p
    WINEDLLOVERRIDES="mscoree=;mshtml=" "$1" wineboot -i
    "$1" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  ) </dev/null >/dev/null 2>&1 &
  boot_pids="$boot_pids $!"
  prefixes="$prefixes $prefix"
  booted=$prefix
}

# The suites share everything but the loader, the compiler and the build folder.
run_suite() {  # BITS LOADER TRIPLET PREFIX
  build=build-mingw$1
  stamp "$1-bit build"
  cmake --preset "mingw$1" >/dev/null
  cmake --build --preset "mingw$1" -j "$jobs"
  "$3-g++-posix" -O2 -Wall -Wextra -Werror -static \
    -o "$build/keepalive.exe" tests/preview/keepalive_win32.cpp

  stamp "$1-bit Wine start-up"
  for pid in $boot_pids; do wait "$pid" 2>/dev/null || true; done
  boot_pids=""
  export WINEPREFIX="$4"
  # Wine's background processes start with the first program of the prefix and
  # inherit its output; started here, detached, they hold no test's pipe open.
  "$2" "$build/keepalive.exe" </dev/null >/dev/null 2>&1 &
  # A new Wine process waits while the prefix is still settling; this one does
  # it instead of the first tests, which would otherwise take about 10 s.
  "$2" cmd /c exit </dev/null >/dev/null 2>&1

  stamp "$1-bit tests under Wine"
  ctest --preset "mingw$1" --timeout 60
  wineserver -k 2>/dev/null || true
  unset WINEPREFIX
}

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
why_not32=""  # empty: the 32-bit suite runs
if ! why_not32=$(scripts/probe-i386.sh 2>&1); then
  [ -n "$why_not32" ] || why_not32="the 32-bit probe failed"
elif [ ! -x "$wine32" ]; then
  why_not32="32-bit Wine ($wine32) is not installed"
fi

boot_prefix "$wine64"
prefix64=$booted
if [ -z "$why_not32" ]; then
  boot_prefix "$wine32"
  prefix32=$booted
fi
run_suite 64 "$wine64" x86_64-w64-mingw32 "$prefix64"
if [ -z "$why_not32" ]; then
  run_suite 32 "$wine32" i686-w64-mingw32 "$prefix32"
else
  # Still built, so that it compiles warning-free everywhere.
  stamp "32-bit build"
  cmake --preset mingw32 >/dev/null
  cmake --build --preset mingw32 -j "$jobs"
  echo "32-bit Windows suite did not run: $why_not32"
fi
echo "Windows executables: build-mingw64/Tessarel.exe, build-mingw32/Tessarel.exe"
stamp "done"
