// Brings a fresh prefix to an installed platform through the medium's own core installation
// wizard, for end-to-end scenarios that start from an installed system.
#pragma once

#include <windows.h>

#include <prsht.h>

#include <string>

#include "support/window_driver.h"

namespace nebcm::testing {

// Where the core installation puts the platform when the user keeps the offered directory.
inline const std::string kInstallDir = "C:\\Program Files\\NEB\\20\\";
inline const std::string kInstalledProgram = kInstallDir + "NebCM.exe";
inline const std::string kSampleSet = "C:\\medium\\sample.nds";

// The main window ("NEB 2.0 Configuration Manager" with the extension tree 1029); other dialogs
// share its title.
inline HWND WaitForMainWindow(DWORD milliseconds = 60000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 100) {
        HWND w = FindWindowA("#32770", "NEB 2.0 Configuration Manager");
        while (w != nullptr) {
            if (IsWindowVisible(w) && GetDlgItem(w, 1029) != nullptr) {
                return w;
            }
            w = FindWindowExA(nullptr, w, "#32770", "NEB 2.0 Configuration Manager");
        }
        Sleep(100);
    }
    return nullptr;
}

// Runs the medium's NebCM.exe with no command line: the core installation wizard, accepted as
// offered, then the installed copy, whose main window is closed again. True when the platform
// is installed and no program of it is left running.
inline bool InstallCoreFromTheMedium() {
    ChildProcess first;
    if (!first.Start("C:\\medium\\NebCM.exe")) {
        return false;
    }
    HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
    if (wizard == nullptr) {
        return false;
    }
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    // The offered directory does not exist yet: agree to make it.
    HWND question = WaitForTitle("NEB 2.0 Configuration Manager");
    if (question == nullptr) {
        return false;
    }
    PressButton(question, 1007);
    HWND main = WaitForMainWindow(120000);
    if (main == nullptr || first.Wait(30000) != 0) {
        return false;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE installed = OpenProcess(SYNCHRONIZE, FALSE, pid);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
    bool ended = installed != nullptr && WaitForSingleObject(installed, 30000) == WAIT_OBJECT_0;
    if (installed != nullptr) {
        CloseHandle(installed);
    }
    return ended && Exists(kInstalledProgram);
}

} // namespace nebcm::testing
