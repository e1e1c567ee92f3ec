#!/bin/sh
# Saves a PNG picture of every window of the setup launcher and the configuration manager into
# docs/screens/, numbered in the order of one run that tools/screens walks under Xvfb in a Wine
# prefix of its own. Each picture is cut to the window (or, for a menu, to the window and menu).
#   scripts/screenshots.sh            builds everything first (scripts/build.sh), uses build/
#   scripts/screenshots.sh BUILD_DIR  uses that build directory as it is (the screenshots target)
# The pictures are replaced only when every window was found; otherwise the new ones are kept in
# a directory under /tmp that the script names.
set -eu
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
  build=$(cd "$1" && pwd)
else
  scripts/build.sh
  build=$(pwd)/build
fi
for tool in xvfb-run import wine; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
root=$(mktemp -d /tmp/nebcm-screens.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$root"' EXIT
NEBCM_WINE_ROOT=$root; . scripts/wine-env.sh
mkdir -p "$root/home" "$root/shots"
started=$(date +%s)
wineboot -i </dev/null >/dev/null 2>&1
# Wine draws the window frames itself, so a picture of a window's rectangle shows all of it.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -w
cp -r "$build/medium" "$WINEPREFIX/drive_c/medium"
cp "$build/win/bin/screens.exe" "$WINEPREFIX/drive_c/"
# The caption buttons are drawn with Wine's Marlett font, which a fresh prefix does not list.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Only drive C: is offered in the pictures (and searched), not the host's file system.
rm -f "$WINEPREFIX/dosdevices/z:"
export NEBCM_SHOTS="$root/shots"
xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
  wine "C:\\screens.exe" </dev/null 2>/dev/null | while IFS= read -r line; do
    set -- $(printf "%s" "$line" | tr -d "\r")
    [ $# -gt 0 ] || continue
    case "$1" in
      SHOT)
        file="$NEBCM_SHOTS/$2.png"
        import -window root -crop "$(printf "%dx%d%+d%+d" "$5" "$6" "$3" "$4")" +repage -strip "$file"
        touch "$WINEPREFIX/drive_c/shot.done"
        # A window that was gone before the camera leaves a plain rectangle: left out.
        if [ "$(convert "$file" -format "%[fx:standard_deviation]" info:)" = 0 ]; then
          rm -f "$file"; echo "blank $2, left out"
        else
          echo "$2" >>"$NEBCM_SHOTS/order"; echo "took $2"
        fi ;;
      DONE)
        echo "$*"
        [ "$*" = DONE ] && touch "$NEBCM_SHOTS/.complete" ;;
      *) echo "$*" ;;
    esac
  done
  wineserver -k; wineserver -w'
echo "run took $(( $(date +%s) - started )) s"
# Numbered in the order they were taken.
mkdir -p "$root/numbered"
n=0
while read -r name; do
  n=$((n + 1))
  cp "$root/shots/$name.png" "$root/numbered/$(printf "%02d" "$n")-$name.png"
done <"$root/shots/order"
if [ ! -f "$root/shots/.complete" ]; then
  kept=$(mktemp -d /tmp/nebcm-screens-incomplete.XXXXXX)
  cp "$root"/numbered/*.png "$kept/" 2>/dev/null || true
  echo "screenshots: not every window was found; docs/screens left as it was, new pictures in $kept" >&2
  exit 1
fi
mkdir -p docs/screens
rm -f docs/screens/*.png
cp "$root"/numbered/*.png docs/screens/
echo "$n pictures, $(du -sh docs/screens | cut -f1) in docs/screens"
