// Dependency rules of the check-box trees and the reading of their polls.
#include "ui/selection_model.h"

namespace nebcm::ui {

const Extension* SelectionModel::Resolve(const Dependency& d) const {
    return configuration_->FindExtension(d.Kind(), d.Name());
}

void SelectionModel::SelectAll() {
    selection_.clear();
    for (std::size_t i = 0; i < configuration_->Count(); ++i) {
        selection_.insert(&configuration_->At(i));
    }
}

Selection SelectionModel::WithWhatItNeeds(const Extension* e) const {
    Selection s{e};
    if (const Core* core = configuration_->FindCore()) {
        s.insert(core);
    }
    std::vector<const Extension*> work(s.begin(), s.end());
    while (!work.empty()) {
        const Extension* x = work.back();
        work.pop_back();
        for (std::size_t i = 0; i < x->DependencyCount(); ++i) {
            const Extension* needed = Resolve(x->DependencyAt(i));
            if (needed != nullptr && s.insert(needed).second) {
                work.push_back(needed);
            }
        }
    }
    return s;
}

Selection SelectionModel::WithWhatNeedsIt(const Extension* e) const {
    Selection s{e};
    if (e->Kind() == ExtensionKind::Core) {
        for (std::size_t i = 0; i < configuration_->Count(); ++i) {
            s.insert(&configuration_->At(i));
        }
        return s;
    }
    bool grew = true;
    while (grew) {
        grew = false;
        for (std::size_t i = 0; i < configuration_->Count(); ++i) {
            const Extension* x = &configuration_->At(i);
            if (s.count(x)) {
                continue;
            }
            for (std::size_t d = 0; d < x->DependencyCount(); ++d) {
                const Extension* needed = Resolve(x->DependencyAt(d));
                if (needed != nullptr && s.count(needed)) {
                    s.insert(x);
                    grew = true;
                    break;
                }
            }
        }
    }
    return s;
}

void SelectionModel::Check(const std::vector<const Extension*>& extensions) {
    for (const Extension* e : extensions) {
        if (selection_.count(e)) {
            continue;
        }
        Selection s =
            purpose_ == SelectionPurpose::Install ? WithWhatItNeeds(e) : WithWhatNeedsIt(e);
        selection_.insert(s.begin(), s.end());
    }
}

void SelectionModel::Uncheck(const std::vector<const Extension*>& extensions) {
    for (const Extension* e : extensions) {
        if (!selection_.count(e)) {
            continue;
        }
        Selection s =
            purpose_ == SelectionPurpose::Install ? WithWhatNeedsIt(e) : WithWhatItNeeds(e);
        for (const Extension* x : s) {
            selection_.erase(x);
        }
    }
}

std::set<const TreeNode*> SelectionModel::CheckedNodes(const ExtensionTreeModel& tree) const {
    std::set<const TreeNode*> checked;
    for (const Extension* e : selection_) {
        for (const TreeNode* node = tree.NodeOf(e); node != nullptr; node = node->parent) {
            if (!checked.insert(node).second) {
                break; // the ancestors are in already
            }
        }
    }
    return checked;
}

PollResult ReadPoll(const std::set<const TreeNode*>& current,
                    const std::set<const TreeNode*>& expected) {
    PollResult result;
    auto onlyIn = [](const std::set<const TreeNode*>& a, const std::set<const TreeNode*>& b) {
        std::vector<const TreeNode*> out;
        for (const TreeNode* n : a) {
            if (!b.count(n)) {
                out.push_back(n);
            }
        }
        return out;
    };
    std::vector<const TreeNode*> added = onlyIn(current, expected);
    std::vector<const TreeNode*> removed = onlyIn(expected, current);
    if (current.size() == expected.size() && added.empty()) {
        return result;
    }
    if (current.size() == expected.size() + 1) {
        result.kind = PollResult::Kind::Checked;
        result.nodes = added;
    } else if (current.size() + 1 == expected.size()) {
        result.kind = PollResult::Kind::Unchecked;
        result.nodes = removed;
    } else {
        result.kind = PollResult::Kind::Revert;
    }
    return result;
}

} // namespace nebcm::ui
