// Drives another process's windows from a Win32 test: start it, find its dialogs, read and click
// them.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace nebcm::testing {

// A Linux directory handed over in an environment variable, as Wine sees it (below Z:).
inline std::string WindowsPathFromEnv(const char* variable, const std::string& relative = "") {
    const char* dir = std::getenv(variable);
    if (dir == nullptr) {
        return std::string();
    }
    std::string path = std::string("Z:") + dir + (relative.empty() ? "" : "/" + relative);
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() {
        if (info_.hProcess) {
            if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(info_.hProcess, 99);
            }
            CloseHandle(info_.hProcess);
            CloseHandle(info_.hThread);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::string& exe, const std::string& arguments = "",
               const std::string& directory = "") {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        return CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              directory.empty() ? nullptr : directory.c_str(), &si, &info_) != 0;
    }
    DWORD Id() const { return info_.dwProcessId; }
    // The exit code, or STILL_ACTIVE when the process did not end in time.
    DWORD Wait(DWORD milliseconds) {
        if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) {
            return STILL_ACTIVE;
        }
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_ = {};
};

inline std::string WindowText(HWND w) {
    char text[4096] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

inline std::string ClassOf(HWND w) {
    char name[256] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

namespace detail {
struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};
inline BOOL CALLBACK CollectDialog(HWND w, LPARAM p) {
    DialogSearch* d = reinterpret_cast<DialogSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == d->pid && ClassOf(w) == "#32770") {
        d->found.push_back(w);
    }
    return TRUE;
}
inline BOOL CALLBACK CollectStatic(HWND w, LPARAM p) {
    std::string* text = reinterpret_cast<std::string*>(p);
    if (ClassOf(w) == "Static") {
        std::string t = WindowText(w);
        if (!t.empty()) {
            if (!text->empty()) {
                *text += "\n";
            }
            *text += t;
        }
    }
    return TRUE;
}
} // namespace detail

// Top-level dialogs (#32770) of a process, shown or not.
inline std::vector<HWND> DialogsOf(DWORD pid) {
    detail::DialogSearch data{pid, {}};
    EnumWindows(detail::CollectDialog, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

// Polls until the process shows a dialog; null after the time-out.
inline HWND WaitForDialog(DWORD pid, DWORD milliseconds = 10000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        std::vector<HWND> dialogs = DialogsOf(pid);
        if (!dialogs.empty()) {
            return dialogs.front();
        }
        Sleep(50);
    }
    return nullptr;
}

// The texts of a window's static controls, joined by new lines.
inline std::string StaticTexts(HWND dialog) {
    std::string text;
    EnumChildWindows(dialog, detail::CollectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Polls until a dialog of the process shows static text (a message box is made before its text
// is filled in); null after the time-out.
inline HWND WaitForDialogWithText(DWORD pid, DWORD milliseconds = 10000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        for (HWND dialog : DialogsOf(pid)) {
            if (!StaticTexts(dialog).empty()) {
                return dialog;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

// Presses a button of a dialog in another process without waiting for it (a cross-process
// SendMessage on a button that ends its dialog can hang).
inline void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace detail {
struct TitleSearch {
    std::string text;
    HWND found;
};
inline BOOL CALLBACK MatchTitle(HWND w, LPARAM p) {
    TitleSearch* s = reinterpret_cast<TitleSearch*>(p);
    if (IsWindowVisible(w) && WindowText(w).find(s->text) != std::string::npos) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace detail

// Polls until a visible top-level window of any process has a title containing the text; null
// after the time-out.
inline HWND WaitForTitle(const std::string& text, DWORD milliseconds = 30000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 100) {
        detail::TitleSearch search{text, nullptr};
        EnumWindows(detail::MatchTitle, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(100);
    }
    return nullptr;
}

// Polls until the window is destroyed or hidden.
inline bool WaitUntilGone(HWND window, DWORD milliseconds = 30000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 100) {
        if (!IsWindow(window) || !IsWindowVisible(window)) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The whole file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
}

// Writes the bytes as the whole file; false when it cannot be written.
inline bool WriteTextFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

} // namespace nebcm::testing
