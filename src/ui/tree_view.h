// Thin wrapper over a tree-view control: items with text, images and a value, check boxes, order.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace nebcm::ui {

class TreeView {
public:
    TreeView() = default;
    explicit TreeView(HWND control) : hwnd_(control) {}
    void Attach(HWND control) { hwnd_ = control; }
    HWND Handle() const { return hwnd_; }

    // Check boxes must be switched on after the control exists.
    void EnableCheckBoxes();
    void SetImageList(HIMAGELIST images);

    HTREEITEM Insert(HTREEITEM parent, const std::string& text, int image, int selectedImage,
                     LPARAM value, HTREEITEM after = TVI_LAST);
    void Delete(HTREEITEM item);
    void DeleteAll();

    HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
    HTREEITEM FirstChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
    HTREEITEM NextSibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
    HTREEITEM ParentOf(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
    HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }

    std::string Text(HTREEITEM item) const;
    LPARAM Value(HTREEITEM item) const;
    void SetImages(HTREEITEM item, int image, int selectedImage);
    bool IsChecked(HTREEITEM item) const;
    void SetChecked(HTREEITEM item, bool checked);
    bool IsExpanded(HTREEITEM item) const;
    void Expand(HTREEITEM item, UINT action = TVE_EXPAND);
    void Select(HTREEITEM item);
    void SortChildren(HTREEITEM item);
    // Sorts children by a comparison of item values.
    void SortChildren(HTREEITEM item, PFNTVCOMPARE compare, LPARAM data);
    // The item at a point given in screen coordinates, or null.
    HTREEITEM HitTest(POINT screen, UINT* flags = nullptr) const;

private:
    HTREEITEM Next(HTREEITEM item, UINT relation) const {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(hwnd_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }
    HWND hwnd_ = nullptr;
};

} // namespace nebcm::ui
