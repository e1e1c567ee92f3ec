// Deployment without windows: "NebCM.exe -Unattended [options] [set]" installs, upgrades or
// removes what its options say, writes what happened to a log and ends with an exit code instead
// of a dialog. The decisions live here, behind UnattendedServices, so that they can be followed
// without a machine; the program supplies the real procedures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "common/journal_format.h"
#include "common/procedure_result.h"
#include "engine/journal.h"
#include "engine/platform_procedure_ui.h"
#include "engine/procedure_ui.h"
#include "model/extension.h"

namespace nebcm {
class DistributionSet;
}

namespace nebcm::ui {

inline constexpr char UnattendedOption[] = "-Unattended";
inline constexpr char LogOption[] = "-Log";

// How an unattended run ends; the process exit code.
enum class ExitCode : int {
    Success = 0,
    // Something failed after the first change; every change was undone (the log says whether
    // the undoing itself hit problems). A platform uninstallation removes what it can instead.
    Failed = 1,
    // Nothing was changed: a bad option, a set that cannot be read, an extension that is not
    // there, a removal that would leave a dependent behind, a requirement or free-space check.
    Refused = 2,
    // Every chosen extension is installed already in that version or a newer one; no platform
    // to remove.
    NothingToDo = 3,
    // Another run of the configuration manager kept running longer than -Wait allowed.
    AlreadyRunning = 4,
    // The installed platform fails its consistency check; only -RemovePlatform still runs.
    InstallationCorrupt = 5,
    // The platform uninstallation goes on in the temporary copy, which appends its own result to
    // the log (a running program cannot delete its own file).
    HandedOver = 6,
};

// What the command line asks for.
enum class UnattendedAction {
    InstallSet,       // a set path (or nothing: only the core, on a machine without it)
    RemoveExtensions, // -Remove
    RemovePlatform,   // -RemovePlatform
    PerformUninstall, // the temporary copy's own part of -RemovePlatform
};

// The upgrade policy the core installation wizard offers first.
inline constexpr int DefaultUpgradePolicy = 3;

struct UnattendedOptions {
    UnattendedAction action = UnattendedAction::InstallSet;
    std::string setPath;               // as given, quotes removed
    std::vector<std::string> selected; // -Select: empty means every extension of the set
    std::vector<std::string> removed;  // -Remove
    std::string directory;             // -Directory: empty means the wizard's default
    bool overwrite = false;            // -Overwrite: an existing directory may be emptied
    int upgradePolicy = DefaultUpgradePolicy;
    std::string logFile;      // -Log: empty means no log
    unsigned waitSeconds = 0; // -Wait
};

// True when the trimmed command line starts with the word -Unattended (exact letters, then the
// end or a blank).
bool IsUnattendedCommandLine(const std::string& trimmed);

// Reads the words behind -Unattended: options (each a word, some with one value, a value quoted
// when it holds blanks), then, as the rest of the line, the set path. One message per problem.
bool ParseUnattendedOptions(const std::string& trimmed, UnattendedOptions& options,
                            ErrorList& errors);

// The command line that carries the same options on to another copy of the program, with the
// action replaced (the temporary copy of a platform uninstallation).
std::string UnattendedCommandLine(const UnattendedOptions& options, UnattendedAction action);

// Which extensions an installation takes: the named ones (every one when none is named) with the
// core and what they need, by the rules of the selection tree. A name is "Name" or "Kind:Name"
// ("Library:xml"); one message for each that does not name exactly one extension.
bool ChooseForInstallation(const Configuration& offered, const std::vector<std::string>& names,
                           Selection& selection, ErrorList& errors);
// Which installed extensions a removal takes: exactly the named ones (never the core). A removal
// that would leave an extension behind that needs one of them is refused, one message per such
// pair, rather than widened.
bool ChooseForRemoval(const Configuration& installed, const std::vector<std::string>& names,
                      Selection& selection, ErrorList& errors);

// The log line of a change as the transaction records it; empty for a record that says nothing.
std::string ChangeText(const JournalRecord& record);

// The local time of a log line.
struct LogTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
// "YYYY-MM-DD HH:MM:SS.mmm text" and CR LF; line ends inside the text become blanks.
std::string LogLine(const LogTime& time, const std::string& text);

// What an unattended run needs from the program and the machine.
class UnattendedServices {
public:
    virtual ~UnattendedServices() = default;

    virtual std::string ProgramVersion() = 0;
    // Appends a line to the log (nothing when there is none).
    virtual void Log(const std::string& text) = 0;
    // Opens the log for appending, the path made absolute (the copies this run starts have
    // other working directories); false when it cannot be written.
    virtual bool OpenLog(std::string& path) = 0;

    // Waits up to the time for the single-instance mutex; false when another run keeps it.
    virtual bool AcquireSingleInstance(unsigned milliseconds) = 0;
    // Lets go of it, for a copy of the program that is started next and waited for.
    virtual void ReleaseSingleInstance() = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    virtual RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors) = 0;
    virtual bool IsPlatformInstalled() = 0;
    virtual bool CheckInstalledConfiguration(ErrorList& errors) = 0;
    virtual bool IsFile(const std::string& path) = 0;

    // The core installation into the directory (empty: the wizard's default) with the policy;
    // a directory that exists and holds anything only when it may be overwritten. On Succeeded,
    // installedManager is the installed NebCM.exe; `checked` as below.
    virtual ProcedureResult InstallCore(const std::string& directory, bool overwrite,
                                        int upgradePolicy, ErrorList& errors,
                                        std::string& installedManager, bool& checked) = 0;
    // Starts a program and waits for its end; false when it cannot be started.
    virtual bool RunAndWait(const std::string& program, const std::string& arguments,
                            int& exitCode) = 0;

    virtual std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path,
                                                                 ErrorList& errors) = 0;
    // The procedures; `checked` says whether they got past their checks to the first change.
    // An installation whose chosen extensions are all installed in that version or a newer one
    // changes nothing and returns Succeeded with `checked` false.
    virtual ProcedureResult InstallExtensions(DistributionSet& set, const Selection& selection,
                                              ErrorList& errors, bool& checked) = 0;
    virtual ProcedureResult UninstallExtensions(const std::vector<std::string>& names,
                                                ErrorList& errors, bool& checked) = 0;

    // True when the running program lies inside the installation directory, so that the
    // uninstallation must run from a temporary copy.
    virtual bool RunsFromInstallation() = 0;
    // Copies the program to the temporary directory and starts the copy with the arguments,
    // without waiting; false when that cannot be done. The copy gets the single-instance mutex
    // when this run has ended.
    virtual bool HandOverUninstallation(const std::string& arguments) = 0;
    virtual ProcedureResult PerformPlatformUninstall(ErrorList& errors) = 0;
};

// Runs one unattended command line (everything behind the program name) to its end and returns
// the exit code.
ExitCode RunUnattended(const std::string& commandLine, UnattendedServices& services);

// The procedures' user interface in an unattended run: no window at all. The wizards are answered
// from the options, the progress goes to the log without pauses, nothing is ever cancelled, and
// the reports at the end become log lines.
class UnattendedUi : public ProcedureUi, public PlatformProcedureUi {
public:
    using LogSink = void (*)(void* context, const std::string& text);
    UnattendedUi(LogSink sink, void* context) : sink_(sink), context_(context) {}

    // The core installation wizard's answers.
    void SetCoreChoice(const CoreInstallationChoice& choice) { core_ = choice; }
    // The uninstallation wizard's answer, by extension name.
    void SetRemoval(const std::vector<std::string>& names) { removal_ = names; }
    // Set when a procedure opened its progress: it passed its checks.
    bool ProgressOpened() const { return progressOpened_; }
    void ResetProgressOpened() { progressOpened_ = false; }
    // Messages of a removal the uninstallation wizard would not have let through.
    const ErrorList& RefusedRemoval() const { return refused_; }

    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow window) override;
    bool RunCoreInstallationWizard(bool upgradePageEnabled,
                                   CoreInstallationChoice& choice) override;
    bool RunInstallationWizard(std::unique_ptr<DistributionSet>& set,
                               Selection& selection) override;
    bool RunUninstallationWizard(const Configuration& candidates, Selection& selection) override;
    void ShowInstallationComplete(const std::vector<std::string>& installed,
                                  const std::vector<std::string>& skipped) override;
    void ShowUninstallationComplete(const std::vector<std::string>& uninstalled) override;
    void ShowMessage(const std::string& text, MessageIcon icon) override;

    void Log(const std::string& text) const { sink_(context_, text); }

private:
    LogSink sink_;
    void* context_;
    CoreInstallationChoice core_;
    std::vector<std::string> removal_;
    bool progressOpened_ = false;
    ErrorList refused_;
};

} // namespace nebcm::ui
