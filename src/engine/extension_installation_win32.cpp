// The extension installation procedure: checks first, then four activities under the progress
// window and one transaction, then the new component database.
#include "engine/extension_installation.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/containment.h"
#include "engine/file_actions.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "engine/machine_environment.h"
#include "engine/procedure_support.h"
#include "engine/shortcuts.h"
#include "engine/tree_visitors.h"
#include "model/path_rules.h"
#include "platform/file_info.h"

namespace nebcm {

namespace {

// Activity names and row states of the progress window.
const int PreparingActivity = 3008;
const int BackingUpActivity = 3009;
const int CopyingActivity = 3010;
const int ShortcutsActivity = 3011;
const int CompletedStatus = 3501;
const int FailureStatus = 3502;
const int CancelledStatus = 3503;

// The percentages shown after each of the six shell folders has been searched.
const int FolderPercent[] = {8, 16, 25, 33, 41, 50};

// What the installation does to shortcuts.
struct ShortcutPlan {
    std::vector<std::string> shellFolders;
    // The platform's own group in the Start menu.
    std::string folder;
    // Existing links to remove.
    std::vector<std::string> obsolete;
    // New links and the installed file each opens ('/'-separated).
    std::map<std::string, std::string> created;
};

// Everything the procedure decided before the first change.
struct Plan {
    std::string installation;
    Classification classification;
    FilePlan files;
    Configuration next;
    ShortcutPlan shortcuts;
};

// The platform's own group in the Start menu: below the common programs folder when there is
// one, else below the user's. Empty when neither exists.
std::string PlatformGroup(const std::vector<std::string>& shellFolders) {
    const std::string& commonPrograms =
        shellFolders[static_cast<std::size_t>(ShellFolder::CommonPrograms)];
    const std::string& programs = shellFolders[static_cast<std::size_t>(ShellFolder::Programs)];
    if (!commonPrograms.empty() && IsDirectory(commonPrograms)) {
        return JoinPath(commonPrograms, PlatformName20);
    }
    if (!programs.empty() && IsDirectory(programs)) {
        return JoinPath(programs, PlatformName20);
    }
    return std::string();
}

// The link file of a shortcut text, inside the group; false when it would land anywhere else.
bool ShortcutLink(const std::string& group, const std::string& shortcut, std::string& link) {
    return ContainedPath(group, shortcut + ".lnk", link);
}

// Problems that would otherwise surface only half-way through, or in the next consistency check:
// a shortcut that would land outside the platform's group, a file that would be written or
// removed outside the installation directory, a file of the platform itself, a file the set does
// not hold, and a new configuration that would not read back as a valid installation.
bool CheckPlan(const Plan& plan, const Configuration& installed, const DistributionSet& set,
               ErrorList& errors) {
    const std::size_t before = errors.Count();
    const std::string group = PlatformGroup(ResolveShellFolders());
    for (const Extension* extension : plan.classification.install) {
        for (std::size_t f = 0; f < extension->FileCount(); ++f) {
            const std::string& shortcut = extension->FileAt(f).Shortcut();
            std::string link;
            if (!shortcut.empty() && (!IsValidRelativePath(shortcut) ||
                                      (!group.empty() && !ShortcutLink(group, shortcut, link)))) {
                errors.Add(Message(12010, shortcut));
            }
        }
    }
    // The place each path reaches, not its text, must lie inside the installation directory.
    for (const std::set<std::string>* paths : {&plan.files.removal, &plan.files.copy}) {
        for (const std::string& path : *paths) {
            std::string full;
            if (!ContainedPath(plan.installation, path, full)) {
                errors.Add(Message(12010, path));
            }
        }
    }
    if (errors.Count() != before) {
        return false;
    }
    // Only what comes from the set is judged: the installed extensions were judged when they
    // came, and the installed core's files are what the new ones must keep away from.
    Configuration arriving;
    for (const Extension* extension : plan.classification.install) {
        arriving.Add(extension->Clone());
    }
    if (!CheckPlatformFiles(arriving, &installed, errors)) {
        return false;
    }
    for (const std::string& path : plan.files.copy) {
        if (set.FindEntry(path) == nullptr) {
            errors.Add(Message(10017, JoinPath(plan.installation, NativePath(path))));
        }
    }
    if (errors.Count() != before) {
        return false;
    }
    return plan.next.Validate(errors);
}

bool CheckFreeSpace(const Plan& plan, const DistributionSet& set, ErrorList& errors) {
    const char drive = plan.installation.empty() ? '\0' : plan.installation[0];
    std::uint32_t cluster = 1;
    if (!Machine().QueryClusterSize(drive, cluster) || cluster == 0) {
        cluster = 1;
    }
    const std::uint64_t need = SpaceNeeded(plan.files, set.EntrySizes(), InstalledFileSizes(),
                                           DatabaseTextSize(plan.next), cluster);
    std::uint64_t available = 0;
    if (Machine().QueryFreeSpace(drive, available) && available <= need) {
        errors.Add(Message(12506, FormatByteSize(need), drive, FormatByteSize(available)));
        return false;
    }
    return true;
}

// Activity 1: finds the shortcuts that the installation makes obsolete and names the new ones.
// Changes nothing.
ProcedureResult PrepareShortcuts(ProgressReporter& progress, Plan& plan, ErrorList& errors) {
    progress.BeginActivity(PreparingActivity);
    ShortcutPlan& shortcuts = plan.shortcuts;
    shortcuts.shellFolders = ResolveShellFolders();
    shortcuts.folder = PlatformGroup(shortcuts.shellFolders);
    if (shortcuts.folder.empty()) {
        errors.Add(Message(12503));
        return ProcedureResult::Failed;
    }

    ShortcutCollector collector(plan.installation);
    for (std::size_t k = 0; k < shortcuts.shellFolders.size(); ++k) {
        if (!shortcuts.shellFolders[k].empty()) {
            WalkDirectory(shortcuts.shellFolders[k], collector, WalkOrder::DirectoriesFirst);
        }
        progress.SetActivityPercent(FolderPercent[k]);
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
    }
    // A folder that cannot be searched may hold a link to a file that goes.
    if (collector.ReportUnsearched(errors)) {
        return ProcedureResult::Failed;
    }

    // Shortcut targets are paths of the file system, compared as it compares them.
    std::unordered_set<std::string> removed;
    for (const std::string& path : plan.files.removal) {
        removed.insert(PathIdentity(path));
    }
    std::unordered_set<std::string> rewritten;
    for (const std::string& path : plan.files.copy) {
        rewritten.insert(PathIdentity(path));
    }
    const std::vector<std::string> links = collector.ShortcutList();
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::string& link = links[i];
        std::string target, arguments, directory, rest;
        if (ReadShortcut(link, target, arguments, directory) &&
            LiesBelow(target, plan.installation, &rest)) {
            const std::string opened = PathIdentity(ModelPath(rest));
            // A file that is written again keeps the user's own shortcuts to it; those in the
            // platform's group are made again from the new configuration.
            if (removed.count(opened) != 0 &&
                (rewritten.count(opened) == 0 || LiesBelow(link, shortcuts.folder))) {
                if (!LiesInsideOneOf(link, shortcuts.shellFolders)) {
                    errors.Add(Message(12010, link));
                    return ProcedureResult::Failed;
                }
                shortcuts.obsolete.push_back(link);
            }
        }
        progress.SetActivityPercent(static_cast<int>(50 + 50 * (i + 1) / links.size()));
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
    }

    // Links compare as the file system compares their paths; a later file naming a link replaces
    // an earlier one.
    std::unordered_map<std::string, std::string> createdSpelling;
    auto create = [&](const std::string& link, const std::string& path) {
        const std::string identity = PathIdentity(ModelPath(link));
        auto known = createdSpelling.find(identity);
        if (known != createdSpelling.end()) {
            shortcuts.created.erase(known->second);
        }
        createdSpelling[identity] = link;
        shortcuts.created[link] = path;
    };
    // The extensions that stay keep their shortcuts: one that this installation removes (its file
    // is written again) or that is missing is made again, so that every shortcut of the new
    // configuration exists afterwards.
    std::unordered_set<std::string> obsolete;
    for (const std::string& link : shortcuts.obsolete) {
        obsolete.insert(PathIdentity(ModelPath(link)));
    }
    for (std::size_t i = 0; i < plan.next.Count(); ++i) {
        const Extension& extension = plan.next.At(i);
        const bool arriving =
            std::any_of(plan.classification.install.begin(), plan.classification.install.end(),
                        [&extension](const Extension* installing) {
                            return installing->Kind() == extension.Kind() &&
                                   installing->Name() == extension.Name();
                        });
        for (std::size_t f = 0; !arriving && f < extension.FileCount(); ++f) {
            const ExtensionFile& file = extension.FileAt(f);
            std::string link;
            if (!file.Shortcut().empty() && ShortcutLink(shortcuts.folder, file.Shortcut(), link) &&
                (obsolete.count(PathIdentity(ModelPath(link))) != 0 || !PathExists(link))) {
                create(link, file.Path());
            }
        }
    }
    for (const Extension* extension : plan.classification.install) {
        for (std::size_t f = 0; f < extension->FileCount(); ++f) {
            const ExtensionFile& file = extension->FileAt(f);
            std::string link;
            if (file.Shortcut().empty()) {
                continue;
            }
            if (!ShortcutLink(shortcuts.folder, file.Shortcut(), link)) {
                errors.Add(Message(12010, file.Shortcut()));
                return ProcedureResult::Failed;
            }
            create(link, file.Path());
        }
    }
    return ProcedureResult::Succeeded;
}

// Activity 2: removes (and backs up) the files that disappear or are written again.
ProcedureResult RemoveOldFiles(ProgressReporter& progress, const Plan& plan,
                               Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(BackingUpActivity);
    const std::vector<std::string> limits = {plan.installation};
    const std::size_t n = plan.files.removal.size();
    std::size_t i = 0;
    for (const std::string& path : plan.files.removal) {
        std::string full;
        if (!ContainedPath(plan.installation, path, full)) {
            errors.Add(Message(12010, path));
            return ProcedureResult::Failed;
        }
        if (!RemoveFileAndEmptyFolders(full, limits, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        PaceItem(progress, ++i, n);
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
    }
    return ProcedureResult::Succeeded;
}

bool WriteEntry(const ArchiveEntry& entry, const std::string& destination, Transaction& transaction,
                ErrorList& errors) {
    const std::size_t before = errors.Count();
    std::unique_ptr<FileOutputStream> file = CreateOutputFile(destination, &transaction, errors);
    if (!file) {
        if (errors.Count() == before) {
            errors.Add(Message(10017, destination));
        }
        return false;
    }
    try {
        std::unique_ptr<DataInputStream> source = entry.OpenStream();
        BufferedInputStream in(*source, StreamBufferSize);
        BufferedOutputStream out(*file, StreamBufferSize);
        // The bytes go through the two buffers a bufferful at a time, as they reach the file.
        std::uint8_t chunk[StreamBufferSize];
        for (std::uint32_t got; (got = in.Read(chunk, StreamBufferSize)) != 0;) {
            out.Write(chunk, got);
        }
        out.Close();
        file->Close();
        in.Close();
        source->Close();
    } catch (const SourceChangedException& changed) {
        // The set's bytes are no longer those that were checked: what is half written goes back
        // with the rest.
        errors.Add(Message(13021, AbsolutePath(changed.FileName())));
        return false;
    } catch (const IOException&) {
        errors.Add(Message(10017, destination));
        return false;
    } catch (const std::bad_alloc&) {
        errors.Add(Message(13020));
        return false;
    }
    return true;
}

// Activity 3: writes every file of the extensions to install from the set.
ProcedureResult CopyNewFiles(ProgressReporter& progress, const Plan& plan,
                             const DistributionSet& set, Transaction& transaction,
                             ErrorList& errors) {
    progress.BeginActivity(CopyingActivity);
    const std::size_t n = plan.files.copy.size();
    std::size_t i = 0;
    for (const std::string& path : plan.files.copy) {
        std::string destination;
        if (!ContainedPath(plan.installation, path, destination)) {
            errors.Add(Message(12010, path));
            return ProcedureResult::Failed;
        }
        const ArchiveEntry* entry = set.FindEntry(path);
        if (entry == nullptr) {
            errors.Add(Message(10017, destination));
            return ProcedureResult::Failed;
        }
        if (!WriteEntry(*entry, destination, transaction, errors)) {
            return ProcedureResult::Failed;
        }
        PaceItem(progress, ++i, n);
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
    }
    return ProcedureResult::Succeeded;
}

bool EndsWith(const std::string& text, const char* end) {
    const std::string tail = end;
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Activity 4: removes the obsolete shortcuts and makes the new ones.
ProcedureResult SetUpShortcuts(ProgressReporter& progress, const Plan& plan,
                               Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(ShortcutsActivity);
    const ShortcutPlan& shortcuts = plan.shortcuts;
    const std::size_t n = shortcuts.obsolete.size() + shortcuts.created.size();
    std::size_t k = 0;
    auto paced = [&] {
        PaceItem(progress, ++k, n);
        return progress.IsCancelled() ? ProcedureResult::Cancelled : ProcedureResult::Succeeded;
    };
    for (const std::string& link : shortcuts.obsolete) {
        if (!LiesInsideOneOf(link, shortcuts.shellFolders)) {
            errors.Add(Message(12010, link));
            return ProcedureResult::Failed;
        }
        // A link already gone (the user's doing, or one met under two spellings) counts as
        // removed.
        if (PathExists(link) &&
            !RemoveFileAndEmptyFolders(link, shortcuts.shellFolders, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        if (paced() == ProcedureResult::Cancelled) {
            return ProcedureResult::Cancelled;
        }
    }
    for (const auto& [link, path] : shortcuts.created) {
        std::string rest, checked, target;
        if (!LiesBelow(link, shortcuts.folder, &rest) ||
            !ContainedPath(shortcuts.folder, rest, checked) ||
            !ContainedPath(plan.installation, path, target)) {
            errors.Add(Message(12010, link));
            return ProcedureResult::Failed;
        }
        // Java classes run through the platform's launcher: minimised, in the installation
        // directory, with the platform's icon.
        bool made =
            EndsWith(target, ".class")
                ? CreateShortcutWithIcon(link, target, "", plan.installation, SW_SHOWMINIMIZED,
                                         JoinPath(plan.installation, PlatformIconFile), 0,
                                         &transaction, errors)
                : CreateShortcut(link, target, "", &transaction, errors);
        if (!made) {
            return ProcedureResult::Failed;
        }
        if (paced() == ProcedureResult::Cancelled) {
            return ProcedureResult::Cancelled;
        }
    }
    return ProcedureResult::Succeeded;
}

} // namespace

namespace {

ProcedureResult Install(ProcedureUi& ui, DistributionSet& set, const Selection& selection,
                        ErrorList& errors) {
    Plan plan;
    if (!ReadInstallationPath(plan.installation)) {
        errors.Add(Message(12503));
        return ProcedureResult::Failed;
    }
    std::unique_ptr<Configuration> installed = LoadInstalledConfiguration(errors);
    if (!installed) {
        return ProcedureResult::Failed;
    }
    plan.classification = ClassifySelection(*installed, set.MergedConfiguration(), selection);
    if (!CheckExternalRequirements(*installed, plan.classification.install, errors)) {
        return ProcedureResult::Failed;
    }
    plan.files = PlanFileChanges(*installed, plan.classification);
    plan.next = NewConfiguration(*installed, plan.classification, plan.installation);
    if (!CheckPlan(plan, *installed, set, errors) || !CheckFreeSpace(plan, set, errors)) {
        return ProcedureResult::Failed;
    }

    std::unique_ptr<ProgressReporter> progress =
        ui.OpenProgress(ProgressWindow::ExtensionInstallation);
    ProcedureResult result = PrepareShortcuts(*progress, plan, errors);
    if (result != ProcedureResult::Succeeded) {
        progress->SetActivityStatus(result == ProcedureResult::Failed ? FailureStatus
                                                                      : CancelledStatus);
        return result;
    }
    progress->SetActivityStatus(CompletedStatus);

    Transaction transaction;
    if (!transaction.StartJournal(errors)) {
        return ProcedureResult::Failed;
    }
    const std::function<ProcedureResult()> activities[] = {
        [&] { return RemoveOldFiles(*progress, plan, transaction, errors); },
        [&] { return CopyNewFiles(*progress, plan, set, transaction, errors); },
        [&] { return SetUpShortcuts(*progress, plan, transaction, errors); },
    };
    try {
        for (const auto& activity : activities) {
            result = activity();
            if (result != ProcedureResult::Succeeded) {
                progress->SetActivityStatus(result == ProcedureResult::Failed ? FailureStatus
                                                                              : CancelledStatus);
                RollBack(transaction, errors);
                return result;
            }
            progress->SetActivityStatus(CompletedStatus);
        }
        if (!RewriteDatabase(plan.installation, plan.next, transaction, errors)) {
            RollBack(transaction, errors);
            return ProcedureResult::Failed;
        }
    } catch (const std::bad_alloc&) {
        // As any other failure of an activity, with the messages of the rollback after its own.
        progress->SetActivityStatus(FailureStatus);
        errors.Add(Message(13020));
        RollBack(transaction, errors);
        return ProcedureResult::Failed;
    }

    progress.reset();
    std::vector<std::string> lines;
    for (const Extension* extension : plan.classification.install) {
        lines.push_back(ExtensionLine(*extension));
    }
    ui.ShowInstallationComplete(lines, plan.classification.skipped);
    return ProcedureResult::Succeeded; // the transaction's end keeps every change
}

} // namespace

ProcedureResult InstallExtensions(ProcedureUi& ui, DistributionSet& set, const Selection& selection,
                                  ErrorList& errors) {
    return FailedWhenMemoryRunsOut(errors, [&] { return Install(ui, set, selection, errors); });
}

ProcedureResult InstallExtensionsFromSet(ProcedureUi& ui, std::unique_ptr<DistributionSet> set,
                                         ErrorList& errors) {
    Selection selection;
    if (!ui.RunInstallationWizard(set, selection) || !set) {
        return ProcedureResult::Cancelled;
    }
    return InstallExtensions(ui, *set, selection, errors);
}

ProcedureResult InstallExtensionsInteractive(ProcedureUi& ui, ErrorList& errors) {
    return InstallExtensionsFromSet(ui, nullptr, errors);
}

} // namespace nebcm
