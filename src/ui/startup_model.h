// The start-up decision of NebCM.exe: which one mode a run performs, from the installed state and
// the command line, and which dialogs report its outcome. Everything it touches goes through
// StartupServices, so every mode can be followed without windows.
#pragma once

#include <memory>
#include <string>

#include "common/error_list.h"
#include "common/procedure_result.h"
#include "engine/journal.h"

namespace nebcm {
class DistributionSet;
}

namespace nebcm::ui {

class StartupServices {
public:
    virtual ~StartupServices() = default;

    // Waits up to a second for the single-instance mutex; false when another run holds it.
    virtual bool AcquireSingleInstance() = 0;
    virtual bool IsPlatformInstalled() = 0;
    virtual bool IsFile(const std::string& path) = 0;
    virtual std::string OwnProgramPath() = 0;
    virtual bool StartProcess(const std::string& program, const std::string& arguments) = 0;
    virtual void Wait(unsigned milliseconds) = 0;
    // "-Log FILE" before the set path: from here on the run appends what it does to the file.
    virtual void StartLog(const std::string& path, const std::string& trimmedCommandLine) = 0;

    // Undoes what a procedure that was stopped before its end (killed, a power cut) left behind.
    virtual RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors) = 0;

    // The procedures.
    virtual ProcedureResult InstallCore(ErrorList& errors, std::string& installedManager) = 0;
    virtual ProcedureResult RequestPlatformUninstall(ErrorList& errors) = 0;
    virtual ProcedureResult PerformPlatformUninstall(ErrorList& errors) = 0;
    virtual bool CheckInstalledConfiguration(ErrorList& errors) = 0;
    virtual std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path,
                                                                 ErrorList& errors) = 0;
    virtual ProcedureResult InstallExtensionsFromSet(std::unique_ptr<DistributionSet> set,
                                                     ErrorList& errors) = 0;

    // The dialogs; those that end with a button return its id.
    virtual void ShowAlreadyRunning() = 0;
    // A message box with an OK button: the information icon, or the warning icon.
    virtual void ShowNotice(const std::string& text, bool warning) = 0;
    virtual void ShowErrorList(const ErrorList& errors) = 0;
    virtual void ShowStopMessage(const std::string& text) = 0;
    virtual void ShowCoreInstallationFailed(const ErrorList& errors) = 0;
    virtual int ConfirmUninstall() = 0;
    virtual void ShowUninstallFailed(const ErrorList& errors) = 0;
    virtual void ShowUninstallCompleted() = 0;
    virtual void ShowConsistencySplash() = 0;
    virtual void HideConsistencySplash() = 0;
    virtual int ShowInstallationCorrupt(const ErrorList& errors) = 0;
    virtual void ShowExtensionInstallationFailed(const ErrorList& errors) = 0;
    virtual void RunMainDialog() = 0;
};

enum class StartupMode {
    AlreadyRunning,
    CoreInstallation,
    UninstallRequest,
    UninstallPerform,
    CorruptInstallation,
    SetInstallation,
    SetNotFound,
    MainWindow,
};

// Blanks, tabs and line ends removed at both ends; quotes are kept.
std::string TrimCommandLine(const std::string& commandLine);

// "-Log FILE REST" (FILE quoted when it holds blanks): true with the file and the rest of the
// line, trimmed; false for any other command line.
bool SplitLogOption(const std::string& trimmed, std::string& logFile, std::string& rest);

// Runs one mode to its end and says which it was. commandLine is everything behind the program
// name, as the system passed it.
StartupMode RunStartup(const std::string& commandLine, StartupServices& services);

} // namespace nebcm::ui
