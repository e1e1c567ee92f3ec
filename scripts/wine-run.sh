#!/bin/sh
# Runs a Windows program (copied into drive C:) under Wine in the prepared prefix ROOT; the exit code is the program's.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$1
exe=$2
shift 2
if ! command -v wine >/dev/null 2>&1; then
  echo "wine-run: wine is not installed; this test cannot run" >&2
  exit 1
fi
if [ ! -f "$root/ready" ]; then
  echo "wine-run: the Wine prefix at $root was not prepared (the wine.prefix test makes it)" >&2
  exit 1
fi
NEBCM_WINE_ROOT=$root; . "$here/wine-env.sh"
dir="$WINEPREFIX/drive_c/nebcm-tests"
mkdir -p "$dir"
copy="$dir/$(basename "$exe")"
cp -f "$exe" "$copy"
exec wine "C:\\nebcm-tests\\$(basename "$exe")" "$@" </dev/null
