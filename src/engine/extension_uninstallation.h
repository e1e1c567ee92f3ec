// Removing installed extensions that the user picks: their files (unless an extension that stays
// lists them too), every shortcut in the shell folders that opens one of those files, and their
// sections of the installed component database. The core is never offered.
#pragma once

#include <set>
#include <string>

#include "common/error_list.h"
#include "common/procedure_result.h"
#include "engine/procedure_ui.h"
#include "engine/progress.h"
#include "engine/transaction.h"
#include "model/extension.h"

namespace nebcm {

ProcedureResult UninstallExtensions(ProcedureUi& ui, ErrorList& errors);

// Activity 1: removes the files of the selected extensions of the whole configuration (core
// included) that no other extension of it lists, collecting their full paths. Succeeded or
// Failed; it does not look at a cancel.
ProcedureResult RemoveExtensionFiles(const std::string& installationDirectory,
                                     const Configuration& configuration, const Selection& selection,
                                     ProgressReporter& progress,
                                     std::set<std::string>& removedFiles, Transaction& transaction,
                                     ErrorList& errors);
// Activity 2: removes every shortcut in the six shell folders whose target is one of the removed
// files, letters compared without regard to case. Succeeded, Failed or Cancelled.
ProcedureResult RemoveExtensionShortcuts(ProgressReporter& progress,
                                         const std::set<std::string>& removedFiles,
                                         Transaction& transaction, ErrorList& errors);

} // namespace nebcm
