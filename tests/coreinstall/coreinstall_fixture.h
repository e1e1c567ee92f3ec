// The platform procedures' test bench: the engine scratch areas, the machine's registry roots
// redirected into the test key, a stand-in system environment and a recording progress window.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/procedure_result.h"
#include "engine/engine_fixture.h"
#include "engine/machine_environment.h"
#include "engine/progress.h"

namespace nebcm::test {

// Records the rows of a progress window; never waits. A cancel can be scripted.
class RecordingProgress : public ProgressReporter {
public:
    struct Row {
        int activity = 0;
        std::vector<int> percents;
        int status = 0;
    };

    void BeginActivity(int nameMessage) override;
    void SetActivityPercent(int percent) override;
    void SetActivityStatus(int statusMessage) override;
    void SetActivityStatusText(const std::string& text) override;
    bool IsCancelled() override;
    void Pause(unsigned milliseconds) override { paused += milliseconds; }

    // The activity numbers in the order they began, and their final statuses.
    std::vector<int> Activities() const;
    std::vector<int> Statuses() const;

    std::vector<Row> rows;
    unsigned paused = 0;
    // Asked at every IsCancelled until it answers true; from then on the window stays cancelled.
    std::function<bool(const RecordingProgress&)> cancelWhen;
    bool cancelled = false;
};

// Cancels once the activity has reported the given number of percentages.
std::function<bool(const RecordingProgress&)> CancelAfter(int activity, int percents);

// The machine as the procedures see it in a test: scratch shell folders, batch file and temporary
// directory, registry keys below the test's key, a program with its files on a scratch medium, and
// recorded process starts and broadcasts.
class FakeMachine : public MachineEnvironment {
public:
    bool FindShellFolder(ShellFolder folder, std::string& path) override;
    bool FindSystemFolder(SystemFolder folder, std::string& path) override;
    std::string RegistryKey(const std::string& key) override { return registryRoot + "\\" + key; }
    int PlatformId() override { return platform; }
    std::string AutoexecPath() override { return autoexec; }
    bool ModulePath(std::string& path) override;
    bool TempDirectory(std::string& path) override;
    bool StartProcess(const std::string& program, const std::string& arguments) override;
    void BroadcastEnvironmentChange() override { ++broadcasts; }
    // Recorded only: the prefix's own list would delete files of later tests at its next start.
    bool RemoveAtRestart(const std::string& path) override {
        removedAtRestart.push_back(path);
        return true;
    }
    std::string WininitPath() override { return wininit; }
    bool CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size) override;

    std::map<ShellFolder, std::string> folders; // a folder left out cannot be resolved
    // Windows and its system directory are the prefix's own; the shell is never asked for the
    // user's folders, as it writes to the machine's keys when it is.
    std::map<SystemFolder, std::string> systemFolders;
    std::string registryRoot;
    int platform = WindowsNtPlatform;
    std::string autoexec;
    std::string module; // empty: the module path cannot be had
    std::string temp;   // empty: no temporary directory
    std::vector<std::pair<std::string, std::string>> started;
    bool startSucceeds = true;
    int broadcasts = 0;
    std::vector<std::string> removedAtRestart;
    std::string wininit;
    // The archive bytes; when useRealArchive is set, the one NebCM.exe carries.
    bool useRealArchive = true;
    std::vector<std::uint8_t> archive;
};

// The core archive that the built NebCM.exe carries, and that program's njava.exe.
bool RealCoreArchive(const std::uint8_t*& data, std::uint32_t& size);
std::string BuiltProgram(const char* name);

// An LZW archive of the named files (backslash names), all with the given time.
std::vector<std::uint8_t> MakeArchive(const std::vector<std::pair<std::string, std::string>>& files,
                                      std::uint64_t time = 0x01C2D6E4A0B3C000ull);

// Reading a file moves its access time, and the procedures read databases and links; everything
// else of a snapshot must come back exactly.
std::string DescribeWithoutAccessTimes(TreeSnapshot snapshot);

class CoreInstallTest : public EngineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The installation directory of the tests (below the work directory).
    std::string Install(const std::string& relative = std::string()) const;
    std::string Folder(ShellFolder folder) const { return machine_.folders.at(folder); }
    // The registry as the procedures see it: keys named as the layout names them.
    static std::string Value(const std::string& key, const std::string& name);
    static DWORD ValueType(const std::string& key, const std::string& name);
    static bool KeyExists(const std::string& key);
    // Writes a value (making the key) without a transaction; the test must succeed at it.
    static void SetValue(const std::string& key, const std::string& name, const std::string& value,
                         DWORD type = REG_SZ);
    static void SetNumber(const std::string& key, const std::string& name, DWORD value);
    // The layout as it stands below the test's key (the keys named as the layout names them).
    std::string LayoutSnapshot() const;
    // The work tree and the test's keys, access times left out.
    std::string MachineState() const;

    // As ExpectRollbackAfterEachFailure, for operations that read what they do not change: runs
    // the operation with each of its filtered system calls failing in turn, rolls back, and checks
    // that the work tree (access times aside), the keys and the temporary directory are as before.
    // Returns the number of calls the operation makes. With a stride above 1 only every
    // stride-th call is made to fail, for operations too long to sweep call by call.
    int ExpectUndoneAfterEachFailure(
        const std::function<ProcedureResult(Transaction&, ErrorList&)>& operation, int stride = 1);

    // The files of the scratch medium beside the stand-in program.
    void WriteMedium(bool withHelpIndex = true);

    // What a Windows machine has before the platform comes: the list of uninstall entries and a
    // system search path.
    void PrepareMachineKeys();

    // A 1.0 installation: its two registry keys, its directory with a 1.0 database, its own
    // configuration manager files, a Start-menu group and shortcuts on the desktop, among them one
    // in a folder of its own and one that points elsewhere.
    void LayOutLegacyInstallation(bool withUninstallEntry = true);
    std::string Legacy(const std::string& relative = std::string()) const;
    std::string LegacyGroup(const std::string& relative = std::string()) const;
    // A link made outside any transaction.
    void MakeShortcut(const std::string& link, const std::string& target,
                      const std::string& workingDirectory = std::string(),
                      const std::string& arguments = std::string());
    struct Link {
        std::string target, arguments, directory;
    };
    Link ReadLink(const std::string& link) const;

    FakeMachine machine_;
    std::string medium_;

private:
    // The machine's own roots, redirected so that anything that forgets the machine's registry
    // keys is caught instead of changing the test prefix.
    HKEY strayMachine_ = nullptr;
    HKEY strayClasses_ = nullptr;
};

} // namespace nebcm::test
