// LZW archive reader: layouts written by nebpack's writer and by hand, the name index, progress
// and cancel, and damaged or absurd archives that must fail cleanly.
#include <gtest/gtest.h>

#include "../../tools/nebpack/archive_writer.h"
#include "io/archive.h"
#include "lzw_test_support.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;
using nebpack::ArchiveFile;
using nebpack::ArchiveTableEntry;

ProcedureResult Read(const Bytes& image, std::unique_ptr<Archive>& archive,
                     ArchiveProgress* progress = nullptr) {
    MemoryInputStream stream(image.data(), static_cast<std::uint32_t>(image.size()));
    return ReadArchive(stream, archive, progress);
}

Bytes Compressed(const std::string& text) {
    Bytes out;
    nebpack::CompressLzw(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out);
    return out;
}

// An archive laid out by hand: the table as given, then `data` as the data area.
Bytes RawArchive(const std::vector<ArchiveTableEntry>& table, const Bytes& data) {
    Bytes image = nebpack::EncodeArchiveTable(table);
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

ArchiveTableEntry Record(const std::string& name, const std::string& text, std::uint32_t offset) {
    ArchiveTableEntry e;
    e.name = name;
    e.size = static_cast<std::uint32_t>(text.size());
    e.compressedSize = static_cast<std::uint32_t>(Compressed(text).size());
    e.offset = offset;
    e.time = 0x01D0000012345678ull;
    return e;
}

std::string Content(const ArchiveEntry* e) {
    return Text(e->Bytes());
}

TEST(ArchiveRead, RoundTripOfWriterOutput) {
    std::vector<ArchiveFile> files;
    const std::size_t sizes[] = {0, 1, 4095, 4096, 4097, 2 * 4096, 3 * 4096, 12345, 70000};
    std::uint32_t seed = 1;
    for (std::size_t n : sizes) {
        ArchiveFile f;
        f.name = "dir\\sub\\file" + std::to_string(n) + ".bin";
        f.time = 0x01D9A1B2C3D4E5F6ull + n;
        f.data = RandomBytes(n, seed, seed % 2 ? 256 : 6);
        ++seed;
        files.push_back(f);
    }
    Bytes image = nebpack::BuildArchive(files);
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(image, archive), ProcedureResult::Succeeded);
    EXPECT_EQ(archive->Length(), image.size());
    ASSERT_EQ(archive->Count(), static_cast<int>(files.size()));
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ArchiveEntry* e = archive->Entry(static_cast<int>(i));
        EXPECT_EQ(e->Name(), files[i].name);
        EXPECT_EQ(e->Size(), files[i].data.size());
        EXPECT_EQ(e->Bytes(), files[i].data);
        EXPECT_EQ(e->LastWriteTime(), files[i].time);
        EXPECT_EQ(archive->Find("dir/sub/file" + std::to_string(sizes[i]) + ".bin"), e);
    }
    EXPECT_EQ(archive->Entry(-1), nullptr);
    EXPECT_EQ(archive->Entry(archive->Count()), nullptr);
}

TEST(ArchiveRead, EmptyArchiveIsSixBytes) {
    Bytes image = nebpack::BuildArchive({});
    image.push_back('x'); // whatever follows is not part of it
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(image, archive), ProcedureResult::Succeeded);
    EXPECT_EQ(archive->Count(), 0);
    EXPECT_EQ(archive->Length(), 6u);
    EXPECT_EQ(archive->Find(""), nullptr);
}

TEST(ArchiveRead, EntryInterface) {
    Bytes image = nebpack::BuildArchive({{"neb\\core\\NEB.class", 42, {1, 2, 3}}});
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(image, archive), ProcedureResult::Succeeded);
    const ArchiveEntry* e = archive->Find("neb/core/NEB.class");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->NameWithSlashes(), "neb/core/NEB.class");
    EXPECT_FALSE(e->IsDirectory());
    EXPECT_EQ(e->CreationTime(), 42u);
    EXPECT_EQ(e->LastAccessTime(), 42u);
    std::unique_ptr<DataInputStream> s = e->OpenStream();
    EXPECT_EQ(s->Read(), 1);
    EXPECT_EQ(s->ReadU16LE(), 0x0302);
    EXPECT_TRUE(s->AtEnd());
    std::unique_ptr<DataInputStream> again = e->OpenStream(); // streams are independent
    EXPECT_EQ(again->Read(), 1);
    // A clone keeps its data after the archive is gone.
    std::unique_ptr<ArchiveEntry> clone = e->Clone();
    EXPECT_EQ(clone->Bytes(), e->Bytes());
    archive.reset();
    s.reset();
    EXPECT_EQ(clone->Name(), "neb\\core\\NEB.class");
    EXPECT_EQ(clone->Bytes(), (Bytes{1, 2, 3}));
    EXPECT_EQ(clone->OpenStream()->ReadU8(), 1);
}

TEST(ArchiveRead, FindUsesForwardSlashesAndExactCase) {
    Bytes image = nebpack::BuildArchive(
        {{"neb\\core\\NEB.class", 0, {1}}, {"", 0, {2}}, {"\x80!B!B!B!B!B!B!B!B!B!B!B!B", 0, {3}}});
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(image, archive), ProcedureResult::Succeeded);
    EXPECT_NE(archive->Find("neb/core/NEB.class"), nullptr);
    EXPECT_EQ(archive->Find("neb\\core\\NEB.class"), nullptr);
    EXPECT_EQ(archive->Find("neb/core/neb.class"), nullptr);
    EXPECT_EQ(archive->Find("neb/core/NEB.clas"), nullptr);
    // A record of 27 bytes holds the empty name.
    ASSERT_NE(archive->Find(""), nullptr);
    EXPECT_EQ(archive->Find("")->Bytes(), Bytes{2});
    // This name hashes to the most negative 32-bit value, which the index files under bucket 0.
    EXPECT_EQ(NameIndexBucket("\x80!B!B!B!B!B!B!B!B!B!B!B!B"), 0);
    ASSERT_NE(archive->Find("\x80!B!B!B!B!B!B!B!B!B!B!B!B"), nullptr);
    EXPECT_EQ(NameIndexBucket("a"), 97 % 17);
}

TEST(ArchiveRead, DuplicateNamesAreBothEntriesAndFindGivesTheFirst) {
    Bytes image = nebpack::BuildArchive({{"a\\x", 0, {1}}, {"a\\x", 0, {2}}});
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(image, archive), ProcedureResult::Succeeded);
    EXPECT_EQ(archive->Count(), 2);
    EXPECT_EQ(archive->Find("a/x"), archive->Entry(0));
    EXPECT_EQ(archive->Find("a/x")->Bytes(), Bytes{1});
}

TEST(ArchiveRead, TableOrderDoesNotMatterAndGapsAreSkipped) {
    // Data area: [gap 3][b][gap 5][a][c][gap 2]; the table lists c, a, b.
    Bytes a = Compressed("alpha"), b = Compressed("bravo bravo"), c = Compressed("");
    Bytes data(3, 0xEE);
    const std::uint32_t offsetB = 3;
    data.insert(data.end(), b.begin(), b.end());
    data.insert(data.end(), 5, 0xEE);
    const std::uint32_t offsetA = static_cast<std::uint32_t>(data.size());
    data.insert(data.end(), a.begin(), a.end());
    const std::uint32_t offsetC = static_cast<std::uint32_t>(data.size());
    data.insert(data.end(), c.begin(), c.end());
    const std::size_t used = data.size();
    data.insert(data.end(), 2, 0xEE);
    Bytes image = RawArchive({Record("c", "", offsetC), Record("a", "alpha", offsetA),
                              Record("b", "bravo bravo", offsetB)},
                             data);
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(image, archive), ProcedureResult::Succeeded);
    ASSERT_EQ(archive->Count(), 3);
    // Entries come in data order; the length stops at the end of the last data read.
    EXPECT_EQ(archive->Entry(0)->Name(), "b");
    EXPECT_EQ(archive->Entry(1)->Name(), "a");
    EXPECT_EQ(archive->Entry(2)->Name(), "c");
    EXPECT_EQ(Content(archive->Find("a")), "alpha");
    EXPECT_EQ(Content(archive->Find("b")), "bravo bravo");
    EXPECT_EQ(Content(archive->Find("c")), "");
    EXPECT_EQ(archive->Length(), image.size() - data.size() + used);
}

TEST(ArchiveRead, NameEndsAtItsFirstZeroByte) {
    ArchiveTableEntry e = Record("ab", "x", 0);
    e.name = std::string("ab\0cd", 5);
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(Read(RawArchive({e}, Compressed("x")), archive), ProcedureResult::Succeeded);
    EXPECT_EQ(archive->Entry(0)->Name(), "ab");
}

class RecordingProgress : public ArchiveProgress {
public:
    explicit RecordingProgress(int cancelAt = -1) : cancelAt_(cancelAt) {}
    int Progress(int percent) override {
        seen.push_back(percent);
        return percent == cancelAt_ ? ProgressCancel : 1;
    }
    std::vector<int> seen;

private:
    int cancelAt_;
};

TEST(ArchiveRead, ProgressAndCancel) {
    std::vector<ArchiveFile> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back({"f" + std::to_string(i), 0, RandomBytes(100, i)});
    }
    Bytes image = nebpack::BuildArchive(files);
    std::unique_ptr<Archive> archive;
    RecordingProgress all;
    ASSERT_EQ(Read(image, archive, &all), ProcedureResult::Succeeded);
    EXPECT_EQ(all.seen, (std::vector<int>{12, 25, 37, 50, 62, 75, 87, 100}));

    // A cancel while the table is read counts as a failure; while the data is read, as a cancel.
    RecordingProgress inTable(25);
    EXPECT_EQ(Read(image, archive, &inTable), ProcedureResult::Failed);
    EXPECT_EQ(archive, nullptr);
    EXPECT_EQ(inTable.seen, (std::vector<int>{12, 25}));
    RecordingProgress inData(75);
    EXPECT_EQ(Read(image, archive, &inData), ProcedureResult::Cancelled);
    EXPECT_EQ(archive, nullptr);
    EXPECT_EQ(inData.seen.back(), 75);
}

struct Broken {
    const char* what;
    Bytes image;
};

TEST(ArchiveRead, MalformedArchivesFail) {
    const Bytes good = nebpack::BuildArchive({{"a", 0, {'h', 'i'}}, {"b", 0, {'y', 'o'}}});
    const Bytes data = Compressed("hello");
    const ArchiveTableEntry rec = Record("n", "hello", 0);
    auto with = [&](auto change) {
        ArchiveTableEntry e = rec;
        change(e);
        return RawArchive({e}, data);
    };
    auto patched = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    Bytes noZero = RawArchive({rec}, data);
    noZero[6 + 27] = 'x'; // the record's last byte: name "n" sits at 6 + 26, its zero after it
    Bytes shortRecord = RawArchive({rec}, data);
    shortRecord[6] = 26;
    std::vector<Broken> cases = {
        {"empty stream", {}},
        {"wrong magic", patched(0, 'l')},
        {"version 0", patched(3, 0)},
        {"version 2", patched(3, 2)},
        {"record shorter than 27", shortRecord},
        {"name without its zero byte", noZero},
        {"more records than the table holds", patched(4, 3)},
        {"size one too large", with([](auto& e) { ++e.size; })},
        {"size one too small", with([](auto& e) { --e.size; })},
        {"data beyond the end", with([](auto& e) { e.offset = 1; })},
        {"compressed size beyond the end", with([](auto& e) { ++e.compressedSize; })},
        {"compressed size without the end mark", with([](auto& e) { --e.compressedSize; })},
        {"compressed size zero", with([](auto& e) { e.compressedSize = 0; })},
        {"absurd size", with([](auto& e) { e.size = 0xFFFFFFF0u; })},
        {"absurd compressed size", with([](auto& e) { e.compressedSize = 0xFFFFFFFFu; })},
        {"absurd offset", with([](auto& e) { e.offset = 0xFFFFFFF0u; })},
        {"damaged codes",
         [&] {
             Bytes b = RawArchive({rec}, data);
             b[b.size() - 3] ^= 0xFF;
             return b;
         }()},
        {"65535 records announced, one present", patched(4, 0xFF)},
    };
    // Two entries whose data overlap: going forwards, the second cannot be reached.
    Bytes hello = Compressed("hello");
    cases.push_back(
        {"overlapping data", RawArchive({Record("x", "hello", 0), Record("y", "ello", 1)}, hello)});
    for (const Broken& b : cases) {
        std::unique_ptr<Archive> archive;
        EXPECT_EQ(Read(b.image, archive), ProcedureResult::Failed) << b.what;
        EXPECT_EQ(archive, nullptr) << b.what;
    }
}

// Every truncation and a batch of bit flips and byte overwrites of a real archive: each read
// either succeeds or fails cleanly; AddressSanitizer watches the rest.
TEST(ArchiveRead, DamagedImagesNeverCrash) {
    std::vector<ArchiveFile> files;
    for (int i = 0; i < 5; ++i) {
        files.push_back({"dir\\f" + std::to_string(i), 0, RandomBytes(900 * i, 40 + i, 5)});
    }
    const Bytes good = nebpack::BuildArchive(files);
    std::unique_ptr<Archive> archive;
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(Read(cut, archive), ProcedureResult::Failed) << n;
    }
    std::uint32_t x = 99;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int round = 0; round < 2000; ++round) {
        Bytes m = good;
        for (int k = 0; k <= round % 3; ++k) {
            std::size_t at = next() % m.size();
            if (round % 2) {
                m[at] ^= static_cast<std::uint8_t>(1u << (next() % 8));
            } else {
                m[at] = static_cast<std::uint8_t>(next());
            }
        }
        ProcedureResult r = Read(m, archive);
        EXPECT_TRUE(r == ProcedureResult::Succeeded || r == ProcedureResult::Failed);
        EXPECT_EQ(archive != nullptr, r == ProcedureResult::Succeeded);
    }
}

TEST(ArchiveReadFile, ReadsAtAnOffsetAndReportsOpenFailures) {
    ScratchDir dir;
    Bytes first = nebpack::BuildArchive({{"one", 0, {'1'}}});
    Bytes second = nebpack::BuildArchive({{"two", 0, {'2', '2'}}});
    dir.Write("set.nds", Text(first) + Text(second));
    const std::string path = dir.File("set.nds");
    std::unique_ptr<Archive> archive;
    ASSERT_EQ(ReadArchiveFile(path, 0, archive, nullptr), ProcedureResult::Succeeded);
    EXPECT_EQ(archive->Length(), first.size());
    ASSERT_NE(archive->Find("one"), nullptr);
    ASSERT_EQ(ReadArchiveFile(path, archive->Length(), archive, nullptr),
              ProcedureResult::Succeeded);
    EXPECT_EQ(Content(archive->Find("two")), "22");
    const std::uint32_t size = static_cast<std::uint32_t>(first.size() + second.size());
    EXPECT_EQ(ReadArchiveFile(path, size, archive, nullptr), ProcedureResult::Failed);
    EXPECT_EQ(ReadArchiveFile(path, size + 1, archive, nullptr), ProcedureResult::Failed);
    EXPECT_EQ(ReadArchiveFile(path, 1, archive, nullptr), ProcedureResult::Failed);
    EXPECT_EQ(archive, nullptr);
    EXPECT_THROW(ReadArchiveFile(dir.File("missing.nds"), 0, archive, nullptr),
                 FileNotFoundException);
}

} // namespace
} // namespace nebcm
