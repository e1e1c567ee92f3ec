// Real shell links under Wine: creation, reading, rewriting, their rollbacks, and the collector.
#include <gtest/gtest.h>
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include "common/messages.h"
#include "engine/shortcuts.h"
#include "engine_fixture.h"
#include "platform/handles_win32.h"

namespace nebcm::test {
namespace {

class ShortcutTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(::CreateDirectoryA(Work("app").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("app\\bin").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("apple").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("menu").c_str(), nullptr));
        WriteBytes(Work("app\\bin\\tool.exe"), "MZ");
        WriteBytes(Work("app\\other.exe"), "MZ");
        WriteBytes(Work("apple\\pie.exe"), "MZ");
    }

    struct Link {
        std::string target, arguments, directory;
    };
    Link Read(const std::string& path) {
        Link link;
        EXPECT_TRUE(ReadShortcut(path, link.target, link.arguments, link.directory)) << path;
        return link;
    }
};

TEST_F(ShortcutTest, CreateAppendsTheExtensionOnlyWhenMissing) {
    ErrorList errors;
    ASSERT_TRUE(CreateShortcut(Work("menu\\Tool"), Work("app\\bin\\tool.exe"), "-x \"y z\"",
                               nullptr, errors));
    ASSERT_TRUE(
        CreateShortcut(Work("menu\\Upper.LNK"), Work("app\\other.exe"), "", nullptr, errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(ListNames(Work("menu")), (std::vector<std::string>{"Tool.lnk", "Upper.LNK"}));

    Link tool = Read(Work("menu\\Tool.lnk"));
    EXPECT_EQ(tool.target, Work("app\\bin\\tool.exe"));
    EXPECT_EQ(tool.arguments, "-x \"y z\"");
    EXPECT_EQ(tool.directory, Work("app\\bin"));
    EXPECT_EQ(Read(Work("menu\\Upper.LNK")).directory, Work("app"));
}

TEST_F(ShortcutTest, CreateWithIconSetsTheWorkingDirectoryShowCommandAndIcon) {
    WriteBytes(Work("app\\NEB.ico"), "icon");
    ErrorList errors;
    ASSERT_TRUE(CreateShortcutWithIcon(Work("menu\\App.lnk"), Work("app\\bin\\tool.exe"), "run",
                                       Work("apple"), SW_SHOWMAXIMIZED, Work("app\\NEB.ico"), 3,
                                       nullptr, errors));
    Link link = Read(Work("menu\\App.lnk"));
    EXPECT_EQ(link.target, Work("app\\bin\\tool.exe"));
    EXPECT_EQ(link.arguments, "run");
    EXPECT_EQ(link.directory, Work("apple"));

    ComPtr<IShellLinkA> shell;
    ASSERT_TRUE(
        SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, reinterpret_cast<void**>(shell.put()))));
    ComPtr<IPersistFile> file = QueryInterfaceOf<IPersistFile>(shell, IID_IPersistFile);
    ASSERT_TRUE(file);
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, Work("menu\\App.lnk").c_str(), -1, wide, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
    char icon[MAX_PATH] = {};
    int index = -1;
    ASSERT_TRUE(SUCCEEDED(shell->GetIconLocation(icon, MAX_PATH, &index)));
    EXPECT_EQ(std::string(icon), Work("app\\NEB.ico"));
    EXPECT_EQ(index, 3);
    // Wine's link object writes the show command but does not read it back, so it is checked in
    // the link file's header (a 32-bit field at offset 60).
    std::string bytes = ReadBytes(Work("menu\\App.lnk"));
    ASSERT_GE(bytes.size(), 64u);
    EXPECT_EQ(bytes.substr(60, 4), std::string("\x03\0\0\0", 4));
}

TEST_F(ShortcutTest, CreatingOverAnOldLinkAndInNewFoldersRollsBack) {
    ErrorList errors;
    ASSERT_TRUE(
        CreateShortcut(Work("menu\\Tool.lnk"), Work("app\\other.exe"), "old", nullptr, errors));
    ASSERT_TRUE(::SetFileAttributesA(Work("menu\\Tool.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string before = Describe(WorkSnapshot());

    Transaction transaction;
    ASSERT_TRUE(CreateShortcut(Work("menu\\Tool.lnk"), Work("app\\bin\\tool.exe"), "new",
                               &transaction, errors));
    ASSERT_TRUE(CreateShortcut(Work("menu\\NEB 2.0\\Sub\\Tool"), Work("app\\bin\\tool.exe"), "",
                               &transaction, errors));
    EXPECT_EQ(Read(Work("menu\\Tool.lnk")).arguments, "new");
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_EQ(Read(Work("menu\\Tool.lnk")).target, Work("app\\other.exe"));
    EXPECT_TRUE(TempFiles().empty());

    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& e) {
        return CreateShortcut(Work("menu\\Tool.lnk"), Work("app\\bin\\tool.exe"), "new", &t, e) &&
               CreateShortcut(Work("menu\\New\\Tool.lnk"), Work("app\\bin\\tool.exe"), "", &t, e);
    });
    EXPECT_GE(steps, 13);
}

TEST_F(ShortcutTest, CreateFailsWithOneMessageWhenAFileBlocksTheFolder) {
    WriteBytes(Work("menu\\Blocked"), "a file, not a folder");
    Transaction transaction;
    ErrorList errors;
    EXPECT_FALSE(CreateShortcut(Work("menu\\Blocked\\Tool"), Work("app\\other.exe"), "",
                                &transaction, errors));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), Message(10019, Work("menu\\Blocked\\Tool.lnk")));
    EXPECT_EQ(transaction.Count(), 0);
}

TEST_F(ShortcutTest, UpdateRewritesTheLinkAndRollsBackAfterAFailureAtEachStep) {
    ErrorList errors;
    ASSERT_TRUE(
        CreateShortcut(Work("menu\\Tool.lnk"), Work("app\\other.exe"), "old", nullptr, errors));
    SetOldTimes(Work("menu\\Tool.lnk"), 126227808000000000ull);
    ASSERT_TRUE(::SetFileAttributesA(Work("menu\\Tool.lnk").c_str(),
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const std::string before = Describe(WorkSnapshot());

    Transaction transaction;
    ASSERT_TRUE(UpdateShortcut(Work("menu\\Tool.lnk"), Work("app\\bin\\tool.exe"), "new",
                               Work("apple"), &transaction, errors));
    Link link = Read(Work("menu\\Tool.lnk"));
    EXPECT_EQ(link.target, Work("app\\bin\\tool.exe"));
    EXPECT_EQ(link.arguments, "new");
    EXPECT_EQ(link.directory, Work("apple"));
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);

    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& e) {
        return UpdateShortcut(Work("menu\\Tool.lnk"), Work("app\\bin\\tool.exe"), "new",
                              Work("apple"), &t, e);
    });
    EXPECT_GE(steps, 11);
}

TEST_F(ShortcutTest, UpdateOfALinkThatCannotBeLoadedFailsAndLeavesItAlone) {
    WriteBytes(Work("menu\\Broken.lnk"), "this is not a shell link at all");
    SetOldTimes(Work("menu\\Broken.lnk"), 126227808000000000ull);
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;
    EXPECT_FALSE(UpdateShortcut(Work("menu\\Broken.lnk"), Work("app\\other.exe"), "", "",
                                &transaction, errors));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), Message(10020, Work("menu\\Broken.lnk")));
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);

    // A link that is not there at all fails at its backup.
    EXPECT_FALSE(UpdateShortcut(Work("menu\\Missing.lnk"), Work("app\\other.exe"), "", "",
                                &transaction, errors));
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.At(1), Message(10014, Work("menu\\Missing.lnk")));

    std::string target = "untouched", arguments = "untouched", directory = "untouched";
    EXPECT_FALSE(ReadShortcut(Work("menu\\Broken.lnk"), target, arguments, directory));
    EXPECT_FALSE(ReadShortcut(Work("menu\\Missing.lnk"), target, arguments, directory));
    EXPECT_EQ(target + arguments + directory, "untoucheduntoucheduntouched");
}

TEST_F(ShortcutTest, CollectorFindsTheLinksThatPointIntoTheDirectory) {
    ErrorList errors;
    ASSERT_TRUE(::CreateDirectoryA(Work("menu\\Sub").c_str(), nullptr));
    ASSERT_TRUE(
        CreateShortcut(Work("menu\\Tool"), Work("app\\bin\\tool.exe"), "", nullptr, errors));
    ASSERT_TRUE(
        CreateShortcut(Work("menu\\Sub\\Other.LNK"), Work("app\\other.exe"), "", nullptr, errors));
    // A sibling whose name begins with the same letters is another directory.
    ASSERT_TRUE(CreateShortcut(Work("menu\\Pie"), Work("apple\\pie.exe"), "", nullptr, errors));
    WriteBytes(Work("menu\\readme.txt"), "not a link");
    WriteBytes(Work("menu\\Broken.lnk"), "damaged");

    std::string upper = Work("APP");
    for (char& c : upper) {
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    }
    for (const std::string& directory : {Work("app"), Work("app") + "\\", upper}) {
        ShortcutCollector collector(directory);
        ASSERT_TRUE(WalkDirectory(Work("menu"), collector, WalkOrder::DirectoriesFirst));
        EXPECT_EQ(collector.ShortcutList(),
                  (std::vector<std::string>{Work("menu\\Sub\\Other.LNK"), Work("menu\\Tool.lnk")}))
            << directory;
    }
    EXPECT_EQ(ShortcutCollector("C:/x/").Prefix(), "C:/x/");
    EXPECT_EQ(ShortcutCollector("C:\\x").Prefix(), "C:\\x\\");
}

} // namespace
} // namespace nebcm::test
