// Message dialogs: fixed texts, a path or file name where one is shown, and the id of the
// pressed button as the result.
#include "ui/message_dialogs.h"

#include <algorithm>

#include "common/messages.h"
#include "ui/error_list_dialog.h"
#include "ui/resource.h"

namespace nebcm::ui {

namespace {

// A completion line's template text with its number in place of the "%d". Only that one
// conversion is replaced, so no other text of the template is read as a format.
std::string FormatCount(const std::string& format, int count) {
    std::string text = format;
    std::size_t at = text.find("%d");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(count));
    }
    return text;
}

} // namespace

ChoiceDialog::ChoiceDialog(int templateId, HWND parent, std::initializer_list<int> buttons,
                           int escapeResult, LPCSTR icon)
    : Dialog(templateId, parent), buttons_(buttons), escapeResult_(escapeResult), icon_(icon) {
    for (int id : buttons_) {
        OnCommand(id, [this, id] { EndDialog(id); });
    }
}

bool ChoiceDialog::OnInitDialog() {
    if (icon_ != nullptr) {
        HICON icon = LoadIconA(nullptr, icon_);
        SendDlgItemMessageA(hwnd_, IDC_MESSAGE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon),
                            0);
    }
    return true;
}

// Enter in a dialog without an OK button must not end it with an id it does not have.
void ChoiceDialog::OnOK() {
    if (std::find(buttons_.begin(), buttons_.end(), IDOK) != buttons_.end()) {
        EndDialog(IDOK);
    }
}

void ChoiceDialog::OnCancel() {
    EndDialog(escapeResult_);
}

AlreadyRunningDialog::AlreadyRunningDialog(HWND parent)
    : ChoiceDialog(IDD_ALREADY_RUNNING, parent, {IDOK}, IDOK, IDI_EXCLAMATION) {}

DirectoryQuestionDialog::DirectoryQuestionDialog(int templateId, const std::string& path,
                                                 HWND parent)
    : ChoiceDialog(templateId, parent, {IDC_FIRST_CHOICE, IDCANCEL}, IDCANCEL, IDI_QUESTION),
      path_(path) {}

bool DirectoryQuestionDialog::OnInitDialog() {
    SetItemText(IDC_DIRECTORY_PATH, path_);
    return ChoiceDialog::OnInitDialog();
}

CreateDirectoryQueryDialog::CreateDirectoryQueryDialog(const std::string& path, HWND parent)
    : DirectoryQuestionDialog(IDD_CREATE_DIRECTORY_QUERY, path, parent) {}

DirectoryNotCreatedDialog::DirectoryNotCreatedDialog(const std::string& path, HWND parent)
    : DirectoryQuestionDialog(IDD_DIRECTORY_NOT_CREATED, path, parent) {}

DirectoryExistsDialog::DirectoryExistsDialog(const std::string& path, HWND parent)
    : DirectoryQuestionDialog(IDD_DIRECTORY_EXISTS, path, parent) {}

ErrorLogNotSavedDialog::ErrorLogNotSavedDialog(const std::string& fileName, HWND parent)
    : ChoiceDialog(IDD_ERROR_LOG_NOT_SAVED, parent, {IDOK}, IDOK, IDI_HAND), fileName_(fileName) {}

bool ErrorLogNotSavedDialog::OnInitDialog() {
    SetItemText(IDC_LOG_FILE_NAME, fileName_);
    return ChoiceDialog::OnInitDialog();
}

FailureDialog::FailureDialog(int templateId, const ErrorList& list, HWND parent,
                             std::initializer_list<int> buttons)
    : ChoiceDialog(templateId, parent, buttons, IDOK, IDI_HAND), list_(list) {
    OnCommand(IDC_VIEW_ERROR_LOG, [this] { ShowErrorList(); });
    OnCommand(IDC_VIEW_PROBLEMS, [this] { ShowErrorList(); });
}

void FailureDialog::ShowErrorList() {
    ErrorListDialog(list_, hwnd_).DoModal();
}

CoreInstallationFailedDialog::CoreInstallationFailedDialog(const ErrorList& list, HWND parent)
    : FailureDialog(IDD_CORE_INSTALLATION_FAILED, list, parent) {}

UninstallFailedDialog::UninstallFailedDialog(const ErrorList& list, HWND parent)
    : FailureDialog(IDD_UNINSTALL_FAILED, list, parent) {}

ExtensionInstallationFailedDialog::ExtensionInstallationFailedDialog(const ErrorList& list,
                                                                     HWND parent)
    : FailureDialog(IDD_EXTENSION_INSTALLATION_FAILED, list, parent) {}

ExtensionUninstallationFailedDialog::ExtensionUninstallationFailedDialog(const ErrorList& list,
                                                                         HWND parent)
    : FailureDialog(IDD_EXTENSION_UNINSTALLATION_FAILED, list, parent) {}

InstallationCorruptDialog::InstallationCorruptDialog(const ErrorList& list, HWND parent)
    : FailureDialog(IDD_INSTALLATION_CORRUPT, list, parent, {IDC_UNINSTALL_PLATFORM, IDOK}) {}

UninstallConfirmationDialog::UninstallConfirmationDialog(HWND parent)
    : ChoiceDialog(IDD_UNINSTALL_CONFIRMATION, parent, {IDYES, IDNO}, IDNO, IDI_QUESTION) {}

UninstallCompletedDialog::UninstallCompletedDialog(HWND parent)
    : ChoiceDialog(IDD_UNINSTALL_COMPLETED, parent, {IDOK}, IDOK, IDI_ASTERISK) {}

AboutDialog::AboutDialog(HWND parent) : ChoiceDialog(IDD_ABOUT, parent, {IDOK}, IDOK) {}

ConsistencyCheckSplash::ConsistencyCheckSplash() : Dialog(IDD_CONSISTENCY_CHECK, nullptr) {}

bool ConsistencyCheckSplash::Open() {
    if (!CreateModeless()) {
        return false;
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    return true;
}

ExtensionListDialog::ExtensionListDialog(const std::vector<std::string>& names, HWND parent)
    : ChoiceDialog(IDD_EXTENSION_LIST, parent, {IDOK}, IDOK), names_(names) {}

bool ExtensionListDialog::OnInitDialog() {
    for (const std::string& name : names_) {
        SendDlgItemMessageA(hwnd_, IDC_EXTENSION_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(name.c_str()));
    }
    return ChoiceDialog::OnInitDialog();
}

CompletionDialog::CompletionDialog(int templateId, std::vector<Line> lines, HWND parent)
    : ChoiceDialog(templateId, parent, {IDOK}, IDOK, IDI_ASTERISK), lines_(std::move(lines)) {
    for (const Line& line : lines_) {
        const std::vector<std::string>* names = &line.names;
        OnCommand(line.buttonId, [this, names] { ShowList(*names); });
    }
}

bool CompletionDialog::OnInitDialog() {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        // The template's text is the format of the line.
        std::string format = ItemText(line.textId);
        SetItemText(line.textId, FormatCount(format, static_cast<int>(line.names.size())));
        bool shown = ShowsLine(i);
        ShowItem(line.textId, shown);
        ShowItem(line.buttonId, shown);
    }
    return ChoiceDialog::OnInitDialog();
}

bool CompletionDialog::ShowsLine(std::size_t) const {
    return true;
}

void CompletionDialog::ShowList(const std::vector<std::string>& names) {
    ExtensionListDialog(names, hwnd_).DoModal();
}

InstallationCompleteDialog::InstallationCompleteDialog(const std::vector<std::string>& installed,
                                                       const std::vector<std::string>& skipped,
                                                       HWND parent)
    : CompletionDialog(IDD_INSTALLATION_COMPLETE,
                       {{IDC_INSTALLED_LINE, IDC_VIEW_INSTALLED, installed},
                        {IDC_SKIPPED_LINE, IDC_VIEW_SKIPPED, skipped}},
                       parent) {}

bool InstallationCompleteDialog::ShowsLine(std::size_t index) const {
    bool noneInstalled = Lines()[0].names.empty();
    bool noneSkipped = Lines()[1].names.empty();
    if (index == 0) {
        return !(noneInstalled && !noneSkipped);
    }
    return !noneSkipped;
}

UninstallationCompleteDialog::UninstallationCompleteDialog(
    const std::vector<std::string>& uninstalled, HWND parent)
    : CompletionDialog(IDD_UNINSTALLATION_COMPLETE,
                       {{IDC_UNINSTALLED_LINE, IDC_VIEW_UNINSTALLED, uninstalled}}, parent) {}

} // namespace nebcm::ui
