// The start-up decision: single instance, then one of the modes by installed state and command
// line.
#include "ui/startup_model.h"

#include <cctype>

#include "common/constants.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"

namespace nebcm::ui {

namespace {
constexpr int kUninstallAnswerYes = 6;
constexpr int kUninstallFromCorrupt = 1029;
} // namespace

std::string TrimCommandLine(const std::string& commandLine) {
    std::size_t begin = 0;
    std::size_t end = commandLine.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(commandLine[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(commandLine[end - 1]))) {
        --end;
    }
    return commandLine.substr(begin, end - begin);
}

namespace {

// Tells the user what became of an interrupted procedure; a clean start says nothing.
void RecoverEarlierProcedure(StartupServices& services) {
    ErrorList errors;
    switch (services.RecoverInterruptedProcedure(errors)) {
    case RecoveryOutcome::RolledBack:
        services.ShowNotice(Message(13010), false);
        break;
    case RecoveryOutcome::RolledBackWithErrors:
        services.ShowNotice(Message(13011), true);
        if (errors.Count() > 0) {
            services.ShowErrorList(errors);
        }
        break;
    case RecoveryOutcome::LeftAlone: {
        std::string text;
        for (std::size_t i = 0; i < errors.Count(); ++i) {
            text += (text.empty() ? "" : "\n\n") + errors.At(i);
        }
        if (!text.empty()) {
            services.ShowNotice(text, true);
        }
        break;
    }
    case RecoveryOutcome::NothingToRecover:
    case RecoveryOutcome::CommitCompleted:
        break;
    }
}

} // namespace

bool SplitLogOption(const std::string& trimmed, std::string& logFile, std::string& rest) {
    const std::string word = "-Log";
    if (trimmed.compare(0, word.size(), word) != 0 || trimmed.size() == word.size() ||
        !std::isspace(static_cast<unsigned char>(trimmed[word.size()]))) {
        return false;
    }
    const std::string after = TrimCommandLine(trimmed.substr(word.size()));
    std::size_t end = 0;
    if (!after.empty() && after[0] == '"') {
        end = after.find('"', 1);
        if (end == std::string::npos || end == 1) {
            return false;
        }
        logFile = after.substr(1, end - 1);
        ++end;
    } else {
        while (end < after.size() && !std::isspace(static_cast<unsigned char>(after[end]))) {
            ++end;
        }
        logFile = after.substr(0, end);
    }
    if (logFile.empty()) {
        return false;
    }
    rest = TrimCommandLine(after.substr(end));
    return true;
}

StartupMode RunStartup(const std::string& commandLine, StartupServices& services) {
    std::string trimmed = TrimCommandLine(commandLine);
    // A log asked for before the set path; the restart after a core installation passes the
    // whole line on, so the installed copy logs to the same file.
    std::string logFile, rest;
    if (SplitLogOption(trimmed, logFile, rest)) {
        services.StartLog(logFile, trimmed);
        trimmed = rest;
    }

    if (!services.AcquireSingleInstance()) {
        services.ShowAlreadyRunning();
        return StartupMode::AlreadyRunning;
    }

    // Only the run that holds the mutex may touch what an earlier run left, and it does so
    // before anything looks at the installed state: a rolled-back first installation leaves no
    // platform, and the core installation is offered again.
    RecoverEarlierProcedure(services);

    if (!services.IsPlatformInstalled()) {
        // Whatever the command line says, a machine without the platform gets the core first;
        // the installed copy then continues with the same command line.
        ErrorList errors;
        std::string installedManager;
        ProcedureResult result = services.InstallCore(errors, installedManager);
        if (result == ProcedureResult::Succeeded) {
            if (!services.StartProcess(installedManager, commandLine)) {
                services.ShowStopMessage(Message(11300, installedManager));
            }
        } else if (result == ProcedureResult::Failed) {
            services.ShowCoreInstallationFailed(errors);
        }
        return StartupMode::CoreInstallation;
    }

    if (trimmed == RequestUninstallOption) {
        if (services.ConfirmUninstall() == kUninstallAnswerYes) {
            ErrorList errors;
            if (services.RequestPlatformUninstall(errors) == ProcedureResult::Failed) {
                services.ShowUninstallFailed(errors);
            }
        }
        return StartupMode::UninstallRequest;
    }

    if (trimmed == PerformUninstallOption) {
        // The requesting process is ending; give it the time to let go of the program files.
        services.Wait(500);
        ErrorList errors;
        ProcedureResult result = services.PerformPlatformUninstall(errors);
        if (result == ProcedureResult::Succeeded) {
            services.ShowUninstallCompleted();
        } else if (result == ProcedureResult::Failed) {
            services.ShowUninstallFailed(errors);
        }
        return StartupMode::UninstallPerform;
    }

    services.ShowConsistencySplash();
    services.Wait(1000);
    ErrorList problems;
    bool consistent = services.CheckInstalledConfiguration(problems);
    services.HideConsistencySplash();
    if (!consistent) {
        if (services.ShowInstallationCorrupt(problems) == kUninstallFromCorrupt) {
            services.StartProcess(services.OwnProgramPath(), RequestUninstallOption);
        }
        return StartupMode::CorruptInstallation;
    }

    if (!trimmed.empty() && services.IsFile(trimmed)) {
        ErrorList errors;
        std::unique_ptr<DistributionSet> set = services.ReadDistributionSet(trimmed, errors);
        if (set == nullptr) {
            services.ShowExtensionInstallationFailed(errors);
        } else if (services.InstallExtensionsFromSet(std::move(set), errors) ==
                   ProcedureResult::Failed) {
            services.ShowExtensionInstallationFailed(errors);
        }
        return StartupMode::SetInstallation;
    }

    if (!trimmed.empty()) {
        services.ShowStopMessage(Message(12501, trimmed));
        return StartupMode::SetNotFound;
    }

    services.RunMainDialog();
    return StartupMode::MainWindow;
}

} // namespace nebcm::ui
