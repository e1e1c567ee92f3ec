// Scratch directories and registry keys per test, snapshots of both, and an injector of failing
// system calls.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "engine/file_actions.h"
#include "engine/system_calls_win32.h"
#include "engine/transaction.h"

namespace nebcm::test {

// Everything of one file or directory that a rollback must bring back. Directories carry no times:
// adding and removing entries changes them, and nothing restores them.
struct TreeEntry {
    bool directory = false;
    DWORD attributes = 0;
    FileTimes times;
    std::string content;
};
using TreeSnapshot = std::map<std::string, TreeEntry>; // by path relative to the root

// Reads the tree without disturbing it: each file's access time is put back after reading.
TreeSnapshot SnapshotTree(const std::string& root);
std::string Describe(const TreeSnapshot& snapshot);

struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};
// Key path relative to the root (empty for the root) -> value name -> value.
using RegistrySnapshot = std::map<std::string, std::map<std::string, RegistryValue>>;
RegistrySnapshot SnapshotRegistry(HKEY root, const std::string& subKey);
std::string Describe(const RegistrySnapshot& snapshot);

void WriteBytes(const std::string& path, const std::string& content);
std::string ReadBytes(const std::string& path);
// Sets the three times of a file to fixed values far in the past, so a fresh copy differs.
void SetOldTimes(const std::string& path, std::uint64_t base);
FileTimes TimesOf(const std::string& path);
// Names in a directory, without "." and "..", sorted.
std::vector<std::string> ListNames(const std::string& directory);
// Deletes a tree whatever its attributes, without the engine; also entries that only the wide
// functions can name (characters outside the code page, paths beyond 260 characters).
void DeleteTreeRaw(const std::string& path);
// Below the directory, a folder named in Greek letters, which the code page cannot carry; the
// path through its short name.
std::string MakeFolderBeyondTheCodePage(const std::string& parent);
// Below the directory (made if need be), a chain of folders with plain 8.3 names (so without short
// alternates) until the path is longer than `length`; the path of the deepest, which only the wide
// functions can open.
std::string MakeDeepFolders(const std::string& parent, std::size_t length);
// Along such a chain, the first folder that a walk cannot reach: the child of the deepest that a
// path still names, or that one itself when it cannot even be listed.
std::string FirstOutOfReach(const std::string& deepest);
// Writes a file through the wide functions, whatever the length of its path.
void WriteBytesWide(const std::string& path, const std::string& content);
bool ExistsWide(const std::string& path);
bool DeleteRegistryTreeRaw(HKEY parent, const std::string& subKey);
// A drive letter that names no drive.
char MissingDrive();

// Fails the n-th filtered system call (counting from 1) and lets every other call through.
class FailNthCall : public SystemCallFilter {
public:
    explicit FailNthCall(int n) : n_(n) {}
    bool Fail(SystemCall call) override {
        ++count_;
        if (count_ == n_) {
            failed_ = call;
            return true;
        }
        return false;
    }
    int Count() const { return count_; }
    bool Triggered() const { return count_ >= n_; }
    SystemCall FailedCall() const { return failed_; }

private:
    int n_;
    int count_ = 0;
    SystemCall failed_ = SystemCall::GetAttributes;
};

// Installs a filter for the lifetime of the guard.
class ScopedFilter {
public:
    explicit ScopedFilter(SystemCallFilter* filter) : previous_(SetSystemCallFilter(filter)) {}
    ~ScopedFilter() { SetSystemCallFilter(previous_); }
    ScopedFilter(const ScopedFilter&) = delete;
    ScopedFilter& operator=(const ScopedFilter&) = delete;

private:
    SystemCallFilter* previous_;
};

// Per test: a scratch tree C:\nebcm-scratch\<unique> with the directories "work" (what the tests
// change), "source" (files copied from, kept out of the snapshots because copying reads them) and
// "temp" (the process's temporary directory for the test, where backups go) and "rollback" (where
// a journaled transaction keeps its journal and backups), and a registry key
// HKEY_CURRENT_USER\Software\NebCMTests\<unique>.
// Names the parent's scratch places in a child process started by RunChild.
inline constexpr char ChildScratchVariable[] = "NEBCM_TEST_SCRATCH";

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Work(const std::string& relative = std::string()) const;
    std::string Source(const std::string& relative) const;
    std::string Key(const std::string& relative = std::string()) const;
    std::vector<std::string> TempFiles() const { return ListNames(temp_); }

    TreeSnapshot WorkSnapshot() const { return SnapshotTree(work_); }
    RegistrySnapshot KeySnapshot() const { return SnapshotRegistry(HKEY_CURRENT_USER, keySub_); }

    // Runs the operation once for each of its filtered system calls with that call failing, rolls
    // back each time and checks that the work tree, the test key and the temporary directory are
    // exactly as before. Ends with a run in which no call failed (also rolled back). Returns the
    // number of calls that were made to fail.
    int
    ExpectRollbackAfterEachFailure(const std::function<bool(Transaction&, ErrorList&)>& operation);

    // Runs this test executable once more with only `test`, in this test's scratch places (its
    // fixture then neither makes nor removes them) and with one more environment variable; the
    // child's exit code.
    DWORD RunChild(const std::string& test, const std::string& variable,
                   const std::string& value) const;
    // True in such a child.
    bool IsChild() const { return child_; }

    std::string root_;
    std::string work_;
    std::string source_;
    std::string temp_;
    std::string keySub_; // below HKEY_CURRENT_USER

private:
    bool child_ = false;
    std::string unique_;
    std::string oldTmp_;
    std::string oldTemp_;
};

} // namespace nebcm::test
