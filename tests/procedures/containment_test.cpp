// Paths of sets and databases checked by the place they reach: the engine's own refusal of every
// path that Windows would rewrite or open elsewhere, whatever the reader let through, with nothing
// changed; the same-file identity of the planning and removal steps; benign sets that still
// install.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/containment.h"
#include "engine/extension_installation.h"
#include "engine/extension_uninstallation.h"
#include "engine/file_system.h"
#include "io/streams.h"
#include "platform_fixture.h"
#include "scripted_ui.h"

namespace nebcm::test {
namespace {

using Lines = std::vector<std::string>;
using Files = std::vector<std::pair<std::string, std::string>>; // path, shortcut

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// An archive entry held in memory, under whatever name the test gives it.
class MemoryEntry : public ArchiveEntry {
public:
    MemoryEntry(std::string name, const std::string& content)
        : name_(Backslashed(std::move(name))), bytes_(content.begin(), content.end()) {}
    std::unique_ptr<ArchiveEntry> Clone() const override {
        return std::make_unique<MemoryEntry>(*this);
    }
    const std::string& Name() const override { return name_; }
    std::string NameWithSlashes() const override {
        std::string name = name_;
        std::replace(name.begin(), name.end(), '\\', '/');
        return name;
    }
    bool IsDirectory() const override { return false; }
    FileTime CreationTime() const override { return 0x01c0000000000000ull; }
    FileTime LastAccessTime() const override { return 0x01c0000000000000ull; }
    FileTime LastWriteTime() const override { return 0x01c0000000000000ull; }
    std::uint32_t Size() const override { return static_cast<std::uint32_t>(bytes_.size()); }
    std::unique_ptr<DataInputStream> OpenStream() const override {
        return std::make_unique<MemoryInputStream>(bytes_);
    }

private:
    std::string name_;
    std::vector<std::uint8_t> bytes_;
};

std::unique_ptr<Extension> MakeApplication(const std::string& name, const Files& files) {
    FileList list;
    for (const auto& [path, shortcut] : files) {
        list.push_back(std::make_unique<ExtensionFile>(path, shortcut));
    }
    return std::make_unique<Application>(name, Version(1, 0), name, "Tessaly", "neb/test",
                                         std::move(list), DependencyList(), ExternalList());
}

// A set built without the reader, so its paths reach the engine exactly as written.
std::unique_ptr<DistributionSet> RawSet(const std::string& name, const Files& files) {
    auto configuration = std::make_unique<Configuration>();
    configuration->Add(MakeApplication(name, files));
    std::vector<std::unique_ptr<ArchiveEntry>> entries;
    for (const auto& [path, shortcut] : files) {
        entries.push_back(std::make_unique<MemoryEntry>(path, "set " + path));
    }
    return std::make_unique<DistributionSet>(std::move(configuration), std::move(entries));
}

std::string ShortName(const std::string& path) {
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    EXPECT_GT(length, 0u) << path;
    std::string name(buffer, length);
    return name.substr(name.rfind('\\') + 1);
}

class ContainmentTest : public PlatformTest {
protected:
    // Another extension's library, a data file below a long directory name, and an application.
    void LayOutStandard() {
        LayOutPlatform(Section("Library:xml", "1.00", {"lib/xml.jar"}) +
                       Section("Application:atlas", "1.00",
                               {"apps/atlas.exe;Atlas", "Long Directory Name/data.bin"}));
    }
    std::string State() {
        return DescribeWithoutAccessTimes(WorkSnapshot()) + Describe(KeySnapshot()) +
               ReadBytes("C:\\windows\\win.ini");
    }
    ProcedureResult Install(DistributionSet& set) {
        Selection selection;
        for (std::size_t i = 0; i < set.MergedConfiguration().Count(); ++i) {
            selection.insert(&set.MergedConfiguration().At(i));
        }
        return InstallExtensions(ui_, set, selection, errors_);
    }

    ScriptedUi ui_;
    ErrorList errors_;
};

TEST_F(ContainmentTest, OnlyPlacesTheSystemOpensAsWrittenLieInsideTheRoot) {
    const std::string root = Work("root");
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA((root + "\\Long Directory Name").c_str(), nullptr);
    const std::string alias = ShortName(root + "\\Long Directory Name");
    ASSERT_NE(alias, "Long Directory Name");

    const Lines refused = {
        "...",
        ". .",
        "x/.../.../evil.txt",
        ".../.../.../.../.../.../windows/win.ini",
        "lib/xml.jar.",
        "lib./xml.jar",
        "lib/xml.jar ",
        "lib /xml.jar",
        "aux.c",
        "lib/NUL",
        "CON",
        "com1.txt",
        "Lpt9",
        "conout$",
        "nul .txt",
        "a//b",
        "/a",
        "a/",
        "..\\..\\x",
        "a\\..\\b",
        "lib:stream",
        "C:\\x",
        "C:x",
        "x*",
        "x?.txt",
        "tab\there",
        alias + "/x.txt",
        std::string(300, 'n'),
    };
    for (const std::string& path : refused) {
        std::string full = "unchanged";
        EXPECT_FALSE(ContainedPath(root, path, full)) << path;
        EXPECT_EQ(full, "") << path;
    }
    const Lines accepted = {
        "lib/xml.jar", "Long Directory Name/x.txt", "a.b.c/d", "console.txt",
        "com10.txt",   "auxiliary/nul_x",           "lpt",     ".profile",
        "x y/z",
    };
    for (const std::string& path : accepted) {
        std::string full;
        EXPECT_TRUE(ContainedPath(root, path, full)) << path;
        EXPECT_EQ(full, root + "\\" + Backslashed(path));
    }
    std::string full;
    EXPECT_TRUE(ContainedPath(root + "\\", "a/b", full));
    EXPECT_EQ(full, root + "\\a\\b");

    EXPECT_TRUE(LiesInsideOneOf(root + "\\a\\b.lnk", {"", Work("other"), root}));
    EXPECT_FALSE(LiesInsideOneOf(root, {root}));
    EXPECT_FALSE(LiesInsideOneOf(root + "\\..\\b.lnk", {root}));
    EXPECT_FALSE(LiesInsideOneOf(root + "x\\b.lnk", {root}));
}

// Each path would be refused by the reader; the engine refuses it on its own, before its progress
// window opens, and nothing anywhere changes.
TEST_F(ContainmentTest, TheInstallationRefusesEveryEscapeBeforeAnyChange) {
    struct Row {
        std::string path;
        std::string shortcut;
        std::string named; // what the message names
    };
    const std::string up(".../.../.../.../.../.../.../.../");
    std::vector<Row> rows = {
        {up + "windows/win.ini", "", ""},
        {"x/.../.../evil.txt", "", ""},
        {"lib/xml.jar.", "", ""},
        {"lib./xml.jar", "", ""},
        {"aux.c", "", ""},
        {"lib/NUL", "", ""},
        {"CON", "", ""},
        {"com1.txt", "", ""},
        {"a//b", "", ""},
        {"<alias>/data.bin", "", ""},
        {"apps/evil.exe", ".../Startup/evil", ".../Startup/evil"},
        {"apps/evil.exe", "..\\..\\x", "..\\..\\x"},
        {"apps/evil.exe", "Tools/aux", "Tools/aux"},
    };
    for (Row& row : rows) {
        ResetPlatform();
        LayOutStandard();
        if (row.path.compare(0, 7, "<alias>") == 0) {
            // The long directory's short name, as the system gives it: another spelling of the
            // atlas's data file.
            row.path.replace(0, 7, ShortName(Installation("Long Directory Name")));
        }
        SCOPED_TRACE(row.path + " ; " + row.shortcut);
        const std::string named = row.named.empty() ? row.path : row.named;
        const std::string before = State();
        auto set = RawSet("hostile", {{row.path, row.shortcut}, {"apps/benign.exe", ""}});
        ui_ = ScriptedUi();
        errors_ = ErrorList();
        EXPECT_EQ(Install(*set), ProcedureResult::Failed);
        EXPECT_EQ(errors_.Messages(), Lines{Message(12010, named)});
        EXPECT_EQ(ui_.log, Lines());
        EXPECT_EQ(State(), before);
    }
}

TEST_F(ContainmentTest, LongDeepSharedAndDeviceLikeNamesStillInstallAndReinstall) {
    LayOutStandard();
    // A tree as deep as a directory may be, with a file whose full path just fits.
    std::string deep;
    while (Installation().size() + 1 + deep.size() + 11 <= 240) {
        deep += "abcdefghi/";
    }
    const std::size_t room = 259 - Installation().size() - 1 - deep.size();
    const std::string deepFile = deep + std::string(room - 4, 'f') + ".dat";
    ASSERT_EQ(Installation(Backslashed(deepFile)).size(), 259u);
    const std::string longName = "lib/" + std::string(150, 'L') + ".jar";
    auto set =
        MakeSet(Section("Application:one", "1.00",
                        {FileLine(deepFile), FileLine(longName), "lib/shared.jar", "console.txt",
                         "com10.txt", "auxiliary/nul_x;Tools/Console Helper"}) +
                Section("Application:two", "1.00", {"lib/shared.jar", "apps/two.exe;Two"}));
    ASSERT_TRUE(set);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ui_ = ScriptedUi();
        errors_ = ErrorList();
        ASSERT_EQ(Install(*set), ProcedureResult::Succeeded) << errors_.At(0);
        EXPECT_EQ(ui_.installed, (Lines{"one version 1.00", "two version 1.00"}));
        EXPECT_EQ(ReadBytes(Installation(Backslashed(deepFile))), "set " + deepFile + " 1.00");
        EXPECT_EQ(ReadBytes(Installation(Backslashed(longName))), "set " + longName + " 1.00");
        EXPECT_EQ(ReadBytes(Installation("lib\\shared.jar")), "set lib/shared.jar 1.00");
        EXPECT_EQ(ReadBytes(Installation("com10.txt")), "set com10.txt 1.00");
        EXPECT_EQ(ShortcutTarget(PlatformFolder("Tools\\Console Helper.lnk")),
                  Installation("auxiliary\\nul_x"));
    }
}

TEST_F(ContainmentTest, PlanningTreatsPathsOfOneFileAsOne) {
    Configuration installed;
    installed.Add(MakeApplication("keeper", {{"lib/XML.jar", ""}}));
    installed.Add(MakeApplication("old", {{"lib/xml.jar", ""}, {"apps/b.exe", ""}}));
    auto next = MakeApplication("old", {{"APPS/B.exe", ""}, {"apps/b.EXE", ""}});
    Classification classification;
    classification.install = {next.get()};
    classification.replace = {&installed.At(1)};
    const FilePlan plan = PlanFileChanges(installed, classification);
    // The kept library stays whatever its letter case; the rewritten file is removed once, as
    // installed, and written once.
    EXPECT_EQ(plan.removal, std::set<std::string>{"apps/b.exe"});
    EXPECT_EQ(plan.copy, std::set<std::string>{"APPS/B.exe"});
}

class RemovalTest : public ContainmentTest {
protected:
    void SetUp() override {
        ContainmentTest::SetUp();
        LayOutStandard();
        WriteBytes(Work("outside.txt"), "outside");
        WriteBytes(Installation("lib\\keep.jar"), "keep");
    }
    ProcedureResult Remove(const Files& files, std::set<std::string>& removed) {
        configuration_ = Configuration();
        configuration_.Add(
            MakeApplication("stays", {{"lib/KEEP.jar", ""}, {"Long Directory Name/data.bin", ""}}));
        configuration_.Add(MakeApplication("goes", files));
        ScriptedProgress progress(ui_.log, CancelScript(), nullptr);
        Transaction transaction;
        ProcedureResult result =
            RemoveExtensionFiles(Installation(), configuration_, {&configuration_.At(1)}, progress,
                                 removed, transaction, errors_);
        return result;
    }
    Configuration configuration_;
};

TEST_F(RemovalTest, FilesOfTheDatabaseOutsideTheInstallationAreRefusedBeforeAnyRemoval) {
    const std::string alias = ShortName(Installation("Long Directory Name"));
    const std::string before = State();
    std::set<std::string> removed;
    EXPECT_EQ(Remove({{"apps/atlas.exe", ""},
                      {".../.../outside.txt", ""},
                      {"aux.c", ""},
                      {alias + "/data.bin", ""}},
                     removed),
              ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(),
              (Lines{Message(12010, ".../.../outside.txt"), Message(12010, alias + "/data.bin"),
                     Message(12010, "aux.c")}));
    EXPECT_TRUE(removed.empty());
    EXPECT_EQ(State(), before);
}

TEST_F(RemovalTest, AFileThatAnExtensionWhichStaysListsInAnyCaseIsKept) {
    std::set<std::string> removed;
    ASSERT_EQ(Remove({{"apps/atlas.exe", ""}, {"lib/keep.jar", ""}}, removed),
              ProcedureResult::Succeeded)
        << errors_.At(0);
    EXPECT_EQ(removed, std::set<std::string>{Installation("apps\\atlas.exe")});
    EXPECT_EQ(ReadBytes(Installation("lib\\keep.jar")), "keep");
    EXPECT_EQ(ReadBytes(Installation("apps\\atlas.exe")), "<missing>");
}

// The database names the atlas's data file by the short name of its directory: uninstalling the
// hostile application would take the atlas's file with it.
TEST_F(ContainmentTest, TheUninstallationRefusesAFileOfTheDatabaseThatIsAnotherExtensionsFile) {
    LayOutStandard();
    const std::string alias = ShortName(Installation("Long Directory Name"));
    const std::string database = Installation(ComponentDatabaseFile);
    WriteBytes(database, ReadBytes(database) + "\n" +
                             Section("Application:hostile", "1.00",
                                     {"apps/hostile.exe", alias + "/data.bin"}));
    WriteBytes(Installation("apps\\hostile.exe"), "hostile");
    const std::string before = State();
    ui_.uninstallationWizard = [](const Configuration& candidates, Selection& selection) {
        for (std::size_t i = 0; i < candidates.Count(); ++i) {
            if (candidates.At(i).Name() == "hostile") {
                selection.insert(&candidates.At(i));
            }
        }
        return !selection.empty();
    };
    EXPECT_EQ(UninstallExtensions(ui_, errors_), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(12010, alias + "/data.bin")});
    EXPECT_EQ(ui_.uninstalled, Lines());
    EXPECT_EQ(ui_.log, Lines{"uninstallation wizard"}); // no progress window opened
    EXPECT_EQ(State(), before);
}

} // namespace
} // namespace nebcm::test
