#!/bin/sh
# Runs an end-to-end test program in a Wine prefix of its own (ROOT) on a private Xvfb display,
# with the installation medium copied to C:\medium; the prefix is made fresh and ended afterwards.
# With --headless first the prefix gets the null display driver and no display at all is used.
#   scripts/e2e-run.sh [--headless] ROOT MEDIUM TEST.exe [args...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
mode=gui
if [ "${1:-}" = --headless ]; then
  mode=headless
  unset NEBCM_DISPLAY
  shift
fi
root=$1
medium=$2
exe=$3
shift 3
"$here/wine-prefix.sh" create "$root" "$mode"
NEBCM_WINE_ROOT=$root; . "$here/wine-env.sh"
cp -r "$medium" "$WINEPREFIX/drive_c/medium"
status=0
"$here/wine-run.sh" "$root" "$exe" "$@" || status=$?
"$here/wine-prefix.sh" stop "$root"
rm -rf "$root"
exit $status
