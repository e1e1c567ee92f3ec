// The start-up decision: every mode by installed state and command line, and what each shows.
#include <gtest/gtest.h>

#include <vector>

#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "ui/startup_model.h"

namespace nebcm::ui {
namespace {

// Records every call as a word; answers come from its fields.
class ScriptedServices : public StartupServices {
public:
    bool mutexFree = true;
    bool installed = true;
    bool consistent = true;
    std::vector<std::string> files;
    ProcedureResult coreResult = ProcedureResult::Succeeded;
    ProcedureResult uninstallResult = ProcedureResult::Succeeded;
    ProcedureResult installResult = ProcedureResult::Succeeded;
    bool setReads = true;
    bool startWorks = true;
    int confirmAnswer = 6;
    int corruptAnswer = 1;
    RecoveryOutcome recovery = RecoveryOutcome::NothingToRecover;
    std::vector<std::string> recoveryMessages;
    std::vector<std::string> calls;
    // How many calls had been made when the recovery ran; -1 when it did not run. Kept apart
    // from the calls so that every mode's own sequence reads as it did.
    int recoveredAfter = -1;

    bool AcquireSingleInstance() override { return mutexFree; }
    bool IsPlatformInstalled() override { return installed; }
    bool IsFile(const std::string& path) override {
        for (const std::string& f : files) {
            if (f == path) {
                return true;
            }
        }
        return false;
    }
    std::string OwnProgramPath() override { return "C:\\NEB\\20\\NebCM.exe"; }
    bool StartProcess(const std::string& program, const std::string& arguments) override {
        calls.push_back("start " + program + " [" + arguments + "]");
        return startWorks;
    }
    void Wait(unsigned ms) override { calls.push_back("wait " + std::to_string(ms)); }
    void StartLog(const std::string& path, const std::string& line) override {
        calls.push_back("log " + path + " [" + line + "]");
    }
    RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors) override {
        EXPECT_EQ(recoveredAfter, -1) << "recovered twice";
        recoveredAfter = static_cast<int>(calls.size());
        for (const std::string& m : recoveryMessages) {
            errors.Add(m);
        }
        return recovery;
    }
    ProcedureResult InstallCore(ErrorList& errors, std::string& manager) override {
        calls.push_back("install core");
        manager = "C:\\Program Files\\NEB\\20\\NebCM.exe";
        if (coreResult == ProcedureResult::Failed) {
            errors.Add("core failed");
        }
        return coreResult;
    }
    ProcedureResult RequestPlatformUninstall(ErrorList& errors) override {
        calls.push_back("request uninstall");
        if (uninstallResult == ProcedureResult::Failed) {
            errors.Add("uninstall failed");
        }
        return uninstallResult;
    }
    ProcedureResult PerformPlatformUninstall(ErrorList& errors) override {
        calls.push_back("perform uninstall");
        if (uninstallResult == ProcedureResult::Failed) {
            errors.Add("uninstall failed");
        }
        return uninstallResult;
    }
    bool CheckInstalledConfiguration(ErrorList& errors) override {
        calls.push_back("check");
        if (!consistent) {
            errors.Add("problem");
        }
        return consistent;
    }
    std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path,
                                                         ErrorList& errors) override {
        calls.push_back("read " + path);
        if (!setReads) {
            errors.Add("bad set");
            return nullptr;
        }
        return std::make_unique<DistributionSet>(std::make_unique<Configuration>(),
                                                 std::vector<std::unique_ptr<ArchiveEntry>>());
    }
    ProcedureResult InstallExtensionsFromSet(std::unique_ptr<DistributionSet> set,
                                             ErrorList& errors) override {
        calls.push_back(set ? "install set" : "install nothing");
        if (installResult == ProcedureResult::Failed) {
            errors.Add("install failed");
        }
        return installResult;
    }
    void ShowAlreadyRunning() override { calls.push_back("already running"); }
    void ShowNotice(const std::string& text, bool warning) override {
        calls.push_back((warning ? "warning: " : "notice: ") + text);
    }
    void ShowErrorList(const ErrorList& e) override { Shown("error list", e); }
    void ShowStopMessage(const std::string& text) override { calls.push_back("stop: " + text); }
    void ShowCoreInstallationFailed(const ErrorList& e) override { Shown("core failed", e); }
    int ConfirmUninstall() override {
        calls.push_back("confirm");
        return confirmAnswer;
    }
    void ShowUninstallFailed(const ErrorList& e) override { Shown("uninstall failed", e); }
    void ShowUninstallCompleted() override { calls.push_back("uninstall completed"); }
    void ShowConsistencySplash() override { calls.push_back("splash"); }
    void HideConsistencySplash() override { calls.push_back("splash gone"); }
    int ShowInstallationCorrupt(const ErrorList& e) override {
        Shown("corrupt", e);
        return corruptAnswer;
    }
    void ShowExtensionInstallationFailed(const ErrorList& e) override {
        Shown("install failed", e);
    }
    void RunMainDialog() override { calls.push_back("main window"); }

private:
    void Shown(const std::string& what, const ErrorList& e) {
        calls.push_back("dialog " + what + " (" + std::to_string(e.Count()) + ")");
    }
};

using Calls = std::vector<std::string>;

TEST(Startup, SecondRunShowsAlreadyRunningAndTouchesNothing) {
    ScriptedServices s;
    s.mutexFree = false;
    EXPECT_EQ(RunStartup("x.nds", s), StartupMode::AlreadyRunning);
    EXPECT_EQ(s.calls, Calls{"already running"});
}

const char kUndone[] = "The last NEB 2.0 installation or uninstallation was interrupted before it "
                       "could finish. All the changes it had made have been undone";
const char kNotAllUndone[] = "The last NEB 2.0 installation or uninstallation was interrupted "
                             "before it could finish. Not all the changes it had made could be "
                             "undone";

TEST(StartupRecovery, RunsOnceAfterTheMutexAndBeforeTheInstalledStateIsLookedAt) {
    ScriptedServices refused;
    refused.mutexFree = false;
    refused.recovery = RecoveryOutcome::RolledBack;
    RunStartup("", refused);
    EXPECT_EQ(refused.recoveredAfter, -1) << "a second run must not touch the first run's record";
    EXPECT_EQ(refused.calls, Calls{"already running"});

    // Every mode is preceded by it, the uninstalling copy's included.
    for (const char* commandLine : {"", "-RequestUninstall", "-PerformUninstall", "x.nds"}) {
        ScriptedServices s;
        RunStartup(commandLine, s);
        EXPECT_EQ(s.recoveredAfter, 0) << commandLine;
    }
    ScriptedServices first;
    first.installed = false;
    RunStartup("", first);
    EXPECT_EQ(first.recoveredAfter, 0);
}

TEST(StartupRecovery, AnUndoneProcedureIsReportedAndTheSameStartGoesOn) {
    // An interrupted first installation was undone: the platform is gone again, so the core
    // installation is offered again, and the set on the command line reaches the installed copy.
    ScriptedServices first;
    first.installed = false;
    first.recovery = RecoveryOutcome::RolledBack;
    EXPECT_EQ(RunStartup("C:\\medium\\sample.nds", first), StartupMode::CoreInstallation);
    EXPECT_EQ(first.calls,
              (Calls{std::string("notice: ") + kUndone, "install core",
                     "start C:\\Program Files\\NEB\\20\\NebCM.exe [C:\\medium\\sample.nds]"}));

    // An interrupted extension installation: the set is offered again after the notice.
    ScriptedServices set;
    set.files = {"D:\\set.nds"};
    set.recovery = RecoveryOutcome::RolledBack;
    EXPECT_EQ(RunStartup("D:\\set.nds", set), StartupMode::SetInstallation);
    EXPECT_EQ(set.calls, (Calls{std::string("notice: ") + kUndone, "splash", "wait 1000", "check",
                                "splash gone", "read D:\\set.nds", "install set"}));
}

TEST(StartupRecovery, UndoStepsThatFailedAreListedAfterTheWarning) {
    ScriptedServices s;
    s.recovery = RecoveryOutcome::RolledBackWithErrors;
    s.recoveryMessages = {"Cannot restore 'a'", "Cannot restore 'b'"};
    EXPECT_EQ(RunStartup("", s), StartupMode::MainWindow);
    EXPECT_EQ(s.calls, (Calls{std::string("warning: ") + kNotAllUndone, "dialog error list (2)",
                              "splash", "wait 1000", "check", "splash gone", "main window"}));
}

TEST(StartupRecovery, ARecordLeftAloneIsReportedInOneWarningAndACleanStartSaysNothing) {
    ScriptedServices left;
    left.recovery = RecoveryOutcome::LeftAlone;
    left.recoveryMessages = {"first record", "second record"};
    RunStartup("", left);
    EXPECT_EQ(left.calls.front(), "warning: first record\n\nsecond record");
    EXPECT_EQ(left.calls.back(), "main window");

    for (RecoveryOutcome quiet :
         {RecoveryOutcome::NothingToRecover, RecoveryOutcome::CommitCompleted}) {
        ScriptedServices s;
        s.recovery = quiet;
        s.recoveryMessages = {"ignored"};
        RunStartup("", s);
        EXPECT_EQ(s.calls, (Calls{"splash", "wait 1000", "check", "splash gone", "main window"}));
    }
}

TEST(Startup, FirstRunInstallsTheCoreWhateverTheCommandLineAndRestartsUntrimmed) {
    ScriptedServices s;
    s.installed = false;
    EXPECT_EQ(RunStartup("  -PerformUninstall ", s), StartupMode::CoreInstallation);
    EXPECT_EQ(s.calls,
              (Calls{"install core",
                     "start C:\\Program Files\\NEB\\20\\NebCM.exe [  -PerformUninstall ]"}));

    ScriptedServices failedStart;
    failedStart.installed = false;
    failedStart.startWorks = false;
    RunStartup("", failedStart);
    EXPECT_EQ(failedStart.calls.back(),
              "stop: Cannot start the process 'C:\\Program Files\\NEB\\20\\NebCM.exe'");

    ScriptedServices failed;
    failed.installed = false;
    failed.coreResult = ProcedureResult::Failed;
    RunStartup("", failed);
    EXPECT_EQ(failed.calls, (Calls{"install core", "dialog core failed (1)"}));

    ScriptedServices cancelled;
    cancelled.installed = false;
    cancelled.coreResult = ProcedureResult::Cancelled;
    RunStartup("", cancelled);
    EXPECT_EQ(cancelled.calls, Calls{"install core"});
}

TEST(Startup, UninstallRequestAsksFirstAndMatchesTheOptionExactly) {
    ScriptedServices yes;
    EXPECT_EQ(RunStartup(" \t-RequestUninstall  ", yes), StartupMode::UninstallRequest);
    EXPECT_EQ(yes.calls, (Calls{"confirm", "request uninstall"}));

    ScriptedServices no;
    no.confirmAnswer = 7;
    RunStartup("-RequestUninstall", no);
    EXPECT_EQ(no.calls, Calls{"confirm"});

    ScriptedServices failed;
    failed.uninstallResult = ProcedureResult::Failed;
    RunStartup("-RequestUninstall", failed);
    EXPECT_EQ(failed.calls.back(), "dialog uninstall failed (1)");

    // The option in another letter case is a file name that does not exist.
    ScriptedServices lower;
    EXPECT_EQ(RunStartup("-requestuninstall", lower), StartupMode::SetNotFound);
    EXPECT_EQ(lower.calls.back(),
              "stop: The NEB 2.0 Configuration Manager cannot find the NEB Distribution "
              "Set\n-requestuninstall");
}

TEST(Startup, PerformUninstallWaitsThenReports) {
    ScriptedServices ok;
    EXPECT_EQ(RunStartup("-PerformUninstall", ok), StartupMode::UninstallPerform);
    EXPECT_EQ(ok.calls, (Calls{"wait 500", "perform uninstall", "uninstall completed"}));

    ScriptedServices failed;
    failed.uninstallResult = ProcedureResult::Failed;
    RunStartup("-PerformUninstall", failed);
    EXPECT_EQ(failed.calls.back(), "dialog uninstall failed (1)");

    ScriptedServices cancelled;
    cancelled.uninstallResult = ProcedureResult::Cancelled;
    RunStartup("-PerformUninstall", cancelled);
    EXPECT_EQ(cancelled.calls.back(), "perform uninstall");
}

TEST(Startup, CorruptInstallationComesBeforeAnySetAndCanRequestTheUninstall) {
    ScriptedServices s;
    s.consistent = false;
    s.files = {"C:\\set.nds"};
    s.corruptAnswer = 1029;
    EXPECT_EQ(RunStartup("C:\\set.nds", s), StartupMode::CorruptInstallation);
    EXPECT_EQ(s.calls, (Calls{"splash", "wait 1000", "check", "splash gone", "dialog corrupt (1)",
                              "start C:\\NEB\\20\\NebCM.exe [-RequestUninstall]"}));

    ScriptedServices closed;
    closed.consistent = false;
    RunStartup("", closed);
    EXPECT_EQ(closed.calls.back(), "dialog corrupt (1)");
}

TEST(Startup, AnExistingFileIsInstalledAsASet) {
    ScriptedServices s;
    s.files = {"D:\\my set.nds"};
    EXPECT_EQ(RunStartup(" D:\\my set.nds \r\n", s), StartupMode::SetInstallation);
    EXPECT_EQ(s.calls, (Calls{"splash", "wait 1000", "check", "splash gone", "read D:\\my set.nds",
                              "install set"}));

    ScriptedServices unreadable;
    unreadable.files = {"x.nds"};
    unreadable.setReads = false;
    RunStartup("x.nds", unreadable);
    EXPECT_EQ(unreadable.calls.back(), "dialog install failed (1)");

    ScriptedServices failed;
    failed.files = {"x.nds"};
    failed.installResult = ProcedureResult::Failed;
    RunStartup("x.nds", failed);
    EXPECT_EQ(failed.calls.back(), "dialog install failed (1)");
}

TEST(Startup, NoArgumentsOpensTheMainWindow) {
    ScriptedServices s;
    EXPECT_EQ(RunStartup("   ", s), StartupMode::MainWindow);
    EXPECT_EQ(s.calls.back(), "main window");
}

TEST(StartupLog, ALogBeforeTheSetPathIsStartedAndTheSetStillChosen) {
    ScriptedServices s;
    s.files = {"D:\\my sets\\a.nds"};
    EXPECT_EQ(RunStartup(" -Log \"C:\\my logs\\n.log\"  D:\\my sets\\a.nds ", s),
              StartupMode::SetInstallation);
    EXPECT_EQ(s.calls.front(),
              "log C:\\my logs\\n.log [-Log \"C:\\my logs\\n.log\"  D:\\my sets\\a.nds]");
    EXPECT_EQ(s.calls.back(), "install set");

    // The installed copy gets the whole line, log and all.
    ScriptedServices first;
    first.installed = false;
    RunStartup("-Log n.log x.nds", first);
    EXPECT_EQ(first.calls.back(), "start C:\\Program Files\\NEB\\20\\NebCM.exe [-Log n.log x.nds]");

    // Only the exact word with a file behind it; anything else keeps its old meaning.
    std::string file, rest;
    EXPECT_TRUE(SplitLogOption("-Log x", file, rest));
    EXPECT_EQ(file + "|" + rest, "x|");
    EXPECT_FALSE(SplitLogOption("-Log", file, rest));
    EXPECT_FALSE(SplitLogOption("-LogX y", file, rest));
    EXPECT_FALSE(SplitLogOption("-log x y", file, rest));
    EXPECT_FALSE(SplitLogOption("-Log \"open y", file, rest));
    ScriptedServices plain;
    RunStartup("-log x.nds", plain);
    EXPECT_EQ(plain.calls.back(), "stop: " + Message(12501, std::string("-log x.nds")));
}

} // namespace
} // namespace nebcm::ui
