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

#include "engine/engine_fixture.h"
#include "engine/progress.h"
#include "engine/system_environment.h"

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

// The system as the procedures see it in a test: scratch shell folders, batch file and temporary
// directory, a program with its files on a scratch medium, and recorded process starts and
// broadcasts.
class FakeEnvironment : public SystemEnvironment {
public:
    int PlatformId() override { return platform; }
    std::string AutoexecPath() override { return autoexec; }
    bool ModulePath(std::string& path) override;
    bool TempDirectory(std::string& path) override;
    bool ShellFolder(ShellFolderRole role, std::string& path) override;
    bool StartProcess(const std::string& program, const std::string& arguments) override;
    void BroadcastEnvironmentChange() override { ++broadcasts; }
    bool CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size) override;

    int platform = 2;
    std::string autoexec;
    std::string module; // empty: the module path cannot be had
    std::string temp;   // empty: no temporary directory
    std::map<ShellFolderRole, std::string> folders;
    std::vector<std::pair<std::string, std::string>> started;
    bool startSucceeds = true;
    int broadcasts = 0;
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

class CoreInstallTest : public EngineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The installation directory of the tests (below the work directory).
    std::string Install(const std::string& relative = std::string()) const;
    // A shell folder of the stand-in environment.
    std::string Folder(ShellFolderRole role) const { return environment_.folders.at(role); }
    // A key below the redirected HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT, as a subkey of HKCU.
    std::string MachineSubkey(const std::string& relative) const;
    std::string ClassesSubkey(const std::string& relative) const;
    // A string value of a registry path, or "<missing>".
    static std::string Value(const std::string& keyPath, const std::string& name);
    static bool KeyExists(const std::string& keyPath);
    // Writes a string value (making the key) without a transaction; the test must succeed at it.
    static void SetValue(const std::string& keyPath, const std::string& name,
                         const std::string& value, DWORD type = REG_SZ);

    // The files of the scratch medium beside the stand-in program.
    void WriteMedium(bool withHelpIndex = true);

    FakeEnvironment environment_;
    std::string medium_;

private:
    HKEY machine_ = nullptr;
    HKEY classes_ = nullptr;
    SystemEnvironment* previousEnvironment_ = nullptr;
};

} // namespace nebcm::test
