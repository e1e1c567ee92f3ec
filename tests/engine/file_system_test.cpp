// Path text, size text, queries, shell folders, process start and the directory walk.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "engine/file_system.h"
#include "engine_fixture.h"

namespace nebcm::test {
namespace {

TEST(ByteSizeText, UnitsAndHundredths) {
    const std::uint64_t KB = 1024, MB = KB * KB, GB = MB * KB;
    struct Case {
        std::uint64_t size;
        const char* text;
    } cases[] = {
        {0, "0 B"},
        {512, "512 B"},
        {1023, "1023 B"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {10239, "9.99 KB"},
        {10240, "10 KB"},
        {20480, "20 KB"},
        {MB - 1, "1023 KB"},
        {MB, "1.00 MB"},
        {5 * MB + MB / 4, "5.25 MB"},
        {3 * GB, "3.00 GB"},
        {2048 * GB, "2048 GB"},
        // Far beyond any disk: the count of gigabytes no longer fits 32 bits.
        {0xFFFFFFFFFFFFFFFFull, "17179869183 GB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatByteSize(c.size), c.text) << c.size;
    }
}

TEST(PathText, JoinDirectoryAndQuote) {
    struct Join {
        const char* a;
        const char* b;
        const char* joined;
    } joins[] = {
        {"C:\\x\\", "\\y", "C:\\x\\y"}, {"C:\\x", "y", "C:\\x\\y"}, {"C:\\x\\", "y", "C:\\x\\y"},
        {"C:\\x", "\\y", "C:\\x\\y"},   {"", "y", "\\y"},           {"C:\\", "a\\b", "C:\\a\\b"},
    };
    for (const Join& j : joins) {
        EXPECT_EQ(JoinPath(j.a, j.b), j.joined) << j.a << " + " << j.b;
    }

    struct Dir {
        const char* path;
        const char* directory;
    } dirs[] = {
        {"C:\\x", "C:\\"},          {"C:\\", "C:\\"}, {"C:\\a\\b\\c.txt", "C:\\a\\b"},
        {"name.txt", ""},           {"", ""},         {"\\\\server\\share\\f", "\\\\server\\share"},
        {"C:\\a\\b\\", "C:\\a\\b"},
    };
    for (const Dir& d : dirs) {
        EXPECT_EQ(DirectoryOf(d.path), d.directory) << d.path;
    }

    EXPECT_EQ(QuoteArgument("plain"), "\"plain\"");
    EXPECT_EQ(QuoteArgument("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
}

TEST(PathText, FullPathResolvesAgainstTheCurrentDirectory) {
    char current[MAX_PATH];
    ASSERT_TRUE(::GetCurrentDirectoryA(MAX_PATH, current));
    EXPECT_EQ(FullPath("some.txt"), JoinPath(current, "some.txt"));
    EXPECT_EQ(FullPath("C:\\a\\..\\b\\.\\c"), "C:\\b\\c");
    EXPECT_EQ(FullPath(""), "");
    // The platform's 260-character limit.
    EXPECT_EQ(FullPath("C:\\" + std::string(300, 'x')), "");
}

class FileSystemTest : public EngineTest {};

TEST_F(FileSystemTest, ExistenceAndSize) {
    std::string file = Work("five.txt");
    WriteBytes(file, "12345");
    struct Case {
        std::string path;
        bool exists, isFile, isDirectory;
    } cases[] = {
        {file, true, true, false},
        {Work(), true, false, true},
        {Work("missing"), false, false, false},
        {std::string(1, MissingDrive()) + ":\\x", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathExists(c.path), c.exists) << c.path;
        EXPECT_EQ(IsFile(c.path), c.isFile) << c.path;
        EXPECT_EQ(IsDirectory(c.path), c.isDirectory) << c.path;
    }

    std::uint64_t size = 99;
    ASSERT_TRUE(QueryFileSize(file, size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(QueryFileSize(Work("missing"), size));
    EXPECT_FALSE(QueryFileSize(Work(), size));

    // A file in use elsewhere cannot be measured: the query opens it without sharing.
    HANDLE held = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(QueryFileSize(file, size));
    ::CloseHandle(held);
}

TEST_F(FileSystemTest, DiskSpaceOfAPresentAndAMissingDrive) {
    std::uint64_t free = 0;
    ASSERT_TRUE(QueryFreeSpace('C', free));
    EXPECT_GT(free, 0u);
    std::uint32_t cluster = 0;
    ASSERT_TRUE(QueryClusterSize('C', cluster));
    EXPECT_GT(cluster, 0u);
    EXPECT_EQ(cluster & (cluster - 1), 0u) << "a cluster is a power of two: " << cluster;
    std::string text;
    ASSERT_TRUE(FreeSpaceText('C', text));
    EXPECT_NE(text.find(' '), std::string::npos) << text;

    char missing = MissingDrive();
    ASSERT_NE(missing, 0);
    EXPECT_FALSE(QueryFreeSpace(missing, free));
    EXPECT_FALSE(QueryClusterSize(missing, cluster));
    text = "unchanged";
    EXPECT_FALSE(FreeSpaceText(missing, text));
    EXPECT_EQ(text, "unchanged");
}

TEST(ShellFolders, EveryRoleResolvesToAnExistingDirectory) {
    struct Role {
        const char* name;
        bool (*query)(std::string&);
    } roles[] = {
        {"StartMenu", StartMenuFolder},
        {"Programs", ProgramsFolder},
        {"Desktop", DesktopFolder},
        {"CommonStartMenu", CommonStartMenuFolder},
        {"CommonPrograms", CommonProgramsFolder},
        {"CommonDesktop", CommonDesktopFolder},
    };
    std::string startMenu;
    ASSERT_TRUE(StartMenuFolder(startMenu));
    for (const Role& role : roles) {
        std::string path;
        ASSERT_TRUE(role.query(path)) << role.name;
        EXPECT_TRUE(IsDirectory(path)) << role.name << ": " << path;
    }
    std::string programs;
    ASSERT_TRUE(ProgramsFolder(programs));
    EXPECT_EQ(DirectoryOf(programs), startMenu);

    std::string root;
    ASSERT_TRUE(DefaultInstallationRoot(root));
    EXPECT_EQ(root, "C:\\Program Files");
}

TEST_F(FileSystemTest, StartProcessRunsTheProgramInItsDirectoryWithItsArguments) {
    const char* helpers = std::getenv("NEBCM_TEST_HELPERS");
    ASSERT_NE(helpers, nullptr) << "NEBCM_TEST_HELPERS is not set";
    std::string helper = std::string("Z:") + helpers + "/record_args.exe";
    std::replace(helper.begin(), helper.end(), '/', '\\');
    std::string directory = Work("with blank");
    ASSERT_TRUE(::CreateDirectoryA(directory.c_str(), nullptr));
    std::string program = directory + "\\record.exe";
    ASSERT_TRUE(::CopyFileA(helper.c_str(), program.c_str(), FALSE)) << helper;

    // Relative to the current directory, so the program's name must be made absolute.
    char current[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(::SetCurrentDirectoryA(Work().c_str()));
    bool started = StartProcess("with blank\\record.exe", "one \"two three\"");
    ::SetCurrentDirectoryA(current);
    ASSERT_TRUE(started);

    std::string recorded = directory + "\\args.txt";
    for (int i = 0; i < 200 && !IsFile(recorded); ++i) {
        ::Sleep(25);
    }
    ::Sleep(50);
    EXPECT_EQ(ReadBytes(recorded), "\"" + program + "\" one \"two three\"");

    EXPECT_FALSE(StartProcess(Work("no such program.exe"), ""));
}

// Records the calls of a walk as text and can stop at a chosen call.
class RecordingVisitor : public DirectoryVisitor {
public:
    std::vector<std::string> calls;
    std::string stopAt; // a call text at which to return false
    bool Begin() override { return Note("begin"); }
    bool VisitDirectory(const std::string& path) override { return Note("dir " + path); }
    bool VisitFile(const std::string& path) override { return Note("file " + path); }
    bool VisitUnreachable(const std::string& path, bool directory) override {
        return Note((directory ? "unreachable dir " : "unreachable file ") + path);
    }
    bool End() override { return Note("end"); }

    std::size_t IndexOf(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    }

private:
    bool Note(const std::string& call) {
        calls.push_back(call);
        return call != stopAt;
    }
};

class WalkTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(::CreateDirectoryA(Work("a").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("a\\b").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("empty").c_str(), nullptr));
        WriteBytes(Work("top.txt"), "t");
        WriteBytes(Work("a\\one.txt"), "1");
        WriteBytes(Work("a\\b\\two.txt"), "2");
    }
};

TEST_F(WalkTest, BothOrdersVisitEverythingOnceWithBeginAndEndAroundTheOutermost) {
    const std::vector<std::string> directories = {Work(), Work("a"), Work("a\\b"), Work("empty")};
    const std::vector<std::string> files = {Work("top.txt"), Work("a\\one.txt"),
                                            Work("a\\b\\two.txt")};
    for (WalkOrder order : {WalkOrder::DirectoriesFirst, WalkOrder::DirectoriesLast}) {
        RecordingVisitor visitor;
        // A trailing backslash names the same directory.
        ASSERT_TRUE(WalkDirectory(Work() + "\\", visitor, order));
        ASSERT_EQ(visitor.calls.size(), 2 + directories.size() + files.size());
        EXPECT_EQ(visitor.calls.front(), "begin");
        EXPECT_EQ(visitor.calls.back(), "end");
        for (const std::string& file : files) {
            std::size_t at = visitor.IndexOf("file " + file);
            ASSERT_LT(at, visitor.calls.size()) << file;
            std::size_t parent = visitor.IndexOf("dir " + DirectoryOf(file));
            ASSERT_LT(parent, visitor.calls.size()) << file;
            if (order == WalkOrder::DirectoriesFirst) {
                EXPECT_LT(parent, at) << file;
            } else {
                EXPECT_GT(parent, at) << file;
            }
        }
        std::size_t inner = visitor.IndexOf("dir " + Work("a\\b"));
        std::size_t outer = visitor.IndexOf("dir " + Work("a"));
        EXPECT_EQ(order == WalkOrder::DirectoriesFirst, outer < inner);
    }
}

// A link back to a folder the walk is inside (Wine shows Unix links as plain folders; on Windows
// a junction can do the same) would make a disk search run until the path is too long.
TEST(WalkLoop, ALinkBackToAnEnclosingFolderIsNotEnteredAgain) {
    const char* loop = std::getenv("NEBCM_LINK_LOOP");
    if (loop == nullptr) {
        GTEST_SKIP() << "no folder with a link loop was prepared";
    }
    std::string root = std::string("Z:") + loop;
    std::replace(root.begin(), root.end(), '/', '\\');
    ASSERT_TRUE(IsDirectory(root + "\\inner\\back\\inner")) << "the link is missing";
    for (WalkOrder order : {WalkOrder::DirectoriesFirst, WalkOrder::DirectoriesLast}) {
        RecordingVisitor visitor;
        EXPECT_TRUE(WalkDirectory(root, visitor, order));
        EXPECT_EQ(std::count(visitor.calls.begin(), visitor.calls.end(), "dir " + root + "\\inner"),
                  1);
        EXPECT_LE(visitor.calls.size(), 5u);
    }
}

TEST_F(WalkTest, AFalseFromTheVisitorEndsTheWalkAndTheNextWalkStartsAfresh) {
    RecordingVisitor refusesBegin;
    refusesBegin.stopAt = "begin";
    EXPECT_FALSE(WalkDirectory(Work(), refusesBegin, WalkOrder::DirectoriesFirst));
    EXPECT_EQ(refusesBegin.calls, std::vector<std::string>{"begin"});

    // Stopping deep inside: no End, and the depth must be back at zero afterwards.
    RecordingVisitor stopsInside;
    stopsInside.stopAt = "file " + Work("a\\b\\two.txt");
    EXPECT_FALSE(WalkDirectory(Work(), stopsInside, WalkOrder::DirectoriesLast));
    EXPECT_EQ(stopsInside.calls.back(), stopsInside.stopAt);
    EXPECT_EQ(stopsInside.IndexOf("end"), stopsInside.calls.size());

    RecordingVisitor stopsAtDirectory;
    stopsAtDirectory.stopAt = "dir " + Work("a");
    EXPECT_FALSE(WalkDirectory(Work(), stopsAtDirectory, WalkOrder::DirectoriesFirst));
    EXPECT_EQ(stopsAtDirectory.IndexOf("file " + Work("a\\one.txt")),
              stopsAtDirectory.calls.size());

    RecordingVisitor again;
    EXPECT_TRUE(WalkDirectory(Work("a"), again, WalkOrder::DirectoriesFirst));
    EXPECT_EQ(again.calls.front(), "begin");
    EXPECT_EQ(again.calls.back(), "end");

    RecordingVisitor refusesEnd;
    refusesEnd.stopAt = "end";
    EXPECT_FALSE(WalkDirectory(Work("empty"), refusesEnd, WalkOrder::DirectoriesFirst));
}

// A name the code page cannot carry is listed with '?' (or look-alikes) and opens nothing; a path
// too long opens nothing either. The short name is the way in where there is one; otherwise the
// visitor is told, and the walk goes on with the rest unless the visitor stops it.
TEST_F(WalkTest, EntriesWithoutAUsableNameAreReachedByTheirShortNameOrHandedOver) {
    const std::string greek = MakeFolderBeyondTheCodePage(Work("a"));
    WriteBytes(greek + "\\inside.txt", "g");
    const std::string deepest = MakeDeepFolders(Work("deep"), 300);
    WriteBytesWide(deepest + "\\lost.txt", "l");
    const std::string lost = FirstOutOfReach(deepest);

    RecordingVisitor visitor;
    ASSERT_TRUE(WalkDirectory(Work(), visitor, WalkOrder::DirectoriesFirst));
    EXPECT_LT(visitor.IndexOf("dir " + greek), visitor.calls.size());
    EXPECT_LT(visitor.IndexOf("file " + greek + "\\inside.txt"), visitor.calls.size());
    // Exactly one call for the part of the chain that no name opens, and nothing below it.
    std::vector<std::string> unreachable;
    for (const std::string& call : visitor.calls) {
        if (call.compare(0, 12, "unreachable ") == 0) {
            unreachable.push_back(call);
        }
    }
    EXPECT_EQ(unreachable, std::vector<std::string>{"unreachable dir " + lost});
    EXPECT_LT(visitor.IndexOf("dir " + DirectoryOf(lost)), visitor.calls.size());
    EXPECT_LT(visitor.IndexOf("file " + Work("a\\b\\two.txt")), visitor.calls.size());
    EXPECT_EQ(visitor.calls.back(), "end");

    // A visitor that must see everything stops there.
    RecordingVisitor strict;
    strict.stopAt = "unreachable dir " + lost;
    EXPECT_FALSE(WalkDirectory(Work("deep"), strict, WalkOrder::DirectoriesLast));
    EXPECT_EQ(strict.calls.back(), strict.stopAt);
}

TEST_F(WalkTest, AFileOrAMissingPathIsNotWalked) {
    for (const std::string& path : {Work("top.txt"), Work("missing"), std::string()}) {
        RecordingVisitor visitor;
        EXPECT_FALSE(WalkDirectory(path, visitor, WalkOrder::DirectoriesFirst)) << path;
        EXPECT_TRUE(visitor.calls.empty()) << path;
    }
}

} // namespace
} // namespace nebcm::test
