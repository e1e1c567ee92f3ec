// nebpack's "archive" and "list" verbs: directory trees packed and read back through the
// program's archive reader.
#include <gtest/gtest.h>

#include <ctime>
#include <map>

#include "../../tools/nebpack/archive_build.h"
#include "../../tools/nebpack/archive_list.h"
#include "io/archive.h"
#include "lzw_test_support.h"
#include "support/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace nebcm {
namespace {

using namespace nebcm::testing;

void MakeDirectory(const std::string& path) {
#ifdef _WIN32
    CreateDirectoryA(path.c_str(), nullptr);
#else
    mkdir(path.c_str(), 0755);
#endif
}

std::string Slurp(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            out.append(buffer, n);
        }
        std::fclose(f);
    }
    return out;
}

bool Exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        std::fclose(f);
    }
    return f != nullptr;
}

// Runs a verb function with its messages sent to files; returns the exit code.
struct Captured {
    int code;
    std::string out;
    std::string err;
};

template <class F> Captured Capture(const ScratchDir& dir, F run) {
    const std::string outName = dir.File("stdout.txt"), errName = dir.File("stderr.txt");
    std::FILE* out = std::fopen(outName.c_str(), "wb");
    std::FILE* err = std::fopen(errName.c_str(), "wb");
    int code = run(out, err);
    std::fclose(out);
    std::fclose(err);
    return {code, Slurp(outName), Slurp(errName)};
}

class NebpackArchive : public ::testing::Test {
protected:
    void SetUp() override {
        tree = work.File("tree");
        MakeDirectory(tree);
        MakeDirectory(tree + "/neb");
        MakeDirectory(tree + "/neb/core");
        MakeDirectory(tree + "/empty dir");
        Put("neb/core/NEB.class", Text(RandomBytes(3 * 4096, 1, 20)));
        Put("neb/core/exact.bin", Text(RandomBytes(4096, 2)));
        Put("neb/zero", "");
        Put("readme.txt", "hello\r\n");
        Put("random.bin", Text(RandomBytes(50001, 3)));
    }
    void Put(const std::string& name, const std::string& bytes) {
        std::FILE* f = std::fopen((tree + "/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr) << name;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        contents[name] = bytes;
    }

    ScratchDir work;
    std::string tree;
    std::map<std::string, std::string> contents; // by name with '/'
};

TEST_F(NebpackArchive, PacksEveryFileBelowTheDirectory) {
    const std::string out = work.File("core.lzw");
    Captured c = Capture(work, [&](std::FILE*, std::FILE* err) {
        return nebpack::CreateArchiveFromDirectory(out, tree, err);
    });
    ASSERT_EQ(c.code, 0) << c.err;
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(ReadArchiveFile(out, 0, archive, nullptr), ProcedureResult::Succeeded);
    ASSERT_EQ(archive->Count(), static_cast<int>(contents.size()));
    // Names in byte order with backslashes; data in table order.
    std::vector<std::string> names;
    for (int i = 0; i < archive->Count(); ++i) {
        names.push_back(archive->Entry(i)->Name());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"neb\\core\\NEB.class", "neb\\core\\exact.bin",
                                               "neb\\zero", "random.bin", "readme.txt"}));
    const std::uint64_t now =
        (static_cast<std::uint64_t>(std::time(nullptr)) + 11644473600ull) * 10000000ull;
    const std::uint64_t day = 864000000000ull;
    for (const auto& [name, bytes] : contents) {
        const ArchiveEntry* e = archive->Find(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(Text(e->Bytes()), bytes) << name;
        EXPECT_GT(e->LastWriteTime(), now - day) << name;
        EXPECT_LT(e->LastWriteTime(), now + day) << name;
    }
    // The table as stored: attributes, and blocks of at most 4096 bytes each opened by a clear.
    FileInputStream file(out);
    BufferedInputStream buffered(file, StreamBufferSize);
    std::vector<ArchiveRecord> records;
    ASSERT_TRUE(ReadArchiveTable(buffered, records));
    const std::string image = Slurp(out);
    std::size_t dataArea = 6;
    for (const ArchiveRecord& r : records) {
        dataArea += r.length;
    }
    for (const ArchiveRecord& r : records) {
        EXPECT_EQ(r.attributes, 0x2020u);
        std::size_t p = dataArea + r.offset;
        while (image[p] != 0) {
            const auto* b = reinterpret_cast<const std::uint8_t*>(image.data() + p);
            EXPECT_EQ(b[0], 1) << r.name;
            EXPECT_LE(b[3] | b[4] << 8, 4096) << r.name;
            EXPECT_EQ((b[5] | b[6] << 8) & 0x1FF, 256) << r.name;
            p += 5 + (b[1] | b[2] << 8);
        }
        EXPECT_EQ(p + 1, dataArea + r.offset + r.compressedSize) << r.name;
    }
}

TEST_F(NebpackArchive, DoesNotPackItsOwnOutput) {
    const std::string out = tree + "/self.lzw";
    Put("self.lzw", "an older archive");
    contents.erase("self.lzw");
    ASSERT_EQ(nebpack::CreateArchiveFromDirectory(out, tree, stderr), 0);
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(ReadArchiveFile(out, 0, archive, nullptr), ProcedureResult::Succeeded);
    EXPECT_EQ(archive->Count(), static_cast<int>(contents.size()));
    EXPECT_EQ(archive->Find("self.lzw"), nullptr);
}

TEST_F(NebpackArchive, EmptyDirectoryMakesAnEmptyArchive) {
    const std::string out = work.File("empty.lzw");
    ASSERT_EQ(nebpack::CreateArchiveFromDirectory(out, tree + "/empty dir", stderr), 0);
    EXPECT_EQ(Slurp(out), std::string("LZW\1\0\0", 6));
}

TEST_F(NebpackArchive, FailuresLeaveNoOutput) {
    const std::string out = work.File("x.lzw");
    Captured missing = Capture(work, [&](std::FILE*, std::FILE* err) {
        return nebpack::CreateArchiveFromDirectory(out, work.File("no such dir"), err);
    });
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("cannot read directory"), std::string::npos) << missing.err;
    EXPECT_FALSE(Exists(out));
    Captured unwritable = Capture(work, [&](std::FILE*, std::FILE* err) {
        return nebpack::CreateArchiveFromDirectory(work.File("no such dir/x.lzw"), tree, err);
    });
    EXPECT_EQ(unwritable.code, 2);
    EXPECT_NE(unwritable.err.find("cannot create"), std::string::npos) << unwritable.err;
}

TEST_F(NebpackArchive, ListShowsEveryArchiveInTheFile) {
    const std::string one = work.File("one.lzw");
    ASSERT_EQ(nebpack::CreateArchiveFromDirectory(one, tree + "/neb", stderr), 0);
    const std::string set = work.File("set.nds");
    work.Write("set.nds", Slurp(one) + Slurp(one));
    Captured c = Capture(
        work, [&](std::FILE* out, std::FILE* err) { return nebpack::ListArchives(set, out, err); });
    ASSERT_EQ(c.code, 0) << c.err;
    const std::size_t length = Slurp(one).size();
    EXPECT_NE(c.out.find("archive at offset 0: 3 entries, 16384 bytes"), std::string::npos)
        << c.out;
    EXPECT_NE(c.out.find("archive at offset " + std::to_string(length) + ": 3 entries"),
              std::string::npos)
        << c.out;
    EXPECT_NE(c.out.find("        4096 "), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("  core\\NEB.class\n"), std::string::npos) << c.out;

    // Damage behind the first archive, a file that is no archive, and a missing file.
    work.Write("tail.nds", Slurp(one) + "LZW");
    Captured tail = Capture(work, [&](std::FILE* out, std::FILE* err) {
        return nebpack::ListArchives(work.File("tail.nds"), out, err);
    });
    EXPECT_EQ(tail.code, 1);
    EXPECT_NE(tail.err.find("from offset " + std::to_string(length)), std::string::npos)
        << tail.err;
    work.Write("text.txt", "not an archive");
    EXPECT_EQ(Capture(work,
                      [&](std::FILE* out, std::FILE* err) {
                          return nebpack::ListArchives(work.File("text.txt"), out, err);
                      })
                  .code,
              1);
    work.Write("empty.bin", "");
    EXPECT_EQ(Capture(work,
                      [&](std::FILE* out, std::FILE* err) {
                          return nebpack::ListArchives(work.File("empty.bin"), out, err);
                      })
                  .code,
              1);
    EXPECT_EQ(Capture(work,
                      [&](std::FILE* out, std::FILE* err) {
                          return nebpack::ListArchives(work.File("missing.lzw"), out, err);
                      })
                  .code,
              2);
}

TEST(NebpackTime, FileTimesAsUtcText) {
    EXPECT_EQ(nebpack::FormatFileTime(0), "1601-01-01 00:00:00");
    EXPECT_EQ(nebpack::FormatFileTime(116444736000000000ull), "1970-01-01 00:00:00");
    // 2000-02-29 12:34:56 UTC is 951827696 seconds after 1970.
    EXPECT_EQ(nebpack::FormatFileTime((951827696ull + 11644473600ull) * 10000000ull + 9999999),
              "2000-02-29 12:34:56");
    EXPECT_EQ(nebpack::FormatFileTime(0x7FFFFFFFFFFFFFFFull), "30828-09-14 02:48:05");
}

} // namespace
} // namespace nebcm
