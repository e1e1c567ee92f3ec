// Reading distribution sets: subsets, databases, file checks, folding, externals, progress and
// the messages of every way a set is rejected.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "io/streams.h"
#include "model/component_database_reader.h"
#include "model/component_database_writer.h"
#include "model/legacy_component_database_reader.h"
#include "set_builder.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;
using Lines = std::vector<std::string>;

struct Outcome {
    std::unique_ptr<DistributionSet> set;
    Lines errors;
};

class DistributionSetTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const Bytes& image) {
        work.Write(name, Text(image));
        return work.File(name);
    }
    Outcome Read(const std::string& path, const PlatformSymbols& symbols = PlatformSymbols()) {
        ErrorList errors;
        Outcome o;
        o.set = ReadDistributionSet(path, errors, nullptr, &symbols);
        o.errors = errors.Messages();
        EXPECT_EQ(o.set == nullptr, !o.errors.empty()) << "a failure says why, a success nothing";
        return o;
    }
    Outcome ReadImage(const Bytes& image, const PlatformSymbols& symbols = PlatformSymbols()) {
        return Read(Put("set.nds", image), symbols);
    }
    std::string SetPath() const { return work.File("set.nds"); }

    ScratchDir work;
};

std::string Names(const Configuration& c) {
    std::string out;
    for (std::size_t i = 0; i < c.Count(); ++i) {
        out += (i ? " " : "") + c.At(i).Name() + "-" + c.At(i).Version().ToText();
    }
    return out;
}

std::string Data(const DistributionSet& set, const std::string& path) {
    const ArchiveEntry* e = set.FindEntry(path);
    if (e == nullptr) {
        return "<none>";
    }
    const std::vector<std::uint8_t> bytes = e->Bytes();
    return std::string(bytes.begin(), bytes.end());
}

const std::string LibX100 = LibrarySection("x", "1.00", {"lib/x.jar"});

TEST_F(DistributionSetTest, OneSubsetReadsWithItsFiles) {
    const std::string db =
        CoreSection("2.00", {"bin/njava.exe", "lib/core.jar"}, "bin/njava.exe") + LibX100 +
        LibrarySection("tool", "1.05", {"bin/tool.exe"}, {"Library=x"}, "Application");
    Outcome o = ReadImage(BuildSubset(db, {{"bin\\njava.exe", "launcher"},
                                           {"lib\\core.jar", "core classes"},
                                           {"lib\\x.jar", "x classes"},
                                           {"bin\\tool.exe", "tool"},
                                           {"unlisted.txt", "not named by the database"}}));
    ASSERT_TRUE(o.set) << o.errors[0];
    const DistributionSet& set = *o.set;
    EXPECT_EQ(Names(set.MergedConfiguration()), "Core-2.00 x-1.00 tool-1.05");
    EXPECT_EQ(set.EntryCount(), 4u);
    EXPECT_EQ(Data(set, "lib/core.jar"), "core classes");
    EXPECT_EQ(set.FindEntry("lib\\core.jar"), nullptr) << "paths use forward slashes";
    EXPECT_EQ(set.FindEntry("LIB/core.jar"), nullptr) << "paths compare case-sensitively";
    EXPECT_EQ(set.FindEntry("unlisted.txt"), nullptr) << "only named files survive";
    EXPECT_EQ(set.FindEntry("neb.cdb"), nullptr);
    const std::map<std::string, std::uint64_t> sizes = set.EntrySizes();
    EXPECT_EQ(
        sizes,
        (std::map<std::string, std::uint64_t>{
            {"bin/njava.exe", 8}, {"bin/tool.exe", 4}, {"lib/core.jar", 12}, {"lib/x.jar", 9}}));
    EXPECT_EQ(set.FindEntry("lib/x.jar")->LastWriteTime(), 0x01D0000000000000ull);
}

TEST_F(DistributionSetTest, SizeChecks) {
    const std::string missing = work.File("missing.nds");
    EXPECT_EQ(Read(missing).errors, Lines{Message(12104, missing)});
    // A directory is not a set either.
    EXPECT_EQ(Read(work.Path()).errors, Lines{Message(12104, work.Path())});

    const std::string empty = Put("empty.nds", {});
    EXPECT_EQ(Read(empty).errors, Lines{Message(12108, empty)});

    const std::string huge = work.File("huge.nds");
    ASSERT_TRUE(MakeFileOfSize(huge, std::uint64_t{1} << 31));
    EXPECT_EQ(Read(huge).errors, Lines{Message(12105, huge)});
}

TEST_F(DistributionSetTest, MessagesNameTheSetByItsAbsolutePath) {
    Put("set.nds", Bytes{'x'});
    MakeDirectory(work.File("sub"));
    const std::string sep = ScratchDir::Separator();
    const std::string roundabout =
        work.Path() + sep + "sub" + sep + ".." + sep + "." + sep + "set.nds";
    EXPECT_EQ(Read(roundabout).errors, Lines{Message(12106, SetPath())});
    EXPECT_EQ(Read(work.Path() + sep + "gone" + sep + ".." + sep + "nothing.nds").errors,
              Lines{Message(12104, work.File("nothing.nds"))});
}

TEST_F(DistributionSetTest, SubsetsFillTheFileExactly) {
    const Bytes subset = BuildSubset(LibX100, {{"lib\\x.jar", "x"}});
    EXPECT_TRUE(ReadImage(subset).set);

    Bytes extra = subset;
    extra.push_back(0);
    EXPECT_EQ(ReadImage(extra).errors, Lines{Message(12106, SetPath())});

    Bytes cut(subset.begin(), subset.end() - 1);
    EXPECT_EQ(ReadImage(cut).errors, Lines{Message(12106, SetPath())});

    // A second subset behind the first that is damaged.
    Bytes second = Join({subset, Bytes{'L', 'Z', 'W', 2, 0, 0}});
    EXPECT_EQ(ReadImage(second).errors, Lines{Message(12106, SetPath())});

    // An empty archive is a subset too, but one without a database.
    Bytes withEmpty = Join({subset, Bytes{'L', 'Z', 'W', 1, 0, 0}});
    EXPECT_EQ(ReadImage(withEmpty).errors, Lines{Message(12107, 2, SetPath())});
}

TEST_F(DistributionSetTest, EverySubsetNeedsItsDatabase) {
    const Bytes good = BuildSubset(LibX100, {{"lib\\x.jar", "x"}});
    // Stored under another name or in a directory it is not the database.
    const Bytes misplaced =
        nebpack::BuildArchive({{"NEB.CDB", 0, ToBytes(LibX100)}, {"lib\\x.jar", 0, ToBytes("x")}});
    const Bytes nested = nebpack::BuildArchive({{"sub\\neb.cdb", 0, ToBytes(LibX100)}});
    EXPECT_EQ(ReadImage(Join({good, misplaced})).errors, Lines{Message(12107, 2, SetPath())});
    EXPECT_EQ(ReadImage(Join({nested, good})).errors, Lines{Message(12107, 1, SetPath())});
    // The database's absence is found before any database is read.
    const Bytes unreadable = BuildSubset("garbage", {});
    EXPECT_EQ(ReadImage(Join({unreadable, misplaced})).errors, Lines{Message(12107, 2, SetPath())});
}

// The messages of both readers on a text, under the set's path, as the set reader reports them.
Lines BothReaders(const std::string& text, const std::string& path) {
    Lines out;
    for (int legacy = 0; legacy < 2; ++legacy) {
        MemoryInputStream memory(std::vector<std::uint8_t>(text.begin(), text.end()));
        LineReader lines(memory, 1);
        ErrorList errors;
        if (legacy) {
            LegacyComponentDatabaseReader(path, lines, ReaderMode::Distribution).Read(errors);
        } else {
            ComponentDatabaseReader(path, lines, ReaderMode::Distribution, PlatformSymbols())
                .Read(errors);
        }
        out.push_back(Message(legacy ? 12109 : 12110, path));
        out.insert(out.end(), errors.Messages().begin(), errors.Messages().end());
    }
    return out;
}

TEST_F(DistributionSetTest, DatabaseIsReadAsCurrentThenAsLegacy) {
    // The 1.0 dialect: one-number versions, "Interface", no package.
    const std::string legacy = "[Core]\nVersion=105\nDescription=Old core\nCopyright=(c)\n"
                               "File=neb.exe\nBase=c:\\neb\n\n"
                               "[Component:svc]\nVersion=2\nDescription=Service\nCopyright=(c)\n"
                               "File=lib/svc.jar\nInterface=neb.Svc\n";
    const Bytes old = BuildSubset(legacy, {{"neb.exe", "old launcher"}, {"lib\\svc.jar", "svc"}});
    const Bytes current = BuildSubset(LibX100, {{"lib\\x.jar", "x"}});
    Outcome o = ReadImage(Join({current, old}));
    ASSERT_TRUE(o.set) << o.errors[0];
    const Configuration& c = o.set->MergedConfiguration();
    EXPECT_EQ(Names(c), "x-1.00 Core-1.05 svc-2.00");
    EXPECT_EQ(c.At(2).Package(), "NEB 1.0");
    EXPECT_EQ(static_cast<const Core&>(c.At(1)).JavaDispatcher(), "neb.exe");
    o.set.reset(); // a set keeps its file open, and unwritable, while it lives

    // Neither dialect: 12110, the current reader's messages, 12109, the 1.0 reader's.
    const std::string bad = "[Library:y]\nVersion=1.00\nDescription=y\nPackage=a//b\nFile=y\n"
                            "Bogus=1\n";
    Outcome rejected = ReadImage(Join({current, BuildSubset(bad, {{"y", "y"}})}));
    const Lines expected = BothReaders(bad, SetPath());
    EXPECT_EQ(rejected.errors, expected);
    EXPECT_GT(expected.size(), 4u) << "both readers have something to say";

    // The 1.0 attempt fails only in its whole-configuration checks, which the 2.0 attempt made
    // as well: they are reported again after 12109.
    const std::string undefined = "[Library:y]\nVersion=100\nDescription=y\nCopyright=(c)\n"
                                  "File=y\nLibrary=xml\n";
    const Lines both = BothReaders(undefined, SetPath());
    EXPECT_EQ(ReadImage(Join({current, BuildSubset(undefined, {{"y", "y"}})})).errors, both);
    ASSERT_GE(both.size(), 3u);
    EXPECT_EQ(both[both.size() - 2], Message(12109, SetPath()));
    EXPECT_EQ(both.back(), Message(12039, "xml"));
}

TEST_F(DistributionSetTest, DatabasesAreReadWithTheGivenSymbols) {
    const std::string db = "[Library:x]\nVersion=1.00\nDescription=x\nCopyright=(c)\n"
                           "Package=neb/x\n#if WinXP\nFile=lib/xp.jar\n#else\nFile=lib/9x.jar\n"
                           "#endif\n";
    const Bytes image = BuildSubset(db, {{"lib\\xp.jar", "xp"}});
    Outcome xp = ReadImage(image, PlatformSymbols{"WinXP"});
    ASSERT_TRUE(xp.set);
    EXPECT_EQ(Data(*xp.set, "lib/xp.jar"), "xp");
    EXPECT_EQ(ReadImage(image, PlatformSymbols{"Win98"}).errors,
              Lines{Message(12111, 1, SetPath(), "lib/9x.jar")});
}

TEST_F(DistributionSetTest, NamedFilesMustBeInTheirOwnSubset) {
    const Bytes first = BuildSubset(LibX100, {{"lib\\x.jar", "x"}, {"lib\\y.jar", "y"}});
    // y's file is in the first subset only, and in the second under another case.
    const Bytes second =
        BuildSubset(LibrarySection("y", "1.00", {"lib/y.jar"}), {{"lib\\Y.jar", "Y"}});
    EXPECT_EQ(ReadImage(Join({first, second})).errors,
              Lines{Message(12111, 2, SetPath(), "lib/y.jar")});
    // A stored name with forward slashes is not the file either: names are matched after
    // turning backslashes into slashes, so "lib/x.jar" would be found, but a name with a
    // backslash in the database path is never valid to begin with.
    const Bytes slashed = BuildSubset(LibX100, {{"lib/x.jar", "x"}});
    EXPECT_TRUE(ReadImage(slashed).set);
}

TEST_F(DistributionSetTest, IdenticalDefinitionsFoldIntoOne) {
    const Bytes a = BuildSubset(LibX100 + LibrarySection("a", "1.00", {"lib/a.jar"}),
                                {{"lib\\x.jar", "same bytes"}, {"lib\\a.jar", "a"}});
    const Bytes b = BuildSubset(LibrarySection("b", "1.00", {"lib/b.jar"}) + LibX100,
                                {{"lib\\b.jar", "b"}, {"lib\\x.jar", "same bytes"}});
    Outcome o = ReadImage(Join({a, b}));
    ASSERT_TRUE(o.set) << o.errors[0];
    EXPECT_EQ(Names(o.set->MergedConfiguration()), "x-1.00 a-1.00 b-1.00");
    EXPECT_EQ(o.set->EntryCount(), 3u);
}

TEST_F(DistributionSetTest, HigherVersionTakesThePlaceOfTheLower) {
    const Bytes first = BuildSubset(
        LibrarySection("a", "1.00", {"lib/a.jar"}) +
            LibrarySection("x", "1.00", {"lib/x.jar", "lib/old.jar"}) +
            LibrarySection("c", "2.00", {"lib/c.jar"}, {"ServiceClass=neb.C"}, "Component"),
        {{"lib\\a.jar", "a"},
         {"lib\\x.jar", "x 1.00"},
         {"lib\\old.jar", "old"},
         {"lib\\c.jar", "c 2.00"}});
    const Bytes second = BuildSubset(
        LibrarySection("c", "1.50", {"lib/c.jar"}, {"ServiceClass=neb.C"}, "Component") +
            LibrarySection("x", "1.01", {"lib/x.jar", "lib/new.jar"}) +
            // The same name as another kind is another extension.
            LibrarySection("x", "3.00", {"bin/x.exe"}, {}, "Application"),
        {{"lib\\c.jar", "c 1.50"},
         {"lib\\x.jar", "x 1.01"},
         {"lib\\new.jar", "new"},
         {"bin\\x.exe", "app"}});
    Outcome o = ReadImage(Join({first, second}));
    ASSERT_TRUE(o.set) << o.errors[0];
    EXPECT_EQ(Names(o.set->MergedConfiguration()), "a-1.00 x-1.01 c-2.00 x-3.00");
    EXPECT_EQ(Data(*o.set, "lib/x.jar"), "x 1.01");
    EXPECT_EQ(Data(*o.set, "lib/c.jar"), "c 2.00");
    EXPECT_EQ(Data(*o.set, "lib/new.jar"), "new");
    EXPECT_EQ(o.set->FindEntry("lib/old.jar"), nullptr) << "the lower version's files go";
    EXPECT_EQ(o.set->EntryCount(), 5u);
}

TEST_F(DistributionSetTest, FirstDefinitionNamingAPathSuppliesItsData) {
    const Bytes first = BuildSubset(LibrarySection("a", "1.00", {"lib/shared.jar"}),
                                    {{"lib\\shared.jar", "from a"}});
    const Bytes second = BuildSubset(LibrarySection("b", "1.00", {"lib/shared.jar", "lib/b.jar"}),
                                     {{"lib\\shared.jar", "from b"}, {"lib\\b.jar", "b"}});
    Outcome o = ReadImage(Join({first, second}));
    ASSERT_TRUE(o.set) << o.errors[0];
    EXPECT_EQ(Data(*o.set, "lib/shared.jar"), "from a");
    EXPECT_EQ(o.set->EntryCount(), 2u);
}

TEST_F(DistributionSetTest, ThePlatformsFilesBelongToNoExtension) {
    const Bytes core = BuildSubset(CoreSection("2.00", {"njava.exe", "lib/rt.jar"}, "njava.exe"),
                                   {{"njava.exe", "j"}, {"lib\\rt.jar", "rt"}});
    const Bytes evil = BuildSubset(
        LibrarySection("evil", "1.00", {"NJava.exe", "neb.cdb", "LIB/rt.jar", "neb/core/X.class"}),
        {{"NJava.exe", "e"}, {"neb.cdb", "e"}, {"LIB\\rt.jar", "e"}, {"neb\\core\\X.class", "e"}});
    Outcome o = ReadImage(Join({core, evil}));
    EXPECT_FALSE(o.set);
    EXPECT_EQ(
        o.errors,
        (Lines{Message(12038, "NJava.exe", "njava.exe"), Message(12038, "LIB/rt.jar", "lib/rt.jar"),
               Message(13000, "evil", "NJava.exe"), Message(13000, "evil", "neb.cdb"),
               Message(13000, "evil", "LIB/rt.jar"), Message(13000, "evil", "neb/core/X.class")}));

    // A library that keeps to files of its own beside that core is a set like any other.
    const Bytes fine = BuildSubset(LibrarySection("fine", "1.00", {"lib/fine.jar", "neb/fine/a"}),
                                   {{"lib\\fine.jar", "f"}, {"neb\\fine\\a", "a"}});
    EXPECT_TRUE(ReadImage(Join({core, fine})).set);
}

TEST_F(DistributionSetTest, TwoSubsetsCannotSpellOneFileDifferently) {
    const Bytes a =
        BuildSubset(LibrarySection("a", "1.00", {"lib/xml.jar"}), {{"lib\\xml.jar", "a"}});
    const Bytes b =
        BuildSubset(LibrarySection("b", "1.00", {"Lib/XML.jar"}), {{"Lib\\XML.jar", "b"}});
    Outcome o = ReadImage(Join({a, b}));
    EXPECT_FALSE(o.set);
    EXPECT_EQ(o.errors, (Lines{Message(12038, "Lib/XML.jar", "lib/xml.jar")}));

    // One definition that replaces a lower version of itself may respell its own files.
    const Bytes a2 =
        BuildSubset(LibrarySection("a", "1.01", {"LIB/xml.jar"}), {{"LIB\\xml.jar", "a2"}});
    Outcome newer = ReadImage(Join({a, a2}));
    ASSERT_TRUE(newer.set) << newer.errors[0];
    EXPECT_EQ(Data(*newer.set, "LIB/xml.jar"), "a2");
}

struct Difference {
    const char* what;
    std::string first;  // database of the first subset
    std::string second; // database of the second
    std::vector<SubsetFile> firstFiles;
    std::vector<SubsetFile> secondFiles;
    std::vector<int> messages; // ids, each with the name (and for 12120 the path)
};

TEST_F(DistributionSetTest, DifferentDefinitionsOfOneVersionAreRejected) {
    const std::vector<SubsetFile> xFiles = {{"lib\\x.jar", "x classes"}};
    const std::string comp = "Component";
    const std::vector<Difference> cases = {
        {"description",
         LibX100,
         LibrarySection("x", "1.00", {"lib/x.jar"}, {"Description=X"}),
         xFiles,
         xFiles,
         {12113}},
        {"copyright and package",
         LibX100,
         LibrarySection("x", "1.00", {"lib/x.jar"}, {"Copyright=(c) Other", "Package=neb/y"}),
         xFiles,
         xFiles,
         {12114, 12115}},
        {"one byte of a file", LibX100, LibX100, xFiles, {{"lib\\x.jar", "x classeS"}}, {12120}},
        {"file size", LibX100, LibX100, xFiles, {{"lib\\x.jar", "x classes!"}}, {12118}},
        {"set of files (more)",
         LibX100,
         LibrarySection("x", "1.00", {"lib/x.jar", "lib/x2.jar"}),
         xFiles,
         {{"lib\\x.jar", "x classes"}, {"lib\\x2.jar", "2"}},
         {12118}},
        // The first definition's extra file is missing from the second subset, so the file
        // comparison reports the difference a second time.
        {"set of files (fewer)",
         LibrarySection("x", "1.00", {"lib/x.jar", "lib/x2.jar"}),
         LibX100,
         {{"lib\\x.jar", "x classes"}, {"lib\\x2.jar", "2"}},
         xFiles,
         {12118, 12118}},
        {"service class and a file",
         LibrarySection("x", "1.00", {"lib/x.jar"}, {"ServiceClass=neb.A"}, comp),
         LibrarySection("x", "1.00", {"lib/x.jar"}, {"ServiceClass=neb.B"}, comp),
         xFiles,
         {{"lib\\x.jar", "x classez"}},
         {12116, 12120}},
    };
    for (const Difference& d : cases) {
        Outcome o = ReadImage(
            Join({BuildSubset(d.first, d.firstFiles), BuildSubset(d.second, d.secondFiles)}));
        Lines expected;
        for (int id : d.messages) {
            expected.push_back(id == 12120 ? Message(id, "x", "lib/x.jar") : Message(id, "x"));
        }
        EXPECT_EQ(o.errors, expected) << d.what;
    }

    // Two cores differing in their dispatcher.
    const std::string core1 = CoreSection("2.00", {"a.exe", "b.exe"}, "a.exe");
    const std::string core2 = CoreSection("2.00", {"a.exe", "b.exe"}, "b.exe");
    const std::vector<SubsetFile> coreFiles = {{"a.exe", "a"}, {"b.exe", "b"}};
    EXPECT_EQ(
        ReadImage(Join({BuildSubset(core1, coreFiles), BuildSubset(core2, coreFiles)})).errors,
        Lines{Message(12117)});
}

TEST_F(DistributionSetTest, ExternalsSatisfiedInsideTheSetBecomeDependencies) {
    const std::string app =
        LibrarySection("tool", "1.00", {"bin/tool.exe"},
                       {"ExternalLibrary=x;1.00-;X support",
                        "ExternalLibrary=elsewhere;1.00;Elsewhere", "ExternalCore=2.00-"},
                       "Application");
    const Bytes first = BuildSubset(app, {{"bin\\tool.exe", "tool"}});
    const Bytes second = BuildSubset(LibrarySection("x", "1.50", {"lib/x.jar"}) +
                                         CoreSection("2.00", {"n.exe"}, "n.exe"),
                                     {{"lib\\x.jar", "x"}, {"n.exe", "n"}});
    Outcome o = ReadImage(Join({first, second}));
    ASSERT_TRUE(o.set) << o.errors[0];
    const Extension& tool = o.set->MergedConfiguration().At(0);
    ASSERT_EQ(tool.ExternalCount(), 1u);
    EXPECT_EQ(tool.ExternalAt(0).Name(), "elsewhere");
    // The declarations are visited last to first, so the core's dependency comes first.
    ASSERT_EQ(tool.DependencyCount(), 2u);
    EXPECT_EQ(tool.DependencyAt(0).Kind(), ExtensionKind::Core);
    EXPECT_EQ(tool.DependencyAt(1).Kind(), ExtensionKind::Library);
    EXPECT_EQ(tool.DependencyAt(1).Name(), "x");
}

TEST_F(DistributionSetTest, ExternalsContradictedBySetAreRejected) {
    const Bytes x = BuildSubset(LibrarySection("x", "1.50", {"lib/x.jar"}) +
                                    CoreSection("2.00", {"n.exe"}, "n.exe"),
                                {{"lib\\x.jar", "x"}, {"n.exe", "n"}});
    struct Case {
        std::string declaration;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"ExternalLibrary=x;2.00-;X support",
         Message(12119, "The tool Application", "2.00-", "X support", "1.50", "X support")},
        {"ExternalLibrary=x;1.00-1.49;X support",
         Message(12119, "The tool Application", "1.00-1.49", "X support", "1.50", "X support")},
        {"ExternalCore=-1.99",
         Message(12119, "The tool Application", "-1.99", "NEB Core", "2.00", "NEB Core")},
    };
    for (const Case& c : cases) {
        const Bytes tool = BuildSubset(
            LibrarySection("tool", "1.00", {"bin/tool.exe"}, {c.declaration}, "Application"),
            {{"bin\\tool.exe", "tool"}});
        EXPECT_EQ(ReadImage(Join({x, tool})).errors, Lines{c.message}) << c.declaration;
    }
}

// Records the progress windows' calls as text.
class RecordingProgress : public SetReadingProgress {
public:
    void BeginReading(const std::string& path) override { calls.push_back("reading " + path); }
    void BeginFolding(const std::string& path) override { calls.push_back("folding " + path); }
    void SetProgress(int percent) override { calls.push_back(std::to_string(percent)); }
    void End() override { calls.push_back("end"); }
    Lines calls;
};

TEST_F(DistributionSetTest, ProgressWindowsAndTheirBars) {
    // Two subsets of equal length; 120 bytes of files in the first, none in the second.
    const Bytes a = BuildSubset(LibrarySection("a", "1.00", {"a1", "a2"}),
                                {{"a1", std::string(30, 'a')}, {"a2", std::string(90, 'b')}});
    const Bytes b = BuildSubset(LibrarySection("b", "1.00", {"b1"}), {{"b1", ""}});
    const std::string path = Put("set.nds", Join({a, b}));
    RecordingProgress progress;
    ErrorList errors;
    PlatformSymbols none;
    ASSERT_TRUE(ReadDistributionSet(path, errors, &progress, &none));
    Lines expected = {"reading " + path};
    const std::uint64_t size = a.size() + b.size();
    expected.push_back(std::to_string(a.size() * 40 / size));
    expected.push_back("40");
    for (int p = 41; p <= 100; ++p) {
        expected.push_back(std::to_string(p)); // 120 bytes: every value shows once
    }
    expected.insert(expected.end(),
                    {"folding " + path, "40", "80", "85", "90", "95", "100", "end"});
    EXPECT_EQ(progress.calls, expected);

    // A failing read closes its window too.
    RecordingProgress failing;
    const std::string missing = work.File("missing.nds");
    EXPECT_FALSE(ReadDistributionSet(missing, errors, &failing, &none));
    EXPECT_EQ(failing.calls, (Lines{"reading " + missing, "end"}));
}

TEST_F(DistributionSetTest, ReadingProgressOfSmallAndLargeTotals) {
    // 7 bytes of files: the bar jumps, showing only the values a byte-by-byte read reaches.
    const Bytes small =
        BuildSubset(LibrarySection("s", "1.00", {"s1", "s2"}), {{"s1", "abc"}, {"s2", "defg"}});
    RecordingProgress progress;
    ErrorList errors;
    PlatformSymbols none;
    ASSERT_TRUE(ReadDistributionSet(Put("small.nds", small), errors, &progress, &none));
    Lines reading;
    for (const std::string& c : progress.calls) {
        if (c.rfind("folding", 0) == 0) {
            break;
        }
        reading.push_back(c);
    }
    Lines expected = {reading[0], "40"};
    for (int b = 1; b <= 7; ++b) {
        expected.push_back(std::to_string(40 + b * 60 / 7));
    }
    EXPECT_EQ(reading, expected);
}

TEST_F(DistributionSetTest, CompareDefinitionsDirectly) {
    std::unique_ptr<Archive> one, two;
    ASSERT_EQ(
        ReadArchiveFile(Put("1.lzw", BuildSubset("", {{"f", "1"}, {"g", "2"}})), 0, one, nullptr),
        ProcedureResult::Succeeded);
    ASSERT_EQ(ReadArchiveFile(Put("2.lzw", BuildSubset("", {{"f", "2"}})), 0, two, nullptr),
              ProcedureResult::Succeeded);
    auto lib = [](const std::string& file) {
        FileList files;
        files.push_back(std::make_unique<ExtensionFile>(file, ""));
        return std::make_unique<Library>("x", Version(1, 0), "d", "c", "p", std::move(files),
                                         DependencyList(), ExternalList());
    };
    ErrorList messages;
    EXPECT_TRUE(CompareDefinitions(*lib("f"), *lib("f"), *one, *one, messages));
    EXPECT_TRUE(messages.Empty());
    // Other paths whose bytes happen to agree: only the set of files differs.
    EXPECT_FALSE(CompareDefinitions(*lib("f"), *lib("g"), *one, *one, messages));
    EXPECT_EQ(messages.Messages(), Lines{Message(12118, "x")});
    // The same path with other bytes in the other subset.
    ErrorList bytes;
    EXPECT_FALSE(CompareDefinitions(*lib("f"), *lib("f"), *one, *two, bytes));
    EXPECT_EQ(bytes.Messages(), Lines{Message(12120, "x", "f")});
}

} // namespace
} // namespace nebcm
