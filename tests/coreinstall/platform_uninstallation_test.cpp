// Removing an installed platform: what remains afterwards, the best effort past a locked file,
// Cancel bringing everything back, the clean-up without an installation directory, and the
// hand-over to a temporary copy of the program.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/installed_configuration.h"
#include "engine/platform_uninstallation.h"

namespace nebcm::test {
namespace {

class UninstallationTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        PrepareMachineKeys();
        keysBefore_ = LayoutSnapshot();
        treeBefore_ = DescribeWithoutAccessTimes(WorkSnapshot());
        RecordingProgress progress;
        ErrorList errors;
        std::string program;
        ASSERT_EQ(RunCoreInstallation(Install(), 0, false, progress, errors, program),
                  ProcedureResult::Succeeded);
        // A shortcut of the user's own into the installation, and one elsewhere.
        MakeShortcut(Folder(ShellFolder::Desktop) + "\\Platform.lnk",
                     Install("neb\\core\\Platform.class"));
        WriteBytes(Work("elsewhere.exe"), "MZ");
        MakeShortcut(Folder(ShellFolder::Desktop) + "\\Other.lnk", Work("elsewhere.exe"));
    }

    // The plain registration of .class files, which stays, taken away for a comparison with the
    // machine before the installation.
    void ExpectPlainClassRegistrationAndTakeItAway() {
        EXPECT_EQ(Value(ClassFileExtensionKey, ""), ClassFileProgId);
        EXPECT_EQ(Value(ClassFileExtensionKey, ContentTypeValue), ClassFileContentType);
        EXPECT_EQ(Value(ClassFileTypeKey, ""), ClassFileDescription);
        EXPECT_FALSE(KeyExists(std::string(ClassFileTypeKey) + "\\shell"));
        const std::string classes = keySub_ + "\\Layout\\HKEY_CLASSES_ROOT";
        EXPECT_TRUE(DeleteRegistryTreeRaw(HKEY_CURRENT_USER, classes));
    }

    std::string keysBefore_;
    std::string treeBefore_;
};

TEST_F(UninstallationTest, LeavesOnlyThePlainClassRegistration) {
    RecordingProgress progress;
    ErrorList errors;
    ASSERT_EQ(RunPlatformUninstallation(Install(), progress, errors), ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
    EXPECT_EQ(progress.Activities(), (std::vector<int>{3005, 3006, 3007}));
    EXPECT_EQ(progress.Statuses(), (std::vector<int>{3501, 3501, 3501}));
    EXPECT_EQ(progress.rows.at(1).percents,
              (std::vector<int>{8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100}));
    EXPECT_EQ(progress.rows.at(2).percents, (std::vector<int>{33, 66, 100}));
    EXPECT_FALSE(IsPlatformInstalled());

    ExpectPlainClassRegistrationAndTakeItAway();
    EXPECT_EQ(LayoutSnapshot(), keysBefore_);
    ::DeleteFileA((Folder(ShellFolder::Desktop) + "\\Other.lnk").c_str());
    ::DeleteFileA(Work("elsewhere.exe").c_str());
    EXPECT_EQ(DescribeWithoutAccessTimes(WorkSnapshot()), treeBefore_);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(UninstallationTest, LockedFileIsReportedWhileEverythingElseGoes) {
    const std::string locked = Install("neb\\core\\Version.class");
    HANDLE held =
        ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RecordingProgress progress;
    ErrorList errors;
    ProcedureResult result = RunPlatformUninstallation(Install(), progress, errors);
    ::CloseHandle(held);
    EXPECT_EQ(result, ProcedureResult::Failed);
    EXPECT_EQ(progress.Statuses(), (std::vector<int>{3502, 3501, 3501}));
    // The file and each directory that kept it are named.
    ASSERT_EQ(errors.Count(), 4u);
    EXPECT_NE(errors.At(0).find(locked), std::string::npos) << errors.At(0);
    EXPECT_EQ(errors.At(1), Message(10000, Install("neb\\core")));
    EXPECT_EQ(errors.At(2), Message(10000, Install("neb")));
    EXPECT_EQ(errors.At(3), Message(10000, Install()));
    EXPECT_EQ(ListNames(Install()), std::vector<std::string>{"neb"});
    EXPECT_EQ(ListNames(Install("neb\\core")), std::vector<std::string>{"Version.class"});
    // The other activities ran all the same.
    EXPECT_FALSE(IsPlatformInstalled());
    EXPECT_FALSE(PathExists(Folder(ShellFolder::Desktop) + "\\Platform.lnk"));
    EXPECT_FALSE(PathExists(Folder(ShellFolder::CommonPrograms) + "\\NEB 2.0"));
    EXPECT_TRUE(PathExists(Folder(ShellFolder::Desktop) + "\\Other.lnk"));
}

TEST_F(UninstallationTest, CancelBringsEverythingBack) {
    const std::string before = MachineState();
    for (int activity : {3005, 3006, 3007}) {
        RecordingProgress progress;
        progress.cancelWhen = CancelAfter(activity, 1);
        ErrorList errors;
        EXPECT_EQ(RunPlatformUninstallation(Install(), progress, errors),
                  ProcedureResult::Cancelled);
        EXPECT_TRUE(errors.Empty()) << errors.At(0);
        EXPECT_EQ(progress.Statuses().back(), 3503);
        EXPECT_EQ(MachineState(), before) << activity;
        EXPECT_TRUE(TempFiles().empty());
    }
    ErrorList errors;
    EXPECT_TRUE(CheckInstalledConfiguration(errors));
}

TEST_F(UninstallationTest, ARegistryStepThatFailsSkipsTheRestOfItsActivityOnly) {
    // Someone removed the distribution-set association by hand.
    ASSERT_TRUE(
        DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\Layout\\HKEY_CLASSES_ROOT\\.nds"));
    RecordingProgress progress;
    ErrorList errors;
    EXPECT_EQ(RunPlatformUninstallation(Install(), progress, errors), ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(
                                     10005, Machine().RegistryKey(DistributionSetExtensionKey))});
    EXPECT_EQ(progress.Statuses(), (std::vector<int>{3501, 3502, 3501}));
    EXPECT_EQ(progress.rows.at(1).percents, (std::vector<int>{8, 16}));
    EXPECT_FALSE(PathExists(Install()));
    EXPECT_FALSE(IsPlatformInstalled());
    EXPECT_TRUE(KeyExists(ClassFileOpenCommandKey));
    EXPECT_FALSE(PathExists(Folder(ShellFolder::Desktop) + "\\Platform.lnk"));
}

TEST_F(UninstallationTest, WithoutTheInstallationDirectoryOnlyTheRegistrationGoes) {
    DeleteTreeRaw(Install());
    ASSERT_TRUE(
        DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\Layout\\HKEY_CLASSES_ROOT\\.nds"));
    std::string directory;
    EXPECT_FALSE(ReadInstallationPath(directory));
    ErrorList errors;
    EXPECT_EQ(RemovePlatformRegistration(Install(), errors), ProcedureResult::Succeeded);
    // The missing key is reported, and the others went all the same.
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(
                                     10005, Machine().RegistryKey(DistributionSetExtensionKey))});
    for (const char* key : {Platform20Key, Uninstall20Key, DistributionSetTypeKey,
                            ClassFileExtensionKey, ClassFileTypeKey}) {
        EXPECT_FALSE(KeyExists(key)) << key;
    }
    EXPECT_EQ(Value(EnvironmentKey, PathValue), "C:\\WINDOWS;C:\\Tools");
    // Links into the vanished directory would start nothing: they go, the user's others stay.
    EXPECT_FALSE(PathExists(Folder(ShellFolder::Desktop) + "\\Platform.lnk"));
    EXPECT_TRUE(PathExists(Folder(ShellFolder::Desktop) + "\\Other.lnk"));
}

TEST_F(UninstallationTest, ARecordedDriveRootTakesNoLinksAlong) {
    DeleteTreeRaw(Install());
    ErrorList errors;
    const std::string root = Install().substr(0, 3);
    EXPECT_EQ(RemovePlatformRegistration(root, errors), ProcedureResult::Succeeded);
    EXPECT_TRUE(PathExists(Folder(ShellFolder::Desktop) + "\\Platform.lnk"));
    EXPECT_TRUE(PathExists(Folder(ShellFolder::Desktop) + "\\Other.lnk"));
}

TEST_F(UninstallationTest, FailuresAreUndoneByACancel) {
    // Failures do not stop the uninstallation; a cancel at its very end must still bring back
    // whatever was removed before the failure and after it. Every seventh call is made to fail:
    // the whole removal runs each time.
    int failures = ExpectUndoneAfterEachFailure(
        [this](Transaction& transaction, ErrorList& errors) {
            RecordingProgress progress;
            ProcedureResult files = RemovePlatformFiles(Install(), progress, transaction, errors);
            ProcedureResult keys = UnregisterPlatform(Install(), progress, transaction, errors);
            ProcedureResult links =
                RemovePlatformShortcuts(Install(), progress, transaction, errors);
            for (ProcedureResult result : {files, keys, links}) {
                if (result != ProcedureResult::Succeeded) {
                    return result;
                }
            }
            return ProcedureResult::Succeeded;
        },
        7);
    EXPECT_GT(failures, 100);
}

} // namespace
} // namespace nebcm::test
