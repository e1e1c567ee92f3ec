// Name rules for file-name components, relative paths and package names, and the identity under
// which the file system knows a path.
#pragma once

#include <string>

namespace nebcm {

class Configuration;
class ErrorList;

// 1 to 255 characters, none below 32 and none of / \ ; : < > ^ & * = ? |
bool IsValidFileName(const std::string& name);

// Segments separated by '/', each a valid file name. A "." or ".." segment is refused as well:
// such a path would reach outside the directory it is meant to stay in.
bool IsValidRelativePath(const std::string& path);
bool IsValidPackageName(const std::string& package);

// The key under which the file system knows a '/'-separated relative path: letters folded as
// Windows folds them, so two paths with the same key name one file.
std::string PathIdentity(const std::string& path);
bool SamePath(const std::string& a, const std::string& b);

// True for a path that belongs to the platform itself and that no extension may list: the
// configuration manager and its help, icon and database files, the Java launcher, and
// everything below neb/core/.
bool IsPlatformOwnedPath(const std::string& path);

// Every file of an extension other than the core that the platform owns, or that the core of
// `offered` or of `installed` (when given) lists, gets message 13000. True when none does.
bool CheckPlatformFiles(const Configuration& offered, const Configuration* installed,
                        ErrorList& errors);

} // namespace nebcm
