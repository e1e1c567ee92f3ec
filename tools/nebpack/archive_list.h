// Listing the entries of LZW archives (the "list" verb).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace nebpack {

// "YYYY-MM-DD HH:MM:SS" (UTC) of a FILETIME.
std::string FormatFileTime(std::uint64_t time);

// Lists every archive in the file: the first at offset 0 and, when the file goes on behind it,
// each archive that follows (a distribution set is such a sequence). Per archive a summary line
// (headed "subset N: " when the archive holds a neb.cdb),
// then one line per entry in table order: size, compressed size, time stamp and name. Returns
// the exit code: 0 listed, 1 not a readable archive, 2 the file cannot be opened.
int ListArchives(const std::string& path, std::FILE* out, std::FILE* err);

} // namespace nebpack
