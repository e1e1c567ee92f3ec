// Reading the 1.0 dialect: its version numbers, keys, dependency rules and section checks.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/legacy_component_database_reader.h"
#include "text_source.h"

namespace nebcm {
namespace {

using testing::TextSource;
using Lines = std::vector<std::string>;

struct ReadResult {
    std::unique_ptr<Configuration> configuration;
    Lines errors;
};

ReadResult ReadLegacy(const std::string& text, ReaderMode mode) {
    TextSource source(text);
    LegacyComponentDatabaseReader reader("old.cdb", source.Stream(), mode);
    ErrorList errors;
    ReadResult result;
    result.configuration = reader.Read(errors);
    result.errors = errors.Messages();
    return result;
}

TEST(LegacyVersionTest, OneNumberInHundredthsFromOneHundredOn) {
    struct Row {
        const char* text;
        int major, minor;
        std::size_t end;
    } rows[] = {
        {"105", 1, 5, 3}, {"7", 7, 0, 1},      {"99", 99, 0, 2},
        {"100", 1, 0, 3}, {"250", 2, 50, 3},   {"0", 0, 0, 1},
        {"1.5", 1, 0, 1}, {"0199-", 1, 99, 4}, {"2147483647", 21474836, 47, 10},
    };
    for (const Row& row : rows) {
        std::size_t pos = 0;
        std::optional<Version> version = ParseLegacyVersion(row.text, pos);
        ASSERT_TRUE(version) << row.text;
        EXPECT_EQ(*version, Version(row.major, row.minor)) << row.text;
        EXPECT_EQ(pos, row.end) << row.text;
    }
    for (const char* bad : {"", "x", "-1", " 1", "2147483648"}) {
        std::size_t pos = 0;
        EXPECT_FALSE(ParseLegacyVersion(bad, pos)) << bad;
    }
}

const char* const LegacyText = R"([Core]
Version=105
Description=NEB 1.0
Copyright=(c)
File=neb.exe
File=classes.zip;NEB/Classes
Base=C:\NEB

[Library:base]
Version=1
Description=Base
Copyright=(c)
File=lib/base.jar
ExternalLibrary=old;100-199;Old library

[Component:xml]
Version=250
Description=XML
Copyright=(c)
File=lib/xml.jar
Interface=neb.xml.Service
Library=base
ExternalComponent=svc;100-;Service

[Application:tool]
Version=300
Description=Tool
Copyright=(c)
File=tool.exe
Application=other
Component=xml
Library=base

[Application:other]
Version=300
Description=Other
Copyright=(c)
File=other.exe
ExternalApplication=viewer;-200;Viewer
)";

TEST(LegacyReaderTest, ReadsA10Database) {
    ReadResult result = ReadLegacy(LegacyText, ReaderMode::Distribution);
    EXPECT_EQ(result.errors, Lines());
    ASSERT_TRUE(result.configuration);
    const Configuration& config = *result.configuration;
    ASSERT_EQ(config.Count(), 5u);

    const Core* core = config.FindCore();
    ASSERT_TRUE(core);
    EXPECT_EQ(core->Version(), Version(1, 5));
    EXPECT_EQ(core->Base(), "C:\\NEB");
    EXPECT_EQ(core->JavaDispatcher(), "neb.exe");
    EXPECT_EQ(core->Package(), "System");
    EXPECT_EQ(core->FileAt(1).Shortcut(), "NEB/Classes");

    const Extension* base = config.FindExtension(ExtensionKind::Library, "base");
    ASSERT_TRUE(base);
    EXPECT_EQ(base->Version(), Version(1, 0));
    EXPECT_EQ(base->Package(), "NEB 1.0");
    EXPECT_EQ(base->ExternalAt(0).ToText(), "ExternalLibrary=old;1.00-1.99;Old library");

    const auto* xml =
        dynamic_cast<const Component*>(config.FindExtension(ExtensionKind::Component, "xml"));
    ASSERT_TRUE(xml);
    EXPECT_EQ(xml->Version(), Version(2, 50));
    EXPECT_EQ(xml->ServiceClass(), "neb.xml.Service");
    EXPECT_EQ(xml->ExternalAt(0).Requirement().Form(), RequirementForm::OrHigher);

    const Extension* tool = config.FindExtension(ExtensionKind::Application, "tool");
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->DependencyCount(), 3u); // an application may depend on anything
    EXPECT_EQ(config.FindExtension(ExtensionKind::Application, "other")->ExternalAt(0).ToText(),
              "ExternalApplication=viewer;-2.00;Viewer");
}

const std::string Library10 = "[Library:x]\nVersion=100\nDescription=d\nCopyright=c\nFile=f\n";
const std::string Component10 =
    "[Component:x]\nVersion=100\nDescription=d\nCopyright=c\nFile=f\nInterface=i\n";

struct Case {
    std::string text;
    Lines errors;
    ReaderMode mode = ReaderMode::Distribution;
};

TEST(LegacyReaderTest, Messages) {
    const std::string head = "Version=100\nDescription=d\nCopyright=c\n";
    const ReaderMode installed = ReaderMode::Installed;
    const std::vector<Case> cases = {
        {"[Library:x]\nVersion=1.5\nDescription=d\nCopyright=c\nFile=f\n",
         {"old.cdb(2) : Extra characters on line '.5'"}},
        {"[Library:x]\nVersion=v1\nDescription=d\n",
         {"old.cdb(2) : Invalid NEB extension version 'v1'",
          "old.cdb(3) : The version of the NEB extension 'x' is not specified"}},
        // Keys of the current dialect are unknown here, and there is no preprocessor.
        {Library10 + "Package=x\n", {"old.cdb(6) : Invalid setting 'Package=x'"}},
        {Library10 + "JavaDispatcher=f\n", {"old.cdb(6) : Invalid setting 'JavaDispatcher=f'"}},
        {Library10 + "ServiceClass=s\n", {"old.cdb(6) : Invalid setting 'ServiceClass=s'"}},
        {Library10 + "ExternalCore=100\n", {"old.cdb(6) : Invalid setting 'ExternalCore=100'"}},
        {Library10 + "#if A\n", {"old.cdb(6) : Invalid setting '#if A'"}},
        {Component10 + "Interface=j\n",
         {"old.cdb(7) : The service class of the component is specified more than once"}},
        {Library10 + "ExternalLibrary=y;1.00-;Y\n",
         {"old.cdb(6) : Invalid external dependency specification 'y;1.00-;Y'"}},
        // Dependencies 1.0 did not allow are reported where they stand and dropped.
        {Library10 + "Component=c\nApplication=a\nExternalComponent=c;1;C\n"
                     "ExternalApplication=bad value\nLibrary=x\n",
         {"old.cdb(6) : The NEB 1.0 does not allow libraries to depend upon components or "
          "applications",
          "old.cdb(7) : The NEB 1.0 does not allow libraries to depend upon components or "
          "applications",
          "old.cdb(8) : The NEB 1.0 does not allow libraries to depend upon components or "
          "applications",
          "old.cdb(9) : The NEB 1.0 does not allow libraries to depend upon components or "
          "applications"}},
        {Component10 + "Application=a\nExternalApplication=a;1;A\n",
         {"old.cdb(7) : The NEB 1.0 does not allow components to depend upon applications",
          "old.cdb(8) : The NEB 1.0 does not allow components to depend upon applications"}},
        // End-of-section checks.
        {"[Core]\n" + head + "File=neb.exe\n",
         {"old.cdb(5) : The NEB Core does not define the NEB base"}},
        {"[Core]\n" + head + "File=neb.exe\n",
         {"old.cdb(5) : The installed NEB configuration does not define the NEB base"},
         installed},
        {"[Core]\n" + head + "File=neb.exe\nBase=b\nLibrary=x\n",
         {"old.cdb(7) : The NEB Core cannot have any dependencies"}},
        {"[Core]\n" + head + "File=neb.exe\nBase=b\nInterface=i\n",
         {"old.cdb(7) : The service class can only be specified for components"}},
        {Library10 + "ExternalLibrary=y;100;Y\n",
         {"old.cdb(6) : The installed NEB configuration cannot have external dependencies"},
         installed},
        {Library10 + "Base=b\n",
         {"old.cdb(6) : The NEB 2.0 base can only be specified in [Core] section"}},
        {"[Component:x]\n" + head + "File=f\n",
         {"old.cdb(5) : The component service class specification is missing"}},
        {"[Application:x]\n" + head + "File=f\nInterface=i\n",
         {"old.cdb(6) : The service class can only be specified for components"}},
        {"[Library:x]\nCopyright=c\n" + Library10,
         {"old.cdb(3) : The version of the NEB extension 'x' is not specified"}},
    };
    for (const Case& c : cases) {
        ReadResult result = ReadLegacy(c.text, c.mode);
        EXPECT_EQ(result.errors, c.errors) << c.text;
        EXPECT_FALSE(result.configuration) << c.text;
    }
}

TEST(LegacyReaderTest, DroppedReferencesAreNotKept) {
    // The read fails, but the library that was built has no dependency on the component.
    TextSource source(Library10 + "Component=c\n");
    LegacyComponentDatabaseReader reader("old.cdb", source.Stream(), ReaderMode::Installed);
    ErrorList errors;
    EXPECT_FALSE(reader.Read(errors));
    EXPECT_EQ(errors.Count(), 1u); // no "undefined component" from the checks either
}

} // namespace
} // namespace nebcm
