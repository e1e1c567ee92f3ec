// Reads and checks the items of a tree-view control in another process. The tree messages carry
// pointers, so their structures are placed in the other process's memory.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace nebcm::testing {

// A block of memory inside another process, freed again on destruction.
class RemoteBlock {
public:
    RemoteBlock(HWND window, SIZE_T size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_ != nullptr) {
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        }
    }
    ~RemoteBlock() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
        if (process_ != nullptr) {
            CloseHandle(process_);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool Valid() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) {
        return WriteProcessMemory(process_, Address() + offset, data, size, nullptr) != 0;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) {
        return ReadProcessMemory(process_, Address() + offset, data, size, nullptr) != 0;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

inline HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

inline std::string TreeItemText(HWND tree, HTREEITEM item) {
    RemoteBlock block(tree, sizeof(TVITEMA) + 512);
    if (!block.Valid()) {
        return std::string();
    }
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = block.Address() + sizeof tv;
    tv.cchTextMax = 512;
    char text[512] = {};
    if (!block.Write(0, &tv, sizeof tv) ||
        !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block.Address())) ||
        !block.Read(sizeof tv, text, sizeof text)) {
        return std::string();
    }
    text[sizeof text - 1] = '\0';
    return text;
}

inline bool TreeItemChecked(HWND tree, HTREEITEM item) {
    LRESULT state =
        SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    return ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
}

// Changes the check box as a click on it does; the program notices it at its next poll.
inline bool SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked) {
    RemoteBlock block(tree, sizeof(TVITEMA));
    TVITEMA tv = {};
    tv.mask = TVIF_STATE | TVIF_HANDLE;
    tv.hItem = item;
    tv.stateMask = TVIS_STATEIMAGEMASK;
    tv.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    return block.Valid() && block.Write(0, &tv, sizeof tv) &&
           SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(block.Address())) != 0;
}

struct TreeEntry {
    HTREEITEM item;
    std::string text;
    int depth;
};

// Every item, parents before their children, expanded or not.
inline std::vector<TreeEntry> TreeItems(HWND tree) {
    std::vector<TreeEntry> items;
    struct Walker {
        HWND tree;
        std::vector<TreeEntry>& out;
        void Walk(HTREEITEM first, int depth) {
            for (HTREEITEM i = first; i != nullptr; i = TreeNext(tree, i, TVGN_NEXT)) {
                out.push_back({i, TreeItemText(tree, i), depth});
                Walk(TreeNext(tree, i, TVGN_CHILD), depth + 1);
            }
        }
    } walker{tree, items};
    walker.Walk(TreeNext(tree, nullptr, TVGN_ROOT), 0);
    return items;
}

// The first item whose text contains the given text; null when there is none.
inline HTREEITEM FindTreeItem(HWND tree, const std::string& text) {
    for (const TreeEntry& entry : TreeItems(tree)) {
        if (entry.text.find(text) != std::string::npos) {
            return entry.item;
        }
    }
    return nullptr;
}

} // namespace nebcm::testing
