// Writing extracted files below a directory without ever following a link out of it (POSIX and
// Win32 implementations).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nebpack {

// What a name refers to, links not followed: a link (or junction), device or pipe is Other.
enum class PathState { Missing, File, Directory, Other };
PathState Examine(const std::string& path);

// Creates one directory whose parent exists.
bool MakeDirectory(const std::string& path, std::string& error);

// Creates the file or replaces a plain file's contents, never writing through a link, and gives it
// the modification time (a FILETIME; 0 leaves the current time).
bool WriteFileAt(const std::string& path, const std::vector<std::uint8_t>& data, std::uint64_t time,
                 std::string& error);

// Removes a file or an empty directory that this run created; false when it could not.
bool RemoveCreated(const std::string& path, bool directory);

// The separator of the platform's paths.
char NativeSeparator();

// Whether the platform's file names ignore letter case.
bool NamesIgnoreCase();

} // namespace nebpack
