// Installing from a set while memory runs out in the middle of copying its files: every
// allocation made while the files are copied fails in turn, and each time the installation fails
// with the message that memory ran out and leaves the tree, the registry and the temporary
// directory as they were.
#include <gtest/gtest.h>

#include <memory>

#include "../../distribution/memory/failing_allocation.h"
#include "../platform_fixture.h"
#include "../scripted_ui.h"
#include "common/messages.h"
#include "engine/extension_installation.h"

namespace nebcm::test {
namespace {

using namespace nebcm::testing;
using Lines = std::vector<std::string>;

// The activity rows of the installation window: the files are copied in the third.
constexpr int CopyingRow = 3010;

// Text that compresses into many blocks.
std::string Payload(std::size_t size) {
    std::string out;
    std::uint32_t x = 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        out += "word" + std::to_string((x >> 16) % 97) + (x % 7 == 0 ? "\n" : " ");
    }
    out.resize(size);
    return out;
}

// The installation window, quiet: it only arms the allocation failures when the copying begins
// and disarms them when the next activity does, and allocates nothing itself meanwhile.
class ArmingProgress : public ProgressReporter {
public:
    ArmingProgress(std::uint64_t failAt, std::unique_ptr<FailingAllocations>& failing,
                   AllocationCounts& counts)
        : failAt_(failAt), failing_(failing), counts_(counts) {}
    void BeginActivity(int nameMessage) override {
        if (failing_) {
            counts_ = failing_->Disarm();
            failing_.reset();
        }
        if (nameMessage == CopyingRow) {
            failing_ = std::make_unique<FailingAllocations>(failAt_);
        }
    }
    void SetActivityPercent(int) override {}
    void SetActivityStatus(int) override {}
    void SetActivityStatusText(const std::string&) override {}
    bool IsCancelled() override { return false; }
    void Pause(unsigned) override {}

private:
    std::uint64_t failAt_;
    std::unique_ptr<FailingAllocations>& failing_;
    AllocationCounts& counts_;
};

class ArmingUi : public ScriptedUi {
public:
    explicit ArmingUi(std::uint64_t failAt) : failAt_(failAt) {}
    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow) override {
        return std::make_unique<ArmingProgress>(failAt_, failing, counts);
    }
    std::unique_ptr<FailingAllocations> failing;
    AllocationCounts counts;

private:
    std::uint64_t failAt_;
};

class InstallationMemoryTest : public PlatformTest {
protected:
    std::string State() {
        return DescribeWithoutAccessTimes(WorkSnapshot()) + Describe(KeySnapshot());
    }
    void LayOut() {
        LayOutPlatform(Section("Application:atlas", "1.00", {"apps/atlas.exe;Atlas"}));
    }
    // Atlas 2.00 with a file of many blocks, and a library that is new.
    std::unique_ptr<DistributionSet> Set() {
        return MakeSet(Section("Application:atlas", "2.00",
                               {"apps/atlas.exe;Atlas", "lib/atlas.jar"}, {"Library=maps"}) +
                           Section("Library:maps", "1.00", {"lib/maps.jar"}),
                       {{"lib/atlas.jar", Payload(150000)}});
    }
    // Installs everything the set offers, with allocations failing as given from the moment the
    // copying begins until the next activity does. False when std::bad_alloc left the
    // installation.
    bool Install(DistributionSet& set, std::uint64_t failAt, ProcedureResult& result,
                 ErrorList& errors, AllocationCounts& counts) {
        ArmingUi ui(failAt);
        Selection selection;
        for (std::size_t i = 0; i < set.MergedConfiguration().Count(); ++i) {
            selection.insert(&set.MergedConfiguration().At(i));
        }
        bool kept = true;
        try {
            result = InstallExtensions(ui, set, selection, errors);
        } catch (const std::bad_alloc&) {
            kept = false;
        }
        if (ui.failing) {
            ui.counts = ui.failing->Disarm();
        }
        counts = ui.counts;
        return kept;
    }

    void RemoveTempFiles() {
        for (const std::string& name : TempFiles()) {
            ::DeleteFileA((temp_ + "\\" + name).c_str());
        }
    }

    // What the sweep over every allocation of the copying came to.
    struct Sweep {
        std::uint64_t allocations = 0;
        std::uint64_t reported = 0;       // failed with the message that memory ran out
        std::vector<std::string> escaped; // std::bad_alloc left the installation
        std::vector<std::string> wrong;   // anything else that is not as it should be
    };

    // Fails each allocation made while the files are copied in turn, on a platform laid out
    // afresh each time.
    Sweep FailEachAllocation() {
        Sweep sweep;
        std::unique_ptr<DistributionSet> set = Set();
        if (!set) {
            sweep.wrong.push_back("no set");
            return sweep;
        }
        AllocationCounts whole;
        // Twice, so that whatever is made once per program is made before counting.
        for (int run = 0; run < 2; ++run) {
            ResetPlatform();
            LayOut();
            ErrorList errors;
            ProcedureResult result = ProcedureResult::Failed;
            if (!Install(*set, 0, result, errors, whole) || result != ProcedureResult::Succeeded ||
                !errors.Empty()) {
                sweep.wrong.push_back("the installation fails with memory to spare");
                return sweep;
            }
        }
        sweep.allocations = whole.made;
        for (std::uint64_t k = 1; k <= whole.made; ++k) {
            ResetPlatform();
            LayOut();
            const std::string before = State();
            ErrorList messages;
            AllocationCounts counts;
            ProcedureResult result = ProcedureResult::Failed;
            const bool kept = Install(*set, k, result, messages, counts);
            const std::string what = "allocation " + std::to_string(k) + " of " +
                                     std::to_string(whole.made) + " while copying";
            if (counts.failed != 1) {
                sweep.wrong.push_back(what + ": not made");
            } else if (!kept) {
                const bool undone = State() == before && TempFiles().empty();
                sweep.escaped.push_back(what + (undone ? "" : ", and not undone"));
                RemoveTempFiles();
                continue;
            } else if (result == ProcedureResult::Succeeded) {
                // An allocation that the copying can do without leaves it whole.
                if (!messages.Empty()) {
                    sweep.wrong.push_back(what + ": succeeded with " + messages.At(0));
                }
                continue;
            } else if (messages.Messages() != Lines{Message(13020)}) {
                sweep.wrong.push_back(what + ": " +
                                      (messages.Empty() ? "no message" : messages.At(0)));
            } else {
                ++sweep.reported;
            }
            if (result != ProcedureResult::Succeeded && State() != before) {
                sweep.wrong.push_back(what + ": the platform changed");
            }
            if (!TempFiles().empty()) {
                sweep.wrong.push_back(what + ": temporary files remain");
                RemoveTempFiles();
            }
        }
        return sweep;
    }
};

std::string Listed(const std::vector<std::string>& lines) {
    std::string list;
    for (const std::string& line : lines) {
        list += "\n" + line;
    }
    return list;
}

TEST_F(InstallationMemoryTest, MemoryRunningOutWhileFilesAreCopiedUndoesTheInstallation) {
    const Sweep sweep = FailEachAllocation();
    EXPECT_TRUE(sweep.wrong.empty()) << Listed(sweep.wrong);
    // The data of each file is copied through buffers of its own, whose allocations fail here.
    EXPECT_GE(sweep.reported, 3u);
    RecordProperty("escaped", static_cast<int>(sweep.escaped.size()));
}

// No allocation of the copying, wherever it fails (the paths and files made around each file's
// data too), leaves the installation as an exception: each is reported and undone.
TEST_F(InstallationMemoryTest, NoFailedAllocationLeavesTheInstallation) {
    const Sweep sweep = FailEachAllocation();
    EXPECT_TRUE(sweep.wrong.empty()) << Listed(sweep.wrong);
    EXPECT_TRUE(sweep.escaped.empty())
        << sweep.escaped.size() << " of " << sweep.allocations << ":" << Listed(sweep.escaped);
}

} // namespace
} // namespace nebcm::test
