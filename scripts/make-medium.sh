#!/bin/sh
# Assembles the installation medium: setup.exe with setup.inf, NebCM.exe with the help files and
# icon the core installation copies, and the sample distribution set packed from medium/sample.
#   scripts/make-medium.sh OUT NEBPACK PROGRAMS_BIN
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=$1
nebpack=$2
bin=$3
rm -rf "$out.new"
mkdir -p "$out.new"
cp "$bin/setup.exe" "$bin/NebCM.exe" "$out.new/"
cp "$here/medium/setup.inf" "$here/medium/NebCM.hlp" "$here/medium/NebCM.cnt" \
   "$here/medium/NebCM.GID" "$out.new/"
cp "$here/src/ui/art/nebcm.ico" "$out.new/NEB.ico"
"$nebpack" pack "$out.new/sample.nds" "$here/medium/sample/base" "$here/medium/sample/tools" >/dev/null
rm -rf "$out"
mv "$out.new" "$out"
