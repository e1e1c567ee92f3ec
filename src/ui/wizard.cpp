// Wizard-style property sheets over the platform's property sheet in wizard mode.
#include "ui/wizard.h"

#include <string>

namespace nebcm::ui {

namespace {
// The wizard being run by this thread, for the sheet callback, which has no context of its own.
Wizard* g_running = nullptr;

std::string HelpFilePath() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    std::size_t slash = p.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + "NebCM.hlp";
}
} // namespace

void OpenHelp(HWND owner, UINT command, DWORD data) {
    WinHelpA(owner, HelpFilePath().c_str(), command, data);
}

PropertyPage::PropertyPage(int templateId) : Dialog(templateId, nullptr) {}

void PropertyPage::SetWizardButtons(DWORD flags) {
    PostMessageA(Sheet(), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void PropertyPage::OnHelp() {
    if (wizard_ != nullptr) {
        wizard_->ShowHelp(HelpContext());
    }
}

INT_PTR PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message != WM_NOTIFY) {
        return Dialog::OnMessage(message, wParam, lParam, handled);
    }
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    LRESULT result = 0;
    handled = true;
    switch (header->code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        break;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        break;
    case PSN_WIZBACK:
        result = OnWizardBack();
        break;
    case PSN_WIZFINISH:
        if (OnWizardFinish()) {
            if (wizard_ != nullptr) {
                wizard_->finished_ = true;
            }
            result = FALSE;
        } else {
            result = TRUE;
        }
        break;
    case PSN_QUERYCANCEL:
        result = OnQueryCancel() ? FALSE : TRUE;
        break;
    case PSN_HELP:
        OnHelp();
        break;
    default:
        handled = false;
        return 0;
    }
    SetMessageResult(result);
    return TRUE;
}

INT_PTR CALLBACK PropertyPage::PageProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // A page receives its PROPSHEETPAGE; the page object rides in its lParam.
        lParam = reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam;
    }
    return Dialog::Procedure(hwnd, message, wParam, lParam);
}

void Wizard::AddPage(PropertyPage& page) {
    page.wizard_ = this;
    pages_.push_back(&page);
}

void Wizard::ShowHelp(DWORD context) {
    if (context != 0) {
        OpenHelp(sheet_, HELP_CONTEXT, context);
    }
}

void Wizard::OnSheetCreated() {
    HICON icon = LoadIconA(ResourceModule(), MAKEINTRESOURCEA(iconId_));
    SendMessageA(sheet_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetWindowPos(sheet_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(sheet_);
}

int CALLBACK Wizard::SheetCallback(HWND hwnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_running != nullptr) {
        g_running->sheet_ = hwnd;
        g_running->OnSheetCreated();
    }
    return 0;
}

INT_PTR Wizard::Run() {
    BeforeRun();
    std::vector<PROPSHEETPAGEA> descriptions(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        PROPSHEETPAGEA& p = descriptions[i];
        p.dwSize = sizeof p;
        p.dwFlags = PSP_DEFAULT | PSP_HASHELP;
        p.hInstance = ResourceModule();
        p.pszTemplate = MAKEINTRESOURCEA(pages_[i]->TemplateId());
        p.pfnDlgProc = PropertyPage::PageProcedure;
        p.lParam = reinterpret_cast<LPARAM>(pages_[i]);
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_USECALLBACK | PSH_HASHELP;
    header.hwndParent = parent_;
    header.hInstance = ResourceModule();
    header.pszCaption = "";
    header.nPages = static_cast<UINT>(descriptions.size());
    header.nStartPage = startPage_;
    header.ppsp = descriptions.data();
    header.pfnCallback = SheetCallback;

    finished_ = false;
    Wizard* outer = g_running;
    g_running = this;
    INT_PTR result = 0;
    {
        KeepOwnerShut keep(parent_);
        result = PropertySheetA(&header);
    }
    g_running = outer;
    sheet_ = nullptr;
    if (result < 0) {
        return -1;
    }
    return finished_ ? FinishCode : IDCANCEL;
}

} // namespace nebcm::ui
