#!/bin/sh
# Runs a command with DISPLAY set to a private Xvfb server of its own, ended afterwards; the
# server picks a free display number itself, so tests running side by side never collide.
#   scripts/with-xvfb.sh COMMAND [args...]
set -eu
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with-xvfb: Xvfb is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
fdfile=$(mktemp /tmp/nebcm-xvfb.XXXXXX)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" </dev/null >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; wait $server 2>/dev/null || true; rm -f "$fdfile"' EXIT INT TERM
for _ in $(seq 1 100); do
  [ -s "$fdfile" ] && break
  kill -0 $server 2>/dev/null || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$fdfile" ] || { echo "with-xvfb: Xvfb gave no display number" >&2; exit 1; }
DISPLAY=:$(head -n1 "$fdfile")
NEBCM_DISPLAY=$DISPLAY
export DISPLAY NEBCM_DISPLAY
status=0
"$@" || status=$?
exit $status
