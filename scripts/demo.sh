#!/bin/sh
# Converts the shipped samples both ways into a fresh demo-out/ and shows the
# result lines: RAW -> BMP pairs, BMP and GIF -> RAW, and the BMP pairs back
# to RAW, which must give the original RAW bytes.
set -eu
tool=${1:-build/Tessarel}
cd "$(dirname "$0")/.."
rm -rf demo-out
mkdir demo-out
# Each command is shown as it is typed, its patterns quoted so that the shell
# hands them to the tool unexpanded.
run() {
  line="\$ $tool"
  for arg in "$@"; do
    case $arg in
      *[!A-Za-z0-9_./:=-]*) line="$line '$arg'" ;;
      *) line="$line $arg" ;;
    esac
  done
  echo "$line"
  "$tool" "$@"
}
run -c:BMP 'samples/raw/*.raw' demo-out/bmp
run -c:RAW 'samples/bmp/*.bmp' demo-out/raw
run -c:RAW 'samples/gif/*.gif' demo-out/raw
run -c:RAW 'demo-out/bmp/*.bmp' demo-out/roundtrip
for f in samples/raw/*.raw; do
  cmp "$f" "demo-out/roundtrip/$(basename "$f")"
done
echo "Round trip RAW -> BMP -> RAW: byte-identical. Output in demo-out/:"
ls demo-out/*
