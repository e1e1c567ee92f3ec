#!/bin/sh
# Builds a libFuzzer target (clang, ASan+UBSan) in build-fuzz/ and runs it:
#   scripts/fuzz.sh lzw_decode|archive_read|preprocessor|reader|legacy_reader|set_read SECONDS [libFuzzer options...]
# New inputs go to build-fuzz/corpus/TARGET, crashes to build-fuzz/artifacts/TARGET; the seeds in
# tests/fuzz/corpus/TARGET are only read.
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh lzw_decode|archive_read|preprocessor|reader|legacy_reader|set_read SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
case $target in
  lzw_decode|archive_read) ;;
  preprocessor|reader|legacy_reader) set -- -dict=tests/fuzz/reader.dict -max_len=4096 "$@" ;;
  set_read) set -- -dict=tests/fuzz/set.dict -max_len=16384 -timeout=1 "$@" ;;
  *) echo "fuzz: unknown target '$target'" >&2; exit 2 ;;
esac
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNEBCM_FUZZ=ON -DNEBCM_SANITIZE=ON -DNEBCM_WINDOWS=OFF >/dev/null
fi
if ! cmake --build build-fuzz --target "fuzz_$target" >build-fuzz/build.log 2>&1; then
  cat build-fuzz/build.log >&2
  exit 2
fi
mkdir -p "build-fuzz/corpus/$target" "build-fuzz/artifacts/$target"
exec "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
  -rss_limit_mb=2048 -artifact_prefix="build-fuzz/artifacts/$target/" "$@" "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target"
