// nebpack's set verbs: sets packed from directories, checked and extracted through the program's
// own set reader, and every refusal leaving nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../tools/nebpack/archive_list.h"
#include "../../tools/nebpack/output_tree.h"
#include "../../tools/nebpack/set_tool.h"
#include "common/messages.h"
#include "platform/file_info.h"
#include "set_builder.h"
#include "support/scratch_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nebcm {
namespace {

using namespace nebcm::testing;

struct Captured {
    int code;
    std::string out;
    std::string err;
};

class NebpackSetTest : public ::testing::Test {
protected:
    std::string Path(const std::string& relative) const {
        std::string p = work.Path();
        std::string::size_type start = 0;
        for (;;) {
            std::string::size_type slash = relative.find('/', start);
            p += ScratchDir::Separator() +
                 relative.substr(start, slash == std::string::npos ? slash : slash - start);
            if (slash == std::string::npos) {
                return p;
            }
            start = slash + 1;
        }
    }
    // Writes a file below the scratch directory, making its directories.
    void Put(const std::string& relative, const std::string& bytes) {
        std::string::size_type slash = 0;
        while ((slash = relative.find('/', slash + 1)) != std::string::npos) {
            MakeDirectory(Path(relative.substr(0, slash)));
        }
        work.Write(relative, "");
        std::FILE* f = std::fopen(Path(relative).c_str(), "wb");
        ASSERT_NE(f, nullptr) << relative;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string Get(const std::string& relative) const {
        std::string out;
        if (std::FILE* f = std::fopen(Path(relative).c_str(), "rb")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
                out.append(buffer, n);
            }
            std::fclose(f);
        }
        return out;
    }
    bool Exists(const std::string& relative) const {
        std::uint64_t size;
        return QueryFileLength(Path(relative), size);
    }
    template <class F> Captured Capture(F run) {
        std::FILE* out = std::fopen(work.File("stdout.txt").c_str(), "wb");
        std::FILE* err = std::fopen(work.File("stderr.txt").c_str(), "wb");
        int code = run(out, err);
        std::fclose(out);
        std::fclose(err);
        return {code, Get("stdout.txt"), Get("stderr.txt")};
    }
    Captured Pack(const std::vector<std::string>& dirs,
                  const std::vector<PlatformSymbols>& symbols = {PlatformSymbols()}) {
        std::vector<std::string> full;
        for (const std::string& d : dirs) {
            full.push_back(Path(d));
        }
        return Capture([&](std::FILE* out, std::FILE* err) {
            return nebpack::PackSet(Path("set.nds"), full, symbols, out, err);
        });
    }
    Captured Check(const std::string& set = "set.nds") {
        PlatformSymbols none;
        return Capture([&](std::FILE* out, std::FILE* err) {
            return nebpack::CheckSet(Path(set), &none, out, err);
        });
    }
    Captured Extract(const std::string& dir, const std::string& set = "set.nds") {
        PlatformSymbols none;
        return Capture([&](std::FILE* out, std::FILE* err) {
            return nebpack::ExtractSet(Path(set), Path(dir), &none, out, err);
        });
    }

    ScratchDir work;
};

TEST_F(NebpackSetTest, PackCheckAndExtractRoundTrip) {
    Put("one/neb.cdb", CoreSection("2.00", {"bin/njava.exe"}, "bin/njava.exe") +
                           LibrarySection("x", "1.00", {"lib/x.jar"}));
    Put("one/bin/njava.exe", std::string(5000, 'j'));
    Put("one/lib/x.jar", "x one");
    Put("two/neb.cdb",
        LibrarySection("x", "1.01", {"lib/x.jar", "lib/x-extra.jar"}) +
            LibrarySection("tool", "1.00", {"bin/tool.exe"}, {"Library=x"}, "Application"));
    Put("two/lib/x.jar", "x two");
    Put("two/lib/x-extra.jar", "");
    Put("two/bin/tool.exe", "tool");
    Put("two/readme.txt", "not named, packed all the same");

    Captured pack = Pack({"one", "two"});
    ASSERT_EQ(pack.code, 0) << pack.err << pack.out;
    EXPECT_EQ(pack.err, "");
    EXPECT_EQ(pack.out, "");

    Captured check = Check();
    ASSERT_EQ(check.code, 0) << check.err;
    EXPECT_EQ(check.out, "[Core]\nVersion=2.00\nDescription=NEB Core\nCopyright=(c) Tessaly\n"
                         "File=bin/njava.exe\nBase=\nJavaDispatcher=bin/njava.exe\n\n"
                         "[Library:x]\nVersion=1.01\nDescription=The x Library\n"
                         "Copyright=(c) Tessaly\nFile=lib/x.jar\nFile=lib/x-extra.jar\n"
                         "Package=neb/x\n\n"
                         "[Application:tool]\nVersion=1.00\nDescription=The tool Application\n"
                         "Copyright=(c) Tessaly\nFile=bin/tool.exe\nPackage=neb/tool\n"
                         "Library=x\n\n");

    Captured extract = Extract("out");
    ASSERT_EQ(extract.code, 0) << extract.err;
    EXPECT_EQ(Get("out/bin/njava.exe"), std::string(5000, 'j'));
    EXPECT_EQ(Get("out/lib/x.jar"), "x two");
    EXPECT_TRUE(Exists("out/lib/x-extra.jar"));
    EXPECT_EQ(Get("out/bin/tool.exe"), "tool");
    EXPECT_FALSE(Exists("out/readme.txt")) << "only the merged set's files";
    EXPECT_FALSE(Exists("out/neb.cdb"));
    // Extracting again replaces what is there.
    Put("out/lib/x.jar", "changed");
    ASSERT_EQ(Extract("out").code, 0);
    EXPECT_EQ(Get("out/lib/x.jar"), "x two");

    // The listing heads each archive as a subset.
    Captured list = Capture([&](std::FILE* out, std::FILE* err) {
        return nebpack::ListArchives(Path("set.nds"), out, err);
    });
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find("subset 1: archive at offset 0: 3 entries"), std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("subset 2: archive at offset "), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("  lib\\x-extra.jar\n"), std::string::npos) << list.out;
}

TEST_F(NebpackSetTest, PackRefusesBeforeWritingAnything) {
    const std::string set = AbsolutePath(Path("set.nds"));
    Put("good/neb.cdb", LibrarySection("x", "1.00", {"lib/x.jar"}));
    Put("good/lib/x.jar", "x");
    Put("nodb/lib/x.jar", "x");
    Put("nodb/sub/neb.cdb", LibrarySection("x", "1.00", {"lib/x.jar"}));
    Put("missing/neb.cdb", LibrarySection("y", "1.00", {"lib/y.jar", "lib/Y2.jar"}));
    Put("missing/lib/y.jar", "y");
    Put("missing/lib/y2.jar", "case matters");
    Put("bad/neb.cdb", "[Library:z]\nVersion=1.00\n");

    Captured c = Pack({"good", "nodb", "missing", "bad"});
    EXPECT_EQ(c.code, 1);
    std::string expected = Message(12107, 2, set) + "\n" + Message(12111, 3, set, "lib/Y2.jar") +
                           "\n" + Message(12110, set) + "\n";
    EXPECT_EQ(c.out.compare(0, expected.size(), expected), 0) << c.out;
    EXPECT_NE(c.out.find(Message(12109, set)), std::string::npos) << c.out;
    EXPECT_EQ(c.err, "");
    EXPECT_FALSE(Exists("set.nds"));

    // An earlier set stays when a new one is refused before writing.
    Put("set.nds", "earlier");
    EXPECT_EQ(Pack({"bad"}).code, 1);
    EXPECT_EQ(Get("set.nds"), "earlier");
    // Wrong directories are I/O failures.
    EXPECT_EQ(Pack({"no such dir"}).code, 2);
}

TEST_F(NebpackSetTest, PackChecksEveryPlatformGiven) {
    Put("s/neb.cdb", "[Library:x]\nVersion=1.00\nDescription=x\nCopyright=(c)\nPackage=neb/x\n"
                     "#if WinXP\nFile=lib/xp.jar\n#else\nFile=lib/9x.jar\n#endif\n");
    Put("s/lib/xp.jar", "xp");
    const std::string set = AbsolutePath(Path("set.nds"));
    EXPECT_EQ(Pack({"s"}, {PlatformSymbols{"WinXP"}}).code, 0);
    Captured both = Pack({"s"}, {PlatformSymbols{"WinXP"}, PlatformSymbols{"Win98"}});
    EXPECT_EQ(both.code, 1);
    EXPECT_EQ(both.out, Message(12111, 1, set, "lib/9x.jar") + "\n");
    EXPECT_EQ(both.err, "");
}

TEST_F(NebpackSetTest, PackRemovesASetThatFoldingRejects) {
    Put("a/neb.cdb", LibrarySection("x", "1.00", {"lib/x.jar"}));
    Put("a/lib/x.jar", "x one");
    Put("b/neb.cdb", LibrarySection("x", "1.00", {"lib/x.jar"}));
    Put("b/lib/x.jar", "x two");
    Captured c = Pack({"a", "b"});
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(c.out, Message(12120, "x", "lib/x.jar") + "\n");
    EXPECT_EQ(c.err, "");
    EXPECT_FALSE(Exists("set.nds"));
}

TEST_F(NebpackSetTest, CheckReportsRejectionsAndUnreadableSets) {
    work.Write("bad.nds", "LZW");
    Captured bad = Check("bad.nds");
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.out, Message(12106, AbsolutePath(Path("bad.nds"))) + "\n");
    EXPECT_EQ(bad.err, "");
    Captured missing = Check("missing.nds");
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err, Message(12104, AbsolutePath(Path("missing.nds"))) + "\n");
    EXPECT_EQ(missing.out, "");
}

TEST_F(NebpackSetTest, RejectionsArePrintedWholeOnStandardOutput) {
    // The first definition's extra file is missing from the second subset: the set reader says
    // so twice, and both lines are printed, as the saved error log has them.
    const std::string twoFiles = LibrarySection("x", "1.00", {"lib/x.jar", "lib/x2.jar"});
    const std::string oneFile = LibrarySection("x", "1.00", {"lib/x.jar"});
    work.Write("twice.nds",
               Text(Join({BuildSubset(twoFiles, {{"lib\\x.jar", "x"}, {"lib\\x2.jar", "2"}}),
                          BuildSubset(oneFile, {{"lib\\x.jar", "x"}})})));
    const std::string twice = Message(12118, "x") + "\n" + Message(12118, "x") + "\n";
    Captured check = Check("twice.nds");
    EXPECT_EQ(check.code, 1);
    EXPECT_EQ(check.out, twice);
    EXPECT_EQ(check.err, "");
    Captured extract = Extract("dest", "twice.nds");
    EXPECT_EQ(extract.code, 1);
    EXPECT_EQ(extract.out, twice);
    EXPECT_EQ(extract.err, "");

    // Neither dialect reads the database: the 1.0 attempt's messages come whole after 12109,
    // its whole-configuration checks included, even where the 2.0 attempt said the same.
    const std::string set = AbsolutePath(Path("set.nds"));
    Put("both/neb.cdb", "[Library:y]\nVersion=100\nDescription=y\nCopyright=(c)\nFile=y.jar\n"
                        "Library=xml\n");
    Put("both/y.jar", "y");
    Captured pack = Pack({"both"});
    EXPECT_EQ(pack.code, 1);
    EXPECT_EQ(pack.err, "");
    const std::string legacy = Message(12109, set) + "\n";
    const std::string::size_type at = pack.out.find(legacy);
    ASSERT_NE(at, std::string::npos) << pack.out;
    EXPECT_EQ(pack.out.compare(0, Message(12110, set).size(), Message(12110, set)), 0) << pack.out;
    EXPECT_EQ(pack.out.substr(at + legacy.size()), Message(12039, "xml") + "\n") << pack.out;

#ifndef _WIN32
    // A file that an archive cannot hold refuses the set like the configuration manager would.
    Put("slash/neb.cdb", oneFile);
    Put("slash/lib/x.jar", "x");
    Put("slash/a\\b.txt", "b");
    Captured slash = Pack({"slash"});
    EXPECT_EQ(slash.code, 1);
    EXPECT_NE(slash.out.find("a backslash in a file name cannot be stored"), std::string::npos)
        << slash.out;
    EXPECT_EQ(slash.err, "");
#endif

    // Path refusals of extract are its result too; what stands in the way is a failure.
    const std::string clash =
        LibrarySection("a", "1.00", {"lib"}) + LibrarySection("b", "1.00", {"lib/b.jar"});
    work.Write("clash.nds", Text(BuildSubset(clash, {{"lib", "a"}, {"lib\\b.jar", "b"}})));
    Captured refused = Extract("clash", "clash.nds");
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.out, "nebpack: 'lib' is a file, so 'lib/b.jar' cannot be written\n");
    EXPECT_EQ(refused.err, "");
    Put("inway/lib", "a file");
    work.Write("x.nds", Text(BuildSubset(oneFile, {{"lib\\x.jar", "x"}})));
    Captured inWay = Extract("inway", "x.nds");
    EXPECT_EQ(inWay.code, 2);
    EXPECT_EQ(inWay.out, "");
    EXPECT_NE(inWay.err.find("is in the way of 'lib/x.jar'"), std::string::npos) << inWay.err;
}

TEST_F(NebpackSetTest, ExtractNeverLeavesItsDirectory) {
    // A segment of dots and blanks alone is one that Windows trims to nothing or to "..": the
    // set is refused as it is read, by check and by extract alike, and nothing is written.
    for (const std::string& segment : {std::string("..."), std::string(".. ")}) {
        const std::string path = "lib/" + segment + "/evil.txt";
        const std::string db = LibrarySection("x", "1.00", {path});
        work.Write("up.nds", Text(BuildSubset(db, {{"lib\\" + segment + "\\evil.txt", "e"}})));
        Captured check = Check("up.nds");
        EXPECT_EQ(check.code, 1) << path;
        EXPECT_NE(check.out.find("Invalid file name '" + path + "'"), std::string::npos)
            << check.out;
        Captured up = Extract("dest", "up.nds");
        EXPECT_EQ(up.code, 1) << path;
        EXPECT_EQ(nebpack::Examine(Path("dest")), nebpack::PathState::Missing) << path;
    }

    // A file and a directory of the same name cannot both be written.
    const std::string clash =
        LibrarySection("a", "1.00", {"lib"}) + LibrarySection("b", "1.00", {"lib/b.jar"});
    work.Write("clash.nds", Text(BuildSubset(clash, {{"lib", "a"}, {"lib\\b.jar", "b"}})));
    Captured c = Extract("clash", "clash.nds");
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(nebpack::Examine(Path("clash")), nebpack::PathState::Missing);
}

TEST_F(NebpackSetTest, HostileSetsAreRefusedByEveryVerb) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::vector<SubsetFile>>> subsets;
        std::string message;
        bool onDisk; // whether the subsets' files can be written as directories to pack
    };
    const std::string core = CoreSection("2.00", {"njava.exe"}, "njava.exe");
    const std::vector<Case> cases = {
        {"the Java launcher",
         {{core, {{"njava.exe", "j"}}},
          {LibrarySection("evil", "1.00", {"NJAVA.exe"}), {{"NJAVA.exe", "e"}}}},
         Message(13000, "evil", "NJAVA.exe"),
         true},
        {"the platform icon",
         {{LibrarySection("evil", "1.00", {"NEB.ico"}), {{"NEB.ico", "e"}}}},
         Message(13000, "evil", "NEB.ico"),
         true},
        {"a class of the core",
         {{LibrarySection("evil", "1.00", {"neb/Core/Boot.class"}),
           {{"neb\\Core\\Boot.class", "e"}}}},
         Message(13000, "evil", "neb/Core/Boot.class"),
         true},
        {"letter-case twins in two subsets",
         {{LibrarySection("a", "1.00", {"lib/xml.jar"}), {{"lib\\xml.jar", "a"}}},
          {LibrarySection("b", "1.00", {"lib/XML.JAR"}), {{"lib\\XML.JAR", "b"}}}},
         Message(12038, "lib/XML.JAR", "lib/xml.jar"),
         true},
        {"a trailing dot",
         {{LibrarySection("evil", "1.00", {"lib/xml.jar."}), {{"lib\\xml.jar.", "e"}}}},
         Message(12010, "lib/xml.jar."),
         false},
        {"a device name",
         {{LibrarySection("evil", "1.00", {"aux.c"}), {{"aux.c", "e"}}}},
         Message(12010, "aux.c"),
         false},
        {"a shortcut into another folder",
         {{LibrarySection("evil", "1.00", {"a.txt;.../Startup/evil"}), {{"a.txt", "e"}}}},
         Message(12010, ".../Startup/evil"),
         true},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::vector<Bytes> images;
        for (const auto& [db, files] : c.subsets) {
            images.push_back(BuildSubset(db, files));
        }
        const std::string name = "hostile" + std::to_string(n) + ".nds";
        work.Write(name, Text(Join(images)));
        Captured check = Check(name);
        EXPECT_EQ(check.code, 1) << c.what;
        EXPECT_NE(check.out.find(c.message), std::string::npos) << c.what << "\n" << check.out;
        EXPECT_EQ(check.err, "") << c.what;
        const std::string dest = "dest" + std::to_string(n);
        EXPECT_EQ(Extract(dest, name).code, 1) << c.what;
        EXPECT_EQ(nebpack::Examine(Path(dest)), nebpack::PathState::Missing) << c.what;

        if (c.onDisk) {
            std::vector<std::string> dirs;
            for (std::size_t k = 0; k < c.subsets.size(); ++k) {
                const std::string dir = "src" + std::to_string(n) + "_" + std::to_string(k);
                Put(dir + "/neb.cdb", c.subsets[k].first);
                for (const SubsetFile& f : c.subsets[k].second) {
                    std::string relative = f.name;
                    std::replace(relative.begin(), relative.end(), '\\', '/');
                    Put(dir + "/" + relative, f.data);
                }
                dirs.push_back(dir);
            }
            Captured pack = Pack(dirs);
            EXPECT_EQ(pack.code, 1) << c.what;
            EXPECT_NE(pack.out.find(c.message), std::string::npos) << c.what << "\n" << pack.out;
            EXPECT_FALSE(Exists("set.nds")) << c.what;
        }
        ++n;
    }
}

TEST_F(NebpackSetTest, ExtractTakesBackWhatItCreatedWhenWritingFails) {
    // A path far longer than any the system can open: the directories below it are made one by
    // one until one of them cannot be.
    std::string deep = "evil";
    for (int i = 0; i < 24; ++i) {
        deep += "/" + std::string(200, static_cast<char>('a' + i));
    }
    deep += "/f.txt";
    std::string stored = deep;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    const std::string db = LibrarySection("x", "1.00", {"a.txt", "b.txt", deep});
    work.Write("deep.nds",
               Text(BuildSubset(db, {{"a.txt", "new a"}, {"b.txt", "new b"}, {stored, "deep"}})));
    ASSERT_EQ(Check("deep.nds").code, 0);

    // Into a directory that does not exist yet: nothing at all remains.
    Captured fresh = Extract("fresh", "deep.nds");
    EXPECT_NE(fresh.code, 0);
    EXPECT_EQ(nebpack::Examine(Path("fresh")), nebpack::PathState::Missing) << fresh.err;

    // Into one that holds a file of the set: that file stays replaced, and says so.
    Put("old/b.txt", "old b");
    Put("old/mine.txt", "mine");
    Captured old = Extract("old", "deep.nds");
    EXPECT_NE(old.code, 0);
    EXPECT_FALSE(Exists("old/a.txt"));
    EXPECT_EQ(nebpack::Examine(Path("old/evil")), nebpack::PathState::Missing);
    EXPECT_EQ(Get("old/mine.txt"), "mine");
    if (old.code == 2) {
        EXPECT_EQ(Get("old/b.txt"), "new b");
        EXPECT_NE(old.err.find("1 file that existed before was replaced and cannot be restored"),
                  std::string::npos)
            << old.err;
    }
}

TEST_F(NebpackSetTest, ExtractRefusesWhatStandsInTheWay) {
    const std::string db = LibrarySection("x", "1.00", {"lib/x.jar", "a.txt"});
    work.Write("x.nds", Text(BuildSubset(db, {{"lib\\x.jar", "x"}, {"a.txt", "a"}})));
    // A directory where a file belongs.
    MakeDirectory(Path("d1"));
    MakeDirectory(Path("d1/a.txt"));
    EXPECT_EQ(Extract("d1", "x.nds").code, 2);
    EXPECT_FALSE(Exists("d1/lib/x.jar")) << "refused before writing anything";
    // A file where a directory belongs.
    Put("d2/lib", "a file");
    EXPECT_EQ(Extract("d2", "x.nds").code, 2);
    EXPECT_FALSE(Exists("d2/a.txt"));
#ifndef _WIN32
    // A link inside the directory that leads out of it.
    MakeDirectory(Path("outside"));
    MakeDirectory(Path("d3"));
    ASSERT_EQ(symlink(Path("outside").c_str(), Path("d3/lib").c_str()), 0);
    EXPECT_EQ(Extract("d3", "x.nds").code, 2);
    EXPECT_FALSE(Exists("outside/x.jar"));
    // A link where a file belongs is not written through either.
    MakeDirectory(Path("d4"));
    ASSERT_EQ(symlink(Path("outside/target").c_str(), Path("d4/a.txt").c_str()), 0);
    EXPECT_EQ(Extract("d4", "x.nds").code, 2);
    EXPECT_FALSE(Exists("outside/target"));
#endif
    // A rejected set writes nothing.
    work.Write("bad.nds", "LZW");
    EXPECT_EQ(Extract("d5", "bad.nds").code, 1);
    EXPECT_EQ(nebpack::Examine(Path("d5")), nebpack::PathState::Missing);
}

TEST_F(NebpackSetTest, ExtractWritesFilesOfManyBlocksWholeAndEmptyFilesEmpty) {
    std::string big;
    for (std::uint32_t x = 3; big.size() < 2 * nebpack::WriteBlock + 5;) {
        x = x * 1103515245u + 12345u;
        big += "b" + std::to_string((x >> 16) % 83) + (x % 5 == 0 ? '\n' : ' ');
    }
    big.resize(2 * nebpack::WriteBlock + 5);
    const std::string db = LibrarySection("x", "1.00", {"lib/big.jar", "lib/empty.txt"});
    work.Write("big.nds", Text(BuildSubset(db, {{"lib\\big.jar", big}, {"lib\\empty.txt", ""}})));
    ASSERT_EQ(Extract("out", "big.nds").code, 0);
    EXPECT_EQ(Get("out/lib/big.jar"), big);
    EXPECT_TRUE(Exists("out/lib/empty.txt"));
    EXPECT_EQ(Get("out/lib/empty.txt"), "");
    // Longer files in their places are cut to what the set holds.
    Put("out/lib/big.jar", big + big);
    Put("out/lib/empty.txt", "not empty");
    ASSERT_EQ(Extract("out", "big.nds").code, 0);
    EXPECT_EQ(Get("out/lib/big.jar"), big);
    EXPECT_EQ(Get("out/lib/empty.txt"), "");
}

// Gives `good` bytes, then cannot be read any further, as a set entry whose file changed.
class BreakingStream : public DataInputStream {
public:
    explicit BreakingStream(std::uint32_t good) : good_(good) {}
    bool IsOpen() const override { return true; }
    void Close() override {}
    bool AtEnd() override { return false; }
    std::uint32_t Skip(std::uint32_t n) override { return Read(nullptr, n); }
    int Read() override {
        std::uint8_t b = 0;
        return Read(&b, 1) == 1 ? b : -1;
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override {
        if (given_ == good_) {
            throw IOException();
        }
        const std::uint32_t take = std::min(n, good_ - given_);
        for (std::uint32_t i = 0; buffer != nullptr && i < take; ++i) {
            buffer[i] = 'g';
        }
        given_ += take;
        return take;
    }

private:
    std::uint32_t good_;
    std::uint32_t given_ = 0;
};

TEST_F(NebpackSetTest, AFileWhoseDataBreaksOffIsClosedBeforeTheFailureIsPassedOn) {
    const std::string path = Path("broken.bin");
    BreakingStream data(nebpack::WriteBlock + 10);
    std::string error;
    EXPECT_THROW(nebpack::WriteFileAt(path, data, 0, error), IOException);
    EXPECT_EQ(Get("broken.bin"), std::string(nebpack::WriteBlock + 10, 'g'));
    // Windows refuses to delete a file that is still open.
    EXPECT_TRUE(nebpack::RemoveCreated(path, false));
}

TEST(NebpackSetArguments, OptionsAndWords) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::vector<std::string> words;
        std::size_t symbolSets;
    };
    const std::vector<Case> cases = {
        {{"a.nds"}, true, {"a.nds"}, 0},
        {{"a.nds", "--symbols", "WinXP, Intel"}, true, {"a.nds"}, 1},
        {{"--symbols=WinXP", "o.nds", "d1", "--symbols", "Win98", "d2"},
         true,
         {"o.nds", "d1", "d2"},
         2},
        {{"a.nds", "--symbols"}, false, {}, 0},
        {{"a.nds", "--verbose"}, false, {}, 0},
    };
    for (const Case& c : cases) {
        nebpack::SetArguments parsed;
        std::string error;
        EXPECT_EQ(nebpack::ParseSetArguments(c.args, parsed, error), c.ok) << c.args.back();
        if (c.ok) {
            EXPECT_EQ(parsed.words, c.words);
            EXPECT_EQ(parsed.symbols.size(), c.symbolSets);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    nebpack::SetArguments parsed;
    std::string error;
    ASSERT_TRUE(nebpack::ParseSetArguments({"--symbols", "WinXP, Intel"}, parsed, error));
    EXPECT_EQ(parsed.symbols[0], (PlatformSymbols{"Intel", "WinXP"}));
}

} // namespace
} // namespace nebcm
