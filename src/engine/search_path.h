// Putting the installation directory on the system search path and taking it off again: the
// environment's "Path" value on the Windows NT family, a line of the start-up batch file on the
// Windows 95 family.
#pragma once

#include <string>
#include <vector>

#include "common/error_list.h"
#include "common/procedure_result.h"
#include "engine/transaction.h"

namespace nebcm {

// Appends ";" and the directory to the search path (even when it holds it already: each
// installation adds its own entry, and each uninstallation removes every one). Failed with its
// message when the path cannot be read or written, and on a platform of neither family.
ProcedureResult AddToSearchPath(const std::string& directory, Transaction* transaction,
                                ErrorList& errors);
// Removes every entry that names the directory, in any letter case. On failure the changes of
// this call are undone again. Succeeded without a change on a platform of neither family.
ProcedureResult RemoveFromSearchPath(const std::string& directory, Transaction* transaction,
                                     ErrorList& errors);

// The batch-file line that puts a directory on the Windows 95 family's search path.
std::string SearchPathLine(const std::string& directory);
// The batch file's bytes with the line added before an end-of-file mark (^Z), or at the end; a
// last line without a line end gets one first. Every other byte stays as it was.
std::string BatchWithSearchPathLine(const std::string& contents, const std::string& directory);
// The batch file's bytes without the lines, before an end-of-file mark, that put the directory on
// the path (any letter case, trailing blanks ignored). Every other byte stays as it was.
std::string BatchWithoutSearchPathLines(const std::string& contents, const std::string& directory);
// The parts of a search path without those equal to the directory (any letter case), joined
// again; empty parts stay where they were.
std::string SearchPathWithout(const std::string& path, const std::string& directory);

} // namespace nebcm
