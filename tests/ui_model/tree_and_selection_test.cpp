// The extension tree's views and order, and the check-box selection's dependency rules and polls.
#include <gtest/gtest.h>

#include "ui/extension_tree_model.h"
#include "ui/selection_model.h"

namespace nebcm::ui {
namespace {

FileList OneFile(const std::string& path) {
    FileList files;
    files.push_back(std::make_unique<ExtensionFile>(path, ""));
    return files;
}

DependencyList Needs(std::initializer_list<std::pair<ExtensionKind, const char*>> deps) {
    DependencyList list;
    for (const auto& d : deps) {
        list.push_back(std::make_unique<Dependency>(d.first, d.second));
    }
    return list;
}

// A core, libraries in nested packages, a component needing a library, applications needing it.
Configuration Sample(bool withCore = true) {
    ExtensionList list;
    list.push_back(std::make_unique<Library>("xml", Version(1, 0), "XML parser", "c", "org/xml",
                                             OneFile("xml.jar"), DependencyList(), ExternalList()));
    list.push_back(std::make_unique<Library>("util", Version(2, 5), "utilities", "c", "org",
                                             OneFile("util.jar"), DependencyList(),
                                             ExternalList()));
    list.push_back(std::make_unique<Component>(
        "parse", Version(1, 0), "Parsing service", "c", "org/xml/parse", OneFile("p.jar"),
        Needs({{ExtensionKind::Library, "xml"}}), ExternalList(), "org.Parse"));
    list.push_back(std::make_unique<Application>(
        "editor", Version(3, 0), "Editor", "c", "apps", OneFile("ed.exe"),
        Needs({{ExtensionKind::Component, "parse"}, {ExtensionKind::Library, "missing"}}),
        ExternalList()));
    list.push_back(std::make_unique<Application>("viewer", Version(1, 1), "a viewer", "c", "apps",
                                                 OneFile("v.exe"), DependencyList(),
                                                 ExternalList()));
    if (withCore) {
        list.push_back(std::make_unique<Core>(Version(2, 0), "NEB Core", "c", OneFile("njava.exe"),
                                              "", "njava.exe"));
    }
    return Configuration(std::move(list));
}

std::vector<std::string> Texts(const std::vector<std::unique_ptr<TreeNode>>& nodes) {
    std::vector<std::string> out;
    for (const auto& n : nodes) {
        out.push_back(n->text);
    }
    return out;
}

const TreeNode* Child(const std::vector<std::unique_ptr<TreeNode>>& nodes, const std::string& t) {
    for (const auto& n : nodes) {
        if (n->text == t) {
            return n.get();
        }
    }
    return nullptr;
}

TEST(ExtensionTreeViews, ProductViewNestsPackagesAndSortsFoldersFirst) {
    Configuration config = Sample();
    ExtensionTreeModel tree;
    tree.Build(&config, ViewMode::ByProduct);
    EXPECT_EQ(Texts(tree.Roots()), (std::vector<std::string>{"apps", "org", "System"}));
    const TreeNode* org = Child(tree.Roots(), "org");
    ASSERT_NE(org, nullptr);
    // Package nodes before extension items.
    EXPECT_EQ(Texts(org->children), (std::vector<std::string>{"xml", "utilities version 2.05"}));
    const TreeNode* xml = Child(org->children, "xml");
    EXPECT_EQ(xml->packagePath, "org/xml");
    EXPECT_EQ(Texts(xml->children), (std::vector<std::string>{"parse", "XML parser version 1.00"}));
    // Extensions sort by description without regard to case.
    const TreeNode* apps = Child(tree.Roots(), "apps");
    EXPECT_EQ(Texts(apps->children),
              (std::vector<std::string>{"a viewer version 1.01", "Editor version 3.00"}));
    EXPECT_EQ(apps->children[1]->image, ApplicationImage);
    EXPECT_EQ(Child(tree.Roots(), "System")->children[0]->image, CoreImage);

    // A package node stands for its own extensions and, in this view, those below it.
    EXPECT_EQ(tree.ExtensionsOf(*xml).size(), 2u);
    EXPECT_EQ(tree.ExtensionsOf(*org).size(), 3u);
}

TEST(ExtensionTreeViews, PackageViewHasOneFlatNodePerPackage) {
    Configuration config = Sample();
    ExtensionTreeModel tree;
    tree.Build(&config, ViewMode::ByPackage);
    EXPECT_EQ(Texts(tree.Roots()),
              (std::vector<std::string>{"apps", "org", "org/xml", "org/xml/parse", "System"}));
    const TreeNode* orgXml = Child(tree.Roots(), "org/xml");
    EXPECT_EQ(tree.ExtensionsOf(*orgXml).size(), 1u) << "only its own package here";
}

TEST(ExtensionTreeViews, StereotypeViewPutsTheCoreFirstThenTheGroups) {
    Configuration config = Sample();
    ExtensionTreeModel tree;
    tree.Build(&config, ViewMode::ByStereotype);
    EXPECT_EQ(Texts(tree.Roots()), (std::vector<std::string>{"NEB Core version 2.00", "Libraries",
                                                             "Components", "Applications"}));
    const TreeNode* libraries = tree.Roots()[1].get();
    EXPECT_EQ(Texts(libraries->children),
              (std::vector<std::string>{"utilities version 2.05", "XML parser version 1.00"}));
    EXPECT_EQ(tree.ExtensionsOf(*libraries).size(), 2u);

    Configuration noCore = Sample(false);
    tree.Build(&noCore, ViewMode::ByStereotype);
    EXPECT_EQ(tree.Roots()[0]->text, "Libraries");
    tree.Build(nullptr, ViewMode::ByStereotype);
    EXPECT_TRUE(tree.Roots().empty());
}

std::vector<const Extension*> Ext(const Configuration& c, ExtensionKind k, const char* name) {
    return {c.FindExtension(k, name)};
}

std::set<std::string> Names(const Selection& s) {
    std::set<std::string> out;
    for (const Extension* e : s) {
        out.insert(e->Name());
    }
    return out;
}

TEST(SelectionRules, InstallingTakesWhatIsNeededAndDroppingTakesWhatNeedsIt) {
    Configuration config = Sample();
    SelectionModel model(config, SelectionPurpose::Install);
    model.Check(Ext(config, ExtensionKind::Component, "parse"));
    EXPECT_EQ(Names(model.Selected()), (std::set<std::string>{"parse", "xml", "Core"}));
    model.Check(Ext(config, ExtensionKind::Application, "editor"));
    model.Uncheck(Ext(config, ExtensionKind::Library, "xml"));
    EXPECT_EQ(Names(model.Selected()), (std::set<std::string>{"Core"}));

    model.SelectAll();
    model.Uncheck({config.FindCore()});
    EXPECT_TRUE(model.Selected().empty()) << "dropping the core drops everything";
}

TEST(SelectionRules, RemovingTakesWhatNeedsItAndKeepingKeepsWhatItNeeds) {
    Configuration config = Sample();
    SelectionModel model(config, SelectionPurpose::Uninstall);
    model.Check(Ext(config, ExtensionKind::Library, "xml"));
    EXPECT_EQ(Names(model.Selected()), (std::set<std::string>{"xml", "parse", "editor"}));
    model.Uncheck(Ext(config, ExtensionKind::Application, "editor"));
    EXPECT_TRUE(model.Selected().empty()) << "keeping the editor keeps what it needs";
    model.Check({config.FindCore()});
    EXPECT_EQ(model.Selected().size(), config.Count());
}

TEST(SelectionRules, GroupCheckSelectsEachMemberWithItsRule) {
    Configuration config = Sample();
    ExtensionTreeModel tree;
    tree.Build(&config, ViewMode::ByStereotype);
    SelectionModel model(config, SelectionPurpose::Install);
    const TreeNode* components = tree.Roots()[2].get();
    model.Check(tree.ExtensionsOf(*components));
    EXPECT_EQ(Names(model.Selected()), (std::set<std::string>{"parse", "xml", "Core"}));

    // Checks show on the selected items and their ancestors only.
    std::set<const TreeNode*> checked = model.CheckedNodes(tree);
    EXPECT_TRUE(checked.count(components));
    EXPECT_TRUE(checked.count(tree.Roots()[1].get()));
    EXPECT_FALSE(checked.count(tree.Roots()[3].get())) << "no application is selected";
    EXPECT_EQ(checked.size(), 5u);
}

TEST(SelectionPolls, OneChangeIsActedOnAndSeveralAreUndone) {
    Configuration config = Sample();
    ExtensionTreeModel tree;
    tree.Build(&config, ViewMode::ByStereotype);
    std::vector<const TreeNode*> all = tree.AllNodes();
    std::set<const TreeNode*> expected{all[0], all[1]};

    EXPECT_EQ(ReadPoll(expected, expected).kind, PollResult::Kind::Unchanged);

    std::set<const TreeNode*> oneMore = expected;
    oneMore.insert(all[4]);
    PollResult r = ReadPoll(oneMore, expected);
    EXPECT_EQ(r.kind, PollResult::Kind::Checked);
    EXPECT_EQ(r.nodes, std::vector<const TreeNode*>{all[4]});

    std::set<const TreeNode*> oneFewer{all[0]};
    r = ReadPoll(oneFewer, expected);
    EXPECT_EQ(r.kind, PollResult::Kind::Unchecked);
    EXPECT_EQ(r.nodes, std::vector<const TreeNode*>{all[1]});

    std::set<const TreeNode*> swapped{all[0], all[4]};
    EXPECT_EQ(ReadPoll(swapped, expected).kind, PollResult::Kind::Revert);
    std::set<const TreeNode*> twoMore{all[0], all[1], all[4], all[5]};
    EXPECT_EQ(ReadPoll(twoMore, expected).kind, PollResult::Kind::Revert);
}

} // namespace
} // namespace nebcm::ui
