// The 1.0 installation under the new platform: its software copied and listed in the new
// database, and the 1.0 platform removed with its shortcuts moved to the new place or taken away.
#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/containment.h"
#include "engine/core_installation.h"
#include "engine/file_actions.h"
#include "engine/installed_configuration.h"
#include "engine/machine_environment.h"
#include "engine/procedure_steps.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "engine/tree_visitors.h"
#include "model/component_database_reader.h"
#include "model/component_database_writer.h"
#include "model/path_rules.h"
#include "model/validator.h"

namespace nebcm {

namespace {

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The files below a directory, by their '/'-separated paths relative to it.
class RelativeFileCollector : public DirectoryVisitor {
public:
    explicit RelativeFileCollector(std::string prefix) : prefix_(std::move(prefix)) {}
    bool Begin() override { return true; }
    bool VisitDirectory(const std::string&) override { return true; }
    bool VisitFile(const std::string& path) override {
        if (path.size() > prefix_.size() && path.compare(0, prefix_.size(), prefix_) == 0) {
            std::string relative = path.substr(prefix_.size());
            std::replace(relative.begin(), relative.end(), '\\', '/');
            files_.insert(relative);
        }
        return true;
    }
    bool End() override { return true; }
    std::set<std::string>& Files() { return files_; }

private:
    std::string prefix_;
    std::set<std::string> files_;
};

// The directory as the directory walk names it, with the separator behind it.
std::string WalkPrefix(const std::string& directory) {
    return DirectoryPrefix(WithoutTrailingBackslash(FullPath(directory)));
}

// Adds the 1.0 software to the database that the core activity wrote.
bool ExtendDatabase(const std::string& database, const Configuration& legacy, ErrorList& errors,
                    Transaction& transaction) {
    std::unique_ptr<Configuration> configuration;
    try {
        TextFileReader text(database);
        ComponentDatabaseReader reader(database, text, ReaderMode::Installed);
        configuration = reader.Read(errors);
        text.Close();
    } catch (const IOException&) {
        errors.Add(Message(12101, database));
        return false;
    }
    if (!configuration) {
        return false;
    }
    for (std::size_t i = 0; i < legacy.Count(); ++i) {
        if (legacy.At(i).Kind() != ExtensionKind::Core) {
            configuration->Add(legacy.At(i).Clone());
        }
    }
    std::unique_ptr<TextFileWriter> writer = CreateTextOutputFile(database, &transaction, errors);
    if (!writer) {
        errors.Add(Message(10017, database));
        return false;
    }
    try {
        ComponentDatabaseWriter::Write(*configuration, *writer);
        writer->Close();
    } catch (const IOException&) {
        errors.Add(Message(10017, database));
        return false;
    }
    return true;
}

// The Java VM settings as the registration writes them before anyone has chosen a VM.
bool HoldsNoJavaChoice(const std::string& key) {
    const std::pair<const char*, const char*> untouched[] = {
        {JavaTypeValue, "2"},
        {JavaMSExeValue, ""},
        {JavaSunExeValue, ""},
        {JavaCustomCommandLineValue, ""},
    };
    for (const auto& [name, text] : untouched) {
        ErrorList ignored;
        std::string value;
        if (ReadRegistryString(key, name, value, ignored) && value != text) {
            return false;
        }
    }
    return true;
}

// The 1.0 key, with the VM the user chose, goes when 1.0 is removed: the choice is carried over
// to the new platform unless a choice has been made there already.
bool CarryJavaChoice(Transaction& transaction, ErrorList& errors) {
    const std::string legacy = Machine().RegistryKey(Java10Key);
    const std::string current = Machine().RegistryKey(Java20Key);
    if (!RegistryKeyExists(legacy) || !HoldsNoJavaChoice(current)) {
        return true;
    }
    for (const char* name :
         {JavaTypeValue, JavaMSExeValue, JavaSunExeValue, JavaCustomCommandLineValue}) {
        ErrorList absent;
        std::string value;
        if (!ReadRegistryString(legacy, name, value, absent)) {
            continue;
        }
        std::size_t before = errors.Count();
        if (!Explained(
                (RegistryKeyExists(current) || CreateRegistryKey(current, &transaction, errors)) &&
                    WriteRegistryString(current, name, value, &transaction, errors),
                errors, before, Message(10011, name, current))) {
            return false;
        }
    }
    return true;
}

} // namespace

ProcedureResult MigrateLegacySoftware(const std::string& directory,
                                      const std::string& startMenuFolder,
                                      ProgressReporter& progress, Transaction& transaction,
                                      ErrorList& errors) {
    progress.BeginActivity(3003);
    std::string legacyDirectory;
    if (!ReadLegacyInstallationPath(legacyDirectory)) {
        errors.Add(Message(12500));
        return ProcedureResult::Failed;
    }
    ErrorList scratch;
    std::unique_ptr<Configuration> legacy = LoadLegacyConfiguration(scratch);
    if (!legacy) {
        errors.Add(Message(12500)); // the user learns why nothing could be migrated
        return ProcedureResult::Failed;
    }

    RelativeFileCollector collector(WalkPrefix(legacyDirectory));
    WalkDirectory(legacyDirectory, collector, WalkOrder::DirectoriesFirst);
    // The files as found on disk; the database may spell them in another letter case, as the
    // file systems of the day often did, and still names the same files.
    std::set<std::string>& files = collector.Files();
    std::set<std::string> notMigrated;
    for (const char* own :
         {LegacyComponentDatabaseFile, ConfigurationManagerExe, HelpFile, HelpIndexFile}) {
        notMigrated.insert(PathIdentity(own));
    }
    std::map<std::string, std::string> shortcuts; // by the identity of the file
    for (std::size_t i = 0; i < legacy->Count(); ++i) {
        const Extension& extension = legacy->At(i);
        for (std::size_t f = 0; f < extension.FileCount(); ++f) {
            const ExtensionFile& file = extension.FileAt(f);
            if (extension.Kind() == ExtensionKind::Core) {
                notMigrated.insert(PathIdentity(file.Path()));
            } else if (!file.Shortcut().empty()) {
                shortcuts[PathIdentity(file.Path())] =
                    std::string(PlatformName10) + "/" + file.Shortcut();
            }
        }
    }
    for (auto file = files.begin(); file != files.end();) {
        file = notMigrated.count(PathIdentity(*file)) != 0 ? files.erase(file) : std::next(file);
    }

    // Every copy must land inside the new installation directory and every link inside the
    // Start-menu folder, where the system would open them; checked before the first copy.
    const std::size_t before = errors.Count();
    std::map<std::string, std::string> targets;
    std::map<std::string, std::string> links;
    for (const std::string& file : files) {
        std::string target;
        if (!ContainedPath(directory, file, target)) {
            errors.Add(Message(12010, file));
            continue;
        }
        targets[file] = target;
        auto shortcut = shortcuts.find(PathIdentity(file));
        std::string link;
        if (shortcut == shortcuts.end() || !IsValidRelativePath(shortcut->second)) {
            continue; // a link the 1.0 database cannot name is left out
        }
        // The link file itself is checked: its name with ".lnk" could be another entry's short
        // name even where the text without it is not.
        if (!ContainedPath(startMenuFolder, shortcut->second + ".lnk", link)) {
            errors.Add(Message(12010, shortcut->second));
            continue;
        }
        links[file] = link;
    }
    if (errors.Count() != before) {
        return ProcedureResult::Failed;
    }

    const int count = static_cast<int>(files.size());
    int copied = 0;
    for (const std::string& file : files) {
        const std::string relative = Backslashed(file);
        const std::string& target = targets[file];
        if (!MakeSureDirectoryExists(DirectoryOf(target), &transaction, errors) ||
            !CopyFileTo(JoinPath(legacyDirectory, relative), target, false, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        auto link = links.find(file);
        if (link != links.end() &&
            !CreateShortcut(link->second, target, "", &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        ++copied;
        if (!PaceStep(progress, copied * 100 / count, static_cast<unsigned>(2000 / count))) {
            return ProcedureResult::Cancelled;
        }
    }

    if (!ExtendDatabase(JoinPath(directory, ComponentDatabaseFile), *legacy, errors, transaction) ||
        !CarryJavaChoice(transaction, errors)) {
        return ProcedureResult::Failed;
    }
    return ProcedureResult::Succeeded;
}

ProcedureResult RemoveLegacyPlatform(const std::string& directory, bool migrated,
                                     ProgressReporter& progress, Transaction& transaction,
                                     ErrorList& errors) {
    progress.BeginActivity(3004);
    std::string legacyDirectory;
    if (!ReadLegacyInstallationPath(legacyDirectory) || !IsDirectory(legacyDirectory)) {
        errors.Add(Message(12500));
        return ProcedureResult::Failed;
    }
    const std::string legacyPrefix = DirectoryPrefix(legacyDirectory);
    // A new installation inside the old one would go with it.
    if (StartsWithIgnoringCase(WalkPrefix(directory), WalkPrefix(legacyDirectory))) {
        errors.Add(Message(10000, legacyDirectory));
        return ProcedureResult::Failed;
    }

    std::string userGroup;
    std::string commonGroup;
    std::string folder;
    if (Machine().FindShellFolder(ShellFolder::Programs, folder)) {
        userGroup = JoinPath(folder, PlatformName10);
    }
    if (Machine().FindShellFolder(ShellFolder::CommonPrograms, folder)) {
        commonGroup = JoinPath(folder, PlatformName10);
    }
    const int entries = CountTree(legacyDirectory).Total();
    const std::size_t messagesBefore = errors.Count();
    const std::vector<std::string> shortcuts = CollectShortcutsInto(legacyPrefix, &errors);
    if (errors.Count() != messagesBefore) {
        return ProcedureResult::Failed;
    }
    const int total = static_cast<int>(shortcuts.size()) + 4 + entries;
    const unsigned pause = static_cast<unsigned>(2000 / total);

    ProgressDeleteTreeVisitor remover(&transaction, progress, total);
    if (!WalkDirectory(legacyDirectory, remover, WalkOrder::DirectoriesLast)) {
        if (progress.IsCancelled()) {
            return ProcedureResult::Cancelled;
        }
        remover.TakeErrors(errors);
        return ProcedureResult::Failed;
    }
    int done = entries;
    for (const std::string& group : {userGroup, commonGroup}) {
        if (!group.empty() && IsDirectory(group) &&
            !RemoveDirectoryTree(group, true, &transaction, errors)) {
            return ProcedureResult::Failed;
        }
        if (!PaceStep(progress, ++done * 100 / total, pause)) {
            return ProcedureResult::Cancelled;
        }
    }

    const std::vector<std::string> shellFolders = ShellFolderPaths();
    const std::string legacyBare = WithoutTrailingBackslash(legacyDirectory);
    for (const std::string& shortcut : shortcuts) {
        if (PathExists(shortcut)) {
            std::string target, arguments, workingDirectory;
            std::string newTarget;
            bool keep = migrated && ReadShortcut(shortcut, target, arguments, workingDirectory) &&
                        StartsWithIgnoringCase(target, legacyPrefix) &&
                        IsFile(newTarget = JoinPath(directory, target.substr(legacyPrefix.size())));
            bool handled = false;
            if (keep) {
                std::string newDirectory = workingDirectory;
                if (EqualIgnoringCase(WithoutTrailingBackslash(workingDirectory), legacyBare)) {
                    newDirectory = directory;
                } else if (StartsWithIgnoringCase(workingDirectory, legacyPrefix)) {
                    newDirectory =
                        JoinPath(directory, workingDirectory.substr(legacyPrefix.size()));
                }
                handled = UpdateShortcut(shortcut, newTarget, arguments, newDirectory, &transaction,
                                         errors);
            } else {
                handled = RemoveFileAndEmptyFolders(shortcut, shellFolders, &transaction, errors);
            }
            if (!handled) {
                return ProcedureResult::Failed;
            }
        }
        if (!PaceStep(progress, ++done * 100 / total, pause)) {
            return ProcedureResult::Cancelled;
        }
    }

    for (const char* key : {Platform10Key, Uninstall10Key}) {
        const std::string path = Machine().RegistryKey(key);
        std::size_t before = errors.Count();
        if (!Explained(DeleteRegistryKey(path, &transaction, errors), errors, before,
                       Message(10006, path))) {
            return ProcedureResult::Failed;
        }
        if (!PaceStep(progress, ++done * 100 / total, pause)) {
            return ProcedureResult::Cancelled;
        }
    }
    return ProcedureResult::Succeeded;
}

} // namespace nebcm
