#!/bin/sh
# Builds everything and runs every test (native, Wine, GUI) with one ctest run.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
# The GUI tests spend most of their time waiting for windows, each in a prefix of its own: at
# least four run side by side even on a small machine.
jobs=$(nproc)
[ "$jobs" -ge 4 ] || jobs=4
ctest --test-dir build --output-on-failure --parallel "$jobs" --timeout 900 "$@"
