// The wizards that gather what the extension installation and uninstallation need: which
// distribution set, and which extensions.
#pragma once

#include <memory>
#include <string>

#include "common/error_list.h"
#include "distribution/distribution_set.h"
#include "ui/selection_tree.h"
#include "ui/wizard.h"

namespace nebcm::ui {

// Whitespace removed at both ends.
std::string TrimmedText(const std::string& text);

// A page on which extensions are checked on a selection tree, viewed one of three ways.
class SelectExtensionsPage : public PropertyPage {
public:
    SelectExtensionsPage(int templateId, SelectionPurpose purpose);

    SelectionTree& Tree() { return *tree_; }
    ViewMode GetViewMode() const { return mode_; }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Shows the page's view, collapsed, and updates the radio buttons.
    void ShowTree(const Configuration* configuration, const FileSizeTable& sizes);
    // The tree's selection when it is not empty; otherwise the message with the stop icon.
    bool AcceptSelection(int emptyMessage, Selection& selection);

private:
    void ChooseView(ViewMode mode);
    void UpdateRadioButtons();

    std::unique_ptr<SelectionTree> tree_;
    ViewMode mode_ = ViewMode::ByProduct;
};

class CExtensionInstallationWizard;

class CExtensionInstallationWizardIntroPage : public PropertyPage {
public:
    explicit CExtensionInstallationWizardIntroPage(CExtensionInstallationWizard& wizard);

protected:
    bool OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    DWORD HelpContext() const override { return 1006; }

private:
    void UpdateButtons();
    void Browse();
    CExtensionInstallationWizard& wizard_;
};

class CExtensionInstallationWizardSelectExtensionsPage : public SelectExtensionsPage {
public:
    explicit CExtensionInstallationWizardSelectExtensionsPage(CExtensionInstallationWizard& wizard);

protected:
    bool OnSetActive() override;
    bool OnWizardFinish() override;
    DWORD HelpContext() const override { return 1007; }

private:
    CExtensionInstallationWizard& wizard_;
};

// Started empty (intro page first) or with a set already read (selection page first, no Back).
// Run returns FinishCode when the user finished; then DetachDistributionSet and GetSelection give
// what was chosen. The wizard changes nothing on the machine.
class CExtensionInstallationWizard : public Wizard {
public:
    explicit CExtensionInstallationWizard(HWND parent);
    CExtensionInstallationWizard(std::unique_ptr<DistributionSet> set, HWND parent);
    ~CExtensionInstallationWizard() override;

    // The caller owns the set from now on.
    std::unique_ptr<DistributionSet> DetachDistributionSet() { return std::move(set_); }
    DistributionSet* GetDistributionSet() const { return set_.get(); }
    // Pointers into the set's merged configuration.
    const Selection& GetSelection() const { return selection_; }
    // The path typed or browsed on the intro page; empty when started with a set.
    const std::string& DistributionSetPath() const { return path_; }

protected:
    // Reads the set behind the intro page, with the reading windows over it.
    virtual std::unique_ptr<DistributionSet> ReadSet(HWND page, const std::string& path,
                                                     ErrorList& errors);
    // Tells why the set could not be read.
    virtual void ShowReadFailure(HWND page, const ErrorList& errors);

private:
    friend class CExtensionInstallationWizardIntroPage;
    friend class CExtensionInstallationWizardSelectExtensionsPage;

    std::string path_;
    std::unique_ptr<DistributionSet> set_;
    Selection selection_;
    CExtensionInstallationWizardIntroPage intro_;
    CExtensionInstallationWizardSelectExtensionsPage select_;
};

class CExtensionUninstallationWizard;

class CExtensionUninstallationWizardSelectExtensionsPage : public SelectExtensionsPage {
public:
    explicit CExtensionUninstallationWizardSelectExtensionsPage(
        CExtensionUninstallationWizard& wizard);

protected:
    bool OnSetActive() override;
    bool OnWizardFinish() override;
    DWORD HelpContext() const override { return 1009; }

private:
    CExtensionUninstallationWizard& wizard_;
};

// One page over the installed configuration (not owned), nothing selected at first. Run returns
// FinishCode when the user finished; GetSelection then holds pointers into that configuration.
class CExtensionUninstallationWizard : public Wizard {
public:
    CExtensionUninstallationWizard(const Configuration& installed, HWND parent);

    const Selection& GetSelection() const { return selection_; }

private:
    friend class CExtensionUninstallationWizardSelectExtensionsPage;

    const Configuration& installed_;
    Selection selection_;
    CExtensionUninstallationWizardSelectExtensionsPage select_;
};

} // namespace nebcm::ui
