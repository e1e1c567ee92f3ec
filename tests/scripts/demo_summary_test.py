#!/usr/bin/env python3
"""The demo's summary against small prefixes made here: what it reads back from the registry
files, the component database, the installation directory and the shell links."""

import io
import os
import struct
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import demo_summary  # noqa: E402

DATA = os.path.join(HERE, "..", "data", "demo-summary")

REG_HEADER = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"

SYSTEM_BEFORE = REG_HEADER + r'''[Software\\Wine\\Drives] 1700000000
#time=1
"c:"="hd"

[System\\CurrentControlSet\\Control\\Session Manager\\Environment] 1700000000
#time=1
"Path"=str(2):"%SystemRoot%\\system32;%SystemRoot%"
"TEMP"=str(2):"%SystemRoot%\\temp"
'''

SYSTEM_AFTER = REG_HEADER + r'''[Software\\Classes\\.nds] 1700000100
#time=2
@="NebDistributionSet"

[Software\\Classes\\NebDistributionSet\\shell\\open\\command] 1700000100
#time=2
@="\"C:\\Program Files\\NEB\\20\\NebCM.exe\" \"%1\""

[Software\\Tessaly\\NEB\\2.0] 1700000100
#time=2
"ComponentDatabase"="C:\\Program Files\\NEB\\20\\neb.cdb"
"InstallationPath"="c:\\program files\\neb\\20"
"Long"=hex:01,02,\
  03,04
"Count"=dword:0000002a

[Software\\Wine\\Drives] 1700000100
#time=2
"c:"="hd"
"d:"="cdrom"

[System\\CurrentControlSet\\Control\\Session Manager\\Environment] 1700000100
#time=2
"Path"=str(2):"%SystemRoot%\\system32;%SystemRoot%;C:\\Program Files\\NEB\\20"
"TEMP"=str(2):"%SystemRoot%\\temp"
'''

DATABASE = """[Core]\r
Version=2.00\r
Description=NEB Core\r
File=NebCM.exe\r
File=njava.exe\r
Base=C:\\Program Files\\NEB\\20\r
\r
[Library:util]\r
Version=1.00\r
Description=Utility Library\r
File=lib/util.jar\r
\r
[Application:viewer]\r
version=2.00\r
DESCRIPTION=Sample Document Viewer\r
File=apps/viewer/viewer.txt;Sample/Document Viewer\r
"""


def shell_link(target, arguments=""):
    """A shell link with the target's location and, if given, its arguments (ANSI strings)."""
    path = target.encode("latin-1") + b"\0"
    info = struct.pack("<IIIIIII", 28 + len(path) + 1, 28, 1, 0, 28, 0, 28 + len(path))
    info += path + b"\0"
    flags = 0x02 | (0x20 if arguments else 0)
    header = struct.pack("<I16sI", 0x4C, b"\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0\x46", flags)
    header += b"\0" * (0x4C - len(header))
    strings = b""
    if arguments:
        strings = struct.pack("<H", len(arguments)) + arguments.encode("latin-1")
    return header + info + strings


class Prefix:
    """A prefix laid out as Wine lays one out, with what a test puts in it."""

    def __init__(self, root):
        self.root = root
        os.makedirs(os.path.join(root, "drive_c"))
        os.makedirs(os.path.join(root, "dosdevices"))
        os.symlink("../drive_c", os.path.join(root, "dosdevices", "c:"))
        self.before = os.path.join(root, "before")
        os.makedirs(self.before)

    def write(self, relative, data):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data.encode("latin-1") if isinstance(data, str) else data)
        return path

    def summary(self, before=True):
        out = io.StringIO()
        sound = demo_summary.summarise(self.root, self.before if before else "", out)
        return sound, out.getvalue()


class SummaryTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.prefix = Prefix(self.tmp.name)

    def tearDown(self):
        self.tmp.cleanup()

    def install(self):
        p = self.prefix
        p.write("before/system.reg", SYSTEM_BEFORE)
        p.write("before/user.reg", REG_HEADER)
        p.write("before/shortcuts.txt", "drive_c/users/Public/Desktop/Old.lnk\n")
        p.write("system.reg", SYSTEM_AFTER)
        p.write("user.reg", REG_HEADER)
        base = "drive_c/Program Files/NEB/20/"
        p.write(base + "neb.cdb", DATABASE)
        for name in ("NebCM.exe", "njava.exe", "lib/util.jar", "apps/viewer/viewer.txt"):
            p.write(base + name, "x" * 10)
        programs = "drive_c/users/demo/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/"
        p.write(programs + "NEB 2.0/Uninstall NEB.lnk",
                shell_link("C:\\Program Files\\NEB\\20\\NebCM.exe", "-RequestUninstall"))
        p.write(programs + "Sample/Document Viewer.lnk",
                shell_link("C:\\Program Files\\NEB\\20\\apps\\viewer\\viewer.txt"))
        p.write("drive_c/users/Public/Desktop/Old.lnk", shell_link("C:\\old.exe"))
        return base

    def test_installed_platform_is_read_back_from_the_prefix(self):
        self.install()
        sound, text = self.prefix.summary()
        self.assertTrue(sound, text)
        # The directory as the registry names it, found on disk whatever its case.
        self.assertIn("installed in c:\\program files\\neb\\20\n", text)
        self.assertIn(os.path.join(self.prefix.root, "dosdevices", "c:", "Program Files", "NEB",
                                   "20"), text)
        # Every extension, with its version and files, keys in any case.
        self.assertRegex(text, r"Core +Core +2\.00 +NEB Core +2 files")
        self.assertRegex(text, r"Library +util +1\.00 +Utility Library +1 file\n")
        self.assertRegex(text, r"Application +viewer +2\.00 +Sample Document Viewer +1 file\n")
        self.assertIn("2 extensions besides the core\n", text)
        # neb.cdb itself is the one file there that it does not name.
        self.assertIn("Files: 5 in the installation directory, %d bytes"
                      "; besides those the database names: neb.cdb\n" % (40 + len(DATABASE)), text)

    def test_shortcuts_are_the_new_links_with_targets_and_arguments(self):
        self.install()
        _, text = self.prefix.summary()
        self.assertIn("Shortcuts: 2\n", text)
        self.assertIn("Programs\\NEB 2.0\\Uninstall NEB.lnk\n"
                      "    -> C:\\Program Files\\NEB\\20\\NebCM.exe -RequestUninstall\n", text)
        self.assertIn("Programs\\Sample\\Document Viewer.lnk\n"
                      "    -> C:\\Program Files\\NEB\\20\\apps\\viewer\\viewer.txt\n", text)
        self.assertNotIn("Old.lnk", text)

    def test_registry_shows_what_changed_and_leaves_out_wine_and_unchanged_values(self):
        self.install()
        _, text = self.prefix.summary()
        registry = text[text.index("Registry entries"):]
        self.assertIn("HKEY_CLASSES_ROOT\\.nds\n    (Default) = NebDistributionSet\n", registry)
        # Escaped quotes and backslashes come out as the program wrote them.
        self.assertIn("    (Default) = \"C:\\Program Files\\NEB\\20\\NebCM.exe\" \"%1\"\n",
                      registry)
        self.assertIn("HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\2.0\n"
                      "    ComponentDatabase = C:\\Program Files\\NEB\\20\\neb.cdb\n"
                      "    Count = 42\n"
                      "    InstallationPath = c:\\program files\\neb\\20\n"
                      "    Long = hex:01,02,03,04\n", registry)
        # A changed value of an existing key is shown; its unchanged neighbour is not.
        self.assertIn("Environment\n    Path = %SystemRoot%\\system32;%SystemRoot%;"
                      "C:\\Program Files\\NEB\\20\n", registry)
        self.assertNotIn("TEMP", registry)
        self.assertNotIn("Wine", registry)
        self.assertIn(": 4 keys\n", registry)

    def test_without_a_record_only_the_platform_keys_are_shown(self):
        self.install()
        _, text = self.prefix.summary(before=False)
        registry = text[text.index("Registry"):]
        self.assertIn("Software\\Tessaly\\NEB\\2.0\n", registry)
        self.assertNotIn(".nds", registry)
        self.assertIn("Shortcuts: 3\n", text)

    def test_missing_files_and_database_make_it_unsound(self):
        base = self.install()
        os.remove(os.path.join(self.prefix.root, base, "lib/util.jar"))
        sound, text = self.prefix.summary()
        self.assertFalse(sound)
        self.assertRegex(text, r"util +1\.00 +Utility Library +1 file, 1 of them missing\n")
        os.remove(os.path.join(self.prefix.root, base, "neb.cdb"))
        sound, text = self.prefix.summary()
        self.assertFalse(sound)
        self.assertIn("the database is not there", text)

    def test_a_prefix_without_the_platform_says_so(self):
        self.prefix.write("system.reg", SYSTEM_BEFORE)
        sound, text = self.prefix.summary()
        self.assertFalse(sound)
        self.assertIn("NEB 2.0 is not installed", text)

    def test_links_that_wine_wrote(self):
        # Shortcuts that the configuration manager saved under Wine: Unicode strings whose counts
        # take in the terminating zero.
        cases = (("manager.lnk", "C:\\Program Files\\NEB\\20\\NebCM.exe", ""),
                 ("uninstall.lnk", "C:\\Program Files\\NEB\\20\\NebCM.exe", "-RequestUninstall"),
                 ("notes.lnk", "C:\\Program Files\\NEB\\20\\docs\\xml.txt", ""))
        for name, target, arguments in cases:
            with self.subTest(name):
                self.assertEqual(demo_summary.read_shortcut(os.path.join(DATA, name)),
                                 (target, arguments))
        self.assertIsNone(demo_summary.read_shortcut(os.path.abspath(__file__)))
        # A link cut short is no link, and the summary goes on past it.
        with open(os.path.join(DATA, "uninstall.lnk"), "rb") as f:
            whole = f.read()
        for size in (0x50, 0x90, len(whole) - 20):
            with self.subTest(size=size):
                path = self.prefix.write("drive_c/cut.lnk", whole[:size])
                self.assertIsNone(demo_summary.read_shortcut(path))
        self.install()
        _, text = self.prefix.summary()
        self.assertIn("C:\\cut.lnk (not a shell link)\n", text)

if __name__ == "__main__":
    unittest.main()
