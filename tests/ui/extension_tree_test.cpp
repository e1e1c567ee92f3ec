// The extension tree and its check-box form under Wine: rendering, folder pictures, details
// figures and dialogs, and the poll that turns check-box clicks into selections.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "sample_configuration.h"
#include "ui/details_dialogs.h"
#include "ui/dialog.h"
#include "ui/extension_tree.h"
#include "ui/resource.h"
#include "ui/selection_tree.h"

namespace nebcm::ui {
namespace {

using testing::DialogDriver;
using testing::ItemText;
using testing::Press;
using testing::SampleConfiguration;

// A window with a bare tree control (1002) for the tree to attach to.
class Host : public Dialog {
public:
    Host() : Dialog(100, nullptr) { CreateModeless(); }
    HWND Tree() const { return Item(1002); }
};

int ImageOf(const TreeView& tree, HTREEITEM item) {
    TVITEMA tv = {};
    tv.mask = TVIF_IMAGE;
    tv.hItem = item;
    SendMessageA(tree.Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return tv.iImage;
}

HTREEITEM ChildNamed(const TreeView& tree, HTREEITEM parent, const std::string& text) {
    for (HTREEITEM c = parent == nullptr ? tree.Root() : tree.FirstChild(parent); c != nullptr;
         c = tree.NextSibling(c)) {
        if (tree.Text(c) == text) {
            return c;
        }
    }
    return nullptr;
}

const Extension* Find(const Configuration& c, ExtensionKind kind, const char* name) {
    return c.FindExtension(kind, name);
}

TEST(ExtensionTree, RendersTheModelWithPicturesAndKeepsFolderImagesInStep) {
    Host host;
    ExtensionTree tree;
    tree.Attach(host.Tree());
    auto owned = SampleConfiguration();
    const Configuration* config = owned.get();
    tree.SetConfiguration(owned.release(), true, {});
    TreeView view(tree.Handle());

    // Product view: org > xml > parse nesting, items with their pictures and values.
    HTREEITEM org = ChildNamed(view, nullptr, "org");
    ASSERT_NE(org, nullptr);
    HTREEITEM xml = ChildNamed(view, org, "xml");
    ASSERT_NE(xml, nullptr);
    HTREEITEM parseNode = ChildNamed(view, xml, "parse");
    ASSERT_NE(parseNode, nullptr);
    const Extension* parse = Find(*config, ExtensionKind::Component, "parse");
    HTREEITEM parseItem = tree.ItemOf(parse);
    ASSERT_NE(parseItem, nullptr);
    EXPECT_EQ(view.ParentOf(parseItem), parseNode);
    EXPECT_EQ(view.Text(parseItem), "Parsing service version 1.00");
    EXPECT_EQ(ImageOf(view, parseItem), ComponentImage);
    EXPECT_EQ(view.Value(parseItem), reinterpret_cast<LPARAM>(parse));
    EXPECT_EQ(ImageOf(view, tree.ItemOf(config->FindCore())), CoreImage);

    // Expanding shows the open folder only where there are children; collapsing all closes them.
    view.Expand(org, TVE_EXPAND);
    NMTREEVIEWA expanded = {};
    expanded.hdr.code = TVN_ITEMEXPANDEDA;
    expanded.itemNew.hItem = org;
    tree.HandleNotify(&expanded.hdr);
    EXPECT_EQ(ImageOf(view, org), OpenFolderImage);
    tree.CollapseAll();
    EXPECT_EQ(ImageOf(view, org), ClosedFolderImage);
    EXPECT_FALSE(view.IsExpanded(org));

    // The same view again does not rebuild: the items stay the very same.
    tree.SetViewMode(ViewMode::ByProduct);
    EXPECT_EQ(tree.ItemOf(parse), parseItem);
    tree.SetViewMode(ViewMode::ByStereotype);
    EXPECT_EQ(view.Text(view.Root()), "NEB Core version 2.00");
    EXPECT_EQ(view.Value(view.NextSibling(view.Root())), LibrariesGroup);
    EXPECT_EQ(tree.GetViewMode(), ViewMode::ByStereotype);
}

TEST(ExtensionTree, DetailsFiguresRoundEveryFileUpToWholeClusters) {
    auto config = SampleConfiguration();
    const Extension* xml = Find(*config, ExtensionKind::Library, "xml");
    const Extension* util = Find(*config, ExtensionKind::Library, "util");
    DetailsFigures one = ComputeDetailsFigures({xml}, {{"lib/xml.jar", 1}}, 4096);
    EXPECT_EQ(one.files, "1");
    EXPECT_EQ(one.size, "1 B");
    EXPECT_EQ(one.diskSpace, "4.00 KB");
    // A file missing from the table counts as nothing; an exact multiple is not rounded further.
    DetailsFigures two =
        ComputeDetailsFigures({xml, util}, {{"lib/xml.jar", 4096}, {"lib/util.jar", 4097}}, 4096);
    EXPECT_EQ(two.files, "3");
    EXPECT_EQ(two.size, "8.00 KB");
    EXPECT_EQ(two.diskSpace, "12 KB");
}

bool Shown(const Dialog& d, int id) {
    return IsWindowVisible(d.Item(id)) != FALSE;
}

TEST(ExtensionTree, DetailsDialogsHideTheLinesAnExtensionDoesNotHave) {
    auto config = SampleConfiguration();
    DetailsFigures figures{"1", "1 B", "4.00 KB"};
    struct Case {
        const Extension* extension;
        const char* category;
        bool name;
        bool serviceClass;
    } cases[] = {
        {config->FindCore(), "NEB Core", false, false},
        {Find(*config, ExtensionKind::Library, "xml"), "Library", true, false},
        {Find(*config, ExtensionKind::Component, "parse"), "Component", true, true},
        {Find(*config, ExtensionKind::Application, "viewer"), "Application", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.category);
        ExtensionDetailsDialog dialog = ExtensionDetailsDialog::For(*c.extension, figures, nullptr);
        ASSERT_TRUE(dialog.CreateModeless());
        ShowWindow(dialog.Handle(), SW_SHOW);
        EXPECT_EQ(dialog.ItemText(IDC_DETAILS_CATEGORY), c.category);
        EXPECT_EQ(Shown(dialog, IDC_DETAILS_NAME), c.name);
        EXPECT_EQ(Shown(dialog, IDC_DETAILS_SERVICE_CLASS), c.serviceClass);
        EXPECT_EQ(Shown(dialog, IDC_DETAILS_SERVICE_CLASS_LABEL), c.serviceClass);
        EXPECT_EQ(dialog.ItemText(IDC_DETAILS_VERSION), c.extension->Version().ToText());
        EXPECT_EQ(dialog.ItemText(IDC_DETAILS_SIZE), "1 B");
        EXPECT_EQ(dialog.ItemText(IDC_DETAILS_DISK_SPACE), "4.00 KB");
    }
}

// "More information" on a package node counts the packages below it only in the product view.
TEST(ExtensionTree, MoreInformationOnAPackageCountsWhatItStandsFor) {
    Host host;
    ExtensionTree tree;
    tree.Attach(host.Tree());
    auto config = SampleConfiguration();
    tree.SetConfiguration(config.get(), false, {{"lib/util.jar", 10}});
    struct Case {
        ViewMode mode;
        const char* node;
        const char* libraries;
        const char* components;
        const char* files;
    } cases[] = {
        {ViewMode::ByProduct, "org", "2", "1", "4"},
        {ViewMode::ByPackage, "org", "1", "0", "2"},
    };
    for (const Case& c : cases) {
        tree.SetViewMode(c.mode);
        HTREEITEM node = ChildNamed(tree.Control(), nullptr, c.node);
        ASSERT_NE(node, nullptr);
        std::vector<std::string> seen;
        DialogDriver driver;
        driver.Then(testing::WithControl(IDC_DETAILS_SET_NAME), [&](HWND w) {
            for (int id : {IDC_DETAILS_SET_NAME, IDC_DETAILS_LIBRARIES, IDC_DETAILS_COMPONENTS,
                           IDC_DETAILS_APPLICATIONS, IDC_DETAILS_FILES, IDC_DETAILS_SIZE}) {
                seen.push_back(ItemText(w, id));
            }
            Press(w, IDOK);
        });
        driver.Start();
        tree.ShowDetails(node);
        EXPECT_TRUE(driver.Finish());
        EXPECT_EQ(seen, (std::vector<std::string>{"org", c.libraries, c.components, "0", c.files,
                                                  "10 B"}));
    }
    tree.Detach();
    EXPECT_EQ(tree.GetConfiguration(), config.get()) << "not owned, so not destroyed";
}

// The items that show a check, as the tree's nodes.
std::set<std::string> CheckedTexts(const SelectionTree& tree) {
    std::set<std::string> texts;
    std::function<void(HTREEITEM)> walk = [&](HTREEITEM first) {
        for (HTREEITEM c = first; c != nullptr; c = tree.Control().NextSibling(c)) {
            if (tree.Control().IsChecked(c)) {
                texts.insert(tree.Control().Text(c));
            }
            walk(tree.Control().FirstChild(c));
        }
    };
    walk(tree.Control().Root());
    return texts;
}

std::set<std::string> Names(const Selection& selection) {
    std::set<std::string> names;
    for (const Extension* e : selection) {
        names.insert(e->Name());
    }
    return names;
}

TEST(SelectionTree, PollActsOnOneClickAndRevertsTwo) {
    Host host;
    InstallSelectionTree tree;
    tree.Attach(host.Tree());
    EXPECT_TRUE(GetWindowLongA(host.Tree(), GWL_STYLE) & TVS_CHECKBOXES);
    auto config = SampleConfiguration();
    tree.SetConfiguration(config.get(), false, {});
    EXPECT_EQ(tree.GetSelection().size(), config->Count()) << "everything at first";
    tree.UnselectAll();
    EXPECT_TRUE(CheckedTexts(tree).empty());

    // One click: the component with the library it needs, the core, and their package nodes.
    TreeView view(tree.Handle());
    HTREEITEM parse = tree.ItemOf(Find(*config, ExtensionKind::Component, "parse"));
    view.SetChecked(parse, true);
    tree.Poll();
    EXPECT_EQ(Names(tree.GetSelection()), (std::set<std::string>{"parse", "xml", "Core"}));
    EXPECT_EQ(
        CheckedTexts(tree),
        (std::set<std::string>{"org", "xml", "parse", "Parsing service version 1.00",
                               "XML parser version 1.00", "System", "NEB Core version 2.00"}));
    EXPECT_EQ(view.Selected(), parse) << "the clicked item becomes the selected one";

    // Two clicks between polls are both undone.
    HTREEITEM viewer = tree.ItemOf(Find(*config, ExtensionKind::Application, "viewer"));
    HTREEITEM xml = tree.ItemOf(Find(*config, ExtensionKind::Library, "xml"));
    view.SetChecked(viewer, true);
    view.SetChecked(xml, false);
    tree.Poll();
    EXPECT_EQ(Names(tree.GetSelection()), (std::set<std::string>{"parse", "xml", "Core"}));
    EXPECT_FALSE(view.IsChecked(viewer));
    EXPECT_TRUE(view.IsChecked(xml));

    // Clearing the library drops the component that needs it; the timer does the polling.
    view.SetChecked(xml, false);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 400;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
    EXPECT_EQ(Names(tree.GetSelection()), std::set<std::string>{"Core"});
    EXPECT_FALSE(view.IsChecked(parse));
    tree.Detach();
}

TEST(SelectionTree, UninstallRulesRunThroughGroupsAndTheCore) {
    Host host;
    UninstallSelectionTree tree;
    tree.Attach(host.Tree());
    auto config = SampleConfiguration();
    tree.SetConfiguration(config.get(), false, {});
    tree.SetViewMode(ViewMode::ByStereotype);
    tree.UnselectAll();
    TreeView view(tree.Handle());

    // Checking the libraries group chooses every library and what needs them.
    HTREEITEM libraries = ChildNamed(view, nullptr, "Libraries");
    ASSERT_NE(libraries, nullptr);
    view.SetChecked(libraries, true);
    tree.Poll();
    EXPECT_EQ(Names(tree.GetSelection()),
              (std::set<std::string>{"xml", "util", "parse", "editor"}));

    // Keeping the component keeps the library it needs (and the core, not chosen anyway).
    view.SetChecked(tree.ItemOf(Find(*config, ExtensionKind::Component, "parse")), false);
    tree.Poll();
    EXPECT_EQ(Names(tree.GetSelection()), (std::set<std::string>{"util", "editor"}));

    // Choosing the core chooses everything.
    view.SetChecked(tree.ItemOf(config->FindCore()), true);
    tree.Poll();
    EXPECT_EQ(tree.GetSelection().size(), config->Count());
    tree.Detach();
}

} // namespace
} // namespace nebcm::ui
