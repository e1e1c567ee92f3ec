// What nebpack needs from the machine beyond files (POSIX and Win32 implementations): running
// another program, its own location, and whether standard error is a terminal.
#pragma once

#include <string>
#include <vector>

namespace nebpack {

// Runs the program (looked up on the search path) with its arguments and waits for it. Its exit
// status, or -1 with a reason when it could not be started.
int RunProgram(const std::vector<std::string>& argv, std::string& error);

// The directory in which "nebpack medium" looks for the Windows programs when it is not told:
// beside nebpack.exe on Windows, the programs build of the source tree natively.
std::string DefaultProgramsDirectory();

// Whether standard error is a terminal (progress lines are shown only then).
bool StandardErrorIsTerminal();

} // namespace nebpack
