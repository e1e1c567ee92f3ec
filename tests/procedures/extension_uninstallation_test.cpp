// Uninstalling extensions from a scratch platform: shared files, directories and shortcuts, the
// rewritten database, the wizard's part, and cancels and failures that leave everything as it was.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/extension_uninstallation.h"
#include "engine/installed_configuration.h"
#include "platform_fixture.h"
#include "scripted_ui.h"

namespace nebcm::test {
namespace {

using Lines = std::vector<std::string>;
using LinkMap = std::map<std::string, std::string>;

const std::string CommonGroup = "All Users\\Start Menu\\Programs\\NEB 2.0\\";

class UninstallationTest : public PlatformTest {
protected:
    // Two applications that share lib/common.jar, each in a directory of its own.
    void LayOutStandard() {
        LayOutPlatform(
            Section("Library:base", "1.00", {"lib/base.jar"}) +
            Section("Application:editor", "1.50",
                    {"apps/editor/editor.exe;Editor", "apps/editor/editor.hlp", "lib/common.jar"},
                    {"Library=base"}) +
            Section("Application:viewer", "1.00",
                    {"apps/viewer/viewer.exe;Tools/Viewer", "lib/common.jar"}, {"Library=base"}));
    }
    // The wizard picks these candidates by name.
    void Choose(const std::vector<std::string>& names) {
        ui_.uninstallationWizard = [names](const Configuration& candidates, Selection& selection) {
            for (std::size_t i = 0; i < candidates.Count(); ++i) {
                if (std::find(names.begin(), names.end(), candidates.At(i).Name()) != names.end()) {
                    selection.insert(&candidates.At(i));
                }
            }
            return true;
        };
    }
    ProcedureResult Uninstall(const std::vector<std::string>& names) {
        Choose(names);
        return UninstallExtensions(ui_, errors_);
    }
    Lines InstalledExtensions() {
        ErrorList errors;
        std::unique_ptr<Configuration> configuration = LoadInstalledConfiguration(errors);
        EXPECT_TRUE(errors.Empty()) << (errors.Empty() ? "" : errors.At(0));
        Lines lines;
        for (std::size_t i = 0; configuration && i < configuration->Count(); ++i) {
            lines.push_back(std::string(SectionWord(configuration->At(i).Kind())) + ":" +
                            configuration->At(i).Name());
        }
        return lines;
    }
    std::string State() {
        return DescribeWithoutAccessTimes(WorkSnapshot()) + Describe(KeySnapshot());
    }
    bool Logged(const std::string& entry) const {
        return std::find(ui_.log.begin(), ui_.log.end(), entry) != ui_.log.end();
    }

    ScriptedUi ui_;
    ErrorList errors_;
};

TEST_F(UninstallationTest, OneOfTwoApplicationsGoesAndTheFileTheyShareStays) {
    LayOutStandard();
    ASSERT_EQ(Uninstall({"editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_TRUE(errors_.Empty());
    EXPECT_EQ(ui_.uninstalled, Lines{"editor version 1.50"});

    EXPECT_FALSE(PathExists(Installation("apps\\editor"))); // emptied, so removed
    EXPECT_TRUE(IsFile(Installation("apps\\viewer\\viewer.exe")));
    EXPECT_TRUE(IsFile(Installation("lib\\common.jar")));
    EXPECT_EQ(Links(), (LinkMap{{CommonGroup + "NEB Configuration Manager.lnk", "NebCM.exe"},
                                {CommonGroup + "Tools\\Viewer.lnk", "apps/viewer/viewer.exe"}}));
    // The core moves to the end; the others keep their order.
    EXPECT_EQ(InstalledExtensions(), (Lines{"Library:base", "Application:viewer", "Core:Core"}));

    const Lines start = {"uninstallation wizard",
                         "open 170",
                         "begin 3012",
                         "percent 50",
                         "pause 1000",
                         "percent 100",
                         "pause 1000",
                         "status 3501",
                         "begin 3013",
                         "percent 8",
                         "percent 16",
                         "percent 25",
                         "percent 33",
                         "percent 41",
                         "percent 50"};
    ASSERT_GT(ui_.log.size(), start.size());
    EXPECT_EQ(Lines(ui_.log.begin(), ui_.log.begin() + start.size()), start);
    const Lines end = {"percent 100", "status 3501", "close", "uninstallation complete"};
    EXPECT_EQ(Lines(ui_.log.end() - 5, ui_.log.end() - 4), Lines{"percent 100"});
    EXPECT_EQ(Lines(ui_.log.end() - 3, ui_.log.end()), Lines(end.begin() + 1, end.end()));
    EXPECT_TRUE(TempFiles().empty());
}

// A folder in a shell folder that no name reaches could hide a link to a removed file: the removal
// fails, names it and is undone.
TEST_F(UninstallationTest, AShellFolderOutOfReachFailsTheRemovalNamingIt) {
    LayOutStandard();
    const std::string deepest = MakeDeepFolders(Folder(ShellFolder::Desktop) + "\\Deep", 300);
    const std::string lost = FirstOutOfReach(deepest);
    const std::string before = State();
    EXPECT_EQ(Uninstall({"editor"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(13070, lost)});
    EXPECT_TRUE(Logged("status 3502"));
    EXPECT_EQ(State(), before);
}

TEST_F(UninstallationTest, WithBothApplicationsTheSharedFileAndTheEmptiedGroupsGo) {
    LayOutStandard();
    ASSERT_EQ(Uninstall({"viewer", "editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(ui_.uninstalled, (Lines{"editor version 1.50", "viewer version 1.00"}));
    EXPECT_FALSE(PathExists(Installation("lib\\common.jar")));
    EXPECT_TRUE(IsFile(Installation("lib\\base.jar")));
    EXPECT_FALSE(PathExists(Installation("apps")));
    EXPECT_FALSE(PathExists(PlatformFolder("Tools")));
    EXPECT_EQ(Links(), (LinkMap{{CommonGroup + "NEB Configuration Manager.lnk", "NebCM.exe"}}));
    EXPECT_EQ(InstalledExtensions(), (Lines{"Library:base", "Core:Core"}));
}

TEST_F(UninstallationTest, EveryShortcutThatOpensARemovedFileGoesWhoeverMadeIt) {
    LayOutStandard();
    MakeShortcut(Work("Shell\\User\\Desktop\\Edit.lnk"), Installation("apps\\editor\\editor.exe"));
    std::string upper = Installation("APPS\\EDITOR\\EDITOR.HLP");
    for (char& c : upper) {
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    }
    MakeShortcut(Work("Shell\\All Users\\Desktop\\Manual.lnk"), upper);
    MakeShortcut(Work("Shell\\User\\Start Menu\\Docs\\Help.lnk"),
                 Installation("apps\\editor\\editor.hlp"));
    MakeShortcut(Work("Shell\\User\\Desktop\\View.lnk"), Installation("apps\\viewer\\viewer.exe"));
    MakeShortcut(Work("Shell\\User\\Desktop\\Common.lnk"), Installation("lib\\common.jar"));
    WriteBytes(Work("Shell\\User\\Desktop\\notes.lnk"), "not a shortcut");

    ASSERT_EQ(Uninstall({"editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(Links(), (LinkMap{{CommonGroup + "NEB Configuration Manager.lnk", "NebCM.exe"},
                                {CommonGroup + "Tools\\Viewer.lnk", "apps/viewer/viewer.exe"},
                                {"User\\Desktop\\Common.lnk", "lib/common.jar"},
                                {"User\\Desktop\\View.lnk", "apps/viewer/viewer.exe"},
                                {"User\\Desktop\\notes.lnk", "<unreadable>"}}));
    // An emptied group folder goes; a shell folder stays even when it is left empty.
    EXPECT_FALSE(PathExists(Work("Shell\\User\\Start Menu\\Docs")));
    EXPECT_TRUE(IsDirectory(Folder(ShellFolder::CommonDesktop)));
}

TEST_F(UninstallationTest, WithNothingButTheCoreThereIsNothingToOffer) {
    LayOutPlatform("");
    const std::string before = State();
    EXPECT_EQ(Uninstall({"editor"}), ProcedureResult::Cancelled);
    EXPECT_EQ(ui_.log, Lines{"message " + Message(12505)});
    EXPECT_EQ(ui_.messageIcons, std::vector<MessageIcon>{MessageIcon::Information});
    EXPECT_TRUE(errors_.Empty());
    EXPECT_EQ(State(), before);
}

TEST_F(UninstallationTest, TheWizardSeesTheExtensionsButTheCoreAndMayBeLeft) {
    LayOutStandard();
    const std::string before = State();
    Lines offered;
    ui_.uninstallationWizard = [&](const Configuration& candidates, Selection&) {
        for (std::size_t i = 0; i < candidates.Count(); ++i) {
            offered.push_back(candidates.At(i).Name());
        }
        return false;
    };
    EXPECT_EQ(UninstallExtensions(ui_, errors_), ProcedureResult::Cancelled);
    EXPECT_EQ(offered, (Lines{"base", "editor", "viewer"}));
    EXPECT_EQ(ui_.log, Lines{"uninstallation wizard"});
    EXPECT_EQ(State(), before);
}

// A choice that would leave an extension without what it depends on, or that holds extensions
// the wizard was never shown, changes nothing it should not.
TEST_F(UninstallationTest, TheChoiceIsCheckedAgainstWhatRemains) {
    LayOutStandard();
    const std::string before = State();
    EXPECT_EQ(Uninstall({"base"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), (Lines{Message(12039, "base"), Message(12039, "base")}));
    EXPECT_FALSE(Logged("open 170"));
    EXPECT_EQ(State(), before);

    Library stranger("editor", Version(1, 50), "editor", "c", "neb/test", FileList(),
                     DependencyList(), ExternalList());
    ui_ = ScriptedUi();
    errors_ = ErrorList();
    ui_.uninstallationWizard = [&](const Configuration& candidates, Selection& selection) {
        selection.insert(&stranger);
        selection.insert(&candidates.At(2)); // the viewer
        return true;
    };
    ASSERT_EQ(UninstallExtensions(ui_, errors_), ProcedureResult::Succeeded);
    EXPECT_EQ(ui_.uninstalled, Lines{"viewer version 1.00"});
    EXPECT_EQ(InstalledExtensions(), (Lines{"Library:base", "Application:editor", "Core:Core"}));
}

TEST_F(UninstallationTest, ACorruptInstallationFailsBeforeTheWizard) {
    EXPECT_EQ(Uninstall({"editor"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(12503)});

    LayOutStandard();
    ::DeleteFileA(Installation("lib\\base.jar").c_str());
    errors_ = ErrorList();
    EXPECT_EQ(Uninstall({"editor"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(12102, Installation("lib\\base.jar"))});
    EXPECT_EQ(ui_.log, Lines());
}

// The files are removed without a look at the Cancel button; a cancel confirmed meanwhile takes
// effect as soon as the shortcut activity asks.
TEST_F(UninstallationTest, ACancelTakesEffectInTheShortcutActivityAndRestoresEverything) {
    struct Row {
        int activity;
        int afterPercent;
        long honouredAfter; // percent updates of the shortcut activity before the cancel counts
    } rows[] = {{1, 0, 1}, {1, 1, 1}, {2, 0, 1}, {2, 3, 3}, {2, 7, 7}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.activity) + "/" + std::to_string(row.afterPercent));
        ResetPlatform();
        LayOutStandard();
        MakeShortcut(Work("Shell\\User\\Desktop\\Edit.lnk"),
                     Installation("apps\\editor\\editor.exe"));
        const std::string before = State();
        ui_ = ScriptedUi();
        ui_.cancel = {row.activity, row.afterPercent};
        errors_ = ErrorList();
        EXPECT_EQ(Uninstall({"editor", "viewer"}), ProcedureResult::Cancelled);
        EXPECT_TRUE(errors_.Empty()) << errors_.At(0);
        auto begun = std::find(ui_.log.begin(), ui_.log.end(), "begin 3013");
        auto honoured = std::find(begun, ui_.log.end(), "status 3503");
        ASSERT_NE(honoured, ui_.log.end());
        EXPECT_EQ(std::count_if(begun, honoured,
                                [](const std::string& e) { return e.rfind("percent", 0) == 0; }),
                  row.honouredAfter);
        EXPECT_EQ(std::count(ui_.log.begin(), ui_.log.end(), "status 3501"), 1);
        EXPECT_FALSE(Logged("uninstallation complete"));
        EXPECT_EQ(State(), before);
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST_F(UninstallationTest, AFailureAnywhereInTheChangesIsRolledBackCompletely) {
    int failures = 0;
    for (int n = 1;; ++n) {
        ResetPlatform();
        LayOutStandard();
        MakeShortcut(Work("Shell\\User\\Desktop\\Edit.lnk"),
                     Installation("apps\\editor\\editor.exe"));
        const std::string before = State();
        FailNthCall failer(n);
        ui_ = ScriptedUi();
        ui_.onBegin = [&](int activity) {
            if (activity == 3012) {
                SetSystemCallFilter(&failer);
            }
        };
        errors_ = ErrorList();
        ProcedureResult result = Uninstall({"editor", "viewer"});
        SetSystemCallFilter(nullptr);
        const std::string what = "call " + std::to_string(n);
        if (!failer.Triggered()) {
            EXPECT_EQ(result, ProcedureResult::Succeeded) << what;
            break;
        }
        if (result == ProcedureResult::Failed) {
            ++failures;
            EXPECT_FALSE(errors_.Empty()) << what;
            EXPECT_EQ(State(), before) << what;
        } else {
            // A shortcut that cannot be read, or an emptied folder that cannot be removed, is left
            // alone; a backup that cannot be deleted when the transaction ends stays behind.
            EXPECT_EQ(result, ProcedureResult::Succeeded) << what;
            EXPECT_TRUE(errors_.Empty()) << what;
            EXPECT_TRUE(failer.FailedCall() == SystemCall::RemoveDirectory ||
                        failer.FailedCall() == SystemCall::CreateShellLink ||
                        failer.FailedCall() == SystemCall::LoadShellLink ||
                        failer.FailedCall() == SystemCall::DeleteFile)
                << what;
        }
        if (failer.FailedCall() != SystemCall::DeleteFile || result != ProcedureResult::Succeeded) {
            EXPECT_TRUE(TempFiles().empty()) << what;
        }
        for (const std::string& name : TempFiles()) {
            ::DeleteFileA((temp_ + "\\" + name).c_str());
        }
        if (HasFailure() || n > 2000) {
            break;
        }
    }
    RecordProperty("injected_failures", failures);
    EXPECT_GT(failures, 30);
}

} // namespace
} // namespace nebcm::test
