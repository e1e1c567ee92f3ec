// Installation media in nebpack: the Windows programs, the files the core installation copies
// beside them, a distribution set and the setup.inf that names it, in one directory, checked the
// way the setup launcher and the configuration manager will read them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/platform_symbols.h"

namespace nebpack {

// What a medium holds besides the set and setup.inf, all taken from the programs directory.
const std::vector<std::string>& MediumProgramFiles();

struct MediumRequest {
    std::string outDir;   // must not exist yet, or be an empty directory
    std::string set;      // the distribution set to ship
    std::string programs; // the directory of setup.exe, NebCM.exe, ...; empty: the default
    std::string iso;      // when not empty, an ISO 9660 image of the medium is written here
    // The platforms the set is checked for, each in turn; none: every served version.
    std::vector<nebcm::PlatformSymbols> symbols;
};

// The programs directory a request uses: its own, else $NEBPACK_PROGRAMS, else the default.
std::string ProgramsDirectory(const MediumRequest& request);

// The name the set gets on the medium: its own file name. False, with a reason, for a name the
// setup launcher would read differently (blanks at either end, nothing left).
bool MediumSetName(const std::string& set, std::string& name, std::string& error);

// Makes the medium. 0 made (a line saying so on out); 1 the set would be rejected on one of the
// platforms (its messages on out, nothing written); 2 wrong inputs or an I/O failure (on err;
// whatever this run wrote is removed again).
int MakeMedium(const MediumRequest& request, std::FILE* out, std::FILE* err);

// Reads a medium as the setup launcher does and the set it names as the configuration manager
// does; the launcher's fatal message, or the set's messages, go to problems. True when the
// launcher would start the manager on a set that is accepted with every symbol set given.
bool CheckMedium(const std::string& dir, const std::vector<nebcm::PlatformSymbols>& symbols,
                 std::vector<std::string>& problems);

} // namespace nebpack
