#!/bin/sh
# Builds the benchmarks optimised (build-bench/, native only, no sanitizers) and runs the LZW
# decode benchmark: scripts/bench.sh [MEGABYTES [ROUNDS]].
set -eu
cd "$(dirname "$0")/.."
if ! command -v compress >/dev/null 2>&1; then
  echo "bench: ncompress is not installed (apt-get install ncompress); its column is skipped" >&2
fi
if [ ! -f build-bench/CMakeCache.txt ]; then
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNEBCM_WINDOWS=OFF >/dev/null
fi
cmake --build build-bench --target bench_lzw_decode >/dev/null
exec build-bench/bench/bench_lzw_decode "$@"
