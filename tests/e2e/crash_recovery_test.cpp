// A procedure killed from outside, end to end: an extension installation stopped while it copies
// over an earlier version, and the temporary copy's platform uninstallation stopped after the
// files and the registration have gone. The next start of the program says that the changes have
// been undone, and by then the machine is as it was before the procedure.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <cstdlib>
#include <string>

#include "e2e/installed_core.h"
#include "e2e/machine_state.h"
#include "e2e/main_window_driver.h"
#include "e2e/modes_support.h"
#include "e2e/wizards_set.h"
#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

const char kUndoneText[] =
    "The last NEB 2.0 installation or uninstallation was interrupted before it could finish. All "
    "the changes it had made have been undone";
const char kSets[] = "C:\\crash";
const int kFileCount = 200;

// Ends a process at once, as a crash or the task manager would: nothing of it runs any more.
bool Kill(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return false;
    }
    bool killed =
        TerminateProcess(process, 137) != 0 && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return killed;
}

// Runs the installed program on a set and finishes its wizard; the progress window, or null.
HWND StartSetInstallation(ChildProcess& program, const std::string& set) {
    if (!program.Start(kInstalledProgram, set)) {
        return nullptr;
    }
    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 90000);
    if (selection == nullptr) {
        return nullptr;
    }
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND progress = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : DialogsOf(program.Id())) {
                if (IsWindowVisible(dialog) && GetDlgItem(dialog, 1027) != nullptr) {
                    progress = dialog;
                    return true;
                }
            }
            return false;
        },
        60000);
    return progress;
}

// The progress row (1 to 5) whose activity has this name, once it shows; 0 after the time-out.
int WaitForActivity(HWND progress, const std::string& name, DWORD milliseconds = 60000) {
    int found = 0;
    WaitUntil(
        [&] {
            for (int row = 1; row <= 5; ++row) {
                HWND control = GetDlgItem(progress, 1017 + 2 * (row - 1));
                if (IsWindowVisible(control) &&
                    ControlText(progress, GetDlgCtrlID(control)) == name) {
                    found = row;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

// Starts the program without a command line and waits for the notice of the undone procedure;
// the machine's state while it shows (before the main window could change anything), or a text
// that says what came instead.
std::string StateWhenTheNextStartReports(const std::string& program, ChildProcess& next) {
    if (!next.Start(program)) {
        return "(the program could not be started)";
    }
    HWND notice = WaitForDialogSaying(kUndoneText, next.Id(), 120000);
    if (notice == nullptr) {
        return "(no notice of the undone procedure)";
    }
    const std::string state = MachineState();
    PressButton(notice, IDOK);
    return state;
}

// Ends whatever the start went on to show: the main window by its Exit button, any dialog by OK.
void EndTheRun(ChildProcess& next) {
    HWND main = WaitForMainWindow(60000);
    if (main != nullptr) {
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
    }
    EXPECT_NE(next.Wait(30000), STILL_ACTIVE) << "the next start did not end";
}

TEST(InterruptedProcedures, AnInstallationKilledWhileCopyingIsUndoneAtTheNextStart) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA(kSets, nullptr);
    const std::string first = std::string(kSets) + "\\first.nds";
    const std::string second = std::string(kSets) + "\\second.nds";
    ASSERT_TRUE(WriteSet(first, {ManyFilesLibrary("crash", kFileCount, "1.00", "first")}));
    ASSERT_TRUE(WriteSet(second, {ManyFilesLibrary("crash", kFileCount, "1.10", "second")}));
    {
        ChildProcess program;
        ASSERT_NE(StartSetInstallation(program, first), nullptr);
        HWND complete = WaitForTitle("Installation complete", 120000);
        ASSERT_NE(complete, nullptr) << "the first version was not installed";
        PressButton(complete, IDOK);
        ASSERT_EQ(program.Wait(30000), 0u);
    }
    const std::string before = MachineState();

    // The newer version replaces every file; killed a quarter of the way through the copying.
    ChildProcess program;
    HWND progress = StartSetInstallation(program, second);
    ASSERT_NE(progress, nullptr) << "no progress window";
    const int copying = WaitForActivity(progress, "Copying files...");
    ASSERT_NE(copying, 0) << "no copying";
    const int status = 1018 + 2 * (copying - 1);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string text = ControlText(progress, status);
            return text.find("% complete") != std::string::npos && std::atoi(text.c_str()) >= 25;
        },
        60000))
        << ControlText(progress, status);
    ASSERT_TRUE(Kill(program.Id()));
    ASSERT_NE(MachineState(), before) << "killed before anything changed";

    ChildProcess next;
    EXPECT_EQ(StateWhenTheNextStartReports(kInstalledProgram, next), before);
    EndTheRun(next);
}

TEST(InterruptedProcedures, APlatformUninstallationKilledAfterTheFilesAreGoneIsUndone) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA(kSets, nullptr);
    const std::string set = std::string(kSets) + "\\platform.nds";
    ASSERT_TRUE(WriteSet(set, {ManyFilesLibrary("crash", 40, "1.00", "installed")}));
    {
        ChildProcess program;
        ASSERT_NE(StartSetInstallation(program, set), nullptr);
        HWND complete = WaitForTitle("Installation complete", 120000);
        ASSERT_NE(complete, nullptr);
        PressButton(complete, IDOK);
        ASSERT_EQ(program.Wait(30000), 0u);
    }
    const std::string before = MachineState();

    HWND progress = RequestAndConfirmUninstall();
    ASSERT_NE(progress, nullptr) << "no uninstallation progress";
    const DWORD worker = ProcessOf(progress);
    ASSERT_EQ(Lower(ProcessImage(worker)), Lower(TemporaryDirectory() + "NebCMu.exe"));
    // By the shortcut row the files and the registration are gone.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(progress, 1021)) != 0; }, 60000));
    ASSERT_FALSE(Exists(kInstalledProgram));
    ASSERT_TRUE(Kill(worker));

    // The installed program is gone with its directory: the medium's copy starts.
    ChildProcess next;
    EXPECT_EQ(StateWhenTheNextStartReports("C:\\medium\\NebCM.exe", next), before);
    EXPECT_TRUE(Exists(kInstalledProgram));
    EndTheRun(next);
}

} // namespace
} // namespace nebcm::testing
