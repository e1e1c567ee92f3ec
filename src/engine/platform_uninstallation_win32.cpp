// Removing the platform: the hand-over to a temporary copy, the three best-effort activities, and
// the registry clean-up when the installation directory is gone.
#include "engine/platform_uninstallation.h"

#include <functional>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/core_installation.h"
#include "engine/file_actions.h"
#include "engine/machine_environment.h"
#include "engine/registry.h"
#include "engine/search_path.h"
#include "engine/tree_visitors.h"

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

bool Step(ProgressReporter& progress, int percent, unsigned pause) {
    progress.SetActivityPercent(percent);
    progress.Pause(pause);
    return !progress.IsCancelled();
}

} // namespace

ProcedureResult RemovePlatformRegistration(const std::string& directory, ErrorList& errors) {
    for (const char* key : RegistrationKeys) {
        DeleteRegistryKey(Machine().RegistryKey(key), nullptr, errors);
    }
    RemoveEmptyCompanyKeys(nullptr);
    // An empty directory would only take the empty parts out of the search path.
    if (!directory.empty()) {
        RemoveFromSearchPath(directory, nullptr, errors);
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
    return remover.TakeErrors(errors) ? ProcedureResult::Failed : ProcedureResult::Succeeded;
}

ProcedureResult UnregisterPlatform(const std::string& directory, ProgressReporter& progress,
                                   Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3006);
    const int percents[] = {8, 16, 25, 33, 41, 50};
    int step = 0;
    for (const char* key : RegistrationKeys) {
        if (!DeleteRegistryKey(Machine().RegistryKey(key), &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        if (std::string(key) == Platform20Key) {
            RemoveEmptyCompanyKeys(&transaction);
        }
        if (!Step(progress, percents[step++], 166)) {
            return ProcedureResult::Cancelled;
        }
    }
    // The plain registration of .class files comes back without an open command, so that
    // Windows still knows the file type once the platform's launcher is gone.
    const std::function<bool()> plain[] = {
        [&] { return CreateRegistryKey(ClassFileExtensionKey, &transaction, errors); },
        [&] { return CreateRegistryKey(ClassFileTypeKey, &transaction, errors); },
        [&] {
            return WriteRegistryDefaultString(ClassFileExtensionKey, ClassFileProgId, &transaction,
                                              errors);
        },
        [&] {
            return WriteRegistryString(ClassFileExtensionKey, ContentTypeValue,
                                       ClassFileContentType, &transaction, errors);
        },
        [&] {
            return WriteRegistryDefaultString(ClassFileTypeKey, ClassFileDescription, &transaction,
                                              errors);
        },
    };
    const int plainPercents[] = {58, 66, 75, 83, 91};
    step = 0;
    for (const auto& operation : plain) {
        if (!operation()) {
            return ProcedureResult::Failed;
        }
        if (!Step(progress, plainPercents[step++], 166)) {
            return ProcedureResult::Cancelled;
        }
    }
    ProcedureResult removed = RemoveFromSearchPath(directory, &transaction, errors);
    if (removed != ProcedureResult::Succeeded) {
        return removed;
    }
    return Step(progress, 100, 166) ? ProcedureResult::Succeeded : ProcedureResult::Cancelled;
}

ProcedureResult RemovePlatformShortcuts(const std::string& directory, ProgressReporter& progress,
                                        Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3007);
    const std::vector<std::string> shortcuts = CollectShortcutsInto(directory);
    const std::vector<std::string> folders = ShellFolderPaths();
    const int count = static_cast<int>(shortcuts.size());
    for (int j = 0; j < count; ++j) {
        if (PathExists(shortcuts[j]) &&
            !RemoveFileAndEmptyFolders(shortcuts[j], folders, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        if (!Step(progress, (j + 1) * 100 / count, static_cast<unsigned>(2000 / count))) {
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
    Transaction transaction;
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
    return failed || !errors.Empty() ? ProcedureResult::Failed : ProcedureResult::Succeeded;
}

} // namespace nebcm
