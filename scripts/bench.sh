#!/bin/sh
# Builds the benchmarks optimised (build-bench/, native only, no sanitizers) and runs them:
#   scripts/bench.sh [lzw|set|all] [MEGABYTES [ROUNDS]]
# lzw: LZW decoding beside ncompress and gzip; set: checking a whole distribution set with
# "nebpack check" beside "gzip -t" on the same payload, with peak memory. Default: all.
set -eu
cd "$(dirname "$0")/.."
which=all
case ${1:-} in
  lzw|set|all) which=$1; shift ;;
esac
if [ ! -f build-bench/CMakeCache.txt ]; then
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNEBCM_WINDOWS=OFF >/dev/null
fi
if [ "$which" != set ]; then
  if ! command -v compress >/dev/null 2>&1; then
    echo "bench: ncompress is not installed (apt-get install ncompress); its column is skipped" >&2
  fi
  cmake --build build-bench --target bench_lzw_decode >/dev/null
  echo "== LZW decoding"
  build-bench/bench/bench_lzw_decode "$@"
fi
if [ "$which" != lzw ]; then
  cmake --build build-bench --target bench_set_check >/dev/null
  echo "== distribution set check"
  build-bench/bench/bench_set_check "$@"
fi
