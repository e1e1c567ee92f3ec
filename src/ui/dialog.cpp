// Dialog base: binds the object to its window and routes messages to the handlers.
#include "ui/dialog.h"

#include <vector>

namespace nebcm::ui {

namespace {
const char kThisProperty[] = "NebCMDialog";
}

HINSTANCE ResourceModule() {
    return GetModuleHandleA(nullptr);
}

std::string LoadResourceString(int id) {
    char buffer[4096] = {};
    int n = LoadStringA(ResourceModule(), static_cast<UINT>(id), buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

Dialog::Dialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

Dialog::~Dialog() {
    Destroy();
}

INT_PTR Dialog::DoModal() {
    KeepOwnerShut keep(parent_);
    return DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(templateId_), parent_, Procedure,
                           reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless() {
    modeless_ = true;
    HWND hwnd = CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(templateId_), parent_,
                                   Procedure, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

void Dialog::Destroy() {
    if (modeless_ && hwnd_ != nullptr && IsWindow(hwnd_)) {
        DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
    if (hwnd_ != nullptr) {
        ::EndDialog(hwnd_, result);
    }
}

void Dialog::SetItemText(int id, const std::string& text) {
    SetDlgItemTextA(hwnd_, id, text.c_str());
}

std::string Dialog::ItemText(int id) const {
    HWND item = Item(id);
    if (item == nullptr) {
        return std::string();
    }
    int length = GetWindowTextLengthA(item);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 2);
    int n = GetWindowTextA(item, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

void Dialog::ShowItem(int id, bool show) {
    ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE);
}

void Dialog::EnableItem(int id, bool enable) {
    EnableWindow(Item(id), enable ? TRUE : FALSE);
}

void Dialog::SetLargeIcon(int iconId) {
    HICON icon = LoadIconA(ResourceModule(), MAKEINTRESOURCEA(iconId));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void Dialog::BringToTop() {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd_);
}

void Dialog::SetMessageResult(LRESULT result) {
    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
}

INT_PTR Dialog::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetPropA(hwnd, kThisProperty, reinterpret_cast<HANDLE>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Dialog*>(GetPropA(hwnd, kThisProperty));
    }
    if (self == nullptr) {
        return FALSE;
    }
    INT_PTR result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemovePropA(hwnd, kThisProperty);
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        auto it = commands_.find(id);
        if (it != commands_.end()) {
            it->second();
            return TRUE;
        }
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        break;
    }
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        auto it = notifications_.find({static_cast<int>(header->idFrom), header->code});
        if (it != notifications_.end()) {
            SetMessageResult(it->second(header));
            return TRUE;
        }
        break;
    }
    case WM_HELP:
        OnHelp();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        break;
    default:
        break;
    }
    bool handled = false;
    INT_PTR result = OnMessage(message, wParam, lParam, handled);
    return handled ? result : FALSE;
}

void PumpMessagesFor(HWND dialog) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        bool ours = dialog != nullptr && (msg.hwnd == dialog || IsChild(dialog, msg.hwnd));
        if (ours || msg.message == WM_PAINT) {
            DispatchMessageA(&msg);
        }
    }
}

} // namespace nebcm::ui
