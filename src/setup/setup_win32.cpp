// setup.exe: starts the configuration manager of a distribution medium on its distribution set.
#include <windows.h>

#include <cstdio>
#include <memory>

#include "setup/launcher.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class Win32LauncherEnvironment : public nebcm::setup::LauncherEnvironment {
public:
    bool ModulePath(std::string& path) override {
        char buffer[MAX_PATH + 1] = {};
        DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
        if (n == 0) {
            return false;
        }
        path.assign(buffer, n < MAX_PATH ? n : MAX_PATH);
        return true;
    }

    bool ReadFirstLine(const std::string& path, bool& opened, std::string& line) override {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rt"));
        opened = file != nullptr;
        if (!opened) {
            return false;
        }
        char buffer[MAX_PATH] = {};
        if (std::fgets(buffer, sizeof buffer, file.get()) == nullptr) {
            return false;
        }
        line = buffer;
        return true;
    }

    bool Exists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool Start(const std::string& program, const std::string& commandLine) override {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.wShowWindow = SW_SHOW;
        PROCESS_INFORMATION process = {};
        std::string mutableLine = commandLine;
        if (!CreateProcessA(program.c_str(), &mutableLine[0], nullptr, nullptr, FALSE,
                            NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
            return false;
        }
        // The launcher does not wait for the manager.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }

    bool StartAndWait(const std::string& program, const std::string& commandLine,
                      int& exitCode) override {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::string mutableLine = commandLine;
        if (!CreateProcessA(program.c_str(), &mutableLine[0], nullptr, nullptr, FALSE,
                            NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
            return false;
        }
        CloseHandle(process.hThread);
        // The manager waits in turn for the installed copy it restarts into, so its end is the
        // end of the whole installation.
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
        CloseHandle(process.hProcess);
        exitCode = static_cast<int>(code);
        return known;
    }
};

// An unattended launch shows nothing: its fatal message goes to the standard error output, where
// there is one.
void Report(const std::string& message) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE) {
        const std::string line = message + "\r\n";
        DWORD written = 0;
        WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    Win32LauncherEnvironment environment;
    nebcm::setup::LaunchOutcome outcome =
        nebcm::setup::Launch(environment, arguments != nullptr ? arguments : "");
    if (outcome.unattended) {
        if (!outcome.started) {
            Report(outcome.fatalMessage);
            return nebcm::setup::LaunchRefusedExitCode;
        }
        return outcome.exitCode;
    }
    if (!outcome.started && !outcome.fatalMessage.empty()) {
        // The fatal exit shows its text through user32's message box, and some systems only do
        // so when user32 is already loaded; the launcher itself uses nothing else of it.
        LoadLibraryA("user32.dll");
        FatalAppExitA(0, outcome.fatalMessage.c_str());
        return 1;
    }
    return 0;
}
