// Where a path of a set or a database really lands: the full path that Windows opens, after its
// own rewriting (".." and runs of dots, trailing dots and blanks, doubled separators, device
// names, 8.3 short names of existing entries), must lie inside the directory it was meant for.
#pragma once

#include <string>
#include <vector>

namespace nebcm {

// Joins a relative path ('/' or '\' separated) to `root` and gives the full path in `full`. True
// only when that path lies strictly below the root, the system opens it exactly as written
// (letters compared without regard to case) and no existing part of it is the short-name alias of
// an entry with a different long name. Every segment must be a plain name: not empty, no dots or
// blanks at its end, no device name (with or without an extension), no character below 32 and
// none of " * : < > ? |.
bool ContainedPath(const std::string& root, const std::string& relative, std::string& full);

// True when `path` (absolute, as a directory walk found it) resolves to itself and lies strictly
// below one of the folders. Empty folders are skipped.
bool LiesInsideOneOf(const std::string& path, const std::vector<std::string>& folders);

// A name that Windows opens as a device instead of a file: CON, PRN, AUX, NUL, COM0-COM9,
// LPT0-LPT9, CONIN$, CONOUT$, in any letter case, alone or followed by blanks or an extension.
bool IsDeviceName(const std::string& segment);

} // namespace nebcm
