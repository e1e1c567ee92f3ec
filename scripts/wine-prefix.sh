#!/bin/sh
# Makes (create ROOT) or ends (stop ROOT) the isolated Wine prefix of a test run.
# With "gui" as a third argument the prefix keeps a real display driver (for Xvfb);
# otherwise it uses the null driver so that dialogs work with no display at all.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cmd=$1
root=$2
mode=${3:-headless}

if ! command -v wine >/dev/null 2>&1; then
  echo "wine-prefix: wine is not installed; the Wine tests cannot run (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

case "$cmd" in
create)
  if [ -d "$root/prefix" ]; then
    (NEBCM_WINE_ROOT=$root; . "$here/wine-env.sh"; wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true)
  fi
  rm -rf "$root"
  mkdir -p "$root/home"
  NEBCM_WINE_ROOT=$root; . "$here/wine-env.sh"
  wineboot -i </dev/null >"$root/wineboot.log" 2>&1 || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
  if [ "$mode" = headless ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  else
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  fi
  wineserver -w
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-prefix: no prefix was made at $WINEPREFIX" >&2
    exit 1
  fi
  mkdir -p "$WINEPREFIX/drive_c/nebcm-tests"
  # A folder holding a link back to its parent, for the tests of walks that must not loop.
  mkdir -p "$root/link-loop/inner"
  ln -sfn .. "$root/link-loop/inner/back"
  # Keep the server and Wine's own services running for the whole test run, started with no
  # pipe of ours: a service that inherited a test's output would hold that test open.
  wineserver -p900 </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  touch "$root/ready"
  ;;
stop)
  [ -d "$root/prefix" ] || exit 0
  NEBCM_WINE_ROOT=$root; . "$here/wine-env.sh"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: wine-prefix.sh create|stop ROOT [gui]" >&2
  exit 2
  ;;
esac
