// The extension tree's nodes for the product, package and stereotype views.
#include "ui/extension_tree_model.h"

#include <algorithm>
#include <cctype>

#include "common/messages.h"

namespace nebcm::ui {

int PortableCollation(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int x = std::tolower(static_cast<unsigned char>(a[i]));
        int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string ExtensionItemText(const Extension& extension) {
    return Message(4008, extension.Description(), extension.Version().ToText());
}

int ExtensionImage(const Extension& extension) {
    switch (extension.Kind()) {
    case ExtensionKind::Core:
        return CoreImage;
    case ExtensionKind::Library:
        return LibraryImage;
    case ExtensionKind::Component:
        return ComponentImage;
    case ExtensionKind::Application:
        return ApplicationImage;
    }
    return ClosedFolderImage;
}

ExtensionTreeModel::ExtensionTreeModel(TextCollation collation)
    : collation_(std::move(collation)) {}

TreeNode* ExtensionTreeModel::AddNode(TreeNode* parent, std::unique_ptr<TreeNode> node) {
    node->parent = parent;
    auto& list = parent != nullptr ? parent->children : roots_;
    list.push_back(std::move(node));
    return list.back().get();
}

TreeNode* ExtensionTreeModel::PackageNode(const std::string& path, bool nested) {
    auto found = packages_.find(path);
    if (found != packages_.end()) {
        return found->second;
    }
    TreeNode* parent = nullptr;
    std::string text = path;
    std::size_t slash = nested ? path.rfind('/') : std::string::npos;
    if (slash != std::string::npos) {
        parent = PackageNode(path.substr(0, slash), nested);
        text = path.substr(slash + 1);
    }
    auto node = std::make_unique<TreeNode>();
    node->type = TreeNode::Type::Package;
    node->packagePath = path;
    node->text = text;
    node->image = ClosedFolderImage;
    TreeNode* added = AddNode(parent, std::move(node));
    packages_[path] = added;
    return added;
}

void ExtensionTreeModel::Build(const Configuration* configuration, ViewMode mode) {
    configuration_ = configuration;
    mode_ = mode;
    roots_.clear();
    items_.clear();
    packages_.clear();
    if (configuration == nullptr) {
        return;
    }

    TreeNode* groups[4] = {nullptr, nullptr, nullptr, nullptr};
    if (mode == ViewMode::ByStereotype) {
        if (const Core* core = configuration->FindCore()) {
            auto item = std::make_unique<TreeNode>();
            item->extension = core;
            item->text = ExtensionItemText(*core);
            item->image = CoreImage;
            items_[core] = AddNode(nullptr, std::move(item));
        }
        for (int g = LibrariesGroup; g <= ApplicationsGroup; ++g) {
            auto group = std::make_unique<TreeNode>();
            group->type = TreeNode::Type::Group;
            group->group = g;
            group->text = MessageText(4000 + g - 1);
            groups[g] = AddNode(nullptr, std::move(group));
        }
    }

    for (std::size_t i = 0; i < configuration->Count(); ++i) {
        const Extension& e = configuration->At(i);
        TreeNode* parent = nullptr;
        if (mode == ViewMode::ByStereotype) {
            if (e.Kind() == ExtensionKind::Core) {
                // The first core is already at the top; a second one (only possible before
                // validation) has nowhere else to go.
                if (items_.count(&e)) {
                    continue;
                }
            } else {
                parent = groups[static_cast<int>(e.Kind()) - 1];
            }
        } else {
            parent = PackageNode(e.Package(), mode == ViewMode::ByProduct);
        }
        auto item = std::make_unique<TreeNode>();
        item->extension = &e;
        item->text = ExtensionItemText(e);
        item->image = ExtensionImage(e);
        items_[&e] = AddNode(parent, std::move(item));
    }

    if (mode != ViewMode::ByStereotype) {
        Sort(roots_);
    }
    for (const TreeNode* node : AllNodes()) {
        Sort(const_cast<TreeNode*>(node)->children);
    }
}

void ExtensionTreeModel::Sort(std::vector<std::unique_ptr<TreeNode>>& nodes) {
    std::stable_sort(nodes.begin(), nodes.end(),
                     [this](const std::unique_ptr<TreeNode>& a,
                            const std::unique_ptr<TreeNode>& b) { return Before(*a, *b); });
}

bool ExtensionTreeModel::Before(const TreeNode& a, const TreeNode& b) const {
    auto rank = [](const TreeNode& n) {
        switch (n.type) {
        case TreeNode::Type::Group:
            return n.group; // 1..3
        case TreeNode::Type::Package:
            return 4;
        case TreeNode::Type::Extension:
            break;
        }
        return 5;
    };
    int ra = rank(a);
    int rb = rank(b);
    if (ra != rb) {
        return ra < rb;
    }
    if (a.type == TreeNode::Type::Package) {
        return collation_(a.packagePath, b.packagePath) < 0;
    }
    if (a.type == TreeNode::Type::Extension) {
        return collation_(a.extension->Description(), b.extension->Description()) < 0;
    }
    return false;
}

const TreeNode* ExtensionTreeModel::NodeOf(const Extension* extension) const {
    auto it = items_.find(extension);
    return it == items_.end() ? nullptr : it->second;
}

std::vector<const TreeNode*> ExtensionTreeModel::AllNodes() const {
    std::vector<const TreeNode*> out;
    std::vector<const TreeNode*> stack;
    for (auto it = roots_.rbegin(); it != roots_.rend(); ++it) {
        stack.push_back(it->get());
    }
    while (!stack.empty()) {
        const TreeNode* node = stack.back();
        stack.pop_back();
        out.push_back(node);
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            stack.push_back(it->get());
        }
    }
    return out;
}

std::vector<const Extension*> ExtensionTreeModel::ExtensionsOf(const TreeNode& node) const {
    std::vector<const Extension*> out;
    if (configuration_ == nullptr) {
        return out;
    }
    switch (node.type) {
    case TreeNode::Type::Extension:
        out.push_back(node.extension);
        break;
    case TreeNode::Type::Group:
        for (std::size_t i = 0; i < configuration_->Count(); ++i) {
            const Extension& e = configuration_->At(i);
            if (static_cast<int>(e.Kind()) == node.group + 1) {
                out.push_back(&e);
            }
        }
        break;
    case TreeNode::Type::Package: {
        const std::string prefix = node.packagePath + "/";
        for (std::size_t i = 0; i < configuration_->Count(); ++i) {
            const Extension& e = configuration_->At(i);
            bool below =
                mode_ == ViewMode::ByProduct && e.Package().compare(0, prefix.size(), prefix) == 0;
            if (e.Package() == node.packagePath || below) {
                out.push_back(&e);
            }
        }
        break;
    }
    }
    return out;
}

} // namespace nebcm::ui
