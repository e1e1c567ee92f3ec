// The extension model: ownership, deep copies, lookups and the text forms of declarations.
#include <gtest/gtest.h>

#include "model/extension.h"
#include "model/path_rules.h"

namespace nebcm {
namespace {

FileList Files(std::initializer_list<std::pair<const char*, const char*>> entries) {
    FileList files;
    for (const auto& e : entries) {
        files.push_back(std::make_unique<ExtensionFile>(e.first, e.second));
    }
    return files;
}

std::unique_ptr<Library> MakeLibrary(const std::string& name,
                                     std::initializer_list<std::pair<const char*, const char*>> f) {
    return std::make_unique<Library>(name, Version(1, 0), name + " library", "(c) T", "org/x",
                                     Files(f), DependencyList(), ExternalList());
}

TEST(ExtensionModel, CoreHasFixedNameAndPackage) {
    Core core(Version(2, 0), "NEB Core", "(c)", Files({{"njava.exe", ""}}), "C:\\NEB\\20",
              "njava.exe");
    EXPECT_EQ(core.Name(), "Core");
    EXPECT_EQ(core.Package(), "System");
    EXPECT_EQ(core.Kind(), ExtensionKind::Core);
    EXPECT_EQ(core.DependencyCount(), 0u);
    EXPECT_EQ(core.ExternalCount(), 0u);
    EXPECT_EQ(core.Base(), "C:\\NEB\\20");
    core.SetBase("D:\\x");
    EXPECT_EQ(core.Base(), "D:\\x");
    EXPECT_EQ(core.JavaDispatcher(), "njava.exe");
}

TEST(ExtensionModel, FilesCompareCaseSensitively) {
    auto lib = MakeLibrary("xml", {{"lib/A.jar", ""}, {"lib/b.jar", "Tools/B"}});
    EXPECT_TRUE(lib->ContainsFile("lib/A.jar"));
    EXPECT_FALSE(lib->ContainsFile("lib/a.jar"));
    EXPECT_EQ(lib->FileCount(), 2u);
    EXPECT_EQ(lib->FileAt(1).Shortcut(), "Tools/B");
}

TEST(ExtensionModel, CloneIsDeepAndKeepsTheKind) {
    DependencyList deps;
    deps.push_back(std::make_unique<Dependency>(ExtensionKind::Library, "xml"));
    ExternalList ext;
    ext.push_back(std::make_unique<ExternalDeclaration>(
        ExtensionKind::Core, "Core", VersionRequirement(true, Version(2, 0), false, Version()),
        ""));
    Component comp("parser", Version(1, 2), "Parser", "(c)", "org/p", Files({{"p.jar", ""}}),
                   std::move(deps), std::move(ext), "org.p.Service");
    std::unique_ptr<Extension> copy = comp.Clone();
    comp.AddDependency(std::make_unique<Dependency>(ExtensionKind::Application, "editor"));
    comp.RemoveExternal(0);

    ASSERT_EQ(copy->Kind(), ExtensionKind::Component);
    EXPECT_EQ(static_cast<Component&>(*copy).ServiceClass(), "org.p.Service");
    EXPECT_EQ(copy->DependencyCount(), 1u);
    EXPECT_EQ(copy->ExternalCount(), 1u);
    EXPECT_EQ(comp.DependencyCount(), 2u);
    EXPECT_EQ(comp.ExternalCount(), 0u);
    EXPECT_NE(&copy->FileAt(0), &comp.FileAt(0));
    EXPECT_TRUE(copy->ContainsFile("p.jar"));
    EXPECT_EQ(copy->Version(), Version(1, 2));

    // Removing outside the list changes nothing.
    comp.RemoveExternal(5);
    EXPECT_EQ(comp.ExternalCount(), 0u);
}

TEST(ConfigurationModel, FindsByKindAndExactName) {
    ExtensionList list;
    list.push_back(MakeLibrary("XML", {{"a", ""}}));
    list.push_back(std::make_unique<Application>(
        "xml", Version(1, 0), "d", "c", "p", Files({{"b", ""}}), DependencyList(), ExternalList()));
    list.push_back(
        std::make_unique<Core>(Version(2, 0), "first", "c", Files({{"c", ""}}), "", "c"));
    list.push_back(
        std::make_unique<Core>(Version(3, 0), "second", "c", Files({{"d", ""}}), "", "d"));
    Configuration config(std::move(list));

    EXPECT_EQ(config.FindExtension(ExtensionKind::Library, "xml"), nullptr);
    ASSERT_NE(config.FindExtension(ExtensionKind::Library, "XML"), nullptr);
    EXPECT_EQ(config.FindExtension(ExtensionKind::Application, "xml"), &config.At(1));
    ASSERT_NE(config.FindCore(), nullptr);
    EXPECT_EQ(config.FindCore()->Description(), "first");
    EXPECT_EQ(config.FindExtension(ExtensionKind::Core, "anything"), config.FindCore());

    Configuration copy = config.Clone();
    std::unique_ptr<Extension> taken = config.Remove(0);
    EXPECT_EQ(taken->Name(), "XML");
    EXPECT_EQ(config.Count(), 3u);
    EXPECT_EQ(copy.Count(), 4u);
    EXPECT_NE(&copy.At(1), &config.At(0));

    Configuration empty;
    EXPECT_EQ(empty.FindCore(), nullptr);
}

TEST(DeclarationText, DependenciesAndExternals) {
    EXPECT_EQ(Dependency(ExtensionKind::Library, "xml").ToText(), "Library=xml");
    EXPECT_EQ(Dependency(ExtensionKind::Component, "c").ToText(), "Component=c");
    EXPECT_EQ(Dependency(ExtensionKind::Application, "a").ToText(), "Application=a");
    EXPECT_EQ(Dependency(ExtensionKind::Core, "Core").ToText(), "");
    EXPECT_EQ(Dependency(static_cast<ExtensionKind>(9), "x").ToText(), "");

    VersionRequirement from1(true, Version(1, 0), false, Version());
    EXPECT_EQ(ExternalDeclaration(ExtensionKind::Library, "xml", from1, "XML support").ToText(),
              "ExternalLibrary=xml;1.00-;XML support");
    EXPECT_EQ(ExternalDeclaration(ExtensionKind::Core, "Core",
                                  VersionRequirement(true, Version(2, 0), true, Version(2, 0)), "")
                  .ToText(),
              "ExternalCore=2.00-2.00");
    EXPECT_EQ(ExternalDeclaration(ExtensionKind::Application, "ed",
                                  VersionRequirement(false, Version(), true, Version(3, 5)), "Ed")
                  .ToText(),
              "ExternalApplication=ed;-3.05;Ed");
    EXPECT_EQ(ExternalDeclaration(static_cast<ExtensionKind>(0), "x", from1, "X").ToText(), "");
}

TEST(PathRules, SegmentsMustBeValidFileNames) {
    for (const char* good : {"a", "a/b", "apps/tool.exe", "a b/c.d", "a/.x", "x..y"}) {
        EXPECT_TRUE(IsValidRelativePath(good)) << good;
        EXPECT_TRUE(IsValidPackageName(good)) << good;
    }
    for (const char* bad : {"", "/a", "a/", "a//b", "apps\\tool.exe", "a;b", "a:b", "c:/x", "a<b",
                            "a>b", "a^b", "a&b", "a*b", "a=b", "a?b", "a|b", "a\tb"}) {
        EXPECT_FALSE(IsValidRelativePath(bad)) << bad;
        EXPECT_FALSE(IsValidPackageName(bad)) << bad;
    }
    EXPECT_TRUE(IsValidRelativePath(std::string(255, 'x')));
    EXPECT_FALSE(IsValidRelativePath(std::string(256, 'x')));
    EXPECT_TRUE(IsValidRelativePath("d/" + std::string(255, 'x')));
    EXPECT_FALSE(IsValidRelativePath("d/" + std::string(256, 'x')));
}

TEST(PathRules, DotSegmentsCannotLeaveTheDirectory) {
    for (const char* bad :
         {".", "..", "../evil.exe", "../../evil.exe", "a/../b", "a/./b", "a/..", "a/."}) {
        EXPECT_FALSE(IsValidRelativePath(bad)) << bad;
        EXPECT_FALSE(IsValidPackageName(bad)) << bad;
    }
    // A plain file name is judged by the file-name rule alone.
    EXPECT_TRUE(IsValidFileName(".."));
    EXPECT_FALSE(IsValidFileName(""));
    EXPECT_FALSE(IsValidFileName(std::string("a\x1f", 2)));
    EXPECT_TRUE(IsValidFileName("\xe9t\xe9"));
}

} // namespace
} // namespace nebcm
