#!/bin/sh
# Runs the README's walk-through for set authors exactly as written, in a scratch directory, with
# the given nebpack first on the search path, and checks what it leaves: a medium, an image and
# the comparison of the two releases; nothing on standard error, as that is no terminal. Then a
# check on a terminal shows its progress line there.
#   tests/support/readme_walkthrough.sh README NEBPACK PROGRAMS_BIN
set -eu
readme=$1
nebpack=$2
programs=$3
work=$(mktemp -d /tmp/nebcm-walkthrough.XXXXXX)
trap 'rm -rf "$work"' EXIT
bindir=$(dirname "$nebpack")
[ "$(basename "$nebpack")" = nebpack ] || { ln -s "$nebpack" "$work/nebpack"; bindir=$work; }

# The indented block below the walk-through's heading, its indentation taken off.
awk '/^### From a directory of files to a medium/ { on = 1; next }
     on && /^    / { started = 1; print substr($0, 5); next }
     on && started && /^$/ { print ""; next }
     on && started { exit }' "$readme" >"$work/walkthrough.sh"
[ -s "$work/walkthrough.sh" ] || { echo "no walk-through in $readme" >&2; exit 1; }

mkdir "$work/run"
cd "$work/run"
PATH="$bindir:$PATH" NEBPACK_PROGRAMS="$programs" sh -eu "$work/walkthrough.sh" \
  >"$work/out.txt" 2>"$work/err.txt" || {
  echo "the walk-through failed:" >&2; cat "$work/out.txt" "$work/err.txt" >&2; exit 1; }
fail() { echo "walk-through: $*" >&2; cat "$work/out.txt" >&2; exit 1; }
[ ! -s "$work/err.txt" ] || { cat "$work/err.txt" >&2; fail "standard error is not empty"; }

for f in setup.exe NebCM.exe NebCM.hlp NebCM.cnt NebCM.GID NEB.ico hello-1.00.nds; do
  [ -f "medium-1.00/$f" ] || fail "the medium lacks $f"
done
[ "$(cat medium-1.00/setup.inf)" = "$(printf 'hello-1.00.nds\r')" ] || fail "setup.inf is wrong"
cmp -s hello-1.00.nds medium-1.00/hello-1.00.nds || fail "the medium's set is not the packed one"
[ "$(dd if=hello-1.00.iso bs=1 skip=32769 count=5 2>/dev/null)" = CD001 ] || fail "no ISO 9660 image"
[ "$(grep -c '^summary: accepted on 7 of 7 versions; Library:greeting differs (win95 win98 winme nt3 | nt4 win2000 winxp)$' "$work/out.txt")" = 2 ] ||
  fail "check-db and check do not both give the summary"
expected='upgraded Library:greeting 1.00 -> 1.01
upgraded Application:hello 1.00 -> 1.01
file changed lib/greeting.jar (Library:greeting, 17 -> 24 bytes)'
[ "$(tail -n 3 "$work/out.txt")" = "$expected" ] || fail "diff does not list exactly what changed"

# On a terminal the progress line shows on standard error and is wiped at the end.
if command -v script >/dev/null 2>&1; then
  script -qec "\"$nebpack\" check hello-1.01.nds --platform winxp >/dev/null" /dev/null \
    >"$work/tty.txt" </dev/null
  grep -q 'nebpack: reading .*hello-1.01.nds' "$work/tty.txt" || {
    cat -v "$work/tty.txt" >&2; echo "walk-through: no progress line on a terminal" >&2; exit 1; }
fi
# Every verb explains itself, and every option its usage names has a line of its own there.
verbs=$("$nebpack" --help | awk '/^verbs:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { exit }')
[ -n "$verbs" ] || { echo "walk-through: nebpack --help lists no verbs" >&2; exit 1; }
for verb in $verbs; do
  "$nebpack" "$verb" --help >"$work/help.txt"
  head -n 1 "$work/help.txt" | grep -q "^usage: nebpack $verb" ||
    { echo "walk-through: '$verb --help' has no usage line" >&2; exit 1; }
  for option in $(awk '/^$/ { exit } { print }' "$work/help.txt" | grep -o -- '--[a-z-]*' | sort -u); do
    grep -q -- "^ *$option" "$work/help.txt" ||
      { echo "walk-through: '$verb --help' does not explain $option" >&2; exit 1; }
  done
done
echo "walk-through ran as written"
