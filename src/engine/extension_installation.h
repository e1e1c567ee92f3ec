// Installing extensions from a distribution set into the installed platform: which of the chosen
// extensions really get installed, their external requirements, the files to remove and write,
// the free space, then the four activities under one transaction and the rewritten database.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "common/procedure_result.h"
#include "distribution/distribution_set.h"
#include "engine/installed_configuration.h"
#include "engine/procedure_ui.h"
#include "model/extension.h"

namespace nebcm {

// Runs the installation wizard on a set already read (from the command line) and installs what
// the user chose. Cancelled when the wizard is not finished.
ProcedureResult InstallExtensionsFromSet(ProcedureUi& ui, std::unique_ptr<DistributionSet> set,
                                         ErrorList& errors);
// The same with a wizard that starts by asking for the set file.
ProcedureResult InstallExtensionsInteractive(ProcedureUi& ui, ErrorList& errors);
// Installs the selected extensions of the set. Everything is checked before anything changes;
// a failure or a cancel leaves the machine as it was.
ProcedureResult InstallExtensions(ProcedureUi& ui, DistributionSet& set, const Selection& selection,
                                  ErrorList& errors);

// What becomes of a selection against the installed configuration.
struct Classification {
    // The selected extensions that get installed, in the set's order.
    std::vector<const Extension*> install;
    // The installed extensions that they replace (same kind and name).
    std::set<const Extension*> replace;
    // "<description> version <version>" of each selected extension whose installed version is
    // newer.
    std::vector<std::string> skipped;
};
// An installed version newer than the selected one wins; an equal one is replaced.
Classification ClassifySelection(const Configuration& installed, const Configuration& offered,
                                 const Selection& selection);

// Every external declaration of every extension to install must be met by the installed
// configuration; one message per declaration that is not, worded by the requirement's form.
bool CheckExternalRequirements(const Configuration& installed,
                               const std::vector<const Extension*>& install, ErrorList& errors);

// Paths relative to the installation directory, '/'-separated.
struct FilePlan {
    // Files that disappear and files that will be overwritten.
    std::set<std::string> removal;
    // Files written from the set.
    std::set<std::string> copy;
};
// A file of a replaced extension stays when an installed extension that is not replaced lists it
// too.
FilePlan PlanFileChanges(const Configuration& installed, const Classification& classification);

// The configuration after the installation: the installed extensions that stay, in their order,
// then the new ones; the core based at the installation directory; external declarations turned
// into plain dependencies (the installed configuration meets them all).
Configuration NewConfiguration(const Configuration& installed, const Classification& classification,
                               const std::string& installationDirectory);

// The bytes of the database text that holds the configuration, as written to the file.
std::uint64_t DatabaseTextSize(const Configuration& configuration);

// The space the installation needs on its drive: every file written and every file backed up,
// each rounded up to whole clusters. Backed up are the files that disappear or are written again,
// also those that are on the disk without being listed by any installed extension, and the old
// database; the new database is written as well. `onDisk` holds the size of every file in the
// installation directory by its '/'-separated relative path.
std::uint64_t SpaceNeeded(const FilePlan& plan,
                          const std::map<std::string, std::uint64_t>& setSizes,
                          const FileSizeMap& onDisk, std::uint64_t newDatabaseSize,
                          std::uint32_t clusterSize);

} // namespace nebcm
