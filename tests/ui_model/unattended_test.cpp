// The unattended run: its command line, which extensions it takes, its log lines, and which exit
// code each way through it ends with.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "ui/unattended_model.h"

namespace nebcm::ui {
namespace {

FileList OneFile(const std::string& path) {
    FileList files;
    files.push_back(std::make_unique<ExtensionFile>(path, ""));
    return files;
}

DependencyList Needs(std::initializer_list<std::pair<ExtensionKind, const char*>> deps) {
    DependencyList list;
    for (const auto& d : deps) {
        list.push_back(std::make_unique<Dependency>(d.first, d.second));
    }
    return list;
}

// A core; libraries xml and util; a component parser needing both; an application viewer
// needing parser; a library and a component that share the name "shared".
std::unique_ptr<Configuration> Sample() {
    ExtensionList list;
    list.push_back(std::make_unique<Library>("xml", Version(1, 0), "XML", "c", "org/xml",
                                             OneFile("xml.jar"), DependencyList(), ExternalList()));
    list.push_back(std::make_unique<Library>("util", Version(1, 0), "Util", "c", "org",
                                             OneFile("util.jar"), DependencyList(),
                                             ExternalList()));
    list.push_back(std::make_unique<Component>(
        "parser", Version(1, 0), "Parser", "c", "org/p", OneFile("p.jar"),
        Needs({{ExtensionKind::Library, "xml"}, {ExtensionKind::Library, "util"}}), ExternalList(),
        "org.P"));
    list.push_back(std::make_unique<Application>(
        "viewer", Version(1, 0), "Viewer", "c", "apps", OneFile("v.jar"),
        Needs({{ExtensionKind::Component, "parser"}}), ExternalList()));
    list.push_back(std::make_unique<Library>("shared", Version(1, 0), "S", "c", "s",
                                             OneFile("s.jar"), DependencyList(), ExternalList()));
    list.push_back(std::make_unique<Component>("shared", Version(1, 0), "S2", "c", "s2",
                                               OneFile("s2.jar"), DependencyList(), ExternalList(),
                                               "s2.S"));
    list.push_back(std::make_unique<Core>(Version(2, 0), "NEB Core", "c", OneFile("njava.exe"), "",
                                          "njava.exe"));
    return std::make_unique<Configuration>(std::move(list));
}

std::set<std::string> Names(const Selection& selection) {
    std::set<std::string> names;
    for (const Extension* e : selection) {
        names.insert(std::string(SectionWord(e->Kind())) + ":" + e->Name());
    }
    return names;
}

UnattendedOptions Parsed(const std::string& line, ErrorList* errors = nullptr) {
    UnattendedOptions options;
    ErrorList local;
    EXPECT_TRUE(ParseUnattendedOptions(line, options, errors ? *errors : local))
        << line << ": " << (local.Empty() ? "" : local.At(0));
    return options;
}

std::vector<std::string> Refusals(const std::string& line) {
    UnattendedOptions options;
    ErrorList errors;
    EXPECT_FALSE(ParseUnattendedOptions(line, options, errors)) << line;
    return errors.Messages();
}

TEST(UnattendedCommandLine, StartsOnlyWithTheExactWordFollowedByABlankOrTheEnd) {
    EXPECT_TRUE(IsUnattendedCommandLine("-Unattended"));
    EXPECT_TRUE(IsUnattendedCommandLine("-Unattended C:\\a.nds"));
    EXPECT_TRUE(IsUnattendedCommandLine("-Unattended\t-Log x"));
    EXPECT_FALSE(IsUnattendedCommandLine("-unattended C:\\a.nds"));
    EXPECT_FALSE(IsUnattendedCommandLine("-UnattendedX"));
    EXPECT_FALSE(IsUnattendedCommandLine("C:\\-Unattended"));
    EXPECT_FALSE(IsUnattendedCommandLine(""));
}

TEST(UnattendedCommandLine, ReadsOptionsThenTakesTheRestAsTheSetPath) {
    UnattendedOptions o = Parsed(
        "-Unattended -Directory \"C:\\Apps\\NEB 20\" -Upgrade Replace -Log C:\\neb.log -Wait 30 "
        "-Select parser,Library:xml C:\\My Medium\\sample set.nds");
    EXPECT_EQ(o.action, UnattendedAction::InstallSet);
    EXPECT_EQ(o.directory, "C:\\Apps\\NEB 20");
    EXPECT_EQ(o.upgradePolicy, 2);
    EXPECT_EQ(o.logFile, "C:\\neb.log");
    EXPECT_EQ(o.waitSeconds, 30u);
    EXPECT_EQ(o.selected, (std::vector<std::string>{"parser", "Library:xml"}));
    // The launcher passes the set unquoted, blanks and all.
    EXPECT_EQ(o.setPath, "C:\\My Medium\\sample set.nds");

    EXPECT_EQ(Parsed("-Unattended \"C:\\a b\\s.nds\"  ").setPath, "C:\\a b\\s.nds");
    EXPECT_EQ(Parsed("-Unattended -Upgrade 0 x.nds").upgradePolicy, 0);
    EXPECT_EQ(Parsed("-Unattended x.nds").upgradePolicy, DefaultUpgradePolicy);
    EXPECT_EQ(Parsed("-Unattended -Remove \"xml, util\"").removed,
              (std::vector<std::string>{"xml", "util"}));
    EXPECT_EQ(Parsed("-Unattended -Remove xml").action, UnattendedAction::RemoveExtensions);
    EXPECT_EQ(Parsed("-Unattended -RemovePlatform").action, UnattendedAction::RemovePlatform);
    EXPECT_EQ(Parsed("-Unattended -Log x -PerformUninstall").action,
              UnattendedAction::PerformUninstall);
    EXPECT_TRUE(Parsed("-Unattended").setPath.empty());
}

TEST(UnattendedCommandLine, RefusesUnknownMisplacedAndMalformedOptions) {
    EXPECT_EQ(Refusals("-Unattended -Silent x.nds"),
              (std::vector<std::string>{Message(13047, std::string("-Silent"))}));
    EXPECT_EQ(Refusals("-Unattended -select a x.nds").size(), 1u); // options are case-sensitive
    EXPECT_EQ(Refusals("-Unattended -Directory").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Directory \"C:\\open x.nds").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Upgrade Sideways x.nds").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Upgrade 4 x.nds").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Wait soon x.nds").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Wait 99999 x.nds").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Select a,,b x.nds").size(), 1u);
    EXPECT_EQ(Refusals("-Unattended -Select a").size(), 1u);       // nothing to select from
    EXPECT_EQ(Refusals("-Unattended -Remove a x.nds").size(), 1u); // one action per run
    EXPECT_EQ(Refusals("-Unattended -RemovePlatform -Remove a").size(), 1u);
    // Every problem is reported, not only the first.
    EXPECT_EQ(Refusals("-Unattended -Bad -Wait x -Upgrade y s.nds").size(), 3u);
}

TEST(UnattendedCommandLine, HandsTheSameLogAndWaitToTheTemporaryCopy) {
    UnattendedOptions o =
        Parsed("-Unattended -Log \"C:\\my logs\\neb.log\" -Wait 5 -RemovePlatform");
    const std::string handed = UnattendedCommandLine(o, UnattendedAction::PerformUninstall);
    UnattendedOptions copy = Parsed(handed);
    EXPECT_EQ(copy.action, UnattendedAction::PerformUninstall);
    EXPECT_EQ(copy.logFile, "C:\\my logs\\neb.log");
    EXPECT_EQ(copy.waitSeconds, 5u);

    UnattendedOptions set =
        Parsed("-Unattended -Select viewer -Overwrite -Directory \"D:\\N B\" C:\\a b.nds");
    UnattendedOptions again = Parsed(UnattendedCommandLine(set, UnattendedAction::InstallSet));
    EXPECT_TRUE(again.overwrite);
    EXPECT_EQ(again.selected, set.selected);
    EXPECT_EQ(again.directory, set.directory);
    EXPECT_EQ(again.setPath, set.setPath);
}

TEST(UnattendedChoice, AnInstallationTakesWhatTheNamedExtensionsNeedAndTheCore) {
    auto offered = Sample();
    Selection selection;
    ErrorList errors;
    ASSERT_TRUE(ChooseForInstallation(*offered, {"viewer"}, selection, errors));
    EXPECT_EQ(Names(selection),
              (std::set<std::string>{"Application:viewer", "Component:parser", "Library:xml",
                                     "Library:util", "Core:Core"}));
    ASSERT_TRUE(ChooseForInstallation(*offered, {}, selection, errors));
    EXPECT_EQ(selection.size(), offered->Count());
    ASSERT_TRUE(ChooseForInstallation(*offered, {"Library:shared"}, selection, errors));
    EXPECT_EQ(Names(selection), (std::set<std::string>{"Library:shared", "Core:Core"}));
    EXPECT_TRUE(errors.Empty());

    // Unknown, and ambiguous without its kind: refused, each named.
    EXPECT_FALSE(ChooseForInstallation(*offered, {"nothing", "shared", "Library:viewer"}, selection,
                                       errors));
    EXPECT_EQ(errors.Messages(),
              (std::vector<std::string>{Message(13048, std::string("nothing")),
                                        Message(13048, std::string("shared")),
                                        Message(13048, std::string("Library:viewer"))}));
}

TEST(UnattendedChoice, ARemovalThatWouldLeaveADependentBehindIsRefusedNotWidened) {
    auto installed = Sample();
    Selection selection;
    ErrorList errors;
    EXPECT_FALSE(ChooseForRemoval(*installed, {"xml"}, selection, errors));
    EXPECT_TRUE(selection.empty());
    EXPECT_EQ(errors.Messages(), (std::vector<std::string>{
                                     Message(13049, std::string("xml"), std::string("parser")),
                                     Message(13049, std::string("xml"), std::string("viewer"))}));

    errors = ErrorList();
    ASSERT_TRUE(ChooseForRemoval(*installed, {"viewer", "parser", "xml"}, selection, errors));
    EXPECT_EQ(Names(selection),
              (std::set<std::string>{"Application:viewer", "Component:parser", "Library:xml"}));
    EXPECT_TRUE(errors.Empty());

    // The core is never removed this way, whatever it is called.
    EXPECT_FALSE(ChooseForRemoval(*installed, {"Core:Core"}, selection, errors));
    EXPECT_FALSE(ChooseForRemoval(*installed, {}, selection, errors));
}

TEST(UnattendedLog, NamesEachKindOfChangeAndEndsLinesWithCrLf) {
    JournalRecord r;
    r.kind = static_cast<std::uint8_t>(UndoKind::FileMade);
    r.texts = {"C:\\N\\lib\\xml.jar"};
    EXPECT_EQ(ChangeText(r), Message(13038, std::string("C:\\N\\lib\\xml.jar")));
    r.texts = {"C:\\Menu\\NEB 2.0\\Viewer.LNK"};
    EXPECT_EQ(ChangeText(r), Message(13045, r.texts[0]));
    r.kind = static_cast<std::uint8_t>(UndoKind::ValueSet);
    r.texts = {"HKEY_LOCAL_MACHINE\\Software\\Tessaly\\NEB\\2.0", "InstallationPath"};
    EXPECT_EQ(ChangeText(r), Message(13044, r.texts[0] + "\\InstallationPath"));
    r.kind = static_cast<std::uint8_t>(UndoKind::KeyDeleted);
    r.texts = {"HKEY_CLASSES_ROOT\\.nds"};
    EXPECT_EQ(ChangeText(r), Message(13043, r.texts[0]));
    r.kind = static_cast<std::uint8_t>(UndoKind::Nothing);
    EXPECT_EQ(ChangeText(r), "");

    LogTime t{2026, 12, 9, 7, 5, 3, 42};
    EXPECT_EQ(LogLine(t, "two\r\nlines"), "2026-12-09 07:05:03.042 two  lines\r\n");
}

// ---------------------------------------------------------------------------------------------

// Records what the run does and answers from its fields.
class FakeMachine : public UnattendedServices {
public:
    bool mutexFree = true;
    bool installed = true;
    bool consistent = true;
    bool setIsFile = true;
    bool setReads = true;
    bool insideInstallation = true;
    bool handOverWorks = true;
    int childCode = 0;
    ProcedureResult result = ProcedureResult::Succeeded;
    bool checked = true;
    std::vector<std::string> calls;
    std::vector<std::string> log;
    std::string logPath;

    std::string ProgramVersion() override { return "2.00"; }
    void Log(const std::string& text) override { log.push_back(text); }
    bool OpenLog(std::string& path) override {
        logPath = path = "C:\\abs\\" + path;
        return true;
    }
    bool AcquireSingleInstance(unsigned ms) override {
        calls.push_back("acquire " + std::to_string(ms));
        return mutexFree;
    }
    void ReleaseSingleInstance() override { calls.push_back("release"); }
    void Pause(unsigned ms) override { calls.push_back("pause " + std::to_string(ms)); }
    RecoveryOutcome RecoverInterruptedProcedure(ErrorList&) override {
        return RecoveryOutcome::NothingToRecover;
    }
    bool IsPlatformInstalled() override { return installed; }
    bool CheckInstalledConfiguration(ErrorList& errors) override {
        calls.push_back("check");
        if (!consistent) {
            errors.Add("broken");
        }
        return consistent;
    }
    bool IsFile(const std::string&) override { return setIsFile; }
    ProcedureResult InstallCore(const std::string& directory, bool overwrite, int policy,
                                ErrorList& errors, std::string& manager, bool& c) override {
        calls.push_back("core [" + directory + "] " + std::to_string(policy) +
                        (overwrite ? " overwrite" : ""));
        manager = "C:\\NEB\\NebCM.exe";
        c = checked;
        return Fail(errors);
    }
    bool RunAndWait(const std::string& program, const std::string& arguments, int& code) override {
        calls.push_back("run " + program + " [" + arguments + "]");
        code = childCode;
        return true;
    }
    std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path,
                                                         ErrorList& errors) override {
        calls.push_back("read " + path);
        if (!setReads) {
            errors.Add("bad set");
            return nullptr;
        }
        return std::make_unique<DistributionSet>(Sample(),
                                                 std::vector<std::unique_ptr<ArchiveEntry>>());
    }
    ProcedureResult InstallExtensions(DistributionSet&, const Selection& selection,
                                      ErrorList& errors, bool& c) override {
        calls.push_back("install " + std::to_string(selection.size()));
        c = checked;
        return Fail(errors);
    }
    ProcedureResult UninstallExtensions(const std::vector<std::string>& names, ErrorList& errors,
                                        bool& c) override {
        calls.push_back("uninstall " + names.at(0));
        c = checked;
        return Fail(errors);
    }
    bool RunsFromInstallation() override { return insideInstallation; }
    bool HandOverUninstallation(const std::string& arguments) override {
        calls.push_back("hand over [" + arguments + "]");
        return handOverWorks;
    }
    ProcedureResult PerformPlatformUninstall(ErrorList& errors) override {
        calls.push_back("uninstall platform");
        return Fail(errors);
    }

    bool Logged(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }

private:
    ProcedureResult Fail(ErrorList& errors) {
        if (result == ProcedureResult::Failed) {
            errors.Add("it failed");
        }
        return result;
    }
};

using Calls = std::vector<std::string>;

TEST(UnattendedRun, ABadOptionIsRefusedBeforeAnythingIsTouchedAndLogged) {
    FakeMachine m;
    EXPECT_EQ(RunUnattended(" -Unattended -Log run.log -Quiet x.nds", m), ExitCode::Refused);
    EXPECT_TRUE(m.calls.empty());
    EXPECT_EQ(m.logPath, "C:\\abs\\run.log");
    ASSERT_GE(m.log.size(), 5u);
    EXPECT_EQ(m.log[0], Message(13030, std::string("2.00")));
    EXPECT_EQ(m.log[1], Message(13031, std::string("-Unattended -Log run.log -Quiet x.nds")));
    EXPECT_TRUE(m.Logged(Message(13034, Message(13047, std::string("-Quiet")))));
    EXPECT_EQ(m.log.back(), Message(13035, 2));
}

TEST(UnattendedRun, AnotherRunningInstanceIsWaitedForAsLongAsAskedThenGivenUp) {
    FakeMachine m;
    m.mutexFree = false;
    EXPECT_EQ(RunUnattended("-Unattended -Wait 45 x.nds", m), ExitCode::AlreadyRunning);
    EXPECT_EQ(m.calls, (Calls{"acquire 45000"}));
    FakeMachine quick;
    quick.mutexFree = false;
    EXPECT_EQ(RunUnattended("-Unattended x.nds", quick), ExitCode::AlreadyRunning);
    EXPECT_EQ(quick.calls, (Calls{"acquire 1000"}));
}

TEST(UnattendedRun, AFirstRunChecksTheSetInstallsTheCoreAndWaitsForTheInstalledCopy) {
    FakeMachine m;
    m.installed = false;
    m.childCode = 3; // the installed copy found nothing new: the core itself was new
    const std::string line = "-Unattended -Directory \"C:\\Apps\\NEB 20\" C:\\m\\s.nds ";
    EXPECT_EQ(RunUnattended(line, m), ExitCode::Success);
    EXPECT_EQ(m.calls, (Calls{"acquire 1000", "read C:\\m\\s.nds", "core [C:\\Apps\\NEB 20] 3",
                              "release", "run C:\\NEB\\NebCM.exe [" + line + "]"}));

    for (int code : {0, 1, 2, 5}) {
        FakeMachine again;
        again.installed = false;
        again.childCode = code;
        EXPECT_EQ(static_cast<int>(RunUnattended(line, again)), code);
    }
}

TEST(UnattendedRun, AFirstRunWithABadSetOrAFailedCoreEndsWithoutTheRestart) {
    FakeMachine badSet;
    badSet.installed = false;
    badSet.setReads = false;
    EXPECT_EQ(RunUnattended("-Unattended s.nds", badSet), ExitCode::Refused);
    EXPECT_EQ(badSet.calls, (Calls{"acquire 1000", "read s.nds"}));

    FakeMachine failed;
    failed.installed = false;
    failed.result = ProcedureResult::Failed;
    EXPECT_EQ(RunUnattended("-Unattended s.nds", failed), ExitCode::Failed);
    EXPECT_TRUE(failed.Logged(Message(13034, std::string("it failed"))));
    FakeMachine refusedDirectory = failed;
    refusedDirectory.calls.clear();
    refusedDirectory.checked = false;
    EXPECT_EQ(RunUnattended("-Unattended -Directory C:\\ s.nds", refusedDirectory),
              ExitCode::Refused);
    EXPECT_EQ(refusedDirectory.calls.back(), "core [C:\\] 3");

    // Only the core: nothing to continue with.
    FakeMachine coreOnly;
    coreOnly.installed = false;
    EXPECT_EQ(RunUnattended("-Unattended -Upgrade Alongside -Overwrite", coreOnly),
              ExitCode::Success);
    EXPECT_EQ(coreOnly.calls, (Calls{"acquire 1000", "core [] 0 overwrite"}));

    FakeMachine nothing;
    nothing.installed = false;
    EXPECT_EQ(RunUnattended("-Unattended -RemovePlatform", nothing), ExitCode::NothingToDo);
    EXPECT_EQ(RunUnattended("-Unattended -Remove xml", nothing), ExitCode::Refused);
}

TEST(UnattendedRun, AnInstallationEndsBySuccessFailureRefusalOrNothingToDo) {
    struct Case {
        ProcedureResult result;
        bool checked;
        ExitCode code;
    };
    for (const Case& c : {Case{ProcedureResult::Succeeded, true, ExitCode::Success},
                          Case{ProcedureResult::Succeeded, false, ExitCode::NothingToDo},
                          Case{ProcedureResult::Failed, true, ExitCode::Failed},
                          Case{ProcedureResult::Failed, false, ExitCode::Refused}}) {
        FakeMachine m;
        m.result = c.result;
        m.checked = c.checked;
        EXPECT_EQ(RunUnattended("-Unattended -Select parser s.nds", m), c.code);
        EXPECT_EQ(m.calls, (Calls{"acquire 1000", "check", "read s.nds", "install 4"}));
        EXPECT_EQ(m.log.back(), Message(13035, static_cast<int>(c.code)));
    }
    FakeMachine missing;
    missing.setIsFile = false;
    EXPECT_EQ(RunUnattended("-Unattended s.nds", missing), ExitCode::Refused);
    EXPECT_TRUE(missing.Logged(Message(13034, Message(12501, std::string("s.nds")))));
    FakeMachine unknown;
    EXPECT_EQ(RunUnattended("-Unattended -Select nobody s.nds", unknown), ExitCode::Refused);
    EXPECT_EQ(unknown.calls.back(), "read s.nds");
    FakeMachine noSet;
    EXPECT_EQ(RunUnattended("-Unattended", noSet), ExitCode::NothingToDo);
}

TEST(UnattendedRun, ACorruptInstallationStopsEverythingButThePlatformRemoval) {
    FakeMachine m;
    m.consistent = false;
    EXPECT_EQ(RunUnattended("-Unattended s.nds", m), ExitCode::InstallationCorrupt);
    EXPECT_TRUE(m.Logged(Message(13034, std::string("broken"))));
    EXPECT_EQ(RunUnattended("-Unattended -Remove xml", m), ExitCode::InstallationCorrupt);

    FakeMachine removal;
    removal.consistent = false;
    removal.insideInstallation = false;
    EXPECT_EQ(RunUnattended("-Unattended -RemovePlatform", removal), ExitCode::Success);
    EXPECT_EQ(removal.calls, (Calls{"acquire 1000", "uninstall platform"}));
}

TEST(UnattendedRun, ThePlatformRemovalHandsOverFromTheInstalledCopyOnly) {
    FakeMachine m;
    EXPECT_EQ(RunUnattended("-Unattended -Log u.log -RemovePlatform", m), ExitCode::HandedOver);
    // The copy gets the mutex when this run ends, not before.
    EXPECT_EQ(m.calls,
              (Calls{"acquire 1000",
                     "hand over [-Unattended -Log \"C:\\abs\\u.log\" -PerformUninstall]"}));

    // The copy waits for the requesting run to end, longer than a second.
    FakeMachine copy;
    copy.result = ProcedureResult::Failed;
    EXPECT_EQ(RunUnattended("-Unattended -Log \"C:\\abs\\u.log\" -PerformUninstall", copy),
              ExitCode::Failed);
    EXPECT_EQ(copy.calls, (Calls{"acquire 30000", "pause 500", "uninstall platform"}));

    // Where no copy can be started, the uninstallation runs here after all.
    FakeMachine stuck;
    stuck.handOverWorks = false;
    EXPECT_EQ(RunUnattended("-Unattended -RemovePlatform", stuck), ExitCode::Success);
    EXPECT_EQ(stuck.calls.back(), "uninstall platform");
}

TEST(UnattendedRun, ARemovalEndsRefusedWhenItStoppedAtItsChecks) {
    FakeMachine m;
    m.result = ProcedureResult::Cancelled;
    m.checked = false;
    EXPECT_EQ(RunUnattended("-Unattended -Remove xml", m), ExitCode::Refused);
    EXPECT_EQ(m.calls, (Calls{"acquire 1000", "check", "uninstall xml"}));
    FakeMachine failed;
    failed.result = ProcedureResult::Failed;
    EXPECT_EQ(RunUnattended("-Unattended -Remove xml", failed), ExitCode::Failed);
}

TEST(UnattendedUiAnswers, TheRemovalWizardAnswersFromTheNamesAndKeepsItsRefusal) {
    std::vector<std::string> lines;
    UnattendedUi ui(
        [](void* c, const std::string& t) {
            static_cast<std::vector<std::string>*>(c)->push_back(t);
        },
        &lines);
    auto installed = Sample();
    Selection selection;
    ui.SetRemoval({"util"});
    EXPECT_FALSE(ui.RunUninstallationWizard(*installed, selection));
    EXPECT_EQ(ui.RefusedRemoval().Count(), 2u); // parser and viewer need it

    CoreInstallationChoice choice;
    EXPECT_FALSE(ui.RunCoreInstallationWizard(true, choice)); // no directory given yet

    EXPECT_FALSE(ui.ProgressOpened());
    {
        auto progress = ui.OpenProgress(ProgressWindow::ExtensionInstallation);
        progress->BeginActivity(3010);
        EXPECT_FALSE(progress->IsCancelled());
        progress->SetActivityStatus(3502);
        progress->SetActivityStatus(3501); // a row ends once
    }
    EXPECT_TRUE(ui.ProgressOpened());
    EXPECT_EQ(lines, (std::vector<std::string>{Message(13033, Message(3010), Message(3504)),
                                               Message(13033, Message(3010), Message(3502))}));
}

} // namespace
} // namespace nebcm::ui
