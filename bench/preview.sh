#!/bin/bash
# bench/preview.sh TESSAREL [SIDE]: the time from start to the visible preview
# window of a SIDE x SIDE RAW file (16384 by default) and the preview's peak
# memory, on a private Xvfb screen; median of 5 runs.
set -eu
tool=$(realpath "${1:?usage: $0 path/to/Tessarel [side]}")
side=${2:-16384}
source "$(dirname "$0")/../scripts/preview-screenshot.sh"
tmp=$(mktemp -d)
screen_pid="" preview_pid=""
trap '[ -z "$preview_pid" ] || pkill -KILL -P $preview_pid; [ -z "$screen_pid" ] || kill $screen_pid; wait; rm -rf "$tmp"' EXIT
open_screen "$tmp"
# Zeros, in a sparse file: only what the window shows is ever read.
planes=$((2 * side * side + (side * side + 7) / 8))
truncate -s $((planes + planes % 2)) "$tmp/p(${side}x${side}).raw"
printf '#!/bin/sh\nexec /usr/bin/time -o "%s/time" -v "%s" "$@"\n' "$tmp" "$tool" >"$tmp/timed"
chmod +x "$tmp/timed"
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  show_preview "$tmp/timed" "$tmp/p(${side}x${side}).raw" "$tmp"
  echo $((($(date +%s%N) - start) / 1000000)) >>"$tmp/ms"
  pkill -TERM -P "$preview_pid" && wait "$preview_pid" || true
  preview_pid=""
  awk '/Maximum resident/ {print $NF}' "$tmp/time" >>"$tmp/kib"
done
echo "${side}x${side} preview: window shown after $(sort -n "$tmp/ms" | sed -n 3p) ms" \
  "(median of 5, process start and the check for the window included)," \
  "peak RSS $(sort -n "$tmp/kib" | tail -n1 | awk '{printf "%.1f", $1 / 1024}') MiB"
