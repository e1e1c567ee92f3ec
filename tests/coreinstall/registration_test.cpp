// The registration with Windows: the registry layout, the platform's Start-menu group with its two
// shortcuts and the search path, at the registration's pace, and undone after any failure.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"

namespace nebcm::test {
namespace {

class RegistrationTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        PrepareMachineKeys();
        ::CreateDirectoryA(Work("NEB").c_str(), nullptr);
        ::CreateDirectoryA(Install().c_str(), nullptr);
        WriteBytes(Install("NebCM.exe"), "MZ");
        WriteBytes(Install("njava.exe"), "MZ");
    }
    std::string Group(const std::string& relative = std::string()) const {
        std::string group = Folder(ShellFolder::CommonPrograms) + "\\NEB 2.0";
        return relative.empty() ? group : group + "\\" + relative;
    }
};

TEST_F(RegistrationTest, WritesTheWholeLayoutAndTheStartMenuGroupAtItsPace) {
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    std::string group;
    const std::string keysBefore = LayoutSnapshot();
    const std::string treeBefore = Describe(WorkSnapshot());
    ASSERT_EQ(RegisterPlatform(Install(), progress, transaction, errors, group),
              ProcedureResult::Succeeded);
    EXPECT_TRUE(errors.Empty()) << errors.At(0);
    EXPECT_EQ(group, Group());

    const std::string manager = Install("NebCM.exe");
    const std::string launcher = Install("njava.exe");
    struct Expected {
        const char* key;
        const char* name;
        std::string value;
    };
    const Expected layout[] = {
        {Platform20Key, "InstallationPath", Install()},
        {Platform20Key, "ComponentDatabase", Install("neb.cdb")},
        {Platform20Key, "WindowX", "64"},
        {Platform20Key, "WindowY", "64"},
        {Java20Key, "Type", "2"},
        {Java20Key, "MSExe", ""},
        {Java20Key, "SunExe", ""},
        {Java20Key, "CustomCommandLine", ""},
        {Uninstall20Key, "DisplayName", "NEB 2.0"},
        {Uninstall20Key, "UninstallString", "\"" + manager + "\" -RequestUninstall"},
        {DistributionSetExtensionKey, "", "NebDistributionSet"},
        {DistributionSetTypeKey, "", "NEB Distribution Set"},
        {DistributionSetOpenCommandKey, "", "\"" + manager + "\" %1"},
        {ClassFileExtensionKey, "", "JavaClassFile"},
        {ClassFileExtensionKey, "Content Type", "java/*"},
        {ClassFileTypeKey, "", "Java class file"},
        {ClassFileOpenCommandKey, "", "\"" + launcher + "\" -gui \"%1\""},
        {EnvironmentKey, "Path", "C:\\WINDOWS;C:\\Tools;" + Install()},
    };
    for (const Expected& e : layout) {
        EXPECT_EQ(Value(e.key, e.name), e.value) << e.key << " " << e.name;
    }
    EXPECT_EQ(ValueType(EnvironmentKey, PathValue), static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(machine_.broadcasts, 1);

    EXPECT_EQ(ListNames(Group()),
              (std::vector<std::string>{"NEB Configuration Manager.lnk", "Uninstall NEB.lnk"}));
    Link manage = ReadLink(Group("NEB Configuration Manager.lnk"));
    EXPECT_EQ(manage.target, manager);
    EXPECT_EQ(manage.arguments, "");
    Link uninstall = ReadLink(Group("Uninstall NEB.lnk"));
    EXPECT_EQ(uninstall.target, manager);
    EXPECT_EQ(uninstall.arguments, "-RequestUninstall");

    EXPECT_EQ(progress.rows.at(0).percents,
              (std::vector<int>{3,  6,  10, 13, 16, 20, 23, 26, 30, 33, 36, 40, 43, 46, 50,
                                53, 56, 60, 63, 66, 70, 73, 76, 80, 83, 86, 90, 93, 96, 100}));
    EXPECT_EQ(progress.paused, 500u + 30 * 66);

    EXPECT_TRUE(transaction.Rollback(errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(LayoutSnapshot(), keysBefore);
    EXPECT_EQ(Describe(WorkSnapshot()), treeBefore);
}

TEST_F(RegistrationTest, StartMenuGroupIsMadeAfreshWhereverThePrograms) {
    // An old group of that name goes, with whatever it held.
    ::CreateDirectoryA(Group().c_str(), nullptr);
    WriteBytes(Group("stale.lnk"), "not a link");
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    std::string group;
    ASSERT_EQ(RegisterPlatform(Install(), progress, transaction, errors, group),
              ProcedureResult::Succeeded);
    EXPECT_EQ(ListNames(group),
              (std::vector<std::string>{"NEB Configuration Manager.lnk", "Uninstall NEB.lnk"}));
    ASSERT_TRUE(transaction.Rollback(errors));
    EXPECT_EQ(ReadBytes(Group("stale.lnk")), "not a link");

    // Without a common programs folder, the user's own.
    machine_.folders.erase(ShellFolder::CommonPrograms);
    ASSERT_EQ(RegisterPlatform(Install(), progress, transaction, errors, group),
              ProcedureResult::Succeeded);
    EXPECT_EQ(group, Folder(ShellFolder::Programs) + "\\NEB 2.0");
    ASSERT_TRUE(transaction.Rollback(errors));

    machine_.folders.erase(ShellFolder::Programs);
    errors = ErrorList();
    EXPECT_EQ(RegisterPlatform(Install(), progress, transaction, errors, group),
              ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(11200)});
    EXPECT_EQ(progress.rows.back().percents.size(), 26u);
    ASSERT_TRUE(transaction.Rollback(errors));
}

TEST_F(RegistrationTest, CancelIsHonouredAfterTheCurrentStep) {
    RecordingProgress progress;
    progress.cancelWhen = CancelAfter(3002, 12);
    Transaction transaction;
    ErrorList errors;
    std::string group;
    EXPECT_EQ(RegisterPlatform(Install(), progress, transaction, errors, group),
              ProcedureResult::Cancelled);
    EXPECT_EQ(progress.rows.at(0).percents.size(), 12u);
    EXPECT_EQ(Value(Uninstall20Key, "DisplayName"), "NEB 2.0");
    EXPECT_EQ(Value(Uninstall20Key, "UninstallString"), "<missing>");
    EXPECT_TRUE(errors.Empty());
    EXPECT_TRUE(transaction.Rollback(errors));
}

TEST_F(RegistrationTest, FailuresAreUndone) {
    // Every other call is made to fail; the registration makes some three hundred.
    int calls = ExpectUndoneAfterEachFailure(
        [this](Transaction& transaction, ErrorList& errors) {
            RecordingProgress progress;
            std::string group;
            return RegisterPlatform(Install(), progress, transaction, errors, group);
        },
        2);
    EXPECT_GT(calls, 200);
}

} // namespace
} // namespace nebcm::test
