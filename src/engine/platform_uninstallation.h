// Removing the whole platform: the hand-over to a temporary copy of the program, and the three
// best-effort activities that remove the files, the registration and the shortcuts.
#pragma once

#include <string>

#include "common/error_list.h"
#include "common/procedure_result.h"
#include "engine/progress.h"
#include "engine/transaction.h"

namespace nebcm {

// The name of the temporary copy that performs the uninstallation from outside the installation
// directory.
inline constexpr char UninstallerCopyExe[] = "NebCMu.exe";

// Copies the running program to the temporary directory and starts the copy with
// "-PerformUninstall" (Succeeded at once); where that cannot be done, uninstalls in this process.
ProcedureResult RequestPlatformUninstall(ErrorList& errors);

// Removes the platform under a progress window. A failing activity is reported and the next one
// still runs (Failed at the end); Cancel undoes everything done so far (Cancelled).
ProcedureResult PerformPlatformUninstall(ErrorList& errors);

// The same with a given progress reporter, for callers that show their own.
ProcedureResult RunPlatformUninstallation(const std::string& directory, ProgressReporter& progress,
                                          ErrorList& errors);

// Without a readable installation directory: only the registration goes, and the result is
// Succeeded whatever could not be removed.
ProcedureResult RemovePlatformRegistration(const std::string& directory, ErrorList& errors);

ProcedureResult RemovePlatformFiles(const std::string& directory, ProgressReporter& progress,
                                    Transaction& transaction, ErrorList& errors);
ProcedureResult UnregisterPlatform(const std::string& directory, ProgressReporter& progress,
                                   Transaction& transaction, ErrorList& errors);
ProcedureResult RemovePlatformShortcuts(const std::string& directory, ProgressReporter& progress,
                                        Transaction& transaction, ErrorList& errors);

} // namespace nebcm
