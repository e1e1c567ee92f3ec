// The extension uninstallation procedure: the wizard's choice, then two activities under the
// progress window and one transaction, then the rewritten component database.
#include "engine/extension_uninstallation.h"

#include <unordered_set>

#include "common/messages.h"
#include "engine/containment.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "engine/procedure_support.h"
#include "engine/shortcuts.h"
#include "engine/tree_visitors.h"
#include "model/path_rules.h"

namespace nebcm {

namespace {

const int RemovingFilesActivity = 3012;
const int RemovingShortcutsActivity = 3013;
const int CompletedStatus = 3501;
const int FailureStatus = 3502;
const int CancelledStatus = 3503;

const int FolderPercent[] = {8, 16, 25, 33, 41, 50};

// Collects every file that a walk finds.
class FileCollector : public DirectoryVisitor {
public:
    FileCollector(std::vector<std::string>& files, ErrorList& unsearched)
        : files_(files), unsearched_(unsearched) {}
    bool Begin() override { return true; }
    bool VisitDirectory(const std::string&) override { return true; }
    bool VisitFile(const std::string& path) override {
        files_.push_back(path);
        return true;
    }
    // A folder or a file that cannot be searched might be a shortcut to a removed file. A folder
    // inside another shell folder is met twice but named once.
    bool VisitUnreachable(const std::string& path, bool directory) override {
        const std::string message = Message(directory ? 13070 : 13071, path);
        if (reported_.insert(message).second) {
            unsearched_.Add(message);
        }
        return true;
    }
    bool End() override { return true; }

private:
    std::vector<std::string>& files_;
    ErrorList& unsearched_;
    std::set<std::string> reported_;
};

ProcedureResult Abandon(ProcedureResult result, ProgressReporter& progress, int status,
                        Transaction& transaction, ErrorList& errors) {
    progress.SetActivityStatus(status);
    RollBack(transaction, errors);
    return result;
}

// The files of the selected extensions that no other extension lists, compared as the file
// system compares them: "lib/XML.jar" of an extension that stays keeps "lib/xml.jar".
std::vector<std::string> DoomedFiles(const Configuration& configuration,
                                     const Selection& selection) {
    std::set<std::string> removing;
    std::unordered_set<std::string> kept;
    for (std::size_t i = 0; i < configuration.Count(); ++i) {
        const Extension& extension = configuration.At(i);
        const bool selected = selection.count(&extension) != 0;
        for (std::size_t f = 0; f < extension.FileCount(); ++f) {
            if (selected) {
                removing.insert(extension.FileAt(f).Path());
            } else {
                kept.insert(PathIdentity(extension.FileAt(f).Path()));
            }
        }
    }
    std::vector<std::string> doomed;
    std::unordered_set<std::string> seen;
    for (const std::string& path : removing) {
        const std::string identity = PathIdentity(path);
        if (kept.count(identity) == 0 && seen.insert(identity).second) {
            doomed.push_back(path);
        }
    }
    return doomed;
}

// Every file to remove must lie inside the installation directory where the system would open
// it; one message for each that does not, as the database names it.
bool CheckDoomedFiles(const std::string& installationDirectory,
                      const std::vector<std::string>& doomed, std::vector<std::string>* full,
                      ErrorList& errors) {
    const std::size_t before = errors.Count();
    for (const std::string& path : doomed) {
        std::string resolved;
        if (!ContainedPath(installationDirectory, path, resolved)) {
            errors.Add(Message(12010, path));
        } else if (full != nullptr) {
            full->push_back(resolved);
        }
    }
    return errors.Count() == before;
}

} // namespace

ProcedureResult RemoveExtensionFiles(const std::string& installationDirectory,
                                     const Configuration& configuration, const Selection& selection,
                                     ProgressReporter& progress,
                                     std::set<std::string>& removedFiles, Transaction& transaction,
                                     ErrorList& errors) {
    progress.BeginActivity(RemovingFilesActivity);
    std::vector<std::string> full;
    if (!CheckDoomedFiles(installationDirectory, DoomedFiles(configuration, selection), &full,
                          errors)) {
        return ProcedureResult::Failed;
    }
    const std::vector<std::string> limits = {installationDirectory};
    for (std::size_t i = 0; i < full.size(); ++i) {
        if (!RemoveFileAndEmptyFolders(full[i], limits, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        removedFiles.insert(full[i]);
        PaceItem(progress, i + 1, full.size());
    }
    return ProcedureResult::Succeeded;
}

ProcedureResult RemoveExtensionShortcuts(ProgressReporter& progress,
                                         const std::set<std::string>& removedFiles,
                                         Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(RemovingShortcutsActivity);
    std::unordered_set<std::string> removed;
    for (const std::string& path : removedFiles) {
        removed.insert(Folded(path));
    }
    const std::vector<std::string> folders = ResolveShellFolders();
    std::vector<std::string> files;
    ErrorList unsearched;
    FileCollector collector(files, unsearched);
    for (std::size_t k = 0; k < folders.size(); ++k) {
        if (!folders[k].empty()) {
            WalkDirectory(folders[k], collector, WalkOrder::DirectoriesFirst);
        }
        progress.SetActivityPercent(FolderPercent[k]);
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
    }
    if (!unsearched.Empty()) {
        errors.Append(unsearched);
        return ProcedureResult::Failed;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string target, arguments, directory;
        if (ReadShortcut(files[i], target, arguments, directory) &&
            removed.count(Folded(target)) != 0) {
            if (!LiesInsideOneOf(files[i], folders)) {
                errors.Add(Message(12010, files[i]));
                return ProcedureResult::Failed;
            }
            if (!RemoveFileAndEmptyFolders(files[i], folders, &transaction, errors)) {
                return ProcedureResult::Failed;
            }
        }
        progress.SetActivityPercent(static_cast<int>(50 + 50 * (i + 1) / files.size()));
        progress.Pause(static_cast<unsigned>(2000 / files.size()));
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
    }
    return ProcedureResult::Succeeded;
}

namespace {

ProcedureResult Uninstall(ProcedureUi& ui, ErrorList& errors) {
    std::string installation;
    if (!ReadInstallationPath(installation)) {
        errors.Add(Message(12503));
        return ProcedureResult::Failed;
    }
    std::unique_ptr<Configuration> installed = LoadInstalledConfiguration(errors);
    if (!installed) {
        return ProcedureResult::Failed;
    }
    Configuration candidates;
    std::unique_ptr<Extension> core;
    for (std::size_t i = 0; i < installed->Count(); ++i) {
        const Extension& extension = installed->At(i);
        if (extension.Kind() != ExtensionKind::Core) {
            candidates.Add(extension.Clone());
        } else if (!core) {
            core = extension.Clone();
        }
    }
    installed.reset();
    if (candidates.Count() == 0) {
        ui.ShowMessage(Message(12505), MessageIcon::Information);
        return ProcedureResult::Cancelled;
    }
    Selection chosen;
    if (!ui.RunUninstallationWizard(candidates, chosen)) {
        return ProcedureResult::Cancelled;
    }
    // Only extensions the wizard was shown can go, whatever it hands back.
    Selection selection;
    for (std::size_t i = 0; i < candidates.Count(); ++i) {
        if (chosen.count(&candidates.At(i)) != 0) {
            selection.insert(&candidates.At(i));
        }
    }
    if (core) {
        candidates.Add(std::move(core));
    }

    // What stays, core last; it must read back as a valid installation, so a selection that
    // leaves a dependency dangling fails here, before anything changes.
    Configuration remaining;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < candidates.Count(); ++i) {
        const Extension& extension = candidates.At(i);
        if (selection.count(&extension) == 0) {
            remaining.Add(extension.Clone());
        } else {
            lines.push_back(ExtensionLine(extension));
        }
    }
    if (!CheckDoomedFiles(installation, DoomedFiles(candidates, selection), nullptr, errors) ||
        !remaining.Validate(errors)) {
        return ProcedureResult::Failed;
    }

    std::unique_ptr<ProgressReporter> progress =
        ui.OpenProgress(ProgressWindow::ExtensionUninstallation);
    Transaction transaction;
    if (!transaction.StartJournal(errors)) {
        return ProcedureResult::Failed;
    }
    std::set<std::string> removedFiles;
    ProcedureResult result = RemoveExtensionFiles(installation, candidates, selection, *progress,
                                                  removedFiles, transaction, errors);
    if (result != ProcedureResult::Succeeded) {
        return Abandon(ProcedureResult::Failed, *progress, FailureStatus, transaction, errors);
    }
    progress->SetActivityStatus(CompletedStatus);
    result = RemoveExtensionShortcuts(*progress, removedFiles, transaction, errors);
    if (result != ProcedureResult::Succeeded) {
        return result == ProcedureResult::Cancelled
                   ? Abandon(result, *progress, CancelledStatus, transaction, errors)
                   : Abandon(ProcedureResult::Failed, *progress, FailureStatus, transaction,
                             errors);
    }
    progress->SetActivityStatus(CompletedStatus);
    if (!RewriteDatabase(installation, remaining, transaction, errors)) {
        RollBack(transaction, errors);
        return ProcedureResult::Failed;
    }
    progress.reset();
    ui.ShowUninstallationComplete(lines);
    return ProcedureResult::Succeeded; // the transaction's end keeps every change
}
} // namespace

ProcedureResult UninstallExtensions(ProcedureUi& ui, ErrorList& errors) {
    return FailedWhenMemoryRunsOut(errors, [&] { return Uninstall(ui, errors); });
}

} // namespace nebcm
