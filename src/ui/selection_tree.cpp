// The check-box tree: selection, check marks and the poll that reads the user's clicks.
#include "ui/selection_tree.h"

#include <vector>

namespace nebcm::ui {

namespace {
const char kTreeProperty[] = "NebCMSelectionTree";
}

SelectionTree::~SelectionTree() {
    SelectionTree::Detach();
}

void SelectionTree::Attach(HWND control) {
    ExtensionTree::Attach(control);
    if (control == nullptr) {
        return;
    }
    tree_.EnableCheckBoxes();
    SetPropA(control, kTreeProperty, reinterpret_cast<HANDLE>(this));
    StartTimer();
}

void SelectionTree::Detach() {
    HWND control = tree_.Handle();
    if (control != nullptr && IsWindow(control)) {
        StopTimer();
        RemovePropA(control, kTreeProperty);
    }
    ExtensionTree::Detach();
}

void SelectionTree::StartTimer() {
    if (tree_.Handle() != nullptr) {
        SetTimer(tree_.Handle(), PollTimer, PollInterval, OnTimer);
    }
}

void SelectionTree::StopTimer() {
    if (tree_.Handle() != nullptr) {
        KillTimer(tree_.Handle(), PollTimer);
    }
}

void CALLBACK SelectionTree::OnTimer(HWND window, UINT, UINT_PTR, DWORD) {
    auto* self = reinterpret_cast<SelectionTree*>(GetPropA(window, kTreeProperty));
    if (self != nullptr) {
        self->Poll();
    }
}

void SelectionTree::SetViewMode(ViewMode mode) {
    StopTimer();
    ExtensionTree::SetViewMode(mode);
    RedrawChecks();
    StartTimer();
}

void SelectionTree::SetConfiguration(const Configuration* configuration, bool owned,
                                     const FileSizeTable& sizes) {
    StopTimer();
    selection_.reset();
    ExtensionTree::SetConfiguration(configuration, owned, sizes);
    if (configuration != nullptr) {
        selection_ = std::make_unique<SelectionModel>(*configuration, purpose_);
    }
    SelectAll(); // redraws and starts the timer again
}

void SelectionTree::SelectAll() {
    StopTimer();
    if (selection_) {
        selection_->SelectAll();
    }
    RedrawChecks();
    StartTimer();
}

void SelectionTree::UnselectAll() {
    StopTimer();
    if (selection_) {
        selection_->UnselectAll();
    }
    RedrawChecks();
    StartTimer();
}

void SelectionTree::OnSelectExtension(const Extension* extension) {
    if (selection_) {
        selection_->Check({extension});
    }
}

void SelectionTree::OnUnselectExtension(const Extension* extension) {
    if (selection_) {
        selection_->Uncheck({extension});
    }
}

Selection SelectionTree::GetSelection() const {
    return selection_ ? selection_->Selected() : Selection();
}

void SelectionTree::RedrawChecks() {
    if (tree_.Handle() == nullptr) {
        return;
    }
    std::set<const TreeNode*> expected;
    if (selection_) {
        expected = selection_->CheckedNodes(Model());
    }
    std::vector<HTREEITEM> items;
    CollectItems(nullptr, items);
    for (HTREEITEM item : items) {
        bool checked = expected.count(NodeOf(item)) != 0;
        if (tree_.IsChecked(item) != checked) {
            tree_.SetChecked(item, checked);
        }
    }
}

void SelectionTree::CheckAction(const TreeNode& node, bool check) {
    // Each extension goes through its rule on its own, so a group's members pull in what they
    // need (or drag along what needs them) one by one.
    const Selection& selected = selection_->Selected();
    for (const Extension* e : Model().ExtensionsOf(node)) {
        bool isSelected = selected.count(e) != 0;
        if (check && !isSelected) {
            OnSelectExtension(e);
        } else if (!check && isSelected) {
            OnUnselectExtension(e);
        }
    }
}

void SelectionTree::Poll() {
    if (tree_.Handle() == nullptr || !selection_) {
        return;
    }
    StopTimer();
    std::vector<HTREEITEM> items;
    CollectItems(nullptr, items);
    std::set<const TreeNode*> current;
    for (HTREEITEM item : items) {
        if (tree_.IsChecked(item)) {
            current.insert(NodeOf(item));
        }
    }
    PollResult poll = ReadPoll(current, selection_->CheckedNodes(Model()));
    if (poll.kind != PollResult::Kind::Unchanged) {
        for (const TreeNode* node : poll.nodes) {
            tree_.Select(ItemOf(node));
            CheckAction(*node, poll.kind == PollResult::Kind::Checked);
        }
        RedrawChecks();
    }
    StartTimer();
}

} // namespace nebcm::ui
