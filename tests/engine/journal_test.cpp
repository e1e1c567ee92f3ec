// The journal of a transaction on disk: records before their changes, named backups, commit and
// rollback clean-up, a refused journal stopping the change, and the recovery of a killed process
// at every journal entry, compared byte for byte with the state before.
#include <gtest/gtest.h>
#include <windows.h>

#include <new>

#include "common/journal_format.h"
#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/journal.h"
#include "engine/journal_file_win32.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "engine_fixture.h"

namespace nebcm::test {
namespace {

const std::uint64_t Year2001 = 126227808000000000ull;

std::string AllMessages(const ErrorList& errors) {
    std::string text;
    for (std::size_t i = 0; i < errors.Count(); ++i) {
        text += "[" + errors.At(i) + "] ";
    }
    return text;
}

class JournalTest : public EngineTest {
protected:
    std::string Rollback(const std::string& name = std::string()) const {
        return name.empty() ? root_ + "\\rollback" : root_ + "\\rollback\\" + name;
    }
    void MakeFile(const std::string& path, const std::string& content, DWORD attributes) {
        WriteBytes(path, content);
        SetOldTimes(path, Year2001);
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attributes));
    }
    // Reads the journal beside the transaction that writes it.
    JournalContents ReadJournal() {
        JournalContents contents;
        HANDLE file =
            ::CreateFileA(JournalPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        std::string bytes(::GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
        ::CloseHandle(file);
        EXPECT_EQ(
            DecodeJournal(reinterpret_cast<const std::uint8_t*>(bytes.data()), read, contents),
            JournalReadStatus::Read);
        return contents;
    }
    void WriteJournal(const std::vector<std::uint8_t>& bytes) {
        ::CreateDirectoryA(Rollback().c_str(), nullptr);
        WriteBytes(JournalPath(), std::string(bytes.begin(), bytes.end()));
    }

    // What the child changes: files, a tree, attributes and times, registry keys and values and
    // a shortcut, in every kind of record the engine writes.
    void LayOut() {
        MakeFile(Source("s.txt"), "new content", FILE_ATTRIBUTE_NORMAL);
        MakeFile(Work("old.txt"), "old content", FILE_ATTRIBUTE_READONLY);
        MakeFile(Work("gone.txt"), "doomed", FILE_ATTRIBUTE_HIDDEN);
        MakeFile(Work("rewritten.txt"), "before", FILE_ATTRIBUTE_ARCHIVE);
        MakeFile(Work("attr.txt"), "a", FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(::CreateDirectoryA(Work("tree").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("tree\\sub").c_str(), nullptr));
        MakeFile(Work("tree\\one.txt"), "1", FILE_ATTRIBUTE_READONLY);
        MakeFile(Work("tree\\sub\\two.bin"), std::string("\0\2", 2), FILE_ATTRIBUTE_NORMAL);
        ErrorList errors;
        ASSERT_TRUE(WriteRegistryString(Key(), "existing", "old", nullptr, errors));
        ASSERT_TRUE(WriteRegistryString(Key(), "doomed", "bye", nullptr, errors));
        ASSERT_TRUE(CreateRegistryKey(Key("Old\\Child"), nullptr, errors));
        ASSERT_TRUE(WriteRegistryDefaultString(Key("Old"), "default", nullptr, errors));
        const std::uint8_t number[4] = {1, 2, 3, 4};
        ASSERT_TRUE(WriteRegistryValue(Key("Old\\Child"), "n", RegistryNumberType, 4, number,
                                       nullptr, errors));
        ASSERT_TRUE(errors.Empty());
    }
    bool ChangeEverything(Transaction& transaction, ErrorList& errors) {
        FileTimes times;
        times.creation = times.lastAccess = times.lastWrite = Year2001 + 99;
        bool done =
            MakeDirectory(Work("new\\deep"), &transaction, errors) &&
            CopyFileTo(Source("s.txt"), Work("new\\deep\\copy.txt"), false, &transaction, errors) &&
            CopyFileTo(Source("s.txt"), Work("old.txt"), true, &transaction, errors) &&
            RemoveFile(Work("gone.txt"), &transaction, errors) &&
            RemoveDirectoryTree(Work("tree"), true, &transaction, errors) &&
            BackupFile(Work("rewritten.txt"), &transaction, errors);
        if (done) {
            WriteBytes(Work("rewritten.txt"), "after");
        }
        return done &&
               ChangeFileAttributes(Work("attr.txt"), FILE_ATTRIBUTE_HIDDEN, &transaction,
                                    errors) &&
               ChangeFileTimes(Work("attr.txt"), times, &transaction, errors) &&
               CreateRegistryKey(Key("A\\B"), &transaction, errors) &&
               WriteRegistryString(Key("A\\B"), "v", "new", &transaction, errors) &&
               WriteRegistryString(Key(), "existing", "overwritten", &transaction, errors) &&
               DeleteRegistryValue(Key(), "doomed", &transaction, errors) &&
               DeleteRegistryKey(Key("Old"), &transaction, errors) &&
               WriteRegistryDefaultString(Key("A"), "d", &transaction, errors) &&
               CreateShortcut(Work("links\\l.lnk"), Work("attr.txt"), "", &transaction, errors);
    }
    std::string State() { return Describe(WorkSnapshot()) + Describe(KeySnapshot()); }
    // Files written afresh differ in their times from one run to the next, and a shortcut holds
    // the times of the folders on its target's path.
    std::string StateWithoutTimes() {
        TreeSnapshot tree = WorkSnapshot();
        for (auto& entry : tree) {
            entry.second.times = FileTimes();
            if (entry.first.size() > 4 && entry.first.substr(entry.first.size() - 4) == ".lnk") {
                entry.second.content = "(link)";
            }
        }
        return Describe(tree) + Describe(KeySnapshot());
    }

    // Kills a child that runs `child` after each of its journal entries in turn; after each kill
    // a recovery must bring back the state from before, or, once the commit entry was written,
    // finish the commit and keep the state of after. Returns the number of kills.
    int SweepKills(const std::string& child, bool commits) {
        const std::string before = State();
        std::string committed;
        for (int k = 1; k < 400; ++k) {
            DWORD code = RunChild(child, "NEBCM_KILL_AFTER_RECORD", std::to_string(k));
            if (code != KilledByJournalExitCode) {
                EXPECT_EQ(code, 0u) << "child at " << k;
                if (commits) {
                    EXPECT_EQ(StateWithoutTimes(), committed) << "after a run to the end";
                } else {
                    EXPECT_EQ(State(), before) << "after a run to the end";
                }
                EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>());
                return k - 1;
            }
            ErrorList errors;
            RecoveryOutcome outcome = RecoverInterruptedProcedure(errors);
            EXPECT_TRUE(errors.Empty()) << k << ": " << errors.At(0);
            EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>()) << k;
            if (outcome == RecoveryOutcome::CommitCompleted) {
                // Killed after the commit entry: the changes stay.
                committed = StateWithoutTimes();
                EXPECT_EQ(State() != before, commits) << k;
                // The work of the run to the end is to be compared with this.
                EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::NothingToRecover);
                RestoreBefore();
                EXPECT_EQ(State(), before) << k;
                continue;
            }
            EXPECT_EQ(outcome, RecoveryOutcome::RolledBack) << k;
            EXPECT_EQ(State(), before) << "killed after entry " << k;
            if (HasFailure()) {
                return k;
            }
        }
        ADD_FAILURE() << "the child never ran to its end";
        return 0;
    }
    // After a committed run: the scratch places as LayOut made them.
    void RestoreBefore() {
        DeleteTreeRaw(work_);
        ::CreateDirectoryA(work_.c_str(), nullptr);
        DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_);
        HKEY key = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, keySub_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr);
        ::RegCloseKey(key);
        LayOut();
    }
};

TEST_F(JournalTest, RecordsPrecedeTheirChangesAndBackupsAreNamedInTheJournalsFolder) {
    MakeFile(Work("gone.txt"), "doomed", FILE_ATTRIBUTE_READONLY);
    {
        Transaction transaction;
        ErrorList errors;
        ASSERT_TRUE(transaction.StartJournal(errors));
        ASSERT_TRUE(RemoveFile(Work("gone.txt"), &transaction, errors));
        ASSERT_TRUE(MakeDirectory(Work("made"), &transaction, errors));
        JournalContents journal = ReadJournal();
        ASSERT_EQ(journal.records.size(), 3u);
        EXPECT_EQ(journal.records[0].kind, static_cast<std::uint8_t>(UndoKind::AttributesSet));
        const JournalRecord& deleted = journal.records[1];
        EXPECT_EQ(deleted.kind, static_cast<std::uint8_t>(UndoKind::FileDeleted));
        ASSERT_EQ(deleted.texts.size(), 2u);
        EXPECT_EQ(deleted.texts[0], Work("gone.txt"));
        EXPECT_EQ(deleted.texts[1], Rollback(BackupPrefix(journal.stamp) + "0\\1.bak"));
        EXPECT_EQ(ReadBytes(deleted.texts[1]), "doomed");
        EXPECT_NE(deleted.numbers[3] & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_TRUE(TempFiles().empty());
        // A second procedure cannot start beside this one.
        Transaction second;
        EXPECT_FALSE(second.StartJournal(errors));
        EXPECT_EQ(errors.At(errors.Count() - 1), Message(13014, JournalPath()));
        // Nor can a start-up take the journal of a procedure that is still running.
        ErrorList recovery;
        EXPECT_EQ(RecoverInterruptedProcedure(recovery), RecoveryOutcome::NothingToRecover);
        EXPECT_TRUE(IsDirectory(Work("made")));
    }
    // The commit leaves neither journal nor backup.
    EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>());
    EXPECT_FALSE(PathExists(Work("gone.txt")));
}

TEST_F(JournalTest, ARecordTheJournalCannotTakeStopsItsChange) {
    MakeFile(Work("kept.txt"), "kept", FILE_ATTRIBUTE_NORMAL);
    const std::string before = State();
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(transaction.StartJournal(errors));
    RefuseJournalWrites(true);
    EXPECT_FALSE(RemoveFile(Work("kept.txt"), &transaction, errors));
    EXPECT_FALSE(MakeDirectory(Work("never"), &transaction, errors));
    EXPECT_FALSE(WriteRegistryString(Key(), "never", "x", &transaction, errors));
    RefuseJournalWrites(false);
    ASSERT_EQ(errors.Count(), 3u);
    for (std::size_t i = 0; i < errors.Count(); ++i) {
        EXPECT_EQ(errors.At(i), Message(13014, JournalPath()));
    }
    EXPECT_EQ(transaction.Count(), 0);
    EXPECT_EQ(State(), before);
    // The journal folder holds the journal only: the backup made for the refused deletion is gone.
    EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>{"Changes.jnl"});
}

TEST_F(JournalTest, RollbackInProcessLeavesNoJournalAndARecoveryNothingToDo) {
    LayOut();
    const std::string before = State();
    {
        Transaction transaction;
        ErrorList errors;
        ASSERT_TRUE(transaction.StartJournal(errors));
        ASSERT_TRUE(ChangeEverything(transaction, errors)) << errors.At(0);
        EXPECT_TRUE(transaction.Rollback(errors)) << errors.At(0);
        EXPECT_EQ(ReadJournal().records.size(), 0u);
    }
    EXPECT_EQ(State(), before);
    EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>());
    ErrorList errors;
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::NothingToRecover);
}

TEST_F(JournalTest, ATransactionLeftByAnExceptionIsUndoneInsteadOfCommitted) {
    LayOut();
    const std::string before = State();
    try {
        Transaction transaction;
        ErrorList errors;
        ASSERT_TRUE(transaction.StartJournal(errors));
        ASSERT_TRUE(ChangeEverything(transaction, errors)) << errors.At(0);
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    EXPECT_EQ(State(), before);
    EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>());
}

TEST_F(JournalTest, JournalsThatCannotBeTrustedAreReportedAndLeftAlone) {
    ErrorList errors;
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::NothingToRecover);

    WriteJournal(
        {'n', 'o', 't', ' ', 'a', ' ', 'j', 'o', 'u', 'r', 'n', 'a', 'l', '!', '!', '!', '!', '!'});
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::LeftAlone);
    EXPECT_EQ(AllMessages(errors), "[" + Message(13012, JournalPath()) + "] ");
    EXPECT_TRUE(PathExists(JournalPath()));

    std::vector<std::uint8_t> newer = EncodeJournalHeader(7);
    newer[4] = JournalFormatVersion + 1;
    std::uint32_t crc = Crc32(newer.data(), 14);
    for (int i = 0; i < 4; ++i) {
        newer[14 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    WriteJournal(newer);
    errors = ErrorList();
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::LeftAlone);
    EXPECT_EQ(AllMessages(errors), "[" + Message(13013, JournalPath()) + "] ");

    // A deleted file whose backup lies outside the journal's folder: nothing is undone, nothing
    // deleted.
    MakeFile(Work("elsewhere.bak"), "not a backup", FILE_ATTRIBUTE_NORMAL);
    JournalRecord made;
    made.kind = static_cast<std::uint8_t>(UndoKind::DirectoryMade);
    made.texts = {Work("made")};
    JournalRecord foreign;
    foreign.kind = static_cast<std::uint8_t>(UndoKind::FileDeleted);
    foreign.texts = {Work("x.txt"), Work("elsewhere.bak")};
    foreign.numbers = {0, 0, 0, 0};
    std::vector<std::uint8_t> bytes = EncodeJournalHeader(7);
    for (const JournalRecord& record : {made, foreign}) {
        std::vector<std::uint8_t> entry = EncodeJournalRecord(record);
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    ASSERT_TRUE(::CreateDirectoryA(Work("made").c_str(), nullptr));
    WriteJournal(bytes);
    errors = ErrorList();
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::LeftAlone);
    EXPECT_EQ(AllMessages(errors), "[" + Message(13012, JournalPath()) + "] ");
    EXPECT_TRUE(IsDirectory(Work("made")));
    EXPECT_EQ(ReadBytes(Work("elsewhere.bak")), "not a backup");

    // Nor one that starts like a backup of the journal and climbs out of its folder.
    foreign.texts[1] = Rollback(BackupPrefix(7) + "0\\..\\..\\work\\elsewhere.bak");
    bytes = EncodeJournalHeader(7);
    std::vector<std::uint8_t> entry = EncodeJournalRecord(foreign);
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    WriteJournal(bytes);
    errors = ErrorList();
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::LeftAlone);
    EXPECT_EQ(ReadBytes(Work("elsewhere.bak")), "not a backup");
}

TEST_F(JournalTest, ATornLastRecordIsIgnoredAndAFailedUndoIsReported) {
    // A created file, then a record cut off in the middle: the file goes, the torn one is
    // ignored. A made directory that someone filled cannot be removed: reported.
    MakeFile(Work("made.txt"), "made", FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(::CreateDirectoryA(Work("filled").c_str(), nullptr));
    MakeFile(Work("filled\\theirs.txt"), "theirs", FILE_ATTRIBUTE_NORMAL);
    JournalRecord directory;
    directory.kind = static_cast<std::uint8_t>(UndoKind::DirectoryMade);
    directory.texts = {Work("filled")};
    JournalRecord file;
    file.kind = static_cast<std::uint8_t>(UndoKind::FileMade);
    file.texts = {Work("made.txt")};
    std::vector<std::uint8_t> bytes = EncodeJournalHeader(9);
    for (const JournalRecord& record : {directory, file, file}) {
        std::vector<std::uint8_t> entry = EncodeJournalRecord(record);
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    bytes.resize(bytes.size() - 3);
    WriteJournal(bytes);
    ErrorList errors;
    EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::RolledBackWithErrors);
    EXPECT_EQ(AllMessages(errors), "[" + Message(10000, Work("filled")) + "] ");
    EXPECT_FALSE(PathExists(Work("made.txt")));
    EXPECT_EQ(ReadBytes(Work("filled\\theirs.txt")), "theirs");
    EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>());
}

TEST_F(JournalTest, AKillAfterAnyEntryOfACommittedTransactionIsRecovered) {
    LayOut();
    int kills = SweepKills("JournalTest.DISABLED_ChildCommits", true);
    EXPECT_GT(kills, 25);
    RecordProperty("kills", kills);
}

TEST_F(JournalTest, AKillDuringTheRollbackIsRecovered) {
    LayOut();
    int kills = SweepKills("JournalTest.DISABLED_ChildRollsBack", false);
    EXPECT_GT(kills, 25);
}

// Backups fill one folder after another; a kill in any of them is undone and leaves none behind.
TEST_F(JournalTest, AKillAmongManyBackupsIsRecoveredFromEveryBackupFolder) {
    for (int i = 0; i < 250; ++i) {
        MakeFile(Work("f" + std::to_string(i) + ".txt"), "content " + std::to_string(i),
                 i % 3 == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    }
    const std::string before = State();
    // Each removal writes two entries: the attributes, then the deletion.
    for (int k : {3, 201, 202, 203, 499}) {
        ASSERT_EQ(RunChild("JournalTest.DISABLED_ChildRemovesMany", "NEBCM_KILL_AFTER_RECORD",
                           std::to_string(k)),
                  KilledByJournalExitCode);
        EXPECT_FALSE(ListNames(Rollback()).size() < 2) << "journal and backup folders at " << k;
        ErrorList errors;
        EXPECT_EQ(RecoverInterruptedProcedure(errors), RecoveryOutcome::RolledBack) << k;
        EXPECT_TRUE(errors.Empty()) << k;
        EXPECT_EQ(State(), before) << "killed after entry " << k;
        EXPECT_EQ(ListNames(Rollback()), std::vector<std::string>()) << k;
    }
}

// Run only as the children of the sweeps above.
TEST_F(JournalTest, DISABLED_ChildCommits) {
    ASSERT_TRUE(IsChild());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(transaction.StartJournal(errors));
    ASSERT_TRUE(ChangeEverything(transaction, errors)) << errors.At(0);
}

TEST_F(JournalTest, DISABLED_ChildRollsBack) {
    ASSERT_TRUE(IsChild());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(transaction.StartJournal(errors));
    ASSERT_TRUE(ChangeEverything(transaction, errors)) << errors.At(0);
    ASSERT_TRUE(transaction.Rollback(errors)) << errors.At(0);
}

TEST_F(JournalTest, DISABLED_ChildRemovesMany) {
    ASSERT_TRUE(IsChild());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(transaction.StartJournal(errors));
    for (int i = 0; i < 250; ++i) {
        ASSERT_TRUE(RemoveFile(Work("f" + std::to_string(i) + ".txt"), &transaction, errors));
    }
}

} // namespace
} // namespace nebcm::test
