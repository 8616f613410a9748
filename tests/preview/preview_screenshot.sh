#!/bin/bash
# preview_screenshot.sh TESSAREL: each RAW file of tests/data/units/preview shows on a private
# Xvfb screen as the PNG of its name (the window in a ring of the black root), idles and ends
# with status 0 on SIGTERM; with no window to show, the preview returns at once and silently.
# Exit status 77: skipped, no Xvfb. A failed comparison leaves preview_screenshot_*.png.
set -u
exe=$(realpath "${1:?usage: $0 path/to/Tessarel}")
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2 && exit 1; }
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed" >&2 && exit 77; }
# SDL leaves libdbus's global buffers to the process exit: not a leak of ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp:print_suppressions=0"
source "$here/../../scripts/preview-screenshot.sh"
tmp=$(mktemp -d) || fail "no temporary directory"
screen_pid="" preview_pid=""
trap '[ -z "$preview_pid" ] || kill -KILL $preview_pid; [ -z "$screen_pid" ] || kill $screen_pid; wait; rm -rf "$tmp"' EXIT
trap 'exit 1' INT TERM HUP
open_screen "$tmp" || fail "no screen"
ticks() { sed 's/.*) //' /proc/$preview_pid/stat | awk '{print $12 + $13}'; } # CPU time used

for raw in "$here"/../data/units/preview/*.raw; do
  name=$(basename "$raw" .raw)
  show_preview "$exe" "$raw" "$tmp" || fail "$name: $(cat "$tmp/stderr")"
  [ "$(xprop -id "$window" WM_NORMAL_HINTS | grep -c 'specified m..imum size: 150 by 150')" = 2 ] ||
    fail "$name: the window is not fixed at 150 x 150"
  xprop -id "$window" _NET_WM_BYPASS_COMPOSITOR | grep -q '= 1' && fail "$name: the window bypasses the compositor"
  convert "${raw%.raw}.png" -depth 8 "rgb:$tmp/want"
  for _ in $(seq 25); do # the first frame may come a moment after the window maps
    capture 152x152+249+149 -depth 8 "rgb:$tmp/shot" && cmp -s "$tmp/shot" "$tmp/want" && break
    sleep 0.2
  done
  if ! cmp -s "$tmp/shot" "$tmp/want"; then
    convert -size 152x152 -depth 8 "rgb:$tmp/shot" "preview_screenshot_$name.png"
    fail "$name: the screen differs from ${raw%.raw}.png: see preview_screenshot_$name.png"
  fi
  # An open window waits for events; a loop that polls without waiting takes a
  # core, or most of one on a busy machine: more than a quarter fails.
  before=$(ticks) && sleep 2 && used=$(($(ticks) - before))
  [ $used -lt $(($(getconf CLK_TCK) / 2)) ] || fail "$name: $used clock ticks of CPU in 2 s idle"
  kill -TERM $preview_pid
  for _ in $(seq 50); do kill -0 $preview_pid 2>/dev/null && sleep 0.1; done
  kill -0 $preview_pid 2>/dev/null && fail "$name: still open 5 s after SIGTERM"
  wait $preview_pid
  status=$? preview_pid=""
  [ $status = 0 ] && [ ! -s "$tmp/stdout" ] || fail "$name: status $status, printed $(cat "$tmp/stdout")"
  echo "ok: $name shown, idle ($used ticks in 2 s), closed"
done

raw=$(realpath "$here"/../data/units/preview/p*.raw)
printf short >"$tmp/short(20x10).raw"
while IFS='|' read -r what environment file; do
  # shellcheck disable=SC2086 # words on purpose
  (cd "$tmp" && exec timeout -k 2 5 env $environment "$exe" "$file") >"$tmp/out" 2>&1
  status=$?
  [ $status = 0 ] && [ ! -s "$tmp/out" ] || fail "$what: status $status, printed $(cat "$tmp/out")"
  echo "ok: $what: quiet return"
done <<END
no display|-u DISPLAY|$raw
empty DISPLAY|DISPLAY=|$raw
no Wayland session named|-u DISPLAY -u XDG_RUNTIME_DIR WAYLAND_DISPLAY=|$raw
offscreen driver forced|SDL_VIDEODRIVER=offscreen|$raw
dummy driver forced|SDL_VIDEODRIVER=dummy|$raw
a file that does not load||short(20x10).raw
END
