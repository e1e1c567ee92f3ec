// The core installation wizard: installation directory with its check, and the 1.0 upgrade policy.
#include "ui/core_installation_wizard.h"

#include "common/constants.h"
#include "common/error_list.h"
#include "engine/file_actions.h"
#include "engine/file_system.h"
#include "engine/protected_directories.h"
#include "engine/transaction.h"
#include "ui/extension_wizards.h"
#include "ui/installation_directory_dialog.h"
#include "ui/message_dialogs.h"
#include "ui/resource.h"

namespace nebcm::ui {

CNebInstallationWizardIntroPage::CNebInstallationWizardIntroPage(CNebInstallationWizard& wizard)
    : PropertyPage(IDD_CORE_WIZARD_INTRO), wizard_(wizard) {}

bool CNebInstallationWizardIntroPage::OnInitDialog() {
    std::string root;
    if (!DefaultInstallationRoot(root) || root.empty()) {
        root = "C:\\Program Files";
    }
    wizard_.InstallationDirectory = JoinPath(root, DefaultInstallationSubdirectory);
    SetItemText(IDC_INSTALLATION_DIRECTORY, wizard_.InstallationDirectory);
    OnCommand(IDC_INSTALLATION_DIRECTORY, [this] {
        wizard_.InstallationDirectory = TrimmedText(ItemText(IDC_INSTALLATION_DIRECTORY));
        UpdateButtons();
    });
    OnCommand(IDC_BROWSE, [this] { Browse(); });
    UpdateButtons();
    return true;
}

bool CNebInstallationWizardIntroPage::OnSetActive() {
    UpdateButtons();
    return true;
}

void CNebInstallationWizardIntroPage::UpdateButtons() {
    bool empty = TrimmedText(ItemText(IDC_INSTALLATION_DIRECTORY)).empty();
    if (wizard_.UpgradePageEnabled) {
        SetWizardButtons(empty ? 0 : PSWIZB_NEXT);
    } else {
        SetWizardButtons(empty ? PSWIZB_DISABLEDFINISH : PSWIZB_FINISH);
    }
}

void CNebInstallationWizardIntroPage::Browse() {
    InstallationDirectoryDialog dialog(hwnd_);
    if (dialog.DoModal() == IDOK && !dialog.ChosenPath().empty()) {
        SetItemText(IDC_INSTALLATION_DIRECTORY, dialog.ChosenPath());
        wizard_.InstallationDirectory = dialog.ChosenPath();
    }
}

DirectoryCheck CNebInstallationWizardIntroPage::CheckDirectory(const std::string& path) {
    // Windows, a drive, the user's folders and the like are never offered for overwriting or
    // made below: the user picks another directory.
    const DirectoryRefusal refusal = CheckInstallationDirectory(path);
    if (refusal.refused) {
        char caption[256] = {};
        GetWindowTextA(Sheet(), caption, sizeof caption);
        MessageBoxA(Sheet(), refusal.Text().c_str(), caption, MB_OK | MB_ICONSTOP);
        return DirectoryCheck::Stay;
    }
    if (IsDirectory(path)) {
        return DirectoryExistsDialog(path, hwnd_).DoModal() == IDC_FIRST_CHOICE
                   ? DirectoryCheck::GoOn
                   : DirectoryCheck::Stay;
    }
    if (CreateDirectoryQueryDialog(path, hwnd_).DoModal() != IDC_FIRST_CHOICE) {
        return DirectoryCheck::Stay;
    }
    // Only a test: whatever was made is taken away again, and its messages are of no interest.
    bool made;
    {
        Transaction test;
        ErrorList errors;
        made = MakeDirectory(path, &test, errors);
        test.Rollback(errors);
    }
    if (made) {
        return DirectoryCheck::GoOn;
    }
    return DirectoryNotCreatedDialog(path, hwnd_).DoModal() == IDC_FIRST_CHOICE
               ? DirectoryCheck::Stay
               : DirectoryCheck::CancelWizard;
}

bool CNebInstallationWizardIntroPage::Proceed() {
    std::string path = TrimmedText(ItemText(IDC_INSTALLATION_DIRECTORY));
    // A relative path would be installed below whatever the current directory happens to be and
    // registered as such; the user is asked about, and gets, the absolute directory.
    std::string full = FullPath(path);
    if (!full.empty()) {
        path = full;
    }
    switch (CheckDirectory(path)) {
    case DirectoryCheck::GoOn:
        wizard_.InstallationDirectory = path;
        return true;
    case DirectoryCheck::CancelWizard:
        PostMessageA(Sheet(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        return false;
    case DirectoryCheck::Stay:
        break;
    }
    return false;
}

LRESULT CNebInstallationWizardIntroPage::OnWizardNext() {
    return Proceed() ? 0 : -1;
}

bool CNebInstallationWizardIntroPage::OnWizardFinish() {
    return Proceed();
}

// ---------------------------------------------------------------------------------------------

CNebInstallationWizardUpgradePage::CNebInstallationWizardUpgradePage(CNebInstallationWizard& wizard)
    : PropertyPage(IDD_CORE_WIZARD_UPGRADE), wizard_(wizard) {}

bool CNebInstallationWizardUpgradePage::OnInitDialog() {
    for (int policy = 0; policy <= 3; ++policy) {
        OnCommand(IDC_POLICY_ALONGSIDE + policy, [this, policy] {
            wizard_.UpgradePolicy = policy;
            ShowPolicy();
        });
    }
    ShowPolicy();
    return true;
}

bool CNebInstallationWizardUpgradePage::OnSetActive() {
    ShowPolicy();
    SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

void CNebInstallationWizardUpgradePage::ShowPolicy() {
    int policy = wizard_.UpgradePolicy < 0 || wizard_.UpgradePolicy > 3 ? 3 : wizard_.UpgradePolicy;
    CheckRadioButton(hwnd_, IDC_POLICY_ALONGSIDE, IDC_POLICY_UPGRADE,
                     IDC_POLICY_ALONGSIDE + policy);
}

// ---------------------------------------------------------------------------------------------

CNebInstallationWizard::CNebInstallationWizard(HWND parent, unsigned startPage)
    : Wizard(parent), intro_(*this), upgrade_(*this) {
    SetStartPage(startPage);
}

void CNebInstallationWizard::BeforeRun() {
    if (pagesAdded_) {
        return;
    }
    pagesAdded_ = true;
    AddPage(intro_);
    if (UpgradePageEnabled) {
        AddPage(upgrade_);
    }
}

} // namespace nebcm::ui
