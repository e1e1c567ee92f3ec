// Walks every window of the setup launcher and the configuration manager in one run, printing
// "SHOT name left top width height" whenever one is on screen; scripts/screenshots.sh takes the
// picture of that rectangle and answers by creating C:\shot.done.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>

#include "e2e/remote_tree.h"
#include "platform/handles_win32.h"
#include "support/window_driver.h"
#include "ui/resource.h"

namespace {

using namespace nebcm::testing;

const char kMedium[] = "C:\\medium\\";
const char kInstalled[] = "C:\\Program Files\\NEB\\20\\";
const char kAnswer[] = "C:\\shot.done";
const char kAppTitle[] = "NEB 2.0 Configuration Manager";

int missing = 0;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// What a visible top-level window must show to be the one wanted: a title (a part of it unless
// exact is set), a text among its static controls, a control id, a window class, an owner.
struct Want {
    std::string title;
    bool exact = false;
    std::string text;
    int child = 0;
    const char* cls = nullptr;
    DWORD pid = 0;
    HWND not1 = nullptr; // one window that does not count
};

struct Search {
    const Want* want;
    HWND found;
};

BOOL CALLBACK MatchWanted(HWND w, LPARAM p) {
    Search* s = reinterpret_cast<Search*>(p);
    const Want& want = *s->want;
    if (!IsWindowVisible(w) || w == want.not1) {
        return TRUE;
    }
    if (want.pid != 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != want.pid) {
            return TRUE;
        }
    }
    std::string title = WindowText(w);
    if (want.exact ? title != want.title : title.find(want.title) == std::string::npos) {
        return TRUE;
    }
    if (want.cls != nullptr && ClassOf(w) != want.cls) {
        return TRUE;
    }
    if (want.child != 0 && GetDlgItem(w, want.child) == nullptr) {
        return TRUE;
    }
    if (!want.text.empty() && StaticTexts(w).find(want.text) == std::string::npos) {
        return TRUE;
    }
    s->found = w;
    return FALSE;
}

HWND Find(const Want& want) {
    Search s{&want, nullptr};
    EnumWindows(MatchWanted, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitFor(const Want& want, DWORD milliseconds = 60000, DWORD step = 50) {
    for (DWORD waited = 0; waited < milliseconds; waited += step) {
        if (HWND w = Find(want)) {
            return w;
        }
        Sleep(step);
    }
    Say("MISSING " + want.title + " " + want.text);
    ++missing;
    return nullptr;
}

HWND WaitForTitled(const char* title, DWORD milliseconds = 60000) {
    Want want;
    want.title = title;
    return WaitFor(want, milliseconds);
}

// Asks for the picture of a rectangle of the screen and waits until it is taken.
void ShotRect(const char* name, const RECT& r) {
    DeleteFileA(kAnswer);
    char line[256];
    std::snprintf(line, sizeof line, "SHOT %s %ld %ld %ld %ld", name, r.left, r.top,
                  r.right - r.left, r.bottom - r.top);
    Say(line);
    for (int waited = 0; waited < 300 && GetFileAttributesA(kAnswer) == INVALID_FILE_ATTRIBUTES;
         ++waited) {
        Sleep(100);
    }
    DeleteFileA(kAnswer);
}

// Lets the window paint, then takes it.
void Shot(const char* name, HWND w, DWORD paint = 600) {
    if (w == nullptr) {
        return;
    }
    Sleep(paint);
    RECT r;
    GetWindowRect(w, &r);
    ShotRect(name, r);
}

// Holds the thread of a short-lived window still while it is taken.
class Frozen {
public:
    explicit Frozen(HWND w) {
        using OpenThreadFn = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);
        auto open = reinterpret_cast<OpenThreadFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "OpenThread")));
        DWORD tid = GetWindowThreadProcessId(w, nullptr);
        if (open != nullptr && tid != 0) {
            thread_ = open(THREAD_SUSPEND_RESUME, FALSE, tid);
            if (thread_ != nullptr) {
                SuspendThread(thread_);
            }
        }
    }
    ~Frozen() {
        if (thread_ != nullptr) {
            ResumeThread(thread_);
            CloseHandle(thread_);
        }
    }
    Frozen(const Frozen&) = delete;
    Frozen& operator=(const Frozen&) = delete;

    // Lets the thread run for a moment.
    void Step(DWORD milliseconds) {
        if (thread_ != nullptr) {
            ResumeThread(thread_);
            Sleep(milliseconds);
            SuspendThread(thread_);
        }
    }

private:
    HANDLE thread_ = nullptr;
};

void ShotFrozen(const char* name, HWND w, DWORD paint) {
    if (w == nullptr) {
        return;
    }
    Sleep(paint);
    Frozen frozen(w);
    RECT r;
    GetWindowRect(w, &r);
    ShotRect(name, r);
}

// A picture that this run could not take: its number stays taken, so that the others keep theirs.
void Skip(const char* name) {
    Say(std::string("SKIP ") + name);
}

// Polls closely for a window that may be on screen for a few milliseconds only; null if it was
// not seen.
HWND WaitForBrief(const Want& want, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 2) {
        if (HWND w = Find(want)) {
            return w;
        }
        Sleep(2);
    }
    return nullptr;
}

BOOL CALLBACK ChildNeedsPaint(HWND child, LPARAM p) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(p) = true;
        return FALSE;
    }
    return TRUE;
}

// Whether the window or one of its controls still has something to paint.
bool NeedsPaint(HWND w) {
    bool needs = GetUpdateRect(w, nullptr, FALSE) != FALSE;
    if (!needs) {
        EnumChildWindows(w, ChildNeedsPaint, reinterpret_cast<LPARAM>(&needs));
    }
    return needs;
}

// Takes a short-lived window once it has painted itself, if it is still there by then.
void CatchBrief(const char* name, HWND w, DWORD settle) {
    // Held at once, then let on in small steps until it has painted itself.
    Frozen frozen(w);
    for (int step = 0; step < 100 && IsWindowVisible(w) && NeedsPaint(w); ++step) {
        frozen.Step(1);
    }
    frozen.Step(settle);
    if (!IsWindow(w) || !IsWindowVisible(w) || NeedsPaint(w)) {
        Skip(name);
        return;
    }
    RECT r;
    GetWindowRect(w, &r);
    ShotRect(name, r);
}

void Press(HWND w, int id) {
    if (w != nullptr) {
        PressButton(w, id);
    }
}

void Gone(HWND w) {
    if (w != nullptr) {
        WaitUntilGone(w, 30000);
    }
}

void Wizard(HWND sheet, int button) {
    if (sheet != nullptr) {
        PostMessageA(sheet, PSM_PRESSBUTTON, button, 0);
    }
}

HWND PageOf(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// Types into an edit control of another process (the text travels with WM_SETTEXT, and the
// control tells its dialog about the change as typing does).
void SetEdit(HWND dialog, int id, const char* text) {
    if (HWND edit = GetDlgItem(dialog, id)) {
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
}

// A procedure's progress window, then Cancel and the question it asks, answered "No" so that the
// procedure goes on.
void ShootProgressAndItsCancelQuestion(const char* title, const char* progressShot, DWORD freeze,
                                       const char* questionText, const char* questionShot) {
    Want progress;
    progress.title = title;
    progress.child = IDC_PROGRESS_CANCEL;
    HWND dialog = WaitFor(progress, 30000);
    if (dialog == nullptr) {
        return;
    }
    ShotFrozen(progressShot, dialog, freeze);
    Press(dialog, IDC_PROGRESS_CANCEL);
    Want question;
    question.title = title;
    question.text = questionText;
    if (HWND q = WaitFor(question, 20000)) {
        Shot(questionShot, q);
        Press(q, IDNO);
        Gone(q);
    }
}

void Command(HWND w, int id) {
    if (w != nullptr) {
        PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
}

void ExpandAll(HWND tree) {
    for (const TreeEntry& entry : TreeItems(tree)) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(entry.item));
    }
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0,
                 reinterpret_cast<LPARAM>(TreeNext(tree, nullptr, TVGN_ROOT)));
}

// The centre of a tree item on the screen.
bool ItemCentre(HWND tree, HTREEITEM item, POINT& point) {
    RemoteBlock block(tree, sizeof(RECT));
    // The message takes the item in the first field of the rectangle it fills.
    RECT r = {};
    if (!block.Valid() || !block.Write(0, &item, sizeof item) ||
        !SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(block.Address())) ||
        !block.Read(0, &r, sizeof r)) {
        return false;
    }
    point.x = (r.left + r.right) / 2;
    point.y = (r.top + r.bottom) / 2;
    ClientToScreen(tree, &point);
    return true;
}

void Click(POINT at, DWORD down, DWORD up) {
    SetCursorPos(at.x, at.y);
    Sleep(150);
    mouse_event(down, 0, 0, 0, 0);
    Sleep(80);
    mouse_event(up, 0, 0, 0, 0);
}

RECT Union(HWND a, HWND b) {
    RECT ra, rb, r;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    UnionRect(&r, &ra, &rb);
    return r;
}

bool Start(ChildProcess& process, const std::string& program, const std::string& arguments = "") {
    if (!process.Start(program, arguments)) {
        Say("CANNOT START " + program);
        ++missing;
        return false;
    }
    return true;
}

void WriteText(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// A file held open without sharing, so that nothing else can remove or replace it.
class Locked {
public:
    explicit Locked(const std::string& path) {
        file_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~Locked() {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
        }
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    HANDLE file_;
};

// The setup launcher without its information file beside it.
void SetupWithoutInformationFile() {
    CreateDirectoryA("C:\\lonely", nullptr);
    CopyFileA("C:\\medium\\setup.exe", "C:\\lonely\\setup.exe", FALSE);
    ChildProcess setup;
    if (!Start(setup, "C:\\lonely\\setup.exe")) {
        return;
    }
    Want want;
    want.pid = setup.Id();
    want.text = "information file";
    HWND box = WaitFor(want, 30000);
    Shot("setup-fatal-message", box);
    Press(box, IDOK);
    setup.Wait(10000);
    DeleteFileA("C:\\lonely\\setup.exe");
    RemoveDirectoryA("C:\\lonely");
}

// The first run from the medium, with a look at every question of the directory page on the way.
void FirstRun() {
    ChildProcess setup;
    if (!Start(setup, std::string(kMedium) + "setup.exe")) {
        return;
    }
    HWND sheet = WaitForTitled("NEB 2.0 - Select installation directory");
    if (sheet == nullptr) {
        return;
    }
    Shot("core-wizard", sheet);
    HWND page = PageOf(sheet);

    Press(page, IDC_BROWSE);
    Want browse;
    browse.title = "Select NEB 2.0 installation directory";
    if (HWND dialog = WaitFor(browse, 20000)) {
        HWND tree = GetDlgItem(dialog, IDC_FOLDER_TREE);
        HTREEITEM drive = TreeNext(tree, nullptr, TVGN_ROOT);
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(drive));
        POINT at;
        HTREEITEM folder = FindTreeItem(tree, "Program Files");
        if (folder != nullptr && ItemCentre(tree, folder, at)) {
            Click(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
        }
        Shot("installation-directory-dialog", dialog);
        Press(dialog, IDCANCEL);
        Gone(dialog);
    }

    // An existing directory: the installation would overwrite it.
    SetEdit(page, IDC_INSTALLATION_DIRECTORY, "C:\\Program Files\\Common Files");
    Sleep(300);
    Wizard(sheet, PSBTN_FINISH);
    Want exists;
    exists.title = kAppTitle;
    exists.child = IDC_DIRECTORY_PATH;
    exists.text = "already exists";
    if (HWND dialog = WaitFor(exists, 20000)) {
        Shot("directory-exists-question", dialog);
        Press(dialog, IDCANCEL);
        Gone(dialog);
    }

    // A drive that is not there: the directory cannot be made.
    SetEdit(page, IDC_INSTALLATION_DIRECTORY, "Q:\\NEB\\20");
    Sleep(300);
    Wizard(sheet, PSBTN_FINISH);
    Want create;
    create.title = kAppTitle;
    create.child = IDC_DIRECTORY_PATH;
    create.text = "does not exist";
    if (HWND dialog = WaitFor(create, 20000)) {
        Press(dialog, IDC_FIRST_CHOICE);
        Gone(dialog);
    }
    Want notCreated = exists;
    notCreated.text = "could not be created";
    if (HWND dialog = WaitFor(notCreated, 20000)) {
        Shot("directory-not-created", dialog);
        Press(dialog, IDC_FIRST_CHOICE);
        Gone(dialog);
    }

    SetEdit(page, IDC_INSTALLATION_DIRECTORY, "C:\\Program Files\\NEB\\20");
    Sleep(300);
    Wizard(sheet, PSBTN_FINISH);
    if (HWND dialog = WaitFor(create, 20000)) {
        Shot("create-directory-question", dialog);
        Press(dialog, IDC_FIRST_CHOICE);
    }

    ShootProgressAndItsCancelQuestion("NEB 2.0 Installation", "core-installation-progress", 3200,
                                      "Are you sure", "core-installation-cancel-question");

    // The installed copy takes over with the set: it checks itself, reads and folds the set.
    Want splash;
    splash.title = "";
    splash.exact = true;
    splash.child = IDC_MESSAGE_ICON;
    splash.cls = "#32770";
    HWND check = WaitFor(splash, 120000, 10);
    ShotFrozen("consistency-check", check, 150);

    Want reading;
    reading.title = "";
    reading.exact = true;
    reading.cls = "#32770";
    reading.child = IDC_SET_PROGRESS;
    HWND first = WaitForBrief(reading, 30000);
    if (first != nullptr) {
        CatchBrief("reading-set", first, 25); // a moment more to show some progress
        reading.not1 = first;
    } else {
        Skip("reading-set");
    }
    HWND second = first != nullptr ? WaitForBrief(reading, 3000) : nullptr;
    if (second != nullptr) {
        CatchBrief("folding-set", second, 2);
    } else {
        Skip("folding-set");
    }

    sheet = WaitForTitled("NEB 2.0 - Select NEB extensions to install", 60000);
    if (sheet == nullptr) {
        return;
    }
    page = PageOf(sheet);
    Sleep(500);
    ExpandAll(GetDlgItem(page, IDC_SELECTION_TREE));
    Shot("select-extensions-to-install", sheet);
    Press(page, IDC_VIEW_BY_STEREOTYPE);
    Sleep(500);
    ExpandAll(GetDlgItem(page, IDC_SELECTION_TREE));
    Shot("select-extensions-to-install-by-stereotype", sheet);
    Press(page, IDC_UNSELECT_ALL);
    Sleep(300);
    Wizard(sheet, PSBTN_FINISH);
    Want nothing;
    nothing.text = "You have not selected";
    if (HWND box = WaitFor(nothing, 20000)) {
        Shot("nothing-selected-message", box);
        Press(box, IDOK);
        Gone(box);
    }
    Press(page, IDC_SELECT_ALL);
    Sleep(300);
    Wizard(sheet, PSBTN_FINISH);

    ShootProgressAndItsCancelQuestion("NEB 2.0 Extension Installation",
                                      "extension-installation-progress", 2500, "Are you sure",
                                      "extension-installation-cancel-question");
    if (HWND done = WaitForTitled("Installation complete", 120000)) {
        Shot("installation-complete", done);
        Press(done, IDC_VIEW_INSTALLED);
        if (HWND list = WaitForTitled("Operation complete", 20000)) {
            Shot("installed-extensions-list", list);
            Press(list, IDOK);
            Gone(list);
        }
        Press(done, IDOK);
        Gone(done);
    }
    setup.Wait(5000);
    Sleep(2000);
}

HWND WaitForMain(ChildProcess& process) {
    Want main;
    main.title = kAppTitle;
    main.exact = true;
    main.child = IDC_MAIN_TREE;
    main.pid = process.Id();
    return WaitFor(main, 60000);
}

// Right-clicks an item of the main window's tree, takes the pop-up menu and picks its entry.
void MoreInformation(HWND main, const char* item, const char* menuShot, const char* title,
                     const char* shot) {
    HWND tree = GetDlgItem(main, IDC_MAIN_TREE);
    HTREEITEM found = FindTreeItem(tree, item);
    POINT at;
    if (found == nullptr || !ItemCentre(tree, found, at)) {
        Say(std::string("MISSING tree item ") + item);
        ++missing;
        return;
    }
    SetForegroundWindow(main);
    Click(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    Want menu;
    menu.title = "";
    menu.exact = true;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    menu.pid = pid;
    menu.cls = "#32768";
    HWND popup = WaitFor(menu, 10000);
    if (popup == nullptr) {
        return;
    }
    if (menuShot != nullptr) {
        Sleep(500);
        ShotRect(menuShot, Union(main, popup));
    }
    RECT r;
    GetWindowRect(popup, &r);
    POINT entry{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    Click(entry, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    if (HWND details = WaitForTitled(title, 20000)) {
        Shot(shot, details);
        Press(details, IDOK);
        Gone(details);
    }
}

// "Save log" onto a file that another program holds open: the log cannot be written.
void SaveLogOverHeldFile(HWND list) {
    WriteText("C:\\held.log", "");
    Locked held("C:\\held.log");
    Press(list, IDC_SAVE_LOG);
    HWND save = WaitForTitled("Save error log as...", 20000);
    if (save == nullptr) {
        return;
    }
    Sleep(500);
    SetEdit(save, 0x47c, "C:\\held.log");
    SetEdit(save, 0x480, "C:\\held.log");
    Shot("save-error-log", save, 500);
    Command(save, IDOK);
    Want replace;
    replace.text = "replace";
    if (HWND question = WaitFor(replace, 20000)) {
        Press(question, IDYES);
        Gone(question);
    }
    Want failed;
    failed.title = kAppTitle;
    failed.child = IDC_LOG_FILE_NAME;
    if (HWND dialog = WaitFor(failed, 20000)) {
        Shot("error-log-not-saved", dialog);
        Press(dialog, IDOK);
        Gone(dialog);
    }
}

void MainWindow() {
    ChildProcess manager;
    if (!Start(manager, std::string(kInstalled) + "NebCM.exe")) {
        return;
    }
    HWND main = WaitForMain(manager);
    if (main == nullptr) {
        return;
    }
    HWND tree = GetDlgItem(main, IDC_MAIN_TREE);
    Sleep(500);
    ExpandAll(tree);
    Shot("main-window-by-product", main);
    Command(main, ID_VIEW_BY_PACKAGE);
    Sleep(500);
    ExpandAll(tree);
    Shot("main-window-by-package", main);
    Command(main, ID_VIEW_BY_STEREOTYPE);
    Sleep(500);
    ExpandAll(tree);
    Shot("main-window-by-stereotype", main);

    MoreInformation(main, "Document Parsing Service", "tree-pop-up-menu", "NEB Extension details",
                    "extension-details");
    MoreInformation(main, "NEB Core", nullptr, "NEB Extension details", "core-details");
    MoreInformation(main, "Libraries", nullptr, "NEB Extension set details",
                    "extension-set-details");
    Command(main, ID_VIEW_BY_PRODUCT);
    Sleep(500);
    ExpandAll(tree);

    // The View menu from the keyboard.
    SetForegroundWindow(main);
    Sleep(300);
    keybd_event(VK_MENU, 0, 0, 0);
    keybd_event('V', 0, 0, 0);
    keybd_event('V', 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    Want menu;
    menu.title = "";
    menu.exact = true;
    menu.pid = manager.Id();
    menu.cls = "#32768";
    if (HWND popup = WaitFor(menu, 5000)) {
        Sleep(500);
        ShotRect("main-window-view-menu", Union(main, popup));
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
        Sleep(200);
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
        Sleep(500);
    }

    // A second start while this one runs.
    {
        ChildProcess second;
        if (Start(second, std::string(kInstalled) + "NebCM.exe")) {
            Want running;
            running.pid = second.Id();
            running.text = "could not be started";
            HWND dialog = WaitFor(running, 30000);
            Shot("already-running", dialog);
            Press(dialog, IDOK);
            second.Wait(10000);
        }
    }

    // The installation wizard started empty, given a set that cannot be read.
    WriteText("C:\\broken.nds", "This is not a distribution set at all.\r\n");
    Press(main, IDC_INSTALL_EXTENSIONS);
    if (HWND sheet = WaitForTitled("NEB 2.0 - Select NEB Distribution Set to install", 20000)) {
        Shot("install-extensions-wizard", sheet);
        Press(PageOf(sheet), IDC_BROWSE);
        if (HWND open = WaitForTitled("Select the NEB Distribution Set to install", 20000)) {
            // Typing a folder into the name box and pressing Open goes there.
            Sleep(500);
            SetEdit(open, 0x47c, "C:\\medium"); // the name box of the explorer style
            SetEdit(open, 0x480, "C:\\medium"); // and of the older style
            Command(open, IDOK);
            Shot("choose-distribution-set", open, 1000);
            Command(open, IDCANCEL);
            Gone(open);
        }
        SetEdit(PageOf(sheet), IDC_SET_PATH, "C:\\broken.nds");
        Sleep(300);
        Wizard(sheet, PSBTN_NEXT);
        Want failed;
        failed.title = kAppTitle;
        failed.child = IDC_VIEW_ERROR_LOG;
        failed.pid = manager.Id();
        if (HWND dialog = WaitFor(failed, 30000)) {
            Shot("extension-installation-failed", dialog);
            Press(dialog, IDC_VIEW_ERROR_LOG);
            Want log;
            log.title = kAppTitle;
            log.child = IDC_ERROR_TEXT;
            if (HWND list = WaitFor(log, 20000)) {
                Shot("error-list", list);
                SaveLogOverHeldFile(list);
                Press(list, IDOK);
                Gone(list);
            }
            Press(dialog, IDOK);
            Gone(dialog);
        }
        // A set that only has an older release of an installed library.
        Sleep(300);
        SetEdit(PageOf(sheet), IDC_SET_PATH, "C:\\older.nds");
        Sleep(300);
        Wizard(sheet, PSBTN_NEXT);
        if (HWND again = WaitForTitled("NEB 2.0 - Select NEB extensions to install", 30000)) {
            Sleep(500);
            Wizard(again, PSBTN_FINISH);
            if (HWND done = WaitForTitled("Installation complete", 120000)) {
                Shot("installation-complete-older-skipped", done);
                Press(done, IDC_VIEW_SKIPPED);
                if (HWND list = WaitForTitled("Operation complete", 20000)) {
                    Shot("skipped-extensions-list", list);
                    Press(list, IDOK);
                    Gone(list);
                }
                Press(done, IDOK);
                Gone(done);
            }
        }
        Gone(sheet);
    }

    // A Java launcher for the disk search to find.
    for (const char* dir : {"C:\\Program Files\\Java", "C:\\Program Files\\Java\\jre1.4",
                            "C:\\Program Files\\Java\\jre1.4\\bin"}) {
        CreateDirectoryA(dir, nullptr);
    }
    WriteText("C:\\Program Files\\Java\\jre1.4\\bin\\java.exe", "MZ");
    Command(main, ID_NEB_JAVA_SUPPORT);
    if (HWND java = WaitForTitled("NEB 2.0 Java Support", 20000)) {
        Shot("java-support", java);
        Press(java, IDC_SUN_VM);
        Sleep(300);
        Press(java, IDC_SUN_VM_FIND);
        Want search;
        search.title = "NEB 2.0 Java support";
        search.exact = true;
        if (HWND dialog = WaitFor(search, 20000)) {
            ShotFrozen("java-search", dialog, 1500);
            Press(dialog, IDCANCEL);
            Gone(dialog);
        }
        Press(java, IDCANCEL);
        Gone(java);
    }

    Command(main, ID_HELP_ABOUT);
    if (HWND about = WaitForTitled("About Configration Manager", 20000)) {
        Shot("about", about);
        Press(about, IDOK);
        Gone(about);
    }

    // Removing the viewer application.
    Press(main, IDC_REMOVE_EXTENSIONS);
    if (HWND sheet = WaitForTitled("NEB 2.0 - Select NEB extensions to uninstall", 20000)) {
        HWND page = PageOf(sheet);
        HWND selection = GetDlgItem(page, IDC_SELECTION_TREE);
        Sleep(500);
        ExpandAll(selection);
        if (HTREEITEM viewer = FindTreeItem(selection, "Sample Document Viewer")) {
            SetTreeItemChecked(selection, viewer, true);
        }
        Shot("select-extensions-to-uninstall", sheet);
        Wizard(sheet, PSBTN_FINISH);
        ShootProgressAndItsCancelQuestion("NEB 2.0 Extension Uninstallation",
                                          "extension-uninstallation-progress", 1500, "Are you sure",
                                          "extension-uninstallation-cancel-question");
        if (HWND done = WaitForTitled("Uninstallation complete", 60000)) {
            Shot("uninstallation-complete", done);
            Press(done, IDOK);
            Gone(done);
        }
    }

    // Removing the editor while one of its files is held open.
    Press(main, IDC_REMOVE_EXTENSIONS);
    if (HWND sheet = WaitForTitled("NEB 2.0 - Select NEB extensions to uninstall", 20000)) {
        Locked held(std::string(kInstalled) + "apps\\editor\\editor.jar");
        HWND page = PageOf(sheet);
        HWND selection = GetDlgItem(page, IDC_SELECTION_TREE);
        Sleep(500);
        ExpandAll(selection);
        if (HTREEITEM editor = FindTreeItem(selection, "Sample Text Editor")) {
            SetTreeItemChecked(selection, editor, true);
        }
        Sleep(300);
        Wizard(sheet, PSBTN_FINISH);
        Want failed;
        failed.title = kAppTitle;
        failed.child = IDC_VIEW_ERROR_LOG;
        failed.pid = manager.Id();
        if (HWND dialog = WaitFor(failed, 60000)) {
            Shot("extension-uninstallation-failed", dialog);
            Press(dialog, IDC_VIEW_ERROR_LOG);
            Want log;
            log.title = kAppTitle;
            log.child = IDC_ERROR_TEXT;
            if (HWND list = WaitFor(log, 20000)) {
                Shot("extension-uninstallation-problems", list);
                Press(list, IDOK);
                Gone(list);
            }
            Press(dialog, IDOK);
            Gone(dialog);
        }
    }

    Sleep(500);
    Press(main, IDC_EXIT);
    manager.Wait(20000);
}

// A set name that names nothing.
void UnknownSet() {
    ChildProcess manager;
    if (!Start(manager, std::string(kInstalled) + "NebCM.exe", "C:\\nowhere\\missing.nds")) {
        return;
    }
    Want box;
    box.pid = manager.Id();
    box.text = "cannot find";
    HWND dialog = WaitFor(box, 30000);
    Shot("unknown-set-message", dialog);
    Press(dialog, IDOK);
    manager.Wait(10000);
}

// A file of the installation goes missing; the manager offers to remove the platform, which is
// then done with the file back in place.
void CorruptInstallationAndUninstall() {
    const std::string file = std::string(kInstalled) + "lib\\util.jar";
    const std::string aside = file + ".aside";
    MoveFileA(file.c_str(), aside.c_str());
    ChildProcess manager;
    if (!Start(manager, std::string(kInstalled) + "NebCM.exe")) {
        return;
    }
    Want corrupt;
    corrupt.title = kAppTitle;
    corrupt.child = IDC_UNINSTALL_PLATFORM;
    corrupt.pid = manager.Id();
    HWND dialog = WaitFor(corrupt, 60000);
    if (dialog == nullptr) {
        MoveFileA(aside.c_str(), file.c_str());
        return;
    }
    Shot("installation-corrupt", dialog);
    Press(dialog, IDC_VIEW_PROBLEMS);
    Want log;
    log.title = kAppTitle;
    log.child = IDC_ERROR_TEXT;
    if (HWND list = WaitFor(log, 20000)) {
        Shot("installation-problems", list);
        Press(list, IDOK);
        Gone(list);
    }
    MoveFileA(aside.c_str(), file.c_str());
    Press(dialog, IDC_UNINSTALL_PLATFORM);
    manager.Wait(20000);

    Want confirm;
    confirm.title = "NEB 2.0 Uninstallation";
    confirm.text = "completely uninstall";
    if (HWND q = WaitFor(confirm, 30000)) {
        Shot("uninstall-confirmation", q);
        Press(q, IDYES);
        Gone(q);
    }
    ShootProgressAndItsCancelQuestion("NEB 2.0 Uninstallation", "platform-uninstallation-progress",
                                      1500, "Are you sure you want to cancel",
                                      "platform-uninstallation-cancel-question");
    Want completed;
    completed.title = "NEB 2.0";
    completed.exact = true;
    if (HWND done = WaitFor(completed, 60000)) {
        Shot("uninstall-completed", done);
        Press(done, IDOK);
        Gone(done);
    }
    Sleep(1500);
}

void SetRegistryString(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

// A 1.0 installation on the machine, and a directory whose program file is held open: the core
// installation asks for the upgrade policy, then cannot copy itself and undoes everything.
void FailedCoreInstallationBesideRelease10() {
    CreateDirectoryA("C:\\NEB10", nullptr);
    WriteText("C:\\NEB10\\neb.exe", "MZ");
    WriteText("C:\\NEB10\\neb.cdb", "[Core]\r\nVersion=100\r\nDescription=NEB Core\r\n"
                                    "Copyright=(c) 2001 Tessaly\r\nBase=C:\\NEB10\r\n"
                                    "File=neb.exe\r\n");
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\NEB\\1.0", 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        SetRegistryString(key, "InstallationPath", "C:\\NEB10");
        SetRegistryString(key, "ComponentDatabase", "C:\\NEB10\\neb.cdb");
        RegCloseKey(key);
    }
    CreateDirectoryA("C:\\Busy", nullptr);
    WriteText("C:\\Busy\\NebCM.exe", "MZ");
    {
        Locked held("C:\\Busy\\NebCM.exe");
        ChildProcess setup;
        if (Start(setup, std::string(kMedium) + "setup.exe")) {
            HWND sheet = WaitForTitled("NEB 2.0 - Select installation directory");
            if (sheet != nullptr) {
                HWND page = PageOf(sheet);
                SetEdit(page, IDC_INSTALLATION_DIRECTORY, "C:\\Busy");
                Sleep(300);
                Wizard(sheet, PSBTN_NEXT);
                Want exists;
                exists.title = kAppTitle;
                exists.child = IDC_DIRECTORY_PATH;
                exists.text = "already exists";
                if (HWND dialog = WaitFor(exists, 20000)) {
                    Press(dialog, IDC_FIRST_CHOICE);
                    Gone(dialog);
                }
                if (HWND upgrade = WaitForTitled("NEB 2.0 - Select upgrade policy", 20000)) {
                    Press(PageOf(upgrade), IDC_POLICY_ALONGSIDE);
                    Shot("core-wizard-upgrade-policy", upgrade);
                    Wizard(upgrade, PSBTN_FINISH);
                }
                Want failed;
                failed.title = kAppTitle;
                failed.child = IDC_VIEW_ERROR_LOG;
                failed.text = "Kernel has not been installed";
                if (HWND dialog = WaitFor(failed, 60000)) {
                    Shot("core-installation-failed", dialog);
                    Press(dialog, IDC_VIEW_ERROR_LOG);
                    Want log;
                    log.title = kAppTitle;
                    log.child = IDC_ERROR_TEXT;
                    if (HWND list = WaitFor(log, 20000)) {
                        Shot("core-installation-problems", list);
                        Press(list, IDOK);
                        Gone(list);
                    }
                    Press(dialog, IDOK);
                    Gone(dialog);
                }
            }
        }
        Sleep(1000);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\NEB\\1.0");
}

// A plain installation of the core, then its removal while one of its files is held open.
void FailedPlatformUninstallation() {
    {
        ChildProcess setup;
        if (!Start(setup, std::string(kMedium) + "setup.exe")) {
            return;
        }
        HWND sheet = WaitForTitled("NEB 2.0 - Select installation directory");
        if (sheet == nullptr) {
            return;
        }
        Wizard(sheet, PSBTN_FINISH);
        Want create;
        create.title = kAppTitle;
        create.child = IDC_DIRECTORY_PATH;
        if (HWND dialog = WaitFor(create, 20000)) {
            Press(dialog, IDC_FIRST_CHOICE);
        }
        // The installed copy opens the set; no extension is wanted this time.
        HWND selection = WaitForTitled("NEB 2.0 - Select NEB extensions to install", 120000);
        if (selection == nullptr) {
            return;
        }
        Sleep(500);
        Wizard(selection, PSBTN_CANCEL);
        Gone(selection);
        Sleep(1500);
    }
    const std::string copy = "C:\\windows\\temp\\nebcm-remover.exe";
    CopyFileA((std::string(kInstalled) + "NebCM.exe").c_str(), copy.c_str(), FALSE);
    Locked held(std::string(kInstalled) + "NebCM.hlp");
    ChildProcess remover;
    if (!Start(remover, copy, "-PerformUninstall")) {
        return;
    }
    Want failed;
    failed.title = "NEB 2.0 Uninstallation";
    failed.child = IDC_VIEW_ERROR_LOG;
    if (HWND dialog = WaitFor(failed, 60000)) {
        Shot("uninstall-failed", dialog);
        Press(dialog, IDOK);
        Gone(dialog);
    }
    remover.Wait(10000);
}

// The directory page refuses Windows itself, and the wizard stays open for another choice.
void ProtectedInstallationDirectory() {
    ChildProcess setup;
    if (!Start(setup, std::string(kMedium) + "setup.exe")) {
        return;
    }
    HWND sheet = WaitForTitled("NEB 2.0 - Select installation directory");
    if (sheet == nullptr) {
        return;
    }
    SetEdit(PageOf(sheet), IDC_INSTALLATION_DIRECTORY, "C:\\windows");
    Sleep(300);
    Wizard(sheet, PSBTN_FINISH);
    Want refused;
    refused.text = "cannot be used as the NEB 2.0 installation directory";
    if (HWND box = WaitFor(refused, 20000)) {
        Shot("protected-directory-message", box);
        Press(box, IDOK);
        Gone(box);
    }
    Wizard(sheet, PSBTN_CANCEL);
    setup.Wait(10000);
}

// The installation directory the platform's settings name, or the default one.
std::string InstalledDirectory() {
    std::string directory = kInstalled;
    nebcm::RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\NEB\\2.0", 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return directory;
    }
    char value[MAX_PATH] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "InstallationPath", nullptr, &type,
                         reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
        type == REG_SZ && value[0] != '\0') {
        directory = value;
        if (directory.back() != '\\') {
            directory += '\\';
        }
    }
    return directory;
}

// The demonstration's first run: the core into the directory the wizard offers, the installed
// copy's selection of the set as it comes, and the completion report with its list.
void DemoFirstRun() {
    ChildProcess setup;
    if (!Start(setup, std::string(kMedium) + "setup.exe")) {
        return;
    }
    HWND sheet = WaitForTitled("NEB 2.0 - Select installation directory");
    if (sheet == nullptr) {
        return;
    }
    Shot("core-wizard", sheet);
    Wizard(sheet, PSBTN_FINISH);
    // The directory is made (or, left from an earlier try, used again).
    Want question;
    question.title = kAppTitle;
    question.child = IDC_DIRECTORY_PATH;
    if (HWND dialog = WaitFor(question, 20000)) {
        Shot("directory-question", dialog);
        Press(dialog, IDC_FIRST_CHOICE);
    }
    Want progress;
    progress.title = "NEB 2.0 Installation";
    progress.child = IDC_PROGRESS_CANCEL;
    ShotFrozen("core-installation-progress", WaitFor(progress, 30000), 2500);

    Want splash;
    splash.title = "";
    splash.exact = true;
    splash.child = IDC_MESSAGE_ICON;
    splash.cls = "#32770";
    if (HWND check = WaitForBrief(splash, 120000)) {
        ShotFrozen("consistency-check", check, 150);
    }

    sheet = WaitForTitled("NEB 2.0 - Select NEB extensions to install", 120000);
    if (sheet == nullptr) {
        return;
    }
    Sleep(500);
    ExpandAll(GetDlgItem(PageOf(sheet), IDC_SELECTION_TREE));
    Shot("select-extensions-to-install", sheet);
    Wizard(sheet, PSBTN_FINISH);

    progress.title = "NEB 2.0 Extension Installation";
    ShotFrozen("extension-installation-progress", WaitFor(progress, 30000), 1500);
    if (HWND done = WaitForTitled("Installation complete", 120000)) {
        Shot("installation-complete", done);
        Press(done, IDC_VIEW_INSTALLED);
        if (HWND list = WaitForTitled("Operation complete", 20000)) {
            Shot("installed-extensions-list", list);
            Press(list, IDOK);
            Gone(list);
        }
        Press(done, IDOK);
        Gone(done);
    }
    setup.Wait(10000);
}

// The demonstration's later runs: the installed manager's main window with what it has.
void DemoMainWindow() {
    ChildProcess manager;
    if (!Start(manager, InstalledDirectory() + "NebCM.exe")) {
        return;
    }
    HWND main = WaitForMain(manager);
    if (main == nullptr) {
        return;
    }
    Sleep(500);
    ExpandAll(GetDlgItem(main, IDC_MAIN_TREE));
    Shot("main-window", main);
    Press(main, IDC_EXIT);
    manager.Wait(20000);
}

} // namespace

// Without arguments: every window, for the pictures of the documentation. "first-run" and
// "main-window": the two walks of the demonstration.
int main(int argc, char** argv) {
    DeleteFileA(kAnswer);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "first-run" || mode == "main-window") {
        if (mode == "first-run") {
            DemoFirstRun();
        } else {
            DemoMainWindow();
        }
        Say(missing == 0 ? "DONE" : "DONE with missing windows");
        return missing == 0 ? 0 : 1;
    }
    if (!mode.empty()) {
        Say("UNKNOWN MODE " + mode);
        return 2;
    }
    FirstRun();
    MainWindow();
    UnknownSet();
    CorruptInstallationAndUninstall();
    FailedCoreInstallationBesideRelease10();
    FailedPlatformUninstallation();
    SetupWithoutInformationFile();
    ProtectedInstallationDirectory();
    Say(missing == 0 ? "DONE" : "DONE with missing windows");
    return missing == 0 ? 0 : 1;
}
