// Installation directory browser: drives from C to Z, folders listed on demand, the chosen path.
#include "ui/installation_directory_dialog.h"

#include "common/constants.h"
#include "common/messages.h"
#include "engine/file_system.h"
#include "engine/system_calls_win32.h"
#include "platform/handles_win32.h"
#include "ui/resource.h"

namespace nebcm::ui {

namespace {

constexpr int kDriveWithFreeSpace = 1001;
constexpr int kDriveWithoutFreeSpace = 1000;

// Shows the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

} // namespace

InstallationDirectoryDialog::InstallationDirectoryDialog(HWND parent)
    : Dialog(IDD_INSTALLATION_DIRECTORY, parent) {
    OnNotify(IDC_FOLDER_TREE, TVN_ITEMEXPANDINGA, [this](NMHDR* header) -> LRESULT {
        OnExpanding(*reinterpret_cast<NMTREEVIEWA*>(header));
        return FALSE;
    });
    OnNotify(IDC_FOLDER_TREE, TVN_SELCHANGEDA, [this](NMHDR* header) -> LRESULT {
        OnSelectionChanged(reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
        return 0;
    });
}

InstallationDirectoryDialog::~InstallationDirectoryDialog() {
    Destroy();
    if (images_ != nullptr) {
        ImageList_Destroy(images_);
    }
}

bool InstallationDirectoryDialog::OnInitDialog() {
    tree_.Attach(Item(IDC_FOLDER_TREE));
    nodes_.clear();
    chosen_.clear();
    if (images_ == nullptr) {
        images_ = ImageList_LoadImageA(ResourceModule(), MAKEINTRESOURCEA(IDB_DRIVES), 16, 0,
                                       RGB(255, 255, 255), IMAGE_BITMAP, 0);
    }
    tree_.SetImageList(images_);
    AddDrives();
    OnSelectionChanged(nullptr);
    return true;
}

void InstallationDirectoryDialog::OnOK() {
    if (!chosen_.empty()) {
        EndDialog(IDOK);
    }
}

HTREEITEM InstallationDirectoryDialog::AddItem(HTREEITEM parent, const std::string& text,
                                               const std::string& path, bool drive) {
    nodes_.push_back({path, drive, false});
    int image = drive ? DriveImage : ClosedFolderImage;
    HTREEITEM item = tree_.Insert(parent, text, image, image, static_cast<LPARAM>(nodes_.size()));
    tree_.Insert(item, Placeholder, image, image, 0);
    return item;
}

InstallationDirectoryDialog::Node* InstallationDirectoryDialog::NodeOf(HTREEITEM item) {
    LPARAM value = item != nullptr ? tree_.Value(item) : 0;
    if (value <= 0 || static_cast<std::size_t>(value) > nodes_.size()) {
        return nullptr;
    }
    return &nodes_[static_cast<std::size_t>(value) - 1];
}

void InstallationDirectoryDialog::AddDrives() {
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) != DRIVE_FIXED) {
            continue;
        }
        char label[MAX_PATH + 1] = {};
        if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                                   nullptr, 0)) {
            continue;
        }
        std::string free;
        std::string text = FreeSpaceText(letter, free)
                               ? Message(kDriveWithFreeSpace, letter, label, free)
                               : Message(kDriveWithoutFreeSpace, letter, label);
        AddItem(nullptr, text, root, true);
    }
}

void InstallationDirectoryDialog::Fill(HTREEITEM item) {
    Node* node = NodeOf(item);
    if (node == nullptr || node->filled) {
        return;
    }
    node->filled = true;
    WaitCursor wait;
    for (HTREEITEM child = tree_.FirstChild(item); child != nullptr;) {
        HTREEITEM next = tree_.NextSibling(child);
        if (tree_.Value(child) == 0) {
            tree_.Delete(child);
        }
        child = next;
    }
    // Copied: adding items below may move the list the node lives in.
    const std::string path = node->path;
    const bool drive = node->drive;
    WIN32_FIND_DATAA found;
    FindHandle find(sys::FindFirstFile(JoinPath(path, "*.*"), &found));
    if (find) {
        do {
            std::string name = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || name == "." ||
                name == "..") {
                continue;
            }
            AddItem(item, name, JoinPath(path, name), false);
        } while (FindNextFileA(find.get(), &found));
    }
    tree_.SortChildren(item);
    // A folder without folders cannot open; a drive keeps its own picture.
    if (tree_.FirstChild(item) == nullptr && !drive) {
        tree_.SetImages(item, ClosedFolderImage, ClosedFolderImage);
    }
}

void InstallationDirectoryDialog::OnExpanding(const NMTREEVIEWA& change) {
    HTREEITEM item = change.itemNew.hItem;
    if (change.action & TVE_EXPAND) {
        Fill(item);
    }
    Node* node = NodeOf(item);
    if (node == nullptr || node->drive) {
        return;
    }
    bool opens = (change.action & TVE_EXPAND) != 0 && tree_.FirstChild(item) != nullptr;
    int image = opens ? OpenFolderImage : ClosedFolderImage;
    tree_.SetImages(item, image, image);
}

void InstallationDirectoryDialog::OnSelectionChanged(HTREEITEM selected) {
    Fill(selected);
    Node* node = NodeOf(selected);
    chosen_ = node != nullptr ? JoinPath(node->path, DefaultInstallationSubdirectory) : "";
    SetItemText(IDC_CHOSEN_PATH, chosen_);
    EnableItem(IDOK, !chosen_.empty());
}

} // namespace nebcm::ui
