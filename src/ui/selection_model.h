// The check-box tree's selection, kept apart from the control: the dependency rules of choosing
// extensions to install or to remove, which items show a check, and how a poll of the control's
// check boxes is read.
#pragma once

#include <set>
#include <vector>

#include "ui/extension_tree_model.h"

namespace nebcm::ui {

using Selection = std::set<const Extension*>;

enum class SelectionPurpose { Install, Uninstall };

class SelectionModel {
public:
    SelectionModel(const Configuration& configuration, SelectionPurpose purpose)
        : configuration_(&configuration), purpose_(purpose) {}

    const Selection& Selected() const { return selection_; }
    void SelectAll();
    void UnselectAll() { selection_.clear(); }

    // The user checked a node standing for these extensions: each one not yet selected is chosen
    // with its rule.
    void Check(const std::vector<const Extension*>& extensions);
    // The user cleared a node: each one selected is dropped with its rule.
    void Uncheck(const std::vector<const Extension*>& extensions);

    // The items that must show a check: the item of every selected extension and its ancestors.
    std::set<const TreeNode*> CheckedNodes(const ExtensionTreeModel& tree) const;

private:
    // Choosing e for installation (or keeping it installed): e, the core and what they need.
    Selection WithWhatItNeeds(const Extension* e) const;
    // Dropping e from an installation (or choosing it for removal): e and everything that needs
    // it; everything when e is the core.
    Selection WithWhatNeedsIt(const Extension* e) const;
    const Extension* Resolve(const Dependency& d) const;

    const Configuration* configuration_;
    SelectionPurpose purpose_;
    Selection selection_;
};

// How a poll reads the control's checks (current) against the model's (expected): one check more
// is the user checking, one fewer the user clearing, anything else is undone.
struct PollResult {
    enum class Kind { Unchanged, Checked, Unchecked, Revert };
    Kind kind = Kind::Unchanged;
    // Checked: the items that show a check the model does not have; Unchecked: the reverse.
    std::vector<const TreeNode*> nodes;
};
PollResult ReadPoll(const std::set<const TreeNode*>& current,
                    const std::set<const TreeNode*>& expected);

} // namespace nebcm::ui
