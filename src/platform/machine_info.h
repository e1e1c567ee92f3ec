// The processor and Windows version facts of the running machine, as the system reports them.
#pragma once

#include <string>

namespace nebcm {

// Raw values of the system's processor information and of the ANSI version information.
struct MachineInfo {
    int processorArchitecture = 0; // 0 is Intel
    int processorType = 0;         // 386, 486, 586, ...
    int processorRevision = 0;     // model in the high byte
    int platformId = 0;            // 0 Win32s, 1 Windows 95 family, 2 NT
    int majorVersion = 0;
    int minorVersion = 0;
    std::string servicePack; // e.g. "Service Pack 6a"
};

// Fills info from the running system. False where there is no Windows to ask (the native
// build), or when the system refuses the version query; info is then left unchanged.
bool QueryMachineInfo(MachineInfo& info);

} // namespace nebcm
