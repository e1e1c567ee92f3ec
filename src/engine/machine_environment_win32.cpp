// The real machine behind the procedures' view of shell folders, disk space, registry keys, the
// Windows version, the running program and process start.
#include "engine/machine_environment.h"

#include <windows.h>

#include "common/constants.h"
#include "engine/file_system.h"
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
