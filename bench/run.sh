#!/bin/sh
# Builds an optimised Tessarel and runs the benchmark: bench/run.sh [runs]
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
command -v /usr/bin/time >/dev/null || { sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo;
  $sudo apt-get install -y -qq time python3 >/dev/null; }
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSAREL_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target Tessarel >/dev/null
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(df -T . | awk 'NR==2 {print $2}') file system"
python3 bench/run.py build-bench/Tessarel --runs "${1:-5}"
