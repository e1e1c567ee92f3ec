// The real machine behind the procedures' view of shell folders, disk space and registry keys.
#include "engine/machine_environment.h"

#include "engine/file_system.h"

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
