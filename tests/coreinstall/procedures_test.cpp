// The platform procedures as start-up calls them: the core installation behind its wizard, the
// uninstall request handed to a temporary copy, and the uninstallation performed by that copy.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/installed_configuration.h"
#include "engine/platform_procedure_ui.h"
#include "engine/platform_uninstallation.h"

namespace nebcm::test {
namespace {

// The wizard answers as the test says; every progress window reports to one recorder.
class StubUi : public PlatformProcedureUi {
public:
    bool RunCoreInstallationWizard(bool upgradePageEnabled,
                                   CoreInstallationChoice& choice) override {
        wizardRuns.push_back(upgradePageEnabled);
        if (finish) {
            choice = answer;
        }
        return finish;
    }
    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow window) override {
        opened.push_back(window);
        return std::make_unique<Window>(*this);
    }

    bool finish = true;
    CoreInstallationChoice answer;
    std::vector<bool> wizardRuns;
    std::vector<ProgressWindow> opened;
    int closed = 0;
    RecordingProgress progress;

private:
    class Window : public ProgressReporter {
    public:
        explicit Window(StubUi& ui) : ui_(ui) {}
        ~Window() override { ++ui_.closed; }
        void BeginActivity(int id) override { ui_.progress.BeginActivity(id); }
        void SetActivityPercent(int percent) override { ui_.progress.SetActivityPercent(percent); }
        void SetActivityStatus(int status) override { ui_.progress.SetActivityStatus(status); }
        void SetActivityStatusText(const std::string& text) override {
            ui_.progress.SetActivityStatusText(text);
        }
        bool IsCancelled() override { return ui_.progress.IsCancelled(); }
        void Pause(unsigned milliseconds) override { ui_.progress.Pause(milliseconds); }

    private:
        StubUi& ui_;
    };
};

class ProceduresTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        PrepareMachineKeys();
        ui_.answer.installationDirectory = Install() + "\\";
        ui_.answer.upgradePolicy = 3;
        SetPlatformProcedureUi(&ui_);
    }
    void TearDown() override {
        SetPlatformProcedureUi(nullptr);
        CoreInstallTest::TearDown();
    }
    std::string UninstallerCopy() const { return temp_ + "\\NebCMu.exe"; }

    StubUi ui_;
};

TEST_F(ProceduresTest, CancelledWizardChangesNothing) {
    LayOutLegacyInstallation();
    const std::string before = MachineState();
    ui_.finish = false;
    ErrorList errors;
    std::string program = "untouched";
    EXPECT_EQ(InstallCore(errors, program), ProcedureResult::Cancelled);
    EXPECT_EQ(ui_.wizardRuns, std::vector<bool>{true});
    EXPECT_TRUE(ui_.opened.empty());
    EXPECT_EQ(program, "untouched");
    EXPECT_EQ(MachineState(), before);
}

TEST_F(ProceduresTest, InstallThenUninstallLeavesOnlyTheTemporaryCopy) {
    const std::string keysBefore = LayoutSnapshot();
    const std::string treeBefore = DescribeWithoutAccessTimes(WorkSnapshot());
    ErrorList errors;
    std::string program;
    // The directory as typed, with a trailing backslash, is recorded without it.
    ASSERT_EQ(InstallCore(errors, program), ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
    EXPECT_EQ(program, Install("NebCM.exe"));
    EXPECT_EQ(ui_.wizardRuns, std::vector<bool>{false});
    EXPECT_EQ(ui_.opened, std::vector<ProgressWindow>{ProgressWindow::CoreInstallation});
    EXPECT_EQ(ui_.closed, 1);
    EXPECT_EQ(Value(Platform20Key, InstallationPathValue), Install());
    EXPECT_TRUE(CheckInstalledConfiguration(errors)) << (errors.Empty() ? "" : errors.At(0));
    EXPECT_TRUE(TempFiles().empty());

    // The installed program asks; a copy in the temporary directory is started to do the work.
    machine_.module = program;
    WriteBytes(UninstallerCopy(), "an older copy");
    ASSERT_EQ(RequestPlatformUninstall(errors), ProcedureResult::Succeeded);
    ASSERT_EQ(machine_.started.size(), 1u);
    EXPECT_EQ(machine_.started[0].first, UninstallerCopy());
    EXPECT_EQ(machine_.started[0].second, "-PerformUninstall");
    EXPECT_EQ(ReadBytes(UninstallerCopy()), "MZ configuration manager");
    EXPECT_TRUE(IsPlatformInstalled());

    // The copy performs it.
    machine_.module = UninstallerCopy();
    ui_.progress = RecordingProgress();
    ASSERT_EQ(PerformPlatformUninstall(errors), ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(ui_.opened.back(), ProgressWindow::PlatformUninstallation);
    EXPECT_EQ(ui_.closed, 2);
    EXPECT_EQ(ui_.progress.Statuses(), (std::vector<int>{3501, 3501, 3501}));

    EXPECT_EQ(Value(ClassFileExtensionKey, ""), ClassFileProgId);
    EXPECT_EQ(Value(ClassFileExtensionKey, ContentTypeValue), ClassFileContentType);
    EXPECT_EQ(Value(ClassFileTypeKey, ""), ClassFileDescription);
    ASSERT_TRUE(DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\Layout\\HKEY_CLASSES_ROOT"));
    EXPECT_EQ(LayoutSnapshot(), keysBefore);
    EXPECT_EQ(DescribeWithoutAccessTimes(WorkSnapshot()), treeBefore);
    // It cannot delete itself while it runs; the system deletes it at its next start.
    EXPECT_EQ(TempFiles(), std::vector<std::string>{"NebCMu.exe"});
    EXPECT_EQ(machine_.removedAtRestart, std::vector<std::string>{UninstallerCopy()});
}

TEST_F(ProceduresTest, RequestUninstallsInThisProcessWhenNoCopyCanBeStarted) {
    ErrorList errors;
    struct Case {
        const char* what;
        bool module;
        bool temp;
        bool starts;
    };
    const Case cases[] = {
        {"the copy does not start", true, true, false},
        {"no temporary directory", true, false, true},
        {"no program path", false, true, true},
    };
    for (const Case& c : cases) {
        machine_.module = medium_ + "\\NebCM.exe";
        machine_.temp = temp_ + "\\";
        std::string program;
        ASSERT_EQ(InstallCore(errors, program), ProcedureResult::Succeeded);
        machine_.module = c.module ? program : std::string();
        machine_.temp = c.temp ? temp_ + "\\" : std::string();
        machine_.startSucceeds = c.starts;
        machine_.started.clear();
        EXPECT_EQ(RequestPlatformUninstall(errors), ProcedureResult::Succeeded) << c.what;
        EXPECT_FALSE(IsPlatformInstalled()) << c.what;
        EXPECT_FALSE(PathExists(Install())) << c.what;
        EXPECT_EQ(machine_.started.size(), c.module && c.temp ? 1u : 0u) << c.what;
        // The installed program did the work itself and is gone with the directory; the copy
        // it made, if any, never ran and stays for the next request to replace.
        EXPECT_TRUE(machine_.removedAtRestart.empty()) << c.what;
        ::DeleteFileA(UninstallerCopy().c_str());
    }
    EXPECT_TRUE(errors.Empty());
}

TEST_F(ProceduresTest, UninstallWithoutItsDirectoryClearsTheRegistrationWithoutAWindow) {
    ErrorList errors;
    std::string program;
    ASSERT_EQ(InstallCore(errors, program), ProcedureResult::Succeeded);
    DeleteTreeRaw(Install());
    ui_.opened.clear();
    machine_.module = UninstallerCopy();
    WriteBytes(UninstallerCopy(), "MZ configuration manager");
    EXPECT_EQ(PerformPlatformUninstall(errors), ProcedureResult::Succeeded);
    EXPECT_EQ(machine_.removedAtRestart, std::vector<std::string>{UninstallerCopy()});
    EXPECT_TRUE(ui_.opened.empty());
    EXPECT_FALSE(IsPlatformInstalled());
    EXPECT_FALSE(KeyExists(Uninstall20Key));
    EXPECT_EQ(Value(EnvironmentKey, PathValue), "C:\\WINDOWS;C:\\Tools");
}

TEST_F(ProceduresTest, WizardIsOfferedTheUpgradeOnlyForAConsistent10Installation) {
    ui_.finish = false;
    ErrorList errors;
    std::string program;
    LayOutLegacyInstallation();
    ::DeleteFileA(Legacy("lib\\util.zip").c_str()); // the 1.0 check fails
    InstallCore(errors, program);
    WriteBytes(Legacy("lib\\util.zip"), "PK util");
    InstallCore(errors, program);
    EXPECT_EQ(ui_.wizardRuns, (std::vector<bool>{false, true}));
    EXPECT_TRUE(errors.Empty());
}

} // namespace
} // namespace nebcm::test
