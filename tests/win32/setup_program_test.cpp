// setup.exe under Wine: its fatal message when setup.inf is missing, and the manager it starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "support/scratch_dir.h"
#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::string setup = WindowsPathFromEnv("NEBCM_PROGRAMS", "bin/setup.exe");
        ASSERT_FALSE(setup.empty()) << "NEBCM_PROGRAMS is not set";
        ASSERT_TRUE(CopyFileA(setup.c_str(), medium.File("setup.exe").c_str(), FALSE)) << setup;
    }
    ScratchDir medium;
};

TEST_F(SetupProgram, MissingInformationFileIsFatal) {
    ChildProcess p;
    ASSERT_TRUE(p.Start(medium.File("setup.exe")));
    HWND box = WaitForDialogWithText(p.Id());
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_NE(
        StaticTexts(box).find("Can't find the information file '" + medium.File("setup.inf") + "'"),
        std::string::npos)
        << StaticTexts(box);
    PressButton(box, IDOK);
    EXPECT_NE(p.Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(SetupProgram, StartsTheManagerBesideItOnTheSet) {
    std::string stand_in = WindowsPathFromEnv("NEBCM_TEST_HELPERS", "record_args.exe");
    ASSERT_TRUE(CopyFileA(stand_in.c_str(), medium.File("NebCM.exe").c_str(), FALSE)) << stand_in;
    medium.Write("setup.inf", "  My Set.nds \r\n");
    medium.Write("My Set.nds", "set");
    ChildProcess p;
    ASSERT_TRUE(p.Start(medium.File("setup.exe")));
    EXPECT_EQ(p.Wait(10000), 0u);
    std::string args;
    for (int i = 0; i < 100 && args.empty(); ++i) {
        Sleep(50);
        args = ReadAll(medium.File("args.txt"));
    }
    EXPECT_EQ(args, "\"" + medium.File("NebCM.exe") + "\" " + medium.File("My Set.nds"));
}

} // namespace
} // namespace nebcm::testing
