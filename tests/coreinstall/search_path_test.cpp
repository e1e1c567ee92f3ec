// The installation directory on the search path: the NT family's environment value and the
// Windows 95 family's batch file, added and removed, and put back after failures.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/search_path.h"

namespace nebcm::test {
namespace {

const char Directory[] = "C:\\Program Files\\NEB\\20";

class SearchPathTest : public CoreInstallTest {
protected:
    std::string Path() const { return Value(EnvironmentKey, PathValue); }
    DWORD PathType() const { return ValueType(EnvironmentKey, PathValue); }
    void UseBatchFile() { machine_.platform = Windows95Platform; }
};

TEST_F(SearchPathTest, NtFamilyAppendsTheDirectoryOncePerCallAsExpandableText) {
    struct Case {
        const char* before; // null: no value
        const char* after;
    };
    const Case cases[] = {
        {nullptr, "C:\\Program Files\\NEB\\20"},
        {"", "C:\\Program Files\\NEB\\20"},
        {"%SystemRoot%\\system32", "%SystemRoot%\\system32;C:\\Program Files\\NEB\\20"},
        {"C:\\A;", "C:\\A;C:\\Program Files\\NEB\\20"},
        // Already there: every installation adds its own entry all the same.
        {"C:\\Program Files\\NEB\\20", "C:\\Program Files\\NEB\\20;C:\\Program Files\\NEB\\20"},
    };
    for (const Case& c : cases) {
        if (c.before != nullptr) {
            SetValue(EnvironmentKey, PathValue, c.before, REG_SZ);
        }
        machine_.broadcasts = 0;
        ErrorList errors;
        EXPECT_EQ(AddToSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
        EXPECT_TRUE(errors.Empty());
        EXPECT_EQ(Path(), c.after);
        EXPECT_EQ(PathType(), static_cast<DWORD>(REG_EXPAND_SZ));
        EXPECT_EQ(machine_.broadcasts, 1);
        DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\Layout");
    }
}

TEST_F(SearchPathTest, NtFamilyRemovesEveryEntryInAnyLetterCase) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"C:\\A;c:\\program files\\neb\\20;C:\\B", "C:\\A;C:\\B"},
        {"C:\\Program Files\\NEB\\20;C:\\A;C:\\PROGRAM FILES\\NEB\\20", "C:\\A"},
        {"C:\\Program Files\\NEB\\20", ""},
        {"C:\\A;;C:\\B", "C:\\A;;C:\\B"},
        // Another spelling of the directory is another entry.
        {"C:\\Program Files\\NEB\\20\\;C:\\Program Files\\NEB\\2", "C:\\Program Files\\NEB\\20\\;"
                                                                   "C:\\Program Files\\NEB\\2"},
    };
    for (const Case& c : cases) {
        SetValue(EnvironmentKey, PathValue, c.before, REG_EXPAND_SZ);
        ErrorList errors;
        EXPECT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
        EXPECT_TRUE(errors.Empty());
        EXPECT_EQ(Path(), c.after) << c.before;
    }
    EXPECT_EQ(SearchPathWithout("", Directory), "");
    EXPECT_EQ(SearchPathWithout(";", Directory), ";");
}

TEST_F(SearchPathTest, NtFamilyWithoutTheEnvironmentKey) {
    const std::string before = Describe(KeySnapshot());
    ErrorList errors;
    EXPECT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(Describe(KeySnapshot()), before) << "removing made the key";
    EXPECT_EQ(machine_.broadcasts, 0);

    // Adding makes the key, and a rollback takes it away again.
    Transaction transaction;
    EXPECT_EQ(AddToSearchPath(Directory, &transaction, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(Path(), Directory);
    EXPECT_TRUE(transaction.Rollback(errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(Describe(KeySnapshot()), before);
}

TEST_F(SearchPathTest, NtFamilyKeepsALongPathWhole) {
    std::string path;
    while (path.size() < 3000) {
        path += "C:\\Some Long Directory Name\\bin;";
    }
    path += "C:\\last";
    SetValue(EnvironmentKey, PathValue, path, REG_EXPAND_SZ);
    ErrorList errors;
    ASSERT_EQ(AddToSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(Path(), path + ";" + Directory);
    ASSERT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(Path(), path);
    EXPECT_TRUE(errors.Empty());
}

TEST_F(SearchPathTest, NtFamilyLeavesAPathItCannotReadAlone) {
    SetNumber(EnvironmentKey, PathValue, 7);
    const std::string before = Describe(KeySnapshot());
    for (bool adding : {true, false}) {
        Transaction transaction;
        ErrorList errors;
        ProcedureResult result = adding ? AddToSearchPath(Directory, &transaction, errors)
                                        : RemoveFromSearchPath(Directory, &transaction, errors);
        EXPECT_EQ(result, ProcedureResult::Failed);
        EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(
                                         10009, PathValue, Machine().RegistryKey(EnvironmentKey))});
        EXPECT_EQ(transaction.Count(), 0);
        EXPECT_EQ(Describe(KeySnapshot()), before);
    }
    EXPECT_EQ(machine_.broadcasts, 0);
}

TEST_F(SearchPathTest, NtFamilyEveryFailureIsUndone) {
    SetValue(EnvironmentKey, PathValue, std::string("C:\\A;") + Directory, REG_SZ);
    ExpectRollbackAfterEachFailure([](Transaction& transaction, ErrorList& errors) {
        return AddToSearchPath(Directory, &transaction, errors) == ProcedureResult::Succeeded;
    });
    // A failing removal has undone its own changes before it returns.
    const std::string before = Describe(KeySnapshot());
    for (int n = 1; n < 100; ++n) {
        FailNthCall failer(n);
        Transaction transaction;
        ErrorList errors;
        ProcedureResult result;
        {
            ScopedFilter filter(&failer);
            result = RemoveFromSearchPath(Directory, &transaction, errors);
        }
        if (!failer.Triggered()) {
            EXPECT_EQ(result, ProcedureResult::Succeeded);
            EXPECT_EQ(Path(), "C:\\A");
            break;
        }
        if (result == ProcedureResult::Failed) {
            EXPECT_EQ(transaction.Count(), 0) << "call " << n;
            EXPECT_EQ(Describe(KeySnapshot()), before) << "call " << n;
        } else {
            transaction.Rollback(errors);
        }
    }
}

TEST_F(SearchPathTest, BatchFileGetsOneLineAppended) {
    UseBatchFile();
    WriteBytes(machine_.autoexec, "@ECHO OFF  \r\nSET PATH=C:\\DOS\t\r\n\r\nrem end");
    Transaction transaction;
    ErrorList errors;
    const std::string before = Describe(WorkSnapshot());
    ASSERT_EQ(AddToSearchPath(Directory, &transaction, errors), ProcedureResult::Succeeded);
    // Other lines keep every byte: trailing blanks can be part of a variable's value.
    EXPECT_EQ(ReadBytes(machine_.autoexec), "@ECHO OFF  \r\nSET PATH=C:\\DOS\t\r\n\r\nrem end\r\n"
                                            "set PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
    EXPECT_EQ(machine_.broadcasts, 0);
    // The batch file comes back byte for byte, with its times.
    EXPECT_TRUE(transaction.Rollback(errors));
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(errors.Empty());

    ::DeleteFileA(machine_.autoexec.c_str());
    ASSERT_EQ(AddToSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(ReadBytes(machine_.autoexec), "set PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
}

// DOS stops reading at an end-of-file mark (^Z): the line goes before it, and what follows it is
// kept as it is. Lines end as the file ends them.
TEST_F(SearchPathTest, BatchFileLineGoesBeforeTheEndOfFileMarkAndComesOutAgain) {
    UseBatchFile();
    const std::string before = "SET BLASTER=A220 I5 D1   \nrem x\x1a\r\nset PATH=%PATH%;C:\\Old";
    WriteBytes(machine_.autoexec, before);
    ErrorList errors;
    ASSERT_EQ(AddToSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(ReadBytes(machine_.autoexec),
              "SET BLASTER=A220 I5 D1   \nrem x\r\nset PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n"
              "\x1a\r\nset PATH=%PATH%;C:\\Old");
    ASSERT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(ReadBytes(machine_.autoexec), "SET BLASTER=A220 I5 D1   \nrem x\r\n\x1a\r\n"
                                            "set PATH=%PATH%;C:\\Old");
    EXPECT_TRUE(errors.Empty());
}

// A machine without a batch file gets one for the line, and loses it again with the line; a
// rollback of that removal brings back exactly what was there.
TEST_F(SearchPathTest, BatchFileMadeByTheInstallationGoesAgain) {
    UseBatchFile();
    ErrorList errors;
    ASSERT_EQ(AddToSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    SetOldTimes(machine_.autoexec, 126227808000000000ull);
    const std::string installed = MachineState();
    {
        Transaction transaction;
        ASSERT_EQ(RemoveFromSearchPath(Directory, &transaction, errors),
                  ProcedureResult::Succeeded);
        EXPECT_FALSE(PathExists(machine_.autoexec));
        EXPECT_TRUE(transaction.Rollback(errors));
        EXPECT_EQ(MachineState(), installed);
    }
    ASSERT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_FALSE(PathExists(machine_.autoexec));
    // A file without the line is not touched at all, even an empty one.
    WriteBytes(machine_.autoexec, "");
    SetOldTimes(machine_.autoexec, 126227808000000000ull);
    const std::string empty = MachineState();
    ASSERT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(MachineState(), empty);
    EXPECT_TRUE(errors.Empty());
}

TEST_F(SearchPathTest, BatchFileLosesEveryLineOfTheDirectoryAndKeepsTheRestInOrder) {
    UseBatchFile();
    WriteBytes(machine_.autoexec, "set PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n"
                                  "@echo off\r\n"
                                  "SET path=%path%;c:\\program files\\neb\\20   \r\n"
                                  "set PATH=%PATH%;C:\\Program Files\\NEB\\200\r\n"
                                  "rem set PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n"
                                  "set PATH=%PATH%;C:\\Program Files\\NEB\\20");
    ErrorList errors;
    ASSERT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(ReadBytes(machine_.autoexec), "@echo off\r\n"
                                            "set PATH=%PATH%;C:\\Program Files\\NEB\\200\r\n"
                                            "rem set PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
    EXPECT_TRUE(errors.Empty());

    // No batch file: nothing to take out, and none is made.
    ::DeleteFileA(machine_.autoexec.c_str());
    EXPECT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_FALSE(IsFile(machine_.autoexec));
}

TEST_F(SearchPathTest, BatchFileInUseIsReportedAndLeftAsItWas) {
    UseBatchFile();
    WriteBytes(machine_.autoexec, "@echo off\r\nset PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
    HANDLE held = ::CreateFileA(machine_.autoexec.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (bool adding : {true, false}) {
        Transaction transaction;
        ErrorList errors;
        ProcedureResult result = adding ? AddToSearchPath(Directory, &transaction, errors)
                                        : RemoveFromSearchPath(Directory, &transaction, errors);
        EXPECT_EQ(result, ProcedureResult::Failed);
        EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(10018, machine_.autoexec)});
        EXPECT_EQ(transaction.Count(), 0);
    }
    ::CloseHandle(held);
    EXPECT_EQ(ReadBytes(machine_.autoexec),
              "@echo off\r\nset PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
}

TEST_F(SearchPathTest, BatchFileEveryFailureIsUndone) {
    UseBatchFile();
    WriteBytes(machine_.autoexec, "@echo off\r\nset PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
    ExpectRollbackAfterEachFailure([](Transaction& transaction, ErrorList& errors) {
        return AddToSearchPath(Directory, &transaction, errors) == ProcedureResult::Succeeded;
    });
    ExpectRollbackAfterEachFailure([](Transaction& transaction, ErrorList& errors) {
        return RemoveFromSearchPath(Directory, &transaction, errors) == ProcedureResult::Succeeded;
    });
}

TEST_F(SearchPathTest, WithoutATransactionAFailureStillLosesNothing) {
    // The uninstallation without an installation directory works without a transaction: a
    // failure between deleting the old path and writing the new one must not lose the path.
    auto lay = [this] {
        SetValue(EnvironmentKey, PathValue, std::string("C:\\A;") + Directory, REG_EXPAND_SZ);
        WriteBytes(machine_.autoexec,
                   "@echo off\r\nset PATH=%PATH%;C:\\Program Files\\NEB\\20\r\n");
        SetOldTimes(machine_.autoexec, 126227808000000000ull);
    };
    for (int platform : {WindowsNtPlatform, Windows95Platform}) {
        machine_.platform = platform;
        lay();
        const std::string before = MachineState();
        for (int n = 1;; ++n) {
            FailNthCall failer(n);
            ErrorList errors;
            ProcedureResult result;
            {
                ScopedFilter filter(&failer);
                result = RemoveFromSearchPath(Directory, nullptr, errors);
            }
            if (!failer.Triggered()) {
                EXPECT_EQ(result, ProcedureResult::Succeeded);
                break;
            }
            if (result == ProcedureResult::Failed) {
                EXPECT_EQ(MachineState(), before) << platform << " call " << n;
                EXPECT_TRUE(TempFiles().empty()) << platform << " call " << n;
            }
            // A backup whose deletion at the commit was refused stays behind; that is all.
            for (const std::string& name : TempFiles()) {
                ::DeleteFileA((temp_ + "\\" + name).c_str());
            }
            ASSERT_LT(n, 200);
            lay();
        }
    }
}

TEST_F(SearchPathTest, UnknownPlatformCannotBeGivenAnEntryAndHasNoneToLose) {
    machine_.platform = 3;
    SetValue(EnvironmentKey, PathValue, Directory, REG_SZ);
    ErrorList errors;
    EXPECT_EQ(AddToSearchPath(Directory, nullptr, errors), ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{"The platform is not recognized"});
    EXPECT_EQ(RemoveFromSearchPath(Directory, nullptr, errors), ProcedureResult::Succeeded);
    EXPECT_EQ(Path(), Directory);
    EXPECT_FALSE(IsFile(machine_.autoexec));
}

} // namespace
} // namespace nebcm::test
