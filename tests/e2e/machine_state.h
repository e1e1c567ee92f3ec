// The platform's traces on the machine as one text, and the way into the platform
// uninstallation, for the scenarios that compare the machine before and after a run.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "e2e/installed_core.h"
#include "e2e/modes_support.h"
#include "support/window_driver.h"

namespace nebcm::testing {

inline const char kCompanyKey[] = "Software\\Tessaly";
inline const char kUninstallEntry[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NEB 2.0";
inline const char kEnvironmentKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline const char kProgramFilesFolder[] = "C:\\Program Files\\NEB";
inline const char kConfirmationText[] =
    "Are you sure you want to completely uninstall NEB 2.0 from your system ?";

// The Start-menu group of the platform, for all users or (where there is no common folder) the
// current one.
inline std::vector<std::string> StartMenuGroups() {
    std::vector<std::string> groups;
    for (int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::string base = ShellFolder(folder);
        if (!base.empty()) {
            groups.push_back(base + "\\NEB 2.0");
        }
    }
    return groups;
}

inline std::string SearchPath() {
    std::string path;
    ReadString(HKEY_LOCAL_MACHINE, kEnvironmentKey, "Path", path);
    return path;
}

// Everything of the platform that a run of the program could change: its directory, Start-menu
// group, registry keys and the search path.
inline std::string MachineState() {
    std::string state = TreeDump(kProgramFilesFolder);
    for (const std::string& group : StartMenuGroups()) {
        state += TreeDump(group);
    }
    state += RegistryDump(HKEY_LOCAL_MACHINE, kCompanyKey);
    state += RegistryDump(HKEY_LOCAL_MACHINE, kUninstallEntry);
    for (const char* key : {".nds", "NebDistributionSet", ".class", "JavaClassFile"}) {
        state += RegistryDump(HKEY_CLASSES_ROOT, key);
    }
    return state + "Path=" + SearchPath() + "\n";
}

// The progress window of the platform uninstallation (its title is shared with the questions).
inline HWND WaitForUninstallProgress(DWORD milliseconds = 60000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        HWND w = FindWindowA("#32770", "NEB 2.0 Uninstallation");
        while (w != nullptr) {
            if (IsWindowVisible(w) && GetDlgItem(w, 1027) != nullptr) {
                return w;
            }
            w = FindWindowExA(nullptr, w, "#32770", "NEB 2.0 Uninstallation");
        }
        Sleep(50);
    }
    return nullptr;
}

// Starts the installed program with the uninstall request and agrees; returns the progress
// window of the process that then does the work.
inline HWND RequestAndConfirmUninstall() {
    ChildProcess request;
    if (!request.Start(kInstalledProgram, "-RequestUninstall")) {
        return nullptr;
    }
    HWND confirmation = WaitForDialogSaying(kConfirmationText, request.Id());
    if (confirmation == nullptr) {
        return nullptr;
    }
    PressButton(confirmation, IDYES);
    return request.Wait(30000) == 0 ? WaitForUninstallProgress() : nullptr;
}

} // namespace nebcm::testing
