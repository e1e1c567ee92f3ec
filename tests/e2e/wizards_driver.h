// Reads and drives the program's wizards from outside: the sheet's buttons, the active page, the
// check boxes of a selection tree, and the dialogs the wizards open.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/remote_tree.h"
#include "support/window_driver.h"

namespace nebcm::testing {

// The wizard buttons of the platform's property sheet.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

inline DWORD ProcessOf(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid;
}

// Text of a control of another process; edit controls keep their text to themselves, so it is
// asked for rather than read from the window.
inline std::string ControlText(HWND control) {
    char text[4096] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    text[sizeof text - 1] = '\0';
    return text;
}

// Sets an edit's text as typing does (the owner hears of the change).
inline void SetControlText(HWND control, const std::string& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
}

inline HWND ActivePage(HWND sheet) {
    DWORD_PTR page = 0;
    SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
    return reinterpret_cast<HWND>(page);
}

// One word per wizard button: "hidden", "off" (shown, disabled) or "on".
inline std::string ButtonStates(HWND sheet) {
    struct Named {
        const char* name;
        int id;
    };
    const Named buttons[] = {{"Back", kBackButton},
                             {"Next", kNextButton},
                             {"Finish", kFinishButton},
                             {"Cancel", IDCANCEL},
                             {"Help", IDHELP}};
    std::string states;
    for (const Named& b : buttons) {
        HWND w = GetDlgItem(sheet, b.id);
        const char* state = w == nullptr || !IsWindowVisible(w) ? "hidden"
                            : IsWindowEnabled(w)                ? "on"
                                                                : "off";
        states += std::string(states.empty() ? "" : " ") + b.name + ":" + state;
    }
    return states;
}

// The buttons are set by a posted request, so they are waited for; the last states seen.
inline std::string WaitForButtons(HWND sheet, const std::string& expected, DWORD ms = 10000) {
    std::string seen = ButtonStates(sheet);
    for (DWORD waited = 0; seen != expected && waited < ms; waited += 50) {
        Sleep(50);
        seen = ButtonStates(sheet);
    }
    return seen;
}

// A shown dialog of the process whose static texts contain the text; null after the time-out.
inline HWND WaitForDialogShowing(DWORD pid, const std::string& text, DWORD ms = 30000) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        for (HWND dialog : DialogsOf(pid)) {
            if (IsWindowVisible(dialog) && StaticTexts(dialog).find(text) != std::string::npos) {
                return dialog;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

// The texts of the checked items of a tree (extension items read "<description> version <v>").
inline std::set<std::string> CheckedItems(HWND tree) {
    std::set<std::string> checked;
    for (const TreeEntry& e : TreeItems(tree)) {
        if (TreeItemChecked(tree, e.item)) {
            checked.insert(e.text);
        }
    }
    return checked;
}

inline std::string Listed(const std::set<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) {
        out += (out.empty() ? "" : ", ") + t;
    }
    return "{" + out + "}";
}

// The checked items once they are what is expected (the program redraws them at its poll); the
// last ones seen otherwise.
inline std::set<std::string> WaitForChecked(HWND tree, const std::set<std::string>& expected,
                                            DWORD ms = 10000) {
    std::set<std::string> seen = CheckedItems(tree);
    for (DWORD waited = 0; seen != expected && waited < ms; waited += 50) {
        Sleep(50);
        seen = CheckedItems(tree);
    }
    return seen;
}

inline BOOL CALLBACK CollectEdits(HWND w, LPARAM p) {
    if (ClassOf(w) == "Edit" && IsWindowVisible(w)) {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    }
    return TRUE;
}

inline BOOL CALLBACK DescribeChild(HWND w, LPARAM p) {
    *reinterpret_cast<std::string*>(p) += ClassOf(w) + "#" + std::to_string(GetDlgCtrlID(w)) +
                                          (IsWindowVisible(w) ? " " : "(hidden) ");
    return TRUE;
}

// The edit in which an open or save dialog takes a file name: its only visible edit; the
// dialog's controls are described in children for a failure message.
inline HWND FileNameEdit(HWND fileDialog, std::string& children) {
    std::vector<HWND> edits;
    EnumChildWindows(fileDialog, CollectEdits, reinterpret_cast<LPARAM>(&edits));
    EnumChildWindows(fileDialog, DescribeChild, reinterpret_cast<LPARAM>(&children));
    return edits.size() == 1 ? edits.front() : nullptr;
}

inline bool WaitForProcessEnd(DWORD pid, DWORD ms = 30000) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return true; // already gone
    }
    bool ended = WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

} // namespace nebcm::testing
