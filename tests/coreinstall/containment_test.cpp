// The core's archive entries and the 1.0 software it takes over are written only where the system
// opens them as named: a name that reaches an existing entry through its short name is refused
// before anything is written.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/file_system.h"
#include "engine/tree_visitors.h"

namespace nebcm::test {
namespace {

class CoreContainmentTest : public CoreInstallTest {
protected:
    static std::string ShortName(const std::string& path) {
        char buffer[MAX_PATH] = {};
        const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
        EXPECT_GT(length, 0u) << path;
        const std::string name(buffer, length);
        return name.substr(name.rfind('\\') + 1);
    }
};

TEST_F(CoreContainmentTest, AnEntryThroughAShortNameIsRefusedBeforeAnythingIsWritten) {
    ASSERT_TRUE(::CreateDirectoryA(Work("NEB").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install().c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install("Long Directory Name").c_str(), nullptr));
    const std::string alias = ShortName(Install("Long Directory Name"));
    ASSERT_NE(alias, "Long Directory Name");

    machine_.useRealArchive = false;
    machine_.archive = MakeArchive({{"njava.exe", "MZ launcher"},
                                    {"Long Directory Name\\own.txt", "own"},
                                    {alias + "\\other.txt", "through the alias"}});
    const std::string before = MachineState();
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    EXPECT_EQ(InstallCoreFiles(Install(), progress, transaction, errors), ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(12010, alias + "/other.txt")});
    EXPECT_EQ(transaction.Count(), 0);
    EXPECT_EQ(MachineState(), before);
}

// The platform installed over a 1.0 one, ready for the migration of its software.
class LegacyContainmentTest : public CoreContainmentTest {
protected:
    void SetUp() override {
        CoreContainmentTest::SetUp();
        PrepareMachineKeys();
        LayOutLegacyInstallation();
        RecordingProgress progress;
        ErrorList errors;
        ASSERT_EQ(InstallConfigurationManagerFiles(Install(), progress, base_, errors),
                  ProcedureResult::Succeeded);
        ASSERT_EQ(InstallCoreFiles(Install(), progress, base_, errors), ProcedureResult::Succeeded)
            << errors.At(0);
        ASSERT_EQ(RegisterPlatform(Install(), progress, base_, errors, group_),
                  ProcedureResult::Succeeded);
    }
    void TearDown() override {
        ErrorList errors;
        EXPECT_TRUE(base_.Rollback(errors));
        CoreContainmentTest::TearDown();
    }
    Transaction base_;
    std::string group_;
};

// The 1.0 database names the editor's link by the short name of an existing folder, or of an
// existing link, in the group the migration makes its links in: the user's own entries there
// would be replaced.
TEST_F(LegacyContainmentTest, ALinkThroughAShortNameIsRefusedBeforeAnythingIsCopied) {
    const std::string legacyGroup = JoinPath(group_, PlatformName10);
    ErrorList ignored;
    ASSERT_TRUE(
        MakeSureDirectoryExists(JoinPath(legacyGroup, "Long Folder Name"), nullptr, ignored));
    WriteBytes(JoinPath(legacyGroup, "Editor Of Mine.lnk"), "the user's own link");
    const std::string folderAlias = ShortName(JoinPath(legacyGroup, "Long Folder Name"));
    std::string linkAlias = ShortName(JoinPath(legacyGroup, "Editor Of Mine.lnk"));
    ASSERT_NE(linkAlias.find('.'), std::string::npos);
    linkAlias.erase(linkAlias.find('.'));
    const std::string database = ReadBytes(Legacy("neb.cdb"));
    for (const std::string& shortcut : {folderAlias + "/Editor", linkAlias}) {
        SCOPED_TRACE(shortcut);
        std::string text = database;
        const std::string line = "File=app/run.exe;Editor";
        ASSERT_NE(text.find(line), std::string::npos);
        text.replace(text.find(line), line.size(), "File=app/run.exe;" + shortcut);
        WriteBytes(Legacy("neb.cdb"), text);
        const std::string before = MachineState();
        RecordingProgress progress;
        Transaction transaction;
        ErrorList errors;
        EXPECT_EQ(MigrateLegacySoftware(Install(), group_, progress, transaction, errors),
                  ProcedureResult::Failed);
        EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(
                                         12010, std::string(PlatformName10) + "/" + shortcut)});
        EXPECT_EQ(transaction.Count(), 0);
        EXPECT_EQ(MachineState(), before);
    }
    // The platform's own entries go with the rollback; these are the test's.
    ::DeleteFileA(JoinPath(legacyGroup, "Editor Of Mine.lnk").c_str());
    ::RemoveDirectoryA(JoinPath(legacyGroup, "Long Folder Name").c_str());
    ::RemoveDirectoryA(legacyGroup.c_str());
}

// Names of the day often came in capitals: the database and the disk spell the same files in
// different letter cases. The 1.0 core and manager stay behind; the editor keeps its link.
TEST_F(LegacyContainmentTest, TheDatabaseAndTheDiskNameOneFileInAnyLetterCase) {
    std::string text = ReadBytes(Legacy("neb.cdb"));
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"File=core/classes.zip", "File=CORE/Classes.Zip"},
          {"File=app/run.exe;", "File=APP/Run.Exe;"}}) {
        ASSERT_NE(text.find(from), std::string::npos);
        text.replace(text.find(from), from.size(), to);
    }
    WriteBytes(Legacy("neb.cdb"), text);
    ASSERT_TRUE(::DeleteFileA(Legacy("NebCM.exe").c_str()));
    WriteBytes(Legacy("NEBCM.EXE"), "MZ old manager");
    const std::string manager = ReadBytes(Install("NebCM.exe"));

    RecordingProgress progress;
    ErrorList errors;
    ASSERT_EQ(MigrateLegacySoftware(Install(), group_, progress, base_, errors),
              ProcedureResult::Succeeded)
        << errors.At(0);
    EXPECT_EQ(ReadBytes(Install("NebCM.exe")), manager);
    EXPECT_FALSE(PathExists(Install("core\\classes.zip")));
    EXPECT_EQ(ReadBytes(Install("app\\run.exe")), "MZ editor");
    EXPECT_EQ(ReadLink(JoinPath(group_, std::string(PlatformName10) + "\\Editor.lnk")).target,
              Install("app\\run.exe"));
}

} // namespace
} // namespace nebcm::test
