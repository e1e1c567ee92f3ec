// The platform procedures killed after entries of their journal: the next start's recovery puts
// every file, shortcut, registry key and the search path back as they were before the procedure,
// or, once the procedure had committed, finishes the commit.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/installed_configuration.h"
#include "engine/journal.h"
#include "engine/journal_file_win32.h"
#include "engine/platform_uninstallation.h"

namespace nebcm::test {
namespace {

FILETIME ToFileTime(std::uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

// Builds the tree again, without the engine, as a snapshot saw it: names, bytes, times and
// attributes (the snapshot lists every directory before what is in it).
void RestoreTree(const std::string& root, const TreeSnapshot& snapshot) {
    DeleteTreeRaw(root);
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (const auto& [relative, entry] : snapshot) {
        const std::string path = root + "\\" + relative;
        if (entry.directory) {
            ::CreateDirectoryA(path.c_str(), nullptr);
            continue;
        }
        WriteBytes(path, entry.content);
        HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        const FILETIME creation = ToFileTime(entry.times.creation);
        const FILETIME access = ToFileTime(entry.times.lastAccess);
        const FILETIME write = ToFileTime(entry.times.lastWrite);
        EXPECT_TRUE(::SetFileTime(file, &creation, &access, &write)) << path;
        ::CloseHandle(file);
    }
    // Attributes last: a read-only directory would refuse nothing, but a read-only file its times.
    for (const auto& [relative, entry] : snapshot) {
        ::SetFileAttributesA((root + "\\" + relative).c_str(),
                             entry.attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    }
}

void RestoreKeys(const std::string& subKey, const RegistrySnapshot& snapshot) {
    DeleteRegistryTreeRaw(HKEY_CURRENT_USER, subKey);
    for (const auto& [relative, values] : snapshot) {
        HKEY key = nullptr;
        const std::string path = relative.empty() ? subKey : subKey + "\\" + relative;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        for (const auto& [name, value] : values) {
            EXPECT_EQ(::RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, value.type,
                                       value.data.data(), static_cast<DWORD>(value.data.size())),
                      ERROR_SUCCESS)
                << path << " " << name;
        }
        ::RegCloseKey(key);
    }
}

class PlatformKillSweepTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        if (!IsChild()) {
            PrepareMachineKeys();
        }
    }

    // The work tree (shortcut folders, autoexec.bat and the installations) and every key of the
    // layout, among them the search path.
    std::string State() const { return MachineState(); }
    RegistrySnapshot LayoutKeys() const {
        return SnapshotRegistry(HKEY_CURRENT_USER, keySub_ + "\\Layout");
    }

    // One kill after entry k and the recovery of the next start. A rollback must leave `before`;
    // a child that ran past its last entry leaves nothing to recover.
    RecoveryOutcome KillAndRecover(const std::string& child, int k, const std::string& before) {
        const DWORD code = RunChild(child, "NEBCM_KILL_AFTER_RECORD", std::to_string(k));
        ErrorList errors;
        const RecoveryOutcome outcome = RecoverInterruptedProcedure(errors);
        EXPECT_TRUE(errors.Empty()) << k << ": " << errors.At(0);
        EXPECT_EQ(ListNames(root_ + "\\rollback"), std::vector<std::string>()) << k;
        EXPECT_EQ(TempFiles(), std::vector<std::string>()) << k;
        if (code == 0) {
            EXPECT_EQ(outcome, RecoveryOutcome::NothingToRecover) << k;
        } else if (code != KilledByJournalExitCode) {
            ADD_FAILURE() << "child at " << k << " ended with " << code;
        } else if (outcome == RecoveryOutcome::RolledBack) {
            EXPECT_EQ(State(), before) << "killed after entry " << k;
        } else {
            EXPECT_EQ(outcome, RecoveryOutcome::CommitCompleted) << k;
            EXPECT_NE(State(), before) << k;
        }
        return code == 0 ? RecoveryOutcome::NothingToRecover : outcome;
    }

    // Kills the child after the first entries, then after every stride-th, until it gets past
    // its commit; then, from the machine put back as it was, after every entry from the last one
    // undone up to the commit. Returns the number of the commit entry; the machine is then left as
    // the finished procedure leaves it.
    int SweepKills(const std::string& child, int stride) {
        const std::string before = State();
        const TreeSnapshot tree = WorkSnapshot();
        const RegistrySnapshot keys = LayoutKeys();
        int undone = 0;
        int past = 0;
        for (int k = 1; k < 5000 && past == 0; k += k < 4 ? 1 : stride) {
            if (KillAndRecover(child, k, before) == RecoveryOutcome::RolledBack) {
                undone = k;
            } else {
                past = k;
            }
            if (HasFailure()) {
                return 0;
            }
        }
        if (past == 0) {
            ADD_FAILURE() << "the child never committed";
            return 0;
        }
        if (past == undone + 1) {
            return past;
        }
        RestoreTree(work_, tree);
        RestoreKeys(keySub_ + "\\Layout", keys);
        if (State() != before) {
            ADD_FAILURE() << "the machine could not be put back for the last entries";
            return 0;
        }
        for (int k = undone + 1; k <= past; ++k) {
            RecoveryOutcome outcome = KillAndRecover(child, k, before);
            if (HasFailure()) {
                return 0;
            }
            if (outcome == RecoveryOutcome::CommitCompleted) {
                return k;
            }
            if (outcome != RecoveryOutcome::RolledBack) {
                ADD_FAILURE() << "the child ran to its end without a commit entry at " << k;
                return 0;
            }
        }
        ADD_FAILURE() << "the entry that ran past the end was not reached again";
        return 0;
    }

    // A 2.0 installation made in this process over the 1.0 installation, whose software it took
    // over, with shortcuts of the user's own: one into the installation and one elsewhere.
    void LayOutUpgradedPlatform() {
        LayOutLegacyInstallation();
        RecordingProgress progress;
        ErrorList errors;
        std::string program;
        ASSERT_EQ(RunCoreInstallation(Install(), 3, true, progress, errors, program),
                  ProcedureResult::Succeeded)
            << (errors.Empty() ? "" : errors.At(0));
        MakeShortcut(Folder(ShellFolder::Desktop) + "\\Platform.lnk",
                     Install("neb\\core\\Platform.class"));
    }
};

// The most common procedure: the first installation on a machine that never had a platform, where
// another program has registered class files. Every entry is swept; each kill must leave no
// folder, key, value, shortcut or search-path entry behind, and the other program's registration
// exactly as it was.
TEST_F(PlatformKillSweepTest, AFreshInstallationKilledAnywhereIsUndone) {
    SetValue(ClassFileExtensionKey, "", "OtherClassFile");
    SetValue(ClassFileExtensionKey, ContentTypeValue, "application/x-java");
    SetValue(ClassFileOpenCommandKey, "", "C:\\Other\\run.exe \"%1\"");
    ASSERT_FALSE(IsLegacyInstallationFound());
    ASSERT_FALSE(PathExists(Work("NEB")));
    const int commit = SweepKills("PlatformKillSweepTest.DISABLED_ChildInstallsFresh", 1);
    EXPECT_GT(commit, 50);
    // The recovery that finished the commit left a whole, consistent platform.
    ErrorList errors;
    EXPECT_TRUE(CheckInstalledConfiguration(errors)) << (errors.Empty() ? "" : errors.At(0));
    EXPECT_EQ(Value(ClassFileExtensionKey, ""), ClassFileProgId);
    EXPECT_EQ(Value(Platform20Key, "ReplacedClassType"), "OtherClassFile");
    EXPECT_TRUE(IsFile(Folder(ShellFolder::CommonPrograms) + "\\" + PlatformName20 + "\\" +
                       UninstallShortcutName + ".lnk"));
    EXPECT_NE(Value(EnvironmentKey, PathValue).find(Install()), std::string::npos);
}

// The installation directory holds files of the user's, which the installation deletes before it
// writes its own: a kill anywhere must bring every one of them back, bytes, times and attributes.
TEST_F(PlatformKillSweepTest, AFreshInstallationOverAFullDirectoryKilledAnywhereIsUndone) {
    ASSERT_TRUE(::CreateDirectoryA(Work("NEB").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install().c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install("notes").c_str(), nullptr));
    WriteBytes(Install("NebCM.exe"), "MZ the user's own program");
    WriteBytes(Install("notes\\plan.txt"), "a plan");
    WriteBytes(Install("notes\\locked.txt"), "read only");
    ASSERT_TRUE(::SetFileAttributesA(Install("notes\\locked.txt").c_str(),
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    const int commit = SweepKills("PlatformKillSweepTest.DISABLED_ChildInstallsFresh", 1);
    EXPECT_GT(commit, 55);
    EXPECT_FALSE(PathExists(Install("notes")));
    EXPECT_NE(ReadBytes(Install("NebCM.exe")), "MZ the user's own program");
}

TEST_F(PlatformKillSweepTest, AnUpgradeOf10KilledAnywhereIsUndone) {
    LayOutLegacyInstallation();
    ASSERT_TRUE(IsLegacyInstallationFound());
    const int commit = SweepKills("PlatformKillSweepTest.DISABLED_ChildUpgrades10", 12);
    EXPECT_GT(commit, 40);
    // The recovery that finished the commit left the upgraded platform and nothing of 1.0.
    ErrorList errors;
    EXPECT_TRUE(CheckInstalledConfiguration(errors)) << (errors.Empty() ? "" : errors.At(0));
    EXPECT_TRUE(IsFile(Install("app\\run.exe")));
    EXPECT_FALSE(PathExists(Legacy()));
    EXPECT_FALSE(KeyExists(Platform10Key));
    EXPECT_NE(Value(EnvironmentKey, PathValue), "C:\\WINDOWS;C:\\Tools");
}

TEST_F(PlatformKillSweepTest, AnUninstallationKilledAnywhereIsUndone) {
    LayOutUpgradedPlatform();
    const int commit = SweepKills("PlatformKillSweepTest.DISABLED_ChildUninstalls", 10);
    EXPECT_GT(commit, 20);
    EXPECT_FALSE(IsPlatformInstalled());
    EXPECT_FALSE(PathExists(Install()));
    EXPECT_EQ(Value(EnvironmentKey, PathValue), "C:\\WINDOWS;C:\\Tools");
}

TEST_F(PlatformKillSweepTest, AnUninstallationPastALockedFileKilledAnywhereIsUndone) {
    LayOutUpgradedPlatform();
    SweepKills("PlatformKillSweepTest.DISABLED_ChildUninstallsPastALockedFile", 10);
    // The locked file and the directories that hold it stay; the rest went.
    EXPECT_FALSE(IsPlatformInstalled());
    EXPECT_TRUE(IsFile(Install("neb\\core\\Version.class")));
    EXPECT_FALSE(PathExists(Install("app\\run.exe")));
}

// The children of the sweeps above.
TEST_F(PlatformKillSweepTest, DISABLED_ChildUpgrades10) {
    ASSERT_TRUE(IsChild());
    ASSERT_TRUE(IsLegacyInstallationFound());
    RecordingProgress progress;
    ErrorList errors;
    std::string program;
    ASSERT_EQ(RunCoreInstallation(Install(), 3, true, progress, errors, program),
              ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
}

TEST_F(PlatformKillSweepTest, DISABLED_ChildInstallsFresh) {
    ASSERT_TRUE(IsChild());
    RecordingProgress progress;
    ErrorList errors;
    std::string program;
    ASSERT_EQ(RunCoreInstallation(Install(), 3, false, progress, errors, program),
              ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
}

TEST_F(PlatformKillSweepTest, DISABLED_ChildUninstalls) {
    ASSERT_TRUE(IsChild());
    RecordingProgress progress;
    ErrorList errors;
    ASSERT_EQ(RunPlatformUninstallation(Install(), progress, errors), ProcedureResult::Succeeded)
        << (errors.Empty() ? "" : errors.At(0));
}

TEST_F(PlatformKillSweepTest, DISABLED_ChildUninstallsPastALockedFile) {
    ASSERT_TRUE(IsChild());
    const std::string locked = Install("neb\\core\\Version.class");
    HANDLE held =
        ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RecordingProgress progress;
    ErrorList errors;
    EXPECT_EQ(RunPlatformUninstallation(Install(), progress, errors), ProcedureResult::Failed);
    ::CloseHandle(held);
}

} // namespace
} // namespace nebcm::test
