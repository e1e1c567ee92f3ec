// Where the procedures find the machine's shell folders, its free disk space, the registry keys
// of the platform's layout, the Windows family with its start-up batch file, the running program
// with the core archive it carries, and how they start processes, announce a changed system
// environment and leave files for the next start to delete: the real machine in the program,
// scratch places and recorders in tests.
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

// The folders of Windows itself and of the user that an installation must never take over.
enum class SystemFolder {
    Windows,
    System,
    ProgramFiles, // the folder programs are installed below
    Profile,      // the user's profile; systems without profiles have none
    Documents,    // the user's "My Documents"
};

// The platform identifiers of the system's version query.
inline constexpr int Win32sPlatform = 0;
inline constexpr int Windows95Platform = 1; // Windows 95, 98 and ME
inline constexpr int WindowsNtPlatform = 2; // Windows NT, 2000 and XP

// The program's resource (type "Binary") that holds the core archive.
inline constexpr int CoreArchiveResourceId = 139;

// Every operation of the base class asks the real machine; a test overrides what it must
// control.
class MachineEnvironment {
public:
    virtual ~MachineEnvironment() = default;
    // False when the shell cannot resolve the folder.
    virtual bool FindShellFolder(ShellFolder folder, std::string& path);
    // False when the system does not have the folder or cannot name it.
    virtual bool FindSystemFolder(SystemFolder folder, std::string& path);
    virtual bool QueryFreeSpace(char drive, std::uint64_t& bytes);
    virtual bool QueryClusterSize(char drive, std::uint32_t& bytes);
    // The key that holds what the layout keeps at `key` (a full key path such as Platform20Key).
    virtual std::string RegistryKey(const std::string& key);

    // The platform identifier of the version query; -1 when the query fails.
    virtual int PlatformId();
    // The start-up batch file of the Windows 95 family ("c:\autoexec.bat").
    virtual std::string AutoexecPath();
    // The full path of the running program (at most 260 characters).
    virtual bool ModulePath(std::string& path);
    // The user's temporary directory (at most 260 characters).
    virtual bool TempDirectory(std::string& path);
    virtual bool StartProcess(const std::string& program, const std::string& arguments);
    // Asks the system to delete the file when it next starts (a running program cannot delete
    // itself): its own list on the NT family, wininit.ini on the Windows 95 family.
    virtual bool RemoveAtRestart(const std::string& path);
    // The file whose [rename] section the Windows 95 family runs at its start.
    virtual std::string WininitPath();
    // Tells every top-level window that the system environment changed, waiting at most 5000 ms.
    virtual void BroadcastEnvironmentChange();
    // The bytes of the core archive the program carries; they stay valid for the life of the
    // process. False when there is none or it is empty.
    virtual bool CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size);
};

// A resource of type "Binary" of a loaded module (null: the program itself).
bool FindBinaryResource(void* module, int id, const std::uint8_t*& data, std::uint32_t& size);

// The environment in force: the real machine unless a test installed another.
MachineEnvironment& Machine();
// Installs an environment (null restores the real machine) and returns the one it replaces. The
// environment is not owned.
MachineEnvironment* SetMachineEnvironment(MachineEnvironment* environment);

} // namespace nebcm
