// Reading a set while memory runs out, at every allocation the reader makes in turn and for every
// allocation from a size up: each read either comes out exactly as it does with memory to spare,
// or fails with the one message that memory ran out. Never is the set called corrupt, nor does
// the failure escape the reader.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../set_builder.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "failing_allocation.h"
#include "model/component_database_writer.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;

class StringText : public TextOutputStream {
public:
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override {}
    void PrintV(const char* format, va_list args) override { text += FormatTextV(format, args); }
    std::string text;
};

// Counts the reader's progress windows without allocating anything itself.
class WindowCount : public SetReadingProgress {
public:
    void BeginReading(const std::string&) override { ++shown; }
    void BeginFolding(const std::string&) override {}
    void SetProgress(int) override {}
    void End() override { --shown; }
    int shown = 0;
};

// What one read of a set came to.
struct Outcome {
    bool escaped = false; // std::bad_alloc left the reader
    bool read = false;
    std::vector<std::string> messages;
    std::string database; // the merged configuration, written out
    std::map<std::string, std::string> files;
    int windowsLeft = 0;
    AllocationCounts allocations;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.escaped == b.escaped && a.read == b.read && a.messages == b.messages &&
           a.database == b.database && a.files == b.files && a.windowsLeft == b.windowsLeft;
}

std::string Show(const Outcome& o) {
    std::string text = o.escaped ? "bad_alloc escaped" : o.read ? "read" : "rejected";
    for (const std::string& m : o.messages) {
        text += "\n  " + m;
    }
    if (o.windowsLeft != 0) {
        text += "\n  a progress window is left shown";
    }
    return text;
}

// Reads the set with allocations failing as given; everything but the read itself runs with
// memory to spare.
Outcome Read(const std::string& path, std::uint64_t failAt, std::size_t largest = 0) {
    Outcome outcome;
    ErrorList errors;
    WindowCount windows;
    PlatformSymbols none;
    std::unique_ptr<DistributionSet> set;
    {
        FailingAllocations failing(failAt, largest);
        try {
            set = ReadDistributionSet(path, errors, &windows, &none);
        } catch (const std::bad_alloc&) {
            outcome.escaped = true;
        }
        outcome.allocations = failing.Disarm();
    }
    outcome.read = set != nullptr;
    outcome.messages = errors.Messages();
    outcome.windowsLeft = windows.shown;
    if (set) {
        StringText text;
        ComponentDatabaseWriter::Write(set->MergedConfiguration(), text);
        outcome.database = text.text;
        for (const auto& [file, size] : set->EntrySizes()) {
            const Bytes bytes = set->FindEntry(file)->Bytes();
            outcome.files[file] = std::string(bytes.begin(), bytes.end());
        }
    }
    return outcome;
}

class SetMemoryTest : public ::testing::Test {
protected:
    // Two subsets: one library in both at one version (so the two definitions are compared file
    // by file), one in both at two versions, and one only in the second, with an empty file.
    std::string WriteSet(const std::string& name, const std::string& secondShared,
                         const std::string& secondDatabase = std::string()) {
        const std::string first = LibrarySection("shared", "1.00", {"lib/shared.jar"}) +
                                  LibrarySection("old", "1.00", {"lib/old.jar"});
        const std::string second =
            LibrarySection("shared", "1.00", {"lib/shared.jar"}) +
            LibrarySection("old", "2.00", {"lib/old.jar"}) +
            LibrarySection("fresh", "1.00", {"lib/fresh.jar", "doc/empty.txt"}, {"Library=old"});
        const Bytes image =
            Join({BuildSubset(first, {{"lib\\shared.jar", shared}, {"lib\\old.jar", "old 1"}}),
                  BuildSubset(secondDatabase.empty() ? second : secondDatabase,
                              {{"lib\\shared.jar", secondShared},
                               {"lib\\old.jar", "old 2"},
                               {"lib\\fresh.jar", Payload(3, 20000)},
                               {"doc\\empty.txt", ""}})});
        work.Write(name, Text(image));
        return work.File(name);
    }

    // Fails each allocation of a read in turn, then the allocations above each of a few sizes.
    void Sweep(const std::string& path, const std::vector<std::string>& expected) {
        Read(path, 0); // whatever is made once per program is made now
        const Outcome whole = Read(path, 0);
        ASSERT_EQ(whole.messages, expected);
        ASSERT_FALSE(whole.escaped);
        ASSERT_EQ(whole.windowsLeft, 0);
        const std::vector<std::string> outOfMemory{Message(13020)};
        std::uint64_t reported = 0;
        std::vector<std::string> wrong;
        const auto judge = [&](const Outcome& o, const std::string& where) {
            if (o.allocations.failed == 0) {
                if (!(o == whole)) {
                    wrong.push_back(where + " (nothing failed): " + Show(o));
                }
            } else if (!o.read && !o.escaped && o.messages == outOfMemory && o.windowsLeft == 0) {
                ++reported;
            } else if (!(o == whole)) {
                wrong.push_back(where + ": " + Show(o));
            }
        };
        for (std::uint64_t k = 1; k <= whole.allocations.made + 1; ++k) {
            judge(Read(path, k), "allocation " + std::to_string(k));
        }
        for (std::size_t largest : {std::size_t{1} << 20, std::size_t{1} << 16,
                                    std::size_t{1} << 14, std::size_t{4096}, std::size_t{512}}) {
            judge(Read(path, 0, largest), "above " + std::to_string(largest) + " bytes");
        }
        // Most allocations are the reader's own and cannot be done without.
        EXPECT_GT(reported, whole.allocations.made / 2);
        std::string list;
        for (const std::string& w : wrong) {
            list += "\n" + w;
        }
        EXPECT_TRUE(wrong.empty()) << wrong.size() << " of " << whole.allocations.made
                                   << " allocations went wrong when they failed:" << list;
    }

    const std::string shared = Payload(1, 70000);
    ScratchDir work;
};

TEST_F(SetMemoryTest, AnAcceptedSetIsReadWholeOrMemoryIsSaidToHaveRunOut) {
    const std::string path = WriteSet("good.nds", shared);
    Sweep(path, {});
}

TEST_F(SetMemoryTest, ARejectedSetKeepsItsReasonsOrMemoryIsSaidToHaveRunOut) {
    // Equal definitions whose file differs in its last byte only: the comparison reads both
    // files to their ends.
    std::string changed = shared;
    changed.back() ^= 1;
    const std::string differing = WriteSet("differing.nds", changed);
    Sweep(differing, {Message(12120, "shared", "lib/shared.jar")});

    // A database that neither dialect accepts: both readers' messages, read in turn.
    const std::string broken = WriteSet("broken.nds", shared, "[Library:broken]\nVersion=one\n");
    ErrorList expected;
    PlatformSymbols none;
    ASSERT_FALSE(ReadDistributionSet(broken, expected, nullptr, &none));
    ASSERT_GT(expected.Count(), 2u);
    EXPECT_EQ(expected.At(0), Message(12110, broken));
    Sweep(broken, expected.Messages());
}

} // namespace
} // namespace nebcm
