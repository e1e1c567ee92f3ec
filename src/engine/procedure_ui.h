// What the extension procedures need from the user interface: their progress windows, the wizards
// that choose what to install or remove, and the reports at the end. The program's dialogs
// implement it; tests script it.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "distribution/distribution_set.h"
#include "engine/progress.h"
#include "model/extension.h"

namespace nebcm {

// The extensions a user picked, as pointers into the configuration the wizard showed.
using Selection = std::set<const Extension*>;

// The progress windows of the procedures, by dialog template.
enum class ProgressWindow : int {
    CoreInstallation = 142,        // "NEB 2.0 Installation"
    PlatformUninstallation = 144,  // "NEB 2.0 Uninstallation"
    ExtensionInstallation = 164,   // "NEB 2.0 Extension Installation"
    ExtensionUninstallation = 170, // "NEB 2.0 Extension Uninstallation"
};

enum class MessageIcon { Information, Warning, Stop };

class ProcedureUi {
public:
    virtual ~ProcedureUi() = default;

    // Creates the procedure's modeless progress window, shown at once and centred on the parent
    // (on the desktop when there is none). Destroying the reporter destroys the window.
    virtual std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow window) = 0;

    // Runs the extension installation wizard modally. Given a set, the wizard owns it and opens at
    // its selection page; given none, it opens at its introduction page, where the user names a
    // set file and the wizard reads it. True when the user finished: then `set` holds the set
    // (owned by the caller again) and `selection` the chosen extensions of its merged
    // configuration. False otherwise; whatever set there was is gone.
    virtual bool RunInstallationWizard(std::unique_ptr<DistributionSet>& set,
                                       Selection& selection) = 0;
    // Runs the extension uninstallation wizard modally over the extensions that may be removed.
    // True when the user finished: `selection` then holds extensions of `candidates`, never empty
    // and closed under dependents.
    virtual bool RunUninstallationWizard(const Configuration& candidates, Selection& selection) = 0;

    // The completion reports, each line "<description> version <version>".
    virtual void ShowInstallationComplete(const std::vector<std::string>& installed,
                                          const std::vector<std::string>& skipped) = 0;
    virtual void ShowUninstallationComplete(const std::vector<std::string>& uninstalled) = 0;
    // A modal message box with an OK button.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
};

} // namespace nebcm
