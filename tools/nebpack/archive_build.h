// Building an LZW archive from a directory tree (the "archive" verb).
#pragma once

#include <cstdio>
#include <string>

namespace nebpack {

// Writes the archive `out` of every file below `dir`: names relative to dir with backslashes,
// in byte order of the names, time stamps from the files' modification times, attributes
// 0x2020, data in LZW blocks of at most 4096 output bytes. Returns the exit code: 0 done,
// 1 the files do not fit the format, 2 a file or directory could not be read or written.
// Messages (one line each) go to err. No partial archive is left behind on failure.
int CreateArchiveFromDirectory(const std::string& out, const std::string& dir, std::FILE* err);

} // namespace nebpack
