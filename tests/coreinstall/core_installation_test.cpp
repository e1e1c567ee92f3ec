// The core installation's first three activities on real files, links and registry keys: the
// program's own files, the core from the archive with its database, and the registration.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/shortcuts.h"
#include "model/component_database_reader.h"

namespace nebcm::test {
namespace {

const std::uint64_t ArchiveTime = 0x01C2D6E4A0B3C000ull;

class CoreActivityTest : public CoreInstallTest {
protected:
    // A tree in the installation directory with attributes and times to come back after a rollback.
    void MakeOldInstallation() {
        ASSERT_TRUE(::CreateDirectoryA(Work("NEB").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Install().c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Install("lib").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(Install("lib\\empty").c_str(), nullptr));
        WriteBytes(Install("NebCM.exe"), "old program");
        WriteBytes(Install("lib\\data.bin"), std::string("\0\1\2", 3));
        WriteBytes(Install("notes.txt"), "keep me");
        SetOldTimes(Install("NebCM.exe"), 126227808000000000ull);
        SetOldTimes(Install("lib\\data.bin"), 126227808000000000ull);
        ASSERT_TRUE(::SetFileAttributesA(Install("notes.txt").c_str(),
                                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    }

    std::vector<std::uint8_t> SmallCore() {
        return MakeArchive({{"njava.exe", "MZ launcher"},
                            {"neb\\core\\A.class", "\xCA\xFE\xBA\xBE A"},
                            {"neb\\core\\sub\\B.class", "\xCA\xFE\xBA\xBE B"},
                            {"readme.txt", ""}},
                           ArchiveTime);
    }
};

TEST_F(CoreActivityTest, TheProgramCarriesTheLauncherAndTheCoreClasses) {
    std::unique_ptr<Archive> archive = OpenEmbeddedCoreArchive();
    ASSERT_TRUE(archive) << "no core archive in " << BuiltProgram("NebCM.exe");
    const ArchiveEntry* launcher = archive->Find(JavaLauncherExe);
    ASSERT_NE(launcher, nullptr);
    const std::vector<std::uint8_t>& bytes = launcher->Bytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ReadBytes(BuiltProgram("njava.exe")));
    EXPECT_EQ(archive->Find(ComponentDatabaseFile), nullptr);
    int classes = 0;
    for (int i = 0; i < archive->Count(); ++i) {
        const ArchiveEntry* entry = archive->Entry(i);
        if (entry == launcher) {
            continue;
        }
        EXPECT_EQ(entry->Name().rfind("neb\\core\\", 0), 0u) << entry->Name();
        ASSERT_GE(entry->Size(), 4u) << entry->Name();
        const std::vector<std::uint8_t> head = entry->Bytes();
        EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "\xCA\xFE\xBA\xBE")
            << entry->Name() << " is not a class file";
        ++classes;
    }
    EXPECT_GE(classes, 2);
}

TEST_F(CoreActivityTest, CoreIsExtractedWithItsTimesAndListedInTheFirstDatabase) {
    machine_.useRealArchive = false;
    machine_.archive = SmallCore();
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    ASSERT_EQ(InstallCoreFiles(Install(), progress, transaction, errors),
              ProcedureResult::Succeeded);
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(progress.Activities(), std::vector<int>{3001});
    EXPECT_EQ(progress.rows[0].percents, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(progress.paused, 500u + 4 * 500);

    EXPECT_EQ(ReadBytes(Install("njava.exe")), "MZ launcher");
    EXPECT_EQ(ReadBytes(Install("neb\\core\\sub\\B.class")), "\xCA\xFE\xBA\xBE B");
    EXPECT_EQ(ReadBytes(Install("readme.txt")), "");
    FileTimes times = TimesOf(Install("neb\\core\\A.class"));
    EXPECT_EQ(times.creation, ArchiveTime);
    EXPECT_EQ(times.lastWrite, ArchiveTime);
    EXPECT_EQ(ReadBytes(Install("neb.cdb")),
              "[Core]\r\nVersion=2.00\r\nDescription=NEB Core\r\nCopyright=" +
                  std::string(CoreCopyright) + "\r\nBase=" + Install() +
                  "\r\nJavaDispatcher=njava.exe\r\nFile=njava.exe\r\nFile=neb/core/A.class\r\n"
                  "File=neb/core/sub/B.class\r\nFile=readme.txt\r\n");

    // The database is one the installed configuration can be read from.
    TextFileReader text(Install("neb.cdb"));
    ComponentDatabaseReader reader("neb.cdb", text, ReaderMode::Installed);
    ErrorList readErrors;
    std::unique_ptr<Configuration> configuration = reader.Read(readErrors);
    ASSERT_TRUE(configuration) << (readErrors.Empty() ? "" : readErrors.At(0));
    const Core* core = configuration->FindCore();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(core->Base(), Install());
    EXPECT_EQ(core->JavaDispatcher(), JavaLauncherExe);
    EXPECT_EQ(core->FileCount(), 4u);
    text.Close();

    EXPECT_TRUE(transaction.Rollback(errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_FALSE(PathExists(Install()));
}

TEST_F(CoreActivityTest, ArchiveThatIsNotACoreIsRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> damaged = SmallCore();
    damaged.resize(damaged.size() / 2);
    const Case cases[] = {
        {"no archive", {}},
        {"not an archive", {'M', 'Z', 0, 1, 2, 3, 4, 5}},
        {"cut short", damaged},
        {"no launcher", MakeArchive({{"neb\\core\\A.class", "A"}})},
        {"a database", MakeArchive({{"njava.exe", "MZ"}, {"neb.cdb", "[Core]"}})},
        {"a name outside", MakeArchive({{"njava.exe", "MZ"}, {"..\\outside.txt", "x"}})},
    };
    machine_.useRealArchive = false;
    for (const Case& c : cases) {
        machine_.archive = c.bytes;
        RecordingProgress progress;
        Transaction transaction;
        ErrorList errors;
        EXPECT_EQ(InstallCoreFiles(Install(), progress, transaction, errors),
                  ProcedureResult::Failed)
            << c.what;
        EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(11500)}) << c.what;
        EXPECT_EQ(transaction.Count(), 0) << c.what;
        EXPECT_FALSE(PathExists(Install())) << c.what;
        EXPECT_FALSE(PathExists(Work("outside.txt"))) << c.what;
    }
}

TEST_F(CoreActivityTest, CoreActivityStopsAtACancelAndFailsOnAFileInTheWay) {
    machine_.useRealArchive = false;
    machine_.archive = SmallCore();
    {
        RecordingProgress progress;
        progress.cancelWhen = CancelAfter(3001, 2);
        Transaction transaction;
        ErrorList errors;
        EXPECT_EQ(InstallCoreFiles(Install(), progress, transaction, errors),
                  ProcedureResult::Cancelled);
        EXPECT_TRUE(PathExists(Install("neb\\core\\A.class")));
        EXPECT_FALSE(PathExists(Install("neb\\core\\sub")));
        EXPECT_TRUE(transaction.Rollback(errors));
        EXPECT_TRUE(errors.Empty());
        EXPECT_FALSE(PathExists(Install()));
    }
    // A directory where a file must go.
    ASSERT_TRUE(::CreateDirectoryA(Work("NEB").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install().c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Install("readme.txt").c_str(), nullptr));
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    EXPECT_EQ(InstallCoreFiles(Install(), progress, transaction, errors), ProcedureResult::Failed);
    ASSERT_FALSE(errors.Empty());
    EXPECT_EQ(errors.Messages().back(), Message(10017, Install("readme.txt")));
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_EQ(ListNames(Install()), std::vector<std::string>{"readme.txt"});
}

TEST_F(CoreActivityTest, ProgramAndItsFilesAreCopiedIntoANewDirectory) {
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    ASSERT_EQ(InstallConfigurationManagerFiles(Install(), progress, transaction, errors),
              ProcedureResult::Succeeded);
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(ListNames(Install()), (std::vector<std::string>{"NEB.ico", "NebCM.GID", "NebCM.cnt",
                                                              "NebCM.exe", "NebCM.hlp"}));
    EXPECT_EQ(ReadBytes(Install("NebCM.exe")), "MZ configuration manager");
    EXPECT_EQ(ReadBytes(Install("NebCM.GID")), "index");
    EXPECT_EQ(progress.rows.at(0).percents, (std::vector<int>{16, 33, 50, 66, 83, 100}));
    EXPECT_EQ(progress.paused, 500u + 6 * (2000 / 6));
    EXPECT_TRUE(transaction.Rollback(errors));
    EXPECT_FALSE(PathExists(Work("NEB")));
}

TEST_F(CoreActivityTest, ExistingDirectoryIsEmptiedAndARollbackBringsItBackExactly) {
    MakeOldInstallation();
    const std::string before = Describe(WorkSnapshot());
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    ASSERT_EQ(InstallConfigurationManagerFiles(Install(), progress, transaction, errors),
              ProcedureResult::Succeeded);
    EXPECT_EQ(ListNames(Install()), (std::vector<std::string>{"NEB.ico", "NebCM.GID", "NebCM.cnt",
                                                              "NebCM.exe", "NebCM.hlp"}));
    // Six entries (the directory itself counted) and six units of copying.
    EXPECT_EQ(progress.rows.at(0).percents,
              (std::vector<int>{8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100}));
    EXPECT_TRUE(transaction.Rollback(errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(CoreActivityTest, EveryFailureOfTheFirstActivityIsUndone) {
    MakeOldInstallation();
    ExpectRollbackAfterEachFailure([this](Transaction& transaction, ErrorList& errors) {
        RecordingProgress progress;
        return InstallConfigurationManagerFiles(Install(), progress, transaction, errors) ==
               ProcedureResult::Succeeded;
    });
}

TEST_F(CoreActivityTest, MissingHelpIndexFailsTheCopyAndNothingStays) {
    WriteMedium(false);
    RecordingProgress progress;
    Transaction transaction;
    ErrorList errors;
    EXPECT_EQ(InstallConfigurationManagerFiles(Install(), progress, transaction, errors),
              ProcedureResult::Failed);
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(10016, medium_ + "\\NebCM.GID",
                                                                  Install("NebCM.GID"))});
    ErrorList rollback;
    EXPECT_TRUE(transaction.Rollback(rollback));
    EXPECT_FALSE(PathExists(Work("NEB")));
}

TEST_F(CoreActivityTest, DirectoryThatHoldsTheBackupsOrADriveIsNeverEmptied) {
    WriteBytes(Work("precious.txt"), "precious");
    const std::string before = Describe(WorkSnapshot());
    for (const std::string& directory : {root_, root_ + "\\", temp_}) {
        RecordingProgress progress;
        Transaction transaction;
        ErrorList errors;
        EXPECT_EQ(InstallConfigurationManagerFiles(directory, progress, transaction, errors),
                  ProcedureResult::Failed)
            << directory;
        EXPECT_EQ(errors.Messages(), std::vector<std::string>{Message(10000, directory)});
        EXPECT_EQ(transaction.Count(), 0);
    }
    EXPECT_EQ(Describe(WorkSnapshot()), before);
    EXPECT_TRUE(IsUnsafeToEmpty("C:\\"));
    // The work directory holds the test's shell folders; the installation directory holds none.
    EXPECT_FALSE(IsUnsafeToEmpty(Install()));
}

} // namespace
} // namespace nebcm::test
