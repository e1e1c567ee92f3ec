// The check-box form of the extension tree, in which the user chooses extensions to install or to
// remove, with the dependency rules of each purpose.
#pragma once

#include <memory>
#include <set>

#include "ui/extension_tree.h"
#include "ui/selection_model.h"

namespace nebcm::ui {

// The control cannot report a check box being clicked, so a timer (id 1, every 50 ms) compares
// the checks the control shows with those the selection implies: one check more is acted on as
// the user checking that item, one fewer as clearing it, and anything else is undone.
class SelectionTree : public ExtensionTree {
public:
    static constexpr UINT_PTR PollTimer = 1;
    static constexpr UINT PollInterval = 50;

    explicit SelectionTree(SelectionPurpose purpose) : purpose_(purpose) {}
    ~SelectionTree() override;

    // Switches the control's check boxes on and starts the poll.
    void Attach(HWND control) override;
    void Detach() override;

    void SetViewMode(ViewMode mode) override;
    // Ends with every extension selected.
    void SetConfiguration(const Configuration* configuration, bool owned,
                          const FileSizeTable& sizes) override;

    void SelectAll();
    void UnselectAll();
    // Selects or drops one extension with its rule (what it needs, or what needs it).
    virtual void OnSelectExtension(const Extension* extension);
    virtual void OnUnselectExtension(const Extension* extension);

    Selection GetSelection() const;

    // One round of the poll; the timer calls it, tests may too.
    void Poll();

private:
    void StartTimer();
    void StopTimer();
    void RedrawChecks();
    void CheckAction(const TreeNode& node, bool check);
    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);

    SelectionPurpose purpose_;
    std::unique_ptr<SelectionModel> selection_;
};

// Installing an extension installs what it needs and the core; dropping one drops everything
// that needs it, and dropping the core drops everything.
class InstallSelectionTree : public SelectionTree {
public:
    InstallSelectionTree() : SelectionTree(SelectionPurpose::Install) {}
};

// Removing an extension removes everything that needs it, and choosing the core chooses
// everything; keeping one keeps what it needs and the core.
class UninstallSelectionTree : public SelectionTree {
public:
    UninstallSelectionTree() : SelectionTree(SelectionPurpose::Uninstall) {}
};

} // namespace nebcm::ui
