#!/bin/sh
# Builds the installation medium and runs it under Wine in a persistent demo prefix (demo/).
# With a display, setup.exe opens there and the user clicks through the first run (the core
# installation, then the installed copy with the sample set); later runs go to the extension
# selection again.
# Without one, the run is driven through the real windows under Xvfb by tools/screens: the first
# run installs the core into the offered directory and the sample set as the installed copy selects
# it, every window is saved in demo/first-run/ and all of them in order in demo/first-run.png;
# later runs open the installed manager's main window (demo/main-window.png).
# Either way it ends with a summary of what is installed where, read back from the prefix.
#   scripts/demo.sh           as above
#   scripts/demo.sh --reset   removes demo/ first and starts from nothing (as rm -rf demo does)
set -eu
cd "$(dirname "$0")/.."
reset=
case "${1:-}" in
  "") ;;
  --reset) reset=1 ;;
  -h | --help)
    sed -n '2,12s/^# \{0,1\}//p' "$0"
    exit 0 ;;
  *)
    echo "demo: unknown argument $1 (scripts/demo.sh --help)" >&2
    exit 2 ;;
esac
# Progress goes to standard error; standard output carries the summary alone.
scripts/build.sh >&2
here=$(pwd)
root=$here/demo
display=${DISPLAY:-}
# A display that is set but cannot be opened counts as none.
if [ -n "$display" ] && ! DISPLAY=$display import -window root -resize 1x1 png:- >/dev/null 2>&1; then
  echo "demo: the display $display cannot be opened; running without it" >&2
  display=
fi
NEBCM_WINE_ROOT=$root; . scripts/wine-env.sh
if [ -n "$reset" ] && [ -e "$root" ]; then
  echo "demo: removing $root" >&2
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  rm -rf "$root"
fi
if [ ! -f "$root/ready" ]; then
  rm -rf "$root"
  mkdir -p "$root/home"
  echo "demo: making the Wine prefix in $root (once)" >&2
  wineboot -i </dev/null >/dev/null 2>&1
  # Wine draws the window frames itself, so a picture of a window's rectangle shows all of it.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
  # The caption buttons are drawn with Wine's Marlett font, which a fresh prefix does not list.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  # The machine as it was before anything was installed: the summary shows what changed since.
  mkdir -p "$root/before"
  cp "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" "$root/before/"
  (cd "$WINEPREFIX" && find drive_c -name '*.lnk' >"$root/before/shortcuts.txt")
  touch "$root/ready"
fi
medium="$WINEPREFIX/drive_c/medium"
rm -rf "$medium"
cp -r build/medium "$medium"
summary() {
  python3 -B scripts/demo_summary.py "$WINEPREFIX" "$root/before"
}

if [ -n "$display" ]; then
  export DISPLAY="$display"
  wine "C:\\medium\\setup.exe"
  wineserver -w
  # The user may have left before anything was installed: that is no failure of the demo.
  summary || true
  exit 0
fi

# Without a display: the walker drives the windows and names each one it wants taken.
installed=
if grep -qi '^\[Software\\\\Tessaly\\\\NEB\\\\2\.0\]' "$WINEPREFIX/system.reg"; then
  installed=1
fi
if [ -z "$installed" ]; then
  mode=first-run
  echo "demo: no display; the first run from the medium, driven under Xvfb" >&2
else
  mode=main-window
  echo "demo: no display; the platform is installed, its main window under Xvfb" >&2
fi
shots=$root/$mode
rm -rf "$shots" "$root/$mode.png" "$root/screenshot.png"
mkdir -p "$shots"
cp build/win/bin/screens.exe "$WINEPREFIX/drive_c/"
export NEBCM_SHOTS="$shots" NEBCM_MODE="$mode"
status=0
# Interrupted, the prefix's programs end with it (this prefix's server only).
trap 'wineserver -k 2>/dev/null || true' INT TERM
scripts/with-xvfb.sh sh -c '
  n=0
  wine "C:\\screens.exe" "$NEBCM_MODE" </dev/null 2>/dev/null | while IFS= read -r line; do
    set -- $(printf "%s" "$line" | tr -d "\r")
    [ $# -gt 0 ] || continue
    case "$1" in
      SHOT)
        n=$((n + 1))
        file="$NEBCM_SHOTS/$(printf "%02d" "$n")-$2.png"
        import -window root -crop "$(printf "%dx%d%+d%+d" "$5" "$6" "$3" "$4")" +repage -strip "$file"
        touch "$WINEPREFIX/drive_c/shot.done"
        echo "demo: saw $2" >&2 ;;
      DONE)
        [ "$*" = DONE ] && touch "$NEBCM_SHOTS/.complete" ;;
      *) echo "demo: $*" >&2 ;;
    esac
  done
  wineserver -w' || status=$?
rm -f "$WINEPREFIX/drive_c/screens.exe" "$WINEPREFIX/drive_c/shot.done"
if [ "$status" -ne 0 ] || [ ! -f "$shots/.complete" ]; then
  echo "demo: not every window of the $mode came up; what was seen is in $shots" >&2
  summary || true
  exit 1
fi

picture=$root/$mode.png
if [ "$mode" = first-run ]; then
  # The windows in the order they came, three to a row, each with its number and what it shows.
  set --
  n=0
  for file in "$shots"/*.png; do
    n=$((n + 1))
    name=$(basename "$file" .png)
    case "${name#*-}" in
      core-wizard) caption="the core installation wizard offers its directory" ;;
      directory-question) caption="the directory is to be made" ;;
      core-installation-progress) caption="the core is installed" ;;
      consistency-check) caption="the installed copy checks the installation" ;;
      select-extensions-to-install) caption="it offers the sample set's extensions" ;;
      extension-installation-progress) caption="the extensions are installed" ;;
      installation-complete) caption="the completion report" ;;
      installed-extensions-list) caption="its list of what was installed" ;;
      *) caption=$(printf "%s" "${name#*-}" | tr - ' ') ;;
    esac
    set -- "$@" -label "$n. $caption" "$file"
  done
  font=
  for candidate in /usr/share/wine/fonts/tahoma.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf; do
    if [ -f "$candidate" ]; then font=$candidate; break; fi
  done
  if [ -z "$font" ] ||
    ! montage -font "$font" -background '#3a6ea5' -fill white -pointsize 15 -tile 3x \
      -geometry '+14+12' -title 'NEB 2.0: the first run from the medium' "$@" -depth 8 "$picture" 2>/dev/null; then
    montage -background '#3a6ea5' -tile 3x -geometry '+14+12' "$shots"/*.png "$picture"
  fi
else
  cp "$shots"/*-main-window.png "$picture"
fi
echo "demo: the $mode is in $picture (each window in $shots)" >&2
summary
