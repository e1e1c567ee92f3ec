// Reading component database text: the configuration built, and every message with its location.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/component_database_reader.h"
#include "model/component_database_writer.h"
#include "text_source.h"

namespace nebcm {
namespace {

using testing::TextSource;
using Lines = std::vector<std::string>;

struct ReadResult {
    std::unique_ptr<Configuration> configuration;
    Lines errors;
};

ReadResult ReadText(const std::string& text, ReaderMode mode,
                    const PlatformSymbols& symbols = PlatformSymbols()) {
    TextSource source(text);
    ComponentDatabaseReader reader("db.cdb", source.Stream(), mode, symbols);
    ErrorList errors;
    ReadResult result;
    result.configuration = reader.Read(errors);
    result.errors = errors.Messages();
    return result;
}

const char* const DistributionText = R"(; a distribution set
[Core]
Version=2.00
Description=NEB Core
Copyright=(c) Tessaly
File=bin/njava.exe
File=lib/core.jar;NEB/Core Docs
JavaDispatcher=bin/njava.exe

  [Library:base]
Version=1.05
Description=Base library
Copyright=(c)
Package=neb/base
File=lib/base.jar

[ component : xml ]
version = 1.5
DESCRIPTION=XML = parsing; fast
Copyright=(c)
Package=neb/xml
File = lib/xml.jar ; Tools/XML
ServiceClass=neb.xml.Service
Library=base
externalLibrary=ext;1.00-;External support; v2
ExternalApplication=viewer;-3.00;Viewer
#if WinXP
File=lib/xp.jar
#else
File=lib/other.jar
#endif

[Application:tool:v2]
Version=10.40
Description=Tool
Copyright=(c)
Package=neb/tool
File=bin/tool.exe
Component=xml
ExternalComponent=svc;1.00-2.00;Service
)";

TEST(ComponentDatabaseReaderTest, ReadsADistributionDatabase) {
    ReadResult result = ReadText(DistributionText, ReaderMode::Distribution, {"WinXP"});
    EXPECT_EQ(result.errors, Lines());
    ASSERT_TRUE(result.configuration);
    const Configuration& config = *result.configuration;
    ASSERT_EQ(config.Count(), 4u);

    const Core* core = config.FindCore();
    ASSERT_TRUE(core);
    EXPECT_EQ(core->Name(), "Core");
    EXPECT_EQ(core->Package(), "System");
    EXPECT_EQ(core->Version(), Version(2, 0));
    EXPECT_EQ(core->Copyright(), "(c) Tessaly");
    EXPECT_EQ(core->Base(), "");
    EXPECT_EQ(core->JavaDispatcher(), "bin/njava.exe");
    ASSERT_EQ(core->FileCount(), 2u);
    EXPECT_EQ(core->FileAt(1).Path(), "lib/core.jar");
    EXPECT_EQ(core->FileAt(1).Shortcut(), "NEB/Core Docs");

    const auto* xml =
        dynamic_cast<const Component*>(config.FindExtension(ExtensionKind::Component, "xml"));
    ASSERT_TRUE(xml);
    EXPECT_EQ(xml->Version(), Version(1, 5));
    EXPECT_EQ(xml->Description(), "XML = parsing; fast");
    EXPECT_EQ(xml->Package(), "neb/xml");
    EXPECT_EQ(xml->ServiceClass(), "neb.xml.Service");
    ASSERT_EQ(xml->FileCount(), 2u);
    EXPECT_EQ(xml->FileAt(0).Path(), "lib/xml.jar");
    EXPECT_EQ(xml->FileAt(0).Shortcut(), "Tools/XML");
    EXPECT_EQ(xml->FileAt(1).Path(), "lib/xp.jar");
    EXPECT_EQ(xml->FileAt(1).Shortcut(), "");
    ASSERT_EQ(xml->DependencyCount(), 1u);
    EXPECT_EQ(xml->DependencyAt(0).ToText(), "Library=base");
    ASSERT_EQ(xml->ExternalCount(), 2u);
    EXPECT_EQ(xml->ExternalAt(0).ToText(), "ExternalLibrary=ext;1.00-;External support; v2");
    EXPECT_EQ(xml->ExternalAt(1).ToText(), "ExternalApplication=viewer;-3.00;Viewer");

    const Extension* tool = config.FindExtension(ExtensionKind::Application, "tool:v2");
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->Version().ToText(), "10.40");
    EXPECT_EQ(tool->DependencyAt(0).ToText(), "Component=xml");
    EXPECT_EQ(tool->ExternalAt(0).Requirement().Form(), RequirementForm::Range);
    EXPECT_EQ(config.At(1).Name(), "base"); // database order is kept
}

TEST(ComponentDatabaseReaderTest, OtherSymbolsChooseOtherLines) {
    ReadResult result = ReadText(DistributionText, ReaderMode::Distribution, PlatformSymbols());
    ASSERT_TRUE(result.configuration);
    const Extension* xml = result.configuration->FindExtension(ExtensionKind::Component, "xml");
    ASSERT_TRUE(xml);
    EXPECT_EQ(xml->FileAt(1).Path(), "lib/other.jar");
}

TEST(ComponentDatabaseReaderTest, ReadsAnInstalledDatabase) {
    ReadResult result = ReadText("[core]\r\nVersion=2.00\r\nDescription=Core\r\nCopyright=c\r\n"
                                 "File=njava.exe\r\nBase = C:\\Program Files\\NEB\\20 \r\n"
                                 "JavaDispatcher=njava.exe\r\n",
                                 ReaderMode::Installed);
    EXPECT_EQ(result.errors, Lines());
    ASSERT_TRUE(result.configuration);
    EXPECT_EQ(result.configuration->FindCore()->Base(), "C:\\Program Files\\NEB\\20");
}

// Collects the bytes the writer produces.
class MemoryOutput : public DataOutputStream {
public:
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override {}
    void Write(std::uint8_t b) override { bytes.push_back(static_cast<char>(b)); }
    void Write(const std::uint8_t* buffer, std::uint32_t n) override {
        bytes.append(reinterpret_cast<const char*>(buffer), n);
    }
    std::string bytes;
};

TEST(ComponentDatabaseReaderTest, WhatTheWriterStoresReadsBackUnchanged) {
    const std::string stored =
        "[Core]\r\nVersion=2.00\r\nDescription=NEB Core\r\n"
        "Copyright=(c) a=b; c\r\nFile=bin/njava.exe\r\n"
        "File=NEB.ico;NEB 2.0/Uninstall NEB\r\n"
        "Base=C:\\Program Files\\NEB\\20\r\nJavaDispatcher=bin/njava.exe\r\n\r\n"
        "[Component:xml]\r\nVersion=1.05\r\nDescription=XML; parser\r\n"
        "Copyright=c\r\nFile=lib/xml.jar;Tools/XML\r\n"
        "ServiceClass=neb.xml.Service\r\nPackage=neb/xml\r\n"
        "Library=base\r\n\r\n"
        "[Library:base]\r\nVersion=10.40\r\nDescription=Base\r\n"
        "Copyright=c\r\nFile=lib/base.jar\r\nPackage=neb\r\n\r\n";
    ReadResult result = ReadText(stored, ReaderMode::Installed);
    EXPECT_EQ(result.errors, Lines());
    ASSERT_TRUE(result.configuration);
    MemoryOutput memory;
    TextWriter text(memory);
    ComponentDatabaseWriter::Write(*result.configuration, text);
    EXPECT_EQ(memory.bytes, stored);
}

TEST(ComponentDatabaseReaderTest, EmptyTextsGiveAnEmptyConfiguration) {
    for (const char* text : {"", "\n\n", "; only a comment\n   ; another\n\t\n"}) {
        for (ReaderMode mode : {ReaderMode::Distribution, ReaderMode::Installed}) {
            ReadResult result = ReadText(text, mode);
            EXPECT_EQ(result.errors, Lines()) << text;
            ASSERT_TRUE(result.configuration) << text;
            EXPECT_EQ(result.configuration->Count(), 0u);
        }
    }
}

// A library section that passes every check, to be completed or spoiled by each case.
const std::string Library = "[Library:x]\nVersion=1.00\nDescription=d\nCopyright=c\n"
                            "Package=p\nFile=f\n"; // lines 1 to 6

struct Case {
    std::string text;
    Lines errors;
    ReaderMode mode = ReaderMode::Distribution;
};

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        ReadResult result = ReadText(c.text, c.mode);
        EXPECT_EQ(result.errors, c.errors) << c.text;
        EXPECT_FALSE(result.configuration) << c.text;
    }
}

TEST(ComponentDatabaseReaderTest, SectionHeaders) {
    ReadResult spaced = ReadText("[ library : xml ]\nVersion=1.00\nDescription=d\nCopyright=c\n"
                                 "Package=p\nFile=f\n",
                                 ReaderMode::Installed);
    ASSERT_TRUE(spaced.configuration);
    EXPECT_EQ(spaced.configuration->At(0).Kind(), ExtensionKind::Library);
    EXPECT_EQ(spaced.configuration->At(0).Name(), "xml");

    Check({
        {"[Core:x]\n", {"db.cdb(1) : The NEB extension stereotype 'Core' is invalid"}},
        {"[Library]\n", {"db.cdb(1) : The NEB extension stereotype 'Library' is invalid"}},
        {"[ Library : ]\n", {"db.cdb(1) : The name of the NEB extension is missing"}},
        {"[Lib:x]\n", {"db.cdb(1) : The NEB extension stereotype 'Lib' is invalid"}},
        {"[]\n", {"db.cdb(1) : The NEB extension stereotype '' is invalid"}},
        {"Version=1.00\n" + Library,
         {"db.cdb(1) : Section header extected, found 'Version=1.00' instead"}},
        // After a rejected header every line up to the next header is a stray line.
        {"[Foo:x]\nVersion=1.00\n\n  Description=d\nCopyright=c\n",
         {"db.cdb(1) : The NEB extension stereotype 'Foo' is invalid",
          "db.cdb(2) : Section header extected, found 'Version=1.00' instead",
          "db.cdb(4) : Section header extected, found 'Description=d' instead",
          "db.cdb(5) : Section header extected, found 'Copyright=c' instead"}},
        // A line that opens a bracket ends the section, whose checks then run at that line.
        {"[Library:x]\nVersion=1.00\n[Library:y\nDescription=d\n",
         {"db.cdb(3) : The description of the NEB extension 'x' is not specified",
          "db.cdb(3) : Section header extected, found '[Library:y' instead",
          "db.cdb(4) : Section header extected, found 'Description=d' instead"}},
        // In the installed database '#' lines are no directives.
        {"#if A\n" + Library + "#endif\n",
         {"db.cdb(1) : Section header extected, found '#if A' instead",
          "db.cdb(8) : Invalid setting '#endif'"},
         ReaderMode::Installed},
    });
}

TEST(ComponentDatabaseReaderTest, SettingErrorsSkipOnlyTheirLine) {
    Check({
        {Library + "Description=\n", {"db.cdb(7) : Invalid setting 'Description='"}},
        {Library + " = x\n", {"db.cdb(7) : Invalid setting '= x'"}},
        {Library + "just text\n", {"db.cdb(7) : Invalid setting 'just text'"}},
        {Library + "Unknown=1\n", {"db.cdb(7) : Invalid setting 'Unknown=1'"}},
        {Library + "Version=2.00\n",
         {"db.cdb(7) : The version of the NEB extension is specified more than once"}},
        {Library + "Description=e\n",
         {"db.cdb(7) : The description of the NEB extension is specified more than once"}},
        {Library + "Copyright=e\n",
         {"db.cdb(7) : The copyright of the NEB extension is specified more than once"}},
        {Library + "Package=q\n",
         {"db.cdb(7) : The package of the NEB extension is specified more than once"}},
        {Library + "File=lib\\a.jar\n", {"db.cdb(7) : Invalid file name 'lib\\a.jar'"}},
        {Library + "File= ; Tools/A\n", {"db.cdb(7) : Invalid file name ''"}},
        {Library + "ExternalLibrary=xml;1.00\n",
         {"db.cdb(7) : Invalid external dependency specification 'xml;1.00'"}},
        {Library + "ExternalLibrary=;1.00;X\n",
         {"db.cdb(7) : Invalid external dependency specification ';1.00;X'"}},
        {Library + "ExternalLibrary=xml; 1.00 - ;X\n",
         {"db.cdb(7) : Invalid external dependency specification 'xml; 1.00 - ;X'"}},
        {Library + "ExternalComponent=xml;2.00-1.00;X\n",
         {"db.cdb(7) : Invalid external dependency specification 'xml;2.00-1.00;X'"}},
        {Library + "ExternalComponent=xml;1.00-x;X\n",
         {"db.cdb(7) : Invalid external dependency specification 'xml;1.00-x;X'"}},
        {Library + "ExternalApplication=xml;1.00;\n",
         {"db.cdb(7) : Invalid external dependency specification 'xml;1.00;'"}},
        {Library + "ExternalCore=1.00;x\n",
         {"db.cdb(7) : Invalid external dependency specification '1.00;x'"}},
        {Library + "ExternalCore=-\n",
         {"db.cdb(7) : Invalid external dependency specification '-'"}},
        {"[Component:c]\nVersion=1.00\nDescription=d\nCopyright=c\nPackage=p\nFile=f\n"
         "ServiceClass=a\nServiceClass=b\n",
         {"db.cdb(8) : The service class of the component is specified more than once"}},
        {"[Core]\nVersion=1.00\nDescription=d\nCopyright=c\nFile=f\nJavaDispatcher=f\n"
         "JavaDispatcher=f\nBase=b\nBase=b\n",
         {"db.cdb(7) : The Java dispatrcher is specified more than once",
          "db.cdb(9) : The NEB base is specified more than once"},
         ReaderMode::Installed},
    });
}

TEST(ComponentDatabaseReaderTest, Versions) {
    ReadResult lower = ReadText("[Library:x]\nversion=1.5\nDescription=d\nCopyright=c\n"
                                "Package=p\nFile=f\n",
                                ReaderMode::Distribution);
    ASSERT_TRUE(lower.configuration);
    EXPECT_EQ(lower.configuration->At(0).Version().ToText(), "1.05");

    Check({
        // Characters behind a valid version are reported; the version stands.
        {"[Library:x]\nVersion=1.05b\nDescription=d\nCopyright=c\nPackage=p\nFile=f\n",
         {"db.cdb(2) : Extra characters on line 'b'"}},
        // A rejected version leaves the section without one.
        {"[Library:x]\nVersion=0.5\nDescription=d\nCopyright=c\nPackage=p\nFile=f\n",
         {"db.cdb(2) : Invalid NEB extension version '0.5'",
          "db.cdb(6) : The version of the NEB extension 'x' is not specified"}},
        {"[Library:x]\nVersion=x\nVersion=1.00\nDescription=d\nCopyright=c\nPackage=p\n"
         "File=f\nVersion=1.00 \n",
         {"db.cdb(2) : Invalid NEB extension version 'x'",
          "db.cdb(8) : The version of the NEB extension is specified more than once"}},
    });
}

TEST(ComponentDatabaseReaderTest, DotSegmentsAreNoValidNames) {
    Check({
        {Library + "File=../outside.exe\n", {"db.cdb(7) : Invalid file name '../outside.exe'"}},
        {Library + "File=lib/./a.jar\n", {"db.cdb(7) : Invalid file name 'lib/./a.jar'"}},
        {Library + "File=lib/..\n", {"db.cdb(7) : Invalid file name 'lib/..'"}},
        {"[Library:x]\nVersion=1.00\nDescription=d\nCopyright=c\nPackage=neb/..\nFile=f\n",
         {"db.cdb(5) : Invalid package name 'neb/..'", "Invalid package name 'neb/..'"}},
        {"[Library:x]\nVersion=1.00\nDescription=d\nCopyright=c\nPackage=.\nFile=f\n",
         {"db.cdb(5) : Invalid package name '.'", "Invalid package name '.'"}},
    });
}

TEST(ComponentDatabaseReaderTest, EndOfSectionChecks) {
    const std::string head = "Version=1.00\nDescription=d\nCopyright=c\n"; // 3 lines
    const std::string core = "[Core]\n" + head + "File=bin/j.exe\nJavaDispatcher=bin/j.exe\n";
    const ReaderMode installed = ReaderMode::Installed;
    Check({
        // The first failing check is the only one reported.
        {"[Library:x]\nPackage=p\n",
         {"db.cdb(2) : The version of the NEB extension 'x' is not specified"}},
        {"[Library:x]\nVersion=1.00\nCopyright=c\n",
         {"db.cdb(3) : The description of the NEB extension 'x' is not specified"}},
        {"[Library:x]\nVersion=1.00\nDescription=d\n",
         {"db.cdb(3) : The copyright of the NEB extension 'x' is not specified"}},
        {"[Application:x]\n" + head,
         {"db.cdb(4) : The package of the NEB extension 'x' is not specified"}},
        {"[Core]\nDescription=d\n",
         {"db.cdb(2) : The version of the NEB extension 'Core' is not specified"}},
        {core + "Package=p\n", {"db.cdb(7) : The package of the NEB Core cannot be specified"}},
        {core + "Library=x\n", {"db.cdb(7) : The NEB Core cannot have any dependencies"}},
        {core + "ExternalCore=1.00\n", {"db.cdb(7) : The NEB Core cannot have any dependencies"}},
        {Library + "ExternalLibrary=y;1.00;Y\n",
         {"db.cdb(7) : The installed NEB configuration cannot have external dependencies"},
         installed},
        {Library + "Base=b\n",
         {"db.cdb(7) : The NEB 2.0 base can only be specified in [Core] section"}},
        {Library + "JavaDispatcher=f\n",
         {"db.cdb(7) : The NEB 2.0 Java dispatcher can only be specified in [Core] section"}},
        {"[Component:x]\n" + head + "Package=p\nFile=f\n",
         {"db.cdb(6) : The component service class specification is missing"}},
        {Library + "ServiceClass=s\n",
         {"db.cdb(7) : The service class can only be specified for components"}},
        {"[Application:x]\n" + head + "Package=p\nFile=f\nServiceClass=s\n",
         {"db.cdb(7) : The service class can only be specified for components"}},
        {core + "Base=b\n",
         {"db.cdb(7) : The NEB 2.0 base cannot be specified in distribution sets"}},
        {core,
         {"db.cdb(6) : The installed NEB configuration does not define the NEB base"},
         installed},
        {"[Core]\n" + head + "File=f\nBase=b\n",
         {"db.cdb(6) : The Java dispatcher specification is missing"},
         installed},
        {"[Core]\n" + head + "File=bin/J.exe\nJavaDispatcher=bin/j.exe\n" + Library,
         {"db.cdb(7) : The Java dispatcher 'bin/j.exe' does not belong to the NEB Core"}},
        {"[Core]\n" + head +
             "JavaDispatcher=f\n[Library:x]\nVersion=1.00\nDescription=d\n"
             "Copyright=c\nPackage=p\nFile=f\n",
         {"db.cdb(6) : The Java dispatcher 'f' does not belong to the NEB Core"}},
        {core + "ServiceClass=s\n",
         {"db.cdb(7) : The service class can only be specified for components"}},
    });
}

TEST(ComponentDatabaseReaderTest, MessagesOfPreprocessorAndReaderTogether) {
    // The reader's own messages come first, then the preprocessor's; dropped and directive
    // lines count for the line numbers.
    ReadResult result =
        ReadText("#if\n#endif\n#if X\nstray\n#endif\nstray\n#foo\n", ReaderMode::Distribution);
    EXPECT_EQ(result.errors, (Lines{"db.cdb(6) : Section header extected, found 'stray' instead",
                                    "db.cdb(1) : Syntax error in the preprocessor expression ''",
                                    "db.cdb(7) : Invalid preprocessor directive '#foo'"}));
    EXPECT_FALSE(result.configuration);
}

TEST(ComponentDatabaseReaderTest, AppendsToTheCallersListAndLeavesTheSourceOpen) {
    TextSource source("stray\n");
    ErrorList errors;
    errors.Add("earlier");
    {
        ComponentDatabaseReader reader("db.cdb", source.Stream(), ReaderMode::Distribution);
        EXPECT_FALSE(reader.Read(errors));
    }
    EXPECT_EQ(errors.Messages(),
              (Lines{"earlier", "db.cdb(1) : Section header extected, found 'stray' instead"}));
    EXPECT_TRUE(source.Stream().IsOpen());
}

TEST(ComponentDatabaseReaderTest, ReadErrorsOfTheSourcePassThrough) {
    TextSource source("[Core]\n");
    source.Stream().Close();
    ComponentDatabaseReader reader("db.cdb", source.Stream(), ReaderMode::Installed);
    ErrorList errors;
    EXPECT_THROW(reader.Read(errors), IOException);
}

} // namespace
} // namespace nebcm
