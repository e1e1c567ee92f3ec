#!/usr/bin/env python3
"""Says what the NEB 2.0 platform in a Wine prefix has installed where, read back from the prefix
itself: the platform's registry settings, its component database (every extension with its version
and files, each looked up on disk), the files of the installation directory, the shortcuts with
their targets, and the registry entries that differ from a record of the machine made before.

    demo_summary.py PREFIX [BEFORE]

BEFORE is a directory with copies of the prefix's system.reg and user.reg and a shortcuts.txt
listing the shortcut files (relative to PREFIX) that were there before anything was installed.
Exits 0 when the platform is installed and every file its database names is there, 1 otherwise.
"""

import os
import struct
import sys

PLATFORM_KEY = "HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\2.0"

# Keys that Wine itself rewrites on every start; they say nothing about the installation.
WINE_OWN_KEYS = (
    "HKEY_LOCAL_MACHINE\\Software\\Wine",
    "HKEY_CURRENT_USER\\Software\\Wine",
    "HKEY_LOCAL_MACHINE\\Hardware",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class",
    "HKEY_LOCAL_MACHINE\\System\\MountedDevices",
    "HKEY_CURRENT_USER\\Volatile Environment",
)


def unescape(text):
    """The text of a quoted .reg string, without its quotes' escapes."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "n":
                out.append("\n")
            elif n == "r":
                out.append("\r")
            elif n == "t":
                out.append("\t")
            elif n == "0":
                out.append("\0")
            elif n == "x":
                j = i + 2
                while j < len(text) and j < i + 6 and text[j] in "0123456789abcdefABCDEF":
                    j += 1
                out.append(chr(int(text[i + 2:j], 16)) if j > i + 2 else "x")
                i = j
                continue
            else:
                out.append(n)
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def quoted(text, start):
    """The quoted string that begins at text[start] and the index after its closing quote."""
    i = start + 1
    while i < len(text):
        if text[i] == "\\":
            i += 2
            continue
        if text[i] == '"':
            return unescape(text[start + 1:i]), i + 1
        i += 1
    return unescape(text[start + 1:]), len(text)


def value_text(raw):
    """A .reg value as it is shown: strings as text, numbers in decimal, other data as written."""
    if raw.startswith('"'):
        return quoted(raw, 0)[0]
    if raw.startswith("str(") and ':"' in raw:
        return quoted(raw, raw.index(':"') + 1)[0]
    if raw.startswith("dword:"):
        return str(int(raw[6:], 16))
    return raw


def read_registry(path, root):
    """The keys of one Wine registry file as {lower-case full name: (full name, {value: text})}."""
    keys = {}
    if not os.path.isfile(path):
        return keys
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    current = None
    pending = ""
    for line in lines:
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("["):
            end = line.rfind("]")
            name = root + "\\" + line[1:end].replace("\\\\", "\\")
            current = keys.setdefault(name.lower(), (name, {}))[1]
        elif current is not None and (line.startswith('"') or line.startswith("@=")):
            if line.startswith("@="):
                value, rest = "(Default)", line[2:]
            else:
                value, after = quoted(line, 0)
                rest = line[after + 1:]
            current[value] = value_text(rest)
    return keys


def read_machine_registry(directory):
    keys = read_registry(os.path.join(directory, "system.reg"), "HKEY_LOCAL_MACHINE")
    keys.update(read_registry(os.path.join(directory, "user.reg"), "HKEY_CURRENT_USER"))
    return keys


def shown_key(name):
    """The key as a user knows it: the classes below HKEY_CLASSES_ROOT."""
    classes = "HKEY_LOCAL_MACHINE\\Software\\Classes\\"
    if name.lower().startswith(classes.lower()):
        return "HKEY_CLASSES_ROOT\\" + name[len(classes):]
    return name


def registry_changes(after, before):
    """The keys whose values are new or changed since the record, with those values, by name."""
    changes = []
    for lower, (name, values) in sorted(after.items()):
        if any(lower == k.lower() or lower.startswith(k.lower() + "\\") for k in WINE_OWN_KEYS):
            continue
        old = before.get(lower, (name, {}))[1]
        changed = {v: t for v, t in values.items() if old.get(v) != t}
        if changed or (lower not in before and not values):
            changes.append((shown_key(name), changed))
    return changes


def host_path(prefix, windows_path):
    """Where a Windows path of the prefix lies on the host (letters and names in any case)."""
    drive, _, rest = windows_path.replace("/", "\\").partition(":")
    path = os.path.join(prefix, "dosdevices", drive.lower() + ":")
    for part in [p for p in rest.split("\\") if p]:
        exact = os.path.join(path, part)
        if not os.path.exists(exact) and os.path.isdir(path):
            for entry in os.listdir(path):
                if entry.lower() == part.lower():
                    exact = os.path.join(path, entry)
                    break
        path = exact
    return path


def read_database(path):
    """The extensions of a component database: [(kind, name, version, description, [files])]."""
    extensions = []
    with open(path, encoding="latin-1") as f:
        for raw in f.read().splitlines():
            line = raw.strip()
            if not line or line[0] in ";#":
                continue
            if line.startswith("[") and line.endswith("]"):
                kind, _, name = line[1:-1].partition(":")
                extensions.append([kind, name or kind, "", "", []])
            elif "=" in line and extensions:
                key, _, value = line.partition("=")
                key = key.strip().lower()
                if key == "version":
                    extensions[-1][2] = value.strip()
                elif key == "description":
                    extensions[-1][3] = value.strip()
                elif key == "file":
                    extensions[-1][4].append(value.strip())
    return extensions


def read_shortcut(path):
    """The target and arguments of a shell link file, or None when it is not one."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        return parse_shortcut(data)
    except (struct.error, ValueError, IndexError):
        return None


def parse_shortcut(data):
    if len(data) < 0x4C or struct.unpack_from("<I", data, 0)[0] != 0x4C:
        return None
    flags = struct.unpack_from("<I", data, 0x14)[0]
    unicode = bool(flags & 0x80)
    at = 0x4C
    if flags & 0x01:  # an item id list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & 0x02:  # the location of the target
        size, header, _, _, local = struct.unpack_from("<IIIII", data, at)
        if at + size > len(data):
            raise ValueError("the location runs past the end")
        suffix = struct.unpack_from("<I", data, at + 24)[0]
        if local:
            target = data[at + local:data.index(b"\0", at + local)].decode("latin-1")
            if suffix and data[at + suffix] != 0:
                target += data[at + suffix:data.index(b"\0", at + suffix)].decode("latin-1")
        at += size
    strings = []
    for bit in (0x04, 0x08, 0x10, 0x20, 0x40):  # name, relative path, directory, arguments, icon
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            at += 2
            width = 2 if unicode else 1
            if at + count * width > len(data):
                raise ValueError("a string runs past the end")
            text = data[at:at + count * width]
            # Some writers count the terminating zero as well.
            strings.append(text.decode("utf-16-le" if unicode else "latin-1").rstrip("\0"))
            at += count * width
        else:
            strings.append("")
    if not target:
        target = strings[1]
    return target, strings[3]


def shortcut_files(prefix, before):
    """The shell link files below drive C: that were not there before, as paths under PREFIX."""
    found = []
    top = os.path.join(prefix, "drive_c")
    for directory, dirs, files in os.walk(top):
        dirs.sort()
        for name in sorted(files):
            if name.lower().endswith(".lnk"):
                relative = os.path.relpath(os.path.join(directory, name), prefix)
                if relative not in before:
                    found.append(relative)
    return found


def summarise(prefix, before_dir, out):
    """Writes the summary; True when the platform is installed with every file it names."""
    registry = read_machine_registry(prefix)
    settings = registry.get(PLATFORM_KEY.lower(), (None, None))[1]
    if settings is None:
        out.write("NEB 2.0 is not installed in this prefix (no %s).\n" % PLATFORM_KEY)
        return False
    directory = settings.get("InstallationPath", "")
    database = settings.get("ComponentDatabase", "")
    out.write("NEB 2.0 is installed in %s\n" % directory)
    out.write("  (%s on this machine)\n" % host_path(prefix, directory))
    sound = True

    out.write("\nExtensions, from the component database %s:\n" % database)
    host_database = host_path(prefix, database)
    named = set()
    if not os.path.isfile(host_database):
        out.write("  the database is not there\n")
        sound = False
    else:
        extensions = read_database(host_database)
        width = max([len(e[1] or e[0]) for e in extensions] + [4])
        for kind, name, version, description, files in extensions:
            missing = 0
            for entry in files:
                relative = entry.partition(";")[0]
                named.add(relative.replace("\\", "/").lower())
                if not os.path.isfile(host_path(prefix, directory + "\\" + relative)):
                    missing += 1
            state = "%d file%s" % (len(files), "" if len(files) == 1 else "s")
            if missing:
                state += ", %d of them missing" % missing
                sound = False
            out.write("  %-11s %-*s  %-6s %-30s %s\n" % (kind, width, name, version,
                                                         description, state))
        others = len([e for e in extensions if e[0].lower() != "core"])
        out.write("  %d extension%s besides the core\n" % (others, "" if others == 1 else "s"))

    host_directory = host_path(prefix, directory)
    count = 0
    size = 0
    unnamed = []
    for top, dirs, files in os.walk(host_directory):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(top, name)
            count += 1
            size += os.path.getsize(path)
            relative = os.path.relpath(path, host_directory).replace(os.sep, "/")
            if relative.lower() not in named:
                unnamed.append(relative)
    out.write("\nFiles: %d in the installation directory, %d bytes" % (count, size))
    if unnamed:
        out.write("; besides those the database names: %s" % ", ".join(unnamed))
    out.write("\n")

    before_shortcuts = set()
    listing = os.path.join(before_dir, "shortcuts.txt") if before_dir else ""
    if listing and os.path.isfile(listing):
        with open(listing) as f:
            before_shortcuts = {line.strip() for line in f if line.strip()}
    links = shortcut_files(prefix, before_shortcuts)
    out.write("\nShortcuts: %d\n" % len(links))
    for relative in links:
        link = read_shortcut(os.path.join(prefix, relative))
        shown = relative[len("drive_c/"):] if relative.startswith("drive_c/") else relative
        if link is None:
            out.write("  C:\\%s (not a shell link)\n" % shown.replace("/", "\\"))
            continue
        target, arguments = link
        out.write("  C:\\%s\n    -> %s%s\n" % (shown.replace("/", "\\"), target,
                                               " " + arguments if arguments else ""))

    if before_dir and os.path.isfile(os.path.join(before_dir, "system.reg")):
        changes = registry_changes(registry, read_machine_registry(before_dir))
        out.write("\nRegistry entries made since the prefix was new: %d keys\n" % len(changes))
    else:
        changes = registry_changes({k: v for k, v in registry.items()
                                    if k.startswith(PLATFORM_KEY.lower())}, {})
        out.write("\nRegistry (no record of the prefix before; the platform's own keys only):\n")
    for name, values in changes:
        out.write("  %s\n" % name)
        for value in sorted(values):
            out.write("    %s = %s\n" % (value, values[value]))
    return sound


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    return 0 if summarise(argv[1], argv[2] if len(argv) == 3 else "", sys.stdout) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
