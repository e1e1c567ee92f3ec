// Comparing two releases of a distribution set by what they install.
#pragma once

#include <cstdio>
#include <string>

#include "model/platform_symbols.h"

namespace nebpack {

// Reads both sets as the configuration manager does (with the symbols, or the machine's) and
// prints, one per line: extensions added, removed, upgraded or downgraded (with versions); each
// changed part of a definition (description, copyright, package, service class or Java
// dispatcher, dependencies, external requirements, shortcuts); files added, removed or changed
// in content. 0 when the sets install the same (nothing printed), 1 when they differ, 2 when one
// cannot be read or is rejected (why, on err).
int DiffSets(const std::string& oldSet, const std::string& newSet,
             const nebcm::PlatformSymbols* symbols, std::FILE* out, std::FILE* err);

} // namespace nebpack
