// What a set that the configuration manager accepts can still get wrong on a user's machine.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/platform_symbols.h"

namespace nebpack {

// The installation directory that paths are measured against: the default one.
inline constexpr char TypicalInstallationDirectory[] = "C:\\Program Files\\NEB\\20\\";
// The longest path Windows opens (MAX_PATH less its terminator), and how close to it a path may
// come before it is pointed out: a user's installation directory is often longer.
inline constexpr std::size_t LongestWindowsPath = 259;
inline constexpr std::size_t PathMargin = 12;

// Warnings about an accepted set, read with the symbols (null: the machine's), one line each:
// - names (whole paths or their directories) that differ only in letter case, which Windows takes
//   for one name, so that one spelling decides for the other;
// - paths that come within PathMargin of the longest path once joined to the typical
//   installation directory;
// - a path that two subsets supply, for different extensions, with different bytes: the set
//   installs the first subset's silently.
// False when the set's subsets cannot be read again (why, in warnings).
bool StrictWarnings(const std::string& set, const nebcm::PlatformSymbols* symbols,
                    std::vector<std::string>& warnings);

// What "check --strict" adds to a check that ended with code: nothing unless the set was
// accepted (0); then the warnings of every symbol set (null: the machine's), each once, as
// "nebpack: warning: ..." lines on err, and 3 when there was one. 2 when the set cannot be read
// again.
int ReportStrictWarnings(const std::string& set,
                         const std::vector<const nebcm::PlatformSymbols*>& passes, int code,
                         std::FILE* err);

} // namespace nebpack
