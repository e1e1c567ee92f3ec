// The launcher's steps: find setup.inf beside the program, then start NebCM.exe on the set it
// names.
#pragma once

#include <string>

namespace nebcm::setup {

// What the launcher needs from the machine; the real one is Win32, tests use their own.
class LauncherEnvironment {
public:
    virtual ~LauncherEnvironment() = default;
    // The full path of the launcher's executable; false when it cannot be had.
    virtual bool ModulePath(std::string& path) = 0;
    // Opens a text file and reads its first line (up to and including its line end, at most
    // 259 characters). open is false when the file cannot be opened; the result is false when
    // nothing could be read.
    virtual bool ReadFirstLine(const std::string& path, bool& opened, std::string& line) = 0;
    // Anything (file or directory) exists at the path.
    virtual bool Exists(const std::string& path) = 0;
    // Starts a program with a command line and does not wait for it.
    virtual bool Start(const std::string& program, const std::string& commandLine) = 0;
    // Starts a program and waits for it to end; false when it could not be started.
    virtual bool StartAndWait(const std::string& program, const std::string& commandLine,
                              int& exitCode) = 0;
};

// How a launch ended.
struct LaunchOutcome {
    bool started = false;
    // The fatal message to show when the manager was not started; empty when the module path
    // could not be had (the launcher then ends silently).
    std::string fatalMessage;
    std::string program;
    std::string commandLine;
    // An unattended launch waits for the manager and ends with its exit code.
    bool unattended = false;
    int exitCode = 0;
};

// The exit code of an unattended launch that could not start the manager: nothing was changed.
inline constexpr int LaunchRefusedExitCode = 2;

// D: the module path cut behind its last '\' or '/' (kept); the whole path when it has none.
std::string LauncherDirectory(const std::string& modulePath);

// Blanks, tabs and line ends removed at both ends.
std::string TrimWhiteSpace(const std::string& text);

// True when the launcher's own command line starts with the word -Unattended (exact letters,
// then the end or a blank).
bool IsUnattendedLaunch(const std::string& arguments);

// Starts the manager on the medium's set. Given an unattended command line (the launcher's own,
// "-Unattended [options]"), the manager gets those words before the set path and is waited for.
LaunchOutcome Launch(LauncherEnvironment& environment, const std::string& arguments = "");

} // namespace nebcm::setup
