// Unattended deployment end to end, in a fresh prefix with no display at all: setup.exe and
// NebCM.exe with -Unattended install, refuse, fail and remove without a window, with a log and an
// exit code, and leave the machine as the interactive runs leave it.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <cctype>
#include <sstream>
#include <string>

#include "e2e/installed_core.h"
#include "e2e/machine_state.h"
#include "e2e/modes_support.h"
#include "e2e/wizards_set.h"
#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

// The exit codes the README documents.
constexpr DWORD kSuccess = 0, kFailed = 1, kRefused = 2, kNothingToDo = 3, kAlreadyRunning = 4,
                kHandedOver = 6;
constexpr DWORD kLongRun = 240000;
constexpr DWORD kKilledBySeam = 197;

// The machine state without the files' write times, which differ between any two installations.
std::string Shape(const std::string& state) {
    std::istringstream lines(state);
    std::string line, shape;
    while (std::getline(lines, line)) {
        const std::size_t time = line.rfind(' ');
        const bool timed = line.find("\\") == 2 && time != std::string::npos &&
                           line.find_first_not_of("0123456789", time + 1) == std::string::npos;
        shape += (timed ? line.substr(0, time) : line) + "\n";
    }
    return shape;
}

DWORD RunProgram(const std::string& program, const std::string& arguments, DWORD wait = kLongRun) {
    ChildProcess process;
    if (!process.Start(program, arguments)) {
        return 0xFFFFFFFF;
    }
    return process.Wait(wait);
}

bool NoManagerLeft(DWORD milliseconds = 120000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 200) {
        if (ManagerProcesses().empty()) {
            return true;
        }
        Sleep(200);
    }
    return false;
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(UnattendedDeployment, LeavesTheMachineAsTheInteractiveFirstRunAndRemovalLeaveIt) {
    // Interactively first, as a user at the medium: setup.exe, the core installation wizard as
    // offered, then the installed copy's selection of the whole sample set.
    {
        ChildProcess setup;
        ASSERT_TRUE(setup.Start("C:\\medium\\setup.exe"));
        HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
        ASSERT_NE(wizard, nullptr) << "no core installation wizard";
        PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        HWND question = WaitForTitle("NEB 2.0 Configuration Manager");
        ASSERT_NE(question, nullptr) << "no question about the new directory";
        PressButton(question, 1007);
        HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 90000);
        ASSERT_NE(selection, nullptr);
        PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        HWND complete = WaitForTitle("Installation complete", 90000);
        ASSERT_NE(complete, nullptr);
        PressButton(complete, IDOK);
        ASSERT_TRUE(NoManagerLeft());
    }
    const std::string interactive = Shape(MachineState());
    ASSERT_TRUE(Holds(interactive, "apps\\viewer\\viewer.jar")) << interactive;
    ASSERT_NE(RequestAndConfirmUninstall(), nullptr);
    HWND completed = WaitForDialogSaying(
        "The NEB 2.0 has been successfully removed from your computer.", 0, 120000);
    ASSERT_NE(completed, nullptr);
    PressButton(completed, IDOK);
    ASSERT_TRUE(NoManagerLeft());
    const std::string removedInteractively = Shape(MachineState());

    // The same without a window: setup.exe waits for the whole installation.
    EXPECT_EQ(RunProgram("C:\\medium\\setup.exe", "-Unattended -Log C:\\first.log"), kSuccess);
    EXPECT_TRUE(ManagerProcesses().empty());
    EXPECT_EQ(Shape(MachineState()), interactive);

    // The installed copy hands the removal over to its temporary copy, which logs the result.
    EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Log C:\\remove.log -RemovePlatform"),
              kHandedOver);
    ASSERT_TRUE(NoManagerLeft());
    EXPECT_EQ(Shape(MachineState()), removedInteractively);
    const std::string log = ReadWholeFile("C:\\remove.log");
    EXPECT_TRUE(Holds(log, "exit code 6\r\n")) << log;
    EXPECT_TRUE(Holds(log, "Mode: -Unattended -Log \"C:\\remove.log\" -PerformUninstall\r\n"))
        << log;
    EXPECT_TRUE(Holds(log, "exit code 0\r\n")) << log;
    EXPECT_TRUE(Holds(log, "Removing NEB 2.0 files and directories...': Completed")) << log;
}

// A directory of its own below a folder the installation makes too, and everything else of the
// platform on the machine.
const char kAppsFolder[] = "C:\\Apps";
const char kChosenDirectory[] = "C:\\Apps\\NEB 20";
const char kRecoveredText[] =
    "The last NEB 2.0 installation or uninstallation was interrupted "
    "before it could finish. All the changes it had made have been undone";

std::string JournalFile() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\NEB Rollback\\Changes.jnl";
}

std::string FirstRunState() {
    return std::string(Exists(kAppsFolder) ? "C:\\Apps\\\n" : "") + TreeDump(kAppsFolder) +
           MachineState() + (Exists(JournalFile()) ? "journal\n" : "");
}

std::string FirstRunLine(const std::string& log, const std::string& set = kSampleSet) {
    return "-Unattended -Log " + log + " -Directory \"" + kChosenDirectory + "\" " + set;
}

// The medium's first unattended run, ended by the program's own test seam right after the
// journal entry k reached the disk. The installed copy that it hands the set over to inherits
// the seam and counts its own entries: with the sample set it has fewer than the core.
DWORD KilledFirstRun(int k, const std::string& set = kSampleSet) {
    SetEnvironmentVariableA("NEBCM_KILL_AFTER_RECORD", std::to_string(k).c_str());
    const DWORD code = RunProgram("C:\\medium\\NebCM.exe", FirstRunLine("C:\\killed.log", set));
    SetEnvironmentVariableA("NEBCM_KILL_AFTER_RECORD", nullptr);
    return code;
}

// A run that changes nothing once it has recovered: the removal of an extension that no
// installation has is refused, after the consistency check when a platform is installed.
DWORD ProbingRun(const std::string& log) {
    return RunProgram("C:\\medium\\NebCM.exe", "-Unattended -Log " + log + " -Remove nothing");
}

// The number of changes the core installation of a whole first run logged before it handed the
// set over to the installed copy.
int CoreChanges(const std::string& log) {
    const char started[] = "Configuration Manager 2.00 started";
    const std::size_t handOver = log.find(started, log.find(started) + 1);
    std::istringstream lines(log.substr(0, handOver));
    std::string line;
    int changes = 0;
    while (std::getline(lines, line)) {
        for (const char* change :
             {"Created the ", "Set the registry", "Deleted the ", "Changed the "}) {
            changes += Holds(line, change) ? 1 : 0;
        }
    }
    return changes;
}

TEST(UnattendedDeployment, AKilledFirstRunIsUndoneOrFinishedByTheNextRun) {
    // A whole first run, to count the core installation's journal entries, and its removal: the
    // machine is then one that had the platform once (the class files keep their plain type).
    ASSERT_EQ(RunProgram("C:\\medium\\NebCM.exe", FirstRunLine("C:\\whole.log")), kSuccess);
    const int entries = CoreChanges(ReadWholeFile("C:\\whole.log"));
    ASSERT_GT(entries, 40) << ReadWholeFile("C:\\whole.log");
    const auto removePlatform = [] {
        EXPECT_EQ(RunProgram(std::string(kChosenDirectory) + "\\NebCM.exe",
                             "-Unattended -RemovePlatform"),
                  kHandedOver);
        EXPECT_TRUE(NoManagerLeft());
        // The uninstallation removes its own directory, not the folder the user named it in.
        RemoveDirectoryA(kAppsFolder);
    };
    removePlatform();
    const std::string before = FirstRunState();
    ASSERT_FALSE(Holds(before, "NEB 20")) << before;

    // Killed before its commit: the next run says that everything was undone, finds no
    // platform, and the machine is as before, the folder the installation made included.
    for (int k : {1, 2, entries / 4, entries / 2, entries - 8, entries - 1, entries}) {
        ASSERT_EQ(KilledFirstRun(k), kKilledBySeam) << k;
        ASSERT_NE(FirstRunState(), before) << k;
        const std::string log = "C:\\next" + std::to_string(k) + ".log";
        EXPECT_EQ(ProbingRun(log), kRefused) << k;
        const std::string text = ReadWholeFile(log);
        EXPECT_TRUE(Holds(text, kRecoveredText)) << k << "\n" << text;
        EXPECT_EQ(FirstRunState(), before) << "killed after entry " << k;
        if (HasFailure()) {
            return;
        }
    }

    // Killed once the core had committed (at its commit entry, before the installed copy took
    // over the set): the next run finishes the commit without a word and finds a whole,
    // consistent platform; the set's extensions are not there.
    int k = entries + 1;
    for (; k < entries + 6; ++k) {
        ASSERT_EQ(KilledFirstRun(k), kKilledBySeam) << k;
        const std::string log = "C:\\committed" + std::to_string(k) + ".log";
        EXPECT_EQ(ProbingRun(log), kRefused) << k << "\n" << ReadWholeFile(log);
        if (!Holds(ReadWholeFile(log), kRecoveredText)) {
            break;
        }
        EXPECT_EQ(FirstRunState(), before) << "killed after entry " << k;
    }
    ASSERT_LT(k, entries + 6) << "the core installation never committed";
    EXPECT_TRUE(Exists(std::string(kChosenDirectory) + "\\njava.exe"));
    EXPECT_FALSE(Exists(std::string(kChosenDirectory) + "\\lib\\xml.jar"));
    EXPECT_FALSE(Exists(JournalFile()));
    removePlatform();
    ASSERT_EQ(FirstRunState(), before);

    // A set larger than the core: the installed copy is killed during its installation of the
    // set. The next run undoes that installation and finds the core whole and consistent.
    const std::string large = "C:\\large.nds";
    ASSERT_TRUE(WriteSet(large, {ManyFilesLibrary("large", 150, "1.00", "large")}));
    EXPECT_EQ(KilledFirstRun(entries + 40, large), kKilledBySeam);
    EXPECT_TRUE(Exists(std::string(kChosenDirectory) + "\\large\\part0.txt"));
    EXPECT_EQ(ProbingRun("C:\\large.log"), kRefused) << ReadWholeFile("C:\\large.log");
    EXPECT_TRUE(Holds(ReadWholeFile("C:\\large.log"), kRecoveredText));
    EXPECT_TRUE(Exists(std::string(kChosenDirectory) + "\\njava.exe"));
    EXPECT_FALSE(Exists(std::string(kChosenDirectory) + "\\large"));
}

TEST(UnattendedDeployment, SetupIntoAChosenDirectoryLogsWhatTheRegistryAndDiskHold) {
    const std::string dir = "C:\\Apps\\NEB 20";
    EXPECT_EQ(RunProgram("C:\\medium\\setup.exe",
                         "-Unattended -Directory \"" + dir + "\" -Log C:\\neb.log"),
              kSuccess);
    std::string path;
    EXPECT_TRUE(
        ReadString(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\NEB\\2.0", "InstallationPath", path));
    EXPECT_EQ(Lower(path), Lower(dir));
    const std::string log = ReadWholeFile("C:\\neb.log");
    for (const char* file :
         {"NebCM.exe", "njava.exe", "lib\\xml.jar", "lib\\util.jar", "lib\\parser.jar",
          "apps\\viewer\\viewer.jar", "apps\\editor\\editor.jar"}) {
        const std::string full = dir + "\\" + file;
        EXPECT_TRUE(Exists(full)) << full;
        EXPECT_TRUE(Holds(log, "Created the file '" + full + "'\r\n")) << full << "\n" << log;
    }
    EXPECT_TRUE(Holds(log, "\\NEB\\2.0\\InstallationPath'\r\n")) << log;
    EXPECT_TRUE(Holds(log, "Document Viewer.lnk'\r\n")) << log;
    EXPECT_TRUE(Holds(log, "Activity 'Copying files...': Completed\r\n")) << log;
    // Both runs end in the log: the installed copy's, then the first one's.
    const std::size_t copyEnd = log.find("End of the run, exit code 0\r\n");
    ASSERT_NE(copyEnd, std::string::npos) << log;
    EXPECT_NE(log.find("End of the run, exit code 0\r\n", copyEnd + 1), std::string::npos) << log;
    EXPECT_FALSE(Holds(log, "Error: ")) << log;
    // Every line is time-stamped and ends with CR LF.
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        ASSERT_GE(line.size(), 25u) << line;
        EXPECT_EQ(line.back(), '\r') << line;
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(line[0])) && line[4] == '-' &&
                    line[7] == '-' && line[10] == ' ' && line[13] == ':' && line[16] == ':' &&
                    line[19] == '.' && line[23] == ' ')
            << line;
    }

    // Everything is there in that version already: nothing is done, nothing changes.
    const std::string before = MachineState();
    EXPECT_EQ(RunProgram("C:\\medium\\setup.exe", "-Unattended"), kNothingToDo);
    EXPECT_EQ(MachineState(), before);
}

TEST(UnattendedDeployment, SelectsWhatIsNeededAndRefusesOrUndoesWithoutAChange) {
    EXPECT_EQ(RunProgram("C:\\medium\\NebCM.exe", "-Unattended -Select parser " + kSampleSet),
              kSuccess);
    EXPECT_TRUE(Exists(kInstallDir + "lib\\parser.jar"));
    EXPECT_TRUE(Exists(kInstallDir + "lib\\xml.jar"));
    EXPECT_TRUE(Exists(kInstallDir + "lib\\util.jar"));
    EXPECT_FALSE(Exists(kInstallDir + "apps\\viewer\\viewer.jar"));
    const std::string selected = MachineState();

    // The parser needs the library: its removal is refused, not widened.
    EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Log C:\\refused.log -Remove xml"),
              kRefused);
    EXPECT_EQ(MachineState(), selected);
    EXPECT_TRUE(Holds(ReadWholeFile("C:\\refused.log"),
                      "Error: The NEB extension 'xml' cannot be uninstalled while 'parser'"));
    EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Select nobody " + kSampleSet), kRefused);
    EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Bogus " + kSampleSet), kRefused);
    EXPECT_EQ(MachineState(), selected);

    // Another run holds the manager's mutex: the unattended run gives up after its wait.
    {
        HANDLE mutex = CreateMutexA(nullptr, TRUE, "NEB 2.0 Configuration Manager");
        ASSERT_NE(mutex, nullptr);
        const DWORD started = GetTickCount();
        EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Wait 2 " + kSampleSet, 60000),
                  kAlreadyRunning);
        EXPECT_GE(GetTickCount() - started, 1900u);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }

    // A library file held open stops the installation of the rest: everything is undone.
    {
        HANDLE held = CreateFileA((kInstallDir + "lib\\xml.jar").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Log C:\\failed.log " + kSampleSet),
                  kFailed);
        CloseHandle(held);
    }
    EXPECT_EQ(MachineState(), selected);
    const std::string failed = ReadWholeFile("C:\\failed.log");
    EXPECT_TRUE(Holds(failed, "Error: Cannot ")) << failed;
    EXPECT_TRUE(Holds(failed, "lib\\xml.jar")) << failed;
    EXPECT_TRUE(Holds(failed, "End of the run, exit code 1\r\n")) << failed;

    // Dependents first, then what they needed.
    EXPECT_EQ(RunProgram(kInstalledProgram, "-Unattended -Remove parser,xml"), kSuccess);
    EXPECT_FALSE(Exists(kInstallDir + "lib\\parser.jar"));
    EXPECT_FALSE(Exists(kInstallDir + "lib\\xml.jar"));
    EXPECT_TRUE(Exists(kInstallDir + "lib\\util.jar"));
    EXPECT_TRUE(ManagerProcesses().empty());
}

} // namespace
} // namespace nebcm::testing
