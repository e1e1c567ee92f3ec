#!/bin/sh
# Packs the author's set of tests/data/author-set with the native nebpack, makes a medium of it
# with "nebpack medium" from the built programs, and runs an end-to-end test program on that
# medium (scripts/e2e-run.sh):
#   scripts/e2e-author-medium.sh ROOT NEBPACK PROGRAMS_BIN TEST.exe [args...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$1
nebpack=$2
programs=$3
shift 3
work="$root.author"
rm -rf "$work"
mkdir -p "$work"
"$nebpack" pack "$work/author.nds" "$here/../tests/data/author-set/greeter" --all-platforms
"$nebpack" medium "$work/medium" "$work/author.nds" --programs "$programs"
status=0
"$here/e2e-run.sh" "$root" "$work/medium" "$@" || status=$?
rm -rf "$work"
exit $status
