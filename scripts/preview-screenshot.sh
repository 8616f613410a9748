#!/bin/bash
# Makes the README's picture of the preview window: shows a RAW file on a
# private Xvfb screen and keeps just the window.
#
#   scripts/preview-screenshot.sh SAMPLE.raw [TESSAREL [OUT.png]]
#
# TESSAREL defaults to build/Tessarel, then build-test/Tessarel; OUT.png to
# docs/preview.png. Needs Xvfb, xdotool, xwd and ImageMagick
# (scripts/install-deps.sh test). Sourced, it only defines its functions,
# which tests/preview/preview_screenshot.sh shares.

# Starts an 800 x 600 Xvfb screen with a black root window on a free display
# (its process in screen_pid) and exports DISPLAY; DIR keeps its files.
# Without -noreset the server resets whenever its last client leaves, and a
# client connecting during the reset (a preview started just after xdotool
# left) may be dropped.
open_screen() { # DIR
  Xvfb -displayfd 3 -screen 0 800x600x24 -br -noreset -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
  screen_pid=$!
  for _ in $(seq 100); do
    [ -s "$1/display" ] && break
    sleep 0.1
  done
  [ -s "$1/display" ] || { echo "Xvfb did not start: $(cat "$1/xvfb.log")" >&2 && return 1; }
  export DISPLAY=":$(head -n1 "$1/display")"
  unset WAYLAND_DISPLAY
  xdotool mousemove 0 0 # off the window: the pointer starts at its corner
}

# Starts TESSAREL on RAW (its process in preview_pid, its output in
# DIR/stdout and DIR/stderr) and waits up to 20 s for the visible window,
# whose id it leaves in window. A preview that finds no usable display ends
# silently, as it should; a display that failed it once gets one more try.
show_preview() { # TESSAREL RAW DIR [ATTEMPTS]
  local status
  "$1" "$2" >"$3/stdout" 2>"$3/stderr" &
  preview_pid=$!
  for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --name '^Tessarel - Preview$' 2>/dev/null | head -n1)
    [ -n "$window" ] && return 0
    if ! kill -0 "$preview_pid" 2>/dev/null; then
      wait "$preview_pid"
      status=$? preview_pid=""
      echo "ended without a window, status $status; the X server said: $(cat "$3/xvfb.log")" >&2
      [ $status = 0 ] && [ ! -s "$3/stderr" ] && [ "${4:-2}" -gt 1 ] && show_preview "$1" "$2" "$3" 1
      return
    fi
    sleep 0.1
  done
  echo "no visible window titled \"Tessarel - Preview\" in 20 s" >&2
  return 1
}

# Writes the screen's AREA (WxH+X+Y) through ImageMagick's convert, which
# takes the rest of the arguments (the last one names the output).
capture() { # AREA CONVERT-ARGUMENT...
  xwd -root -silent | convert xwd:- -crop "$1" +repage "${@:2}"
}

main() {
  set -eu
  local root sample tool out tmp
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  sample=${1:?usage: $0 SAMPLE.raw [TESSAREL [OUT.png]]}
  tool=${2:-}
  out=${3:-$root/docs/preview.png}
  if [ -z "$tool" ]; then
    for candidate in "$root/build/Tessarel" "$root/build-test/Tessarel"; do
      [ -x "$candidate" ] && tool=$candidate && break
    done
  fi
  [ -n "$tool" ] && [ -x "$tool" ] || { echo "no Tessarel built; pass its path" >&2 && exit 1; }
  [ -f "$sample" ] || { echo "$sample: no such file" >&2 && exit 1; }
  for t in Xvfb xdotool xwd convert; do
    command -v "$t" >/dev/null || { echo "$t is needed (scripts/install-deps.sh test)" >&2 && exit 1; }
  done
  tmp=$(mktemp -d)
  screen_pid="" preview_pid=""
  trap '[ -z "$preview_pid" ] || kill -KILL $preview_pid; [ -z "$screen_pid" ] || kill $screen_pid;
    wait; rm -rf "'"$tmp"'"' EXIT
  trap 'exit 1' INT TERM HUP
  open_screen "$tmp"
  show_preview "$tool" "$sample" "$tmp"
  sleep 0.5 # the first frame follows the window's mapping
  eval "$(xdotool getwindowgeometry --shell "$window")"
  mkdir -p "$(dirname "$out")"
  # -strip drops the time stamps, so an unchanged window gives an unchanged file.
  capture "${WIDTH}x${HEIGHT}+${X}+${Y}" -strip "$out"
  kill -TERM "$preview_pid" && wait "$preview_pid" || true
  preview_pid=""
  echo "$out: ${WIDTH}x${HEIGHT} window of $sample"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then main "$@"; fi
