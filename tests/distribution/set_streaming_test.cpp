// Set entries decode their data from the set file whenever they are read: by turns, again and
// again, across subsets, and only while the file still holds what was checked.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "distribution/distribution_set.h"
#include "set_builder.h"
#include "set_file_change.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;

std::string ReadAll(DataInputStream& s, std::uint32_t step) {
    std::string out;
    std::vector<std::uint8_t> chunk(step);
    for (std::uint32_t n; (n = s.Read(chunk.data(), step)) > 0;) {
        out.append(chunk.begin(), chunk.begin() + n);
    }
    return out;
}

class SetStreamingTest : public ::testing::Test {
protected:
    // Two subsets: library a with one big file in the first, library b with two in the second.
    std::unique_ptr<DistributionSet> ReadTwoSubsets() {
        const Bytes image =
            Join({BuildSubset(LibrarySection("a", "1.00", {"lib/a.jar"}), {{"lib\\a.jar", a}}),
                  BuildSubset(LibrarySection("b", "1.00", {"lib/b.jar", "lib/c.txt"}),
                              {{"lib\\b.jar", b}, {"lib\\c.txt", c}})});
        work.Write("set.nds", Text(image));
        ErrorList errors;
        PlatformSymbols none;
        std::unique_ptr<DistributionSet> set =
            ReadDistributionSet(work.File("set.nds"), errors, nullptr, &none);
        EXPECT_TRUE(set) << (errors.Empty() ? "" : errors.At(0));
        return set;
    }

    const std::string a = Payload(1, 300000);
    const std::string b = Payload(2, 200001);
    const std::string c = "small";
    ScratchDir work;
};

TEST_F(SetStreamingTest, EntriesReadByTurnsAndAgainGiveTheirOwnBytes) {
    std::unique_ptr<DistributionSet> set = ReadTwoSubsets();
    ASSERT_TRUE(set);
    const ArchiveEntry& ea = *set->FindEntry("lib/a.jar");
    const ArchiveEntry& eb = *set->FindEntry("lib/b.jar");
    // Three streams on one file handle, two of them on one entry, read in steps that cut blocks
    // at different places.
    std::unique_ptr<DataInputStream> a1 = ea.OpenStream();
    std::unique_ptr<DataInputStream> a2 = ea.OpenStream();
    std::unique_ptr<DataInputStream> b1 = eb.OpenStream();
    std::string ra1, ra2, rb1;
    std::vector<std::uint8_t> chunk(40000);
    bool more = true;
    while (more) {
        const std::uint32_t n1 = a1->Read(chunk.data(), 4099);
        ra1.append(chunk.begin(), chunk.begin() + n1);
        const std::uint32_t n2 = b1->Read(chunk.data(), 40000);
        rb1.append(chunk.begin(), chunk.begin() + n2);
        // Single bytes and short reads mixed on one stream.
        const int one = a2->Read();
        if (one >= 0) {
            ra2 += static_cast<char>(one);
            const std::uint32_t n3 = a2->Read(chunk.data(), 97);
            ra2.append(chunk.begin(), chunk.begin() + n3);
        }
        more = n1 > 0 || n2 > 0 || one >= 0;
    }
    EXPECT_TRUE(ra1 == a) << ra1.size();
    EXPECT_TRUE(rb1 == b) << rb1.size();
    EXPECT_TRUE(ra2 == a) << ra2.size();
    // A stream opened after the others ran to the end starts from the beginning again, and a
    // clone reads the same after the set is gone.
    EXPECT_TRUE(ReadAll(*ea.OpenStream(), 512) == a);
    std::unique_ptr<ArchiveEntry> clone = set->FindEntry("lib/c.txt")->Clone();
    set.reset();
    EXPECT_EQ(ReadAll(*clone->OpenStream(), 3), c);
    std::unique_ptr<DataInputStream> s = clone->OpenStream();
    EXPECT_EQ(s->Skip(2), 2u);
    EXPECT_EQ(s->Read(), 'a');
    EXPECT_EQ(s->Skip(100), 2u);
    EXPECT_TRUE(s->AtEnd());
    EXPECT_EQ(s->Read(), -1);
}

TEST_F(SetStreamingTest, ASetFileThatChangesUnderItsEntriesIsNoticed) {
    std::unique_ptr<DistributionSet> set = ReadTwoSubsets();
    ASSERT_TRUE(set);
    const ArchiveEntry& ea = *set->FindEntry("lib/a.jar");
    std::unique_ptr<DataInputStream> open = ea.OpenStream();
    std::vector<std::uint8_t> chunk(1000);
    ASSERT_EQ(open->Read(chunk.data(), 1000), 1000u);
    if (!ChangeHeldFile(work.File("set.nds"))) {
        // The system refuses to change a file that is held open: the bytes stay those checked.
        EXPECT_TRUE(ReadAll(*ea.OpenStream(), 4096) == a);
        set.reset();
        open.reset();
        EXPECT_TRUE(ChangeHeldFile(work.File("set.nds"))) << "the file is free again";
        return;
    }
    // Where the system lets the file change, neither a stream that was reading nor a new one
    // hands out other bytes than those checked.
    EXPECT_THROW(ReadAll(*open, 4096), SourceChangedException);
    try {
        ReadAll(*ea.OpenStream(), 4096);
        ADD_FAILURE() << "a new stream read a changed set";
    } catch (const SourceChangedException& e) {
        EXPECT_EQ(e.FileName(), work.File("set.nds"));
    }
}

} // namespace
} // namespace nebcm
