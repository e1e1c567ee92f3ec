#!/bin/sh
# Builds everything and runs every test (native, Wine, GUI) with one ctest run.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"
