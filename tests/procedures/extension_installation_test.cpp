// Installing extensions from a set into a scratch platform: what gets installed or skipped, files,
// shortcuts and database afterwards, the checks that stop an installation before any change, and
// cancels and failures that must leave everything as it was.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/extension_installation.h"
#include "engine/installed_configuration.h"
#include "engine/shortcuts.h"
#include "io/streams.h"
#include "model/component_database_reader.h"
#include "platform_fixture.h"
#include "scripted_ui.h"

namespace nebcm::test {
namespace {

using Lines = std::vector<std::string>;
using LinkMap = std::map<std::string, std::string>;

const std::string CommonGroup = "All Users\\Start Menu\\Programs\\NEB 2.0\\";

class InstallationTest : public PlatformTest {
protected:
    // A library and two applications that share lib/common.jar.
    void LayOutStandard() {
        LayOutPlatform(Section("Library:base", "1.00", {"lib/base.jar"}) +
                       Section("Application:editor", "1.50",
                               {"apps/editor.exe;Editor", "apps/editor.hlp", "lib/common.jar"},
                               {"Library=base"}) +
                       Section("Application:viewer", "1.00",
                               {"apps/viewer.exe;Viewer", "lib/common.jar"}, {"Library=base"}));
    }
    // Editor 2.00 drops its help file, leaves the shared library to the viewer and brings a Java
    // class with a shortcut; paint is new.
    std::unique_ptr<DistributionSet> UpgradeSet() {
        return MakeSet(Section("Application:editor", "2.00",
                               {"apps/editor.exe;Editor", "apps/editor/Macro.class;Editor Macros",
                                "apps/editor/dict.dat"},
                               {"ExternalLibrary=base;1.00-;Base library"}) +
                       Section("Application:paint", "1.00", {"apps/paint.exe;Graphics/Paint"}));
    }
    // Shortcuts that users made themselves.
    void MakeUserShortcuts() {
        MakeShortcut(Work("Shell\\User\\Desktop\\Editor.lnk"), Installation("apps\\editor.exe"));
        MakeShortcut(Work("Shell\\User\\Desktop\\Help\\Editor Help.lnk"),
                     Installation("apps\\editor.hlp"));
        std::string upper = Installation("APPS\\EDITOR.HLP");
        for (char& c : upper) {
            c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
        }
        MakeShortcut(Work("Shell\\All Users\\Desktop\\Manual.lnk"), upper);
        MakeShortcut(PlatformFolder("My Editor.lnk"), Installation("apps\\editor.exe"));
        MakeShortcut(Work("Shell\\User\\Start Menu\\Programs\\Viewer.lnk"),
                     Installation("apps\\viewer.exe"));
    }

    static Selection Pick(DistributionSet& set, const std::vector<std::string>& names) {
        Selection selection;
        const Configuration& offered = set.MergedConfiguration();
        for (const std::string& name : names) {
            for (std::size_t i = 0; i < offered.Count(); ++i) {
                if (offered.At(i).Name() == name) {
                    selection.insert(&offered.At(i));
                }
            }
        }
        return selection;
    }
    ProcedureResult Install(DistributionSet& set, const std::vector<std::string>& names) {
        return InstallExtensions(ui_, set, Pick(set, names), errors_);
    }
    std::string Content(const std::string& relative) { return ReadBytes(Installation(relative)); }
    // "Kind:name version" of every extension of the installed database, in order.
    Lines InstalledExtensions() {
        ErrorList errors;
        std::unique_ptr<Configuration> configuration = LoadInstalledConfiguration(errors);
        EXPECT_TRUE(errors.Empty()) << (errors.Empty() ? "" : errors.At(0));
        Lines lines;
        for (std::size_t i = 0; configuration && i < configuration->Count(); ++i) {
            const Extension& e = configuration->At(i);
            lines.push_back(std::string(SectionWord(e.Kind())) + ":" + e.Name() + " " +
                            e.Version().ToText());
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

TEST_F(InstallationTest, ANewApplicationIsWrittenRegisteredAndGivenItsShortcuts) {
    LayOutStandard();
    auto set =
        MakeSet(Section("Application:paint", "1.00",
                        {"apps/paint.exe;Graphics/Paint", "apps/paint/Brush.class;Graphics/Brush"},
                        {"ExternalLibrary=base;1.00-;Base library", "ExternalCore=2.00-"}));
    ASSERT_TRUE(set);
    ASSERT_EQ(Install(*set, {"paint"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_TRUE(errors_.Empty());

    const Lines expected = {"open 164",   "begin 3008",  "percent 8",   "percent 16",
                            "percent 25", "percent 33",  "percent 41",  "percent 50",
                            "percent 66", "percent 83",  "percent 100", "status 3501",
                            "begin 3009", "status 3501", "begin 3010",  "percent 50",
                            "pause 1000", "percent 100", "pause 1000",  "status 3501",
                            "begin 3011", "percent 50",  "pause 1000",  "percent 100",
                            "pause 1000", "status 3501", "close",       "installation complete"};
    EXPECT_EQ(ui_.log, expected);
    EXPECT_EQ(ui_.installed, Lines{"paint version 1.00"});
    EXPECT_EQ(ui_.skipped, Lines());

    EXPECT_EQ(Content("apps\\paint.exe"), "set apps/paint.exe 1.00");
    EXPECT_EQ(Content("apps\\paint\\Brush.class"), "set apps/paint/Brush.class 1.00");
    EXPECT_EQ(Links(), (LinkMap{{CommonGroup + "Editor.lnk", "apps/editor.exe"},
                                {CommonGroup + "Graphics\\Brush.lnk", "apps/paint/Brush.class"},
                                {CommonGroup + "Graphics\\Paint.lnk", "apps/paint.exe"},
                                {CommonGroup + "NEB Configuration Manager.lnk", "NebCM.exe"},
                                {CommonGroup + "Viewer.lnk", "apps/viewer.exe"}}));
    // A Java class runs in the installation directory; anything else in its own.
    std::string target, arguments, directory;
    ASSERT_TRUE(ReadShortcut(PlatformFolder("Graphics\\Brush.lnk"), target, arguments, directory));
    EXPECT_EQ(directory, Installation());
    ASSERT_TRUE(ReadShortcut(PlatformFolder("Graphics\\Paint.lnk"), target, arguments, directory));
    EXPECT_EQ(directory, Installation("apps"));

    // The new extension follows the installed ones; its external declarations became plain
    // dependencies.
    EXPECT_EQ(InstalledExtensions(),
              (Lines{"Core:Core 2.00", "Library:base 1.00", "Application:editor 1.50",
                     "Application:viewer 1.00", "Application:paint 1.00"}));
    ErrorList errors;
    std::unique_ptr<Configuration> configuration = LoadInstalledConfiguration(errors);
    ASSERT_TRUE(configuration);
    const Extension& paint = configuration->At(4);
    EXPECT_EQ(paint.ExternalCount(), 0u);
    ASSERT_EQ(paint.DependencyCount(), 1u);
    EXPECT_EQ(paint.DependencyAt(0).ToText(), "Library=base");
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(InstallationTest, AnUpgradeReplacesFilesKeepsSharedOnesAndSortsOutShortcuts) {
    LayOutStandard();
    MakeUserShortcuts();
    ASSERT_NE(ShortcutTarget(Work("Shell\\All Users\\Desktop\\Manual.lnk")).find("EDITOR.HLP"),
              std::string::npos);
    auto set = UpgradeSet();
    ASSERT_EQ(Install(*set, {"editor", "paint"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(ui_.installed, (Lines{"editor version 2.00", "paint version 1.00"}));

    EXPECT_EQ(Content("apps\\editor.exe"), "set apps/editor.exe 2.00");
    EXPECT_EQ(Content("apps\\editor.hlp"), "<missing>");
    EXPECT_EQ(Content("lib\\common.jar"), "installed lib/common.jar"); // the viewer's too
    EXPECT_EQ(Content("apps\\editor\\dict.dat"), "set apps/editor/dict.dat 2.00");
    EXPECT_EQ(Content("apps\\viewer.exe"), "installed apps/viewer.exe");

    // Shortcuts of the platform's group to rewritten files are made again from the new
    // configuration; a user's own shortcut elsewhere to a rewritten file stays; shortcuts to files
    // that are gone go, whatever the letter case of their target, and so do the folders they
    // leave empty, but never a shell folder itself.
    EXPECT_EQ(Links(), (LinkMap{{CommonGroup + "Editor Macros.lnk", "apps/editor/Macro.class"},
                                {CommonGroup + "Editor.lnk", "apps/editor.exe"},
                                {CommonGroup + "Graphics\\Paint.lnk", "apps/paint.exe"},
                                {CommonGroup + "NEB Configuration Manager.lnk", "NebCM.exe"},
                                {CommonGroup + "Viewer.lnk", "apps/viewer.exe"},
                                {"User\\Desktop\\Editor.lnk", "apps/editor.exe"},
                                {"User\\Start Menu\\Programs\\Viewer.lnk", "apps/viewer.exe"}}));
    EXPECT_FALSE(IsDirectory(Work("Shell\\User\\Desktop\\Help")));
    EXPECT_TRUE(IsDirectory(Folder(ShellFolder::CommonDesktop)));

    // The replaced editor leaves its place; the core keeps its own.
    EXPECT_EQ(InstalledExtensions(),
              (Lines{"Core:Core 2.00", "Library:base 1.00", "Application:viewer 1.00",
                     "Application:editor 2.00", "Application:paint 1.00"}));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(InstallationTest, ReinstallingTheSameVersionWritesItsFilesAndShortcutsAgain) {
    LayOutStandard();
    SetOldTimes(PlatformFolder("Editor.lnk"), 0x01b0000000000000ull);
    const FileTimes oldLink = TimesOf(PlatformFolder("Editor.lnk"));
    auto set = MakeSet(Section("Application:editor", "1.50",
                               {"apps/editor.exe;Editor", "apps/editor.hlp", "lib/common.jar"},
                               {"ExternalLibrary=base;1.00-;Base library"}));
    ASSERT_EQ(Install(*set, {"editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(Content("apps\\editor.exe"), "set apps/editor.exe 1.50");
    EXPECT_EQ(Content("lib\\common.jar"), "set lib/common.jar 1.50");
    EXPECT_EQ(ShortcutTarget(PlatformFolder("Editor.lnk")), Installation("apps\\editor.exe"));
    EXPECT_NE(TimesOf(PlatformFolder("Editor.lnk")).creation, oldLink.creation);
    EXPECT_EQ(InstalledExtensions(), (Lines{"Core:Core 2.00", "Library:base 1.00",
                                            "Application:viewer 1.00", "Application:editor 1.50"}));
}

// The common Start menu holds the common programs folder, and here it is reported in other letter
// case: the platform's links are met twice under two spellings, and are one link each.
TEST_F(InstallationTest, ALinkMetUnderTwoSpellingsIsRemovedOnceAndMadeAgain) {
    LayOutStandard();
    std::string shouted = Folder(ShellFolder::CommonStartMenu);
    const std::size_t own = Work().size();
    for (std::size_t i = own; i < shouted.size(); ++i) {
        shouted[i] = static_cast<char>(::toupper(static_cast<unsigned char>(shouted[i])));
    }
    machine_.folders[ShellFolder::CommonStartMenu] = shouted;
    const LinkMap links = Links();
    auto set = MakeSet(Section("Application:editor", "1.50",
                               {"apps/editor.exe;Editor", "apps/editor.hlp", "lib/common.jar"},
                               {"ExternalLibrary=base;1.00-;Base library"}));
    ASSERT_EQ(Install(*set, {"editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(Links(), links);
    EXPECT_TRUE(TempFiles().empty());
}

// The viewer stays and opens the shared library through its own shortcut; the editor that is
// upgraded writes the library again. The viewer's shortcut must outlive that, and so must every
// shortcut of the new configuration: one that had gone missing is made again.
TEST_F(InstallationTest, EveryShortcutOfTheNewConfigurationExistsAfterwards) {
    LayOutPlatform(Section("Library:base", "1.00", {"lib/base.jar"}) +
                   Section("Application:editor", "1.00", {"apps/editor.exe", "lib/common.jar"},
                           {"Library=base"}) +
                   Section("Application:viewer", "1.00",
                           {"apps/viewer.exe;Viewer", "lib/common.jar;Common Tool"},
                           {"Library=base"}));
    ASSERT_TRUE(::DeleteFileA(PlatformFolder("Viewer.lnk").c_str()));
    auto set = MakeSet(Section("Application:editor", "2.00", {"apps/editor.exe", "lib/common.jar"},
                               {"ExternalLibrary=base;1.00-;Base library"}));
    ASSERT_EQ(Install(*set, {"editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(Content("lib\\common.jar"), "set lib/common.jar 2.00");
    EXPECT_EQ(Links(), (LinkMap{{CommonGroup + "Common Tool.lnk", "lib/common.jar"},
                                {CommonGroup + "NEB Configuration Manager.lnk", "NebCM.exe"},
                                {CommonGroup + "Viewer.lnk", "apps/viewer.exe"}}));
}

// A folder in a shell folder that no name reaches could hide a link to a file that goes: the
// installation stops before any change and names it. A folder named outside the code page is
// searched through its short name, and a user's link in it to a file that goes goes too.
TEST_F(InstallationTest, ShellFoldersAreSearchedThroughShortNamesAndAFolderOutOfReachStops) {
    LayOutStandard();
    const std::string greek = MakeFolderBeyondTheCodePage(Folder(ShellFolder::Desktop));
    MakeShortcut(greek + "\\Help.lnk", Installation("apps\\editor.hlp"));
    MakeShortcut(greek + "\\Viewer.lnk", Installation("apps\\viewer.exe"));
    auto set = UpgradeSet();
    ASSERT_EQ(Install(*set, {"editor"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_FALSE(PathExists(greek + "\\Help.lnk"));
    EXPECT_EQ(ShortcutTarget(greek + "\\Viewer.lnk"), Installation("apps\\viewer.exe"));

    ResetPlatform();
    LayOutStandard();
    const std::string deepest = MakeDeepFolders(Folder(ShellFolder::CommonDesktop) + "\\Deep", 300);
    const std::string lost = FirstOutOfReach(deepest);
    const std::string before = State();
    ui_ = ScriptedUi();
    errors_ = ErrorList();
    EXPECT_EQ(Install(*set, {"editor"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(13070, lost)});
    EXPECT_TRUE(Logged("status 3502"));
    EXPECT_EQ(State(), before);
}

TEST_F(InstallationTest, ANewerInstalledVersionWinsAndIsListedAsSkipped) {
    LayOutStandard();
    auto set = MakeSet(Section("Application:editor", "1.49", {"apps/editor.exe;Editor"}) +
                       Section("Application:paint", "1.00", {"apps/paint.exe"}));
    ASSERT_EQ(Install(*set, {"editor", "paint"}), ProcedureResult::Succeeded) << errors_.At(0);
    EXPECT_EQ(ui_.installed, Lines{"paint version 1.00"});
    EXPECT_EQ(ui_.skipped, Lines{"editor version 1.49"});
    EXPECT_EQ(Content("apps\\editor.exe"), "installed apps/editor.exe");
    EXPECT_EQ(InstalledExtensions(),
              (Lines{"Core:Core 2.00", "Library:base 1.00", "Application:editor 1.50",
                     "Application:viewer 1.00", "Application:paint 1.00"}));

    // Only older versions chosen: nothing is installed, and both lists say so.
    ScriptedUi again;
    ASSERT_EQ(InstallExtensions(again, *set, Pick(*set, {"editor"}), errors_),
              ProcedureResult::Succeeded);
    EXPECT_EQ(again.installed, Lines());
    EXPECT_EQ(again.skipped, Lines{"editor version 1.49"});
}

// Checks that stop an installation before its progress window opens, with nothing changed.
TEST_F(InstallationTest, ProblemsFoundBeforeTheFirstChangeLeaveEverythingAlone) {
    struct Row {
        const char* what;
        std::string set;
        std::vector<std::string> pick;
        Lines expected;
        bool refusedByTheReader = false;
    };
    const std::vector<Row> rows = {
        {"a shortcut that climbs out of the platform's group",
         Section("Application:paint", "1.00",
                 {"apps/paint.exe;../../../Startup/Paint", "apps/paint.dat;Tools/./Data",
                  "apps/paint.txt;Good/Name"}),
         {"paint"},
         {Message(12010, "../../../Startup/Paint"), Message(12010, "Tools/./Data")},
         true},
        {"a shortcut with a drive",
         Section("Application:paint", "1.00", {"apps/paint.exe;C:Paint"}),
         {"paint"},
         {Message(12010, "C:Paint"), Message(12046, "paint")},
         true},
        {"an unmet external requirement",
         Section("Application:paint", "1.00", {"apps/paint.exe"},
                 {"ExternalLibrary=base;2.00-;Base library", "ExternalCore=2.00-"}),
         {"paint"},
         {Message(12126, "paint", "1.00", "2.00", "Base library", "1.00", "Base library")}},
        {"a file that differs from a kept one only in letter case",
         Section("Application:paint", "1.00", {"apps/paint.exe", "LIB/Common.jar"}),
         {"paint"},
         {Message(12038, "LIB/Common.jar", "lib/common.jar")}},
        {"a dependency that is neither installed nor chosen",
         Section("Library:brushes", "1.00", {"lib/brushes.jar"}) +
             Section("Application:paint", "1.00", {"apps/paint.exe"}, {"Library=brushes"}),
         {"paint"},
         {Message(12039, "brushes")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetPlatform();
        LayOutStandard();
        const std::string before = State();
        if (row.refusedByTheReader) {
            // Shortcut texts that leave their group no longer get past the set reader, with the
            // same messages; the engine's own refusal of them is shown with sets built without
            // the reader.
            MemoryInputStream memory(std::vector<std::uint8_t>(row.set.begin(), row.set.end()));
            LineReader lines(memory, 1);
            ComponentDatabaseReader reader("neb.cdb", lines, ReaderMode::Distribution);
            ErrorList read;
            EXPECT_FALSE(reader.Read(read));
            Lines messages;
            for (const std::string& m : read.Messages()) {
                const std::size_t prefix = m.find(" : ");
                messages.push_back(prefix == std::string::npos ? m : m.substr(prefix + 3));
            }
            EXPECT_EQ(messages, row.expected);
            continue;
        }
        auto set = MakeSet(row.set);
        ASSERT_TRUE(set);
        ui_ = ScriptedUi();
        errors_ = ErrorList();
        EXPECT_EQ(Install(*set, row.pick), ProcedureResult::Failed);
        EXPECT_EQ(errors_.Messages(), row.expected);
        EXPECT_EQ(ui_.log, Lines());
        EXPECT_EQ(State(), before);
    }
}

TEST_F(InstallationTest, AFileMissingFromTheSetStopsTheInstallationBeforeAnyChange) {
    LayOutStandard();
    auto set = MakeSet(Section("Application:paint", "1.00", {"apps/paint.exe"}));
    DistributionSet hollow(std::make_unique<Configuration>(set->MergedConfiguration().Clone()), {});
    const std::string before = State();
    EXPECT_EQ(InstallExtensions(ui_, hollow, Pick(hollow, {"paint"}), errors_),
              ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(10017, Installation("apps\\paint.exe"))});
    EXPECT_EQ(State(), before);
}

// A file where the new version needs a directory: the output file cannot be made, which the
// file layer leaves unsaid, so the installation names the file it could not write.
TEST_F(InstallationTest, AFileThatCannotBeWrittenIsNamedAndEverythingRolledBack) {
    LayOutStandard();
    WriteBytes(Installation("apps\\editor"), "in the way");
    const std::string before = State();
    auto set = UpgradeSet();
    EXPECT_EQ(Install(*set, {"editor", "paint"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(10017, Installation("apps\\editor\\Macro.class"))});
    EXPECT_TRUE(Logged("status 3502"));
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(InstallationTest, ExternalRequirementsAreWordedByTheirForm) {
    LayOutStandard();
    ErrorList errors;
    std::unique_ptr<Configuration> installed = LoadInstalledConfiguration(errors);
    ASSERT_TRUE(installed);
    struct Row {
        const char* declaration;
        std::string expected; // empty when met
    } rows[] = {
        {"ExternalLibrary=base;1.00;Base", ""},
        {"ExternalLibrary=base;1.00-1.00;Base", ""},
        {"ExternalLibrary=base;-1.00;Base", ""},
        {"ExternalLibrary=base;1.00-2.00;Base", ""},
        {"ExternalCore=2.00-", ""},
        {"ExternalLibrary=gone;1.00;Gone", Message(12121, "paint", "1.00", "1.00", "Gone")},
        {"ExternalLibrary=gone;1.00-;Gone", Message(12122, "paint", "1.00", "1.00", "Gone")},
        {"ExternalLibrary=gone;-3.00;Gone", Message(12123, "paint", "1.00", "3.00", "Gone")},
        {"ExternalLibrary=gone;1.00-3.00;Gone",
         Message(12124, "paint", "1.00", "1.00", "3.00", "Gone")},
        {"ExternalLibrary=base;1.10;Base",
         Message(12125, "paint", "1.00", "1.10", "Base", "1.00", "Base")},
        {"ExternalLibrary=base;1.10-;Base",
         Message(12126, "paint", "1.00", "1.10", "Base", "1.00", "Base")},
        {"ExternalApplication=editor;-1.49;Editor",
         Message(12127, "paint", "1.00", "1.49", "Editor", "1.50", "Editor")},
        {"ExternalLibrary=base;1.01-1.99;Base",
         Message(12128, "paint", "1.00", "1.01", "1.99", "Base", "1.00", "Base")},
        {"ExternalApplication=base;1.00-;Base", Message(12122, "paint", "1.00", "1.00", "Base")},
        {"ExternalCore=2.01-",
         Message(12126, "paint", "1.00", "2.01", Message(4004), "2.00", Message(4004))},
    };
    for (const Row& row : rows) {
        auto set = MakeSet(Section("Application:paint", "1.00", {"a.exe"}, {row.declaration}));
        ASSERT_TRUE(set) << row.declaration;
        ErrorList found;
        bool met =
            CheckExternalRequirements(*installed, {&set->MergedConfiguration().At(0)}, found);
        EXPECT_EQ(met, row.expected.empty()) << row.declaration;
        EXPECT_EQ(found.Messages(), row.expected.empty() ? Lines() : Lines{row.expected})
            << row.declaration;
    }

    // Every declaration is looked at: three unmet ones give three messages, in order.
    auto set = MakeSet(
        Section("Application:paint", "1.00", {"a.exe"},
                {"ExternalLibrary=x;1.00-;X", "ExternalCore=3.00-", "ExternalComponent=y;1.00;Y"}));
    ErrorList found;
    EXPECT_FALSE(CheckExternalRequirements(*installed, {&set->MergedConfiguration().At(0)}, found));
    EXPECT_EQ(found.Count(), 3u);
}

TEST_F(InstallationTest, TheFreeSpaceMustExceedWhatTheFilesNeed) {
    // A leftover that no installed extension lists stands where the upgrade writes a file: it is
    // backed up before it is overwritten.
    const std::string leftover(600, 'x');
    auto layOut = [&] {
        LayOutStandard();
        ::CreateDirectoryA(Installation("apps\\editor").c_str(), nullptr);
        WriteBytes(Installation("apps\\editor\\dict.dat"), leftover);
    };
    auto set = UpgradeSet();
    // The database is backed up and written again; its new size is what a first run leaves.
    layOut();
    const std::uint64_t oldDatabase = ReadBytes(Installation("neb.cdb")).size();
    machine_.freeSpaceKnown = false;
    ASSERT_EQ(Install(*set, {"editor", "paint"}), ProcedureResult::Succeeded) << errors_.At(0);
    const std::uint64_t newDatabase = ReadBytes(Installation("neb.cdb")).size();
    auto clusters = [](std::uint64_t size) { return (size + 511) / 512 * 512; };
    // Four files written, two backed up and the leftover (two clusters); each file otherwise
    // takes one 512-byte cluster.
    const std::uint64_t need = 6 * 512 + 2 * 512 + clusters(oldDatabase) + clusters(newDatabase);
    struct Row {
        bool known;
        std::uint64_t free;
        ProcedureResult expected;
    } rows[] = {
        {true, need, ProcedureResult::Failed},
        {true, need - 1, ProcedureResult::Failed},
        {false, 0, ProcedureResult::Succeeded},
        {true, need + 1, ProcedureResult::Succeeded},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.free);
        ResetPlatform();
        layOut();
        const std::string before = State();
        machine_.freeSpaceKnown = row.known;
        machine_.freeSpace = row.free;
        machine_.drivesAsked.clear();
        ui_ = ScriptedUi();
        errors_ = ErrorList();
        EXPECT_EQ(Install(*set, {"editor", "paint"}), row.expected);
        EXPECT_EQ(machine_.drivesAsked, std::vector<char>{'C'});
        if (row.expected == ProcedureResult::Failed) {
            EXPECT_EQ(errors_.Messages(),
                      Lines{Message(12506, FormatByteSize(need), 'C', FormatByteSize(row.free))});
            EXPECT_EQ(ui_.log, Lines());
            EXPECT_EQ(State(), before);
        }
    }

    // Without a cluster size the sizes count as they are.
    ResetPlatform();
    layOut();
    machine_.freeSpaceKnown = true;
    machine_.clusterSizeKnown = false;
    machine_.freeSpace = 10;
    errors_ = ErrorList();
    EXPECT_EQ(Install(*set, {"editor", "paint"}), ProcedureResult::Failed);
    const std::uint64_t bytes = std::string("set apps/editor.exe 2.00").size() +
                                std::string("set apps/editor/Macro.class 2.00").size() +
                                std::string("set apps/editor/dict.dat 2.00").size() +
                                std::string("set apps/paint.exe 1.00").size() +
                                std::string("installed apps/editor.exe").size() +
                                std::string("installed apps/editor.hlp").size() + leftover.size() +
                                oldDatabase + newDatabase;
    EXPECT_EQ(errors_.Messages(),
              Lines{Message(12506, FormatByteSize(bytes), 'C', FormatByteSize(10))});
}

TEST_F(InstallationTest, ACorruptInstallationOrMissingProgramsFolderFails) {
    auto set = MakeSet(Section("Application:paint", "1.00", {"apps/paint.exe;Paint"}));
    EXPECT_EQ(Install(*set, {"paint"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(12503)});

    LayOutStandard();
    ::DeleteFileA(Installation("lib\\base.jar").c_str());
    errors_ = ErrorList();
    EXPECT_EQ(Install(*set, {"paint"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(12102, Installation("lib\\base.jar"))});
    EXPECT_EQ(ui_.log, Lines());

    // With no common programs folder the group goes below the user's; with neither, the
    // installation counts as corrupt.
    const auto folders = machine_.folders;
    ResetPlatform();
    LayOutStandard();
    machine_.folders.erase(ShellFolder::CommonPrograms);
    errors_ = ErrorList();
    ASSERT_EQ(Install(*set, {"paint"}), ProcedureResult::Succeeded);
    EXPECT_EQ(ShortcutTarget(Work("Shell\\User\\Start Menu\\Programs\\NEB 2.0\\Paint.lnk")),
              Installation("apps\\paint.exe"));

    machine_.folders = folders;
    ResetPlatform();
    LayOutStandard();
    machine_.folders.erase(ShellFolder::CommonPrograms);
    DeleteTreeRaw(Folder(ShellFolder::Programs));
    const std::string withoutPrograms = State();
    ui_ = ScriptedUi();
    errors_ = ErrorList();
    EXPECT_EQ(Install(*set, {"paint"}), ProcedureResult::Failed);
    EXPECT_EQ(errors_.Messages(), Lines{Message(12503)});
    EXPECT_EQ(ui_.log, (Lines{"open 164", "begin 3008", "status 3502", "close"}));
    EXPECT_EQ(State(), withoutPrograms);
}

TEST_F(InstallationTest, TheWizardHandsOverTheSetAndTheSelection) {
    LayOutStandard();
    // Not finished: nothing happens.
    EXPECT_EQ(InstallExtensionsFromSet(ui_, UpgradeSet(), errors_), ProcedureResult::Cancelled);
    EXPECT_EQ(ui_.log, Lines{"installation wizard with a set"});

    ui_ = ScriptedUi();
    ui_.installationWizard = [](std::unique_ptr<DistributionSet>& set, Selection& selection) {
        selection = Pick(*set, {"paint"});
        return true;
    };
    EXPECT_EQ(InstallExtensionsFromSet(ui_, UpgradeSet(), errors_), ProcedureResult::Succeeded);
    EXPECT_EQ(ui_.installed, Lines{"paint version 1.00"});

    // Started from the main window, the wizard reads the set itself.
    ui_ = ScriptedUi();
    ui_.installationWizard = [this](std::unique_ptr<DistributionSet>& set, Selection& selection) {
        EXPECT_FALSE(set);
        set = MakeSet(Section("Application:draw", "1.00", {"apps/draw.exe"}));
        selection = Pick(*set, {"draw"});
        return true;
    };
    EXPECT_EQ(InstallExtensionsInteractive(ui_, errors_), ProcedureResult::Succeeded);
    EXPECT_EQ(ui_.log.front(), "installation wizard");
    EXPECT_EQ(ui_.installed, Lines{"draw version 1.00"});
    EXPECT_EQ(Content("apps\\draw.exe"), "set apps/draw.exe 1.00");
}

TEST_F(InstallationTest, ACancelInAnyActivityLeavesEverythingAsItWas) {
    struct Row {
        int activity;
        int afterPercent;
    } rows[] = {{1, 0}, {1, 7}, {2, 1}, {3, 0}, {3, 2}, {3, 4}, {4, 1}, {4, 5}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.activity) + "/" + std::to_string(row.afterPercent));
        ResetPlatform();
        LayOutStandard();
        MakeUserShortcuts();
        const std::string before = State();
        auto set = UpgradeSet();
        ui_ = ScriptedUi();
        ui_.cancel = {row.activity, row.afterPercent};
        errors_ = ErrorList();
        EXPECT_EQ(Install(*set, {"editor", "paint"}), ProcedureResult::Cancelled);
        EXPECT_TRUE(errors_.Empty()) << errors_.At(0);
        EXPECT_TRUE(Logged("cancel pressed"));
        EXPECT_TRUE(Logged("status 3503"));
        EXPECT_FALSE(Logged("installation complete"));
        EXPECT_EQ(ui_.log.back(), "close");
        EXPECT_EQ(State(), before);
        EXPECT_TRUE(TempFiles().empty());
    }
}

// Every system call of activities 2 to 4 and of the database rewrite is made to fail in turn.
TEST_F(InstallationTest, AFailureAnywhereInTheChangesIsRolledBackCompletely) {
    int failures = 0;
    for (int n = 1;; ++n) {
        ResetPlatform();
        LayOutStandard();
        MakeUserShortcuts();
        const std::string before = State();
        auto set = UpgradeSet();
        FailNthCall failer(n);
        ui_ = ScriptedUi();
        ui_.onBegin = [&](int activity) {
            if (activity == 3009) {
                SetSystemCallFilter(&failer);
            }
        };
        errors_ = ErrorList();
        ProcedureResult result = Install(*set, {"editor", "paint"});
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
            // Only two calls may fail unnoticed: removing an emptied folder (it simply stays) and
            // deleting a backup when the transaction ends (it stays in the temporary directory).
            EXPECT_EQ(result, ProcedureResult::Succeeded) << what;
            EXPECT_TRUE(errors_.Empty()) << what;
            EXPECT_TRUE(failer.FailedCall() == SystemCall::RemoveDirectory ||
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
    EXPECT_GT(failures, 50);
}

} // namespace
} // namespace nebcm::test
