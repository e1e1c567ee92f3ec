// Building an LZW archive from a directory tree (the "archive" verb).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dir_walk.h"

namespace nebpack {

// Writes the archive `out` of every file below `dir`: names relative to dir with backslashes,
// in byte order of the names, time stamps from the files' modification times, attributes
// 0x2020, data in LZW blocks of at most 4096 output bytes. Returns the exit code: 0 done,
// 1 the files do not fit the format, 2 a file or directory could not be read or written.
// Messages (one line each) go to err. No partial archive is left behind on failure.
int CreateArchiveFromDirectory(const std::string& out, const std::string& dir, std::FILE* err);

// Appends the archive of `files` (relative names with '/') at the current end of `file`, named
// `out` in messages, laid out as CreateArchiveFromDirectory does; `length` receives the bytes it
// took. The same exit codes; on failure the file holds a partial archive. Why the files do not
// fit goes to `refused`, read and write failures to `err`.
int AppendArchive(std::FILE* file, std::vector<FoundFile> files, const std::string& out,
                  std::FILE* refused, std::FILE* err, std::uint64_t& length);

// A file being written that disappears again unless it is kept.
class OutputFile {
public:
    explicit OutputFile(const std::string& name);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    bool IsOpen() const { return f_ != nullptr; }
    std::FILE* Get() const { return f_; }
    // Closes and keeps the file; false (and the file removed) when the last write failed.
    bool Keep();

private:
    std::string name_;
    std::FILE* f_;
};

} // namespace nebpack
