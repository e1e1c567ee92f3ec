// Removing the platform: the hand-over to a temporary copy, the three best-effort activities, and
// the registry clean-up when the installation directory is gone.
#include "engine/platform_uninstallation.h"

#include <functional>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/core_installation.h"
#include "engine/file_actions.h"
#include "engine/installed_configuration.h"
#include "engine/machine_environment.h"
#include "engine/platform_procedure_ui.h"
#include "engine/procedure_steps.h"
#include "engine/registry.h"
#include "engine/search_path.h"
#include "engine/tree_visitors.h"
#include "model/validator.h"

namespace nebcm {

namespace {

// The keys of a platform installation, in the order in which they are removed.
const char* const RegistrationKeys[] = {
    Platform20Key,          Uninstall20Key,        DistributionSetExtensionKey,
    DistributionSetTypeKey, ClassFileExtensionKey, ClassFileTypeKey,
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

ProcedureResult RemovePlatformRegistration(const std::string& directory, ErrorList& errors) {
    for (const char* key : RegistrationKeys) {
        DeleteRegistryKey(Machine().RegistryKey(key), nullptr, errors);
    }
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
    auto setValue = [&](const std::string& key, const char* name, const char* text) {
        std::size_t before = errors.Count();
        return Explained(WriteRegistryString(key, name, text, &transaction, errors), errors, before,
                         Message(10011, name, key));
    };
    auto setDefault = [&](const std::string& key, const char* text) {
        std::size_t before = errors.Count();
        return Explained(WriteRegistryDefaultString(key, text, &transaction, errors), errors,
                         before, Message(10010, key));
    };
    // The registration goes; then the plain registration of .class files comes back without an
    // open command, so that Windows still knows the file type once the platform's launcher is
    // gone.
    const std::pair<int, std::function<bool()>> steps[] = {
        {8, [&] { return removeKey(Platform20Key); }},
        {16, [&] { return removeKey(Uninstall20Key); }},
        {25, [&] { return removeKey(DistributionSetExtensionKey); }},
        {33, [&] { return removeKey(DistributionSetTypeKey); }},
        {41, [&] { return removeKey(ClassFileExtensionKey); }},
        {50, [&] { return removeKey(ClassFileTypeKey); }},
        {58, [&] { return CreateRegistryKey(extensionKey, &transaction, errors); }},
        {66, [&] { return CreateRegistryKey(typeKey, &transaction, errors); }},
        {75, [&] { return setDefault(extensionKey, ClassFileProgId); }},
        {83, [&] { return setValue(extensionKey, ContentTypeValue, ClassFileContentType); }},
        {91, [&] { return setDefault(typeKey, ClassFileDescription); }},
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

ProcedureResult RunPlatformUninstallation(const std::string& directory, ProgressReporter& progress,
                                          ErrorList& errors) {
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

} // namespace nebcm
