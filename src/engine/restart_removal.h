// Files that cannot be deleted while they are in use (a running program) are handed to the system
// to delete when it next starts: the NT family keeps a list of its own, the Windows 95 family runs
// the [rename] section of wininit.ini, in which "NUL=path" deletes the file.
#pragma once

#include <string>

namespace nebcm {

// The contents of wininit.ini with one more "NUL=path" entry at the end of its [rename] section,
// which is made at the end when there is none. Every other byte stays as it was; an entry that is
// there already is not written twice.
std::string WininitWithRemoval(const std::string& contents, const std::string& path);

// Adds the entry to the file (made when missing). The new contents are written beside it first,
// so that a failed write never leaves the other programs' entries half gone.
bool AddWininitRemoval(const std::string& file, const std::string& path);

} // namespace nebcm
