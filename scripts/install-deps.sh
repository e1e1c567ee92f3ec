#!/bin/sh
# Installs the Debian 12 packages the build and the tests need (genisoimage: the image writer
# of "nebpack medium --iso"); quick when all are present.
set -eu

need=""
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

want="cmake ninja-build g++ clang libclang-rt-dev googletest libgtest-dev libgmock-dev \
 g++-mingw-w64-i686 wine wine64 xvfb xauth fonts-wine x11-apps imagemagick clang-format file binutils-mingw-w64-i686 python3 genisoimage"
for p in $want; do have "$p" || need="$need $p"; done
have wine32:i386 || need="$need wine32:i386"

[ -z "$need" ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
case "$need" in
  *wine32:i386*)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $SUDO dpkg --add-architecture i386
    fi ;;
esac
echo "install-deps: installing$need" >&2
$SUDO apt-get update -qq </dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $need </dev/null >/dev/null
