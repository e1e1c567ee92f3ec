// A small configuration for the tree and wizard tests: a core, libraries in nested packages, a
// component that needs a library, and applications.
#pragma once

#include <memory>
#include <string>

#include "model/extension.h"

namespace nebcm::ui::testing {

inline FileList Files(std::initializer_list<const char*> paths) {
    FileList files;
    for (const char* p : paths) {
        files.push_back(std::make_unique<ExtensionFile>(p, ""));
    }
    return files;
}

inline DependencyList Needs(ExtensionKind kind, const char* name) {
    DependencyList list;
    list.push_back(std::make_unique<Dependency>(kind, name));
    return list;
}

// Packages: org/xml (xml), org (util), org/xml/parse (parse), apps (editor, viewer), System.
inline std::unique_ptr<Configuration> SampleConfiguration() {
    auto c = std::make_unique<Configuration>();
    c->Add(std::make_unique<Library>("xml", Version(1, 0), "XML parser", "(c) xml", "org/xml",
                                     Files({"lib/xml.jar"}), DependencyList(), ExternalList()));
    c->Add(std::make_unique<Library>("util", Version(2, 5), "utilities", "(c) util", "org",
                                     Files({"lib/util.jar", "lib/util2.jar"}), DependencyList(),
                                     ExternalList()));
    c->Add(std::make_unique<Component>(
        "parse", Version(1, 0), "Parsing service", "(c) parse", "org/xml/parse", Files({"p.jar"}),
        Needs(ExtensionKind::Library, "xml"), ExternalList(), "org.Parse"));
    c->Add(std::make_unique<Application>("editor", Version(3, 0), "Editor", "(c) ed", "apps",
                                         Files({"ed.exe"}),
                                         Needs(ExtensionKind::Component, "parse"), ExternalList()));
    c->Add(std::make_unique<Application>("viewer", Version(1, 1), "a viewer", "(c) v", "apps",
                                         Files({"v.exe"}), DependencyList(), ExternalList()));
    c->Add(std::make_unique<Core>(Version(2, 0), "NEB Core", "(c) Tessaly", Files({"njava.exe"}),
                                  "", "njava.exe"));
    return c;
}

} // namespace nebcm::ui::testing
