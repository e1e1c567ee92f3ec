// Processor and version facts of the running Windows machine.
#include "platform/machine_info.h"

#include <windows.h>

namespace nebcm {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the ANSI version structure has its classic size");

bool QueryMachineInfo(MachineInfo& info) {
    SYSTEM_INFO system;
    ZeroMemory(&system, sizeof(system));
    GetSystemInfo(&system);

    // The ANSI structure of the first Windows releases: 148 bytes, no extended fields, so the
    // call works on every Windows the program supports.
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) {
        return false;
    }

    info.processorArchitecture = system.wProcessorArchitecture;
    info.processorType = static_cast<int>(system.dwProcessorType);
    info.processorRevision = system.wProcessorRevision;
    info.platformId = static_cast<int>(version.dwPlatformId);
    info.majorVersion = static_cast<int>(version.dwMajorVersion);
    info.minorVersion = static_cast<int>(version.dwMinorVersion);
    // The service-pack text is NUL-terminated inside its 128-byte field; never read past it.
    std::size_t length = 0;
    while (length < sizeof(version.szCSDVersion) && version.szCSDVersion[length] != '\0') {
        ++length;
    }
    info.servicePack.assign(version.szCSDVersion, length);
    return true;
}

} // namespace nebcm
