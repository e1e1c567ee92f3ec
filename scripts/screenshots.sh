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
# A set that only offers an older release of an installed library.
"$build/tools/nebpack/nebpack" pack "$WINEPREFIX/drive_c/older.nds" tools/screens/older-set >/dev/null
# The caption buttons are drawn with Wine's Marlett font, which a fresh prefix does not list.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Only drive C: is offered in the pictures (and searched), not the host's file system.
rm -f "$WINEPREFIX/dosdevices/z:"
export NEBCM_SHOTS="$root/shots"
xvfb-run -a -s '-screen 0 1024x768x24' sh -c '
  n=0
  wine "C:\\screens.exe" </dev/null 2>/dev/null | while IFS= read -r line; do
    set -- $(printf "%s" "$line" | tr -d "\r")
    [ $# -gt 0 ] || continue
    case "$1" in
      SHOT)
        n=$((n + 1))
        file="$NEBCM_SHOTS/$(printf "%02d" "$n")-$2.png"
        import -window root -crop "$(printf "%dx%d%+d%+d" "$5" "$6" "$3" "$4")" +repage -strip "$file"
        touch "$WINEPREFIX/drive_c/shot.done"
        # A window that was gone before the camera leaves a plain rectangle: left out.
        if [ "$(convert "$file" -format "%[fx:standard_deviation]" info:)" = 0 ]; then
          rm -f "$file"; echo "blank $2, left out"
        else
          echo "took $2"
        fi ;;
      SKIP)
        n=$((n + 1))
        printf "%02d-%s.png\n" "$n" "$2" >>"$NEBCM_SHOTS/.skipped"
        echo "not caught: $2" ;;
      DONE)
        echo "$*"
        [ "$*" = DONE ] && touch "$NEBCM_SHOTS/.complete" ;;
      *) echo "$*" ;;
    esac
  done
  wineserver -k; wineserver -w'
echo "run took $(( $(date +%s) - started )) s"
if [ ! -f "$root/shots/.complete" ]; then
  kept=$(mktemp -d /tmp/nebcm-screens-incomplete.XXXXXX)
  cp "$root"/shots/*.png "$kept/" 2>/dev/null || true
  echo "screenshots: not every window was found; docs/screens left as it was, new pictures in $kept" >&2
  exit 1
fi
mkdir -p docs/screens
# A brief window this run did not catch keeps its earlier picture.
for old in docs/screens/*.png; do
  [ -e "$old" ] || continue
  grep -qxF "$(basename "$old")" "$root/shots/.skipped" 2>/dev/null || rm -f "$old"
done
cp "$root"/shots/*.png docs/screens/
echo "$(ls docs/screens/*.png | wc -l) pictures, $(du -sh docs/screens | cut -f1) in docs/screens"
