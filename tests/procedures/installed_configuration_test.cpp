// The installed configuration: finding it through the registry layout, its consistency check in
// order, loading it, the sizes of its files, and the same for a 1.0 installation.
#include <gtest/gtest.h>

#include <functional>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/installed_configuration.h"
#include "engine/registry.h"
#include "platform_fixture.h"

namespace nebcm::test {
namespace {

using Lines = std::vector<std::string>;

class InstalledConfigurationTest : public PlatformTest {
protected:
    void LayOutTwoExtensions() {
        LayOutPlatform(Section("Library:base", "1.00", {"lib/base.jar", "lib/native/base.dll"}) +
                       Section("Application:editor", "1.50",
                               {FileLine("apps/editor.exe", "Tools/Editor")}, {"Library=base"}));
    }
    Lines Check() {
        ErrorList errors;
        bool passed = CheckInstalledConfiguration(errors);
        EXPECT_EQ(passed, errors.Empty());
        return errors.Messages();
    }
    void SetValue(const char* name, const std::string& text) {
        ErrorList errors;
        ASSERT_TRUE(WriteRegistryString(PlatformKey(), name, text, nullptr, errors));
    }
};

TEST_F(InstalledConfigurationTest, AConsistentInstallationIsFoundCheckedAndLoadedUntouched) {
    EXPECT_FALSE(IsPlatformInstalled());
    LayOutTwoExtensions();
    const std::string tree = DescribeWithoutAccessTimes(WorkSnapshot());
    const std::string keys = Describe(KeySnapshot());

    EXPECT_TRUE(IsPlatformInstalled());
    std::string path;
    ASSERT_TRUE(ReadInstallationPath(path));
    EXPECT_EQ(path, Installation());
    EXPECT_EQ(Check(), Lines());

    ErrorList errors;
    std::unique_ptr<Configuration> configuration = LoadInstalledConfiguration(errors);
    ASSERT_TRUE(configuration);
    EXPECT_TRUE(errors.Empty());
    ASSERT_EQ(configuration->Count(), 3u);
    EXPECT_EQ(configuration->FindCore()->Base(), Installation());
    EXPECT_EQ(configuration->At(2).Name(), "editor");
    EXPECT_EQ(configuration->At(2).FileAt(0).Shortcut(), "Tools/Editor");

    EXPECT_EQ(tree, DescribeWithoutAccessTimes(WorkSnapshot()));
    EXPECT_EQ(keys, Describe(KeySnapshot()));
}

// Each of the first four kinds of problem ends the check with its one message.
TEST_F(InstalledConfigurationTest, RegistryDirectoryAndDatabaseProblemsEndTheCheckAtOnce) {
    struct Row {
        const char* what;
        std::function<void()> spoil;
        std::function<Lines()> expected;
        bool pathReadable;
    };
    const std::string db = Installation(ComponentDatabaseFile);
    const std::vector<Row> rows = {
        {"no platform key",
         [&] { DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\" + Platform20Key); },
         [&] { return Lines{Message(10005, PlatformKey())}; }, false},
        {"no installation path",
         [&] {
             ErrorList e;
             DeleteRegistryValue(PlatformKey(), InstallationPathValue, nullptr, e);
         },
         [&] { return Lines{Message(10009, InstallationPathValue, PlatformKey())}; }, false},
        {"installation path of number type",
         [&] {
             DWORD number = 7;
             ErrorList e;
             WriteRegistryValue(PlatformKey(), InstallationPathValue, REG_DWORD, sizeof number,
                                &number, nullptr, e);
         },
         [&] { return Lines{Message(10009, InstallationPathValue, PlatformKey())}; }, false},
        {"no database value",
         [&] {
             ErrorList e;
             DeleteRegistryValue(PlatformKey(), ComponentDatabaseValue, nullptr, e);
         },
         [&] { return Lines{Message(10009, ComponentDatabaseValue, PlatformKey())}; }, true},
        {"installation directory missing",
         [&] { SetValue(InstallationPathValue, Work("NEB\\21")); },
         [&] { return Lines{Message(12103, Work("NEB\\21"))}; }, false},
        {"database missing", [&] { ::DeleteFileA(db.c_str()); },
         [&] { return Lines{Message(12102, db)}; }, true},
        {"database is a directory",
         [&] {
             ::DeleteFileA(db.c_str());
             ::CreateDirectoryA(db.c_str(), nullptr);
         },
         [&] { return Lines{Message(12102, db)}; }, true},
        {"database in a subdirectory",
         [&] {
             ::CreateDirectoryA(Installation("etc").c_str(), nullptr);
             ::MoveFileA(db.c_str(), Installation("etc\\neb.cdb").c_str());
             SetValue(ComponentDatabaseValue, Installation("etc\\neb.cdb"));
         },
         [&] { return Lines{Message(12100, Installation("etc\\neb.cdb"), Installation())}; }, true},
        {"database beside the directory",
         [&] {
             ::MoveFileA(db.c_str(), Work("NEB\\neb.cdb").c_str());
             SetValue(ComponentDatabaseValue, Work("NEB\\neb.cdb"));
         },
         [&] { return Lines{Message(12100, Work("NEB\\neb.cdb"), Installation())}; }, true},
        // The procedures would rewrite neb.cdb beside it and never read their own result.
        {"database under another name in the directory",
         [&] {
             ::MoveFileA(db.c_str(), Installation("old.cdb").c_str());
             SetValue(ComponentDatabaseValue, Installation("old.cdb"));
         },
         [&] { return Lines{Message(12100, Installation("old.cdb"), Installation())}; }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LayOutTwoExtensions();
        row.spoil();
        EXPECT_EQ(Check(), row.expected());
        std::string path;
        EXPECT_EQ(ReadInstallationPath(path), row.pathReadable);
        ErrorList errors;
        EXPECT_FALSE(LoadInstalledConfiguration(errors));
        EXPECT_EQ(errors.Messages(), row.expected());
        DeleteTreeRaw(Work("NEB"));
        DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_ + "\\" + Platform20Key);
    }
}

TEST_F(InstalledConfigurationTest, TheDatabaseDirectoryComparesWithoutRegardToLetterCase) {
    LayOutTwoExtensions();
    std::string lower = Installation(ComponentDatabaseFile);
    for (char& c : lower) {
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    }
    SetValue(ComponentDatabaseValue, lower);
    EXPECT_EQ(Check(), Lines());
}

TEST_F(InstalledConfigurationTest, ADatabaseThatCannotBeReadOrParsedFailsTheCheck) {
    LayOutTwoExtensions();
    const std::string db = Installation(ComponentDatabaseFile);
    {
        // Held open without sharing by another program.
        HANDLE held =
            ::CreateFileA(db.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Check(), Lines{Message(12101, db)});
        ErrorList errors;
        EXPECT_FALSE(LoadInstalledConfiguration(errors));
        EXPECT_EQ(errors.Messages(), Lines{Message(12101, db)});
        ::CloseHandle(held);
    }
    WriteBytes(db, CoreSection() + "[Library:x]\nVersion=one\n");
    Lines messages = Check();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].rfind(db + "(", 0), 0u) << messages[0];
}

TEST_F(InstalledConfigurationTest, EveryMissingFileIsReportedThenAMissingCore) {
    LayOutTwoExtensions();
    ::DeleteFileA(Installation("lib\\base.jar").c_str());
    ::DeleteFileA(Installation("apps\\editor.exe").c_str());
    EXPECT_EQ(Check(), (Lines{Message(12102, Installation("lib\\base.jar")),
                              Message(12102, Installation("apps\\editor.exe"))}));

    // The same database without its core section.
    std::string text = ReadBytes(Installation(ComponentDatabaseFile));
    WriteBytes(Installation(ComponentDatabaseFile), text.substr(text.find("[Library")));
    EXPECT_EQ(Check(), (Lines{Message(12102, Installation("lib\\base.jar")),
                              Message(12102, Installation("apps\\editor.exe")), Message(12047)}));
}

TEST_F(InstalledConfigurationTest, TheCoreBaseMustNameTheInstallationDirectoryInAnyLetterCase) {
    LayOutTwoExtensions();
    std::string text = ReadBytes(Installation(ComponentDatabaseFile));
    std::string base = "Base=" + Installation();
    std::size_t at = text.find(base);
    ASSERT_NE(at, std::string::npos);

    std::string upper = Installation();
    for (char& c : upper) {
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    }
    WriteBytes(Installation(ComponentDatabaseFile),
               text.substr(0, at) + "Base=" + upper + text.substr(at + base.size()));
    EXPECT_EQ(Check(), Lines());

    WriteBytes(Installation(ComponentDatabaseFile),
               text.substr(0, at) + "Base=C:\\Elsewhere" + text.substr(at + base.size()));
    EXPECT_EQ(Check(), Lines{Message(12048, "C:\\Elsewhere", Installation())});
}

TEST_F(InstalledConfigurationTest, FileSizesAreKeyedByRelativePathsWithSlashes) {
    EXPECT_TRUE(InstalledFileSizes().empty());
    LayOutTwoExtensions();
    WriteBytes(Installation("lib\\native\\base.dll"), std::string(5000, 'x'));
    FileSizeMap sizes = InstalledFileSizes();
    EXPECT_EQ(sizes.size(), 7u); // six files of the database and the database itself
    EXPECT_EQ(sizes.at("lib/native/base.dll"), 5000u);
    EXPECT_EQ(sizes.at("lib/base.jar"), std::string("installed lib/base.jar").size());
    EXPECT_EQ(sizes.count(ComponentDatabaseFile), 1u);
    EXPECT_EQ(sizes.count("bin/njava.exe"), 1u);
}

// An installation at the root of a drive keeps its database directly in the root. The test
// prefix's own drive C: serves, with a launcher name of this process that nothing else uses; the
// database has the one name the procedures write, which no other test puts there.
TEST_F(InstalledConfigurationTest, AnInstallationAtADriveRootPassesTheDatabasePlaceCheck) {
    const std::string unique = "nebcm-root-" + std::to_string(::GetCurrentProcessId());
    const std::string database = std::string("C:\\") + ComponentDatabaseFile;
    ASSERT_FALSE(PathExists(database));
    const std::string launcher = "C:\\" + unique + ".exe";
    WriteBytes(database, "[Core]\nVersion=2.00\nDescription=NEB Core\nCopyright=T\nFile=" + unique +
                             ".exe\nBase=C:\\\nJavaDispatcher=" + unique + ".exe\n");
    WriteBytes(launcher, "MZ");
    WriteRegistryLayout("C:\\", database);
    EXPECT_EQ(Check(), Lines());
    ::DeleteFileA(launcher.c_str());
    EXPECT_EQ(Check(), Lines{Message(12102, launcher)});
    ::DeleteFileA(database.c_str());
}

TEST_F(InstalledConfigurationTest, A10InstallationIsCheckedWithThe10ReaderAndWithoutItsBase) {
    const std::string key = Key() + "\\" + Platform10Key;
    const std::string dir = Work("NEB10");
    ::CreateDirectoryA(dir.c_str(), nullptr);
    WriteBytes(dir + "\\neb.cdb", "[Core]\nVersion=105\nDescription=NEB 1.0\nCopyright=T\n"
                                  "File=neb.exe\nBase=C:\\Somewhere\\Else\n\n"
                                  "[Library:base]\nVersion=120\nDescription=Base\nCopyright=T\n"
                                  "File=lib/base.zip\n");
    WriteBytes(dir + "\\neb.exe", "MZ");
    ::CreateDirectoryA((dir + "\\lib").c_str(), nullptr);
    WriteBytes(dir + "\\lib\\base.zip", "PK");
    EXPECT_FALSE(IsLegacyPlatformInstalled());
    ErrorList errors;
    ASSERT_TRUE(CreateRegistryKey(key, nullptr, errors));
    ASSERT_TRUE(WriteRegistryString(key, InstallationPathValue, dir, nullptr, errors));
    ASSERT_TRUE(
        WriteRegistryString(key, ComponentDatabaseValue, dir + "\\neb.cdb", nullptr, errors));

    EXPECT_TRUE(IsLegacyPlatformInstalled());
    EXPECT_FALSE(IsPlatformInstalled());
    std::string path;
    EXPECT_TRUE(ReadLegacyInstallationPath(path));
    EXPECT_EQ(path, dir);
    EXPECT_TRUE(CheckLegacyInstallation(errors));
    std::unique_ptr<Configuration> configuration = LoadLegacyConfiguration(errors);
    ASSERT_TRUE(configuration);
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(configuration->At(1).Version(), Version(1, 20));
    EXPECT_EQ(configuration->At(1).Package(), "NEB 1.0");

    ::DeleteFileA((dir + "\\lib\\base.zip").c_str());
    EXPECT_FALSE(CheckLegacyInstallation(errors));
    EXPECT_EQ(errors.Messages(), Lines{Message(12102, dir + "\\lib\\base.zip")});
    EXPECT_FALSE(LoadLegacyConfiguration(errors));
}

TEST_F(InstalledConfigurationTest, JavaSettingsAndWindowPositionReadWithTheirDefaults) {
    const std::string java = Key() + "\\" + Java20Key;
    JavaVmSettings none = ReadJavaVmSettings();
    EXPECT_EQ(none.type, JavaVmType::CustomCommandLine);
    EXPECT_EQ(none.sunExe, "");
    WindowPosition unset = ReadWindowPosition();
    EXPECT_EQ(unset.x, 64);
    EXPECT_EQ(unset.y, 64);

    ErrorList errors;
    ASSERT_TRUE(CreateRegistryKey(java, nullptr, errors));
    struct Row {
        const char* type;
        JavaVmType expected;
    } rows[] = {{"0", JavaVmType::Microsoft},
                {"1", JavaVmType::Sun},
                {"2", JavaVmType::CustomCommandLine},
                {"3", JavaVmType::CustomCommandLine},
                {"x", JavaVmType::CustomCommandLine}};
    for (const Row& row : rows) {
        ASSERT_TRUE(WriteRegistryString(java, JavaTypeValue, row.type, nullptr, errors));
        EXPECT_EQ(ReadJavaVmSettings().type, row.expected) << row.type;
    }
    ASSERT_TRUE(WriteRegistryString(java, JavaSunExeValue, "C:\\jdk\\java.exe", nullptr, errors));
    EXPECT_EQ(ReadJavaVmSettings().sunExe, "C:\\jdk\\java.exe");

    ASSERT_TRUE(WriteRegistryString(PlatformKey(), WindowXValue, "120px", nullptr, errors));
    ASSERT_TRUE(WriteRegistryString(PlatformKey(), WindowYValue, "top", nullptr, errors));
    WindowPosition position = ReadWindowPosition();
    EXPECT_EQ(position.x, 120);
    EXPECT_EQ(position.y, 0);
}

} // namespace
} // namespace nebcm::test
