// Sets encoded in every way the format allows read alike; damaged sets are rejected as corrupt,
// never crash, and never make the reader claim the memory their headers declare.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../tools/nebpack/lzw_encoder.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "set_builder.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;
using Lines = std::vector<std::string>;

// Repetitive text and noise, so that the dictionary fills and both block kinds appear.
std::string Payload(std::size_t n, std::uint32_t seed) {
    std::string out;
    std::uint32_t x = seed * 2654435761u + 7;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        if (x % 3 == 0) {
            out += "neb.core.Class" + std::to_string(x % 97) + ";";
        } else {
            out.push_back(static_cast<char>(x >> 24));
        }
    }
    out.resize(n);
    return out;
}

const std::string Database = LibrarySection("x", "1.00", {"lib/x.jar", "lib/y.jar", "lib/z.jar"}) +
                             LibrarySection("e", "1.00", {"empty.txt"});

std::vector<SubsetFile> Files() {
    return {{"lib\\x.jar", Payload(70000, 1)},
            {"lib\\y.jar", Payload(5000, 2)},
            {"lib\\z.jar", std::string(40000, 'z')},
            {"empty.txt", ""}};
}

// A subset whose table lists the entries in the given order while their data lies in another
// order, with `gap` bytes of filler before each entry's data.
Bytes Scrambled(const std::vector<int>& tableOrder, const std::vector<int>& dataOrder,
                std::size_t gap) {
    std::vector<SubsetFile> files = Files();
    files.insert(files.begin(), {"neb.cdb", Database});
    std::vector<nebpack::ArchiveTableEntry> table(files.size());
    Bytes data;
    for (int i : dataOrder) {
        data.insert(data.end(), gap, 0xA5);
        nebpack::ArchiveTableEntry& e = table[static_cast<std::size_t>(i)];
        e.name = files[static_cast<std::size_t>(i)].name;
        e.size = static_cast<std::uint32_t>(files[static_cast<std::size_t>(i)].data.size());
        e.offset = static_cast<std::uint32_t>(data.size());
        const std::string& d = files[static_cast<std::size_t>(i)].data;
        nebpack::CompressLzw(reinterpret_cast<const std::uint8_t*>(d.data()), d.size(), data);
        e.compressedSize = static_cast<std::uint32_t>(data.size() - e.offset);
    }
    std::vector<nebpack::ArchiveTableEntry> ordered;
    for (int i : tableOrder) {
        ordered.push_back(table[static_cast<std::size_t>(i)]);
    }
    Bytes out = nebpack::EncodeArchiveTable(ordered);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

class SetEncodingTest : public ::testing::Test {
protected:
    std::unique_ptr<DistributionSet> Read(const Bytes& image, Lines& errors) {
        work.Write("set.nds", Text(image));
        ErrorList list;
        PlatformSymbols none;
        std::unique_ptr<DistributionSet> set =
            ReadDistributionSet(work.File("set.nds"), list, nullptr, &none);
        errors = list.Messages();
        return set;
    }
    void ExpectContents(const Bytes& image, const char* what) {
        Lines errors;
        std::unique_ptr<DistributionSet> set = Read(image, errors);
        ASSERT_TRUE(set) << what << ": " << errors[0];
        for (const SubsetFile& f : Files()) {
            std::string path = f.name;
            std::replace(path.begin(), path.end(), '\\', '/');
            const ArchiveEntry* e = set->FindEntry(path);
            ASSERT_NE(e, nullptr) << what << ": " << path;
            const std::vector<std::uint8_t> bytes = e->Bytes();
            EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == f.data) << what << ": " << path;
        }
    }
    std::string Corrupt() const { return Message(12106, work.File("set.nds")); }

    ScratchDir work;
};

TEST_F(SetEncodingTest, EveryEncodingReadsTheSameFiles) {
    nebpack::LzwOptions clears;
    clears.clearInterval = 100; // clear codes in the middle of blocks
    nebpack::LzwOptions stored;
    stored.storeIncompressible = true; // raw blocks where codes would be longer
    nebpack::LzwOptions tiny;
    tiny.blockSize = 1; // a block per byte
    nebpack::LzwOptions large;
    large.blockSize = 32767;
    struct Case {
        const char* what;
        nebpack::LzwOptions options;
    };
    for (const Case& c :
         {Case{"default", {}}, Case{"clear codes", clears}, Case{"stored blocks", stored},
          Case{"one-byte blocks", tiny}, Case{"largest blocks", large}}) {
        ExpectContents(BuildSubset(Database, Files(), c.options), c.what);
    }
    ExpectContents(Scrambled({0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, 0), "in order");
    ExpectContents(Scrambled({3, 0, 4, 2, 1}, {1, 2, 3, 4, 0}, 0), "table out of data order");
    ExpectContents(Scrambled({4, 3, 2, 1, 0}, {2, 0, 4, 1, 3}, 17), "gaps between the data");
    // A set of subsets each encoded its own way, the database in the last.
    const Bytes first = nebpack::BuildArchive(
        {{"neb.cdb", 0, ToBytes(LibrarySection("w", "1.00", {"w"}))}, {"w", 0, ToBytes("w")}},
        stored);
    Lines errors;
    EXPECT_TRUE(Read(Join({first, Scrambled({2, 1, 0, 4, 3}, {4, 3, 2, 1, 0}, 3)}), errors))
        << errors[0];
}

TEST_F(SetEncodingTest, DeclaredSizesThatCannotBeHeldAreCorrupt) {
    // Each would make a careless reader allocate gigabytes; the sanitizers would abort on that.
    std::vector<nebpack::ArchiveTableEntry> table(1);
    table[0].name = "neb.cdb";
    Bytes data;
    const std::string text = LibrarySection("x", "1.00", {"x"});
    nebpack::CompressLzw(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), data);
    struct Case {
        const char* what;
        std::uint32_t size;
        std::uint32_t compressedSize;
    };
    for (const Case& c :
         {Case{"decompressed size", 0xFFFFFFF0u, 0}, Case{"compressed size", 0, 0xFFFFFFF0u},
          Case{"both", 0x7FFFFFFFu, 0x7FFFFFFFu}}) {
        table[0].size = c.size ? c.size : static_cast<std::uint32_t>(text.size());
        table[0].compressedSize =
            c.compressedSize ? c.compressedSize : static_cast<std::uint32_t>(data.size());
        Bytes image = nebpack::EncodeArchiveTable(table);
        image.insert(image.end(), data.begin(), data.end());
        Lines errors;
        EXPECT_FALSE(Read(image, errors)) << c.what;
        EXPECT_EQ(errors, Lines{Corrupt()}) << c.what;
    }
    // A block that claims more output than its codes can produce.
    Bytes block = nebpack::EncodeArchiveTable({{"neb.cdb", 0, 30000, 6, 0}});
    block.insert(block.end(), {1, 1, 0, 0x30, 0x75, 0x41, 0});
    Lines errors;
    EXPECT_FALSE(Read(block, errors));
    EXPECT_EQ(errors, Lines{Corrupt()});
    // An entry table that promises 65535 records and ends after one.
    Bytes table65535 = BuildSubset(text, {{"x", "x"}});
    table65535[4] = 0xFF;
    table65535[5] = 0xFF;
    EXPECT_FALSE(Read(table65535, errors));
    EXPECT_EQ(errors, Lines{Corrupt()});
}

TEST_F(SetEncodingTest, DamageAnywhereIsRejectedOrHarmless) {
    const Bytes first =
        BuildSubset(LibrarySection("x", "1.00", {"lib/x.jar"}), {{"lib\\x.jar", Payload(300, 5)}});
    const Bytes second =
        BuildSubset(LibrarySection("x", "1.00", {"lib/x.jar"}) + LibrarySection("y", "1.00", {"y"}),
                    {{"lib\\x.jar", Payload(300, 5)}, {"y", "why"}}, [] {
                        nebpack::LzwOptions o;
                        o.storeIncompressible = true;
                        return o;
                    }());
    const Bytes image = Join({first, second});
    // Every length short of the whole: only the end of the first subset leaves a valid set.
    for (std::size_t n = 1; n < image.size(); ++n) {
        Lines errors;
        std::unique_ptr<DistributionSet> set =
            Read(Bytes(image.begin(), image.begin() + n), errors);
        if (n == first.size()) {
            EXPECT_TRUE(set) << n;
        } else {
            EXPECT_EQ(errors, Lines{Corrupt()}) << n;
        }
    }
    // Every byte flipped: whatever the reader makes of it, it says so consistently.
    for (std::size_t i = 0; i < image.size(); ++i) {
        Bytes damaged = image;
        damaged[i] ^= static_cast<std::uint8_t>(1u << (i % 8));
        Lines errors;
        std::unique_ptr<DistributionSet> set = Read(damaged, errors);
        EXPECT_EQ(set == nullptr, !errors.empty()) << i;
        if (set) {
            for (std::size_t k = 0; k < set->EntryCount(); ++k) {
                const ArchiveEntry& e = set->EntryAt(k);
                EXPECT_EQ(e.Bytes().size(), e.Size()) << i;
                EXPECT_EQ(set->FindEntry(e.NameWithSlashes()), &e) << i;
            }
        }
    }
}

} // namespace
} // namespace nebcm
