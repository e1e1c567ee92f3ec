// The real system behind the installation's environment queries.
#include "engine/system_environment.h"

#include <windows.h>

#include "common/constants.h"
#include "engine/file_system.h"
#include "platform/machine_info.h"

namespace nebcm {

namespace {

SystemEnvironment realEnvironment;
SystemEnvironment* current = &realEnvironment;

} // namespace

int SystemEnvironment::PlatformId() {
    MachineInfo info;
    return QueryMachineInfo(info) ? info.platformId : -1;
}

std::string SystemEnvironment::AutoexecPath() {
    return AutoexecFile;
}

bool SystemEnvironment::ModulePath(std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

bool SystemEnvironment::TempDirectory(std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

bool SystemEnvironment::ShellFolder(ShellFolderRole role, std::string& path) {
    switch (role) {
    case ShellFolderRole::StartMenu:
        return StartMenuFolder(path);
    case ShellFolderRole::Programs:
        return ProgramsFolder(path);
    case ShellFolderRole::Desktop:
        return DesktopFolder(path);
    case ShellFolderRole::CommonStartMenu:
        return CommonStartMenuFolder(path);
    case ShellFolderRole::CommonPrograms:
        return CommonProgramsFolder(path);
    case ShellFolderRole::CommonDesktop:
        return CommonDesktopFolder(path);
    }
    return false;
}

bool SystemEnvironment::StartProcess(const std::string& program, const std::string& arguments) {
    return nebcm::StartProcess(program, arguments);
}

void SystemEnvironment::BroadcastEnvironmentChange() {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                          reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG, 5000, &result);
}

bool SystemEnvironment::CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size) {
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
    if (loaded == nullptr) {
        return false;
    }
    const void* bytes = ::LockResource(loaded);
    if (bytes == nullptr) {
        return false;
    }
    data = static_cast<const std::uint8_t*>(bytes);
    size = length;
    return true;
}

SystemEnvironment& Environment() {
    return *current;
}

SystemEnvironment* SetSystemEnvironment(SystemEnvironment* environment) {
    SystemEnvironment* previous = current == &realEnvironment ? nullptr : current;
    current = environment != nullptr ? environment : &realEnvironment;
    return previous;
}

} // namespace nebcm
