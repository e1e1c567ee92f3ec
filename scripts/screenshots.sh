#!/bin/sh
# Saves PNG screenshots of a whole first run (from the installation medium to the main window and
# its dialogs) into docs/screens/, under Xvfb in a Wine prefix of its own.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
root=$(mktemp -d /tmp/nebcm-screens.XXXXXX)
NEBCM_WINE_ROOT=$root; . scripts/wine-env.sh
mkdir -p "$root/home" docs/screens
wineboot -i </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -w
cp -r build/medium "$WINEPREFIX/drive_c/medium"
cp build/win/bin/screens.exe "$WINEPREFIX/drive_c/"
out=$(pwd)/docs/screens
xvfb-run -a -s '-screen 0 800x600x24' sh -c '
  wine "C:\\screens.exe" </dev/null 2>/dev/null | while read -r what name; do
    case "$what" in
      SHOT) import -window root "'"$out"'/$name.png"; echo "saved $name.png" ;;
      *) echo "$what $name" ;;
    esac
  done
  wineserver -k; wineserver -w'
rm -rf "$root"
