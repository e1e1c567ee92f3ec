// njava.exe, the core's Java launcher: starts the Java virtual machine chosen for the platform on
// a class, and waits for it.
#include <windows.h>

#include <cstring>
#include <string>

#include "common/constants.h"
#include "njava/java_command.h"

namespace {

using namespace nebcm::njava;

const char Title[] = "NEB 2.0 Java Launcher";

enum ExitCode { UsageError = 2, NotConfigured = 3, StartFailed = 4 };

// The key below HKEY_LOCAL_MACHINE of a full key path.
std::string BelowLocalMachine(const char* key) {
    const char root[] = "HKEY_LOCAL_MACHINE\\";
    return key + std::strlen(root);
}

bool ReadString(HKEY key, const char* name, std::string& text) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    text.assign(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
    return true;
}

JavaSettings ReadSettings() {
    JavaSettings settings;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BelowLocalMachine(nebcm::Java20Key).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        return settings;
    }
    std::string type;
    settings.type = JavaTypeFromText(ReadString(key, nebcm::JavaTypeValue, type) ? &type : nullptr);
    ReadString(key, nebcm::JavaMSExeValue, settings.msExe);
    ReadString(key, nebcm::JavaSunExeValue, settings.sunExe);
    ReadString(key, nebcm::JavaCustomCommandLineValue, settings.customCommandLine);
    RegCloseKey(key);
    return settings;
}

// The launcher lives in the installation directory.
std::string OwnDirectory() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, length < MAX_PATH ? length : 0);
    std::size_t slash = own.rfind('\\');
    if (slash == std::string::npos) {
        return std::string();
    }
    return slash == 2 && own[1] == ':' ? own.substr(0, 3) : own.substr(0, slash);
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Without -gui the launcher may have been started from a console or with redirected output:
// the text goes there. With -gui, or with nowhere to write, it is shown in a message box.
void Report(bool gui, const std::string& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!gui && error != nullptr && error != INVALID_HANDLE_VALUE) {
        std::string line = "njava: " + text + "\r\n";
        DWORD written = 0;
        if (WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
            return;
        }
    }
    MessageBoxA(nullptr, text.c_str(), Title, MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string commandLine = GetCommandLineA();
    std::size_t pos = 0;
    ProgramName(commandLine, pos);
    LaunchRequest request;
    if (!ParseLaunchRequest(commandLine.substr(pos), request)) {
        Report(request.gui, UsageText());
        return UsageError;
    }
    const JavaSettings settings = ReadSettings();
    JavaCommand command;
    if (BuildJavaCommand(settings, request, OwnDirectory(), FileExists, command) !=
        CommandProblem::None) {
        Report(request.gui, NoVirtualMachineText(settings));
        return NotConfigured;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::string line = command.commandLine;
    // With -gui a console VM gets no console window of its own.
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE,
                        request.gui ? DETACHED_PROCESS : 0, nullptr, nullptr, &startup, &started)) {
        Report(request.gui, CannotStartText(command.commandLine));
        return StartFailed;
    }
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hProcess);
    return static_cast<int>(exitCode);
}
