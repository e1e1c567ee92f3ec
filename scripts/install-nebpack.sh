#!/bin/sh
# Builds nebpack optimised (build-release/: Release, native only, no sanitizers; the test build
# in build/ is left as it is) and installs it as PREFIX/bin/nebpack:
#   scripts/install-nebpack.sh            (PREFIX=/usr/local)
#   PREFIX=$HOME/.local scripts/install-nebpack.sh
set -eu
cd "$(dirname "$0")/.."
prefix=${PREFIX:-/usr/local}
scripts/install-deps.sh
if [ ! -f build-release/CMakeCache.txt ]; then
  cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNEBCM_WINDOWS=OFF >/dev/null
fi
cmake --build build-release --target nebpack
cmake --install build-release --component nebpack --prefix "$prefix" >/dev/null
echo "installed $prefix/bin/nebpack"
