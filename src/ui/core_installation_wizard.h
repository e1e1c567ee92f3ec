// The wizard that asks where NEB 2.0 goes and, when NEB 1.0 is installed, what becomes of it.
#pragma once

#include <string>

#include "ui/wizard.h"

namespace nebcm::ui {

class CNebInstallationWizard;

// What the check of a typed installation directory decided.
enum class DirectoryCheck { GoOn, Stay, CancelWizard };

class CNebInstallationWizardIntroPage : public PropertyPage {
public:
    explicit CNebInstallationWizardIntroPage(CNebInstallationWizard& wizard);

    // Refuses a protected directory (Windows, a drive, the user's folders...) with a message.
    // Otherwise asks about the directory: an existing one may be overwritten; a missing one is
    // made and removed again at once to learn whether it can be made, and if it cannot the user
    // picks another or gives up the installation.
    DirectoryCheck CheckDirectory(const std::string& path);

protected:
    bool OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnWizardFinish() override;
    DWORD HelpContext() const override { return 1002; }

private:
    void UpdateButtons();
    void Browse();
    // Runs the check; on CancelWizard closes the wizard as cancelled.
    bool Proceed();

    CNebInstallationWizard& wizard_;
};

class CNebInstallationWizardUpgradePage : public PropertyPage {
public:
    explicit CNebInstallationWizardUpgradePage(CNebInstallationWizard& wizard);

protected:
    bool OnInitDialog() override;
    bool OnSetActive() override;
    DWORD HelpContext() const override { return 1003; }

private:
    void ShowPolicy();
    CNebInstallationWizard& wizard_;
};

// Run returns FinishCode when the user finished; InstallationDirectory and UpgradePolicy then
// hold the choices. Set UpgradePageEnabled before running: without it the intro page is the
// only one and ends with Finish.
class CNebInstallationWizard : public Wizard {
public:
    explicit CNebInstallationWizard(HWND parent, unsigned startPage = 0);

    std::string InstallationDirectory;
    bool UpgradePageEnabled = true;
    // 0 alongside 1.0, 1 alongside with its software set up, 2 replace 1.0, 3 upgrade 1.0.
    int UpgradePolicy = 3;

protected:
    void BeforeRun() override;

private:
    CNebInstallationWizardIntroPage intro_;
    CNebInstallationWizardUpgradePage upgrade_;
    bool pagesAdded_ = false;
};

} // namespace nebcm::ui
