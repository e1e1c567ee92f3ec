// Steps shared by the extension procedures: paths of the model on the file system, the shell
// folders, pacing, removal that climbs only as far as it may, and ending with or without a
// rollback.
#pragma once

#include <new>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "common/messages.h"
#include "common/procedure_result.h"
#include "engine/progress.h"
#include "engine/transaction.h"
#include "model/extension.h"

namespace nebcm {

// A '/'-separated model path with backslashes.
std::string NativePath(std::string path);
// A path below the installation directory, with '/' in place of every backslash.
std::string ModelPath(std::string path);
// ASCII letters folded to lower case, as the file system compares names.
std::string Folded(std::string text);
// True when `path` lies below `directory` (letters compared without regard to case); the rest
// of the path, behind the separating backslash, goes to `rest`.
bool LiesBelow(const std::string& path, const std::string& directory, std::string* rest = nullptr);

// The six shell folders, in the order AllShellFolders gives them; one that cannot be resolved
// is empty.
std::vector<std::string> ResolveShellFolders();

// "n% complete" for item i of n, then the pause that paces the activity to about two seconds.
void PaceItem(ProgressReporter& progress, std::size_t i, std::size_t n);

// Rolls the transaction back into a list of its own and appends that list: a procedure's own
// messages come first, the rollback's after them.
void RollBack(Transaction& transaction, ErrorList& errors);

// Runs a procedure; memory running out anywhere in it fails it with 13020, never with a message
// about damage. A transaction that the exception leaves has undone its changes on its way out.
template <typename Procedure>
ProcedureResult FailedWhenMemoryRunsOut(ErrorList& errors, Procedure&& procedure) {
    try {
        return procedure();
    } catch (const std::bad_alloc&) {
        errors.Add(Message(13020));
        return ProcedureResult::Failed;
    }
}

// Replaces the installed database ("neb.cdb" in the installation directory) with one that holds
// the configuration; the old one is backed up in the transaction.
bool RewriteDatabase(const std::string& installation, const Configuration& configuration,
                     Transaction& transaction, ErrorList& errors);

// "<description> version <version>" for the completion lists.
std::string ExtensionLine(const Extension& extension);

} // namespace nebcm
