// An installed platform laid out in scratch places (registry layout below the test's own key,
// installation directory, component database, Start-menu folders with shortcuts) and distribution
// sets built in memory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "distribution/distribution_set.h"
#include "engine/engine_fixture.h"
#include "engine/machine_environment.h"

namespace nebcm::test {

// Shell folders, disk space and registry keys as the test sets them.
class TestMachine : public MachineEnvironment {
public:
    bool FindShellFolder(ShellFolder folder, std::string& path) override;
    bool QueryFreeSpace(char drive, std::uint64_t& bytes) override;
    bool QueryClusterSize(char drive, std::uint32_t& bytes) override;
    std::string RegistryKey(const std::string& key) override;

    std::map<ShellFolder, std::string> folders; // a folder left out cannot be resolved
    bool freeSpaceKnown = true;
    std::uint64_t freeSpace = 1ull << 40;
    bool clusterSizeKnown = true;
    std::uint32_t clusterSize = 512;
    std::string registryRoot;
    std::vector<char> drivesAsked;
};

// One "File=" line: a path and an optional shortcut.
std::string FileLine(const std::string& path, const std::string& shortcut = std::string());
// A database section: header such as "Application:editor", its version, its files ("path" or
// "path;shortcut") and further lines (dependencies, external declarations). Description is the
// name, package "neb/test"; components get a service class.
std::string Section(const std::string& header, const std::string& version,
                    const std::vector<std::string>& files,
                    const std::vector<std::string>& more = {});

// Reading a file moves its access time, and the procedures read the installed database; everything
// else of a snapshot must come back exactly.
std::string DescribeWithoutAccessTimes(TreeSnapshot snapshot);

class PlatformTest : public EngineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Installation(const std::string& relative = std::string()) const;
    std::string Folder(ShellFolder folder) const;
    // The platform's own Start-menu group below the common programs folder.
    std::string PlatformFolder(const std::string& relative = std::string()) const;
    std::string PlatformKey() const;

    // The core's section of an installed database, based at the installation directory.
    std::string CoreSection(const std::string& version = "2.00") const;
    // Writes the registry values, the database (the core's section, then the given sections),
    // every file that it lists (content "installed <path>") and, in the platform's group, a
    // shortcut for each file that names one.
    void LayOutPlatform(const std::string& sections, const std::string& coreVersion = "2.00");
    // Removes the installation, the registry layout and everything in the shell folders.
    void ResetPlatform();
    void WriteRegistryLayout(const std::string& installation, const std::string& database);

    // A set whose merged configuration is the database text (distribution dialect) and whose
    // entries hold, for each file, the given content or "set <path> <version>".
    std::unique_ptr<DistributionSet>
    MakeSet(const std::string& databaseText,
            const std::map<std::string, std::string>& contents = {}) const;

    // A shortcut made outside any transaction.
    void MakeShortcut(const std::string& link, const std::string& target);
    std::string ShortcutTarget(const std::string& link);
    // Every shortcut below the shell folders, by path relative to them, with its target: a path
    // of the installation as '/'-separated relative path, any other as it stands.
    std::map<std::string, std::string> Links();

    TestMachine machine_;
};

} // namespace nebcm::test
