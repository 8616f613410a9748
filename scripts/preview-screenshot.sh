#!/bin/sh
# Makes the README's picture of the preview window: shows a RAW file on a
# private Xvfb screen and keeps just the window.
#
#   scripts/preview-screenshot.sh SAMPLE.raw [TESSAREL [OUT.png]]
#
# TESSAREL defaults to build/Tessarel, then build-test/Tessarel; OUT.png to
# docs/preview.png. Needs Xvfb, xdotool, xwd and ImageMagick
# (scripts/install-deps.sh test).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
sample=${1:?usage: $0 SAMPLE.raw [TESSAREL [OUT.png]]}
tool=${2:-}
out=${3:-$root/docs/preview.png}
if [ -z "$tool" ]; then
  for candidate in "$root/build/Tessarel" "$root/build-test/Tessarel"; do
    [ -x "$candidate" ] && tool=$candidate && break
  done
fi
if [ -z "$tool" ] || [ ! -x "$tool" ]; then
  echo "no Tessarel built; pass its path" >&2
  exit 1
fi
[ -f "$sample" ] || { echo "$sample: no such file" >&2; exit 1; }
for t in Xvfb xdotool xwd convert; do
  command -v "$t" >/dev/null 2>&1 || { echo "$t is needed (scripts/install-deps.sh test)" >&2; exit 1; }
done

tmp=$(mktemp -d)
xvfb_pid=""
tool_pid=""
cleanup() {
  [ -z "$tool_pid" ] || kill -KILL "$tool_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || { kill -TERM "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
until [ -s "$tmp/display" ]; do
  i=$((i + 1))
  [ "$i" -le 100 ] || { echo "Xvfb did not start: $(cat "$tmp/xvfb.log")" >&2; exit 1; }
  sleep 0.1
done
DISPLAY=":$(head -n1 "$tmp/display")"
export DISPLAY
unset WAYLAND_DISPLAY
xdotool mousemove 0 0  # keep the pointer off the window

"$tool" "$sample" &
tool_pid=$!
i=0
window=""
while [ -z "$window" ]; do
  i=$((i + 1))
  [ "$i" -le 100 ] || { echo "no preview window appeared" >&2; exit 1; }
  sleep 0.1
  window=$(xdotool search --onlyvisible --name '^Tessarel - Preview$' 2>/dev/null | head -n1) || true
done
sleep 0.5  # the first frame follows the window's mapping
eval "$(xdotool getwindowgeometry --shell "$window")"
mkdir -p "$(dirname "$out")"
# -strip drops the time stamps, so an unchanged window gives an unchanged file.
xwd -root -silent | convert xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip "$out"
kill -TERM "$tool_pid"
wait "$tool_pid" || true
tool_pid=""
echo "$out: ${WIDTH}x${HEIGHT} window of $sample"
