// Scratch platform installations and in-memory distribution sets for the procedure tests.
#include "platform_fixture.h"

#include <algorithm>
#include <set>

#include "../../tools/nebpack/archive_writer.h"
#include "common/constants.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "model/component_database_reader.h"

namespace nebcm::test {

namespace {

void MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    }
    ::CreateDirectoryA(path.c_str(), nullptr);
}

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::unique_ptr<Configuration> ReadText(const std::string& text, ReaderMode mode) {
    MemoryInputStream memory(std::vector<std::uint8_t>(text.begin(), text.end()));
    LineReader lines(memory, 1);
    ComponentDatabaseReader reader("neb.cdb", lines, mode);
    ErrorList errors;
    std::unique_ptr<Configuration> configuration = reader.Read(errors);
    for (const std::string& message : errors.Messages()) {
        ADD_FAILURE() << message;
    }
    return configuration;
}

} // namespace

bool TestMachine::FindShellFolder(ShellFolder folder, std::string& path) {
    auto found = folders.find(folder);
    if (found == folders.end()) {
        return false;
    }
    path = found->second;
    return true;
}

bool TestMachine::QueryFreeSpace(char drive, std::uint64_t& bytes) {
    drivesAsked.push_back(drive);
    if (freeSpaceKnown) {
        bytes = freeSpace;
    }
    return freeSpaceKnown;
}

bool TestMachine::QueryClusterSize(char, std::uint32_t& bytes) {
    if (clusterSizeKnown) {
        bytes = clusterSize;
    }
    return clusterSizeKnown;
}

std::string TestMachine::RegistryKey(const std::string& key) {
    return registryRoot + "\\" + key;
}

std::string DescribeWithoutAccessTimes(TreeSnapshot snapshot) {
    for (auto& [path, entry] : snapshot) {
        entry.times.lastAccess = 0;
    }
    return Describe(snapshot);
}

std::string FileLine(const std::string& path, const std::string& shortcut) {
    return shortcut.empty() ? path : path + ";" + shortcut;
}

std::string Section(const std::string& header, const std::string& version,
                    const std::vector<std::string>& files, const std::vector<std::string>& more) {
    std::string name = header.substr(header.find(':') + 1);
    std::string text =
        "[" + header + "]\nVersion=" + version + "\nDescription=" + name + "\nCopyright=Tessaly\n";
    for (const std::string& file : files) {
        text += "File=" + file + "\n";
    }
    if (header.compare(0, 10, "Component:") == 0) {
        text += "ServiceClass=neb.test.Service\n";
    }
    text += "Package=neb/test\n";
    for (const std::string& line : more) {
        text += line + "\n";
    }
    return text + "\n";
}

void PlatformTest::SetUp() {
    EngineTest::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    machine_.folders = {
        {ShellFolder::CommonDesktop, Work("Shell\\All Users\\Desktop")},
        {ShellFolder::Desktop, Work("Shell\\User\\Desktop")},
        {ShellFolder::CommonStartMenu, Work("Shell\\All Users\\Start Menu")},
        {ShellFolder::StartMenu, Work("Shell\\User\\Start Menu")},
        {ShellFolder::CommonPrograms, Work("Shell\\All Users\\Start Menu\\Programs")},
        {ShellFolder::Programs, Work("Shell\\User\\Start Menu\\Programs")},
    };
    for (const auto& [folder, path] : machine_.folders) {
        MakeDirectories(path);
    }
    machine_.registryRoot = Key();
    SetMachineEnvironment(&machine_);
}

void PlatformTest::ResetPlatform() {
    DeleteTreeRaw(Work("NEB"));
    DeleteTreeRaw(Work("Shell"));
    for (const auto& [folder, path] : machine_.folders) {
        MakeDirectories(path);
    }
    DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\HKEY_LOCAL_MACHINE");
}

void PlatformTest::TearDown() {
    SetMachineEnvironment(nullptr);
    EngineTest::TearDown();
}

std::string PlatformTest::Installation(const std::string& relative) const {
    return relative.empty() ? Work("NEB\\20") : Work("NEB\\20\\" + relative);
}

std::string PlatformTest::Folder(ShellFolder folder) const {
    return machine_.folders.at(folder);
}

std::string PlatformTest::PlatformFolder(const std::string& relative) const {
    std::string group = Folder(ShellFolder::CommonPrograms) + "\\" + PlatformName20;
    return relative.empty() ? group : group + "\\" + relative;
}

std::string PlatformTest::PlatformKey() const {
    return Key() + "\\" + Platform20Key;
}

std::string PlatformTest::CoreSection(const std::string& version) const {
    return "[Core]\nVersion=" + version +
           "\nDescription=NEB Core\nCopyright=Tessaly\n"
           "File=NebCM.exe;NEB Configuration Manager\nFile=NEB.ico\nFile=bin/njava.exe\n"
           "Base=" +
           Installation() + "\nJavaDispatcher=bin/njava.exe\n\n";
}

void PlatformTest::WriteRegistryLayout(const std::string& installation,
                                       const std::string& database) {
    ErrorList errors;
    ASSERT_TRUE(CreateRegistryKey(PlatformKey(), nullptr, errors));
    ASSERT_TRUE(
        WriteRegistryString(PlatformKey(), InstallationPathValue, installation, nullptr, errors));
    ASSERT_TRUE(
        WriteRegistryString(PlatformKey(), ComponentDatabaseValue, database, nullptr, errors));
}

void PlatformTest::LayOutPlatform(const std::string& sections, const std::string& coreVersion) {
    const std::string text = CoreSection(coreVersion) + sections;
    MakeDirectories(Installation());
    WriteBytes(Installation(ComponentDatabaseFile), text);
    std::unique_ptr<Configuration> configuration = ReadText(text, ReaderMode::Installed);
    ASSERT_TRUE(configuration);
    for (std::size_t i = 0; i < configuration->Count(); ++i) {
        const Extension& extension = configuration->At(i);
        for (std::size_t f = 0; f < extension.FileCount(); ++f) {
            const ExtensionFile& file = extension.FileAt(f);
            std::string path = Installation(Backslashed(file.Path()));
            MakeDirectories(DirectoryOf(path));
            WriteBytes(path, "installed " + file.Path());
            if (!file.Shortcut().empty()) {
                MakeShortcut(PlatformFolder(Backslashed(file.Shortcut()) + ".lnk"), path);
            }
        }
    }
    WriteRegistryLayout(Installation(), Installation(ComponentDatabaseFile));
}

std::unique_ptr<DistributionSet>
PlatformTest::MakeSet(const std::string& databaseText,
                      const std::map<std::string, std::string>& contents) const {
    // The files come from the database as the test wrote it; the set itself is then read the way
    // the program reads one, from a file of one subset.
    std::unique_ptr<Configuration> listed = ReadText(databaseText, ReaderMode::Distribution);
    if (!listed) {
        return nullptr;
    }
    std::vector<nebpack::ArchiveFile> files(1);
    files[0].name = ComponentDatabaseFile;
    files[0].data.assign(databaseText.begin(), databaseText.end());
    std::set<std::string> seen;
    for (std::size_t i = 0; i < listed->Count(); ++i) {
        const Extension& extension = listed->At(i);
        for (std::size_t f = 0; f < extension.FileCount(); ++f) {
            const std::string& path = extension.FileAt(f).Path();
            if (!seen.insert(path).second) {
                continue;
            }
            auto given = contents.find(path);
            std::string content = given != contents.end()
                                      ? given->second
                                      : "set " + path + " " + extension.Version().ToText();
            nebpack::ArchiveFile file;
            file.name = Backslashed(path);
            file.time = 0x01c0000000000000ull;
            file.data.assign(content.begin(), content.end());
            files.push_back(file);
        }
    }
    std::vector<std::uint8_t> bytes = nebpack::BuildArchive(files);
    const std::string path = Source("set.nds");
    WriteBytes(path, std::string(bytes.begin(), bytes.end()));
    ErrorList errors;
    std::unique_ptr<DistributionSet> set = ReadDistributionSet(path, errors);
    for (const std::string& message : errors.Messages()) {
        ADD_FAILURE() << message;
    }
    return set;
}

void PlatformTest::MakeShortcut(const std::string& link, const std::string& target) {
    MakeDirectories(DirectoryOf(link));
    ErrorList errors;
    EXPECT_TRUE(CreateShortcut(link, target, "", nullptr, errors)) << link;
}

std::string PlatformTest::ShortcutTarget(const std::string& link) {
    std::string target, arguments, directory;
    if (!ReadShortcut(link, target, arguments, directory)) {
        return "<unreadable>";
    }
    return target;
}

namespace {

void CollectLinks(const std::string& root, const std::string& relative,
                  std::vector<std::string>& links) {
    std::string directory = relative.empty() ? root : root + "\\" + relative;
    for (const std::string& name : ListNames(directory)) {
        std::string entry = relative.empty() ? name : relative + "\\" + name;
        if (IsDirectory(root + "\\" + entry)) {
            CollectLinks(root, entry, links);
        } else if (name.size() > 4 && name.substr(name.size() - 4) == ".lnk") {
            links.push_back(entry);
        }
    }
}

} // namespace

std::map<std::string, std::string> PlatformTest::Links() {
    std::vector<std::string> links;
    CollectLinks(Work("Shell"), "", links);
    std::map<std::string, std::string> targets;
    const std::string prefix = Installation() + "\\";
    for (const std::string& link : links) {
        std::string target = ShortcutTarget(Work("Shell\\" + link));
        if (target.size() > prefix.size() &&
            _stricmp(target.substr(0, prefix.size()).c_str(), prefix.c_str()) == 0) {
            target = target.substr(prefix.size());
            std::replace(target.begin(), target.end(), '\\', '/');
        }
        targets[link] = target;
    }
    return targets;
}

} // namespace nebcm::test
