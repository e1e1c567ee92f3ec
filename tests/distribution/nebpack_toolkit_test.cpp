// nebpack's authoring aids: named platforms and the check on every Windows version, the set
// comparison, the strict warnings, installation media and the progress line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../../tools/nebpack/diff_tool.h"
#include "../../tools/nebpack/host.h"
#include "../../tools/nebpack/medium_tool.h"
#include "../../tools/nebpack/output_tree.h"
#include "../../tools/nebpack/platforms.h"
#include "../../tools/nebpack/progress.h"
#include "../../tools/nebpack/strict_check.h"
#include "common/messages.h"
#include "platform/file_info.h"
#include "set_builder.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;

struct Captured {
    int code;
    std::string out;
    std::string err;
};

class NebpackToolkitTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return work.File(name); }
    // A set file of subsets, each a database and its files (archive names with backslashes).
    void WriteSet(const std::string& name,
                  const std::vector<std::pair<std::string, std::vector<SubsetFile>>>& subsets) {
        std::vector<Bytes> parts;
        for (const auto& [database, files] : subsets) {
            parts.push_back(BuildSubset(database, files));
        }
        work.Write(name, Text(Join(parts)));
    }
    template <class F> Captured Capture(F run) {
        std::FILE* out = std::fopen(work.File("stdout.txt").c_str(), "wb");
        std::FILE* err = std::fopen(work.File("stderr.txt").c_str(), "wb");
        const int code = run(out, err);
        std::fclose(out);
        std::fclose(err);
        return {code, work.Read("stdout.txt"), work.Read("stderr.txt")};
    }
    Captured Diff(const std::string& a, const std::string& b) {
        PlatformSymbols none;
        return Capture([&](std::FILE* out, std::FILE* err) {
            return nebpack::DiffSets(Path(a), Path(b), &none, out, err);
        });
    }
    std::vector<std::string> Strict(const std::string& set) {
        PlatformSymbols none;
        std::vector<std::string> warnings;
        EXPECT_TRUE(nebpack::StrictWarnings(Path(set), &none, warnings));
        return warnings;
    }

    ScratchDir work;
};

PlatformSymbols Of(const std::string& version, const std::string& processor) {
    PlatformSymbols symbols;
    std::string error;
    EXPECT_TRUE(nebpack::SymbolsOfPlatform(version, processor, symbols, error)) << error;
    return symbols;
}

TEST(NebpackPlatforms, NamesStandForTheSymbolsTheManagerComputesThere) {
    EXPECT_EQ(Of("winxp", "pentium3"),
              (PlatformSymbols{"CPU", "i80x86", "i80386", "i80486", "Pentium", "PentiumII",
                               "PentiumIII", "OS", "Win32", "Win32r", "Win4", "WinXP"}));
    // The processor model counts on the NT family only.
    EXPECT_EQ(Of("Win98", "PENTIUM2"),
              (PlatformSymbols{"CPU", "i80x86", "i80386", "i80486", "Pentium", "OS", "Win32",
                               "Win32r", "Win9x", "Win98"}));
    const PlatformSymbols sp5 = Of("nt4sp5", "pentiumpro");
    for (const char* s : {"WinNT3x", "WinNT4", "WinNT4sp3", "WinNT4sp4", "WinNT4sp5", "Pentium"}) {
        EXPECT_TRUE(sp5.Contains(s)) << s;
    }
    EXPECT_FALSE(sp5.Contains("WinNT4sp6"));
    EXPECT_FALSE(sp5.Contains("PentiumII"));
    EXPECT_FALSE(Of("nt4", "pentium").Contains("WinNT4sp3"));
    EXPECT_EQ(Of("win2000", "alpha"),
              (PlatformSymbols{"CPU", "OS", "Win32", "Win32r", "Win4", "Win2000"}));
    EXPECT_TRUE(Of("winme", "i386").Contains("WinME"));
    EXPECT_FALSE(Of("winme", "i386").Contains("i80486"));
    // Every name listed is known, and the served versions are distinct platforms.
    for (const std::string& v : nebpack::VersionNames()) {
        for (const std::string& p : nebpack::ProcessorNames()) {
            Of(v, p);
        }
    }
    std::vector<PlatformSymbols> served = nebpack::AllPlatformSymbols("pentium");
    ASSERT_EQ(served.size(), 7u);
    for (std::size_t i = 0; i < served.size(); ++i) {
        for (std::size_t j = i + 1; j < served.size(); ++j) {
            EXPECT_FALSE(served[i] == served[j]) << i << " " << j;
        }
    }
    PlatformSymbols symbols;
    std::string error;
    EXPECT_FALSE(nebpack::SymbolsOfPlatform("win7", "pentium", symbols, error));
    EXPECT_NE(error.find("win7"), std::string::npos);
    EXPECT_FALSE(nebpack::SymbolsOfPlatform("winxp", "itanium", symbols, error));
}

TEST(NebpackPlatforms, OptionsBecomeSymbolListsInPlace) {
    nebpack::PlatformOptions parsed;
    std::string error;
    ASSERT_TRUE(nebpack::ParsePlatformOptions(
        {"a.nds", "--platform", "win95", "--processor=i486", "--platform=winxp", "d"}, parsed,
        error))
        << error;
    EXPECT_EQ(parsed.rest,
              (std::vector<std::string>{
                  "a.nds", "--symbols=CPU,OS,Win32,Win32r,Win95,Win9x,i80386,i80486,i80x86",
                  "--symbols=CPU,OS,Win32,Win32r,Win4,WinXP,i80386,i80486,i80x86", "d"}));
    EXPECT_FALSE(parsed.all);

    ASSERT_TRUE(nebpack::ParsePlatformOptions({"--all-platforms", "a.nds"}, parsed, error));
    EXPECT_TRUE(parsed.all);
    EXPECT_EQ(parsed.processor, "pentium");
    EXPECT_EQ(parsed.rest, (std::vector<std::string>{"a.nds"}));

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"a.nds", "--platform"},
          std::vector<std::string>{"--processor", "i386", "a.nds"},
          std::vector<std::string>{"--all-platforms", "--platform", "winxp"},
          std::vector<std::string>{"--platform", "os2"},
          std::vector<std::string>{"--all-platforms", "--processor", "z80"},
          std::vector<std::string>{"--platform", "nt4", "--processor", "i386", "--processor",
                                   "i486"}}) {
        error.clear();
        EXPECT_FALSE(nebpack::ParsePlatformOptions(bad, parsed, error)) << bad.back();
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(NebpackToolkitTest, EveryVersionGetsItsOwnVerdictAndTheSummarySaysWhereTheyPart) {
    // The NT family gets a file of its own; 9x is refused, as its branch names a file the
    // subset does not hold.
    WriteSet(
        "s.nds",
        {{LibrarySection("x", "1.00", {"lib/x.jar"}) +
              "[Library:native]\nVersion=1.00\nDescription=n\nCopyright=(c)\nPackage=neb/n\n"
              "File=bin/all.dll\n#if WinNT4 or Win2000 or WinXP\nFile=bin/nt.dll\n#elseif Win9x\n"
              "File=bin/9x.dll\n#endif\n",
          {{"lib\\x.jar", "x"}, {"bin\\all.dll", "all"}, {"bin\\nt.dll", "nt"}}}});
    const std::string set = Path("s.nds");
    Captured c = Capture([&](std::FILE* out, std::FILE* err) {
        return nebpack::CheckAllPlatforms(
            [&](const PlatformSymbols& s) { return nebpack::SetVerdict(set, s); }, "pentium", out,
            err);
    });
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(c.err, "");
    std::vector<std::string> headings;
    std::string::size_type at = 0;
    while ((at = c.out.find("== ", at)) != std::string::npos) {
        headings.push_back(
            c.out.substr(at + 3, c.out.find(' ', at + 3) - at - 3) +
            (c.out.find(": rejected\n", at) < c.out.find('\n', at) ? " rejected" : " accepted"));
        at += 3;
    }
    EXPECT_EQ(headings, (std::vector<std::string>{"win95 rejected", "win98 rejected",
                                                  "winme rejected", "nt3 accepted", "nt4 accepted",
                                                  "win2000 accepted", "winxp accepted"}))
        << c.out;
    EXPECT_NE(c.out.find(Message(12111, 1, AbsolutePath(set), "bin/9x.dll")), std::string::npos)
        << c.out;
    EXPECT_NE(c.out.find("accepted\nLibrary:x 1.00, 1 file\nLibrary:native 1.00, 1 file\n"),
              std::string::npos)
        << c.out;
    const std::string last = c.out.substr(c.out.rfind('\n', c.out.size() - 2) + 1);
    EXPECT_EQ(last, "summary: accepted on 4 of 7 versions, rejected on win95 win98 winme; "
                    "Library:native differs (nt3 | nt4 win2000 winxp)\n");

    // A set without branches: the same everywhere, and 0.
    WriteSet("plain.nds", {{LibrarySection("x", "1.00", {"lib/x.jar"}), {{"lib\\x.jar", "x"}}}});
    const std::string plain = Path("plain.nds");
    Captured same = Capture([&](std::FILE* out, std::FILE* err) {
        return nebpack::CheckAllPlatforms(
            [&](const PlatformSymbols& s) { return nebpack::SetVerdict(plain, s); }, "pentium3",
            out, err);
    });
    EXPECT_EQ(same.code, 0);
    EXPECT_NE(same.out.find("== winxp on pentium3 (CPU,OS,Pentium,PentiumII,PentiumIII,"),
              std::string::npos)
        << same.out;
    EXPECT_EQ(same.out.substr(same.out.rfind("summary")),
              "summary: accepted on 7 of 7 versions; the same on every version\n");

    // A set that is not there is no verdict at all.
    const std::string missing = Path("missing.nds");
    Captured none = Capture([&](std::FILE* out, std::FILE* err) {
        return nebpack::CheckAllPlatforms(
            [&](const PlatformSymbols& s) { return nebpack::SetVerdict(missing, s); }, "pentium",
            out, err);
    });
    EXPECT_EQ(none.code, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, Message(12104, AbsolutePath(missing)) + "\n");
}

TEST_F(NebpackToolkitTest, DiffListsWhatTheNewReleaseChanges) {
    const std::string util = LibrarySection("util", "1.00", {"lib/util.jar"});
    WriteSet(
        "old.nds",
        {{LibrarySection("xml", "1.20", {"lib/xml.jar", "docs/xml.txt;Sample/XML"}) + util +
              LibrarySection("gone", "1.00", {"lib/gone.jar"}) +
              LibrarySection("tool", "2.00", {"bin/tool.exe"}, {"Library=util"}, "Application"),
          {{"lib\\xml.jar", "xml"},
           {"docs\\xml.txt", "notes"},
           {"lib\\util.jar", "util"},
           {"lib\\gone.jar", "g"},
           {"bin\\tool.exe", "tool"}}}});
    WriteSet(
        "new.nds",
        {{LibrarySection("xml", "1.21", {"lib/xml.jar", "docs/xml.txt;Sample/XML notes"},
                         {"Description=XML Library"}) +
              util +
              LibrarySection("tool", "1.90", {"bin/tool.exe", "bin/tool.ini"},
                             {"Library=util", "Library=xml", "ExternalCore=2.00-"}, "Application") +
              LibrarySection("fresh", "1.10", {"lib/fresh.jar"}),
          {{"lib\\xml.jar", "xml 1.21"},
           {"docs\\xml.txt", "notes"},
           {"lib\\util.jar", "util"},
           {"bin\\tool.exe", "tool"},
           {"bin\\tool.ini", "ini"},
           {"lib\\fresh.jar", "f"}}}});
    Captured c = Diff("old.nds", "new.nds");
    EXPECT_EQ(c.code, 1) << c.err;
    EXPECT_EQ(c.err, "");
    EXPECT_EQ(c.out, "upgraded Library:xml 1.20 -> 1.21\n"
                     "changed Library:xml: description \"The xml Library\" -> \"XML Library\"\n"
                     "changed Library:xml: shortcut of docs/xml.txt \"Sample/XML\" -> \"Sample/XML "
                     "notes\"\n"
                     "removed Library:gone 1.00\n"
                     "downgraded Application:tool 2.00 -> 1.90\n"
                     "changed Application:tool: dependencies Library=util -> Library=util, "
                     "Library=xml\n"
                     "changed Application:tool: requirements (none) -> ExternalCore=2.00-\n"
                     "added Library:fresh 1.10\n"
                     "file added bin/tool.ini (Application:tool)\n"
                     "file added lib/fresh.jar (Library:fresh)\n"
                     "file removed lib/gone.jar (Library:gone)\n"
                     "file changed lib/xml.jar (Library:xml, 3 -> 8 bytes)\n");

    // Same bytes under another time stamp, in another subset order: nothing to say.
    Captured same = Diff("old.nds", "old.nds");
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "");
    WriteSet("split.nds",
             {{util, {{"lib\\util.jar", "util"}}}, {util, {{"lib\\util.jar", "util"}}}});
    WriteSet("one.nds", {{util, {{"lib\\util.jar", "util"}}}});
    EXPECT_EQ(Diff("split.nds", "one.nds").code, 0);
    // Same size, other bytes.
    WriteSet("other.nds", {{util, {{"lib\\util.jar", "UTIL"}}}});
    EXPECT_EQ(Diff("one.nds", "other.nds").out, "file changed lib/util.jar (Library:util, 4 -> 4 "
                                                "bytes)\n");

    // A set the manager rejects cannot be compared: 2, with its messages.
    work.Write("bad.nds", "LZW");
    Captured bad = Diff("one.nds", "bad.nds");
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find(Message(12106, AbsolutePath(Path("bad.nds")))), std::string::npos)
        << bad.err;
}

TEST_F(NebpackToolkitTest, DiffAndStrictCompareLargeFilesToTheirLastByte) {
    // Files of several comparison chunks, and not a whole number of them.
    std::string big;
    for (std::uint32_t x = 7; big.size() < 3 * nebcm::EntryCompareChunk + 17;) {
        x = x * 1103515245u + 12345u;
        big += "w" + std::to_string((x >> 16) % 89) + ' ';
    }
    big.resize(3 * nebcm::EntryCompareChunk + 17);
    std::string lastByte = big;
    lastByte.back() ^= 1;
    std::string nextChunk = big;
    nextChunk[nebcm::EntryCompareChunk] ^= 1;
    const std::string size = std::to_string(big.size());
    const std::string db = LibrarySection("big", "1.00", {"lib/big.jar"});
    WriteSet("big.nds", {{db, {{"lib\\big.jar", big}}}});
    // The same bytes in blocks of another length.
    work.Write("reblocked.nds",
               Text(BuildSubset(db, {{"lib\\big.jar", big}}, nebpack::LzwOptions{1000, 0, false})));
    WriteSet("last.nds", {{db, {{"lib\\big.jar", lastByte}}}});
    WriteSet("next.nds", {{db, {{"lib\\big.jar", nextChunk}}}});
    EXPECT_EQ(Diff("big.nds", "reblocked.nds").out, "");
    const std::string changed =
        "file changed lib/big.jar (Library:big, " + size + " -> " + size + " bytes)\n";
    EXPECT_EQ(Diff("big.nds", "last.nds").out, changed);
    EXPECT_EQ(Diff("next.nds", "big.nds").out, changed);

    const std::string a = LibrarySection("a", "1.00", {"share/big.dat"});
    const std::string b = LibrarySection("b", "1.00", {"share/big.dat"});
    WriteSet("same.nds", {{a, {{"share\\big.dat", big}}}, {b, {{"share\\big.dat", big}}}});
    WriteSet("apart.nds", {{a, {{"share\\big.dat", big}}}, {b, {{"share\\big.dat", lastByte}}}});
    EXPECT_EQ(Strict("same.nds"), std::vector<std::string>());
    const std::vector<std::string> apart = Strict("apart.nds");
    ASSERT_EQ(apart.size(), 1u) << ::testing::PrintToString(apart);
    EXPECT_NE(apart[0].find("with different bytes"), std::string::npos) << apart[0];
}

TEST_F(NebpackToolkitTest, StrictPointsOutWhatBitesOnAUsersMachine) {
    // Directories spelled in two cases by two subsets; a path that two extensions of two subsets
    // bring with different bytes; a path near the limit.
    const std::string longPath = "lib/" + std::string(259 - 24 - 4 - 8, 'l');
    WriteSet("s.nds", {{LibrarySection("a", "1.00", {"Lib/a.jar", "share/common.txt"}),
                        {{"Lib\\a.jar", "a"}, {"share\\common.txt", "first"}}},
                       {LibrarySection("b", "1.00", {"lib/b.jar", "share/common.txt", longPath}),
                        {{"lib\\b.jar", "b"},
                         {"share\\common.txt", "second"},
                         {"lib\\" + longPath.substr(4), "l"}}}});
    const std::vector<std::string> warnings = Strict("s.nds");
    ASSERT_EQ(warnings.size(), 3u) << ::testing::PrintToString(warnings);
    EXPECT_EQ(warnings[0], "'Lib' (subset 1) and 'lib' (subset 2) differ only in letter case; "
                           "Windows takes them for one name");
    EXPECT_EQ(warnings[1], "'" + longPath +
                               "' is 251 characters long below C:\\Program "
                               "Files\\NEB\\20\\ (Windows opens at most 259; a longer installation "
                               "directory makes it fail)");
    EXPECT_EQ(warnings[2], "'share/common.txt' comes from subset 1 (Library:a) and from subset 2 "
                           "(Library:b) with different bytes; the set installs subset 1's and "
                           "Library:b gets it too");

    // Nothing to say: the same bytes from both subsets, a path just short of the margin, and an
    // older definition replaced by a newer one with other bytes (that is an upgrade).
    const std::string shorter = "lib/" + std::string(259 - 24 - 4 - 12, 's');
    WriteSet("clean.nds",
             {{LibrarySection("a", "1.00", {"lib/a.jar", "share/common.txt"}) +
                   LibrarySection("c", "1.00", {"lib/c.jar"}),
               {{"lib\\a.jar", "a"}, {"share\\common.txt", "same"}, {"lib\\c.jar", "old"}}},
              {LibrarySection("b", "1.00", {"lib/b.jar", "share/common.txt", shorter}) +
                   LibrarySection("c", "1.01", {"lib/c.jar"}),
               {{"lib\\b.jar", "b"},
                {"share\\common.txt", "same"},
                {"lib\\" + shorter.substr(4), "s"},
                {"lib\\c.jar", "new"}}}});
    EXPECT_EQ(Strict("clean.nds"), std::vector<std::string>());

    // A file spelled in another case by a definition that folding drops still differs there.
    WriteSet("twins.nds", {{LibrarySection("c", "1.00", {"lib/C.jar"}), {{"lib\\C.jar", "1"}}},
                           {LibrarySection("c", "1.01", {"lib/c.jar"}), {{"lib\\c.jar", "2"}}}});
    const std::vector<std::string> twins = Strict("twins.nds");
    ASSERT_EQ(twins.size(), 1u) << ::testing::PrintToString(twins);
    EXPECT_EQ(twins[0].rfind("'lib/C.jar' (subset 1) and 'lib/c.jar' (subset 2)", 0), 0u);
}

TEST_F(NebpackToolkitTest, StrictReportsEachWarningOnceAndOnlyForAnAcceptedSet) {
    WriteSet("s.nds", {{LibrarySection("a", "1.00", {"Lib/a.jar"}), {{"Lib\\a.jar", "a"}}},
                       {LibrarySection("b", "1.00", {"lib/b.jar"}), {{"lib\\b.jar", "b"}}}});
    const PlatformSymbols xp = Of("winxp", "pentium");
    const PlatformSymbols me = Of("winme", "pentium");
    Captured c = Capture([&](std::FILE*, std::FILE* err) {
        return nebpack::ReportStrictWarnings(Path("s.nds"), {&xp, &me}, 0, err);
    });
    EXPECT_EQ(c.code, 3);
    EXPECT_EQ(c.err, "nebpack: warning: 'Lib' (subset 1) and 'lib' (subset 2) differ only in "
                     "letter case; Windows takes them for one name\n");
    // A rejected or unreadable check keeps its own code, without warnings.
    Captured rejected = Capture([&](std::FILE*, std::FILE* err) {
        return nebpack::ReportStrictWarnings(Path("s.nds"), {&xp}, 1, err);
    });
    EXPECT_EQ(rejected.code, 1);
    EXPECT_EQ(rejected.err, "");
    WriteSet("clean.nds", {{LibrarySection("a", "1.00", {"lib/a.jar"}), {{"lib\\a.jar", "a"}}}});
    EXPECT_EQ(Capture([&](std::FILE*, std::FILE* err) {
                  return nebpack::ReportStrictWarnings(Path("clean.nds"), {nullptr}, 0, err);
              }).code,
              0);
}

class NebpackMediumTest : public NebpackToolkitTest {
protected:
    void SetUp() override {
        MakeDirectory(Path("programs"));
        for (const std::string& f : nebpack::MediumProgramFiles()) {
            work.Write("programs" + std::string(ScratchDir::Separator()) + f, "program " + f);
        }
        WriteSet("My Set.nds",
                 {{LibrarySection("x", "1.00", {"lib/x.jar"}), {{"lib\\x.jar", "x"}}}});
    }
    Captured Make(const std::string& set, const std::string& dir = "medium",
                  const std::string& programs = "programs") {
        nebpack::MediumRequest request;
        request.outDir = Path(dir);
        request.set = Path(set);
        request.programs = Path(programs);
        return Capture(
            [&](std::FILE* out, std::FILE* err) { return nebpack::MakeMedium(request, out, err); });
    }
    std::string InMedium(const std::string& name) const {
        return work.Read("medium" + std::string(ScratchDir::Separator()) + name);
    }
};

TEST_F(NebpackMediumTest, AMediumHoldsTheProgramsTheSetAndItsSetupInformation) {
    Captured c = Make("My Set.nds");
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_EQ(c.err, "");
    EXPECT_NE(c.out.find("medium written to"), std::string::npos);
    for (const std::string& f : nebpack::MediumProgramFiles()) {
        EXPECT_EQ(InMedium(f), "program " + f) << f;
    }
    EXPECT_EQ(InMedium("setup.inf"), "My Set.nds\r\n");
    EXPECT_EQ(InMedium("My Set.nds"), work.Read("My Set.nds"));
    std::vector<std::string> problems;
    EXPECT_TRUE(nebpack::CheckMedium(Path("medium"), {PlatformSymbols()}, problems))
        << ::testing::PrintToString(problems);

    // What the launcher would refuse, the check refuses too.
    work.Write("medium" + std::string(ScratchDir::Separator()) + "setup.inf", "other.nds\n");
    problems.clear();
    EXPECT_FALSE(nebpack::CheckMedium(Path("medium"), {PlatformSymbols()}, problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind("Can't find the NEB Distribution Set '", 0), 0u) << problems[0];
    // A damaged copy of the set is found as well.
    work.Write("medium" + std::string(ScratchDir::Separator()) + "setup.inf", "My Set.nds");
    work.Write("medium" + std::string(ScratchDir::Separator()) + "My Set.nds", "LZW");
    problems.clear();
    EXPECT_FALSE(nebpack::CheckMedium(Path("medium"), {PlatformSymbols()}, problems));

    // An existing directory is never written into.
    Captured again = Make("My Set.nds");
    EXPECT_EQ(again.code, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos);
}

TEST_F(NebpackMediumTest, NothingIsMadeOfARejectedSetOrWithoutThePrograms) {
    // Refused on the 9x versions only: still no medium.
    WriteSet("nt.nds",
             {{LibrarySection("x", "1.00", {"lib/x.jar"}) + "#if Win9x\nFile=lib/9x.jar\n#endif\n",
               {{"lib\\x.jar", "x"}}}});
    Captured rejected = Make("nt.nds");
    EXPECT_EQ(rejected.code, 1);
    EXPECT_NE(rejected.out.find(Message(12111, 1, AbsolutePath(Path("nt.nds")), "lib/9x.jar")),
              std::string::npos)
        << rejected.out;
    EXPECT_NE(rejected.out.find("rejected with the symbols CPU,OS,Pentium,Win32,Win32r,Win95,"),
              std::string::npos)
        << rejected.out;
    EXPECT_EQ(nebpack::Examine(Path("medium")), nebpack::PathState::Missing);
    // Checked for the NT family alone, it makes a medium.
    nebpack::MediumRequest nt;
    nt.outDir = Path("nt-medium");
    nt.set = Path("nt.nds");
    nt.programs = Path("programs");
    nt.symbols = {Of("winxp", "pentium")};
    EXPECT_EQ(Capture([&](std::FILE* out, std::FILE* err) {
                  return nebpack::MakeMedium(nt, out, err);
              }).code,
              0);

    std::remove(Path("programs" + std::string(ScratchDir::Separator()) + "NebCM.GID").c_str());
    Captured lacking = Make("My Set.nds");
    EXPECT_EQ(lacking.code, 2);
    EXPECT_NE(lacking.err.find("NebCM.GID' is not there"), std::string::npos) << lacking.err;
    EXPECT_EQ(nebpack::Examine(Path("medium")), nebpack::PathState::Missing);

    std::string name;
    std::string error;
    EXPECT_FALSE(nebpack::MediumSetName(Path(" padded.nds"), name, error));
    EXPECT_TRUE(nebpack::MediumSetName(Path("My Set.nds"), name, error));
    EXPECT_EQ(name, "My Set.nds");
}

#ifndef _WIN32
TEST_F(NebpackMediumTest, TheImageIsAnIso9660FileSystem) {
    std::string error;
    if (nebpack::RunProgram({"genisoimage", "-version"}, error) != 0) {
        GTEST_SKIP() << "genisoimage is not installed";
    }
    nebpack::MediumRequest request;
    request.outDir = Path("medium");
    request.set = Path("My Set.nds");
    request.programs = Path("programs");
    request.iso = Path("medium.iso");
    Captured c = Capture(
        [&](std::FILE* out, std::FILE* err) { return nebpack::MakeMedium(request, out, err); });
    ASSERT_EQ(c.code, 0) << c.err;
    const std::string image = work.Read("medium.iso");
    ASSERT_GT(image.size(), 32774u);
    EXPECT_EQ(image.substr(32769, 5), "CD001");
    EXPECT_NE(image.find("MY_SET"), std::string::npos) << "the volume is named after the set";
}
#endif

TEST(NebpackProgress, TheLineIsRewrittenInPlaceAndWipedAtTheEnd) {
    ScratchDir work;
    std::FILE* f = std::fopen(work.File("line.txt").c_str(), "wb");
    {
        nebpack::ProgressLine line(f);
        line.BeginReading("a.nds");
        line.SetProgress(40);
        line.SetProgress(40);
        line.Show("x", 5);
    }
    std::fclose(f);
    EXPECT_EQ(work.Read("line.txt"), "\rnebpack: reading a.nds 0%\rnebpack: reading a.nds 40%"
                                     "\rnebpack: x 5%" +
                                         std::string(13, ' ') + "\r" + std::string(13, ' ') + "\r");
    // Without a terminal there is no line at all.
    nebpack::ProgressLine silent(nullptr);
    silent.Show("x", 1);
    silent.Clear();
}

} // namespace
} // namespace nebcm
