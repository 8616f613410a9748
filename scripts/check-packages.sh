#!/bin/sh
# check-packages.sh DEB ZIP VERSION: what a distribution's packager, a Linux user and a Windows
# user would try first. lintian finds no error and no warning in the .deb (info tags are
# printed); its manual page renders with every size mask of its source (scripts/check-manpage.sh),
# and `tessarel` and `man tessarel` reach the command and its page. The zip holds the licences
# and a README.txt for Windows users with CRLF line ends; its executables carry their version
# resource and, under Wine, tell their version and convert a sample RAW file. The 32-bit one runs
# only where the kernel runs 32-bit code and 32-bit Wine is installed.
set -eu
deb=$1 zip=$2 version=$3
cd "$(dirname "$0")/.."
sample=$PWD/tests/data/cases/files/23x23.raw
fail() { echo "check-packages: $*" >&2; exit 1; }

tmp=$(mktemp -d)
# lintian leaves a cache and wineserver a lock in TMPDIR: they go with the rest.
mkdir "$tmp/tmp"
TMPDIR=$tmp/tmp
export TMPDIR
prefix=
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== lintian $deb"
lintian --fail-on error,warning --display-info "$deb" || fail "lintian: errors or warnings above"

echo "== $deb: the manual page and the lower-case names"
dpkg-deb -x "$deb" "$tmp/deb"
scripts/check-manpage.sh "$tmp/deb/usr/share/man/man1/Tessarel.1.gz" docs/Tessarel.1.in
[ "$(readlink "$tmp/deb/usr/bin/tessarel")" = Tessarel ] || fail "no /usr/bin/tessarel link"
[ "$(readlink "$tmp/deb/usr/share/man/man1/tessarel.1.gz")" = Tessarel.1.gz ] ||
  fail "no tessarel.1.gz link"
[ "$("$tmp/deb/usr/bin/tessarel" --version)" = "Tessarel $version" ] || fail "tessarel --version"

echo "== $zip"
unzip -q "$zip" -d "$tmp/zip"
top=$tmp/zip/$(basename "$zip" .zip)
for file in README.txt licences/LICENSE.txt licences/mingw-w64-runtime-and-winpthreads.txt \
  licences/gcc-runtime-libraries.txt 64-bit/Tessarel.exe 32-bit/Tessarel.exe; do
  [ -f "$top/$file" ] || fail "the zip has no $file"
done
cr=$(printf '\r')
for file in README.txt licences/LICENSE.txt; do
  ! grep -q -v "$cr\$" "$top/$file" || fail "$file has a line without CRLF"
done
# Written for Windows: nothing a Linux reader would type, the size mask whole.
! grep -q -E 'make (demo|test|build|package)|apt-get|sudo' "$top/README.txt" ||
  fail "README.txt speaks of Linux commands"
grep -q -F '(@wx@h)' "$top/README.txt" || fail 'README.txt has no "(@wx@h)"'
for bits in 64 32; do
  # The resource's strings are UTF-16: without the zero bytes they read as ASCII.
  wrestool -x --raw -t16 "$top/$bits-bit/Tessarel.exe" | tr -d '\000' |
    grep -a -q "ProductVersion$version" || fail "$bits-bit/Tessarel.exe: no version $version resource"
done

# run_exe LOADER BITS: the zip's BITS-bit executable converts the sample under LOADER, in a
# fresh Wine prefix removed afterwards. Output goes to files: Wine's background processes
# inherit the descriptors and may hold a pipe open after the program ends.
run_exe() {
  work=$tmp/run$2
  mkdir "$work"
  cp "$sample" "$work/p(23x23).raw"
  prefix=$(mktemp -d)
  started=$(date +%s)
  for args in "--version" "-c:BMP p(23x23).raw out"; do
    # shellcheck disable=SC2086 # $args is the arguments
    (cd "$work" && WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
      timeout 300 "$1" "$top/$2-bit/Tessarel.exe" $args) \
      </dev/null >>"$work/stdout" 2>>"$work/stderr" || fail "$2-bit: status $?: $(head -c 500 "$work/stderr")"
  done
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
  prefix=
  printf 'Tessarel %s\r\np(23x23).raw -OK\r\n' "$version" | cmp -s - "$work/stdout" ||
    fail "$2-bit printed $(od -c "$work/stdout" | head -n 5)"
  [ -f "$work/out/p(23x23).bmp" ] && [ -f "$work/out/p(23x23)_mask.bmp" ] ||
    fail "$2-bit wrote no BMP pair"
  echo "$2-bit/Tessarel.exe converts under $1 ($(($(date +%s) - started)) s with a new prefix)"
}

run_exe /usr/lib/wine/wine64 64
if ! reason=$(scripts/probe-i386.sh 2>&1); then
  echo "32-bit/Tessarel.exe not run: $reason"
elif [ ! -x /usr/lib/wine/wine ]; then
  echo "32-bit/Tessarel.exe not run: /usr/lib/wine/wine is missing (wine32 is not installed)"
else
  run_exe /usr/lib/wine/wine 32
fi
