// Dialog base over plain Win32: modal and modeless runs, this-pointer binding, command and
// notification handlers by id.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <map>
#include <string>

namespace nebcm::ui {

class Dialog {
public:
    Dialog(int templateId, HWND parent);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; returns the id it was ended with, or -1 when it could not be made.
    INT_PTR DoModal();
    // Makes the dialog as a modeless window (hidden until shown); false when it could not be made.
    bool CreateModeless();
    // Destroys a modeless window; nothing when there is none.
    void Destroy();

    HWND Handle() const { return hwnd_; }
    HWND Parent() const { return parent_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    int TemplateId() const { return templateId_; }

    void EndDialog(INT_PTR result);
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    void ShowItem(int id, bool show);
    void EnableItem(int id, bool enable);
    void SetLargeIcon(int iconId);
    // Brings the window in front of the others.
    void BringToTop();

protected:
    using CommandHandler = std::function<void()>;
    using NotifyHandler = std::function<LRESULT(NMHDR*)>;

    // Named handlers: a command id (any notification code), or a control id and notification code.
    void OnCommand(int id, CommandHandler handler) { commands_[id] = std::move(handler); }
    void OnNotify(int id, UINT code, NotifyHandler handler) {
        notifications_[{id, code}] = std::move(handler);
    }

    // Called when the window exists and its controls are there; return false when the focus was
    // set.
    virtual bool OnInitDialog() { return true; }
    // The default OK and Cancel commands end the dialog with their ids unless a handler is bound.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The platform's help request (F1); ignored unless a dialog says otherwise.
    virtual void OnHelp() {}
    // Every other message; set handled and return the result to answer it.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // The window is going away.
    virtual void OnDestroy() {}

    // Stores a notification's result for the dialog manager.
    void SetMessageResult(LRESULT result);

    HWND hwnd_ = nullptr;

private:
    friend class PropertyPage;
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND parent_;
    bool modeless_ = false;
    std::map<int, CommandHandler> commands_;
    std::map<std::pair<int, UINT>, NotifyHandler> notifications_;
};

// The system enables the owner of a modal window when that window ends, even an owner that had
// been disabled before it opened (a running procedure keeps the program's other windows shut).
// Held around a modal run, this puts a disabled owner's state back afterwards.
class KeepOwnerShut {
public:
    explicit KeepOwnerShut(HWND owner)
        : owner_(owner != nullptr && !IsWindowEnabled(owner) ? owner : nullptr) {}
    ~KeepOwnerShut() {
        if (owner_ != nullptr && IsWindow(owner_)) {
            EnableWindow(owner_, FALSE);
        }
    }
    KeepOwnerShut(const KeepOwnerShut&) = delete;
    KeepOwnerShut& operator=(const KeepOwnerShut&) = delete;

private:
    HWND owner_;
};

// Lets the user interface live during a long operation: removes every waiting message, and
// dispatches only those addressed to the dialog or one of its descendants, and paint messages.
// Everything else (clicks on the window below, say) is dropped.
void PumpMessagesFor(HWND dialog);

// The module whose resources hold the dialogs, bitmaps and strings.
HINSTANCE ResourceModule();

// A string-table text.
std::string LoadResourceString(int id);

} // namespace nebcm::ui
