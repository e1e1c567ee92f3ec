// Writing a configuration and reading the text back gives the same configuration, field by field.
#include <gtest/gtest.h>

#include "io/streams.h"
#include "model/component_database_reader.h"
#include "model/component_database_writer.h"

namespace nebcm {
namespace {

class MemoryOutput : public DataOutputStream {
public:
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override {}
    void Write(std::uint8_t b) override { bytes.push_back(b); }
    void Write(const std::uint8_t* buffer, std::uint32_t n) override {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::vector<std::uint8_t> bytes;
};

std::unique_ptr<Configuration> WriteAndRead(const Configuration& config, ReaderMode mode,
                                            ErrorList& errors) {
    MemoryOutput memory;
    TextWriter text(memory);
    ComponentDatabaseWriter::Write(config, text);
    MemoryInputStream source(std::move(memory.bytes));
    LineReader lines(source, 1);
    ComponentDatabaseReader reader("neb.cdb", lines, mode, PlatformSymbols());
    return reader.Read(errors);
}

void ExpectSameExtension(const Extension& a, const Extension& b) {
    SCOPED_TRACE(a.Name());
    ASSERT_EQ(a.Kind(), b.Kind());
    EXPECT_EQ(a.Name(), b.Name());
    EXPECT_EQ(a.Version(), b.Version());
    EXPECT_EQ(a.Description(), b.Description());
    EXPECT_EQ(a.Copyright(), b.Copyright());
    EXPECT_EQ(a.Package(), b.Package());
    ASSERT_EQ(a.FileCount(), b.FileCount());
    for (std::size_t i = 0; i < a.FileCount(); ++i) {
        EXPECT_EQ(a.FileAt(i).Path(), b.FileAt(i).Path());
        EXPECT_EQ(a.FileAt(i).Shortcut(), b.FileAt(i).Shortcut());
        EXPECT_TRUE(b.ContainsFile(a.FileAt(i).Path()));
    }
    ASSERT_EQ(a.DependencyCount(), b.DependencyCount());
    for (std::size_t i = 0; i < a.DependencyCount(); ++i) {
        EXPECT_EQ(a.DependencyAt(i).Kind(), b.DependencyAt(i).Kind());
        EXPECT_EQ(a.DependencyAt(i).Name(), b.DependencyAt(i).Name());
    }
    ASSERT_EQ(a.ExternalCount(), b.ExternalCount());
    for (std::size_t i = 0; i < a.ExternalCount(); ++i) {
        const ExternalDeclaration& x = a.ExternalAt(i);
        const ExternalDeclaration& y = b.ExternalAt(i);
        EXPECT_EQ(x.Kind(), y.Kind());
        EXPECT_EQ(x.Name(), y.Name());
        EXPECT_EQ(x.Requirement(), y.Requirement());
        EXPECT_EQ(x.Requirement().Form(), y.Requirement().Form());
        EXPECT_EQ(x.DisplayName(), y.DisplayName());
    }
    if (a.Kind() == ExtensionKind::Core) {
        EXPECT_EQ(static_cast<const Core&>(a).Base(), static_cast<const Core&>(b).Base());
        EXPECT_EQ(static_cast<const Core&>(a).JavaDispatcher(),
                  static_cast<const Core&>(b).JavaDispatcher());
    }
    if (a.Kind() == ExtensionKind::Component) {
        EXPECT_EQ(static_cast<const Component&>(a).ServiceClass(),
                  static_cast<const Component&>(b).ServiceClass());
    }
}

void ExpectSameConfiguration(const Configuration& a, const Configuration& b) {
    ASSERT_EQ(a.Count(), b.Count());
    for (std::size_t i = 0; i < a.Count(); ++i) {
        ExpectSameExtension(a.At(i), b.At(i));
    }
}

FileList Files(std::initializer_list<std::pair<const char*, const char*>> entries) {
    FileList files;
    for (const auto& e : entries) {
        files.push_back(std::make_unique<ExtensionFile>(e.first, e.second));
    }
    return files;
}

template <class... D> DependencyList Dependencies(D... kindAndName) {
    DependencyList list;
    (list.push_back(std::make_unique<Dependency>(kindAndName.first, kindAndName.second)), ...);
    return list;
}

TEST(DatabaseRoundTrip, InstalledConfigurationReadsBackEqual) {
    using K = ExtensionKind;
    using P = std::pair<K, const char*>;
    ExtensionList list;
    list.push_back(std::make_unique<Library>(
        "xml", Version(1, 5), "XML = markup; more", "(c) 100% Tessaly", "neb/xml",
        Files({{"lib/xml.jar", ""}, {"lib/XML docs.txt", "Docs/XML; read me"}}), DependencyList(),
        ExternalList()));
    list.push_back(std::make_unique<Core>(
        Version(2, 0), "NEB 2.0 Core", "(c) 1999 Tessaly",
        Files({{"njava.exe", ""}, {"NebCM.exe", "NEB Configuration Manager"}, {"bin/rt.jar", ""}}),
        "C:\\Program Files\\NEB\\20", "njava.exe"));
    list.push_back(std::make_unique<Component>(
        "parser:fast", Version(10, 40), "Parser", "[c]", "neb/parser/fast",
        Files({{"lib/parser.jar", ""}, {"lib/xml.jar", ""}}), Dependencies(P{K::Library, "xml"}),
        ExternalList(), "neb.parser.Service=default"));
    list.push_back(std::make_unique<Application>(
        "editor", Version(99, 99), "Editor", "(c)", "neb/apps",
        Files({{"apps/editor.exe", "Editors/NEB Editor"}}),
        Dependencies(P{K::Component, "parser:fast"}, P{K::Library, "xml"},
                     P{K::Application, "viewer"}),
        ExternalList()));
    list.push_back(std::make_unique<Application>("viewer", Version(1, 0), "Viewer", "(c)",
                                                 "neb/apps", Files({{"apps/viewer.exe", ""}}),
                                                 DependencyList(), ExternalList()));
    Configuration original(std::move(list));

    ErrorList errors;
    std::unique_ptr<Configuration> read = WriteAndRead(original, ReaderMode::Installed, errors);
    EXPECT_TRUE(errors.Empty()) << errors.At(0);
    ASSERT_NE(read, nullptr);
    ExpectSameConfiguration(original, *read);
}

TEST(DatabaseRoundTrip, ExternalDeclarationsKeepTheirRequirements) {
    // Only a distribution set's database may declare externals, and it has no core to write.
    ExternalList externals;
    auto add = [&](ExtensionKind kind, const char* name, VersionRequirement r, const char* shown) {
        externals.push_back(std::make_unique<ExternalDeclaration>(kind, name, r, shown));
    };
    add(ExtensionKind::Core, "Core", VersionRequirement(true, Version(2, 0), false, Version()), "");
    add(ExtensionKind::Library, "rt", VersionRequirement(true, Version(1, 0), true, Version(1, 0)),
        "Runtime; any vendor");
    add(ExtensionKind::Component, "sax",
        VersionRequirement(true, Version(1, 0), true, Version(2, 50)), "SAX");
    add(ExtensionKind::Application, "ed", VersionRequirement(false, Version(), true, Version(3, 0)),
        "Ed");
    ExtensionList list;
    list.push_back(std::make_unique<Library>("xml", Version(1, 0), "XML", "(c)", "neb/xml",
                                             Files({{"lib/xml.jar", ""}}), DependencyList(),
                                             std::move(externals)));
    Configuration original(std::move(list));

    ErrorList errors;
    std::unique_ptr<Configuration> read = WriteAndRead(original, ReaderMode::Distribution, errors);
    EXPECT_TRUE(errors.Empty()) << errors.At(0);
    ASSERT_NE(read, nullptr);
    ExpectSameConfiguration(original, *read);
    EXPECT_EQ(read->At(0).ExternalAt(1).Requirement().Form(), RequirementForm::Exact);
}

} // namespace
} // namespace nebcm
