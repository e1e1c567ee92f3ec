// Installing the platform core on a machine without it: the configuration manager's own files,
// the core from the archive the program carries, the registration with Windows, and the
// migration and removal of an earlier 1.0 installation, all in one transaction.
#pragma once

#include <memory>
#include <string>

#include "common/error_list.h"
#include "common/procedure_result.h"
#include "engine/progress.h"
#include "engine/transaction.h"
#include "io/archive.h"

namespace nebcm {

// What to do with a 1.0 installation found on the machine (the core installation wizard's choice).
enum class UpgradePolicy : int {
    AlongsideLegacy = 0,     // install 2.0 beside 1.0
    AlongsideAndMigrate = 1, // beside 1.0, with the 1.0 software set up under 2.0
    ReplaceLegacy = 2,       // uninstall 1.0, then install 2.0
    UpgradeLegacy = 3,       // set up the 1.0 software under 2.0 and uninstall 1.0
};
inline bool MigratesLegacySoftware(int policy) {
    return policy == 1 || policy == 3;
}
inline bool RemovesLegacyPlatform(int policy) {
    return policy == 2 || policy == 3;
}

// A 1.0 installation counts only when it is registered and consistent.
bool IsLegacyInstallationFound();

// Runs the core installation wizard and then the activities under a progress window. On
// Succeeded, programPath is the installed NebCM.exe, which the caller starts next.
ProcedureResult InstallCore(ErrorList& errors, std::string& programPath);

// The same after the wizard: the activities for directory P (made absolute here) and the policy
// (ignored unless a 1.0 installation was found). The progress reporter's rows are the activities.
ProcedureResult RunCoreInstallation(const std::string& directory, int upgradePolicy,
                                    bool legacyFound, ProgressReporter& progress, ErrorList& errors,
                                    std::string& programPath);

// The activities, each one row of the progress window. P is absolute.
ProcedureResult InstallConfigurationManagerFiles(const std::string& directory,
                                                 ProgressReporter& progress,
                                                 Transaction& transaction, ErrorList& errors);
ProcedureResult InstallCoreFiles(const std::string& directory, ProgressReporter& progress,
                                 Transaction& transaction, ErrorList& errors);
// Sets startMenuFolder to the platform's folder of shortcuts ("NEB 2.0" in the programs folder).
ProcedureResult RegisterPlatform(const std::string& directory, ProgressReporter& progress,
                                 Transaction& transaction, ErrorList& errors,
                                 std::string& startMenuFolder);
ProcedureResult MigrateLegacySoftware(const std::string& directory,
                                      const std::string& startMenuFolder,
                                      ProgressReporter& progress, Transaction& transaction,
                                      ErrorList& errors);
ProcedureResult RemoveLegacyPlatform(const std::string& directory, bool migrated,
                                     ProgressReporter& progress, Transaction& transaction,
                                     ErrorList& errors);

// The core archive carried by the program; null when it is missing or cannot be read. Memory
// running out raises std::bad_alloc.
std::unique_ptr<Archive> OpenEmbeddedCoreArchive();

// The first component database of a new installation, as the core activity writes it.
inline constexpr char CoreVersionText[] = "2.00";
inline constexpr char CoreDescription[] = "NEB Core";
inline constexpr char CoreCopyright[] = "Copyright (c) 1998-2003 Tessaly. All rights reserved.";

// True when the directory cannot be named absolutely or is, or contains, a folder that must never
// be emptied (a drive, Windows, the programs folder, the temporary directory where every backup of
// the transaction lives, the shell and user folders, a 1.0 installation).
bool IsUnsafeToEmpty(const std::string& directory);

} // namespace nebcm
