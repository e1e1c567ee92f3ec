// Name rules for file-name components, relative paths and package names.
#pragma once

#include <string>

namespace nebcm {

// 1 to 255 characters, none below 32 and none of / \ ; : < > ^ & * = ? |
bool IsValidFileName(const std::string& name);

// Segments separated by '/', each a valid file name. A "." or ".." segment is refused as well:
// such a path would reach outside the directory it is meant to stay in.
bool IsValidRelativePath(const std::string& path);
bool IsValidPackageName(const std::string& package);

} // namespace nebcm
