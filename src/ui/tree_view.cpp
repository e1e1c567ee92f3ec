// Tree-view control wrapper.
#include "ui/tree_view.h"

namespace nebcm::ui {

void TreeView::EnableCheckBoxes() {
    LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
    SetWindowLongA(hwnd_, GWL_STYLE, style | TVS_CHECKBOXES);
}

void TreeView::SetImageList(HIMAGELIST images) {
    SendMessageA(hwnd_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

HTREEITEM TreeView::Insert(HTREEITEM parent, const std::string& text, int image, int selectedImage,
                           LPARAM value, HTREEITEM after) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent != nullptr ? parent : TVI_ROOT;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    insert.item.lParam = value;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(hwnd_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TreeView::Delete(HTREEITEM item) {
    SendMessageA(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
}

void TreeView::DeleteAll() {
    SendMessageA(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

std::string TreeView::Text(HTREEITEM item) const {
    char buffer[1024] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = sizeof buffer;
    SendMessageA(hwnd_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return buffer;
}

LPARAM TreeView::Value(HTREEITEM item) const {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    SendMessageA(hwnd_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return tv.lParam;
}

void TreeView::SetImages(HTREEITEM item, int image, int selectedImage) {
    TVITEMA tv = {};
    tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    tv.iImage = image;
    tv.iSelectedImage = selectedImage;
    SendMessageA(hwnd_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
}

bool TreeView::IsChecked(HTREEITEM item) const {
    LRESULT state =
        SendMessageA(hwnd_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    // State image 2 is the checked box, 1 the empty one.
    return ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
}

void TreeView::SetChecked(HTREEITEM item, bool checked) {
    TVITEMA tv = {};
    tv.mask = TVIF_STATE;
    tv.hItem = item;
    tv.stateMask = TVIS_STATEIMAGEMASK;
    tv.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(hwnd_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
}

bool TreeView::IsExpanded(HTREEITEM item) const {
    LRESULT state =
        SendMessageA(hwnd_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED);
    return (state & TVIS_EXPANDED) != 0;
}

void TreeView::Expand(HTREEITEM item, UINT action) {
    SendMessageA(hwnd_, TVM_EXPAND, action, reinterpret_cast<LPARAM>(item));
}

void TreeView::Select(HTREEITEM item) {
    SendMessageA(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void TreeView::SortChildren(HTREEITEM item) {
    SendMessageA(hwnd_, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(item));
}

void TreeView::SortChildren(HTREEITEM item, PFNTVCOMPARE compare, LPARAM data) {
    TVSORTCB sort = {};
    sort.hParent = item;
    sort.lpfnCompare = compare;
    sort.lParam = data;
    SendMessageA(hwnd_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

HTREEITEM TreeView::HitTest(POINT screen, UINT* flags) const {
    TVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(hwnd_, &hit.pt);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(hwnd_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (flags != nullptr) {
        *flags = hit.flags;
    }
    return item;
}

} // namespace nebcm::ui
