#!/bin/sh
# Builds the installation medium and starts its setup.exe under Wine in a persistent demo prefix
# (demo/): the first run installs the core, then continues in the installed copy with the sample set.
# With a display the window opens there; without one it runs under Xvfb and a screenshot is saved.
# Reset the demo with: rm -rf demo
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
root=$(pwd)/demo
display=${DISPLAY:-}
NEBCM_WINE_ROOT=$root; . scripts/wine-env.sh
if [ ! -f "$root/ready" ]; then
  mkdir -p "$root/home"
  echo "demo: making the Wine prefix in $root (once)" >&2
  wineboot -i </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$root/ready"
fi
medium="$WINEPREFIX/drive_c/medium"
rm -rf "$medium"
cp -r build/medium "$medium"
if [ -n "$display" ]; then
  export DISPLAY=$display
  wine "C:\\medium\\setup.exe"
  wineserver -w
else
  shot="$root/screenshot.png"
  echo "demo: no display; running under Xvfb, screenshot in $shot" >&2
  xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
    wine "C:\\medium\\setup.exe" &
    sleep 8; import -window root "'"$shot"'"
    wineserver -k; wineserver -w' demo </dev/null
  echo "demo: screenshot saved to $shot"
fi
