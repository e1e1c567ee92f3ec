// Where the procedures find the machine's shell folders, its free disk space and the registry keys
// of the platform's layout: the real machine in the program, scratch places in tests.
#pragma once

#include <cstdint>
#include <string>

namespace nebcm {

// The six folders in which shortcuts live, in the order in which the procedures search them.
enum class ShellFolder {
    CommonDesktop,
    Desktop,
    CommonStartMenu,
    StartMenu,
    CommonPrograms,
    Programs,
};
inline constexpr ShellFolder AllShellFolders[] = {
    ShellFolder::CommonDesktop, ShellFolder::Desktop,        ShellFolder::CommonStartMenu,
    ShellFolder::StartMenu,     ShellFolder::CommonPrograms, ShellFolder::Programs,
};

// Every operation of the base class asks the real machine; a test overrides what it must
// control.
class MachineEnvironment {
public:
    virtual ~MachineEnvironment() = default;
    // False when the shell cannot resolve the folder.
    virtual bool FindShellFolder(ShellFolder folder, std::string& path);
    virtual bool QueryFreeSpace(char drive, std::uint64_t& bytes);
    virtual bool QueryClusterSize(char drive, std::uint32_t& bytes);
    // The key that holds what the layout keeps at `key` (a full key path such as Platform20Key).
    virtual std::string RegistryKey(const std::string& key);
};

// The environment in force: the real machine unless a test installed another.
MachineEnvironment& Machine();
// Installs an environment (null restores the real machine) and returns the one it replaces. The
// environment is not owned.
MachineEnvironment* SetMachineEnvironment(MachineEnvironment* environment);

} // namespace nebcm
