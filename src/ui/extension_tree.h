// The tree-view display of one configuration in three views, with folder pictures and the details
// of any item on the right mouse button.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/extension.h"
#include "ui/extension_tree_model.h"
#include "ui/tree_view.h"

namespace nebcm::ui {

// A file path as the component database writes it ('/'-separated, exact case) and its size.
using FileSizeTable = std::map<std::string, std::uint64_t>;

// What the details dialogs show about a number of extensions.
struct DetailsFigures {
    std::string files;     // the number of file entries
    std::string size;      // their total size
    std::string diskSpace; // the total with every file rounded up to whole clusters
};

// A file without a size in the table counts as 0 bytes; a cluster size of 0 counts as 1.
DetailsFigures ComputeDetailsFigures(const std::vector<const Extension*>& extensions,
                                     const FileSizeTable& sizes, std::uint32_t clusterSize);

// The allocation unit of the drive NEB 2.0 is installed on ("c" when the installation path cannot
// be read), 1 when the drive cannot tell.
std::uint32_t InstallationClusterSize();

// Lives inside a dialog: Attach it to the tree control once the dialog exists, and have the
// dialog forward the control's notifications (HandleNotify) for the codes of NotifyCodes().
class ExtensionTree {
public:
    // The command of the pop-up menu's only entry, "More information".
    static constexpr int MoreInformationCommand = 4003;

    ExtensionTree();
    virtual ~ExtensionTree();
    ExtensionTree(const ExtensionTree&) = delete;
    ExtensionTree& operator=(const ExtensionTree&) = delete;

    virtual void Attach(HWND control);
    // The control is going away: its items and the image list are dropped, the configuration kept.
    virtual void Detach();
    HWND Handle() const { return tree_.Handle(); }
    const TreeView& Control() const { return tree_; }

    virtual void SetViewMode(ViewMode mode);
    // An owned configuration is destroyed when it is replaced or the tree goes.
    virtual void SetConfiguration(const Configuration* configuration, bool owned,
                                  const FileSizeTable& sizes);
    virtual void Rebuild();

    ViewMode GetViewMode() const { return mode_; }
    const Configuration* GetConfiguration() const { return configuration_; }
    const FileSizeTable& FileSizes() const { return sizes_; }
    const ExtensionTreeModel& Model() const { return model_; }

    void CollapseAll();
    HTREEITEM ItemOf(const Extension* extension) const;
    const TreeNode* NodeOf(HTREEITEM item) const;
    HTREEITEM ItemOf(const TreeNode* node) const;

    static std::vector<UINT> NotifyCodes();
    LRESULT HandleNotify(NMHDR* header);

    // Shows the details dialog of an item ("More information"), modally.
    void ShowDetails(HTREEITEM item);

protected:
    // Everything below an item (or the whole tree for null), depth first.
    void CollectItems(HTREEITEM parent, std::vector<HTREEITEM>& items) const;

    TreeView tree_;

private:
    void Insert(HTREEITEM parent, const TreeNode& node);
    void UpdateFolderImage(HTREEITEM item);
    void OnRightClick();
    void ReleaseConfiguration();

    ExtensionTreeModel model_;
    const Configuration* configuration_ = nullptr;
    bool owned_ = false;
    ViewMode mode_ = ViewMode::ByProduct;
    FileSizeTable sizes_;
    HIMAGELIST images_ = nullptr;
    std::map<HTREEITEM, const TreeNode*> nodes_;
    std::map<const TreeNode*, HTREEITEM> items_;
    HTREEITEM rightClicked_ = nullptr;
};

} // namespace nebcm::ui
