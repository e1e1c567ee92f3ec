// The built Java launcher under Wine: what it says when it is misused or no Java VM is set up.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "coreinstall_fixture.h"

namespace nebcm::test {
namespace {

struct Outcome {
    DWORD exitCode = 0;
    std::string errorOutput;
};

// Runs njava.exe with the arguments, its standard error in a pipe, and waits for it.
Outcome RunLauncher(const std::string& arguments) {
    Outcome outcome;
    const std::string program = BuiltProgram("njava.exe");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    EXPECT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started = {};
    std::string commandLine = "\"" + program + "\" " + arguments;
    bool ran = ::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                nullptr, nullptr, &startup, &started);
    ::CloseHandle(writeEnd);
    EXPECT_TRUE(ran) << program;
    if (ran) {
        char buffer[512];
        DWORD read = 0;
        while (::ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            outcome.errorOutput.append(buffer, read);
        }
        EXPECT_EQ(::WaitForSingleObject(started.hProcess, 20000), WAIT_OBJECT_0);
        ::GetExitCodeProcess(started.hProcess, &outcome.exitCode);
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    }
    ::CloseHandle(readEnd);
    return outcome;
}

TEST(JavaLauncher, ExplainsItsUseAndAMissingVirtualMachine) {
    // The test prefix has no platform installed, so no Java VM is chosen.
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\NEB\\2.0\\Java", 0, KEY_READ,
                        &key) == ERROR_SUCCESS) {
        ::RegCloseKey(key);
        GTEST_SKIP() << "a platform is installed in this Wine prefix";
    }
    Outcome usage = RunLauncher("");
    EXPECT_EQ(usage.exitCode, 2u);
    EXPECT_NE(usage.errorOutput.find("Usage: njava [-gui] CLASS"), std::string::npos)
        << usage.errorOutput;

    Outcome missing = RunLauncher("neb.core.Platform");
    EXPECT_EQ(missing.exitCode, 3u);
    EXPECT_NE(missing.errorOutput.find("No Java virtual machine is set up for NEB 2.0."),
              std::string::npos)
        << missing.errorOutput;
    EXPECT_NE(missing.errorOutput.find("Java support"), std::string::npos);
}

} // namespace
} // namespace nebcm::test
