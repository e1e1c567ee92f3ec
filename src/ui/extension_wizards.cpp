// The extension installation and uninstallation wizards and their pages.
#include "ui/extension_wizards.h"

#include "common/messages.h"
#include "ui/file_dialog.h"
#include "ui/message_dialogs.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"

namespace nebcm::ui {

std::string TrimmedText(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// ---------------------------------------------------------------------------------------------

SelectExtensionsPage::SelectExtensionsPage(int templateId, SelectionPurpose purpose)
    : PropertyPage(templateId) {
    if (purpose == SelectionPurpose::Install) {
        tree_ = std::make_unique<InstallSelectionTree>();
    } else {
        tree_ = std::make_unique<UninstallSelectionTree>();
    }
}

bool SelectExtensionsPage::OnInitDialog() {
    tree_->Attach(Item(IDC_SELECTION_TREE));
    for (UINT code : ExtensionTree::NotifyCodes()) {
        OnNotify(IDC_SELECTION_TREE, code, [this](NMHDR* h) { return tree_->HandleNotify(h); });
    }
    OnCommand(IDC_VIEW_BY_PRODUCT, [this] { ChooseView(ViewMode::ByProduct); });
    OnCommand(IDC_VIEW_BY_PACKAGE, [this] { ChooseView(ViewMode::ByPackage); });
    OnCommand(IDC_VIEW_BY_STEREOTYPE, [this] { ChooseView(ViewMode::ByStereotype); });
    OnCommand(IDC_SELECT_ALL, [this] { tree_->SelectAll(); });
    OnCommand(IDC_UNSELECT_ALL, [this] { tree_->UnselectAll(); });
    UpdateRadioButtons();
    return true;
}

void SelectExtensionsPage::OnDestroy() {
    tree_->Detach();
}

void SelectExtensionsPage::ShowTree(const Configuration* configuration,
                                    const FileSizeTable& sizes) {
    tree_->SetConfiguration(configuration, false, sizes);
    tree_->SetViewMode(mode_);
    tree_->Rebuild();
    tree_->CollapseAll();
    tree_->SelectAll();
    UpdateRadioButtons();
}

void SelectExtensionsPage::ChooseView(ViewMode mode) {
    if (mode != mode_) {
        mode_ = mode;
        UpdateRadioButtons();
        tree_->SetViewMode(mode);
        tree_->CollapseAll();
    } else {
        UpdateRadioButtons();
    }
}

void SelectExtensionsPage::UpdateRadioButtons() {
    CheckRadioButton(hwnd_, IDC_VIEW_BY_PRODUCT, IDC_VIEW_BY_STEREOTYPE,
                     IDC_VIEW_BY_PRODUCT + static_cast<int>(mode_) - 1);
}

bool SelectExtensionsPage::AcceptSelection(int emptyMessage, Selection& selection) {
    selection = tree_->GetSelection();
    if (!selection.empty()) {
        return true;
    }
    char caption[256] = {};
    GetWindowTextA(Sheet(), caption, sizeof caption);
    MessageBoxA(Sheet(), Message(emptyMessage).c_str(), caption, MB_OK | MB_ICONSTOP);
    return false;
}

// ---------------------------------------------------------------------------------------------

CExtensionInstallationWizardIntroPage::CExtensionInstallationWizardIntroPage(
    CExtensionInstallationWizard& wizard)
    : PropertyPage(IDD_EXTENSION_WIZARD_INTRO), wizard_(wizard) {}

bool CExtensionInstallationWizardIntroPage::OnInitDialog() {
    SetItemText(IDC_SET_PATH, wizard_.path_);
    OnCommand(IDC_SET_PATH, [this] {
        wizard_.path_ = ItemText(IDC_SET_PATH);
        UpdateButtons();
    });
    OnCommand(IDC_BROWSE, [this] { Browse(); });
    UpdateButtons();
    return true;
}

bool CExtensionInstallationWizardIntroPage::OnSetActive() {
    UpdateButtons();
    return true;
}

void CExtensionInstallationWizardIntroPage::UpdateButtons() {
    SetWizardButtons(TrimmedText(ItemText(IDC_SET_PATH)).empty() ? 0 : PSWIZB_NEXT);
}

void CExtensionInstallationWizardIntroPage::Browse() {
    FileDialogRequest request;
    request.owner = hwnd_;
    request.title = Message(2006);
    request.filter = Message(2007);
    request.flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    std::string chosen;
    if (ChooseOpenFile(request, chosen)) {
        SetItemText(IDC_SET_PATH, chosen); // the edit's change notice updates the wizard
        wizard_.path_ = chosen;
        UpdateButtons();
    }
}

LRESULT CExtensionInstallationWizardIntroPage::OnWizardNext() {
    ErrorList errors;
    std::unique_ptr<DistributionSet> set =
        wizard_.ReadSet(hwnd_, TrimmedText(wizard_.path_), errors);
    if (!set) {
        wizard_.ShowReadFailure(hwnd_, errors);
        return -1;
    }
    wizard_.set_ = std::move(set);
    return 0;
}

// ---------------------------------------------------------------------------------------------

CExtensionInstallationWizardSelectExtensionsPage::CExtensionInstallationWizardSelectExtensionsPage(
    CExtensionInstallationWizard& wizard)
    : SelectExtensionsPage(IDD_EXTENSION_WIZARD_SELECT, SelectionPurpose::Install),
      wizard_(wizard) {}

bool CExtensionInstallationWizardSelectExtensionsPage::OnSetActive() {
    if (wizard_.set_) {
        ShowTree(&wizard_.set_->MergedConfiguration(), wizard_.set_->EntrySizes());
    } else {
        ShowTree(nullptr, FileSizeTable());
    }
    SetWizardButtons(wizard_.path_.empty() ? PSWIZB_FINISH : PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

bool CExtensionInstallationWizardSelectExtensionsPage::OnWizardFinish() {
    return AcceptSelection(12502, wizard_.selection_);
}

// ---------------------------------------------------------------------------------------------

CExtensionInstallationWizard::CExtensionInstallationWizard(HWND parent)
    : Wizard(parent), intro_(*this), select_(*this) {
    AddPage(intro_);
    AddPage(select_);
}

CExtensionInstallationWizard::CExtensionInstallationWizard(std::unique_ptr<DistributionSet> set,
                                                           HWND parent)
    : CExtensionInstallationWizard(parent) {
    set_ = std::move(set);
    SetStartPage(1);
}

CExtensionInstallationWizard::~CExtensionInstallationWizard() = default;

std::unique_ptr<DistributionSet>
CExtensionInstallationWizard::ReadSet(HWND page, const std::string& path, ErrorList& errors) {
    SetReadingWindows windows(page);
    return ReadDistributionSet(path, errors, &windows);
}

void CExtensionInstallationWizard::ShowReadFailure(HWND page, const ErrorList& errors) {
    ExtensionInstallationFailedDialog(errors, page).DoModal();
}

// ---------------------------------------------------------------------------------------------

CExtensionUninstallationWizardSelectExtensionsPage::
    CExtensionUninstallationWizardSelectExtensionsPage(CExtensionUninstallationWizard& wizard)
    : SelectExtensionsPage(IDD_UNINSTALL_WIZARD_SELECT, SelectionPurpose::Uninstall),
      wizard_(wizard) {}

bool CExtensionUninstallationWizardSelectExtensionsPage::OnSetActive() {
    ShowTree(&wizard_.installed_, FileSizeTable());
    Tree().UnselectAll();
    SetWizardButtons(PSWIZB_FINISH);
    return true;
}

bool CExtensionUninstallationWizardSelectExtensionsPage::OnWizardFinish() {
    return AcceptSelection(12504, wizard_.selection_);
}

CExtensionUninstallationWizard::CExtensionUninstallationWizard(const Configuration& installed,
                                                               HWND parent)
    : Wizard(parent), installed_(installed), select_(*this) {
    AddPage(select_);
}

} // namespace nebcm::ui
