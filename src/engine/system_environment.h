// What the platform installation asks of the running system beyond files and the registry: the
// Windows family, the start-up batch file, the program's own path and core archive, the shell
// folders, process start and the environment-change broadcast. Tests put a stand-in in place.
#pragma once

#include <cstdint>
#include <string>

namespace nebcm {

// The platform identifiers of the system's version query.
inline constexpr int Win32sPlatform = 0;
inline constexpr int Windows95Platform = 1; // Windows 95, 98 and ME
inline constexpr int WindowsNtPlatform = 2; // Windows NT, 2000, XP

enum class ShellFolderRole {
    StartMenu,
    Programs,
    Desktop,
    CommonStartMenu,
    CommonPrograms,
    CommonDesktop,
};

// Every operation asks the real system; a test derives and replaces what it must keep away from
// the machine it runs on.
class SystemEnvironment {
public:
    virtual ~SystemEnvironment() = default;

    // The platform identifier of the version query; -1 when the query fails.
    virtual int PlatformId();
    // The start-up batch file of the Windows 95 family ("c:\autoexec.bat").
    virtual std::string AutoexecPath();
    // The full path of the running program (at most 260 characters).
    virtual bool ModulePath(std::string& path);
    // The user's temporary directory (at most 260 characters).
    virtual bool TempDirectory(std::string& path);
    virtual bool ShellFolder(ShellFolderRole role, std::string& path);
    virtual bool StartProcess(const std::string& program, const std::string& arguments);
    // Tells every top-level window that the system environment changed, waiting at most 5000 ms.
    virtual void BroadcastEnvironmentChange();
    // The bytes of the core archive carried by the program (resource 139 of type "Binary"); they
    // stay valid for the life of the process. False when there is none or it is empty.
    virtual bool CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size);
};

// The environment in force: the real system unless a test installed another.
SystemEnvironment& Environment();
// Installs an environment (null restores the real one) and returns the one it replaces. Not owned.
SystemEnvironment* SetSystemEnvironment(SystemEnvironment* environment);

// A resource of type "Binary" from a loaded module (null: the program itself).
bool FindBinaryResource(void* module, int id, const std::uint8_t*& data, std::uint32_t& size);

inline constexpr int CoreArchiveResourceId = 139;

} // namespace nebcm
