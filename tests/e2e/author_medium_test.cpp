// A medium that "nebpack medium" made of an author's own set (tests/data/author-set), end to end
// in a Wine prefix of its own: setup.exe starts the manager, the core goes in, and the installed
// copy installs the author's extensions with the files for this Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <string>

#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

TEST(AuthorMedium, InstallsTheCoreThenTheAuthorsExtensions) {
    ASSERT_EQ(ReadWholeFile("C:\\medium\\setup.inf"), "author.nds\r\n")
        << "the medium in this prefix is not the one nebpack made of the author's set";
    ChildProcess setup;
    ASSERT_TRUE(setup.Start("C:\\medium\\setup.exe"));

    HWND wizard = WaitForTitle("NEB 2.0 - Select installation directory");
    ASSERT_NE(wizard, nullptr) << "no core installation wizard";
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND question = WaitForTitle("NEB 2.0 Configuration Manager");
    ASSERT_NE(question, nullptr) << "no question about the new directory";
    PressButton(question, 1007);

    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 90000);
    ASSERT_NE(selection, nullptr) << "the installed copy did not open the author's set";
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND complete = WaitForTitle("Installation complete", 90000);
    ASSERT_NE(complete, nullptr) << "no completion report";
    EXPECT_NE(StaticTexts(complete).find("2 NEB Extension(s) have been successfully installed."),
              std::string::npos)
        << StaticTexts(complete);
    PressButton(complete, IDOK);
    EXPECT_TRUE(WaitUntilGone(complete));

    // The NT family's branch of the database, as Wine reports an NT version.
    const std::string dir = "C:\\Program Files\\NEB\\20\\";
    EXPECT_EQ(ReadWholeFile(dir + "lib\\greeting-nt.dll"), "greeting for the NT family\n");
    EXPECT_FALSE(Exists(dir + "lib\\greeting-9x.dll"));
    EXPECT_EQ(ReadWholeFile(dir + "lib\\greeting.jar"), "greeting library\n");
    EXPECT_EQ(ReadWholeFile(dir + "apps\\hello\\hello.jar"), "hello application\n");
    EXPECT_TRUE(Exists(dir + "apps\\hello\\readme.txt"));
    const std::string database = ReadWholeFile(dir + "neb.cdb");
    EXPECT_NE(database.find("[Application:hello]"), std::string::npos) << database;
    EXPECT_NE(database.find("[Library:greeting]"), std::string::npos) << database;
}

} // namespace
} // namespace nebcm::testing
