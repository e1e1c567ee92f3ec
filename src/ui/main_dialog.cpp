// The main window of an installed platform.
#include "ui/main_dialog.h"

#include <cstdlib>

#include "common/constants.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "engine/registry.h"
#include "ui/java_support_dialog.h"
#include "ui/message_dialogs.h"
#include "ui/procedure_scope.h"
#include "ui/resource.h"
#include "ui/wizard.h"

namespace nebcm::ui {

namespace {

const char kOriginalProcedure[] = "NebCM.OriginalProcedure";

// Alt and a letter pressed while one of the window's controls has the focus reach that control
// as the keyboard-menu command, and the control would open the menu bar itself; handing the
// command to the window lets it turn its own letters into commands first. Alt+F4 is handed on
// as the close command here too, because some tree-view controls keep that key to themselves.
LRESULT CALLBACK ForwardKeyboardMenu(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC original = reinterpret_cast<WNDPROC>(GetPropA(control, kOriginalProcedure));
    if (original == nullptr) {
        return DefWindowProcA(control, message, wParam, lParam);
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) {
        return SendMessageA(GetParent(control), message, wParam, lParam);
    }
    if (message == WM_SYSKEYDOWN && wParam == VK_F4 && (HIWORD(lParam) & KF_ALTDOWN) != 0) {
        PostMessageA(GetParent(control), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(control, kOriginalProcedure);
    }
    return CallWindowProcA(original, control, message, wParam, lParam);
}

BOOL CALLBACK InstallKeyboardMenuForwarder(HWND control, LPARAM dialog) {
    if (GetParent(control) == reinterpret_cast<HWND>(dialog) &&
        GetPropA(control, kOriginalProcedure) == nullptr) {
        LONG_PTR original = GetWindowLongPtrA(control, GWLP_WNDPROC);
        SetPropA(control, kOriginalProcedure, reinterpret_cast<HANDLE>(original));
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForwardKeyboardMenu));
    }
    return TRUE;
}

} // namespace

MainDialog::MainDialog(MainDialogActions actions, HWND parent)
    : Dialog(IDD_MAIN, parent), actions_(std::move(actions)) {
    Bind(IDC_INSTALL_EXTENSIONS, [this] { InstallExtensions(); });
    Bind(ID_CONFIGURATION_INSTALL, [this] { InstallExtensions(); });
    Bind(IDC_REMOVE_EXTENSIONS, [this] { UninstallExtensions(); });
    Bind(ID_CONFIGURATION_UNINSTALL, [this] { UninstallExtensions(); });
    Bind(IDC_EXIT, [this] { EndDialog(IDOK); });
    Bind(ID_NEB_EXIT, [this] { EndDialog(IDOK); });
    Bind(ID_NEB_JAVA_SUPPORT, [this] {
        JavaSupportDialog dialog(hwnd_);
        dialog.DoModal();
    });
    Bind(ID_VIEW_BY_PRODUCT, [this] { SetView(ViewMode::ByProduct); });
    Bind(ID_VIEW_BY_PACKAGE, [this] { SetView(ViewMode::ByPackage); });
    Bind(ID_VIEW_BY_STEREOTYPE, [this] { SetView(ViewMode::ByStereotype); });
    Bind(ID_HELP_CONTENTS, [this] { OnHelp(); });
    Bind(ID_HELP_INDEX, [this] { OpenHelp(hwnd_, HELP_CONTENTS, 0); });
    Bind(ID_HELP_SEARCH, [this] {
        static const char empty[] = "";
        OpenHelp(hwnd_, HELP_PARTIALKEY, reinterpret_cast<DWORD>(empty));
    });
    Bind(ID_HELP_ABOUT, [this] {
        AboutDialog about(hwnd_);
        about.DoModal();
    });
    for (UINT code : ExtensionTree::NotifyCodes()) {
        OnNotify(IDC_MAIN_TREE, code, [this](NMHDR* header) { return tree_.HandleNotify(header); });
    }
}

void MainDialog::Bind(int id, std::function<void()> command) {
    OnCommand(id, [this, command = std::move(command)] {
        // A command that reaches the window while another runs (posted from its menu, sent to
        // one of its buttons by another program, queued behind a modal window's loop) is
        // dropped: nothing starts inside a running command.
        if (busy_) {
            return;
        }
        busy_ = true;
        struct Release {
            bool& flag;
            ~Release() { flag = false; }
        } release{busy_};
        command();
    });
}

RECT MainDialog::FitIntoWorkArea(RECT window, int x, int y, const RECT& area) {
    OffsetRect(&window, x - window.left, y - window.top);
    if (window.right > area.right) {
        OffsetRect(&window, area.right - window.right, 0);
    }
    if (window.bottom > area.bottom) {
        OffsetRect(&window, 0, area.bottom - window.bottom);
    }
    if (window.left < area.left) {
        OffsetRect(&window, area.left - window.left, 0);
    }
    if (window.top < area.top) {
        OffsetRect(&window, 0, area.top - window.top);
    }
    return window;
}

bool MainDialog::OnInitDialog() {
    WindowPosition stored = ReadWindowPosition();
    RECT window;
    GetWindowRect(hwnd_, &window);
    RECT area;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
        GetWindowRect(GetDesktopWindow(), &area);
    }
    RECT fitted = FitIntoWorkArea(window, stored.x, stored.y, area);
    SetWindowPos(hwnd_, nullptr, fitted.left, fitted.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    initialized_ = true;

    HICON icon = LoadIconA(ResourceModule(), MAKEINTRESOURCEA(IDI_NEBCM));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    EnumChildWindows(hwnd_, InstallKeyboardMenuForwarder, reinterpret_cast<LPARAM>(hwnd_));

    tree_.Attach(Item(IDC_MAIN_TREE));
    Reload();
    return true;
}

void MainDialog::Reload() {
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    std::string directory;
    ErrorList unseen;
    std::unique_ptr<Configuration> configuration;
    if (ReadInstallationPath(directory)) {
        configuration = LoadInstalledConfiguration(unseen);
    }
    FileSizeTable sizes;
    if (configuration != nullptr) {
        for (std::size_t i = 0; i < configuration->Count(); ++i) {
            const Extension& e = configuration->At(i);
            for (std::size_t f = 0; f < e.FileCount(); ++f) {
                std::string relative = e.FileAt(f).Path();
                std::string local = relative;
                for (char& c : local) {
                    if (c == '/') {
                        c = '\\';
                    }
                }
                std::uint64_t size = 0;
                if (QueryFileSize(JoinPath(directory, local), size)) {
                    sizes[relative] = size;
                }
            }
        }
    }
    tree_.SetConfiguration(configuration.release(), true, sizes);
    SetCursor(previous);
}

void MainDialog::SetView(ViewMode mode) {
    tree_.SetViewMode(mode);
}

void MainDialog::InstallExtensions() {
    if (!actions_.installExtensions) {
        return;
    }
    ProcedureScope shut;
    ErrorList errors;
    ProcedureResult result = actions_.installExtensions(hwnd_, errors);
    if (result == ProcedureResult::Succeeded) {
        Reload();
    } else if (result == ProcedureResult::Failed) {
        ExtensionInstallationFailedDialog failed(errors, hwnd_);
        failed.DoModal();
    }
}

void MainDialog::UninstallExtensions() {
    if (!actions_.uninstallExtensions) {
        return;
    }
    ProcedureScope shut;
    ErrorList errors;
    ProcedureResult result = actions_.uninstallExtensions(hwnd_, errors);
    if (result == ProcedureResult::Succeeded) {
        Reload();
    } else if (result == ProcedureResult::Failed) {
        ExtensionUninstallationFailedDialog failed(errors, hwnd_);
        failed.DoModal();
    }
}

void MainDialog::OnHelp() {
    OpenHelp(hwnd_, HELP_CONTEXT, 1000);
}

void MainDialog::SavePosition() {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!initialized_ || !GetWindowPlacement(hwnd_, &placement) ||
        placement.showCmd != SW_SHOWNORMAL || IsIconic(hwnd_) || IsZoomed(hwnd_)) {
        return;
    }
    RECT window;
    GetWindowRect(hwnd_, &window);
    ErrorList ignored;
    WriteRegistryString(Platform20Key, WindowXValue, std::to_string(window.left), nullptr, ignored);
    WriteRegistryString(Platform20Key, WindowYValue, std::to_string(window.top), nullptr, ignored);
}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    switch (message) {
    case WM_MOVE:
        SavePosition();
        break;
    case WM_CLOSE:
        if (!busy_) {
            EndDialog(IDOK);
        }
        handled = true;
        return TRUE;
    case WM_INITMENUPOPUP: {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        ViewMode mode = tree_.GetViewMode();
        CheckMenuItem(menu, ID_VIEW_BY_PRODUCT,
                      mode == ViewMode::ByProduct ? MF_CHECKED : MF_UNCHECKED);
        CheckMenuItem(menu, ID_VIEW_BY_PACKAGE,
                      mode == ViewMode::ByPackage ? MF_CHECKED : MF_UNCHECKED);
        CheckMenuItem(menu, ID_VIEW_BY_STEREOTYPE,
                      mode == ViewMode::ByStereotype ? MF_CHECKED : MF_UNCHECKED);
        handled = true;
        return 0;
    }
    case WM_SYSCOMMAND:
        // Alt+I, Alt+J and Alt+U arrive as the keyboard menu with their letter.
        if ((wParam & 0xFFF0) == SC_KEYMENU) {
            int command = 0;
            switch (lParam) {
            case 'i':
                command = ID_CONFIGURATION_INSTALL;
                break;
            case 'j':
                command = ID_NEB_JAVA_SUPPORT;
                break;
            case 'u':
                command = ID_CONFIGURATION_UNINSTALL;
                break;
            default:
                break;
            }
            if (command != 0) {
                if (!busy_) {
                    PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
                }
                handled = true;
                return TRUE;
            }
        } else if ((wParam & 0xFFF0) == SC_CLOSE) {
            if (!busy_) {
                EndDialog(IDOK);
            }
            handled = true;
            return TRUE;
        }
        break;
    default:
        break;
    }
    return Dialog::OnMessage(message, wParam, lParam, handled);
}

void MainDialog::OnDestroy() {
    tree_.Detach();
}

} // namespace nebcm::ui
