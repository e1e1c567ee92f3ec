// Walks a first run of the installation medium and the main window, printing "SHOT name" whenever
// a window worth a screenshot is on screen; scripts/screenshots.sh takes the pictures.
#include <windows.h>

#include <prsht.h>

#include <cstdio>
#include <string>

namespace {

std::string Text(HWND w) {
    char buffer[512] = {};
    GetWindowTextA(w, buffer, sizeof buffer);
    return buffer;
}

struct Search {
    const char* title;
    HWND found;
};

BOOL CALLBACK Match(HWND w, LPARAM p) {
    Search* s = reinterpret_cast<Search*>(p);
    if (IsWindowVisible(w) && Text(w).find(s->title) != std::string::npos) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND WaitFor(const char* title, DWORD milliseconds = 60000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 100) {
        Search s{title, nullptr};
        EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
        if (s.found != nullptr) {
            return s.found;
        }
        Sleep(100);
    }
    std::printf("MISSING %s\n", title);
    std::fflush(stdout);
    return nullptr;
}

// Lets the window paint, asks for the picture and gives the camera time.
void Shot(const char* name) {
    Sleep(700);
    std::printf("SHOT %s\n", name);
    std::fflush(stdout);
    Sleep(1500);
}

void Press(HWND w, int id) {
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(w, id)));
}

void Start(const char* program, const char* arguments) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = std::string("\"") + program + "\" " + arguments;
    if (CreateProcessA(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

} // namespace

int main() {
    Start("C:\\medium\\setup.exe", "");
    HWND w = WaitFor("NEB 2.0 - Select installation directory");
    if (w == nullptr) {
        return 1;
    }
    Shot("01-core-installation-wizard");
    PostMessageA(w, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    if (HWND q = WaitFor("NEB 2.0 Configuration Manager", 10000)) {
        Shot("02-create-directory-question");
        Press(q, 1007);
    }
    if (WaitFor("NEB 2.0 Installation", 20000)) {
        Shot("03-core-installation-progress");
    }
    w = WaitFor("NEB 2.0 - Select NEB extensions to install", 120000);
    if (w == nullptr) {
        return 1;
    }
    Shot("04-select-extensions-to-install");
    PostMessageA(w, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    if (WaitFor("NEB 2.0 Extension Installation", 20000)) {
        Shot("05-extension-installation-progress");
    }
    if (HWND done = WaitFor("Installation complete", 120000)) {
        Shot("06-installation-complete");
        Press(done, IDOK);
    }
    Sleep(2000);

    Start("C:\\Program Files\\NEB\\20\\NebCM.exe", "");
    HWND main = WaitFor("NEB 2.0 Configuration Manager", 30000);
    if (main == nullptr) {
        return 1;
    }
    Sleep(1500); // the consistency check runs first
    main = WaitFor("NEB 2.0 Configuration Manager", 30000);
    Shot("07-main-window");
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(32779, 0), 0);
    if (HWND java = WaitFor("NEB 2.0 Java Support", 10000)) {
        Shot("08-java-support");
        Press(java, IDCANCEL);
    }
    Sleep(1000);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(32774, 0), 0);
    if (HWND about = WaitFor("About Configration Manager", 10000)) {
        Shot("09-about");
        Press(about, IDOK);
    }
    Sleep(1000);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1031, BN_CLICKED), 0);
    if (HWND uninstall = WaitFor("NEB 2.0 - Select NEB extensions to uninstall", 20000)) {
        Shot("10-select-extensions-to-uninstall");
        PostMessageA(uninstall, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    }
    Sleep(1000);
    PostMessageA(main, WM_CLOSE, 0, 0);
    std::printf("DONE\n");
    std::fflush(stdout);
    return 0;
}
