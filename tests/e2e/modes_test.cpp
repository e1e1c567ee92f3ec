// How NebCM.exe chooses what a run does, end to end: the uninstall request and the temporary copy
// that carries it out (completed, cancelled, or stopped short by a file in use), a declined or
// mistyped request, a corrupt installation, command lines that name no set, a machine without the
// platform, and setup.exe on incomplete copies of the medium.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>
#include <shlobj.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/installed_core.h"
#include "e2e/machine_state.h"
#include "e2e/modes_support.h"
#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

const char kPlatformKey[] = "Software\\Tessaly\\NEB\\2.0";

const char kCompletedText[] = "The NEB 2.0 has been successfully removed from your computer.";
const char kUninstallFailedText[] = "The NEB 2.0 could not be completely removed";
const char kCorruptText[] = "The NEB 2.0 installation on your computer is corrupt.";
const char kSetNotFoundText[] =
    "The NEB 2.0 Configuration Manager cannot find the NEB Distribution Set\n";

std::string UninstallerCopy() {
    return TemporaryDirectory() + "NebCMu.exe";
}

bool SearchPathHolds(const std::string& directory) {
    std::stringstream parts(SearchPath());
    std::string part;
    while (std::getline(parts, part, ';')) {
        if (Lower(part) == Lower(directory)) {
            return true;
        }
    }
    return false;
}

std::string InstallationPath() {
    std::string path;
    ReadString(HKEY_LOCAL_MACHINE, kPlatformKey, "InstallationPath", path);
    return path;
}

// The error list behind a failure report, to explain a failed run.
std::string ErrorLogBehind(HWND failure) {
    PressButton(failure, 1013);
    for (int i = 0; i < 100; ++i) {
        for (HWND dialog : DialogsOf(ProcessOf(failure))) {
            if (GetDlgItem(dialog, 1011) != nullptr) {
                return ControlText(dialog, 1011);
            }
        }
        Sleep(100);
    }
    return "(no error list)";
}

// Files in the temporary directory that look like the backups a transaction keeps ("neb"
// followed by a unique part); the uninstaller's own copy is not one.
std::vector<std::string> BackupsLeft() {
    std::vector<std::string> left;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((TemporaryDirectory() + "neb*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return left;
    }
    do {
        if (Lower(found.cFileName) != "nebcmu.exe") {
            left.push_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return left;
}

// Installs the sample set into the installed platform through its extension wizard.
void InstallTheSampleSet() {
    ChildProcess installed;
    ASSERT_TRUE(installed.Start(kInstalledProgram, kSampleSet));
    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 90000);
    ASSERT_NE(selection, nullptr) << "the installed program did not open the sample set";
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND complete = WaitForTitle("Installation complete", 90000);
    ASSERT_NE(complete, nullptr) << "no completion report";
    PressButton(complete, IDOK);
    ASSERT_EQ(installed.Wait(30000), 0u);
}

TEST(UninstallRequest, HandsOverToATemporaryCopyThatRemovesEveryTraceOfThePlatform) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ASSERT_NO_FATAL_FAILURE(InstallTheSampleSet());
    const std::string installation = InstallationPath();
    ASSERT_FALSE(installation.empty());
    ASSERT_TRUE(Exists(kInstallDir + "lib\\xml.jar"));
    ASSERT_TRUE(SearchPathHolds(installation)) << SearchPath();
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".nds"));
    std::string group;
    for (const std::string& candidate : StartMenuGroups()) {
        if (Exists(candidate + "\\Uninstall NEB.lnk")) {
            group = candidate;
        }
    }
    ASSERT_FALSE(group.empty()) << "no Start-menu group with the uninstall shortcut";
    ASSERT_TRUE(Exists(group + "\\Sample\\Document Viewer.lnk"));
    ASSERT_FALSE(Exists(UninstallerCopy()));

    // Blanks around the option (the shell and users add them) still select the request.
    ChildProcess request;
    ASSERT_TRUE(request.Start(kInstalledProgram, " \t-RequestUninstall \t "));
    HWND confirmation = WaitForDialogSaying(kConfirmationText, request.Id());
    ASSERT_NE(confirmation, nullptr) << "no confirmation";
    EXPECT_EQ(WindowText(confirmation), "NEB 2.0 Uninstallation");
    PressButton(confirmation, IDYES);

    // The installed program cannot remove its own directory: it copies itself to the temporary
    // directory, starts the copy and ends at once, and the copy does the work.
    EXPECT_EQ(request.Wait(30000), 0u);
    HWND progress = WaitForUninstallProgress();
    ASSERT_NE(progress, nullptr) << "no uninstallation progress";
    const DWORD worker = ProcessOf(progress);
    EXPECT_EQ(Lower(ProcessImage(worker)), Lower(UninstallerCopy()));

    HWND completed = WaitForDialogSaying(kCompletedText, worker, 120000);
    if (completed == nullptr) {
        HWND failed = WaitForDialogSaying(kUninstallFailedText, worker, 1000);
        FAIL() << "no completion report; "
               << (failed != nullptr ? ErrorLogBehind(failed) : "no failure report either");
    }
    EXPECT_EQ(WindowText(completed), "NEB 2.0");

    // Nothing of the platform is left, except the plain registration of .class files.
    EXPECT_FALSE(Exists(installation));
    EXPECT_FALSE(Exists(kProgramFilesFolder)) << "the emptied NEB folder stayed";
    EXPECT_FALSE(Exists(group));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPlatformKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCompanyKey)) << "the emptied maker's key stayed";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".nds"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "NebDistributionSet"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "JavaClassFile\\shell"));
    std::string value;
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, ".class", "", value) && value == "JavaClassFile")
        << value;
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, ".class", "Content Type", value) && value == "java/*")
        << value;
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, "JavaClassFile", "", value) &&
                value == "Java class file")
        << value;
    EXPECT_FALSE(SearchPathHolds(installation)) << SearchPath();
    // A running program cannot delete itself: the copy stays behind in the temporary directory.
    EXPECT_TRUE(Exists(UninstallerCopy()));
    EXPECT_TRUE(BackupsLeft().empty()) << BackupsLeft().front();

    PressButton(completed, IDOK);
    EXPECT_TRUE(WaitForProcessEnd(worker));
    EXPECT_TRUE(ManagerProcesses().empty());
}

TEST(UninstallRequest, DeclinedOrMistypedLeavesThePlatformAsItWas) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::string before = MachineState();
    ASSERT_NE(before.find("NebCM.exe"), std::string::npos) << before;

    struct Case {
        const char* arguments;
        std::string text; // what the run asks or says
        int button;       // the answer
    };
    const Case cases[] = {
        {"-RequestUninstall", kConfirmationText, IDNO},
        // The option is matched exactly; in other letter case it is taken for a set's path.
        {"-requestuninstall", std::string(kSetNotFoundText) + "-requestuninstall", IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ChildProcess run;
        ASSERT_TRUE(run.Start(kInstalledProgram, c.arguments));
        HWND dialog = WaitForDialogSaying(c.text, run.Id());
        ASSERT_NE(dialog, nullptr) << "nothing says: " << c.text;
        PressButton(dialog, c.button);
        EXPECT_EQ(run.Wait(30000), 0u);
        EXPECT_TRUE(ManagerProcesses().empty()) << "another run was started";
        EXPECT_FALSE(Exists(UninstallerCopy()));
        EXPECT_EQ(MachineState(), before);
    }
}

TEST(UninstallRequest, CancelledDuringTheShortcutsBringsEverythingBack) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::string before = MachineState();

    HWND progress = RequestAndConfirmUninstall();
    ASSERT_NE(progress, nullptr) << "no uninstallation progress";
    const DWORD worker = ProcessOf(progress);
    // The third row is the shortcut activity; by then the files and the registration are gone.
    for (int i = 0; i < 600 && !IsWindowVisible(GetDlgItem(progress, 1021)); ++i) {
        Sleep(50);
    }
    ASSERT_EQ(ControlText(progress, 1021), "Removing NEB 2.0 shortcuts...");
    EXPECT_FALSE(Exists(kInstalledProgram));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPlatformKey));
    PressButton(progress, 1027);
    HWND question =
        WaitForDialogSaying("Are you sure you want to cancel the NEB 2.0 uninstallation ?", worker);
    ASSERT_NE(question, nullptr) << "no cancel question";
    PressButton(question, IDYES);

    EXPECT_TRUE(WaitForProcessEnd(worker, 60000));
    EXPECT_EQ(MachineState(), before);
    EXPECT_TRUE(BackupsLeft().empty()) << BackupsLeft().front();
}

TEST(UninstallRequest, AFileInUseIsReportedWhileEverythingElseGoes) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::string installation = InstallationPath();
    const std::string busy = kInstallDir + "neb\\core\\Platform.class";
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    HWND progress = RequestAndConfirmUninstall();
    ASSERT_NE(progress, nullptr) << "no uninstallation progress";
    const DWORD worker = ProcessOf(progress);
    HWND failed = WaitForDialogSaying(kUninstallFailedText, worker, 120000);
    CloseHandle(held);
    ASSERT_NE(failed, nullptr) << "no failure report";
    EXPECT_EQ(WindowText(failed), "NEB 2.0 Uninstallation");

    // The other files, the registration and the shortcuts went all the same.
    EXPECT_TRUE(Exists(busy));
    EXPECT_FALSE(Exists(kInstalledProgram));
    EXPECT_FALSE(Exists(kInstallDir + "neb\\core\\Version.class"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPlatformKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".nds"));
    EXPECT_FALSE(SearchPathHolds(installation));
    for (const std::string& group : StartMenuGroups()) {
        EXPECT_FALSE(Exists(group)) << group;
    }

    // The log names the file and the directories that could not go because of it.
    const std::string log = ErrorLogBehind(failed);
    EXPECT_NE(log.find(busy), std::string::npos) << log;
    EXPECT_NE(log.find("Cannot delete the directory '" + kInstallDir + "neb\\core"),
              std::string::npos)
        << log;
    EXPECT_TRUE(BackupsLeft().empty()) << BackupsLeft().front();
}

TEST(CorruptInstallation, IsReportedBeforeTheSetAndOffersTheUninstallation) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::vector<std::string> removed = {kInstallDir + "njava.exe",
                                              kInstallDir + "neb\\core\\Version.class"};
    for (const std::string& file : removed) {
        ASSERT_TRUE(DeleteFileA(file.c_str())) << file;
    }

    // With a set on the command line: the check comes first, under its notice, and ends the run.
    {
        ChildProcess run;
        ASSERT_TRUE(run.Start(kInstalledProgram, kSampleSet));
        HWND splash = WaitForDialogSaying("being checked for consistency...", run.Id());
        ASSERT_NE(splash, nullptr) << "no consistency notice";
        HWND corrupt = WaitForDialogSaying(kCorruptText, run.Id());
        ASSERT_NE(corrupt, nullptr) << "no corruption report";
        EXPECT_FALSE(IsWindow(splash) && IsWindowVisible(splash)) << "the notice stayed";

        PressButton(corrupt, 1028);
        HWND problems =
            WaitForDialogSaying("The following problems have been encountered:", run.Id());
        ASSERT_NE(problems, nullptr) << "no problem list";
        const std::string listed = ControlText(problems, 1011);
        for (const std::string& file : removed) {
            EXPECT_NE(listed.find("The file '" + file + "' does not exist"), std::string::npos)
                << listed;
        }
        PressButton(problems, IDOK);
        EXPECT_TRUE(WaitUntilGone(problems));
        EXPECT_TRUE(IsWindowVisible(corrupt)) << "the report went with the problem list";

        PressButton(corrupt, IDOK);
        EXPECT_EQ(run.Wait(30000), 0u);
        EXPECT_TRUE(ManagerProcesses().empty()) << "closing the report started another run";
        EXPECT_FALSE(Exists(kInstallDir + "lib\\xml.jar")) << "the set was installed";
    }

    // "Uninstall NEB 2.0" ends this run and asks again from a new run of the installed program.
    ChildProcess run;
    ASSERT_TRUE(run.Start(kInstalledProgram));
    HWND corrupt = WaitForDialogSaying(kCorruptText, run.Id());
    ASSERT_NE(corrupt, nullptr) << "no corruption report";
    PressButton(corrupt, 1029);
    EXPECT_EQ(run.Wait(30000), 0u);
    HWND confirmation = WaitForDialogSaying(kConfirmationText);
    ASSERT_NE(confirmation, nullptr) << "the uninstallation was not requested";
    const DWORD requester = ProcessOf(confirmation);
    EXPECT_NE(requester, run.Id());
    EXPECT_EQ(Lower(ProcessImage(requester)), Lower(kInstalledProgram));
    PressButton(confirmation, IDNO);
    EXPECT_TRUE(WaitForProcessEnd(requester));
    EXPECT_TRUE(Exists(kInstalledProgram));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kPlatformKey));
}

TEST(CorruptInstallation, WhoseDirectoryWasDeletedIsUninstalledThroughTheMedium) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::string installation = InstallationPath();
    ASSERT_TRUE(DeleteTree(installation));

    // The medium's setup finds the platform registered but its directory gone.
    ChildProcess setup;
    ASSERT_TRUE(setup.Start("C:\\medium\\setup.exe", "", "C:\\medium"));
    HWND corrupt = WaitForDialogSaying(kCorruptText);
    ASSERT_NE(corrupt, nullptr) << "no corruption report";
    PressButton(corrupt, 1029);
    HWND confirmation = WaitForDialogSaying(kConfirmationText);
    ASSERT_NE(confirmation, nullptr) << "the uninstallation was not requested";
    EXPECT_EQ(Lower(ProcessImage(ProcessOf(confirmation))), "c:\\medium\\nebcm.exe");
    PressButton(confirmation, IDYES);

    HWND completed = WaitForDialogSaying(kCompletedText, 0, 120000);
    ASSERT_NE(completed, nullptr) << "no completion report";
    EXPECT_EQ(Lower(ProcessImage(ProcessOf(completed))), Lower(UninstallerCopy()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPlatformKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCompanyKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".nds"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "NebDistributionSet"));
    EXPECT_FALSE(SearchPathHolds(installation)) << SearchPath();
    // The platform's own links pointed into the vanished directory: they went with it.
    for (const std::string& group : StartMenuGroups()) {
        EXPECT_FALSE(Exists(group + "\\Uninstall NEB.lnk")) << group;
    }
    PressButton(completed, IDOK);
    EXPECT_TRUE(WaitForProcessEnd(ProcessOf(completed)));

    // The platform now counts as not installed: the medium offers the core installation again.
    ChildProcess again;
    ASSERT_TRUE(again.Start("C:\\medium\\setup.exe", "", "C:\\medium"));
    HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
    ASSERT_NE(wizard, nullptr) << "no core installation wizard";
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_TRUE(WaitForProcessEnd(ProcessOf(wizard)));
}

TEST(SetCommandLine, ThatNamesNoFileIsReportedWithItsTrimmedText) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::string before = MachineState();

    struct Case {
        const char* arguments;
        const char* shown;
    };
    const Case cases[] = {
        {"C:\\medium", "C:\\medium"},
        {"C:\\medium\\  ", "C:\\medium\\"},
        {"  C:\\medium\\missing set.nds", "C:\\medium\\missing set.nds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ChildProcess run;
        ASSERT_TRUE(run.Start(kInstalledProgram, c.arguments));
        HWND box = WaitForDialogSaying(kSetNotFoundText, run.Id());
        ASSERT_NE(box, nullptr) << "no message";
        EXPECT_EQ(StaticTexts(box), kSetNotFoundText + std::string(c.shown));
        EXPECT_EQ(WindowText(box), "NEB 2.0 Configuration Manager");
        PressButton(box, IDOK);
        EXPECT_EQ(run.Wait(30000), 0u);
    }
    EXPECT_TRUE(ManagerProcesses().empty());
    EXPECT_EQ(MachineState(), before);

    // A medium whose setup.inf has an empty first line hands the manager its own folder.
    const std::string copy = "C:\\empty line\\";
    ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
    for (const char* file : {"setup.exe", "NebCM.exe"}) {
        ASSERT_TRUE(
            CopyFileA((std::string("C:\\medium\\") + file).c_str(), (copy + file).c_str(), TRUE));
    }
    ASSERT_TRUE(WriteTextFile(copy + "setup.inf", "\r\nsample.nds\r\n"));
    ChildProcess setup;
    ASSERT_TRUE(setup.Start(copy + "setup.exe", "", copy));
    HWND box = WaitForDialogSaying(kSetNotFoundText + copy);
    ASSERT_NE(box, nullptr) << "no message naming the medium's folder";
    EXPECT_EQ(StaticTexts(box), kSetNotFoundText + copy);
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitForProcessEnd(ProcessOf(box)));
}

TEST(SecondStart, WaitsForTheFirstThenSaysTheManagerIsRunning) {
    ChildProcess first;
    ASSERT_TRUE(first.Start("C:\\medium\\NebCM.exe"));
    HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
    ASSERT_NE(wizard, nullptr) << "the first run shows nothing";

    ChildProcess second;
    const DWORD started = GetTickCount();
    ASSERT_TRUE(second.Start("C:\\medium\\NebCM.exe", "C:\\medium\\sample.nds"));
    HWND notice =
        WaitForDialogSaying("The NEB Configuration Manager could not be started.", second.Id());
    ASSERT_NE(notice, nullptr) << "the second start shows nothing";
    // It waited for the first instance for a second before giving up.
    EXPECT_GE(GetTickCount() - started, 900u);
    EXPECT_EQ(WindowText(notice), "NEB 2.0 Configuration Manager");
    PressButton(notice, IDOK);
    EXPECT_EQ(second.Wait(30000), 0u);

    // The first run goes on undisturbed, and once it ended a new start is welcome again.
    EXPECT_TRUE(IsWindowVisible(wizard));
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(first.Wait(30000), 0u);
    ChildProcess third;
    ASSERT_TRUE(third.Start("C:\\medium\\NebCM.exe"));
    HWND again = WaitForTitle("NEB 2.0 - Select installation directory");
    ASSERT_NE(again, nullptr) << "a start after the first ended was refused";
    PostMessageA(again, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(third.Wait(30000), 0u);
}

TEST(WithoutThePlatform, EitherUninstallOptionLeadsToTheCoreInstallation) {
    for (const char* option : {"-PerformUninstall", "-RequestUninstall"}) {
        SCOPED_TRACE(option);
        ChildProcess run;
        ASSERT_TRUE(run.Start("C:\\medium\\NebCM.exe", option));
        HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
        ASSERT_NE(wizard, nullptr) << "no core installation wizard";
        EXPECT_EQ(ProcessOf(wizard), run.Id());
        PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_EQ(run.Wait(30000), 0u);
        EXPECT_TRUE(ManagerProcesses().empty());
        EXPECT_FALSE(Exists(kProgramFilesFolder));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCompanyKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".nds"));
        EXPECT_FALSE(Exists(UninstallerCopy()));
    }
}

TEST(SetupFromACopiedMedium, NamesTheMissingPieceInItsFatalMessage) {
    enum class Manager { Missing, Program, Directory, NoProgram };
    struct Case {
        const char* folder;
        const char* information; // null: no setup.inf
        Manager manager;
        std::string message; // the copy's directory follows each quote
    };
    const Case cases[] = {
        {"no information", nullptr, Manager::Program,
         "Can't find the information file '%ssetup.inf'"},
        {"empty information", "", Manager::Program,
         "Can't read the information file '%ssetup.inf'"},
        {"other set", "other.nds\r\n", Manager::Program,
         "Can't find the NEB Distribution Set '%sother.nds'"},
        {"no manager", "sample.nds\r\n", Manager::Missing,
         "Can't find the NEB Configuration Manager '%sNebCM.exe'"},
        {"manager folder", "sample.nds\r\n", Manager::Directory,
         "Can't start the NEB Configuration Manager '%sNebCM.exe'"},
        {"damaged manager", "sample.nds\r\n", Manager::NoProgram,
         "Can't start the NEB Configuration Manager '%sNebCM.exe'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string copy = std::string("C:\\copy of the medium, ") + c.folder + "\\";
        ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA("C:\\medium\\setup.exe", (copy + "setup.exe").c_str(), TRUE));
        ASSERT_TRUE(CopyFileA(kSampleSet.c_str(), (copy + "sample.nds").c_str(), TRUE));
        switch (c.manager) {
        case Manager::Program:
            ASSERT_TRUE(CopyFileA("C:\\medium\\NebCM.exe", (copy + "NebCM.exe").c_str(), TRUE));
            break;
        case Manager::Directory:
            ASSERT_TRUE(CreateDirectoryA((copy + "NebCM.exe").c_str(), nullptr));
            break;
        case Manager::NoProgram: {
            // A copy broken off in the middle: the name is there, the program is not.
            ASSERT_TRUE(WriteTextFile(copy + "NebCM.exe", "not a program"));
            break;
        }
        case Manager::Missing:
            break;
        }
        if (c.information != nullptr) {
            ASSERT_TRUE(WriteTextFile(copy + "setup.inf", c.information));
        }

        char expected[1024] = {};
        std::snprintf(expected, sizeof expected, c.message.c_str(), copy.c_str());
        ChildProcess setup;
        ASSERT_TRUE(setup.Start(copy + "setup.exe", "", copy));
        HWND box = WaitForDialogSaying(expected, setup.Id(), 30000);
        ASSERT_NE(box, nullptr) << "no message saying " << expected;
        PressButton(box, IDOK);
        EXPECT_NE(setup.Wait(30000), static_cast<DWORD>(STILL_ACTIVE));
        EXPECT_TRUE(ManagerProcesses().empty()) << "a manager was started";
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kCompanyKey));
}

TEST(SetupFromACopiedMedium, WithBlanksInItsPathsCarriesTheSetIntoTheInstalledProgram) {
    const std::string copy = "C:\\NEB 2.0 medium\\";
    ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
    for (const char* file :
         {"setup.exe", "NebCM.exe", "NebCM.hlp", "NebCM.cnt", "NebCM.GID", "NEB.ico"}) {
        ASSERT_TRUE(
            CopyFileA((std::string("C:\\medium\\") + file).c_str(), (copy + file).c_str(), TRUE))
            << file;
    }
    ASSERT_TRUE(CopyFileA(kSampleSet.c_str(), (copy + "My Set.nds").c_str(), TRUE));
    ASSERT_TRUE(WriteTextFile(copy + "setup.inf", "  My Set.nds \t\r\n"));

    ChildProcess setup;
    ASSERT_TRUE(setup.Start(copy + "setup.exe", "", copy));
    HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
    ASSERT_NE(wizard, nullptr) << "no core installation wizard";
    EXPECT_EQ(Lower(ProcessImage(ProcessOf(wizard))), Lower(copy + "NebCM.exe"));
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND question = WaitForDialogSaying("does not exist. Would you like to create it now ?");
    ASSERT_NE(question, nullptr) << "no question about the new directory";
    PressButton(question, 1007);

    // The installed copy takes over with the same command line and opens the set.
    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 120000);
    ASSERT_NE(selection, nullptr) << "the installed program did not open the set";
    EXPECT_EQ(Lower(ProcessImage(ProcessOf(selection))), Lower(kInstalledProgram));
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_TRUE(WaitForProcessEnd(ProcessOf(selection)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kPlatformKey));
}

} // namespace
} // namespace nebcm::testing
