#!/bin/sh
# Makes a second release of the sample set (medium/sample) with known changes, packs both with
# the given nebpack and checks that "nebpack diff" lists exactly those changes, and nothing when
# a release is compared with itself.
#   tests/support/sample_diff.sh NEBPACK SAMPLE_DIR
set -eu
nebpack=$1
sample=$2
work=$(mktemp -d /tmp/nebcm-sample-diff.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$sample" "$work/old"
cp -r "$sample" "$work/new"
cd "$work/new"
# Release 2: a newer XML library with other bytes, a parser that no longer needs util, another
# shortcut text for the viewer's notes, no editor, and a notes application.
sed -i -e 's/^Version=1.20$/Version=1.21/' -e '/^Library=util$/d' base/neb.cdb
echo 'XML support library, release 1.21' > base/lib/xml.jar
sed -i -e 's|;Sample/Document Viewer$|;Sample/Viewer notes|' \
  -e '/^\[Application:editor\]$/,/^ExternalCore=2.00-$/d' tools/neb.cdb
rm -r tools/apps/editor
mkdir -p tools/apps/notes
echo 'notes application' > tools/apps/notes/notes.jar
printf '\n[Application:notes]\nVersion=1.00\nDescription=Notes\nCopyright=(c) Tessaly\nPackage=apps/notes\nFile=apps/notes/notes.jar\nLibrary=util\n' >> tools/neb.cdb
cd "$work"
"$nebpack" pack old.nds old/base old/tools --platform winxp
"$nebpack" pack new.nds new/base new/tools --platform winxp
old_xml=$(wc -c <old/base/lib/xml.jar | tr -d ' ')
status=0
"$nebpack" diff old.nds new.nds --platform winxp >diff.txt || status=$?
[ $status = 1 ] || { echo "diff exited with $status, expected 1" >&2; cat diff.txt >&2; exit 1; }
cat >expected.txt <<END
upgraded Library:xml 1.20 -> 1.21
changed Component:parser: dependencies Library=xml, Library=util -> Library=xml
changed Application:viewer: shortcut of apps/viewer/viewer.txt "Sample/Document Viewer" -> "Sample/Viewer notes"
removed Application:editor 1.00
added Application:notes 1.00
file removed apps/editor/editor.jar (Application:editor)
file removed apps/editor/editor.txt (Application:editor)
file added apps/notes/notes.jar (Application:notes)
file changed lib/xml.jar (Library:xml, $old_xml -> 34 bytes)
END
diff -u expected.txt diff.txt || { echo "nebpack diff does not list exactly what changed" >&2; exit 1; }
"$nebpack" diff new.nds new.nds --platform winxp >same.txt
[ ! -s same.txt ] || { echo "a release compared with itself shows differences" >&2; exit 1; }
echo "sample diff lists exactly what changed"
