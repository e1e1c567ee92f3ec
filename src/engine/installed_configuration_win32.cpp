// Locating, checking and loading the installed configuration, from the registry and the installed
// component database.
#include "engine/installed_configuration.h"

#include <algorithm>
#include <cstdlib>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/file_system.h"
#include "engine/machine_environment.h"
#include "engine/registry.h"
#include "io/streams.h"
#include "model/component_database_reader.h"
#include "model/legacy_component_database_reader.h"
#include "model/validator.h"

namespace nebcm {

namespace {

// What tells the two platform releases apart when their installations are checked.
struct Release {
    const char* platformKey;
    bool legacy;
};
const Release Release20 = {Platform20Key, false};
const Release Release10 = {Platform10Key, true};

std::string PlatformKey(const Release& release) {
    return Machine().RegistryKey(release.platformKey);
}

bool ReadPath(const Release& release, std::string& path) {
    ErrorList ignored;
    std::string value;
    if (!ReadRegistryString(PlatformKey(release), InstallationPathValue, value, ignored) ||
        !IsDirectory(value)) {
        return false;
    }
    path = value;
    return true;
}

// Reads a database in installed mode with the reader of its release. Messages of the reader go
// to errors; I/O failures reach the caller.
std::unique_ptr<Configuration> ReadDatabase(const Release& release, const std::string& path,
                                            ErrorList& errors) {
    TextFileReader text(path);
    if (release.legacy) {
        LegacyComponentDatabaseReader reader(path, text, ReaderMode::Installed);
        return reader.Read(errors);
    }
    ComponentDatabaseReader reader(path, text, ReaderMode::Installed);
    return reader.Read(errors);
}

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool CheckInstallation(const Release& release, ErrorList& errors) {
    const std::string key = PlatformKey(release);
    std::string installation;
    std::string database;
    if (!ReadRegistryString(key, InstallationPathValue, installation, errors) ||
        !ReadRegistryString(key, ComponentDatabaseValue, database, errors)) {
        return false;
    }
    if (!IsDirectory(installation)) {
        errors.Add(Message(12103, installation));
        return false;
    }
    if (!IsFile(database)) {
        errors.Add(Message(12102, database));
        return false;
    }
    // The procedures always rewrite the database under its own name in the installation
    // directory; a value naming any other file there would be read here but never written.
    if (!EqualIgnoringCase(DirectoryOf(database), installation) ||
        (!release.legacy &&
         !EqualIgnoringCase(database.substr(database.rfind('\\') + 1), ComponentDatabaseFile))) {
        errors.Add(Message(12100, database, installation));
        return false;
    }

    std::unique_ptr<Configuration> configuration;
    try {
        configuration = ReadDatabase(release, database, errors);
    } catch (const IOException&) {
        errors.Add(Message(12101, database));
        return false;
    }
    if (!configuration || !configuration->Validate(errors)) {
        return false;
    }

    const std::size_t before = errors.Count();
    for (std::size_t i = 0; i < configuration->Count(); ++i) {
        const Extension& extension = configuration->At(i);
        for (std::size_t f = 0; f < extension.FileCount(); ++f) {
            std::string file = JoinPath(installation, NativePath(extension.FileAt(f).Path()));
            if (!IsFile(file)) {
                errors.Add(Message(12102, file));
            }
        }
    }
    if (!release.legacy) {
        CheckInstalledCore(*configuration, installation, errors);
    }
    return errors.Count() == before;
}

std::unique_ptr<Configuration> LoadInstallation(const Release& release, ErrorList& errors) {
    if (!CheckInstallation(release, errors)) {
        return nullptr;
    }
    ErrorList ignored;
    std::string database;
    if (!ReadRegistryString(PlatformKey(release), ComponentDatabaseValue, database, ignored)) {
        return nullptr;
    }
    try {
        return ReadDatabase(release, database, errors);
    } catch (const IOException&) {
        // The check has just read the same file and reported what was wrong with it.
        return nullptr;
    }
}

// Collects the sizes of the files below one directory.
class FileSizeCollector : public DirectoryVisitor {
public:
    explicit FileSizeCollector(std::string prefix) : prefix_(std::move(prefix)) {}
    bool Begin() override { return true; }
    bool VisitDirectory(const std::string&) override { return true; }
    bool VisitFile(const std::string& path) override {
        std::uint64_t size = 0;
        if (path.size() > prefix_.size() && path.compare(0, prefix_.size(), prefix_) == 0 &&
            QueryFileSize(path, size)) {
            std::string key = path.substr(prefix_.size());
            std::replace(key.begin(), key.end(), '\\', '/');
            sizes_[key] = size;
        }
        return true;
    }
    bool End() override { return true; }
    FileSizeMap Take() { return std::move(sizes_); }

private:
    std::string prefix_;
    FileSizeMap sizes_;
};

std::string ReadOptionalString(const std::string& key, const char* name) {
    ErrorList ignored;
    std::string value;
    ReadRegistryString(key, name, value, ignored);
    return value;
}

} // namespace

bool IsPlatformInstalled() {
    return RegistryKeyExists(PlatformKey(Release20));
}

bool ReadInstallationPath(std::string& path) {
    return ReadPath(Release20, path);
}

bool CheckInstalledConfiguration(ErrorList& errors) {
    return CheckInstallation(Release20, errors);
}

std::unique_ptr<Configuration> LoadInstalledConfiguration(ErrorList& errors) {
    return LoadInstallation(Release20, errors);
}

FileSizeMap InstalledFileSizes() {
    std::string installation;
    if (!ReadInstallationPath(installation)) {
        return FileSizeMap();
    }
    // The walk hands over absolute paths; a drive root already ends with its backslash.
    std::string prefix = WithoutTrailingBackslash(FullPath(installation));
    if (prefix.empty() || prefix.back() != '\\') {
        prefix += '\\';
    }
    FileSizeCollector collector(prefix);
    WalkDirectory(installation, collector, WalkOrder::DirectoriesFirst);
    return collector.Take();
}

bool IsLegacyPlatformInstalled() {
    return RegistryKeyExists(PlatformKey(Release10));
}

bool ReadLegacyInstallationPath(std::string& path) {
    return ReadPath(Release10, path);
}

bool CheckLegacyInstallation(ErrorList& errors) {
    return CheckInstallation(Release10, errors);
}

std::unique_ptr<Configuration> LoadLegacyConfiguration(ErrorList& errors) {
    return LoadInstallation(Release10, errors);
}

JavaVmSettings ReadJavaVmSettings() {
    const std::string key = Machine().RegistryKey(Java20Key);
    JavaVmSettings settings;
    std::string type = ReadOptionalString(key, JavaTypeValue);
    if (type == "0" || type == "1" || type == "2") {
        settings.type = static_cast<JavaVmType>(type[0] - '0');
    }
    settings.microsoftExe = ReadOptionalString(key, JavaMSExeValue);
    settings.sunExe = ReadOptionalString(key, JavaSunExeValue);
    settings.customCommandLine = ReadOptionalString(key, JavaCustomCommandLineValue);
    return settings;
}

WindowPosition ReadWindowPosition() {
    const std::string key = Machine().RegistryKey(Platform20Key);
    ErrorList ignored;
    WindowPosition position;
    std::string value;
    if (ReadRegistryString(key, WindowXValue, value, ignored)) {
        position.x = std::atoi(value.c_str());
    }
    value.clear();
    if (ReadRegistryString(key, WindowYValue, value, ignored)) {
        position.y = std::atoi(value.c_str());
    }
    return position;
}

} // namespace nebcm
