// Component database writer: the exact text of each section kind, in order, with CR LF line ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "io/streams.h"
#include "model/component_database_writer.h"

namespace nebcm {
namespace {

using ::testing::ElementsAre;

// Collects what the text writer hands down.
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

std::string WriteText(const Configuration& config) {
    MemoryOutput memory;
    TextWriter text(memory);
    EXPECT_TRUE(ComponentDatabaseWriter::Write(config, text));
    return memory.bytes;
}

// The lines of a CR LF text; fails the test on a bare LF.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            EXPECT_EQ(start, text.size()) << "text does not end with a line end";
            break;
        }
        std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find('\n'), std::string::npos) << "bare LF in " << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

FileList Files(std::initializer_list<std::pair<const char*, const char*>> entries) {
    FileList files;
    for (const auto& e : entries) {
        files.push_back(std::make_unique<ExtensionFile>(e.first, e.second));
    }
    return files;
}

TEST(ComponentDatabaseWriter, CoreAndComponentAsInstalled) {
    ExtensionList list;
    list.push_back(std::make_unique<Core>(Version(2, 0), "NEB 2.0 Core", "(c) 1999 Tessaly",
                                          Files({{"bin/njava.exe", ""}}),
                                          "C:\\Program Files\\NEB\\20", "bin/njava.exe"));
    DependencyList deps;
    deps.push_back(std::make_unique<Dependency>(ExtensionKind::Library, "base"));
    list.push_back(std::make_unique<Component>(
        "xml", Version(1, 5), "XML services", "(c) 1999 Tessaly", "neb/xml",
        Files({{"lib/xml.jar", "Tools/XML"}}), std::move(deps), ExternalList(), "neb.xml.Service"));

    EXPECT_THAT(Lines(WriteText(Configuration(std::move(list)))),
                ElementsAre("[Core]", "Version=2.00", "Description=NEB 2.0 Core",
                            "Copyright=(c) 1999 Tessaly", "File=bin/njava.exe",
                            "Base=C:\\Program Files\\NEB\\20", "JavaDispatcher=bin/njava.exe", "",
                            "[Component:xml]", "Version=1.05", "Description=XML services",
                            "Copyright=(c) 1999 Tessaly", "File=lib/xml.jar;Tools/XML",
                            "ServiceClass=neb.xml.Service", "Package=neb/xml", "Library=base", ""));
}

TEST(ComponentDatabaseWriter, EmptyConfigurationWritesNothing) {
    EXPECT_EQ(WriteText(Configuration()), "");
}

TEST(ComponentDatabaseWriter, DeclarationsInOrderAndValuesUnchanged) {
    ExtensionList list;
    DependencyList deps;
    deps.push_back(std::make_unique<Dependency>(ExtensionKind::Component, "parser"));
    deps.push_back(std::make_unique<Dependency>(ExtensionKind::Library, "xml"));
    deps.push_back(std::make_unique<Dependency>(ExtensionKind::Application, "viewer"));
    ExternalList exts;
    exts.push_back(std::make_unique<ExternalDeclaration>(
        ExtensionKind::Core, "Core", VersionRequirement(true, Version(2, 0), false, Version()),
        ""));
    exts.push_back(std::make_unique<ExternalDeclaration>(
        ExtensionKind::Library, "rt", VersionRequirement(true, Version(1, 0), true, Version(1, 0)),
        "Runtime; the usual one"));
    exts.push_back(std::make_unique<ExternalDeclaration>(
        ExtensionKind::Component, "sax", VersionRequirement(false, Version(), true, Version(3, 40)),
        "SAX"));
    list.push_back(std::make_unique<Application>(
        "editor", Version(10, 40), "Edit = 100%s sure; no %n here", " (c) Tessaly ",
        "neb/apps/editor", Files({{"editor.exe", "Editors/Editor"}, {"editor.hlp", ""}}),
        std::move(deps), std::move(exts)));
    list.push_back(std::make_unique<Library>("xml", Version(1, 0), "XML", "(c)", "neb/xml",
                                             Files({{"lib/xml.jar", ""}}), DependencyList(),
                                             ExternalList()));

    EXPECT_THAT(
        Lines(WriteText(Configuration(std::move(list)))),
        ElementsAre("[Application:editor]", "Version=10.40",
                    "Description=Edit = 100%s sure; no %n here", "Copyright= (c) Tessaly ",
                    "File=editor.exe;Editors/Editor", "File=editor.hlp", "Package=neb/apps/editor",
                    "Component=parser", "Library=xml", "Application=viewer", "ExternalCore=2.00-",
                    "ExternalLibrary=rt;1.00-1.00;Runtime; the usual one",
                    "ExternalComponent=sax;-3.40;SAX", "", "[Library:xml]", "Version=1.00",
                    "Description=XML", "Copyright=(c)", "File=lib/xml.jar", "Package=neb/xml", ""));
}

} // namespace
} // namespace nebcm
