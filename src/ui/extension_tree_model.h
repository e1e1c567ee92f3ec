// What the extension tree shows, independent of the tree control: nodes of the three views, their
// texts, images and order, and which extensions a node stands for.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/extension.h"

namespace nebcm::ui {

enum class ViewMode { ByProduct = 1, ByPackage = 2, ByStereotype = 3 };

// Images of the tree's image list.
enum TreeImage {
    ClosedFolderImage = 0,
    OpenFolderImage = 1,
    CoreImage = 2,
    LibraryImage = 3,
    ComponentImage = 4,
    ApplicationImage = 5,
};

// The three groups of the stereotype view carry these values.
enum TreeGroup { LibrariesGroup = 1, ComponentsGroup = 2, ApplicationsGroup = 3 };

struct TreeNode {
    enum class Type { Group, Package, Extension };
    Type type = Type::Extension;
    int group = 0;                        // for groups
    std::string packagePath;              // for package nodes: the whole path, "a/b/c"
    const Extension* extension = nullptr; // for extension items
    std::string text;
    int image = ClosedFolderImage;
    TreeNode* parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children;

    bool IsFolder() const { return type != Type::Extension; }
};

// Case-insensitive comparison of two texts in the machine's collation: negative, zero, positive.
using TextCollation = std::function<int(const std::string&, const std::string&)>;
int PortableCollation(const std::string& a, const std::string& b);

class ExtensionTreeModel {
public:
    explicit ExtensionTreeModel(TextCollation collation = PortableCollation);

    // Rebuilds every node from the configuration (none: an empty tree) in the given view; items
    // come in configuration order and are then sorted as the view requires.
    void Build(const Configuration* configuration, ViewMode mode);

    ViewMode Mode() const { return mode_; }
    const Configuration* Source() const { return configuration_; }
    const std::vector<std::unique_ptr<TreeNode>>& Roots() const { return roots_; }
    // The item of an extension, or null.
    const TreeNode* NodeOf(const Extension* extension) const;
    // Every node, depth first (parents before their children).
    std::vector<const TreeNode*> AllNodes() const;

    // The extensions a node stands for: a group, all of its kind; a package node with path P, those
    // whose package is P (and in the product view also those below P/); an item, its extension.
    std::vector<const Extension*> ExtensionsOf(const TreeNode& node) const;

    // The order of two siblings: groups first (Libraries, Components, Applications), then
    // package nodes by path, then extensions by description.
    bool Before(const TreeNode& a, const TreeNode& b) const;

private:
    TreeNode* PackageNode(const std::string& path, bool nested);
    TreeNode* AddNode(TreeNode* parent, std::unique_ptr<TreeNode> node);
    void Sort(std::vector<std::unique_ptr<TreeNode>>& nodes);

    TextCollation collation_;
    const Configuration* configuration_ = nullptr;
    ViewMode mode_ = ViewMode::ByProduct;
    std::vector<std::unique_ptr<TreeNode>> roots_;
    std::map<const Extension*, const TreeNode*> items_;
    std::map<std::string, TreeNode*> packages_;
};

// "%s version %s" of an extension (description and version).
std::string ExtensionItemText(const Extension& extension);
int ExtensionImage(const Extension& extension);

} // namespace nebcm::ui
