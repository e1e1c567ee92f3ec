#!/bin/sh
# Builds everything into build/: the native core, tests and tools (with ASan and UBSan) and,
# as sub-builds, the Windows programs (build/win) and the Wine tests (build/wintest).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNEBCM_SANITIZE=ON >/dev/null
fi
cmake --build build --parallel "$(nproc)"
