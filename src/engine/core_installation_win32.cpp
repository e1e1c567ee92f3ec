// The core installation: the run of its activities in one transaction, and the first three of
// them (the configuration manager's own files, the core extracted from the program's archive with
// the first component database, and the registration with Windows).
#include "engine/core_installation.h"

#include <functional>
#include <new>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/class_file_registration.h"
#include "engine/containment.h"
#include "engine/file_actions.h"
#include "engine/installed_configuration.h"
#include "engine/machine_environment.h"
#include "engine/platform_procedure_ui.h"
#include "engine/procedure_steps.h"
#include "engine/procedure_support.h"
#include "engine/protected_directories.h"
#include "engine/registry.h"
#include "engine/search_path.h"
#include "engine/shortcuts.h"
#include "engine/tree_visitors.h"
#include "model/path_rules.h"

namespace nebcm {

namespace {

// Copies one archive entry to its file and gives it the entry's time stamps.
bool ExtractEntry(const ArchiveEntry& entry, const std::string& target, Transaction& transaction,
                  ErrorList& errors) {
    std::unique_ptr<FileOutputStream> output = CreateOutputFile(target, &transaction, errors);
    if (!output) {
        return false;
    }
    try {
        std::unique_ptr<DataInputStream> input = entry.OpenStream();
        if (!input) {
            return false;
        }
        {
            BufferedInputStream in(*input, StreamBufferSize);
            BufferedOutputStream out(*output, StreamBufferSize);
            for (int byte = in.Read(); byte != -1; byte = in.Read()) {
                out.Write(static_cast<std::uint8_t>(byte));
            }
            out.Flush();
            out.Close();
            in.Close();
        }
        input->Close();
        output->Close();
    } catch (const IOException&) {
        return false;
    } catch (const std::bad_alloc&) {
        errors.Add(Message(13020));
        return false;
    }
    output.reset();
    FileTimes times;
    times.creation = entry.CreationTime();
    times.lastAccess = entry.LastAccessTime();
    times.lastWrite = entry.LastWriteTime();
    return ChangeFileTimes(target, times, &transaction, errors);
}

// The core's component database: the core with its base and every file of the archive.
bool WriteCoreDatabase(const Archive& archive, const std::string& directory,
                       const std::string& path, Transaction& transaction, ErrorList& errors) {
    std::unique_ptr<TextFileWriter> writer = CreateTextOutputFile(path, &transaction, errors);
    if (!writer) {
        return false;
    }
    try {
        writer->Print("[Core]\n");
        writer->Print("Version=%s\n", CoreVersionText);
        writer->Print("Description=%s\n", CoreDescription);
        writer->Print("Copyright=%s\n", CoreCopyright);
        writer->Print("Base=%s\n", directory.c_str());
        writer->Print("JavaDispatcher=%s\n", JavaLauncherExe);
        for (int i = 0; i < archive.Count(); ++i) {
            const ArchiveEntry* entry = archive.Entry(i);
            if (!entry->IsDirectory()) {
                writer->Print("File=%s\n", entry->NameWithSlashes().c_str());
            }
        }
        writer->Close();
        return true;
    } catch (const IOException&) {
        return false;
    }
}

} // namespace

bool IsUnsafeToEmpty(const std::string& directory) {
    return FullPath(directory).empty() || CheckInstallationDirectory(directory).refused;
}

ProcedureResult InstallCore(ErrorList& errors, std::string& programPath) {
    const bool legacyFound = IsLegacyInstallationFound();
    CoreInstallationChoice choice;
    if (!PlatformUi().RunCoreInstallationWizard(legacyFound, choice)) {
        return ProcedureResult::Cancelled;
    }
    std::unique_ptr<ProgressReporter> progress =
        PlatformUi().OpenProgress(ProgressWindow::CoreInstallation);
    return RunCoreInstallation(choice.installationDirectory, choice.upgradePolicy, legacyFound,
                               *progress, errors, programPath);
}

bool IsLegacyInstallationFound() {
    ErrorList scratch;
    return IsLegacyPlatformInstalled() && CheckLegacyInstallation(scratch);
}

namespace {

ProcedureResult CoreInstallationSteps(const std::string& directory, int upgradePolicy,
                                      bool legacyFound, ProgressReporter& progress,
                                      ErrorList& errors, std::string& programPath) {
    // Without a trailing backslash, so that the recorded base and the database's directory agree.
    const std::string installation = WithoutTrailingBackslash(FullPath(directory));
    if (installation.empty()) {
        errors.Add(Message(10001, directory));
        return ProcedureResult::Failed;
    }
    // Whatever the wizard let through: the directory is emptied first if it exists, and later
    // removed with everything in it.
    const DirectoryRefusal refusal = CheckInstallationDirectory(installation);
    if (refusal.refused) {
        errors.Add(refusal.Text());
        return ProcedureResult::Failed;
    }
    const bool migrate = legacyFound && MigratesLegacySoftware(upgradePolicy);
    const bool removeLegacy = legacyFound && RemovesLegacyPlatform(upgradePolicy);
    const std::size_t messagesBefore = errors.Count();
    Transaction transaction;
    if (!transaction.StartJournal(errors)) {
        return ProcedureResult::Failed;
    }
    std::string startMenuFolder;
    const std::function<ProcedureResult()> activities[] = {
        [&] {
            return InstallConfigurationManagerFiles(installation, progress, transaction, errors);
        },
        [&] { return InstallCoreFiles(installation, progress, transaction, errors); },
        [&] {
            return RegisterPlatform(installation, progress, transaction, errors, startMenuFolder);
        },
        [&] {
            return migrate ? MigrateLegacySoftware(installation, startMenuFolder, progress,
                                                   transaction, errors)
                           : ProcedureResult(0);
        },
        [&] {
            return removeLegacy
                       ? RemoveLegacyPlatform(installation, migrate, progress, transaction, errors)
                       : ProcedureResult(0);
        },
    };
    auto rollBack = [&] {
        ErrorList rollback;
        transaction.Rollback(rollback);
        errors.Append(rollback);
    };
    for (const auto& activity : activities) {
        switch (activity()) {
        case ProcedureResult::Succeeded:
            progress.SetActivityStatus(3501);
            break;
        case ProcedureResult::Failed:
            progress.SetActivityStatus(3502);
            rollBack();
            return ProcedureResult::Failed;
        case ProcedureResult::Cancelled:
            progress.SetActivityStatus(3503);
            rollBack();
            return ProcedureResult::Cancelled;
        default:
            break; // an activity that did not run
        }
    }
    // A message left by an activity that still reported success fails the installation too.
    if (errors.Count() != messagesBefore) {
        rollBack();
        return ProcedureResult::Failed;
    }
    programPath = JoinPath(installation, ConfigurationManagerExe);
    return ProcedureResult::Succeeded;
}

} // namespace

ProcedureResult RunCoreInstallation(const std::string& directory, int upgradePolicy,
                                    bool legacyFound, ProgressReporter& progress, ErrorList& errors,
                                    std::string& programPath) {
    return FailedWhenMemoryRunsOut(errors, [&] {
        return CoreInstallationSteps(directory, upgradePolicy, legacyFound, progress, errors,
                                     programPath);
    });
}

std::unique_ptr<Archive> OpenEmbeddedCoreArchive() {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    if (!Machine().CoreArchiveData(data, size) || size == 0) {
        return nullptr;
    }
    std::unique_ptr<Archive> archive;
    try {
        MemoryInputStream stream(data, size);
        if (ReadArchive(stream, archive, nullptr) != ProcedureResult::Succeeded) {
            return nullptr;
        }
    } catch (const IOException&) {
        return nullptr;
    }
    return archive;
}

ProcedureResult InstallConfigurationManagerFiles(const std::string& directory,
                                                 ProgressReporter& progress,
                                                 Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3000);
    int total = 6;
    int done = 0;
    if (IsDirectory(directory)) {
        // Emptying a drive, or the directory that holds the backups of this very removal, could
        // never be undone.
        if (IsUnsafeToEmpty(directory)) {
            errors.Add(Message(10000, directory));
            return ProcedureResult::Failed;
        }
        TreeCounter counted = CountTree(directory);
        total = counted.Total() + 6;
        ProgressDeleteTreeVisitor remover(&transaction, progress, total);
        if (!WalkDirectory(directory, remover, WalkOrder::DirectoriesLast)) {
            if (progress.IsCancelled()) {
                return ProcedureResult::Cancelled;
            }
            remover.TakeErrors(errors);
            return ProcedureResult::Failed;
        }
        done = counted.Total();
    }
    const unsigned pause = static_cast<unsigned>(2000 / total);
    if (!MakeSureDirectoryExists(directory, &transaction, errors)) {
        return ProcedureResult::Failed;
    }
    if (!PaceStep(progress, (done + 1) * 100 / total, pause)) {
        return ProcedureResult::Cancelled;
    }
    std::string program;
    if (!Machine().ModulePath(program)) {
        program = ConfigurationManagerExe;
    }
    const std::string source = DirectoryOf(program);
    const std::string copies[][2] = {
        {program, ConfigurationManagerExe},
        {JoinPath(source, HelpFile), HelpFile},
        {JoinPath(source, HelpContentsFile), HelpContentsFile},
        {JoinPath(source, HelpIndexFile), HelpIndexFile},
        {JoinPath(source, PlatformIconFile), PlatformIconFile},
    };
    int unit = 2;
    for (const auto& copy : copies) {
        if (!CopyFileTo(copy[0], JoinPath(directory, copy[1]), false, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        if (!PaceStep(progress, (done + unit) * 100 / total, pause)) {
            return ProcedureResult::Cancelled;
        }
        ++unit;
    }
    return ProcedureResult::Succeeded;
}

ProcedureResult InstallCoreFiles(const std::string& directory, ProgressReporter& progress,
                                 Transaction& transaction, ErrorList& errors) {
    progress.BeginActivity(3001);
    std::unique_ptr<Archive> archive;
    try {
        archive = OpenEmbeddedCoreArchive();
    } catch (const std::bad_alloc&) {
        // Memory running out is not a damaged program.
        errors.Add(Message(13020));
        return ProcedureResult::Failed;
    }
    if (!archive || archive->Find(JavaLauncherExe) == nullptr ||
        archive->Find(ComponentDatabaseFile) != nullptr) {
        errors.Add(Message(11500));
        return ProcedureResult::Failed;
    }
    // Every name must stay inside the installation directory before anything is written: as a
    // name, and as the place the system would open.
    for (int i = 0; i < archive->Count(); ++i) {
        const ArchiveEntry* entry = archive->Entry(i);
        if (!entry->IsDirectory() && !IsValidRelativePath(entry->NameWithSlashes())) {
            errors.Add(Message(11500));
            return ProcedureResult::Failed;
        }
    }
    const std::size_t before = errors.Count();
    for (int i = 0; i < archive->Count(); ++i) {
        const ArchiveEntry* entry = archive->Entry(i);
        std::string target;
        if (!entry->IsDirectory() && !ContainedPath(directory, entry->NameWithSlashes(), target)) {
            errors.Add(Message(12010, entry->NameWithSlashes()));
        }
    }
    if (errors.Count() != before) {
        return ProcedureResult::Failed;
    }
    const int count = archive->Count();
    for (int i = 0; i < count; ++i) {
        const ArchiveEntry* entry = archive->Entry(i);
        if (entry->IsDirectory()) {
            continue;
        }
        std::string target;
        if (!ContainedPath(directory, entry->NameWithSlashes(), target)) {
            errors.Add(Message(12010, entry->NameWithSlashes()));
            return ProcedureResult::Failed;
        }
        if (!ExtractEntry(*entry, target, transaction, errors)) {
            errors.Add(Message(10017, target));
            return ProcedureResult::Failed;
        }
        if (!PaceStep(progress, (i + 1) * 100 / count, static_cast<unsigned>(2000 / count))) {
            return ProcedureResult::Cancelled;
        }
    }
    std::string database = JoinPath(directory, ComponentDatabaseFile);
    if (!WriteCoreDatabase(*archive, directory, database, transaction, errors)) {
        errors.Add(Message(10017, database));
        return ProcedureResult::Failed;
    }
    return ProcedureResult::Succeeded;
}

namespace {

// One registration step: the operation, then its share of the progress and the short pause.
class Registration {
public:
    Registration(ProgressReporter& progress, Transaction& transaction, ErrorList& errors)
        : progress_(progress), transaction_(transaction), errors_(errors) {}

    // False ends the activity; result() says how.
    // Keys are named as the layout names them; the machine says where they are kept.
    bool Key(const char* key, int percent) {
        return Done(CreateRegistryKey(Machine().RegistryKey(key), &transaction_, errors_), percent);
    }
    bool Value(const char* key, const char* name, const std::string& text, int percent) {
        const std::string path = Machine().RegistryKey(key);
        std::size_t before = errors_.Count();
        return Done(Explained(WriteRegistryString(path, name, text, &transaction_, errors_),
                              errors_, before, Message(10011, name, path)),
                    percent);
    }
    bool Default(const char* key, const std::string& text, int percent) {
        const std::string path = Machine().RegistryKey(key);
        std::size_t before = errors_.Count();
        return Done(Explained(WriteRegistryDefaultString(path, text, &transaction_, errors_),
                              errors_, before, Message(10010, path)),
                    percent);
    }
    // Keeps what the value held before the step that overwrites it; no step of its own.
    bool Keep(const ClassFileValue& value, const std::string& written) {
        if (KeepReplacedClassFileValue(value, written, &transaction_, errors_)) {
            return true;
        }
        result_ = ProcedureResult::Failed;
        return false;
    }
    bool Done(bool succeeded, int percent) {
        if (!succeeded) {
            result_ = ProcedureResult::Failed;
            return false;
        }
        if (!PaceStep(progress_, percent, 66)) {
            result_ = ProcedureResult::Cancelled;
            return false;
        }
        return true;
    }
    ProcedureResult Result() const { return result_; }

private:
    ProgressReporter& progress_;
    Transaction& transaction_;
    ErrorList& errors_;
    ProcedureResult result_ = ProcedureResult::Succeeded;
};

} // namespace

ProcedureResult RegisterPlatform(const std::string& directory, ProgressReporter& progress,
                                 Transaction& transaction, ErrorList& errors,
                                 std::string& startMenuFolder) {
    progress.BeginActivity(3002);
    Registration step(progress, transaction, errors);
    const std::string manager = JoinPath(directory, ConfigurationManagerExe);
    const std::string launcher = JoinPath(directory, JavaLauncherExe);
    const std::string openCommand = "\"" + launcher + "\" -gui \"%1\"";
    bool going =
        step.Key(Platform20Key, 3) && step.Key(Java20Key, 6) &&
        step.Value(Platform20Key, InstallationPathValue, directory, 10) &&
        step.Value(Platform20Key, ComponentDatabaseValue,
                   JoinPath(directory, ComponentDatabaseFile), 13) &&
        step.Value(Platform20Key, WindowXValue, "64", 16) &&
        step.Value(Platform20Key, WindowYValue, "64", 20) &&
        step.Value(Java20Key, JavaTypeValue, "2", 23) &&
        step.Value(Java20Key, JavaMSExeValue, "", 26) &&
        step.Value(Java20Key, JavaSunExeValue, "", 30) &&
        step.Value(Java20Key, JavaCustomCommandLineValue, "", 33) && step.Key(Uninstall20Key, 36) &&
        step.Value(Uninstall20Key, DisplayNameValue, PlatformName20, 40) &&
        step.Value(Uninstall20Key, UninstallStringValue,
                   "\"" + manager + "\" " + RequestUninstallOption, 43) &&
        step.Key(DistributionSetExtensionKey, 46) && step.Key(DistributionSetTypeKey, 50) &&
        step.Key(DistributionSetOpenCommandKey, 53) &&
        step.Default(DistributionSetExtensionKey, DistributionSetProgId, 56) &&
        step.Default(DistributionSetTypeKey, DistributionSetDescription, 60) &&
        step.Default(DistributionSetOpenCommandKey, "\"" + manager + "\" %1", 63) &&
        step.Key(ClassFileExtensionKey, 66) && step.Key(ClassFileTypeKey, 70) &&
        step.Key(ClassFileOpenCommandKey, 73) && step.Keep(ClassTypeValue, ClassFileProgId) &&
        step.Default(ClassFileExtensionKey, ClassFileProgId, 76) &&
        step.Keep(ClassContentTypeValue, ClassFileContentType) &&
        step.Value(ClassFileExtensionKey, ContentTypeValue, ClassFileContentType, 80) &&
        step.Keep(ClassDescriptionValue, ClassFileDescription) &&
        step.Default(ClassFileTypeKey, ClassFileDescription, 83) &&
        step.Keep(ClassOpenCommandValue, openCommand) &&
        step.Default(ClassFileOpenCommandKey, openCommand, 86);
    if (!going) {
        return step.Result();
    }

    std::string programs;
    if (!Machine().FindShellFolder(ShellFolder::CommonPrograms, programs) &&
        !Machine().FindShellFolder(ShellFolder::Programs, programs)) {
        errors.Add(Message(11200));
        return ProcedureResult::Failed;
    }
    startMenuFolder = JoinPath(programs, PlatformName20);
    going = step.Done((!IsDirectory(startMenuFolder) ||
                       RemoveDirectoryTree(startMenuFolder, true, &transaction, errors)) &&
                          MakeSureDirectoryExists(startMenuFolder, &transaction, errors),
                      90) &&
            step.Done(CreateShortcut(JoinPath(startMenuFolder, ConfigurationManagerShortcutName),
                                     manager, "", &transaction, errors),
                      93) &&
            step.Done(CreateShortcut(JoinPath(startMenuFolder, UninstallShortcutName), manager,
                                     RequestUninstallOption, &transaction, errors),
                      96);
    if (!going) {
        return step.Result();
    }
    ProcedureResult added = AddToSearchPath(directory, &transaction, errors);
    if (added != ProcedureResult::Succeeded) {
        return added;
    }
    step.Done(true, 100);
    return step.Result();
}

} // namespace nebcm
