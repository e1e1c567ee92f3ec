// A set whose bytes stop reading as they did while the installation copies them: the installation
// fails with the message that says so and leaves everything as it was.
#include <gtest/gtest.h>

#include "common/messages.h"
#include "engine/extension_installation.h"
#include "io/streams.h"
#include "platform_fixture.h"
#include "scripted_ui.h"

namespace nebcm::test {
namespace {

using Lines = std::vector<std::string>;

const char* const ChangedSet = "C:\\sets\\changing.nds";

// Gives `good` bytes of a file, then finds the set changed, as a set entry's stream does when its
// file no longer holds what was checked.
class ChangingStream : public DataInputStream {
public:
    explicit ChangingStream(std::uint32_t good) : good_(good) {}
    bool IsOpen() const override { return true; }
    void Close() override {}
    bool AtEnd() override { return false; }
    std::uint32_t Skip(std::uint32_t n) override { return Read(nullptr, n); }
    int Read() override {
        std::uint8_t b = 0;
        return Read(&b, 1) == 1 ? b : -1;
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override {
        if (given_ + n > good_) {
            throw SourceChangedException(ChangedSet);
        }
        for (std::uint32_t i = 0; buffer != nullptr && i < n; ++i) {
            buffer[i] = 'x';
        }
        given_ += n;
        return n;
    }

private:
    std::uint32_t good_;
    std::uint32_t given_ = 0;
};

class ChangingEntry : public ArchiveEntry {
public:
    ChangingEntry(std::string name, std::uint32_t size, std::uint32_t good)
        : name_(std::move(name)), size_(size), good_(good) {}
    std::unique_ptr<ArchiveEntry> Clone() const override {
        return std::make_unique<ChangingEntry>(*this);
    }
    const std::string& Name() const override { return name_; }
    std::string NameWithSlashes() const override {
        std::string name = name_;
        std::replace(name.begin(), name.end(), '\\', '/');
        return name;
    }
    bool IsDirectory() const override { return false; }
    FileTime CreationTime() const override { return 0x01c0000000000000ull; }
    FileTime LastAccessTime() const override { return 0x01c0000000000000ull; }
    FileTime LastWriteTime() const override { return 0x01c0000000000000ull; }
    std::uint32_t Size() const override { return size_; }
    std::unique_ptr<DataInputStream> OpenStream() const override {
        return std::make_unique<ChangingStream>(good_);
    }

private:
    std::string name_;
    std::uint32_t size_;
    std::uint32_t good_;
};

class ChangingSetTest : public PlatformTest {
protected:
    std::string State() {
        return DescribeWithoutAccessTimes(WorkSnapshot()) + Describe(KeySnapshot());
    }
};

TEST_F(ChangingSetTest, AnInstallationWhoseSetChangesMidwayFailsAndUndoesEverything) {
    // The set's atlas replaces the installed one: its old files are removed, then the new ones
    // are copied, the second of which breaks off in its middle.
    LayOutPlatform(Section("Application:atlas", "1.00", {"apps/atlas.exe;Atlas", "lib/atlas.jar"}));
    const std::string before = State();

    auto configuration = std::make_unique<Configuration>();
    FileList files;
    for (const char* path : {"apps/atlas.exe", "lib/atlas.jar", "lib/more.jar"}) {
        files.push_back(std::make_unique<ExtensionFile>(path, ""));
    }
    configuration->Add(std::make_unique<Application>("atlas", Version(1, 0), "atlas", "Tessaly",
                                                     "neb/test", std::move(files), DependencyList(),
                                                     ExternalList()));
    std::vector<std::unique_ptr<ArchiveEntry>> entries;
    entries.push_back(std::make_unique<ChangingEntry>("apps\\atlas.exe", 700, 700));
    entries.push_back(std::make_unique<ChangingEntry>("lib\\atlas.jar", 5000, 2048));
    entries.push_back(std::make_unique<ChangingEntry>("lib\\more.jar", 10, 10));
    DistributionSet set(std::move(configuration), std::move(entries));

    ScriptedUi ui;
    ErrorList errors;
    Selection selection{&set.MergedConfiguration().At(0)};
    EXPECT_EQ(InstallExtensions(ui, set, selection, errors), ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), Lines{Message(13021, ChangedSet)});
    EXPECT_EQ(ui.installed, Lines());
    EXPECT_EQ(State(), before);
}

} // namespace
} // namespace nebcm::test
