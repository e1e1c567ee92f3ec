// Removing the platform: the hand-over to a temporary copy, the three best-effort activities, and
// the registry clean-up when the installation directory is gone.
#include "engine/platform_uninstallation.h"

#include <functional>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/class_file_registration.h"
#include "engine/core_installation.h"
#include "engine/file_actions.h"
#include "engine/installed_configuration.h"
#include "engine/machine_environment.h"
#include "engine/platform_procedure_ui.h"
#include "engine/procedure_steps.h"
#include "engine/procedure_support.h"
#include "engine/registry.h"
#include "engine/search_path.h"
#include "engine/tree_visitors.h"
#include "model/validator.h"

namespace nebcm {

namespace {

// The platform's own keys, in the order in which they are removed. The class-file keys are shared
// with other software and lose only what the platform put there.
const char* const RegistrationKeys[] = {
    Platform20Key,
    Uninstall20Key,
    DistributionSetExtensionKey,
    DistributionSetTypeKey,
};

// The maker's keys stay only while they hold something (a 1.0 installation, another product).
void RemoveEmptyCompanyKeys(Transaction* transaction) {
    const std::string platforms = std::string(CompanyKey) + "\\NEB";
    for (const std::string& key : {platforms, std::string(CompanyKey)}) {
        const std::string path = Machine().RegistryKey(key);
        ErrorList ignored;
        if (IsRegistryKeyEmpty(path) && !DeleteRegistryKey(path, transaction, ignored)) {
            return;
        }
    }
}

// The default installation directory lies in a folder of the platform's own ("NEB\20" below the
// programs folder); once the installation has gone and nothing else is in it, it goes too.
void RemoveEmptyPlatformFolder(const std::string& directory, Transaction& transaction) {
    const std::string ownFolder =
        std::string(DefaultInstallationSubdirectory)
            .substr(0, std::string(DefaultInstallationSubdirectory).find('\\'));
    const std::string parent = DirectoryOf(WithoutTrailingBackslash(FullPath(directory)));
    const std::string name = parent.substr(parent.rfind('\\') + 1);
    if (!name.empty() && EqualIgnoringCase(name, ownFolder) && CountTree(parent).Total() == 1) {
        ErrorList ignored;
        RemoveDirectoryTree(parent, false, &transaction, ignored);
    }
}

// The temporary copy that did the work cannot delete itself while it runs: the system deletes it
// at its next start. Only that copy is handed over, never the installed program, which performs
// the removal itself when no copy could be started.
void RemoveUninstallerCopyAtRestart() {
    std::string program;
    std::string temporary;
    if (Machine().ModulePath(program) && Machine().TempDirectory(temporary) &&
        SameFile(program, JoinPath(temporary, UninstallerCopyExe))) {
        Machine().RemoveAtRestart(program);
    }
}

ProcedureResult PerformFromHere(ErrorList& errors) {
    std::string directory;
    if (!ReadInstallationPath(directory)) {
        ErrorList ignored;
        std::string recorded;
        ReadRegistryString(Machine().RegistryKey(Platform20Key), InstallationPathValue, recorded,
                           ignored);
        return RemovePlatformRegistration(recorded, errors);
    }
    std::unique_ptr<ProgressReporter> progress =
        PlatformUi().OpenProgress(ProgressWindow::PlatformUninstallation);
    return RunPlatformUninstallation(directory, *progress, errors);
}

} // namespace

ProcedureResult RequestPlatformUninstall(ErrorList& errors) {
    std::string program;
    std::string temporary;
    if (Machine().ModulePath(program) && Machine().TempDirectory(temporary)) {
        // The copy works from outside the installation directory, which it can then remove; an
        // older copy is replaced.
        const std::string copy = JoinPath(temporary, UninstallerCopyExe);
        ErrorList scratch;
        if (CopyFileTo(program, copy, true, nullptr, scratch) &&
            Machine().StartProcess(copy, PerformUninstallOption)) {
            return ProcedureResult::Succeeded;
        }
    }
    return PerformPlatformUninstall(errors);
}

ProcedureResult PerformPlatformUninstall(ErrorList& errors) {
    ProcedureResult result = PerformFromHere(errors);
    RemoveUninstallerCopyAtRestart();
    return result;
}

ProcedureResult RemovePlatformRegistration(const std::string& directory, ErrorList& errors) {
    const ReplacedClassFileValues replaced = ReadReplacedClassFileValues();
    for (const char* key : RegistrationKeys) {
        DeleteRegistryKey(Machine().RegistryKey(key), nullptr, errors);
    }
    UnregisterClassFiles(directory, replaced, nullptr, errors);
    RemoveEmptyCompanyKeys(nullptr);
    // An empty directory would only take the empty parts out of the search path.
    if (!directory.empty()) {
        RemoveFromSearchPath(directory, nullptr, errors);
        // Links into the vanished directory would only start nothing, and the "Uninstall NEB"
        // one would start this removal again: they go too. A drive root or a folder around
        // Windows or the temporary directory is never taken as the prefix: every link into it
        // would match.
        if (!IsUnsafeToEmpty(directory)) {
            const std::vector<std::string> folders = ShellFolderPaths();
            for (const std::string& link : CollectShortcutsInto(directory)) {
                RemoveFileAndEmptyFolders(link, folders, nullptr, errors);
            }
        }
    }
    return ProcedureResult::Succeeded;
}

ProcedureResult RemovePlatformFiles(const std::string& directory, ProgressReporter& progress,
                                    Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3005);
    if (!IsDirectory(directory)) {
        return ProcedureResult::Succeeded;
    }
    if (IsUnsafeToEmpty(directory)) {
        errors.Add(Message(10000, directory));
        return ProcedureResult::Failed;
    }
    const int total = CountTree(directory).Total();
    if (total == 0) {
        return ProcedureResult::Succeeded;
    }
    BestEffortDeleteTreeVisitor remover(&transaction, progress, total);
    if (!WalkDirectory(directory, remover, WalkOrder::DirectoriesLast)) {
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
        remover.TakeErrors(errors);
        return ProcedureResult::Failed;
    }
    if (remover.TakeErrors(errors)) {
        return ProcedureResult::Failed;
    }
    RemoveEmptyPlatformFolder(directory, transaction);
    return ProcedureResult::Succeeded;
}

ProcedureResult UnregisterPlatform(const std::string& directory, ProgressReporter& progress,
                                   Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3006);
    // What the installation replaced is kept under the platform's key, which goes first.
    const ReplacedClassFileValues replaced = ReadReplacedClassFileValues();
    const std::string extensionKey = Machine().RegistryKey(ClassFileExtensionKey);
    const std::string typeKey = Machine().RegistryKey(ClassFileTypeKey);
    auto removeKey = [&](const char* key) {
        const std::string path = Machine().RegistryKey(key);
        std::size_t before = errors.Count();
        if (!Explained(DeleteRegistryKey(path, &transaction, errors), errors, before,
                       Message(10006, path))) {
            return false;
        }
        if (std::string(key) == Platform20Key) {
            RemoveEmptyCompanyKeys(&transaction);
        }
        return true;
    };
    auto restore = [&](const ClassFileValue& value, const char* platformText,
                       const ReplacedClassFileValues::Kept& kept) {
        return RestoreClassFileValue(value, platformText, kept, true, &transaction, errors);
    };
    // The registration goes. Of the class-file registration, which other software shares, only
    // the platform's open command goes; the values it replaced come back, and where it replaced
    // nothing the plain registration stays, so that Windows still knows the file type once the
    // platform's launcher is gone.
    const std::pair<int, std::function<bool()>> steps[] = {
        {8, [&] { return removeKey(Platform20Key); }},
        {16, [&] { return removeKey(Uninstall20Key); }},
        {25, [&] { return removeKey(DistributionSetExtensionKey); }},
        {33, [&] { return removeKey(DistributionSetTypeKey); }},
        {41, [&] { return RemoveClassOpenCommand(directory, replaced, &transaction, errors); }},
        {50, [&] { return RemoveEmptyClassOpenCommandKeys(&transaction, errors); }},
        {58,
         [&] {
             return RegistryKeyExists(extensionKey) ||
                    CreateRegistryKey(extensionKey, &transaction, errors);
         }},
        {66,
         [&] {
             return RegistryKeyExists(typeKey) || CreateRegistryKey(typeKey, &transaction, errors);
         }},
        {75, [&] { return restore(ClassTypeValue, ClassFileProgId, replaced.type); }},
        {83,
         [&] {
             return restore(ClassContentTypeValue, ClassFileContentType, replaced.contentType);
         }},
        {91,
         [&] {
             return restore(ClassDescriptionValue, ClassFileDescription, replaced.description);
         }},
    };
    for (const auto& [percent, operation] : steps) {
        if (!operation()) {
            return ProcedureResult::Failed;
        }
        if (!PaceStep(progress, percent, 166)) {
            return ProcedureResult::Cancelled;
        }
    }
    ProcedureResult removed = RemoveFromSearchPath(directory, &transaction, errors);
    if (removed != ProcedureResult::Succeeded) {
        return removed;
    }
    return PaceStep(progress, 100, 166) ? ProcedureResult::Succeeded : ProcedureResult::Cancelled;
}

ProcedureResult RemovePlatformShortcuts(const std::string& directory, ProgressReporter& progress,
                                        Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3007);
    const std::size_t messagesBefore = errors.Count();
    const std::vector<std::string> shortcuts = CollectShortcutsInto(directory, &errors);
    if (errors.Count() != messagesBefore) {
        return ProcedureResult::Failed;
    }
    const std::vector<std::string> folders = ShellFolderPaths();
    const int count = static_cast<int>(shortcuts.size());
    for (int j = 0; j < count; ++j) {
        if (PathExists(shortcuts[j]) &&
            !RemoveFileAndEmptyFolders(shortcuts[j], folders, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        if (!PaceStep(progress, (j + 1) * 100 / count, static_cast<unsigned>(2000 / count))) {
            return ProcedureResult::Cancelled;
        }
    }
    return ProcedureResult::Succeeded;
}

namespace {

ProcedureResult PlatformUninstallationSteps(const std::string& directory,
                                            ProgressReporter& progress, ErrorList& errors) {
    using Activity =
        ProcedureResult (*)(const std::string&, ProgressReporter&, Transaction&, ErrorList&);
    const Activity activities[] = {RemovePlatformFiles, UnregisterPlatform,
                                   RemovePlatformShortcuts};
    const std::size_t messagesBefore = errors.Count();
    Transaction transaction;
    if (!transaction.StartJournal(errors)) {
        return ProcedureResult::Failed;
    }
    bool failed = false;
    for (Activity activity : activities) {
        switch (activity(directory, progress, transaction, errors)) {
        case ProcedureResult::Succeeded:
            progress.SetActivityStatus(3501);
            break;
        case ProcedureResult::Failed:
            progress.SetActivityStatus(3502);
            failed = true;
            break;
        case ProcedureResult::Cancelled: {
            progress.SetActivityStatus(3503);
            ErrorList rollback;
            transaction.Rollback(rollback);
            errors.Append(rollback);
            return ProcedureResult::Cancelled;
        }
        }
    }
    return failed || errors.Count() != messagesBefore ? ProcedureResult::Failed
                                                      : ProcedureResult::Succeeded;
}

} // namespace

ProcedureResult RunPlatformUninstallation(const std::string& directory, ProgressReporter& progress,
                                          ErrorList& errors) {
    return FailedWhenMemoryRunsOut(
        errors, [&] { return PlatformUninstallationSteps(directory, progress, errors); });
}

} // namespace nebcm
