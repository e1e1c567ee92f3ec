// Whole core installations over a 1.0 installation: the activities each upgrade policy runs, what
// the 1.0 software and shortcuts become, and the rollback of a run that fails or is cancelled.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/installed_configuration.h"

namespace nebcm::test {
namespace {

class InstallationRunTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        PrepareMachineKeys();
    }
    ProcedureResult Run(int policy, RecordingProgress& progress, ErrorList& errors,
                        const std::string& directory = std::string()) {
        std::string program;
        ProcedureResult result =
            RunCoreInstallation(directory.empty() ? Install() : directory, policy,
                                IsLegacyInstallationFound(), progress, errors, program);
        if (result == ProcedureResult::Succeeded) {
            EXPECT_EQ(program, Install("NebCM.exe"));
        } else {
            EXPECT_EQ(program, "");
        }
        return result;
    }
    std::string Group(const std::string& relative) const {
        return Folder(ShellFolder::CommonPrograms) + "\\NEB 2.0\\" + relative;
    }
    std::string Desktop(const std::string& relative) const {
        return Folder(ShellFolder::Desktop) + "\\" + relative;
    }
    std::string CommonDesktop(const std::string& relative) const {
        return Folder(ShellFolder::CommonDesktop) + "\\" + relative;
    }
};

class PolicyTest : public InstallationRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(PolicyTest, RunsItsActivitiesAndLeavesAConsistentInstallation) {
    const int policy = GetParam();
    const bool migrate = policy == 1 || policy == 3;
    const bool remove = policy == 2 || policy == 3;
    LayOutLegacyInstallation();
    ASSERT_TRUE(IsLegacyInstallationFound());
    const std::string legacyBefore = DescribeWithoutAccessTimes(SnapshotTree(Legacy()));

    RecordingProgress progress;
    ErrorList errors;
    ASSERT_EQ(Run(policy, progress, errors), ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
    std::vector<int> activities = {3000, 3001, 3002};
    if (migrate) {
        activities.push_back(3003);
    }
    if (remove) {
        activities.push_back(3004);
    }
    EXPECT_EQ(progress.Activities(), activities);
    EXPECT_EQ(progress.Statuses(), std::vector<int>(activities.size(), 3501));

    // The new installation passes the check of every later start.
    ErrorList check;
    std::unique_ptr<Configuration> installed = LoadInstalledConfiguration(check);
    ASSERT_TRUE(installed) << (check.Empty() ? "" : check.At(0));
    EXPECT_EQ(installed->Count(), migrate ? 3u : 1u);
    EXPECT_EQ(ReadBytes(Install("NebCM.exe")), "MZ configuration manager");
    EXPECT_TRUE(IsFile(Install("neb\\core\\Platform.class")));

    // The 1.0 software, without the 1.0 core and the 1.0 configuration manager.
    EXPECT_EQ(IsFile(Install("app\\run.exe")), migrate);
    EXPECT_EQ(IsFile(Install("app\\doc\\readme.txt")), migrate);
    EXPECT_EQ(IsFile(Install("lib\\util.zip")), migrate);
    EXPECT_FALSE(PathExists(Install("neb.exe")));
    EXPECT_FALSE(PathExists(Install("core")));
    EXPECT_EQ(IsFile(Group("NEB 1.0\\Editor.lnk")), migrate);
    if (migrate) {
        EXPECT_EQ(installed->At(1).Name(), "editor");
        EXPECT_EQ(installed->At(1).Package(), "NEB 1.0");
        EXPECT_EQ(installed->At(2).Name(), "util");
        EXPECT_EQ(ReadLink(Group("NEB 1.0\\Editor.lnk")).target, Install("app\\run.exe"));
    }

    // The VM the user chose under 1.0 is carried over with the software; the rest keeps the
    // registration's defaults.
    EXPECT_EQ(Value(Java20Key, JavaTypeValue), migrate ? "1" : "2");
    EXPECT_EQ(Value(Java20Key, JavaSunExeValue), migrate ? "C:\\jdk1.1\\bin\\jre.exe" : "");
    EXPECT_EQ(Value(Java20Key, JavaMSExeValue), "");
    EXPECT_EQ(Value(Java20Key, JavaCustomCommandLineValue), "");

    EXPECT_TRUE(IsFile(Desktop("Other.lnk")));
    if (!remove) {
        EXPECT_EQ(DescribeWithoutAccessTimes(SnapshotTree(Legacy())), legacyBefore);
        EXPECT_TRUE(IsLegacyInstallationFound());
        EXPECT_EQ(ReadLink(Desktop("Editor.lnk")).target, Legacy("app\\run.exe"));
        EXPECT_TRUE(IsFile(LegacyGroup("Editor.lnk")));
        return;
    }
    EXPECT_FALSE(PathExists(Legacy()));
    EXPECT_FALSE(KeyExists(Platform10Key));
    EXPECT_FALSE(KeyExists(Uninstall10Key));
    EXPECT_FALSE(PathExists(LegacyGroup()));
    EXPECT_TRUE(IsDirectory(Folder(ShellFolder::Programs)));
    // The shortcut to the 1.0 core goes with its folder, not with the desktop that held it.
    EXPECT_FALSE(PathExists(CommonDesktop("Tools")));
    EXPECT_TRUE(IsDirectory(Folder(ShellFolder::CommonDesktop)));
    if (migrate) {
        Link editor = ReadLink(Desktop("Editor.lnk"));
        EXPECT_EQ(editor.target, Install("app\\run.exe"));
        EXPECT_EQ(editor.directory, Install());
        EXPECT_EQ(editor.arguments, "-new");
    } else {
        EXPECT_FALSE(PathExists(Desktop("Editor.lnk")));
    }
}

INSTANTIATE_TEST_SUITE_P(UpgradePolicies, PolicyTest, ::testing::Values(0, 1, 2, 3));

TEST_F(InstallationRunTest, WithoutA10InstallationThePolicyIsIgnored) {
    RecordingProgress progress;
    ErrorList errors;
    ASSERT_EQ(Run(3, progress, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(progress.Activities(), (std::vector<int>{3000, 3001, 3002}));
    EXPECT_TRUE(IsPlatformInstalled());
}

class MissingUninstallEntryTest : public InstallationRunTest,
                                  public ::testing::WithParamInterface<int> {};

TEST_P(MissingUninstallEntryTest, FailsTheRemovalAtItsLastStepAndUndoesTheWholeRun) {
    LayOutLegacyInstallation(false);
    const std::string before = MachineState();
    RecordingProgress progress;
    ErrorList errors;
    EXPECT_EQ(Run(GetParam(), progress, errors), ProcedureResult::Failed);
    ASSERT_FALSE(errors.Empty());
    EXPECT_EQ(errors.At(0), Message(10005, Machine().RegistryKey(Uninstall10Key)));
    EXPECT_EQ(progress.Activities().back(), 3004);
    EXPECT_EQ(progress.Statuses().back(), 3502);
    // Every unit but the very last was reported.
    EXPECT_LT(progress.rows.back().percents.back(), 100);
    EXPECT_GT(progress.rows.back().percents.back(), 90);
    EXPECT_EQ(MachineState(), before);
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_FALSE(IsPlatformInstalled());
}

INSTANTIATE_TEST_SUITE_P(RemovingPolicies, MissingUninstallEntryTest, ::testing::Values(2, 3));

TEST_F(InstallationRunTest, MissingHelpIndexLeavesNothingInstalled) {
    WriteMedium(false);
    const std::string before = MachineState();
    RecordingProgress progress;
    ErrorList errors;
    EXPECT_EQ(Run(0, progress, errors), ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(10016, medium_ + "\\NebCM.GID",
                                                                  Install("NebCM.GID"))});
    EXPECT_EQ(progress.Activities(), std::vector<int>{3000});
    EXPECT_EQ(progress.Statuses(), std::vector<int>{3502});
    EXPECT_EQ(MachineState(), before);
    EXPECT_FALSE(IsPlatformInstalled());
}

TEST_F(InstallationRunTest, CancelUndoesEverythingDoneBefore) {
    LayOutLegacyInstallation();
    const std::string before = MachineState();
    for (int activity : {3002, 3003, 3004}) {
        RecordingProgress progress;
        progress.cancelWhen = CancelAfter(activity, 2);
        ErrorList errors;
        EXPECT_EQ(Run(3, progress, errors), ProcedureResult::Cancelled) << activity;
        EXPECT_TRUE(errors.Empty()) << errors.At(0);
        EXPECT_EQ(progress.Activities().back(), activity);
        EXPECT_EQ(progress.Statuses().back(), 3503);
        EXPECT_EQ(MachineState(), before) << activity;
    }
}

// The 1.0 steps run, as in a real installation, after the first three activities.
class LegacyStepsTest : public InstallationRunTest {
protected:
    void SetUp() override {
        InstallationRunTest::SetUp();
        LayOutLegacyInstallation();
        RecordingProgress progress;
        ErrorList errors;
        ASSERT_EQ(InstallConfigurationManagerFiles(Install(), progress, base_, errors),
                  ProcedureResult::Succeeded);
        ASSERT_EQ(InstallCoreFiles(Install(), progress, base_, errors), ProcedureResult::Succeeded);
        ASSERT_EQ(RegisterPlatform(Install(), progress, base_, errors, group_),
                  ProcedureResult::Succeeded);
    }
    void TearDown() override {
        ErrorList errors;
        EXPECT_TRUE(base_.Rollback(errors));
        InstallationRunTest::TearDown();
    }
    Transaction base_;
    std::string group_;
};

TEST_F(LegacyStepsTest, EveryFailureOfTheMigrationIsUndone) {
    int failures = ExpectUndoneAfterEachFailure([&](Transaction& transaction, ErrorList& errors) {
        RecordingProgress progress;
        return MigrateLegacySoftware(Install(), group_, progress, transaction, errors);
    });
    EXPECT_GT(failures, 20);
}

TEST_F(LegacyStepsTest, AJavaChoiceMadeUnderTheNewPlatformIsKept) {
    SetValue(Java20Key, JavaTypeValue, "0");
    SetValue(Java20Key, JavaMSExeValue, "C:\\WINDOWS\\jview.exe");
    RecordingProgress progress;
    ErrorList errors;
    ASSERT_EQ(MigrateLegacySoftware(Install(), group_, progress, base_, errors),
              ProcedureResult::Succeeded);
    EXPECT_EQ(Value(Java20Key, JavaTypeValue), "0");
    EXPECT_EQ(Value(Java20Key, JavaMSExeValue), "C:\\WINDOWS\\jview.exe");
    EXPECT_EQ(Value(Java20Key, JavaSunExeValue), "");
}

TEST_F(LegacyStepsTest, FailuresOfTheRemovalAreUndone) {
    // Every third of its calls is made to fail: each run reads every link in the shell folders.
    int failures = ExpectUndoneAfterEachFailure(
        [&](Transaction& transaction, ErrorList& errors) {
            RecordingProgress progress;
            return RemoveLegacyPlatform(Install(), true, progress, transaction, errors);
        },
        3);
    EXPECT_GT(failures, 200);
}

TEST_F(InstallationRunTest, DirectoriesThatHoldEachOtherAreNeverEmptied) {
    LayOutLegacyInstallation();
    const std::string before = MachineState();
    struct Case {
        std::string directory;
        int policy;
        std::string message;
    };
    const Case cases[] = {
        // The new installation inside the 1.0 one would be removed with it.
        {Legacy("NEB20"), 2, Message(10000, Legacy())},
        // The 1.0 installation inside the new directory would be emptied with it.
        {Work(), 0, Message(13001, Work(), Legacy())},
        {Legacy(), 0, Message(13001, Legacy(), Legacy())},
    };
    for (const Case& c : cases) {
        RecordingProgress progress;
        ErrorList errors;
        EXPECT_EQ(Run(c.policy, progress, errors, c.directory), ProcedureResult::Failed)
            << c.directory;
        ASSERT_FALSE(errors.Empty());
        EXPECT_EQ(errors.At(0), c.message);
        EXPECT_EQ(MachineState(), before) << c.directory;
    }
}

} // namespace
} // namespace nebcm::test
