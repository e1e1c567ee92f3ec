// One procedure at a time, end to end: while an extension installation started from the main
// window runs, neither its progress pauses nor its cancel question let the main window's buttons,
// menu commands, Alt+I/U/J or Exit start anything, and the installation ends exactly as one
// installation alone does.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/main_window_driver.h"
#include "e2e/modes_support.h"
#include "e2e/wizards_set.h"

namespace nebcm::testing {
namespace {

const char kSetPath[] = "C:\\nesting\\many.nds";
const int kFileCount = 300;

// Windows that a command of the main window would open, had it got through.
const char* const kStartedTitles[] = {
    "NEB 2.0 - Select NEB Distribution Set to install",
    "NEB 2.0 - Select NEB extensions to install",
    "NEB 2.0 - Select NEB extensions to uninstall",
    "NEB 2.0 Java Support",
    "About Configration Manager...",
    "NEB 2.0 Extension Uninstallation",
};

struct WindowCensus {
    std::vector<std::string> started; // titles of kStartedTitles that show
    int progressWindows = 0;          // windows with the progress window's Cancel (1027)
};

WindowCensus Census(DWORD pid) {
    WindowCensus census;
    for (HWND dialog : DialogsOf(pid)) {
        if (!IsWindowVisible(dialog)) {
            continue;
        }
        const std::string title = WindowText(dialog);
        for (const char* started : kStartedTitles) {
            if (title == started) {
                census.started.push_back(title);
            }
        }
        if (GetDlgItem(dialog, 1027) != nullptr) {
            ++census.progressWindows;
        }
    }
    return census;
}

// Presses everything of the main window that could start something: its buttons (Install,
// Remove, Exit), its menu commands, the keyboard menu's letters, the close commands, and, with
// keys, Alt+I, Alt+U and Alt+J on the keyboard, which reach whichever window is in front (not
// under the wizard, whose own buttons answer to some of those letters).
void KnockOnEveryDoor(HWND main, bool keys = true) {
    for (int id : {int(kInstallButton), int(kRemoveButton), int(kExitButton)}) {
        PressButton(main, id);
    }
    for (int id : {32775 /* Install extensions... */, 32776 /* Remove extensions... */,
                   int(kJavaCommand), int(kAboutCommand), int(kExitCommand)}) {
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    for (char letter : {'i', 'u', 'j'}) {
        PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, letter);
    }
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
    for (WORD key : keys ? std::vector<WORD>{'I', 'U', 'J'} : std::vector<WORD>{}) {
        PressAltWith(key);
        Sleep(100);
    }
}

// The main window's Install button pressed by the mouse, as the user's hand would. Windows of the
// program that cover it are moved aside first, as the user would drag them, so that the click
// reaches the main window itself.
void ClickInstallButton(HWND main) {
    RECT button;
    GetWindowRect(GetDlgItem(main, kInstallButton), &button);
    POINT point = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    // A disabled window is not found from a point, so the windows of the program are asked.
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    for (HWND dialog : DialogsOf(pid)) {
        RECT area;
        if (dialog != main && IsWindowVisible(dialog) && GetWindowRect(dialog, &area) &&
            PtInRect(&area, point)) {
            SetWindowPos(dialog, nullptr, button.right + 20, area.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    Sleep(200);
    ClickAt(point, false);
}

// A second of watching: true when no window was started beyond those that showed already (the
// wizard a step is taken under) and the number of progress windows stayed.
::testing::AssertionResult NothingStartsFor(DWORD pid, int progressWindows,
                                            const std::vector<std::string>& showing = {}) {
    for (int i = 0; i < 10; ++i) {
        Sleep(100);
        WindowCensus census = Census(pid);
        if (census.started != showing) {
            return ::testing::AssertionFailure()
                   << "started: " << (census.started.empty() ? "" : census.started.back());
        }
        if (census.progressWindows != progressWindows) {
            return ::testing::AssertionFailure()
                   << census.progressWindows << " progress windows instead of " << progressWindows;
        }
    }
    return ::testing::AssertionSuccess();
}

// The paths of a tree dump without sizes and times.
std::set<std::string> Names(const std::string& dump) {
    std::set<std::string> names;
    std::size_t at = 0;
    while (at < dump.size()) {
        std::size_t end = dump.find('\n', at);
        std::string line = dump.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() != '\\') {
            line = line.substr(0, line.rfind(' '));
            line = line.substr(0, line.rfind(' '));
        }
        names.insert(line);
    }
    return names;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(NoNestedProcedures, TheMainWindowStartsNothingWhileAnInstallationRuns) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA("C:\\nesting", nullptr);
    ASSERT_TRUE(WriteSet(kSetPath, {ManyFilesLibrary("many", kFileCount, "1.00", "many")}));
    const std::string installDir = kInstallDir.substr(0, kInstallDir.size() - 1);
    const std::set<std::string> namesBefore = Names(TreeDump(installDir));

    RunningManager manager;
    ASSERT_TRUE(manager.Start()) << "no main window";
    HWND main = manager.Main();
    PressButton(main, kInstallButton);
    HWND intro = WaitForTitle("NEB 2.0 - Select NEB Distribution Set to install");
    ASSERT_NE(intro, nullptr) << "no installation wizard";
    HWND path = PageControl(intro, 1061);
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(TypeInto(path, kSetPath), kSetPath);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(intro, kSheetNext)) != 0; }));
    PostMessageA(intro, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 60000);
    ASSERT_NE(selection, nullptr) << "the set was not read";
    // While the wizard is open the main window is shut as under any modal window.
    KnockOnEveryDoor(main, false);
    EXPECT_TRUE(NothingStartsFor(manager.Id(), 0, {"NEB 2.0 - Select NEB extensions to install"}))
        << "under the wizard";
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);

    HWND progress = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND dialog : DialogsOf(manager.Id())) {
                if (IsWindowVisible(dialog) && GetDlgItem(dialog, 1027) != nullptr) {
                    progress = dialog;
                    return true;
                }
            }
            return false;
        },
        60000))
        << "no progress window";
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes input during the procedure";

    // During the progress pauses.
    KnockOnEveryDoor(main);
    ClickInstallButton(main);
    EXPECT_TRUE(NothingStartsFor(manager.Id(), 1)) << "during the progress";

    // During the cancel question, whose own loop hands messages on.
    PressButton(progress, 1027);
    HWND question = WaitForDialogSaying(
        "Are you sure you want to cancel the NEB 2.0 software installation ?", manager.Id());
    ASSERT_NE(question, nullptr) << "no cancel question (the installation ended too soon?)";
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes input under the question";
    KnockOnEveryDoor(main);
    ClickInstallButton(main);
    // A second Cancel does not stack a second question.
    PressButton(progress, 1027);
    EXPECT_TRUE(NothingStartsFor(manager.Id(), 1)) << "during the cancel question";
    int questions = 0;
    for (HWND dialog : DialogsOf(manager.Id())) {
        questions += IsWindowVisible(dialog) && GetDlgItem(dialog, IDNO) != nullptr ? 1 : 0;
    }
    EXPECT_EQ(questions, 1) << "a second cancel question";
    PressButton(question, IDNO);

    HWND complete = WaitForTitle("Installation complete", 120000);
    ASSERT_NE(complete, nullptr) << "the installation did not complete";
    EXPECT_NE(StaticTexts(complete).find("1 NEB Extension(s) have been successfully installed."),
              std::string::npos)
        << StaticTexts(complete);
    KnockOnEveryDoor(main);
    EXPECT_TRUE(NothingStartsFor(manager.Id(), 0)) << "under the completion report";
    PressButton(complete, IDOK);
    ASSERT_TRUE(WaitUntilGone(complete));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != 0; }, 10000))
        << "the main window stays shut after the procedure";
    EXPECT_TRUE(NothingStartsFor(manager.Id(), 0)) << "after the procedure";
    EXPECT_EQ(ManagerProcesses().size(), 1u);

    // Exactly one installation's files and database.
    std::set<std::string> expected = namesBefore;
    expected.insert(installDir + "\\many\\");
    for (int i = 0; i < kFileCount; ++i) {
        const std::string file = installDir + "\\many\\part" + std::to_string(i) + ".txt";
        expected.insert(file);
        ASSERT_EQ(ReadWholeFile(file), "many " + std::to_string(i) + "\r\n") << file;
    }
    EXPECT_EQ(Names(TreeDump(installDir)), expected);
    const std::string database = ReadWholeFile(kInstallDir + "neb.cdb");
    EXPECT_EQ(Occurrences(database, "[Library:many]"), 1u) << database;
    EXPECT_EQ(Occurrences(database, "many/part"), static_cast<std::size_t>(kFileCount)) << database;

    EXPECT_TRUE(manager.Exit()) << "Exit does not work after the procedure";
}

} // namespace
} // namespace nebcm::testing
