// The built programs under Wine: NebCM.exe starts with its title, and its string table matches the
// catalog.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/messages.h"

namespace {

// NEBCM_PROGRAMS holds the Linux directory of the programs build; Wine sees it below Z:.
std::string ProgramPath(const char* relative) {
    const char* dir = std::getenv("NEBCM_PROGRAMS");
    if (dir == nullptr) {
        return std::string();
    }
    std::string path = std::string("Z:") + dir + "/" + relative;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindTopWindow(HWND w, LPARAM param) {
    FindData* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char title[256] = {};
    GetWindowTextA(w, title, sizeof title);
    if (pid == data->pid && std::string(title) == "NEB 2.0 Configuration Manager") {
        data->found = w;
        return FALSE;
    }
    return TRUE;
}

TEST(Programs, NebCMShowsItsTitleAndCloses) {
    std::string exe = ProgramPath("bin/NebCM.exe");
    ASSERT_FALSE(exe.empty()) << "NEBCM_PROGRAMS is not set";
    ASSERT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << exe;

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    FindData data = {pi.dwProcessId, nullptr};
    for (int i = 0; i < 200 && data.found == nullptr; ++i) {
        Sleep(50);
        EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&data));
    }
    EXPECT_NE(data.found, nullptr) << "no window titled NEB 2.0 Configuration Manager";
    if (data.found) {
        PostMessageA(data.found, WM_COMMAND, IDOK, 0);
    }
    DWORD wait = WaitForSingleObject(pi.hProcess, 10000);
    if (wait != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 99);
    }
    EXPECT_EQ(wait, static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(Programs, StringTableHoldsEveryCatalogText) {
    std::string exe = ProgramPath("bin/NebCM.exe");
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    std::size_t count = 0;
    const nebcm::MessageEntry* table = nebcm::MessageCatalog(&count);
    ASSERT_GT(count, 150u);
    for (std::size_t i = 0; i < count; ++i) {
        char buffer[1024] = {};
        int n = LoadStringA(module, static_cast<UINT>(table[i].id), buffer, sizeof buffer);
        EXPECT_GT(n, 0) << table[i].id;
        EXPECT_STREQ(buffer, table[i].text) << table[i].id;
    }
    FreeLibrary(module);
}

TEST(Programs, SetupStarts) {
    std::string exe = ProgramPath("bin/setup.exe");
    ASSERT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << exe;
}

} // namespace
