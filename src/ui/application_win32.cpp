// The program's dialogs behind the procedures' interfaces, and the machine behind start-up's.
#include "ui/application.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "engine/core_installation.h"
#include "engine/extension_installation.h"
#include "engine/extension_uninstallation.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "engine/journal.h"
#include "engine/platform_procedure_ui.h"
#include "engine/platform_uninstallation.h"
#include "engine/procedure_ui.h"
#include "ui/core_installation_wizard.h"
#include "ui/error_list_dialog.h"
#include "ui/extension_wizards.h"
#include "ui/main_dialog.h"
#include "ui/message_dialogs.h"
#include "ui/progress_dialog.h"
#include "ui/run_log_win32.h"
#include "ui/startup_model.h"
#include "ui/unattended_model.h"

namespace nebcm::ui {

namespace {

constexpr char kTitle[] = "NEB 2.0 Configuration Manager";

std::unique_ptr<ProgressReporter> OpenProgressWindow(ProgressKind kind, HWND owner) {
    auto dialog = std::make_unique<ProgressDialog>(kind, owner);
    dialog->Open();
    return dialog;
}

// The real dialogs of the procedures, owned by one window (none at start-up).
class ProgramUi : public nebcm::ProcedureUi, public nebcm::PlatformProcedureUi {
public:
    explicit ProgramUi(LogFile& log) : log_(log) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow window) override {
        return LoggedProgress(OpenWindow(window), log_);
    }

    std::unique_ptr<ProgressReporter> OpenWindow(ProgressWindow window) {
        switch (window) {
        case ProgressWindow::CoreInstallation:
            return OpenProgressWindow(ProgressKind::CoreInstallation, owner_);
        case ProgressWindow::PlatformUninstallation:
            return OpenProgressWindow(ProgressKind::PlatformUninstallation, owner_);
        case ProgressWindow::ExtensionInstallation:
            return OpenProgressWindow(ProgressKind::ExtensionInstallation, owner_);
        case ProgressWindow::ExtensionUninstallation:
            break;
        }
        return OpenProgressWindow(ProgressKind::ExtensionUninstallation, owner_);
    }

    bool RunCoreInstallationWizard(bool upgradePageEnabled,
                                   CoreInstallationChoice& choice) override {
        CNebInstallationWizard wizard(owner_);
        wizard.UpgradePageEnabled = upgradePageEnabled;
        if (wizard.Run() != Wizard::FinishCode) {
            return false;
        }
        choice.installationDirectory = wizard.InstallationDirectory;
        choice.upgradePolicy = wizard.UpgradePolicy;
        return true;
    }

    bool RunInstallationWizard(std::unique_ptr<DistributionSet>& set,
                               nebcm::Selection& selection) override {
        std::unique_ptr<CExtensionInstallationWizard> wizard =
            set ? std::make_unique<CExtensionInstallationWizard>(std::move(set), owner_)
                : std::make_unique<CExtensionInstallationWizard>(owner_);
        if (wizard->Run() != Wizard::FinishCode) {
            return false;
        }
        set = wizard->DetachDistributionSet();
        selection = wizard->GetSelection();
        return set != nullptr;
    }

    bool RunUninstallationWizard(const Configuration& candidates,
                                 nebcm::Selection& selection) override {
        CExtensionUninstallationWizard wizard(candidates, owner_);
        if (wizard.Run() != Wizard::FinishCode) {
            return false;
        }
        selection = wizard.GetSelection();
        return !selection.empty();
    }

    void ShowInstallationComplete(const std::vector<std::string>& installed,
                                  const std::vector<std::string>& skipped) override {
        for (const std::string& line : installed) {
            log_.Write(line);
        }
        InstallationCompleteDialog dialog(installed, skipped, owner_);
        dialog.DoModal();
    }

    void ShowUninstallationComplete(const std::vector<std::string>& uninstalled) override {
        UninstallationCompleteDialog dialog(uninstalled, owner_);
        dialog.DoModal();
    }

    void ShowMessage(const std::string& text, MessageIcon icon) override {
        UINT style = MB_OK;
        switch (icon) {
        case MessageIcon::Information:
            style |= MB_ICONINFORMATION;
            break;
        case MessageIcon::Warning:
            style |= MB_ICONEXCLAMATION;
            break;
        case MessageIcon::Stop:
            style |= MB_ICONSTOP;
            break;
        }
        KeepOwnerShut keep(owner_);
        MessageBoxA(owner_, text.c_str(), kTitle, style);
    }

private:
    LogFile& log_;
    HWND owner_ = nullptr;
};

class ProgramStartup : public StartupServices {
public:
    ProgramStartup(ProgramUi& ui, LogFile& log) : ui_(ui), log_(log), changes_(log) {}
    ~ProgramStartup() override {
        if (log_.IsOpen()) {
            SetTransactionObserver(nullptr);
            log_.Write(Message(13035, 0));
        }
    }

    void StartLog(const std::string& path, const std::string& trimmedCommandLine) override {
        std::string file = path;
        if (!log_.Open(file)) {
            return; // an interactive run goes on without the log it could not write
        }
        log_.Write(Message(13030, CoreVersionText));
        log_.Write(Message(13031, trimmedCommandLine));
        SetTransactionObserver(&changes_);
    }

    bool AcquireSingleInstance() override {
        // Held, never released, until the process ends; a failure to make it lets the run go on.
        mutex_ = CreateMutexA(nullptr, FALSE, kTitle);
        if (mutex_ == nullptr) {
            return true;
        }
        DWORD wait = WaitForSingleObject(mutex_, 1000);
        return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    bool IsPlatformInstalled() override { return nebcm::IsPlatformInstalled(); }
    bool IsFile(const std::string& path) override { return nebcm::IsFile(path); }
    std::string OwnProgramPath() override {
        char path[MAX_PATH] = {};
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        return std::string(path, n);
    }
    bool StartProcess(const std::string& program, const std::string& arguments) override {
        return nebcm::StartProcess(program, arguments);
    }
    void Wait(unsigned milliseconds) override { Sleep(milliseconds); }

    RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors) override {
        return nebcm::RecoverInterruptedProcedure(errors);
    }

    ProcedureResult InstallCore(ErrorList& errors, std::string& installedManager) override {
        return nebcm::InstallCore(errors, installedManager);
    }
    ProcedureResult RequestPlatformUninstall(ErrorList& errors) override {
        return nebcm::RequestPlatformUninstall(errors);
    }
    ProcedureResult PerformPlatformUninstall(ErrorList& errors) override {
        return nebcm::PerformPlatformUninstall(errors);
    }
    bool CheckInstalledConfiguration(ErrorList& errors) override {
        return nebcm::CheckInstalledConfiguration(errors);
    }
    std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path,
                                                         ErrorList& errors) override {
        SetReadingWindows windows(nullptr);
        return nebcm::ReadDistributionSet(path, errors, &windows);
    }
    ProcedureResult InstallExtensionsFromSet(std::unique_ptr<DistributionSet> set,
                                             ErrorList& errors) override {
        return nebcm::InstallExtensionsFromSet(ui_, std::move(set), errors);
    }

    void ShowAlreadyRunning() override { Run(std::make_unique<AlreadyRunningDialog>(nullptr)); }
    void ShowNotice(const std::string& text, bool warning) override {
        MessageBoxA(nullptr, text.c_str(), kTitle,
                    MB_OK | MB_SETFOREGROUND | (warning ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
    }
    void ShowErrorList(const ErrorList& errors) override {
        Logged(errors);
        Run(std::make_unique<ErrorListDialog>(errors, nullptr));
    }
    void ShowStopMessage(const std::string& text) override {
        MessageBoxA(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONSTOP);
    }
    void ShowCoreInstallationFailed(const ErrorList& errors) override {
        Logged(errors);
        Run(std::make_unique<CoreInstallationFailedDialog>(errors, nullptr));
    }
    int ConfirmUninstall() override {
        return Run(std::make_unique<UninstallConfirmationDialog>(nullptr));
    }
    void ShowUninstallFailed(const ErrorList& errors) override {
        Logged(errors);
        Run(std::make_unique<UninstallFailedDialog>(errors, nullptr));
    }
    void ShowUninstallCompleted() override {
        Run(std::make_unique<UninstallCompletedDialog>(nullptr));
    }
    void ShowConsistencySplash() override {
        splash_ = std::make_unique<ConsistencyCheckSplash>();
        splash_->Open();
    }
    void HideConsistencySplash() override { splash_.reset(); }
    int ShowInstallationCorrupt(const ErrorList& errors) override {
        Logged(errors);
        return Run(std::make_unique<InstallationCorruptDialog>(errors, nullptr));
    }
    void ShowExtensionInstallationFailed(const ErrorList& errors) override {
        Logged(errors);
        Run(std::make_unique<ExtensionInstallationFailedDialog>(errors, nullptr));
    }
    void RunMainDialog() override {
        MainDialogActions actions;
        actions.installExtensions = [this](HWND owner, ErrorList& errors) {
            ui_.SetOwner(owner);
            ProcedureResult result = nebcm::InstallExtensionsInteractive(ui_, errors);
            ui_.SetOwner(nullptr);
            return result;
        };
        actions.uninstallExtensions = [this](HWND owner, ErrorList& errors) {
            ui_.SetOwner(owner);
            ProcedureResult result = nebcm::UninstallExtensions(ui_, errors);
            ui_.SetOwner(nullptr);
            return result;
        };
        MainDialog main(std::move(actions));
        main.DoModal();
    }

private:
    static int Run(std::unique_ptr<Dialog> dialog) { return static_cast<int>(dialog->DoModal()); }
    void Logged(const ErrorList& errors) {
        for (const std::string& message : errors.Messages()) {
            log_.Write(Message(13034, message));
        }
    }

    ProgramUi& ui_;
    LogFile& log_;
    ChangeLog changes_;
    HANDLE mutex_ = nullptr;
    std::unique_ptr<ConsistencyCheckSplash> splash_;
};

} // namespace

int RunApplication(const char* commandLine) {
    // Shell links need COM, once for the whole process.
    HRESULT com = CoInitialize(nullptr);
    const std::string line = commandLine != nullptr ? commandLine : "";
    if (IsUnattendedCommandLine(TrimCommandLine(line))) {
        const int code = RunUnattendedApplication(line);
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
        return code;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS |
                                                          ICC_LISTVIEW_CLASSES};
    if (!InitCommonControlsEx(&controls)) {
        InitCommonControls();
    }
    LoadRichEditLibrary();

    LogFile log;
    ProgramUi ui(log);
    PlatformProcedureUi* previous = SetPlatformProcedureUi(&ui);
    {
        ProgramStartup startup(ui, log);
        RunStartup(line, startup);
    }
    SetPlatformProcedureUi(previous);

    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return 0;
}

} // namespace nebcm::ui
