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
#include "engine/restart_removal.h"

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

// The 95 family deletes at its start what wininit.ini's [rename] section names as "NUL=path";
// other programs' entries and every other byte of the file stay.
TEST(WininitTest, OneEntryJoinsTheRenameSectionAndNothingElseChanges) {
    const std::string e = "NUL=C:\\WINDOWS\\TEMP\\NEBCMU.EXE";
    const std::string path = "C:\\WINDOWS\\TEMP\\NEBCMU.EXE";
    struct Case {
        const char* what;
        std::string before, after;
    };
    const Case cases[] = {
        {"no file", "", "[rename]\r\n" + e + "\r\n"},
        {"other section without a line end", "[boot]\r\nx=1",
         "[boot]\r\nx=1\r\n[rename]\r\n" + e + "\r\n"},
        {"another program's entry, then a section",
         "[Rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n[next]\r\ny=2  \r\n",
         "[Rename]\r\nNUL=C:\\OLD.TMP\r\n" + e + "\r\n\r\n[next]\r\ny=2  \r\n"},
        {"last line of the section without a line end", "[rename]\nNUL=C:\\OLD.TMP",
         "[rename]\nNUL=C:\\OLD.TMP\r\n" + e + "\r\n"},
        {"entry there already", "[rename]\r\n" + e + "\r\n", "[rename]\r\n" + e + "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WininitWithRemoval(c.before, path), c.after) << c.what;
    }
}

class RestartRemovalTest : public CoreInstallTest {};

TEST_F(RestartRemovalTest, The95FamilyGetsTheShortNameInWininit) {
    const std::string copy = temp_ + "\\NebCMu.exe";
    WriteBytes(copy, "MZ");
    machine_.platform = Windows95Platform;
    WriteBytes(machine_.wininit, "[rename]\r\nNUL=C:\\OLD.TMP\r\n");
    ASSERT_TRUE(machine_.MachineEnvironment::RemoveAtRestart(copy));
    char shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(copy.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_EQ(ReadBytes(machine_.wininit),
              "[rename]\r\nNUL=C:\\OLD.TMP\r\nNUL=" + std::string(shortName) + "\r\n");
    ::DeleteFileA(copy.c_str());
}

// Outside the test bench, whose redirected roots would hide the system's list from the test. The
// entry is taken out again at once, so that the prefix's next start deletes nothing of later tests.
TEST(RestartRemovalNtTest, TheNtFamilyHandsTheFileToTheSystemsOwnList) {
    char temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
    const std::string copy = std::string(temp) + "NebCMu-restart-test.exe";
    WriteBytes(copy, "MZ");
    FakeMachine machine;
    machine.platform = WindowsNtPlatform;
    const char sessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const char pendingName[] = "PendingFileRenameOperations";
    auto pending = [&] {
        HKEY key = nullptr;
        std::string value;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_READ, &key) == 0) {
            std::vector<char> buffer(65536);
            DWORD size = static_cast<DWORD>(buffer.size());
            if (::RegQueryValueExA(key, pendingName, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size) == 0) {
                value.assign(buffer.data(), size);
            }
            ::RegCloseKey(key);
        }
        return value;
    };
    const std::string before = pending();
    ASSERT_TRUE(machine.MachineEnvironment::RemoveAtRestart(copy));
    const std::string after = pending();
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_SET_VALUE, &key), 0);
    if (before.empty()) {
        ::RegDeleteValueA(key, pendingName);
    } else {
        ::RegSetValueExA(key, pendingName, 0, REG_MULTI_SZ,
                         reinterpret_cast<const BYTE*>(before.data()),
                         static_cast<DWORD>(before.size()));
    }
    ::RegCloseKey(key);
    ::DeleteFileA(copy.c_str());
    EXPECT_NE(after.find("NebCMu-restart-test.exe"), std::string::npos);
    EXPECT_GT(after.size(), before.size());
}

// Another program registered .class files first: its entries are kept, what the installation
// overwrote comes back, and a value changed after the installation belongs to whoever changed it.
class SharedClassRegistrationTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        PrepareMachineKeys();
        SetValue(ClassFileExtensionKey, "", "OtherClassFile");
        SetValue(std::string(ClassFileExtensionKey) + "\\OpenWithProgids", "Other.Class", "");
        SetValue(std::string(ClassFileTypeKey) + "\\shell\\edit\\command", "", "edit.exe %1");
        SetValue(ClassFileOpenCommandKey, "", "\"C:\\jdk\\java.exe\" \"%1\"");
        RecordingProgress progress;
        ErrorList errors;
        std::string program;
        ASSERT_EQ(RunCoreInstallation(Install(), 0, false, progress, errors, program),
                  ProcedureResult::Succeeded);
        ASSERT_EQ(Value(ClassFileExtensionKey, ""), ClassFileProgId);
        ASSERT_EQ(Value(ClassFileOpenCommandKey, ""),
                  "\"" + Install("njava.exe") + "\" -gui \"%1\"");
        // A program installed later took the content type over.
        SetValue(ClassFileExtensionKey, ContentTypeValue, "text/x-java");
    }
    void ExpectOtherProgramsEntries() {
        EXPECT_EQ(Value(ClassFileExtensionKey, ""), "OtherClassFile");
        EXPECT_EQ(Value(ClassFileExtensionKey, ContentTypeValue), "text/x-java");
        EXPECT_EQ(Value(std::string(ClassFileExtensionKey) + "\\OpenWithProgids", "Other.Class"),
                  "");
        EXPECT_EQ(Value(std::string(ClassFileTypeKey) + "\\shell\\edit\\command", ""),
                  "edit.exe %1");
        EXPECT_EQ(Value(ClassFileOpenCommandKey, ""), "\"C:\\jdk\\java.exe\" \"%1\"");
    }
};

TEST_F(SharedClassRegistrationTest, UninstallationPutsBackWhatTheInstallationReplaced) {
    const std::string before = MachineState();
    RecordingProgress progress;
    progress.cancelWhen = CancelAfter(3007, 1);
    ErrorList errors;
    ASSERT_EQ(RunPlatformUninstallation(Install(), progress, errors), ProcedureResult::Cancelled);
    EXPECT_EQ(MachineState(), before);

    progress = RecordingProgress();
    ASSERT_EQ(RunPlatformUninstallation(Install(), progress, errors), ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
    EXPECT_EQ(progress.rows.at(1).percents,
              (std::vector<int>{8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100}));
    ExpectOtherProgramsEntries();
    // The type had no description: the plain registration's stays.
    EXPECT_EQ(Value(ClassFileTypeKey, ""), ClassFileDescription);
}

TEST_F(SharedClassRegistrationTest, RegistryCleanUpWithoutTheDirectoryKeepsOtherEntriesToo) {
    DeleteTreeRaw(Install());
    ErrorList errors;
    EXPECT_EQ(RemovePlatformRegistration(Install(), errors), ProcedureResult::Succeeded);
    EXPECT_TRUE(errors.Empty()) << errors.At(0);
    ExpectOtherProgramsEntries();
    // Without the plain registration the description, which nobody had before, goes as well.
    EXPECT_EQ(Value(ClassFileTypeKey, ""), "<missing>");
    EXPECT_FALSE(IsPlatformInstalled());
}

} // namespace
} // namespace nebcm::test
