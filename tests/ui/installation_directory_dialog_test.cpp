// The installation directory browser under Wine: the drive list, folders listed on demand with
// their pictures, the chosen path, and OK only with a choice.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "engine/system_calls_win32.h"
#include "support/scratch_dir.h"
#include "ui/installation_directory_dialog.h"
#include "ui/resource.h"
#include "ui/tree_view.h"

namespace nebcm::ui {
namespace {

using nebcm::testing::ScratchDir;
using testing::DialogDriver;
using testing::ItemText;
using testing::Press;

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> ChildTexts(const TreeView& tree, HTREEITEM item) {
    std::vector<std::string> texts;
    for (HTREEITEM c = tree.FirstChild(item); c != nullptr; c = tree.NextSibling(c)) {
        texts.push_back(tree.Text(c));
    }
    return texts;
}

HTREEITEM Child(const TreeView& tree, HTREEITEM item, const std::string& name) {
    for (HTREEITEM c = tree.FirstChild(item); c != nullptr; c = tree.NextSibling(c)) {
        if (SameName(tree.Text(c), name)) {
            return c;
        }
    }
    return nullptr;
}

std::pair<int, int> Images(const TreeView& tree, HTREEITEM item) {
    TVITEMA tv = {};
    tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    SendMessageA(tree.Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return {tv.iImage, tv.iSelectedImage};
}

// Selects an item and presses a key on the tree, as the user would.
void Key(const TreeView& tree, HTREEITEM item, WPARAM key) {
    SendMessageA(tree.Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SendMessageA(tree.Handle(), WM_KEYDOWN, key, 0);
}

// Walks from the drive down to a directory, selecting each level on the way.
HTREEITEM Reach(const TreeView& tree, const std::string& path) {
    HTREEITEM item = nullptr;
    for (HTREEITEM root = tree.Root(); root != nullptr; root = tree.NextSibling(root)) {
        if (SameName(tree.Text(root).substr(0, 2), path.substr(0, 2))) {
            item = root;
        }
    }
    std::size_t at = 3;
    while (item != nullptr && at < path.size()) {
        std::size_t end = path.find('\\', at);
        std::string name = path.substr(at, end == std::string::npos ? std::string::npos : end - at);
        Key(tree, item, VK_RIGHT);
        item = Child(tree, item, name);
        at = end == std::string::npos ? path.size() : end + 1;
    }
    return item;
}

TEST(InstallationDirectoryDialog, OffersTheFixedDrivesWithNothingChosen) {
    InstallationDirectoryDialog dialog(nullptr);
    ASSERT_TRUE(dialog.CreateModeless());
    TreeView tree(dialog.Item(IDC_FOLDER_TREE));
    EXPECT_EQ(ItemText(dialog.Handle(), IDC_CHOSEN_PATH), "");
    EXPECT_TRUE(GetWindowLongA(dialog.Item(IDC_CHOSEN_PATH), GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(IsWindowEnabled(dialog.Item(IDOK)));
    EXPECT_EQ(tree.Selected(), nullptr);
    EXPECT_EQ(dialog.ChosenPath(), "");

    ASSERT_NE(tree.Root(), nullptr) << "drive C: is a fixed disk";
    char previous = 'B';
    for (HTREEITEM drive = tree.Root(); drive != nullptr; drive = tree.NextSibling(drive)) {
        std::string text = tree.Text(drive);
        SCOPED_TRACE(text);
        ASSERT_GE(text.size(), 5u);
        EXPECT_GT(text[0], previous) << "drives in order from C to Z";
        previous = text[0];
        EXPECT_EQ(text.substr(1, 3), ": [");
        EXPECT_TRUE(text.back() == ']' ||
                    (text.size() > 5 && text.substr(text.size() - 5) == " free"));
        EXPECT_EQ(Images(tree, drive), std::make_pair(0, 0));
        EXPECT_EQ(ChildTexts(tree, drive), std::vector<std::string>{"-"}) << "not listed yet";
    }
    EXPECT_EQ(tree.Text(tree.Root()).substr(0, 1), "C");
}

TEST(InstallationDirectoryDialog, ListsFoldersOnDemandAndChoosesTheirNebDirectory) {
    ScratchDir dir;
    for (const char* d : {"beta", "Alpha", "gamma", "gamma\\inner"}) {
        CreateDirectoryA(dir.File(d).c_str(), nullptr);
    }
    dir.Write("a file", "x");

    InstallationDirectoryDialog dialog(nullptr);
    ASSERT_TRUE(dialog.CreateModeless());
    TreeView tree(dialog.Item(IDC_FOLDER_TREE));
    HTREEITEM scratch = Reach(tree, dir.Path());
    ASSERT_NE(scratch, nullptr) << dir.Path();

    // Selecting lists the folders, sorted, files left out, each expandable.
    tree.Select(scratch);
    EXPECT_EQ(ChildTexts(tree, scratch), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(ItemText(dialog.Handle(), IDC_CHOSEN_PATH), dir.Path() + "\\NEB\\20");
    EXPECT_EQ(dialog.ChosenPath(), dir.Path() + "\\NEB\\20");
    EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDOK)));

    HTREEITEM gamma = Child(tree, scratch, "gamma");
    EXPECT_EQ(ChildTexts(tree, gamma), std::vector<std::string>{"-"});
    EXPECT_EQ(Images(tree, gamma), std::make_pair(1, 1));
    Key(tree, gamma, VK_RIGHT);
    EXPECT_EQ(ChildTexts(tree, gamma), std::vector<std::string>{"inner"});
    EXPECT_EQ(Images(tree, gamma), std::make_pair(2, 2)) << "an open folder when expanded";
    Key(tree, gamma, VK_LEFT);
    EXPECT_EQ(Images(tree, gamma), std::make_pair(1, 1)) << "closed again when collapsed";
    EXPECT_EQ(dialog.ChosenPath(), dir.Path() + "\\gamma\\NEB\\20");

    // A folder without folders loses its placeholder and never shows itself open.
    HTREEITEM alpha = Child(tree, scratch, "Alpha");
    Key(tree, alpha, VK_RIGHT);
    EXPECT_EQ(tree.FirstChild(alpha), nullptr);
    EXPECT_EQ(Images(tree, alpha), std::make_pair(1, 1));

    // Listing once is enough: a folder made afterwards does not appear.
    CreateDirectoryA(dir.File("gamma\\later").c_str(), nullptr);
    Key(tree, gamma, VK_RIGHT);
    EXPECT_EQ(ChildTexts(tree, gamma), std::vector<std::string>{"inner"});
}

// Refuses every directory listing.
class NoListing : public SystemCallFilter {
public:
    bool Fail(SystemCall call) override { return call == SystemCall::FindFiles; }
};

TEST(InstallationDirectoryDialog, AFolderThatCannotBeListedShowsNoChildren) {
    ScratchDir dir;
    CreateDirectoryA(dir.File("outer").c_str(), nullptr);
    CreateDirectoryA(dir.File("outer\\inner").c_str(), nullptr);
    InstallationDirectoryDialog dialog(nullptr);
    ASSERT_TRUE(dialog.CreateModeless());
    TreeView tree(dialog.Item(IDC_FOLDER_TREE));
    HTREEITEM scratch = Reach(tree, dir.Path());
    ASSERT_NE(scratch, nullptr);
    Key(tree, scratch, VK_RIGHT);
    HTREEITEM outer = Child(tree, scratch, "outer");
    ASSERT_NE(outer, nullptr);
    NoListing refuse;
    SystemCallFilter* before = SetSystemCallFilter(&refuse);
    Key(tree, outer, VK_RIGHT);
    SetSystemCallFilter(before);
    EXPECT_EQ(tree.FirstChild(outer), nullptr);
    EXPECT_EQ(dialog.ChosenPath(), dir.Path() + "\\outer\\NEB\\20") << "it can still be chosen";
}

TEST(InstallationDirectoryDialog, OkEndsWithTheChosenPathAndNeedsAChoice) {
    {
        InstallationDirectoryDialog dialog(nullptr);
        std::string shown;
        DialogDriver driver;
        driver.Then(testing::WithControl(IDC_FOLDER_TREE), [&](HWND w) {
            HWND tree = GetDlgItem(w, IDC_FOLDER_TREE);
            LPARAM drive = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, drive);
            shown = ItemText(w, IDC_CHOSEN_PATH);
            Press(w, IDOK);
        });
        driver.Start();
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_TRUE(driver.Finish());
        EXPECT_EQ(shown, "C:\\NEB\\20");
        EXPECT_EQ(dialog.ChosenPath(), "C:\\NEB\\20");
    }
    {
        InstallationDirectoryDialog dialog(nullptr);
        DialogDriver driver;
        driver.Then(testing::WithControl(IDC_FOLDER_TREE), [](HWND w) {
            // Enter without a choice must not end the dialog.
            PostMessageA(w, WM_COMMAND, IDOK, 0);
            Press(w, IDCANCEL);
        });
        driver.Start();
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_TRUE(driver.Finish());
        EXPECT_EQ(dialog.ChosenPath(), "");
    }
}

} // namespace
} // namespace nebcm::ui
