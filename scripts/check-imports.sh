#!/bin/sh
# Fails when a Windows program imports a function that is not on the list of functions Windows XP has.
set -eu
exe=$1
allow=$2
objdump=i686-w64-mingw32-objdump
[ -f "$exe" ] || { echo "check-imports: $exe is missing" >&2; exit 1; }
imports=$($objdump -p "$exe" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ { if (dll != "") print dll ":" $3 }
  /^$/ { }')
[ -n "$imports" ] || { echo "check-imports: no imports found in $exe" >&2; exit 1; }
bad=0
for i in $imports; do
  if ! grep -v "^#" "$allow" | grep -qxF "$i"; then
    echo "not on the Windows XP list: $i" >&2
    bad=1
  fi
done
count=$(printf '%s\n' $imports | wc -l)
echo "$(basename "$exe"): $count imported functions checked"
exit $bad
