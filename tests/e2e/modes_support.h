// What the start-up and uninstallation scenarios look at besides windows: the program's
// processes, dialogs of whichever process shows them, and the registry, files and shortcuts a
// platform installation leaves on the machine.
#pragma once

#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "support/window_driver.h"

namespace nebcm::testing {

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

inline DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The full path of a running process's executable; empty when it cannot be had.
inline std::string ProcessImage(DWORD pid) {
    using Query = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    Query query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    std::string image;
    if (process != nullptr && query != nullptr) {
        char path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (query(process, 0, path, &size)) {
            image.assign(path, size);
        }
    }
    if (process != nullptr) {
        CloseHandle(process);
    }
    return image;
}

// The running processes of the configuration manager, under either of its names (the installed
// NebCM.exe and the temporary copy that uninstalls), as executable name by process id.
inline std::map<DWORD, std::string> ManagerProcesses() {
    std::map<DWORD, std::string> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return found;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        std::string name = Lower(entry.szExeFile);
        if (name == "nebcm.exe" || name == "nebcmu.exe") {
            found[entry.th32ProcessID] = entry.szExeFile;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// Waits until a process that this test did not start itself has ended.
inline bool WaitForProcessEnd(DWORD pid, DWORD milliseconds = 30000) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return true;
    }
    bool ended = WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

namespace detail {
struct TextSearch {
    DWORD pid; // 0: any process
    std::string text;
    HWND found;
};
inline BOOL CALLBACK MatchDialogText(HWND w, LPARAM p) {
    TextSearch* s = reinterpret_cast<TextSearch*>(p);
    if ((s->pid == 0 || ProcessOf(w) == s->pid) && IsWindowVisible(w) && ClassOf(w) == "#32770" &&
        StaticTexts(w).find(s->text) != std::string::npos) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace detail

// Polls until a visible dialog whose static texts contain the text shows; pid 0 looks at every
// process (the program hands its work on to new processes). Null after the time-out.
inline HWND WaitForDialogSaying(const std::string& text, DWORD pid = 0,
                                DWORD milliseconds = 60000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        detail::TextSearch search{pid, text, nullptr};
        EnumWindows(detail::MatchDialogText, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(50);
    }
    return nullptr;
}

// The text of a control in another process's dialog (WM_GETTEXT is carried across processes).
inline std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return std::string();
    }
    std::vector<char> text(65536);
    LRESULT n = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    return std::string(&text[0], n > 0 ? static_cast<std::size_t>(n) : 0);
}

// ---- Registry ----

inline bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// A string value ("" names the default value); false when the key or value is missing.
inline bool ReadString(HKEY root, const std::string& path, const std::string& name,
                       std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char data[4096] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    value = data;
    return true;
}

// Every sub-key and value below a key, one line each, in a fixed order; empty when the key is
// missing. Two dumps compare equal when nothing below the key changed.
inline std::string RegistryDump(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::string();
    }
    std::string dump = "[" + path + "]\n";
    std::vector<std::string> lines;
    for (DWORD i = 0;; ++i) {
        char name[16384] = {};
        DWORD nameSize = sizeof name;
        BYTE data[8192] = {};
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        lines.push_back(std::string(name) + " (" + std::to_string(type) +
                        ") = " + std::string(reinterpret_cast<char*>(data), dataSize));
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines) {
        dump += line + "\n";
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        children.push_back(name);
    }
    RegCloseKey(key);
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) {
        dump += RegistryDump(root, path + "\\" + child);
    }
    return dump;
}

// ---- Files and shell folders ----

// Every file and directory below a directory with the size and write time of the files, one line
// each; empty when the directory is missing.
inline std::string TreeDump(const std::string& directory) {
    std::string dump;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return dump;
    }
    std::vector<std::string> lines;
    std::vector<std::string> subdirectories;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = directory + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            subdirectories.push_back(path);
        } else {
            lines.push_back(path + " " + std::to_string(found.nFileSizeLow) + " " +
                            std::to_string(found.ftLastWriteTime.dwLowDateTime));
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(lines.begin(), lines.end());
    std::sort(subdirectories.begin(), subdirectories.end());
    for (const std::string& line : lines) {
        dump += line + "\n";
    }
    for (const std::string& sub : subdirectories) {
        dump += sub + "\\\n" + TreeDump(sub);
    }
    return dump;
}

// Deletes a directory with everything in it, as a user does by hand.
inline bool DeleteTree(const std::string& directory) {
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = directory + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(directory.c_str()) != 0;
}

inline std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    return SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) ? std::string(path) : std::string();
}

inline std::string TemporaryDirectory() {
    char path[MAX_PATH] = {};
    DWORD n = GetTempPathA(MAX_PATH, path);
    return std::string(path, n);
}

} // namespace nebcm::testing
