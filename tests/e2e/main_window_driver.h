// Drives the installed program's main window from a test: starts and ends it, reads and writes
// the platform's registry values, types into controls and renders trees as indented outlines.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <string>

#include "e2e/installed_core.h"
#include "e2e/remote_tree.h"
#include "support/window_driver.h"

namespace nebcm::testing {

inline const char kPlatformKey[] = "Software\\Tessaly\\NEB\\2.0";
inline const char kJavaKey[] = "Software\\Tessaly\\NEB\\2.0\\Java";
// What ReadValue gives for a value that is not there, so that "" stays an ordinary value.
inline const char kMissing[] = "<missing>";

// Main window controls and menu commands.
enum : int {
    kTree = 1029,
    kInstallButton = 1030,
    kRemoveButton = 1031,
    kExitButton = 1032,
    kJavaCommand = 32779,
    kByProductCommand = 32781,
    kByPackageCommand = 32782,
    kByStereotypeCommand = 32780,
    kAboutCommand = 32774,
    kExitCommand = 32778,
};

// Wizard sheet buttons.
enum : int { kSheetBack = 0x3023, kSheetNext = 0x3024, kSheetFinish = 0x3025 };

inline std::string ReadValue(const char* key, const char* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return kMissing;
    }
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    LONG status =
        RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? std::string(data) : std::string(kMissing);
}

inline bool WriteValue(const char* key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status =
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

// Polls until the condition holds; false after the time-out.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 30000) {
    for (DWORD waited = 0;; waited += 50) {
        if (condition()) {
            return true;
        }
        if (waited >= milliseconds) {
            return false;
        }
        Sleep(50);
    }
}

// Every item of a tree, one a line, indented two blanks per level.
inline std::string Outline(HWND tree) {
    std::string text;
    for (const TreeEntry& entry : TreeItems(tree)) {
        text += std::string(static_cast<std::size_t>(entry.depth) * 2, ' ') + entry.text + "\n";
    }
    return text;
}

// Polls until the tree shows the outline; the outline last seen otherwise.
inline std::string WaitForOutline(HWND tree, const std::string& wanted,
                                  DWORD milliseconds = 30000) {
    std::string seen;
    WaitUntil(
        [&] {
            seen = Outline(tree);
            return seen == wanted;
        },
        milliseconds);
    return seen;
}

// Pictures of the extension tree's image list.
enum : int { kClosedFolder = 0, kOpenFolder = 1 };

// The picture an item of a tree in another process shows; -1 when it cannot be read.
inline int TreeItemImage(HWND tree, HTREEITEM item) {
    RemoteBlock block(tree, sizeof(TVITEMA));
    TVITEMA tv = {};
    tv.mask = TVIF_IMAGE | TVIF_HANDLE;
    tv.hItem = item;
    if (!block.Valid() || !block.Write(0, &tv, sizeof tv) ||
        !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block.Address())) ||
        !block.Read(0, &tv, sizeof tv)) {
        return -1;
    }
    return tv.iImage;
}

inline HTREEITEM FindExactTreeItem(HWND tree, const std::string& text) {
    for (const TreeEntry& entry : TreeItems(tree)) {
        if (entry.text == text) {
            return entry.item;
        }
    }
    return nullptr;
}

// The text a control shows. GetWindowText does not ask a window of another process, so an edit
// there would always read as its initial text.
inline std::string ControlText(HWND control) {
    char text[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_NORMAL, 10000, &length)) {
        return std::string();
    }
    return std::string(text, length < sizeof text ? length : sizeof text - 1);
}

// Types the text into an edit as keystrokes would, replacing what it held; what the edit shows
// afterwards.
inline std::string TypeInto(HWND edit, const std::string& text) {
    PostMessageA(edit, EM_SETSEL, 0, -1);
    PostMessageA(edit, WM_CHAR, VK_BACK, 1);
    for (char c : text) {
        PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    std::string shown;
    WaitUntil(
        [&] {
            shown = ControlText(edit);
            return shown == text;
        },
        10000);
    return shown;
}

namespace detail {
struct ControlSearch {
    int id;
    HWND found;
};
inline BOOL CALLBACK MatchControl(HWND w, LPARAM p) {
    ControlSearch* s = reinterpret_cast<ControlSearch*>(p);
    if (GetDlgCtrlID(w) == s->id && IsWindowVisible(GetParent(w))) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}
} // namespace detail

// A control of the wizard's visible page (pages are child dialogs of the sheet).
inline HWND PageControl(HWND sheet, int id, DWORD milliseconds = 30000) {
    detail::ControlSearch search{id, nullptr};
    WaitUntil(
        [&] {
            EnumChildWindows(sheet, detail::MatchControl, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        milliseconds);
    return search.found;
}

// Polls until a dialog of the process shows the text among its static texts; null after the
// time-out.
inline HWND WaitForDialogShowing(DWORD pid, const std::string& text, DWORD milliseconds = 120000) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : DialogsOf(pid)) {
                if (IsWindowVisible(dialog) &&
                    StaticTexts(dialog).find(text) != std::string::npos) {
                    found = dialog;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

// Holds a file open without sharing, as a running program using it would.
class LockedFile {
public:
    explicit LockedFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Where an item of a tree in another process shows on the screen (the middle of its text),
// scrolled into view first; false when it cannot be told.
inline bool ItemOnScreen(HWND tree, HTREEITEM item, POINT& point) {
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    RemoteBlock block(tree, sizeof(RECT));
    RECT rect = {};
    *reinterpret_cast<HTREEITEM*>(&rect) = item;
    if (!block.Valid() || !block.Write(0, &rect, sizeof rect) ||
        !SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(block.Address())) ||
        !block.Read(0, &rect, sizeof rect)) {
        return false;
    }
    point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return ClientToScreen(tree, &point) != 0;
}

// A click of the mouse at a point of the screen, as the user's hand makes it.
inline void ClickAt(POINT point, bool right) {
    SetCursorPos(point.x, point.y);
    Sleep(100);
    INPUT input[2] = {};
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
    }
    input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
}

// Alt and a key pressed together, as the user's hand presses them; letters by their capital.
inline void PressAltWith(WORD key) {
    INPUT input[4] = {};
    const WORD keys[4] = {VK_MENU, key, key, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = keys[i];
        input[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, input, sizeof(INPUT));
}

// Right-clicks the item and picks the only entry of the menu that opens, "More information";
// the details dialog that shows, or null.
inline HWND MoreInformation(HWND tree, HTREEITEM item) {
    POINT point;
    if (!ItemOnScreen(tree, item, point)) {
        return nullptr;
    }
    ClickAt(point, true);
    HWND menu = nullptr;
    if (!WaitUntil(
            [&] {
                menu = FindWindowA("#32768", nullptr);
                return menu != nullptr && IsWindowVisible(menu);
            },
            10000)) {
        return nullptr;
    }
    RECT entry;
    GetWindowRect(menu, &entry);
    ClickAt({(entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2}, false);
    HWND details = WaitForTitle("NEB Extension set details", 10000);
    return details != nullptr ? details : WaitForTitle("NEB Extension details", 1000);
}

// The installed program started with no command line, showing its main window.
class RunningManager {
public:
    RunningManager() = default;
    RunningManager(const RunningManager&) = delete;
    RunningManager& operator=(const RunningManager&) = delete;

    bool Start() {
        if (!process_.Start(kInstalledProgram)) {
            return false;
        }
        main_ = WaitForMainWindow();
        return main_ != nullptr;
    }
    HWND Main() const { return main_; }
    DWORD Id() const { return process_.Id(); }
    HWND Tree() const { return GetDlgItem(main_, kTree); }
    // Sends a menu command and waits until the window has handled it; for commands that open
    // no modal window.
    bool Command(int id) {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 30000,
                                   &ignored) != 0;
    }
    // Presses "Exit"; true when the program has ended.
    bool Exit() {
        PressButton(main_, kExitButton);
        return process_.Wait(30000) != STILL_ACTIVE;
    }
    // Closes the window from its system menu, as its title bar's close box does.
    bool Close() {
        PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return process_.Wait(30000) != STILL_ACTIVE;
    }
    bool CloseWithAltF4() {
        PressAltWith(VK_F4);
        return process_.Wait(30000) != STILL_ACTIVE;
    }
    bool ExitFromTheMenu() {
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(kExitCommand, 0), 0);
        return process_.Wait(30000) != STILL_ACTIVE;
    }

private:
    ChildProcess process_;
    HWND main_ = nullptr;
};

} // namespace nebcm::testing
