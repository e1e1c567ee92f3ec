// The unattended run: its command line, its choice of extensions, its log lines, and the order in
// which it checks, installs, hands over and ends.
#include "ui/unattended_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/constants.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "ui/selection_model.h"
#include "ui/startup_model.h"

namespace nebcm::ui {

namespace {

constexpr char kSelectOption[] = "-Select";
constexpr char kRemoveOption[] = "-Remove";
constexpr char kRemovePlatformOption[] = "-RemovePlatform";
constexpr char kDirectoryOption[] = "-Directory";
constexpr char kUpgradeOption[] = "-Upgrade";
constexpr char kOverwriteOption[] = "-Overwrite";
constexpr char kWaitOption[] = "-Wait";
// Longer waits are a typing error rather than a plan.
constexpr unsigned kLongestWait = 86400;

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Walks the words of a command line; a value in double quotes may hold blanks.
class Words {
public:
    Words(const std::string& text, std::size_t at) : text_(text), at_(at) {}

    bool NextIsOption() {
        SkipBlanks();
        return at_ < text_.size() && text_[at_] == '-';
    }
    std::string Word() {
        SkipBlanks();
        const std::size_t begin = at_;
        while (at_ < text_.size() && !IsBlank(text_[at_])) {
            ++at_;
        }
        return text_.substr(begin, at_ - begin);
    }
    // False when there is none, or its quotes are not closed.
    bool Value(std::string& value) {
        SkipBlanks();
        if (at_ >= text_.size()) {
            return false;
        }
        if (text_[at_] != '"') {
            value = Word();
            return true;
        }
        const std::size_t close = text_.find('"', at_ + 1);
        if (close == std::string::npos) {
            return false;
        }
        value = text_.substr(at_ + 1, close - at_ - 1);
        at_ = close + 1;
        return at_ >= text_.size() || IsBlank(text_[at_]);
    }
    std::string Rest() {
        SkipBlanks();
        std::string rest = TrimCommandLine(text_.substr(at_));
        at_ = text_.size();
        return rest;
    }

private:
    void SkipBlanks() {
        while (at_ < text_.size() && IsBlank(text_[at_])) {
            ++at_;
        }
    }
    const std::string& text_;
    std::size_t at_;
};

bool SplitNames(const std::string& list, std::vector<std::string>& names) {
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = list.find(',', begin);
        const std::string name = TrimCommandLine(
            list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
        if (name.empty()) {
            return false;
        }
        names.push_back(name);
        if (comma == std::string::npos) {
            return true;
        }
        begin = comma + 1;
    }
}

bool ParsePolicy(const std::string& text, int& policy) {
    static const char* const kWords[] = {"Alongside", "AlongsideMigrate", "Replace", "Upgrade"};
    for (int p = 0; p <= 3; ++p) {
        if (text == kWords[p] || text == std::to_string(p)) {
            policy = p;
            return true;
        }
    }
    return false;
}

bool ParseSeconds(const std::string& text, unsigned& seconds) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return false;
    }
    const unsigned long value = std::stoul(text);
    if (value > kLongestWait) {
        return false;
    }
    seconds = static_cast<unsigned>(value);
    return true;
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// The extension a name stands for, "Kind:Name" or only "Name"; null unless exactly one.
const Extension* FindByName(const Configuration& configuration, const std::string& text,
                            bool coreAllowed) {
    std::string kind;
    std::string name = text;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        kind = text.substr(0, colon);
        name = text.substr(colon + 1);
    }
    const Extension* found = nullptr;
    for (std::size_t i = 0; i < configuration.Count(); ++i) {
        const Extension& e = configuration.At(i);
        if (e.Name() != name || (!kind.empty() && kind != SectionWord(e.Kind())) ||
            (!coreAllowed && e.Kind() == ExtensionKind::Core)) {
            continue;
        }
        if (found != nullptr) {
            return nullptr;
        }
        found = &e;
    }
    return found;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

const char* ActionWord(UnattendedAction action) {
    switch (action) {
    case UnattendedAction::RemoveExtensions:
        return kRemoveOption;
    case UnattendedAction::RemovePlatform:
        return kRemovePlatformOption;
    case UnattendedAction::PerformUninstall:
        return PerformUninstallOption;
    case UnattendedAction::InstallSet:
        break;
    }
    return kSelectOption;
}

} // namespace

bool IsUnattendedCommandLine(const std::string& trimmed) {
    const std::string word = UnattendedOption;
    return trimmed.compare(0, word.size(), word) == 0 &&
           (trimmed.size() == word.size() || IsBlank(trimmed[word.size()]));
}

bool ParseUnattendedOptions(const std::string& trimmed, UnattendedOptions& options,
                            ErrorList& errors) {
    const std::size_t before = errors.Count();
    if (!IsUnattendedCommandLine(trimmed)) {
        errors.Add(Message(13047, trimmed));
        return false;
    }
    Words words(trimmed, std::string(UnattendedOption).size());
    bool removePlatform = false;
    while (words.NextIsOption()) {
        const std::string option = words.Word();
        std::string value;
        bool valid = true;
        if (option == kRemovePlatformOption) {
            removePlatform = true;
        } else if (option == kOverwriteOption) {
            options.overwrite = true;
        } else if (option == PerformUninstallOption) {
            options.action = UnattendedAction::PerformUninstall;
        } else if (option == kSelectOption) {
            valid = words.Value(value) && SplitNames(value, options.selected);
        } else if (option == kRemoveOption) {
            valid = words.Value(value) && SplitNames(value, options.removed);
        } else if (option == kDirectoryOption) {
            valid = words.Value(value) && !TrimCommandLine(value).empty();
            options.directory = TrimCommandLine(value);
        } else if (option == kUpgradeOption) {
            valid = words.Value(value) && ParsePolicy(value, options.upgradePolicy);
        } else if (option == LogOption) {
            valid = words.Value(value) && !TrimCommandLine(value).empty();
            options.logFile = TrimCommandLine(value);
        } else if (option == kWaitOption) {
            valid = words.Value(value) && ParseSeconds(value, options.waitSeconds);
        } else {
            valid = false;
        }
        if (!valid) {
            errors.Add(Message(13047, value.empty() ? option : option + " " + value));
        }
    }
    options.setPath = Unquoted(words.Rest());

    // One action per run: a set, a removal of extensions, or the removal of the platform.
    const bool removing = !options.removed.empty();
    if (options.action != UnattendedAction::PerformUninstall) {
        if (removePlatform) {
            options.action = UnattendedAction::RemovePlatform;
        } else if (removing) {
            options.action = UnattendedAction::RemoveExtensions;
        }
    }
    if (removePlatform && removing) {
        errors.Add(Message(13047, kRemoveOption));
    }
    if ((removePlatform || removing) && !options.setPath.empty()) {
        errors.Add(Message(13047, options.setPath));
    }
    if (!options.selected.empty() && options.setPath.empty()) {
        errors.Add(Message(13047, kSelectOption));
    }
    return errors.Count() == before;
}

std::string UnattendedCommandLine(const UnattendedOptions& options, UnattendedAction action) {
    std::string line = UnattendedOption;
    if (!options.logFile.empty()) {
        line += std::string(" ") + LogOption + " " + Quoted(options.logFile);
    }
    if (options.waitSeconds != 0) {
        line += std::string(" ") + kWaitOption + " " + std::to_string(options.waitSeconds);
    }
    if (!options.directory.empty()) {
        line += std::string(" ") + kDirectoryOption + " " + Quoted(options.directory);
    }
    if (options.overwrite) {
        line += std::string(" ") + kOverwriteOption;
    }
    if (options.upgradePolicy != DefaultUpgradePolicy) {
        line += std::string(" ") + kUpgradeOption + " " + std::to_string(options.upgradePolicy);
    }
    const auto names = [](const std::vector<std::string>& list) {
        std::string joined;
        for (const std::string& name : list) {
            joined += (joined.empty() ? "" : ",") + name;
        }
        return Quoted(joined);
    };
    switch (action) {
    case UnattendedAction::InstallSet:
        if (!options.selected.empty()) {
            line += std::string(" ") + kSelectOption + " " + names(options.selected);
        }
        if (!options.setPath.empty()) {
            line += " " + Quoted(options.setPath);
        }
        break;
    case UnattendedAction::RemoveExtensions:
        line += std::string(" ") + kRemoveOption + " " + names(options.removed);
        break;
    case UnattendedAction::RemovePlatform:
    case UnattendedAction::PerformUninstall:
        line += std::string(" ") + ActionWord(action);
        break;
    }
    return line;
}

bool ChooseForInstallation(const Configuration& offered, const std::vector<std::string>& names,
                           Selection& selection, ErrorList& errors) {
    SelectionModel model(offered, SelectionPurpose::Install);
    if (names.empty()) {
        model.SelectAll();
    }
    bool found = true;
    for (const std::string& name : names) {
        const Extension* e = FindByName(offered, name, true);
        if (e == nullptr) {
            errors.Add(Message(13048, name));
            found = false;
        } else {
            model.Check({e});
        }
    }
    selection = model.Selected();
    return found;
}

bool ChooseForRemoval(const Configuration& installed, const std::vector<std::string>& names,
                      Selection& selection, ErrorList& errors) {
    const std::size_t before = errors.Count();
    Selection chosen;
    for (const std::string& name : names) {
        const Extension* e = FindByName(installed, name, false);
        if (e == nullptr) {
            errors.Add(Message(13048, name));
        } else {
            chosen.insert(e);
        }
    }
    // What the uninstallation tree would add to each choice is what must not be left behind.
    for (const Extension* e : chosen) {
        SelectionModel model(installed, SelectionPurpose::Uninstall);
        model.Check({e});
        for (const Extension* dependent : model.Selected()) {
            if (chosen.count(dependent) == 0) {
                errors.Add(Message(13049, e->Name(), dependent->Name()));
            }
        }
    }
    if (errors.Count() != before || chosen.empty()) {
        return false;
    }
    selection = chosen;
    return true;
}

std::string ChangeText(const JournalRecord& record) {
    if (record.texts.empty()) {
        return std::string();
    }
    const std::string& path = record.texts[0];
    const std::string named = record.texts.size() > 1 ? path + "\\" + record.texts[1] : path;
    const auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    switch (static_cast<UndoKind>(record.kind)) {
    case UndoKind::DirectoryMade:
        return Message(13036, path);
    case UndoKind::DirectoryRemoved:
        return Message(13037, path);
    case UndoKind::FileMade:
        return Message(endsWith(path, ".lnk") ? 13045 : 13038, path);
    case UndoKind::FileDeleted:
    case UndoKind::LinkRemoved:
        return Message(13039, path);
    case UndoKind::FileReplaced:
        return Message(13040, path);
    case UndoKind::AttributesSet:
    case UndoKind::TimesSet:
        return Message(13041, path);
    case UndoKind::KeyMade:
        return Message(13042, path);
    case UndoKind::KeyDeleted:
    case UndoKind::DefaultValueDeleted:
        return Message(13043, path);
    case UndoKind::ValueDeleted:
        return Message(13043, named);
    case UndoKind::DefaultValueSet:
        return Message(13044, path);
    case UndoKind::ValueSet:
        return Message(13044, named);
    case UndoKind::Nothing:
        break;
    }
    return std::string();
}

std::string LogLine(const LogTime& t, const std::string& text) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year % 10000,
                  t.month % 100, t.day % 100, t.hour % 100, t.minute % 100, t.second % 100,
                  t.millisecond % 1000);
    std::string line = stamp;
    for (char c : text) {
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return line + "\r\n";
}

// ---------------------------------------------------------------------------------------------

namespace {

class Run {
public:
    Run(const std::string& commandLine, UnattendedServices& services)
        : commandLine_(commandLine), s_(services) {}

    ExitCode Go() {
        const std::string trimmed = TrimCommandLine(commandLine_);
        ErrorList problems;
        const bool parsed = ParseUnattendedOptions(trimmed, options_, problems);
        const bool logged = options_.logFile.empty() || s_.OpenLog(options_.logFile);
        s_.Log(Message(13030, s_.ProgramVersion()));
        s_.Log(Message(13031, trimmed));
        s_.Log(Message(13032, UnattendedCommandLine(options_, options_.action)));
        if (!logged) {
            problems.Add(Message(13047, std::string(LogOption) + " " + options_.logFile));
        }
        if (!parsed || !logged) {
            return End(ExitCode::Refused, problems);
        }

        // The temporary copy starts while the requesting run is ending.
        const unsigned least = options_.action == UnattendedAction::PerformUninstall ? 30 : 1;
        if (!s_.AcquireSingleInstance(std::max(least, options_.waitSeconds) * 1000u)) {
            return End(ExitCode::AlreadyRunning, problems);
        }
        Recover();

        if (options_.action == UnattendedAction::PerformUninstall) {
            // The requesting run has let go of the mutex by ending; give it the time to let go
            // of its program file too.
            s_.Pause(500);
            return UninstallPlatform();
        }
        if (!s_.IsPlatformInstalled()) {
            return FirstRun();
        }
        if (options_.action == UnattendedAction::RemovePlatform) {
            // A damaged installation must still be removable.
            return RemovePlatform();
        }
        ErrorList inconsistencies;
        if (!s_.CheckInstalledConfiguration(inconsistencies)) {
            return End(ExitCode::InstallationCorrupt, inconsistencies);
        }
        if (options_.action == UnattendedAction::RemoveExtensions) {
            return RemoveExtensions();
        }
        if (options_.setPath.empty()) {
            return End(ExitCode::NothingToDo, problems);
        }
        return InstallSet();
    }

private:
    ExitCode End(ExitCode code, const ErrorList& errors) {
        for (const std::string& message : errors.Messages()) {
            s_.Log(Message(13034, message));
        }
        s_.Log(Message(13035, static_cast<int>(code)));
        return code;
    }

    // After a procedure: refused when it stopped at its checks, failed when it had begun.
    ExitCode Outcome(ProcedureResult result, bool checked, const ErrorList& errors) {
        if (result == ProcedureResult::Succeeded) {
            return End(ExitCode::Success, errors);
        }
        return End(checked && result == ProcedureResult::Failed ? ExitCode::Failed
                                                                : ExitCode::Refused,
                   errors);
    }

    void Recover() {
        ErrorList errors;
        switch (s_.RecoverInterruptedProcedure(errors)) {
        case RecoveryOutcome::RolledBack:
            s_.Log(Message(13010));
            break;
        case RecoveryOutcome::RolledBackWithErrors:
            s_.Log(Message(13011));
            break;
        case RecoveryOutcome::LeftAlone:
        case RecoveryOutcome::NothingToRecover:
        case RecoveryOutcome::CommitCompleted:
            break;
        }
        for (const std::string& message : errors.Messages()) {
            s_.Log(Message(13034, message));
        }
    }

    // Reads the set and picks its extensions; null (messages in `errors`) when the run must stop.
    std::unique_ptr<DistributionSet> ReadSet(Selection& selection, ErrorList& errors) {
        if (!s_.IsFile(options_.setPath)) {
            errors.Add(Message(12501, options_.setPath));
            return nullptr;
        }
        std::unique_ptr<DistributionSet> set = s_.ReadDistributionSet(options_.setPath, errors);
        if (set && !ChooseForInstallation(set->MergedConfiguration(), options_.selected, selection,
                                          errors)) {
            set.reset();
        }
        return set;
    }

    ExitCode FirstRun() {
        ErrorList errors;
        if (options_.action == UnattendedAction::RemovePlatform) {
            return End(ExitCode::NothingToDo, errors);
        }
        if (options_.action == UnattendedAction::RemoveExtensions) {
            for (const std::string& name : options_.removed) {
                errors.Add(Message(13048, name));
            }
            return End(ExitCode::Refused, errors);
        }
        // A set that would be refused later is refused before the core goes in.
        if (!options_.setPath.empty()) {
            Selection selection;
            if (!ReadSet(selection, errors)) {
                return End(ExitCode::Refused, errors);
            }
        }
        std::string manager;
        bool checked = false;
        const ProcedureResult result =
            s_.InstallCore(options_.directory, options_.overwrite, options_.upgradePolicy, errors,
                           manager, checked);
        if (result != ProcedureResult::Succeeded || options_.setPath.empty()) {
            return Outcome(result, checked, errors);
        }
        // The installed copy goes on with the same command line; it needs the mutex.
        s_.ReleaseSingleInstance();
        int code = 0;
        if (!s_.RunAndWait(manager, commandLine_, code)) {
            errors.Add(Message(11300, manager));
            return End(ExitCode::Failed, errors);
        }
        // The core went in, so this run did something even when the set had nothing new.
        if (code == static_cast<int>(ExitCode::NothingToDo)) {
            code = static_cast<int>(ExitCode::Success);
        }
        s_.Log(Message(13035, code));
        return static_cast<ExitCode>(code);
    }

    ExitCode InstallSet() {
        ErrorList errors;
        Selection selection;
        std::unique_ptr<DistributionSet> set = ReadSet(selection, errors);
        if (!set) {
            return End(ExitCode::Refused, errors);
        }
        bool checked = false;
        const ProcedureResult result = s_.InstallExtensions(*set, selection, errors, checked);
        if (result == ProcedureResult::Succeeded && !checked) {
            return End(ExitCode::NothingToDo, errors);
        }
        return Outcome(result, checked, errors);
    }

    ExitCode RemoveExtensions() {
        ErrorList errors;
        bool checked = false;
        const ProcedureResult result = s_.UninstallExtensions(options_.removed, errors, checked);
        return Outcome(result, checked, errors);
    }

    ExitCode RemovePlatform() {
        if (s_.RunsFromInstallation() && s_.HandOverUninstallation(UnattendedCommandLine(
                                             options_, UnattendedAction::PerformUninstall))) {
            return End(ExitCode::HandedOver, ErrorList());
        }
        return UninstallPlatform();
    }

    ExitCode UninstallPlatform() {
        ErrorList errors;
        if (!s_.IsPlatformInstalled()) {
            return End(ExitCode::NothingToDo, errors);
        }
        const ProcedureResult result = s_.PerformPlatformUninstall(errors);
        return End(result == ProcedureResult::Succeeded ? ExitCode::Success : ExitCode::Failed,
                   errors);
    }

    const std::string commandLine_;
    UnattendedServices& s_;
    UnattendedOptions options_;
};

} // namespace

ExitCode RunUnattended(const std::string& commandLine, UnattendedServices& services) {
    return Run(commandLine, services).Go();
}

// ---------------------------------------------------------------------------------------------

namespace {

// Progress without a window: each row's start and end go to the log, nothing waits, nothing is
// ever cancelled.
class LoggedProgress : public ProgressReporter {
public:
    explicit LoggedProgress(const UnattendedUi& ui) : ui_(ui) {}

    void BeginActivity(int nameMessage) override {
        activity_ = Message(nameMessage);
        ui_.Log(Message(13033, activity_, Message(3504)));
        open_ = true;
    }
    void SetActivityPercent(int) override {}
    void SetActivityStatus(int statusMessage) override {
        SetActivityStatusText(Message(statusMessage));
    }
    void SetActivityStatusText(const std::string& text) override {
        if (open_) {
            ui_.Log(Message(13033, activity_, text));
            open_ = false;
        }
    }
    bool IsCancelled() override { return false; }
    void Pause(unsigned) override {}

private:
    const UnattendedUi& ui_;
    std::string activity_;
    bool open_ = false;
};

} // namespace

std::unique_ptr<ProgressReporter> UnattendedUi::OpenProgress(ProgressWindow) {
    progressOpened_ = true;
    return std::make_unique<LoggedProgress>(*this);
}

bool UnattendedUi::RunCoreInstallationWizard(bool, CoreInstallationChoice& choice) {
    choice = core_;
    return !choice.installationDirectory.empty();
}

bool UnattendedUi::RunInstallationWizard(std::unique_ptr<DistributionSet>& set,
                                         Selection& selection) {
    if (!set) {
        return false;
    }
    ErrorList errors;
    if (!ChooseForInstallation(set->MergedConfiguration(), {}, selection, errors)) {
        return false;
    }
    return true;
}

bool UnattendedUi::RunUninstallationWizard(const Configuration& candidates, Selection& selection) {
    return ChooseForRemoval(candidates, removal_, selection, refused_);
}

void UnattendedUi::ShowInstallationComplete(const std::vector<std::string>& installed,
                                            const std::vector<std::string>& skipped) {
    for (const std::string& line : installed) {
        Log(line);
    }
    for (const std::string& line : skipped) {
        Log(line);
    }
}

void UnattendedUi::ShowUninstallationComplete(const std::vector<std::string>& uninstalled) {
    for (const std::string& line : uninstalled) {
        Log(line);
    }
}

void UnattendedUi::ShowMessage(const std::string& text, MessageIcon) {
    Log(Message(13034, text));
}

} // namespace nebcm::ui
