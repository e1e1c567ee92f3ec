// The extension tree control: renders the tree model, keeps folder pictures in step, and shows
// the details of an item.
#include "ui/extension_tree.h"

#include "common/messages.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "ui/details_dialogs.h"
#include "ui/dialog.h"
#include "ui/resource.h"

namespace nebcm::ui {

namespace {

int WindowsCollation(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str());
}

// Keeps the arrow cursor away while a long rebuild runs.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// The item value: the group number, the extension, or the package path.
LPARAM ItemValue(const TreeNode& node) {
    switch (node.type) {
    case TreeNode::Type::Group:
        return node.group;
    case TreeNode::Type::Package:
        return reinterpret_cast<LPARAM>(&node.packagePath);
    case TreeNode::Type::Extension:
        break;
    }
    return reinterpret_cast<LPARAM>(node.extension);
}

std::string Count(std::size_t n) {
    return FormatText("%d", static_cast<int>(n));
}

} // namespace

DetailsFigures ComputeDetailsFigures(const std::vector<const Extension*>& extensions,
                                     const FileSizeTable& sizes, std::uint32_t clusterSize) {
    std::uint64_t cluster = clusterSize == 0 ? 1 : clusterSize;
    std::size_t files = 0;
    std::uint64_t total = 0;
    std::uint64_t space = 0;
    for (const Extension* e : extensions) {
        for (std::size_t i = 0; i < e->FileCount(); ++i) {
            ++files;
            auto it = sizes.find(e->FileAt(i).Path());
            std::uint64_t size = it == sizes.end() ? 0 : it->second;
            total += size;
            space += (size + cluster - 1) / cluster * cluster;
        }
    }
    return {Count(files), FormatByteSize(total), FormatByteSize(space)};
}

std::uint32_t InstallationClusterSize() {
    std::string path;
    char drive = 'c';
    if (ReadInstallationPath(path) && !path.empty()) {
        drive = path[0];
    }
    std::uint32_t cluster = 0;
    if (!QueryClusterSize(drive, cluster) || cluster == 0) {
        cluster = 1;
    }
    return cluster;
}

ExtensionTree::ExtensionTree() : model_(WindowsCollation) {}

ExtensionTree::~ExtensionTree() {
    Detach();
    ReleaseConfiguration();
}

void ExtensionTree::ReleaseConfiguration() {
    if (owned_) {
        delete configuration_;
    }
    configuration_ = nullptr;
    owned_ = false;
}

void ExtensionTree::Attach(HWND control) {
    tree_.Attach(control);
}

void ExtensionTree::Detach() {
    nodes_.clear();
    items_.clear();
    rightClicked_ = nullptr;
    if (images_ != nullptr) {
        if (tree_.Handle() != nullptr && IsWindow(tree_.Handle())) {
            tree_.SetImageList(nullptr);
        }
        ImageList_Destroy(images_);
        images_ = nullptr;
    }
    tree_.Attach(nullptr);
}

void ExtensionTree::SetViewMode(ViewMode mode) {
    if (mode != mode_) {
        mode_ = mode;
        Rebuild();
    }
}

void ExtensionTree::SetConfiguration(const Configuration* configuration, bool owned,
                                     const FileSizeTable& sizes) {
    if (images_ == nullptr && tree_.Handle() != nullptr) {
        images_ = ImageList_LoadImageA(ResourceModule(), MAKEINTRESOURCEA(IDB_EXTENSIONS), 16, 0,
                                       RGB(255, 255, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
        tree_.SetImageList(images_);
    }
    if (configuration != configuration_) {
        ReleaseConfiguration();
    }
    configuration_ = configuration;
    owned_ = owned && configuration != nullptr;
    sizes_ = sizes;
    Rebuild();
}

void ExtensionTree::Rebuild() {
    WaitCursor wait;
    nodes_.clear();
    items_.clear();
    rightClicked_ = nullptr;
    if (tree_.Handle() != nullptr) {
        tree_.DeleteAll();
    }
    model_.Build(configuration_, mode_);
    if (tree_.Handle() == nullptr) {
        return;
    }
    for (const auto& root : model_.Roots()) {
        Insert(nullptr, *root);
    }
}

void ExtensionTree::Insert(HTREEITEM parent, const TreeNode& node) {
    HTREEITEM item = tree_.Insert(parent, node.text, node.image, node.image, ItemValue(node));
    nodes_[item] = &node;
    items_[&node] = item;
    for (const auto& child : node.children) {
        Insert(item, *child);
    }
}

void ExtensionTree::CollectItems(HTREEITEM parent, std::vector<HTREEITEM>& items) const {
    for (HTREEITEM c = parent == nullptr ? tree_.Root() : tree_.FirstChild(parent); c != nullptr;
         c = tree_.NextSibling(c)) {
        items.push_back(c);
        CollectItems(c, items);
    }
}

void ExtensionTree::CollapseAll() {
    std::vector<HTREEITEM> items;
    CollectItems(nullptr, items);
    for (HTREEITEM item : items) {
        tree_.Expand(item, TVE_COLLAPSE);
        UpdateFolderImage(item);
    }
}

HTREEITEM ExtensionTree::ItemOf(const Extension* extension) const {
    return ItemOf(model_.NodeOf(extension));
}

HTREEITEM ExtensionTree::ItemOf(const TreeNode* node) const {
    auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second;
}

const TreeNode* ExtensionTree::NodeOf(HTREEITEM item) const {
    auto it = nodes_.find(item);
    return it == nodes_.end() ? nullptr : it->second;
}

void ExtensionTree::UpdateFolderImage(HTREEITEM item) {
    const TreeNode* node = NodeOf(item);
    if (node == nullptr || !node->IsFolder()) {
        return;
    }
    int image = tree_.IsExpanded(item) && tree_.FirstChild(item) != nullptr ? OpenFolderImage
                                                                            : ClosedFolderImage;
    tree_.SetImages(item, image, image);
}

std::vector<UINT> ExtensionTree::NotifyCodes() {
    return {TVN_ITEMEXPANDEDA, TVN_ITEMEXPANDEDW, NM_RCLICK};
}

LRESULT ExtensionTree::HandleNotify(NMHDR* header) {
    switch (header->code) {
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW:
        UpdateFolderImage(reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
        return 0;
    case NM_RCLICK:
        OnRightClick();
        return 1; // the control's own context menu is not wanted
    default:
        return 0;
    }
}

void ExtensionTree::OnRightClick() {
    POINT screen;
    GetCursorPos(&screen);
    HTREEITEM item = tree_.HitTest(screen);
    if (item == nullptr) {
        return;
    }
    tree_.Select(item);
    SendMessageA(tree_.Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    rightClicked_ = item;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    AppendMenuA(menu, MF_STRING, MoreInformationCommand, Message(4003).c_str());
    int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                 tree_.Handle(), nullptr);
    DestroyMenu(menu);
    if (command == MoreInformationCommand && rightClicked_ != nullptr) {
        ShowDetails(rightClicked_);
    }
}

void ExtensionTree::ShowDetails(HTREEITEM item) {
    const TreeNode* node = NodeOf(item);
    if (node == nullptr) {
        return;
    }
    HWND owner = GetParent(tree_.Handle());
    std::vector<const Extension*> extensions = model_.ExtensionsOf(*node);
    DetailsFigures figures = ComputeDetailsFigures(extensions, sizes_, InstallationClusterSize());
    if (node->type == TreeNode::Type::Extension) {
        ExtensionDetailsDialog dialog =
            ExtensionDetailsDialog::For(*node->extension, figures, owner);
        dialog.DoModal();
        return;
    }
    std::size_t counts[5] = {0, 0, 0, 0, 0};
    for (const Extension* e : extensions) {
        ++counts[static_cast<int>(e->Kind())];
    }
    std::string title = node->type == TreeNode::Type::Group ? node->text : node->packagePath;
    ExtensionSetDetailsDialog dialog(title, Count(counts[static_cast<int>(ExtensionKind::Library)]),
                                     Count(counts[static_cast<int>(ExtensionKind::Component)]),
                                     Count(counts[static_cast<int>(ExtensionKind::Application)]),
                                     figures.files, figures.size, figures.diskSpace, owner);
    dialog.DoModal();
}

} // namespace nebcm::ui
