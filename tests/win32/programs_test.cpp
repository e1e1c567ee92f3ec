// The built programs under Wine: NebCM.exe starts with its title, and its string table matches the
// catalog.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include <prsht.h>

#include "common/messages.h"
#include "support/scratch_dir.h"
#include "support/window_driver.h"

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

// On a machine without the platform, the program starts with the core installation wizard;
// cancelling it ends the run without any change.
TEST(Programs, FirstRunOpensTheCoreInstallationWizard) {
    std::string exe = ProgramPath("bin/NebCM.exe");
    ASSERT_FALSE(exe.empty()) << "NEBCM_PROGRAMS is not set";
    nebcm::testing::ScratchDir dir;
    std::string copy = dir.File("NebCM.exe");
    ASSERT_TRUE(CopyFileA(exe.c_str(), copy.c_str(), FALSE)) << exe;

    nebcm::testing::ChildProcess p;
    ASSERT_TRUE(p.Start(copy));
    HWND wizard = nullptr;
    for (int i = 0; i < 300 && wizard == nullptr; ++i) {
        for (HWND w : nebcm::testing::DialogsOf(p.Id())) {
            if (nebcm::testing::WindowText(w) == "NEB 2.0 - Select installation directory") {
                wizard = w;
            }
        }
        if (wizard == nullptr) {
            Sleep(50);
        }
    }
    ASSERT_NE(wizard, nullptr) << "no core installation wizard";
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(p.Wait(15000), 0u);
    EXPECT_EQ(GetFileAttributesA(dir.File("neb.cdb").c_str()), INVALID_FILE_ATTRIBUTES);
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

namespace {

// While one run holds the single-instance mutex, a second start waits a second, says so and ends.
TEST(Programs, SecondStartShowsAlreadyRunning) {
    std::string exe = ProgramPath("bin/NebCM.exe");
    nebcm::testing::ScratchDir dir;
    std::string copy = dir.File("NebCM.exe");
    ASSERT_TRUE(CopyFileA(exe.c_str(), copy.c_str(), FALSE)) << exe;

    nebcm::testing::ChildProcess first;
    ASSERT_TRUE(first.Start(copy));
    HWND wizard = nullptr;
    for (int i = 0; i < 300 && wizard == nullptr; ++i) {
        for (HWND w : nebcm::testing::DialogsOf(first.Id())) {
            wizard = w;
        }
        Sleep(50);
    }
    ASSERT_NE(wizard, nullptr) << "the first run shows nothing";

    nebcm::testing::ChildProcess second;
    ASSERT_TRUE(second.Start(copy));
    HWND notice = nebcm::testing::WaitForDialogWithText(second.Id(), 15000);
    ASSERT_NE(notice, nullptr) << "the second start shows nothing";
    EXPECT_EQ(nebcm::testing::WindowText(notice), "NEB 2.0 Configuration Manager");
    EXPECT_NE(nebcm::testing::StaticTexts(notice).find(
                  "The NEB Configuration Manager could not be started."),
              std::string::npos)
        << nebcm::testing::StaticTexts(notice);
    nebcm::testing::PressButton(notice, IDOK);
    EXPECT_EQ(second.Wait(10000), 0u);

    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(first.Wait(15000), 0u);
}

} // namespace
