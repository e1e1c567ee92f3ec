// The installation medium end to end, in a Wine prefix of its own: setup.exe starts the manager,
// the core installation wizard installs the platform, the installed copy takes over with the set,
// and its wizard installs the sample extensions.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <string>

#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

TEST(FirstRunFromTheMedium, InstallsTheCoreThenTheSampleExtensions) {
    ASSERT_TRUE(Exists("C:\\medium\\setup.exe")) << "the medium is not in this prefix";
    ChildProcess setup;
    ASSERT_TRUE(setup.Start("C:\\medium\\setup.exe"));

    HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
    ASSERT_NE(wizard, nullptr) << "no core installation wizard";
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);

    // The default directory does not exist yet: agree to make it.
    HWND question = WaitForTitle("NEB 2.0 Configuration Manager");
    ASSERT_NE(question, nullptr) << "no question about the new directory";
    PressButton(question, 1007);

    // The core goes in, then the installed copy opens the set at its selection page.
    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 90000);
    ASSERT_NE(selection, nullptr) << "the installed copy did not open the sample set";
    const std::string dir = "C:\\Program Files\\NEB\\20\\";
    EXPECT_TRUE(Exists(dir + "NebCM.exe"));
    EXPECT_TRUE(Exists(dir + "njava.exe"));
    EXPECT_TRUE(Exists(dir + "neb.cdb"));
    EXPECT_TRUE(Exists(dir + "NebCM.hlp"));

    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND complete = WaitForTitle("Installation complete", 90000);
    ASSERT_NE(complete, nullptr) << "no completion report";
    EXPECT_NE(StaticTexts(complete).find("5 NEB Extension(s) have been successfully installed."),
              std::string::npos)
        << StaticTexts(complete);
    PressButton(complete, IDOK);
    EXPECT_TRUE(WaitUntilGone(complete));

    for (const char* file : {"lib\\xml.jar", "lib\\util.jar", "lib\\parser.jar",
                             "apps\\viewer\\viewer.jar", "apps\\editor\\editor.jar"}) {
        EXPECT_TRUE(Exists(dir + file)) << file;
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\NEB\\2.0", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key != nullptr) {
        RegCloseKey(key);
    }
}

} // namespace
} // namespace nebcm::testing
