// The path rule against what a hostile database would write, the identity of paths on the file
// system, and the files that only the platform may bring.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "common/messages.h"
#include "model/component_database_reader.h"
#include "model/extension.h"
#include "model/legacy_component_database_reader.h"
#include "model/path_rules.h"
#include "text_source.h"

namespace nebcm {
namespace {

TEST(PathRules, NamesTheSystemRewritesOrTreatsSpeciallyAreRefused) {
    struct Case {
        const char* family;
        std::vector<std::string> paths;
    };
    const Case refused[] = {
        {"dots and blanks only", {"...", "lib/.../x", ". .", " ", "a/ /b", "....", ". ./x"}},
        {"trailing dot or blank",
         {"lib/xml.jar.", "lib./xml.jar", "lib/xml.jar ", "lib /xml.jar", "a.. ", "x. ."}},
        {"device names",
         {"con", "PRN", "Aux", "nUl", "CONIN$", "conout$", "lib/NUL", "lib/nul/x.jar"}},
        {"device names with an extension",
         {"aux.c", "con.txt", "NUL.tar.gz", "lib/prn.jar", "conin$.log", "com1.a.b"}},
        {"blanks before the extension", {"con .txt", "aux  .c", "lpt1 .x"}},
        {"numbered ports", {"com0", "COM1", "com9", "Lpt0", "lpt9.txt", "lib/LPT5"}},
        {"superscript ports", {"com\xb9", "COM\xb2", "lpt\xb3", "lpt\xb9.txt", "lib/com\xb2.x"}},
        {"short-name aliases", {"PROGRA~1", "lib/XMLPAR~1.JAR", "a~12.x", "neb/CO~1/x"}},
        {"colon and streams", {"a:b", "lib/x.jar:evil", "x.jar::$DATA", "c:/x", ":"}},
        {"control characters",
         {std::string("a\x01", 2), std::string("lib/\x1f.jar", 9), std::string("a\tb"),
          std::string("a\nb"), std::string("\x7f\x01", 2)}},
    };
    for (const Case& c : refused) {
        for (const std::string& path : c.paths) {
            EXPECT_FALSE(IsValidRelativePath(path)) << c.family << ": " << path;
            EXPECT_FALSE(IsValidPackageName(path)) << c.family << ": " << path;
        }
    }

    const std::vector<std::string> accepted = {
        std::string(255, 'x'),
        "d/" + std::string(250, 'y') + ".jar",
        "a.b.c",
        ".hidden",
        "lib/.x.jar",
        "con2.txt",
        "console.txt",
        "auxiliary",
        "nul_device",
        "com10",
        "lpt",
        "com",
        "conin",
        "conout$x",
        "coma.txt",
        "my con.txt",
        " con",
        "x.con",
        "lib/a.con.jar",
        "~1",
        "~backup",
        "a~b.txt",
        "LONGNAME9~1",
        "abc~1.java",
        "x~1y",
        "tilde~",
        "com\xb4",
        "\xe9t\xe9/caf\xe9.jar",
        "a b/c d.e",
        "x..y",
        "neb/core2/x",
    };
    for (const std::string& path : accepted) {
        EXPECT_TRUE(IsValidRelativePath(path)) << path;
        EXPECT_TRUE(IsValidPackageName(path)) << path;
    }
    EXPECT_FALSE(IsValidRelativePath(std::string(256, 'x')));
}

TEST(PathRules, IdentityFoldsAsTheFileSystemDoes) {
    struct Case {
        std::string path;
        std::string identity;
    };
    const Case cases[] = {
        {"Lib/XML.Jar", "lib/xml.jar"},
        // Western accented capitals and the four capitals outside that row.
        {"\xc0\xc9\xd6\xd8\xde", "\xe0\xe9\xf6\xf8\xfe"},
        {"\x8a\x8c\x8e\x9f", "\x9a\x9c\x9e\xff"},
        // The multiplication sign, the sharp s and lower-case letters stay as they are.
        {"\xd7\xdf\xf7\xe9", "\xd7\xdf\xf7\xe9"},
        {"[@]^_`{", "[@]^_`{"},
        // Trailing dots and blanks are dropped from every segment, as Windows does.
        {"lib./xml.jar.", "lib/xml.jar"},
        {"lib /xml.jar . ", "lib/xml.jar"},
        {".../x", "/x"},
        {".hidden/a.b", ".hidden/a.b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathIdentity(c.path), c.identity) << c.path;
    }
    EXPECT_TRUE(SamePath("lib/xml.jar", "LIB/XML.JAR."));
    EXPECT_TRUE(SamePath("Caf\xc9.jar", "caf\xe9.jar"));
    EXPECT_FALSE(SamePath("lib/xml.jar", "lib/xml.jar2"));
    EXPECT_FALSE(SamePath("a\xd7", "a\xf7"));
}

TEST(PathRules, PlatformOwnedPaths) {
    for (const char* owned :
         {"NebCM.exe", "nebcm.EXE", "NebCM.hlp", "NebCM.cnt", "nebcm.gid", "NEB.ico", "neb.cdb",
          "NEB.CDB.", "njava.exe", "NJava.exe", "neb/core", "NEB/Core/x.class", "neb/core/a/b",
          "NebCM.exe/x", "neb.cdb/evil"}) {
        EXPECT_TRUE(IsPlatformOwnedPath(owned)) << owned;
    }
    for (const char* free : {"lib/NebCM.exe", "neb/corex", "neb/xml/core.jar", "neb.cdb2",
                             "bin/njava.exe", "xneb.ico", "neb"}) {
        EXPECT_FALSE(IsPlatformOwnedPath(free)) << free;
    }
}

std::unique_ptr<Extension> Lib(const std::string& name, std::vector<std::string> paths) {
    FileList files;
    for (const std::string& p : paths) {
        files.push_back(std::make_unique<ExtensionFile>(p, ""));
    }
    return std::make_unique<Library>(name, Version(1, 0), "d", "c", "neb/" + name, std::move(files),
                                     DependencyList(), ExternalList());
}

std::unique_ptr<Extension> CoreWith(std::vector<std::string> paths) {
    FileList files;
    for (const std::string& p : paths) {
        files.push_back(std::make_unique<ExtensionFile>(p, ""));
    }
    return std::make_unique<Core>(Version(2, 0), "NEB Core", "(c)", std::move(files), "C:\\NEB",
                                  "njava.exe");
}

Configuration Config(std::vector<std::unique_ptr<Extension>> list) {
    ExtensionList extensions;
    for (auto& e : list) {
        extensions.push_back(std::move(e));
    }
    return Configuration(std::move(extensions));
}

TEST(PathRules, ExtensionsCannotBringThePlatformsFiles) {
    std::vector<std::unique_ptr<Extension>> offered;
    offered.push_back(CoreWith({"njava.exe", "neb/core/Boot.class", "lib/rt.jar"}));
    offered.push_back(
        Lib("evil", {"NJAVA.EXE", "neb/Core/x.class", "Lib/RT.jar", "NEB.ico", "ok.jar"}));
    offered.push_back(Lib("twice", {"nebcm.exe", "NebCM.exe."}));
    offered.push_back(Lib("fine", {"lib/fine.jar"}));
    std::vector<std::unique_ptr<Extension>> installedList;
    installedList.push_back(CoreWith({"njava.exe", "lib/tools.jar"}));
    const Configuration installed = Config(std::move(installedList));
    const Configuration config = Config(std::move(offered));

    ErrorList errors;
    EXPECT_FALSE(CheckPlatformFiles(config, &installed, errors));
    EXPECT_EQ(errors.Messages(), (std::vector<std::string>{
                                     Message(13000, "evil", "NJAVA.EXE"),
                                     Message(13000, "evil", "neb/Core/x.class"),
                                     Message(13000, "evil", "Lib/RT.jar"),
                                     Message(13000, "evil", "NEB.ico"),
                                     Message(13000, "twice", "nebcm.exe"),
                                 }));

    // The installed core's files are the core's too, even when the set brings no core.
    std::vector<std::unique_ptr<Extension>> alone;
    alone.push_back(Lib("tools", {"LIB/tools.jar", "lib/other.jar"}));
    ErrorList againstInstalled;
    EXPECT_FALSE(CheckPlatformFiles(Config(std::move(alone)), &installed, againstInstalled));
    EXPECT_EQ(againstInstalled.Messages(),
              (std::vector<std::string>{Message(13000, "tools", "LIB/tools.jar")}));

    // A core brings the launcher and neb/core, but never the configuration manager's files.
    std::vector<std::unique_ptr<Extension>> cores;
    cores.push_back(CoreWith({"njava.exe", "neb/core/a", "NEB.ico", "neb.cdb"}));
    ErrorList coreErrors;
    EXPECT_FALSE(CheckPlatformFiles(Config(std::move(cores)), nullptr, coreErrors));
    EXPECT_EQ(coreErrors.Messages(), (std::vector<std::string>{Message(13000, "Core", "NEB.ico"),
                                                               Message(13000, "Core", "neb.cdb")}));

    std::vector<std::unique_ptr<Extension>> benign;
    benign.push_back(CoreWith({"njava.exe", "neb/core/a"}));
    benign.push_back(Lib("xml", {"lib/xml.jar", "neb/xml/core.jar"}));
    ErrorList none;
    EXPECT_TRUE(CheckPlatformFiles(Config(std::move(benign)), &installed, none));
    EXPECT_TRUE(none.Empty());
}

// A distribution database offers shortcuts to be made; an installed one holds what was made.
TEST(PathRules, ShortcutsOfOfferedDatabasesFollowThePathRule) {
    const std::string header = "[Library:x]\nVersion=1.00\nDescription=d\nCopyright=c\n"
                               "Package=p\nFile=lib/y.jar\n";
    struct Case {
        std::string shortcut;
        bool valid;
    };
    const Case cases[] = {{"Tools/XML", true},         {"NEB/Tools/XML Editor", true},
                          {".../Startup/evil", false}, {"../../Startup/evil", false},
                          {"Tools/con", false},        {"Tools./XML", false},
                          {"Tools\\XML", false},       {"C:/evil", false}};
    for (const Case& c : cases) {
        const std::string text = header + "File=lib/x.jar;" + c.shortcut + "\n";
        for (const ReaderMode mode : {ReaderMode::Distribution, ReaderMode::Installed}) {
            testing::TextSource current(text);
            ErrorList errors;
            std::unique_ptr<Configuration> read =
                ComponentDatabaseReader("db.cdb", current.Stream(), mode).Read(errors);
            const bool expectValid = c.valid || mode == ReaderMode::Installed;
            EXPECT_EQ(read != nullptr, expectValid) << c.shortcut;
            if (!expectValid) {
                EXPECT_EQ(errors.Messages(),
                          (std::vector<std::string>{"db.cdb(7) : " + Message(12010, c.shortcut)}));
            }
        }
        // The 1.0 dialect, read from a set.
        testing::TextSource legacy("[Library:x]\nVersion=100\nDescription=d\nCopyright=c\n"
                                   "File=lib/y.jar\nFile=lib/x.jar;" +
                                   c.shortcut + "\n");
        ErrorList errors;
        EXPECT_EQ(LegacyComponentDatabaseReader("db.cdb", legacy.Stream(), ReaderMode::Distribution)
                          .Read(errors) != nullptr,
                  c.valid)
            << c.shortcut;
    }
}

} // namespace
} // namespace nebcm
