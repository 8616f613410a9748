#!/bin/sh
# Runs every fuzz target for a while: scripts/fuzz.sh [seconds per target, 60]
# Inputs that reach new code are added to the target's corpus in fuzz/corpus/,
# which CTest replays in every build; a crash is saved in build-fuzz/crashes/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
mkdir -p build-fuzz/crashes
status=0
for target in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  mkdir -p "fuzz/corpus/$name"
  echo "== $name: $seconds s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build-fuzz/crashes/"$name"- "fuzz/corpus/$name" 2>&1 |
    grep -E '^(stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' || true
  # A crash or leak ends the run with a report; say which target.
  ls build-fuzz/crashes/"$name"-* >/dev/null 2>&1 && { echo "!! $name: see build-fuzz/crashes/"; status=1; }
done
exit $status
