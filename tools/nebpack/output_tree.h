// Writing extracted files below a directory without ever following a link out of it (POSIX and
// Win32 implementations).
#pragma once

#include <cstdint>
#include <string>

#include "io/streams.h"

namespace nebpack {

// What a name refers to, links not followed: a link (or junction), device or pipe is Other.
enum class PathState { Missing, File, Directory, Other };
PathState Examine(const std::string& path);

// Creates one directory whose parent exists.
bool MakeDirectory(const std::string& path, std::string& error);

// Extracted files are written this many bytes at a time.
inline constexpr std::uint32_t WriteBlock = 1u << 16;

// Creates the file or replaces a plain file's contents with what `data` reads up to its end, a
// block at a time, never writing through a link, and gives it the modification time (a FILETIME;
// 0 leaves the current time). False with the reason when the file cannot be written; whatever the
// stream raises reaches the caller, after the file was closed (it stays, as far as written).
bool WriteFileAt(const std::string& path, nebcm::DataInputStream& data, std::uint64_t time,
                 std::string& error);

// Removes a file or an empty directory that this run created; false when it could not.
bool RemoveCreated(const std::string& path, bool directory);

// The separator of the platform's paths.
char NativeSeparator();

// Whether the platform's file names ignore letter case.
bool NamesIgnoreCase();

} // namespace nebpack
