// Files below a directory, for building archives (POSIX and Win32 implementations).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nebpack {

struct FoundFile {
    std::string relative; // path below the walked directory, '/' between its parts
    std::string path;     // path to open it with
    std::uint64_t size = 0;
    std::uint64_t time = 0; // last write, as a FILETIME (100 ns since 1601-01-01 UTC)
};

// Every regular file below dir, at any depth, in no particular order. Symbolic links to files
// count as files; links to directories are not followed (they could loop). False, with a
// one-line reason, when a directory cannot be read.
bool ListFiles(const std::string& dir, std::vector<FoundFile>& files, std::string& error);

// True when both names refer to one existing file.
bool SameFile(const std::string& a, const std::string& b);

} // namespace nebpack
