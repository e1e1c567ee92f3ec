// The core's archive entries are written only where the system opens them as named: an entry that
// reaches an existing directory through its short name is refused before anything is written.
#include <gtest/gtest.h>

#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"

namespace nebcm::test {
namespace {

class CoreContainmentTest : public CoreInstallTest {};

TEST_F(CoreContainmentTest, AnEntryThroughAShortNameIsRefusedBeforeAnythingIsWritten) {
    ASSERT_TRUE(::CreateDirectoryA(Work("NEB").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install().c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install("Long Directory Name").c_str(), nullptr));
    char buffer[MAX_PATH] = {};
    const DWORD length =
        ::GetShortPathNameA(Install("Long Directory Name").c_str(), buffer, sizeof buffer);
    ASSERT_GT(length, 0u);
    std::string alias(buffer, length);
    alias = alias.substr(alias.rfind('\\') + 1);
    ASSERT_NE(alias, "Long Directory Name");

    machine_.useRealArchive = false;
    machine_.archive = MakeArchive({{"njava.exe", "MZ launcher"},
                                    {"Long Directory Name\\own.txt", "own"},
                                    {alias + "\\other.txt", "through the alias"}});
    const std::string before = MachineState();
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    EXPECT_EQ(InstallCoreFiles(Install(), progress, transaction, errors), ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(12010, alias + "/other.txt")});
    EXPECT_EQ(transaction.Count(), 0);
    EXPECT_EQ(MachineState(), before);
}

} // namespace
} // namespace nebcm::test
