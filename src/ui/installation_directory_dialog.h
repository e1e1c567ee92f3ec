// The browser in which the user picks the directory that NEB 2.0 is installed into.
#pragma once

#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/tree_view.h"

namespace nebcm::ui {

// Dialog 137: the fixed disks with their labels and free space, and below them their folders,
// listed when an item is first expanded or selected. The chosen path is the selected item's
// path joined with "NEB\20"; "OK" (1) is enabled only while there is one, "Cancel" is 2.
class InstallationDirectoryDialog : public Dialog {
public:
    explicit InstallationDirectoryDialog(HWND parent);
    ~InstallationDirectoryDialog() override;

    // Empty until an item is selected.
    const std::string& ChosenPath() const { return chosen_; }

    // Images of the strip: drive, closed folder, open folder.
    static constexpr int DriveImage = 0;
    static constexpr int ClosedFolderImage = 1;
    static constexpr int OpenFolderImage = 2;
    // The text of the child that lets an item be expanded before its folders are listed.
    static constexpr char Placeholder[] = "-";

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    struct Node {
        std::string path;
        bool drive;
        bool filled;
    };

    HTREEITEM AddItem(HTREEITEM parent, const std::string& text, const std::string& path,
                      bool drive);
    Node* NodeOf(HTREEITEM item);
    void AddDrives();
    void Fill(HTREEITEM item);
    void OnExpanding(const NMTREEVIEWA& change);
    void OnSelectionChanged(HTREEITEM selected);

    TreeView tree_;
    HIMAGELIST images_ = nullptr;
    // Item values are indices into this list plus one; the placeholders carry 0.
    std::vector<Node> nodes_;
    std::string chosen_;
};

} // namespace nebcm::ui
