// Configuration checks: message order and wording, duplicates, file conflicts, references, core
// rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/messages.h"
#include "model/extension.h"
#include "model/validator.h"

namespace nebcm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Names = std::vector<std::pair<ExtensionKind, std::string>>;

// A non-core extension with sensible fields unless told otherwise.
struct Spec {
    ExtensionKind kind = ExtensionKind::Library;
    std::string name;
    std::vector<std::string> files;
    Names dependencies;
    Names externals;
    std::string description = "Description";
    std::string copyright = "(c) Tessaly";
    std::string package = "neb/test";
};

std::unique_ptr<Extension> Make(const Spec& s) {
    FileList files;
    for (const std::string& f : s.files) {
        files.push_back(std::make_unique<ExtensionFile>(f, ""));
    }
    DependencyList deps;
    for (const auto& d : s.dependencies) {
        deps.push_back(std::make_unique<Dependency>(d.first, d.second));
    }
    ExternalList exts;
    for (const auto& x : s.externals) {
        exts.push_back(std::make_unique<ExternalDeclaration>(
            x.first, x.second, VersionRequirement(true, Version(1, 0), false, Version()),
            x.second + " display"));
    }
    switch (s.kind) {
    case ExtensionKind::Component:
        return std::make_unique<Component>(s.name, Version(1, 0), s.description, s.copyright,
                                           s.package, std::move(files), std::move(deps),
                                           std::move(exts), "svc.Class");
    case ExtensionKind::Application:
        return std::make_unique<Application>(s.name, Version(1, 0), s.description, s.copyright,
                                             s.package, std::move(files), std::move(deps),
                                             std::move(exts));
    default:
        return std::make_unique<Library>(s.name, Version(1, 0), s.description, s.copyright,
                                         s.package, std::move(files), std::move(deps),
                                         std::move(exts));
    }
}

std::unique_ptr<Extension> MakeCore(std::vector<std::string> paths, const std::string& dispatcher,
                                    const std::string& base = "C:\\NEB\\20") {
    FileList files;
    for (const std::string& f : paths) {
        files.push_back(std::make_unique<ExtensionFile>(f, ""));
    }
    return std::make_unique<Core>(Version(2, 0), "NEB Core", "(c) Tessaly", std::move(files), base,
                                  dispatcher);
}

Spec Lib(std::string name, std::vector<std::string> files) {
    Spec s;
    s.name = std::move(name);
    s.files = std::move(files);
    return s;
}

Spec OfKind(ExtensionKind kind, Spec s) {
    s.kind = kind;
    return s;
}

Configuration Config(std::vector<std::unique_ptr<Extension>> extensions) {
    return Configuration(std::move(extensions));
}

template <class... E> Configuration Config(E... specs) {
    ExtensionList list;
    (list.push_back(Make(specs)), ...);
    return Configuration(std::move(list));
}

std::vector<std::string> Validate(const Configuration& config) {
    ErrorList errors;
    bool ok = config.Validate(errors);
    EXPECT_EQ(ok, errors.Empty());
    return errors.Messages();
}

TEST(Validate, SoundConfigurationsPass) {
    EXPECT_THAT(Validate(Configuration()), IsEmpty());

    ExtensionList list;
    list.push_back(MakeCore({"njava.exe", "bin/rt.jar"}, "njava.exe"));
    Spec xml = Lib("xml", {"lib/xml.jar"});
    xml.externals = {{ExtensionKind::Library, "other"}};
    list.push_back(Make(xml));
    Spec parser = OfKind(ExtensionKind::Component, Lib("parser", {"lib/p.jar", "lib/xml.jar"}));
    parser.dependencies = {{ExtensionKind::Library, "xml"}};
    list.push_back(Make(parser));
    Spec editor = OfKind(ExtensionKind::Application, Lib("editor", {"ed.exe"}));
    editor.dependencies = {{ExtensionKind::Component, "parser"}, {ExtensionKind::Library, "xml"}};
    // Names may repeat across kinds.
    list.push_back(Make(editor));
    list.push_back(Make(OfKind(ExtensionKind::Component, Lib("xml", {"x.jar"}))));
    EXPECT_THAT(Validate(Config(std::move(list))), IsEmpty());
}

TEST(Validate, ReportsEveryCheckInItsOrder) {
    // Each check runs over all extensions before the next begins, so the messages of the
    // second extension's fields come before the first extension's missing files.
    Spec a = Lib("a", {});
    a.description = "";
    Spec b = Lib("b", {"ok.jar", "bad\\path.jar", "dup.jar", "dup.jar", "Case.jar"});
    b.copyright = "";
    b.package = "";
    b.dependencies = {{ExtensionKind::Application, "nowhere"}};
    b.externals = {{ExtensionKind::Library, "a"}};
    Spec c = Lib("", {"case.jar"});
    c.package = "bad//package";
    Spec a2 = Lib("a", {"a2.jar"});

    ExtensionList list;
    list.push_back(Make(a));
    list.push_back(Make(b));
    list.push_back(MakeCore({"njava.exe"}, "bin/njava.exe"));
    list.push_back(Make(c));
    list.push_back(Make(a2));
    list.push_back(MakeCore({"other.exe"}, "missing.exe"));

    EXPECT_THAT(Validate(Config(std::move(list))),
                ElementsAre(Message(12016, "a"), Message(12017, "b"), Message(12018, "b"),
                            Message(12009, ""), Message(12001), Message(12009, "bad//package"),
                            Message(12046, "a"), Message(12010, "bad\\path.jar"), Message(12033),
                            Message(12034, "a"), Message(12037, "dup.jar"),
                            Message(12038, "case.jar", "Case.jar"), Message(12041, "nowhere"),
                            Message(12043, "a"), Message(12026, "bin/njava.exe")));
}

TEST(Validate, RepeatedDefinitionsPerKind) {
    struct Case {
        const char* what;
        std::vector<Spec> specs;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"two libraries", {Lib("xml", {"a"}), Lib("xml", {"b"})}, {Message(12034, "xml")}},
        {"three libraries",
         {Lib("xml", {"a"}), Lib("xml", {"b"}), Lib("xml", {"c"})},
         {Message(12034, "xml"), Message(12034, "xml")}},
        {"library and component",
         {Lib("xml", {"a"}), OfKind(ExtensionKind::Component, Lib("xml", {"b"}))},
         {}},
        {"names differing in case", {Lib("xml", {"a"}), Lib("XML", {"b"})}, {}},
        {"components",
         {OfKind(ExtensionKind::Component, Lib("c", {"a"})),
          OfKind(ExtensionKind::Component, Lib("c", {"b"}))},
         {Message(12035, "c")}},
        {"applications",
         {OfKind(ExtensionKind::Application, Lib("e", {"a"})),
          OfKind(ExtensionKind::Application, Lib("e", {"b"}))},
         {Message(12036, "e")}},
    };
    for (const Case& c : cases) {
        ExtensionList list;
        for (const Spec& s : c.specs) {
            list.push_back(Make(s));
        }
        EXPECT_EQ(Validate(Config(std::move(list))), c.expected) << c.what;
    }

    ExtensionList cores;
    for (int i = 0; i < 3; ++i) {
        cores.push_back(MakeCore({"n.exe"}, "n.exe"));
    }
    EXPECT_THAT(Validate(Config(std::move(cores))), ElementsAre(Message(12033)));
}

TEST(Validate, FileConflictsIgnoreCaseAcrossTheConfiguration) {
    struct Case {
        const char* what;
        std::vector<std::vector<std::string>> extensions; // the files of each library
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"case differs between extensions",
         {{"lib/A.jar"}, {"lib/a.jar"}},
         {Message(12038, "lib/a.jar", "lib/A.jar")}},
        {"same path shared by two extensions", {{"lib/a.jar"}, {"lib/a.jar"}}, {}},
        {"same path twice in one extension",
         {{"lib/a.jar", "lib/a.jar"}},
         {Message(12037, "lib/a.jar")}},
        {"case differs inside one extension",
         {{"lib/a.jar", "LIB/A.JAR"}},
         {Message(12038, "LIB/A.JAR", "lib/a.jar")}},
        {"the later path is compared with the first spelling",
         {{"x/Y"}, {"x/y"}, {"X/y"}},
         {Message(12038, "x/y", "x/Y"), Message(12038, "X/y", "x/Y")}},
        {"a repeat of the first spelling names the other spelling",
         {{"lib/a.jar"}, {"lib/A.jar"}, {"lib/a.jar"}},
         {Message(12038, "lib/A.jar", "lib/a.jar"), Message(12038, "lib/a.jar", "lib/A.jar")}},
        {"exact repeat and case conflict on one file",
         {{"A"}, {"a", "a"}},
         {Message(12038, "a", "A"), Message(12037, "a"), Message(12038, "a", "A")}},
        // Only letters fold: these pairs differ by the case bit but are different characters.
        {"punctuation is not a letter", {{"[x]", "@x", "x_"}, {"{x}", "`x", "x\x7f"}}, {}},
        {"different lengths", {{"ab"}, {"AB/c"}}, {}},
        // Windows folds the accented capitals of the Western code page as well.
        {"accented letters fold",
         {{"lib/Caf\xc9.jar"}, {"lib/caf\xe9.jar"}, {"\x8a\x9f"}, {"\x9a\xff"}},
         {Message(12038, "lib/caf\xe9.jar", "lib/Caf\xc9.jar"),
          Message(12038, "\x9a\xff", "\x8a\x9f")}},
        {"multiplication and division signs are no letters", {{"a\xd7"}, {"a\xf7"}}, {}},
    };
    for (const Case& c : cases) {
        ExtensionList list;
        int n = 0;
        for (const auto& files : c.extensions) {
            list.push_back(Make(Lib("lib" + std::to_string(n++), files)));
        }
        EXPECT_EQ(Validate(Config(std::move(list))), c.expected) << c.what;
    }
}

TEST(Validate, DependenciesMustResolveAndExternalsMustNotBeDefined) {
    struct Case {
        const char* what;
        Names dependencies;
        Names externals;
        std::vector<std::string> expected;
    };
    // The configuration defines core, library "xml", component "parser", application "editor".
    const Case cases[] = {
        {"all resolve",
         {{ExtensionKind::Library, "xml"},
          {ExtensionKind::Component, "parser"},
          {ExtensionKind::Application, "editor"}},
         {},
         {}},
        {"kind must match",
         {{ExtensionKind::Component, "xml"},
          {ExtensionKind::Library, "parser"},
          {ExtensionKind::Application, "xml"}},
         {},
         {Message(12040, "xml"), Message(12039, "parser"), Message(12041, "xml")}},
        {"names are case-sensitive",
         {{ExtensionKind::Library, "XML"}},
         {},
         {Message(12039, "XML")}},
        {"externals defined here",
         {},
         {{ExtensionKind::Core, "Core"},
          {ExtensionKind::Library, "xml"},
          {ExtensionKind::Component, "parser"},
          {ExtensionKind::Application, "editor"}},
         {Message(12042), Message(12043, "xml"), Message(12044, "parser"),
          Message(12045, "editor")}},
        {"externals of another kind or name",
         {},
         {{ExtensionKind::Component, "xml"}, {ExtensionKind::Library, "Xml"}},
         {}},
    };
    for (const Case& c : cases) {
        ExtensionList list;
        list.push_back(MakeCore({"njava.exe"}, "njava.exe"));
        list.push_back(Make(Lib("xml", {"x.jar"})));
        list.push_back(Make(OfKind(ExtensionKind::Component, Lib("parser", {"p.jar"}))));
        Spec app = OfKind(ExtensionKind::Application, Lib("editor", {"e.exe"}));
        app.dependencies = c.dependencies;
        app.externals = c.externals;
        list.push_back(Make(app));
        EXPECT_EQ(Validate(Config(std::move(list))), c.expected) << c.what;
    }

    // Without a core, an external core is what is expected.
    Spec lib = Lib("xml", {"x.jar"});
    lib.externals = {{ExtensionKind::Core, "Core"}};
    EXPECT_THAT(Validate(Config(lib)), IsEmpty());
}

TEST(Validate, JavaDispatcherMustBeAnExactCoreFile) {
    ExtensionList list;
    list.push_back(MakeCore({"bin/njava.exe"}, "njava.exe"));
    EXPECT_THAT(Validate(Config(std::move(list))), ElementsAre(Message(12026, "njava.exe")));

    list.clear();
    list.push_back(MakeCore({"bin/njava.exe"}, "bin/NJAVA.exe"));
    EXPECT_THAT(Validate(Config(std::move(list))), ElementsAre(Message(12026, "bin/NJAVA.exe")));

    // A file of another extension does not count.
    list.clear();
    list.push_back(Make(Lib("xml", {"bin/njava.exe"})));
    list.push_back(MakeCore({"rt.jar"}, "bin/njava.exe"));
    EXPECT_THAT(Validate(Config(std::move(list))), ElementsAre(Message(12026, "bin/njava.exe")));
}

TEST(Validate, ResultTellsWhetherThisCheckFoundAnything) {
    ErrorList errors;
    errors.Add("earlier");
    EXPECT_TRUE(Config(Lib("xml", {"a"})).Validate(errors));
    EXPECT_EQ(errors.Count(), 1u);
    EXPECT_FALSE(Config(Lib("xml", {})).Validate(errors));
    EXPECT_EQ(errors.Count(), 2u);
}

TEST(CheckInstalledCore, NeedsACoreWhoseBaseIsTheInstallationDirectory) {
    ErrorList errors;
    EXPECT_FALSE(CheckInstalledCore(Config(Lib("xml", {"a"})), "C:\\NEB\\20", errors));
    EXPECT_THAT(errors.Messages(), ElementsAre(Message(12047)));

    ExtensionList list;
    list.push_back(MakeCore({"n.exe"}, "n.exe", "C:\\Program Files\\NEB\\20"));
    Configuration installed = Config(std::move(list));

    ErrorList same;
    EXPECT_TRUE(CheckInstalledCore(installed, "c:\\PROGRAM FILES\\neb\\20", same));
    EXPECT_TRUE(same.Empty());

    ErrorList other;
    EXPECT_FALSE(CheckInstalledCore(installed, "D:\\NEB\\20", other));
    EXPECT_THAT(other.Messages(),
                ElementsAre(Message(12048, "C:\\Program Files\\NEB\\20", "D:\\NEB\\20")));

    ErrorList prefix;
    EXPECT_FALSE(CheckInstalledCore(installed, "C:\\Program Files\\NEB\\2", prefix));
}

} // namespace
} // namespace nebcm
