// How the platform procedures meet the user: the core installation wizard and the progress windows
// of the core installation and the platform uninstallation. The user interface installs the real
// dialogs at start-up; tests install stand-ins.
#pragma once

#include <memory>
#include <string>

#include "engine/procedure_ui.h"
#include "engine/progress.h"

namespace nebcm {

// What the core installation wizard gathered.
struct CoreInstallationChoice {
    std::string installationDirectory;
    int upgradePolicy = 3; // 0..3, meaningful only with the upgrade page
};

class PlatformProcedureUi {
public:
    virtual ~PlatformProcedureUi() = default;
    // Runs the core installation wizard modally, with its upgrade page only when asked; true
    // when the user finished it (the wizard-finish code 12325), with the choice filled in.
    virtual bool RunCoreInstallationWizard(bool upgradePageEnabled,
                                           CoreInstallationChoice& choice) = 0;
    // The modeless progress window of the template, without parent, shown and painted at once;
    // destroying the reporter destroys the window.
    virtual std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow window) = 0;
};

// The interface in force. Until one is installed, the wizard counts as cancelled and progress
// goes nowhere (nothing waits, nothing is cancelled).
PlatformProcedureUi& PlatformUi();
// Installs an interface (null: none) and returns the one it replaces. Not owned.
PlatformProcedureUi* SetPlatformProcedureUi(PlatformProcedureUi* ui);

} // namespace nebcm
