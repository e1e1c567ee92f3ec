// The installed platform's state: where the registry says it lives, whether it is consistent, its
// configuration as the installed component database describes it, and the files in its directory.
// The same operations exist for an installation of the 1.0 platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "common/error_list.h"
#include "model/extension.h"

namespace nebcm {

// Sizes of the files below the installation directory, by path relative to it with '/' between
// the parts (exact, case-sensitive keys).
using FileSizeMap = std::unordered_map<std::string, std::uint64_t>;

// The registry keys of the layout all pass through Machine().RegistryKey, so that tests can move
// them; the program reads the fixed keys.

// The 2.0 platform key exists.
bool IsPlatformInstalled();
// The installation directory recorded for 2.0, only when that directory exists.
bool ReadInstallationPath(std::string& path);
// Registry values, installation directory, database file and its place, the database itself, the
// files of every extension and the core's base. Every problem appends one message; the first four
// kinds end the check at once.
bool CheckInstalledConfiguration(ErrorList& errors);
// The checked configuration, owned by the caller; null when the check failed.
std::unique_ptr<Configuration> LoadInstalledConfiguration(ErrorList& errors);
// Empty when the installation directory cannot be read.
FileSizeMap InstalledFileSizes();

// The same for an installation of the 1.0 platform, whose database is read with the 1.0 reader
// and whose core records no base to check.
bool IsLegacyPlatformInstalled();
bool ReadLegacyInstallationPath(std::string& path);
bool CheckLegacyInstallation(ErrorList& errors);
std::unique_ptr<Configuration> LoadLegacyConfiguration(ErrorList& errors);

// The Java VM chosen for Java software of the platform.
enum class JavaVmType : int { Microsoft = 0, Sun = 1, CustomCommandLine = 2 };
struct JavaVmSettings {
    JavaVmType type = JavaVmType::CustomCommandLine;
    std::string microsoftExe;
    std::string sunExe;
    std::string customCommandLine;
};
// A missing or unknown type reads as a custom command line, missing texts as empty.
JavaVmSettings ReadJavaVmSettings();

// The main window's top-left corner in screen pixels; a missing value reads as 64.
struct WindowPosition {
    int x = 64;
    int y = 64;
};
WindowPosition ReadWindowPosition();

} // namespace nebcm
