// The real machine behind the procedures' view of shell folders, disk space, registry keys, the
// Windows version, the running program and process start.
#include "engine/machine_environment.h"

#include <windows.h>

#include <shlobj.h>

#include "common/constants.h"
#include "common/error_list.h"
#include "engine/file_system.h"
#include "engine/registry.h"
#include "engine/restart_removal.h"
#include "platform/handles_win32.h"
#include "platform/machine_info.h"

namespace nebcm {

bool MachineEnvironment::FindShellFolder(ShellFolder folder, std::string& path) {
    switch (folder) {
    case ShellFolder::CommonDesktop:
        return CommonDesktopFolder(path);
    case ShellFolder::Desktop:
        return DesktopFolder(path);
    case ShellFolder::CommonStartMenu:
        return CommonStartMenuFolder(path);
    case ShellFolder::StartMenu:
        return StartMenuFolder(path);
    case ShellFolder::CommonPrograms:
        return CommonProgramsFolder(path);
    case ShellFolder::Programs:
        return ProgramsFolder(path);
    }
    return false;
}

namespace {

// The identifier of the profile folder came with the shell of Windows 2000 (and Internet Explorer
// 5); older shells do not know it.
constexpr int ProfileFolderId = 0x0028;

bool SpecialFolder(int id, std::string& path) {
    ItemList items;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, id, items.put())) || !items) {
        return false;
    }
    char buffer[MAX_PATH + 1] = {};
    // A folder the shell names by a class identifier ("::{...}") is no place on a disk.
    if (!::SHGetPathFromIDListA(items.get(), buffer) || buffer[0] == '\0' || buffer[0] == ':') {
        return false;
    }
    path = buffer;
    return true;
}

bool FolderFromCall(UINT(WINAPI* call)(LPSTR, UINT), std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    UINT length = call(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

bool EnvironmentFolder(const char* name, std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetEnvironmentVariableA(name, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

} // namespace

bool MachineEnvironment::FindSystemFolder(SystemFolder folder, std::string& path) {
    switch (folder) {
    case SystemFolder::Windows:
        return FolderFromCall(::GetWindowsDirectoryA, path);
    case SystemFolder::System:
        return FolderFromCall(::GetSystemDirectoryA, path);
    case SystemFolder::ProgramFiles: {
        // Every Windows since 95 records it; the default installation root stands in otherwise.
        ErrorList ignored;
        if (ReadRegistryString("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion",
                               "ProgramFilesDir", path, ignored) &&
            !path.empty()) {
            return true;
        }
        return DefaultInstallationRoot(path);
    }
    case SystemFolder::Profile:
        return SpecialFolder(ProfileFolderId, path) || EnvironmentFolder("USERPROFILE", path);
    case SystemFolder::Documents:
        return SpecialFolder(CSIDL_PERSONAL, path);
    }
    return false;
}

bool MachineEnvironment::QueryFreeSpace(char drive, std::uint64_t& bytes) {
    return nebcm::QueryFreeSpace(drive, bytes);
}

bool MachineEnvironment::QueryClusterSize(char drive, std::uint32_t& bytes) {
    return nebcm::QueryClusterSize(drive, bytes);
}

std::string MachineEnvironment::RegistryKey(const std::string& key) {
    return key;
}

int MachineEnvironment::PlatformId() {
    MachineInfo info;
    return QueryMachineInfo(info) ? info.platformId : -1;
}

std::string MachineEnvironment::AutoexecPath() {
    return AutoexecFile;
}

bool MachineEnvironment::ModulePath(std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

bool MachineEnvironment::TempDirectory(std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

bool MachineEnvironment::StartProcess(const std::string& program, const std::string& arguments) {
    return nebcm::StartProcess(program, arguments);
}

bool MachineEnvironment::RemoveAtRestart(const std::string& path) {
    switch (PlatformId()) {
    case WindowsNtPlatform:
        return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    case Windows95Platform:
    case Win32sPlatform: {
        // The list is run before long names are known.
        char shortName[MAX_PATH + 1] = {};
        DWORD length = ::GetShortPathNameA(path.c_str(), shortName, MAX_PATH);
        return AddWininitRemoval(
            WininitPath(), length > 0 && length < MAX_PATH ? std::string(shortName, length) : path);
    }
    default:
        return false;
    }
}

std::string MachineEnvironment::WininitPath() {
    char buffer[MAX_PATH + 1] = {};
    UINT length = ::GetWindowsDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    return JoinPath(std::string(buffer, length), "wininit.ini");
}

void MachineEnvironment::BroadcastEnvironmentChange() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                          reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG, 5000, &result);
}

bool MachineEnvironment::CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size) {
    return FindBinaryResource(nullptr, CoreArchiveResourceId, data, size);
}

bool FindBinaryResource(void* module, int id, const std::uint8_t*& data, std::uint32_t& size) {
    HMODULE owner = static_cast<HMODULE>(module);
    HRSRC found = ::FindResourceA(owner, MAKEINTRESOURCEA(id), "Binary");
    if (found == nullptr) {
        return false;
    }
    DWORD length = ::SizeofResource(owner, found);
    if (length == 0) {
        return false;
    }
    HGLOBAL loaded = ::LoadResource(owner, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return false;
    }
    data = static_cast<const std::uint8_t*>(bytes);
    size = length;
    return true;
}

namespace {

MachineEnvironment realMachine;
MachineEnvironment* current = &realMachine;

} // namespace

MachineEnvironment& Machine() {
    return *current;
}

MachineEnvironment* SetMachineEnvironment(MachineEnvironment* environment) {
    MachineEnvironment* previous = current == &realMachine ? nullptr : current;
    current = environment != nullptr ? environment : &realMachine;
    return previous;
}

} // namespace nebcm
