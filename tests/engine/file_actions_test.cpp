// File and directory actions on real files under Wine: their records, their failures, and rollbacks
// that must bring back every byte, attribute and time.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/journal.h"
#include "engine_fixture.h"

namespace nebcm::test {
namespace {

const std::uint64_t Year2001 = 126227808000000000ull; // 2001-01-01 as a file time

// Refuses every call of the kinds in `always`, the first call of `trigger`, and after that every
// call of the kinds in `after` (a file that a deletion found in use cannot be opened either).
class RefuseCalls : public SystemCallFilter {
public:
    RefuseCalls(std::set<SystemCall> always, SystemCall trigger = SystemCall::GetAttributes,
                std::set<SystemCall> after = {})
        : always_(std::move(always)), trigger_(trigger), after_(std::move(after)) {}
    bool Fail(SystemCall call) override {
        if (always_.count(call) != 0) {
            return true;
        }
        if (!triggered_ && call == trigger_ && !after_.empty()) {
            triggered_ = true;
            return true;
        }
        return triggered_ && after_.count(call) != 0;
    }

private:
    std::set<SystemCall> always_;
    SystemCall trigger_;
    std::set<SystemCall> after_;
    bool triggered_ = false;
};

// Runs a program of the machine beneath Wine (a path such as "/bin/ln") and waits for it; false
// where there is no such machine.
bool RunHostProgram(const std::string& program, const std::string& arguments) {
    std::string commandLine = program + " " + arguments;
    std::string image = "Z:" + program;
    for (char& c : image) {
        c = c == '/' ? '\\' : c;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessA(image.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started)) {
        return false;
    }
    ::WaitForSingleObject(started.hProcess, 10000);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

// The host's name of a path under Wine; empty elsewhere.
std::string HostPath(const std::string& path) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")));
    if (unixName == nullptr) {
        return std::string();
    }
    std::wstring wide(path.begin(), path.end());
    char* name = unixName(wide.c_str());
    if (name == nullptr) {
        return std::string();
    }
    std::string host = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return host;
}

class FileActionsTest : public EngineTest {
protected:
    // A file with the given attributes and times far in the past.
    void MakeFile(const std::string& path, const std::string& content, DWORD attributes,
                  std::uint64_t time = Year2001) {
        WriteBytes(path, content);
        SetOldTimes(path, time);
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attributes));
    }

    // work\tree with read-only, hidden and binary files, nested and empty directories.
    void MakeTree() {
        ASSERT_TRUE(::CreateDirectoryA(Work("tree").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("tree\\sub").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("tree\\sub\\empty").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Work("tree\\sub\\deeper").c_str(), nullptr));
        MakeFile(Work("tree\\readonly.txt"), "read only\r\n", FILE_ATTRIBUTE_READONLY);
        MakeFile(Work("tree\\hidden.txt"), "hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
                 Year2001 + 7);
        MakeFile(Work("tree\\sub\\data.bin"), std::string("\0\1\2\xff\0", 5),
                 FILE_ATTRIBUTE_ARCHIVE);
        MakeFile(Work("tree\\sub\\deeper\\last.txt"), "", FILE_ATTRIBUTE_NORMAL);
    }
};

TEST_F(FileActionsTest, MakeDirectoryCreatesMissingLevelsTopDownAndRollsBackInnermostFirst) {
    ASSERT_TRUE(::CreateDirectoryA(Work("a").c_str(), nullptr));
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(MakeDirectory(Work("a\\b\\c\\"), &transaction, errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(transaction.Count(), 2);
    EXPECT_TRUE(IsDirectory(Work("a\\b\\c")));

    // Something left in a\b blocks its removal; c still goes first, and the rollback reports b.
    WriteBytes(Work("a\\b\\stray.txt"), "x");
    ErrorList rollback;
    EXPECT_FALSE(transaction.Rollback(rollback));
    EXPECT_FALSE(PathExists(Work("a\\b\\c")));
    ASSERT_EQ(rollback.Count(), 1u);
    EXPECT_EQ(rollback.At(0), Message(10000, Work("a\\b")));
}

TEST_F(FileActionsTest, DirectoryCreationFailures) {
    WriteBytes(Work("file"), "x");
    Transaction transaction;
    ErrorList errors;
    // A file where a directory is wanted: refused without a message, at any depth.
    EXPECT_FALSE(EnsureDirectory(Work("file"), &transaction, errors));
    EXPECT_FALSE(MakeDirectory(Work("file\\below"), &transaction, errors));
    EXPECT_TRUE(errors.Empty());
    // An existing directory is fine to ensure, but not to make.
    EXPECT_TRUE(EnsureDirectory(Work(), &transaction, errors));
    EXPECT_FALSE(MakeDirectory(Work(), &transaction, errors));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), Message(10001, Work()));
    // A drive that does not exist fails at its first level.
    std::string drive = std::string(1, MissingDrive()) + ":";
    EXPECT_FALSE(MakeDirectory(drive + "\\x\\y", &transaction, errors));
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.At(1), Message(10001, drive + "\\x"));
    EXPECT_EQ(transaction.Count(), 0);
}

TEST_F(FileActionsTest, RemoveFileKeepsABackupUntilCommitAndRollbackRestoresEverything) {
    std::string file = Work("old.txt");
    MakeFile(file, "old content", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const std::string before = Describe(WorkSnapshot());

    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(RemoveFile(file, &transaction, errors));
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ(transaction.Count(), 2);
    std::vector<std::string> backups = TempFiles();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].substr(0, 3), "neb");
    EXPECT_EQ(ReadBytes(temp_ + "\\" + backups[0]), "old content");

    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(TempFiles().empty());

    // Without a transaction nothing is kept.
    ASSERT_TRUE(RemoveFile(file, nullptr, errors));
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(errors.Empty());
}

TEST_F(FileActionsTest, RemoveFileFailuresLeaveTheFileAsItWas) {
    std::string file = Work("kept.txt");
    MakeFile(file, "kept", FILE_ATTRIBUTE_READONLY);
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;

    EXPECT_FALSE(RemoveFile(Work("missing.txt"), &transaction, errors));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), Message(10014, Work("missing.txt")));

    // In use by someone else: its times cannot be read, and nothing is touched.
    HANDLE held = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RemoveFile(file, &transaction, errors));
    ::CloseHandle(held);
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.At(1), Message(10012, file));
    EXPECT_EQ(transaction.Count(), 0);
    EXPECT_EQ(Describe(WorkSnapshot()), before);

    // No temporary directory to back up into: the attributes go back at once.
    ::SetEnvironmentVariableA("TMP", Work("no such dir").c_str());
    ::SetEnvironmentVariableA("TEMP", Work("no such dir").c_str());
    EXPECT_FALSE(RemoveFile(file, &transaction, errors));
    ASSERT_EQ(errors.Count(), 3u);
    EXPECT_EQ(errors.At(2), Message(10002, file));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_FALSE(BackupFile(file, &transaction, errors));
    ASSERT_EQ(errors.Count(), 4u);
    EXPECT_EQ(errors.At(3), Message(10021, file));
    ::SetEnvironmentVariableA("TMP", temp_.c_str());
    ::SetEnvironmentVariableA("TEMP", temp_.c_str());

    // A running program: the deletion is refused and the file cannot be opened to put its times
    // back either; its attributes still come back.
    MakeFile(Work("running.exe"), "MZ",
             FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    {
        RefuseCalls running({}, SystemCall::DeleteFile, {SystemCall::OpenFile});
        ScopedFilter filter(&running);
        Transaction local;
        ErrorList refused;
        EXPECT_FALSE(RemoveFile(Work("running.exe"), &local, refused));
        ASSERT_EQ(refused.Count(), 1u);
        EXPECT_EQ(refused.At(0), Message(10002, Work("running.exe")));
    }
    EXPECT_EQ(::GetFileAttributesA(Work("running.exe").c_str()), 0x23u);
    EXPECT_EQ(ReadBytes(Work("running.exe")), "MZ");
    ::SetFileAttributesA(Work("running.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(Work("running.exe").c_str());

    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(FileActionsTest, RemoveFileRollsBackAfterAFailureAtEachStep) {
    MakeFile(Work("victim.txt"), "victim", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& errors) {
        return RemoveFile(Work("victim.txt"), &t, errors);
    });
    EXPECT_GE(steps, 8);
}

TEST_F(FileActionsTest, CopyOverAReadOnlyFileRollsBackToTheOldFile) {
    MakeFile(Source("new.txt"), "new content", FILE_ATTRIBUTE_ARCHIVE, Year2001 + 99);
    MakeFile(Work("target.txt"), "old", FILE_ATTRIBUTE_READONLY);
    const std::string before = Describe(WorkSnapshot());

    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(CopyFileTo(Source("new.txt"), Work("target.txt"), true, &transaction, errors));
    EXPECT_EQ(ReadBytes(Work("target.txt")), "new content");
    EXPECT_EQ(TimesOf(Work("target.txt")).lastWrite, TimesOf(Source("new.txt")).lastWrite);
    EXPECT_EQ(transaction.Count(), 3);
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(TempFiles().empty());

    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& e) {
        return CopyFileTo(Source("new.txt"), Work("target.txt"), true, &t, e);
    });
    EXPECT_GE(steps, 9);
}

TEST_F(FileActionsTest, CopyRefusals) {
    MakeFile(Source("s.txt"), "s", FILE_ATTRIBUTE_NORMAL);
    MakeFile(Work("exists.txt"), "e", FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(::CreateDirectoryA(Work("dir").c_str(), nullptr));
    MakeFile(Work("averylongfilename.txt"), "the only copy", FILE_ATTRIBUTE_ARCHIVE);
    char shortName[MAX_PATH] = {};
    ASSERT_NE(::GetShortPathNameA(Work("averylongfilename.txt").c_str(), shortName, MAX_PATH), 0u);
    ASSERT_STRNE(shortName, Work("averylongfilename.txt").c_str());
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;
    struct Case {
        std::string source, destination;
        bool overwrite;
    } cases[] = {
        {Source("s.txt"), Work("dir"), true},         // a directory is never replaced
        {Source("s.txt"), Work("dir"), false},        //
        {Source("s.txt"), Work("exists.txt"), false}, // a file only when asked to
        {Source("missing.txt"), Work("new.txt"), true},
        {Source("s.txt"), Work("no dir\\new.txt"), true},
        {Work("exists.txt"), Work("EXISTS.TXT"), true},   // onto itself: nothing may be lost
        {Work("averylongfilename.txt"), shortName, true}, // also under its short name
        {shortName, Work("averylongfilename.txt"), true},
    };
    for (const Case& c : cases) {
        ErrorList one;
        EXPECT_FALSE(CopyFileTo(c.source, c.destination, c.overwrite, &transaction, one));
        ASSERT_EQ(one.Count(), 1u) << c.destination;
        EXPECT_EQ(one.At(0), Message(10016, c.source, c.destination));
    }
    EXPECT_EQ(transaction.Count(), 0);
    EXPECT_EQ(Describe(WorkSnapshot()), before);
}

TEST_F(FileActionsTest, RollbackDeletesACopyThatCameWithTheReadOnlyAttribute) {
    MakeFile(Source("ro.txt"), "ro", FILE_ATTRIBUTE_READONLY);
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(CopyFileTo(Source("ro.txt"), Work("ro.txt"), false, &transaction, errors));
    EXPECT_NE(::GetFileAttributesA(Work("ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback)) << (rollback.Empty() ? "" : rollback.At(0));
    EXPECT_FALSE(PathExists(Work("ro.txt")));
}

TEST_F(FileActionsTest, CreateOutputFileInAMissingDirectory) {
    const std::string before = Describe(WorkSnapshot());
    {
        Transaction transaction;
        ErrorList errors;
        std::unique_ptr<FileOutputStream> out =
            CreateOutputFile(Work("x\\y\\out.bin"), &transaction, errors);
        ASSERT_TRUE(out);
        out->Write(reinterpret_cast<const std::uint8_t*>("abc"), 3);
        out->Close();
        EXPECT_EQ(ReadBytes(Work("x\\y\\out.bin")), "abc");
        EXPECT_EQ(transaction.Count(), 3);
        ErrorList rollback;
        EXPECT_TRUE(transaction.Rollback(rollback));
        EXPECT_EQ(Describe(WorkSnapshot()), before);
    }
    {
        // The directories can be made but the name is not a file name: no stream, no message,
        // and the made directories are still recorded for the rollback.
        Transaction transaction;
        ErrorList errors;
        EXPECT_FALSE(CreateOutputFile(Work("x\\y\\bad?name"), &transaction, errors));
        EXPECT_TRUE(errors.Empty());
        EXPECT_TRUE(IsDirectory(Work("x\\y")));
        ErrorList rollback;
        EXPECT_TRUE(transaction.Rollback(rollback));
        EXPECT_EQ(Describe(WorkSnapshot()), before);
    }
    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& errors) {
        std::unique_ptr<TextFileWriter> out =
            CreateTextOutputFile(Work("x\\y\\z\\t.txt"), &t, errors);
        if (!out) {
            return false;
        }
        out->Print("line %d\n", 1);
        out->Close();
        return ReadBytes(Work("x\\y\\z\\t.txt")) == "line 1\r\n";
    });
    EXPECT_EQ(steps, 3);
}

TEST_F(FileActionsTest, CreateOutputFileReplacesAnExistingFileRecoverably) {
    MakeFile(Work("db.txt"), "old database", FILE_ATTRIBUTE_READONLY);
    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& errors) {
        std::unique_ptr<TextFileWriter> out = CreateTextOutputFile(Work("db.txt"), &t, errors);
        if (!out) {
            return false;
        }
        out->Print("new database\n");
        out->Close();
        return true;
    });
    EXPECT_GE(steps, 8);

    // A directory in the way cannot be replaced.
    ASSERT_TRUE(::CreateDirectoryA(Work("blocked").c_str(), nullptr));
    ErrorList errors;
    EXPECT_FALSE(CreateOutputFile(Work("blocked"), nullptr, errors));
    ASSERT_EQ(errors.Count(), 1u);
}

TEST_F(FileActionsTest, RemoveDirectoryTreeRollsBackAfterAFailureAtEachStep) {
    MakeTree();
    int steps = ExpectRollbackAfterEachFailure([&](Transaction& t, ErrorList& errors) {
        return RemoveDirectoryTree(Work("tree"), true, &t, errors) && !PathExists(Work("tree"));
    });
    EXPECT_GE(steps, 40);
}

TEST_F(FileActionsTest, RemoveDirectoryTreeStopsAtAFileInUseAndRollsBack) {
    MakeTree();
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;
    // Not recursive: a directory with contents stays.
    EXPECT_FALSE(RemoveDirectoryTree(Work("tree\\sub"), false, &transaction, errors));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), Message(10000, Work("tree\\sub")));

    HANDLE held = ::CreateFileA(Work("tree\\sub\\data.bin").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RemoveDirectoryTree(Work("tree"), true, &transaction, errors));
    ::CloseHandle(held);
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.At(1), Message(10012, Work("tree\\sub\\data.bin")));
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(FileActionsTest, DeleteTreeVisitorDeletesInsideTheTransactionAndKeepsItsMessages) {
    MakeTree();
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    DeleteTreeVisitor visitor(&transaction);
    ASSERT_TRUE(WalkDirectory(Work("tree"), visitor, WalkOrder::DirectoriesLast));
    EXPECT_FALSE(PathExists(Work("tree")));
    ErrorList errors;
    EXPECT_FALSE(visitor.TakeErrors(errors));
    EXPECT_TRUE(errors.Empty());
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);

    HANDLE held = ::CreateFileA(Work("tree\\hidden.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WalkDirectory(Work("tree"), visitor, WalkOrder::DirectoriesLast));
    ::CloseHandle(held);
    EXPECT_TRUE(visitor.TakeErrors(errors));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), Message(10012, Work("tree\\hidden.txt")));
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    // A new walk starts with an empty list.
    ASSERT_TRUE(WalkDirectory(Work("tree\\sub\\empty"), visitor, WalkOrder::DirectoriesLast));
    EXPECT_FALSE(visitor.TakeErrors(errors));
}

// Deleting reaches a folder named outside the code page through its short name; a folder that no
// name reaches stops both ways of deleting a tree with a message that names it, and the rollback
// brings back what went before.
TEST_F(FileActionsTest, TreeRemovalGoesInByShortNamesAndNamesWhatItCannotReach) {
    ASSERT_TRUE(::CreateDirectoryA(Work("tree").c_str(), nullptr));
    const std::string greek = MakeFolderBeyondTheCodePage(Work("tree"));
    MakeFile(greek + "\\inside.txt", "inside", FILE_ATTRIBUTE_READONLY);
    {
        Transaction transaction;
        DeleteTreeVisitor visitor(&transaction);
        ASSERT_TRUE(WalkDirectory(Work("tree"), visitor, WalkOrder::DirectoriesLast));
        EXPECT_FALSE(PathExists(Work("tree")));
        ErrorList errors;
        EXPECT_FALSE(visitor.TakeErrors(errors));
        ErrorList rollback;
        EXPECT_TRUE(transaction.Rollback(rollback));
        EXPECT_EQ(ReadBytes(greek + "\\inside.txt"), "inside");
    }
    ErrorList plain;
    ASSERT_TRUE(RemoveDirectoryTree(Work("tree"), true, nullptr, plain));
    EXPECT_FALSE(PathExists(Work("tree")));

    ASSERT_TRUE(::CreateDirectoryA(Work("tree").c_str(), nullptr));
    MakeFile(Work("tree\\first.txt"), "first", FILE_ATTRIBUTE_NORMAL);
    const std::string deepest = MakeDeepFolders(Work("tree\\deep"), 270);
    WriteBytesWide(deepest + "\\lost.txt", "lost");
    const std::string lost = FirstOutOfReach(deepest);
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    DeleteTreeVisitor visitor(&transaction);
    EXPECT_FALSE(WalkDirectory(Work("tree"), visitor, WalkOrder::DirectoriesLast));
    ErrorList errors;
    EXPECT_TRUE(visitor.TakeErrors(errors));
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(13070, lost)});
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);

    errors = ErrorList();
    Transaction again;
    EXPECT_FALSE(RemoveDirectoryTree(Work("tree"), true, &again, errors));
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(13070, lost)});
    EXPECT_TRUE(again.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(ExistsWide(deepest + "\\lost.txt"));
}

TEST_F(FileActionsTest, RemoveFileAndEmptyParentsClimbsWhileDirectoriesAreEmpty) {
    ASSERT_TRUE(::CreateDirectoryA(Work("a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Work("a\\b").c_str(), nullptr));
    MakeFile(Work("a\\b\\only.txt"), "only", FILE_ATTRIBUTE_NORMAL);
    MakeFile(Work("stays.txt"), "keeps work from being empty", FILE_ATTRIBUTE_NORMAL);
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(RemoveFileAndEmptyParents(Work("a\\b\\only.txt"), &transaction, errors));
    EXPECT_FALSE(PathExists(Work("a")));
    EXPECT_TRUE(IsDirectory(Work()));
    EXPECT_EQ(transaction.Count(), 4);
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);

    EXPECT_FALSE(RemoveFileAndEmptyParents(Work("a\\missing.txt"), &transaction, errors));
    EXPECT_TRUE(IsDirectory(Work("a\\b")));
}

TEST_F(FileActionsTest, BackupFileRestoresTheOldContentOverARewrite) {
    MakeFile(Work("link.dat"), "original", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(BackupFile(Work("link.dat"), &transaction, errors));
    EXPECT_EQ(::GetFileAttributesA(Work("link.dat").c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              0u);
    WriteBytes(Work("link.dat"), "rewritten and longer");
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(FileActionsTest, CommitKeepsTheChangesAndDeletesEveryBackup) {
    MakeFile(Work("removed.txt"), "r", FILE_ATTRIBUTE_READONLY);
    MakeFile(Work("replaced.txt"), "old", FILE_ATTRIBUTE_NORMAL);
    MakeFile(Work("backed.txt"), "b", FILE_ATTRIBUTE_NORMAL);
    MakeFile(Source("new.txt"), "new", FILE_ATTRIBUTE_NORMAL);
    {
        Transaction transaction;
        ErrorList errors;
        ASSERT_TRUE(RemoveFile(Work("removed.txt"), &transaction, errors));
        ASSERT_TRUE(
            CopyFileTo(Source("new.txt"), Work("replaced.txt"), true, &transaction, errors));
        ASSERT_TRUE(BackupFile(Work("backed.txt"), &transaction, errors));
        ASSERT_TRUE(MakeDirectory(Work("made"), &transaction, errors));
        EXPECT_EQ(TempFiles().size(), 3u);
    }
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_FALSE(PathExists(Work("removed.txt")));
    EXPECT_EQ(ReadBytes(Work("replaced.txt")), "new");
    EXPECT_TRUE(IsDirectory(Work("made")));
}

TEST_F(FileActionsTest, AttributesAndTimesAreRecordedAndUndone) {
    MakeFile(Work("f.txt"), "f", FILE_ATTRIBUTE_HIDDEN);
    const std::string before = Describe(WorkSnapshot());
    Transaction transaction;
    ErrorList errors;
    std::uint32_t attributes = 0;
    ASSERT_TRUE(ReadFileAttributes(Work("f.txt"), attributes, errors));
    EXPECT_EQ(attributes, ::GetFileAttributesA(Work("f.txt").c_str()));
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    ASSERT_TRUE(ChangeFileAttributes(Work("f.txt"), FILE_ATTRIBUTE_READONLY, &transaction, errors));
    FileTimes times;
    times.creation = times.lastAccess = times.lastWrite = Year2001 + 123456789;
    ASSERT_TRUE(ChangeFileTimes(Work("f.txt"), times, &transaction, errors));
    FileTimes read;
    ASSERT_TRUE(ReadFileTimes(Work("f.txt"), read, errors));
    EXPECT_EQ(read.lastWrite, times.lastWrite);
    EXPECT_EQ(read.lastAccess, times.lastAccess);
    EXPECT_EQ(transaction.Count(), 2);

    // Held open elsewhere, the times can neither be read nor set.
    HANDLE held = ::CreateFileA(Work("f.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ChangeFileTimes(Work("f.txt"), times, &transaction, errors));
    EXPECT_FALSE(ReadFileTimes(Work("f.txt"), read, errors));
    ::CloseHandle(held);
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.At(0), Message(10013, Work("f.txt")));
    EXPECT_EQ(errors.At(1), Message(10012, Work("f.txt")));
    EXPECT_FALSE(ChangeFileAttributes(Work("gone.txt"), 0, &transaction, errors));
    EXPECT_EQ(errors.At(2), Message(10015, Work("gone.txt")));

    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
}

TEST_F(FileActionsTest, FailedUndosAreReportedAndTheRollbackGoesOn) {
    MakeFile(Source("s.txt"), "s", FILE_ATTRIBUTE_NORMAL);
    MakeFile(Work("deleted.txt"), "precious", FILE_ATTRIBUTE_READONLY);
    Transaction transaction;
    ErrorList errors;
    ASSERT_TRUE(MakeDirectory(Work("made"), &transaction, errors));
    ASSERT_TRUE(RemoveFile(Work("deleted.txt"), &transaction, errors));
    ASSERT_TRUE(CopyFileTo(Source("s.txt"), Work("made\\copy.txt"), false, &transaction, errors));

    // Someone holds the copy open and put a new file where the deleted one was.
    HANDLE held = ::CreateFileA(Work("made\\copy.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    WriteBytes(Work("deleted.txt"), "intruder");
    std::vector<std::string> backups = TempFiles();
    ASSERT_EQ(backups.size(), 1u);
    std::string backup = temp_ + "\\" + backups[0];

    ErrorList rollback;
    EXPECT_FALSE(transaction.Rollback(rollback));
    ::CloseHandle(held);
    EXPECT_EQ(transaction.Count(), 0);
    ASSERT_EQ(rollback.Count(), 3u);
    EXPECT_EQ(rollback.At(0), Message(10002, Work("made\\copy.txt")));
    EXPECT_EQ(rollback.At(1), Message(10003, Work("deleted.txt"), backup));
    EXPECT_EQ(rollback.At(2), Message(10000, Work("made")));
    // The attributes record still ran, and the file the message points to is still there.
    EXPECT_EQ(ReadBytes(Work("deleted.txt")), "intruder");
    EXPECT_EQ(ReadBytes(backup), "precious");
}

TEST_F(FileActionsTest, ABackupThatAFailedRestoreNamesIsKept) {
    MakeFile(Work("replaced.dat"), "original", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const DWORD attributes = ::GetFileAttributesA(Work("replaced.dat").c_str());
    std::string backup;
    {
        Transaction transaction;
        ErrorList errors;
        ASSERT_TRUE(BackupFile(Work("replaced.dat"), &transaction, errors));
        std::vector<std::string> backups = TempFiles();
        ASSERT_EQ(backups.size(), 1u);
        backup = temp_ + "\\" + backups[0];
        WriteBytes(Work("replaced.dat"), "rewritten");

        // The content goes back, but the file cannot be opened for its times.
        RefuseCalls closed({SystemCall::OpenFile});
        ScopedFilter filter(&closed);
        ErrorList rollback;
        EXPECT_FALSE(transaction.Rollback(rollback));
        ASSERT_EQ(rollback.Count(), 1u);
        EXPECT_EQ(rollback.At(0), Message(10003, Work("replaced.dat"), backup));
    }
    EXPECT_EQ(ReadBytes(Work("replaced.dat")), "original");
    EXPECT_EQ(::GetFileAttributesA(Work("replaced.dat").c_str()), attributes);
    EXPECT_EQ(ReadBytes(backup), "original");
}

TEST_F(FileActionsTest, RemovingATreeRemovesALinkInItButNeverWhatItPointsTo) {
    // Wine shows a link of the host's file system as a junction; Windows links cannot be made
    // there, so the link is made by the host's own program.
    ASSERT_TRUE(::CreateDirectoryA(Work("tree").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Work("elsewhere").c_str(), nullptr));
    MakeFile(Work("tree\\own.txt"), "own", FILE_ATTRIBUTE_NORMAL);
    MakeFile(Work("elsewhere\\precious.txt"), "precious", FILE_ATTRIBUTE_NORMAL);
    std::string target = HostPath(Work("elsewhere"));
    std::string link = HostPath(Work("tree")) + "/link";
    if (target.empty() || !RunHostProgram("/bin/ln", "-s \"" + target + "\" \"" + link + "\"")) {
        GTEST_SKIP() << "no link can be made here: " << target;
    }
    DWORD attributes = ::GetFileAttributesA(Work("tree\\link").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        RunHostProgram("/bin/rm", "-f \"" + link + "\"");
        GTEST_SKIP() << "the link is not shown as a junction: " << link << " " << attributes;
    }

    Transaction transaction;
    ErrorList errors;
    bool removed = RemoveDirectoryTree(Work("tree"), true, &transaction, errors);
    EXPECT_EQ(ReadBytes(Work("elsewhere\\precious.txt")), "precious");
    ErrorList rollback;
    if (removed) {
        // The link went: its undo cannot bring it back and says so instead of making a directory.
        EXPECT_FALSE(transaction.Rollback(rollback));
        ASSERT_EQ(rollback.Count(), 1u);
        EXPECT_EQ(rollback.At(0), Message(10001, Work("tree\\link")));
        EXPECT_FALSE(PathExists(Work("tree\\link")));
    } else {
        // Wine removes a link only as the directory it points to, which is not empty.
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.At(0), Message(10000, Work("tree\\link")));
        EXPECT_TRUE(transaction.Rollback(rollback));
    }
    EXPECT_EQ(ReadBytes(Work("elsewhere\\precious.txt")), "precious");
    EXPECT_EQ(ReadBytes(Work("tree\\own.txt")), "own");
    RunHostProgram("/bin/rm", "-f \"" + link + "\"");
}

TEST_F(FileActionsTest, TheUndoOfARemovedLinkReportsItAndMakesNoDirectory) {
    JournalRecord record;
    ASSERT_TRUE(UndoDeleteLink(Work("link")).Describe(record));
    EXPECT_EQ(record.kind, static_cast<std::uint8_t>(UndoKind::LinkRemoved));
    // As undone in this process and as recovered from a journal.
    std::unique_ptr<UndoAction> recovered = UndoActionFromRecord(record);
    ASSERT_TRUE(recovered);
    UndoDeleteLink direct(Work("link"));
    for (UndoAction* undo : {static_cast<UndoAction*>(&direct), recovered.get()}) {
        ErrorList errors;
        EXPECT_FALSE(undo->Undo(errors));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.At(0), Message(10001, Work("link")));
        EXPECT_FALSE(PathExists(Work("link")));
    }
    // A link that is still there (the process ended before removing it) needs nothing.
    ASSERT_TRUE(::CreateDirectoryA(Work("link").c_str(), nullptr));
    ErrorList errors;
    EXPECT_TRUE(recovered->Undo(errors));
    EXPECT_TRUE(errors.Empty());
}

} // namespace
} // namespace nebcm::test
