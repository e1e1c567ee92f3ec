// The machine behind an unattended run: the log file, the single-instance mutex, the procedures
// with a user interface that opens no window, and the copies of the program it starts.
#include <windows.h>

#include "common/constants.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "engine/core_installation.h"
#include "engine/extension_installation.h"
#include "engine/extension_uninstallation.h"
#include "engine/file_actions.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "engine/journal.h"
#include "engine/platform_uninstallation.h"
#include "engine/procedure_support.h"
#include "engine/protected_directories.h"
#include "engine/transaction.h"
#include "platform/handles_win32.h"
#include "ui/application.h"
#include "ui/unattended_model.h"

namespace nebcm::ui {

namespace {

using KernelObject = UniqueResource<KernelHandleTraits>;
using FileObject = UniqueResource<FileHandleTraits>;

constexpr char kMutexName[] = "NEB 2.0 Configuration Manager";

std::string ModulePath() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

// Every line is appended on its own, the file closed in between, so that the copies this run
// starts and waits for can append to the same log.
class LogFile {
public:
    bool Open(std::string& path) {
        const std::string full = FullPath(path);
        path_ = full.empty() ? path : full;
        path = path_;
        return Append(std::string());
    }
    void Write(const std::string& text) {
        if (path_.empty()) {
            return;
        }
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        const LogTime time{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                           now.wMinute, now.wSecond, now.wMilliseconds};
        Append(LogLine(time, text));
    }

private:
    bool Append(const std::string& bytes) {
        FileObject file(CreateFileA(path_.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
            return false;
        }
        DWORD written = 0;
        return bytes.empty() || (WriteFile(file.get(), bytes.data(),
                                           static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                 written == bytes.size());
    }

    std::string path_;
};

// Each change a transaction records, and each one it undoes, becomes a log line.
class ChangeLog : public TransactionObserver {
public:
    explicit ChangeLog(LogFile& log) : log_(log) {}
    void Recorded(const JournalRecord& record) override {
        const std::string text = ChangeText(record);
        if (!text.empty()) {
            log_.Write(text);
        }
    }
    void Undone(const JournalRecord& record, bool undone) override {
        const std::string text = ChangeText(record);
        if (undone && !text.empty()) {
            log_.Write(Message(13046, text));
        }
    }

private:
    LogFile& log_;
};

bool IsEmptyDirectory(const std::string& directory) {
    WIN32_FIND_DATAA found = {};
    UniqueResource<FindHandleTraits> search(
        FindFirstFileA(JoinPath(directory, "*").c_str(), &found));
    if (!search) {
        return true;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            return false;
        }
    } while (FindNextFileA(search.get(), &found));
    return true;
}

bool Launch(const std::string& program, const std::string& arguments, const char* directory,
            KernelObject& process) {
    std::string commandLine = QuoteArgument(program) + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, directory, &startup, &started)) {
        return false;
    }
    KernelObject thread(started.hThread);
    process.reset(started.hProcess);
    return true;
}

class UnattendedProgram : public UnattendedServices {
public:
    UnattendedProgram() : ui_(&UnattendedProgram::Sink, this) {}
    UnattendedUi& Ui() { return ui_; }
    LogFile& File() { return log_; }

    std::string ProgramVersion() override { return CoreVersionText; }
    void Log(const std::string& text) override { log_.Write(text); }
    bool OpenLog(std::string& path) override { return log_.Open(path); }

    bool AcquireSingleInstance(unsigned milliseconds) override {
        mutex_.reset(CreateMutexA(nullptr, FALSE, kMutexName));
        if (!mutex_) {
            return true; // as in an interactive run, a mutex that cannot be made lets it go on
        }
        const DWORD wait = WaitForSingleObject(mutex_.get(), milliseconds);
        owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
        return owned_;
    }
    void ReleaseSingleInstance() override {
        if (owned_) {
            ReleaseMutex(mutex_.get());
            owned_ = false;
        }
        mutex_.reset();
    }
    void Pause(unsigned milliseconds) override { Sleep(milliseconds); }
    RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors) override {
        return nebcm::RecoverInterruptedProcedure(errors);
    }
    bool IsPlatformInstalled() override { return nebcm::IsPlatformInstalled(); }
    bool CheckInstalledConfiguration(ErrorList& errors) override {
        return nebcm::CheckInstalledConfiguration(errors);
    }
    bool IsFile(const std::string& path) override { return nebcm::IsFile(path); }

    ProcedureResult InstallCore(const std::string& directory, bool overwrite, int upgradePolicy,
                                ErrorList& errors, std::string& installedManager,
                                bool& checked) override {
        std::string chosen = directory;
        if (chosen.empty()) {
            std::string root;
            if (!DefaultInstallationRoot(root) || root.empty()) {
                root = "C:\\Program Files";
            }
            chosen = JoinPath(root, DefaultInstallationSubdirectory);
        }
        const std::string full = FullPath(chosen);
        checked = false;
        if (full.empty()) {
            errors.Add(Message(10001, chosen));
            return ProcedureResult::Failed;
        }
        const DirectoryRefusal refusal = CheckInstallationDirectory(full);
        if (refusal.refused) {
            errors.Add(refusal.Text());
            return ProcedureResult::Failed;
        }
        // The wizard asks before it empties a directory; here only -Overwrite may.
        if (!overwrite && IsDirectory(full) && !IsEmptyDirectory(full)) {
            errors.Add(Message(13047, std::string("-Directory ") + full));
            return ProcedureResult::Failed;
        }
        CoreInstallationChoice choice;
        choice.installationDirectory = full;
        choice.upgradePolicy = upgradePolicy;
        ui_.SetCoreChoice(choice);
        ui_.ResetProgressOpened();
        const ProcedureResult result = nebcm::InstallCore(errors, installedManager);
        checked = ui_.ProgressOpened();
        return result;
    }

    bool RunAndWait(const std::string& program, const std::string& arguments,
                    int& exitCode) override {
        KernelObject process;
        if (!Launch(program, arguments, nullptr, process)) {
            return false;
        }
        DWORD code = 0;
        WaitForSingleObject(process.get(), INFINITE);
        if (!GetExitCodeProcess(process.get(), &code)) {
            return false;
        }
        exitCode = static_cast<int>(code);
        return true;
    }

    std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path,
                                                         ErrorList& errors) override {
        return nebcm::ReadDistributionSet(path, errors);
    }

    ProcedureResult InstallExtensions(DistributionSet& set, const Selection& selection,
                                      ErrorList& errors, bool& checked) override {
        checked = false;
        std::unique_ptr<Configuration> installed = LoadInstalledConfiguration(errors);
        if (!installed) {
            return ProcedureResult::Failed;
        }
        // Nothing to do when every chosen extension is installed in its version or a newer one;
        // otherwise the installation's own rules apply, and equal versions are written again.
        bool anythingNew = false;
        for (const Extension* offered : selection) {
            const Extension* present = installed->FindExtension(offered->Kind(), offered->Name());
            if (offered->Kind() != ExtensionKind::Core &&
                (present == nullptr || present->Version() < offered->Version())) {
                anythingNew = true;
            }
        }
        if (!anythingNew) {
            return ProcedureResult::Succeeded;
        }
        ui_.ResetProgressOpened();
        const ProcedureResult result = nebcm::InstallExtensions(ui_, set, selection, errors);
        checked = ui_.ProgressOpened();
        return result;
    }

    ProcedureResult UninstallExtensions(const std::vector<std::string>& names, ErrorList& errors,
                                        bool& checked) override {
        ui_.SetRemoval(names);
        ui_.ResetProgressOpened();
        const ProcedureResult result = nebcm::UninstallExtensions(ui_, errors);
        errors.Append(ui_.RefusedRemoval());
        checked = ui_.ProgressOpened();
        return result;
    }

    bool RunsFromInstallation() override {
        std::string installation;
        const std::string module = ModulePath();
        return ReadInstallationPath(installation) && !module.empty() &&
               LiesBelow(module, WithoutTrailingBackslash(FullPath(installation)));
    }

    bool HandOverUninstallation(const std::string& arguments) override {
        const std::string module = ModulePath();
        char temporary[MAX_PATH] = {};
        const DWORD n = GetTempPathA(MAX_PATH, temporary);
        if (module.empty() || n == 0 || n >= MAX_PATH) {
            return false;
        }
        const std::string copy = JoinPath(temporary, UninstallerCopyExe);
        ErrorList scratch;
        if (!CopyFileTo(module, copy, true, nullptr, scratch)) {
            return false;
        }
        // Started from the temporary directory, so that nothing holds the installation's.
        KernelObject process;
        return Launch(copy, arguments, temporary, process);
    }

    ProcedureResult PerformPlatformUninstall(ErrorList& errors) override {
        return nebcm::PerformPlatformUninstall(errors);
    }

private:
    static void Sink(void* context, const std::string& text) {
        static_cast<UnattendedProgram*>(context)->log_.Write(text);
    }

    LogFile log_;
    UnattendedUi ui_;
    KernelObject mutex_;
    bool owned_ = false;
};

} // namespace

int RunUnattendedApplication(const std::string& commandLine) {
    UnattendedProgram program;
    ChangeLog changes(program.File());
    TransactionObserver* previousObserver = SetTransactionObserver(&changes);
    PlatformProcedureUi* previousUi = SetPlatformProcedureUi(&program.Ui());
    const ExitCode code = RunUnattended(commandLine, program);
    SetPlatformProcedureUi(previousUi);
    SetTransactionObserver(previousObserver);
    return static_cast<int>(code);
}

} // namespace nebcm::ui
