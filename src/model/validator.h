// Whole-configuration checks beyond Configuration::Validate: the installed configuration's core
// rules.
#pragma once

#include <cstddef>
#include <string>

#include "common/error_list.h"
#include "model/extension.h"

namespace nebcm {

// Rules that hold only for the configuration installed on this machine, checked after it was read
// and validated: there is a core (12047), and its base names the installation directory recorded
// in the registry, letters compared without regard to case (12048). Appends one message per
// violation; true when none was found.
bool CheckInstalledCore(const Configuration& configuration,
                        const std::string& installationDirectory, ErrorList& errors);

// The file rules of Configuration::Validate alone: a path listed twice by one extension (12037),
// and two spellings of one path as the file system knows it (PathIdentity), anywhere in the
// configuration (12038). True when neither occurs.
bool CheckFilePaths(const Configuration& configuration, ErrorList& errors);

// Letter case folding used wherever paths compare the way the file system does: ASCII letters only,
// so the result is the same on every build of the program.
char FoldCase(char c);
bool EqualIgnoringCase(const std::string& a, const std::string& b);

} // namespace nebcm
