// nebpack's machine services on Windows.
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "host.h"
#include "platform/handles_win32.h"

namespace nebpack {

namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string Quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

} // namespace

int RunProgram(const std::vector<std::string>& argv, std::string& error) {
    std::string line;
    for (const std::string& a : argv) {
        line += (line.empty() ? "" : " ") + Quoted(a);
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        error =
            "cannot start '" + argv[0] + "' (Windows error " + std::to_string(GetLastError()) + ")";
        return -1;
    }
    nebcm::UniqueResource<nebcm::KernelHandleTraits> processHandle(process.hProcess);
    nebcm::UniqueResource<nebcm::KernelHandleTraits> threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(processHandle.get(), &code)) {
        error = "cannot learn how '" + argv[0] + "' ended";
        return -1;
    }
    return static_cast<int>(code);
}

std::string DefaultProgramsDirectory() {
    char path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return ".";
    }
    std::string module(path, n);
    const std::string::size_type cut = module.find_last_of("\\/");
    return cut == std::string::npos ? std::string(".") : module.substr(0, cut);
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace nebpack
